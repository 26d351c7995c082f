#include "editor/commands/frame_actions.h"
#include "editor/frame_strip.h"
#include "editor/model/settings.h"
#include "editor/property_panel.h"
#include "frames_fixture.h"
#include "gif/qt/qimage_adapter.h"
#include "gif/render/compositor.h"

#include <QApplication>
#include <QRadioButton>
#include <QSpinBox>
#include <QEventLoop>
#include <QMouseEvent>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace movinta::editor {
namespace {

void Press(QWidget* widget, QPoint at, Qt::KeyboardModifiers modifiers = {}) {
  QMouseEvent press(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, modifiers);
  QApplication::sendEvent(widget, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, at, widget->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                      modifiers);
  QApplication::sendEvent(widget, &release);
}

void Wait(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

TEST(FrameStripTest, PicturesLargerThanACellAreScaledWithTheirAspect) {
  struct Case {
    int Width, Height;
    QSize Expected;
  };
  for (const Case c : {Case{161, 161, {161, 161}}, Case{162, 100, {160, 99}}, Case{100, 320, {50, 160}},
                       Case{320, 320, {160, 160}}, Case{40, 30, {40, 30}}}) {
    SCOPED_TRACE(c.Width);
    EXPECT_EQ(TFrameStrip::PictureSize(c.Width, c.Height, 160), c.Expected);
  }
}

// The documents and the commands the widgets work on, which go after the widgets.
class CommandsTest : public ::testing::Test {
protected:
  testing::FreeSharedImageLast freeLast_;
  testing::ScopedTmpDir tmp_;
  testing::RecordingMessages messages_;
  testing::StripView view_;
  TDocuments docs_;
  TFrameCommands commands_{docs_};
};

class PanelTest : public CommandsTest {
protected:
  void SetUp() override {
    docs_.NewDocument();
    ReplaceSharedImage(testing::MakePatternAnimation(4));
    strip_.SetColumnCount(4);
  }
  void TearDown() override { SharedImage(1); }

  TFrameStrip strip_{commands_};
  TPropertyPanel panel_{commands_};
};

TEST_F(PanelTest, CellsUnderPointsAndCtrlClickRanges) {
  strip_.SetFrameSize(80);
  EXPECT_EQ(strip_.CellAt({0, 10}), 0);
  EXPECT_EQ(strip_.CellAt({117, 10}), 0);
  EXPECT_EQ(strip_.CellAt({118, 10}), 1);
  EXPECT_EQ(strip_.CellAt({4 * 118, 10}), -1);
  EXPECT_EQ(strip_.CellAt({5, 142}), -1);
  QWidget* cells = strip_.widget();
  Press(cells, {130, 20});
  EXPECT_EQ(strip_.SelectedFrame(), 1);
  Press(cells, {3 * 118 + 5, 20}, Qt::ControlModifier);
  EXPECT_EQ(strip_.SelectionFirst(), 1);
  EXPECT_EQ(strip_.SelectionLast(), 3);
  EXPECT_FALSE(strip_.SpansAll());
  strip_.SelectAll();
  EXPECT_TRUE(strip_.SpansAll());
}

TEST_F(PanelTest, TypingZeroLoopsSwitchToForeverAndShowsOne) {
  panel_.ShowFrameProperties(0, false);
  panel_.optLoopTimes->click();
  panel_.txtLoop->setValue(3);
  EXPECT_TRUE(panel_.TimerInput().isActive());
  panel_.txtLoop->setValue(0);
  EXPECT_TRUE(panel_.optLoopInfinite->isChecked());
  EXPECT_EQ(panel_.txtLoop->value(), 1);
  EXPECT_EQ(GetLoopCount(*SharedImage()), 0);
}

TEST_F(PanelTest, ATypedDelayAppliesWhenTheWaitEnds) {
  view_.SetSelectedFrame(2);
  panel_.ShowFrameProperties(2, false);
  EXPECT_EQ(panel_.txtDelay->value(), 30);
  panel_.txtDelay->setValue(45);
  EXPECT_TRUE(panel_.TimerInput().isActive());
  EXPECT_EQ(GetFrameDelay(*SharedImage(), 2), 30);
  Wait(300);
  EXPECT_EQ(GetFrameDelay(*SharedImage(), 2), 45);
  EXPECT_EQ(docs_.Active()->History.LastCaption(), QStringLiteral("Change Delay"));
}


TEST_F(PanelTest, EachCellShowsTheClockBesideItsDelay) {
  strip_.SetFrameSize(80);
  const QImage shot = strip_.widget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QImage glyph = TFrameStrip::DelayGlyph().convertToFormat(QImage::Format_ARGB32);
  ASSERT_FALSE(glyph.isNull());
  for (int cell : {0, 3}) {
    const QPoint at = TFrameStrip::DelayGlyphAt(QRect(cell * strip_.CellWidth(), 0, strip_.CellWidth(), strip_.CellHeight()));
    int differing = 0, opaque = 0;
    for (int y = 0; y < glyph.height(); ++y)
      for (int x = 0; x < glyph.width(); ++x) {
        if (qAlpha(glyph.pixel(x, y)) != 255) continue;
        ++opaque;
        if (shot.pixel(at + QPoint(x, y)) != (glyph.pixel(x, y) | 0xFF000000u)) ++differing;
      }
    EXPECT_GT(opaque, 100);
    EXPECT_EQ(differing, 0) << "cell " << cell;
  }
}


// Time that moves only when the test lets the painter go on to its next frame.
class SteppingClock : public gif::TGIFPlaybackClock {
public:
  std::uint32_t Now() override { return now_; }
  void Sleep(int ms) override { now_ += static_cast<std::uint32_t>(std::max(ms, 0)); }
  bool WaitForWake(int ms, const std::function<bool(int)>& block) override {
    ++waits_;
    for (;;) {
      {
        std::lock_guard guard(lock_);
        if (steps_ > 0) {
          --steps_;
          break;
        }
      }
      if (block(1)) return true;  // stopped
    }
    now_ += static_cast<std::uint32_t>(std::max(ms, 0));
    return false;
  }
  // Waits the painter has begun: one after each frame it drew.
  int Waits() const { return waits_; }
  void Step() {
    std::lock_guard guard(lock_);
    ++steps_;
  }

private:
  std::atomic<std::uint32_t> now_{0};
  std::atomic<int> waits_{0};
  std::mutex lock_;
  int steps_ = 0;
};

// Two 4 x 4 sprites with transparent corners that cross the screen, the first restoring the
// background after each of its frames, the second bringing back what lay under it.
std::unique_ptr<gif::TGIFImage> MakeSpriteAnimation() {
  auto image = std::make_unique<gif::TGIFImage>();
  image->SetWidth(14);
  image->SetHeight(10);
  for (gif::TColor c : {0x0000FFu, 0xFF0000u, 0x00FF00u, 0x000000u}) image->GetGlobalColorMap().Add(c);
  for (int i = 0; i < 6; ++i) {
    const bool first = i % 2 == 0;
    auto* frame = new gif::TGIFSubImage(image.get());
    image->Add(frame);
    frame->SetBounds(2 * i, first ? 1 : 5, 4, 4);
    for (int p = 0; p < 16; ++p) {
      const bool corner = (p % 4 == 0 || p % 4 == 3) && (p / 4 == 0 || p / 4 == 3);
      frame->Data()[p] = static_cast<std::uint8_t>(corner ? 3 : first ? 0 : 1 + p % 2);
    }
    SetFrameDelay(*frame, 10);
    gif::TGIFGraphicControlExtension& gce = *frame->GraphicControlExtension();
    gce.SetTransparentColorIndex(3);
    gce.SetTransparent(true);
    gce.SetDisposal(first ? gif::dmBackground : gif::dmPrevious);
  }
  AddLoopExtension(*image, 0, 0);
  return image;
}

class PlayingPictureTest : public CommandsTest {
protected:
  void SetUp() override {
    backdrop_ = Settings().FrameBackColor;
    Settings().FrameBackColor = 0x30C0F0;
    host_.resize(40, 30);
  }
  void TearDown() override {
    player_.Playback().Stop(true);
    EXPECT_TRUE(gif::WaitForPainterThreads(std::chrono::seconds(5)));
    Settings().FrameBackColor = backdrop_;
    SharedImage(1);
  }

  SteppingClock clock_;
  QWidget host_;
  TAnimationPlayer player_{commands_, nullptr, &clock_};
  gif::TColor backdrop_ = 0;
};

TEST_F(PlayingPictureTest, EachFrameShowsWhatTheCompositorShowsOverTheBackdrop) {
  docs_.NewDocument();
  ReplaceSharedImage(MakeSpriteAnimation());
  auto expected = std::make_unique<gif::TGIFImage>();
  expected->Assign(*SharedImage());
  gif::TGIFCompositor screen(*expected, Settings().FrameBackColor);
  player_.Host = [this] { return &host_; };
  ASSERT_TRUE(player_.Playback().Play());
  ASSERT_NE(player_.Picture(), nullptr);
  const int count = expected->Images().GetCount();
  // Twice round the loop: the second time starts from what the last frame left.
  for (int shown = 0; shown < 2 * count; ++shown) {
    SCOPED_TRACE(shown);
    if (shown > 0) clock_.Step();
    const int waited = shown + 1;
    for (int spins = 0; clock_.Waits() < waited && spins < 100000; ++spins)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    ASSERT_EQ(clock_.Waits(), waited);
    QCoreApplication::processEvents();
    const QImage grab = player_.Picture()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage want = gif::qt::ToQImage(screen.Render(shown % count)).convertToFormat(QImage::Format_RGB32);
    const QPoint at((host_.width() - want.width()) / 2, (host_.height() - want.height()) / 2);
    int differing = 0;
    for (int y = 0; y < want.height(); ++y)
      for (int x = 0; x < want.width(); ++x)
        if (grab.pixel(at + QPoint(x, y)) != want.pixel(x, y)) ++differing;
    EXPECT_EQ(differing, 0);
  }
}

}  // namespace
}  // namespace movinta::editor
