#include "editor/image_import.h"

#include "controls/xpress.h"
#include "editor/document_window.h"
#include "editor/model/files.h"
#include "editor/commands/frame_commands.h"
#include "editor/model/settings.h"
#include "editor/model/string_tables.h"
#include "editor/model/text_helpers.h"
#include "editor/model/undo_captions.h"
#include "editor/model/working_image.h"
#include "gif/qt/qimage_adapter.h"
#include "gif/texts.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QtEndian>

#include <algorithm>
#include <functional>

namespace movinta::editor {

namespace {
constexpr const char* kUnrecognizedType = "%1 is an unrecognized file type!";
constexpr const char* kDropQuestion =
    "Would you like to add this image to the current animation?\r\n Or, would you like to start it as new animation?";
constexpr const char* kMakeDefault = "Make this the &default";

void RememberDrop(int result) {
  SettingsStore store;
  RememberDropChoice(store, result);
}

// Frames hold no partial transparency: a picture with an alpha channel becomes what the exports
// show of it, laid over the backdrop of transparent frames. Pictures without one keep their pixels.
QImage OverBackdrop(const QImage& image) {
  if (!image.hasAlphaChannel()) return image;
  const gif::TColor back = Settings().FrameBackColor;
  QImage flat(image.size(), QImage::Format_RGB32);
  if (flat.isNull()) return {};
  flat.fill(QColor(back & 0xFF, (back >> 8) & 0xFF, (back >> 16) & 0xFF));
  QPainter p(&flat);
  p.drawImage(0, 0, image);
  return flat;
}
}  // namespace

bool PictureToBitmap(const QImage& picture, gif::Bitmap& bitmap) {
  const QImage flat = OverBackdrop(picture);
  if (flat.isNull()) return false;
  bitmap = gif::qt::FromQImage(flat);
  return !bitmap.Empty();
}

namespace {

// Reads a BMP stream whenever the frame limit and the memory budget allow it; Qt's own cap on image
// allocations would refuse a phone's photo. A null picture when it cannot.
QImage ReadBmp(QImageReader& reader, bool* tooLarge) {
  if (tooLarge) *tooLarge = false;
  reader.setDecideFormatFromContent(false);
  const QSize size = reader.size();
  if (!size.isValid() || size.isEmpty()) return {};
  const std::uint64_t pixels = std::uint64_t(size.width()) * std::uint64_t(size.height());
  // The decoded picture and the bitmap made from it, 32 bits a pixel each.
  const std::uint64_t bytes = pixels * 8;
  if (pixels > gif::GIFDefaults().MaxFramePixels) return {};
  if (bytes > gif::GIFDefaults().MemoryBudget) {
    if (tooLarge) *tooLarge = true;
    return {};
  }
  reader.setAllocationLimit(static_cast<int>(std::min<std::uint64_t>(bytes / (1u << 20) + 1, 1u << 30)));
  return reader.read();
}

bool ReadBitmapFile(const QString& fileName, gif::Bitmap& bitmap, bool* tooLarge) {
  QImageReader reader(fileName, "BMP");
  // Only a header that declares an alpha mask reads as a picture with an alpha channel.
  return PictureToBitmap(ReadBmp(reader, tooLarge), bitmap);
}
}  // namespace

bool PackedDibToBitmap(const QByteArray& dib, gif::Bitmap& bitmap, bool alpha, bool* tooLarge) {
  if (tooLarge) *tooLarge = false;
  if (dib.size() < 40) return false;
  const auto* p = reinterpret_cast<const uchar*>(dib.constData());
  const quint32 headerSize = qFromLittleEndian<quint32>(p);
  const quint32 colorsUsed = qFromLittleEndian<quint32>(p + 32);
  if (headerSize < 40 || headerSize > static_cast<quint32>(dib.size()) || colorsUsed > 256) return false;
  // The file header a BMP stream starts with, in front of the packed bitmap.
  QByteArray file(14, '\0');
  auto* h = reinterpret_cast<uchar*>(file.data());
  h[0] = 'B';
  h[1] = 'M';
  qToLittleEndian<quint32>(static_cast<quint32>(14 + dib.size()), h + 2);
  qToLittleEndian<quint32>(14 + headerSize + 4 * colorsUsed, h + 10);
  file += dib;
  QBuffer buffer(&file);
  if (!buffer.open(QIODevice::ReadOnly)) return false;
  QImageReader reader(&buffer, "BMP");
  QImage image = ReadBmp(reader, tooLarge);
  if (image.isNull()) return false;
  // A BMP stream takes no alpha from 32-bit rows: the opacity comes from the DIB's own bytes.
  const int width = image.width(), height = image.height();
  const qsizetype rowsAt = headerSize + 4 * static_cast<qsizetype>(colorsUsed);
  if (alpha && qFromLittleEndian<quint16>(p + 14) == 32 && qFromLittleEndian<qint32>(p + 8) > 0 &&
      dib.size() >= rowsAt + 4 * static_cast<qsizetype>(width) * height) {
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
      const uchar* row = p + rowsAt + 4 * static_cast<qsizetype>(width) * (height - 1 - y);
      auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
      for (int x = 0; x < width; ++x) out[x] = (out[x] & 0x00FFFFFFu) | (QRgb{row[4 * x + 3]} << 24);
    }
  }
  return PictureToBitmap(image, bitmap);
}

