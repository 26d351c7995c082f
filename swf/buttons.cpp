#include "swf/buttons.h"

namespace {

// Reads records up to a 0 flags byte (consumed), or the end of the data.
void ReadButtonRecords(FlashInputStream& in, int version, std::vector<FlashButtonRecord*>& records,
                       std::vector<std::unique_ptr<FlashButtonRecord>>& owned) {
    while (!in.Failed()) {
        if (in.AtEnd()) {
            in.Fail();
            return;
        }
        if (in.PeekU8() == 0) {
            in.Skip(1);
            return;
        }
        auto record = std::make_unique<FlashButtonRecord>();
        record->SetVersion(version);
        record->Read(in);
        records.push_back(record.get());
        owned.push_back(std::move(record));
    }
}

}  // namespace

void FlashButtonRecord::Write(FlashOutputStream& out) {
    out.WriteU8(flags_);
    out.WriteU16(characterId_);
    out.WriteU16(depth_);
    out << matrix_;
    if (GetVersion() > 1) {
        transform_.SetVersion(GetVersion());
        out << transform_;
    }
}

void FlashButtonRecord::Read(FlashInputStream& in) {
    flags_ = in.ReadU8();
    characterId_ = in.ReadU16();
    depth_ = in.ReadU16();
    in >> matrix_;
    transform_.SetVersion(GetVersion());
    if (GetVersion() > 1) in >> transform_;
}

FlashOutputStream& FlashTagDefineButton::Write(FlashOutputStream& out) {
    FlashOutputStream body;
    for (FlashButtonRecord* r : records_) {
        r->SetVersion(0);
        r->Write(body);
    }
    body.WriteU8(0);
    for (FlashAction* a : actions_) a->Write(body);
    body.WriteU8(0);
    if (body.Failed()) {
        out.Fail();
        return out;
    }
    FlashTagHeader(7, uint32_t(body.Size() + 2)).Write(out);
    out.WriteU16(GetId());
    out.WriteBytes(body);
    return out;
}

FlashInputStream& FlashTagDefineButton::Read(FlashInputStream& in) {
    SetId(in.ReadU16());
    ReadButtonRecords(in, 1, records_, ownedRecords_);
    ReadActionList(in, actions_, ownedActions_);
    return in;
}

FlashOutputStream& FlashTagDefineButton2::Write(FlashOutputStream& out) {
    FlashOutputStream body;
    for (FlashButtonRecord* r : records_) {
        r->SetVersion(2);
        r->Write(body);
    }
    body.WriteU8(0);
    const std::size_t recordsLength = body.Size();
    for (std::size_t i = 0; i < condActions_.size(); ++i) {
        FlashOutputStream entry;
        entry.WriteU16(condActions_[i].GetCondition());
        for (FlashAction* a : condActions_[i].GetActions()) a->Write(entry);
        entry.WriteU8(0);
        const bool last = i + 1 == condActions_.size();
        // The offset to the next entry is 16 bits.
        if (entry.Failed() || (!last && entry.Size() + 2 > 0xFFFF)) {
            out.Fail();
            return out;
        }
        body.WriteU16(last ? 0 : uint16_t(entry.Size() + 2));
        body.WriteBytes(entry);
    }
    FlashTagHeader(34, uint32_t(body.Size() + 5)).Write(out);
    out.WriteU16(GetId());
    out.WriteU8(trackAsMenu_ ? 1 : 0);
    // A button without actions says so with offset 0, so readers look for none
    // past the records.
    out.WriteU16(condActions_.empty() ? 0 : uint16_t(recordsLength + 2));
    out.WriteBytes(body);
    return out;
}

FlashInputStream& FlashTagDefineButton2::Read(FlashInputStream& in) {
    SetId(in.ReadU16());
    trackAsMenu_ = in.ReadU8() == 1;
    const uint16_t actionOffset = in.ReadU16();
    ReadButtonRecords(in, 2, records_, ownedRecords_);
    if (actionOffset == 0) return in;
    while (!in.Failed() && !in.AtEnd()) {
        const uint16_t size = in.ReadU16();
        const uint16_t condition = in.ReadU16();
        std::vector<FlashAction*> actions;
        ReadActionList(in, actions, ownedActions_);
        condActions_.emplace_back(actions, condition);
        if (size == 0) break;
    }
    return in;
}

FlashOutputStream& FlashTagDefineBitsPtr::Write(FlashOutputStream& out) {
    FlashTagHeader(1023, 4).Write(out);
    out.WriteU32(ptr_);
    return out;
}

FlashInputStream& FlashTagDefineBitsPtr::Read(FlashInputStream& in) {
    ptr_ = in.ReadU32();
    return in;
}
