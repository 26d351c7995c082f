#include "controls/shell/subfolder_probe.h"

#include <QCoreApplication>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

#include "controls/shell/pt_messages.h"
#include "platform/shellnamespace/shell_folder.h"

namespace ptshell {

struct TSubfolderProbe::State {
  std::mutex Mutex;
  std::condition_variable Wake;
  std::deque<std::pair<uint64_t, std::string>> Queue;
  QObject* Window = nullptr;  // null once the owner is gone
  int Message = 0;
  bool Running = false;

  void Run() {
    std::unique_lock lock(Mutex);
    for (;;) {
      Wake.wait(lock, [&] { return !Window || !Queue.empty(); });
      if (!Window) return;
      const auto [id, path] = std::move(Queue.front());
      Queue.pop_front();
      lock.unlock();
      const bool has = shellns::HasSubfolder(path);
      lock.lock();
      // Posted under the lock: once the owner is gone, nothing is posted.
      if (!Window) return;
      QCoreApplication::postEvent(Window, new TPTMessageEvent(Message, static_cast<uintptr_t>(id), has ? 1 : 0));
    }
  }
};

TSubfolderProbe::TSubfolderProbe(QObject* window, int message) : S(std::make_shared<State>()) {
  S->Window = window;
  S->Message = message;
}

TSubfolderProbe::~TSubfolderProbe() {
  std::lock_guard lock(S->Mutex);
  S->Window = nullptr;
  S->Queue.clear();
  S->Wake.notify_all();
}

void TSubfolderProbe::Ask(uint64_t id, const std::string& path) {
  std::lock_guard lock(S->Mutex);
  S->Queue.emplace_back(id, path);
  if (!S->Running) {
    S->Running = true;
    std::thread([state = S] { state->Run(); }).detach();
  }
  S->Wake.notify_all();
}

}  // namespace ptshell
