#include "editor/model/flash_export.h"

#include "editor/model/string_tables.h"
#include "editor/model/ui_services.h"
#include "editor/model/working_image.h"
#include "gif/render/compositor.h"
#include "platform/jpeg/jpeg_writer.h"
#include "swf/api/reeltide.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <climits>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace movinta::editor {

namespace {

const TFlashMovieApi kReeltide{&::createMovie, &::makeJpeg,     &::makeJpegData, &::makeShape, &::showFrame,
                               &::placeObject, &::removeObject, &::setMovieFile, &::writeMovie};
const TFlashMovieApi* g_api = nullptr;

// The name the save dialog asked about is the name written: ".swf" in any case stays as typed.
QString WithSwfExtension(const QString& path) {
  const QFileInfo info(path);
  const QString name = info.fileName();
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  if (dot > 0 && name.mid(dot).compare(QLatin1String(".swf"), Qt::CaseInsensitive) == 0) return path;
  const QString base = dot > 0 ? name.left(dot) : name;
  return info.dir().filePath(base + QStringLiteral(".swf"));
}

// The library refuses a picture it cannot read with 0, which is also the first id it hands out.
bool PictureReadable(const QByteArray& fileName) {
  QFile file(QFile::decodeName(fileName));
  return file.open(QIODevice::ReadOnly);
}

// Encodes pictures one at a time, in the order they are given, on a thread of its own. Pictures
// wait their turn, so that the thread goes from one picture straight to the next while the caller
// composites and hands the bytes on; each picture is encoded alone, so its bytes are those of an
// encoding on the caller's thread. The pictures are read where they were drawn: the caller keeps
// each one unchanged until its bytes are taken. Where no thread can be started, pictures are
// encoded as they are given.
class PictureEncoder {
public:
  // Up to four pictures within 32 MB waiting, so that the thread has pictures to go on with while
  // the caller waits for a core (more only spread the screens over more cache); one where a screen
  // alone is bigger (nothing is composited ahead then).
  static int Waiting(std::size_t screenBytes) {
    constexpr std::size_t kWaitingBytes = std::size_t(32) << 20;
    return int(std::clamp<std::size_t>(kWaitingBytes / std::max<std::size_t>(screenBytes, 1), 1, 4));
  }
  PictureEncoder(const platform::JpegOptions& jpeg, int waiting) : jpeg_(jpeg) {
    slots_.resize(std::size_t(std::max(waiting, 1)));
    try {
      thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
    }
  }
  ~PictureEncoder() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();  // after the picture being encoded, if any
  }
  PictureEncoder(const PictureEncoder&) = delete;
  PictureEncoder& operator=(const PictureEncoder&) = delete;

  // Whether another picture may be given; else the oldest picture must be taken first.
  bool HasFreeSlot() const { return given_ - taken_ < slots_.size(); }
  bool HasPictures() const { return given_ > taken_; }
  void Encode(int frame, const gif::Bitmap& screen) {
    Slot& slot = slots_[given_ % slots_.size()];
    slot.Frame = frame;
    slot.Screen = &screen;
    if (!thread_.joinable()) {
      EncodeSlot(slot);
      ++given_;
      return;
    }
    {
      std::lock_guard lock(mutex_);
      slot.Done = false;
      ++given_;
    }
    wake_.notify_all();
  }
  // The oldest picture given: its frame, and its bytes once encoded; what encoding it threw is
  // thrown here. Its screen may be drawn on again.
  int OldestFrame() const { return slots_[taken_ % slots_.size()].Frame; }
  std::vector<std::uint8_t> TakeOldest() {
    Slot& slot = slots_[taken_ % slots_.size()];
    {
      std::unique_lock lock(mutex_);
      done_.wait(lock, [&] { return slot.Done; });
    }
    ++taken_;
    if (slot.Error) std::rethrow_exception(std::exchange(slot.Error, nullptr));
    return std::move(slot.Jpeg);
  }

private:
  struct Slot {
    const gif::Bitmap* Screen = nullptr;
    int Frame = -1;
    bool Done = true;
    std::vector<std::uint8_t> Jpeg;
    std::exception_ptr Error;
  };

