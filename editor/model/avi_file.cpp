#include "editor/model/avi_file.h"

#include "gif/gifimage.h"

#include <QFile>

#include <algorithm>
#include <cstring>

namespace movinta::editor {

namespace {

constexpr std::uint32_t kKeyFrame = 0x10;     // index flag of a sample that stands alone
constexpr std::uint32_t kHasIndex = 0x10;     // main header flag: the file has 'idx1'
constexpr std::size_t kMainHeaderSize = 56;
constexpr std::size_t kStreamHeaderSize = 56;
constexpr std::size_t kBitmapInfoSize = 40;
// Headers of a video stream sit at the start of the file; more than this is not read for them.
constexpr qint64 kHeaderReadLimit = 1 << 20;

std::uint32_t U32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
bool Is(const std::uint8_t* p, const char* fourcc) { return std::memcmp(p, fourcc, 4) == 0; }

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(std::uint8_t(v));
  out.push_back(std::uint8_t(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
void PutFourCC(std::vector<std::uint8_t>& out, const char* fourcc) {
  for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(fourcc[i]));
}

// The chunks of one list body: calls `visit(id, body)` for each until it returns true.
template <typename Visit>
bool WalkChunks(std::span<const std::uint8_t> body, Visit visit) {
  std::size_t at = 0;
  while (body.size() - at >= 8) {
    const std::uint8_t* head = body.data() + at;
    const std::size_t size = U32(head + 4);
    const std::size_t available = body.size() - at - 8;
    if (visit(head, body.subspan(at + 8, std::min(size, available)))) return true;
    if (size > available) return false;
    at += 8 + size + (size & 1);
  }
  return false;
}

}  // namespace

std::optional<AviStreamHeader> ParseAviStreamHeader(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 12 || !Is(bytes.data(), "RIFF") || !Is(bytes.data() + 8, "AVI ")) return std::nullopt;
  std::optional<AviStreamHeader> found;
  const auto streamList = [&](const std::uint8_t* head, std::span<const std::uint8_t> body) {
    if (!Is(head, "strh") || body.size() < 36 || !Is(body.data(), "vids")) return false;
    found = AviStreamHeader{U32(body.data() + 20), U32(body.data() + 24), U32(body.data() + 28),
                            U32(body.data() + 32)};
    return true;
  };
  const auto headerList = [&](const std::uint8_t* head, std::span<const std::uint8_t> body) {
    return Is(head, "LIST") && body.size() >= 4 && Is(body.data(), "strl") && WalkChunks(body.subspan(4), streamList);
  };
  WalkChunks(bytes.subspan(12), [&](const std::uint8_t* head, std::span<const std::uint8_t> body) {
    return Is(head, "LIST") && body.size() >= 4 && Is(body.data(), "hdrl") && WalkChunks(body.subspan(4), headerList);
  });
  return found;
}

std::optional<AviStreamHeader> ReadAviStreamHeader(const QString& fileName) {
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  const QByteArray head = file.read(kHeaderReadLimit);
  return ParseAviStreamHeader(
      std::span(reinterpret_cast<const std::uint8_t*>(head.constData()), static_cast<std::size_t>(head.size())));
}

int AviImportDelay(std::uint32_t scale, std::uint32_t rate) {
  if (rate == 0) return static_cast<int>(std::min<std::uint32_t>(scale / 100, 0x7FFFFFFF));
  const std::uint64_t hundredths = (std::uint64_t(scale) * 100 * 2 + rate) / (std::uint64_t(rate) * 2);
  return static_cast<int>(std::min<std::uint64_t>(hundredths, 0x7FFFFFFF));
}

std::uint32_t AviExportDelay(const gif::TGIFImage& image) {
  std::uint32_t delay = 0;
  bool localSeen = false;
  const gif::TGIFImageList& frames = image.Images();
  for (int i = 0; i < frames.GetCount(); ++i) {
    const gif::TGIFSubImage& frame = *frames.GetFrame(i);
    if (frame.ColorMap().GetCount() > 0) localSeen = true;
    if (const gif::TGIFGraphicControlExtension* control = frame.GraphicControlExtension())
      delay = control->GetDelay();
    if (localSeen && delay != 0) break;
  }
  return delay == 0 ? 1 : delay;
}

AviWriter::AviWriter(const QString& fileName, const gif::Bitmap& format, std::uint32_t scale, std::uint32_t rate)
    : file_(fileName),
      width_(format.Width()),
      height_(format.Height()),
      bits_(format.BitsPerPixel() <= 8 ? 8 : 24),
      palette_(bits_ == 8 ? format.Colors() : gif::Palette()),
      scale_(scale),
      rate_(rate),
      frameBytes_(gif::Bitmap::DIBRowBytes(width_, bits_) * std::size_t(height_)) {
  if (palette_.size() > 256) palette_.resize(256);
  // Unbuffered, so that a failing write (a full disk) is seen at once and Commit refuses.
  if (!file_.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
    error_ = file_.errorString();
    return;
  }
  // Placeholders now; Commit writes the final headers over them (same size).
  Write(Headers(0));
}

AviWriter::~AviWriter() {
  if (file_.isOpen()) file_.cancelWriting();
}

std::vector<std::uint8_t> AviWriter::Headers(std::uint32_t frames) const {
  const std::uint32_t paletteBytes = static_cast<std::uint32_t>(palette_.size() * 4);
  const std::uint32_t formatSize = static_cast<std::uint32_t>(kBitmapInfoSize) + paletteBytes;
  const std::uint32_t streamListSize = 4 + 8 + kStreamHeaderSize + 8 + formatSize + (formatSize & 1);
  const std::uint32_t headerListSize = 4 + 8 + kMainHeaderSize + 8 + streamListSize;
  const std::uint32_t moviSize = static_cast<std::uint32_t>(4 + written_);
  const std::uint32_t indexSize = static_cast<std::uint32_t>(index_.size() * 16);
  const std::uint32_t riffSize = 4 + 8 + headerListSize + 8 + moviSize + 8 + indexSize;
  const std::uint32_t microseconds =
      rate_ ? static_cast<std::uint32_t>((std::uint64_t(scale_) * 1000000 + rate_ / 2) / rate_) : 0;

  std::vector<std::uint8_t> out;
  out.reserve(256 + paletteBytes);
  PutFourCC(out, "RIFF");
  Put32(out, riffSize);
  PutFourCC(out, "AVI ");
  PutFourCC(out, "LIST");
  Put32(out, headerListSize);
  PutFourCC(out, "hdrl");
  PutFourCC(out, "avih");
  Put32(out, kMainHeaderSize);
  Put32(out, microseconds);
  Put32(out, scale_ ? static_cast<std::uint32_t>(std::min<std::uint64_t>(
                          std::uint64_t(frameBytes_) * rate_ / scale_, 0xFFFFFFFFu))
                    : 0);
  Put32(out, 0);  // padding granularity
  Put32(out, kHasIndex);
  Put32(out, frames);
  Put32(out, 0);  // initial frames
  Put32(out, 1);  // streams
  Put32(out, static_cast<std::uint32_t>(frameBytes_));
  Put32(out, static_cast<std::uint32_t>(width_));
  Put32(out, static_cast<std::uint32_t>(height_));
  for (int i = 0; i < 4; ++i) Put32(out, 0);

  PutFourCC(out, "LIST");
  Put32(out, streamListSize);
  PutFourCC(out, "strl");
  PutFourCC(out, "strh");
  Put32(out, kStreamHeaderSize);
  PutFourCC(out, "vids");
  Put32(out, 0);  // handler: uncompressed
  Put32(out, 0);  // flags
  Put16(out, 0);  // priority
  Put16(out, 0);  // language
  Put32(out, 0);  // initial frames
  Put32(out, scale_);
  Put32(out, rate_);
  Put32(out, 0);  // start
  Put32(out, frames);
  Put32(out, static_cast<std::uint32_t>(frameBytes_));
  Put32(out, 0);  // quality
  Put32(out, 0);  // sample size: varies
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, static_cast<std::uint32_t>(width_));
  Put16(out, static_cast<std::uint32_t>(height_));

