// The playback painter against an injected clock and a GUI queue the test pumps.
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

#include "gif/painter/painter.h"
#include "tests/gif_opt/animation_builder.h"
#include "tests/gif_painter/gui_queue.h"

namespace {

using namespace giftest;
using namespace std::chrono_literals;

// Time moves only when the painter waits.
class FakeClock : public TGIFPlaybackClock {
public:
  std::uint32_t Now() override { return now_; }
  void Sleep(int ms) override {
    if (ms > 0) now_ += static_cast<std::uint32_t>(ms);
    std::lock_guard<std::mutex> guard(lock_);
    sleeps_.push_back(ms);
  }
  bool WaitForWake(int ms, const std::function<bool(int)>& block) override {
    {
      std::lock_guard<std::mutex> guard(lock_);
      waits_.push_back(ms);
    }
    if (block(0)) return true;
    if (ms < 0) return block(-1);  // only Stop ends it
    now_ += static_cast<std::uint32_t>(ms);
    return false;
  }
  std::vector<int> Waits() {
    std::lock_guard<std::mutex> guard(lock_);
    return waits_;
  }
  std::vector<int> Sleeps() {
    std::lock_guard<std::mutex> guard(lock_);
    return sleeps_;
  }

private:
  std::atomic<std::uint32_t> now_{5000};
  std::mutex lock_;
  std::vector<int> waits_, sleeps_;
};

struct Recorder {
  std::vector<std::string> log;
  std::vector<std::thread::id> threads;
  TGIFPlayEvents Events(const std::function<void(TGIFPainter&)>& afterFrame = nullptr) {
    auto note = [this](const char* name) {
      return [this, name](TGIFPainter& p) {
        log.push_back(std::string(name) + std::to_string(p.ActiveImage()));
        threads.push_back(std::this_thread::get_id());
      };
    };
    TGIFPlayEvents e;
    e.OnBeginPlay = note("begin");
    e.OnBeforeFrame = note("before");
    e.OnLoopRestart = note("loop");
    e.OnEndPlay = note("end");
    auto after = note("after");
    e.OnAfterFrame = [after, afterFrame](TGIFPainter& p) {
      after(p);
      if (afterFrame) afterFrame(p);
    };
    return e;
  }
  int Count(const std::string& prefix) const {
    int n = 0;
    for (const auto& s : log) n += s.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
  }
};

void BuildDelays(TGIFImage& image, const std::vector<int>& delays, int loops = -1) {
  MakeScreen(image, 2, 2, {0x0000FF, 0x00FF00});
  for (std::size_t i = 0; i < delays.size(); ++i) {
    auto* f = AddFrame(image, {0, 0, 2, 2, std::vector<std::uint8_t>(4, std::uint8_t(i % 2)), {}, delays[i] >= 0,
                               std::max(delays[i], 0), 1, -1});
    if (i == 0 && loops >= 0) {
      auto* loop = new TGIFAppExtNSLoop(f);
      loop->SetLoops(static_cast<std::uint16_t>(loops));
      f->Extensions().Add(loop);
    }
  }
}

bool Finished(TGIFImage& image) { return TGIFPainterList::Of(image).Count() == 0; }

struct TimingCase {
  std::vector<int> delays;  // -1: no graphic control extension
  int speed;
  std::vector<int> waits;
};

TEST(PainterTest, WaitsFollowDelaysMinimumAndSpeed) {
  const TimingCase cases[] = {
      {{1, 0, 50, -1, 7}, 100, {36, 120, 600, 120}},
      {{1, 0, 50, -1, 7}, 200, {18, 60, 300, 60}},
      {{10, 10}, 50, {240}},
  };
  for (const TimingCase& c : cases) {
    SCOPED_TRACE(c.speed);
    TGIFImage image;
    BuildDelays(image, c.delays);
    image.AnimationSpeed = c.speed;
    Bitmap canvas(2, 2, PixelFormat::pf32bit);
    FakeClock clock;
    QueueDispatcher gui;
    Recorder events;
    ASSERT_NE(Paint(image, canvas, {0, 0, 2, 2}, goAsync | goAnimate, events.Events(), &gui, nullptr, &clock), nullptr);
    ASSERT_TRUE(gui.PumpUntil([&] { return Finished(image); }));
    EXPECT_EQ(clock.Waits(), c.waits);
    EXPECT_EQ(events.Count("after"), static_cast<int>(c.delays.size()));
    for (auto id : events.threads) EXPECT_EQ(id, std::this_thread::get_id());
  }
  EXPECT_TRUE(WaitForPainterThreads(2000ms));
}

TEST(PainterTest, OverrunsAreHalvedOffTheNextWait) {
  TGIFImage image;
  BuildDelays(image, {10, 10, 10});
  Bitmap canvas(2, 2, PixelFormat::pf32bit);
  FakeClock clock;
  // Drawing frame 1 takes 40 ms: half of it comes off the wait that follows.
  Recorder events;
  auto e = events.Events([&](TGIFPainter& p) {
    if (p.ActiveImage() == 1) clock.Sleep(40);
  });
  Paint(image, canvas, {0, 0, 2, 2}, goAnimate, e, nullptr, nullptr, &clock);
  std::vector<int> sleeps = clock.Sleeps();
  // Synchronous: 1 unit before frame 0 (12 ms), 120 before frame 1, then the
  // 40 ms of drawing, then 120 - 20 before frame 2, each in slices of 100 ms.
  EXPECT_EQ(sleeps, (std::vector<int>{12, 100, 20, 40, 100}));
}

struct LoopCase {
  int loops;  // -1: no loop block
  std::uint16_t options;
  int plays;
};

TEST(PainterTest, LoopCountsDecideHowOftenItPlays) {
  const LoopCase cases[] = {
      {2, goAsync | goAnimate | goLoop, 3},
      {-1, goAsync | goAnimate | goLoop, 1},
      {5, goAsync | goAnimate, 1},  // without looping, once whatever the count
      {2, goAnimate | goLoop, 3},
      {0, goAnimate | goLoop, 1},  // "forever" plays once inside the caller
      {0, goAsync | goAnimate | goLoop, 7},  // forever: stopped after seven plays
      {-1, goAsync | goAnimate | goLoop | goLoopContinously, 7},
  };
  for (const LoopCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.loops << " " << c.options);
    TGIFImage image;
    BuildDelays(image, {3, 3}, c.loops);
    Bitmap canvas(2, 2, PixelFormat::pf32bit);
    FakeClock clock;
    QueueDispatcher gui;
    Recorder events;
    auto e = events.Events([&](TGIFPainter& p) {
      if (events.Count("after") == 14) p.Stop();
    });
    Paint(image, canvas, {0, 0, 2, 2}, c.options, e, (c.options & goAsync) ? &gui : nullptr, nullptr, &clock);
    ASSERT_TRUE(gui.PumpUntil([&] { return Finished(image); }));
    EXPECT_EQ(events.Count("after"), 2 * c.plays);
    EXPECT_EQ(events.Count("loop"), c.plays - 1);
    EXPECT_EQ(events.log.front(), "begin0");
    if (events.Count("after") < 14) {
      EXPECT_EQ(events.log.back(), "end-1");
    } else {
      EXPECT_EQ(events.Count("end"), 0);  // nothing fires once stopped
    }
  }
  EXPECT_TRUE(WaitForPainterThreads(2000ms));
}

