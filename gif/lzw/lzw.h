// LZW coding of GIF table-based image data: the bytes of an image block that
// follow the image descriptor and the optional local colour table, i.e. the LZW
// minimum code size byte, data sub-blocks of 1..255 bytes and a 0 terminator.
//
// DecodeLZW turns such data into one byte per pixel; TLZWEncoder and
// TRLEEncoder produce it from pixels. Nothing here raises: both directions
// report what happened as a value, and the caller turns that into its warnings
// or errors (LZWStatusText gives the library's text for a decoder status).
#pragma once

#include <cstddef>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace gif {

// ---------------------------------------------------------------------------
// Decoding

enum class LZWStatus : std::uint8_t {
  Ok,              // every pixel decoded; the data ended with its terminator
  ExcessData,      // every pixel decoded; codes past the last pixel were skipped to the terminator
  ShortData,       // an end code came before the last pixel; the rest keeps the fill value
  BadCodeSize,     // the minimum code size is outside 1..8; no pixel decoded, data skipped
  BadCode,         // a code above the next free code, or a first code after a clear that is not
                   // a colour; decoding stopped there and the data was skipped to the terminator
  BufferUnderrun,  // the sub-blocks ended (0 terminator) before the end code and the last pixel
  PrematureEnd,    // the input ended inside the image data (before the last pixel, or before the
                   // terminator), or a sub-block that was read claimed more bytes than the input holds
};

// The library's warning text for a status, or nullptr when the status is not
// worth a warning (Ok, ExcessData, ShortData). Every warning has severity 1.
const char* LZWStatusText(LZWStatus status);

struct LZWDecodeResult {
  // Bytes of the input taken: through the 0 terminator, or the whole input when
  // it ends inside the data. The next block of the file starts here.
  std::size_t consumed = 0;
  LZWStatus status = LZWStatus::Ok;
  // Pixels written, counted in the order of the code stream (interlaced order
  // for interlaced frames).
  std::size_t decoded = 0;
};

// Decodes `data`, which starts at the minimum code size byte and may go on past
// the terminator, into `pixels`, a width x height buffer of rows top to bottom
// that the caller has filled with the frame's fill value; pixels the data does
// not reach keep it. Interlaced frames arrive in their four-pass row order and
// are put in place here. A buffer smaller than width x height is left alone
// (the data is read as excess). Empty input counts as PrematureEnd.
LZWDecodeResult DecodeLZW(std::span<const std::uint8_t> data, std::span<std::uint8_t> pixels,
                          int width, int height, bool interlaced);
// The same for a buffer that may hold anything: the pixels the data does not reach are set to
// `fill` afterwards, so a frame's bytes are written once.
LZWDecodeResult DecodeLZW(std::span<const std::uint8_t> data, std::span<std::uint8_t> pixels,
                          int width, int height, bool interlaced, std::uint8_t fill);

// Decodes `data` like DecodeLZW, but into `pixels` in code-stream order (for
// an interlaced frame: its rows in the order of the four passes) for a frame
// of `total` pixels; `pixels` may be shorter than the frame. Sized by
// LZWPixelBound, it holds whatever the data can give, so a frame whose data
// ends early costs memory in proportion to its data, not to its declared size.
LZWDecodeResult DecodeLZWStream(std::span<const std::uint8_t> data, std::span<std::uint8_t> pixels,
                                std::size_t total);

// The most pixels the image data at the start of `data` can decode to,
// whatever its codes say: every code's string is at most one pixel longer
// than the longest string before it, and no string is longer than the table.
std::size_t LZWPixelBound(std::span<const std::uint8_t> data);

// How many bytes of `data` (starting at the minimum code size byte) the image data takes: through
// the 0 terminator of its sub-blocks, or all of it when the input ends first. DecodeLZW and
// DecodeLZWStream consume exactly this much, whatever the codes say.
std::size_t LZWDataSize(std::span<const std::uint8_t> data);

// Walks data sub-blocks from the length byte at `at`: the position just past the 0 terminator
// (terminated set), or, when `data` ends first, the position of the first length byte at or past
// its end (terminated clear), from which a walk over more of the same data goes on.
std::size_t SkipSubBlocks(std::span<const std::uint8_t> data, std::size_t at, bool& terminated);

// The row of an interlaced frame of `height` rows that arrives as row
// `streamRow` of the code stream.
std::size_t InterlacedRow(std::size_t streamRow, std::size_t height);

// ---------------------------------------------------------------------------
// Encoding

enum class EncodeStatus : std::uint8_t {
  Ok,
  // A pixel at or above the colour count (text "Color not in color table"):
  // the frame is not written; `out` keeps what was appended before the pixel.
  ColorNotInTable,
};

// Common ground of the two encoders: the minimum code size byte, the bit
// packing into sub-blocks of at most 255 bytes, the terminator, and the walk
// over the pixels in interlaced order when asked.
class TGIFEncoder {
public:
  virtual ~TGIFEncoder() = default;

  // Appends one complete table-based image data block to `out`. The minimum
  // code size is bitsPerPixel (1..8), at least 2. Pixels must lie below
  // colorCount (and below 2^bitsPerPixel, or the codes could not hold them).
  // `pixels` holds width x height bytes in row order; with `interlaced` the
  // rows are written in the four-pass order. A frame without pixels writes an
  // end code only.
  EncodeStatus Encode(std::vector<std::uint8_t>& out, int bitsPerPixel, int colorCount,
                      std::span<const std::uint8_t> pixels, bool interlaced, int height,
                      int width);

  struct Job;  // one frame being encoded; defined with the encoders

protected:
  virtual EncodeStatus Compress(Job& job) = 0;
};

// True LZW compression with a hashed string table; the table is restarted with
// a clear code when the next free code would pass 4094.
class TLZWEncoder final : public TGIFEncoder {
protected:
  EncodeStatus Compress(Job& job) override;
};

// Run-length coding inside a valid LZW code stream: single-pixel codes and
// codes for runs that a decoder defines by itself, so the encoder keeps no
// string table. Compresses flat areas well and noise not at all.
class TRLEEncoder final : public TGIFEncoder {
protected:
  EncodeStatus Compress(Job& job) override;
};

// Picks the encoder by the image's compression setting: 1 is run-length, any
// other value LZW.
EncodeStatus EncodeImageData(int compression, std::vector<std::uint8_t>& out, int bitsPerPixel,
                             int colorCount, std::span<const std::uint8_t> pixels,
                             bool interlaced, int height, int width);

// The LZW image data block the encoder writes for pixels q[i] = map[p[i]], made from `data`, the
// block it wrote for the pixels p (from the minimum code size byte through the terminator) with
// the same bitsPerPixel: a map that keeps apart every pixel value the codes hold keeps every string
// of the table apart too, so the codes stay as they are but for the single-pixel ones, which take
// their mapped value; the block keeps its size. False (out undefined) when it cannot be made so:
// `data` is not such a block, the map joins two pixel values it holds, or a mapped pixel is not
// below colorCount; the pixels are then encoded.
bool RemapLZWImageData(std::span<const std::uint8_t> data, const std::array<std::uint8_t, 256>& map,
                       int bitsPerPixel, int colorCount, std::vector<std::uint8_t>& out);

}  // namespace gif
