// The animation: settings, whole-stream loading and saving, copying, the still
// picture and drawing.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <limits>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>

#include "gif/color/palettes.h"
#include "gif/gifimage.h"
#include "gif/threads.h"

namespace gif {

namespace {

constexpr std::uint64_t kUnknown = 0;

std::uint64_t PhysicalMemory() {
  const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || pageSize <= 0) return kUnknown;
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

std::uint64_t AvailableMemory() {
  std::ifstream meminfo("/proc/meminfo");
  std::string key;
  std::uint64_t kilobytes = 0;
  while (meminfo >> key >> kilobytes) {
    if (key == "MemAvailable:") return kilobytes * 1024;
    meminfo.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
  }
  return kUnknown;
}

std::uint64_t AddressSpaceLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kUnknown;
  return static_cast<std::uint64_t>(limit.rlim_cur);
}

// What the process maps now: libraries, stacks, heap arenas and data alike count against RLIMIT_AS.
std::uint64_t MappedNow() {
  std::ifstream statm("/proc/self/statm");
  std::uint64_t pages = 0;
  const long pageSize = sysconf(_SC_PAGE_SIZE);
  if (!(statm >> pages) || pageSize <= 0) return 0;
  return pages * static_cast<std::uint64_t>(pageSize);
}

std::atomic<std::uint64_t> chargesHeld{0};

}  // namespace

std::uint64_t TGIFImage::MemoryBudgetFor(std::uint64_t physical, std::uint64_t available, std::uint64_t limit,
                                         std::uint64_t mapped) {
  std::uint64_t budget = std::numeric_limits<std::uint64_t>::max();
  if (physical != kUnknown) budget = physical / 4;
  if (available != kUnknown) budget = std::min(budget, available);
  if (limit != kUnknown) {
    const std::uint64_t taken = mapped + AddressSpaceReserve;
    budget = std::min(budget, limit > taken ? limit - taken : 0);
  }
  return budget == std::numeric_limits<std::uint64_t>::max() ? 1ull << 30 : budget;
}

namespace {

TGIFDefaults MachineDefaults() {
  TGIFDefaults defaults;
  defaults.MemoryBudget =
      TGIFImage::MemoryBudgetFor(PhysicalMemory(), AvailableMemory(), AddressSpaceLimit(), MappedNow());
  return defaults;
}

}  // namespace

TGIFDefaults& GIFDefaults() {
  static TGIFDefaults defaults = MachineDefaults();
  return defaults;
}

namespace {
// Taken during static start-up, as the machine is before the program maps anything of its own.
[[maybe_unused]] const bool defaultsTaken = (GIFDefaults(), true);
}  // namespace

std::uint64_t TGIFImage::AddressSpaceBudgetNow() {
  const std::uint64_t limit = AddressSpaceLimit();
  return limit == kUnknown ? std::numeric_limits<std::uint64_t>::max() : MemoryBudgetFor(kUnknown, kUnknown, limit, MappedNow());
}

std::uint64_t TGIFImage::MemoryCost() const {
  std::uint64_t cost = std::min(ScreenMemoryCost(GetWidth(), GetHeight()), ScreenMemoryCost(1, 1) * MaxFramePixels);
  for (int i = 0; i < images_.GetCount(); ++i) {
    const TGIFSubImage* frame = images_.GetFrame(i);
    cost += FrameMemoryCost(frame->GetWidth(), frame->GetHeight());
  }
  return cost;
}

TGIFMemoryCharge::TGIFMemoryCharge(const TGIFImage& image, std::uint64_t bytes) {
  const std::uint64_t budget = image.MemoryBudget, cost = image.MemoryCost();
  std::uint64_t held = chargesHeld.load();
  do {
    if (cost > budget || bytes > budget - cost || held > budget - cost - bytes) GIFError(texts::MemoryBudgetExceeded);
  } while (!chargesHeld.compare_exchange_weak(held, held + bytes));
  bytes_ = bytes;
}

TGIFMemoryCharge::TGIFMemoryCharge(TGIFMemoryCharge&& other) noexcept : bytes_(std::exchange(other.bytes_, 0)) {}

