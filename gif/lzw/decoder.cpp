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

LZWDecodeResult DecodeLZW(std::span<const std::uint8_t> data, std::span<std::uint8_t> pixels,
                          int width, int height, bool interlaced) {
  return {data.size(), LZWStatus::PrematureEnd, 0};
}

}  // namespace gif
