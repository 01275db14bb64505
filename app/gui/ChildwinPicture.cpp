// The project window's picture: its allocation and display, and (re)initialising it for new
// settings or a new size, all or nothing: the new values are checked first (settings, formula,
// size), then the question is asked if data would be lost, then the picture is replaced.
#include <QStatusBar>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <algorithm>
#include <thread>
#include <unistd.h>

#include "app/gui/Childwin.h"
#include "gui/DialogService.h"
#include "app/gui/PictureView.h"
#include "core/IoError.h"
#include "core/Kernels.h"
#include "core/TimeEstimate.h"
#include "core/UserMap.h"
#include "formula/FormulaCheck.h"
#include "formula/gui/FormulaTools.h"

namespace vantorel::gui {

namespace {
const QString kWaitMessage = QStringLiteral("Please wait until the colours are applied.");
const QString kLossQuestion = QStringLiteral("All calculated data will be lost!\ncontinue anyway?");

TPictureView* View(QLabel* label) { return static_cast<TPictureView*>(label); }
}  // namespace

bool TMDIChild::CalculationLoaded() {
  if (RunLive() || Busy()) return false;
  if (bitmap_.Width != params_.PictureWidth || bitmap_.Height != params_.PictureHeight) {
    TPicture picture;
    QImage image;
    if (!AllocatePicture(params_.PictureWidth, params_.PictureHeight, picture, image)) return false;
    SetBitmap(std::move(picture), std::move(image));
  }
  control_.Loaded(params_.State);
  ReleaseArea();
  ApplyControl();
  return true;
}

// ---------------------------------------------------------------------------------------------
// The picture

bool TMDIChild::AllocatePicture(int32_t width, int32_t height, TPicture& picture, QImage& image) {
  // The bitmap (3 bytes a pixel) and the image shown (4 bytes a pixel).
  const uint64_t bytes = PictureBytes(width, height);
  const uint64_t shown = bytes > 0 ? uint64_t(width) * uint64_t(height) * 4 : 0;
  const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
  const uint64_t memory = pages > 0 && pageSize > 0 ? uint64_t(pages) * uint64_t(pageSize) : UINT64_MAX;
  bool ok = bytes > 0 && bytes + shown <= memory / 2 && bytes <= uint64_t(PTRDIFF_MAX / 2);
  if (ok) {
    try {
      picture.Width = width;
      picture.Height = height;
      picture.Stride = static_cast<int32_t>((int64_t(width) * 3 + 3) & ~int64_t(3));
      picture.Bits.assign(static_cast<size_t>(bytes), 0xFF);  // white
      image = QImage(width, height, QImage::Format_RGB32);
      ok = !image.isNull();
    } catch (const std::bad_alloc&) {
      ok = false;
    }
  }
  if (!ok) {
    picture = TPicture{};
    image = QImage();
    DialogService::instance().error(
        this, QStringLiteral("A picture of %1 x %2 pixels does not fit into memory.").arg(width).arg(height));
    return false;
  }
  image.fill(Qt::white);
  return true;
}

void TMDIChild::SetBitmap(TPicture&& picture, QImage&& image) {
  bitmap_ = std::move(picture);
  // Shown in the screen's own format, so that painting converts nothing.
  picture_ = std::move(image);
  View(Image1)->SetImage(&picture_);
}

// Copies rows first .. end - 1 of the bitmap into the image shown and repaints them.
void TMDIChild::ShowRows(int32_t first, int32_t end) {
  first = std::max(first, 0);
  end = std::min(end, std::min(bitmap_.Height, picture_.height()));
  const int32_t width = std::min(bitmap_.Width, picture_.width());
  for (int32_t y = first; y < end; ++y) {
    const uint8_t* from = bitmap_.Row(y);
    auto* to = reinterpret_cast<QRgb*>(picture_.scanLine(y));
    for (int32_t x = 0; x < width; ++x, from += 3) to[x] = qRgb(from[2], from[1], from[0]);
  }
  View(Image1)->UpdateRows(first, end);
}

void TMDIChild::ReleaseArea() {
  mouseMode_ = MouseMode::None;
  Shape3->hide();
  Image1->setCursor(Qt::ForbiddenCursor);
  control_.SetSelecting(false);
}

std::optional<QString> TMDIChild::ComputableProblem(const TCalcParams& p) const {
  if (p.ColorList.empty()) return QStringLiteral("The colour list is empty.");
  if (p.FixedFormula == -1) {
    // The test of the formula page: an unknown name or a formula that does not convert would
    // compute a blank picture without a word.
    CollectingMessageSink sink;
    if (TestFormula(p.FormulaText, sink) != FormulaVerdict::Success) {
      QString said;
      for (const std::string& m : sink.Messages) said += QLatin1Char('\n') + MessageText(m);
      return QStringLiteral("The formula \"%1\" cannot be computed:").arg(QString::fromStdString(p.FormulaText)) + said;
    }
  }
  try {
    KernelParamsFrom(p);
    if (p.FixedFormula == -1) PrepareUserMap(p);
  } catch (const FormatError& e) {
    return QString::fromStdString(e.what());
  }
  return std::nullopt;
}

bool TMDIChild::HoldsData() const {
  if (control_.Live()) return true;
  try {
    return dataFile1_.RecordCount() > 0 || dataFile2_.RecordCount() > 0;
  } catch (const std::exception&) {
    return true;  // what cannot be read may hold something
  }
}

uint64_t TMDIChild::ScreenPixels() const {
  const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
  const QSize size = s ? s->size() : QSize(1024, 768);
  return uint64_t(size.width()) * uint64_t(size.height());
}

bool TMDIChild::AcceptPictureSize(const TCalcParams& p) {
  const QSize size(p.PictureWidth, p.PictureHeight);
  if (size == agreedSize_) return true;
  const MachineRoom room =
      RoomProbe ? RoomProbe() : ProbeMachineRoom(QFile::encodeName(QFileInfo(tempBase_).absolutePath()).toStdString());
  const bool fast = CheckBoxFastTrig->isChecked();
  const SizeJudgement judged =
      JudgePictureSize(p.PictureWidth, p.PictureHeight, ScreenPixels(), room, [&p, fast]() -> std::optional<double> {
        try {
          return EstimateComputeSeconds(p, int(std::max(1u, std::thread::hardware_concurrency())), fast);
        } catch (const std::exception&) {
          return std::nullopt;
        }
      });
  switch (judged.Verdict) {
    case SizeVerdict::Take: return true;
    case SizeVerdict::Refuse: DialogService::instance().error(this, QString::fromStdString(judged.Text)); return false;
    case SizeVerdict::Ask: break;
  }
  if (DialogService::instance().question(this, QString::fromStdString(judged.Text), QMessageBox::Yes | QMessageBox::No,
                                         QMessageBox::Warning) != QMessageBox::Yes)
    return false;
  agreedSize_ = size;
  return true;
}

bool TMDIChild::InitialisePicture(bool askFirst) {
  return Reinitialise(askFirst ? LossQuestion::StopRun : LossQuestion::None);
}

bool TMDIChild::Reinitialise(LossQuestion ask, bool* declined) {
  if (declined) *declined = false;
  if (Busy()) {
    DialogService::instance().information(this, kWaitMessage);
    return false;
  }
  // The new values first ...
  TCalcParams gathered = params_;
  std::optional<QString> problem = CollectControls(gathered);
  if (!problem) problem = ComputableProblem(gathered);
  if (problem) {
    DialogService::instance().error(this, QStringLiteral("Please correct the settings first.\n\n") + *problem);
    return false;
  }
  if (!AcceptPictureSize(gathered)) return false;
  TPicture picture;
  QImage image;
  if (!AllocatePicture(gathered.PictureWidth, gathered.PictureHeight, picture, image)) return false;
  // ... then the question, only when data would be lost ...
  if (ask == LossQuestion::AnyData && HoldsData() &&
      DialogService::instance().question(this, kLossQuestion, QMessageBox::Yes | QMessageBox::No,
                                         QMessageBox::Warning) != QMessageBox::Yes) {
    if (declined) *declined = true;
    return false;
  }
  if (control_.Live() && !(ask == LossQuestion::StopRun ? StopRunAfterAsking() : (StopRun(), true))) return false;
  // ... then the new picture.
  if (!ClearDataFiles()) return false;
  gathered.ProgressColumn = gathered.ProgressRow = 0;
  gathered.IterationsDone = 0;
  params_ = std::move(gathered);
  firstGather_ = false;
  PagesApplied();
  SetBitmap(std::move(picture), std::move(image));
  ReleaseArea();
  control_.Initialise();
  ProgressBar1->setValue(0);
  StatusBar1->clearMessage();  // the old picture's progress says nothing of the new one
  changed_ = true;
  PageControl1->setCurrentWidget(TabSheet4);
  ApplyControl();
  WriteTempParameters();
  return true;
}

bool TMDIChild::UsePictureSize(int32_t width, int32_t height) {
  if (Busy()) {
    DialogService::instance().information(this, kWaitMessage);
    return false;
  }
  TCalcParams sized = params_;
  sized.PictureWidth = width;
  sized.PictureHeight = height;
  if (!AcceptPictureSize(sized)) return false;
  TPicture picture;
  QImage image;
  if (!AllocatePicture(width, height, picture, image)) return false;
  if (HoldsData() && DialogService::instance().question(this, kLossQuestion) != QMessageBox::Yes) return false;
  if (control_.Live()) StopRun();
  if (!ClearDataFiles()) return false;
  params_.PictureWidth = width;
  params_.PictureHeight = height;
  PagesApplied({"SpinEdit3", "SpinEdit4"});
  params_.ProgressColumn = params_.ProgressRow = 0;
  SetBitmap(std::move(picture), std::move(image));
  ReleaseArea();
  control_.Initialise();
  ProgressBar1->setValue(0);
  StatusBar1->clearMessage();  // the old picture's progress says nothing of the new one
  changed_ = true;
  ApplyControl();
  WriteTempParameters();
  return true;
}

void TMDIChild::ToolButton7Click() { InitialisePicture(true); }

}  // namespace vantorel::gui
