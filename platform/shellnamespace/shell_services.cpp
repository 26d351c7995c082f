#include "platform/shellnamespace/shell_services.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>

#include "platform/shellnamespace/user_folders.h"

namespace shellns {

namespace {

bool HaveWidgets() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

ShellServices Defaults() {
  ShellServices s;
  s.open = [](const std::string& target) {
    const QUrl url = !target.empty() && target.front() == '/'
                         ? QUrl::fromEncoded(QByteArray::fromStdString("file://" + PercentEncode(target)))
                         : QUrl(QString::fromStdString(target));
    return QDesktopServices::openUrl(url);
  };
  s.launch = [](const QString& program, const QStringList& arguments) {
    return QProcess::startDetached(program, arguments);
  };
  s.confirm = [](QWidget* owner, const QString& text) {
    if (!HaveWidgets()) return false;
    return QMessageBox::question(owner, QString(), text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
           QMessageBox::Yes;
  };
  s.error = [](QWidget* owner, const QString& text) {
    if (HaveWidgets()) QMessageBox::warning(owner, QString(), text);
    else qWarning("%s", qPrintable(text));
  };
  s.properties = [](QWidget* owner, const QString& text) {
    if (HaveWidgets()) QMessageBox::information(owner, QString(), text);
  };
  return s;
}

}  // namespace

ShellServices& Services() {
  static ShellServices services = Defaults();
  return services;
}

void ResetShellServices() { Services() = Defaults(); }

}  // namespace shellns
