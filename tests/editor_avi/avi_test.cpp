#include "editor/model/avi_file.h"
#include "editor/model/avi_transfer.h"
#include "editor/model/working_image.h"
#include "gif/gifimage.h"
#include "gif/render/compositor.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstring>

namespace movinta::editor {
namespace {

using gif::TGIFImage;
using gif::TGIFSubImage;

std::uint32_t U32(const QByteArray& b, qsizetype at) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(b.constData() + at);
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
std::uint16_t U16(const QByteArray& b, qsizetype at) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(b.constData() + at);
  return std::uint16_t(p[0] | p[1] << 8);
}

QByteArray RunTool(const QString& program, const QStringList& arguments, int* exitCode = nullptr) {
  QProcess process;
  process.start(program, arguments);
  process.closeWriteChannel();
  process.waitForFinished(60000);
  if (exitCode) *exitCode = process.exitCode();
  return process.readAllStandardOutput();
}

// A short test-pattern video made by FFmpeg: `seconds` at `rate` frames per second, stored raw
// in the given pixel format.
void MakeVideo(const QString& file, int size, int rate, const QString& seconds, const QString& pixelFormat) {
  int code = -1;
  RunTool(QStringLiteral("ffmpeg"),
          {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
           QStringLiteral("testsrc=size=%1x%1:rate=%2:duration=%3").arg(size).arg(rate).arg(seconds),
           QStringLiteral("-c:v"), QStringLiteral("rawvideo"), QStringLiteral("-pix_fmt"), pixelFormat,
           QStringLiteral("-y"), file},
          &code);
  ASSERT_EQ(code, 0);
}

// Records what the import and export report and cancels at a chosen step.
class RecordingProgress : public IAviProgress {
public:
  void StepText(const QString& text) override { Texts << text; }
  void SetMaximum(int maximum) override { Maximum = maximum; }
  void SetPosition(int position) override { Position = position; }
  bool Cancelled() override { return ++polls > CancelAfter; }
  QStringList Texts;
  int Maximum = -1;
  int Position = -1;
  int CancelAfter = 1 << 30;

private:
  int polls = 0;
};

// A small animation as other programs write them: a global table and frames with their own
// tables, a frame at an offset with a transparent colour and disposal 2, an empty frame, a loop
// block, and an odd width so that every row of the video is padded.
std::unique_ptr<TGIFImage> MakeUserAnimation() {
  auto image = std::make_unique<TGIFImage>();
  image->Header().SetWidth(7);
  image->Header().SetHeight(5);
  for (gif::TColor c : {0x000000u, 0xFFFFFFu, 0x0000FFu, 0x00FF00u}) image->GetGlobalColorMap().Add(c);

  auto* first = new TGIFSubImage(image.get());
  first->SetBounds(0, 0, 7, 5);
  for (std::size_t p = 0; p < first->DataSize(); ++p) first->Data()[p] = static_cast<std::uint8_t>(p % 4);
  image->Add(first);
  SetFrameDelay(*first, 10);
  AddLoopExtension(*image, 0, 3);

  auto* sprite = new TGIFSubImage(image.get());
  sprite->SetBounds(2, 1, 3, 2);
  for (gif::TColor c : {0x123456u, 0xABCDEFu, 0x808080u}) sprite->ColorMap().Add(c);
  const std::uint8_t pixels[] = {0, 1, 2, 2, 1, 0};
  std::memcpy(sprite->Data(), pixels, sizeof pixels);
  image->Add(sprite);
  SetFrameDelay(*sprite, 20);
  sprite->GraphicControlExtension()->SetTransparentColorIndex(2);
  sprite->GraphicControlExtension()->SetTransparent(true);
  sprite->GraphicControlExtension()->SetDisposal(gif::dmBackground);

  auto* empty = new TGIFSubImage(image.get());
  image->Add(empty);

  auto* last = new TGIFSubImage(image.get());
  last->SetBounds(1, 1, 2, 2);
  for (gif::TColor c : {0x00FFFFu, 0xFF00FFu}) last->ColorMap().Add(c);
  const std::uint8_t lastPixels[] = {0, 1, 1, 0};
  std::memcpy(last->Data(), lastPixels, sizeof lastPixels);
  image->Add(last);
  SetFrameDelay(*last, 30);
  return image;
}

class AviTest : public ::testing::Test {
protected:
  QString Path(const QString& name) const { return dir_.filePath(name); }
  QTemporaryDir dir_;
};

TEST(AviDelays, ImportDelayRoundsHalvesAwayAndFallsBackWithoutARate) {
  struct Case {
    std::uint32_t scale, rate;
    int delay;
  } cases[] = {{1, 15, 7}, {1, 25, 4}, {250, 0, 2}, {1, 100, 1}, {3, 200, 2}, {1, 1000, 0}, {0, 0, 0}};
  for (const Case& c : cases) EXPECT_EQ(AviImportDelay(c.scale, c.rate), c.delay) << c.scale << "/" << c.rate;
}

TEST(AviDelays, ExportDelayWalksUntilALocalTableAndADelay) {
  auto image = MakeUserAnimation();
  // Frame 1 has the first local table and delay 20: the walk stops there.
  EXPECT_EQ(AviExportDelay(*image), 20u);
  auto bare = std::make_unique<TGIFImage>();
  bare->GetGlobalColorMap().Add(0);
  auto* f = new TGIFSubImage(bare.get());
  f->SetBounds(0, 0, 1, 1);
  bare->Add(f);
  EXPECT_EQ(AviExportDelay(*bare), 1u);  // no graphic control block at all
}

TEST(AviNames, ExportReplacesOtherExtensionsOnly) {
  EXPECT_EQ(AviExportName(QStringLiteral("/t/anim.gif")), QStringLiteral("/t/anim.avi"));
  EXPECT_EQ(AviExportName(QStringLiteral("/t/CLIP.AVI")), QStringLiteral("/t/CLIP.AVI"));
  EXPECT_EQ(AviExportName(QStringLiteral("/t/x")), QStringLiteral("/t/x.avi"));
}

TEST_F(AviTest, ExportWritesTheHeadersFieldByField) {
  auto image = MakeUserAnimation();
  RecordingProgress progress;
  const QString file = Path(QStringLiteral("anim.gif"));
  ASSERT_TRUE(ExportAvi(file, *image, 0xFFFFFF, progress));
  EXPECT_FALSE(QFile::exists(file));
  const QByteArray b = [&] {
    QFile f(Path(QStringLiteral("anim.avi")));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }();
  ASSERT_GT(b.size(), 300);
  EXPECT_EQ(b.left(4), "RIFF");
  EXPECT_EQ(U32(b, 4), std::uint32_t(b.size() - 8));
  EXPECT_EQ(b.mid(8, 4), "AVI ");
  const qsizetype strh = b.indexOf("strh");
  ASSERT_GT(strh, 0);
  EXPECT_EQ(U32(b, strh + 4), 56u);
  EXPECT_EQ(b.mid(strh + 8, 4), "vids");
  EXPECT_EQ(U32(b, strh + 12), 0u);         // no handler: uncompressed
  EXPECT_EQ(U32(b, strh + 28), 20u);        // scale: the export delay
  EXPECT_EQ(U32(b, strh + 32), 65u);        // rate
  EXPECT_EQ(U32(b, strh + 40), 4u);         // length: every frame keeps its position
  const std::uint32_t rowBytes = 8;         // 7 pixels padded to 4 bytes
  EXPECT_EQ(U32(b, strh + 44), rowBytes * 5);  // suggested buffer: one frame
  EXPECT_EQ(U16(b, strh + 56), 0);  // the frame's rectangle: 0, 0, width, height
  EXPECT_EQ(U16(b, strh + 58), 0);
  EXPECT_EQ(U16(b, strh + 60), 7);
  EXPECT_EQ(U16(b, strh + 62), 5);

  const qsizetype strf = b.indexOf("strf");
  ASSERT_GT(strf, 0);
  const std::uint32_t colours = U32(b, strf + 8 + 32);
  EXPECT_EQ(U32(b, strf + 4), 40 + 4 * colours);
  EXPECT_EQ(U32(b, strf + 8), 40u);
  EXPECT_EQ(U32(b, strf + 12), 7u);
  EXPECT_EQ(U32(b, strf + 16), 5u);
  EXPECT_EQ(U16(b, strf + 22), 8);
  EXPECT_EQ(U32(b, strf + 24), 0u);
  EXPECT_GE(colours, 6u);
  EXPECT_LE(colours, 256u);
  for (std::uint32_t i = 0; i < colours; ++i) EXPECT_EQ(b[strf + 48 + 4 * i + 3], 0);  // RGBQUAD reserved

  const qsizetype idx1 = b.indexOf("idx1");
  ASSERT_GT(idx1, 0);
  ASSERT_EQ(U32(b, idx1 + 4), 4u * 16u);
  const qsizetype movi = b.indexOf("movi");
  const std::uint32_t flags[] = {0x10, 0x10, 0, 0x10};
  const std::uint32_t sizes[] = {rowBytes * 5, rowBytes * 5, 0, rowBytes * 5};
  for (int i = 0; i < 4; ++i) {
    const qsizetype entry = idx1 + 8 + 16 * i;
    EXPECT_EQ(b.mid(entry, 4), "00db");
    EXPECT_EQ(U32(b, entry + 4), flags[i]) << i;
    EXPECT_EQ(U32(b, entry + 12), sizes[i]) << i;
    // Offsets count from the 'movi' type and point at the chunk's own header.
    const qsizetype chunk = movi + U32(b, entry + 8);
    EXPECT_EQ(b.mid(chunk, 4), "00db") << i;
    EXPECT_EQ(U32(b, chunk + 4), sizes[i]) << i;
  }
}

// Every frame of our AVI as FFmpeg decodes it equals the frame as our player composes it.
TEST_F(AviTest, FFmpegReadsTheExportAsTheComposedFrames) {
  auto image = MakeUserAnimation();
  RecordingProgress progress;
  const QString file = Path(QStringLiteral("anim.avi"));
  ASSERT_TRUE(ExportAvi(file, *image, 0xFFFFFF, progress));

  const QString probe = QString::fromUtf8(RunTool(QStringLiteral("ffprobe"),
      {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"), QStringLiteral("v:0"),
       QStringLiteral("-show_entries"), QStringLiteral("stream=width,height,r_frame_rate,nb_frames"),
       QStringLiteral("-of"), QStringLiteral("default=nw=1"), file}));
  EXPECT_TRUE(probe.contains(QStringLiteral("width=7"))) << probe.toStdString();
  EXPECT_TRUE(probe.contains(QStringLiteral("height=5"))) << probe.toStdString();
  EXPECT_TRUE(probe.contains(QStringLiteral("r_frame_rate=13/4"))) << probe.toStdString();  // 65/20
  EXPECT_TRUE(probe.contains(QStringLiteral("nb_frames=4"))) << probe.toStdString();

  const QByteArray raw = RunTool(QStringLiteral("ffmpeg"),
      {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), file, QStringLiteral("-vsync"),
       QStringLiteral("passthrough"), QStringLiteral("-f"), QStringLiteral("rawvideo"), QStringLiteral("-pix_fmt"),
       QStringLiteral("bgr24"), QStringLiteral("-")});
  const qsizetype frameBytes = 7 * 5 * 3;
  ASSERT_EQ(raw.size() % frameBytes, 0);
  // The empty frame's zero-length sample carries no picture of its own.
  const int decoded = static_cast<int>(raw.size() / frameBytes);
  ASSERT_GE(decoded, 3);
  gif::TGIFCompositor screen(*image, 0xFFFFFF);
  int k = 0;
  for (int i = 0; i < image->Images().GetCount() && k < decoded; ++i) {
    if (image->Images().GetFrame(i)->IsEmpty()) continue;
    const gif::Bitmap& shown = screen.Render(i);
    for (int y = 0; y < 5; ++y)
      EXPECT_EQ(std::memcmp(raw.constData() + k * frameBytes + y * 21, shown.Scanline(y), 21), 0)
          << "frame " << i << " row " << y;
    ++k;
  }
  EXPECT_EQ(k, 3);
}

