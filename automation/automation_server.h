// The editor's automation server: the one application object over the running editor, served on
// the session bus and kept for the add-ins, and the switches that register the bus service.
#pragma once

#include "automation/automation_host.h"
#include "automation/automation_objects.h"

#include <memory>

namespace movinta::automation {

class TAutomationBus;

class TAutomationServer {
public:
  // host outlives the server.
  explicit TAutomationServer(IAutomationHost& host);
  ~TAutomationServer();
  TAutomationServer(const TAutomationServer&) = delete;
  TAutomationServer& operator=(const TAutomationServer&) = delete;

  std::shared_ptr<TGIFApplication> Application() const { return application_; }
  // Serves the objects on the session bus; what could not be had goes to standard error and the
  // editor goes on without it.
  void Publish();

private:
  std::shared_ptr<TGIFApplication> application_;
  std::unique_ptr<TAutomationBus> bus_;
};

// The application object of the running editor; null before it exists or when it could not be made.
std::shared_ptr<TGIFApplication> AutomationApp();

// "REGSERVER" or "UNREGSERVER" for program: writes or removes the service file; the exit code.
int RunRegistrationSwitch(const QString& switchName, const QString& program);

}  // namespace movinta::automation
