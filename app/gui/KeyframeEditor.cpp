#include "app/gui/KeyframeEditor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "app/ParameterFile.h"
#include "app/RegionGeometry.h"
#include "app/gui/Explorer.h"
#include "core/NumberText.h"
#include "core/SafeFile.h"
#include "gui/Accessibility.h"
#include "gui/DialogService.h"

namespace vantorel::gui {

namespace {

constexpr int kFilmFps = 30;  // the renderer's default frame rate

QString Number(double v) { return QString::fromStdString(ShortNumberText(v)); }

QToolButton* MakeButton(QWidget* parent, const QString& text, const char* name) {
  auto* b = new QToolButton(parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setText(text);
  b->setToolTip(text);
  b->setAccessibleName(text);
  return b;
}

QSpinBox* MakeSpin(QWidget* parent, const QString& name, const char* objectName, int low, int high) {
  auto* s = new QSpinBox(parent);
  s->setObjectName(QString::fromLatin1(objectName));
  s->setAccessibleName(name);
  s->setToolTip(name);
  s->setRange(low, high);
  s->setKeyboardTracking(false);  // a typed number counts when it is complete
  return s;
}

std::string LocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

TKeyframeEditor::TKeyframeEditor(TExplorer& explorer) : QWidget(&explorer), explorer_(explorer) {
  setObjectName(QStringLiteral("KeyframeEditor"));
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(4, 2, 4, 2);
  AddButton = MakeButton(this, QStringLiteral("add keyframe"), "AddKeyframeButton");
  column->addWidget(AddButton);
  auto* listLabel = new QLabel(QStringLiteral("keyframes"), this);
  column->addWidget(listLabel);
  List = new QListWidget(this);
  List->setObjectName(QStringLiteral("KeyframeList"));
  List->setAccessibleName(QStringLiteral("keyframes"));
  listLabel->setBuddy(List);
  column->addWidget(List, 1);

  auto* grid = new QGridLayout;
  auto* frameLabel = new QLabel(QStringLiteral("frame"), this);
  FrameSpin = MakeSpin(this, QStringLiteral("frame"), "FrameSpin", 0, KeyframeList::kLargestFrame);
  frameLabel->setBuddy(FrameSpin);
  grid->addWidget(frameLabel, 0, 0);
  grid->addWidget(FrameSpin, 0, 1, 1, 3);
  UpButton = MakeButton(this, QStringLiteral("up"), "KeyUpButton");
  DownButton = MakeButton(this, QStringLiteral("down"), "KeyDownButton");
  DeleteButton = MakeButton(this, QStringLiteral("delete"), "KeyDeleteButton");
  GoToButton = MakeButton(this, QStringLiteral("go to"), "KeyGoToButton");
  grid->addWidget(UpButton, 1, 0);
  grid->addWidget(DownButton, 1, 1);
  grid->addWidget(DeleteButton, 1, 2);
  grid->addWidget(GoToButton, 1, 3);
  auto* sizeLabel = new QLabel(QStringLiteral("film size"), this);
  FilmWidthSpin = MakeSpin(this, QStringLiteral("film width"), "FilmWidthSpin", KeyframeList::kSmallestFilmSide,
                           KeyframeList::kLargestFilmSide);
  FilmHeightSpin = MakeSpin(this, QStringLiteral("film height"), "FilmHeightSpin", KeyframeList::kSmallestFilmSide,
                            KeyframeList::kLargestFilmSide);
  FilmWidthSpin->setValue(keys_.FilmWidth());
  FilmHeightSpin->setValue(keys_.FilmHeight());
  grid->addWidget(sizeLabel, 2, 0);
  grid->addWidget(FilmWidthSpin, 2, 1);
  grid->addWidget(new QLabel(QStringLiteral("x"), this), 2, 2, Qt::AlignCenter);
  grid->addWidget(FilmHeightSpin, 2, 3);
  column->addLayout(grid);
  FramesLabel = new QLabel(this);
  FramesLabel->setObjectName(QStringLiteral("FramesLabel"));
  FramesLabel->setAccessibleName(QStringLiteral("frames"));
  column->addWidget(FramesLabel);

  auto* row = new QHBoxLayout;
  PreviewButton = MakeButton(this, QStringLiteral("preview"), "PreviewButton");
  SaveButton = MakeButton(this, QStringLiteral("save animation…"), "SaveAnimationButton");
  row->addWidget(PreviewButton);
  row->addWidget(SaveButton);
  column->addLayout(row);
  PreviewLabel = new QLabel(this);
  PreviewLabel->setObjectName(QStringLiteral("PreviewLabel"));
  PreviewLabel->setAccessibleName(QStringLiteral("preview picture"));
  PreviewLabel->setFixedSize(kPreviewWidth * kPreviewScale, kPreviewWidth * kPreviewScale * 3 / 4);
  PreviewLabel->setAlignment(Qt::AlignCenter);
  PreviewLabel->setStyleSheet(QStringLiteral("background: black"));
  column->addWidget(PreviewLabel, 0, Qt::AlignHCenter);
  setFixedWidth(std::max(sizeHint().width(), PreviewLabel->width() + 8));

  timer_ = new QTimer(this);
  connect(timer_, &QTimer::timeout, this, &TKeyframeEditor::ShowNextImage);
  connect(AddButton, &QToolButton::clicked, this, &TKeyframeEditor::AddCurrentView);
  connect(List, &QListWidget::currentRowChanged, this, &TKeyframeEditor::SelectionChanged);
  connect(List, &QListWidget::itemDoubleClicked, this, [this] { GoToSelected(); });
  connect(FrameSpin, &QSpinBox::valueChanged, this, [this](int frame) {
    if (!filling_) SetSelectedFrame(frame);
  });
  connect(UpButton, &QToolButton::clicked, this, &TKeyframeEditor::MoveSelectedUp);
  connect(DownButton, &QToolButton::clicked, this, &TKeyframeEditor::MoveSelectedDown);
  connect(DeleteButton, &QToolButton::clicked, this, &TKeyframeEditor::RemoveSelected);
  connect(GoToButton, &QToolButton::clicked, this, &TKeyframeEditor::GoToSelected);
  auto sizeChanged = [this] {
    if (!filling_) SetFilmSize(FilmWidthSpin->value(), FilmHeightSpin->value());
  };
  connect(FilmWidthSpin, &QSpinBox::valueChanged, this, sizeChanged);
  connect(FilmHeightSpin, &QSpinBox::valueChanged, this, sizeChanged);
  connect(PreviewButton, &QToolButton::clicked, this, [this] {
    if (Previewing())
      StopPreview();
    else
      StartPreview();
  });
  connect(SaveButton, &QToolButton::clicked, this, &TKeyframeEditor::SaveAnimation);
  NameControls(this);
  Refill(-1);
}

TKeyframeEditor::~TKeyframeEditor() { StopPreview(); }

// ---------------------------------------------------------------------------------------------
// The keys

void TKeyframeEditor::AddCurrentView() { AddView(explorer_.View().Region()); }

void TKeyframeEditor::AddView(const RegionFrame& view) {
  const std::optional<size_t> index = keys_.Add(view);
  if (!index) return Refuse("the last keyframe is at the largest frame number already");
  Refill(int(*index));
}

int TKeyframeEditor::Selected() const { return List->currentRow(); }

void TKeyframeEditor::Select(int row) { List->setCurrentRow(row); }

bool TKeyframeEditor::SetSelectedFrame(int frame) {
  const int row = Selected();
  if (row < 0) return false;
  std::string problem;
  const std::optional<size_t> index = keys_.SetFrame(size_t(row), frame, problem);
  if (!index) {
    Refill(row);  // the spin box shows the frame number again
    Refuse(problem);
    return false;
  }
  Refill(int(*index));
  return true;
}

bool TKeyframeEditor::MoveSelectedUp() {
  const int row = Selected();
  if (row < 0 || !keys_.MoveUp(size_t(row))) return false;
  Refill(row - 1);
  return true;
}

bool TKeyframeEditor::MoveSelectedDown() {
  const int row = Selected();
  if (row < 0 || !keys_.MoveDown(size_t(row))) return false;
  Refill(row + 1);
  return true;
}

bool TKeyframeEditor::RemoveSelected() {
  const int row = Selected();
  if (row < 0 || !keys_.Remove(size_t(row))) return false;
  Refill(std::min(row, int(keys_.Size()) - 1));
  return true;
}

bool TKeyframeEditor::GoToSelected() {
  const int row = Selected();
  if (row < 0) return false;
  explorer_.ShowRegion(keys_.Keys()[size_t(row)].View);
  return true;
}

bool TKeyframeEditor::SetFilmSize(int width, int height) {
  if (!keys_.SetFilmSize(width, height)) {
    Refill(Selected());
    return false;
  }
  Refill(Selected());
  return true;
}

void TKeyframeEditor::Refill(int select) {
  filling_ = true;
  List->clear();
  for (const Keyframe& k : keys_.Keys()) {
    const RegionFrame& r = k.View;
    List->addItem(QStringLiteral("%1:  %2 ; %3   width %4   %5°")
                      .arg(k.Frame)
                      .arg(Number(r.CenterX), Number(r.CenterY), Number(r.Width),
                           QString::fromStdString(FixedText(RadiansToDegrees(r.Angle), 1))));
  }
  if (select >= 0 && select < List->count()) List->setCurrentRow(select);
  FilmWidthSpin->setValue(keys_.FilmWidth());
  FilmHeightSpin->setValue(keys_.FilmHeight());
  FramesLabel->setText(QStringLiteral("frames: %1").arg(keys_.FrameCount()));
  filling_ = false;
  SelectionChanged();
}

void TKeyframeEditor::SelectionChanged() {
  const int row = Selected();
  const bool any = row >= 0 && size_t(row) < keys_.Size();
  const bool was = filling_;
  filling_ = true;
  FrameSpin->setValue(any ? keys_.Keys()[size_t(row)].Frame : 0);
  filling_ = was;
  FrameSpin->setEnabled(any && row > 0);  // the first keyframe is frame 0
  UpButton->setEnabled(any && row > 0);
  DownButton->setEnabled(any && size_t(row) + 1 < keys_.Size());
  DeleteButton->setEnabled(any);
  GoToButton->setEnabled(any);
  PreviewButton->setEnabled(!keys_.Empty() || Previewing());
  SaveButton->setEnabled(!keys_.Empty());
}

void TKeyframeEditor::Refuse(const std::string& problem) {
  DialogService::instance().error(this, QString::fromStdString(problem));
}

// ---------------------------------------------------------------------------------------------
// Saving

bool TKeyframeEditor::SaveAnimation() {
  if (keys_.Empty()) return false;
  FileDialogRequest request;
  request.kind = FileDialogRequest::Save;
  request.title = QStringLiteral("save animation");
  request.filter = QStringLiteral("animation - file (*.anim);;all files (*)");
  request.defaultSuffix = QStringLiteral("anim");
  request.presetFileName = QStringLiteral("film.anim");
  const std::optional<QString> path = DialogService::instance().fileName(this, request);
  return path && SaveAnimationTo(*path);
}

bool TKeyframeEditor::SaveAnimationTo(const QString& path) {
  // The renderer starts every frame from the base block: the explorer's block (formula,
  // sequence, iteration counts, colours) so that the film shows what the explorer shows. The
  // default block is named as such; any other goes into a parameter file beside the animation.
  const TCalcParams& params = explorer_.Params();
  const bool isDefault = IsDefaultFilmBase(params);
  const QFileInfo info(path);
  const QString baseName = info.completeBaseName() + QStringLiteral(".base.Par");
  const QString basePath = info.dir().filePath(baseName);
  const Animation animation = keys_.ToAnimation(isDefault ? std::string("default") : LocalPath(baseName));
  const TCalcParams base = FilmBase(params);
  try {
    AnimationPath check(animation, base);  // the keys make a film
    (void)check;
  } catch (const std::exception& e) {
    Refuse(std::string("These keyframes make no film:\n") + e.what());
    return false;
  }
  try {
    SafeFileGroup group;  // both files or neither
    if (!isDefault) SaveParameterFile(LocalPath(basePath), base);
    SaveAnimationFile(LocalPath(path), animation);
    group.Commit();
  } catch (const std::exception& e) {
    DialogService::instance().error(
        this,
        QStringLiteral("The animation could not be saved to \"%1\":\n%2").arg(path, QString::fromLocal8Bit(e.what())));
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// The preview

bool TKeyframeEditor::StartPreview() {
  StopPreview();
  if (keys_.Empty()) return false;
  try {
    path_.emplace(keys_.ToAnimation("default"), FilmBase(explorer_.Params()));
  } catch (const std::exception& e) {
    Refuse(std::string("These keyframes make no film:\n") + e.what());
    return false;
  }
  const int32_t count = path_->FrameCount();
  const int32_t every = std::max<int32_t>(1, (count + kPreviewFrames - 1) / kPreviewFrames);
  previewFrames_.clear();
  for (int32_t f = 0; f < count; f += every) previewFrames_.push_back(f);
  if (previewFrames_.back() != count - 1) previewFrames_.push_back(count - 1);
  images_.clear();
  playing_ = 0;
  previewHeight_ = std::max(1, int(std::lround(double(kPreviewWidth) * keys_.FilmHeight() / keys_.FilmWidth())));
  passes_ = std::make_unique<ExplorerPasses>();
  const uint64_t run = ++run_;
  passes_->SetPassHandler([this, run](std::shared_ptr<const ExplorerPass> pass) {
    dispatcher_.Post([this, run, pass = std::move(pass)]() mutable { PassArrived(run, std::move(pass)); });
  });
  PreviewButton->setText(QStringLiteral("stop preview"));
  PreviewButton->setAccessibleName(QStringLiteral("stop preview"));
  timer_->start(std::max(40, 1000 * every / kFilmFps));
  ComputeNext();
  return Previewing();
}

bool TKeyframeEditor::Previewing() const { return timer_->isActive(); }

void TKeyframeEditor::StopPreview() {
  ++run_;  // frames still on their way are dropped
  if (passes_) {
    passes_->Cancel();
    passes_.reset();
  }
  timer_->stop();
  PreviewButton->setText(QStringLiteral("preview"));
  PreviewButton->setAccessibleName(QStringLiteral("preview"));
}

void TKeyframeEditor::ComputeNext() {
  if (!passes_ || images_.size() >= previewFrames_.size()) return;
  const TCalcParams p = path_->Frame(previewFrames_[images_.size()]);
  try {
    passes_->SetProject(p, explorer_.Fast());
  } catch (const std::exception& e) {
    StopPreview();
    Refuse(std::string("This frame cannot be computed:\n") + e.what());
    return;
  }
  const RegionFrame region{p.CenterX, p.CenterY, p.Width, p.Height, p.Angle};
  expected_ = passes_->Start(ExplorerView(region, kPreviewWidth, previewHeight_), false);
}

void TKeyframeEditor::PassArrived(uint64_t run, std::shared_ptr<const ExplorerPass> pass) {
  if (run != run_ || !passes_ || pass->Generation != expected_ || !pass->Last) return;
  QImage image(reinterpret_cast<const uchar*>(pass->Pixels.data()), pass->Width, pass->Height, pass->Width * 4,
               QImage::Format_RGB32);
  images_.push_back(image.copy());
  const int index = int(images_.size()) - 1;
  if (images_.size() == previewFrames_.size()) {
    passes_.reset();  // every frame is there: the threads end, the playback goes on
  } else {
    ComputeNext();
  }
  if (PreviewFrameArrived) PreviewFrameArrived(index);
}

void TKeyframeEditor::ShowNextImage() {
  if (images_.empty()) return;
  playing_ = (playing_ + 1) % images_.size();
  const QImage& image = images_[playing_];
  PreviewLabel->setPixmap(QPixmap::fromImage(image.scaled(PreviewLabel->size(), Qt::KeepAspectRatio)));
  PreviewLabel->setToolTip(QStringLiteral("frame %1").arg(previewFrames_[playing_]));
}

}  // namespace vantorel::gui
