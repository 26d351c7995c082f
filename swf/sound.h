// Sound: MP3 files turned into event sounds (DefineSound) or streamed sound (a
// SoundStreamHead2, then one SoundStreamBlock per movie frame), and the sound tags.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "swf/mp3_frames.h"
#include "swf/tag.h"

class FlashSoundEnvelopePoint {
public:
    FlashSoundEnvelopePoint() = default;
    FlashSoundEnvelopePoint(uint32_t mark44, uint16_t left, uint16_t right) : mark44_(mark44), left_(left), right_(right) {}
    uint32_t GetMark44() const { return mark44_; }
    uint16_t GetLeftLevel() const { return left_; }
    uint16_t GetRightLevel() const { return right_; }
    bool operator==(const FlashSoundEnvelopePoint&) const = default;

private:
    uint32_t mark44_ = 0;
    uint16_t left_ = 0, right_ = 0;
};

// SOUNDINFO. The flag byte's upper bits are behaviour (0x20 stop the sound, 0x10 don't
// start it when it already plays); its lower bits tell which optional fields follow
// and are set by the setters.
class FlashSoundInfo {
public:
    explicit FlashSoundInfo(uint8_t flags = 0) : flags_(uint8_t(flags & 0xF0)) {}

    uint8_t GetFlags() const { return flags_; }
    void SetInPoint(uint32_t v) { inPoint_ = v; flags_ |= 0x01; }
    void SetOutPoint(uint32_t v) { outPoint_ = v; flags_ |= 0x02; }
    void SetLoopCount(uint16_t v) { loopCount_ = v; flags_ |= 0x04; }
    void AddEnvelopePoint(const FlashSoundEnvelopePoint& p) { envelope_.push_back(p); flags_ |= 0x08; }
    uint32_t GetInPoint() const { return inPoint_; }
    uint32_t GetOutPoint() const { return outPoint_; }
    uint16_t GetLoopCount() const { return loopCount_; }
    const std::vector<FlashSoundEnvelopePoint>& GetEnvelope() const { return envelope_; }

    void Write(FlashOutputStream& out) const;
    void Read(FlashInputStream& in);

private:
    uint8_t flags_ = 0;
    uint32_t inPoint_ = 0, outPoint_ = 0;
    uint16_t loopCount_ = 0;
    std::vector<FlashSoundEnvelopePoint> envelope_;
};

class FlashTagStartSound : public FlashControlTag {
public:
    FlashTagStartSound() = default;
    FlashTagStartSound(uint16_t soundId, const FlashSoundInfo& info) : soundId_(soundId), info_(info) {}
    FlashOutputStream& Write(FlashOutputStream& out) override;
    FlashInputStream& Read(FlashInputStream& in) override;
    uint16_t GetSoundId() const { return soundId_; }
    const FlashSoundInfo& GetSoundInfo() const { return info_; }

private:
    uint16_t soundId_ = 0;
    FlashSoundInfo info_;
};

// DefineSound in its plain form: the data follows the sample count directly.
class FlashTagDefineSoundBase : public FlashTag, public FlashCharacterId {
public:
    FlashTagDefineSoundBase() = default;
    // The data stays the caller's and must outlive the writing.
    FlashTagDefineSoundBase(uint8_t format, uint32_t sampleCount, const uint8_t* data, uint32_t length)
        : format_(format), sampleCount_(sampleCount), data_(data), length_(length) {}
    FlashOutputStream& Write(FlashOutputStream& out) override;
    FlashInputStream& Read(FlashInputStream& in) override;

    uint8_t GetFormat() const { return format_; }
    uint32_t GetSampleCount() const { return sampleCount_; }
    const uint8_t* GetData() const { return data_; }
    uint32_t GetDataLength() const { return length_; }

protected:
    uint8_t format_ = 0;
    uint32_t sampleCount_ = 0;
    const uint8_t* data_ = nullptr;
    uint32_t length_ = 0;
    std::vector<uint8_t> owned_;
};

// DefineSound of MP3 data: seek samples come before the frames.
class FlashTagDefineSound : public FlashTagDefineSoundBase {
public:
    FlashTagDefineSound() = default;
    // format bits: rate code << 2 | 16-bit flag << 1 | stereo; MP3 compression is added.
    FlashTagDefineSound(uint8_t formatBits, uint32_t sampleCount, const uint8_t* data, uint32_t length, int16_t seek)
        : FlashTagDefineSoundBase(uint8_t(0x20 | (formatBits & 0x0F)), sampleCount, data, length), seek_(seek) {}
    FlashOutputStream& Write(FlashOutputStream& out) override;
    FlashInputStream& Read(FlashInputStream& in) override;
    int16_t GetSeekSamples() const { return seek_; }

private:
    int16_t seek_ = 0;
};

class FlashTagSoundStreamHead : public FlashControlTag {
public:
    FlashTagSoundStreamHead() = default;
    FlashTagSoundStreamHead(uint8_t playbackRate, uint8_t playbackSize, uint8_t playbackType, uint8_t compression,
                            uint8_t streamRate, uint8_t streamSize, uint8_t streamType, uint16_t sampleCount)
        : playbackRate_(playbackRate), playbackSize_(playbackSize), playbackType_(playbackType),
          compression_(compression), streamRate_(streamRate), streamSize_(streamSize), streamType_(streamType),
          sampleCount_(sampleCount) {}
    FlashOutputStream& Write(FlashOutputStream& out) override;
    FlashInputStream& Read(FlashInputStream& in) override;

