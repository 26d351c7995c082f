// Morph shapes (DefineMorphShape 46): a shape the player interpolates between a start
// and an end form, with styles that hold a start and an end value each. Written only.
#pragma once

#include <cstdint>
#include <vector>

#include "swf/records.h"
#include "swf/shape.h"
#include "swf/tag.h"

struct FlashMorphGradientRecord {
    uint8_t startRatio = 0;
    FlashRGBA startColor;
    uint8_t endRatio = 0;
    FlashRGBA endColor;
};

class FlashMorphGradient {
public:
    void AddRecord(const FlashMorphGradientRecord& r) { records_.push_back(r); }
    const std::vector<FlashMorphGradientRecord>& GetRecords() const { return records_; }
    void Write(FlashOutputStream& out) const;

private:
    std::vector<FlashMorphGradientRecord> records_;
};

class FlashMorphFillStyle {
public:
    virtual ~FlashMorphFillStyle() = default;
    virtual void Write(FlashOutputStream& out) const = 0;
};

class FlashMorphFillStyleSolid : public FlashMorphFillStyle {
public:
    FlashMorphFillStyleSolid(const FlashRGBA& start, const FlashRGBA& end) : start_(start), end_(end) {}
    void Write(FlashOutputStream& out) const override;

private:
    FlashRGBA start_, end_;
};

class FlashMorphFillStyleGradient : public FlashMorphFillStyle {
public:
    FlashMorphFillStyleGradient(const FlashMatrix& start, const FlashMatrix& end, const FlashMorphGradient& gradient,
                                bool radial = false)
        : start_(start), end_(end), gradient_(gradient), radial_(radial) {}
    // The linear (0x10) and the radial (0x12) form.
    void WriteLinear(FlashOutputStream& out) const { WriteAs(out, 0x10); }
    void WriteRadial(FlashOutputStream& out) const { WriteAs(out, 0x12); }
    void Write(FlashOutputStream& out) const override { WriteAs(out, radial_ ? 0x12 : 0x10); }

private:
    void WriteAs(FlashOutputStream& out, uint8_t type) const;
    FlashMatrix start_, end_;
    FlashMorphGradient gradient_;
    bool radial_;
};

class FlashMorphFillStyleBitmap : public FlashMorphFillStyle {
public:
    FlashMorphFillStyleBitmap(uint16_t bitmapId, const FlashMatrix& start, const FlashMatrix& end, bool tiled)
        : bitmapId_(bitmapId), start_(start), end_(end), tiled_(tiled) {}
    void Write(FlashOutputStream& out) const override;

private:
    uint16_t bitmapId_;
    FlashMatrix start_, end_;
    bool tiled_;
};

// Styles added stay the caller's and must live until the tag is written.
class FlashMorphFillStyleArray {
public:
    void Add(const FlashMorphFillStyle* style) { styles_.push_back(style); }
    std::size_t Count() const { return styles_.size(); }
    void Write(FlashOutputStream& out) const;

private:
    std::vector<const FlashMorphFillStyle*> styles_;
};

struct FlashMorphLineStyle {
    uint16_t startWidth = 0, endWidth = 0;
    FlashRGBA startColor, endColor;
    void Write(FlashOutputStream& out) const;
};

class FlashMorphLineStyleArray {
public:
    void Add(const FlashMorphLineStyle& style) { styles_.push_back(style); }
    std::size_t Count() const { return styles_.size(); }
    void Write(FlashOutputStream& out) const;

private:
    std::vector<FlashMorphLineStyle> styles_;
};

// Both shapes are written with one-bit style indices, so their records can select
// fill style 1 and line style 1 or clear them.
class FlashTagDefineMorphShape : public FlashTag, public FlashCharacterId {
public:
    FlashTagDefineMorphShape() = default;
    FlashTagDefineMorphShape(const FlashShape& start, const FlashShape& end) : start_(start), end_(end) {}
    FlashMorphFillStyleArray& GetFillStyles() { return fills_; }
    FlashMorphLineStyleArray& GetLineStyles() { return lines_; }
    const FlashShape& GetStartShape() const { return start_; }
    const FlashShape& GetEndShape() const { return end_; }
    FlashOutputStream& Write(FlashOutputStream& out) override;

private:
    FlashShape start_, end_;
    FlashMorphFillStyleArray fills_;
    FlashMorphLineStyleArray lines_;
};
