// Frames: the image descriptor, local table and pixels, reading and writing
// their image blocks, rendering, drawing, importing bitmaps, cropping, merging.
#include <algorithm>
#include <atomic>
#include <cstring>

#include "gif/color/lookup.h"
#include "gif/color/palettes.h"
#include "gif/color/reduce.h"
#include "gif/encoded_data_cache.h"
#include "gif/gifimage.h"
#include "gif/lzw/lzw.h"

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
  NewPixels();
  remappedFor_ = pixelsId_;
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

// ---------------------------------------------------------------------------
// Reading and writing

void TGIFSubImage::LoadFromStream(ByteReader& stream) {
  PendingDecode pending;
  if (!ReadBlocks(stream, pending)) return;
  Decode(pending);
  FinishDecode(pending);
}

bool TGIFSubImage::ReadBlocks(ByteReader& stream, PendingDecode& pending) {
  Clear();
  extensions_.LoadFromStream(stream, this);
  std::uint8_t b = 0;
  if (!stream.Read(b)) return false;
  stream.Skip(-1);
  // Anything but an image separator ends the frame without an image; the block
  // loop then says what it found.
  if (b != ImageSeparator) return false;

  std::uint8_t d[10];
  ReadCheck(stream, d, 10);
  left_ = static_cast<std::uint16_t>(d[1] | d[2] << 8);
  top_ = static_cast<std::uint16_t>(d[3] | d[4] << 8);
  width_ = static_cast<std::uint16_t>(d[5] | d[6] << 8);
  height_ = static_cast<std::uint16_t>(d[7] | d[8] << 8);
  packed_ = d[9];
  TGIFImage* image = Image();
  if (width_ == 0 || height_ == 0) {
    // An image of no size draws nothing and is written back as it came;
    // some writers give it no colour table and no image data at all.
    Warning(GIFSeverityWarning, texts::ExceedsScreen);
    zeroSize_ = true;
    const std::uint8_t next = stream.AtEnd() ? Trailer : stream.Peek(1)[0];
    zeroSizeBare_ = next == Trailer || next == ExtensionIntroducer || next == ImageSeparator;
    if (zeroSizeBare_) return false;
  }
  const std::uint64_t limit = image ? image->MaxFramePixels : TGIFImage::DefaultMaxFramePixels;
  if (static_cast<std::uint64_t>(width_) * height_ > limit) GIFError(texts::FrameTooLarge);
  if (image) image->ChargeLoad(TGIFImage::FrameMemoryCost(width_, height_));

  if (packed_ & 0x80) {
    const int count = 2 << (packed_ & 7);
    if (count < 2 || count > 256) GIFError(texts::InvalidImageColors);
    colorMap_.LoadFromStream(stream, count);
  }

  pending.Fill = transparent_ && gce_ ? gce_->GetTransparentColorIndex() : 0;
  pending.Total = static_cast<std::size_t>(width_) * height_;
  // Where the next block starts is known from the sub-blocks alone; the decode may come later.
  pending.Size = stream.ImageDataSize();
  pending.Data = stream.Peek(pending.Size);
  stream.Skip(static_cast<std::ptrdiff_t>(pending.Size));
  return true;
}