TGIFMemoryCharge& TGIFMemoryCharge::operator=(TGIFMemoryCharge&& other) noexcept {
  if (this != &other) {
    Release();
    bytes_ = std::exchange(other.bytes_, 0);
  }
  return *this;
}

TGIFMemoryCharge::~TGIFMemoryCharge() { Release(); }

void TGIFMemoryCharge::Release() noexcept { chargesHeld -= std::exchange(bytes_, 0); }

std::uint64_t TGIFMemoryCharge::Held() noexcept { return chargesHeld.load(); }

std::uint64_t TGIFImage::ScreenMemoryCost(int width, int height) {
  // The still picture: 32 bits per pixel.
  return static_cast<std::uint64_t>(std::max(width, 0)) * static_cast<std::uint64_t>(std::max(height, 0)) * 4;
}

std::uint64_t TGIFImage::FrameMemoryCost(int width, int height) {
  // Pixels, the rendered 8-bit bitmap and its 1-bit mask.
  const std::uint64_t w = static_cast<std::uint64_t>(std::max(width, 0)), h = static_cast<std::uint64_t>(std::max(height, 0));
  return 2 * w * h + (w + 7) / 8 * h;
}

void TGIFImage::ChargeLoad(std::uint64_t bytes) {
  loadCharged_ += bytes;
  if (loadCharged_ > std::min(MemoryBudget, loadBudget_)) GIFError(texts::MemoryBudgetExceeded);
}

TGIFImage::TGIFImage()
    : MaxFramePixels(GIFDefaults().MaxFramePixels), MemoryBudget(GIFDefaults().MemoryBudget), images_(this), header_(std::make_unique<TGIFHeader>(this)) {
  Clear();
}

TGIFImage::~TGIFImage() {
  FramesGoing();
  images_.Clear();
  header_.reset();
}

void TGIFImage::Clear() {
  FramesGoing();
  FreeDrawState();
  images_.Clear();
  header_->ColorMap().Clear();
  header_->SetWidth(0);
  header_->SetHeight(0);
  header_->Prepare();
  SetPalette({});
}

int TGIFImage::Add(TGIFSubImage* frame) {
  const int index = images_.Add(frame);
  FreeDrawState();
  Changed();
  return index;
}

int TGIFImage::Add(const Bitmap& source) {
  auto* frame = new TGIFSubImage(this);
  try {
    frame->Assign(source);
  } catch (...) {
    delete frame;
    throw;
  }
  return Add(frame);
}

void TGIFImage::SetWidth(int value) {
  for (int i = 0; i < images_.GetCount(); ++i)
    if (value < images_.GetFrame(i)->GetBoundsRect().Right) GIFError(texts::WidthTooSmall);
  value = std::clamp(value, 0, 0xFFFF);
  if (value == header_->GetWidth()) return;
  header_->SetWidth(static_cast<std::uint16_t>(value));
  FreeDrawState();
  Changed();
}

void TGIFImage::SetHeight(int value) {
  for (int i = 0; i < images_.GetCount(); ++i)
    if (value < images_.GetFrame(i)->GetBoundsRect().Bottom) GIFError(texts::HeightTooSmall);
  value = std::clamp(value, 0, 0xFFFF);
  if (value == header_->GetHeight()) return;
  header_->SetHeight(static_cast<std::uint16_t>(value));
  FreeDrawState();
  Changed();
}

int TGIFImage::GetVersion() const {
  int version = gvUnknown;
  for (int i = 0; i < images_.GetCount() && version != gv89a; ++i)
    version = std::max(version, images_.GetFrame(i)->GetVersion());
  return version;
}

bool TGIFImage::IsTransparent() const {
  for (int i = 0; i < images_.GetCount(); ++i) {
    const TGIFGraphicControlExtension* gce = images_.GetFrame(i)->GraphicControlExtension();
    if (gce && gce->GetTransparent()) return true;
  }
  return false;
}

void TGIFImage::SetDrawOptions(std::uint16_t options) {
  if (options == drawOptions_) return;
  drawOptions_ = options;
  FlushRenderState();
  Changed();
}

void TGIFImage::SetColorReductionBits(int bits) {
  if (bits < 3 || bits > 8) GIFError(texts::InvalidBitsPerPixel);
  colorReductionBits_ = bits;
}

