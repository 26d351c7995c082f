// Changes to one frame of the working image, each recorded in the document's history before it is
// made: the frame's offsets, interlacing, transparency, delay and disposal, its local colour table
// and its comments. They report what came of the change and never ask the user.
#pragma once

#include "editor/model/edit_result.h"
#include "gif/gifimage.h"

#include <QString>

namespace movinta::editor {

class TMDIChild;

// The largest left or top offset of a frame of that size: it must end inside 16-bit coordinates.
int MaxFrameLeft(int frameWidth);
int MaxFrameTop(int frameHeight);

enum class FrameValue { Left, Top, Interlaced, Transparent, LocalTable, Delay, Disposal };

// Sets one value of frame frameIndex: a number for the offsets and the delay, 0 or 1 for
// interlacing, transparency and having a local table, 0 to 3 for the disposal. A frame without a
// control block is given one first. Unchanged when the frame already has the value. A local table
// is added as AddLocalTable adds it; taking it away moves the pixels to where the global table
// holds their colours, and is refused when the global table lacks one of them.
EditResult ChangeFrameValue(TMDIChild& document, gif::TGIFImage& image, int frameIndex, FrameValue which,
                            int value, const QString& caption);

// Gives the frame a local table, a copy of the global one in its order so that every pixel shows
// what it showed. Refused without a global table.
EditResult AddLocalTable(TMDIChild& document, gif::TGIFImage& image, int frameIndex, const QString& caption);

// A comment's lines joined by line feeds.
QString CommentText(gif::TGIFCommentExtension& comment);
// Appends a comment to frame 0; its extension index, -1 without a frame.
int AddComment(TMDIChild& document, gif::TGIFImage& image, const QString& text);
// The comment extension at extension among the frame's extensions; false when there is none or
// (changing) it already says text.
bool ChangeComment(TMDIChild& document, gif::TGIFImage& image, int frameIndex, int extension, const QString& text);
bool RemoveComment(TMDIChild& document, gif::TGIFImage& image, int frameIndex, int extension);

}  // namespace movinta::editor
