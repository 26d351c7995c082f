#include "gif/stream.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "gif/gifimage.h"

namespace gif {

void ByteReader::Skip(std::ptrdiff_t delta) {
  if (delta < 0) {
    const auto back = static_cast<std::size_t>(-delta);
    pos_ = back > pos_ ? 0 : pos_ - back;
  } else {
    Seek(pos_ + static_cast<std::size_t>(delta) < pos_ ? data_.size() : pos_ + static_cast<std::size_t>(delta));
  }
}

bool ByteReader::Read(std::uint8_t& value) {
  if (pos_ >= data_.size()) return false;
  value = data_[pos_++];
  return true;
}

std::size_t ByteReader::Read(void* buffer, std::size_t count) {
  const std::size_t n = count < Remaining() ? count : Remaining();
  if (n) std::memcpy(buffer, data_.data() + pos_, n);
  pos_ += n;
  return n;
}

namespace {
// Output held before it is passed on, and writes large enough to pass on without copying.
constexpr std::size_t kSinkBlock = 256 * 1024;
constexpr std::size_t kSinkDirect = 16 * 1024;
}  // namespace

void ByteWriter::Write(const void* data, std::size_t count) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  if (sink_ && count >= kSinkDirect) {
    Flush();
    sink_(std::span<const std::uint8_t>(p, count));
    passed_ += count;
    return;
  }
  bytes_.insert(bytes_.end(), p, p + count);
  if (sink_ && bytes_.size() >= kSinkBlock) Flush();
}

void ByteWriter::Reserve(std::size_t bytes) {
  if (!sink_) bytes_.reserve(bytes);
}

void ByteWriter::Flush() {
  if (!sink_ || bytes_.empty()) return;
  sink_(bytes_);
  passed_ += bytes_.size();
  bytes_.clear();
}

namespace {
std::string Reason(const std::string& text, const std::string& path) {
  return text + " " + path + ": " + std::strerror(errno);
}
}  // namespace

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) GIFError(Reason(texts::CannotOpenFile, path));
  std::vector<std::uint8_t> bytes;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
    bytes.reserve(static_cast<std::size_t>(st.st_size));
  std::uint8_t chunk[65536];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      const std::string why = Reason(texts::CannotOpenFile, path);
      ::close(fd);
      GIFError(why);
    }
    if (n == 0) break;
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
  ::close(fd);
  return bytes;
}

void WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
  // The temporary file sits beside the target so that the rename stays on one
  // file system and replaces the old file in one step.
  const auto slash = path.find_last_of('/');
  const std::string dir = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
  std::string tmpl = dir + (dir.back() == '/' ? "" : "/") + ".~ZQXXXXXX";
  std::vector<char> name(tmpl.begin(), tmpl.end());
  name.push_back('\0');
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);  // exclusive, mode 0600
  if (fd < 0) GIFError(Reason(texts::CannotWriteFile, path));
  auto fail = [&](const std::string& why) {
    ::close(fd);
    ::unlink(name.data());
    GIFError(why);
  };
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail(Reason(texts::CannotWriteFile, path));
    }
    done += static_cast<std::size_t>(n);
  }
  // Keep the permissions of the file being replaced; a new file gets the
  // usual ones under the user's umask.
  struct stat st {};
  mode_t mode;
  if (::stat(path.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0) fail(Reason(texts::CannotWriteFile, path));
  if (::close(fd) != 0) {
    ::unlink(name.data());
    GIFError(Reason(texts::CannotWriteFile, path));
  }
  if (::rename(name.data(), path.c_str()) != 0) {
    const std::string why = Reason(texts::CannotWriteFile, path);
    ::unlink(name.data());
    GIFError(why);
  }
}

}  // namespace gif
