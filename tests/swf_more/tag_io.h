// Writes a tag and reads it back the way the movie parser does.
#pragma once

#include <gtest/gtest.h>

#include "swf/tag.h"

namespace swftest {

inline FlashOutputStream Written(FlashTag& tag) {
    FlashOutputStream out;
    tag.Write(out);
    return out;
}

// Reads the record header of bytes, checks its code and that its length covers the
// rest exactly, then lets the tag read its body from a stream of that body alone.
template <typename Tag>
void ReadBack(const FlashOutputStream& bytes, uint16_t code, Tag& tag) {
    FlashInputStream in(bytes.Data(), bytes.Size());
    FlashTagHeader header;
    header.Read(in);
    ASSERT_EQ(header.GetTagID(), code);
    ASSERT_EQ(header.GetTagLength(), in.Remaining());
    FlashInputStream body = in.Sub(header.GetTagLength());
    tag.SetTagLength(header.GetTagLength());
    tag.Read(body);
    EXPECT_FALSE(body.Failed());
    EXPECT_TRUE(body.AtEnd());
}

// Offset of the body within bytes written by a tag.
inline std::size_t BodyOffset(const FlashOutputStream& bytes) {
    return (bytes.Data()[0] & 0x3F) == 0x3F ? 6 : 2;
}

}  // namespace swftest
