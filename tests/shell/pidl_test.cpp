#include <gtest/gtest.h>

#include <cstring>

#include "controls/shell/pidl_list.h"
#include "controls/shell/shell_locator.h"
#include "controls/shell/shell_utils.h"
#include "platform/shellnamespace/item_id.h"
#include "shell_fixture.h"

using namespace ptshell;
using shellns::IdList;

namespace {

shellns::StatSnapshot FileStat() {
  shellns::StatSnapshot s;
  s.type = shellns::FileType::Regular;
  s.size = 10;
  return s;
}

IdList Home() { return shellns::MakeRootItem(shellns::RootId::Home); }
IdList FileItem(const std::string& name) { return shellns::MakeFileItem(name, FileStat()); }
IdList Join(const IdList& a, const IdList& b) { return shellns::Concat(a.data(), b.data()); }

// A list whose one item has a kind no folder knows.
IdList Foreign() { return IdList{5, 0, 0x77, 1, 2, 0, 0}; }

}  // namespace

TEST(ItemIdLists, SizesCopiesAndJoins) {
  EXPECT_EQ(GetPidlSize(nullptr), 0);
  const IdList empty = shellns::EmptyIdList();
  EXPECT_EQ(GetPidlSize(empty.data()), 2);
  PidlPtr copy(CopyPidl(nullptr, nullptr));
  ASSERT_TRUE(copy);
  EXPECT_EQ(GetPidlSize(copy.get()), 2);

  const IdList a = Join(Home(), FileItem("Pictures"));
  PidlPtr joined(ConcatPidls(nullptr, a.data(), FileItem("x.gif").data()));
  EXPECT_EQ(shellns::ItemCount(joined.get()), 3u);
  EXPECT_EQ(GetPidlSize(joined.get()), GetPidlSize(a.data()) + GetPidlSize(FileItem("x.gif").data()) - 2);
  PidlPtr nulls(ConcatPidls(nullptr, nullptr, nullptr));
  EXPECT_EQ(GetPidlSize(nulls.get()), 2);
}

TEST(ItemIdLists, CompareRules) {
  const IdList empty = shellns::EmptyIdList(), home = Home(), foreign = Foreign();
  const IdList homeA = Join(home, FileItem("a")), homeB = Join(home, FileItem("b"));
  struct Case {
    const uint8_t* a;
    const uint8_t* b;
    int expected;
  } cases[] = {
      {nullptr, nullptr, 0},          {nullptr, empty.data(), -1},       {empty.data(), empty.data(), 0},
      {empty.data(), home.data(), -1}, {home.data(), empty.data(), -1},  {homeA.data(), homeA.data(), 0},
      {homeA.data(), homeB.data(), -1}, {homeB.data(), homeA.data(), 1}, {home.data(), homeA.data(), -1},
      {foreign.data(), home.data(), kPidlsNotComparable},
  };
  for (const Case& c : cases) EXPECT_EQ(ComparePidls(c.a, c.b), c.expected);
}

TEST(ItemIdLists, ValidationRejectsMalformedBlocks) {
  const IdList good = Join(Home(), FileItem("a"));
  ASSERT_TRUE(shellns::ValidateAbsoluteIdList(good.data(), good.size()));
  IdList badName = Join(Home(), FileItem("a"));
  badName[badName.size() - 3] = '/';  // "a" -> "/"
  IdList dotdot = Join(Home(), FileItem("aa"));
  dotdot[dotdot.size() - 3] = dotdot[dotdot.size() - 4] = '.';
  const IdList fileUnderComputer = Join(shellns::MakeRootItem(shellns::RootId::Computer), FileItem("etc"));
  const IdList rootBelowFile = Join(Join(Home(), FileItem("d")), Home());
  const std::vector<IdList> bad = {
      IdList{},                                     // nothing
      IdList{0},                                    // half a terminator
      IdList{1, 0, 0, 0},                           // a count below the header
      IdList{9, 0, 0x1F, 1, 0, 0},                  // a count past the end
      IdList{4, 0, 0x1F, 1},                        // no terminator
      IdList{4, 0, 0x1F, 9, 0, 0},                  // no such root
      Foreign(),                                    // unknown kind
      IdList(good.begin(), good.end() - 1),         // cut short
      badName, dotdot, fileUnderComputer, rootBelowFile,
  };
  for (size_t i = 0; i < bad.size(); ++i)
    EXPECT_FALSE(shellns::ValidateAbsoluteIdList(bad[i].data(), bad[i].size())) << "case " << i;
  EXPECT_TRUE(shellns::MakeFileItem(std::string(70000, 'x'), FileStat()).empty()) << "an over-long name is refused";
}

