// GIF LZW and run-length encoders. Codes go into a 64-bit accumulator that is
// emptied straight into a 255-byte sub-block, which is appended to the output
// when full.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "gif/lzw/lzw.h"

namespace gif {

namespace {

constexpr unsigned kMaxCode = 4095;

// The frame's rows in the order they are written: top to bottom, or the four
// interlace passes (every 8th row from 0, every 8th from 4, every 4th from 2,
// every 2nd from 1).
class RowOrder {
public:
  RowOrder(int height, bool interlaced) : height_(height), interlaced_(interlaced) {}
  // Next row, or -1 when every row has been given.
  int Next() {
    if (!interlaced_) return row_ < height_ ? row_++ : -1;
    static constexpr int kStart[4] = {0, 4, 2, 1};
    static constexpr int kStep[4] = {8, 8, 4, 2};
    while (pass_ < 4) {
      if (row_ < height_) {
        int r = row_;
        row_ += kStep[pass_];
        return r;
      }
      if (++pass_ < 4) row_ = kStart[pass_];
    }
    return -1;
  }

private:
  int height_;
  bool interlaced_;
  int pass_ = 0;
  int row_ = 0;
};

}  // namespace

// One frame being encoded: the pixel walk and the bit packing into sub-blocks.
struct TGIFEncoder::Job {
  std::vector<std::uint8_t>& out;
  std::span<const std::uint8_t> pixels;
  int width;
  RowOrder rows;
  unsigned colorLimit;  // pixels must be below this

  unsigned clearCode;
  unsigned endCode;
  int initCodeSize;
  int codeSize;

  std::uint64_t acc = 0;
  int bits = 0;
  std::uint8_t block[256];
  int fill = 1;  // block[0] is the length byte

  Job(std::vector<std::uint8_t>& o, std::span<const std::uint8_t> p, int w, int h, bool interlaced,
      unsigned limit, int minCodeSize)
      : out(o),
        pixels(p),
        width(w),
        rows(h, interlaced),
        colorLimit(limit),
        clearCode(1u << minCodeSize),
        endCode((1u << minCodeSize) + 1),
        initCodeSize(minCodeSize + 1),
        codeSize(minCodeSize + 1) {}

  // The next row's pixels, or an empty span when the frame is done.
  std::span<const std::uint8_t> NextRow() {
    int r = rows.Next();
    if (r < 0) return {};
    return pixels.subspan(static_cast<std::size_t>(r) * static_cast<std::size_t>(width),
                          static_cast<std::size_t>(width));
  }

  void FlushBlock() {
    if (fill > 1) {
      block[0] = static_cast<std::uint8_t>(fill - 1);
      out.insert(out.end(), block, block + fill);
      fill = 1;
    }
  }

  void PutByte(std::uint8_t b) {
    block[fill++] = b;
    if (fill == 256) FlushBlock();
  }

  // Bits of the code above those already held, least significant first.
  void Output(unsigned code) {
    acc |= static_cast<std::uint64_t>(code) << bits;
    bits += codeSize;
    if (bits >= 32) {
      if (fill <= 252) {
        std::uint32_t w = static_cast<std::uint32_t>(acc);
        if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap32(w);
        std::memcpy(block + fill, &w, 4);
        fill += 4;
        if (fill == 256) FlushBlock();
      } else {
        for (int i = 0; i < 4; ++i) PutByte(static_cast<std::uint8_t>(acc >> (8 * i)));
      }
      acc >>= 32;
      bits -= 32;
    }
  }

