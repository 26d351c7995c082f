#include "swf/font_text.h"

#include <algorithm>

namespace {

// A string written as the SWF STRING stops at its first 0 byte.
void WriteCString(FlashOutputStream& out, const std::string& s) { out.WriteString(s.substr(0, s.find('\0'))); }

}  // namespace

FlashOutputStream& FlashTagDefineFont::Write(FlashOutputStream& out) {
    FlashOutputStream shapes;
    std::vector<std::size_t> offsets;
    for (const FlashShape& g : glyphs_) {
        offsets.push_back(shapes.Size());
        shapes << g;
    }
    const std::size_t table = 2 * glyphs_.size();
    FlashTagHeader(10, uint32_t(shapes.Size() + table + 2)).Write(out);
    out.WriteU16(GetId());
    for (std::size_t offset : offsets) out.WriteU16(uint16_t(offset + table));
    out.WriteBytes(shapes);
    return out;
}

void FlashTextRecordStyle::Write(FlashOutputStream& out, int, int) const {
    // Flag bits: font 3, colour 2, y offset 1, x offset 0.
    out.WriteU8(uint8_t(0x80 | hasFont_ << 3 | hasColor_ << 2 | hasYOffset_ << 1 | hasXOffset_));
    if (hasFont_) out.WriteU16(fontId_);
    if (hasColor_) {
        FlashRGBA c = color_;
        c.SetAlphaWriteMode(GetVersion() > 1);
        out << c;
    }
    if (hasXOffset_) out.WriteU16(uint16_t(xOffset_));
    if (hasYOffset_) out.WriteU16(uint16_t(yOffset_));
    if (hasFont_) out.WriteU16(height_);
}

int FlashTextRecordGlyphs::GlyphBits() const {
    int bits = 0;
    for (const Entry& e : entries_) bits = std::max(bits, UnsignedBitCount16(e.index));
    return bits;
}

int FlashTextRecordGlyphs::AdvanceBits() const {
    int bits = 0;
    for (const Entry& e : entries_) bits = std::max(bits, SignedBitCount16(e.advance));
    return bits;
}

void FlashTextRecordGlyphs::Write(FlashOutputStream& out, int glyphBits, int advanceBits) const {
    const std::size_t count = std::min<std::size_t>(entries_.size(), 255);
    out.WriteU8(uint8_t(count));
    FlashBitWriter w;
    for (std::size_t i = 0; i < count; ++i) {
        w.WriteBits(entries_[i].index, glyphBits);
        w.WriteBits(uint32_t(int32_t(entries_[i].advance)), advanceBits);
    }
    w.Flush(out);
}

FlashOutputStream& FlashTagDefineText::Write(FlashOutputStream& out) { return WriteAs(out, 11, 1); }

FlashOutputStream& FlashTagDefineText::WriteText2(FlashOutputStream& out) { return WriteAs(out, 33, 2); }

FlashOutputStream& FlashTagDefineText::WriteAs(FlashOutputStream& out, uint16_t code, int version) {
    int glyphBits = 0, advanceBits = 0;
    for (const FlashTextRecord* r : records_) {
        if (!r->IsGlyphRecord()) continue;
        glyphBits = std::max(glyphBits, r->GlyphBits());
        advanceBits = std::max(advanceBits, r->AdvanceBits());
    }
    FlashOutputStream body;
    body.WriteU16(GetId());
    body << bounds_;
    body << matrix_;
    body.WriteU8(uint8_t(glyphBits));
    body.WriteU8(uint8_t(advanceBits));
    for (FlashTextRecord* r : records_) {
        r->SetVersion(version);
        r->Write(body, glyphBits, advanceBits);
    }
    body.WriteU8(0);
    WriteTagRecord(out, code, body);
    return out;
}

void FlashKerningRecord::Write(FlashOutputStream& out) const {
    if (GetVersion() < 2) {
        out.WriteU8(uint8_t(code1_));
        out.WriteU8(uint8_t(code2_));
    } else {
        out.WriteU16(code1_);
        out.WriteU16(code2_);
    }
    out.WriteU16(uint16_t(adjustment_));
}

