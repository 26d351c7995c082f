// A bare reader of written movies for the tests: the file header's fields and the tags as
// (code, body) pairs. Independent of the library's own reader so that it can check it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ParsedTag {
    uint16_t code;
    std::vector<uint8_t> body;
};

struct ParsedMovie {
    bool ok = false;
    std::string signature;
    int version = 0;
    uint32_t fileLength = 0;
    int rectBits = 0;
    int32_t xmin = 0, xmax = 0, ymin = 0, ymax = 0;
    uint16_t rate = 0;  // 8.8
    uint16_t frameCount = 0;
    std::vector<ParsedTag> tags;

    std::vector<uint16_t> Codes() const
    {
        std::vector<uint16_t> c;
        for (const auto& t : tags) c.push_back(t.code);
        return c;
    }
    size_t Count(uint16_t code) const
    {
        size_t n = 0;
        for (const auto& t : tags) n += t.code == code;
        return n;
    }
};

inline int32_t TakeBits(const std::vector<uint8_t>& b, size_t& bit, int n, bool sign)
{
    uint32_t v = 0;
    for (int i = 0; i < n; ++i, ++bit) {
        uint32_t byte = bit / 8 < b.size() ? b[bit / 8] : 0;
        v = v << 1 | ((byte >> (7 - bit % 8)) & 1);
    }
    if (sign && n > 0 && n < 32 && (v >> (n - 1)) & 1) v |= ~0u << n;
    return int32_t(v);
}

inline ParsedMovie ParseMovie(const std::vector<uint8_t>& b)
{
    ParsedMovie m;
    if (b.size() < 9) return m;
    m.signature.assign(b.begin(), b.begin() + 3);
    m.version = b[3];
    m.fileLength = uint32_t(b[4] | b[5] << 8 | b[6] << 16 | uint32_t(b[7]) << 24);
    size_t bit = 64;
    m.rectBits = TakeBits(b, bit, 5, false);
    m.xmin = TakeBits(b, bit, m.rectBits, true);
    m.xmax = TakeBits(b, bit, m.rectBits, true);
    m.ymin = TakeBits(b, bit, m.rectBits, true);
    m.ymax = TakeBits(b, bit, m.rectBits, true);
    size_t p = (bit + 7) / 8;
    if (p + 4 > b.size()) return m;
    m.rate = uint16_t(b[p] | b[p + 1] << 8);
    m.frameCount = uint16_t(b[p + 2] | b[p + 3] << 8);
    p += 4;
    while (p + 2 <= b.size()) {
        uint16_t v = uint16_t(b[p] | b[p + 1] << 8);
        p += 2;
        uint32_t length = v & 0x3F;
        if (length == 0x3F) {
            if (p + 4 > b.size()) return m;
            length = uint32_t(b[p] | b[p + 1] << 8 | b[p + 2] << 16 | uint32_t(b[p + 3]) << 24);
            p += 4;
        }
        if (length > b.size() - p) return m;
        m.tags.push_back({uint16_t(v >> 6), std::vector<uint8_t>(b.begin() + long(p), b.begin() + long(p + length))});
        p += length;
        if ((v >> 6) == 0) {
            m.ok = p == b.size() && m.fileLength == b.size();
            return m;
        }
    }
    return m;
}
