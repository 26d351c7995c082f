// The commands that change the active animation: adding, inserting, pasting, cutting, copying,
// deleting, moving and reversing frames, frame and loop properties, resizing, transparency, the
// global palette, and the values typed into the property panel. Each works on the shared working
// image in one order: the undo entry first (an addition once the new item exists), then the change,
// then the document's modified flag, which writes its working copy; then the frame is shown again.
//
// Commands run only while a document is active and no animation plays. Delay and loop values typed
// into the panel wait a moment before they apply; whatever is waiting applies, to the document it
// was typed for, before any other command runs and before the documents switch, save or close.
#pragma once

#include "editor/model/document.h"
#include "editor/model/edit_dialogs.h"
#include "editor/model/whole_animation.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace movinta::editor {

namespace frame_texts {
inline constexpr const char* kInsertingFrame = "Inserting new frame...";
inline constexpr const char* kCreatedWith = "Created with Larkspur GIF Movinta - ";
inline constexpr const char* kNoCommentFromClipboard = "Unable to create a GIF Comment from the clipboard text.";
inline constexpr const char* kCannotRemoveLocalPalettes =
    "The global palette does not hold every color of the frames, so their local palettes cannot be removed. "
    "Use the optimization wizard to remove the local palettes.";
inline constexpr const char* kNoRoomForTransparentColor =
    "Frame %1 already has 256 colors in its color table and none of them is the transparent color, so the "
    "animation was not changed.";
inline constexpr const char* kPauseToEdit = "The animation is playing: pause it to edit.";
}  // namespace frame_texts

// What the clipboard holds of a frame copy: the first frame as a picture, and a marker that only
// this program's own copy carries.
inline constexpr const char* kBitmapMimeType = "image/png";
inline constexpr const char* kFrameCopyMimeType = "application/x-movinta-frame-copy";

class TFrameCommands {
public:
  explicit TFrameCommands(TDocuments& documents);
  ~TFrameCommands();
  TFrameCommands(const TFrameCommands&) = delete;
  TFrameCommands& operator=(const TFrameCommands&) = delete;

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
  // Where added frames go: right after the selected frame (after the last one: appended).
  int InsertPosition() const;
  // The frame shown: gives it a graphic control block when it has none, keeps the selection and
  // the document's current frame; false when there is no such frame.
  bool PrepareShowFrame(int index);

  // Adding frames.
  int InsertFrameIntoImage(TGIFImage& image, const gif::Bitmap& bitmap, int position);
  // 0 nothing to do, 1 trimmed or fitted, 2 cancelled.
  int CheckOversize(gif::Bitmap& bitmap);
  // Every picture that becomes a frame of the active animation comes in here (Add Frame, paste,
  // drops, opened image files, thumbnails): the questions first, then the undo entry, then the
  // change. A new document is made when none is open. The new frame's index, -1 when refused or
  // cancelled. transparentIndex, for an indexed picture, is the palette entry its transparent
  // pixels hold: the frame is transparent there before its colours are reduced, so that the entry
  // stays apart from visible colours equal to it.
  int InsertBitmapFrame(const gif::Bitmap& bitmap, int position, const QString& caption, int transparentIndex = -1);
  bool InsertBitmapAt(TGIFImage& image, const gif::Bitmap& bitmap, int delay);

  // Deleting and moving.
  void DeleteFrames();
  void MoveFrameLeft();
  void MoveFrameRight();
  void MoveFrameToBeginning();
  void MoveFrameToEnd();
  // Dragging in the strip: the selected frame or each of the range, first to last, goes to target.
  bool DragFramesTo(int target);
  // A document's picture dropped on the strip: inserted at target.
  int DropBitmapAt(const gif::Bitmap& bitmap, int target);
  // The selected frame dragged onto another document, inserted there after its selection.
  int DropFrameOnDocument(TMDIChild* target);

