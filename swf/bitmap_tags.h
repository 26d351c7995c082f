// Bitmap tags: JPEG data (DefineBits 6 with JPEGTables 8, DefineBitsJPEG2 21,
// DefineBitsJPEG3 35 with a zlib-compressed alpha plane) and zlib-compressed lossless data
// (DefineBitsLossless 20, DefineBitsLossless2 36). Data given to a constructor stays the
// caller's and must live until the tag is written; data a tag reads belongs to the tag.
#pragma once

#include <cstdint>
#include <vector>

#include "swf/records.h"
#include "swf/tag.h"

// Tags holding one block of bytes after an optional character id.
class FlashTagBlock : public FlashTag {
public:
    const uint8_t* GetData() const { return data_; }
    uint32_t GetDataLength() const { return length_; }

protected:
    FlashTagBlock(uint16_t code, bool hasId) : code_(code), hasId_(hasId) {}
    FlashTagBlock(uint16_t code, bool hasId, const uint8_t* data, uint32_t length)
        : code_(code), hasId_(hasId), data_(data), length_(length) {}
    void WriteBlock(FlashOutputStream& out, uint16_t id);
    // Reads the id (when the tag has one) and the rest of the body; returns the id.
    uint16_t ReadBlock(FlashInputStream& in);

    uint16_t code_;
    bool hasId_;
    const uint8_t* data_ = nullptr;
    uint32_t length_ = 0;
    std::vector<uint8_t> owned_;
};

// A JPEG character: its id, then the image bytes as they stand in the tag.
template <uint16_t Code>
class FlashTagJPEGCharacter : public FlashTagBlock {
public:
    FlashTagJPEGCharacter() : FlashTagBlock(Code, true) {}
    FlashTagJPEGCharacter(const uint8_t* data, uint32_t length) : FlashTagBlock(Code, true, data, length) {}
    FlashOutputStream& Write(FlashOutputStream& out) override { WriteBlock(out, id_.GetId()); return out; }
    FlashInputStream& Read(FlashInputStream& in) override { id_.SetId(ReadBlock(in)); return in; }
    uint16_t GetId() const { return id_.GetId(); }
    const FlashCharacterId& GetCharacterId() const { return id_; }

private:
    FlashCharacterId id_{true};
};

using FlashTagDefineBitsJPEG1 = FlashTagJPEGCharacter<6>;

class FlashTagJPEGTables : public FlashTagBlock {
public:
    FlashTagJPEGTables() : FlashTagBlock(8, false) {}
    FlashTagJPEGTables(const uint8_t* data, uint32_t length) : FlashTagBlock(8, false, data, length) {}
    FlashOutputStream& Write(FlashOutputStream& out) override { WriteBlock(out, 0); return out; }
    FlashInputStream& Read(FlashInputStream& in) override { ReadBlock(in); return in; }
};

using FlashTagDefineBitsJPEG2 = FlashTagJPEGCharacter<21>;

// The alpha data is one opacity byte per pixel, already zlib-compressed by the caller.
class FlashTagDefineBitsJPEG3 : public FlashTag {
public:
    FlashTagDefineBitsJPEG3() = default;
    FlashTagDefineBitsJPEG3(const uint8_t* jpeg, uint32_t jpegLength, const uint8_t* alpha, uint32_t alphaLength)
        : jpeg_(jpeg), jpegLength_(jpegLength), alpha_(alpha), alphaLength_(alphaLength) {}
    FlashOutputStream& Write(FlashOutputStream& out) override;
    // A JPEG length beyond the body fails the stream and keeps no data.
    FlashInputStream& Read(FlashInputStream& in) override;

    uint16_t GetId() const { return id_.GetId(); }
    const FlashCharacterId& GetCharacterId() const { return id_; }
    const uint8_t* GetJpegData() const { return jpeg_; }
    uint32_t GetJpegLength() const { return jpegLength_; }
    const uint8_t* GetAlphaData() const { return alpha_; }
    uint32_t GetAlphaLength() const { return alphaLength_; }

private:
    FlashCharacterId id_{true};
    const uint8_t* jpeg_ = nullptr;
    uint32_t jpegLength_ = 0;
    const uint8_t* alpha_ = nullptr;
    uint32_t alphaLength_ = 0;
    std::vector<uint8_t> ownedJpeg_, ownedAlpha_;
};

