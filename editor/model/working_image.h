// The shared working image that the active document edits, the colour-map class used for palette
// editing and undo, and the helpers over frames, extensions, loading and saving.
#pragma once

#include "editor/model/ui_services.h"
#include "gif/color/bitmap.h"
#include "gif/gifimage.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

namespace movinta::editor {

using gif::TGIFImage;
using gif::TGIFSubImage;

// The working image, created on first request; SharedImage(1) frees it and returns null. Callers do
// not keep the pointer across a document switch: a switch swaps a freshly loaded image in.
TGIFImage* SharedImage(int free = 0);
// Puts image in place of the working image and hands back the one it replaces.
std::unique_ptr<TGIFImage> ReplaceSharedImage(std::unique_ptr<TGIFImage> image);

// A free-standing colour table for palette editing and undo: its owner hooks do nothing.
class TCmdColorMap : public gif::TGIFColorMap {
public:
  int Frame = -1;  // the frame whose local table it copies, -1 for the global table

  void Warning(int, const std::string&) override {}
  void BuildHistogram(gif::THistogram&) override {}
  void RemapPixels(const gif::TColormapMap&) override {}
  bool DoOptimize() override { return false; }
  void Changed() override {}

  // Whether the colour at colorIndex may be deleted from this map without changing what
  // frameIndex (-1: the frames that use the global table) of the working image shows.
  bool CanRemoveColor(int colorIndex, int frameIndex) const;
};

// Runs work, which reads or changes image, on a thread of its own while the window is kept painted
// (BusyScope::RunAside, so scripts are refused meanwhile). The image's warnings are shown on the
// GUI thread as they come, an abort thrown there ending the work; its progress is not reported.
// Hold no pointer into the working image across it.
void RunAsideOn(TGIFImage& image, const std::function<void()>& work, const QString& message = QString());

// Reads a GIF file into a new image; null with the reason in error when it cannot.
std::unique_ptr<TGIFImage> ReadGifFile(const QString& fileName, QString* error = nullptr);
// A file this run wrote for itself (an undo snapshot, a working copy), held in memory whole, where
// it lies, while the object lives.
class TOwnFile {
public:
  explicit TOwnFile(const QString& fileName);
  ~TOwnFile();
  TOwnFile(const TOwnFile&) = delete;
  TOwnFile& operator=(const TOwnFile&) = delete;
  bool IsOpen() const { return !bytes_.empty(); }
  std::span<const std::uint8_t> Bytes() const { return bytes_; }
  // Why it could not be opened.
  QString Error() const { return error_; }

private:
  std::span<const std::uint8_t> bytes_;
  QString error_;
};

// Reads a file this editor wrote from `like` (an undo snapshot of it): the frames come back with
// their encoded data in like's cache, so writing them again encodes nothing. With replacing set,
// what is read is to take like's place: frames whose pixels like holds take them from like
// instead of being decoded, and like keeps only its other frames' pixels (once the read succeeds).
std::unique_ptr<TGIFImage> ReadOwnGifFile(const TOwnFile& file, TGIFImage& like, bool replacing,
                                          QString* error = nullptr);
// Loads the file into image, or shows the load error and returns false (image unchanged).
bool LoadGifFile(TGIFImage& image, const QString& fileName);
// Writes the image's GIF stream through a temporary file and a rename; a failure leaves the file on
// disk as it was. Writes only when force is set or the file exists. Shows the save error on failure.
bool SaveGraphicToFile(TGIFImage& graphic, const QString& fileName, bool keepExisting, bool force);
// The same without a message; the reason goes to error.
bool WriteGifFile(TGIFImage& graphic, const QString& fileName, bool privateFile, QString* error);
// Whether SaveGraphicToFile would write the image as a working copy with exactly the bytes of
// file. Encodes nothing the image's encoded-data cache does not hold already.
bool WritesAsWorkingCopy(TGIFImage& graphic, const TOwnFile& file);
// Puts the program's own file `from` in place of `to` (which need not exist); what `to` held is
// removed. False, with the reason in error, when it cannot.
bool ReplacePrivateFile(const QString& from, const QString& to, QString* error = nullptr);
bool IsAnimationFile(const QString& fileName);
bool HasSeveralFrames(const TGIFImage& image);
// The frames the strip shows: every one that is not empty (empty ones lie behind them).
int ShownFrameCount(const TGIFImage& image);

// Frames and extensions. A frame that cannot be reached makes them do nothing.
int GetFrameDelay(TGIFImage& image, int frameIndex);
void SetFrameDelay(TGIFSubImage& frame, int delay);
void AddCommentExtension(TGIFSubImage& frame, const QString& text);
gif::TGIFAppExtNSLoop* FindLoopExtension(TGIFSubImage& frame);
bool HasLoopExtension(TGIFImage& image);
int GetLoopCount(TGIFImage& image);
void AddLoopExtension(TGIFImage& image, int frameIndex, int plays);
bool SetLoopCount(TGIFImage& image, int plays);
void PrepareNewFrame(TGIFImage& image, TGIFSubImage& frame, int loopCount, int delay);
void MoveFrameTo(TGIFImage& image, int from, int to);
// Moves the first loop block of frame from to the head of frame to (0 unless given), in place of
// the one that frame had; nothing when from has none.
void MoveLoopBlock(TGIFImage& image, int from, int to = 0);
bool DeleteFrameAt(TGIFImage& image, int index);
// Puts frame fileIndex (index when -1) of the animation saved in fileName back at index; false
// when it cannot.
bool RestoreFrameFromFile(TGIFImage& image, const QString& fileName, int index, int fileIndex = -1);
int GetRunningTime(const TGIFImage& image);
std::size_t GetEncodedSize(TGIFImage& image);
gif::TColor GetBottomLeftColor(TGIFSubImage& frame);
void FillWebSafe(gif::TGIFColorMap& map);

// Old index to new index of a table's users after an edit.
using IndexMap = std::array<std::uint8_t, 256>;
IndexMap IdentityIndexMap();
bool IsIdentity(const IndexMap& map, int count);
// Rewrites the frame's pixels and its transparent colour index through the map.
void RemapFrame(TGIFSubImage& frame, const IndexMap& map);
// The map from the frame's local table to the global one, or false when the global table lacks
// a colour the frame shows.
bool MapLocalToGlobal(TGIFSubImage& frame, IndexMap& map);

// Mode 0: frames reaching beyond the bitmap are cut to it (their pixels, extensions and tables are
// kept), then the image takes the bitmap's size. Mode 1: the bitmap is cropped to the image.
void FitImageAndBitmap(TGIFImage& image, gif::Bitmap& bitmap, int mode);
// The top-left width x height of the bitmap, in place.
void CropBitmap(gif::Bitmap& bitmap, int width, int height);

// Makes the image fit to be written: a global table, one graphic control extension per frame and
// none that carries nothing, the loop block on frame 0 only. Transparency, disposal and the loop
// count are kept. True when it changed (without apply: would change) anything.
bool PrepareForSave(TGIFImage& image, bool adjustBackground, bool apply = true);

// Palette defaults of the settings store for colour reduction; true for palette types 0 and 1.
bool ApplyPaletteDefaults(TGIFImage& image);
// Sorts every colour table by use, then merges them into one global table of
// the colours in use (no local tables remain); returns true.
bool ApplyStandardPalette(TGIFImage& image);

}  // namespace movinta::editor
