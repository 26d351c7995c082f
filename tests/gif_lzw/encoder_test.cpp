// Both encoders against our decoder and against giflib, and our decoder
// against giflib's encoder, over sizes, bit depths, interlacing and content.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "gif/lzw/lzw.h"
#include "tests/gif_lzw/giflib_peer.h"
#include "tests/gif_lzw/lzw_fixtures.h"

namespace {

using gif::EncodeStatus;
using gif::LZWStatus;
using lzw_fixtures::Content;

struct Size {
  int width, height;
};

constexpr Size kSizes[] = {{1, 1}, {5, 1}, {1, 9}, {3, 3}, {17, 13}, {64, 64}, {203, 97}};
constexpr int kBits[] = {1, 2, 4, 8};
constexpr Content kContents[] = {Content::Noise, Content::Runs, Content::Gradient, Content::Solid};

std::vector<std::uint8_t> Decode(std::span<const std::uint8_t> data, int width, int height,
                                 bool interlaced, gif::LZWDecodeResult* result = nullptr) {
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height, 0xEE);
  gif::LZWDecodeResult r = gif::DecodeLZW(data, pixels, width, height, interlaced);
  if (result) *result = r;
  return pixels;
}

TEST(GifLzwRoundTrip, BothEncodersDecodeToTheSamePixelsHereAndInGiflib) {
  for (int compression : {0, 1})
    for (Size size : kSizes)
      for (int bits : kBits)
        for (bool interlaced : {false, true})
          for (Content content : kContents) {
            SCOPED_TRACE(testing::Message()
                         << (compression == 1 ? "rle " : "lzw ") << size.width << "x"
                         << size.height << " bits " << bits << (interlaced ? " interlaced " : " ")
                         << lzw_fixtures::Name(content));
            auto pixels = lzw_fixtures::Picture(content, size.width, size.height, bits);
            std::vector<std::uint8_t> data;
            ASSERT_EQ(gif::EncodeImageData(compression, data, bits, 1 << bits, pixels, interlaced,
                                           size.height, size.width),
                      EncodeStatus::Ok);
            EXPECT_EQ(data[0], std::max(bits, 2));
            data.push_back(0x3B);  // the next block of the file is not taken

            gif::LZWDecodeResult r;
            EXPECT_EQ(Decode(data, size.width, size.height, interlaced, &r), pixels);
            EXPECT_EQ(r.status, LZWStatus::Ok);
            EXPECT_EQ(r.consumed, data.size() - 1);
            EXPECT_EQ(r.decoded, pixels.size());

            data.pop_back();
            std::vector<std::uint8_t> theirs;
            ASSERT_TRUE(giflib_peer::Decode(
                giflib_peer::WrapInGif(data, size.width, size.height, bits, interlaced), theirs));
            EXPECT_EQ(theirs, pixels);
          }
}

TEST(GifLzwRoundTrip, DecodesWhatGiflibEncodes) {
  for (Size size : kSizes)
    for (int bits : kBits)
      for (bool interlaced : {false, true})
        for (Content content : kContents) {
          SCOPED_TRACE(testing::Message() << size.width << "x" << size.height << " bits " << bits
                                          << (interlaced ? " interlaced " : " ")
                                          << lzw_fixtures::Name(content));
          auto pixels = lzw_fixtures::Picture(content, size.width, size.height, bits, 7);
          auto file = giflib_peer::EncodeFile(pixels, size.width, size.height, bits, interlaced);
          auto data = giflib_peer::ImageDataOf(file, bits);
          ASSERT_FALSE(data.empty());
          gif::LZWDecodeResult r;
          EXPECT_EQ(Decode(data, size.width, size.height, interlaced, &r), pixels);
          EXPECT_EQ(r.status, LZWStatus::Ok);
          EXPECT_EQ(r.consumed, data.size());
        }
}

