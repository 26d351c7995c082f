#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QMenu>

#include "controls/shell/pidl_list.h"
#include "controls/shell/shell_consts.h"
#include "controls/shell/shell_controls.h"
#include "platform/shellnamespace/shell_icons.h"
#include "shell_fixture.h"

using namespace ptshell;
using namespace shellns;

namespace {

PidlPtr PidlOf(const std::string& path) {
  PItemIDList p = nullptr;
  EXPECT_EQ(PathToPidl(path, p), S_OK) << path;
  return PidlPtr(p);
}

uint32_t AttributesOf(PCItemIDList absolute) {
  ShellFolderPtr folder;
  PItemIDList parent = nullptr, relative = nullptr;
  EXPECT_EQ(SplitPidl(absolute, folder, parent, relative), S_OK);
  PidlPtr a(parent), b(relative);
  const uint8_t* items[] = {relative};
  uint32_t mask = 0xFFFFFFFFu & ~SFGAO_VALIDATE;
  folder->GetAttributesOf(1, items, mask);
  return mask;
}

}  // namespace

using Details = ShellTree;

TEST_F(Details, SizeDateAndTypeTexts) {
  WriteFile(home + "/Pictures/anim.gif", std::string(1500, 'x'));
  const PidlPtr gif = PidlOf(home + "/Pictures/anim.gif"), folder = PidlOf(home + "/Pictures");
  QString size, date, type;
  GetItemDetails(gif.get(), AttributesOf(gif.get()), size, date, type);
  EXPECT_EQ(size, "2KB");
  EXPECT_FALSE(date.isEmpty());
  EXPECT_FALSE(type.isEmpty());
  GetItemDetails(folder.get(), AttributesOf(folder.get()), size, date, type);
  EXPECT_TRUE(size.isEmpty()) << "no size for folders";
  EXPECT_FALSE(date.isEmpty());

  IdList computer;
  ASSERT_EQ(SpecialFolderLocation(CSIDL_DRIVES, computer), S_OK);
  const IdList root = Concat(computer.data(), MakeVolumeItem("/", kVolumeRootFs).data());
  GetItemDetails(root.data(), AttributesOf(root.data()), size, date, type);
  EXPECT_TRUE(size.isEmpty() && date.isEmpty()) << "volume roots show neither";
  EXPECT_EQ(GetTypeText(computer.data(), AttributesOf(computer.data())), "System Folder");
}

TEST_F(Details, SplitPidlGivesFolderParentAndItem) {
  const PidlPtr pics = PidlOf(home + "/Pictures");
  ShellFolderPtr folder;
  PItemIDList parent = nullptr, relative = nullptr;
  ASSERT_EQ(SplitPidl(pics.get(), folder, parent, relative), S_OK);
  PidlPtr p(parent), r(relative);
  EXPECT_EQ(PidlToPath(parent), home);
  EXPECT_EQ(GetNameOf(folder, relative, SHGDN_INFOLDER), "Pictures");

  const IdList homeItem = MakeRootItem(RootId::Home);
  ASSERT_EQ(SplitPidl(homeItem.data(), folder, parent, relative), S_OK);
  PidlPtr p2(parent), r2(relative);
  EXPECT_EQ(parent, nullptr);
  EXPECT_EQ(folder->Where().kind, Location::Kind::Desktop);

  ASSERT_EQ(SplitPidl(nullptr, folder, parent, relative), S_OK);
  PidlPtr p3(parent), r3(relative);
  EXPECT_EQ(PidlToPath(parent), home) << "the desktop splits as its own folder";
  EXPECT_EQ(GetNameOf(folder, relative, SHGDN_INFOLDER | SHGDN_FORPARSING), "Desktop");
}

