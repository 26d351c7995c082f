#include "editor/model/frame_properties.h"

#include "editor/model/settings.h"
#include "editor/model/string_tables.h"
#include "editor/model/undo_captions.h"
#include "editor/model/undo_records.h"

#include <algorithm>
#include <utility>

namespace movinta::editor {

using gif::TGIFAppExtNSLoop;
using gif::TGIFGraphicControlExtension;

TGIFSubImage* FrameAt(TGIFImage& image, int index) {
  if (index < 0 || index >= image.Images().GetCount()) return nullptr;
  return image.Images().GetFrame(index);
}

TFrameEditing::TFrameEditing(TDocuments& documents) : documents_(documents) {
  // Only the active document plays: playback ends before another document takes its place.
  documents_.BeforeDocumentChange = [this] {
    ApplyPendingInput();
    if (playing_ && StopPlayback) StopPlayback();
  };
}

TFrameEditing::~TFrameEditing() {
  documents_.BeforeDocumentChange = nullptr;
}

bool TFrameEditing::CanEdit() const { return documents_.Active() != nullptr && !playing_; }

bool TFrameEditing::Begin() {
  ApplyPendingInput();
  return Active() != nullptr && !RefusedWhilePlaying();
}

void TFrameEditing::Finish(int show) {
  EditorView()->RepaintFrames();
  EditorView()->ShowFrame(show);
}

int TFrameEditing::SelectedFrame() const { return EditorView()->SelectedFrame(); }

int TFrameEditing::FrameCount() const { return SharedImage()->Images().GetCount(); }

bool TFrameEditing::RangeSelected() const {
  return EditorView()->SelectionFirst() != EditorView()->SelectionLast();
}

std::vector<int> TFrameEditing::SelectedFrames() const {
  std::vector<int> out;
  const int count = FrameCount();
  if (RangeSelected()) {
    const int first = std::max(0, std::min(EditorView()->SelectionFirst(), EditorView()->SelectionLast()));
    const int last = std::min(count - 1, std::max(EditorView()->SelectionFirst(), EditorView()->SelectionLast()));
    for (int i = first; i <= last; ++i) out.push_back(i);
  } else if (SelectedFrame() >= 0 && SelectedFrame() < count) {
    out.push_back(SelectedFrame());
  }
  return out;
}

int TFrameEditing::InsertPosition() const {
  const int count = FrameCount();
  if (count == 0 || SelectedFrame() < 0) return 0;
  return std::min(SelectedFrame() + 1, count);
}

bool TFrameEditing::PrepareShowFrame(int index) {
  TMDIChild* document = Active();
  if (!document) return false;
  TGIFImage& image = *SharedImage();
  TGIFSubImage* frame = FrameAt(image, index);
  if (!frame) return false;
  if (!frame->GraphicControlExtension()) SetFrameDelay(*frame, 0);
  TGIFGraphicControlExtension* gce = frame->GraphicControlExtension();
  document->DrawTransparent = frame->Transparent();
  document->TransparentColor = gce->GetTransparentColor();
  document->CurrentFrame = index;
  if (!RangeSelected()) EditorView()->SetSelectedFrame(index);
  SetLoopControls(-1);
  return true;
}

bool TFrameEditing::RefusedWhilePlaying() const {
  if (!playing_) return false;
  EditorView()->StatusText(2, Tr(frame_texts::kPauseToEdit));
  return true;
}

// ---- frame and loop properties

void TFrameEditing::ApplyFrameProperties(int index, int what, int delay, int disposal) {
  TMDIChild* document = playing_ ? nullptr : Active();
  TGIFSubImage* frame = document ? FrameAt(*SharedImage(), index) : nullptr;
  if (!frame) return;
  BusyScope busy;
  bool changed = false;
  bool delayChanged = false;
  if (TGIFGraphicControlExtension* gce = frame->GraphicControlExtension()) {
    if ((what & 1) && delay >= 0 && delay <= 65535 && delay != gce->GetDelay()) {
      if (!Record(RecordFrameControlChange, *document, index, undo_captions::ChangeOf(undo_captions::kDelay))) return;
      gce->SetDelay(static_cast<std::uint16_t>(delay));
      changed = delayChanged = true;
    }
    if ((what & 2) && disposal >= 0 && disposal <= 3 && disposal != gce->GetDisposal()) {
      if (!Record(RecordFrameControlChange, *document, index, undo_captions::ChangeOf(undo_captions::kDisposal)))
        return;
      gce->SetDisposal(disposal);
      changed = true;
    }
  } else {
    SetFrameDelay(*frame, Settings().DefaultDelay);
    // Recorded as an addition, so that undoing takes the new block away again.
    Record(RecordFrameControlAdded, *document, index, undo_captions::ChangeOf(undo_captions::kDelay));
    changed = delayChanged = true;
  }
  if (changed) document->SetModified(true);
  if (delayChanged) EditorView()->RepaintFrames();
}

void TFrameEditing::ApplyToSelection(int what, int delay, int disposal) {
  if (!Begin()) return;
  // The working copy is written at the batch's end, still under the hourglass.
  BusyScope busy;
  TWriteBatch batch(documents_);
  const std::vector<int> frames = SelectedFrames();
  const TUndoGroup group(documents_, static_cast<int>(frames.size()),
                         undo_captions::ChangeOf((what & 1) ? undo_captions::kDelay : undo_captions::kDisposal),
                         std::max(0, SelectedFrame()));
  if (!group.Recorded()) return;
  StepProgress progress(static_cast<int>(frames.size()));
  for (std::size_t k = 0; k < frames.size(); progress.Step(static_cast<int>(++k)))
    ApplyFrameProperties(frames[k], what, delay, disposal);
  Finish(SelectedFrame());
}

void TFrameEditing::ApplyDelayToSelection(int delay) { ApplyToSelection(1, delay, -1); }

void TFrameEditing::ApplyDisposalToSelection(int disposal) { ApplyToSelection(2, -1, disposal); }

void TFrameEditing::SetLoopControls(int count) {
  loopCount_ = count == -1 ? GetLoopCount(*SharedImage()) : count;
}

void TFrameEditing::ApplyLoopChange(bool infinite, int count) {
  TMDIChild* document = Active();
  TGIFImage& image = *SharedImage();
  TGIFSubImage* first = FrameAt(image, 0);
  if (!document || !first || playing_) return;
  // What the image holds now, which the panel shows unless an undo changed it since.
  loopCount_ = GetLoopCount(image);
  const QString caption = Tr(undo_captions::kChangeAnimationLoop);
  bool changed = false;
  if (infinite) {
    if (loopCount_ == 1) {
      AddLoopExtension(image, 0, 0);
      changed = Record(RecordLoopAdded, *document, caption);
    } else if (loopCount_ > 1) {
      if (!Record(RecordLoopChanged, *document, caption)) return;
      SetLoopCount(image, 0);
      changed = true;
    }
    if (changed) loopCount_ = 0;
  } else if (count != loopCount_ && count >= 1 && count <= 65535) {
    if (count == 1) {
      if (TGIFAppExtNSLoop* loop = FindLoopExtension(*first)) {
        if (!Record(RecordLoopRemoved, *document, caption)) return;
        delete loop;
        changed = true;
      }
    } else if (loopCount_ == 1) {
      AddLoopExtension(image, 0, count);
      changed = Record(RecordLoopAdded, *document, caption);
    } else {
      if (!Record(RecordLoopChanged, *document, caption)) return;
      SetLoopCount(image, count);
      changed = true;
    }
    if (changed) loopCount_ = count;
  }
  if (changed) document->SetModified(true);
}

void TFrameEditing::Undo() {
  ApplyPendingInput();
  if (!CanEdit()) return;
  Active()->Undo();
  // An undone whole-animation entry may bring back another number of frames, and leaves the
  // encoded data of the frames it replaced behind (the data of another animation's worth).
  if (Active()) {
    TGIFImage& image = *SharedImage();
    if (image.EncodedDataCache && image.EncodedDataCache->Entries() > 2 * static_cast<std::size_t>(FrameCount()))
      image.DropOthersEncodedData();
    EditorView()->FrameCountChanged(FrameCount());
  }
  EditorView()->RepaintFrames();
}

// ---- typed values

void TFrameEditing::TypeDelay(int delay) {
  TMDIChild* document = Active();
  if (!document) return;
  if (pending_.Document && pending_.Document != document) ApplyPendingInput();
  pending_.Document = document;
  pending_.Delay = true;
  pending_.DelayValue = delay;
  pending_.Frames = SelectedFrames();
  if (PendingTimer) PendingTimer(true);
}

void TFrameEditing::TypeLoop(bool infinite, int count) {
  TMDIChild* document = Active();
  if (!document) return;
  if (pending_.Document && pending_.Document != document) ApplyPendingInput();
  pending_.Document = document;
  pending_.Loop = true;
  pending_.Infinite = infinite;
  pending_.LoopValue = count;
  if (PendingTimer) PendingTimer(true);
}

void TFrameEditing::ApplyPendingInput() {
  if (applying_ || !pending_.Document) return;
  // Long work lets timers in while it keeps the window painted: the values wait for its end.
  if (BusyScope::Pumping()) {
    if (PendingTimer) PendingTimer(true);
    return;
  }
  const PendingInput input = std::exchange(pending_, PendingInput{});
  if (PendingTimer) PendingTimer(false);
  // Every switch, save and close applies what is waiting first, so the document the values were
  // typed for is still the active one; a document closed without that takes its values with it.
  if (input.Document != Active() || documents_.IndexOf(input.Document) < 0) return;
  applying_ = true;
  {
    TWriteBatch batch(documents_);
    const TUndoGroup group(
        documents_, static_cast<int>(input.Delay ? input.Frames.size() : 0) + (input.Loop ? 1 : 0),
        input.Delay ? undo_captions::ChangeOf(undo_captions::kDelay) : Tr(undo_captions::kChangeAnimationLoop),
        std::max(0, SelectedFrame()));
    if (group.Recorded()) {
      if (input.Delay)
        for (int index : input.Frames) ApplyFrameProperties(index, 1, input.DelayValue, -1);
      if (input.Loop) ApplyLoopChange(input.Infinite, input.LoopValue);
    }
  }
  applying_ = false;
  EditorView()->RepaintFrames();
  EditorView()->ShowFrame(SelectedFrame());
}

}  // namespace movinta::editor
