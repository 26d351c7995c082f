#include "automation/automation_server.h"

#include "automation/dbus_front.h"
#include "automation/service_file.h"

#include <QDBusConnection>

#include <cstdio>

namespace movinta::automation {

namespace {
std::weak_ptr<TGIFApplication> g_application;
}

TAutomationServer::TAutomationServer(IAutomationHost& host)
    : application_(std::make_shared<TGIFApplication>(host)), bus_(std::make_unique<TAutomationBus>(application_)) {
  g_application = application_;
}

TAutomationServer::~TAutomationServer() {
  bus_.reset();
  application_.reset();
}

void TAutomationServer::Publish() {
  QStringList warnings;
  bus_->Publish(QDBusConnection::sessionBus(), &warnings);
  for (const QString& w : warnings) std::fprintf(stderr, "Movinta6: %s\n", qPrintable(w));
}

std::shared_ptr<TGIFApplication> AutomationApp() { return g_application.lock(); }

int RunRegistrationSwitch(const QString& switchName, const QString& program) {
  QString error;
  const bool ok = switchName == QLatin1String("REGSERVER") ? RegisterServer(program, &error)
                                                            : UnregisterServer(program, &error);
  if (!ok) {
    std::fprintf(stderr, "Movinta6: %s: %s\n", qPrintable(ServiceFilePath()), qPrintable(error));
    return 1;
  }
  return 0;
}

}  // namespace movinta::automation
