#include <gtest/gtest.h>

#include <climits>

#include "swf/bits.h"
#include "swf/records.h"
#include "swf/tag.h"
#include "tests/swf/swf_test_util.h"

TEST(SwfBits, CountsSignificantBits)
{
    struct Case { int32_t v; int unsignedBits; int signedBits; } cases[] = {
        {0, 0, 1}, {1, 1, 2}, {-1, 1, 2}, {2, 2, 3}, {3, 2, 3}, {4, 3, 4}, {2000, 11, 12},
        {4000, 12, 13}, {38400, 16, 17}, {-38400, 16, 17}, {INT_MAX, 31, 32},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UnsignedBitCount(uint32_t(c.v < 0 ? -int64_t(c.v) : c.v)), c.unsignedBits) << c.v;
        EXPECT_EQ(SignedBitCount(c.v), c.signedBits) << c.v;
    }
    EXPECT_EQ(SignedBitCount(INT_MIN), 33);
    // The 16-bit variant takes its value as a signed 16-bit number.
    EXPECT_EQ(SignedBitCount16(int16_t(0xFFFF)), 2);
    EXPECT_EQ(SignedBitCount16(int16_t(-32768)), 17);
}

TEST(SwfBits, WriterPacksMostSignificantBitFirstAndReaderUndoesIt)
{
    FlashBitWriter w;
    w.WriteBits(1, 1);
    w.WriteBits(0x5, 3);
    w.WriteBits(0xABC, 12);
    w.WriteBits(uint32_t(-3), 5);
    FlashOutputStream out;
    w.Flush(out);
    EXPECT_EQ(Hex(out), "DA BC E8");  // 1 101 101010111100 11101, zero-padded

    FlashInputStream in(out.Bytes());
    FlashBitReader r(in);
    EXPECT_EQ(r.ReadBits(0), 0u);
    EXPECT_EQ(r.ReadBits(1), 1u);
    EXPECT_EQ(r.ReadBits(3), 5u);
    EXPECT_EQ(r.ReadBits(12), 0xABCu);
    EXPECT_EQ(in.Tell(), 2u);  // a fully read byte is consumed, a partial one isn't
    EXPECT_EQ(r.ReadSignedBits(5), -3);
    EXPECT_EQ(in.Tell(), 2u);
    r.Finish();
    EXPECT_EQ(in.Tell(), 3u);
    EXPECT_FALSE(in.Failed());
    // Past the end: zeros and a failed stream, never a stray read.
    EXPECT_EQ(r.ReadBits(8), 0u);
    EXPECT_TRUE(in.Failed());
}

TEST(SwfBits, ReaderStartsInsideAByte)
{
    const uint8_t data[] = {0x07, 0x80};
    FlashInputStream in(data, sizeof data);
    FlashBitReader r(in, 5);
    EXPECT_EQ(r.ReadBits(4), 0xFu);
    r.Finish();
    EXPECT_EQ(in.Tell(), 2u);
}

TEST(SwfFixed, BuildsFromDoublesAndSplitsRawValues)
{
    EXPECT_EQ(FlashFixed(1.5).ConvertToRaw(), 0x18000);
    EXPECT_EQ(FlashFixed(-0.5).ConvertToRaw(), int32_t(0xFFFF8000));
    EXPECT_EQ(FlashFixed(-0.5).GetUpper(), -1);
    EXPECT_EQ(FlashFixed(-0.5).GetLower(), 0x8000);
    EXPECT_EQ(FlashFixed(20.0).ConvertToRaw(), 20 << 16);
    EXPECT_EQ(FlashFixed::FromRaw(int32_t(0xFFFE4000)), FlashFixed(-2, 0x4000));
    EXPECT_EQ(FlashFixed::RoundRaw(0x00018000), 1);
    EXPECT_EQ(FlashFixed::RoundRaw(0x00008000), 0);
    EXPECT_EQ(FlashFixed::RoundRaw(int32_t(0xFFFF8000)), -1);

    EXPECT_EQ(FlashFixed16(12.0).ConvertToRaw(), 0x0C00);
    EXPECT_EQ(FlashFixed16(7.75).ConvertToRaw(), 0x07C0);
    // Out of range values clamp instead of wrapping.
    EXPECT_EQ(FlashFixed(1e9).GetUpper(), 32767);
    EXPECT_EQ(FlashFixed(-1e9).ConvertToRaw(), INT32_MIN);
    EXPECT_EQ(FlashFixed16(300.0).GetUpper(), 255);
    EXPECT_EQ(FlashFixed16(-2.0).ConvertToRaw(), 0);
    EXPECT_EQ(FlashFixed16::FromRaw(0x1880), FlashFixed16(0x18, 0x80));
}

