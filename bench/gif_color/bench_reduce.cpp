// ReduceColors with the octree (method 7, 256 colours) and Floyd-Steinberg on
// 640 x 480 24-bit frames, side by side with ImageMagick's
// "-dither FloydSteinberg -colors 256" on the same frames in the same run.
//
// ImageMagick runs as its command-line tool over all frames in one process; its
// start-up and the reading of the frames are measured by the same command
// without the reduction and subtracted. It runs with its own threading and
// again limited to one thread, as ours uses one.
//
//   bench_gif_reduce [frames] [repeats]
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/common/machine.h"
#include "gif/color/dither.h"
#include "gif/color/reduce.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWidth = 640, kHeight = 480;
const char* const kConvert = "/usr/bin/convert-im6.q16";

// A photo-like frame: smooth colour fields that move from frame to frame, a few
// hard-edged shapes and sensor-like noise, so the picture has tens of thousands
// of colours.
gif::Bitmap MakeFrame(int index) {
  gif::Bitmap b(kWidth, kHeight, gif::PixelFormat::pf24bit);
  std::mt19937 random(unsigned(index) * 7919u + 1u);
  std::uniform_int_distribution<int> noise(-6, 6);
  const double t = index * 0.35;
  for (int y = 0; y < kHeight; ++y) {
    std::uint8_t* p = b.Scanline(y);
    for (int x = 0; x < kWidth; ++x, p += 3) {
      const double u = x / double(kWidth), v = y / double(kHeight);
      double r = 127 + 110 * std::sin(6.0 * u + t) * std::cos(3.0 * v - t);
      double g = 127 + 110 * std::sin(4.0 * v + 2.0 * u + 0.5 * t);
      double bl = 127 + 110 * std::cos(5.0 * (u - v) + t);
      const double dx = u - 0.5 - 0.2 * std::sin(t), dy = v - 0.5;
      if (dx * dx + dy * dy < 0.03) r = 250, g = 220 - 120 * v, bl = 40;
      if (x % 160 < 20 && y > 300) r = g = bl = 30 + 20 * (x / 160);
      const auto channel = [&](double c) { return std::uint8_t(std::clamp(int(c) + noise(random), 0, 255)); };
      p[2] = channel(r), p[1] = channel(g), p[0] = channel(bl);
    }
  }
  return b;
}

void WritePPM(const gif::Bitmap& b, const std::filesystem::path& path) {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << b.Width() << " " << b.Height() << "\n255\n";
  std::vector<char> row(std::size_t(b.Width()) * 3);
  for (int y = 0; y < b.Height(); ++y) {
    const std::uint8_t* p = b.Scanline(y);
    for (int x = 0; x < b.Width(); ++x) row[3 * x] = char(p[3 * x + 2]), row[3 * x + 1] = char(p[3 * x + 1]), row[3 * x + 2] = char(p[3 * x]);
    out.write(row.data(), std::streamsize(row.size()));
  }
}

bool ReadPPM(const std::filesystem::path& path, std::vector<std::uint8_t>& rgb) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int w = 0, h = 0, max = 0;
  in >> magic >> w >> h >> max;
  in.get();
  if (magic != "P6" || w != kWidth || h != kHeight || max != 255) return false;
  rgb.resize(std::size_t(w) * h * 3);
  return bool(in.read(reinterpret_cast<char*>(rgb.data()), std::streamsize(rgb.size())));
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double RunCommand(const std::string& command) {
  const auto start = Clock::now();
  const int status = std::system(command.c_str());
  const auto end = Clock::now();
  if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "failed: %s\n", command.c_str());
    std::exit(1);
  }
  return Seconds(end - start);
}

double BestOf(int repeats, const std::string& command) {
  double best = 1e9;
  for (int i = 0; i < repeats; ++i) best = std::min(best, RunCommand(command));
  return best;
}

