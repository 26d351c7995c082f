#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QMimeData>

#include "controls/shell/device_change.h"
#include "controls/shell/shell_controls.h"
#include "controls/shell/shell_dragdrop.h"
#include "platform/shellnamespace/item_id.h"
#include "platform/shellnamespace/shell_mime.h"
#include "shell_fixture.h"

using namespace ptshell;
using namespace shellns;

namespace {

uint32_t Read32(const QByteArray& b, int at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<uint8_t>(b[at + i])) << (8 * i);
  return v;
}

IdList PathList(const std::string& path) {
  IdList list;
  EXPECT_EQ(PathToIdList(path, list), S_OK) << path;
  return list;
}

// The data a shell drag of these paths carries.
std::unique_ptr<QMimeData> DragOf(const std::vector<std::string>& paths) {
  const std::string parent = DirName(paths.front());
  const IdList parentList = PathList(parent);
  std::vector<IdList> children;
  for (const std::string& p : paths) {
    const IdList whole = PathList(p);
    children.push_back(ItemAt(whole.data(), ItemCount(whole.data()) - 1));
  }
  std::vector<const uint8_t*> raw;
  for (const IdList& c : children) raw.push_back(c.data());
  return std::unique_ptr<QMimeData>(MakeShellMimeData(parentList.data(), raw));
}

}  // namespace

TEST(ShellIdListArray, LayoutOfTwoChildrenUnderTheDesktop) {
  StatSnapshot s;
  const IdList a = MakeFileItem("a.gif", s), b = MakeFileItem("bb.gif", s);
  const QByteArray block = MakeIdListArrayHGlobal(nullptr, {a.data(), b.data()});
  EXPECT_EQ(block.size(), static_cast<qsizetype>(2 + 4 * 2 + 8 + a.size() + b.size()));
  EXPECT_EQ(Read32(block, 0), 2u);
  EXPECT_EQ(Read32(block, 4), 16u);
  EXPECT_EQ(Read32(block, 8), 18u);
  EXPECT_EQ(Read32(block, 12), 18u + a.size());
  EXPECT_EQ(block[16], 0);
  EXPECT_EQ(block[17], 0);
  IdList parent;
  std::vector<IdList> children;
  ASSERT_TRUE(ParseIdListArray(block, parent, children));
  EXPECT_EQ(parent, EmptyIdList());
  EXPECT_EQ(children, (std::vector<IdList>{a, b}));
}

TEST(ShellIdListArray, MalformedBlocksAreRefused) {
  StatSnapshot s;
  const IdList a = MakeFileItem("a.gif", s);
  const QByteArray good = MakeIdListArrayHGlobal(nullptr, {a.data()});
  auto with = [&](int at, uint32_t v) {
    QByteArray b = good;
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (8 * i));
    return b;
  };
  const QByteArray bad[] = {
      QByteArray(),
      good.left(good.size() - 1),              // last terminator cut
      with(0, 0x40000000u),                    // a count no block can hold
      with(4, 2),                              // the parent's offset inside the header
      with(8, static_cast<uint32_t>(good.size())),  // a child past the end
      with(8, 12),                             // a child that is the parent's empty list
      MakeIdListArrayHGlobal(MakeRootItem(RootId::Computer).data(), {a.data()}),  // a file under Computer
  };
  for (size_t i = 0; i < std::size(bad); ++i) {
    IdList parent;
    std::vector<IdList> children;
    EXPECT_FALSE(ParseIdListArray(bad[i], parent, children)) << i;
  }
  QMimeData data;
  data.setData(ShellIdListFormat(), bad[2]);
  EXPECT_EQ(AllowedDropEffects(&data), 0u);
  ShellItems items;
  EXPECT_FALSE(ReadShellMimeData(&data, items)) << "a bad block is not trusted";
}

TEST(DropSource, ButtonsDecide) {
  const TDropSource_shlvtv left(0), right(1);
  EXPECT_EQ(left.QueryContinueDrag(false, MK_LBUTTON), S_OK);
  EXPECT_EQ(left.QueryContinueDrag(false, MK_LBUTTON | MK_RBUTTON), DRAGDROP_S_CANCEL);
  EXPECT_EQ(left.QueryContinueDrag(true, MK_LBUTTON), DRAGDROP_S_CANCEL);
  EXPECT_EQ(left.QueryContinueDrag(false, MK_SHIFT), DRAGDROP_S_DROP);
  EXPECT_EQ(right.QueryContinueDrag(false, MK_RBUTTON | MK_CONTROL), S_OK);
  EXPECT_EQ(right.GiveFeedback(0), DRAGDROP_S_USEDEFAULTCURSORS);
}

class Drops : public ShellTree {
 protected:
  void SetUp() override {
    ShellTree::SetUp();
    Services().error = [this](QWidget*, const QString& t) { errors.push_back(t.toStdString()); };
  }
  std::vector<std::string> errors;
};

