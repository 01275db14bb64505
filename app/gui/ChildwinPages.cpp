// The pages of the project window: their controls, captions, defaults and hints.
#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QValidator>
#include <QVBoxLayout>

#include "app/gui/Childwin.h"
#include "app/gui/PictureView.h"
#include "gui/RadioGroup.h"

namespace vantorel::gui {

namespace {

// The AB-sequence is typed in upper case.
class UpperCaseValidator final : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int&) const override {
    input = input.toUpper();
    return Acceptable;
  }
};

QSpinBox* MakeSpinEdit(QWidget* parent, int minimum, int maximum, int step, int value) {
  auto* spin = new QSpinBox(parent);
  spin->setRange(minimum, maximum);
  spin->setSingleStep(step);
  spin->setValue(value);
  spin->setMinimumWidth(100);
  return spin;
}

QLineEdit* MakeEdit(QWidget* parent, const QString& text) {
  auto* edit = new QLineEdit(text, parent);
  edit->setMinimumWidth(90);
  return edit;
}

// A page whose contents scroll when the window is smaller than they are.
QScrollArea* ScrollingPage(QWidget* contents) {
  auto* area = new QScrollArea;
  area->setWidgetResizable(true);
  area->setFrameShape(QFrame::NoFrame);
  area->setWidget(contents);
  return area;
}

enum class Glyph { NewPicture, Apply, Reset, Coordinates, Area, Start, Pause, Continue, Stop, Save, Histogram };

// The small images of the calculation toolbar, drawn rather than loaded so that they need no files.
QIcon ToolIcon(Glyph glyph) {
  QPixmap pixmap(20, 20);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor green(0, 140, 40), dark(40, 40, 40), blue(30, 80, 200), red(200, 30, 30);
  auto triangle = [&](qreal left, qreal width) {
    QPainterPath path;
    path.moveTo(left, 3);
    path.lineTo(left + width, 10);
    path.lineTo(left, 17);
    path.closeSubpath();
    p.fillPath(path, green);
  };
  switch (glyph) {
    case Glyph::NewPicture:
      p.setPen(dark);
      p.setBrush(Qt::white);
      p.drawRect(3, 2, 13, 16);
      p.fillRect(5, 5, 4, 4, red);
      p.fillRect(10, 10, 4, 5, blue);
      break;
    case Glyph::Apply:
      p.setPen(QPen(green, 2.5));
      p.drawPolyline(QPolygonF({QPointF(3, 10), QPointF(8, 15), QPointF(17, 4)}));
      break;
    case Glyph::Reset:
      p.setPen(QPen(blue, 2));
      p.drawArc(QRectF(4, 4, 12, 12), 60 * 16, 270 * 16);
      p.setBrush(blue);
      p.drawPolygon(QPolygonF({QPointF(12, 1), QPointF(17, 5), QPointF(11, 7)}));
      break;
    case Glyph::Coordinates:
      p.setPen(QPen(dark, 1.5));
      p.drawLine(10, 2, 10, 18);
      p.drawLine(2, 10, 18, 10);
      p.setPen(QPen(blue, 1.5));
      p.drawEllipse(QPointF(10, 10), 5, 5);
      break;
    case Glyph::Area:
      p.setPen(QPen(dark, 1.5, Qt::DashLine));
      p.drawRect(3, 4, 14, 12);
      break;
    case Glyph::Start: triangle(5, 11); break;
    case Glyph::Pause:
      p.fillRect(5, 3, 4, 14, blue);
      p.fillRect(11, 3, 4, 14, blue);
      break;
    case Glyph::Continue:
      p.fillRect(3, 3, 3, 14, blue);
      triangle(8, 10);
      break;
    case Glyph::Stop: p.fillRect(4, 4, 12, 12, red); break;
    case Glyph::Save:
      p.setPen(dark);
      p.setBrush(QColor(90, 120, 200));
      p.drawRect(3, 3, 14, 14);
      p.fillRect(6, 4, 8, 5, Qt::white);
      p.fillRect(6, 12, 8, 5, dark);
      break;
    case Glyph::Histogram:
      p.fillRect(3, 11, 3, 6, blue);
      p.fillRect(7, 5, 3, 12, blue);
      p.fillRect(11, 8, 3, 9, blue);
      p.fillRect(15, 13, 3, 4, blue);
      break;
  }
  return QIcon(pixmap);
}

