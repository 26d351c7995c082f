// File-type codes, temporary files and file-name helpers.
#pragma once

#include <QString>

#include <cstdint>

namespace movinta::editor {

inline constexpr std::uint8_t kFileTypeGif = 0;
inline constexpr std::uint8_t kFileTypeAvi = 18;
inline constexpr std::uint8_t kFileTypeAll = 19;
inline constexpr std::uint8_t kFileTypeUnknown = 20;

// The extension of the file name (from its last dot, never a dot in a folder name), lowered,
// looked up in the extension table; 20 when none matches.
std::uint8_t GetFileTypeCode(const QString& fileName);

// The system temporary folder (TMPDIR when set), without a trailing separator.
QString GetTempDirectory();
// Creates a new empty file, exclusively and private to the user, in folder with the prefix;
// returns its full name, or an empty string on failure.
QString GetUniqueTempFileName(const QString& folder, const QString& prefix);
// A new "~ZQ" file in the temporary folder.
QString NewWorkingTempFile();
void DeleteTempFile(const QString& name);

// The file name without its extension; folders and dots inside them are kept.
QString StripExtension(const QString& fileName);
// The file name without its folder.
QString FileNameOnly(const QString& path);
QString ExpandFileName(const QString& path);

}  // namespace movinta::editor
