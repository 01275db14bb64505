#include "app/gui/QtDispatcher.h"

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
  bool event(QEvent* e) override {
    if (e->type() != kRunEvent) return QObject::event(e);
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
