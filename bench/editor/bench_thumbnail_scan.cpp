// The image browser's scan of a folder of 500 photos (1920 x 1080 JPEG) and 100 PNG and GIF
// pictures into 100-pixel thumbnails, side by side with GraphicsMagick's
// "gm mogrify -thumbnail 100x100" making the same thumbnails of the same files in the same run: as it
// runs by default, and split over as many one-thread processes as the scan has decoding threads, with
// the JPEG size hint, as the editor decodes.
//
//   bench_thumbnail_scan [photos] [others] [repeats]
#include "bench/common/machine.h"
#include "editor/commands/image_browser_commands.h"
#include "editor/image_browser_scan.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>
#include <cstdio>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

// The threads the scan decodes on when it is given no count: the machine's threads, one to four,
// never more than the files it is given.
int ScanThreads(int files) {
  return std::min(static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u)), std::max(files, 1));
}

// A photo-like picture: smooth gradients with some detail, different for each seed.
QImage Photo(int width, int height, int seed) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width; ++x)
      row[x] = qRgb((x + seed * 7) & 0xFF, (y * 3 + seed) & 0xFF, ((x ^ y) + seed * 13) & 0xFF);
  }
  QPainter p(&image);
  p.setBrush(QColor::fromHsv((seed * 37) % 360, 200, 220));
  p.drawEllipse(width / 4, height / 4, width / 2, height / 2);
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int photos = argc > 1 ? std::max(1, std::atoi(argv[1])) : 500;
  const int others = argc > 2 ? std::max(0, std::atoi(argv[2])) : 100;
  const int repeats = argc > 3 ? std::max(1, std::atoi(argv[3])) : 2;
  const QString gm = QStandardPaths::findExecutable(QStringLiteral("gm"));
  if (gm.isEmpty()) {
    std::fprintf(stderr, "gm (package graphicsmagick) is needed as the peer\n");
    return 1;
  }

  QTemporaryDir dir;
  if (!dir.isValid()) return 1;
  const QString folder = dir.path() + QStringLiteral("/pictures");
  QDir().mkpath(folder);
  std::printf("making %d photos and %d PNG/GIF pictures...\n", photos, others);
  std::fflush(stdout);
  const QImage photo = Photo(1920, 1080, 1);
  for (int i = 0; i < photos; ++i) {
    // One picture, a different corner each time, so the encoder works as on real photos.
    QImage shot = photo.copy();
    QPainter(&shot).fillRect((i * 53) % 1800, (i * 31) % 1000, 120, 80, QColor::fromHsv((i * 11) % 360, 255, 255));
    shot.save(folder + QStringLiteral("/photo%1.jpg").arg(i, 4, 10, QLatin1Char('0')), "JPEG", 85);
  }
  for (int i = 0; i < others; ++i) {
    // PNG pictures of 800 x 600, and GIF pictures of 320 x 240 that the peer converts from PNG
    // (Qt writes no GIF).
    const bool png = i % 2 == 0;
    const QString name = folder + QStringLiteral("/other%1").arg(i, 3, 10, QLatin1Char('0'));
    Photo(png ? 800 : 320, png ? 600 : 240, i + 100).save(name + QStringLiteral(".png"), "PNG");
    if (png) continue;
    QProcess convert;
    convert.start(gm, {QStringLiteral("convert"), name + QStringLiteral(".png"), name + QStringLiteral(".gif")});
    if (!convert.waitForFinished(-1) || convert.exitCode() != 0) std::fprintf(stderr, "gm convert failed\n");
    QFile::remove(name + QStringLiteral(".png"));
  }
  QStringList files = QDir(folder).entryList(QDir::Files, QDir::Name);

  QWidget owner;
  const int threads =
      ScanThreads(static_cast<int>(movinta::editor::CollectImageFiles(folder, movinta::editor::TImageBrowserCommands(&owner).FilterType).size()));
  // The peer as it runs by default (its own threads), and as the editor decodes: the files split over
  // as many processes as the scan has threads, each on one thread, with the JPEG size hint that lets
  // the decoder scale down while it reads.
  struct Peer {
    QString Name;
    int Processes;
    double Ms = 1e30;
  };
  Peer peers[] = {{QStringLiteral("gm mogrify -thumbnail 100x100"), 0},
                  {QStringLiteral("the same, %1 x OMP_NUM_THREADS=1 -size 100x100").arg(threads), threads}};
  double ours = 1e30;
  int made = 0;
  for (int r = 0; r < repeats; ++r) {
    movinta::editor::TImageBrowserCommands commands(&owner);
    const auto t0 = Clock::now();
    commands.ScanImageFolder(folder);
    ours = std::min(ours, Ms(t0, Clock::now()));
    made = commands.ThumbCount();

    for (Peer& peer : peers) {
      const QString out = dir.path() + QStringLiteral("/gm%1%2").arg(r).arg(peer.Processes);
      QDir().mkpath(out);
      const int processes = std::max(peer.Processes, 1);
      std::vector<std::unique_ptr<QProcess>> running;
      const auto p0 = Clock::now();
      for (int k = 0; k < processes; ++k) {
        QStringList arguments{QStringLiteral("mogrify"), QStringLiteral("-output-directory"), out};
        if (peer.Processes > 0) arguments << QStringLiteral("-size") << QStringLiteral("100x100");
        arguments << QStringLiteral("-thumbnail") << QStringLiteral("100x100");
        // Every processes-th file, so that each process gets its share of photos and of the rest.
        for (qsizetype i = k; i < files.size(); i += processes) arguments << files[i];
        auto& p = running.emplace_back(std::make_unique<QProcess>());
        p->setWorkingDirectory(folder);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (peer.Processes > 0) env.insert(QStringLiteral("OMP_NUM_THREADS"), QStringLiteral("1"));
        p->setProcessEnvironment(env);
        p->start(gm, arguments);
      }
      for (auto& p : running)
        if (!p->waitForFinished(-1) || p->exitCode() != 0) std::fprintf(stderr, "gm mogrify failed\n");
      peer.Ms = std::min(peer.Ms, Ms(p0, Clock::now()));
    }
  }
  bench::PrintMachine(QStringLiteral("%1 decoding, the GUI thread delivering").arg(threads).toUtf8().constData());
  std::printf("image browser scan, %d files (%d photos 1920x1080 JPEG, %d PNG/GIF), %d thumbnails, best of %d\n",
              static_cast<int>(files.size()), photos, others, made, repeats);
  std::printf("  %-54s  %9.1f ms\n",
              QStringLiteral("scan into 100-pixel thumbnails, %1 threads:").arg(threads).toUtf8().constData(), ours);
  for (const Peer& peer : peers)
    std::printf("  peer: %-48s  %9.1f ms, ratio scan / peer %.2f\n", peer.Name.toUtf8().constData(), peer.Ms,
                ours / peer.Ms);
  return 0;
}
