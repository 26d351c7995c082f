// TSubfolderProbe answers, off the GUI thread, whether folders hold folders:
// opening a folder to look can take long on a slow or dead network mount, so a
// tree shows a folder's expand button at once and learns later whether it has
// anything to expand. Each answer is posted to the window as
// WM_PT_SUBFOLDERS with the asker's id and 1 or 0.
#pragma once

#include <QObject>
#include <cstdint>
#include <memory>
#include <string>

namespace ptshell {

class TSubfolderProbe {
 public:
  TSubfolderProbe(QObject* window, int message);
  // Posts nothing more and leaves the worker to end on its own: a probe that
  // hangs is never waited for.
  ~TSubfolderProbe();
  TSubfolderProbe(const TSubfolderProbe&) = delete;
  TSubfolderProbe& operator=(const TSubfolderProbe&) = delete;

  // Queues a folder; its answer arrives later as a posted event.
  void Ask(uint64_t id, const std::string& path);

 private:
  struct State;
  std::shared_ptr<State> S;
};

}  // namespace ptshell
