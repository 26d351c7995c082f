#include "editor/file_dialogs.h"

#include "controls/shell/dialogs/ptopendlg.h"
#include "editor/model/settings.h"
#include "platform/settings/settings_store.h"

#include <QBuffer>
#include <QRegularExpression>

#include <memory>

namespace movinta::editor {
namespace {

const QString kStateValue = QStringLiteral("FormState");

}  // namespace

QString ShellFilter(const QString& filter) {
  if (filter.contains(QLatin1Char('|'))) return filter;
  static const QRegularExpression masks(QStringLiteral("\\(([^)]*)\\)\\s*$"));
  const QRegularExpressionMatch m = masks.match(filter);
  if (!m.hasMatch()) return filter + QStringLiteral("|*");
  return filter + QLatin1Char('|') + m.captured(1).simplified().replace(QLatin1Char(' '), QLatin1Char(';'));
}

void LoadDialogState(const SettingsStore& store, ptshell::TPTDialog& dialog) {
  const QString section = QString::fromLatin1(sections::kFormOpenDialog);
  QByteArray bytes = QByteArray::fromHex(store.readString(section, kStateValue, QString()).toLatin1());
  if (bytes.isEmpty()) return;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  dialog.LoadFormState(buffer);
}

void SaveDialogState(SettingsStore& store, const ptshell::TPTDialog& dialog) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  dialog.SaveFormState(buffer);
  store.writeString(QString::fromLatin1(sections::kFormOpenDialog), kStateValue, QString::fromLatin1(bytes.toHex()));
}

namespace {

// Runs a file dialog with the stored state around it; true on OK.
bool RunWithState(ptshell::TPTFileDlg& dialog, bool useSettingsStore) {
  std::unique_ptr<SettingsStore> store;
  if (useSettingsStore) {
    store = std::make_unique<SettingsStore>();
    LoadDialogState(*store, dialog);
  }
  const bool ok = dialog.Execute();
  if (store) {
    SaveDialogState(*store, dialog);
    store->flush();
  }
  return ok;
}

}  // namespace

QStringList ChooseFilesWithShellDialog(QWidget* parent, const QString& filter, const QString& folder,
                                       bool useSettingsStore, const OpenDialogHooks& hooks) {
  (void)parent;  // the dialog's form centres itself over the active window
  ptshell::TPTOpenDlg dialog;
  dialog.Name = QStringLiteral("PTOpenDlg1");
  dialog.Title = QStringLiteral("Open");
  dialog.SetFilter(ShellFilter(filter));
  dialog.SetFilterIndex(1);
  dialog.SetFileName(QString());
  dialog.InitialDir = folder;
  dialog.DefaultExt = QStringLiteral("gif");
  dialog.SetOptions(dialog.Options() | ptshell::ptofAllowMultiselect | ptshell::ptofFileMustExist);
  if (hooks.Initialized) dialog.OnInitialized = hooks.Initialized;
  if (hooks.Closed) dialog.OnFormClose = [&dialog, &hooks](QObject*) { hooks.Closed(&dialog); };
  if (!RunWithState(dialog, useSettingsStore)) return {};
  return dialog.Files();
}

std::optional<QString> ShellFileChooser::ChooseSaveName(const QString& initialName, const QString& initialFolder,
                                                        const QString& defaultExtension) {
  return ChooseSave({initialName, initialFolder, defaultExtension, QString()});
}

std::optional<QString> ShellFileChooser::ChooseSave(const SaveRequest& request) {
  ptshell::TPTSaveDlg dialog;
  dialog.Name = QStringLiteral("PTSaveDlg1");
  dialog.Title = QStringLiteral("Save As");
  dialog.SetFilter(request.Filter.isEmpty() ? QStringLiteral("GIF Image (*.gif)|*.gif|All files (*)|*")
                                            : ShellFilter(request.Filter));
  dialog.SetFilterIndex(1);
  dialog.InitialDir = request.InitialFolder;
  dialog.SetFileName(request.InitialName);
  dialog.DefaultExt = request.DefaultExtension.isEmpty() ? QStringLiteral("gif") : request.DefaultExtension;
  dialog.SetOptions(dialog.Options() | ptshell::ptofOverwritePrompt);
  if (PrepareDialog) PrepareDialog(dialog);
  if (!RunWithState(dialog, useSettingsStore_) || dialog.FileName().isEmpty()) return std::nullopt;
  return dialog.FileName();
}

}  // namespace movinta::editor