  // The end code and the last partial byte.
  void Finish() {
    Output(endCode);
    while (bits > 0) {
      PutByte(static_cast<std::uint8_t>(acc));
      acc >>= 8;
      bits -= 8;
    }
    bits = 0;
    acc = 0;
    FlushBlock();
  }
};

EncodeStatus TGIFEncoder::Encode(std::vector<std::uint8_t>& out, int bitsPerPixel, int colorCount,
                                 std::span<const std::uint8_t> pixels, bool interlaced, int height,
                                 int width) {
  const int minCodeSize = std::clamp(bitsPerPixel, 2, 8);
  out.push_back(static_cast<std::uint8_t>(minCodeSize));
  // A pixel the codes of this size cannot hold would corrupt the stream.
  const unsigned limit = std::min(static_cast<unsigned>(std::max(colorCount, 0)),
                                  1u << minCodeSize);
  const bool hasPixels =
      width > 0 && height > 0 &&
      static_cast<std::size_t>(width) * static_cast<std::size_t>(height) <= pixels.size();
  Job job(out, pixels, hasPixels ? width : 0, hasPixels ? height : 0, interlaced, limit,
          minCodeSize);
  if (hasPixels) {
    EncodeStatus status = Compress(job);
    if (status != EncodeStatus::Ok) return status;
  }
  job.Finish();
  out.push_back(0);
  return EncodeStatus::Ok;
}

// ---------------------------------------------------------------------------
// LZW

namespace {

// String table of (prefix code, pixel) -> code. Open addressing over a
// power-of-two block (64 KB) that stays in the near caches; an entry packs the
// 20-bit key above the 12-bit code, and all-ones marks a free slot (no key
// reaches 0xFFFFF since prefixes stop at 4094). In front of it sit, per
// prefix code, the two entries last found or stored for that prefix: pictures
// repeat the same few strings, so most steps end there without hashing.
class THashTable {
public:
  static constexpr int kBits = 14;
  static constexpr unsigned kSlots = 1u << kBits;
  static constexpr std::uint32_t kFree = 0xFFFFFFFFu;

  // Forgets every entry; `used` is the first code never handed out since the
  // last clear (codes at or above it have nothing remembered).
  void Clear(unsigned used) {
    std::memset(slots_.data(), 0xFF, sizeof slots_);
    std::memset(recent_.data(), 0xFF, std::min<std::size_t>(used, recent_.size()) * sizeof recent_[0]);
  }

  static unsigned Hash(std::uint32_t key) { return (key * 0x9E3779B1u) >> (32 - kBits); }

  // The code of the string prefix + pixel, or -1 when the table lacks it; then
  // `slot` is the free slot the search ended on.
  int Lookup(unsigned prefix, std::uint32_t key, unsigned& slot) {
    const std::uint64_t r = recent_[prefix];
    // Neither half of a free entry ever matches.
    if ((static_cast<std::uint32_t>(r) >> 12) == key) return static_cast<int>(r & 0xFFF);
    if ((r >> 44) == key) {
      recent_[prefix] = (r >> 32) | (r << 32);
      return static_cast<int>((r >> 32) & 0xFFF);
    }
    unsigned h = Hash(key);
    for (;;) {
      const std::uint32_t s = slots_[h];
      if ((s >> 12) == key) {
        recent_[prefix] = (r << 32) | s;
        return static_cast<int>(s & 0xFFF);
      }
      if (s == kFree) break;
      h = (h + 1) & (kSlots - 1);
    }
    slot = h;
    return -1;
  }

