// What a load of an image may use besides the file (threads to decode on, how many
// frames to read, an image whose pixels it may take instead of decoding them) and the
// process-wide defaults that new images and loads start from.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gif {

class TGIFImage;

// The library's own defaults, in one place. A program that wants others sets them once at
// start-up, before it makes images; images and load options made later start from them.
struct TGIFDefaults {
  // Large enough for any real animation frame (16384 x 16384), small enough that a forged
  // descriptor in a tiny file cannot ask for gigabytes.
  std::uint64_t MaxFramePixels = 16384ull * 16384ull;
  // Bytes a new image may need in all; taken once at start-up from the machine
  // (TGIFImage::MemoryBudgetFor).
  std::uint64_t MemoryBudget = 1ull << 30;
  // Threads that decode frames' image data while a load walks the file: 0 for one per core,
  // 1 to decode everything on the loading thread. The frames, warnings and errors are the same.
  int DecodeThreads = 0;
  // Frames of fewer pixels are decoded on the loading thread, where handing them over costs more.
  std::size_t DecodeThreadPixels = std::size_t{1} << 15;
};

// The process-wide defaults (see TGIFDefaults).
TGIFDefaults& GIFDefaults();

struct TGIFLoadOptions {
  int DecodeThreads = GIFDefaults().DecodeThreads;
  std::size_t DecodeThreadPixels = GIFDefaults().DecodeThreadPixels;
  // When above 0, the load stops once it has read this many frames: what follows them is neither
  // read nor decoded (a preview that shows the first frame of a long animation).
  int FrameLimit = 0;
  // The load gives the image's EncodedDataCache each frame's image data as the encoding of its
  // pixels. Only for data this library wrote with the image's Compression (the editor's own
  // snapshots).
  bool SeedEncodedData = false;
  // When set, a load that succeeds takes the pixels of frames the donor holds from it instead of
  // decoding them, where the image's EncodedDataCache names a frame's image data as the encoding
  // of a donor frame's pixels; those donor frames are left holding nothing. For an image that
  // what is loaded is about to replace (an undo bringing back a snapshot of it). Read during the
  // load only.
  TGIFImage* PixelsDonor = nullptr;

  // The threads the load decodes on: DecodeThreads, or the cores this process may run on.
  int EffectiveDecodeThreads() const;
};

}  // namespace gif
