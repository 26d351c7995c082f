#include "tests/swf_more/support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <sys/wait.h>

namespace swftest {

ScratchDir::ScratchDir() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/reeltide-test-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) throw std::runtime_error("cannot create a scratch folder");
    path_ = buf.data();
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

int RunCommand(const std::string& command, std::string* output) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0)
        if (output) output->append(buf, n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string MakeMp3(const ScratchDir& dir, int sampleRate, double seconds, int channels, int kbps) {
    const std::string path =
        dir.File("tone_" + std::to_string(sampleRate) + "_" + std::to_string(channels) + "_" + std::to_string(kbps) + ".mp3");
    const std::string cmd = "ffmpeg -nostdin -v error -y -f lavfi -i 'sine=frequency=440:sample_rate=" +
                            std::to_string(sampleRate) + ":duration=" + std::to_string(seconds) + "' -ac " +
                            std::to_string(channels) + " -c:a libmp3lame -b:a " + std::to_string(kbps) +
                            "k -write_xing 0 -id3v2_version 0 -f mp3 '" + path + "'";
    return RunCommand(cmd) == 0 ? path : std::string();
}

std::vector<std::uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace swftest
