#include "swf/font_text.h"

#include <gtest/gtest.h>

#include "swf/control_tags.h"
#include "swf/morph_shape.h"
#include "tests/swf_more/support.h"
#include "tests/swf_more/tag_io.h"

namespace {

using swftest::BodyOffset;
using swftest::ReadBack;
using swftest::Written;

FlashShape Square(int x, int y, int side) {
    FlashShape s;
    FlashShapeRecordChange move(x, y);
    move.SetFillStyle0(1);
    s.AddRecord(move);
    s.AddRecord(FlashShapeRecordStraight(side, 0));
    s.AddRecord(FlashShapeRecordStraight(0, side));
    s.AddRecord(FlashShapeRecordStraight(-side, 0));
    s.AddRecord(FlashShapeRecordStraight(0, -side));
    return s;
}

std::size_t GlyphSize(const FlashShape& s) {
    FlashOutputStream out;
    out << s;
    return out.Size();
}

TEST(DefineFont, OffsetsCountFromTheOffsetTable) {
    FlashTagDefineFont font;
    const FlashShape a = Square(0, 0, 10), b = Square(0, 0, 1000);
    font.AddGlyph(a);
    font.AddGlyph(b);
    const auto bytes = Written(font);
    const uint8_t* body = bytes.Data() + BodyOffset(bytes);
    EXPECT_EQ(body[0] | body[1] << 8, font.GetId());
    EXPECT_EQ(body[2] | body[3] << 8, 4);
    EXPECT_EQ(std::size_t(body[4] | body[5] << 8), 4 + GlyphSize(a));
    EXPECT_EQ(bytes.Size(), BodyOffset(bytes) + 2 + 4 + GlyphSize(a) + GlyphSize(b));
}

TEST(DefineText, PacksGlyphRunsAndColoursByVersion) {
    FlashTextRecordGlyphs run;
    run.AddEntry(0, 600);
    run.AddEntry(1, 550);
    EXPECT_EQ(run.GlyphBits(), 1);
    EXPECT_EQ(run.AdvanceBits(), 11);
    FlashOutputStream runBytes;
    run.Write(runBytes, 1, 11);
    EXPECT_EQ(runBytes.Size(), 1u + 3u);  // 24 bits: no fourth byte
    EXPECT_EQ(runBytes.Data()[0], 2);

    FlashTextRecordStyle style(false, true, false, false, 0, 0, FlashRGBA(1, 2, 3, 4), 0, 0);
    FlashTagDefineText text(FlashRect(0, 0, 100, 100), FlashMatrix());
    text.AddRecord(&style);
    text.AddRecord(&run);
    FlashOutputStream one, two;
    text.Write(one);
    text.WriteText2(two);
    EXPECT_EQ(one.Data()[1] << 8 | one.Data()[0], 11 << 6 | int(one.Size() - 2));
    EXPECT_EQ(two.Data()[1] << 8 | two.Data()[0], 33 << 6 | int(two.Size() - 2));
    EXPECT_EQ(two.Size(), one.Size() + 1);
    // id, RECT (nbits 8: 5 bytes), identity MATRIX (2), bit counts, then the style record.
    const uint8_t* style1 = one.Data() + 2 + 2 + 5 + 2 + 2;
    EXPECT_EQ(style1[0], 0x84);
    EXPECT_EQ(std::vector<uint8_t>(style1 + 1, style1 + 4), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(one.Data()[2 + 2 + 5 + 2], 1);
    EXPECT_EQ(one.Data()[2 + 2 + 5 + 2 + 1], 11);
    EXPECT_EQ(one.Data()[one.Size() - 1], 0);
}

TEST(DefineText, StyleRecordsFlagTheirOffsetsAsPlayersReadThem) {
    // Flag bits: font 8, colour 4, y offset 2, x offset 1; the x offset comes first.
    const struct {
        bool x, y;
        uint8_t flags;
        const char* yaswfp;  // XOffset, YOffset as yaswfp reads them (- for none)
    } cases[] = {{false, true, 0x82, "- 300"}, {true, false, 0x81, "-70 -"}, {true, true, 0x83, "-70 300"}};
    swftest::ScratchDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.yaswfp);
        FlashTextRecordStyle style(false, false, c.x, c.y, 0, 0, FlashRGBA(), -70, 300);
        FlashTextRecordGlyphs run;
        run.AddEntry(0, 600);
        FlashTagDefineText text(FlashRect(0, 0, 100, 100), FlashMatrix());
        text.AddRecord(&style);
        text.AddRecord(&run);
        FlashOutputStream tags;
        text.Write(tags);
        EXPECT_EQ(tags.Data()[2 + 2 + 5 + 2 + 2], c.flags);
        FlashTagEnd().Write(tags);
        FlashOutputStream file;
        file << FlashHeader(5, uint32_t(tags.Size()), 2000, 2000, 12.0, 1);
        file.WriteBytes(tags);
        const std::string path = dir.File("text.swf");
        swftest::WriteFile(path, file.Bytes());
        std::string out;
        const int status = swftest::RunCommand(
            "/usr/bin/python3 -c \"import sys\nfrom yaswfp import swfparser\n"
            "for t in swfparser.SWFParser(open(sys.argv[1], 'rb')).tags:\n"
            "    for r in getattr(t, 'TextRecords', []):\n"
            "        print(getattr(r, 'XOffset', '-'), getattr(r, 'YOffset', '-'))\" '" + path + "'",
            &out);
        if (status != 0) GTEST_SKIP() << "yaswfp is not installed";
        EXPECT_EQ(out, std::string(c.yaswfp) + "\n");
    }
}

