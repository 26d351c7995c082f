// Code that the event loop calls (slots, timers, bus members, paint code) runs through Guarded: an
// exception that leaves it is shown to the user and the program goes on. Qt's own libraries carry
// no unwind tables, so no exception may travel back into them.
#pragma once

#include <QString>

#include <exception>
#include <type_traits>
#include <utility>

namespace movinta::editor {

// Tells the user about an exception that reached the edge of the editor's code: the text goes to
// stderr at once and into a message box queued for the event loop, one box per distinct text while
// that box is up.
void ReportEscapedException(const QString& text) noexcept;
// The same for the exception being handled; call it only inside a catch block.
void ReportCurrentException() noexcept;

template <typename F>
class GuardedCall {
public:
  explicit GuardedCall(F fn) : fn_(std::move(fn)) {}

  template <typename... A>
  auto operator()(A&&... args) const noexcept -> decltype(void(std::declval<F&>()(std::forward<A>(args)...))) {
    try {
      fn_(std::forward<A>(args)...);
    } catch (...) {
      ReportCurrentException();
    }
  }

private:
  mutable F fn_;
};

// Wraps a callable for connect(), QTimer::singleShot() and the like.
template <typename F>
GuardedCall<std::decay_t<F>> Guarded(F&& fn) {
  return GuardedCall<std::decay_t<F>>(std::forward<F>(fn));
}

// Wraps a member function of an object for connect(): Guarded(this, &TfrmMain::TimerTimer).
template <typename T, typename R, typename C, typename... A>
auto Guarded(T* object, R (C::*member)(A...)) {
  return Guarded([object, member](A... args) { (object->*member)(std::forward<A>(args)...); });
}

}  // namespace movinta::editor
