// Reading a frame's image block and decoding its pixels, and writing them back: the encoded
// data is taken from the cache when the pixels it holds are the frame's.
#include <algorithm>

#include "gif/encoded_data_cache.h"
#include "gif/gifimage.h"
#include "gif/lzw/lzw.h"

namespace gif {

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
  const std::uint64_t limit = image ? image->MaxFramePixels : GIFDefaults().MaxFramePixels;
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
    } else if (pending.Seed) {
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

}  // namespace gif
