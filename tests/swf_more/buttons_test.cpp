#include "swf/buttons.h"

#include <gtest/gtest.h>

#include "tests/swf_more/tag_io.h"

namespace {

using swftest::BodyOffset;
using swftest::ReadBack;
using swftest::Written;

FlashColorTransform Tint() { return FlashColorTransform(true, FlashRGBA(10, -20, 30, 40), false, FlashRGBA()); }

TEST(DefineButton2, LaysOutOffsetsAndSizesOfItsConditionEntries) {
    FlashMatrix identity;
    FlashButtonRecord record(3, 3, FlashButtonRecord::kUp, identity, FlashColorTransform());
    FlashActionPlay play;
    FlashActionStop stop;
    FlashActionGotoFrame gotoFrame(9);

    FlashTagDefineButton2 one;
    one.AddRecord(&record);
    one.AddCondAction({&play}, 4);
    auto bytes = Written(one);
    const uint8_t* body = bytes.Data() + BodyOffset(bytes);
    // Record: flags, id, depth (5 bytes), identity MATRIX (2), empty CXFORM (1).
    const std::size_t recordBytes = 5 + 2 + 1;
    EXPECT_EQ(body[3] | body[4] << 8, int(2 + recordBytes + 1));
    const uint8_t* entry = body + 5 + recordBytes + 1;
    EXPECT_EQ(entry[0] | entry[1] << 8, 0);  // the last entry's size is 0
    EXPECT_EQ(entry[2] | entry[3] << 8, 4);
    EXPECT_EQ(entry[4], 0x06);
    EXPECT_EQ(entry[5], 0x00);
    EXPECT_EQ(bytes.Size(), BodyOffset(bytes) + 5 + recordBytes + 1 + 6);

    FlashTagDefineButton2 two(true);
    two.AddRecord(&record);
    two.AddCondAction({&gotoFrame, &play}, 4);
    two.AddCondAction({&stop}, 8);
    bytes = Written(two);
    body = bytes.Data() + BodyOffset(bytes);
    entry = body + 5 + recordBytes + 1;
    EXPECT_EQ(entry[0] | entry[1] << 8, 2 + (5 + 1) + 1 + 2);

    FlashTagDefineButton2 back;
    ReadBack(bytes, 34, back);
    EXPECT_EQ(back.GetId(), two.GetId());
    EXPECT_TRUE(back.GetTrackAsMenu());
    ASSERT_EQ(back.GetRecords().size(), 1u);
    EXPECT_EQ(back.GetRecords()[0]->GetCharacterId(), 3);
    ASSERT_EQ(back.GetCondActions().size(), 2u);
    EXPECT_EQ(back.GetCondActions()[0].GetCondition(), 4);
    ASSERT_EQ(back.GetCondActions()[0].GetActions().size(), 2u);
    EXPECT_EQ(back.GetCondActions()[0].GetActions()[0]->GetActionCode(), 0x81);
    EXPECT_EQ(back.GetCondActions()[1].GetCondition(), 8);
    EXPECT_EQ(back.GetCondActions()[1].GetActions()[0]->GetActionCode(), 0x07);
}

TEST(DefineButton2, WithoutActionsPointsAtNone) {
    FlashButtonRecord record(1, 1, FlashButtonRecord::kHitTest, FlashMatrix(), Tint());
    FlashTagDefineButton2 tag;
    tag.AddRecord(&record);
    const auto bytes = Written(tag);
    const uint8_t* body = bytes.Data() + BodyOffset(bytes);
    EXPECT_EQ(body[3] | body[4] << 8, 0);
    EXPECT_EQ(bytes.Data()[bytes.Size() - 1], 0);  // records end; nothing follows
    FlashTagDefineButton2 back;
    ReadBack(bytes, 34, back);
    ASSERT_EQ(back.GetRecords().size(), 1u);
    EXPECT_EQ(back.GetRecords()[0]->GetColorTransform().GetAddTerms(), Tint().GetAddTerms());
    EXPECT_TRUE(back.GetCondActions().empty());
}

TEST(DefineButton, RecordsCarryNoColourTransform) {
    FlashMatrix moved;
    moved.SetTranslate(40, -20);
    FlashButtonRecord up(5, 1, FlashButtonRecord::kUp | FlashButtonRecord::kOver, moved, Tint());
    FlashActionGetURL url("a", "");
    FlashTagDefineButton tag;
    tag.AddRecord(&up);
    tag.AddAction(&url);
    const auto bytes = Written(tag);
    FlashOutputStream matrixBytes;
    matrixBytes << moved;
    EXPECT_EQ(bytes.Size(), BodyOffset(bytes) + 2 + 5 + matrixBytes.Size() + 1 + 6 + 1);

    FlashTagDefineButton back;
    ReadBack(bytes, 7, back);
    ASSERT_EQ(back.GetRecords().size(), 1u);
    EXPECT_EQ(back.GetRecords()[0]->GetStateFlags(), 3);
    EXPECT_EQ(back.GetRecords()[0]->GetMatrix().GetTranslateX(), 40);
    EXPECT_FALSE(back.GetRecords()[0]->GetColorTransform().HasAdd());
    ASSERT_EQ(back.GetActions().size(), 1u);
    EXPECT_EQ(static_cast<FlashActionGetURL*>(back.GetActions()[0])->GetURL(), "a");
}

TEST(DefineBitsPtr, IsAlwaysTheShortHeaderAndFourBytes) {
    FlashTagDefineBitsPtr tag(0x01020304);
    const auto bytes = Written(tag);
    EXPECT_EQ(bytes.Bytes(), (std::vector<uint8_t>{0xC4, 0xFF, 4, 3, 2, 1}));
    FlashTagDefineBitsPtr back;
    ReadBack(bytes, 1023, back);
    EXPECT_EQ(back.GetPtr(), 0x01020304u);
}

TEST(ButtonTags, TruncatedBodiesFailInsideTheirLength) {
    FlashButtonRecord record(1, 1, 1, FlashMatrix(), Tint());
    FlashActionPlay play;
    FlashTagDefineButton2 tag;
    tag.AddRecord(&record);
    tag.AddCondAction({&play}, 4);
    const auto bytes = Written(tag);
    const std::size_t bodyStart = BodyOffset(bytes);
    for (std::size_t cut = 0; cut + bodyStart < bytes.Size(); ++cut) {
        FlashInputStream body(bytes.Data() + bodyStart, cut);
        FlashTagDefineButton2 back;
        back.SetTagLength(uint32_t(cut));
        back.Read(body);
        EXPECT_TRUE(body.Failed() || back.GetCondActions().empty()) << cut;
        EXPECT_LE(body.Tell(), cut);
    }
}

}  // namespace
