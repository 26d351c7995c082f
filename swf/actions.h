// Byte-coded actions of SWF version 5, the action-list readers and the DoAction tag.
// An action's header is its code byte, followed for codes of 0x80 and above by a 16-bit
// payload length. Codes without a class of their own are kept by FlashAction with their raw
// payload, so unknown actions read from a file write back unchanged.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "swf/stream.h"
#include "swf/tag.h"

class FlashAction {
public:
    FlashAction() = default;
    explicit FlashAction(uint8_t code) : code_(code) {}
    // Raw payload; the bytes stay the caller's and must live until the action is written.
    FlashAction(uint8_t code, const uint8_t* payload, uint16_t length)
        : code_(code), length_(length), payload_(payload) {}
    virtual ~FlashAction() = default;
    FlashAction(const FlashAction&) = delete;
    FlashAction& operator=(const FlashAction&) = delete;

    virtual FlashOutputStream& Write(FlashOutputStream& out);
    virtual FlashInputStream& Read(FlashInputStream& in);

    uint16_t GetActionCode() const { return code_; }
    // Payload length as last written or read.
    uint16_t GetActionLength() const { return length_; }
    const uint8_t* GetPayload() const { return payload_; }

protected:
    // Actions with fields write their payload here and read it back from a stream that
    // holds exactly the payload; the base class keeps raw bytes.
    virtual void WritePayload(FlashOutputStream& out);
    virtual void ReadPayload(FlashInputStream& payload);

    uint16_t code_ = 0;
    uint16_t length_ = 0;
    const uint8_t* payload_ = nullptr;
    std::vector<uint8_t> owned_;
};

#define FLASH_SIMPLE_ACTIONS(X)                                                                        \
    X(NextFrame, 0x04) X(PreviousFrame, 0x05) X(Play, 0x06) X(Stop, 0x07) X(ToggleQuality, 0x08)       \
    X(StopSounds, 0x09) X(Add, 0x0A) X(Subtract, 0x0B) X(Multiply, 0x0C) X(Divide, 0x0D)              \
    X(Equals, 0x0E) X(Less, 0x0F) X(And, 0x10) X(Or, 0x11) X(Not, 0x12) X(StringEquals, 0x13)         \
    X(StringLength, 0x14) X(StringExtract, 0x15) X(Pop, 0x17) X(ToInteger, 0x18)                       \
    X(GetVariable, 0x1C) X(SetVariable, 0x1D) X(SetTarget2, 0x20) X(StringAdd, 0x21)                   \
    X(GetProperty, 0x22) X(SetProperty, 0x23) X(CloneSprite, 0x24) X(RemoveSprite, 0x25)               \
    X(Trace, 0x26) X(StartDrag, 0x27) X(EndDrag, 0x28) X(StringLess, 0x29) X(RandomNumber, 0x30)      \
    X(MBStringLength, 0x31) X(CharToAscii, 0x32) X(AsciiToChar, 0x33) X(GetTime, 0x34)                \
    X(MBStringExtract, 0x35) X(MBCharToAscii, 0x36) X(MBAsciiToChar, 0x37) X(Delete, 0x3A)            \
    X(Delete2, 0x3B) X(DefineLocal, 0x3C) X(CallFunction, 0x3D) X(Return, 0x3E) X(Modulo, 0x3F)       \
    X(NewObject, 0x40) X(DefineLocal2, 0x41) X(InitArray, 0x42) X(InitObject, 0x43) X(TypeOf, 0x44)   \
    X(TargetPath, 0x45) X(Enumerate, 0x46) X(Add2, 0x47) X(Less2, 0x48) X(Equals2, 0x49)              \
    X(ToNumber, 0x4A) X(ToString, 0x4B) X(PushDuplicate, 0x4C) X(StackSwap, 0x4D) X(GetMember, 0x4E)  \
    X(SetMember, 0x4F) X(Increment, 0x50) X(Decrement, 0x51) X(CallMethod, 0x52) X(NewMethod, 0x53)   \
    X(BitAnd, 0x60) X(BitOr, 0x61) X(BitXor, 0x62) X(BitLShift, 0x63) X(BitRShift, 0x64)              \
    X(BitURShift, 0x65) X(CallFrame, 0x9E)

#define FLASH_DECLARE_SIMPLE_ACTION(Name, Code)                 \
    class FlashAction##Name : public FlashAction {              \
    public:                                                     \
        static constexpr uint8_t kCode = Code;                  \
        FlashAction##Name() : FlashAction(Code) {}              \
    };
