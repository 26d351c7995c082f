// The numeric types and small records of the SWF format: fixed-point numbers, RECT,
// MATRIX, colours and colour transforms, each with its insertion and extraction operation.
#pragma once

#include <cstdint>
#include <string>

#include "swf/bits.h"
#include "swf/stream.h"

// Base of every record whose encoding depends on the tag that carries it; the carrying
// tag sets the version before writing or reading.
class FlashVersionedRecord {
public:
    virtual ~FlashVersionedRecord() = default;
    virtual void SetVersion(int v) { version_ = v; }
    virtual int GetVersion() const { return version_; }

protected:
    int version_ = 1;
};

// 16.16 fixed point: a signed 16-bit integer part above an unsigned 16-bit fraction.
class FlashFixed {
public:
    FlashFixed() = default;
    FlashFixed(int16_t upper, uint16_t lower) : upper_(upper), lower_(lower) {}
    explicit FlashFixed(double x);
    static FlashFixed FromRaw(int32_t v) { return FlashFixed(int16_t(uint32_t(v) >> 16), uint16_t(v)); }

    int32_t ConvertToRaw() const { return int32_t(uint32_t(uint16_t(upper_)) << 16 | lower_); }
    double ConvertToDouble() const { return upper_ + lower_ / 65536.0; }
    int16_t GetUpper() const { return upper_; }
    uint16_t GetLower() const { return lower_; }
    // (v + 0x7FFF) >> 16, arithmetic: halves round down.
    static int32_t RoundRaw(int32_t v) { return int32_t((int64_t(v) + 0x7FFF) >> 16); }
    bool operator==(const FlashFixed&) const = default;

private:
    int16_t upper_ = 0;
    uint16_t lower_ = 0;
};

// 8.8 fixed point, as the frame rate of the file header.
class FlashFixed16 {
public:
    FlashFixed16() = default;
    FlashFixed16(uint8_t upper, uint8_t lower) : upper_(upper), lower_(lower) {}
    explicit FlashFixed16(double x);
    static FlashFixed16 FromRaw(uint16_t v) { return FlashFixed16(uint8_t(v >> 8), uint8_t(v)); }

    uint16_t ConvertToRaw() const { return uint16_t(upper_ << 8 | lower_); }
    double ConvertToDouble() const { return upper_ + lower_ / 256.0; }
    uint8_t GetUpper() const { return upper_; }
    uint8_t GetLower() const { return lower_; }
    bool operator==(const FlashFixed16&) const = default;

private:
    uint8_t upper_ = 0;
    uint8_t lower_ = 0;
};

// A rectangle in twips. Values are kept in 32 bits so that a frame or shape wider than
// 1638 pixels keeps its size; the written field width tops out at 31 bits.
class FlashRect {
public:
    FlashRect() = default;
    FlashRect(int32_t xmin, int32_t ymin, int32_t xmax, int32_t ymax)
        : xmin_(xmin), ymin_(ymin), xmax_(xmax), ymax_(ymax) {}

    int32_t GetX1() const { return xmin_; }
    int32_t GetY1() const { return ymin_; }
    int32_t GetX2() const { return xmax_; }
    int32_t GetY2() const { return ymax_; }
    void Set(int32_t xmin, int32_t ymin, int32_t xmax, int32_t ymax)
    {
        xmin_ = xmin; ymin_ = ymin; xmax_ = xmax; ymax_ = ymax;
    }
    // Bit width of each field as written (largest signed bit count of the four).
    int FieldBits() const;
    // Bytes the record takes when written.
    int WrittenSize() const { return (5 + 4 * FieldBits() + 7) / 8; }
    bool operator==(const FlashRect&) const = default;

private:
    int32_t xmin_ = 0, ymin_ = 0, xmax_ = 0, ymax_ = 0;
};

class FlashMatrix {
public:
    FlashMatrix() = default;
    FlashMatrix(bool hasScale, int32_t scaleX, int32_t scaleY, bool hasRotate, int32_t rotate0,
                int32_t rotate1, int32_t translateX, int32_t translateY)
        : hasScale_(hasScale), scaleX_(FlashFixed::FromRaw(scaleX)), scaleY_(FlashFixed::FromRaw(scaleY)),
          hasRotate_(hasRotate), rotateSkew0_(FlashFixed::FromRaw(rotate0)),
          rotateSkew1_(FlashFixed::FromRaw(rotate1)), translateX_(translateX), translateY_(translateY) {}

