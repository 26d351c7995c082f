// Where the movie format runs out of room: 16-bit frame counts and character ids,
// 16-bit action lengths, sample rates SWF cannot declare, pen positions past the
// move fields. Past each limit an export fails instead of writing a wrong movie.
#include "swf/api/reeltide.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "swf/tag.h"
#include "tests/swf_more/support.h"

namespace {

std::vector<uint8_t> Written(const swftest::ScratchDir& dir, int result = 1) {
    const std::string path = dir.File("movie.swf");
    std::filesystem::remove(path);
    EXPECT_EQ(writeMovie(path.c_str(), 10, 10, 12, 0), result);
    return std::filesystem::exists(path) ? swftest::ReadFile(path) : std::vector<uint8_t>{};
}

TEST(MovieLimits, FrameCountStopsAt65535) {
    swftest::ScratchDir dir;
    const struct {
        int frames;
        int result;
    } cases[] = {{65534, 1}, {65535, 0}, {70000, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.frames);
        createMovie(12);
        for (int i = 0; i < c.frames; ++i) showFrame();
        const std::vector<uint8_t> file = Written(dir, c.result);
        if (c.result == 0) {
            EXPECT_TRUE(file.empty());
            continue;
        }
        FlashInputStream in(file);
        FlashHeader header;
        header.Read(in);
        EXPECT_EQ(header.GetFrameCount(), 65535);
    }
    // The state is fresh again: a short movie writes.
    createMovie(12);
    showFrame();
    EXPECT_FALSE(Written(dir).empty());
}

TEST(MovieLimits, CharacterIdsRunOutAfter65536) {
    swftest::ScratchDir dir;
    const std::string jpeg = dir.File("any.jpg");
    swftest::WriteFile(jpeg, {0xFF, 0xD8, 0xFF, 0xD9});
    const int square[] = {0, 0, 4, 4, 6, 255, 0, 0, 255, 3, 1, 0, 0, 0, 1, 0, 4};
    createMovie(12);
    for (int i = 0; i < 65535; ++i) ASSERT_EQ(makeBlankShape(), i);
    EXPECT_EQ(makeJpeg(jpeg.c_str(), 0, 0, 0, nullptr), 65535);
    const std::size_t before = Written(dir).size();
    // The same again, then every character-defining export past the last id.
    createMovie(12);
    for (int i = 0; i < 65536; ++i) makeBlankShape();
    EXPECT_EQ(makeBlankShape(), 0);
    EXPECT_EQ(makeShape("", 0, int(std::size(square)), square), 0);
    EXPECT_EQ(makeJpeg(jpeg.c_str(), 0, 0, 0, nullptr), 0);
    EXPECT_EQ(makeButton(1, 1, 1, 1, 2, 0, nullptr, nullptr), 0);
    EXPECT_EQ(makeSoundClip(dir.File("missing.mp3").c_str()), 0);
    const std::size_t after = Written(dir).size();
    // 65536 blank shapes against 65535 and a JPEG: nothing of the refused calls was written.
    EXPECT_LT(after, before + 40);
    // A new movie starts again from id 0.
    createMovie(12);
    EXPECT_EQ(makeBlankShape(), 0);
    EXPECT_EQ(makeBlankShape(), 1);
    Written(dir);
}

TEST(MovieLimits, SoundsAtRatesSwfCannotDeclareAreRefused) {
    swftest::ScratchDir dir;
    const struct {
        int rate;
        bool declarable;
    } cases[] = {{8000, false}, {11025, true}, {12000, false}, {16000, false}, {22050, true},
                 {24000, false}, {32000, false}, {44100, true}, {48000, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rate);
        const std::string mp3 = swftest::MakeMp3(dir, c.rate, 0.2, 1, 32);
        ASSERT_FALSE(mp3.empty());
        createMovie(12);
        EXPECT_EQ(makeSound(mp3.c_str()), c.declarable ? 0 : -1);
        const int clip = makeSoundClip(mp3.c_str());
        playSoundTrack();
        showFrame();
        const std::vector<uint8_t> file = Written(dir);
        int heads = 0, sounds = 0;
        FlashInputStream in(file);
        FlashHeader header;
        header.Read(in);
        while (!in.AtEnd() && !in.Failed()) {
            FlashTagHeader h;
            h.Read(in);
            heads += h.GetTagID() == 45;
            sounds += h.GetTagID() == 14;
            in.Skip(h.GetTagLength());
        }
        EXPECT_EQ(heads, c.declarable ? 1 : 0);
        EXPECT_EQ(sounds, c.declarable ? 1 : 0);
        EXPECT_EQ(clip, 0);  // the first character either way
    }
}

TEST(MovieLimits, UrlsPastAnActionsLengthWriteNothing) {
    swftest::ScratchDir dir;
    const std::string fits(65533 - 1, 'u'), tooLong(65534, 'u');
    createMovie(12);
    setEndURL(fits.c_str(), "_");
    const std::size_t withAction = Written(dir).size();
    createMovie(12);
    setEndURL(tooLong.c_str(), "");
    EXPECT_EQ(makeButton(1, 1, 1, 1, 0, 0, tooLong.c_str(), ""), 0);
    const std::size_t without = Written(dir).size();
    EXPECT_GT(withAction, 65533u);
    EXPECT_LT(without, 100u);
}

}  // namespace
