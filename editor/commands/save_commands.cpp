#include "editor/commands/save_commands.h"

#include "controls/shell/dialogs/ptopendlg.h"
#include "editor/forms/guarded.h"
#include "editor/model/save_rules.h"
#include "editor/model/string_tables.h"
#include "editor/model/text_helpers.h"
#include "editor/model/whole_animation.h"
#include "platform/program_folders/program_folders.h"

#include <QPushButton>

namespace movinta::editor {

namespace {
constexpr const char* kOptimizeCaption = "Optimi&ze";

template <typename F, typename... A>
void Call(const F& f, A&&... args) {
  if (f) f(std::forward<A>(args)...);
}

ptshell::TPTFrmOpenDlg* DialogForm(QObject* form) { return qobject_cast<ptshell::TPTFrmOpenDlg*>(form); }
}  // namespace

// ---- the save dialog's help button

void TSaveDialogHelp::Prepare(ptshell::TPTSaveDlg& dialog) {
  if (!Active || !OptimizeWizard) return;
  dialog.SetOptions(dialog.Options() | ptshell::ptofShowHelp);
  dialog.OnInitialized = Guarded([this](ptshell::TPTDialog* sender) { dlgSaveInitialized(sender); });
  dialog.OnFormClose = Guarded([this](QObject* form) { dlgSaveFormClose(form); });
}

void TSaveDialogHelp::dlgSaveInitialized(ptshell::TPTDialog* sender) {
  auto* dialog = dynamic_cast<ptshell::TPTFileDlg*>(sender);
  if (!dialog || !(dialog->Options() & ptshell::ptofShowHelp)) return;
  ptshell::TPTFrmOpenDlg* form = dialog->Form();
  if (!form) return;
  form->OnFormShow = Guarded([this](QObject* f) { SaveDlgFormShow(f); });
  form->OnHelp = [this, form](std::uint16_t, std::intptr_t, bool& callHelp) {
    callHelp = false;
    return dlgSaveHelp(form);
  };
}

void TSaveDialogHelp::SaveDlgFormShow(QObject* form) {
  ptshell::TPTFrmOpenDlg* f = DialogForm(form);
  if (!f || !(f->Options() & ptshell::ptofShowHelp)) return;
  f->HelpBtn->setText(QString::fromLatin1(kOptimizeCaption));
  f->HelpBtn->setToolTip(QString());
  f->HelpBtn->setStatusTip(QString());
}

bool TSaveDialogHelp::dlgSaveHelp(QObject* form) {
  if (!OptimizeWizard) return false;
  TGIFImage& image = *SharedImage();
  NormalizeLoopBlock(image, AnimationPlays(image));
  bool confirmed = false;
  {
    BusyScope busy;
    confirmed = OptimizeWizard(Tag);
  }
  if (confirmed) {
    if (ptshell::TPTFrmOpenDlg* f = DialogForm(form)) f->HelpBtn->setEnabled(false);
    Call(AfterOptimize);
  }
  return false;
}

void TSaveDialogHelp::dlgSaveFormClose(QObject* form) {
  if (ptshell::TPTFrmOpenDlg* f = DialogForm(form)) f->HelpBtn->setEnabled(true);
}

// ---- the commands

TSaveCommands::TSaveCommands(TDocuments& documents, SaveHooks hooks)
    : SampleFolder(platform::SampleImagesFolder()),
      WorkingFolder(&platform::WorkingFolder),
      documents_(documents),
      hooks_(std::move(hooks)) {
  if (!hooks_.ActivateChild) hooks_.ActivateChild = [this](TMDIChild* d) { documents_.Activate(d); };
}

bool TSaveCommands::ApplySampleFolderRule(TMDIChild& document, QString& old) {
  old = document.FileName;
  if (document.Untitled) return true;
  const QString working = WorkingFolder ? WorkingFolder() : QString();
  const QString target = SampleFolderSavePath(document.FileName, SampleFolder, working, Random);
  if (target.isEmpty()) {
    ShowMessage(Tr(texts::kErrorSaving).arg(document.FileName), MessageType::Warning, kOk);
    return false;
  }
  if (target != document.FileName) {
    document.FileName = target;
    document.Caption = target;
  }
  return true;
}

void TSaveCommands::FileSaveExecute() {
  TMDIChild* d = documents_.Active();
  if (!d) {
    Call(hooks_.SetSaveActionsEnabled, false);
    return;
  }
  Call(hooks_.PausePlayback);
  SaveDialogHelpScope help(help_, 0);
  QString old;
  if (ApplySampleFolderRule(*d, old)) {
    if (d->SaveDocument(false, true)) {
      Call(hooks_.AddRecentFile, d->FileName);
    } else if (documents_.IndexOf(d) >= 0 && !d->Untitled && d->FileName != old) {
      // The working folder's copy was not written: the document keeps its own name.
      d->FileName = old;
      d->Caption = old;
      d->UpdateUndoState();
    }
  }
  Call(hooks_.RepaintTabs);
  Call(hooks_.SetStatusText, QStringLiteral(" "), 1);
}

void TSaveCommands::FileSaveAsExecute() {
  TMDIChild* d = documents_.Active();
  if (!d) {
    Call(hooks_.SetSaveActionsEnabled, false);
    return;
  }
  {
    SaveDialogHelpScope help(help_, 1);
    if (d->SaveDocument(true, true)) Call(hooks_.AddRecentFile, d->FileName);
  }
  Call(hooks_.RepaintTabs);
  Call(hooks_.ShowSelectedFrame);
}

bool TSaveCommands::SaveOneForSaveAll(TMDIChild* child) {
  if (!child || documents_.IndexOf(child) < 0) return false;
  // The samples stay as shipped here too: a modified sample goes to the working folder.
  QString old;
  if (!ApplySampleFolderRule(*child, old)) return false;
  const bool saved = child->SaveDocument(false, true);
  if (!saved && documents_.IndexOf(child) >= 0 && child->FileName != old && !child->Untitled) {
    child->FileName = old;
    child->Caption = old;
  }
  if (documents_.IndexOf(child) >= 0) child->UpdateUndoState();
  if (saved) Call(hooks_.AddRecentFile, child->FileName);
  return saved;
}

void TSaveCommands::FileSaveAllExecute() {
  TMDIChild* first = documents_.Active();
  if (!first) {
    Call(hooks_.SetSaveActionsEnabled, false);
    return;
  }
  Call(hooks_.PausePlayback);
  BusyScope busy;
  if (first->Modified) SaveOneForSaveAll(first);
  // The list is read again each time: a save may not close documents, but nothing is held across
  // the dialogs it shows.
  for (int i = 0; i < documents_.Count(); ++i) {
    TMDIChild* d = documents_.At(i);
    if (d == first || !d->Modified) continue;
    hooks_.ActivateChild(d);
    if (documents_.IndexOf(d) >= 0) SaveOneForSaveAll(d);
  }
  if (documents_.IndexOf(first) >= 0 && documents_.Active() != first) hooks_.ActivateChild(first);
  Call(hooks_.RepaintTabs);
}

}  // namespace movinta::editor
