// Editing a 300-frame 640 x 480 animation the way the editor edits it: each command with its undo
// entries and its working-copy write. One-frame edits: a delay, a disposal, a frame added, a frame
// deleted, and a picture edit that keeps the whole animation for its undo (as the palette editor's
// deleting edits, the optimiser and every animation-wide command do). Commands over many frames:
// a delay on all 300, deleting 50, pasting 50 and resizing. giflib writing the same animation
// whole is timed in the same run (ratio: giflib's whole write / our command; above 1 means the
// command costs less than writing the animation once).
#include <gif_lib.h>

#include "bench/common/footage_animation.h"
#include "bench/common/machine.h"
#include "editor/model/document.h"
#include "editor/model/frame_commands.h"
#include "editor/model/registry.h"
#include "editor/model/settings.h"
#include "gif/encoded_data_cache.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>

using namespace movinta::editor;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kWidth = 640, kHeight = 480, kFrames = 300, kEdits = 10;

double Ms(Clock::time_point since) { return std::chrono::duration<double, std::milli>(Clock::now() - since).count(); }

std::unique_ptr<gif::TGIFImage> MakeAnimation() {
  auto image = std::make_unique<gif::TGIFImage>();
  bench::MakeFootageAnimation(*image, kWidth, kHeight, kFrames);
  return image;
}

// The frame strip: a selection the commands read.
class StripView : public IEditorView {
public:
  int SelectedFrame() const override { return first_; }
  void SetSelectedFrame(int index) override { first_ = last_ = index; }
  int SelectionFirst() const override { return first_; }
  int SelectionLast() const override { return last_; }
  void SetSelection(int first, int last) override {
    first_ = first;
    last_ = last;
  }

private:
  int first_ = 0, last_ = 0;
};

class Dialogs : public IEditDialogs {
public:
  std::optional<ResizeChoice> AskResize(int, int) override { return ResizeChoice{kWidth / 2, kHeight / 2}; }
};

class MemoryClipboard : public IClipboard {
public:
  void SetData(const QString& type, const QByteArray& data) override { data_[type] = data; }
  QByteArray Data(const QString& type) const override { return data_.value(type); }
  bool HasFormat(const QString& type) const override { return data_.contains(type); }
  void SetDataSet(const std::vector<std::pair<QString, QByteArray>>& formats) override {
    data_.clear();
    for (const auto& [type, data] : formats) data_[type] = data;
  }

private:
  QHash<QString, QByteArray> data_;
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
  StripView view;
  SetEditorView(&view);
  Dialogs dialogs;
  SetEditDialogs(&dialogs);
  MemoryClipboard clipboard;
  SetClipboard(&clipboard);

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
    document->AddUndoEntry(1, 8, -1, -1, 100 + e, QStringLiteral("Change Global Palette"));
    gif::TGIFSubImage& f = *image().Images().GetFrame(100 + e);
    for (std::size_t p = 0; p < f.DataSize(); p += 97) f.Data()[p] ^= 1;
    f.FreeBitmap();
    document->SetModified(true);
  };
  const double pictureEditMs = timeEach(pictureEdit);
  const bool current = document->WorkingCopyCurrent();
  const double undo = timeEach([&](int) { commands.Undo(); });
  // The same on one thread, as on a machine whose other cores are busy.
  gif::TGIFImage::DecodeThreads = 1;
  timeEach(pictureEdit);
  const double undoOneThread = timeEach([&](int) { commands.Undo(); });
  gif::TGIFImage::DecodeThreads = 0;

  // Commands over many frames.
  auto timeOnce = [&](const auto& edit) {
    start = Clock::now();
    edit();
    return Ms(start);
  };
  // Entries recorded, counting those the history's limit freed again.
  const int entries = document->History.Count() + document->History.Trimmed();
  view.SetSelection(0, image().Images().GetCount() - 1);
  const double delayAll = timeOnce([&] { commands.ApplyDelayToSelection(33); });
  const int delayEntries = document->History.Count() + document->History.Trimmed() - entries;
  view.SetSelection(200, 249);
  commands.CopyFrames();
  const double delete50 = timeOnce([&] { commands.DeleteFrames(); });
  view.SetSelection(10, 10);
  const double paste50 = timeOnce([&] { commands.Paste(false); });
  const int frames = image().Images().GetCount();
  const double resize = timeOnce([&] { commands.ResizeAnimationCommand(); });
  const bool allCurrent = document->WorkingCopyCurrent();

  // The same write with nothing cached, for reference.
  ReplaceSharedImage(MakeAnimation());
  std::shared_ptr<gif::TGIFEncodedDataCache> cache = std::exchange(image().EncodedDataCache, nullptr);
  start = Clock::now();
  const std::size_t bytes = image().SaveToMemory().size();
  const double uncached = Ms(start);
  image().EncodedDataCache = cache;

  const double giflib = GiflibWholeWrite(image(), (tmp.path() + QStringLiteral("/giflib.gif")).toStdString());
  // Edits run on the GUI thread; loads decode on the library's threads.
  bench::PrintMachine(gif::TGIFImage::EffectiveDecodeThreads());
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
  row("the same undo, decoding on one thread", undoOneThread);
  std::printf("many frames, one command                          time ms   giflib/this\n");
  row("delay on all 300 frames", delayAll);
  row("delete 50 frames", delete50);
  row("paste 50 frames", paste50);
  row("resize to half", resize);
  std::printf("  (undo entries of the delay on all: %d; frames after the paste: %d)\n", delayEntries, frames);
  std::printf("undo of a whole-animation entry: %.1f ms (target under 100: %s)\n", undo, undo < 100 ? "met" : "NOT MET");
  SetClipboard(nullptr);
  SetEditDialogs(nullptr);
  SetEditorView(nullptr);
  return current && allCurrent ? 0 : 1;
}
