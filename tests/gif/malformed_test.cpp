// Damaged input: every truncation of a rich file, corrupt image data and the
// crash inputs the fuzzer found. Each must end in the library's error or a
// warning, never in a read past the buffer.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "gif/gifimage.h"
#include "tests/gif/fixture.h"

using namespace gif;
using namespace giftest;
namespace fs = std::filesystem;

namespace {

Bytes Rich() {
  Bytes pixels(9 * 7);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i % 4);
  return Cat({Header(9, 7, {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00}),
              Bytes{0x21, 0xFF, 11}, Text("NETSCAPE2.0"), Bytes{3, 1, 0, 0, 0},
              Bytes{0x21, 0xFE, 3, 'a', 'b', 'c', 0}, GraphicControl(0x09, 10, 2), Image(0, 0, 9, 7, pixels),
              Bytes{0x21, 0x01, 12, 0, 0, 0, 0, 9, 0, 7, 0, 3, 3, 1, 0, 2, 'h', 'i', 0},
              Image(1, 1, 4, 4, Bytes(16, 1), {0x111111, 0x222222}, true), Bytes{0x3B}});
}

// Loads and, when that worked, saves again: both must come back cleanly.
void LoadCleanly(const Bytes& bytes) {
  TGIFImage image;
  image.MaxFramePixels = 1u << 20;
  image.OnWarning = [](const void*, int, const std::string&) {};
  try {
    image.LoadFromMemory(bytes);
  } catch (const GIFException&) {
    return;
  }
  if (!image.IsEmpty()) {
    TGIFImage again;
    again.LoadFromMemory(image.SaveToMemory());
    EXPECT_EQ(again.Images().GetCount(), image.Images().GetCount());
  }
}

TEST(GIFMalformed, EveryTruncationEndsCleanly) {
  const Bytes rich = Rich();
  {
    TGIFImage whole;
    whole.LoadFromMemory(rich);
    ASSERT_EQ(whole.Images().GetCount(), 2);
  }
  for (std::size_t n = 0; n < rich.size(); ++n) {
    SCOPED_TRACE(n);
    LoadCleanly(Bytes(rich.begin(), rich.begin() + static_cast<std::ptrdiff_t>(n)));
  }
}

TEST(GIFMalformed, ACutFileKeepsTheFramesBeforeTheCut) {
  Bytes pixels(9 * 7);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i % 4);
  const Bytes first = Cat({Header(9, 7, {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00}), GraphicControl(0x04, 10, 0),
                           Image(0, 0, 9, 7, pixels)});
  const Bytes comment{0x21, 0xFE, 5, 'h', 'e', 'l', 'l', 'o', 0};
  const Bytes second = Cat({comment, Image(1, 1, 4, 4, Bytes(16, 1), {0x111111, 0x222222})});
  const Bytes looping = Cat({Bytes{0x21, 0xFF, 11}, Text("NETSCAPE2.0"), Bytes{3, 1, 0, 0, 0}, second});
  const struct {
    const char* where;
    const Bytes& rest;
    std::size_t cut;  // bytes of the rest kept
    int frames;
  } cases[] = {
      {"inside a comment", second, 4, 1},
      {"inside the image descriptor", second, comment.size() + 5, 1},
      {"inside the local table", second, comment.size() + 10 + 4, 1},
      {"just before the terminator of the image data", second, second.size() - 1, 2},
      {"inside the loop extension's name", looping, 3 + 4, 1},
      {"inside the loop extension's count", looping, 3 + 11 + 2, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.where);
    TGIFImage image;
    Warnings warnings;
    warnings.Attach(image);
    ASSERT_NO_THROW(image.LoadFromMemory(Cat({first, Bytes(c.rest.begin(), c.rest.begin() + static_cast<std::ptrdiff_t>(c.cut))})));
    ASSERT_EQ(image.Images().GetCount(), c.frames);
    EXPECT_FALSE(warnings.Has(texts::UnknownExtension));
    EXPECT_TRUE(warnings.Has(texts::PrematureEnd));
    TGIFSubImage* frame = image.Images().GetFrame(0);
    EXPECT_EQ(frame->GraphicControlExtension()->GetDelay(), 10);
    EXPECT_EQ(frame->GetPixel(8, 6), pixels[62]);
  }
  // A cut inside the first image descriptor leaves nothing to open.
  TGIFImage image;
  image.OnWarning = [](const void*, int, const std::string&) {};
  EXPECT_THROW(image.LoadFromMemory(Bytes(first.begin(), first.begin() + 25 + 8 + 5)), GIFException);
}

TEST(GIFMalformed, CorruptImageDataWarnsAndKeepsTheFill) {
  const Bytes head = Cat({Header(4, 1, {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00}), Bytes{0x2C, 0, 0, 0, 0, 4, 0, 1, 0, 0}});
  const struct {
    const char* name;
    Bytes data;  // from the minimum code size byte on
  } cases[] = {
      {"code size 0", Bytes{0, 1, 0xFF, 0}},
      {"code size 12", Bytes{12, 2, 0xFF, 0xFF, 0}},
      {"code far beyond the table", Bytes{2, 2, 0x7C, 0x01, 0}},
      {"first code after clear is no colour", Bytes{2, 1, 0x3C, 0}},
      {"sub-blocks end early", Bytes{2, 1, 0x0C, 0}},
      {"sub-block longer than the file", Bytes{2, 40, 0x0C}},
      {"only the code size", Bytes{2}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TGIFImage image;
    Warnings warnings;
    warnings.Attach(image);
    ASSERT_NO_THROW(image.LoadFromMemory(Cat({head, c.data, Bytes{0x3B}})));
    EXPECT_FALSE(warnings.texts.empty());
    ASSERT_EQ(image.Images().GetCount(), 1);
    EXPECT_EQ(image.Images().GetFrame(0)->DataSize(), 4u);
    EXPECT_EQ(image.Images().GetFrame(0)->GetPixel(3, 0), 0);
  }
}

TEST(GIFMalformed, ExtraDataAfterTheLastPixelIsSkipped) {
  // Six pixel codes for a 4-pixel frame, then the rest of the file.
  const Bytes file = Cat({Header(4, 1, {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00}), Image(0, 0, 4, 1, {1, 2, 3, 1, 2, 3}),
                          Bytes{0x21, 0xFE, 1, 'z', 0, 0x3B}});
  TGIFImage image;
  image.LoadFromMemory(file);
  ASSERT_EQ(image.Images().GetCount(), 2);  // the comment after the image survives
  EXPECT_EQ(image.Images().GetFrame(0)->GetPixel(3, 0), 1);
}

// Inputs the fuzzers once failed on (and hostile files kept beside them), so
// they never do again.
TEST(GIFMalformed, FuzzerFindingsStayFixed) {
  const fs::path dir = fs::path(MOVINTA_SOURCE_DIR) / "fuzz" / "gif" / "regressions";
  ASSERT_TRUE(fs::is_directory(dir)) << dir << " is missing";
  int replayed = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    ++replayed;
    SCOPED_TRACE(entry.path().filename().string());
    std::ifstream in(entry.path(), std::ios::binary);
    const Bytes bytes((std::istreambuf_iterator<char>(in)), {});
    LoadCleanly(bytes);
  }
  EXPECT_GT(replayed, 0);
}

}  // namespace
