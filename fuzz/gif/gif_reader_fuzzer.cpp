// Feeds arbitrary bytes to the GIF reader. Whatever loads is drawn as a player
// would draw it (every frame rendered, the still picture, the frames drawn onto
// a canvas), saved and read back, so the writer and the renderer see hostile
// models too. The image's memory budget is kept well under the fuzzer's malloc
// limit, so a load that takes more than its budget is a finding.
#include <cstddef>
#include <cstdint>
#include <string>

#include "gif/gifimage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  gif::TGIFImage image;
  image.MemoryBudget = 256u << 20;
  image.OnWarning = [](const void*, int, const std::string&) {};
  try {
    image.LoadFromMemory({data, size});
  } catch (const gif::GIFException&) {
    return 0;
  }
  // Drawing and saving work through every declared pixel: past 16 Mi of them a
  // run takes seconds without telling more than the load did.
  std::uint64_t pixels = 0;
  for (int i = 0; i < image.Images().GetCount(); ++i)
    pixels += std::uint64_t(image.Images().GetFrame(i)->GetWidth()) * image.Images().GetFrame(i)->GetHeight();
  if (pixels > (16u << 20)) return 0;
  try {
    for (int i = 0; i < image.Images().GetCount(); ++i) image.Images().GetFrame(i)->GetBitmap();
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
