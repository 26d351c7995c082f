#include "editor/model/working_image.h"

#include "editor/model/files.h"
#include "editor/model/registry.h"
#include "editor/model/settings.h"
#include "editor/model/string_tables.h"
#include "gif/encoded_data_cache.h"
#include "gif/optimize/optimize.h"
#include "gif/texts.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTemporaryFile>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <sys/mman.h>
#include <mutex>
#include <optional>
#include <span>
#include <stdexcept>
#include <unordered_map>
#include <utility>
#include <vector>

namespace movinta::editor {

using gif::TGIFAppExtNSLoop;
using gif::TGIFCommentExtension;
using gif::TGIFExtension;
using gif::TGIFGraphicControlExtension;

namespace {
std::unique_ptr<TGIFImage> g_shared;

TGIFSubImage* FrameAt(TGIFImage& image, int index) {
  if (index < 0 || index >= image.Images().GetCount()) return nullptr;
  return image.Images().GetFrame(index);
}

QString Native(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

namespace {
// The library's long operations report to the program's progress sink.
void RouteProgress(TGIFImage& image) {
  image.OnProgress = [](const void*, gif::TProgressStage stage, int percent, bool, const std::string& message) {
    // Without a measure the library only says the work goes on: nothing for the bar to show.
    if (stage == gif::TProgressStage::psRunning && percent < 0) {
      BusyScope::KeepPainted();
      return;
    }
    if (IProgress* sink = ProgressSink()) sink->Progress(static_cast<int>(stage), percent, Native(message));
  };
}
}  // namespace

TGIFImage* SharedImage(int free) {
  if (free == 1) {
    g_shared.reset();
    return nullptr;
  }
  if (!g_shared) {
    g_shared = std::make_unique<TGIFImage>();
    RouteProgress(*g_shared);
  }
  return g_shared.get();
}

std::unique_ptr<TGIFImage> ReplaceSharedImage(std::unique_ptr<TGIFImage> image) {
  if (image) {
    if (g_shared) {
      image->OnWarning = g_shared->OnWarning;
      image->OnProgress = g_shared->OnProgress;
    } else {
      RouteProgress(*image);
    }
  }
  std::swap(g_shared, image);
  return image;
}

void RunAsideOn(TGIFImage& image, const std::function<void()>& work, const QString& message) {
  QCoreApplication* app = QCoreApplication::instance();
  const gif::TGIFWarningEvent warning = image.OnWarning;
  const gif::TProgressEvent progress = std::exchange(image.OnProgress, nullptr);
  if (warning) {
    // The handler asks the user: it runs on the GUI thread, and the worker waits for its answer.
    image.OnWarning = [app, &warning](const void* sender, int severity, const std::string& text) {
      if (!app || QThread::currentThread() == app->thread()) {
        warning(sender, severity, text);
        return;
      }
      std::exception_ptr failure;
      QMetaObject::invokeMethod(
          app,
          [&] {
            try {
              warning(sender, severity, text);
            } catch (...) {
              failure = std::current_exception();
            }
          },
          Qt::BlockingQueuedConnection);
      if (failure) std::rethrow_exception(failure);
    };
  }
  struct Restore {
    TGIFImage& Image;
    const gif::TGIFWarningEvent& Warning;
    const gif::TProgressEvent& Progress;
    ~Restore() {
      Image.OnWarning = Warning;
      Image.OnProgress = Progress;
    }
  } restore{image, warning, progress};
  BusyScope::RunAside(work, message);
}

bool TCmdColorMap::CanRemoveColor(int colorIndex, int frameIndex) const {
  if (colorIndex < 0 || colorIndex >= GetCount()) return false;
  const gif::TGIFColor& c = Entry(colorIndex);
  for (int i = 0; i < GetCount(); ++i)
    if (i != colorIndex && Entry(i) == c) return true;
  TGIFImage& image = *SharedImage();
  auto frameUses = [colorIndex](const TGIFSubImage& f) {
    const std::uint8_t* p = f.Data();
    for (std::size_t i = 0; i < f.DataSize(); ++i)
      if (p[i] == colorIndex) return true;
    return false;
  };
  if (frameIndex >= 0) {
    TGIFSubImage* f = FrameAt(image, frameIndex);
    return !f || !frameUses(*f);
  }
  // Every frame drawn with the global table counts, not just the first.
  for (int i = 0; i < image.Images().GetCount(); ++i) {
    TGIFSubImage* f = image.Images().GetFrame(i);
    if (f->ColorMap().GetCount() == 0 && frameUses(*f)) return false;
  }
  return true;
}

namespace {

std::unique_ptr<TGIFImage> ReadGifBytes(std::unique_ptr<TGIFImage> image, std::span<const std::uint8_t> data,
                                        QString* error, const gif::TGIFLoadOptions& options = {}) {
  try {
    image->LoadFromMemory(data, options);
  } catch (const std::exception& e) {
    if (error) *error = Native(e.what());
    return nullptr;
  }
  return image;
}

}  // namespace

std::unique_ptr<TGIFImage> ReadGifFile(const QString& fileName, QString* error) {
  // Copied in first: another program may cut the file short while it is read.
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) {
    if (error) *error = file.errorString();
    return nullptr;
  }
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    if (error) *error = file.errorString();
    return nullptr;
  }
  return ReadGifBytes(std::make_unique<TGIFImage>(),
                      std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                                    static_cast<std::size_t>(bytes.size())),
                      error);
}

