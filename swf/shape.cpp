#include "swf/shape.h"

#include <algorithm>
#include <cstdlib>

namespace {

// A NumBits field of 4 bits gives edge deltas of at most 17 bits.
constexpr int kMaxEdgeBits = 17;
constexpr int32_t kMaxEdgeDelta = 65535;
constexpr int kMaxMoveBits = 31;

int EdgeBits(std::initializer_list<int32_t> deltas)
{
    int nb = 0;
    for (int32_t d : deltas) nb = std::max(nb, SignedBitCount(d));
    return nb;
}

void SetColorMode(FlashRGBA& c, int version)
{
    c.SetAlphaWriteMode(version > 2);
}

template <typename Style>
std::shared_ptr<Style> Unowned(Style* s)
{
    return std::shared_ptr<Style>(s, [](Style*) {});
}

// Count of a style array: one byte, or 0xFF and a 16-bit count in the tags that have the
// extended form (a single 0xFF byte there would announce it).
void WriteStyleCount(FlashOutputStream& out, size_t count, int version)
{
    if (version > 1 && count >= 0xFF) {
        out.WriteU8(0xFF);
        out.WriteU16(uint16_t(count));
    } else {
        out.WriteU8(uint8_t(count));
    }
}

size_t WritableStyleCount(size_t count, int version)
{
    return std::min<size_t>(count, version > 1 ? 0xFFFF : 0xFF);
}

size_t ReadStyleCount(FlashInputStream& in, int version)
{
    size_t count = in.ReadU8();
    if (count == 0xFF && version > 1) count = in.ReadU16();
    return count;
}

template <typename Style>
void WriteStyles(FlashOutputStream& out, const std::vector<std::shared_ptr<Style>>& styles, int version)
{
    size_t n = WritableStyleCount(styles.size(), version);
    WriteStyleCount(out, n, version);
    for (size_t i = 0; i < n; ++i) {
        styles[i]->SetVersion(version);
        styles[i]->Write(out);
    }
}

void WriteStraightPiece(FlashBitWriter& w, int32_t dx, int32_t dy)
{
    int nb = EdgeBits({dx, dy});
    int numBits = nb >= 3 ? nb - 2 : 1;
    int field = numBits + 2;
    w.WriteBits(1, 1);  // edge
    w.WriteBits(1, 1);  // straight
    w.WriteBits(uint32_t(numBits), 4);
    if (dx == 0) {
        w.WriteBits(0, 1);
        w.WriteBits(1, 1);
        w.WriteBits(uint32_t(dy), field);
    } else if (dy != 0) {
        w.WriteBits(1, 1);
        w.WriteBits(uint32_t(dx), field);
        w.WriteBits(uint32_t(dy), field);
    } else {
        w.WriteBits(0, 1);
        w.WriteBits(0, 1);
        w.WriteBits(uint32_t(dx), field);
    }
}

void WriteCurvedPieces(FlashBitWriter& w, int64_t cdx, int64_t cdy, int64_t adx, int64_t ady)
{
    auto fits = [](int64_t v) { return v >= -kMaxEdgeDelta && v <= kMaxEdgeDelta; };
    if (fits(cdx) && fits(cdy) && fits(adx) && fits(ady)) {
        int nb = EdgeBits({int32_t(cdx), int32_t(cdy), int32_t(adx), int32_t(ady)});
        int numBits = nb >= 3 ? nb - 2 : 1;
        int field = numBits + 2;
        w.WriteBits(1, 1);  // edge
        w.WriteBits(0, 1);  // curved
        w.WriteBits(uint32_t(numBits), 4);
        w.WriteBits(uint32_t(cdx), field);
        w.WriteBits(uint32_t(cdy), field);
        w.WriteBits(uint32_t(adx), field);
        w.WriteBits(uint32_t(ady), field);
        return;
    }
    // Split the quadratic at its middle; the second half ends exactly at the anchor.
    auto half = [](int64_t v) { return v >= 0 ? v / 2 : -((-v + 1) / 2); };
    int64_t cx = cdx, cy = cdy, ax = cdx + adx, ay = cdy + ady;
    int64_t m1x = half(cx), m1y = half(cy);
    int64_t m2x = cx + half(ax - cx), m2y = cy + half(ay - cy);
    int64_t mx = m1x + half(m2x - m1x), my = m1y + half(m2y - m1y);
    WriteCurvedPieces(w, m1x, m1y, mx - m1x, my - m1y);
    WriteCurvedPieces(w, m2x - mx, m2y - my, ax - m2x, ay - m2y);
}

}  // namespace

void FlashFillStyleSolid::Write(FlashOutputStream& out)
{
    out.WriteU8(type_);
    SetColorMode(color_, GetVersion());
    out << color_;
}

