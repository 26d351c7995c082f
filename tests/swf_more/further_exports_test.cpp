// The further exports of libReeltide.so, driven through its C interface.
#include "swf/api/reeltide.h"

#include <gtest/gtest.h>

#include <sstream>

#include "swf/movie_reader.h"
#include "swf/text_dump.h"
#include "tests/swf_more/support.h"

namespace {

struct Tag {
    uint16_t code;
    std::vector<uint8_t> body;
};

std::vector<Tag> Tags(const std::vector<uint8_t>& file) {
    FlashInputStream in(file);
    FlashHeader header;
    header.Read(in);
    std::vector<Tag> tags;
    while (!in.AtEnd() && !in.Failed()) {
        FlashTagHeader h;
        h.Read(in);
        Tag t{h.GetTagID(), {}};
        in.ReadBytes(t.body, h.GetTagLength());
        tags.push_back(std::move(t));
    }
    return tags;
}

// Builds a movie through the exports, writes it and returns its tags.
template <typename Build>
std::vector<Tag> MovieTags(const swftest::ScratchDir& dir, Build build, std::vector<uint8_t>* file = nullptr) {
    createMovie(12);
    build();
    const std::string path = dir.File("movie.swf");
    EXPECT_EQ(writeMovie(path.c_str(), 100, 100, 12, 0), 1);
    auto bytes = swftest::ReadFile(path);
    if (file) *file = bytes;
    return Tags(bytes);
}

std::vector<uint16_t> Codes(const std::vector<Tag>& tags) {
    std::vector<uint16_t> codes;
    for (const auto& t : tags) codes.push_back(t.code);
    return codes;
}

template <typename T>
void ReadBody(const Tag& tag, T& object) {
    FlashInputStream in(tag.body);
    object.SetTagLength(uint32_t(tag.body.size()));
    object.Read(in);
    ASSERT_FALSE(in.Failed());
    ASSERT_TRUE(in.AtEnd());
}

TEST(FurtherExports, ButtonsCarryFourStatesAndTheChosenAction) {
    swftest::ScratchDir dir;
    struct Case {
        int kind;
        std::vector<uint8_t> codes;
    };
    const Case cases[] = {{0, {0x83}}, {1, {0x81, 0x06}}, {2, {0x07}}, {3, {0x06}}, {4, {0x04}},
                          {5, {0x05}}, {6, {0x09}}, {7, {0x08}}, {8, {}}, {-1, {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        int id = -1;
        const auto tags = MovieTags(dir, [&] { id = makeButton(3, 1, 2, 4, c.kind, 0x10005, "http://x/", "_top"); });
        ASSERT_EQ(Codes(tags), (std::vector<uint16_t>{34, 0}));
        EXPECT_EQ(id, 0);
        FlashTagDefineButton2 button;
        ReadBody(tags[0], button);
        ASSERT_EQ(button.GetRecords().size(), 4u);
        const std::pair<int, int> records[] = {{3, 2}, {1, 1}, {2, 4}, {4, 8}};
        for (std::size_t i = 0; i < 4; ++i) {
            const FlashButtonRecord& r = *button.GetRecords()[i];
            EXPECT_EQ(r.GetCharacterId(), records[i].first);
            EXPECT_EQ(r.GetDepth(), records[i].first);
            EXPECT_EQ(r.GetStateFlags(), records[i].second);
            EXPECT_TRUE(r.GetMatrix().HasScale());
            EXPECT_EQ(r.GetMatrix().GetScaleX(), FlashFixed(1, 0));
            EXPECT_FALSE(r.GetColorTransform().HasAdd() || r.GetColorTransform().HasMult());
        }
        if (c.codes.empty()) {
            EXPECT_TRUE(button.GetCondActions().empty());
            continue;
        }
        ASSERT_EQ(button.GetCondActions().size(), 1u);
        EXPECT_EQ(button.GetCondActions()[0].GetCondition(), 4);
        const auto& actions = button.GetCondActions()[0].GetActions();
        ASSERT_EQ(actions.size(), c.codes.size());
        for (std::size_t i = 0; i < actions.size(); ++i) EXPECT_EQ(actions[i]->GetActionCode(), c.codes[i]);
        if (c.kind == 1) {
            EXPECT_EQ(static_cast<FlashActionGotoFrame*>(actions[0])->GetFrame(), 5);
        }
        if (c.kind == 0) {
            EXPECT_EQ(static_cast<FlashActionGetURL*>(actions[0])->GetURL(), "http://x/");
            EXPECT_EQ(static_cast<FlashActionGetURL*>(actions[0])->GetTarget(), "_top");
        }
    }
}

TEST(FurtherExports, WaitEndUrlAndStartFrameActions) {
    swftest::ScratchDir dir;
    const auto tags = MovieTags(dir, [] {
        setMovieWaitFrame(0x1FF);
        setEndURL("u", nullptr);
        showFrame();
    });
    ASSERT_EQ(Codes(tags), (std::vector<uint16_t>{12, 12, 1, 0}));
    EXPECT_EQ(tags[0].body, (std::vector<uint8_t>{0x8D, 1, 0, 0xFF, 0}));
    EXPECT_EQ(tags[1].body, (std::vector<uint8_t>{0x83, 3, 0, 'u', 0, 0, 0}));

    createMovie(10);
    setMovieStartFrame(7);
    showFrame();
    const std::string path = dir.File("start.swf");
    ASSERT_EQ(writeMovie(path.c_str(), 10, 10, 10, 1), 1);
    const auto start = Tags(swftest::ReadFile(path));
    ASSERT_EQ(Codes(start), (std::vector<uint16_t>{1, 12, 0}));
    EXPECT_EQ(start[1].body, (std::vector<uint8_t>{0x81, 2, 0, 7, 0, 0x06, 0}));
}

TEST(FurtherExports, SoundsStreamOnlyOncePlayed) {
    swftest::ScratchDir dir;
    const std::string mp3 = swftest::MakeMp3(dir, 22050, 0.5, 1, 32);
    // playSoundTrack without a track: only frames.
    auto tags = MovieTags(dir, [] {
        playSoundTrack();
        showFrame();
        showFrame();
    });
    EXPECT_EQ(Codes(tags), (std::vector<uint16_t>{1, 1, 0}));

    int clip = -1;
    tags = MovieTags(dir, [&] {
        EXPECT_EQ(makeSound(mp3.c_str()), 0);
        showFrame();  // not yet played
        playSoundTrack();
        for (int i = 0; i < 5; ++i) showFrame();
        clip = makeSoundClip(mp3.c_str());
        playSound(clip | 0x70000);
    });
    EXPECT_EQ(clip, 0);
    std::vector<uint16_t> expected = {45, 1};
    for (int i = 0; i < 5; ++i) expected.insert(expected.end(), {19, 1});
    expected.insert(expected.end(), {14, 15, 0});
    EXPECT_EQ(Codes(tags), expected);
    FlashTagSoundStreamHead2 head;
    ReadBody(tags[0], head);
    EXPECT_EQ(head.GetSampleCount(), 22050 / 12);
    EXPECT_EQ(head.GetStreamRate(), 2);
    EXPECT_EQ(tags.back().code, 0);
    EXPECT_EQ(tags[tags.size() - 2].body, (std::vector<uint8_t>{0, 0, 0x10}));

    // A second movie starts without a track.
    tags = MovieTags(dir, [] {
        playSoundTrack();
        showFrame();
    });
    EXPECT_EQ(Codes(tags), (std::vector<uint16_t>{1, 0}));
}

std::string DecodePcm(const std::string& input, const std::string& map) {
    std::string pcm;
    const int rc = swftest::RunCommand(
        "ffmpeg -nostdin -v error -i '" + input + "' " + map + " -f s16le -acodec pcm_s16le -", &pcm);
    return rc == 0 ? pcm : std::string("ffmpeg failed");
}

TEST(FurtherExports, FfmpegHearsTheMp3InTheMovie) {
    swftest::ScratchDir dir;
    // The rates an SWF movie can declare for MP3; the others are refused.
    for (int rate : {44100, 22050, 11025}) {
        SCOPED_TRACE(rate);
        const std::string mp3 = swftest::MakeMp3(dir, rate, 0.6, 2, 32);
        const std::string reference = DecodePcm(mp3, "");
        ASSERT_GT(reference.size(), 1000u);

        createMovie(10);
        makeSound(mp3.c_str());
        playSoundTrack();
        for (int i = 0; i < 12; ++i) showFrame();
        const std::string streamed = dir.File("stream.swf");
        ASSERT_EQ(writeMovie(streamed.c_str(), 100, 100, 10, 0), 1);
        EXPECT_TRUE(DecodePcm(streamed, "-map 0:a:0") == reference);

        createMovie(10);
        playSound(makeSoundClip(mp3.c_str()));
        showFrame();
        const std::string event = dir.File("event.swf");
        ASSERT_EQ(writeMovie(event.c_str(), 100, 100, 10, 0), 1);
        EXPECT_TRUE(DecodePcm(event, "-map 0:a:0") == reference);
    }
}

TEST(FurtherExports, YaswfpParsesAMovieOfEveryExport) {
    swftest::ScratchDir dir;
    const std::string mp3 = swftest::MakeMp3(dir, 44100, 0.3, 2, 64);
    std::vector<uint8_t> file;
    MovieTags(
        dir,
        [&] {
            setBkColor(255, 255, 255);
            const int cmds[] = {0, 0, 50, 50, 6, 255, 0, 0, 255, 3, 1, 0, 0, 0, 10, 0, 0, 0};
            const int shape = makeShape("Arial", 'R', 18, cmds);
            const int blank = makeBlankShape();
            makeButton(shape, blank, shape, shape, 1, 1, "", "");
            makeButton(shape, blank, shape, shape, 0, 0, "http://example.org/", "_blank");
            makeSound(mp3.c_str());
            playSound(makeSoundClip(mp3.c_str()));
            setMovieWaitFrame(1);
            placeObject(1, shape);
            playSoundTrack();
            for (int i = 0; i < 4; ++i) showFrame();
            setEndURL("http://example.org/", "");
        },
        &file);
    const std::string path = dir.File("exports.swf");
    swftest::WriteFile(path, file);
    std::string listing;
    ASSERT_EQ(swftest::RunCommand("/usr/bin/python3 - '" + path + "' <<'PYEOF'\n"
                                  "import sys\nfrom yaswfp import swfparser\n"
                                  "for t in swfparser.parsefile(sys.argv[1]).tags: print(t.name, type(t).__name__)\n"
                                  "PYEOF\n",
                                  &listing),
              0);
    EXPECT_EQ(listing.find("FailingObject"), std::string::npos) << listing;
    EXPECT_NE(listing.find("DefineButton2 DefineButton2"), std::string::npos) << listing;
    EXPECT_NE(listing.find("DoAction DoAction"), std::string::npos) << listing;
    EXPECT_NE(listing.find("SoundStreamBlock"), std::string::npos) << listing;

    // Our own reader takes every tag back without a size message.
    std::ostringstream text;
    testing::internal::CaptureStdout();
    const int read = DumpMovie(file.data(), file.size(), text);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(std::size_t(read), Tags(file).size());
    EXPECT_NE(text.str().find("<FlashTagDoAction>\nNum Actions: 1\n"), std::string::npos);
}

}  // namespace
