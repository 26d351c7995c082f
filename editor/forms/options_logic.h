// The rules of the options dialog without its window: the values its pages show and where they
// are stored, the palette page's own store, the favourites list and its buttons, the question of
// the GIF warnings switch and the about page's text.
#pragma once

#include "editor/forms/prompts_logic.h"
#include "editor/model/registry.h"
#include "editor/model/settings.h"

#include <QString>
#include <QStringList>

#include <cstdint>

namespace movinta::editor::forms {

// Everything the pages show, as loaded from the store and as the user leaves it.
struct OptionsValues {
  // Program page.
  FrameSizeSettings FrameSize;      // "ClipFrame" (trim the frame, else change the animation), "ClipDefault"
  bool DisplayAnimation = true;     // "DisplayAnimation"
  int DefaultDelay = 100;           // "DefaultDelay"
  int DefaultNSLoop = 0;            // "DefaultNSLoop"
  bool RegularButtons = false;      // "\Toolbars" "NormalStyle": regular, not flat, buttons
  bool AutoLoad = true;             // "AutoLoadStartUp"
  int ThumbSize = 100;              // "ThumbNails" "ThumbailSize"
  int MaxUndo = 50;                 // "MaxUndo"
  bool SyncOpenDialog = false;      // "SyncOpenDialog"
  bool NoOpenDlgPreview = false;    // "NoOpenDlgPreview"
  bool DropDefault = false;         // "DropImageDefault" is 6
  std::uint32_t TransColor = 0xFFFFFF;  // "FrameTransparentColor"
  // Palettes page, which the dialog stores itself (the values of the palette-defaults page).
  PaletteSettings Palette;
};

// Highest undo limit the up-down offers.
inline constexpr int kMaxUndoLimit = 999;
// The thumbnail sizes, in list order.
inline constexpr int kThumbSizes[] = {50, 75, 100, 125, 150, 200};

// Reads the values; the regular-buttons box is the opposite of the toolbars' current flat style,
// and the thumbnail size defaults to the current thumbnail height.
OptionsValues LoadOptions(const SettingsStore& store, bool toolbarsFlat, int thumbnailHeight);
// Writes the palette page: "PaletteDefaults" only when it changed from what was loaded.
void StorePaletteSettings(SettingsStore& store, const OptionsValues& loaded, const OptionsValues& values);
// What the main window stores of the other pages.
OptionsChoice ToOptionsChoice(const OptionsValues& values, int filterIndex);

// The favourites list with its selection (-1 none), as the page's buttons change it.
struct FavoritesList {
  QStringList Items;
  int Selected = -1;
  bool Changed = false;

  bool CanMoveUp() const { return Selected > 0; }
  bool CanMoveDown() const { return Selected >= 0 && Selected < Items.size() - 1; }
  bool CanRemove() const { return Selected >= 0 && Selected < Items.size(); }
  // Swaps the selected item with its neighbour (-1 up, +1 down) and selects the moved item.
  bool Move(int direction);
  // Puts a folder not yet listed (exact text) after the selected item, or last, and selects it;
  // false for a folder already listed or an empty name.
  bool Add(const QString& folder);
  // Deletes the selected item and selects the one before it (none before the first).
  bool Remove();
};

// The question of Shift+Alt+F7 while warnings are on (turning them off) or off.
QString WarningsQuestion(bool warningsOn);

// The about page's lines: the program's title with ".0.2", then the maker.
QString AboutText(const QString& applicationTitle);
// The maker's products page, below its web page.
QString MakerProductsPage();

}  // namespace movinta::editor::forms
