// Vector shapes: fill and line styles, their arrays, the shape records, shapes with and
// without styles, their bounds, and the DefineShape tags (2, 22, 32).
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "swf/bits.h"
#include "swf/records.h"
#include "swf/tag.h"

// Styles carry the version of the tag that holds them: 1 DefineShape, 2 DefineShape2,
// 3 DefineShape3 (colours with alpha above 2).
class FlashFillStyle : public FlashVersionedRecord {
public:
    uint8_t GetType() const { return type_; }
    virtual void Write(FlashOutputStream&) {}
    virtual void Read(FlashInputStream&) {}

protected:
    explicit FlashFillStyle(uint8_t type) : type_(type) {}
    uint8_t type_;
};

class FlashFillStyleSolid : public FlashFillStyle {
public:
    explicit FlashFillStyleSolid(const FlashRGBA& color = FlashRGBA()) : FlashFillStyle(0x00), color_(color) {}
    const FlashRGBA& GetColor() const { return color_; }
    void Write(FlashOutputStream& out) override;
    void Read(FlashInputStream& in) override;

private:
    FlashRGBA color_;
};

class FlashGradient : public FlashVersionedRecord {
public:
    void AddRecord(uint8_t ratio, const FlashRGBA& color)
    {
        ratios_.push_back(ratio);
        colors_.push_back(color);
    }
    const std::vector<uint8_t>& GetRatios() const { return ratios_; }
    const std::vector<FlashRGBA>& GetColors() const { return colors_; }
    void Write(FlashOutputStream& out);
    void Read(FlashInputStream& in);

private:
    std::vector<uint8_t> ratios_;
    std::vector<FlashRGBA> colors_;
};

class FlashFillStyleGradient : public FlashFillStyle {
public:
    FlashFillStyleGradient() : FlashFillStyle(0x10) {}
    FlashFillStyleGradient(const FlashMatrix& matrix, const FlashGradient& gradient)
        : FlashFillStyle(0x10), matrix_(matrix), gradient_(gradient) {}
    const FlashMatrix& GetMatrix() const { return matrix_; }
    const FlashGradient& GetGradient() const { return gradient_; }
    void Write(FlashOutputStream& out) override;
    void Read(FlashInputStream& in) override;

private:
    FlashMatrix matrix_;
    FlashGradient gradient_;
};

// Type 0x40 is a tiled bitmap fill, 0x41 a clipped one.
class FlashFillStyleBitmap : public FlashFillStyle {
public:
    FlashFillStyleBitmap() : FlashFillStyle(0x41) {}
    FlashFillStyleBitmap(uint16_t bitmapId, const FlashMatrix& matrix, bool tiled)
        : FlashFillStyle(tiled ? 0x40 : 0x41), bitmapId_(bitmapId), matrix_(matrix), tiled_(tiled) {}
    uint16_t GetBitmapId() const { return bitmapId_; }
    const FlashMatrix& GetMatrix() const { return matrix_; }
    bool IsTiled() const { return tiled_; }
    void Write(FlashOutputStream& out) override;
    void Read(FlashInputStream& in) override;

private:
    uint16_t bitmapId_ = 0;
    FlashMatrix matrix_;
    bool tiled_ = false;
};

class FlashLineStyle : public FlashVersionedRecord {
public:
    FlashLineStyle() = default;
    FlashLineStyle(uint16_t width, const FlashRGBA& color) : width_(width), color_(color) {}
    uint16_t GetWidth() const { return width_; }
    const FlashRGBA& GetColor() const { return color_; }
    void Write(FlashOutputStream& out);
    void Read(FlashInputStream& in);

private:
    uint16_t width_ = 0;
    FlashRGBA color_;
};

// Ordered style lists; index 1 is the first style. Styles given to Add stay the caller's
// and must live until the array has been written; styles the array reads are shared by
// its copies, so a copied array never points at freed styles.
class FlashFillStyleArray : public FlashVersionedRecord {
public:
    int Add(FlashFillStyle* style);
    size_t Count() const { return styles_.size(); }
    FlashFillStyle* Get(size_t i) const { return styles_[i].get(); }
    void Write(FlashOutputStream& out);
    void Read(FlashInputStream& in);

private:
    std::vector<std::shared_ptr<FlashFillStyle>> styles_;
};

class FlashLineStyleArray : public FlashVersionedRecord {
public:
    int Add(FlashLineStyle* style);
    size_t Count() const { return styles_.size(); }
    FlashLineStyle* Get(size_t i) const { return styles_[i].get(); }
    void Write(FlashOutputStream& out);
    void Read(FlashInputStream& in);

private:
    std::vector<std::shared_ptr<FlashLineStyle>> styles_;
};

