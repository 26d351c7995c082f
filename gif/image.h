// The animation: the header and the frames it owns, its settings, memory budget
// and events, reading and writing whole streams and files, copying, the still
// picture and drawing; and the memory charges that pictures made from it hold.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "gif/basics.h"
#include "gif/blocks.h"
#include "gif/color/bitmap.h"
#include "gif/colormap.h"
#include "gif/encoded_data_cache.h"
#include "gif/header.h"
#include "gif/load_options.h"
#include "gif/stream.h"
#include "gif/subimage.h"

namespace gif {

// Of the painter library (gif/painter/painter.h).
class TGIFPainter;
class TGIFPainterList;
class TGIFDispatcher;
struct TGIFPlayEvents;

// Draw option bits.
inline constexpr std::uint16_t goAsync = 0x0001;
inline constexpr std::uint16_t goTransparent = 0x0002;
inline constexpr std::uint16_t goAnimate = 0x0004;
inline constexpr std::uint16_t goLoop = 0x0008;
inline constexpr std::uint16_t goLoopContinously = 0x0010;
inline constexpr std::uint16_t goValidateCanvas = 0x0020;
inline constexpr std::uint16_t goDirectDraw = 0x0040;
inline constexpr std::uint16_t goClearOnLoop = 0x0080;
inline constexpr std::uint16_t goTile = 0x0100;
inline constexpr std::uint16_t goDither = 0x0200;
inline constexpr std::uint16_t goAutoDither = 0x0400;
inline constexpr std::uint16_t GIFDefaultDrawOptions = 0x060F;

enum TGIFCompression : std::uint8_t { gcLZW = 0, gcRLE = 1 };

class TGIFImage {
public:
  TGIFImage();
  virtual ~TGIFImage();
  TGIFImage(const TGIFImage&) = delete;
  TGIFImage& operator=(const TGIFImage&) = delete;

  void Clear();
  TGIFImageList& Images() { return images_; }
  const TGIFImageList& Images() const { return images_; }
  TGIFHeader& Header() { return *header_; }
  const TGIFHeader& Header() const { return *header_; }
  TGIFGlobalColorMap& GetGlobalColorMap() { return header_->ColorMap(); }
  // The colour at the background index (the name has always said index).
  TColor GetBackgroundColorIndex() { return header_->GetBackgroundColor(); }

  // Appends the frame (taking ownership) and returns its index.
  int Add(TGIFSubImage* frame);
  bool IsEmpty() const { return images_.GetCount() == 0; }
  int GetWidth() const { return header_->GetWidth(); }
  int GetHeight() const { return header_->GetHeight(); }
  void SetWidth(int value);
  void SetHeight(int value);
  // Highest version any frame needs; 0 without frames.
  int GetVersion() const;
  bool IsTransparent() const;
  bool Equals(const TGIFImage* other) const { return other == this; }

  // Settings.
  std::uint16_t GetDrawOptions() const { return drawOptions_; }
  void SetDrawOptions(std::uint16_t options);
  int ColorReduction = 6;
  int GetColorReductionBits() const { return colorReductionBits_; }
  void SetColorReductionBits(int bits);
  int DitherMode = 0;
  TGIFCompression Compression = gcLZW;
  int ThreadPriority = 3;
  int AnimationSpeed = 100;
  TColor BackgroundColor = clNone;
  bool ShouldDither() const;
  void FlushRenderState();
  bool PaletteModified = false;
  // When set, frames take their encoded image data from it instead of encoding again (see
  // gif/encoded_data_cache.h); images written from copies may share one.
  std::shared_ptr<TGIFEncodedDataCache> EncodedDataCache;
  // Counts every frame's indices ahead (TGIFSubImage::IndexCounts), on several threads for a large
  // animation, before work that counts them all (merging the colour tables).
  void CountIndices();
  // Drops from EncodedDataCache the data of every frame but this image's own (after the image was
  // replaced by another, so that it holds one image's worth again, as a write leaves it).
  void DropOthersEncodedData();

