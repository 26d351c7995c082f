#include "editor/forms/progress_window.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace movinta::editor::forms {
namespace {

TEST(ProgressWindow, HasNoCaptionBarAndShowsEachStep) {
  TfrmProgress window;
  EXPECT_FALSE(window.windowFlags() & Qt::WindowTitleHint);
  EXPECT_FALSE(window.windowFlags() & Qt::WindowSystemMenuHint);
  window.Start(4, QStringLiteral("clip.avi"));
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(window.prgBar->maximum(), 4);
  EXPECT_FALSE(window.Step(3, QStringLiteral("frame3.bmp"), QStringLiteral("Frame 3 of 4")));
  EXPECT_EQ(window.prgBar->value(), 3);
  EXPECT_EQ(window.lblFileName->text(), QStringLiteral("frame3.bmp"));
  EXPECT_EQ(window.lblProgress->text(), QStringLiteral("Frame 3 of 4"));
  window.Finish();
  EXPECT_FALSE(window.isVisible());
}

// A long loop on the GUI thread that polls the window between steps stops at the first poll after
// the user presses Cancel, and the window's result says Cancel.
TEST(ProgressWindow, CancelStopsTheLoopThatPollsIt) {
  TfrmProgress window;
  window.Start(1000);
  int done = 0;
  for (int i = 0; i < 1000; ++i) {
    if (i == 5) QTimer::singleShot(0, window.btnCancel, [&window] { QTest::mouseClick(window.btnCancel, Qt::LeftButton); });
    if (window.Step(i, QString(), QString::number(i))) break;
    ++done;
  }
  EXPECT_LT(done, 1000);
  EXPECT_GE(done, 5);
  EXPECT_EQ(window.ModalResult(), 2);
  // Escape and a close from outside ask the same, without taking the window away under the loop.
  TfrmProgress other;
  other.Start(10);
  QTest::keyClick(&other, Qt::Key_Escape);
  EXPECT_TRUE(other.CancelRequested());
  EXPECT_TRUE(other.isVisible());
  TfrmProgress third;
  third.Start(10);
  third.close();
  EXPECT_TRUE(third.CancelRequested());
  EXPECT_TRUE(third.isVisible());
}

}  // namespace
}  // namespace movinta::editor::forms
