// Load and save of a 200-frame 640 x 480 animation by the GIF library and by
// giflib in the same run, then whole-file loads (the file read in, walked and
// decoded) of that animation and of two noisy animations made by FFmpeg (200
// frames of 640 x 480, and 300 frames of 800 x 600 as the window benchmark makes
// them), each with the ratio giflib time / ours: above 1 means we are faster.
// Given GIF files as arguments it loads each of them instead. Every load is timed
// on as many threads as the library takes and on one, and each file says whether
// every composited frame agrees with giflib's. The target: whole-file loads of
// files of 50 frames or more at least 8 times giflib's.
#include <gif_lib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/common/machine.h"
#include "gif/gifimage.h"

using namespace gif;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kWidth = 640, kHeight = 480, kFrames = 200;

void PrintMachine() { bench::PrintMachine(TGIFLoadOptions{}.EffectiveDecodeThreads()); }

template <typename Work>
double Best(Work&& work, int runs = 3) {
  double t = 1e9;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    t = std::min(t, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return t;
}

constexpr double kTargetRatio = 8;
constexpr int kTargetFrames = 50;

// Our whole-file load of `path` on the library's threads and on one, best of five each.
struct OurLoadTimes {
  double Threaded, OneThread;
};
OurLoadTimes TimeOurLoads(const std::string& path) {
  auto load = [&path] {
    TGIFImage image;
    try {
      image.LoadFromFile(path);
    } catch (const GIFException&) {
    }
  };
  OurLoadTimes t{};
  t.Threaded = Best(load, 5);
  GIFDefaults().DecodeThreads = 1;
  t.OneThread = Best(load, 5);
  GIFDefaults().DecodeThreads = 0;
  return t;
}


// A frame as both decoders describe it, for one compositor.
struct PlainFrame {
  int left, top, width, height;
  const std::uint8_t* pixels;
  std::vector<Rgb> colors;
  int transparent;
  int disposal;
};

std::vector<Bytes> CompositeAll(int w, int h, const std::vector<PlainFrame>& frames) {
  std::vector<Bytes> out;
  Bytes screen(static_cast<std::size_t>(w) * h * 4, 0);
  for (const PlainFrame& f : frames) {
    const Bytes before = f.disposal == 3 ? screen : Bytes();
    for (int y = 0; y < f.height && f.top + y < h; ++y)
      for (int x = 0; x < f.width && f.left + x < w; ++x) {
        const int p = f.pixels[static_cast<std::size_t>(y) * f.width + x];
        if (p == f.transparent) continue;
        const Rgb c = p < static_cast<int>(f.colors.size()) ? f.colors[static_cast<std::size_t>(p)] : Rgb{};
        std::uint8_t* d = &screen[(static_cast<std::size_t>(f.top + y) * w + f.left + x) * 4];
        d[0] = c.red, d[1] = c.green, d[2] = c.blue, d[3] = 255;
      }
    out.push_back(screen);
    if (f.disposal == 2) {
      for (int y = f.top; y < std::min(h, f.top + f.height); ++y)
        for (int x = f.left; x < std::min(w, f.left + f.width); ++x)
          std::fill_n(&screen[(static_cast<std::size_t>(y) * w + x) * 4], 4, 0);
    } else if (f.disposal == 3) {
      screen = before;
    }
  }
  return out;
}

std::vector<PlainFrame> OurFrames(TGIFImage& image) {
  std::vector<PlainFrame> frames;
  for (int i = 0; i < image.Images().GetCount(); ++i) {
    TGIFSubImage* f = image.Images().GetFrame(i);
    if (f->IsEmpty()) continue;
    PlainFrame p{f->GetLeft(), f->GetTop(), f->GetWidth(), f->GetHeight(), f->Data(), {}, -1, 0};
    const TGIFColorMap& map = f->GetActiveColorMap();
    for (int k = 0; k < map.GetCount(); ++k) p.colors.push_back(Rgb{map.Entry(k).Red, map.Entry(k).Green, map.Entry(k).Blue});
    if (TGIFGraphicControlExtension* gce = f->GraphicControlExtension()) {
      if (gce->GetTransparent()) p.transparent = gce->GetTransparentColorIndex();
      p.disposal = gce->GetDisposal();
    }
    frames.push_back(std::move(p));
  }
  return frames;
}

std::vector<PlainFrame> GiflibFrames(GifFileType* gif) {
  std::vector<PlainFrame> frames;
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& s = gif->SavedImages[i];
    PlainFrame p{s.ImageDesc.Left, s.ImageDesc.Top, s.ImageDesc.Width, s.ImageDesc.Height, s.RasterBits, {}, -1, 0};
    const ColorMapObject* map = s.ImageDesc.ColorMap ? s.ImageDesc.ColorMap : gif->SColorMap;
    if (map)
      for (int k = 0; k < map->ColorCount; ++k)
        p.colors.push_back(Rgb{map->Colors[k].Red, map->Colors[k].Green, map->Colors[k].Blue});
    GraphicsControlBlock gcb;
    if (DGifSavedExtensionToGCB(gif, i, &gcb) == GIF_OK) {
      p.transparent = gcb.TransparentColor;
      p.disposal = gcb.DisposalMode;
    }
    frames.push_back(std::move(p));
  }
  return frames;
}

