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
