#include <fcntl.h>
#include <sys/stat.h>

#include <QLineEdit>
#include <QListView>
#include <QTreeView>

#include <QFileInfo>
#include <QMenu>
#include <QMimeData>

#include "controls/shell/device_change.h"
#include "controls/shell/pidl_list.h"
#include "controls/shell/pt_messages.h"
#include "controls/shell/widgets/ptshelllist.h"
#include "controls/shell/widgets/ptshelltree.h"
#include "controls/shell/shell_dragdrop.h"
#include "shell_fixture.h"

using namespace ptshell;

namespace {

class ShellListTest : public ShellControlsTest {
 protected:
  void SetUp() override {
    ShellControlsTest::SetUp();
    MakeDir(tree + "/Sub");
    WriteFile(tree + "/a.gif", std::string(10, 'a'));
    WriteFile(tree + "/B.GIF", std::string(3000, 'b'));
    WriteFile(tree + "/c.jpg", std::string(1025, 'c'));
    WriteFile(tree + "/d.txt", "");
    WriteFile(tree + "/.hidden", "h");
  }

  static QStringList Captions(TPTCustomShellList& list) {
    QStringList out;
    for (int i = 0; i < list.ItemCount(); ++i) out << list.ItemCaption(list.Item(i));
    return out;
  }
};

TEST_F(ShellListTest, FillsFiltersAndSortsByColumn) {
  struct Case {
    const char* filter;
    int sort;
    QStringList expected;
  };
  const Case cases[] = {
      {"", 1, {"Sub", ".hidden", "a.gif", "B.GIF", "c.jpg", "d.txt"}},
      {"*", 1, {"Sub", ".hidden", "a.gif", "B.GIF", "c.jpg", "d.txt"}},
      {"*.*", 1, {"Sub", ".hidden", "a.gif", "B.GIF", "c.jpg", "d.txt"}},
      {"*.gif;*.jpg", 1, {"Sub", "a.gif", "B.GIF", "c.jpg"}},
      {"*.GIF", 1, {"Sub", "a.gif", "B.GIF"}},
      {";;?.txt;", 1, {"Sub", "d.txt"}},
      {"[ab]*", 1, {"Sub"}},  // masks are not globs: brackets are plain characters
      {"*.gif;*.jpg", -1, {"c.jpg", "B.GIF", "a.gif", "Sub"}},  // descending turns the whole order
      {"", 2, {"Sub", "d.txt", ".hidden", "a.gif", "c.jpg", "B.GIF"}},  // by size
      {"", -2, {"B.GIF", "c.jpg", "a.gif", ".hidden", "d.txt", "Sub"}},
  };
  for (const Case& c : cases) {
    TPTShellList list;
    list.SetSortColumn(c.sort);
    list.SetFileFilter(c.filter);
    list.Folder().SetPath(tree);
    EXPECT_EQ(Captions(list), c.expected) << c.filter << " " << c.sort;
  }
  // Without hidden items the dot file goes.
  TPTShellList plain;
  plain.SetOptions(kShellListDefaultOptions & ~ptsloShowHidden);
  plain.Folder().SetPath(tree);
  EXPECT_FALSE(Captions(plain).contains(".hidden"));
  // A filter has no say in a folder outside the file system.
  TPTShellList computer;
  computer.SetFileFilter("*.gif");
  computer.Folder().SetCsidl(shellns::CSIDL_DRIVES);
  EXPECT_EQ(Captions(computer), QStringList{"File System"});
}

TEST_F(ShellListTest, StandardColumnsAndDetailTexts) {
  TPTShellList list;
  list.Folder().SetPath(tree);
  ASSERT_EQ(list.ColumnCount(), 4);
  const struct {
    const char* caption;
    int width;
    Qt::Alignment align;
  } columns[] = {{"Name", 200, Qt::AlignLeft}, {"Size", 60, Qt::AlignRight}, {"Type", 100, Qt::AlignLeft},
                 {"Modified", 120, Qt::AlignLeft}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(list.Column(i).Caption, columns[i].caption);
    EXPECT_EQ(list.ColumnWidth(i), columns[i].width);
    EXPECT_EQ(list.Column(i).Alignment, columns[i].align);
  }
  TPTListItem* jpg = list.FindItemByName("c.jpg");
  ASSERT_NE(jpg, nullptr);
  EXPECT_EQ(list.ItemSubText(jpg, 1), "2KB");
  EXPECT_FALSE(list.ItemSubText(jpg, 2).isEmpty());
  EXPECT_FALSE(list.ItemSubText(jpg, 3).isEmpty());
  EXPECT_TRUE(list.ItemSubText(list.FindItemByName("Sub"), 1).isEmpty());
  // A header click sorts by its column; a second click turns the order round.
  list.ColumnClick(1);
  EXPECT_EQ(list.SortColumn(), 2);
  EXPECT_EQ(list.TPTCustomListView::SortColumn(), 1);
  EXPECT_EQ(list.SortDirection(), 1);
  EXPECT_EQ(list.ItemCaption(list.Item(list.ItemCount() - 1)), "B.GIF");
  list.ColumnClick(1);
  EXPECT_EQ(list.SortColumn(), -2);
  EXPECT_EQ(list.SortDirection(), 0);
  EXPECT_EQ(list.ItemCaption(list.Item(0)), "B.GIF");
  // A column the user widened is kept for the next folder.
  list.SetColumnWidth(0, 321);
  list.Folder().SetPath(tree + "/Sub");
  EXPECT_EQ(list.ColumnWidth(0), 321);
  TPTShellList another;
  another.Folder().SetPath(tree);
  EXPECT_EQ(another.ColumnWidth(0), 321);
  // The widths are remembered for the whole program: put the default back.
  list.SetColumnWidth(0, 200);
  list.Folder().SetPath(tree);
}

TEST_F(ShellListTest, ShowsItsItemsInEveryViewStyle) {
  TPTShellList list;
  list.resize(500, 300);
  list.show();
  list.Folder().SetPath(tree);
  TPTListItem* gif = list.FindItemByName("a.gif");
  for (TViewStyle style : {vsIcon, vsSmallIcon, vsList, vsReport}) {
    list.SetViewStyle(style);
    Settle();
    const QRect icon = list.ItemIconRect(gif);
    EXPECT_TRUE(icon.isValid()) << style;
    EXPECT_EQ(icon.width(), style == vsIcon ? 32 : 16) << style;
    EXPECT_EQ(list.ItemAt(icon.center()), gif) << style;
    EXPECT_FALSE(list.grab().isNull());
  }
}

TEST_F(ShellListTest, ResyncAndRenameKeepTheSelection) {
  TPTShellList list;
  list.Folder().SetPath(tree);
  TPTListItem* jpg = list.FindItemByName("c.jpg");
  list.SetSelected(jpg, true);
  list.SetItemFocused(jpg);
  WriteFile(tree + "/e.png", "new");
  shellns::DeletePermanently(tree + "/d.txt");
  list.Resync();
  EXPECT_NE(list.FindItemByName("e.png"), nullptr);
  EXPECT_EQ(list.FindItemByName("d.txt"), nullptr);
  EXPECT_EQ(list.Selected(), jpg);
  EXPECT_EQ(list.SelCount(), 1);

  QString text = "renamed.jpg";
  EXPECT_TRUE(list.ItemModel()->setData(list.ItemModel()->index(jpg->Index, 0), text, Qt::EditRole));
  EXPECT_TRUE(Exists(tree + "/renamed.jpg"));
  EXPECT_FALSE(Exists(tree + "/c.jpg"));
  EXPECT_EQ(list.ItemCaption(jpg), "renamed.jpg");
  EXPECT_EQ(list.GetDataOf(jpg)->GetPath(), tree + "/renamed.jpg");
  list.Resync();
  EXPECT_EQ(list.Selected(), jpg);
  // A file that grew and got a new time keeps its item, selected and focused,
  // with the new size shown.
  WriteFile(tree + "/renamed.jpg", std::string(5000, 'c'));
  struct timespec times[2] = {{1000000, 0}, {1000000, 0}};
  utimensat(AT_FDCWD, (tree + "/renamed.jpg").c_str(), times, 0);
  list.Resync();
  EXPECT_EQ(list.Selected(), jpg);
  EXPECT_EQ(list.ItemFocused(), jpg);
  EXPECT_EQ(list.ItemSubText(jpg, 1), "5KB");
  // A name that is taken is refused and nothing is replaced.
  text = "a.gif";
  EXPECT_FALSE(list.ItemModel()->setData(list.ItemModel()->index(jpg->Index, 0), text, Qt::EditRole));
  EXPECT_TRUE(Exists(tree + "/renamed.jpg"));
  EXPECT_EQ(messages.size(), 1u);
}

TEST_F(ShellListTest, FailedFillLeavesFolderAndListTogether) {
  TPTShellList list;
  MakeDir(tree + "/Sub/gone");
  list.Folder().SetPath(tree + "/Sub/gone");
  ASSERT_EQ(list.FolderPath(), tree + "/Sub/gone");
  shellns::DeletePermanently(tree + "/Sub/gone");
  list.Refresh();
  EXPECT_EQ(list.ItemCount(), 0);
  EXPECT_EQ(ComparePidls(list.FolderPidl(), list.Folder().GetPidl()), 0);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], QString::fromStdString("Unable to read the folder " + tree +
                                                "/Sub/gone.\n\nNo such file or directory"));
  // Back to a readable folder, all is well again.
  list.Folder().SetPath(tree);
  EXPECT_EQ(list.FolderPath(), tree);
  EXPECT_GT(list.ItemCount(), 0);
}

