#include "editor/document_window.h"

#include "editor/frame_strip.h"
#include "editor/forms/guarded.h"
#include "editor/commands/image_browser_commands.h"
#include "editor/main_window.h"
#include "editor/model/playback.h"
#include "editor/model/settings.h"
#include "editor/model/string_tables.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QSet>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <new>
#include <utility>

namespace movinta::editor {

namespace {

QSet<QString>& ReasonsTold() {
  static QSet<QString> reasons;
  return reasons;
}

}  // namespace

std::uint64_t ShownFrameCost(int width, int height) {
  return std::uint64_t(std::max(width, 0)) * std::uint64_t(std::max(height, 0)) * 5;
}

void TellPictureNotMade() noexcept {
  try {
    QString reason;
    try {
      throw;
    } catch (const std::bad_alloc&) {
      reason = QString::fromLatin1(gif::texts::MemoryBudgetExceeded);
    } catch (const std::exception& e) {
      reason = QString::fromLocal8Bit(e.what());
    }
    if (ReasonsTold().contains(reason) || !QCoreApplication::instance()) return;
    ReasonsTold().insert(reason);
    QTimer::singleShot(0, QCoreApplication::instance(),
                       Guarded([reason] { ShowMessage(reason, MessageType::Error, kOk); }));
  } catch (...) {
  }
}

QImage RenderFrame(TGIFImage& image, int index) {
  if (index < 0 || index >= image.Images().GetCount()) return {};
  gif::TGIFSubImage& frame = *image.Images().GetFrame(index);
  if (frame.IsEmpty()) return {};
  QImage out(frame.GetWidth(), frame.GetHeight(), QImage::Format_Indexed8);
  if (out.isNull()) throw std::bad_alloc();
  gif::TGIFColorMap& map = frame.GetActiveColorMap();
  QList<QRgb> table(256, qRgb(0, 0, 0));
  for (int i = 0; i < map.GetCount(); ++i) {
    const gif::TGIFColor& c = map.Entry(i);
    table[i] = qRgb(c.Red, c.Green, c.Blue);
  }
  if (frame.Transparent() && frame.GraphicControlExtension())
    table[frame.GraphicControlExtension()->GetTransparentColorIndex()] = qRgba(0, 0, 0, 0);
  out.setColorTable(table);
  for (int y = 0; y < frame.GetHeight(); ++y)
    std::copy_n(std::as_const(frame).Data() + static_cast<std::size_t>(y) * frame.GetWidth(), frame.GetWidth(),
                out.scanLine(y));
  return out;
}

void FrameView::SetFrame(const QImage& image, QSize screen, QPoint offset, bool drawTransparent, QColor background) {
  frame_ = image;
  screen_ = screen.isValid() && !screen.isEmpty() ? screen : image.size();
  offset_ = offset;
  drawTransparent_ = drawTransparent;
  background_ = background;
  setFixedSize(sizeHint());
  update();
}

QSize FrameView::sizeHint() const { return screen_.isEmpty() ? QSize(1, 1) : screen_; }

void FrameView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  try {
    p.fillRect(rect(), background_);
    if (frame_.isNull()) return;
    if (drawTransparent_) p.fillRect(FrameRect(), background_);
    p.drawImage(offset_, frame_);
    p.setPen(QPen(Qt::black, 1, Qt::DotLine));
    p.drawRect(FrameRect().adjusted(0, 0, -1, -1));
  } catch (...) {
    // Nothing may leave a paint event; what was drawn stays.
    TellPictureNotMade();
  }
}

void FrameView::mousePressEvent(QMouseEvent* event) {
  dragArmed_ = event->button() == Qt::LeftButton;
  pressAt_ = event->position().toPoint();
  // The press goes on to the window, which comes forward with it.
  event->ignore();
}

void FrameView::mouseMoveEvent(QMouseEvent* event) {
  if (!dragArmed_ || !(event->buttons() & Qt::LeftButton)) return;
  if ((event->position().toPoint() - pressAt_).manhattanLength() < 10) return;
  dragArmed_ = false;
  QMimeData* data = DragData ? DragData() : nullptr;
  if (!data) return;
  auto* drag = new QDrag(this);
  drag->setMimeData(data);
  drag->exec(Qt::CopyAction);
}

TMDIChildWindow::TMDIChildWindow(TfrmMain& main, TMDIChild* document, QWidget* parent)
    : QWidget(parent), main_(main), document_(document) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  sbox_ = new QScrollArea(this);
  sbox_->setAlignment(Qt::AlignCenter);
  sbox_->setBackgroundRole(QPalette::Dark);
  pb_ = new FrameView;
  sbox_->setWidget(pb_);
  // The frame shown, dragged onto the strip or another document; nothing while it plays.
  pb_->DragData = [this]() -> QMimeData* {
    TFrameCommands& commands = main_.FrameCommands();
    if (!document_ || commands.Playing() || commands.Active() != document_ || pb_->Picture().isNull()) return nullptr;
    return NewDocumentFrameDrag(document_->FileName, document_->CurrentFrame, pb_->Picture());
  };
  layout->addWidget(sbox_, 1);
  statusBar_ = new QStatusBar(this);
  statusBar_->setSizeGripEnabled(false);
  panel0_ = new QLabel;
  panel0_->setFixedWidth(20);
  panel1_ = new QLabel;
  // As wide as its text in the user's font, no narrower than the 75 pixels it was drawn with.
  panel1_->setFixedWidth(std::max(75, panel1_->fontMetrics().horizontalAdvance(Tr(texts::kModified)) + 6));
  panel2_ = new QLabel;
  panel2_->setMinimumWidth(50);
  statusBar_->addWidget(panel0_);
  statusBar_->addWidget(panel1_);
  statusBar_->addWidget(panel2_, 1);
  layout->addWidget(statusBar_);
  setAttribute(Qt::WA_DeleteOnClose, false);
  setAcceptDrops(true);
  UpdateState();
}

