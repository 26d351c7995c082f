// Save As Flash: the animation as an SWF movie built by libReeltide, one JPEG picture per
// non-empty frame (the frame as the player shows it), each held by a rectangle shape filled with
// it and shown for as many movie frames as the frame's delay lasts at the movie's frame rate;
// and the HTML snippet that embeds such a movie in a web page.
//
// The library is reached only through its C exports, by way of a table of function pointers that
// tests replace with a recording fake.
#pragma once

#include "gif/gifimage.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

namespace movinta::editor {

// The exports of libReeltide the export calls, in the library's own argument lists.
struct TFlashMovieApi {
  void (*createMovie)(int frameRate);
  int (*makeJpeg)(const char* fileName, int width, int height, int withAlpha, const unsigned char* alpha);
  int (*makeJpegData)(const unsigned char* data, int size, int width, int height, int withAlpha,
                      const unsigned char* alpha);
  int (*makeShape)(const char* fontName, int charCode, int count, const int* cmds);
  void (*showFrame)();
  void (*placeObject)(int depth, int characterId);
  void (*removeObject)(int depth);
  int (*setMovieFile)(const char* fileName, int width, int height);
  int (*writeMovie)(const char* fileName, int width, int height, int frameRate, int playFlag);
};

// The real library.
const TFlashMovieApi& ReeltideMovieApi();
// The table in use; SetFlashMovieApi(nullptr) goes back to the real library. Returns the previous.
const TFlashMovieApi& FlashMovieApi();
const TFlashMovieApi* SetFlashMovieApi(const TFlashMovieApi* api);

// The texts of the command.
namespace texts {
inline constexpr const char* kFlashCaption = "Export to Macromedia Flash";
inline constexpr const char* kFlashFilter = "Macromedia Flash (.swf)|*.swf";
inline constexpr const char* kConvertingToFlash = "Converting GIF to a Flash Movie...";
inline constexpr const char* kMakingFlashMovie = "Making Flash Movie...";
inline constexpr const char* kNoFlashTempFolder =
    "Unable to create the temporay folder for exporting. Please try again.";
inline constexpr const char* kFlashPictureFailed = "Unable to write the picture of frame %1 for the Flash movie: %2";
inline constexpr const char* kFlashPictureRefused =
    "Unable to make the Flash movie: the picture of frame %1 could not be added to it.";
inline constexpr const char* kFlashTooManyFrames =
    "The animation has too many frames for a Flash movie: it may have at most %1 frames that show a picture.";
inline constexpr const char* kFlashTooLong =
    "The animation lasts too long for a Flash movie at %1 frames per second: it would need %2 movie frames, "
    "and a movie holds at most %3.";
inline constexpr const char* kFlashReminder =
    " Don't forget you need to change the name (your_flash_movie.swf), WIDTH, and HEIGHT in this code to match "
    "your movie. (It's in there twice). If you don't the movie will not be displayed.";
inline constexpr const char* kFlashHTMLIntro =
    "Here is the HTML required for the Flash movie. Copy and paste it in the HTML page in which you want the "
    "movie to appear. You also need to upload the .swf file for it appear on your web site.";
inline constexpr const char* kFlashHTMLCopied = "Copied HTML to the clipboard.";
inline constexpr const char* kFlashSampleMovie = "your_flash_movie.swf";
}  // namespace texts

// Where browsers get the player, named in the snippet beside the maker's web page.
inline constexpr const char* kFlashPlayerCabinet = "https://download.macromedia.com/flash2/cabs/swflash.cab";
inline constexpr const char* kFlashPlayerDownload = "https://www.macromedia.com/shockwave/download/index.cgi";

// Movie frames for a GIF delay (hundredths of a second) at frameRate: at least 1; the exact
// product is taken to single precision, then a fraction of .5 or more rounds to the nearest
// integer (ties to even) and a smaller one is cut off.
int FramesForDelay(int delay, int frameRate);

// One picture of the movie: the JPEG file (as the file system's bytes) and its frame's delay.
struct TFlashExportEntry {
  QByteArray FileName;
  std::uint16_t Delay = 0;
};
using TFlashExportList = std::vector<TFlashExportEntry>;

// Character ids and movie frames are 16-bit: at most this many pictures, and movie frames in all
// (the definitions frame, one per shown frame, and the end frame writeMovie adds).
inline constexpr int kFlashMaxPictures = 32768;
inline constexpr int kFlashMaxMovieFrames = 65535;
// The movie frames the list makes: 1 + the frames of every delay + 1.
long long FlashMovieFrames(const TFlashExportList& list, int frameRate);

// How a build ended.
struct TFlashBuildResult {
  bool Written = false;
  int RefusedEntry = -1;  // the entry whose picture the library did not take, or -1
};

// Builds the movie from the list and writes it to fileName. The library hands out character ids
// in sequence; an answer out of sequence means the picture or shape was not made, as does a picture
// file that cannot be read (the library answers 0; the first file, whose id is 0 as well, is
// checked before the call), and the movie is then abandoned: written to scratchFile (a place of
// the caller's that is thrown away), which leaves the library ready for the next movie, and the
// entry is reported.
TFlashBuildResult BuildFlashMovie(int count, int frameRate, int width, int height, bool playFlag,
                                  const QByteArray& fileName, const TFlashExportList& list,
                                  const QByteArray& scratchFile);

struct TFlashExportOptions {
  QString MovieFile;                // full path; its extension becomes ".swf"
  int FrameRate = 10;               // 1..30
  int JpegQuality = 90;             // 1..100
  gif::TColor Backdrop = 0xFFFFFF;  // uncovered and transparent screen pixels
  QString TempFolder;               // where the private folder of pictures is made; empty: the system's
  // Called after each frame's picture is in the movie (index, frame count), on the calling thread.
  std::function<void(int, int)> FrameDone;
};

struct TFlashExportOutcome {
  bool Written = false;
  QString MovieFile;  // the file written (with ".swf")
};

// The whole export of image: checks the limits, makes the movie and tells every failure to the
// user, leaving no movie file behind (an existing one stays as it was). The movie is made on a
// thread of its own while the calling thread handles events other than the user's input (as long
// work does, see BusyScope::RunAside): there the frames are composited and their pictures, encoded
// one at a time on a further thread, go into the library from memory as they are finished, and
// from there into the movie's file, which is named to the library at the start; the shapes and
// frames follow, and the file is put in place. A private temporary folder takes the movie the
// library is left with when one is abandoned where it could not start the file, and goes with it.
// The image is only read, and must not change until the export returns. FrameDone and the
// progress are told on the calling thread.
TFlashExportOutcome ExportFlashMovie(gif::TGIFImage& image, const TFlashExportOptions& options);

// The snippet that embeds the movie: lines separated by CR LF. The movie name is percent-encoded
// as the web address it is.
QString FlashHTML(int width, int height, const QString& movieName);

}  // namespace movinta::editor