bool TGIFImage::ShouldDither() const {
  // Displays here are never palette devices, so "dither only on palette
  // displays" never dithers.
  constexpr bool paletteDevice = false;
  return (drawOptions_ & goDither) && (!(drawOptions_ & goAutoDither) || paletteDevice);
}

void TGIFImage::FlushRenderState() {
  FreeDrawState();
  SetPalette({});
  for (int i = 0; i < images_.GetCount(); ++i) {
    TGIFSubImage* frame = images_.GetFrame(i);
    frame->FreeBitmap();
    frame->SetPalette({});
  }
  if (header_->ColorMap().GetCount() == 0 && images_.GetCount() == 1) {
    TGIFSubImage* frame = images_.GetFrame(0);
    header_->ColorMap().Assign(frame->ColorMap());
    frame->ColorMap().Clear();
  }
}

void TGIFImage::Warning(const void* sender, int severity, const std::string& message) {
  if (heldWarnings_) {
    heldWarnings_->push_back({sender, severity, message});
    return;
  }
  if (OnWarning) OnWarning(sender, severity, message);
}

void TGIFImage::Progress(const void* sender, TProgressStage stage, int percent, bool redrawNow,
                         const std::string& message) {
  if (OnProgress) OnProgress(sender, stage, percent, redrawNow, message);
}

void TGIFImage::Changed() {
  if (OnChange) OnChange(this);
}

// ---------------------------------------------------------------------------
// Streams

void TGIFImage::ReadStream(ByteReader& stream, const TGIFLoadOptions& options, TGIFImageList::Donations& donations) {
  Progress(this, TProgressStage::psStarting, 0, false, texts::Loading);
  try {
    Clear();
    header_->LoadFromStream(stream);
    loadCharged_ = 0;
    // Under an address-space limit, what the program maps already (more since start-up: windows,
    // threads, other documents) is not there for the frames.
    loadBudget_ = AddressSpaceBudgetNow();
    // A still picture larger than the frame limit is never made (GetBitmap).
    ChargeLoad(std::min(ScreenMemoryCost(GetWidth(), GetHeight()), ScreenMemoryCost(1, 1) * MaxFramePixels));
    images_.LoadFrames(stream, options, donations);
    if (options.FrameLimit <= 0 || images_.GetCount() < options.FrameLimit) {
      TGIFTrailer trailer(this);
      trailer.LoadFromStream(stream);
    }
  } catch (...) {
    Progress(this, TProgressStage::psEnding, 0, true, texts::Loading);
    throw;
  }
  Progress(this, TProgressStage::psEnding, 100, true, texts::Loading);
}

void TGIFImage::TakeDonatedPixels(const TGIFImageList::Donations& donations) {
  // A donor frame gives its pixels to the first frame that names them; later ones copy them.
  std::unordered_map<const TGIFSubImage*, const TGIFSubImage*> taken;
  for (const auto& [frame, donor] : donations) {
    const auto [at, first] = taken.try_emplace(donor, frame);
    const TGIFSubImage& from = first ? *donor : *at->second;
    frame->largest_ = from.LargestIndex();
    if (first) {
      frame->pixels_.swap(donor->pixels_);
      donor->HoldNothing(0);
    } else {
      frame->pixels_ = from.pixels_;
    }
    frame->largestOf_ = frame->pixelsId_;
    frame->largestSize_ = frame->pixels_.size();
    frame->largestPartial_ = false;
  }
}

void TGIFImage::Swap(TGIFImage& other) {
  std::swap(images_.items_, other.images_.items_);
  std::swap(header_, other.header_);
  for (TGIFImage* image : {this, &other}) {
    image->header_->image_ = image;
    for (TGIFItem* item : image->images_.items_) {
      auto* frame = static_cast<TGIFSubImage*>(item);
      frame->image_ = image;
      frame->extensions_.image_ = image;
      for (TGIFItem* extension : frame->extensions_.items_) extension->image_ = image;
    }
  }
}

