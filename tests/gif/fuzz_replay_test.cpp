// Replays every input a fuzzer once failed on through the fuzzer's own harness
// (linked in: it loads, draws and saves as its fuzzer does), so each stays
// fixed. MOVINTA_REPLAY_DIR names the findings' folder under fuzz/.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fs = std::filesystem;

TEST(GIFFuzzReplay, FindingsStayFixed) {
  const fs::path dir = fs::path(MOVINTA_SOURCE_DIR) / "fuzz" / MOVINTA_REPLAY_DIR;
  ASSERT_TRUE(fs::is_directory(dir)) << dir << " is missing";
  int replayed = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    SCOPED_TRACE(entry.path().filename().string());
    std::ifstream in(entry.path(), std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    ++replayed;
  }
  EXPECT_GT(replayed, 0);
}
