#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <atomic>
#include <thread>

#include "controls/shell/change_thread.h"
#include "controls/shell/pt_messages.h"
#include "shell_fixture.h"

using namespace ptshell;

namespace {

class Receiver : public QObject {
 public:
  bool event(QEvent* e) override {
    if (TPTMessageEvent::MessageOf(e) == WM_PT_CHANGENOTIFY) {
      slots_.push_back(static_cast<int>(static_cast<TPTMessageEvent*>(e)->WParam));
      return true;
    }
    return QObject::event(e);
  }
  // Pumps events until `count` notices arrived or the time is up.
  bool WaitFor(size_t count, int ms = 3000) {
    return WaitUntil([&] { return slots_.size() >= count; }, ms);
  }
  template <class Pred>
  bool WaitUntil(Pred done, int ms = 3000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
  }
  bool Saw(int slot) const { return std::find(slots_.begin(), slots_.end(), slot) != slots_.end(); }
  std::vector<int> slots_;
};

}  // namespace

using ChangeThread = ShellTree;

TEST_F(ChangeThread, SixtyThreeSlotsThenTheNextIsRefused) {
  TChangeHandlerThread thread(nullptr, WM_PT_CHANGENOTIFY);
  ASSERT_TRUE(thread.Running());
  for (int i = 0; i < 64; ++i) MakeDir(root + "/w" + std::to_string(i));
  for (int i = 0; i < TChangeHandlerThread::kSlotCount; ++i) {
    int slot = -1;
    ASSERT_TRUE(thread.AddWatch(root + "/w" + std::to_string(i), 3, false, slot));
    EXPECT_EQ(slot, i);
  }
  int slot = -1;
  EXPECT_FALSE(thread.AddWatch(root + "/w63", 3, false, slot));
  EXPECT_EQ(slot, -1);
  thread.RemoveAllWatches();
  EXPECT_TRUE(thread.AddWatch(root + "/w63", 3, false, slot));
  EXPECT_EQ(slot, 0);
  EXPECT_FALSE(thread.AddWatch("", 3, false, slot));
  EXPECT_FALSE(thread.AddWatch(root + "/missing", 3, false, slot));
}

TEST_F(ChangeThread, ALateAnswerIsNeverTakenForTheNextCommand) {
  TChangeHandlerThread thread(nullptr, WM_PT_CHANGENOTIFY);
  thread.CommandTimeoutMs = 100;
  std::atomic<int> calls{0};
  thread.SetOnExecute([&] {
    if (calls++ == 0) std::this_thread::sleep_for(std::chrono::milliseconds(300));
  });
  MakeDir(root + "/slow");
  MakeDir(root + "/next");
  int slot = -1;
  EXPECT_FALSE(thread.AddWatch(root + "/slow", 3, false, slot)) << "no answer in time";
  thread.CommandTimeoutMs = 2000;
  ASSERT_TRUE(thread.AddWatch(root + "/next", 3, false, slot));
  EXPECT_EQ(slot, 0) << "the withdrawn watch was closed again, so slot 0 is free";
  ASSERT_TRUE(thread.AddWatch(root + "/slow", 3, false, slot));
  EXPECT_EQ(slot, 1);
}

TEST_F(ChangeThread, AChangePostsItsSlotAndSlotsAreReusedLowestFirst) {
  Receiver r;
  TChangeHandlerThread thread(&r, WM_PT_CHANGENOTIFY);
  for (const char* d : {"/a", "/b", "/c"}) MakeDir(root + d);
  int a = -1, b = -1, c = -1;
  ASSERT_TRUE(thread.AddWatch(root + "/a", 3, false, a));
  ASSERT_TRUE(thread.AddWatch(root + "/b", 3, false, b));
  WriteFile(root + "/b/new.txt", "x");
  ASSERT_TRUE(r.WaitFor(1));
  EXPECT_EQ(r.slots_.front(), b);
  ASSERT_TRUE(thread.RemoveWatch(a));
  ASSERT_TRUE(thread.AddWatch(root + "/c", 3, false, c));
  EXPECT_EQ(c, a);
  r.slots_.clear();
  unlink((root + "/b/new.txt").c_str());
  MakeDir(root + "/c/sub");
  EXPECT_TRUE(r.WaitUntil([&] { return r.Saw(b) && r.Saw(c); }));
  for (int s : r.slots_) EXPECT_TRUE(s == b || s == c) << s;
}

