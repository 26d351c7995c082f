#include "platform/imaging/imaging_control.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#ifdef MOVINTA_TEST_OPENMP
#include <omp.h>
#endif

namespace fs = std::filesystem;
using movinta::platform::ImagingControl;
namespace img = movinta::platform;

namespace {

constexpr const char* kConvert = "/usr/bin/convert-im6.q16";

class ImagingControlTest : public ::testing::Test {
protected:
  void SetUp() override {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/imaging-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(Path(name), std::ios::binary) << bytes;
  }

  // A 7x5 picture with 35 distinct opaque colours, as a binary PPM.
  std::string WriteSource() const {
    std::string ppm = "P6\n7 5\n255\n";
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x) {
        ppm += static_cast<char>(x * 37);
        ppm += static_cast<char>(y * 53);
        ppm += static_cast<char>(255 - (x + y) * 19);
      }
    Write("source.ppm", ppm);
    return Path("source.ppm");
  }

  static bool Run(const std::string& command) { return std::system((command + " 2>/dev/null").c_str()) == 0; }

  // ImageMagick's own decoding of a file, as 0xAARRGGBB words.
  std::vector<std::uint32_t> PeerPixels(const std::string& file) const {
    const std::string raw = Path("peer.rgba");
    if (!Run(std::string(kConvert) + " '" + file + "[0]' -depth 8 'rgba:" + raw + "'")) return {};
    std::ifstream in(raw, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<std::uint32_t> out(bytes.size() / 4);
    for (std::size_t i = 0; i < out.size(); ++i)
      out[i] = (std::uint32_t{bytes[i * 4 + 3]} << 24) | (std::uint32_t{bytes[i * 4]} << 16) |
               (std::uint32_t{bytes[i * 4 + 1]} << 8) | bytes[i * 4 + 2];
    return out;
  }

  static int MaxChannelDifference(std::uint32_t a, std::uint32_t b) {
    int worst = 0;
    for (int shift = 0; shift < 32; shift += 8)
      worst = std::max(worst, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
    return worst;
  }

  fs::path dir_;
};

TEST(ImagingFormats, ReadableExtensionsFollowTheEditorsTable) {
  struct Case {
    const char* extension;
    bool readable;
  };
  const Case cases[] = {{"png", true}, {".PNG", true}, {"jpg", true}, {"jif", true},  {"bmp", true},
                        {"tif", true}, {"tga", true},  {"pcx", true}, {"dcx", true},  {"gif", true},
                        {"ico", true}, {"ppm", true},  {"ljp", false}, {"pic", false}, {"avi", false},
                        {"jpeg", true}, {"tiff", true},  {"*.*", false}, {"", false},  {"xyz", false}};
  for (const Case& c : cases) EXPECT_EQ(img::ImagingCanReadExtension(c.extension), c.readable) << c.extension;

  const std::vector<std::string> unreadable = img::ImagingUnreadableExtensions();
  for (const char* ext : {"ljp", "pic", "avi"})
    EXPECT_NE(std::find(unreadable.begin(), unreadable.end(), ext), unreadable.end()) << ext;
  for (const char* ext : {"png", "jpg", "bmp", "gif", "tif"})
    EXPECT_EQ(std::find(unreadable.begin(), unreadable.end(), ext), unreadable.end()) << ext;
}

// Every format a peer can write decodes to the same size and pixels as the peer reads back.
TEST_F(ImagingControlTest, DecodesFilesWrittenByAPeerLikeThePeer) {
  if (!fs::exists(kConvert)) GTEST_SKIP() << "ImageMagick is not installed";
  const std::string source = WriteSource();
  struct Case {
    const char* name;
    const char* peerFormat;  // named for the peer where the file name says otherwise
    int tolerance;
  };
  const Case cases[] = {
      {"a.png", "", 0}, {"a.bmp", "", 0}, {"a.tif", "", 0}, {"a.pcx", "", 0},
      {"a.ppm", "", 0}, {"a.pgm", "", 0}, {"a.pbm", "", 0}, {"a.dcx", "", 0},
      {"a.ico", "", 0}, {"a.gif", "", 0}, {"a.jpg", "", 3}, {"a.jif", "jpeg:", 3},
      {"png-named.bmp", "png:", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string target = std::string(c.peerFormat) + Path(c.name);
    ASSERT_TRUE(Run(std::string(kConvert) + " '" + source + "' '" + target + "'"));
    const std::vector<std::uint32_t> expected = PeerPixels(target);
    ASSERT_EQ(expected.size(), 35u);

    ImagingControl control;
    ASSERT_EQ(control.Load(Path(c.name)), img::kImagingOk);
    EXPECT_EQ(control.ErrorCode(), img::kImagingOk);
    EXPECT_EQ(control.Width(), 7);
    EXPECT_EQ(control.Height(), 5);
    const std::vector<std::uint32_t> pixels = control.Pixels();
    ASSERT_EQ(pixels.size(), expected.size());
    for (std::size_t i = 0; i < pixels.size(); ++i)
      ASSERT_LE(MaxChannelDifference(pixels[i], expected[i]), c.tolerance)
          << "pixel " << i << std::hex << " got " << pixels[i] << " want " << expected[i];
  }
}

// Targa files are built here: the peer's writer flags bottom-up rows but stores them top-down.
TEST_F(ImagingControlTest, ReadsTargaRowsFromEitherOrigin) {
  // 1x2 true-colour image, rows red then green in stored order.
  const std::string rows("\x00\x00\xFF\x00\xFF\x00", 6);
  struct Case {
    char descriptor;
    std::uint32_t top, bottom;
  };
  const Case cases[] = {{'\x00', 0xFF00FF00u, 0xFFFF0000u}, {'\x20', 0xFFFF0000u, 0xFF00FF00u}};
  for (const Case& c : cases) {
    std::string tga(18, '\0');
    tga[2] = 2;    // uncompressed true colour
    tga[12] = 1;   // width
    tga[14] = 2;   // height
    tga[16] = 24;  // bits per pixel
    tga[17] = c.descriptor;
    Write("rows.tga", tga + rows);
    ImagingControl control;
    ASSERT_EQ(control.Load(Path("rows.tga")), img::kImagingOk);
    EXPECT_EQ(control.Pixels(), (std::vector<std::uint32_t>{c.top, c.bottom})) << int(c.descriptor);
  }
}

// Utah run-length files keep their first row at the bottom.
TEST_F(ImagingControlTest, ReadsUtahRunLengthRowsBottomUp) {
  std::string rle("\x52\xCC\0\0\0\0\x02\0\x02\0\x02\x03\x08\0\0\0", 16);  // 2x2, 3 channels
  const unsigned char rows[2][2][3] = {{{255, 0, 0}, {0, 255, 0}}, {{0, 0, 255}, {255, 255, 255}}};
  for (int row = 0; row < 2; ++row) {
    for (int channel = 0; channel < 3; ++channel) {
      rle += {'\x02', char(channel), '\x05', '\x01'};  // set channel, two literal bytes
      rle += {char(rows[row][0][channel]), char(rows[row][1][channel])};
    }
    if (row == 0) rle += {'\x01', '\x01'};  // next line
  }
  rle += {'\x07', '\0'};
  Write("rows.rle", rle);
  ImagingControl control;
  ASSERT_EQ(control.Load(Path("rows.rle")), img::kImagingOk);
  EXPECT_EQ(control.Pixels(), (std::vector<std::uint32_t>{0xFF0000FF, 0xFFFFFFFF, 0xFFFF0000, 0xFF00FF00}));
}

// A placeable metafile drawing one red rectangle over its whole 100 x 50 unit frame at 96 units
// an inch; the reader renders it at 72 dots an inch.
TEST_F(ImagingControlTest, RendersAWindowsMetafile) {
  std::string wmf;
  auto u16 = [&](unsigned v) { wmf += char(v & 0xFF), wmf += char(v >> 8); };
  auto u32 = [&](std::uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
  u32(0x9AC6CDD7);
  for (unsigned v : {0u, 0u, 0u, 100u, 50u, 96u, 0u, 0u}) u16(v);
  unsigned checksum = 0;
  for (int i = 0; i < 10; ++i) checksum ^= std::uint8_t(wmf[2 * i]) | std::uint8_t(wmf[2 * i + 1]) << 8;
  u16(checksum);
  const std::size_t header = wmf.size();
  for (unsigned v : {1u, 9u, 0x300u}) u16(v);
  u32(0);  // total size in words, patched below
  u16(1);
  u32(7);
  u16(0);
  auto record = [&](unsigned function, std::initializer_list<unsigned> params) {
    u32(3 + unsigned(params.size()));
    u16(function);
    for (unsigned p : params) u16(p);
  };
  record(0x020B, {0, 0});              // window origin
  record(0x020C, {50, 100});           // window extent
  record(0x02FC, {0, 0x00FF, 0, 0});   // solid red brush
  record(0x012D, {0});                 // select it
  record(0x041B, {50, 100, 0, 0});     // rectangle
  record(0x0000, {});                  // end
  const std::uint32_t words = std::uint32_t((wmf.size() - header) / 2);
  for (int i = 0; i < 4; ++i) wmf[header + 6 + i] = char(words >> (8 * i));
  Write("drawing.wmf", wmf);

  ImagingControl control;
  ASSERT_EQ(control.Load(Path("drawing.wmf")), img::kImagingOk);
  EXPECT_EQ(control.Width(), 75);
  EXPECT_EQ(control.Height(), 38);
  const std::vector<std::uint32_t> pixels = control.Pixels();
  EXPECT_EQ(pixels[19 * 75 + 37], 0xFFFF0000u);
}

TEST_F(ImagingControlTest, KeepsTransparencyOfAnAlphaImage) {
  // 2x1 PAM: an opaque red pixel and a fully transparent one.
  Write("alpha.pam", std::string("P7\nWIDTH 2\nHEIGHT 1\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n") +
                         std::string("\xFF\x00\x00\xFF\x00\x00\xFF\x00", 8));
  if (!fs::exists(kConvert)) GTEST_SKIP() << "ImageMagick is not installed";
  ASSERT_TRUE(Run(std::string(kConvert) + " '" + Path("alpha.pam") + "' '" + Path("alpha.png") + "'"));
  ImagingControl control;
  ASSERT_EQ(control.Load(Path("alpha.png")), img::kImagingOk);
  const std::vector<std::uint32_t> pixels = control.Pixels();
  ASSERT_EQ(pixels.size(), 2u);
  EXPECT_EQ(pixels[0], 0xFFFF0000u);
  EXPECT_EQ(pixels[1] >> 24, 0u);
  EXPECT_TRUE(control.HasAlpha());
  ASSERT_EQ(control.Load(WriteSource()), img::kImagingOk);
  EXPECT_FALSE(control.HasAlpha());
}

TEST_F(ImagingControlTest, BadFilesGiveTheLoadErrorAndLeaveNoImage) {
  Write("garbage.png", std::string(300, '\x5A'));
  Write("empty.bmp", "");
  Write("short.png", std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0", 18));
  Write("script.png", "%!PS-Adobe-3.0\n/Times findfont 12 scalefont setfont\nshowpage\n");
  // A lossless (process 3) JPEG frame header, which the JPEG reader here does not decode.
  Write("lossless.jpg", std::string("\xFF\xD8\xFF\xC3\x00\x0B\x08\x00\x02\x00\x02\x01\x01\x11\x00\xFF\xD9", 17));
  Write("picture.pic", "PIC data");
  Write("huge.ppm", "P6\n60000 60000\n255\n\x01\x02\x03");
  Write("wide.ppm", "P6\n70000 1\n255\n\x01\x02\x03");
  Write("picture.ljp", std::string("\xFF\xD8\xFF\xC3", 4));
  fs::create_directory(Path("folder.png"));
  struct Case {
    std::string name;
    std::uint16_t error;
  };
  const Case cases[] = {
      {Path("missing.png"), img::kImagingFileNotFound},
      {Path("folder.png"), img::kImagingFileNotFound},
      {Path("garbage.png"), img::kImagingDecodeFailed},
      {Path("empty.bmp"), img::kImagingDecodeFailed},
      {Path("short.png"), img::kImagingDecodeFailed},
      {Path("lossless.jpg"), img::kImagingDecodeFailed},
      {Path("huge.ppm"), img::kImagingDecodeFailed},
      {Path("wide.ppm"), img::kImagingDecodeFailed},
      {Path("script.png"), img::kImagingUnsupportedFormat},
      {Path("picture.pic"), img::kImagingUnsupportedFormat},
      {Path("picture.ljp"), img::kImagingUnsupportedFormat},
      {Path("noextension"), img::kImagingUnsupportedFormat},
      // Names are files, never commands or format prefixes.
      {"|touch '" + Path("ran") + "';.png", img::kImagingFileNotFound},
      {"png:" + Path("garbage.png"), img::kImagingFileNotFound},
  };
  if (fs::exists(kConvert)) {
    ASSERT_TRUE(Run(std::string(kConvert) + " '" + WriteSource() + "' '" + Path("good.png") + "'"));
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ImagingControl control;
    if (fs::exists(Path("good.png"))) {
      ASSERT_EQ(control.Load(Path("good.png")), img::kImagingOk);
    }
    EXPECT_EQ(control.Load(c.name), c.error);
    EXPECT_EQ(control.ErrorCode(), c.error);
    EXPECT_FALSE(control.HasImage());
    EXPECT_EQ(control.Width(), 0);
    EXPECT_TRUE(control.Pixels().empty());
    EXPECT_TRUE(control.PackedDib().empty());
  }
  EXPECT_FALSE(fs::exists(Path("ran")));
}

// With a memory limit the size is read first: a picture past the limit is refused before any
// pixel is decoded (the file's pixels are not even there), one inside it loads.
TEST_F(ImagingControlTest, APicturePastTheMemoryLimitIsRefusedFromItsSize) {
  Write("large.ppm", "P6\n4000 4000\n255\n\x01\x02\x03");
  Write("small.ppm", std::string("P6\n2 1\n255\n\xFF\x00\x00\x00\xFF\x00", 17));
  ImagingControl control;
  control.SetMemoryLimit(64u << 20);
  EXPECT_EQ(control.Load(Path("large.ppm")), img::kImagingTooLarge);
  EXPECT_FALSE(control.HasImage());
  ASSERT_EQ(control.Load(Path("small.ppm")), img::kImagingOk);
  EXPECT_EQ(control.Width(), 2);
  control.SetMemoryLimit(0);
  EXPECT_EQ(control.Load(Path("large.ppm")), img::kImagingDecodeFailed);
}

TEST_F(ImagingControlTest, ResizesHandsOutADibAndClears) {
  if (!fs::exists(kConvert)) GTEST_SKIP() << "ImageMagick is not installed";
  // Names with brackets are plain names too.
  ASSERT_TRUE(Run(std::string(kConvert) + " '" + WriteSource() + "' '" + Path("frame[1].bmp") + "'"));
  ImagingControl control;
  EXPECT_EQ(control.Resize(3, 3), img::kImagingNoImage);
  ASSERT_EQ(control.Load(Path("frame[1].bmp")), img::kImagingOk);
  EXPECT_EQ(control.Resize(0, 4), img::kImagingBadSize);
  EXPECT_EQ(control.Width(), 7);

  const std::vector<std::uint32_t> pixels = control.Pixels();
  const std::vector<std::uint8_t> dib = control.PackedDib();
  ASSERT_EQ(dib.size(), 40u + 7 * 5 * 4);
  auto get32 = [&](std::size_t at) {
    return std::uint32_t{dib[at]} | std::uint32_t{dib[at + 1]} << 8 | std::uint32_t{dib[at + 2]} << 16 |
           std::uint32_t{dib[at + 3]} << 24;
  };
  EXPECT_EQ(get32(0), 40u);
  EXPECT_EQ(get32(4), 7u);
  EXPECT_EQ(get32(8), 5u);
  EXPECT_EQ(dib[12] | dib[13] << 8, 1);
  EXPECT_EQ(dib[14] | dib[15] << 8, 32);
  EXPECT_EQ(get32(16), 0u);  // uncompressed
  EXPECT_EQ(get32(32), 0u);  // no colour table
  // The first stored row is the bottom one, each pixel B, G, R, A.
  EXPECT_EQ(get32(40), pixels[4 * 7 + 0]);
  EXPECT_EQ(get32(40 + 6 * 4), pixels[4 * 7 + 6]);
  EXPECT_EQ(get32(40 + 4 * 7 * 4), pixels[0]);

  EXPECT_EQ(control.Resize(14, 2), img::kImagingOk);
  EXPECT_EQ(control.Width(), 14);
  EXPECT_EQ(control.Height(), 2);
  EXPECT_EQ(control.Pixels().size(), 28u);

  control.Clear();
  EXPECT_FALSE(control.HasImage());
  EXPECT_EQ(control.Height(), 0);
  EXPECT_EQ(control.Resize(3, 3), img::kImagingNoImage);
}

TEST_F(ImagingControlTest, AReducedLoadDecodesJpegSmallerButKeepsTheFileSize) {
  if (!fs::exists(kConvert)) GTEST_SKIP() << "ImageMagick is not installed";
  ASSERT_TRUE(Run(std::string(kConvert) + " -size 1600x900 gradient:red-blue '" + Path("photo.jpg") + "'"));
  ASSERT_TRUE(Run(std::string(kConvert) + " -size 1600x900 gradient:red-blue '" + Path("flat.png") + "'"));
  ImagingControl control;
  ASSERT_EQ(control.LoadReduced(Path("photo.jpg"), 100), img::kImagingOk);
  EXPECT_EQ(control.OriginalWidth(), 1600);
  EXPECT_EQ(control.OriginalHeight(), 900);
  // An eighth of the size still leaves at least 100 pixels a side.
  EXPECT_EQ(control.Width(), 200);
  EXPECT_EQ(control.Height(), 113);
  ASSERT_EQ(control.Resize(100, 56), img::kImagingOk);
  EXPECT_EQ(control.OriginalWidth(), 1600) << "a resize keeps the file's size";
  // A format without reduced decoding, and a plain load, decode whole.
  ASSERT_EQ(control.LoadReduced(Path("flat.png"), 100), img::kImagingOk);
  EXPECT_EQ(control.Width(), 1600);
  EXPECT_EQ(control.OriginalWidth(), 1600);
  ASSERT_EQ(control.Load(Path("photo.jpg")), img::kImagingOk);
  EXPECT_EQ(control.Width(), 1600);
  EXPECT_EQ(control.OriginalHeight(), 900);
  control.Clear();
  EXPECT_EQ(control.OriginalWidth(), 0);
}

TEST_F(ImagingControlTest, AReducedLoadKeepsJpegsSmallerThanTheSizeAsked) {
  if (!fs::exists(kConvert)) GTEST_SKIP() << "ImageMagick is not installed";
  struct Case {
    int Width, Height, MinSide;
  };
  for (const Case c : {Case{50, 30, 100}, Case{1, 400, 100}, Case{100, 100, 200}, Case{150, 150, 200},
                       Case{101, 101, 100}, Case{300, 20, 100}}) {
    SCOPED_TRACE(std::to_string(c.Width) + "x" + std::to_string(c.Height) + " at " + std::to_string(c.MinSide));
    const std::string file = Path("small.jpg");
    ASSERT_TRUE(Run(std::string(kConvert) + " -size " + std::to_string(c.Width) + "x" + std::to_string(c.Height) +
                    " gradient:red-blue '" + file + "'"));
    ImagingControl control;
    ASSERT_EQ(control.LoadReduced(file, c.MinSide), img::kImagingOk);
    EXPECT_EQ(control.Width(), c.Width);
    EXPECT_EQ(control.Height(), c.Height);
    EXPECT_EQ(control.OriginalWidth(), c.Width);
    EXPECT_EQ(control.OriginalHeight(), c.Height);
  }
}

#ifdef MOVINTA_TEST_OPENMP
// A control made on one thread may load and hand out its pixels on another (the editor decodes
// and copies a photo on workers): there too GraphicsMagick runs on the calling thread alone.
TEST_F(ImagingControlTest, AControlUsedOnAnotherThreadRunsTheLibraryOnThatThreadAlone) {
  const std::string source = WriteSource();
  ImagingControl control;
  struct Seen {
    int Before = 0, AfterLoad = 0, AfterPixels = 0;
  };
  auto on = [&](bool load, bool pixels) {
    Seen seen;
    std::thread([&] {
      seen.Before = omp_get_max_threads();
      if (load) {
        EXPECT_EQ(control.Load(source), img::kImagingOk);
      }
      seen.AfterLoad = omp_get_max_threads();
      if (pixels) {
        EXPECT_EQ(control.Pixels().size(), 35u);
      }
      seen.AfterPixels = omp_get_max_threads();
    }).join();
    return seen;
  };
  if (on(false, false).Before < 2) GTEST_SKIP() << "threads here run one OpenMP thread anyway";
  const Seen loading = on(true, false);
  EXPECT_EQ(loading.AfterLoad, 1);
  const Seen copying = on(false, true);
  EXPECT_GE(copying.Before, 2);
  EXPECT_EQ(copying.AfterPixels, 1);
}
#endif

}  // namespace
