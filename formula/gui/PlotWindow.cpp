#include "formula/gui/PlotWindow.h"

#include "gui/WindowPlacement.h"
#include "core/RangeText.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QValidator>
#include <chrono>
#include <exception>
#include <set>

#include "gui/DialogService.h"
#include "gui/WheelGuard.h"
#include "core/NumberText.h"
#include "formula/gui/FormulaTools.h"

namespace vantorel::gui {

namespace {

const char* const kFeigenbaumCaption = "plot \"Feigenbaum-graph\"";
// How long one slice of the bifurcation graph computes before the events are processed.
constexpr std::chrono::milliseconds kSlice{20};

QString NumberText(double v) { return QString::fromStdString(FloatToText(v)); }

// The running variable is typed in upper case.
class UpperCase final : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int&) const override {
    input = input.toUpper();
    return Acceptable;
  }
};

// The drawing surface: shows the window's picture and hands the mouse to the window.
class PlotImage final : public QWidget {
 public:
  PlotImage(TForm2& form, QWidget* parent) : QWidget(parent), form_(form) {
    setMouseTracking(true);
    setFixedSize(TForm2::kImageSize, TForm2::kImageSize);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.drawImage(0, 0, form_.Picture());
  }
  void mousePressEvent(QMouseEvent* e) override {
    form_.Image1MouseDown(e->button(), e->position().toPoint().x(), e->position().toPoint().y());
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    form_.Image1MouseMove(e->position().toPoint().x(), e->position().toPoint().y());
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    if (e->button() == Qt::LeftButton) form_.Image1MouseUp(e->position().toPoint().x(), e->position().toPoint().y());
  }

 private:
  TForm2& form_;
};

// Shows the messages of a formula in boxes; the same message only once per plot.
class BoxSink final : public IMessageSink {
 public:
  explicit BoxSink(QWidget* parent) : parent_(parent) {}
  void Show(const std::string& text) override {
    if (shown_.insert(text).second) DialogService::instance().information(parent_, MessageText(text));
  }

 private:
  QWidget* parent_;
  std::set<std::string> shown_;
};

TForm2* g_instance = nullptr;

void DeleteInstance() {
  delete g_instance;
  g_instance = nullptr;
}

}  // namespace

TForm2::TForm2(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint) {
  setWindowTitle(QStringLiteral("plot of the formula and it's derivated"));
  image_ = QImage(kImageSize, kImageSize, QImage::Format_RGB32);
  image_.fill(Qt::white);
  BuildControls();
  sliceTimer_ = new QTimer(this);
  sliceTimer_->setInterval(0);
  connect(sliceTimer_, &QTimer::timeout, this, [this] { BifurcationSlice(); });
}

TForm2::~TForm2() {
  if (g_instance == this) g_instance = nullptr;
}

TForm2& TForm2::Instance() {
  if (!g_instance) {
    g_instance = new TForm2;
    qAddPostRoutine(DeleteInstance);
  }
  return *g_instance;
}

