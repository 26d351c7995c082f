#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <set>

#include "controls/shell/pidl_list.h"
#include "controls/shell/shell_dragdrop.h"

#include "controls/shell/pt_messages.h"
#include "platform/shellnamespace/user_folders.h"
#include "controls/shell/widgets/ptshellcombo.h"
#include "controls/shell/widgets/ptshelllist.h"
#include "controls/shell/widgets/ptshelltree.h"
#include "shell_fixture.h"

using namespace ptshell;

namespace {

class ShellTreeTest : public ShellControlsTest {
 protected:
  void SetUp() override {
    ShellControlsTest::SetUp();
    MakeDir(tree + "/alpha/inner/deep");
    MakeDir(tree + "/beta");
    WriteFile(tree + "/beta/only-a-file.txt", "x");
    WriteFile(tree + "/top.txt", "x");
  }

  static TPTTreeNode* Child(TPTTreeNode* node, const QString& text) {
    for (int i = 0; node && i < node->Count(); ++i)
      if (node->Child(i)->Text() == text) return node->Child(i);
    return nullptr;
  }
  static QStringList Texts(TPTTreeNode* node) {
    QStringList out;
    for (int i = 0; node && i < node->Count(); ++i) out << node->Child(i)->Text();
    return out;
  }
};

TEST_F(ShellTreeTest, FillsTheBaseFolderAndExpandsBranchesOnDemand) {
  TPTShellTree t;
  t.BaseFolder().SetPath(tree);
  TPTTreeNode* rootNode = t.TopNode();
  ASSERT_NE(rootNode, nullptr);
  EXPECT_EQ(rootNode->Text().toStdString(), shellns::BaseName(tree));
  EXPECT_EQ(Texts(rootNode), (QStringList{"alpha", "beta"}));
  TPTTreeNode* alpha = Child(rootNode, "alpha");
  TPTTreeNode* beta = Child(rootNode, "beta");
  // alpha has a subfolder; beta holds only a file, so no button without
  // non-folders, once the look into beta, made off the GUI thread, has answered.
  EXPECT_TRUE(beta->HasChildren());
  EXPECT_TRUE(QTest::qWaitFor([&] { return !beta->HasChildren(); }, 3000));
  EXPECT_TRUE(alpha->HasChildren());
  EXPECT_EQ(alpha->Count(), 0);
  alpha->SetExpanded(true);
  EXPECT_EQ(Texts(alpha), QStringList{"inner"});
  EXPECT_EQ(t.Selected(), rootNode);
  EXPECT_EQ(t.GetSelectedPath(), tree);

  TPTShellTree withFiles;
  withFiles.SetOptions(kShellTreeDefaultOptions | ptstoIncludeNonFolders);
  withFiles.BaseFolder().SetPath(tree);
  EXPECT_EQ(Texts(withFiles.TopNode()), (QStringList{"alpha", "beta", "top.txt"}));
  EXPECT_TRUE(Child(withFiles.TopNode(), "beta")->HasChildren());
}

TEST_F(ShellTreeTest, SelectionWalksToADeepFolderAndStopsWhereALevelIsRefused) {
  TPTShellTree t;
  t.BaseFolder().SetPath(tree);
  t.SetSelectedPath(tree + "/alpha/inner/deep");
  EXPECT_EQ(t.GetSelectedPath(), tree + "/alpha/inner/deep");
  EXPECT_TRUE(Child(t.TopNode(), "alpha")->Expanded());
  t.GoUp(2);
  EXPECT_EQ(t.GetSelectedPath(), tree + "/alpha");
  t.GoUp(5);  // never past the root
  EXPECT_EQ(t.Selected(), t.TopNode());
  // Drawing events see each node with its shell data.
  std::set<std::string> drawn;
  t.OnCustomDrawSh = [&](TPTCustomShellTree*, TPTTvCustomDraw* draw, TPTTreeNode*, TPTShTreeData* data) {
    if (data) drawn.insert(data->GetPath());
    draw->SetFontColor(Qt::red);
  };
  t.resize(300, 300);
  t.grab();
  EXPECT_TRUE(drawn.count(tree + "/alpha"));
  EXPECT_TRUE(drawn.count(tree));
  t.OnCustomDrawSh = nullptr;

  // A level the item test refuses is not walked past.
  t.OnAddItem = [](QObject*, const ShellFolderPtr&, PCItemIDList, PCItemIDList item, uint32_t, bool& allow) {
    shellns::ItemView v;
    allow = !(shellns::DecodeItem(item, v) && v.name == "hidden-level");
  };
  MakeDir(tree + "/beta/hidden-level/below");
  t.SetSelectedPath(tree + "/beta/hidden-level/below");
  EXPECT_EQ(t.GetSelectedPath(), tree + "/beta");
  EXPECT_EQ(Child(Child(t.TopNode(), "beta"), "hidden-level"), nullptr);
}

TEST_F(ShellTreeTest, RemovedFolderVanishesFromExpandedBranchAndSelectionMovesUp) {
  TPTShellTree t;
  t.resize(300, 300);
  t.show();
  t.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&t));
  t.setFocus();
  t.BaseFolder().SetPath(tree);
  t.SetSelectedPath(tree + "/alpha/inner/deep");
  ASSERT_EQ(t.GetSelectedPath(), tree + "/alpha/inner/deep");
  ASSERT_NE(t.Watcher(), nullptr);
  MakeDir(tree + "/gamma");
  shellns::DeletePermanently(tree + "/alpha/inner");
  // The watcher's notice starts the refresh timer; the refresh reconciles the opened branches.
  ASSERT_TRUE(QTest::qWaitFor([&] { return t.RefreshScheduled(); }, 3000));
  EXPECT_EQ(t.RefreshInterval(), 400);  // focused
  ASSERT_TRUE(QTest::qWaitFor([&] { return Child(t.TopNode(), "gamma") != nullptr; }, 4000));
  TPTTreeNode* alpha = Child(t.TopNode(), "alpha");
  ASSERT_NE(alpha, nullptr);
  EXPECT_EQ(alpha->Count(), 0);
  EXPECT_TRUE(alpha->Expanded() || !alpha->HasChildren());
  EXPECT_EQ(t.Selected(), alpha);
  EXPECT_EQ(t.GetSelectedPath(), tree + "/alpha");
  EXPECT_EQ(Texts(t.TopNode()), (QStringList{"alpha", "beta", "gamma"}));
}

