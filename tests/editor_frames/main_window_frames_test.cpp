#include "editor/frame_strip.h"
#include "tests/editor_app/app_fixture.h"

#include <QAction>
#include <QMenuBar>

#include <gtest/gtest.h>

namespace movinta::editor {
namespace {

[[maybe_unused]] auto* const kQt = ::testing::AddGlobalTestEnvironment(new testing::QtEnvironment);

QAction* FindAction(TfrmMain& main, const QString& text) {
  for (QAction* menu : main.menuBar()->actions())
    if (menu->menu())
      for (QAction* a : menu->menu()->actions())
        if (a->text() == text) return a;
  return nullptr;
}

using MainFramesTest = testing::AppTest;

TEST_F(MainFramesTest, TheStripShowsTheDocumentAndItsMenusEditIt) {
  TfrmMain& main = OpenMain();
  ASSERT_NE(main.OpenFile(Gif(QStringLiteral("a.gif"), 3)), nullptr);
  ASSERT_NE(main.FrameStrip(), nullptr);
  EXPECT_EQ(main.FrameStrip()->ColumnCount(), 3);
  EXPECT_EQ(main.FrameStrip()->SelectedFrame(), 0);

  QAction* left = FindAction(main, QStringLiteral("Move Frame &Left"));
  QAction* right = FindAction(main, QStringLiteral("Move Frame &Right"));
  ASSERT_TRUE(left && right);
  EXPECT_FALSE(left->isEnabled());
  EXPECT_TRUE(right->isEnabled());
  right->trigger();
  EXPECT_EQ(testing::Delays(*SharedImage()), (std::vector<int>{20, 10, 30}));
  EXPECT_EQ(main.FrameStrip()->SelectedFrame(), 1);
  main.ShowFrame(2);
  EXPECT_FALSE(right->isEnabled());
  EXPECT_TRUE(left->isEnabled());
}

TEST_F(MainFramesTest, ShowingAFrameWhilePlayingStopsPlayback) {
  TfrmMain& main = OpenMain();
  ASSERT_NE(main.OpenFile(Gif(QStringLiteral("a.gif"), 3)), nullptr);
  ASSERT_TRUE(main.Player()->Playback().Play());
  EXPECT_TRUE(main.FrameCommands().Playing());
  EXPECT_FALSE(FindAction(main, QStringLiteral("&Delete Frame"))->isEnabled());
  main.ShowFrame(1);
  EXPECT_FALSE(main.Player()->Playback().Playing());
  EXPECT_FALSE(main.FrameCommands().Playing());
  EXPECT_EQ(main.FrameStrip()->SelectedFrame(), 1);
  EXPECT_TRUE(FindAction(main, QStringLiteral("&Delete Frame"))->isEnabled());
}

}  // namespace
}  // namespace movinta::editor