    uint8_t GetPlaybackRate() const { return playbackRate_; }
    uint8_t GetPlaybackSize() const { return playbackSize_; }
    uint8_t GetPlaybackType() const { return playbackType_; }
    uint8_t GetCompression() const { return compression_; }
    uint8_t GetStreamRate() const { return streamRate_; }
    uint8_t GetStreamSize() const { return streamSize_; }
    uint8_t GetStreamType() const { return streamType_; }
    uint16_t GetSampleCount() const { return sampleCount_; }
    // Samples to skip at the start of an MP3 stream (written only for MP3, compression 2).
    int16_t GetLatencySeek() const { return latencySeek_; }
    void SetLatencySeek(int16_t samples) { latencySeek_ = samples; }

protected:
    virtual uint16_t Code() const { return 18; }

private:
    uint8_t playbackRate_ = 0, playbackSize_ = 0, playbackType_ = 0, compression_ = 0;
    uint8_t streamRate_ = 0, streamSize_ = 0, streamType_ = 0;
    uint16_t sampleCount_ = 0;
    int16_t latencySeek_ = 0;
};

class FlashTagSoundStreamHead2 : public FlashTagSoundStreamHead {
public:
    using FlashTagSoundStreamHead::FlashTagSoundStreamHead;

protected:
    uint16_t Code() const override { return 45; }
};

// SoundStreamBlock in its plain form: the whole body is sound data.
class FlashTagSoundStreamBlockBase : public FlashControlTag {
public:
    FlashTagSoundStreamBlockBase() = default;
    FlashTagSoundStreamBlockBase(const uint8_t* data, uint32_t length) : data_(data), length_(length) {}
    FlashOutputStream& Write(FlashOutputStream& out) override;
    FlashInputStream& Read(FlashInputStream& in) override;
    const uint8_t* GetData() const { return data_; }
    uint32_t GetDataLength() const { return length_; }

protected:
    const uint8_t* data_ = nullptr;
    uint32_t length_ = 0;
    std::vector<uint8_t> owned_;
};

// SoundStreamBlock of MP3 data: sample count and seek samples lead the frames.
class FlashTagSoundStreamBlock : public FlashTagSoundStreamBlockBase {
public:
    FlashTagSoundStreamBlock() = default;
    FlashTagSoundStreamBlock(uint16_t sampleCount, int16_t seek, const uint8_t* data, uint32_t length)
        : FlashTagSoundStreamBlockBase(data, length), sampleCount_(sampleCount), seek_(seek) {}
    FlashOutputStream& Write(FlashOutputStream& out) override;
    FlashInputStream& Read(FlashInputStream& in) override;
    uint16_t GetSampleCount() const { return sampleCount_; }
    int16_t GetSeekSamples() const { return seek_; }

private:
    uint16_t sampleCount_ = 0;
    int16_t seek_ = 0;
};

// An MP3 file as a list of whole Layer III frames, written as one event sound or
// streamed one block per movie frame. Timing follows each frame's own duration
// (samples per frame over the sample rate), so every MPEG version keeps time.
class FlashMp3Sound {
public:
    // A file that cannot be read, or holds no frame, gives a sound of no frames.
    FlashMp3Sound(const std::string& fileName, int frameRate);

    // SoundStreamHead2 announcing the sound's rate, channels and samples per movie frame.
    void WriteStreamHead(FlashOutputStream& out) const;
    // The block for the next movie frame; nothing once the sound is finished.
    void WriteNextBlock(FlashOutputStream& out);
    // One DefineSound holding every frame; returns its character id.
    uint16_t WriteDefineSound(FlashOutputStream& out) const;

    std::size_t GetFrameCount() const { return frames_.size(); }
    int GetSampleRate() const { return sampleRate_; }
    bool IsStereo() const { return stereo_; }
    int GetSamplesPerFrame() const { return samplesPerFrame_; }
    // SWF rate code: 3 for 44100, 2 for 22050, 1 for 11025, else 0.
    int GetRateCode() const;
    // SWF declares only 5512, 11025, 22050 and 44100 Hz; a sound at any other rate
    // (MP3's 8, 12, 16, 24, 32 and 48 kHz) would play at the wrong speed and is refused.
    // A sound without frames has no rate and passes.
    bool HasDeclarableRate() const;
    bool IsFinished() const { return finished_; }
    int GetSeek() const { return seek_; }
    // Samples per movie frame the stream head announces.
    uint16_t AverageSamplesPerMovieFrame() const;

private:
    std::vector<uint8_t> bytes_;
    std::vector<Mp3FrameRef> frames_;
    int sampleRate_ = 0;
    bool stereo_ = false;
    int bitRate_ = 0;
    int samplesPerFrame_ = 0;
    int frameRate_ = 1;
    bool finished_ = false;
    int seek_ = 0;
    std::size_t consumed_ = 0;
    std::size_t blocksWritten_ = 0;
};

// Byte size (without padding) and samples per frame of the first Layer III frame of
// a file; frameSize is 0 when there is none.
void ProbeFirstFrame(const std::string& fileName, int& frameSize, int& samplesPerFrame);
