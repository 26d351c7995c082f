// JPEG files from true-colour pixels through libjpeg-turbo. Stands in for the
// class library's JPEG image class on the writing side: compression quality,
// progressive or baseline, grayscale, and the performance setting (accurate or
// fast DCT). Reading JPEG and the class's other options are left out.
//
// Errors of libjpeg (and of writing the file) raise JpegError with libjpeg's
// own text; libjpeg never ends the program. Files are written through a
// private temporary file beside the target and a rename, so a failed write
// leaves an existing file as it was.
//
//   movinta::platform::JpegOptions options;
//   options.Quality = 90;
//   movinta::platform::WriteJpegFile(path, movinta::platform::PixelsOf(bitmap), options);
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "gif/color/bitmap.h"

namespace movinta::platform {

class JpegError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Byte order of one pixel in the rows handed to the writer.
enum class JpegPixelLayout {
  Rgb,   // red, green, blue
  Bgr,   // blue, green, red (a 24-bit gif::Bitmap)
  Bgrx,  // blue, green, red and a fourth byte that is ignored (a 32-bit gif::Bitmap)
};

// Pixels the writer reads, rows top to bottom, stride bytes apart; the caller
// keeps them alive for the call.
struct JpegPixels {
  const std::uint8_t* Data = nullptr;
  int Width = 0;
  int Height = 0;
  std::size_t Stride = 0;
  JpegPixelLayout Layout = JpegPixelLayout::Rgb;
};

// The pixels of a 24- or 32-bit bitmap; other formats raise JpegError.
JpegPixels PixelsOf(const gif::Bitmap& bitmap);

struct JpegOptions {
  int Quality = 90;          // 1 (smallest) to 100 (best); values outside are taken as the nearest end
  bool Progressive = false;  // false: baseline sequential
  bool Grayscale = false;    // one luminance channel instead of three
  bool FastDct = false;      // false: the accurate DCT ("best quality"); true: the fast, less exact one
  // false: colour at half resolution in both directions (4:2:0, libjpeg's default); true: at full
  // resolution (4:4:4), which keeps the sharp colour edges of flat-colour pictures such as GIF
  // frames at the cost of larger files.
  bool FullChroma = false;
};

// The JPEG file's bytes. A size of 0 or above 65500 in either direction
// raises JpegError (libjpeg's limit).
std::vector<std::uint8_t> EncodeJpeg(const JpegPixels& pixels, const JpegOptions& options = {});

// Encodes and writes the file at path (bytes as the file system takes them).
void WriteJpegFile(const std::string& path, const JpegPixels& pixels, const JpegOptions& options = {});

}  // namespace movinta::platform
