// Edits as the editor makes them, driven by arbitrary bytes: indexed bitmaps
// (1, 4 and 8 bits, any palette) imported as frames, frames moved and resized,
// drawn scaled, tiled and through their masks, merged, cropped and optimised,
// then saved and read back.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "gif/gifimage.h"
#include "gif/optimize/optimize.h"

namespace {

class Input {
public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool More() const { return at_ < size_; }
  std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  int Upto(int n) { return n > 0 ? Byte() % n : 0; }

private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

gif::Bitmap IndexedBitmap(Input& in) {
  static const gif::PixelFormat formats[] = {gif::PixelFormat::pf1bit, gif::PixelFormat::pf4bit,
                                             gif::PixelFormat::pf8bit};
  const gif::PixelFormat format = formats[in.Upto(3)];
  const int w = 1 + in.Upto(40), h = 1 + in.Upto(40);
  gif::Bitmap bitmap(w, h, format);
  gif::Palette palette(static_cast<std::size_t>(1 + in.Upto(256)));
  for (gif::Rgb& c : palette) c = gif::Rgb{in.Byte(), in.Byte(), in.Byte()};
  bitmap.Colors() = palette;
  for (int y = 0; y < h; ++y) {
    std::uint8_t* row = bitmap.Scanline(y);
    for (std::size_t x = 0; x < bitmap.RowBytes(); ++x) row[x] = in.Byte();
  }
  return bitmap;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in(data, size);
  gif::TGIFImage image;
  image.OnWarning = [](const void*, int, const std::string&) {};
  try {
    const int frames = 1 + in.Upto(4);
    for (int i = 0; i < frames; ++i) image.Add(IndexedBitmap(in));
    gif::Bitmap canvas(32, 24, gif::PixelFormat::pf32bit);
    while (in.More()) {
      const int count = image.Images().GetCount();
      if (count == 0) break;
      gif::TGIFSubImage* frame = image.Images().GetFrame(in.Upto(count));
      switch (in.Upto(8)) {
        case 0: frame->SetBounds(in.Upto(64), in.Upto(64), in.Upto(80), in.Upto(80)); break;
        case 1: frame->Draw(canvas, gif::TRect{in.Upto(8), in.Upto(8), 8 + in.Upto(40), 8 + in.Upto(30)}, true, in.Byte() & 1); break;
        case 2: {
          auto* gce = new gif::TGIFGraphicControlExtension(frame);
          frame->Extensions().Add(gce);
          gce->SetTransparentColorIndex(in.Byte());
          gce->SetTransparent(in.Byte() & 1);
          gce->SetDisposal(in.Byte());
          break;
        }
        case 3: frame->Merge(count > 1 ? image.Images().GetFrame(0) : nullptr); break;
        case 4: frame->Crop(); break;
        case 5: gif::Optimize(image, in.Byte() & 0x0F); break;
        case 6: gif::OptimizeColorMaps(image); break;
        default: image.Draw(canvas, gif::TRect{0, 0, 32, 24}); break;
      }
    }
    if (image.IsEmpty()) return 0;
    const std::vector<std::uint8_t> saved = image.SaveToMemory();
    gif::TGIFImage again;
    again.OnWarning = image.OnWarning;
    again.LoadFromMemory(saved);
  } catch (const gif::GIFException&) {
    // Refusals with the library's texts are answers, not faults.
  }
  return 0;
}
