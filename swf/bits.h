// Bit fields of SWF records: packed most significant bit first, each record starting on a
// byte boundary and zero-padded at its end.
#pragma once

#include <cstdint>
#include <vector>

#include "swf/stream.h"

// Number of significant bits of v (0 for 0).
int UnsignedBitCount(uint32_t v);
// The 16-bit variant works on v taken as an unsigned 16-bit number.
int UnsignedBitCount16(uint16_t v);
// UnsignedBitCount(|v|) + 1 (1 for 0); |INT32_MIN| is taken as 2^31.
int SignedBitCount(int32_t v);
// The 16-bit variant works on v taken as a signed 16-bit number.
int SignedBitCount16(int16_t v);

class FlashBitWriter {
public:
    // Appends the low n bits of value (n up to 32).
    void WriteBits(uint32_t value, int n);
    // Moves to the next byte boundary, zero-filling, unless already on one.
    void AlignToByte();
    // Appends whole bytes (aligning first).
    void WriteBytes(const uint8_t* data, size_t n);
    // Writes every byte collected so far, the last one zero-padded.
    void Flush(FlashOutputStream& out) const;
    size_t BitPosition() const { return bitPos_; }
    size_t ByteSize() const { return bytes_.size(); }

private:
    std::vector<uint8_t> bytes_;
    size_t bitPos_ = 0;
};

// Reads bit fields from the input stream. A byte that is only partly read stays in the
// stream (it is consumed once its last bit is taken, or by Finish), so bytes and bit fields
// can follow one another as the records require.
class FlashBitReader {
public:
    FlashBitReader(FlashInputStream& in, int firstBit = 0) : in_(in), offset_(firstBit & 7) {}
    uint32_t ReadBits(int n);
    int32_t ReadSignedBits(int n);
    int16_t ReadSignedBits16(int n) { return int16_t(ReadSignedBits(n)); }
    // Ends the reading of a record: the next one starts at the following byte boundary.
    void Finish();
    FlashInputStream& Stream() { return in_; }

private:
    FlashInputStream& in_;
    int offset_;
    size_t bitsBeyond_ = 0;  // bits wanted past the end of the stream
};
