// Feeds arbitrary bytes to the GIF reader. Whatever loads is rendered, saved
// and read back, so the writer and the renderer see hostile models too.
#include <cstddef>
#include <cstdint>
#include <string>

#include "gif/gifimage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  gif::TGIFImage image;
  // Keeps each run small; the limit itself is what is being exercised.
  image.MaxFramePixels = 1u << 22;
  image.OnWarning = [](const void*, int, const std::string&) {};
  try {
    image.LoadFromMemory({data, size});
  } catch (const gif::GIFException&) {
    return 0;
  }
  try {
    for (int i = 0; i < image.Images().GetCount() && i < 4; ++i) image.Images().GetFrame(i)->GetBitmap();
    if (image.IsEmpty()) return 0;
    image.GetBitmap();
    const std::vector<std::uint8_t> saved = image.SaveToMemory();
    gif::TGIFImage again;
    again.MaxFramePixels = 1u << 22;
    again.LoadFromMemory(saved);
  } catch (const gif::GIFException& e) {
    // A model that loaded must also save and load again; only a still picture
    // too large for the frame limit may be refused.
    if (std::string(e.what()) != gif::texts::FrameTooLarge) __builtin_trap();
  }
  return 0;
}
