#include "swf/sound.h"

#include <gtest/gtest.h>

#include "tests/swf_more/support.h"

namespace {

struct StreamedBlock {
    uint16_t sampleCount;
    int16_t seek;
    std::size_t dataLength;
};

std::vector<StreamedBlock> StreamAll(FlashMp3Sound& sound, FlashOutputStream& out) {
    std::vector<StreamedBlock> blocks;
    while (!sound.IsFinished()) {
        FlashOutputStream one;
        sound.WriteNextBlock(one);
        FlashInputStream in(one.Data(), one.Size());
        FlashTagHeader header;
        header.Read(in);
        EXPECT_EQ(header.GetTagID(), 19);
        FlashTagSoundStreamBlock block;
        block.SetTagLength(header.GetTagLength());
        block.Read(in);
        EXPECT_FALSE(in.Failed());
        EXPECT_TRUE(in.AtEnd());
        blocks.push_back({block.GetSampleCount(), block.GetSeekSamples(), block.GetDataLength()});
        out.WriteBytes(one);
        if (blocks.size() > 10000) break;
    }
    return blocks;
}

TEST(FlashMp3Sound, StreamsFramesOfEachRateInStepWithTheMovie) {
    swftest::ScratchDir dir;
    for (int rate : {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000}) {
        const std::string mp3 = swftest::MakeMp3(dir, rate, 1.0, 2, 48);
        ASSERT_FALSE(mp3.empty());
        for (int fps : {1, 12, 25, 30}) {
            SCOPED_TRACE(std::to_string(rate) + " Hz at " + std::to_string(fps) + " fps");
            FlashMp3Sound sound(mp3, fps);
            ASSERT_GT(sound.GetFrameCount(), 0u);
            const long long spf = sound.GetSamplesPerFrame();
            EXPECT_EQ(spf, rate > 24000 ? 1152 : 576);
            EXPECT_EQ(sound.AverageSamplesPerMovieFrame(), rate / fps);
            FlashOutputStream out;
            const auto blocks = StreamAll(sound, out);
            // Audio streamed never falls behind movie time, nor runs a whole MP3
            // frame ahead of it, until the sound runs out.
            long long streamed = 0;
            std::size_t frames = 0;
            for (std::size_t b = 0; b < blocks.size(); ++b) {
                EXPECT_EQ(blocks[b].seek, b == 0 ? 0 : (streamed * fps - static_cast<long long>(b) * rate) / fps);
                streamed += blocks[b].sampleCount;
                frames += static_cast<std::size_t>(blocks[b].sampleCount / spf);
                const long long ahead = streamed * fps - static_cast<long long>(b + 1) * rate;
                if (frames < sound.GetFrameCount()) {
                    EXPECT_GT(ahead, 0) << "block " << b;
                    EXPECT_LE(ahead, spf * fps) << "block " << b;
                }
            }
            EXPECT_EQ(frames, sound.GetFrameCount());
        }
    }
}

TEST(FlashMp3Sound, KeepsExactTimeAt44100HzAndTwelveFramesPerSecond) {
    swftest::ScratchDir dir;
    const std::string mp3 = swftest::MakeMp3(dir, 44100, 1.0, 2, 128);
    FlashMp3Sound sound(mp3, 12);
    EXPECT_EQ(sound.AverageSamplesPerMovieFrame(), 3675);
    FlashOutputStream head;
    sound.WriteStreamHead(head);
    // Record header (45, 6); playback 44 kHz, 16-bit, stereo; MP3, 44 kHz, 16-bit,
    // stereo; 3675 samples a frame; the MP3 head's latency seek, 0.
    const std::vector<uint8_t> expectedHead = {0x46, 0x0B, 0x0F, 0x2F, 0x5B, 0x0E, 0x00, 0x00};
    EXPECT_EQ(head.Bytes(), expectedHead);

    FlashOutputStream out;
    const auto blocks = StreamAll(sound, out);
    ASSERT_GE(blocks.size(), 3u);
    EXPECT_EQ(blocks[0].sampleCount, 4 * 1152);
    EXPECT_EQ(blocks[0].seek, 0);
    EXPECT_EQ(blocks[1].sampleCount, 3 * 1152);
    EXPECT_EQ(blocks[1].seek, 4 * 1152 - 3675);
    EXPECT_EQ(blocks[2].seek, 7 * 1152 - 2 * 3675);
}

TEST(FlashMp3Sound, DefinesOneEventSoundOfAllFrames) {
    struct Case {
        int rate, channels;
        uint8_t format;
    };
    // Only these rates can be declared; the exports refuse the others.
    const Case cases[] = {{44100, 2, 0x2F}, {22050, 1, 0x2A}, {11025, 2, 0x27}};
    swftest::ScratchDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rate);
        const std::string mp3 = swftest::MakeMp3(dir, c.rate, 0.3, c.channels, 32);
        const auto fileBytes = swftest::ReadFile(mp3);
        FlashMp3Sound sound(mp3, 10);
        EXPECT_TRUE(sound.HasDeclarableRate());
        FlashOutputStream out;
        const uint16_t id = sound.WriteDefineSound(out);

