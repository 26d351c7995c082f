// The block sequence, header, trailer, colour tables and string sub-blocks.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "gif/gifimage.h"
#include "gif/threads.h"
#include "tests/gif/fixture.h"

using namespace gif;
using namespace giftest;

namespace {

Bytes OneDot(const char* version = "89a") {
  return Cat({Header(1, 1, {0x000000, 0xFFFFFF}, version), Image(0, 0, 1, 1, {1}), Bytes{0x3B}});
}

struct LoadCase {
  const char* name;
  Bytes bytes;
  int frames;
  const char* warning;  // expected warning, or null for none
};

TEST(GIFStream, LoadsTheBlockSequenceAndReportsOddEndings) {
  const Bytes dot = OneDot();
  Bytes lower = dot;
  lower[0] = 'g', lower[1] = 'i', lower[2] = 'f';
  Bytes oddVersion = dot;
  oddVersion[3] = 'x', oddVersion[4] = 'y', oddVersion[5] = 'z';
  const Bytes noTrailer(dot.begin(), dot.end() - 1);
  Bytes badTrailer = noTrailer;
  badTrailer.push_back(0x42);
  Bytes zeros = noTrailer;
  const Bytes image = Image(0, 0, 1, 1, {0});
  zeros.insert(zeros.end(), {0, 0, 0});
  zeros.insert(zeros.end(), image.begin(), image.end());
  zeros.insert(zeros.end(), {0, 0x3B});
  Bytes extensionThenJunk = noTrailer;
  extensionThenJunk.insert(extensionThenJunk.end(), {0x21, 0xFE, 1, 'c', 0, 0x99, 0x2C});
  Bytes unknownBlock = noTrailer;
  unknownBlock.push_back(0x99);
  unknownBlock.insert(unknownBlock.end(), image.begin(), image.end());
  const std::vector<LoadCase> cases = {
      {"plain", dot, 1, nullptr},
      {"size prefix", Cat({Bytes{1, 2, 3, 4}, dot}), 1, nullptr},
      {"lower-case signature", lower, 1, nullptr},
      {"any version", oddVersion, 1, nullptr},
      {"no trailer", noTrailer, 1, nullptr},
      {"other trailer", badTrailer, 1, texts::InvalidTrailer},
      {"zero bytes between blocks", zeros, 2, nullptr},
      {"unknown block", unknownBlock, 1, texts::UnknownBlockType},
      {"extension not followed by an image", extensionThenJunk, 2, texts::UnknownBlockType},
  };
  for (const LoadCase& c : cases) {
    SCOPED_TRACE(c.name);
    TGIFImage image;
    Warnings warnings;
    warnings.Attach(image);
    image.LoadFromMemory(c.bytes);
    EXPECT_EQ(image.Images().GetCount(), c.frames);
    if (c.warning)
      EXPECT_TRUE(warnings.Has(c.warning));
    else
      EXPECT_TRUE(warnings.texts.empty()) << warnings.texts.front();
  }
}

TEST(GIFStream, RejectsBadHeadersWithTheirTexts) {
  const struct {
    const char* name;
    Bytes bytes;
    const char* error;
  } cases[] = {
      {"no signature", Text("PNG89a\x01\x00\x01\x00\x00\x00\x00;"), texts::InvalidSignature},
      {"empty", Bytes{}, texts::InvalidSignature},
      {"short screen", Text("GIF89a\x01\x00"), texts::PrematureEnd},
      {"short table", Cat({Text("GIF89a"), Bytes{1, 0, 1, 0, 0x81, 0, 0, 1, 2, 3}}), texts::PrematureEnd},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TGIFImage image;
    try {
      image.LoadFromMemory(c.bytes);
      ADD_FAILURE() << "loaded";
    } catch (const GIFException& e) {
      EXPECT_STREQ(e.what(), c.error);
    }
  }
}

TEST(GIFStream, WritesTheVersionTheFramesNeed) {
  TGIFImage image;
  EXPECT_THROW(
      {
        try {
          image.SaveToMemory();
        } catch (const GIFException& e) {
          EXPECT_STREQ(e.what(), texts::UnsupportedVersion);
          throw;
        }
      },
      GIFException);

  image.LoadFromMemory(OneDot("89a"));
  Bytes saved = image.SaveToMemory();
  EXPECT_EQ(std::string(saved.begin(), saved.begin() + 6), "GIF87a");

  auto* comment = new TGIFCommentExtension(image.Images().GetFrame(0));
  comment->Text() = {"hi"};
  image.Images().GetFrame(0)->Extensions().Add(comment);
  saved = image.SaveToMemory();
  EXPECT_EQ(std::string(saved.begin(), saved.begin() + 6), "GIF89a");
}

TEST(GIFStream, WritesTheGlobalTablePaddedToAPowerOfTwo) {
  TGIFImage image;
  image.LoadFromMemory(Cat({Header(1, 1, {}), Image(0, 0, 1, 1, {0}, {0x112233, 0x445566}), Bytes{0x3B}}));
  Bytes saved = image.SaveToMemory();
  EXPECT_EQ(saved[10], 0x77);  // no global table
  EXPECT_EQ(saved[13], 0x2C);

  for (TColor c : {0x1u, 0x2u, 0x3u, 0x4u, 0x5u}) image.GetGlobalColorMap().Add(c);
  saved = image.SaveToMemory();
  EXPECT_EQ(saved[10], 0x80 | 0x20 | 0x02);
  EXPECT_EQ(saved[13 + 4 * 3], 5);                   // fifth entry's red
  EXPECT_EQ(Bytes(saved.begin() + 28, saved.begin() + 37), Bytes(9, 0));  // three black triples
  EXPECT_EQ(saved[37], 0x2C);
}

TEST(GIFStream, StringSubBlocksSplitLongLines) {
  ByteWriter out;
  WriteStrings(out, {std::string(300, 'x'), "", "ab"});
  const Bytes& b = out.Bytes();
  ASSERT_EQ(b.size(), 1 + 255 + 1 + 45 + 1 + 2 + 1u);
  EXPECT_EQ(b[0], 255);
  EXPECT_EQ(b[256], 45);
  EXPECT_EQ(b[302], 2);
  EXPECT_EQ(b.back(), 0);

  ByteReader in(b);
  TStrings lines;
  ReadStrings(in, lines);
  EXPECT_EQ(lines, (TStrings{std::string(255, 'x'), std::string(45, 'x'), "ab"}));

  // A 0 byte inside a sub-block is data like any other byte.
  const Bytes nul{3, 'a', 0, 'b', 0};
  ByteReader in2(nul);
  ReadStrings(in2, lines);
  EXPECT_EQ(lines, TStrings{std::string("a\0b", 3)});
}

TEST(GIFStream, ReaderNeverPassesItsEnd) {
  const Bytes three{1, 2, 3};
  ByteReader r(three);
  std::uint8_t buf[8] = {};
  EXPECT_EQ(r.Read(buf, 8), 3u);
  std::uint8_t b = 9;
  EXPECT_FALSE(r.Read(b));
  EXPECT_EQ(b, 9);
  r.Skip(-10);
  EXPECT_EQ(r.Position(), 0u);
  r.Skip(100);
  EXPECT_TRUE(r.AtEnd());
  EXPECT_THROW(ReadCheck(r, buf, 1), GIFException);
}

TEST(GIFStream, SmallHelpers) {
  const int bits[][2] = {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}, {5, 3}, {129, 8}, {256, 8}};
  for (auto [count, expected] : bits) EXPECT_EQ(ColorsToBits(count), expected) << count;
  EXPECT_EQ(AlignedRowBytes(3, 8, 32), 4);
  EXPECT_EQ(AlignedRowBytes(33, 1, 32), 8);
  EXPECT_EQ(MulDiv(36, 255, 51), 180);
  EXPECT_EQ(MulDiv(1, 1, 2), 1);  // rounds half up
}

