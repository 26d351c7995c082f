// Shell items on the clipboard and in drag and drop, in place of the Windows
// clipboard formats: "text/uri-list" (and plain text) for other programs, the
// GNOME and KDE cut/copy markers, and the "Shell IDList Array" block (the
// shell's CIDA layout) as a MIME type of its own. Every block read is checked
// before use.
#pragma once

#include <QByteArray>
#include <QString>
#include <string>
#include <vector>

#include "platform/shellnamespace/item_id.h"

class QMimeData;

namespace shellns {

inline constexpr const char* kShellIdListArrayFormat = "Shell IDList Array";
// The format name as Qt names a registered clipboard format.
QString ShellIdListArrayMimeType();
inline constexpr const char* kUriListMimeType = "text/uri-list";
inline constexpr const char* kGnomeCopiedFilesMimeType = "x-special/gnome-copied-files";
inline constexpr const char* kKdeCutSelectionMimeType = "application/x-kde-cutselection";

// CIDA: 32-bit count, count + 1 offsets (parent first), the parent (empty list
// for null), then each child with its terminator.
QByteArray MakeIdListArray(const uint8_t* parent, const std::vector<const uint8_t*>& children);
// Checks counts, offsets and every list (the parent and each parent + child as
// absolute lists) and copies them out; false for anything malformed.
bool ParseIdListArray(const QByteArray& block, IdList& parent, std::vector<IdList>& children);

// "file://" URIs of raw paths, one per line with CRLF; paths are percent-encoded byte for byte.
QByteArray MakeUriList(const std::vector<std::string>& paths);
// The local paths of a URI list (file: URIs with no host or "localhost"); others are left out.
std::vector<std::string> ParseUriList(const QByteArray& text);

enum class ClipOperation { None, Copy, Cut };

// Data for a drag or the clipboard: the ID-list block, the URI list and plain
// text of the items that have paths, and for Copy and Cut the file-manager markers.
QMimeData* MakeShellMimeData(const uint8_t* parent, const std::vector<const uint8_t*>& children,
                             ClipOperation op = ClipOperation::None);

struct ShellItems {
  std::vector<IdList> absolute;     // from the ID-list block, when present
  std::vector<std::string> paths;   // file-system paths of the items
  ClipOperation operation = ClipOperation::None;
};
// Reads shell items: the ID-list block first (only when valid), else the URI
// list; the cut marker of either desktop. False when there are no items.
bool ReadShellMimeData(const QMimeData* data, ShellItems& out);

}  // namespace shellns