        FlashInputStream in(out.Data(), out.Size());
        FlashTagHeader header;
        header.Read(in);
        ASSERT_EQ(header.GetTagID(), 14);
        FlashTagDefineSound tag;
        tag.SetTagLength(header.GetTagLength());
        tag.Read(in);
        EXPECT_TRUE(in.AtEnd());
        EXPECT_EQ(tag.GetId(), id);
        EXPECT_EQ(tag.GetFormat(), c.format);
        EXPECT_EQ(tag.GetSampleCount(), sound.GetFrameCount() * std::size_t(sound.GetSamplesPerFrame()));
        EXPECT_EQ(tag.GetSeekSamples(), 0);
        // The fixture is bare frames, so the data is the whole file.
        ASSERT_EQ(tag.GetDataLength(), fileBytes.size());
        EXPECT_TRUE(std::equal(fileBytes.begin(), fileBytes.end(), tag.GetData()));
    }
}

TEST(FlashMp3Sound, AFileWithoutFramesGivesAnEmptySound) {
    swftest::ScratchDir dir;
    swftest::WriteFile(dir.File("noise.mp3"), {0xFF, 0xFB, 0x90, 0x44, 1, 2, 3});
    for (const std::string& name : {dir.File("missing.mp3"), dir.File("noise.mp3")}) {
        FlashMp3Sound sound(name, 12);
        EXPECT_EQ(sound.GetFrameCount(), 0u);
        EXPECT_EQ(sound.GetSampleRate(), 0);
        FlashOutputStream block;
        sound.WriteNextBlock(block);
        EXPECT_EQ(block.Bytes(), (std::vector<uint8_t>{0xC4, 0x04, 0, 0, 0, 0}));
        EXPECT_TRUE(sound.IsFinished());
        FlashOutputStream more;
        sound.WriteNextBlock(more);
        EXPECT_EQ(more.Size(), 0u);
        FlashOutputStream define;
        sound.WriteDefineSound(define);
        EXPECT_EQ(define.Size(), 2u + 9u);
        EXPECT_EQ(define.Data()[4], 0x22);
    }
    int size = -1, samples = -1;
    ProbeFirstFrame(dir.File("noise.mp3"), size, samples);
    EXPECT_EQ(size, 417);
    EXPECT_EQ(samples, 1152);
    ProbeFirstFrame(dir.File("missing.mp3"), size, samples);
    EXPECT_EQ(size, 0);
}

template <typename Tag>
Tag RoundTrip(Tag& tag, uint16_t code) {
    FlashOutputStream out;
    tag.Write(out);
    FlashInputStream in(out.Data(), out.Size());
    FlashTagHeader header;
    header.Read(in);
    EXPECT_EQ(header.GetTagID(), code);
    EXPECT_EQ(header.GetTagLength(), in.Remaining());
    Tag back;
    back.SetTagLength(header.GetTagLength());
    back.Read(in);
    EXPECT_FALSE(in.Failed());
    EXPECT_TRUE(in.AtEnd());
    return back;
}