TEST_F(Drops, ModifiersChooseCopyMoveOrLink) {
  const std::string from = home + "/Documents", to = home + "/Pictures";
  struct Case {
    uint32_t keys;
    uint32_t effect;
  } cases[] = {{MK_LBUTTON, DROPEFFECT_MOVE},
               {MK_LBUTTON | MK_CONTROL, DROPEFFECT_COPY},
               {MK_LBUTTON | MK_SHIFT, DROPEFFECT_MOVE},
               {MK_LBUTTON | MK_CONTROL | MK_SHIFT, DROPEFFECT_LINK},
               {MK_LBUTTON | MK_ALT, DROPEFFECT_LINK}};
  int n = 0;
  for (const Case& c : cases) {
    const std::string name = "item" + std::to_string(n++) + ".gif";
    WriteFile(from + "/" + name, name);
    auto data = DragOf({from + "/" + name});
    std::unique_ptr<ShellDropTarget> target;
    ASSERT_EQ(GetDropTargetOfPidl(PathList(to).data(), target), S_OK);
    uint32_t effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    ASSERT_EQ(target->DragEnter(data.get(), c.keys, QPoint(), effect), S_OK);
    EXPECT_EQ(effect, c.effect) << name;
    effect = 7;
    ASSERT_EQ(target->Drop(data.get(), c.keys & ~MK_LBUTTON, QPoint(), effect), S_OK);
    EXPECT_EQ(effect, c.effect) << name;
    struct stat st{};
    ASSERT_EQ(lstat((to + "/" + name).c_str(), &st), 0) << name;
    EXPECT_EQ(S_ISLNK(st.st_mode), c.effect == DROPEFFECT_LINK) << name;
    EXPECT_EQ(Exists(from + "/" + name), c.effect != DROPEFFECT_MOVE) << name;
  }
  WriteFile(from + "/limited.gif", "x");
  auto data = DragOf({from + "/limited.gif"});
  std::unique_ptr<ShellDropTarget> target;
  ASSERT_EQ(GetDropTargetOfPidl(PathList(to).data(), target), S_OK);
  uint32_t effect = DROPEFFECT_COPY;
  target->DragEnter(data.get(), MK_LBUTTON | MK_SHIFT, QPoint(), effect);
  EXPECT_EQ(effect, DROPEFFECT_NONE) << "a move the source does not allow does nothing";
}

TEST_F(Drops, TargetsOtherThanFolders) {
  const std::string docs = home + "/Documents";
  MakeDir(docs + "/box");
  WriteFile(docs + "/box/in.txt", "x");
  WriteFile(docs + "/trash me.txt", "x");
  auto self = DragOf({docs + "/box"});
  std::unique_ptr<ShellDropTarget> target;
  ASSERT_EQ(GetDropTargetOfPidl(PathList(docs + "/box").data(), target), S_OK);
  uint32_t effect = 7;
  target->DragEnter(self.get(), MK_LBUTTON | MK_CONTROL, QPoint(), effect);
  EXPECT_EQ(effect, DROPEFFECT_NONE) << "a folder onto itself";

  IdList trash;
  ASSERT_EQ(SpecialFolderLocation(CSIDL_BITBUCKET, trash), S_OK);
  ASSERT_EQ(GetDropTargetOfPidl(trash.data(), target), S_OK);
  auto data = DragOf({docs + "/trash me.txt"});
  effect = 7;
  ASSERT_EQ(target->Drop(data.get(), 0, QPoint(), effect), S_OK);
  EXPECT_EQ(effect, DROPEFFECT_MOVE);
  EXPECT_TRUE(Exists(home + "/.local/share/Trash/files/trash me.txt"));

  IdList computer;
  ASSERT_EQ(SpecialFolderLocation(CSIDL_DRIVES, computer), S_OK);
  EXPECT_TRUE(FAILED(GetDropTargetOfPidl(computer.data(), target))) << "Computer takes no drops";

  // Send To: a launcher gets the paths.
  const std::string sendTo = home + "/.local/share/gif-movinta/SendTo";
  MakeDir(sendTo);
  WriteFile(sendTo + "/Viewer.desktop", "[Desktop Entry]\nType=Application\nName=Viewer\nExec=viewer --open %F\n");
  MakeDir(sendTo + "/ignored folder");
  QString program;
  QStringList args;
  Services().launch = [&](const QString& p, const QStringList& a) {
    program = p;
    args = a;
    return true;
  };
  const auto entries = SendToEntries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].Caption, "Viewer");
  auto one = DragOf({docs + "/box/in.txt"});
  SendToItem(entries[0].FileName, one.get());
  EXPECT_EQ(program, "viewer");
  EXPECT_EQ(args, (QStringList{"--open", QString::fromStdString(docs + "/box/in.txt")}));
  EXPECT_THROW(SendToItem("missing.desktop", one.get()), EPTShellError);
}

