// The decoder on hand-built code streams and on damaged data: what it writes,
// what status it reports and how far it reads.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "gif/lzw/lzw.h"
#include "tests/gif_lzw/lzw_fixtures.h"

namespace {

using gif::LZWStatus;
using lzw_fixtures::Content;
using lzw_fixtures::InSubBlocks;
using lzw_fixtures::PackCodes;

constexpr std::uint8_t kFill = 0xEE;

struct Decoded {
  std::vector<std::uint8_t> pixels;
  gif::LZWDecodeResult result;
};

Decoded Decode(std::span<const std::uint8_t> data, int width, int height,
               bool interlaced = false) {
  Decoded d;
  d.pixels.assign(static_cast<std::size_t>(width) * height, kFill);
  d.result = gif::DecodeLZW(data, d.pixels, width, height, interlaced);
  return d;
}

std::vector<std::uint8_t> Encoded(const std::vector<std::uint8_t>& pixels, int width, int height,
                                  int compression = 0) {
  std::vector<std::uint8_t> data;
  EXPECT_EQ(gif::EncodeImageData(compression, data, 8, 256, pixels, false, height, width),
            gif::EncodeStatus::Ok);
  return data;
}

constexpr unsigned kClear = 4, kEnd = 5;  // minimum code size 2

TEST(GifLzwDecoder, HandBuiltCodeStreams) {
  const auto F = kFill;
  struct Case {
    const char* name;
    std::vector<unsigned> codes;
    int width, height;
    std::vector<std::uint8_t> pixels;
    LZWStatus status;
  } cases[] = {
      {"plain", {kClear, 1, 2, 3, 0, kEnd}, 2, 2, {1, 2, 3, 0}, LZWStatus::Ok},
      {"no leading clear", {1, 2, 3, kEnd}, 3, 1, {1, 2, 3}, LZWStatus::Ok},
      {"string of an earlier pair", {kClear, 1, 2, 6, kEnd}, 4, 1, {1, 2, 1, 2}, LZWStatus::Ok},
      {"code defined by itself", {kClear, 3, 6, 7, kEnd}, 6, 1, {3, 3, 3, 3, 3, 3}, LZWStatus::Ok},
      {"clear mid-stream", {kClear, 1, 6, kClear, 2, 6, kEnd}, 6, 1, {1, 1, 1, 2, 2, 2},
       LZWStatus::Ok},
      {"clear after the last pixel", {kClear, 1, 2, kClear, kEnd}, 2, 1, {1, 2}, LZWStatus::Ok},
      {"no end code", {kClear, 1, 2, 3, 0}, 2, 2, {1, 2, 3, 0}, LZWStatus::Ok},
      {"end before the last pixel", {kClear, 1, kEnd}, 2, 2, {1, F, F, F}, LZWStatus::ShortData},
      {"end right after clear", {kClear, kEnd}, 1, 1, {F}, LZWStatus::ShortData},
      {"codes past the last pixel", {kClear, 1, 2, 3, kEnd}, 2, 1, {1, 2}, LZWStatus::ExcessData},
      {"string longer than the frame", {kClear, 1, 6}, 1, 2, {1, 1}, LZWStatus::ExcessData},
      {"code above the next free one", {kClear, 1, 7, 2}, 2, 2, {1, F, F, F}, LZWStatus::BadCode},
      {"first code after clear not a colour", {kClear, 6, 1}, 2, 1, {F, F}, LZWStatus::BadCode},
      {"defined-by-itself right after clear", {kClear, 1, kClear, 6}, 3, 1, {1, F, F},
       LZWStatus::BadCode},
      {"data ends before the frame", {kClear, 1, 2, 3, 0}, 3, 2, {1, 2, 3, 0, F, F},
       LZWStatus::BufferUnderrun},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto data = InSubBlocks(2, PackCodes(2, c.codes));
    data.push_back(0x2C);  // the next block of the file
    Decoded d = Decode(data, c.width, c.height);
    EXPECT_EQ(d.pixels, c.pixels);
    EXPECT_EQ(d.result.status, c.status);
    EXPECT_EQ(d.result.consumed, data.size() - 1);
  }
}

TEST(GifLzwDecoder, StatusTextsAreTheLibrarysWarnings) {
  EXPECT_EQ(gif::LZWStatusText(LZWStatus::Ok), nullptr);
  EXPECT_EQ(gif::LZWStatusText(LZWStatus::ExcessData), nullptr);
  EXPECT_EQ(gif::LZWStatusText(LZWStatus::ShortData), nullptr);
  EXPECT_STREQ(gif::LZWStatusText(LZWStatus::BadCodeSize), "Invalid GIF data");
  EXPECT_STREQ(gif::LZWStatusText(LZWStatus::BadCode), "Invalid GIF data");
  EXPECT_STREQ(gif::LZWStatusText(LZWStatus::BufferUnderrun), "Decoder bit buffer under-run");
  EXPECT_STREQ(gif::LZWStatusText(LZWStatus::PrematureEnd), "Premature end of data");
}

TEST(GifLzwDecoder, MinimumCodeSizeOneUsesTwoBitCodesFirst) {
  // clear 2, end 3; the width grows to 3 bits as soon as code 4 is next.
  auto data = InSubBlocks(1, lzw_fixtures::PackBits({{2, 2}, {1, 2}, {0, 3}, {4, 3}, {3, 3}}));
  Decoded d = Decode(data, 4, 1);
  EXPECT_EQ(d.result.status, LZWStatus::Ok);
  EXPECT_EQ(d.pixels, (std::vector<std::uint8_t>{1, 0, 1, 0}));
}

TEST(GifLzwDecoder, BadMinimumCodeSizeSkipsTheDataUnread) {
  for (int size : {0, 9, 11, 12, 255}) {
    SCOPED_TRACE(size);
    std::vector<std::uint8_t> data = {static_cast<std::uint8_t>(size), 3, 1, 2, 3, 1, 9, 0, 0x3B};
    Decoded d = Decode(data, 2, 2);
    EXPECT_EQ(d.result.status, LZWStatus::BadCodeSize);
    EXPECT_EQ(d.result.consumed, data.size() - 1);
    EXPECT_EQ(d.pixels, std::vector<std::uint8_t>(4, kFill));
  }
}

TEST(GifLzwDecoder, FullTableKeepsTwelveBitCodesUntilTheNextClear) {
  // Root codes alone define one entry each; after 3838 of them entry 4095 is
  // taken and the codes stay 12 bits wide, whatever comes, until a clear.
  std::vector<unsigned> codes = {256};
  std::vector<std::uint8_t> expected;
  for (int i = 0; i < 4000; ++i) {
    codes.push_back(static_cast<unsigned>(i * 7) & 0xFF);
    expected.push_back(static_cast<std::uint8_t>(i * 7));
  }
  codes.push_back(4095);  // the last entry: the pixels of codes 3837 and 3838
  expected.push_back(expected[3837]);
  expected.push_back(expected[3838]);
  codes.push_back(256);
  codes.push_back(42);
  codes.push_back(258);  // defined by itself right after the clear's first code
  expected.insert(expected.end(), {42, 42, 42});
  codes.push_back(257);
  auto data = InSubBlocks(8, PackCodes(8, codes));
  Decoded d = Decode(data, static_cast<int>(expected.size()), 1);
  EXPECT_EQ(d.result.status, LZWStatus::Ok);
  EXPECT_EQ(d.pixels, expected);
}

TEST(GifLzwDecoder, InterlacedFramesPlaceEveryRowOnce) {
  for (int height : {1, 2, 3, 4, 5, 8, 9, 16, 33}) {
    for (int width : {1, 3, 40}) {
      SCOPED_TRACE(testing::Message() << width << "x" << height);
      // Rows in stream order: pass by pass.
      std::vector<std::uint8_t> stream;
      for (int start : {0, 4, 2, 1})
        for (int y = start; y < height; y += start == 0 ? 8 : start * 2)
          stream.insert(stream.end(), static_cast<std::size_t>(width),
                        static_cast<std::uint8_t>(y));
      Decoded d = Decode(Encoded(stream, width, height), width, height, true);
      EXPECT_EQ(d.result.status, LZWStatus::Ok);
      for (int y = 0; y < height; ++y)
        EXPECT_EQ(d.pixels[static_cast<std::size_t>(y) * width + width - 1], y) << "row " << y;
    }
  }
}

TEST(GifLzwDecoder, AnySubBlockSizeReadsTheSameCodes) {
  auto pixels = lzw_fixtures::Picture(Content::Gradient, 90, 70, 8);
  auto bytes = lzw_fixtures::Unblock(Encoded(pixels, 90, 70));
  for (std::size_t blockSize : {1, 2, 3, 7, 8, 9, 100, 254, 255}) {
    SCOPED_TRACE(blockSize);
    auto data = InSubBlocks(8, bytes, blockSize);
    Decoded d = Decode(data, 90, 70);
    EXPECT_EQ(d.result.status, LZWStatus::Ok);
    EXPECT_EQ(d.result.consumed, data.size());
    EXPECT_EQ(d.pixels, pixels);
  }
}

TEST(GifLzwDecoder, ExtraSubBlocksAfterTheEndCodeAreSkipped) {
  auto pixels = lzw_fixtures::Picture(Content::Noise, 20, 20, 8);
  auto data = Encoded(pixels, 20, 20);
  data.pop_back();  // the terminator
  const std::vector<std::uint8_t> junk = {3, 9, 9, 9, 1, 0xFF, 0, 0x21, 0xF9};
  data.insert(data.end(), junk.begin(), junk.end());
  Decoded d = Decode(data, 20, 20);
  EXPECT_EQ(d.result.status, LZWStatus::Ok);
  EXPECT_EQ(d.result.consumed, data.size() - 2);
  EXPECT_EQ(d.pixels, pixels);
}

TEST(GifLzwDecoder, ExcessImageDataIsSkippedToItsTerminator) {
  // Data for 30x30 read as a 10x10 frame.
  auto pixels = lzw_fixtures::Picture(Content::Noise, 30, 30, 8);
  auto data = Encoded(pixels, 30, 30);
  data.push_back(0x3B);
  Decoded d = Decode(data, 10, 10);
  EXPECT_EQ(d.result.status, LZWStatus::ExcessData);
  EXPECT_EQ(d.result.consumed, data.size() - 1);
  EXPECT_TRUE(std::equal(d.pixels.begin(), d.pixels.end(), pixels.begin()));
}

TEST(GifLzwDecoder, TruncationAtEveryOffsetKeepsWhatWasThere) {
  for (bool interlaced : {false, true}) {
    auto pixels = lzw_fixtures::Picture(Content::Runs, 37, 23, 8, 11);
    std::vector<std::uint8_t> data;
    ASSERT_EQ(gif::EncodeImageData(0, data, 8, 256, pixels, interlaced, 23, 37),
              gif::EncodeStatus::Ok);
    for (std::size_t cut = 0; cut < data.size(); ++cut) {
      SCOPED_TRACE(testing::Message() << "cut at " << cut << (interlaced ? " interlaced" : ""));
      // A copy of exactly `cut` bytes, so the sanitizer sees any read past it.
      std::vector<std::uint8_t> part(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(cut));
      Decoded d = Decode(part, 37, 23, interlaced);
      EXPECT_EQ(d.result.consumed, cut);
      // Every cut is reported, even one right before the terminator after the last pixel.
      EXPECT_EQ(d.result.status, LZWStatus::PrematureEnd);
      // Decoded pixels are right and the others keep the fill value.
      std::size_t right = 0, wrong = 0;
      for (std::size_t i = 0; i < pixels.size(); ++i) {
        right += d.pixels[i] == pixels[i];
        wrong += d.pixels[i] != pixels[i] && d.pixels[i] != kFill;
      }
      EXPECT_EQ(wrong, 0u);
      EXPECT_GE(right, d.result.decoded);
    }
  }
}

TEST(GifLzwDecoder, SubBlockRunningPastTheEndGivesWhatItHolds) {
  auto pixels = lzw_fixtures::Picture(Content::Gradient, 50, 40, 8);
  auto data = Encoded(pixels, 50, 40);
  data.resize(140);  // inside the first sub-block of 255
  Decoded d = Decode(data, 50, 40);
  EXPECT_EQ(d.result.status, LZWStatus::PrematureEnd);
  EXPECT_EQ(d.result.consumed, 140u);
  EXPECT_GT(d.result.decoded, 0u);
  EXPECT_TRUE(std::equal(d.pixels.begin(),
                         d.pixels.begin() + static_cast<std::ptrdiff_t>(d.result.decoded),
                         pixels.begin()));
}

TEST(GifLzwDecoder, EndCodeInsideASubBlockCutByTheFileEndIsPrematureEnd) {
  // The sub-block claims 40 bytes; the two that exist hold clear, 1, clear, end.
  const std::vector<std::uint8_t> data = {2, 40, 0x0C, 0x3B};
  Decoded d = Decode(data, 4, 1);
  EXPECT_EQ(d.result.status, LZWStatus::PrematureEnd);
  EXPECT_EQ(d.result.consumed, data.size());
  EXPECT_EQ(d.pixels, (std::vector<std::uint8_t>{1, kFill, kFill, kFill}));
}

TEST(GifLzwDecoder, EmptyInputIsPrematureEnd) {
  Decoded d = Decode({}, 3, 3);
  EXPECT_EQ(d.result.status, LZWStatus::PrematureEnd);
  EXPECT_EQ(d.result.consumed, 0u);
  EXPECT_EQ(d.pixels, std::vector<std::uint8_t>(9, kFill));
}

TEST(GifLzwDecoder, BufferSmallerThanTheFrameIsNeverWritten) {
  auto pixels = lzw_fixtures::Picture(Content::Noise, 8, 8, 8);
  auto data = Encoded(pixels, 8, 8);
  std::vector<std::uint8_t> small(63, kFill);
  auto r = gif::DecodeLZW(data, small, 8, 8, false);
  EXPECT_EQ(r.decoded, 0u);
  EXPECT_EQ(r.consumed, data.size());
  EXPECT_EQ(small, std::vector<std::uint8_t>(63, kFill));
}

// Damaged bytes anywhere in valid data: whatever the status, the decoder stays
// inside its input and the frame, and reports a consumed count that a caller
// can continue from.
TEST(GifLzwDecoder, CorruptedBytesNeverLeaveTheBuffers) {
  std::mt19937 rng(99);
  for (int bits : {2, 5, 8}) {
    auto pixels = lzw_fixtures::Picture(Content::Runs, 31, 17, bits, 4);
    std::vector<std::uint8_t> data;
    ASSERT_EQ(gif::EncodeImageData(0, data, bits, 1 << bits, pixels, false, 17, 31),
              gif::EncodeStatus::Ok);
    for (int trial = 0; trial < 400; ++trial) {
      auto bad = data;
      int flips = 1 + static_cast<int>(rng() % 4);
      for (int i = 0; i < flips; ++i) bad[rng() % bad.size()] = static_cast<std::uint8_t>(rng());
      for (bool interlaced : {false, true}) {
        Decoded d = Decode(bad, 31, 17, interlaced);
        EXPECT_LE(d.result.consumed, bad.size());
        EXPECT_LE(d.result.decoded, pixels.size());
      }
    }
  }
}

}  // namespace

