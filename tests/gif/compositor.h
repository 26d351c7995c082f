// The frames the conformance suite and the peers expect: the library's
// compositor on a transparent screen, grouped into output frames the way the
// suite counts them.
#pragma once

#include <cstdint>
#include <vector>

#include "gif/gifimage.h"
#include "gif/render/compositor.h"

namespace giftest {

using namespace gif;

struct Frame {
  std::vector<std::uint8_t> rgba;
  int delay = 0;
};

// An output frame ends after an image with a delay, or after every image when
// the case forces animation. Pixels no image covers are transparent black.
inline std::vector<Frame> Composite(TGIFImage& image, bool forceAnimation) {
  TGIFCompositor screen(image, 0x000000, PixelFormat::pf32bit);
  auto rgba = [&](const Bitmap& b) {
    std::vector<std::uint8_t> out(static_cast<std::size_t>(b.Width()) * b.Height() * 4);
    std::uint8_t* d = out.data();
    for (int y = 0; y < b.Height(); ++y) {
      const std::uint8_t* s = b.Scanline(y);
      for (int x = 0; x < b.Width(); ++x, s += 4, d += 4) d[0] = s[2], d[1] = s[1], d[2] = s[0], d[3] = s[3];
    }
    return out;
  };
  std::vector<int> drawn;
  for (int i = 0; i < image.Images().GetCount(); ++i)
    if (!image.Images().GetFrame(i)->IsEmpty()) drawn.push_back(i);
  std::vector<Frame> frames;
  for (std::size_t n = 0; n < drawn.size(); ++n) {
    const TGIFGraphicControlExtension* gce = image.Images().GetFrame(drawn[n])->GraphicControlExtension();
    const int delay = gce ? gce->GetDelay() : 0;
    if (forceAnimation || delay > 0 || n + 1 == drawn.size())
      frames.push_back(Frame{rgba(screen.Render(drawn[n])), delay});
  }
  // Without any image the screen itself is the one picture.
  if (frames.empty()) {
    Bitmap bare(image.GetWidth(), image.GetHeight(), PixelFormat::pf32bit);
    frames.push_back(Frame{rgba(bare), 0});
  }
  return frames;
}

}  // namespace giftest