TEST_F(Drops, TheDropHelperNeverThrowsAndKeepsTheEnteringButtons) {
  const std::string docs = home + "/Documents";
  WriteFile(docs + "/a.txt", "a");
  MakeDir(home + "/Music/into");
  TPTShellDropHelper helper;
  QMimeData junk;
  junk.setData(ShellIdListFormat(), QByteArray("\x05\x00\x00\x00", 4));
  const IdList target = PathList(home + "/Music/into");
  uint32_t effect = 7;
  EXPECT_EQ(helper.DragEnter(&junk, MK_LBUTTON, QPoint(), target.data(), effect), S_OK);
  EXPECT_EQ(effect, DROPEFFECT_NONE);
  effect = 7;
  EXPECT_EQ(helper.Drop(&junk, 0, QPoint(), target.data(), effect), S_OK);
  EXPECT_EQ(effect, DROPEFFECT_NONE);

  auto data = DragOf({docs + "/a.txt"});
  effect = 7;
  helper.DragEnter(data.get(), MK_RBUTTON | MK_CONTROL, QPoint(), target.data(), effect);
  EXPECT_EQ(effect, DROPEFFECT_COPY);
  effect = 7;
  helper.DragOver(MK_RBUTTON | MK_CONTROL, QPoint(), target.data(), effect);
  EXPECT_EQ(effect, DROPEFFECT_COPY | DROPEFFECT_SCROLL);
  effect = 7;
  ASSERT_EQ(helper.Drop(data.get(), MK_CONTROL, QPoint(), target.data(), effect), S_OK);
  EXPECT_EQ(effect, DROPEFFECT_COPY);
  EXPECT_EQ(ReadFile(home + "/Music/into/a.txt"), "a");

  int dx = 0, dy = 0;
  const QRect client(0, 0, 200, 100);
  EXPECT_TRUE(helper.AutoScroll(client, QPoint(5, 50), 1000, dx, dy));
  EXPECT_EQ(dx, -1);
  EXPECT_FALSE(helper.AutoScroll(client, QPoint(5, 50), 1050, dx, dy)) << "at most every 100 ms";
  EXPECT_TRUE(helper.AutoScroll(client, QPoint(100, 95), 1100, dx, dy));
  EXPECT_EQ(dx, 0);
  EXPECT_EQ(dy, 1);
  EXPECT_FALSE(helper.AutoScroll(client, QPoint(100, 50), 1300, dx, dy));
}

TEST_F(Drops, EffectsFromTheItemsAttributes) {
  const std::string docs = home + "/Documents";
  WriteFile(docs + "/f.txt", "x");
  EXPECT_EQ(AllowedDropEffects(DragOf({docs + "/f.txt"}).get()), 7u);
  QMimeData plain;
  plain.setText("hello");
  EXPECT_EQ(AllowedDropEffects(&plain), 7u) << "no ID-list block";
  const IdList homeList = MakeRootItem(RootId::Home);
  const IdList empty = EmptyIdList();
  std::unique_ptr<QMimeData> homeDrag(MakeShellMimeData(empty.data(), {homeList.data()}));
  EXPECT_EQ(AllowedDropEffects(homeDrag.get()), DROPEFFECT_COPY | DROPEFFECT_LINK) << "Home cannot move";
  EXPECT_EQ(ItemDropEffects(homeList.data()), DROPEFFECT_COPY | DROPEFFECT_LINK);
  EXPECT_EQ(KeyStateFromQt(Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier), MK_LBUTTON | MK_CONTROL | MK_SHIFT);
  EXPECT_EQ(DropEffectsToQt(7), Qt::CopyAction | Qt::MoveAction | Qt::LinkAction);
  for (uint32_t effects = 0; effects <= 7; ++effects)
    EXPECT_EQ(DropEffectsFromQt(DropEffectsToQt(effects)), effects) << effects;
}

TEST_F(Drops, DeviceChangesArePostedThenDeliveredToEachRegistration) {
  TPTDeviceChangeHandler handler;
  std::vector<std::string> calls;
  int a = 0, b = 0, c = 0;
  handler.Register(&a, [&](TPTDeviceChangeHandler* h, const TPTMessageEvent& m) {
    calls.push_back("a" + std::to_string(m.WParam));
    h->Unregister(&b);  // a registration may change the list while it is walked
  });
  handler.Register(&b, [&](TPTDeviceChangeHandler*, const TPTMessageEvent&) { calls.push_back("b"); });
  handler.Register(&c, [&](TPTDeviceChangeHandler*, const TPTMessageEvent&) {
    calls.push_back("c");
    throw EPTShellError("callback failed");
  });
  int handled = 0;
  ApplicationExceptionHandler() = [&](std::exception_ptr) { ++handled; };
  WriteMounts("40 22 8:17 / /media/user/CARD rw - vfat /dev/sdb1 rw\n");
  handler.Rescan();
  EXPECT_TRUE(calls.empty()) << "posted, not sent";
  QCoreApplication::sendPostedEvents(&handler);
  EXPECT_EQ(calls, (std::vector<std::string>{"a" + std::to_string(DBT_DEVICEARRIVAL), "c"}));
  EXPECT_EQ(handled, 1);
  WriteMounts("");
  handler.Rescan();
  QCoreApplication::sendPostedEvents(&handler);
  EXPECT_EQ(calls.back(), "c");
  EXPECT_EQ(calls[2], "a" + std::to_string(DBT_DEVICEREMOVECOMPLETE));
  ApplicationExceptionHandler() = nullptr;
}
