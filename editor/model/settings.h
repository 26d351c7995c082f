// The program-wide settings record and the main window's values in the settings store: what is
// read at creation, written at exit, and changed by the options dialog.
#pragma once

#include "editor/model/registry.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

namespace movinta::editor {

// Settings that several units read.
struct SettingsRecord {
  std::uint16_t DefaultDelay = 100;
  std::uint16_t DefaultNSLoop = 0;
  bool SyncOpenDialog = false;
  bool NoOpenDlgPreview = false;
  std::uint8_t FrameSize = 160;
  std::uint8_t FilterType = 19;
  std::uint32_t FrameBackColor = 0xFFFFFF;  // 0x00BBGGRR
  QString ThumbDirectory;
};

SettingsRecord& Settings();

namespace sections {
inline constexpr const char* kSettings = "Settings";
inline constexpr const char* kToolbars = "Settings\\Toolbars";
inline constexpr const char* kMRU = "Settings\\MRU";
inline constexpr const char* kThumbNails = "ThumbNails";
inline constexpr const char* kFavorites = "ThumbNails\\Favorites";
inline constexpr const char* kFormMain = "FormPos\\Main";
inline constexpr const char* kFormInspector = "FormPos\\Inspector";
inline constexpr const char* kFormOpenDialog = "FormPos\\OpenDialog";
}  // namespace sections

// Placement of one toolbar; its section follows its tag (0 "\Standard", 1 "\Frame", 2 "\Animation").
struct ToolbarPlacement {
  int Left = 0;
  int Top = 0;
  bool Visible = true;
};
QString ToolbarSection(int tag);  // empty for tags other than 0..2

enum class WindowShow { Normal, Maximized, Minimized };

// Values the main window holds; the "current" ones are what the window has before they are read.
struct MainWindowSettings {
  WindowShow State = WindowShow::Normal;
  int Top = 0, Left = 0, Height = 0, Width = 0;
  bool InspectorVisible = true;
  bool InspectorHiddenOnce = false;  // HideOnce was 1: the main form's Tag becomes 1
  int FrameSize = 160;
  int FrameWindowHeight = 0;
  QString InitialDir;
  int DefaultDelay = 100;
  int DefaultNSLoop = 0;
  bool SyncOpenDialog = false;
  bool NoOpenDlgPreview = false;
  std::uint32_t FrameTransparentColor = 0xFFFFFF;
  int DisplayAnimation = 1;
  int Warnings = 0;
  QString ThumbDirectory;
  int FilterType = 19;
  int ThumbnailSize = 0;
  bool NormalStyle = false;  // regular (not flat) toolbar buttons
  std::array<ToolbarPlacement, 3> Toolbars{};
  QStringList RecentFiles;  // up to 10
  QStringList Favorites;
};

// Reads the creation-time values; `current` supplies the defaults that are the window's own.
// A stored HideOnce of 1 is written back as 0.
MainWindowSettings LoadSettings(SettingsStore& store, const MainWindowSettings& current,
                                const QString& programFolder);
// Writes the exit-time values in their order.
void SaveSettings(SettingsStore& store, const MainWindowSettings& values, const QString& programFolder);
// Writes the favourite folders ("MRU0", "MRU1", ...) in place of the stored ones.
void StoreFavorites(SettingsStore& store, const QStringList& favorites);
// Puts the values several units share into the settings record.
void TakeIntoRecord(const MainWindowSettings& values, SettingsRecord& record);

int ControlBarRowSize(bool flat);

// What the options dialog hands back when it closes with OK.
struct OptionsChoice {
  bool ClipDefault = false;   // chkDefault
  bool ClipFrame = true;      // optClip
  int Delay = 100;            // txtDelay
  int Loop = 0;               // txtLoop
  int MaxUndo = 50;           // udMaxUndo
  bool Animation = true;      // chkAnimation
  bool Explorer = false;      // chkExplorer
  bool NoOpenPreview = false; // chkNoOpenPreview
  bool RegularButtons = false;// chkFlatTB (checked: regular buttons)
  bool AutoLoad = true;       // chkAutoLoad
  bool DropDefault = false;   // chkDropDefault
  int FilterIndex = 18;       // cbFileFilters
  int ThumbSize = 0;          // cbThumbSize
  std::uint32_t TransColor = 0xFFFFFF;  // cbTransColor
};

struct OptionsOutcome {
  bool ToolbarsChanged = false;
  bool ToolbarsFlat = true;
  int RowSize = 26;
  bool ThumbnailsResized = false;
  int ThumbnailSize = 0;
  bool ReadPaletteDefaults = true;
};

// Stores the options and takes them into the record; toolbarsFlat and thumbnailSize are the
// window's current state.
OptionsOutcome ApplyOptions(SettingsStore& store, const OptionsChoice& options, SettingsRecord& record,
                            bool toolbarsFlat, int thumbnailSize);

// Remembers the drop question's answer (6 add to the animation, 7 start a new one); Cancel is not kept.
void RememberDropChoice(SettingsStore& store, int result);

// Index of the filter combo for a stored filter type, and back.
int FilterComboIndex(int filterType);

}  // namespace movinta::editor
