// Dither engines: they add the errors of earlier pixels to a colour before the
// lookup and spread the new error onto later pixels. Rows run in serpentine
// order: even rows left to right, odd rows right to left.
//
// Two ways in. The engine classes (TDitherEngine and the diffusion kernels)
// take one pixel at a time through a virtual Dither, for callers that walk a
// row themselves. TRowDitherer takes whole rows, with the engine and the
// concrete lookup chosen once when it is made, so its inner loop has no virtual
// call; ReduceColors and frame rendering use it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "gif/color/lookup.h"

namespace gif {

// Dither modes.
inline constexpr std::uint8_t dmNearest = 0;
inline constexpr std::uint8_t dmFloydSteinberg = 1;
inline constexpr std::uint8_t dmStucki = 2;
inline constexpr std::uint8_t dmSierra = 3;
inline constexpr std::uint8_t dmJaJuNi = 4;       // Jarvis, Judice and Ninke
inline constexpr std::uint8_t dmSteveArche = 5;   // Stevenson and Arce
inline constexpr std::uint8_t dmBurkes = 6;
inline constexpr std::uint8_t kDitherModeCount = 7;

// The Jarvis-Judice-Ninke weights add up to 48, but their errors are divided
// by 38 (rounded by adding 19): the kernel spreads more error than it takes,
// and is kept so that reductions match what this library has always produced.
inline constexpr int kJaJuNiDivisor = 38;
inline constexpr int kJaJuNiRounding = 19;

// Error accumulators: rows x (width + 2 x margin) cells of three channels; row 0
// is the row being dithered, and each column keeps margin spare cells on both
// sides so that kernels may write past the row ends.
struct TErrorRows {
  TErrorRows() = default;
  TErrorRows(int width, int rows, int margin);
  // Moves keep the storage block, so the row pointers stay valid; copies would not.
  TErrorRows(TErrorRows&&) = default;
  TErrorRows& operator=(TErrorRows&&) = default;
  TErrorRows(const TErrorRows&) = delete;
  TErrorRows& operator=(const TErrorRows&) = delete;
  // Clears row 0 and makes it the last row.
  void Rotate();
  std::int32_t* Row(int k) const { return rows[std::size_t(k)]; }

  int margin = 0;
  std::size_t stride = 0;  // int32 values per row
  std::vector<std::int32_t> storage;
  std::vector<std::int32_t*> rows;
};

// Plain nearest-colour mapping, and the base of the diffusion engines.
class TDitherEngine {
public:
  TDitherEngine(int width, TColorLookup& lookup) : lookup_(&lookup), width_(width) {}
  virtual ~TDitherEngine() = default;
  TDitherEngine(const TDitherEngine&) = delete;
  TDitherEngine& operator=(const TDitherEngine&) = delete;

  // Feeds the pixel at Column(); returns its palette index and that entry's colour,
  // and advances the column by the direction.
  virtual std::uint8_t Dither(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t& outRed,
                              std::uint8_t& outGreen, std::uint8_t& outBlue);
  // Flips the direction; the column goes to the new starting end.
  virtual void NextLine();
  // Passes the pixel at Column() by, neither taking nor spreading any error.
  void Skip() { column_ += direction_; }

  int Width() const { return width_; }
  int Column() const { return column_; }
  int Direction() const { return direction_; }
  TColorLookup& Lookup() const { return *lookup_; }

protected:
  TColorLookup* lookup_;
  int width_;
  int direction_ = 1;
  int column_ = 0;
};

// An engine that keeps rows of error accumulators.
class TDiffusionDitherer : public TDitherEngine {
public:
  void NextLine() override;

protected:
  TDiffusionDitherer(int width, TColorLookup& lookup, int rows, int margin)
      : TDitherEngine(width, lookup), errors_(width, rows, margin) {}
  TErrorRows errors_;
};

class TFloydSteinbergDitherer final : public TDiffusionDitherer {
public:
  TFloydSteinbergDitherer(int width, TColorLookup& lookup);
  std::uint8_t Dither(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t& outRed,
                      std::uint8_t& outGreen, std::uint8_t& outBlue) override;
};

// Kernels five columns wide and three rows deep.
class T5by3Ditherer : public TDiffusionDitherer {
protected:
  T5by3Ditherer(int width, TColorLookup& lookup) : TDiffusionDitherer(width, lookup, 3, 2) {}
};

class TStuckiDitherer final : public T5by3Ditherer {
public:
  TStuckiDitherer(int width, TColorLookup& lookup) : T5by3Ditherer(width, lookup) {}
  std::uint8_t Dither(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t& outRed,
                      std::uint8_t& outGreen, std::uint8_t& outBlue) override;
};

class TSierraDitherer final : public T5by3Ditherer {
public:
  TSierraDitherer(int width, TColorLookup& lookup) : T5by3Ditherer(width, lookup) {}
  std::uint8_t Dither(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t& outRed,
                      std::uint8_t& outGreen, std::uint8_t& outBlue) override;
};

class TJaJuNiDitherer final : public T5by3Ditherer {
public:
  TJaJuNiDitherer(int width, TColorLookup& lookup) : T5by3Ditherer(width, lookup) {}
  std::uint8_t Dither(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t& outRed,
                      std::uint8_t& outGreen, std::uint8_t& outBlue) override;
};

class TSteveArcheDitherer final : public TDiffusionDitherer {
public:
  TSteveArcheDitherer(int width, TColorLookup& lookup);
  std::uint8_t Dither(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t& outRed,
                      std::uint8_t& outGreen, std::uint8_t& outBlue) override;
};

class TBurkesDitherer final : public TDiffusionDitherer {
public:
  TBurkesDitherer(int width, TColorLookup& lookup);
  std::uint8_t Dither(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t& outRed,
                      std::uint8_t& outGreen, std::uint8_t& outBlue) override;
};

// The engine for a dither mode; none for a mode above 6.
std::unique_ptr<TDitherEngine> CreateDitherEngine(std::uint8_t ditherMode, int width, TColorLookup& lookup);

// Whole rows through one engine and lookup. The lookup must outlive it.
class TRowDitherer {
public:
  virtual ~TRowDitherer() = default;
  // src holds the row's width pixels, bytesPerPixel 3 or 4 apart, each starting
  // blue, green, red (the layout of pf24bit and pf32bit rows); dst receives one
  // index per pixel in column order. Where skip is given and non-zero, the pixel
  // is passed by and dst keeps what it held. Each call is the next row.
  virtual void DitherRow(const std::uint8_t* src, int bytesPerPixel, std::uint8_t* dst,
                         const std::uint8_t* skip = nullptr) = 0;
};

// None for a mode above 6.
std::unique_ptr<TRowDitherer> CreateRowDitherer(std::uint8_t ditherMode, int width, TColorLookup& lookup);

}  // namespace gif
