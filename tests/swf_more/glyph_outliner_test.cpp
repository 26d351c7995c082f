#include "swf/glyph_outliner.h"

#include <gtest/gtest.h>

#include <cmath>

#include "swf/font_text.h"
#include "tests/swf_more/tag_io.h"

namespace {

GlyphFixedPoint P(int x, int y) { return {x * 65536, y * 65536}; }

// The records of a shape as text, one per record: "M x y", "L dx dy", "C cdx cdy adx ady", "S fill line".
std::vector<std::string> Records(const FlashShape& shape) {
    std::vector<std::string> out;
    for (const auto& [kind, i] : shape.GetOrder()) {
        if (kind == FlashShape::kChange) {
            const auto& c = shape.GetChanges()[i];
            if (c.HasMoveTo())
                out.push_back("M " + std::to_string(c.GetX()) + " " + std::to_string(c.GetY()));
            else
                out.push_back("S " + std::to_string(c.GetFillStyle0()) + " " + std::to_string(c.GetLineStyle()));
        } else if (kind == FlashShape::kStraight) {
            const auto& s = shape.GetStraights()[i];
            out.push_back("L " + std::to_string(s.GetDX()) + " " + std::to_string(s.GetDY()));
        } else {
            const auto& c = shape.GetCurves()[i];
            out.push_back("C " + std::to_string(c.GetControlDX()) + " " + std::to_string(c.GetControlDY()) + " " +
                          std::to_string(c.GetAnchorDX()) + " " + std::to_string(c.GetAnchorDY()));
        }
    }
    return out;
}

using Lines = std::vector<std::string>;

TEST(GlyphOutline, ConvertsPolylinesAndSplinesWithTheBaselineFlip) {
    GlyphPolygon lines{P(0, 0), {GlyphCurve{1, {P(10, 0), P(10, 10)}}}};
    GlyphPolygon spline{P(0, 0), {GlyphCurve{2, {P(0, 10), P(10, 20), P(20, 20)}}}};
    FlashShape shape;
    AppendGlyphOutline({lines, spline}, shape);
    EXPECT_EQ(Records(shape), (Lines{"M 0 1024", "L 10 0", "L 0 -10", "L -10 10",
                                     // control B0, anchor at the midpoint of B0 and B1; then B1 to B2
                                     "M 0 1024", "C 0 -10 5 -5", "C 5 -5 10 0", "L -20 20"}));
}

TEST(GlyphOutline, RoundsFixedPointHalvesDown) {
    const struct {
        int32_t fixed;
        int whole;
    } cases[] = {{0x00018000, 1}, {0x00008000, 0}, {int32_t(0xFFFF8000u), -1}, {0x00028001, 3}, {0, 0}};
    for (const auto& c : cases) {
        FlashShape shape;
        AppendGlyphOutline({GlyphPolygon{{c.fixed, 0}, {}}}, shape);
        EXPECT_EQ(shape.GetChanges()[0].GetX(), c.whole) << std::hex << c.fixed;
        EXPECT_EQ(Records(shape).back(), "L 0 0");  // the closing edge is always written
    }
}

TEST(GlyphOutline, BuildsPolygonsFromTheOutlinesOwnPoints) {
    using K = OutlinePointKind;
    // One quadratic contour starting off the curve, one all-control contour.
    const std::vector<GlyphFixedPoint> pts = {P(5, 5), P(0, 0), P(10, 0), P(10, 10),
                                              P(0, 0), P(10, 0), P(10, 10), P(0, 10)};
    const std::vector<K> kinds = {K::Conic, K::On, K::On, K::Conic, K::Conic, K::Conic, K::Conic, K::Conic};
    const std::vector<int> ends = {3, 7};
    const GlyphOutline outline = PolygonsFromOutlinePoints(pts, kinds, ends);
    ASSERT_EQ(outline.size(), 2u);
    EXPECT_EQ(outline[0].start, P(0, 0));
    ASSERT_EQ(outline[0].curves.size(), 2u);
    EXPECT_EQ(outline[0].curves[0].type, 1);
    EXPECT_EQ(outline[0].curves[0].points, (std::vector<GlyphFixedPoint>{P(10, 0)}));
    EXPECT_EQ(outline[0].curves[1].type, 2);
    EXPECT_EQ(outline[0].curves[1].points, (std::vector<GlyphFixedPoint>{P(10, 10), P(5, 5), P(0, 0)}));

    EXPECT_EQ(outline[1].start, P(0, 5));
    ASSERT_EQ(outline[1].curves.size(), 1u);
    EXPECT_EQ(outline[1].curves[0].points.size(), 5u);
    EXPECT_EQ(outline[1].curves[0].points.back(), P(0, 5));

    // A closing line back to the start is left implied.
    const std::vector<GlyphFixedPoint> square = {P(0, 0), P(4, 0), P(4, 4), P(0, 4)};
    const std::vector<K> on(4, K::On);
    const std::vector<int> one = {3};
    const auto sq = PolygonsFromOutlinePoints(square, on, one);
    ASSERT_EQ(sq.size(), 1u);
    EXPECT_EQ(sq[0].curves.size(), 1u);
    EXPECT_EQ(sq[0].curves[0].points, (std::vector<GlyphFixedPoint>{P(4, 0), P(4, 4), P(0, 4)}));

    // Bad contour ends give no polygon for the contours they break.
    const std::vector<int> bad = {9};
    EXPECT_TRUE(PolygonsFromOutlinePoints(square, on, bad).empty());
}

TEST(GlyphOutline, SplitsCubicsIntoCloseQuadratics) {
    using K = OutlinePointKind;
    const std::vector<GlyphFixedPoint> pts = {P(0, 0), P(0, 400), P(600, 400), P(600, 0)};
    const std::vector<K> kinds = {K::On, K::Cubic, K::Cubic, K::On};
    const std::vector<int> ends = {3};
    const auto outline = PolygonsFromOutlinePoints(pts, kinds, ends);
    ASSERT_EQ(outline.size(), 1u);
    const auto& curves = outline[0].curves;
    ASSERT_GT(curves.size(), 1u);
    // Every piece is one quadratic ending on the cubic; sample both and compare.
    auto cubic = [](double t) {
        const double u = 1 - t;
        return std::pair{3 * u * t * t * 600 + t * t * t * 600, 3 * u * u * t * 400 + 3 * u * t * t * 400};
    };
    double worst = 0;
    std::pair<double, double> pen{0, 0};
    std::size_t pieces = 0;
    for (const auto& c : curves) {
        if (c.type != 2) continue;
        ASSERT_EQ(c.points.size(), 2u);
        const std::pair<double, double> ctl{c.points[0].x / 65536.0, c.points[0].y / 65536.0};
        const std::pair<double, double> end{c.points[1].x / 65536.0, c.points[1].y / 65536.0};
        for (double s = 0; s <= 1.0; s += 0.125) {
            const double u = 1 - s;
            const double qx = u * u * pen.first + 2 * u * s * ctl.first + s * s * end.first;
            const double qy = u * u * pen.second + 2 * u * s * ctl.second + s * s * end.second;
            double best = 1e9;
            for (double t = 0; t <= 1.0; t += 0.0005) {
                const auto [cx, cy] = cubic(t);
                best = std::min(best, std::hypot(qx - cx, qy - cy));
            }
            worst = std::max(worst, best);
        }
        pen = end;
        ++pieces;
    }
    EXPECT_EQ(pieces, curves.size() - (curves.back().type == 1 ? 1 : 0));
    EXPECT_EQ(pen, (std::pair<double, double>{600, 0}));
    EXPECT_LT(worst, 0.5);
}

TEST(FlashGlyphOutliner, OutlinesLettersOfAWindowsFontName) {
    FlashGlyphOutliner outliner;
    FlashShape a;
    ASSERT_TRUE(outliner.AddPlainGlyph("Arial", 'A', a));
    const auto records = Records(a);
    EXPECT_EQ(records[0], "S 1 0");
    EXPECT_EQ(records[1].substr(0, 2), "M ");
    const FlashRect box = a.GetBounds();
    // Caps stand on the baseline at 1024 and rise about 0.69 em of 1300.
    EXPECT_NEAR(box.GetY2(), 1024, 2);
    EXPECT_NEAR(box.GetY1(), 1024 - 0.688 * 1300, 5);
    EXPECT_GE(box.GetX1(), -5);
    EXPECT_NEAR(box.GetX2(), 0.667 * 1300, 30);

    FlashShape space;
    EXPECT_TRUE(outliner.AddGlyph("Arial", ' ', space, 1, 1, 1));
    EXPECT_EQ(Records(space), (Lines{"S 1 0"}));

    FlashShape bold, euro, euroUnicode;
    ASSERT_TRUE(outliner.AddGlyph("Arial", 'A', bold, 1, 0, 0));
    EXPECT_NE(Records(bold), records);
    ASSERT_TRUE(outliner.AddPlainGlyph("Arial", 0x80, euro));
    ASSERT_TRUE(outliner.AddPlainGlyph("Arial", 0x20AC, euroUnicode));
    EXPECT_EQ(Records(euro), Records(euroUnicode));
    EXPECT_GT(euro.RecordCount(), 5u);

    FlashShape missing;
    EXPECT_FALSE(outliner.AddPlainGlyph("Arial", 0x4E00, missing));
    EXPECT_EQ(Records(missing), (Lines{"S 1 0"}));
}

TEST(FlashGlyphOutliner, UnderlinesWithABarBelowTheBaseline) {
    FlashGlyphOutliner outliner;
    FlashShape plain, underlined;
    ASSERT_TRUE(outliner.AddPlainGlyph("Arial", 'o', plain));
    ASSERT_TRUE(outliner.AddGlyph("Arial", 'o', underlined, 0, 0, 1));
    const int width = FontOutlineSource({"Arial", 1300, 400, false}).CharWidth('o').value_or(0);
    ASSERT_GT(width, 600);
    const auto r = Records(underlined);
    const std::string w = std::to_string(width);
    const Lines bar = {"S 1 0", "M 0 1536", "L " + w + " 0", "L 0 -100", "L -" + w + " 0", "L 0 100"};
    EXPECT_EQ(Lines(r.begin(), r.begin() + 6), bar);
    auto rest = Records(plain);
    EXPECT_EQ(Lines(r.begin() + 6, r.end()), Lines(rest.begin() + 1, rest.end()));
    EXPECT_EQ(underlined.GetBounds().GetY2(), 1536);
}

TEST(FlashGlyphOutliner, MeasuresAdvances) {
    FlashGlyphOutliner outliner;
    EXPECT_NEAR(outliner.GetGlyphAdvance("Arial", 'A', 10), 0.667 * 260, 2);
    EXPECT_EQ(outliner.GetGlyphAdvance("Arial", 'A', 0), -1);
}

TEST(FlashGlyphOutliner, WritesAFontATextAndItsPlacement) {
    FlashGlyphOutliner outliner;
    FlashOutputStream out;
    ASSERT_TRUE(outliner.WriteText(out, "Times New Roman", "abba", 100, 200, FlashRGBA(255, 0, 0, 255), 12, 3, 2));
    FlashInputStream in(out.Data(), out.Size());
    std::vector<uint16_t> codes;
    std::vector<std::vector<uint8_t>> bodies;
    while (!in.AtEnd()) {
        FlashTagHeader h;
        h.Read(in);
        codes.push_back(h.GetTagID());
        std::vector<uint8_t> body;
        ASSERT_TRUE(in.ReadBytes(body, h.GetTagLength()));
        bodies.push_back(body);
    }
    ASSERT_EQ(codes, (std::vector<uint16_t>{10, 11, 26}));
    // Two distinct letters: two glyph offsets, the first right after the table.
    EXPECT_EQ(bodies[0][2] | bodies[0][3] << 8, 4);
    const uint16_t textId = uint16_t(bodies[1][0] | bodies[1][1] << 8);
    EXPECT_EQ(bodies[2][0], 0x02);
    EXPECT_EQ(bodies[2][3] | bodies[2][4] << 8, textId);

    // 0x81 has no character in Windows-1252, so no font has a glyph for it.
    FlashOutputStream none;
    EXPECT_FALSE(outliner.WriteText(none, "Arial", "a\x81", 0, 0, FlashRGBA(), 12, 1, 0));
    EXPECT_EQ(none.Size(), 0u);
}

}  // namespace
