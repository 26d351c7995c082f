// Extension blocks: the registries that map labels and application identifiers
// to classes, and the graphic control, plain text, comment, application (loop
// count and unknown ones) and unknown extensions.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "gif/basics.h"
#include "gif/blocks.h"
#include "gif/stream.h"

namespace gif {

// What the label and application registries hold: how to make an extension and,
// optionally, how to pick a more specific class by looking further into the
// stream (positioned just after the label; the picker may move it, the caller
// puts it back). A picker returns itself when it is the answer, nullptr for none.
struct TGIFExtensionClass {
  const char* Name;
  TGIFExtension* (*Create)(TGIFSubImage* frame);
  const TGIFExtensionClass* (*GetExtensionClass)(ByteReader& stream);
};

using TGIFApplicationIdentifier = std::array<std::uint8_t, 11>;

// Later registrations win over earlier ones.
void RegisterExtension(std::uint8_t label, const TGIFExtensionClass* extensionClass);
void RegisterAppExtension(const TGIFApplicationIdentifier& identifier, const TGIFExtensionClass* extensionClass);
const TGIFExtensionClass* FindExtension(std::uint8_t label);
const TGIFExtensionClass* FindAppExtension(const TGIFApplicationIdentifier& identifier);

inline constexpr std::uint8_t ExtensionIntroducer = 0x21;
inline constexpr std::uint8_t ImageSeparator = 0x2C;
inline constexpr std::uint8_t Trailer = 0x3B;

inline constexpr std::uint8_t bsPlainTextExtension = 0x01;
inline constexpr std::uint8_t bsGraphicControlExtension = 0xF9;
inline constexpr std::uint8_t bsCommentExtension = 0xFE;
inline constexpr std::uint8_t bsApplicationExtension = 0xFF;

class TGIFExtension : public TGIFItem {
public:
  explicit TGIFExtension(TGIFSubImage* frame);
  // Takes itself out of its frame's extension list.
  ~TGIFExtension() override;

  TGIFSubImage* SubImage() const { return frame_; }
  virtual std::uint8_t GetExtensionType() const = 0;
  int GetVersion() const override { return gv89a; }
  void SaveToStream(ByteWriter& stream) override;
  void LoadFromStream(ByteReader& stream) override;

private:
  TGIFSubImage* const frame_;
};

// Disposal methods of the graphic control extension.
enum TDisposalMethod : std::uint8_t {
  dmNone = 0,
  dmNoDisposal = 1,
  dmBackground = 2,
  dmPrevious = 3,
};

class TGIFGraphicControlExtension : public TGIFExtension {
public:
  static const TGIFExtensionClass Class;
  // Becomes the frame's graphic control extension when the frame has none yet.
  explicit TGIFGraphicControlExtension(TGIFSubImage* frame);
  ~TGIFGraphicControlExtension() override;

  std::uint8_t GetExtensionType() const override { return bsGraphicControlExtension; }
  void SaveToStream(ByteWriter& stream) override;
  void LoadFromStream(ByteReader& stream) override;

  bool GetTransparent() const { return (packed_ & 0x01) != 0; }
  void SetTransparent(bool value);
  std::uint8_t GetTransparentColorIndex() const { return transparentIndex_; }
  void SetTransparentColorIndex(int index);
  TColor GetTransparentColor();
  void SetTransparentColor(TColor color);
  std::uint16_t GetDelay() const { return delay_; }
  void SetDelay(std::uint16_t hundredths) { delay_ = hundredths; }
  bool GetUserInput() const { return (packed_ & 0x02) != 0; }
  void SetUserInput(bool value);
  std::uint8_t GetDisposal() const { return (packed_ >> 2) & 0x07; }
  void SetDisposal(int method);
  std::uint8_t GetPackedFields() const { return packed_; }

private:
  std::uint8_t blockSize_ = 4;
  std::uint8_t packed_ = 0;
  std::uint16_t delay_ = 0;
  std::uint8_t transparentIndex_ = 0;
  std::uint8_t terminator_ = 0;
};

class TGIFTextExtension : public TGIFExtension {
public:
  static const TGIFExtensionClass Class;
  explicit TGIFTextExtension(TGIFSubImage* frame);

  std::uint8_t GetExtensionType() const override { return bsPlainTextExtension; }
  void SaveToStream(ByteWriter& stream) override;
  void LoadFromStream(ByteReader& stream) override;

