#include "controls/shell/device_change.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>

#include "controls/shell/shell_utils.h"
#include "platform/shellnamespace/mount_table.h"

namespace ptshell {

namespace {

TPTDeviceChangeHandler* g_handler = nullptr;

void FreeDeviceChangeHandler() {
  delete g_handler;
  g_handler = nullptr;
}

std::vector<std::string> VolumeNames() {
  std::vector<std::string> names;
  for (const shellns::Volume& v : shellns::MountTable::Volumes()) names.push_back(v.mountPoint);
  return names;
}

}  // namespace

TPTDeviceChangeHandler* DeviceChangeHandler() {
  if (!g_handler) {
    g_handler = new TPTDeviceChangeHandler;
    qAddPostRoutine(FreeDeviceChangeHandler);
  }
  return g_handler;
}

TPTDeviceChangeHandler::TPTDeviceChangeHandler() {
  KnownVolumes = VolumeNames();
  Rewatch();
}

TPTDeviceChangeHandler::~TPTDeviceChangeHandler() {
  Notifier.reset();
  if (MountFd >= 0) close(MountFd);
  if (g_handler == this) g_handler = nullptr;
}

void TPTDeviceChangeHandler::Rewatch() {
  Notifier.reset();
  if (MountFd >= 0) close(MountFd);
  MountFd = open(shellns::MountTable::Source().c_str(), O_RDONLY | O_CLOEXEC);
  if (MountFd < 0) return;
  Notifier = std::make_unique<QSocketNotifier>(MountFd, QSocketNotifier::Exception);
  connect(Notifier.get(), &QSocketNotifier::activated, this, [this] {
    // The mark clears only after the table is read again from the start.
    char buf[4096];
    lseek(MountFd, 0, SEEK_SET);
    while (read(MountFd, buf, sizeof buf) > 0) {
    }
    Rescan();
  });
}

void TPTDeviceChangeHandler::Register(const void* object, Callback callback) {
  Registrations.push_back(Registration{NextId++, object, std::move(callback)});
}

void TPTDeviceChangeHandler::Unregister(const void* object) {
  const auto it = std::find_if(Registrations.begin(), Registrations.end(),
                               [&](const Registration& r) { return r.Object == object; });
  if (it != Registrations.end()) Registrations.erase(it);
}

void TPTDeviceChangeHandler::DeviceChange(uintptr_t event, intptr_t lParam) {
  QCoreApplication::postEvent(this, new TPTMessageEvent(WM_PT_DEVICECHANGE, event, lParam));
}

void TPTDeviceChangeHandler::Rescan() {
  shellns::MountTable::Invalidate();
  const std::vector<std::string> now = VolumeNames();
  const bool arrived = std::any_of(now.begin(), now.end(), [&](const std::string& v) {
    return std::find(KnownVolumes.begin(), KnownVolumes.end(), v) == KnownVolumes.end();
  });
  const bool removed = std::any_of(KnownVolumes.begin(), KnownVolumes.end(), [&](const std::string& v) {
    return std::find(now.begin(), now.end(), v) == now.end();
  });
  KnownVolumes = now;
  if (arrived) DeviceChange(DBT_DEVICEARRIVAL, 0);
  if (removed) DeviceChange(DBT_DEVICEREMOVECOMPLETE, 0);
}

bool TPTDeviceChangeHandler::event(QEvent* e) {
  if (TPTMessageEvent::MessageOf(e) == WM_PT_DEVICECHANGE) {
    Dispatch(*static_cast<TPTMessageEvent*>(e));
    return true;
  }
  return QObject::event(e);
}

void TPTDeviceChangeHandler::Dispatch(const TPTMessageEvent& message) {
  if (!Enabled) return;
  // A control may register or unregister (itself or another) while being
  // called: walk a snapshot and skip what has been removed meanwhile.
  std::vector<uint64_t> ids;
  for (const Registration& r : Registrations) ids.push_back(r.Id);
  for (uint64_t id : ids) {
    const auto it = std::find_if(Registrations.begin(), Registrations.end(), [&](const Registration& r) { return r.Id == id; });
    if (it == Registrations.end()) continue;
    const Callback call = it->Function;
    try {
      if (call) call(this, message);
    } catch (...) {
      HandleApplicationException(std::current_exception());
    }
  }
}

}  // namespace ptshell