TEST(SwfRect, FieldWidthsAndRoundTrip)
{
    struct Case { FlashRect r; int bits; std::string hex; } cases[] = {
        {FlashRect(0, 0, 0, 0), 1, "08 00"},
        {FlashRect(0, 0, 2000, 2000), 12, ""},
        {FlashRect(0, 0, 4000, 2000), 13, ""},
        {FlashRect(-20, 5, 220, 220), 9, ""},
        // 1920 pixels: 38400 twips needs 17-bit fields
        {FlashRect(0, 0, 38400, 21600), 17, ""},
    };
    for (const auto& c : cases) {
        FlashOutputStream out;
        out << c.r;
        EXPECT_EQ(c.r.FieldBits(), c.bits);
        EXPECT_EQ(int(out.Size()), (5 + 4 * c.bits + 7) / 8);
        EXPECT_EQ(out.Data()[0] >> 3, c.bits);
        if (!c.hex.empty()) {
            EXPECT_EQ(Hex(out), c.hex);
        }
        FlashInputStream in(out.Bytes());
        FlashRect back;
        in >> back;
        EXPECT_FALSE(in.Failed());
        EXPECT_EQ(in.Tell(), out.Size());
        EXPECT_EQ(back, c.r) << c.bits;
    }
}

TEST(SwfRect, ReadsWideCountsAndFailsOnShortData)
{
    // A first byte of 0x80 or above announces 16 or more bits, not a negative count.
    const uint8_t wide[] = {0x80, 0, 0, 0, 0, 0, 0, 0, 0};
    FlashInputStream in(wide, sizeof wide);
    FlashRect r;
    in >> r;
    EXPECT_FALSE(in.Failed());
    EXPECT_EQ(in.Tell(), 9u);

    const uint8_t cut[] = {0xF8, 0};  // 31-bit fields in two bytes
    FlashInputStream shortIn(cut, sizeof cut);
    shortIn >> r;
    EXPECT_TRUE(shortIn.Failed());
}

TEST(SwfMatrix, PresenceBitsAndFieldWidths)
{
    FlashMatrix scaled;
    scaled.SetScale(FlashFixed(20.0), FlashFixed(20.0));
    scaled.SetTranslate(38400, -20);
    FlashMatrix rotated(false, 0, 0, true, 0x10000, -0x10000, 0, 0);
    FlashMatrix full(true, 0x18000, int32_t(0xFFFF8000), true, 1, -1, 100, 200);
    struct Case { FlashMatrix m; std::string hex; } cases[] = {
        // no scale, no rotation, a 1-bit zero translation: 0 0 00001 0 0
        {FlashMatrix(), "02 00"},
        {scaled, ""},
        {rotated, ""},
        {full, ""},
    };
    for (const auto& c : cases) {
        FlashOutputStream out;
        out << c.m;
        if (!c.hex.empty()) {
            EXPECT_EQ(Hex(out), c.hex);
        }
        FlashInputStream in(out.Bytes());
        FlashMatrix back;
        in >> back;
        EXPECT_FALSE(in.Failed());
        EXPECT_EQ(in.Tell(), out.Size());
        EXPECT_EQ(back, c.m);
    }
    // Scale 20.0 needs 22 bits; a translation of 38400 twips keeps all its 17 bits.
    FlashOutputStream out;
    out << scaled;
    FlashInputStream in(out.Bytes());
    FlashBitReader r(in);
    EXPECT_EQ(r.ReadBits(1), 1u);
    EXPECT_EQ(r.ReadBits(5), 22u);
    r.ReadBits(44);
    EXPECT_EQ(r.ReadBits(1), 0u);
    EXPECT_EQ(r.ReadBits(5), 17u);
    EXPECT_EQ(r.ReadSignedBits(17), 38400);
}

TEST(SwfColor, WritesClampedBytes)
{
    FlashOutputStream out;
    out << FlashRGBA(300, -1, 254) << FlashRGBA(1, 2, 3, 4);
    EXPECT_EQ(Hex(out), "FF FF FE 01 02 03 04");
    FlashInputStream in(out.Bytes());
    FlashRGBA rgb, rgba(0, 0, 0, 0);
    in >> rgb >> rgba;
    EXPECT_EQ(rgb, FlashRGBA(255, 255, 254));
    EXPECT_EQ(rgba, FlashRGBA(1, 2, 3, 4));
}