TEST(IdListArray, ItemsAndParents) {
  const IdList three = Join(Join(Home(), FileItem("a")), FileItem("b"));
  TPTIdListArray items(three.data());
  EXPECT_EQ(items.Count(), 3);
  EXPECT_EQ(ComparePidls(items.Item(2), FileItem("b").data()), 0);
  EXPECT_THROW(items.Item(3), EPTShellError);
  EXPECT_THROW(items.Item(-1), EPTShellError);
  EXPECT_EQ(shellns::ItemCount(items.Parent(1)), 2u);
  EXPECT_EQ(GetPidlSize(items.Parent(3)), 2);
  EXPECT_EQ(items.Parent(4), nullptr);
  EXPECT_EQ(items.Parent(-1), nullptr);

  const IdList empty = shellns::EmptyIdList();
  TPTIdListArray none(empty.data());
  EXPECT_EQ(none.Count(), 0);
  EXPECT_EQ(GetPidlSize(none.Item(0)), 2);
  EXPECT_EQ(GetPidlSize(none.Parent(0)), 2);
  TPTIdListArray null(nullptr);
  EXPECT_THROW(null.Item(0), EPTShellError);
  EXPECT_EQ(null.Parent(0), nullptr);
}

namespace {

class CountingAllocator final : public IMalloc {
 public:
  void* Alloc(size_t size) override {
    ++live;
    return std::malloc(size);
  }
  void Free(void* p) override {
    --live;
    std::free(p);
  }
  int live = 0;
};

}  // namespace

TEST(PidlList, DuplicatesBySetting) {
  struct Case {
    TPTDuplicates mode;
    int count;
    bool raises;
  } cases[] = {{dupIgnore, 2, false}, {dupAccept, 3, false}, {dupError, 2, true}};
  for (const Case& c : cases) {
    CountingAllocator alloc;
    TPTPidlList list;
    list.Allocator = &alloc;
    list.Duplicates = c.mode;
    list.SetSorted(true);
    PItemIDList b = PidlFromIdList(FileItem("b"), &alloc), a = PidlFromIdList(FileItem("a"), &alloc);
    list.Add(b);
    list.Add(a);
    EXPECT_EQ(list.IndexOf(a), 0);
    PItemIDList again = PidlFromIdList(FileItem("b"), &alloc);
    if (c.raises) {
      EXPECT_THROW(list.Add(again), EPTShellError);
      alloc.Free(again);
    } else if (c.mode == dupIgnore) {
      EXPECT_EQ(list.Add(again), 1);
      alloc.Free(again);
    } else {
      list.Add(again);
    }
    EXPECT_EQ(list.Count(), c.count);
    list.Clear();
    EXPECT_EQ(alloc.live, 0) << "the list frees through its allocator";
  }
}

TEST(PidlList, SortedSearchAndOwnership) {
  const char* names[] = {"d", "b", "e", "a", "c"};
  std::vector<PidlPtr> owned;
  TPTPidlList list;
  for (const char* n : names) {
    owned.emplace_back(PidlFromIdList(FileItem(n)));
    list.AddObject(owned.back().get(), const_cast<char*>(n));
  }
  EXPECT_EQ(list.IndexOf(owned[3].get()), 3) << "unsorted lists search linearly";
  list.Folder = shellns::ShellFolder::Desktop();
  list.SetSorted(true);
  for (int i = 0; i < list.Count(); ++i) EXPECT_EQ(static_cast<const char*>(list.Data(i))[0], 'a' + i);
  const IdList missing = FileItem("bb");
  int at = -1;
  EXPECT_FALSE(list.Find(missing.data(), at));
  EXPECT_EQ(at, 2);
  list.Delete(0);  // no allocator: the PIDL stays the caller's
  EXPECT_EQ(GetPidlSize(owned[3].get()), GetPidlSize(FileItem("a").data()));
}