  void Insert(unsigned prefix, unsigned slot, std::uint32_t key, unsigned code) {
    const std::uint32_t entry = (key << 12) | code;
    slots_[slot] = entry;
    recent_[prefix] = (recent_[prefix] << 32) | entry;
  }

private:
  std::array<std::uint32_t, kSlots> slots_;
  std::array<std::uint64_t, kMaxCode + 1> recent_;
};

// Index of the first pixel at or above the limit, or the row's size.
std::size_t FirstOutOfTable(std::span<const std::uint8_t> row, unsigned limit) {
  if (limit > 0xFF) return row.size();
  unsigned largest = 0;
  for (std::uint8_t p : row) largest = std::max<unsigned>(largest, p);
  if (largest < limit) return row.size();
  return static_cast<std::size_t>(std::find_if(row.begin(), row.end(), [&](std::uint8_t p) { return p >= limit; }) -
                                  row.begin());
}

}  // namespace

EncodeStatus TLZWEncoder::Compress(Job& job) {
  THashTable table;
  const unsigned clear = job.clearCode;
  unsigned nextFree = clear + 2;
  unsigned maxCode = (1u << job.codeSize) - 1;

  auto restart = [&] {
    job.Output(clear);
    job.codeSize = job.initCodeSize;
    maxCode = (1u << job.codeSize) - 1;
    table.Clear(nextFree);
    nextFree = clear + 2;
  };
  // Emits a code, then widens the codes once the next free code no longer
  // fits (12 bits is the widest; the table is restarted before it overflows).
  auto emit = [&](unsigned code) {
    job.Output(code);
    if (nextFree > maxCode && job.codeSize < 12) {
      ++job.codeSize;
      maxCode = job.codeSize == 12 ? kMaxCode + 1 : (1u << job.codeSize) - 1;
    }
  };

  job.Output(clear);
  table.Clear(kMaxCode + 1);
  std::span<const std::uint8_t> row = job.NextRow();
  unsigned prefix = row[0];
  if (prefix >= job.colorLimit) return EncodeStatus::ColorNotInTable;
  std::size_t i = 1;
  for (;;) {
    // Pixels are checked a row at a time; the frame stops at the first one
    // outside the table, as it would pixel by pixel.
    const std::size_t valid = FirstOutOfTable(row, job.colorLimit);
    const std::size_t end = std::max(valid, i);
    for (; i < end; ++i) {
      const unsigned c = row[i];
      const std::uint32_t key = (prefix << 8) | c;
      unsigned slot;
      const int code = table.Lookup(prefix, key, slot);
      if (code >= 0) {
        prefix = static_cast<unsigned>(code);
        continue;
      }
      emit(prefix);
      if (nextFree <= kMaxCode - 1) {
        table.Insert(prefix, slot, key, nextFree);
        ++nextFree;
      } else {
        restart();
      }
      prefix = c;
    }
    if (valid < row.size()) return EncodeStatus::ColorNotInTable;
    row = job.NextRow();
    if (row.empty()) break;
    i = 0;
  }
  emit(prefix);
  return EncodeStatus::Ok;
}

// ---------------------------------------------------------------------------
// Run-length

namespace {

unsigned IntegerSqrt(unsigned x) {
  if (x < 2) return x;
  unsigned r = 1;
  for (unsigned v = x; v != 0; v >>= 2) r <<= 1;
  for (;;) {
    unsigned next = (x / r + r) / 2;
    if (next == r || next == r + 1) return r;
    r = next;
  }
}

// Codes needed for `count` pixels of one value when runs of 1, 2, 3, ... are
// built afresh, with at most `maxRuns` run codes before the table fills.
unsigned TriangleCount(unsigned count, unsigned maxRuns) {
  unsigned cost = 0;
  const unsigned perGroup = maxRuns * (maxRuns + 1) / 2;
  cost += (count / perGroup) * maxRuns;
  count %= perGroup;
  if (count > 0) {
    unsigned n = IntegerSqrt(count);
    while (n * (n + 1) >= 2 * count) --n;
    while (n * (n + 1) < 2 * count) ++n;
    cost += n;
  }
  return cost;
}

// The decoder defines code clear + k as a run of k pixels when it meets that
// code one step before it is defined (the string plus its own first pixel), so
// runs grow by one pixel per code after a clear.
class RunCoder {
public:
  explicit RunCoder(TGIFEncoder::Job& job)
      : job_(job),
        clear_(job.clearCode),
        maxRuns_(kMaxCode - (job.clearCode + 2)),
        bumpDefault_(job.clearCode - 1),
        clearLimitDefault_(job.initCodeSize - 1 <= 3 ? 9 : job.clearCode - 2) {}

  void Clear() {
    bump_ = bumpDefault_;
    clearLimit_ = clearLimitDefault_;
    count_ = 0;
    tableLen_ = 0;
    job_.Output(clear_);
    job_.codeSize = job_.initCodeSize;
  }

  void Flush(unsigned pixel, unsigned n) {
    if (n == 1)
      Plain(pixel);
    else if (count_ == 0)
      FromClear(pixel, n);
    else if (tableLen_ > 1 && tablePixel_ == pixel)
      WithTable(pixel, n);
    else
      ClearOrRepeat(pixel, n);
  }

private:
  void Plain(unsigned code) {
    job_.Output(code);
    ++count_;
    if (count_ >= bump_) {
      bump_ += 1u << job_.codeSize;
      ++job_.codeSize;
    }
    if (count_ >= clearLimit_) Clear();
  }

  void RestoreClearLimit() {
    clearLimit_ = clearLimitDefault_;
    if (count_ >= clearLimit_) Clear();
  }

  void FromClear(unsigned pixel, unsigned n) {
    clearLimit_ = maxRuns_;
    tablePixel_ = pixel;
    unsigned k = 1;
    while (n > 0) {
      if (k == 1) {
        tableLen_ = 1;
        Plain(pixel);
        --n;
      } else if (n >= k) {
        tableLen_ = k;
        Plain(clear_ + k);
        n -= k;
      } else {
        ++tableLen_;
        Plain(n == 1 ? pixel : clear_ + n);
        n = 0;
      }
      k = count_ == 0 ? 1 : k + 1;
    }
    RestoreClearLimit();
  }