TEST(SwfColorTransform, CountsAbsentTermsAndRoundTrips)
{
    // Only add terms present, but the absent mult terms (value 300) still set the width.
    FlashColorTransform addOnly(true, FlashRGBA(1, 2, 3), false, FlashRGBA(300, 0, 0));
    FlashOutputStream out;
    out << addOnly;
    FlashInputStream in(out.Bytes());
    FlashBitReader r(in);
    EXPECT_EQ(r.ReadBits(1), 1u);
    EXPECT_EQ(r.ReadBits(1), 0u);
    EXPECT_EQ(r.ReadBits(4), 10u);

    struct Case { FlashColorTransform t; int version; size_t size; } cases[] = {
        {FlashColorTransform(), 1, 1},
        {FlashColorTransform(true, FlashRGBA(-255, 10, 20, 30), true, FlashRGBA(256, 128, 0, 64)), 1, 0},
        {FlashColorTransform(true, FlashRGBA(-255, 10, 20, 30), true, FlashRGBA(256, 128, 0, 64)), 2, 0},
        {FlashColorTransform(false, FlashRGBA(), true, FlashRGBA(0, 0, 0, 255)), 2, 0},
    };
    for (auto& c : cases) {
        c.t.SetVersion(c.version);
        FlashOutputStream o;
        o << c.t;
        if (c.size) {
            EXPECT_EQ(o.Size(), c.size);
        }
        FlashColorTransform back;
        back.SetVersion(c.version);
        FlashInputStream i(o.Bytes());
        i >> back;
        EXPECT_FALSE(i.Failed());
        EXPECT_EQ(i.Tell(), o.Size());
        EXPECT_EQ(back.HasAdd(), c.t.HasAdd());
        EXPECT_EQ(back.HasMult(), c.t.HasMult());
        auto same = [&](const FlashRGBA& a, const FlashRGBA& b) {
            EXPECT_EQ(a.GetR(), b.GetR());
            EXPECT_EQ(a.GetG(), b.GetG());
            EXPECT_EQ(a.GetB(), b.GetB());
            if (c.version > 1) {
                EXPECT_EQ(a.GetA(), b.GetA());
            }
        };
        if (c.t.HasAdd()) same(back.GetAddTerms(), c.t.GetAddTerms());
        if (c.t.HasMult()) same(back.GetMultTerms(), c.t.GetMultTerms());
    }
}

TEST(SwfTagHeader, ShortAndLongForms)
{
    struct Case { uint16_t code; uint32_t length; std::string hex; } cases[] = {
        {1, 0, "40 00"},
        {12, 7, "07 03"},
        {2, 62, "BE 00"},
        {2, 63, "BF 00 3F 00 00 00"},
        {21, 1002, "7F 05 EA 03 00 00"},
    };
    for (const auto& c : cases) {
        FlashOutputStream out;
        FlashTagHeader h(c.code, c.length);
        out << h;
        EXPECT_EQ(Hex(out), c.hex);
        EXPECT_EQ(int(out.Size()), h.WrittenSize());
        FlashInputStream in(out.Bytes());
        FlashTagHeader back;
        in >> back;
        EXPECT_EQ(back.GetTagID(), c.code);
        EXPECT_EQ(back.GetTagLength(), c.length);
    }
}

TEST(SwfFileHeader, LengthCountsTheHeader)
{
    struct Case { int32_t w, h; size_t headerLength; } cases[] = {
        {2000, 2000, 19}, {4000, 2000, 20}, {38400, 21600, 22},
    };
    for (const auto& c : cases) {
        FlashHeader h(5, 100, c.w, c.h, 12.0, 7);
        FlashOutputStream out;
        out << h;
        ASSERT_EQ(out.Size(), c.headerLength);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.Data()), 3), "FWS");
        EXPECT_EQ(out.Data()[3], 5);
        FlashInputStream in(out.Bytes());
        FlashHeader back;
        in >> back;
        EXPECT_FALSE(in.Failed());
        EXPECT_EQ(back.GetFileLength(), 100 + c.headerLength);
        EXPECT_EQ(back.GetBodyLength(), 100u);
        EXPECT_EQ(back.GetScreenSize(), FlashRect(0, 0, c.w, c.h));
        EXPECT_EQ(back.GetFrameRate(), FlashFixed16(12, 0));
        EXPECT_EQ(back.GetFrameCount(), 7);
    }
    // The rate goes fraction byte first.
    FlashOutputStream out;
    out << FlashHeader(5, 0, 0, 0, uint16_t(0x0C80), 1);
    EXPECT_EQ(out.Data()[10], 0x80);
    EXPECT_EQ(out.Data()[11], 0x0C);
}

TEST(SwfCharacterId, TakesIdsFromTheCounter)
{
    nextCharacterId = 65535;
    FlashCharacterId a(true), b(true), unassigned(false);
    EXPECT_EQ(a.GetId(), 65535);
    EXPECT_EQ(b.GetId(), 0);  // wraps
    EXPECT_EQ(nextCharacterId, 1);
    EXPECT_EQ(unassigned.GetId(), 0);
    nextCharacterId = 0;
}

TEST(SwfStream, BoundedReads)
{
    const uint8_t data[] = {1, 2, 3, 'a', 'b'};
    FlashInputStream in(data, sizeof data);
    EXPECT_EQ(in.ReadU16(), 0x0201);
    FlashInputStream sub = in.Sub(1);
    EXPECT_EQ(sub.ReadU8(), 3);
    EXPECT_EQ(sub.ReadU8(), 0);
    EXPECT_TRUE(sub.Failed());
    EXPECT_FALSE(in.Failed());
    EXPECT_EQ(in.ReadString(), "");  // no terminator before the end
    EXPECT_TRUE(in.Failed());
    FlashInputStream again(data, sizeof data);
    EXPECT_EQ(again.ReadU32(), 0x61030201u);
    EXPECT_EQ(again.ReadU32(), 0u);
    EXPECT_TRUE(again.Failed());
    std::vector<uint8_t> buf;
    FlashInputStream big(data, sizeof data);
    EXPECT_FALSE(big.ReadBytes(buf, 6));
    EXPECT_TRUE(big.Failed());
}
