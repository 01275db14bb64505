// The dialog that chooses a new region by placing a selection over the project's picture: the
// selection can be moved, resized in both directions and rotated, and the picture zoomed and
// moved underneath it.
#pragma once

#include <QDialog>
#include <QImage>

#include "app/RegionGeometry.h"
#include "core/CalcParams.h"

class QLabel;
class QSlider;
class QStatusBar;
class QToolButton;

namespace vantorel::gui {

class TForm3 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm3(QWidget* parent = nullptr);

  // The dialog of the program, made on first use.
  static TForm3& Instance();

  // Shows the dialog modally over the picture for the block's region; true when the user chose
  // "use changes". Afterwards Region() and Selection() stay readable.
  bool execute(const TCalcParams& block, const QImage& picture);
  // The state execute starts from, without showing the dialog.
  void Prepare(const TCalcParams& block, const QImage& picture);

  const RegionFrame& Region() const { return region_; }
  const RegionSelection& Selection() const { return selection_; }
  const RegionView& View() const { return view_; }
  int Mode() const { return mode_; }
  bool Result() const { return result_; }
  // The display: the picture with the selection outline over it (inverted, dotted).
  QImage Display() const;

  void ToolButton6Click();                      // use changes
  void ToolButton4Click();                      // discard changes
  void ToolButton1Click(QToolButton* pressed);  // the four mode buttons
  void ToolButton3Click();                      // zoom in
  void ToolButton5Click();                      // zoom out
  void ToolButton10Click();                     // initial zoom
  void TrackBar1Change();
  void TrackBar2Change();
  void Image1MouseDown(Qt::MouseButton button, int x, int y);
  void Image1MouseMove(int x, int y);
  void Image1MouseUp();
  void zeichnen();
  void zeichneAuswahl();

  // --- controls ---
  QToolButton *ToolButton6 = nullptr, *ToolButton4 = nullptr;
  QToolButton *ToolButton9 = nullptr, *ToolButton7 = nullptr, *ToolButton1 = nullptr, *ToolButton11 = nullptr;
  QToolButton *ToolButton3 = nullptr, *ToolButton5 = nullptr, *ToolButton10 = nullptr;
  QSlider *TrackBar1 = nullptr, *TrackBar2 = nullptr;
  QWidget* Image1 = nullptr;
  QStatusBar* StatusBar1 = nullptr;
  QLabel* Panels[3] = {nullptr, nullptr, nullptr};

 private:
  void ShowStatus();
  void SetTrackBar(QSlider* bar, int position);

  QImage picture_;  // the project's picture (shared, not copied)
  QImage display_;  // the picture as drawn, without the outline
  RegionFrame region_;
  RegionSelection selection_;
  RegionView view_;
  std::array<DisplayPoint, 5> outline_{};
  int mode_ = 2;
  bool result_ = false;
  bool mouseDown_ = false;
  Qt::MouseButton mouseButton_ = Qt::LeftButton;
  int lastX_ = 0, lastY_ = 0;
  // The offsets and the angle as the mouse has moved them since it went down; the selection
  // takes them on the track bars' steps.
  double dragDx_ = 0, dragDy_ = 0, dragRot_ = 0;
  bool settingTrackBars_ = false;
};

}  // namespace vantorel::gui
