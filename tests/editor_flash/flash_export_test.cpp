// Save As Flash without a window: the movie-frame count of a delay, the calls the export makes
// into the library (through a recording stand-in), its refusals and failures, the HTML snippet,
// and whole movies from the real library checked by FFmpeg and yaswfp.
#include "editor/model/flash_export.h"
#include "flash_fake.h"
#include "gif/render/compositor.h"
#include "platform/jpeg/jpeg_writer.h"
#include "tests/editor/gif_fixture.h"
#include "tests/editor/test_support.h"
#include "tests/swf/jpeg_fixture.h"
#include "tests/swf/movie_parse.h"
#include "tests/swf/peer_util.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace movinta::editor {
namespace {

using testing::MakeAnimation;
using testing::RecordingLibrary;
using testing::RecordingMessages;

TEST(FramesForDelay, CountsMovieFramesAsTheExportAlwaysHas) {
  struct Case {
    int delay, rate, frames;
  };
  const Case cases[] = {{0, 10, 1},    {10, 10, 1},   {15, 10, 2}, {25, 10, 2}, {34, 10, 3},
                        {35, 10, 4},   {100, 10, 10}, {5, 30, 2},  {7, 30, 2},  {65535, 30, 19660},
                        {410, 15, 62}, {1, 1, 1},     {250, 1, 2}, {350, 1, 4}};
  for (const Case& c : cases) EXPECT_EQ(FramesForDelay(c.delay, c.rate), c.frames) << c.delay << " at " << c.rate;
}

// Pictures as the export writes them, in dir; those in missing are left out.
TFlashExportList Pictures(const QTemporaryDir& dir, std::initializer_list<int> delays, std::set<int> missing = {}) {
  TFlashExportList list;
  for (int delay : delays) {
    const QString file = dir.filePath(QStringLiteral("ZQF%1.jpg").arg(list.size()));
    if (!missing.count(int(list.size()))) ::WriteFileBytes(file.toStdString(), ::EncodeJpeg(4, 3, delay));
    list.push_back({QFile::encodeName(file), std::uint16_t(delay)});
  }
  return list;
}

TEST(BuildFlashMovie, DefinesEveryPictureAndShapeThenShowsEachForItsDelay) {
  RecordingLibrary library;
  QTemporaryDir dir;
  const TFlashExportList list = Pictures(dir, {10, 20});
  const TFlashBuildResult r = BuildFlashMovie(
      2, 10, 40, 30, true, QFile::encodeName(dir.filePath(QStringLiteral("out.swf"))), list, "/t/scratch.swf");
  EXPECT_TRUE(r.Written);
  EXPECT_EQ(r.RefusedEntry, -1);
  EXPECT_EQ(library->Calls, (QStringList{
                                "createMovie 10",
                                "makeJpeg ZQF0.jpg 40 30 0 0",
                                "makeJpeg ZQF1.jpg 40 30 0 0",
                                "makeShape '' 0 24: 0 0 40 30 3 1 7 0 0 0 0 0 1 0 40 1 30 0 1 0 -40 1 -30 0",
                                "makeShape '' 0 24: 0 0 40 30 3 1 7 1 0 0 0 0 1 0 40 1 30 0 1 0 -40 1 -30 0",
                                "showFrame",
                                "placeObject 2 2",
                                "showFrame",
                                "removeObject 2",
                                "placeObject 3 3",
                                "showFrame",
                                "removeObject 2",
                                "placeObject 3 3",
                                "showFrame",
                                "writeMovie out.swf 40 30 10 1",
                            }));
}

TEST(BuildFlashMovie, APictureTheLibraryRefusesAbandonsTheMovie) {
  struct Case {
    int refused;
    bool fileMissing;  // else the library answers 0 for it
  };
  for (const Case c : {Case{0, true}, Case{1, true}, Case{1, false}}) {
    SCOPED_TRACE(::testing::Message() << c.refused << (c.fileMissing ? " missing" : " refused"));
    RecordingLibrary library;
    QTemporaryDir dir;
    const TFlashExportList list = Pictures(dir, {10, 10}, c.fileMissing ? std::set<int>{c.refused} : std::set<int>{});
    if (!c.fileMissing) library->RefuseJpeg = c.refused;
    const TFlashBuildResult r = BuildFlashMovie(2, 10, 4, 3, false, "/t/out.swf", list, "/t/scratch.swf");
    EXPECT_FALSE(r.Written);
    // The first picture's 0 is also the first id: its file is checked before the call.
    EXPECT_EQ(r.RefusedEntry, c.refused);
    EXPECT_EQ(library->Calls.filter(QStringLiteral("placeObject")), QStringList());
    EXPECT_EQ(library->Calls.last(), "writeMovie scratch.swf 4 3 10 0")
        << "the library is left ready for the next movie";
  }
}

class FlashExportTest : public ::testing::Test {
protected:
  TFlashExportOptions Options(const QString& name = QStringLiteral("movie.gif")) {
    TFlashExportOptions o;
    o.MovieFile = dir_.filePath(name);
    o.TempFolder = temp_.path();
    return o;
  }
  QStringList TempEntries() const { return QDir(temp_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot); }
  QStringList Jpegs(const RecordingLibrary& library) {
    return const_cast<RecordingLibrary&>(library)->Calls.filter(QStringLiteral("makeJpeg"));
  }

