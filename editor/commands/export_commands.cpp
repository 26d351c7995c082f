#include "editor/commands/export_commands.h"

#include "editor/model/files.h"
#include "editor/model/save_rules.h"
#include "editor/model/string_tables.h"
#include "editor/qt_services.h"
#include "editor/commands/save_commands.h"

#include <QFileInfo>
#include <QSaveFile>

namespace movinta::editor {

namespace {
constexpr const char* kSaveFirst = "Would you like to save the current document before proceeding?";
constexpr const char* kViewPage = "Would you like to view the HTML page in the default brower now?";
constexpr const char* kHtmlFilter = "HTML Files|*.htm;*.html";
}  // namespace

TExportCommands::TExportCommands(TDocuments& documents, TSaveCommands& save)
    : OpenUrl([](const QUrl& url) { return RunShellFile(url.toString()); }), documents_(documents), save_(save) {}

bool TExportCommands::FrameExportsEnabled() { return !SharedImage()->IsEmpty(); }

bool WriteTextFile(const QString& fileName, const QString& text) {
  QSaveFile file(fileName);
  const QByteArray bytes = text.toUtf8();
  const bool ok = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
  if (!ok) ShowMessage(Tr(texts::kErrorSaving).arg(fileName), MessageType::Warning, kOk);
  return ok;
}

void TExportCommands::mniFileExportHTMLClick() {
  TMDIChild* d = documents_.Active();
  if (!d) return;
  if (!d->FileExistsOnDisk()) {
    if (ShowMessage(Tr(kSaveFirst), MessageType::Confirmation, kYesNoCancel) != mrYes) return;
    save_.FileSaveExecute();
    d = documents_.Active();
    if (!d || !d->FileExistsOnDisk()) return;
  }
  IFileChooser* chooser = FileChooser();
  if (!chooser) return;
  const QFileInfo image(d->FileName);
  SaveRequest request{FileNameOnly(StripExtension(d->FileName)), SaveStartFolder(image.absolutePath(), d->FileName),
                      QStringLiteral("html"), Tr(kHtmlFilter)};
  // The dialog's question is about the page that will be written: the page is always ".html",
  // so "page.HTML" typed is asked about, and written, as page.html.
  request.ForceExtension = true;
  request.ExactExtension = true;
  const std::optional<QString> chosen = chooser->ChooseSave(request);
  if (!chosen || chosen->isEmpty()) return;
  const QString output = StripExtension(*chosen) + QStringLiteral(".html");
  TGIFImage& animation = *SharedImage();
  if (!WriteTextFile(output, HtmlPageText(image.fileName(), animation.GetWidth(), animation.GetHeight()))) return;
  if (ShowMessage(Tr(kViewPage), MessageType::Confirmation, kYesNoCancel) == mrYes && OpenUrl)
    OpenUrl(QUrl::fromLocalFile(output));
}

}  // namespace movinta::editor
