#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "controls/shell/shell_utils.h"
#include "platform/shellnamespace/item_id.h"
#include "platform/shellnamespace/mount_table.h"
#include "platform/shellnamespace/shell_folder.h"
#include "shell_fixture.h"

using namespace shellns;

namespace {

std::vector<IdList> SortedItems(const std::shared_ptr<ShellFolder>& folder, uint32_t flags) {
  std::vector<IdList> items;
  EXPECT_EQ(folder->EnumObjects(flags, items), S_OK);
  std::sort(items.begin(), items.end(),
            [&](const IdList& a, const IdList& b) { return CompareCode(folder->CompareIDs(0, a.data(), b.data())) < 0; });
  return items;
}

std::vector<std::string> SortedNames(const std::shared_ptr<ShellFolder>& folder, uint32_t flags, uint32_t shgdn) {
  std::vector<std::string> names;
  for (const IdList& i : SortedItems(folder, flags)) {
    std::string n;
    folder->GetDisplayNameOf(i.data(), shgdn, n);
    names.push_back(n);
  }
  return names;
}

std::shared_ptr<ShellFolder> FolderAt(const std::string& path) {
  IdList list;
  EXPECT_EQ(PathToIdList(path, list), S_OK) << path;
  std::shared_ptr<ShellFolder> f;
  EXPECT_EQ(ShellFolder::Bind(list.data(), f), S_OK) << path;
  return f;
}

constexpr uint32_t kAll = SHCONTF_FOLDERS | SHCONTF_NONFOLDERS;

}  // namespace

using Namespace = ShellTree;

TEST_F(Namespace, DesktopHoldsHomeComputerTrashAndDesktopEntries) {
  WriteFile(home + "/Desktop/note.txt", "x");
  MakeDir(home + "/Desktop/.hidden");
  const auto desktop = ShellFolder::Desktop();
  EXPECT_EQ(SortedNames(desktop, kAll, SHGDN_INFOLDER), (std::vector<std::string>{"Home", "Computer", "Trash", "note.txt"}));
  EXPECT_EQ(SortedNames(desktop, kAll | SHCONTF_INCLUDEHIDDEN, SHGDN_INFOLDER).size(), 5u);
  EXPECT_EQ(SortedNames(desktop, kAll, SHGDN_FORPARSING),
            (std::vector<std::string>{home, "computer:///", "trash:///", home + "/Desktop/note.txt"}));

  IdList entry;
  ASSERT_EQ(PathToIdList(home + "/Desktop/note.txt", entry), S_OK);
  EXPECT_EQ(ItemCount(entry.data()), 1u) << "a file on the desktop is a desktop entry";
  IdList desktopFolder;
  ASSERT_EQ(PathToIdList(home + "/Desktop", desktopFolder), S_OK);
  EXPECT_EQ(ItemCount(desktopFolder.data()), 2u) << "the desktop folder itself lies in Home";
  IdList outside;
  ASSERT_EQ(PathToIdList(root, outside), S_OK);
  ItemView first;
  ASSERT_TRUE(DecodeItem(outside.data(), first));
  EXPECT_EQ(first.root, RootId::Computer) << "outside home a path is reached through its volume";
  EXPECT_EQ(IdListToPath(outside.data()), root);
}

TEST_F(Namespace, ComputerListsTheRootAndTheUsersVolumes) {
  WriteMounts(
      "30 22 8:17 / /media/user/USB\\040STICK rw - vfat /dev/sdb1 rw\n"
      "31 22 8:33 / /mnt/data rw - ext4 /dev/sdc1 rw\n"
      "32 22 0:40 / /srv/share rw - nfs4 server:/share rw\n"
      "33 22 0:41 / /run/user/1000 rw - tmpfs tmpfs rw\n"
      "34 22 0:42 / /sys rw - sysfs sysfs rw\n"
      "35 22 8:2 / /boot rw - ext4 /dev/sda2 rw\n"
      "36 31 8:49 / /mnt/data rw - xfs /dev/sdd1 rw\n"
      "garbage line\n");
  std::vector<std::pair<std::string, uint8_t>> got;
  for (const Volume& v : MountTable::Volumes()) got.emplace_back(v.mountPoint, v.flags);
  EXPECT_EQ(got, (std::vector<std::pair<std::string, uint8_t>>{{"/", kVolumeRootFs},
                                                                {"/media/user/USB STICK", kVolumeRemovable},
                                                                {"/mnt/data", 0},
                                                                {"/srv/share", kVolumeNetwork}}));
  IdList computer;
  ASSERT_EQ(SpecialFolderLocation(CSIDL_DRIVES, computer), S_OK);
  std::shared_ptr<ShellFolder> f;
  ASSERT_EQ(ShellFolder::Bind(computer.data(), f), S_OK);
  EXPECT_EQ(SortedNames(f, SHCONTF_FOLDERS, SHGDN_INFOLDER),
            (std::vector<std::string>{"File System", "data", "share", "USB STICK"}));
  EXPECT_EQ(MountTable::VolumeOf("/mnt/data/x/y").mountPoint, "/mnt/data");
  EXPECT_EQ(MountTable::VolumeOf("/mnt/database").mountPoint, "/");
}