// ---------------------------------------------------------------------------
// Colour tables

// Large files are read in parts on several threads; every size around the parts' edges, on any
// number of threads, those the system refuses included, and a pipe of no known size read whole.
TEST(GIFStream, ReadsWholeFilesInPartsOnAnyThreads) {
  char folder[] = "/tmp/gif_read_XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string path = std::string(folder) + "/file.gif";
  constexpr std::size_t kPart = std::size_t{4} << 20;
  std::mt19937 random(3);
  for (std::size_t size : {std::size_t{0}, std::size_t{1}, kPart - 1, kPart, kPart + 1, 3 * kPart + 5}) {
    std::vector<std::uint8_t> bytes(size);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(size));
    for (int threads : {1, 3, 8}) {
      for (bool refuse : {false, true}) {
        SCOPED_TRACE(testing::Message() << size << " bytes on " << threads << " threads" << (refuse ? ", refused" : ""));
        if (refuse) RefuseThreadForTest = [] { return true; };
        const FileBytes read = ReadFileBytes(path, threads);
        RefuseThreadForTest = nullptr;
        EXPECT_TRUE(std::equal(read.begin(), read.end(), bytes.begin(), bytes.end()));
      }
    }
  }
  const std::string fifo = std::string(folder) + "/pipe";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::vector<std::uint8_t> piped(300000);
  for (auto& b : piped) b = static_cast<std::uint8_t>(random());
  std::thread writer([&] { std::ofstream(fifo, std::ios::binary).write(reinterpret_cast<const char*>(piped.data()), static_cast<std::streamsize>(piped.size())); });
  const FileBytes read = ReadFileBytes(fifo, 4);
  writer.join();
  EXPECT_TRUE(std::equal(read.begin(), read.end(), piped.begin(), piped.end()));
  EXPECT_THROW(ReadFileBytes(std::string(folder) + "/missing.gif", 4), GIFException);
  std::remove(path.c_str());
  std::remove(fifo.c_str());
  rmdir(folder);
}

