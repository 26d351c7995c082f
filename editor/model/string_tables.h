// Texts and tables that several editor units share.
#pragma once

#include <QString>

#include <array>

namespace movinta::editor {

// File extensions by file-type code; 19 is the "all files" filter entry, never returned for a file.
inline constexpr std::array<const char*, 20> kExtensions = {
    ".gif", ".jpg", ".bmp", ".jif", ".dcx", ".ico", ".pbm", ".pcx", ".ljp", ".pgm",
    ".pic", ".png", ".ppm", ".rle", ".tga", ".tif", ".wmf", ".wpg", ".avi", "*.*"};

inline constexpr std::array<const char*, 4> kDisposalNames = {"None", "Don't Remove", "Background",
                                                              "Previous"};
inline constexpr std::array<const char*, 2> kBooleanTexts = {"No", "Yes"};

// Frame-inspector rows; undo captions contain these words, which maps an undone edit back to a row.
inline constexpr std::array<const char*, 12> kInspectorRows = {
    "Dimensions & Offsets", "Height",      "Width",         "X-Offset", "Y-Offset", "Display Settings",
    "Interlaced",           "Transparent", "Local Palette", "Frame Playing", "Delay", "Disposal"};

inline constexpr std::array<const char*, 2> kDropPromptButtons = {"&Include", "&Start New"};

// The maker's web site: the links of the Help menu, the splash and the about page, and the address
// in the comment of a new animation and in the HTML that embeds a movie.
inline constexpr const char* kMakerWebPage = "https://larkspur-software.example/";

namespace texts {
inline constexpr const char* kTempPrefix = "~ZQ";
inline constexpr const char* kUntitled = "Untitled%1.gif";
inline constexpr const char* kYes = "Yes";
inline constexpr const char* kErrorLoading =
    "Error loading %1! GIF Movinta does not support the file type or it is a corrupted file.";
inline constexpr const char* kErrorSaving = "Error saving file! Unable to save %1 to disk.";
inline constexpr const char* kNoPictureSize =
    "The animation has no picture size (its screen is %1 x %2 pixels): give it a width and a height before "
    "exporting it.";
inline constexpr const char* kCouldNotLoadLibrary = "Could not load %1 library file.";
inline constexpr const char* kCouldNotLoadClient = "Could not load the client.";
inline constexpr const char* kNotValidInteger = "'%1' is not a valid integer value.";
inline constexpr const char* kSaveChanges = "Would you like to save changes to %1?";
inline constexpr const char* kAtLeastOneFrame = "The image %1 must have, at least, one frame image.";
inline constexpr const char* kReadingImage = "Reading %1 image...";
inline constexpr const char* kModified = "Modified";
inline constexpr const char* kAnimationModified = "Animation is modified";
inline constexpr const char* kUndoCaption = "&Undo %1";
// Shown when a document's working copy cannot be read back; offers the saved file instead.
inline constexpr const char* kReloadFromDisk =
    "The working copy of %1 could not be read. Would you like to reopen the file saved on disk?";
// Shown when a document that is not loaded has no working copy and its file went.
inline constexpr const char* kFileGone =
    "The file %1 is gone: it was moved or deleted after it was opened. Put it back to show this document "
    "again, or close the document.";
inline constexpr const char* kNotAvailable = "This command is not available in this version.";

// Undo history.
inline constexpr const char* kUnidentifiedAction = "Unindentified Action";
inline constexpr const char* kUnknownActionType = "Unknown Action Type from %1!";
inline constexpr const char* kColorIndexIsMinusOne = "AColorIndex is -1!";
inline constexpr const char* kCouldNotGetSubImage = "Could not get GIFSubImage";
inline constexpr const char* kTempFileNameEmpty = "TempFile name is empty";
inline constexpr const char* kSubImageIsNil = "SubImage is nil, %1";
inline constexpr const char* kInvalidExtensionIndex = "Invalid Extension Index";
// Raised when a deleted frame cannot be put back from its snapshot.
inline constexpr const char* kCouldNotRestoreFrame = "Could not restore the frame from %1";
}  // namespace texts

inline QString Tr(const char* text) { return QString::fromUtf8(text); }

}  // namespace movinta::editor