void FlashFillStyleSolid::Read(FlashInputStream& in)
{
    type_ = in.ReadU8();
    SetColorMode(color_, GetVersion());
    in >> color_;
}

void FlashGradient::Write(FlashOutputStream& out)
{
    size_t n = std::min<size_t>(ratios_.size(), 0xFF);
    out.WriteU8(uint8_t(n));
    for (size_t i = 0; i < n; ++i) {
        out.WriteU8(ratios_[i]);
        SetColorMode(colors_[i], GetVersion());
        out << colors_[i];
    }
}

void FlashGradient::Read(FlashInputStream& in)
{
    ratios_.clear();
    colors_.clear();
    uint8_t n = in.ReadU8();
    for (uint8_t i = 0; i < n && !in.Failed(); ++i) {
        uint8_t ratio = in.ReadU8();
        FlashRGBA c;
        SetColorMode(c, GetVersion());
        in >> c;
        AddRecord(ratio, c);
    }
}

void FlashFillStyleGradient::Write(FlashOutputStream& out)
{
    out.WriteU8(type_);
    out << matrix_;
    gradient_.SetVersion(GetVersion());
    gradient_.Write(out);
}

void FlashFillStyleGradient::Read(FlashInputStream& in)
{
    type_ = in.ReadU8();
    in >> matrix_;
    gradient_.SetVersion(GetVersion());
    gradient_.Read(in);
}

void FlashFillStyleBitmap::Write(FlashOutputStream& out)
{
    out.WriteU8(tiled_ ? 0x40 : 0x41);
    out.WriteU16(bitmapId_);
    out << matrix_;
}

void FlashFillStyleBitmap::Read(FlashInputStream& in)
{
    type_ = in.ReadU8();
    tiled_ = type_ == 0x40;
    bitmapId_ = in.ReadU16();
    in >> matrix_;
}

void FlashLineStyle::Write(FlashOutputStream& out)
{
    out.WriteU16(width_);
    SetColorMode(color_, GetVersion());
    out << color_;
}

void FlashLineStyle::Read(FlashInputStream& in)
{
    width_ = in.ReadU16();
    SetColorMode(color_, GetVersion());
    in >> color_;
}

int FlashFillStyleArray::Add(FlashFillStyle* style)
{
    styles_.push_back(Unowned(style));
    return int(styles_.size());
}

void FlashFillStyleArray::Write(FlashOutputStream& out)
{
    WriteStyles(out, styles_, GetVersion());
}

void FlashFillStyleArray::Read(FlashInputStream& in)
{
    styles_.clear();
    size_t n = ReadStyleCount(in, GetVersion());
    for (size_t i = 0; i < n && !in.Failed(); ++i) {
        uint8_t type = in.PeekU8();
        std::shared_ptr<FlashFillStyle> style;
        if (type == 0x00)
            style = std::make_shared<FlashFillStyleSolid>();
        else if (type == 0x10 || type == 0x12)
            style = std::make_shared<FlashFillStyleGradient>();
        else if (type == 0x40 || type == 0x41)
            style = std::make_shared<FlashFillStyleBitmap>();
        if (!style) {
            in.Skip(1);
            continue;
        }
        style->SetVersion(GetVersion());
        style->Read(in);
        styles_.push_back(std::move(style));
    }
}

int FlashLineStyleArray::Add(FlashLineStyle* style)
{
    styles_.push_back(Unowned(style));
    return int(styles_.size());
}

void FlashLineStyleArray::Write(FlashOutputStream& out)
{
    WriteStyles(out, styles_, GetVersion());
}

void FlashLineStyleArray::Read(FlashInputStream& in)
{
    styles_.clear();
    size_t n = ReadStyleCount(in, GetVersion());
    for (size_t i = 0; i < n && !in.Failed(); ++i) {
        auto style = std::make_shared<FlashLineStyle>();
        style->SetVersion(GetVersion());
        style->Read(in);
        styles_.push_back(std::move(style));
    }
}

int StyleBitCount(const FlashFillStyleArray& a)
{
    return UnsignedBitCount(uint32_t(a.Count()));
}

int StyleBitCount(const FlashLineStyleArray& a)
{
    return UnsignedBitCount(uint32_t(a.Count()));
}