// Bits of the style index fields: 0 styles 0 bits, 1 one bit, 2-3 two, 4-7 three.
int StyleBitCount(const FlashFillStyleArray& a);
int StyleBitCount(const FlashLineStyleArray& a);

struct ShapeBitCounts {
    int fillBits = 0;
    int lineBits = 0;
    int version = 1;
};

class FlashShapeRecord : public FlashVersionedRecord {
public:
    virtual void Write(FlashBitWriter& w, ShapeBitCounts& counts) const = 0;
    virtual void Read(FlashBitReader& r, ShapeBitCounts& counts) = 0;
};

class FlashShapeRecordChange : public FlashShapeRecord {
public:
    FlashShapeRecordChange() = default;
    FlashShapeRecordChange(int32_t x, int32_t y) : moveTo_(true), moveX_(x), moveY_(y) {}

    void SetFillStyle0(uint16_t i) { fillStyle0_ = i; hasFillStyle0_ = true; }
    void SetFillStyle1(uint16_t i) { fillStyle1_ = i; hasFillStyle1_ = true; }
    void SetLineStyle(uint16_t i) { lineStyle_ = i; hasLineStyle_ = true; }
    void SetNewStyles(const FlashFillStyleArray& fills, const FlashLineStyleArray& lines)
    {
        fills_ = fills;
        lines_ = lines;
        newStyles_ = true;
    }

    bool HasNewStyles() const { return newStyles_; }
    bool HasLineStyle() const { return hasLineStyle_; }
    bool HasFillStyle1() const { return hasFillStyle1_; }
    bool HasFillStyle0() const { return hasFillStyle0_; }
    bool HasMoveTo() const { return moveTo_; }
    uint16_t GetFillStyle0() const { return fillStyle0_; }
    uint16_t GetFillStyle1() const { return fillStyle1_; }
    uint16_t GetLineStyle() const { return lineStyle_; }
    int32_t GetX() const { return moveX_; }
    int32_t GetY() const { return moveY_; }
    const FlashFillStyleArray& GetFillStyles() const { return fills_; }
    const FlashLineStyleArray& GetLineStyles() const { return lines_; }

    void Write(FlashBitWriter& w, ShapeBitCounts& counts) const override;
    // Reads the record's fields after its six flag bits; flags holds the low five.
    void ReadWithFlags(FlashBitReader& r, ShapeBitCounts& counts, uint32_t flags);
    void Read(FlashBitReader& r, ShapeBitCounts& counts) override;

private:
    bool newStyles_ = false;
    bool hasLineStyle_ = false;
    bool hasFillStyle1_ = false;
    bool hasFillStyle0_ = false;
    bool moveTo_ = false;
    uint16_t fillStyle0_ = 0, fillStyle1_ = 0, lineStyle_ = 0;
    int32_t moveX_ = 0, moveY_ = 0;
    FlashFillStyleArray fills_;
    FlashLineStyleArray lines_;
};

// Deltas are kept in 32 bits; an edge longer than one record's 17-bit fields can hold
// is written as several records.
class FlashShapeRecordStraight : public FlashShapeRecord {
public:
    FlashShapeRecordStraight(int32_t dx = 0, int32_t dy = 0) : dx_(dx), dy_(dy) {}
    int32_t GetDX() const { return dx_; }
    int32_t GetDY() const { return dy_; }
    void Write(FlashBitWriter& w, ShapeBitCounts& counts) const override;
    // Reads the edge after its edge and straight flags.
    void Read(FlashBitReader& r, ShapeBitCounts& counts) override;

private:
    int32_t dx_, dy_;
};

// The control point relative to the pen, then the anchor relative to the control point.
class FlashShapeRecordCurved : public FlashShapeRecord {
public:
    FlashShapeRecordCurved(int32_t cdx = 0, int32_t cdy = 0, int32_t adx = 0, int32_t ady = 0)
        : controlDX_(cdx), controlDY_(cdy), anchorDX_(adx), anchorDY_(ady) {}
    int32_t GetControlDX() const { return controlDX_; }
    int32_t GetControlDY() const { return controlDY_; }
    int32_t GetAnchorDX() const { return anchorDX_; }
    int32_t GetAnchorDY() const { return anchorDY_; }
    void Write(FlashBitWriter& w, ShapeBitCounts& counts) const override;
    void Read(FlashBitReader& r, ShapeBitCounts& counts) override;

private:
    int32_t controlDX_, controlDY_, anchorDX_, anchorDY_;
};

class FlashShapeRecordEnd : public FlashShapeRecord {
public:
    void Write(FlashBitWriter& w, ShapeBitCounts& counts) const override;
    void Read(FlashBitReader&, ShapeBitCounts&) override {}
};

