// How long the editor's window is held by the calls a user or a script makes on a big animation:
// the editor runs as its own process on a private session bus, one client makes the calls, and a
// second client asks Application.VersionText every 20 ms. The longest wait between two answers
// that overlaps a call is how long that call held the window. The animation is FFmpeg's own
// output, noise over a test pattern with a full-statistics palette (300 frames of 800 x 600 by
// default; `bench_window FRAMES WIDTH HEIGHT` for others). Save As Flash runs from its menu item,
// its dialog answered by an add-in of the benchmark (bench_window_answers.cpp). Then a photo of
// 6000 x 6000 (JPEG) and one of 7000 x 7000 (PNG) are opened into the animation and into no
// animation, with the answers to the import's questions remembered as a user who ticked "Make this
// the default" has them.
#include "bench/common/machine.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr qint64 kTargetMs = 200;
const QString kRoot = QStringLiteral("/com/larkspur/Movinta");

// Answers of the asking client, as times since the start of the run.
class Pinger {
public:
  Pinger(const QString& service, const QElapsedTimer& clock) : service_(service), clock_(clock) {}
  ~Pinger() { Stop(); }

  void Start() {
    thread_ = std::thread([this] {
      QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("pinger"));
      QDBusInterface props(service_, kRoot + QStringLiteral("/Application"),
                           QStringLiteral("org.freedesktop.DBus.Properties"), bus);
      props.setTimeout(600000);
      while (!stop_) {
        const qint64 asked = clock_.elapsed();
        props.call(QStringLiteral("Get"), QStringLiteral("com.larkspur.Movinta.Application"),
                   QStringLiteral("VersionText"));
        {
          std::lock_guard lock(mutex_);
          answers_.push_back(clock_.elapsed());
        }
        const qint64 next = asked + 20 - clock_.elapsed();
        if (next > 0) QThread::msleep(static_cast<unsigned long>(next));
      }
      QDBusConnection::disconnectFromBus(QStringLiteral("pinger"));
    });
  }
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }

  // The longest wait between two answers (or the call's own ends) that overlaps [from, to].
  qint64 LongestWait(qint64 from, qint64 to) {
    // The answer that ends the call's last wait may come just after the call ends.
    QThread::msleep(60);
    std::lock_guard lock(mutex_);
    qint64 longest = 0, previous = -1;
    for (qint64 at : answers_) {
      if (previous >= 0 && at >= from && previous <= to) longest = std::max(longest, at - previous);
      previous = at;
      if (at > to) break;
    }
    if (previous >= 0 && previous < to) longest = std::max(longest, to - std::max(previous, from));
    return longest;
  }

private:
  QString service_;
  const QElapsedTimer& clock_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex mutex_;
  std::vector<qint64> answers_;
};

