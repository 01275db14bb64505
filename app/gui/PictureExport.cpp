#include "app/gui/PictureExport.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QWidget>
#include <algorithm>
#include <cstring>
#include <thread>

#include "app/ParameterFile.h"
#include "app/gui/SupersampleExport.h"
#include "core/TimeEstimate.h"

namespace vantorel::gui {

PictureRows RowsOf(const QImage& image) {
  PictureRows rows;
  rows.Width = image.width();
  rows.Height = image.height();
  if (image.isNull()) return rows;
  rows.Row = [&image](int32_t y, uint8_t* bgr) {
    const int w = image.width();
    const uchar* line = image.constScanLine(y);
    switch (image.format()) {
      case QImage::Format_BGR888: std::memcpy(bgr, line, static_cast<size_t>(w) * 3); break;
      case QImage::Format_RGB888:
        for (int x = 0; x < w; ++x) {
          bgr[3 * x] = line[3 * x + 2];
          bgr[3 * x + 1] = line[3 * x + 1];
          bgr[3 * x + 2] = line[3 * x];
        }
        break;
      default:
        for (int x = 0; x < w; ++x) {
          const QRgb c = image.pixel(x, y);
          bgr[3 * x] = static_cast<uint8_t>(qBlue(c));
          bgr[3 * x + 1] = static_cast<uint8_t>(qGreen(c));
          bgr[3 * x + 2] = static_cast<uint8_t>(qRed(c));
        }
    }
  };
  return rows;
}

namespace {

FileDialogRequest SaveRequest(const QString& title, const QString& filter, const QString& suffix,
                              const QString& presetFileName) {
  FileDialogRequest r;
  r.kind = FileDialogRequest::Save;
  r.title = title;
  r.filter = filter;
  r.defaultSuffix = suffix;
  r.presetFileName = presetFileName;
  r.confirmOverwrite = true;
  return r;
}

}  // namespace

TPictureExport::TPictureExport(QWidget* window, std::function<const QImage&()> picture,
                               std::function<const TCalcParams&()> params)
    : QObject(window), window_(window), picture_(std::move(picture)), params_(std::move(params)) {
  PopupMenu2 = new QMenu(window);
  PopupMenu2->setObjectName("PopupMenu2");
  WindowsBitmap1 = PopupMenu2->addAction(QStringLiteral("Windows-bitmap"), this, [this] { WindowsBitmap1Click(); });
  JpegBitmap1 = PopupMenu2->addAction(QStringLiteral("Jpeg-Bitmap"), this, [this] { JpegBitmap1Click(); });
  PngBitmap1 =
      PopupMenu2->addAction(QStringLiteral("PNG-Bitmap (with parameters)"), this, [this] { PngBitmap1Click(); });
  PngBitmap1->setStatusTip(
      QStringLiteral("a PNG picture that \"open file\" > \"parameter\" opens again, computed from its settings"));
  Supersampled1 =
      PopupMenu2->addAction(QStringLiteral("save supersampled picture…"), this, [this] { Supersampled1Click(); });
  Supersampled1->setStatusTip(QStringLiteral("smooth edges: every pixel coloured from N x N sub-pixels"));
  PopupShower = [](QMenu& menu, QPoint at) { menu.popup(at); };
}

QPoint TPictureExport::PopupMenu2Position() const {
  // Under the button that was pressed, wherever the window is (maximised in the work space
  // included); without one at the stated offset within the project window.
  if (Anchor) return Anchor->mapToGlobal(QPoint(0, Anchor->height()));
  return window_->mapToGlobal(QPoint(270, 150));
}

void TPictureExport::ToolButton3Click() { PopupShower(*PopupMenu2, PopupMenu2Position()); }

FileDialogRequest TPictureExport::SavePictureDialog2(const QString& caption) {
  return SaveRequest(QStringLiteral("save as BMP"), QStringLiteral("Windows - bitmap (*.bmp);;all files (*)"),
                     QStringLiteral("bmp"), caption + QStringLiteral(".Bmp"));
}

FileDialogRequest TPictureExport::SavePictureDialog1(const QString& caption) {
  return SaveRequest(QStringLiteral("save as JPG"), QStringLiteral("JPEG bitmap (*.jpg *.jpeg);;all files (*)"),
                     QStringLiteral("jpg"), caption + QStringLiteral(".Jpg"));
}

FileDialogRequest TPictureExport::SavePictureDialog3(const QString& caption) {
  return SaveRequest(QStringLiteral("save as PNG"),
                     QStringLiteral("PNG picture with parameters (*.png);;all files (*)"), QStringLiteral("png"),
                     caption + QStringLiteral(".Png"));
}

void TPictureExport::WindowsBitmap1Click() {
  SaveThroughDialog(SavePictureDialog2(window_->windowTitle()), PictureType::Bitmap);
}

void TPictureExport::JpegBitmap1Click() {
  SaveThroughDialog(SavePictureDialog1(window_->windowTitle()), PictureType::Jpeg);
}

void TPictureExport::PngBitmap1Click() {
  SaveThroughDialog(SavePictureDialog3(window_->windowTitle()), PictureType::Png);
}

void TPictureExport::SaveThroughDialog(const FileDialogRequest& request, PictureType type) {
  if (picture_().isNull()) {
    DialogService::instance().information(window_, QStringLiteral("There is no picture to save yet."));
    return;
  }
  const std::optional<QString> path = DialogService::instance().fileName(window_, request);
  if (path) SavePictureAs(*path, type);
}

void TPictureExport::Supersampled1Click() {
  if (run_) {
    DialogService::instance().information(window_, QStringLiteral("A supersampled picture is being computed already."));
    return;
  }
  const TCalcParams params = params_();  // the run's own copy
  const bool fast = FastTrig();
  double seconds = 0;
  try {
    seconds = EstimateComputeSeconds(params, int(std::max(1u, std::thread::hardware_concurrency())), fast);
  } catch (const std::exception& e) {
    DialogService::instance().error(window_, QString::fromLocal8Bit(e.what()));
    return;
  }
  TSupersampleDialog choice(window_, params, seconds);
  if (DialogService::instance().execDialog(&choice) != QDialog::Accepted) return;
  const PictureType type = choice.Type();
  try {
    CheckPictureSize(params.PictureWidth, params.PictureHeight, type);
  } catch (const std::exception& e) {
    DialogService::instance().error(window_, QString::fromLocal8Bit(e.what()));
    return;
  }
  const QString caption = window_->windowTitle();
  const std::optional<QString> path =
      DialogService::instance().fileName(window_, type == PictureType::Bitmap ? SavePictureDialog2(caption)
                                                  : type == PictureType::Jpeg ? SavePictureDialog1(caption)
                                                                              : SavePictureDialog3(caption));
  if (!path) return;
  auto* run = new TSupersampleRun(window_, params, choice.Factor(), fast, *path, type);
  connect(run, &TSupersampleRun::Ended, this, [this, run](bool) {
    if (run_ == run) run_ = nullptr;
    run->deleteLater();
  });
  run_ = run;
  if (!run->Start()) {
    run_ = nullptr;
    delete run;
  }
}

bool TPictureExport::SavePictureAs(const QString& path, PictureType type) {
  const QImage& picture = picture_();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  QString problem;
  try {
    std::vector<uint8_t> block;
    if (type == PictureType::Png) block = EncodeParameterBlock(params_(), BlockForm::Parameters);
    SavePicture(QFile::encodeName(path).toStdString(), RowsOf(picture), type, block);
  } catch (const std::exception& e) {
    problem = QString::fromLocal8Bit(e.what());
  }
  QApplication::restoreOverrideCursor();
  if (problem.isEmpty()) return true;
  DialogService::instance().error(window_,
                                  QStringLiteral("The picture could not be saved to \"%1\":\n%2").arg(path, problem));
  return false;
}

}  // namespace vantorel::gui
