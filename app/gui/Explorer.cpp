#include "app/gui/Explorer.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QSpinBox>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

#include "app/RegionGeometry.h"
#include "gui/Accessibility.h"
#include "app/gui/Childwin.h"
#include "app/gui/KeyframeEditor.h"
#include "gui/DialogService.h"
#include "app/gui/Main.h"
#include "core/IoError.h"
#include "core/NumberText.h"

namespace vantorel::gui {

namespace {

QString Number(double v) { return QString::fromStdString(ShortNumberText(v)); }

QToolButton* MakeButton(QWidget* parent, const QString& text, const QString& hint, const char* name) {
  auto* b = new QToolButton(parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setText(text);
  b->setToolTip(hint);
  b->setAccessibleName(hint);
  b->setAutoRaise(true);
  return b;
}

QString PassName(int step) {
  if (step == kSupersampleStep) return QStringLiteral("2 x 2 supersampled");
  if (step == 1) return QStringLiteral("full resolution");
  return QStringLiteral("1/%1").arg(step);
}

}  // namespace

TExplorer::TExplorer(TMainForm& host, TMDIChild* project, const TCalcParams& params, bool fast, QWidget* parent)
    : QWidget(parent), host_(host), project_(project), params_(params), fast_(fast) {
  passes_.SetProject(params_, fast_);  // throws for parameters that cannot be computed
  setObjectName(QStringLiteral("Explorer"));
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  auto* bar = new QHBoxLayout;
  bar->setContentsMargins(2, 2, 2, 2);
  BackButton = MakeButton(this, QStringLiteral("<"), QStringLiteral("back"), "BackButton");
  ForwardButton = MakeButton(this, QStringLiteral(">"), QStringLiteral("forward"), "ForwardButton");
  RecentButton = MakeButton(this, QStringLiteral("views"), QStringLiteral("recent views"), "RecentButton");
  recentMenu_ = new QMenu(RecentButton);
  recentMenu_->setObjectName(QStringLiteral("RecentViews"));
  RecentButton->setMenu(recentMenu_);
  RecentButton->setPopupMode(QToolButton::InstantPopup);
  HomeButton = MakeButton(this, QStringLiteral("home"), QStringLiteral("home"), "HomeButton");
  ZoomInButton = MakeButton(this, QStringLiteral("+"), QStringLiteral("zoom in"), "ZoomInButton");
  ZoomOutButton = MakeButton(this, QStringLiteral("-"), QStringLiteral("zoom out"), "ZoomOutButton");
  SupersampleBox = new QCheckBox(QStringLiteral("supersample when still"), this);
  SupersampleBox->setObjectName(QStringLiteral("SupersampleBox"));
  SupersampleBox->setAccessibleName(SupersampleBox->text());
  SupersampleBox->setChecked(true);
  UseRegionButton =
      MakeButton(this, QStringLiteral("use this region"), QStringLiteral("use this region"), "UseRegionButton");
  UseRegionButton->setEnabled(project_ != nullptr);
  if (project_) connect(project_, &QObject::destroyed, UseRegionButton, [this] { UseRegionButton->setEnabled(false); });
  NewProjectButton = MakeButton(this, QStringLiteral("open as new project"), QStringLiteral("open as new project"),
                                "NewProjectButton");
  KeyframesButton = MakeButton(this, QStringLiteral("keyframes"), QStringLiteral("keyframes"), "KeyframesButton");
  KeyframesButton->setCheckable(true);
  for (QWidget* w :
       std::initializer_list<QWidget*>{BackButton, ForwardButton, RecentButton, HomeButton, ZoomInButton, ZoomOutButton,
                                       SupersampleBox, UseRegionButton, NewProjectButton, KeyframesButton})
    bar->addWidget(w);
  bar->addStretch(1);
  column->addLayout(bar);

  Canvas = new TExplorerCanvas(*this);
  auto* middle = new QHBoxLayout;
  middle->setSpacing(0);
  middle->addWidget(Canvas, 1);
  Keyframes = new TKeyframeEditor(*this);
  Keyframes->hide();
  middle->addWidget(Keyframes);
  column->addLayout(middle, 1);
  CursorLabel = new QLabel(this);
  CursorLabel->setObjectName(QStringLiteral("CursorLabel"));
  CursorLabel->setAccessibleName(QStringLiteral("under the cursor"));
  ViewLabel = new QLabel(this);
  ViewLabel->setObjectName(QStringLiteral("ViewLabel"));
  ViewLabel->setAccessibleName(QStringLiteral("view"));
  ViewLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  for (QLabel* l : {CursorLabel, ViewLabel}) {
    l->setContentsMargins(4, 1, 4, 1);
    column->addWidget(l);
  }

  connect(BackButton, &QToolButton::clicked, this, &TExplorer::GoBack);
  connect(ForwardButton, &QToolButton::clicked, this, &TExplorer::GoForward);
  connect(HomeButton, &QToolButton::clicked, this, &TExplorer::GoHome);
  connect(recentMenu_, &QMenu::aboutToShow, this, &TExplorer::FillRecentMenu);
  auto centre = [this] { return PixelPoint{View().PixelWidth() / 2.0, View().PixelHeight() / 2.0}; };
  connect(ZoomInButton, &QToolButton::clicked, this, [this, centre] { ZoomAt(centre(), 1.25); });
  connect(ZoomOutButton, &QToolButton::clicked, this, [this, centre] { ZoomAt(centre(), 0.8); });
  connect(SupersampleBox, &QCheckBox::toggled, this, [this] { Compute(); });
  connect(UseRegionButton, &QToolButton::clicked, this, [this] { UseThisRegion(); });
  connect(NewProjectButton, &QToolButton::clicked, this, [this] { OpenAsNewProject(); });
  connect(KeyframesButton, &QToolButton::toggled, Keyframes, &QWidget::setVisible);
  // Alt+Left and Alt+Right anywhere in the window.
  auto addShortcut = [this](QKeySequence keys, void (TExplorer::*fn)(), const QString& text) {
    auto* action = new QAction(text, this);
    action->setShortcut(keys);
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(action, &QAction::triggered, this, fn);
    addAction(action);
  };
  addShortcut(QKeySequence(Qt::ALT | Qt::Key_Left), &TExplorer::GoBack, QStringLiteral("back"));
  addShortcut(QKeySequence(Qt::ALT | Qt::Key_Right), &TExplorer::GoForward, QStringLiteral("forward"));

  homeRegion_ = {params_.CenterX, params_.CenterY, params_.Width, params_.Height, params_.Angle};
  const QSize size = Canvas->DeviceSize();
  history_ = std::make_unique<ExplorerHistory>(ExplorerView(homeRegion_, size.width(), size.height()));
  // Passes arrive on a computing thread and are drawn on this one.
  passes_.SetPassHandler([this](std::shared_ptr<const ExplorerPass> pass) {
    dispatcher_.Post([this, pass = std::move(pass)]() mutable { PassArrived(std::move(pass)); });
  });
  NameControls(this);
  UpdateTexts();
}

TExplorer::~TExplorer() {
  Keyframes->StopPreview();
  passes_.Cancel();
}

TMDIChild* TExplorer::Project() const { return project_; }

void TExplorer::Show(const ExplorerView& view, bool remember) {
  if (remember) {
    live_.reset();
    history_->Push(view);
  } else {
    live_ = view;
  }
  Compute();
}

void TExplorer::Compute() {
  expected_ = passes_.Start(ShownView(), SupersampleBox->isChecked());
  computingStep_ = kExplorerSteps[0];
  Canvas->update();
  UpdateTexts();
}

void TExplorer::PassArrived(std::shared_ptr<const ExplorerPass> pass) {
  if (pass->Generation != expected_) {
    ++dropped_;
    return;
  }
  // The image shares the pass's pixels.
  auto* keep = new std::shared_ptr<const ExplorerPass>(pass);
  QImage image(
      reinterpret_cast<const uchar*>(pass->Pixels.data()), pass->Width, pass->Height, pass->Width * 4,
      QImage::Format_RGB32, [](void* p) { delete static_cast<std::shared_ptr<const ExplorerPass>*>(p); }, keep);
  image_ = std::move(image);
  imageView_ = ShownView();
  shown_ = std::move(pass);
  if (shown_->Last) {
    computingStep_ = -1;
  } else {
    const int index =
        int(std::find(std::begin(kExplorerSteps), std::end(kExplorerSteps), shown_->Step) - std::begin(kExplorerSteps));
    computingStep_ = index + 1 < int(std::size(kExplorerSteps)) ? kExplorerSteps[index + 1] : kSupersampleStep;
  }
  Canvas->repaint();
  UpdateTexts();
  if (PassShown) PassShown(*shown_);
}

void TExplorer::ZoomAt(PixelPoint at, double factor) {
  ExplorerView v = ShownView();
  if (v.ZoomAbout(at, factor)) Show(v, true);
}

void TExplorer::TurnAt(PixelPoint at, double radians) {
  ExplorerView v = ShownView();
  if (v.RotateAbout(at, radians)) Show(v, true);
}

void TExplorer::PanBy(double dx, double dy, bool finished) {
  ExplorerView v = ShownView();
  if ((dx != 0 || dy != 0) && v.Pan(dx, dy)) {
    Show(v, finished);
  } else if (finished && live_) {
    Show(*live_, true);
  }
}

void TExplorer::ZoomToRectangle(PixelPoint from, PixelPoint to) {
  ExplorerView v = ShownView();
  if (v.ZoomToRectangle(from, to)) Show(v, true);
}

void TExplorer::GoHome() {
  const QSize size = Canvas->DeviceSize();
  Show(ExplorerView(homeRegion_, size.width(), size.height()), true);
}

void TExplorer::Begin() {
  const QSize size = Canvas->DeviceSize();
  live_.reset();
  history_ = std::make_unique<ExplorerHistory>(ExplorerView(homeRegion_, size.width(), size.height()));
  Compute();
}

void TExplorer::ShowRegion(const RegionFrame& region) {
  const QSize size = Canvas->DeviceSize();
  Show(ExplorerView(region, size.width(), size.height()), true);
}

void TExplorer::GoBack() {
  live_.reset();
  if (!history_->Back()) return;
  history_->ResizeCurrent(Canvas->DeviceSize().width(), Canvas->DeviceSize().height());
  Compute();
}

void TExplorer::GoForward() {
  live_.reset();
  if (!history_->Forward()) return;
  history_->ResizeCurrent(Canvas->DeviceSize().width(), Canvas->DeviceSize().height());
  Compute();
}

void TExplorer::CanvasResized(int width, int height) {
  if (!history_ || (width == View().PixelWidth() && height == View().PixelHeight() && !live_)) return;
  history_->ResizeCurrent(width, height);
  if (live_) live_->Resize(width, height);
  Compute();
}

void TExplorer::FillRecentMenu() {
  recentMenu_->clear();
  for (size_t index : history_->Recent(12)) {
    const RegionFrame& r = history_->At(index).Region();
    QAction* a = recentMenu_->addAction(
        QStringLiteral("%1 ; %2   width %3").arg(Number(r.CenterX), Number(r.CenterY), Number(r.Width)));
    a->setCheckable(true);
    a->setChecked(index == history_->Index());
    connect(a, &QAction::triggered, this, [this, index] {
      live_.reset();
      if (!history_->GoTo(index)) return;
      history_->ResizeCurrent(Canvas->DeviceSize().width(), Canvas->DeviceSize().height());
      Compute();
    });
  }
  // Any of them as a keyframe of a film.
  QMenu* keys = recentMenu_->addMenu(QStringLiteral("add keyframe from"));
  keys->setObjectName(QStringLiteral("AddKeyframeFrom"));
  for (size_t index : history_->Recent(12)) {
    const RegionFrame r = history_->At(index).Region();
    QAction* a = keys->addAction(
        QStringLiteral("%1 ; %2   width %3").arg(Number(r.CenterX), Number(r.CenterY), Number(r.Width)));
    connect(a, &QAction::triggered, this, [this, r] {
      KeyframesButton->setChecked(true);
      Keyframes->AddView(r);
    });
  }
}

void TExplorer::CursorAt(std::optional<PixelPoint> at) {
  cursor_ = at;
  UpdateTexts();
}

void TExplorer::UpdateTexts() {
  BackButton->setEnabled(history_->CanGoBack());
  ForwardButton->setEnabled(history_->CanGoForward());
  const ExplorerView& v = ShownView();
  QString cursor = QStringLiteral("A, B: -");
  if (cursor_) {
    const ABPoint p = v.ToAB(*cursor_);
    cursor = QStringLiteral("A %1   B %2").arg(Number(p.A), Number(p.B));
    const int x = int(std::floor(cursor_->X)), y = int(std::floor(cursor_->Y));
    if (shown_ && imageView_ == v && x >= 0 && y >= 0 && x < shown_->Width && y < shown_->Height)
      cursor += QStringLiteral("   exponent %1").arg(Number(shown_->Exponents[size_t(y) * shown_->Width + x]));
  }
  CursorLabel->setText(cursor);
  const RegionFrame& r = v.Region();
  QString text = QStringLiteral("centre %1 ; %2   size %3 x %4   angle %5°")
                     .arg(Number(r.CenterX), Number(r.CenterY), Number(r.Width), Number(r.Height),
                          QString::fromStdString(FixedText(RadiansToDegrees(r.Angle), 1)));
  text += computingStep_ < 0 ? QStringLiteral("   done") : QStringLiteral("   computing ") + PassName(computingStep_);
  ViewLabel->setText(text);
}

// ---------------------------------------------------------------------------------------------
// Back to the projects

bool TExplorer::UseThisRegion() {
  TMDIChild* child = project_;
  if (!child) return false;
  const TCalcParams& old = child->Params();
  const RegionChoice choice = AcceptSelection(View().Region(), {}, old.PictureWidth, old.PictureHeight);
  if (!choice.Accepted) {
    DialogService::instance().error(this, QString::fromStdString(choice.Problem));
    return false;
  }
  const bool computed =
      child->PictureInitialised() && (old.State != StateInitialised || old.ProgressRow > 0 || old.ProgressColumn > 0);
  if (computed &&
      DialogService::instance().question(
          this,
          QStringLiteral("The computed data of \"%1\" will be lost. Use this region?").arg(child->windowTitle())) !=
          QMessageBox::Yes)
    return false;
  // The region goes into the coordinates page and is taken back when the initialisation is
  // refused, as a region chosen in the region dialog.
  QLineEdit* const edits[5] = {child->Edit3, child->Edit4, child->Edit6, child->Edit7, child->Edit5};
  QString oldTexts[5];
  for (int i = 0; i < 5; ++i) oldTexts[i] = edits[i]->text();
  const int oldWidth = child->SpinEdit3->value(), oldHeight = child->SpinEdit4->value();
  const bool oldAdjust = child->CheckBox3->isChecked();
  auto show = [&](const QString(&texts)[5], int width, int height, bool adjust) {
    child->CheckBox3->setChecked(false);  // no ratio keeping in between
    for (int i = 0; i < 5; ++i) edits[i]->setText(texts[i]);
    child->SpinEdit3->setValue(width);
    child->SpinEdit4->setValue(height);
    child->CheckBox3->setChecked(adjust);
  };
  const RegionFrame& r = choice.Accepted->Region;
  auto text = [](double v) { return QString::fromStdString(FloatToText(v)); };
  const QString newTexts[5] = {text(r.CenterX), text(r.CenterY), text(r.Width), text(r.Height),
                               text(RadiansToDegrees(r.Angle))};
  show(newTexts, choice.Accepted->Width, choice.Accepted->Height, oldAdjust);
  if (!child->InitialisePicture(false)) {
    show(oldTexts, oldWidth, oldHeight, oldAdjust);
    return false;
  }
  // The exact values, not their texts.
  TCalcParams& p = child->Params();
  p.CenterX = r.CenterX;
  p.CenterY = r.CenterY;
  p.Width = r.Width;
  p.Height = r.Height;
  p.Angle = r.Angle;
  child->WriteTempParameters();
  if (QMdiSubWindow* window = qobject_cast<QMdiSubWindow*>(child->parentWidget()))
    host_.WorkSpace()->setActiveSubWindow(window);
  return true;
}

TMDIChild* TExplorer::OpenAsNewProject() {
  TCalcParams p = params_;
  const TCalcParams& base = project_ ? project_->Params() : params_;
  const RegionChoice choice = AcceptSelection(View().Region(), {}, base.PictureWidth, base.PictureHeight);
  if (!choice.Accepted) {
    DialogService::instance().error(this, QString::fromStdString(choice.Problem));
    return nullptr;
  }
  const RegionFrame& r = choice.Accepted->Region;
  p.CenterX = r.CenterX;
  p.CenterY = r.CenterY;
  p.Width = r.Width;
  p.Height = r.Height;
  p.Angle = r.Angle;
  p.PictureWidth = choice.Accepted->Width;
  p.PictureHeight = choice.Accepted->Height;
  p.ProgressColumn = p.ProgressRow = 0;
  p.State = StateInitialised;
  p.IterationsDone = 0;
  TMDIChild* child = host_.OpenProjectWindow(QStringLiteral("new project %1").arg(host_.ProjectCounter()));
  child->Params() = std::move(p);
  child->ParametersLoaded();
  return child;
}

// ---------------------------------------------------------------------------------------------
// Opening

TExplorer* OpenExplorer(TMainForm& host, TMDIChild* project) {
  const TCalcParams params = project ? project->Params() : DefaultCalcParams();
  const bool fast = project ? project->CheckBoxFastTrig->isChecked() : true;
  TExplorer* explorer = nullptr;
  try {
    explorer = new TExplorer(host, project, params, fast);
  } catch (const std::exception& e) {
    DialogService::instance().error(
        &host, QStringLiteral("This project cannot be explored:\n") + QString::fromLocal8Bit(e.what()));
    return nullptr;
  }
  explorer->setWindowTitle(QStringLiteral("explorer: ") +
                           (project ? project->windowTitle() : QStringLiteral("new project")));
  QMdiSubWindow* window = host.WorkSpace()->addSubWindow(explorer);
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->resize(640, 560);
  window->show();
  host.WorkSpace()->setActiveSubWindow(window);
  explorer->Canvas->setFocus();
  explorer->Begin();
  return explorer;
}

void AddExploreButton(TMainForm& host, TMDIChild& project) {
  auto* bar = qobject_cast<QToolBar*>(project.ToolButton12->parentWidget());
  if (!bar) return;
  QAction* action = bar->addAction(QStringLiteral("explore"));
  action->setObjectName(QStringLiteral("ExploreThisRegion"));
  action->setToolTip(QStringLiteral("explore this region"));
  if (QWidget* button = bar->widgetForAction(action)) {
    button->setObjectName(QStringLiteral("ExploreButton"));
    button->setAccessibleName(QStringLiteral("explore this region"));
  }
  QPointer<TMDIChild> child(&project);
  QObject::connect(action, &QAction::triggered, &project, [&host, child] {
    if (child) OpenExplorer(host, child);
  });
}

}  // namespace vantorel::gui