// Replaces the shell menu's popup with a chooser for the length of a test.
struct MenuChooser {
  std::function<QAction*(QWidget*, QMenu*, const QPoint&)> old = TPTCustomShellTree::MenuTracker;
  explicit MenuChooser(std::function<QAction*(QWidget*, QMenu*, const QPoint&)> f) {
    TPTCustomShellTree::MenuTracker = std::move(f);
  }
  ~MenuChooser() { TPTCustomShellTree::MenuTracker = old; }
};

QAction* ActionWithId(QMenu* menu, int id) {
  for (QAction* a : menu->actions())
    if (MenuCommandId(a) == id) return a;
  return nullptr;
}

TEST_F(ShellTreeTest, ChangeNoticeKeepsAPendingSyncAndWaitsForAMenuCommand) {
  MakeDir(tree + "/delta");
  TPTShellTree t;
  TPTShellList list;
  t.resize(300, 300);
  t.show();
  t.BaseFolder().SetPath(tree);
  t.SetShellList(&list);
  Settle();
  t.setFocus();
  QTest::keyClick(&t, Qt::Key_Down);
  ASSERT_TRUE(t.SyncPending());
  TPTMessageEvent notice(WM_PT_CHANGENOTIFY, 0, 0);
  QApplication::sendEvent(&t, &notice);
  // Syncing the list and refreshing wait apart: neither cancels the other.
  EXPECT_TRUE(t.SyncPending());
  EXPECT_TRUE(t.RefreshScheduled());
  t.FlushPendingSync(false);
  EXPECT_EQ(list.FolderPath(), tree + "/alpha");

  // A change arriving while a menu command runs is refreshed once it is over.
  bool pendingInside = false;
  MenuChooser chooser([&](QWidget*, QMenu*, const QPoint&) -> QAction* {
    MakeDir(tree + "/late");
    TPTMessageEvent during(WM_PT_CHANGENOTIFY, 0, 0);
    QApplication::sendEvent(&t, &during);
    pendingInside = t.RefreshPending && !t.RefreshScheduled();
    return nullptr;
  });
  TPTTreeNode* beta = Child(t.TopNode(), "beta");
  t.ShowContextMenu(beta, t.visualItemRect(beta).center());
  EXPECT_TRUE(pendingInside);
  EXPECT_FALSE(t.RefreshPending);
  EXPECT_NE(Child(t.TopNode(), "late"), nullptr);
}

TEST_F(ShellTreeTest, ListFollowsKeyboardMovesAfterRestAndClicksAtOnce) {
  MakeDir(tree + "/delta");
  TPTShellTree t;
  TPTShellList list;
  t.resize(300, 300);
  t.show();
  t.BaseFolder().SetPath(tree);
  t.SetShellList(&list);
  Settle();
  ASSERT_EQ(list.FolderPath(), tree);
  int fills = 0;
  list.OnFillStart = [&](TPTCustomShellList*) { ++fills; };
  t.setFocus();
  for (int i = 0; i < 3; ++i) QTest::keyClick(&t, Qt::Key_Down);
  EXPECT_EQ(t.GetSelectedPath(), tree + "/delta");
  EXPECT_EQ(list.FolderPath(), tree);
  EXPECT_EQ(fills, 0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return list.FolderPath() == tree + "/delta"; }, 2000));
  EXPECT_EQ(fills, 1);
  TPTTreeNode* alpha = Child(t.TopNode(), "alpha");
  QTest::mouseClick(t.viewport(), Qt::LeftButton, {}, t.visualItemRect(alpha).center());
  EXPECT_EQ(list.FolderPath(), tree + "/alpha");
  EXPECT_EQ(fills, 2);
  list.OnFillStart = nullptr;
}

