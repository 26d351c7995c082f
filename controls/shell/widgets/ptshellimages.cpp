#include "controls/shell/widgets/ptshellimages.h"

#include "controls/shell/shell_utils.h"
#include "platform/shellnamespace/shell_icons.h"

namespace ptshell {

TPTShellImageList::TPTShellImageList(uint8_t kind) {
  const TPTSystemImageList system = GetSystemImageList(kind);
  List = system.List;
  Size = system.IconSize;
}

int TPTShellImageList::Count() const { return List->Count(); }

QPixmap TPTShellImageList::Pixmap(int index, int overlay) const {
  if (index < 0 || index >= List->Count()) return QPixmap();
  return List->Pixmap(index, Size, overlay);
}

}  // namespace ptshell
