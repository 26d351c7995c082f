#include "controls/ptsplitter.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>

namespace mc = movinta::controls;

namespace {

TEST(SplitterMaths, RoundsHalvesToEven) {
  const std::pair<double, int> cases[] = {{2.5, 2}, {3.5, 4}, {-2.5, -2}, {2.4, 2}, {2.6, 3}, {0.0, 0}, {-0.5, 0}};
  for (auto [value, expected] : cases) EXPECT_EQ(mc::PTRoundHalfEven(value), expected) << value;
  const struct {
    int size;
    double ratio;
    int position;
  } proportional[] = {{400, 65.0 / 200, 130}, {5, 0.5, 2}, {7, 0.5, 4}, {10, 0.25, 2}, {6, 0.25, 2}, {0, 0.3, 0}};
  for (const auto& c : proportional)
    EXPECT_EQ(mc::PTSplitterProportionalPosition(c.size, c.ratio), c.position) << c.size << " " << c.ratio;
  EXPECT_DOUBLE_EQ(mc::PTSplitterRatio(65, 200), 0.325);
  EXPECT_DOUBLE_EQ(mc::PTSplitterRatio(65, 0), 0.5);
}

TEST(SplitterMaths, ClampsToTheMinimumSizes) {
  const struct {
    int position, size, min1, min2, expected;
  } cases[] = {
      {10, 200, 20, 20, 20}, {190, 200, 20, 20, 180}, {100, 200, 20, 20, 100},
      {-3, 200, -3, 20, -3},  // a negative minimum lets the first pane vanish
      {-9, 200, -3, 20, -3},  {150, 100, 80, 40, 60},  // when both cannot hold, the second wins
  };
  for (const auto& c : cases)
    EXPECT_EQ(mc::PTSplitterClampPosition(c.position, c.size, c.min1, c.min2), c.expected) << c.position;
  // Drag coordinates keep the grab offset.
  EXPECT_EQ(mc::PTSplitterDragCoordinate(10, 2, 200, 20, 20), 22);
  EXPECT_EQ(mc::PTSplitterDragCoordinate(300, 2, 200, 20, 20), 182);
  EXPECT_EQ(mc::PTSplitterDragCoordinate(100, 2, 200, 20, 20), 100);
}

TEST(SplitterMaths, LaysOutPanesAroundTheBar) {
  const struct {
    TPTSplitterStyle style;
    int position;
    QRect pane1, pane2, bar;
  } cases[] = {
      {ptstVertical, 65, {0, 0, 65, 140}, {68, 0, 132, 140}, {65, 0, 3, 140}},
      {ptstHorizontal, 65, {0, 0, 200, 65}, {0, 68, 200, 72}, {0, 65, 200, 3}},
      {ptstVertical, -3, {0, 0, 0, 140}, {0, 0, 200, 140}, {-3, 0, 3, 140}},
      {ptstVertical, 199, {0, 0, 199, 140}, {202, 0, 0, 140}, {199, 0, 3, 140}},
  };
  for (const auto& c : cases) {
    const mc::PTSplitterGeometry g = mc::PTSplitterLayout(c.style, QSize(200, 140), c.position, 3);
    EXPECT_EQ(g.pane1, c.pane1) << c.position;
    EXPECT_EQ(g.pane2, c.pane2) << c.position;
    EXPECT_EQ(g.bar, c.bar) << c.position;
  }
}

TEST(Splitter, KeepsItsShareWhenResizedOnlyWhenProportional) {
  for (bool proportional : {true, false}) {
    TPTSplitter splitter;
    splitter.SetProportional(proportional);
    splitter.show();
    ASSERT_EQ(splitter.width(), 200);
    ASSERT_EQ(splitter.Position(), 65);
    QSignalSpy resized(&splitter, &TPTSplitter::OnResize);
    splitter.resize(400, 140);
    QApplication::processEvents();
    EXPECT_EQ(splitter.Position(), proportional ? 130 : 65);
    EXPECT_EQ(splitter.Pane(0)->width(), splitter.Position());
    EXPECT_EQ(splitter.Pane(1)->geometry(), QRect(splitter.Position() + 3, 0, 397 - splitter.Position(), 140));
    EXPECT_EQ(resized.count(), 1);
  }
}

TEST(Splitter, PositionHonoursMinimumSizesAndCanHideTheFirstPane) {
  TPTSplitter splitter;
  QSignalSpy changed(&splitter, &TPTSplitter::OnChange);
  splitter.SetPosition(5);
  EXPECT_EQ(splitter.Position(), 20);
  splitter.SetPosition(500);
  EXPECT_EQ(splitter.Position(), 180);
  EXPECT_EQ(changed.count(), 2);
  splitter.SetPosition(180);
  EXPECT_EQ(changed.count(), 2);  // no change, no notice

  splitter.SetPane1MinSize(-splitter.SplitterWidth());
  splitter.SetPosition(-splitter.SplitterWidth());
  EXPECT_EQ(splitter.Position(), -3);
  EXPECT_EQ(splitter.Pane(0)->width(), 0);
  EXPECT_EQ(splitter.Pane(1)->geometry(), QRect(0, 0, 200, 140));
}

void SendMouse(QWidget* w, QEvent::Type type, int x, Qt::MouseButtons buttons) {
  const QPointF local(x, 50);
  QMouseEvent event(type, local, w->mapToGlobal(local), Qt::LeftButton, buttons, Qt::NoModifier);
  QApplication::sendEvent(w, &event);
}

TEST(Splitter, GhostDragMovesPanesOnReleaseLiveDragAtOnce) {
  for (TPTFullDragMode mode : {ptfdOff, ptfdOn}) {
    SCOPED_TRACE(mode);
    TPTSplitter splitter;
    splitter.SetFullDragMode(mode);
    splitter.show();
    QSignalSpy changed(&splitter, &TPTSplitter::OnChange);
    QSignalSpy dragged(&splitter, &TPTSplitter::OnSplitterDrag);
    QSignalSpy dropped(&splitter, &TPTSplitter::OnSplitterDrop);

    SendMouse(&splitter, QEvent::MouseButtonPress, 66, Qt::LeftButton);  // one pixel into the bar
    EXPECT_TRUE(splitter.Dragging());
    SendMouse(&splitter, QEvent::MouseMove, 121, Qt::LeftButton);
    EXPECT_EQ(splitter.Pane(0)->width(), mode == ptfdOn ? 120 : 65);
    EXPECT_EQ(changed.count(), mode == ptfdOn ? 1 : 0);
    SendMouse(&splitter, QEvent::MouseMove, 400, Qt::LeftButton);  // held at the second pane's minimum
    EXPECT_EQ(dragged.last().at(0).toInt(), 181);
    SendMouse(&splitter, QEvent::MouseButtonRelease, 151, Qt::NoButton);

    EXPECT_FALSE(splitter.Dragging());
    EXPECT_EQ(splitter.Position(), 150);
    EXPECT_EQ(splitter.Pane(0)->width(), 150);
    ASSERT_EQ(dropped.count(), 1);
    EXPECT_EQ(dropped.at(0).at(0).toInt(), 150);
    EXPECT_EQ(changed.count(), mode == ptfdOn ? 3 : 1);
    // The new share holds on the next resize.
    splitter.resize(400, 140);
    QApplication::processEvents();
    EXPECT_EQ(splitter.Position(), 300);
  }
}

TEST(Splitter, CancelledDragLeavesThePanes) {
  TPTSplitter splitter;
  splitter.SetFullDragMode(ptfdOff);
  splitter.show();
  SendMouse(&splitter, QEvent::MouseButtonPress, 66, Qt::LeftButton);
  SendMouse(&splitter, QEvent::MouseMove, 121, Qt::LeftButton);
  splitter.CancelDrag();
  SendMouse(&splitter, QEvent::MouseButtonRelease, 121, Qt::NoButton);
  EXPECT_EQ(splitter.Position(), 65);
  EXPECT_EQ(splitter.Pane(0)->width(), 65);
}

TEST(Splitter, RenamingRenamesThePanes) {
  TPTSplitter splitter;
  splitter.setObjectName("PTSplitter1");
  EXPECT_EQ(splitter.Pane(0)->objectName(), "PTSplitter1_pane1");
  EXPECT_EQ(splitter.Pane(1)->objectName(), "PTSplitter1_pane2");
  splitter.setObjectName("SplitterShell");
  EXPECT_EQ(splitter.Pane(1)->objectName(), "SplitterShell_pane2");
  EXPECT_EQ(splitter.Pane(0)->FrameStyle(), ptfsLowered);
  EXPECT_EQ(splitter.Pane1MinSize(), 20);
}

}  // namespace