  void EncodeSlot(Slot& slot) {
    try {
      slot.Jpeg = platform::EncodeJpeg(platform::PixelsOf(*slot.Screen), jpeg_);
    } catch (...) {
      slot.Error = std::current_exception();
    }
  }
  void Run() {
    for (std::size_t next = 0;; ++next) {
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [&] { return stop_ || next < given_; });
        if (stop_) return;
      }
      Slot& slot = slots_[next % slots_.size()];
      EncodeSlot(slot);
      {
        std::lock_guard lock(mutex_);
        slot.Done = true;
      }
      done_.notify_all();
    }
  }

  const platform::JpegOptions jpeg_;
  std::vector<Slot> slots_;
  // Pictures given and taken, counted from the first; only the caller changes them, under the
  // lock where the thread reads them.
  std::size_t given_ = 0, taken_ = 0;
  std::mutex mutex_;
  std::condition_variable wake_, done_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace

const TFlashMovieApi& ReeltideMovieApi() { return kReeltide; }
const TFlashMovieApi& FlashMovieApi() { return g_api ? *g_api : kReeltide; }
const TFlashMovieApi* SetFlashMovieApi(const TFlashMovieApi* api) {
  const TFlashMovieApi* previous = g_api;
  g_api = api;
  return previous;
}

int FramesForDelay(int delay, int frameRate) {
  // The product goes through single precision on purpose: 4.1 x 15 is just below 61.5 exactly,
  // and 61.5 once stored, which makes it 62 movie frames as it always has.
  const long double exact = static_cast<long double>(delay) / 100.0L * frameRate;
  const float x = static_cast<float>(exact);
  if (x <= 1.0f) return 1;
  const double whole = std::floor(static_cast<double>(x));
  const double fraction = static_cast<double>(x) - whole;
  if (fraction < 0.5) return static_cast<int>(whole);
  if (fraction > 0.5) return static_cast<int>(whole) + 1;
  const int w = static_cast<int>(whole);
  return w % 2 == 0 ? w : w + 1;
}

long long FlashMovieFrames(const TFlashExportList& list, int frameRate) {
  long long frames = 2;
  for (const TFlashExportEntry& e : list) frames += FramesForDelay(e.Delay, frameRate);
  return frames;
}

namespace {

// A movie under construction in the library: the pictures go in one by one, as they are made, and
// the shapes and frames follow once every picture is in. The library hands out character ids in
// sequence; an answer out of sequence means the picture or shape was not made, as does a picture
// file that cannot be read (the library answers 0; the first file, whose id is 0 as well, is
// checked before the call). The movie is then abandoned: written to the scratch file, which
// leaves the library ready for the next movie. A movie whose file is named at the start goes to
// that file as it is made, and an abandoned one goes nowhere.
class MovieBuild {
public:
  MovieBuild(int frameRate, int width, int height, bool playFlag, QByteArray scratchFile, QByteArray movieFile = {})
      : api_(FlashMovieApi()), frameRate_(frameRate), width_(width), height_(height), playFlag_(playFlag),
        scratchFile_(std::move(scratchFile)), movieFile_(std::move(movieFile)) {}
  ~MovieBuild() {
    if (begun_) Abandon();
  }
  MovieBuild(const MovieBuild&) = delete;
  MovieBuild& operator=(const MovieBuild&) = delete;

