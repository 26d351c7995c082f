// Importing an AVI file's video as frames of an animation, and exporting an animation as an
// uncompressed AVI file. Both run on the GUI thread and report through a progress window that
// can cancel between frames; failures raise AviError with the text the user sees.
#pragma once

#include <QString>

#include <stdexcept>

namespace gif {
class TGIFImage;
class Bitmap;
}

namespace movinta::editor {

class AviError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// What the import and export need of the progress window.
class IAviProgress {
public:
  virtual ~IAviProgress() = default;
  // The line naming the step at hand, repainted at once.
  virtual void StepText(const QString& text) = 0;
  virtual void SetMaximum(int maximum) = 0;
  virtual void SetPosition(int position) = 0;
  // Lets the window answer its button; true once Cancel has been pressed.
  virtual bool Cancelled() = 0;
};

namespace avi_texts {
inline constexpr const char* kOpening = "Opening AVI file...";
inline constexpr const char* kOpeningStream = "Opening AVI data stream...";
inline constexpr const char* kScanningInfo = "Scanning AVI data stream info...";
inline constexpr const char* kGettingFormat = "Getting AVI data stream format...";
inline constexpr const char* kStartingStream = "Reading AVI start stream...";
inline constexpr const char* kReadingFrames = "Reading AVI frames...";
inline constexpr const char* kDecompressing = "Decompressing AVI frames (Total %1)...";
inline constexpr const char* kReadingPalette = "Reading frame palette...";
inline constexpr const char* kCreatingFrame = "Creating GIF frame %1...";
inline constexpr const char* kOptimizing = "Optimizing GIF color palette...";
inline constexpr const char* kPreparingExport = "Preparing %1 for AVI export...";
inline constexpr const char* kExporting = "Exporting to AVI...";
inline constexpr const char* kExportFailed = "Error exporting animation to AVI! Unable to complete export.";
inline constexpr const char* kTooLarge = "You can only import AVI files less than 500 KB.";

inline constexpr const char* kFailedOpenFile = "Failed to open AVI file";
inline constexpr const char* kFailedOpenStream = "Failed to open AVI stream";
inline constexpr const char* kFailedStreamInfo = "Failed to get AVI stream info";
inline constexpr const char* kFailedStartStream = "Failed to start AVI stream";
inline constexpr const char* kFailedDecompression = "Failed to start AVI decompression";
inline constexpr const char* kFailedDecompressFrame = "Failed to decompress AVI frame";
inline constexpr const char* kFailedCreateFile = "Failed to create AVI file";
inline constexpr const char* kFailedBitmapInfo = "Failed to retrieve bitmap info";
inline constexpr const char* kFailedAddFrame = "Failed to add frame to AVI";
}  // namespace avi_texts

// Files of this many bytes or more are not imported.
inline constexpr qint64 kAviImportLimit = 500000;

// Appends the video's frames to `image`, each with the delay of the stream header; frame 0 of an
// empty image gets a loop block (forever). When not cancelled, the colour tables are optimised and
// frame 0 gets the "Created with" comment. Returns false when cancelled (the frames read so far
// stay). Raises AviError.
bool ImportAvi(gif::TGIFImage& image, const QString& fileName, IAviProgress& progress);

// Writes `image` as an uncompressed 8-bit AVI: each frame as the player shows it (on the logical
// screen, transparent and uncovered pixels in `backdrop`, 0x00BBGGRR), in one colour table for all
// frames (reduced when the frames hold more than 256 colours), key frames at their indices and
// empty frames as zero-length samples. Written through a temporary file: a failure or a cancel
// leaves the target as it was. Returns false when cancelled. Raises AviError.
bool ExportAvi(const QString& fileName, gif::TGIFImage& image, std::uint32_t backdrop, IAviProgress& progress);

// The name an export writes: any other extension becomes ".avi".
QString AviExportName(const QString& chosen);

}  // namespace movinta::editor
