#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QProgressDialog>
#include <QTimer>
#include <atomic>
#include <thread>
#include <algorithm>
#include <cctype>
#include <map>

#include "controls/shell/shell_consts.h"
#include "controls/shell/shell_controls.h"
#include "platform/shellnamespace/file_operations.h"
#include "platform/shellnamespace/shell_mime.h"
#include "platform/shellnamespace/shell_verbs.h"
#include "shell_fixture.h"

using namespace ptshell;
using namespace shellns;

namespace {

ShellFolderPtr FolderAt(const std::string& path) {
  IdList list;
  EXPECT_EQ(PathToIdList(path, list), S_OK) << path;
  ShellFolderPtr f;
  EXPECT_EQ(ShellFolder::Bind(list.data(), f), S_OK) << path;
  return f;
}

IdList ItemIn(const ShellFolderPtr& folder, const std::string& name) {
  IdList item;
  EXPECT_EQ(folder->ParseDisplayName(name, item), S_OK) << name;
  return item;
}

std::unique_ptr<ShellContextMenu> MenuFor(const ShellFolderPtr& folder, const std::vector<std::string>& names) {
  std::vector<IdList> items;
  for (const auto& n : names) items.push_back(ItemIn(folder, n));
  std::unique_ptr<ShellContextMenu> menu;
  EXPECT_EQ(ShellContextMenu::Create(folder, items, menu), S_OK);
  return menu;
}

}  // namespace

class Operations : public ShellTree {
 protected:
  void SetUp() override {
    ShellTree::SetUp();
    docs = home + "/Documents";
    ShellMessageRoutine() = [this](const QString& text, int, int) {
      messages.push_back(text.toStdString());
      return mbOK;
    };
    Services().error = [this](QWidget*, const QString& text) { errors.push_back(text.toStdString()); };
  }
  void TearDown() override {
    ShellMessageRoutine() = nullptr;
    QGuiApplication::clipboard()->clear();
    ShellTree::TearDown();
  }
  std::string docs;
  std::vector<std::string> messages, errors;
};

TEST_F(Operations, RenameNeverReplacesAnExistingFile) {
  WriteFile(docs + "/old.txt", "old");
  WriteFile(docs + "/taken.txt", "taken");
  const auto folder = FolderAt(docs);
  IdList renamed;
  EXPECT_EQ(ErrnoOf(folder->SetNameOf(ItemIn(folder, "old.txt").data(), "taken.txt", 0, renamed)), EEXIST);
  EXPECT_EQ(ReadFile(docs + "/old.txt"), "old");
  EXPECT_EQ(ReadFile(docs + "/taken.txt"), "taken");
  EXPECT_EQ(ErrnoOf(RenameNoReplace(docs + "/old.txt", docs + "/taken.txt")), EEXIST);

  ASSERT_EQ(folder->SetNameOf(ItemIn(folder, "old.txt").data(), "new name.txt", 0, renamed), S_OK);
  std::string name;
  folder->GetDisplayNameOf(renamed.data(), SHGDN_INFOLDER, name);
  EXPECT_EQ(name, "new name.txt");
  EXPECT_EQ(ReadFile(docs + "/new name.txt"), "old");
  IdList refused;
  EXPECT_EQ(ErrnoOf(folder->SetNameOf(renamed.data(), "a/b", 0, refused)), EINVAL);
}