// Both make the same LZW decisions (restart before code 4095, same code
// widths), so the bytes agree too.
TEST(GifLzwRoundTrip, LzwEncoderWritesTheSameBytesAsGiflib) {
  for (Size size : kSizes)
    for (int bits : kBits)
      for (Content content : kContents) {
        SCOPED_TRACE(testing::Message() << size.width << "x" << size.height << " bits " << bits
                                        << " " << lzw_fixtures::Name(content));
        auto pixels = lzw_fixtures::Picture(content, size.width, size.height, bits, 9);
        std::vector<std::uint8_t> ours;
        ASSERT_EQ(gif::EncodeImageData(0, ours, bits, 1 << bits, pixels, false, size.height,
                                       size.width),
                  EncodeStatus::Ok);
        auto file = giflib_peer::EncodeFile(pixels, size.width, size.height, bits, false);
        EXPECT_EQ(ours, giflib_peer::ImageDataOf(file, bits));
      }
}

// Large enough frames fill the 4096-entry table many times over, and long
// runs reach the longest run codes; the LZW bytes stay giflib's, interlaced too.
TEST(GifLzwRoundTrip, LargeFramesRestartTheTableAndStayExact) {
  for (int compression : {0, 1})
    for (Content content : kContents)
      for (bool interlaced : {false, true}) {
        SCOPED_TRACE(testing::Message() << compression << " " << lzw_fixtures::Name(content) << " "
                                        << interlaced);
        auto pixels = lzw_fixtures::Picture(content, 640, 480, 8, 3);
        std::vector<std::uint8_t> data;
        ASSERT_EQ(gif::EncodeImageData(compression, data, 8, 256, pixels, interlaced, 480, 640),
                  EncodeStatus::Ok);
        EXPECT_EQ(Decode(data, 640, 480, interlaced), pixels);
        if (compression == 0) {
          EXPECT_EQ(data, giflib_peer::ImageDataOf(giflib_peer::EncodeFile(pixels, 640, 480, 8, interlaced), 8));
          continue;
        }
        std::vector<std::uint8_t> theirs;
        ASSERT_TRUE(giflib_peer::Decode(giflib_peer::WrapInGif(data, 640, 480, 8, interlaced), theirs));
        EXPECT_EQ(theirs, pixels);
      }
}

TEST(GifLzwEncoder, OnePixelFrameWritesClearPixelEnd) {
  // Minimum code size 2 even for one bit: clear 4, pixel 1, end 5 in 3 bits.
  const std::vector<std::uint8_t> expected = {0x02, 0x02, 0x4C, 0x01, 0x00};
  for (int compression : {0, 1}) {
    std::vector<std::uint8_t> data;
    const std::uint8_t pixel = 1;
    ASSERT_EQ(gif::EncodeImageData(compression, data, 1, 2, {&pixel, 1}, false, 1, 1),
              EncodeStatus::Ok);
    EXPECT_EQ(data, expected) << compression;
  }
}

TEST(GifLzwEncoder, FrameWithoutPixelsWritesAnEndCodeOnly) {
  for (int compression : {0, 1}) {
    std::vector<std::uint8_t> data;
    ASSERT_EQ(gif::EncodeImageData(compression, data, 8, 256, {}, false, 0, 0), EncodeStatus::Ok);
    EXPECT_EQ(data, (std::vector<std::uint8_t>{0x08, 0x02, 0x01, 0x01, 0x00})) << compression;
  }
}

TEST(GifLzwEncoder, LzwRestartsTheTableBeforeCode4095) {
  auto pixels = lzw_fixtures::Picture(Content::Noise, 200, 100, 8, 5);
  std::vector<std::uint8_t> data;
  ASSERT_EQ(gif::EncodeImageData(0, data, 8, 256, pixels, false, 100, 200), EncodeStatus::Ok);
  // Walk the codes as a decoder sizes them and look at what precedes each clear.
  auto bytes = lzw_fixtures::Unblock(data);
  std::size_t bit = 0;
  int width = 9;
  unsigned next = 258;
  bool first = true;
  int clears = 0;
  auto take = [&](int n) {
    unsigned v = 0;
    for (int i = 0; i < n; ++i, ++bit) v |= ((bytes[bit / 8] >> (bit % 8)) & 1u) << i;
    return v;
  };
  for (;;) {
    unsigned code = take(width);
    if (code == 257) break;
    if (code == 256) {
      if (bit > 9) {
        ++clears;
        EXPECT_EQ(next, 4095u);  // entries 258..4094 in use
        EXPECT_EQ(width, 12);
      }
      width = 9;
      next = 258;
      first = true;
      continue;
    }
    ASSERT_LE(code, next);
    if (!first) ++next;
    if (next >= (1u << width) && width < 12) ++width;
    first = false;
  }
  EXPECT_GE(clears, 4);
}