TEST(GifLzwDecoder, UnfilledBufferTakesTheFillWhereTheDataDoesNotReach) {
  for (bool interlaced : {false, true}) {
    for (int height : {1, 2, 3, 5, 9, 23}) {
      constexpr int kWidth = 7;
      auto pixels = lzw_fixtures::Picture(Content::Noise, kWidth, height, 8, 5);
      std::vector<std::uint8_t> data;
      ASSERT_EQ(gif::EncodeImageData(0, data, 8, 256, pixels, interlaced, height, kWidth), gif::EncodeStatus::Ok);
      for (std::size_t cut = 0; cut <= data.size(); cut += 3) {
        SCOPED_TRACE(testing::Message() << "height " << height << " cut at " << cut << (interlaced ? " interlaced" : ""));
        std::vector<std::uint8_t> part(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(cut));
        const Decoded filled = Decode(part, kWidth, height, interlaced);
        std::vector<std::uint8_t> unfilled(pixels.size(), 0x5A);
        const gif::LZWDecodeResult result = gif::DecodeLZW(part, unfilled, kWidth, height, interlaced, kFill);
        EXPECT_EQ(unfilled, filled.pixels);
        EXPECT_EQ(result.decoded, filled.result.decoded);
        EXPECT_EQ(result.status, filled.result.status);
      }
    }
  }
}

