// What loading costs: a declared frame size alone takes next to no memory, and
// an image whose frames would need more than its memory budget fails to load.
// Its own executable, since it counts every allocation of the process.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "gif/gifimage.h"
#include "tests/gif/fixture.h"

namespace {

std::atomic<std::size_t> live{0}, peak{0};

void* Take(std::size_t size) {
  void* p = std::malloc(size + 16);
  if (!p) throw std::bad_alloc();
  *static_cast<std::size_t*>(p) = size;
  const std::size_t now = live += size;
  std::size_t seen = peak.load();
  while (now > seen && !peak.compare_exchange_weak(seen, now)) {
  }
  return static_cast<char*>(p) + 16;
}

void Give(void* p) {
  if (!p) return;
  char* block = static_cast<char*>(p) - 16;
  live -= *reinterpret_cast<std::size_t*>(block);
  std::free(block);
}

}  // namespace

void* operator new(std::size_t size) { return Take(size); }
void* operator new[](std::size_t size) { return Take(size); }
void operator delete(void* p) noexcept { Give(p); }
void operator delete[](void* p) noexcept { Give(p); }
void operator delete(void* p, std::size_t) noexcept { Give(p); }
void operator delete[](void* p, std::size_t) noexcept { Give(p); }

namespace {

using namespace gif;
using namespace giftest;

// Descriptors of 16384 x 16384 whose image data is an empty sub-block list: a
// few bytes each.
Bytes ForgedFrames(int frames) {
  Bytes file = Header(16384, 16384);
  for (int i = 0; i < frames; ++i) {
    file.insert(file.end(), {0x2C, 0, 0, 0, 0, 0x00, 0x40, 0x00, 0x40, 0x00, 0x02, 0x00});
  }
  file.push_back(0x3B);
  return file;
}

std::size_t PeakWhile(const auto& work) {
  peak = live.load();
  const std::size_t before = live.load();
  work();
  return peak.load() - before;
}

TEST(GIFMemory, TheBudgetIsTheSmallestOfAQuarterOfMemoryWhatIsAvailableAndTheRoomLeftByTheLimit) {
  constexpr std::uint64_t G = 1ull << 30, M = 1ull << 20;
  constexpr std::uint64_t reserve = TGIFImage::AddressSpaceReserve;
  struct Case {
    std::uint64_t physical, available, limit, mapped, budget;
  } const cases[] = {
      {24 * G, 20 * G, 0, 900 * M, 6 * G},                   // a quarter of the memory
      {24 * G, 3 * G, 0, 900 * M, 3 * G},                    // what the machine has left
      {24 * G, 20 * G, 2 * G, 0, 2 * G - reserve},           // the process's address-space limit
      {24 * G, 20 * G, 3 * G / 2, 900 * M, 1536 * M - 900 * M - reserve},  // less what it maps already
      {24 * G, 20 * G, 1 * G, 900 * M, 0},                   // a limit the program itself fills
      {16 * G, 0, 1 * G, 100 * M, 1 * G - 100 * M - reserve},  // nothing known of what is available
      {0, 5 * G, 0, 0, 5 * G},                               // nor of the memory
      {0, 0, 0, 0, 1 * G},                                   // nothing known at all
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.physical / G << " " << c.available / G << " " << c.limit / M << " "
                                    << c.mapped / M);
    EXPECT_EQ(TGIFImage::MemoryBudgetFor(c.physical, c.available, c.limit, c.mapped), c.budget);
  }
  // A 12000 x 12000 frame and its still picture under 1.5 GB, with the editor mapping 900 MB: refused.
  const std::uint64_t frame = TGIFImage::FrameMemoryCost(12000, 12000) + TGIFImage::ScreenMemoryCost(12000, 12000);
  EXPECT_LT(frame, 3 * G / 2);
  EXPECT_GT(frame, TGIFImage::MemoryBudgetFor(24 * G, 20 * G, 3 * G / 2, 900 * M));
}

