#include "editor/forms/start_page.h"

#include "editor/document_window.h"

#include <QPainter>

#include <algorithm>

namespace movinta::editor {

ComposedFrames ComposeAnimation(gif::TGIFImage& image) {
  ComposedFrames out;
  const int count = image.Images().GetCount();
  int width = image.GetWidth();
  int height = image.GetHeight();
  for (int i = 0; i < count; ++i) {
    const gif::TRect r = image.Images().GetFrame(i)->GetBoundsRect();
    width = std::max(width, r.Right);
    height = std::max(height, r.Bottom);
  }
  if (width <= 0 || height <= 0) return out;
  QImage canvas(width, height, QImage::Format_ARGB32_Premultiplied);
  canvas.fill(Qt::transparent);
  for (int i = 0; i < count; ++i) {
    gif::TGIFSubImage& frame = *image.Images().GetFrame(i);
    const QImage picture = RenderFrame(image, i);
    if (picture.isNull()) continue;
    const QImage before = canvas;
    {
      QPainter p(&canvas);
      p.drawImage(frame.GetLeft(), frame.GetTop(), picture);
    }
    out.Frames.push_back(canvas);
    const gif::TGIFGraphicControlExtension* gce = frame.GraphicControlExtension();
    const int delay = gce ? gce->GetDelay() * 10 : 0;
    // Players treat a missing or very short delay as a tenth of a second.
    out.DelaysMs.push_back(delay < 20 ? 100 : delay);
    out.Delays.push_back(gce ? gce->GetDelay() : 0);
    const int disposal = gce ? int(gce->GetDisposal()) : int(gif::dmNone);
    if (disposal == gif::dmBackground) {
      QPainter p(&canvas);
      p.setCompositionMode(QPainter::CompositionMode_Clear);
      p.fillRect(frame.GetLeft(), frame.GetTop(), frame.GetWidth(), frame.GetHeight(), Qt::transparent);
    } else if (disposal == gif::dmPrevious) {
      canvas = before;
    }
  }
  return out;
}

AnimatedPicture::AnimatedPicture(QWidget* parent) : QWidget(parent) {
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, &AnimatedPicture::Step);
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
