// The in-memory model of a GIF file: the header with the logical screen and the
// global colour table, the frames with their local tables, pixels and extension
// blocks, and the animation that owns them and reads and writes whole files.
//
// Ownership follows the lists: a TGIFList owns the items added to it (created
// with new, freed by Delete, Clear or the list's destruction), and an item being
// destroyed takes itself out of its list first, so a list never holds a freed
// item. Errors raise GIFException with the texts of gif/texts.h; warnings go to
// TGIFImage::OnWarning and are dropped without a handler.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "gif/color/bitmap.h"
#include "gif/encoded_data_cache.h"
#include "gif/load_options.h"
#include "gif/lzw/lzw.h"
#include "gif/stream.h"
#include "gif/texts.h"

namespace gif {

// A frame's pixels: one byte per pixel, rows top to bottom.
using PixelBytes = std::vector<std::uint8_t, UnfilledAllocator<std::uint8_t>>;

class TGIFImage;
class TGIFSubImage;
class TGIFHeader;
class TGIFExtension;
class TGIFGraphicControlExtension;
class TGIFEncodedDataCache;
// Of the painter library (gif/painter/painter.h).
class TGIFPainter;
class TGIFPainterList;
class TGIFDispatcher;
struct TGIFPlayEvents;

// ---------------------------------------------------------------------------
// Shared small types and routines

class GIFException : public std::runtime_error {
public:
  explicit GIFException(const std::string& message) : std::runtime_error(message) {}
};

[[noreturn]] void GIFError(const std::string& message);

// 0x00BBGGRR: red in the low byte.
using TColor = std::uint32_t;
// Means "no colour" for settings such as TGIFImage::BackgroundColor.
inline constexpr TColor clNone = 0x1FFFFFFF;

struct TGIFColor {
  std::uint8_t Red = 0, Green = 0, Blue = 0;
  bool operator==(const TGIFColor&) const = default;
};

struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  bool operator==(const TRect&) const = default;
};

using TStrings = std::vector<std::string>;

enum TGIFVersion : int { gvUnknown = 0, gv87a = 1, gv89a = 2 };

enum class TProgressStage { psStarting, psRunning, psEnding };

// Sender is the object that reports: an item, a list, a colour table or the image.
using TGIFWarningEvent = std::function<void(const void* sender, int severity, const std::string& message)>;
// A running stage with percent -1 only says the work goes on, without a new measure: passes over
// every frame of an animation send one per frame, so that the caller can keep its window going.
using TProgressEvent = std::function<void(const void* sender, TProgressStage stage, int percent,
                                          bool redrawNow, const std::string& message)>;
using TNotifyEvent = std::function<void(const void* sender)>;

inline constexpr int GIFSeverityInformation = 0;
inline constexpr int GIFSeverityWarning = 1;
inline constexpr int GIFSeverityError = 2;

int ColorsToBits(int count);
int AlignedRowBytes(int width, int bitsPerPixel, int alignmentBits);
// Rounds to nearest, as the graphics code has always done for scaling.
int MulDiv(int number, int numerator, int denominator);

void WriteByte(ByteWriter& stream, std::uint8_t value);
// Returns 0 at the end of the stream.
std::uint8_t ReadByte(ByteReader& stream);
// Reads exactly count bytes or raises "Premature end of data".
void ReadCheck(ByteReader& stream, void* buffer, std::size_t count);
// Text lines as data sub-blocks of at most 255 bytes, ended by a 0 byte.
void WriteStrings(ByteWriter& stream, const TStrings& strings);
// One line per sub-block, its bytes as they stand (0 bytes included).
void ReadStrings(ByteReader& stream, TStrings& strings);

// ---------------------------------------------------------------------------
// Blocks and lists of blocks

class TGIFItem {
public:
  explicit TGIFItem(TGIFImage* image) : image_(image) {}
  virtual ~TGIFItem() = default;
  TGIFItem(const TGIFItem&) = delete;
  TGIFItem& operator=(const TGIFItem&) = delete;

