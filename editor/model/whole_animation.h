// Changes made to a whole animation at once rather than to a frame: its loop block put in order,
// the play count it says, and its size, with the nearest-pixel stretch the resize and the
// wizards' scaled pictures share.
#pragma once

#include "editor/model/working_image.h"
#include "gif/color/bitmap.h"

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

}  // namespace movinta::editor
