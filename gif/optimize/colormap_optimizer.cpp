// Merging every colour table of an animation into one global table.
#include <algorithm>
#include <array>
#include <memory>
#include <mutex>
#include <utility>

#include "gif/optimize/optimize.h"
#include "gif/painter/painter.h"

namespace gif {
namespace optimize {

THistogram::THistogram(TGIFColorMap& table) : table_(&table), count_(table.GetCount()) {
  entries_.resize(static_cast<std::size_t>(count_));
  for (int i = 0; i < count_; ++i) {
    TColorEntry& e = entries_[static_cast<std::size_t>(i)];
    e.OldIndex = i;
    e.Color = TGIFColorMap::RGBToColor(table.Entry(i));
  }
}

bool THistogram::ProcessFrame(TGIFSubImage& frame) {
  TGIFGraphicControlExtension* gce = frame.GraphicControlExtension();
  const int transparent = frame.Transparent() && gce ? gce->GetTransparentColorIndex() : -1;
  // Counted from the frame's tallies: a frame merged again and again is not walked again.
  std::array<std::uint64_t, 256> counts = frame.IndexCounts();
  bool seen = false, outside = false;
  if (transparent >= 0) {
    seen = counts[static_cast<std::size_t>(transparent)] > 0;
    counts[static_cast<std::size_t>(transparent)] = 0;
  }
  // Pixels beyond the table (the transparent one aside) become 0.
  std::array<std::uint8_t, 256> toZero{};
  for (int v = 0; v < 256; ++v) {
    toZero[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(v);
    if (v < count_ || v == transparent || counts[static_cast<std::size_t>(v)] == 0) continue;
    toZero[static_cast<std::size_t>(v)] = 0;
    counts[0] += std::exchange(counts[static_cast<std::size_t>(v)], 0);
    outside = true;
  }
  if (outside) {
    frame.RemapPixels(toZero);
    table_->Warning(GIFSeverityWarning, texts::ColorNotInTable);
  }
  if (transparent >= 0 && !seen) {
    gce->SetTransparentColorIndex(0);
    gce->SetTransparent(false);
  }
  // An empty table still receives out-of-range pixels as index 0.
  if (count_ == 0 && counts[0] > 0) {
    entries_.resize(1);
    entries_[0] = TColorEntry{0, 0, 256, 0, nullptr};
    count_ = 1;
  }
  for (int i = 0; i < count_; ++i)
    entries_[static_cast<std::size_t>(i)].Count += static_cast<std::int64_t>(counts[static_cast<std::size_t>(i)]);
  frames_.push_back(&frame);
  return seen;
}

int THistogram::Prune() {
  list_.clear();
  for (TColorEntry& e : entries_) list_.push_back(&e);
  std::stable_sort(list_.begin(), list_.end(), [](const TColorEntry* a, const TColorEntry* b) { return a->Count > b->Count; });
  auto firstUnused = std::find_if(list_.begin(), list_.end(), [](const TColorEntry* e) { return e->Count == 0; });
  for (auto it = firstUnused; it != list_.end(); ++it) (*it)->Count = -1;
  list_.erase(firstUnused, list_.end());
  return static_cast<int>(list_.size());
}

std::vector<int> THistogram::IndexMap() const {
  std::vector<int> map(256, 0);
  for (const TColorEntry* e : list_) map[static_cast<std::size_t>(e->OldIndex)] = e->NewIndex;
  return map;
}

void THistogram::MapFrames(bool useTransparency, int newTransparentIndex) {
  const std::vector<int> map = IndexMap();
  std::array<std::uint8_t, 256> lut{};
  for (int i = 0; i < 256; ++i) lut[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(map[static_cast<std::size_t>(i)]);
  for (TGIFSubImage* frame : frames_) {
    TGIFGraphicControlExtension* gce = frame->GraphicControlExtension();
    const bool transparent = useTransparency && frame->Transparent() && gce;
    std::array<std::uint8_t, 256> frameLut = lut;
    if (transparent) frameLut[gce->GetTransparentColorIndex()] = static_cast<std::uint8_t>(newTransparentIndex);
    frame->RemapPixels(frameLut);
    if (transparent) gce->SetTransparentColorIndex(newTransparentIndex);
    frame->FreeBitmap();
    if (TGIFImage* image = frame->Image()) image->Progress(image, TProgressStage::psRunning, -1, false, texts::Optimizing);
  }
}

// ---------------------------------------------------------------------------

TColorMapOptimizer::TColorMapOptimizer(TGIFImage& image) : image_(image) {}

TColorMapOptimizer::~TColorMapOptimizer() {
  for (THistogram* h : histograms_) delete h;
}

void TColorMapOptimizer::Optimize() {
  auto stillWorking = [this] { image_.Progress(&image_, TProgressStage::psRunning, -1, false, texts::Optimizing); };
  TGIFImageList& frames = image_.Images();
  TGIFGlobalColorMap& global = image_.GetGlobalColorMap();
  TGIFColorReferences references(image_);

  THistogram* globalHistogram = nullptr;
  if (global.GetCount() > 0) {
    // A warning handler may throw while frames are counted.
    auto h = std::make_unique<THistogram>(global);
    for (int i = 0; i < frames.GetCount(); ++i) {
      TGIFSubImage* f = frames.GetFrame(i);
      if (f->IsEmpty() || f->ColorMap().GetCount() != 0) continue;
      transparencyInUse_ |= h->ProcessFrame(*f);
      stillWorking();
    }
    if (!h->Frames().empty()) {
      globalHistogram = h.get();
      histograms_.push_back(h.release());
    }
  }
  for (int i = 0; i < frames.GetCount(); ++i) {
    TGIFSubImage* f = frames.GetFrame(i);
    if (f->IsEmpty() || f->ColorMap().GetCount() == 0) continue;
    auto h = std::make_unique<THistogram>(f->ColorMap());
    histograms_.push_back(h.get());
    h.release();
    transparencyInUse_ |= histograms_.back()->ProcessFrame(*f);
    stillWorking();
  }

  merged_.clear();
  for (THistogram* h : histograms_) {
    h->Prune();
    merged_.insert(merged_.end(), h->Used().begin(), h->Used().end());
  }
  std::stable_sort(merged_.begin(), merged_.end(), [](const TColorEntry* a, const TColorEntry* b) { return a->Color < b->Color; });
  for (std::size_t i = 0; i < merged_.size();) {
    std::size_t j = i + 1;
    for (; j < merged_.size() && merged_[j]->Color == merged_[i]->Color; ++j) {
      merged_[i]->Count += merged_[j]->Count;
      merged_[j]->Count = 0;
      merged_[j]->MergedInto = merged_[i];
    }
    i = j;
  }
  std::stable_sort(merged_.begin(), merged_.end(), [](const TColorEntry* a, const TColorEntry* b) { return a->Count > b->Count; });

  const std::size_t limit = transparencyInUse_ ? 255 : 256;
  std::size_t finalCount = 0;
  while (finalCount < merged_.size() && finalCount < limit && merged_[finalCount]->Count != 0) ++finalCount;
  final_.clear();
  for (std::size_t i = 0; i < finalCount; ++i) {
    merged_[i]->NewIndex = static_cast<int>(i);
    final_.push_back(TGIFColorMap::ColorToRGB(merged_[i]->Color));
  }
  // Colours that did not fit go to the nearest colour that did.
  for (std::size_t i = finalCount; i < merged_.size(); ++i) {
    TColorEntry* e = merged_[i];
    if (e->Count == 0) continue;
    int best = 0, bestDistance = 1 << 30;
    for (std::size_t k = 0; k < finalCount; ++k) {
      const int d = ColorDistance(e->Color, merged_[k]->Color);
      if (d < bestDistance) {
        bestDistance = d;
        best = static_cast<int>(k);
      }
    }
    e->NewIndex = best;
  }
  for (TColorEntry* e : merged_)
    if (e->Count == 0 && e->MergedInto) e->NewIndex = e->MergedInto->NewIndex;

  if (transparencyInUse_) {
    newTransparentIndex_ = static_cast<int>(final_.size());
    final_.push_back(TGIFColor{0, 0, 0});
  }

  // Indices into the old global table that no pixel holds (the background,
  // plain-text colours) keep their colours in the new table.
  std::vector<int> globalMap;
  if (globalHistogram) {
    globalMap.assign(static_cast<std::size_t>(globalHistogram->ColorCount()), -1);
    for (const TColorEntry* e : globalHistogram->Used()) globalMap[static_cast<std::size_t>(e->OldIndex)] = e->NewIndex;
  }
  references.ResolveInto(final_, globalMap, -1);

  for (int i = 0; i < frames.GetCount(); ++i) frames.GetFrame(i)->ColorMap().Clear();
  std::array<TGIFColor, 256> block{};
  std::copy(final_.begin(), final_.end(), block.begin());
  global.ImportRGB(block.data(), static_cast<int>(final_.size()));
  global.SetOptimized(true);

  for (THistogram* h : histograms_) h->MapFrames(transparencyInUse_, newTransparentIndex_);
  references.Apply(image_);

  for (int i = 0; i < frames.GetCount(); ++i) {
    TGIFSubImage* f = frames.GetFrame(i);
    f->FreeBitmap();
    f->SetPalette({});
  }
}

}  // namespace optimize

void OptimizeColorMaps(TGIFImage& image) {
  StopAllPainters(image);
  std::lock_guard<std::recursive_mutex> guard(TGIFPainterList::Of(image).Lock());
  optimize::TColorMapOptimizer optimizer(image);
  optimizer.Optimize();
  image.FreeDrawState();
  image.Changed();
}

}  // namespace gif
