// Image1 of the "calculation" page: shows the project's picture straight from its bitmap
// (repainting only the rows that changed) at a zoom of 25 % to 800 %, fitted to the window or
// 1 : 1, at the screen's device pixels (100 % is one picture pixel to one device pixel), and
// reports the mouse in picture coordinates. Ctrl+wheel, Ctrl++ and Ctrl+- step through the zoom
// levels, the context menu chooses one; by default a picture larger than the window is fitted
// into it and a smaller one is shown 1 : 1.
#pragma once

#include <QImage>
#include <QLabel>
#include <functional>

class QAction;
class QMenu;
class QScrollArea;

namespace vantorel::gui {

class TPictureView : public QLabel {
  Q_OBJECT
 public:
  // The zoom levels, in per cent.
  static constexpr int kLevels[] = {25, 33, 50, 67, 100, 150, 200, 300, 400, 600, 800};
  enum class ZoomMode { Auto, Fit, Fixed };

  explicit TPictureView(QWidget* parent = nullptr);
  // The image shown; it must live as long as it is shown (nullptr shows nothing).
  void SetImage(const QImage* image);
  QSize sizeHint() const override;

  // Fixed zoom (0,25 to 8, one picture pixel to zoom device pixels), fit to the window, or the
  // default (fit when larger, else 1 : 1).
  void SetZoom(double zoom);
  void SetZoomMode(ZoomMode mode);
  ZoomMode Mode() const { return mode_; }
  // The next level up or down from the scale in use.
  void ZoomIn();
  void ZoomOut();
  // Widget pixels per picture pixel now.
  double Scale() const;
  // Picture pixel under a widget point, and the widget rectangle covering picture pixels.
  QPoint ToPicture(QPointF widgetPoint) const;
  QRect ToWidget(const QRect& pictureRect) const;
  // Repaints picture rows first .. end - 1.
  void UpdateRows(int first, int end);

  QMenu* ZoomMenu = nullptr;  // "zoom": the levels, "fit to window", "1:1"

  std::function<void(QPoint)> MouseDown, MouseMove, MouseUp;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QScrollArea* Area() const;
  void Relayout();
  const QImage* image_ = nullptr;
  ZoomMode mode_ = ZoomMode::Auto;
  double zoom_ = 1;
  QObject* watched_ = nullptr;
};

}  // namespace vantorel::gui