double MeanError(const gif::Bitmap& source, const std::uint8_t* rgb, std::size_t stride, bool indexed,
                 const gif::Bitmap* reduced) {
  double sum = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const std::uint8_t* s = source.Scanline(y) + 3 * x;
      int r, g, b;
      if (indexed) {
        const gif::Rgb c = reduced->Colors()[reduced->Scanline(y)[x]];
        r = c.red, g = c.green, b = c.blue;
      } else {
        const std::uint8_t* p = rgb + std::size_t(y) * stride + 3 * std::size_t(x);
        r = p[0], g = p[1], b = p[2];
      }
      sum += std::abs(r - s[2]) + std::abs(g - s[1]) + std::abs(b - s[0]);
    }
  return sum / (3.0 * kWidth * kHeight);
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;

  std::vector<gif::Bitmap> pictures;
  for (int i = 0; i < frames; ++i) pictures.push_back(MakeFrame(i));

  std::string tmpl = (std::filesystem::temp_directory_path() / "bench_gif_reduce.XXXXXX").string();
  if (!mkdtemp(tmpl.data())) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::filesystem::path dir = tmpl;
  std::string inputs;
  for (int i = 0; i < frames; ++i) {
    const auto path = dir / ("frame" + std::to_string(i) + ".ppm");
    WritePPM(pictures[std::size_t(i)], path);
    inputs += " '" + path.string() + "'";
  }

  // Ours: best of the repeats over all frames.
  double ours = 1e9;
  std::vector<gif::Bitmap> reduced(pictures.size());
  for (int r = 0; r < repeats; ++r) {
    const auto start = Clock::now();
    for (std::size_t i = 0; i < pictures.size(); ++i)
      reduced[i] = gif::ReduceColors(pictures[i], gif::rmQuantize, gif::dmFloydSteinberg, nullptr, 8);
    ours = std::min(ours, Seconds(Clock::now() - start));
  }

  const std::string quiet = " >/dev/null 2>&1";
  const std::string reduce = " -dither FloydSteinberg -colors 256 null:";
  const double baseline = BestOf(repeats, std::string(kConvert) + inputs + " null:" + quiet);
  const double im = BestOf(repeats, std::string(kConvert) + inputs + reduce + quiet) - baseline;
  const double baseline1 = BestOf(repeats, std::string(kConvert) + " -limit thread 1" + inputs + " null:" + quiet);
  const double im1 = BestOf(repeats, std::string(kConvert) + " -limit thread 1" + inputs + reduce + quiet) - baseline1;

  // Quality of frame 0 from both, as mean absolute error per channel.
  const auto imOut = dir / "im0.ppm";
  RunCommand(std::string(kConvert) + " '" + (dir / "frame0.ppm").string() + "' -dither FloydSteinberg -colors 256 '" +
             imOut.string() + "'" + quiet);
  std::vector<std::uint8_t> imPixels;
  const bool haveIm = ReadPPM(imOut, imPixels);
  const double ourError = MeanError(pictures[0], nullptr, 0, true, &reduced[0]);
  const double imError = haveIm ? MeanError(pictures[0], imPixels.data(), kWidth * 3, false, nullptr) : -1;

  std::filesystem::remove_all(dir);

  const double perFrame = 1000.0 / frames;
  bench::PrintMachine("ours 1; ImageMagick its own, then 1");
  std::printf("ReduceColors method 7 + Floyd-Steinberg, %d frames of %dx%d, best of %d\n", frames, kWidth, kHeight,
              repeats);
  std::printf("  ours                          %8.2f ms/frame  (mean error %.2f, %zu colours)\n", ours * perFrame,
              ourError, reduced[0].Colors().size());
  std::printf("  ImageMagick                   %8.2f ms/frame  (mean error %.2f; start-up and reading %.1f ms subtracted)\n",
              im * perFrame, imError, baseline * 1000);
  std::printf("  ImageMagick, 1 thread         %8.2f ms/frame\n", im1 * perFrame);
  std::printf("  ratio ImageMagick / ours      %8.2f\n", im / ours);
  std::printf("  ratio ImageMagick 1T / ours   %8.2f\n", im1 / ours);
  return 0;
}