  QTemporaryDir dir_, temp_;
  RecordingMessages messages_;
};

TEST_F(FlashExportTest, AnAnimationOfEmptyFramesGivesAMovieThatShowsNothing) {
  RecordingLibrary library;
  auto image = MakeAnimation(2);
  for (int i = 0; i < 2; ++i) image->Images().GetFrame(i)->Clear();
  const TFlashExportOutcome out = ExportFlashMovie(*image, Options());
  EXPECT_TRUE(out.Written);
  EXPECT_EQ(out.MovieFile, dir_.filePath(QStringLiteral("movie.swf")));
  EXPECT_EQ(library->Calls, (QStringList{"createMovie 10", "setMovieFile movie.swf 4 3", "showFrame",
                                         "writeMovie movie.swf 4 3 10 0"}));
  EXPECT_TRUE(messages_.Shown.empty());
}

// The pictures go to the library as bytes, one per non-empty frame: none is written out for the
// library to read back, and the private folder goes with the export.
TEST_F(FlashExportTest, PicturesGoToTheLibraryInMemoryAndNothingStaysOnDisk) {
  RecordingLibrary library;
  library->WatchedFolder = temp_.path();
  auto image = MakeAnimation(3);
  image->Images().GetFrame(1)->Clear();
  AddLoopExtension(*image, 0, 0);
  TFlashExportOptions o = Options(QStringLiteral("movie"));
  o.FrameRate = 10;
  const TFlashExportOutcome out = ExportFlashMovie(*image, o);
  ASSERT_TRUE(out.Written);
  EXPECT_EQ(Jpegs(library), (QStringList{"makeJpegData 4 3 0 0", "makeJpegData 4 3 0 0"}));
  EXPECT_TRUE(library->PicturesWereJpegs);
  EXPECT_EQ(library->FilesWhileHandingOver, QStringList());
  EXPECT_EQ(library->Calls.count(QStringLiteral("showFrame")), 1 + 1 + 3);
  EXPECT_EQ(library->Calls.last(), "writeMovie movie.swf 4 3 10 1");
  EXPECT_EQ(TempEntries(), QStringList()) << "the private folder is removed";
  EXPECT_TRUE(messages_.Shown.empty());
}

// A full first frame, then transparent 6 x 5 sprites at moving offsets, disposed of in turn not at
// all, to the background and to what lay under them.
std::unique_ptr<gif::TGIFImage> MovingSprites(int frames) {
  auto image = MakeAnimation(1, 40, 30);
  for (int i = 1; i < frames; ++i) {
    auto* frame = new gif::TGIFSubImage(image.get());
    frame->SetBounds((i * 5) % 34, (i * 3) % 25, 6, 5);
    for (std::size_t p = 0; p < frame->DataSize(); ++p) frame->Data()[p] = static_cast<std::uint8_t>((p + i) % 4);
    image->Add(frame);
    SetFrameDelay(*frame, 10);
    gif::TGIFGraphicControlExtension* gce = frame->GraphicControlExtension();
    gce->SetTransparent(true);
    gce->SetTransparentColorIndex(0);
    const gif::TDisposalMethod disposals[] = {gif::dmNoDisposal, gif::dmBackground, gif::dmPrevious};
    gce->SetDisposal(disposals[i % 3]);
  }
  return image;
}

// Each picture is encoded on a thread of its own while the next frame is composited; the movie is
// still byte for byte the one built from pictures made one by one, each from its own frame, also
// where empty frames lie between pictures.
TEST_F(FlashExportTest, TheMovieHoldsThePicturesMadeOneByOne) {
  struct Case {
    const char* name;
    std::unique_ptr<gif::TGIFImage> image;
    std::vector<int> emptied;
  };
  Case cases[] = {{"frames at offsets, transparent, disposed", testing::MakeRealisticAnimation(5), {1}},
                  {"whole screens", MakeAnimation(30, 320, 240), {2, 5, 6, 17}},
                  {"sprites moving over a full first frame, disposed each way in turn", MovingSprites(24), {9}}};
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    gif::TGIFImage& image = *c.image;
    for (int i : c.emptied) image.Images().GetFrame(i)->Clear();
    AddLoopExtension(image, 0, 0);
    RecordingMessages messages;
    TFlashExportOptions o = Options();
    o.FrameRate = 12;
    o.JpegQuality = 80;
    o.Backdrop = 0x336699;
    const TFlashExportOutcome out = ExportFlashMovie(image, o);
    ASSERT_TRUE(out.Written);

    QTemporaryDir pictures;
    TFlashExportList list;
    gif::TGIFCompositor screen(image, o.Backdrop);
    platform::JpegOptions jpeg;
    jpeg.Quality = 80;
    jpeg.FullChroma = true;
    for (int i = 0; i < image.Images().GetCount(); ++i) {
      gif::TGIFSubImage& frame = *image.Images().GetFrame(i);
      if (frame.IsEmpty()) continue;
      const QString file = pictures.filePath(QStringLiteral("ZQF%1.jpg").arg(i));
      ::WriteFileBytes(file.toStdString(), platform::EncodeJpeg(platform::PixelsOf(screen.Render(i)), jpeg));
      list.push_back({QFile::encodeName(file), frame.GraphicControlExtension()->GetDelay()});
    }
    const QString oneByOne = pictures.filePath(QStringLiteral("one-by-one.swf"));
    ASSERT_TRUE(BuildFlashMovie(int(list.size()), 12, image.GetWidth(), image.GetHeight(), true,
                                QFile::encodeName(oneByOne), list, QFile::encodeName(pictures.filePath(QStringLiteral("x.swf"))))
                    .Written);
    EXPECT_EQ(testing::FileBytes(out.MovieFile), testing::FileBytes(oneByOne));
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("movie.swf")})
        << "nothing is left beside the movie";
    EXPECT_EQ(TempEntries(), QStringList());
  }
}

