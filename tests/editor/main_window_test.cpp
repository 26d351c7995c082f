#include "editor/document_window.h"
#include "editor/main_window.h"
#include "editor/widget_helpers.h"
#include "gif_fixture.h"
#include "test_support.h"

#include <QApplication>
#include <QMdiArea>
#include <QMenu>
#include <QMdiSubWindow>

#include <gtest/gtest.h>

namespace movinta::editor {
namespace {

void FlushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

class MainWindowTest : public ::testing::Test {
protected:
  void SetUp() override {
    main_ = std::make_unique<TfrmMain>(false);
    main_->show();
    pa_ = MakeFile(QStringLiteral("a.gif"), 2);
    pb_ = MakeFile(QStringLiteral("b.gif"), 3);
  }
  void TearDown() override {
    main_.reset();
    FlushDeletes();
  }
  QString MakeFile(const QString& name, int frames) {
    const QString path = tmp_.Path + QLatin1Char('/') + name;
    testing::WriteAnimation(*testing::MakeAnimation(frames), path);
    return path;
  }
  void Edit(TMDIChild* d, int delay) {
    d->AddUndoEntry(TUndoKind::GraphicControl, TUndoOperation::Changed, -1, -1, 0, QStringLiteral("Change Delay"));
    SetFrameDelay(*SharedImage()->Images().GetFrame(0), delay);
    d->SetModified(true);
  }

  testing::ScopedTmpDir tmp_;
  testing::RecordingMessages messages_;
  std::unique_ptr<TfrmMain> main_;
  QString pa_, pb_;
};

TEST_F(MainWindowTest, ActivatingADocumentWindowSwitchesTheWorkingImage) {
  TMDIChild* a = main_->OpenFile(pa_);
  TMDIChild* b = main_->OpenFile(pb_);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(main_->MdiArea()->subWindowList().size(), 2);
  EXPECT_EQ(main_->MdiArea()->activeSubWindow(), main_->SubWindowFor(b));
  main_->MdiArea()->setActiveSubWindow(main_->SubWindowFor(a));
  EXPECT_EQ(main_->Documents().Active(), a);
  EXPECT_EQ(testing::Delays(*SharedImage()), (std::vector<int>{10, 20}));
  EXPECT_EQ(main_->OpenFile(pb_), b) << "an open file is brought to the front, not opened twice";
  EXPECT_EQ(main_->Documents().Active(), b);
  EXPECT_EQ(main_->Documents().Count(), 2);
}

TEST_F(MainWindowTest, AFailedSwitchKeepsThePreviousWindowInFront) {
  TMDIChild* a = main_->OpenFile(pa_);
  TMDIChild* b = main_->OpenFile(pb_);
  tmp_.MakeUnusable();
  Edit(b, 61);
  main_->MdiArea()->setActiveSubWindow(main_->SubWindowFor(a));
  EXPECT_EQ(main_->Documents().Active(), b);
  EXPECT_EQ(main_->MdiArea()->activeSubWindow(), main_->SubWindowFor(b));
  EXPECT_EQ(testing::Delays(*SharedImage()), (std::vector<int>{61, 20, 30}));
  EXPECT_TRUE(main_->FileSave->isEnabled());
  EXPECT_EQ(main_->EditUndo->text(), QStringLiteral("&Undo Change Delay"));
}

TEST_F(MainWindowTest, ClosingAWindowAsksAndCancelKeepsIt) {
  TMDIChild* a = main_->OpenFile(pa_);
  Edit(a, 5);
  QPointer<QMdiSubWindow> sub = main_->SubWindowFor(a);
  messages_.Answers = {mrCancel};
  sub->close();
  FlushDeletes();
  ASSERT_TRUE(sub);
  EXPECT_EQ(main_->Documents().Count(), 1);
  messages_.Answers = {mrNo};
  sub->close();
  FlushDeletes();
  EXPECT_FALSE(sub);
  EXPECT_EQ(main_->Documents().Count(), 0);
  EXPECT_TRUE(main_->MdiArea()->subWindowList().isEmpty());
}

TEST_F(MainWindowTest, AWindowFreedByTheModelIsNotUsedAfterwards) {
  TMDIChild* d = main_->Documents().NewDocument();
  ASSERT_NE(d, nullptr);
  d->AddUndoEntry(TUndoKind::Animation, TUndoOperation::Added, -1, -1, -1, QStringLiteral("Insert Frame"));
  ReplaceSharedImage(testing::MakeAnimation(1));
  d->SetModified(true);
  QPointer<QMdiSubWindow> sub = main_->SubWindowFor(d);
  d->Undo();  // back to an empty animation: the window goes without a question
  FlushDeletes();
  EXPECT_FALSE(sub);
  EXPECT_EQ(main_->Documents().Count(), 0);
  EXPECT_TRUE(messages_.Shown.empty());
}

TEST_F(MainWindowTest, ClosingTheMainWindowClosesEveryDocumentUnlessCancelled) {
  TMDIChild* a = main_->OpenFile(pa_);
  Edit(a, 8);
  main_->OpenFile(pb_);
  messages_.Answers = {mrCancel};
  EXPECT_FALSE(main_->close());
  EXPECT_EQ(main_->Documents().Count(), 2) << "the unmodified one stays too: closing stops at the cancel";
  messages_.Answers = {mrYes};
  EXPECT_TRUE(main_->close());
  EXPECT_EQ(main_->Documents().Count(), 0);
  auto saved = ReadGifFile(pa_);
  ASSERT_TRUE(saved);
  EXPECT_EQ(GetFrameDelay(*saved, 0), 8);
}

TEST(WidgetHelpers, FindsMenuItemsByPartOfTheirCaption) {
  QMenu menu;
  menu.addAction(QStringLiteral("&Open..."));
  menu.addAction(QStringLiteral("Play /tmp/a.gif"));
  menu.addAction(QStringLiteral("Play /tmp/b.gif"));
  EXPECT_EQ(FindMenuItemByCaption(&menu, QStringLiteral("Open")), 0);
  EXPECT_EQ(FindPopupItemByCaption(&menu, QStringLiteral("/tmp/b.gif")), 2);
  EXPECT_EQ(FindMenuItemByCaption(&menu, QStringLiteral("Close")), -1);
  EXPECT_EQ(FindMenuItemByCaption(nullptr, QStringLiteral("Open")), -1);
}

}  // namespace
}  // namespace movinta::editor
