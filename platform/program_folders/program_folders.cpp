#include "platform/program_folders/program_folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace movinta::platform {

namespace {
constexpr const char* kDataEnv = "MOVINTA6_DATA_DIR";
constexpr const char* kDataBelowPrefix = "share/movinta6";

QString Clean(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }
}  // namespace

QString ProgramFolder() {
  return QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
}

QString SharedDataFolder() {
  const QString fromEnv = qEnvironmentVariable(kDataEnv);
  if (!fromEnv.isEmpty()) return Clean(fromEnv);
  // The program file sits in <prefix>/bin when installed, in <build>/editor in the build tree;
  // the data is in <prefix>/share/movinta6 and <build>/share/movinta6.
  const QDir program(ProgramFolder());
  return Clean(program.filePath(QStringLiteral("../") + QLatin1String(kDataBelowPrefix)));
}

QString ProgramAddInFolder() {
  return Clean(QDir(ProgramFolder()).filePath(QStringLiteral("../lib/movinta6/addins")));
}

QString UserDataFolder() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  if (folder.isEmpty()) folder = QDir::home().filePath(QStringLiteral(".local/share/movinta6"));
  return Clean(folder);
}

QString SampleImagesFolder() { return QDir(SharedDataFolder()).filePath(QStringLiteral("images")); }

QString WorkingFolder() {
  const QString folder = QDir(UserDataFolder()).filePath(QStringLiteral("working"));
  if (!QDir().mkpath(folder)) return QString();
  return folder;
}

bool IsInFolder(const QString& path, const QString& folder) {
  if (path.isEmpty() || folder.isEmpty()) return false;
  const QString p = Clean(path);
  QString f = Clean(folder);
  if (p == f) return true;
  if (!f.endsWith(QLatin1Char('/'))) f += QLatin1Char('/');
  return p.startsWith(f);
}

}  // namespace movinta::platform
