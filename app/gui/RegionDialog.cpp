#include "app/gui/RegionDialog.h"

#include <QActionGroup>
#include <QButtonGroup>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QSlider>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>
#include <numbers>

#include "gui/WheelGuard.h"

namespace vantorel::gui {

namespace {

const char* const kFirstHint = "linke Maustaste: verschieben; rechte MT: größer/kleiner; mittlere MT: rotieren";
const char* const kSelectionHint = "left mousebutton: move; right mb: resize; middle mb: rotate";

QString Short(double v) { return QString::fromStdString(ShortNumberText(v)); }

// The picture area: shows the dialog's display and hands the mouse to the dialog.
class RegionImage final : public QWidget {
 public:
  RegionImage(TForm3& form, QWidget* parent) : QWidget(parent), form_(form) {
    setFixedSize(RegionView::kWidth, RegionView::kHeight);
    setAccessibleName(QStringLiteral("picture"));
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.drawImage(0, 0, form_.Display());
  }
  void mousePressEvent(QMouseEvent* e) override {
    form_.Image1MouseDown(e->button(), e->position().toPoint().x(), e->position().toPoint().y());
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    form_.Image1MouseMove(e->position().toPoint().x(), e->position().toPoint().y());
  }
  void mouseReleaseEvent(QMouseEvent*) override { form_.Image1MouseUp(); }

 private:
  TForm3& form_;
};

QIcon Glyph(char kind) {
  QPixmap pixmap(20, 20);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor dark(40, 40, 40), green(0, 140, 40), red(200, 30, 30), blue(30, 80, 200);
  switch (kind) {
    case 'y':
      p.setPen(QPen(green, 2.5));
      p.drawPolyline(QPolygonF({QPointF(3, 10), QPointF(8, 15), QPointF(17, 4)}));
      break;
    case 'n':
      p.setPen(QPen(red, 2.5));
      p.drawLine(4, 4, 16, 16);
      p.drawLine(16, 4, 4, 16);
      break;
    case 'm':
      p.setPen(QPen(blue, 2));
      p.drawLine(10, 2, 10, 18);
      p.drawLine(2, 10, 18, 10);
      break;
    case 'r':
      p.setPen(QPen(blue, 2));
      p.drawArc(QRectF(3, 3, 14, 14), 30 * 16, 280 * 16);
      break;
    case 's':
      p.setPen(QPen(blue, 2));
      p.drawRect(3, 6, 14, 8);
      p.drawLine(1, 10, 5, 10);
      p.drawLine(15, 10, 19, 10);
      break;
    case 'p':
      p.setPen(QPen(dark, 1.5));
      p.drawRect(2, 2, 16, 16);
      p.setPen(QPen(blue, 2));
      p.drawLine(6, 10, 14, 10);
      p.drawLine(10, 6, 10, 14);
      break;
    case '+':
      p.setPen(QPen(dark, 2));
      p.drawEllipse(QPointF(9, 9), 6, 6);
      p.drawLine(6, 9, 12, 9);
      p.drawLine(9, 6, 9, 12);
      p.drawLine(13, 13, 18, 18);
      break;
    case '-':
      p.setPen(QPen(dark, 2));
      p.drawEllipse(QPointF(9, 9), 6, 6);
      p.drawLine(6, 9, 12, 9);
      p.drawLine(13, 13, 18, 18);
      break;
    default:
      p.setPen(QPen(dark, 2));
      p.drawEllipse(QPointF(9, 9), 6, 6);
      p.drawText(QRectF(3, 3, 12, 12), Qt::AlignCenter, QStringLiteral("1"));
      p.drawLine(13, 13, 18, 18);
      break;
  }
  return QIcon(pixmap);
}

TForm3* g_instance = nullptr;

void DeleteInstance() {
  delete g_instance;
  g_instance = nullptr;
}

}  // namespace

TForm3::TForm3(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("choose new part of picture to calculate"));
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  auto* bar = new QToolBar(this);
  bar->setIconSize(QSize(20, 20));
  auto tool = [bar](char glyph, const QString& hint) {
    auto* b = new QToolButton(bar);
    b->setIcon(Glyph(glyph));
    b->setToolTip(hint);
    b->setAccessibleName(hint);
    b->setAutoRaise(true);
    bar->addWidget(b);
    return b;
  };
  ToolButton6 = tool('y', QStringLiteral("use changes (calculated date will be erased!!)"));
  ToolButton4 = tool('n', QStringLiteral("discard changes"));
  bar->addSeparator();
  ToolButton9 = tool('m', QStringLiteral("move selection"));
  ToolButton7 = tool('r', QStringLiteral("rotate selection"));
  ToolButton1 = tool('s', QStringLiteral("resize selection"));
  ToolButton11 = tool('p', QStringLiteral("move picture"));
  auto* modes = new QButtonGroup(this);
  for (QToolButton* b : {ToolButton9, ToolButton7, ToolButton1, ToolButton11}) {
    b->setCheckable(true);
    modes->addButton(b);
  }
  bar->addSeparator();
  ToolButton3 = tool('+', QStringLiteral("zoom in"));
  ToolButton5 = tool('-', QStringLiteral("zoom out"));
  ToolButton10 = tool('1', QStringLiteral("initial zoom"));
  bar->addSeparator();
  auto slider = [](Qt::Orientation o, const QString& name) {
    auto* s = new QSlider(o);
    s->setRange(-180, 180);
    s->setPageStep(10);
    s->setTickInterval(36);
    s->setTickPosition(QSlider::TicksBelow);
    GuardWheel(s);
    s->setAccessibleName(name);
    return s;
  };
  TrackBar1 = slider(Qt::Horizontal, QStringLiteral("horizontal"));
  TrackBar1->setMinimumWidth(200);
  bar->addWidget(TrackBar1);
  column->addWidget(bar);

