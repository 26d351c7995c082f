// Editing a 300-frame 640 x 480 animation the way the editor edits it: each command with its undo
// entries and its working-copy write. One-frame edits: a delay, a disposal, a frame added, a frame
// deleted, and a picture edit that keeps the whole animation for its undo (as the palette editor's
// deleting edits, the optimiser and every animation-wide command do). Commands over many frames:
// a delay on all 300, deleting 50, pasting 50 and resizing. giflib writing the same animation
// whole is timed in the same run (ratio: giflib's whole write / our command; above 1 means the
// command costs less than writing the animation once). Undo is timed for entries where one frame
// changed and where every frame changed (a Change Global Palette, a resize), beside its target, and
// after each undo the image is checked against the image before the edit: every frame's pixels,
// bounds and colours, and the working copy's bytes.
#include <gif_lib.h>

#include "bench/common/editor_probes.h"
#include "bench/common/footage_animation.h"
#include "bench/common/machine.h"
#include "editor/model/document.h"
#include "editor/commands/frame_commands.h"
#include "editor/model/registry.h"
#include "editor/model/settings.h"
#include "editor/model/undo_captions.h"
#include "editor/model/undo_records.h"
#include "gif/encoded_data_cache.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QEvent>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace movinta::editor;
using bench::LoopTurns;
using bench::StripView;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kWidth = 640, kHeight = 480, kFrames = 300, kEdits = 10;

double Ms(Clock::time_point since) { return std::chrono::duration<double, std::milli>(Clock::now() - since).count(); }

std::unique_ptr<gif::TGIFImage> MakeAnimation() {
  auto image = std::make_unique<gif::TGIFImage>();
  bench::MakeFootageAnimation(*image, kWidth, kHeight, kFrames);
  return image;
}

class Dialogs : public IEditDialogs {
public:
  std::optional<ResizeChoice> AskResize(int, int) override { return ResizeChoice{kWidth / 2, kHeight / 2}; }
};

// What an undo must bring back: each frame's bounds, pixels and the colours they index (by hash),
// and the bytes of the working copy.
struct Snapshot {
  std::vector<QByteArray> Frames;
  QByteArray WorkingCopy;
};

// The bytes where the two differ only in 0x20, the sorted flag of a colour table (reading a file
// back drops it, so a snapshot is written without it); -1 when they differ otherwise.
int SortedFlagsOnly(const QByteArray& a, const QByteArray& b) {
  if (a.size() != b.size()) return -1;
  int flags = 0;
  for (qsizetype i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) {
      if ((a[i] ^ b[i]) != 0x20) return -1;
      ++flags;
    }
  return flags;
}

Snapshot Take(TMDIChild& document, const TGIFImage& image) {
  Snapshot s;
  for (int i = 0; i < image.Images().GetCount(); ++i) {
    const gif::TGIFSubImage& f = *image.Images().GetFrame(i);
    QCryptographicHash h(QCryptographicHash::Sha1);
    const std::uint16_t bounds[4] = {f.GetLeft(), f.GetTop(), f.GetWidth(), f.GetHeight()};
    h.addData(QByteArrayView(reinterpret_cast<const char*>(bounds), sizeof bounds));
    const std::uint8_t* pixels = f.Data();
    h.addData(QByteArrayView(reinterpret_cast<const char*>(pixels), static_cast<qsizetype>(f.DataSize())));
    // The colours the pixels index: a table read back from a file is padded to a power of two, with
    // entries no pixel uses.
    const std::uint8_t used = f.DataSize() == 0 ? 0 : *std::max_element(pixels, pixels + f.DataSize());
    const gif::TGIFColorMap& map = f.GetActiveColorMap();
    const int colours = std::min(map.GetCount(), used + 1);
    h.addData(QByteArrayView(reinterpret_cast<const char*>(map.Data()),
                             static_cast<qsizetype>(colours * sizeof(gif::TGIFColor))));
    s.Frames.push_back(h.result());
  }
  if (document.FlushWorkingCopy() && !document.WorkingCopy.isEmpty()) {
    QFile file(document.WorkingCopy);
    if (file.open(QIODevice::ReadOnly)) s.WorkingCopy = file.readAll();
  }
  return s;
}

