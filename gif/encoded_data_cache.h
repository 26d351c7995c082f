// Frames' encoded image data kept for writing the same animation again and again (the editor
// writes its working copy after every edit). An entry is found only by everything the bytes
// depend on: the encoder, the code size and colour count, interlacing, the frame's size and its
// pixels, which are compared in full; so an entry can never stand in for pixels it was not made
// from, and nothing has to be told when a frame changes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <unordered_map>
#include <vector>

#include "gif/lzw/lzw.h"

namespace gif {

class TGIFEncodedDataCache {
public:
  struct Key {
    int Compression = 0;
    int BitsPerPixel = 0;
    int ColorCount = 0;
    bool Interlaced = false;
    int Width = 0;
    int Height = 0;
    bool operator==(const Key&) const = default;
  };

  // Appends the frame's image data block to out, as EncodeImageData would, taking it from the
  // cache when the same pixels were encoded the same way before.
  EncodeStatus Encode(const Key& key, std::span<const std::uint8_t> pixels, std::vector<std::uint8_t>& out);

  // A write of a whole image: entries it does not use are dropped when it ends, so the cache
  // holds about one image's worth of data.
  void BeginWrite();
  void EndWrite();

  std::size_t Entries() const;
  std::uint64_t Hits() const { return hits_; }
  std::uint64_t Misses() const { return misses_; }

private:
  struct Entry {
    Key key;
    std::vector<std::uint8_t> pixels;
    std::vector<std::uint8_t> data;
    bool used = false;
  };
  static std::uint64_t Fingerprint(const Key& key, std::span<const std::uint8_t> pixels);

  mutable std::mutex lock_;
  std::unordered_multimap<std::uint64_t, std::unique_ptr<Entry>> entries_;
  std::uint64_t hits_ = 0, misses_ = 0;
};

}  // namespace gif
