#include "swf/morph_shape.h"

#include <algorithm>

namespace {

void WriteRGBA(FlashOutputStream& out, FlashRGBA c) {
    c.SetAlphaWriteMode(true);
    out << c;
}

void WriteCount(FlashOutputStream& out, std::size_t count) {
    if (count < 255) {
        out.WriteU8(uint8_t(count));
    } else {
        out.WriteU8(0xFF);
        out.WriteU16(uint16_t(std::min<std::size_t>(count, 0xFFFF)));
    }
}

}  // namespace

void FlashMorphGradient::Write(FlashOutputStream& out) const {
    const std::size_t count = std::min<std::size_t>(records_.size(), 255);
    out.WriteU8(uint8_t(count));
    for (std::size_t i = 0; i < count; ++i) {
        out.WriteU8(records_[i].startRatio);
        WriteRGBA(out, records_[i].startColor);
        out.WriteU8(records_[i].endRatio);
        WriteRGBA(out, records_[i].endColor);
    }
}

void FlashMorphFillStyleSolid::Write(FlashOutputStream& out) const {
    out.WriteU8(0x00);
    WriteRGBA(out, start_);
    WriteRGBA(out, end_);
}

void FlashMorphFillStyleGradient::WriteAs(FlashOutputStream& out, uint8_t type) const {
    out.WriteU8(type);
    out << start_;
    out << end_;
    gradient_.Write(out);
}

void FlashMorphFillStyleBitmap::Write(FlashOutputStream& out) const {
    out.WriteU8(tiled_ ? 0x40 : 0x41);
    out.WriteU16(bitmapId_);
    out << start_;
    out << end_;
}

void FlashMorphFillStyleArray::Write(FlashOutputStream& out) const {
    const std::size_t count = std::min<std::size_t>(styles_.size(), 0xFFFF);
    WriteCount(out, count);
    for (std::size_t i = 0; i < count; ++i) styles_[i]->Write(out);
}

void FlashMorphLineStyle::Write(FlashOutputStream& out) const {
    out.WriteU16(startWidth);
    out.WriteU16(endWidth);
    WriteRGBA(out, startColor);
    WriteRGBA(out, endColor);
}

void FlashMorphLineStyleArray::Write(FlashOutputStream& out) const {
    const std::size_t count = std::min<std::size_t>(styles_.size(), 0xFFFF);
    WriteCount(out, count);
    for (std::size_t i = 0; i < count; ++i) styles_[i].Write(out);
}

FlashOutputStream& FlashTagDefineMorphShape::Write(FlashOutputStream& out) {
    FlashOutputStream body;
    body.WriteU16(GetId());
    body << start_.GetBounds();
    body << end_.GetBounds();
    FlashOutputStream styledStart;
    fills_.Write(styledStart);
    lines_.Write(styledStart);
    styledStart << start_;
    body.WriteU32(uint32_t(styledStart.Size()));
    body.WriteBytes(styledStart);
    body << end_;
    WriteTagRecord(out, 46, body);
    return out;
}
