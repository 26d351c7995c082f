// Optimize with every option against gifsicle -O2 and -O3 on the same
// animations, made in the set-up with FFmpeg, ImageMagick and gifsicle.
// Prints each file's size and time and the ratios (ours / gifsicle's); our
// time covers load, optimisation and save in-process, gifsicle's its whole run.
// The tables are merged first only where that loses no colour.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#include <unistd.h>

#include "bench/common/machine.h"
#include "gif/gifimage.h"
#include "gif/optimize/optimize.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

std::uintmax_t Size(const fs::path& p) {
  std::error_code ec;
  const auto n = fs::file_size(p, ec);
  return ec ? 0 : n;
}

// A red box moving over a gradient, one frame per position.
std::string MovingBox(const std::string& d) {
  std::string command = "/usr/bin/convert-im6.q16 -delay 5 -loop 0";
  for (int t = 0; t < 20; ++t)
    command += " \\( -size 240x160 gradient:skyblue-navy -fill red -draw 'rectangle " + std::to_string(t * 10) + ",40 " +
               std::to_string(t * 10 + 40) + ",100' \\)";
  return command + " " + d + "im_moving_box.gif'";
}

// Whether every colour the frames' tables hold fits one table (with a slot
// for transparency): only then is merging them lossless.
bool TablesFitOne(gif::TGIFImage& image) {
  std::vector<gif::TColor> colours;
  bool transparent = false;
  auto take = [&](const gif::TGIFColorMap& map) {
    for (int i = 0; i < map.GetCount(); ++i) colours.push_back(gif::TGIFColorMap::RGBToColor(map.Entry(i)));
  };
  take(image.GetGlobalColorMap());
  for (int i = 0; i < image.Images().GetCount(); ++i) {
    take(image.Images().GetFrame(i)->ColorMap());
    transparent |= image.Images().GetFrame(i)->Transparent();
  }
  std::sort(colours.begin(), colours.end());
  colours.erase(std::unique(colours.begin(), colours.end()), colours.end());
  return colours.size() <= (transparent ? 255u : 256u);
}

}  // namespace

int main(int argc, char** argv) {
  const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  const char* tmp = std::getenv("TMPDIR");
  const fs::path dir = fs::path(tmp && *tmp ? tmp : "/tmp") / ("bench_gif_optimize_" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string d = "'" + dir.string() + "/";

  struct Source {
    const char* name;
    std::string command;
  };
  const std::vector<Source> sources = {
      {"ffmpeg_testsrc", "ffmpeg -y -v error -f lavfi -t 3 -i testsrc=size=320x240:rate=10 " + d + "ffmpeg_testsrc.gif'"},
      {"ffmpeg_life", "ffmpeg -y -v error -f lavfi -t 4 -i life=size=200x150:rate=10:mold=10 " + d + "ffmpeg_life.gif'"},
      {"im_plasma_spin", "/usr/bin/convert-im6.q16 -seed 3 -size 160x120 plasma:fractal -duplicate 11 -distort SRT "
                         "'%[fx:t*30]' -set delay 8 -loop 0 " + d + "im_plasma_spin.gif'"},
      {"im_moving_box", MovingBox(d)},
      {"gifsicle_unoptimized", "gifsicle -U --colors 64 " + d + "ffmpeg_testsrc.gif' -o " + d + "gifsicle_unoptimized.gif'"},
  };

  std::printf("%-22s %10s %10s %10s %10s %9s %9s %9s %9s %9s\n", "file", "input", "ours", "-O2", "-O3", "size/O2",
              "size/O3", "ours s", "O2 s", "O3 s");
  double sumOurs = 0, sumO2 = 0, sumO3 = 0, tOurs = 0, tO2 = 0, tO3 = 0;
  int encoding = 1;
  for (const Source& s : sources) {
    if (!Run(s.command)) {
      std::printf("%-22s set-up failed, skipped\n", s.name);
      continue;
    }
    const fs::path in = dir / (std::string(s.name) + ".gif");
    const fs::path ours = dir / (std::string(s.name) + ".ours.gif");
    const fs::path o2 = dir / (std::string(s.name) + ".O2.gif");
    const fs::path o3 = dir / (std::string(s.name) + ".O3.gif");
    double best = 1e9, bestO2 = 1e9, bestO3 = 1e9;
    for (int r = 0; r < repeats; ++r) {
      auto start = Clock::now();
      gif::TGIFImage image;
      image.LoadFromFile(in.string());
      if (TablesFitOne(image)) gif::OptimizeColorMaps(image);
      gif::Optimize(image, gif::ooAll);
      encoding = std::max(encoding, image.Images().EncodingThreads());
      image.SaveToFile(ours.string());
      best = std::min(best, Seconds(start));
      start = Clock::now();
      Run("gifsicle -O2 --no-warnings '" + in.string() + "' -o '" + o2.string() + "'");
      bestO2 = std::min(bestO2, Seconds(start));
      start = Clock::now();
      Run("gifsicle -O3 --no-warnings '" + in.string() + "' -o '" + o3.string() + "'");
      bestO3 = std::min(bestO3, Seconds(start));
    }
    const bool same = Run("gifdiff -q -w '" + in.string() + "' '" + ours.string() + "' >/dev/null");
    const double a = double(Size(ours)), b = double(Size(o2)), c = double(Size(o3));
    std::printf("%-22s %10ju %10.0f %10.0f %10.0f %9.3f %9.3f %9.4f %9.4f %9.4f%s\n", s.name, Size(in), a, b, c,
                a / b, a / c, best, bestO2, bestO3, same ? "" : "  (gifdiff: DIFFERS)");
    sumOurs += a, sumO2 += b, sumO3 += c, tOurs += best, tO2 += bestO2, tO3 += bestO3;
  }
  if (sumO2 > 0)
    std::printf("total size ratio ours/-O2 %.3f, ours/-O3 %.3f; time ratio ours/-O2 %.2f, ours/-O3 %.2f\n",
                sumOurs / sumO2, sumOurs / sumO3, tOurs / tO2, tOurs / tO3);
  bench::PrintMachine(("ours: the load decoding on " + std::to_string(gif::TGIFLoadOptions{}.EffectiveDecodeThreads()) +
                       ", the optimiser on 1, the save encoding on up to " + std::to_string(encoding) +
                       "; gifsicle 1")
                          .c_str());
  fs::remove_all(dir);
  return 0;
}
