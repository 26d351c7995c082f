#include <gtest/gtest.h>

#include "swf/shape.h"
#include "tests/swf/swf_test_util.h"

namespace {

// Bits of the edge records of a glyph-form shape, after its two 4-bit counts.
std::vector<uint8_t> GlyphBytes(const FlashShape& s)
{
    FlashOutputStream out;
    out << s;
    return out.Bytes();
}

FlashShape ReadGlyph(const std::vector<uint8_t>& bytes)
{
    FlashInputStream in(bytes);
    FlashShape s;
    in >> s;
    EXPECT_FALSE(in.Failed());
    EXPECT_TRUE(in.AtEnd());
    return s;
}

}  // namespace

TEST(SwfShape, StraightEdgeForms)
{
    struct Case { int32_t dx, dy; uint32_t general, vertical; int numBits; } cases[] = {
        {0, 5, 0, 1, 2},      // vertical
        {5, 0, 0, 0, 2},      // horizontal
        {3, 4, 1, 0, 2},      // general
        {0, 0, 0, 1, 1},      // zero length: vertical with dy 0
        {1, -1, 1, 0, 1},     // nb 2 still gives NumBits 1, 3-bit fields
        {1000, 0, 0, 0, 9},   // nb 11
        {38400, 0, 0, 0, 15}, // 17-bit delta of a 1920-pixel edge
    };
    for (const auto& c : cases) {
        FlashShape s;
        s.AddRecord(FlashShapeRecordStraight(c.dx, c.dy));
        auto bytes = GlyphBytes(s);
        FlashInputStream in(bytes);
        FlashBitReader r(in);
        EXPECT_EQ(r.ReadBits(8), 0x11u);
        EXPECT_EQ(r.ReadBits(2), 3u);  // edge, straight
        EXPECT_EQ(int(r.ReadBits(4)), c.numBits);
        EXPECT_EQ(r.ReadBits(1), c.general);
        if (!c.general) {
            EXPECT_EQ(r.ReadBits(1), c.vertical);
        }

        FlashShape back = ReadGlyph(bytes);
        ASSERT_EQ(back.GetStraights().size(), 1u);
        EXPECT_EQ(back.GetStraights()[0].GetDX(), c.dx);
        EXPECT_EQ(back.GetStraights()[0].GetDY(), c.dy);
    }
}

TEST(SwfShape, LongEdgesSplitIntoRecordsThatSumUp)
{
    struct Case { int32_t dx, dy; size_t records; } cases[] = {
        {65535, -65535, 1}, {65536, 0, 2}, {0, -200000, 4}, {150001, 7, 3},
    };
    for (const auto& c : cases) {
        FlashShape s;
        s.AddRecord(FlashShapeRecordChange(10, 10));
        s.AddRecord(FlashShapeRecordStraight(c.dx, c.dy));
        FlashShape back = ReadGlyph(GlyphBytes(s));
        ASSERT_EQ(back.GetStraights().size(), c.records);
        int64_t x = 0, y = 0;
        for (const auto& e : back.GetStraights()) {
            x += e.GetDX();
            y += e.GetDY();
        }
        EXPECT_EQ(x, c.dx);
        EXPECT_EQ(y, c.dy);
        EXPECT_EQ(back.GetBounds(), s.GetBounds());
    }
    // A curve too wide for one record is split and still ends at its anchor.
    FlashShape curve;
    curve.AddRecord(FlashShapeRecordCurved(100000, 0, 50000, -90000));
    FlashShape back = ReadGlyph(GlyphBytes(curve));
    ASSERT_GT(back.GetCurves().size(), 1u);
    int64_t x = 0, y = 0;
    for (const auto& e : back.GetCurves()) {
        x += e.GetControlDX() + e.GetAnchorDX();
        y += e.GetControlDY() + e.GetAnchorDY();
    }
    EXPECT_EQ(x, 150000);
    EXPECT_EQ(y, -90000);
}

