// Indices into the global colour table that are not pixels: the header's
// background colour and the plain-text extensions' colours. A table that is
// reordered or rebuilt keeps what they point at.
#pragma once

#include <vector>

#include "gif/gifimage.h"

namespace gif {

// Squared RGB distance, the measure for colours that no longer fit a table.
int ColorDistance(TColor a, TColor b);

class TGIFColorReferences {
public:
  // The references as they stand, with the colours the global table gives them now.
  explicit TGIFColorReferences(TGIFImage& image);
  // The same, with oldColors as the global table's colours before it changed.
  TGIFColorReferences(TGIFImage& image, std::vector<TColor> oldColors);

  // Finds each referenced colour's new index: through map (old index to new,
  // -1 for none) where it has one, else the same colour in table, else the
  // colour appended when that needs no more bits, else the nearest colour.
  // The entry at skip, when not -1, is never chosen.
  void ResolveInto(std::vector<TGIFColor>& table, const std::vector<int>& map, int skip);
  void ResolveInto(TGIFColorMap& table, const std::vector<int>& map);
  void Apply(TGIFImage& image);

private:
  struct Reference {
    TGIFTextExtension* text = nullptr;  // null: the background
    bool foreground = false;
    int oldIndex = 0;
    int newIndex = -1;
  };
  void Collect(TGIFImage& image);
  std::vector<TColor> oldColors_;
  std::vector<Reference> references_;
};

}  // namespace gif