TOwnFile::TOwnFile(const QString& fileName) {
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) {
    error_ = file.errorString();
    return;
  }
  const qint64 size = file.size();
  if (size <= 0) {
    error_ = Tr(texts::kErrorLoading).arg(fileName);
    return;
  }
  // Its pages are put in place in one step, not one by one as they are first read.
  void* at = ::mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, file.handle(), 0);
  if (at == MAP_FAILED) {
    error_ = QString::fromLocal8Bit(std::strerror(errno));
    return;
  }
  bytes_ = std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(at), static_cast<std::size_t>(size));
}

TOwnFile::~TOwnFile() {
  if (!bytes_.empty()) ::munmap(const_cast<std::uint8_t*>(bytes_.data()), bytes_.size());
}

std::unique_ptr<TGIFImage> ReadOwnGifFile(const TOwnFile& file, TGIFImage& like, bool replacing, QString* error) {
  if (!file.IsOpen()) {
    if (error) *error = file.Error();
    return nullptr;
  }
  auto image = std::make_unique<TGIFImage>();
  image->Compression = like.Compression;
  image->EncodedDataCache = like.EncodedDataCache;
  gif::TGIFLoadOptions options;
  options.SeedEncodedData = like.EncodedDataCache != nullptr;
  if (replacing) options.PixelsDonor = &like;
  return ReadGifBytes(std::move(image), file.Bytes(), error, options);
}

bool LoadGifFile(TGIFImage& image, const QString& fileName) {
  BusyScope busy;
  QString error;
  std::unique_ptr<TGIFImage> loaded;
  if (QFileInfo::exists(fileName)) {
    loaded = ReadGifFile(fileName, &error);
    if (!loaded) MessageBeep();
  }
  if (!loaded) {
    ShowMessage(Tr(texts::kErrorLoading).arg(fileName), MessageType::Warning, kOk);
    return false;
  }
  image.Assign(*loaded);
  return true;
}