TEST(GifLzwEncoder, RunLengthCodingShrinksFlatAreas) {
  auto pixels = lzw_fixtures::Picture(Content::Solid, 640, 480, 8);
  std::vector<std::uint8_t> data;
  ASSERT_EQ(gif::EncodeImageData(1, data, 8, 256, pixels, false, 480, 640), EncodeStatus::Ok);
  // One code per pixel would be over 300 KB; growing runs need about sqrt(2n) codes per table.
  EXPECT_LT(data.size(), 4000u);
}

TEST(GifLzwEncoder, PixelOutsideTheColorTableIsRefused) {
  struct Case {
    int bits, colors;
    std::uint8_t bad;
  } cases[] = {{8, 200, 200}, {8, 200, 255}, {2, 3, 3}, {1, 2, 2}, {4, 256, 16}};
  for (int compression : {0, 1})
    for (Case c : cases)
      for (std::size_t at : {std::size_t{0}, std::size_t{37}, std::size_t{99}}) {
        SCOPED_TRACE(testing::Message() << compression << " bits " << c.bits << " at " << at);
        std::vector<std::uint8_t> pixels(100, 1);
        pixels[at] = c.bad;
        std::vector<std::uint8_t> data;
        EXPECT_EQ(gif::EncodeImageData(compression, data, c.bits, c.colors, pixels, false, 10, 10),
                  EncodeStatus::ColorNotInTable);
      }
}

TEST(GifLzwEncoder, InterlacedRowsAreWrittenInPassOrder) {
  for (int height : {1, 2, 3, 4, 5, 9, 17}) {
    std::vector<std::uint8_t> pixels;
    for (int y = 0; y < height; ++y) pixels.insert(pixels.end(), 4, static_cast<std::uint8_t>(y));
    for (int compression : {0, 1}) {
      std::vector<std::uint8_t> data;
      ASSERT_EQ(gif::EncodeImageData(compression, data, 8, 256, pixels, true, height, 4),
                EncodeStatus::Ok);
      // Read back as if not interlaced: the rows come in stream order.
      auto stream = Decode(data, 4, height, false);
      std::vector<std::uint8_t> order;
      for (int y = 0; y < height; ++y) order.push_back(stream[static_cast<std::size_t>(y) * 4]);
      std::vector<std::uint8_t> expected;
      for (int start : {0, 4, 2, 1})
        for (int y = start; y < height; y += start == 0 ? 8 : start * 2)
          expected.push_back(static_cast<std::uint8_t>(y));
      EXPECT_EQ(order, expected) << "height " << height << " compression " << compression;
    }
  }
}

}  // namespace

