// The imaging control: loads one image file at a time through GraphicsMagick, measures, resamples
// and hands out its pixels. Stands in for the closed imaging ActiveX control; leaves out its
// display, scanning, saving, printing, drawing and event surface, and every format outside the
// editor's extension table.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace movinta::platform {

// Result of the last operation; 0 means success, as the editor checks after each load.
enum ImagingError : std::uint16_t {
  kImagingOk = 0,
  kImagingFileNotFound = 1,     // missing, unreadable or a folder
  kImagingUnsupportedFormat = 2,  // extension or content outside the readable formats
  kImagingDecodeFailed = 3,     // corrupt or truncated data, or an image too large to hold
  kImagingNoImage = 4,          // an operation that needs a loaded image found none
  kImagingBadSize = 5,          // a resize to a width or height below 1
  kImagingTooLarge = 6,         // the picture would take more memory than the limit allows
};

// True when files with this extension ("png", ".PNG") can be loaded on this machine: the
// extension is in the editor's table of image formats and GraphicsMagick here reads it.
bool ImagingCanReadExtension(std::string_view extension);

// The extensions of the editor's table (without the dot, lower case) that this machine
// cannot read, in table order.
std::vector<std::string> ImagingUnreadableExtensions();

class ImagingControl {
public:
  ImagingControl();
  ~ImagingControl();
  ImagingControl(const ImagingControl&) = delete;
  ImagingControl& operator=(const ImagingControl&) = delete;

  // Loads the named file at once; the name is taken literally (no format prefixes, frame
  // selectors or pipes). A failed load leaves no image. Returns the new error code.
  std::uint16_t Load(const std::string& fileName);
  // As Load, but a format that can decode at a reduced size (JPEG) may do so, as long as the
  // picture keeps at least minSide pixels on each side where it has them. Width and Height then
  // tell the decoded size, OriginalWidth and OriginalHeight the file's.
  std::uint16_t LoadReduced(const std::string& fileName, int minSide);
  std::uint16_t ErrorCode() const { return error_; }
  // Bytes a load may take (0: no limit): the decoder's own pixels and the packed bitmap handed
  // out. A picture past it is refused (kImagingTooLarge) from its size alone, before decoding.
  void SetMemoryLimit(std::uint64_t bytes) { memoryLimit_ = bytes; }
  const std::string& FileName() const { return fileName_; }

  bool HasImage() const { return image_ != nullptr; }
  int Width() const;   // 0 without an image
  int Height() const;
  // The picture's size in the file, also after a reduced load or a resize; 0 without an image.
  int OriginalWidth() const;
  int OriginalHeight() const;

  // Resamples the loaded image to exactly width x height.
  std::uint16_t Resize(int width, int height);

  // The pixels as 32-bit words 0xAARRGGBB, rows top to bottom, Width() words a row; empty
  // without an image. On little-endian machines the bytes run B, G, R, A.
  std::vector<std::uint32_t> Pixels() const;

  // A packed device-independent bitmap: a 40-byte info header (32 bits a pixel, no colour
  // table) followed by the rows bottom to top; empty without an image.
  std::vector<std::uint8_t> PackedDib() const;

  void Clear();

private:
  struct Image;
  std::uint16_t DoLoad(const std::string& fileName, int minSide);

  Image* image_ = nullptr;
  std::uint16_t error_ = kImagingOk;
  std::uint64_t memoryLimit_ = 0;
  std::string fileName_;
};

}  // namespace movinta::platform
