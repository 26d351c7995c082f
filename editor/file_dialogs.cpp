#include "editor/file_dialogs.h"

#include "editor/forms/forced_extension_save.h"

#include "controls/shell/dialogs/ptopendlg.h"
#include "controls/shell/shell_utils.h"
#include "editor/forms/guarded.h"
#include "editor/model/settings.h"
#include "platform/settings/settings_store.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QToolButton>

#include <algorithm>

#include <memory>

namespace movinta::editor {
namespace {

const QString kStateValue = QStringLiteral("FormState");
// The size a file dialog opens at before the user has sized one: wide enough for the look-in
// box, the list's names and the preview beside them.
constexpr int kFirstWidth = 760, kFirstHeight = 460;

}  // namespace

void InstallShellErrorHandler() {
  ptshell::ApplicationExceptionHandler() = [](std::exception_ptr e) {
    QString text;
    try {
      if (e) std::rethrow_exception(e);
      return;
    } catch (const std::exception& ex) {
      text = QString::fromLocal8Bit(ex.what());
    } catch (...) {
      text = QStringLiteral("An unknown error occurred.");
    }
    ShowMessage(text, MessageType::Error);
  };
}

QString DialogStartFolder(const QString& folder) {
  if (!folder.isEmpty() && QFileInfo(folder).isDir()) return QFileInfo(folder).absoluteFilePath();
  return QDir::homePath();
}

void PlaceBesideLookIn(ptshell::TPTFrmOpenDlg& form, QWidget& label) {
  const QRect combo = form.PTShellCombo1->geometry();
  int left = combo.right() + 1;
  for (QToolButton* b : form.findChildren<QToolButton*>(QString(), Qt::FindDirectChildrenOnly))
    if (!b->isHidden()) left = std::max(left, b->geometry().right() + 1);
  label.move(left + 8, combo.top() + 2);
  label.resize(std::max(10, form.width() - label.x() - 4), combo.height());
}

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
  if (dialog.FormWidth <= 0 || dialog.FormHeight <= 0) {
    dialog.FormWidth = kFirstWidth;
    dialog.FormHeight = kFirstHeight;
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
  dialog.InitialDir = DialogStartFolder(folder);
  dialog.DefaultExt = QStringLiteral("gif");
  dialog.SetOptions(dialog.Options() | ptshell::ptofAllowMultiselect | ptshell::ptofFileMustExist);
  if (hooks.Initialized) dialog.OnInitialized = Guarded(hooks.Initialized);
  if (hooks.Closed) dialog.OnFormClose = Guarded([&dialog, &hooks](QObject*) { hooks.Closed(&dialog); });
  if (!RunWithState(dialog, useSettingsStore)) return {};
  return dialog.Files();
}

std::optional<QString> ShellFileChooser::ChooseSaveName(const QString& initialName, const QString& initialFolder,
                                                        const QString& defaultExtension) {
  return ChooseSave({initialName, initialFolder, defaultExtension, QString()});
}

std::optional<QString> ShellFileChooser::ChooseSave(const SaveRequest& request) {
  std::unique_ptr<ptshell::TPTSaveDlg> owned;
  if (request.ForceExtension) {
    auto forced = std::make_unique<forms::TForcedExtensionSaveDlg>();
    forced->ExactCase = request.ExactExtension;
    owned = std::move(forced);
  } else {
    owned = std::make_unique<ptshell::TPTSaveDlg>();
  }
  ptshell::TPTSaveDlg& dialog = *owned;
  dialog.Name = QStringLiteral("PTSaveDlg1");
  dialog.Title = QStringLiteral("Save As");
  dialog.SetFilter(request.Filter.isEmpty() ? QStringLiteral("GIF Image (*.gif)|*.gif|All files (*)|*")
                                            : ShellFilter(request.Filter));
  dialog.SetFilterIndex(1);
  dialog.InitialDir = DialogStartFolder(request.InitialFolder);
  dialog.SetFileName(request.InitialName);
  dialog.DefaultExt = request.DefaultExtension.isEmpty() ? QStringLiteral("gif") : request.DefaultExtension;
  dialog.SetOptions(dialog.Options() | ptshell::ptofOverwritePrompt);
  if (PrepareDialog) PrepareDialog(dialog);
  if (!RunWithState(dialog, useSettingsStore_) || dialog.FileName().isEmpty()) return std::nullopt;
  return dialog.FileName();
}

}  // namespace movinta::editor
