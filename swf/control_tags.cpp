#include "swf/control_tags.h"

#include <algorithm>

namespace {

// Position where a body of the tag's length ends, never beyond the data.
size_t BodyEnd(const FlashInputStream& in, uint32_t length)
{
    return in.Tell() + std::min<size_t>(length, in.Remaining());
}

}  // namespace

FlashOutputStream& FlashTagShowFrame::Write(FlashOutputStream& out)
{
    WriteTagRecord(out, 1, nullptr, 0);
    return out;
}

FlashOutputStream& FlashTagEnd::Write(FlashOutputStream& out)
{
    WriteTagRecord(out, 0, nullptr, 0);
    return out;
}

FlashOutputStream& FlashTagPlaceObject::Write(FlashOutputStream& out)
{
    FlashOutputStream body;
    body.WriteU16(characterId_);
    body.WriteU16(depth_);
    body << matrix_;
    if (hasColorTransform_) {
        colorTransform_.SetVersion(1);
        body << colorTransform_;
    }
    WriteTagRecord(out, 4, body);
    return out;
}

FlashInputStream& FlashTagPlaceObject::Read(FlashInputStream& in)
{
    size_t end = BodyEnd(in, tagLength_);
    characterId_ = in.ReadU16();
    depth_ = in.ReadU16();
    in >> matrix_;
    hasColorTransform_ = !in.Failed() && in.Tell() < end;
    if (hasColorTransform_) {
        colorTransform_.SetVersion(1);
        in >> colorTransform_;
    }
    return in;
}

uint8_t FlashTagPlaceObject2::FlagByte() const
{
    return uint8_t(hasClipDepth_ << 6 | hasName_ << 5 | hasRatio_ << 4 | hasColorTransform_ << 3 |
                   hasMatrix_ << 2 | hasCharacter_ << 1 | move_);
}

FlashOutputStream& FlashTagPlaceObject2::Write(FlashOutputStream& out)
{
    FlashOutputStream body;
    body.WriteU8(FlagByte());
    body.WriteU16(depth_);
    if (hasCharacter_) body.WriteU16(characterId_);
    if (hasMatrix_) body << matrix_;
    if (hasColorTransform_) {
        colorTransform_.SetVersion(2);
        body << colorTransform_;
    }
    if (hasRatio_) body.WriteU16(ratio_);
    if (hasName_) body.WriteString(name_);
    if (hasClipDepth_) body.WriteU16(clipDepth_);
    WriteTagRecord(out, 26, body);
    return out;
}

FlashInputStream& FlashTagPlaceObject2::Read(FlashInputStream& in)
{
    uint8_t flags = in.ReadU8();
    hasClipDepth_ = flags & 0x40;
    hasName_ = flags & 0x20;
    hasRatio_ = flags & 0x10;
    hasColorTransform_ = flags & 0x08;
    hasMatrix_ = flags & 0x04;
    hasCharacter_ = flags & 0x02;
    move_ = flags & 0x01;
    depth_ = in.ReadU16();
    if (hasCharacter_) characterId_ = in.ReadU16();
    if (hasMatrix_) in >> matrix_;
    if (hasColorTransform_) {
        colorTransform_.SetVersion(2);
        in >> colorTransform_;
    }
    if (hasRatio_) ratio_ = in.ReadU16();
    if (hasName_) name_ = in.ReadString();
    if (hasClipDepth_) clipDepth_ = in.ReadU16();
    return in;
}

FlashOutputStream& FlashTagRemoveObject::Write(FlashOutputStream& out)
{
    FlashTagHeader(5, 4).Write(out);
    out.WriteU16(characterId_);
    out.WriteU16(depth_);
    return out;
}

FlashInputStream& FlashTagRemoveObject::Read(FlashInputStream& in)
{
    characterId_ = in.ReadU16();
    depth_ = in.ReadU16();
    return in;
}

FlashOutputStream& FlashTagRemoveObject2::Write(FlashOutputStream& out)
{
    FlashTagHeader(28, 2).Write(out);
    out.WriteU16(depth_);
    return out;
}

FlashInputStream& FlashTagRemoveObject2::Read(FlashInputStream& in)
{
    depth_ = in.ReadU16();
    return in;
}

FlashOutputStream& FlashTagBackgroundColor::Write(FlashOutputStream& out)
{
    FlashTagHeader(9, 3).Write(out);
    out.WriteU8(r_);
    out.WriteU8(g_);
    out.WriteU8(b_);
    return out;
}