void TGIFImage::LoadFromStream(ByteReader& stream, const TGIFLoadOptions& options) {
  const std::size_t start = stream.Position();
  // Parsed apart and swapped in whole, so a damaged file leaves this image as it was.
  TGIFImage fresh;
  fresh.MaxFramePixels = MaxFramePixels;
  fresh.MemoryBudget = MemoryBudget;
  // Frames read back from data the cache wrote keep their entries.
  fresh.EncodedDataCache = EncodedDataCache;
  fresh.Compression = Compression;
  fresh.OnWarning = [this](const void* sender, int severity, const std::string& message) {
    Warning(sender, severity, message);
  };
  fresh.OnProgress = [this](const void* sender, TProgressStage stage, int percent, bool redrawNow,
                            const std::string& message) { Progress(sender, stage, percent, redrawNow, message); };
  TGIFImageList::Donations donations;
  try {
    fresh.ReadStream(stream, options, donations);
  } catch (...) {
    stream.Seek(start);
    throw;
  }
  fresh.TakeDonatedPixels(donations);
  // The frames a painter is playing go away with fresh.
  FramesGoing();
  FreeDrawState();
  Swap(fresh);
  SetPalette({});
  Changed();
}

void TGIFImage::SaveToStream(ByteWriter& stream) {
  Progress(this, TProgressStage::psStarting, 0, false, texts::Saving);
  try {
    header_->SaveToStream(stream);
    images_.SaveToStream(stream);
    TGIFTrailer trailer(this);
    trailer.SaveToStream(stream);
  } catch (...) {
    Progress(this, TProgressStage::psEnding, 0, true, texts::Saving);
    throw;
  }
  Progress(this, TProgressStage::psEnding, 100, true, texts::Saving);
}

void TGIFImage::LoadFromMemory(std::span<const std::uint8_t> data, const TGIFLoadOptions& options) {
  ByteReader stream(data);
  LoadFromStream(stream, options);
}

std::vector<std::uint8_t> TGIFImage::SaveToMemory() {
  ByteWriter stream;
  SaveToStream(stream);
  return stream.Take();
}

void TGIFImage::LoadFromFile(const std::string& name, const TGIFLoadOptions& options) {
  // The frames are walked and decoded while the rest of the file is still being read.
  ArrivingFile file(name, options.EffectiveDecodeThreads());
  ByteReader stream(file);
  LoadFromStream(stream, options);
}

void TGIFImage::SaveToFile(const std::string& name) {
  const std::vector<std::uint8_t> bytes = SaveToMemory();
  WriteFileAtomically(name, bytes);
}

// ---------------------------------------------------------------------------
// Copying

void TGIFImage::AssignSettings(const TGIFImage& source) {
  ThreadPriority = source.ThreadPriority;
  BackgroundColor = source.BackgroundColor;
  drawOptions_ = source.drawOptions_;
  ColorReduction = source.ColorReduction;
  DitherMode = source.DitherMode;
}

void TGIFImage::Assign(TGIFImage&& source) {
  if (&source == this) return;
  Clear();
  source.FramesGoing();
  source.FreeDrawState();
  Swap(source);
  AssignSettings(source);
  source.Clear();
  Changed();
}

void TGIFImage::Assign(const TGIFImage& source) {
  if (&source == this) return;
  Clear();
  Progress(this, TProgressStage::psStarting, 0, false, texts::Copying);
  try {
    header_->Assign(source.Header());
    AssignSettings(source);
    const int count = source.images_.GetCount();
    for (int i = 0; i < count; ++i) {
      auto* frame = new TGIFSubImage(this);
      try {
        frame->Assign(*source.images_.GetFrame(i));
      } catch (...) {
        delete frame;
        throw;
      }
      Add(frame);
      Progress(this, TProgressStage::psRunning, (i + 1) * 100 / count, false, texts::Copying);
    }
  } catch (...) {
    Progress(this, TProgressStage::psEnding, 0, false, texts::Copying);
    throw;
  }
  Progress(this, TProgressStage::psEnding, 100, false, texts::Copying);
}

void TGIFImage::Assign(const Bitmap& source) {
  Clear();
  Add(source);
}

void TGIFImage::AssignTo(Bitmap& destination) {
  const Bitmap* bitmap = GetBitmap();
  destination = bitmap ? *bitmap : Bitmap();
}

// ---------------------------------------------------------------------------
// The still picture

