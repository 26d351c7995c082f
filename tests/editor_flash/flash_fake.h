// A recording stand-in for libReeltide's movie exports: every call as a line of text, character
// ids handed out in sequence from 0 as the library does, 0 for a picture it cannot open or where a
// test asks for a refusal, and a small file where writeMovie is told to write. Pictures handed
// over in memory are checked to be whole JPEG files, and a folder a test names is checked to hold
// no file at that moment.
#pragma once

#include "editor/model/flash_export.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

namespace movinta::editor::testing {

struct FlashRecorder {
  QStringList Calls;
  int NextId = 0;
  int RefuseJpeg = -1;  // the makeJpeg or makeJpegData call (0-based) that answers 0 without using an id
  int JpegCalls = 0;
  bool PicturesWereJpegs = true;  // every file or block of bytes given held a JPEG at that moment
  QString WatchedFolder;          // where no file may be while a picture is handed over
  QStringList FilesWhileHandingOver;
  bool WriteOk = true;
};

inline FlashRecorder& Recorder() {
  static FlashRecorder recorder;
  return recorder;
}

inline const TFlashMovieApi& RecordingMovieApi() {
  static const TFlashMovieApi api{
      [](int rate) { Recorder().Calls << QStringLiteral("createMovie %1").arg(rate); },
      [](const char* file, int w, int h, int withAlpha, const unsigned char* alpha) {
        FlashRecorder& r = Recorder();
        QFile f(QFile::decodeName(file));
        const bool opened = f.open(QIODevice::ReadOnly);
        if (!opened || !f.read(2).startsWith("\xFF\xD8")) r.PicturesWereJpegs = false;
        r.Calls << QStringLiteral("makeJpeg %1 %2 %3 %4 %5")
                       .arg(QFileInfo(QFile::decodeName(file)).fileName())
                       .arg(w)
                       .arg(h)
                       .arg(withAlpha)
                       .arg(alpha && *alpha == 0 ? 0 : -1);
        // As the library: a file it cannot open, or a refusal asked for, gives 0 and uses no id.
        if (r.JpegCalls++ == r.RefuseJpeg || !opened) return 0;
        return r.NextId++;
      },
      [](const unsigned char* data, int size, int w, int h, int withAlpha, const unsigned char* alpha) {
        FlashRecorder& r = Recorder();
        const QByteArray bytes(reinterpret_cast<const char*>(data), size);
        if (!bytes.startsWith("\xFF\xD8") || !bytes.endsWith("\xFF\xD9")) r.PicturesWereJpegs = false;
        if (!r.WatchedFolder.isEmpty())
          for (QDirIterator files(r.WatchedFolder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
               files.hasNext();)
            r.FilesWhileHandingOver << QFileInfo(files.next()).fileName();
        r.Calls << QStringLiteral("makeJpegData %1 %2 %3 %4")
                       .arg(w)
                       .arg(h)
                       .arg(withAlpha)
                       .arg(alpha && *alpha == 0 ? 0 : -1);
        if (r.JpegCalls++ == r.RefuseJpeg) return 0;
        return r.NextId++;
      },
      [](const char* font, int code, int count, const int* cmds) {
        QStringList values;
        for (int i = 0; i < count; ++i) values << QString::number(cmds[i]);
        Recorder().Calls << QStringLiteral("makeShape '%1' %2 %3: %4")
                                .arg(QString::fromUtf8(font))
                                .arg(code)
                                .arg(count)
                                .arg(values.join(QLatin1Char(' ')));
        return Recorder().NextId++;
      },
      [] { Recorder().Calls << QStringLiteral("showFrame"); },
      [](int depth, int id) { Recorder().Calls << QStringLiteral("placeObject %1 %2").arg(depth).arg(id); },
      [](int depth) { Recorder().Calls << QStringLiteral("removeObject %1").arg(depth); },
      [](const char* file, int w, int h) {
        Recorder().Calls << QStringLiteral("setMovieFile %1 %2 %3")
                                .arg(QFileInfo(QFile::decodeName(file)).fileName())
                                .arg(w)
                                .arg(h);
        return 1;
      },
      [](const char* file, int w, int h, int rate, int play) {
        FlashRecorder& r = Recorder();
        r.Calls << QStringLiteral("writeMovie %1 %2 %3 %4 %5")
                       .arg(QFileInfo(QFile::decodeName(file)).fileName())
                       .arg(w)
                       .arg(h)
                       .arg(rate)
                       .arg(play);
        r.NextId = 0;
        if (!r.WriteOk) return 0;
        QFile out(QFile::decodeName(file));
        return out.open(QIODevice::WriteOnly) && out.write("FWS") == 3 ? 1 : 0;
      },
  };
  return api;
}

// Puts the recorder in place of the library for a scope, with a fresh record.
class RecordingLibrary {
public:
  RecordingLibrary() {
    Recorder() = FlashRecorder();
    previous_ = SetFlashMovieApi(&RecordingMovieApi());
  }
  ~RecordingLibrary() { SetFlashMovieApi(previous_); }
  FlashRecorder& operator*() { return Recorder(); }
  FlashRecorder* operator->() { return &Recorder(); }

private:
  const TFlashMovieApi* previous_;
};

}  // namespace movinta::editor::testing
