#include "editor/model/avi_transfer.h"

#include "editor/model/avi_file.h"
#include "editor/model/frame_list.h"
#include "editor/model/string_tables.h"
#include "editor/model/working_image.h"
#include "gif/color/quantize.h"
#include "gif/color/reduce.h"
#include "gif/gifimage.h"
#include "gif/render/compositor.h"
#include "platform/video/video_reader.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <unordered_map>

namespace movinta::editor {

namespace {

[[noreturn]] void Fail(const char* text) { throw AviError(text); }

gif::Bitmap ToBitmap(const platform::VideoFrame& frame) {
  const bool indexed = frame.bitsPerPixel == 8;
  gif::Bitmap bitmap(frame.width, frame.height, indexed ? gif::PixelFormat::pf8bit : gif::PixelFormat::pf24bit);
  for (int y = 0; y < frame.height; ++y)
    std::memcpy(bitmap.Scanline(y), frame.pixels.data() + std::size_t(y) * frame.rowBytes, frame.rowBytes);
  if (indexed) {
    gif::Palette palette;
    palette.reserve(frame.palette.size());
    for (const auto& c : frame.palette) palette.push_back(gif::Rgb{c[0], c[1], c[2]});
    bitmap.SetColors(std::move(palette));
  }
  return bitmap;
}

// The colours of 24-bit pictures mapped to one table: exactly while they hold at most 256 colours,
// else through the octree's 256 and a nearest-colour lookup.
class FrameColors {
public:
  void Add(const gif::Bitmap& picture) {
    quantizer_.AddRows(picture.Bits(), picture.RowBytes(), picture.Width(), picture.Height(), 3);
    if (exact_.size() > 256) return;
    for (int y = 0; y < picture.Height(); ++y) {
      const std::uint8_t* p = picture.Scanline(y);
      for (int x = 0; x < picture.Width(); ++x, p += 3) {
        const std::uint32_t key = Key(p);
        if (exact_.size() <= 256 && exact_.find(key) == exact_.end())
          exact_.emplace(key, static_cast<std::uint8_t>(exact_.size()));
      }
    }
  }

  void Finish() {
    if (exact_.size() <= 256) {
      palette_.assign(std::max<std::size_t>(exact_.size(), 1), gif::Rgb{});
      for (const auto& [key, index] : exact_) palette_[index] = gif::Rgb{std::uint8_t(key >> 16), std::uint8_t(key >> 8), std::uint8_t(key)};
    } else {
      palette_ = quantizer_.GetColorTable();
      exact_.clear();
    }
  }

  bool Exact() const { return !exact_.empty(); }
  const gif::Palette& Colors() const { return palette_; }

