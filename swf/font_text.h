// Fonts and text: DefineFont (10) with glyph shapes, DefineText (11) and DefineText2
// (33) with their text records, DefineFont2 (48) with layout and kerning, and
// DefineEditText (37).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "swf/records.h"
#include "swf/shape.h"
#include "swf/tag.h"

class FlashTagDefineFont : public FlashTag, public FlashCharacterId {
public:
    // Appends a copy; a glyph's index is its position.
    void AddGlyph(const FlashShape& shape) { glyphs_.push_back(shape); }
    const std::vector<FlashShape>& GetGlyphs() const { return glyphs_; }
    FlashOutputStream& Write(FlashOutputStream& out) override;

private:
    std::vector<FlashShape> glyphs_;
};

class FlashTextRecord : public FlashVersionedRecord {
public:
    virtual void Write(FlashOutputStream& out, int glyphBits, int advanceBits) const = 0;
    virtual bool IsGlyphRecord() const = 0;
    virtual int GlyphBits() const { return 0; }
    virtual int AdvanceBits() const { return 0; }
};

// Introduces a run of glyphs: font and height, colour, and where the run starts.
class FlashTextRecordStyle : public FlashTextRecord {
public:
    FlashTextRecordStyle(bool hasFont, bool hasColor, bool hasXOffset, bool hasYOffset, uint16_t fontId,
                         uint16_t height, const FlashRGBA& color, int16_t xOffset, int16_t yOffset)
        : hasFont_(hasFont), hasColor_(hasColor), hasXOffset_(hasXOffset), hasYOffset_(hasYOffset), fontId_(fontId),
          height_(height), color_(color), xOffset_(xOffset), yOffset_(yOffset) {}
    // Colours are RGB at version 1 (DefineText), RGBA above (DefineText2).
    void Write(FlashOutputStream& out, int glyphBits, int advanceBits) const override;
    bool IsGlyphRecord() const override { return false; }
    uint16_t GetFontId() const { return fontId_; }

private:
    bool hasFont_, hasColor_, hasXOffset_, hasYOffset_;
    uint16_t fontId_;
    uint16_t height_;
    FlashRGBA color_;
    int16_t xOffset_, yOffset_;
};

class FlashTextRecordGlyphs : public FlashTextRecord {
public:
    struct Entry {
        uint16_t index;
        int16_t advance;
    };
    void AddEntry(uint16_t index, int16_t advance) { entries_.push_back({index, advance}); }
    const std::vector<Entry>& GetEntries() const { return entries_; }
    // A run holds at most 255 entries (its count is one byte).
    void Write(FlashOutputStream& out, int glyphBits, int advanceBits) const override;
    bool IsGlyphRecord() const override { return true; }
    int GlyphBits() const override;
    int AdvanceBits() const override;

private:
    std::vector<Entry> entries_;
};

// Records added stay the caller's and must live until the tag is written.
class FlashTagDefineText : public FlashTag, public FlashCharacterId {
public:
    FlashTagDefineText() = default;
    FlashTagDefineText(const FlashRect& bounds, const FlashMatrix& matrix) : bounds_(bounds), matrix_(matrix) {}
    void AddRecord(FlashTextRecord* record) { records_.push_back(record); }
    const FlashRect& GetBounds() const { return bounds_; }
    const std::vector<FlashTextRecord*>& GetRecords() const { return records_; }
    FlashOutputStream& Write(FlashOutputStream& out) override;
    // The same object as a DefineText2, whose colours carry alpha.
    FlashOutputStream& WriteText2(FlashOutputStream& out);

private:
    FlashOutputStream& WriteAs(FlashOutputStream& out, uint16_t code, int version);
    FlashRect bounds_;
    FlashMatrix matrix_;
    std::vector<FlashTextRecord*> records_;
};

// Version 2 and above writes wide (16-bit) codes.
class FlashKerningRecord : public FlashVersionedRecord {
public:
    FlashKerningRecord(uint16_t code1, uint16_t code2, int16_t adjustment)
        : code1_(code1), code2_(code2), adjustment_(adjustment) {}
    void Write(FlashOutputStream& out) const;
    uint16_t GetCode1() const { return code1_; }
    uint16_t GetCode2() const { return code2_; }

private:
    uint16_t code1_, code2_;
    int16_t adjustment_;
};

