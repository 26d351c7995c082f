// Small pixel pictures and hand-built code streams for the LZW coder tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <random>
#include <span>
#include <string>
#include <vector>

namespace lzw_fixtures {

enum class Content { Noise, Runs, Gradient, Solid };

inline const char* Name(Content c) {
  switch (c) {
    case Content::Noise: return "noise";
    case Content::Runs: return "runs";
    case Content::Gradient: return "gradient";
    case Content::Solid: return "solid";
  }
  return "?";
}

// width x height pixels below 2^bits.
inline std::vector<std::uint8_t> Picture(Content content, int width, int height, int bits,
                                         unsigned seed = 1) {
  std::vector<std::uint8_t> p(static_cast<std::size_t>(width) * height);
  const unsigned mask = (1u << bits) - 1;
  std::mt19937 rng(seed);
  switch (content) {
    case Content::Noise:
      for (auto& v : p) v = static_cast<std::uint8_t>(rng() & mask);
      break;
    case Content::Runs: {
      std::size_t i = 0;
      while (i < p.size()) {
        std::size_t len = 1 + rng() % 300;
        auto v = static_cast<std::uint8_t>(rng() & mask);
        for (; len > 0 && i < p.size(); --len) p[i++] = v;
      }
      break;
    }
    case Content::Gradient:
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
          p[static_cast<std::size_t>(y) * width + x] =
              static_cast<std::uint8_t>(((x / 7) + (y / 5)) & mask);
      break;
    case Content::Solid:
      for (auto& v : p) v = static_cast<std::uint8_t>(mask & 5);
      break;
  }
  return p;
}

// Packs codes least significant bit first, each with its width in bits.
struct Code {
  unsigned value;
  int bits;
};

inline std::vector<std::uint8_t> PackBits(std::initializer_list<Code> codes) {
  std::vector<std::uint8_t> out;
  std::uint64_t acc = 0;
  int n = 0;
  for (Code c : codes) {
    acc |= static_cast<std::uint64_t>(c.value) << n;
    n += c.bits;
    while (n >= 8) {
      out.push_back(static_cast<std::uint8_t>(acc));
      acc >>= 8;
      n -= 8;
    }
  }
  if (n > 0) out.push_back(static_cast<std::uint8_t>(acc));
  return out;
}

// Codes with the widths a GIF decoder expects them at: the width starts at
// minimum code size + 1, every code after the first since a clear defines one
// table entry, and the width grows once the next free code no longer fits.
inline std::vector<std::uint8_t> PackCodes(int minCodeSize, const std::vector<unsigned>& codes) {
  const unsigned clear = 1u << minCodeSize;
  int bits = minCodeSize + 1;
  unsigned next = clear + 2;
  bool first = true;
  std::vector<std::uint8_t> out;
  std::uint64_t acc = 0;
  int n = 0;
  for (unsigned code : codes) {
    acc |= static_cast<std::uint64_t>(code) << n;
    n += bits;
    while (n >= 8) {
      out.push_back(static_cast<std::uint8_t>(acc));
      acc >>= 8;
      n -= 8;
    }
    if (code == clear) {
      bits = minCodeSize + 1;
      next = clear + 2;
      first = true;
    } else if (code != clear + 1) {
      if (!first && next < 4096) ++next;
      if (next >= (1u << bits) && bits < 12) ++bits;
      first = false;
    }
  }
  if (n > 0) out.push_back(static_cast<std::uint8_t>(acc));
  return out;
}

// The minimum code size byte, the bytes cut into sub-blocks of `blockSize`
// (the last one shorter), and the 0 terminator.
inline std::vector<std::uint8_t> InSubBlocks(int minCodeSize, std::span<const std::uint8_t> bytes,
                                             std::size_t blockSize = 255) {
  std::vector<std::uint8_t> out{static_cast<std::uint8_t>(minCodeSize)};
  for (std::size_t i = 0; i < bytes.size(); i += blockSize) {
    std::size_t n = std::min(blockSize, bytes.size() - i);
    out.push_back(static_cast<std::uint8_t>(n));
    out.insert(out.end(), bytes.begin() + static_cast<std::ptrdiff_t>(i),
               bytes.begin() + static_cast<std::ptrdiff_t>(i + n));
  }
  out.push_back(0);
  return out;
}

// The data bytes of encoded image data, without the code size byte and the
// sub-block lengths. Assumes a well-formed block chain.
inline std::vector<std::uint8_t> Unblock(std::span<const std::uint8_t> imageData) {
  std::vector<std::uint8_t> out;
  std::size_t p = 1;
  while (p < imageData.size() && imageData[p] != 0) {
    std::size_t n = imageData[p++];
    out.insert(out.end(), imageData.begin() + static_cast<std::ptrdiff_t>(p),
               imageData.begin() + static_cast<std::ptrdiff_t>(p + n));
    p += n;
  }
  return out;
}

}  // namespace lzw_fixtures