TEST(ShellUtils, Texts) {
  EXPECT_EQ(AddTrailingChar("", '/'), "");
  EXPECT_EQ(AddTrailingChar("/a", '/'), "/a/");
  EXPECT_EQ(AddTrailingChar("/a/", '/'), "/a/");
  EXPECT_EQ(TrimRightDBCS("ab \t\n"), "ab");
  EXPECT_EQ(TrimRightDBCS("caf\xC3\xA9 "), "caf\xC3\xA9");

  std::vector<std::string> fifty;
  for (int i = 1; i <= 50; ++i) fifty.push_back("s" + std::to_string(i));
  EXPECT_EQ(FormatStrPos("%50-%1-%%", fifty), "s50-s1-%");
  fifty.push_back("s51");
  EXPECT_THROW(FormatStrPos("%1", fifty), EPTShellError);
  EXPECT_EQ(FormatStrPos("", {"a"}), "");
  EXPECT_EQ(FormatStrPos("Unable to create '%2'\n\n%1", {"why", "where"}), "Unable to create 'where'\n\nwhy");
  EXPECT_EQ(FormatStrPos("%3", {"a"}), "") << "a missing insert fails the whole text";

  std::string out;
  size_t pos = 1;
  const std::string s = "\xC3\xA9x";
  AppendCharAt(s, pos, out);
  EXPECT_EQ(out, "\xC3\xA9");
  EXPECT_EQ(pos, 3u);
}

class Locator : public ShellTree {};

TEST_F(Locator, ChangeRules) {
  TPTShellLocator loc;
  int changes = 0;
  loc.OnChange = [&](TPTShellLocator*) { ++changes; };
  const IdList empty = shellns::EmptyIdList();
  loc.SetPidl(empty.data());
  loc.SetPidl(empty.data());
  EXPECT_EQ(changes, 0) << "the empty list is the desktop the locator already names";
  EXPECT_EQ(loc.GetPidl(), nullptr);

  const IdList homeList = Home();
  loc.SetPidl(homeList.data());
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(loc.Csidl(), shellns::CSIDL_NONE);
  loc.SetPidl(homeList.data());
  EXPECT_EQ(changes, 1);
  const IdList foreign = Foreign();
  loc.SetPidl(foreign.data());
  EXPECT_EQ(changes, 2) << "a pair that cannot be compared counts as a change";

  TPTShellLocator a, b;
  a.SetCsidl(shellns::CSIDL_PERSONAL);
  b.SetCsidl(shellns::CSIDL_PERSONAL);
  int fired = 0;
  b.OnChange = [&](TPTShellLocator*) { ++fired; };
  b.Assign(&a);
  EXPECT_EQ(fired, 0);
  a.SetCsidl(shellns::CSIDL_MYPICTURES);
  b.Assign(&a);
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(b.GetPath(), home + "/Pictures");
  b.Assign(nullptr);
  EXPECT_EQ(fired, 2) << "dropping the cached special folder";
}

TEST_F(Locator, StoredPropertyRoundTrips) {
  TPTShellLocator plain;
  EXPECT_FALSE(plain.IsStored());

  TPTShellLocator byPath;
  byPath.SetPath(home + "/Documents");
  ASSERT_TRUE(byPath.IsStored());
  std::vector<uint8_t> data;
  byPath.WriteData(data);
  TPTShellLocator back;
  ASSERT_TRUE(back.ReadData(data.data(), data.size()));
  EXPECT_TRUE(back.Equals(byPath));
  EXPECT_EQ(back.GetPath(), home + "/Documents");

  const std::vector<uint8_t> zero = {0, 0, 0, 0, 0};
  ASSERT_TRUE(back.ReadData(zero.data(), zero.size()));
  EXPECT_EQ(back.Kind(), TPTShellLocator::kindCsidl);
  EXPECT_EQ(back.Csidl(), shellns::CSIDL_DESKTOP);

  TPTShellLocator special;
  special.SetCsidl(shellns::CSIDL_DRIVES);
  data.clear();
  special.WriteData(data);
  EXPECT_EQ(data, (std::vector<uint8_t>{1, shellns::CSIDL_DRIVES}));

  const std::vector<std::vector<uint8_t>> bad = {
      {}, {0, 9, 0, 0, 0, 1}, {0, 4, 0, 0, 0, 4, 0, 0x1F, 1}, {0, 7, 0, 0, 0, 5, 0, 0x77, 1, 2, 0, 0}, {1}, {2, 0}};
  TPTShellLocator keep;
  keep.SetPath(home);
  for (const auto& b : bad) EXPECT_FALSE(keep.ReadData(b.data(), b.size()));
  EXPECT_EQ(keep.GetPath(), home) << "a malformed property leaves the locator as it was";

  TPTShellLocator unknown;
  unknown.SetPath(home + "/no such folder");
  EXPECT_EQ(unknown.GetPidl(), nullptr) << "a path that does not parse is the desktop";
}
