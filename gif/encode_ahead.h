// Encoding frames' image data ahead of a write, on threads of its own, into the image's encoded-
// data cache, where the write then finds it. For a command that rewrites the pixels of many
// frames early on (a palette merge that joins colours) and goes on with other work before it
// writes: the encoding runs meanwhile.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_set>
#include <vector>

#include "gif/encoded_data_cache.h"
#include "gif/gifimage.h"

namespace gif {

class TEncodeAhead {
public:
  TEncodeAhead() = default;
  // Waits for everything started.
  ~TEncodeAhead();
  TEncodeAhead(const TEncodeAhead&) = delete;
  TEncodeAhead& operator=(const TEncodeAhead&) = delete;

  // Starts encoding every frame of image that a write would have to encode from its pixels: its
  // data is not cached, nor is the data of the pixels it was recoloured from (the write rewrites
  // that data's codes, which is quicker). Such a frame's later recolourings are then rewritten
  // from the data started here. Pixels already started are not started again. The pixels are
  // copied on the caller's thread, which may change the frames right after; a frame that changes
  // other than by a recolouring is encoded by the write as before. Nothing for an image without
  // a cache. Returns the number of frames started.
  int Start(TGIFImage& image);
  // True while started frames are not yet in the cache.
  bool Pending();
  // Waits until every started frame is in the cache (or failed to encode, which the write then
  // finds and reports).
  void Wait();

private:
  struct Job {
    std::shared_ptr<TGIFEncodedDataCache> Cache;
    TGIFEncodedDataCache::Key Key;
    PixelBytes Pixels;
  };
  void Work();

  std::mutex lock_;
  std::condition_variable wake_, idle_;
  std::deque<Job> jobs_;
  int busy_ = 0;
  bool closing_ = false;
  std::vector<std::thread> threads_;
  std::unordered_set<std::uint64_t> started_;  // pixels, by PixelsId
};

}  // namespace gif
