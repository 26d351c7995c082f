// Rules of the palette editor kept apart from its window: the swatch grid's hit test, mode texts,
// colour components, and applying an edited global table (the edits themselves are the model's,
// in editor/model/palette_edits.h).
#pragma once

#include "editor/model/palette_edits.h"

#include <QPoint>
#include <QString>

namespace movinta::editor::forms {

// The dialog's modes: edit the global table, pick a frame's transparent colour, enter one colour.
enum class PaletteMode { Global = 0, Transparent = 1, ColorValue = 2 };

QString PaletteCaption(PaletteMode mode);
QString PaletteLabel(PaletteMode mode);

inline constexpr int kSwatchColumns = 16;
inline constexpr int kSwatchSize = 15;

// The swatch under a point of the swatch box, or -1: only the 16 columns and the entries in use.
int SwatchIndexAt(int x, int y, int count);
// Top-left of the selection square for an entry; (-1, -1) for a negative index.
QPoint SwatchPosition(int index);

// 0x00BBGGRR from the three components, and back.
inline gif::TColor MakeColor(int red, int green, int blue) {
  return static_cast<gif::TColor>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}
inline int RedOf(gif::TColor c) { return static_cast<int>(c & 0xFF); }
inline int GreenOf(gif::TColor c) { return static_cast<int>((c >> 8) & 0xFF); }
inline int BlueOf(gif::TColor c) { return static_cast<int>((c >> 16) & 0xFF); }

// Applies an edited global table to the active document (ApplyGlobalTableEdit); false, with the
// reason shown, when its undo entry cannot be recorded and nothing changed.
bool ApplyGlobalPaletteEdit(TMDIChild& document, gif::TGIFImage& image, const PaletteEditSession& session,
                            const QString& caption);

}  // namespace movinta::editor::forms