// The sub-blocks walked without decoding, as a load finds where the next block starts, agree with
// the decoder on every cut of data in full, short and single-byte sub-blocks.
TEST(GifLzwDecoder, DataSizeAndPixelBoundHoldOnEveryCut) {
  auto pixels = lzw_fixtures::Picture(Content::Noise, 40, 30, 8, 3);
  auto bytes = lzw_fixtures::Unblock(Encoded(pixels, 40, 30));
  for (std::size_t blockSize : {1, 200, 254, 255}) {
    auto data = InSubBlocks(8, bytes, blockSize);
    data.push_back(0x2C);
    for (std::size_t cut = 0; cut <= data.size(); ++cut) {
      SCOPED_TRACE(testing::Message() << "blocks of " << blockSize << ", cut at " << cut);
      std::vector<std::uint8_t> part(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(cut));
      std::vector<std::uint8_t> out(pixels.size(), kFill);
      const gif::LZWDecodeResult r = gif::DecodeLZW(part, out, 40, 30, false);
      EXPECT_EQ(gif::LZWDataSize(part), r.consumed);
      EXPECT_GE(gif::LZWPixelBound(part), r.decoded);
      if (cut >= data.size() - 1) {
        EXPECT_GE(gif::LZWPixelBound(part), pixels.size());
      }
    }
  }
}
