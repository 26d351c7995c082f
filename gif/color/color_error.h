// The one exception type of the bitmap and colour-reduction code. Its message is
// the library's own text (the DIB texts below); the GIF library's GIFException
// can catch or wrap it, since this folder depends on nothing else in gif/.
#pragma once

#include <stdexcept>
#include <string>

namespace gif {

class ColorError : public std::runtime_error {
public:
  explicit ColorError(const std::string& message) : std::runtime_error(message) {}
};

[[noreturn]] void ColorErrorRaise(const char* message);

namespace color_texts {
inline constexpr const char* UnsupportedPixelFormat = "Unsupported PixelFormat";
inline constexpr const char* InvalidImageDimensions = "Invalid image dimensions";
inline constexpr const char* NoDIB = "Image has no DIB";
inline constexpr const char* ScanlineOutOfRange = "Scan line index out of range";
inline constexpr const char* InvalidBitmap = "Bitmap image is not valid";
inline constexpr const char* DIBAllocationFailed = "Failed to allocate memory for GIF DIB";
}  // namespace color_texts

}  // namespace gif