TEST_F(ChangeThread, TheFilterChoosesFileOrFolderNames) {
  Receiver r;
  TChangeHandlerThread thread(&r, WM_PT_CHANGENOTIFY);
  MakeDir(root + "/d");
  int slot = -1;
  ASSERT_TRUE(thread.AddWatch(root + "/d", FILE_NOTIFY_CHANGE_DIR_NAME, false, slot));
  WriteFile(root + "/d/file.txt", "x");
  EXPECT_FALSE(r.WaitFor(1, 300)) << "a file name is no folder name";
  MakeDir(root + "/d/folder");
  EXPECT_TRUE(r.WaitFor(1));
}

TEST_F(ChangeThread, ASubtreeSlotWatchesTheLoadedFoldersBelowItsRoot) {
  Receiver r;
  TChangeHandlerThread thread(&r, WM_PT_CHANGENOTIFY);
  MakeDir(root + "/vol/a/b");
  MakeDir(root + "/elsewhere");
  int slot = -1;
  ASSERT_TRUE(thread.AddWatch(root + "/vol", 3, true, slot));
  WriteFile(root + "/vol/a/b/early.txt", "x");
  EXPECT_FALSE(r.WaitFor(1, 300)) << "a folder not yet loaded is not watched";
  EXPECT_TRUE(thread.WatchLoadedFolder(root + "/vol/a/b"));
  EXPECT_FALSE(thread.WatchLoadedFolder(root + "/elsewhere"));
  WriteFile(root + "/vol/a/b/late.txt", "x");
  ASSERT_TRUE(r.WaitFor(1));
  EXPECT_EQ(r.slots_.front(), slot);
  thread.ForgetLoadedFolder(root + "/vol/a/b");
  r.slots_.clear();
  WriteFile(root + "/vol/a/b/forgotten.txt", "x");
  EXPECT_FALSE(r.WaitFor(1, 300));
}

TEST_F(ChangeThread, AWatchedFolderThatGoesAwayPostsAndFreesItsSlot) {
  Receiver r;
  TChangeHandlerThread thread(&r, WM_PT_CHANGENOTIFY);
  MakeDir(root + "/gone");
  MakeDir(root + "/next");
  int slot = -1, next = -1;
  ASSERT_TRUE(thread.AddWatch(root + "/gone", 3, false, slot));
  ASSERT_EQ(rmdir((root + "/gone").c_str()), 0);
  ASSERT_TRUE(r.WaitFor(1));
  EXPECT_EQ(r.slots_.front(), slot);
  // The worker frees the slot while handling the same events.
  ASSERT_TRUE(thread.AddWatch(root + "/next", 3, false, next));
  EXPECT_EQ(next, slot);
}

TEST_F(ChangeThread, DestroyingWhileChangesArriveJoinsCleanly) {
  Receiver r;
  MakeDir(root + "/busy");
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    for (int i = 0; !stop && i < 2000; ++i) WriteFile(root + "/busy/f" + std::to_string(i % 20), "x");
  });
  {
    TChangeHandlerThread thread(&r, WM_PT_CHANGENOTIFY);
    int slot = -1;
    EXPECT_TRUE(thread.AddWatch(root + "/busy", 0x1F, false, slot));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  stop = true;
  writer.join();
  QCoreApplication::processEvents();
  QCoreApplication::removePostedEvents(&r);
}

TEST_F(ChangeThread, AHangingWorkerHoldsUpNeitherLaterCommandsNorTheDestructor) {
  Receiver r;
  MakeDir(root + "/dead");
  // The worker hangs in its first command, as on a dead network mount, until
  // released (at the latest after 3 s, so a wait for it ends).
  auto release = std::make_shared<std::atomic<bool>>(false);
  std::thread releaser([release] {
    for (int i = 0; i < 300 && !*release; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    *release = true;
  });
  auto* thread = new TChangeHandlerThread(&r, WM_PT_CHANGENOTIFY);
  thread->CommandTimeoutMs = 200;
  thread->SetOnExecute([release] {
    while (!*release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  });
  int slot = -1;
  EXPECT_FALSE(thread->AddWatch(root + "/dead", 3, false, slot));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  QElapsedTimer t;
  t.start();
  EXPECT_FALSE(thread->AddWatch(root + "/dead", 3, false, slot));
  thread->RemoveAllWatches();
  EXPECT_LT(t.elapsed(), 150) << "later commands do not wait for a hanging worker again";
  t.restart();
  delete thread;
  EXPECT_LT(t.elapsed(), 1000) << "the destructor does not wait for a hanging worker";
  // The worker comes back after its owner is gone: it touches nothing freed
  // and posts nothing.
  WriteFile(root + "/dead/late.txt", "x");
  *release = true;
  releaser.join();
  EXPECT_FALSE(r.WaitFor(1, 300));
}