TEST_F(Operations, TrashKeepsAnInfoFileForEveryEntry) {
  WriteFile(docs + "/a b.txt", "first");
  const std::string trash = home + "/.local/share/Trash";
  std::string name;
  ASSERT_EQ(MoveToTrash(docs + "/a b.txt", &name), S_OK);
  EXPECT_EQ(name, "a b.txt");
  EXPECT_FALSE(Exists(docs + "/a b.txt"));
  EXPECT_EQ(ReadFile(trash + "/files/a b.txt"), "first");
  const std::string info = ReadFile(trash + "/info/a b.txt.trashinfo");
  const std::string head = "[Trash Info]\nPath=" + docs + "/a%20b.txt\nDeletionDate=";
  ASSERT_EQ(info.substr(0, head.size()), head);
  const std::string date = info.substr(head.size());
  const std::string shape = "dddd-dd-ddTdd:dd:dd\n";
  ASSERT_EQ(date.size(), shape.size()) << date;
  for (size_t i = 0; i < shape.size(); ++i)
    EXPECT_TRUE(shape[i] == 'd' ? std::isdigit(static_cast<unsigned char>(date[i])) != 0 : date[i] == shape[i]) << date;
  WriteFile(docs + "/a b.txt", "second");
  ASSERT_EQ(MoveToTrash(docs + "/a b.txt", &name), S_OK);
  EXPECT_EQ(name, "a b.txt.2");

  IdList trashList;
  ASSERT_EQ(SpecialFolderLocation(CSIDL_BITBUCKET, trashList), S_OK);
  ShellFolderPtr folder;
  ASSERT_EQ(ShellFolder::Bind(trashList.data(), folder), S_OK);
  std::vector<IdList> items;
  ASSERT_EQ(folder->EnumObjects(SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, items), S_OK);
  ASSERT_EQ(items.size(), 2u);
  for (const IdList& i : items) {
    std::string shown;
    folder->GetDisplayNameOf(i.data(), SHGDN_INFOLDER, shown);
    EXPECT_EQ(shown, "a b.txt") << "entries show their original names";
  }
  ASSERT_EQ(DeleteTrashEntry("a b.txt.2"), S_OK);
  EXPECT_FALSE(Exists(trash + "/files/a b.txt.2"));
  EXPECT_FALSE(Exists(trash + "/info/a b.txt.2.trashinfo"));

  // Restoring puts the entry back, but never over what took its place.
  WriteFile(docs + "/a b.txt", "newer");
  const auto first = std::find_if(items.begin(), items.end(), [](const IdList& i) {
    ItemView v;
    return DecodeItem(i.data(), v) && v.name == "a b.txt";
  });
  ASSERT_NE(first, items.end());
  std::unique_ptr<ShellContextMenu> menu;
  ASSERT_EQ(ShellContextMenu::Create(folder, {*first}, menu), S_OK);
  EXPECT_EQ(InvokeVerb(nullptr, *menu, "restore"), E_FAIL);
  EXPECT_EQ(ReadFile(docs + "/a b.txt"), "newer");
  EXPECT_EQ(errors.size(), 1u);
  ASSERT_EQ(unlink((docs + "/a b.txt").c_str()), 0);
  DeletePermanently(docs);
  EXPECT_EQ(InvokeVerb(nullptr, *menu, "restore"), S_OK);
  EXPECT_EQ(ReadFile(docs + "/a b.txt"), "first") << "the folder on the way is made again";
  EXPECT_FALSE(Exists(trash + "/info/a b.txt.trashinfo"));
}