TEST_F(FlashExportTest, FailuresAreToldAndLeaveTheOldMovieInPlace) {
  struct Case {
    const char* name;
    std::function<void(gif::TGIFImage&, TFlashExportOptions&, testing::FlashRecorder&)> arrange;
    const char* message;
    bool callsLibrary;
  };
  const std::vector<Case> cases = {
      {"the private folder cannot be made",
       [](auto&, auto& o, auto&) { o.TempFolder += QStringLiteral("/no-such-folder/deeper"); },
       "Unable to create the temporay folder for exporting. Please try again.", false},
      {"a picture cannot be encoded",
       [](auto& image, auto&, auto&) { image.Images().GetFrame(1)->SetBounds(0, 0, 65535, 1); },
       "Unable to write the picture of frame 0 for the Flash movie", false},
      {"the movie would hold more frames than it can count",
       [](auto& image, auto& o, auto&) {
         o.FrameRate = 30;
         for (int i = 0; i < 4; ++i) SetFrameDelay(*image.Images().GetFrame(i), 65535);
       },
       "would need 78642 movie frames", false},
      {"the library refuses a picture", [](auto&, auto&, auto& r) { r.RefuseJpeg = 2; },
       "the picture of frame 2 could not be added", true},
      {"the movie cannot be written", [](auto&, auto&, auto& r) { r.WriteOk = false; }, "Unable to save", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingLibrary library;
    messages_.Shown.clear();
    QFile old(dir_.filePath(QStringLiteral("movie.swf")));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly | QIODevice::Truncate));
    old.write("old movie");
    old.close();
    auto image = MakeAnimation(4);
    TFlashExportOptions o = Options();
    c.arrange(*image, o, *library);
    EXPECT_FALSE(ExportFlashMovie(*image, o).Written);
    ASSERT_EQ(messages_.Shown.size(), 1u);
    EXPECT_TRUE(messages_.Shown[0].Text.contains(QString::fromUtf8(c.message)))
        << messages_.Shown[0].Text.toStdString();
    EXPECT_EQ(!library->Calls.isEmpty(), c.callsLibrary);
    EXPECT_EQ(testing::FileBytes(old.fileName()), "old movie");
    EXPECT_EQ(TempEntries(), QStringList());
  }
}

