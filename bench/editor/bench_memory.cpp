// The memory a 300-frame 640 x 480 animation holds once it is open the way the editor opens it:
// read, frame 0 shown, the frame strip shown, and its working copy written after an edit. What
// the heap holds beyond what it held before is set against the animation's own needs: its
// pixels, the bitmaps its frames have rendered and its encoded size (the file); the goal is at
// most those plus 10%. Prints the ratio held / needs.
//   bench_memory
#include "bench/common/footage_animation.h"
#include "bench/common/machine.h"
#include "editor/frame_strip.h"
#include "editor/model/document.h"
#include "editor/commands/frame_commands.h"
#include "editor/model/working_image.h"

#include <QApplication>
#include <QFileInfo>
#include <QTemporaryDir>

#include <malloc.h>

#include <cstdio>

using namespace movinta::editor;

namespace {

constexpr int kWidth = 640, kHeight = 480, kFrames = 300;

// Bytes the heap holds now, small blocks and mapped ones.
std::size_t HeapInUse() {
  malloc_trim(0);
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

void WriteAnimation(const QString& path) {
  gif::TGIFImage image;
  bench::MakeFootageAnimation(image, kWidth, kHeight, kFrames);
  image.SaveToFile(path.toStdString());
}

struct Needs {
  std::size_t pixels = 0, bitmaps = 0, rendered = 0;
};

Needs NeedsOf(gif::TGIFImage& image) {
  Needs n;
  for (int i = 0; i < image.Images().GetCount(); ++i) {
    gif::TGIFSubImage& f = *image.Images().GetFrame(i);
    n.pixels += f.DataSize();
    if (!f.HasBitmap()) continue;
    const gif::Bitmap& b = f.GetBitmap();
    n.bitmaps += b.RowBytes() * static_cast<std::size_t>(b.Height()) + b.Colors().size() * sizeof(b.Colors()[0]);
    const gif::Bitmap& mask = f.Mask();
    n.bitmaps += mask.RowBytes() * static_cast<std::size_t>(mask.Height());
    ++n.rendered;
  }
  return n;
}

void Report(const char* when, std::size_t held, const Needs& needs, std::size_t encoded) {
  const std::size_t total = needs.pixels + needs.bitmaps + encoded;
  std::printf("%s: holds %.1f MB; pixels %.1f MB + %zu bitmaps %.1f MB + encoded %.1f MB = %.1f MB; ratio %.2f "
              "(goal at most 1.10)\n",
              when, held / 1e6, needs.pixels / 1e6, needs.rendered, needs.bitmaps / 1e6, encoded / 1e6, total / 1e6,
              static_cast<double>(held) / static_cast<double>(total));
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QTemporaryDir tmp;
  qputenv("TMPDIR", tmp.path().toLocal8Bit());
  const QString path = tmp.filePath(QStringLiteral("long.gif"));
  WriteAnimation(path);
  const std::size_t encoded = static_cast<std::size_t>(QFileInfo(path).size());

  TDocuments documents;
  TFrameCommands commands(documents);
  TFrameStrip strip(commands);
  strip.resize(1280, strip.CellHeight() + 40);
  strip.show();
  app.processEvents();
  const std::size_t before = HeapInUse();

  // Opened as File > Open does it, frame 0 shown, the strip filled and painted.
  TMDIChild* document = documents.OpenDocument(path);
  if (!document) {
    std::fprintf(stderr, "the animation did not open\n");
    return 1;
  }
  gif::TGIFImage& image = *SharedImage();
  image.Images().GetFrame(0)->GetBitmap();
  strip.RepaintCells();
  strip.repaint();
  app.processEvents();
  // Memory, not time; the load decodes on the library's threads.
  bench::PrintMachine(QStringLiteral("the load decoding on %1, the rest on the GUI thread")
                          .arg(gif::TGIFLoadOptions{}.EffectiveDecodeThreads())
                          .toUtf8()
                          .constData());
  Report("open, frame 0 and strip shown", HeapInUse() - before, NeedsOf(image), encoded);

  // The first edit writes the working copy; the encoded-data cache keeps what it wrote.
  document->SetModified(true);
  app.processEvents();
  Report("after the working copy is written", HeapInUse() - before, NeedsOf(image), encoded);
  return 0;
}