TEST_F(AviTest, ACancelledOrFailedExportLeavesTheTargetAlone) {
  auto image = MakeUserAnimation();
  const QString file = Path(QStringLiteral("keep.avi"));
  {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("mine");
  }
  RecordingProgress cancel;
  cancel.CancelAfter = 5;
  EXPECT_FALSE(ExportAvi(file, *image, 0xFFFFFF, cancel));
  QFile kept(file);
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  EXPECT_EQ(kept.readAll(), "mine");
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files).size(), 1);

  RecordingProgress progress;
  try {
    ExportAvi(Path(QStringLiteral("missing/folder/x.avi")), *image, 0xFFFFFF, progress);
    FAIL() << "no error";
  } catch (const AviError& e) {
    EXPECT_TRUE(QString::fromUtf8(e.what()).startsWith(QStringLiteral("Failed to create AVI file"))) << e.what();
  }
}

// AVIs as FFmpeg writes them, in the codecs users meet, import with the stream's delay.
TEST_F(AviTest, ImportsVideosOfEveryKindWithTheStreamDelay) {
  struct Case {
    const char* name;
    QStringList codec;
    const char* rate;
    int delay;
    bool exactColours;
  };
  const Case cases[] = {
      {"mjpeg.avi", {QStringLiteral("-c:v"), QStringLiteral("mjpeg"), QStringLiteral("-q:v"), QStringLiteral("3")},
       "15", 7, false},
      {"bgr24.avi", {QStringLiteral("-c:v"), QStringLiteral("rawvideo"), QStringLiteral("-pix_fmt"), QStringLiteral("bgr24")},
       "25", 4, false},
      {"pal8.avi", {QStringLiteral("-c:v"), QStringLiteral("rawvideo"), QStringLiteral("-pix_fmt"), QStringLiteral("pal8")},
       "25", 4, true},
  };
  for (const Case& c : cases) {
    const QString file = Path(QString::fromLatin1(c.name));
    QStringList args{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("lavfi"),
                     QStringLiteral("-i"),
                     QStringLiteral("testsrc=size=32x24:rate=%1:duration=0.4").arg(QString::fromLatin1(c.rate))};
    args << c.codec << QStringLiteral("-y") << file;
    int code = -1;
    RunTool(QStringLiteral("ffmpeg"), args, &code);
    ASSERT_EQ(code, 0) << c.name;
    ASSERT_LT(QFileInfo(file).size(), kAviImportLimit) << c.name;

    TGIFImage image;
    RecordingProgress progress;
    ASSERT_TRUE(ImportAvi(image, file, progress)) << c.name;
    const int expected = QString::fromLatin1(c.rate).toInt() * 4 / 10;
    ASSERT_EQ(image.Images().GetCount(), expected) << c.name;
    EXPECT_EQ(image.GetWidth(), 32);
    EXPECT_EQ(image.GetHeight(), 24);
    for (int i = 0; i < expected; ++i) EXPECT_EQ(GetFrameDelay(image, i), c.delay) << c.name << " frame " << i;
    EXPECT_EQ(GetLoopCount(image), 0) << c.name;  // forever
    EXPECT_TRUE(progress.Texts.contains(QStringLiteral("Optimizing GIF color palette...")));
    EXPECT_TRUE(progress.Texts.contains(QStringLiteral("Creating GIF frame 1...")));

    // The pictures: FFmpeg's own decoding against ours, exact for a palettised stream.
    const QByteArray raw = RunTool(QStringLiteral("ffmpeg"),
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), file, QStringLiteral("-f"),
         QStringLiteral("rawvideo"), QStringLiteral("-pix_fmt"), QStringLiteral("bgr24"), QStringLiteral("-")});
    ASSERT_EQ(raw.size(), expected * 32 * 24 * 3) << c.name;
    gif::TGIFCompositor screen(image, 0xFFFFFF);
    double error = 0;
    for (int i = 0; i < expected; ++i) {
      const gif::Bitmap& shown = screen.Render(i);
      for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 32 * 3; ++x)
          error += std::abs(int(shown.Scanline(y)[x]) - int(std::uint8_t(raw[(i * 24 + y) * 96 + x])));
    }
    error /= double(expected) * 24 * 96;
    if (c.exactColours)
      EXPECT_EQ(error, 0.0) << c.name;
    else
      EXPECT_LT(error, 40.0) << c.name;  // the 216-colour cube with diffusion, against the source
  }
}