// Counts the undos checked and those that did not bring the image back, saying which loudly.
struct UndoCheck {
  int Checked = 0;
  int Failed = 0;
  int SortedFlagsDropped = 0;
  void Compare(const char* what, const Snapshot& before, const Snapshot& after) {
    ++Checked;
    QString wrong;
    if (after.Frames.size() != before.Frames.size())
      wrong = QStringLiteral("%1 frames, %2 before the edit").arg(after.Frames.size()).arg(before.Frames.size());
    else
      for (std::size_t i = 0; i < before.Frames.size() && wrong.isEmpty(); ++i)
        if (after.Frames[i] != before.Frames[i]) wrong = QStringLiteral("frame %1 differs").arg(i);
    if (wrong.isEmpty() && before.WorkingCopy.isEmpty()) wrong = QStringLiteral("no working copy was written");
    if (wrong.isEmpty() && after.WorkingCopy != before.WorkingCopy) {
      const int flags = SortedFlagsOnly(before.WorkingCopy, after.WorkingCopy);
      if (flags < 0) wrong = QStringLiteral("the working copy's bytes differ");
      else SortedFlagsDropped += flags;
    }
    if (wrong.isEmpty()) return;
    ++Failed;
    std::fprintf(stderr, "UNDO CHECK FAILED at undo %d, of %s: %s\n", Checked, what, wrong.toUtf8().constData());
  }
};

