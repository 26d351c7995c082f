// What we write, read by independent decoders: giflib, ImageMagick, FFmpeg
// and gifsicle's gifdiff must all see the frames we hold.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "gif/gifimage.h"
#include "tests/gif/compositor.h"
#include "tests/gif/fixture.h"

#ifdef MOVINTA_HAVE_GIFLIB
#include <gif_lib.h>
#endif

using namespace gif;
using namespace giftest;
namespace fs = std::filesystem;

namespace {

// 16 x 12: a full-screen first frame, an interlaced frame with its own table
// at an offset, and a frame with transparent holes over the first.
void BuildAnimation(TGIFImage& image) {
  for (std::uint32_t c : {0x000000u, 0xFFFFFFu, 0x0000FFu, 0x00FF00u, 0xFF0000u, 0x808080u}) image.GetGlobalColorMap().Add(c);
  auto add = [&](int l, int t, int w, int h) {
    auto* f = new TGIFSubImage(&image);
    image.Add(f);
    f->SetBounds(l, t, w, h);
    auto* gce = new TGIFGraphicControlExtension(f);
    f->Extensions().Add(gce);
    gce->SetDelay(10);
    gce->SetDisposal(dmNoDisposal);
    return f;
  };
  TGIFSubImage* a = add(0, 0, 16, 12);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 16; ++x) a->GetScanline(y)[x] = static_cast<std::uint8_t>((x / 3 + y) % 6);
  TGIFSubImage* b = add(3, 2, 8, 7);
  for (int i = 0; i < 12; ++i) b->ColorMap().Add(static_cast<TColor>(i * 0x151515));
  b->SetInterlaced(true);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 8; ++x) b->GetScanline(y)[x] = static_cast<std::uint8_t>((x * y) % 12);
  TGIFSubImage* c = add(0, 0, 16, 12);
  c->GraphicControlExtension()->SetTransparentColorIndex(5);
  c->GraphicControlExtension()->SetTransparent(true);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 16; ++x) c->GetScanline(y)[x] = static_cast<std::uint8_t>((x + y) % 3 == 0 ? 2 : 5);
  auto* loop = new TGIFAppExtNSLoop(a);
  a->Extensions().Insert(0, loop);
}

struct TempFile {
  fs::path path;
  explicit TempFile(const char* name) {
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/gifpeerXXXXXX";
    dir = mkdtemp(tmpl.data());
    path = dir / name;
  }
  ~TempFile() {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  void Write(const Bytes& bytes) const {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  fs::path dir;
};

// Runs a command and returns its standard output; exit status in status.
Bytes RunCommand(const std::string& command, int& status) {
  Bytes out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) {
    status = -1;
    return out;
  }
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.insert(out.end(), buffer, buffer + n);
  status = pclose(pipe);
  return out;
}

Bytes Composited(TGIFImage& image) {
  Bytes all;
  for (const Frame& f : Composite(image, true)) all.insert(all.end(), f.rgba.begin(), f.rgba.end());
  return all;
}

class GIFPeers : public testing::TestWithParam<TGIFCompression> {};

#ifdef MOVINTA_HAVE_GIFLIB
int ReadFromVector(GifFileType* gif, GifByteType* buffer, int count) {
  auto* source = static_cast<std::pair<const Bytes*, std::size_t>*>(gif->UserData);
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(count), source->first->size() - source->second);
  std::copy_n(source->first->data() + source->second, n, buffer);
  source->second += n;
  return static_cast<int>(n);
}
#endif

TEST_P(GIFPeers, GiflibDecodesTheSamePixels) {
#ifndef MOVINTA_HAVE_GIFLIB
  GTEST_SKIP() << "giflib not found";
#else
  TGIFImage image;
  BuildAnimation(image);
  image.Compression = GetParam();
  const Bytes saved = image.SaveToMemory();
  std::pair<const Bytes*, std::size_t> source{&saved, 0};
  int error = 0;
  GifFileType* gif = DGifOpen(&source, ReadFromVector, &error);
  ASSERT_NE(gif, nullptr) << GifErrorString(error);
  ASSERT_EQ(DGifSlurp(gif), GIF_OK) << GifErrorString(gif->Error);
  ASSERT_EQ(gif->ImageCount, image.Images().GetCount());
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& s = gif->SavedImages[i];
    TGIFSubImage* f = image.Images().GetFrame(i);
    EXPECT_EQ(s.ImageDesc.Left, f->GetLeft());
    EXPECT_EQ(s.ImageDesc.Width, f->GetWidth());
    EXPECT_EQ(bool(s.ImageDesc.Interlace), f->GetInterlaced());
    // DGifSlurp puts interlaced rows in place itself.
    const Bytes raster(s.RasterBits, s.RasterBits + f->DataSize());
    EXPECT_EQ(raster, Bytes(f->Data(), f->Data() + f->DataSize())) << "frame " << i;
  }
  DGifCloseFile(gif, &error);
#endif
}

TEST_P(GIFPeers, ImageMagickAndFFmpegShowTheSameFrames) {
  TGIFImage image;
  BuildAnimation(image);
  image.Compression = GetParam();
  TempFile file("anim.gif");
  file.Write(image.SaveToMemory());
  const Bytes expected = Composited(image);
  const std::string path = file.path.string();
  int status = 0;
  if (fs::exists("/usr/bin/convert-im6.q16")) {
    const Bytes im = RunCommand("/usr/bin/convert-im6.q16 '" + path + "' -coalesce -depth 8 rgba:- 2>/dev/null", status);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(im == expected) << "ImageMagick differs (" << im.size() << " bytes)";
  }
  if (fs::exists("/usr/bin/ffmpeg")) {
    const Bytes ff =
        RunCommand("/usr/bin/ffmpeg -nostdin -v error -i '" + path + "' -fps_mode passthrough -f rawvideo -pix_fmt rgba - 2>/dev/null", status);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(ff == expected) << "FFmpeg differs (" << ff.size() << " bytes)";
  }
}

TEST_P(GIFPeers, GifdiffFindsASavedCopyIdentical) {
  if (!fs::exists("/usr/bin/gifdiff")) GTEST_SKIP() << "gifdiff not installed";
  // The source written by hand with literal codes; the copy by our encoder.
  Bytes pixels(20 * 10);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>((i * 7 / 5) % 4);
  const Bytes source = Cat({Header(20, 10, {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00}), GraphicControl(0x05, 7, 3),
                            Image(0, 0, 20, 10, pixels), GraphicControl(0x04, 9, 0),
                            Image(4, 2, 5, 5, Bytes(25, 1), {0x102030, 0x405060}, true), Bytes{0x3B}});
  TGIFImage image;
  image.LoadFromMemory(source);
  image.Compression = GetParam();
  TempFile a("source.gif"), b("copy.gif");
  a.Write(source);
  b.Write(image.SaveToMemory());
  int status = 0;
  const Bytes report = RunCommand("/usr/bin/gifdiff '" + a.path.string() + "' '" + b.path.string() + "'", status);
  EXPECT_EQ(status, 0) << std::string(report.begin(), report.end());
}

INSTANTIATE_TEST_SUITE_P(Encoders, GIFPeers, testing::Values(gcLZW, gcRLE),
                         [](const testing::TestParamInfo<TGIFCompression>& info) {
                           return std::string(info.param == gcLZW ? "LZW" : "RunLength");
                         });

}  // namespace
