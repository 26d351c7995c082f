// The editor's open and save dialogs: the shell's own file dialogs with the state they keep between
// runs (size, tree, splitter) in "FormPos\OpenDialog". Tests replace them through the main window's
// ChooseOpenFiles and the model's file chooser.
#pragma once

#include "editor/model/registry.h"
#include "editor/model/ui_services.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <functional>

namespace ptshell {
class TPTDialog;
class TPTFrmOpenDlg;
class TPTSaveDlg;
}

namespace movinta::editor {

// A filter as the shell dialogs read it ("Description|masks|..."); a lone "Description (masks)"
// gets its masks from the brackets.
QString ShellFilter(const QString& filter);

// The stored dialog state, as hex text; an empty or short record leaves the dialog's values alone.
void LoadDialogState(const SettingsStore& store, ptshell::TPTDialog& dialog);
void SaveDialogState(SettingsStore& store, const ptshell::TPTDialog& dialog);

struct OpenDialogHooks {
  // The dialog's form exists (before it shows) and when it closes; sender is the dialog.
  std::function<void(ptshell::TPTDialog*)> Initialized, Closed;
};

// Routes the errors that the shell controls and dialogs cannot hand back to a caller (a failed
// verb, a folder that cannot be read) to the program's message routine as error boxes.
void InstallShellErrorHandler();

// Where a file dialog starts: the folder asked for when it exists, else the user's home folder.
QString DialogStartFolder(const QString& folder);

// Puts a label beside the dialog's look-in row, right of its last tool button, as wide as the
// form allows.
void PlaceBesideLookIn(ptshell::TPTFrmOpenDlg& form, QWidget& label);

// Runs the open dialog with multiple selection; the chosen files, empty on Cancel.
QStringList ChooseFilesWithShellDialog(QWidget* parent, const QString& filter, const QString& folder,
                                       bool useSettingsStore, const OpenDialogHooks& hooks = {});

// The save dialog behind the model's save commands: "gif" added to a bare name, and asking before
// it replaces a file.
class ShellFileChooser : public IFileChooser {
public:
  explicit ShellFileChooser(QWidget* parent = nullptr, bool useSettingsStore = true)
      : parent_(parent), useSettingsStore_(useSettingsStore) {}
  std::optional<QString> ChooseSaveName(const QString& initialName, const QString& initialFolder,
                                        const QString& defaultExtension) override;
  std::optional<QString> ChooseSave(const SaveRequest& request) override;
  // Runs on each save dialog before it shows (options and events of the command that asks).
  std::function<void(ptshell::TPTSaveDlg&)> PrepareDialog;

private:
  QPointer<QWidget> parent_;
  bool useSettingsStore_;
};

}  // namespace movinta::editor