struct FlashFontLayout {
    uint16_t ascent = 0, descent = 0, leading = 0;
    std::vector<int16_t> advances;  // one per glyph
    std::vector<FlashRect> bounds;  // one per glyph
    std::vector<FlashKerningRecord> kerning;
};

class FlashTagDefineFont2 : public FlashTag, public FlashCharacterId {
public:
    // Flag bits other than those the writer forms (layout, wide offsets, wide codes):
    // 0x40 Shift-JIS, 0x20 small text, 0x10 ANSI, 0x02 italic, 0x01 bold.
    explicit FlashTagDefineFont2(const std::string& name = {}, uint8_t fontFlags = 0)
        : name_(name.substr(0, 255)), flags_(uint8_t(fontFlags & 0x73)) {}
    void AddGlyph(const FlashShape& shape, uint16_t code)
    {
        glyphs_.push_back(shape);
        codes_.push_back(code);
    }
    void SetLayout(const FlashFontLayout& layout) { layout_ = layout; hasLayout_ = true; }
    FlashOutputStream& Write(FlashOutputStream& out) override;

private:
    std::string name_;
    uint8_t flags_;
    bool hasLayout_ = false;
    std::vector<FlashShape> glyphs_;
    std::vector<uint16_t> codes_;
    FlashFontLayout layout_;
};

class FlashTagDefineEditText : public FlashTag, public FlashCharacterId {
public:
    enum : uint16_t {
        kHasText = 0x8000, kWordWrap = 0x4000, kMultiline = 0x2000, kPassword = 0x1000, kReadOnly = 0x0800,
        kHasColor = 0x0400, kHasMaxLength = 0x0200, kHasFont = 0x0100, kAutoSize = 0x0040, kHasLayout = 0x0020,
        kNoSelect = 0x0010, kBorder = 0x0008, kHtml = 0x0002, kUseOutlines = 0x0001
    };

    FlashTagDefineEditText() = default;
    FlashTagDefineEditText(const FlashRect& bounds, uint16_t flags, const std::string& variableName)
        : bounds_(bounds), flags_(flags), variable_(variableName) {}

    void SetFont(uint16_t fontId, uint16_t height) { fontId_ = fontId; fontHeight_ = height; flags_ |= kHasFont; }
    void SetColor(const FlashRGBA& c) { color_ = c; flags_ |= kHasColor; }
    void SetMaxLength(uint16_t n) { maxLength_ = n; flags_ |= kHasMaxLength; }
    void SetLayout(uint8_t align, uint16_t leftMargin, uint16_t rightMargin, uint16_t indent, uint16_t leading)
    {
        align_ = align; leftMargin_ = leftMargin; rightMargin_ = rightMargin; indent_ = indent; leading_ = leading;
        flags_ |= kHasLayout;
    }
    void SetInitialText(const std::string& text) { text_ = text; flags_ |= kHasText; }

    FlashOutputStream& Write(FlashOutputStream& out) override;
    FlashInputStream& Read(FlashInputStream& in) override;

    const FlashRect& GetBounds() const { return bounds_; }
    uint16_t GetFlags() const { return flags_; }
    uint16_t GetFontId() const { return fontId_; }
    uint16_t GetFontHeight() const { return fontHeight_; }
    const FlashRGBA& GetColor() const { return color_; }
    uint16_t GetMaxLength() const { return maxLength_; }
    uint8_t GetAlign() const { return align_; }
    uint16_t GetLeftMargin() const { return leftMargin_; }
    uint16_t GetRightMargin() const { return rightMargin_; }
    uint16_t GetIndent() const { return indent_; }
    uint16_t GetLeading() const { return leading_; }
    const std::string& GetVariableName() const { return variable_; }
    const std::string& GetInitialText() const { return text_; }

private:
    FlashRect bounds_;
    uint16_t flags_ = 0;
    uint16_t fontId_ = 0, fontHeight_ = 0;
    FlashRGBA color_{0, 0, 0, 255};
    uint16_t maxLength_ = 0;
    uint8_t align_ = 0;
    uint16_t leftMargin_ = 0, rightMargin_ = 0, indent_ = 0, leading_ = 0;
    std::string variable_;
    std::string text_;
};
