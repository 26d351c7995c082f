// Making an animation smaller without changing what it shows: merging every
// colour table into one global table of the colours really used, and the
// passes of Optimize (tables by use, transparency and block clean-up, merging
// each frame against the screen it is drawn over, cropping transparent borders).
//
// Both operations stop the image's painters first and hold its painter list's
// lock while they change frames, so no painter starts meanwhile.
#pragma once

#include <cstdint>
#include <vector>

#include "gif/color_references.h"
#include "gif/gifimage.h"

namespace gif {

// Option bits of Optimize.
inline constexpr unsigned ooColorMap = 0x08;  // each colour table sorted by use, unused entries dropped
inline constexpr unsigned ooCleanup = 0x04;   // transparency and disposal clean-up, unneeded blocks removed
inline constexpr unsigned ooMerge = 0x02;     // pixels that repeat the screen below become transparent
inline constexpr unsigned ooCrop = 0x01;      // transparent borders cut, frames left empty dropped
inline constexpr unsigned ooReduceColors = 0x10;  // accepted for callers; selects no work here
inline constexpr unsigned ooAll = 0x1F;

// Merges all colour tables into one global table; frames lose their local tables.
void OptimizeColorMaps(TGIFImage& image);

// Runs the passes chosen by options. method, ditherMode and bits select no work
// of their own; option 0x10 without 0x04 and method 9 (a caller's palette)
// raises "Invalid reduction method". Nothing happens for an empty image.
void Optimize(TGIFImage& image, unsigned options, int method = 0, int ditherMode = 0, int bits = 8);

namespace optimize {

// One colour-table entry as the optimiser sees it.
struct TColorEntry {
  std::int64_t Count = 0;  // uses; -1 once cut off as unused
  int OldIndex = 0;
  int NewIndex = 256;  // 256: none yet
  TColor Color = 0;
  TColorEntry* MergedInto = nullptr;  // the entry of the same colour that speaks for this one
};

// The use of one colour table by the frames counted into it.
class THistogram {
public:
  explicit THistogram(TGIFColorMap& table);
  THistogram(const THistogram&) = delete;
  THistogram& operator=(const THistogram&) = delete;

  // Counts the frame's pixels. A pixel beyond the table becomes 0 (with the
  // warning "Color not in color table"); transparent pixels are not counted,
  // and a transparent frame that shows no transparent pixel stops being
  // transparent. True when the frame showed its transparent colour.
  bool ProcessFrame(TGIFSubImage& frame);
  // Sorts the entries by use, most used first, and cuts off the unused ones;
  // returns how many are used.
  int Prune();
  // Rewrites the counted frames' pixels to the entries' new indices.
  void MapFrames(bool useTransparency, int newTransparentIndex);
  // Old index to new index (0 for unused entries).
  std::vector<int> IndexMap() const;

  TGIFColorMap& Table() const { return *table_; }
  int ColorCount() const { return count_; }
  std::vector<TColorEntry*>& Used() { return list_; }
  const std::vector<TGIFSubImage*>& Frames() const { return frames_; }
  TColorEntry& Entry(int index) { return entries_[static_cast<std::size_t>(index)]; }

private:
  TGIFColorMap* table_;
  int count_;
  std::vector<TColorEntry> entries_;
  std::vector<TColorEntry*> list_;
  std::vector<TGIFSubImage*> frames_;
};

class TColorMapOptimizer {
public:
  explicit TColorMapOptimizer(TGIFImage& image);
  TColorMapOptimizer(const TColorMapOptimizer&) = delete;
  TColorMapOptimizer& operator=(const TColorMapOptimizer&) = delete;
  ~TColorMapOptimizer();

  void Optimize();

  // What the run decided, for callers and tests.
  const std::vector<TGIFColor>& FinalTable() const { return final_; }
  int NewTransparentIndex() const { return newTransparentIndex_; }
  bool TransparencyInUse() const { return transparencyInUse_; }

private:
  TGIFImage& image_;
  std::vector<THistogram*> histograms_;
  std::vector<TColorEntry*> merged_;
  std::vector<TGIFColor> final_;
  int newTransparentIndex_ = -1;
  bool transparencyInUse_ = false;
};

// Squared RGB distance, the measure for colours that no longer fit a table.
using gif::ColorDistance;

}  // namespace optimize
}  // namespace gif
