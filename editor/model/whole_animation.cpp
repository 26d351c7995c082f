#include "editor/model/whole_animation.h"

#include "editor/model/frame_properties.h"
#include "editor/model/string_tables.h"
#include "editor/model/undo_captions.h"
#include "editor/model/ui_services.h"
#include "editor/model/undo_records.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace movinta::editor {

using gif::Bitmap;
using gif::PixelFormat;
using gif::TGIFAppExtNSLoop;
using gif::TGIFGraphicControlExtension;

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

// ---- recorded changes

bool SetGlobalPalette(TFrameEditing& editing, const gif::TGIFColorMap& table, const QString& caption) {
  TGIFImage& image = *SharedImage();
  TMDIChild& document = *editing.Active();
  if (!editing.Record(RecordGlobalPaletteChange, document, caption)) return false;
  image.GetGlobalColorMap().Assign(table);
  for (int i = 0; i < image.Images().GetCount(); ++i) image.Images().GetFrame(i)->FreeBitmap();
  document.SetModified(true);
  return true;
}

bool ChangeAnimationSize(TFrameEditing& editing, int width, int height) {
  TGIFImage& image = *SharedImage();
  TMDIChild& document = *editing.Active();
  if (!editing.Record(RecordAnimationChange, document, std::max(0, editing.SelectedFrame()),
                      Tr(undo_captions::kChangeAnimationSize)))
    return false;
  ResizeAnimation(image, width, height);
  document.SetModified(true);
  return true;
}

// The first frame (numbered from 1) whose colour table holds neither the colour nor room for it;
// 0 when every frame can take it. first and last bound the frames that will be given the colour.
int FrameWithoutRoomFor(TGIFImage& image, gif::TColor color, int first, int last) {
  for (int i = std::max(first, 0); i <= last && i < image.Images().GetCount(); ++i) {
    TGIFSubImage& frame = *image.Images().GetFrame(i);
    if (!frame.GraphicControlExtension()) continue;
    const gif::TGIFColorMap& map = frame.GetActiveColorMap();
    if (map.IndexOf(color) < 0 && map.GetCount() >= 256) return i + 1;
  }
  return 0;
}

bool MapLocalTablesToGlobal(TGIFImage& image, bool removeLocal, std::vector<IndexMap>& toGlobal) {
  toGlobal.assign(static_cast<std::size_t>(image.Images().GetCount()), IdentityIndexMap());
  for (int i = 0; removeLocal && i < image.Images().GetCount(); ++i) {
    TGIFSubImage& frame = *image.Images().GetFrame(i);
    if (!frame.GraphicControlExtension() || frame.ColorMap().GetCount() == 0) continue;
    if (!MapLocalToGlobal(frame, toGlobal[static_cast<std::size_t>(i)])) return false;
  }
  return true;
}

bool ApplyGlobalChange(TFrameEditing& editing, const GlobalChangeCaptions& captions, const GlobalChangeChoice& choice,
                       bool delayOk, int delay, const std::vector<IndexMap>& toGlobal) {
  TGIFImage& image = *SharedImage();
  TMDIChild& document = *editing.Active();
  if (!editing.Record(RecordAnimationChange, document, std::max(0, editing.SelectedFrame()),
                      Tr(undo_captions::kGlobalPropertiesChange)))
    return false;
  StepProgress progress(image.Images().GetCount());
  for (int i = 0; i < image.Images().GetCount(); progress.Step(++i)) {
    TGIFSubImage& frame = *image.Images().GetFrame(i);
    TGIFGraphicControlExtension* gce = frame.GraphicControlExtension();
    if (!gce) continue;
    if (delayOk) gce->SetDelay(static_cast<std::uint16_t>(delay));
    if (choice.TransparentTouched) {
      if (captions.RemoveTransparent) {
        gce->SetTransparent(!choice.TransparentChecked);
      } else {
        gce->SetTransparent(choice.TransparentChecked);
        if (choice.TransparentChecked) gce->SetTransparentColor(choice.Transparent.Color);
      }
    }
    if (choice.InterlacedTouched)
      frame.SetInterlaced(captions.RemoveInterlaced ? !choice.InterlacedChecked : choice.InterlacedChecked);
    if (choice.LocalPaletteTouched && choice.LocalPaletteChecked) {
      // Either way the transparent index keeps its colour: the remap moves it with the pixels, and
      // a copy of the global table keeps every index where it was.
      if (captions.RemoveLocalPalette) {
        if (frame.ColorMap().GetCount() > 0) RemapFrame(frame, toGlobal[static_cast<std::size_t>(i)]);
        frame.ColorMap().Clear();
      } else if (image.GetGlobalColorMap().GetCount() > 0 && frame.ColorMap().GetCount() == 0) {
        // A frame with a table of its own keeps it: the global table's colours are not its own.
        frame.ColorMap().Assign(image.GetGlobalColorMap());
      }
    }
    if (choice.Disposal >= 0 && choice.Disposal <= 3) gce->SetDisposal(choice.Disposal);
    frame.FreeBitmap();
  }
  document.SetModified(true);
  return true;
}