void FlashShapeRecordChange::Write(FlashBitWriter& w, ShapeBitCounts& counts) const
{
    w.WriteBits(0, 1);
    w.WriteBits(newStyles_, 1);
    w.WriteBits(hasLineStyle_, 1);
    w.WriteBits(hasFillStyle1_, 1);
    w.WriteBits(hasFillStyle0_, 1);
    w.WriteBits(moveTo_, 1);
    if (moveTo_) {
        int n = std::min(std::max(SignedBitCount(moveX_), SignedBitCount(moveY_)), kMaxMoveBits);
        w.WriteBits(uint32_t(n), 5);
        w.WriteBits(uint32_t(moveX_), n);
        w.WriteBits(uint32_t(moveY_), n);
    }
    if (hasFillStyle0_) w.WriteBits(fillStyle0_, counts.fillBits);
    if (hasFillStyle1_) w.WriteBits(fillStyle1_, counts.fillBits);
    if (hasLineStyle_) w.WriteBits(lineStyle_, counts.lineBits);
    if (newStyles_) {
        FlashFillStyleArray fills = fills_;
        FlashLineStyleArray lines = lines_;
        fills.SetVersion(counts.version);
        lines.SetVersion(counts.version);
        FlashOutputStream buffer;
        fills.Write(buffer);
        lines.Write(buffer);
        int fillBits = StyleBitCount(fills), lineBits = StyleBitCount(lines);
        buffer.WriteU8(uint8_t(fillBits << 4 | lineBits));
        w.WriteBytes(buffer.Data(), buffer.Size());
        counts.fillBits = fillBits;
        counts.lineBits = lineBits;
    }
}

void FlashShapeRecordChange::ReadWithFlags(FlashBitReader& r, ShapeBitCounts& counts, uint32_t flags)
{
    SetVersion(counts.version);
    newStyles_ = flags & 0x10;
    hasLineStyle_ = flags & 0x08;
    hasFillStyle1_ = flags & 0x04;
    hasFillStyle0_ = flags & 0x02;
    moveTo_ = flags & 0x01;
    if (moveTo_) {
        int n = int(r.ReadBits(5));
        moveX_ = r.ReadSignedBits(n);
        moveY_ = r.ReadSignedBits(n);
    }
    if (hasFillStyle0_) fillStyle0_ = uint16_t(r.ReadBits(counts.fillBits));
    if (hasFillStyle1_) fillStyle1_ = uint16_t(r.ReadBits(counts.fillBits));
    if (hasLineStyle_) lineStyle_ = uint16_t(r.ReadBits(counts.lineBits));
    if (newStyles_) {
        r.Finish();
        fills_.SetVersion(counts.version);
        lines_.SetVersion(counts.version);
        fills_.Read(r.Stream());
        lines_.Read(r.Stream());
        counts.fillBits = int(r.ReadBits(4));
        counts.lineBits = int(r.ReadBits(4));
    }
}

void FlashShapeRecordChange::Read(FlashBitReader& r, ShapeBitCounts& counts)
{
    ReadWithFlags(r, counts, r.ReadBits(5));
}

void FlashShapeRecordStraight::Write(FlashBitWriter& w, ShapeBitCounts&) const
{
    int64_t span = std::max(std::llabs(int64_t(dx_)), std::llabs(int64_t(dy_)));
    int64_t pieces = std::max<int64_t>(1, (span + kMaxEdgeDelta - 1) / kMaxEdgeDelta);
    int64_t px = 0, py = 0;
    for (int64_t i = 1; i <= pieces; ++i) {
        int64_t x = int64_t(dx_) * i / pieces, y = int64_t(dy_) * i / pieces;
        WriteStraightPiece(w, int32_t(x - px), int32_t(y - py));
        px = x;
        py = y;
    }
}

void FlashShapeRecordStraight::Read(FlashBitReader& r, ShapeBitCounts&)
{
    int field = int(r.ReadBits(4)) + 2;
    if (r.ReadBits(1)) {
        dx_ = r.ReadSignedBits(field);
        dy_ = r.ReadSignedBits(field);
    } else if (r.ReadBits(1)) {
        dx_ = 0;
        dy_ = r.ReadSignedBits(field);
    } else {
        dx_ = r.ReadSignedBits(field);
        dy_ = 0;
    }
}

void FlashShapeRecordCurved::Write(FlashBitWriter& w, ShapeBitCounts&) const
{
    WriteCurvedPieces(w, controlDX_, controlDY_, anchorDX_, anchorDY_);
}

void FlashShapeRecordCurved::Read(FlashBitReader& r, ShapeBitCounts&)
{
    int field = int(r.ReadBits(4)) + 2;
    controlDX_ = r.ReadSignedBits(field);
    controlDY_ = r.ReadSignedBits(field);
    anchorDX_ = r.ReadSignedBits(field);
    anchorDY_ = r.ReadSignedBits(field);
}

void FlashShapeRecordEnd::Write(FlashBitWriter& w, ShapeBitCounts&) const
{
    w.WriteBits(0, 6);
}

void FlashShape::AddRecord(const FlashShapeRecordChange& r)
{
    order_.emplace_back(kChange, changes_.size());
    changes_.push_back(r);
}

void FlashShape::AddRecord(const FlashShapeRecordStraight& r)
{
    order_.emplace_back(kStraight, straights_.size());
    straights_.push_back(r);
}

void FlashShape::AddRecord(const FlashShapeRecordCurved& r)
{
    order_.emplace_back(kCurved, curves_.size());
    curves_.push_back(r);
}

