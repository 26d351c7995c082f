#include "editor/image_import.h"

#include "controls/xpress.h"
#include "editor/model/files.h"
#include "editor/model/settings.h"
#include "editor/model/string_tables.h"
#include "editor/model/text_helpers.h"
#include "editor/model/working_image.h"
#include "gif/qt/qimage_adapter.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QtEndian>

#include <algorithm>

namespace movinta::editor {

namespace {
constexpr const char* kUnrecognizedType = "%1 is an unrecognized file type!";
constexpr const char* kDropQuestion =
    "Would you like to add this image to the current animation?\r\n Or, would you like to start it as new animation?";
constexpr const char* kMakeDefault = "Make this the &default";
constexpr const char* kDragAndDropImage = "Drag and Drop Image";

void RememberDrop(int result) {
  SettingsStore store;
  RememberDropChoice(store, result);
}

// Reads a BMP stream whenever the frame limit and the memory budget allow it; Qt's own cap on image
// allocations would refuse a phone's photo.
bool ReadBmp(QImageReader& reader, gif::Bitmap& bitmap, bool* tooLarge) {
  if (tooLarge) *tooLarge = false;
  reader.setDecideFormatFromContent(false);
  const QSize size = reader.size();
  if (!size.isValid() || size.isEmpty()) return false;
  const std::uint64_t pixels = std::uint64_t(size.width()) * std::uint64_t(size.height());
  // The decoded picture and the bitmap made from it, 32 bits a pixel each.
  const std::uint64_t bytes = pixels * 8;
  if (pixels > gif::TGIFImage::DefaultMaxFramePixels) return false;
  if (bytes > gif::TGIFImage::DefaultMemoryBudget) {
    if (tooLarge) *tooLarge = true;
    return false;
  }
  reader.setAllocationLimit(static_cast<int>(std::min<std::uint64_t>(bytes / (1u << 20) + 1, 1u << 30)));
  const QImage image = reader.read();
  if (image.isNull()) return false;
  bitmap = gif::qt::FromQImage(image);
  return !bitmap.Empty();
}

bool ReadBitmapFile(const QString& fileName, gif::Bitmap& bitmap, bool* tooLarge) {
  QImageReader reader(fileName, "BMP");
  return ReadBmp(reader, bitmap, tooLarge);
}
}  // namespace

bool PackedDibToBitmap(const QByteArray& dib, gif::Bitmap& bitmap, bool* tooLarge) {
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
  return ReadBmp(reader, bitmap, tooLarge);
}

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
    if (ReadBitmapFile(fileName, bitmap, &tooLarge)) return kImportBitmap;
    return fail(tooLarge ? tooLargeError : loadError);
  }
  if (typeCode == kFileTypeUnknown) return fail(Tr(kUnrecognizedType).arg(FileNameOnly(fileName)));
  if (typeCode != kFileTypeGif) {
    TXpress* imgX = host.Imaging();
    if (!imgX) return fail(loadError);
    imgX->SetMemoryLimit(gif::TGIFImage::DefaultMemoryBudget);
    imgX->SetFileName(fileName);
    const std::uint16_t code = imgX->GetErrorCode();
    imgX->SetMemoryLimit(0);
    if ((code & 0xFFFF) != 0) {
      imgX->ClearImage(0);
      // A valid picture too large for the memory is not a corrupt one.
      return fail(code == TXpress::kTooLarge ? tooLargeError : loadError);
    }
    const bool ok = PackedDibToBitmap(imgX->CopyDIB(), bitmap, &tooLarge);
    imgX->ClearImage(0);
    return ok ? kImportBitmap : fail(tooLarge ? tooLargeError : loadError);
  }

  QString reason;
  std::unique_ptr<gif::TGIFImage> scratch = ReadGifFile(fileName, &reason);
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
    for (int i = 0; i < gifImage.Images().GetCount(); ++i) {
      gif::TGIFSubImage& frame = *gifImage.Images().GetFrame(i);
      if (frame.IsEmpty()) continue;
      bitmap = frame.GetBitmap();
      if (host.InsertBitmapFrame(bitmap, index, Tr(kDragAndDropImage)) == -1) return kImportFailed;
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