  TStrings& Text() { return text_; }
  std::uint16_t Left = 0, Top = 0, GridWidth = 0, GridHeight = 0;
  std::uint8_t CharWidth = 0, CharHeight = 0;
  std::uint8_t ForegroundColorIndex = 0, BackgroundColorIndex = 0;

private:
  std::uint8_t blockSize_ = 12;
  TStrings text_;
};

class TGIFCommentExtension : public TGIFExtension {
public:
  static const TGIFExtensionClass Class;
  explicit TGIFCommentExtension(TGIFSubImage* frame) : TGIFExtension(frame) {}

  std::uint8_t GetExtensionType() const override { return bsCommentExtension; }
  void SaveToStream(ByteWriter& stream) override;
  void LoadFromStream(ByteReader& stream) override;
  TStrings& Text() { return text_; }

private:
  TStrings text_;
};

// A raw data sub-block (1..255 bytes).
struct TGIFBlock {
  std::vector<std::uint8_t> Data;
};

class TGIFApplicationExtension : public TGIFExtension {
public:
  static const TGIFExtensionClass Class;
  explicit TGIFApplicationExtension(TGIFSubImage* frame) : TGIFExtension(frame) {}

  std::uint8_t GetExtensionType() const override { return bsApplicationExtension; }
  void SaveToStream(ByteWriter& stream) override;
  void LoadFromStream(ByteReader& stream) override;
  virtual void WriteData(ByteWriter& stream) {}
  virtual void ReadData(ByteReader& stream) {}

  TGIFApplicationIdentifier& Identifier() { return identifier_; }
  // The 8-byte application name and 3-byte authentication code as text.
  std::string GetIdentifierText() const;

protected:
  TGIFApplicationIdentifier identifier_{};
};

// Any application extension nobody registered for, kept byte for byte; also
// holds blocks whose first sub-block is not the usual 11 bytes.
class TGIFUnknownAppExtension : public TGIFApplicationExtension {
public:
  static const TGIFExtensionClass Class;
  explicit TGIFUnknownAppExtension(TGIFSubImage* frame) : TGIFApplicationExtension(frame) {}

  void SaveToStream(ByteWriter& stream) override;
  void LoadFromStream(ByteReader& stream) override;
  void WriteData(ByteWriter& stream) override;
  void ReadData(ByteReader& stream) override;
  std::vector<TGIFBlock>& Blocks() { return blocks_; }

private:
  std::vector<TGIFBlock> blocks_;
  // The first sub-block as read, when its size is not 11.
  std::vector<std::uint8_t> oddHeader_;
  bool hasOddHeader_ = false;
};

// The loop count of the "NETSCAPE2.0" (or "ANIMEXTS1.0") application extension.
class TGIFAppExtNSLoop : public TGIFApplicationExtension {
public:
  static const TGIFExtensionClass Class;
  explicit TGIFAppExtNSLoop(TGIFSubImage* frame);

  void WriteData(ByteWriter& stream) override;
  void ReadData(ByteReader& stream) override;
  // 0 loops forever.
  std::uint16_t GetLoops() const { return loops_; }
  void SetLoops(std::uint16_t value) { loops_ = value; }
  // 0 is not written.
  std::uint32_t GetBufferSize() const { return bufferSize_; }
  void SetBufferSize(std::uint32_t value) { bufferSize_ = value; }
  // Sub-blocks of other kinds, as read; written back after the two above.
  std::vector<TGIFBlock>& OtherBlocks() { return others_; }

private:
  std::uint16_t loops_ = 0;
  std::uint32_t bufferSize_ = 0;
  std::vector<TGIFBlock> others_;
};

// An extension whose label no class is registered for: kept as read and written
// back unchanged, so a valid file never loses a block it does not understand.
class TGIFUnknownExtension : public TGIFExtension {
public:
  static const TGIFExtensionClass Class;
  explicit TGIFUnknownExtension(TGIFSubImage* frame) : TGIFExtension(frame) {}

  std::uint8_t GetExtensionType() const override { return label_; }
  void SaveToStream(ByteWriter& stream) override;
  void LoadFromStream(ByteReader& stream) override;
  std::vector<TGIFBlock>& Blocks() { return blocks_; }

private:
  std::uint8_t label_ = 0;
  std::vector<TGIFBlock> blocks_;
};

}  // namespace gif