TEST_F(AviTest, ImportTakesTheRawStreamHeaderEvenWithoutARate) {
  const QString file = Path(QStringLiteral("norate.avi"));
  MakeVideo(file, 16, 10, QStringLiteral("0.3"), QStringLiteral("pal8"));
  QFile f(file);
  ASSERT_TRUE(f.open(QIODevice::ReadWrite));
  QByteArray bytes = f.readAll();
  const qsizetype strh = bytes.indexOf("strh");
  ASSERT_GT(strh, 0);
  const std::uint8_t patch[] = {250, 0, 0, 0, 0, 0, 0, 0};  // scale 250, rate 0
  std::memcpy(bytes.data() + strh + 8 + 20, patch, sizeof patch);
  f.seek(0);
  f.write(bytes);
  f.close();
  const std::optional<AviStreamHeader> header = ReadAviStreamHeader(file);
  ASSERT_TRUE(header);
  EXPECT_EQ(header->scale, 250u);
  EXPECT_EQ(header->rate, 0u);

  TGIFImage image;
  RecordingProgress progress;
  try {
    ImportAvi(image, file, progress);
  } catch (const AviError& e) {
    FAIL() << e.what();
  }
  ASSERT_GT(image.Images().GetCount(), 0);
  EXPECT_EQ(GetFrameDelay(image, 0), 2);
}

