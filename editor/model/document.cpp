#include "editor/model/document.h"

#include "editor/model/files.h"
#include "editor/model/save_rules.h"
#include "editor/model/string_tables.h"
#include "editor/model/undo_captions.h"
#include "editor/model/undo_records.h"
#include "gif/texts.h"

#include <QFileInfo>

#include <algorithm>
#include <utility>

namespace movinta::editor {

// ---- TMDIChild

namespace {
std::uint64_t g_nextDocumentSerial = 1;
}

TMDIChild::TMDIChild(TDocuments& owner, const QString& fileName, bool fromFile)
    : Serial(g_nextDocumentSerial++), FileName(fileName), Untitled(!fromFile), FromFile(fromFile), Caption(fileName), owner_(owner) {}

TMDIChild::~TMDIChild() {
  DeleteWorkingCopy();
  History.Clear();
}

QString TMDIChild::DisplayName() const { return FileNameOnly(FileName); }

bool TMDIChild::FileExistsOnDisk() const { return !Untitled && QFileInfo(FileName).isFile(); }

void TMDIChild::SetMaxUndo(int n) {
  if (n == History.Limit()) return;
  History.SetLimit(n);
  MaxUndo = n;
}

bool TMDIChild::FlushWorkingCopy() {
  if (!Loaded || workingCopyCurrent_) return true;
  TGIFImage& image = *SharedImage();
  if (image.IsEmpty()) {
    // Nothing a GIF stream can hold; an empty document reads back as empty.
    DeleteWorkingCopy();
    workingCopyCurrent_ = true;
    return true;
  }
  if (WorkingCopy.isEmpty() || !QFileInfo::exists(WorkingCopy)) {
    WorkingCopy = NewWorkingTempFile();
    if (WorkingCopy.isEmpty()) {
      ShowMessage(Tr(texts::kErrorSaving).arg(GetTempDirectory()), MessageType::Warning, kOk);
      return false;
    }
  }
  if (!SaveGraphicToFile(image, WorkingCopy, false, false)) return false;
  workingCopyCurrent_ = true;
  return true;
}

void TMDIChild::SetModified(bool value) {
  if (value) {
    workingCopyCurrent_ = false;
    if (owner_.batchDepth_ > 0) {
      if (std::find(owner_.batchPending_.begin(), owner_.batchPending_.end(), this) == owner_.batchPending_.end())
        owner_.batchPending_.push_back(this);
    } else {
      FlushWorkingCopy();
    }
  }
  Modified = value;
  EditorView()->DocumentStateChanged(this);
}

void TMDIChild::DeleteWorkingCopy() {
  if (WorkingCopy.isEmpty()) return;
  DeleteTempFile(WorkingCopy);
  WorkingCopy.clear();
  workingCopyCurrent_ = false;
}

void TMDIChild::Rename(const QString& newName) {
  FileName = ExpandFileName(newName);
  Untitled = false;
  Modified = false;
  Caption = FileName;
  DeleteWorkingCopy();
  UpdateUndoState();
}

bool TMDIChild::ReportFileGone() const {
  if (Untitled || QFileInfo(FileName).isFile()) return false;
  ShowMessage(Tr(texts::kFileGone).arg(FileName), MessageType::Warning, kOk);
  return true;
}

TGIFImage* TMDIChild::Content(std::unique_ptr<TGIFImage>& holder) {
  if (Loaded) return SharedImage();
  const QString source = (!WorkingCopy.isEmpty() && QFileInfo::exists(WorkingCopy)) ? WorkingCopy : FileName;
  if (source == FileName && !FileExistsOnDisk()) {
    if (ReportFileGone()) return nullptr;
    holder = std::make_unique<TGIFImage>();  // never written: it is empty
    return holder.get();
  }
  holder = ReadGifFile(source);
  if (!holder) ShowMessage(Tr(texts::kErrorLoading).arg(source), MessageType::Warning, kOk);
  return holder.get();
}

bool TMDIChild::WriteTo(const QString& fileName) {
  std::unique_ptr<TGIFImage> holder;
  TGIFImage* content = Content(holder);
  return content && SaveGraphicToFile(*content, fileName, true, true);
}

void TMDIChild::AfterWrite() {
  Modified = false;
  Untitled = false;
  History.Clear();
  DeleteWorkingCopy();
  Caption = FileName;
  UpdateUndoState();
}

bool TMDIChild::WriteDocument() {
  owner_.BeforeChange();
  FileName = ExpandFileName(FileName);
  if (!WriteTo(FileName)) return false;
  AfterWrite();
  return true;
}

bool TMDIChild::SaveDocument(bool forceSaveAs, bool noPrompt) {
  owner_.BeforeChange();
  if (!noPrompt) {
    if (!Modified) return true;
    MessageBeep();
    const int answer =
        ShowMessage(Tr(texts::kSaveChanges).arg(DisplayName()), MessageType::Confirmation, kYesNoCancel);
    if (answer == mrCancel) return false;
    if (answer == mrNo) return true;
  }
  if (forceSaveAs || Untitled) {
    IFileChooser* chooser = FileChooser();
    if (!chooser) return false;
    const std::optional<QString> chosen =
        chooser->ChooseSaveName(forceSaveAs ? QString() : DisplayName(),
                                SaveStartFolder(owner_.SaveFolder, Untitled ? QString() : FileName), QStringLiteral("gif"));
    if (!chosen || chosen->isEmpty()) return false;
    QString name = ExpandFileName(*chosen);
    if (QFileInfo(name).suffix().isEmpty()) name += QStringLiteral(".gif");
    owner_.SaveFolder = QFileInfo(name).absolutePath();
    // The document takes the new name only once its content is safely there.
    if (!WriteTo(name)) return false;
    Rename(name);
    AfterWrite();
    return true;
  }
  return WriteDocument();
}

QString TMDIChild::UndoCaption() const {
  return History.Count() > 0 ? Tr(texts::kUndoCaption).arg(History.LastCaption()) : QString();
}

bool TMDIChild::UpdateUndoState() {
  EditorView()->DocumentStateChanged(this);
  return History.Count() > 0;
}

void TMDIChild::AddUndoEntry(TUndoKind kind, TUndoOperation operation, int index2, int data, int frameIndex,
                             const QString& caption) {
  if (wholeKept_ > 0) {
    ++entriesCovered_;
    workingCopyCurrent_ = false;
    return;
  }
  History.AddByKind(kind, operation, index2, data, frameIndex, caption);
  workingCopyCurrent_ = false;
  UpdateUndoState();
}

int TMDIChild::InspectorRowForCaption(const QString& caption) const {
  for (int row = 0; row < static_cast<int>(kInspectorRows.size()); ++row)
    if (caption.contains(Tr(kInspectorRows[static_cast<std::size_t>(row)]))) return row;
  return InspectorSelection.y();
}

bool TMDIChild::ReloadWorkingImageFrom(const QString& source) {
  if (!Loaded) return false;
  return owner_.ReloadDocument(source);
}

bool TMDIChild::AdoptSnapshot(TActiveAnimation& whole) {
  // The working copy written now would be the snapshot the animation was just read back from,
  // byte for byte: the snapshot becomes the working copy, and the image is what reading that
  // back gives, with nothing written or read again.
  if (!Loaded || !whole.ReadSnapshot()) return false;
  TGIFImage& image = *SharedImage();
  bool same = false;
  // The comparison writes the whole animation: aside, while the window stays painted.
  RunAsideOn(image, [&] { same = WritesAsWorkingCopy(image, *whole.ReadSnapshot()); }, Tr(gif::texts::Saving));
  if (!same) return false;
  if (WorkingCopy.isEmpty() || !QFileInfo::exists(WorkingCopy)) {
    WorkingCopy = NewWorkingTempFile();
    if (WorkingCopy.isEmpty()) return false;
  }
  if (!whole.HandOverSnapshot(WorkingCopy)) return false;
  EditorView()->DocumentLoaded(this);
  return true;
}

void TMDIChild::Undo() {
  if (History.Count() == 0) return;
  const int frame = History.LastFrameIndex();
  const QString caption = History.LastCaption();
  std::unique_ptr<TCommand> undone;
  try {
    undone = History.UndoLast();
  } catch (const std::exception& e) {
    ShowMessage(QString::fromStdString(e.what()), MessageType::Error, kOk);
    UpdateUndoState();
    return;
  }
  InspectorSelection = QPoint(1, InspectorRowForCaption(caption));
  workingCopyCurrent_ = false;

  if (History.Count() > 0) {
    EditorView()->ShowFrame(frame);
  } else if (!Untitled && History.Trimmed() == 0 && FileExistsOnDisk()) {
    // Back at the saved state: the file on disk is the document again.
    if (ReloadWorkingImageFrom(FileName)) {
      CurrentFrame = 0;
      SetModified(false);
      DeleteWorkingCopy();
    }
  }

  if (caption == QLatin1String(undo_captions::kChangeGlobalPalette) && History.Count() > 0) {
    auto* whole = dynamic_cast<TActiveAnimation*>(undone.get());
    if ((whole && AdoptSnapshot(*whole)) ||
        (FlushWorkingCopy() && !WorkingCopy.isEmpty() && ReloadWorkingImageFrom(WorkingCopy)))
      workingCopyCurrent_ = true;
  }

  UpdateUndoState();
  if (Loaded && SharedImage()->IsEmpty()) owner_.FreeChildWindow(this);  // frees this
}

void TMDIChild::MoveFrame(int from, int to) {
  TGIFImage& image = *SharedImage();
  if (from == -1 || to > image.Images().GetCount() - 1) return;
  try {
    RecordFrameMoved(*this, from, to, Tr(undo_captions::kMoveFrame));
  } catch (const std::exception& e) {
    ShowMessage(QString::fromStdString(e.what()), MessageType::Error, kOk);
    return;
  }
  MoveFrameTo(image, from, to);
  SetModified(true);
}

void TMDIChild::DeleteFrame(int index) {
  if (index == -1) return;
  TGIFImage& image = *SharedImage();
  if (image.Images().GetCount() <= 1) {
    ShowMessage(Tr(texts::kAtLeastOneFrame).arg(DisplayName()), MessageType::Information, kOk);
    return;
  }
  // The frame's snapshot and the working copy of a long animation take a while: the window stays
  // painted meanwhile.
  BusyScope busy;
  try {
    RecordFrameRemoved(*this, index, Tr(undo_captions::kDeleteFrame));
  } catch (const std::exception& e) {
    // Without a snapshot the deletion could not be undone, so it is not made.
    ShowMessage(QString::fromStdString(e.what()), MessageType::Error, kOk);
    return;
  }
  if (DeleteFrameAt(*SharedImage(), index)) SetModified(true);
  UpdateUndoState();
}

// ---- TDocuments

TDocuments::TDocuments() = default;

TDocuments::~TDocuments() {
  while (!documents_.empty()) FreeChildWindow(documents_.back().get());
}

bool TDocuments::AnyChildModified() const {
  return std::any_of(documents_.begin(), documents_.end(), [](const auto& d) { return d->Modified; });
}

int TDocuments::IndexOf(const TMDIChild* document) const {
  for (int i = 0; i < Count(); ++i)
    if (At(i) == document) return i;
  return -1;
}

int TDocuments::FindOpenDocument(const QString& fileName) const {
  const QString full = ExpandFileName(fileName);
  for (int i = 0; i < Count(); ++i)
    if (At(i)->FileName == full || At(i)->FileName == fileName) return i;
  return -1;
}

bool TDocuments::PutActiveAside() {
  if (!active_ || !active_->Loaded) return true;
  TMDIChild& d = *active_;
  const bool readable = (!d.WorkingCopy.isEmpty() && d.workingCopyCurrent_) || (!d.Modified && d.FileExistsOnDisk());
  if (readable) return true;
  // The window may be in the middle of switching documents: no event may come in before it ends.
  const AsideHeld held;
  return d.FlushWorkingCopy();
}

TMDIChild* TDocuments::AddDocument(std::unique_ptr<TMDIChild> document, std::unique_ptr<TGIFImage> image) {
  ReplaceSharedImage(std::move(image));
  if (active_) active_->Loaded = false;
  TMDIChild* d = document.get();
  d->Loaded = true;
  d->SetMaxUndo(MaxUndo);
  documents_.push_back(std::move(document));
  active_ = d;
  EditorView()->DocumentAdded(d);
  EditorView()->DocumentLoaded(d);
  return d;
}

TMDIChild* TDocuments::NewDocument() { return NewDocument(std::make_unique<TGIFImage>()); }

TMDIChild* TDocuments::NewDocument(std::unique_ptr<TGIFImage> image) {
  BeforeChange();
  if (!PutActiveAside()) return nullptr;
  const QString name = Tr(texts::kUntitled).arg(untitledCounter_++);
  return AddDocument(std::make_unique<TMDIChild>(*this, name, false), std::move(image));
}

TMDIChild* TDocuments::OpenDocument(const QString& fileName) {
  const QString full = ExpandFileName(fileName);
  std::unique_ptr<TGIFImage> image = ReadGifFile(full);
  if (!image) {
    MessageBeep();
    ShowMessage(Tr(texts::kErrorLoading).arg(full), MessageType::Warning, kOk);
    return nullptr;
  }
  return OpenDocument(full, std::move(image));
}

TMDIChild* TDocuments::OpenDocument(const QString& fileName, std::unique_ptr<TGIFImage> image) {
  BeforeChange();
  if (!image || !PutActiveAside()) return nullptr;
  return AddDocument(std::make_unique<TMDIChild>(*this, ExpandFileName(fileName), true), std::move(image));
}

bool TDocuments::Activate(TMDIChild* document) {
  if (document == active_) return document != nullptr;
  if (IndexOf(document) < 0) return false;
  BeforeChange();
  if (!PutActiveAside()) return false;

  TMDIChild& d = *document;
  const bool fromCopy = !d.WorkingCopy.isEmpty() && QFileInfo::exists(d.WorkingCopy);
  const QString source = fromCopy ? d.WorkingCopy : d.FileName;
  if (!fromCopy && d.ReportFileGone()) return false;
  EditorView()->StatusText(2, Tr(texts::kReadingImage).arg(d.DisplayName()));
  std::unique_ptr<TGIFImage> image;
  if (fromCopy || d.FileExistsOnDisk())
    image = ReadGifFile(source);
  else
    image = std::make_unique<TGIFImage>();  // never written: it starts empty
  bool fromDisk = false;
  if (!image && fromCopy && d.FileExistsOnDisk()) {
    const int answer = ShowMessage(Tr(texts::kReloadFromDisk).arg(d.DisplayName()), MessageType::Warning, kYesNo);
    if (answer == mrYes) {
      image = ReadGifFile(d.FileName);
      fromDisk = image != nullptr;
    }
  }
  EditorView()->StatusText(2, QString());
  if (!image) {
    ShowMessage(Tr(texts::kErrorLoading).arg(fromDisk ? d.FileName : source), MessageType::Warning, kOk);
    return false;
  }
  if (fromDisk) {
    // The edits lived only in the unreadable working copy.
    d.History.Clear();
    d.DeleteWorkingCopy();
    d.Modified = false;
  }

  ReplaceSharedImage(std::move(image));
  if (active_) active_->Loaded = false;
  d.Loaded = true;
  d.workingCopyCurrent_ = fromCopy && !fromDisk;
  active_ = &d;
  EditorView()->DocumentLoaded(&d);
  EditorView()->DocumentStateChanged(&d);
  return true;
}

bool TDocuments::ReloadDocument(const QString& path) {
  std::unique_ptr<TGIFImage> image;
  // Read aside, while the window stays painted.
  if (active_ && active_->Loaded && path == active_->WorkingCopy) {
    // This run's own file, written from the image it replaces: the frames it shares with that
    // take their pixels and encoded data from it, and only the others are decoded.
    TGIFImage& like = *SharedImage();
    RunAsideOn(
        like,
        [&] {
          const TOwnFile file(path);
          image = ReadOwnGifFile(file, like, true);
        },
        Tr(gif::texts::Loading));
  } else {
    BusyScope::RunAside([&] { image = ReadGifFile(path); }, Tr(gif::texts::Loading));
  }
  if (!image) {
    ShowMessage(Tr(texts::kErrorLoading).arg(path), MessageType::Warning, kOk);
    return false;
  }
  ReplaceSharedImage(std::move(image));
  EditorView()->DocumentLoaded(active_);
  return true;
}

bool TDocuments::Close(TMDIChild* document) {
  if (IndexOf(document) < 0) return true;
  BeforeChange();
  if (!document->SaveDocument(false, false)) return false;
  FreeChildWindow(document);
  return true;
}

bool TDocuments::CloseAll() {
  BeforeChange();
  while (!documents_.empty()) {
    // Others first, the active one last, as the windows stack.
    TMDIChild* next = documents_.front().get();
    if (next == active_ && documents_.size() > 1) next = documents_[1].get();
    if (!Close(next)) return false;
  }
  return true;
}

void TDocuments::EndWriteBatch() {
  if (batchDepth_ <= 0 || --batchDepth_ > 0) return;
  const std::vector<TMDIChild*> pending = std::exchange(batchPending_, {});
  for (TMDIChild* d : pending)
    if (IndexOf(d) >= 0 && !d->workingCopyCurrent_) d->FlushWorkingCopy();
}

// ---- TUndoGroup

TUndoGroup::TUndoGroup(TDocuments& documents, int entries, const QString& caption, int frameIndex)
    : documents_(documents) {
  TMDIChild* d = documents_.Active();
  if (!d || d->wholeKept_ > 0 || entries <= d->History.Capacity()) return;
  try {
    RecordAnimationChange(*d, frameIndex, caption);
  } catch (const std::exception& e) {
    ShowMessage(QString::fromStdString(e.what()), MessageType::Error, kOk);
    recorded_ = false;
    return;
  }
  entries_ = d->History.Count();
  serial_ = d->Serial;
  ++d->wholeKept_;
  d->entriesCovered_ = 0;
}

TUndoGroup::~TUndoGroup() {
  if (entries_ < 0) return;
  for (int i = 0; i < documents_.Count(); ++i) {
    TMDIChild& d = *documents_.At(i);
    if (d.Serial != serial_) continue;
    --d.wholeKept_;
    // A command that changed nothing leaves no entry to undo.
    if (d.entriesCovered_ == 0 && d.History.Count() == entries_) {
      d.History.Delete(d.History.Count() - 1);
      d.UpdateUndoState();
    }
    return;
  }
}

void TDocuments::FreeChildWindow(TMDIChild* document) {
  const int index = IndexOf(document);
  if (index < 0) return;
  std::erase(batchPending_, document);
  EditorView()->DocumentRemoved(document);
  if (document == active_) {
    active_ = nullptr;
    ReplaceSharedImage(std::make_unique<TGIFImage>());
  }
  documents_.erase(documents_.begin() + index);
}

}  // namespace movinta::editor