FlashRect FlashShape::GetBounds() const
{
    bool any = false;
    int64_t x = 0, y = 0, x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    auto visit = [&](int64_t px, int64_t py) {
        if (!any) {
            x1 = x2 = px;
            y1 = y2 = py;
            any = true;
        } else {
            x1 = std::min(x1, px);
            x2 = std::max(x2, px);
            y1 = std::min(y1, py);
            y2 = std::max(y2, py);
        }
    };
    for (const auto& [kind, i] : order_) {
        if (kind == kChange) {
            if (!changes_[i].HasMoveTo()) continue;
            x = changes_[i].GetX();
            y = changes_[i].GetY();
            visit(x, y);
        } else if (kind == kStraight) {
            x += straights_[i].GetDX();
            y += straights_[i].GetDY();
            visit(x, y);
        } else {
            x += curves_[i].GetControlDX();
            y += curves_[i].GetControlDY();
            visit(x, y);
            x += curves_[i].GetAnchorDX();
            y += curves_[i].GetAnchorDY();
            visit(x, y);
        }
    }
    auto clamp = [](int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
    return FlashRect(clamp(x1), clamp(y1), clamp(x2), clamp(y2));
}

void FlashShape::WriteRecords(FlashBitWriter& w, ShapeBitCounts& counts) const
{
    for (const auto& [kind, i] : order_) {
        if (kind == kChange)
            changes_[i].Write(w, counts);
        else if (kind == kStraight)
            straights_[i].Write(w, counts);
        else
            curves_[i].Write(w, counts);
    }
    FlashShapeRecordEnd().Write(w, counts);
}

void FlashShape::ReadRecords(FlashBitReader& r, ShapeBitCounts& counts)
{
    FlashInputStream& in = r.Stream();
    while (!in.Failed()) {
        if (r.ReadBits(1) == 0) {
            uint32_t flags = r.ReadBits(5);
            if (flags == 0 || in.Failed()) break;
            FlashShapeRecordChange change;
            change.ReadWithFlags(r, counts, flags);
            AddRecord(change);
        } else if (r.ReadBits(1)) {
            FlashShapeRecordStraight straight;
            straight.Read(r, counts);
            straight.SetVersion(counts.version);
            AddRecord(straight);
        } else {
            FlashShapeRecordCurved curved;
            curved.Read(r, counts);
            curved.SetVersion(counts.version);
            AddRecord(curved);
        }
    }
}

FlashOutputStream& operator<<(FlashOutputStream& out, const FlashShape& s)
{
    FlashBitWriter w;
    w.WriteBits(1, 4);
    w.WriteBits(1, 4);
    ShapeBitCounts counts{1, 1, 1};
    s.WriteRecords(w, counts);
    w.Flush(out);
    return out;
}

FlashInputStream& operator>>(FlashInputStream& in, FlashShape& s)
{
    FlashBitReader r(in);
    r.ReadBits(4);
    r.ReadBits(4);
    ShapeBitCounts counts{1, 1, 1};
    s.ReadRecords(r, counts);
    r.Finish();
    return in;
}

void FlashShapeWithStyle::Write(FlashOutputStream& out)
{
    fills_.SetVersion(GetVersion());
    lines_.SetVersion(GetVersion());
    fills_.Write(out);
    lines_.Write(out);
    FlashBitWriter w;
    ShapeBitCounts counts{StyleBitCount(fills_), StyleBitCount(lines_), GetVersion()};
    w.WriteBits(uint32_t(counts.fillBits), 4);
    w.WriteBits(uint32_t(counts.lineBits), 4);
    shape_.WriteRecords(w, counts);
    w.Flush(out);
}

void FlashShapeWithStyle::Read(FlashInputStream& in)
{
    fills_.SetVersion(GetVersion());
    lines_.SetVersion(GetVersion());
    fills_.Read(in);
    lines_.Read(in);
    shape_ = FlashShape();
    FlashBitReader r(in);
    ShapeBitCounts counts;
    counts.fillBits = int(r.ReadBits(4));
    counts.lineBits = int(r.ReadBits(4));
    counts.version = GetVersion();
    shape_.ReadRecords(r, counts);
    r.Finish();
}

FlashOutputStream& FlashTagDefineShapeBase::Write(FlashOutputStream& out)
{
    FlashOutputStream body;
    body.WriteU16(id_.GetId());
    body << shapes_.GetBounds();
    shapes_.SetVersion(version_);
    shapes_.Write(body);
    WriteTagRecord(out, code_, body);
    return out;
}

FlashInputStream& FlashTagDefineShapeBase::Read(FlashInputStream& in)
{
    id_.SetId(in.ReadU16());
    in >> bounds_;
    shapes_.SetVersion(version_);
    shapes_.Read(in);
    return in;
}
