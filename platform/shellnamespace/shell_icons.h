// The system image list: one process-wide list of icons with stable indices,
// filled on demand from the icon theme (QIcon::fromTheme, file types through
// QMimeDatabase by extension only, never by reading content), with QStyle
// standard icons as the fallback, and the overlay images for shared items (1)
// and links (2). Small and large lists share the icons and differ in size.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/shellnamespace/shell_folder.h"

namespace shellns {

class SystemImageList {
 public:
  static SystemImageList& Instance();

  // Index 0 is the generic file icon.
  int IndexOf(const Location& where, bool open);
  QIcon Icon(int index) const;
  int Count() const;
  // Overlay images: 1 shared, 2 link; a null icon for any other number.
  QIcon Overlay(int overlay) const;
  // The icon at a size with an overlay (0 for none) painted on its lower left.
  QPixmap Pixmap(int index, int size, int overlay = 0) const;

 private:
  SystemImageList();
  int Add(const QString& key, const QIcon& icon);
  mutable std::mutex mutex_;
  std::vector<QString> keys_;
  std::vector<QIcon> icons_;
};

// Icon-list index of an absolute list, 0 when it does not resolve.
int IconIndexOfIdList(const uint8_t* absolute, bool open);

// The type name of a file-system item by its name's extension ("folder" for folders).
QString TypeNameOf(const Location& where);

}  // namespace shellns
