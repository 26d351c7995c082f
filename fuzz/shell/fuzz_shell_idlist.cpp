// Reads arbitrary bytes as an item-ID list and as a "Shell IDList Array" block,
// the two forms in which lists arrive from outside. Whatever validates must
// walk, split and join without reading past its bytes, and a parsed block must
// write back to the same children.
// Input: one selector byte (bit 0: read as a block), then the bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/shellnamespace/item_id.h"

using namespace shellns;

namespace {

void Walk(const IdList& list) {
  const size_t n = ItemCount(list.data());
  if (ListSize(list.data()) != list.size()) std::abort();
  for (size_t i = 0; i < n; ++i) {
    const IdList item = ItemAt(list.data(), i);
    ItemView v;
    if (!DecodeItem(item.data(), v)) std::abort();
    (void)DisplayableName(v.name);
    const IdList head = Prefix(list.data(), i);
    const IdList whole = Concat(head.data(), item.data());
    if (ItemCount(whole.data()) != i + 1) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const bool block = data[0] & 1;
  ++data;
  --size;
  if (!block) {
    size_t used = 0;
    if (!ValidateAbsoluteIdList(data, size, &used)) return 0;
    if (used > size) std::abort();
    Walk(IdList(data, data + used));
    return 0;
  }
  IdList parent;
  std::vector<IdList> children;
  if (!ParseIdListArrayBytes(data, size, parent, children)) return 0;
  Walk(parent);
  for (const IdList& c : children) Walk(Concat(parent.data(), c.data()));
  return 0;
}
