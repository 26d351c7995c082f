#include "platform/font_outlines/font_outline_source.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>

namespace {

// Largest distance, in 16.16 units (a quarter pixel at the outliner's em), that a
// quadratic piece may stray from the cubic it replaces.
constexpr double kCubicTolerance = 0.25 * 65536.0;
constexpr int kMaxCubicPieces = 64;

struct PointD {
    double x, y;
};

PointD Lerp(PointD a, PointD b, double t) { return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t}; }

GlyphFixedPoint ToFixed(PointD p) {
    return {static_cast<std::int32_t>(std::lround(p.x)), static_cast<std::int32_t>(std::lround(p.y))};
}

PointD ToDouble(GlyphFixedPoint p) { return {static_cast<double>(p.x), static_cast<double>(p.y)}; }

GlyphFixedPoint Midpoint(GlyphFixedPoint a, GlyphFixedPoint b) {
    return {static_cast<std::int32_t>((static_cast<std::int64_t>(a.x) + b.x) / 2),
            static_cast<std::int32_t>((static_cast<std::int64_t>(a.y) + b.y) / 2)};
}

// Appends quadratic pieces approximating the cubic p0-c1-c2-p3, each as its own
// two-point spline record so that no midpoint is implied between pieces.
void AppendCubic(std::vector<GlyphCurve>& curves, PointD p0, PointD c1, PointD c2, PointD p3) {
    const double dx = p3.x - 3 * c2.x + 3 * c1.x - p0.x;
    const double dy = p3.y - 3 * c2.y + 3 * c1.y - p0.y;
    const double error = std::sqrt(3.0) / 36.0 * std::hypot(dx, dy);
    int pieces = 1;
    while (pieces < kMaxCubicPieces && error / (static_cast<double>(pieces) * pieces * pieces) > kCubicTolerance)
        ++pieces;
    for (int i = 0; i < pieces; ++i) {
        const double t0 = static_cast<double>(i) / pieces;
        const double t1 = static_cast<double>(i + 1) / pieces;
        // The piece between t0 and t1 by two de Casteljau cuts.
        auto at = [&](double t) {
            PointD a = Lerp(p0, c1, t), b = Lerp(c1, c2, t), c = Lerp(c2, p3, t);
            PointD d = Lerp(a, b, t), e = Lerp(b, c, t);
            return std::array<PointD, 3>{d, Lerp(d, e, t), e};
        };
        const auto s = at(t0);
        const auto e = at(t1);
        const PointD q0 = s[1], q3 = e[1];
        // Derivatives at the ends of the piece scaled to the piece's own parameter.
        const double span = t1 - t0;
        const PointD q1 = {q0.x + (s[2].x - s[0].x) * span, q0.y + (s[2].y - s[0].y) * span};
        const PointD q2 = {q3.x - (e[2].x - e[0].x) * span, q3.y - (e[2].y - e[0].y) * span};
        const PointD control = {(3 * (q1.x + q2.x) - (q0.x + q3.x)) / 4, (3 * (q1.y + q2.y) - (q0.y + q3.y)) / 4};
        GlyphCurve curve;
        curve.type = 2;
        curve.points = {ToFixed(control), i + 1 == pieces ? ToFixed(p3) : ToFixed(q3)};
        curves.push_back(std::move(curve));
    }
}

void AppendLinePoint(std::vector<GlyphCurve>& curves, GlyphFixedPoint p) {
    if (curves.empty() || curves.back().type != 1) curves.push_back(GlyphCurve{1, {}});
    curves.back().points.push_back(p);
}

