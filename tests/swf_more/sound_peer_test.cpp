// FFmpeg decodes the sound of our movies to the same samples as the MP3 itself.
#include <gtest/gtest.h>

#include "swf/sound.h"
#include "tests/swf_more/support.h"

namespace {

std::string DecodePcm(const std::string& input, const std::string& map) {
    std::string pcm;
    const int rc = swftest::RunCommand("ffmpeg -nostdin -v error -i '" + input + "' " + map + " -f s16le -acodec pcm_s16le -", &pcm);
    return rc == 0 ? pcm : std::string("ffmpeg failed");
}

void WriteMovie(const std::string& path, FlashOutputStream& tags, uint16_t frames) {
    FlashTagHeader(0, 0).Write(tags);
    FlashOutputStream file;
    FlashHeader(5, uint32_t(tags.Size()), 2000, 2000, 12.0, frames).Write(file);
    file.WriteBytes(tags);
    swftest::WriteFile(path, file.Bytes());
}

TEST(SoundPeer, FfmpegDecodesStreamAndEventSoundLikeTheMp3) {
    swftest::ScratchDir dir;
    for (int rate : {44100, 22050, 11025, 48000, 24000}) {
        SCOPED_TRACE(rate);
        const std::string mp3 = swftest::MakeMp3(dir, rate, 0.5, 2, 64);
        ASSERT_FALSE(mp3.empty());
        const std::string reference = DecodePcm(mp3, "");
        ASSERT_GT(reference.size(), 1000u);

        FlashMp3Sound stream(mp3, 12);
        FlashOutputStream tags;
        stream.WriteStreamHead(tags);
        uint16_t frames = 0;
        while (!stream.IsFinished()) {
            stream.WriteNextBlock(tags);
            FlashTagHeader(1, 0).Write(tags);
            ++frames;
        }
        const std::string streamed = dir.File("stream.swf");
        WriteMovie(streamed, tags, frames);
        EXPECT_TRUE(DecodePcm(streamed, "-map 0:a:0") == reference) << "stream sound differs";

        FlashMp3Sound clip(mp3, 12);
        FlashOutputStream eventTags;
        const uint16_t id = clip.WriteDefineSound(eventTags);
        FlashTagStartSound(id, FlashSoundInfo(0x10)).Write(eventTags);
        FlashTagHeader(1, 0).Write(eventTags);
        const std::string event = dir.File("event.swf");
        WriteMovie(event, eventTags, 1);
        EXPECT_TRUE(DecodePcm(event, "-map 0:a:0") == reference) << "event sound differs";
    }
}

}  // namespace
