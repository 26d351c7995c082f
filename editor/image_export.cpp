#include "editor/image_export.h"

#include "editor/model/save_rules.h"
#include "gif/color/reduce.h"
#include "gif/qt/qimage_adapter.h"
#include "gif/render/compositor.h"
#include "platform/jpeg/jpeg_writer.h"

#include <QFile>
#include <QImageWriter>
#include <QSaveFile>

#include <array>
#include <stdexcept>

namespace movinta::editor {

namespace {
void WriteBytes(const QString& fileName, const QByteArray& bytes) {
  QSaveFile file(fileName);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
    throw std::runtime_error("Unable to write " + fileName.toStdString());
}

void WriteGif(const gif::Bitmap& picture, const QString& fileName, const ExportSettings& settings) {
  TGIFImage gif;
  int method = 0;
  int bits = 8;
  GifReduction(settings, method, bits);
  gif.ColorReduction = method;
  gif.SetColorReductionBits(bits);
  gif.Assign(picture);
  if (settings.GifOptimized) gif.OptimizeColorMaps();
  const std::vector<std::uint8_t> bytes = gif.SaveToMemory();
  WriteBytes(fileName, QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
}

void WriteJpeg(const gif::Bitmap& picture, const QString& fileName, const ExportSettings& settings) {
  platform::JpegOptions options;
  options.Quality = JpegQualityForTrack(settings.JpegTrack);
  options.Progressive = settings.JpegProgressive;
  options.Grayscale = settings.JpegGrayscale;
  options.FastDct = !settings.JpegBestQuality;
  platform::WriteJpegFile(QFile::encodeName(fileName).toStdString(), platform::PixelsOf(picture), options);
}

void WriteBmp(const gif::Bitmap& picture, const QString& fileName, const ExportSettings& settings) {
  QImage image;
  if (settings.BmpMonochrome) {
    const gif::Bitmap mono = gif::ReduceColors(picture, gif::rmMonochrome, 0).ConvertedTo(gif::PixelFormat::pf1bit);
    image = gif::qt::ToQImage(mono);
  } else {
    image = gif::qt::ToQImage(picture);
  }
  QSaveFile file(fileName);
  if (!file.open(QIODevice::WriteOnly)) throw std::runtime_error("Unable to write " + fileName.toStdString());
  QImageWriter writer(&file, "bmp");
  if (!writer.write(image) || !file.commit()) throw std::runtime_error("Unable to write " + fileName.toStdString());
}
}  // namespace

QString ExportSuffix(ExportFormat format) {
  switch (format) {
    case ExportFormat::Jpeg: return QStringLiteral("jpg");
    case ExportFormat::Bmp: return QStringLiteral("bmp");
    case ExportFormat::Gif: break;
  }
  return QStringLiteral("gif");
}

QString ExportFilter(ExportFormat format) {
  switch (format) {
    case ExportFormat::Jpeg: return QStringLiteral("Jpg Images|*.jpg");
    case ExportFormat::Bmp: return QStringLiteral("Bitmap Images|*.bmp");
    case ExportFormat::Gif: break;
  }
  return QStringLiteral("GIF Images|*.gif");
}

void GifReduction(const ExportSettings& settings, int& method, int& bits) {
  static constexpr std::array<int, 6> kBits = {8, 7, 6, 5, 4, 3};
  bits = 8;
  switch (settings.GifPalette) {
    case 1: method = gif::rmGrayScale; break;
    case 2: method = gif::rmMonochrome; break;
    case 3:
      method = gif::rmQuantize;
      bits = kBits[static_cast<std::size_t>(std::clamp(settings.GifColorsIndex, 0, 5))];
      break;
    case 4: method = gif::rmWindows20; break;
    default: method = gif::rmNetscape; break;
  }
}

QStringList ExportFileNames(const QString& chosen, const std::vector<int>& frames, ExportFormat format) {
  QStringList names;
  for (int frame : frames) names.append(NumberedExportName(chosen, frame, ExportSuffix(format)));
  return names;
}

void WriteExportPicture(const gif::Bitmap& picture, const QString& fileName, const ExportSettings& settings) {
  switch (settings.Format) {
    case ExportFormat::Gif: WriteGif(picture, fileName, settings); break;
    case ExportFormat::Jpeg: WriteJpeg(picture, fileName, settings); break;
    case ExportFormat::Bmp: WriteBmp(picture, fileName, settings); break;
  }
}

bool ExportFrames(TGIFImage& image, const std::vector<int>& frames, const QString& chosen,
                  const ExportSettings& settings, gif::TColor backdrop, const std::function<void(int)>& step) {
  const QStringList names = ExportFileNames(chosen, frames, settings.Format);
  bool failed = false;
  gif::TGIFCompositor screen(image, backdrop, gif::PixelFormat::pf24bit);
  for (std::size_t k = 0; k < frames.size(); ++k) {
    if (step) step(static_cast<int>(k) + 1);
    try {
      WriteExportPicture(screen.Render(frames[k]), names[static_cast<qsizetype>(k)], settings);
    } catch (const std::exception&) {
      failed = true;
    }
  }
  return !failed;
}

}  // namespace movinta::editor