int WriteMemory(GifFileType* gif, const GifByteType* buffer, int count) {
  auto* out = static_cast<Bytes*>(gif->UserData);
  out->insert(out->end(), buffer, buffer + count);
  return count;
}

// giflib's whole-file load, as a program opens a file with it.
GifFileType* GiflibLoad(const std::string& path) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  if (!gif) return nullptr;
  if (DGifSlurp(gif) != GIF_OK && gif->ImageCount == 0) {
    DGifCloseFile(gif, &error);
    return nullptr;
  }
  return gif;
}

// The same animation written by giflib: global table, a delay per frame.
Bytes GiflibSave(const std::vector<Bytes>& frames, const std::vector<Rgb>& palette) {
  Bytes out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, WriteMemory, &error);
  GifColorType colors[256];
  for (int i = 0; i < 256; ++i) colors[i] = GifColorType{palette[static_cast<std::size_t>(i)].red, palette[static_cast<std::size_t>(i)].green, palette[static_cast<std::size_t>(i)].blue};
  ColorMapObject* map = GifMakeMapObject(256, colors);
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, kWidth, kHeight, 8, 0, map);
  for (const Bytes& pixels : frames) {
    GraphicsControlBlock gcb{DISPOSE_DO_NOT, false, 4, NO_TRANSPARENT_COLOR};
    GifByteType ext[4];
    const size_t n = EGifGCBToExtension(&gcb, ext);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(n), ext);
    EGifPutImageDesc(gif, 0, 0, kWidth, kHeight, false, nullptr);
    for (int y = 0; y < kHeight; ++y)
      EGifPutLine(gif, const_cast<GifPixelType*>(pixels.data() + static_cast<std::size_t>(y) * kWidth), kWidth);
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return out;
}

// Frames of flat areas, gradients and a noisy strip, moving over time.
std::vector<Bytes> MakeFrames() {
  std::vector<Bytes> frames;
  std::mt19937 random(7);
  for (int f = 0; f < kFrames; ++f) {
    Bytes pixels(static_cast<std::size_t>(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        std::uint8_t v;
        if (y < 160)
          v = static_cast<std::uint8_t>(((x + f * 3) / 40 + y / 40) % 16);
        else if (y < 320)
          v = static_cast<std::uint8_t>((x + y + f) & 0xFF);
        else
          v = static_cast<std::uint8_t>(random() & 0xFF);
        pixels[static_cast<std::size_t>(y) * kWidth + x] = v;
      }
    frames.push_back(std::move(pixels));
  }
  return frames;
}

// Writes the synthetic animation to `path` after timing our save and giflib's.
bool Synthetic(const std::string& path) {
  const std::vector<Bytes> frames = MakeFrames();
  std::vector<Rgb> palette(256);
  for (int i = 0; i < 256; ++i) palette[static_cast<std::size_t>(i)] = Rgb{std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i * 7)};

  TGIFImage image;
  for (const Rgb& c : palette) image.GetGlobalColorMap().Add(RgbToColor(c));
  for (const Bytes& pixels : frames) {
    auto* frame = new TGIFSubImage(&image);
    image.Images().Add(frame);
    frame->SetBounds(0, 0, kWidth, kHeight);
    std::memcpy(frame->Data(), pixels.data(), pixels.size());
    auto* gce = new TGIFGraphicControlExtension(frame);
    frame->Extensions().Add(gce);
    gce->SetDelay(4);
    gce->SetDisposal(dmNoDisposal);
  }

  auto best = [](auto&& work) { return Best(work); };
  Bytes ours, theirs;
  const double saveOurs = best([&] { ours = image.SaveToMemory(); });
  const double saveGiflib = best([&] { theirs = GiflibSave(frames, palette); });
  std::printf("%d frames of %dx%d (best of 3)\n", kFrames, kWidth, kHeight);
  std::printf("save: ours %.3f s (%zu bytes), giflib %.3f s (%zu bytes), ratio %.2f\n", saveOurs, ours.size(),
              saveGiflib, theirs.size(), saveGiflib / saveOurs);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(ours.data()), static_cast<std::streamsize>(ours.size()));
  return static_cast<bool>(out.flush());
}

