// The passes of Optimize. Each keeps what every frame shows, over time, as it
// was: where a pass could change that, it leaves the frame alone.
#include <algorithm>
#include <mutex>

#include "gif/optimize/optimize.h"
#include "gif/painter/painter.h"

namespace gif {
namespace {

std::uint8_t DisposalOf(const TGIFSubImage& f) {
  const TGIFGraphicControlExtension* gce = f.GraphicControlExtension();
  return gce ? gce->GetDisposal() : static_cast<std::uint8_t>(dmNone);
}

bool Contains(const TRect& outer, const TRect& inner) {
  return outer.Left <= inner.Left && outer.Top <= inner.Top && outer.Right >= inner.Right && outer.Bottom >= inner.Bottom;
}

bool UsesIndex(const TGIFSubImage& f, int index) {
  const std::uint8_t* p = f.Data();
  return std::find(p, p + f.DataSize(), static_cast<std::uint8_t>(index)) != p + f.DataSize();
}

bool AllPixelsAre(const TGIFSubImage& f, int index) {
  const std::uint8_t* p = f.Data();
  return std::all_of(p, p + f.DataSize(), [index](std::uint8_t v) { return v == index; });
}

TGIFAppExtNSLoop* LoopBlockOf(TGIFSubImage& f) {
  TGIFExtensionList& list = f.Extensions();
  for (int k = 0; k < list.GetCount(); ++k)
    if (auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(list.GetExtension(k))) return loop;
  return nullptr;
}

// A fully transparent frame that must stay keeps one transparent pixel.
void KeepAsOnePixel(TGIFSubImage& f, int transparentIndex) {
  f.SetBounds(f.GetLeft(), f.GetTop(), 1, 1);
  f.Data()[0] = static_cast<std::uint8_t>(transparentIndex);
}

}  // namespace

void Optimize(TGIFImage& image, unsigned options, int method, int ditherMode, int bits) {
  (void)ditherMode;
  (void)bits;
  if ((options & ooReduceColors) && !(options & ooCleanup) && method == 9) GIFError(texts::InvalidReductionMethod);
  if (image.IsEmpty()) return;
  StopAllPainters(image);
  std::lock_guard<std::recursive_mutex> guard(TGIFPainterList::Of(image).Lock());

  TGIFImageList& frames = image.Images();
  const int total = 6 * frames.GetCount();
  int steps = 0;
  auto step = [&] {
    ++steps;
    image.Progress(&image, TProgressStage::psRunning, std::min(100, steps * 100 / total), false, texts::Optimizing);
  };
  image.Progress(&image, TProgressStage::psStarting, 0, false, texts::Optimizing);
  try {
    if (options & ooColorMap) {
      if (image.GetGlobalColorMap().GetCount() > 0) image.GetGlobalColorMap().DoOptimize();
      step();
      for (int i = 0; i < frames.GetCount(); ++i) {
        TGIFSubImage* f = frames.GetFrame(i);
        if (f->ColorMap().GetCount() > 0) f->ColorMap().DoOptimize();
        step();
      }
    }

    if (options & ooCleanup) {
      for (int i = 0; i < frames.GetCount(); ++i) {
        TGIFSubImage* f = frames.GetFrame(i);
        TGIFGraphicControlExtension* gce = f->GraphicControlExtension();
        if (f->Transparent() && gce && !UsesIndex(*f, gce->GetTransparentColorIndex())) gce->SetTransparent(false);
        step();
      }
      // A disposal nobody can see: the next frame is opaque and covers it. Not
      // when the next frame restores what lay under it, which includes the
      // disposed area.
      for (int i = 0; i + 1 < frames.GetCount(); ++i) {
        TGIFSubImage* f = frames.GetFrame(i);
        TGIFSubImage* next = frames.GetFrame(i + 1);
        TGIFGraphicControlExtension* gce = f->GraphicControlExtension();
        if (gce && (gce->GetDisposal() == dmBackground || gce->GetDisposal() == dmPrevious) && !next->IsEmpty() &&
            !next->Transparent() && DisposalOf(*next) != dmPrevious && Contains(next->GetBoundsRect(), f->GetBoundsRect()))
          gce->SetDisposal(dmNone);
        step();
      }
    }

    if (options & ooMerge) {
      for (int c = frames.GetCount() - 1; c >= 1; --c) {
        int below = c - 1;
        while (below > 0 && DisposalOf(*frames.GetFrame(below)) == dmPrevious) --below;
        frames.GetFrame(c)->Merge(frames.GetFrame(below));
        step();
      }
    }

    if (options & ooCrop) {
      for (int i = frames.GetCount() - 1; i >= 0; --i) {
        step();
        TGIFSubImage* f = frames.GetFrame(i);
        TGIFGraphicControlExtension* gce = f->GraphicControlExtension();
        if (f->IsEmpty() || !f->Transparent() || !gce) continue;
        // Disposal 2 clears the frame's whole rectangle: a smaller one would
        // clear less.
        if (gce->GetDisposal() == dmBackground) continue;
        const int transparent = gce->GetTransparentColorIndex();
        if (!AllPixelsAre(*f, transparent)) {
          f->Crop();
          continue;
        }
        // Nothing drawn. Dropping the frame shows the frame before it for the
        // time instead, which looks the same unless that frame disposes; the
        // first frame and frames carrying other blocks stay as one pixel.
        const bool onlyGraphicControl = f->Extensions().GetCount() == 1;
        TGIFSubImage* before = i > 0 ? frames.GetFrame(i - 1) : nullptr;
        const bool beforeStays = before && DisposalOf(*before) != dmBackground && DisposalOf(*before) != dmPrevious;
        if (!before || !beforeStays || !onlyGraphicControl) {
          KeepAsOnePixel(*f, transparent);
          continue;
        }
        TGIFGraphicControlExtension* target = before->GraphicControlExtension();
        if (!target) {
          target = new TGIFGraphicControlExtension(before);
          before->Extensions().Add(target);
        }
        target->SetDelay(static_cast<std::uint16_t>(std::min(0xFFFF, target->GetDelay() + gce->GetDelay())));
        frames.Delete(i);
      }
    }

    if (options & ooCleanup) {
      const bool animated = frames.GetCount() > 1;
      // Only frame 0 keeps a loop block. When it has none, the first one further on is what says
      // how often the animation plays: it moves to frame 0 instead of going.
      if (animated && !LoopBlockOf(*frames.GetFrame(0))) {
        for (int i = 1; i < frames.GetCount(); ++i) {
          if (const TGIFAppExtNSLoop* later = LoopBlockOf(*frames.GetFrame(i))) {
            TGIFSubImage* first = frames.GetFrame(0);
            auto* moved = new TGIFAppExtNSLoop(first);
            moved->SetLoops(later->GetLoops());
            first->Extensions().Insert(0, moved);
            break;
          }
        }
      }
      for (int i = frames.GetCount() - 1; i >= 0; --i) {
        TGIFSubImage* f = frames.GetFrame(i);
        TGIFExtensionList& list = f->Extensions();
        for (int k = list.GetCount() - 1; k >= 0; --k) {
          TGIFExtension* e = list.GetExtension(k);
          const bool loop = dynamic_cast<TGIFAppExtNSLoop*>(e) != nullptr;
          if (dynamic_cast<TGIFCommentExtension*>(e) || dynamic_cast<TGIFTextExtension*>(e) ||
              dynamic_cast<TGIFUnknownAppExtension*>(e) || (loop && !(i == 0 && animated)))
            list.Delete(k);
        }
        if (TGIFGraphicControlExtension* gce = f->GraphicControlExtension();
            gce && !gce->GetTransparent() && !gce->GetUserInput() &&
            ((gce->GetDelay() == 0 && gce->GetDisposal() < dmBackground) || !animated))
          list.Delete(list.IndexOf(gce));
        if (f->IsEmpty() && list.GetCount() == 0) frames.Delete(i);
        step();
      }
    }
  } catch (...) {
    image.Progress(&image, TProgressStage::psEnding, 0, false, texts::Optimizing);
    throw;
  }
  for (int i = 0; i < frames.GetCount(); ++i) {
    frames.GetFrame(i)->FreeBitmap();
    frames.GetFrame(i)->SetPalette({});
  }
  image.FreeDrawState();
  image.SetPalette({});
  image.Progress(&image, TProgressStage::psEnding, 100, false, texts::Optimizing);
  image.Changed();
}

// The image's own members for the two operations.
void TGIFImage::OptimizeColorMaps() { gif::OptimizeColorMaps(*this); }

void TGIFImage::Optimize(unsigned options, int method, int ditherMode, int bits) {
  gif::Optimize(*this, options, method, ditherMode, bits);
}

}  // namespace gif