TEST(SwfShape, CurvesAndStyleChangesRoundTrip)
{
    FlashShape s;
    FlashShapeRecordChange start(-300, 40);
    start.SetFillStyle0(1);
    start.SetLineStyle(1);
    s.AddRecord(start);
    s.AddRecord(FlashShapeRecordCurved(10, -20, 30, 1));
    s.AddRecord(FlashShapeRecordStraight(-40, 19));
    FlashShape back = ReadGlyph(GlyphBytes(s));
    ASSERT_EQ(back.GetOrder(), s.GetOrder());
    const auto& c = back.GetChanges()[0];
    EXPECT_TRUE(c.HasMoveTo());
    EXPECT_EQ(c.GetX(), -300);
    EXPECT_EQ(c.GetY(), 40);
    EXPECT_EQ(c.GetFillStyle0(), 1);
    EXPECT_EQ(c.GetLineStyle(), 1);
    EXPECT_FALSE(c.HasFillStyle1());
    const auto& k = back.GetCurves()[0];
    EXPECT_EQ(k.GetControlDX(), 10);
    EXPECT_EQ(k.GetControlDY(), -20);
    EXPECT_EQ(k.GetAnchorDX(), 30);
    EXPECT_EQ(k.GetAnchorDY(), 1);
    // Control points count towards the bounds: (-300, 40), (-290, 20), (-260, 21), (-300, 40)
    EXPECT_EQ(s.GetBounds(), FlashRect(-300, 20, -260, 40));
}

TEST(SwfShape, BoundsOfASquareAndOfNothing)
{
    FlashShape square;
    square.AddRecord(FlashShapeRecordChange(20, 20));
    square.AddRecord(FlashShapeRecordStraight(200, 0));
    square.AddRecord(FlashShapeRecordStraight(0, 200));
    square.AddRecord(FlashShapeRecordStraight(-200, 0));
    square.AddRecord(FlashShapeRecordStraight(0, -200));
    EXPECT_EQ(square.GetBounds(), FlashRect(20, 20, 220, 220));
    EXPECT_EQ(FlashShape().GetBounds(), FlashRect(0, 0, 0, 0));
    FlashShape noMove;
    FlashShapeRecordChange select;
    select.SetFillStyle0(1);
    noMove.AddRecord(select);
    EXPECT_EQ(noMove.GetBounds(), FlashRect(0, 0, 0, 0));
}

TEST(SwfShape, StyleBitCounts)
{
    FlashFillStyleSolid solid(FlashRGBA(1, 2, 3, 4));
    FlashLineStyle line(20, FlashRGBA(0, 0, 0, 255));
    struct Case { int styles; int bits; } cases[] = {{0, 0}, {1, 1}, {2, 2}, {3, 2}, {4, 3}, {7, 3}, {8, 4}};
    for (const auto& c : cases) {
        FlashFillStyleArray fills;
        FlashLineStyleArray lines;
        for (int i = 0; i < c.styles; ++i) {
            EXPECT_EQ(fills.Add(&solid), i + 1);
            lines.Add(&line);
        }
        EXPECT_EQ(StyleBitCount(fills), c.bits);
        EXPECT_EQ(StyleBitCount(lines), c.bits);
    }
}

