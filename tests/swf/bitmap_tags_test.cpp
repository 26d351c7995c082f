#include <gtest/gtest.h>

#include <zlib.h>

#include "swf/bitmap_tags.h"
#include "tests/swf/swf_test_util.h"

TEST(SwfBitmapTags, JpegTagLayouts)
{
    std::vector<uint8_t> jpeg(1000), alpha(300);
    for (size_t i = 0; i < jpeg.size(); ++i) jpeg[i] = uint8_t(i * 7);
    for (size_t i = 0; i < alpha.size(); ++i) alpha[i] = uint8_t(i);

    nextCharacterId = 3;
    FlashTagDefineBitsJPEG2 two(jpeg.data(), 1000);
    FlashOutputStream out;
    two.Write(out);
    ASSERT_EQ(out.Size(), 6u + 1002);
    EXPECT_EQ(Hex(std::vector<uint8_t>(out.Data(), out.Data() + 8)), "7F 05 EA 03 00 00 03 00");
    FlashTagDefineBitsJPEG2 twoBack;
    ReadBack(out, 21, twoBack);
    EXPECT_EQ(twoBack.GetId(), 3);
    EXPECT_EQ(std::vector<uint8_t>(twoBack.GetData(), twoBack.GetData() + twoBack.GetDataLength()), jpeg);

    FlashTagDefineBitsJPEG3 three(jpeg.data(), 1000, alpha.data(), 300);
    FlashOutputStream out3;
    three.Write(out3);
    auto body = Body(out3);
    ASSERT_EQ(body.size(), 1306u);
    EXPECT_EQ(body[2] | body[3] << 8, 1000);
    FlashTagDefineBitsJPEG3 threeBack;
    ReadBack(out3, 35, threeBack);
    EXPECT_EQ(threeBack.GetId(), three.GetId());
    EXPECT_EQ(threeBack.GetJpegLength(), 1000u);
    EXPECT_EQ(std::vector<uint8_t>(threeBack.GetAlphaData(), threeBack.GetAlphaData() + 300), alpha);

    FlashTagDefineBitsJPEG1 one(jpeg.data(), 10);
    FlashTagJPEGTables tables(jpeg.data(), 20);
    FlashOutputStream o1, o8;
    one.Write(o1);
    tables.Write(o8);
    EXPECT_EQ(Body(o1).size(), 12u);
    EXPECT_EQ(Body(o8).size(), 20u);
    FlashTagDefineBitsJPEG1 oneBack;
    FlashTagJPEGTables tablesBack;
    ReadBack(o1, 6, oneBack);
    ReadBack(o8, 8, tablesBack);
    EXPECT_EQ(oneBack.GetDataLength(), 10u);
    EXPECT_EQ(tablesBack.GetDataLength(), 20u);
    nextCharacterId = 0;
}

TEST(SwfBitmapTags, BadJpegLengthsFailCleanly)
{
    // AlphaDataOffset beyond the body.
    const uint8_t body[] = {1, 0, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xD8};
    FlashInputStream in(body, sizeof body);
    FlashTagDefineBitsJPEG3 tag;
    tag.SetTagLength(sizeof body);
    tag.Read(in);
    EXPECT_TRUE(in.Failed());
    EXPECT_EQ(tag.GetJpegData(), nullptr);
    EXPECT_EQ(tag.GetJpegLength(), 0u);

    // A tag length larger than the data.
    FlashInputStream in2(body, sizeof body);
    FlashTagDefineBitsJPEG2 two;
    two.SetTagLength(1u << 30);
    two.Read(in2);
    EXPECT_TRUE(in2.Failed());
    EXPECT_EQ(two.GetData(), nullptr);
}

