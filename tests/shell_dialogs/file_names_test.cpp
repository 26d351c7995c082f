#include <gtest/gtest.h>

#include <QString>

#include "controls/shell/dialogs/file_names.h"

using namespace ptshell;

namespace {

TEST(FileNames, ParsesFilterPairs) {
  const auto types = ParseFilter("GIF images|*.gif|Pictures|*.gif;*.jpg|Loose");
  ASSERT_EQ(types.size(), 3u);
  EXPECT_EQ(types[0].Description, "GIF images");
  EXPECT_EQ(types[0].Mask, "*.gif");
  EXPECT_EQ(types[1].Mask, "*.gif;*.jpg");
  EXPECT_EQ(types[2].Description, "Loose");
  EXPECT_EQ(types[2].Mask, "");
  EXPECT_TRUE(ParseFilter("").empty());
}

TEST(FileNames, SplitsQuotedNamesInOrder) {
  const struct {
    const char* text;
    QStringList names;
  } cases[] = {
      {"plain name.gif ", {"plain name.gif "}},  // no quote: the text as it stands
      {"\"b.gif\" \"a.gif\"", {"b.gif", "a.gif"}},
      {"\t\"a b.gif\"  \"c.gif", {"a b.gif", "c.gif"}},  // an unclosed quote runs to the end
      {"x.gif \"y.gif\"", {"x.gif", "y.gif"}},         // an unquoted name ends at the next quote
      {"\"\" \"  \" \"z \"", {"z"}},                     // empty names drop, trailing blanks go
  };
  for (const auto& c : cases) EXPECT_EQ(SplitFileNames(c.text), c.names) << c.text;
  // A dialog that takes one name takes the text whole.
  const struct {
    const char* text;
    const char* name;
  } single[] = {
      {"a & \"q\" b.gif", "a & \"q\" b.gif"},
      {"\"b.gif\" \"a.gif\"", "\"b.gif\" \"a.gif\""},
      {"\"two words.gif\" ", "two words.gif"},
      {"say \"hi\"", "say \"hi\""},
  };
  for (const auto& c : single) EXPECT_EQ(SplitFileNames(c.text, false), QStringList{c.name}) << c.text;
}

TEST(FileNames, CombinesTypedNamesWithTheFolder) {
  const QString home = "/home/u";
  const struct {
    const char* folder;
    const char* name;
    const char* expected;
  } cases[] = {
      {"/x/y", "a.gif", "/x/y/a.gif"},
      {"/x/y/", "sub/a.gif", "/x/y/sub/a.gif"},
      {"/x/y", "../a.gif", "/x/a.gif"},
      {"/x/y", "../../../../a.gif", "/a.gif"},  // never above the root
      {"/x/y", "./b/../a.gif", "/x/y/a.gif"},
      {"/x/y", "...", "/x/y/..."},  // a legal name here, not a climb
      {"/x/y", "/etc//a.gif", "/etc/a.gif"},
      {"/x/y", "/../a.gif", "/a.gif"},
      {"/x/y", "~/a.gif", "/home/u/a.gif"},
      {"/x/y", "~", "/home/u"},
      {"/x/y", "~x.gif", "/x/y/~x.gif"},
      {"/x/y", "a\\b.gif", "/x/y/a\\b.gif"},  // a backslash is an ordinary character
      {"/", "a.gif", "/a.gif"},
      {"/x/y", "", ""},
      {"", "a.gif", ""},  // no folder on disk to start from
      {"", "/a.gif", "/a.gif"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CombinePath(c.folder, c.name, home), QString(c.expected)) << c.folder << " + " << c.name;
}

TEST(FileNames, RefusesWhatTheFileSystemCannotTake) {
  EXPECT_TRUE(IsAcceptableFileName("a<b>|c.gif"));
  EXPECT_TRUE(IsAcceptableFileName(QString(255, 'n') + "/x"));
  EXPECT_FALSE(IsAcceptableFileName(QString(256, 'n')));
  EXPECT_FALSE(IsAcceptableFileName(QString("/d/") + QString(128, QChar(0xE9))));  // 256 bytes encoded
  EXPECT_FALSE(IsAcceptableFileName(QString("a") + QChar(0) + "b"));
}

TEST(FileNames, AppliesTheDefaultExtension) {
  const auto registered = [](const QString& ext) {
    return ext.compare(".gif", Qt::CaseInsensitive) == 0 || ext.compare(".bmp", Qt::CaseInsensitive) == 0;
  };
  const struct {
    const char* path;
    const char* defaultExt;
    const char* mask;
    const char* expected;
    int different;
  } cases[] = {
      {"/d/pic", "gif", "*.gif", "/d/pic.gif", 0},
      {"/d/pic", "gif", "*.*", "/d/pic.gif", 0},  // a wildcard extension counts as none
      {"/d/pic", "gif", "*", "/d/pic.gif", 0},
      {"/d/pic", "gif", "", "/d/pic.gif", 0},
      {"/d/pic.", "gif", "*.gif", "/d/pic.gif", 0},
      {"/d/pic.bmp", "gif", "*.gif", "/d/pic.bmp", 1},  // registered: kept
      {"/d/pic.GIF", "gif", "*.jpg", "/d/pic.GIF", 0},  // registered and the default itself
      {"/d/pic", "gif", "*.gif;*.jpg", "/d/pic.jpg", 1},
      {"/d/pic.zzz", "gif", "*.jpg", "/d/pic.zzz.jpg", 1},
      {"/d/pic.JPG", "gif", "*.jpg", "/d/pic.JPG", -1},  // already the mask's: unchanged
      {"/d/.hidden", "gif", "*.gif", "/d/.hidden.gif", 0},
      {"/d/pic", "", "*.gif", "/d/pic", -1},
  };
  for (const auto& c : cases) {
    const TDefaultExtResult r = ApplyDefaultExt(c.path, c.defaultExt, c.mask, registered);
    EXPECT_EQ(r.Path, QString(c.expected)) << c.path << " " << c.mask;
    EXPECT_EQ(r.ExtensionDifferent, c.different) << c.path << " " << c.mask;
  }
}

TEST(FileNames, KnowsRegisteredExtensions) {
  EXPECT_TRUE(IsRegisteredExtension(".gif"));
  EXPECT_TRUE(IsRegisteredExtension(".BMP"));
  EXPECT_FALSE(IsRegisteredExtension(".qqzzq"));
  EXPECT_FALSE(IsRegisteredExtension("."));
  EXPECT_EQ(MaskExtension("*.gif;*.jpg"), ".jpg");
  EXPECT_EQ(MaskExtension("*.*"), "");
  EXPECT_EQ(MaskExtension("pic?.gi*"), "");
}

}  // namespace
