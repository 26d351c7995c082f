// Small helpers shared by the SWF tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "swf/stream.h"

inline std::vector<uint8_t> Bytes(const FlashOutputStream& out)
{
    return out.Bytes();
}

inline std::string Hex(const std::vector<uint8_t>& b)
{
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (size_t i = 0; i < b.size(); ++i) {
        if (i) s += ' ';
        s += digits[b[i] >> 4];
        s += digits[b[i] & 15];
    }
    return s;
}

inline std::string Hex(const FlashOutputStream& out)
{
    return Hex(out.Bytes());
}

#include <gtest/gtest.h>

#include "swf/tag.h"

// Reads back one written tag: its record header must carry the code, and the tag's Read
// must consume exactly the body's length.
template <typename Tag>
void ReadBack(const FlashOutputStream& written, uint16_t code, Tag& tag)
{
    FlashInputStream in(written.Bytes());
    FlashTagHeader header;
    in >> header;
    ASSERT_EQ(header.GetTagID(), code);
    ASSERT_EQ(header.GetTagLength() + size_t(header.WrittenSize()), written.Size());
    FlashInputStream body = in.Sub(header.GetTagLength());
    tag.SetTagLength(header.GetTagLength());
    tag.Read(body);
    EXPECT_FALSE(body.Failed());
    EXPECT_TRUE(body.AtEnd()) << "read " << body.Tell() << " of " << header.GetTagLength();
}

// The body of one written tag.
inline std::vector<uint8_t> Body(const FlashOutputStream& written)
{
    FlashInputStream in(written.Bytes());
    FlashTagHeader header;
    in >> header;
    std::vector<uint8_t> body;
    in.ReadBytes(body, header.GetTagLength());
    return body;
}
