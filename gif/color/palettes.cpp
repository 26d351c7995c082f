#include "gif/color/palettes.h"

namespace gif {

namespace {

constexpr Rgb kStaticColors[20] = {
    {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
    {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
    {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
    {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
};

}  // namespace

Palette CreateWebSafePalette() {
  Palette p;
  p.reserve(216);
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b) p.push_back(Rgb{std::uint8_t(51 * r), std::uint8_t(51 * g), std::uint8_t(51 * b)});
  return p;
}

Palette GrayScalePalette() {
  Palette p(256);
  for (int i = 0; i < 256; ++i) p[i] = Rgb{std::uint8_t(i), std::uint8_t(i), std::uint8_t(i)};
  return p;
}

Palette Gray4Palette() { return {{0x00, 0x00, 0x00}, {0x80, 0x80, 0x80}, {0xC0, 0xC0, 0xC0}, {0xFF, 0xFF, 0xFF}}; }

Palette MonochromePalette() { return {{0, 0, 0}, {255, 255, 255}}; }

Palette SystemPalette20() { return Palette(std::begin(kStaticColors), std::end(kStaticColors)); }

Palette SystemPalette16() {
  Palette p(kStaticColors, kStaticColors + 8);
  p.push_back(kStaticColors[12]);
  p.insert(p.end(), kStaticColors + 13, kStaticColors + 20);
  return p;
}

Palette WindowsHalftonePalette() {
  Palette p(kStaticColors, kStaticColors + 10);
  const Palette cube = CreateWebSafePalette();
  p.insert(p.end(), cube.begin(), cube.end());
  for (int i = 1; i <= 20; ++i) {
    const std::uint8_t gray = std::uint8_t((255 * i + 10) / 21);
    p.push_back(Rgb{gray, gray, gray});
  }
  p.insert(p.end(), kStaticColors + 10, kStaticColors + 20);
  return p;
}

}  // namespace gif