TEST(SwfShape, FillStylesRoundTripAtEachVersion)
{
    FlashMatrix m;
    m.SetScale(FlashFixed(20.0), FlashFixed(20.0));
    m.SetTranslate(38400, 100);
    FlashGradient g;
    g.AddRecord(0, FlashRGBA(255, 0, 0, 255));
    g.AddRecord(255, FlashRGBA(0, 0, 255, 128));
    FlashFillStyleSolid solid(FlashRGBA(10, 20, 30, 40));
    FlashFillStyleGradient gradient(m, g);
    FlashFillStyleBitmap tiled(7, m, true);
    FlashFillStyleBitmap clipped(8, m, false);
    FlashLineStyle line(40, FlashRGBA(1, 2, 3, 4));
    for (int version : {1, 2, 3}) {
        FlashFillStyleArray fills;
        fills.SetVersion(version);
        fills.Add(&solid);
        fills.Add(&gradient);
        fills.Add(&tiled);
        fills.Add(&clipped);
        FlashLineStyleArray lines;
        lines.SetVersion(version);
        lines.Add(&line);
        FlashOutputStream out;
        fills.Write(out);
        lines.Write(out);
        size_t color = version > 2 ? 4 : 3;
        EXPECT_EQ(out.Data()[0], 4);
        EXPECT_EQ(out.Data()[1], 0x00);
        EXPECT_EQ(out.Data()[2 + color], 0x10);

        FlashInputStream in(out.Bytes());
        FlashFillStyleArray fillsBack;
        FlashLineStyleArray linesBack;
        fillsBack.SetVersion(version);
        linesBack.SetVersion(version);
        fillsBack.Read(in);
        linesBack.Read(in);
        EXPECT_FALSE(in.Failed());
        EXPECT_TRUE(in.AtEnd());
        ASSERT_EQ(fillsBack.Count(), 4u);
        auto* s = dynamic_cast<FlashFillStyleSolid*>(fillsBack.Get(0));
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->GetColor().GetB(), 30);
        EXPECT_EQ(s->GetColor().GetA(), version > 2 ? 40 : 0);
        auto* gr = dynamic_cast<FlashFillStyleGradient*>(fillsBack.Get(1));
        ASSERT_NE(gr, nullptr);
        EXPECT_EQ(gr->GetMatrix(), m);
        EXPECT_EQ(gr->GetGradient().GetRatios(), g.GetRatios());
        auto* t = dynamic_cast<FlashFillStyleBitmap*>(fillsBack.Get(2));
        auto* c = dynamic_cast<FlashFillStyleBitmap*>(fillsBack.Get(3));
        ASSERT_TRUE(t && c);
        EXPECT_TRUE(t->IsTiled());
        EXPECT_EQ(t->GetType(), 0x40);
        EXPECT_FALSE(c->IsTiled());
        EXPECT_EQ(c->GetType(), 0x41);
        EXPECT_EQ(c->GetBitmapId(), 8);
        EXPECT_EQ(c->GetMatrix(), m);
        ASSERT_EQ(linesBack.Count(), 1u);
        EXPECT_EQ(linesBack.Get(0)->GetWidth(), 40);
    }
}

TEST(SwfShape, ExtendedStyleCounts)
{
    FlashFillStyleSolid solid(FlashRGBA(1, 2, 3));
    // 255 styles: in DefineShape2 and 3 a single 0xFF byte would announce a 16-bit count.
    for (int version : {1, 2, 3}) {
        FlashFillStyleArray fills;
        fills.SetVersion(version);
        for (int i = 0; i < 255; ++i) fills.Add(&solid);
        FlashOutputStream out;
        fills.Write(out);
        EXPECT_EQ(out.Data()[0], 0xFF);
        FlashInputStream in(out.Bytes());
        FlashFillStyleArray back;
        back.SetVersion(version);
        back.Read(in);
        EXPECT_EQ(back.Count(), 255u);
        EXPECT_TRUE(in.AtEnd());
    }
    // Reading: 0xFF then a 16-bit count above version 1; the count itself in version 1.
    const uint8_t data[] = {0xFF, 0x01, 0x00, 0x00, 1, 2, 3};
    FlashInputStream in(data, sizeof data);
    FlashFillStyleArray v2;
    v2.SetVersion(2);
    v2.Read(in);
    EXPECT_EQ(v2.Count(), 1u);
    EXPECT_TRUE(in.AtEnd());
}