namespace {
// A GIF's frame as a picture for another animation. Its transparent pixels take the backdrop, as a
// picture with an alpha channel does: the entry they point at holds a colour nobody chose.
gif::Bitmap FramePicture(gif::TGIFImage& gifImage, int index) {
  gif::TGIFSubImage& frame = *gifImage.Images().GetFrame(index);
  if (!frame.Transparent()) return frame.GetBitmap();
  return gif::qt::FromQImage(OverBackdrop(RenderFrame(gifImage, index)));
}

// A large picture takes seconds to decode: it decodes on a thread of its own while the window stays
// painted, with the hourglass and a bar that shows the work goes on.
void Aside(const std::function<void()>& work) { BusyScope::RunAside(work, Tr(gif::texts::Loading)); }
}  // namespace

int ImportImageFile(IImportHost& host, const QString& fileName, gif::Bitmap& bitmap, std::uint8_t typeCode,
                    bool asBitmapOnly, QString* error) {
  const QString loadError = Tr(texts::kErrorLoading).arg(fileName);
  auto fail = [&](const QString& text) {
    if (error) *error = text;
    return kImportFailed;
  };
  if (error) error->clear();
  if (!QFileInfo(fileName).isFile()) return fail(loadError);
  const QString tooLargeError = Tr(gif::texts::MemoryBudgetExceeded);
  bool tooLarge = false;
  if (typeCode == 2) {
    bool ok = false;
    Aside([&] { ok = ReadBitmapFile(fileName, bitmap, &tooLarge); });
    if (ok) return kImportBitmap;
    return fail(tooLarge ? tooLargeError : loadError);
  }
  if (typeCode == kFileTypeUnknown) return fail(Tr(kUnrecognizedType).arg(FileNameOnly(fileName)));
  if (typeCode != kFileTypeGif) {
    TXpress* imgX = host.Imaging();
    if (!imgX) return fail(loadError);
    imgX->SetMemoryLimit(gif::GIFDefaults().MemoryBudget);
    imgX->SetFileName(fileName, &Aside);
    const std::uint16_t code = imgX->GetErrorCode();
    imgX->SetMemoryLimit(0);
    if ((code & 0xFFFF) != 0) {
      imgX->ClearImage(0);
      // A valid picture too large for the memory is not a corrupt one.
      return fail(code == TXpress::kTooLarge ? tooLargeError : loadError);
    }
    // A photo's bitmap is hundreds of megabytes: every pass over it runs aside, and the control
    // lets its picture go before the bitmap is made, as the memory budget counts on.
    QByteArray dib;
    bool alpha = false;
    Aside([&] {
      dib = imgX->CopyDIB();
      alpha = imgX->HasAlpha();
    });
    imgX->ClearImage(0);
    bool ok = false;
    Aside([&] {
      ok = PackedDibToBitmap(dib, bitmap, alpha, &tooLarge);
      dib = QByteArray();
    });
    return ok ? kImportBitmap : fail(tooLarge ? tooLargeError : loadError);
  }

  QString reason;
  std::unique_ptr<gif::TGIFImage> scratch;
  Aside([&] { scratch = ReadGifFile(fileName, &reason); });
  if (!scratch) {
    MessageBeep();
    return fail(loadError);
  }
  if (asBitmapOnly) {
    const gif::Bitmap* whole = scratch->GetBitmap();
    if (!whole) return fail(loadError);
    bitmap = *whole;
    return kImportBitmap;
  }
  if (!host.HasDocument() || host.OpenAsNew()) {
    scratch.reset();
    return host.OpenGifDocument(fileName) ? kImportOpenedAsNew : kImportFailed;
  }
  return AskDropImageAction(host, Tr(kDropQuestion), *scratch, bitmap, fileName);
}

int AskDropImageAction(IImportHost& host, const QString& message, gif::TGIFImage& gifImage, gif::Bitmap& bitmap,
                       const QString& fileName) {
  const int answer = ShowPromptWithDefault(message, Tr(kMakeDefault), QStringLiteral("DropImageDefault"),
                                           &RememberDrop, kYesNoCancel, MessageType::Confirmation);
  if (answer == mrYes) {
    int index = host.InsertPosition();
    if (index == -1) return kImportFailed;
    BusyScope busy;
    StepProgress progress(gifImage.Images().GetCount(), Tr(frame_texts::kInsertingFrame));
    for (int i = 0; i < gifImage.Images().GetCount(); progress.Step(++i)) {
      if (gifImage.Images().GetFrame(i)->IsEmpty()) continue;
      bitmap = FramePicture(gifImage, i);
      if (bitmap.Empty()) return kImportFailed;
      if (host.InsertBitmapFrame(bitmap, index, Tr(undo_captions::kDragAndDropImage)) == -1) return kImportFailed;
      ++index;
    }
    host.ActiveDocumentChanged();
    return kImportAddedFrames;
  }
  if (answer == mrNo) {
    host.BringActiveDocumentToFront();
    return host.OpenGifDocument(fileName) ? kImportOpenedAsNew : kImportFailed;
  }
  return kImportFailed;
}

}  // namespace movinta::editor