TEST_F(ShellListTest, ARenameOfAFileThatWentNamesTheFileAndTheOperation) {
  TPTShellList list;
  list.Folder().SetPath(tree);
  TPTListItem* jpg = list.FindItemByName("c.jpg");
  ASSERT_NE(jpg, nullptr);
  shellns::DeletePermanently(tree + "/c.jpg");
  QString text = "new.jpg";
  EXPECT_FALSE(list.ItemModel()->setData(list.ItemModel()->index(jpg->Index, 0), text, Qt::EditRole));
  EXPECT_FALSE(Exists(tree + "/new.jpg"));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0],
            QString::fromStdString("Unable to rename " + tree + "/c.jpg to new.jpg.\n\nNo such file or directory"));
}

TEST_F(ShellListTest, EnterAndDoubleClickOpenFoldersUnlessTheListMayNotChangeFolder) {
  TPTShellList list;
  list.resize(400, 300);
  list.SetViewStyle(vsReport);
  list.show();
  list.Folder().SetPath(tree);
  Settle();
  TPTListItem* sub = list.FindItemByName("Sub");
  list.SetSelected(sub, true);
  list.SetItemFocused(sub);
  QTest::keyClick(list.ActiveView(), Qt::Key_Return);
  EXPECT_EQ(list.FolderPath(), tree + "/Sub");
  QTest::keyClick(list.ActiveView(), Qt::Key_Backspace);
  EXPECT_EQ(list.FolderPath(), tree);

  Settle();
  sub = list.FindItemByName("Sub");
  const QRect r = list.ReportView()->visualRect(list.ReportView()->model()->index(sub->Index, 0));
  QTest::mouseDClick(list.ReportView()->viewport(), Qt::LeftButton, {}, r.center());
  EXPECT_EQ(list.FolderPath(), tree + "/Sub");
  list.GoUp(1);
  EXPECT_EQ(list.FolderPath(), tree);

  list.SetOptions(kShellListDefaultOptions | ptsloDontChangeFolder);
  sub = list.FindItemByName("Sub");
  list.SetSelected(sub, true);
  list.OpenItem(sub);
  EXPECT_EQ(list.FolderPath(), tree);
  // A file goes to the double-click handler first.
  bool asked = false;
  list.OnDblClickOpen = [&](TPTCustomShellList*, bool& handled) {
    asked = true;
    handled = true;
  };
  list.OpenItem(list.FindItemByName("a.gif"));
  EXPECT_TRUE(asked);
}

