#include "gif/qt/painter_widget.h"

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <thread>

namespace gif::qt {

QtPainterDispatcher::QtPainterDispatcher(QObject* parent) : QObject(parent) {
  if (QCoreApplication* app = QCoreApplication::instance())
    connect(app, &QCoreApplication::aboutToQuit, this, [this] { quitting_ = true; });
}

void QtPainterDispatcher::Post(std::function<void()> task) {
  QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

bool QtPainterDispatcher::ProcessEvents() {
  QCoreApplication::processEvents();
  return !quitting_ && !QCoreApplication::closingDown();
}

GIFPainterWidget::GIFPainterWidget(QWidget* parent) : QWidget(parent), dispatcher_(this) {}

GIFPainterWidget::~GIFPainterWidget() { Stop(); }

void GIFPainterWidget::SetImage(TGIFImage* image) {
  Stop();
  image_ = image;
  canvas_ = Bitmap();
  updateGeometry();
  update();
}

bool GIFPainterWidget::IsPlaying() const {
  if (!image_) return false;
  std::lock_guard<std::recursive_mutex> guard(TGIFPainterList::Of(*image_).Lock());
  return painter_ != nullptr;
}

void GIFPainterWidget::Play(std::uint16_t options) {
  Stop();
  if (!image_ || image_->IsEmpty()) return;
  const int w = image_->GetWidth(), h = image_->GetHeight();
  canvas_ = Bitmap(w, h, PixelFormat::pf32bit);
  const QColor window = palette().color(QPalette::Window);
  for (int y = 0; y < h; ++y) {
    std::uint8_t* p = canvas_.Scanline(y);
    for (int x = 0; x < w; ++x, p += 4) {
      p[0] = std::uint8_t(window.blue());
      p[1] = std::uint8_t(window.green());
      p[2] = std::uint8_t(window.red());
      p[3] = 255;
    }
  }
  TGIFPlayEvents events;
  events.OnBeginPlay = [this](TGIFPainter&) { emit beginPlay(); };
  events.OnBeforeFrame = [this](TGIFPainter& p) {
    active_ = p.ActiveImage();
    emit beforeFrame(active_);
  };
  events.OnAfterFrame = [this](TGIFPainter& p) { emit afterFrame(p.ActiveImage()); };
  events.OnLoopRestart = [this](TGIFPainter&) { emit loopRestart(); };
  events.OnEndPlay = [this](TGIFPainter&) {
    active_ = -1;
    emit endPlay();
  };
  events.OnCanvasChanged = [this](TGIFPainter&) { update(); };
  Paint(*image_, canvas_, TRect{0, 0, w, h}, options, events, &dispatcher_, &painter_);
  update();
}

void GIFPainterWidget::Stop() {
  if (!image_) return;
  TGIFPainterList& list = TGIFPainterList::Of(*image_);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  for (;;) {
    {
      std::lock_guard<std::recursive_mutex> guard(list.Lock());
      if (!painter_) break;
      painter_->Stop();
      // Called from the painter's own event: it ends once that returns, and
      // must not reach back into this widget then.
      if (painter_->InGUIWork()) {
        painter_->ForgetCallerSlot();
        painter_ = nullptr;
        break;
      }
    }
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  active_ = -1;
}

QSize GIFPainterWidget::sizeHint() const {
  return image_ ? QSize(image_->GetWidth(), image_->GetHeight()) : QWidget::sizeHint();
}

void GIFPainterWidget::paintEvent(QPaintEvent*) {
  if (canvas_.Empty()) return;
  // Blue, green, red, alpha bytes are Qt's 32-bit RGB in memory order.
  const QImage view(canvas_.Bits(), canvas_.Width(), canvas_.Height(), qsizetype(canvas_.RowBytes()), QImage::Format_RGB32);
  QPainter painter(this);
  painter.drawImage(0, 0, view);
}

}  // namespace gif::qt
