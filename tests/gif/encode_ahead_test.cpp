#include "gif/encode_ahead.h"
#include "gif/gifimage.h"
#include "gif/optimize/optimize.h"

#include <gtest/gtest.h>

#include <random>

namespace gif {
namespace {

// A frame of noise over a table of its own, at an offset, transparent when asked.
void AddFrame(TGIFImage& image, std::mt19937& random, int left, int top, const std::vector<TGIFColor>& table,
              bool transparent, bool interlaced = false) {
  auto* frame = new TGIFSubImage(&image);
  image.Add(frame);
  frame->SetBounds(left, top, 40, 30);
  frame->SetInterlaced(interlaced);
  const int colours = static_cast<int>(table.size());
  frame->ColorMap().ImportRGB(table.data(), colours);
  std::uint8_t* pixels = frame->Data();
  for (std::size_t i = 0; i < frame->DataSize(); ++i)
    pixels[i] = static_cast<std::uint8_t>(i % 7 == 0 ? random() % colours : (i / 40 + i / 300) % colours);
  auto* gce = new TGIFGraphicControlExtension(frame);
  frame->Extensions().Add(gce);
  gce->SetDelay(5);
  if (transparent) {
    gce->SetDisposal(2);
    gce->SetTransparentColorIndex(3);
    gce->SetTransparent(true);
  }
}

std::vector<TGIFColor> RandomColours(std::mt19937& random, int count) {
  std::vector<TGIFColor> table(static_cast<std::size_t>(count));
  for (TGIFColor& c : table)
    c = {static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random())};
  return table;
}

// Colours first..first + count - 1 of the image's global table.
std::vector<TGIFColor> GlobalColours(TGIFImage& image, int first, int count) {
  std::vector<TGIFColor> table;
  for (int i = first; i < first + count; ++i) table.push_back(image.GetGlobalColorMap().Entry(i));
  return table;
}

// More colours than one table holds.
std::unique_ptr<TGIFImage> MakeAnimation() {
  auto image = std::make_unique<TGIFImage>();
  image->SetWidth(64);
  image->SetHeight(48);
  std::mt19937 random(7);
  AddFrame(*image, random, 0, 0, RandomColours(random, 120), false);
  AddFrame(*image, random, 9, 4, RandomColours(random, 100), true);
  AddFrame(*image, random, 24, 18, RandomColours(random, 120), false, true);
  AddFrame(*image, random, 3, 11, RandomColours(random, 90), true);
  return image;
}

void MergeTables(TGIFImage& image) {
  image.CountIndices();
  image.Optimize(ooColorMap, 0, 0, 8);
  image.OptimizeColorMaps();
}

// The editor's paste: every added frame merges the tables (a merge joins colours where they do not
// all fit, and reorders them), and the frames a merge leaves to be encoded are encoded ahead while
// it goes on. The write then encodes only frames changed since other than by a recolouring, and
// writes what an image encoded from its pixels writes.
TEST(GIFEncodeAhead, WritesWhatThePixelsWriteAndLeavesTheWriteOnlyNewChanges) {
  const auto run = [](bool cached, bool ahead) {
    std::unique_ptr<TGIFImage> image = MakeAnimation();
    if (cached) {
      image->EncodedDataCache = std::make_shared<TGIFEncodedDataCache>();
      image->SaveToMemory();  // as a working copy leaves it
    }
    TEncodeAhead encoder;
    std::mt19937 random(11);
    MergeTables(*image);
    if (ahead) {
      EXPECT_EQ(encoder.Start(*image), 4);
    }
    for (int added = 0; added < 4; ++added) {
      // New colours, which push others out, and colours the animation has, which do not.
      AddFrame(*image, random, 5 * added, 2 * added,
               added < 2 ? RandomColours(random, 40) : GlobalColours(*image, 10 * added, 60), added % 2 == 1);
      MergeTables(*image);
      if (ahead) {
        EXPECT_GE(encoder.Start(*image), 1);
      }
    }
    // A frame of the merged colours only, most of it one colour: the last merge reorders the table,
    // and the frames started before take the new order.
    auto* same = new TGIFSubImage(image.get());
    image->Add(same);
    same->SetBounds(0, 0, 64, 48);
    for (std::size_t i = 0; i < same->DataSize(); ++i) same->Data()[i] = static_cast<std::uint8_t>(i % 9 ? 200 : i % 250);
    MergeTables(*image);
    // Changed other than by a recolouring after it was started.
    TGIFSubImage& changed = *image->Images().GetFrame(1);
    changed.Data()[5] = changed.Data()[6];
    encoder.Wait();
    const std::uint64_t misses = cached ? image->EncodedDataCache->Misses() : 0;
    std::vector<std::uint8_t> bytes = image->SaveToMemory();
    if (ahead) {
      EXPECT_EQ(image->EncodedDataCache->Misses() - misses, 2u);  // the changed frame and the last
    }
    return bytes;
  };
  const std::vector<std::uint8_t> fromPixels = run(false, false);
  EXPECT_EQ(run(true, false), fromPixels);
  EXPECT_EQ(run(true, true), fromPixels);
}

}  // namespace
}  // namespace gif
