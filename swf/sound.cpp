#include "swf/sound.h"

#include <algorithm>
#include <limits>

namespace {

void ReadRest(FlashInputStream& in, uint32_t tagLength, uint32_t fixedPart, std::vector<uint8_t>& owned,
              const uint8_t*& data, uint32_t& length) {
    if (tagLength < fixedPart) {
        in.Fail();
        length = 0;
        data = nullptr;
        return;
    }
    length = tagLength - fixedPart;
    in.ReadBytes(owned, length);
    length = uint32_t(owned.size());
    data = owned.data();
}

int16_t ClampToInt16(long long v) {
    return int16_t(std::clamp<long long>(v, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max()));
}

}  // namespace

void FlashSoundInfo::Write(FlashOutputStream& out) const {
    out.WriteU8(flags_);
    if (flags_ & 0x01) out.WriteU32(inPoint_);
    if (flags_ & 0x02) out.WriteU32(outPoint_);
    if (flags_ & 0x04) out.WriteU16(loopCount_);
    if (flags_ & 0x08) {
        const std::size_t count = std::min<std::size_t>(envelope_.size(), 255);
        out.WriteU8(uint8_t(count));
        for (std::size_t i = 0; i < count; ++i) {
            out.WriteU32(envelope_[i].GetMark44());
            out.WriteU16(envelope_[i].GetLeftLevel());
            out.WriteU16(envelope_[i].GetRightLevel());
        }
    }
}

void FlashSoundInfo::Read(FlashInputStream& in) {
    flags_ = in.ReadU8();
    envelope_.clear();
    if (flags_ & 0x01) inPoint_ = in.ReadU32();
    if (flags_ & 0x02) outPoint_ = in.ReadU32();
    if (flags_ & 0x04) loopCount_ = in.ReadU16();
    if (flags_ & 0x08) {
        const int count = in.ReadU8();
        for (int i = 0; i < count && !in.Failed(); ++i) {
            const uint32_t mark = in.ReadU32();
            const uint16_t left = in.ReadU16();
            const uint16_t right = in.ReadU16();
            envelope_.emplace_back(mark, left, right);
        }
    }
}

FlashOutputStream& FlashTagStartSound::Write(FlashOutputStream& out) {
    FlashOutputStream body;
    body.WriteU16(soundId_);
    info_.Write(body);
    WriteTagRecord(out, 15, body);
    return out;
}

FlashInputStream& FlashTagStartSound::Read(FlashInputStream& in) {
    soundId_ = in.ReadU16();
    info_.Read(in);
    return in;
}

FlashOutputStream& FlashTagDefineSoundBase::Write(FlashOutputStream& out) {
    FlashTagHeader(14, length_ + 7).Write(out);
    out.WriteU16(GetId());
    out.WriteU8(format_);
    out.WriteU32(sampleCount_);
    out.WriteBytes(data_, length_);
    return out;
}

FlashInputStream& FlashTagDefineSoundBase::Read(FlashInputStream& in) {
    SetId(in.ReadU16());
    format_ = in.ReadU8();
    sampleCount_ = in.ReadU32();
    ReadRest(in, tagLength_, 7, owned_, data_, length_);
    return in;
}

FlashOutputStream& FlashTagDefineSound::Write(FlashOutputStream& out) {
    FlashTagHeader(14, length_ + 9).Write(out);
    out.WriteU16(GetId());
    out.WriteU8(format_);
    out.WriteU32(sampleCount_);
    out.WriteU16(uint16_t(seek_));
    out.WriteBytes(data_, length_);
    return out;
}

FlashInputStream& FlashTagDefineSound::Read(FlashInputStream& in) {
    SetId(in.ReadU16());
    format_ = in.ReadU8();
    sampleCount_ = in.ReadU32();
    seek_ = int16_t(in.ReadU16());
    ReadRest(in, tagLength_, 9, owned_, data_, length_);
    return in;
}

FlashOutputStream& FlashTagSoundStreamHead::Write(FlashOutputStream& out) {
    // An MP3 stream head ends with the latency seek.
    const bool mp3 = (compression_ & 0x0F) == 2;
    FlashTagHeader(Code(), mp3 ? 6 : 4).Write(out);
    out.WriteU8(uint8_t((playbackRate_ & 3) << 2 | (playbackSize_ & 1) << 1 | (playbackType_ & 1)));
    out.WriteU8(uint8_t((compression_ & 0x0F) << 4 | (streamRate_ & 3) << 2 | (streamSize_ & 1) << 1 | (streamType_ & 1)));
    out.WriteU16(sampleCount_);
    if (mp3) out.WriteU16(uint16_t(latencySeek_));
    return out;
}

FlashInputStream& FlashTagSoundStreamHead::Read(FlashInputStream& in) {
    const uint8_t b1 = in.ReadU8();
    const uint8_t b2 = in.ReadU8();
    playbackRate_ = (b1 >> 2) & 3;
    playbackSize_ = (b1 >> 1) & 1;
    playbackType_ = b1 & 1;
    compression_ = b2 >> 4;
    streamRate_ = (b2 >> 2) & 3;
    streamSize_ = (b2 >> 1) & 1;
    streamType_ = b2 & 1;
    sampleCount_ = in.ReadU16();
    latencySeek_ = 0;
    // Older writers left the latency seek out; a body of 4 bytes still reads.
    if (compression_ == 2 && tagLength_ >= 6) latencySeek_ = int16_t(in.ReadU16());
    return in;
}