TEST(PainterTest, EventsComeInPlayOrder) {
  TGIFImage image;
  BuildDelays(image, {3, 3}, 1);
  Bitmap canvas(2, 2, PixelFormat::pf32bit);
  FakeClock clock;
  Recorder events;
  Paint(image, canvas, {0, 0, 2, 2}, goAnimate | goLoop, events.Events(), nullptr, nullptr, &clock);
  EXPECT_EQ(events.log, (std::vector<std::string>{"begin0", "before0", "after0", "before1", "after1", "loop0",
                                                  "before0", "after0", "before1", "after1", "end-1"}));
}

TEST(PainterTest, ComposesDisposalsOverWhatLayUnderTheTarget) {
  TGIFImage image;
  MakeScreen(image, 4, 3, {0x000000, 0x0000FF, 0x00FF00, 0xFF0000});
  AddFrame(image, {0, 0, 4, 3, {0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 0, 0}, {}, true, 3, 1, 0});
  AddFrame(image, {1, 0, 2, 2, {2, 2, 0, 2}, {}, true, 3, 2, 0});
  AddFrame(image, {0, 1, 3, 2, {3, 3, 3, 3, 0, 3}, {}, true, 3, 3, 0});
  AddFrame(image, {2, 2, 2, 1, {2, 0}, {}, true, 3, 1, 0});
  AddFrame(image, {0, 0, 4, 3, std::vector<std::uint8_t>(12, 3), {}, true, 3, 2, -1});
  AddFrame(image, {3, 0, 1, 1, {1}, {}, true, 3, 0, -1});
  // A patterned target, offset inside a larger canvas.
  Bitmap canvas(6, 5, PixelFormat::pf32bit);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) canvas.SetPixelColor(x, y, 0x101010u * static_cast<TColor>(x + y));
  const Bitmap original = canvas;
  const TRect rect{1, 2, 5, 5};
  const auto expected = Timeline(image, false);
  FakeClock clock;
  std::vector<Bitmap> seen;
  TGIFPlayEvents e;
  e.OnAfterFrame = [&](TGIFPainter&) { seen.push_back(canvas); };
  Paint(image, canvas, rect, goAnimate | goTransparent, e, nullptr, nullptr, &clock);
  ASSERT_EQ(seen.size(), expected.size());
  for (std::size_t f = 0; f < seen.size(); ++f) {
    SCOPED_TRACE(f);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 6; ++x) {
        std::uint32_t want = original.PixelColor(x, y);
        if (x >= rect.Left && x < rect.Right && y >= rect.Top && y < rect.Bottom) {
          const std::uint32_t shown = expected[f].rgba[static_cast<std::size_t>(y - rect.Top) * 4 + (x - rect.Left)];
          if (shown >> 24) want = shown & 0xFFFFFF;
        }
        ASSERT_EQ(seen[f].PixelColor(x, y), want) << x << "," << y;
      }
  }
}

