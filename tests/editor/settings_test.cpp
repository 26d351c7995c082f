#include "editor/model/settings.h"
#include "editor/model/text_helpers.h"
#include "test_support.h"

#include <QFile>

#include <gtest/gtest.h>

namespace movinta::editor {
namespace {

using testing::RecordingMessages;
using testing::ScopedSettingsDir;

class SettingsTest : public ::testing::Test {
protected:
  ScopedSettingsDir dir_;
  QString programFolder_ = QStringLiteral("/opt/movinta");

  MainWindowSettings Current() const {
    MainWindowSettings c;
    c.Top = 11;
    c.Left = 12;
    c.Height = 300;
    c.Width = 400;
    c.FrameWindowHeight = 190;
    c.ThumbnailSize = 96;
    c.Toolbars = {ToolbarPlacement{1, 2, true}, ToolbarPlacement{3, 4, false}, ToolbarPlacement{5, 6, true}};
    return c;
  }
};

TEST_F(SettingsTest, StoreLivesInTheUsersFolderAndNestsBackslashSections) {
  {
    SettingsStore store;
    store.writeInt(QStringLiteral("Settings\\Toolbars\\Standard"), QStringLiteral("Left"), 42);
    store.writeString(QStringLiteral("FormPos\\Main"), QStringLiteral("WindowState"), QStringLiteral("Normal"));
    EXPECT_TRUE(store.flush());
    EXPECT_EQ(store.fileName(), dir_.Path() + QStringLiteral("/Larkspur Software/GIF Movinta.ini"));
  }
  QSettings raw(dir_.Path() + QStringLiteral("/Larkspur Software/GIF Movinta.ini"), QSettings::IniFormat);
  EXPECT_TRUE(raw.childGroups().contains(QStringLiteral("Settings")));
  raw.beginGroup(QStringLiteral("Settings"));
  EXPECT_TRUE(raw.childGroups().contains(QStringLiteral("Toolbars")));
  raw.beginGroup(QStringLiteral("Toolbars"));
  EXPECT_TRUE(raw.childGroups().contains(QStringLiteral("Standard")));
  raw.endGroup();
  raw.endGroup();
  EXPECT_EQ(raw.value(QStringLiteral("Settings/Toolbars/Standard/Left")).toInt(), 42);
  EXPECT_EQ(raw.value(QStringLiteral("FormPos/Main/WindowState")).toString(), QStringLiteral("Normal"));
}

TEST_F(SettingsTest, MissingOrMalformedValuesYieldTheirDefaultsAndStringsCarryNoTerminator) {
  SettingsStore store;
  EXPECT_EQ(store.readInt(QStringLiteral("Settings"), QStringLiteral("Nothing"), 7), 7);
  store.writeString(QStringLiteral("Settings"), QStringLiteral("NotANumber"), QStringLiteral("abc"));
  EXPECT_EQ(store.readInt(QStringLiteral("Settings"), QStringLiteral("NotANumber"), 9), 9);
  EXPECT_EQ(store.readString(QStringLiteral("Settings"), QStringLiteral("Nothing"), QStringLiteral("d")),
            QStringLiteral("d"));
  WriteRegString(store, QStringLiteral("Settings"), QStringLiteral("InitialDir"), QStringLiteral("/home/u/Images"));
  EXPECT_EQ(ReadRegString(store, QStringLiteral("Settings"), QStringLiteral("InitialDir"), QString()),
            QStringLiteral("/home/u/Images"));
  store.flush();
  QFile file(store.fileName());
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray text = file.readAll();
  EXPECT_FALSE(text.contains('\0'));
  EXPECT_FALSE(text.contains("\\0"));
}

TEST_F(SettingsTest, FirstStartYieldsEveryDefault) {
  SettingsStore store;
  const MainWindowSettings v = LoadSettings(store, Current(), programFolder_);
  EXPECT_EQ(v.State, WindowShow::Normal);
  EXPECT_EQ(v.Top, 11);
  EXPECT_EQ(v.Left, 12);
  EXPECT_EQ(v.Height, 300);
  EXPECT_EQ(v.Width, 400);
  EXPECT_TRUE(v.InspectorVisible);
  EXPECT_FALSE(v.InspectorHiddenOnce);
  EXPECT_EQ(v.FrameSize, 160);
  EXPECT_EQ(v.FrameWindowHeight, 190);
  EXPECT_EQ(v.InitialDir, QStringLiteral("/opt/movinta/Images"));
  EXPECT_EQ(v.DefaultDelay, 100);
  EXPECT_EQ(v.DefaultNSLoop, 0);
  EXPECT_FALSE(v.SyncOpenDialog);
  EXPECT_FALSE(v.NoOpenDlgPreview);
  EXPECT_EQ(v.FrameTransparentColor, 0xFFFFFFu);
  EXPECT_EQ(v.DisplayAnimation, 1);
  EXPECT_EQ(v.Warnings, 0);
  EXPECT_EQ(v.ThumbDirectory, QStringLiteral("/opt/movinta/Images"));
  EXPECT_EQ(v.FilterType, 19);
  EXPECT_EQ(v.ThumbnailSize, 96);
  EXPECT_FALSE(v.NormalStyle);
  EXPECT_EQ(v.Toolbars[1].Left, 3);
  EXPECT_FALSE(v.Toolbars[1].Visible);
  EXPECT_TRUE(v.RecentFiles.isEmpty());
  EXPECT_TRUE(v.Favorites.isEmpty());

  // LoadSettings writes nothing but what it must; the one-shot values stay absent until set.
  for (const char* name : {"MaxUndo", "ClipDefault", "ClipFrame", "AutoLoadStartUp", "WelcomeDialog",
                           "DropImageDefault", "PaletteType", "PaletteDefaults", "FrameSize"})
    EXPECT_FALSE(store.valueExists(QStringLiteral("Settings"), QString::fromLatin1(name))) << name;

  SettingsRecord record;
  TakeIntoRecord(v, record);
  EXPECT_EQ(record.DefaultDelay, 100);
  EXPECT_EQ(record.DefaultNSLoop, 0);
  EXPECT_EQ(record.FrameSize, 160);
  EXPECT_EQ(record.FilterType, 19);
  EXPECT_EQ(ControlBarRowSize(!v.NormalStyle), 26);
}

TEST_F(SettingsTest, ExitValuesRoundTrip) {
  MainWindowSettings v = Current();
  v.Top = 21;
  v.Left = 22;
  v.Height = 500;
  v.Width = 700;
  v.FrameSize = 112;
  v.InitialDir = QStringLiteral("/data/anims");
  v.DefaultDelay = 7;
  v.DefaultNSLoop = 3;
  v.ThumbDirectory = QStringLiteral("/data/thumbs");
  v.FilterType = 4;
  v.ThumbnailSize = 128;
  v.NormalStyle = true;
  v.Toolbars = {ToolbarPlacement{10, 0, true}, ToolbarPlacement{20, 26, false}, ToolbarPlacement{30, 52, true}};
  v.RecentFiles = {QStringLiteral("/a/one.gif"), QStringLiteral("/b/two words.gif")};
  v.Favorites = {QStringLiteral("/fav")};
  {
    SettingsStore store;
    SaveSettings(store, v, programFolder_);
  }
  SettingsStore store;
  const MainWindowSettings back = LoadSettings(store, Current(), programFolder_);
  EXPECT_EQ(back.Top, 21);
  EXPECT_EQ(back.Left, 22);
  EXPECT_EQ(back.Height, 500);
  EXPECT_EQ(back.Width, 700);
  EXPECT_EQ(back.FrameSize, 112);
  EXPECT_EQ(back.InitialDir, v.InitialDir);
  EXPECT_EQ(back.DefaultDelay, 7);
  EXPECT_EQ(back.DefaultNSLoop, 3);
  EXPECT_EQ(back.ThumbDirectory, v.ThumbDirectory);
  EXPECT_EQ(back.FilterType, 4);
  EXPECT_EQ(back.ThumbnailSize, 128);
  EXPECT_TRUE(back.NormalStyle);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(back.Toolbars[i].Left, v.Toolbars[i].Left);
    EXPECT_EQ(back.Toolbars[i].Top, v.Toolbars[i].Top);
    EXPECT_EQ(back.Toolbars[i].Visible, v.Toolbars[i].Visible);
  }
  EXPECT_EQ(back.RecentFiles, v.RecentFiles);
  EXPECT_EQ(back.Favorites, v.Favorites);
  EXPECT_EQ(store.readString(QStringLiteral("Settings"), QStringLiteral("InstallDir"), QString()),
            QStringLiteral("/opt/movinta/"));
  EXPECT_EQ(store.readInt(QStringLiteral("Settings"), QStringLiteral("ClipFrame"), -1), 1);
  EXPECT_EQ(store.readInt(QStringLiteral("Settings"), QStringLiteral("ClipDefault"), -1), 0);

