#include "gif/color/quantize.h"

#include <algorithm>

#include "gif/color/palettes.h"

namespace gif {

TColorQuantizer::TColorQuantizer(int maxColors, int colorBits)
    : maxColors_(std::max(maxColors, 1)), colorBits_(std::clamp(colorBits, 1, 8)) {
  std::fill(std::begin(reducible_), std::end(reducible_), -1);
  nodes_.reserve(1024);
  root_ = NewNode(0);
}

std::int32_t TColorQuantizer::NewNode(int level) {
  std::int32_t index;
  if (freeList_ >= 0) {
    index = freeList_;
    freeList_ = nodes_[std::size_t(index)].nextReducible;
    nodes_[std::size_t(index)] = TOctreeNode{};
  } else {
    index = std::int32_t(nodes_.size());
    nodes_.emplace_back();
  }
  TOctreeNode& node = nodes_[std::size_t(index)];
  if (level == colorBits_) {
    node.leaf = true;
    ++leafCount_;
  } else {
    node.nextReducible = reducible_[level];
    reducible_[level] = index;
  }
  return index;
}

void TColorQuantizer::FreeNode(std::int32_t index) {
  nodes_[std::size_t(index)].nextReducible = freeList_;
  freeList_ = index;
}

void TColorQuantizer::AddColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  const std::uint32_t key = 0x1000000u | red | std::uint32_t(green) << 8 | std::uint32_t(blue) << 16;
  std::int32_t index = root_;
  if (lastLeaf_ >= 0 && key == lastColor_) {
    index = lastLeaf_;
  } else {
    // A node that an earlier reduction made a leaf ends the descent: its pixels
    // are gathered there and it must not grow children again.
    for (int level = 0; !nodes_[std::size_t(index)].leaf; ++level) {
      const int shift = 7 - level;
      const int child = ((red >> shift) & 1) << 2 | ((green >> shift) & 1) << 1 | ((blue >> shift) & 1);
      std::int32_t next = nodes_[std::size_t(index)].children[child];
      if (next < 0) {
        next = NewNode(level + 1);
        nodes_[std::size_t(index)].children[child] = next;
      }
      index = next;
    }
  }
  TOctreeNode& leaf = nodes_[std::size_t(index)];
  ++leaf.pixelCount;
  leaf.redSum += red;
  leaf.greenSum += green;
  leaf.blueSum += blue;
  lastLeaf_ = index;
  lastColor_ = key;
  while (leafCount_ > maxColors_) ReduceTree();
}

void TColorQuantizer::ReduceTree() {
  int level = colorBits_ - 1;
  while (level > 0 && reducible_[level] < 0) --level;
  const std::int32_t index = reducible_[level];
  if (index < 0) {
    leafCount_ = std::min(leafCount_, maxColors_);  // nothing left to merge
    return;
  }
  reducible_[level] = nodes_[std::size_t(index)].nextReducible;
  std::uint64_t count = 0, red = 0, green = 0, blue = 0;
  int children = 0;
  for (std::int32_t& c : nodes_[std::size_t(index)].children) {
    if (c < 0) continue;
    const TOctreeNode& child = nodes_[std::size_t(c)];
    count += child.pixelCount;
    red += child.redSum;
    green += child.greenSum;
    blue += child.blueSum;
    FreeNode(c);
    c = -1;
    ++children;
  }
  TOctreeNode& node = nodes_[std::size_t(index)];
  node.leaf = true;
  node.pixelCount = count;
  node.redSum = red;
  node.greenSum = green;
  node.blueSum = blue;
  leafCount_ -= children - 1;
  lastLeaf_ = -1;
}

void TColorQuantizer::AddRows(const std::uint8_t* firstRow, std::size_t rowBytes, int width, int height,
                              int bytesPerPixel) {
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* p = firstRow + rowBytes * std::size_t(y);
    for (int x = 0; x < width; ++x, p += bytesPerPixel) AddColor(p[2], p[1], p[0]);
  }
}

void TColorQuantizer::ProcessImage(const TDIBReader& reader) {
  if (reader.Width() == 0 || reader.Height() == 0) return;
  const Bitmap* source = &reader.Source();
  Bitmap converted;
  if (source->Format() != PixelFormat::pf24bit && source->Format() != PixelFormat::pf32bit) {
    converted = source->ConvertedTo(PixelFormat::pf24bit);
    source = &converted;
  }
  AddRows(source->Bits(), source->RowBytes(), source->Width(), source->Height(),
          source->Format() == PixelFormat::pf32bit ? 4 : 3);
}

void TColorQuantizer::CollectColors(std::int32_t index, Palette& out) const {
  const TOctreeNode& node = nodes_[std::size_t(index)];
  if (node.leaf) {
    if (node.pixelCount == 0) {
      out.push_back(Rgb{});
    } else {
      out.push_back(Rgb{std::uint8_t(node.redSum / node.pixelCount), std::uint8_t(node.greenSum / node.pixelCount),
                        std::uint8_t(node.blueSum / node.pixelCount)});
    }
    return;
  }
  for (std::int32_t c : node.children)
    if (c >= 0) CollectColors(c, out);
}

Palette TColorQuantizer::GetColorTable() const {
  Palette out;
  out.reserve(std::size_t(leafCount_));
  CollectColors(root_, out);
  return out;
}

namespace {

constexpr int kSystemColorsEachEnd = 10;
constexpr int kQuantizedWithSystemColors = 236;

Palette FromQuantizer(TColorQuantizer& quantizer, int colours, bool withSystemColours) {
  const Palette found = quantizer.GetColorTable();
  if (!withSystemColours) {
    Palette p(static_cast<std::size_t>(colours));
    std::copy_n(found.begin(), std::min(found.size(), p.size()), p.begin());
    return p;
  }
  const Palette system = SystemPalette20();
  Palette p(256);
  std::copy_n(system.begin(), kSystemColorsEachEnd, p.begin());
  std::copy_n(found.begin(), std::min<std::size_t>(found.size(), kQuantizedWithSystemColors),
              p.begin() + kSystemColorsEachEnd);
  std::copy_n(system.begin() + kSystemColorsEachEnd, kSystemColorsEachEnd, p.end() - kSystemColorsEachEnd);
  return p;
}

}  // namespace

Palette CreateOptimizedPalette(const TDIBReader& reader, int colours, int colourBits, bool withSystemColours) {
  colours = std::clamp(colours, 1, 256);
  TColorQuantizer quantizer(withSystemColours ? kQuantizedWithSystemColors : colours, colourBits);
  quantizer.ProcessImage(reader);
  return FromQuantizer(quantizer, colours, withSystemColours);
}

Palette CreateOptimizedPaletteFromSingleBitmap(const Bitmap& bitmap, int colours, int colourBits,
                                               bool withSystemColours) {
  const TDIBReader reader(bitmap, bitmap.Format() == PixelFormat::pf32bit ? PixelFormat::pf32bit
                                                                          : PixelFormat::pf24bit);
  return CreateOptimizedPalette(reader, colours, colourBits, withSystemColours);
}

}  // namespace gif
