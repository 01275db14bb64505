// Saving a project window's picture: ToolButton3 ("save picture as BMP/JPG") pops up PopupMenu2
// with "Windows-bitmap", "Jpeg-Bitmap" and "PNG-Bitmap (with parameters)"; each shows its save
// dialog, preset to the window caption, and writes the picture at its full size. A PNG also
// carries the project's parameter block, so that loading parameters reopens it as its settings.
#pragma once

#include <QImage>
#include <QObject>
#include <QPoint>
#include <QString>
#include <functional>

#include "app/PictureFile.h"
#include "gui/DialogService.h"
#include "core/CalcParams.h"

class QAction;
class QMenu;
class QWidget;

namespace vantorel::gui {

class TSupersampleRun;

// The rows of a toolkit image as blue, green, red (the image must outlive the source).
PictureRows RowsOf(const QImage& image);

class TPictureExport : public QObject {
  Q_OBJECT
 public:
  // window: the project window; its caption presets the file names and dialogs belong to it.
  // picture and params give the picture to save and the block a PNG carries.
  TPictureExport(QWidget* window, std::function<const QImage&()> picture, std::function<const TCalcParams&()> params);

  // Pops up PopupMenu2 just below the Anchor button (at (270, 150) within the project window
  // when there is none).
  void ToolButton3Click();
  QPoint PopupMenu2Position() const;
  void WindowsBitmap1Click();
  void JpegBitmap1Click();
  void PngBitmap1Click();
  // "save supersampled picture…": N and the format with size and estimated time, the save
  // dialog of the format, then the picture computed in the background (SupersampleExport.h).
  void Supersampled1Click();
  // The supersampled picture being computed, or nullptr.
  TSupersampleRun* SupersampleRun() const { return run_; }

  // Writes the picture as the type; a failure is reported in a box and the result is false.
  bool SavePictureAs(const QString& path, PictureType type);

  static FileDialogRequest SavePictureDialog2(const QString& caption);  // "save as BMP"
  static FileDialogRequest SavePictureDialog1(const QString& caption);  // "save as JPG"
  static FileDialogRequest SavePictureDialog3(const QString& caption);  // "save as PNG"

  QWidget* Anchor = nullptr;  // the button that pops the menu up
  QMenu* PopupMenu2 = nullptr;
  QAction* WindowsBitmap1 = nullptr;
  QAction* JpegBitmap1 = nullptr;
  QAction* PngBitmap1 = nullptr;
  QAction* Supersampled1 = nullptr;
  // Whether the project window computes with fast trigonometry (a supersampled picture does too).
  std::function<bool()> FastTrig = [] { return false; };
  // Shows a popup menu at a screen position; tests replace it to see what would pop up.
  std::function<void(QMenu&, QPoint)> PopupShower;

 private:
  void SaveThroughDialog(const FileDialogRequest& request, PictureType type);

  QWidget* window_;
  std::function<const QImage&()> picture_;
  std::function<const TCalcParams&()> params_;
  TSupersampleRun* run_ = nullptr;
};

}  // namespace vantorel::gui
