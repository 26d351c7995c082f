// Renders the frames of an animation as a player shows them at their own size:
// each frame drawn at its offset on the logical screen over what the frames
// before it left, transparent pixels letting the screen through, and each
// frame's disposal applied before the next one is drawn (2: its area back to
// the backdrop, 3: its area back to what lay there before it; 0, 1 and the
// reserved 4 to 7 leave it in place). Pixels outside the screen are clipped.
//
// Exports (SWF, AVI, image files) take their pictures from here, and so do
// the tests that compare our frames with what other decoders show.
//
//   gif::TGIFCompositor screen(image, 0xFFFFFF);   // white backdrop, 24 bits
//   for (int k = 0; k < image.Images().GetCount(); ++k) Use(screen.Render(k));
//
// Rendering frames in order costs one frame's area each; going back replays
// from frame 0. The compositor reads the image on every call and keeps no
// pointer into it between calls beyond the image itself: change the image,
// then call Reset before rendering again.
#pragma once

#include <cstdint>
#include <vector>

#include "gif/color/bitmap.h"
#include "gif/gifimage.h"

namespace gif {

class TGIFCompositor {
public:
  // A screen of the image's logical size (no pixels for a size of 0).
  // backdrop (0x00BBGGRR) is what shows where no frame has drawn, through
  // transparent pixels, and where disposal 2 restores the background.
  // format pf24bit gives blue, green, red bytes; pf32bit adds alpha, 0 for
  // backdrop pixels and 255 for drawn ones (a screen that is itself
  // transparent). Other formats raise GIFException.
  explicit TGIFCompositor(TGIFImage& image, TColor backdrop = 0xFFFFFF, PixelFormat format = PixelFormat::pf24bit);

  // Frame k (0 .. frame count - 1) as shown: frames 0 .. k-1 drawn and
  // disposed of in order, then frame k drawn. An empty frame draws nothing,
  // so its picture is the screen as the frames before it left it. The bitmap
  // stays valid and unchanged until the next Render or Reset. A k out of
  // range raises the frame list's std::out_of_range.
  const Bitmap& Render(int k);

  // Back to the bare backdrop; the next Render replays from frame 0.
  void Reset();

  int Width() const { return screen_.Width(); }
  int Height() const { return screen_.Height(); }

private:
  void Step(int index);
  void Dispose();
  void Fill(const TRect& area);

  TGIFImage& image_;
  TColor backdrop_;
  Bitmap screen_;
  int shown_ = -1;  // the frame the screen shows, -1 for the bare backdrop
  // What the shown frame asks to be done before the next one is drawn.
  int pendingDisposal_ = dmNoDisposal;
  TRect pendingArea_;
  std::vector<std::uint8_t> saved_;  // the area under a disposal-3 frame
};

}  // namespace gif