namespace {
// Writes the image through `file`, opened, in blocks as it is encoded: frames whose encoded data
// is cached go straight from the cache to the file, and no copy of the whole file is made.
bool WriteImageTo(TGIFImage& graphic, QFileDevice& file, QString* error) {
  try {
    gif::ByteWriter stream([&file](std::span<const std::uint8_t> bytes) {
      const qint64 size = static_cast<qint64>(bytes.size());
      if (file.write(reinterpret_cast<const char*>(bytes.data()), size) != size)
        throw std::runtime_error(file.errorString().toStdString());
    });
    graphic.SaveToStream(stream);
    stream.Flush();
  } catch (const std::exception& e) {
    if (error) *error = Native(e.what());
    return false;
  }
  if (!file.flush()) {
    if (error) *error = file.errorString();
    return false;
  }
  return true;
}

// The program's own temporary files (working copies, undo states): written beside the file and
// renamed over it, so that a failed write leaves the previous content; they are not the user's
// documents and only this run reads them, so they are not forced to the disk first.
bool WritePrivateFile(TGIFImage& graphic, const QString& fileName, QString* error) {
  QTemporaryFile file(fileName + QStringLiteral(".XXXXXX"));
  if (!file.open()) {  // exclusive, private to the user
    if (error) *error = file.errorString();
    return false;
  }
  if (!WriteImageTo(graphic, file, error)) return false;  // the temporary file removes itself
  file.close();
  if (!ReplacePrivateFile(file.fileName(), fileName, error)) return false;
  file.setAutoRemove(false);
  return true;
}

// Writes the working image as it stands through write(), which leaves it as it was. Working copies
// are written after every edit; frames the edit left alone keep their encoded data from the last
// write.
// A working copy is written after every edit without a progress bar of its own; a long one (a
// whole animation recoloured) keeps the window painted as its frames go out.
void KeepPaintedWhileWriting(const void*, gif::TProgressStage, int, bool, const std::string&) {
  BusyScope::KeepPainted();
}

template <class Write>
bool WriteAsItStands(TGIFImage& graphic, const Write& write) {
  const gif::TProgressEvent progress = std::exchange(graphic.OnProgress, KeepPaintedWhileWriting);
  if (!graphic.EncodedDataCache) graphic.EncodedDataCache = std::make_shared<gif::TGIFEncodedDataCache>();
  graphic.EncodedDataCache->BeginWrite();
  bool ok = false;
  try {
    ok = write();
  } catch (...) {
    graphic.OnProgress = progress;
    throw;
  }
  graphic.OnProgress = progress;
  graphic.EncodedDataCache->EndWrite();
  return ok;
}
}  // namespace

bool ReplacePrivateFile(const QString& from, const QString& to, QString* error) {
  const QByteArray source = QFile::encodeName(from);
  const QByteArray target = QFile::encodeName(to);
  // The two files trade names in one step, then the old one goes; a rename over the old file
  // would make the file system write the new one out first.
  if (renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_EXCHANGE) == 0) {
    std::remove(source.constData());
    return true;
  }
  if (std::rename(source.constData(), target.constData()) != 0) {
    if (error) *error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
  }
  return true;
}

bool WritesAsWorkingCopy(TGIFImage& graphic, const TOwnFile& file) {
  if (!file.IsOpen() || graphic.IsEmpty() || PrepareForSave(graphic, true, false)) return false;
  const std::uint8_t* held = file.Bytes().data();
  const std::size_t size = file.Bytes().size();
  std::size_t at = 0;
  try {
    // Compared as it is written: the first byte that differs ends the write.
    gif::ByteWriter stream([&](std::span<const std::uint8_t> bytes) {
      if (bytes.size() > size - at || std::memcmp(held + at, bytes.data(), bytes.size()) != 0)
        throw std::runtime_error("differs");
      at += bytes.size();
    });
    WriteAsItStands(graphic, [&] {
      graphic.SaveToStream(stream);
      stream.Flush();
      return true;
    });
  } catch (const std::exception&) {
    return false;
  }
  return at == size;
}

namespace {
// A user's file: replaced only once the new one is whole and on the disk.
bool WriteUserFile(TGIFImage& graphic, const QString& fileName, QString* error) {
  QSaveFile file(fileName);
  // Unbuffered, so that a failing write (a full disk) is seen by the save file and its commit
  // refuses to replace the old file; a buffered flush failure goes unnoticed by commit().
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
    if (error) *error = file.errorString();
    return false;
  }
  if (!WriteImageTo(graphic, file, error)) {
    file.cancelWriting();
    return false;
  }
  if (!file.commit()) {
    if (error) *error = file.errorString();
    return false;
  }
  return true;
}
}  // namespace

bool WriteGifFile(TGIFImage& graphic, const QString& fileName, bool privateFile, QString* error) {
  if (privateFile) return WritePrivateFile(graphic, fileName, error);
  // Encoded, written and forced to the disk on a thread of its own while the window stays painted
  // (long work keeps the image from changing meanwhile).
  bool ok = false;
  RunAsideOn(graphic, [&] { ok = WriteUserFile(graphic, fileName, error); }, Tr(gif::texts::Saving));
  return ok;
}

