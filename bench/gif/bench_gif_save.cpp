// Saving a 300-frame 640 x 480 animation (smooth bands with some noise, a delay on every frame,
// a loop count) by the GIF library and by giflib's EGifSpew from the same pixels, in the same
// run. Prints the best and the spread of several runs of each and the ratio of the best times
// (giflib / ours: above 1 means we are faster).
//   bench_gif_save [runs]
#include <gif_lib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/common/footage_animation.h"
#include "bench/common/machine.h"
#include "gif/gifimage.h"

using namespace gif;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kWidth = 640, kHeight = 480, kFrames = 300;
constexpr std::uint16_t kDelay = 10;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

void MakeAnimation(TGIFImage& image) { bench::MakeFootageAnimation(image, kWidth, kHeight, kFrames, kDelay); }

int WriteMemory(GifFileType* gif, const GifByteType* buffer, int count) {
  auto* out = static_cast<Bytes*>(gif->UserData);
  out->insert(out->end(), buffer, buffer + count);
  return count;
}

// A giflib file in memory holding the same frames, ready for EGifSpew (which frees it).
GifFileType* GiflibAnimation(const TGIFImage& image, Bytes& out) {
  int error = 0;
  GifFileType* gif = EGifOpen(&out, WriteMemory, &error);
  if (!gif) return nullptr;
  gif->SWidth = kWidth;
  gif->SHeight = kHeight;
  gif->SColorResolution = 8;
  gif->SBackGroundColor = 0;
  gif->SColorMap = GifMakeMapObject(256, nullptr);
  for (int c = 0; c < 256; ++c)
    gif->SColorMap->Colors[c] = {static_cast<GifByteType>(c), static_cast<GifByteType>(c), static_cast<GifByteType>(c)};
  for (int i = 0; i < image.Images().GetCount(); ++i) {
    const TGIFSubImage& f = *image.Images().GetFrame(i);
    SavedImage* saved = GifMakeSavedImage(gif, nullptr);
    saved->ImageDesc = GifImageDesc{0, 0, kWidth, kHeight, false, nullptr};
    // RasterBits is freed with the file: a copy of the pixels.
    saved->RasterBits = static_cast<GifByteType*>(std::malloc(f.DataSize()));
    std::memcpy(saved->RasterBits, f.Data(), f.DataSize());
    if (i == 0) {
      GifAddExtensionBlock(&saved->ExtensionBlockCount, &saved->ExtensionBlocks, APPLICATION_EXT_FUNC_CODE, 11,
                           const_cast<GifByteType*>(reinterpret_cast<const GifByteType*>("NETSCAPE2.0")));
      GifByteType loops[3] = {1, 0, 0};
      GifAddExtensionBlock(&saved->ExtensionBlockCount, &saved->ExtensionBlocks, CONTINUE_EXT_FUNC_CODE, 3, loops);
    }
    GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, kDelay, NO_TRANSPARENT_COLOR};
    EGifGCBToSavedExtension(&gcb, gif, i);
  }
  return gif;
}

struct Times {
  double best = 1e9, worst = 0;
  void Add(double t) {
    best = std::min(best, t);
    worst = std::max(worst, t);
  }
};

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  TGIFImage image;
  MakeAnimation(image);

  Times ours, theirs;
  Bytes ourBytes, theirBytes;
  for (int r = 0; r < runs; ++r) {
    auto start = Clock::now();
    ourBytes = image.SaveToMemory();
    ours.Add(Seconds(start));

    theirBytes.clear();
    theirBytes.reserve(ourBytes.size());  // giflib's writer does not grow its output as it goes
    GifFileType* gif = GiflibAnimation(image, theirBytes);  // not timed: EGifSpew starts from it
    if (!gif) {
      std::fprintf(stderr, "giflib could not open a file in memory\n");
      return 1;
    }
    start = Clock::now();
    const int result = EGifSpew(gif);
    theirs.Add(Seconds(start));
    if (result != GIF_OK) {
      std::fprintf(stderr, "EGifSpew failed\n");
      return 1;
    }
  }
  bench::PrintMachine((std::to_string(image.Images().EncodingThreads()) + " encoding ours; giflib 1").c_str());
  std::printf("%d frames of %dx%d, %d runs\n", kFrames, kWidth, kHeight, runs);
  std::printf("save: ours %.3f s (worst %.3f), %zu bytes\n", ours.best, ours.worst, ourBytes.size());
  std::printf("      giflib EGifSpew %.3f s (worst %.3f), %zu bytes, %s bytes\n", theirs.best, theirs.worst,
              theirBytes.size(), theirBytes == ourBytes ? "the same" : "other");
  std::printf("ratio %.2f (best giflib / best ours)\n", theirs.best / ours.best);
  return 0;
}
