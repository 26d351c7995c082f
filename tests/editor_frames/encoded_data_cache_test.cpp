#include "gif/encoded_data_cache.h"
#include "frames_fixture.h"

#include <gtest/gtest.h>

#include <functional>

namespace movinta::editor {
namespace {

std::vector<std::uint8_t> Plain(gif::TGIFImage& image) {
  std::shared_ptr<gif::TGIFEncodedDataCache> cache = std::exchange(image.EncodedDataCache, nullptr);
  std::vector<std::uint8_t> bytes = image.SaveToMemory();
  image.EncodedDataCache = cache;
  return bytes;
}

std::vector<std::uint8_t> Cached(gif::TGIFImage& image) {
  image.EncodedDataCache->BeginWrite();
  std::vector<std::uint8_t> bytes = image.SaveToMemory();
  image.EncodedDataCache->EndWrite();
  return bytes;
}

struct Change {
  const char* Name;
  std::function<void(gif::TGIFImage&)> Apply;
};

TEST(EncodedDataCacheTest, WritesWhatAnUncachedWriteWritesWhateverChanged) {
  const std::vector<Change> changes = {
      {"nothing", [](gif::TGIFImage&) {}},
      {"one pixel", [](gif::TGIFImage& i) { i.Images().GetFrame(1)->Data()[5] ^= 1; }},
      {"a row", [](gif::TGIFImage& i) { i.Images().GetFrame(2)->GetScanline(3)[1] ^= 1; }},
      {"a cropped frame", [](gif::TGIFImage& i) {
         auto& f = *i.Images().GetFrame(1);
         gif::TGIFGraphicControlExtension* gce = new gif::TGIFGraphicControlExtension(&f);
         f.Extensions().Add(gce);
         gce->SetTransparentColorIndex(f.Data()[0]);
         gce->SetTransparent(true);
         f.Crop();
       }},
      {"the last pixel", [](gif::TGIFImage& i) {
         auto& f = *i.Images().GetFrame(2);
         f.Data()[f.DataSize() - 1] = 3;
       }},
      {"interlacing", [](gif::TGIFImage& i) { i.Images().GetFrame(0)->SetInterlaced(true); }},
      {"compression", [](gif::TGIFImage& i) { i.Compression = gif::gcRLE; }},
      {"a local table of another size", [](gif::TGIFImage& i) {
         auto& map = i.Images().GetFrame(1)->ColorMap();
         for (int c = 0; c < 40; ++c) map.Add(static_cast<gif::TColor>(c * 0x010203));
       }},
      {"a larger global table", [](gif::TGIFImage& i) {
         for (int c = 0; c < 20; ++c) i.GetGlobalColorMap().Add(static_cast<gif::TColor>(0x100000 + c));
       }},
      {"the frame size", [](gif::TGIFImage& i) { i.Images().GetFrame(0)->SetBounds(0, 0, 4, 6); }},
      {"frames moved", [](gif::TGIFImage& i) { i.Images().Move(0, 2); }},
  };
  for (const Change& c : changes) {
    SCOPED_TRACE(c.Name);
    auto image = testing::MakePatternAnimation(3, 6, 4);
    image->EncodedDataCache = std::make_shared<gif::TGIFEncodedDataCache>();
    ASSERT_EQ(Cached(*image), Plain(*image));
    c.Apply(*image);
    EXPECT_EQ(Cached(*image), Plain(*image));
  }
}

TEST(EncodedDataCacheTest, UnchangedFramesAreNotEncodedAgainAndStaleEntriesGo) {
  auto image = testing::MakePatternAnimation(4, 6, 4);
  auto cache = std::make_shared<gif::TGIFEncodedDataCache>();
  image->EncodedDataCache = cache;
  Cached(*image);
  EXPECT_EQ(cache->Misses(), 4u);
  image->Images().GetFrame(3)->Data()[0] ^= 2;
  Cached(*image);
  EXPECT_EQ(cache->Hits(), 3u);
  EXPECT_EQ(cache->Misses(), 5u);
  EXPECT_EQ(cache->Entries(), 4u);  // the old picture of frame 3 is gone

  // A copy that shares the cache finds the same frames.
  gif::TGIFImage copy;
  copy.Assign(*image);
  copy.EncodedDataCache = cache;
  EXPECT_EQ(Cached(copy), Plain(*image));
  EXPECT_EQ(cache->Hits(), 7u);
}

// The working copy read back into the image finds the entries it was written from.
TEST(EncodedDataCacheTest, FramesReadBackFromCachedDataKeepTheirEntries) {
  auto image = testing::MakePatternAnimation(4, 6, 4);
  image->Images().GetFrame(2)->SetInterlaced(true);
  auto cache = std::make_shared<gif::TGIFEncodedDataCache>();
  image->EncodedDataCache = cache;
  const std::vector<std::uint8_t> written = Cached(*image);
  image->LoadFromMemory(written);
  EXPECT_EQ(Cached(*image), written);
  EXPECT_EQ(cache->Misses(), 4u);
  EXPECT_EQ(cache->Hits(), 4u);
  // A frame changed after reading is encoded again.
  image->Images().GetFrame(0)->Data()[1] ^= 1;
  EXPECT_EQ(Cached(*image), Plain(*image));
  EXPECT_EQ(cache->Misses(), 5u);
}

}  // namespace
}  // namespace movinta::editor
