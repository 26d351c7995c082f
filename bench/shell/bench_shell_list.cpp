// Lists a folder of 10,000 files in the shell list (bind, enumerate, item test,
// sort by name, first paint of the details view), resynchronises it unchanged
// and after 100 files were added, side by side with "ls -l" over the same folder
// (the names, sizes and dates of every entry, sorted by name) in the same run;
// then the same fill, paint and resync in the list view, whose items all take
// the width of the widest name.
//
//   bench_shell_list [files] [repeats]
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QTreeView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "bench/common/machine.h"
#include "controls/shell/widgets/ptshelllist.h"
#include "platform/shellnamespace/file_operations.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

void Touch(const std::string& path, size_t bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << std::string(bytes, 'x');
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int files = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
  const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;

  const char* tmp = std::getenv("TMPDIR");
  std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/bench-shell-XXXXXX";
  if (!mkdtemp(dir.data())) {
    std::perror("mkdtemp");
    return 1;
  }
  for (int i = 0; i < files; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "/frame %05d.%s", (i * 7919) % files, i % 3 ? "gif" : "png");
    Touch(dir + name, static_cast<size_t>(i % 97));
  }
  for (int i = 0; i < 20; ++i) mkdir((dir + "/folder " + std::to_string(i)).c_str(), 0700);

  double fill = 1e30, paint = 1e30, resync = 1e30, resyncAdded = 1e30, peer = 1e30;
  double listFill = 1e30, listPaint = 1e30, listResyncAdded = 1e30;
  int listed = 0;
  for (int r = 0; r < repeats; ++r) {
    {
      ptshell::TPTShellList list;
      list.SetOptions(ptshell::kShellListDefaultOptions & ~ptshell::ptsloDynamicRefresh);
      list.SetViewStyle(ptshell::vsList);
      list.resize(800, 600);
      list.show();
      QApplication::processEvents();
      const auto t0 = Clock::now();
      list.Folder().SetPath(dir);
      const auto t1 = Clock::now();
      list.grab();
      const auto t2 = Clock::now();
      for (int i = 0; i < 100; ++i) Touch(dir + "/added " + std::to_string(i) + ".gif", 1);
      const auto t3 = Clock::now();
      list.Resync();
      list.grab();
      const auto t4 = Clock::now();
      for (int i = 0; i < 100; ++i) unlink((dir + "/added " + std::to_string(i) + ".gif").c_str());
      listFill = std::min(listFill, Ms(t0, t1));
      listPaint = std::min(listPaint, Ms(t1, t2));
      listResyncAdded = std::min(listResyncAdded, Ms(t3, t4));
    }
    ptshell::TPTShellList list;
    list.SetOptions(ptshell::kShellListDefaultOptions & ~ptshell::ptsloDynamicRefresh);
    list.SetViewStyle(ptshell::vsReport);
    list.resize(800, 600);
    list.show();
    QApplication::processEvents();
    const auto t0 = Clock::now();
    list.Folder().SetPath(dir);
    const auto t1 = Clock::now();
    list.grab();
    const auto t2 = Clock::now();
    list.Resync();
    const auto t3 = Clock::now();
    for (int i = 0; i < 100; ++i) Touch(dir + "/added " + std::to_string(i) + ".gif", 1);
    const auto t4 = Clock::now();
    list.Resync();
    const auto t5 = Clock::now();
    listed = list.ItemCount();
    for (int i = 0; i < 100; ++i) unlink((dir + "/added " + std::to_string(i) + ".gif").c_str());
    fill = std::min(fill, Ms(t0, t1));
    paint = std::min(paint, Ms(t1, t2));
    resync = std::min(resync, Ms(t2, t3));
    resyncAdded = std::min(resyncAdded, Ms(t4, t5));

    const std::string command = "LC_ALL=C ls -l '" + dir + "' > /dev/null";
    const auto p0 = Clock::now();
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "ls failed\n");
    peer = std::min(peer, Ms(p0, Clock::now()));
  }
  bench::PrintMachine("1 (the GUI thread; ls one process)");
  std::printf("shell list, %d entries (%d files, 20 folders), best of %d\n", listed - 100, files, repeats);
  std::printf("  fill (bind, enumerate, test, sort): %8.1f ms\n", fill);
  std::printf("  first paint, details view:          %8.1f ms\n", paint);
  std::printf("  fill + first paint:                 %8.1f ms\n", fill + paint);
  std::printf("  resync, nothing changed:            %8.1f ms\n", resync);
  std::printf("  resync, 100 files added:            %8.1f ms\n", resyncAdded);
  std::printf("  peer: ls -l of the same folder:     %8.1f ms\n", peer);
  std::printf("  ratio fill + paint / ls -l:         %8.2f\n", (fill + paint) / peer);
  std::printf("  list view: fill:                    %8.1f ms\n", listFill);
  std::printf("  list view: first paint:             %8.1f ms\n", listPaint);
  std::printf("  list view: resync + paint, 100 added: %6.1f ms\n", listResyncAdded);
  std::printf("  ratio list fill + paint / ls -l:    %8.2f\n", (listFill + listPaint) / peer);
  shellns::DeletePermanently(dir);
  return 0;
}