  TGIFImage* Image() const { return image_; }
  virtual int GetVersion() const { return gv87a; }
  virtual void Warning(int severity, const std::string& message);
  virtual void SaveToStream(ByteWriter& stream) = 0;
  virtual void LoadFromStream(ByteReader& stream) = 0;
  void SaveToFile(const std::string& name);
  void LoadFromFile(const std::string& name);

private:
  friend class TGIFImage;  // rebinds items when a freshly loaded image is swapped in
  TGIFImage* image_;
};

class TGIFList {
public:
  explicit TGIFList(TGIFImage* image) : image_(image) {}
  virtual ~TGIFList();
  TGIFList(const TGIFList&) = delete;
  TGIFList& operator=(const TGIFList&) = delete;

  TGIFImage* Image() const { return image_; }
  // Raises std::out_of_range for a bad index.
  TGIFItem* GetItem(int index) const;
  int GetCount() const { return static_cast<int>(items_.size()); }
  int IndexOf(const TGIFItem* item) const;
  // Takes ownership; the item must have the same owner image.
  int Add(TGIFItem* item);
  void Insert(int index, TGIFItem* item);
  void Move(int fromIndex, int toIndex);
  // Removes and frees.
  void Delete(int index);
  void Clear();
  // Removes without freeing; ownership passes back to the caller.
  void Remove(TGIFItem* item);

  virtual void Warning(int severity, const std::string& message);
  virtual void SaveToStream(ByteWriter& stream);
  virtual void LoadFromStream(ByteReader& stream, TGIFItem* parent) = 0;

protected:
  std::vector<TGIFItem*> items_;

private:
  friend class TGIFImage;
  TGIFImage* image_;
};

class TGIFImageList : public TGIFList {
public:
  using TGIFList::TGIFList;
  TGIFSubImage* GetFrame(int index) const;
  void SaveToStream(ByteWriter& stream) override;
  // The threads a save encodes the frames' image data on: more for more pixels, at most one a frame.
  int EncodingThreads() const;
  // parent is unused: frames belong to the list's image.
  void LoadFromStream(ByteReader& stream, TGIFItem* parent) override;
  // The frames of a whole image's load.
  void LoadFrames(ByteReader& stream, const TGIFLoadOptions& options);
};

class TGIFExtensionList : public TGIFList {
public:
  using TGIFList::TGIFList;
  TGIFExtension* GetExtension(int index) const;
  // parent is the frame the extensions precede.
  void LoadFromStream(ByteReader& stream, TGIFItem* parent) override;
};

// ---------------------------------------------------------------------------
// Colour tables

struct THistogramEntry {
  int Count = 0;
  int Index = 0;
};
using THistogram = std::array<THistogramEntry, 256>;
using TColormapMap = std::array<std::uint8_t, 256>;
// A platform palette: the colours in order (the Windows palette object's stand-in).
using TGIFPalette = Palette;

class TGIFColorMap {
public:
  TGIFColorMap() = default;
  virtual ~TGIFColorMap() = default;
  TGIFColorMap(const TGIFColorMap&) = delete;
  TGIFColorMap& operator=(const TGIFColorMap&) = delete;

  void Clear();
  virtual void Assign(const TGIFColorMap& source);

  int GetCount() const { return count_; }
  bool GetOptimized() const { return optimized_; }
  void SetOptimized(bool value) { optimized_ = value; }
  const TGIFColor* Data() const { return entries_.data(); }
  const TGIFColor& Entry(int index) const { return entries_[static_cast<std::size_t>(index)]; }

  int IndexOf(TColor color) const;
  int Add(TColor color);
  int AddUnique(TColor color);
  void Delete(int index);
  TColor GetColor(int index);
  void SetColor(int index, TColor color);
  int GetBitsPerPixel() const { return ColorsToBits(count_); }

  static TGIFColor ColorToRGB(TColor color);
  static TColor RGBToColor(TGIFColor triple);

  void SaveToStream(ByteWriter& stream) const;
  // Writes at least entries triples (padding with black), for tables that must
  // cover indices beyond their count.
  void SaveToStreamCovering(ByteWriter& stream, int entries) const;
  void LoadFromStream(ByteReader& stream, int count);

