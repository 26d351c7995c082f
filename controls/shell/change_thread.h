// TChangeHandlerThread watches folders for one window (a shell tree or list)
// and posts it WM_PT_CHANGENOTIFY with the slot number for every change. It runs
// over one inotify descriptor and an eventfd as the command event. A slot is one
// logical watch: a plain slot watches its folder; a subtree slot watches its root
// and every loaded folder below it that the control announces with
// WatchLoadedFolder (inotify has no subtree watch), so a tree's volume roots
// stay within the 63 slots. AddWatch answers false when the slots are full, the
// path cannot be watched, or the per-user inotify limit is reached. The
// worker's state is shared with it, so the owner can give up on a worker that
// hangs (a dead network mount) without waiting for it.
#pragma once

#include <QObject>
#include <condition_variable>
#include <functional>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace ptshell {

inline constexpr uint32_t FILE_NOTIFY_CHANGE_FILE_NAME = 0x1;
inline constexpr uint32_t FILE_NOTIFY_CHANGE_DIR_NAME = 0x2;
inline constexpr uint32_t FILE_NOTIFY_CHANGE_ATTRIBUTES = 0x4;
inline constexpr uint32_t FILE_NOTIFY_CHANGE_SIZE = 0x8;
inline constexpr uint32_t FILE_NOTIFY_CHANGE_LAST_WRITE = 0x10;
inline constexpr uint32_t FILE_NOTIFY_CHANGE_SECURITY = 0x100;

class TChangeHandlerThread {
 public:
  static constexpr int kSlotCount = 63;

  // Starts the worker; `window` receives the posted notices (none when null).
  // Nothing is posted once the destructor has begun.
  TChangeHandlerThread(QObject* window, int message);
  // Stops the worker and waits for it at most JoinTimeoutMs (not at all when
  // it is known to hang in a command); a worker that does not come back is
  // left to end on its own and closes the watches itself then.
  ~TChangeHandlerThread();
  TChangeHandlerThread(const TChangeHandlerThread&) = delete;
  TChangeHandlerThread& operator=(const TChangeHandlerThread&) = delete;

  // Adds a watch in the lowest free slot. False for an empty path (the worker is
  // not woken), a path that cannot be watched, no free slot, or no answer in 2 s.
  bool AddWatch(const std::string& path, uint32_t notifyFilter, bool watchSubtree, int& slot);
  // Closes one slot.
  bool RemoveWatch(int slot);
  void RemoveAllWatches();
  // Adds a loaded folder to every subtree slot whose root holds it; false when
  // none does or it cannot be watched.
  bool WatchLoadedFolder(const std::string& path);
  // Drops a folder that is no longer loaded from the subtree slots.
  void ForgetLoadedFolder(const std::string& path);

  // Whether the worker started (an inotify descriptor could be had).
  bool Running() const;

  // How long a command is waited for. A command that is not answered in time
  // is withdrawn: if the worker still carries it out, an added watch is closed
  // again, and its late answer is never taken for a later command's. While the
  // worker hangs in a withdrawn command for longer than this, later commands
  // fail at once instead of waiting again.
  int CommandTimeoutMs = 2000;
  // How long the destructor waits for the worker to end.
  int JoinTimeoutMs = 30000;
  // Called on the worker before it carries out each command (tests stall it here).
  void SetOnExecute(std::function<void()> hook);

 private:
  struct State;
  std::shared_ptr<State> S;
};

}  // namespace ptshell