  void Begin() {
    if (std::exchange(begun_, true)) return;
    api_.createMovie(frameRate_);
    if (!movieFile_.isEmpty()) toFile_ = api_.setMovieFile(movieFile_.constData(), width_, height_) != 0;
  }
  // Adds the next picture, from its file or its bytes; false when the library did not take it (the
  // movie is abandoned).
  bool AddPicture(const QByteArray& fileName) {
    Begin();
    if (bitmapIds_.empty() && !PictureReadable(fileName)) return Abandon();
    const unsigned char noAlpha = 0;
    return Added(api_.makeJpeg(fileName.constData(), width_, height_, 0, &noAlpha));
  }
  bool AddPicture(const std::vector<std::uint8_t>& jpeg) {
    Begin();
    if (jpeg.empty() || jpeg.size() > std::size_t(INT_MAX)) return Abandon();
    const unsigned char noAlpha = 0;
    return Added(api_.makeJpegData(jpeg.data(), int(jpeg.size()), width_, height_, 0, &noAlpha));
  }
  int Pictures() const { return static_cast<int>(bitmapIds_.size()); }
  // The shapes and frames for the pictures added, one entry of the list each, and the movie
  // written to fileName.
  TFlashBuildResult Finish(const QByteArray& fileName, const TFlashExportList& list) {
    Begin();
    TFlashBuildResult result;
    const int count = Pictures();
    std::vector<int> shapeIds(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k) {
      const int cmds[24] = {
          0, 0, width_, height_,            // the shape's box in pixels
          3, 1,                             // fill style 1 from here on
          7, bitmapIds_[std::size_t(k)], 0, // style 1: the picture, repeated (not clipped)
          0, 0, 0,                          // move to the origin
          1, 0, width_,                     // edges as dy, dx: right,
          1, height_, 0,                    // down,
          1, 0, -width_,                    // left,
          1, -height_, 0,                   // and up
      };
      const int id = api_.makeShape("", 0, 24, cmds);
      if (id != first_ + count + k) {
        Abandon();
        result.RefusedEntry = k;
        return result;
      }
      shapeIds[std::size_t(k)] = id;
    }
    api_.showFrame();
    for (int k = 0; k < count; ++k) {
      const int n = FramesForDelay(list[std::size_t(k)].Delay, frameRate_);
      for (int i = 0; i < n; ++i) {
        if (k >= 1) api_.removeObject(shapeIds[std::size_t(k - 1)]);
        api_.placeObject(shapeIds[std::size_t(k)], shapeIds[std::size_t(k)]);
        api_.showFrame();
      }
    }
    begun_ = false;
    result.Written = api_.writeMovie(fileName.constData(), width_, height_, frameRate_, playFlag_ ? 1 : 0) != 0;
    return result;
  }

private:
  bool Added(int id) {
    const int k = static_cast<int>(bitmapIds_.size());
    if (k == 0) first_ = id;
    if (id != first_ + k) return Abandon();
    bitmapIds_.push_back(id);
    return true;
  }
  bool Abandon() {
    if (std::exchange(begun_, false))
      api_.writeMovie(toFile_ ? "" : scratchFile_.constData(), width_, height_, frameRate_, playFlag_ ? 1 : 0);
    return false;
  }

  const TFlashMovieApi& api_;
  const int frameRate_, width_, height_;
  const bool playFlag_;
  const QByteArray scratchFile_, movieFile_;
  bool begun_ = false;
  bool toFile_ = false;
  int first_ = 0;
  std::vector<int> bitmapIds_;
};

// Hands what the export's thread reports to the thread that started the export, in order, where
// it runs its event loop meanwhile; on that thread itself, at once. Reports still on their way
// when it goes are dropped.
class Reports : public QObject {
public:
  void Post(std::function<void()> report) {
    if (QThread::currentThread() == thread())
      report();
    else
      QMetaObject::invokeMethod(this, std::move(report), Qt::QueuedConnection);
  }
};

// How making the movie ended.
struct MadeMovie {
  enum { Written, PictureFailed, Refused, NotWritten } Outcome = NotWritten;
  int Frame = -1;  // the frame that failed, or whose picture the library refused
  QString Error;   // why the picture could not be made
};

}  // namespace

TFlashBuildResult BuildFlashMovie(int count, int frameRate, int width, int height, bool playFlag,
                                  const QByteArray& fileName, const TFlashExportList& list,
                                  const QByteArray& scratchFile) {
  MovieBuild build(frameRate, width, height, playFlag, scratchFile);
  build.Begin();
  for (int k = 0; k < count; ++k) {
    if (!build.AddPicture(list[std::size_t(k)].FileName)) {
      TFlashBuildResult refused;
      refused.RefusedEntry = k;
      return refused;
    }
  }
  return build.Finish(fileName, list);
}

