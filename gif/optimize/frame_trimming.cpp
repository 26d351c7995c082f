// The frame edits the optimiser builds on: cutting a transparent frame's transparent borders away,
// and making a frame's pixels transparent where they repeat the frame before it.
#include <algorithm>
#include <cstring>

#include "gif/gifimage.h"

namespace gif {

void TGIFSubImage::Crop() {
  if (!transparent_ || !gce_ || IsEmpty()) return;
  Materialize();
  const std::uint8_t t = gce_->GetTransparentColorIndex();
  const int w = width_, h = height_;
  auto opaque = [&](int x, int y) { return pixels_[static_cast<std::size_t>(y) * w + x] != t; };
  int first = -1, last = -1;
  for (int x = 0; x < w && first < 0; ++x)
    for (int y = 0; y < h; ++y)
      if (opaque(x, y)) {
        first = x;
        break;
      }
  if (first < 0) {
    Clear();
    return;
  }
  for (int x = w - 1; x >= first && last < 0; --x)
    for (int y = 0; y < h; ++y)
      if (opaque(x, y)) {
        last = x;
        break;
      }
  int top = -1, bottom = -1;
  for (int y = 0; y < h && top < 0; ++y)
    for (int x = first; x <= last; ++x)
      if (opaque(x, y)) {
        top = y;
        break;
      }
  for (int y = h - 1; y >= top && bottom < 0; --y)
    for (int x = first; x <= last; ++x)
      if (opaque(x, y)) {
        bottom = y;
        break;
      }
  const int nw = last - first + 1, nh = bottom - top + 1;
  if (nw == w && nh == h) return;
  PixelBytes cut(static_cast<std::size_t>(nw) * nh);
  for (int y = 0; y < nh; ++y)
    std::memcpy(cut.data() + static_cast<std::size_t>(y) * nw, pixels_.data() + static_cast<std::size_t>(y + top) * w + first,
                static_cast<std::size_t>(nw));
  left_ = static_cast<std::uint16_t>(left_ + first);
  top_ = static_cast<std::uint16_t>(top_ + top);
  width_ = static_cast<std::uint16_t>(nw);
  height_ = static_cast<std::uint16_t>(nh);
  pixels_ = std::move(cut);
  NewPixels();
  FreeBitmap();
}

void TGIFSubImage::Merge(TGIFSubImage* previous) {
  if (!previous || previous == this || IsEmpty() || previous->IsEmpty()) return;
  if (previous->gce_ && (previous->gce_->GetDisposal() == dmBackground || previous->gce_->GetDisposal() == dmPrevious))
    return;
  Materialize();
  previous->Materialize();
  TGIFImage* image = Image();
  TColor reference = 0x808080;
  if (image && image->Images().GetCount() > 0) {
    TGIFSubImage* first = image->Images().GetFrame(0);
    if (!first->IsEmpty() && first->GetWidth() > 1) {
      const Bitmap& bm = first->GetBitmap();
      reference = RgbToColor(bm.Colors()[bm.Scanline(first->GetHeight() - 1)[1]]);
    }
  }
  const TRect a = GetBoundsRect(), b = previous->GetBoundsRect();
  const TRect both{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
                   std::min(a.Bottom, b.Bottom)};
  if (both.IsEmpty()) return;

  const bool wasTransparent = transparent_ && gce_;
  TGIFColorMap& mine = GetActiveColorMap();
  TGIFColorMap& theirs = previous->GetActiveColorMap();
  if (!wasTransparent && !(mine.GetCount() >= 1 && mine.GetCount() <= 255)) return;
  const bool prevTransparent = previous->transparent_ && previous->gce_;
  const int prevIndex = prevTransparent ? previous->gce_->GetTransparentColorIndex() : -1;
  const bool sameTable = &mine == &theirs;
  auto rgbOf = [](TGIFColorMap& map, int index) {
    return index < map.GetCount() ? TGIFColorMap::RGBToColor(map.Entry(index)) : 0u;
  };

  // Which pixels repeat what lies below them.
  std::vector<std::uint8_t> repeats(pixels_.size(), 0);
  bool any = false;
  const int tindex = wasTransparent ? gce_->GetTransparentColorIndex() : -1;
  for (int y = both.Top; y < both.Bottom; ++y) {
    for (int x = both.Left; x < both.Right; ++x) {
      const std::size_t at = static_cast<std::size_t>(y - top_) * width_ + static_cast<std::size_t>(x - left_);
      const int p = pixels_[at];
      const int q = previous->pixels_[static_cast<std::size_t>(y - previous->top_) * previous->width_ +
                                      static_cast<std::size_t>(x - previous->left_)];
      if (p == tindex || q == prevIndex) continue;
      if ((sameTable && p == q) || rgbOf(mine, p) == rgbOf(theirs, q)) repeats[at] = any = true;
    }
  }
  if (!any) return;

  int index = tindex;
  if (index < 0) {
    // The transparent index must be one that no remaining pixel shows, or those
    // pixels would vanish too.
    std::array<bool, 256> used{};
    for (std::size_t i = 0; i < pixels_.size(); ++i)
      if (!repeats[i]) used[pixels_[i]] = true;
    const int preferred = mine.IndexOf(reference);
    if (preferred >= 0 && !used[static_cast<std::size_t>(preferred)]) {
      index = preferred;
    } else {
      for (int i = 0; i < mine.GetCount(); ++i)
        if (!used[static_cast<std::size_t>(i)]) {
          index = i;
          break;
        }
      if (index < 0) index = mine.Add(reference);
    }
  }
  NewPixels();
  for (std::size_t i = 0; i < pixels_.size(); ++i)
    if (repeats[i]) pixels_[i] = static_cast<std::uint8_t>(index);
  if (!wasTransparent) {
    TGIFGraphicControlExtension* gce = gce_;
    if (!gce) {
      gce = new TGIFGraphicControlExtension(this);
      extensions_.Add(gce);
    }
    gce->SetTransparentColorIndex(index);
    gce->SetTransparent(true);
  }
  FreeBitmap();
}

}  // namespace gif
