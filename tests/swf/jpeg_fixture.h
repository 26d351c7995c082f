// Small JPEG files encoded in code with libjpeg, for movies built in the tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <jpeglib.h>

// A width x height JPEG of a colour gradient seeded by seed.
inline std::vector<uint8_t> EncodeJpeg(int width, int height, int seed, int quality = 90)
{
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = JDIMENSION(width);
    c.image_height = JDIMENSION(height);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row(size_t(width) * 3);
    while (c.next_scanline < c.image_height) {
        for (int x = 0; x < width; ++x) {
            row[size_t(x) * 3] = uint8_t(x * 255 / (width > 1 ? width - 1 : 1));
            row[size_t(x) * 3 + 1] = uint8_t(c.next_scanline * 255 / unsigned(height));
            row[size_t(x) * 3 + 2] = uint8_t(seed * 53);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&c);
    free(buffer);
    return out;
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