  void ImportPalette(const TGIFPalette& palette);
  // triples points to a block of 256 triples; count of them are taken.
  void ImportRGB(const TGIFColor* triples, int count);
  // quads: blue, green, red, reserved per entry.
  void ImportColorTable(const std::uint8_t* quads, int count);
  TGIFPalette ExportPalette() const;

  bool Optimize();

  virtual void Warning(int severity, const std::string& message) = 0;
  virtual void BuildHistogram(THistogram& histogram) = 0;
  virtual void RemapPixels(const TColormapMap& map) = 0;
  virtual bool DoOptimize() = 0;
  virtual void Changed() = 0;

protected:
  // Optimize has moved old entry i to map[i] (of oldCount entries, the first
  // GetCount() kept): owners whose other blocks index the table follow here.
  virtual void RemapReferences(const TColormapMap& /*map*/, int /*oldCount*/) {}

private:
  std::array<TGIFColor, 256> entries_{};
  int count_ = 0;
  bool optimized_ = false;
};

class TGIFGlobalColorMap : public TGIFColorMap {
public:
  explicit TGIFGlobalColorMap(TGIFHeader* header) : header_(header) {}
  ~TGIFGlobalColorMap() override;
  TGIFHeader* Header() const { return header_; }
  void Warning(int severity, const std::string& message) override;
  void BuildHistogram(THistogram& histogram) override;
  void RemapPixels(const TColormapMap& map) override;
  bool DoOptimize() override;
  void Changed() override;

protected:
  // The header's background index and the plain-text extensions' colours.
  void RemapReferences(const TColormapMap& map, int oldCount) override;

private:
  TGIFHeader* header_;
};

class TGIFLocalColorMap : public TGIFColorMap {
public:
  explicit TGIFLocalColorMap(TGIFSubImage* frame) : frame_(frame) {}
  ~TGIFLocalColorMap() override;
  TGIFSubImage* SubImage() const { return frame_; }
  void Warning(int severity, const std::string& message) override;
  void BuildHistogram(THistogram& histogram) override;
  void RemapPixels(const TColormapMap& map) override;
  bool DoOptimize() override;
  void Changed() override;

private:
  TGIFSubImage* frame_;
};

// ---------------------------------------------------------------------------
// Header and trailer

class TGIFHeader : public TGIFItem {
public:
  explicit TGIFHeader(TGIFImage* image);
  ~TGIFHeader() override;

  void Clear();
  void Assign(const TGIFHeader& source);
  void Assign(const TGIFColorMap& source);
  void Prepare();
  void SaveToStream(ByteWriter& stream) override;
  void LoadFromStream(ByteReader& stream) override;
  int GetVersion() const override;

  TGIFGlobalColorMap& ColorMap() { return colorMap_; }
  const TGIFGlobalColorMap& ColorMap() const { return colorMap_; }

  std::uint16_t GetWidth() const { return width_; }
  void SetWidth(std::uint16_t value) { width_ = value; }
  std::uint16_t GetHeight() const { return height_; }
  void SetHeight(std::uint16_t value) { height_ = value; }
  std::uint8_t GetPackedFields() const { return packed_; }
  std::uint8_t GetAspectRatio() const { return aspect_; }
  void SetAspectRatio(std::uint8_t value) { aspect_ = value; }

  std::uint8_t GetBackgroundColorIndex() const { return background_; }
  void SetBackgroundColorIndex(int index);
  TColor GetBackgroundColor();
  void SetBackgroundColor(TColor color);
  int GetBitsPerPixel() const { return colorMap_.GetBitsPerPixel(); }
  int GetColorResolution() const { return GetBitsPerPixel() - 1; }

private:
  std::uint16_t width_ = 0;
  std::uint16_t height_ = 0;
  std::uint8_t packed_ = 0;
  std::uint8_t background_ = 0;
  std::uint8_t aspect_ = 0;
  TGIFGlobalColorMap colorMap_;
};

