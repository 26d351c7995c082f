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

std::uint64_t TGIFEncodedDataCache::HashKey(const Key& key) {
  std::uint64_t h = Mix(0, static_cast<std::uint64_t>(key.Compression));
  h = Mix(h, static_cast<std::uint64_t>(key.BitsPerPixel));
  h = Mix(h, static_cast<std::uint64_t>(key.ColorCount));
  h = Mix(h, key.Interlaced ? 1u : 0u);
  h = Mix(h, static_cast<std::uint64_t>(key.Width) << 32 | static_cast<std::uint32_t>(key.Height));
  return Mix(h, key.Pixels);
}

std::uint64_t TGIFEncodedDataCache::HashData(std::span<const std::uint8_t> data) {
  // Only finds candidates; the bytes are compared in full.
  std::uint64_t h = Mix(0, data.size());
  std::size_t i = 0;
  for (; i + 8 <= data.size(); i += 8) {
    std::uint64_t v;
    std::memcpy(&v, data.data() + i, 8);
    h = Mix(h, v);
  }
  for (; i < data.size(); ++i) h = Mix(h, data[i]);
  return h;
}

TGIFEncodedDataCache::Entry* TGIFEncodedDataCache::Find(const Key& key, std::uint64_t keyHash) const {
  auto [first, last] = entries_.equal_range(keyHash);
  for (auto it = first; it != last; ++it)
    if (it->second->key == key) return it->second.get();
  return nullptr;
}

EncodeStatus TGIFEncodedDataCache::Encode(const Key& key, std::span<const std::uint8_t> pixels,
                                          Data& out) {
  const std::uint64_t keyHash = HashKey(key);
  {
    std::lock_guard guard(lock_);
    if (Entry* e = Find(key, keyHash)) {
      e->used = true;
      ++hits_;
      out = e->data;
      return EncodeStatus::Ok;
    }
  }
  auto bytes = std::make_shared<std::vector<std::uint8_t>>();
  const EncodeStatus status = EncodeImageData(key.Compression, *bytes, key.BitsPerPixel, key.ColorCount, pixels,
                                              key.Interlaced, key.Height, key.Width);
  out = bytes;
  if (status != EncodeStatus::Ok) return status;
  auto entry = std::make_unique<Entry>();
  entry->key = key;
  entry->data = std::move(bytes);
  entry->dataHash = HashData(*entry->data);
  entry->used = true;
  std::lock_guard guard(lock_);
  ++misses_;
  // Another thread may have encoded the same pixels meanwhile.
  if (Entry* e = Find(key, keyHash)) {
    e->used = true;
    return status;
  }
  byData_.emplace(entry->dataHash, entry.get());
  entries_.emplace(keyHash, std::move(entry));
  return status;
}

bool TGIFEncodedDataCache::Lookup(const Key& key, Data& out) {
  std::lock_guard guard(lock_);
  Entry* e = Find(key, HashKey(key));
  if (!e) return false;
  e->used = true;
  ++hits_;
  out = e->data;
  return true;
}

bool TGIFEncodedDataCache::LookupRemapped(const Key& key, const Key& base, const std::array<std::uint8_t, 256>& map,
                                          Data& out) {
  // Single-pixel codes are the pixels only where the data is LZW of the same shape.
  if (key.Compression == 1 || base.Compression != key.Compression || base.Interlaced != key.Interlaced ||
      base.Width != key.Width || base.Height != key.Height)
    return Lookup(key, out);
  Data from;
  {
    std::lock_guard guard(lock_);
    if (Entry* e = Find(key, HashKey(key))) {
      e->used = true;
      ++hits_;
      out = e->data;
      return true;
    }
    Entry* b = Find(base, HashKey(base));
    if (!b) return false;
    from = b->data;
  }
  auto bytes = std::make_shared<std::vector<std::uint8_t>>();
  if (!RemapLZWImageData(*from, map, key.BitsPerPixel, key.ColorCount, *bytes)) return false;
  auto entry = std::make_unique<Entry>();
  entry->key = key;
  entry->data = bytes;
  entry->dataHash = HashData(*bytes);
  entry->used = true;
  out = std::move(bytes);
  const std::uint64_t keyHash = HashKey(key);
  std::lock_guard guard(lock_);
  ++hits_;
  if (Entry* e = Find(key, keyHash)) {
    e->used = true;
    return true;
  }
  byData_.emplace(entry->dataHash, entry.get());
  entries_.emplace(keyHash, std::move(entry));
  return true;
}

std::uint64_t TGIFEncodedDataCache::FindPixels(bool interlaced, int width, int height,
                                               std::span<const std::uint8_t> data, std::uint64_t dataHash) const {
  std::lock_guard guard(lock_);
  auto [first, last] = byData_.equal_range(dataHash);
  for (auto it = first; it != last; ++it) {
    const Entry& e = *it->second;
    if (e.key.Interlaced == interlaced && e.key.Width == width && e.key.Height == height &&
        std::equal(e.data->begin(), e.data->end(), data.begin(), data.end()))
      return e.key.Pixels;
  }
  return 0;
}

void TGIFEncodedDataCache::Seed(const Key& key, std::span<const std::uint8_t> data, std::uint64_t dataHash) {
  auto entry = std::make_unique<Entry>();
  entry->key = key;
  entry->data = std::make_shared<const std::vector<std::uint8_t>>(data.begin(), data.end());
  entry->dataHash = dataHash;
  const std::uint64_t keyHash = HashKey(key);
  std::lock_guard guard(lock_);
  if (Find(key, keyHash)) return;
  byData_.emplace(entry->dataHash, entry.get());
  entries_.emplace(keyHash, std::move(entry));
}

void TGIFEncodedDataCache::BeginWrite() {
  std::lock_guard guard(lock_);
  for (auto& [hash, entry] : entries_) entry->used = false;
}

void TGIFEncodedDataCache::EndWrite() {
  std::lock_guard guard(lock_);
  for (auto it = entries_.begin(); it != entries_.end();) {
    Entry* e = it->second.get();
    if (e->used) {
      ++it;
      continue;
    }
    auto [first, last] = byData_.equal_range(e->dataHash);
    for (auto d = first; d != last; ++d)
      if (d->second == e) {
        byData_.erase(d);
        break;
      }
    it = entries_.erase(it);
  }
}

std::size_t TGIFEncodedDataCache::Entries() const {
  std::lock_guard guard(lock_);
  return entries_.size();
}

std::size_t TGIFEncodedDataCache::DataSize() const {
  std::lock_guard guard(lock_);
  std::size_t bytes = 0;
  for (const auto& [hash, entry] : entries_) bytes += entry->data->size();
  return bytes;
}

}  // namespace gif
