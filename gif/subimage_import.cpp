// Copying one frame into another, and importing a picture into a frame: reduced to the
// animation's colours when it has more, with its transparent pixels marked.
#include <algorithm>
#include <cstring>

#include "gif/color/reduce.h"
#include "gif/gifimage.h"

namespace gif {

void TGIFSubImage::Assign(const TGIFSubImage& source) {
  if (&source == this) return;
  Clear();
  if (source.IsEmpty() && source.extensions_.GetCount() == 0 && !source.zeroSize_) return;
  left_ = source.left_;
  top_ = source.top_;
  width_ = source.width_;
  height_ = source.height_;
  packed_ = source.packed_;
  pixels_ = source.pixels_;
  pixelsId_ = source.pixelsId_;
  remapPending_ = source.remapPending_;
  pendingMap_ = source.pendingMap_;
  countsOf_ = source.countsOf_;
  counts_ = source.counts_;
  remappedFor_ = source.remappedFor_;
  baseKey_ = source.baseKey_;
  baseMap_ = source.baseMap_;
  partial_ = source.partial_;
  partialInterlaced_ = source.partialInterlaced_;
  fill_ = source.fill_;
  zeroSize_ = source.zeroSize_;
  zeroSizeBare_ = source.zeroSizeBare_;
  colorMap_.Assign(source.colorMap_);
  // Extensions are copied through their own stream form, which every class
  // already reads and writes faithfully.
  ByteWriter out;
  const_cast<TGIFExtensionList&>(source.extensions_).SaveToStream(out);
  out.Write(ImageSeparator);
  ByteReader in(out.Bytes());
  extensions_.LoadFromStream(in, this);
  transparent_ = source.transparent_ && gce_ != nullptr;
  if (source.hasBitmap_) {
    bitmap_ = source.bitmap_;
    hasBitmap_ = true;
    mask_ = source.mask_;
    needMask_ = source.needMask_;
  }
}

void TGIFSubImage::AssignTo(Bitmap& destination) { destination = GetBitmap(); }

bool TGIFSubImage::ReducesOnAssign(const Bitmap& source) const {
  const TGIFImage* image = Image();
  return !source.Empty() && !IsIndexed(source.Format()) && image && image->ColorReduction != rmNone;
}

TGIFSubImage::ReducedPicture TGIFSubImage::ReducePicture(const Bitmap& source, int method, int ditherMode, int bits) {
  ReducedPicture out;
  out.Picture = ReduceColors(source, static_cast<std::uint8_t>(method), static_cast<std::uint8_t>(ditherMode), nullptr,
                             bits);
  // The alpha of a 32-bit picture still says what is transparent.
  if (out.Picture.Empty() || source.Format() != PixelFormat::pf32bit) return out;
  const std::size_t w = static_cast<std::size_t>(source.Width());
  bool any = false;
  for (int y = 0; y < source.Height() && !any; ++y)
    for (std::size_t x = 0; x < w && !any; ++x) any = source.Scanline(y)[x * 4 + 3] < 128;
  if (!any) return out;
  out.Transparent.assign(w * static_cast<std::size_t>(source.Height()), 0);
  for (int y = 0; y < source.Height(); ++y)
    for (std::size_t x = 0; x < w; ++x)
      out.Transparent[static_cast<std::size_t>(y) * w + x] = source.Scanline(y)[x * 4 + 3] < 128;
  return out;
}

void TGIFSubImage::AssignReduced(const ReducedPicture& reduced) {
  Clear();
  if (reduced.Picture.Empty()) return;
  Assign(reduced.Picture);
  if (!reduced.Transparent.empty()) ApplyMask(reduced.Transparent);
}

void TGIFSubImage::Assign(const Bitmap& source) {
  if (ReducesOnAssign(source)) {
    Clear();  // also when the reduction fails
    const TGIFImage* image = Image();
    AssignReduced(ReducePicture(source, image->ColorReduction, image->DitherMode, image->GetColorReductionBits()));
    return;
  }
  Clear();
  if (source.Empty()) return;
  TGIFImage* image = Image();
  SetBounds(0, 0, source.Width(), source.Height());
  Materialize();
  const int w = width_, h = height_;
  std::vector<std::uint8_t> transparentPixels;
  if (source.Format() == PixelFormat::pf32bit) {
    transparentPixels.assign(static_cast<std::size_t>(w) * h, 0);
    bool any = false;
    for (int y = 0; y < h; ++y) {
      const std::uint8_t* row = source.Scanline(y);
      for (int x = 0; x < w; ++x)
        if (row[x * 4 + 3] < 128) transparentPixels[static_cast<std::size_t>(y) * w + x] = any = true;
    }
    if (!any) transparentPixels.clear();
  }

  if (image) image->Progress(this, TProgressStage::psStarting, 0, false, texts::Converting);
  auto progress = [&](int y) {
    if (image && y % 32 == 0 && y > 0) image->Progress(this, TProgressStage::psRunning, y * 100 / h, false, texts::Converting);
  };
  try {
    if (IsIndexed(source.Format())) {
      const Palette& pal = source.Colors();
      colorMap_.Clear();
      const int entries = std::min<int>(static_cast<int>(pal.size()), 1 << source.BitsPerPixel());
      for (int i = 0; i < entries; ++i) colorMap_.Add(RgbToColor(pal[static_cast<std::size_t>(i)]));
      for (int y = 0; y < h; ++y) {
        std::uint8_t* dst = pixels_.data() + static_cast<std::size_t>(y) * w;
        const std::uint8_t* src = source.Scanline(y);
        switch (source.Format()) {
          case PixelFormat::pf1bit:
            for (int x = 0; x < w; ++x) dst[x] = (src[x >> 3] >> (7 - (x & 7))) & 1;
            break;
          case PixelFormat::pf4bit:
            for (int x = 0; x < w; ++x) dst[x] = (x & 1) ? (src[x >> 1] & 0x0F) : (src[x >> 1] >> 4);
            break;
          default:
            std::memcpy(dst, src, static_cast<std::size_t>(w));
            break;
        }
        progress(y);
      }
      // The source is not kept as the frame's picture: a picture of fewer bits, or with a short
      // colour table, is not what drawing reads; the frame renders its own from the pixels.
    } else {
      const Bitmap rgb = source.Format() == PixelFormat::pf24bit ? source : source.ConvertedTo(PixelFormat::pf24bit);
      // A ring of the most recent colours spares a table search for runs and
      // repeats; more than 256 colours overflow the table.
      struct Slot {
        std::uint32_t color = 0xFFFFFFFF;
        std::uint8_t index = 0;
      };
      std::array<Slot, 8> ring{};
      int last = 0, nextSlot = 0;
      colorMap_.Clear();
      for (int y = 0; y < h; ++y) {
        const std::uint8_t* src = rgb.Scanline(y);
        std::uint8_t* dst = pixels_.data() + static_cast<std::size_t>(y) * w;
        for (int x = 0; x < w; ++x) {
          const std::uint32_t color = static_cast<std::uint32_t>(src[x * 3 + 2]) |
                                      static_cast<std::uint32_t>(src[x * 3 + 1]) << 8 |
                                      static_cast<std::uint32_t>(src[x * 3]) << 16;
          int hit = -1;
          for (int k = 0; k < 8; ++k) {
            const int s = (last - k + 8) & 7;
            if (ring[static_cast<std::size_t>(s)].color == color) {
              hit = s;
              break;
            }
          }
          if (hit < 0) {
            const int index = colorMap_.AddUnique(color);
            hit = nextSlot;
            ring[static_cast<std::size_t>(hit)] = Slot{color, static_cast<std::uint8_t>(index)};
            nextSlot = (nextSlot + 1) & 7;
          }
          last = hit;
          dst[x] = ring[static_cast<std::size_t>(hit)].index;
        }
        progress(y);
      }
    }
    if (!transparentPixels.empty()) ApplyMask(transparentPixels);
  } catch (...) {
    if (image) image->Progress(this, TProgressStage::psEnding, 0, false, texts::Converting);
    throw;
  }
  if (image) image->Progress(this, TProgressStage::psEnding, 100, false, texts::Converting);
}

void TGIFSubImage::ApplyMask(const std::vector<std::uint8_t>& transparentPixels) {
  Materialize();
  colorMap_.DoOptimize();
  const int count = colorMap_.GetCount();
  if (count < 1 || count > 255) return;
  const int a = colorMap_.Add(0);
  NewPixels();
  bool any = false;
  for (std::size_t i = 0; i < pixels_.size(); ++i) {
    if (transparentPixels[i]) {
      pixels_[i] = static_cast<std::uint8_t>(a);
      any = true;
    }
  }
  if (!any) {
    colorMap_.Delete(a);
    return;
  }
  auto* gce = new TGIFGraphicControlExtension(this);
  extensions_.Add(gce);
  gce->SetTransparentColorIndex(a);
  gce->SetTransparent(true);
  FreeBitmap();
}

}  // namespace gif
