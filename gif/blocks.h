// The blocks of a GIF file and the lists that hold them: TGIFItem, the base of
// the header, frames and extensions; TGIFList, and the lists of frames and of
// extensions.
//
// Ownership follows the lists: a TGIFList owns the items added to it (created
// with new, freed by Delete, Clear or the list's destruction), and an item being
// destroyed takes itself out of its list first, so a list never holds a freed
// item.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "gif/basics.h"
#include "gif/load_options.h"
#include "gif/stream.h"

namespace gif {

class TGIFItem {
public:
  explicit TGIFItem(TGIFImage* image) : image_(image) {}
  virtual ~TGIFItem() = default;
  TGIFItem(const TGIFItem&) = delete;
  TGIFItem& operator=(const TGIFItem&) = delete;

  TGIFImage* Image() const { return image_; }
  virtual int GetVersion() const { return gv87a; }
  virtual void Warning(int severity, const std::string& message);
  virtual void SaveToStream(ByteWriter& stream) = 0;
  virtual void LoadFromStream(ByteReader& stream) = 0;
  void SaveToFile(const std::string& name);
  void LoadFromFile(const std::string& name);

private:
  friend class TGIFImage;  // rebinds items when a freshly loaded image is swapped in
  TGIFImage* image_;
};

class TGIFList {
public:
  explicit TGIFList(TGIFImage* image) : image_(image) {}
  virtual ~TGIFList();
  TGIFList(const TGIFList&) = delete;
  TGIFList& operator=(const TGIFList&) = delete;

  TGIFImage* Image() const { return image_; }
  // Raises std::out_of_range for a bad index.
  TGIFItem* GetItem(int index) const;
  int GetCount() const { return static_cast<int>(items_.size()); }
  int IndexOf(const TGIFItem* item) const;
  // Takes ownership; the item must have the same owner image.
  int Add(TGIFItem* item);
  void Insert(int index, TGIFItem* item);
  void Move(int fromIndex, int toIndex);
  // Removes and frees.
  void Delete(int index);
  void Clear();
  // Removes without freeing; ownership passes back to the caller.
  void Remove(TGIFItem* item);

  virtual void Warning(int severity, const std::string& message);
  virtual void SaveToStream(ByteWriter& stream);
  virtual void LoadFromStream(ByteReader& stream, TGIFItem* parent) = 0;

protected:
  std::vector<TGIFItem*> items_;

private:
  friend class TGIFImage;
  TGIFImage* image_;
};

class TGIFImageList : public TGIFList {
public:
  using TGIFList::TGIFList;
  TGIFSubImage* GetFrame(int index) const;
  void SaveToStream(ByteWriter& stream) override;
  // The threads a save encodes the frames' image data on: more for more pixels, at most one a frame.
  int EncodingThreads() const;
  // parent is unused: frames belong to the list's image.
  void LoadFromStream(ByteReader& stream, TGIFItem* parent) override;

private:
  friend class TGIFImage;
  // Frames read by a load, each with the donor frame whose pixels it takes once the load has succeeded.
  using Donations = std::vector<std::pair<TGIFSubImage*, TGIFSubImage*>>;
  // The frames of a whole image's load; those that take a donor's pixels are added to donations.
  void LoadFrames(ByteReader& stream, const TGIFLoadOptions& options, Donations& donations);
};

class TGIFExtensionList : public TGIFList {
public:
  using TGIFList::TGIFList;
  TGIFExtension* GetExtension(int index) const;
  // parent is the frame the extensions precede.
  void LoadFromStream(ByteReader& stream, TGIFItem* parent) override;
};

}  // namespace gif
