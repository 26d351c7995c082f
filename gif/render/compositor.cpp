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

TGIFCompositor::TGIFCompositor(TGIFImage& image, TColor backdrop, PixelFormat format)
    : image_(image), backdrop_(backdrop) {
  if (format != PixelFormat::pf24bit && format != PixelFormat::pf32bit) GIFError(texts::UnsupportedPixelFormat);
  screen_ = Bitmap(image.GetWidth(), image.GetHeight(), format);
  Reset();
}

void TGIFCompositor::Reset() {
  Fill(TRect{0, 0, screen_.Width(), screen_.Height()});
  shown_ = -1;
  pendingDisposal_ = dmNoDisposal;
  saved_.clear();
}

const Bitmap& TGIFCompositor::Render(int k) {
  image_.Images().GetFrame(k);  // raises for a k out of range
  if (k < shown_) Reset();
  while (shown_ < k) Step(shown_ + 1);
  return screen_;
}

void TGIFCompositor::Fill(const TRect& area) {
  const int bpp = screen_.BitsPerPixel() / 8;
  std::array<std::uint8_t, 4> pixel{std::uint8_t(backdrop_ >> 16), std::uint8_t(backdrop_ >> 8),
                                    std::uint8_t(backdrop_), 0};
  for (int y = area.Top; y < area.Bottom; ++y) {
    std::uint8_t* p = screen_.Scanline(y) + std::size_t(area.Left) * bpp;
    for (int x = area.Left; x < area.Right; ++x, p += bpp) std::memcpy(p, pixel.data(), std::size_t(bpp));
  }
}

void TGIFCompositor::Dispose() {
  const TRect& a = pendingArea_;
  if (pendingDisposal_ == dmBackground) {
    Fill(a);
  } else if (pendingDisposal_ == dmPrevious) {
    const std::size_t rowBytes = std::size_t(a.Width()) * (screen_.BitsPerPixel() / 8);
    for (int y = a.Top; y < a.Bottom; ++y)
      std::memcpy(screen_.Scanline(y) + std::size_t(a.Left) * (screen_.BitsPerPixel() / 8),
                  saved_.data() + std::size_t(y - a.Top) * rowBytes, rowBytes);
  }
  pendingDisposal_ = dmNoDisposal;
}

void TGIFCompositor::Step(int index) {
  Dispose();
  shown_ = index;
  TGIFSubImage& frame = *image_.Images().GetFrame(index);
  if (frame.IsEmpty()) return;
  const TRect area = OnScreen(frame, screen_.Width(), screen_.Height());
  const TGIFGraphicControlExtension* gce = frame.GraphicControlExtension();
  const int bpp = screen_.BitsPerPixel() / 8;

  const int disposal = gce ? int(gce->GetDisposal()) : int(dmNoDisposal);
  if (disposal == dmPrevious && !area.IsEmpty()) {
    const std::size_t rowBytes = std::size_t(area.Width()) * bpp;
    saved_.resize(rowBytes * std::size_t(area.Height()));
    for (int y = area.Top; y < area.Bottom; ++y)
      std::memcpy(saved_.data() + std::size_t(y - area.Top) * rowBytes,
                  screen_.Scanline(y) + std::size_t(area.Left) * bpp, rowBytes);
  }
  if (disposal == dmBackground || disposal == dmPrevious) {
    pendingDisposal_ = disposal;
    pendingArea_ = area;
  }
  if (area.IsEmpty()) return;

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
    std::uint8_t* target = screen_.Scanline(y) + std::size_t(area.Left) * bpp;
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
