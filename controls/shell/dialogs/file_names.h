// The rules the open and save dialogs apply to typed text, kept apart from the
// form so they can be checked without a window: filter strings, quoted name
// lists, joining a typed name with the listed folder, the default extension,
// and what Linux refuses in a file name.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace ptshell {

struct TFileTypeEntry {
  QString Description;
  QString Mask;
};

// "desc|mask|desc|mask": a description left without a mask gets an empty one.
std::vector<TFileTypeEntry> ParseFilter(const QString& filter);

// Names in double quotes, or unquoted runs up to the next quote; each loses its
// trailing blanks and control characters and empty ones are dropped. Text
// without a quote is one name. A dialog that takes one name (several false)
// takes the whole text, a quote being a character like any other; only a name
// wholly in quotes loses them.
QStringList SplitFileNames(const QString& text, bool several = true);

// An absolute path for a typed name: "/..." stands alone, "~" and "~/..." start
// at home, anything else starts at folder. "." and ".." are resolved and ".."
// never climbs above "/". Empty for an empty name, or for a relative name
// when there is no folder to start from.
QString CombinePath(const QString& folder, const QString& name, const QString& home);

// False for what the file system cannot take: a NUL, or a path component over
// the length limit of one name (in bytes of the encoded name).
bool IsAcceptableFileName(const QString& text);

// The part after the last "/", and the part before it ("/" for a file at the root).
QString NamePart(const QString& path);
QString FolderPart(const QString& path);
// ".ext" of a name, from its last dot; empty when there is none (a leading dot
// only marks a hidden file).
QString ExtensionOf(const QString& name);
bool HasWildcard(const QString& text);

// The extension a type's mask gives names: from the last dot of its last mask,
// empty when that holds a wildcard or there is no dot.
QString MaskExtension(const QString& mask);

// True when the system knows a file type for the extension (".ext").
bool IsRegisteredExtension(const QString& extension);

// What applying the default extension gives: the new path and whether the
// chosen extension now differs from the default one (-1: the flag stays).
struct TDefaultExtResult {
  QString Path;
  int ExtensionDifferent = -1;
};
TDefaultExtResult ApplyDefaultExt(const QString& path, const QString& defaultExt, const QString& mask,
                                  const std::function<bool(const QString&)>& registered = IsRegisteredExtension);

}  // namespace ptshell