void TForm2::BuildControls() {
  setFixedSize(543, 577);
  auto label = [this](const QString& text, int x, int y, int w,
                      Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter) {
    auto* l = new QLabel(text, this);
    l->setGeometry(x, y, w, 22);
    l->setAlignment(align);
    return l;
  };
  auto edit = [this](const QString& text, const QString& name, int x, int y, int w) {
    auto* e = new QLineEdit(text, this);
    e->setGeometry(x, y, w, 22);
    e->setAccessibleName(name);
    return e;
  };
  auto button = [this](const QString& text, int x, int y, int w) {
    auto* b = new QPushButton(text, this);
    b->setGeometry(x, y, w, 24);
    return b;
  };

  Image1 = new PlotImage(*this, this);
  Image1->move(135, 8);
  Image1->setAccessibleName(QStringLiteral("plot"));
  Shape1 = new QFrame(Image1);
  Shape1->setStyleSheet(QStringLiteral("border: 1px solid blue; background: transparent"));
  Shape1->setAttribute(Qt::WA_TransparentForMouseEvents);
  Shape1->setAccessibleName(QStringLiteral("selection"));
  Shape1->hide();
  Label1 = label(QStringLiteral("5"), 60, 4, 72, Qt::AlignRight | Qt::AlignVCenter);
  Label2 = label(QStringLiteral("-5"), 60, 390, 72, Qt::AlignRight | Qt::AlignVCenter);
  Label3 = label(QStringLiteral("-5"), 135, 409, 150);
  Label4 = label(QStringLiteral("5"), 385, 409, 150, Qt::AlignRight | Qt::AlignVCenter);

  label(QStringLiteral("set variables:"), 8, 2, 120);
  Edit1 = edit(QStringLiteral("1"), QStringLiteral("A="), 40, 24, 85);
  Edit2 = edit(QStringLiteral("1"), QStringLiteral("B="), 40, 48, 85);
  Edit3 = edit(QStringLiteral("1"), QStringLiteral("AB="), 40, 72, 85);
  Edit8 = edit(QStringLiteral("1"), QStringLiteral("BA="), 40, 96, 85);
  label(QStringLiteral("A="), 8, 24, 30);
  label(QStringLiteral("B="), 8, 48, 30);
  label(QStringLiteral("AB="), 8, 72, 30);
  label(QStringLiteral("BA="), 8, 96, 30);
  label(QStringLiteral("X"), 8, 120, 120);
  label(QStringLiteral("from"), 8, 140, 30);
  Edit4 = edit(QStringLiteral("-5"), QStringLiteral("X from"), 40, 140, 85);
  label(QStringLiteral("to"), 8, 164, 30);
  Edit5 = edit(QStringLiteral("5"), QStringLiteral("X to"), 40, 164, 85);
  label(QStringLiteral("F(X)"), 8, 188, 120);
  label(QStringLiteral("from"), 8, 208, 30);
  Edit6 = edit(QStringLiteral("-5"), QStringLiteral("F(X) from"), 40, 208, 85);
  label(QStringLiteral("to"), 8, 232, 30);
  Edit7 = edit(QStringLiteral("5"), QStringLiteral("F(X) to"), 40, 232, 85);
  CheckBox1 = new QCheckBox(QStringLiteral("adjust F(X)"), this);
  CheckBox1->setGeometry(8, 258, 120, 22);
  Button3 = button(QStringLiteral("test formula"), 8, 284, 120);
  Button4 = button(QStringLiteral("help on formula"), 8, 310, 120);
  Button2 = button(QStringLiteral("new plot"), 8, 336, 120);
  Button1 = button(QStringLiteral("close"), 8, 362, 120);

  Label5 = label(QStringLiteral("black=function:"), 135, 428, 100);
  Label7 = label(QStringLiteral("function"), 235, 428, 300);
  Label6 = label(QStringLiteral("red=dF/dX:"), 135, 446, 100);
  Label8 = label(QStringLiteral("dF/dX"), 235, 446, 300);
  Label6->setStyleSheet(QStringLiteral("color: red"));
  Label8->setStyleSheet(QStringLiteral("color: red"));
  Label20 = label(QStringLiteral("formula:"), 8, 472, 60);
  Memo1 = new QPlainTextEdit(this);
  Memo1->setGeometry(70, 470, 465, 32);
  Memo1->setAccessibleName(QStringLiteral("formula:"));

  Button5 = button(QString::fromLatin1(kFeigenbaumCaption), 8, 506, 170);
  label(QStringLiteral("iterations:"), 185, 508, 60);
  SpinEdit1 = new QSpinBox(this);
  SpinEdit1->setRange(1, 1000000000);
  SpinEdit1->setSingleStep(250);
  SpinEdit1->setValue(500);
  SpinEdit1->setGeometry(245, 508, 100, 22);
  GuardWheel(SpinEdit1);
  SpinEdit1->setAccessibleName(QStringLiteral("iterations:"));
  label(QStringLiteral("running"), 352, 508, 48);
  label(QStringLiteral("variable:"), 400, 508, 55);
  Edit9 = edit(QStringLiteral("AB"), QStringLiteral("running variable:"), 455, 508, 80);
  Edit9->setValidator(new UpperCase(Edit9));
  label(QStringLiteral("from:"), 8, 534, 32);
  Edit10 = edit(QStringLiteral("0"), QStringLiteral("running variable from:"), 40, 534, 48);
  label(QStringLiteral("to:"), 92, 534, 20);
  Edit11 = edit(QStringLiteral("4"), QStringLiteral("running variable to:"), 112, 534, 48);
  label(QStringLiteral("X between"), 166, 534, 62);
  Edit14 = edit(QStringLiteral("0"), QStringLiteral("X between"), 228, 534, 44);
  label(QStringLiteral("and"), 276, 534, 24);
  Edit15 = edit(QStringLiteral("1"), QStringLiteral("X and"), 300, 534, 44);
  label(QStringLiteral("Y from"), 352, 534, 42);
  Edit12 = edit(QStringLiteral("-4"), QStringLiteral("Y from"), 394, 534, 52);
  label(QStringLiteral("to"), 450, 534, 18);
  Edit13 = edit(QStringLiteral("4"), QStringLiteral("Y to"), 468, 534, 67);

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setGeometry(0, 567, 543, 10);
  StatusBar1->setSizeGripEnabled(false);
  auto* panel = new QLabel(QStringLiteral("Koordinaten"), StatusBar1);
  panel->setMinimumWidth(70);
  StatusBar1->addWidget(panel, 1);
  StatusBar1->setFixedHeight(20);
  StatusBar1->move(0, 577 - 20);

  connect(Button1, &QPushButton::clicked, this, &QWidget::close);
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
  connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
  connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
  connect(Button5, &QPushButton::clicked, this, [this] { Button5Click(); });
  connect(SpinEdit1, &QSpinBox::valueChanged, this, [this] { SpinEdit1Change(); });
  connect(Memo1, &QPlainTextEdit::textChanged, this, [this] { Memo1Change(); });
}