// The movie's file is named to the library before the first picture goes in, so that the library
// writes it as it is made; a movie abandoned halfway is sent nowhere, which leaves nothing beside the
// user's file.
TEST_F(FlashExportTest, TheMovieFileIsNamedAtTheStartAndAnAbandonedMovieGoesNowhere) {
  for (const int refused : {-1, 2}) {
    SCOPED_TRACE(refused);
    RecordingLibrary library;
    library->RefuseJpeg = refused;
    messages_.Shown.clear();
    EXPECT_EQ(ExportFlashMovie(*MakeAnimation(4), Options()).Written, refused < 0);
    ASSERT_GE(library->Calls.size(), 3);
    EXPECT_EQ(library->Calls.mid(0, 3),
              (QStringList{"createMovie 10", "setMovieFile movie.swf 4 3", "makeJpegData 4 3 0 0"}));
    EXPECT_EQ(library->Calls.last(), refused < 0 ? "writeMovie movie.swf 4 3 10 0" : "writeMovie  4 3 10 0");
  }
}

TEST_F(FlashExportTest, TheMovieIsWrittenUnderTheNameTheDialogAskedAbout) {
  const std::pair<const char*, const char*> cases[] = {
      {"Cap.SWF", "Cap.SWF"}, {"cap.Swf", "cap.Swf"}, {"movie.gif", "movie.swf"}, {"movie", "movie.swf"}};
  for (const auto& [asked, written] : cases) {
    SCOPED_TRACE(asked);
    RecordingLibrary library;
    const TFlashExportOutcome out = ExportFlashMovie(*MakeAnimation(2), Options(QString::fromUtf8(asked)));
    EXPECT_TRUE(out.Written);
    EXPECT_EQ(out.MovieFile, dir_.filePath(QString::fromUtf8(written)));
    EXPECT_EQ(library->Calls.last(), QStringLiteral("writeMovie %1 4 3 10 0").arg(QString::fromUtf8(written)));
  }
}