void TMDIChildWindow::ShowFrame(int index) {
  if (!document_ || !document_->Loaded) return;
  document_->CurrentFrame = index;
  const SettingsRecord& settings = Settings();
  const QColor back(settings.FrameBackColor & 0xFF, (settings.FrameBackColor >> 8) & 0xFF,
                    (settings.FrameBackColor >> 16) & 0xFF);
  TGIFImage& image = *SharedImage();
  const gif::TGIFSubImage* frame =
      index >= 0 && index < image.Images().GetCount() ? image.Images().GetFrame(index) : nullptr;
  const QPoint offset = frame ? QPoint(frame->GetLeft(), frame->GetTop()) : QPoint();
  pb_->DropPicture();
  shownCharge_.Release();
  QImage picture;
  try {
    if (frame) shownCharge_ = gif::TGIFMemoryCharge(image, ShownFrameCost(frame->GetWidth(), frame->GetHeight()));
    picture = RenderFrame(image, index);
    if (!picture.isNull()) ReasonsTold().clear();
  } catch (...) {
    // The screen stays empty; the user hears why once.
    shownCharge_.Release();
    picture = QImage();
    TellPictureNotMade();
  }
  pb_->SetFrame(picture, QSize(image.GetWidth(), image.GetHeight()), offset, true, back);
  SetStatusText(Tr(play_texts::kFrameStatus).arg(document_->DisplayName()).arg(image.GetHeight()).arg(image.GetWidth()));
}

QString TMDIChildWindow::StatusText() const { return panel2_->text(); }

void TMDIChildWindow::SetStatusText(const QString& text) { panel2_->setText(text); }

void TMDIChildWindow::UpdateState() {
  if (!document_) return;
  setWindowTitle(document_->Caption);
  panel0_->setText(document_->Modified ? QStringLiteral("\u25CF") : QString());
  panel1_->setText(document_->Modified ? Tr(texts::kModified) : QString());
  statusBar_->setToolTip(document_->Modified ? Tr(texts::kAnimationModified) : QString());
}

bool TMDIChildWindow::AcceptsFrameDrop(const QMimeData* data) const {
  if (!document_ || !data) return false;
  TFrameCommands& commands = main_.FrameCommands();
  // From the strip, or from the picture of the document the strip shows.
  if (!data->hasFormat(QString::fromLatin1(kFrameStripMimeType)) && !HoldsShownFrame(data, commands)) return false;
  return commands.Active() && commands.Active() != document_ && !commands.Playing();
}

bool TMDIChildWindow::DropFrame(const QMimeData* data) {
  if (!AcceptsFrameDrop(data)) return false;
  TMDIChild* target = document_;
  if (main_.FrameCommands().DropFrameOnDocument(target) < 0) return false;
  // The switch is made by now; raising the window only shows it.
  if (QMdiSubWindow* sub = main_.SubWindowFor(target))
    if (sub->mdiArea()) sub->mdiArea()->setActiveSubWindow(sub);
  return true;
}

bool TMDIChildWindow::AcceptsThumbnailDrop(const QMimeData* data) const {
  return document_ && data && data->hasFormat(QString::fromLatin1(kThumbnailMimeType)) &&
         !main_.FrameCommands().Playing();
}

bool TMDIChildWindow::DropThumbnail(const QMimeData* data) {
  if (!AcceptsThumbnailDrop(data)) return false;
  const QString path = QString::fromUtf8(data->data(QString::fromLatin1(kThumbnailMimeType)));
  // The picture joins this animation, so it becomes the active one first.
  TMDIChild* target = document_;
  if (main_.Documents().Active() != target && !main_.Documents().Activate(target)) return false;
  if (QMdiSubWindow* sub = main_.SubWindowFor(target))
    if (sub->mdiArea()) sub->mdiArea()->setActiveSubWindow(sub);
  main_.SetOpenAsNew(false);
  TImageBrowserCommands& browser = main_.ImageBrowser();
  BusyScope busy;
  browser.DraggingThumb = false;
  browser.InsertThumbFile(path);
  return true;
}

void TMDIChildWindow::dragEnterEvent(QDragEnterEvent* event) {
  dragMoveEvent(event);
}

void TMDIChildWindow::dragMoveEvent(QDragMoveEvent* event) {
  if (AcceptsThumbnailDrop(event->mimeData())) {
    // A GIF dropped here may join this animation: the drop question decides.
    main_.SetOpenAsNew(false);
    event->acceptProposedAction();
  } else if (AcceptsFrameDrop(event->mimeData())) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

void TMDIChildWindow::dropEvent(QDropEvent* event) {
  if (DropThumbnail(event->mimeData()) || DropFrame(event->mimeData()))
    event->acceptProposedAction();
  else
    event->ignore();
}

void TMDIChildWindow::closeEvent(QCloseEvent* event) {
  // The model decides: a cancelled save question keeps the window.
  if (document_ && !main_.CloseDocument(document_)) {
    event->ignore();
    return;
  }
  event->accept();
}

}  // namespace movinta::editor