TEST_F(AviTest, CancellingAnImportKeepsTheFramesWithoutComment) {
  const QString file = Path(QStringLiteral("c.avi"));
  MakeVideo(file, 16, 10, QStringLiteral("0.5"), QStringLiteral("pal8"));
  TGIFImage image;
  RecordingProgress progress;
  progress.CancelAfter = 2;
  EXPECT_FALSE(ImportAvi(image, file, progress));
  EXPECT_EQ(image.Images().GetCount(), 2);
  EXPECT_FALSE(progress.Texts.contains(QStringLiteral("Optimizing GIF color palette...")));
  for (int i = 0; i < image.Images().GetCount(); ++i)
    for (int e = 0; e < image.Images().GetFrame(i)->Extensions().GetCount(); ++e)
      EXPECT_EQ(dynamic_cast<gif::TGIFCommentExtension*>(image.Images().GetFrame(i)->Extensions().GetExtension(e)),
                nullptr);
}

// The stream header says which frames are read and what they would take: frames dwStart ..
// dwLength - 1, a count past the memory budget refused before anything is decoded, and a file cut
// short keeps the frames read before the cut.
TEST_F(AviTest, ImportReadsTheFramesTheHeaderNamesWithinTheBudget) {
  constexpr std::uint32_t kKeep = 0xDEADBEEF;
  struct Case {
    const char* name;
    const char* format;
    std::uint32_t start, length;
    bool cut;
    std::uint64_t budget;
    int frames;  // -1: refused for memory
  } const cases[] = {
      {"as-written", "pal8", kKeep, kKeep, false, 0, 10},
      {"shorter-length", "pal8", kKeep, 4, false, 0, 4},
      {"later-start", "pal8", 3, kKeep, false, 0, 7},
      {"start-past-length", "pal8", 0x7FFFFFFF, kKeep, false, 0, 0},
      {"last-start", "pal8", 0xFFFFFFFF, kKeep, false, 0, 0},
      {"forged-length", "pal8", kKeep, 0xFFFFFFFF, false, 0, -1},
      {"start-and-forged-length", "pal8", 0x7FFFFFFF, 0xFFFFFFFF, false, 0, -1},
      {"over-budget", "pal8", kKeep, kKeep, false, 8 * 1024, -1},
      {"bgr24-cut", "bgr24", kKeep, kKeep, true, 0, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QString file = Path(QString::fromLatin1(c.name) + QStringLiteral(".avi"));
    MakeVideo(file, 16, 10, QStringLiteral("1"), QString::fromLatin1(c.format));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    QByteArray bytes = f.readAll();
    const qsizetype strh = bytes.indexOf("strh");
    ASSERT_GT(strh, 0);
    ASSERT_EQ(U32(bytes, strh + 8 + 32), 10u);
    for (const auto& [at, value] : {std::pair{28, c.start}, std::pair{32, c.length}})
      if (value != kKeep)
        for (int i = 0; i < 4; ++i) bytes[strh + 8 + at + i] = char(value >> (8 * i));
    if (c.cut) {
      // Just past the fifth frame's pixels: the sixth is cut short.
      const qsizetype movi = bytes.indexOf("movi");
      ASSERT_GT(movi, 0);
      bytes.truncate(movi + 4 + 5 * (8 + 16 * 16 * 3) + 8 + 100);
    }
    f.resize(0);
    f.seek(0);
    f.write(bytes);
    f.close();

    TGIFImage image;
    if (c.budget) image.MemoryBudget = c.budget;
    RecordingProgress progress;
    try {
      ImportAvi(image, file, progress);
      EXPECT_EQ(image.Images().GetCount(), c.frames);
    } catch (const AviError& e) {
      EXPECT_EQ(c.frames, -1) << e.what();
      EXPECT_STREQ(e.what(), "Image needs more memory than allowed");
      EXPECT_EQ(image.Images().GetCount(), 0);
      EXPECT_FALSE(progress.Texts.contains(QStringLiteral("Creating GIF frame 0...")));
    }
  }
}

// Damaged and foreign files end in a clean message, never a crash (the sanitizers watch).
TEST_F(AviTest, DamagedFilesFailCleanly) {
  const QString good = Path(QStringLiteral("good.avi"));
  MakeVideo(good, 16, 10, QStringLiteral("0.3"), QStringLiteral("pal8"));
  QFile in(good);
  ASSERT_TRUE(in.open(QIODevice::ReadOnly));
  const QByteArray bytes = in.readAll();

  QByteArray forged = bytes;  // a frame size far beyond what an image may hold
  const qsizetype strf = forged.indexOf("strf");
  ASSERT_GT(strf, 0);
  const std::uint8_t huge[] = {0xFF, 0xFF, 0xFF, 0x7F};
  std::memcpy(forged.data() + strf + 12, huge, 4);
  std::memcpy(forged.data() + strf + 16, huge, 4);

  const QList<std::pair<const char*, QByteArray>> files = {
      {"text.avi", QByteArray("this is not a video at all")},
      {"empty.avi", QByteArray()},
      {"half.avi", bytes.left(bytes.size() / 2)},
      {"head.avi", bytes.left(200)},
      {"forged.avi", forged},
      {"garbage.avi", QByteArray("RIFF\xff\xff\xff\xff" "AVI LIST\x04\x00\x00\x00hdrl", 24) + QByteArray(300, '\x55')},
  };
  for (const auto& [name, content] : files) {
    const QString file = Path(QString::fromLatin1(name));
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(content);
    out.close();
    TGIFImage image;
    RecordingProgress progress;
    try {
      ImportAvi(image, file, progress);
    } catch (const AviError& e) {
      EXPECT_TRUE(QString::fromUtf8(e.what()).startsWith(QStringLiteral("Failed to"))) << name << ": " << e.what();
    } catch (const std::exception& e) {
      ADD_FAILURE() << name << ": " << e.what();
    }
  }
  TGIFImage image;
  RecordingProgress progress;
  try {
    ImportAvi(image, Path(QStringLiteral("text.avi")), progress);
    FAIL() << "a text file imported";
  } catch (const AviError& e) {
    EXPECT_STREQ(e.what(), "Failed to open AVI file");
  }
}

}  // namespace
}  // namespace movinta::editor