  PutFourCC(out, "strf");
  Put32(out, formatSize);
  Put32(out, kBitmapInfoSize);
  Put32(out, static_cast<std::uint32_t>(width_));
  Put32(out, static_cast<std::uint32_t>(height_));  // positive: rows bottom to top
  Put16(out, 1);
  Put16(out, static_cast<std::uint32_t>(bits_));
  Put32(out, 0);  // uncompressed
  Put32(out, static_cast<std::uint32_t>(frameBytes_));
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, static_cast<std::uint32_t>(palette_.size()));
  Put32(out, 0);
  for (const gif::Rgb& c : palette_) {
    out.push_back(c.blue);
    out.push_back(c.green);
    out.push_back(c.red);
    out.push_back(0);
  }
  if (formatSize & 1) out.push_back(0);

  PutFourCC(out, "LIST");
  Put32(out, moviSize);
  PutFourCC(out, "movi");
  return out;
}

bool AviWriter::Write(const std::vector<std::uint8_t>& bytes) {
  if (!Ok()) return false;
  if (file_.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size())) !=
      static_cast<qint64>(bytes.size())) {
    error_ = file_.errorString();
    return false;
  }
  return true;
}

bool AviWriter::AddChunk(const std::uint8_t* data, std::size_t size, std::uint32_t flags) {
  if (!Ok()) return false;
  // RIFF sizes are 32 bits: a file that would pass 4 GiB is refused rather than written wrong.
  if (written_ + 8 + size + 1 + 16 * (index_.size() + 1) > 0xFFFFFF00u) {
    error_ = QStringLiteral("The file would exceed the 4 GB an AVI file can hold");
    return false;
  }
  std::vector<std::uint8_t> head;
  PutFourCC(head, "00db");
  Put32(head, static_cast<std::uint32_t>(size));
  index_.push_back({flags, static_cast<std::uint32_t>(4 + written_), static_cast<std::uint32_t>(size)});
  if (!Write(head)) return false;
  if (size && file_.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) != qint64(size)) {
    error_ = file_.errorString();
    return false;
  }
  written_ += 8 + size;
  if (size & 1) {
    if (!Write({0})) return false;
    ++written_;
  }
  return true;
}

