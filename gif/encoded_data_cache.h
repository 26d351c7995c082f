// Frames' encoded image data kept for writing the same animation again and again (the editor
// writes its working copy after every edit). An entry is found only by everything the bytes
// depend on: the encoder, the code size and colour count, interlacing, the frame's size and the
// number that names its pixels (TGIFSubImage::PixelsId), which changes whenever they may have
// changed; so the cache holds no pixels, compares none, and nothing has to be told when a frame
// changes.
#pragma once

#include <array>
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
    std::uint64_t Pixels = 0;
    bool operator==(const Key&) const = default;
  };

  // Data that stays as it is while anyone holds it, also after its entry is dropped.
  using Data = std::shared_ptr<const std::vector<std::uint8_t>>;

  // The frame's image data block, as EncodeImageData writes it, taken from the cache when the
  // same pixels were encoded the same way before. Safe to call from several threads at once.
  EncodeStatus Encode(const Key& key, std::span<const std::uint8_t> pixels, Data& out);
  // The cached block for key, as Encode would hand it out, or false when there is none.
  bool Lookup(const Key& key, Data& out);
  // The block for key when its pixels are those named by `base` mapped through `map`: cached,
  // or made from base's cached block without encoding (RemapLZWImageData), which leaves base's
  // entry as unused as it was. False when neither is possible; the caller encodes the pixels.
  bool LookupRemapped(const Key& key, const Key& base, const std::array<std::uint8_t, 256>& map, Data& out);

  // A frame just read from `data` (its image data block, from the code size byte through the
  // terminator), decoded without fault at this size and interlacing, holds the pixels an entry
  // was made from when the entry wrote exactly these bytes for a frame of that shape: their
  // number, or 0 when no entry did.
  // dataHash is HashData(data), worked out ahead where that is cheaper.
  std::uint64_t FindPixels(bool interlaced, int width, int height, std::span<const std::uint8_t> data) const {
    return FindPixels(interlaced, width, height, data, HashData(data));
  }
  std::uint64_t FindPixels(bool interlaced, int width, int height, std::span<const std::uint8_t> data,
                           std::uint64_t dataHash) const;

  // Takes `data` as the block that Encode would write for key: for frames just read back from a
  // file this cache's owner wrote with the same settings, which then need no encoding again.
  void Seed(const Key& key, std::span<const std::uint8_t> data) { Seed(key, data, HashData(data)); }
  void Seed(const Key& key, std::span<const std::uint8_t> data, std::uint64_t dataHash);

  // What entries are found by when looking for the pixels of a block.
  static std::uint64_t HashData(std::span<const std::uint8_t> data);

  // A write of a whole image: entries it does not use are dropped when it ends, so the cache
  // holds about one image's worth of data.
  void BeginWrite();
  void EndWrite();

  std::size_t Entries() const;
  // Bytes of encoded data held.
  std::size_t DataSize() const;
  std::uint64_t Hits() const { return hits_; }
  std::uint64_t Misses() const { return misses_; }

private:
  struct Entry {
    Key key;
    std::uint64_t dataHash = 0;
    Data data;
    bool used = false;
  };
  static std::uint64_t HashKey(const Key& key);
  Entry* Find(const Key& key, std::uint64_t keyHash) const;

  mutable std::mutex lock_;
  std::unordered_multimap<std::uint64_t, std::unique_ptr<Entry>> entries_;  // by key
  std::unordered_multimap<std::uint64_t, Entry*> byData_;
  std::uint64_t hits_ = 0, misses_ = 0;
};

}  // namespace gif
