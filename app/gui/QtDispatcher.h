// Runs work handed over by the computation threads on the user-interface thread, through the
// Qt event loop.
#pragma once

#include "core/RechenThread.h"

namespace vantorel::gui {

class QtDispatcher final : public IUiDispatcher {
 public:
  // Queues fn to the application's event loop; it runs on the thread of the application
  // object, in the order posted. Never runs fn before returning.
  void Post(std::function<void()> fn) override;
};

}  // namespace vantorel::gui
