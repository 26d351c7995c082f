// TChangeHandlerThread watches folders for one window (a shell tree or list)
// and posts it WM_PT_CHANGENOTIFY with the slot number for every change. It runs
// over one inotify descriptor and an eventfd as the command event. A slot is one
// logical watch: a plain slot watches its folder; a subtree slot watches its root
// and every loaded folder below it that the control announces with
// WatchLoadedFolder (inotify has no subtree watch), so a tree's volume roots
// stay within the 63 slots. AddWatch answers false when the slots are full, the
// path cannot be watched, or the per-user inotify limit is reached.
#pragma once

#include <QObject>
#include <condition_variable>
#include <functional>
#include <cstdint>
#include <map>
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

  // Starts the worker; `window` receives the posted notices (none when null)
  // and must outlive the thread.
  TChangeHandlerThread(QObject* window, int message);
  // Stops and joins the worker, then closes every watch.
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
  bool Running() const { return Started; }

  // How long a command is waited for. A command that is not answered in time
  // is withdrawn: if the worker still carries it out, an added watch is closed
  // again, and its late answer is never taken for a later command's.
  int CommandTimeoutMs = 2000;
  // Called on the worker before it carries out each command (tests stall it here).
  std::function<void()> OnExecute;

 private:
  enum class Cmd { Add, RemoveOne, RemoveAll, WatchLoaded, ForgetLoaded };
  struct Command {
    Cmd Kind = Cmd::Add;
    uint64_t Seq = 0;
    std::string Path;
    uint32_t Filter = 0;
    bool Subtree = false;
    int Slot = -1;
  };
  struct Slot {
    bool Used = false;
    std::string Root;
    uint32_t Filter = 0;
    bool Subtree = false;
    int RootWd = -1;
    std::set<int> Wds;
  };
  struct Watch {
    std::string Path;
    std::set<int> Slots;
  };

  // Runs a command on the worker and waits for its own acknowledgement.
  std::optional<int> Send(Command command);
  void Execute(Command& command, int& result);
  int AddWd(int slot, const std::string& path);
  void DropWd(int slot, int wd);
  void FreeSlot(int slot);
  void Run();
  void ReadEvents(std::vector<int>& changed);

  QObject* NotifyWindow;
  int NotifyMessage;
  int InotifyFd = -1;
  int CommandEvent = -1;
  bool Started = false;

  std::mutex SendMutex;  // one command in flight
  std::mutex Mutex;      // guards the command fields below; the slots are the worker's alone
  std::condition_variable Done;
  std::optional<Command> Pending;
  uint64_t NextSeq = 0;
  uint64_t AckSeq = 0;
  uint64_t WithdrawnSeq = 0;
  int ResultIndex = -1;
  bool Exit = false;
  std::vector<Slot> Slots;
  std::map<int, Watch> Watches;
  std::thread Worker;
};

}  // namespace ptshell