bool SaveGraphicToFile(TGIFImage& graphic, const QString& fileName, bool keepExisting, bool force) {
  bool ok = false;
  if (force || QFileInfo::exists(fileName)) {
    try {
      if (keepExisting) {
        PrepareForSave(graphic, false);
        ok = WriteGifFile(graphic, fileName, false, nullptr);
      } else if (!PrepareForSave(graphic, true, false)) {
        // A working copy is written after every edit: the window stays painted while it is.
        RunAsideOn(
            graphic, [&] { ok = WriteAsItStands(graphic, [&] { return WriteGifFile(graphic, fileName, true, nullptr); }); },
            Tr(gif::texts::Saving));
      } else {
        // A working copy is written from a prepared copy, so that the edited image in memory keeps
        // every extension the undo history may still point at.
        RunAsideOn(
            graphic,
            [&] {
              TGIFImage copy;
              copy.Assign(graphic);
              PrepareForSave(copy, true);
              if (!graphic.EncodedDataCache) graphic.EncodedDataCache = std::make_shared<gif::TGIFEncodedDataCache>();
              copy.EncodedDataCache = graphic.EncodedDataCache;
              copy.EncodedDataCache->BeginWrite();
              ok = WriteGifFile(copy, fileName, true, nullptr);
              copy.EncodedDataCache->EndWrite();
            },
            Tr(gif::texts::Saving));
      }
    } catch (const std::exception&) {
      ok = false;
    }
  }
  if (!ok) ShowMessage(Tr(texts::kErrorSaving).arg(fileName), MessageType::Warning, kOk);
  return ok;
}

bool HasSeveralFrames(const TGIFImage& image) {
  int filled = 0;
  for (int i = 0; i < image.Images().GetCount(); ++i)
    if (!image.Images().GetFrame(i)->IsEmpty() && ++filled >= 2) return true;
  return false;
}

int ShownFrameCount(const TGIFImage& image) {
  int shown = 0;
  for (int i = 0; i < image.Images().GetCount(); ++i) shown += image.Images().GetFrame(i)->IsEmpty() ? 0 : 1;
  return shown;
}

bool IsAnimationFile(const QString& fileName) {
  if (GetFileTypeCode(fileName) != kFileTypeGif) return false;
  TGIFImage scratch;
  return LoadGifFile(scratch, fileName) && HasSeveralFrames(scratch);
}

int GetFrameDelay(TGIFImage& image, int frameIndex) {
  TGIFSubImage* f = FrameAt(image, frameIndex);
  if (!f || !f->GraphicControlExtension()) return 0;
  return f->GraphicControlExtension()->GetDelay();
}

void SetFrameDelay(TGIFSubImage& frame, int delay) {
  TGIFGraphicControlExtension* gce = frame.GraphicControlExtension();
  if (!gce) {
    gce = new TGIFGraphicControlExtension(&frame);
    frame.Extensions().Add(gce);
  }
  gce->SetDelay(static_cast<std::uint16_t>(delay));
}

void AddCommentExtension(TGIFSubImage& frame, const QString& text) {
  auto* comment = new TGIFCommentExtension(&frame);
  const QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
  for (const QString& line : lines) comment->Text().push_back(line.toStdString());
  frame.Extensions().Add(comment);
}

TGIFAppExtNSLoop* FindLoopExtension(TGIFSubImage& frame) {
  for (int i = 0; i < frame.Extensions().GetCount(); ++i)
    if (auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(frame.Extensions().GetExtension(i))) return loop;
  return nullptr;
}

bool HasLoopExtension(TGIFImage& image) {
  TGIFSubImage* f = FrameAt(image, 0);
  return f && FindLoopExtension(*f);
}

int GetLoopCount(TGIFImage& image) {
  TGIFSubImage* f = FrameAt(image, 0);
  TGIFAppExtNSLoop* loop = f ? FindLoopExtension(*f) : nullptr;
  if (!loop) return 1;
  const int stored = loop->GetLoops();
  return (stored == 0 || stored == 65535) ? 0 : stored + 1;
}