TEST(GIFColorMap, AddsSearchesAndRefusesA257thColour) {
  TGIFImage image;
  TGIFColorMap& map = image.GetGlobalColorMap();
  for (int i = 0; i < 256; ++i) map.Add(static_cast<TColor>(i));
  EXPECT_THROW(map.Add(0xABCDEF), GIFException);
  EXPECT_EQ(map.GetCount(), 256);

  map.Clear();
  map.Add(0x0000FF);
  map.Add(0x00FF00);
  map.Add(0x0000FF);
  EXPECT_EQ(map.IndexOf(0x0000FF), 2);
  map.SetOptimized(true);
  EXPECT_EQ(map.IndexOf(0x0000FF), 0);
  EXPECT_EQ(map.IndexOf(0x123456), -1);
  EXPECT_EQ(map.AddUnique(0x00FF00), 1);
  map.Delete(0);
  EXPECT_EQ(map.GetColor(0), 0x00FF00u);
  EXPECT_THROW(map.Delete(5), GIFException);
  EXPECT_THROW(map.SetColor(-1, 0), GIFException);
}

TEST(GIFColorMap, GetColorOutsideTheTableWarns) {
  TGIFImage image;
  Warnings warnings;
  warnings.Attach(image);
  TGIFColorMap& map = image.GetGlobalColorMap();
  try {
    map.GetColor(0);
    ADD_FAILURE();
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), texts::EmptyColorTable);
  }
  map.Add(0x112233);
  map.Add(0x445566);
  EXPECT_EQ(map.GetColor(-1), 0x112233u);
  EXPECT_EQ(warnings.texts, (std::vector<std::string>{texts::InvalidColorIndex, texts::InvalidColorIndex}));
}

TEST(GIFColorMap, WritesPaddedTriples) {
  const struct {
    int count;
    std::size_t bytes;
  } cases[] = {{0, 0}, {1, 6}, {2, 6}, {3, 12}, {5, 24}, {256, 768}};
  for (auto c : cases) {
    TGIFImage image;
    TGIFColorMap& map = image.GetGlobalColorMap();
    for (int i = 0; i < c.count; ++i) map.Add(0x010203);
    ByteWriter out;
    map.SaveToStream(out);
    EXPECT_EQ(out.Bytes().size(), c.bytes) << c.count;
    if (c.count) {
      EXPECT_EQ(out.Bytes()[0], 3);  // red of 0x010203 comes first
    }
  }
}

