#include "swf/tag.h"

uint16_t nextCharacterId = 0;
bool characterIdsRunOut = false;

FlashOutputStream& FlashTagHeader::Write(FlashOutputStream& out)
{
    if (length_ <= 62) {
        out.WriteU16(uint16_t(code_ << 6 | length_));
    } else {
        out.WriteU16(uint16_t(code_ << 6 | 0x3F));
        out.WriteU32(length_);
    }
    return out;
}

FlashInputStream& FlashTagHeader::Read(FlashInputStream& in)
{
    uint16_t v = in.ReadU16();
    code_ = uint16_t(v >> 6);
    length_ = v & 0x3F;
    if (length_ == 0x3F) length_ = in.ReadU32();
    return in;
}

void FlashHeader::Write(FlashOutputStream& out) const
{
    out.WriteBytes("FWS", 3);
    out.WriteU8(version_);
    out.WriteU32(bodyLength_ + HeaderLength());
    out << frame_;
    out.WriteU8(rate_.GetLower());
    out.WriteU8(rate_.GetUpper());
    out.WriteU16(frames_);
}

void FlashHeader::Read(FlashInputStream& in)
{
    in.Skip(3);
    version_ = in.ReadU8();
    fileLength_ = in.ReadU32();
    in >> frame_;
    rate_ = FlashFixed16::FromRaw(in.ReadU16());
    frames_ = in.ReadU16();
    bodyLength_ = fileLength_ >= HeaderLength() ? fileLength_ - HeaderLength() : 0;
}

FlashOutputStream& operator<<(FlashOutputStream& out, FlashTagHeader& h)
{
    return h.Write(out);
}

FlashInputStream& operator>>(FlashInputStream& in, FlashTagHeader& h)
{
    return h.Read(in);
}

FlashOutputStream& operator<<(FlashOutputStream& out, const FlashHeader& h)
{
    h.Write(out);
    return out;
}

FlashInputStream& operator>>(FlashInputStream& in, FlashHeader& h)
{
    h.Read(in);
    return in;
}

void WriteTagRecord(FlashOutputStream& out, uint16_t code, const uint8_t* body, size_t length)
{
    FlashTagHeader header(code, uint32_t(length));
    header.Write(out);
    out.WriteBytes(body, length);
}

void WriteTagRecord(FlashOutputStream& out, uint16_t code, const FlashOutputStream& body)
{
    WriteTagRecord(out, code, body.Data(), body.Size());
}