  auto* middle = new QHBoxLayout;
  TrackBar2 = slider(Qt::Vertical, QStringLiteral("vertical"));
  TrackBar2->setInvertedAppearance(true);  // the top is -180, as the picture's y runs downwards
  middle->addWidget(TrackBar2);
  Image1 = new RegionImage(*this, this);
  middle->addWidget(Image1);
  column->addLayout(middle);

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setSizeGripEnabled(false);
  const int widths[3] = {220, 220, 50};
  for (int i = 0; i < 3; ++i) {
    Panels[i] = new QLabel(StatusBar1);
    Panels[i]->setMinimumWidth(widths[i]);
    StatusBar1->addWidget(Panels[i], i == 2 ? 1 : 0);
  }
  column->addWidget(StatusBar1);
  layout()->setSizeConstraint(QLayout::SetFixedSize);

  connect(ToolButton6, &QToolButton::clicked, this, [this] { ToolButton6Click(); });
  connect(ToolButton4, &QToolButton::clicked, this, [this] { ToolButton4Click(); });
  for (QToolButton* b : {ToolButton9, ToolButton7, ToolButton1, ToolButton11})
    connect(b, &QToolButton::clicked, this, [this, b] { ToolButton1Click(b); });
  connect(ToolButton3, &QToolButton::clicked, this, [this] { ToolButton3Click(); });
  connect(ToolButton5, &QToolButton::clicked, this, [this] { ToolButton5Click(); });
  connect(ToolButton10, &QToolButton::clicked, this, [this] { ToolButton10Click(); });
  connect(TrackBar1, &QSlider::valueChanged, this, [this] { TrackBar1Change(); });
  connect(TrackBar2, &QSlider::valueChanged, this, [this] { TrackBar2Change(); });
}

TForm3& TForm3::Instance() {
  if (!g_instance) {
    g_instance = new TForm3;
    qAddPostRoutine(DeleteInstance);
  }
  return *g_instance;
}

