// LZW decode and encode throughput on 100 frames of 640x480, ours against
// giflib on the same pixels in the same run. Both are timed in turns and in the
// processor time of this thread, which a shared machine's other work disturbs
// far less than the clock. Prints megapixels per second and the ratio (above 1:
// ours is faster).
//   bench_gif_lzw [frames]
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <utility>
#include <time.h>
#include <vector>

#include "bench/common/machine.h"
#include "gif/lzw/lzw.h"
#include "tests/gif_lzw/giflib_peer.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr std::size_t kPixels = static_cast<std::size_t>(kWidth) * kHeight;

using Frames = std::vector<std::vector<std::uint8_t>>;

// Soft shapes drifting over a gradient: long runs and repeated rows.
Frames Smooth(int count) {
  Frames frames(static_cast<std::size_t>(count), std::vector<std::uint8_t>(kPixels));
  for (int f = 0; f < count; ++f) {
    auto& p = frames[static_cast<std::size_t>(f)];
    double cx = 320 + 200 * std::cos(f * 0.1), cy = 240 + 150 * std::sin(f * 0.13);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        double d = std::hypot(x - cx, y - cy);
        int v = d < 90 ? 200 + static_cast<int>(d / 10) : (x + y + f) / 8 % 160;
        p[static_cast<std::size_t>(y) * kWidth + x] = static_cast<std::uint8_t>(v);
      }
  }
  return frames;
}

// A photo-like frame after dithering: a smooth base with noise in every pixel.
Frames Noisy(int count) {
  Frames frames = Smooth(count);
  std::mt19937 rng(42);
  for (auto& p : frames)
    for (auto& v : p) v = static_cast<std::uint8_t>(v + rng() % 24);
  return frames;
}

// Every pixel independent: the worst case for any LZW coder.
Frames Random(int count) {
  Frames frames(static_cast<std::size_t>(count), std::vector<std::uint8_t>(kPixels));
  std::mt19937 rng(7);
  for (auto& p : frames)
    for (auto& v : p) v = static_cast<std::uint8_t>(rng());
  return frames;
}

// Processor time this thread spends in run.
double Seconds(const std::function<void()>& run) {
  timespec a, b;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &a);
  run();
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &b);
  return (b.tv_sec - a.tv_sec) + (b.tv_nsec - a.tv_nsec) * 1e-9;
}

// Best times of ours and theirs, taken in turns so that both see the same load of a shared machine.
std::pair<double, double> BestInTurns(int repeats, const std::function<void()>& ours,
                                      const std::function<void()>& theirs) {
  double bestOurs = 1e9, bestTheirs = 1e9;
  for (int i = 0; i < repeats; ++i) {
    bestOurs = std::min(bestOurs, Seconds(ours));
    bestTheirs = std::min(bestTheirs, Seconds(theirs));
  }
  return {bestOurs, bestTheirs};
}

constexpr int kPassStart[4] = {0, 4, 2, 1}, kPassStep[4] = {8, 8, 4, 2};

