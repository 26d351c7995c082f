// Indices into the global colour table that are not pixels: the header's
// background colour and the plain-text extensions' colours. A table that is
// rebuilt keeps what they point at.
#pragma once

#include <vector>

#include "gif/gifimage.h"

namespace gif::optimize {

class GlobalReferences {
public:
  explicit GlobalReferences(TGIFImage& image);

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
  std::vector<TColor> oldColors_;
  std::vector<Reference> references_;
};

}  // namespace gif::optimize
