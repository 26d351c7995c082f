// The active animation as the frame commands edit it: its document, the frames selected in the
// strip, whether an animation plays, and the frames' delay and disposal and the loop setting, with
// the values typed into the property panel for them. Every change here and in the frame list, the
// frame clipboard and the whole-animation changes works on the shared working image in one order:
// the undo entry first (an addition once the new item exists), then the change, then the document's
// modified flag, which writes its working copy; then the frame is shown again.
//
// Edits run only while a document is active and no animation plays. Delay and loop values typed
// into the panel wait a moment before they apply; whatever is waiting applies, to the document it
// was typed for, before any other command runs and before the documents switch, save or close.
// Nothing here asks the user anything: an undo entry that cannot be made is reported through
// ReportError, which the commands above show.
#pragma once

#include "editor/model/document.h"

#include <QString>

#include <exception>
#include <functional>
#include <type_traits>
#include <vector>

namespace movinta::editor {

namespace frame_texts {
inline constexpr const char* kPauseToEdit = "The animation is playing: pause it to edit.";
}  // namespace frame_texts

// The frame at index, null when there is none.
TGIFSubImage* FrameAt(TGIFImage& image, int index);

class TFrameEditing {
public:
  explicit TFrameEditing(TDocuments& documents);
  virtual ~TFrameEditing();
  TFrameEditing(const TFrameEditing&) = delete;
  TFrameEditing& operator=(const TFrameEditing&) = delete;

  TDocuments& Documents() { return documents_; }
  TMDIChild* Active() const { return documents_.Active(); }
  // A document is active and no animation plays.
  bool CanEdit() const;
  void SetPlaying(bool playing) { playing_ = playing; }
  bool Playing() const { return playing_; }

  // The selected frame and range, as the frame strip holds them.
  int SelectedFrame() const;
  int FrameCount() const;
  bool RangeSelected() const;
  // The selected frame, or each of the range, first to last.
  std::vector<int> SelectedFrames() const;
  // Where added frames go: right after the selected frame (after the last one: appended).
  int InsertPosition() const;
  // The frame shown: gives it a graphic control block when it has none, keeps the selection and
  // the document's current frame; false when there is no such frame.
  bool PrepareShowFrame(int index);

  // Runs what is waiting, then says whether a command may go on.
  bool Begin();
  // The strip painted again and frame show shown, once a command changed the animation.
  void Finish(int show);
  // True (and says why in the status bar) while an animation plays.
  bool RefusedWhilePlaying() const;
  // Records an undo entry by one of the recording functions of undo_records.h; false, with the
  // reason reported, when the entry cannot be made: the change must then not be made.
  template <typename... Args>
  bool Record(void (*record)(TMDIChild&, Args...), TMDIChild& document, std::type_identity_t<Args>... args) {
    try {
      record(document, args...);
      return true;
    } catch (const std::exception& e) {
      ReportError(QString::fromStdString(e.what()));
      return false;
    }
  }

  // Frame and animation properties. what: bit 0 delay, bit 1 disposal.
  void ApplyFrameProperties(int index, int what, int delay, int disposal);
  void ApplyDelayToSelection(int delay);
  void ApplyDisposalToSelection(int disposal);
  void ApplyLoopChange(bool infinite, int count);
  // The loop setting shown in the panel: 0 endless, 1 play once, N times; -1 takes the image's.
  void SetLoopControls(int count);
  int LoopCount() const { return loopCount_; }
  void Undo();

  // Values typed into the panel, applied when the wait ends or before anything else runs.
  void TypeDelay(int delay);
  void TypeLoop(bool infinite, int count);
  bool InputPending() const { return pending_.Document != nullptr; }
  void ApplyPendingInput();
  // Ends playback (the player installs it): a switch to another document, or its close, stops
  // the animation that plays so that the arriving document can be edited.
  std::function<void()> StopPlayback;
  // Starts (true) or stops (false) the panel's wait; the window installs its timer here.
  std::function<void(bool)> PendingTimer;

protected:
  // An error a change could not go on from, for the user.
  virtual void ReportError(const QString& text) { (void)text; }

private:
  struct PendingInput {
    TMDIChild* Document = nullptr;
    bool Delay = false;
    int DelayValue = 0;
    std::vector<int> Frames;
    bool Loop = false;
    bool Infinite = false;
    int LoopValue = 1;
  };
  // Sets what (as ApplyFrameProperties takes it) on every selected frame, under one undo group.
  void ApplyToSelection(int what, int delay, int disposal);

  TDocuments& documents_;
  bool playing_ = false;
  int loopCount_ = 1;
  PendingInput pending_;
  bool applying_ = false;
};

}  // namespace movinta::editor