  gif::Bitmap Map(const gif::Bitmap& picture) const {
    if (!Exact()) return gif::ReduceColors(picture, gif::rmPalette, 0, &palette_);
    gif::Bitmap out(picture.Width(), picture.Height(), gif::PixelFormat::pf8bit);
    out.SetColors(palette_);
    for (int y = 0; y < picture.Height(); ++y) {
      const std::uint8_t* p = picture.Scanline(y);
      std::uint8_t* q = out.Scanline(y);
      for (int x = 0; x < picture.Width(); ++x, p += 3) q[x] = exact_.at(Key(p));
    }
    return out;
  }

private:
  static std::uint32_t Key(const std::uint8_t* bgr) {
    return std::uint32_t(bgr[2]) << 16 | std::uint32_t(bgr[1]) << 8 | bgr[0];
  }
  gif::TColorQuantizer quantizer_{256, 8};
  std::unordered_map<std::uint32_t, std::uint8_t> exact_;
  gif::Palette palette_;
};

// What one imported frame of this size takes beyond the frame itself: the frame's own pixels and
// bitmap, and the decoded picture it is made from.
std::uint64_t AviFrameMemoryCost(int width, int height) {
  return gif::TGIFImage::FrameMemoryCost(width, height) + std::uint64_t(std::max(width, 0)) * std::uint64_t(std::max(height, 0)) * 3;
}

}  // namespace

QString AviExportName(const QString& chosen) {
  const QFileInfo info(chosen);
  const QString suffix = info.suffix();
  if (suffix.compare(QLatin1String("avi"), Qt::CaseInsensitive) == 0) return chosen;
  const QString base = suffix.isEmpty() ? chosen : chosen.left(chosen.size() - suffix.size() - 1);
  return base + QStringLiteral(".avi");
}

bool ImportAvi(gif::TGIFImage& image, const QString& fileName, IAviProgress& progress) {
  progress.SetPosition(0);
  progress.StepText(Tr(avi_texts::kOpening));
  const std::optional<AviStreamHeader> header = ReadAviStreamHeader(fileName);
  QFile probe(fileName);
  if (!probe.open(QIODevice::ReadOnly) || probe.read(12).mid(8, 4) != "AVI ") Fail(avi_texts::kFailedOpenFile);
  probe.close();

  progress.StepText(Tr(avi_texts::kOpeningStream));
  if (!header) Fail(avi_texts::kFailedOpenStream);
  std::unique_ptr<platform::VideoReader> reader;
  try {
    reader = std::make_unique<platform::VideoReader>(QFile::encodeName(fileName).toStdString(), image.MaxFramePixels);
  } catch (const platform::VideoReader::OpenError& e) {
    if (e.step == platform::VideoReader::Step::Open) Fail(avi_texts::kFailedOpenFile);
    if (e.step == platform::VideoReader::Step::Stream) Fail(avi_texts::kFailedOpenStream);
    Fail(avi_texts::kFailedDecompression);
  }

  progress.StepText(Tr(avi_texts::kScanningInfo));
  if (header->length == 0 && reader->FrameCountHint() == 0) Fail(avi_texts::kFailedStreamInfo);
  const int delay = std::min(AviImportDelay(header->scale, header->rate), 0xFFFF);
  progress.StepText(Tr(avi_texts::kGettingFormat));
  progress.StepText(Tr(avi_texts::kStartingStream));
  progress.StepText(Tr(avi_texts::kReadingFrames));
  image.ColorReduction = 6;
  image.DitherMode = 1;
  // Frames dwStart .. dwLength - 1; a forged count larger than the budget holds is refused before
  // anything is decoded.
  const std::uint64_t first = header->start, end = header->length;
  const std::uint64_t declared = end > first ? end - first : 0;
  const std::uint64_t perFrame = AviFrameMemoryCost(reader->Width(), reader->Height());
  const std::uint64_t cost = image.MemoryCost();
  if (cost > image.MemoryBudget || (perFrame > 0 && declared > (image.MemoryBudget - cost) / perFrame))
    Fail(gif::texts::MemoryBudgetExceeded);
  const int maximum = static_cast<int>(std::min<std::uint64_t>(end, 0x7FFFFFFF)) - 1;
  progress.SetMaximum(std::max(maximum, 0));
  progress.StepText(Tr(avi_texts::kDecompressing).arg(maximum));

  bool cancelled = false;
  platform::VideoFrame decoded;
  for (std::uint64_t d = first; d < end; ++d) {
    if (progress.Cancelled()) {
      cancelled = true;
      break;
    }
    try {
      if (!reader->Next(decoded)) break;
    } catch (const platform::VideoError&) {
      // A file cut short keeps the frames read before the cut.
      if (image.Images().GetCount() > 0) break;
      Fail(avi_texts::kFailedDecompressFrame);
    }
    try {
      // Frames may come larger than the stream said.
      const gif::TGIFMemoryCharge room(image, AviFrameMemoryCost(decoded.width, decoded.height));
    } catch (const gif::GIFException&) {
      Fail(gif::texts::MemoryBudgetExceeded);
    }
    if (decoded.bitsPerPixel == 8) progress.StepText(Tr(avi_texts::kReadingPalette));
    const int position = static_cast<int>(std::min<std::uint64_t>(d, 0x7FFFFFFF));
    progress.StepText(Tr(avi_texts::kCreatingFrame).arg(position));
    progress.SetPosition(position);
    const int index = image.Add(ToBitmap(decoded));
    gif::TGIFSubImage& frame = *image.Images().GetFrame(index);
    if (index == 0) AddLoopExtension(image, 0, 0);
    SetFrameDelay(frame, delay);
  }
  reader.reset();

  if (!cancelled && !image.IsEmpty()) {
    progress.StepText(Tr(avi_texts::kOptimizing));
    image.OptimizeColorMaps();
    AddCommentExtension(*image.Images().GetFrame(0),
                        Tr(frame_texts::kCreatedWith) + QString::fromLatin1(kMakerWebPage));
  }
  return !cancelled;
}

bool ExportAvi(const QString& fileName, gif::TGIFImage& image, std::uint32_t backdrop, IAviProgress& progress) {
  const int count = image.Images().GetCount();
  if (count == 0 || image.GetWidth() == 0 || image.GetHeight() == 0) Fail(avi_texts::kFailedBitmapInfo);
  const std::uint32_t scale = AviExportDelay(image);
  gif::TGIFCompositor screen(image, backdrop);

  // One colour table for the whole stream, from every frame as shown.
  FrameColors colors;
  progress.SetMaximum(2 * count - 1);
  for (int i = 0; i < count; ++i) {
    progress.SetPosition(i);
    if (progress.Cancelled()) return false;
    colors.Add(screen.Render(i));
  }
  colors.Finish();

  gif::Bitmap format(image.GetWidth(), image.GetHeight(), gif::PixelFormat::pf8bit);
  format.SetColors(colors.Colors());
  AviWriter writer(AviExportName(fileName), format, scale, kAviExportRate);
  if (!writer.Ok()) throw AviError(std::string(avi_texts::kFailedCreateFile) + ": " + writer.Error().toStdString());
  screen.Reset();
  for (int i = 0; i < count; ++i) {
    progress.SetPosition(count + i);
    if (progress.Cancelled()) return false;
    const gif::Bitmap& shown = screen.Render(i);
    const bool ok = image.Images().GetFrame(i)->IsEmpty() ? writer.AddEmptyFrame() : writer.AddFrame(colors.Map(shown));
    if (!ok) throw AviError(std::string(avi_texts::kFailedAddFrame) + ": " + writer.Error().toStdString());
  }
  if (!writer.Commit()) throw AviError(std::string(avi_texts::kFailedCreateFile) + ": " + writer.Error().toStdString());
  return true;
}

}  // namespace movinta::editor
