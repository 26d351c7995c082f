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
