#include "automation/service_file.h"

#include "automation/dbus_front.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

namespace movinta::automation {

QString ServiceFilePath() {
  QString data = qEnvironmentVariable("XDG_DATA_HOME");
  if (data.isEmpty() || QDir::isRelativePath(data))
    data = QDir::homePath() + QStringLiteral("/.local/share");
  return data + QStringLiteral("/dbus-1/services/%1.service").arg(QLatin1String(kServiceName));
}

QString ServiceFileText(const QString& program) {
  // The desktop-entry quoting of the service file: a path with blanks or quotes goes in quotes.
  QString exec = program;
  if (exec.contains(QRegularExpression(QStringLiteral("[\\s\"'\\\\$`]")))) {
    exec.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    for (const char* c : {"\"", "`", "$"}) exec.replace(QLatin1String(c), QStringLiteral("\\") + QLatin1String(c));
    exec = QLatin1Char('"') + exec + QLatin1Char('"');
  }
  return QStringLiteral("[D-BUS Service]\nName=%1\nExec=%2 --automation\n").arg(QLatin1String(kServiceName), exec);
}

bool RegisterServer(const QString& program, QString* error) {
  const QString path = ServiceFilePath();
  if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
    if (error) *error = QStringLiteral("Cannot make the folder %1").arg(QFileInfo(path).absolutePath());
    return false;
  }
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    if (error) *error = file.errorString();
    return false;
  }
  file.write(ServiceFileText(program).toUtf8());
  if (!file.commit()) {
    if (error) *error = file.errorString();
    return false;
  }
  return true;
}

bool UnregisterServer(const QString& program, QString* error) {
  const QString path = ServiceFilePath();
  QFile file(path);
  if (!file.exists()) return true;
  if (!file.open(QIODevice::ReadOnly)) {
    if (error) *error = file.errorString();
    return false;
  }
  const QString text = QString::fromUtf8(file.readAll());
  file.close();
  // Another program's registration under our name is not ours to remove.
  if (text != ServiceFileText(program)) return true;
  if (!QFile::remove(path)) {
    if (error) *error = QStringLiteral("Cannot remove %1").arg(path);
    return false;
  }
  return true;
}

}  // namespace movinta::automation
