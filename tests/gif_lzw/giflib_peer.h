// giflib as an independent peer of the LZW coders: it decodes what our
// encoders write and encodes pixels for our decoder, all in memory. Shared by
// the tests and the benchmark of the LZW coders.
#pragma once

#include <gif_lib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace giflib_peer {

struct MemoryIn {
  std::span<const std::uint8_t> data;
  std::size_t pos = 0;
};

inline int ReadMemory(GifFileType* gif, GifByteType* buf, int len) {
  auto* in = static_cast<MemoryIn*>(gif->UserData);
  std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(len), in->data.size() - in->pos);
  std::memcpy(buf, in->data.data() + in->pos, n);
  in->pos += n;
  return static_cast<int>(n);
}

inline int WriteMemory(GifFileType* gif, const GifByteType* buf, int len) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(gif->UserData);
  out->insert(out->end(), buf, buf + len);
  return len;
}

// A grey ramp of 2^bits entries; only the indices matter here.
inline ColorMapObject* MakeColorMap(int bits) {
  std::vector<GifColorType> colors(1u << bits);
  for (std::size_t i = 0; i < colors.size(); ++i) {
    auto v = static_cast<GifByteType>(i * 255 / std::max<std::size_t>(1, colors.size() - 1));
    colors[i] = {v, v, v};
  }
  return GifMakeMapObject(static_cast<int>(colors.size()), colors.data());
}

// A minimal GIF file around one frame's table-based image data: header,
// global table of 2^bits entries, image descriptor, the data, trailer.
inline std::vector<std::uint8_t> WrapInGif(std::span<const std::uint8_t> imageData, int width,
                                           int height, int bits, bool interlaced) {
  std::vector<std::uint8_t> f = {'G', 'I', 'F', '8', '9', 'a'};
  auto u16 = [&](int v) {
    f.push_back(static_cast<std::uint8_t>(v & 0xFF));
    f.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  u16(width);
  u16(height);
  f.push_back(static_cast<std::uint8_t>(0x80 | ((bits - 1) << 4) | (bits - 1)));
  f.push_back(0);
  f.push_back(0);
  for (int i = 0; i < (1 << bits) * 3; ++i) f.push_back(static_cast<std::uint8_t>(i));
  f.push_back(0x2C);
  u16(0);
  u16(0);
  u16(width);
  u16(height);
  f.push_back(interlaced ? 0x40 : 0x00);
  f.insert(f.end(), imageData.begin(), imageData.end());
  f.push_back(0x3B);
  return f;
}

// Decodes the first frame of a GIF file into rows top to bottom (giflib puts
// interlaced rows in place). False when giflib refuses the file.
inline bool Decode(std::span<const std::uint8_t> file, std::vector<std::uint8_t>& pixels) {
  MemoryIn in{file};
  int error = 0;
  GifFileType* gif = DGifOpen(&in, ReadMemory, &error);
  if (gif == nullptr) return false;
  bool ok = DGifSlurp(gif) == GIF_OK && gif->ImageCount >= 1;
  if (ok) {
    const SavedImage& image = gif->SavedImages[0];
    std::size_t n = static_cast<std::size_t>(image.ImageDesc.Width) *
                    static_cast<std::size_t>(image.ImageDesc.Height);
    pixels.assign(image.RasterBits, image.RasterBits + n);
  }
  DGifCloseFile(gif, &error);
  return ok;
}

// Writes one frame with giflib and returns the whole file. Interlaced frames
// are handed over in the order of the four passes, as giflib expects.
inline std::vector<std::uint8_t> EncodeFile(std::span<const std::uint8_t> pixels, int width,
                                            int height, int bits, bool interlaced) {
  std::vector<std::uint8_t> out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, WriteMemory, &error);
  if (gif == nullptr) return {};
  ColorMapObject* map = MakeColorMap(bits);
  bool ok = EGifPutScreenDesc(gif, width, height, bits, 0, map) == GIF_OK &&
            EGifPutImageDesc(gif, 0, 0, width, height, interlaced, nullptr) == GIF_OK;
  std::vector<GifPixelType> row(static_cast<std::size_t>(width));
  auto put = [&](int y) {
    std::memcpy(row.data(), pixels.data() + static_cast<std::size_t>(y) * width,
                static_cast<std::size_t>(width));
    ok = ok && EGifPutLine(gif, row.data(), width) == GIF_OK;
  };
  if (interlaced) {
    static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
      for (int y = kStart[pass]; y < height; y += kStep[pass]) put(y);
  } else {
    for (int y = 0; y < height; ++y) put(y);
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  if (!ok) return {};
  return out;
}

// The table-based image data of a file written by EncodeFile: after the
// 13-byte header, the global table and the 10-byte image descriptor, up to the
// trailer.
inline std::vector<std::uint8_t> ImageDataOf(std::span<const std::uint8_t> file, int bits) {
  std::size_t start = 13 + 3 * (std::size_t{1} << bits) + 10;
  if (file.size() < start + 1 || file[start - 10] != 0x2C) return {};
  return {file.begin() + static_cast<std::ptrdiff_t>(start), file.end() - 1};
}

}  // namespace giflib_peer
