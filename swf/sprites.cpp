#include "swf/sprites.h"

FlashOutputStream& FlashTagDefineSprite::Write(FlashOutputStream& out) {
    FlashOutputStream timeline;
    for (FlashControlTag* t : tags_) t->Write(timeline);
    FlashTagHeader(0, 0).Write(timeline);
    FlashTagHeader(39, uint32_t(timeline.Size() + 4)).Write(out);
    out.WriteU16(GetId());
    out.WriteU16(frames_);
    out.WriteBytes(timeline);
    return out;
}

FlashOutputStream& FlashTagDefineMovie::Write(FlashOutputStream& out) {
    // The name stops at its first 0 byte, as the terminated string it is written as.
    const std::string name = name_.substr(0, name_.find('\0'));
    FlashTagHeader(38, uint32_t(name.size() + 3)).Write(out);
    out.WriteU16(GetId());
    out.WriteString(name);
    return out;
}

FlashInputStream& FlashTagDefineMovie::Read(FlashInputStream& in) {
    SetId(in.ReadU16());
    if (tagLength_ < 2) {
        in.Fail();
        return in;
    }
    std::vector<uint8_t> rest;
    in.ReadBytes(rest, tagLength_ - 2);
    // The rest of the body is the name with its terminator.
    std::string name(rest.begin(), rest.end());
    name_ = name.substr(0, name.find('\0'));
    return in;
}
