#include "colour/gui/Histogram.h"

#include "core/RangeText.h"

#include <algorithm>

#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>

#include "gui/DialogService.h"
#include "core/ColorMapping.h"
#include "colour/gui/ColorListDisplay.h"
#include "core/NumberText.h"

namespace vantorel::gui {

namespace {

constexpr int kVisibleColumns = 500;

QString Text(double v) { return QString::fromStdString(FloatToText(v)); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// THistogramImage

THistogramImage::THistogramImage(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void THistogramImage::SetPicture(const QImage& picture) {
  picture_ = picture;
  setFixedSize(picture_.size());
  update();
}

void THistogramImage::SetCursorColumn(int x) {
  if (x == cursor_) return;
  update(QRect(cursor_, 0, 1, height()));
  cursor_ = x;
  update(QRect(cursor_, 0, 1, height()));
}

void THistogramImage::paintEvent(QPaintEvent* event) {
  QPainter p(this);
  p.drawImage(event->rect(), picture_, event->rect());
  // The cursor line: white combined by exclusive-or, so it shows on every bar colour.
  p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  p.fillRect(QRect(cursor_, 0, 1, height()), Qt::white);
}

void THistogramImage::mouseMoveEvent(QMouseEvent* event) { emit mouseMoved(event->position().toPoint().x()); }

// ---------------------------------------------------------------------------------------------
// TForm4

TForm4::TForm4(const PixelDataFile& exponents, const TCalcParams& params, QWidget* parent)
    : QDialog(parent), exponents_(exponents), params_(params) {
  setWindowTitle(QStringLiteral("histogram"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setFixedSize(522, 493);
  setMouseTracking(true);

  Label1 = new QLabel(QStringLiteral("points"), this);
  Label1->setGeometry(9, 12, 40, 20);
  SpinEdit1 = new QSpinBox(this);
  SpinEdit1->setRange(HistogramCounts::MinBins, HistogramCounts::MaxBins);
  SpinEdit1->setSingleStep(100);
  SpinEdit1->setValue(500);
  SpinEdit1->setGeometry(52, 9, 80, 26);
  SpinEdit1->setFocusPolicy(Qt::StrongFocus);
  SpinEdit1->installEventFilter(this);  // the wheel only when focused
  SpinEdit1->setAccessibleName(Label1->text());
  Label1->setBuddy(SpinEdit1);
  Button1 = new QPushButton(QStringLiteral("calculate"), this);
  Button1->setToolTip(QStringLiteral("new calculation"));
  Button1->setDefault(true);
  Button1->setGeometry(140, 8, 90, 28);
  Button3 = new QPushButton(QStringLiteral("optimize"), this);
  Button3->setToolTip(QStringLiteral("removes single points at the borders"));
  Button3->setGeometry(236, 8, 90, 28);
  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);
  ProgressBar1->setGeometry(334, 14, 90, 16);
  ProgressBar1->setAccessibleName(QStringLiteral("progress"));
  Button2 = new QPushButton(QStringLiteral("close"), this);
  Button2->setGeometry(432, 8, 81, 28);

  ScrollBox1 = new QScrollArea(this);
  ScrollBox1->setGeometry(9, 42, 504, 420);
  ScrollBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  ScrollBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  ScrollBox1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Image1 = new THistogramImage;
  Image1->setAccessibleName(windowTitle());
  QImage blank(kVisibleColumns, BarHeight, QImage::Format_RGB32);
  blank.fill(Qt::white);
  Image1->SetPicture(blank);
  ScrollBox1->setWidget(Image1);
  PopupMenu1 = new QMenu(Image1);
  QAction* linksloeschen = PopupMenu1->addAction(QStringLiteral("clear left"));
  QAction* rechtsloeschen = PopupMenu1->addAction(QStringLiteral("clear right "));
  Image1->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(Image1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { PopupMenu1->popup(Image1->mapToGlobal(at)); });

  Label2 = new QLabel(this);
  Label2->setGeometry(9, 464, 150, 14);
  Label3 = new QLabel(this);
  Label3->setGeometry(363, 464, 150, 14);
  Label3->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  Label4 = new QLabel(this);
  Label4->setGeometry(161, 464, 200, 14);
  Label4->setAlignment(Qt::AlignCenter);
  Label5 = new QLabel(this);
  Label5->setGeometry(161, 478, 200, 14);
  Label5->setAlignment(Qt::AlignCenter);
  Label6 = new QLabel(this);
  Label6->setGeometry(363, 478, 150, 14);
  Label6->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  for (QLabel* l : {Label2, Label3, Label4, Label5, Label6}) l->setMouseTracking(true);

  Timer1 = new QTimer(this);
  Timer1->setInterval(10);
  Timer1->setSingleShot(true);

  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
  connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
  connect(linksloeschen, &QAction::triggered, this, [this] { linksloeschenClick(); });
  connect(rechtsloeschen, &QAction::triggered, this, [this] { rechtsloeschenClick(); });
  connect(Image1, &THistogramImage::mouseMoved, this, [this](int x) { Image1MouseMove(x); });
  connect(ScrollBox1->horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] { ScrollBox1Click(); });
  connect(Timer1, &QTimer::timeout, this, [this] { Button1Click(); });
}

void TForm4::ToolButton12Click(PixelDataFile& exponents, const TCalcParams& params, QWidget* parent) {
  const int64_t position = exponents.IsOpen() ? exponents.Position() : 0;
  // One window per project window, made on first use: it comes back as it was left, with the
  // number of bins chosen last and where it was put.
  TForm4* form = parent ? parent->findChild<TForm4*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
  if (!form || &form->exponents_ != &exponents || &form->params_ != &params) {
    delete form;
    form = new TForm4(exponents, params, parent);
  }
  DialogService::instance().execDialog(form);
  if (!parent) delete form;
  if (!exponents.IsOpen()) return;
  try {
    exponents.Seek(position);
  } catch (const std::exception& e) {
    DialogService::instance().error(parent, QString::fromUtf8(e.what()));
  }
}

const QImage& TForm4::Picture() const { return Image1->Picture(); }

void TForm4::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  Timer1->start();  // the first count runs once the window is on the screen
}

bool TForm4::eventFilter(QObject* watched, QEvent* event) {
  if (watched == SpinEdit1 && event->type() == QEvent::Wheel && !SpinEdit1->hasFocus()) {
    event->ignore();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void TForm4::Button1Click() { Recount(true, 0, 0); }

void TForm4::Button3Click() {
  const auto range = counts_.OptimizedRange();
  if (!range) {
    DialogService::instance().information(this, QStringLiteral("Calculate the histogram first."));
    return;
  }
  Recount(false, range->first, range->second);
}

void TForm4::linksloeschenClick() { Cut(true); }
void TForm4::rechtsloeschenClick() { Cut(false); }

void TForm4::Cut(bool left) {
  // The cut goes where the readout stands, as it shows.
  const auto at = TextToFloat(Label4->text().toStdString());
  if (!counts_.HasData() || !at) {
    DialogService::instance().information(
        this, QStringLiteral("Move the mouse over the bars first: the cut goes where the cursor line stands."));
    return;
  }
  if (left)
    Recount(false, *at, counts_.Xmax());
  else
    Recount(false, counts_.Xmin(), *at);
}

void TForm4::Recount(bool fullRange, double lo, double hi) {
  const int bins = SpinEdit1->value();  // the spin edit holds it within 100 ... 10000
  std::string message;
  bool ok = false;
  Button1->setEnabled(false);
  Button3->setEnabled(false);
  // The window repaints between blocks; the user's input waits until the count is done.
  const HistogramCounts::Progress progress = [this](int percent) {
    ProgressBar1->setValue(percent);
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  };
  try {
    ok = fullRange ? counts_.Calculate(exponents_, bins, progress, message)
                   : counts_.Rebin(exponents_, bins, lo, hi, progress, message);
  } catch (const std::exception& e) {
    message = e.what();
  }
  Button1->setEnabled(true);
  Button3->setEnabled(true);
  ProgressBar1->setValue(0);
  if (!ok) {
    DialogService::instance().information(this, QString::fromStdString(message));
    return;
  }
  ScrollBox1->horizontalScrollBar()->setValue(0);
  DrawBars();
  Image1->SetCursorColumn(counts_.ClampColumn(Image1->CursorColumn()));
  ScrollBox1Click();
  // A readout already shown follows the new bins under the cursor line.
  if (!Label4->text().isEmpty()) Image1MouseMove(Image1->CursorColumn());
  Label6->setText(counts_.NotFinite() > 0 ? QStringLiteral("not finite: %1").arg(counts_.NotFinite()) : QString());
}

void TForm4::DrawBars() {
  const int n = counts_.Bins();
  QImage picture(n, BarHeight, QImage::Format_RGB32);
  picture.fill(Qt::white);
  const uint32_t below = static_cast<uint32_t>(params_.BelowColor);
  const uint32_t above = static_cast<uint32_t>(params_.AboveColor);
  for (int i = 0; i < n; ++i) {
    const int top = counts_.BarTop(i, BarHeight);
    if (top >= BarHeight) continue;
    const QRgb colour = ToQColor(ColorForExponent(params_.ColorList, below, above, counts_.ValueAt(i))).rgb();
    for (int y = top + 1; y < BarHeight; ++y) picture.setPixel(i, y, colour);
    picture.setPixel(i, top, qRgb(0, 0, 0));
  }
  // A bar as light as the background is outlined in grey where the background touches it.
  const QRgb outline = qRgb(160, 160, 160);
  auto light = [](QRgb c) { return qRed(c) >= 0xF0 && qGreen(c) >= 0xF0 && qBlue(c) >= 0xF0; };
  for (int i = 0; i < n; ++i) {
    const int top = counts_.BarTop(i, BarHeight);
    if (top >= BarHeight - 1 || !light(picture.pixel(i, BarHeight - 1))) continue;
    for (const int j : {i - 1, i + 1}) {
      if (j < 0 || j >= n) continue;
      const int neighbourTop = std::min(counts_.BarTop(j, BarHeight), BarHeight);
      for (int y = top; y < neighbourTop; ++y) picture.setPixel(j, y, outline);
    }
  }
  Image1->SetPicture(picture);
}

void TForm4::ScrollBox1Click() {
  if (!counts_.HasData()) return;
  const int p = ScrollBox1->horizontalScrollBar()->value();
  // The edges show the digits in which they differ, not all fifteen.
  const double left = counts_.ValueAt(p);
  const double right = counts_.Bins() >= kVisibleColumns ? counts_.ValueAt(p + kVisibleColumns - 1) : counts_.Xmax();
  Label2->setText(QString::fromStdString(RangeEndText(left, left, right)));
  Label3->setText(QString::fromStdString(RangeEndText(right, left, right)));
}

void TForm4::Image1MouseMove(int x) {
  if (!counts_.HasData()) return;
  // A mouse dragged out of the picture with a button held still reads the nearest bin.
  x = counts_.ClampColumn(x);
  ScrollBox1Click();
  Label4->setText(Text(counts_.ValueAt(x)));
  Label5->setText(QStringLiteral("count: %1").arg(counts_.Count(x)));
  Image1->SetCursorColumn(x);
}

}  // namespace vantorel::gui
