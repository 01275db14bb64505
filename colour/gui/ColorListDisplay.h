// The "colors" page of a project window: the editable copy of the colour list (value-colour
// items with 16 x 16 colour squares, kept in ascending order of value), the colours below and
// above the list, the colour bar with its value readout, and the small preview.
#pragma once

#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "colour/ColorList.h"
#include "colour/ColourImport.h"
#include "colour/gui/ColourUndo.h"
#include "core/CalcParams.h"

class QAction;
class QBoxLayout;
class QGroupBox;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QPushButton;
class QToolButton;
class QUndoStack;

namespace vantorel {
class PixelDataFile;
struct PreviewGrid;
}  // namespace vantorel

namespace vantorel::gui {

// Colours are kept as 0x00BBGGRR, the form of the parameter block.
QColor ToQColor(uint32_t color);
uint32_t FromQColor(const QColor& color);

// A rectangle filled with one colour (its brush colour); clicking it emits clicked().
class TShape : public QFrame {
  Q_OBJECT
 public:
  explicit TShape(QWidget* parent = nullptr);
  uint32_t BrushColor() const { return color_; }
  void SetBrushColor(uint32_t color);

 signals:
  void clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  uint32_t color_ = 0xFFFFFF;
};

class TColorListDisplay : public QWidget {
  Q_OBJECT
 public:
  static constexpr int BarWidth = 311;
  static constexpr int BarHeight = 23;

  explicit TColorListDisplay(QWidget* parent = nullptr);
  ~TColorListDisplay() override;

  // Rebuilds the image list and the items from a stored list, sets the outer colours, sorts and
  // redraws the colour bar.
  void SetColors(const std::vector<TColorEntry>& list, uint32_t below, uint32_t above);
  // The items in list order.
  std::vector<TColorEntry> Colors() const;
  uint32_t BelowColor() const;
  uint32_t AboveColor() const;

  // ImageList1: one 16 x 16 solid image per colour; returns the new image's index.
  int AddImage(uint32_t color);
  const std::vector<QImage>& ImageList1() const { return images_; }
  // Adds an item showing image `image` and the value as its caption (not sorted).
  QListWidgetItem* AddItem(int image, double value);
  // An item's colour (its image's pixel at (1, 1)) and value.
  uint32_t ItemColor(const QListWidgetItem* item) const;
  static double ItemValue(const QListWidgetItem* item);
  static int ItemImage(const QListWidgetItem* item);

  // The sort comparison of the list: -1, 0 or 1 by value.
  static int ListView1Compare(const QListWidgetItem* a, const QListWidgetItem* b);
  void SortList();
  // Sorts the list, sets the end labels and redraws the colour bar.
  void DrawColorPad();
  const QImage& ColorBar() const { return bar_; }

  // The readout over the colour bar at mouse column x, and hiding it again.
  QString ReadoutText(int x) const;
  void Image3MouseMove(int x);
  void ScrollBox4MouseMove();

  // --- Editing the list. Every edit builds the new list first and then shows it whole. ---
  ColorListState State() const;
  std::vector<size_t> SelectedRows() const;
  void Button3Click();  // "new"
  void Button4Click();  // "delete"
  void Button5Click();  // "edit"
  // A click on the colour bar at (x, y) proposes the colour there at the readout's value.
  void Image3MouseDown(int x, int y);
  void ListView1Change();
  void ListView1DblClick();
  void PopupMenu1Popup();
  void Farbreihenfolgeumkehren1Click();  // "invert order"
  void Farbwertenegativ1Click();         // "edit selected values"
  void swapcolors1Click();               // "swap colors"
  void Button9Click();                   // "save" colour file
  void Button10Click();                  // "load" colour file
  // Loads a colour file into the list as "load" does with the file chosen; false after the
  // message when it cannot be read (the list stays as it was).
  bool LoadColourFile(const QString& path);

  // --- Shipped lists, other programs' colours and automatic colours (PaletteTools.cpp). Each
  // replaces the list whole, as one undo step. ---
  // Where the shipped lists are looked for (by default beside the program's folder).
  void SetPresetFolders(std::vector<std::string> folders);
  // The shipped lists, read on first use; those that cannot be read are left out.
  const std::vector<std::pair<Preset, ColorListState>>& Presets();
  void FillPresetMenu();
  // Replaces the list by the shipped list of that name; false when there is none.
  bool ChoosePreset(const std::string& name);
  void ImportClick();  // "import": a gradient or palette of another program, or a colour file
  // Imports the file at path (asking for the range the colours span when they have no values).
  void ImportFile(const QString& path);
  void ExportClick();  // "export": the list as a GIMP gradient or palette
  // Where "auto colours" reads the picture's exponents; nothing while they cannot be read (a
  // calculation is running).
  void SetExponentSource(std::function<const PixelDataFile*()> source);
  void AutoColoursClick();  // "auto colours"

