#include "editor/model/ui_services.h"

namespace movinta::editor {

namespace {
IMessageRoutine* g_messages = nullptr;
IFileChooser* g_files = nullptr;
IProgress* g_progress = nullptr;
IClipboard* g_clipboard = nullptr;
int g_busyDepth = 0;
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

BusyScope::BusyScope() {
  if (g_busyDepth++ == 0 && g_progress) g_progress->SetBusy(true);
}

BusyScope::~BusyScope() {
  if (--g_busyDepth == 0 && g_progress) g_progress->SetBusy(false);
}

bool BusyScope::Running() { return g_busyDepth > 0; }

}  // namespace movinta::editor