TFlashExportOutcome ExportFlashMovie(gif::TGIFImage& image, const TFlashExportOptions& options) {
  TFlashExportOutcome outcome;
  outcome.MovieFile = WithSwfExtension(options.MovieFile);
  const int frameRate = std::clamp(options.FrameRate, 1, 30);
  const int frames = image.Images().GetCount();

  // The limits first: nothing is written for a movie the library cannot hold.
  if (image.GetWidth() == 0 || image.GetHeight() == 0) {
    ShowMessage(Tr(texts::kNoPictureSize).arg(image.GetWidth()).arg(image.GetHeight()), MessageType::Error, kOk);
    return outcome;
  }
  // Nor for a movie whose folder cannot take it, before any picture is made.
  if (const QFileInfo movieFolder(QFileInfo(outcome.MovieFile).absolutePath());
      !movieFolder.isDir() || !movieFolder.isWritable()) {
    ShowMessage(Tr(texts::kErrorSaving).arg(outcome.MovieFile), MessageType::Error, kOk);
    return outcome;
  }
  TFlashExportList list;
  std::vector<int> entryFrames;
  for (int i = 0; i < frames; ++i) {
    gif::TGIFSubImage& frame = *image.Images().GetFrame(i);
    if (frame.IsEmpty()) continue;
    const gif::TGIFGraphicControlExtension* gce = frame.GraphicControlExtension();
    list.push_back(TFlashExportEntry{QByteArray(), gce ? gce->GetDelay() : std::uint16_t(0)});
    entryFrames.push_back(i);
  }
  if (list.size() > std::size_t(kFlashMaxPictures)) {
    ShowMessage(Tr(texts::kFlashTooManyFrames).arg(kFlashMaxPictures), MessageType::Error, kOk);
    return outcome;
  }
  if (const long long movieFrames = FlashMovieFrames(list, frameRate); movieFrames > kFlashMaxMovieFrames) {
    ShowMessage(Tr(texts::kFlashTooLong).arg(frameRate).arg(movieFrames).arg(kFlashMaxMovieFrames), MessageType::Error,
                kOk);
    return outcome;
  }

  // A private folder (mode 0700, a fresh name) for an abandoned movie, removed with everything in it.
  const QString base = options.TempFolder.isEmpty() ? QDir::tempPath() : options.TempFolder;
  QTemporaryDir folder(QDir(base).filePath(QStringLiteral("ZQF-XXXXXX")));
  if (!folder.isValid()) {
    ShowMessage(Tr(texts::kNoFlashTempFolder), MessageType::Warning, kOk);
    return outcome;
  }

  platform::JpegOptions jpeg;
  jpeg.Quality = std::clamp(options.JpegQuality, 1, 100);
  jpeg.FullChroma = true;  // frames are flat colours with sharp edges
  const QByteArray movie = QFile::encodeName(outcome.MovieFile);
  const QByteArray scratch = QFile::encodeName(folder.filePath(QStringLiteral("abandoned.swf")));
  IProgress* progress = ProgressSink();
  Reports reports;
  // Frames are finished (their pictures in the movie) in order; each one is told.
  int told = 0;
  auto tellUpTo = [&](int end) {
    if (told >= end) return;
    const int from = std::exchange(told, end);
    reports.Post([&options, progress, frames, from, end] {
      for (int f = from; f < end; ++f) {
        if (progress && frames > 1) progress->Progress(1, f * 100 / (frames - 1), QString());
        if (options.FrameDone) options.FrameDone(f, frames);
      }
    });
  };

  // The whole movie is made on a thread of its own while this one keeps the window painted; the
  // image is only read there, and long work keeps the editor from changing it meanwhile. On that
  // thread the pictures are encoded one at a time, in order, on a thread of their own, while it
  // composites the next frames and hands each finished picture's bytes to the library.
  MadeMovie made;
  auto makeMovie = [&] {
    MovieBuild build(frameRate, image.GetWidth(), image.GetHeight(), HasLoopExtension(image), scratch, movie);
    int failing = 0;
    try {
      // Each picture is encoded from the screen it was drawn on: the compositor draws the next ones
      // on its other screens meanwhile.
      const int waiting =
          PictureEncoder::Waiting(std::size_t(image.GetWidth()) * std::size_t(image.GetHeight()) * 3);
      gif::TGIFCompositor screen(image, options.Backdrop, gif::PixelFormat::pf24bit, waiting);
      PictureEncoder encoder(jpeg, waiting);
      // Puts the oldest picture given to the encoder into the movie and tells the frames up to the next one.
      auto addOldest = [&](int next) {
        failing = encoder.OldestFrame();
        const bool taken = build.AddPicture(encoder.TakeOldest());
        if (!taken) {
          made.Outcome = MadeMovie::Refused;
          made.Frame = failing;
          return false;
        }
        tellUpTo(encoder.HasPictures() ? encoder.OldestFrame() : next);
        return true;
      };
      for (int current = 0; current < frames; ++current) {
        if (image.Images().GetFrame(current)->IsEmpty()) {
          if (!encoder.HasPictures()) tellUpTo(current + 1);
          continue;
        }
        if (!encoder.HasFreeSlot() && !addOldest(current)) return;
        const gif::Bitmap* picture = nullptr;
        try {
          failing = current;
          picture = &screen.Render(current);
        } catch (...) {
          // An earlier frame's failure is the one to tell.
          while (encoder.HasPictures())
            if (!addOldest(current)) return;
          failing = current;
          throw;
        }
        encoder.Encode(current, *picture);
      }
      while (encoder.HasPictures())
        if (!addOldest(frames)) return;
      tellUpTo(frames);
    } catch (const std::exception& e) {
      made.Outcome = MadeMovie::PictureFailed;
      made.Frame = failing;
      made.Error = QString::fromLocal8Bit(e.what());
      return;
    }
    reports.Post([] { EditorView()->StatusText(2, Tr(texts::kMakingFlashMovie)); });
    const TFlashBuildResult built = build.Finish(movie, list);
    if (built.RefusedEntry >= 0) {
      made.Outcome = MadeMovie::Refused;
      made.Frame = entryFrames[std::size_t(built.RefusedEntry)];
    } else {
      made.Outcome = built.Written ? MadeMovie::Written : MadeMovie::NotWritten;
    }
  };
  {
    BusyScope busy;
    RunAsideOn(image, makeMovie, Tr(texts::kConvertingToFlash));
  }

  switch (made.Outcome) {
    case MadeMovie::PictureFailed:
      ShowMessage(Tr(texts::kFlashPictureFailed).arg(made.Frame).arg(made.Error), MessageType::Error, kOk);
      return outcome;
    case MadeMovie::Refused:
      ShowMessage(Tr(texts::kFlashPictureRefused).arg(made.Frame), MessageType::Error, kOk);
      return outcome;
    case MadeMovie::NotWritten:
      ShowMessage(Tr(texts::kErrorSaving).arg(outcome.MovieFile), MessageType::Error, kOk);
      return outcome;
    case MadeMovie::Written:
      break;
  }
  if (!QFileInfo::exists(outcome.MovieFile)) {
    ShowMessage(Tr(texts::kErrorSaving).arg(outcome.MovieFile), MessageType::Error, kOk);
    return outcome;
  }
  outcome.Written = true;
  return outcome;
}

