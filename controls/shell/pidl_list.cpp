#include "controls/shell/pidl_list.h"

#include <algorithm>
#include <cstring>

#include "platform/shellnamespace/item_id.h"

namespace ptshell {

int TPTIdListArray::Count() const { return static_cast<int>(shellns::ItemCount(IdList)); }

PCItemIDList TPTIdListArray::Item(int index) {
  ShellFree(Current);
  Current = nullptr;
  const int count = Count();
  if (!IdList || index < 0 || (index >= count && count != 0)) {
    char text[64];
    std::snprintf(text, sizeof text, "TPTIdListArray - index %d out of range", index);
    throw EPTShellError(text);
  }
  Current = PidlFromIdList(shellns::ItemAt(IdList, static_cast<size_t>(index)));
  return Current;
}

PCItemIDList TPTIdListArray::Parent(int levels) {
  ShellFree(Current);
  Current = nullptr;
  const int count = Count();
  if (!IdList || levels < 0 || levels > count) return nullptr;
  Current = PidlFromIdList(shellns::Prefix(IdList, static_cast<size_t>(count - levels)));
  return Current;
}

int TPTPidlList::Compare(PCItemIDList a, PCItemIDList b) const {
  if (Folder) {
    const HRESULT hr = Folder->CompareIDs(0, a, b);
    if (SUCCEEDED(hr)) return shellns::CompareCode(hr);
  }
  const size_t sa = a ? shellns::ListSize(a) : 0, sb = b ? shellns::ListSize(b) : 0;
  const size_t n = std::min(sa, sb);
  for (size_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return static_cast<int>(a[i]) - static_cast<int>(b[i]);
  return static_cast<int>(sa) - static_cast<int>(sb);
}

bool TPTPidlList::Find(PCItemIDList pidl, int& index) const {
  int lo = 0, hi = Count() - 1;
  bool found = false;
  while (lo <= hi) {
    const int mid = (lo + hi) / 2;
    const int c = Compare(List[static_cast<size_t>(mid)].Pidl, pidl);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        if (Duplicates != dupAccept) lo = mid;
      }
    }
  }
  index = lo;
  return found;
}

int TPTPidlList::AddObject(PItemIDList pidl, void* data) {
  int index = Count();
  if (IsSorted) {
    if (Find(pidl, index)) {
      if (Duplicates == dupIgnore) return index;
      if (Duplicates == dupError) throw EPTShellError("TPTPidlList: Duplicate PIDL");
    }
  }
  List.insert(List.begin() + index, Entry{pidl, data});
  return index;
}

void TPTPidlList::SetSorted(bool value) {
  if (value == IsSorted) return;
  if (value) Sort();
  IsSorted = value;
}

void TPTPidlList::Sort() {
  std::stable_sort(List.begin(), List.end(), [this](const Entry& x, const Entry& y) { return Compare(x.Pidl, y.Pidl) < 0; });
}

int TPTPidlList::IndexOf(PCItemIDList pidl) const {
  if (IsSorted) {
    int index = 0;
    return Find(pidl, index) ? index : -1;
  }
  for (int i = 0; i < Count(); ++i)
    if (Compare(List[static_cast<size_t>(i)].Pidl, pidl) == 0) return i;
  return -1;
}

void TPTPidlList::Delete(int index) {
  const Entry e = List.at(static_cast<size_t>(index));
  List.erase(List.begin() + index);
  if (Allocator && e.Pidl) Allocator->Free(e.Pidl);
}

void TPTPidlList::Clear() {
  while (!List.empty()) Delete(Count() - 1);
}

}  // namespace ptshell
