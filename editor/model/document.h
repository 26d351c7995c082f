// The documents of the editor: each open animation's file name, modified flag, undo history and
// working copy, and the list that switches the one shared working image between them.
//
// Only one document is loaded into the working image at a time. Switching is synchronous and all
// or nothing: the leaving document's working copy is written first, the arriving document is read
// into a fresh image, and only then is that image swapped in; any failure leaves the previous
// document active and loaded. A document that is not loaded always has a current working copy (or
// is unmodified and can be read back from its file).
#pragma once

#include "editor/model/history.h"
#include "editor/model/working_image.h"

#include <QPoint>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace movinta::editor {

class TDocuments;

class TMDIChild {
public:
  TMDIChild(TDocuments& owner, const QString& fileName, bool fromFile);
  ~TMDIChild();
  TMDIChild(const TMDIChild&) = delete;
  TMDIChild& operator=(const TMDIChild&) = delete;

  // Never reused within the process: outside callers name a document by it.
  const std::uint64_t Serial;
  QString FileName;
  bool Loaded = false;
  bool Modified = false;
  // Read and set by automation clients; the editor itself neither sets nor heeds it.
  bool ReadOnly = false;
  bool Untitled = true;
  bool FromFile = false;
  int CurrentFrame = 0;
  QString WorkingCopy;
  int MaxUndo = 50;
  THistoryList History{50};
  QPoint InspectorSelection{0, 0};  // column, row of the frame inspector's grid
  bool DrawTransparent = false;
  gif::TColor TransparentColor = 0;
  QString Caption;

  QString DisplayName() const;
  bool FileExistsOnDisk() const;
  void SetMaxUndo(int n);

  // With true, writes the working image to the working copy; a failed write is reported and
  // retried at the next edit or switch, and the document stays open and modified. Inside a
  // TWriteBatch the write waits for the batch to end.
  void SetModified(bool value);
  void DeleteWorkingCopy();
  void Rename(const QString& newName);
  // False only when the user cancels (or a chosen save fails).
  bool SaveDocument(bool forceSaveAs, bool noPrompt);
  // Writes the document's own content to FileName.
  bool WriteDocument();
  // Tells the main window the undo caption and the modified state; true while there is an entry.
  bool UpdateUndoState();
  // "&Undo <caption>" of the last entry, empty without one.
  QString UndoCaption() const;
  void AddUndoEntry(TUndoKind kind, TUndoOperation operation, int index2, int data, int frameIndex,
                    const QString& caption);
  void Undo();
  void MoveFrame(int from, int to);
  void DeleteFrame(int index);

  // Whether the working copy holds the document's current content.
  bool WorkingCopyCurrent() const { return workingCopyCurrent_; }
  // Writes the working image to the working copy when it is not current; false on failure (reported).
  bool FlushWorkingCopy();
  // The row of the frame inspector the last undo points at.
  int InspectorRowForCaption(const QString& caption) const;

private:
  friend class TDocuments;
  friend class TUndoGroup;
  // The content to save: the working image when loaded, else a copy read from the working copy or
  // the file. Null (reported) when it cannot be read.
  TGIFImage* Content(std::unique_ptr<TGIFImage>& holder);
  // An unmodified document's frames live only in its file: when that went, there is nothing to
  // read it back from (said to the user), and it never becomes empty. True when it is gone.
  bool ReportFileGone() const;
  bool WriteTo(const QString& fileName);
  void AfterWrite();
  bool ReloadWorkingImageFrom(const QString& source);
  // After the whole animation was read back from the entry's snapshot: takes the snapshot as the
  // working copy when it holds what the working copy would; false when it does not.
  bool AdoptSnapshot(TActiveAnimation& whole);

  TDocuments& owner_;
  bool workingCopyCurrent_ = false;
  // While a TUndoGroup keeps the whole animation, the entries of its command are not recorded.
  int wholeKept_ = 0;
  int entriesCovered_ = 0;
};

// The main window's side of the documents: the list, the active one and the untitled counter.
class TDocuments {
public:
  TDocuments();
  ~TDocuments();
  TDocuments(const TDocuments&) = delete;
  TDocuments& operator=(const TDocuments&) = delete;