FlashOutputStream& FlashTagSoundStreamBlockBase::Write(FlashOutputStream& out) {
    WriteTagRecord(out, 19, data_, length_);
    return out;
}

FlashInputStream& FlashTagSoundStreamBlockBase::Read(FlashInputStream& in) {
    ReadRest(in, tagLength_, 0, owned_, data_, length_);
    return in;
}

FlashOutputStream& FlashTagSoundStreamBlock::Write(FlashOutputStream& out) {
    FlashTagHeader(19, length_ + 4).Write(out);
    out.WriteU16(sampleCount_);
    out.WriteU16(uint16_t(seek_));
    out.WriteBytes(data_, length_);
    return out;
}

FlashInputStream& FlashTagSoundStreamBlock::Read(FlashInputStream& in) {
    sampleCount_ = in.ReadU16();
    seek_ = int16_t(in.ReadU16());
    ReadRest(in, tagLength_, 4, owned_, data_, length_);
    return in;
}

FlashMp3Sound::FlashMp3Sound(const std::string& fileName, int frameRate)
    // A rate below 1 would make a movie frame endless; such a movie streams at 1.
    : frameRate_(std::max(frameRate, 1)) {
    if (!ReadWholeFile(fileName, bytes_)) bytes_.clear();
    Mp3FrameList list = SplitMp3Frames(bytes_);
    frames_ = std::move(list.frames);
    if (!frames_.empty()) {
        sampleRate_ = list.last.sampleRate;
        stereo_ = list.last.stereo;
        bitRate_ = list.last.bitRate;
        samplesPerFrame_ = list.last.SamplesPerFrame();
    }
}

int FlashMp3Sound::GetRateCode() const {
    switch (sampleRate_) {
        case 44100: return 3;
        case 22050: return 2;
        case 11025: return 1;
        default: return 0;
    }
}

bool FlashMp3Sound::HasDeclarableRate() const {
    return frames_.empty() || sampleRate_ == 5512 || sampleRate_ == 11025 || sampleRate_ == 22050 ||
           sampleRate_ == 44100;
}

uint16_t FlashMp3Sound::AverageSamplesPerMovieFrame() const {
    if (sampleRate_ == 0) return 0;
    return uint16_t(std::min(sampleRate_ / frameRate_, 0xFFFF));
}

void FlashMp3Sound::WriteStreamHead(FlashOutputStream& out) const {
    FlashTagSoundStreamHead2(3, 1, 1, 2, uint8_t(GetRateCode()), 1, stereo_ ? 1 : 0, AverageSamplesPerMovieFrame())
        .Write(out);
}

void FlashMp3Sound::WriteNextBlock(FlashOutputStream& out) {
    if (finished_) return;
    // Frames are taken until the audio streamed passes the movie time at the end of
    // this frame; in samples: (n * spf + seek) * frameRate > sampleRate.
    const std::size_t remaining = frames_.size() - consumed_;
    std::size_t n = 0;
    if (samplesPerFrame_ > 0) {
        while (n < remaining && (static_cast<long long>(n) * samplesPerFrame_ + seek_) * frameRate_ <= sampleRate_) ++n;
    }
    const std::size_t j = std::min(n, remaining);

    std::vector<uint8_t> data;
    for (std::size_t i = 0; i < j; ++i) {
        const auto& f = frames_[consumed_ + i];
        data.insert(data.end(), bytes_.begin() + std::ptrdiff_t(f.offset), bytes_.begin() + std::ptrdiff_t(f.offset + f.size));
    }
    const long long samples = static_cast<long long>(samplesPerFrame_) * static_cast<long long>(j);
    FlashTagSoundStreamBlock(uint16_t(std::min<long long>(samples, 0xFFFF)), ClampToInt16(seek_), data.data(),
                             uint32_t(data.size()))
        .Write(out);

    ++blocksWritten_;
    consumed_ += j;
    // Audio streamed minus movie time, in samples, truncated toward zero.
    const long long ahead = static_cast<long long>(consumed_) * samplesPerFrame_ * frameRate_ -
                            static_cast<long long>(blocksWritten_) * sampleRate_;
    seek_ = static_cast<int>(std::clamp<long long>(ahead / frameRate_, std::numeric_limits<int>::min(),
                                                   std::numeric_limits<int>::max()));
    if (consumed_ >= frames_.size()) finished_ = true;
}

uint16_t FlashMp3Sound::WriteDefineSound(FlashOutputStream& out) const {
    std::vector<uint8_t> data;
    for (const auto& f : frames_)
        data.insert(data.end(), bytes_.begin() + std::ptrdiff_t(f.offset), bytes_.begin() + std::ptrdiff_t(f.offset + f.size));
    const uint8_t formatBits = uint8_t(GetRateCode() << 2 | 0x02 | (stereo_ ? 1 : 0));
    FlashTagDefineSound tag(formatBits, uint32_t(frames_.size() * std::size_t(samplesPerFrame_)), data.data(),
                            uint32_t(data.size()), 0);
    tag.Write(out);
    return tag.GetId();
}

void ProbeFirstFrame(const std::string& fileName, int& frameSize, int& samplesPerFrame) {
    frameSize = 0;
    samplesPerFrame = 0;
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(fileName, bytes)) return;
    Mp3FrameHeader h;
    if (FindMp3Frame(bytes, 0, &h) >= bytes.size()) return;
    frameSize = h.FrameLengthWithoutPadding();
    samplesPerFrame = h.SamplesPerFrame();
}
