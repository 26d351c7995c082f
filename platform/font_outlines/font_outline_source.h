// Glyph outlines and advance widths of installed fonts, as the Windows font calls
// of a display device context gave them. Stands in for CreateFontA,
// GetGlyphOutlineA (native format) and GetCharWidthA over FreeType and fontconfig:
// a face name resolves through fontconfig's matching (so common Windows names find
// metric-compatible faces); hinting, bitmap strikes and font linking are left out.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

// A point in 16.16 fixed-point units, y pointing up.
struct GlyphFixedPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const GlyphFixedPoint&, const GlyphFixedPoint&) = default;
};

// One curve record of a contour: type 1 is a polyline whose points are line ends;
// type 2 a quadratic B-spline whose points are control points with implied
// on-curve midpoints between them, the last point being on the curve.
struct GlyphCurve {
    int type = 1;
    std::vector<GlyphFixedPoint> points;
};

struct GlyphPolygon {
    GlyphFixedPoint start;
    std::vector<GlyphCurve> curves;  // the closing line back to start is implied
};

using GlyphOutline = std::vector<GlyphPolygon>;

// Point classes of a scalable outline, as font files store them.
enum class OutlinePointKind : std::uint8_t { On, Conic, Cubic };

// Builds the polygon-and-curve form from an outline's own points (16.16, y up):
// contourEnds holds the index of the last point of each contour. Cubic segments
// are split into quadratic ones within a small tolerance.
GlyphOutline PolygonsFromOutlinePoints(std::span<const GlyphFixedPoint> points,
                                       std::span<const OutlinePointKind> kinds,
                                       std::span<const int> contourEnds);

// The character an 8-bit code stands for in Windows-1252; wider codes are taken
// as Unicode.
std::uint32_t CharCodeToUnicode(std::uint16_t code);

struct FontRequest {
    std::string faceName;
    int height = 0;  // em height in pixels
    int weight = 400;
    bool italic = false;
};

// One opened font at one size; what a device context with a selected font was.
class FontOutlineSource {
public:
    explicit FontOutlineSource(const FontRequest& request);
    ~FontOutlineSource();
    FontOutlineSource(const FontOutlineSource&) = delete;
    FontOutlineSource& operator=(const FontOutlineSource&) = delete;

    bool IsOpen() const;
    // Empty when there is no font or the character has no glyph.
    std::optional<GlyphOutline> Outline(std::uint16_t charCode);
    // Advance width in whole pixels; empty when it cannot be measured.
    std::optional<int> CharWidth(std::uint16_t charCode);
    // The font file fontconfig chose; empty when none.
    const std::string& FilePath() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