TEST(PainterTest, StopEndsAWaitAtOnce) {
  for (int speed : {100, 0}) {
    SCOPED_TRACE(speed);
    TGIFImage image;
    BuildDelays(image, {6000, 6000});  // 72 s per frame
    image.AnimationSpeed = speed;
    Bitmap canvas(2, 2, PixelFormat::pf32bit);
    QueueDispatcher gui;
    Recorder events;
    TGIFPainter* slot = nullptr;
    Paint(image, canvas, {0, 0, 2, 2}, goAsync | goAnimate, events.Events(), &gui, &slot);
    ASSERT_TRUE(gui.PumpUntil([&] { return events.Count("after") == 1; }));
    const auto start = std::chrono::steady_clock::now();
    StopAllPainters(image);
    EXPECT_TRUE(Finished(image));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1000ms);
    EXPECT_TRUE(WaitForPainterThreads(1000ms));
    std::lock_guard<std::recursive_mutex> guard(TGIFPainterList::Of(image).Lock());
    EXPECT_EQ(slot, nullptr);
  }
}

TEST(PainterTest, StoppingFromItsOwnEventOrWithoutPumpingDoesNotDeadlock) {
  TGIFImage image;
  BuildDelays(image, {3, 3, 3});
  Bitmap canvas(2, 2, PixelFormat::pf32bit);
  QueueDispatcher gui;
  Recorder events;
  // The GUI stops all painters from inside the painter's own event.
  auto e = events.Events([&](TGIFPainter& p) {
    if (p.ActiveImage() == 1) StopAllPainters(image, 500ms);
  });
  Paint(image, canvas, {0, 0, 2, 2}, goAsync | goAnimate | goLoop | goLoopContinously, e, &gui);
  ASSERT_TRUE(gui.PumpUntil([&] { return Finished(image); }, 2000ms));
  EXPECT_EQ(events.Count("after"), 2);
  ASSERT_TRUE(WaitForPainterThreads(1000ms));

  // The GUI stops without ever running what the painter posted.
  Paint(image, canvas, {0, 0, 2, 2}, goAsync | goAnimate | goLoop | goLoopContinously, events.Events(), &gui);
  const auto start = std::chrono::steady_clock::now();
  StopAllPainters(image);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1000ms);
  EXPECT_TRUE(Finished(image));
  EXPECT_TRUE(WaitForPainterThreads(1000ms));
}