TEST_F(Operations, TheTrashShowsTheVolumesTrashesToo) {
  const std::string volume = home + "/usbdisk";  // a user mount
  const std::string trash = volume + "/.Trash-" + std::to_string(getuid());
  MakeDir(trash + "/files");
  MakeDir(trash + "/info");
  WriteFile(trash + "/files/photo.gif", "p");
  WriteFile(trash + "/info/photo.gif.trashinfo", "[Trash Info]\nPath=pics/photo%20one.gif\nDeletionDate=2024-01-01T00:00:00\n");
  WriteMounts("50 22 8:65 / " + volume + " rw - ext4 /dev/sde1 rw\n");
  WriteFile(docs + "/mine.txt", "m");
  ASSERT_EQ(MoveToTrash(docs + "/mine.txt"), S_OK);

  IdList trashList;
  ASSERT_EQ(SpecialFolderLocation(CSIDL_BITBUCKET, trashList), S_OK);
  ShellFolderPtr folder;
  ASSERT_EQ(ShellFolder::Bind(trashList.data(), folder), S_OK);
  std::vector<IdList> items;
  ASSERT_EQ(folder->EnumObjects(SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, items), S_OK);
  ASSERT_EQ(items.size(), 2u);
  std::map<std::string, IdList> byName;
  for (const IdList& i : items) {
    std::string shown;
    folder->GetDisplayNameOf(i.data(), SHGDN_INFOLDER, shown);
    byName[shown] = i;
  }
  ASSERT_TRUE(byName.count("photo one.gif")) << "named from the volume's info file, relative to the volume";
  ASSERT_TRUE(byName.count("mine.txt"));
  std::string path;
  folder->GetDisplayNameOf(byName["photo one.gif"].data(), SHGDN_FORPARSING, path);
  EXPECT_EQ(path, trash + "/files/photo.gif");
  EXPECT_EQ(TrashEntryOriginalPath(trash, "photo.gif"), volume + "/pics/photo one.gif");

  Services().confirm = [](QWidget*, const QString&) { return true; };
  std::unique_ptr<ShellContextMenu> menu;
  ASSERT_EQ(ShellContextMenu::Create(folder, {byName["photo one.gif"]}, menu), S_OK);
  ASSERT_EQ(InvokeVerb(nullptr, *menu, "delete"), S_OK);
  EXPECT_FALSE(Exists(trash + "/files/photo.gif"));
  EXPECT_FALSE(Exists(trash + "/info/photo.gif.trashinfo"));
  EXPECT_TRUE(Exists(home + "/.local/share/Trash/files/mine.txt")) << "only the chosen entry goes";
}

TEST_F(Operations, DeleteVerbAsksBeforeTrashingOrDeletingForGood) {
  WriteFile(docs + "/keep.txt", "x");
  WriteFile(docs + "/gone.txt", "x");
  const auto folder = FolderAt(docs);
  std::vector<std::string> asked;
  bool answer = false;
  Services().confirm = [&](QWidget*, const QString& q) {
    asked.push_back(q.toStdString());
    return answer;
  };
  auto menu = MenuFor(folder, {"keep.txt"});
  EXPECT_EQ(InvokeVerb(nullptr, *menu, "delete", true), shellns::E_ABORT);
  EXPECT_EQ(asked.size(), 1u);
  EXPECT_TRUE(Exists(docs + "/keep.txt")) << "declined";
  answer = true;
  menu = MenuFor(folder, {"gone.txt"});
  EXPECT_EQ(InvokeVerb(nullptr, *menu, "DELETE", true), S_OK);
  EXPECT_FALSE(Exists(docs + "/gone.txt"));
  EXPECT_FALSE(Exists(home + "/.local/share/Trash/files/gone.txt")) << "Shift deletes for good";
  menu = MenuFor(folder, {"keep.txt"});
  answer = false;
  EXPECT_EQ(InvokeVerb(nullptr, *menu, "delete"), shellns::E_ABORT);
  EXPECT_TRUE(Exists(docs + "/keep.txt")) << "the trash is asked for too";
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_EQ(asked.back(), "Move 'keep.txt' to the trash?");
  answer = true;
  EXPECT_EQ(InvokeVerb(nullptr, *menu, "delete"), S_OK);
  EXPECT_TRUE(Exists(home + "/.local/share/Trash/files/keep.txt"));
}

TEST_F(Operations, AnUnknownVerbInvokesNothing) {
  WriteFile(docs + "/doc.txt", "x");
  int opened = 0;
  Services().open = [&](const std::string&) { return ++opened > 0; };
  auto menu = MenuFor(FolderAt(docs), {"doc.txt"});
  EXPECT_EQ(InvokeVerb(nullptr, *menu, "frobnicate"), E_INVALIDARG);
  EXPECT_EQ(opened, 0);
  EXPECT_EQ(InvokeVerb(nullptr, *menu, "open"), S_OK);
  EXPECT_EQ(opened, 1);
  std::string verb;
  EXPECT_EQ(menu->GetCommandString(kCmdRename, false, verb), S_OK);
  EXPECT_EQ(verb, "rename");
  EXPECT_EQ(menu->Commands(CMF_EXPLORE).size() + 1, menu->Commands(CMF_EXPLORE | CMF_CANRENAME).size());
}

