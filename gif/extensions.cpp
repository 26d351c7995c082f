// Extension blocks and the registries that map labels and application
// identifiers to the classes that read them.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <utility>

#include "gif/gifimage.h"

namespace gif {

namespace {

template <class T>
TGIFExtension* Make(TGIFSubImage* frame) {
  return new T(frame);
}

struct Registries {
  std::mutex lock;
  std::vector<std::pair<std::uint8_t, const TGIFExtensionClass*>> labels;
  std::vector<std::pair<TGIFApplicationIdentifier, const TGIFExtensionClass*>> applications;
};

TGIFApplicationIdentifier IdentifierOf(const char* text) {
  TGIFApplicationIdentifier id{};
  std::memcpy(id.data(), text, 11);
  return id;
}

Registries& TheRegistries() {
  static Registries* registries = [] {
    auto* r = new Registries;
    r->labels = {{bsPlainTextExtension, &TGIFTextExtension::Class},
                 {bsGraphicControlExtension, &TGIFGraphicControlExtension::Class},
                 {bsCommentExtension, &TGIFCommentExtension::Class},
                 {bsApplicationExtension, &TGIFApplicationExtension::Class}};
    r->applications = {{IdentifierOf("NETSCAPE2.0"), &TGIFAppExtNSLoop::Class},
                       {IdentifierOf("ANIMEXTS1.0"), &TGIFAppExtNSLoop::Class}};
    return r;
  }();
  return *registries;
}

const TGIFExtensionClass* PickApplicationClass(ByteReader& stream) {
  std::uint8_t size = 0;
  if (!stream.Read(size)) return &TGIFApplicationExtension::Class;
  if (size == 11) {
    TGIFApplicationIdentifier id{};
    if (stream.Read(id.data(), 11) != 11) return nullptr;
    const TGIFExtensionClass* found = FindAppExtension(id);
    return found ? found : &TGIFUnknownAppExtension::Class;
  }
  // A first block of 10 or of more than 11 bytes cannot be interpreted but can
  // be carried over unchanged; a shorter one is refused by the base class.
  if (size < 10) return &TGIFApplicationExtension::Class;
  return stream.Has(size) ? &TGIFUnknownAppExtension::Class : nullptr;
}

void ReadHeaderOf(ByteReader& stream, std::uint8_t label) {
  std::uint8_t header[2];
  ReadCheck(stream, header, 2);
  if (header[0] != ExtensionIntroducer) GIFError(texts::InvalidExtensionIntroducer);
  if (header[1] != label) GIFError(texts::ExtensionLabelMismatch);
}

// Sub-blocks up to a 0 size or the end of the stream, each read exactly.
void ReadBlocks(ByteReader& stream, std::vector<TGIFBlock>& blocks) {
  blocks.clear();
  std::uint8_t size = 0;
  while (stream.Read(size) && size != 0) {
    TGIFBlock block;
    block.Data.resize(size);
    ReadCheck(stream, block.Data.data(), size);
    blocks.push_back(std::move(block));
  }
}

void WriteBlocks(ByteWriter& stream, const std::vector<TGIFBlock>& blocks) {
  for (const TGIFBlock& block : blocks) {
    stream.Write(static_cast<std::uint8_t>(block.Data.size()));
    stream.Write(block.Data.data(), block.Data.size());
  }
  stream.Write(0);
}

}  // namespace

const TGIFExtensionClass TGIFGraphicControlExtension::Class{"TGIFGraphicControlExtension",
                                                            &Make<TGIFGraphicControlExtension>, nullptr};
const TGIFExtensionClass TGIFTextExtension::Class{"TGIFTextExtension", &Make<TGIFTextExtension>, nullptr};
const TGIFExtensionClass TGIFCommentExtension::Class{"TGIFCommentExtension", &Make<TGIFCommentExtension>, nullptr};
const TGIFExtensionClass TGIFApplicationExtension::Class{"TGIFApplicationExtension",
                                                         &Make<TGIFApplicationExtension>, &PickApplicationClass};
const TGIFExtensionClass TGIFUnknownAppExtension::Class{"TGIFUnknownAppExtension", &Make<TGIFUnknownAppExtension>,
                                                        nullptr};
const TGIFExtensionClass TGIFAppExtNSLoop::Class{"TGIFAppExtNSLoop", &Make<TGIFAppExtNSLoop>, nullptr};
const TGIFExtensionClass TGIFUnknownExtension::Class{"TGIFUnknownExtension", &Make<TGIFUnknownExtension>, nullptr};

void RegisterExtension(std::uint8_t label, const TGIFExtensionClass* extensionClass) {
  Registries& r = TheRegistries();
  std::lock_guard<std::mutex> guard(r.lock);
  r.labels.emplace_back(label, extensionClass);
}

void RegisterAppExtension(const TGIFApplicationIdentifier& identifier, const TGIFExtensionClass* extensionClass) {
  Registries& r = TheRegistries();
  std::lock_guard<std::mutex> guard(r.lock);
  r.applications.emplace_back(identifier, extensionClass);
}

const TGIFExtensionClass* FindExtension(std::uint8_t label) {
  Registries& r = TheRegistries();
  std::lock_guard<std::mutex> guard(r.lock);
  for (auto it = r.labels.rbegin(); it != r.labels.rend(); ++it)
    if (it->first == label) return it->second;
  return nullptr;
}

const TGIFExtensionClass* FindAppExtension(const TGIFApplicationIdentifier& identifier) {
  Registries& r = TheRegistries();
  std::lock_guard<std::mutex> guard(r.lock);
  for (auto it = r.applications.rbegin(); it != r.applications.rend(); ++it)
    if (it->first == identifier) return it->second;
  return nullptr;
}

// ---------------------------------------------------------------------------

void TGIFExtensionList::LoadFromStream(ByteReader& stream, TGIFItem* parent) {
  auto* frame = static_cast<TGIFSubImage*>(parent);
  std::uint8_t b = 0;
  if (!stream.Read(b)) return;
  while (b != ImageSeparator && b != Trailer) {
    if (b != ExtensionIntroducer) {
      Warning(GIFSeverityWarning, texts::InvalidExtensionIntroducer);
      break;
    }
    const std::size_t labelAt = stream.Position();
    std::uint8_t label = 0;
    const TGIFExtensionClass* cls = nullptr;
    bool unknownLabel = false;
    if (stream.Read(label)) {
      cls = FindExtension(label);
      if (!cls) {
        cls = &TGIFUnknownExtension::Class;
        unknownLabel = true;
      }
      while (cls && cls->GetExtensionClass) {
        const std::size_t at = stream.Position();
        const TGIFExtensionClass* next = cls->GetExtensionClass(stream);
        stream.Seek(at);
        if (next == cls) break;
        cls = next;
      }
    }
    stream.Seek(labelAt);
    if (!cls) {
      // Only a block cut off by the end of the file leaves its kind unknown.
      stream.Seek(stream.Size());
      GIFError(texts::PrematureEnd);
    }
    // A block nobody knows is carried over unchanged; the file stays valid.
    if (unknownLabel) Warning(GIFSeverityWarning, texts::UnknownExtension);
    stream.Skip(-1);
    TGIFExtension* extension = cls->Create(frame);
    try {
      extension->LoadFromStream(stream);
    } catch (...) {
      delete extension;
      throw;
    }
    Add(extension);
    if (!stream.Read(b)) return;
  }
  stream.Skip(-1);
}

// ---------------------------------------------------------------------------

TGIFExtension::TGIFExtension(TGIFSubImage* frame) : TGIFItem(frame ? frame->Image() : nullptr), frame_(frame) {}

TGIFExtension::~TGIFExtension() {
  if (frame_) frame_->Extensions().Remove(this);
}

void TGIFExtension::SaveToStream(ByteWriter& stream) {
  stream.Write(ExtensionIntroducer);
  stream.Write(GetExtensionType());
}

void TGIFExtension::LoadFromStream(ByteReader& stream) { ReadHeaderOf(stream, GetExtensionType()); }

// ---------------------------------------------------------------------------

TGIFGraphicControlExtension::TGIFGraphicControlExtension(TGIFSubImage* frame) : TGIFExtension(frame) {
  if (frame && !frame->gce_) frame->gce_ = this;
}

TGIFGraphicControlExtension::~TGIFGraphicControlExtension() {
  TGIFSubImage* frame = SubImage();
  // Only the frame's own extension speaks for its transparency.
  if (frame && frame->gce_ == this) {
    if (GetTransparent()) frame->transparent_ = false;
    frame->gce_ = nullptr;
  }
}

void TGIFGraphicControlExtension::SetTransparent(bool value) {
  packed_ = static_cast<std::uint8_t>(value ? packed_ | 0x01 : packed_ & ~0x01);
  if (SubImage() && SubImage()->gce_ == this) {
    SubImage()->transparent_ = value;
    // The cached mask no longer says which pixels are transparent.
    SubImage()->FreeMask();
  }
}

void TGIFGraphicControlExtension::SetTransparentColorIndex(int index) {
  if (SubImage()) {
    TGIFColorMap& map = SubImage()->GetActiveColorMap();
    if ((index < 0 || index >= map.GetCount()) && map.GetCount() > 0) {
      Warning(GIFSeverityWarning, texts::InvalidColorIndex);
      index = 0;
    }
  }
  transparentIndex_ = static_cast<std::uint8_t>(index);
  if (SubImage() && SubImage()->gce_ == this) SubImage()->FreeMask();
}

TColor TGIFGraphicControlExtension::GetTransparentColor() {
  if (!SubImage()) GIFError(texts::EmptyColorTable);
  return SubImage()->GetActiveColorMap().GetColor(transparentIndex_);
}

void TGIFGraphicControlExtension::SetTransparentColor(TColor color) {
  if (!SubImage()) return;
  transparentIndex_ = static_cast<std::uint8_t>(SubImage()->GetActiveColorMap().AddUnique(color));
}

void TGIFGraphicControlExtension::SetUserInput(bool value) {
  packed_ = static_cast<std::uint8_t>(value ? packed_ | 0x02 : packed_ & ~0x02);
}

void TGIFGraphicControlExtension::SetDisposal(int method) {
  packed_ = static_cast<std::uint8_t>((packed_ & ~0x1C) | ((method & 0x07) << 2));
}

void TGIFGraphicControlExtension::SaveToStream(ByteWriter& stream) {
  TGIFExtension::SaveToStream(stream);
  stream.Write(blockSize_);
  stream.Write(packed_);
  stream.WriteWord(delay_);
  stream.Write(transparentIndex_);
  stream.Write(terminator_);
}

void TGIFGraphicControlExtension::LoadFromStream(ByteReader& stream) {
  TGIFExtension::LoadFromStream(stream);
  // The block should hold 4 bytes; writers that give it another size still
  // mean the fields at its start. The rest of a longer block, and anything
  // else before the terminator, is skipped.
  std::uint8_t size = 0;
  std::uint8_t data[4] = {};
  const bool fields = stream.Read(size) && stream.Read(data, std::min<int>(size, 4)) == std::min<std::size_t>(size, 4);
  bool whole = fields && stream.Has(size - std::min<std::size_t>(size, 4));
  if (whole) {
    stream.Skip(size - std::min<int>(size, 4));
    std::uint8_t next = 0;
    whole = false;
    while (stream.Read(next)) {
      if (next == 0) {
        whole = true;
        break;
      }
      if (!stream.Has(next)) break;
      stream.Skip(next);
    }
  }
  if (!whole) {
    Warning(GIFSeverityWarning, texts::PrematureEnd);
    stream.Seek(stream.Size());
    if (!fields) return;
  }
  blockSize_ = 4;
  packed_ = data[0];
  delay_ = static_cast<std::uint16_t>(data[1] | data[2] << 8);
  transparentIndex_ = data[3];
  terminator_ = 0;
  if (GetTransparent() && SubImage() && SubImage()->gce_ == this) SubImage()->transparent_ = true;
}

// ---------------------------------------------------------------------------

TGIFTextExtension::TGIFTextExtension(TGIFSubImage* frame) : TGIFExtension(frame) {}

void TGIFTextExtension::SaveToStream(ByteWriter& stream) {
  TGIFExtension::SaveToStream(stream);
  stream.Write(blockSize_);
  stream.WriteWord(Left);
  stream.WriteWord(Top);
  stream.WriteWord(GridWidth);
  stream.WriteWord(GridHeight);
  stream.Write(CharWidth);
  stream.Write(CharHeight);
  stream.Write(ForegroundColorIndex);
  stream.Write(BackgroundColorIndex);
  WriteStrings(stream, text_);
}

void TGIFTextExtension::LoadFromStream(ByteReader& stream) {
  TGIFExtension::LoadFromStream(stream);
  std::uint8_t d[13];
  ReadCheck(stream, d, 13);
  blockSize_ = d[0];
  Left = static_cast<std::uint16_t>(d[1] | d[2] << 8);
  Top = static_cast<std::uint16_t>(d[3] | d[4] << 8);
  GridWidth = static_cast<std::uint16_t>(d[5] | d[6] << 8);
  GridHeight = static_cast<std::uint16_t>(d[7] | d[8] << 8);
  CharWidth = d[9];
  CharHeight = d[10];
  ForegroundColorIndex = d[11];
  BackgroundColorIndex = d[12];
  ReadStrings(stream, text_);
}

// ---------------------------------------------------------------------------

void TGIFCommentExtension::SaveToStream(ByteWriter& stream) {
  TGIFExtension::SaveToStream(stream);
  WriteStrings(stream, text_);
}

void TGIFCommentExtension::LoadFromStream(ByteReader& stream) {
  TGIFExtension::LoadFromStream(stream);
  ReadStrings(stream, text_);
}

// ---------------------------------------------------------------------------

std::string TGIFApplicationExtension::GetIdentifierText() const {
  return std::string(reinterpret_cast<const char*>(identifier_.data()), identifier_.size());
}

void TGIFApplicationExtension::SaveToStream(ByteWriter& stream) {
  TGIFExtension::SaveToStream(stream);
  stream.Write(11);
  stream.Write(identifier_.data(), identifier_.size());
  WriteData(stream);
}

void TGIFApplicationExtension::LoadFromStream(ByteReader& stream) {
  TGIFExtension::LoadFromStream(stream);
  std::uint8_t size = 0;
  ReadCheck(stream, &size, 1);
  if (size < 10) GIFError(texts::UnsupportedAppExtensionSize);
  ReadCheck(stream, identifier_.data(), 11);
  stream.Skip(static_cast<std::ptrdiff_t>(size) - 11);
  ReadData(stream);
}

void TGIFUnknownAppExtension::SaveToStream(ByteWriter& stream) {
  if (!hasOddHeader_) return TGIFApplicationExtension::SaveToStream(stream);
  TGIFExtension::SaveToStream(stream);
  stream.Write(static_cast<std::uint8_t>(oddHeader_.size()));
  stream.Write(oddHeader_.data(), oddHeader_.size());
  WriteData(stream);
}

void TGIFUnknownAppExtension::LoadFromStream(ByteReader& stream) {
  TGIFExtension::LoadFromStream(stream);
  std::uint8_t size = 0;
  ReadCheck(stream, &size, 1);
  if (size == 11) {
    hasOddHeader_ = false;
    ReadCheck(stream, identifier_.data(), 11);
  } else {
    hasOddHeader_ = true;
    oddHeader_.resize(size);
    ReadCheck(stream, oddHeader_.data(), size);
    identifier_.fill(0);
    std::memcpy(identifier_.data(), oddHeader_.data(), std::min<std::size_t>(size, 11));
  }
  ReadData(stream);
}

void TGIFUnknownAppExtension::WriteData(ByteWriter& stream) { WriteBlocks(stream, blocks_); }

void TGIFUnknownAppExtension::ReadData(ByteReader& stream) { ReadBlocks(stream, blocks_); }

// ---------------------------------------------------------------------------

TGIFAppExtNSLoop::TGIFAppExtNSLoop(TGIFSubImage* frame) : TGIFApplicationExtension(frame) {
  identifier_ = IdentifierOf("NETSCAPE2.0");
}

void TGIFAppExtNSLoop::WriteData(ByteWriter& stream) {
  stream.Write(3);
  stream.Write(1);
  stream.WriteWord(loops_);
  if (bufferSize_ != 0) {
    stream.Write(5);
    stream.Write(2);
    stream.WriteWord(static_cast<std::uint16_t>(bufferSize_));
    stream.WriteWord(static_cast<std::uint16_t>(bufferSize_ >> 16));
  }
  WriteBlocks(stream, others_);
}

void TGIFAppExtNSLoop::ReadData(ByteReader& stream) {
  others_.clear();
  for (;;) {
    std::uint8_t size = 0;
    ReadCheck(stream, &size, 1);
    if (size == 0) return;
    std::uint8_t id = 0;
    ReadCheck(stream, &id, 1);
    std::size_t rest = size - 1u;
    if ((id & 7) == 1) {
      if (size < 3) GIFError(texts::InvalidData);
      std::uint8_t b[2];
      ReadCheck(stream, b, 2);
      loops_ = static_cast<std::uint16_t>(b[0] | b[1] << 8);
      rest = size - 3u;
    } else if ((id & 7) == 2) {
      if (size < 5) GIFError(texts::InvalidData);
      std::uint8_t b[4];
      ReadCheck(stream, b, 4);
      bufferSize_ = static_cast<std::uint32_t>(b[0] | b[1] << 8 | b[2] << 16) | static_cast<std::uint32_t>(b[3]) << 24;
      rest = size - 5u;
    } else {
      TGIFBlock block;
      block.Data.resize(size);
      block.Data[0] = id;
      ReadCheck(stream, block.Data.data() + 1, rest);
      others_.push_back(std::move(block));
      continue;
    }
    if (!stream.Has(rest)) GIFError(texts::PrematureEnd);
    stream.Skip(static_cast<std::ptrdiff_t>(rest));
  }
}

// ---------------------------------------------------------------------------

void TGIFUnknownExtension::SaveToStream(ByteWriter& stream) {
  TGIFExtension::SaveToStream(stream);
  WriteBlocks(stream, blocks_);
}

void TGIFUnknownExtension::LoadFromStream(ByteReader& stream) {
  std::uint8_t header[2];
  ReadCheck(stream, header, 2);
  if (header[0] != ExtensionIntroducer) GIFError(texts::InvalidExtensionIntroducer);
  label_ = header[1];
  ReadBlocks(stream, blocks_);
}

}  // namespace gif
