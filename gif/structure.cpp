// Blocks, lists of blocks, the header with the logical screen, the trailer and
// the loops over the block sequence.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <cstring>
#include <new>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include "gif/gifimage.h"
#include "gif/threads.h"

#ifdef __linux__
#include <sched.h>
#endif

namespace gif {

void GIFError(const std::string& message) { throw GIFException(message); }

int ColorsToBits(int count) {
  if (count <= 0) return 0;
  int bits = 1;
  while ((1 << bits) < count) ++bits;
  return bits;
}

int AlignedRowBytes(int width, int bitsPerPixel, int alignmentBits) {
  const long long bits = static_cast<long long>(width) * bitsPerPixel + alignmentBits - 1;
  return static_cast<int>(bits / alignmentBits * alignmentBits / 8);
}

int MulDiv(int number, int numerator, int denominator) {
  if (denominator == 0) return -1;
  const long long product = static_cast<long long>(number) * numerator;
  long long half = denominator / 2;
  if (half < 0) half = -half;
  const bool negative = (product < 0) != (denominator < 0);
  const long long magnitude = (product < 0 ? -product : product) + half;
  const long long d = denominator < 0 ? -static_cast<long long>(denominator) : denominator;
  return static_cast<int>(negative ? -(magnitude / d) : magnitude / d);
}

void WriteByte(ByteWriter& stream, std::uint8_t value) { stream.Write(value); }

std::uint8_t ReadByte(ByteReader& stream) {
  std::uint8_t value = 0;
  stream.Read(value);
  return value;
}

void ReadCheck(ByteReader& stream, void* buffer, std::size_t count) {
  if (stream.Read(buffer, count) != count) GIFError(texts::PrematureEnd);
}

void WriteStrings(ByteWriter& stream, const TStrings& strings) {
  for (const std::string& line : strings) {
    for (std::size_t at = 0; at < line.size(); at += 255) {
      const std::size_t n = std::min<std::size_t>(255, line.size() - at);
      stream.Write(static_cast<std::uint8_t>(n));
      stream.Write(line.data() + at, n);
    }
  }
  stream.Write(0);
}

void ReadStrings(ByteReader& stream, TStrings& strings) {
  strings.clear();
  std::uint8_t size = 0;
  while (stream.Read(size) && size != 0) {
    // Every byte is kept, 0 bytes too, so text written back is what was read.
    char buffer[255];
    ReadCheck(stream, buffer, size);
    strings.emplace_back(buffer, size);
  }
}

// ---------------------------------------------------------------------------

void TGIFItem::Warning(int severity, const std::string& message) {
  if (image_) image_->Warning(this, severity, message);
}

void TGIFItem::SaveToFile(const std::string& name) {
  ByteWriter out;
  SaveToStream(out);
  WriteFileAtomically(name, out.Bytes());
}

void TGIFItem::LoadFromFile(const std::string& name) {
  const FileBytes bytes = ReadFileBytes(name);
  ByteReader in(bytes);
  LoadFromStream(in);
}

// ---------------------------------------------------------------------------

TGIFList::~TGIFList() { Clear(); }

TGIFItem* TGIFList::GetItem(int index) const {
  if (index < 0 || index >= GetCount()) throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  return items_[static_cast<std::size_t>(index)];
}

int TGIFList::IndexOf(const TGIFItem* item) const {
  const auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

int TGIFList::Add(TGIFItem* item) {
  items_.push_back(item);
  return GetCount() - 1;
}

void TGIFList::Insert(int index, TGIFItem* item) {
  if (index < 0 || index > GetCount()) throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  items_.insert(items_.begin() + index, item);
}

void TGIFList::Move(int fromIndex, int toIndex) {
  if (fromIndex == toIndex) return;
  TGIFItem* item = GetItem(fromIndex);
  if (toIndex < 0 || toIndex >= GetCount()) throw std::out_of_range("List index out of bounds (" + std::to_string(toIndex) + ")");
  items_.erase(items_.begin() + fromIndex);
  items_.insert(items_.begin() + toIndex, item);
}

void TGIFList::Delete(int index) {
  TGIFItem* item = GetItem(index);
  items_.erase(items_.begin() + index);
  delete item;
}

void TGIFList::Clear() {
  while (!items_.empty()) Delete(0);
}

void TGIFList::Remove(TGIFItem* item) {
  const int index = IndexOf(item);
  if (index >= 0) items_.erase(items_.begin() + index);
}

void TGIFList::Warning(int severity, const std::string& message) {
  if (image_) image_->Warning(this, severity, message);
}

void TGIFList::SaveToStream(ByteWriter& stream) {
  for (TGIFItem* item : items_) item->SaveToStream(stream);
}

// ---------------------------------------------------------------------------

TGIFSubImage* TGIFImageList::GetFrame(int index) const { return static_cast<TGIFSubImage*>(GetItem(index)); }

namespace {
// Skips 0 bytes; false at the end of the stream.
bool NextBlockByte(ByteReader& stream, std::uint8_t& b) {
  do {
    if (!stream.Read(b)) return false;
  } while (b == 0);
  return true;
}
}  // namespace

namespace {

// Frames read ahead of the oldest one still decoding, per decoding thread.
constexpr std::size_t kFramesInFlightPerThread = 4;


// A few threads that run posted jobs; the destructor runs what is still posted, then joins.
class DecodeWorkers {
public:
  explicit DecodeWorkers(int threads) {
    // Fewer threads than asked for still decode everything; none at all is handled by Post.
    StartThreads(threads_, threads, [this] { Run(); });
  }
  ~DecodeWorkers() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_) t.join();
  }
  DecodeWorkers(const DecodeWorkers&) = delete;
  DecodeWorkers& operator=(const DecodeWorkers&) = delete;

  // False when no thread could be started: the caller runs the job itself.
  bool Post(std::function<void()> job) {
    if (threads_.empty()) return false;
    {
      std::lock_guard lock(mutex_);
      jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
    return true;
  }

private:
  void Run() {
    for (;;) {
      std::function<void()> job;
      {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
        if (jobs_.empty()) return;
        job = std::move(jobs_.front());
        jobs_.pop_front();
      }
      job();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> jobs_;
  bool stop_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace

int TGIFLoadOptions::EffectiveDecodeThreads() const {
  if (DecodeThreads > 0) return DecodeThreads;
  int cores = 0;
#ifdef __linux__
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) cores = CPU_COUNT(&set);
#endif
  if (cores <= 0) cores = static_cast<int>(std::thread::hardware_concurrency());
  return std::clamp(cores, 1, 64);
}

void TGIFImageList::LoadFromStream(ByteReader& stream, TGIFItem*) {
  Donations none;
  LoadFrames(stream, TGIFLoadOptions{}, none);
}

// The blocks are walked on this thread, in order, as they always were; the image data of large
// frames is decoded on other threads meanwhile. Frames join the list, report progress and give
// their warnings in file order, each once it is decoded, so a load gives the same frames,
// warnings and errors on any number of threads.
void TGIFImageList::LoadFrames(ByteReader& stream, const TGIFLoadOptions& options, Donations& donations) {
  TGIFImage* image = Image();
  struct InFlight {
    std::unique_ptr<TGIFSubImage> Frame;
    TGIFSubImage::PendingDecode Pending;
    bool Decodes = false;
    bool Done = true;
    std::size_t Position = 0;
    // Warnings given after this frame was read, held back until it is finished.
    std::vector<TGIFImage::HeldWarning> After;
  };
  const int threads = options.EffectiveDecodeThreads();
  std::mutex doneMutex;
  std::condition_variable doneChanged;
  // Declared before the workers, so the workers finish with the frames before the frames go.
  std::deque<std::unique_ptr<InFlight>> inFlight;
  std::optional<DecodeWorkers> workers;
  struct HoldReset {
    TGIFImage* Image;
    ~HoldReset() {
      if (Image) Image->heldWarnings_ = nullptr;
    }
  } holdReset{image};
  auto holdAfterBack = [&] {
    if (image) image->heldWarnings_ = inFlight.empty() ? nullptr : &inFlight.back()->After;
  };
  auto finishFront = [&] {
    InFlight& f = *inFlight.front();
    {
      std::unique_lock lock(doneMutex);
      doneChanged.wait(lock, [&f] { return f.Done; });
    }
    if (image) image->heldWarnings_ = nullptr;
    if (f.Decodes) f.Frame->FinishDecode(f.Pending);
    if (f.Pending.Donor) donations.emplace_back(f.Frame.get(), f.Pending.Donor);
    for (const TGIFImage::HeldWarning& w : f.After) image->Warning(w.Sender, w.Severity, w.Message);
    Add(f.Frame.release());
    const std::size_t size = stream.Size();
    image->Progress(this, TProgressStage::psRunning,
                    size ? static_cast<int>(static_cast<unsigned long long>(f.Position) * 100 / size) : 0, false,
                    texts::Loading);
    inFlight.pop_front();
    holdAfterBack();
  };
  auto finishAll = [&] {
    while (!inFlight.empty()) finishFront();
  };
  auto finishReady = [&] {
    while (!inFlight.empty()) {
      {
        std::lock_guard lock(doneMutex);
        if (!inFlight.front()->Done) return;
      }
      finishFront();
    }
  };

  // Pixels a frame of the donor holds whole may come from it instead of the decoder.
  TGIFSubImage::DonorFrames donors;
  if (image && options.PixelsDonor && image->EncodedDataCache) {
    const TGIFImageList& given = options.PixelsDonor->Images();
    for (int i = 0; i < given.GetCount(); ++i) {
      TGIFSubImage* frame = given.GetFrame(i);
      if (!frame->partial_ && !frame->remapPending_ && !frame->zeroSize_ && frame->width_ > 0 && frame->height_ > 0 &&
          frame->pixels_.size() == static_cast<std::size_t>(frame->width_) * frame->height_)
        donors.try_emplace(frame->pixelsId_, frame);
    }
  }

  std::uint8_t b = 0;
  if (!NextBlockByte(stream, b)) return;
  while (b != Trailer) {
    stream.Skip(-1);
    if (b != ExtensionIntroducer && b != ImageSeparator) {
      Warning(GIFSeverityWarning, texts::UnknownBlockType);
      finishAll();
      return;
    }
    auto next = std::make_unique<InFlight>();
    next->Frame = std::make_unique<TGIFSubImage>(image);
    try {
      next->Decodes = next->Frame->ReadBlocks(stream, next->Pending);
      if (!donors.empty()) next->Pending.Donors = &donors;
      next->Pending.Seed = options.SeedEncodedData;
    } catch (const GIFException& e) {
      next.reset();
      finishAll();
      // A file cut short, as a partial download is, keeps the frames read
      // before the cut; only the frame the cut went through is lost.
      if (stream.AtEnd() && GetCount() > 0 && std::string_view(e.what()) == texts::PrematureEnd) {
        Warning(GIFSeverityWarning, texts::PrematureEnd);
        return;
      }
      throw;
    } catch (...) {
      next.reset();
      finishAll();
      throw;
    }
    next->Position = stream.Position();
    InFlight& f = *next;
    inFlight.push_back(std::move(next));
    holdAfterBack();
    if (f.Decodes) {
      bool posted = false;
      if (threads > 1 && f.Pending.Total >= options.DecodeThreadPixels) {
        if (!workers) workers.emplace(threads);
        f.Done = false;
        posted = workers->Post([&f, &doneMutex, &doneChanged] {
          f.Frame->Decode(f.Pending);
          {
            std::lock_guard lock(doneMutex);
            f.Done = true;
          }
          doneChanged.notify_all();
        });
      }
      if (!posted) {
        f.Done = true;
        f.Frame->Decode(f.Pending);
      }
    }
    finishReady();
    if (inFlight.size() > static_cast<std::size_t>(threads) * kFramesInFlightPerThread) finishFront();
    if (options.FrameLimit > 0 &&
        static_cast<std::size_t>(GetCount()) + inFlight.size() >= static_cast<std::size_t>(options.FrameLimit)) {
      finishAll();
      return;
    }
    if (!NextBlockByte(stream, b)) {
      finishAll();
      return;
    }
  }
  finishAll();
  stream.Skip(-1);
}

namespace {

// Large animations encode their frames' image data on several threads before the bytes are
// written in order on the calling thread.
constexpr std::uint64_t kPixelsPerThread = 1u << 19;
constexpr int kFramesPerThreadInWindow = 8;
// Frames a window has each thread encode at most: between windows the caller hears of progress
// (and keeps its window painted), so a window of frames to encode stays short.
constexpr int kEncodesPerThreadInWindow = 2;

}  // namespace

int TGIFImageList::EncodingThreads() const {
  std::uint64_t pixels = 0;
  for (int i = 0; i < GetCount(); ++i) {
    const TGIFSubImage* f = GetFrame(i);
    pixels += static_cast<std::uint64_t>(f->GetWidth()) * f->GetHeight();
  }
  const unsigned cores = std::max(1u, std::min(8u, std::thread::hardware_concurrency()));
  return static_cast<int>(
      std::min<std::uint64_t>({cores, pixels / kPixelsPerThread + 1, static_cast<std::uint64_t>(GetCount())}));
}

void TGIFImageList::SaveToStream(ByteWriter& stream) {
  const int count = GetCount();
  const int threads = EncodingThreads();
  if (threads <= 1) {
    for (int i = 0; i < count; ++i) {
      GetFrame(i)->SaveToStream(stream);
      Image()->Progress(this, TProgressStage::psRunning, (i + 1) * 100 / count, false, texts::Saving);
    }
    return;
  }
  // A window of frames at a time, so that progress goes on and only one window's data waits.
  const int window = threads * kFramesPerThreadInWindow;
  std::vector<TGIFSubImage::PreparedData> prepared(static_cast<std::size_t>(std::min(window, count)));
  for (int start = 0, n = 0; start < count; start += n) {
    // Frames whose data is cached take it here; only the others are encoded on threads, so a
    // write with little to encode starts none.
    std::vector<int> toEncode;
    const int most = threads * kEncodesPerThreadInWindow;
    for (n = 0; n < window && start + n < count && static_cast<int>(toEncode.size()) < most; ++n) {
      const int k = n;
      TGIFSubImage::PreparedData& data = prepared[static_cast<std::size_t>(k)];
      const TGIFSubImage* f = GetFrame(start + k);
      if (!f->WritesPixels()) continue;
      try {
        f->PrepareData(data, true);
      } catch (...) {
        data.Ready = false;
      }
      if (!data.Ready) toEncode.push_back(k);
    }
    const int encode = static_cast<int>(toEncode.size());
    RunOnThreads(encode, std::min(threads, encode), [&](int i) {
      const int k = toEncode[static_cast<std::size_t>(i)];
      TGIFSubImage::PreparedData& data = prepared[static_cast<std::size_t>(k)];
      try {
        GetFrame(start + k)->PrepareData(data);
      } catch (...) {
        data.Ready = false;  // the frame encodes its data itself when it is written
      }
    });
    if (start == 0 && n < count) {
      // The whole output in one block, sized from the first window (descriptors, tables and
      // extensions estimated), saves copying it as it grows.
      std::size_t bytes = 0;
      for (int k = 0; k < n; ++k) {
        const TGIFSubImage::PreparedData& data = prepared[static_cast<std::size_t>(k)];
        bytes += (data.Bytes ? data.Bytes->size() : 0) + 1024;
      }
      const std::size_t estimate = stream.Position() + bytes / static_cast<std::size_t>(n) * static_cast<std::size_t>(count);
      try {
        stream.Reserve(estimate + estimate / 16);
      } catch (const std::bad_alloc&) {
        // the output grows as it is written instead
      }
    }
    for (int k = 0; k < n; ++k) {
      TGIFSubImage::PreparedData& data = prepared[static_cast<std::size_t>(k)];
      GetFrame(start + k)->SaveToStream(stream, &data);
      data.Ready = false;
      data.Bytes.reset();
      Image()->Progress(this, TProgressStage::psRunning, (start + k + 1) * 100 / count, false, texts::Saving);
    }
  }
}

TGIFExtension* TGIFExtensionList::GetExtension(int index) const { return static_cast<TGIFExtension*>(GetItem(index)); }

// ---------------------------------------------------------------------------

TGIFHeader::TGIFHeader(TGIFImage* image) : TGIFItem(image), colorMap_(this) {}

TGIFHeader::~TGIFHeader() = default;

void TGIFHeader::Clear() {
  colorMap_.Clear();
  width_ = height_ = 0;
  packed_ = background_ = aspect_ = 0;
}

void TGIFHeader::Assign(const TGIFHeader& source) {
  if (&source == this) return;
  colorMap_.Assign(source.colorMap_);
  width_ = source.width_;
  height_ = source.height_;
  packed_ = source.packed_;
  background_ = source.background_;
  aspect_ = source.aspect_;
}

void TGIFHeader::Assign(const TGIFColorMap& source) {
  if (&source == &colorMap_) return;
  Clear();
  colorMap_.Assign(source);
}

void TGIFHeader::Prepare() {
  std::uint8_t packed = 0;
  const int bits = colorMap_.GetBitsPerPixel();
  if (colorMap_.GetCount() > 0) {
    packed |= 0x80;
    if (colorMap_.GetOptimized()) packed |= 0x08;
  }
  packed |= static_cast<std::uint8_t>(((bits - 1) * 16) & 0x70);
  packed |= static_cast<std::uint8_t>((bits - 1) & 0x07);
  packed_ = packed;
}

int TGIFHeader::GetVersion() const {
  return colorMap_.GetOptimized() || aspect_ != 0 ? gv89a : gv87a;
}

void TGIFHeader::SaveToStream(ByteWriter& stream) {
  const int version = Image() ? Image()->GetVersion() : GetVersion();
  if (version != gv87a && version != gv89a) GIFError(texts::UnsupportedVersion);
  static const char versions[] = "87a89a";
  stream.Write("GIF", 3);
  stream.Write(versions + (version - 1) * 3, 3);
  // A loaded file may use indices beyond its table; the table is padded over
  // them so that what loads can always be written again.
  int largest = -1;
  if (Image() && colorMap_.GetCount() > 0) {
    for (int i = 0; i < Image()->Images().GetCount(); ++i) {
      TGIFSubImage* frame = Image()->Images().GetFrame(i);
      if (frame->ColorMap().GetCount() > 0 || frame->IsEmpty()) continue;
      largest = std::max(largest, frame->LargestIndex());
    }
  }
  Prepare();
  if (largest >= colorMap_.GetCount() && colorMap_.GetCount() > 0) {
    const int bits = ColorsToBits(largest + 1);
    packed_ = static_cast<std::uint8_t>((packed_ & 0x88) | (((bits - 1) * 16) & 0x70) | ((bits - 1) & 0x07));
  }
  stream.WriteWord(width_);
  stream.WriteWord(height_);
  stream.Write(packed_);
  stream.Write(background_);
  stream.Write(aspect_);
  if (packed_ & 0x80) colorMap_.SaveToStreamCovering(stream, largest + 1);
}

namespace {
void ReadSignature(ByteReader& stream) {
  const std::size_t start = stream.Position();
  char sig[6];
  auto matches = [&] {
    if (stream.Read(sig, 6) != 6) return false;
    for (int i = 0; i < 3; ++i)
      if ((sig[i] & ~0x20) != "GIF"[i]) return false;
    return true;
  };
  if (matches()) return;
  // Some writers put a 4-byte size in front of the data.
  stream.Seek(start + 4);
  if (stream.Position() == start + 4 && matches()) return;
  GIFError(texts::InvalidSignature);
}
}  // namespace

void TGIFHeader::LoadFromStream(ByteReader& stream) {
  ReadSignature(stream);
  std::uint8_t screen[7];
  ReadCheck(stream, screen, 7);
  width_ = static_cast<std::uint16_t>(screen[0] | screen[1] << 8);
  height_ = static_cast<std::uint16_t>(screen[2] | screen[3] << 8);
  packed_ = screen[4];
  background_ = screen[5];
  aspect_ = screen[6];
  if (packed_ & 0x80) {
    const int count = 2 << (packed_ & 7);
    if (count < 2 || count > 256) GIFError(texts::InvalidScreenColors);
    colorMap_.LoadFromStream(stream, count);
  } else {
    colorMap_.Clear();
  }
}

TColor TGIFHeader::GetBackgroundColor() { return colorMap_.GetColor(background_); }

void TGIFHeader::SetBackgroundColor(TColor color) { SetBackgroundColorIndex(colorMap_.AddUnique(color)); }

void TGIFHeader::SetBackgroundColorIndex(int index) {
  if ((index < 0 || index >= colorMap_.GetCount()) && colorMap_.GetCount() > 0) {
    Warning(GIFSeverityWarning, texts::InvalidColorIndex);
    index = 0;
  }
  background_ = static_cast<std::uint8_t>(index);
}

// ---------------------------------------------------------------------------

void TGIFTrailer::SaveToStream(ByteWriter& stream) { stream.Write(Trailer); }

void TGIFTrailer::LoadFromStream(ByteReader& stream) {
  std::uint8_t b = 0;
  if (stream.Read(b) && b != Trailer) Warning(GIFSeverityWarning, texts::InvalidTrailer);
}

}  // namespace gif