TEST_F(ShellListTest, NewFolderGetsTheNextFreeNameAndItsCaptionEdited) {
  MakeDir(tree + "/New Folder");
  TPTShellList list;
  list.resize(400, 300);
  list.show();
  list.Folder().SetPath(tree);
  ASSERT_TRUE(list.CreateNewFolder(true));
  EXPECT_TRUE(Exists(tree + "/New Folder (2)"));
  ASSERT_NE(list.FindItemByName("New Folder (2)"), nullptr);
  Settle();
  EXPECT_TRUE(list.IsEditing());
}

TEST_F(ShellListTest, QuickChangesCauseOneResyncAndOwnRenamesNone) {
  TPTShellList list;
  list.resize(400, 300);
  list.show();
  list.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&list));
  list.SetFocusToList();
  list.Folder().SetPath(tree);
  ASSERT_NE(list.Watcher(), nullptr);
  int resyncs = 0;
  list.OnFillStart = [&](TPTCustomShellList*) { ++resyncs; };
  WriteFile(tree + "/one", "1");
  ASSERT_TRUE(QTest::qWaitFor([&] { return list.ResyncScheduled(); }, 2000));
  EXPECT_EQ(list.ResyncInterval(), 400);  // focused
  QTest::qWait(100);
  WriteFile(tree + "/two", "2");
  ASSERT_TRUE(QTest::qWaitFor([&] { return list.FindItemByName("two") != nullptr; }, 3000));
  QTest::qWait(50);
  EXPECT_EQ(resyncs, 1);
  EXPECT_NE(list.FindItemByName("one"), nullptr);

  // The list's own rename is not taken for a change from outside.
  TPTListItem* one = list.FindItemByName("one");
  ASSERT_TRUE(list.ItemModel()->setData(list.ItemModel()->index(one->Index, 0), QString("uno"), Qt::EditRole));
  QTest::qWait(200);
  EXPECT_FALSE(list.ResyncScheduled());
  EXPECT_EQ(resyncs, 1);

  // Without the focus a change waits longer.
  list.clearFocus();
  QWidget other;
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  WriteFile(tree + "/three", "3");
  ASSERT_TRUE(QTest::qWaitFor([&] { return list.ResyncScheduled(); }, 2000));
  EXPECT_EQ(list.ResyncInterval(), 2000);
  list.OnFillStart = nullptr;
}