FlashInputStream& FlashTagBackgroundColor::Read(FlashInputStream& in)
{
    r_ = in.ReadU8();
    g_ = in.ReadU8();
    b_ = in.ReadU8();
    return in;
}

FlashOutputStream& FlashPasswordTag::Write(FlashOutputStream& out)
{
    FlashOutputStream body;
    if (hasPassword_) body.WriteString(password_);
    WriteTagRecord(out, code_, body);
    return out;
}

FlashInputStream& FlashPasswordTag::Read(FlashInputStream& in)
{
    hasPassword_ = tagLength_ != 0;
    password_.clear();
    if (hasPassword_) password_ = in.ReadString();
    return in;
}

FlashOutputStream& FlashTagLabelFrame::Write(FlashOutputStream& out)
{
    FlashOutputStream body;
    body.WriteString(label_);
    WriteTagRecord(out, 43, body);
    return out;
}

FlashInputStream& FlashTagLabelFrame::Read(FlashInputStream& in)
{
    label_ = in.ReadString();
    return in;
}

static void WriteAssets(FlashOutputStream& body, const std::vector<std::string>& names,
                        const std::vector<uint16_t>& ids)
{
    size_t count = std::min<size_t>(names.size(), 0xFFFF);
    body.WriteU16(uint16_t(count));
    for (size_t i = 0; i < count; ++i) {
        body.WriteU16(ids[i]);
        body.WriteString(names[i]);
    }
}

static void ReadAssets(FlashInputStream& in, std::vector<std::string>& names, std::vector<uint16_t>& ids)
{
    names.clear();
    ids.clear();
    uint16_t count = in.ReadU16();
    for (uint16_t i = 0; i < count && !in.Failed(); ++i) {
        uint16_t id = in.ReadU16();
        std::string name = in.ReadString();
        if (in.Failed()) break;
        ids.push_back(id);
        names.push_back(std::move(name));
    }
}

FlashOutputStream& FlashTagExportAssets::Write(FlashOutputStream& out)
{
    FlashOutputStream body;
    WriteAssets(body, names_, ids_);
    WriteTagRecord(out, 56, body);
    return out;
}

FlashInputStream& FlashTagExportAssets::Read(FlashInputStream& in)
{
    ReadAssets(in, names_, ids_);
    return in;
}

FlashOutputStream& FlashTagImportAssets::Write(FlashOutputStream& out)
{
    FlashOutputStream body;
    body.WriteString(url_);
    WriteAssets(body, names_, ids_);
    WriteTagRecord(out, 57, body);
    return out;
}

FlashInputStream& FlashTagImportAssets::Read(FlashInputStream& in)
{
    url_ = in.ReadString();
    ReadAssets(in, names_, ids_);
    return in;
}

FlashOutputStream& FlashTagFreeCharacter::Write(FlashOutputStream& out)
{
    FlashTagHeader(3, 2).Write(out);
    out.WriteU16(characterId_);
    return out;
}

FlashInputStream& FlashTagFreeCharacter::Read(FlashInputStream& in)
{
    characterId_ = in.ReadU16();
    return in;
}

FlashOutputStream& FlashTagDefineFontInfo::Write(FlashOutputStream& out)
{
    FlashOutputStream body;
    body.WriteU16(fontId_);
    body.WriteU8(uint8_t(name_.size()));
    body.WriteBytes(name_.data(), name_.size());
    body.WriteU8(flags_);
    for (uint16_t code : codes_) {
        if (flags_ & 0x01)
            body.WriteU16(code);
        else
            body.WriteU8(uint8_t(code));
    }
    WriteTagRecord(out, 13, body);
    return out;
}

FlashInputStream& FlashTagDefineFontInfo::Read(FlashInputStream& in)
{
    size_t end = BodyEnd(in, tagLength_);
    fontId_ = in.ReadU16();
    uint8_t nameLength = in.ReadU8();
    name_.resize(nameLength);
    if (!in.ReadBytes(name_.data(), nameLength)) name_.clear();
    flags_ = in.ReadU8();
    codes_.clear();
    size_t width = (flags_ & 0x01) ? 2 : 1;
    while (!in.Failed() && in.Tell() + width <= end)
        codes_.push_back(width == 2 ? in.ReadU16() : in.ReadU8());
    return in;
}
