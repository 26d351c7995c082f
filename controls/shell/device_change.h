// The process-wide device-change notice: it watches the mount table (the
// kernel marks /proc/self/mountinfo readable-with-priority when mounts change),
// turns each change into a volume arrival or removal, posts it to itself as
// WM_PT_DEVICECHANGE and then, on the GUI thread, calls every registered control.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/shell/pt_messages.h"

namespace ptshell {

class TPTDeviceChangeHandler : public QObject {
  Q_OBJECT
 public:
  using Callback = std::function<void(TPTDeviceChangeHandler* handler, const TPTMessageEvent& message)>;

  TPTDeviceChangeHandler();
  ~TPTDeviceChangeHandler() override;

  // Appends a registration for `object` (the registering control).
  void Register(const void* object, Callback callback);
  // Removes the first registration of `object`; nothing when there is none.
  void Unregister(const void* object);
  int RegistrationCount() const { return static_cast<int>(Registrations.size()); }

  // The broadcast itself: posts WM_PT_DEVICECHANGE with the same parameters, so
  // the controls hear of it only after the broadcast's own handling returned.
  void DeviceChange(uintptr_t event, intptr_t lParam);
  // Reads the mount table again and announces volumes that came or went.
  void Rescan();
  // Watches the mount-table source again (after MountTable::SetSource).
  void Rewatch();

  bool Enabled = true;

 protected:
  bool event(QEvent* e) override;

 private:
  struct Registration {
    uint64_t Id;
    const void* Object;
    Callback Function;
  };
  void Dispatch(const TPTMessageEvent& message);
  std::vector<Registration> Registrations;
  uint64_t NextId = 1;
  std::vector<std::string> KnownVolumes;
  int MountFd = -1;
  std::unique_ptr<QSocketNotifier> Notifier;
};

// The singleton, created on first use and freed when the application object goes.
TPTDeviceChangeHandler* DeviceChangeHandler();

}  // namespace ptshell
