#include "editor/model/undo_records.h"

#include "editor/model/document.h"
#include "editor/model/undo_captions.h"

namespace movinta::editor {

void RecordAnimationChange(TMDIChild& document, int frameIndex, const QString& caption) {
  document.AddUndoEntry(TUndoKind::Animation, TUndoOperation::Replaced, -1, -1, frameIndex, caption);
}

void RecordFrameAdded(TMDIChild& document, int frameIndex, const QString& caption) {
  document.AddUndoEntry(TUndoKind::Frame, TUndoOperation::Added, -1, -1, frameIndex, caption);
}

void RecordFrameRemoved(TMDIChild& document, int frameIndex, const QString& caption) {
  document.AddUndoEntry(TUndoKind::Frame, TUndoOperation::Removed, -1, -1, frameIndex, caption);
}

void RecordFrameMoved(TMDIChild& document, int from, int to, const QString& caption) {
  // The entry moves the frame now at to back to from.
  document.AddUndoEntry(TUndoKind::Frame, TUndoOperation::Moved, -1, to, from, caption);
}

void RecordFrameChange(TMDIChild& document, int frameIndex, const QString& caption) {
  document.AddUndoEntry(TUndoKind::Frame, TUndoOperation::Changed, -1, -1, frameIndex, caption);
}

void RecordFrameControlChange(TMDIChild& document, int frameIndex, const QString& caption) {
  document.AddUndoEntry(TUndoKind::GraphicControl, TUndoOperation::Changed, -1, -1, frameIndex, caption);
}

void RecordFrameControlAdded(TMDIChild& document, int frameIndex, const QString& caption) {
  document.AddUndoEntry(TUndoKind::GraphicControl, TUndoOperation::Added, -1, -1, frameIndex, caption);
}

void RecordLoopAdded(TMDIChild& document, const QString& caption) {
  document.AddUndoEntry(TUndoKind::Loop, TUndoOperation::Added, -1, -1, 0, caption);
}

void RecordLoopChanged(TMDIChild& document, const QString& caption) {
  document.AddUndoEntry(TUndoKind::Loop, TUndoOperation::Changed, -1, -1, 0, caption);
}

void RecordLoopRemoved(TMDIChild& document, const QString& caption) {
  document.AddUndoEntry(TUndoKind::Loop, TUndoOperation::Removed, -1, -1, 0, caption);
}

void RecordLocalPaletteAdded(TMDIChild& document, int frameIndex, const QString& caption) {
  document.AddUndoEntry(TUndoKind::Palette, TUndoOperation::Added, -1, -1, frameIndex, caption);
}

void RecordLocalPaletteRemoved(TMDIChild& document, int frameIndex, const QString& caption) {
  document.AddUndoEntry(TUndoKind::Palette, TUndoOperation::Removed, -1, -1, frameIndex, caption);
}

void RecordGlobalPaletteChange(TMDIChild& document, const QString& caption) {
  document.AddUndoEntry(TUndoKind::Palette, TUndoOperation::Changed, -1, -1, -1, caption);
}

void RecordColorAdded(TMDIChild& document, int frameIndex, int index, gif::TColor color, const QString& caption) {
  document.AddUndoEntry(TUndoKind::Palette, TUndoOperation::ColorAdded, index, static_cast<int>(color), frameIndex,
                        caption);
}

void RecordColorChanged(TMDIChild& document, int frameIndex, int index, gif::TColor oldColor, const QString& caption) {
  document.AddUndoEntry(TUndoKind::Palette, TUndoOperation::ColorChanged, index, static_cast<int>(oldColor), frameIndex,
                        caption);
}

void RecordCommentAdded(TMDIChild& document, int frameIndex, int extension) {
  document.AddUndoEntry(TUndoKind::Comment, TUndoOperation::Added, -1, extension, frameIndex,
                        undo_captions::Caption(undo_captions::kAddGifComment));
}

void RecordCommentChanged(TMDIChild& document, int frameIndex, int extension) {
  document.AddUndoEntry(TUndoKind::Comment, TUndoOperation::Changed, -1, extension, frameIndex,
                        undo_captions::Caption(undo_captions::kChangeGifComment));
}

void RecordCommentRemoved(TMDIChild& document, int frameIndex, int extension) {
  document.AddUndoEntry(TUndoKind::Comment, TUndoOperation::Removed, -1, extension, frameIndex,
                        undo_captions::Caption(undo_captions::kDeleteGifComment));
}

}  // namespace movinta::editor