namespace {
void PutLoopAtHead(TGIFSubImage& frame, std::uint16_t stored) {
  auto* loop = new TGIFAppExtNSLoop(&frame);
  loop->SetLoops(stored);
  if (frame.Extensions().GetCount() == 0)
    frame.Extensions().Add(loop);
  else
    frame.Extensions().Insert(0, loop);
}

std::uint16_t StoredLoops(int plays) { return static_cast<std::uint16_t>(plays >= 2 ? plays - 1 : 0); }
}  // namespace

void AddLoopExtension(TGIFImage& image, int frameIndex, int plays) {
  if (plays == 1) return;
  TGIFSubImage* f = FrameAt(image, frameIndex);
  if (!f) return;
  PutLoopAtHead(*f, StoredLoops(plays));
}

bool SetLoopCount(TGIFImage& image, int plays) {
  if (plays == 1 || image.Images().GetCount() == 0) return false;
  TGIFSubImage* f = FrameAt(image, 0);
  if (TGIFAppExtNSLoop* loop = FindLoopExtension(*f)) {
    loop->SetLoops(StoredLoops(plays));
    return true;
  }
  AddLoopExtension(image, 0, plays);
  return false;
}

void FillWebSafe(gif::TGIFColorMap& map) {
  map.Clear();
  std::vector<gif::TGIFColor> cube(256);
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b)
        cube[static_cast<std::size_t>(36 * r + 6 * g + b)] = {static_cast<std::uint8_t>(51 * r),
                                                              static_cast<std::uint8_t>(51 * g),
                                                              static_cast<std::uint8_t>(51 * b)};
  map.ImportRGB(cube.data(), 216);
}

void PrepareNewFrame(TGIFImage& image, TGIFSubImage& frame, int loopCount, int delay) {
  if (!HasLoopExtension(image)) AddLoopExtension(image, 0, loopCount);
  SetFrameDelay(frame, delay);
  if (frame.ColorMap().GetCount() > 0) frame.ColorMap().DoOptimize();
  gif::TGIFGlobalColorMap& global = image.GetGlobalColorMap();
  if (global.GetCount() == 0) {
    if (frame.ColorMap().GetCount() > 0)
      global.Assign(frame.ColorMap());
    else
      FillWebSafe(global);
  }
}

void MoveFrameTo(TGIFImage& image, int from, int to) {
  if (from == -1) return;
  const int count = image.Images().GetCount();
  bool moved = false;
  std::uint16_t stored = 0;
  if ((from == 0 || to == 0) && count > 0) {
    TGIFSubImage* first = image.Images().GetFrame(0);
    if (TGIFAppExtNSLoop* loop = FindLoopExtension(*first)) {
      stored = loop->GetLoops();
      delete loop;
      moved = true;
    }
  }
  if (from >= 0 && from < count && to >= 0 && to < count) image.Images().Move(from, to);
  if (moved && count > 0) PutLoopAtHead(*image.Images().GetFrame(0), stored);
  EditorView()->SetSelectedFrame(to);
}

void MoveLoopBlock(TGIFImage& image, int from, int to) {
  TGIFSubImage* source = FrameAt(image, from);
  TGIFSubImage* target = FrameAt(image, to);
  TGIFAppExtNSLoop* loop = source && target && source != target ? FindLoopExtension(*source) : nullptr;
  if (!loop) return;
  const std::uint16_t stored = loop->GetLoops();
  delete loop;
  delete FindLoopExtension(*target);
  PutLoopAtHead(*target, stored);
}

bool DeleteFrameAt(TGIFImage& image, int index) {
  bool ok = false;
  if (index >= 0 && index < image.Images().GetCount()) {
    // The animation's loop count stays with the animation when its first frame goes.
    if (index == 0 && image.Images().GetCount() > 1) MoveLoopBlock(image, 0, 1);
    image.Images().Delete(index);
    ok = true;
    EditorView()->FrameCountChanged(image.Images().GetCount());
    EditorView()->SetSelectedFrame(index == 0 ? 0 : index - 1);
  }
  EditorView()->ShowFrame(EditorView()->SelectedFrame());
  return ok;
}

