#include "editor/forms/prompts_logic.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace movinta::editor::forms {
namespace {

TEST(PromptPages, CaptionsTabsAndLayout) {
  EXPECT_EQ(PromptCaption(pgHtmlTag), QStringLiteral("HTML Tag"));
  EXPECT_EQ(PromptTabText(pgGlobalChange), QStringLiteral("Properties"));
  EXPECT_EQ(PromptCaption(8), QString());
  const PromptLayout l = LayoutPrompt(QSize(300, 200), 40);
  EXPECT_EQ(l.Tab, QSize(316, 232));
  EXPECT_EQ(l.Client, QSize(332, 280));
}

TEST(ResizeArithmetic, ConstrainedAndFreeFieldsFollowEachOther) {
  // 200 x 100 (width x height) animation.
  ResizeFields f{100, 200, 100, 100};
  ResizeFields h = ResizeFromHeight(f, 100, 200, 50, true);
  EXPECT_EQ(h.HeightPercent, 50);
  EXPECT_EQ(h.WidthPercent, 50);
  EXPECT_EQ(h.Width, 100);

  ResizeFields free = ResizeFromWidth(f, 100, 200, 300, false);
  EXPECT_EQ(free.WidthPercent, 150);
  EXPECT_EQ(free.HeightPercent, 100);
  EXPECT_EQ(free.Height, 100);

  ResizeFields p = ResizeFromPercent(f, 100, 200, 25, true, true);
  EXPECT_EQ(p.Height, 25);
  EXPECT_EQ(p.Width, 50);
  EXPECT_EQ(p.WidthPercent, 25);
  ResizeFields q = ResizeFromPercent(f, 100, 200, 25, false, false);
  EXPECT_EQ(q.Width, 50);
  EXPECT_EQ(q.Height, 100);

  // Halves go to even: 5 x 50% = 2.5 -> 2, 7 x 50% = 3.5 -> 4.
  EXPECT_EQ(ResizeFromPercent(f, 5, 7, 50, true, true).Height, 2);
  EXPECT_EQ(ResizeFromPercent(f, 5, 7, 50, true, true).Width, 4);
  // A size of 0 divides nothing by zero and no side goes below 1.
  ResizeFields z = ResizeFromHeight(f, 0, 0, 0, true);
  EXPECT_EQ(z.Height, 1);
  EXPECT_GE(z.Width, 1);
  EXPECT_EQ(ResizeFromPercent(f, 100, 200, 0, true, true).Height, 1);
}

TEST(CountField, RepairsToEnteredTextOrDefault) {
  struct Case {
    const char* text;
    const char* entered;
    const char* out;
  } cases[] = {{"12", "3", "12"},   {"65535", "3", "65535"}, {"65536", "3", "7"},
               {"x", "3", "3"},     {"x", "y", "7"},         {"", "4", "4"}};
  for (const Case& c : cases)
    EXPECT_EQ(RepairCountText(QString::fromUtf8(c.text), QString::fromUtf8(c.entered), 7), QString::fromUtf8(c.out))
        << c.text;
}

TEST(HtmlTag, AttributesInOrderEscapedAndLinked) {
  EXPECT_EQ(BuildImageTag(QStringLiteral("a.gif"), 10, 20, QString(), QStringLiteral("hint"), QStringLiteral("0")),
            QStringLiteral("<img src=\"a.gif\" height=\"10\" width=\"20\" alt=\"hint\" border=\"0\">"));
  EXPECT_EQ(BuildImageTag(QStringLiteral("a.gif"), 1, 2, QString(), QString(), QString()),
            QStringLiteral("<img src=\"a.gif\" height=\"1\" width=\"2\">"));
  EXPECT_EQ(BuildImageTag(QStringLiteral("x&\"y.gif"), 1, 2, QStringLiteral("http://h/?a=1&b=<2>"),
                          QStringLiteral("say \"hi\" <b>"), QString()),
            QStringLiteral("<a href=\"http://h/?a=1&amp;b=&lt;2&gt;\"><img src=\"x&amp;&quot;y.gif\" height=\"1\" "
                           "width=\"2\" alt=\"say &quot;hi&quot; &lt;b&gt;\"></a>"));
}

TEST(PromptSettings, DefaultsUnknownValuesAndWrites) {
  QTemporaryDir dir;
  SettingsStore store(dir.filePath(QStringLiteral("s.ini")));
  const FrameSizeSettings fresh = ReadFrameSizeSettings(store);
  EXPECT_TRUE(fresh.Clip);  // trimming is the default everywhere
  EXPECT_FALSE(fresh.Default);
  WriteFrameSizeSettings(store, {false, true});
  EXPECT_FALSE(ReadFrameSizeSettings(store).Clip);
  EXPECT_TRUE(ReadFrameSizeSettings(store).Default);

  store.writeInt(QStringLiteral("Settings"), QStringLiteral("MaxColorCount"), 100);
  store.writeInt(QStringLiteral("Settings"), QStringLiteral("PaletteType"), 5);
  store.writeInt(QStringLiteral("Settings"), QStringLiteral("DitherMethod"), 3);
  store.writeInt(QStringLiteral("Settings"), QStringLiteral("MaxImportCount"), 64);
  PaletteSettings p = ReadPaletteSettings(store);
  EXPECT_EQ(p.MaxColorCount, 256);
  EXPECT_EQ(p.PaletteType, 0);
  EXPECT_EQ(p.DitherMethod, 0);
  EXPECT_EQ(p.MaxImportCount, 64);

  p.PaletteType = 2;
  p.DitherMethod = 1;
  WritePaletteSettings(store, p, false);
  EXPECT_FALSE(store.valueExists(QStringLiteral("Settings"), QStringLiteral("PaletteDefaults")));
  p.Default = true;
  WritePaletteSettings(store, p, false);
  const PaletteSettings back = ReadPaletteSettings(store);
  EXPECT_TRUE(back.Default);
  EXPECT_EQ(back.PaletteType, 2);
  EXPECT_EQ(back.DitherMethod, 1);
}

}  // namespace
}  // namespace movinta::editor::forms