// ---------------------------------------------------------------------------------------------
// The link with the project's formula

void TForm2::ShowFor(QPlainTextEdit* projectMemo) {
  StopBifurcation();
  if (link_ != projectMemo) {
    disconnect(linkChanged_);
    disconnect(linkDestroyed_);
    link_ = projectMemo;
    if (projectMemo) {
      linkChanged_ = connect(projectMemo, &QPlainTextEdit::textChanged, this, [this] { ProjectMemoChange(); });
      linkDestroyed_ = connect(projectMemo, &QObject::destroyed, this, [this] { Unlink(); });
    }
  }
  if (link_) ProjectMemoChange();
  ShowBeside(this, projectMemo);  // first shown beside the project window it plots
  show();
  raise();
  activateWindow();
  FunctionPlot();
}

void TForm2::Memo1Change() {
  if (syncing_ || !link_) return;
  const QString text = FormulaTextOf(*Memo1);
  if (FormulaTextOf(*link_) == text) return;
  syncing_ = true;
  link_->setPlainText(text);
  syncing_ = false;
}

void TForm2::ProjectMemoChange() {
  if (syncing_ || !link_) return;
  const QString text = FormulaTextOf(*link_);
  if (FormulaTextOf(*Memo1) == text) return;
  syncing_ = true;
  Memo1->setPlainText(text);
  syncing_ = false;
}

// The project closes: the window shows its formula no longer.
void TForm2::Unlink() {
  StopBifurcation();
  disconnect(linkChanged_);
  disconnect(linkDestroyed_);
  link_ = nullptr;
  hide();
}

void TForm2::closeEvent(QCloseEvent* event) {
  StopBifurcation();
  QWidget::closeEvent(event);
}

void TForm2::hideEvent(QHideEvent* event) {
  StopBifurcation();
  QWidget::hideEvent(event);
}

// ---------------------------------------------------------------------------------------------
// Buttons

void TForm2::Button2Click() {
  StopBifurcation();
  FunctionPlot();
  lastWasBifurcation_ = false;
  setWindowTitle(QStringLiteral("plot of the formula and it´s derivated"));
}

