#include "app/gui/Childwin.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "app/IterationCounts.h"
#include "app/ParameterFile.h"
#include "app/ProjectFile.h"
#include "gui/Accessibility.h"
#include "app/gui/CurrentProject.h"
#include "gui/DialogService.h"
#include "app/gui/PageUndo.h"
#include "app/gui/PictureExport.h"
#include "app/gui/ProgressForm.h"
#include "gui/QtDispatcher.h"
#include "gui/RadioGroup.h"
#include "gui/Settings.h"
#include "gui/WheelGuard.h"
#include "colour/gui/ColorListDisplay.h"
#include "colour/gui/Histogram.h"
#include "core/IoError.h"
#include "core/NumberText.h"
#include "core/RechenThread.h"

namespace vantorel::gui {

namespace {

constexpr int kColorsPage = 2;

std::string LocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString Text(double value) { return QString::fromStdString(FloatToText(value)); }

// Whether a name is taken: a file that opens for reading, and also any other entry of that
// name (an unreadable file, a folder, a dangling link), which a new data file must not replace.
bool FileExists(const QString& path) {
  if (path.isEmpty()) return false;
  const QFileInfo info(path);
  if (info.exists() || info.isSymLink()) return true;
  QFile probe(path);
  return probe.open(QIODevice::ReadOnly);
}

}  // namespace

TMDIChild::TMDIChild(IProjectHost& host, QWidget* parent) : QWidget(parent), host_(host) { FormCreate(); }

TMDIChild::~TMDIChild() {
  EndRunForClose();
  // A window destroyed without being closed still removes its temporary files.
  if (!closed_) {
    dataFile1_.Close();
    dataFile2_.Close();
    for (int i = 0; i < 3; ++i) QFile::remove(TempFileName(i));
  }
}

QString TMDIChild::TempFileName(int index) const { return tempBase_ + QStringLiteral(".TMP%1").arg(index); }

void TMDIChild::FormCreate() {
  const QString name = host_.PendingProjectName();
  setWindowTitle(name);
  params_ = DefaultCalcParams();

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  PageControl1 = new QTabWidget(this);
  TabSheet1 = BuildFormulaPage();
  TabSheet2 = BuildCoordinatesPage();
  ColorPage = new TColorListDisplay;
  TabSheet3 = ColorPage;
  TabSheet4 = BuildCalculationPage();
  PageControl1->addTab(TabSheet1, QStringLiteral("formula"));
  PageControl1->addTab(TabSheet2, QStringLiteral("coordinates"));
  PageControl1->addTab(TabSheet3, QStringLiteral("colors"));
  PageControl1->addTab(TabSheet4, QStringLiteral("calculation"));
  layout->addWidget(PageControl1);

  ListView1 = ColorPage->ListView1;
  Shape1 = ColorPage->Shape1;
  Shape2 = ColorPage->Shape2;
  Image3 = ColorPage->Image3;
  Label17 = ColorPage->Label17;
  Label18 = ColorPage->Label18;
  Label19 = ColorPage->Label19;
  Button3 = ColorPage->Button3;
  Button4 = ColorPage->Button4;
  Button5 = ColorPage->Button5;
  Button6 = ColorPage->Button6;
  Button8 = ColorPage->Button8;
  Image2 = ColorPage->Image2;

  // Hints show in the frame's status bar as well as beside the mouse.
  for (QWidget* w : findChildren<QWidget*>())
    if (w->statusTip().isEmpty() && !w->toolTip().isEmpty()) w->setStatusTip(w->toolTip());

  // The temporary files, named after the project in the working directory.
  FindTempFileNames(QDir::current().filePath(name));
  CreateDataFiles();

  pictureInitialised_ = false;
  calculating_ = false;
  resize(375, 440);

  FillDemonstrationPreview();
  ColorPage->SetColors(params_.ColorList, static_cast<uint32_t>(params_.BelowColor),
                       static_cast<uint32_t>(params_.AboveColor));
  ColorPage->DrawPreview(preview_);
  // "auto colours" reads the exponents whenever no calculation is writing them.
  ColorPage->SetExponentSource(
      [this]() -> const PixelDataFile* { return control_.Running() || control_.Busy() ? nullptr : &dataFile1_; });

  PictureExport = new TPictureExport(
      this, [this]() -> const QImage& { return picture_; }, [this]() -> const TCalcParams& { return params_; });
  PictureExport->Anchor = ToolButton3;
  PictureExport->FastTrig = [this] { return CheckBoxFastTrig->isChecked(); };
  connect(ToolButton3, &QToolButton::clicked, this, [this] { ToolButton3Click(); });

  ConnectChangeHandlers();
  ConnectTools();
  GuardWheel(this);
  NameControls(this);
  SetupUndo();
  firstGather_ = true;
  changed_ = false;
  PagesApplied();
  if (PageControl1->currentIndex() == kColorsPage) ColorPage->DrawColorPad();
}

void TMDIChild::FindTempFileNames(const QString& base) {
  // Each extension in turn lengthens the base with "_" while its file exists; the later
  // extensions go on from the base as extended so far, so that all three share one base.
  QString b = base;
  for (int i = 0; i < 3; ++i)
    while (FileExists(b + QStringLiteral(".TMP%1").arg(i))) b += QLatin1Char('_');
  tempBase_ = b;
}

void TMDIChild::CreateDataFiles() {
  try {
    dataFile1_.Create(LocalPath(TempFileName(1)));
    dataFile2_.Create(LocalPath(TempFileName(2)));
  } catch (const std::exception& e) {
    DialogService::instance().error(
        this, QStringLiteral("The temporary files of the project could not be created:\n%1").arg(e.what()));
  }
}

void TMDIChild::FillDemonstrationPreview() {
  constexpr double twoPi = 2 * std::numbers::pi;
  for (int i = 0; i < PreviewGrid::Columns; ++i)
    for (int j = 0; j < PreviewGrid::Rows; ++j)
      preview_.At(i, j) =
          2.0 * 2.0 * std::tan(twoPi * j / PreviewGrid::Rows) * std::sin(twoPi * i / PreviewGrid::Columns);
}

void TMDIChild::ConnectChangeHandlers() {
  auto changed = [this] { setChanged(); };
  connect(Memo1, &QPlainTextEdit::textChanged, this, changed);
  for (QLineEdit* e : {Edit1, Edit2, Edit3, Edit4, Edit5, Edit8, Edit9, Edit10, Edit11})
    connect(e, &QLineEdit::textChanged, this, changed);
  connect(SpinEdit1, &QSpinBox::valueChanged, this, changed);
  connect(SpinEdit2, &QSpinBox::valueChanged, this, changed);
  connect(RadioGroup1, &TRadioGroup::itemIndexChanged, this, changed);
  connect(CheckBox2, &QCheckBox::toggled, this, changed);
  connect(CheckBox1, &QCheckBox::toggled, this, [this] { CheckBox1Click(); });

  ConnectInputHandlers();

  connect(ColorPage, &TColorListDisplay::outerColorChanged, this, changed);
  connect(ColorPage, &TColorListDisplay::colorsEdited, this, changed);
  connect(ToolButton12, &QToolButton::clicked, this, [this] { TForm4::ToolButton12Click(dataFile1_, params_, this); });
  connect(Button8, &QPushButton::clicked, this, [this] { Button8Click(); });
  ConnectCalculation();
  // FormShow: the colour bar is redrawn whenever the "colors" page comes to the front.
  connect(PageControl1, &QTabWidget::currentChanged, this, [this](int index) {
    if (index == kColorsPage) ColorPage->DrawColorPad();
  });
}

void TMDIChild::setChanged() {
  // While the ratio sets the other side, the change is recorded once it is complete.
  if (pageUndo_ && ratioDepth_ == 0) pageUndo_->Record();
  changed_ = true;
  ShowIterationsUsed();
  control_.Changed();
  control_.SetPagesDiffer(PagesDifferFromBlock());
  ApplyControl();
}

void TMDIChild::FormActivate() {
  CurrentProjectSlots& current = host_.CurrentProject();
  current.Window = this;
  ActivateUndo();
  current.Params = &params_;
  current.DataFile1 = &dataFile1_;
  current.DataFile2 = &dataFile2_;
  current.SaveParameters = [this] { SaveParameters(); };
  current.ParametersLoaded = [this] { ParametersLoaded(); };
  current.SaveProject = [this] { SaveProject(); };
  current.ProjectLoaded = [this] { ProjectLoaded(); };
  ForgetIterationsDone();
}

void TMDIChild::ForgetIterationsDone() {
  // While more iterations are being derived (or that run is interrupted), the records before the
  // run's position rest on more iterations than those after it; the run must go on with the
  // count it began with, or the two parts of the picture would be weighted differently.
  if (params_.State == StateDeriving || params_.State == StateDerivingPaused) return;
  params_.IterationsDone = 0;
}

void TMDIChild::CheckBox1Click() {
  const bool fixed = CheckBox1->isChecked();
  GroupBox5->setVisible(fixed);
  GroupBox1->setVisible(!fixed);
  setChanged();
}

// ---------------------------------------------------------------------------------------------
// Parameter block <-> controls

std::optional<QString> TMDIChild::CollectControls(TCalcParams& p) const {
  auto number = [](const QLineEdit* edit, const QString& field, double& out) -> std::optional<QString> {
    const auto v = TextToFloat(edit->text().toStdString());
    if (!v) return QStringLiteral("%1: \"%2\" is not a number.").arg(field, edit->text());
    out = *v;
    return std::nullopt;
  };
  std::optional<QString> problem;
  auto read = [&](const QLineEdit* edit, const QString& field, double& out) {
    if (!problem) problem = number(edit, field, out);
  };

  // The formula page.
  if (CheckBox1->isChecked()) {
    p.FixedFormula = RadioGroup1->ItemIndex();
    if (p.FixedFormula < 0) return QStringLiteral("fixed formulas: please choose one of the formulas.");
  } else {
    p.FixedFormula = -1;
  }
  read(Edit8, QStringLiteral("W"), p.W);
  read(Edit9, QStringLiteral("V"), p.V);
  read(Edit10, QStringLiteral("U"), p.U);
  p.SetFormula(Memo1->toPlainText().remove(QLatin1Char('\n')).toLatin1().toStdString());
  const std::string sequence = Edit1->text().toLatin1().toStdString();
  if (sequence.empty())
    return QStringLiteral("AB-sequence: the sequence is empty. Please enter a sequence of the letters A and B.");
  const int32_t blockLength = p.SequenceLength;
  p.SetSequence(ReadSequence(sequence));
  read(Edit2, QStringLiteral("start X"), p.StartX);
  p.CalmDownIterations = GatheredIterations(SpinEdit2->value(), p.CalmDownIterations, blockLength, p.SequenceLength);
  p.Iterations = GatheredIterations(SpinEdit1->value(), p.Iterations, blockLength, p.SequenceLength);
  p.SmartIterate = CheckBox2->isChecked();
  read(Edit11, QStringLiteral("error limit"), p.ErrorLimit);
  p.ErrorLimit = std::fabs(p.ErrorLimit);

  // The coordinates page.
  read(Edit3, QStringLiteral("center X"), p.CenterX);
  read(Edit4, QStringLiteral("center Y"), p.CenterY);
  read(Edit6, QStringLiteral("width"), p.Width);
  read(Edit7, QStringLiteral("height"), p.Height);
  double degrees = 0;
  read(Edit5, QStringLiteral("orientation"), degrees);
  p.Angle = DegreesToRadians(degrees);
  p.PictureWidth = SpinEdit3->value();
  p.PictureHeight = SpinEdit4->value();
  p.AdjustRatio = CheckBox3->isChecked();

  // The colour page.
  p.SetColors(ColorPage->Colors());
  p.BelowColor = static_cast<int32_t>(ColorPage->BelowColor());
  p.AboveColor = static_cast<int32_t>(ColorPage->AboveColor());
  return problem;
}

bool TMDIChild::CheckSettings() {
  TCalcParams scratch = params_;
  return CollectInto(scratch);
}

bool TMDIChild::GatherParameters() {
  TCalcParams gathered = params_;
  if (!CollectInto(gathered)) return false;
  params_ = std::move(gathered);
  firstGather_ = false;
  return true;
}

void TMDIChild::ApplyParameters() {
  const TCalcParams p = params_;  // the change handlers must not see a half-shown block
  applying_ = true;
  const bool fixed = p.FixedFormula != -1;
  CheckBox1->setChecked(fixed);
  GroupBox5->setVisible(fixed);
  GroupBox1->setVisible(!fixed);
  if (fixed) RadioGroup1->SetItemIndex(p.FixedFormula);
  Edit8->setText(Text(p.W));
  Edit9->setText(Text(p.V));
  Edit10->setText(Text(p.U));
  Memo1->setPlainText(QString::fromLatin1(p.FormulaText.data(), static_cast<qsizetype>(p.FormulaText.size())));
  Edit1->setText(QString::fromStdString(SequenceText(p.Sequence)));
  Edit2->setText(Text(p.StartX));
  SpinEdit2->setValue(p.CalmDownIterations);
  SpinEdit1->setValue(p.Iterations);
  CheckBox2->setChecked(p.SmartIterate);
  Edit11->setText(Text(p.ErrorLimit));
  Edit3->setText(Text(p.CenterX));
  Edit4->setText(Text(p.CenterY));
  Edit6->setText(Text(p.Width));
  Edit7->setText(Text(p.Height));
  Edit5->setText(Text(RadiansToDegrees(p.Angle)));
  SpinEdit3->setValue(p.PictureWidth);
  SpinEdit4->setValue(p.PictureHeight);
  CheckBox3->setChecked(p.AdjustRatio);
  ColorPage->SetColors(p.ColorList, static_cast<uint32_t>(p.BelowColor), static_cast<uint32_t>(p.AboveColor));
  applying_ = false;
  CoordinatesError->hide();
  takenSize_ = QSize(p.PictureWidth, p.PictureHeight);
  ShowIterationsUsed();
  PagesApplied();
}

bool TMDIChild::WriteTempParameters() {
  try {
    SaveParameterFile(LocalPath(TempFileName(0)), params_);
    ForgetIterationsDone();
    return true;
  } catch (const std::exception& e) {
    ReportIoError(e);
    return false;
  }
}

void TMDIChild::ParametersLoaded() {
  ApplyParameters();
  changed_ = false;  // showing a file just opened is no change of it
}

void TMDIChild::ReportIoError(const std::exception& e) {
  DialogService::instance().error(this, QString::fromLocal8Bit(e.what()));
}

bool TMDIChild::CollectInto(TCalcParams& params) {
  if (const auto problem = CollectControls(params)) {
    DialogService::instance().error(this, QStringLiteral("Please correct the settings first.\n\n") + *problem);
    return false;
  }
  return true;
}

void TMDIChild::ToolButton3Click() { PictureExport->ToolButton3Click(); }

void TMDIChild::Button8Click() { ColorPage->DrawPreview(preview_); }

// ---------------------------------------------------------------------------------------------
// Closing

bool TMDIChild::FormCloseQuery() {
  if (Busy()) {
    DialogService::instance().information(this, QStringLiteral("Please wait until the colours are applied."));
    return false;
  }
  const bool timerWasActive = Timer1->isActive();
  Timer1->stop();
  const bool suspended = RunComputing();  // the question and a save see a quiet data set
  if (suspended) thread_->Suspend();
  if (!changed_) return true;
  const auto answer =
      DialogService::instance().message(this, QMessageBox::Information, QString(),
                                        Caption() + QStringLiteral("\n\nYou changed something.\nSave changes?"),
                                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
  bool allow = false;
  if (answer == QMessageBox::Yes) {
    SaveProject();
    allow = saved_;
  } else if (answer == QMessageBox::No) {
    allow = true;
  }
  if (!allow && suspended && thread_) thread_->Resume();
  if (!allow && timerWasActive) Timer1->start();
  return allow;
}

void TMDIChild::FormClose() {
  if (closed_) return;
  closed_ = true;
  EndRunForClose();
  dataFile1_.Close();
  dataFile2_.Close();
  for (int i = 0; i < 3; ++i) QFile::remove(TempFileName(i));  // failures do not keep the window
  CurrentProjectSlots& current = host_.CurrentProject();
  if (current.Window == this) current = CurrentProjectSlots{};
}

void TMDIChild::closeEvent(QCloseEvent* event) {
  if (closed_) {
    event->accept();
    return;
  }
  if (!FormCloseQuery()) {
    event->ignore();
    return;
  }
  FormClose();
  event->accept();
}

}  // namespace vantorel::gui
