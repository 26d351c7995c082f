#include "gif/qt/clipboard.h"

#include "gif/qt/qimage_adapter.h"

namespace gif::qt {

namespace {
const char* const kPlainGIF = "image/gif";
}  // namespace

QString GIFImageMimeType() { return QString::fromLatin1(texts::FormatName); }

std::unique_ptr<QMimeData> SaveToMimeData(TGIFImage& image) {
  if (image.IsEmpty()) return nullptr;
  std::vector<std::uint8_t> bytes;
  QImage still;
  try {
    bytes = image.SaveToMemory();
    if (const Bitmap* bitmap = image.GetBitmap()) still = ToQImage(*bitmap);
  } catch (const GIFException&) {
    GIFError(texts::ClipboardFailed);
  }
  auto data = std::make_unique<QMimeData>();
  const QByteArray gif(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
  data->setData(GIFImageMimeType(), gif);
  data->setData(QString::fromLatin1(kPlainGIF), gif);
  if (!still.isNull()) data->setImageData(still);
  return data;
}

void LoadFromMimeData(TGIFImage& image, const QMimeData& data) {
  for (const QString& format : {GIFImageMimeType(), QString::fromLatin1(kPlainGIF)}) {
    if (!data.hasFormat(format)) continue;
    const QByteArray bytes = data.data(format);
    image.LoadFromMemory({reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())});
    return;
  }
  if (data.hasImage()) {
    const Bitmap bitmap = FromQImage(qvariant_cast<QImage>(data.imageData()));
    // Built apart so that a picture that cannot be taken leaves the image alone.
    TGIFImage fresh;
    fresh.ColorReduction = image.ColorReduction;
    fresh.DitherMode = image.DitherMode;
    fresh.SetColorReductionBits(image.GetColorReductionBits());
    fresh.Assign(bitmap);
    image.LoadFromMemory(fresh.SaveToMemory());
    return;
  }
  GIFError(texts::UnsupportedClipboardFormat);
}

void SaveToClipboard(TGIFImage& image, QClipboard& clipboard) {
  if (std::unique_ptr<QMimeData> data = SaveToMimeData(image)) clipboard.setMimeData(data.release());
}

void LoadFromClipboard(TGIFImage& image, const QClipboard& clipboard) {
  const QMimeData* data = clipboard.mimeData();
  if (!data) GIFError(texts::UnsupportedClipboardFormat);
  LoadFromMimeData(image, *data);
}

bool ClipboardHasGIF(const QClipboard& clipboard) {
  const QMimeData* data = clipboard.mimeData();
  return data && (data->hasFormat(GIFImageMimeType()) || data->hasFormat(QString::fromLatin1(kPlainGIF)));
}

}  // namespace gif::qt