void TForm2::Button3Click() { TestFormulaShowingMessages(this, FormulaTextOf(*Memo1)); }

void TForm2::Button4Click() { ShowFormulaHelp(this); }

void TForm2::Button5Click() {
  setWindowTitle(QStringLiteral("\"Feigenbaum-graph\" of the formula with variing a chosen variable"));
  if (Running())
    StopBifurcation();
  else
    StartBifurcation();
}

void TForm2::SpinEdit1Change() { SpinEdit1->setSingleStep(std::max(1, SpinEdit1->value() / 2)); }

// ---------------------------------------------------------------------------------------------
// Drawing

std::optional<double> TForm2::Number(const QLineEdit* edit, const QString& name) {
  const auto v = TextToFloat(edit->text().toStdString());
  if (!v || !std::isfinite(*v)) {
    DialogService::instance().error(this, QStringLiteral("%1 \"%2\" is not a number.").arg(name, edit->text()));
    return std::nullopt;
  }
  return v;
}

bool TForm2::LoadFormula(TFormula& f, bool derive) {
  BoxSink sink(this);
  f.Messages = &sink;
  f.ShowMessages = true;
  bool ok = false;
  try {
    f.Load(FormulaTextOf(*Memo1).toStdString());
    if (f.Ok() && derive) {
      f.ShowMessages = false;
      f.Derive("X");
    }
    ok = f.Ok();
  } catch (const std::exception& e) {
    sink.Show(e.what());
  }
  f.Messages = nullptr;
  return ok;
}

void TForm2::SetVariables(TFormula& f) {
  f.SetVariable("AB", TextToFloat(Edit3->text().toStdString()).value_or(1));
  f.SetVariable("BA", TextToFloat(Edit8->text().toStdString()).value_or(1));
  f.SetVariable("A", TextToFloat(Edit1->text().toStdString()).value_or(1));
  f.SetVariable("B", TextToFloat(Edit2->text().toStdString()).value_or(1));
}

void TForm2::ClearImage() { image_.fill(Qt::white); }

void TForm2::FunctionPlot() {
  for (auto [edit, name] : {std::pair{Edit1, "A="}, {Edit2, "B="}, {Edit3, "AB="}, {Edit8, "BA="}})
    if (!Number(edit, QString::fromLatin1(name))) return;
  const auto xFrom = Number(Edit4, QStringLiteral("X from")),
             xTo = xFrom ? Number(Edit5, QStringLiteral("X to")) : std::nullopt;
  if (!xTo) return;
  const PlotRange xs{*xFrom, *xTo};
  if (const auto problem = RangeProblem(xs, "X")) {
    DialogService::instance().error(this, QString::fromStdString(*problem));
    return;
  }
  TFormula f, d;
  if (!LoadFormula(f, false)) return;
  SetVariables(f);
  const bool derived = LoadFormula(d, true);
  if (derived) SetVariables(d);
  PlotRange ys;
  if (CheckBox1->isChecked()) {
    ys = ValueRangeOver(f, "X", kImageSize, xs);
    if (derived) {
      const PlotRange slope = ValueRangeOver(d, "X", kImageSize, xs);
      ys = {std::min(ys.From, slope.From), std::max(ys.To, slope.To)};
    }
  } else {
    const auto yFrom = Number(Edit6, QStringLiteral("F(X) from")),
               yTo = yFrom ? Number(Edit7, QStringLiteral("F(X) to")) : std::nullopt;
    if (!yTo) return;
    ys = {*yFrom, *yTo};
  }
  if (const auto problem = RangeProblem(ys, "F(X)")) {
    DialogService::instance().error(this, QString::fromStdString(*problem));
    return;
  }
  // Computed ends show the digits in which they differ, not all fifteen.
  Label1->setText(CheckBox1->isChecked() ? QString::fromStdString(RangeEndText(ys.To, ys.From, ys.To)) : Edit7->text());
  Label2->setText(CheckBox1->isChecked() ? QString::fromStdString(RangeEndText(ys.From, ys.From, ys.To))
                                         : Edit6->text());
  Label3->setText(Edit4->text());
  Label4->setText(Edit5->text());
  shownXs_ = xs;
  shownYs_ = ys;

  ClearImage();
  QPainter p(&image_);
  p.setPen(QColor(0xC0, 0xC0, 0xC0));
  if (const auto row = ZeroPixel(ys.To, ys.From, kImageSize, kImageSize)) p.drawLine(0, *row, kImageSize, *row);
  if (const auto column = ZeroPixel(xs.From, xs.To, kImageSize, kImageSize))
    p.drawLine(*column, 0, *column, kImageSize);
  auto curve = [&](TFormula& formula, const QColor& colour) {
    BoxSink sink(this);  // "Wert nicht ermittelbar" once, not once per column
    formula.Messages = &sink;
    const auto steps = CurveSteps(formula, "X", xs, ys, kImageSize, kImageSize);
    formula.Messages = nullptr;
    p.setPen(colour);
    QPoint at;
    for (const CurveStep& s : steps) {
      const QPoint to(s.Column, s.Row);
      if (s.Draw) p.drawLine(at, to);
      at = to;
    }
  };
  Label7->setText(QString::fromStdString(f.Text()));
  curve(f, Qt::black);
  Label8->setText(derived ? QString::fromStdString(d.Text()) : QString());
  d.ShowMessages = false;
  if (derived) curve(d, QColor(0xFF, 0, 0));
  p.end();
  Image1->update();
}

