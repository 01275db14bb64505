#include "app/gui/FocusedWheel.h"

#include <QEvent>
#include <QWidget>

namespace vantorel::gui {

namespace {

class WheelFilter final : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Wheel) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->hasFocus()) return false;
    event->ignore();  // the window under it may scroll instead
    return true;
  }
};

}  // namespace

void TakeWheelOnlyWhenFocused(QWidget* widget) {
  widget->setFocusPolicy(Qt::StrongFocus);
  widget->installEventFilter(new WheelFilter(widget));
}

}  // namespace vantorel::gui
