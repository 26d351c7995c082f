// The long animation the benchmarks time: smooth bands with some noise, so that frames compress
// like real footage and each differs from the last; a grey global table, a delay on every frame
// and a loop count that repeats forever.
#pragma once

#include <cstdint>
#include <random>

#include "gif/gifimage.h"

namespace bench {

// The pixel at x, y of frame i; `random` carries the noise from pixel to pixel.
inline std::uint8_t FootagePixel(int x, int y, int i, std::mt19937& random) {
  return static_cast<std::uint8_t>(((x + i) / 8 + y / 16 + (random() % 8 == 0 ? random() % 4 : 0)) & 0xFF);
}

// Fills an empty image with `frames` full-screen frames of width x height.
inline void MakeFootageAnimation(gif::TGIFImage& image, int width, int height, int frames, std::uint16_t delay = 10) {
  for (int c = 0; c < 256; ++c) image.GetGlobalColorMap().Add(static_cast<gif::TColor>(c * 0x010101));
  image.SetWidth(width);
  image.SetHeight(height);
  std::mt19937 random(7);
  for (int i = 0; i < frames; ++i) {
    auto* frame = new gif::TGIFSubImage(&image);
    image.Add(frame);
    frame->SetBounds(0, 0, width, height);
    std::uint8_t* p = frame->Data();
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) p[y * width + x] = FootagePixel(x, y, i, random);
    if (i == 0) frame->Extensions().Add(new gif::TGIFAppExtNSLoop(frame));
    auto* gce = new gif::TGIFGraphicControlExtension(frame);
    frame->Extensions().Add(gce);
    gce->SetDelay(delay);
    gce->SetTransparentColorIndex(255);  // not transparent: the index giflib writes then
  }
}

}  // namespace bench