// One GIF file holding every frame, written by giflib; interlaced frames go in
// row by row in pass order.
// `out` may hold a buffer from an earlier run: both coders then write into memory already
// mapped, and the kernel's work of mapping fresh pages stays out of the timings.
void GiflibEncodeAll(const Frames& frames, bool interlaced, std::vector<std::uint8_t>& out) {
  out.clear();
  int error = 0;
  GifFileType* gif = EGifOpen(&out, giflib_peer::WriteMemory, &error);
  ColorMapObject* map = giflib_peer::MakeColorMap(8);
  bool ok = EGifPutScreenDesc(gif, kWidth, kHeight, 8, 0, map) == GIF_OK;
  for (const auto& p : frames) {
    ok = ok && EGifPutImageDesc(gif, 0, 0, kWidth, kHeight, interlaced, nullptr) == GIF_OK;
    auto* px = const_cast<GifPixelType*>(p.data());
    if (!interlaced) {
      ok = ok && EGifPutLine(gif, px, static_cast<int>(kPixels)) == GIF_OK;
      continue;
    }
    for (int pass = 0; pass < 4; ++pass)
      for (int y = kPassStart[pass]; y < kHeight; y += kPassStep[pass])
        ok = ok && EGifPutLine(gif, px + static_cast<std::size_t>(y) * kWidth, kWidth) == GIF_OK;
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  if (!ok) {
    std::fprintf(stderr, "giflib failed to encode\n");
    std::exit(1);
  }
}

// The same file layout with our encoder's image data.
void OursEncodeAll(const Frames& frames, bool interlaced, std::vector<std::uint8_t>& out,
                                        std::vector<std::size_t>* offsets) {
  const std::vector<std::uint8_t> header = giflib_peer::WrapInGif({}, kWidth, kHeight, 8, false);
  out.assign(header.begin(), header.end());
  out.erase(out.end() - 11, out.end());  // keep header and global table; frames follow
  for (const auto& p : frames) {
    std::uint8_t desc[10] = {0x2C, 0, 0, 0, 0, kWidth & 0xFF, kWidth >> 8,
                             kHeight & 0xFF, kHeight >> 8,
                             static_cast<std::uint8_t>(interlaced ? 0x40 : 0)};
    out.insert(out.end(), desc, desc + 10);
    if (offsets) offsets->push_back(out.size());
    gif::EncodeImageData(0, out, 8, 256, p, interlaced, kHeight, kWidth);
  }
  out.push_back(0x3B);
}

void GiflibDecodeAll(std::span<const std::uint8_t> file, std::vector<std::uint8_t>& pixels,
                     bool interlaced) {
  giflib_peer::MemoryIn in{file};
  int error = 0;
  GifFileType* gif = DGifOpen(&in, giflib_peer::ReadMemory, &error);
  GifRecordType type;
  while (DGifGetRecordType(gif, &type) == GIF_OK && type != TERMINATE_RECORD_TYPE) {
    if (type == IMAGE_DESC_RECORD_TYPE) {
      bool ok = DGifGetImageDesc(gif) == GIF_OK;
      if (!interlaced) {
        ok = ok && DGifGetLine(gif, pixels.data(), static_cast<int>(kPixels)) == GIF_OK;
      } else {
        for (int pass = 0; pass < 4; ++pass)
          for (int y = kPassStart[pass]; y < kHeight; y += kPassStep[pass])
            ok = ok && DGifGetLine(gif, pixels.data() + static_cast<std::size_t>(y) * kWidth,
                                   kWidth) == GIF_OK;
      }
      if (!ok) {
        std::fprintf(stderr, "giflib failed to decode\n");
        std::exit(1);
      }
    } else {
      break;
    }
  }
  DGifCloseFile(gif, &error);
}

void Run(const char* name, const Frames& frames, bool interlaced, int repeats) {
  const double mpix = static_cast<double>(frames.size() * kPixels) / 1e6;

  std::vector<std::size_t> offsets;
  std::vector<std::uint8_t> ours, theirs;
  OursEncodeAll(frames, interlaced, ours, &offsets);
  GiflibEncodeAll(frames, interlaced, theirs);
  std::vector<std::uint8_t> ourBuffer = ours, theirBuffer = theirs;

  auto [encOurs, encTheirs] = BestInTurns(
      repeats, [&] { OursEncodeAll(frames, interlaced, ourBuffer, nullptr); },
      [&] { GiflibEncodeAll(frames, interlaced, theirBuffer); });

  std::vector<std::uint8_t> pixels(kPixels);
  // Check once that both decoders agree with the pixels.
  for (std::size_t f = 0; f < frames.size(); ++f) {
    auto r = gif::DecodeLZW(std::span(ours).subspan(offsets[f]), pixels, kWidth, kHeight,
                            interlaced);
    if (r.status != gif::LZWStatus::Ok || pixels != frames[f]) {
      std::fprintf(stderr, "%s: our round trip differs at frame %zu\n", name, f);
      std::exit(1);
    }
  }
  GiflibDecodeAll(ours, pixels, interlaced);
  if (pixels != frames.back()) {
    std::fprintf(stderr, "%s: giflib reads our data differently\n", name);
    std::exit(1);
  }

  auto [decOurs, decTheirs] = BestInTurns(
      repeats,
      [&] {
        for (std::size_t off : offsets)
          gif::DecodeLZW(std::span(ours).subspan(off), pixels, kWidth, kHeight, interlaced);
      },
      [&] { GiflibDecodeAll(ours, pixels, interlaced); });

  std::printf("%-18s %3zu frames  data: ours %7.1f KB, giflib %7.1f KB\n", name, frames.size(),
              ours.size() / 1024.0, theirs.size() / 1024.0);
  std::printf("  decode  ours %7.1f Mpx/s  giflib %7.1f Mpx/s  ratio %.2f\n", mpix / decOurs,
              mpix / decTheirs, decTheirs / decOurs);
  std::printf("  encode  ours %7.1f Mpx/s  giflib %7.1f Mpx/s  ratio %.2f\n", mpix / encOurs,
              mpix / encTheirs, encTheirs / encOurs);
}

}  // namespace

int main(int argc, char** argv) {
  int count = argc > 1 ? std::atoi(argv[1]) : 100;
  if (count < 1) count = 1;
  const int repeats = 5;
  bench::PrintMachine("1 (ours and giflib, timed in this thread's processor time)");
  Frames smooth = Smooth(count);
  Run("smooth", smooth, false, repeats);
  Run("smooth interlaced", smooth, true, repeats);
  Run("noisy", Noisy(count), false, repeats);
  Run("random", Random(count), false, repeats);
  return 0;
}
