// Edits of a colour table's entries on the working image that change no pixel's colour: which
// entries are used or needed, where the pixels go when an entry is deleted, a working copy of a
// table being edited, and the edits of a frame's local table and of the global table, each
// recorded in the document's history before it is made. They report and never ask the user.
#pragma once

#include "editor/model/edit_result.h"
#include "editor/model/working_image.h"

#include <QString>

#include <array>

namespace movinta::editor {

class TMDIChild;

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

// Puts an edited global table in place: a whole-animation undo entry when entries were deleted (a
// table undo cannot put pixels back), else a table one; the pixels of every frame drawn with the
// table follow the map. Sets the document modified. Refused, changing nothing, when the undo entry
// cannot be recorded.
EditResult ApplyGlobalTableEdit(TMDIChild& document, gif::TGIFImage& image, const PaletteEditSession& session,
                                const QString& caption);

// Entries of frame frameIndex's local table (nothing without one): a colour appended (up to 256),
// an entry's colour changed, an entry deleted. Deleting is refused for an optimised table, a table
// of two entries and an entry the image needs; the later entries and the pixels on them move down.
EditResult AddLocalTableColor(TMDIChild& document, gif::TGIFImage& image, int frameIndex, gif::TColor color,
                              const QString& caption);
EditResult ChangeLocalTableColor(TMDIChild& document, gif::TGIFImage& image, int frameIndex, int index,
                                 gif::TColor color, const QString& caption);
EditResult DeleteLocalTableColor(TMDIChild& document, gif::TGIFImage& image, int frameIndex, int index,
                                 const QString& caption);

}  // namespace movinta::editor
