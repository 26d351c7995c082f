#include "gif/color_references.h"

#include <utility>

namespace gif {

int ColorDistance(TColor a, TColor b) {
  const int dr = int(a & 0xFF) - int(b & 0xFF);
  const int dg = int((a >> 8) & 0xFF) - int((b >> 8) & 0xFF);
  const int db = int((a >> 16) & 0xFF) - int((b >> 16) & 0xFF);
  return dr * dr + dg * dg + db * db;
}

TGIFColorReferences::TGIFColorReferences(TGIFImage& image) {
  const TGIFGlobalColorMap& global = image.GetGlobalColorMap();
  for (int i = 0; i < global.GetCount(); ++i) oldColors_.push_back(TGIFColorMap::RGBToColor(global.Entry(i)));
  Collect(image);
}

TGIFColorReferences::TGIFColorReferences(TGIFImage& image, std::vector<TColor> oldColors)
    : oldColors_(std::move(oldColors)) {
  Collect(image);
}

void TGIFColorReferences::Collect(TGIFImage& image) {
  if (oldColors_.empty()) return;
  references_.push_back(Reference{nullptr, false, image.Header().GetBackgroundColorIndex()});
  for (int i = 0; i < image.Images().GetCount(); ++i) {
    TGIFExtensionList& list = image.Images().GetFrame(i)->Extensions();
    for (int k = 0; k < list.GetCount(); ++k)
      if (auto* text = dynamic_cast<TGIFTextExtension*>(list.GetExtension(k))) {
        references_.push_back(Reference{text, true, text->ForegroundColorIndex});
        references_.push_back(Reference{text, false, text->BackgroundColorIndex});
      }
  }
}

void TGIFColorReferences::ResolveInto(std::vector<TGIFColor>& table, const std::vector<int>& map, int skip) {
  for (Reference& r : references_) {
    if (r.oldIndex < static_cast<int>(map.size()) && map[static_cast<std::size_t>(r.oldIndex)] >= 0) {
      r.newIndex = map[static_cast<std::size_t>(r.oldIndex)];
      continue;
    }
    if (r.oldIndex >= static_cast<int>(oldColors_.size())) {
      r.newIndex = 0;
      continue;
    }
    const TColor colour = oldColors_[static_cast<std::size_t>(r.oldIndex)];
    int found = -1, nearest = 0, nearestDistance = 1 << 30;
    for (int i = 0; i < static_cast<int>(table.size()); ++i) {
      if (i == skip) continue;
      const int d = ColorDistance(colour, TGIFColorMap::RGBToColor(table[static_cast<std::size_t>(i)]));
      if (d == 0) {
        found = i;
        break;
      }
      if (d < nearestDistance) {
        nearestDistance = d;
        nearest = i;
      }
    }
    // Room is what the table's bit depth already pays for: a colour nobody
    // draws with is not worth a larger table.
    const int size = static_cast<int>(table.size());
    if (found < 0 && size < 256 && (size == 0 || ColorsToBits(size + 1) == ColorsToBits(size))) {
      found = static_cast<int>(table.size());
      table.push_back(TGIFColorMap::ColorToRGB(colour));
    }
    r.newIndex = found >= 0 ? found : nearest;
  }
}

void TGIFColorReferences::ResolveInto(TGIFColorMap& table, const std::vector<int>& map) {
  std::vector<TGIFColor> colours(table.Data(), table.Data() + table.GetCount());
  const std::size_t before = colours.size();
  ResolveInto(colours, map, -1);
  for (std::size_t i = before; i < colours.size(); ++i) table.Add(TGIFColorMap::RGBToColor(colours[i]));
}

void TGIFColorReferences::Apply(TGIFImage& image) {
  for (const Reference& r : references_) {
    if (r.newIndex < 0) continue;
    if (!r.text)
      image.Header().SetBackgroundColorIndex(r.newIndex);
    else if (r.foreground)
      r.text->ForegroundColorIndex = static_cast<std::uint8_t>(r.newIndex);
    else
      r.text->BackgroundColorIndex = static_cast<std::uint8_t>(r.newIndex);
  }
}

}  // namespace gif