TEST_F(ShellTreeTest, RenamesInPlaceFromTheMenuEntryWithoutASecondRefresh) {
  TPTShellTree t;
  TPTShellList list;
  t.resize(300, 300);
  t.show();
  t.BaseFolder().SetPath(tree);
  t.SetShellList(&list);
  t.SetSelectedPath(tree + "/alpha/inner");
  Settle();
  TPTTreeNode* alpha = Child(t.TopNode(), "alpha");
  // The menu's rename entry opens the label editor rather than a shell rename.
  MenuChooser chooser([](QWidget*, QMenu* menu, const QPoint&) { return ActionWithId(menu, 1000 + 18); });
  t.ShowContextMenu(alpha, t.visualItemRect(alpha).center());
  ASSERT_TRUE(t.IsEditing());
  auto* edit = t.viewport()->findChild<QLineEdit*>();
  if (!edit) edit = t.findChild<QLineEdit*>();
  ASSERT_NE(edit, nullptr);
  edit->setText("omega");
  QTest::keyClick(edit, Qt::Key_Return);
  Settle();
  EXPECT_FALSE(Exists(tree + "/alpha"));
  EXPECT_TRUE(Exists(tree + "/omega/inner"));
  TPTTreeNode* renamed = Child(t.TopNode(), "omega");
  ASSERT_NE(renamed, nullptr);
  EXPECT_EQ(t.NodeData(renamed)->GetPath(), tree + "/omega");
  // The opened branch below is still there, with paths that follow the new name.
  ASSERT_NE(Child(renamed, "inner"), nullptr);
  EXPECT_EQ(t.NodeData(Child(renamed, "inner"))->GetPath(), tree + "/omega/inner");
  EXPECT_EQ(list.FolderPath(), tree + "/omega");
  // The watcher's own notice of the rename is dropped.
  QTest::qWait(150);
  Settle();
  EXPECT_FALSE(t.RefreshScheduled());
}

TEST_F(ShellTreeTest, DropOntoANodeMovesIntoItsFolderAndDeleteKeyTrashesANode) {
  shellns::Services().confirm = [](QWidget*, const QString&) { return true; };
  MakeDir(root + "/other");
  WriteFile(root + "/other/x.txt", "x");
  TPTShellTree t;
  t.resize(300, 300);
  t.show();
  t.BaseFolder().SetPath(tree);
  Settle();
  TPTTreeNode* beta = Child(t.TopNode(), "beta");
  PItemIDList parent = nullptr, item = nullptr;
  ASSERT_TRUE(SUCCEEDED(PathToPidl(root + "/other", parent)));
  ASSERT_TRUE(SUCCEEDED(PathToPidl(root + "/other/x.txt", item)));
  PidlPtr holdParent(parent), holdItem(item);
  TPTIdListArray split(item);
  PidlPtr relative(CopyPidl(nullptr, split.Item(split.Count() - 1)));
  std::unique_ptr<QMimeData> data(CreateShellDataObject(parent, {relative.get()}));
  const QPoint at = t.visualItemRect(beta).center();
  const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
  QDragEnterEvent enter(at, actions, data.get(), Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(t.viewport(), &enter);
  QDragMoveEvent move(at, actions, data.get(), Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(t.viewport(), &move);
  EXPECT_TRUE(move.isAccepted());
  QDropEvent drop(at, actions, data.get(), Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(t.viewport(), &drop);
  EXPECT_TRUE(Exists(tree + "/beta/x.txt"));
  EXPECT_FALSE(Exists(root + "/other/x.txt"));

  t.SetSelected(Child(t.TopNode(), "beta"));
  t.setFocus();
  QTest::keyClick(&t, Qt::Key_Delete);
  EXPECT_FALSE(Exists(tree + "/beta"));
  EXPECT_EQ(Child(t.TopNode(), "beta"), nullptr);
  EXPECT_EQ(t.Selected(), t.TopNode());
}

TEST_F(ShellTreeTest, NewFolderIsMadeInTheSelectionAndItsLabelEdited) {
  TPTShellTree t;
  t.resize(300, 300);
  t.show();
  t.BaseFolder().SetPath(tree);
  t.SetSelectedPath(tree + "/beta");
  ASSERT_TRUE(t.CreateFolder());
  EXPECT_TRUE(Exists(tree + "/beta/New Folder"));
  TPTTreeNode* beta = Child(t.TopNode(), "beta");
  ASSERT_NE(Child(beta, "New Folder"), nullptr);
  EXPECT_TRUE(beta->Expanded());
  EXPECT_TRUE(t.IsEditing());
  EXPECT_EQ(t.Selected(), Child(beta, "New Folder"));
}

}  // namespace
