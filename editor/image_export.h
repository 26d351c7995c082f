// Writing frames of an animation as separate GIF, JPEG or BMP files with numbered names. Each file
// shows its frame as the player shows it: the logical screen with the frames before it drawn and
// disposed of, over the backdrop for transparent frames.
#pragma once

#include "editor/model/working_image.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace movinta::editor {

enum class ExportFormat { Gif = 0, Jpeg = 1, Bmp = 2 };

struct ExportSettings {
  ExportFormat Format = ExportFormat::Gif;
  // GIF: palette 0 Netscape (216 colours), 1 grayscale, 2 black and white, 3 the picture's own
  // colours (GifColorsIndex: 0 = 256, 1 = 128 ... 5 = 8), 4 the Windows system's 20 colours.
  int GifPalette = 0;
  int GifColorsIndex = 0;
  bool GifOptimized = true;
  // JPEG: quality track bar position 0 (best) .. 4, accurate or fast DCT, progressive, grayscale.
  int JpegTrack = 2;
  bool JpegBestQuality = true;
  bool JpegProgressive = false;
  bool JpegGrayscale = false;
  // BMP: black and white (1 bit) or 24 bits.
  bool BmpMonochrome = false;
};

// "gif", "jpg", "bmp".
QString ExportSuffix(ExportFormat format);
// The save dialog's filter for the format ("GIF Images|*.gif", ...).
QString ExportFilter(ExportFormat format);
// The colour-reduction method and bit depth of a GIF palette choice.
void GifReduction(const ExportSettings& settings, int& method, int& bits);

// The file of each frame for the chosen name, in the order of frames.
QStringList ExportFileNames(const QString& chosen, const std::vector<int>& frames, ExportFormat format);

// Writes one picture (24 bits) in the chosen format through a temporary file and a rename; raises
// std::exception on failure.
void WriteExportPicture(const gif::Bitmap& picture, const QString& fileName, const ExportSettings& settings);

// Writes frames (indices of image, ascending) to the numbered files of chosen; step(k) runs after
// the k-th file (from 1). A file that cannot be written is skipped; false when any was.
bool ExportFrames(TGIFImage& image, const std::vector<int>& frames, const QString& chosen,
                  const ExportSettings& settings, gif::TColor backdrop, const std::function<void(int)>& step = {});

}  // namespace movinta::editor
