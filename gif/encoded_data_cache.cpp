#include "gif/encoded_data_cache.h"

#include <algorithm>
#include <cstring>

namespace gif {

namespace {
std::uint64_t Mix(std::uint64_t h, std::uint64_t v) {
  h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
  return h * 0xBF58476D1CE4E5B9ull;
}
}  // namespace

std::uint64_t TGIFEncodedDataCache::Fingerprint(const Key& key, std::span<const std::uint8_t> pixels) {
  // A sample is enough to find candidates quickly; the full comparison decides.
  std::uint64_t h = Mix(0, static_cast<std::uint64_t>(key.Compression));
  h = Mix(h, static_cast<std::uint64_t>(key.BitsPerPixel));
  h = Mix(h, static_cast<std::uint64_t>(key.ColorCount));
  h = Mix(h, key.Interlaced ? 1u : 0u);
  h = Mix(h, static_cast<std::uint64_t>(key.Width) << 32 | static_cast<std::uint32_t>(key.Height));
  h = Mix(h, pixels.size());
  const std::size_t n = pixels.size();
  if (n == 0) return h;
  constexpr std::size_t samples = 256;
  for (std::size_t i = 0; i < samples; ++i) h = Mix(h, pixels[(i * (n - 1)) / (samples - 1)]);
  return h;
}

EncodeStatus TGIFEncodedDataCache::Encode(const Key& key, std::span<const std::uint8_t> pixels,
                                          std::vector<std::uint8_t>& out) {
  const std::uint64_t fingerprint = Fingerprint(key, pixels);
  {
    std::lock_guard guard(lock_);
    auto [first, last] = entries_.equal_range(fingerprint);
    for (auto it = first; it != last; ++it) {
      Entry& e = *it->second;
      if (e.key == key && e.pixels.size() == pixels.size() &&
          std::memcmp(e.pixels.data(), pixels.data(), pixels.size()) == 0) {
        e.used = true;
        ++hits_;
        out.insert(out.end(), e.data.begin(), e.data.end());
        return EncodeStatus::Ok;
      }
    }
  }
  auto entry = std::make_unique<Entry>();
  const EncodeStatus status = EncodeImageData(key.Compression, entry->data, key.BitsPerPixel, key.ColorCount, pixels,
                                              key.Interlaced, key.Height, key.Width);
  out.insert(out.end(), entry->data.begin(), entry->data.end());
  if (status != EncodeStatus::Ok) return status;
  entry->key = key;
  entry->pixels.assign(pixels.begin(), pixels.end());
  entry->used = true;
  std::lock_guard guard(lock_);
  ++misses_;
  entries_.emplace(fingerprint, std::move(entry));
  return status;
}

void TGIFEncodedDataCache::BeginWrite() {
  std::lock_guard guard(lock_);
  for (auto& [fingerprint, entry] : entries_) entry->used = false;
}

void TGIFEncodedDataCache::EndWrite() {
  std::lock_guard guard(lock_);
  for (auto it = entries_.begin(); it != entries_.end();) it = it->second->used ? std::next(it) : entries_.erase(it);
}

std::size_t TGIFEncodedDataCache::Entries() const {
  std::lock_guard guard(lock_);
  return entries_.size();
}

}  // namespace gif