TEST(GIFColorMap, OptimizeSortsByUseAndRemapsPixelsAndTransparency) {
  TGIFImage image;
  // Entry 1 is used most, entry 2 never; the transparent index points at 0.
  image.LoadFromMemory(Cat({Header(4, 1, {0x0000FF, 0x00FF00, 0xFF0000, 0x000000}), GraphicControl(1, 0, 0),
                            Image(0, 0, 4, 1, {1, 1, 1, 0}), Bytes{0x3B}}));
  TGIFColorMap& map = image.GetGlobalColorMap();
  EXPECT_TRUE(map.Optimize());
  EXPECT_TRUE(map.GetOptimized());
  EXPECT_EQ(map.GetCount(), 2);
  EXPECT_EQ(map.GetColor(0), 0x00FF00u);  // 0xRRGGBB green as 0x00BBGGRR
  EXPECT_EQ(map.GetColor(1), 0xFF0000u);
  TGIFSubImage* frame = image.Images().GetFrame(0);
  EXPECT_EQ(Bytes(frame->Data(), frame->Data() + 4), (Bytes{0, 0, 0, 1}));
  EXPECT_EQ(frame->GraphicControlExtension()->GetTransparentColorIndex(), 1);
  EXPECT_TRUE(map.Optimize());  // now in order: nothing changes
  EXPECT_EQ(map.GetCount(), 2);
}

TEST(GIFColorMap, OptimizeKeepsTheBackgroundAndPlainTextColours) {
  constexpr TColor white = 0xFFFFFF, red = 0x0000FF, green = 0x00FF00, blue = 0xFF0000;
  struct Case {
    std::vector<std::uint8_t> pixels;
    std::vector<TColor> table;  // after optimising
  };
  // Blue is used by no pixel: it comes back behind the used colours while the
  // table's size allows it, else the background takes the nearest colour.
  const Case cases[] = {{{2, 2, 2, 1, 1, 0}, {green, red, white, blue}}, {{2, 2, 2, 2, 1, 1}, {green, red}}};
  for (const Case& c : cases) {
    TGIFImage image;
    image.SetWidth(6);
    image.SetHeight(1);
    TGIFColorMap& map = image.GetGlobalColorMap();
    for (TColor colour : {white, red, green, blue}) map.Add(colour);
    image.Header().SetBackgroundColorIndex(3);
    auto* frame = new TGIFSubImage(&image);
    frame->SetBounds(0, 0, 6, 1);
    std::copy(c.pixels.begin(), c.pixels.end(), frame->Data());
    image.Add(frame);
    auto* text = new TGIFTextExtension(frame);
    frame->Extensions().Add(text);
    text->ForegroundColorIndex = 1;
    text->BackgroundColorIndex = 2;

    EXPECT_TRUE(map.Optimize());
    std::vector<TColor> table;
    for (int i = 0; i < map.GetCount(); ++i) table.push_back(map.GetColor(i));
    EXPECT_EQ(table, c.table);
    EXPECT_TRUE(map.GetOptimized());
    EXPECT_EQ(map.GetColor(image.Header().GetBackgroundColorIndex()), c.table.size() == 4 ? blue : green);
    EXPECT_EQ(map.GetColor(text->ForegroundColorIndex), red);
    EXPECT_EQ(map.GetColor(text->BackgroundColorIndex), green);
    EXPECT_EQ(frame->Data()[0], 0);
  }
}

TEST(GIFColorMap, ConvertsColoursAndImports) {
  EXPECT_EQ(TGIFColorMap::RGBToColor({1, 2, 3}), 0x030201u);
  EXPECT_EQ(TGIFColorMap::ColorToRGB(0xFF030201u), (TGIFColor{1, 2, 3}));
  TGIFImage image;
  TGIFColorMap& map = image.GetGlobalColorMap();
  const std::uint8_t quads[] = {3, 2, 1, 0, 6, 5, 4, 0};
  map.ImportColorTable(quads, 2);
  EXPECT_EQ(map.GetColor(1), 0x060504u);
  map.ImportPalette({});
  EXPECT_EQ(map.GetCount(), 0);
  map.ImportPalette({Rgb{9, 8, 7}});
  EXPECT_EQ(map.ExportPalette(), (Palette{Rgb{9, 8, 7}}));
}

}  // namespace