TEST_F(Operations, NewFolderNumbersItsNameAndRefusesVirtualFolders) {
  MakeDir(docs + "/New Folder");
  MakeDir(docs + "/New Folder (2)");
  std::string made;
  ASSERT_TRUE(CreateNewFolder(docs, made));
  EXPECT_EQ(made, docs + "/New Folder (3)");
  EXPECT_TRUE(messages.empty());

  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(root.c_str()), 0);
  EXPECT_FALSE(CreateNewFolder("", made));
  EXPECT_FALSE(Exists(root + "/New Folder")) << "never in the current folder";
  ASSERT_EQ(chdir(cwd), 0);
  EXPECT_EQ(messages.size(), 1u);

  messages.clear();
  EXPECT_FALSE(CreateNewFolder(docs + "/missing", made));
  ASSERT_EQ(messages.size(), 1u) << "one message";
  EXPECT_NE(messages[0].find("No such file or directory"), std::string::npos) << messages[0];
  EXPECT_NE(messages[0].find(docs + "/missing/New Folder'"), std::string::npos) << messages[0];
}

TEST_F(Operations, CopyAndMoveKeepTheirRules) {
  MakeDir(docs + "/src/inner");
  WriteFile(docs + "/src/inner/data.txt", "data");
  ASSERT_EQ(symlink("inner/data.txt", (docs + "/src/link").c_str()), 0);
  ASSERT_EQ(mkfifo((docs + "/src/pipe").c_str(), 0600), 0);
  MakeDir(docs + "/dst");

  TransferReport into;
  EXPECT_EQ(TransferItems({docs + "/src"}, docs + "/src/inner", TransferMode::Copy, into), S_FALSE);
  EXPECT_EQ(into.errors.size(), 1u) << "a folder is never copied into itself";

  TransferReport copy;
  EXPECT_EQ(TransferItems({docs + "/src"}, docs + "/dst", TransferMode::Copy, copy), S_FALSE);
  EXPECT_EQ(copy.skipped, (std::vector<std::string>{docs + "/src/pipe"}));
  EXPECT_EQ(ReadFile(docs + "/dst/src/inner/data.txt"), "data");
  char target[64] = {};
  ASSERT_GT(readlink((docs + "/dst/src/link").c_str(), target, sizeof target - 1), 0);
  EXPECT_STREQ(target, "inner/data.txt") << "links are copied as links";

  TransferReport again;
  EXPECT_EQ(TransferItems({docs + "/src/inner/data.txt"}, docs + "/dst/src/inner", TransferMode::Copy, again), S_FALSE);
  EXPECT_EQ(again.errors.size(), 1u) << "an existing name is kept";
  TransferReport here;
  EXPECT_EQ(TransferItems({docs + "/src/inner/data.txt"}, docs + "/src/inner", TransferMode::Copy, here), S_OK);
  EXPECT_EQ(ReadFile(docs + "/src/inner/data (copy).txt"), "data");

  WriteFile(docs + "/moved.txt", "m");
  TransferReport move;
  EXPECT_EQ(TransferItems({docs + "/moved.txt"}, docs + "/dst", TransferMode::Move, move), S_OK);
  EXPECT_FALSE(Exists(docs + "/moved.txt"));
  EXPECT_EQ(ReadFile(docs + "/dst/moved.txt"), "m");
}

