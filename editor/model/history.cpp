#include "editor/model/history.h"

#include "editor/model/files.h"
#include "editor/model/string_tables.h"
#include "gif/texts.h"

namespace movinta::editor {

using gif::TGIFAppExtNSLoop;
using gif::TGIFCommentExtension;
using gif::TGIFGraphicControlExtension;

namespace {
TGIFSubImage* WorkingFrame(int index) {
  TGIFImage& image = *SharedImage();
  if (index < 0 || index >= image.Images().GetCount()) return nullptr;
  return image.Images().GetFrame(index);
}

gif::TGIFColorMap& TableOf(TGIFImage& image, int frame) {
  if (frame < 0) return image.GetGlobalColorMap();
  return image.Images().GetFrame(frame)->ColorMap();
}

// Saves the working image to a new private temporary file, or with frame >= 0 only that frame (with
// the animation's header, which it is drawn with); raises when it cannot.
QString SnapshotWorkingImage(int frame = -1) {
  BusyScope busy;
  const QString name = NewWorkingTempFile();
  if (name.isEmpty()) throw ECommandError(Tr(texts::kErrorSaving).arg(GetTempDirectory()));
  TGIFImage& image = *SharedImage();
  QString error;
  bool ok = false;
  try {
    if (frame < 0) {
      // Written as it stands: saving leaves the image as it was, so no copy of it is needed. A
      // table's sorted flag does not survive being read back, so it is left out of the file: the
      // snapshot then holds what the working copy holds once the animation is restored from it.
      std::vector<gif::TGIFColorMap*> sorted;
      for (int i = -1; i < image.Images().GetCount(); ++i)
        if (gif::TGIFColorMap& map = TableOf(image, i); map.GetOptimized()) sorted.push_back(&map);
      for (gif::TGIFColorMap* map : sorted) map->SetOptimized(false);
      try {
        // The whole animation: written aside while the window stays painted.
        RunAsideOn(image, [&] { ok = WriteGifFile(image, name, true, &error); }, Tr(gif::texts::Saving));
      } catch (...) {
        for (gif::TGIFColorMap* map : sorted) map->SetOptimized(true);
        throw;
      }
      for (gif::TGIFColorMap* map : sorted) map->SetOptimized(true);
    } else {
      TGIFImage scratch;
      scratch.OnProgress = image.OnProgress;
      scratch.EncodedDataCache = image.EncodedDataCache;
      scratch.Header().Assign(image.Header());
      auto* copy = new TGIFSubImage(&scratch);
      scratch.Add(copy);
      copy->Assign(*image.Images().GetFrame(frame));
      ok = WriteGifFile(scratch, name, true, &error);
    }
  } catch (const std::exception& e) {
    error = QString::fromStdString(e.what());
  }
  if (!ok) {
    DeleteTempFile(name);
    throw ECommandError(Tr(texts::kErrorSaving).arg(name));
  }
  return name;
}

// The length of every colour table, the global one first: a GIF file pads each table to a power
// of two, and a snapshot read back is cut to what the tables held.
std::vector<int> TableLengths(TGIFImage& image) {
  std::vector<int> out{image.GetGlobalColorMap().GetCount()};
  for (int i = 0; i < image.Images().GetCount(); ++i) out.push_back(image.Images().GetFrame(i)->ColorMap().GetCount());
  return out;
}

// Cuts each table back to its recorded length; what was cut goes to uncut, whole.
void CutTables(TGIFImage& image, const std::vector<int>& lengths,
               std::vector<std::pair<int, std::unique_ptr<TCmdColorMap>>>& uncut) {
  uncut.clear();
  if (lengths.size() != static_cast<std::size_t>(image.Images().GetCount()) + 1) return;
  for (int frame = -1; frame < image.Images().GetCount(); ++frame) {
    gif::TGIFColorMap& map = TableOf(image, frame);
    const int length = lengths[static_cast<std::size_t>(frame + 1)];
    if (map.GetCount() <= length) continue;
    auto whole = std::make_unique<TCmdColorMap>();
    whole->Assign(map);
    TCmdColorMap kept;
    kept.ImportRGB(map.Data(), length);
    kept.SetOptimized(map.GetOptimized());
    map.Assign(kept);
    uncut.emplace_back(frame, std::move(whole));
  }
}

QString JoinLines(const gif::TStrings& lines) {
  QStringList out;
  for (const std::string& l : lines) out.append(QString::fromStdString(l));
  return out.join(QLatin1Char('\n'));
}
}  // namespace

void TCommand::CheckOperation() const {
  if (Operation == TUndoOperation::None) throw ECommandError(Tr(texts::kUnknownActionType).arg(ClassNameText()));
}

// ---- TUndoKind::Animation

TActiveAnimation::TActiveAnimation(TUndoOperation operation, int frameIndex) : TCommand(operation, frameIndex) {
  // An empty animation cannot be written as a GIF stream; restoring it means emptying the image.
  if (SharedImage()->IsEmpty()) {
    emptyImage_ = true;
  } else {
    TempFileName = SnapshotWorkingImage();
    compression_ = SharedImage()->Compression;
    tableLengths_ = TableLengths(*SharedImage());
  }
}

TActiveAnimation::~TActiveAnimation() { DeleteTempFile(TempFileName); }

void TActiveAnimation::Restore() {
  if (emptyImage_) {
    SharedImage()->Clear();
    return;
  }
  QString error;
  // The snapshot was encoded as the working copy will be: read back, its frames bring their encoded
  // data along, and writing the working copy again encodes nothing.
  TGIFImage& image = *SharedImage();
  std::unique_ptr<TGIFImage> scratch;
  // Read aside, while the window stays painted.
  RunAsideOn(
      image,
      [&] {
        if (image.Compression == compression_) {
          held_ = std::make_unique<TOwnFile>(TempFileName);
          // The frames the snapshot shares with the image take their pixels from it, not the decoder.
          scratch = ReadOwnGifFile(*held_, image, true, &error);
        } else {
          scratch = ReadGifFile(TempFileName, &error);
        }
      },
      Tr(gif::texts::Loading));
  if (!scratch) {
    held_.reset();
    throw ECommandError(Tr(texts::kErrorLoading).arg(TempFileName));
  }
  image.Assign(std::move(*scratch));
  CutTables(image, tableLengths_, uncut_);
}

bool TActiveAnimation::HandOverSnapshot(const QString& fileName) {
  if (TempFileName.isEmpty() || !ReplacePrivateFile(TempFileName, fileName)) return false;
  TempFileName.clear();
  held_.reset();
  TGIFImage& image = *SharedImage();
  for (auto& [frame, whole] : uncut_)
    if (frame < image.Images().GetCount()) TableOf(image, frame).Assign(*whole);
  uncut_.clear();
  return true;
}

// ---- TUndoKind::Palette

gif::TGIFColorMap* TCommandPalette::TargetMap() const {
  if (FrameIndex == -1) return &SharedImage()->GetGlobalColorMap();
  TGIFSubImage* frame = WorkingFrame(FrameIndex);
  return frame ? &frame->ColorMap() : nullptr;
}

TCommandPalette::TCommandPalette(TUndoOperation operation, int colorIndex, int colorValue, int frameIndex)
    : TCommand(operation, frameIndex), ColorIndex(colorIndex), ColorValue(colorValue) {
  gif::TGIFColorMap* target = TargetMap();
  switch (operation) {
    case TUndoOperation::Removed:
      SavedMap = std::make_unique<TCmdColorMap>();
      if (target && target->GetCount() > 0) SavedMap->Assign(*target);
      if (FrameIndex >= 0) SavedMap->Frame = FrameIndex;
      break;
    case TUndoOperation::Changed:
      if (target) {
        SavedMap = std::make_unique<TCmdColorMap>();
        SavedMap->Assign(*target);
        SavedMap->Frame = FrameIndex;
      }
      break;
    case TUndoOperation::ColorRemoved:
      if (ColorIndex == -1) throw ECommandError(Tr(texts::kColorIndexIsMinusOne));
      if (target && ColorIndex >= 0 && ColorIndex < target->GetCount())
        ColorValue = static_cast<int>(target->GetColor(ColorIndex));
      break;
    default:
      break;
  }
}

void TCommandPalette::Restore() {
  CheckOperation();
  gif::TGIFColorMap* target = TargetMap();
  if (!target) return;
  switch (Operation) {
    case TUndoOperation::Added: target->Clear(); target->Changed(); break;
    case TUndoOperation::Removed:
    case TUndoOperation::Changed:
      if (!SavedMap) break;
      if (FrameIndex == -1 || target->GetCount() == 0) target->Assign(*SavedMap);
      break;
    case TUndoOperation::ColorAdded:
      if (target->GetCount() > 0) target->Delete(target->GetCount() - 1);
      break;
    case TUndoOperation::ColorRemoved: target->Add(static_cast<gif::TColor>(ColorValue)); break;
    case TUndoOperation::ColorChanged:
      if (ColorIndex != -1) target->SetColor(ColorIndex, static_cast<gif::TColor>(ColorValue));
      break;
    default: break;
  }
}

// ---- TUndoKind::Frame

TFrame::TFrame(TUndoOperation operation, int targetIndex, int frameIndex)
    : TCommand(operation, frameIndex), TargetIndex(targetIndex) {
  TGIFSubImage* frame = WorkingFrame(frameIndex);
  if (!frame) throw ECommandError(Tr(texts::kCouldNotGetSubImage));
  AnimationHeight = SharedImage()->GetHeight();
  AnimationWidth = SharedImage()->GetWidth();
  Left = frame->GetLeft();
  Top = frame->GetTop();
  Width = frame->GetWidth();
  Height = frame->GetHeight();
  Interlaced = frame->GetInterlaced() ? 1 : 0;
  if (operation == TUndoOperation::Removed) {
    // Only the frame that goes is kept: that is all its return needs. An empty frame, which has
    // nothing to bring back, keeps the animation as it stands, as before.
    const bool whole = frame->IsEmpty();
    snapshotIndex_ = whole ? frameIndex : 0;
    TempFileName = SnapshotWorkingImage(whole ? -1 : frameIndex);
  }
}

TFrame::~TFrame() {
  if (Operation == TUndoOperation::Removed) DeleteTempFile(TempFileName);
}

void TFrame::Restore() {
  CheckOperation();
  TGIFImage& image = *SharedImage();
  switch (Operation) {
    case TUndoOperation::Added: DeleteFrameAt(image, FrameIndex); break;
    case TUndoOperation::Removed:
      if (TempFileName.isEmpty()) throw ECommandError(Tr(texts::kTempFileNameEmpty));
      if (!RestoreFrameFromFile(image, TempFileName, FrameIndex, snapshotIndex_))
        throw ECommandError(Tr(texts::kCouldNotRestoreFrame).arg(TempFileName));
      break;
    case TUndoOperation::Changed: {
      TGIFSubImage* frame = WorkingFrame(FrameIndex);
      if (!frame) throw ECommandError(Tr(texts::kCouldNotGetSubImage));
      frame->SetBounds(Left, Top, Width, Height);
      frame->SetInterlaced(Interlaced != 0);
      if (image.GetHeight() != AnimationHeight) image.SetHeight(AnimationHeight);
      if (image.GetWidth() != AnimationWidth) image.SetWidth(AnimationWidth);
      break;
    }
    case TUndoOperation::Moved:
      if (TargetIndex != -1) MoveFrameTo(image, TargetIndex, FrameIndex);
      break;
    default: break;
  }
}

// ---- TUndoKind::GraphicControl

TGCExt::TGCExt(TUndoOperation operation, int extensionIndex, int frameIndex)
    : TFrameExtension(operation, extensionIndex, frameIndex) {
  TGIFSubImage* frame = WorkingFrame(frameIndex);
  TGIFGraphicControlExtension* gce = frame ? frame->GraphicControlExtension() : nullptr;
  if (!gce) return;
  Delay = gce->GetDelay();
  Disposal = gce->GetDisposal();
  Transparent = gce->GetTransparent() ? 1 : 0;
  TransparentIndex = gce->GetTransparentColorIndex();
  if (frame->GetActiveColorMap().GetCount() > TransparentIndex)
    TransparentColor = static_cast<int>(frame->GetActiveColorMap().GetColor(TransparentIndex));
  UserInput = gce->GetUserInput() ? 1 : 0;
}

void TGCExt::Restore() {
  CheckOperation();
  TGIFSubImage* frame = WorkingFrame(FrameIndex);
  if (!frame) throw ECommandError(Tr(texts::kSubImageIsNil).arg(ClassNameText()));
  auto write = [this, frame](TGIFGraphicControlExtension& gce) {
    gce.SetDelay(Delay);
    gce.SetDisposal(Disposal);
    gce.SetTransparent(Transparent != 0);
    gce.SetTransparentColorIndex(TransparentIndex);
    // The index already names the colour unless the table changed since; looking the colour up
    // again would move the index to another entry of the same colour.
    gif::TGIFColorMap& map = frame->GetActiveColorMap();
    if (Transparent && (map.GetCount() <= TransparentIndex ||
                        static_cast<int>(map.GetColor(TransparentIndex)) != TransparentColor))
      gce.SetTransparentColor(static_cast<gif::TColor>(TransparentColor));
    gce.SetUserInput(UserInput != 0);
  };
  switch (Operation) {
    case TUndoOperation::Added: delete frame->GraphicControlExtension(); break;
    case TUndoOperation::Removed: {
      auto* gce = new TGIFGraphicControlExtension(frame);
      frame->Extensions().Add(gce);
      write(*gce);
      break;
    }
    case TUndoOperation::Changed:
      if (auto* gce = frame->GraphicControlExtension()) write(*gce);
      break;
    default: break;
  }
}

// ---- TUndoKind::Comment

TCommentExt::TCommentExt(TUndoOperation operation, int extensionIndex, int frameIndex)
    : TFrameExtension(operation, extensionIndex, frameIndex) {
  if (operation != TUndoOperation::Removed && operation != TUndoOperation::Changed) return;
  TGIFSubImage* frame = WorkingFrame(frameIndex);
  if (!frame || extensionIndex < 0 || extensionIndex >= frame->Extensions().GetCount()) return;
  if (auto* comment = dynamic_cast<TGIFCommentExtension*>(frame->Extensions().GetExtension(extensionIndex)))
    Text = JoinLines(comment->Text());
}

void TCommentExt::Restore() {
  CheckOperation();
  TGIFSubImage* frame = WorkingFrame(FrameIndex);
  if (!frame) throw ECommandError(Tr(texts::kSubImageIsNil).arg(ClassNameText()));
  auto commentAt = [frame](int index) -> TGIFCommentExtension* {
    if (index < 0 || index >= frame->Extensions().GetCount()) return nullptr;
    return dynamic_cast<TGIFCommentExtension*>(frame->Extensions().GetExtension(index));
  };
  switch (Operation) {
    case TUndoOperation::Added: {
      TGIFCommentExtension* c = commentAt(ExtensionIndex);
      if (!c) throw ECommandError(Tr(texts::kInvalidExtensionIndex));
      delete c;
      break;
    }
    case TUndoOperation::Removed: AddCommentExtension(*frame, Text); break;
    case TUndoOperation::Changed: {
      TGIFCommentExtension* c = commentAt(ExtensionIndex);
      if (!c) throw ECommandError(Tr(texts::kInvalidExtensionIndex));
      c->Text().clear();
      for (const QString& line : Text.split(QLatin1Char('\n'))) c->Text().push_back(line.toStdString());
      break;
    }
    default: break;
  }
}

// ---- TUndoKind::Loop

TNSLoop::TNSLoop(TUndoOperation operation, int extensionIndex, int frameIndex)
    : TFrameExtension(operation, extensionIndex, frameIndex) {
  TGIFSubImage* frame = WorkingFrame(frameIndex);
  if (TGIFAppExtNSLoop* loop = frame ? FindLoopExtension(*frame) : nullptr) {
    SavedLoops = loop->GetLoops();
    HadLoop = true;
  }
}

void TNSLoop::Restore() {
  CheckOperation();
  TGIFSubImage* frame = WorkingFrame(FrameIndex);
  if (!frame) throw ECommandError(Tr(texts::kSubImageIsNil).arg(ClassNameText()));
  TGIFAppExtNSLoop* loop = FindLoopExtension(*frame);
  switch (Operation) {
    case TUndoOperation::Added: delete loop; break;
    case TUndoOperation::Removed:
    case TUndoOperation::Changed:
      // Back to what was recorded: the block with its count, or no block at all.
      if (!HadLoop) {
        delete loop;
      } else if (loop) {
        loop->SetLoops(SavedLoops);
      } else {
        loop = new TGIFAppExtNSLoop(frame);
        loop->SetLoops(SavedLoops);
        if (frame->Extensions().GetCount() == 0)
          frame->Extensions().Add(loop);
        else
          frame->Extensions().Insert(0, loop);
      }
      break;
    default: break;
  }
}

// ---- history

void THistoryList::Add(std::unique_ptr<TCommand> command) {
  const int limit = limit_ < 0 ? 0 : limit_;
  while (!items_.empty() && Count() - 1 >= limit) {
    items_.erase(items_.begin());
    ++trimmed_;
  }
  items_.push_back(std::move(command));
}

void THistoryList::AddByKind(TUndoKind kind, TUndoOperation operation, int index2, int data, int frameIndex,
                             const QString& caption) {
  std::unique_ptr<TCommand> command;
  switch (kind) {
    case TUndoKind::Animation: command = std::make_unique<TActiveAnimation>(operation, frameIndex); break;
    case TUndoKind::Palette: command = std::make_unique<TCommandPalette>(operation, index2, data, frameIndex); break;
    case TUndoKind::Frame: command = std::make_unique<TFrame>(operation, data, frameIndex); break;
    case TUndoKind::Comment: command = std::make_unique<TCommentExt>(operation, data, frameIndex); break;
    case TUndoKind::GraphicControl: command = std::make_unique<TGCExt>(operation, data, frameIndex); break;
    case TUndoKind::Loop: command = std::make_unique<TNSLoop>(operation, data, frameIndex); break;
    default: return;
  }
  command->Caption = caption;
  Add(std::move(command));
}

std::unique_ptr<TCommand> THistoryList::UndoLast() {
  if (items_.empty()) return nullptr;
  items_.back()->Restore();
  std::unique_ptr<TCommand> undone = std::move(items_.back());
  items_.pop_back();
  return undone;
}

void THistoryList::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  items_.erase(items_.begin() + index);
}

void THistoryList::Clear() {
  while (!items_.empty()) items_.erase(items_.begin());
  trimmed_ = 0;
}

}  // namespace movinta::editor
