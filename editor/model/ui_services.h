// What the editor's model needs of the user interface: message boxes, choosing a file name,
// progress and the clipboard. The window layer installs real ones; tests install recording ones.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace movinta::editor {

// Kinds of message box.
enum class MessageType { Warning = 0, Error = 1, Information = 2, Confirmation = 3 };

// Button results, also used as the bit positions of a button set.
enum MessageResult : int {
  mrNone = 0,
  mrOk = 1,
  mrCancel = 2,
  mrAbort = 3,
  mrRetry = 4,
  mrIgnore = 5,
  mrYes = 6,
  mrNo = 7,
  mrAll = 8,
};

using ButtonSet = unsigned;
constexpr ButtonSet Button(MessageResult r) { return 1u << static_cast<unsigned>(r); }
constexpr ButtonSet kOk = Button(mrOk);
constexpr ButtonSet kOkCancel = Button(mrOk) | Button(mrCancel);
constexpr ButtonSet kYesNo = Button(mrYes) | Button(mrNo);
constexpr ButtonSet kYesNoCancel = Button(mrYes) | Button(mrNo) | Button(mrCancel);

class IMessageRoutine {
public:
  virtual ~IMessageRoutine() = default;
  virtual int Show(const QString& text, MessageType type, ButtonSet buttons) = 0;
  // A message with a check box below it; the first two buttons may carry other captions.
  virtual int ShowWithCheck(const QString& text, MessageType type, ButtonSet buttons,
                            const QString& checkCaption, const QStringList& buttonCaptions, bool& checked) {
    (void)checkCaption;
    (void)buttonCaptions;
    checked = false;
    return Show(text, type, buttons);
  }
  virtual void Beep() {}
};

// What a save dialog starts with. Filter is "Description|masks|..."; empty for GIF images.
struct SaveRequest {
  QString InitialName;
  QString InitialFolder;
  QString DefaultExtension;
  QString Filter;
  // The typed name takes DefaultExtension in place of another before the overwrite question.
  bool ForceExtension = false;
  // With ForceExtension: an extension typed in another case takes DefaultExtension's spelling too,
  // for commands that write the name in that spelling whatever was typed.
  bool ExactExtension = false;
};

class IFileChooser {
public:
  virtual ~IFileChooser() = default;
  // The chosen full path, or nothing when the user cancels.
  virtual std::optional<QString> ChooseSaveName(const QString& initialName, const QString& initialFolder,
                                                const QString& defaultExtension) = 0;
  // The same with a filter of its own; choosers without filters ignore it.
  virtual std::optional<QString> ChooseSave(const SaveRequest& request) {
    return ChooseSaveName(request.InitialName, request.InitialFolder, request.DefaultExtension);
  }
};

// Progress of long operations: stage 0 starting, 1 running, 2 ending. A start with a percent below 0
// has no measure: the bar only shows that work goes on. Starts may nest (a frame converted inside a
// paste of many): the outermost work is the one shown.
class IProgress {
public:
  virtual ~IProgress() = default;
  virtual void Progress(int stage, int percent, const QString& message) = 0;
  virtual void SetBusy(bool busy) { (void)busy; }
};

class IClipboard {
public:
  virtual ~IClipboard() = default;
  virtual void SetData(const QString& mimeType, const QByteArray& data) = 0;
  virtual QByteArray Data(const QString& mimeType) const = 0;
  virtual bool HasFormat(const QString& mimeType) const = 0;
  // Several formats of one copy at once. The default can hold only the first.
  virtual void SetDataSet(const std::vector<std::pair<QString, QByteArray>>& formats) {
    if (!formats.empty()) SetData(formats.front().first, formats.front().second);
  }
};

class TMDIChild;

// What the model tells the main window: the frame strip, the document windows and their state.
class IEditorView {
public:
  virtual ~IEditorView() = default;
  virtual int SelectedFrame() const { return -1; }
  virtual void SetSelectedFrame(int index) { (void)index; }
  virtual void FrameCountChanged(int count) { (void)count; }
  // The strip's selected columns, first <= last; a single selection is SelectedFrame() alone.
  virtual int SelectionFirst() const { return SelectedFrame(); }
  virtual int SelectionLast() const { return SelectedFrame(); }
  virtual void SetSelection(int first, int last) {
    (void)last;
    SetSelectedFrame(first);
  }
  // The frame strip's cells need painting again (delays, pictures, count).
  virtual void RepaintFrames() {}
  virtual void ShowFrame(int index) { (void)index; }
  // The working image now holds the document: reset the frame strip and show frame 0.
  virtual void DocumentLoaded(TMDIChild* document) { (void)document; }
  // Modified flag, undo caption, file name or caption changed.
  virtual void DocumentStateChanged(TMDIChild* document) { (void)document; }
  virtual void DocumentAdded(TMDIChild* document) { (void)document; }
  // Called before the document is freed.
  virtual void DocumentRemoved(TMDIChild* document) { (void)document; }
  // Panel 2 of the main window's status bar: hints and progress texts.
  virtual void StatusText(int panel, const QString& text) {
    (void)panel;
    (void)text;
  }
};

