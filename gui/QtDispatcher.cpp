#include "gui/QtDispatcher.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

namespace vantorel::gui {

namespace {
const QEvent::Type kRunEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
}

class QtDispatcher::Receiver final : public QObject {
 public:
  explicit Receiver(QtDispatcher& owner) : owner_(owner) {}
  // Only the dispatcher's own events reach this object (no children, timers or queued
  // slots), so the event is not looked at: the worker thread wrote it outside any lock the
  // thread sanitizer can see. An extra event would only find the queue empty or run the next
  // work early, in order.
  bool event(QEvent*) override {
    owner_.RunOne();
    return true;
  }

 private:
  QtDispatcher& owner_;
};

QtDispatcher::QtDispatcher() : receiver_(std::make_unique<Receiver>(*this)) {}

QtDispatcher::~QtDispatcher() = default;  // the receiver's pending events go with it

void QtDispatcher::Post(std::function<void()> fn) {
  {
    std::lock_guard lk(mu_);
    queue_.push_back(std::move(fn));
  }
  QCoreApplication::postEvent(receiver_.get(), new QEvent(kRunEvent));
}

void QtDispatcher::RunOne() {
  std::function<void()> fn;
  {
    std::lock_guard lk(mu_);
    if (queue_.empty()) return;
    fn = std::move(queue_.front());
    queue_.pop_front();
  }
  fn();
}

}  // namespace vantorel::gui