  // Frames of more pixels than this (width x height) fail to load before any
  // pixel memory is taken. New images start from GIFDefaults().
  std::uint64_t MaxFramePixels;

  // Bytes a loaded image may need in all: every frame's pixels and rendered
  // bitmap and the still picture, as the file declares them. A file past it
  // fails to load ("Image needs more memory than allowed") and the image stays
  // as it was. Pictures made from the image outside it count too (see
  // TGIFMemoryCharge). New images start from GIFDefaults(), whose budget is
  // taken once at start-up from the machine (MemoryBudgetFor).
  std::uint64_t MemoryBudget;
  // The budget of a machine with this much memory, this much of it available
  // and this address-space limit for a process that maps `mapped` bytes now (0
  // where one is not known): the smallest of a quarter of the memory, what is
  // available and the limit less what is mapped and AddressSpaceReserve.
  static std::uint64_t MemoryBudgetFor(std::uint64_t physical, std::uint64_t available, std::uint64_t limit,
                                       std::uint64_t mapped);
  // Kept under an address-space limit for what the program maps besides the image's counted
  // memory: the file's bytes, decoders' stacks and heap arenas, pictures made for painting.
  static constexpr std::uint64_t AddressSpaceReserve = 256ull << 20;
  // What the address-space limit leaves now (no bound without a limit); a load is held to it too.
  static std::uint64_t AddressSpaceBudgetNow();
  // What the image is counted at now: its still picture and every frame.
  std::uint64_t MemoryCost() const;
  // What an image of this screen and these frames is counted at against the budget.
  static std::uint64_t ScreenMemoryCost(int width, int height);
  static std::uint64_t FrameMemoryCost(int width, int height);

  // Events.
  TGIFWarningEvent OnWarning;
  TProgressEvent OnProgress;
  TNotifyEvent OnChange;
  virtual void Warning(const void* sender, int severity, const std::string& message);
  void Progress(const void* sender, TProgressStage stage, int percent, bool redrawNow,
                const std::string& message);
  void Changed();

  // Streams and files. A failed load leaves the image as it was; a failed save
  // leaves the file on disk as it was.
  void LoadFromStream(ByteReader& stream, const TGIFLoadOptions& options = {});
  void SaveToStream(ByteWriter& stream);
  void LoadFromMemory(std::span<const std::uint8_t> data, const TGIFLoadOptions& options = {});
  std::vector<std::uint8_t> SaveToMemory();
  void LoadFromFile(const std::string& name, const TGIFLoadOptions& options = {});
  void SaveToFile(const std::string& name);

  void Assign(const TGIFImage& source);
  // The same without copying: the frames and the header change owners, and source is left empty.
  void Assign(TGIFImage&& source);
  // Clears, then takes the bitmap as the one frame.
  void Assign(const Bitmap& source);
  // A new frame from the bitmap, appended; returns its index.
  int Add(const Bitmap& source);
  void AssignTo(Bitmap& destination);

  // The first frame on the logical screen (cached); null for an empty image.
  const Bitmap* GetBitmap();
  TGIFPalette GetPalette();
  void SetPalette(const TGIFPalette& palette);
  // Draws the first frame (the still picture) into a 24- or 32-bit canvas.
  // Animation runs through Paint, which needs a dispatcher to reach the GUI.
  void Draw(Bitmap& canvas, const TRect& rect);
  void FreeDrawState();

  // Playback, defined by the painter library (link movinta_gif_painter to use
  // them); see gif::Paint and gif::StopAllPainters there.
  TGIFPainter* Paint(Bitmap& canvas, const TRect& rect, std::uint16_t options);
  TGIFPainter* Paint(Bitmap& canvas, const TRect& rect, std::uint16_t options, const TGIFPlayEvents& events,
                     TGIFDispatcher* dispatcher, TGIFPainter** callerSlot = nullptr);
  void StopAllPainters();
  TGIFPainterList& Painters() const;