// Recoloured pixels from the data of the pixels before: byte for byte what the encoder writes for
// them, over the sizes, depths and contents above and frames that restart the table; a map that
// joins two values in use, or leaves the table, or another code size, is refused.
TEST(GifLzwRemap, RemappedDataIsWhatTheEncoderWritesForTheMappedPixels) {
  struct Frame {
    int width, height;
    int seed;
  };
  for (const Frame f : {Frame{1, 1, 1}, Frame{17, 13, 1}, Frame{203, 97, 1}, Frame{640, 480, 3}})
    for (int bits : kBits)
      for (bool interlaced : {false, true})
        for (Content content : kContents) {
          SCOPED_TRACE(testing::Message() << f.width << "x" << f.height << " bits " << bits
                                          << (interlaced ? " interlaced " : " ") << lzw_fixtures::Name(content));
          const int colours = 1 << bits;
          const auto pixels = lzw_fixtures::Picture(content, f.width, f.height, bits, f.seed);
          std::vector<std::uint8_t> data;
          ASSERT_EQ(gif::EncodeImageData(0, data, bits, colours, pixels, interlaced, f.height, f.width),
                    EncodeStatus::Ok);
          // Values reversed within the depth: one to one, and every value moves.
          std::array<std::uint8_t, 256> map{};
          for (int v = 0; v < 256; ++v) map[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>((colours - 1 - v) & 0xFF);
          std::vector<std::uint8_t> mapped(pixels.size());
          for (std::size_t i = 0; i < pixels.size(); ++i) mapped[i] = map[pixels[i]];
          std::vector<std::uint8_t> expected;
          ASSERT_EQ(gif::EncodeImageData(0, expected, bits, colours, mapped, interlaced, f.height, f.width),
                    EncodeStatus::Ok);
          std::vector<std::uint8_t> remapped;
          ASSERT_TRUE(gif::RemapLZWImageData(data, map, bits, colours, remapped));
          EXPECT_EQ(remapped, expected);

          const std::uint8_t used = pixels.front();
          const auto other = std::find_if(pixels.begin(), pixels.end(), [used](std::uint8_t p) { return p != used; });
          if (other != pixels.end()) {
            std::array<std::uint8_t, 256> joining = map;
            joining[used] = joining[*other];
            EXPECT_FALSE(gif::RemapLZWImageData(data, joining, bits, colours, remapped));
          }
          EXPECT_FALSE(gif::RemapLZWImageData(data, map, bits, map[used], remapped)) << "a pixel past the table";
          if (bits < 8) {
            EXPECT_FALSE(gif::RemapLZWImageData(data, map, std::max(bits, 2) + 1, 256, remapped));
          }
        }
}

TEST(GifLzwRemap, DataThatIsNotTheEncodersIsRefused) {
  const auto pixels = lzw_fixtures::Picture(Content::Gradient, 64, 64, 8, 1);
  std::vector<std::uint8_t> data;
  ASSERT_EQ(gif::EncodeImageData(0, data, 8, 256, pixels, false, 64, 64), EncodeStatus::Ok);
  std::array<std::uint8_t, 256> identity{};
  for (int v = 0; v < 256; ++v) identity[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(v);
  std::vector<std::uint8_t> out;
  ASSERT_TRUE(gif::RemapLZWImageData(data, identity, 8, 256, out));
  EXPECT_EQ(out, data);
  std::vector<std::uint8_t> rle;
  ASSERT_EQ(gif::EncodeImageData(1, rle, 8, 256, pixels, false, 64, 64), EncodeStatus::Ok);
  const std::vector<std::vector<std::uint8_t>> damaged = {
      std::vector<std::uint8_t>(data.begin(), data.end() - 1),                         // no terminator
      std::vector<std::uint8_t>(data.begin(), data.begin() + 40),                      // cut short
      [&] { auto d = data; d[2] ^= 0x01; return d; }(),                                // no clear code first
      [&] { auto d = data; d[d.size() - 2] ^= 0x80; return d; }(),                     // padding after the end
      rle,                                                                             // run-length codes
  };
  for (std::size_t i = 0; i < damaged.size(); ++i) {
    SCOPED_TRACE(i);
    const bool ok = gif::RemapLZWImageData(damaged[i], identity, 8, 256, out);
    if (i + 1 == damaged.size() && ok) {
      // Run-length codes are valid LZW codes too: remapped, they must still say the same pixels.
      std::vector<std::uint8_t> decoded(pixels.size());
      gif::DecodeLZW(out, decoded, 64, 64, false);
      EXPECT_EQ(decoded, pixels);
      continue;
    }
    EXPECT_FALSE(ok);
  }
}
