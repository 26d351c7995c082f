#include "swf/actions.h"

#include <algorithm>

FlashOutputStream& FlashAction::Write(FlashOutputStream& out)
{
    if (code_ < 0x80) {
        out.WriteU8(uint8_t(code_));
        return out;
    }
    FlashOutputStream payload;
    WritePayload(payload);
    // The length field is 16 bits: a larger payload cannot be written at all.
    if (payload.Failed() || payload.Size() > 0xFFFF) {
        out.Fail();
        return out;
    }
    length_ = uint16_t(payload.Size());
    out.WriteU8(uint8_t(code_));
    out.WriteU16(length_);
    out.WriteBytes(payload.Data(), length_);
    return out;
}

FlashInputStream& FlashAction::Read(FlashInputStream& in)
{
    code_ = in.ReadU8();
    length_ = 0;
    if (code_ < 0x80) return in;
    length_ = in.ReadU16();
    FlashInputStream payload = in.Sub(length_);
    if (payload.Failed()) return in;
    ReadPayload(payload);
    if (payload.Failed()) in.Fail();
    return in;
}

void FlashAction::WritePayload(FlashOutputStream& out)
{
    if (payload_) out.WriteBytes(payload_, length_);
}

void FlashAction::ReadPayload(FlashInputStream& in)
{
    in.ReadBytes(owned_, in.Remaining());
    payload_ = owned_.data();
}

void FlashActionGotoFrame::WritePayload(FlashOutputStream& out)
{
    out.WriteU16(frame_);
}

void FlashActionGotoFrame::ReadPayload(FlashInputStream& in)
{
    frame_ = in.ReadU16();
}

void FlashActionGetURL::WritePayload(FlashOutputStream& out)
{
    out.WriteString(url_);
    out.WriteString(target_);
}

void FlashActionGetURL::ReadPayload(FlashInputStream& in)
{
    url_ = in.ReadString();
    target_ = in.ReadString();
}

void FlashActionConstantPool::WritePayload(FlashOutputStream& out)
{
    out.WriteU16(uint16_t(strings_.size()));
    for (const auto& s : strings_) out.WriteString(s);
}

void FlashActionConstantPool::ReadPayload(FlashInputStream& in)
{
    strings_.clear();
    uint16_t count = in.ReadU16();
    for (uint16_t i = 0; i < count && !in.Failed(); ++i) {
        std::string s = in.ReadString();
        if (!in.Failed()) strings_.push_back(std::move(s));
    }
}

void FlashActionWaitForFrame::WritePayload(FlashOutputStream& out)
{
    out.WriteU16(frame_);
    out.WriteU8(skipCount_);
}

void FlashActionWaitForFrame::ReadPayload(FlashInputStream& in)
{
    frame_ = in.ReadU16();
    skipCount_ = in.ReadU8();
}

void FlashActionPush::WritePayload(FlashOutputStream& out)
{
    out.WriteU8(type_);
    if (data_) out.WriteBytes(data_, dataLength_);
}

void FlashActionPush::ReadPayload(FlashInputStream& in)
{
    type_ = in.ReadU8();
    in.ReadBytes(owned_, in.Remaining());
    data_ = owned_.data();
    dataLength_ = uint16_t(owned_.size());
}

FlashOutputStream& FlashBodyAction::Write(FlashOutputStream& out)
{
    bodyBytes_ = FlashOutputStream();
    for (FlashAction* a : body_) a->Write(bodyBytes_);
    // The body's size is a 16-bit field too.
    if (bodyBytes_.Failed() || bodyBytes_.Size() > 0xFFFF) {
        bodyBytes_.Reset();
        out.Fail();
        return out;
    }
    bodySize_ = uint16_t(bodyBytes_.Size());
    FlashAction::Write(out);
    if (!out.Failed()) out.WriteBytes(bodyBytes_.Data(), bodySize_);
    bodyBytes_.Reset();
    return out;
}

void FlashBodyAction::WritePayload(FlashOutputStream& out)
{
    WriteHead(out);
    out.WriteU16(bodySize_);
}

void FlashBodyAction::ReadPayload(FlashInputStream& in)
{
    ReadHead(in);
    bodySize_ = in.ReadU16();
}