void TForm3::Prepare(const TCalcParams& block, const QImage& picture) {
  picture_ = picture;
  mode_ = 2;
  result_ = false;
  mouseDown_ = false;
  region_ = {block.CenterX, block.CenterY, block.Width, block.Height, block.Angle};
  selection_ = RegionSelection{};
  view_ = RegionView(picture.width(), picture.height(), region_);
  ToolButton9->setChecked(true);
  Image1->setToolTip(QString::fromUtf8(kFirstHint));
  settingTrackBars_ = true;
  TrackBar1->setValue(0);
  TrackBar2->setValue(0);
  TrackBar1->show();
  TrackBar2->show();
  settingTrackBars_ = false;
  ShowStatus();
  zeichnen();
  zeichneAuswahl();
}

bool TForm3::execute(const TCalcParams& block, const QImage& picture) {
  Prepare(block, picture);
  exec();
  picture_ = QImage();  // the project's picture is not kept
  return result_;
}

void TForm3::ShowStatus() {
  const RegionFrame r = SelectedRegion(region_, selection_);
  Panels[0]->setText(QStringLiteral("position: X=") + Short(r.CenterX) + QStringLiteral(" Y=") + Short(r.CenterY));
  Panels[1]->setText(QStringLiteral("size: X=") + Short(r.Width) + QStringLiteral(" Y=") + Short(r.Height));
  Panels[2]->setText(QStringLiteral("angle =") + Short(r.Angle * 180 / std::numbers::pi) + QStringLiteral("°"));
}

void TForm3::ToolButton6Click() {
  result_ = true;
  accept();
}

void TForm3::ToolButton4Click() {
  result_ = false;
  reject();
}

void TForm3::SetTrackBar(QSlider* bar, int position) {
  bar->setValue(position);  // runs the change handler when the position changes
}

void TForm3::ToolButton1Click(QToolButton* pressed) {
  pressed->setChecked(true);
  Image1->setToolTip(QString::fromLatin1(kSelectionHint));
  if (pressed == ToolButton1) {
    mode_ = 1;
    TrackBar1->show();
    TrackBar2->show();
    settingTrackBars_ = true;  // positions only: the values stay as they are
    SetTrackBar(TrackBar1, ResizeTrackBar1(selection_.Sx));
    SetTrackBar(TrackBar2, ResizeTrackBar2(selection_.Sy));
    settingTrackBars_ = false;
  } else if (pressed == ToolButton9) {
    mode_ = 2;
    TrackBar1->show();
    TrackBar2->show();
    settingTrackBars_ = true;
    SetTrackBar(TrackBar1, static_cast<int>(std::lround(180 * selection_.Dx / region_.Width)));
    SetTrackBar(TrackBar2, static_cast<int>(std::lround(180 * selection_.Dy / region_.Height)));
    settingTrackBars_ = false;
  } else if (pressed == ToolButton7) {
    mode_ = 3;
    TrackBar1->show();
    TrackBar2->hide();
    settingTrackBars_ = true;
    SetTrackBar(TrackBar1, static_cast<int>(std::lround(selection_.Rot * 180 / std::numbers::pi)));
    settingTrackBars_ = false;
  } else {
    mode_ = 4;
    TrackBar1->hide();
    TrackBar2->hide();
    Image1->setToolTip(QStringLiteral("any mousebutton to move"));
  }
}

void TForm3::TrackBar1Change() {
  if (settingTrackBars_) return;
  if (mode_ == 1)
    selection_.Sx = ScaleFromTrackBar1(TrackBar1->value());
  else if (mode_ == 2)
    selection_.Dx = TrackBar1->value() / 180.0 * region_.Width;
  else if (mode_ == 3)
    selection_.Rot = TrackBar1->value() * std::numbers::pi / 180;
  else
    return;
  zeichneAuswahl();
  ShowStatus();
}

void TForm3::TrackBar2Change() {
  if (settingTrackBars_) return;
  if (mode_ == 1)
    selection_.Sy = ScaleFromTrackBar2(TrackBar2->value());
  else if (mode_ == 2)
    selection_.Dy = TrackBar2->value() / 180.0 * region_.Height;
  else
    return;
  zeichneAuswahl();
  ShowStatus();
}

void TForm3::ToolButton3Click() {
  view_.ZoomIn();
  zeichnen();
  zeichneAuswahl();
}

