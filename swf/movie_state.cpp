#include "swf/movie_state.h"

FlashOutputStream movieTagStream;
int movieFrameRate = 0;
int movieFrameCount = 0;
int movieStartFrame = 1;
uint8_t soundTrackOn = 0;
std::unique_ptr<FlashMp3Sound> soundTrack;

namespace {

constexpr size_t kDepthTableSize = 65536;
std::unique_ptr<uint8_t[]> depthUsed;

}  // namespace

void AllocateDepthTable()
{
    depthUsed = std::make_unique<uint8_t[]>(kDepthTableSize);
}

void ReleaseDepthTable()
{
    depthUsed.reset();
}

uint8_t& DepthUsed(int32_t index)
{
    if (!depthUsed) AllocateDepthTable();
    return depthUsed[uint16_t(index)];
}
