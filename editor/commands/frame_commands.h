// The commands that change the active animation: adding, inserting, pasting, cutting, copying,
// deleting, moving and reversing frames, frame and loop properties, resizing, transparency, the
// global palette, and the values typed into the property panel. Each asks the user what it needs
// (the edit dialogs, messages) before anything changes, then has the model make the change: the
// frame list, the frame clipboard, the frame properties and the whole-animation changes.
#pragma once

#include "editor/model/document.h"
#include "editor/model/edit_dialogs.h"
#include "editor/model/frame_clipboard.h"
#include "editor/model/frame_list.h"
#include "editor/model/frame_properties.h"
#include "editor/model/whole_animation.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace movinta::editor {

namespace frame_texts {
inline constexpr const char* kNoCommentFromClipboard = "Unable to create a GIF Comment from the clipboard text.";
inline constexpr const char* kCannotRemoveLocalPalettes =
    "The global palette does not hold every color of the frames, so their local palettes cannot be removed. "
    "Use the optimization wizard to remove the local palettes.";
inline constexpr const char* kNoRoomForTransparentColor =
    "Frame %1 already has 256 colors in its color table and none of them is the transparent color, so the "
    "animation was not changed.";
}  // namespace frame_texts

class TFrameCommands : public TFrameEditing {
public:
  explicit TFrameCommands(TDocuments& documents);
  ~TFrameCommands() override;

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
  QString FrameClipboardFile() const { return clipboard_.File(); }
  void DeleteFrameClipboard();

  bool ChangeGlobalPalette();
  bool OptimizeAnimation();
  bool AnimationInfo();
  bool ResizeAnimationCommand();
  bool GlobalChange();
  // The colour chosen, which the panel's transparency swatch then shows.
  std::optional<PickedColor> MakeAnimationTransparent(const PickedColor& start);
  bool ChangeTransparentColor();
  bool ReverseFrames(bool playForever, int loopText);

  // Applies an edit of the global table that deleted entries, moving the pixels with it (a table
  // undo cannot put pixels back); true when it took the edit. The window installs the dialogs' one.
  std::function<bool(TMDIChild& document, gif::TGIFImage& image, const QString& caption)> ApplyDeletingPaletteEdit;

protected:
  void ReportError(const QString& text) override;

private:
  // Adding a frame: the palette-defaults question (the reduce flag, nothing on Cancel), the
  // oversize question (-1 nothing to do, 0 fit the animation, 1 trim the picture; nothing on
  // Cancel), and the frame made from the picture (null, said to the user, when it cannot be).
  std::optional<bool> AskPaletteDefaults(TGIFImage& image, const gif::Bitmap& bitmap);
  std::optional<int> AskOversizeMode(const gif::Bitmap& bitmap);
  std::unique_ptr<TGIFSubImage> MakeNewFrame(TGIFImage& image, const gif::Bitmap& bitmap);
  void MoveSelected(int to);
  int PasteFrameCopy(TGIFImage& copy);

  TFrameClipboard clipboard_;
};

}  // namespace movinta::editor