QToolButton* MakeToolButton(QToolBar* bar, Glyph glyph, const QString& hint) {
  auto* button = new QToolButton(bar);
  button->setIcon(ToolIcon(glyph));
  button->setToolTip(hint);
  button->setStatusTip(hint);
  button->setAutoRaise(true);
  bar->addWidget(button);
  return button;
}

}  // namespace

QWidget* TMDIChild::BuildFormulaPage() {
  auto* page = new QWidget;
  auto* column = new QVBoxLayout(page);
  column->setContentsMargins(4, 4, 4, 4);

  // The map: a formula for the parser ...
  GroupBox1 = new QGroupBox(QStringLiteral("parser"), page);
  auto* parser = new QGridLayout(GroupBox1);
  Label1 = new QLabel(QStringLiteral("F(x, AB):="), GroupBox1);
  Memo1 = new QPlainTextEdit(QStringLiteral("2,5*sqr(sin(X+AB))"), GroupBox1);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setFixedHeight(52);
  Button1 = new QPushButton(QStringLiteral("test formula"), GroupBox1);
  Button1->setToolTip(QStringLiteral("test, if there are mistakes in the formula"));
  Button2 = new QPushButton(QStringLiteral("help on formula"), GroupBox1);
  Button2->setToolTip(QStringLiteral("shows possible operators and functions"));
  Button7 = new QPushButton(QStringLiteral("plot formula"), GroupBox1);
  Button7->setToolTip(QStringLiteral("plots the formula or a \"Feigenbaum-graph\""));
  Button12 = new QPushButton(QStringLiteral("use chosen fixed formula"), GroupBox1);
  Button12->setToolTip(QStringLiteral("copies the chosen fixed formula to the parser in order to plot graphs"));
  parser->addWidget(Label1, 0, 0, 1, 2);
  parser->addWidget(Memo1, 1, 0, 1, 2);
  parser->addWidget(Button1, 2, 0);
  parser->addWidget(Button2, 2, 1);
  parser->addWidget(Button7, 3, 0);
  parser->addWidget(Button12, 3, 1);
  parser->setColumnStretch(1, 1);  // the long caption of Button12 takes the room
  column->addWidget(GroupBox1);

  // ... or one of the fixed formulas.
  auto* useFixed = new QHBoxLayout;
  Label24 = new QLabel(QStringLiteral("use fixed"), page);
  CheckBox1 = new QCheckBox(QStringLiteral("formulas"), page);
  CheckBox1->setToolTip(QStringLiteral("fixed formulas are much faster!"));
  Label24->setToolTip(CheckBox1->toolTip());
  useFixed->addWidget(Label24);
  useFixed->addWidget(CheckBox1);
  useFixed->addStretch(1);
  column->addLayout(useFixed);

  GroupBox5 = new QGroupBox(QStringLiteral("fixed formulas"), page);
  auto* fixed = new QGridLayout(GroupBox5);
  Label21 = new QLabel(QStringLiteral("parameters"), GroupBox5);
  Edit8 = MakeEdit(GroupBox5, QStringLiteral("2,5"));
  Edit9 = MakeEdit(GroupBox5, QStringLiteral("0,1137635"));
  Edit10 = MakeEdit(GroupBox5, QStringLiteral("0,063633"));
  fixed->addWidget(Label21, 0, 0, 1, 2);
  fixed->addWidget(new QLabel(QStringLiteral("W="), GroupBox5), 1, 0);
  fixed->addWidget(Edit8, 1, 1);
  fixed->addWidget(new QLabel(QStringLiteral("V="), GroupBox5), 2, 0);
  fixed->addWidget(Edit9, 2, 1);
  fixed->addWidget(new QLabel(QStringLiteral("U="), GroupBox5), 3, 0);
  fixed->addWidget(Edit10, 3, 1);
  fixed->setColumnStretch(1, 1);
  RadioGroup1 = new TRadioGroup(
      QStringLiteral("Formeln"),
      {QStringLiteral("1) F=AB*X*(1-X)"), QStringLiteral("2) F=W*sqr(sin(X+AB))"),
       QStringLiteral("3) F=AB*X*|1-x| {x>0,5}; F=AB*X*(1-X)+U*(AB-2)/4 {x<0,5}"),
       QStringLiteral("4) F=W*sin²(x+AB) {x mod Pi>Pi/2}; F=W*sin²(x+AB)+U*AB {sonst}"),
       QStringLiteral("5) F=AB*(W*sin(X+AB)+V*cos(X+BA))"), QStringLiteral("6) F=W*AB*(cos(X-AB))+V*BA*X")});
  RadioGroup1->SetItemIndex(1);
  ScrollBox2 = new QScrollArea(GroupBox5);
  ScrollBox2->setWidget(RadioGroup1);
  ScrollBox2->setWidgetResizable(true);
  ScrollBox2->setMinimumHeight(RadioGroup1->sizeHint().height() + 22);
  fixed->addWidget(ScrollBox2, 4, 0, 1, 2);
  GroupBox5->hide();
  column->addWidget(GroupBox5);

  // The settings of the iteration.
  GroupBox2 = new QGroupBox(QStringLiteral("settings"), page);
  auto* settings = new QFormLayout(GroupBox2);
  Edit1 = MakeEdit(GroupBox2, QStringLiteral("AAAAAABBBBBB"));
  Edit1->setValidator(new UpperCaseValidator(Edit1));
  Edit1->setToolTip(QStringLiteral("the letters A and B in the order of iteration"));
  Edit2 = MakeEdit(GroupBox2, QStringLiteral("0,5"));
  SpinEdit1 = MakeSpinEdit(GroupBox2, 1, 100000000, 50, 150);
  SpinEdit2 = MakeSpinEdit(GroupBox2, 1, 100000000, 50, 300);
  CheckBox2 = new QCheckBox(QStringLiteral("smart-iterate"), GroupBox2);
  Edit11 = MakeEdit(GroupBox2, QStringLiteral("0,001"));
  settings->addRow(QStringLiteral("AB-sequence:"), Edit1);
  settings->addRow(QStringLiteral("start X:"), Edit2);
  settings->addRow(QStringLiteral("iterations:"), SpinEdit1);
  settings->addRow(QStringLiteral("calm down:"), SpinEdit2);
  settings->addRow(CheckBox2);
  settings->addRow(QStringLiteral("error limit:"), Edit11);
  IterationsUsed = new QLabel(GroupBox2);
  IterationsUsed->setWordWrap(true);
  IterationsUsed->setToolTip(QStringLiteral("the counts are rounded up to whole AB-sequences"));
  IterationsUsed->hide();
  settings->addRow(IterationsUsed);
  CheckBoxFastTrig = new QCheckBox(QStringLiteral("fast maths"), GroupBox2);
  CheckBoxFastTrig->setToolTip(
      QStringLiteral("fixed formulas 2-6: sine and cosine from a vector library; user formulas: computed in vector "
                     "lanes in double precision; several times faster. Stable pixels keep their exponents, chaotic "
                     "orbits differ slightly (not stored in the project; a run keeps the setting it started with)"));
  settings->addRow(CheckBoxFastTrig);
  column->addWidget(GroupBox2);
  column->addStretch(1);
  return ScrollingPage(page);
}

