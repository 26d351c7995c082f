#include "gif/color/dither.h"

#include <algorithm>
#include <type_traits>

namespace gif {

namespace {

struct Tap {
  int row;
  int offset;  // in units of the direction
  int weight;
};

// Row 0 is the rest of the current row, rows 1.. the rows below.
struct FloydSteinberg {
  static constexpr int kDivisor = 16, kRounding = 8, kRows = 2, kMargin = 1;
  static constexpr Tap kTaps[] = {{0, 1, 7}, {1, -1, 3}, {1, 0, 5}, {1, 1, 1}};
};
struct Stucki {
  static constexpr int kDivisor = 42, kRounding = 21, kRows = 3, kMargin = 2;
  static constexpr Tap kTaps[] = {{0, 1, 8}, {0, 2, 4},  {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4},
                                  {1, 2, 2}, {2, -2, 1}, {2, -1, 2}, {2, 0, 4},  {2, 1, 2}, {2, 2, 1}};
};
struct Sierra {
  static constexpr int kDivisor = 32, kRounding = 16, kRows = 3, kMargin = 2;
  static constexpr Tap kTaps[] = {{0, 1, 5}, {0, 2, 3}, {1, -2, 2}, {1, -1, 4}, {1, 0, 5},
                                  {1, 1, 4}, {1, 2, 2}, {2, -1, 2}, {2, 0, 3},  {2, 1, 2}};
};
struct JaJuNi {
  static constexpr int kDivisor = kJaJuNiDivisor, kRounding = kJaJuNiRounding, kRows = 3, kMargin = 2;
  static constexpr Tap kTaps[] = {{0, 1, 7}, {0, 2, 5},  {1, -2, 3}, {1, -1, 5}, {1, 0, 7}, {1, 1, 5},
                                  {1, 2, 3}, {2, -2, 1}, {2, -1, 3}, {2, 0, 5},  {2, 1, 3}, {2, 2, 1}};
};
struct SteveArche {
  static constexpr int kDivisor = 200, kRounding = 100, kRows = 4, kMargin = 3;
  static constexpr Tap kTaps[] = {{0, 2, 32},  {1, -3, 12}, {1, -1, 26}, {1, 1, 30}, {1, 3, 16}, {2, -2, 12},
                                  {2, 0, 26},  {2, 2, 12},  {3, -3, 5},  {3, -1, 12}, {3, 1, 12}, {3, 3, 5}};
};
struct Burkes {
  static constexpr int kDivisor = 32, kRounding = 16, kRows = 2, kMargin = 2;
  static constexpr Tap kTaps[] = {{0, 1, 8}, {0, 2, 4}, {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4}, {1, 2, 2}};
};

inline int Clamp255(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

// One pixel of error diffusion at column (0-based, without margin) in direction.
// The division truncates toward zero, as the stored kernels always have.
template <class K, class L>
inline std::uint8_t DiffusePixel(const TErrorRows& errors, int column, int direction, L& lookup,
                                 std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t& outRed,
                                 std::uint8_t& outGreen, std::uint8_t& outBlue) {
  const std::ptrdiff_t cell = std::ptrdiff_t(column + K::kMargin) * 3;
  const std::int32_t* acc = errors.rows[0] + cell;
  const int r = Clamp255(red + (acc[0] + K::kRounding) / K::kDivisor);
  const int g = Clamp255(green + (acc[1] + K::kRounding) / K::kDivisor);
  const int b = Clamp255(blue + (acc[2] + K::kRounding) / K::kDivisor);
  const std::uint8_t index = lookup.Lookup(std::uint8_t(r), std::uint8_t(g), std::uint8_t(b), outRed, outGreen, outBlue);
  const int er = r - outRed, eg = g - outGreen, eb = b - outBlue;
  if (er | eg | eb) {
    for (const Tap& t : K::kTaps) {
      std::int32_t* p = errors.rows[std::size_t(t.row)] + cell + std::ptrdiff_t(t.offset * direction) * 3;
      p[0] += er * t.weight;
      p[1] += eg * t.weight;
      p[2] += eb * t.weight;
    }
  }
  return index;
}

}  // namespace

TErrorRows::TErrorRows(int width, int rowCount, int margin_)
    : margin(margin_), stride(std::size_t(width + 2 * margin_) * 3),
      storage(stride * std::size_t(rowCount), 0), rows(std::size_t(rowCount)) {
  for (int k = 0; k < rowCount; ++k) rows[std::size_t(k)] = storage.data() + stride * std::size_t(k);
}

void TErrorRows::Rotate() {
  std::int32_t* finished = rows.front();
  std::fill(finished, finished + stride, 0);
  std::rotate(rows.begin(), rows.begin() + 1, rows.end());
}

std::uint8_t TDitherEngine::Dither(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t& outRed,
                                   std::uint8_t& outGreen, std::uint8_t& outBlue) {
  const std::uint8_t index = lookup_->Lookup(red, green, blue, outRed, outGreen, outBlue);
  column_ += direction_;
  return index;
}

void TDitherEngine::NextLine() {
  direction_ = -direction_;
  column_ = direction_ > 0 ? 0 : width_ - 1;
}

void TDiffusionDitherer::NextLine() {
  TDitherEngine::NextLine();
  errors_.Rotate();
}

#define MOVINTA_DIFFUSION_DITHER(Class, Kernel)                                                                \
  std::uint8_t Class::Dither(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t& outRed,     \
                             std::uint8_t& outGreen, std::uint8_t& outBlue) {                                  \
    const std::uint8_t index =                                                                                 \
        DiffusePixel<Kernel>(errors_, column_, direction_, *lookup_, red, green, blue, outRed, outGreen, outBlue); \
    column_ += direction_;                                                                                     \
    return index;                                                                                              \
  }

MOVINTA_DIFFUSION_DITHER(TFloydSteinbergDitherer, FloydSteinberg)
MOVINTA_DIFFUSION_DITHER(TStuckiDitherer, Stucki)
MOVINTA_DIFFUSION_DITHER(TSierraDitherer, Sierra)
MOVINTA_DIFFUSION_DITHER(TJaJuNiDitherer, JaJuNi)
MOVINTA_DIFFUSION_DITHER(TSteveArcheDitherer, SteveArche)
MOVINTA_DIFFUSION_DITHER(TBurkesDitherer, Burkes)
#undef MOVINTA_DIFFUSION_DITHER

TFloydSteinbergDitherer::TFloydSteinbergDitherer(int width, TColorLookup& lookup)
    : TDiffusionDitherer(width, lookup, FloydSteinberg::kRows, FloydSteinberg::kMargin) {}
TSteveArcheDitherer::TSteveArcheDitherer(int width, TColorLookup& lookup)
    : TDiffusionDitherer(width, lookup, SteveArche::kRows, SteveArche::kMargin) {}
TBurkesDitherer::TBurkesDitherer(int width, TColorLookup& lookup)
    : TDiffusionDitherer(width, lookup, Burkes::kRows, Burkes::kMargin) {}

std::unique_ptr<TDitherEngine> CreateDitherEngine(std::uint8_t ditherMode, int width, TColorLookup& lookup) {
  switch (ditherMode) {
    case dmNearest: return std::make_unique<TDitherEngine>(width, lookup);
    case dmFloydSteinberg: return std::make_unique<TFloydSteinbergDitherer>(width, lookup);
    case dmStucki: return std::make_unique<TStuckiDitherer>(width, lookup);
    case dmSierra: return std::make_unique<TSierraDitherer>(width, lookup);
    case dmJaJuNi: return std::make_unique<TJaJuNiDitherer>(width, lookup);
    case dmSteveArche: return std::make_unique<TSteveArcheDitherer>(width, lookup);
    case dmBurkes: return std::make_unique<TBurkesDitherer>(width, lookup);
    default: return nullptr;
  }
}

namespace {

// Walks one row in the given direction. Kernel void means plain mapping.
template <class K, class L, int Step, bool HasSkip>
void WalkRow(const TErrorRows& errors, L& lookup, int width, int direction, const std::uint8_t* src,
             std::uint8_t* dst, const std::uint8_t* skip) {
  int x = direction > 0 ? 0 : width - 1;
  for (int n = 0; n < width; ++n, x += direction) {
    if constexpr (HasSkip) {
      if (skip[x]) continue;
    }
    const std::uint8_t* p = src + std::ptrdiff_t(x) * Step;
    std::uint8_t r, g, b;
    if constexpr (std::is_void_v<K>) {
      dst[x] = lookup.Lookup(p[2], p[1], p[0], r, g, b);
    } else {
      dst[x] = DiffusePixel<K>(errors, x, direction, lookup, p[2], p[1], p[0], r, g, b);
    }
  }
}

template <class K, class L>
class KernelRowDitherer final : public TRowDitherer {
public:
  KernelRowDitherer(int width, L& lookup) : lookup_(lookup), width_(width) {
    if constexpr (!std::is_void_v<K>) errors_ = TErrorRows(width, K::kRows, K::kMargin);
  }

