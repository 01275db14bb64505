#include "app/gui/SupersampleExport.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "app/ParameterFile.h"
#include "gui/Accessibility.h"
#include "gui/DialogService.h"
#include "gui/QtDispatcher.h"
#include "core/CalculationControl.h"
#include "core/IoError.h"
#include "core/NumberText.h"
#include "core/RechenThread.h"

namespace vantorel::gui {

namespace {

constexpr int kFactors[] = {2, 3, 4, 6, 8};

QString SizeText(int64_t width, int64_t height) { return QStringLiteral("%1 x %2").arg(width).arg(height); }

}  // namespace

TSupersampleDialog::TSupersampleDialog(QWidget* parent, const TCalcParams& params, double secondsPerPlainPicture)
    : QDialog(parent), width_(params.PictureWidth), height_(params.PictureHeight), seconds_(secondsPerPlainPicture) {
  setObjectName("SupersampleDialog");
  setWindowTitle(QStringLiteral("save supersampled picture"));
  ComboBoxFactor = new QComboBox(this);
  ComboBoxFactor->setObjectName("ComboBoxFactor");
  for (int n : kFactors) ComboBoxFactor->addItem(QStringLiteral("%1 x %1").arg(n), n);
  ComboBoxFactor->setCurrentIndex(2);  // 4 x 4
  ComboBoxFactor->setAccessibleName(QStringLiteral("sub-pixels a pixel"));
  ComboBoxFormat = new QComboBox(this);
  ComboBoxFormat->setObjectName("ComboBoxFormat");
  ComboBoxFormat->addItem(QStringLiteral("Windows-bitmap"), int(PictureType::Bitmap));
  ComboBoxFormat->addItem(QStringLiteral("Jpeg-Bitmap"), int(PictureType::Jpeg));
  ComboBoxFormat->addItem(QStringLiteral("PNG-Bitmap (with parameters)"), int(PictureType::Png));
  ComboBoxFormat->setCurrentIndex(2);
  ComboBoxFormat->setAccessibleName(QStringLiteral("format"));
  LabelSize = new QLabel(this);
  LabelSize->setObjectName("LabelSize");
  LabelTime = new QLabel(this);
  LabelTime->setObjectName("LabelTime");

  auto* buttons = new QDialogButtonBox(this);
  ButtonStart = buttons->addButton(QStringLiteral("start"), QDialogButtonBox::AcceptRole);
  ButtonStart->setObjectName("ButtonStart");
  ButtonCancel = buttons->addButton(QStringLiteral("cancel"), QDialogButtonBox::RejectRole);
  ButtonCancel->setObjectName("ButtonCancel");
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("sub-pixels a pixel:"), ComboBoxFactor);
  form->addRow(QStringLiteral("format:"), ComboBoxFormat);
  form->addRow(QStringLiteral("size:"), LabelSize);
  form->addRow(QStringLiteral("estimated time:"), LabelTime);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
  connect(ComboBoxFactor, &QComboBox::currentIndexChanged, this, [this] { ShowChoice(); });
  connect(ComboBoxFormat, &QComboBox::currentIndexChanged, this, [this] { ShowChoice(); });
  ShowChoice();
  NameControls(this);
}

int TSupersampleDialog::Factor() const { return ComboBoxFactor->currentData().toInt(); }

PictureType TSupersampleDialog::Type() const { return PictureType(ComboBoxFormat->currentData().toInt()); }

void TSupersampleDialog::ShowChoice() {
  const int n = Factor();
  LabelSize->setText(QStringLiteral("%1 pixels (%2 sub-pixels), %3")
                         .arg(SizeText(width_, height_), SizeText(int64_t(width_) * n, int64_t(height_) * n),
                              ComboBoxFormat->currentText()));
  const double seconds = seconds_ * n * n;
  LabelTime->setText(QString::fromStdString(RemainingTimeText(std::max<int64_t>(1, std::llround(seconds)))));
}

