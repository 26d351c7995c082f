// Rules of the palette editor and of palette edits on the working image: the swatch grid's hit
// test, mode texts, and deleting table entries without changing what any pixel shows.
#pragma once

#include "editor/model/working_image.h"

#include <QPoint>
#include <QString>

#include <array>

namespace movinta::editor {
class TMDIChild;
}

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

// RemapFrame for every frame drawn with the table: frameIndex's own table, or (-1) the global one.
void RemapTableUsers(gif::TGIFImage& image, int frameIndex, const IndexMap& map);

// Whether a pixel, or the transparent index of a transparent frame, drawn with the table of
// frameIndex (-1: the global table) points at the entry.
bool PaletteEntryUsed(gif::TGIFImage& image, int frameIndex, int index);
// Whether an entry of the table used by frameIndex (-1: the global table) is needed: some pixel or
// a transparent index of a frame drawn with the table points at it and no other entry repeats
// its colour.
bool PaletteEntryRequired(gif::TGIFImage& image, int frameIndex, int index);

// The map that deleting entry index from table gives: later entries move down one, and users of
// the deleted entry move to another entry of the same colour when there is one.
IndexMap MapAfterDelete(const gif::TGIFColorMap& table, int index);

// A working copy of a colour table being edited, remembering where each entry of the original
// table has gone, so that on applying the copy every pixel keeps its colour.
class PaletteEditSession {
public:
  // frameIndex -1 edits the global table, else that frame's active table.
  PaletteEditSession(gif::TGIFImage* image, int frameIndex);
  PaletteEditSession(const PaletteEditSession& other);
  PaletteEditSession& operator=(const PaletteEditSession&) = delete;

  TCmdColorMap& Copy() { return copy_; }
  const TCmdColorMap& Copy() const { return copy_; }
  int FrameIndex() const { return frameIndex_; }
  int Count() const { return copy_.GetCount(); }

  // Appends a colour; false at 256 entries.
  bool AddColor(gif::TColor color);
  void SetColor(int index, gif::TColor color);
  // Whether the entry may go without any pixel changing colour.
  bool CanDelete(int index) const;
  // Deletes the entry; false (nothing changed) when CanDelete does not hold.
  bool Delete(int index);
  bool DeletedAny() const { return deleted_; }
  // Original index to index in the copy (0 for entries that went and that nothing used).
  IndexMap Map() const;

private:
  gif::TGIFImage* image_;
  int frameIndex_;
  TCmdColorMap copy_;
  int originalCount_ = 0;
  std::array<int, 256> where_{};    // original index -> index in the copy, -1 gone
  std::array<int, 256> origin_{};   // index in the copy -> original index, -1 added here
  bool deleted_ = false;
};

// Applies an edited global table to the active document: a whole-animation undo entry when
// entries were deleted (a table undo cannot put pixels back), else a table one; the pixels of
// every frame drawn with the table follow the map. Sets the document modified. False (reported)
// when the undo entry cannot be recorded; nothing changes then.
bool ApplyGlobalPaletteEdit(TMDIChild& document, gif::TGIFImage& image, const PaletteEditSession& session,
                            const QString& caption);

}  // namespace movinta::editor::forms
