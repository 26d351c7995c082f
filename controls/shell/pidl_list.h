// TPTIdListArray reads the items of a PIDL one at a time; TPTPidlList is a list
// of PIDLs with data pointers, optionally sorted by a shell folder's own order,
// with which the tree and list reconcile their contents on a refresh.
#pragma once

#include <cstdint>
#include <vector>

#include "controls/shell/shell_utils.h"

namespace ptshell {

class TPTIdListArray {
 public:
  explicit TPTIdListArray(PCItemIDList pidl) : IdList(pidl) {}
  ~TPTIdListArray() { ShellFree(Current); }
  TPTIdListArray(const TPTIdListArray&) = delete;
  TPTIdListArray& operator=(const TPTIdListArray&) = delete;

  int Count() const;
  // A one-item PIDL of item `index`; raises when the PIDL is null or the index
  // is out of range (an empty PIDL yields the empty list for index 0). Valid
  // until the next request.
  PCItemIDList Item(int index);
  // The first Count - levels items; null when levels is negative, above Count,
  // or the PIDL is null. Valid until the next request.
  PCItemIDList Parent(int levels);

  PCItemIDList IdList;            // not owned
  PItemIDList Current = nullptr;  // owned
};

enum TPTDuplicates : uint8_t { dupIgnore = 0, dupAccept = 1, dupError = 2 };

class TPTPidlList {
 public:
  struct Entry {
    PItemIDList Pidl;
    void* Data;
  };

  TPTPidlList() = default;
  virtual ~TPTPidlList() { Clear(); }
  TPTPidlList(const TPTPidlList&) = delete;
  TPTPidlList& operator=(const TPTPidlList&) = delete;

  // The list keeps the pointer itself (no copy).
  virtual int Add(PItemIDList pidl) { return AddObject(pidl, nullptr); }
  virtual int AddObject(PItemIDList pidl, void* data);

  int Count() const { return static_cast<int>(List.size()); }
  int Capacity() const { return static_cast<int>(List.capacity()); }
  void SetCapacity(int n) { List.reserve(static_cast<size_t>(n < 0 ? 0 : n)); }
  PItemIDList Pidls(int index) const { return List.at(static_cast<size_t>(index)).Pidl; }
  void* Data(int index) const { return List.at(static_cast<size_t>(index)).Data; }
  bool Sorted() const { return IsSorted; }
  void SetSorted(bool value);

  int IndexOf(PCItemIDList pidl) const;
  // Binary search of a sorted list; `index` is the match or the insertion point.
  bool Find(PCItemIDList pidl, int& index) const;
  // Frees the PIDL through Allocator when one is set.
  void Delete(int index);
  void Clear();

  // Compares through Folder when set, else bytewise (entry minus key).
  int Compare(PCItemIDList a, PCItemIDList b) const;

  ShellFolderPtr Folder;
  IMalloc* Allocator = nullptr;
  TPTDuplicates Duplicates = dupError;

 private:
  void Sort();
  std::vector<Entry> List;
  bool IsSorted = false;
};

}  // namespace ptshell
