#include "gif/color/dib.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "gif/color/color_error.h"

namespace gif {
namespace {

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const ColorError& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(DIBWriter, BuildsEightBitRowsThatReadBackBottomUp) {
  Bitmap target;
  const Palette palette = {{10, 20, 30}, {40, 50, 60}};
  {
    TDIBWriter writer(target, &palette, 2, 3, PixelFormat::pf8bit);
    EXPECT_EQ(writer.RowBytes(), 4u);
    std::uint8_t* top = writer.GetScanline(0);
    top[0] = 1, top[1] = 0, top[2] = 1;
    std::uint8_t* bottom = writer.GetScanline(1);
    bottom[0] = 0, bottom[1] = 1, bottom[2] = 0;
    EXPECT_TRUE(target.Empty()) << "the target changes only when the writer hands over";
  }
  ASSERT_EQ(target.Width(), 3);
  ASSERT_EQ(target.Height(), 2);
  EXPECT_EQ(target.Format(), PixelFormat::pf8bit);
  EXPECT_EQ(target.Colors(), palette);
  EXPECT_EQ(target.PixelIndex(2, 0), 1);

  std::uint32_t headerSize = 0, imageSize = 0;
  QueryDIBSizes(target, headerSize, imageSize, PixelFormat::pf8bit);
  EXPECT_EQ(headerSize, 1064u);
  EXPECT_EQ(imageSize, 8u);
  BitmapInfoHeader header;
  std::vector<RgbQuad> table;
  std::vector<std::uint8_t> bits(imageSize);
  ASSERT_TRUE(ReadBitmapDIB(target, nullptr, header, table, PixelFormat::pf8bit, bits.data()));
  EXPECT_EQ(header.biBitCount, 8);
  EXPECT_EQ(header.biHeight, 2);
  // Row 0 of the picture is the last row of the block.
  EXPECT_EQ(std::vector<std::uint8_t>(bits.begin() + 4, bits.end()), (std::vector<std::uint8_t>{1, 0, 1, 0}));
  EXPECT_EQ(std::vector<std::uint8_t>(bits.begin(), bits.begin() + 4), (std::vector<std::uint8_t>{0, 1, 0, 0}));
  EXPECT_EQ(table[1], (RgbQuad{60, 50, 40, 0})) << "colour tables store blue first";
}

TEST(DIBWriter, PadsASixteenColourPaletteWithBlack) {
  Palette palette;
  for (int i = 0; i < 16; ++i) palette.push_back(Rgb{std::uint8_t(i + 1), 0, 0});
  Bitmap target;
  TDIBWriter(target, &palette, 1, 1, PixelFormat::pf8bit).GetScanline(0)[0] = 15;
  BitmapInfoHeader header;
  std::vector<RgbQuad> table;
  std::uint8_t bits[4];
  ReadBitmapDIB(target, nullptr, header, table, PixelFormat::pf8bit, bits);
  ASSERT_EQ(table.size(), 256u);
  EXPECT_EQ(header.biClrImportant, 16u);
  EXPECT_EQ(table[15].red, 16);
  for (std::size_t i = 16; i < 256; ++i) ASSERT_EQ(table[i], RgbQuad{}) << i;
}

TEST(DIB, RaisesTheLibraryTexts) {
  Bitmap target;
  const Bitmap empty;
  const Bitmap picture(2, 2, PixelFormat::pf24bit);
  struct Case {
    const char* what;
    std::function<void()> run;
    const char* text;
  } cases[] = {
      {"4-bit writer", [&] { TDIBWriter(target, nullptr, 2, 2, PixelFormat::pf4bit); }, "Unsupported PixelFormat"},
      {"zero width", [&] { TDIBWriter(target, nullptr, 2, 0, PixelFormat::pf8bit); }, "Invalid image dimensions"},
      {"negative height", [&] { TDIBWriter(target, nullptr, -1, 2, PixelFormat::pf24bit); }, "Invalid image dimensions"},
      {"row past the end",
       [&] { TDIBWriter(target, nullptr, 2, 2, PixelFormat::pf8bit).GetScanline(2); },
       "Scan line index out of range"},
      {"row before the start",
       [&] { TDIBWriter(target, nullptr, 2, 2, PixelFormat::pf24bit).GetScanline(-1); },
       "Scan line index out of range"},
      {"row after hand-over",
       [&] {
         TDIBWriter w(target, nullptr, 2, 2, PixelFormat::pf8bit);
         w.Finish();
         w.GetScanline(0);
       },
       "Image has no DIB"},
      {"header of an empty bitmap", [&] { InitBitmapInfoHeader(empty, PixelFormat::pf8bit); }, "Bitmap image is not valid"},
      {"32-bit header", [&] { InitBitmapInfoHeader(picture, PixelFormat::pf32bit); }, "Unsupported PixelFormat"},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorOf(c.run), c.text) << c.what;
}

TEST(DIB, SizesHeaderAndRowsByFormat) {
  const Bitmap picture(5, 3, PixelFormat::pf24bit);
  struct Case {
    PixelFormat format;
    std::uint32_t header, image;
  } cases[] = {
      {PixelFormat::pf1bit, 48, 12},
      {PixelFormat::pf4bit, 104, 12},
      {PixelFormat::pf8bit, 1064, 24},
      {PixelFormat::pf24bit, 40, 48},
  };
  for (const Case& c : cases) {
    std::uint32_t header = 0, image = 0;
    QueryDIBSizes(picture, header, image, c.format);
    EXPECT_EQ(header, c.header) << BitsPerPixel(c.format);
    EXPECT_EQ(image, c.image) << BitsPerPixel(c.format);
    const BitmapInfoHeader h = InitBitmapInfoHeader(picture, c.format);
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biSizeImage, c.image);
  }
}

TEST(DIBReader, GivesRowsInTheAskedFormatAndLeavesTheSourceAlone) {
  Bitmap indexed(2, 1, PixelFormat::pf8bit);
  indexed.SetColors({{1, 2, 3}, {4, 5, 6}});
  indexed.SetPixelIndex(1, 0, 1);
  const TDIBReader reader(indexed, PixelFormat::pf24bit);
  const std::uint8_t* row = reader.GetScanline(0);
  EXPECT_EQ(row[3], 6);
  EXPECT_EQ(row[5], 4);
  EXPECT_EQ(indexed.Format(), PixelFormat::pf8bit);

  const TDIBReader same(indexed, PixelFormat::pf8bit);
  EXPECT_EQ(same.GetScanline(0), indexed.Scanline(0)) << "no copy when the format already fits";
}

TEST(ReadBitmapDIB, MapsTrueColourOntoAGivenPalette) {
  Bitmap picture(2, 1, PixelFormat::pf24bit);
  picture.SetPixelColor(0, 0, 0x00F0F0F0);
  picture.SetPixelColor(1, 0, 0x00101010);
  const Palette palette = {{0, 0, 0}, {255, 255, 255}};
  BitmapInfoHeader header;
  std::vector<RgbQuad> table;
  std::uint8_t bits[4] = {};
  ReadBitmapDIB(picture, &palette, header, table, PixelFormat::pf1bit, bits);
  EXPECT_EQ(bits[0], 0x80);
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table[1], (RgbQuad{255, 255, 255, 0}));
}

}  // namespace
}  // namespace gif