IEditorView* EditorView();  // never null: a view that does nothing when none is installed
IEditorView* SetEditorView(IEditorView* view);

// The program-wide message routine. Without an installed routine it answers Cancel where Cancel is
// offered (the safe choice), else the first button offered.
int ShowMessage(const QString& text, MessageType type, ButtonSet buttons = kOk);
int ShowMessageWithCheck(const QString& text, MessageType type, ButtonSet buttons, const QString& checkCaption,
                         const QStringList& buttonCaptions, bool& checked);
void MessageBeep();
IMessageRoutine* SetMessageRoutine(IMessageRoutine* routine);  // returns the previous one

IFileChooser* FileChooser();
IFileChooser* SetFileChooser(IFileChooser* chooser);
IProgress* ProgressSink();
IProgress* SetProgressSink(IProgress* sink);
IClipboard* Clipboard();
IClipboard* SetClipboard(IClipboard* clipboard);

// Busy cursor for a scope, through the progress sink.
class BusyScope {
public:
  // Work that RunAside runs may make scopes of its own: off the GUI thread they do nothing.
  BusyScope();
  ~BusyScope();
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;
  // Whether a long operation holds the busy cursor now; it may be pumping events meanwhile.
  static bool Running();
  // Long work on the GUI thread calls this between its steps: once the work has run for a while, and
  // again every little while after, events other than the user's input are handled, so the window
  // repaints and progress moves. batchEnd pumps at once. Nothing happens outside a busy scope, on
  // another thread or inside a pump. While work pumps, scripts that read or change a document are
  // refused and paints show the last finished picture.
  static void KeepPainted(bool batchEnd = false);
  // Whether the events handled now come from such a pump.
  static bool Pumping();
  // Whether a paint event is being delivered. Nothing pumps then, whatever asks for it: an event
  // loop inside a paint may paint the same window again, and that ends the painter the outer paint
  // is still drawing with.
  static bool Painting();
  // Runs work on a thread of its own, under the hourglass, and handles events other than the user's
  // input until it ends, as KeepPainted does, with a progress bar that has no measure; what work
  // throws is thrown here. Inside a pump or a paint, while an AsideHeld lives, or off the GUI
  // thread, work runs at once.
  static void RunAside(const std::function<void()>& work, const QString& message = QString());
  // How long work runs between pumps; returns the one before. Tests set 0 to pump at every step.
  static int SetPumpInterval(int milliseconds);

private:
  bool counted_;
};

// While one lives, BusyScope::RunAside runs its work at once: for steps that must let no event in,
// such as putting the active document aside while the window switches to another.
class AsideHeld {
public:
  AsideHeld() noexcept;
  ~AsideHeld();
  AsideHeld(const AsideHeld&) = delete;
  AsideHeld& operator=(const AsideHeld&) = delete;
};

// Counts the delivery of a paint event for as long as it lives; the application object holds one
// around every paint it delivers (see BusyScope::Painting).
class PaintDelivery {
public:
  PaintDelivery() noexcept;
  ~PaintDelivery();
  PaintDelivery(const PaintDelivery&) = delete;
  PaintDelivery& operator=(const PaintDelivery&) = delete;
};

// Long work in count steps: its progress in the sink's bar from construction to destruction (so
// also when the work throws), moved by Step, which also keeps the window painted. Hold no pointer
// into the frames or the working image across a Step.
class StepProgress {
public:
  explicit StepProgress(int count, const QString& message = QString());
  ~StepProgress();
  StepProgress(const StepProgress&) = delete;
  StepProgress& operator=(const StepProgress&) = delete;
  // done of the count steps are done.
  void Step(int done);

private:
  int count_;
  int percent_ = 0;
};

}  // namespace movinta::editor
