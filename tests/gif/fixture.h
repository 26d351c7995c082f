// Builds small GIF streams byte by byte, so each test shows the bytes it feeds
// the reader. The image data uses literal codes only (a clear code before the
// code width would grow), which any decoder reads and nobody's encoder is needed.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "gif/gifimage.h"

namespace giftest {

using Bytes = std::vector<std::uint8_t>;

inline void Append(Bytes& out, std::initializer_list<int> bytes) {
  for (int b : bytes) out.push_back(static_cast<std::uint8_t>(b));
}

inline void Word(Bytes& out, int value) { Append(out, {value & 0xFF, (value >> 8) & 0xFF}); }

// "GIF89a", the screen and, when colors is non-empty, a global table of
// 2^bits entries (the given colours as 0xRRGGBB, then black).
inline Bytes Header(int width, int height, std::vector<std::uint32_t> colors = {0x000000, 0xFFFFFF},
                    const char* version = "89a", int background = 0) {
  Bytes out{'G', 'I', 'F'};
  for (int i = 0; i < 3; ++i) out.push_back(static_cast<std::uint8_t>(version[i]));
  Word(out, width);
  Word(out, height);
  const int bits = std::max(1, gif::ColorsToBits(static_cast<int>(colors.size())));
  out.push_back(static_cast<std::uint8_t>(colors.empty() ? 0 : 0x80 | ((bits - 1) << 4) | (bits - 1)));
  Append(out, {background, 0});
  if (!colors.empty()) {
    colors.resize(std::size_t{1} << bits, 0);
    for (std::uint32_t c : colors) Append(out, {int(c >> 16 & 0xFF), int(c >> 8 & 0xFF), int(c & 0xFF)});
  }
  return out;
}

// Min code size byte, sub-blocks of literal codes and the terminator.
inline Bytes LiteralLZW(const Bytes& pixels, int minCodeSize = 2, bool endCode = true, int subBlock = 255) {
  const int clear = 1 << minCodeSize, end = clear + 1, width = minCodeSize + 1;
  // Codes until the next free code would reach 2^width.
  const int room = (1 << width) - (clear + 2);
  Bytes data;
  std::uint32_t acc = 0;
  int bits = 0;
  auto put = [&](int code) {
    acc |= static_cast<std::uint32_t>(code) << bits;
    bits += width;
    while (bits >= 8) {
      data.push_back(static_cast<std::uint8_t>(acc));
      acc >>= 8;
      bits -= 8;
    }
  };
  int sinceClear = 0;
  put(clear);
  for (std::uint8_t p : pixels) {
    if (sinceClear == room) {
      put(clear);
      sinceClear = 0;
    }
    put(p);
    ++sinceClear;
  }
  if (endCode) put(end);
  if (bits > 0) data.push_back(static_cast<std::uint8_t>(acc));
  Bytes out{static_cast<std::uint8_t>(minCodeSize)};
  for (std::size_t at = 0; at < data.size(); at += static_cast<std::size_t>(subBlock)) {
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(subBlock), data.size() - at);
    out.push_back(static_cast<std::uint8_t>(n));
    out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(at), data.begin() + static_cast<std::ptrdiff_t>(at + n));
  }
  out.push_back(0);
  return out;
}

// An image descriptor (no local table unless given) and its literal data.
// Rows in the four-pass order of an interlaced image.
inline Bytes InterlacedOrder(const Bytes& pixels, int width, int height) {
  Bytes out;
  for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
    for (int y = start; y < height; y += step)
      out.insert(out.end(), pixels.begin() + y * width, pixels.begin() + (y + 1) * width);
  return out;
}

// codeSize 0 picks the local table's bits (at least 2).
inline Bytes Image(int left, int top, int width, int height, const Bytes& pixels, std::vector<std::uint32_t> local = {},
                   bool interlaced = false, int codeSize = 0) {
  Bytes out{0x2C};
  Word(out, left);
  Word(out, top);
  Word(out, width);
  Word(out, height);
  int packed = interlaced ? 0x40 : 0;
  const int bits = std::max(1, gif::ColorsToBits(static_cast<int>(local.size())));
  if (!local.empty()) packed |= 0x80 | (bits - 1);
  out.push_back(static_cast<std::uint8_t>(packed));
  if (!local.empty()) {
    local.resize(std::size_t{1} << bits, 0);
    for (std::uint32_t c : local) Append(out, {int(c >> 16 & 0xFF), int(c >> 8 & 0xFF), int(c & 0xFF)});
  }
  const Bytes data = LiteralLZW(interlaced ? InterlacedOrder(pixels, width, height) : pixels,
                                codeSize ? codeSize : std::max(2, bits));
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

inline Bytes GraphicControl(int packed, int delay, int transparentIndex) {
  Bytes out{0x21, 0xF9, 4, static_cast<std::uint8_t>(packed)};
  Word(out, delay);
  Append(out, {transparentIndex, 0});
  return out;
}

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

inline Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Collects warnings of an image.
struct Warnings {
  std::vector<std::string> texts;
  void Attach(gif::TGIFImage& image) {
    image.OnWarning = [this](const void*, int, const std::string& m) { texts.push_back(m); };
  }
  bool Has(const std::string& text) const {
    for (const auto& t : texts)
      if (t == text) return true;
    return false;
  }
};

}  // namespace giftest
