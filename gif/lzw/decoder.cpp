// GIF LZW decoder. Codes come from a 64-bit accumulator refilled from the
// current sub-block. A table entry holds a short string's pixels, which is most
// strings, or where a longer one was first written, from which it is copied
// straight into the frame: no pixel goes through a stack.
#include <algorithm>
#include <bit>
#include <cstring>

#include "gif/lzw/lzw.h"

namespace gif {

const char* LZWStatusText(LZWStatus status) {
  switch (status) {
    case LZWStatus::BadCodeSize:
    case LZWStatus::BadCode:
      return "Invalid GIF data";
    case LZWStatus::BufferUnderrun:
      return "Decoder bit buffer under-run";
    case LZWStatus::PrematureEnd:
      return "Premature end of data";
    case LZWStatus::Ok:
    case LZWStatus::ExcessData:
    case LZWStatus::ShortData:
      break;
  }
  return nullptr;
}

namespace {

constexpr int kMaxCodes = 4096;
constexpr int kMaxCodeBits = 12;

inline std::uint64_t LoadLE64(const std::uint8_t* p) {
  std::uint64_t v;
  std::memcpy(&v, p, sizeof v);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
  return v;
}

// Reads the bits of the data sub-blocks in order, least significant bit first.
// Never looks past the current sub-block except to read the next length byte,
// so `pos` and `blockEnd` always tell where the unread image data resumes.
class SubBlockBits {
public:
  SubBlockBits(const std::uint8_t* data, std::size_t size, std::size_t pos)
      : data_(data), size_(size), pos_(pos), blockEnd_(pos) {}

  // Makes at least `need` bits available unless the data runs out first.
  bool Ensure(int need) {
    if (bits_ >= need) return true;
    Refill();
    return bits_ >= need;
  }

  unsigned Take(int n) {
    unsigned v = static_cast<unsigned>(acc_) & ((1u << n) - 1);
    acc_ >>= n;
    bits_ -= n;
    return v;
  }

  bool Terminated() const { return terminated_; }
  // A sub-block that codes were read from claimed more bytes than the input holds.
  bool Clipped() const { return clipped_; }

  // Skips whatever image data is left, through the 0 terminator; returns the
  // position after it, or the input size when the input ends first.
  std::size_t SkipToEnd() {
    if (terminated_) return pos_;
    std::size_t p = blockEnd_;
    while (p < size_) {
      std::size_t len = data_[p++];
      if (len == 0) {
        terminated_ = true;
        return p;
      }
      p += len;
    }
    return size_;
  }

private:
  void Refill() {
    while (bits_ <= 56) {
      if (blockEnd_ - pos_ >= 8) {
        acc_ |= LoadLE64(data_ + pos_) << bits_;
        int take = (63 - bits_) >> 3;
        pos_ += static_cast<std::size_t>(take);
        bits_ += take * 8;
        return;
      }
      if (pos_ < blockEnd_) {
        acc_ |= static_cast<std::uint64_t>(data_[pos_++]) << bits_;
        bits_ += 8;
        continue;
      }
      if (terminated_ || pos_ >= size_) return;
      std::size_t len = data_[pos_++];
      if (len == 0) {
        terminated_ = true;
        blockEnd_ = pos_;
        return;
      }
      // A sub-block cut short by the end of the input gives what it holds.
      if (len > size_ - pos_) {
        len = size_ - pos_;
        clipped_ = true;
      }
      blockEnd_ = pos_ + len;
    }
  }

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_;
  std::size_t blockEnd_;
  std::uint64_t acc_ = 0;
  int bits_ = 0;
  bool terminated_ = false;
  bool clipped_ = false;
};

// Exact copy of a short run that does not overlap its source; chunks may
// overlap each other but never reach outside [dst, dst + len).
inline void CopyString(std::uint8_t* dst, const std::uint8_t* src, std::size_t len) {
  if (len >= 8) {
    if (len > 32) {
      std::memcpy(dst, src, len);
      return;
    }
    std::size_t i = 0;
    for (; i + 8 < len; i += 8) std::memcpy(dst + i, src + i, 8);
    std::memcpy(dst + len - 8, src + len - 8, 8);
  } else if (len >= 4) {
    std::uint32_t a, b;
    std::memcpy(&a, src, 4);
    std::memcpy(&b, src + len - 4, 4);
    std::memcpy(dst, &a, 4);
    std::memcpy(dst + len - 4, &b, 4);
  } else if (len >= 2) {
    std::uint16_t a, b;
    std::memcpy(&a, src, 2);
    std::memcpy(&b, src + len - 2, 2);
    std::memcpy(dst, &a, 2);
    std::memcpy(dst + len - 2, &b, 2);
  } else {
    *dst = *src;
  }
}

// Pixels in code-stream order laid straight into the frame rows.
class FlatOutput {
public:
  explicit FlatOutput(std::uint8_t* base) : base_(base) {}
  void Put(std::size_t at, std::uint8_t v) { base_[at] = v; }
  std::uint8_t Get(std::size_t at) const { return base_[at]; }
  void Copy(std::size_t dst, std::size_t src, std::size_t len) {
    CopyString(base_ + dst, base_ + src, len);
  }
  // 8 pixels at once, the first from the low byte; the caller has room for them.
  void PutHead(std::size_t at, std::uint64_t head) {
    if constexpr (std::endian::native == std::endian::big) head = __builtin_bswap64(head);
    std::memcpy(base_ + at, &head, sizeof head);
  }

private:
  std::uint8_t* base_;
};

// Pixels in code-stream order, i.e. rows in the four interlace passes, put
// into their rows of the frame as they come. Writes move forward row by row
// and copies mostly read recent rows, so each side remembers its last row.
class InterlacedOutput {
public:
  InterlacedOutput(std::uint8_t* base, std::size_t width, std::size_t height)
      : base_(base), width_(width), height_(height) {
    dst_ = src_ = {0, base};  // stream row 0 is frame row 0
  }
  void Put(std::size_t at, std::uint8_t v) { *Locate(at, dst_) = v; }
  std::uint8_t Get(std::size_t at) { return *Locate(at, src_); }
  void Copy(std::size_t dst, std::size_t src, std::size_t len) {
    while (len > 0) {
      std::uint8_t* d = Locate(dst, dst_);
      const std::uint8_t* s = Locate(src, src_);
      std::size_t n = std::min({len, width_ - (src - src_.start), width_ - (dst - dst_.start)});
      CopyString(d, s, n);
      src += n;
      dst += n;
      len -= n;
    }
  }

private:
  struct Row {
    std::size_t start;  // stream position of the row's first pixel
    std::uint8_t* pixels;
  };