GlyphPolygon PolygonFromContour(std::span<const GlyphFixedPoint> pts, std::span<const OutlinePointKind> kinds) {
    const std::size_t n = pts.size();
    GlyphPolygon polygon;
    std::size_t first = n;
    for (std::size_t i = 0; i < n; ++i) {
        if (kinds[i] == OutlinePointKind::On) {
            first = i;
            break;
        }
    }
    // The walk visits every point after the start once, then the start again.
    std::vector<GlyphFixedPoint> seq;
    std::vector<OutlinePointKind> seqKinds;
    seq.reserve(n + 1);
    if (first == n) {
        // No point on the curve: a closed chain of conic controls starting halfway
        // between the last and the first.
        polygon.start = Midpoint(pts[n - 1], pts[0]);
        for (std::size_t i = 0; i < n; ++i) {
            seq.push_back(pts[i]);
            seqKinds.push_back(OutlinePointKind::Conic);
        }
    } else {
        polygon.start = pts[first];
        for (std::size_t j = 1; j < n; ++j) {
            seq.push_back(pts[(first + j) % n]);
            seqKinds.push_back(kinds[(first + j) % n]);
        }
    }
    seq.push_back(polygon.start);
    seqKinds.push_back(OutlinePointKind::On);

    GlyphFixedPoint pen = polygon.start;
    std::size_t j = 0;
    while (j < seq.size()) {
        if (seqKinds[j] == OutlinePointKind::On) {
            // A last line back to the start is implied by the polygon.
            if (j + 1 < seq.size()) AppendLinePoint(polygon.curves, seq[j]);
            pen = seq[j];
            ++j;
        } else if (seqKinds[j] == OutlinePointKind::Cubic && j + 2 < seq.size() &&
                   seqKinds[j + 1] == OutlinePointKind::Cubic) {
            // Two cubic controls, then an end point (which may be implied midway
            // to a following cubic pair).
            GlyphFixedPoint end = seq[j + 2];
            std::size_t next = j + 3;
            if (seqKinds[j + 2] != OutlinePointKind::On) {
                end = Midpoint(seq[j + 1], seq[j + 2]);
                next = j + 2;
            }
            AppendCubic(polygon.curves, ToDouble(pen), ToDouble(seq[j]), ToDouble(seq[j + 1]), ToDouble(end));
            pen = end;
            j = next;
        } else {
            // A run of quadratic controls up to the next point on the curve.
            GlyphCurve curve;
            curve.type = 2;
            while (j < seq.size() && seqKinds[j] != OutlinePointKind::On) curve.points.push_back(seq[j++]);
            curve.points.push_back(seq[j]);
            pen = seq[j];
            ++j;
            polygon.curves.push_back(std::move(curve));
        }
    }
    return polygon;
}

std::once_flag g_fontconfigInit;

}  // namespace

GlyphOutline PolygonsFromOutlinePoints(std::span<const GlyphFixedPoint> points,
                                       std::span<const OutlinePointKind> kinds,
                                       std::span<const int> contourEnds) {
    GlyphOutline outline;
    const std::size_t count = std::min(points.size(), kinds.size());
    std::size_t begin = 0;
    for (int endIndex : contourEnds) {
        if (endIndex < 0) continue;
        const std::size_t end = static_cast<std::size_t>(endIndex) + 1;
        if (end <= begin || end > count) break;
        outline.push_back(PolygonFromContour(points.subspan(begin, end - begin), kinds.subspan(begin, end - begin)));
        begin = end;
    }
    return outline;
}