TEST(PainterTest, ErrorsReachTheWarningCallback) {
  TGIFImage image;
  BuildDelays(image, {3, 3});
  std::vector<std::string> warnings;
  image.OnWarning = [&](const void*, int, const std::string& m) { warnings.push_back(m); };
  Bitmap palette(2, 2, PixelFormat::pf8bit);
  EXPECT_EQ(Paint(image, palette, {0, 0, 2, 2}, goAnimate), nullptr);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0], texts::UnsupportedPixelFormat);

  Bitmap canvas(2, 2, PixelFormat::pf32bit);
  QueueDispatcher gui;
  Recorder events;
  TGIFPlayEvents e = events.Events();
  e.OnBeforeFrame = [](TGIFPainter& p) {
    if (p.ActiveImage() == 1) GIFError(texts::InvalidData);
  };
  Paint(image, canvas, {0, 0, 2, 2}, goAsync | goAnimate, e, &gui);
  ASSERT_TRUE(gui.PumpUntil([&] { return Finished(image); }));
  ASSERT_EQ(warnings.size(), 2u);
  EXPECT_EQ(warnings[1], texts::InvalidData);
  EXPECT_EQ(events.Count("end"), 0);
  EXPECT_TRUE(WaitForPainterThreads(1000ms));
}

TEST(PainterTest, OneFrameIsDrawnInsideTheCallerAndTheDelayUnitIs12ms) {
  static_assert(MillisecondsPerDelayUnit == 12);
  TGIFImage image;
  BuildDelays(image, {50});
  Bitmap canvas(2, 2, PixelFormat::pf32bit);
  QueueDispatcher gui;
  Recorder events;
  EXPECT_EQ(Paint(image, canvas, {0, 0, 2, 2}, GIFDefaultDrawOptions, events.Events(), &gui), nullptr);
  EXPECT_EQ(events.Count("after"), 1);
  EXPECT_EQ(canvas.PixelColor(1, 1), 0x0000FFu);
}

}  // namespace

