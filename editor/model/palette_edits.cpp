#include "editor/model/palette_edits.h"

#include "editor/model/document.h"
#include "editor/model/undo_records.h"

#include <utility>

namespace movinta::editor {

using gif::TGIFColorMap;
using gif::TGIFImage;
using gif::TGIFSubImage;

namespace {
template <typename F>
void ForEachUser(TGIFImage& image, int frameIndex, F&& f) {
  const int frames = image.Images().GetCount();
  if (frameIndex >= 0) {
    if (frameIndex < frames) f(*image.Images().GetFrame(frameIndex));
    return;
  }
  for (int i = 0; i < frames; ++i) {
    TGIFSubImage* frame = image.Images().GetFrame(i);
    if (frame->ColorMap().GetCount() == 0) f(*frame);
  }
}

TGIFColorMap* TableOf(TGIFImage& image, int frameIndex) {
  if (frameIndex < 0) return &image.GetGlobalColorMap();
  if (frameIndex >= image.Images().GetCount()) return nullptr;
  return &image.Images().GetFrame(frameIndex)->GetActiveColorMap();
}
}  // namespace

void RemapTableUsers(TGIFImage& image, int frameIndex, const IndexMap& map) {
  // A frame with its own table is drawn with it; asking for it by index means that table.
  if (frameIndex >= 0 && frameIndex < image.Images().GetCount() &&
      image.Images().GetFrame(frameIndex)->ColorMap().GetCount() == 0) {
    ForEachUser(image, -1, [&](TGIFSubImage& f) { RemapFrame(f, map); });
    return;
  }
  ForEachUser(image, frameIndex, [&](TGIFSubImage& f) { RemapFrame(f, map); });
}

bool PaletteEntryUsed(TGIFImage& image, int frameIndex, int index) {
  if (frameIndex >= 0 && frameIndex < image.Images().GetCount() &&
      image.Images().GetFrame(frameIndex)->ColorMap().GetCount() == 0)
    frameIndex = -1;
  bool used = false;
  ForEachUser(image, frameIndex, [&](TGIFSubImage& f) {
    if (used) return;
    if (f.Transparent() && f.GraphicControlExtension() &&
        f.GraphicControlExtension()->GetTransparentColorIndex() == index) {
      used = true;
      return;
    }
    const std::uint8_t* p = std::as_const(f).Data();
    for (std::size_t i = 0, n = f.DataSize(); i < n; ++i)
      if (p[i] == index) {
        used = true;
        return;
      }
  });
  return used;
}

namespace {
int OtherEntryOfSameColor(const TGIFColorMap& table, int index) {
  const gif::TGIFColor& c = table.Entry(index);
  for (int i = 0; i < table.GetCount(); ++i)
    if (i != index && table.Entry(i) == c) return i;
  return -1;
}
}  // namespace

bool PaletteEntryRequired(TGIFImage& image, int frameIndex, int index) {
  TGIFColorMap* table = TableOf(image, frameIndex);
  if (!table || index < 0 || index >= table->GetCount()) return false;
  if (OtherEntryOfSameColor(*table, index) >= 0) return false;
  return PaletteEntryUsed(image, frameIndex, index);
}

IndexMap MapAfterDelete(const TGIFColorMap& table, int index) {
  IndexMap map = IdentityIndexMap();
  const int count = table.GetCount();
  if (index < 0 || index >= count) return map;
  const int twin = OtherEntryOfSameColor(table, index);
  for (int i = index + 1; i < 256; ++i) map[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i - 1);
  const int target = twin < 0 ? 0 : (twin > index ? twin - 1 : twin);
  map[static_cast<std::size_t>(index)] = static_cast<std::uint8_t>(target);
  return map;
}

// ---- PaletteEditSession

PaletteEditSession::PaletteEditSession(TGIFImage* image, int frameIndex) : image_(image), frameIndex_(frameIndex) {
  where_.fill(-1);
  origin_.fill(-1);
  if (!image_) return;
  if (TGIFColorMap* table = TableOf(*image_, frameIndex_); table && table->GetCount() > 0) {
    copy_.Assign(*table);
    // Pixels of a frame without its own table follow the global one.
    if (frameIndex_ >= 0 && &image_->GetGlobalColorMap() == table) frameIndex_ = -1;
  }
  copy_.Frame = frameIndex_;
  originalCount_ = copy_.GetCount();
  for (int i = 0; i < originalCount_; ++i) {
    where_[static_cast<std::size_t>(i)] = i;
    origin_[static_cast<std::size_t>(i)] = i;
  }
}

PaletteEditSession::PaletteEditSession(const PaletteEditSession& other)
    : image_(other.image_), frameIndex_(other.frameIndex_), originalCount_(other.originalCount_),
      where_(other.where_), origin_(other.origin_), deleted_(other.deleted_) {
  copy_.Assign(other.copy_);
  copy_.Frame = other.copy_.Frame;
}

bool PaletteEditSession::AddColor(gif::TColor color) {
  if (copy_.GetCount() >= 256) return false;
  const int index = copy_.Add(color);
  origin_[static_cast<std::size_t>(index)] = -1;
  return true;
}

void PaletteEditSession::SetColor(int index, gif::TColor color) {
  if (index >= 0 && index < copy_.GetCount()) copy_.SetColor(index, color);
}

bool PaletteEditSession::CanDelete(int index) const {
  if (index < 0 || index >= copy_.GetCount()) return false;
  if (OtherEntryOfSameColor(copy_, index) >= 0) return true;
  const int original = origin_[static_cast<std::size_t>(index)];
  return original < 0 || !image_ || !PaletteEntryUsed(*image_, frameIndex_, original);
}

bool PaletteEditSession::Delete(int index) {
  if (!CanDelete(index)) return false;
  const IndexMap step = MapAfterDelete(copy_, index);
  for (int o = 0; o < originalCount_; ++o) {
    int& w = where_[static_cast<std::size_t>(o)];
    if (w < 0) continue;
    if (w == index && OtherEntryOfSameColor(copy_, index) < 0) {
      w = -1;
      continue;
    }
    w = step[static_cast<std::size_t>(w)];
  }
  const int count = copy_.GetCount();
  for (int i = index; i + 1 < count; ++i) origin_[static_cast<std::size_t>(i)] = origin_[static_cast<std::size_t>(i + 1)];
  origin_[static_cast<std::size_t>(count - 1)] = -1;
  copy_.Delete(index);
  deleted_ = true;
  return true;
}

IndexMap PaletteEditSession::Map() const {
  IndexMap map{};
  for (int o = 0; o < 256; ++o) {
    const int w = where_[static_cast<std::size_t>(o)];
    map[static_cast<std::size_t>(o)] = static_cast<std::uint8_t>(w < 0 ? 0 : w);
  }
  return map;
}

EditResult ApplyGlobalTableEdit(TMDIChild& document, TGIFImage& image, const PaletteEditSession& session,
                                const QString& caption) {
  EditResult out;
  const bool remap = session.DeletedAny();
  if (!Recorded(out, [&] {
        if (remap)
          RecordAnimationChange(document, -1, caption);
        else
          RecordGlobalPaletteChange(document, caption);
      }))
    return out;
  // The pixels are remapped while the old table still decides which frames use it.
  if (remap) RemapTableUsers(image, -1, session.Map());
  image.GetGlobalColorMap().Assign(session.Copy());
  for (int i = 0; i < image.Images().GetCount(); ++i) image.Images().GetFrame(i)->FreeBitmap();
  document.SetModified(true);
  out.Outcome = EditOutcome::Applied;
  return out;
}

// ---- A frame's local table

namespace {
TGIFSubImage* FrameOf(TGIFImage& image, int index) {
  if (index < 0 || index >= image.Images().GetCount()) return nullptr;
  return image.Images().GetFrame(index);
}
}  // namespace

EditResult AddLocalTableColor(TMDIChild& document, TGIFImage& image, int frameIndex, gif::TColor color,
                              const QString& caption) {
  EditResult out;
  TGIFSubImage* frame = FrameOf(image, frameIndex);
  if (!frame || frame->ColorMap().GetCount() == 0 || frame->ColorMap().GetCount() >= 256) return out;
  const int index = frame->ColorMap().GetCount();
  if (!Recorded(out, [&] { RecordColorAdded(document, frameIndex, index, color, caption); })) return out;
  frame->ColorMap().Add(color);
  frame->FreeBitmap();
  out.Outcome = EditOutcome::Applied;
  return out;
}

EditResult ChangeLocalTableColor(TMDIChild& document, TGIFImage& image, int frameIndex, int index,
                                 gif::TColor color, const QString& caption) {
  EditResult out;
  TGIFSubImage* frame = FrameOf(image, frameIndex);
  if (!frame || index < 0 || index >= frame->ColorMap().GetCount()) return out;
  const gif::TColor old = frame->ColorMap().GetColor(index);
  if (old == color) return out;
  if (!Recorded(out, [&] { RecordColorChanged(document, frameIndex, index, old, caption); })) return out;
  frame->ColorMap().SetColor(index, color);
  frame->FreeBitmap();
  out.Outcome = EditOutcome::Applied;
  return out;
}

EditResult DeleteLocalTableColor(TMDIChild& document, TGIFImage& image, int frameIndex, int index,
                                 const QString& caption) {
  EditResult out;
  TGIFSubImage* frame = FrameOf(image, frameIndex);
  if (!frame || index < 0 || index >= frame->ColorMap().GetCount()) return out;
  TGIFColorMap& table = frame->ColorMap();
  out.Outcome = EditOutcome::Refused;
  if (table.GetOptimized()) {
    out.Message = QStringLiteral(
        "The palette is already optimized to the minimum number of colors used. Use the optimization wizard to "
        "remove the local palette.");
    return out;
  }
  if (table.GetCount() <= 2 || PaletteEntryRequired(image, frameIndex, index)) {
    out.Message = QStringLiteral("This color is required by the image and cannot be removed.");
    return out;
  }
  // The later entries move down, so the pixels move with them: only the whole animation undoes that.
  if (!Recorded(out, [&] { RecordAnimationChange(document, frameIndex, caption); })) return out;
  const IndexMap map = MapAfterDelete(table, index);
  RemapFrame(*frame, map);
  table.Delete(index);
  frame->FreeBitmap();
  out.Outcome = EditOutcome::Applied;
  return out;
}

}  // namespace movinta::editor