// The compressible part of a lossless bitmap: colour table and pixel bytes, RGBA when
// withAlpha. Row padding of the pixels is the caller's business.
class FlashLosslessBitmapData {
public:
    FlashLosslessBitmapData() = default;
    FlashLosslessBitmapData(const std::vector<FlashRGBA>& table, const uint8_t* pixels, uint32_t length)
        : table_(table), pixels_(pixels), length_(length) {}
    // A copy of read data gets its own buffer.
    FlashLosslessBitmapData(const FlashLosslessBitmapData& o) { *this = o; }
    FlashLosslessBitmapData& operator=(const FlashLosslessBitmapData& o)
    {
        if (this == &o) return *this;
        withAlpha = o.withAlpha;
        table_ = o.table_;
        owned_ = o.owned_;
        length_ = o.length_;
        pixels_ = o.owned_.empty() ? o.pixels_ : owned_.data() + (o.pixels_ - o.owned_.data());
        return *this;
    }

    bool withAlpha = false;
    const std::vector<FlashRGBA>& GetColorTable() const { return table_; }
    const uint8_t* GetPixels() const { return pixels_; }
    uint32_t GetPixelLength() const { return length_; }
    bool HasData() const { return pixels_ != nullptr; }

    // Appends the zlib-compressed table and pixels; nothing when compression fails.
    void Write(FlashOutputStream& out, size_t tableEntries) const;
    // Inflates a block into a buffer owned by this object; false (and no data) on a bad
    // block. The pixels may come in pixelBytes or, with rows padded to 4 bytes as the
    // SWF format stores them, in paddedPixelBytes.
    bool Read(const uint8_t* block, size_t blockLength, size_t tableEntries, size_t pixelBytes,
              size_t paddedPixelBytes);

private:
    std::vector<FlashRGBA> table_;
    const uint8_t* pixels_ = nullptr;
    uint32_t length_ = 0;
    std::vector<uint8_t> owned_;
};

class FlashTagDefineBitsLosslessBase : public FlashTag {
public:
    FlashOutputStream& Write(FlashOutputStream& out) override;
    FlashInputStream& Read(FlashInputStream& in) override;

    uint16_t GetId() const { return id_.GetId(); }
    const FlashCharacterId& GetCharacterId() const { return id_; }
    uint8_t GetFormat() const { return format_; }
    uint16_t GetWidth() const { return width_; }
    uint16_t GetHeight() const { return height_; }
    const FlashLosslessBitmapData& GetBitmapData() const { return data_; }

protected:
    FlashTagDefineBitsLosslessBase(uint16_t code, bool alpha) : code_(code) { data_.withAlpha = alpha; }
    FlashTagDefineBitsLosslessBase(uint16_t code, bool alpha, uint8_t format, uint16_t width, uint16_t height,
                                   const FlashLosslessBitmapData& data)
        : code_(code), format_(format), width_(width), height_(height), data_(data)
    {
        data_.withAlpha = alpha;
    }

private:
    FlashCharacterId id_{true};
    uint16_t code_;
    uint8_t format_ = 5;
    uint16_t width_ = 0, height_ = 0;
    FlashLosslessBitmapData data_;
};

// Format 3 is 8-bit colour-mapped, 4 15-bit RGB, 5 24-bit RGB (per pixel four bytes).
class FlashTagDefineBitsLossless : public FlashTagDefineBitsLosslessBase {
public:
    FlashTagDefineBitsLossless() : FlashTagDefineBitsLosslessBase(20, false) {}
    FlashTagDefineBitsLossless(uint8_t format, uint16_t width, uint16_t height, const FlashLosslessBitmapData& d)
        : FlashTagDefineBitsLosslessBase(20, false, format, width, height, d) {}
};

class FlashTagDefineBitsLossless2 : public FlashTagDefineBitsLosslessBase {
public:
    FlashTagDefineBitsLossless2() : FlashTagDefineBitsLosslessBase(36, true) {}
    FlashTagDefineBitsLossless2(uint8_t format, uint16_t width, uint16_t height, const FlashLosslessBitmapData& d)
        : FlashTagDefineBitsLosslessBase(36, true, format, width, height, d) {}
};

// zlib at level 9 into a buffer sized by compressBound; false when it fails.
bool CompressBytes(const uint8_t* data, size_t length, std::vector<uint8_t>& out);
