// Decodes arbitrary image data into a small frame, then encodes what came out
// with both encoders and decodes that again, which must give the same pixels.
// Input: width - 1, height - 1, flags (bit 0 interlaced), then the image data
// from its minimum code size byte on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "gif/lzw/lzw.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const int width = data[0] % 96 + 1;
  const int height = data[1] % 96 + 1;
  const bool interlaced = (data[2] & 1) != 0;
  std::span<const std::uint8_t> imageData(data + 3, size - 3);

  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height, 0);
  gif::LZWDecodeResult r = gif::DecodeLZW(imageData, pixels, width, height, interlaced);
  if (r.consumed > imageData.size() || r.decoded > pixels.size()) std::abort();
  if ((r.status == gif::LZWStatus::Ok || r.status == gif::LZWStatus::ExcessData) &&
      r.decoded != pixels.size())
    std::abort();

  int bits = imageData[0] >= 1 && imageData[0] <= 8 ? imageData[0] : 8;
  for (int compression : {0, 1}) {
    std::vector<std::uint8_t> encoded;
    if (gif::EncodeImageData(compression, encoded, bits, 1 << bits, pixels, interlaced, height,
                             width) != gif::EncodeStatus::Ok)
      std::abort();
    std::vector<std::uint8_t> again(pixels.size(), 0xAA);
    gif::LZWDecodeResult back = gif::DecodeLZW(encoded, again, width, height, interlaced);
    if (back.status != gif::LZWStatus::Ok || back.consumed != encoded.size() || again != pixels)
      std::abort();
  }
  return 0;
}
