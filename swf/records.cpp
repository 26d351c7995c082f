#include "swf/records.h"

#include <algorithm>
#include <cmath>

namespace {

// Widest field a 5-bit count can announce; values beyond it are clamped to the field so
// that the written record stays readable.
constexpr int kMaxField = 31;
constexpr int32_t kMaxFieldValue = (1 << 30) - 1;
constexpr int32_t kMinFieldValue = -(1 << 30);

int32_t ClampField(int32_t v)
{
    return std::clamp(v, kMinFieldValue, kMaxFieldValue);
}

// Colour transform terms have a 4-bit count: at most 15-bit signed fields.
constexpr int kMaxTermBits = 15;
int16_t ClampTerm(int16_t v)
{
    return std::clamp<int16_t>(v, -(1 << 14), (1 << 14) - 1);
}


}  // namespace

// Values outside the type's range (or not a number) are clamped to it rather than
// converted with undefined results.
FlashFixed::FlashFixed(double x)
{
    if (!(x >= -32768.0)) x = -32768.0;
    if (x >= 32768.0) x = 32767.0 + 65535.0 / 65536.0;
    double f = std::floor(x);
    upper_ = int16_t(int32_t(f));
    lower_ = uint16_t(std::min((x - f) * 65536.0, 65535.0));
}

FlashFixed16::FlashFixed16(double x)
{
    if (!(x >= 0.0)) x = 0.0;
    if (x >= 256.0) x = 255.0 + 255.0 / 256.0;
    double f = std::floor(x);
    upper_ = uint8_t(int32_t(f));
    lower_ = uint8_t(std::min((x - f) * 256.0, 255.0));
}

int FlashRect::FieldBits() const
{
    int32_t a = ClampField(xmin_), b = ClampField(xmax_), c = ClampField(ymin_), d = ClampField(ymax_);
    int n = std::max({SignedBitCount(a), SignedBitCount(b), SignedBitCount(c), SignedBitCount(d)});
    return std::min(n, kMaxField);
}

FlashOutputStream& operator<<(FlashOutputStream& out, const FlashRect& r)
{
    int n = r.FieldBits();
    FlashBitWriter w;
    w.WriteBits(uint32_t(n), 5);
    w.WriteBits(uint32_t(ClampField(r.GetX1())), n);
    w.WriteBits(uint32_t(ClampField(r.GetX2())), n);
    w.WriteBits(uint32_t(ClampField(r.GetY1())), n);
    w.WriteBits(uint32_t(ClampField(r.GetY2())), n);
    w.Flush(out);
    return out;
}

FlashInputStream& operator>>(FlashInputStream& in, FlashRect& r)
{
    FlashBitReader br(in);
    int n = int(br.ReadBits(5));
    int32_t xmin = br.ReadSignedBits(n);
    int32_t xmax = br.ReadSignedBits(n);
    int32_t ymin = br.ReadSignedBits(n);
    int32_t ymax = br.ReadSignedBits(n);
    br.Finish();
    r.Set(xmin, ymin, xmax, ymax);
    return in;
}

void WriteMatrixBits(FlashBitWriter& w, const FlashMatrix& m)
{
    w.WriteBits(m.HasScale() ? 1 : 0, 1);
    if (m.HasScale()) {
        int32_t x = m.GetScaleX().ConvertToRaw(), y = m.GetScaleY().ConvertToRaw();
        int n = std::min(std::max(SignedBitCount(x), SignedBitCount(y)), kMaxField);
        w.WriteBits(uint32_t(n), 5);
        w.WriteBits(uint32_t(x), n);
        w.WriteBits(uint32_t(y), n);
    }
    w.WriteBits(m.HasRotate() ? 1 : 0, 1);
    if (m.HasRotate()) {
        int32_t r0 = m.GetRotate0().ConvertToRaw(), r1 = m.GetRotate1().ConvertToRaw();
        int n = std::min(std::max(SignedBitCount(r0), SignedBitCount(r1)), kMaxField);
        w.WriteBits(uint32_t(n), 5);
        w.WriteBits(uint32_t(r0), n);
        w.WriteBits(uint32_t(r1), n);
    }
    int32_t tx = ClampField(m.GetTranslateX()), ty = ClampField(m.GetTranslateY());
    int n = std::min(std::max(SignedBitCount(tx), SignedBitCount(ty)), kMaxField);
    w.WriteBits(uint32_t(n), 5);
    w.WriteBits(uint32_t(tx), n);
    w.WriteBits(uint32_t(ty), n);
}