FlashInputStream& FlashBodyAction::Read(FlashInputStream& in)
{
    body_.clear();
    owned_actions_.clear();
    bodySize_ = 0;
    // Functions and with-blocks nest inside each other; a file nesting them deeper than
    // any script does is refused rather than read into a stack overflow.
    static thread_local int depth = 0;
    if (depth >= kMaxActionNesting) {
        in.Fail();
        return in;
    }
    struct Level {
        Level() { ++depth; }
        ~Level() { --depth; }
    } level;
    FlashAction::Read(in);
    if (in.Failed()) return in;
    FlashInputStream body = in.Sub(bodySize_);
    while (!body.AtEnd() && !body.Failed()) {
        auto action = CreateFlashAction(body.PeekU8());
        action->Read(body);
        body_.push_back(action.get());
        owned_actions_.push_back(std::move(action));
    }
    if (body.Failed()) in.Fail();
    return in;
}

FlashActionDefineFunction::FlashActionDefineFunction(std::vector<std::string> nameAndParameters)
    : FlashBodyAction(0x9B)
{
    if (!nameAndParameters.empty()) {
        name_ = nameAndParameters.front();
        params_.assign(nameAndParameters.begin() + 1, nameAndParameters.end());
    }
}

void FlashActionDefineFunction::WriteHead(FlashOutputStream& out)
{
    out.WriteString(name_);
    out.WriteU16(uint16_t(params_.size()));
    for (const auto& p : params_) out.WriteString(p);
}

void FlashActionDefineFunction::ReadHead(FlashInputStream& in)
{
    name_ = in.ReadString();
    params_.clear();
    uint16_t count = in.ReadU16();
    for (uint16_t i = 0; i < count && !in.Failed(); ++i) {
        std::string p = in.ReadString();
        if (!in.Failed()) params_.push_back(std::move(p));
    }
}

std::unique_ptr<FlashAction> CreateFlashAction(uint8_t code)
{
    switch (code) {
#define FLASH_CREATE_SIMPLE_ACTION(Name, Code) \
    case Code: return std::make_unique<FlashAction##Name>();
        FLASH_SIMPLE_ACTIONS(FLASH_CREATE_SIMPLE_ACTION)
#undef FLASH_CREATE_SIMPLE_ACTION
    case 0x81: return std::make_unique<FlashActionGotoFrame>();
    case 0x83: return std::make_unique<FlashActionGetURL>();
    case 0x87: return std::make_unique<FlashActionStoreRegister>();
    case 0x88: return std::make_unique<FlashActionConstantPool>();
    case 0x8A: return std::make_unique<FlashActionWaitForFrame>();
    case 0x8B: return std::make_unique<FlashActionSetTarget>();
    case 0x8C: return std::make_unique<FlashActionGotoLabel>();
    case 0x8D: return std::make_unique<FlashActionWaitForFrame2>();
    case 0x94: return std::make_unique<FlashActionWith>();
    case 0x96: return std::make_unique<FlashActionPush>();
    case 0x99: return std::make_unique<FlashActionJump>();
    case 0x9A: return std::make_unique<FlashActionGetURL2>();
    case 0x9B: return std::make_unique<FlashActionDefineFunction>();
    case 0x9D: return std::make_unique<FlashActionIf>();
    case 0x9F: return std::make_unique<FlashActionGotoFrame2>();
    default: return std::make_unique<FlashAction>(code);
    }
}

void ReadActionList(FlashInputStream& in, std::vector<FlashAction*>& list,
                    std::vector<std::unique_ptr<FlashAction>>& owned)
{
    while (!in.Failed()) {
        if (in.AtEnd()) {
            in.Fail();  // the list has no end byte
            return;
        }
        uint8_t code = in.PeekU8();
        if (code == 0) {
            in.Skip(1);
            return;
        }
        auto action = CreateFlashAction(code);
        action->Read(in);
        list.push_back(action.get());
        owned.push_back(std::move(action));
    }
}

void ReadActionCount(FlashInputStream& in, std::vector<FlashAction*>& list,
                     std::vector<std::unique_ptr<FlashAction>>& owned, int n)
{
    for (int i = 0; i < n && !in.Failed(); ++i) {
        if (in.AtEnd()) {
            in.Fail();
            return;
        }
        auto action = CreateFlashAction(in.PeekU8());
        action->Read(in);
        list.push_back(action.get());
        owned.push_back(std::move(action));
    }
}

FlashOutputStream& FlashTagDoAction::Write(FlashOutputStream& out)
{
    FlashOutputStream body;
    for (FlashAction* a : actions_) a->Write(body);
    if (body.Failed()) {
        out.Fail();
        return out;
    }
    body.WriteU8(0);
    WriteTagRecord(out, 12, body);
    return out;
}

FlashInputStream& FlashTagDoAction::Read(FlashInputStream& in)
{
    actions_.clear();
    owned_.clear();
    ReadActionList(in, actions_, owned_);
    return in;
}
