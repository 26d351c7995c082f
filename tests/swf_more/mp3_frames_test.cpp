#include "swf/mp3_frames.h"

#include <gtest/gtest.h>

#include <array>

#include "tests/swf_more/support.h"

namespace {

struct HeaderCase {
    std::array<std::uint8_t, 4> bytes;
    int version, sampleRate, bitRate, length, samples;
    bool stereo;
};

TEST(Mp3FrameHeader, DecodesLengthAndSamplesOfEachVersion) {
    const HeaderCase cases[] = {
        {{0xFF, 0xFB, 0x90, 0x44}, 0, 44100, 128000, 417, 1152, true},
        {{0xFF, 0xFB, 0x92, 0x44}, 0, 44100, 128000, 418, 1152, true},
        {{0xFF, 0xFB, 0x94, 0xC4}, 0, 48000, 128000, 384, 1152, false},
        {{0xFF, 0xFB, 0x98, 0x00}, 0, 32000, 128000, 576, 1152, true},
        {{0xFF, 0xF3, 0x80, 0x00}, 1, 22050, 64000, 208, 576, true},
        {{0xFF, 0xF3, 0x84, 0x00}, 1, 24000, 64000, 192, 576, true},
        {{0xFF, 0xF3, 0x88, 0xC0}, 1, 16000, 64000, 288, 576, false},
        {{0xFF, 0xE3, 0x18, 0x00}, 2, 8000, 8000, 72, 576, true},
        {{0xFF, 0xE3, 0x14, 0x00}, 2, 12000, 8000, 48, 576, true},
        {{0xFF, 0xE3, 0x10, 0x00}, 2, 11025, 8000, 52, 576, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sampleRate);
        auto h = ParseMp3FrameHeader(c.bytes.data());
        ASSERT_TRUE(h);
        EXPECT_EQ(h->versionIndex, c.version);
        EXPECT_EQ(h->layerIndex, 2);
        EXPECT_EQ(h->sampleRate, c.sampleRate);
        EXPECT_EQ(h->bitRate, c.bitRate);
        EXPECT_EQ(h->FrameLength(), c.length);
        EXPECT_EQ(h->SamplesPerFrame(), c.samples);
        EXPECT_EQ(h->stereo, c.stereo);
    }
}

TEST(Mp3FrameHeader, RejectsOtherLayersAndReservedFields) {
    const std::array<std::uint8_t, 4> rejected[] = {
        {0xFE, 0xFB, 0x90, 0x44},  // no sync
        {0xFF, 0xDB, 0x90, 0x44},  // sync too short
        {0xFF, 0xFD, 0x90, 0x44},  // Layer II
        {0xFF, 0xFF, 0x90, 0x44},  // Layer I
        {0xFF, 0xEB, 0x90, 0x44},  // reserved version
        {0xFF, 0xFB, 0x9C, 0x44},  // reserved sample rate
        {0xFF, 0xFB, 0x00, 0x44},  // free bit rate
        {0xFF, 0xFB, 0xF0, 0x44},  // bad bit rate
    };
    for (const auto& b : rejected) EXPECT_FALSE(ParseMp3FrameHeader(b.data())) << int(b[1]) << " " << int(b[2]);
}

std::vector<std::uint8_t> Frame(std::uint8_t b2, int length) {
    std::vector<std::uint8_t> f(static_cast<std::size_t>(length), 0x11);
    f[0] = 0xFF; f[1] = 0xFB; f[2] = b2; f[3] = 0x44;
    return f;
}

TEST(Mp3FrameList, SkipsGarbageAndDropsATruncatedLastFrame) {
    std::vector<std::uint8_t> data = {0x00, 0xFF, 0xFF, 0x12, 0xFF};  // garbage, a false sync included
    for (auto b2 : {0x90, 0x92}) {
        auto f = Frame(static_cast<std::uint8_t>(b2), b2 == 0x90 ? 417 : 418);
        data.insert(data.end(), f.begin(), f.end());
    }
    auto last = Frame(0x90, 417);
    data.insert(data.end(), last.begin(), last.end() - 1);

    const auto list = SplitMp3Frames(data);
    ASSERT_EQ(list.frames.size(), 2u);
    EXPECT_EQ(list.frames[0].offset, 5u);
    EXPECT_EQ(list.frames[0].size, 417u);
    EXPECT_EQ(list.frames[1].offset, 422u);
    EXPECT_EQ(list.frames[1].size, 418u);
    EXPECT_EQ(list.last.sampleRate, 44100);

    for (std::size_t n = 0; n < 4; ++n)
        EXPECT_TRUE(SplitMp3Frames(std::span(data.data(), n)).frames.empty());
}

TEST(Mp3FrameList, CountsTheFramesFfprobeCounts) {
    swftest::ScratchDir dir;
    for (int rate : {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000}) {
        SCOPED_TRACE(rate);
        const std::string mp3 = swftest::MakeMp3(dir, rate, 0.4, 1, 32);
        ASSERT_FALSE(mp3.empty());
        std::string out;
        ASSERT_EQ(swftest::RunCommand("ffprobe -v error -count_packets -select_streams a:0 -show_entries "
                                      "stream=nb_read_packets,sample_rate -of csv=p=0 '" + mp3 + "'", &out), 0);
        const auto bytes = swftest::ReadFile(mp3);
        const auto list = SplitMp3Frames(bytes);
        EXPECT_EQ(std::to_string(rate) + "," + std::to_string(list.frames.size()) + "\n", out);
        EXPECT_EQ(list.last.sampleRate, rate);
        std::size_t covered = 0;
        for (const auto& f : list.frames) covered += f.size;
        EXPECT_EQ(covered, bytes.size());
    }
}

}  // namespace