void ReadMatrixBits(FlashBitReader& r, FlashMatrix& m)
{
    FlashMatrix result;
    if (r.ReadBits(1)) {
        int n = int(r.ReadBits(5));
        int32_t x = r.ReadSignedBits(n);
        int32_t y = r.ReadSignedBits(n);
        result.SetScale(FlashFixed::FromRaw(x), FlashFixed::FromRaw(y));
    }
    if (r.ReadBits(1)) {
        int n = int(r.ReadBits(5));
        int32_t r0 = r.ReadSignedBits(n);
        int32_t r1 = r.ReadSignedBits(n);
        result.SetRotate(FlashFixed::FromRaw(r0), FlashFixed::FromRaw(r1));
    }
    int n = int(r.ReadBits(5));
    int32_t tx = r.ReadSignedBits(n);
    int32_t ty = r.ReadSignedBits(n);
    result.SetTranslate(tx, ty);
    m = result;
}

FlashOutputStream& operator<<(FlashOutputStream& out, const FlashMatrix& m)
{
    FlashBitWriter w;
    WriteMatrixBits(w, m);
    w.Flush(out);
    return out;
}

FlashInputStream& operator>>(FlashInputStream& in, FlashMatrix& m)
{
    FlashBitReader br(in);
    ReadMatrixBits(br, m);
    br.Finish();
    return in;
}

static uint8_t ColorByte(int16_t v)
{
    return v >= 255 ? 255 : uint8_t(v);
}

FlashOutputStream& operator<<(FlashOutputStream& out, const FlashRGBA& c)
{
    out.WriteU8(ColorByte(c.GetR()));
    out.WriteU8(ColorByte(c.GetG()));
    out.WriteU8(ColorByte(c.GetB()));
    if (c.GetAlphaWriteMode()) out.WriteU8(ColorByte(c.GetA()));
    return out;
}

FlashInputStream& operator>>(FlashInputStream& in, FlashRGBA& c)
{
    int16_t r = in.ReadU8(), g = in.ReadU8(), b = in.ReadU8();
    int16_t a = c.GetAlphaWriteMode() ? in.ReadU8() : c.GetA();
    c.SetRGBA(r, g, b, a);
    return in;
}

void WriteColorTerms(FlashBitWriter& w, const FlashRGBA& terms, int nbits)
{
    if (nbits < 0) nbits = 8;
    w.WriteBits(uint32_t(int32_t(ClampTerm(terms.GetR()))), nbits);
    w.WriteBits(uint32_t(int32_t(ClampTerm(terms.GetG()))), nbits);
    w.WriteBits(uint32_t(int32_t(ClampTerm(terms.GetB()))), nbits);
    if (terms.GetAlphaWriteMode()) w.WriteBits(uint32_t(int32_t(ClampTerm(terms.GetA()))), nbits);
}

void ReadColorTerms(FlashBitReader& r, FlashRGBA& terms, int nbits)
{
    if (nbits < 0) nbits = 8;
    int16_t red = r.ReadSignedBits16(nbits);
    int16_t green = r.ReadSignedBits16(nbits);
    int16_t blue = r.ReadSignedBits16(nbits);
    int16_t alpha = terms.GetAlphaWriteMode() ? r.ReadSignedBits16(nbits) : terms.GetA();
    terms.SetRGBA(red, green, blue, alpha);
}

void FlashColorTransform::Write(FlashOutputStream& out)
{
    bool alpha = GetVersion() > 1;
    add_.SetAlphaWriteMode(alpha);
    mult_.SetAlphaWriteMode(alpha);
    int n = 0;
    for (const FlashRGBA* t : {&add_, &mult_}) {
        n = std::max({n, SignedBitCount16(ClampTerm(t->GetR())), SignedBitCount16(ClampTerm(t->GetG())),
                      SignedBitCount16(ClampTerm(t->GetB()))});
        if (alpha) n = std::max(n, SignedBitCount16(ClampTerm(t->GetA())));
    }
    n = std::min(n, kMaxTermBits);
    FlashBitWriter w;
    w.WriteBits(hasAdd_ ? 1 : 0, 1);
    w.WriteBits(hasMult_ ? 1 : 0, 1);
    w.WriteBits(uint32_t(n), 4);
    if (hasMult_) WriteColorTerms(w, mult_, n);
    if (hasAdd_) WriteColorTerms(w, add_, n);
    w.Flush(out);
}

void FlashColorTransform::Read(FlashInputStream& in)
{
    bool alpha = GetVersion() > 1;
    FlashBitReader br(in);
    hasAdd_ = br.ReadBits(1) != 0;
    hasMult_ = br.ReadBits(1) != 0;
    int n = int(br.ReadBits(4));
    add_.SetAlphaWriteMode(alpha);
    mult_.SetAlphaWriteMode(alpha);
    if (hasMult_) ReadColorTerms(br, mult_, n);
    if (hasAdd_) ReadColorTerms(br, add_, n);
    br.Finish();
}

FlashOutputStream& operator<<(FlashOutputStream& out, FlashColorTransform& t)
{
    t.Write(out);
    return out;
}

FlashInputStream& operator>>(FlashInputStream& in, FlashColorTransform& t)
{
    t.Read(in);
    return in;
}
