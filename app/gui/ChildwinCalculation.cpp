// The "calculation" page of the project window: starting, pausing, continuing, deriving more
// iterations (for the whole picture or a selected rectangle) and stopping a computation run
// (initialising is in ChildwinPicture.cpp), the progress display, the adjustments dialog, and
// recolouring the picture from its stored exponents. The states and what each enables are decided by
// CalculationControl; this file wires the controls, the timer and the run to it.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include "app/gui/Childwin.h"
#include "app/gui/CurrentProject.h"
#include "gui/DialogService.h"
#include "app/gui/OKBottomDlg1.h"
#include "app/gui/PictureView.h"
#include "app/gui/ProgressForm.h"
#include "gui/QtDispatcher.h"
#include "colour/Recolour.h"
#include "colour/gui/ColorListDisplay.h"
#include "core/IoError.h"
#include "core/Kernels.h"
#include "core/NumberText.h"
#include "core/RechenThread.h"
#include "core/UserMap.h"

namespace vantorel::gui {

namespace {
const QString kStopQuestion = QStringLiteral("really stop (all data is lost!!)?");
const QString kWaitMessage = QStringLiteral("Please wait until the colours are applied.");

TPictureView* View(QLabel* label) { return static_cast<TPictureView*>(label); }
}  // namespace

void TMDIChild::ConnectCalculation() {
  dispatcher_ = std::make_unique<QtDispatcher>();
  OKBottomDlg1 = new TOKBottomDlg1(this);
  connect(ToolButton7, &QToolButton::clicked, this, [this] { ToolButton7Click(); });
  connect(ToolButton2, &QToolButton::clicked, this, [this] { ToolButton2Click(); });
  connect(ToolButton10, &QToolButton::clicked, this, [this] { ToolButton10Click(); });
  connect(ToolButton13, &QToolButton::clicked, this, [this] { ToolButton13Click(); });
  connect(ToolButton9, &QToolButton::clicked, this, [this] { ToolButton9Click(); });
  connect(ToolButton14, &QToolButton::clicked, this, [this] { ToolButton14Click(); });
  connect(Button6, &QPushButton::clicked, this, [this] { Button6Click(); });
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
  TPictureView* view = View(Image1);
  view->MouseDown = [this](QPoint at) { Image1MouseDown(at); };
  view->MouseMove = [this](QPoint at) { Image1MouseMove(at); };
  view->MouseUp = [this](QPoint at) { Image1MouseUp(at); };
  ApplyControl();
}

// Shows what the calculation control decides on the controls, and keeps the block's state.
void TMDIChild::ApplyControl() {
  if (!OKBottomDlg1) return;  // still being built
  const CalcView v = control_.View();
  using C = CalcControl;
  const std::pair<QWidget*, C> controls[] = {{ToolButton7, C::ToolButton7},
                                             {ToolButton13, C::ToolButton13},
                                             {ToolButton9, C::ToolButton9},
                                             {ToolButton4, C::ToolButton4},
                                             {ToolButton14, C::ToolButton14},
                                             {ToolButton2, C::ToolButton2},
                                             {ToolButton10, C::ToolButton10},
                                             {ToolButton3, C::ToolButton3},
                                             {ToolButton12, C::ToolButton12},
                                             {Button6, C::Button6},
                                             {OKBottomDlg1->CheckBox1, C::Iterations},
                                             {OKBottomDlg1->CheckBox2, C::SmartIterLimit},
                                             {OKBottomDlg1->CheckBox3, C::ColorTransition}};
  for (const auto& [widget, control] : controls) widget->setEnabled(v[control]);
  SetToolButton2Image(v.Image);
  const QString hint = QString::fromStdString(v.Hint);
  ToolButton2->setToolTip(hint);
  ToolButton2->setStatusTip(hint);
  ToolButton14->setChecked(v.AreaDown);
  // A block loaded into a window without a picture keeps its state until CalculationLoaded.
  if (control_.PictureInitialised()) params_.State = control_.State();
  pictureInitialised_ = control_.PictureInitialised();
  calculating_ = thread_ != nullptr;
}

bool TMDIChild::RunComputing() const { return thread_ && !thread_->Suspended() && !thread_->Ended(); }

// ---------------------------------------------------------------------------------------------
// Stop

bool TMDIChild::StopRunAfterAsking() {
  if (!control_.Live() && !thread_) return true;
  if (Busy()) {
    DialogService::instance().information(this, kWaitMessage);
    return false;
  }
  if (!AskToStop()) return false;
  StopRun();
  return true;
}

bool TMDIChild::AskToStop() {
  // The run holds still while the question is open: the answer acts on the run the user saw,
  // which cannot finish behind the question. "No" lets it go on.
  const bool held = RunComputing();
  const bool timerWasActive = Timer1->isActive();
  if (held) {
    Timer1->stop();
    thread_->Suspend();
  }
  const bool yes = DialogService::instance().question(this, kStopQuestion, QMessageBox::Yes | QMessageBox::No,
                                                      QMessageBox::Critical) == QMessageBox::Yes;
  if (!yes && held && thread_) {
    thread_->Resume();
    if (timerWasActive) Timer1->start();
  }
  return yes;
}

void TMDIChild::ToolButton10Click() {
  if (Busy()) return;
  if (!AskToStop()) return;
  StopRun();
}

// Ends the run (if any) and waits for it, so that nothing is handed over afterwards; only
// then the progress is zeroed and the data files are cleared.
void TMDIChild::StopRun() {
  Timer1->stop();
  if (thread_) {
    thread_->Terminate();
    thread_->WaitFor();
    thread_.reset();
  }
  control_.Stop();
  ReleaseArea();
  ProgressBar1->setValue(0);
  host_.MainProgressBar().setValue(0);
  params_.ProgressColumn = params_.ProgressRow = 0;
  params_.IterationsDone = 0;
  ClearDataFiles();
  ApplyControl();
  StatusBar1->clearMessage();  // the stopped run's progress no longer says anything
}

void TMDIChild::ShowStateStatus() {
  StatusBar1->showMessage(QString::fromStdString(StateStatusText(
      params_.State, params_.ProgressColumn, params_.ProgressRow, params_.PictureWidth, params_.PictureHeight)));
}

bool TMDIChild::ClearDataFiles() {
  try {
    dataFile1_.Clear();
    dataFile2_.Clear();
    return true;
  } catch (const std::exception& e) {
    ReportIoError(e);
    return false;
  }
}

void TMDIChild::EndRunForClose() {
  if (Timer1) Timer1->stop();
  if (!thread_) return;
  thread_->Terminate();
  thread_->WaitFor();
  thread_.reset();
  calculating_ = false;
}

// ---------------------------------------------------------------------------------------------
// Runs

// Sets a run up completely before anything changes; a block the engine refuses gives a
// message and leaves the state as it was.
bool TMDIChild::LaunchRun(const PictureRegion* region) {
  const uint8_t state = control_.State();
  const bool deriving = region || state == StateFinished || state == StateDeriving || state == StateDerivingPaused;
  auto thread = std::make_unique<TRechenThread>(*dispatcher_);
  thread->SetFresh(!deriving);
  thread->SetFiles(dataFile1_, dataFile2_);
  thread->SetFastTrig(CheckBoxFastTrig->isChecked());  // this window's choice, not stored in the block
  thread->SetFinishedHandler([this] { CalculationFinished(); });
  thread->SetErrorHandler([this](const std::string& message) { RunFailed(message); });
  thread->SetProgressHandler([this](int position) {
    ProgressBar1->setValue(position);
    host_.MainProgressBar().setValue(position / 100);
  });
  thread->SetRowHandler([this](int32_t row) { ShowRows(row, row + 1); });
  // A first run's exponents rest on no earlier iterations.
  if (!deriving) params_.IterationsDone = 0;
  try {
    if (std::optional<QString> problem = ComputableProblem(params_)) throw FormatError(problem->toStdString());
    if (deriving)
      if (const std::string problem = IterationsDoneProblem(params_); !problem.empty())
        throw FormatError("Cannot derive more iterations: " + problem + ".");
    if (bitmap_.Width != params_.PictureWidth || bitmap_.Height != params_.PictureHeight)
      throw FormatError("The picture has not been initialised for these parameters.");
    thread->Setup(params_, bitmap_);
    if (region) thread->SetRegion(region->Left, region->Top, region->Right, region->Bottom);
    dataFile1_.Rewind();
    dataFile2_.Rewind();
  } catch (const std::exception& e) {
    DialogService::instance().error(
        this, QStringLiteral("The calculation cannot start:\n") + QString::fromLocal8Bit(e.what()));
    return false;
  }
  bool ok = false;
  if (region)
    ok = control_.StartSelectedArea();
  else if (state == StateInitialised || state == StateFinished)
    ok = control_.Start();
  else
    ok = control_.Continue();
  if (!ok) return false;
  if (!region) ReleaseArea();
  changed_ = true;
  thread_ = std::move(thread);
  // The remaining time comes from the speed of this run, from where it starts.
  estimate_.StartAt(ProgressPercent(thread_->Column(), thread_->Row(), thread_->Left(), thread_->Top(),
                                    thread_->Right(), thread_->Bottom()));
  ApplyControl();
  thread_->Resume();
  Timer1->start();
  return true;
}

bool TMDIChild::StartFullRun() { return LaunchRun(nullptr); }

bool TMDIChild::StartSelectedRun(const PictureRegion& region) { return LaunchRun(&region); }

void TMDIChild::ToolButton2Click() {
  if (Busy() || !control_.PictureInitialised()) return;
  changed_ = true;
  if (control_.Running()) {
    // Pause: the state and the buttons change first, so that a second click continues.
    Timer1->stop();
    control_.Pause();
    ApplyControl();
    thread_->Suspend();
    const QString remembered = StatusBar1->currentMessage();
    StatusBar1->showMessage(QStringLiteral("calculating preview..."));
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    SampleAndShowPreview();
    StatusBar1->showMessage(remembered);
    return;
  }
  if (control_.Paused() && thread_) {
    control_.Continue();
    ApplyControl();
    thread_->Resume();
    estimate_.Restart(true);
    Timer1->start();
    return;
  }
  if (control_.Live()) return;  // a failed run waits for "stop"
  if (control_.State() == StateFinished) {
    // Deriving more iterations goes over the whole picture from its first pixel.
    params_.ProgressColumn = params_.ProgressRow = 0;
  }
  StartFullRun();
}

void TMDIChild::SampleAndShowPreview() {
  try {
    SamplePreview(dataFile1_, params_.PictureWidth, params_.PictureHeight, preview_);
  } catch (const std::exception& e) {
    ReportIoError(e);
    return;
  }
  Button8Click();
}

void TMDIChild::CalculationFinished() {
  Timer1->stop();
  std::unique_ptr<TRechenThread> done = std::move(thread_);
  calculating_ = false;
  StatusBar1->showMessage(QStringLiteral("calculating preview..."));
  ToolButton2->setEnabled(false);
  ToolButton14->setEnabled(false);
  SampleAndShowPreview();
  ProgressBar1->setValue(0);
  host_.MainProgressBar().setValue(0);
  params_.IterationsDone += params_.Iterations;
  params_.ProgressColumn = params_.ProgressRow = 0;
  bool selected = false;
  control_.Finish(selected);
  // A selected-area run leaves the count of iterations the exponents rest on as it was.
  if (selected) params_.IterationsDone -= params_.Iterations;
  estimate_.Restart();
  ReleaseArea();
  ApplyControl();
  StatusBar1->showMessage(QStringLiteral("progress: finished"));
  Image1->update();
  // The run has ended; its object goes once the call that delivered this handler has returned
  // (it may be the run's own Resume).
  QTimer::singleShot(0, this, [ended = std::shared_ptr<TRechenThread>(std::move(done))] {});
}

void TMDIChild::RunFailed(const std::string& message) {
  Timer1->stop();
  control_.Fail();
  ApplyControl();
  DialogService::instance().error(this, QString::fromLocal8Bit(message.c_str()));
}

void TMDIChild::Timer1Timer() {
  if (control_.State() == StateInitialised || !thread_) return;
  const TRechenThread& t = *thread_;
  const std::string text = estimate_.Tick(t.Column(), t.Row(), t.Left(), t.Top(), t.Right(), t.Bottom());
  StatusBar1->showMessage(QString::fromStdString(text));
  ProgressBar1->setValue(estimate_.BarPosition());
}

// ---------------------------------------------------------------------------------------------
// The selected area

void TMDIChild::ToolButton14Click() {
  const bool down = ToolButton14->isChecked();
  if (down && control_.SetSelecting(true)) {
    mouseMode_ = MouseMode::Choose;
    Image1->setCursor(Qt::PointingHandCursor);
    StatusBar1->showMessage(QStringLiteral("choose part of image"));
  } else if (!down) {
    ReleaseArea();
    StatusBar1->clearMessage();
  }
  ApplyControl();
}

void TMDIChild::Image1MouseDown(QPoint at) {
  if (mouseMode_ != MouseMode::Choose || !control_.ChoosingArea()) return;
  mouseMode_ = MouseMode::Drag;
  Image1->setCursor(Qt::SizeFDiagCursor);
  dragStart_ = at;
  Shape3->setGeometry(View(Image1)->ToWidget(QRect(at.x(), at.y(), 0, 0)));
  Shape3->show();
}

void TMDIChild::Image1MouseMove(QPoint at) {
  if (mouseMode_ != MouseMode::Drag) return;
  at.setX(std::clamp(at.x(), 0, bitmap_.Width));
  at.setY(std::clamp(at.y(), 0, bitmap_.Height));
  Shape3->setGeometry(View(Image1)->ToWidget(QRect(dragStart_, at).normalized().adjusted(0, 0, -1, -1)));
}

void TMDIChild::Image1MouseUp(QPoint at) {
  if (mouseMode_ != MouseMode::Drag) return;
  Shape3->hide();
  mouseMode_ = MouseMode::None;
  Image1->setCursor(Qt::ForbiddenCursor);
  StatusBar1->clearMessage();
  const auto region = SelectedRegion(dragStart_.x(), dragStart_.y(), at.x(), at.y(), bitmap_.Width, bitmap_.Height);
  if (!region) {
    ReleaseArea();
    ApplyControl();
    DialogService::instance().information(
        this, QStringLiteral("The selected area holds no pixel to compute: drag a larger rectangle."));
    return;
  }
  if (DialogService::instance().question(this, QStringLiteral("continue iteration of selection?")) !=
      QMessageBox::Yes) {
    ReleaseArea();
    ApplyControl();
    return;
  }
  if (!StartSelectedRun(*region)) {
    ReleaseArea();
    ApplyControl();
  }
}

// ---------------------------------------------------------------------------------------------
// Adjustments

void TMDIChild::ToolButton9Click() {
  ApplyParameters();
  control_.AdjustmentsReset();
  ApplyControl();
}

void TMDIChild::ToolButton13Click() {
  if (Busy()) return;
  ApplyControl();  // the check boxes follow the run
  if (OKBottomDlg1->exec() != QDialog::Accepted) return;
  if (OKBottomDlg1->CheckBox4->isChecked()) {
    // "all parameters": checked first, asked only when data would be lost; a live run ends, TMP0
    // is written and ToolButton14 released. "No" goes on with the other adjustments.
    bool declined = false;
    if (Reinitialise(LossQuestion::AnyData, &declined) || !declined) return;
  }
  // The rest changes the block under a run: only without one (the boxes are disabled then).
  if (control_.Live()) return;
  const bool iterations = OKBottomDlg1->CheckBox1->isChecked();
  const bool smart = OKBottomDlg1->CheckBox2->isChecked();
  std::optional<double> limit;
  if (smart) {
    limit = TextToFloat(Edit11->text().toStdString());
    if (!limit) {
      DialogService::instance().error(
          this, QStringLiteral("Please correct the settings first.\n\nerror limit: \"%1\" is not a number.")
                    .arg(Edit11->text()));
      return;
    }
  }
  if (iterations) {
    params_.Iterations = SpinEdit1->value();  // as typed: the next run divides by it
    PagesApplied({"SpinEdit1"});
    WriteTempParameters();
  }
  if (smart) {
    params_.ErrorLimit = *limit;
    params_.SmartIterate = CheckBox2->isChecked();
    PagesApplied({"Edit11", "CheckBox2"});
    WriteTempParameters();
  }
  if (OKBottomDlg1->CheckBox3->isChecked()) Button6Click();
}

// ---------------------------------------------------------------------------------------------
// Recolouring

void TMDIChild::Button6Click() {
  if (control_.Running() || RunComputing()) {
    DialogService::instance().information(this, QStringLiteral("Pause the calculation first."));
    return;
  }
  const std::vector<TColorEntry> colours = ColorPage->Colors();
  if (colours.empty()) {
    DialogService::instance().error(this, QStringLiteral("The colour list is empty: add a colour first."));
    return;
  }
  if (bitmap_.Width != params_.PictureWidth || bitmap_.Height != params_.PictureHeight) return;  // no picture yet
  if (!control_.SetBusy(true)) return;  // already recolouring or saving
  struct Idle {                         // the buttons come back on every way out
    TMDIChild* w;
    ~Idle() {
      w->control_.SetBusy(false);
      w->ApplyControl();
    }
  } idle{this};
  ApplyControl();

  params_.SetColors(colours);
  params_.BelowColor = static_cast<int32_t>(ColorPage->BelowColor());
  params_.AboveColor = static_cast<int32_t>(ColorPage->AboveColor());
  PagesApplied({"colors"});
  PageControl1->setCurrentWidget(TabSheet4);
  TForm7& progress = host_.ProgressWindow();
  try {
    RecolourPicture(dataFile1_, params_, bitmap_, [&](int64_t k, int64_t total) {
      const auto row = static_cast<int32_t>(k / params_.PictureWidth);
      ShowRows(row - 1, row);
      StatusBar1->showMessage(QString::fromStdString(RecolourStatusText(k, total)));
      const int position = RecolourBarPosition(k, total);
      ProgressBar1->setValue(position);
      if (progress.isVisible()) progress.ProgressBar1->setValue(position / 100);
      QApplication::processEvents();
    });
  } catch (const std::exception& e) {
    ShowRows(0, bitmap_.Height);
    ReportIoError(e);
    return;
  }
  ShowRows(0, bitmap_.Height);
  ShowStateStatus();
  WriteTempParameters();
}

}  // namespace vantorel::gui
