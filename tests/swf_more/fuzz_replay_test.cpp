// Replays the parser fuzzer's seeds and every input it ever crashed on, and every
// truncation of a movie holding each tag, through the reader and the dump.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "swf/text_dump.h"
#include "tests/swf_more/every_tag_movie.h"
#include "tests/swf_more/support.h"

namespace {

void ReadQuietly(const std::vector<uint8_t>& bytes) {
    std::ostringstream text;
    testing::internal::CaptureStdout();
    DumpMovie(bytes.data(), bytes.size(), text);
    testing::internal::GetCapturedStdout();
}

TEST(FuzzReplay, KnownInputsReadWithoutFault) {
    std::size_t replayed = 0;
    for (const char* dir : {"/fuzz/seeds/fuzz_swf_parser", "/fuzz/swf/regressions"}) {
        const std::filesystem::path path = std::string(MOVINTA_SOURCE_DIR) + dir;
        EXPECT_TRUE(std::filesystem::is_directory(path)) << path << " is missing";
        if (!std::filesystem::is_directory(path)) continue;
        for (const auto& entry : std::filesystem::directory_iterator(path)) {
            SCOPED_TRACE(entry.path().string());
            ReadQuietly(swftest::ReadFile(entry.path().string()));
            ++replayed;
        }
    }
    EXPECT_GT(replayed, 0u);
}

TEST(FuzzReplay, EveryTruncationOfAMovieReadsWithoutFault) {
    const auto movie = swftest::BuildEveryTagMovie("");
    for (std::size_t n = 0; n <= movie.file.size(); ++n)
        ReadQuietly(std::vector<uint8_t>(movie.file.begin(), movie.file.begin() + std::ptrdiff_t(n)));
}

}  // namespace