TEST_F(Namespace, PathsRoundTripWithTheirRawNames) {
  const std::string dir = home + "/Pictures";
  const std::vector<std::string> names = {"plain.gif",  "with space.gif", "new\nline.gif", "star*.gif",
                                          "what?.gif", "latin1-\xE9\xFF.gif", std::string(255, 'n')};
  const auto folder = FolderAt(dir);
  for (const std::string& name : names) {
    WriteFile(dir + "/" + name, name);
    IdList list;
    ASSERT_EQ(PathToIdList(dir + "/" + name, list), S_OK) << name;
    EXPECT_EQ(IdListToPath(list.data()), dir + "/" + name);
    const IdList last = ItemAt(list.data(), ItemCount(list.data()) - 1);
    std::string shown, raw, full;
    folder->GetDisplayNameOf(last.data(), SHGDN_INFOLDER, shown);
    folder->GetDisplayNameOf(last.data(), SHGDN_INFOLDER | SHGDN_FORPARSING, raw);
    folder->GetDisplayNameOf(last.data(), SHGDN_FORPARSING, full);
    EXPECT_EQ(raw, name);
    EXPECT_EQ(full, dir + "/" + name);
    EXPECT_EQ(shown, DisplayableName(name));
    IdList parsed;
    ASSERT_EQ(folder->ParseDisplayName(name, parsed), S_OK);
    EXPECT_EQ(parsed, last);
    EXPECT_EQ(ptshell::ComparePidls(list.data(), Concat(folder->AbsoluteIdList().data(), parsed.data()).data()), 0);
  }
  EXPECT_EQ(DisplayableName("latin1-\xE9\xFF.gif"), "latin1-\xEF\xBF\xBD\xEF\xBF\xBD.gif");
}

TEST_F(Namespace, LongPathsAreKeptWholeAndOverLongNamesAreErrors) {
  std::string deep = home + "/Documents";
  for (int i = 0; i < 6; ++i) {
    deep += "/" + std::string(100, static_cast<char>('a' + i));
    MakeDir(deep);
  }
  ASSERT_GT(deep.size(), 600u);
  IdList list;
  ASSERT_EQ(PathToIdList(deep, list), S_OK);
  EXPECT_EQ(IdListToPath(list.data()), deep);
  EXPECT_EQ(ErrnoOf(PathToIdList(home + "/" + std::string(300, 'x'), list)), ENAMETOOLONG);
  EXPECT_TRUE(list.empty()) << "no truncated list is handed out";
}

TEST_F(Namespace, OrderingIsTotalWithFoldersFirst) {
  const std::string dir = home + "/Documents";
  MakeDir(dir + "/zeta");
  for (const char* n : {"b.txt", "A.txt", "a.txt", "a.TXT"}) WriteFile(dir + "/" + n, n);
  const auto folder = FolderAt(dir);
  EXPECT_EQ(SortedNames(folder, kAll, SHGDN_INFOLDER),
            (std::vector<std::string>{"zeta", "A.txt", "a.TXT", "a.txt", "b.txt"}));
  const auto items = SortedItems(folder, kAll);
  for (size_t i = 0; i < items.size(); ++i)
    for (size_t j = 0; j < items.size(); ++j) {
      const int c = CompareCode(folder->CompareIDs(0, items[i].data(), items[j].data()));
      EXPECT_EQ(c, i < j ? -1 : i > j ? 1 : 0) << i << " " << j;
    }
}

TEST_F(Namespace, SnapshotShowsAChangedFile) {
  const std::string file = home + "/Documents/grow.txt";
  WriteFile(file, "1");
  IdList before, after;
  ASSERT_EQ(PathToIdList(file, before), S_OK);
  WriteFile(file, "123456");
  ASSERT_EQ(PathToIdList(file, after), S_OK);
  EXPECT_NE(before, after) << "a bytewise resync sees the new size";
  EXPECT_EQ(ptshell::ComparePidls(before.data(), after.data()), 0) << "the folder's order goes by name";
}

