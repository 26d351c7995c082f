#include "swf/bits.h"

int UnsignedBitCount(uint32_t v)
{
    return v == 0 ? 0 : 32 - __builtin_clz(v);
}

int UnsignedBitCount16(uint16_t v)
{
    return UnsignedBitCount(v);
}

int SignedBitCount(int32_t v)
{
    uint32_t magnitude = v < 0 ? 0u - uint32_t(v) : uint32_t(v);
    return UnsignedBitCount(magnitude) + 1;
}

int SignedBitCount16(int16_t v)
{
    return SignedBitCount(int32_t(v));
}

void FlashBitWriter::WriteBits(uint32_t value, int n)
{
    for (int i = n - 1; i >= 0; --i) {
        if ((bitPos_ & 7) == 0) bytes_.push_back(0);
        if ((value >> i) & 1u) bytes_.back() |= uint8_t(0x80u >> (bitPos_ & 7));
        ++bitPos_;
    }
}

void FlashBitWriter::AlignToByte()
{
    bitPos_ = (bitPos_ + 7) & ~size_t(7);
}

void FlashBitWriter::WriteBytes(const uint8_t* data, size_t n)
{
    AlignToByte();
    bytes_.insert(bytes_.end(), data, data + n);
    bitPos_ += 8 * n;
}

void FlashBitWriter::Flush(FlashOutputStream& out) const
{
    out.WriteBytes(bytes_.data(), bytes_.size());
}

uint32_t FlashBitReader::ReadBits(int n)
{
    uint32_t result = 0;
    while (n > 0) {
        if (in_.AtEnd()) {
            // The stream learns of each byte the fields would have run into.
            const size_t before = (bitsBeyond_ + 7) / 8;
            bitsBeyond_ += size_t(n);
            in_.Fail((bitsBeyond_ + 7) / 8 - before);
            return 0;
        }
        uint32_t byte = in_.PeekU8();
        int take = 8 - offset_ < n ? 8 - offset_ : n;
        uint32_t bits = (byte >> (8 - offset_ - take)) & ((1u << take) - 1);
        result = (result << take) | bits;
        offset_ += take;
        n -= take;
        if (offset_ == 8) {
            in_.Skip(1);
            offset_ = 0;
        }
    }
    return result;
}

int32_t FlashBitReader::ReadSignedBits(int n)
{
    if (n <= 0) return 0;
    uint32_t v = ReadBits(n);
    if (n < 32 && (v >> (n - 1)) & 1u) v |= ~0u << n;
    return int32_t(v);
}

void FlashBitReader::Finish()
{
    if (offset_ != 0) {
        in_.Skip(1);
        offset_ = 0;
    }
}