void TGIFSubImage::Decode(PendingDecode& pending) {
  // The donor's frames are only read here; they give their pixels up once the load has succeeded.
  TGIFImage* image = Image();
  if (pending.Donors && image && image->EncodedDataCache) {
    const std::span<const std::uint8_t> data = pending.Data.first(pending.Size);
    pending.DataHash = TGIFEncodedDataCache::HashData(data);
    const std::uint64_t id =
        image->EncodedDataCache->FindPixels(GetInterlaced(), width_, height_, data, pending.DataHash);
    const auto donor = id ? pending.Donors->find(id) : pending.Donors->end();
    if (donor != pending.Donors->end() && donor->second->width_ == width_ && donor->second->height_ == height_) {
      pending.Donor = donor->second;
      pending.DonorPixels = id;
      pending.Result = LZWDecodeResult{};
      pending.Result.consumed = data.size();
      pending.Result.decoded = pending.Total;
      return;
    }
  }
  // Data too short for the frame it declares is decoded into what it can
  // give; the rest of the frame is made only when it is used.
  const std::size_t bound = LZWPixelBound(pending.Data);
  pending.Partial = bound < pending.Total;
  // Left unfilled: the decoder writes every byte, the fill where its data does not reach.
  remapPending_ = false;
  pixels_.clear();
  pixels_.resize(pending.Partial ? bound + 1 : pending.Total);
  pending.Result = pending.Partial ? DecodeLZWStream(pending.Data, pixels_, pending.Total)
                                   : DecodeLZW(pending.Data, pixels_, width_, height_, GetInterlaced(), pending.Fill);
  const LZWDecodeResult& result = pending.Result;
  if (pending.Partial) {
    pixels_.resize(result.decoded);
    pixels_.shrink_to_fit();
    partial_ = true;
    partialInterlaced_ = GetInterlaced();
    fill_ = pending.Fill;
  }
  // The scans over the whole frame are done here, where frames decode side by side.
  LargestIndex();
  // A hash taken above for the donors holds when the decode consumed the same data.
  if (image && image->EncodedDataCache && !partial_ && result.status == LZWStatus::Ok &&
      !(pending.Donors && result.consumed == pending.Size))
    pending.DataHash = TGIFEncodedDataCache::HashData(pending.Data.first(result.consumed));
}

void TGIFSubImage::FinishDecode(PendingDecode& pending) {
  const LZWDecodeResult& result = pending.Result;
  // Data this image's cache wrote for the same pixels (a working copy read back) keeps its entry.
  TGIFImage* image = Image();
  if (pending.Donor) {
    pixelsId_ = pending.DonorPixels;
    donor_ = pending.Donor;
    const int count = GetActiveColorMap().GetCount();
    if (count > 0 && pending.Donor->LargestIndex() >= count) Warning(GIFSeverityWarning, texts::ColorNotInTable);
    return;
  }
  if (image && image->EncodedDataCache && !partial_ && result.status == LZWStatus::Ok) {
    const std::span<const std::uint8_t> data = pending.Data.first(result.consumed);
    if (const std::uint64_t id =
            image->EncodedDataCache->FindPixels(GetInterlaced(), width_, height_, data, pending.DataHash)) {
      // The same pixels under another name: what LargestIndex found for them holds.
      if (largestOf_ == pixelsId_) largestOf_ = id;
      pixelsId_ = id;
    } else if (image->SeedEncodedDataCache) {
      const TGIFEncodedDataCache::Key key = EncodingKey(LargestIndex());
      // Data of another code size is not what the encoder writes for these pixels.
      if (data[0] == std::max(2, key.BitsPerPixel)) image->EncodedDataCache->Seed(key, data, pending.DataHash);
    }
  }
  if (const char* text = LZWStatusText(result.status)) Warning(GIFSeverityWarning, text);

  const int count = GetActiveColorMap().GetCount();
  if (count > 0 && LargestIndex() >= count) Warning(GIFSeverityWarning, texts::ColorNotInTable);
}

void TGIFSubImage::SaveToStream(ByteWriter& stream) { SaveToStream(stream, nullptr); }

bool TGIFSubImage::WritesPixels() const { return !(zeroSize_ && (width_ == 0 || height_ == 0)) && !IsEmpty(); }

TGIFEncodedDataCache::Key TGIFSubImage::EncodingKey(int largest) const {
  const TGIFColorMap& active = GetActiveColorMap();
  // The table as written covers the largest index (padded); without any table
  // every byte value is allowed.
  const int colors = active.GetCount() > 0 ? 1 << ColorsToBits(std::max(active.GetCount(), largest + 1)) : 256;
  const int bits = std::max(1, ColorsToBits(active.GetCount() > 0 ? colors : largest + 1));
  const int compression = Image() ? Image()->Compression : gcLZW;
  return {compression, bits, colors, GetInterlaced(), width_, height_, pixelsId_};
}

