// Colour tables and the hooks through which a table reaches the pixels using it.
#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "gif/color_references.h"
#include "gif/gifimage.h"

namespace gif {

void TGIFColorMap::Clear() {
  entries_.fill(TGIFColor{});
  count_ = 0;
  optimized_ = false;
}

void TGIFColorMap::Assign(const TGIFColorMap& source) {
  if (&source == this) return;
  Clear();
  entries_ = source.entries_;
  count_ = source.count_;
  optimized_ = source.optimized_;
  Changed();
}

TGIFColor TGIFColorMap::ColorToRGB(TColor color) {
  return TGIFColor{static_cast<std::uint8_t>(color), static_cast<std::uint8_t>(color >> 8),
                   static_cast<std::uint8_t>(color >> 16)};
}

TColor TGIFColorMap::RGBToColor(TGIFColor triple) {
  return static_cast<TColor>(triple.Red) | static_cast<TColor>(triple.Green) << 8 |
         static_cast<TColor>(triple.Blue) << 16;
}

int TGIFColorMap::IndexOf(TColor color) const {
  const TGIFColor c = ColorToRGB(color);
  if (optimized_) {
    for (int i = 0; i < count_; ++i)
      if (entries_[static_cast<std::size_t>(i)] == c) return i;
  } else {
    for (int i = count_ - 1; i >= 0; --i)
      if (entries_[static_cast<std::size_t>(i)] == c) return i;
  }
  return -1;
}

int TGIFColorMap::Add(TColor color) {
  if (count_ >= 256) GIFError(texts::ColorTableOverflow);
  entries_[static_cast<std::size_t>(count_)] = ColorToRGB(color);
  ++count_;
  optimized_ = false;
  Changed();
  return count_ - 1;
}

int TGIFColorMap::AddUnique(TColor color) {
  const int index = IndexOf(color);
  return index >= 0 ? index : Add(color);
}

void TGIFColorMap::Delete(int index) {
  if (index < 0 || index >= count_) GIFError(texts::InvalidColorIndex);
  std::copy(entries_.begin() + index + 1, entries_.begin() + count_, entries_.begin() + index);
  --count_;
  entries_[static_cast<std::size_t>(count_)] = TGIFColor{};
  optimized_ = false;
  Changed();
}

TColor TGIFColorMap::GetColor(int index) {
  if (index < 0 || index >= count_) {
    Warning(GIFSeverityWarning, texts::InvalidColorIndex);
    if (count_ == 0) GIFError(texts::EmptyColorTable);
    index = 0;
  }
  return RGBToColor(entries_[static_cast<std::size_t>(index)]);
}

void TGIFColorMap::SetColor(int index, TColor color) {
  if (index < 0 || index >= count_) GIFError(texts::InvalidColorIndex);
  entries_[static_cast<std::size_t>(index)] = ColorToRGB(color);
  Changed();
}

void TGIFColorMap::SaveToStream(ByteWriter& stream) const { SaveToStreamCovering(stream, 0); }

void TGIFColorMap::SaveToStreamCovering(ByteWriter& stream, int entries) const {
  if (count_ == 0) return;
  const int needed = std::max(count_, std::min(entries, 256));
  const int total = 1 << ColorsToBits(needed);
  stream.Write(entries_.data(), static_cast<std::size_t>(count_) * 3);
  for (int i = count_; i < total; ++i) {
    stream.Write(0);
    stream.Write(0);
    stream.Write(0);
  }
}

void TGIFColorMap::LoadFromStream(ByteReader& stream, int count) {
  static_assert(sizeof(TGIFColor) == 3);
  Clear();
  count = std::clamp(count, 0, 256);
  ReadCheck(stream, entries_.data(), static_cast<std::size_t>(count) * 3);
  count_ = count;
}

void TGIFColorMap::ImportPalette(const TGIFPalette& palette) {
  Clear();
  if (palette.empty()) return;
  count_ = static_cast<int>(std::min<std::size_t>(palette.size(), 256));
  for (int i = 0; i < count_; ++i) {
    const Rgb& c = palette[static_cast<std::size_t>(i)];
    entries_[static_cast<std::size_t>(i)] = TGIFColor{c.red, c.green, c.blue};
  }
  Changed();
}

void TGIFColorMap::ImportRGB(const TGIFColor* triples, int count) {
  Clear();
  if (count > 0) {
    count_ = std::min(count, 256);
    std::copy(triples, triples + count_, entries_.begin());
  }
  Changed();
}

void TGIFColorMap::ImportColorTable(const std::uint8_t* quads, int count) {
  Clear();
  if (count > 0) {
    count_ = std::min(count, 256);
    for (int i = 0; i < count_; ++i)
      entries_[static_cast<std::size_t>(i)] = TGIFColor{quads[i * 4 + 2], quads[i * 4 + 1], quads[i * 4]};
  }
  Changed();
}

TGIFPalette TGIFColorMap::ExportPalette() const {
  TGIFPalette palette;
  palette.reserve(static_cast<std::size_t>(count_));
  for (int i = 0; i < count_; ++i) {
    const TGIFColor& c = entries_[static_cast<std::size_t>(i)];
    palette.push_back(Rgb{c.Red, c.Green, c.Blue});
  }
  return palette;
}

namespace {
// Highest use count first; equal counts may land on either side.
void SortByUse(THistogram& pairs, int lo, int hi) {
  while (lo < hi) {
    const int pivot = pairs[static_cast<std::size_t>((lo + hi) / 2)].Count;
    int i = lo, j = hi;
    while (i <= j) {
      while (pairs[static_cast<std::size_t>(i)].Count > pivot) ++i;
      while (pairs[static_cast<std::size_t>(j)].Count < pivot) --j;
      if (i <= j) {
        std::swap(pairs[static_cast<std::size_t>(i)], pairs[static_cast<std::size_t>(j)]);
        ++i;
        --j;
      }
    }
    if (lo < j) SortByUse(pairs, lo, j);
    lo = i;
  }
}
}  // namespace

bool TGIFColorMap::Optimize() {
  if (count_ < 2) return false;
  optimized_ = true;
  THistogram pairs{};
  BuildHistogram(pairs);
  SortByUse(pairs, 0, count_ - 1);
  bool inOrder = true;
  for (int k = 0; k < count_ && inOrder; ++k) inOrder = pairs[static_cast<std::size_t>(k)].Index == k;
  if (inOrder) return true;

  TColormapMap map{};
  for (int i = 0; i < 256; ++i) map[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
  for (int k = 0; k < count_; ++k) map[static_cast<std::size_t>(pairs[static_cast<std::size_t>(k)].Index)] = static_cast<std::uint8_t>(k);
  RemapPixels(map);

  const auto old = entries_;
  const int oldCount = count_;
  for (int i = 0; i < count_; ++i) entries_[map[static_cast<std::size_t>(i)]] = old[static_cast<std::size_t>(i)];
  for (int k = 0; k < count_; ++k) {
    if (pairs[static_cast<std::size_t>(k)].Count == 0) {
      count_ = k;
      break;
    }
  }
  RemapReferences(map, oldCount);
  // A colour that a reference brings back sits behind the used ones, so the
  // table is still in order of use.
  optimized_ = true;
  Changed();
  return true;
}

// ---------------------------------------------------------------------------

namespace {
void CountPixels(const TGIFSubImage& frame, THistogram& histogram) {
  const std::array<std::uint64_t, 256>& counts = frame.IndexCounts();
  for (std::size_t i = 0; i < 256; ++i) histogram[i].Count += static_cast<int>(counts[i]);
}

void RemapFrame(TGIFSubImage& frame, const TColormapMap& map) {
  frame.RemapPixels(map);
  if (frame.Transparent() && frame.GraphicControlExtension())
    frame.GraphicControlExtension()->SetTransparentColorIndex(map[frame.GraphicControlExtension()->GetTransparentColorIndex()]);
  frame.FreeBitmap();
}

void ResetHistogram(THistogram& histogram) {
  for (int i = 0; i < 256; ++i) histogram[static_cast<std::size_t>(i)] = THistogramEntry{0, i};
}

void StillWorking(TGIFImage& image) { image.Progress(&image, TProgressStage::psRunning, -1, false, texts::Optimizing); }
}  // namespace

// The owner is going away with the table: nothing left to tell.
TGIFGlobalColorMap::~TGIFGlobalColorMap() = default;

void TGIFGlobalColorMap::Warning(int severity, const std::string& message) {
  if (TGIFImage* image = header_->Image()) image->Warning(this, severity, message);
}

void TGIFGlobalColorMap::BuildHistogram(THistogram& histogram) {
  ResetHistogram(histogram);
  TGIFImage* image = header_->Image();
  if (!image) return;
  for (int i = 0; i < image->Images().GetCount(); ++i) {
    TGIFSubImage* frame = image->Images().GetFrame(i);
    if (&frame->GetActiveColorMap() != this) continue;
    CountPixels(*frame, histogram);
    StillWorking(*image);
  }
}

void TGIFGlobalColorMap::RemapPixels(const TColormapMap& map) {
  TGIFImage* image = header_->Image();
  if (!image) return;
  for (int i = 0; i < image->Images().GetCount(); ++i) {
    TGIFSubImage* frame = image->Images().GetFrame(i);
    if (&frame->GetActiveColorMap() != this) continue;
    RemapFrame(*frame, map);
    StillWorking(*image);
  }
}

void TGIFGlobalColorMap::RemapReferences(const TColormapMap& map, int oldCount) {
  TGIFImage* image = header_->Image();
  if (!image) return;
  std::vector<TColor> oldColors(static_cast<std::size_t>(oldCount));
  std::vector<int> kept(static_cast<std::size_t>(oldCount), -1);
  for (int i = 0; i < oldCount; ++i) {
    const int moved = map[static_cast<std::size_t>(i)];
    oldColors[static_cast<std::size_t>(i)] = RGBToColor(Entry(moved));
    if (moved < GetCount()) kept[static_cast<std::size_t>(i)] = moved;
  }
  TGIFColorReferences references(*image, std::move(oldColors));
  references.ResolveInto(*this, kept);
  references.Apply(*image);
}

bool TGIFGlobalColorMap::DoOptimize() {
  TGIFImage* image = header_->Image();
  return image && image->Images().GetCount() > 0 && Optimize();
}

void TGIFGlobalColorMap::Changed() {
  if (TGIFImage* image = header_->Image()) image->SetPalette({});
}

TGIFLocalColorMap::~TGIFLocalColorMap() = default;

void TGIFLocalColorMap::Warning(int severity, const std::string& message) {
  if (TGIFImage* image = frame_->Image()) image->Warning(this, severity, message);
}

void TGIFLocalColorMap::BuildHistogram(THistogram& histogram) {
  ResetHistogram(histogram);
  CountPixels(*frame_, histogram);
}

void TGIFLocalColorMap::RemapPixels(const TColormapMap& map) { RemapFrame(*frame_, map); }

bool TGIFLocalColorMap::DoOptimize() { return Optimize(); }

void TGIFLocalColorMap::Changed() { frame_->SetPalette({}); }

}  // namespace gif

