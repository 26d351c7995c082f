#include "editor/frame_strip.h"
#include "editor/property_panel.h"
#include "frames_fixture.h"

#include <QApplication>
#include <QRadioButton>
#include <QSpinBox>
#include <QEventLoop>
#include <QMouseEvent>
#include <QTimer>

#include <gtest/gtest.h>

namespace movinta::editor {
namespace {

class QtEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "editor_frames_widgets_test";
    static char* argv[] = {name, nullptr};
    app_ = new QApplication(argc, argv);
  }
  void TearDown() override { delete app_; }

private:
  QApplication* app_ = nullptr;
};
[[maybe_unused]] auto* const kQt = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

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

class PanelTest : public ::testing::Test {
protected:
  void SetUp() override {
    docs_.NewDocument();
    ReplaceSharedImage(testing::MakePatternAnimation(4));
    strip_.SetColumnCount(4);
  }
  void TearDown() override { SharedImage(1); }

  testing::FreeSharedImageLast freeLast_;
  testing::ScopedTmpDir tmp_;
  testing::RecordingMessages messages_;
  testing::StripView view_;
  TDocuments docs_;
  TFrameCommands commands_{docs_};
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

}  // namespace
}  // namespace movinta::editor