TEST(GIFMemory, PicturesMadeFromAnImageCountWithItAgainstItsBudget) {
  TGIFImage image;
  image.LoadFromMemory(Cat({Header(100, 100), Image(0, 0, 100, 100, Bytes(100 * 100, 1)), {0x3B}}));
  const std::uint64_t cost = image.MemoryCost();
  ASSERT_GE(cost, TGIFImage::FrameMemoryCost(100, 100));
  image.MemoryBudget = cost + 1000;
  TGIFMemoryCharge first(image, 600);
  EXPECT_THROW(TGIFMemoryCharge(image, 600), GIFException);
  EXPECT_EQ(TGIFMemoryCharge::Held(), 600u);
  first.Release();
  TGIFMemoryCharge second(image, 1000);
  EXPECT_THROW(TGIFMemoryCharge(image, 1), GIFException);
}

TEST(GIFMemory, DeclaredFrameSizesCostNextToNothing) {
  const Bytes file = ForgedFrames(3);
  ASSERT_LE(file.size(), 64u);
  TGIFImage image;
  image.MemoryBudget = 1ull << 40;
  image.OnWarning = [](const void*, int, const std::string&) {};
  const std::size_t used = PeakWhile([&] { image.LoadFromMemory(file); });
  ASSERT_EQ(image.Images().GetCount(), 3);
  EXPECT_LT(used, 64u << 20);
  // The frames still are what they declare.
  TGIFSubImage* frame = image.Images().GetFrame(2);
  EXPECT_FALSE(frame->IsEmpty());
  EXPECT_EQ(frame->GetWidth(), 16384);
}

TEST(GIFMemory, AFilePastTheBudgetFailsAndLeavesTheImageAsItWas) {
  TGIFImage image;
  image.LoadFromMemory(Cat({Header(2, 1), Image(0, 0, 2, 1, {0, 1}), {0x3B}}));
  // 80 forged frames declare about 20 GB of frames; the budget of 1 GB stops them.
  image.MemoryBudget = 1ull << 30;
  image.OnWarning = [](const void*, int, const std::string&) {};
  try {
    image.LoadFromMemory(ForgedFrames(80));
    FAIL() << "loaded past the budget";
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), texts::MemoryBudgetExceeded);
  }
  ASSERT_EQ(image.Images().GetCount(), 1);
  EXPECT_EQ(image.GetWidth(), 2);
  // A real image well inside the budget loads.
  image.MemoryBudget = gif::GIFDefaults().MemoryBudget;
  EXPECT_NO_THROW(image.LoadFromMemory(ForgedFrames(1)));
}

TEST(GIFMemory, AFrameWhoseDataEndsEarlyKeepsItsPixelsInPlace) {
  // 4 x 64 frames coded with 8 pixels and an end code: the rest is the fill,
  // and interlaced rows go where their pass puts them (stream rows 0 and 1 are
  // frame rows 0 and 8).
  const Bytes eight{1, 2, 3, 1, 2, 3, 1, 2};
  for (const bool interlaced : {false, true}) {
    SCOPED_TRACE(interlaced);
    Bytes block{0x2C, 0, 0, 0, 0, 4, 0, 64, 0, static_cast<std::uint8_t>(interlaced ? 0x40 : 0)};
    const Bytes data = LiteralLZW(eight);
    block.insert(block.end(), data.begin(), data.end());
    TGIFImage image;
    image.OnWarning = [](const void*, int, const std::string&) {};
    image.LoadFromMemory(Cat({Header(4, 64, {0, 0xFF0000, 0x00FF00, 0x0000FF}), block, {0x3B}}));
    TGIFSubImage* frame = image.Images().GetFrame(0);
    ASSERT_EQ(frame->DataSize(), 256u);
    const int second = interlaced ? 8 : 1;
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(frame->GetPixel(x, 0), eight[static_cast<std::size_t>(x)]);
      EXPECT_EQ(frame->GetPixel(x, second), eight[static_cast<std::size_t>(4 + x)]);
    }
    int filled = 0;
    for (std::size_t i = 0; i < frame->DataSize(); ++i) filled += frame->Data()[i] == 0;
    EXPECT_EQ(filled, 256 - 8);
  }
}

}  // namespace