  void DitherRow(const std::uint8_t* src, int bytesPerPixel, std::uint8_t* dst, const std::uint8_t* skip) override {
    if (bytesPerPixel == 4) {
      if (skip) WalkRow<K, L, 4, true>(errors_, lookup_, width_, direction_, src, dst, skip);
      else WalkRow<K, L, 4, false>(errors_, lookup_, width_, direction_, src, dst, skip);
    } else {
      if (skip) WalkRow<K, L, 3, true>(errors_, lookup_, width_, direction_, src, dst, skip);
      else WalkRow<K, L, 3, false>(errors_, lookup_, width_, direction_, src, dst, skip);
    }
    direction_ = -direction_;
    if constexpr (!std::is_void_v<K>) errors_.Rotate();
  }

private:
  L& lookup_;
  int width_;
  int direction_ = 1;
  TErrorRows errors_;
};

template <class L>
std::unique_ptr<TRowDitherer> RowDithererFor(std::uint8_t ditherMode, int width, L& lookup) {
  switch (ditherMode) {
    case dmNearest: return std::make_unique<KernelRowDitherer<void, L>>(width, lookup);
    case dmFloydSteinberg: return std::make_unique<KernelRowDitherer<FloydSteinberg, L>>(width, lookup);
    case dmStucki: return std::make_unique<KernelRowDitherer<Stucki, L>>(width, lookup);
    case dmSierra: return std::make_unique<KernelRowDitherer<Sierra, L>>(width, lookup);
    case dmJaJuNi: return std::make_unique<KernelRowDitherer<JaJuNi, L>>(width, lookup);
    case dmSteveArche: return std::make_unique<KernelRowDitherer<SteveArche, L>>(width, lookup);
    case dmBurkes: return std::make_unique<KernelRowDitherer<Burkes, L>>(width, lookup);
    default: return nullptr;
  }
}

}  // namespace

std::unique_ptr<TRowDitherer> CreateRowDitherer(std::uint8_t ditherMode, int width, TColorLookup& lookup) {
  if (auto* l = dynamic_cast<TFastColorLookup*>(&lookup)) return RowDithererFor(ditherMode, width, *l);
  if (auto* l = dynamic_cast<TNetscapeColorLookup*>(&lookup)) return RowDithererFor(ditherMode, width, *l);
  if (auto* l = dynamic_cast<TGrayScaleLookup*>(&lookup)) return RowDithererFor(ditherMode, width, *l);
  if (auto* l = dynamic_cast<TMonochromeLookup*>(&lookup)) return RowDithererFor(ditherMode, width, *l);
  return RowDithererFor(ditherMode, width, lookup);
}

}  // namespace gif