FLASH_SIMPLE_ACTIONS(FLASH_DECLARE_SIMPLE_ACTION)
#undef FLASH_DECLARE_SIMPLE_ACTION

class FlashActionGotoFrame : public FlashAction {
public:
    explicit FlashActionGotoFrame(uint16_t frame = 0) : FlashAction(0x81), frame_(frame) {}
    uint16_t GetFrame() const { return frame_; }

protected:
    void WritePayload(FlashOutputStream& out) override;
    void ReadPayload(FlashInputStream& in) override;

private:
    uint16_t frame_;
};

class FlashActionGetURL : public FlashAction {
public:
    FlashActionGetURL() : FlashAction(0x83) {}
    FlashActionGetURL(const std::string& url, const std::string& target)
        : FlashAction(0x83), url_(url), target_(target) {}
    const std::string& GetURL() const { return url_; }
    const std::string& GetTarget() const { return target_; }

protected:
    void WritePayload(FlashOutputStream& out) override;
    void ReadPayload(FlashInputStream& in) override;

private:
    std::string url_, target_;
};

// An action whose payload is one byte.
class FlashByteAction : public FlashAction {
public:
    uint8_t GetValue() const { return value_; }

protected:
    FlashByteAction(uint8_t code, uint8_t value) : FlashAction(code), value_(value) {}
    void WritePayload(FlashOutputStream& out) override { out.WriteU8(value_); }
    void ReadPayload(FlashInputStream& in) override { value_ = in.ReadU8(); }
    uint8_t value_;
};

class FlashActionStoreRegister : public FlashByteAction {
public:
    explicit FlashActionStoreRegister(uint8_t reg = 0) : FlashByteAction(0x87, reg) {}
    uint8_t GetRegister() const { return value_; }
};

class FlashActionWaitForFrame2 : public FlashByteAction {
public:
    explicit FlashActionWaitForFrame2(uint8_t skipCount = 0) : FlashByteAction(0x8D, skipCount) {}
    uint8_t GetSkipCount() const { return value_; }
};

class FlashActionGetURL2 : public FlashByteAction {
public:
    explicit FlashActionGetURL2(uint8_t method = 0) : FlashByteAction(0x9A, method) {}
    uint8_t GetMethod() const { return value_; }
};

class FlashActionGotoFrame2 : public FlashByteAction {
public:
    explicit FlashActionGotoFrame2(uint8_t flags = 0) : FlashByteAction(0x9F, flags) {}
    uint8_t GetFlags() const { return value_; }
};

class FlashActionConstantPool : public FlashAction {
public:
    explicit FlashActionConstantPool(std::vector<std::string> strings = {})
        : FlashAction(0x88), strings_(std::move(strings)) {}
    const std::vector<std::string>& GetStrings() const { return strings_; }

protected:
    void WritePayload(FlashOutputStream& out) override;
    void ReadPayload(FlashInputStream& in) override;

private:
    std::vector<std::string> strings_;
};

class FlashActionWaitForFrame : public FlashAction {
public:
    explicit FlashActionWaitForFrame(uint16_t frame = 0, uint8_t skipCount = 0)
        : FlashAction(0x8A), frame_(frame), skipCount_(skipCount) {}
    uint16_t GetFrame() const { return frame_; }
    uint8_t GetSkipCount() const { return skipCount_; }

protected:
    void WritePayload(FlashOutputStream& out) override;
    void ReadPayload(FlashInputStream& in) override;

private:
    uint16_t frame_;
    uint8_t skipCount_;
};

// An action whose payload is one zero-terminated string.
class FlashStringAction : public FlashAction {
public:
    const std::string& GetString() const { return text_; }

protected:
    FlashStringAction(uint8_t code, const std::string& text) : FlashAction(code), text_(text) {}
    void WritePayload(FlashOutputStream& out) override { out.WriteString(text_); }
    void ReadPayload(FlashInputStream& in) override { text_ = in.ReadString(); }
    std::string text_;
};

class FlashActionSetTarget : public FlashStringAction {
public:
    explicit FlashActionSetTarget(const std::string& target = {}) : FlashStringAction(0x8B, target) {}
    const std::string& GetTarget() const { return text_; }
};

class FlashActionGotoLabel : public FlashStringAction {
public:
    explicit FlashActionGotoLabel(const std::string& label = {}) : FlashStringAction(0x8C, label) {}
    const std::string& GetLabel() const { return text_; }
};

