#include <gtest/gtest.h>

#include "swf/control_tags.h"
#include "tests/swf/swf_test_util.h"

TEST(SwfControlTags, PlaceObject2FlagBytes)
{
    FlashMatrix m;
    m.SetTranslate(40, -60);
    FlashColorTransform t(true, FlashRGBA(1, 2, 3, 4), false, FlashRGBA());
    FlashTagPlaceObject2 plain(1, 7);
    FlashTagPlaceObject2 moved(1, 7);
    moved.SetMove(true);
    FlashTagPlaceObject2 full(3, 9, m, t);
    FlashTagPlaceObject2 fullMove(3, 9, m, t);
    fullMove.SetMove(true);
    struct Case { FlashTagPlaceObject2* tag; uint8_t flags; } cases[] = {
        {&plain, 0x02}, {&moved, 0x03}, {&full, 0x0E}, {&fullMove, 0x0F},
    };
    for (const auto& c : cases) {
        FlashOutputStream out;
        c.tag->Write(out);
        EXPECT_EQ(Body(out)[0], c.flags);
        FlashTagPlaceObject2 back;
        ReadBack(out, 26, back);
        EXPECT_EQ(back.FlagByte(), c.flags);
        EXPECT_EQ(back.GetDepth(), c.tag->GetDepth());
        EXPECT_EQ(back.GetCharacterId(), c.tag->GetCharacterId());
        if (c.tag->HasMatrix()) {
            EXPECT_EQ(back.GetMatrix(), m);
            EXPECT_EQ(back.GetColorTransform().GetAddTerms(), FlashRGBA(1, 2, 3, 4));
        }
    }
    FlashOutputStream out;
    plain.Write(out);
    EXPECT_EQ(Hex(out), "85 06 02 01 00 07 00");
}

TEST(SwfControlTags, PlaceObject2OptionalFieldsRoundTrip)
{
    FlashTagPlaceObject2 tag(12, 0);
    tag.SetRatio(500);
    tag.SetName("clip");
    tag.SetClipDepth(40);
    FlashOutputStream out;
    tag.Write(out);
    EXPECT_EQ(Body(out)[0], 0x72);
    FlashTagPlaceObject2 back;
    ReadBack(out, 26, back);
    EXPECT_TRUE(back.HasRatio());
    EXPECT_EQ(back.GetRatio(), 500);
    EXPECT_EQ(back.GetName(), "clip");
    EXPECT_TRUE(back.HasClipDepth());
    EXPECT_EQ(back.GetClipDepth(), 40);
}

TEST(SwfControlTags, PlaceObjectColorTransformFollowsTheBodyLength)
{
    FlashMatrix m;
    m.SetScale(FlashFixed(2.0), FlashFixed(0.5));
    FlashTagPlaceObject without(5, 2, m);
    FlashTagPlaceObject with(5, 2, m, FlashColorTransform(false, FlashRGBA(), true, FlashRGBA(128, 128, 128)));
    for (auto* tag : {&without, &with}) {
        FlashOutputStream out;
        tag->Write(out);
        FlashTagPlaceObject back;
        ReadBack(out, 4, back);
        EXPECT_EQ(back.HasColorTransform(), tag->HasColorTransform());
        EXPECT_EQ(back.GetMatrix(), m);
        EXPECT_EQ(back.GetCharacterId(), 5);
        EXPECT_EQ(back.GetDepth(), 2);
    }
}

TEST(SwfControlTags, FixedBodies)
{
    FlashTagShowFrame show;
    FlashTagEnd end;
    FlashTagRemoveObject remove(3, 4);
    FlashTagRemoveObject2 remove2(9);
    FlashTagBackgroundColor bg(0xFF, 0x80, 0x01);
    FlashTagFreeCharacter freeChar(77);
    FlashTagProtect noPassword;
    FlashTagProtect password("ab");
    FlashTagEnableDebugger debugger("pw");
    FlashTagLabelFrame label("intro");
    FlashTagExportAssets noAssets;
    struct Case { FlashTag* tag; std::string hex; } cases[] = {
        {&show, "40 00"},
        {&end, "00 00"},
        {&remove, "44 01 03 00 04 00"},
        {&remove2, "02 07 09 00"},
        {&bg, "43 02 FF 80 01"},
        {&freeChar, "C2 00 4D 00"},
        {&noPassword, "00 06"},
        {&password, "03 06 61 62 00"},
        {&debugger, "83 0E 70 77 00"},
        {&label, "C6 0A 69 6E 74 72 6F 00"},
        {&noAssets, "02 0E 00 00"},
    };
    for (const auto& c : cases) {
        FlashOutputStream out;
        c.tag->Write(out);
        EXPECT_EQ(Hex(out), c.hex);
    }
    EXPECT_TRUE(show.IsShowFrame());
    EXPECT_FALSE(static_cast<FlashControlTag&>(end).IsShowFrame());
}

