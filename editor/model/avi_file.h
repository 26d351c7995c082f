// AVI files: the first video stream's header as the file itself states it, the delays the editor
// derives from it, and our own writer of uncompressed RIFF AVI 1.0 files (one video stream of
// device-independent bitmaps, 'hdrl'/'avih', 'strl'/'strh'/'strf', 'movi' of '00db' chunks, 'idx1'),
// so that the headers hold exactly the values the export chooses.
#pragma once

#include "gif/color/bitmap.h"

#include <QSaveFile>
#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace gif {
class TGIFImage;
}

namespace movinta::editor {

struct AviStreamHeader {
  std::uint32_t scale = 0;
  std::uint32_t rate = 0;
  std::uint32_t start = 0;
  std::uint32_t length = 0;
};

// The header ('strh') of the first video stream ("vids") among an AVI file's first bytes; nullopt when
// they hold none (not an AVI file, or a damaged one).
std::optional<AviStreamHeader> ParseAviStreamHeader(std::span<const std::uint8_t> bytes);
std::optional<AviStreamHeader> ReadAviStreamHeader(const QString& fileName);

// One delay for every imported frame, in hundredths of a second: scale x 100 / rate rounded to the
// nearest (halves away from zero), or scale / 100 when the rate is 0.
int AviImportDelay(std::uint32_t scale, std::uint32_t rate);

// The stream's scale for an export: the delays of the frames with a graphic control block, walked in
// order until a frame with a local colour table has been seen and the delay is not 0; 0 becomes 1.
std::uint32_t AviExportDelay(const gif::TGIFImage& image);

// The rate the export writes beside that scale.
inline constexpr std::uint32_t kAviExportRate = 65;

// Writes an AVI through a temporary file beside the target: nothing replaces the target until
// Commit succeeds, and a writer destroyed without Commit leaves no file behind.
class AviWriter {
public:
  // `format` gives the size, the bits per pixel (8 with its palette, or 24) of every frame.
  AviWriter(const QString& fileName, const gif::Bitmap& format, std::uint32_t scale, std::uint32_t rate);
  ~AviWriter();
  AviWriter(const AviWriter&) = delete;
  AviWriter& operator=(const AviWriter&) = delete;

  // False with `Error()` once opening or a write failed.
  bool Ok() const { return error_.isEmpty(); }
  const QString& Error() const { return error_; }

  // One key-frame sample; `frame` has the format's size and bits (its own palette is ignored).
  bool AddFrame(const gif::Bitmap& frame);
  // A zero-length sample that only keeps the next frames at their positions.
  bool AddEmptyFrame();
  // Writes the index, completes the headers and moves the file into place.
  bool Commit();

private:
  struct IndexEntry {
    std::uint32_t flags;
    std::uint32_t offset;
    std::uint32_t size;
  };
  bool Write(const std::vector<std::uint8_t>& bytes);
  bool AddChunk(const std::uint8_t* data, std::size_t size, std::uint32_t flags);
  std::vector<std::uint8_t> Headers(std::uint32_t frames) const;

  QSaveFile file_;
  QString error_;
  int width_;
  int height_;
  int bits_;
  gif::Palette palette_;
  std::uint32_t scale_;
  std::uint32_t rate_;
  std::size_t frameBytes_;
  std::uint64_t written_ = 0;  // bytes of the 'movi' list after its type, which index offsets count from
  std::vector<IndexEntry> index_;
  std::vector<std::uint8_t> rows_;
};

}  // namespace movinta::editor
