#include "editor/frame_strip.h"

#include "editor/document_window.h"
#include "editor/forms/kept_paint.h"
#include "editor/forms/guarded.h"

#include "gif/qt/qimage_adapter.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <qdrawutil.h>

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

namespace movinta::editor {

class FrameCells : public QWidget {
public:
  explicit FrameCells(TFrameStrip& strip) : QWidget(&strip), strip_(strip) { setAcceptDrops(true); }

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override { DragMove(event); }
  void dragMoveEvent(QDragMoveEvent* event) override { DragMove(event); }
  void dropEvent(QDropEvent* event) override;

private:
  void DragMove(QDropEvent* event);
  // The frame the active document shows, inserted at target.
  void DropShownFrame(int target);
  void PaintCell(QPainter& p, int cell);
  // Renders, after the paint that found them missing, the pictures of the cells waiting for one,
  // then paints them again.
  void RenderWaitingPictures();
  void QueueRender(int milliseconds);

  TFrameStrip& strip_;
  QPoint pressAt_;
  bool dragArmed_ = false;
  TKeptPaint kept_;
  std::vector<int> waiting_;  // cells drawn without their picture
  bool renderQueued_ = false;
};

namespace {
// A frame up to this size renders unnoticed inside the paint that first shows it. A larger one
// would hold the paint, and its progress could not be shown (nothing pumps inside a paint): its
// cell is drawn without the picture and the picture is rendered after the paint.
constexpr std::uint64_t kRenderInPaintPixels = 512 * 512;
}  // namespace

QMimeData* NewDocumentFrameDrag(const QString& fileName, int index, const QImage& picture) {
  auto* data = new QMimeData;
  data->setData(QString::fromLatin1(kDocumentFrameMimeType), QByteArray::number(index) + '\n' + fileName.toUtf8());
  if (!picture.isNull()) data->setImageData(picture);
  return data;
}

bool HoldsShownFrame(const QMimeData* data, const TFrameCommands& commands) {
  if (!data || !data->hasFormat(QString::fromLatin1(kDocumentFrameMimeType)) || !commands.Active()) return false;
  const QByteArray bytes = data->data(QString::fromLatin1(kDocumentFrameMimeType));
  const qsizetype split = bytes.indexOf('\n');
  if (split < 0) return false;
  bool number = false;
  const int index = bytes.left(split).toInt(&number);
  return number && index >= 0 && index == commands.SelectedFrame() &&
         QString::fromUtf8(bytes.mid(split + 1)) == commands.Active()->FileName;
}

const QImage& TFrameStrip::DelayGlyph() {
  static const QImage glyph(QStringLiteral(":/glyphs/DELAY_CLOCK"));
  return glyph;
}

QSize TFrameStrip::PictureSize(int width, int height, int frameSize) {
  if (width <= 0 || height <= 0) return {0, 0};
  if (width <= frameSize + 1 && height <= frameSize + 1) return {width, height};
  if (height < width) return {frameSize, std::max(1, gif::MulDiv(height, frameSize, width))};
  return {std::max(1, gif::MulDiv(width, frameSize, height)), frameSize};
}

TFrameStrip::TFrameStrip(TFrameCommands& commands, QWidget* parent)
    : QScrollArea(parent), commands_(commands), cells_(new FrameCells(*this)) {
  setObjectName(QStringLiteral("grdFrames"));
  setWidget(cells_);
  setWidgetResizable(false);
  // A panel made lower than a cell scrolls the cells up and down.
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  Reset();
}

QSize TFrameStrip::sizeHint() const {
  const int frame = 2 * frameWidth();
  return {CellWidth() + frame, CellHeight() + horizontalScrollBar()->sizeHint().height() + frame};
}

QSize TFrameStrip::minimumSizeHint() const {
  const int frame = 2 * frameWidth();
  const int bar = horizontalScrollBar()->sizeHint().height();
  return {bar * 3 + frame, bar * 3 + frame};
}

void TFrameStrip::SetFrameSize(int size) {
  frameSize_ = size;
  SetColumnCount(columns_);
  updateGeometry();
}

void TFrameStrip::Reset() {
  selected_ = first_ = last_ = -1;
  SetColumnCount(0);
}

void TFrameStrip::SetColumnCount(int count) {
  columns_ = std::max(0, count);
  cells_->resize(std::max(1, columns_) * CellWidth(), CellHeight());
  if (selected_ >= columns_) SetSelection(columns_ - 1, columns_ - 1);
  cells_->update();
}

int TFrameStrip::CellAt(const QPoint& p) const {
  if (p.y() < 0 || p.y() >= CellHeight() || p.x() < 0) return -1;
  const int cell = p.x() / CellWidth();
  return cell < columns_ ? cell : -1;
}

void TFrameStrip::SetSelection(int first, int last) {
  selected_ = first;
  first_ = first;
  last_ = last;
  if (first >= 0) ensureVisible(first * CellWidth() + CellWidth() / 2, CellHeight() / 2, CellWidth() / 2, 0);
  cells_->update();
  emit selectionChanged();
}

void TFrameStrip::SelectAll() {
  if (columns_ == 0) return;
  const int keep = std::max(0, selected_);
  SetSelection(0, columns_ - 1);
  selected_ = keep;
}

void TFrameStrip::RepaintCells() {
  SetColumnCount(ShownFrameCount(*SharedImage()));
  cells_->update();
}

void TFrameStrip::CellPressed(int cell, Qt::KeyboardModifiers modifiers) {
  if (!commands_.Active() || cell < 0) return;
  if ((modifiers & Qt::ControlModifier) && selected_ >= 0) {
    const int anchor = selected_;
    first_ = std::min(anchor, cell);
    last_ = std::max(anchor, cell);
    cells_->update();
    emit selectionChanged();
    return;
  }
  SetSelection(cell, cell);
  emit frameSelected(cell);
}

void FrameCells::PaintCell(QPainter& p, int cell) {
  TGIFImage& image = *SharedImage();
  if (cell >= image.Images().GetCount()) return;
  TGIFSubImage& frame = *image.Images().GetFrame(cell);
  const int w = strip_.CellWidth(), h = strip_.CellHeight();
  const QRect rect(cell * w, 0, w, h);
  const QRect inset = rect.adjusted(3, 3, -3, -3);
  const QPalette& pal = palette();
  p.fillRect(inset, pal.button());
  qDrawShadePanel(&p, inset, pal, false, 1);
  if (frame.IsEmpty()) return;

  const int captionHeight = p.fontMetrics().height() + 3;
  const int frameWidth = frame.GetWidth(), frameHeight = frame.GetHeight();
  const bool ready = frame.HasBitmap() || std::uint64_t(frameWidth) * frameHeight <= kRenderInPaintPixels;
  QImage picture;
  if (ready) {
    try {
      // The 32-bit copy lives only while the cell is drawn.
      const gif::TGIFMemoryCharge charge(image, std::uint64_t(frameWidth) * frameHeight * 4);
      picture = gif::qt::ToQImage(frame.GetBitmap());
      if (picture.isNull()) throw std::bad_alloc();
    } catch (...) {
      // An empty cell; the user hears why once.
      TellPictureNotMade();
      return;
    }
  } else {
    if (std::find(waiting_.begin(), waiting_.end(), cell) == waiting_.end()) waiting_.push_back(cell);
    QueueRender(0);
  }
  const QSize size = TFrameStrip::PictureSize(frameWidth, frameHeight, strip_.FrameSize());
  const QRect target(inset.left() + (inset.width() - size.width()) / 2,
                     inset.top() + (inset.height() - size.height()) / 2, size.width(), size.height());
  qDrawShadePanel(&p, target.adjusted(-1, -1, 1, 1), pal, true, 1);
  if (!picture.isNull()) p.drawImage(target, picture);

  const QRect caption(rect.left() + 3, rect.top() + 3, w - 6, captionHeight);
  qDrawShadePanel(&p, caption, pal, true, 1);
  p.drawText(caption.adjusted(2, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter, QString::number(cell));
  p.drawText(caption.adjusted(2, 0, -2, 0), Qt::AlignRight | Qt::AlignVCenter,
             QStringLiteral("%1 x %2").arg(frameHeight).arg(frameWidth));

  const QRect delay(rect.left() + 3, rect.bottom() - 20, w - 6, 18);
  qDrawShadePanel(&p, delay, pal, true, 1);
  p.drawImage(TFrameStrip::DelayGlyphAt(rect), TFrameStrip::DelayGlyph());
  p.drawText(delay.adjusted(18, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
             QString::number(GetFrameDelay(image, cell)));

  if (cell >= strip_.SelectionFirst() && cell <= strip_.SelectionLast()) {
    QPen pen(pal.highlight(), 2);
    p.setPen(pen);
    p.drawRect(target.adjusted(-4, -4, 4, 4));
  }
}

void FrameCells::paintEvent(QPaintEvent* event) {
  QPainter p(this);
  p.fillRect(event->rect(), palette().window());
  // Every visible cell, so that what is kept covers what a pump may have to show.
  const QRect area = visibleRegion().boundingRect().united(event->rect());
  kept_.Paint(*this, p, area, [this, &area](QPainter& cells) {
    if (!strip_.commands_.Active()) return;
    const int first = std::max(0, area.left() / strip_.CellWidth());
    const int last = std::min(strip_.ColumnCount() - 1, area.right() / strip_.CellWidth());
    // Nothing may leave a paint event: a cell that fails is left as drawn, the others are drawn.
    for (int cell = first; cell <= last; ++cell) PaintGuarded([&] { PaintCell(cells, cell); });
  });
}

void FrameCells::QueueRender(int milliseconds) {
  if (std::exchange(renderQueued_, true)) return;
  QTimer::singleShot(milliseconds, this, Guarded([this] { RenderWaitingPictures(); }));
}

void FrameCells::RenderWaitingPictures() {
  renderQueued_ = false;
  if (waiting_.empty()) return;
  // Other long work may be changing the frames while it pumps; the pictures wait until it ends.
  if (BusyScope::Running()) {
    QueueRender(100);
    return;
  }
  const std::vector<int> cells = std::exchange(waiting_, {});
  bool rendered = false;
  {
    BusyScope busy;
    for (int cell : cells) {
      // Looked up again for each cell: rendering pumps events, with progress.
      TGIFImage& image = *SharedImage();
      if (cell >= image.Images().GetCount()) continue;
      TGIFSubImage& frame = *image.Images().GetFrame(cell);
      if (frame.IsEmpty() || frame.HasBitmap()) continue;
      try {
        frame.GetBitmap();
        rendered = true;
      } catch (...) {
        // The cell stays without its picture until it is painted again; the user hears why once.
        TellPictureNotMade();
      }
    }
  }
  // Only what was rendered asks for a paint: a picture that cannot be made is not tried again and again.
  if (rendered) update();
}

void FrameCells::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const int cell = strip_.CellAt(event->position().toPoint());
  strip_.CellPressed(cell, event->modifiers());
  pressAt_ = event->position().toPoint();
  dragArmed_ = cell >= 0 && strip_.SelectionFirst() == strip_.SelectionLast();
}

void FrameCells::mouseMoveEvent(QMouseEvent* event) {
  if (!dragArmed_ || !(event->buttons() & Qt::LeftButton)) return;
  if ((event->position().toPoint() - pressAt_).manhattanLength() < 15) return;
  dragArmed_ = false;
  auto* data = new QMimeData;
  data->setData(QString::fromLatin1(kFrameStripMimeType), QByteArray::number(strip_.SelectedFrame()));
  auto* drag = new QDrag(this);
  drag->setMimeData(data);
  drag->exec(Qt::MoveAction);
}

void FrameCells::DragMove(QDropEvent* event) {
  // A thumbnail of the image browser goes in wherever it is dropped.
  if (event->mimeData()->hasFormat(QString::fromLatin1(kThumbnailMimeType)) && strip_.ThumbnailDropped) {
    event->acceptProposedAction();
    return;
  }
  const QMimeData* data = event->mimeData();
  const bool ours = data->hasFormat(QString::fromLatin1(kFrameStripMimeType));
  // A document's picture comes only as the frame the active document shows.
  const bool picture = data->hasFormat(QString::fromLatin1(kDocumentFrameMimeType))
                           ? HoldsShownFrame(data, strip_.commands_)
                           : data->hasImage();
  if ((ours || picture) && strip_.CellAt(event->position().toPoint()) >= 0) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void FrameCells::DropShownFrame(int target) {
  // The frame's own picture, copied before the insert changes the animation.
  TGIFImage& image = *SharedImage();
  const int shown = strip_.commands_.SelectedFrame();
  if (shown < 0 || shown >= image.Images().GetCount()) return;
  TGIFSubImage& frame = *image.Images().GetFrame(shown);
  if (frame.IsEmpty()) return;
  gif::Bitmap copy;
  try {
    copy = frame.GetBitmap();
  } catch (const std::exception&) {
    return;
  }
  strip_.commands_.DropBitmapAt(copy, target);
}

void FrameCells::dropEvent(QDropEvent* event) {
  if (event->mimeData()->hasFormat(QString::fromLatin1(kThumbnailMimeType)) && strip_.ThumbnailDropped) {
    event->acceptProposedAction();
    strip_.ThumbnailDropped(QString::fromUtf8(event->mimeData()->data(QString::fromLatin1(kThumbnailMimeType))));
    strip_.RepaintCells();
    return;
  }
  const int target = strip_.CellAt(event->position().toPoint());
  if (target < 0) return;
  if (event->mimeData()->hasFormat(QString::fromLatin1(kFrameStripMimeType))) {
    strip_.commands_.DragFramesTo(target);
  } else if (event->mimeData()->hasFormat(QString::fromLatin1(kDocumentFrameMimeType))) {
    if (!HoldsShownFrame(event->mimeData(), strip_.commands_)) return;
    DropShownFrame(target);
  } else if (event->mimeData()->hasImage()) {
    const QImage image = qvariant_cast<QImage>(event->mimeData()->imageData());
    strip_.commands_.DropBitmapAt(gif::qt::FromQImage(image), target);
  }
  event->acceptProposedAction();
  strip_.RepaintCells();
}

}  // namespace movinta::editor