  std::uint8_t* Locate(std::size_t at, Row& cache) const {
    if (at - cache.start < width_) return cache.pixels + (at - cache.start);
    std::size_t r = at / width_;
    const std::size_t row = InterlacedRow(r, height_);
    cache.start = r * width_;
    cache.pixels = base_ + row * width_;
    return cache.pixels + (at - cache.start);
  }

  std::uint8_t* base_;
  std::size_t width_;
  std::size_t height_;
  Row dst_, src_;
};

// A code's string in 8 bytes, so that a table of 4096 stays in the nearest cache: a string of up
// to 7 pixels as those pixels (the first in the low byte) with its length in the top byte; a
// longer one as where it was first written (the low 32 bits) and its length (bits 32 to 47),
// with a top byte of 0.
using StringCode = std::uint64_t;
constexpr std::size_t kHeldPixels = 7;

inline StringCode ShortString(std::uint64_t pixels, std::size_t len) { return pixels | std::uint64_t{len} << 56; }
inline StringCode LongString(std::size_t pos, std::size_t len) {
  return std::uint64_t{static_cast<std::uint32_t>(pos)} | std::uint64_t{len} << 32;
}
// 0 for a long string.
inline std::size_t ShortLength(StringCode s) { return static_cast<std::size_t>(s >> 56); }
inline std::size_t LongLength(StringCode s) { return static_cast<std::size_t>((s >> 32) & 0xFFFF); }
inline std::size_t LongPos(StringCode s) { return static_cast<std::uint32_t>(s); }
inline std::uint8_t HeldPixel(StringCode s, std::size_t i) { return static_cast<std::uint8_t>(s >> (8 * i)); }

// The string s of `len` pixels, written at `pos`, with `pixel` after it.
inline StringCode Extended(StringCode s, std::size_t len, std::size_t pos, std::uint8_t pixel) {
  if (len < kHeldPixels) return ShortString((s & 0x00FFFFFFFFFFFFFFull) | std::uint64_t{pixel} << (8 * len), len + 1);
  return LongString(pos, len + 1);
}

// With kOvercopy, short strings far from the end of the frame are stored 8 pixels at a time,
// writing past the string's end into pixels that the next codes or the final fill write again;
// only for buffers whose pixels past the decoded ones need not keep what they held.
template <bool kOvercopy = false, class Output>
LZWDecodeResult Run(SubBlockBits& input, Output& output, std::size_t total, int minCodeSize) {
  // Worked on as copies of the caller's: pixel stores may write anywhere as far as the compiler
  // knows, and would make it keep the reader's bits and the output's place in memory.
  SubBlockBits in = input;
  Output out = output;
  const unsigned clear = 1u << minCodeSize;
  const unsigned end = clear + 1;
  StringCode table[kMaxCodes];
  // Colour codes stand for themselves, and no clear code changes them.
  for (unsigned c = 0; c < clear; ++c) table[c] = ShortString(c, 1);

  int codeSize = minCodeSize + 1;
  unsigned nextFree = clear + 2;
  bool havePrev = false;  // false right after a clear: no entry is defined by the next code
  StringCode prev = 0;
  std::size_t prevLen = 0, prevPos = 0;
  std::uint8_t prevFirst = 0;
  std::size_t n = 0;  // pixels written
  LZWStatus status = LZWStatus::Ok;

  for (;;) {
    if (!in.Ensure(codeSize)) {
      // Out of data before an end code: only a loss when pixels are missing.
      if (n < total)
        status = in.Terminated() ? LZWStatus::BufferUnderrun : LZWStatus::PrematureEnd;
      break;
    }
    const unsigned code = in.Take(codeSize);
    if (code == clear) {
      codeSize = minCodeSize + 1;
      nextFree = clear + 2;
      havePrev = false;
      continue;
    }
    if (code == end) {
      if (n < total) status = LZWStatus::ShortData;
      break;
    }
    if (n >= total) {
      status = LZWStatus::ExcessData;
      break;
    }

    StringCode s;
    bool definedByItself = false;
    if (code < nextFree) {
      // Right after a clear only colour codes lie below the next free code.
      s = table[code];
    } else if (code == nextFree && havePrev) {
      // The string being defined: the previous one plus its own first pixel.
      s = Extended(prev, prevLen, prevPos, prevFirst);
      definedByItself = true;
    } else {
      status = LZWStatus::BadCode;
      break;
    }

    const std::size_t room = total - n;
    std::size_t len = ShortLength(s);
    std::uint8_t first;
    if (len != 0) {
      first = HeldPixel(s, 0);
      bool stored = false;
      if constexpr (kOvercopy) {
        if (room >= 16) {
          out.PutHead(n, s);
          stored = true;
        }
      }
      if (!stored)
        for (std::size_t i = 0; i < std::min(len, room); ++i) out.Put(n + i, HeldPixel(s, i));
    } else {
      len = LongLength(s);
      const std::size_t pos = LongPos(s);
      if (definedByItself) {
        first = prevFirst;
        out.Copy(n, pos, std::min(len - 1, room));
        if (len <= room) out.Put(n + len - 1, first);
      } else {
        out.Copy(n, pos, std::min(len, room));
        first = out.Get(pos);
      }
    }

    if (havePrev && nextFree < kMaxCodes) table[nextFree++] = Extended(prev, prevLen, prevPos, first);
    // Grows as soon as the next free code no longer fits; for a minimum code
    // size of 1 that already happens after the first code.
    if (nextFree >= (1u << codeSize) && codeSize < kMaxCodeBits) ++codeSize;
    havePrev = true;
    prev = s;
    prevLen = len;
    prevPos = n;
    prevFirst = first;
    if (room < len) {
      n = total;
      status = LZWStatus::ExcessData;
      break;
    }
    n += len;
  }
  input = in;
  return {0, status, n};
}

}  // namespace

namespace {

// Reads the minimum code size and runs the decoder with `decode` (given the
// sub-block reader and the code size); settles the status of clipped data and
// how much input was taken.
template <class Decode>
LZWDecodeResult DecodeWith(std::span<const std::uint8_t> data, Decode decode) {
  LZWDecodeResult result;
  if (data.empty()) {
    result.status = LZWStatus::PrematureEnd;
    return result;
  }
  const int minCodeSize = data[0];
  SubBlockBits in(data.data(), data.size(), 1);
  if (minCodeSize < 1 || minCodeSize > 8) {
    result.consumed = in.SkipToEnd();
    result.status = LZWStatus::BadCodeSize;
    return result;
  }
  result = decode(in, minCodeSize);
  result.consumed = in.SkipToEnd();
  // Whatever the codes said, data cut off by the end of the file, even just
  // before its terminator, is damaged.
  if ((in.Clipped() || !in.Terminated()) && LZWStatusText(result.status) == nullptr)
    result.status = LZWStatus::PrematureEnd;
  return result;
}

}  // namespace

LZWDecodeResult DecodeLZW(std::span<const std::uint8_t> data, std::span<std::uint8_t> pixels,
                          int width, int height, bool interlaced) {
  std::size_t total = 0;
  if (width > 0 && height > 0) {
    std::size_t need = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (need <= pixels.size()) total = need;
  }
  return DecodeWith(data, [&](SubBlockBits& in, int minCodeSize) {
    if (interlaced && total > 0) {
      InterlacedOutput out(pixels.data(), static_cast<std::size_t>(width),
                           static_cast<std::size_t>(height));
      return Run(in, out, total, minCodeSize);
    }
    FlatOutput out(pixels.data());
    return Run(in, out, total, minCodeSize);
  });
}

LZWDecodeResult DecodeLZW(std::span<const std::uint8_t> data, std::span<std::uint8_t> pixels,
                          int width, int height, bool interlaced, std::uint8_t fill) {
  if (width <= 0 || height <= 0 || static_cast<std::size_t>(width) * static_cast<std::size_t>(height) > pixels.size())
    return DecodeLZW(data, pixels, width, height, interlaced);
  const std::size_t w = static_cast<std::size_t>(width), h = static_cast<std::size_t>(height);
  const LZWDecodeResult result =
      interlaced ? DecodeLZW(data, pixels, width, height, true) : DecodeWith(data, [&](SubBlockBits& in, int minCodeSize) {
        FlatOutput out(pixels.data());
        return Run<true>(in, out, w * h, minCodeSize);
      });
  const std::size_t at = std::min(result.decoded, w * h);
  if (!interlaced) {
    std::memset(pixels.data() + at, fill, w * h - at);
    return result;
  }
  // Stream positions from `at` on, row by row in the order the passes bring them.
  for (std::size_t row = at / w; row < h; ++row) {
    const std::size_t from = row == at / w ? at % w : 0;
    std::memset(pixels.data() + InterlacedRow(row, h) * w + from, fill, w - from);
  }
  return result;
}

LZWDecodeResult DecodeLZWStream(std::span<const std::uint8_t> data, std::span<std::uint8_t> pixels,
                                std::size_t total) {
  return DecodeWith(data, [&](SubBlockBits& in, int minCodeSize) {
    FlatOutput out(pixels.data());
    const std::size_t room = std::min(total, pixels.size());
    LZWDecodeResult result = Run(in, out, room, minCodeSize);
    // Filling a buffer shorter than the frame means it was sized too small:
    // the pixels beyond it are lost, as with data that ends early.
    if (room < total && result.decoded == room && LZWStatusText(result.status) == nullptr)
      result.status = LZWStatus::ShortData;
    return result;
  });
}

std::size_t LZWPixelBound(std::span<const std::uint8_t> data) {
  if (data.empty()) return 0;
  const std::size_t codeBits = std::max<std::size_t>(2, std::size_t{data[0]} + 1);
  const std::uint8_t* d = data.data();
  const std::size_t size = data.size();
  std::size_t bytes = 0;
  for (std::size_t p = 1; p < size;) {
    // See LZWDataSize.
    if (__builtin_expect(d[p] == 255 && size - p > 256, 1)) {
      bytes += 255;
      p += 256;
      continue;
    }
    const std::size_t len = d[p++];
    if (len == 0) break;
    bytes += std::min(len, size - p);
    p += len;
  }
  const std::size_t codes = bytes * 8 / codeBits + 1;
  constexpr std::size_t longest = kMaxCodes;
  if (codes <= longest) return codes * (codes + 1) / 2;
  return longest * (longest + 1) / 2 + (codes - longest) * longest;
}

std::size_t SkipSubBlocks(std::span<const std::uint8_t> data, std::size_t at, bool& terminated) {
  const std::uint8_t* d = data.data();
  const std::size_t size = data.size();
  std::size_t p = at;
  terminated = false;
  while (p < size) {
    // Writers fill their sub-blocks to 255 bytes. Stepping over a full one by a branch on its
    // length byte, rather than by arithmetic on it, lets the processor fetch the next length
    // bytes before this one has arrived, instead of waiting on memory for each in turn.
    if (__builtin_expect(d[p] == 255, 1)) {
      p += 256;
      continue;
    }
    const std::size_t len = d[p++];
    if (len == 0) {
      terminated = true;
      return p;
    }
    p += len;
  }
  return p;
}

std::size_t LZWDataSize(std::span<const std::uint8_t> data) {
  if (data.empty()) return 0;
  bool terminated = false;
  const std::size_t end = SkipSubBlocks(data, 1, terminated);
  return terminated ? end : data.size();
}

std::size_t InterlacedRow(std::size_t streamRow, std::size_t height) {
  const std::size_t pass1 = (height + 7) / 8;
  const std::size_t pass2 = pass1 + (height + 3) / 8;
  const std::size_t pass3 = pass2 + (height + 1) / 4;
  if (streamRow < pass1) return streamRow * 8;
  if (streamRow < pass2) return (streamRow - pass1) * 8 + 4;
  if (streamRow < pass3) return (streamRow - pass2) * 4 + 2;
  return (streamRow - pass3) * 2 + 1;
}

}  // namespace gif