class FlashActionPush : public FlashAction {
public:
    FlashActionPush() : FlashAction(0x96) {}
    // The data stays the caller's.
    FlashActionPush(uint8_t type, const uint8_t* data, uint16_t length)
        : FlashAction(0x96), type_(type), data_(data), dataLength_(length) {}
    uint8_t GetType() const { return type_; }
    uint16_t GetDataLength() const { return dataLength_; }
    const uint8_t* GetData() const { return data_; }

protected:
    void WritePayload(FlashOutputStream& out) override;
    void ReadPayload(FlashInputStream& in) override;

private:
    uint8_t type_ = 0;
    const uint8_t* data_ = nullptr;
    uint16_t dataLength_ = 0;
};

// Jump and If carry a signed 16-bit branch offset.
class FlashBranchAction : public FlashAction {
public:
    int16_t GetOffset() const { return offset_; }

protected:
    FlashBranchAction(uint8_t code, int16_t offset) : FlashAction(code), offset_(offset) {}
    void WritePayload(FlashOutputStream& out) override { out.WriteU16(uint16_t(offset_)); }
    void ReadPayload(FlashInputStream& in) override { offset_ = int16_t(in.ReadU16()); }
    int16_t offset_;
};

class FlashActionJump : public FlashBranchAction {
public:
    explicit FlashActionJump(int16_t offset = 0) : FlashBranchAction(0x99, offset) {}
};

class FlashActionIf : public FlashBranchAction {
public:
    explicit FlashActionIf(int16_t offset = 0) : FlashBranchAction(0x9D, offset) {}
};

// An action followed by a body of actions that its header's length does not cover;
// a 16-bit body size closes the payload. Body actions added by the caller stay the
// caller's; those read from a stream belong to the action.
// Deepest nesting of functions and with-blocks a reader accepts.
inline constexpr int kMaxActionNesting = 64;

class FlashBodyAction : public FlashAction {
public:
    void AddAction(FlashAction* action) { body_.push_back(action); }
    const std::vector<FlashAction*>& GetActions() const { return body_; }
    FlashOutputStream& Write(FlashOutputStream& out) override;
    FlashInputStream& Read(FlashInputStream& in) override;

protected:
    explicit FlashBodyAction(uint8_t code) : FlashAction(code) {}
    void WritePayload(FlashOutputStream& out) override;
    void ReadPayload(FlashInputStream& in) override;
    virtual void WriteHead(FlashOutputStream&) {}
    virtual void ReadHead(FlashInputStream&) {}

private:
    std::vector<FlashAction*> body_;
    std::vector<std::unique_ptr<FlashAction>> owned_actions_;
    FlashOutputStream bodyBytes_;
    uint16_t bodySize_ = 0;
};

class FlashActionDefineFunction : public FlashBodyAction {
public:
    // The function's name first, then its parameters.
    explicit FlashActionDefineFunction(std::vector<std::string> nameAndParameters = {});
    const std::string& GetName() const { return name_; }
    const std::vector<std::string>& GetParameters() const { return params_; }

protected:
    void WriteHead(FlashOutputStream& out) override;
    void ReadHead(FlashInputStream& in) override;

private:
    std::string name_;
    std::vector<std::string> params_;
};

// Written as the SWF format defines it (a 2-byte payload holding the body size, the body
// following), so that it reads back as written.
class FlashActionWith : public FlashBodyAction {
public:
    FlashActionWith() : FlashBodyAction(0x94) {}
};

// The action object of the class for a code (FlashAction for codes without one).
std::unique_ptr<FlashAction> CreateFlashAction(uint8_t code);

// Reads actions up to and including a 0 byte (or the end of the data).
void ReadActionList(FlashInputStream& in, std::vector<FlashAction*>& list,
                    std::vector<std::unique_ptr<FlashAction>>& owned);
// Reads exactly n actions (fewer when the data ends).
void ReadActionCount(FlashInputStream& in, std::vector<FlashAction*>& list,
                     std::vector<std::unique_ptr<FlashAction>>& owned, int n);

class FlashTagDoAction : public FlashControlTag {
public:
    // The action stays the caller's and must live until the tag is written.
    void AddAction(FlashAction* action) { actions_.push_back(action); }
    const std::vector<FlashAction*>& GetActions() const { return actions_; }
    FlashOutputStream& Write(FlashOutputStream& out) override;
    FlashInputStream& Read(FlashInputStream& in) override;

private:
    std::vector<FlashAction*> actions_;
    std::vector<std::unique_ptr<FlashAction>> owned_;
};
