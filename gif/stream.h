// The byte streams the GIF library reads from and writes to. Input is always a
// memory buffer (files are read into one first), so a reader can never run past
// its end; output goes to a growing byte vector, or in blocks straight to a file,
// and reaches disk through a temporary file and a rename.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <span>
#include <string>
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

// Reads a borrowed buffer; the buffer must outlive the reader. Every read
// returns what was available and never touches memory beyond the end.
class ByteReader {
public:
  ByteReader() = default;
  explicit ByteReader(std::span<const std::uint8_t> data) : data_(data) {}

  std::size_t Size() const { return data_.size(); }
  std::size_t Position() const { return pos_; }
  std::size_t Remaining() const { return data_.size() - pos_; }
  bool AtEnd() const { return pos_ >= data_.size(); }
  // Clamps to the buffer: a seek outside it lands on the nearest end.
  void Seek(std::size_t position) { pos_ = position < data_.size() ? position : data_.size(); }
  void Skip(std::ptrdiff_t delta);

  // One byte into value; false at the end (value untouched).
  bool Read(std::uint8_t& value);
  // Up to count bytes; returns how many were read.
  std::size_t Read(void* buffer, std::size_t count);
  // The unread rest of the buffer.
  std::span<const std::uint8_t> Rest() const { return data_.subspan(pos_); }

private:
  std::span<const std::uint8_t> data_;
  std::size_t pos_ = 0;
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
// Reads a whole file, in parts on up to `threads` threads; raises GIFException with the reason
// when it cannot. A file cut short while it is read gives what it held up to the cut.
FileBytes ReadFileBytes(const std::string& path, int threads = 1);
// Writes bytes to path through a private temporary file in the same folder and a
// rename, so the old file stays intact when anything fails; raises GIFException.
void WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace gif
