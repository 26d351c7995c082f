#include "editor/model/frame_values.h"

#include "editor/model/document.h"
#include "editor/model/undo_records.h"
#include "editor/model/working_image.h"

#include <algorithm>
#include <cstdint>

namespace movinta::editor {

using gif::TGIFCommentExtension;
using gif::TGIFGraphicControlExtension;
using gif::TGIFImage;
using gif::TGIFSubImage;

namespace {
TGIFSubImage* FrameOf(TGIFImage& image, int index) {
  if (index < 0 || index >= image.Images().GetCount()) return nullptr;
  return image.Images().GetFrame(index);
}

TGIFGraphicControlExtension& EnsureGce(TGIFSubImage& frame) {
  if (!frame.GraphicControlExtension()) SetFrameDelay(frame, 0);
  return *frame.GraphicControlExtension();
}

EditResult MakeLocalTable(TMDIChild& document, TGIFImage& image, TGIFSubImage& frame, int frameIndex,
                          const QString& caption) {
  EditResult out;
  if (image.GetGlobalColorMap().GetCount() == 0) {
    out.Outcome = EditOutcome::Refused;
    out.Message = QStringLiteral("Could not to create local color map. A global color map is required.");
    return out;
  }
  if (!Recorded(out, [&] { RecordLocalPaletteAdded(document, frameIndex, caption); })) return out;
  frame.ColorMap().Assign(image.GetGlobalColorMap());
  // The optimiser would reorder the entries under pixels that still index the global order, so
  // the copy keeps the global order and the frame shows exactly what it showed before.
  frame.FreeBitmap();
  out.Outcome = EditOutcome::Applied;
  return out;
}

EditResult DropLocalTable(TMDIChild& document, TGIFSubImage& frame, int frameIndex, const QString& caption) {
  EditResult out;
  std::array<std::uint8_t, 256> map{};
  if (!MapLocalToGlobal(frame, map)) {
    out.Outcome = EditOutcome::Refused;
    out.Message = QStringLiteral(
        "The global palette does not hold every color of this frame, so the local palette cannot be removed. "
        "Use the optimization wizard to remove the local palette.");
    return out;
  }
  // A table undo only puts the colours back; moved pixels need the whole animation.
  const bool inPlace = IsIdentity(map, 256);
  if (!Recorded(out, [&] {
        if (inPlace)
          RecordLocalPaletteRemoved(document, frameIndex, caption);
        else
          RecordAnimationChange(document, frameIndex, caption);
      }))
    return out;
  RemapFrame(frame, map);
  frame.ColorMap().Clear();
  frame.ColorMap().Changed();
  frame.FreeBitmap();
  out.Outcome = EditOutcome::Applied;
  return out;
}
}  // namespace

int MaxFrameLeft(int frameWidth) { return std::max(0, 65535 - frameWidth); }
int MaxFrameTop(int frameHeight) { return std::max(0, 65535 - frameHeight); }

EditResult ChangeFrameValue(TMDIChild& document, TGIFImage& image, int frameIndex, FrameValue which, int value,
                            const QString& caption) {
  EditResult out;
  TGIFSubImage* frame = FrameOf(image, frameIndex);
  if (!frame) return out;
  TGIFGraphicControlExtension& gce = EnsureGce(*frame);
  const bool yes = value != 0;

  switch (which) {
    case FrameValue::Left: if (value == frame->GetLeft()) return out; break;
    case FrameValue::Top: if (value == frame->GetTop()) return out; break;
    case FrameValue::Interlaced: if (yes == frame->GetInterlaced()) return out; break;
    case FrameValue::Transparent: if (yes == gce.GetTransparent()) return out; break;
    case FrameValue::Delay: if (value == gce.GetDelay()) return out; break;
    case FrameValue::Disposal: if (value == (gce.GetDisposal() & 3)) return out; break;
    case FrameValue::LocalTable: if (yes == (frame->ColorMap().GetCount() > 0)) return out; break;
  }

  if (which == FrameValue::LocalTable)
    return yes ? MakeLocalTable(document, image, *frame, frameIndex, caption)
               : DropLocalTable(document, *frame, frameIndex, caption);

  const bool control =
      which == FrameValue::Transparent || which == FrameValue::Delay || which == FrameValue::Disposal;
  if (!Recorded(out, [&] {
        if (control)
          RecordFrameControlChange(document, frameIndex, caption);
        else
          RecordFrameChange(document, frameIndex, caption);
      }))
    return out;
  switch (which) {
    case FrameValue::Left: frame->SetLeft(static_cast<std::uint16_t>(value)); break;
    case FrameValue::Top: frame->SetTop(static_cast<std::uint16_t>(value)); break;
    case FrameValue::Interlaced: frame->SetInterlaced(yes); break;
    case FrameValue::Transparent: gce.SetTransparent(yes); frame->FreeBitmap(); break;
    case FrameValue::Delay: gce.SetDelay(static_cast<std::uint16_t>(value)); break;
    case FrameValue::Disposal:
      if (value >= 0 && value < 4) gce.SetDisposal(value);
      break;
    case FrameValue::LocalTable: break;
  }
  out.Outcome = EditOutcome::Applied;
  return out;
}

EditResult AddLocalTable(TMDIChild& document, TGIFImage& image, int frameIndex, const QString& caption) {
  TGIFSubImage* frame = FrameOf(image, frameIndex);
  if (!frame) return {};
  return MakeLocalTable(document, image, *frame, frameIndex, caption);
}

// ---- Comments

QString CommentText(TGIFCommentExtension& comment) {
  QStringList lines;
  for (const std::string& line : comment.Text()) lines << QString::fromStdString(line);
  return lines.join(QLatin1Char('\n'));
}

int AddComment(TMDIChild& document, TGIFImage& image, const QString& text) {
  TGIFSubImage* frame = FrameOf(image, 0);
  if (!frame) return -1;
  AddCommentExtension(*frame, text);
  const int index = frame->Extensions().GetCount() - 1;
  RecordCommentAdded(document, 0, index);
  document.SetModified(true);
  return index;
}

namespace {
TGIFCommentExtension* CommentAt(TGIFImage& image, int frameIndex, int extension) {
  TGIFSubImage* frame = FrameOf(image, frameIndex);
  if (!frame || extension < 0 || extension >= frame->Extensions().GetCount()) return nullptr;
  return dynamic_cast<TGIFCommentExtension*>(frame->Extensions().GetExtension(extension));
}
}  // namespace

bool ChangeComment(TMDIChild& document, TGIFImage& image, int frameIndex, int extension, const QString& text) {
  TGIFCommentExtension* c = CommentAt(image, frameIndex, extension);
  if (!c || CommentText(*c) == text) return false;
  RecordCommentChanged(document, frameIndex, extension);
  c->Text().clear();
  for (const QString& line : text.split(QLatin1Char('\n'))) c->Text().push_back(line.toStdString());
  document.SetModified(true);
  return true;
}

bool RemoveComment(TMDIChild& document, TGIFImage& image, int frameIndex, int extension) {
  TGIFCommentExtension* c = CommentAt(image, frameIndex, extension);
  if (!c) return false;
  RecordCommentRemoved(document, frameIndex, extension);
  image.Images().GetFrame(frameIndex)->Extensions().Delete(extension);
  document.SetModified(true);
  return true;
}

}  // namespace movinta::editor
