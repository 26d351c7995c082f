#include "editor/model/playback.h"
#include "frames_fixture.h"
#include "tests/gif_painter/gui_queue.h"

#include <gtest/gtest.h>

#include <chrono>

namespace movinta::editor {
namespace {

using namespace std::chrono_literals;

// Time that passes only when the painter waits.
class FakeClock : public gif::TGIFPlaybackClock {
public:
  std::uint32_t Now() override { return now_; }
  void Sleep(int ms) override {
    if (ms > 0) now_ += static_cast<std::uint32_t>(ms);
  }
  bool WaitForWake(int ms, const std::function<bool(int)>& block) override {
    if (block(0)) return true;
    if (ms < 0) return block(-1);
    now_ += static_cast<std::uint32_t>(ms);
    return false;
  }

private:
  std::atomic<std::uint32_t> now_{0};
};

class RecordingPlaybackView : public IPlaybackView {
public:
  void PlaybackShown(bool playing) override { Shown.push_back(playing); }
  void DocumentStatus(const QString& text) override { Status.push_back(text); }
  std::function<void()> DuringPlay;
  void CanvasChanged() override {
    ++Pictures;
    if (DuringPlay) DuringPlay();
  }
  std::vector<bool> Shown;
  QStringList Status;
  int Pictures = 0;
};

class PlaybackTest : public ::testing::Test {
protected:
  void SetUp() override { playback_.SetView(&view_); }
  void TearDown() override {
    playback_.SetView(nullptr);
    playback_.Stop(true);
    EXPECT_TRUE(gif::WaitForPainterThreads(5s));
    SharedImage(1);
  }
  TMDIChild* Start(int frames, int plays) {
    TMDIChild* d = docs_.NewDocument();
    auto image = testing::MakePatternAnimation(frames);
    NormalizeLoopBlock(*image, plays);
    ReplaceSharedImage(std::move(image));
    return d;
  }