TEST_F(Operations, AMoveAcrossVolumesKeepsTheSourceUntilAllOfItIsCopied) {
  struct stat a{}, b{};
  if (stat(root.c_str(), &a) != 0 || stat("/dev/shm", &b) != 0 || a.st_dev == b.st_dev || access("/dev/shm", W_OK) != 0)
    GTEST_SKIP() << "no second file system to move across";
  char pattern[] = "/dev/shm/shelltest-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string other = pattern;
  MakeDir(docs + "/whole");
  WriteFile(docs + "/whole/f.txt", "f");
  MakeDir(docs + "/partial");
  WriteFile(docs + "/partial/f.txt", "f");
  ASSERT_EQ(mkfifo((docs + "/partial/pipe").c_str(), 0600), 0);
  TransferReport report;
  TransferItems({docs + "/whole", docs + "/partial"}, other, TransferMode::Move, report);
  EXPECT_FALSE(Exists(docs + "/whole"));
  EXPECT_EQ(ReadFile(other + "/whole/f.txt"), "f");
  EXPECT_TRUE(Exists(docs + "/partial/f.txt")) << "a source not wholly copied stays";
  DeletePermanently(other);
}

TEST_F(Operations, ClipboardFormatsAreWrittenAndRead) {
  WriteFile(docs + "/one.txt", "1");
  WriteFile(docs + "/two words.txt", "2");
  MakeDir(home + "/Pictures/target");
  const auto folder = FolderAt(docs);
  auto menu = MenuFor(folder, {"one.txt", "two words.txt"});
  ASSERT_EQ(InvokeVerb(nullptr, *menu, "copy"), S_OK);
  const QMimeData* clip = QGuiApplication::clipboard()->mimeData();
  ASSERT_NE(clip, nullptr);
  const QByteArray uris = "file://" + QByteArray::fromStdString(docs) + "/one.txt\r\nfile://" +
                          QByteArray::fromStdString(docs) + "/two%20words.txt\r\n";
  EXPECT_EQ(clip->data(kUriListMimeType), uris);
  EXPECT_EQ(clip->data(kGnomeCopiedFilesMimeType),
            "copy\nfile://" + QByteArray::fromStdString(docs) + "/one.txt\nfile://" + QByteArray::fromStdString(docs) +
                "/two%20words.txt");
  EXPECT_EQ(clip->data(kKdeCutSelectionMimeType), "0");
  ShellItems items;
  ASSERT_TRUE(ReadShellMimeData(clip, items));
  EXPECT_EQ(items.absolute.size(), 2u);
  EXPECT_EQ(items.paths, (std::vector<std::string>{docs + "/one.txt", docs + "/two words.txt"}));

  menu = MenuFor(folder, {"one.txt"});
  ASSERT_EQ(InvokeVerb(nullptr, *menu, "cut"), S_OK);
  auto target = MenuFor(FolderAt(home + "/Pictures"), {"target"});
  ASSERT_EQ(InvokeVerb(nullptr, *target, "paste"), S_OK);
  EXPECT_FALSE(Exists(docs + "/one.txt"));
  EXPECT_EQ(ReadFile(home + "/Pictures/target/one.txt"), "1");
  const QMimeData* after = QGuiApplication::clipboard()->mimeData();
  EXPECT_TRUE(!after || !after->hasFormat(kUriListMimeType)) << "a cut is pasted once";

  // Another program's copy: a URI list and KDE's marker only.
  auto* foreign = new QMimeData;
  foreign->setData(kUriListMimeType, "file://" + QByteArray::fromStdString(docs) + "/two%20words.txt\n");
  foreign->setData(kKdeCutSelectionMimeType, "0");
  QGuiApplication::clipboard()->setMimeData(foreign);
  std::unique_ptr<ShellContextMenu> background;
  ASSERT_EQ(ShellContextMenu::Create(FolderAt(home + "/Pictures/target"), {}, background), S_OK);
  ASSERT_EQ(InvokeVerb(nullptr, *background, "paste"), S_OK);
  EXPECT_EQ(ReadFile(home + "/Pictures/target/two words.txt"), "2");
  EXPECT_TRUE(Exists(docs + "/two words.txt"));
}

