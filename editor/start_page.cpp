#include "editor/start_page.h"

#include "editor/document_window.h"
#include "editor/forms/guarded.h"

#include <QPainter>

#include <algorithm>
#include <atomic>

namespace movinta::editor {

namespace {
std::atomic<long long> framesComposed{0};
}  // namespace

long long FrameComposer::FramesComposed() { return framesComposed.load(); }

FrameComposer::FrameComposer(gif::TGIFImage& image) : image_(image) {
  int width = image.GetWidth();
  int height = image.GetHeight();
  for (int i = 0; i < image.Images().GetCount(); ++i) {
    const gif::TRect r = image.Images().GetFrame(i)->GetBoundsRect();
    width = std::max(width, r.Right);
    height = std::max(height, r.Bottom);
  }
  if (width <= 0 || height <= 0) return;
  canvas_ = QImage(width, height, QImage::Format_ARGB32_Premultiplied);
  canvas_.fill(Qt::transparent);
}

bool FrameComposer::Next(QImage& screen, int& delay) {
  if (canvas_.isNull()) return false;
  // What the frame shown last leaves behind.
  if (disposal_ == gif::dmBackground) {
    QPainter p(&canvas_);
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.fillRect(disposed_, Qt::transparent);
  } else if (disposal_ == gif::dmPrevious) {
    canvas_ = before_;
  }
  disposal_ = gif::dmNone;
  before_ = QImage();
  const int count = image_.Images().GetCount();
  while (index_ < count) {
    const int i = index_++;
    gif::TGIFSubImage& frame = *image_.Images().GetFrame(i);
    const QImage picture = RenderFrame(image_, i);
    ++framesComposed;
    if (picture.isNull()) continue;
    const gif::TGIFGraphicControlExtension* gce = frame.GraphicControlExtension();
    disposal_ = gce ? int(gce->GetDisposal()) : int(gif::dmNone);
    if (disposal_ == gif::dmPrevious) before_ = canvas_;
    disposed_ = QRect(frame.GetLeft(), frame.GetTop(), frame.GetWidth(), frame.GetHeight());
    {
      QPainter p(&canvas_);
      p.drawImage(frame.GetLeft(), frame.GetTop(), picture);
    }
    screen = canvas_;
    delay = gce ? gce->GetDelay() : 0;
    return true;
  }
  return false;
}

ComposedFrames ComposeAnimation(gif::TGIFImage& image) {
  ComposedFrames out;
  FrameComposer composer(image);
  QImage screen;
  int delay = 0;
  while (composer.Next(screen, delay)) {
    out.Frames.push_back(screen);
    // Players treat a missing or very short delay as a tenth of a second.
    out.DelaysMs.push_back(delay * 10 < 20 ? 100 : delay * 10);
  }
  return out;
}

AnimatedPicture::AnimatedPicture(QWidget* parent) : QWidget(parent) {
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, Guarded(this, &AnimatedPicture::Step));
}

bool AnimatedPicture::SetAnimation(gif::TGIFImage& image) {
  Clear();
  frames_ = ComposeAnimation(image);
  if (frames_.Frames.empty()) return false;
  resize(PictureSize());
  if (frames_.Frames.size() > 1) timer_.start(frames_.DelaysMs.front());
  update();
  return true;
}

void AnimatedPicture::Clear() {
  timer_.stop();
  frames_ = {};
  index_ = 0;
  update();
}

QSize AnimatedPicture::PictureSize() const {
  return frames_.Frames.empty() ? QSize(0, 0) : frames_.Frames.front().size();
}

void AnimatedPicture::Step() {
  if (frames_.Frames.size() < 2) return;
  index_ = (index_ + 1) % static_cast<int>(frames_.Frames.size());
  update();
  timer_.start(frames_.DelaysMs[static_cast<std::size_t>(index_)]);
}

void AnimatedPicture::paintEvent(QPaintEvent*) {
  if (frames_.Frames.empty()) return;
  QPainter p(this);
  p.drawImage(0, 0, frames_.Frames[static_cast<std::size_t>(index_)]);
}

}  // namespace movinta::editor