bool SetAnimationTransparent(TFrameEditing& editing, gif::TColor color) {
  TGIFImage& image = *SharedImage();
  TMDIChild& document = *editing.Active();
  if (!editing.Record(RecordAnimationChange, document, std::max(0, editing.SelectedFrame()),
                      Tr(undo_captions::kMakeAnimationTransparent)))
    return false;
  image.Header().SetBackgroundColor(color);
  for (int i = 0; i < image.Images().GetCount(); ++i) {
    TGIFSubImage& frame = *image.Images().GetFrame(i);
    TGIFGraphicControlExtension* gce = frame.GraphicControlExtension();
    if (!gce) continue;
    gce->SetTransparent(true);
    if (i == 0) {
      gce->SetTransparentColor(color);
    } else {
      gif::TGIFColorMap& map = frame.GetActiveColorMap();
      // Without any table there is no colour to keep.
      const gif::TColor current =
          map.GetCount() > gce->GetTransparentColorIndex() ? map.GetColor(gce->GetTransparentColorIndex()) : 0xFFFFFF;
      if (map.GetCount() > 0 && gce->GetTransparentColor() != current) gce->SetTransparentColor(current);
    }
    gce->SetDisposal(gif::dmBackground);
    frame.FreeBitmap();
  }
  document.SetModified(true);
  return true;
}

bool SetFrameTransparentColor(TFrameEditing& editing, int index, const PickedColor& picked) {
  TGIFSubImage* frame = FrameAt(*SharedImage(), index);
  if (!frame) return false;
  TGIFGraphicControlExtension* gce = frame->GraphicControlExtension();
  bool changed = false;
  TMDIChild& document = *editing.Active();
  const int entries = document.History.Count();
  if (!gce) {
    SetFrameDelay(*frame, 0);
    gce = frame->GraphicControlExtension();
    editing.Record(RecordFrameControlAdded, document, index, Tr(undo_captions::kChangeTransparentColor));
  }
  if (picked.Index != gce->GetTransparentColorIndex() || !gce->GetTransparent()) {
    if (editing.Record(RecordFrameControlChange, document, index, Tr(undo_captions::kChangeTransparentColor))) {
      gce->SetTransparentColorIndex(picked.Index);
      gce->SetTransparent(true);
      gce->SetDisposal(gif::dmBackground);
      frame->FreeBitmap();
      changed = true;
    }
  }
  // Picking the colour the frame already has changes nothing.
  if (changed || document.History.Count() > entries) document.SetModified(true);
  return changed;
}

bool ReverseFrameOrder(TFrameEditing& editing, int plays) {
  TGIFImage& image = *SharedImage();
  TMDIChild& document = *editing.Active();
  if (!editing.Record(RecordAnimationChange, document, std::max(0, editing.SelectedFrame()),
                      Tr(undo_captions::kReverseFrameOrder)))
    return false;
  const int count = image.Images().GetCount();
  if (!editing.RangeSelected()) {
    for (int k = 0; k < count; ++k) image.Images().Move(0, count - k - 1);
  } else {
    const std::vector<int> frames = editing.SelectedFrames();
    const int first = frames.front(), last = frames.back();
    for (int k = 0; k <= last - first; ++k) image.Images().Move(first, last - k);
  }
  NormalizeLoopBlock(image, plays);
  document.SetModified(true);
  return true;
}

}  // namespace movinta::editor