class TGIFTrailer : public TGIFItem {
public:
  using TGIFItem::TGIFItem;
  void SaveToStream(ByteWriter& stream) override;
  void LoadFromStream(ByteReader& stream) override;
};

// ---------------------------------------------------------------------------
// Extension blocks

// What the label and application registries hold: how to make an extension and,
// optionally, how to pick a more specific class by looking further into the
// stream (positioned just after the label; the picker may move it, the caller
// puts it back). A picker returns itself when it is the answer, nullptr for none.
struct TGIFExtensionClass {
  const char* Name;
  TGIFExtension* (*Create)(TGIFSubImage* frame);
  const TGIFExtensionClass* (*GetExtensionClass)(ByteReader& stream);
};

using TGIFApplicationIdentifier = std::array<std::uint8_t, 11>;

// Later registrations win over earlier ones.
void RegisterExtension(std::uint8_t label, const TGIFExtensionClass* extensionClass);
void RegisterAppExtension(const TGIFApplicationIdentifier& identifier, const TGIFExtensionClass* extensionClass);
const TGIFExtensionClass* FindExtension(std::uint8_t label);
const TGIFExtensionClass* FindAppExtension(const TGIFApplicationIdentifier& identifier);

inline constexpr std::uint8_t ExtensionIntroducer = 0x21;
inline constexpr std::uint8_t ImageSeparator = 0x2C;
inline constexpr std::uint8_t Trailer = 0x3B;

inline constexpr std::uint8_t bsPlainTextExtension = 0x01;
inline constexpr std::uint8_t bsGraphicControlExtension = 0xF9;
inline constexpr std::uint8_t bsCommentExtension = 0xFE;
inline constexpr std::uint8_t bsApplicationExtension = 0xFF;

class TGIFExtension : public TGIFItem {
public:
  explicit TGIFExtension(TGIFSubImage* frame);
  // Takes itself out of its frame's extension list.
  ~TGIFExtension() override;

  TGIFSubImage* SubImage() const { return frame_; }
  virtual std::uint8_t GetExtensionType() const = 0;
  int GetVersion() const override { return gv89a; }
  void SaveToStream(ByteWriter& stream) override;
  void LoadFromStream(ByteReader& stream) override;

private:
  TGIFSubImage* const frame_;
};

// Disposal methods of the graphic control extension.
enum TDisposalMethod : std::uint8_t {
  dmNone = 0,
  dmNoDisposal = 1,
  dmBackground = 2,
  dmPrevious = 3,
};

class TGIFGraphicControlExtension : public TGIFExtension {
public:
  static const TGIFExtensionClass Class;
  // Becomes the frame's graphic control extension when the frame has none yet.
  explicit TGIFGraphicControlExtension(TGIFSubImage* frame);
  ~TGIFGraphicControlExtension() override;

  std::uint8_t GetExtensionType() const override { return bsGraphicControlExtension; }
  void SaveToStream(ByteWriter& stream) override;
  void LoadFromStream(ByteReader& stream) override;

  bool GetTransparent() const { return (packed_ & 0x01) != 0; }
  void SetTransparent(bool value);
  std::uint8_t GetTransparentColorIndex() const { return transparentIndex_; }
  void SetTransparentColorIndex(int index);
  TColor GetTransparentColor();
  void SetTransparentColor(TColor color);
  std::uint16_t GetDelay() const { return delay_; }
  void SetDelay(std::uint16_t hundredths) { delay_ = hundredths; }
  bool GetUserInput() const { return (packed_ & 0x02) != 0; }
  void SetUserInput(bool value);
  std::uint8_t GetDisposal() const { return (packed_ >> 2) & 0x07; }
  void SetDisposal(int method);
  std::uint8_t GetPackedFields() const { return packed_; }

private:
  std::uint8_t blockSize_ = 4;
  std::uint8_t packed_ = 0;
  std::uint16_t delay_ = 0;
  std::uint8_t transparentIndex_ = 0;
  std::uint8_t terminator_ = 0;
};

