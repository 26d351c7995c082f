// Feeds arbitrary bytes to the GIF reader. Whatever loads is drawn as the
// editor draws it: each frame made whole and rendered as the document window
// and the frame strip make it (charged against the budget first, as they
// charge), the still picture, the frames drawn onto a canvas; then saved and
// read back, so the writer and the renderer see hostile models too. The
// budget is small, so a forged size is refused at once; a load that takes
// more than its budget is a finding.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "gif/gifimage.h"

namespace {

constexpr std::uint64_t kBudget = 16u << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  gif::TGIFImage image;
  image.MemoryBudget = kBudget;
  image.OnWarning = [](const void*, int, const std::string&) {};
  try {
    image.LoadFromMemory({data, size});
  } catch (const gif::GIFException&) {
    return 0;
  }
  try {
    for (int i = 0; i < image.Images().GetCount(); ++i) {
      gif::TGIFSubImage& frame = *image.Images().GetFrame(i);
      if (frame.IsEmpty()) continue;
      // The window's picture and the strip's copy, as the editor charges them.
      const gif::TGIFMemoryCharge shown(image, std::uint64_t(frame.GetWidth()) * frame.GetHeight() * 5);
      volatile std::uint8_t first = std::as_const(frame).Data()[0];
      (void)first;
      frame.GetBitmap();
    }
  } catch (const gif::GIFException& e) {
    // Only the budget may refuse a picture of a model that loaded.
    if (std::string(e.what()) != gif::texts::MemoryBudgetExceeded) __builtin_trap();
  }
  try {
    if (image.IsEmpty()) return 0;
    image.GetBitmap();
    gif::Bitmap canvas(64, 48, gif::PixelFormat::pf32bit);
    for (int i = 0; i < image.Images().GetCount(); ++i)
      image.Images().GetFrame(i)->Draw(canvas, gif::TRect{0, 0, 64, 48}, true, (i & 1) != 0);
    const std::vector<std::uint8_t> saved = image.SaveToMemory();
    gif::TGIFImage again;
    again.MemoryBudget = image.MemoryBudget;
    again.LoadFromMemory(saved);
  } catch (const gif::GIFException& e) {
    // A model that loaded must also draw, save and load again; only a still
    // picture too large for the frame limit may be refused.
    if (std::string(e.what()) != gif::texts::FrameTooLarge) __builtin_trap();
  }
  return 0;
}