TEST(DefineEditText, WritesFlagsHighByteFirstAndReadsEveryField) {
    FlashTagDefineEditText plain(FlashRect(0, 0, 2000, 400), 0, "name");
    plain.SetFont(4, 240);
    plain.SetInitialText("hello");
    auto bytes = Written(plain);
    const uint8_t* body = bytes.Data() + BodyOffset(bytes);
    const std::size_t rect = std::size_t(FlashRect(0, 0, 2000, 400).WrittenSize());
    EXPECT_EQ(body[2 + rect], 0x81);
    EXPECT_EQ(body[3 + rect], 0x00);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(body + 8 + rect)), "name");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(body + 13 + rect)), "hello");

    FlashTagDefineEditText full(FlashRect(-20, -40, 2000, 400),
                                FlashTagDefineEditText::kWordWrap | FlashTagDefineEditText::kBorder, "v");
    full.SetFont(1, 200);
    full.SetColor(FlashRGBA(10, 20, 30, 40));
    full.SetMaxLength(99);
    full.SetLayout(2, 1, 2, 3, 4);
    full.SetInitialText("text");
    bytes = Written(full);
    FlashTagDefineEditText back;
    ReadBack(bytes, 37, back);
    EXPECT_EQ(back.GetId(), full.GetId());
    EXPECT_EQ(back.GetBounds(), full.GetBounds());
    EXPECT_EQ(back.GetFlags(), full.GetFlags());
    EXPECT_EQ(back.GetFontHeight(), 200);
    EXPECT_EQ(back.GetColor(), FlashRGBA(10, 20, 30, 40));
    EXPECT_EQ(back.GetMaxLength(), 99);
    EXPECT_EQ(back.GetAlign(), 2);
    EXPECT_EQ(back.GetLeading(), 4);
    EXPECT_EQ(back.GetVariableName(), "v");
    EXPECT_EQ(back.GetInitialText(), "text");
}

