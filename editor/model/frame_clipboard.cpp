#include "editor/model/frame_clipboard.h"

#include "editor/model/files.h"
#include "editor/model/undo_records.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>
#include <utility>

namespace movinta::editor {

using gif::Bitmap;
using gif::PixelFormat;
using gif::TGIFGraphicControlExtension;

namespace {

// The frame's pixels in its own colours, for the clipboard.
QImage FrameToQImage(TGIFSubImage& frame) {
  QImage out(frame.GetWidth(), frame.GetHeight(), QImage::Format_Indexed8);
  QList<QRgb> colors(256, qRgb(0, 0, 0));
  gif::TGIFColorMap& map = frame.GetActiveColorMap();
  for (int i = 0; i < map.GetCount(); ++i) {
    const gif::TGIFColor& c = map.Entry(i);
    colors[i] = qRgb(c.Red, c.Green, c.Blue);
  }
  out.setColorTable(colors);
  for (int y = 0; y < frame.GetHeight(); ++y)
    std::copy_n(std::as_const(frame).Data() + static_cast<std::size_t>(y) * frame.GetWidth(), frame.GetWidth(), out.scanLine(y));
  return out;
}

}  // namespace

Bitmap QImageToBitmap(const QImage& image) {
  const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
  Bitmap out(argb.width(), argb.height(), PixelFormat::pf32bit);
  // ARGB32 is blue, green, red, alpha in memory, as the 32-bit bitmap is.
  for (int y = 0; y < argb.height(); ++y)
    std::copy_n(argb.constScanLine(y), static_cast<std::size_t>(argb.width()) * 4, out.Scanline(y));
  return out;
}

TFrameClipboard::~TFrameClipboard() { Delete(); }

void TFrameClipboard::Delete() {
  if (file_.isEmpty()) return;
  DeleteTempFile(file_);
  file_.clear();
  token_.clear();
}

bool TFrameClipboard::Copy(TGIFImage& source, const std::vector<int>& frames) {
  BusyScope busy;
  if (file_.isEmpty() || !QFileInfo::exists(file_)) file_ = NewWorkingTempFile();
  if (file_.isEmpty()) return false;
  TGIFImage copy;
  copy.Header().Assign(source.Header());
  QImage firstPicture;
  StepProgress progress(static_cast<int>(frames.size()));
  for (std::size_t k = 0; k < frames.size(); progress.Step(static_cast<int>(++k))) {
    TGIFSubImage& from = *source.Images().GetFrame(frames[k]);
    if (from.IsEmpty()) continue;
    auto* to = new TGIFSubImage(&copy);
    copy.Add(to);
    to->SetBounds(from.GetLeft(), from.GetTop(), from.GetWidth(), from.GetHeight());
    std::copy_n(from.Data(), from.DataSize(), to->Data());
    to->SetInterlaced(from.GetInterlaced());
    if (from.ColorMap().GetCount() > 0) to->ColorMap().Assign(from.ColorMap());
    auto* gce = new TGIFGraphicControlExtension(to);
    to->Extensions().Add(gce);
    if (TGIFGraphicControlExtension* own = from.GraphicControlExtension()) {
      // The delay goes too: a paste gives the new frame the copied frame's delay.
      gce->SetDelay(own->GetDelay());
      gce->SetDisposal(own->GetDisposal());
      gce->SetTransparentColorIndex(own->GetTransparentColorIndex());
      gce->SetTransparent(own->GetTransparent());
    }
    if (firstPicture.isNull()) firstPicture = FrameToQImage(from);
  }
  QString error;
  if (copy.IsEmpty() || !WriteGifFile(copy, file_, true, &error)) {
    Delete();
    return false;
  }
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  firstPicture.save(&buffer, "PNG");
  token_ = QStringLiteral("%1:%2:%3")
               .arg(file_)
               .arg(QCoreApplication::applicationPid())
               .arg(++serial_)
               .toUtf8();
  if (IClipboard* clipboard = Clipboard())
    clipboard->SetDataSet({{QString::fromLatin1(kBitmapMimeType), png},
                           {QString::fromLatin1(kFrameCopyMimeType), token_}});
  return true;
}

bool TFrameClipboard::HoldsOwnCopy() const {
  IClipboard* clipboard = Clipboard();
  if (!clipboard || token_.isEmpty() || !QFileInfo::exists(file_)) return false;
  return clipboard->HasFormat(QString::fromLatin1(kFrameCopyMimeType)) &&
         clipboard->Data(QString::fromLatin1(kFrameCopyMimeType)) == token_;
}

bool TFrameClipboard::CanPaste(bool commentsPageShown) const {
  IClipboard* clipboard = Clipboard();
  const bool text = clipboard && clipboard->HasFormat(QStringLiteral("text/plain"));
  if (commentsPageShown && text) return true;
  return (clipboard && clipboard->HasFormat(QString::fromLatin1(kBitmapMimeType))) || !file_.isEmpty();
}

bool AddFirstFrameComment(TFrameEditing& editing, const QString& text) {
  TGIFSubImage* first = FrameAt(*SharedImage(), 0);
  if (!first) return false;
  AddCommentExtension(*first, text.size() >= 256 ? text.left(255) : text);
  const int index = first->Extensions().GetCount() - 1;
  TMDIChild& document = *editing.Active();
  editing.Record(RecordCommentAdded, document, 0, index);
  document.SetModified(true);
  editing.Finish(editing.SelectedFrame());
  return true;
}

}  // namespace movinta::editor
