// The start page's picture: an animation played in a loop with its frame delays, composed on the
// animation's logical screen. Also shows a still picture.
#pragma once

#include "gif/gifimage.h"

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <vector>

namespace movinta::editor {

// Every frame of the animation as it appears on screen, with the delay in milliseconds before the
// next one. Frames that cannot be drawn are left out.
struct ComposedFrames {
  std::vector<QImage> Frames;
  std::vector<int> DelaysMs;
};
ComposedFrames ComposeAnimation(gif::TGIFImage& image);

// The same one frame at a time, for animations too long to hold every picture at once. The image
// must not change while the composer steps over it.
class FrameComposer {
public:
  explicit FrameComposer(gif::TGIFImage& image);
  // The next frame on screen (the screen grown to take in every frame) and its delay as the file
  // says it, in hundredths of a second; false after the last.
  bool Next(QImage& screen, int& delay);
  // Frames composed by every composer so far, for measuring what a caller asks of it.
  static long long FramesComposed();

private:
  gif::TGIFImage& image_;
  int index_ = 0;
  QImage canvas_;
  QImage before_;
  int disposal_ = 0;
  QRect disposed_;
};

class AnimatedPicture : public QWidget {
  Q_OBJECT
public:
  explicit AnimatedPicture(QWidget* parent = nullptr);

  // Takes the animation's frames (the image itself is not kept); false when it has none to show.
  bool SetAnimation(gif::TGIFImage& image);
  void Clear();
  bool HasPicture() const { return !frames_.Frames.empty(); }
  QSize PictureSize() const;
  int FrameShown() const { return index_; }
  int FrameCount() const { return static_cast<int>(frames_.Frames.size()); }
  QSize sizeHint() const override { return PictureSize(); }

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  void Step();

  ComposedFrames frames_;
  int index_ = 0;
  QTimer timer_;
};

}  // namespace movinta::editor
