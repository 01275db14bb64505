#include "gui/WheelGuard.h"

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>

#include "gui/RadioGroup.h"

namespace vantorel::gui {

namespace {

bool Guarded(const QWidget* w) {
  return qobject_cast<const QAbstractSpinBox*>(w) || qobject_cast<const QComboBox*>(w) ||
         qobject_cast<const TRadioGroup*>(w) ||
         (qobject_cast<const QAbstractSlider*>(w) && !qobject_cast<const QScrollBar*>(w));
}

class WheelFilter final : public QObject {
 public:
  static WheelFilter& Instance() {
    static QPointer<WheelFilter> filter;  // lives as long as the application
    if (!filter) filter = new WheelFilter(qApp);
    return *filter;
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Wheel || !watched->isWidgetType()) return false;
    auto* control = static_cast<QWidget*>(watched);
    const QWidget* focus = QApplication::focusWidget();
    if (focus && (focus == control || control->isAncestorOf(focus))) return false;
    PassOn(control, *static_cast<QWheelEvent*>(event));
    event->accept();
    return true;
  }

 private:
  using QObject::QObject;

  static void PassOn(QWidget* control, const QWheelEvent& wheel) {
    for (QWidget* w = control->parentWidget(); w; w = w->parentWidget()) {
      auto* area = qobject_cast<QAbstractScrollArea*>(w);
      if (!area) continue;
      if (auto* box = qobject_cast<QScrollArea*>(area); box && box->widget() == control) continue;
      QWidget* viewport = area->viewport();
      QWheelEvent copy(viewport->mapFromGlobal(wheel.globalPosition()), wheel.globalPosition(), wheel.pixelDelta(),
                       wheel.angleDelta(), wheel.buttons(), wheel.modifiers(), wheel.phase(), wheel.inverted(),
                       wheel.source());
      copy.ignore();
      QCoreApplication::sendEvent(viewport, &copy);
      if (copy.isAccepted()) return;  // scrolled; an area at its end lets the next one try
    }
  }
};

void Guard(QWidget* w) {
  if (!Guarded(w) || w->property("vantorelWheelGuard").toBool()) return;
  w->setProperty("vantorelWheelGuard", true);
  if (w->focusPolicy() == Qt::WheelFocus) w->setFocusPolicy(Qt::StrongFocus);
  w->installEventFilter(&WheelFilter::Instance());
}

}  // namespace

void GuardWheel(QWidget* root) {
  Guard(root);
  for (QWidget* w : root->findChildren<QWidget*>()) Guard(w);
}

}  // namespace vantorel::gui
