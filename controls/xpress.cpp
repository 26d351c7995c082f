#include "controls/xpress.h"

#include "platform/imaging/imaging_control.h"

#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cstring>

TXpress::TXpress(QWidget* parent)
    : QWidget(parent), control_(std::make_unique<movinta::platform::ImagingControl>()),
      backColor_(palette().color(QPalette::Window)) {
  setFocusPolicy(Qt::ClickFocus);
}

TXpress::~TXpress() = default;

bool TXpress::CanReadExtension(const QString& extension) {
  return movinta::platform::ImagingCanReadExtension(extension.toStdString());
}

void TXpress::SetFileName(const QString& fileName) { SetFileName(fileName, {}); }

void TXpress::SetFileName(const QString& fileName, const std::function<void(const std::function<void()>&)>& read) {
  fileName_ = fileName;
  const std::string path = QFile::encodeName(fileName).toStdString();
  // The picture shown is made with the load: for a photo it is as much work as the decode.
  QImage shown;
  auto load = [this, &path, &shown] {
    control_->Load(path);
    shown = CopyImage();
  };
  if (read)
    read(load);
  else
    load();
  Show(std::move(shown));
}

std::uint16_t TXpress::GetErrorCode() const { return control_->ErrorCode(); }

void TXpress::SetMemoryLimit(std::uint64_t bytes) { control_->SetMemoryLimit(bytes); }

static_assert(TXpress::kTooLarge == movinta::platform::kImagingTooLarge);

std::int16_t TXpress::GetImageWidth() const { return static_cast<std::int16_t>(std::min(control_->Width(), 32767)); }
std::int16_t TXpress::GetImageHeight() const {
  return static_cast<std::int16_t>(std::min(control_->Height(), 32767));
}
std::int32_t TXpress::GetImageWidthLong() const { return control_->Width(); }
std::int32_t TXpress::GetImageHeightLong() const { return control_->Height(); }

void TXpress::ResizeImage(std::int16_t width, std::int16_t height) {
  if (control_->Resize(width, height) == movinta::platform::kImagingOk) ImageChanged();
}

QByteArray TXpress::CopyDIB() const {
  const std::vector<std::uint8_t> dib = control_->PackedDib();
  return QByteArray(reinterpret_cast<const char*>(dib.data()), qsizetype(dib.size()));
}

bool TXpress::HasAlpha() const { return control_->HasAlpha(); }

QImage TXpress::CopyImage() const {
  const std::vector<std::uint32_t> pixels = control_->Pixels();
  if (pixels.empty()) return {};
  const int w = control_->Width(), h = control_->Height();
  QImage image(w, h, QImage::Format_ARGB32);
  if (image.isNull()) return {};
  for (int y = 0; y < h; ++y)
    std::memcpy(image.scanLine(y), pixels.data() + std::size_t(y) * w, std::size_t(w) * 4);
  return image;
}

void TXpress::ClearImage(int) {
  control_->Clear();
  ImageChanged();
}

void TXpress::SetAutoSize(bool on) {
  autoSize_ = on;
  if (on && !shown_.isNull()) resize(shown_.size());
}

void TXpress::SetBackColor(const QColor& color) {
  backColor_ = color;
  update();
}

void TXpress::ImageChanged() { Show(CopyImage()); }

void TXpress::Show(QImage shown) {
  shown_ = std::move(shown);
  if (autoSize_ && !shown_.isNull()) resize(shown_.size());
  update();
}

void TXpress::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), backColor_);
  if (shown_.isNull()) return;
  // Shown whole: shrunk to fit when larger than the panel, centred.
  QSize size = shown_.size();
  if (size.width() > width() || size.height() > height()) size.scale(this->size(), Qt::KeepAspectRatio);
  const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  p.drawImage(target, shown_);
}

void TXpress::mousePressEvent(QMouseEvent* e) {
  const QPoint pos = e->position().toPoint();
  emit OnMouseDown(e->button(), e->modifiers(), pos.x(), pos.y());
}

void TXpress::mouseMoveEvent(QMouseEvent* e) {
  const QPoint pos = e->position().toPoint();
  emit OnMouseMove(e->modifiers(), pos.x(), pos.y());
}

void TXpress::mouseReleaseEvent(QMouseEvent* e) {
  const QPoint pos = e->position().toPoint();
  emit OnMouseUp(e->button(), e->modifiers(), pos.x(), pos.y());
  if (rect().contains(pos)) emit OnClick();
}

void TXpress::mouseDoubleClickEvent(QMouseEvent*) { emit OnDblClick(); }

void TXpress::keyPressEvent(QKeyEvent* e) {
  emit OnKeyDown(e->key(), e->modifiers());
  if (!e->text().isEmpty()) emit OnKeyPress(e->text());
}

void TXpress::keyReleaseEvent(QKeyEvent* e) { emit OnKeyUp(e->key(), e->modifiers()); }