void TForm2::StartBifurcation() {
  StopBifurcation();
  for (auto [edit, name] : {std::pair{Edit1, "A="}, {Edit2, "B="}, {Edit3, "AB="}, {Edit8, "BA="}})
    if (!Number(edit, QString::fromLatin1(name))) return;
  std::optional<double> v[6];
  const std::pair<QLineEdit*, const char*> edits[6] = {{Edit14, "X between"}, {Edit15, "X and"}, {Edit12, "Y from"},
                                                       {Edit13, "Y to"},      {Edit10, "from:"}, {Edit11, "to:"}};
  for (int i = 0; i < 6; ++i)
    if (!(v[i] = Number(edits[i].first, QString::fromLatin1(edits[i].second)))) return;
  BifurcationSettings settings;
  settings.Width = settings.Height = kImageSize;
  settings.Iterations = SpinEdit1->value();
  settings.Start = {*v[0], *v[1]};
  settings.Values = {*v[2], *v[3]};
  settings.Parameter = {*v[4], *v[5]};
  const std::string running = Edit9->text().toStdString();
  for (const auto& [range, name] : {std::pair{settings.Values, std::string("Y")},
                                    {settings.Parameter, running},
                                    {PlotRange{settings.Start.From, settings.Start.From + 1}, std::string("X")}}) {
    if (const auto problem = RangeProblem(range, name)) {
      DialogService::instance().error(this, QString::fromStdString(*problem));
      return;
    }
  }
  TFormula f, d;
  if (!LoadFormula(f, false)) return;
  SetVariables(f);
  Label7->setText(QString::fromStdString(f.Text()));
  Label8->setText(LoadFormula(d, true) ? QString::fromStdString(d.Text()) : QString());
  Label1->setText(NumberText(settings.Values.To));
  Label2->setText(NumberText(settings.Values.From));
  Label3->setText(Edit10->text());
  Label4->setText(Edit11->text());
  shownXs_ = settings.Parameter;
  shownYs_ = settings.Values;

  ClearImage();
  QPainter p(&image_);
  p.setPen(QColor(0xC0, 0xC0, 0xC0));
  if (const auto row = ZeroPixel(settings.Values.To, settings.Values.From, kImageSize - 1, kImageSize))
    p.drawLine(0, *row, kImageSize, *row);
  if (const auto column = ZeroPixel(settings.Parameter.From, settings.Parameter.To, kImageSize - 1, kImageSize))
    p.drawLine(*column, 0, *column, kImageSize);
  p.end();
  Image1->update();

  const auto seed = static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  graph_ = std::make_unique<BifurcationGraph>(f, running, settings, seed);
  Button5->setText(QStringLiteral("STOP"));
  sliceTimer_->start();
}

