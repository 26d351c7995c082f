// Changes made to a whole animation at once rather than to a frame: its loop block put in order,
// the play count it says, and its size, with the nearest-pixel stretch the resize and the
// wizards' scaled pictures share; and the changes the animation commands make to the active
// animation with their undo entries (the global palette, the size, the global change, transparency,
// the order of the frames), given what the user chose.
#pragma once

#include "editor/model/edit_dialogs.h"
#include "editor/model/frame_properties.h"
#include "editor/model/working_image.h"
#include "gif/color/bitmap.h"

#include <QString>

#include <vector>

namespace movinta::editor {

// Puts a single loop block on frame 0 for plays (none for 1) and takes every other loop block away.
void NormalizeLoopBlock(TGIFImage& image, int plays);
// The play count the animation's loop blocks say, frame 0's first; 1 without any.
int AnimationPlays(TGIFImage& image);
// Stretches the whole animation to width x height (sides clamped to 10..1000 when outside
// 1..1000): every frame with its place on the screen, its colours, transparency and disposal.
// False when the size is unchanged.
bool ResizeAnimation(TGIFImage& image, int width, int height);
// The picture stretched to width x height (nearest pixel), as 24 bits.
gif::Bitmap StretchBitmap(const gif::Bitmap& source, int width, int height);

// Each of these changes the active animation under one undo entry and marks its document
// modified; false when the entry could not be made (then nothing changed).
// The global table's entries replaced by table's, every frame to be drawn again.
bool SetGlobalPalette(TFrameEditing& editing, const gif::TGIFColorMap& table, const QString& caption);
// ResizeAnimation under its undo entry.
bool ChangeAnimationSize(TFrameEditing& editing, int width, int height);
// The first frame (numbered from 1) whose colour table holds neither the colour nor room for it;
// 0 when every frame can take it. first and last bound the frames that will be given the colour.
int FrameWithoutRoomFor(TGIFImage& image, gif::TColor color, int first, int last);
// For each frame, where its pixels go on the global table when its local table is removed
// (identity for the others, and for all without removeLocal). False when a frame shows a colour
// the global table lacks.
bool MapLocalTablesToGlobal(TGIFImage& image, bool removeLocal, std::vector<IndexMap>& toGlobal);
// Every frame with a control block takes what choice says: delay (when delayOk), disposal, and the
// boxes the user touched, which remove or make as captions say; toGlobal as MapLocalTablesToGlobal
// made it.
bool ApplyGlobalChange(TFrameEditing& editing, const GlobalChangeCaptions& captions, const GlobalChangeChoice& choice,
                       bool delayOk, int delay, const std::vector<IndexMap>& toGlobal);
// Every frame transparent with background disposal, the first in color (the others keep their own
// transparent colour), and the screen's background color.
bool SetAnimationTransparent(TFrameEditing& editing, gif::TColor color);
// The frame at index transparent in the picked entry with background disposal (a control block
// added when it has none). False also when the frame already was: then only an added block stays.
bool SetFrameTransparentColor(TFrameEditing& editing, int index, const PickedColor& picked);
// The frames, or the selected range, in reverse order, the loop block set for plays.
bool ReverseFrameOrder(TFrameEditing& editing, int plays);

}  // namespace movinta::editor
