// What the machine gives a benchmark run: the cores it may use, the load average and the threads the
// timed code runs on. A ratio measured on a busy machine says less than one measured on free cores.
#pragma once

#include <sched.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace bench {

inline int UsableCores() {
  cpu_set_t set;
  CPU_ZERO(&set);
  return sched_getaffinity(0, sizeof set, &set) == 0 ? CPU_COUNT(&set) : 0;
}

// `threads` says what the timed code runs on, as a number or in words where it is not one number.
inline void PrintMachine(const char* threads) {
  double load[3] = {0, 0, 0};
  if (getloadavg(load, 3) < 0) load[0] = load[1] = load[2] = -1;
  std::printf("cores this run may use: %d; load average %.2f %.2f %.2f; threads: %s\n", UsableCores(), load[0], load[1],
              load[2], threads);
}

inline void PrintMachine(int threads) { PrintMachine(std::to_string(threads).c_str()); }

}  // namespace bench