TEST_F(Namespace, SpecialFolders) {
  struct Case {
    int csidl;
    std::string path;
  } cases[] = {{CSIDL_DESKTOP, home + "/Desktop"},    {CSIDL_PERSONAL, home + "/Documents"},
               {CSIDL_MYPICTURES, home + "/Pictures"}, {CSIDL_MYMUSIC, home + "/Music"},
               {CSIDL_PROFILE, home},                  {CSIDL_DRIVES, ""},
               {CSIDL_BITBUCKET, ""},                  {CSIDL_DESKTOPDIRECTORY, home + "/Desktop"}};
  for (const Case& c : cases) {
    IdList list;
    ASSERT_EQ(SpecialFolderLocation(c.csidl, list), S_OK) << c.csidl;
    EXPECT_EQ(IdListToPath(list.data()), c.path) << c.csidl;
    EXPECT_EQ(ptshell::SpecialFolderPath(nullptr, c.csidl | 0x80), c.path) << "the 0x80 flag is not part of the id";
  }
  IdList list;
  EXPECT_TRUE(FAILED(SpecialFolderLocation(CSIDL_MYVIDEO, list))) << "a user folder equal to home is disabled";
  EXPECT_TRUE(FAILED(SpecialFolderLocation(CSIDL_SENDTO, list))) << "no Send To folder yet";

  ptshell::PItemIDList docs = nullptr;
  ASSERT_EQ(ptshell::PathToPidl(home + "/Documents", docs), S_OK);
  ptshell::PidlPtr hold(docs);
  EXPECT_EQ(ptshell::PidlToSpecialFolder(docs), CSIDL_PERSONAL);
  const IdList empty = EmptyIdList();
  EXPECT_EQ(ptshell::PidlToSpecialFolder(empty.data()), CSIDL_DESKTOP);
  MakeDir(home + "/plain");
  ptshell::PItemIDList plain = nullptr;
  ASSERT_EQ(ptshell::PathToPidl(home + "/plain", plain), S_OK);
  ptshell::PidlPtr holdPlain(plain);
  EXPECT_EQ(ptshell::PidlToSpecialFolder(plain), CSIDL_NONE);
}

TEST_F(Namespace, Attributes) {
  const std::string dir = home + "/Documents";
  MakeDir(dir + "/withsub/sub");
  MakeDir(dir + "/empty");
  WriteFile(dir + "/file.txt", "x");
  WriteFile(dir + "/.secret", "x");
  ASSERT_EQ(symlink("file.txt", (dir + "/link.txt").c_str()), 0);
  const auto folder = FolderAt(dir);
  auto attrs = [&](const std::string& name) {
    IdList item;
    EXPECT_EQ(folder->ParseDisplayName(name, item), S_OK) << name;
    const uint8_t* items[] = {item.data()};
    uint32_t mask = 0xFFFFFFFFu & ~SFGAO_VALIDATE;
    EXPECT_EQ(folder->GetAttributesOf(1, items, mask), S_OK);
    return mask;
  };
  struct Case {
    const char* name;
    uint32_t set, clear;
  } cases[] = {
      {"withsub", SFGAO_FOLDER | SFGAO_HASSUBFOLDER | SFGAO_FILESYSTEM | SFGAO_CANRENAME | SFGAO_DROPTARGET, SFGAO_LINK},
      {"empty", SFGAO_FOLDER, SFGAO_HASSUBFOLDER},
      {"file.txt", SFGAO_FILESYSTEM | SFGAO_CANCOPY | SFGAO_CANMOVE | SFGAO_CANDELETE, SFGAO_FOLDER | SFGAO_GHOSTED},
      {".secret", SFGAO_GHOSTED, 0},
      {"link.txt", SFGAO_LINK, SFGAO_FOLDER},
  };
  for (const Case& c : cases) {
    const uint32_t a = attrs(c.name);
    EXPECT_EQ(a & c.set, c.set) << c.name;
    EXPECT_EQ(a & c.clear, 0u) << c.name;
  }
  const auto desktop = ShellFolder::Desktop();
  const IdList computer = MakeRootItem(RootId::Computer);
  const uint8_t* items[] = {computer.data()};
  uint32_t mask = SFGAO_FILESYSTEM | SFGAO_FOLDER | SFGAO_CANRENAME;
  ASSERT_EQ(desktop->GetAttributesOf(1, items, mask), S_OK);
  EXPECT_EQ(mask, SFGAO_FOLDER);
}