std::uint32_t CharCodeToUnicode(std::uint16_t code) {
    static constexpr std::uint16_t k1252[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    if (code >= 0x80 && code < 0xA0) return k1252[code - 0x80];
    return code;
}

struct FontOutlineSource::Impl {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    std::string path;
    bool embolden = false;
    bool useSymbolMap = false;

    ~Impl() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }

    // Loads the glyph of a character as an outline; false when it has none.
    bool Load(std::uint16_t charCode, bool fallBackToMissingGlyph = false) {
        if (!face) return false;
        FT_UInt index = 0;
        if (useSymbolMap) {
            index = FT_Get_Char_Index(face, 0xF000u | (charCode & 0xFFu));
            if (index == 0) index = FT_Get_Char_Index(face, charCode);
        } else {
            index = FT_Get_Char_Index(face, CharCodeToUnicode(charCode));
        }
        if (index == 0 && !fallBackToMissingGlyph) return false;
        if (FT_Load_Glyph(face, index, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0) return false;
        if (face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) return false;
        if (embolden) FT_Outline_Embolden(&face->glyph->outline, FT_MulFix(face->units_per_EM, face->size->metrics.y_scale) / 24);
        return true;
    }
};

FontOutlineSource::FontOutlineSource(const FontRequest& request) : impl_(std::make_unique<Impl>()) {
    std::call_once(g_fontconfigInit, [] { FcInit(); });
    if (request.height <= 0 || FT_Init_FreeType(&impl_->library) != 0) return;

    FcPattern* pattern = FcPatternCreate();
    if (!request.faceName.empty())
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(request.faceName.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(request.weight));
    FcPatternAddInteger(pattern, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return;

    FcChar8* file = nullptr;
    int index = 0;
    FcBool embolden = FcFalse;
    FcMatrix* matrix = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        impl_->path = reinterpret_cast<const char*>(file);
        if (FT_New_Face(impl_->library, impl_->path.c_str(), index, &impl_->face) != 0) impl_->face = nullptr;
    }
    if (impl_->face) {
        if (FcPatternGetBool(match, FC_EMBOLDEN, 0, &embolden) == FcResultMatch) impl_->embolden = embolden == FcTrue;
        if (FcPatternGetMatrix(match, FC_MATRIX, 0, &matrix) == FcResultMatch && matrix) {
            FT_Matrix m;
            m.xx = static_cast<FT_Fixed>(matrix->xx * 65536.0);
            m.xy = static_cast<FT_Fixed>(matrix->xy * 65536.0);
            m.yx = static_cast<FT_Fixed>(matrix->yx * 65536.0);
            m.yy = static_cast<FT_Fixed>(matrix->yy * 65536.0);
            FT_Set_Transform(impl_->face, &m, nullptr);
        }
        if (FT_Select_Charmap(impl_->face, FT_ENCODING_UNICODE) != 0 &&
            FT_Select_Charmap(impl_->face, FT_ENCODING_MS_SYMBOL) == 0)
            impl_->useSymbolMap = true;
        if (FT_Set_Pixel_Sizes(impl_->face, 0, static_cast<FT_UInt>(request.height)) != 0) {
            FT_Done_Face(impl_->face);
            impl_->face = nullptr;
        }
    }
    FcPatternDestroy(match);
}

FontOutlineSource::~FontOutlineSource() = default;

bool FontOutlineSource::IsOpen() const { return impl_->face != nullptr; }

const std::string& FontOutlineSource::FilePath() const { return impl_->path; }

std::optional<GlyphOutline> FontOutlineSource::Outline(std::uint16_t charCode) {
    if (!impl_->Load(charCode)) return std::nullopt;
    const FT_Outline& o = impl_->face->glyph->outline;
    std::vector<GlyphFixedPoint> points(static_cast<std::size_t>(std::max<short>(o.n_points, 0)));
    std::vector<OutlinePointKind> kinds(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        // 26.6 pixels to 16.16.
        points[i] = {static_cast<std::int32_t>(o.points[i].x * 1024), static_cast<std::int32_t>(o.points[i].y * 1024)};
        switch (FT_CURVE_TAG(o.tags[i])) {
            case FT_CURVE_TAG_ON: kinds[i] = OutlinePointKind::On; break;
            case FT_CURVE_TAG_CUBIC: kinds[i] = OutlinePointKind::Cubic; break;
            default: kinds[i] = OutlinePointKind::Conic; break;
        }
    }
    std::vector<int> ends(o.contours, o.contours + std::max<short>(o.n_contours, 0));
    return PolygonsFromOutlinePoints(points, kinds, ends);
}

std::optional<int> FontOutlineSource::CharWidth(std::uint16_t charCode) {
    // A character the font lacks measures as the font's missing-glyph box.
    if (!impl_->Load(charCode, true)) return std::nullopt;
    return static_cast<int>(std::lround(impl_->face->glyph->linearHoriAdvance / 65536.0));
}
