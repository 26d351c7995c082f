#include "swf/mp3_frames.h"

#include <fstream>
#include <iterator>

namespace {

// Layer III bit rates in kbit/s; index 15 is invalid.
constexpr int kBitRatesMpeg1[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
constexpr int kBitRatesMpeg2[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
constexpr int kVersionIndex[4] = {2, 3, 1, 0};  // by the two version bits; 3 = reserved
constexpr int kBaseRates[4] = {44100, 48000, 32000, 0};

}  // namespace

int Mp3FrameHeader::FrameLengthWithoutPadding() const {
    if (sampleRate == 0) return 0;
    const long long factor = versionIndex == 0 ? 144 : 72;
    return static_cast<int>(factor * bitRate / sampleRate);
}

int Mp3FrameHeader::FrameLength() const { return FrameLengthWithoutPadding() + (padding ? 1 : 0); }

int Mp3FrameHeader::SamplesPerFrame() const { return versionIndex == 0 ? 1152 : 576; }

std::optional<Mp3FrameHeader> ParseMp3FrameHeader(const std::uint8_t* b) {
    if (b[0] != 0xFF || b[1] < 0xE0) return std::nullopt;
    Mp3FrameHeader h;
    h.versionIndex = kVersionIndex[(b[1] >> 3) & 3];
    h.layerIndex = 3 - ((b[1] >> 1) & 3);
    if (h.versionIndex == 3 || h.layerIndex != 2) return std::nullopt;
    h.sampleRate = kBaseRates[(b[2] >> 2) & 3] >> h.versionIndex;
    const int kbps = (h.versionIndex == 0 ? kBitRatesMpeg1 : kBitRatesMpeg2)[b[2] >> 4];
    h.bitRate = 1000 * kbps;
    if (h.sampleRate == 0 || h.bitRate == 0) return std::nullopt;
    h.padding = (b[2] & 0x02) != 0;
    h.stereo = ((b[3] >> 6) & 3) != 3;
    return h;
}

std::size_t FindMp3Frame(std::span<const std::uint8_t> data, std::size_t pos, Mp3FrameHeader* header) {
    for (std::size_t p = pos; data.size() >= 4 && p <= data.size() - 4; ++p) {
        if (auto h = ParseMp3FrameHeader(data.data() + p)) {
            if (header) *header = *h;
            return p;
        }
    }
    return data.size();
}

Mp3FrameList SplitMp3Frames(std::span<const std::uint8_t> data) {
    Mp3FrameList list;
    std::size_t p = 0;
    for (;;) {
        Mp3FrameHeader h;
        p = FindMp3Frame(data, p, &h);
        if (p >= data.size()) break;
        const std::size_t length = static_cast<std::size_t>(h.FrameLength());
        if (length > data.size() - p) break;  // truncated last frame
        list.frames.push_back({p, length});
        list.last = h;
        p += length;
    }
    return list;
}

bool ReadWholeFile(const std::string& fileName, std::vector<std::uint8_t>& bytes) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}
