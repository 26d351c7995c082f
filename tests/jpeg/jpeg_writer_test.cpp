// The JPEG writer: what libjpeg's decoder reads back, the options it honours,
// and errors that come back as exceptions with the old file kept.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "platform/jpeg/jpeg_writer.h"

namespace movinta::platform {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

struct Decoded {
  int width = 0, height = 0, components = 0;
  bool progressive = false;
  Bytes pixels;  // RGB or gray rows without padding
};

Decoded Decode(const Bytes& jpeg) {
  jpeg_decompress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&info, TRUE);
  jpeg_start_decompress(&info);
  Decoded d{int(info.output_width), int(info.output_height), info.output_components, bool(info.progressive_mode), {}};
  d.pixels.resize(std::size_t(d.width) * d.height * d.components);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = d.pixels.data() + std::size_t(info.output_scanline) * d.width * d.components;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return d;
}

// A 24-bit bitmap of smooth colour ramps (what JPEG keeps well), 30 x 17 so
// that rows carry padding.
gif::Bitmap Ramps(gif::PixelFormat format = gif::PixelFormat::pf24bit) {
  gif::Bitmap b(30, 17, format);
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      b.SetPixelColor(x, y, gif::RgbToColor({std::uint8_t(x * 8), std::uint8_t(y * 15), 128}));
  return b;
}

double MeanError(const gif::Bitmap& b, const Decoded& d) {
  double sum = 0;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) {
      const gif::Rgb want = gif::ColorToRgb(b.PixelColor(x, y));
      const std::uint8_t* got = &d.pixels[(std::size_t(y) * d.width + x) * 3];
      sum += std::abs(got[0] - want.red) + std::abs(got[1] - want.green) + std::abs(got[2] - want.blue);
    }
  return sum / (3.0 * b.Width() * b.Height());
}

TEST(JpegWriter, DecodesToThePictureInEveryPixelLayout) {
  const gif::Bitmap bgr = Ramps();
  const gif::Bitmap bgrx = Ramps(gif::PixelFormat::pf32bit);
  Bytes rgb;
  for (int y = 0; y < bgr.Height(); ++y)
    for (int x = 0; x < bgr.Width(); ++x) {
      const gif::Rgb c = gif::ColorToRgb(bgr.PixelColor(x, y));
      rgb.insert(rgb.end(), {c.red, c.green, c.blue});
    }
  const Bytes fromBgr = EncodeJpeg(PixelsOf(bgr));
  EXPECT_EQ(EncodeJpeg(PixelsOf(bgrx)), fromBgr);
  EXPECT_EQ(EncodeJpeg({rgb.data(), 30, 17, 90, JpegPixelLayout::Rgb}), fromBgr);

  const Decoded d = Decode(fromBgr);
  EXPECT_EQ(d.width, 30);
  EXPECT_EQ(d.height, 17);
  EXPECT_EQ(d.components, 3);
  EXPECT_FALSE(d.progressive);
  EXPECT_LT(MeanError(bgr, d), 3.0);
}

TEST(JpegWriter, HonoursQualityProgressiveGrayscaleAndDct) {
  const gif::Bitmap b = Ramps();
  auto encode = [&](JpegOptions o) { return EncodeJpeg(PixelsOf(b), o); };
  const Bytes standard = encode({});
  EXPECT_LT(encode({.Quality = 10}).size(), standard.size());
  EXPECT_EQ(encode({.Quality = 0}), encode({.Quality = 1}));
  EXPECT_EQ(encode({.Quality = 250}), encode({.Quality = 100}));
  EXPECT_TRUE(Decode(encode({.Progressive = true})).progressive);
  EXPECT_EQ(Decode(encode({.Grayscale = true})).components, 1);
  // Full colour resolution keeps a sharp red-blue edge that 4:2:0 smears.
  gif::Bitmap edge(16, 16, gif::PixelFormat::pf24bit);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) edge.SetPixelColor(x, y, (x + y) % 2 ? 0x0000FF : 0xFF0000);
  EXPECT_LT(MeanError(edge, Decode(EncodeJpeg(PixelsOf(edge), {.FullChroma = true}))) * 2,
            MeanError(edge, Decode(EncodeJpeg(PixelsOf(edge), {}))));
  const Bytes fast = encode({.FastDct = true});
  EXPECT_NE(fast, standard);
  EXPECT_LT(MeanError(b, Decode(fast)), 3.0);
}

TEST(JpegWriter, ErrorsComeBackAsExceptions) {
  const gif::Bitmap b = Ramps();
  JpegPixels none = PixelsOf(b);
  none.Width = 0;
  EXPECT_THROW(EncodeJpeg(none), JpegError);
  JpegPixels huge = PixelsOf(b);
  huge.Height = 70000;
  EXPECT_THROW(EncodeJpeg(huge), JpegError);
  EXPECT_THROW(PixelsOf(gif::Bitmap(2, 2, gif::PixelFormat::pf8bit)), JpegError);
}

TEST(JpegWriter, WritesFilesWholeOrNotAtAll) {
  const fs::path dir = fs::path(testing::TempDir()) / "jpeg-writer-test";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const gif::Bitmap b = Ramps();
  const fs::path file = dir / "frame 1.jpg";
  WriteJpegFile(file.string(), PixelsOf(b));
  std::ifstream in(file, std::ios::binary);
  const Bytes written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(written, EncodeJpeg(PixelsOf(b)));

  // A failed encode never touches the file; a missing folder is an error.
  JpegPixels bad = PixelsOf(b);
  bad.Width = 0;
  EXPECT_THROW(WriteJpegFile(file.string(), bad), JpegError);
  EXPECT_EQ(fs::file_size(file), written.size());
  EXPECT_THROW(WriteJpegFile((dir / "missing" / "x.jpg").string(), PixelsOf(b)), JpegError);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace movinta::platform
