#include "app/gui/QtDispatcher.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace vantorel::gui {

void QtDispatcher::Post(std::function<void()> fn) {
  QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(fn), Qt::QueuedConnection);
}

}  // namespace vantorel::gui