TEST_F(FlashExportTest, AMovieThatCannotBeWrittenOrHasNoSizeIsToldBeforeAnyPictureIsMade) {
  struct Case {
    const char* name;
    const char* movie;
    bool noSize;
    QString message;
  };
  const Case cases[] = {
      {"a folder that does not exist", "missing/movie.gif", false,
       QStringLiteral("Error saving file! Unable to save %1 to disk.").arg(dir_.filePath(QStringLiteral("missing/movie.swf")))},
      {"a screen of 0 x 0", "movie.gif", true,
       QStringLiteral("The animation has no picture size (its screen is 0 x 0 pixels): give it a width and a height "
                      "before exporting it.")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingLibrary library;
    messages_.Shown.clear();
    auto image = MakeAnimation(3);
    if (c.noSize) {
      image->Header().SetWidth(0);
      image->Header().SetHeight(0);
    }
    TFlashExportOptions o = Options(QString::fromUtf8(c.movie));
    int framesMade = 0;
    o.FrameDone = [&](int, int) { ++framesMade; };
    EXPECT_FALSE(ExportFlashMovie(*image, o).Written);
    ASSERT_EQ(messages_.Shown.size(), 1u);
    EXPECT_EQ(messages_.Shown[0].Text, c.message);
    EXPECT_EQ(framesMade, 0);
    EXPECT_TRUE(library->Calls.isEmpty());
    EXPECT_EQ(TempEntries(), QStringList());
  }
}

TEST(FlashHTML, EmbedsTheMovieAtItsSize) {
  const QString expected = QStringLiteral(
      "<!-- Created with Larkspur GIF Movinta https://larkspur-software.example/ -->\r\n"
      "\r\n"
      "<OBJECT classid=\"clsid:D27CDB6E-AE6D-11cf-96B8-444553540000\"\r\n"
      "  codebase=\"https://download.macromedia.com/flash2/cabs/swflash.cab#version=4,0,0,0\"\r\n"
      "  ID=Untitled WIDTH=100 HEIGHT=50>\r\n"
      "<PARAM NAME=movie VALUE=\"a.swf\">\r\n"
      "<PARAM NAME=quality VALUE=high>\r\n"
      "<PARAM NAME=loop VALUE=false>\r\n"
      "<EMBED src=\"a.swf\" loop=false quality=high\r\n"
      "  WIDTH=100 HEIGHT=50 TYPE=\"application/x-shockwave-flash\"\r\n"
      "  PLUGINSPAGE=\"https://www.macromedia.com/shockwave/download/index.cgi?P1_Prod_Version=ShockwaveFlash\">\r\n"
      "</EMBED>\r\n"
      "</OBJECT>");
  EXPECT_EQ(FlashHTML(100, 50, QStringLiteral("a.swf")), expected);
  const QString odd = FlashHTML(1, 1, QStringLiteral("my \"best\" <film> & ü.swf"));
  EXPECT_EQ(odd.count(QStringLiteral("my%20%22best%22%20%3Cfilm%3E%20%26%20%C3%BC.swf")), 2) << odd.toStdString();
}

// ---- whole movies from the real library

struct Rgb24 {
  int width = 0, height = 0;
  std::vector<std::uint8_t> pixels;
};

Rgb24 DecodeWithFFmpeg(const QString& jpeg, int width, int height) {
  const CommandResult r = RunCommand("/usr/bin/ffmpeg -nostdin -v error -i '" + jpeg.toStdString() +
                                     "' -f rawvideo -pix_fmt rgb24 - 2>/dev/null");
  Rgb24 out{width, height, std::vector<std::uint8_t>(r.output.begin(), r.output.end())};
  return out;
}

// Mean absolute difference per channel between a decoded picture and a 24-bit bitmap.
double MeanError(const Rgb24& decoded, const gif::Bitmap& want) {
  double sum = 0;
  for (int y = 0; y < want.Height(); ++y)
    for (int x = 0; x < want.Width(); ++x) {
      const gif::Rgb c = gif::ColorToRgb(want.PixelColor(x, y));
      const std::uint8_t* got = &decoded.pixels[(std::size_t(y) * want.Width() + x) * 3];
      sum += std::abs(got[0] - c.red) + std::abs(got[1] - c.green) + std::abs(got[2] - c.blue);
    }
  return sum / (3.0 * want.Width() * want.Height());
}

class FlashPeers : public ::testing::TestWithParam<const char*> {};

TEST_P(FlashPeers, MovieShowsTheAnimationWithItsTiming) {
  if (!HavePeer("/usr/bin/ffmpeg") || !HavePeer("/usr/bin/convert-im6.q16"))
    GTEST_SKIP() << "FFmpeg or ImageMagick missing";
  QTemporaryDir dir, temp;
  const std::string d = dir.path().toStdString();
  const std::string which = GetParam();
  // FFmpeg crops later frames to what changed (offsets) and marks unchanged pixels transparent;
  // ImageMagick's frames sit at offsets, one transparent around a circle, one disposed to background.
  const std::string make =
      which == "ffmpeg"
          ? "/usr/bin/ffmpeg -nostdin -v error -f lavfi -i testsrc=size=64x48:rate=10 -frames:v 5 '" + d + "/anim.gif'"
          : "/usr/bin/convert-im6.q16 -size 40x30 xc:skyblue -dispose none -delay 10 \\( -size 12x10 xc:red -repage "
            "+4+3 \\) "
            "-dispose background -delay 25 \\( -size 16x12 xc:none -fill green -draw 'circle 8,6 8,1' -repage +20+12 "
            "\\) "
            "-dispose none -delay 7 \\( -size 8x8 xc:yellow -repage +2+18 \\) -loop 0 '" +
                d + "/anim.gif'";
  ASSERT_EQ(RunCommand(make).status, 0);
  gif::TGIFImage image;
  image.LoadFromFile(d + "/anim.gif");
  ASSERT_GT(image.Images().GetCount(), 2);

  RecordingMessages messages;
  TFlashExportOptions o;
  o.MovieFile = dir.filePath(QStringLiteral("movie.gif"));
  o.TempFolder = temp.path();
  o.FrameRate = 10;
  o.JpegQuality = 90;
  const TFlashExportOutcome out = ExportFlashMovie(image, o);
  ASSERT_TRUE(out.Written) << (messages.Shown.empty() ? "" : messages.Shown[0].Text.toStdString());
  EXPECT_TRUE(QDir(temp.path()).isEmpty()) << "the private folder of pictures is removed";

  const ParsedMovie movie = ParseMovie(ReadFileBytes(out.MovieFile.toStdString()));
  ASSERT_TRUE(movie.ok);
  int expectedFrames = 2, pictures = 0;
  for (int i = 0; i < image.Images().GetCount(); ++i) {
    gif::TGIFSubImage* f = image.Images().GetFrame(i);
    if (f->IsEmpty()) continue;
    ++pictures;
    expectedFrames += FramesForDelay(f->GraphicControlExtension() ? f->GraphicControlExtension()->GetDelay() : 0, 10);
  }
  EXPECT_EQ(movie.frameCount, expectedFrames);
  EXPECT_EQ(movie.rate, 10 << 8);
  EXPECT_EQ(movie.xmax, image.GetWidth() * 20);
  EXPECT_EQ(movie.ymax, image.GetHeight() * 20);
  EXPECT_EQ(movie.Count(21), std::size_t(pictures));

  if (HaveYaswfp()) {
    const YaswfpListing listing = ListWithYaswfp(out.MovieFile.toStdString());
    ASSERT_TRUE(listing.ok) << listing.raw;
    EXPECT_EQ(listing.frameCount, expectedFrames);
    EXPECT_EQ(listing.tags.size() + 1, movie.tags.size()) << listing.raw;  // yaswfp leaves out the End tag
  }

  // FFmpeg takes the JPEG pictures out of the movie as they are; each shows its composited frame.
  ASSERT_EQ(RunCommand("/usr/bin/ffmpeg -nostdin -v error -i '" + out.MovieFile.toStdString() +
                       "' -c copy -f image2 '" + d + "/picture%03d.jpg'")
                .status,
            0);
  gif::TGIFCompositor screen(image, 0xFFFFFF);
  int n = 0;
  for (int i = 0; i < image.Images().GetCount(); ++i) {
    if (image.Images().GetFrame(i)->IsEmpty()) continue;
    const QString jpeg = dir.filePath(QStringLiteral("picture%1.jpg").arg(++n, 3, 10, QLatin1Char('0')));
    ASSERT_TRUE(QFile::exists(jpeg)) << jpeg.toStdString();
    const Rgb24 decoded = DecodeWithFFmpeg(jpeg, image.GetWidth(), image.GetHeight());
    ASSERT_EQ(decoded.pixels.size(), std::size_t(image.GetWidth()) * image.GetHeight() * 3);
    const double error = MeanError(decoded, screen.Render(i));
    EXPECT_LT(error, 3.0) << "frame " << i;
  }
  EXPECT_EQ(n, pictures);
}

INSTANTIATE_TEST_SUITE_P(Makers, FlashPeers, ::testing::Values("ffmpeg", "imagemagick"));

}  // namespace
}  // namespace movinta::editor