  // Fewer recent files and no favourites replace the old lists.
  v.RecentFiles = {QStringLiteral("/c/three.gif")};
  v.Favorites.clear();
  SaveSettings(store, v, programFolder_);
  const MainWindowSettings again = LoadSettings(store, Current(), programFolder_);
  EXPECT_EQ(again.RecentFiles, v.RecentFiles);
  EXPECT_TRUE(again.Favorites.isEmpty());
}

TEST_F(SettingsTest, MaximizedWindowLeavesBoundsUnreadAndMinimizedWritesNothing) {
  SettingsStore store;
  MainWindowSettings v = Current();
  v.State = WindowShow::Maximized;
  v.Top = 999;
  SaveSettings(store, v, programFolder_);
  EXPECT_FALSE(store.valueExists(QStringLiteral("FormPos\\Main"), QStringLiteral("Top")));
  store.writeInt(QStringLiteral("FormPos\\Main"), QStringLiteral("Top"), 555);
  const MainWindowSettings back = LoadSettings(store, Current(), programFolder_);
  EXPECT_EQ(back.State, WindowShow::Maximized);
  EXPECT_EQ(back.Top, 11);

  v.State = WindowShow::Minimized;
  SaveSettings(store, v, programFolder_);
  EXPECT_EQ(store.readString(QStringLiteral("FormPos\\Main"), QStringLiteral("WindowState"), QString()),
            QStringLiteral("Maximized"));
}

TEST_F(SettingsTest, HideOnceHidesTheInspectorOnceAndIsWrittenBack) {
  SettingsStore store;
  store.writeInt(QStringLiteral("FormPos\\Inspector"), QStringLiteral("HideOnce"), 1);
  const MainWindowSettings first = LoadSettings(store, Current(), programFolder_);
  EXPECT_TRUE(first.InspectorHiddenOnce);
  EXPECT_FALSE(first.InspectorVisible);
  EXPECT_EQ(store.readInt(QStringLiteral("FormPos\\Inspector"), QStringLiteral("HideOnce"), -1), 0);
  const MainWindowSettings second = LoadSettings(store, Current(), programFolder_);
  EXPECT_FALSE(second.InspectorHiddenOnce);
  EXPECT_TRUE(second.InspectorVisible);
}

TEST_F(SettingsTest, ApplyOptionsWritesChangesAndKeepsUntouchedDefaults) {
  SettingsStore store;
  SettingsRecord record;
  OptionsChoice o;
  o.ClipDefault = false;  // same as the default: not written
  o.ClipFrame = false;
  o.Delay = 25;
  o.Loop = 4;
  o.MaxUndo = 20;
  o.Explorer = true;
  o.RegularButtons = true;
  o.DropDefault = true;
  o.FilterIndex = 18;
  o.ThumbSize = 144;
  o.TransColor = 0x00FF00;
  const OptionsOutcome out = ApplyOptions(store, o, record, /*toolbarsFlat=*/true, /*thumbnailSize=*/96);
  const QString s = QStringLiteral("Settings");
  EXPECT_FALSE(store.valueExists(s, QStringLiteral("ClipDefault")));
  EXPECT_EQ(store.readInt(s, QStringLiteral("ClipFrame"), -1), 0);
  EXPECT_EQ(store.readInt(s, QStringLiteral("DefaultDelay"), -1), 25);
  EXPECT_EQ(store.readInt(s, QStringLiteral("DefaultNSLoop"), -1), 4);
  EXPECT_EQ(store.readInt(s, QStringLiteral("MaxUndo"), -1), 20);
  EXPECT_FALSE(store.valueExists(s, QStringLiteral("DisplayAnimation")));
  EXPECT_FALSE(store.valueExists(s, QStringLiteral("AutoLoadStartUp")));
  EXPECT_EQ(store.readInt(s, QStringLiteral("SyncOpenDialog"), -1), 1);
  EXPECT_FALSE(store.valueExists(s, QStringLiteral("NoOpenDlgPreview")));
  EXPECT_FALSE(store.valueExists(s, QStringLiteral("DropImageDefault")))
      << "a stored 0 (or none) is never rewritten by the options dialog";
  EXPECT_EQ(store.readInt(QStringLiteral("ThumbNails"), QStringLiteral("FilterType"), -1), 19);
  EXPECT_EQ(store.readInt(QStringLiteral("ThumbNails"), QStringLiteral("ThumbailSize"), -1), 144);
  EXPECT_EQ(store.readInt(s, QStringLiteral("FrameTransparentColor"), -1), 0x00FF00);
  EXPECT_EQ(store.readInt(QStringLiteral("Settings\\Toolbars"), QStringLiteral("NormalStyle"), -1), 1);
  EXPECT_EQ(record.DefaultDelay, 25);
  EXPECT_EQ(record.DefaultNSLoop, 4);
  EXPECT_TRUE(record.SyncOpenDialog);
  EXPECT_EQ(record.FilterType, 19);
  EXPECT_EQ(record.FrameBackColor, 0x00FF00u);
  EXPECT_TRUE(out.ToolbarsChanged);
  EXPECT_FALSE(out.ToolbarsFlat);
  EXPECT_EQ(out.RowSize, 28);
  EXPECT_TRUE(out.ThumbnailsResized);
  EXPECT_EQ(FilterComboIndex(19), 18);
  EXPECT_EQ(FilterComboIndex(3), 3);

  store.writeInt(s, QStringLiteral("DropImageDefault"), 7);
  ApplyOptions(store, o, record, false, 144);
  EXPECT_EQ(store.readInt(s, QStringLiteral("DropImageDefault"), -1), 6);
}

TEST_F(SettingsTest, DropChoiceIsRememberedAndAnsweredWithoutAsking) {
  RecordingMessages messages;
  {
    SettingsStore store;
    RememberDropChoice(store, mrCancel);
    EXPECT_FALSE(store.valueExists(QStringLiteral("Settings"), QStringLiteral("DropImageDefault")));
  }
  messages.Answers = {mrNo};
  messages.CheckBox = true;
  auto remember = [](int result) {
    SettingsStore store;
    RememberDropChoice(store, result);
  };
  const QString name = QStringLiteral("DropImageDefault");
  EXPECT_EQ(ShowPromptWithDefault(QStringLiteral("Add?"), QStringLiteral("Make this the &default"), name, remember,
                                  kYesNoCancel, MessageType::Confirmation),
            mrNo);
  EXPECT_EQ(messages.LastCaptions, (QStringList{QStringLiteral("&Include"), QStringLiteral("&Start New")}));
  ASSERT_EQ(messages.Shown.size(), 1u);
  EXPECT_EQ(ShowPromptWithDefault(QStringLiteral("Add?"), QString(), name, remember, kYesNoCancel,
                                  MessageType::Confirmation),
            mrNo);
  EXPECT_EQ(messages.Shown.size(), 1u) << "a remembered answer asks nothing";
}

}  // namespace
}  // namespace movinta::editor
