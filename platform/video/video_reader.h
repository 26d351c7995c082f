// Reads the first video stream of a file frame by frame, whatever its codec, through FFmpeg's
// libraries. Stands in for the platform's AVI file services on the reading side: open, stream, frame
// decompression. Frames come out as device-independent pixels: palettised streams keep their
// palette (8 bits per pixel), everything else becomes 24-bit blue-green-red. Leaves out writing
// (the AVI writer is our own) and every stream but the first video stream.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace movinta::platform {

class VideoError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

struct VideoFrame {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 24;       // 8 (with `palette`) or 24
  std::size_t rowBytes = 0;    // bytes of one row, rows top to bottom, no padding beyond rowBytes
  std::vector<std::uint8_t> pixels;
  std::vector<std::array<std::uint8_t, 3>> palette;  // red, green, blue; 8-bit frames only
};

class VideoReader {
public:
  // Which step failed: the caller words its own message for each.
  enum class Step { Open, Stream, Decoder };
  struct OpenError : VideoError {
    OpenError(Step s, const std::string& what) : VideoError(what), step(s) {}
    Step step;
  };

  // Opens `path` (the file system's bytes) and its first video stream; raises OpenError.
  // Frames larger than `maxFramePixels` are refused as the decoder's failure.
  explicit VideoReader(const std::string& path, std::uint64_t maxFramePixels = 16384ull * 16384ull);
  ~VideoReader();
  VideoReader(const VideoReader&) = delete;
  VideoReader& operator=(const VideoReader&) = delete;

  int Width() const;
  int Height() const;
  // The stream's frame count as its container states it (0 when unknown).
  std::int64_t FrameCountHint() const;

  // The next frame in presentation order; false at the end of the stream. Raises VideoError when a
  // frame cannot be decoded.
  bool Next(VideoFrame& frame);

private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace movinta::platform
