// The octree colour quantiser: builds a palette of at most a given number of
// colours that fits one picture.
#pragma once

#include <cstdint>
#include <vector>

#include "gif/color/bitmap.h"
#include "gif/color/dib.h"

namespace gif {

// One node of the colour octree. Nodes live in the quantiser's pool and refer
// to each other by pool index (-1 for none). Sums are 64-bit: a leaf can gather
// every pixel of a very large picture.
struct TOctreeNode {
  bool leaf = false;
  std::uint64_t pixelCount = 0;
  std::uint64_t redSum = 0;
  std::uint64_t greenSum = 0;
  std::uint64_t blueSum = 0;
  std::int32_t nextReducible = -1;  // the next reducible node of the same level
  std::int32_t children[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
};

class TColorQuantizer {
public:
  // maxColors at least 1; colorBits (the tree depth) 1..8.
  TColorQuantizer(int maxColors, int colorBits);

  // Every pixel of rows blue-green-red first, bytesPerPixel (3 or 4) apart.
  void AddRows(const std::uint8_t* firstRow, std::size_t rowBytes, int width, int height, int bytesPerPixel);
  void AddColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
  // A 24- or 32-bit reader is used as it is; any other is read as 24-bit.
  void ProcessImage(const TDIBReader& reader);

  int LeafCount() const { return leafCount_; }
  // The leaves in depth-first order, children in index order; each colour is
  // the mean of its pixels (black for a leaf without pixels).
  Palette GetColorTable() const;

private:
  std::int32_t NewNode(int level);
  void FreeNode(std::int32_t index);
  void ReduceTree();
  void CollectColors(std::int32_t index, Palette& out) const;

  std::vector<TOctreeNode> nodes_;
  std::int32_t freeList_ = -1;
  std::int32_t root_ = -1;
  int leafCount_ = 0;
  std::int32_t reducible_[9];
  int maxColors_;
  int colorBits_;
  // The leaf the last colour went to; repeated colours skip the descent.
  std::int32_t lastLeaf_ = -1;
  std::uint32_t lastColor_ = 0;
};

// A palette from the octree over the reader's picture. With system colours the
// palette has 256 entries: the first 10 static colours, 236 from the tree, the
// last 10 static colours; without them exactly `colours` entries. Entries
// beyond the colours found stay black.
Palette CreateOptimizedPalette(const TDIBReader& reader, int colours, int colourBits, bool withSystemColours);
Palette CreateOptimizedPaletteFromSingleBitmap(const Bitmap& bitmap, int colours, int colourBits,
                                               bool withSystemColours);

}  // namespace gif