const Bitmap* TGIFImage::GetBitmap() {
  if (IsEmpty()) return nullptr;
  if (!hasBitmap_) {
    TGIFSubImage* first = images_.GetFrame(0);
    if (first->GetLeft() == 0 && first->GetTop() == 0 && first->GetWidth() == GetWidth() &&
        first->GetHeight() == GetHeight()) {
      bitmap_ = first->GetBitmap();
    } else {
      // The screen size comes from the file: a tiny frame on a forged
      // 65535 x 65535 screen must not take gigabytes.
      if (static_cast<std::uint64_t>(GetWidth()) * GetHeight() > MaxFramePixels) GIFError(texts::FrameTooLarge);
      Bitmap canvas(GetWidth(), GetHeight(), PixelFormat::pf32bit);
      for (int y = 0; y < canvas.Height(); ++y) {
        std::uint8_t* row = canvas.Scanline(y);
        for (int x = 0; x < canvas.Width(); ++x) row[x * 4 + 3] = 255;
      }
      first->Draw(canvas, TRect{0, 0, GetWidth(), GetHeight()}, false, false);
      bitmap_ = std::move(canvas);
    }
    hasBitmap_ = true;
  }
  return &bitmap_;
}

TGIFPalette TGIFImage::GetPalette() {
  if (paletteInProgress_) GIFError(texts::NoColorTable);
  if (hasBitmap_ && !bitmap_.Colors().empty()) return bitmap_.Colors();
  if (hasPalette_) return palette_;
  paletteInProgress_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{paletteInProgress_};
  if (ShouldDither()) {
    palette_ = CreateWebSafePalette();
    hasPalette_ = true;
    return palette_;
  }
  if (header_->ColorMap().GetCount() > 0) {
    palette_ = header_->ColorMap().ExportPalette();
    hasPalette_ = true;
    return palette_;
  }
  if (images_.GetCount() > 0) return images_.GetFrame(0)->GetPalette();
  return {};
}

void TGIFImage::SetPalette(const TGIFPalette& palette) {
  if (hasPalette_ && palette == palette_) return;
  palette_ = palette;
  hasPalette_ = !palette.empty();
  if (hasBitmap_ && !bitmap_.Colors().empty() && bitmap_.Colors() != palette) {
    FreeDrawState();
    PaletteModified = true;
    Changed();
  }
}

void TGIFImage::CountIndices() {
  // Only frames not counted since their pixels last changed: a merge after every added frame
  // counts the new one, and starts no threads for it unless it is big.
  std::vector<const TGIFSubImage*> uncounted;
  std::uint64_t pixels = 0;
  for (int i = 0; i < images_.GetCount(); ++i) {
    const TGIFSubImage* f = images_.GetFrame(i);
    if (f->countsOf_ == f->pixelsId_) continue;
    uncounted.push_back(f);
    pixels += static_cast<std::uint64_t>(f->GetWidth()) * f->GetHeight();
  }
  const unsigned cores = std::max(1u, std::min(8u, std::thread::hardware_concurrency()));
  const int threads = static_cast<int>(std::min<std::uint64_t>(cores, pixels / (1u << 20) + 1));
  RunOnThreads(static_cast<int>(uncounted.size()), threads, [&uncounted](int i) {
    try {
      uncounted[static_cast<std::size_t>(i)]->IndexCounts();
    } catch (...) {
      // counted, and reported, where the counts are needed
    }
  });
}

void TGIFImage::DropOthersEncodedData() {
  if (!EncodedDataCache) return;
  EncodedDataCache->BeginWrite();
  for (int i = 0; i < images_.GetCount(); ++i) {
    const TGIFSubImage* frame = images_.GetFrame(i);
    if (!frame->WritesPixels()) continue;
    TGIFSubImage::PreparedData data;
    frame->PrepareData(data, true);  // found is kept
  }
  EncodedDataCache->EndWrite();
}

void TGIFImage::FreeDrawState() {
  bitmap_ = Bitmap();
  hasBitmap_ = false;
}

void TGIFImage::Draw(Bitmap& canvas, const TRect& rect) {
  if (drawing_ || IsEmpty() || rect.IsEmpty()) return;
  drawing_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{drawing_};
  images_.GetFrame(0)->Draw(canvas, rect, (drawOptions_ & goTransparent) != 0, (drawOptions_ & goTile) != 0);
}

}  // namespace gif
