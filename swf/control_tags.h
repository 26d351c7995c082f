// Tags that arrange characters on the stage and control the movie without defining a
// character. Write emits the record header and the body; Read reads the body only, from a
// stream that holds that body (the tag's length set first).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "swf/records.h"
#include "swf/tag.h"

class FlashTagShowFrame : public FlashControlTag {
public:
    FlashOutputStream& Write(FlashOutputStream& out) override;
    FlashInputStream& Read(FlashInputStream& in) override { return in; }
    bool IsShowFrame() const override { return true; }
};

class FlashTagEnd : public FlashControlTag {
public:
    FlashOutputStream& Write(FlashOutputStream& out) override;
    FlashInputStream& Read(FlashInputStream& in) override { return in; }
};

class FlashTagPlaceObject : public FlashControlTag {
public:
    FlashTagPlaceObject() = default;
    FlashTagPlaceObject(uint16_t characterId, uint16_t depth, const FlashMatrix& matrix)
        : characterId_(characterId), depth_(depth), matrix_(matrix) {}
    FlashTagPlaceObject(uint16_t characterId, uint16_t depth, const FlashMatrix& matrix,
                        const FlashColorTransform& transform)
        : characterId_(characterId), depth_(depth), matrix_(matrix), hasColorTransform_(true),
          colorTransform_(transform) {}

    FlashOutputStream& Write(FlashOutputStream& out) override;
    FlashInputStream& Read(FlashInputStream& in) override;

    uint16_t GetCharacterId() const { return characterId_; }
    uint16_t GetDepth() const { return depth_; }
    const FlashMatrix& GetMatrix() const { return matrix_; }
    bool HasColorTransform() const { return hasColorTransform_; }
    const FlashColorTransform& GetColorTransform() const { return colorTransform_; }

private:
    uint16_t characterId_ = 0;
    uint16_t depth_ = 0;
    FlashMatrix matrix_;
    bool hasColorTransform_ = false;
    FlashColorTransform colorTransform_;
};

class FlashTagPlaceObject2 : public FlashControlTag {
public:
    FlashTagPlaceObject2() = default;
    FlashTagPlaceObject2(uint16_t depth, uint16_t characterId)
        : hasCharacter_(true), depth_(depth), characterId_(characterId) {}
    FlashTagPlaceObject2(uint16_t depth, uint16_t characterId, const FlashMatrix& matrix,
                         const FlashColorTransform& transform)
        : hasCharacter_(true), hasMatrix_(true), hasColorTransform_(true), depth_(depth),
          characterId_(characterId), matrix_(matrix), colorTransform_(transform) {}

    void SetMove(bool move) { move_ = move; }
    void SetName(const std::string& name) { name_ = name; hasName_ = true; }
    void SetRatio(uint16_t ratio) { ratio_ = ratio; hasRatio_ = true; }
    void SetClipDepth(uint16_t depth) { clipDepth_ = depth; hasClipDepth_ = true; }
    void SetMatrix(const FlashMatrix& m) { matrix_ = m; hasMatrix_ = true; }
    void SetColorTransform(const FlashColorTransform& t) { colorTransform_ = t; hasColorTransform_ = true; }

    FlashOutputStream& Write(FlashOutputStream& out) override;
    FlashInputStream& Read(FlashInputStream& in) override;

    bool HasName() const { return hasName_; }
    bool HasCharacter() const { return hasCharacter_; }
    bool HasMove() const { return move_; }
    bool HasMatrix() const { return hasMatrix_; }
    bool HasColorTransform() const { return hasColorTransform_; }
    bool HasRatio() const { return hasRatio_; }
    bool HasClipDepth() const { return hasClipDepth_; }
    uint16_t GetDepth() const { return depth_; }
    const std::string& GetName() const { return name_; }
    uint16_t GetCharacterId() const { return characterId_; }
    const FlashMatrix& GetMatrix() const { return matrix_; }
    const FlashColorTransform& GetColorTransform() const { return colorTransform_; }
    uint16_t GetRatio() const { return ratio_; }
    uint16_t GetClipDepth() const { return clipDepth_; }
    // The flag byte as written: bit 7 (clip actions) is never set.
    uint8_t FlagByte() const;

private:
    bool hasName_ = false;
    bool hasCharacter_ = false;
    bool move_ = false;
    bool hasMatrix_ = false;
    bool hasColorTransform_ = false;
    bool hasRatio_ = false;
    bool hasClipDepth_ = false;
    uint16_t depth_ = 0;
    std::string name_;
    uint16_t characterId_ = 0;
    FlashMatrix matrix_;
    FlashColorTransform colorTransform_{false, FlashRGBA(0, 0, 0, 255), false, FlashRGBA(0, 0, 0, 255)};
    uint16_t ratio_ = 0;
    uint16_t clipDepth_ = 0;
};

class FlashTagRemoveObject : public FlashControlTag {
public:
    FlashTagRemoveObject() = default;
    FlashTagRemoveObject(uint16_t characterId, uint16_t depth) : characterId_(characterId), depth_(depth) {}
    FlashOutputStream& Write(FlashOutputStream& out) override;
    FlashInputStream& Read(FlashInputStream& in) override;
    uint16_t GetCharacterId() const { return characterId_; }
    uint16_t GetDepth() const { return depth_; }

private:
    uint16_t characterId_ = 0;
    uint16_t depth_ = 0;
};

