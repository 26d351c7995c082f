#include "editor/forms/options_logic.h"
#include "tests/editor/test_support.h"

#include <gtest/gtest.h>

namespace movinta::editor::forms {
namespace {

using testing::ScopedSettingsDir;

QString S(const char* s) { return QString::fromLatin1(s); }

TEST(OptionsLogic, AFirstStartShowsTheDefaultsOfEveryRow) {
  ScopedSettingsDir dir;
  SettingsStore store;
  const OptionsValues v = LoadOptions(store, /*toolbarsFlat=*/true, /*thumbnailHeight=*/75);
  EXPECT_TRUE(v.FrameSize.Clip);
  EXPECT_FALSE(v.FrameSize.Default);
  EXPECT_TRUE(v.DisplayAnimation);
  EXPECT_EQ(v.DefaultDelay, 100);
  EXPECT_EQ(v.DefaultNSLoop, 0);
  EXPECT_FALSE(v.RegularButtons);  // the opposite of the flat toolbars
  EXPECT_TRUE(v.AutoLoad);
  EXPECT_EQ(v.ThumbSize, 75);      // the thumbnails' current height
  EXPECT_EQ(v.MaxUndo, 50);
  EXPECT_FALSE(v.SyncOpenDialog);
  EXPECT_FALSE(v.NoOpenDlgPreview);
  EXPECT_FALSE(v.DropDefault);
  EXPECT_EQ(v.TransColor, 0xFFFFFFu);
  EXPECT_FALSE(v.Palette.Default);
  EXPECT_EQ(v.Palette.PaletteType, 0);
  EXPECT_EQ(v.Palette.MaxColorCount, 256);
  EXPECT_EQ(v.Palette.DitherMethod, 0);
  EXPECT_EQ(v.Palette.MaxImportCount, 256);
}

// Values the pages cannot show come up as their defaults; out-of-range numbers are held to what
// the settings can keep.
TEST(OptionsLogic, StoredValuesOutsideTheChoicesShowTheDefaultChoice) {
  ScopedSettingsDir dir;
  SettingsStore store;
  const QString settings = S(sections::kSettings);
  for (auto [name, value] : std::initializer_list<std::pair<const char*, int>>{
           {"PaletteType", 7}, {"MaxColorCount", 100}, {"DitherMethod", 4}, {"MaxImportCount", 3},
           {"DropImageDefault", 7}, {"DefaultDelay", 70000}, {"MaxUndo", 0}})
    WriteRegInt(store, settings, S(name), value);
  const OptionsValues v = LoadOptions(store, false, 100);
  EXPECT_EQ(v.Palette.PaletteType, 0);
  EXPECT_EQ(v.Palette.MaxColorCount, 256);
  EXPECT_EQ(v.Palette.DitherMethod, 0);
  EXPECT_EQ(v.Palette.MaxImportCount, 256);
  EXPECT_FALSE(v.DropDefault);  // only 6 checks the box
  EXPECT_EQ(v.DefaultDelay, 65535);
  EXPECT_EQ(v.MaxUndo, 1);
  EXPECT_TRUE(v.RegularButtons);
}

TEST(OptionsLogic, ThePalettePageWritesItsDefaultsFlagOnlyWhenItChanged) {
  ScopedSettingsDir dir;
  SettingsStore store;
  const OptionsValues loaded = LoadOptions(store, true, 100);
  OptionsValues edited = loaded;
  edited.Palette = {false, 2, 32, 1, 16};
  StorePaletteSettings(store, loaded, edited);
  const QString settings = S(sections::kSettings);
  EXPECT_FALSE(store.valueExists(settings, S("PaletteDefaults")));
  EXPECT_EQ(ReadRegInt(store, settings, S("PaletteType"), -1), 2);
  EXPECT_EQ(ReadRegInt(store, settings, S("MaxColorCount"), -1), 32);
  EXPECT_EQ(ReadRegInt(store, settings, S("DitherMethod"), -1), 1);
  EXPECT_EQ(ReadRegInt(store, settings, S("MaxImportCount"), -1), 16);
  edited.Palette.Default = true;
  StorePaletteSettings(store, loaded, edited);
  EXPECT_EQ(ReadRegInt(store, settings, S("PaletteDefaults"), -1), 1);
}

TEST(OptionsLogic, FavouritesMoveAddAndRemoveAsTheButtonsSay) {
  FavoritesList list;
  list.Items = {S("/a"), S("/b"), S("/c")};
  EXPECT_FALSE(list.CanRemove());
  EXPECT_FALSE(list.CanMoveUp());
  EXPECT_FALSE(list.CanMoveDown());

  list.Selected = 0;
  EXPECT_FALSE(list.CanMoveUp());
  EXPECT_TRUE(list.CanMoveDown());
  EXPECT_TRUE(list.Move(1));
  EXPECT_EQ(list.Items, (QStringList{S("/b"), S("/a"), S("/c")}));
  EXPECT_EQ(list.Selected, 1);
  EXPECT_TRUE(list.Changed);

  // A folder already listed changes nothing; a new one goes after the selection and is selected.
  list.Changed = false;
  EXPECT_FALSE(list.Add(S("/c")));
  EXPECT_FALSE(list.Add(QString()));
  EXPECT_FALSE(list.Changed);
  EXPECT_TRUE(list.Add(S("/new")));
  EXPECT_EQ(list.Items, (QStringList{S("/b"), S("/a"), S("/new"), S("/c")}));
  EXPECT_EQ(list.Selected, 2);
  list.Selected = 3;
  EXPECT_FALSE(list.CanMoveDown());
  EXPECT_TRUE(list.Add(S("/last")));
  EXPECT_EQ(list.Items.back(), S("/last"));
  list.Selected = -1;
  EXPECT_TRUE(list.Add(S("/none")));
  EXPECT_EQ(list.Selected, 5);

  // Removing selects the item before; removing the first leaves nothing selected.
  list.Selected = 2;
  EXPECT_TRUE(list.Remove());
  EXPECT_EQ(list.Selected, 1);
  list.Selected = 0;
  EXPECT_TRUE(list.Remove());
  EXPECT_EQ(list.Selected, -1);
  EXPECT_EQ(list.Items, (QStringList{S("/a"), S("/c"), S("/last"), S("/none")}));
}

TEST(OptionsLogic, TheWarningsQuestionNamesTheWayItSwitches) {
  EXPECT_EQ(WarningsQuestion(true), S("Would you like to turn off GIF warnings?"));
  EXPECT_EQ(WarningsQuestion(false),
            S("Would you like to turn on GIF warnings? This option is used for developer debugging purposes only."));
  EXPECT_TRUE(AboutText(S("Larkspur GIF Movinta 6")).startsWith(S("Larkspur GIF Movinta 6.0.2\n")));
}

}  // namespace
}  // namespace movinta::editor::forms
