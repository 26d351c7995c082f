// The byte streams every record and tag of the library is written to and read from.
// The output stream is a growable byte buffer; the input stream is a bounded view that
// cannot read past its end: a read beyond it yields zeros and marks the stream failed,
// so a bad length in a file ends in a clean failure instead of a stray read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

class FlashOutputStream {
public:
    void WriteU8(uint8_t v)
    {
        if (bytes_.size() == bytes_.capacity()) Grow(bytes_.size() + 1);
        bytes_.push_back(v);
    }
    void WriteU16(uint16_t v)
    {
        WriteU8(uint8_t(v));
        WriteU8(uint8_t(v >> 8));
    }
    void WriteU32(uint32_t v)
    {
        WriteU16(uint16_t(v));
        WriteU16(uint16_t(v >> 16));
    }
    void WriteBytes(const void* data, size_t n)
    {
        if (n == 0) return;
        if (n > bytes_.capacity() - bytes_.size()) Grow(bytes_.size() + n);
        const uint8_t* bytes = static_cast<const uint8_t*>(data);
        bytes_.insert(bytes_.end(), bytes, bytes + n);
    }
    void WriteBytes(const FlashOutputStream& other) { WriteBytes(other.Data(), other.Size()); }
    // A zero-terminated string as the SWF STRING: its bytes and one 0 byte.
    void WriteString(const std::string& s)
    {
        WriteBytes(s.data(), s.size());
        WriteU8(0);
    }

    const uint8_t* Data() const { return bytes_.data(); }
    size_t Size() const { return bytes_.size(); }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    void Clear() { bytes_.clear(); }
    void Reserve(size_t n)
    {
        if (n > bytes_.capacity()) Grow(n, n);
    }
    // Releases the buffer's memory as well as its contents.
    void Reset() { std::vector<uint8_t>().swap(bytes_); }

    // Set by a record that cannot be written as asked (a field too small for its
    // value); what the stream holds then is not to be used.
    bool Failed() const { return failed_; }
    void Fail() { failed_ = true; }

private:
    // Makes room for at least needed bytes, doubling the capacity unless exactly is given. A
    // movie's tag stream holds every picture of the movie: buffers of many megabytes are fresh
    // memory, asked for in huge pages before it is first touched (touching it a small page at a
    // time costs more than writing the movie).
    void Grow(size_t needed, size_t exactly = 0);

    std::vector<uint8_t> bytes_;
    bool failed_ = false;
};

class FlashInputStream {
public:
    FlashInputStream() = default;
    FlashInputStream(const void* data, size_t size)
        : data_(static_cast<const uint8_t*>(data)), size_(size) {}
    explicit FlashInputStream(const std::vector<uint8_t>& bytes)
        : FlashInputStream(bytes.data(), bytes.size()) {}

    size_t Tell() const { return pos_; }
    size_t Size() const { return size_; }
    size_t Remaining() const { return size_ - pos_; }
    bool AtEnd() const { return pos_ >= size_; }
    // True once any read went past the end (or a caller marked the data as malformed).
    bool Failed() const { return failed_; }
    // beyond: how many bytes past the end the failing read wanted, if it was one.
    void Fail(size_t beyond = 0) { failed_ = true; overrun_ += beyond; }
    // The bytes reads have wanted past the end, in all.
    size_t Overrun() const { return overrun_; }
    explicit operator bool() const { return !failed_; }

    uint8_t ReadU8()
    {
        if (pos_ >= size_) { Fail(1); return 0; }
        return data_[pos_++];
    }
    uint8_t PeekU8()
    {
        if (pos_ >= size_) { failed_ = true; return 0; }
        return data_[pos_];
    }
    uint16_t ReadU16()
    {
        if (!Need(2)) return 0;
        uint16_t v = uint16_t(data_[pos_] | data_[pos_ + 1] << 8);
        pos_ += 2;
        return v;
    }
    uint32_t ReadU32()
    {
        if (!Need(4)) return 0;
        uint32_t v = uint32_t(data_[pos_]) | uint32_t(data_[pos_ + 1]) << 8 |
                     uint32_t(data_[pos_ + 2]) << 16 | uint32_t(data_[pos_ + 3]) << 24;
        pos_ += 4;
        return v;
    }
    // Copies n bytes; when fewer remain nothing is copied and the stream fails.
    bool ReadBytes(void* dst, size_t n)
    {
        if (!Need(n)) return false;
        if (n) std::memcpy(dst, data_ + pos_, n);
        pos_ += n;
        return true;
    }
    bool ReadBytes(std::vector<uint8_t>& dst, size_t n)
    {
        if (!Need(n)) { dst.clear(); return false; }
        dst.assign(data_ + pos_, data_ + pos_ + n);
        pos_ += n;
        return true;
    }
    bool Skip(size_t n)
    {
        if (!Need(n)) return false;
        pos_ += n;
        return true;
    }
    // Reads bytes up to and without a 0 byte, consuming the 0; a string running into the
    // end of the data fails the stream.
    std::string ReadString()
    {
        const uint8_t* start = data_ + pos_;
        const void* zero = pos_ < size_ ? std::memchr(start, 0, size_ - pos_) : nullptr;
        if (!zero) { pos_ = size_; Fail(1); return {}; }
        size_t n = size_t(static_cast<const uint8_t*>(zero) - start);
        pos_ += n + 1;
        return std::string(reinterpret_cast<const char*>(start), n);
    }
    // The next n bytes as a stream of their own; this stream moves past them.
    FlashInputStream Sub(size_t n)
    {
        if (!Need(n)) return FlashInputStream(nullptr, 0).Failing();
        FlashInputStream sub(data_ + pos_, n);
        pos_ += n;
        return sub;
    }
    const uint8_t* Current() const { return data_ + pos_; }

private:
    bool Need(size_t n)
    {
        if (n > size_ - pos_) { Fail(n - (size_ - pos_)); pos_ = size_; return false; }
        return true;
    }
    FlashInputStream Failing() && { failed_ = true; return *this; }

    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t pos_ = 0;
    bool failed_ = false;
    size_t overrun_ = 0;
};
