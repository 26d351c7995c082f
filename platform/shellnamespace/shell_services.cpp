#include "platform/shellnamespace/shell_services.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QMessageBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLocale>
#include <QProcess>
#include <QProgressDialog>
#include <QTimer>
#include <QUrl>

#include "platform/shellnamespace/user_folders.h"

#include <atomic>
#include <thread>

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
  s.transfer = [](QWidget* owner, const QString& text, const std::function<HRESULT(TransferProgress&)>& work) {
    TransferProgress progress;
    if (!HaveWidgets()) return work(progress);
    std::atomic<bool> done{false};
    HRESULT result = S_OK;
    std::thread worker([&] {
      result = work(progress);
      done = true;
    });
    // The window comes up only for a transfer that takes a while; the GUI
    // thread keeps serving events meanwhile.
    QProgressDialog window(text, QStringLiteral("Cancel"), 0, 0, owner);
    window.setObjectName(QStringLiteral("TransferProgress"));
    window.setWindowModality(Qt::ApplicationModal);
    window.setMinimumDuration(0);
    window.setAutoClose(false);
    window.setAutoReset(false);
    window.hide();
    QObject::connect(&window, &QProgressDialog::canceled, [&progress] { progress.Cancel = true; });
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
      if (window.wasCanceled()) progress.Cancel = true;
      if (done) {
        loop.quit();
        return;
      }
      if (!window.isVisible() && clock.elapsed() >= 400) window.show();
      window.setLabelText(text + QLatin1Char('\n') + QLocale().formattedDataSize(static_cast<qint64>(progress.BytesDone)));
    });
    tick.start(30);
    if (!done) loop.exec();
    worker.join();
    return result;
  };
  return s;
}

}  // namespace

ShellServices& Services() {
  static ShellServices services = Defaults();
  return services;
}

void ResetShellServices() { Services() = Defaults(); }

HRESULT RunTransfer(QWidget* owner, const QString& text, const std::function<HRESULT(TransferProgress&)>& work) {
  if (const auto& hook = Services().transfer) return hook(owner, text, work);
  TransferProgress progress;
  return work(progress);
}

}  // namespace shellns