TEST(SwfControlTags, SmallTagsRoundTrip)
{
    {
        FlashOutputStream out;
        FlashTagRemoveObject(3, 4).Write(out);
        FlashTagRemoveObject back;
        ReadBack(out, 5, back);
        EXPECT_EQ(back.GetCharacterId(), 3);
        EXPECT_EQ(back.GetDepth(), 4);
    }
    {
        FlashOutputStream out;
        FlashTagRemoveObject2(9).Write(out);
        FlashTagRemoveObject2 back;
        ReadBack(out, 28, back);
        EXPECT_EQ(back.GetDepth(), 9);
    }
    {
        FlashOutputStream out;
        FlashTagBackgroundColor(1, 2, 3).Write(out);
        FlashTagBackgroundColor back;
        ReadBack(out, 9, back);
        EXPECT_EQ(back.GetR() + back.GetG() * 10 + back.GetB() * 100, 321);
    }
    {
        FlashOutputStream out;
        FlashTagFreeCharacter(77).Write(out);
        FlashTagFreeCharacter back;
        ReadBack(out, 3, back);
        EXPECT_EQ(back.GetCharacterId(), 77);
    }
    {
        FlashOutputStream out;
        FlashTagLabelFrame("intro").Write(out);
        FlashTagLabelFrame back;
        ReadBack(out, 43, back);
        EXPECT_EQ(back.GetLabel(), "intro");
    }
    for (bool withPassword : {false, true}) {
        FlashOutputStream out;
        FlashTagEnableDebugger tag = withPassword ? FlashTagEnableDebugger("secret") : FlashTagEnableDebugger();
        tag.Write(out);
        FlashTagEnableDebugger back;
        ReadBack(out, 58, back);
        EXPECT_EQ(back.HasPassword(), withPassword);
        EXPECT_EQ(back.GetPassword(), withPassword ? "secret" : "");
    }
}

TEST(SwfControlTags, EmptyProtectConsumesNothingOfTheNextTag)
{
    FlashOutputStream out;
    FlashTagProtect().Write(out);
    FlashTagShowFrame().Write(out);
    FlashInputStream in(out.Bytes());
    FlashTagHeader h;
    in >> h;
    FlashTagProtect back;
    back.SetTagLength(h.GetTagLength());
    back.Read(in);
    EXPECT_FALSE(back.HasPassword());
    EXPECT_EQ(in.Tell(), 2u);
}

TEST(SwfControlTags, AssetListsRoundTrip)
{
    FlashTagExportAssets exp;
    exp.AddAsset("first", 1);
    exp.AddAsset("", 65535);
    FlashOutputStream out;
    exp.Write(out);
    EXPECT_EQ(Body(out).size(), 2u + (2 + 6) + (2 + 1));
    FlashTagExportAssets back;
    ReadBack(out, 56, back);
    EXPECT_EQ(back.GetNames(), exp.GetNames());
    EXPECT_EQ(back.GetIds(), exp.GetIds());

    FlashTagImportAssets imp("lib.swf");
    imp.AddAsset("button", 4);
    FlashOutputStream out2;
    imp.Write(out2);
    FlashTagImportAssets back2;
    ReadBack(out2, 57, back2);
    EXPECT_EQ(back2.GetURL(), "lib.swf");
    EXPECT_EQ(back2.GetNames(), imp.GetNames());
    EXPECT_EQ(back2.GetIds(), imp.GetIds());

    // A count larger than the names present fails cleanly.
    const uint8_t bad[] = {5, 0, 1, 0, 'a', 0};
    FlashInputStream in(bad, sizeof bad);
    FlashTagExportAssets broken;
    broken.SetTagLength(sizeof bad);
    broken.Read(in);
    EXPECT_TRUE(in.Failed());
    EXPECT_EQ(broken.GetNames().size(), 1u);
}

TEST(SwfControlTags, FontInfoCodeWidthFollowsFlags)
{
    for (uint8_t flags : {uint8_t(0x00), uint8_t(0x01)}) {
        FlashTagDefineFontInfo info(3, "Arial", flags, {65, 66, 0x263A});
        FlashOutputStream out;
        info.Write(out);
        size_t width = flags ? 2 : 1;
        EXPECT_EQ(Body(out).size(), 5 + 4 + 3 * width);
        FlashTagDefineFontInfo back;
        ReadBack(out, 13, back);
        EXPECT_EQ(back.GetFontId(), 3);
        EXPECT_EQ(back.GetFontName(), "Arial");
        EXPECT_EQ(back.GetFlags(), flags);
        std::vector<uint16_t> expected = {65, 66, uint16_t(flags ? 0x263A : 0x3A)};
        EXPECT_EQ(back.GetCodes(), expected);
    }
}

TEST(SwfControlTags, TruncatedBodiesFailCleanly)
{
    FlashMatrix m;
    m.SetScale(FlashFixed(3.0), FlashFixed(3.0));
    FlashTagPlaceObject2 tag(1, 2, m, FlashColorTransform());
    tag.SetName("name");
    FlashOutputStream out;
    tag.Write(out);
    std::vector<uint8_t> body = Body(out);
    for (size_t cut = 0; cut < body.size(); ++cut) {
        FlashInputStream in(body.data(), cut);
        FlashTagPlaceObject2 back;
        back.SetTagLength(uint32_t(cut));
        back.Read(in);
        EXPECT_TRUE(in.Failed()) << cut;
    }
}
