// Sprites: characters with a timeline of their own (DefineSprite 39), and the small
// movie-reference tag (38).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "swf/tag.h"

class FlashTagDefineSprite : public FlashTag, public FlashCharacterId {
public:
    // The tag stays the caller's and must live until the sprite is written.
    void AddTag(FlashControlTag* tag)
    {
        tags_.push_back(tag);
        if (tag->IsShowFrame()) ++frames_;
    }
    FlashOutputStream& Write(FlashOutputStream& out) override;
    // The timeline is not read back.
    FlashInputStream& Read(FlashInputStream& in) override { return in; }
    uint16_t GetFrameCount() const { return frames_; }
    const std::vector<FlashControlTag*>& GetTags() const { return tags_; }

private:
    std::vector<FlashControlTag*> tags_;
    uint16_t frames_ = 0;
};

class FlashTagDefineMovie : public FlashTag, public FlashCharacterId {
public:
    FlashTagDefineMovie() = default;
    explicit FlashTagDefineMovie(const std::string& name) : name_(name) {}
    FlashOutputStream& Write(FlashOutputStream& out) override;
    FlashInputStream& Read(FlashInputStream& in) override;
    const std::string& GetName() const { return name_; }

private:
    std::string name_;
};
