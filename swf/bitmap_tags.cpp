#include "swf/bitmap_tags.h"

#include <zlib.h>

#include <algorithm>

namespace {

// Deflate expands at most about 1032 to 1; a header asking for more than that from its
// compressed block, or for more than this in total, is not a bitmap we can hold.
constexpr size_t kMaxInflateRatio = 1032;
constexpr size_t kMaxBitmapBytes = size_t(1) << 30;

}  // namespace

bool CompressBytes(const uint8_t* data, size_t length, std::vector<uint8_t>& out)
{
    uLongf size = compressBound(uLong(length));
    out.resize(size);
    if (compress2(out.data(), &size, data, uLong(length), 9) != Z_OK) {
        out.clear();
        return false;
    }
    out.resize(size);
    return true;
}

void FlashTagBlock::WriteBlock(FlashOutputStream& out, uint16_t id)
{
    FlashTagHeader(code_, length_ + (hasId_ ? 2 : 0)).Write(out);
    if (hasId_) out.WriteU16(id);
    if (data_) out.WriteBytes(data_, length_);
}

uint16_t FlashTagBlock::ReadBlock(FlashInputStream& in)
{
    uint16_t id = 0;
    size_t length = tagLength_;
    if (hasId_) {
        id = in.ReadU16();
        length = length >= 2 ? length - 2 : 0;
    }
    data_ = nullptr;
    length_ = 0;
    if (in.ReadBytes(owned_, length)) {
        data_ = owned_.data();
        length_ = uint32_t(owned_.size());
    }
    return id;
}

FlashOutputStream& FlashTagDefineBitsJPEG3::Write(FlashOutputStream& out)
{
    FlashTagHeader(35, jpegLength_ + alphaLength_ + 6).Write(out);
    out.WriteU16(id_.GetId());
    out.WriteU32(jpegLength_);
    if (jpeg_) out.WriteBytes(jpeg_, jpegLength_);
    if (alpha_) out.WriteBytes(alpha_, alphaLength_);
    return out;
}

FlashInputStream& FlashTagDefineBitsJPEG3::Read(FlashInputStream& in)
{
    jpeg_ = alpha_ = nullptr;
    jpegLength_ = alphaLength_ = 0;
    id_.SetId(in.ReadU16());
    uint32_t offset = in.ReadU32();
    if (in.Failed() || tagLength_ < 6 || offset > tagLength_ - 6) {
        in.Fail();
        return in;
    }
    if (!in.ReadBytes(ownedJpeg_, offset) || !in.ReadBytes(ownedAlpha_, tagLength_ - 6 - offset)) return in;
    jpeg_ = ownedJpeg_.data();
    jpegLength_ = offset;
    alpha_ = ownedAlpha_.data();
    alphaLength_ = uint32_t(ownedAlpha_.size());
    return in;
}

void FlashLosslessBitmapData::Write(FlashOutputStream& out, size_t tableEntries) const
{
    FlashOutputStream raw;
    for (size_t i = 0; i < tableEntries; ++i) {
        FlashRGBA c = i < table_.size() ? table_[i] : FlashRGBA(0, 0, 0, 0);
        c.SetAlphaWriteMode(withAlpha);
        raw << c;
    }
    if (pixels_) raw.WriteBytes(pixels_, length_);
    std::vector<uint8_t> packed;
    if (CompressBytes(raw.Data(), raw.Size(), packed)) out.WriteBytes(packed.data(), packed.size());
}

bool FlashLosslessBitmapData::Read(const uint8_t* block, size_t blockLength, size_t tableEntries,
                                   size_t pixelBytes, size_t paddedPixelBytes)
{
    table_.clear();
    pixels_ = nullptr;
    length_ = 0;
    owned_.clear();
    size_t tableBytes = tableEntries * (withAlpha ? 4 : 3);
    size_t capacity = tableBytes + std::max(pixelBytes, paddedPixelBytes);
    if (capacity > kMaxBitmapBytes || capacity > blockLength * kMaxInflateRatio + 64) return false;
    owned_.resize(capacity);
    uLongf size = uLongf(capacity);
    if (uncompress(owned_.data(), &size, block, uLong(blockLength)) != Z_OK ||
        (size != tableBytes + pixelBytes && size != tableBytes + paddedPixelBytes)) {
        owned_.clear();
        return false;
    }
    FlashInputStream entries(owned_.data(), tableBytes);
    for (size_t i = 0; i < tableEntries; ++i) {
        FlashRGBA c(0, 0, 0, 255);
        c.SetAlphaWriteMode(withAlpha);
        entries >> c;
        table_.push_back(c);
    }
    pixels_ = owned_.data() + tableBytes;
    length_ = uint32_t(size - tableBytes);
    return true;
}

FlashOutputStream& FlashTagDefineBitsLosslessBase::Write(FlashOutputStream& out)
{
    FlashOutputStream body;
    body.WriteU16(id_.GetId());
    body.WriteU8(format_);
    body.WriteU16(width_);
    body.WriteU16(height_);
    size_t entries = 0;
    if (format_ == 3) {
        // The count byte holds entries - 1: a table has 1 to 256 entries.
        entries = std::clamp<size_t>(data_.GetColorTable().size(), 1, 256);
        body.WriteU8(uint8_t(entries - 1));
    }
    data_.Write(body, entries);
    WriteTagRecord(out, code_, body);
    return out;
}

FlashInputStream& FlashTagDefineBitsLosslessBase::Read(FlashInputStream& in)
{
    id_.SetId(in.ReadU16());
    format_ = in.ReadU8();
    width_ = in.ReadU16();
    height_ = in.ReadU16();
    size_t header = 7;
    size_t entries = 0;
    if (format_ == 3) {
        entries = size_t(in.ReadU8()) + 1;
        header = 8;
    }
    size_t w = width_, h = height_;
    size_t pixels = 0, padded = 0;
    switch (format_) {
    case 3: pixels = w * h; padded = ((w + 3) & ~size_t(3)) * h; break;
    case 4: pixels = w * h * 2; padded = ((w * 2 + 3) & ~size_t(3)) * h; break;
    case 5: pixels = padded = w * h * 4; break;
    default: break;
    }
    if (in.Failed() || tagLength_ < header) {
        in.Fail();
        return in;
    }
    FlashInputStream block = in.Sub(tagLength_ - header);
    if (block.Failed()) {
        in.Fail();
        return in;
    }
    if (format_ >= 3 && format_ <= 5)
        data_.Read(block.Current(), block.Size(), entries, pixels, padded);
    return in;
}