  // A new empty document ("Untitled%d.gif"), loaded and active; null when the active document's
  // working copy cannot be written.
  TMDIChild* NewDocument();
  // A new untitled document holding `image` (an import), loaded and active; null as above.
  TMDIChild* NewDocument(std::unique_ptr<TGIFImage> image);
  // Opens a GIF file as a new active document; null (reported) when it cannot be read or the active
  // document cannot be put aside.
  TMDIChild* OpenDocument(const QString& fileName);
  // The same with the file already read into image, which the document takes: a caller that has
  // checked the file opens it without reading it a second time.
  TMDIChild* OpenDocument(const QString& fileName, std::unique_ptr<TGIFImage> image);
  // Makes the document the active one; false (reported) when the switch cannot be made, in which
  // case the previous document stays active and loaded.
  bool Activate(TMDIChild* document);
  // Asks to save when modified; false when the user cancels, and the document stays.
  bool Close(TMDIChild* document);
  // Closes every document, asking for each modified one; stops at the first cancel.
  bool CloseAll();
  // Removes the document without asking.
  void FreeChildWindow(TMDIChild* document);
  // Reads a file into a fresh image and swaps it in as the working image for the active document.
  bool ReloadDocument(const QString& path);

  TMDIChild* Active() const { return active_; }
  int Count() const { return static_cast<int>(documents_.size()); }
  TMDIChild* At(int index) const { return documents_[static_cast<std::size_t>(index)].get(); }
  bool AnyChildModified() const;
  int IndexOf(const TMDIChild* document) const;
  // The document whose full file name equals fileName, or -1.
  int FindOpenDocument(const QString& fileName) const;
  int UntitledCounter() const { return untitledCounter_; }
  // The folder the save dialog starts in.
  QString SaveFolder;
  // Undo limit for new documents (the MaxUndo setting).
  int MaxUndo = 50;
  // Runs before a document is added, switched, saved or closed: values still waiting to be
  // applied to the active document go in first.
  std::function<void()> BeforeDocumentChange;

  // While a batch is open, edits mark their documents modified but write no working copy; the
  // last batch to end writes each of them once. A switch, save or undo inside a batch still finds
  // the working copy current, as it writes what is due itself.
  void BeginWriteBatch() { ++batchDepth_; }
  void EndWriteBatch();

private:
  friend class TMDIChild;
  bool PutActiveAside();
  void BeforeChange() const {
    if (BeforeDocumentChange) BeforeDocumentChange();
  }
  TMDIChild* AddDocument(std::unique_ptr<TMDIChild> document, std::unique_ptr<TGIFImage> image);

  std::vector<std::unique_ptr<TMDIChild>> documents_;
  TMDIChild* active_ = nullptr;
  int untitledCounter_ = 1;
  int batchDepth_ = 0;
  std::vector<TMDIChild*> batchPending_;
};

// A command over many frames: one working-copy write at its end instead of one per frame.
class TWriteBatch {
public:
  explicit TWriteBatch(TDocuments& documents) : documents_(documents) { documents_.BeginWriteBatch(); }
  ~TWriteBatch() { documents_.EndWriteBatch(); }
  TWriteBatch(const TWriteBatch&) = delete;
  TWriteBatch& operator=(const TWriteBatch&) = delete;

private:
  TDocuments& documents_;
};

// A command that records one undo entry per frame over the active document. When its entries
// would not all fit in the history, the oldest of them would be trimmed and their frames lost to
// undo: it then records one whole-animation entry instead, and none of its own, so that one undo
// brings back everything it changed. Nested groups go with the outermost.
class TUndoGroup {
public:
  TUndoGroup(TDocuments& documents, int entries, const QString& caption, int frameIndex);
  ~TUndoGroup();
  TUndoGroup(const TUndoGroup&) = delete;
  TUndoGroup& operator=(const TUndoGroup&) = delete;
  // False when the whole animation could not be kept (the user was told): the command is not made.
  bool Recorded() const { return recorded_; }

private:
  TDocuments& documents_;
  std::uint64_t serial_ = 0;  // the document, found again at the end: the command may close it
  // The history's length with the whole-animation entry last; -1 when none was recorded. A length,
  // not the entry: the command pumps events, and nothing here points into the history across them.
  int entries_ = -1;
  bool recorded_ = true;
};

}  // namespace movinta::editor
