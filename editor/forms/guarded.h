// Code that the event loop calls (slots, timers, bus members, paint code) runs through Guarded: an
// exception that leaves it is shown to the user and the program goes on. Qt's own libraries carry
// no unwind tables, so no exception may travel back into them.
#pragma once

#include <QApplication>
#include <QString>

#include <exception>
#include <type_traits>
#include <utility>

namespace movinta::editor {

// Tells the user about an exception that reached the edge of the editor's code: the text goes to
// stderr at once and into an error message (ShowMessage) queued for the event loop, one per distinct
// text while it is up.
void ReportEscapedException(const QString& text) noexcept;
// The same for the exception being handled; call it only inside a catch block.
void ReportCurrentException() noexcept;

// The same for an exception that left part of a paint: the box comes once per distinct text for the
// program's life, since what cannot be drawn fails again at every repaint.
void ReportPaintException() noexcept;

// Runs part of a paintEvent: what throws is left undrawn and reported, the rest is drawn.
template <typename F>
void PaintGuarded(F&& fn) noexcept {
  try {
    fn();
  } catch (...) {
    ReportPaintException();
  }
}

// How many guarded calls of the event being delivered are running; an event delivered inside a
// nested event loop starts again from none (see TMovintaApplication). Code that hands out objects
// to outside callers throws to them only while one is running: otherwise nothing would catch it.
int GuardedDepth() noexcept;

// Counts one guarded call for as long as it lives.
class GuardedScope {
public:
  GuardedScope() noexcept;
  ~GuardedScope();
  GuardedScope(const GuardedScope&) = delete;
  GuardedScope& operator=(const GuardedScope&) = delete;
};

template <typename F>
class GuardedCall {
public:
  explicit GuardedCall(F fn) : fn_(std::move(fn)) {}

  template <typename... A>
  auto operator()(A&&... args) const noexcept -> decltype(void(std::declval<F&>()(std::forward<A>(args)...))) {
    try {
      GuardedScope scope;
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

template <typename T, typename R, typename C, typename... A>
auto Guarded(T* object, R (C::*member)(A...) const) {
  return Guarded([object, member](A... args) { (object->*member)(std::forward<A>(args)...); });
}

// The program's application object. Every event goes through notify, the last place an exception
// can be caught before it reaches the event loop; it is reported there and the event counts as not
// handled. Code that runs before a nested event loop has its guarded calls set aside meanwhile.
// While it delivers a paint, nothing pumps events (BusyScope::Painting).
class TMovintaApplication : public QApplication {
public:
  TMovintaApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace movinta::editor