TEST_F(Details, ContextMenuActionsCarryTheirCommandIds) {
  WriteFile(home + "/Documents/a.txt", "a");
  const PidlPtr docs = PidlOf(home + "/Documents");
  ShellFolderPtr folder;
  ASSERT_EQ(BindToFolder(docs.get(), folder), S_OK);
  IdList item;
  ASSERT_EQ(folder->ParseDisplayName("a.txt", item), S_OK);
  const PCItemIDList items[] = {item.data()};
  std::unique_ptr<ShellContextMenu> cm;
  QMenu* menu = nullptr;
  ASSERT_EQ(GetContextMenu(nullptr, folder, 1, items, CMF_EXPLORE, 1000, cm, menu), S_OK);
  std::unique_ptr<QMenu> hold(menu);
  std::vector<int> ids;
  for (QAction* a : menu->actions())
    if (!a->isSeparator()) ids.push_back(MenuCommandId(a));
  EXPECT_EQ(ids, (std::vector<int>{1000 + kCmdOpen, 1000 + kCmdCut, 1000 + kCmdCopy, 1000 + kCmdDelete,
                                   1000 + kCmdProperties}));
  ASSERT_EQ(GetContextMenu(nullptr, folder, 1, items, CMF_EXPLORE | CMF_CANRENAME, 1000, cm, menu), S_OK);
  hold.reset(menu);
  bool rename = false;
  for (QAction* a : menu->actions()) rename = rename || MenuCommandId(a) == 1018;
  EXPECT_TRUE(rename) << "1018 is the rename command the views edit labels for";

  IdList foreign{5, 0, 0x77, 1, 2, 0, 0};
  const PCItemIDList bad[] = {foreign.data()};
  EXPECT_THROW(GetContextMenu(nullptr, folder, 1, bad, CMF_EXPLORE, 1000, cm, menu), EPTShellError);
}

TEST_F(Details, IconsHaveStableIndices) {
  WriteFile(home + "/Pictures/a.gif", "x");
  WriteFile(home + "/Pictures/b.gif", "x");
  MakeDir(home + "/Pictures/plain");
  const int a = GetFileIconIndex(PidlOf(home + "/Pictures/a.gif").get(), SHGFI_SMALLICON);
  EXPECT_EQ(GetFileIconIndex(PidlOf(home + "/Pictures/b.gif").get(), SHGFI_SMALLICON), a);
  const int closed = GetFileIconIndex(PidlOf(home + "/Pictures/plain").get(), SHGFI_SMALLICON);
  const int open = GetFileIconIndex(PidlOf(home + "/Pictures/plain").get(), SHGFI_SMALLICON | SHGFI_OPENICON);
  EXPECT_NE(closed, a);
  EXPECT_NE(open, closed);
  const IdList foreign{5, 0, 0x77, 1, 2, 0, 0};
  EXPECT_EQ(GetFileIconIndex(foreign.data(), SHGFI_SMALLICON), 0);
  const TPTSystemImageList small = GetSystemImageList(0);
  EXPECT_EQ(small.IconSize, 16);
  EXPECT_TRUE(OverlaysLoaded);
  EXPECT_FALSE(small.List->Icon(closed).isNull());
  EXPECT_FALSE(small.List->Pixmap(a, 16, 2).isNull());
  EXPECT_EQ(GetSystemImageList(1).List, small.List) << "one list, two sizes";
}

TEST_F(Details, LinksReadAsShortcuts) {
  MakeDir(home + "/Pictures/target");
  ASSERT_EQ(symlink("Pictures/target", (home + "/to-target").c_str()), 0);
  WriteFile(home + "/viewer.desktop",
            "[Desktop Entry]\nType=Application\nExec=/usr/bin/viewer --big %f\nComment=Shows it\nIcon=viewer\n");
  TLinkData link;
  ASSERT_EQ(ReadShellLink(home + "/to-target", link, true), S_OK);
  PidlPtr id(link.IdList);
  EXPECT_EQ(link.Path, home + "/Pictures/target");
  EXPECT_EQ(link.Mask, 63u);
  EXPECT_EQ(link.FindData.type, FileType::Directory);
  EXPECT_EQ(PidlToPath(link.IdList), home + "/Pictures/target");
  TLinkData app;
  ASSERT_EQ(ReadShellLink(home + "/viewer.desktop", app, false), S_OK);
  EXPECT_EQ(app.Path, "/usr/bin/viewer");
  EXPECT_EQ(app.Arguments, "--big %f");
  EXPECT_EQ(app.Description, "Shows it");
  EXPECT_EQ(app.IdList, nullptr);
  TLinkData none;
  EXPECT_TRUE(FAILED(ReadShellLink(home + "/Pictures", none, false)));
  EXPECT_TRUE(PathHasFolderPart(home));
  EXPECT_FALSE(PathHasFolderPart("/"));
}
