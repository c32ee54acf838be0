// The conventions every command table follows: reading arguments by position, writing the result
// code and output values, and handing deferred work to the host's core thread.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "json_items.h"
#include "kv/kv_client.h"

namespace corvel_client {

// Truncation toward zero to int32; NaN reads as 0 and values outside the int32 range saturate, so
// no argument can make the conversion undefined.
inline int32_t TruncateToInt32(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

// Argument readers, by position in `args`. A missing item or one of another type reads as false,
// 0 or null; none of them faults. Inline: every command reads its arguments through them.
inline bool ArgBool(const corvel_client_win::MessageFromCpp& message, int index) {
  return BoolAt(message.args, index);
}
inline double ArgNumber(const corvel_client_win::MessageFromCpp& message, int index) {
  return NumberAt(message.args, index);
}
// The number truncated toward zero to int32, as TruncateToInt32.
inline int32_t ArgInt(const corvel_client_win::MessageFromCpp& message, int index) {
  return TruncateToInt32(ArgNumber(message, index));
}
// The text, owned by the record, or null when the item is not a string.
inline const char* ArgText(const corvel_client_win::MessageFromCpp& message, int index) {
  return TextAt(message.args, index);
}
// The text, or an empty text when the item is not a string.
std::string ArgString(const corvel_client_win::MessageFromCpp& message, int index);

// Result packing. WriteResultCode appends the code and sets resultCount to 1; the Append*
// functions add one output value and raise resultCount. A value that cannot be allocated is
// dropped and not counted (a dropped code leaves resultCount 0).
void WriteResultCode(corvel_client_win::MessageFromCpp& message, int32_t code);
void AppendResultNumber(corvel_client_win::MessageFromCpp& message, double value);
void AppendResultBool(corvel_client_win::MessageFromCpp& message, bool value);
void AppendResultStrings(corvel_client_win::MessageFromCpp& message,
                         const std::vector<std::string>& values);

// The record's result as it was before a command ran (RunContained).
struct ResultMark {
  int32_t count;
  int items;
};
inline ResultMark MarkResult(const corvel_client_win::MessageFromCpp& message) {
  return {message.resultCount, ItemCount(message.result)};
}
// Takes back what the command appended after `mark` and, when `answers`, writes the code -1.
void FailCommand(corvel_client_win::MessageFromCpp& message, const ResultMark& mark, bool answers);

// Runs one command of a table so that no exception reaches the host (only allocation raises
// any): when `command` throws, whatever it appended to `result` is taken back and the command
// answers as the table's failed commands do, with the code -1, or with nothing at all when it is
// one that never answers (`answers` false).
template <class Command>
void RunContained(corvel_client_win::MessageFromCpp& message, bool answers, Command command) {
  const ResultMark mark = MarkResult(message);
  try {
    command();
  } catch (...) {
    FailCommand(message, mark, answers);
  }
}

}  // namespace corvel_client

namespace corvel {

// A deferred member-function call: Run calls target->method(args...) on the host's core thread,
// ignores the result and drops one reference; the last reference deletes the handler.
template <class Target, class Method, class Args>
class DispatchHanler final : public IDispatchHanler {
 public:
  DispatchHanler(Target* target, Method method, Args args)
      : target_(target), method_(method), args_(std::move(args)) {}

  void Run() override {
    std::apply([this](auto&... values) { (target_->*method_)(values...); }, args_);
    if (refCount.fetch_sub(1) == 1) delete this;
  }

 private:
  Target* target_;
  Method method_;
  Args args_;
};

// Queues target->method(args...) on the host's core thread through `dispatcher`. When the handler
// cannot be allocated, Dispatch is called with null and false is returned: the arguments were not
// taken over and stay the caller's to free.
template <class Target, class Method, class... Values>
bool DispatchCall(ICoreDispatcher* dispatcher, Target* target, Method method, Values... values) {
  using Args = std::tuple<Values...>;
  auto* handler = new (std::nothrow)
      DispatchHanler<Target, Method, Args>(target, method, Args(std::move(values)...));
  if (handler != nullptr) {
    handler->refCount.store(0);
    handler->refCount.fetch_add(1);
  }
  if (dispatcher != nullptr) dispatcher->Dispatch(handler);
  if (handler != nullptr && dispatcher == nullptr) {
    delete handler;  // no core thread to run it: the arguments stay the caller's
    return false;
  }
  return handler != nullptr;
}

}  // namespace corvel
