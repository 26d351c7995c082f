// One recording function per kind of change a document undoes: the frame commands, the document's
// own frame moves and deletions, the frame inspector, the palette editor, the wizards and automation
// ask for the entry of the change they are about to make, and the kind, operation and arguments the
// history needs are chosen here. Each raises what the history
// raises when the entry cannot be made (a snapshot that cannot be written); the change must then not
// be made.
#pragma once

#include "gif/gifimage.h"

#include <QString>

namespace movinta::editor {

class TMDIChild;

// Anything over the whole animation, kept as a snapshot; frameIndex is the frame to show after undo.
void RecordAnimationChange(TMDIChild& document, int frameIndex, const QString& caption);
// A frame put into the list at frameIndex, about to be taken out of it, or moved from one place to another.
void RecordFrameAdded(TMDIChild& document, int frameIndex, const QString& caption);
void RecordFrameRemoved(TMDIChild& document, int frameIndex, const QString& caption);
void RecordFrameMoved(TMDIChild& document, int from, int to, const QString& caption);
// A frame's offsets or interlacing.
void RecordFrameChange(TMDIChild& document, int frameIndex, const QString& caption);
// A frame's delay, disposal or transparency, in the control block it has or in one the change adds.
void RecordFrameControlChange(TMDIChild& document, int frameIndex, const QString& caption);
void RecordFrameControlAdded(TMDIChild& document, int frameIndex, const QString& caption);
// The loop block the first frame carries: one the change adds, a count it changes, or the block it removes.
void RecordLoopAdded(TMDIChild& document, const QString& caption);
void RecordLoopChanged(TMDIChild& document, const QString& caption);
void RecordLoopRemoved(TMDIChild& document, const QString& caption);
// A frame's local colour table: given one that is a copy of the global table, or losing it while its
// entries stand where the global table has them.
void RecordLocalPaletteAdded(TMDIChild& document, int frameIndex, const QString& caption);
void RecordLocalPaletteRemoved(TMDIChild& document, int frameIndex, const QString& caption);
// The global colour table's entries changed in place.
void RecordGlobalPaletteChange(TMDIChild& document, const QString& caption);
// One entry of a frame's local table: appended at index, or changed from oldColor.
void RecordColorAdded(TMDIChild& document, int frameIndex, int index, gif::TColor color, const QString& caption);
void RecordColorChanged(TMDIChild& document, int frameIndex, int index, gif::TColor oldColor, const QString& caption);
// The comment extension at index among the frame's extensions: recorded after it was added, before it
// changes or goes.
void RecordCommentAdded(TMDIChild& document, int frameIndex, int extension);
void RecordCommentChanged(TMDIChild& document, int frameIndex, int extension);
void RecordCommentRemoved(TMDIChild& document, int frameIndex, int extension);

}  // namespace movinta::editor