  void ClearOrRepeat(unsigned pixel, unsigned n) {
    if (1 + TriangleCount(n, maxRuns_) < n) {
      Clear();
      FromClear(pixel, n);
    } else {
      for (; n > 0; --n) Plain(pixel);
    }
  }

  void WithTable(unsigned pixel, unsigned n) {
    unsigned reps = n / tableLen_;
    unsigned rest = n % tableLen_;
    unsigned restCodes = rest > 0 ? 1 : 0;
    if (count_ + reps + restCodes > maxRuns_) {
      reps = maxRuns_ - count_;
      rest = n - reps * tableLen_;
      restCodes = 1 + TriangleCount(rest, maxRuns_);
    }
    if (1 + TriangleCount(n, maxRuns_) < reps + restCodes) {
      Clear();
      FromClear(pixel, n);
      return;
    }
    clearLimit_ = maxRuns_;
    for (; reps > 0; --reps) Plain(clear_ + tableLen_);
    if (rest > 0) {
      if (count_ == 0)
        FromClear(pixel, rest);
      else if (rest == 1)
        Plain(pixel);
      else
        Plain(clear_ + rest);
    }
    RestoreClearLimit();
  }

  TGIFEncoder::Job& job_;
  const unsigned clear_;
  const unsigned maxRuns_;
  const unsigned bumpDefault_;
  const unsigned clearLimitDefault_;
  unsigned bump_ = 0;
  unsigned clearLimit_ = 0;
  unsigned count_ = 0;     // codes since the last clear
  unsigned tableLen_ = 0;  // longest run code defined since the last clear
  unsigned tablePixel_ = 0;
};

}  // namespace

EncodeStatus TRLEEncoder::Compress(Job& job) {
  RunCoder coder(job);
  coder.Clear();
  unsigned runPixel = 0;
  unsigned runCount = 0;
  for (std::span<const std::uint8_t> row = job.NextRow(); !row.empty(); row = job.NextRow()) {
    for (std::uint8_t p : row) {
      if (p >= job.colorLimit) return EncodeStatus::ColorNotInTable;
      if (runCount > 0 && p != runPixel) {
        coder.Flush(runPixel, runCount);
        runCount = 0;
      }
      runPixel = p;
      ++runCount;
    }
  }
  if (runCount > 0) coder.Flush(runPixel, runCount);
  return EncodeStatus::Ok;
}

bool RemapLZWImageData(std::span<const std::uint8_t> data, const std::array<std::uint8_t, 256>& map,
                       int bitsPerPixel, int colorCount, std::vector<std::uint8_t>& out) {
  if (data.size() < 3) return false;
  const int minCodeSize = data[0];
  if (minCodeSize != std::clamp(bitsPerPixel, 2, 8)) return false;
  const unsigned limit = std::min(static_cast<unsigned>(std::max(colorCount, 0)), 1u << minCodeSize);
  // The codes without the sub-blocks' length bytes; the encoder fills every sub-block but the last.
  std::vector<std::uint8_t> codes;
  codes.reserve(data.size());
  std::size_t at = 1;
  for (;;) {
    if (at >= data.size()) return false;
    const std::size_t length = data[at];
    if (length == 0) break;
    if (at + 1 + length >= data.size()) return false;  // the terminator at least follows
    if (length != 255 && data[at + 1 + length] != 0) return false;
    codes.insert(codes.end(), data.begin() + static_cast<std::ptrdiff_t>(at + 1),
                 data.begin() + static_cast<std::ptrdiff_t>(at + 1 + length));
    at += 1 + length;
  }
  if (at + 1 != data.size()) return false;

  // Codes are read least significant bit first, eight bytes at a time (the buffer is padded), and
  // written the same way, each as wide as it was, so every code keeps its place. No step branches
  // on what a code holds: in noise single pixels and strings follow each other at random.
  const std::size_t payload = codes.size(), totalBits = payload * 8;
  codes.resize(payload + 8, 0);
  std::vector<std::uint8_t> mapped(payload + 16, 0);
  const std::uint8_t* const in = codes.data();
  std::uint8_t* put = mapped.data();
  std::uint64_t acc = 0;
  unsigned accBits = 0;

  const unsigned clear = 1u << minCodeSize, end = clear + 1;
  // Every code's value as written: single pixels mapped, the rest as they are.
  std::array<std::uint16_t, kMaxCode + 1> to;
  for (unsigned c = 0; c <= kMaxCode; ++c) to[c] = static_cast<std::uint16_t>(c < clear ? map[c & 0xFF] : c);
  // Every code met; the single pixels among them are checked against the map at the end.
  std::array<std::uint8_t, kMaxCode + 1> seen{};

  // The encoder's own steps (see TLZWEncoder::Compress), replayed over its output: after a clear,
  // codes of one width follow until the next free code passes the widest code of that width.
  const int initWidth = minCodeSize + 1;
  std::size_t bit = 0;
  auto next = [&](int width) {
    std::uint64_t w;
    std::memcpy(&w, in + bit / 8, 8);
    const auto code = static_cast<unsigned>((w >> (bit % 8)) & ((1u << width) - 1));
    bit += static_cast<std::size_t>(width);
    acc |= static_cast<std::uint64_t>(to[code]) << accBits;
    accBits += static_cast<unsigned>(width);
    // Whole bytes go out; at most 7 bits stay, so a code of 12 never overflows the accumulator.
    std::memcpy(put, &acc, 8);
    const unsigned bytes = accBits / 8;
    put += bytes;
    acc >>= bytes * 8;
    accBits %= 8;
    seen[code] = 1;
    return code;
  };
  if (totalBits < static_cast<std::size_t>(initWidth) || next(initWidth) != clear) return false;
  bool done = false, bad = false;
  while (!done && !bad) {
    // A clear has just been read.
    int width = initWidth;
    unsigned nextFree = clear + 2;
    for (;;) {
      // Codes read while nextFree runs up to `last` have this width.
      const unsigned last = width == 12 ? kMaxCode : (1u << width);
      if (bit + static_cast<std::size_t>(width) * (last - nextFree + 1) > totalBits) {
        // The data ends inside this run: each code is checked against the end.
        for (; nextFree <= last; ++nextFree) {
          if (bit + static_cast<std::size_t>(width) > totalBits) return false;
          const unsigned code = next(width);
          if (code == end) break;
          bad |= code == clear || (code > end && code >= nextFree);
        }
        if (nextFree > last) return false;
        done = true;
        break;
      }
      for (; nextFree <= last; ++nextFree) {
        const unsigned code = next(width);
        if (code == end) break;
        // A string code must already be defined; after a clear the first is a single pixel.
        bad |= (code == clear) | ((code > end) & (code >= nextFree));
      }
      if (nextFree <= last) {
        done = true;
        break;
      }
      if (width == 12) {
        // The table is full: a clear follows, or the end.
        if (bit + 12 > totalBits) return false;
        const unsigned code = next(12);
        if (code == end) done = true;
        else if (code != clear) bad = true;
        break;
      }
      ++width;
    }
  }
  if (bad) return false;
  // What follows the end code is the last byte's padding, all zero bits.
  if ((bit + 7) / 8 != payload || (bit % 8 != 0 && (in[bit / 8] >> (bit % 8)) != 0)) return false;
  // The single pixels that occur: kept apart by the map and inside the table.
  std::array<bool, 256> taken{};
  for (unsigned c = 0; c < clear; ++c) {
    if (!seen[c]) continue;
    const std::uint8_t m = map[c];
    if (m >= limit || taken[m]) return false;
    taken[m] = true;
  }
  if (accBits > 0) *put++ = static_cast<std::uint8_t>(acc);

  out.assign(data.begin(), data.end());
  std::size_t copied = 0;
  for (at = 1; data[at] != 0; at += 1 + data[at]) {
    std::copy_n(mapped.begin() + static_cast<std::ptrdiff_t>(copied), data[at],
                out.begin() + static_cast<std::ptrdiff_t>(at + 1));
    copied += data[at];
  }
  return true;
}

EncodeStatus EncodeImageData(int compression, std::vector<std::uint8_t>& out, int bitsPerPixel,
                             int colorCount, std::span<const std::uint8_t> pixels,
                             bool interlaced, int height, int width) {
  if (compression == 1) {
    TRLEEncoder encoder;
    return encoder.Encode(out, bitsPerPixel, colorCount, pixels, interlaced, height, width);
  }
  TLZWEncoder encoder;
  return encoder.Encode(out, bitsPerPixel, colorCount, pixels, interlaced, height, width);
}

}  // namespace gif
