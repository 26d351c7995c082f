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

TChangeHandlerThread::TChangeHandlerThread(QObject* window, int message)
    : NotifyWindow(window), NotifyMessage(message), Slots(kSlotCount) {
  InotifyFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  CommandEvent = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (InotifyFd < 0 || CommandEvent < 0) return;
  Worker = std::thread([this] { Run(); });
  Started = true;
}

TChangeHandlerThread::~TChangeHandlerThread() {
  {
    std::lock_guard lock(Mutex);
    Exit = true;
  }
  if (CommandEvent >= 0) {
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(CommandEvent, &one, sizeof one);
  }
  if (Worker.joinable()) Worker.join();
  // Closing the descriptor closes every watch it holds, once.
  if (InotifyFd >= 0) close(InotifyFd);
  if (CommandEvent >= 0) close(CommandEvent);
}

std::optional<int> TChangeHandlerThread::Send(Command command) {
  if (!Started) return std::nullopt;
  std::lock_guard serial(SendMutex);
  std::unique_lock lock(Mutex);
  command.Seq = ++NextSeq;
  const uint64_t seq = command.Seq;
  Pending = std::move(command);
  const uint64_t one = 1;
  [[maybe_unused]] ssize_t n = write(CommandEvent, &one, sizeof one);
  if (!Done.wait_for(lock, std::chrono::milliseconds(CommandTimeoutMs), [&] { return AckSeq >= seq; })) {
    if (Pending && Pending->Seq == seq) Pending.reset();  // never taken: never carried out
    else WithdrawnSeq = seq;                              // being carried out: undone when done
    return std::nullopt;
  }
  return ResultIndex;
}

bool TChangeHandlerThread::AddWatch(const std::string& path, uint32_t notifyFilter, bool watchSubtree, int& slot) {
  slot = -1;
  if (path.empty()) return false;
  Command c;
  c.Kind = Cmd::Add;
  c.Path = shellns::CleanPath(path);
  c.Filter = notifyFilter;
  c.Subtree = watchSubtree;
  const auto r = Send(std::move(c));
  if (!r || *r < 0) return false;
  slot = *r;
  return true;
}

bool TChangeHandlerThread::RemoveWatch(int slot) {
  Command c;
  c.Kind = Cmd::RemoveOne;
  c.Slot = slot;
  const auto r = Send(std::move(c));
  return r && *r >= 0;
}

void TChangeHandlerThread::RemoveAllWatches() {
  Command c;
  c.Kind = Cmd::RemoveAll;
  Send(std::move(c));
}

bool TChangeHandlerThread::WatchLoadedFolder(const std::string& path) {
  if (path.empty()) return false;
  Command c;
  c.Kind = Cmd::WatchLoaded;
  c.Path = shellns::CleanPath(path);
  const auto r = Send(std::move(c));
  return r && *r > 0;
}

void TChangeHandlerThread::ForgetLoadedFolder(const std::string& path) {
  Command c;
  c.Kind = Cmd::ForgetLoaded;
  c.Path = shellns::CleanPath(path);
  Send(std::move(c));
}

int TChangeHandlerThread::AddWd(int slot, const std::string& path) {
  Slot& s = Slots[static_cast<size_t>(slot)];
  const int wd = inotify_add_watch(InotifyFd, path.c_str(), MaskOf(s.Filter) | IN_MASK_ADD | IN_ONLYDIR);
  if (wd < 0) return -1;
  Watch& w = Watches[wd];
  w.Path = path;
  w.Slots.insert(slot);
  s.Wds.insert(wd);
  return wd;
}

void TChangeHandlerThread::DropWd(int slot, int wd) {
  Slots[static_cast<size_t>(slot)].Wds.erase(wd);
  const auto it = Watches.find(wd);
  if (it == Watches.end()) return;
  it->second.Slots.erase(slot);
  if (it->second.Slots.empty()) {
    inotify_rm_watch(InotifyFd, wd);
    Watches.erase(it);
  }
}

void TChangeHandlerThread::FreeSlot(int slot) {
  Slot& s = Slots[static_cast<size_t>(slot)];
  const std::set<int> wds = s.Wds;
  for (int wd : wds) DropWd(slot, wd);
  s = Slot{};
}

void TChangeHandlerThread::Execute(Command& c, int& result) {
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

void TChangeHandlerThread::ReadEvents(std::vector<int>& changed) {
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

void TChangeHandlerThread::Run() {
  pollfd fds[2] = {{CommandEvent, POLLIN, 0}, {InotifyFd, POLLIN, 0}};
  for (;;) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    std::optional<Command> command;
    {
      std::lock_guard lock(Mutex);
      if (Exit) return;
      if (fds[0].revents & POLLIN) {
        uint64_t count = 0;
        [[maybe_unused]] ssize_t n = read(CommandEvent, &count, sizeof count);
        command = std::move(Pending);
        Pending.reset();
      }
    }
    if (command) {
      // Outside the lock: adding a watch looks the path up, which can hang on
      // a dead network mount, and the GUI thread must still be able to give up.
      if (OnExecute) OnExecute();
      int result = -1;
      Execute(*command, result);
      std::lock_guard lock(Mutex);
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
    if (NotifyWindow)
      for (int slot : changed)
        if (slot >= 0 && slot < kSlotCount)
          QCoreApplication::postEvent(NotifyWindow, new TPTMessageEvent(NotifyMessage, static_cast<uintptr_t>(slot), 0));
  }
}

}  // namespace ptshell