// Records by kind, and the order in which they are written: (kind, index into the kind's
// list), kind 0 a style change, 1 a straight edge, 2 a curved edge.
class FlashShape {
public:
    enum Kind { kChange = 0, kStraight = 1, kCurved = 2 };

    void AddRecord(const FlashShapeRecordChange& r);
    void AddRecord(const FlashShapeRecordStraight& r);
    void AddRecord(const FlashShapeRecordCurved& r);

    const std::vector<FlashShapeRecordChange>& GetChanges() const { return changes_; }
    const std::vector<FlashShapeRecordStraight>& GetStraights() const { return straights_; }
    const std::vector<FlashShapeRecordCurved>& GetCurves() const { return curves_; }
    const std::vector<std::pair<int, size_t>>& GetOrder() const { return order_; }
    size_t RecordCount() const { return order_.size(); }

    // The smallest rectangle holding every point the records visit (control points
    // included, line widths not); (0, 0, 0, 0) without points.
    FlashRect GetBounds() const;

    // Writes every record in order with the counts, then the end record.
    void WriteRecords(FlashBitWriter& w, ShapeBitCounts& counts) const;
    // Reads records up to the end record.
    void ReadRecords(FlashBitReader& r, ShapeBitCounts& counts);

private:
    std::vector<FlashShapeRecordChange> changes_;
    std::vector<FlashShapeRecordStraight> straights_;
    std::vector<FlashShapeRecordCurved> curves_;
    std::vector<std::pair<int, size_t>> order_;
};

// The glyph form: one fill bit and one line bit, the records, the end record, padding.
FlashOutputStream& operator<<(FlashOutputStream& out, const FlashShape& s);
FlashInputStream& operator>>(FlashInputStream& in, FlashShape& s);

class FlashShapeWithStyle : public FlashVersionedRecord {
public:
    FlashShape& GetShape() { return shape_; }
    const FlashShape& GetShape() const { return shape_; }
    FlashFillStyleArray& GetFillStyles() { return fills_; }
    FlashLineStyleArray& GetLineStyles() { return lines_; }
    const FlashFillStyleArray& GetFillStyles() const { return fills_; }
    const FlashLineStyleArray& GetLineStyles() const { return lines_; }
    void AddRecord(const FlashShapeRecordChange& r) { shape_.AddRecord(r); }
    void AddRecord(const FlashShapeRecordStraight& r) { shape_.AddRecord(r); }
    void AddRecord(const FlashShapeRecordCurved& r) { shape_.AddRecord(r); }
    FlashRect GetBounds() const { return shape_.GetBounds(); }

    void Write(FlashOutputStream& out);
    void Read(FlashInputStream& in);

private:
    FlashShape shape_;
    FlashFillStyleArray fills_;
    FlashLineStyleArray lines_;
};

class FlashTagDefineShapeBase : public FlashTag {
public:
    FlashOutputStream& Write(FlashOutputStream& out) override;
    FlashInputStream& Read(FlashInputStream& in) override;

    const FlashCharacterId& GetCharacterId() const { return id_; }
    uint16_t GetId() const { return id_.GetId(); }
    // Bounds as read from a file (writing computes them from the records).
    const FlashRect& GetStoredBounds() const { return bounds_; }
    const FlashShapeWithStyle& GetShapes() const { return shapes_; }
    FlashShapeWithStyle& GetShapes() { return shapes_; }
    int GetVersion() const { return version_; }
    uint16_t GetCode() const { return code_; }

protected:
    FlashTagDefineShapeBase(uint16_t code, int version) : code_(code), version_(version) {}
    FlashTagDefineShapeBase(uint16_t code, int version, const FlashShapeWithStyle& s)
        : shapes_(s), code_(code), version_(version) {}

private:
    FlashCharacterId id_{true};
    FlashRect bounds_;
    FlashShapeWithStyle shapes_;
    uint16_t code_;
    int version_;
};

class FlashTagDefineShape1 : public FlashTagDefineShapeBase {
public:
    FlashTagDefineShape1() : FlashTagDefineShapeBase(2, 1) {}
    explicit FlashTagDefineShape1(const FlashShapeWithStyle& s) : FlashTagDefineShapeBase(2, 1, s) {}
};

class FlashTagDefineShape2 : public FlashTagDefineShapeBase {
public:
    FlashTagDefineShape2() : FlashTagDefineShapeBase(22, 2) {}
    explicit FlashTagDefineShape2(const FlashShapeWithStyle& s) : FlashTagDefineShapeBase(22, 2, s) {}
};

class FlashTagDefineShape3 : public FlashTagDefineShapeBase {
public:
    FlashTagDefineShape3() : FlashTagDefineShapeBase(32, 3) {}
    explicit FlashTagDefineShape3(const FlashShapeWithStyle& s) : FlashTagDefineShapeBase(32, 3, s) {}
};
