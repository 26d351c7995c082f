#include "gif/stream.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "gif/gifimage.h"
#include "gif/threads.h"

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

namespace {
// A part of a file read on one thread: large enough that a thread's start costs little beside it.
constexpr std::size_t kReadPart = std::size_t{4} << 20;

class FileDescriptor {
public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() { ::close(fd_); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int Get() const { return fd_; }

private:
  int fd_;
};

// Reads into `at` from `offset` until `count` bytes or the end of the file; returns the bytes
// read, or -1 with errno set.
ssize_t ReadAt(int fd, std::uint8_t* at, std::size_t count, std::size_t offset) {
  std::size_t done = 0;
  while (done < count) {
    const ssize_t n = ::pread(fd, at + done, count - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(done);
}
}  // namespace

FileBytes ReadFileBytes(const std::string& path, int threads) {
  const int opened = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (opened < 0) GIFError(Reason(texts::CannotOpenFile, path));
  const FileDescriptor file(opened);
  const int fd = file.Get();
  FileBytes bytes;
  struct stat st {};
  std::size_t expected = 0;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) expected = static_cast<std::size_t>(st.st_size);
  if (expected > 0) {
    // The parts are read side by side straight into place: the copy out of the page cache and
    // the first touch of each page of the buffer are most of a large file's read.
    bytes.resize(expected);
    const int parts = static_cast<int>((expected + kReadPart - 1) / kReadPart);
    std::vector<ssize_t> got(static_cast<std::size_t>(parts));
    RunOnThreads(parts, std::clamp(threads, 1, parts), [&](int k) {
      const std::size_t from = static_cast<std::size_t>(k) * kReadPart;
      const std::size_t count = std::min(kReadPart, expected - from);
      got[static_cast<std::size_t>(k)] = ReadAt(fd, bytes.data() + from, count, from);
      if (got[static_cast<std::size_t>(k)] < 0) got[static_cast<std::size_t>(k)] = -errno;
    });
    std::size_t held = expected;
    for (int k = 0; k < parts; ++k) {
      const ssize_t n = got[static_cast<std::size_t>(k)];
      if (n < 0) {
        errno = static_cast<int>(-n);
        GIFError(Reason(texts::CannotOpenFile, path));
      }
      const std::size_t from = static_cast<std::size_t>(k) * kReadPart;
      // A file cut short while it was read ends at its first short part.
      if (static_cast<std::size_t>(n) < std::min(kReadPart, expected - from)) {
        held = from + static_cast<std::size_t>(n);
        break;
      }
    }
    bytes.resize(held);
    if (held < expected) return bytes;
    if (::lseek(fd, static_cast<off_t>(expected), SEEK_SET) < 0) GIFError(Reason(texts::CannotOpenFile, path));
  }
  // Whatever lies past the size the file had (one that grows, or one of no known size).
  std::uint8_t chunk[65536];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      GIFError(Reason(texts::CannotOpenFile, path));
    }
    if (n == 0) break;
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
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