class FlashTagRemoveObject2 : public FlashControlTag {
public:
    FlashTagRemoveObject2() = default;
    explicit FlashTagRemoveObject2(uint16_t depth) : depth_(depth) {}
    FlashOutputStream& Write(FlashOutputStream& out) override;
    FlashInputStream& Read(FlashInputStream& in) override;
    uint16_t GetDepth() const { return depth_; }

private:
    uint16_t depth_ = 0;
};

class FlashTagBackgroundColor : public FlashTag {
public:
    FlashTagBackgroundColor() = default;
    FlashTagBackgroundColor(uint8_t r, uint8_t g, uint8_t b) : r_(r), g_(g), b_(b) {}
    FlashOutputStream& Write(FlashOutputStream& out) override;
    FlashInputStream& Read(FlashInputStream& in) override;
    uint8_t GetR() const { return r_; }
    uint8_t GetG() const { return g_; }
    uint8_t GetB() const { return b_; }

private:
    uint8_t r_ = 0, g_ = 0, b_ = 0;
};

// Protect (24) and EnableDebugger (58) share their layout: an optional password.
class FlashPasswordTag : public FlashTag {
public:
    FlashOutputStream& Write(FlashOutputStream& out) override;
    FlashInputStream& Read(FlashInputStream& in) override;
    bool HasPassword() const { return hasPassword_; }
    const std::string& GetPassword() const { return password_; }
    void SetPassword(const std::string& p) { password_ = p; hasPassword_ = true; }

protected:
    explicit FlashPasswordTag(uint16_t code) : code_(code) {}
    FlashPasswordTag(uint16_t code, const std::string& password)
        : code_(code), hasPassword_(true), password_(password) {}

private:
    uint16_t code_;
    bool hasPassword_ = false;
    std::string password_;
};

class FlashTagProtect : public FlashPasswordTag {
public:
    FlashTagProtect() : FlashPasswordTag(24) {}
    explicit FlashTagProtect(const std::string& password) : FlashPasswordTag(24, password) {}
};

class FlashTagEnableDebugger : public FlashPasswordTag {
public:
    FlashTagEnableDebugger() : FlashPasswordTag(58) {}
    explicit FlashTagEnableDebugger(const std::string& password) : FlashPasswordTag(58, password) {}
};

class FlashTagLabelFrame : public FlashControlTag {
public:
    FlashTagLabelFrame() = default;
    explicit FlashTagLabelFrame(const std::string& label) : label_(label) {}
    FlashOutputStream& Write(FlashOutputStream& out) override;
    FlashInputStream& Read(FlashInputStream& in) override;
    const std::string& GetLabel() const { return label_; }

private:
    std::string label_;
};

class FlashTagExportAssets : public FlashTag {
public:
    void AddAsset(const std::string& name, uint16_t id) { names_.push_back(name); ids_.push_back(id); }
    FlashOutputStream& Write(FlashOutputStream& out) override;
    FlashInputStream& Read(FlashInputStream& in) override;
    const std::vector<std::string>& GetNames() const { return names_; }
    const std::vector<uint16_t>& GetIds() const { return ids_; }

private:
    std::vector<std::string> names_;
    std::vector<uint16_t> ids_;
};

class FlashTagImportAssets : public FlashTag {
public:
    FlashTagImportAssets() = default;
    explicit FlashTagImportAssets(const std::string& url) : url_(url) {}
    void AddAsset(const std::string& name, uint16_t id) { names_.push_back(name); ids_.push_back(id); }
    FlashOutputStream& Write(FlashOutputStream& out) override;
    FlashInputStream& Read(FlashInputStream& in) override;
    const std::string& GetURL() const { return url_; }
    const std::vector<std::string>& GetNames() const { return names_; }
    const std::vector<uint16_t>& GetIds() const { return ids_; }

private:
    std::string url_;
    std::vector<std::string> names_;
    std::vector<uint16_t> ids_;
};

class FlashTagFreeCharacter : public FlashTag {
public:
    FlashTagFreeCharacter() = default;
    explicit FlashTagFreeCharacter(uint16_t characterId) : characterId_(characterId) {}
    FlashOutputStream& Write(FlashOutputStream& out) override;
    FlashInputStream& Read(FlashInputStream& in) override;
    uint16_t GetCharacterId() const { return characterId_; }

private:
    uint16_t characterId_ = 0;
};

// Names and codes of a font's glyphs. Flags bit 0 selects 16-bit codes; without it each
// code is written as its low byte. A name is at most 255 bytes (its length is one byte).
class FlashTagDefineFontInfo : public FlashTag {
public:
    FlashTagDefineFontInfo() = default;
    FlashTagDefineFontInfo(uint16_t fontId, const std::string& name, uint8_t flags,
                           const std::vector<uint16_t>& codes = {})
        : fontId_(fontId), name_(name.substr(0, 255)), flags_(flags), codes_(codes) {}
    void AddCode(uint16_t code) { codes_.push_back(code); }
    FlashOutputStream& Write(FlashOutputStream& out) override;
    FlashInputStream& Read(FlashInputStream& in) override;
    uint16_t GetFontId() const { return fontId_; }
    const std::string& GetFontName() const { return name_; }
    uint8_t GetFlags() const { return flags_; }
    const std::vector<uint16_t>& GetCodes() const { return codes_; }

private:
    uint16_t fontId_ = 0;
    std::string name_;
    uint8_t flags_ = 0;
    std::vector<uint16_t> codes_;
};
