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
#include <QTemporaryDir>
#include <QUrl>

#include <unistd.h>

#include <algorithm>
#include <cmath>
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

const TFlashMovieApi kReeltide{&::createMovie, &::makeJpeg,     &::makeShape, &::showFrame,
                               &::placeObject, &::removeObject, &::writeMovie};
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

// Encodes pictures one at a time, in the order they are given, on a thread of its own. Screens
// wait their turn, so that the thread goes from one picture straight to the next while the caller
// composites and writes; each picture is encoded alone, so its bytes are those of an encoding on
// the caller's thread. Where no thread can be started, pictures are encoded as they are given.
class PictureEncoder {
public:
  PictureEncoder(const platform::JpegOptions& jpeg, std::size_t screenBytes) : jpeg_(jpeg) {
    // Up to four screens within 32 MB, so that the thread has pictures to go on with while the
    // caller waits for a core (more only spread the screens over more cache); one where a screen
    // alone is bigger (nothing is composited ahead then).
    constexpr std::size_t kWaitingBytes = std::size_t(32) << 20;
    slots_.resize(std::clamp<std::size_t>(kWaitingBytes / std::max<std::size_t>(screenBytes, 1), 1, 4));
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

  // Whether a screen is free for the next picture; else the oldest picture must be taken first.
  bool HasFreeScreen() const { return given_ - taken_ < slots_.size(); }
  bool HasPictures() const { return given_ > taken_; }
  // The screen for the next picture: draw into it, then Encode.
  gif::Bitmap& FreeScreen() { return slots_[given_ % slots_.size()].Screen; }
  void Encode(int frame) {
    Slot& slot = slots_[given_ % slots_.size()];
    slot.Frame = frame;
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
  // thrown here. Its screen is free again.
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
    gif::Bitmap Screen;
    int Frame = -1;
    bool Done = true;
    std::vector<std::uint8_t> Jpeg;
    std::exception_ptr Error;
  };

  void EncodeSlot(Slot& slot) {
    try {
      slot.Jpeg = platform::EncodeJpeg(platform::PixelsOf(slot.Screen), jpeg_);
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

TFlashBuildResult BuildFlashMovie(int count, int frameRate, int width, int height, bool playFlag,
                                  const QByteArray& fileName, const TFlashExportList& list,
                                  const QByteArray& scratchFile, const std::function<void()>& picturesRead) {
  const TFlashMovieApi& api = FlashMovieApi();
  TFlashBuildResult result;
  std::vector<int> bitmapIds(static_cast<std::size_t>(count)), shapeIds(static_cast<std::size_t>(count));
  api.createMovie(frameRate);
  auto abandon = [&](int entry) {
    result.RefusedEntry = entry;
    api.writeMovie(scratchFile.constData(), width, height, frameRate, playFlag ? 1 : 0);
    return result;
  };
  // Ids come in sequence from the first one; 0 also stands for "not made", so only the very
  // first id may be 0, and only the first picture needs to be checked before the call.
  const unsigned char noAlpha = 0;
  int first = 0;
  for (int k = 0; k < count; ++k) {
    if (k == 0 && !PictureReadable(list[0].FileName)) return abandon(k);
    const int id = api.makeJpeg(list[std::size_t(k)].FileName.constData(), width, height, 0, &noAlpha);
    if (k == 0) first = id;
    if (id != first + k) return abandon(k);
    bitmapIds[std::size_t(k)] = id;
  }
  if (picturesRead) picturesRead();
  for (int k = 0; k < count; ++k) {
    const int cmds[24] = {
        0, 0, width, height,              // the shape's box in pixels
        3, 1,                             // fill style 1 from here on
        7, bitmapIds[std::size_t(k)], 0,  // style 1: the picture, repeated (not clipped)
        0, 0, 0,                          // move to the origin
        1, 0, width,                      // edges as dy, dx: right,
        1, height, 0,                     // down,
        1, 0, -width,                     // left,
        1, -height, 0,                    // and up
    };
    const int id = api.makeShape("", 0, 24, cmds);
    if (id != first + count + k) return abandon(k);
    shapeIds[std::size_t(k)] = id;
  }
  api.showFrame();
  for (int k = 0; k < count; ++k) {
    const int n = FramesForDelay(list[std::size_t(k)].Delay, frameRate);
    for (int i = 0; i < n; ++i) {
      if (k >= 1) api.removeObject(shapeIds[std::size_t(k - 1)]);
      api.placeObject(shapeIds[std::size_t(k)], shapeIds[std::size_t(k)]);
      api.showFrame();
    }
  }
  result.Written = api.writeMovie(fileName.constData(), width, height, frameRate, playFlag ? 1 : 0) != 0;
  return result;
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
  for (int i = 0; i < frames; ++i) {
    gif::TGIFSubImage& frame = *image.Images().GetFrame(i);
    if (frame.IsEmpty()) continue;
    const gif::TGIFGraphicControlExtension* gce = frame.GraphicControlExtension();
    list.push_back(TFlashExportEntry{QByteArray(), gce ? gce->GetDelay() : std::uint16_t(0)});
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

  // A private folder (mode 0700, a fresh name) for the pictures, removed with everything in it.
  const QString base = options.TempFolder.isEmpty() ? QDir::tempPath() : options.TempFolder;
  QTemporaryDir folder(QDir(base).filePath(QStringLiteral("ZQF-XXXXXX")));
  if (!folder.isValid()) {
    ShowMessage(Tr(texts::kNoFlashTempFolder), MessageType::Warning, kOk);
    return outcome;
  }

  // Hourglass and progress for the work; both end before a message shows.
  std::optional<BusyScope> busy(std::in_place);
  IProgress* progress = ProgressSink();
  bool progressShown = false;
  auto endWork = [&] {
    if (progress && progressShown) progress->Progress(2, 100, QString());
    progressShown = false;
    busy.reset();
  };
  struct EndWork {
    std::function<void()> End;
    ~EndWork() { End(); }
  } endAtExit{endWork};
  auto fail = [&](const QString& text) {
    endWork();
    ShowMessage(text, MessageType::Error, kOk);
    return outcome;
  };
  if (progress) {
    progress->Progress(0, 0, Tr(texts::kConvertingToFlash));
    progressShown = true;
  }

  platform::JpegOptions jpeg;
  jpeg.Quality = std::clamp(options.JpegQuality, 1, 100);
  jpeg.FullChroma = true;  // frames are flat colours with sharp edges

  // Pictures are encoded one at a time, in order, on a thread of their own; meanwhile this thread
  // composites the next frames and writes the finished pictures into the folder. Frames are
  // finished (written, counted, told) in order, and a failure names the first frame that failed.
  int current = 0, failing = 0, told = 0;
  std::size_t entry = 0;
  auto tellUpTo = [&](int end) {
    for (; told < end; ++told) {
      if (progress && frames > 1) progress->Progress(1, told * 100 / (frames - 1), QString());
      if (options.FrameDone) options.FrameDone(told, frames);
    }
  };
  try {
    gif::TGIFCompositor screen(image, options.Backdrop);
    PictureEncoder encoder(jpeg, std::size_t(image.GetWidth()) * std::size_t(image.GetHeight()) * 3);
    // Writes the oldest picture given to the encoder and tells the frames up to the next one.
    auto writeOldest = [&](int next) {
      failing = encoder.OldestFrame();
      const std::vector<std::uint8_t> bytes = encoder.TakeOldest();
      // The folder is private and goes away after the export: a plain write, without the
      // flush to disk that replacing a user's file deserves.
      const QString path = folder.filePath(QStringLiteral("ZQF%1.jpg").arg(failing));
      QFile file(path);
      if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
          file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())) != qint64(bytes.size()) ||
          !file.flush())
        throw std::runtime_error(file.errorString().toStdString());
      list[entry++].FileName = QFile::encodeName(path);
      tellUpTo(encoder.HasPictures() ? encoder.OldestFrame() : next);
    };
    for (; current < frames; ++current) {
      if (image.Images().GetFrame(current)->IsEmpty()) {
        if (!encoder.HasPictures()) tellUpTo(current + 1);
        continue;
      }
      if (!encoder.HasFreeScreen()) writeOldest(current);
      try {
        failing = current;
        encoder.FreeScreen() = screen.Render(current);
      } catch (...) {
        // An earlier frame's failure is the one to tell.
        while (encoder.HasPictures()) writeOldest(current);
        failing = current;
        throw;
      }
      encoder.Encode(current);
    }
    while (encoder.HasPictures()) writeOldest(frames);
    tellUpTo(frames);
  } catch (const std::exception& e) {
    return fail(Tr(texts::kFlashPictureFailed).arg(failing).arg(QString::fromLocal8Bit(e.what())));
  }

  EditorView()->StatusText(2, Tr(texts::kMakingFlashMovie));
  const QByteArray movie = QFile::encodeName(outcome.MovieFile);
  // Once the library holds every picture, their files go while it builds and writes the movie;
  // the folder goes with whatever is left below.
  std::jthread removing;
  auto removePictures = [&] {
    try {
      removing = std::jthread([&list] {
        for (const TFlashExportEntry& e : list) ::unlink(e.FileName.constData());
      });
    } catch (const std::system_error&) {
    }
  };
  const TFlashBuildResult built = BuildFlashMovie(static_cast<int>(list.size()), frameRate, image.GetWidth(),
                                                  image.GetHeight(), HasLoopExtension(image), movie, list,
                                                  QFile::encodeName(folder.filePath(QStringLiteral("abandoned.swf"))),
                                                  removePictures);
  if (removing.joinable()) removing.join();
  if (built.RefusedEntry >= 0) {
    // Which frame of the animation the entry came from.
    int frame = -1;
    for (int i = 0, seen = -1; i < frames && frame < 0; ++i)
      if (!image.Images().GetFrame(i)->IsEmpty() && ++seen == built.RefusedEntry) frame = i;
    return fail(Tr(texts::kFlashPictureRefused).arg(frame));
  }
  if (!built.Written || !QFileInfo::exists(outcome.MovieFile))
    return fail(Tr(texts::kErrorSaving).arg(outcome.MovieFile));
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
