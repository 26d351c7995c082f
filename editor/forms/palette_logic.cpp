#include "editor/forms/palette_logic.h"

#include "editor/model/document.h"
#include "editor/model/undo_records.h"

#include <utility>

namespace movinta::editor::forms {

using gif::TGIFColorMap;
using gif::TGIFImage;
using gif::TGIFSubImage;

QString PaletteCaption(PaletteMode mode) {
  switch (mode) {
    case PaletteMode::Global: return QStringLiteral("Global Palette");
    case PaletteMode::Transparent: return QStringLiteral("Transparent Color");
    case PaletteMode::ColorValue: return QStringLiteral("Change Color Value");
  }
  return {};
}

QString PaletteLabel(PaletteMode mode) {
  switch (mode) {
    case PaletteMode::Global:
      return QStringLiteral("Select a color from the color swatches to edit a global color value");
    case PaletteMode::Transparent:
      return QStringLiteral("Select a color from the color swatches or click on the image.");
    case PaletteMode::ColorValue:
      return QStringLiteral("Adjust the Red, Green and Blue color values to change the color");
  }
  return {};
}

int SwatchIndexAt(int x, int y, int count) {
  // Swatches start 3 pixels in; x = 243 would already be column 16, which is the next row.
  constexpr int kFirst = 3, kLast = 3 + kSwatchColumns * kSwatchSize - 1;
  if (x < kFirst || x > kLast || y < kFirst || y > kLast) return -1;
  const int index = (x - kFirst) / kSwatchSize + kSwatchColumns * ((y - kFirst) / kSwatchSize);
  return index < count ? index : -1;
}

QPoint SwatchPosition(int index) {
  if (index < 0) return {-1, -1};
  return {1 + (index % kSwatchColumns) * kSwatchSize, 1 + (index / kSwatchColumns) * kSwatchSize};
}

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

bool ApplyGlobalPaletteEdit(TMDIChild& document, TGIFImage& image, const PaletteEditSession& session,
                            const QString& caption) {
  const bool remap = session.DeletedAny();
  try {
    if (remap)
      RecordAnimationChange(document, -1, caption);
    else
      RecordGlobalPaletteChange(document, caption);
  } catch (const std::exception& e) {
    // Without its undo entry (a snapshot that cannot be written) the edit is not made.
    ShowMessage(QString::fromStdString(e.what()), MessageType::Error, kOk);
    return false;
  }
  // The pixels are remapped while the old table still decides which frames use it.
  if (remap) RemapTableUsers(image, -1, session.Map());
  image.GetGlobalColorMap().Assign(session.Copy());
  for (int i = 0; i < image.Images().GetCount(); ++i) image.Images().GetFrame(i)->FreeBitmap();
  document.SetModified(true);
  return true;
}

}  // namespace movinta::editor::forms