// Whole-file loads of each file, with the target for files of kTargetFrames frames or more.
// Returns whether every frame agreed and every target was met.
bool Files(const std::vector<std::string>& paths) {
  bool allAgree = true, allMet = true;
  std::printf("whole-file load (best of 5 ours, 3 giflib; target for %d frames or more: ratio %.0f)\n", kTargetFrames,
              kTargetRatio);
  for (const std::string& path : paths) {
    TGIFImage image;
    std::string ourError;
    try {
      image.LoadFromFile(path);
    } catch (const GIFException& e) {
      ourError = e.what();
    }
    const OurLoadTimes ours = TimeOurLoads(path);
    const double theirs = Best([&path] {
      GifFileType* gif = GiflibLoad(path);
      int error = 0;
      if (gif) DGifCloseFile(gif, &error);
    });
    GifFileType* gif = GiflibLoad(path);
    std::string verdict;
    if (!ourError.empty() || !gif) {
      verdict = std::string("ours: ") + (ourError.empty() ? "loaded" : ourError) + ", giflib: " + (gif ? "loaded" : "failed");
    } else {
      const bool same = CompositeAll(image.GetWidth(), image.GetHeight(), OurFrames(image)) ==
                        CompositeAll(gif->SWidth, gif->SHeight, GiflibFrames(gif));
      verdict = same ? "all frames agree" : "FRAMES DIFFER";
      allAgree = allAgree && same;
    }
    const int count = image.Images().GetCount();
    const double ratio = theirs / ours.Threaded;
    std::string target = "no target under " + std::to_string(kTargetFrames) + " frames";
    if (count >= kTargetFrames) {
      target = ratio >= kTargetRatio ? "met" : "NOT met";
      allMet = allMet && ratio >= kTargetRatio;
    }
    std::printf("%s: %d frames, ours %.4f s, giflib %.4f s, ratio %.2f (one thread %.4f s, ratio %.2f), %s; %s\n",
                path.c_str(), count, ours.Threaded, theirs, ratio, ours.OneThread, theirs / ours.OneThread,
                verdict.c_str(), target.c_str());
    if (gif) {
      int error = 0;
      DGifCloseFile(gif, &error);
    }
  }
  PrintMachine();
  std::printf("every file of %d frames or more loads at least %.0f times as fast as giflib: %s\n", kTargetFrames,
              kTargetRatio, allMet ? "met" : "NOT met");
  return allAgree && allMet;
}

// FFmpeg's own output, as screen recordings and clips come out: `source` is a lavfi source and
// `filter` what turns it into palette frames.
bool MakeWithFfmpeg(const std::string& path, const std::string& source, const std::string& filter) {
  const std::string command = "ffmpeg -nostdin -v error -y -f lavfi -i '" + source + "' " + filter + " '" + path + "'";
  return std::system(command.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  PrintMachine();
  if (argc > 1) return Files(std::vector<std::string>(argv + 1, argv + argc)) ? 0 : 1;
  char folder[] = "/tmp/bench_gif_load_XXXXXX";
  if (!mkdtemp(folder)) return 2;
  const std::string dir = folder;
  std::vector<std::string> files;
  if (Synthetic(dir + "/synthetic.gif")) files.push_back(dir + "/synthetic.gif");
  // Noise in 256 fixed colours, 200 frames of 640 x 480.
  if (MakeWithFfmpeg(dir + "/ffmpeg-noise.gif", "testsrc=size=640x480:rate=25",
                     "-vf noise=alls=30:allf=t -frames:v 200 -pix_fmt rgb8"))
    files.push_back(dir + "/ffmpeg-noise.gif");
  else
    std::printf("ffmpeg could not make the noisy animation\n");
  // What the window benchmark opens: noise over a test pattern with a full-statistics palette,
  // 300 frames of 800 x 600.
  if (MakeWithFfmpeg(dir + "/ffmpeg-noise-800x600.gif", "testsrc2=size=800x600:rate=25,trim=end_frame=300,noise=alls=25:allf=t",
                     "-filter_complex 'split[a][b];[a]palettegen=stats_mode=full[p];[b][p]paletteuse=dither=sierra2_4a'"))
    files.push_back(dir + "/ffmpeg-noise-800x600.gif");
  else
    std::printf("ffmpeg could not make the 800x600 animation\n");
  const bool ok = Files(files);
  for (const std::string& f : files) std::remove(f.c_str());
  rmdir(dir.c_str());
  return ok ? 0 : 1;
}
