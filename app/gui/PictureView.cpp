#include "app/gui/PictureView.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace vantorel::gui {

namespace {

constexpr double kSmallest = 0.25, kLargest = 8;

}  // namespace

TPictureView::TPictureView(QWidget* parent) : QLabel(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(false);
  ZoomMenu = new QMenu(QStringLiteral("zoom"), this);
  ZoomMenu->setObjectName(QStringLiteral("ZoomMenu"));
  auto add = [this](const QString& text, std::function<void()> fn, QKeySequence keys = {}) {
    QAction* a = ZoomMenu->addAction(text);
    if (!keys.isEmpty()) {
      a->setShortcut(keys);
      a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    }
    connect(a, &QAction::triggered, this, fn);
    return a;
  };
  add(
      QStringLiteral("zoom in"), [this] { ZoomIn(); }, QKeySequence(Qt::CTRL | Qt::Key_Plus));
  add(
      QStringLiteral("zoom out"), [this] { ZoomOut(); }, QKeySequence(Qt::CTRL | Qt::Key_Minus));
  add(QStringLiteral("fit to window"), [this] { SetZoomMode(ZoomMode::Fit); });
  add(
      QStringLiteral("1:1"), [this] { SetZoom(1); }, QKeySequence(Qt::CTRL | Qt::Key_0));
  ZoomMenu->addSeparator();
  for (int level : kLevels) add(QStringLiteral("%1 %").arg(level), [this, level] { SetZoom(level / 100.0); });
}

QScrollArea* TPictureView::Area() const {
  QWidget* viewport = parentWidget();
  return viewport ? qobject_cast<QScrollArea*>(viewport->parentWidget()) : nullptr;
}

void TPictureView::SetImage(const QImage* image) {
  image_ = image;
  Relayout();
}

QSize TPictureView::sizeHint() const {
  if (!image_ || image_->isNull()) return {0, 0};
  const double s = Scale();
  return {int(std::ceil(image_->width() * s)), int(std::ceil(image_->height() * s))};
}

double TPictureView::Scale() const {
  const double ratio = devicePixelRatioF();
  if (mode_ == ZoomMode::Fixed || !image_ || image_->isNull()) return zoom_ / ratio;
  const QScrollArea* area = Area();
  if (!area) return 1 / ratio;
  const QSize room = area->maximumViewportSize();
  const double fit = std::min(double(room.width()) / image_->width(), double(room.height()) / image_->height());
  if (mode_ == ZoomMode::Auto) return std::min(fit, 1 / ratio);
  return std::clamp(fit, kSmallest / ratio, kLargest / ratio);
}

void TPictureView::SetZoom(double zoom) {
  mode_ = ZoomMode::Fixed;
  zoom_ = std::clamp(zoom, kSmallest, kLargest);
  Relayout();
}

void TPictureView::SetZoomMode(ZoomMode mode) {
  if (mode == ZoomMode::Fixed) {
    SetZoom(zoom_);
    return;
  }
  mode_ = mode;
  Relayout();
}

void TPictureView::ZoomIn() {
  const double now = Scale() * devicePixelRatioF() * 100;
  for (int level : kLevels)
    if (level > now + 0.5) return SetZoom(level / 100.0);
  SetZoom(kLargest);
}

void TPictureView::ZoomOut() {
  const double now = Scale() * devicePixelRatioF() * 100;
  for (auto it = std::rbegin(kLevels); it != std::rend(kLevels); ++it)
    if (*it < now - 0.5) return SetZoom(*it / 100.0);
  SetZoom(kSmallest);
}

void TPictureView::Relayout() {
  if (QScrollArea* area = Area(); area && watched_ != area->viewport()) {
    watched_ = area->viewport();
    watched_->installEventFilter(this);
    // The zoom keys work anywhere in the picture's area.
    for (QAction* a : ZoomMenu->actions())
      if (!a->shortcut().isEmpty()) area->addAction(a);
  }
  setFixedSize(sizeHint());
  update();
}

bool TPictureView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == watched_ && event->type() == QEvent::Resize && mode_ != ZoomMode::Fixed) {
    const QSize want = sizeHint();
    if (want != size()) {
      setFixedSize(want);
      update();
    }
  }
  return QLabel::eventFilter(watched, event);
}

QPoint TPictureView::ToPicture(QPointF p) const {
  const double s = Scale();
  if (s == 1) return p.toPoint();
  return {int(std::floor(p.x() / s)), int(std::floor(p.y() / s))};
}

QRect TPictureView::ToWidget(const QRect& r) const {
  const double s = Scale();
  if (s == 1) return r;
  return QRectF(r.x() * s, r.y() * s, r.width() * s, r.height() * s).toAlignedRect();
}

void TPictureView::UpdateRows(int first, int end) {
  if (image_ && end > first) update(ToWidget(QRect(0, first, image_->width(), end - first)));
}

void TPictureView::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect r = event->rect();
  if (!image_ || image_->isNull()) {
    painter.fillRect(r, palette().dark());
    return;
  }
  const double s = Scale();
  if (s == 1) {
    painter.drawImage(r.topLeft(), *image_, r);
    return;
  }
  // The picture pixels behind the rectangle, drawn at device pixels: enlarged pixels stay
  // sharp, reduced pictures are smoothed.
  const QRect source = QRectF(r.x() / s, r.y() / s, r.width() / s, r.height() / s).toAlignedRect() & image_->rect();
  painter.setRenderHint(QPainter::SmoothPixmapTransform, s * devicePixelRatioF() < 1);
  painter.drawImage(QRectF(source.x() * s, source.y() * s, source.width() * s, source.height() * s), *image_, source);
}

void TPictureView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && MouseDown) MouseDown(ToPicture(event->position()));
}

void TPictureView::mouseMoveEvent(QMouseEvent* event) {
  if (MouseMove) MouseMove(ToPicture(event->position()));
}

void TPictureView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && MouseUp) MouseUp(ToPicture(event->position()));
}

void TPictureView::wheelEvent(QWheelEvent* event) {
  if (!(event->modifiers() & Qt::ControlModifier)) {
    QLabel::wheelEvent(event);  // scrolls the area
    return;
  }
  const int delta = event->angleDelta().y() != 0 ? event->angleDelta().y() : event->pixelDelta().y();
  if (delta == 0) return;
  // The picture pixel under the cursor stays under it.
  const QPointF at = event->position();
  const double before = Scale();
  const QPointF picture(at.x() / before, at.y() / before);
  delta > 0 ? ZoomIn() : ZoomOut();
  if (QScrollArea* area = Area()) {
    const double after = Scale();
    area->horizontalScrollBar()->setValue(area->horizontalScrollBar()->value() +
                                          int(std::lround(picture.x() * (after - before))));
    area->verticalScrollBar()->setValue(area->verticalScrollBar()->value() +
                                        int(std::lround(picture.y() * (after - before))));
  }
  event->accept();
}

void TPictureView::contextMenuEvent(QContextMenuEvent* event) {
  ZoomMenu->popup(event->globalPos());
  event->accept();
}

}  // namespace vantorel::gui