    void SetScale(FlashFixed x, FlashFixed y) { scaleX_ = x; scaleY_ = y; hasScale_ = true; }
    void SetRotate(FlashFixed r0, FlashFixed r1) { rotateSkew0_ = r0; rotateSkew1_ = r1; hasRotate_ = true; }
    void SetTranslate(int32_t x, int32_t y) { translateX_ = x; translateY_ = y; }

    bool HasScale() const { return hasScale_; }
    bool HasRotate() const { return hasRotate_; }
    FlashFixed GetScaleX() const { return scaleX_; }
    FlashFixed GetScaleY() const { return scaleY_; }
    FlashFixed GetRotate0() const { return rotateSkew0_; }
    FlashFixed GetRotate1() const { return rotateSkew1_; }
    int32_t GetTranslateX() const { return translateX_; }
    int32_t GetTranslateY() const { return translateY_; }
    bool operator==(const FlashMatrix&) const = default;

private:
    bool hasScale_ = false;
    FlashFixed scaleX_, scaleY_;
    bool hasRotate_ = false;
    FlashFixed rotateSkew0_, rotateSkew1_;
    int32_t translateX_ = 0, translateY_ = 0;
};

// A colour (RGB, or RGBA when hasAlpha) or one term set of a colour transform.
class FlashRGBA {
public:
    FlashRGBA() = default;
    FlashRGBA(int16_t r, int16_t g, int16_t b) : r_(r), g_(g), b_(b) {}
    FlashRGBA(int16_t r, int16_t g, int16_t b, int16_t a) : hasAlpha_(true), r_(r), g_(g), b_(b), a_(a) {}

    void SetAlphaWriteMode(bool on) { hasAlpha_ = on; }
    bool GetAlphaWriteMode() const { return hasAlpha_; }
    void SetRGBA(int16_t r, int16_t g, int16_t b, int16_t a) { r_ = r; g_ = g; b_ = b; a_ = a; }
    int16_t GetR() const { return r_; }
    int16_t GetG() const { return g_; }
    int16_t GetB() const { return b_; }
    int16_t GetA() const { return a_; }
    bool operator==(const FlashRGBA&) const = default;

private:
    bool hasAlpha_ = false;
    int16_t r_ = 0, g_ = 0, b_ = 0, a_ = 0;
};

// Version 1 is the CXFORM (no alpha terms); above 1 the CXFORMWITHALPHA.
class FlashColorTransform : public FlashVersionedRecord {
public:
    FlashColorTransform() = default;
    FlashColorTransform(bool hasAdd, const FlashRGBA& add, bool hasMult, const FlashRGBA& mult)
        : hasAdd_(hasAdd), hasMult_(hasMult), add_(add), mult_(mult) {}

    bool HasAdd() const { return hasAdd_; }
    bool HasMult() const { return hasMult_; }
    const FlashRGBA& GetAddTerms() const { return add_; }
    const FlashRGBA& GetMultTerms() const { return mult_; }
    void SetAdd(const FlashRGBA& add) { add_ = add; hasAdd_ = true; }
    void SetMult(const FlashRGBA& mult) { mult_ = mult; hasMult_ = true; }

    void Write(FlashOutputStream& out);
    void Read(FlashInputStream& in);

private:
    bool hasAdd_ = false;
    bool hasMult_ = false;
    FlashRGBA add_;
    FlashRGBA mult_;
};

// One term set in nbits-bit signed fields (nbits -1 means 8 bits per term).
void WriteColorTerms(FlashBitWriter& w, const FlashRGBA& terms, int nbits);
void ReadColorTerms(FlashBitReader& r, FlashRGBA& terms, int nbits);

// Matrix bits into a writer that may already hold other fields of a record.
void WriteMatrixBits(FlashBitWriter& w, const FlashMatrix& m);
void ReadMatrixBits(FlashBitReader& r, FlashMatrix& m);

FlashOutputStream& operator<<(FlashOutputStream& out, const FlashRect& r);
FlashInputStream& operator>>(FlashInputStream& in, FlashRect& r);
FlashOutputStream& operator<<(FlashOutputStream& out, const FlashMatrix& m);
FlashInputStream& operator>>(FlashInputStream& in, FlashMatrix& m);
// RGB, or RGBA when the colour's hasAlpha is set; components of 255 or more give 255,
// any other its low byte.
FlashOutputStream& operator<<(FlashOutputStream& out, const FlashRGBA& c);
FlashInputStream& operator>>(FlashInputStream& in, FlashRGBA& c);
FlashOutputStream& operator<<(FlashOutputStream& out, FlashColorTransform& t);
FlashInputStream& operator>>(FlashInputStream& in, FlashColorTransform& t);
