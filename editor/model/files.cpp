#include "editor/model/files.h"

#include "editor/model/string_tables.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace movinta::editor {

namespace {
int LastDotOfName(const QString& path) {
  const int slash = path.lastIndexOf(QLatin1Char('/'));
  const int dot = path.lastIndexOf(QLatin1Char('.'));
  return dot > slash ? dot : -1;
}
}  // namespace

std::uint8_t GetFileTypeCode(const QString& fileName) {
  const int dot = LastDotOfName(fileName);
  if (dot < 0) return kFileTypeUnknown;
  const QString ext = fileName.mid(dot).toLower();
  for (std::uint8_t code = 0; code <= kFileTypeAvi; ++code)
    if (ext == QLatin1String(kExtensions[code])) return code;
  return kFileTypeUnknown;
}

QString GetTempDirectory() {
  // TMPDIR as given: a folder that does not exist must fail the file creation rather than send
  // private files somewhere else (Qt's own lookup falls back to the working folder then).
  QString dir = qEnvironmentVariable("TMPDIR");
  if (dir.isEmpty()) dir = QStringLiteral("/tmp");
  dir = QDir::cleanPath(dir);
  return QDir::isAbsolutePath(dir) ? dir : QDir(dir).absolutePath();
}

QString GetUniqueTempFileName(const QString& folder, const QString& prefix) {
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) return {};
  QTemporaryFile file(QDir(folder).filePath(prefix + QStringLiteral("XXXXXX.tmp")));
  file.setAutoRemove(false);
  if (!file.open()) return {};  // created with O_EXCL and mode 0600
  file.close();
  return file.fileName();
}

QString NewWorkingTempFile() { return GetUniqueTempFileName(GetTempDirectory(), Tr(texts::kTempPrefix)); }

void DeleteTempFile(const QString& name) {
  if (!name.isEmpty()) QFile::remove(name);
}

QString StripExtension(const QString& fileName) {
  const int dot = LastDotOfName(fileName);
  return dot < 0 ? fileName : fileName.left(dot);
}

QString FileNameOnly(const QString& path) {
  return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString ExpandFileName(const QString& path) {
  if (path.isEmpty()) return path;
  return QFileInfo(path).absoluteFilePath();
}

}  // namespace movinta::editor
