// A frame: its image descriptor, local colour table, extensions and pixels, how it
// is read (walked, decoded, given a donor's pixels), written (through the
// encoded-data cache), rendered and drawn, and how it takes a bitmap's picture.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <unordered_map>
#include <vector>

#include "gif/basics.h"
#include "gif/blocks.h"
#include "gif/color/bitmap.h"
#include "gif/colormap.h"
#include "gif/encoded_data_cache.h"
#include "gif/lzw/lzw.h"
#include "gif/stream.h"

namespace gif {

// A frame's pixels: one byte per pixel, rows top to bottom.
using PixelBytes = std::vector<std::uint8_t, UnfilledAllocator<std::uint8_t>>;

class TEncodeAhead;

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
  friend class TEncodeAhead;
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

}  // namespace gif
