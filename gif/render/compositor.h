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
//
// A compositor of several screens draws each picture on the next screen in
// turn, so that a picture stays readable (by another thread, say) while the
// following ones are drawn: a screen is brought up to date by copying only
// the rows' spans that changed since it last showed a picture.
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
  // screens (at least 1) is how many pictures stay valid at once, see Render.
  explicit TGIFCompositor(TGIFImage& image, TColor backdrop = 0xFFFFFF, PixelFormat format = PixelFormat::pf24bit,
                          int screens = 1);

  // Frame k (0 .. frame count - 1) as shown: frames 0 .. k-1 drawn and
  // disposed of in order, then frame k drawn. An empty frame draws nothing,
  // so its picture is the screen as the frames before it left it. The bitmap
  // stays valid and unchanged until Reset or, of the calls that render
  // another frame than the one shown, the screens-th after this one (the
  // next one for a single screen); rendering the frame shown again returns
  // the same bitmap. A k out of range raises the frame list's
  // std::out_of_range.
  const Bitmap& Render(int k);

  // Back to the bare backdrop; the next Render replays from frame 0.
  void Reset();

  int Width() const { return screen().Width(); }
  int Height() const { return screen().Height(); }

private:
  // Rows a screen lacks against the current one: per row the span of
  // columns [left, right) that changed since it was current, within rows
  // [top, bottom).
  struct Stale {
    std::vector<int> Left, Right;
    int Top = 0, Bottom = 0;
  };

  Bitmap& screen() { return screens_[current_]; }
  const Bitmap& screen() const { return screens_[current_]; }
  void NextScreen();
  void Changed(const TRect& area);
  void Step(int index);
  void Dispose();
  void Fill(const TRect& area);

  TGIFImage& image_;
  TColor backdrop_;
  std::vector<Bitmap> screens_;
  std::vector<Stale> stale_;  // one per screen where there are several; the current one's is empty
  std::size_t current_ = 0;
  int shown_ = -1;  // the frame the screen shows, -1 for the bare backdrop
  // What the shown frame asks to be done before the next one is drawn.
  int pendingDisposal_ = dmNoDisposal;
  TRect pendingArea_;
  std::vector<std::uint8_t> saved_;  // the area under a disposal-3 frame
};

}  // namespace gif
