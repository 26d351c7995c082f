// The file's header (the logical screen, its background colour and aspect ratio,
// and the global colour table) and the trailer that ends the file.
#pragma once

#include <cstdint>

#include "gif/basics.h"
#include "gif/blocks.h"
#include "gif/colormap.h"
#include "gif/stream.h"

namespace gif {

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

}  // namespace gif