bool AviWriter::AddFrame(const gif::Bitmap& frame) {
  if (!Ok()) return false;
  const int bits = frame.BitsPerPixel();
  if (frame.Width() != width_ || frame.Height() != height_ || (bits_ == 8 ? bits != 8 : bits != 24)) {
    error_ = QStringLiteral("A frame does not match the stream's format");
    return false;
  }
  // The library's rows run top to bottom with the same padding; the file's run bottom to top.
  rows_.resize(frameBytes_);
  const std::size_t rowBytes = frame.RowBytes();
  for (int y = 0; y < height_; ++y)
    std::memcpy(rows_.data() + std::size_t(height_ - 1 - y) * rowBytes, frame.Scanline(y), rowBytes);
  return AddChunk(rows_.data(), rows_.size(), kKeyFrame);
}

bool AviWriter::AddEmptyFrame() { return AddChunk(nullptr, 0, 0); }

bool AviWriter::Commit() {
  if (!Ok()) return false;
  std::vector<std::uint8_t> index;
  index.reserve(8 + index_.size() * 16);
  PutFourCC(index, "idx1");
  Put32(index, static_cast<std::uint32_t>(index_.size() * 16));
  for (const IndexEntry& e : index_) {
    PutFourCC(index, "00db");
    Put32(index, e.flags);
    Put32(index, e.offset);
    Put32(index, e.size);
  }
  if (!Write(index)) return false;
  if (!file_.seek(0)) {
    error_ = file_.errorString();
    return false;
  }
  if (!Write(Headers(static_cast<std::uint32_t>(index_.size())))) return false;
  if (!file_.commit()) {
    error_ = file_.errorString();
    return false;
  }
  return true;
}

}  // namespace movinta::editor