QString FlashHTML(int width, int height, const QString& movieName) {
  const QString url = QString::fromLatin1(QUrl::toPercentEncoding(movieName));
  const QStringList lines = {
      QStringLiteral("<!-- Created with Larkspur GIF Movinta %1 -->").arg(QLatin1String(kMakerWebPage)),
      QString(),
      QStringLiteral("<OBJECT classid=\"clsid:D27CDB6E-AE6D-11cf-96B8-444553540000\""),
      QStringLiteral("  codebase=\"%1#version=4,0,0,0\"").arg(QLatin1String(kFlashPlayerCabinet)),
      QStringLiteral("  ID=Untitled WIDTH=%1 HEIGHT=%2>").arg(width).arg(height),
      QStringLiteral("<PARAM NAME=movie VALUE=\"%1\">").arg(url),
      QStringLiteral("<PARAM NAME=quality VALUE=high>"),
      QStringLiteral("<PARAM NAME=loop VALUE=false>"),
      QStringLiteral("<EMBED src=\"%1\" loop=false quality=high").arg(url),
      QStringLiteral("  WIDTH=%1 HEIGHT=%2 TYPE=\"application/x-shockwave-flash\"").arg(width).arg(height),
      QStringLiteral("  PLUGINSPAGE=\"%1?P1_Prod_Version=ShockwaveFlash\">").arg(QLatin1String(kFlashPlayerDownload)),
      QStringLiteral("</EMBED>"),
      QStringLiteral("</OBJECT>"),
  };
  return lines.join(QStringLiteral("\r\n"));
}

}  // namespace movinta::editor
