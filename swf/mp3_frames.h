// MPEG audio Layer III frame headers and the frame search over an MP3 file held
// in memory. Every read is bounded by the buffer, so a truncated or hostile file
// can only end the search early.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct Mp3FrameHeader {
    int versionIndex = 0;  // 0 MPEG-1, 1 MPEG-2, 2 MPEG-2.5
    int layerIndex = 0;    // 2 = Layer III
    int sampleRate = 0;    // Hz
    bool stereo = false;   // any channel mode other than mono
    int bitRate = 0;       // bits per second
    bool padding = false;

    // Whole frame in bytes, header and padding byte included.
    int FrameLength() const;
    int FrameLengthWithoutPadding() const;
    // 1152 for MPEG-1 Layer III, 576 for MPEG-2 and MPEG-2.5.
    int SamplesPerFrame() const;
};

// Decodes the four header bytes at b; empty unless they start a Layer III frame
// of a known version, sample rate and bit rate.
std::optional<Mp3FrameHeader> ParseMp3FrameHeader(const std::uint8_t* b);

// Offset of the first Layer III frame header at or after pos (resynchronising
// byte by byte), or data.size() when there is none.
std::size_t FindMp3Frame(std::span<const std::uint8_t> data, std::size_t pos, Mp3FrameHeader* header);

struct Mp3FrameRef {
    std::size_t offset = 0;
    std::size_t size = 0;  // padding included
};

struct Mp3FrameList {
    std::vector<Mp3FrameRef> frames;
    Mp3FrameHeader last;  // header of the last frame kept
};

// Splits data into whole Layer III frames. Frames are taken one after the other
// from the first one found; a frame that would run past the end is dropped.
Mp3FrameList SplitMp3Frames(std::span<const std::uint8_t> data);

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& fileName, std::vector<std::uint8_t>& bytes);
