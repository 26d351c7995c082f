// Frames: the image descriptor, the local table and the pixels, and the counts kept of them.
// Reading and writing a frame's blocks, rendering and drawing it and importing pictures into it
// live in subimage_*.cpp beside this file; cropping and merging in gif/optimize.
#include <algorithm>
#include <atomic>

#include "gif/gifimage.h"

namespace gif {

namespace {
std::atomic<std::uint64_t> g_nextFrameSerial{1};
std::atomic<std::uint64_t> g_nextPixelsId{1};
}

TGIFSubImage::TGIFSubImage(TGIFImage* image)
    : TGIFItem(image), extensions_(image), colorMap_(this), serial_(g_nextFrameSerial++), pixelsId_(g_nextPixelsId++) {}

void TGIFSubImage::NewPixels() { pixelsId_ = g_nextPixelsId++; }

TGIFSubImage::~TGIFSubImage() {
  if (Image()) Image()->Images().Remove(this);
  Clear();
}

void TGIFSubImage::Clear() {
  extensions_.Clear();
  colorMap_.Clear();
  pixels_.clear();
  pixels_.shrink_to_fit();
  NewPixels();
  partial_ = false;
  remapPending_ = false;
  zeroSize_ = zeroSizeBare_ = false;
  left_ = top_ = width_ = height_ = 0;
  transparent_ = false;
  gce_ = nullptr;
  FreeBitmap();
}

bool TGIFSubImage::IsEmpty() const { return (pixels_.empty() && !partial_) || width_ == 0 || height_ == 0; }

void TGIFSubImage::HoldNothing(std::uint8_t fill) {
  pixels_.clear();
  pixels_.shrink_to_fit();
  NewPixels();
  partial_ = true;
  remapPending_ = false;
  partialInterlaced_ = false;
  fill_ = fill;
}

void TGIFSubImage::Materialize() const {
  if (remapPending_) {
    // Only whole pixels are ever left waiting for a map (RemapPixels materializes first).
    remapPending_ = false;
    for (std::uint8_t& p : pixels_) p = pendingMap_[p];
  }
  if (!partial_) return;
  const std::size_t w = width_, h = height_;
  PixelBytes full(w * h, fill_);
  const std::size_t held = std::min(pixels_.size(), full.size());
  if (!partialInterlaced_) {
    std::copy_n(pixels_.begin(), held, full.begin());
  } else {
    for (std::size_t at = 0; at < held; at += w) {
      const std::size_t n = std::min(w, held - at);
      std::copy_n(pixels_.begin() + static_cast<std::ptrdiff_t>(at), n,
                  full.begin() + static_cast<std::ptrdiff_t>(InterlacedRow(at / w, h) * w));
    }
  }
  pixels_ = std::move(full);
  partial_ = false;
}

std::uint16_t TGIFSubImage::GetBoundsValue(int index) const {
  switch (index) {
    case 1: return left_;
    case 2: return top_;
    case 3: return width_;
    case 4: return height_;
    default: return 0;
  }
}

void TGIFSubImage::SetBoundsValue(int index, std::uint16_t value) {
  switch (index) {
    case 1: SetBounds(value, top_, width_, height_); break;
    case 2: SetBounds(left_, value, width_, height_); break;
    case 3: SetBounds(left_, top_, value, height_); break;
    case 4: SetBounds(left_, top_, width_, value); break;
    default: break;
  }
}

void TGIFSubImage::SetBounds(int left, int top, int width, int height) {
  auto u16 = [](int v) { return static_cast<std::uint16_t>(std::clamp(v, 0, 0xFFFF)); };
  const bool resized = u16(width) != width_ || u16(height) != height_;
  left_ = u16(left);
  top_ = u16(top);
  width_ = u16(width);
  height_ = u16(height);
  if (resized) {
    FreeBitmap();
    HoldNothing(0);
  }
  TGIFImage* image = Image();
  if (!image) return;
  bool grew = false;
  TGIFHeader& header = image->Header();
  if (header.GetWidth() < left_ + width_) {
    if (header.GetWidth() >= 1) {
      Warning(GIFSeverityWarning, texts::WidthTooSmall);
      grew = true;
    }
    header.SetWidth(u16(left_ + width_));
  }
  if (header.GetHeight() < top_ + height_) {
    if (header.GetHeight() >= 1) {
      Warning(GIFSeverityWarning, texts::HeightTooSmall);
      grew = true;
    }
    header.SetHeight(u16(top_ + height_));
  }
  if (grew) Warning(GIFSeverityWarning, texts::ExceedsScreen);
}

TRect TGIFSubImage::GetBoundsRect() const { return TRect{left_, top_, left_ + width_, top_ + height_}; }

void TGIFSubImage::SetInterlaced(bool value) {
  packed_ = static_cast<std::uint8_t>(value ? packed_ | 0x40 : packed_ & ~0x40);
}

TGIFColorMap& TGIFSubImage::GetActiveColorMap() {
  if (colorMap_.GetCount() > 0 || !Image()) return colorMap_;
  TGIFColorMap& global = Image()->GetGlobalColorMap();
  return global.GetCount() > 0 ? global : static_cast<TGIFColorMap&>(colorMap_);
}

const TGIFColorMap& TGIFSubImage::GetActiveColorMap() const {
  return const_cast<TGIFSubImage*>(this)->GetActiveColorMap();
}

int TGIFSubImage::GetVersion() const {
  return colorMap_.GetOptimized() || extensions_.GetCount() > 0 ? gv89a : gv87a;
}

std::uint8_t TGIFSubImage::GetPixel(int x, int y) const {
  if (x < 0 || x >= width_ || y < 0 || y >= height_) GIFError(texts::InvalidPixelCoordinates);
  Materialize();
  return pixels_[static_cast<std::size_t>(y) * width_ + static_cast<std::size_t>(x)];
}

std::uint8_t* TGIFSubImage::GetScanline(int y) {
  if (width_ == 0 || height_ == 0) GIFError(texts::ImageIsEmpty);
  if (y < 0 || y >= height_) GIFError(texts::InvalidPixelCoordinates);
  Materialize();
  if (pixels_.size() != static_cast<std::size_t>(width_) * height_)
    pixels_.assign(static_cast<std::size_t>(width_) * height_, 0);
  NewPixels();
  return pixels_.data() + static_cast<std::size_t>(y) * width_;
}

const std::array<std::uint64_t, 256>& TGIFSubImage::IndexCounts() const {
  if (countsOf_ != pixelsId_) {
    Materialize();
    counts_.fill(0);
    // Four tallies side by side, so that runs of one index do not wait on one counter.
    std::array<std::array<std::uint32_t, 256>, 4> tally{};
    const std::uint8_t* p = pixels_.data();
    std::size_t n = pixels_.size();
    while (n > 0) {
      // Flushed before a tally can overflow.
      const std::size_t chunk = std::min<std::size_t>(n, std::size_t{1} << 30);
      std::size_t i = 0;
      for (; i + 4 <= chunk; i += 4) {
        ++tally[0][p[i]];
        ++tally[1][p[i + 1]];
        ++tally[2][p[i + 2]];
        ++tally[3][p[i + 3]];
      }
      for (; i < chunk; ++i) ++tally[0][p[i]];
      for (auto& t : tally) {
        for (std::size_t v = 0; v < 256; ++v) counts_[v] += t[v];
        t.fill(0);
      }
      p += chunk;
      n -= chunk;
    }
    countsOf_ = pixelsId_;
  }
  return counts_;
}

void TGIFSubImage::RemapPixels(const std::array<std::uint8_t, 256>& map) {
  if (partial_) Materialize();
  const bool counted = countsOf_ == pixelsId_;
  if (remappedFor_ == pixelsId_) {
    for (std::uint8_t& m : baseMap_) m = map[m];
  } else {
    // The pixels as they are now may have been written: what they were written as is kept.
    baseKey_ = EncodingKey(LargestIndex());
    baseMap_ = map;
  }
  if (remapPending_) {
    for (std::uint8_t& m : pendingMap_) m = map[m];
  } else {
    pendingMap_ = map;
    remapPending_ = !pixels_.empty();
  }
  // A map that joins two indices the pixels hold joins strings of their codes as well: the data
  // they were written as is of no use for the new pixels, which are encoded afresh.
  bool joins = false;
  if (counted) {
    std::array<bool, 256> taken{};
    for (std::size_t v = 0; v < 256 && !joins; ++v) {
      if (counts_[v] == 0) continue;
      joins = taken[map[v]];
      taken[map[v]] = true;
    }
  }
  NewPixels();
  remappedFor_ = joins ? 0 : pixelsId_;
  if (counted) {
    std::array<std::uint64_t, 256> mapped{};
    for (std::size_t v = 0; v < 256; ++v) mapped[map[v]] += counts_[v];
    counts_ = mapped;
    countsOf_ = pixelsId_;
  }
}

int TGIFSubImage::LargestIndex() const {
  if (countsOf_ == pixelsId_) {
    int largest = 255;
    while (largest >= 0 && counts_[static_cast<std::size_t>(largest)] == 0) --largest;
    return largest;
  }
  // Indices waiting for a map are not the ones the pixels will hold.
  if (remapPending_) Materialize();
  if (largestOf_ != pixelsId_ || largestSize_ != pixels_.size() || largestPartial_ != partial_) {
    int largest = pixels_.empty() ? -1 : *std::max_element(pixels_.begin(), pixels_.end());
    if (partial_ && pixels_.size() < static_cast<std::size_t>(width_) * height_) largest = std::max<int>(largest, fill_);
    largest_ = largest;
    largestOf_ = pixelsId_;
    largestSize_ = pixels_.size();
    largestPartial_ = partial_;
  }
  return largest_;
}

}  // namespace gif
