// Small JPEG files encoded in code with the JPEG writer, for movies built in the tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/jpeg/jpeg_writer.h"

// A width x height JPEG of a colour gradient seeded by seed.
inline std::vector<uint8_t> EncodeJpeg(int width, int height, int seed, int quality = 90)
{
    std::vector<uint8_t> pixels(size_t(width) * size_t(height) * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &pixels[(size_t(y) * size_t(width) + size_t(x)) * 3];
            p[0] = uint8_t(x * 255 / (width > 1 ? width - 1 : 1));
            p[1] = uint8_t(y * 255 / height);
            p[2] = uint8_t(seed * 53);
        }
    movinta::platform::JpegOptions options;
    options.Quality = quality;
    return movinta::platform::EncodeJpeg({pixels.data(), width, height, size_t(width) * 3}, options);
}

inline void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

inline std::vector<uint8_t> ReadFileBytes(const std::string& path)
{
    std::vector<uint8_t> bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return bytes;
    int ch;
    while ((ch = std::fgetc(f)) != EOF) bytes.push_back(uint8_t(ch));
    std::fclose(f);
    return bytes;
}

// A private folder for one test's files, removed with everything in it.
class TempFolder {
public:
    TempFolder()
    {
        const char* tmp = std::getenv("TMPDIR");
        std::string base = (tmp && *tmp ? tmp : "/tmp");
        std::string pattern = base + "/reeltide-test-XXXXXX";
        path_ = mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempFolder()
    {
        if (!path_.empty()) std::system(("rm -rf '" + path_ + "'").c_str());
    }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};
