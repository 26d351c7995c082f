// Rules of the frame inspector kept apart from its window: row kinds and hints, checking typed
// values, undo captions and kinds, the palette grid and drop-down geometry, the window's
// placement, and what the model's edits of the frame (editor/model/frame_values.h and
// palette_edits.h) come to for the window.
#pragma once

#include "editor/model/frame_values.h"
#include "editor/model/history.h"
#include "editor/model/registry.h"
#include "editor/model/working_image.h"

#include <QRect>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace movinta::editor {
class TMDIChild;
}

namespace movinta::editor::forms {

inline constexpr int kInspectorRowCount = 12;
enum InspectorRow {
  rowDimensions = 0, rowHeight, rowWidth, rowLeft, rowTop, rowDisplay, rowInterlaced, rowTransparent,
  rowLocalPalette, rowPlaying, rowDelay, rowDisposal
};
enum class RowKind { Header, ReadOnly, Number, YesNo, Disposal };

RowKind InspectorRowKind(int row);
QString InspectorRowCaption(int row);
QString InspectorRowHint(int row);
QString InspectorTabHint(int tab);
// A header row hands the selection to the row after it.
int SelectableRow(int row);
bool RowHasDropDown(int row);
QStringList DropDownItems(int row);

// The largest value a number row takes: offsets keep the frame inside 16-bit coordinates.
int NumberRowMaximum(int row, int frameWidth, int frameHeight);

struct ValueCheck {
  bool Ok = false;
  QString Value;    // the text to store: "Yes"/"No", the disposal's own name, the number
  QString Message;  // why it was refused
};
ValueCheck CheckInspectorValue(int row, const QString& text, int frameWidth, int frameHeight);

QString InspectorUndoCaption(int row, const QString& value);
struct UndoKind {
  TUndoKind Kind = TUndoKind::Frame;
  TUndoOperation Operation = TUndoOperation::Changed;
};
UndoKind InspectorUndoKind(int row, const QString& value);

// Cells of the palette grid for a table of count colours (0: one cell for "No Local Palette").
struct PaletteGridLayout {
  int Rows = 1, Columns = 1, ColumnWidth = 0, RowHeight = 0;
};
PaletteGridLayout LayoutPaletteGrid(int count, int clientWidth, int clientHeight);
// The entry a cell shows, -1 for cells beyond the table.
int PaletteCellIndex(const PaletteGridLayout& layout, int column, int row, int count);
QString ColorLabelText(int count, gif::TColor color);

// The drop-down list over a value cell; cellTop is in the window's coordinates.
QRect PlaceDropDown(int cellLeft, int cellTop, int valueColumnWidth, int rowHeight, int items,
                    int gridClientHeight);

// "FormPos\Inspector": defaults place it beside the main window's right edge.
QRect LoadInspectorPlacement(const SettingsStore& store, const QRect& mainWindow);
void SaveInspectorPlacement(SettingsStore& store, const QRect& geometry, bool visible);

// ---- Edits of the selected frame

struct InspectorEdit {
  EditOutcome Outcome = EditOutcome::Unchanged;
  bool ReloadNeeded = false;  // a local table was just made
  bool ShowFrameAgain = false;
  QString Message;            // for a refusal
};

// The cell text of a row for the frame (rows 10 and 11 as the inspector shows them).
QString InspectorValueText(gif::TGIFSubImage& frame, int row);

// Applies a checked value (CheckInspectorValue's Value) of a row to the frame (ChangeFrameValue).
InspectorEdit ApplyInspectorValue(TMDIChild& document, gif::TGIFImage& image, int frameIndex, int row,
                                  const QString& value);

// Local palette tab (AddLocalTable and palette_edits.h's local table edits).
InspectorEdit AddLocalPalette(TMDIChild& document, gif::TGIFImage& image, int frameIndex);
InspectorEdit AddLocalColor(TMDIChild& document, gif::TGIFImage& image, int frameIndex, gif::TColor color);
InspectorEdit ChangeLocalColor(TMDIChild& document, gif::TGIFImage& image, int frameIndex, int index,
                               gif::TColor color);
InspectorEdit DeleteLocalColor(TMDIChild& document, gif::TGIFImage& image, int frameIndex, int index);

// Comments of the animation, frame by frame, as the comments tab lists them (the comments are
// added, changed and removed by frame_values.h).
struct CommentItem {
  QString Caption;
  int Frame = 0;
  int Extension = 0;
  QString Text;
};
std::vector<CommentItem> ListComments(gif::TGIFImage& image);

}  // namespace movinta::editor::forms
