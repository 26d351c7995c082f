// What the whole GIF library shares: its exception and error routine, colours,
// rectangles, versions, the warning, progress and change events, and the routines
// that read and write bytes, data sub-blocks and text lines of a GIF stream.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "gif/stream.h"

namespace gif {

class TGIFImage;
class TGIFSubImage;
class TGIFHeader;
class TGIFExtension;
class TGIFGraphicControlExtension;
class TGIFEncodedDataCache;

class GIFException : public std::runtime_error {
public:
  explicit GIFException(const std::string& message) : std::runtime_error(message) {}
};

[[noreturn]] void GIFError(const std::string& message);

// 0x00BBGGRR: red in the low byte.
using TColor = std::uint32_t;
// Means "no colour" for settings such as TGIFImage::BackgroundColor.
inline constexpr TColor clNone = 0x1FFFFFFF;

struct TGIFColor {
  std::uint8_t Red = 0, Green = 0, Blue = 0;
  bool operator==(const TGIFColor&) const = default;
};

struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  bool operator==(const TRect&) const = default;
};

using TStrings = std::vector<std::string>;

enum TGIFVersion : int { gvUnknown = 0, gv87a = 1, gv89a = 2 };

enum class TProgressStage { psStarting, psRunning, psEnding };

// Sender is the object that reports: an item, a list, a colour table or the image.
using TGIFWarningEvent = std::function<void(const void* sender, int severity, const std::string& message)>;
// A running stage with percent -1 only says the work goes on, without a new measure: passes over
// every frame of an animation send one per frame, so that the caller can keep its window going.
using TProgressEvent = std::function<void(const void* sender, TProgressStage stage, int percent,
                                          bool redrawNow, const std::string& message)>;
using TNotifyEvent = std::function<void(const void* sender)>;

inline constexpr int GIFSeverityInformation = 0;
inline constexpr int GIFSeverityWarning = 1;
inline constexpr int GIFSeverityError = 2;

int ColorsToBits(int count);
int AlignedRowBytes(int width, int bitsPerPixel, int alignmentBits);
// Rounds to nearest, as the graphics code has always done for scaling.
int MulDiv(int number, int numerator, int denominator);

void WriteByte(ByteWriter& stream, std::uint8_t value);
// Returns 0 at the end of the stream.
std::uint8_t ReadByte(ByteReader& stream);
// Reads exactly count bytes or raises "Premature end of data".
void ReadCheck(ByteReader& stream, void* buffer, std::size_t count);
// Text lines as data sub-blocks of at most 255 bytes, ended by a 0 byte.
void WriteStrings(ByteWriter& stream, const TStrings& strings);
// One line per sub-block, its bytes as they stand (0 bytes included).
void ReadStrings(ByteReader& stream, TStrings& strings);

}  // namespace gif
