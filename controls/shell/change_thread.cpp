#include "controls/shell/change_thread.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cerrno>
#include <chrono>

#include "controls/shell/pt_messages.h"
#include "platform/shellnamespace/user_folders.h"

namespace ptshell {

namespace {

constexpr uint32_t kNameEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
constexpr uint32_t kSelfEvents = IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT;

uint32_t MaskOf(uint32_t filter) {
  uint32_t m = kSelfEvents;
  if (filter & (FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME)) m |= kNameEvents;
  if (filter & (FILE_NOTIFY_CHANGE_ATTRIBUTES | FILE_NOTIFY_CHANGE_SECURITY)) m |= IN_ATTRIB;
  if (filter & (FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE)) m |= IN_MODIFY | IN_CLOSE_WRITE;
  return m;
}

bool Matches(uint32_t filter, uint32_t mask) {
  if (mask & kSelfEvents) return true;
  if (mask & kNameEvents) {
    const bool dir = mask & IN_ISDIR;
    if ((filter & FILE_NOTIFY_CHANGE_DIR_NAME) && dir) return true;
    if ((filter & FILE_NOTIFY_CHANGE_FILE_NAME) && !dir) return true;
  }
  if ((mask & IN_ATTRIB) && (filter & (FILE_NOTIFY_CHANGE_ATTRIBUTES | FILE_NOTIFY_CHANGE_SECURITY))) return true;
  if ((mask & (IN_MODIFY | IN_CLOSE_WRITE)) && (filter & (FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE)))
    return true;
  return false;
}

}  // namespace

// Everything the worker touches lives here, shared by the handle and the
// worker, so a worker left behind by the destructor never reaches freed memory.
struct TChangeHandlerThread::State {
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

  State(QObject* window, int message) : NotifyWindow(window), NotifyMessage(message), Slots(kSlotCount) {}
  ~State() {
    // Closing the descriptor closes every watch it holds, once.
    if (InotifyFd >= 0) close(InotifyFd);
    if (CommandEvent >= 0) close(CommandEvent);
  }

  std::optional<int> Send(Command command, int timeoutMs);
  void Execute(Command& command, int& result);
  int AddWd(int slot, const std::string& path);
  void DropWd(int slot, int wd);
  void FreeSlot(int slot);
  void Run();
  void ReadEvents(std::vector<int>& changed);
  void Wake() {
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(CommandEvent, &one, sizeof one);
  }

  QObject* NotifyWindow;
  int NotifyMessage;
  int InotifyFd = -1;
  int CommandEvent = -1;
  bool Started = false;

  std::mutex SendMutex;  // one command in flight
  std::mutex Mutex;      // guards the fields below up to Slots; the slots are the worker's alone
  std::condition_variable Done;
  std::optional<Command> Pending;
  uint64_t NextSeq = 0;
  uint64_t AckSeq = 0;
  uint64_t WithdrawnSeq = 0;
  int ResultIndex = -1;
  bool Exit = false;
  bool Finished = false;
  // The command the worker is carrying out (0 for none) and since when.
  uint64_t RunningSeq = 0;
  std::chrono::steady_clock::time_point RunningSince;
  std::function<void()> OnExecute;
  std::vector<Slot> Slots;
  std::map<int, Watch> Watches;
};

TChangeHandlerThread::TChangeHandlerThread(QObject* window, int message)
    : S(std::make_shared<State>(window, message)) {
  S->InotifyFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  S->CommandEvent = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (S->InotifyFd < 0 || S->CommandEvent < 0) return;
  std::thread([state = S] {
    state->Run();
    std::lock_guard lock(state->Mutex);
    state->Finished = true;
    state->Done.notify_all();
  }).detach();
  S->Started = true;
}

TChangeHandlerThread::~TChangeHandlerThread() {
  if (!S->Started) return;
  std::unique_lock lock(S->Mutex);
  S->Exit = true;
  S->Wake();
  // A worker that hangs in a command (a dead network mount) is not waited for
  // again; one that is merely busy gets the full bound.
  const bool hanging = S->RunningSeq != 0 && S->WithdrawnSeq == S->RunningSeq;
  const auto bound = std::chrono::milliseconds(hanging ? 0 : JoinTimeoutMs);
  S->Done.wait_for(lock, bound, [&] { return S->Finished; });
}

bool TChangeHandlerThread::Running() const { return S->Started; }

void TChangeHandlerThread::SetOnExecute(std::function<void()> hook) {
  std::lock_guard lock(S->Mutex);
  S->OnExecute = std::move(hook);
}

std::optional<int> TChangeHandlerThread::State::Send(Command command, int timeoutMs) {
  if (!Started) return std::nullopt;
  std::lock_guard serial(SendMutex);
  std::unique_lock lock(Mutex);
  // A worker still hanging in a withdrawn command after a full wait will not
  // answer this one in time either.
  if (RunningSeq != 0 && WithdrawnSeq == RunningSeq &&
      std::chrono::steady_clock::now() - RunningSince >= std::chrono::milliseconds(timeoutMs))
    return std::nullopt;
  command.Seq = ++NextSeq;
  const uint64_t seq = command.Seq;
  Pending = std::move(command);
  Wake();
  if (!Done.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return AckSeq >= seq || Finished; }) ||
      AckSeq < seq) {
    if (Pending && Pending->Seq == seq) Pending.reset();  // never taken: never carried out
    else WithdrawnSeq = seq;                              // being carried out: undone when done
    return std::nullopt;
  }
  return ResultIndex;
}