TEST_F(ShellListTest, HidesFileSystemFoldersWhenLinkedToATree) {
  TPTShellTree t;
  TPTShellList list;
  list.SetOptions(kShellListDefaultOptions | ptsloHideFoldersWhenLinkedToTree);
  t.BaseFolder().SetPath(tree);
  t.SetShellList(&list);
  Settle();
  ASSERT_EQ(list.FolderPath(), tree);
  EXPECT_EQ(list.FindItemByName("Sub"), nullptr);
  EXPECT_NE(list.FindItemByName("a.gif"), nullptr);
  // Virtual folders stay: the desktop's Computer is no file-system folder.
  list.Folder().Reset();
  EXPECT_NE(list.FindItemByName("Computer"), nullptr);
  EXPECT_EQ(list.FindItemByName("Home"), nullptr);
}

}  // namespace

namespace {

class ShellListActionsTest : public ShellListTest {
 protected:
  // Shows the tree's folder with one item selected and focused.
  void ShowSelecting(TPTShellList& list, const QString& name) {
    list.resize(400, 300);
    list.show();
    list.Folder().SetPath(tree);
    TPTListItem* item = list.FindItemByName(name);
    ASSERT_NE(item, nullptr);
    list.SetSelected(item, true);
    list.SetItemFocused(item);
  }
  // A program in the Send To folder.
  void MakeSendToEntry(const std::string& name) {
    const std::string sendTo = home + "/.local/share/gif-movinta/SendTo";
    MakeDir(sendTo);
    WriteFile(sendTo + "/" + name, "#!/bin/sh\n");
    chmod((sendTo + "/" + name).c_str(), 0700);
  }
};

PidlPtr PidlOf(const std::string& path) {
  PItemIDList p = nullptr;
  EXPECT_TRUE(SUCCEEDED(PathToPidl(path, p))) << path;
  return PidlPtr(p);
}

TEST_F(ShellListActionsTest, DefaultKeysSelectRefreshRenameAndDelete) {
  shellns::Services().confirm = [](QWidget*, const QString&) { return true; };
  TPTShellList list;
  list.resize(400, 300);
  list.SetViewStyle(vsReport);
  list.show();
  list.Folder().SetPath(tree);
  QWidget* view = list.ActiveView();
  QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(list.SelCount(), list.ItemCount());
  int fills = 0;
  list.OnFillStart = [&](TPTCustomShellList*) { ++fills; };
  QTest::keyClick(view, Qt::Key_F5);
  EXPECT_EQ(fills, 1);
  list.OnFillStart = nullptr;

  TPTListItem* txt = list.FindItemByName("d.txt");
  list.ClearSelection();
  list.SetSelected(txt, true);
  list.SetItemFocused(txt);
  QTest::keyClick(view, Qt::Key_Delete);
  EXPECT_FALSE(Exists(tree + "/d.txt"));
  EXPECT_TRUE(Exists(home + "/.local/share/Trash/files/d.txt"));
  EXPECT_EQ(list.FindItemByName("d.txt"), nullptr);

  TPTListItem* gif = list.FindItemByName("a.gif");
  list.SetSelected(gif, true);
  list.SetItemFocused(gif);
  QTest::keyClick(view, Qt::Key_F2);
  EXPECT_TRUE(list.IsEditing());
}

TEST_F(ShellListActionsTest, DropsGoToTheFolderUnderThePointerOrTheListsOwn) {
  MakeDir(root + "/other");
  WriteFile(root + "/other/x.txt", "x");
  WriteFile(root + "/other/y.txt", "y");
  TPTShellList list;
  list.resize(400, 300);
  list.SetViewStyle(vsReport);
  list.show();
  list.Folder().SetPath(tree);
  Settle();
  QWidget* viewport = list.ReportView()->viewport();
  PidlPtr parent = PidlOf(root + "/other");
  auto dropAt = [&](const std::string& name, QPoint at) {
    PidlPtr item = PidlOf(root + "/other/" + name);
    TPTIdListArray split(item.get());
    PidlPtr relative(CopyPidl(nullptr, split.Item(split.Count() - 1)));
    std::unique_ptr<QMimeData> data(CreateShellDataObject(parent.get(), {relative.get()}));
    ASSERT_NE(data, nullptr);
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(at, actions, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QDragMoveEvent move(at, actions, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
    EXPECT_TRUE(move.isAccepted()) << name;
    QDropEvent drop(at, actions, data.get(), Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);
  };
  TPTListItem* sub = list.FindItemByName("Sub");
  dropAt("x.txt", list.ReportView()->visualRect(list.ItemModel()->index(sub->Index, 0)).center());
  EXPECT_TRUE(Exists(tree + "/Sub/x.txt"));
  dropAt("y.txt", QPoint(200, 280));
  EXPECT_TRUE(Exists(tree + "/y.txt"));
  // A plain file takes no drop of its own: the drop goes to the list's folder.
  WriteFile(root + "/other/z.txt", "z");
  TPTListItem* file = list.FindItemByName("a.gif");
  dropAt("z.txt", list.ReportView()->visualRect(list.ItemModel()->index(file->Index, 0)).center());
  EXPECT_TRUE(Exists(tree + "/z.txt"));
  EXPECT_FALSE(Exists(root + "/other/y.txt"));  // within one volume a plain drop moves
  ASSERT_TRUE(QTest::qWaitFor([&] { return list.FindItemByName("y.txt") != nullptr; }, 3000));
}

TEST_F(ShellListActionsTest, DeviceNoticeRefreshesAListOfTheComputer) {
  TPTShellList computer, folder;
  computer.Folder().SetCsidl(shellns::CSIDL_DRIVES);
  folder.Folder().SetPath(tree);
  ASSERT_EQ(computer.ItemCount(), 1);
  const int folderItems = folder.ItemCount();
  MakeDir(home + "/usb");
  WriteFile(root + "/mountinfo2", "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n30 22 8:17 / " + home +
                                      "/usb rw,nosuid - vfat /dev/sdb1 rw\n");
  shellns::MountTable::SetSource(root + "/mountinfo2");
  int folderFills = 0;
  folder.OnFillStart = [&](TPTCustomShellList*) { ++folderFills; };
  DeviceChangeHandler()->DeviceChange(DBT_DEVICEARRIVAL, 0);
  EXPECT_EQ(computer.ItemCount(), 1);  // posted: nothing happens before the broadcast returns
  Settle();
  EXPECT_EQ(computer.ItemCount(), 2);
  EXPECT_EQ(folderFills, 0);
  EXPECT_EQ(folder.ItemCount(), folderItems);
  folder.OnFillStart = nullptr;
}

}  // namespace

namespace {

QAction* FindAction(QMenu* menu, const std::function<bool(QAction*)>& match) {
  for (QAction* a : menu->actions()) {
    if (a->menu())
      if (QAction* inner = FindAction(a->menu(), match)) return inner;
    if (!a->menu() && match(a)) return a;
  }
  return nullptr;
}

TEST_F(ShellListActionsTest, ContextMenuSendsTheSelectionToASendToEntryAndHintsItsCommands) {
  MakeSendToEntry("Mailer");
  QString launched;
  QStringList arguments;
  shellns::Services().launch = [&](const QString& program, const QStringList& args) {
    launched = program;
    arguments = args;
    return true;
  };
  TPTShellList list;
  list.resize(400, 300);
  list.show();
  list.Folder().SetPath(tree);
  QStringList hints;
  list.OnPopupHint = [&](QObject*, const QString& hint) { hints << hint; };
  TPTListItem* gif = list.FindItemByName("a.gif");
  list.SetSelected(gif, true);
  list.SetItemFocused(gif);
  const auto old = TPTCustomShellTree::MenuTracker;
  TPTCustomShellTree::MenuTracker = [&](QWidget*, QMenu* menu, const QPoint&) {
    QAction* open = FindAction(menu, [](QAction* a) { return MenuCommandId(a) == 1000; });
    if (open) emit menu->hovered(open);
    return FindAction(menu, [](QAction* a) { return MenuCommandId(a) == 1; });
  };
  list.ShowContextMenuAt(QPoint(1, 1));
  TPTCustomShellTree::MenuTracker = old;
  EXPECT_EQ(QFileInfo(launched).fileName(), "Mailer");
  EXPECT_EQ(arguments, QStringList{QString::fromStdString(tree + "/a.gif")});
  ASSERT_EQ(hints.size(), 1);
  EXPECT_FALSE(hints[0].isEmpty());
}

TEST_F(ShellListActionsTest, SendToAfterAResyncWhileTheMenuWasOpenSendsTheItemsChosen) {
  MakeSendToEntry("Mailer");
  QStringList arguments;
  shellns::Services().launch = [&](const QString&, const QStringList& args) {
    arguments = args;
    return true;
  };
  TPTShellList list;
  ShowSelecting(list, "a.gif");
  const auto old = TPTCustomShellTree::MenuTracker;
  TPTCustomShellTree::MenuTracker = [&](QWidget*, QMenu* menu, const QPoint&) {
    // Meanwhile the file is replaced and the list brings itself up to date.
    unlink((tree + "/a.gif").c_str());
    WriteFile(tree + "/a.gif", "changed");
    unlink((tree + "/B.GIF").c_str());
    list.Refresh();
    return FindAction(menu, [](QAction* a) { return MenuCommandId(a) == 1; });
  };
  list.ShowContextMenuAt(QPoint(1, 1));
  TPTCustomShellTree::MenuTracker = old;
  EXPECT_EQ(arguments, QStringList{QString::fromStdString(tree + "/a.gif")});
}

}  // namespace
