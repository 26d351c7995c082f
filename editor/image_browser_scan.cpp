#include "editor/image_browser_scan.h"

#include "editor/model/string_tables.h"
#include "gif/threads.h"
#include "platform/imaging/imaging_control.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

namespace movinta::editor {

namespace {
// Halves go to the even neighbour, as everywhere else in the editor's rounding.
int RoundEven(double value) { return static_cast<int>(std::nearbyint(value)); }
constexpr int kFilterAll = 19;
constexpr int kTableFormats = 18;
}  // namespace

int ThumbCellSize(int textHeight, int thumbSize) { return 2 * textHeight + thumbSize + 14; }

ThumbGridLayout ThumbLayout(int clientWidth, int textHeight, int thumbSize, int fileCount) {
  ThumbGridLayout out;
  out.ColWidth = ThumbCellSize(textHeight, thumbSize);
  out.RowHeight = out.ColWidth;
  // A window narrower than one cell still shows one column.
  out.ColCount = std::max(1, clientWidth / std::max(1, out.ColWidth));
  const int files = std::max(0, fileCount);
  out.RowCount = RoundEven(static_cast<double>(files) / out.ColCount);
  if (out.RowCount * out.ColCount < files) ++out.RowCount;
  out.RowCount = std::max(1, out.RowCount);
  return out;
}

QSize ThumbPictureSize(int width, int height, int size) {
  if (width <= size + 1 && height <= size + 1) return {width, height};
  if (width > height) return {size, std::max(1, RoundEven(static_cast<double>(size) / width * height))};
  return {std::max(1, RoundEven(static_cast<double>(size) / height * width)), size};
}

QStringList ThumbExtensions(int filterType) {
  QStringList out;
  if (filterType >= 0 && filterType < kTableFormats) {
    out.append(QString::fromLatin1(kExtensions[static_cast<std::size_t>(filterType)]));
  } else if (filterType == kFilterAll) {
    for (int i = 0; i < kTableFormats; ++i) out.append(QString::fromLatin1(kExtensions[static_cast<std::size_t>(i)]));
  }
  return out;
}

std::vector<ThumbFile> CollectImageFiles(const QString& folder, int filterType) {
  const QStringList extensions = ThumbExtensions(filterType);
  std::vector<ThumbFile> out;
  if (extensions.isEmpty()) return out;
  QStringList patterns;
  for (const QString& e : extensions) patterns.append(QLatin1Char('*') + e);
  QDir dir(folder);
  dir.setNameFilters(patterns);
  // Hidden files stay out; the name filters compare without regard to case.
  dir.setFilter(QDir::Files | QDir::NoDotAndDotDot);
  dir.setSorting(QDir::Unsorted);
  const QFileInfoList entries = dir.entryInfoList();
  for (const QFileInfo& info : entries) {
    if (!info.isFile() || info.isHidden()) continue;
    out.push_back({info.fileName(), info.size()});
  }
  std::sort(out.begin(), out.end(), [](const ThumbFile& a, const ThumbFile& b) {
    const int c = QString::compare(a.Name, b.Name, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a.Name < b.Name;
  });
  return out;
}

DecodedThumb DecodeThumbnail(const QString& path, int size, const QColor& background) {
  DecodedThumb out;
  size = std::max(1, size);
  platform::ImagingControl control;
  if (control.LoadReduced(QFile::encodeName(path).toStdString(), size) != platform::kImagingOk) return out;
  out.Width = control.OriginalWidth();
  out.Height = control.OriginalHeight();
  const QSize fit = ThumbPictureSize(out.Width, out.Height, size);
  if (fit.width() != control.Width() || fit.height() != control.Height()) {
    if (control.Resize(fit.width(), fit.height()) != platform::kImagingOk) return out;
  }
  const std::vector<std::uint32_t> pixels = control.Pixels();
  const int w = control.Width(), h = control.Height();
  if (pixels.size() != static_cast<std::size_t>(w) * static_cast<std::size_t>(h) || w <= 0 || h <= 0) return out;
  QImage picture(w, h, QImage::Format_ARGB32);
  for (int y = 0; y < h; ++y)
    std::copy_n(pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w), w,
                reinterpret_cast<std::uint32_t*>(picture.scanLine(y)));
  out.Picture = QImage(size, size, QImage::Format_RGB32);
  out.Picture.fill(background);
  {
    QPainter painter(&out.Picture);
    painter.drawImage((size - w) / 2, (size - h) / 2, picture);
  }
  out.Ok = true;
  return out;
}

void DecodeThumbnails(const QString& folder, const std::vector<ThumbFile>& files, int size, const QColor& background,
                      const std::function<bool(int index, DecodedThumb& thumb)>& deliver, int threads) {
  const int count = static_cast<int>(files.size());
  if (count == 0 || !deliver) return;
  const QString base = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
  if (threads <= 0) threads = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
  threads = std::min(threads, count);
  // Workers run at most this far ahead of delivery, so that memory stays a few thumbnails deep.
  const int window = threads * 4;

  std::mutex mutex;
  std::condition_variable ready;   // a result arrived
  std::condition_variable advance; // delivery moved on, or the scan stops
  std::vector<std::optional<DecodedThumb>> results(static_cast<std::size_t>(count));
  int next = 0;
  int delivered = 0;
  bool stop = false;

  auto decodeOne = [&](int index) {
    try {
      return DecodeThumbnail(base + files[static_cast<std::size_t>(index)].Name, size, background);
    } catch (const std::exception&) {
      return DecodedThumb{};  // out of memory for this one: skipped like any unreadable file
    }
  };
  auto work = [&] {
    for (;;) {
      int index;
      {
        std::unique_lock lock(mutex);
        advance.wait(lock, [&] { return stop || next >= count || next < delivered + window; });
        if (stop || next >= count) return;
        index = next++;
      }
      DecodedThumb thumb = decodeOne(index);
      {
        std::lock_guard lock(mutex);
        results[static_cast<std::size_t>(index)] = std::move(thumb);
      }
      ready.notify_all();
    }
  };
  std::vector<std::thread> pool;
  pool.reserve(static_cast<std::size_t>(threads));
  if (gif::StartThreads(pool, threads, work) == 0) {
    // No worker could be started: the files are decoded here, one at a time.
    for (int i = 0; i < count; ++i) {
      DecodedThumb thumb = decodeOne(i);
      if (!deliver(i, thumb)) return;
    }
    return;
  }

  auto finish = [&] {
    {
      std::lock_guard lock(mutex);
      stop = true;
    }
    advance.notify_all();
    // Each worker ends after the file it is on.
    for (std::thread& t : pool) t.join();
  };
  try {
  for (int i = 0; i < count; ++i) {
    DecodedThumb thumb;
    {
      std::unique_lock lock(mutex);
      ready.wait(lock, [&] { return results[static_cast<std::size_t>(i)].has_value(); });
      thumb = std::move(*results[static_cast<std::size_t>(i)]);
      results[static_cast<std::size_t>(i)].reset();
      delivered = i + 1;
    }
    advance.notify_all();
    if (!deliver(i, thumb)) break;
  }
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

}  // namespace movinta::editor
