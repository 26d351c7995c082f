// Scanning a folder for the image browser: which files it shows, how its grid is laid out, and
// turning each file into a square thumbnail with the picture's size. Decoding runs on worker
// threads, several files at once, while the results come back in file order.
#pragma once

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <vector>

namespace movinta::editor {

// One thumbnail: the file's name without folder, the picture's size in the file and the file's
// size in kilobytes.
struct TThumbRecord {
  QString FileName;
  int Height = 0;
  int Width = 0;
  int SizeKB = 0;
};

// The thumbnail grid's cells for a window client width, the height of a line of text, the
// thumbnail size and a file count. There is always at least one column.
struct ThumbGridLayout {
  int ColWidth = 0;
  int RowHeight = 0;
  int ColCount = 1;
  int RowCount = 1;
};
int ThumbCellSize(int textHeight, int thumbSize);
ThumbGridLayout ThumbLayout(int clientWidth, int textHeight, int thumbSize, int fileCount);

// The size a width x height picture gets in a thumbnail of size x size: unchanged up to size + 1
// on both sides, else its longer side becomes size and the other follows in proportion (at least
// one pixel).
QSize ThumbPictureSize(int width, int height, int size);

// The extensions (".gif") a filter type scans: one of the table for 0 to 17, all eighteen in table
// order for 19, none otherwise.
QStringList ThumbExtensions(int filterType);

struct ThumbFile {
  QString Name;
  qint64 Size = 0;
};
// The visible regular files of the folder whose extensions the filter scans, compared without
// regard to case, sorted by name.
std::vector<ThumbFile> CollectImageFiles(const QString& folder, int filterType);

// One decoded file: the square thumbnail (the picture centred on the background) and the picture's
// size in the file. Ok is false for a file that could not be read.
struct DecodedThumb {
  bool Ok = false;
  int Width = 0;
  int Height = 0;
  QImage Picture;
};
DecodedThumb DecodeThumbnail(const QString& path, int size, const QColor& background);

// Decodes the files of the folder on worker threads and hands each result, in file order, to
// deliver (on the calling thread); deliver returns false to stop. Threads: 0 picks by the machine.
void DecodeThumbnails(const QString& folder, const std::vector<ThumbFile>& files, int size, const QColor& background,
                      const std::function<bool(int index, DecodedThumb& thumb)>& deliver, int threads = 0);

}  // namespace movinta::editor