TEST(SoundTags, RoundTripEveryField) {
    FlashSoundInfo info(0x3F);  // only the behaviour bits survive
    EXPECT_EQ(info.GetFlags(), 0x30);
    info.SetInPoint(100);
    info.SetOutPoint(70000);
    info.SetLoopCount(3);
    info.AddEnvelopePoint({0, 32768, 0});
    info.AddEnvelopePoint({44100, 0, 32768});
    FlashTagStartSound start(7, info);
    FlashOutputStream startBytes;
    start.Write(startBytes);
    EXPECT_EQ(startBytes.Size(), 2u + 2 + 1 + 4 + 4 + 2 + 1 + 2 * 8);
    auto startBack = RoundTrip(start, 15);
    EXPECT_EQ(startBack.GetSoundId(), 7);
    EXPECT_EQ(startBack.GetSoundInfo().GetFlags(), 0x3F);
    EXPECT_EQ(startBack.GetSoundInfo().GetOutPoint(), 70000u);
    EXPECT_EQ(startBack.GetSoundInfo().GetLoopCount(), 3);
    EXPECT_EQ(startBack.GetSoundInfo().GetEnvelope(), info.GetEnvelope());

    FlashTagStartSound plain(9, FlashSoundInfo(0x10));
    FlashOutputStream plainBytes;
    plain.Write(plainBytes);
    EXPECT_EQ(plainBytes.Bytes(), (std::vector<uint8_t>{0xC3, 0x03, 9, 0, 0x10}));

    FlashTagSoundStreamHead head(1, 0, 1, 2, 2, 1, 0, 1234);
    head.SetLatencySeek(-5);
    auto headBack = RoundTrip(head, 18);
    EXPECT_EQ(headBack.GetLatencySeek(), -5);
    EXPECT_EQ(headBack.GetPlaybackRate(), 1);
    EXPECT_EQ(headBack.GetPlaybackType(), 1);
    EXPECT_EQ(headBack.GetCompression(), 2);
    EXPECT_EQ(headBack.GetStreamRate(), 2);
    EXPECT_EQ(headBack.GetStreamSize(), 1);
    EXPECT_EQ(headBack.GetSampleCount(), 1234);

    const uint8_t data[] = {1, 2, 3, 4, 5};
    FlashTagSoundStreamBlock block(576, -12, data, 5);
    auto blockBack = RoundTrip(block, 19);
    EXPECT_EQ(blockBack.GetSampleCount(), 576);
    EXPECT_EQ(blockBack.GetSeekSamples(), -12);
    EXPECT_EQ(std::vector<uint8_t>(blockBack.GetData(), blockBack.GetData() + blockBack.GetDataLength()),
              std::vector<uint8_t>(data, data + 5));
    FlashTagSoundStreamBlockBase raw(data, 5);
    EXPECT_EQ(RoundTrip(raw, 19).GetDataLength(), 5u);

    FlashTagDefineSoundBase pcm(0x3E, 2, data, 5);
    auto pcmBack = RoundTrip(pcm, 14);
    EXPECT_EQ(pcmBack.GetFormat(), 0x3E);
    EXPECT_EQ(pcmBack.GetDataLength(), 5u);
}

TEST(SoundTags, Mp3StreamHeadsOfOldWritersAndUndeclarableRates) {
    swftest::ScratchDir dir;
    // A head written without the latency seek still reads.
    const std::vector<uint8_t> old = {0x0F, 0x2F, 0x5B, 0x0E};
    FlashInputStream in(old);
    FlashTagSoundStreamHead2 head;
    head.SetTagLength(4);
    head.Read(in);
    EXPECT_FALSE(in.Failed());
    EXPECT_EQ(head.GetSampleCount(), 3675);
    for (int rate : {8000, 12000, 16000, 24000, 32000, 48000})
        EXPECT_FALSE(FlashMp3Sound(swftest::MakeMp3(dir, rate, 0.1, 1, 32), 12).HasDeclarableRate()) << rate;
}

TEST(SoundTags, ShortBodiesFailWithoutReadingOn) {
    const std::vector<uint8_t> body = {1, 0, 0x2F, 0, 0};
    FlashInputStream in(body);
    FlashTagDefineSound tag;
    tag.SetTagLength(5);
    tag.Read(in);
    EXPECT_TRUE(in.Failed());
    EXPECT_EQ(tag.GetDataLength(), 0u);
}

}  // namespace