namespace {

class QuittingDispatcher : public TGIFDispatcher {
public:
  void Post(std::function<void()> task) override { task(); }
  bool ProcessEvents() override { return ++calls < 3; }
  int calls = 0;
};

TEST(PainterTest, RestartPlaysAgainAndQuittingEndsASynchronousWait) {
  TGIFImage image;
  BuildDelays(image, {3, 3, 3});
  Bitmap canvas(2, 2, PixelFormat::pf32bit);
  FakeClock clock;
  Recorder events;
  bool restarted = false;
  auto e = events.Events([&](TGIFPainter& p) {
    if (p.ActiveImage() == 1 && !restarted) {
      restarted = true;
      p.Restart();
    }
  });
  Paint(image, canvas, {0, 0, 2, 2}, goAnimate, e, nullptr, nullptr, &clock);
  EXPECT_EQ(events.log, (std::vector<std::string>{"begin0", "before0", "after0", "before1", "after1", "end-1",
                                                   "begin0", "before0", "after0", "before1", "after1", "before2",
                                                   "after2", "end-1"}));

  // The application quits while the painter waits inside the caller: the
  // frame after the wait is never drawn.
  TGIFImage slow;
  BuildDelays(slow, {500, 500});
  QuittingDispatcher quitting;
  Recorder quit;
  Paint(slow, canvas, {0, 0, 2, 2}, goAnimate, quit.Events(), &quitting, nullptr, &clock);
  EXPECT_EQ(quit.Count("after"), 1);
  EXPECT_EQ(quitting.calls, 3);
}

// Whatever frees an image's frames stops its painters first, so a painter
// never reaches freed frames; the GUI work they had posted runs harmlessly.
TEST(PainterTest, ClearingLoadingOrDestroyingAPlayedImageStopsItsPainters) {
  Bitmap canvas(2, 2, PixelFormat::pf32bit);
  QueueDispatcher gui;
  const std::uint16_t options = goAsync | goAnimate | goLoop | goLoopContinously;
  const std::vector<std::uint8_t> file = [] {
    TGIFImage source;
    BuildDelays(source, {3, 3});
    return source.SaveToMemory();
  }();
  const std::function<void(TGIFImage&)> changes[] = {
      [](TGIFImage& image) { image.Clear(); },
      [&](TGIFImage& image) { image.LoadFromMemory(file); },
  };
  for (const auto& change : changes) {
    TGIFImage image;
    BuildDelays(image, {3, 3, 3});
    Recorder events;
    TGIFPainter* slot = nullptr;
    ASSERT_NE(image.Paint(canvas, {0, 0, 2, 2}, options, events.Events(), &gui, &slot), nullptr);
    ASSERT_TRUE(gui.PumpUntil([&] { return events.Count("after") >= 2; }));
    change(image);
    EXPECT_EQ(image.Painters().Count(), 0);
    EXPECT_TRUE(WaitForPainterThreads(1000ms));
    gui.PumpUntil([] { return false; }, 50ms);
    std::lock_guard<std::recursive_mutex> guard(image.Painters().Lock());
    EXPECT_EQ(slot, nullptr);
  }

  // Destroyed while playing, and destroyed from inside its own painter's event.
  for (bool fromEvent : {false, true}) {
    SCOPED_TRACE(fromEvent);
    auto* image = new TGIFImage;
    BuildDelays(*image, {3, 3, 3});
    TGIFPainterList& list = image->Painters();
    Recorder events;
    int played = 0;
    auto destroy = [&] {
      delete image;
      image = nullptr;
      played = events.Count("after");
    };
    auto e = events.Events([&](TGIFPainter& p) {
      if (fromEvent && p.ActiveImage() == 1) destroy();
    });
    image->Paint(canvas, {0, 0, 2, 2}, options, e, &gui);
    ASSERT_TRUE(gui.PumpUntil([&] { return events.Count("after") >= 2 || !image; }));
    if (image) destroy();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_TRUE(WaitForPainterThreads(1000ms));
    gui.PumpUntil([] { return false; }, 50ms);
    EXPECT_EQ(events.Count("after"), played);
  }

  // A synchronous painter whose event clears the image ends there.
  TGIFImage image;
  BuildDelays(image, {3, 3, 3});
  Recorder events;
  FakeClock clock;
  auto e = events.Events([&](TGIFPainter&) { image.Clear(); });
  Paint(image, canvas, {0, 0, 2, 2}, goAnimate, e, nullptr, nullptr, &clock);
  EXPECT_EQ(events.log, (std::vector<std::string>{"begin0", "before0", "after0"}));
  EXPECT_TRUE(image.IsEmpty());
}

// A painter whose GUI work runs on a thread of its own (a program without an event loop) may be in
// that work when another thread stops the image's painters: the stop waits for the work, which
// reads the frames the caller is about to free.
TEST(PainterStopTest, WaitsForGUIWorkRunningOnAnotherThread) {
  class InlineDispatcher final : public TGIFDispatcher {
  public:
    void Post(std::function<void()> task) override { task(); }
  } dispatcher;
  Bitmap canvas(2, 2, PixelFormat::pf32bit);
  TGIFImage image;
  BuildDelays(image, {3, 3, 3});
  image.AnimationSpeed = 0;  // frame 0 shown, then the painter waits until it is stopped
  std::atomic<bool> inEvent{false}, eventDone{false};
  TGIFPlayEvents events;
  events.OnAfterFrame = [&](TGIFPainter&) {
    if (inEvent.exchange(true)) return;
    std::this_thread::sleep_for(200ms);
    eventDone = true;
  };
  ASSERT_NE(Paint(image, canvas, {0, 0, 2, 2}, goAsync | goAnimate | goLoop, events, &dispatcher), nullptr);
  while (!inEvent) std::this_thread::yield();
  StopAllPainters(image);
  EXPECT_TRUE(eventDone);
  EXPECT_TRUE(WaitForPainterThreads(5000ms));
}

// Runs the exit helper and waits for it to end by itself; one that is still running after the bound
// is killed and counts as hung (-1). Otherwise its exit code, or 128 + the signal that ended it.
int RunExitHelper(const char* mode, std::chrono::seconds bound) {
  const pid_t child = fork();
  if (child == 0) {
    execl(PAINTER_EXIT_HELPER, PAINTER_EXIT_HELPER, mode, static_cast<char*>(nullptr));
    _exit(127);
  }
  if (child < 0) return -2;
  const auto deadline = std::chrono::steady_clock::now() + bound;
  int status = 0;
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(20ms);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// An image in static storage is destroyed after whatever the library made on first use; the program
// still ends, whether a painter was playing the image when main returned or not.
TEST(PainterExitTest, ImageInStaticStorageLetsTheProgramEnd) {
  for (const char* mode : {"stopped", "playing"}) {
    SCOPED_TRACE(mode);
    for (int run = 0; run < 3; ++run) EXPECT_EQ(RunExitHelper(mode, 60s), 0) << "run " << run;
  }
}

}  // namespace
