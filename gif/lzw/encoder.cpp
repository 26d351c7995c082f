#include "gif/lzw/lzw.h"

namespace gif {

struct TGIFEncoder::Job {};

EncodeStatus TGIFEncoder::Encode(std::vector<std::uint8_t>& out, int bitsPerPixel, int colorCount,
                                 std::span<const std::uint8_t> pixels, bool interlaced, int height,
                                 int width) {
  Job job;
  return Compress(job);
}

EncodeStatus TLZWEncoder::Compress(Job&) { return EncodeStatus::Ok; }
EncodeStatus TRLEEncoder::Compress(Job&) { return EncodeStatus::Ok; }

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