class TGIFTextExtension : public TGIFExtension {
public:
  static const TGIFExtensionClass Class;
  explicit TGIFTextExtension(TGIFSubImage* frame);

  std::uint8_t GetExtensionType() const override { return bsPlainTextExtension; }
  void SaveToStream(ByteWriter& stream) override;
  void LoadFromStream(ByteReader& stream) override;

  TStrings& Text() { return text_; }
  std::uint16_t Left = 0, Top = 0, GridWidth = 0, GridHeight = 0;
  std::uint8_t CharWidth = 0, CharHeight = 0;
  std::uint8_t ForegroundColorIndex = 0, BackgroundColorIndex = 0;

private:
  std::uint8_t blockSize_ = 12;
  TStrings text_;
};

class TGIFCommentExtension : public TGIFExtension {
public:
  static const TGIFExtensionClass Class;
  explicit TGIFCommentExtension(TGIFSubImage* frame) : TGIFExtension(frame) {}

  std::uint8_t GetExtensionType() const override { return bsCommentExtension; }
  void SaveToStream(ByteWriter& stream) override;
  void LoadFromStream(ByteReader& stream) override;
  TStrings& Text() { return text_; }

private:
  TStrings text_;
};

// A raw data sub-block (1..255 bytes).
struct TGIFBlock {
  std::vector<std::uint8_t> Data;
};

class TGIFApplicationExtension : public TGIFExtension {
public:
  static const TGIFExtensionClass Class;
  explicit TGIFApplicationExtension(TGIFSubImage* frame) : TGIFExtension(frame) {}

  std::uint8_t GetExtensionType() const override { return bsApplicationExtension; }
  void SaveToStream(ByteWriter& stream) override;
  void LoadFromStream(ByteReader& stream) override;
  virtual void WriteData(ByteWriter& stream) {}
  virtual void ReadData(ByteReader& stream) {}

  TGIFApplicationIdentifier& Identifier() { return identifier_; }
  // The 8-byte application name and 3-byte authentication code as text.
  std::string GetIdentifierText() const;

protected:
  TGIFApplicationIdentifier identifier_{};
};

// Any application extension nobody registered for, kept byte for byte; also
// holds blocks whose first sub-block is not the usual 11 bytes.
class TGIFUnknownAppExtension : public TGIFApplicationExtension {
public:
  static const TGIFExtensionClass Class;
  explicit TGIFUnknownAppExtension(TGIFSubImage* frame) : TGIFApplicationExtension(frame) {}

  void SaveToStream(ByteWriter& stream) override;
  void LoadFromStream(ByteReader& stream) override;
  void WriteData(ByteWriter& stream) override;
  void ReadData(ByteReader& stream) override;
  std::vector<TGIFBlock>& Blocks() { return blocks_; }

private:
  std::vector<TGIFBlock> blocks_;
  // The first sub-block as read, when its size is not 11.
  std::vector<std::uint8_t> oddHeader_;
  bool hasOddHeader_ = false;
};

// The loop count of the "NETSCAPE2.0" (or "ANIMEXTS1.0") application extension.
class TGIFAppExtNSLoop : public TGIFApplicationExtension {
public:
  static const TGIFExtensionClass Class;
  explicit TGIFAppExtNSLoop(TGIFSubImage* frame);

  void WriteData(ByteWriter& stream) override;
  void ReadData(ByteReader& stream) override;
  // 0 loops forever.
  std::uint16_t GetLoops() const { return loops_; }
  void SetLoops(std::uint16_t value) { loops_ = value; }
  // 0 is not written.
  std::uint32_t GetBufferSize() const { return bufferSize_; }
  void SetBufferSize(std::uint32_t value) { bufferSize_ = value; }
  // Sub-blocks of other kinds, as read; written back after the two above.
  std::vector<TGIFBlock>& OtherBlocks() { return others_; }

private:
  std::uint16_t loops_ = 0;
  std::uint32_t bufferSize_ = 0;
  std::vector<TGIFBlock> others_;
};