  // Optimisation, defined by the optimiser library (link movinta_gif_optimize);
  // see gif::OptimizeColorMaps and gif::Optimize there.
  void OptimizeColorMaps();
  void Optimize(unsigned options, int method = 0, int ditherMode = 0, int bits = 8);

  // Told before the image frees its frames (Clear, loading, destruction), so that whatever
  // still reads them (a painter playing the image) lets go of them first.
  class TFramesObserver {
  public:
    virtual ~TFramesObserver() = default;
    // Must not throw; once it returns, nothing it answers for touches the image's frames.
    virtual void FramesGoing(TGIFImage& image) noexcept = 0;
  };
  // The image keeps one; whoever reads its frames from elsewhere sets it (the painter library
  // does when it paints the image). Stays with this image object through loads and moves.
  void SetFramesObserver(std::shared_ptr<TFramesObserver> observer) { framesObserver_ = std::move(observer); }
  const std::shared_ptr<TFramesObserver>& FramesObserver() const { return framesObserver_; }

private:
  void FramesGoing() noexcept {
    if (framesObserver_) framesObserver_->FramesGoing(*this);
  }
  std::shared_ptr<TFramesObserver> framesObserver_;
  void ReadStream(ByteReader& stream, const TGIFLoadOptions& options, TGIFImageList::Donations& donations);
  // After a load: the frames given pixels by the donor take them.
  void TakeDonatedPixels(const TGIFImageList::Donations& donations);
  void Swap(TGIFImage& other);
  // What Assign takes over besides the frames and the header.
  void AssignSettings(const TGIFImage& source);
  friend class TGIFSubImage;
  friend class TGIFImageList;
  // A warning a load holds back until the frames before it are decoded.
  struct HeldWarning {
    const void* Sender;
    int Severity;
    std::string Message;
  };
  // While set, Warning keeps warnings here instead of handing them to OnWarning.
  std::vector<HeldWarning>* heldWarnings_ = nullptr;
  // Counts bytes of a load against MemoryBudget; raises past it.
  void ChargeLoad(std::uint64_t bytes);
  std::uint64_t loadCharged_ = 0;
  // What the address-space limit left when the load began.
  std::uint64_t loadBudget_ = std::numeric_limits<std::uint64_t>::max();

  TGIFImageList images_;
  std::unique_ptr<TGIFHeader> header_;
  std::uint16_t drawOptions_ = GIFDefaultDrawOptions;
  int colorReductionBits_ = 8;
  TGIFPalette palette_;
  bool hasPalette_ = false;
  bool paletteInProgress_ = false;
  bool drawing_ = false;
  Bitmap bitmap_;
  bool hasBitmap_ = false;
};

// Memory taken outside an image for pictures made from it (a shown frame, a
// frame strip's picture, a copy that plays), held against the image's budget
// together with the image itself and every other charge alive; given back when
// the charge goes.
class TGIFMemoryCharge {
public:
  TGIFMemoryCharge() = default;
  // Raises "Image needs more memory than allowed" when the image's cost, the
  // charges held and `bytes` together would pass image.MemoryBudget.
  TGIFMemoryCharge(const TGIFImage& image, std::uint64_t bytes);
  TGIFMemoryCharge(TGIFMemoryCharge&& other) noexcept;
  TGIFMemoryCharge& operator=(TGIFMemoryCharge&& other) noexcept;
  TGIFMemoryCharge(const TGIFMemoryCharge&) = delete;
  TGIFMemoryCharge& operator=(const TGIFMemoryCharge&) = delete;
  ~TGIFMemoryCharge();
  void Release() noexcept;
  // Bytes all live charges hold.
  static std::uint64_t Held() noexcept;

private:
  std::uint64_t bytes_ = 0;
};

}  // namespace gif