TEST(SwfShape, NewStylesOnAByteBoundaryNeedNoPadding)
{
    FlashFillStyleSolid red(FlashRGBA(255, 0, 0, 255));
    FlashFillStyleArray fills;
    fills.Add(&red);
    FlashLineStyleArray lines;
    FlashShapeWithStyle shape;
    shape.SetVersion(3);
    // No initial styles: the counts byte is 0x00; the record's 6 flag bits end at bit 14
    // and the new arrays start after two padding bits.
    FlashShapeRecordChange change;
    change.SetNewStyles(fills, lines);
    shape.AddRecord(change);
    FlashShapeRecordChange select;
    select.SetFillStyle0(1);
    shape.AddRecord(select);
    shape.AddRecord(FlashShapeRecordStraight(100, 0));
    FlashOutputStream out;
    shape.Write(out);
    EXPECT_EQ(Hex(std::vector<uint8_t>(out.Data(), out.Data() + 4)), "00 00 00 40");
    FlashInputStream in(out.Bytes());
    FlashShapeWithStyle back;
    back.SetVersion(3);
    back.Read(in);
    EXPECT_FALSE(in.Failed());
    EXPECT_TRUE(in.AtEnd());
    ASSERT_EQ(back.GetShape().GetChanges().size(), 2u);
    const auto& c = back.GetShape().GetChanges()[0];
    ASSERT_TRUE(c.HasNewStyles());
    EXPECT_EQ(c.GetFillStyles().Count(), 1u);
    EXPECT_EQ(back.GetShape().GetChanges()[1].GetFillStyle0(), 1);
    EXPECT_EQ(back.GetShape().GetStraights()[0].GetDX(), 100);

    // A record ending exactly on a byte boundary (8 count bits, 6 flags, two 1-bit fill
    // indices) puts the next record's new arrays right behind its flag byte.
    FlashShapeWithStyle aligned;
    aligned.GetFillStyles().Add(&red);
    FlashShapeRecordChange both;
    both.SetFillStyle0(1);
    both.SetFillStyle1(1);
    aligned.AddRecord(both);
    FlashShapeRecordChange renew;
    renew.SetNewStyles(fills, lines);
    aligned.AddRecord(renew);
    aligned.SetVersion(3);
    FlashOutputStream a;
    aligned.Write(a);
    // fills: count 1 + solid (1 + 4); lines 0; counts 0x10; record 0 00110 1 1 = 0x1B;
    // then the second record's 6 flag bits start at bit 0 of the next byte: 0 10000 -> 0x40.
    EXPECT_EQ(Hex(std::vector<uint8_t>(a.Data() + 7, a.Data() + 10)), "10 1B 40");
}

TEST(SwfShape, DefineShapeTagsRoundTripWithBounds)
{
    nextCharacterId = 5;
    FlashFillStyleSolid solid(FlashRGBA(0, 128, 255, 255));
    FlashLineStyle line(20, FlashRGBA(0, 0, 0, 255));
    FlashShapeWithStyle s;
    s.GetFillStyles().Add(&solid);
    s.GetLineStyles().Add(&line);
    FlashShapeRecordChange start(20, 20);
    start.SetFillStyle0(1);
    start.SetLineStyle(1);
    s.AddRecord(start);
    s.AddRecord(FlashShapeRecordStraight(200, 0));
    s.AddRecord(FlashShapeRecordStraight(0, 200));
    s.AddRecord(FlashShapeRecordStraight(-200, 0));
    s.AddRecord(FlashShapeRecordStraight(0, -200));

    FlashTagDefineShape1 one(s);
    FlashTagDefineShape2 two(s);
    FlashTagDefineShape3 three(s);
    EXPECT_EQ(one.GetId(), 5);
    EXPECT_EQ(three.GetId(), 7);
    struct Case { FlashTagDefineShapeBase* tag; uint16_t code; } cases[] = {{&one, 2}, {&two, 22}, {&three, 32}};
    for (const auto& c : cases) {
        FlashOutputStream out;
        c.tag->Write(out);
        std::unique_ptr<FlashTagDefineShapeBase> back;
        if (c.code == 2) back = std::make_unique<FlashTagDefineShape1>();
        if (c.code == 22) back = std::make_unique<FlashTagDefineShape2>();
        if (c.code == 32) back = std::make_unique<FlashTagDefineShape3>();
        ReadBack(out, c.code, *back);
        EXPECT_EQ(back->GetId(), c.tag->GetId());
        EXPECT_EQ(back->GetStoredBounds(), FlashRect(20, 20, 220, 220));
        EXPECT_EQ(back->GetShapes().GetShape().GetOrder(), s.GetShape().GetOrder());
        EXPECT_EQ(back->GetShapes().GetFillStyles().Count(), 1u);
        EXPECT_EQ(back->GetShapes().GetLineStyles().Count(), 1u);
    }
    nextCharacterId = 0;
}