TEST_F(Operations, APasteCopiesOnAWorkerBehindACancelAndACancelLeavesNoPartialFile) {
  MakeDir(docs);
  MakeDir(home + "/Pictures");
  WriteFile(docs + "/big.bin", std::string(4 << 20, 'b'));
  // The worker waits after its first block until the GUI thread, still
  // serving events, has found the progress window and its Cancel has come through.
  bool guiServed = false;
  const auto plain = Services().transfer;
  Services().transfer = [&](QWidget* owner, const QString& text,
                            const std::function<HRESULT(TransferProgress&)>& work) {
    QTimer::singleShot(10, [&] {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<QProgressDialog*>(w); window && w->objectName() == "TransferProgress") {
          guiServed = true;
          window->cancel();
        }
    });
    return plain(owner, text, [&](TransferProgress& progress) {
      progress.OnBlock = [&] {
        for (int i = 0; i < 500 && !progress.Cancel; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      };
      return work(progress);
    });
  };
  auto menu = MenuFor(FolderAt(docs), {"big.bin"});
  ASSERT_EQ(InvokeVerb(nullptr, *menu, "copy"), S_OK);
  std::unique_ptr<ShellContextMenu> background;
  ASSERT_EQ(ShellContextMenu::Create(FolderAt(home + "/Pictures"), {}, background), S_OK);
  EXPECT_EQ(InvokeVerb(nullptr, *background, "paste"), shellns::E_ABORT);
  EXPECT_TRUE(guiServed);
  EXPECT_FALSE(Exists(home + "/Pictures/big.bin")) << "no partial file is left";
  EXPECT_EQ(ReadFile(docs + "/big.bin").size(), size_t{4} << 20);
  EXPECT_TRUE(errors.empty() && messages.empty()) << "a cancel is no error";

  // Not cancelled, the same paste goes through.
  Services().transfer = plain;
  EXPECT_EQ(InvokeVerb(nullptr, *background, "paste"), S_OK);
  EXPECT_EQ(ReadFile(home + "/Pictures/big.bin").size(), size_t{4} << 20);
}

TEST(ShellTexts, KeyTableAndShortcuts) {
  EXPECT_EQ(PTShTextCount(), 60);
  EXPECT_EQ(PTShText(SPTCannotCreateFolder), "Unable to create the folder '%2'\n\n%1");
  struct Case {
    uint16_t shortcut;
    const char* text;
  } cases[] = {{0x4041, "Ctrl+A"}, {0x2070, "Shift+F1"}, {7, "#7"}, {46, "Del"}, {0x602E, "Shift+Ctrl+Del"},
               {0x8000 | 34, "Alt+PgDn"}, {101, "5"}};
  for (const Case& c : cases) EXPECT_EQ(ShortCutToText(c.shortcut), c.text);
  EXPECT_EQ(TextToShortCut("ctrl+a"), 0x4041);
  EXPECT_EQ(TextToShortCut("^C"), 0x4043);
  EXPECT_EQ(TextToShortCut("alt+shift+f5"), 0xA074);
  EXPECT_EQ(TextToShortCut("Ctrl+"), 0);
  EXPECT_EQ(TextToShortCut("Hyper+Q"), 0);
  const TPTShellControlDefKeyRec* keys = KeyTable();
  const uint16_t expected[] = {0x4041, 46, 0x4043, 0x4058, 0x4056, 116, 113};
  for (int i = 0; i < skKeyCount; ++i) EXPECT_EQ(keys[i].ShortCut, expected[i]) << i;
  EXPECT_EQ(ShortCutFromQt(Qt::Key_C, Qt::ControlModifier), keys[skCopy].ShortCut);
  EXPECT_EQ(ShortCutFromQt(Qt::Key_Delete, Qt::ShiftModifier), scShift | 46);
}

TEST(ShellTexts, SizeText) {
  struct Case {
    uint64_t bytes;
    const char* text;
  } cases[] = {{0, "0KB"}, {1, "1KB"}, {1024, "1KB"}, {1025, "2KB"}};
  for (const Case& c : cases) EXPECT_EQ(SizeText(c.bytes).toStdString(), c.text);
}