void TForm2::BifurcationSlice() {
  if (!graph_) return;
  std::vector<std::pair<int, int>> points;
  try {
    graph_->Run(std::chrono::steady_clock::now() + kSlice, points);
  } catch (const std::exception& e) {  // out of memory: the graph ends, the button with it
    StopBifurcation();
    DialogService::instance().error(this, QString::fromLocal8Bit(e.what()));
    return;
  }
  for (const auto& [c, r] : points) image_.setPixel(c, r, qRgb(0, 0, 0));
  if (graph_->Done()) {
    FinishBifurcation();
    return;
  }
  Image1->update();
}

void TForm2::FinishBifurcation() {
  // All marked cells in one pass over the rows.
  const auto& marks = graph_->Marks();
  for (int y = 0; y < kImageSize; ++y) {
    auto* row = reinterpret_cast<QRgb*>(image_.scanLine(y));
    const uint8_t* m = marks.data() + static_cast<size_t>(y) * kImageSize;
    for (int x = 0; x < kImageSize; ++x)
      if (m[x]) row[x] = qRgb(0, 0, 0);
  }
  StopBifurcation();
  Image1->update();
}

void TForm2::StopBifurcation() {
  if (!graph_) return;
  sliceTimer_->stop();
  graph_.reset();
  Button5->setText(QString::fromLatin1(kFeigenbaumCaption));
  lastWasBifurcation_ = true;
}

// ---------------------------------------------------------------------------------------------
// Mouse: coordinates and zooming

void TForm2::Image1MouseDown(Qt::MouseButton button, int x, int y) {
  if (button != Qt::LeftButton) return;
  selecting_ = true;
  anchorX_ = x + 1;
  anchorY_ = y + 1;
  Shape1->setGeometry(anchorX_, anchorY_, 1, 1);
  Shape1->show();
}

void TForm2::Image1MouseMove(int x, int y) {
  if (!selecting_) {
    anchorX_ = x + 1;
    anchorY_ = y + 1;
  }
  const auto [px, py] = PointAt(shownXs_, shownYs_, x, y, kImageSize);
  if (auto* panel = StatusBar1->findChild<QLabel*>())
    panel->setText(QStringLiteral("coordinates: X=") + NumberText(px) + QStringLiteral(" Y=") + NumberText(py));
  if (selecting_) Shape1->setGeometry(QRect(QPoint(anchorX_, anchorY_), QPoint(x + 1, y + 1)).normalized());
}

void TForm2::Image1MouseUp(int x, int y) {
  if (!selecting_) return;
  selecting_ = false;
  Shape1->hide();
  if (DialogService::instance().question(this, QStringLiteral("use chosen coordinates?")) != QMessageBox::Yes) return;
  const ZoomResult zoom = ZoomedRanges(shownXs_, shownYs_, anchorX_, anchorY_, x + 1, y + 1, kImageSize);
  for (const auto& [range, name] : {std::pair{zoom.Xs, "the horizontal axis"}, {zoom.Ys, "the vertical axis"}}) {
    if (const auto problem = RangeProblem(range, name)) {
      DialogService::instance().error(
          this, QString::fromStdString(*problem) + QStringLiteral("\nDrag a rectangle to choose the new ranges."));
      return;
    }
  }
  if (lastWasBifurcation_) {
    Edit10->setText(NumberText(zoom.Xs.From));
    Edit11->setText(NumberText(zoom.Xs.To));
    Edit12->setText(NumberText(zoom.Ys.From));
    Edit13->setText(NumberText(zoom.Ys.To));
    StartBifurcation();
  } else {
    Edit4->setText(NumberText(zoom.Xs.From));
    Edit5->setText(NumberText(zoom.Xs.To));
    Edit6->setText(NumberText(zoom.Ys.From));
    Edit7->setText(NumberText(zoom.Ys.To));
    FunctionPlot();
  }
}

}  // namespace vantorel::gui
