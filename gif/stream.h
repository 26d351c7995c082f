// The byte streams the GIF library reads from and writes to. Input is always a
// memory buffer (files are read into one, and walked as their parts arrive), so
// a reader can never run past its end; output goes to a growing byte vector, or
// in blocks straight to a file, and reaches disk through a temporary file and a
// rename.
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <span>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace gif {

// An allocator whose resize leaves new bytes unwritten, for buffers that are written whole next.
template <class T>
struct UnfilledAllocator : std::allocator<T> {
  UnfilledAllocator() = default;
  template <class U>
  UnfilledAllocator(const UnfilledAllocator<U>&) noexcept {}
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

class ArrivingFile;

// Reads a borrowed buffer; the buffer must outlive the reader. Every read
// returns what was available and never touches memory beyond the end. A reader
// of an ArrivingFile waits for the bytes it reads to arrive.
class ByteReader {
public:
  ByteReader() = default;
  explicit ByteReader(std::span<const std::uint8_t> data) : data_(data) {}
  // Reads the file's bytes as they arrive; the file must outlive the reader.
  explicit ByteReader(ArrivingFile& file);

  // The size of the data; for a file still arriving, its size when it was opened, until it is
  // found to have been cut short.
  std::size_t Size() const { return data_.size(); }
  std::size_t Position() const { return pos_; }
  // Whether `count` more bytes are there to read.
  bool Has(std::size_t count) {
    Need(pos_ + count);
    return pos_ <= data_.size() && data_.size() - pos_ >= count;
  }
  bool AtEnd() { return !Has(1); }
  // Clamps to the buffer: a seek outside it lands on the nearest end.
  void Seek(std::size_t position) { pos_ = position < data_.size() ? position : data_.size(); }
  void Skip(std::ptrdiff_t delta);

  // One byte into value; false at the end (value untouched).
  bool Read(std::uint8_t& value);
  // Up to count bytes; returns how many were read.
  std::size_t Read(void* buffer, std::size_t count);
  // The unread rest of the buffer, for a reader of an ArrivingFile all of it arrived.
  std::span<const std::uint8_t> Rest();
  // The next `count` bytes, fewer at the end, arrived; the position stays.
  std::span<const std::uint8_t> Peek(std::size_t count) {
    Need(pos_ + count);
    const std::size_t at = pos_ < data_.size() ? pos_ : data_.size();
    return data_.subspan(at, std::min(count, data_.size() - at));
  }
  // The size of the table-based image data starting here (LZWDataSize), all of it arrived.
  std::size_t ImageDataSize();

private:
  void Need(std::size_t end) {
    if (file_ && end > arrived_) Arrive(end);
  }
  void Arrive(std::size_t end);

  std::span<const std::uint8_t> data_;
  std::size_t pos_ = 0;
  ArrivingFile* file_ = nullptr;
  std::size_t arrived_ = 0;
};

class ByteWriter {
public:
  // Takes bytes as they are written and passes them on (to a file); raises on failure.
  using Sink = std::function<void(std::span<const std::uint8_t>)>;

  // Collects everything in Bytes().
  ByteWriter() = default;
  // Hands the output to sink in blocks as it is written, holding at most about one block.
  explicit ByteWriter(Sink sink) : sink_(std::move(sink)) {}

  void Write(std::uint8_t value) { bytes_.push_back(value); }
  void Write(const void* data, std::size_t count);
  void WriteWord(std::uint16_t value) {
    bytes_.push_back(static_cast<std::uint8_t>(value));
    bytes_.push_back(static_cast<std::uint8_t>(value >> 8));
  }
  // Bytes written so far, those passed on included.
  std::size_t Position() const { return passed_ + bytes_.size(); }
  // Room for a whole output of about `bytes`, when it is collected.
  void Reserve(std::size_t bytes);
  // Passes what is held on to the sink; the writer's user calls it once at the end.
  void Flush();
  std::vector<std::uint8_t>& Bytes() { return bytes_; }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
  std::vector<std::uint8_t> Take() { return std::move(bytes_); }

private:
  Sink sink_;
  std::size_t passed_ = 0;
  std::vector<std::uint8_t> bytes_;
};

// A whole file's bytes.
using FileBytes = std::vector<std::uint8_t, UnfilledAllocator<std::uint8_t>>;

// A file read into memory in parts, in order, on up to `threads` threads, while a ByteReader
// walks what has arrived: the bytes the file holds when it is opened (a file of no known size, a
// pipe, is read whole first). A file cut short while it is read ends at the cut.
class ArrivingFile {
public:
  // Raises GIFException with the reason when the file cannot be opened.
  ArrivingFile(const std::string& path, int threads);
  // Stops the reading and waits for its threads.
  ~ArrivingFile();
  ArrivingFile(const ArrivingFile&) = delete;
  ArrivingFile& operator=(const ArrivingFile&) = delete;

  // The buffer the file is read into.
  std::span<const std::uint8_t> Buffer() const { return bytes_; }
  struct Arrived {
    std::size_t Bytes;  // from the start of the file
    bool Ended;         // no more will come: Bytes is the file's length
  };
  // Waits until the first `end` bytes have arrived or the reading has ended; raises
  // GIFException with the reason when reading failed.
  Arrived WaitFor(std::size_t end);
  // Waits for the whole file and takes its bytes.
  FileBytes Take();

  // Bytes read as one part on one thread: enough that starting a thread costs little beside them,
  // few enough that the walk starts soon. Tests make it small to see files arrive in many parts.
  inline static std::size_t PartBytes = std::size_t{4} << 20;

private:
  void ReadParts();

  std::string path_;
  int fd_ = -1;
  std::size_t part_ = PartBytes;
  FileBytes bytes_;
  std::vector<std::thread> threads_;
  std::atomic<std::size_t> nextPart_{0};
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable arrivedChanged_;
  std::vector<std::int64_t> partBytes_;  // what each part read; -1 while it is read, -1 - errno when that failed
  std::size_t arrived_ = 0;              // contiguous from the start
  std::size_t firstOpen_ = 0;            // the first part not yet counted in arrived_
  bool ended_ = false;
  int error_ = 0;
};

// Reads a whole file, in parts on up to `threads` threads; raises GIFException with the reason
// when it cannot.
FileBytes ReadFileBytes(const std::string& path, int threads = 1);
// Writes bytes to path through a private temporary file in the same folder and a
// rename, so the old file stays intact when anything fails; raises GIFException.
void WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace gif