FlashOutputStream& FlashTagDefineFont2::Write(FlashOutputStream& out) {
    const std::size_t n = glyphs_.size();
    FlashOutputStream shapes;
    std::vector<std::size_t> starts;
    for (const FlashShape& g : glyphs_) {
        starts.push_back(shapes.Size());
        shapes << g;
    }
    // Offsets count from the start of the offset table, which ends with the code
    // table's own offset; 32-bit entries once any offset outgrows 16 bits, and 16-bit
    // codes once any code outgrows a byte.
    const bool wideOffsets = (n + 1) * 2 + shapes.Size() > 0xFFFF;
    const std::size_t entry = wideOffsets ? 4 : 2;
    const std::size_t table = (n + 1) * entry;
    const bool wideCodes = std::any_of(codes_.begin(), codes_.end(), [](uint16_t c) { return c > 0xFF; });

    FlashOutputStream body;
    body.WriteU8(uint8_t(name_.size()));
    body.WriteBytes(name_.data(), name_.size());
    body.WriteU16(uint16_t(n));
    auto writeOffset = [&](std::size_t v) {
        if (wideOffsets) body.WriteU32(uint32_t(v));
        else body.WriteU16(uint16_t(v));
    };
    for (std::size_t s : starts) writeOffset(table + s);
    writeOffset(table + shapes.Size());
    body.WriteBytes(shapes);
    for (uint16_t c : codes_) {
        if (wideCodes) body.WriteU16(c);
        else body.WriteU8(uint8_t(c));
    }
    if (hasLayout_) {
        body.WriteU16(layout_.ascent);
        body.WriteU16(layout_.descent);
        body.WriteU16(layout_.leading);
        for (std::size_t i = 0; i < n; ++i)
            body.WriteU16(uint16_t(i < layout_.advances.size() ? layout_.advances[i] : 0));
        for (std::size_t i = 0; i < n; ++i) body << (i < layout_.bounds.size() ? layout_.bounds[i] : FlashRect());
        body.WriteU16(uint16_t(layout_.kerning.size()));
        for (FlashKerningRecord k : layout_.kerning) {
            k.SetVersion(wideCodes ? 2 : 1);
            k.Write(body);
        }
    }
    FlashTagHeader(48, uint32_t(body.Size() + 4)).Write(out);
    out.WriteU16(GetId());
    out.WriteU8(uint8_t(flags_ | hasLayout_ << 7 | wideOffsets << 3 | wideCodes << 2));
    out.WriteU8(0);
    out.WriteBytes(body);
    return out;
}

FlashOutputStream& FlashTagDefineEditText::Write(FlashOutputStream& out) {
    FlashOutputStream body;
    body.WriteU16(GetId());
    body << bounds_;
    body.WriteU8(uint8_t(flags_ >> 8));
    body.WriteU8(uint8_t(flags_ & 0xFF));
    if (flags_ & kHasFont) {
        body.WriteU16(fontId_);
        body.WriteU16(fontHeight_);
    }
    if (flags_ & kHasColor) {
        FlashRGBA c = color_;
        c.SetAlphaWriteMode(true);
        body << c;
    }
    if (flags_ & kHasMaxLength) body.WriteU16(maxLength_);
    if (flags_ & kHasLayout) {
        body.WriteU8(align_);
        body.WriteU16(leftMargin_);
        body.WriteU16(rightMargin_);
        body.WriteU16(indent_);
        body.WriteU16(leading_);
    }
    WriteCString(body, variable_);
    if (flags_ & kHasText) WriteCString(body, text_);
    WriteTagRecord(out, 37, body);
    return out;
}

FlashInputStream& FlashTagDefineEditText::Read(FlashInputStream& in) {
    SetId(in.ReadU16());
    in >> bounds_;
    const uint8_t high = in.ReadU8();
    flags_ = uint16_t(high << 8 | in.ReadU8());
    if (flags_ & kHasFont) {
        fontId_ = in.ReadU16();
        fontHeight_ = in.ReadU16();
    }
    if (flags_ & kHasColor) {
        color_.SetAlphaWriteMode(true);
        in >> color_;
    }
    if (flags_ & kHasMaxLength) maxLength_ = in.ReadU16();
    if (flags_ & kHasLayout) {
        align_ = in.ReadU8();
        leftMargin_ = in.ReadU16();
        rightMargin_ = in.ReadU16();
        indent_ = in.ReadU16();
        leading_ = in.ReadU16();
    }
    variable_ = in.ReadString();
    if (flags_ & kHasText) text_ = in.ReadString();
    return in;
}
