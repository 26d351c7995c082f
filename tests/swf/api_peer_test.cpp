// The shared library through its C exports, checked by FFmpeg and yaswfp.
#include <gtest/gtest.h>

#include <dirent.h>

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
// shape per frame, then per frame remove, place and show as often as its delay lasts. The
// pictures go in through files, or from memory.
EditorMovie BuildEditorMovie(const TempFolder& folder, int w, int h, int rate, const std::vector<int>& repeats,
                             bool fromMemory = false, const std::string& name = "movie.swf")
{
    EditorMovie movie;
    int n = int(repeats.size());
    std::vector<int> bitmapIds, shapeIds;
    createMovie(rate);
    for (int k = 0; k < n; ++k) {
        movie.jpegs.push_back(EncodeJpeg(24, 16, k, 60 + k * 10));
        const std::vector<uint8_t>& jpeg = movie.jpegs.back();
        if (fromMemory) {
            bitmapIds.push_back(makeJpegData(jpeg.data(), int(jpeg.size()), w, h, 0, nullptr));
            continue;
        }
        std::string file = folder.File("ZQF" + std::to_string(k) + ".jpg");
        WriteFileBytes(file, jpeg);
        bitmapIds.push_back(makeJpeg(file.c_str(), w, h, 0, nullptr));
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
    movie.file = folder.File(name);
    EXPECT_EQ(writeMovie(movie.file.c_str(), w, h, rate, 0), 1);
    return movie;
}

}  // namespace

// A picture handed over in memory makes the movie its file makes, byte for byte, with and without
// an alpha plane; what cannot be a picture is refused and uses no id.
TEST(ReeltideExports, PicturesFromMemoryMakeTheMovieTheirFilesMake)
{
    TempFolder folder;
    const EditorMovie fromFiles = BuildEditorMovie(folder, 24, 16, 12, {1, 3, 2}, false, "files.swf");
    const EditorMovie fromMemory = BuildEditorMovie(folder, 24, 16, 12, {1, 3, 2}, true, "memory.swf");
    EXPECT_EQ(ReadFileBytes(fromMemory.file), ReadFileBytes(fromFiles.file));

    const std::vector<uint8_t> jpeg = EncodeJpeg(4, 2, 7);
    const std::vector<uint8_t> alpha = {0, 64, 128, 255, 255, 128, 64, 0};
    const std::string file = folder.File("alpha.jpg");
    WriteFileBytes(file, jpeg);
    struct Refused {
        const char* what;
        const unsigned char* data;
        int size;
        int withAlpha;
        const unsigned char* alpha;
    };
    const Refused refused[] = {{"no bytes", nullptr, 10, 0, nullptr},
                               {"a negative size", jpeg.data(), -1, 0, nullptr},
                               {"the alpha plane missing", jpeg.data(), int(jpeg.size()), 1, nullptr}};
    std::vector<std::vector<uint8_t>> movies;
    for (bool memory : {false, true}) {
        createMovie(10);
        if (memory) {
            for (const Refused& r : refused)
                EXPECT_EQ(makeJpegData(r.data, r.size, 4, 2, r.withAlpha, r.alpha), 0) << r.what;
            EXPECT_EQ(makeJpegData(jpeg.data(), int(jpeg.size()), 4, 2, 1, alpha.data()), 0) << "the first id";
            EXPECT_EQ(makeJpegData(jpeg.data(), int(jpeg.size()), 4, 2, 0, nullptr), 1);
        } else {
            EXPECT_EQ(makeJpeg(file.c_str(), 4, 2, 1, alpha.data()), 0);
            EXPECT_EQ(makeJpeg(file.c_str(), 4, 2, 0, nullptr), 1);
        }
        const std::string movie = folder.File(memory ? "alpha-memory.swf" : "alpha-file.swf");
        ASSERT_EQ(writeMovie(movie.c_str(), 4, 2, 10, 0), 1);
        movies.push_back(ReadFileBytes(movie));
    }
    EXPECT_EQ(movies[1], movies[0]);
}

namespace {

std::set<std::string> FilesIn(const std::string& folder)
{
    std::set<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.insert(e->d_name);
        closedir(d);
    }
    return names;
}

}  // namespace

// A movie whose file is named before it is built is written as it is made: the file is the one
// the movie makes without it, wherever and at whatever size writeMovie is finally asked to write
// it, and no temporary file stays beside the named one, also where the movie goes nowhere.
TEST(ReeltideExports, AMovieNamedAtTheStartIsTheMovieWrittenAtTheEnd)
{
    TempFolder folder;
    // Pictures of several hundred kilobytes, so that the tags reach the file in several steps.
    std::vector<std::vector<uint8_t>> pictures;
    uint32_t x = 2463534242u;
    for (int k = 0; k < 5; ++k) {
        std::vector<uint8_t> bytes(size_t(300000 + 7919 * k));
        for (uint8_t& b : bytes) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            b = uint8_t(x);
        }
        pictures.push_back(std::move(bytes));
    }
    // The editor's road for 640 x 480 with the file named (or not) after createMovie, written to
    // the file and size given.
    auto build = [&](const std::string& named, const std::string& written, int w, int h) {
        createMovie(12);
        if (!named.empty()) {
            EXPECT_EQ(setMovieFile(named.c_str(), 640, 480), 1);
        }
        EXPECT_EQ(setMovieFile(named.c_str(), 640, 480), 0) << "one file per movie";
        const int n = int(pictures.size());
        for (int k = 0; k < n; ++k)
            EXPECT_EQ(makeJpegData(pictures[size_t(k)].data(), int(pictures[size_t(k)].size()), w, h, 0, nullptr), k);
        for (int k = 0; k < n; ++k) {
            int cmds[24] = {0, 0, w, h, 3, 1, 7, k, 0, 0, 0, 0, 1, 0, w, 1, h, 0, 1, 0, -w, 1, -h, 0};
            EXPECT_EQ(makeShape("", 0, 24, cmds), n + k);
        }
        showFrame();
        for (int k = 0; k < n; ++k) {
            if (k >= 1) removeObject(n + k - 1);
            placeObject(n + k, n + k);
            showFrame();
        }
        return writeMovie(written.c_str(), w, h, 12, 1);
    };
    struct Case {
        const char* what;
        const char* written;  // "" for nowhere
        int w, h;
    };
    const Case cases[] = {{"the file and size named", "movie.swf", 640, 480},
                          {"another file", "other.swf", 640, 480},
                          {"another size, with a longer header", "movie.swf", 64000, 480},
                          {"nowhere", "", 640, 480}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder movies;
        const std::string reference = folder.File("reference.swf");
        ASSERT_EQ(build("", reference, c.w, c.h), 1);
        const std::string written = *c.written ? movies.File(c.written) : std::string();
        ASSERT_EQ(build(movies.File("movie.swf"), written, c.w, c.h), *c.written ? 1 : 0);
        if (*c.written) {
            EXPECT_EQ(ReadFileBytes(written), ReadFileBytes(reference));
            EXPECT_EQ(FilesIn(movies.Path()), std::set<std::string>{c.written});
        } else {
            EXPECT_EQ(FilesIn(movies.Path()), std::set<std::string>());
        }
    }
}

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
    for (const char* e : {"createMovie", "setBkColor", "makeBlankShape", "makeShape", "makeJpeg", "makeJpegData",
                          "placeObject", "removeObject", "transformObject", "showFrame", "setMovieFile", "writeMovie"})
        EXPECT_TRUE(names.count(e)) << e;
}
