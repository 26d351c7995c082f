// Tag record headers, the SWF file header and the bases every tag derives from.
#pragma once

#include <cstdint>

#include "swf/records.h"
#include "swf/stream.h"

// Character ids handed out since the library was loaded or the last movie was written.
// Library-wide and unguarded: one thread builds one movie at a time. Wraps at 65536.
extern uint16_t nextCharacterId;
// Set once the last of the 65,536 ids (65535) has been handed out, so a further
// character would repeat an id; cleared with nextCharacterId for the next movie.
extern bool characterIdsRunOut;
inline bool CharacterIdsExhausted() { return characterIdsRunOut; }

class FlashTagHeader {
public:
    FlashTagHeader() = default;
    FlashTagHeader(uint16_t code, uint32_t length) : code_(code), length_(length) {}
    virtual ~FlashTagHeader() = default;
    // Short form (one 16-bit value) for bodies of at most 62 bytes, else the long form.
    virtual FlashOutputStream& Write(FlashOutputStream& out);
    virtual FlashInputStream& Read(FlashInputStream& in);

    uint16_t GetTagID() const { return code_; }
    uint32_t GetTagLength() const { return length_; }
    // Bytes the header takes when written.
    int WrittenSize() const { return length_ <= 62 ? 2 : 6; }

private:
    uint16_t code_ = 0;
    uint32_t length_ = 0;
};

class FlashHeader {
public:
    FlashHeader() = default;
    FlashHeader(uint8_t version, uint32_t bodyLength, int32_t xmax, int32_t ymax, double rate, uint16_t frames)
        : version_(version), bodyLength_(bodyLength), frame_(0, 0, xmax, ymax), rate_(rate), frames_(frames) {}
    FlashHeader(uint8_t version, uint32_t bodyLength, int32_t xmax, int32_t ymax, uint16_t rate, uint16_t frames)
        : version_(version), bodyLength_(bodyLength), frame_(0, 0, xmax, ymax), rate_(FlashFixed16::FromRaw(rate)),
          frames_(frames) {}

    uint8_t GetVersion() const { return version_; }
    // Bytes of tags after the header.
    uint32_t GetBodyLength() const { return bodyLength_; }
    // The file length as written or read (header included).
    uint32_t GetFileLength() const { return fileLength_ ? fileLength_ : bodyLength_ + HeaderLength(); }
    const FlashRect& GetScreenSize() const { return frame_; }
    FlashFixed16 GetFrameRate() const { return rate_; }
    uint16_t GetFrameCount() const { return frames_; }
    uint32_t HeaderLength() const { return 12 + uint32_t(frame_.WrittenSize()); }

    void Write(FlashOutputStream& out) const;
    void Read(FlashInputStream& in);

private:
    uint8_t version_ = 5;
    uint32_t bodyLength_ = 0;
    uint32_t fileLength_ = 0;
    FlashRect frame_;
    FlashFixed16 rate_;
    uint16_t frames_ = 0;
};

FlashOutputStream& operator<<(FlashOutputStream& out, FlashTagHeader& h);
FlashInputStream& operator>>(FlashInputStream& in, FlashTagHeader& h);
FlashOutputStream& operator<<(FlashOutputStream& out, const FlashHeader& h);
FlashInputStream& operator>>(FlashInputStream& in, FlashHeader& h);

// Writes a record header for the body, then the body.
void WriteTagRecord(FlashOutputStream& out, uint16_t code, const FlashOutputStream& body);
void WriteTagRecord(FlashOutputStream& out, uint16_t code, const uint8_t* body, size_t length);

class FlashTag {
public:
    virtual ~FlashTag() = default;
    // Emits the record header and the body.
    virtual FlashOutputStream& Write(FlashOutputStream& out) { return out; }
    // Fills the object from a body whose record header has already been read; the body
    // length must be set first. A body that doesn't hold what its fields need leaves the
    // stream failed.
    virtual FlashInputStream& Read(FlashInputStream& in) { return in; }

    void SetTagLength(uint32_t length) { tagLength_ = length; }
    uint32_t GetTagLength() const { return tagLength_; }

protected:
    uint32_t tagLength_ = 0;
};

class FlashControlTag : public FlashTag {
public:
    virtual bool IsShowFrame() const { return false; }
};

class FlashCharacterId {
public:
    explicit FlashCharacterId(bool assign = true)
    {
        if (assign) {
            id_ = nextCharacterId++;
            if (id_ == 0xFFFF) characterIdsRunOut = true;
        }
    }
    uint16_t GetId() const { return id_; }
    void SetId(uint16_t id) { id_ = id; }

private:
    uint16_t id_ = 0;
};
