// The shell's system image list seen as a TPTImageList: the same icons for
// every shell control, small (16) or large (32), with the overlay images for
// shared items and links.
#pragma once

#include "controls/shell/widgets/ptimagelist.h"

namespace shellns {
class SystemImageList;
}

namespace ptshell {

class TPTShellImageList : public TPTImageList {
 public:
  // Kind 0 small icons, 1 large icons.
  explicit TPTShellImageList(uint8_t kind);
  int Width() const override { return Size; }
  int Height() const override { return Size; }
  int Count() const override;
  QPixmap Pixmap(int index, int overlay) const override;

 private:
  shellns::SystemImageList* List;
  int Size;
};

}  // namespace ptshell