QWidget* TMDIChild::BuildCoordinatesPage() {
  auto* page = new QWidget;
  auto* column = new QVBoxLayout(page);
  column->setContentsMargins(4, 4, 4, 4);

  auto* center = new QGroupBox(QStringLiteral("center:"), page);
  auto* centerForm = new QFormLayout(center);
  Edit3 = MakeEdit(center, QStringLiteral("3,959"));
  Edit4 = MakeEdit(center, QStringLiteral("1,189"));
  centerForm->addRow(QStringLiteral("X:"), Edit3);
  centerForm->addRow(QStringLiteral("Y:"), Edit4);
  column->addWidget(center);

  auto* extent = new QFormLayout;
  Edit6 = MakeEdit(page, QStringLiteral("0,0132"));
  Edit7 = MakeEdit(page, QStringLiteral("0,0105"));
  extent->addRow(QStringLiteral("width:"), Edit6);
  extent->addRow(QStringLiteral("height:"), Edit7);
  column->addLayout(extent);

  column->addWidget(new QLabel(QStringLiteral("orientation (rotated angle in degrees):"), page));
  Edit5 = MakeEdit(page, QStringLiteral("0"));
  column->addWidget(Edit5);

  auto* size = new QGroupBox(QStringLiteral("picturesize"), page);
  auto* sizeGrid = new QGridLayout(size);
  SpinEdit3 = MakeSpinEdit(size, 10, 100000, 100, 194);
  SpinEdit4 = MakeSpinEdit(size, 10, 100000, 100, 154);
  CheckBox3 = new QCheckBox(QStringLiteral("adjust ratio"), size);
  CheckBox3->setChecked(true);
  Button11 = new QPushButton(QStringLiteral("use settings"), size);
  sizeGrid->addWidget(new QLabel(QStringLiteral("X:"), size), 0, 0);
  sizeGrid->addWidget(SpinEdit3, 0, 1);
  sizeGrid->addWidget(new QLabel(QStringLiteral("Y:"), size), 1, 0);
  sizeGrid->addWidget(SpinEdit4, 1, 1);
  sizeGrid->addWidget(CheckBox3, 0, 2);
  sizeGrid->addWidget(Button11, 1, 2);
  sizeGrid->setColumnStretch(1, 1);
  column->addWidget(size);

  CoordinatesError = new QLabel(page);
  CoordinatesError->setWordWrap(true);
  CoordinatesError->setStyleSheet(QStringLiteral("color: #b00000"));
  CoordinatesError->hide();
  column->addWidget(CoordinatesError);
  column->addStretch(1);
  return ScrollingPage(page);
}

