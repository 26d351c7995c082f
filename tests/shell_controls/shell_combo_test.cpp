#include <QImage>
#include <QWheelEvent>
#include <QPainter>

#include "controls/shell/widgets/ptshellcombo.h"
#include "controls/shell/widgets/ptshelllist.h"
#include "controls/shell/widgets/ptshelltree.h"
#include "shell_fixture.h"

using namespace ptshell;

namespace {

class ShellComboTest : public ShellControlsTest {
 protected:
  struct Entry {
    QString caption;
    int indent;
  };
  // The entries as drawn: captions are filled in when an entry is first shown.
  static std::vector<Entry> Entries(TPTCustomShellCombo& combo) {
    QImage img(300, 20, QImage::Format_RGB32);
    QPainter p(&img);
    std::vector<Entry> out;
    for (int i = 0; i < combo.ItemCount(); ++i) {
      combo.DrawItem(p, i, QRect(0, 0, 300, 20), false, false);
      out.push_back({combo.Items(i)->Caption(), combo.Items(i)->Indent});
    }
    return out;
  }
  static QString Current(TPTCustomShellCombo& combo) {
    return combo.currentIndex() >= 0 ? combo.Items(combo.currentIndex())->Caption() : QString();
  }
};

TEST_F(ShellComboTest, ShowsTheAncestryOfADeepFolderWithItsIndents) {
  MakeDir(tree + "/a/b");
  TPTShellCombo combo;
  combo.Folder().SetPath(tree + "/a/b");
  const std::vector<Entry> entries = Entries(combo);
  ASSERT_GE(entries.size(), 5u);
  EXPECT_EQ(entries[0].caption, "Desktop");
  EXPECT_EQ(entries[0].indent, 0);
  // The desktop's own folders at indent 1, the volumes of Computer below it at 2.
  int computer = -1;
  for (size_t i = 1; i < entries.size(); ++i)
    if (entries[i].caption == "Computer") computer = static_cast<int>(i);
  ASSERT_GT(computer, 0);
  EXPECT_EQ(entries[static_cast<size_t>(computer)].indent, 1);
  EXPECT_EQ(entries[static_cast<size_t>(computer) + 1].caption, "File System");
  EXPECT_EQ(entries[static_cast<size_t>(computer) + 1].indent, 2);
  // Below the root file system, one entry per level of the path, each one deeper.
  QStringList parts = QString::fromStdString(tree + "/a/b").split('/', Qt::SkipEmptyParts);
  const size_t first = static_cast<size_t>(computer) + 2;
  ASSERT_GE(entries.size(), first + static_cast<size_t>(parts.size()));
  for (qsizetype k = 0; k < parts.size(); ++k) {
    EXPECT_EQ(entries[first + static_cast<size_t>(k)].caption, parts[k]);
    EXPECT_EQ(entries[first + static_cast<size_t>(k)].indent, 3 + k);
  }
  EXPECT_EQ(combo.currentIndex(), static_cast<int>(first) + parts.size() - 1);
  EXPECT_EQ(Current(combo), "b");
  // Entries after the chain belong to the desktop again.
  if (entries.size() > first + static_cast<size_t>(parts.size())) {
    EXPECT_EQ(entries[first + static_cast<size_t>(parts.size())].indent, 1);
  }

  combo.GoUp(1);
  EXPECT_EQ(combo.Folder().GetPath(), tree + "/a");
  // A desktop child that is no volume is itself the entry at indent 1.
  combo.Folder().SetCsidl(shellns::CSIDL_BITBUCKET);
  ASSERT_GE(combo.currentIndex(), 1);
  EXPECT_EQ(combo.Items(combo.currentIndex())->Indent, 1);
  EXPECT_EQ(Current(combo), "Trash");
  combo.Folder().SetPath(tree + "/a");
  EXPECT_EQ(Current(combo), "a");
  combo.Folder().Reset();
  EXPECT_EQ(combo.currentIndex(), 0);
  combo.GoUp(1);
  EXPECT_EQ(combo.currentIndex(), 0);
  EXPECT_EQ(combo.Folder().GetPidl(), nullptr);
}

TEST_F(ShellComboTest, LinksToATreeOrAListButNotBoth) {
  MakeDir(tree + "/a/b");
  TPTShellTree t;
  TPTShellList list;
  TPTShellCombo combo;
  t.BaseFolder().SetPath(tree);
  combo.SetShellTree(&t);
  combo.SetShellList(&list);
  EXPECT_EQ(combo.ShellList(), nullptr);
  EXPECT_EQ(list.ShellCombo(), nullptr);
  EXPECT_EQ(t.ShellCombo(), &combo);
  // The combo follows the tree, and the tree follows the combo.
  t.SetSelectedPath(tree + "/a/b");
  EXPECT_EQ(combo.Folder().GetPath(), tree + "/a/b");
  combo.GoUp(1);
  EXPECT_EQ(t.GetSelectedPath(), tree + "/a");
}

TEST_F(ShellComboTest, ChoosingAnEntryMovesALinkedList) {
  MakeDir(tree + "/a/b");
  TPTShellList list;
  TPTShellCombo combo;
  combo.SetShellList(&list);
  combo.Folder().SetPath(tree + "/a/b");
  EXPECT_EQ(list.FolderPath(), tree + "/a/b");
  const int a = combo.currentIndex() - 1;
  combo.setCurrentIndex(a);
  emit combo.activated(a);
  EXPECT_EQ(combo.Folder().GetPath(), tree + "/a");
  EXPECT_EQ(list.FolderPath(), tree + "/a");
  // The list going into a folder moves the combo too.
  list.OpenItem(list.FindItemByName("b"));
  EXPECT_EQ(combo.Folder().GetPath(), tree + "/a/b");
  EXPECT_EQ(Current(combo), "b");
}

TEST_F(ShellComboTest, KeysInTheClosedComboOpenItsListAndOnlyEnterChangesFolder) {
  MakeDir(tree + "/a/b");
  TPTShellList list;
  TPTShellCombo combo;
  combo.SetShellList(&list);
  combo.show();
  combo.Folder().SetPath(tree + "/a/b");
  int fills = 0;
  list.OnFillStart = [&](TPTCustomShellList*) { ++fills; };
  for (const Qt::Key key : {Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_End}) {
    QTest::keyClick(&combo, key);
    EXPECT_TRUE(combo.PopupShown()) << key;
    EXPECT_EQ(fills, 0) << key;
    combo.hidePopup();
  }
  QWheelEvent wheel(QPointF(5, 5), combo.mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(&combo, &wheel);
  EXPECT_EQ(combo.Folder().GetPath(), tree + "/a/b");
  // In the open list the keys move the highlight; Enter goes there.
  QTest::keyClick(&combo, Qt::Key_Down);
  ASSERT_TRUE(combo.PopupShown());
  QTest::keyClick(combo.view(), Qt::Key_Up);
  EXPECT_EQ(fills, 0);
  QTest::keyClick(combo.view(), Qt::Key_Return);
  EXPECT_EQ(combo.Folder().GetPath(), tree + "/a");
  EXPECT_EQ(list.FolderPath(), tree + "/a");
  EXPECT_EQ(fills, 1);
  list.OnFillStart = nullptr;
}

}  // namespace