// An extension whose label no class is registered for: kept as read and written
// back unchanged, so a valid file never loses a block it does not understand.
class TGIFUnknownExtension : public TGIFExtension {
public:
  static const TGIFExtensionClass Class;
  explicit TGIFUnknownExtension(TGIFSubImage* frame) : TGIFExtension(frame) {}

  std::uint8_t GetExtensionType() const override { return label_; }
  void SaveToStream(ByteWriter& stream) override;
  void LoadFromStream(ByteReader& stream) override;
  std::vector<TGIFBlock>& Blocks() { return blocks_; }

private:
  std::uint8_t label_ = 0;
  std::vector<TGIFBlock> blocks_;
};

// ---------------------------------------------------------------------------
// Frames

class TGIFSubImage : public TGIFItem {
public:
  explicit TGIFSubImage(TGIFImage* image);
  // Takes itself out of the image's frame list.
  ~TGIFSubImage() override;

  void Clear();
  bool IsEmpty() const;
  void Assign(const TGIFSubImage& source);

  // 1 Left, 2 Top, 3 Width, 4 Height; other indices read 0 and write nothing.
  std::uint16_t GetBoundsValue(int index) const;
  void SetBoundsValue(int index, std::uint16_t value);
  void SetBounds(int left, int top, int width, int height);
  TRect GetBoundsRect() const;
  std::uint16_t GetLeft() const { return left_; }
  std::uint16_t GetTop() const { return top_; }
  std::uint16_t GetWidth() const { return width_; }
  std::uint16_t GetHeight() const { return height_; }
  void SetLeft(std::uint16_t value) { SetBoundsValue(1, value); }
  void SetTop(std::uint16_t value) { SetBoundsValue(2, value); }
  void SetWidth(std::uint16_t value) { SetBoundsValue(3, value); }
  void SetHeight(std::uint16_t value) { SetBoundsValue(4, value); }

  bool GetInterlaced() const { return (packed_ & 0x40) != 0; }
  void SetInterlaced(bool value);
  std::uint8_t GetPackedFields() const { return packed_; }
  int GetBitsPerPixel() const { return colorMap_.GetBitsPerPixel(); }
  int GetColorResolution() const { return GetBitsPerPixel() - 1; }

  TGIFExtensionList& Extensions() { return extensions_; }
  TGIFLocalColorMap& ColorMap() { return colorMap_; }
  const TGIFLocalColorMap& ColorMap() const { return colorMap_; }
  TGIFColorMap& GetActiveColorMap();
  const TGIFColorMap& GetActiveColorMap() const;

  int GetVersion() const override;
  void SaveToStream(ByteWriter& stream) override;
  void LoadFromStream(ByteReader& stream) override;

  std::uint8_t GetPixel(int x, int y) const;
  std::uint8_t* GetScanline(int y);
  // width x height bytes, rows top to bottom; empty for an empty frame. A
  // frame read from damaged data, or just resized, holds only what it decoded
  // until its pixels are first asked for here or it is drawn or saved.
  // Taking the pixels to write gives the frame a new PixelsId; readers use the const overload.
  std::uint8_t* Data() {
    Materialize();
    NewPixels();
    return pixels_.data();
  }
  const std::uint8_t* Data() const {
    Materialize();
    return pixels_.data();
  }
  std::size_t DataSize() const {
    Materialize();
    return pixels_.size();
  }
  // How many pixels hold each index; counted once for each PixelsId and carried through
  // RemapPixels, so a frame remapped again and again is counted once.
  const std::array<std::uint64_t, 256>& IndexCounts() const;
  // Every pixel p becomes map[p], as a loop over Data() would make it; the pixels themselves are
  // mapped when next read, through all the maps given until then at once. Colour tables merged
  // again and again then cost each frame 256 steps a merge, not one a pixel.
  void RemapPixels(const std::array<std::uint8_t, 256>& map);

  // The graphic control extension in the list that speaks for the frame, or null.
  TGIFGraphicControlExtension* GraphicControlExtension() const { return gce_; }
  // Set while the graphic control extension says transparent.
  bool Transparent() const { return transparent_; }