TEST(SwfBitmapTags, LosslessRoundTrips)
{
    std::vector<FlashRGBA> table;
    for (int i = 0; i < 256; ++i) table.emplace_back(i, 255 - i, i / 2, 200);
    std::vector<uint8_t> indexed(4 * 3), argb(3 * 2 * 4), rgb15(4 * 2 * 2);
    for (size_t i = 0; i < indexed.size(); ++i) indexed[i] = uint8_t(i * 20);
    for (size_t i = 0; i < argb.size(); ++i) argb[i] = uint8_t(i * 9);
    for (size_t i = 0; i < rgb15.size(); ++i) rgb15[i] = uint8_t(i * 3);
    struct Case { bool alpha; uint8_t format; uint16_t w, h; std::vector<uint8_t>* pixels; size_t entries; } cases[] = {
        {false, 3, 4, 3, &indexed, 256}, {true, 3, 4, 3, &indexed, 256}, {false, 5, 3, 2, &argb, 0},
        {true, 5, 3, 2, &argb, 0}, {false, 4, 4, 2, &rgb15, 0},
    };
    for (const auto& c : cases) {
        FlashLosslessBitmapData data(c.entries ? table : std::vector<FlashRGBA>{}, c.pixels->data(),
                                     uint32_t(c.pixels->size()));
        FlashOutputStream out;
        std::unique_ptr<FlashTagDefineBitsLosslessBase> tag, back;
        if (c.alpha) {
            tag = std::make_unique<FlashTagDefineBitsLossless2>(c.format, c.w, c.h, data);
            back = std::make_unique<FlashTagDefineBitsLossless2>();
        } else {
            tag = std::make_unique<FlashTagDefineBitsLossless>(c.format, c.w, c.h, data);
            back = std::make_unique<FlashTagDefineBitsLossless>();
        }
        tag->Write(out);
        auto body = Body(out);
        if (c.format == 3) {
            EXPECT_EQ(body[7], 255);
        }
        ReadBack(out, c.alpha ? 36 : 20, *back);
        EXPECT_EQ(back->GetFormat(), c.format);
        EXPECT_EQ(back->GetWidth(), c.w);
        EXPECT_EQ(back->GetHeight(), c.h);
        const auto& d = back->GetBitmapData();
        ASSERT_TRUE(d.HasData());
        EXPECT_EQ(std::vector<uint8_t>(d.GetPixels(), d.GetPixels() + d.GetPixelLength()), *c.pixels);
        ASSERT_EQ(d.GetColorTable().size(), c.entries);
        if (c.entries) {
            EXPECT_EQ(d.GetColorTable()[100].GetR(), 100);
            EXPECT_EQ(d.GetColorTable()[100].GetA(), c.alpha ? 200 : 255);
        }
        // A copy of read data stands on its own.
        FlashLosslessBitmapData copy = d;
        back.reset();
        EXPECT_EQ(std::vector<uint8_t>(copy.GetPixels(), copy.GetPixels() + copy.GetPixelLength()), *c.pixels);
    }
}

TEST(SwfBitmapTags, LosslessReaderAcceptsPaddedRowsAndRejectsBadBlocks)
{
    // A 3x2 colour-mapped bitmap stored with rows padded to 4 bytes.
    std::vector<uint8_t> raw = {10, 20, 30, 1, 2, 0, 0, 0};  // 2 table entries (RGB) first
    raw.insert(raw.begin(), {0, 0, 0, 255, 255, 255});
    raw.resize(6 + 8);
    uLongf size = compressBound(uLong(raw.size()));
    std::vector<uint8_t> packed(size);
    compress2(packed.data(), &size, raw.data(), uLong(raw.size()), 9);
    packed.resize(size);
    FlashOutputStream body;
    body.WriteU16(1);
    body.WriteU8(3);
    body.WriteU16(3);
    body.WriteU16(2);
    body.WriteU8(1);
    body.WriteBytes(packed.data(), packed.size());
    FlashOutputStream tag;
    WriteTagRecord(tag, 20, body);
    FlashTagDefineBitsLossless back;
    ReadBack(tag, 20, back);
    ASSERT_TRUE(back.GetBitmapData().HasData());
    EXPECT_EQ(back.GetBitmapData().GetPixelLength(), 8u);

    struct Case { const char* what; std::vector<uint8_t> body; } cases[] = {
        {"corrupt zlib", {1, 0, 5, 2, 0, 2, 0, 0x78, 0x9C, 1, 2, 3}},
        {"huge size from a tiny block", {1, 0, 5, 0xFF, 0xFF, 0xFF, 0xFF, 0x78, 0x9C, 3, 0}},
        {"unknown format", {1, 0, 9, 1, 0, 1, 0, 0, 0}},
        {"too short for its header", {1, 0, 3, 1}},
    };
    for (const auto& c : cases) {
        FlashInputStream in(c.body);
        FlashTagDefineBitsLossless2 t;
        t.SetTagLength(uint32_t(c.body.size()));
        t.Read(in);
        EXPECT_FALSE(t.GetBitmapData().HasData()) << c.what;
        EXPECT_LE(in.Tell(), c.body.size()) << c.what;
    }
}
