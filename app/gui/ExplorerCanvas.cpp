// The explorer's picture area: drawing at device pixels and the mouse, wheel and keys.
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <cmath>

#include "app/gui/Explorer.h"

namespace vantorel::gui {

namespace {

constexpr double kNotchZoom = 1.25;
constexpr double kNotchTurn = 5.0 * kPi / 180.0;  // Ctrl+wheel: 5 degrees a notch
constexpr double kPixelsPerNotch = 60.0;          // touchpads: pixels of scrolling a notch

}  // namespace

TExplorerCanvas::TExplorerCanvas(TExplorer& explorer) : QWidget(&explorer), explorer_(explorer) {
  setObjectName(QStringLiteral("ExplorerCanvas"));
  setAccessibleName(QStringLiteral("explorer picture"));
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setCursor(Qt::CrossCursor);
  setMinimumSize(64, 48);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

PixelPoint TExplorerCanvas::DevicePoint(QPointF p) const {
  const double ratio = devicePixelRatioF();
  return {p.x() * ratio, p.y() * ratio};
}

QSize TExplorerCanvas::DeviceSize() const {
  const double ratio = devicePixelRatioF();
  return {std::max(1, int(std::lround(width() * ratio))), std::max(1, int(std::lround(height() * ratio)))};
}

void TExplorerCanvas::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  const QImage& image = explorer_.Image();
  if (!image.isNull()) {
    // The picture of the view it was computed for, mapped onto the view shown (moved, scaled
    // and turned until a pass of this view arrives), in device pixels.
    const auto m = explorer_.ImageView().PixelMapTo(explorer_.ShownView());
    const double r = devicePixelRatioF();
    const QTransform toDevice(m[0], m[3], m[1], m[4], m[2], m[5]);
    painter.setTransform(toDevice * QTransform::fromScale(1 / r, 1 / r));
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);  // fast enough for every frame
    painter.drawImage(QPointF(0, 0), image);
    painter.resetTransform();
  }
  if (drag_ == Drag::Band) {
    painter.setPen(QPen(Qt::white, 1, Qt::DashLine));
    painter.drawRect(QRectF(pressed_, last_).normalized());
  }
}

void TExplorerCanvas::resizeEvent(QResizeEvent*) {
  const QSize s = DeviceSize();
  explorer_.CanvasResized(s.width(), s.height());
}

void TExplorerCanvas::wheelEvent(QWheelEvent* event) {
  double notches;
  if (!event->pixelDelta().isNull()) {
    const QPoint d = event->pixelDelta();
    notches = (std::abs(d.y()) >= std::abs(d.x()) ? d.y() : d.x()) / kPixelsPerNotch;
  } else {
    const QPoint d = event->angleDelta();
    notches = (d.y() != 0 ? d.y() : d.x()) / 120.0;
  }
  event->accept();
  if (notches == 0) return;
  const PixelPoint at = DevicePoint(event->position());
  if (event->modifiers() & Qt::ControlModifier)
    explorer_.TurnAt(at, notches * kNotchTurn);
  else
    explorer_.ZoomAt(at, std::pow(kNotchZoom, notches));
}

void TExplorerCanvas::mousePressEvent(QMouseEvent* event) {
  pressed_ = last_ = event->position();
  if (event->button() == Qt::RightButton ||
      (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier)))
    drag_ = Drag::Band;
  else if (event->button() == Qt::LeftButton)
    drag_ = Drag::Pan;
  if (drag_ == Drag::Pan) setCursor(Qt::ClosedHandCursor);
}

void TExplorerCanvas::mouseMoveEvent(QMouseEvent* event) {
  const QPointF p = event->position();
  explorer_.CursorAt(DevicePoint(p));
  if (drag_ == Drag::Pan) {
    const PixelPoint d = DevicePoint(p - last_);
    last_ = p;
    explorer_.PanBy(d.X, d.Y, false);
  } else if (drag_ == Drag::Band) {
    last_ = p;
    update();
  }
}

void TExplorerCanvas::mouseReleaseEvent(QMouseEvent* event) {
  const QPointF p = event->position();
  if (drag_ == Drag::Pan) {
    const PixelPoint d = DevicePoint(p - last_);
    explorer_.PanBy(d.X, d.Y, true);
  } else if (drag_ == Drag::Band) {
    drag_ = Drag::None;
    explorer_.ZoomToRectangle(DevicePoint(pressed_), DevicePoint(p));
    update();
  }
  drag_ = Drag::None;
  setCursor(Qt::CrossCursor);
}

void TExplorerCanvas::leaveEvent(QEvent*) { explorer_.CursorAt(std::nullopt); }

void TExplorerCanvas::keyPressEvent(QKeyEvent* event) {
  const ExplorerView& v = explorer_.View();
  const PixelPoint centre{v.PixelWidth() / 2.0, v.PixelHeight() / 2.0};
  const double stepX = v.PixelWidth() / 10.0, stepY = v.PixelHeight() / 10.0;
  if (event->modifiers() & Qt::AltModifier) {
    QWidget::keyPressEvent(event);
    return;
  }
  switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal: explorer_.ZoomAt(centre, kNotchZoom); break;
    case Qt::Key_Minus: explorer_.ZoomAt(centre, 1 / kNotchZoom); break;
    case Qt::Key_Left: explorer_.PanBy(stepX, 0, true); break;
    case Qt::Key_Right: explorer_.PanBy(-stepX, 0, true); break;
    case Qt::Key_Up: explorer_.PanBy(0, stepY, true); break;
    case Qt::Key_Down: explorer_.PanBy(0, -stepY, true); break;
    case Qt::Key_Home: explorer_.GoHome(); break;
    default: QWidget::keyPressEvent(event); return;
  }
  event->accept();
}

}  // namespace vantorel::gui
