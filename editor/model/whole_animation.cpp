#include "editor/model/whole_animation.h"

#include "editor/model/frame_commands.h"
#include "editor/model/string_tables.h"
#include "editor/model/undo_captions.h"
#include "editor/model/ui_services.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace movinta::editor {

using gif::Bitmap;
using gif::PixelFormat;
using gif::TGIFAppExtNSLoop;

namespace {

TGIFSubImage* FrameAt(TGIFImage& image, int index) {
  if (index < 0 || index >= image.Images().GetCount()) return nullptr;
  return image.Images().GetFrame(index);
}

}  // namespace

int AnimationPlays(TGIFImage& image) {
  for (int i = 0; i < image.Images().GetCount(); ++i)
    if (TGIFAppExtNSLoop* loop = FindLoopExtension(*image.Images().GetFrame(i))) {
      const int stored = loop->GetLoops();
      return (stored == 0 || stored == 65535) ? 0 : stored + 1;
    }
  return 1;
}

void NormalizeLoopBlock(TGIFImage& image, int plays) {
  TGIFSubImage* first = FrameAt(image, 0);
  if (!first) return;
  // Frame 0's own first block stays when it already says the right count, so that an animation
  // already in order is left byte for byte as it was.
  TGIFAppExtNSLoop* keep = plays == 1 ? nullptr : FindLoopExtension(*first);
  for (int f = 0; f < image.Images().GetCount(); ++f) {
    TGIFSubImage& frame = *image.Images().GetFrame(f);
    for (int e = frame.Extensions().GetCount() - 1; e >= 0; --e) {
      auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(frame.Extensions().GetExtension(e));
      if (loop && loop != keep) delete loop;
    }
  }
  if (plays == 1) return;
  const auto stored = static_cast<std::uint16_t>(plays >= 2 ? plays - 1 : 0);
  if (keep) {
    if (keep->GetLoops() != stored && !(plays == 0 && keep->GetLoops() == 65535)) keep->SetLoops(stored);
  } else {
    AddLoopExtension(image, 0, plays);
  }
}

Bitmap StretchBitmap(const Bitmap& source, int width, int height) {
  Bitmap out(width, height, PixelFormat::pf24bit);
  if (source.Empty() || width <= 0 || height <= 0) return out;
  const Bitmap rgb = source.Format() == PixelFormat::pf24bit ? source : source.ConvertedTo(PixelFormat::pf24bit);
  for (int y = 0; y < height; ++y) {
    const int sy = static_cast<int>(static_cast<std::int64_t>(y) * rgb.Height() / height);
    const std::uint8_t* src = rgb.Scanline(sy);
    std::uint8_t* dst = out.Scanline(y);
    for (int x = 0; x < width; ++x) {
      const int sx = static_cast<int>(static_cast<std::int64_t>(x) * rgb.Width() / width);
      std::copy_n(src + sx * 3, 3, dst + x * 3);
    }
  }
  return out;
}

bool ResizeAnimation(TGIFImage& image, int width, int height) {
  if (width < 1 || width > 1000) width = width < 1 ? 10 : 1000;
  if (height < 1 || height > 1000) height = height < 1 ? 10 : 1000;
  if (width == image.GetWidth() && height == image.GetHeight()) return false;
  const int oldWidth = std::max(image.GetWidth(), 1);
  const int oldHeight = std::max(image.GetHeight(), 1);
  // Screen pixel x of the new size shows old screen pixel x * old / new. Each frame is stretched
  // with its place on the screen and keeps its indices, tables, transparency and disposal, so the
  // screen shows a plain enlargement (or reduction) of what it showed before.
  auto edge = [](int v, int size, int oldSize) {
    return static_cast<int>((static_cast<std::int64_t>(v) * size + oldSize - 1) / oldSize);
  };
  auto source = [](int v, int size, int oldSize) {
    return static_cast<int>(static_cast<std::int64_t>(v) * oldSize / size);
  };
  // The screen takes its new size first (frames still larger are stretched into it below).
  image.Header().SetWidth(static_cast<std::uint16_t>(width));
  image.Header().SetHeight(static_cast<std::uint16_t>(height));
  StepProgress progress(image.Images().GetCount(), Tr(undo_captions::kChangeAnimationSize));
  for (int i = 0; i < image.Images().GetCount(); progress.Step(++i)) {
    TGIFSubImage& frame = *image.Images().GetFrame(i);
    if (frame.IsEmpty()) continue;
    const int left = frame.GetLeft(), top = frame.GetTop(), w = frame.GetWidth(), h = frame.GetHeight();
    int x0 = std::min(edge(left, width, oldWidth), width - 1);
    int y0 = std::min(edge(top, height, oldHeight), height - 1);
    const int x1 = std::clamp(edge(left + w, width, oldWidth), x0 + 1, width);
    const int y1 = std::clamp(edge(top + h, height, oldHeight), y0 + 1, height);
    const std::vector<std::uint8_t> old(frame.Data(), frame.Data() + frame.DataSize());
    std::vector<std::uint8_t> stretched(static_cast<std::size_t>(x1 - x0) * static_cast<std::size_t>(y1 - y0));
    std::size_t at = 0;
    for (int y = y0; y < y1; ++y) {
      const int sy = std::clamp(source(y, height, oldHeight) - top, 0, h - 1);
      for (int x = x0; x < x1; ++x) {
        const int sx = std::clamp(source(x, width, oldWidth) - left, 0, w - 1);
        stretched[at++] = old[static_cast<std::size_t>(sy) * static_cast<std::size_t>(w) + static_cast<std::size_t>(sx)];
      }
    }
    frame.SetBounds(x0, y0, x1 - x0, y1 - y0);
    if (frame.DataSize() == stretched.size()) std::copy(stretched.begin(), stretched.end(), frame.Data());
    frame.FreeBitmap();
    frame.FreeMask();
  }
  return true;
}

}  // namespace movinta::editor
