// The shared library through its C exports, checked by FFmpeg and yaswfp.
#include <gtest/gtest.h>

#include <set>

#include "swf/api/reeltide.h"
#include "tests/swf/jpeg_fixture.h"
#include "tests/swf/movie_parse.h"
#include "tests/swf/peer_util.h"

namespace {

struct EditorMovie {
    std::vector<std::vector<uint8_t>> jpegs;
    std::string file;
};

// Builds a movie the way the editor exports an animation: one JPEG and one bitmap-filled
// shape per frame, then per frame remove, place and show as often as its delay lasts.
EditorMovie BuildEditorMovie(const TempFolder& folder, int w, int h, int rate, const std::vector<int>& repeats)
{
    EditorMovie movie;
    int n = int(repeats.size());
    std::vector<int> bitmapIds, shapeIds;
    createMovie(rate);
    for (int k = 0; k < n; ++k) {
        movie.jpegs.push_back(EncodeJpeg(24, 16, k, 60 + k * 10));
        std::string name = folder.File("ZQF" + std::to_string(k) + ".jpg");
        WriteFileBytes(name, movie.jpegs.back());
        bitmapIds.push_back(makeJpeg(name.c_str(), w, h, 0, nullptr));
    }
    for (int k = 0; k < n; ++k) {
        int cmds[24] = {0, 0, w, h, 3, 1, 7, bitmapIds[k], 0, 0, 0, 0, 1, 0, w, 1, h, 0, 1, 0, -w, 1, -h, 0};
        shapeIds.push_back(makeShape("", 0, 24, cmds));
    }
    showFrame();
    for (int k = 0; k < n; ++k) {
        for (int r = 0; r < repeats[k]; ++r) {
            if (k >= 1) removeObject(shapeIds[k - 1]);
            placeObject(shapeIds[k], shapeIds[k]);
            showFrame();
        }
    }
    movie.file = folder.File("movie.swf");
    EXPECT_EQ(writeMovie(movie.file.c_str(), w, h, rate, 0), 1);
    return movie;
}

}  // namespace

TEST(ReeltidePeers, FfmpegExtractsTheJpegsUnchanged)
{
    if (!HavePeer("/usr/bin/ffmpeg") || !HavePeer("/usr/bin/ffprobe")) GTEST_SKIP() << "FFmpeg is not installed";
    TempFolder folder;
    EditorMovie movie = BuildEditorMovie(folder, 120, 80, 12, {1, 3, 2, 1});

    CommandResult probe = RunCommand("/usr/bin/ffprobe -v error -select_streams v:0 -show_entries "
                                     "stream=codec_name,r_frame_rate -of default=nw=1 '" + movie.file + "'");
    ASSERT_EQ(probe.status, 0) << probe.output;
    EXPECT_NE(probe.output.find("codec_name=mjpeg"), std::string::npos) << probe.output;
    EXPECT_NE(probe.output.find("r_frame_rate=12/1"), std::string::npos) << probe.output;

    CommandResult extract = RunCommand("/usr/bin/ffmpeg -nostdin -v error -i '" + movie.file + "' -c copy '" +
                                       folder.File("out%03d.jpg") + "'");
    ASSERT_EQ(extract.status, 0) << extract.output;
    for (size_t k = 0; k < movie.jpegs.size(); ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "out%03zu.jpg", k + 1);
        EXPECT_EQ(ReadFileBytes(folder.File(name)), movie.jpegs[k]) << name;
    }
    char extra[32];
    std::snprintf(extra, sizeof extra, "out%03zu.jpg", movie.jpegs.size() + 1);
    EXPECT_TRUE(ReadFileBytes(folder.File(extra)).empty()) << "one picture per bitmap tag";
}

TEST(ReeltidePeers, YaswfpReadsEveryTagWhole)
{
    if (!HaveYaswfp()) GTEST_SKIP() << "yaswfp is not installed";
    struct Case { int w, h; } cases[] = {{120, 80}, {1920, 1080}};
    for (const auto& c : cases) {
        TempFolder folder;
        EditorMovie movie = BuildEditorMovie(folder, c.w, c.h, 10, {2, 1, 1});
        ParsedMovie ours = ParseMovie(ReadFileBytes(movie.file));
        ASSERT_TRUE(ours.ok);
        EXPECT_EQ(ours.xmax, c.w * 20);
        YaswfpListing theirs = ListWithYaswfp(movie.file);
        ASSERT_TRUE(theirs.ok) << theirs.raw;
        EXPECT_EQ(theirs.version, 5);
        EXPECT_EQ(theirs.fileLength, long(ours.fileLength));
        EXPECT_EQ(theirs.frameRate, 10 << 8);
        EXPECT_EQ(theirs.frameCount, ours.frameCount);
        EXPECT_EQ(theirs.trailing, 0);
        ASSERT_EQ(theirs.tags.size() + 1, ours.tags.size()) << theirs.raw;  // yaswfp omits the End tag
        for (size_t i = 0; i < theirs.tags.size(); ++i) {
            EXPECT_EQ(theirs.tags[i].kind, YaswfpName(ours.tags[i].code)) << i << "\n" << theirs.raw;
            EXPECT_EQ(theirs.tags[i].name, YaswfpName(ours.tags[i].code)) << i;
        }
    }
}

TEST(ReeltidePeers, ExportsOnlyTheCInterface)
{
    if (!HavePeer("/usr/bin/nm")) GTEST_SKIP() << "nm is not installed";
    CommandResult nm = RunCommand("/usr/bin/nm -D --defined-only '" MOVINTA_BINARY_DIR "/swf/api/libReeltide.so'");
    ASSERT_EQ(nm.status, 0) << nm.output;
    std::set<std::string> names;
    std::istringstream in(nm.output);
    std::string line;
    while (std::getline(in, line)) {
        std::string name = line.substr(line.rfind(' ') + 1);
        names.insert(name);
        EXPECT_NE(name.rfind("_Z", 0), 0u) << "C++ symbol exported: " << name;
    }
    for (const char* e : {"createMovie", "setBkColor", "makeBlankShape", "makeShape", "makeJpeg", "placeObject",
                          "removeObject", "transformObject", "showFrame", "writeMovie"})
        EXPECT_TRUE(names.count(e)) << e;
}
