// Colour tables: the global one in the header and a frame's local one, with
// their histogram, remapping and optimisation, and the platform palette they
// import from and export to.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "gif/basics.h"
#include "gif/color/bitmap.h"
#include "gif/stream.h"

namespace gif {

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

}  // namespace gif