double GiflibWholeWrite(gif::TGIFImage& image, const std::string& path) {
  const auto start = Clock::now();
  int error = 0;
  GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
  ColorMapObject* map = GifMakeMapObject(256, nullptr);
  for (int c = 0; c < 256; ++c) map->Colors[c] = {static_cast<GifByteType>(c), static_cast<GifByteType>(c),
                                                   static_cast<GifByteType>(c)};
  EGifPutScreenDesc(gif, kWidth, kHeight, 8, 0, map);
  for (int i = 0; i < image.Images().GetCount(); ++i) {
    gif::TGIFSubImage& f = *image.Images().GetFrame(i);
    GifByteType gce[4] = {0, 10, 0, 0};
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, gce);
    EGifPutImageDesc(gif, 0, 0, kWidth, kHeight, false, nullptr);
    for (int y = 0; y < kHeight; ++y) EGifPutLine(gif, f.Data() + y * kWidth, kWidth);
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return Ms(start);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QTemporaryDir tmp;
  qputenv("TMPDIR", tmp.path().toLocal8Bit());
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, tmp.path());
  Dialogs dialogs;
  bench::EditorStandIns standIns(dialogs);
  StripView& view = standIns.View;

  TDocuments documents;
  TMDIChild* document = documents.NewDocument();
  ReplaceSharedImage(MakeAnimation());
  TFrameCommands commands(documents);
  auto image = [] () -> TGIFImage& { return *SharedImage(); };

  auto start = Clock::now();
  document->SetModified(true);
  const double firstWrite = Ms(start);

  auto timeEach = [&](const auto& edit) {
    double total = 0;
    for (int e = 0; e < kEdits; ++e) {
      start = Clock::now();
      edit(e);
      total += Ms(start);
    }
    return total / kEdits;
  };
  // A delay typed for a frame, and a disposal chosen: a graphic control entry each.
  const double delayEdit = timeEach([&](int e) { commands.ApplyFrameProperties(150 + e, 1, 20 + e, -1); });
  const double disposalEdit = timeEach([&](int e) { commands.ApplyFrameProperties(150 + e, 2, -1, 1 + e % 3); });
  // A picture added after frame 100 (kept palettes, so only the new frame changes), and a frame
  // deleted, whose undo keeps the frame.
  WriteSetting(QString::fromLatin1(sections::kSettings), QStringLiteral("PaletteType"), QString(), true, 2);
  const gif::Bitmap picture = image().Images().GetFrame(7)->GetBitmap();
  const double addFrame = timeEach([&](int e) { commands.InsertBitmapFrame(picture, 100 + e, QStringLiteral("Add Frame")); });
  const double deleteFrame = timeEach([&](int e) {
    view.SetSelection(120 + e, 120 + e);
    commands.DeleteFrames();
  });
  // A frame's pixels changed by a command whose undo keeps the whole animation.
  const auto pictureEdit = [&](int e) {
    RecordAnimationChange(*document, 100 + e, undo_captions::Caption(undo_captions::kChangeGlobalPalette));
    gif::TGIFSubImage& f = *image().Images().GetFrame(100 + e);
    for (std::size_t p = 0; p < f.DataSize(); p += 97) f.Data()[p] ^= 1;
    f.FreeBitmap();
    document->SetModified(true);
  };
  UndoCheck check;
  // The image before each edit, taken outside the timing, for the undo that follows.
  std::vector<Snapshot> before;
  const auto checkedEdit = [&](int e) {
    const auto paused = Clock::now();
    before.push_back(Take(*document, image()));
    start += Clock::now() - paused;
    pictureEdit(e);
  };
  const auto checkedUndo = [&](int) {
    commands.Undo();
    const auto paused = Clock::now();
    check.Compare("a one-frame edit", before.back(), Take(*document, image()));
    before.pop_back();
    start += Clock::now() - paused;
  };
  // The same undo decoding on every core and on one, as on a machine whose other cores are busy:
  // taken in turns, so that neither gets the quieter moments of a shared machine or the later
  // place in the run.
  double undoAll = 0, undoOneThread = 0;
  const auto undosInTurn = [&](int first) {
    for (int e = 0; e < kEdits; ++e) {
      const bool one = (e + first) % 2 == 1;
      gif::GIFDefaults().DecodeThreads = one ? 1 : 0;
      start = Clock::now();
      checkedUndo(e);
      (one ? undoOneThread : undoAll) += Ms(start);
    }
    gif::GIFDefaults().DecodeThreads = 0;
  };
  const double pictureEditMs = timeEach(checkedEdit);
  const bool current = document->WorkingCopyCurrent();
  undosInTurn(0);
  timeEach(checkedEdit);
  undosInTurn(1);
  const double undo = undoAll / kEdits;
  undoOneThread /= kEdits;

  // Commands over many frames.
  auto timeOnce = [&](const auto& edit) {
    start = Clock::now();
    edit();
    return Ms(start);
  };
  // An entry where every frame changed: a Change Global Palette over the whole animation, and its undo.
  Snapshot whole = Take(*document, image());
  const double paletteAll = timeOnce([&] {
    RecordAnimationChange(*document, 0, undo_captions::Caption(undo_captions::kChangeGlobalPalette));
    for (int i = 0; i < image().Images().GetCount(); ++i) {
      gif::TGIFSubImage& f = *image().Images().GetFrame(i);
      for (std::size_t p = 0; p < f.DataSize(); p += 97) f.Data()[p] ^= 1;
      f.FreeBitmap();
    }
    document->SetModified(true);
  });
  const double paletteAllUndo = timeOnce([&] { commands.Undo(); });
  check.Compare("a palette change of every frame", whole, Take(*document, image()));
  // Entries recorded, counting those the history's limit freed again.
  const int entries = document->History.Count() + document->History.Trimmed();
  view.SetSelection(0, image().Images().GetCount() - 1);
  const double delayAll = timeOnce([&] { commands.ApplyDelayToSelection(33); });
  const int delayEntries = document->History.Count() + document->History.Trimmed() - entries;
  view.SetSelection(200, 249);
  commands.CopyFrames();
  const double delete50 = timeOnce([&] { commands.DeleteFrames(); });
  view.SetSelection(10, 10);
  LoopTurns turns;
  turns.Start();
  const double paste50 = timeOnce([&] { commands.Paste(false); });
  turns.Stop();
  const int pasteTurns = turns.Count();
  const double pasteHeld = turns.LongestMs();
  const int frames = image().Images().GetCount();
  whole = Take(*document, image());
  turns.Start();
  const double resize = timeOnce([&] { commands.ResizeAnimationCommand(); });
  turns.Stop();
  const int resizeTurns = turns.Count();
  const double resizeHeld = turns.LongestMs();
  const bool allCurrent = document->WorkingCopyCurrent();
  const double resizeUndo = timeOnce([&] { commands.Undo(); });
  check.Compare("the resize", whole, Take(*document, image()));

  // The same write with nothing cached, for reference.
  ReplaceSharedImage(MakeAnimation());
  std::shared_ptr<gif::TGIFEncodedDataCache> cache = std::exchange(image().EncodedDataCache, nullptr);
  start = Clock::now();
  const std::size_t bytes = image().SaveToMemory().size();
  const double uncached = Ms(start);
  image().EncodedDataCache = cache;

  const double giflib = GiflibWholeWrite(image(), (tmp.path() + QStringLiteral("/giflib.gif")).toStdString());
  // Edits run on the GUI thread; an undo that reads a snapshot back decodes on the library's threads.
  bench::PrintMachine(QStringLiteral("edits on the GUI thread, undo decoding on %1 (and on 1 where said)")
                          .arg(gif::TGIFLoadOptions{}.EffectiveDecodeThreads())
                          .toUtf8()
                          .constData());
  std::printf("bench_frame_edit: %d frames of %d x %d, working copy %zu bytes%s\n", kFrames, kWidth, kHeight, bytes,
              current && allCurrent ? "" : " (WRITE FAILED)");
  std::printf("  first working-copy write (everything encoded):   %8.1f ms\n", firstWrite);
  std::printf("  whole write, nothing cached (ours):              %8.1f ms\n", uncached);
  std::printf("  whole write by giflib:                           %8.1f ms\n", giflib);
  std::printf("one frame, with undo entry and working copy       time ms   giflib/this\n");
  const auto row = [giflib](const char* name, double ms) { std::printf("  %-46s %8.1f   %8.2f\n", name, ms, giflib / ms); };
  row("delay", delayEdit);
  row("disposal", disposalEdit);
  row("add a frame", addFrame);
  row("delete a frame", deleteFrame);
  row("picture edit, whole-animation undo entry", pictureEditMs);
  row("undo (of the above, one at a time)", undo);
  row("same undo, decoding on one thread, in turns", undoOneThread);
  std::printf("many frames, one command                          time ms   giflib/this\n");
  row("delay on all 300 frames", delayAll);
  row("palette change of every frame", paletteAll);
  row("undo of it", paletteAllUndo);
  row("delete 50 frames", delete50);
  row("paste 50 frames", paste50);
  row("resize to half", resize);
  row("undo of the resize", resizeUndo);
  std::printf("  (undo entries of the delay on all: %d; frames after the paste: %d)\n", delayEntries, frames);
  // Long work hands the event loop a turn every 100 ms or so, so the window stays painted.
  std::printf("  (event loop: paste %d turns, held at most %.1f ms; resize %d turns, held at most %.1f ms)\n", pasteTurns,
              pasteHeld, resizeTurns, resizeHeld);
  const auto target = [](const char* name, double ms) {
    std::printf("undo of a whole-animation entry, %-31s %8.1f ms (target under 100: %s)\n", name, ms,
                ms < 100 ? "met" : "NOT met");
  };
  target("one frame changed:", undo);
  target("every frame changed (palette):", paletteAllUndo);
  target("every frame changed (resize):", resizeUndo);
  std::printf("undo check: %d undos, each compared with the image before its edit (every frame's pixels, bounds and\n"
              "  the colours they index, and the working copy's bytes): %s\n",
              check.Checked, check.Failed == 0 ? "all equal" : "SOME DIFFER (see above)");
  if (check.SortedFlagsDropped > 0)
    std::printf("  (the working copy after undo lacked %d colour tables' sorted flag, which a snapshot read back drops;\n"
                "  otherwise byte for byte)\n",
                check.SortedFlagsDropped);
  return current && allCurrent && check.Failed == 0 ? 0 : 1;
}
