#include "gif/render/compositor.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

namespace gif {

namespace {

// The part of a frame's rectangle that lies on the screen.
TRect OnScreen(const TGIFSubImage& frame, int width, int height) {
  return TRect{std::min<int>(frame.GetLeft(), width), std::min<int>(frame.GetTop(), height),
               std::min(frame.GetLeft() + frame.GetWidth(), width),
               std::min(frame.GetTop() + frame.GetHeight(), height)};
}

}  // namespace

TGIFCompositor::TGIFCompositor(TGIFImage& image, TColor backdrop, PixelFormat format, int screens)
    : image_(image), backdrop_(backdrop) {
  if (format != PixelFormat::pf24bit && format != PixelFormat::pf32bit) GIFError(texts::UnsupportedPixelFormat);
  screens_.resize(std::size_t(std::max(screens, 1)));
  // The first screen is drawn on first; the others are made as they come into use.
  screens_[0] = Bitmap(image.GetWidth(), image.GetHeight(), format);
  if (screens_.size() > 1) {
    stale_.resize(screens_.size());
    for (Stale& s : stale_) {
      s.Left.assign(std::size_t(image.GetHeight()), 0);
      s.Right.assign(std::size_t(image.GetHeight()), 0);
    }
  }
  Reset();
}

void TGIFCompositor::Reset() {
  Fill(TRect{0, 0, screen().Width(), screen().Height()});
  shown_ = -1;
  pendingDisposal_ = dmNoDisposal;
  saved_.clear();
}

const Bitmap& TGIFCompositor::Render(int k) {
  image_.Images().GetFrame(k);  // raises for a k out of range
  if (k != shown_ && screens_.size() > 1) NextScreen();
  if (k < shown_) Reset();
  while (shown_ < k) Step(shown_ + 1);
  return screen();
}

void TGIFCompositor::NextScreen() {
  const Bitmap& from = screen();
  current_ = (current_ + 1) % screens_.size();
  Bitmap& to = screens_[current_];
  Stale& stale = stale_[current_];
  if (to.Empty() && !from.Empty()) {
    to = from;
  } else {
    const int bpp = from.BitsPerPixel() / 8;
    for (int y = stale.Top; y < stale.Bottom; ++y) {
      const int left = stale.Left[std::size_t(y)], right = stale.Right[std::size_t(y)];
      if (left < right)
        std::memcpy(to.Scanline(y) + std::size_t(left) * bpp, from.Scanline(y) + std::size_t(left) * bpp,
                    std::size_t(right - left) * bpp);
    }
  }
  std::fill(stale.Left.begin() + stale.Top, stale.Left.begin() + stale.Bottom, 0);
  std::fill(stale.Right.begin() + stale.Top, stale.Right.begin() + stale.Bottom, 0);
  stale.Top = stale.Bottom = 0;
}

// Every change to the current screen is one the other screens lack.
void TGIFCompositor::Changed(const TRect& area) {
  if (screens_.size() == 1 || area.IsEmpty()) return;
  for (std::size_t i = 0; i < stale_.size(); ++i) {
    if (i == current_) continue;
    Stale& s = stale_[i];
    if (s.Top == s.Bottom) {
      s.Top = area.Top;
      s.Bottom = area.Bottom;
    } else {
      s.Top = std::min(s.Top, area.Top);
      s.Bottom = std::max(s.Bottom, area.Bottom);
    }
    for (int y = area.Top; y < area.Bottom; ++y) {
      int& left = s.Left[std::size_t(y)];
      int& right = s.Right[std::size_t(y)];
      if (left < right) {
        left = std::min(left, area.Left);
        right = std::max(right, area.Right);
      } else {
        left = area.Left;
        right = area.Right;
      }
    }
  }
}

void TGIFCompositor::Fill(const TRect& area) {
  Changed(area);
  Bitmap& bits = screen();
  const int bpp = bits.BitsPerPixel() / 8;
  std::array<std::uint8_t, 4> pixel{std::uint8_t(backdrop_ >> 16), std::uint8_t(backdrop_ >> 8),
                                    std::uint8_t(backdrop_), 0};
  for (int y = area.Top; y < area.Bottom; ++y) {
    std::uint8_t* p = bits.Scanline(y) + std::size_t(area.Left) * bpp;
    for (int x = area.Left; x < area.Right; ++x, p += bpp) std::memcpy(p, pixel.data(), std::size_t(bpp));
  }
}

void TGIFCompositor::Dispose() {
  const TRect& a = pendingArea_;
  if (pendingDisposal_ == dmBackground) {
    Fill(a);
  } else if (pendingDisposal_ == dmPrevious) {
    Changed(a);
    Bitmap& bits = screen();
    const std::size_t rowBytes = std::size_t(a.Width()) * (bits.BitsPerPixel() / 8);
    for (int y = a.Top; y < a.Bottom; ++y)
      std::memcpy(bits.Scanline(y) + std::size_t(a.Left) * (bits.BitsPerPixel() / 8),
                  saved_.data() + std::size_t(y - a.Top) * rowBytes, rowBytes);
  }
  pendingDisposal_ = dmNoDisposal;
}

void TGIFCompositor::Step(int index) {
  Dispose();
  shown_ = index;
  TGIFSubImage& frame = *image_.Images().GetFrame(index);
  if (frame.IsEmpty()) return;
  Bitmap& bits = screen();
  const TRect area = OnScreen(frame, bits.Width(), bits.Height());
  const TGIFGraphicControlExtension* gce = frame.GraphicControlExtension();
  const int bpp = bits.BitsPerPixel() / 8;

  const int disposal = gce ? int(gce->GetDisposal()) : int(dmNoDisposal);
  if (disposal == dmPrevious && !area.IsEmpty()) {
    const std::size_t rowBytes = std::size_t(area.Width()) * bpp;
    saved_.resize(rowBytes * std::size_t(area.Height()));
    for (int y = area.Top; y < area.Bottom; ++y)
      std::memcpy(saved_.data() + std::size_t(y - area.Top) * rowBytes,
                  bits.Scanline(y) + std::size_t(area.Left) * bpp, rowBytes);
  }
  if (disposal == dmBackground || disposal == dmPrevious) {
    pendingDisposal_ = disposal;
    pendingArea_ = area;
  }
  if (area.IsEmpty()) return;
  Changed(area);

  // One lookup per colour index: screen bytes, and whether it is drawn at all.
  const TGIFColorMap& map = frame.GetActiveColorMap();
  std::array<std::array<std::uint8_t, 4>, 256> colours{};
  std::array<bool, 256> drawn;
  drawn.fill(true);
  for (int i = 0; i < 256; ++i) {
    const TGIFColor c = i < map.GetCount() ? map.Entry(i) : TGIFColor{};  // beyond the table: black
    colours[std::size_t(i)] = {c.Blue, c.Green, c.Red, 255};
  }
  if (gce && gce->GetTransparent()) drawn[gce->GetTransparentColorIndex()] = false;

  const int width = frame.GetWidth();
  for (int y = area.Top; y < area.Bottom; ++y) {
    const std::uint8_t* source = std::as_const(frame).Data() + std::size_t(y - frame.GetTop()) * width + (area.Left - frame.GetLeft());
    std::uint8_t* target = bits.Scanline(y) + std::size_t(area.Left) * bpp;
    if (bpp == 3) {
      for (int x = area.Left; x < area.Right; ++x, target += 3) {
        const std::uint8_t index = *source++;
        if (drawn[index]) std::memcpy(target, colours[index].data(), 3);
      }
    } else {
      for (int x = area.Left; x < area.Right; ++x, target += 4) {
        const std::uint8_t index = *source++;
        if (drawn[index]) std::memcpy(target, colours[index].data(), 4);
      }
    }
  }
}

}  // namespace gif
