#include "platform/imaging/imaging_control.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <magick/api.h>

namespace movinta::platform {

namespace {

// The editor's image extensions and the reader that handles each here. JIF is plain JPEG
// data under another name; lossless JPEG and PIC have no reader in GraphicsMagick, and AVI
// is video, read elsewhere. JPEG and TIFF also answer to their long extensions.
struct FormatEntry {
  const char* extension;
  const char* coder;  // nullptr: never readable
};
constexpr std::array<FormatEntry, 21> kFormats{{
    {"gif", "GIF"}, {"jpg", "JPEG"}, {"bmp", "BMP"}, {"jif", "JPEG"}, {"dcx", "DCX"},
    {"ico", "ICO"}, {"pbm", "PBM"}, {"pcx", "PCX"}, {"ljp", nullptr}, {"pgm", "PGM"},
    {"pic", nullptr}, {"png", "PNG"}, {"ppm", "PPM"}, {"rle", "RLE"}, {"tga", "TGA"},
    {"tif", "TIFF"}, {"wmf", "WMF"}, {"wpg", "WPG"}, {"avi", nullptr}, {"jpeg", "JPEG"}, {"tiff", "TIFF"},
}};

// Formats that content sniffing may name and that we agree to decode. Anything else the
// sniffer recognises (PostScript, SVG, scripts for delegates) is refused outright.
constexpr std::array<const char*, 20> kSniffedAllowed{
    "GIF", "JPEG", "BMP", "DCX", "ICO", "PNM", "PBM", "PGM", "PPM", "PCX",
    "PNG", "RLE", "TGA", "TIFF", "WMF", "WPG", "BMP2", "BMP3", "GIF87", "PAM"};

constexpr std::int64_t kMaxSide = 65535;
// Large enough for any frame the editor makes, small enough that a forged header cannot
// make the reader claim gigabytes.
constexpr std::int64_t kMaxPixels = std::int64_t{1} << 26;

void EnsureMagick() {
  static std::once_flag once;
  std::call_once(once, [] {
    // Without its signal handlers: a crash elsewhere in the program is reported as the program's,
    // not as the image library's.
    ExceptionInfo exception;
    GetExceptionInfo(&exception);
    InitializeMagickEx(nullptr, MAGICK_OPT_NO_SIGNAL_HANDER, &exception);
    DestroyExceptionInfo(&exception);
    SetMagickResourceLimit(WidthResource, kMaxSide);
    SetMagickResourceLimit(HeightResource, kMaxSide);
    SetMagickResourceLimit(PixelsResource, kMaxPixels);
    // Frees GraphicsMagick's registries at exit so leak checkers see a clean process.
    std::atexit([] { DestroyMagick(); });
  });
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

const FormatEntry* FindFormat(std::string_view extension) {
  if (!extension.empty() && extension.front() == '.') extension.remove_prefix(1);
  const std::string ext = Lower(extension);
  for (const FormatEntry& f : kFormats)
    if (ext == f.extension) return &f;
  return nullptr;
}

bool CoderReadable(const char* coder) {
  if (coder == nullptr) return false;
  EnsureMagick();
  ExceptionInfo exception;
  GetExceptionInfo(&exception);
  const MagickInfo* info = GetMagickInfo(coder, &exception);
  DestroyExceptionInfo(&exception);
  return info != nullptr && info->decoder != nullptr;
}

std::string_view ExtensionOf(std::string_view fileName) {
  const auto slash = fileName.rfind('/');
  const std::string_view base = slash == std::string_view::npos ? fileName : fileName.substr(slash + 1);
  const auto dot = base.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return {};
  return base.substr(dot + 1);
}

// Reads a whole regular file; false for a missing, unreadable or special file.
bool ReadWholeFile(const std::string& name, std::vector<unsigned char>& out) {
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (ok) {
    out.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < out.size()) {
      const ssize_t n = ::read(fd, out.data() + done, out.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        ok = false;
        break;
      }
      if (n == 0) break;
      done += static_cast<std::size_t>(n);
    }
    out.resize(done);
  }
  ::close(fd);
  return ok;
}

// Bits per pixel of a Windows or OS/2 bitmap file, 0 when the header is cut short.
int BitmapBitsPerPixel(const std::vector<unsigned char>& b) {
  if (b.size() < 18) return 0;
  const std::uint32_t headerSize = b[14] | b[15] << 8 | b[16] << 16 | std::uint32_t{b[17]} << 24;
  const std::size_t at = headerSize == 12 ? 24 : 28;
  return b.size() < at + 2 ? 0 : b[at] | b[at + 1] << 8;
}

}  // namespace

bool ImagingCanReadExtension(std::string_view extension) {
  const FormatEntry* f = FindFormat(extension);
  return f != nullptr && CoderReadable(f->coder);
}

std::vector<std::string> ImagingUnreadableExtensions() {
  std::vector<std::string> out;
  for (const FormatEntry& f : kFormats)
    if (!CoderReadable(f.coder)) out.emplace_back(f.extension);
  return out;
}

struct ImagingControl::Image {
  ::Image* image = nullptr;
  int originalWidth = 0;
  int originalHeight = 0;
  ~Image() {
    if (image != nullptr) DestroyImage(image);
  }
};

namespace {
// GraphicsMagick's OpenMP team per calling thread: the editor runs its own workers where it wants
// more than one, and a team member the system refuses ends the whole process in the OpenMP
// runtime, which nothing here can catch. The setting belongs to the thread that makes it, so every
// call into the library sets it on its own thread first: a control made on one thread may load
// or hand out its pixels on another.
void OneMagickThreadHere() {
  thread_local const bool oneThread = SetMagickResourceLimit(ThreadsResource, 1) != MagickFail;
  static_cast<void>(oneThread);
}
}  // namespace

ImagingControl::ImagingControl() {
  EnsureMagick();
  OneMagickThreadHere();
}

ImagingControl::~ImagingControl() { Clear(); }

void ImagingControl::Clear() {
  delete image_;
  image_ = nullptr;
}

bool ImagingControl::HasAlpha() const { return image_ && image_->image->matte != MagickFalse; }

int ImagingControl::Width() const { return image_ ? static_cast<int>(image_->image->columns) : 0; }
int ImagingControl::Height() const { return image_ ? static_cast<int>(image_->image->rows) : 0; }
int ImagingControl::OriginalWidth() const { return image_ ? image_->originalWidth : 0; }
int ImagingControl::OriginalHeight() const { return image_ ? image_->originalHeight : 0; }

std::uint16_t ImagingControl::Load(const std::string& fileName) { return DoLoad(fileName, 0); }

std::uint16_t ImagingControl::LoadReduced(const std::string& fileName, int minSide) {
  return DoLoad(fileName, std::max(minSide, 1));
}

std::uint16_t ImagingControl::DoLoad(const std::string& fileName, int minSide) {
  OneMagickThreadHere();
  Clear();
  fileName_ = fileName;
  const FormatEntry* format = FindFormat(ExtensionOf(fileName));
  if (format == nullptr || !CoderReadable(format->coder)) return error_ = kImagingUnsupportedFormat;

  std::vector<unsigned char> bytes;
  if (!ReadWholeFile(fileName, bytes)) return error_ = kImagingFileNotFound;
  if (bytes.empty()) return error_ = kImagingDecodeFailed;

  // The content decides where it can; the extension only names formats without a signature.
  std::string coder = format->coder;
  ExceptionInfo exception;
  GetExceptionInfo(&exception);
  char sniffed[MaxTextExtent] = {};
  if (GetMagickFileFormat(bytes.data(), std::min<std::size_t>(bytes.size(), 8192), sniffed,
                          sizeof sniffed, &exception) == MagickPass &&
      sniffed[0] != '\0') {
    const bool allowed = std::any_of(kSniffedAllowed.begin(), kSniffedAllowed.end(),
                                     [&](const char* a) { return std::strcmp(a, sniffed) == 0; });
    if (!allowed) {
      DestroyExceptionInfo(&exception);
      return error_ = kImagingUnsupportedFormat;
    }
    coder = sniffed;
  }

  auto makeInfo = [&](bool reduce) {
    ImageInfo* info = CloneImageInfo(nullptr);
    std::snprintf(info->magick, sizeof info->magick, "%s", coder.c_str());
    std::snprintf(info->filename, sizeof info->filename, "%s:", coder.c_str());
    info->affirm = MagickTrue;
    info->subimage = 0;
    info->subrange = 1;
    // JPEG decodes at 1/2, 1/4 or 1/8 of its size when asked for a smaller picture.
    if (reduce) {
      char size[64];
      std::snprintf(size, sizeof size, "%dx%d", minSide, minSide);
      CloneString(&info->size, size);
    }
    return info;
  };
  auto decode = [&](bool reduce) {
    ImageInfo* info = makeInfo(reduce);
    ::Image* decoded = BlobToImage(info, bytes.data(), bytes.size(), &exception);
    DestroyImageInfo(info);
    return decoded;
  };
  if (memoryLimit_ > 0) {
    // The size alone first: the decoder's pixels and the packed bitmap made from them.
    ImageInfo* info = makeInfo(false);
    ::Image* pinged = PingBlob(info, bytes.data(), bytes.size(), &exception);
    DestroyImageInfo(info);
    const std::uint64_t pixels = pinged ? std::uint64_t(pinged->columns) * std::uint64_t(pinged->rows) : 0;
    if (pinged != nullptr) DestroyImageList(pinged);
    if (pixels > memoryLimit_ / (sizeof(PixelPacket) + 4)) {
      DestroyExceptionInfo(&exception);
      return error_ = kImagingTooLarge;
    }
    DestroyExceptionInfo(&exception);
    GetExceptionInfo(&exception);
  }
  const bool reduce = minSide > 0 && coder == "JPEG";
  ::Image* image = decode(reduce);
  // Below the size asked for on a side, the JPEG reader scales the picture up instead: such a
  // picture is small, and is decoded again at its own size.
  if (reduce && image != nullptr && exception.severity < ErrorException &&
      ((image->magick_columns > 0 && image->columns > image->magick_columns) ||
       (image->magick_rows > 0 && image->rows > image->magick_rows))) {
    DestroyImageList(image);
    image = decode(false);
  }
  const bool failed = image == nullptr || exception.severity >= ErrorException ||
                      image->columns == 0 || image->rows == 0;
  DestroyExceptionInfo(&exception);
  if (failed) {
    if (image != nullptr) DestroyImageList(image);
    return error_ = kImagingDecodeFailed;
  }
  if (image->next != nullptr) DestroyImageList(SplitImageList(image));
  if (image->colorspace != RGBColorspace) TransformColorspace(image, RGBColorspace);
  // Writers put an alpha mask into the version-5 header of 24-bit bitmaps too; such a
  // bitmap has no alpha bits, so whatever the reader made of them is noise.
  if (coder.rfind("BMP", 0) == 0 && BitmapBitsPerPixel(bytes) < 32) image->matte = MagickFalse;

  image_ = new Image;
  image_->image = image;
  // A reduced decode keeps the file's size apart; other loads have it as their own.
  image_->originalWidth = static_cast<int>(image->magick_columns > 0 ? image->magick_columns : image->columns);
  image_->originalHeight = static_cast<int>(image->magick_rows > 0 ? image->magick_rows : image->rows);
  if (minSide == 0 || image_->originalWidth < static_cast<int>(image->columns) ||
      image_->originalHeight < static_cast<int>(image->rows)) {
    image_->originalWidth = static_cast<int>(image->columns);
    image_->originalHeight = static_cast<int>(image->rows);
  }
  return error_ = kImagingOk;
}

std::uint16_t ImagingControl::Resize(int width, int height) {
  if (!image_) return error_ = kImagingNoImage;
  if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return error_ = kImagingBadSize;
  OneMagickThreadHere();
  ExceptionInfo exception;
  GetExceptionInfo(&exception);
  ::Image* resized = ResizeImage(image_->image, static_cast<unsigned long>(width),
                                          static_cast<unsigned long>(height), TriangleFilter, 1.0,
                                          &exception);
  DestroyExceptionInfo(&exception);
  if (resized == nullptr) return error_ = kImagingDecodeFailed;
  DestroyImage(image_->image);
  image_->image = resized;
  return error_ = kImagingOk;
}

std::vector<std::uint32_t> ImagingControl::Pixels() const {
  if (!image_) return {};
  OneMagickThreadHere();
  const std::size_t w = image_->image->columns, h = image_->image->rows;
  std::vector<unsigned char> rgba(w * h * 4);
  ExceptionInfo exception;
  GetExceptionInfo(&exception);
  const bool ok = DispatchImage(image_->image, 0, 0, w, h, "RGBA", CharPixel, rgba.data(),
                                &exception) == MagickPass;
  DestroyExceptionInfo(&exception);
  if (!ok) return {};
  const bool hasAlpha = image_->image->matte != MagickFalse;
  std::vector<std::uint32_t> out(w * h);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const unsigned char* p = &rgba[i * 4];
    const std::uint32_t a = hasAlpha ? p[3] : 0xFF;
    out[i] = (a << 24) | (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
  }
  return out;
}

std::vector<std::uint8_t> ImagingControl::PackedDib() const {
  const std::vector<std::uint32_t> pixels = Pixels();
  if (pixels.empty()) return {};
  const std::uint32_t w = static_cast<std::uint32_t>(Width()), h = static_cast<std::uint32_t>(Height());
  std::vector<std::uint8_t> dib(40 + pixels.size() * 4, 0);
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) dib[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  put32(0, 40);
  put32(4, w);
  put32(8, h);  // positive height: rows bottom to top
  dib[12] = 1;  // planes
  dib[14] = 32;  // bits per pixel, no compression, no colour table
  put32(20, w * h * 4);
  std::uint8_t* row = dib.data() + 40;
  for (std::uint32_t y = h; y-- > 0; row += w * 4) {
    for (std::uint32_t x = 0; x < w; ++x) {
      const std::uint32_t px = pixels[y * w + x];
      row[x * 4 + 0] = static_cast<std::uint8_t>(px);
      row[x * 4 + 1] = static_cast<std::uint8_t>(px >> 8);
      row[x * 4 + 2] = static_cast<std::uint8_t>(px >> 16);
      row[x * 4 + 3] = static_cast<std::uint8_t>(px >> 24);
    }
  }
  return dib;
}

}  // namespace movinta::platform
