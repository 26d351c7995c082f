#include "editor/model/save_rules.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QUrl>

#include <algorithm>
#include <array>

namespace movinta::editor {

namespace {
QString CleanFolder(const QString& folder) { return QDir::cleanPath(QFileInfo(folder).absoluteFilePath()); }
}  // namespace

QString SampleFolderSavePath(const QString& fileName, const QString& sampleFolder, const QString& workingFolder,
                             const std::function<int(int)>& random) {
  const QFileInfo file(fileName);
  if (sampleFolder.isEmpty() || CleanFolder(file.absolutePath()) != CleanFolder(sampleFolder)) return fileName;
  if (workingFolder.isEmpty() || !QFileInfo(workingFolder).isDir()) return QString();
  const QDir working(workingFolder);
  const QString target = working.filePath(file.fileName());
  if (!QFileInfo::exists(target)) return target;
  const QString stem = working.filePath(file.completeBaseName());
  auto numbered = [&stem](int n) { return stem + QString::number(n) + QStringLiteral(".gif"); };
  const int first = random ? std::clamp(random(100), 0, 99) : static_cast<int>(QRandomGenerator::global()->bounded(100));
  if (!QFileInfo::exists(numbered(first))) return numbered(first);
  for (int n = 0;; ++n)
    if (!QFileInfo::exists(numbered(n))) return numbered(n);
}

QString HtmlPageText(const QString& imageName, int width, int height) {
  const QString source = QString::fromLatin1(QUrl::toPercentEncoding(imageName)).toHtmlEscaped();
  const std::array<QString, 9> lines = {
      QStringLiteral("<HTML>"),
      QStringLiteral("<HEAD>"),
      QStringLiteral("  <META NAME=\"GENERATOR\" CONTENT=\"GIF Movinta - by Larkspur Software\">"),
      QStringLiteral("  <TITLE></TITLE>"),
      QStringLiteral("</HEAD>"),
      QString(),
      QStringLiteral("<BODY BGCOLOR=\"#FFFFFF\">"),
      QStringLiteral("<IMG SRC=\"%1\" ALT=\"Animated Image\" HEIGHT=\"%2\" WIDTH=\"%3\">").arg(source).arg(height).arg(width),
      QStringLiteral("</BODY></HTML>"),
  };
  QString text;
  for (const QString& line : lines) text += line + QStringLiteral("\r\n");
  return text;
}

namespace {
// The suffixes of the exporter's formats, each with the format it names.
int ExportFormatOfSuffix(const QString& suffix) {
  static const std::pair<const char*, int> kSuffixes[] = {{"gif", 0}, {"jpg", 1}, {"jpeg", 1}, {"bmp", 2}};
  for (const auto& [name, format] : kSuffixes)
    if (suffix.compare(QLatin1String(name), Qt::CaseInsensitive) == 0) return format;
  return -1;
}
}  // namespace

QString NumberedExportName(const QString& chosen, int frame, const QString& formatSuffix) {
  const QString number = QStringLiteral("ZQ1") + QString::number(frame);
  const QString suffix = QFileInfo(chosen).suffix();
  const int typed = suffix.isEmpty() ? -1 : ExportFormatOfSuffix(suffix);
  const QString base = typed >= 0 ? chosen.left(chosen.size() - suffix.size() - 1) : chosen;
  // The chosen format's own suffix stays as typed; another format's gives way to it.
  if (typed >= 0 && typed == ExportFormatOfSuffix(formatSuffix)) return base + number + QLatin1Char('.') + suffix;
  QString name = base;
  if (name.endsWith(QLatin1Char('.'))) name.chop(1);
  return name + number + QLatin1Char('.') + formatSuffix;
}

QString SaveStartFolder(const QString& folder, const QString& documentFile) {
  auto writable = [](const QString& path) {
    const QFileInfo info(path);
    return !path.isEmpty() && info.isDir() && info.isWritable();
  };
  if (writable(folder)) return folder;
  if (!documentFile.isEmpty() && writable(QFileInfo(documentFile).absolutePath()))
    return QFileInfo(documentFile).absolutePath();
  const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
  return writable(pictures) ? pictures : QDir::homePath();
}

int JpegQualityForTrack(int position) {
  static constexpr std::array<int, 5> kQuality = {100, 75, 50, 25, 1};
  return kQuality[static_cast<std::size_t>(std::clamp(position, 0, 4))];
}

}  // namespace movinta::editor
