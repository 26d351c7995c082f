// TPTDialog: the base of the library's dialog components. Each component holds
// its settings, creates its modal form only while Execute runs (create the
// form, put the settings in, read the results back), refuses to run twice at
// once, and keeps the form's size and state between runs.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>

class QIODevice;
class QObject;
class QWidget;

namespace ptshell {

enum TWindowState : uint8_t { wsNormal, wsMinimized, wsMaximized };

using TNotifyEvent = std::function<void(QObject* sender)>;

class EPTDialogError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Message boxes of the dialogs: type 0 warning, 1 error, 2 information,
// 3 confirmation; buttons mbsOK or mbsYesNo; the answer is mbOK, mbYes or mbNo
// (controls/shell/shell_controls.h). Replaceable, so callers without a person
// in front of the screen (tests, scripts) can answer.
inline constexpr int mbsOK = 0, mbsYesNo = 1;
using TDialogMessageRoutine =
    std::function<int(QWidget* parent, const QString& caption, const QString& text, int type, int buttons)>;
TDialogMessageRoutine& DialogMessageRoutine();
int DialogMessage(QWidget* parent, const QString& caption, const QString& text, int type, int buttons);

class TPTDialog {
 public:
  TPTDialog() = default;
  virtual ~TPTDialog() = default;
  TPTDialog(const TPTDialog&) = delete;
  TPTDialog& operator=(const TPTDialog&) = delete;

  // Runs the dialog; true when the user confirmed. Raises EPTDialogError
  // "<class> already executing" when called while it runs.
  bool Execute();
  bool Executing() const { return ExecutingValue; }

  // The stored form state, little-endian: width (i32), height (i32), window
  // state (u8), then what derived dialogs add. Loading stops quietly at a
  // short stream and keeps the values not read.
  virtual void SaveFormState(QIODevice& stream) const;
  virtual void LoadFormState(QIODevice& stream);

  virtual QString ClassName() const = 0;

  QString Name;  // the component's name, used in messages
  int32_t FormWidth = -1;
  int32_t FormHeight = -1;
  TWindowState FormWindowState = wsNormal;
  QString Title;
  std::function<void(TPTDialog* sender)> OnInitialized;  // the form exists and holds the settings
  TNotifyEvent OnFormShow, OnFormClose;                   // sender: the form

 protected:
  virtual bool DoExecute() = 0;
  virtual void DoInitialized();
  // Size and state handed to and taken from a form.
  void ApplyFormGeometry(QWidget* form) const;
  void ReadFormGeometry(QWidget* form);
  // One run of a form, for DoExecute: with the hourglass up, `create` makes
  // the form and `apply` puts the settings in; then `running` names it,
  // OnInitialized fires, the form runs modally and `read` takes the results
  // back (after Cancel too, told whether the user confirmed). However the run
  // ends the form is freed and `running` cleared. While a form is already up
  // it raises EPTDialogError with `busy` instead.
  template <class TForm, class Create, class Apply, class Read>
  bool RunForm(TForm*& running, const QString& busy, Create create, Apply apply, Read read);

 private:
  bool ExecutingValue = false;
};

// Little-endian field helpers for the form-state streams.
void WriteI32(QIODevice& stream, int32_t value);
void WriteU8(QIODevice& stream, uint8_t value);
bool ReadI32(QIODevice& stream, int32_t& value);
bool ReadU8(QIODevice& stream, uint8_t& value);

// Shows the hourglass for as long as it lives; Normal() switches it to the
// default cursor without giving up its place.
class TWaitCursorScope {
 public:
  TWaitCursorScope();
  ~TWaitCursorScope();
  void Normal();
  TWaitCursorScope(const TWaitCursorScope&) = delete;
  TWaitCursorScope& operator=(const TWaitCursorScope&) = delete;

 private:
  bool Active = false;
};

template <class TForm, class Create, class Apply, class Read>
bool TPTDialog::RunForm(TForm*& running, const QString& busy, Create create, Apply apply, Read read) {
  if (running) throw EPTDialogError(busy.toStdString());
  TWaitCursorScope wait;
  std::unique_ptr<TForm> form(create());
  struct Clear {
    TForm*& Form;
    ~Clear() { Form = nullptr; }
  } clear{running};
  apply(form.get());
  running = form.get();
  DoInitialized();
  const bool ok = form->exec() == QDialog::Accepted;
  read(form.get(), ok);
  return ok;
}

}  // namespace ptshell
