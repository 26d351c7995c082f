// Starting helper threads where the system may refuse them: a process near its address-space
// or thread limit gets fewer threads doing the same work, never an error.
#pragma once

#include <atomic>
#include <functional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace gif {

// Asked before each helper thread starts; true refuses it as the system would. Tests set it
// to see the work done on fewer threads; empty in the program.
inline std::function<bool()> RefuseThreadForTest;

// Starts a thread running body and adds it to threads; false when none could be started.
template <typename Body>
bool TryStartThread(std::vector<std::thread>& threads, Body&& body) {
  if (RefuseThreadForTest && RefuseThreadForTest()) return false;
  try {
    threads.emplace_back(std::forward<Body>(body));
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

// Starts up to `count` threads running body, stopping at the first refusal; returns how many run.
template <typename Body>
int StartThreads(std::vector<std::thread>& threads, int count, const Body& body) {
  int started = 0;
  while (started < count && TryStartThread(threads, body)) ++started;
  return started;
}

// Runs work(0 .. count - 1) on up to `threads` threads, the caller's among them. Work must not throw.
template <typename Work>
void RunOnThreads(int count, int threads, Work work) {
  std::atomic<int> next{0};
  auto drain = [&] {
    for (int k = next++; k < count; k = next++) work(k);
  };
  std::vector<std::thread> helpers;
  StartThreads(helpers, threads - 1, drain);
  drain();
  for (std::thread& h : helpers) h.join();
}

}  // namespace gif
