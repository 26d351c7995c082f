#include "editor/model/ui_services.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>

#include <algorithm>
#include <exception>
#include <memory>

namespace movinta::editor {

namespace {
IMessageRoutine* g_messages = nullptr;
IFileChooser* g_files = nullptr;
IProgress* g_progress = nullptr;
IClipboard* g_clipboard = nullptr;
int g_busyDepth = 0;
// Since the work began or last pumped.
QElapsedTimer g_sincePump;
bool g_pumping = false;
bool g_pumped = false;  // by the work now running
int g_paintDepth = 0;   // paint events being delivered, nested ones counted
int g_asideHeld = 0;
// Below this, work holds the window without it being noticed.
int g_pumpIntervalMs = 100;
IEditorView g_nullView;
IEditorView* g_view = nullptr;
}  // namespace

IEditorView* EditorView() { return g_view ? g_view : &g_nullView; }
IEditorView* SetEditorView(IEditorView* view) {
  IEditorView* old = g_view;
  g_view = view;
  return old;
}

int ShowMessageWithCheck(const QString& text, MessageType type, ButtonSet buttons, const QString& checkCaption,
                         const QStringList& buttonCaptions, bool& checked) {
  checked = false;
  if (g_messages) return g_messages->ShowWithCheck(text, type, buttons, checkCaption, buttonCaptions, checked);
  return ShowMessage(text, type, buttons);
}

int ShowMessage(const QString& text, MessageType type, ButtonSet buttons) {
  if (g_messages) return g_messages->Show(text, type, buttons);
  if (buttons & Button(mrCancel)) return mrCancel;
  for (int r = mrOk; r <= mrAll; ++r)
    if (buttons & Button(static_cast<MessageResult>(r))) return r;
  return mrOk;
}

void MessageBeep() {
  if (g_messages) g_messages->Beep();
}

IMessageRoutine* SetMessageRoutine(IMessageRoutine* routine) {
  IMessageRoutine* old = g_messages;
  g_messages = routine;
  return old;
}

IFileChooser* FileChooser() { return g_files; }
IFileChooser* SetFileChooser(IFileChooser* chooser) {
  IFileChooser* old = g_files;
  g_files = chooser;
  return old;
}

IProgress* ProgressSink() { return g_progress; }
IProgress* SetProgressSink(IProgress* sink) {
  IProgress* old = g_progress;
  g_progress = sink;
  return old;
}

IClipboard* Clipboard() { return g_clipboard; }
IClipboard* SetClipboard(IClipboard* clipboard) {
  IClipboard* old = g_clipboard;
  g_clipboard = clipboard;
  return old;
}

namespace {
bool OnGuiThread() {
  QCoreApplication* app = QCoreApplication::instance();
  return !app || QThread::currentThread() == app->thread();
}
}  // namespace

BusyScope::BusyScope() : counted_(OnGuiThread()) {
  if (!counted_) return;
  if (g_busyDepth++ == 0) {
    g_sincePump.start();
    if (g_progress) g_progress->SetBusy(true);
  }
}

BusyScope::~BusyScope() {
  if (!counted_ || --g_busyDepth > 0) return;
  if (g_progress) g_progress->SetBusy(false);
  // Paints during the work showed what was there before it: the frames may have changed since.
  if (std::exchange(g_pumped, false)) EditorView()->RepaintFrames();
}

bool BusyScope::Running() { return g_busyDepth > 0; }
bool BusyScope::Pumping() { return g_pumping; }
bool BusyScope::Painting() { return g_paintDepth > 0; }

AsideHeld::AsideHeld() noexcept { ++g_asideHeld; }
AsideHeld::~AsideHeld() { --g_asideHeld; }

PaintDelivery::PaintDelivery() noexcept { ++g_paintDepth; }
PaintDelivery::~PaintDelivery() { --g_paintDepth; }

void BusyScope::RunAside(const std::function<void()>& work, const QString& message) {
  QCoreApplication* app = QCoreApplication::instance();
  if (g_pumping || g_paintDepth > 0 || g_asideHeld > 0 || !app || QThread::currentThread() != app->thread()) {
    work();
    return;
  }
  BusyScope busy;
  // Ended however the work ends.
  struct Bar {
    explicit Bar(const QString& message) {
      if (g_progress) g_progress->Progress(0, -1, message);
    }
    ~Bar() {
      if (g_progress) g_progress->Progress(2, 100, QString());
    }
  } bar(message);
  std::exception_ptr failure;
  std::unique_ptr<QThread> thread(QThread::create([&work, &failure] {
    try {
      work();
    } catch (...) {
      failure = std::current_exception();
    }
  }));
  QEventLoop loop;
  // Queued to this thread: a thread that ends before the loop runs still ends it.
  QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
  thread->start();
  g_pumping = g_pumped = true;
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  g_pumping = false;
  thread->wait();  // it has finished
  if (failure) std::rethrow_exception(failure);
}

int BusyScope::SetPumpInterval(int milliseconds) { return std::exchange(g_pumpIntervalMs, std::max(milliseconds, 0)); }

void BusyScope::KeepPainted(bool batchEnd) {
  QCoreApplication* app = QCoreApplication::instance();
  if (g_busyDepth == 0 || g_pumping || g_paintDepth > 0 || !app || QThread::currentThread() != app->thread()) return;
  if (!batchEnd && g_sincePump.isValid() && g_sincePump.elapsed() < g_pumpIntervalMs) return;
  g_pumping = g_pumped = true;
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  g_pumping = false;
  g_sincePump.start();
}

StepProgress::StepProgress(int count, const QString& message) : count_(std::max(count, 1)) {
  if (g_progress) g_progress->Progress(0, 0, message);
}

StepProgress::~StepProgress() {
  if (g_progress) g_progress->Progress(2, 100, QString());
}

void StepProgress::Step(int done) {
  const int percent = static_cast<int>(std::clamp<long long>(100LL * done / count_, 0, 100));
  if (g_progress && percent != percent_) g_progress->Progress(1, percent, QString());
  percent_ = percent;
  BusyScope::KeepPainted();
}

}  // namespace movinta::editor