bool RestoreFrameFromFile(TGIFImage& image, const QString& fileName, int index, int fileIndex) {
  BusyScope busy;
  std::unique_ptr<TGIFImage> scratch = ReadGifFile(fileName);
  if (!scratch) return false;
  TGIFSubImage* source = FrameAt(*scratch, fileIndex < 0 ? index : fileIndex);
  if (!source || source->IsEmpty() || index > image.Images().GetCount()) return false;
  auto frame = std::make_unique<TGIFSubImage>(&image);
  try {
    frame->Assign(*source);
  } catch (const std::exception&) {
    return false;
  }
  TGIFSubImage* restored = frame.get();
  image.Images().Insert(index, frame.release());
  // A first frame that comes back with its loop block takes it back from the frame that held it.
  if (index == 0 && FindLoopExtension(*restored) && image.Images().GetCount() > 1)
    delete FindLoopExtension(*image.Images().GetFrame(1));
  EditorView()->FrameCountChanged(image.Images().GetCount());
  EditorView()->SetSelectedFrame(index);
  return true;
}

int GetRunningTime(const TGIFImage& image) {
  int total = 0;
  for (int i = 0; i < image.Images().GetCount(); ++i)
    if (auto* gce = image.Images().GetFrame(i)->GraphicControlExtension()) total += gce->GetDelay();
  return total;
}

std::size_t GetEncodedSize(TGIFImage& image) {
  try {
    return image.SaveToMemory().size();
  } catch (const std::exception&) {
    return 0;
  }
}

gif::TColor GetBottomLeftColor(TGIFSubImage& frame) {
  try {
    gif::TGIFColorMap& map = frame.GetActiveColorMap();
    if (map.GetCount() == 0 || frame.IsEmpty()) return 0xFFFFFF;
    return map.GetColor(frame.GetPixel(0, frame.GetHeight() - 1));
  } catch (const std::exception&) {
    return 0xFFFFFF;
  }
}

