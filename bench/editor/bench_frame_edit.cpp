// One frame of a 300-frame 640 x 480 animation edited the way the editor edits it: the undo
// entry, the change, and the working-copy write. Frames the edit left alone are not encoded
// again, so an edit costs far less than writing the animation whole, which giflib is timed doing
// in the same run (ratio: giflib's whole write / our edit; above 1 means the edit is cheaper).
#include <gif_lib.h>

#include "editor/model/document.h"
#include "editor/model/frame_commands.h"
#include "editor/model/settings.h"
#include "gif/encoded_data_cache.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <random>

using namespace movinta::editor;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kWidth = 640, kHeight = 480, kFrames = 300, kEdits = 10;

double Ms(Clock::time_point since) { return std::chrono::duration<double, std::milli>(Clock::now() - since).count(); }

// Smooth bands with some noise, so that frames compress like real footage, and each differs.
std::unique_ptr<gif::TGIFImage> MakeAnimation() {
  auto image = std::make_unique<gif::TGIFImage>();
  for (int c = 0; c < 256; ++c) image->GetGlobalColorMap().Add(static_cast<gif::TColor>(c * 0x010101));
  image->SetWidth(kWidth);
  image->SetHeight(kHeight);
  std::mt19937 random(7);
  for (int i = 0; i < kFrames; ++i) {
    auto* frame = new gif::TGIFSubImage(image.get());
    frame->SetBounds(0, 0, kWidth, kHeight);
    std::uint8_t* p = frame->Data();
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x)
        p[y * kWidth + x] = static_cast<std::uint8_t>(((x + i) / 8 + y / 16 + (random() % 8 == 0 ? random() % 4 : 0)) & 0xFF);
    image->Add(frame);
    SetFrameDelay(*frame, 10);
  }
  AddLoopExtension(*image, 0, 0);
  return image;
}

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

  TDocuments documents;
  TMDIChild* document = documents.NewDocument();
  ReplaceSharedImage(MakeAnimation());
  TFrameCommands commands(documents);
  TGIFImage& image = *SharedImage();

  auto start = Clock::now();
  document->SetModified(true);
  const double firstWrite = Ms(start);

  // A delay typed for a frame: its undo entry and the working-copy write.
  double delayEdits = 0;
  for (int e = 0; e < kEdits; ++e) {
    start = Clock::now();
    commands.ApplyFrameProperties(150 + e, 1, 20 + e, -1);
    delayEdits += Ms(start);
  }
  // A frame's picture changed: only that frame is encoded again.
  double pictureEdits = 0;
  for (int e = 0; e < kEdits; ++e) {
    start = Clock::now();
    document->AddUndoEntry(5, 3, -1, -1, 100 + e, QStringLiteral("Change Delay"));
    gif::TGIFSubImage& f = *image.Images().GetFrame(100 + e);
    for (std::size_t p = 0; p < f.DataSize(); p += 97) f.Data()[p] ^= 1;
    document->SetModified(true);
    pictureEdits += Ms(start);
  }
  const bool current = document->WorkingCopyCurrent();

  // The same write with nothing cached, for reference.
  std::shared_ptr<gif::TGIFEncodedDataCache> cache = std::exchange(image.EncodedDataCache, nullptr);
  start = Clock::now();
  const std::size_t bytes = image.SaveToMemory().size();
  const double uncached = Ms(start);
  image.EncodedDataCache = cache;

  const double giflib = GiflibWholeWrite(image, (tmp.path() + QStringLiteral("/giflib.gif")).toStdString());
  const double perDelayEdit = delayEdits / kEdits, perPictureEdit = pictureEdits / kEdits;
  std::printf("bench_frame_edit: %d frames of %d x %d, working copy %zu bytes%s\n", kFrames, kWidth, kHeight, bytes,
              current ? "" : " (WRITE FAILED)");
  std::printf("  first working-copy write (everything encoded): %8.1f ms\n", firstWrite);
  std::printf("  delay edit + undo entry + working copy:        %8.1f ms\n", perDelayEdit);
  std::printf("  picture edit + undo entry + working copy:      %8.1f ms\n", perPictureEdit);
  std::printf("  whole write, nothing cached (ours):            %8.1f ms\n", uncached);
  std::printf("  whole write by giflib:                         %8.1f ms\n", giflib);
  std::printf("  ratio giflib whole write / delay edit:   %6.2f\n", giflib / perDelayEdit);
  std::printf("  ratio giflib whole write / picture edit: %6.2f\n", giflib / perPictureEdit);
  return current ? 0 : 1;
}