QByteArray NoisePng(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  auto* random = QRandomGenerator::global();
  for (int y = 0; y < height; ++y) {
    auto* line = reinterpret_cast<quint32*>(image.scanLine(y));
    for (int x = 0; x < width; ++x) line[x] = 0xff000000u | (random->generate() & 0xffffffu);
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

// A photo-like picture: smooth light over the frame with some grain, as a camera gives.
bool WritePhoto(const QString& path, int width, int height, const char* format) {
  QImage image(width, height, QImage::Format_RGB32);
  if (image.isNull()) return false;
  auto* random = QRandomGenerator::global();
  for (int y = 0; y < height; ++y) {
    auto* line = reinterpret_cast<quint32*>(image.scanLine(y));
    const int g = 255 * y / height;
    for (int x = 0; x < width; ++x) {
      const quint32 grain = random->generate();
      const int r = std::clamp(255 * x / width + int(grain & 15) - 8, 0, 255);
      const int b = std::clamp((x + y) % 256 + int((grain >> 4) & 15) - 8, 0, 255);
      line[x] = qRgb(r, std::clamp(g + int((grain >> 8) & 15) - 8, 0, 255), b);
    }
  }
  return image.save(path, format, format[0] == 'J' ? 90 : -1);
}

// The import's questions answered once for all: keep the palette defaults, trim a larger picture.
bool RememberImportAnswers(const QString& configHome) {
  QDir().mkpath(configHome + QStringLiteral("/Larkspur Software"));
  QFile ini(configHome + QStringLiteral("/Larkspur Software/GIF Movinta.ini"));
  if (!ini.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  return ini.write("[Settings]\nPaletteDefaults=1\nClipDefault=1\nClipFrame=1\n") > 0;
}

bool MakeAnimation(const QString& path, int frames, int width, int height) {
  const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
  if (ffmpeg.isEmpty()) return false;
  const QString source = QStringLiteral("testsrc2=size=%1x%2:rate=25,trim=end_frame=%3,noise=alls=25:allf=t")
                             .arg(width)
                             .arg(height)
                             .arg(frames);
  const QString filter = QStringLiteral("split[a][b];[a]palettegen=stats_mode=full[p];[b][p]paletteuse=dither=sierra2_4a");
  QProcess p;
  p.start(ffmpeg, {QStringLiteral("-nostdin"), QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
                   QStringLiteral("lavfi"), QStringLiteral("-i"), source, QStringLiteral("-filter_complex"), filter, path});
  return p.waitForFinished(-1) && p.exitCode() == 0;
}

}  // namespace

int main(int argc, char** argv) {
  // A private bus, so the editor measured is the one this run starts.
  if (qEnvironmentVariableIsEmpty("MOVINTA_BENCH_PRIVATE_BUS")) {
    setenv("MOVINTA_BENCH_PRIVATE_BUS", "1", 1);
    std::vector<char*> args{const_cast<char*>("dbus-run-session"), const_cast<char*>("--")};
    for (int i = 0; i < argc; ++i) args.push_back(argv[i]);
    args.push_back(nullptr);
    execvp(args[0], args.data());
    std::perror("dbus-run-session (package dbus) is needed");
    return 2;
  }
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  QCoreApplication app(argc, argv);
  const int frames = argc > 1 ? std::max(1, atoi(argv[1])) : 300;
  const int width = argc > 2 ? std::max(1, atoi(argv[2])) : 800;
  const int height = argc > 3 ? std::max(1, atoi(argv[3])) : 600;

  QTemporaryDir dir;
  const QString gif = dir.path() + QStringLiteral("/noise.gif");
  std::printf("window held by the editor's calls on %d frames of %dx%d of FFmpeg noise (target: no wait over %lld ms)\n",
              frames, width, height, static_cast<long long>(kTargetMs));
  if (!MakeAnimation(gif, frames, width, height)) {
    std::fprintf(stderr, "ffmpeg (package ffmpeg) could not make the animation\n");
    return 2;
  }
  std::printf("file: %.1f MB\n", QFileInfo(gif).size() / 1e6);
  const QString jpeg = dir.path() + QStringLiteral("/photo.jpg"), png = dir.path() + QStringLiteral("/photo.png");
  if (!WritePhoto(jpeg, 6000, 6000, "JPEG") || !WritePhoto(png, 7000, 7000, "PNG") ||
      !RememberImportAnswers(dir.path() + QStringLiteral("/config"))) {
    std::fprintf(stderr, "the photos or the settings could not be written\n");
    return 2;
  }
  std::printf("photos: %.1f MB JPEG of 6000x6000, %.1f MB PNG of 7000x7000\n", QFileInfo(jpeg).size() / 1e6,
              QFileInfo(png).size() / 1e6);

  // The editor as a new user has it: default settings, offscreen unless a display is there.
  QProcess editor;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("HOME"), dir.path());
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path() + QStringLiteral("/config"));
  env.insert(QStringLiteral("XDG_DATA_HOME"), dir.path() + QStringLiteral("/data"));
  env.insert(QStringLiteral("XDG_CACHE_HOME"), dir.path() + QStringLiteral("/cache"));
  // Its working copies go with the run's folder: the editor is ended, not asked to quit.
  env.insert(QStringLiteral("TMPDIR"), dir.path());
  if (!env.contains(QStringLiteral("DISPLAY"))) env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  // Save As Flash asks for the movie's name: an add-in of the benchmark types it and closes the
  // snippet window that follows.
  const QString movie = dir.path() + QStringLiteral("/movie.swf");
  env.insert(QStringLiteral("MOVINTA6_ADDIN_PATH"), QStringLiteral(BENCH_WINDOW_ADDINS));
  env.insert(QStringLiteral("MOVINTA_BENCH_FLASH_MOVIE"), movie);
  editor.setProcessEnvironment(env);
  // The palette-defaults question answered once and for all ("Make default"), as a user who pastes
  // has it: the paste below asks nothing.
  {
    QSettings settings(dir.path() + QStringLiteral("/config/Larkspur Software/GIF Movinta.ini"), QSettings::IniFormat);
    settings.setValue(QStringLiteral("Settings/PaletteDefaults"), 1);
  }
  editor.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  // As the bus starts it: no welcome dialog waiting for a click.
  editor.start(QStringLiteral(MOVINTA6_PROGRAM), {QStringLiteral("--automation")});
  if (!editor.waitForStarted()) {
    std::fprintf(stderr, "the editor did not start\n");
    return 2;
  }
  const QString service = QStringLiteral("com.larkspur.Movinta.instance%1").arg(editor.processId());
  QDBusConnection bus = QDBusConnection::sessionBus();
  for (int i = 0; i < 300 && !bus.interface()->isServiceRegistered(service); ++i) QThread::msleep(50);
  if (!bus.interface()->isServiceRegistered(service)) {
    std::fprintf(stderr, "the editor did not come on the bus\n");
    return 2;
  }
  QThread::msleep(1500);  // the deferred start-up (the image browser's first scan) settles

  auto object = [&](const QString& path, const QString& interface) {
    auto* i = new QDBusInterface(service, path, interface, bus, &app);
    i->setTimeout(600000);
    return i;
  };
  QDBusInterface* application = object(kRoot + QStringLiteral("/Application"), QStringLiteral("com.larkspur.Movinta.Application"));
  QDBusInterface* document = object(kRoot + QStringLiteral("/ActiveDocument"), QStringLiteral("com.larkspur.Movinta.ActiveDocument"));
  QDBusInterface* frameList = object(kRoot + QStringLiteral("/ActiveDocument/Frames"), QStringLiteral("com.larkspur.Movinta.Frames"));
  auto frame = [&](int index, const QString& interface) {
    QDBusReply<QDBusObjectPath> path = frameList->call(QStringLiteral("Frame"), index);
    return object(path.value().path(), interface);
  };

  QElapsedTimer clock;
  clock.start();
  Pinger pinger(service, clock);
  pinger.Start();
  QThread::msleep(200);

  bool allMet = true, allAnswered = true;
  auto measure = [&](const char* what, const std::function<QDBusMessage()>& call) {
    const qint64 from = clock.elapsed();
    const QDBusMessage answer = call();
    const qint64 to = clock.elapsed();
    const qint64 held = pinger.LongestWait(from, to);
    const bool ok = answer.type() != QDBusMessage::ErrorMessage;
    allAnswered = allAnswered && ok;
    // A call that failed (or an editor that ended) measured nothing.
    const bool met = ok && held <= kTargetMs;
    allMet = allMet && met;
    std::printf("%-46s %6lld ms  window held %5lld ms  %s%s\n", what, static_cast<long long>(to - from),
                static_cast<long long>(held), met ? "met" : "NOT met",
                ok ? "" : qPrintable(QStringLiteral("  (error: ") + answer.errorMessage() + QLatin1Char(')')));
    std::fflush(stdout);
  };

  const QByteArray picture = NoisePng(width, height);
  measure("Application.OpenFile", [&] { return application->call(QStringLiteral("OpenFile"), gif); });
  QDBusInterface* frame1 = frame(1, QStringLiteral("org.freedesktop.DBus.Properties"));
  measure("Frame(1).Delay put (first working copy)", [&] {
    return frame1->call(QStringLiteral("Set"), QStringLiteral("com.larkspur.Movinta.Frame"), QStringLiteral("Delay"),
                        QVariant::fromValue(QDBusVariant(37)));
  });
  QDBusInterface* frame0 = frame(0, QStringLiteral("com.larkspur.Movinta.Frame"));
  measure("Frame(0).SetBitmap (whole-animation entry)", [&] { return frame0->call(QStringLiteral("SetBitmap"), picture); });
  measure("its Undo", [&] { return document->call(QStringLiteral("Undo")); });
  measure("one more Undo, back to the saved state", [&] { return document->call(QStringLiteral("Undo")); });
  // A frame copied and pasted through the menus, as a user does: under the default palette rule
  // the paste merges every table of the animation into one, recolouring every frame.
  auto menu = [&](const char* path) {
    QDBusReply<QDBusObjectPath> item = application->call(QStringLiteral("Menu"), QString::fromLatin1(path));
    return object(item.value().path(), QStringLiteral("com.larkspur.Movinta.MenuItem"));
  };
  QDBusInterface* copy = menu("Edit|Copy");
  QDBusInterface* paste = menu("Edit|Paste");
  copy->call(QStringLiteral("Execute"));
  measure("Edit|Paste (a frame copied, default palette rule)", [&] { return paste->call(QStringLiteral("Execute")); });
  measure("its Undo", [&] { return document->call(QStringLiteral("Undo")); });
  measure("AddFrameNoPrompts (a frame at the end)",
          [&] { return document->call(QStringLiteral("AddFrameNoPrompts"), picture, 10); });
  measure("DeleteFrame (the frame added)",
          [&] { return document->call(QStringLiteral("DeleteFrame"), frames); });
  measure("SaveDocToTempFile (a save)", [&] {
    return document->call(QStringLiteral("SaveDocToTempFile"), dir.path() + QStringLiteral("/saved.gif"));
  });
  measure("ActiveDocument.Save (the document saved)", [&] { return document->call(QStringLiteral("Save")); });
  const QDBusReply<QDBusObjectPath> flashItem =
      application->call(QStringLiteral("Menu"), QStringLiteral("File|Save As|Save As Macromedia Flash (.swf)..."));
  if (flashItem.isValid()) {
    QDBusInterface* flash = object(flashItem.value().path(), QStringLiteral("com.larkspur.Movinta.MenuItem"));
    measure("Save As Flash (its dialog answered)", [&] { return flash->call(QStringLiteral("Execute")); });
    if (!QFileInfo::exists(movie)) {
      std::printf("  Save As Flash wrote no movie\n");
      allAnswered = false;
    }
  } else {
    std::printf("Save As Flash: no such menu item (%s)\n", qPrintable(flashItem.error().message()));
    allAnswered = false;
  }
  measure("OpenFile 6000x6000 JPEG into the animation", [&] { return application->call(QStringLiteral("OpenFile"), jpeg); });
  measure("OpenFile 7000x7000 PNG into the animation", [&] { return application->call(QStringLiteral("OpenFile"), png); });
  // Saved first, so that closing asks nothing.
  document->call(QStringLiteral("Save"));
  document->call(QStringLiteral("Close"), false);
  measure("OpenFile 6000x6000 JPEG, no animation open", [&] { return application->call(QStringLiteral("OpenFile"), jpeg); });
  measure("OpenFile 7000x7000 PNG into that one", [&] { return application->call(QStringLiteral("OpenFile"), png); });
  pinger.Stop();

  bench::PrintMachine("the editor's own, as it starts them");
  std::printf("every call held the window at most %lld ms: %s\n", static_cast<long long>(kTargetMs),
              allMet ? "met" : "NOT met");
  // Quitting would ask about the changed document; nothing of it is wanted.
  editor.kill();
  editor.waitForFinished();
  return allAnswered ? 0 : 1;
}