  // Clipboard.
  bool CopyFrames();
  bool CutFrames();
  // The paste the clipboard calls for: comments when the inspector shows them, else frames.
  bool CanPaste(bool commentsPageShown) const;
  bool Paste(bool commentsPageShown);
  int PasteOneFrame(const gif::Bitmap& bitmap, int transparentIndex = -1);
  bool PasteComment(const QString& text);
  // The clipboard's text as a comment of frame 0 (Paste Comments): a document is open, nothing
  // plays and the clipboard holds text.
  bool CanPasteComment() const;
  bool PasteClipboardComment();
  // Add Frame: each file read into a picture and inserted after the selection, one undo entry
  // each; a file that cannot be read is reported and skipped. The number of frames added.
  using PictureReader = std::function<bool(const QString& file, gif::Bitmap& picture, QString* error)>;
  int AddFrameFiles(const QStringList& files, const PictureReader& read);
  QString FrameClipboardFile() const { return clipboardFile_; }
  void DeleteFrameClipboard();

  // Frame and animation properties. what: bit 0 delay, bit 1 disposal.
  void ApplyFrameProperties(int index, int what, int delay, int disposal);
  void ApplyDelayToSelection(int delay);
  void ApplyDisposalToSelection(int disposal);
  void ApplyLoopChange(bool infinite, int count);
  // The loop setting shown in the panel: 0 endless, 1 play once, N times; -1 takes the image's.
  void SetLoopControls(int count);
  int LoopCount() const { return loopCount_; }

  bool ChangeGlobalPalette();
  bool OptimizeAnimation();
  bool AnimationInfo();
  bool ResizeAnimationCommand();
  bool GlobalChange();
  // The colour chosen, which the panel's transparency swatch then shows.
  std::optional<PickedColor> MakeAnimationTransparent(const PickedColor& start);
  bool ChangeTransparentColor();
  bool ReverseFrames(bool playForever, int loopText);
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
  // Applies an edit of the global table that deleted entries, moving the pixels with it (a table
  // undo cannot put pixels back); true when it took the edit. The window installs the dialogs' one.
  std::function<bool(TMDIChild& document, gif::TGIFImage& image, const QString& caption)> ApplyDeletingPaletteEdit;

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
  // Runs what is waiting, then says whether a command may go on.
  bool Begin();
  // Sets what (as ApplyFrameProperties takes it) on every selected frame, under one undo group.
  void ApplyToSelection(int what, int delay, int disposal);
  // True (and says why in the status bar) while an animation plays.
  bool RefusedWhilePlaying() const;
  // Adding a frame: the palette-defaults question (the reduce flag, nothing on Cancel), the
  // oversize question (-1 nothing to do, 0 fit the animation, 1 trim the picture; nothing on
  // Cancel), the frame made from the picture, and the frame put in place with its blocks.
  std::optional<bool> AskPaletteDefaults(TGIFImage& image, const gif::Bitmap& bitmap);
  std::optional<int> AskOversizeMode(const gif::Bitmap& bitmap);
  std::unique_ptr<TGIFSubImage> MakeFrame(TGIFImage& image, const gif::Bitmap& bitmap);
  int PlaceNewFrame(TGIFImage& image, std::unique_ptr<TGIFSubImage> frame, int position, bool reduce, int delay);
  static int InsertionIndex(int count, int position);
  // Whether adding at position changes more than the frame it adds, so that its undo entry has to
  // keep the whole animation.
  static bool ChangesMoreThanNewFrame(TGIFImage& image, const TGIFSubImage& frame, int position, bool reduce,
                                      bool fitAnimation);
  void Finish(int show);
  std::vector<int> SelectedFrames() const;
  void MoveSelected(int to);
  int PasteFrameCopy(TGIFImage& copy);
  bool ClipboardHoldsOwnCopy() const;

  TDocuments& documents_;
  bool playing_ = false;
  int loopCount_ = 1;
  QString clipboardFile_;
  QByteArray copyToken_;
  int copySerial_ = 0;
  PendingInput pending_;
  bool applying_ = false;
};

}  // namespace movinta::editor