  testing::FreeSharedImageLast freeLast_;
  testing::ScopedTmpDir tmp_;
  testing::RecordingMessages messages_;
  testing::StripView strip_;
  TDocuments docs_;
  TFrameCommands commands_{docs_};
  FakeClock clock_;
  giftest::QueueDispatcher dispatcher_{std::chrono::seconds(10)};
  RecordingPlaybackView view_;
  TPlayback playback_{commands_, &dispatcher_, &clock_};
};

TEST_F(PlaybackTest, AFinitePlayReachesItsEndAndGivesEditingBack) {
  TMDIChild* d = Start(3, 1);
  int refused = 0;
  view_.DuringPlay = [&] {
    // Editing is off while the animation plays.
    commands_.MoveFrameToEnd();
    commands_.ApplyLoopChange(false, 5);
    if (d->History.Count() == 0) ++refused;
  };
  ASSERT_TRUE(playback_.Play());
  EXPECT_TRUE(playback_.Playing());
  EXPECT_TRUE(commands_.Playing());
  ASSERT_TRUE(dispatcher_.PumpUntil([&] { return !playback_.Playing(); }));
  EXPECT_EQ(view_.Shown, (std::vector<bool>{true, false}));
  EXPECT_EQ(view_.Status, (QStringList{QStringLiteral("Playing Frame 0 of 2"), QStringLiteral("Playing Frame 1 of 2"),
                                       QStringLiteral("Playing Frame 2 of 2"),
                                       QStringLiteral("Untitled1.gif - [Height: 4 x Width: 6]")}));
  EXPECT_GT(refused, 0);
  EXPECT_EQ(d->History.Count(), 0);
  EXPECT_FALSE(commands_.Playing());
  commands_.MoveFrameToEnd();
  EXPECT_EQ(d->History.Count(), 1);
}

TEST_F(PlaybackTest, PauseStopsAnEndlessPlay) {
  Start(3, 0);
  ASSERT_TRUE(playback_.Play());
  ASSERT_TRUE(dispatcher_.PumpUntil([&] { return view_.Status.size() >= 7; }));  // it loops
  playback_.Stop(true);
  EXPECT_FALSE(playback_.Playing());
  EXPECT_FALSE(commands_.Playing());
  EXPECT_EQ(view_.Shown.back(), false);
  EXPECT_TRUE(gif::WaitForPainterThreads(5s));
}

// The copy that plays counts against the budget with the animation it copies.
TEST_F(PlaybackTest, ACopyThatWouldPassTheBudgetIsRefusedAndTheDocumentStays) {
  TMDIChild* d = Start(3, 1);
  TGIFImage& image = *SharedImage();
  image.MemoryBudget = image.MemoryCost() * 3 / 2;
  EXPECT_FALSE(playback_.Play());
  EXPECT_FALSE(playback_.Playing());
  EXPECT_TRUE(messages_.Saw(QStringLiteral("Image needs more memory than allowed")));
  EXPECT_EQ(image.Images().GetCount(), 3);
  EXPECT_EQ(d->History.Count(), 0);
  EXPECT_EQ(gif::TGIFMemoryCharge::Held(), 0u);
  image.MemoryBudget = image.MemoryCost() * 3;
  EXPECT_TRUE(playback_.Play());
}

TEST_F(PlaybackTest, AStillPictureIsNotPlayed) {
  TMDIChild* d = Start(1, 1);
  EXPECT_FALSE(playback_.Play());
  EXPECT_FALSE(playback_.Playing());
  EXPECT_TRUE(messages_.Saw(QStringLiteral("This GIF is not an animation, therefore it cannot be played.")));
  EXPECT_TRUE(view_.Shown.empty());
  EXPECT_EQ(d->History.Count(), 0);
}

TEST_F(PlaybackTest, APlayMenuItemPlaysTheDocumentItNames) {
  TMDIChild* still = Start(1, 1);
  still->SetModified(true);
  TMDIChild* moving = Start(3, 0);
  moving->SetModified(true);
  ASSERT_TRUE(docs_.Activate(still));

  EXPECT_FALSE(playback_.PlayDocument(QStringLiteral("elsewhere.gif")));
  EXPECT_EQ(commands_.Active(), still);
  ASSERT_TRUE(playback_.PlayDocument(moving->FileName));
  EXPECT_EQ(commands_.Active(), moving);
  EXPECT_TRUE(playback_.Playing());
  EXPECT_EQ(SharedImage()->Images().GetCount(), 3);

  // Another item stops the play before it switches; a still picture then is refused.
  EXPECT_FALSE(playback_.PlayDocument(still->FileName));
  EXPECT_FALSE(playback_.Playing());
  EXPECT_FALSE(commands_.Playing());
  EXPECT_EQ(commands_.Active(), still);
  EXPECT_TRUE(messages_.Saw(QStringLiteral("This GIF is not an animation")));

  // A switch that does not happen plays nothing.
  EXPECT_FALSE(playback_.PlayDocument(moving->FileName, [](TMDIChild*) { return false; }));
  EXPECT_EQ(commands_.Active(), still);
  EXPECT_FALSE(playback_.Playing());
}

TEST_F(PlaybackTest, SwitchingOrClosingTheDocumentEndsPlayAndTheArrivingOneCanBeEdited) {
  TMDIChild* a = Start(3, 0);
  a->SetModified(true);
  TMDIChild* b = Start(3, 0);
  b->SetModified(true);
  ASSERT_TRUE(playback_.Play());
  // While it plays an edit is refused, and the status bar says why.
  strip_.SetSelectedFrame(0);
  commands_.MoveFrameToEnd();
  EXPECT_EQ(b->History.Count(), 0);
  EXPECT_EQ(strip_.Status, QStringLiteral("The animation is playing: pause it to edit."));

  ASSERT_TRUE(docs_.Activate(a));
  EXPECT_FALSE(playback_.Playing());
  EXPECT_FALSE(commands_.Playing());
  commands_.MoveFrameToEnd();
  EXPECT_EQ(a->History.Count(), 1);

  ASSERT_TRUE(playback_.Play());
  messages_.Answers = {mrNo};  // closing without saving
  ASSERT_TRUE(docs_.Close(a));
  EXPECT_FALSE(playback_.Playing());
  ASSERT_TRUE(docs_.Activate(b));
  strip_.SetSelectedFrame(0);
  commands_.MoveFrameToEnd();
  EXPECT_EQ(b->History.Count(), 1);
  EXPECT_TRUE(gif::WaitForPainterThreads(5s));
}

}  // namespace
}  // namespace movinta::editor