void TForm3::ToolButton5Click() {
  view_.ZoomOut();
  zeichnen();
  zeichneAuswahl();
}

void TForm3::ToolButton10Click() {
  view_.InitialZoom();
  zeichnen();
  zeichneAuswahl();
}

void TForm3::zeichnen() {
  display_ = QImage(RegionView::kWidth, RegionView::kHeight, QImage::Format_RGB32);
  display_.fill(Qt::white);
  if (!picture_.isNull()) {
    QPainter p(&display_);
    if (view_.CopiesVisiblePart()) {
      const DisplayRect s = view_.Source();
      p.drawImage(QRect(0, 0, RegionView::kWidth, RegionView::kHeight), picture_,
                  QRect(QPoint(s.Left, s.Top), QPoint(s.Right - 1, s.Bottom - 1)));
    } else {
      const DisplayRect t = view_.Target();
      p.drawImage(QRect(QPoint(t.Left, t.Top), QPoint(t.Right - 1, t.Bottom - 1)), picture_);
    }
  }
  Image1->update();
}

void TForm3::zeichneAuswahl() {
  outline_ = view_.Outline(selection_);
  Image1->update();
}

QImage TForm3::Display() const {
  QImage frame = display_.isNull() ? QImage(RegionView::kWidth, RegionView::kHeight, QImage::Format_RGB32) : display_;
  QPainter p(&frame);
  // Black in not-xor mode: the outline inverts what lies under it, visible on any picture.
  p.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
  p.setPen(QPen(Qt::black, 2, Qt::DotLine));
  QPolygon polygon;
  for (const DisplayPoint& d : outline_) polygon << QPoint(d.X, d.Y);
  p.drawPolyline(polygon);
  return frame;
}

void TForm3::Image1MouseDown(Qt::MouseButton button, int x, int y) {
  mouseButton_ = button;
  lastX_ = x;
  lastY_ = y;
  dragDx_ = selection_.Dx;
  dragDy_ = selection_.Dy;
  dragRot_ = selection_.Rot;
  mouseDown_ = true;
}

void TForm3::Image1MouseUp() { mouseDown_ = false; }

void TForm3::Image1MouseMove(int x, int y) {
  if (!mouseDown_) return;
  const int dx = x - lastX_, dy = y - lastY_;
  lastX_ = x;
  lastY_ = y;
  if (mode_ == 4) {
    view_.MovePicture(dx, dy);
    zeichnen();
    zeichneAuswahl();
    return;
  }
  QToolButton* mode = mouseButton_ == Qt::RightButton    ? ToolButton1
                      : mouseButton_ == Qt::MiddleButton ? ToolButton7
                                                         : ToolButton9;
  ToolButton1Click(mode);
  if (mode == ToolButton9) {
    RegionSelection moved = selection_;
    moved.Dx = dragDx_;
    moved.Dy = dragDy_;
    view_.MoveSelection(moved, dx, dy);
    dragDx_ = moved.Dx;
    dragDy_ = moved.Dy;
    selection_.Dx = TrackBarStep(dragDx_, region_.Width);
    selection_.Dy = TrackBarStep(dragDy_, region_.Height);
  } else if (mode == ToolButton1) {
    settingTrackBars_ = true;
    TrackBar1->setValue(TrackBar1->value() + dx);
    TrackBar2->setValue(TrackBar2->value() + dy);
    settingTrackBars_ = false;
    selection_.Sx = std::clamp(ScaleFromTrackBar1(TrackBar1->value()), kMinSelectionScale, kMaxSelectionScale);
    selection_.Sy = std::clamp(ScaleFromTrackBar2(TrackBar2->value()), kMinSelectionScale, kMaxSelectionScale);
  } else {
    RegionSelection turned = selection_;
    turned.Rot = dragRot_;
    RegionView::RotateSelection(turned, dx);
    dragRot_ = turned.Rot;
    selection_.Rot = TrackBarStep(dragRot_, std::numbers::pi);
  }
  ToolButton1Click(mode);
  zeichneAuswahl();
  ShowStatus();
}

}  // namespace vantorel::gui