QWidget* TMDIChild::BuildCalculationPage() {
  auto* page = new QWidget;
  auto* column = new QVBoxLayout(page);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  auto* bar = new QToolBar(page);
  bar->setIconSize(QSize(20, 20));
  ToolButton7 = MakeToolButton(bar, Glyph::NewPicture, QStringLiteral("initialize picture and apply adjustments"));
  ToolButton13 = MakeToolButton(bar, Glyph::Apply, QStringLiteral("apply selected adjustments"));
  ToolButton9 = MakeToolButton(bar, Glyph::Reset, QStringLiteral("reset adjustments to state of last initialization"));
  ToolButton4 = MakeToolButton(bar, Glyph::Coordinates, QStringLiteral("change coordinates"));
  bar->addSeparator();
  ToolButton14 = MakeToolButton(bar, Glyph::Area, QStringLiteral("continue iteration in selected area"));
  ToolButton14->setCheckable(true);
  ToolButton2 = MakeToolButton(bar, Glyph::Start, QStringLiteral("start"));
  ToolButton10 = MakeToolButton(bar, Glyph::Stop, QStringLiteral("stop (all data is lost!!!)"));
  ProgressBar1 = new QProgressBar(bar);
  ProgressBar1->setRange(0, 10000);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);
  ProgressBar1->setMinimumWidth(60);
  ProgressBar1->setMaximumHeight(16);
  bar->addWidget(ProgressBar1);
  ToolButton3 = MakeToolButton(bar, Glyph::Save, QStringLiteral("save picture as BMP/JPG"));
  ToolButton12 = MakeToolButton(bar, Glyph::Histogram, QStringLiteral("show histogram"));
  column->addWidget(bar);

  ScrollBox1 = new QScrollArea(page);
  ScrollBox1->setBackgroundRole(QPalette::Dark);
  Image1 = new TPictureView;
  Image1->setCursor(Qt::ForbiddenCursor);
  Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  ScrollBox1->setWidget(Image1);
  Shape3 = new QWidget(Image1);
  Shape3->setStyleSheet(QStringLiteral("border: 1px solid white; background: transparent"));
  Shape3->hide();
  column->addWidget(ScrollBox1, 1);

  StatusBar1 = new QStatusBar(page);
  StatusBar1->setSizeGripEnabled(false);
  column->addWidget(StatusBar1);

  Timer1 = new QTimer(this);
  Timer1->setInterval(2000);

  // At creation only "initialize" is available.
  for (QToolButton* b :
       {ToolButton13, ToolButton9, ToolButton4, ToolButton14, ToolButton2, ToolButton10, ToolButton3, ToolButton12})
    b->setEnabled(false);
  return page;
}

void TMDIChild::SetToolButton2Image(int index) {
  static const Glyph glyphs[3] = {Glyph::Start, Glyph::Pause, Glyph::Continue};
  if (index < 0 || index > 2) return;
  toolButton2Image_ = index;
  ToolButton2->setIcon(ToolIcon(glyphs[index]));
}

}  // namespace vantorel::gui