  // --- Undo and redo (ColourUndo.cpp). Every change of the list or the outer colours is one
  // step on the undo stack: the page's own, or the one its project window shares with its other
  // pages. The guard is asked before a step is taken back or done again. ---
  void SetUndoStack(QUndoStack* stack);
  QUndoStack& UndoStack() const { return *undoStack_; }
  void SetUndoGuard(UndoGuard guard) { undoGuard_ = std::move(guard); }
  // The last step of the stack is a change of the colours.
  bool CanUndo() const;
  void UndoClick();  // "undo": the colours as they were before their last change
  void RedoClick();

  // Colours the preview grid through the list as it stands (the items, not the stored list).
  void DrawPreview(const PreviewGrid& grid);
  const QImage& PreviewImage() const { return preview_; }

  // Controls.
  QGroupBox* GroupBox3 = nullptr;  // "color- and value-list"
  QListWidget* ListView1 = nullptr;
  QPushButton* Button3 = nullptr;   // "new"
  QPushButton* Button5 = nullptr;   // "edit"
  QPushButton* Button4 = nullptr;   // "delete"
  QMenu* PopupMenu1 = nullptr;      // the list's context menu
  QLabel* Label15 = nullptr;        // "x < xmin:"
  QLabel* Label16 = nullptr;        // "x > xmax:"
  TShape* Shape1 = nullptr;         // BelowColor
  TShape* Shape2 = nullptr;         // AboveColor
  QWidget* ScrollBox4 = nullptr;    // the colour bar's box
  QLabel* Image3 = nullptr;         // the colour bar, 311 x 23
  QLabel* Label17 = nullptr;        // first value
  QLabel* Label18 = nullptr;        // last value
  QLabel* Label19 = nullptr;        // readout
  QGroupBox* Panel1 = nullptr;      // "Vorschau"
  QLabel* Image2 = nullptr;         // the preview, 175 x 119
  QPushButton* Button8 = nullptr;   // "apply to preview"
  QPushButton* Button6 = nullptr;   // "apply to picture"
  QPushButton* Button9 = nullptr;   // "save"
  QPushButton* Button10 = nullptr;  // "load"
  // The items of PopupMenu1, in menu order.
  QAction* NewEntry1 = nullptr;
  QAction* EditSelected1 = nullptr;
  QAction* DeleteSelected1 = nullptr;
  QAction* Farbreihenfolgeumkehren1 = nullptr;
  QAction* Farbwertenegativ1 = nullptr;
  QAction* swapcolors1 = nullptr;
  QToolButton* PresetsButton = nullptr;  // "presets", with the menu of shipped lists
  QMenu* PresetMenu = nullptr;
  QPushButton* ImportButton = nullptr;       // "import"
  QPushButton* ExportButton = nullptr;       // "export"
  QPushButton* AutoColoursButton = nullptr;  // "auto colours"
  QPushButton* UndoButton = nullptr;         // "undo"

 signals:
  // The outer colours were changed by the user.
  void outerColorChanged();
  // The list was edited, loaded or reordered by the user.
  void colorsEdited();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShapeMouseDown(TShape* shape);
  void BuildPaletteTools(QBoxLayout* page);
  // Shows an edit's result (or its message) and selects its rows: one undo step named `step`.
  void Commit(const ColorEdit& edit, const QString& step);
  // Shows a list whole with the rows selected (the undo steps use it).
  void ShowList(const ColorListState& list, const std::vector<size_t>& selected);
  void UndoStackChanged();
  // Asks for a colour and a value with TOKBottomDlg.
  bool ChooseColorAndValue(uint32_t& color, double& value);
  // The end values lo and hi as the end labels show them; false for an empty list.
  bool EndValues(double& lo, double& hi) const;

  std::vector<QImage> images_;
  QImage bar_;
  QImage preview_;
  QUndoStack* undoStack_ = nullptr;  // the page's own (ownStack_) or the project window's
  std::unique_ptr<QUndoStack> ownStack_;
  UndoGuard undoGuard_;
  std::vector<std::string> presetFolders_;
  std::optional<std::vector<std::pair<Preset, ColorListState>>> presets_;
  std::function<const PixelDataFile*()> exponents_;
};

}  // namespace vantorel::gui
