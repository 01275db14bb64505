// Where the formula code says what went wrong. The desktop program shows each message in a
// message box; the renderer prints it; tests collect it.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace vantorel {

class IMessageSink {
 public:
  virtual ~IMessageSink() = default;
  // One message, lines separated by a carriage return.
  virtual void Show(const std::string& text) = 0;
};

// Keeps every message in order.
class CollectingMessageSink final : public IMessageSink {
 public:
  void Show(const std::string& text) override { Messages.push_back(text); }
  std::vector<std::string> Messages;
};

// Hands every message to a function.
class FunctionMessageSink final : public IMessageSink {
 public:
  explicit FunctionMessageSink(std::function<void(const std::string&)> fn) : fn_(std::move(fn)) {}
  void Show(const std::string& text) override { fn_(text); }

 private:
  std::function<void(const std::string&)> fn_;
};

}  // namespace vantorel
