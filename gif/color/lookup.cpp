#include "gif/color/lookup.h"

#include <cstdlib>

namespace gif {

TFastColorLookup::TFastColorLookup(const Palette& palette)
    : TColorLookup(int(palette.size() < 256 ? palette.size() : 256)),
      entries_(palette.begin(), palette.begin() + colors_) {
  cells_.fill(-1);
  for (int i = 0; i < colors_; ++i) {
    const Rgb& c = entries_[i];
    std::int16_t& cell = cells_[CellOf(c.red, c.green, c.blue)];
    if (cell < 0) cell = std::int16_t(i);
  }
  // Lookup indexes entries_ unconditionally; an empty palette answers black.
  if (entries_.empty()) entries_.push_back(Rgb{});
}

std::int16_t TFastColorLookup::Nearest(int red, int green, int blue) const {
  int best = 0;
  int bestDistance = 0x30000;
  for (int i = 0; i < colors_; ++i) {
    const Rgb& c = entries_[i];
    const int distance = std::abs(red - c.red) + std::abs(green - c.green) + std::abs(blue - c.blue);
    if (distance < bestDistance) {
      bestDistance = distance;
      best = i;
    }
  }
  return std::int16_t(best);
}

}  // namespace gif