TEST(DefineFont2, LaysOutNameOffsetsCodesAndLayout) {
    struct Case {
        uint16_t secondCode;
        bool wideCodes;
    };
    for (const Case c : {Case{'b', false}, Case{0x20AC, true}}) {
        FlashTagDefineFont2 font("Sans", 0x01);
        const FlashShape a = Square(0, 0, 10), b = Square(0, 0, 20);
        font.AddGlyph(a, 'a');
        font.AddGlyph(b, c.secondCode);
        FlashFontLayout layout;
        layout.ascent = 900;
        layout.descent = 200;
        layout.advances = {500, 600};
        layout.bounds = {a.GetBounds(), b.GetBounds()};
        layout.kerning.emplace_back('a', c.secondCode, -20);
        font.SetLayout(layout);
        const auto bytes = Written(font);
        const uint8_t* body = bytes.Data() + BodyOffset(bytes);
        EXPECT_EQ(body[2], 0x80 | (c.wideCodes ? 0x04 : 0) | 0x01);
        EXPECT_EQ(body[3], 0);
        EXPECT_EQ(body[4], 4);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(body + 5), 4), "Sans");
        const uint8_t* count = body + 9;
        EXPECT_EQ(count[0] | count[1] << 8, 2);
        const uint8_t* table = count + 2;
        EXPECT_EQ(table[0] | table[1] << 8, 6);
        EXPECT_EQ(std::size_t(table[2] | table[3] << 8), 6 + GlyphSize(a));
        const std::size_t codeOffset = std::size_t(table[4] | table[5] << 8);
        EXPECT_EQ(codeOffset, 6 + GlyphSize(a) + GlyphSize(b));
        const uint8_t* codes = table + codeOffset;
        if (c.wideCodes) {
            EXPECT_EQ(codes[2] | codes[3] << 8, 0x20AC);
        } else {
            EXPECT_EQ(codes[1], 'b');
        }
        const std::size_t codeBytes = c.wideCodes ? 4 : 2;
        const uint8_t* lay = codes + codeBytes;
        EXPECT_EQ(lay[0] | lay[1] << 8, 900);
        const std::size_t rects = std::size_t(a.GetBounds().WrittenSize() + b.GetBounds().WrittenSize());
        const std::size_t kerning = c.wideCodes ? 6 : 4;
        EXPECT_EQ(bytes.Data() + bytes.Size(), lay + 6 + 4 + rects + 2 + kerning);
    }
}

TEST(DefineMorphShape, WritesBothShapesWithTheOffsetBetween) {
    FlashShape start = Square(0, 0, 200), end = Square(0, 0, 400);
    FlashTagDefineMorphShape morph(start, end);
    FlashMorphFillStyleSolid solid(FlashRGBA(255, 0, 0, 255), FlashRGBA(0, 0, 255, 128));
    morph.GetFillStyles().Add(&solid);
    morph.GetLineStyles().Add({20, 40, FlashRGBA(0, 0, 0, 255), FlashRGBA(0, 0, 0, 0)});
    const auto bytes = Written(morph);
    FlashInputStream in(bytes.Data() + BodyOffset(bytes), bytes.Size() - BodyOffset(bytes));
    EXPECT_EQ(in.ReadU16(), morph.GetId());
    FlashRect startBounds, endBounds;
    in >> startBounds >> endBounds;
    EXPECT_EQ(startBounds, FlashRect(0, 0, 200, 200));
    EXPECT_EQ(endBounds, FlashRect(0, 0, 400, 400));
    const uint32_t offset = in.ReadU32();
    const std::size_t styles = (1 + 1 + 8) + (1 + 4 + 8);
    EXPECT_EQ(offset, styles + GlyphSize(start));
    EXPECT_EQ(in.Remaining(), offset + GlyphSize(end));

    for (const auto& [count, expected] : {std::pair{254u, std::vector<uint8_t>{254}},
                                          std::pair{255u, std::vector<uint8_t>{0xFF, 255, 0}}}) {
        FlashMorphFillStyleArray fills;
        for (unsigned i = 0; i < count; ++i) fills.Add(&solid);
        FlashOutputStream out;
        fills.Write(out);
        EXPECT_EQ(std::vector<uint8_t>(out.Data(), out.Data() + expected.size()), expected);
        EXPECT_EQ(out.Size(), expected.size() + count * 9);
    }
}

}  // namespace
