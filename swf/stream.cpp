#include "swf/stream.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

namespace {

constexpr size_t kLargeBuffer = size_t(4) << 20;
// The first large buffer is made big at once: its memory is only taken where it is written, while
// what a smaller buffer held is copied into fresh memory at every step.
constexpr size_t kFirstLargeBuffer = size_t(32) << 20;
constexpr uintptr_t kHugePage = uintptr_t(2) << 20;

// A hint only: where huge pages are off or not to be had, the memory is used as it comes.
void AdviseHugePages(void* data, size_t size)
{
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + kHugePage - 1) & ~(kHugePage - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + size) & ~(kHugePage - 1);
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

}  // namespace

void FlashOutputStream::Grow(size_t needed, size_t exactly)
{
    size_t capacity = exactly ? exactly : std::max(needed, bytes_.capacity() * 2);
    if (capacity < kLargeBuffer) {
        bytes_.reserve(capacity);
        return;
    }
    if (!exactly) capacity = std::max(capacity, kFirstLargeBuffer);
    // Reserving in place would copy into the new buffer before the advice could be given.
    std::vector<uint8_t> bigger;
    bigger.reserve(capacity);
    AdviseHugePages(bigger.data(), capacity);
    bigger.insert(bigger.end(), bytes_.begin(), bytes_.end());
    bytes_.swap(bigger);
}
