#include "gif/stream.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "gif/gifimage.h"
#include "gif/lzw/lzw.h"
#include "gif/threads.h"

namespace gif {

ByteReader::ByteReader(ArrivingFile& file) : data_(file.Buffer()), file_(&file) {}

void ByteReader::Arrive(std::size_t end) {
  const ArrivingFile::Arrived arrived = file_->WaitFor(end);
  arrived_ = arrived.Bytes;
  if (arrived.Ended) {
    data_ = data_.first(std::min(arrived.Bytes, data_.size()));
    pos_ = std::min(pos_, data_.size());
    file_ = nullptr;
  }
}

void ByteReader::Skip(std::ptrdiff_t delta) {
  if (delta < 0) {
    const auto back = static_cast<std::size_t>(-delta);
    pos_ = back > pos_ ? 0 : pos_ - back;
  } else {
    Seek(pos_ + static_cast<std::size_t>(delta) < pos_ ? data_.size() : pos_ + static_cast<std::size_t>(delta));
  }
}

bool ByteReader::Read(std::uint8_t& value) {
  if (!Has(1)) return false;
  value = data_[pos_++];
  return true;
}

std::size_t ByteReader::Read(void* buffer, std::size_t count) {
  Need(pos_ + count);
  const std::size_t left = pos_ < data_.size() ? data_.size() - pos_ : 0;
  const std::size_t n = count < left ? count : left;
  if (n) std::memcpy(buffer, data_.data() + pos_, n);
  pos_ += n;
  return n;
}

std::span<const std::uint8_t> ByteReader::Rest() {
  Need(data_.size());
  return data_.subspan(std::min(pos_, data_.size()));
}

std::size_t ByteReader::ImageDataSize() {
  if (!Has(1)) return 0;
  std::size_t p = pos_ + 1;  // the first length byte, after the minimum code size
  for (;;) {
    const std::size_t arrived = file_ ? std::min(arrived_, data_.size()) : data_.size();
    bool terminated = false;
    p = SkipSubBlocks(data_.first(arrived), p, terminated);
    if (terminated) return p - pos_;
    if (!file_) return data_.size() - pos_;
    Arrive(p + 1);
  }
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

ArrivingFile::ArrivingFile(const std::string& path, int threads) : path_(path), part_(std::max<std::size_t>(PartBytes, 1)) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) GIFError(Reason(texts::CannotOpenFile, path));
  try {
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) {
      // No size to share out: read as it comes, to its end.
      std::uint8_t chunk[65536];
      for (;;) {
        const ssize_t n = ::read(fd_, chunk, sizeof chunk);
        if (n < 0) {
          if (errno == EINTR) continue;
          GIFError(Reason(texts::CannotOpenFile, path));
        }
        if (n == 0) break;
        bytes_.insert(bytes_.end(), chunk, chunk + n);
      }
      arrived_ = bytes_.size();
      ended_ = true;
      return;
    }
    // Each part is read straight into place: the copy out of the page cache and the first touch
    // of each page of the buffer are most of a large file's read.
    bytes_.resize(static_cast<std::size_t>(st.st_size));
    partBytes_.assign((bytes_.size() + part_ - 1) / part_, -1);
    const int wanted = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(std::max(threads, 1)), partBytes_.size()));
    // With no thread to read it, the file is read here, whole.
    if (StartThreads(threads_, wanted, [this] { ReadParts(); }) == 0) ReadParts();
  } catch (...) {
    stop_ = true;
    for (std::thread& t : threads_) t.join();
    ::close(fd_);
    throw;
  }
}

ArrivingFile::~ArrivingFile() {
  stop_ = true;
  for (std::thread& t : threads_) t.join();
  ::close(fd_);
}

void ArrivingFile::ReadParts() {
  const std::size_t parts = partBytes_.size();
  for (std::size_t k = nextPart_++; k < parts && !stop_; k = nextPart_++) {
    const std::size_t from = k * part_;
    const ssize_t n = ReadAt(fd_, bytes_.data() + from, std::min(part_, bytes_.size() - from), from);
    const int error = n < 0 ? errno : 0;
    {
      std::lock_guard lock(mutex_);
      partBytes_[k] = n < 0 ? -static_cast<std::int64_t>(std::max(error, 1)) - 1 : n;
      while (!ended_ && firstOpen_ < parts && partBytes_[firstOpen_] != -1) {
        const std::int64_t got = partBytes_[firstOpen_];
        if (got < 0) {
          error_ = static_cast<int>(-got - 1);
          ended_ = true;
          break;
        }
        const std::size_t start = firstOpen_ * part_;
        arrived_ = start + static_cast<std::size_t>(got);
        // A part that came back short is where the file was cut while it was read.
        if (static_cast<std::size_t>(got) < std::min(part_, bytes_.size() - start)) ended_ = true;
        ++firstOpen_;
      }
      if (firstOpen_ == parts) ended_ = true;
      if (ended_) stop_ = true;
    }
    arrivedChanged_.notify_all();
  }
}

ArrivingFile::Arrived ArrivingFile::WaitFor(std::size_t end) {
  std::unique_lock lock(mutex_);
  arrivedChanged_.wait(lock, [&] { return arrived_ >= end || ended_; });
  if (error_ && arrived_ < end) {
    errno = error_;
    GIFError(Reason(texts::CannotOpenFile, path_));
  }
  return {arrived_, ended_ && error_ == 0};
}

FileBytes ArrivingFile::Take() {
  const Arrived arrived = WaitFor(bytes_.size());
  stop_ = true;
  for (std::thread& t : threads_) t.join();
  threads_.clear();
  bytes_.resize(arrived.Bytes);
  return std::move(bytes_);
}

FileBytes ReadFileBytes(const std::string& path, int threads) {
  ArrivingFile file(path, threads);
  return file.Take();
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
