// Small animations built in code, and a compositor of the tests' own that says
// what an animation shows over time: the screen after each frame (frames drawn
// onto a transparent screen, disposal 2 clearing to transparent, disposal 3
// restoring) with how long it stays, equal neighbours joined.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "gif/gifimage.h"

namespace giftest {

using namespace gif;

struct FrameSpec {
  int left = 0, top = 0, width = 1, height = 1;
  std::vector<std::uint8_t> pixels;
  std::vector<TColor> local;  // empty: the frame uses the global table
  bool gce = true;
  int delay = 10, disposal = 1, transparent = -1;
};

inline TGIFSubImage* AddFrame(TGIFImage& image, const FrameSpec& s) {
  auto* f = new TGIFSubImage(&image);
  for (TColor c : s.local) f->ColorMap().Add(c);
  f->SetBounds(s.left, s.top, s.width, s.height);
  for (std::size_t i = 0; i < s.pixels.size() && i < f->DataSize(); ++i) f->Data()[i] = s.pixels[i];
  image.Add(f);
  if (s.gce) {
    auto* g = new TGIFGraphicControlExtension(f);
    f->Extensions().Add(g);
    g->SetDelay(static_cast<std::uint16_t>(s.delay));
    g->SetDisposal(s.disposal);
    if (s.transparent >= 0) {
      g->SetTransparentColorIndex(s.transparent);
      g->SetTransparent(true);
    }
  }
  return f;
}

inline void MakeScreen(TGIFImage& image, int w, int h, std::initializer_list<TColor> global) {
  image.SetWidth(w);
  image.SetHeight(h);
  for (TColor c : global) image.GetGlobalColorMap().Add(c);
}

struct Shown {
  std::vector<std::uint32_t> rgba;  // 0xAABBGGRR per pixel, alpha 0 = nothing drawn
  int delay = 0;
  bool operator==(const Shown&) const = default;
};

// join = false keeps one entry per frame.
inline std::vector<Shown> Timeline(TGIFImage& image, bool join = true) {
  const int w = image.GetWidth(), h = image.GetHeight();
  std::vector<std::uint32_t> screen(static_cast<std::size_t>(w) * h, 0);
  std::vector<Shown> out;
  for (int i = 0; i < image.Images().GetCount(); ++i) {
    TGIFSubImage* f = image.Images().GetFrame(i);
    const TGIFGraphicControlExtension* g = f->GraphicControlExtension();
    const int delay = g ? g->GetDelay() : 0;
    const int disposal = g ? g->GetDisposal() : 0;
    const int t = g && g->GetTransparent() ? g->GetTransparentColorIndex() : -1;
    const std::vector<std::uint32_t> before = screen;
    if (!f->IsEmpty()) {
      TGIFColorMap& map = f->GetActiveColorMap();
      for (int y = 0; y < f->GetHeight(); ++y)
        for (int x = 0; x < f->GetWidth(); ++x) {
          const int sx = f->GetLeft() + x, sy = f->GetTop() + y;
          const int p = f->Data()[static_cast<std::size_t>(y) * f->GetWidth() + x];
          if (p == t || sx >= w || sy >= h) continue;
          const TGIFColor c = p < map.GetCount() ? map.Entry(p) : TGIFColor{};
          screen[static_cast<std::size_t>(sy) * w + sx] = 0xFF000000u | TGIFColorMap::RGBToColor(c);
        }
    }
    if (join && !out.empty() && out.back().rgba == screen)
      out.back().delay += delay;
    else
      out.push_back(Shown{screen, delay});
    if (disposal == dmBackground) {
      for (int y = f->GetTop(); y < std::min(h, f->GetTop() + f->GetHeight()); ++y)
        for (int x = f->GetLeft(); x < std::min(w, f->GetLeft() + f->GetWidth()); ++x)
          screen[static_cast<std::size_t>(y) * w + x] = 0;
    } else if (disposal == dmPrevious) {
      screen = before;
    }
  }
  return out;
}

}  // namespace giftest
