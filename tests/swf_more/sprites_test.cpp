#include "swf/sprites.h"

#include <gtest/gtest.h>

#include "swf/control_tags.h"
#include "tests/swf_more/tag_io.h"

namespace {

using swftest::BodyOffset;
using swftest::ReadBack;
using swftest::Written;

TEST(DefineSprite, CountsFramesAndEndsItsTimeline) {
    FlashTagDefineSprite empty;
    auto bytes = Written(empty);
    const std::vector<uint8_t> emptyBody = {uint8_t(empty.GetId()), uint8_t(empty.GetId() >> 8), 0, 0, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(bytes.Data() + 2, bytes.Data() + bytes.Size()), emptyBody);
    EXPECT_EQ(bytes.Data()[0], (39 << 6 | 6) & 0xFF);

    FlashTagPlaceObject2 place(1, 7);
    FlashTagShowFrame show;
    FlashTagRemoveObject2 remove(1);
    FlashTagDefineSprite sprite;
    for (FlashControlTag* t : std::initializer_list<FlashControlTag*>{&place, &show, &remove, &show}) sprite.AddTag(t);
    EXPECT_EQ(sprite.GetFrameCount(), 2);
    bytes = Written(sprite);
    const uint8_t* body = bytes.Data() + BodyOffset(bytes);
    EXPECT_EQ(body[2] | body[3] << 8, 2);
    FlashOutputStream timeline;
    for (FlashControlTag* t : sprite.GetTags()) t->Write(timeline);
    EXPECT_EQ(bytes.Size(), BodyOffset(bytes) + 4 + timeline.Size() + 2);
    EXPECT_TRUE(std::equal(timeline.Data(), timeline.Data() + timeline.Size(), body + 4));
}

TEST(DefineMovie, RoundTripsItsName) {
    FlashTagDefineMovie tag("clip.swf");
    const auto bytes = Written(tag);
    EXPECT_EQ(bytes.Size(), 2u + 2 + 8 + 1);
    FlashTagDefineMovie back;
    ReadBack(bytes, 38, back);
    EXPECT_EQ(back.GetName(), "clip.swf");
    EXPECT_EQ(back.GetId(), tag.GetId());
}

}  // namespace
