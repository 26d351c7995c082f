// Shared helpers of the SWF tests: a private scratch folder, MP3 files made with
// FFmpeg, running the peer tools.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace swftest {

// A private folder under TMPDIR, removed with the object.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Encodes a sine tone of the given rate, length and channel count as an MP3 of
// bare frames (no ID3 tag, no Xing frame); empty when FFmpeg fails.
std::string MakeMp3(const ScratchDir& dir, int sampleRate, double seconds, int channels, int kbps);

// Runs a shell command, returning its exit status and standard output.
int RunCommand(const std::string& command, std::string* output = nullptr);

std::vector<std::uint8_t> ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace swftest
