// Buttons: characters with up to four visual states drawn by other characters, and
// actions run on button events (DefineButton 7, DefineButton2 34), and the small
// DefineBitsPtr tag (1023).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "swf/actions.h"
#include "swf/records.h"
#include "swf/tag.h"

class FlashButtonRecord : public FlashVersionedRecord {
public:
    // State flags, as the SWF format defines them.
    enum : uint8_t { kUp = 0x01, kOver = 0x02, kDown = 0x04, kHitTest = 0x08 };

    FlashButtonRecord() = default;
    FlashButtonRecord(uint16_t characterId, uint16_t depth, uint8_t stateFlags, const FlashMatrix& matrix,
                      const FlashColorTransform& transform)
        : flags_(stateFlags), characterId_(characterId), depth_(depth), matrix_(matrix), transform_(transform) {}

    // The colour transform is written only above version 1 (DefineButton2 writes version 2).
    void Write(FlashOutputStream& out);
    void Read(FlashInputStream& in);

    uint8_t GetStateFlags() const { return flags_; }
    uint16_t GetCharacterId() const { return characterId_; }
    uint16_t GetDepth() const { return depth_; }
    const FlashMatrix& GetMatrix() const { return matrix_; }
    const FlashColorTransform& GetColorTransform() const { return transform_; }

private:
    uint8_t flags_ = 0;
    uint16_t characterId_ = 0;
    uint16_t depth_ = 0;
    FlashMatrix matrix_;
    FlashColorTransform transform_;
};

// Actions run on the button events named by the condition bits.
class FlashButtonCondAction {
public:
    FlashButtonCondAction(const std::vector<FlashAction*>& actions, uint16_t condition)
        : actions_(actions), condition_(condition) {}
    const std::vector<FlashAction*>& GetActions() const { return actions_; }
    uint16_t GetCondition() const { return condition_; }

private:
    std::vector<FlashAction*> actions_;
    uint16_t condition_;
};

// Records and actions added by the caller stay the caller's and must live until the
// tag is written; those read from a stream belong to the tag.
class FlashTagDefineButton : public FlashTag, public FlashCharacterId {
public:
    void AddRecord(FlashButtonRecord* record) { records_.push_back(record); }
    void AddAction(FlashAction* action) { actions_.push_back(action); }
    FlashOutputStream& Write(FlashOutputStream& out) override;
    FlashInputStream& Read(FlashInputStream& in) override;
    const std::vector<FlashButtonRecord*>& GetRecords() const { return records_; }
    const std::vector<FlashAction*>& GetActions() const { return actions_; }

private:
    std::vector<FlashButtonRecord*> records_;
    std::vector<FlashAction*> actions_;
    std::vector<std::unique_ptr<FlashButtonRecord>> ownedRecords_;
    std::vector<std::unique_ptr<FlashAction>> ownedActions_;
};

class FlashTagDefineButton2 : public FlashTag, public FlashCharacterId {
public:
    explicit FlashTagDefineButton2(bool trackAsMenu = false) : trackAsMenu_(trackAsMenu) {}
    void AddRecord(FlashButtonRecord* record) { records_.push_back(record); }
    void AddCondAction(const std::vector<FlashAction*>& actions, uint16_t condition)
    {
        condActions_.emplace_back(actions, condition);
    }
    FlashOutputStream& Write(FlashOutputStream& out) override;
    FlashInputStream& Read(FlashInputStream& in) override;
    bool GetTrackAsMenu() const { return trackAsMenu_; }
    const std::vector<FlashButtonRecord*>& GetRecords() const { return records_; }
    const std::vector<FlashButtonCondAction>& GetCondActions() const { return condActions_; }

private:
    bool trackAsMenu_;
    std::vector<FlashButtonRecord*> records_;
    std::vector<FlashButtonCondAction> condActions_;
    std::vector<std::unique_ptr<FlashButtonRecord>> ownedRecords_;
    std::vector<std::unique_ptr<FlashAction>> ownedActions_;
};

class FlashTagDefineBitsPtr : public FlashTag {
public:
    explicit FlashTagDefineBitsPtr(uint32_t ptr = 0) : ptr_(ptr) {}
    FlashOutputStream& Write(FlashOutputStream& out) override;
    FlashInputStream& Read(FlashInputStream& in) override;
    uint32_t GetPtr() const { return ptr_; }

private:
    uint32_t ptr_;
};
