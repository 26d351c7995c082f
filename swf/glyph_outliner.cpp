#include "swf/glyph_outliner.h"

#include <map>
#include <optional>

#include "swf/control_tags.h"
#include "swf/font_text.h"

namespace {

constexpr int kEmHeight = 1300;
constexpr int kBaseline = 1024;

// 16.16 to a whole unit; halves round down.
int32_t Fx(int32_t v) { return int32_t(int16_t((int64_t(v) + 0x7FFF) >> 16)); }

struct Pen {
    int32_t x = 0, y = 0;
};

void AddMove(FlashShape& shape, int32_t x, int32_t y) { shape.AddRecord(FlashShapeRecordChange(x, y)); }

}  // namespace

void AppendGlyphOutline(const GlyphOutline& outline, FlashShape& shape) {
    for (const GlyphPolygon& polygon : outline) {
        const Pen start{Fx(polygon.start.x), kBaseline - Fx(polygon.start.y)};
        AddMove(shape, start.x, start.y);
        Pen pen = start;
        for (const GlyphCurve& curve : polygon.curves) {
            const auto& pts = curve.points;
            if (curve.type == 1) {
                for (const GlyphFixedPoint& p : pts) {
                    const Pen q{Fx(p.x), kBaseline - Fx(p.y)};
                    shape.AddRecord(FlashShapeRecordStraight(q.x - pen.x, q.y - pen.y));
                    pen = q;
                }
                continue;
            }
            for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
                const Pen b{Fx(pts[i].x), kBaseline - Fx(pts[i].y)};
                Pen c;
                if (i + 2 < pts.size()) {
                    c = {(Fx(pts[i].x) + Fx(pts[i + 1].x)) / 2, kBaseline - (Fx(pts[i].y) + Fx(pts[i + 1].y)) / 2};
                } else {
                    c = {Fx(pts[i + 1].x), kBaseline - Fx(pts[i + 1].y)};
                }
                shape.AddRecord(FlashShapeRecordCurved(b.x - pen.x, b.y - pen.y, c.x - b.x, c.y - b.y));
                pen = c;
            }
        }
        shape.AddRecord(FlashShapeRecordStraight(start.x - pen.x, start.y - pen.y));
    }
}

bool FlashGlyphOutliner::AddGlyph(const std::string& faceName, uint32_t charCode, FlashShape& shape, int bold,
                                  int italic, int underline) {
    FlashShapeRecordChange select;
    select.SetFillStyle0(1);
    select.SetLineStyle(0);
    shape.AddRecord(select);

    const uint16_t code = uint16_t(charCode);
    if (code == 32) return true;
    FontOutlineSource font({faceName, kEmHeight, bold == 1 ? 700 : 400, uint16_t(italic) != 0});
    std::optional<GlyphOutline> outline = font.Outline(code);
    if (!outline) return false;

    if (underline == 1) {
        const int32_t width = font.CharWidth(code).value_or(0);
        AddMove(shape, 0, kBaseline + 512);
        shape.AddRecord(FlashShapeRecordStraight(width, 0));
        shape.AddRecord(FlashShapeRecordStraight(0, -100));
        shape.AddRecord(FlashShapeRecordStraight(-width, 0));
        shape.AddRecord(FlashShapeRecordStraight(0, 100));
        // Each contour opens with its own move, so no move back is needed; one to a
        // point off the glyph would only widen the shape's bounds.
    }
    AppendGlyphOutline(*outline, shape);
    return true;
}

bool FlashGlyphOutliner::AddPlainGlyph(const std::string& faceName, uint32_t charCode, FlashShape& shape) {
    return AddGlyph(faceName, charCode, shape, 0, 0, 0);
}

int FlashGlyphOutliner::GetGlyphAdvance(const std::string& faceName, uint32_t charCode, int size) {
    if (size <= 0 || size > 0xFFFF / 26) return -1;
    FontOutlineSource font({faceName, 26 * size, 400, false});
    return font.CharWidth(uint16_t(charCode)).value_or(-1);
}

bool FlashGlyphOutliner::WriteText(FlashOutputStream& out, const std::string& faceName, const std::string& text,
                                   int x, int y, const FlashRGBA& color, int size, uint16_t depth, int spacing) {
    FlashTagDefineFont font;
    FlashTextRecordStyle style(true, true, true, true, font.GetId(), uint16_t(size * 20), color, int16_t(x),
                               int16_t(y));
    FlashTextRecordGlyphs glyphs;
    std::map<unsigned char, uint16_t> glyphIndex;
    std::map<unsigned char, FlashRect> glyphBounds;

    FlashRect bounds;
    bool haveBounds = false;
    long long advances = 0;
    for (std::size_t pos = 0; pos < text.size(); ++pos) {
        const unsigned char c = static_cast<unsigned char>(text[pos]);
        if (!glyphIndex.count(c)) {
            FlashShape shape;
            if (!AddPlainGlyph(faceName, c, shape)) return false;
            font.AddGlyph(shape);
            glyphBounds[c] = shape.GetBounds();
            glyphIndex[c] = uint16_t(glyphIndex.size());
        }
        const int advance = GetGlyphAdvance(faceName, c, size) + spacing;
        glyphs.AddEntry(glyphIndex[c], int16_t(advance));

        const FlashRect& g = glyphBounds[c];
        const long long dx = x + advances + static_cast<long long>(spacing) * static_cast<long long>(pos);
        const FlashRect moved(int32_t(g.GetX1() / 50 * size + dx), int32_t(g.GetY1() / 50 * size + y),
                              int32_t(g.GetX2() / 50 * size + dx), int32_t(g.GetY2() / 50 * size + y));
        if (!haveBounds) {
            bounds = moved;
            haveBounds = true;
        } else {
            bounds.Set(std::min(bounds.GetX1(), moved.GetX1()), std::min(bounds.GetY1(), moved.GetY1()),
                       std::max(bounds.GetX2(), moved.GetX2()), std::max(bounds.GetY2(), moved.GetY2()));
        }
        advances += advance;
    }

    FlashTagDefineText textTag(bounds, FlashMatrix());
    textTag.AddRecord(&style);
    textTag.AddRecord(&glyphs);
    font.Write(out);
    textTag.Write(out);
    FlashTagPlaceObject2(depth, textTag.GetId()).Write(out);
    return true;
}