  // The colours the frame draws with: the 216-colour cube when the image
  // dithers, else the local table, else the image's palette.
  TGIFPalette GetPalette();
  void SetPalette(const TGIFPalette& palette);

  // The frame rendered to an 8-bit bitmap (cached; the frame owns it).
  const Bitmap& GetBitmap();
  bool HasBitmap() const { return hasBitmap_; }
  void SetHasBitmap(bool value);
  void FreeBitmap();
  // Renders when a mask is still needed; true when the frame has a mask.
  bool HasMask();
  // 1 bit per pixel, 1 = transparent; empty until HasMask or GetBitmap made it.
  const Bitmap& Mask() const { return mask_; }
  void FreeMask();

  // Takes a bitmap's picture: 1-, 4- and 8-bit bitmaps as they are, others
  // reduced by the image's colour-reduction settings; a 32-bit bitmap's alpha
  // below 128 becomes the frame's transparency.
  void Assign(const Bitmap& source);
  void AssignTo(Bitmap& destination);
  // Assign in two steps, for a caller that runs the long one away from the image: when
  // ReducesOnAssign(source), Assign(source) is AssignReduced(ReducePicture(source, the image's
  // ColorReduction, DitherMode and colour-reduction bits)). ReducePicture reads the picture alone.
  struct ReducedPicture {
    Bitmap Picture;                        // 8 bits a pixel; empty when the reduction gave nothing
    std::vector<std::uint8_t> Transparent;  // 1 a pixel whose alpha is below 128; empty when none is
  };
  bool ReducesOnAssign(const Bitmap& source) const;
  static ReducedPicture ReducePicture(const Bitmap& source, int method, int ditherMode, int bits);
  void AssignReduced(const ReducedPicture& reduced);
  // Draws into a 24- or 32-bit canvas: the frame's place on the logical screen
  // scaled into rect, or the screen tiled over rect.
  void Draw(Bitmap& canvas, const TRect& rect, bool transparent, bool tile);

  // The two passes below belong to the optimiser and link with movinta_gif_optimize.
  // Makes pixels transparent where they repeat the previous frame.
  void Merge(TGIFSubImage* previous);
  // Cuts away transparent borders of a transparent frame.
  void Crop();

  // A number that no other frame of this process has had or will have: callers that must
  // notice a frame being freed hold this instead of a pointer that a new frame may reuse.
  std::uint64_t Serial() const { return serial_; }
  // A number that names the frame's pixels: frames with the same number hold the same pixels.
  // Everything that changes them, or hands them out to be changed (Data, GetScanline), gives the
  // frame a number never used before; a copy takes its source's.
  std::uint64_t PixelsId() const { return pixelsId_; }

private:
  friend class TGIFGraphicControlExtension;
  friend class TGIFHeader;
  friend class TGIFImage;
  friend class TGIFImageList;
  // The table-based image data block as SaveToStream writes it, encoded ahead of the write.
  struct PreparedData {
    bool Ready = false;
    bool Ok = false;
    int Largest = -1;
    std::shared_ptr<const std::vector<std::uint8_t>> Bytes;
  };
  // A frame's image data read but not yet decoded: a load walks the blocks on its own thread and
  // may decode frames on others. ReadBlocks reads the frame up to and past its image data (false
  // when there is none to decode); Decode makes and fills the frame's pixels and touches nothing
  // else of the image; FinishDecode, on the loading thread and in file order, names the pixels
  // through the image's encoded-data cache and gives the warnings a plain load gives.
  using DonorFrames = std::unordered_map<std::uint64_t, TGIFSubImage*>;  // by PixelsId
  struct PendingDecode {
    std::span<const std::uint8_t> Data;  // from the minimum code size byte, Size bytes; valid while loading
    std::size_t Size = 0;                 // of the image data, through its terminator (LZWDataSize)
    std::size_t Total = 0;
    std::uint8_t Fill = 0;  // what pixels the data does not reach read as
    bool Partial = false;
    LZWDecodeResult Result;
    std::uint64_t DataHash = 0;  // of the data the decode consumed, for the cache
    const DonorFrames* Donors = nullptr;  // frames of the load's PixelsDonor that may give pixels
    bool Seed = false;                    // the load seeds the image's encoded-data cache
    TGIFSubImage* Donor = nullptr;        // the one whose pixels this frame takes, not decoded
    std::uint64_t DonorPixels = 0;
  };
  bool ReadBlocks(ByteReader& stream, PendingDecode& pending);
  void Decode(PendingDecode& pending);
  void FinishDecode(PendingDecode& pending);
  // True when the frame writes an image data block of its pixels.
  bool WritesPixels() const;
  // Encodes the block into prepared (also through the image's encoded-data cache); frames
  // may prepare their data on different threads at once. With cachedOnly, only takes the block
  // from the cache, leaving prepared not Ready when it is not there.
  void PrepareData(PreparedData& prepared, bool cachedOnly = false) const;
  // What the frame's image data block is encoded from, for a frame whose largest index is `largest`.
  TGIFEncodedDataCache::Key EncodingKey(int largest) const;
  void SaveToStream(ByteWriter& stream, const PreparedData* prepared);
  void NewPixels();
  void RenderBitmap();
  void ApplyMask(const std::vector<std::uint8_t>& transparentPixels);
  void DrawOne(Bitmap& canvas, const TRect& target, bool masked);
  // The largest colour index in the pixels; worked out once for each PixelsId.
  int LargestIndex() const;
  // Turns a partly held frame into its full width x height pixels.
  void Materialize() const;
  // Drops the pixels: the frame reads as fill until written.
  void HoldNothing(std::uint8_t fill);
  // An image descriptor of no width or height, as read.
  void SaveZeroSize(ByteWriter& stream);

