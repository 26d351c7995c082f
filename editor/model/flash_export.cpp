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

#include <cmath>
#include <optional>

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
                                  const QByteArray& scratchFile) {
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
  // first id may be 0.
  const unsigned char noAlpha = 0;
  int first = 0;
  for (int k = 0; k < count; ++k) {
    if (!PictureReadable(list[std::size_t(k)].FileName)) return abandon(k);
    const int id = api.makeJpeg(list[std::size_t(k)].FileName.constData(), width, height, 0, &noAlpha);
    if (k == 0) first = id;
    if (id != first + k) return abandon(k);
    bitmapIds[std::size_t(k)] = id;
  }
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
  int current = 0;
  try {
    gif::TGIFCompositor screen(image, options.Backdrop);
    std::size_t entry = 0;
    for (; current < frames; ++current) {
      if (!image.Images().GetFrame(current)->IsEmpty()) {
        const QString path = folder.filePath(QStringLiteral("ZQF%1.jpg").arg(current));
        // The folder is private and goes away after the export: a plain write, without the
        // flush to disk that replacing a user's file deserves.
        const std::vector<std::uint8_t> bytes = platform::EncodeJpeg(platform::PixelsOf(screen.Render(current)), jpeg);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
            file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())) != qint64(bytes.size()) ||
            !file.flush())
          throw std::runtime_error(file.errorString().toStdString());
        list[entry++].FileName = QFile::encodeName(path);
      }
      if (progress && frames > 1) progress->Progress(1, current * 100 / (frames - 1), QString());
      if (options.FrameDone) options.FrameDone(current, frames);
    }
  } catch (const std::exception& e) {
    return fail(Tr(texts::kFlashPictureFailed).arg(current).arg(QString::fromLocal8Bit(e.what())));
  }

  EditorView()->StatusText(2, Tr(texts::kMakingFlashMovie));
  const QByteArray movie = QFile::encodeName(outcome.MovieFile);
  const TFlashBuildResult built = BuildFlashMovie(static_cast<int>(list.size()), frameRate, image.GetWidth(),
                                                  image.GetHeight(), HasLoopExtension(image), movie, list,
                                                  QFile::encodeName(folder.filePath(QStringLiteral("abandoned.swf"))));
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
