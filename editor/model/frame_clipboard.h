// The frames copied to the clipboard and comments pasted from it. A copy of frames is a GIF file
// of them in a private temporary file, offered on the clipboard as the first frame's picture beside
// a marker that only this program's own copy carries: a picture another program put there since
// then is pasted alone.
#pragma once

#include "editor/model/frame_properties.h"
#include "gif/color/bitmap.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <vector>

namespace movinta::editor {

// What the clipboard holds of a frame copy: the first frame as a picture, and a marker that only
// this program's own copy carries.
inline constexpr const char* kBitmapMimeType = "image/png";
inline constexpr const char* kFrameCopyMimeType = "application/x-movinta-frame-copy";

// A picture from the clipboard, as 32 bits.
gif::Bitmap QImageToBitmap(const QImage& image);

class TFrameClipboard {
public:
  TFrameClipboard() = default;
  ~TFrameClipboard();
  TFrameClipboard(const TFrameClipboard&) = delete;
  TFrameClipboard& operator=(const TFrameClipboard&) = delete;

  // The frames of source (by index; empty ones left out) copied, with their places, tables and
  // control blocks, and put on the clipboard. False when nothing could be written.
  bool Copy(TGIFImage& source, const std::vector<int>& frames);
  // The clipboard still holds the copy this made last.
  bool HoldsOwnCopy() const;
  // The clipboard holds text and the inspector shows the comments, or a picture, or a copy was made.
  bool CanPaste(bool commentsPageShown) const;
  QString File() const { return file_; }
  void Delete();

private:
  QString file_;
  QByteArray token_;
  int serial_ = 0;
};

// text (cut to 255 characters) as a new comment of the active animation's first frame, with its
// undo entry. False when the animation has no frame.
bool AddFirstFrameComment(TFrameEditing& editing, const QString& text);

}  // namespace movinta::editor
