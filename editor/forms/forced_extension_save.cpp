#include "editor/forms/forced_extension_save.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>

#include "controls/shell/dialogs/file_names.h"

namespace movinta::editor::forms {

QString NameWithExtension(const QString& typed, const QString& folder, const QString& extension, bool exactCase) {
  const QStringList names = ptshell::SplitFileNames(typed, false);
  if (names.size() != 1 || ptshell::HasWildcard(typed)) return typed;
  const QString name = names.front();
  if (name.endsWith(QLatin1Char('/'))) return typed;
  const QString full = ptshell::CombinePath(folder, name, QDir::homePath());
  if (!full.isEmpty() && QFileInfo(full).isDir()) return typed;
  const QString current = ptshell::ExtensionOf(ptshell::NamePart(name));
  if (current.compare(extension, exactCase ? Qt::CaseSensitive : Qt::CaseInsensitive) == 0) return name;
  if (current.isEmpty()) return name + extension;
  return name.left(name.size() - current.size()) + extension;
}

TForcedExtensionSaveForm::TForcedExtensionSaveForm(QString extension, bool exactCase, QWidget* parent)
    : TPTFrmOpenDlg(parent), extension_(std::move(extension)), exactCase_(exactCase) {}

void TForcedExtensionSaveForm::done(int result) {
  if (result == QDialog::Accepted)
    FileNameEdt->setText(
        NameWithExtension(FileNameEdt->text(), QString::fromStdString(PTShellList1->FolderPath()), extension_,
                          exactCase_));
  TPTFrmOpenDlg::done(result);
}

ptshell::TPTFrmOpenDlg* TForcedExtensionSaveDlg::CreateForm() {
  return new TForcedExtensionSaveForm(QLatin1Char('.') + DefaultExt, ExactCase);
}

}  // namespace movinta::editor::forms