bool TChangeHandlerThread::AddWatch(const std::string& path, uint32_t notifyFilter, bool watchSubtree, int& slot) {
  slot = -1;
  if (path.empty()) return false;
  State::Command c;
  c.Kind = State::Cmd::Add;
  c.Path = shellns::CleanPath(path);
  c.Filter = notifyFilter;
  c.Subtree = watchSubtree;
  const auto r = S->Send(std::move(c), CommandTimeoutMs);
  if (!r || *r < 0) return false;
  slot = *r;
  return true;
}

bool TChangeHandlerThread::RemoveWatch(int slot) {
  State::Command c;
  c.Kind = State::Cmd::RemoveOne;
  c.Slot = slot;
  const auto r = S->Send(std::move(c), CommandTimeoutMs);
  return r && *r >= 0;
}

void TChangeHandlerThread::RemoveAllWatches() {
  State::Command c;
  c.Kind = State::Cmd::RemoveAll;
  S->Send(std::move(c), CommandTimeoutMs);
}

bool TChangeHandlerThread::WatchLoadedFolder(const std::string& path) {
  if (path.empty()) return false;
  State::Command c;
  c.Kind = State::Cmd::WatchLoaded;
  c.Path = shellns::CleanPath(path);
  const auto r = S->Send(std::move(c), CommandTimeoutMs);
  return r && *r > 0;
}

void TChangeHandlerThread::ForgetLoadedFolder(const std::string& path) {
  State::Command c;
  c.Kind = State::Cmd::ForgetLoaded;
  c.Path = shellns::CleanPath(path);
  S->Send(std::move(c), CommandTimeoutMs);
}

int TChangeHandlerThread::State::AddWd(int slot, const std::string& path) {
  Slot& s = Slots[static_cast<size_t>(slot)];
  const int wd = inotify_add_watch(InotifyFd, path.c_str(), MaskOf(s.Filter) | IN_MASK_ADD | IN_ONLYDIR);
  if (wd < 0) return -1;
  Watch& w = Watches[wd];
  w.Path = path;
  w.Slots.insert(slot);
  s.Wds.insert(wd);
  return wd;
}

void TChangeHandlerThread::State::DropWd(int slot, int wd) {
  Slots[static_cast<size_t>(slot)].Wds.erase(wd);
  const auto it = Watches.find(wd);
  if (it == Watches.end()) return;
  it->second.Slots.erase(slot);
  if (it->second.Slots.empty()) {
    inotify_rm_watch(InotifyFd, wd);
    Watches.erase(it);
  }
}

void TChangeHandlerThread::State::FreeSlot(int slot) {
  Slot& s = Slots[static_cast<size_t>(slot)];
  const std::set<int> wds = s.Wds;
  for (int wd : wds) DropWd(slot, wd);
  s = Slot{};
}