void TGIFSubImage::PrepareData(PreparedData& prepared, bool cachedOnly) const {
  prepared.Ready = false;
  prepared.Bytes.reset();
  // Pixels still waiting for a map are mapped only when they are encoded; their counts name the
  // largest index without them.
  if (countsOf_ != pixelsId_) Materialize();
  prepared.Largest = LargestIndex();
  const TGIFEncodedDataCache::Key key = EncodingKey(prepared.Largest);
  const int compression = key.Compression, bits = key.BitsPerPixel, colors = key.ColorCount;
  TGIFEncodedDataCache* cache = Image() ? Image()->EncodedDataCache.get() : nullptr;
  EncodeStatus status;
  if (cachedOnly) {
    if (!cache || !cache->Lookup(key, prepared.Bytes)) return;
    status = EncodeStatus::Ok;
  } else if (cache && remappedFor_ == pixelsId_ && cache->LookupRemapped(key, baseKey_, baseMap_, prepared.Bytes)) {
    // Recoloured pixels whose data before the recolouring is at hand: nothing to encode.
    status = EncodeStatus::Ok;
  } else if (cache) {
    Materialize();
    status = cache->Encode(key, pixels_, prepared.Bytes);
  } else {
    Materialize();
    auto bytes = std::make_shared<std::vector<std::uint8_t>>();
    status = EncodeImageData(compression, *bytes, bits, colors, pixels_, GetInterlaced(), height_, width_);
    prepared.Bytes = std::move(bytes);
  }
  prepared.Ok = status == EncodeStatus::Ok;
  prepared.Ready = true;
}

void TGIFSubImage::SaveToStream(ByteWriter& stream, const PreparedData* prepared) {
  extensions_.SaveToStream(stream);
  if (zeroSize_ && (width_ == 0 || height_ == 0)) {
    SaveZeroSize(stream);
    return;
  }
  if (IsEmpty()) return;
  PreparedData here;
  if (!prepared || !prepared->Ready) {
    PrepareData(here);
    prepared = &here;
  }
  const int largest = prepared->Largest;
  if (colorMap_.GetCount() == 0) {
    packed_ &= static_cast<std::uint8_t>(~(0x80 | 0x20 | 0x07));
  } else {
    // Pad the table over every index in use, so what loaded can be written.
    const int bits = ColorsToBits(std::max(colorMap_.GetCount(), largest + 1));
    packed_ = static_cast<std::uint8_t>((packed_ & 0x58) | 0x80 | (colorMap_.GetOptimized() ? 0x20 : 0) |
                                        ((bits - 1) & 0x07));
  }
  stream.Write(ImageSeparator);
  stream.WriteWord(left_);
  stream.WriteWord(top_);
  stream.WriteWord(width_);
  stream.WriteWord(height_);
  stream.Write(packed_);
  colorMap_.SaveToStreamCovering(stream, largest + 1);
  // What a failed encoding produced is written too, as the encoder would have written it.
  stream.Write(prepared->Bytes->data(), prepared->Bytes->size());
  if (!prepared->Ok) GIFError(texts::ColorNotInTable);
}

void TGIFSubImage::SaveZeroSize(ByteWriter& stream) {
  stream.Write(ImageSeparator);
  stream.WriteWord(left_);
  stream.WriteWord(top_);
  stream.WriteWord(width_);
  stream.WriteWord(height_);
  if (zeroSizeBare_) {
    stream.Write(packed_);
    return;
  }
  const int bits = colorMap_.GetCount() > 0 ? ColorsToBits(colorMap_.GetCount()) : 0;
  packed_ = static_cast<std::uint8_t>(
      bits ? (packed_ & 0x58) | 0x80 | (colorMap_.GetOptimized() ? 0x20 : 0) | ((bits - 1) & 0x07) : packed_ & 0x58);
  stream.Write(packed_);
  colorMap_.SaveToStreamCovering(stream, 0);
  // The minimum code size, then a clear and an end code and the terminator.
  const int codeSize = std::max(2, bits);
  const int clear = 1 << codeSize;
  const std::uint32_t codes = static_cast<std::uint32_t>(clear) | static_cast<std::uint32_t>(clear + 1) << (codeSize + 1);
  const int used = (2 * (codeSize + 1) + 7) / 8;
  stream.Write(static_cast<std::uint8_t>(codeSize));
  stream.Write(static_cast<std::uint8_t>(used));
  for (int i = 0; i < used; ++i) stream.Write(static_cast<std::uint8_t>(codes >> (8 * i)));
  stream.Write(0);
}

// ---------------------------------------------------------------------------
// Palette and rendering

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

// ---------------------------------------------------------------------------
// Copying

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

// ---------------------------------------------------------------------------
// Drawing

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

// ---------------------------------------------------------------------------
// Optimisation helpers

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
