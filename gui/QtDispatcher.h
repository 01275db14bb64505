// Runs work handed over by the computation threads on the user-interface thread, through the
// Qt event loop.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "core/RechenThread.h"

class QObject;

namespace vantorel::gui {

class QtDispatcher final : public IUiDispatcher {
 public:
  // Create it on the user-interface thread.
  QtDispatcher();
  ~QtDispatcher() override;
  // Queues fn to the application's event loop; it runs on the thread that created the
  // dispatcher, in the order posted. Never runs fn before returning. The work itself passes
  // through a queue under the dispatcher's own lock (the event only wakes the loop), so that
  // the hand-over between the threads is visible to the thread sanitizer too.
  void Post(std::function<void()> fn) override;

 private:
  class Receiver;
  void RunOne();

  std::mutex mu_;
  std::deque<std::function<void()>> queue_;
  std::unique_ptr<Receiver> receiver_;
};

}  // namespace vantorel::gui