IndexMap IdentityIndexMap() {
  IndexMap map{};
  for (int i = 0; i < 256; ++i) map[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
  return map;
}

bool IsIdentity(const IndexMap& map, int count) {
  for (int i = 0; i < count && i < 256; ++i)
    if (map[static_cast<std::size_t>(i)] != i) return false;
  return true;
}

void RemapFrame(TGIFSubImage& frame, const IndexMap& map) {
  std::uint8_t* p = frame.Data();
  const std::size_t n = frame.DataSize();
  for (std::size_t i = 0; i < n; ++i) p[i] = map[p[i]];
  if (auto* gce = frame.GraphicControlExtension()) {
    const bool transparent = gce->GetTransparent();
    gce->SetTransparentColorIndex(map[gce->GetTransparentColorIndex()]);
    gce->SetTransparent(transparent);
  }
  frame.FreeBitmap();
  frame.FreeMask();
}

bool MapLocalToGlobal(TGIFSubImage& frame, IndexMap& map) {
  map = IdentityIndexMap();
  gif::TGIFColorMap& local = frame.ColorMap();
  TGIFImage* image = frame.Image();
  if (!image) return false;
  gif::TGIFColorMap& global = image->GetGlobalColorMap();
  std::array<bool, 256> used{};
  const std::uint8_t* p = std::as_const(frame).Data();
  for (std::size_t i = 0, n = frame.DataSize(); i < n; ++i) used[p[i]] = true;
  if (frame.Transparent() && frame.GraphicControlExtension())
    used[frame.GraphicControlExtension()->GetTransparentColorIndex()] = true;
  for (int i = 0; i < 256; ++i) {
    if (!used[static_cast<std::size_t>(i)]) continue;
    if (i >= local.GetCount()) return false;
    // Prefer the same position, so an unchanged copy of the global table needs no rewrite.
    const gif::TGIFColor& c = local.Entry(i);
    int target = (i < global.GetCount() && global.Entry(i) == c) ? i : -1;
    if (target < 0) {
      for (int g = 0; g < global.GetCount(); ++g)
        if (global.Entry(g) == c) {
          target = g;
          break;
        }
    }
    if (target < 0) return false;
    map[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(target);
  }
  // A shown colour that lands on the transparent entry would vanish.
  if (frame.Transparent() && frame.GraphicControlExtension()) {
    const int t = frame.GraphicControlExtension()->GetTransparentColorIndex();
    for (int i = 0; i < 256; ++i)
      if (i != t && used[static_cast<std::size_t>(i)] && map[static_cast<std::size_t>(i)] == map[static_cast<std::size_t>(t)])
        return false;
  }
  return true;
}

void CropBitmap(gif::Bitmap& bitmap, int width, int height) {
  width = std::min(width, bitmap.Width());
  height = std::min(height, bitmap.Height());
  if (width == bitmap.Width() && height == bitmap.Height()) return;
  gif::Bitmap cropped(std::max(width, 0), std::max(height, 0), bitmap.Format());
  cropped.SetColors(bitmap.Colors());
  const int bpp = bitmap.BitsPerPixel();
  for (int y = 0; y < cropped.Height(); ++y) {
    if (bpp >= 8) {
      std::copy_n(bitmap.Scanline(y), static_cast<std::size_t>(width) * static_cast<std::size_t>(bpp / 8),
                  cropped.Scanline(y));
    } else {
      for (int x = 0; x < width; ++x) cropped.SetPixelIndex(x, y, bitmap.PixelIndex(x, y));
    }
  }
  bitmap = std::move(cropped);
}

void FitImageAndBitmap(TGIFImage& image, gif::Bitmap& bitmap, int mode) {
  if (image.Images().GetCount() == 0) return;
  if (mode == 1) {
    CropBitmap(bitmap, image.GetWidth(), image.GetHeight());
    return;
  }
  if (mode != 0) return;
  const int bw = bitmap.Width();
  const int bh = bitmap.Height();
  for (int i = 0; i < image.Images().GetCount(); ++i) {
    TGIFSubImage& f = *image.Images().GetFrame(i);
    if (f.GetLeft() + f.GetWidth() <= bw && f.GetTop() + f.GetHeight() <= bh) continue;
    // Cut the pixels in place: reassigning the frame from a bitmap would drop its extensions.
    const int left = std::min<int>(f.GetLeft(), bw);
    const int top = std::min<int>(f.GetTop(), bh);
    const int w = std::clamp(bw - left, 0, static_cast<int>(f.GetWidth()));
    const int h = std::clamp(bh - top, 0, static_cast<int>(f.GetHeight()));
    const int oldWidth = f.GetWidth();
    std::vector<std::uint8_t> kept(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    for (int y = 0; y < h && !f.IsEmpty(); ++y)
      std::copy_n(f.Data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(oldWidth), w,
                  kept.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w));
    f.SetBounds(left, top, w, h);
    if (f.DataSize() == kept.size()) std::copy(kept.begin(), kept.end(), f.Data());
  }
  image.SetWidth(bw);
  image.SetHeight(bh);
}

namespace {
bool CarriesNothing(const TGIFGraphicControlExtension& gce) {
  return gce.GetDelay() == 0 && !gce.GetTransparent() && gce.GetDisposal() == 0 && !gce.GetUserInput();
}
}  // namespace

bool PrepareForSave(TGIFImage& image, bool adjustBackground, bool apply) {
  const int count = image.Images().GetCount();
  if (count == 0) return false;
  std::optional<BusyScope> busy;
  if (apply) busy.emplace();
  bool changed = false;
  // Without apply, the first change that would be made ends the look.
  auto change = [&changed, apply] {
    changed = true;
    return !apply;
  };
  if (image.GetGlobalColorMap().GetCount() == 0) {
    if (change()) return true;
    FillWebSafe(image.GetGlobalColorMap());
  }

  TGIFSubImage* first = image.Images().GetFrame(0);
  // A full global table without the colour keeps its background: the colour cannot be added.
  gif::TGIFColorMap& global = image.GetGlobalColorMap();
  const gif::TColor background = Settings().FrameBackColor;
  if (adjustBackground && image.IsTransparent() &&
      (first->GetHeight() < image.GetHeight() || first->GetWidth() < image.GetWidth()) &&
      (global.GetCount() < 256 || global.IndexOf(background) >= 0)) {
    if (change()) return true;
    image.Header().SetBackgroundColor(background);
  }

  bool loopMoved = false;
  std::uint16_t movedLoops = 0;
  for (int f = count - 1; f >= 0; --f) {
    TGIFSubImage* frame = image.Images().GetFrame(f);
    TGIFGraphicControlExtension* own = frame->GraphicControlExtension();
    for (int e = frame->Extensions().GetCount() - 1; e >= 0; --e) {
      TGIFExtension* ext = frame->Extensions().GetExtension(e);
      if (f > 0) {
        if (auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(ext)) {
          if (change()) return true;
          // Frames are visited last to first, so the earliest frame's count wins.
          movedLoops = loop->GetLoops();
          loopMoved = true;
          delete loop;
          continue;
        }
      }
      if (auto* gce = dynamic_cast<TGIFGraphicControlExtension*>(ext)) {
        // The frame's own extension is the one it is drawn with; duplicates of it go.
        const bool duplicate = own && gce != own;
        if (duplicate || CarriesNothing(*gce)) {
          if (change()) return true;
          if (gce == own) own = nullptr;
          delete gce;
        }
      }
    }
    // Freeing a transparent duplicate may clear the frame's transparency; its own extension decides.
    if (apply && own && own->GetTransparent()) own->SetTransparent(true);
  }
  if (loopMoved && !FindLoopExtension(*first)) PutLoopAtHead(*first, movedLoops);
  return changed;
}

bool ApplyPaletteDefaults(TGIFImage& image) {
  const SettingsStore store;
  const QString section = QString::fromLatin1(sections::kSettings);
  const int type = ReadRegInt(store, section, QStringLiteral("PaletteType"), 0);
  if (type == 0 || type == 2) {
    image.ColorReduction = 7;
    switch (ReadRegInt(store, section, QStringLiteral("MaxColorCount"), 256)) {
      case 8: image.SetColorReductionBits(3); break;
      case 16: image.SetColorReductionBits(4); break;
      case 32: image.SetColorReductionBits(5); break;
      case 64: image.SetColorReductionBits(6); break;
      case 128: image.SetColorReductionBits(7); break;
      case 256: image.SetColorReductionBits(8); break;
      default: break;
    }
  } else if (type == 1) {
    image.ColorReduction = 6;
    image.SetColorReductionBits(8);
  }
  const int dither = ReadRegInt(store, section, QStringLiteral("DitherMethod"), 0);
  if (dither == 0 || dither == 1) image.DitherMode = dither;
  return type == 0 || type == 1;
}

namespace {
// Every frame's pixels as the last merge left them, by frame: the merge counts every frame, and
// frames whose pixels still carry the same number keep those counts, so the next merge counts
// only the others.
std::unordered_map<std::uint64_t, std::uint64_t> g_countedPixels;
std::mutex g_countedPixelsLock;  // a merge runs on whichever thread asks for it

// Pixels the next merge of image has to count.
std::uint64_t UncountedPixels(const TGIFImage& image) {
  const std::lock_guard guard(g_countedPixelsLock);
  std::uint64_t pixels = 0;
  for (int i = 0; i < image.Images().GetCount(); ++i) {
    const TGIFSubImage& f = *image.Images().GetFrame(i);
    const auto it = g_countedPixels.find(f.Serial());
    if (it == g_countedPixels.end() || it->second != f.PixelsId())
      pixels += static_cast<std::uint64_t>(f.GetWidth()) * f.GetHeight();
  }
  return pixels;
}
}  // namespace

bool ApplyStandardPalette(TGIFImage& image) {
  const auto merge = [&image] {
    image.CountIndices();
    image.Optimize(gif::ooColorMap, 0, 0, 8);
    image.OptimizeColorMaps();
  };
  // A merge that has a frame or two to count takes a few milliseconds, less than handing it to
  // another thread and waiting for it costs on a busy machine (a paste merges after every frame);
  // the library says as it goes that the work goes on, and the window is kept painted there.
  // Counting a whole animation takes long: every frame's pixels are read.
  constexpr std::uint64_t kCountedHere = 1u << 22;
  if (UncountedPixels(image) <= kCountedHere)
    merge();
  else
    RunAsideOn(image, merge, Tr(gif::texts::Optimizing));
  const std::lock_guard guard(g_countedPixelsLock);
  g_countedPixels.clear();
  for (int i = 0; i < image.Images().GetCount(); ++i) {
    const TGIFSubImage& f = *image.Images().GetFrame(i);
    g_countedPixels.emplace(f.Serial(), f.PixelsId());
  }
  return true;
}

}  // namespace movinta::editor
