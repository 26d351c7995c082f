// The running editor offered to automation: the host over the main window, the automation server
// over that host, and the add-ins loaded by the main window's deferred start-up.
#pragma once

#include "automation/automation_server.h"
#include "automation/wiring/main_window_host.h"

#include <QPointer>

#include <memory>

namespace movinta::editor {
class TfrmMain;
}

namespace movinta::wiring {

class TEditorAutomation {
public:
  explicit TEditorAutomation(editor::TfrmMain& main);
  ~TEditorAutomation();
  TEditorAutomation(const TEditorAutomation&) = delete;
  TEditorAutomation& operator=(const TEditorAutomation&) = delete;

  std::shared_ptr<automation::TGIFApplication> Application() const { return server_->Application(); }
  // Serves the objects on the session bus; see TAutomationServer::Publish.
  void Publish() { server_->Publish(); }

private:
  QPointer<editor::TfrmMain> main_;
  MainWindowHost host_;
  std::unique_ptr<automation::TAutomationServer> server_;
};

}  // namespace movinta::wiring
