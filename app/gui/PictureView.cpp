#include "app/gui/PictureView.h"

#include <QMouseEvent>
#include <QPainter>

namespace vantorel::gui {

TPictureView::TPictureView(QWidget* parent) : QLabel(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(false);
}

void TPictureView::SetImage(const QImage* image) {
  image_ = image;
  const QSize size = image_ && !image_->isNull() ? image_->size() : QSize(0, 0);
  setFixedSize(size);
  update();
}

QSize TPictureView::sizeHint() const { return image_ ? image_->size() : QSize(0, 0); }

void TPictureView::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect r = event->rect();
  if (!image_ || image_->isNull()) {
    painter.fillRect(r, palette().dark());
    return;
  }
  painter.drawImage(r.topLeft(), *image_, r);
}

void TPictureView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && MouseDown) MouseDown(event->position().toPoint());
}

void TPictureView::mouseMoveEvent(QMouseEvent* event) {
  if (MouseMove) MouseMove(event->position().toPoint());
}

void TPictureView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && MouseUp) MouseUp(event->position().toPoint());
}

}  // namespace vantorel::gui