TSupersampleRun::TSupersampleRun(QWidget* parent, const TCalcParams& params, int n, bool fastTrig, const QString& path,
                                 PictureType type)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint),
      params_(params),
      sub_(SubPixelBlock(params, n)),
      n_(n),
      fastTrig_(fastTrig),
      path_(path),
      type_(type) {
  setObjectName("SupersampleRun");
  setWindowTitle(QStringLiteral("supersampled picture"));
  setModal(false);
  setAttribute(Qt::WA_DeleteOnClose, false);
  auto* label = new QLabel(QStringLiteral("%1: %2 x %2 sub-pixels a pixel").arg(path, QString::number(n)), this);
  label->setObjectName("LabelFile");
  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  LabelRemaining = new QLabel(QStringLiteral("remaining time: …"), this);
  LabelRemaining->setObjectName("LabelRemaining");
  ButtonCancel = new QPushButton(QStringLiteral("cancel"), this);
  ButtonCancel->setObjectName("ButtonCancel");
  connect(ButtonCancel, &QPushButton::clicked, this, [this] { Cancel(); });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label);
  layout->addWidget(ProgressBar1);
  layout->addWidget(LabelRemaining);
  layout->addWidget(ButtonCancel, 0, Qt::AlignRight);
  NameControls(this);
}

TSupersampleRun::~TSupersampleRun() {
  if (engine_) {
    engine_->Terminate();
    engine_->WaitFor();
  }
}

bool TSupersampleRun::Start() {
  try {
    picture_.Resize(params_.PictureWidth, params_.PictureHeight);
    rows_.emplace(params_, n_, [this](int32_t row, const uint8_t* bgr) {
      std::copy_n(bgr, size_t(picture_.Width) * 3, picture_.Row(row));
    });
    ui_ = std::make_unique<QtDispatcher>();
    engine_ = std::make_unique<TRechenThread>(*ui_);
    engine_->SetFresh(true);
    engine_->SetFastTrig(fastTrig_);
    engine_->SetBatchHandler([this](int64_t record, const double* e, const double*, int32_t count) {
      try {
        rows_->Add(record, e, count);
      } catch (const std::logic_error& problem) {
        throw IoError(problem.what());
      }
    });
    engine_->SetProgressHandler([this](int done) { Progress(done); });
    engine_->SetFinishedHandler([this] { Finish(); });
    engine_->SetErrorHandler([this](const std::string& problem) { Fail(QString::fromStdString(problem)); });
    engine_->Setup(sub_, noPicture_);
  } catch (const std::bad_alloc&) {
    engine_.reset();
    DialogService::instance().error(parentWidget(), QStringLiteral("There is not enough memory for the picture."));
    return false;
  } catch (const std::exception& e) {
    engine_.reset();
    DialogService::instance().error(parentWidget(), QString::fromLocal8Bit(e.what()));
    return false;
  }
  started_ = std::chrono::steady_clock::now();
  running_ = true;
  show();
  engine_->Resume();
  return true;
}

bool TSupersampleRun::Running() const { return running_; }

void TSupersampleRun::Progress(int tenThousandths) {
  ProgressBar1->setValue(tenThousandths / 100);
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  if (tenThousandths > 0 && elapsed > 1)
    LabelRemaining->setText(
        QStringLiteral("remaining time: ") +
        QString::fromStdString(RemainingTimeText(std::llround(elapsed * (10000 - tenThousandths) / tenThousandths))));
}

void TSupersampleRun::Cancel() {
  if (!running_) return;
  running_ = false;
  engine_->Terminate();
  hide();
  emit Ended(false);
}

void TSupersampleRun::Fail(const QString& problem) {
  if (!running_) return;
  running_ = false;
  hide();
  DialogService::instance().error(parentWidget(),
                                  QStringLiteral("The supersampled picture could not be computed:\n%1").arg(problem));
  emit Ended(false);
}

void TSupersampleRun::Finish() {
  if (!running_) return;
  running_ = false;
  hide();
  QString problem;
  if (!rows_->Complete()) problem = QStringLiteral("the calculation ended before the picture was complete");
  try {
    if (problem.isEmpty()) {
      std::vector<uint8_t> block;
      if (type_ == PictureType::Png) block = EncodeParameterBlock(params_, BlockForm::Parameters);
      SavePicture(QFile::encodeName(path_).toStdString(), RowsOf(picture_), type_, block);
    }
  } catch (const std::exception& e) {
    problem = QString::fromLocal8Bit(e.what());
  }
  if (!problem.isEmpty())
    DialogService::instance().error(
        parentWidget(), QStringLiteral("The picture could not be saved to \"%1\":\n%2").arg(path_, problem));
  emit Ended(problem.isEmpty());
}

void TSupersampleRun::closeEvent(QCloseEvent* event) {
  Cancel();
  event->accept();
}

}  // namespace vantorel::gui