void TChangeHandlerThread::State::Execute(Command& c, int& result) {
  result = -1;
  switch (c.Kind) {
    case Cmd::Add: {
      int slot = -1;
      for (int i = 0; i < kSlotCount && slot < 0; ++i)
        if (!Slots[static_cast<size_t>(i)].Used) slot = i;
      if (slot < 0) return;  // nothing was opened for it
      Slot& s = Slots[static_cast<size_t>(slot)];
      s.Filter = c.Filter;
      s.Subtree = c.Subtree;
      s.Root = c.Path;
      const int wd = AddWd(slot, c.Path);
      if (wd < 0) {
        s = Slot{};
        return;
      }
      s.Used = true;
      s.RootWd = wd;
      result = slot;
      return;
    }
    case Cmd::RemoveOne:
      if (c.Slot >= 0 && c.Slot < kSlotCount && Slots[static_cast<size_t>(c.Slot)].Used) {
        FreeSlot(c.Slot);
        result = c.Slot;
      }
      return;
    case Cmd::RemoveAll:
      for (int i = 0; i < kSlotCount; ++i)
        if (Slots[static_cast<size_t>(i)].Used) FreeSlot(i);
      result = 0;
      return;
    case Cmd::WatchLoaded: {
      int added = 0;
      for (int i = 0; i < kSlotCount; ++i) {
        const Slot& s = Slots[static_cast<size_t>(i)];
        if (s.Used && s.Subtree && shellns::PathIsWithin(c.Path, s.Root) && AddWd(i, c.Path) >= 0) ++added;
      }
      result = added;
      return;
    }
    case Cmd::ForgetLoaded:
      for (int i = 0; i < kSlotCount; ++i) {
        Slot& s = Slots[static_cast<size_t>(i)];
        if (!s.Used || !s.Subtree) continue;
        const std::set<int> wds = s.Wds;
        for (int wd : wds)
          if (wd != s.RootWd && Watches.count(wd) && Watches[wd].Path == c.Path) DropWd(i, wd);
      }
      result = 0;
      return;
  }
}

void TChangeHandlerThread::State::ReadEvents(std::vector<int>& changed) {
  alignas(inotify_event) char buf[16384];
  std::set<int> dirty;
  for (;;) {
    const ssize_t n = read(InotifyFd, buf, sizeof buf);
    if (n <= 0) break;
    for (char* p = buf; p < buf + n;) {
      const auto* e = reinterpret_cast<const inotify_event*>(p);
      p += sizeof(inotify_event) + e->len;
      if (e->mask & IN_Q_OVERFLOW) {
        for (int i = 0; i < kSlotCount; ++i)
          if (Slots[static_cast<size_t>(i)].Used) dirty.insert(i);
        continue;
      }
      const auto it = Watches.find(e->wd);
      if (it == Watches.end()) continue;
      const std::set<int> owners = it->second.Slots;
      for (int s : owners)
        if (Matches(Slots[static_cast<size_t>(s)].Filter, e->mask)) dirty.insert(s);
      if (e->mask & IN_IGNORED) {
        // The folder is gone: a slot whose root it was is freed; a loaded folder
        // below a subtree root only leaves its slot.
        for (int s : owners) {
          if (Slots[static_cast<size_t>(s)].RootWd == e->wd) {
            dirty.insert(s);
            FreeSlot(s);
          } else {
            Slots[static_cast<size_t>(s)].Wds.erase(e->wd);
          }
        }
        Watches.erase(e->wd);
      }
    }
  }
  changed.assign(dirty.begin(), dirty.end());
}

void TChangeHandlerThread::State::Run() {
  pollfd fds[2] = {{CommandEvent, POLLIN, 0}, {InotifyFd, POLLIN, 0}};
  for (;;) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    std::optional<Command> command;
    std::function<void()> hook;
    {
      std::lock_guard lock(Mutex);
      if (Exit) return;
      if (fds[0].revents & POLLIN) {
        uint64_t count = 0;
        [[maybe_unused]] ssize_t n = read(CommandEvent, &count, sizeof count);
        command = std::move(Pending);
        Pending.reset();
        if (command) {
          RunningSeq = command->Seq;
          RunningSince = std::chrono::steady_clock::now();
          hook = OnExecute;
        }
      }
    }
    if (command) {
      // Outside the lock: adding a watch looks the path up, which can hang on
      // a dead network mount, and the GUI thread must still be able to give up.
      if (hook) hook();
      int result = -1;
      Execute(*command, result);
      std::lock_guard lock(Mutex);
      RunningSeq = 0;
      if (WithdrawnSeq == command->Seq) {
        if (command->Kind == Cmd::Add && result >= 0) FreeSlot(result);
      } else {
        ResultIndex = result;
        AckSeq = command->Seq;
        Done.notify_all();
      }
    }
    std::vector<int> changed;
    if (fds[1].revents & POLLIN) ReadEvents(changed);
    // Posted under the lock: once the owner has said exit, nothing more is posted.
    std::lock_guard lock(Mutex);
    if (Exit) return;
    if (NotifyWindow)
      for (int slot : changed)
        if (slot >= 0 && slot < kSlotCount)
          QCoreApplication::postEvent(NotifyWindow, new TPTMessageEvent(NotifyMessage, static_cast<uintptr_t>(slot), 0));
  }
}

}  // namespace ptshell
