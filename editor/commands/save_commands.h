// The main window's commands that write documents: Save, Save As and Save All, with the rule that
// keeps the program's sample pictures as shipped, and the save dialog's "Optimi&ze" button that
// exists only while Save or Save As runs. The writing itself is the document's (TMDIChild).
#pragma once

#include "editor/model/document.h"

#include <QObject>
#include <QString>

#include <functional>

namespace ptshell {
class TPTDialog;
class TPTSaveDlg;
}  // namespace ptshell

namespace movinta::editor {

// What the save commands need of the main window; unset hooks do nothing.
struct SaveHooks {
  std::function<void()> PausePlayback;
  std::function<void(const QString&)> AddRecentFile;
  std::function<void()> RepaintTabs;
  std::function<void(const QString& text, int panel)> SetStatusText;
  // Brings the document's window to the front at once (the documents switch with it).
  std::function<void(TMDIChild*)> ActivateChild;
  std::function<void()> ShowSelectedFrame;
  // Without a document the three save commands are switched off.
  std::function<void(bool)> SetSaveActionsEnabled;
};

// The save dialog's help button, captioned "Optimi&ze": it runs the optimisation wizard on the
// animation being saved while the dialog stays open. The button is offered only while Save or Save
// As runs (Active) and only when a wizard is installed.
class TSaveDialogHelp {
public:
  // Runs the optimisation wizard for tag 0 (Save: the result replaces the animation) or 1 (Save As:
  // it becomes a new animation); true when the user confirmed it.
  std::function<bool(int tag)> OptimizeWizard;
  // After a confirmed wizard: the newest document in front, the strip repainted, the frame shown.
  std::function<void()> AfterOptimize;

  bool Active = false;
  int Tag = 0;

  // Called on every save dialog before it runs.
  void Prepare(ptshell::TPTSaveDlg& dialog);
  void dlgSaveInitialized(ptshell::TPTDialog* sender);
  void SaveDlgFormShow(QObject* form);
  // The button's click; always false, so the dialog goes on.
  bool dlgSaveHelp(QObject* form);
  void dlgSaveFormClose(QObject* form);
};

// Turns the help button on for a scope, with the running command's tag.
class SaveDialogHelpScope {
public:
  SaveDialogHelpScope(TSaveDialogHelp& help, int tag) : help_(help), active_(help.Active), tag_(help.Tag) {
    help.Active = true;
    help.Tag = tag;
  }
  ~SaveDialogHelpScope() {
    help_.Active = active_;
    help_.Tag = tag_;
  }
  SaveDialogHelpScope(const SaveDialogHelpScope&) = delete;
  SaveDialogHelpScope& operator=(const SaveDialogHelpScope&) = delete;

private:
  TSaveDialogHelp& help_;
  bool active_;
  int tag_;
};

class TSaveCommands {
public:
  TSaveCommands(TDocuments& documents, SaveHooks hooks);

  // Saves the active document (through the save dialog when it was never saved); a document from
  // the sample folder goes to the working folder.
  void FileSaveExecute();
  // Saves the active document under a new name.
  void FileSaveAsExecute();
  // Saves every modified document, the active one first, asking only for names of untitled ones;
  // the document active at the start ends in front.
  void FileSaveAllExecute();
  // False when the user cancelled the name or the write failed.
  bool SaveOneForSaveAll(TMDIChild* child);

  TSaveDialogHelp& DialogHelp() { return help_; }

  // The folders of the sample-folder rule and its random number; the program's own by default.
  QString SampleFolder;
  std::function<QString()> WorkingFolder;
  std::function<int(int)> Random;

private:
  // Moves a document of the sample folder to its name in the working folder; false (reported)
  // when there is no working folder. old receives the previous name.
  bool ApplySampleFolderRule(TMDIChild& document, QString& old);

  TDocuments& documents_;
  SaveHooks hooks_;
  TSaveDialogHelp help_;
};

}  // namespace movinta::editor
