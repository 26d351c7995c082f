// A compositor of the tests' own, apart from the library: it paints frames
// onto a transparent RGBA screen as a browser would, so tests can compare what
// our reader holds with what peers and the conformance suite show.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "gif/gifimage.h"

namespace giftest {

using namespace gif;

struct Frame {
  std::vector<std::uint8_t> rgba;
  int delay = 0;
};

// Composites the images onto a transparent screen. An output frame ends after
// an image with a delay, or after every image when the case forces animation.
inline std::vector<Frame> Composite(TGIFImage& image, bool forceAnimation) {
  const int w = image.GetWidth(), h = image.GetHeight();
  std::vector<std::uint8_t> screen(static_cast<std::size_t>(w) * h * 4, 0);
  std::vector<Frame> frames;
  std::vector<int> drawn;
  for (int i = 0; i < image.Images().GetCount(); ++i)
    if (!image.Images().GetFrame(i)->IsEmpty()) drawn.push_back(i);
  for (std::size_t n = 0; n < drawn.size(); ++n) {
    TGIFSubImage* f = image.Images().GetFrame(drawn[n]);
    TGIFGraphicControlExtension* gce = f->GraphicControlExtension();
    const int transparent = gce && gce->GetTransparent() ? gce->GetTransparentColorIndex() : -1;
    const TGIFColorMap& map = f->GetActiveColorMap();
    const std::vector<std::uint8_t> before = screen;
    for (int y = 0; y < f->GetHeight(); ++y) {
      const int sy = f->GetTop() + y;
      if (sy >= h) break;
      for (int x = 0; x < f->GetWidth(); ++x) {
        const int sx = f->GetLeft() + x;
        if (sx >= w) break;
        const int p = f->GetPixel(x, y);
        if (p == transparent) continue;
        const TGIFColor c = p < map.GetCount() ? map.Entry(p) : TGIFColor{};
        std::uint8_t* d = &screen[(static_cast<std::size_t>(sy) * w + sx) * 4];
        d[0] = c.Red, d[1] = c.Green, d[2] = c.Blue, d[3] = 255;
      }
    }
    const int delay = gce ? gce->GetDelay() : 0;
    if (forceAnimation || delay > 0 || n + 1 == drawn.size()) frames.push_back(Frame{screen, delay});
    const int disposal = gce ? gce->GetDisposal() : 0;
    if (disposal == dmBackground) {
      for (int y = f->GetTop(); y < std::min(h, f->GetTop() + f->GetHeight()); ++y)
        for (int x = f->GetLeft(); x < std::min(w, f->GetLeft() + f->GetWidth()); ++x)
          std::fill_n(&screen[(static_cast<std::size_t>(y) * w + x) * 4], 4, 0);
    } else if (disposal == dmPrevious) {
      screen = before;
    }
  }
  // Without any image the screen itself is the one picture.
  if (frames.empty()) frames.push_back(Frame{screen, 0});
  return frames;
}

}  // namespace giftest
