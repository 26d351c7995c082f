// A frame as a picture: its palette, the bitmap and mask rendered from its pixels, and drawing it
// onto a canvas.
#include <algorithm>
#include <cstring>

#include "gif/color/lookup.h"
#include "gif/color/palettes.h"
#include "gif/gifimage.h"

namespace gif {

TGIFPalette TGIFSubImage::GetPalette() {
  if (hasBitmap_ && !bitmap_.Colors().empty()) return bitmap_.Colors();
  if (hasPalette_) return palette_;
  if (Image() && Image()->ShouldDither()) {
    palette_ = CreateWebSafePalette();
    hasPalette_ = true;
    return palette_;
  }
  if (colorMap_.GetCount() > 0) {
    palette_ = colorMap_.ExportPalette();
    hasPalette_ = true;
    return palette_;
  }
  return Image() ? Image()->GetPalette() : TGIFPalette{};
}

void TGIFSubImage::SetPalette(const TGIFPalette& palette) {
  palette_ = palette;
  hasPalette_ = !palette.empty();
  if (hasBitmap_ && bitmap_.Colors() != palette) {
    FreeBitmap();
    if (Image()) {
      Image()->PaletteModified = true;
      Image()->Changed();
    }
  }
}

void TGIFSubImage::FreeBitmap() {
  bitmap_ = Bitmap();
  hasBitmap_ = false;
  FreeMask();
}

void TGIFSubImage::FreeMask() {
  mask_ = Bitmap();
  needMask_ = true;
}

void TGIFSubImage::SetHasBitmap(bool value) {
  if (value == hasBitmap_) return;
  if (value)
    GetBitmap();
  else
    FreeBitmap();
}

bool TGIFSubImage::HasMask() {
  if (needMask_ && transparent_ && !IsEmpty()) {
    if (hasBitmap_) {
      // The bitmap is cached but its mask was dropped: render again.
      FreeBitmap();
    }
    GetBitmap();
  }
  return !mask_.Empty();
}

const Bitmap& TGIFSubImage::GetBitmap() {
  if (!hasBitmap_) {
    TGIFImage* image = Image();
    if (image) image->Progress(this, TProgressStage::psStarting, 0, false, texts::Rendering);
    try {
      RenderBitmap();
    } catch (...) {
      bitmap_ = Bitmap();
      hasBitmap_ = false;
      if (image) image->Progress(this, TProgressStage::psEnding, 0, image->PaletteModified, texts::Rendering);
      throw;
    }
    if (image) {
      image->Progress(this, TProgressStage::psEnding, 100, image->PaletteModified, texts::Rendering);
      if (image->PaletteModified) image->Changed();
    }
  }
  return bitmap_;
}

void TGIFSubImage::RenderBitmap() {
  Materialize();
  const int w = width_, h = height_;
  Bitmap bitmap(w, h, PixelFormat::pf8bit);
  const bool dither = Image() && Image()->ShouldDither();
  // Indices beyond a short table read black rather than something undefined.
  Palette padded;
  if (dither) {
    padded = CreateWebSafePalette();
  } else {
    const TGIFColorMap& active = GetActiveColorMap();
    padded.clear();
    for (int i = 0; i < active.GetCount(); ++i) {
      const TGIFColor& c = active.Entry(i);
      padded.push_back(Rgb{c.Red, c.Green, c.Blue});
    }
  }
  padded.resize(256);
  bitmap.SetColors(padded);
  if (IsEmpty()) {
    bitmap_ = std::move(bitmap);
    hasBitmap_ = true;
    return;
  }

  const bool buildMask = needMask_ && transparent_ && gce_ && mask_.Empty();
  needMask_ = false;
  const std::uint8_t tindex = gce_ ? gce_->GetTransparentColorIndex() : 0;
  Bitmap mask;
  bool anyTransparent = false;
  if (buildMask) mask = Bitmap(w, h, PixelFormat::pf1bit);

  TGIFColorMap& active = GetActiveColorMap();
  TNetscapeColorLookup cube;
  std::vector<int> errors;  // Floyd-Steinberg error rows: current and next, 3 channels each
  if (dither) errors.assign(static_cast<std::size_t>(w + 2) * 6, 0);
  std::uint8_t fillIndex = 0;
  if (dither && buildMask) {
    const TGIFColor tc = tindex < active.GetCount() ? active.Entry(tindex) : TGIFColor{};
    std::uint8_t r, g, b;
    fillIndex = cube.Lookup(tc.Red, tc.Green, tc.Blue, r, g, b);
  }

  for (int y = 0; y < h; ++y) {
    const std::uint8_t* src = pixels_.data() + static_cast<std::size_t>(y) * w;
    std::uint8_t* dst = bitmap.Scanline(y);
    if (buildMask) {
      std::uint8_t* m = mask.Scanline(y);
      for (int x = 0; x < w; ++x) {
        if (src[x] == tindex) {
          m[x >> 3] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
          anyTransparent = true;
        }
      }
    }
    if (!dither) {
      std::memcpy(dst, src, static_cast<std::size_t>(w));
    } else {
      int* cur = errors.data() + ((y & 1) ? 3 * (w + 2) : 0);
      int* next = errors.data() + ((y & 1) ? 0 : 3 * (w + 2));
      std::fill(next, next + 3 * (w + 2), 0);
      const bool forward = (y & 1) == 0;
      if (buildMask) std::fill(dst, dst + w, fillIndex);
      for (int i = 0; i < w; ++i) {
        const int x = forward ? i : w - 1 - i;
        if (buildMask && src[x] == tindex) continue;
        const TGIFColor c = src[x] < active.GetCount() ? active.Entry(src[x]) : TGIFColor{};
        const int e = 3 * (x + 1);
        const int want[3] = {std::clamp(c.Red + cur[e] / 16, 0, 255), std::clamp(c.Green + cur[e + 1] / 16, 0, 255),
                             std::clamp(c.Blue + cur[e + 2] / 16, 0, 255)};
        std::uint8_t got[3];
        dst[x] = cube.Lookup(static_cast<std::uint8_t>(want[0]), static_cast<std::uint8_t>(want[1]),
                             static_cast<std::uint8_t>(want[2]), got[0], got[1], got[2]);
        const int ahead = forward ? 3 : -3;
        for (int k = 0; k < 3; ++k) {
          const int err = want[k] - got[k];
          cur[e + ahead + k] += err * 7;
          next[e - ahead + k] += err * 3;
          next[e + k] += err * 5;
          next[e + ahead + k] += err;
        }
      }
    }
    if (Image() && y % 32 == 0 && y > 0)
      Image()->Progress(this, TProgressStage::psRunning, y * 100 / h, false, texts::Rendering);
  }
  bitmap_ = std::move(bitmap);
  hasBitmap_ = true;
  if (buildMask && anyTransparent) mask_ = std::move(mask);
}

void TGIFSubImage::DrawOne(Bitmap& canvas, const TRect& target, bool masked) {
  if (target.IsEmpty() || IsEmpty()) return;
  const bool has32 = canvas.Format() == PixelFormat::pf32bit;
  if (!has32 && canvas.Format() != PixelFormat::pf24bit) GIFError(texts::UnsupportedPixelFormat);
  const Bitmap& bm = GetBitmap();
  const Palette& pal = bm.Colors();
  const int tw = target.Width(), th = target.Height();
  const int x0 = std::max(0, target.Left), x1 = std::min(canvas.Width(), target.Right);
  const int y0 = std::max(0, target.Top), y1 = std::min(canvas.Height(), target.Bottom);
  if (x0 >= x1 || y0 >= y1) return;
  std::vector<int> columns(static_cast<std::size_t>(x1 - x0));
  for (int x = x0; x < x1; ++x)
    columns[static_cast<std::size_t>(x - x0)] =
        static_cast<int>(static_cast<long long>(x - target.Left) * width_ / tw);
  const int bpp = has32 ? 4 : 3;
  for (int y = y0; y < y1; ++y) {
    const int sy = static_cast<int>(static_cast<long long>(y - target.Top) * height_ / th);
    const std::uint8_t* src = bm.Scanline(sy);
    const std::uint8_t* m = masked ? mask_.Scanline(sy) : nullptr;
    std::uint8_t* dst = canvas.Scanline(y) + static_cast<std::size_t>(x0) * bpp;
    for (int x = x0; x < x1; ++x, dst += bpp) {
      const int sx = columns[static_cast<std::size_t>(x - x0)];
      if (m && (m[sx >> 3] & (0x80 >> (sx & 7)))) continue;
      const Rgb& c = pal[src[sx]];
      dst[0] = c.blue;
      dst[1] = c.green;
      dst[2] = c.red;
      if (has32) dst[3] = 255;
    }
  }
}

void TGIFSubImage::Draw(Bitmap& canvas, const TRect& rect, bool transparent, bool tile) {
  if (IsEmpty() || rect.IsEmpty()) return;
  const bool masked = transparent && transparent_ && HasMask();
  // A screen of 0 x 0 would scale by nothing; the frame then spans the rect.
  const int sw = Image() && Image()->GetWidth() > 0 ? Image()->GetWidth() : left_ + width_;
  const int sh = Image() && Image()->GetHeight() > 0 ? Image()->GetHeight() : top_ + height_;
  if (!tile) {
    const TRect target{rect.Left + MulDiv(left_, rect.Width(), sw), rect.Top + MulDiv(top_, rect.Height(), sh),
                       rect.Left + MulDiv(left_ + width_, rect.Width(), sw),
                       rect.Top + MulDiv(top_ + height_, rect.Height(), sh)};
    DrawOne(canvas, target, masked);
    return;
  }
  for (int i = 0; rect.Left + left_ + i * sw < rect.Right; ++i) {
    for (int j = 0; rect.Top + top_ + j * sh < rect.Bottom; ++j) {
      const int x = rect.Left + left_ + i * sw, y = rect.Top + top_ + j * sh;
      DrawOne(canvas, TRect{x, y, x + width_, y + height_}, masked);
    }
  }
}

}  // namespace gif
