// Playing the active animation in its document window: a copy of the working image is played by
// the GIF library's painter while editing is switched off; stopping (Pause, showing a frame, the
// end of a finite play, closing) brings the frame view and editing back. Only one animation plays
// at a time, always the active document's, and the working image itself is never painted.
#pragma once

#include "editor/model/frame_properties.h"
#include "gif/painter/painter.h"

#include <QString>

#include <functional>
#include <memory>

namespace movinta::editor {

namespace play_texts {
inline constexpr const char* kNotAnimation =
    "This GIF is not an animation, therefore it cannot be played. Add additional images in order to play it.";
inline constexpr const char* kPlayingFrame = "Playing Frame %1 of %2";
inline constexpr const char* kFrameStatus = "%1 - [Height: %2 x Width: %3]";
}  // namespace play_texts

// What playing shows and switches in the windows.
class IPlaybackView {
public:
  virtual ~IPlaybackView() = default;
  // The animation's picture is shown over the document's frame (true) or taken away (false).
  virtual void PlaybackShown(bool playing) { (void)playing; }
  // The canvas holds a new picture.
  virtual void CanvasChanged() {}
  // Status panel 2 of the active document's window.
  virtual void DocumentStatus(const QString& text) { (void)text; }
};

class TPlayback {
public:
  // dispatcher runs the painter's GUI work; clock is for tests (null: the real one).
  TPlayback(TFrameEditing& commands, gif::TGIFDispatcher* dispatcher, gif::TGIFPlaybackClock* clock = nullptr);
  ~TPlayback();
  TPlayback(const TPlayback&) = delete;
  TPlayback& operator=(const TPlayback&) = delete;

  void SetView(IPlaybackView* view) { view_ = view; }
  // Plays the active document's animation; false (after saying why) when there is none to play.
  bool Play();
  // A play menu item: stops what plays, makes the open document called fileName the active one
  // (through activate when given, which the window uses to bring its window forward) and plays it.
  // False when no open document has that name, the switch fails or the animation cannot play.
  bool PlayDocument(const QString& fileName, const std::function<bool(TMDIChild*)>& activate = {});
  // Leaves playing; release also stops the painter and frees the copy.
  void Stop(bool release);
  bool Playing() const { return playing_; }
  const gif::Bitmap& Canvas() const { return canvas_; }
  // The frame being played, -1 when none.
  int ActiveFrame() const;

private:
  void Progress(gif::TGIFPainter& painter);
  void ReleaseCopy();
  QString FrameStatus() const;

  TFrameEditing& commands_;
  gif::TGIFDispatcher* dispatcher_;
  gif::TGIFPlaybackClock* clock_;
  IPlaybackView* view_ = nullptr;
  std::unique_ptr<gif::TGIFImage> copy_;
  // The copy and its canvas, held against the working image's budget.
  gif::TGIFMemoryCharge copyCharge_;
  gif::Bitmap canvas_;
  gif::TGIFPainter* painter_ = nullptr;  // read under the copy's painter-list lock
  bool playing_ = false;
  int lastFrame_ = -1;
};

}  // namespace movinta::editor
