// Opens a 1,000-frame 1920 x 1080 animation (about 2 GB of pixels) with the GIF
// library and with giflib in the same run, and prints each one's time and peak
// memory, the ratio of the times (giflib / ours) and the library's default
// memory budget. The animation must open within the budget on a machine of 24 GB.
//   bench_gif_large_animation [frames]
#include <gif_lib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/common/machine.h"
#include "gif/gifimage.h"
#include "gif/lzw/lzw.h"

using namespace gif;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr int kWidth = 1920, kHeight = 1080;

// A file of `frames` full-screen frames; each frame's picture differs a little
// from the last (a band moving down), coded once per band position.
Bytes MakeAnimation(int frames) {
  Bytes file{'G', 'I', 'F', '8', '9', 'a', kWidth & 0xFF, kWidth >> 8, kHeight & 0xFF, kHeight >> 8, 0xF7, 0, 0};
  for (int i = 0; i < 256; ++i) file.insert(file.end(), {std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i * 7)});
  file.insert(file.end(), {0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0});
  std::vector<Bytes> coded(16);
  Bytes pixels(static_cast<std::size_t>(kWidth) * kHeight);
  for (int i = 0; i < frames; ++i) {
    Bytes& data = coded[static_cast<std::size_t>(i % 16)];
    if (data.empty()) {
      for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
          pixels[static_cast<std::size_t>(y) * kWidth + x] =
              static_cast<std::uint8_t>((y / 68 == i % 16) ? 200 : (x / 30 + y / 40) % 64);
      EncodeImageData(0, data, 8, 256, pixels, false, kHeight, kWidth);
    }
    file.insert(file.end(), {0x21, 0xF9, 4, 0x04, 4, 0, 0, 0});
    file.insert(file.end(), {0x2C, 0, 0, 0, 0, kWidth & 0xFF, kWidth >> 8, kHeight & 0xFF, kHeight >> 8, 0});
    file.insert(file.end(), data.begin(), data.end());
  }
  file.push_back(0x3B);
  return file;
}

struct Run {
  double seconds = 0;
  long peakMB = 0;
  bool ok = false;
};

// Runs load in a child process so that each side's peak memory is its own.
template <typename Load>
Run Measure(Load load) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return {};
  const pid_t child = fork();
  if (child == 0) {
    close(pipeFds[0]);
    const auto start = std::chrono::steady_clock::now();
    const bool ok = load();
    Run r;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    r.peakMB = usage.ru_maxrss / 1024;
    r.ok = ok;
    if (write(pipeFds[1], &r, sizeof r) != sizeof r) _exit(1);
    _exit(0);
  }
  close(pipeFds[1]);
  Run r;
  if (read(pipeFds[0], &r, sizeof r) != sizeof r) r = {};
  close(pipeFds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::atoi(argv[1]) : 1000;
  const Bytes file = MakeAnimation(frames);
  std::printf("animation: %d frames of %d x %d, %.1f MB on disk, %.1f GB of pixels\n", frames, kWidth, kHeight,
              file.size() / 1e6, double(frames) * kWidth * kHeight / 1e9);
  std::printf("default memory budget: %.1f GB; the file is counted at %.1f GB\n", GIFDefaults().MemoryBudget / 1e9,
              (TGIFImage::ScreenMemoryCost(kWidth, kHeight) + frames * TGIFImage::FrameMemoryCost(kWidth, kHeight)) / 1e9);

  const Run ours = Measure([&] {
    TGIFImage image;
    try {
      image.LoadFromMemory(file);
    } catch (const GIFException& e) {
      std::fprintf(stderr, "ours: %s\n", e.what());
      return false;
    }
    return image.Images().GetCount() == frames;
  });
  const Run theirs = Measure([&] {
    struct Source {
      const Bytes* bytes;
      std::size_t at;
    } source{&file, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(
        &source,
        [](GifFileType* g, GifByteType* out, int n) {
          auto* s = static_cast<Source*>(g->UserData);
          const int take = static_cast<int>(std::min<std::size_t>(std::size_t(n), s->bytes->size() - s->at));
          std::copy_n(s->bytes->data() + s->at, take, out);
          s->at += std::size_t(take);
          return take;
        },
        &error);
    if (!gif) return false;
    const bool ok = DGifSlurp(gif) == GIF_OK && gif->ImageCount == frames;
    DGifCloseFile(gif, &error);
    return ok;
  });
  bench::PrintMachine((std::to_string(TGIFLoadOptions{}.EffectiveDecodeThreads()) + " decoding ours; giflib 1").c_str());
  std::printf("ours:   %s in %.2f s, peak %ld MB\n", ours.ok ? "opened" : "FAILED", ours.seconds, ours.peakMB);
  std::printf("giflib: %s in %.2f s, peak %ld MB\n", theirs.ok ? "opened" : "FAILED", theirs.seconds, theirs.peakMB);
  if (ours.seconds > 0) std::printf("ratio (giflib / ours): %.2f\n", theirs.seconds / ours.seconds);
  return ours.ok ? 0 : 1;
}
