#include "automation/wiring/editor_automation.h"

#include "automation/addins.h"
#include "editor/main_window.h"

namespace movinta::wiring {

TEditorAutomation::TEditorAutomation(editor::TfrmMain& main)
    : main_(&main), host_(main), server_(std::make_unique<automation::TAutomationServer>(host_)) {
  main.LoadPlugins = [this] { automation::LoadPlugins(host_); };
}

TEditorAutomation::~TEditorAutomation() {
  // Without the server there is nothing to load the add-ins into.
  if (main_) main_->LoadPlugins = nullptr;
}

}  // namespace movinta::wiring