  // Where the frame's pixels come from once its load has succeeded (see TGIFLoadOptions::PixelsDonor).
  TGIFSubImage* donor_ = nullptr;
  TGIFExtensionList extensions_;
  TGIFLocalColorMap colorMap_;
  std::uint16_t left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  std::uint8_t packed_ = 0;
  // While partial_ is set, pixels_ holds only the first pixels in code-stream
  // order (interlace pass order when partialInterlaced_), the rest being fill_.
  mutable PixelBytes pixels_;
  mutable bool partial_ = false;
  // Set while pixels_ still waits for pendingMap_ (see RemapPixels); Materialize applies it.
  mutable bool remapPending_ = false;
  mutable std::array<std::uint8_t, 256> pendingMap_{};
  // IndexCounts for the pixels named by countsOf_ (0: none counted).
  mutable std::uint64_t countsOf_ = 0;
  mutable std::array<std::uint64_t, 256> counts_{};
  // While remappedFor_ names the pixels, they are those that baseKey_ encoded, mapped through
  // baseMap_: their encoded data can then be made from that key's (see PrepareData).
  std::uint64_t remappedFor_ = 0;
  TGIFEncodedDataCache::Key baseKey_;
  std::array<std::uint8_t, 256> baseMap_{};
  bool partialInterlaced_ = false;
  std::uint8_t fill_ = 0;
  // Read from an image descriptor of no size (drawn as nothing); bare when no
  // colour table or image data followed it.
  bool zeroSize_ = false;
  bool zeroSizeBare_ = false;
  bool transparent_ = false;
  TGIFGraphicControlExtension* gce_ = nullptr;
  TGIFPalette palette_;
  bool hasPalette_ = false;
  Bitmap bitmap_;
  bool hasBitmap_ = false;
  Bitmap mask_;
  bool needMask_ = true;
  std::uint64_t serial_;
  std::uint64_t pixelsId_;
  // LargestIndex for the pixels named by largestOf_ (held at largestSize_, partly or not).
  mutable std::uint64_t largestOf_ = 0;
  mutable std::size_t largestSize_ = 0;
  mutable bool largestPartial_ = false;
  mutable int largest_ = -1;
};

// ---------------------------------------------------------------------------
// The animation

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
  void ReadStream(ByteReader& stream, const TGIFLoadOptions& options);
  // After a load: the frames given pixels by the donor take them.
  void TakeDonatedPixels();
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
