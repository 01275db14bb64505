// Image1 of the "calculation" page: shows the project's picture at 1 : 1 straight from its
// bitmap (repainting only the rows that changed) and reports the mouse in picture coordinates.
#pragma once

#include <QImage>
#include <QLabel>
#include <functional>

namespace vantorel::gui {

class TPictureView : public QLabel {
  Q_OBJECT
 public:
  explicit TPictureView(QWidget* parent = nullptr);
  // The image shown; it must live as long as it is shown (nullptr shows nothing).
  void SetImage(const QImage* image);
  QSize sizeHint() const override;

  std::function<void(QPoint)> MouseDown, MouseMove, MouseUp;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  const QImage* image_ = nullptr;
};

}  // namespace vantorel::gui
