#include "editor/forms/inspector_logic.h"

#include "editor/forms/palette_logic.h"
#include "editor/model/undo_captions.h"
#include "editor/model/undo_records.h"
#include "editor/model/document.h"
#include "editor/model/settings.h"
#include "editor/model/string_tables.h"
#include "editor/model/text_helpers.h"

#include <cmath>

namespace movinta::editor::forms {

using gif::TGIFColorMap;
using gif::TGIFCommentExtension;
using gif::TGIFGraphicControlExtension;
using gif::TGIFImage;
using gif::TGIFSubImage;

namespace {
constexpr const char* kAccepted = "Accepted values for this field are: ";
constexpr const char* kRowHints[kInspectorRowCount] = {
    "Group lists general frame settings",
    "Displays the frame image height. (Read-only)",
    "Displays the frame image width. (Read-only)",
    "Sets left position of the image from the left of the frame.",
    "Sets top of the image from the top of the frame.",
    "Group lists the frame display options",
    "Sets the interlacing of the frame image.",
    "Displays the transparent color of the frame image.",
    "Indicates whether the frame uses a local palette.",
    "Group lists the animation options",
    "Sets the frame delay time in milliseconds (1/100th sec).",
    "Sets the frame drawing method in relation to the other frames."};

bool ValidRow(int row) { return row >= 0 && row < kInspectorRowCount; }

TGIFSubImage* FrameOf(TGIFImage& image, int index) {
  if (index < 0 || index >= image.Images().GetCount()) return nullptr;
  return image.Images().GetFrame(index);
}

TGIFGraphicControlExtension& EnsureGce(TGIFSubImage& frame) {
  if (!frame.GraphicControlExtension()) SetFrameDelay(frame, 0);
  return *frame.GraphicControlExtension();
}
}  // namespace

RowKind InspectorRowKind(int row) {
  switch (row) {
    case rowDimensions: case rowDisplay: case rowPlaying: return RowKind::Header;
    case rowHeight: case rowWidth: return RowKind::ReadOnly;
    case rowLeft: case rowTop: case rowDelay: return RowKind::Number;
    case rowInterlaced: case rowTransparent: case rowLocalPalette: return RowKind::YesNo;
    case rowDisposal: return RowKind::Disposal;
    default: return RowKind::ReadOnly;
  }
}

QString InspectorRowCaption(int row) {
  return ValidRow(row) ? Tr(kInspectorRows[static_cast<std::size_t>(row)]) : QString();
}

QString InspectorRowHint(int row) { return ValidRow(row) ? Tr(kRowHints[row]) : QString(); }

QString InspectorTabHint(int tab) {
  switch (tab) {
    case 0: return QStringLiteral("Displays the current frames properties");
    case 1: return QStringLiteral("Displays the current frame palette. Double-click a color swatch to edit.");
    case 2: return QStringLiteral("Displays the current animation comments");
  }
  return {};
}

int SelectableRow(int row) { return InspectorRowKind(row) == RowKind::Header && ValidRow(row) ? row + 1 : row; }

bool RowHasDropDown(int row) {
  const RowKind k = InspectorRowKind(row);
  return ValidRow(row) && (k == RowKind::YesNo || k == RowKind::Disposal);
}

QStringList DropDownItems(int row) {
  if (!RowHasDropDown(row)) return {};
  if (InspectorRowKind(row) == RowKind::YesNo) return {QStringLiteral("Yes"), QStringLiteral("No")};
  QStringList names;
  for (const char* n : kDisposalNames) names << Tr(n);
  return names;
}

int NumberRowMaximum(int row, int frameWidth, int frameHeight) {
  if (row == rowLeft) return std::max(0, 65535 - frameWidth);
  if (row == rowTop) return std::max(0, 65535 - frameHeight);
  return 65535;
}

ValueCheck CheckInspectorValue(int row, const QString& text, int frameWidth, int frameHeight) {
  ValueCheck out;
  switch (InspectorRowKind(row)) {
    case RowKind::Header:
    case RowKind::ReadOnly:
      out.Ok = true;
      out.Value = text;
      return out;
    case RowKind::Number: {
      if (!IsNumberText(text)) {
        out.Message = QStringLiteral("This field requires a number value.");
        return out;
      }
      bool ok = false;
      const qlonglong value = RemoveSpaces(text).toLongLong(&ok);
      const int maximum = NumberRowMaximum(row, frameWidth, frameHeight);
      if (!ok || value > maximum) {
        out.Message = Tr(kAccepted) + QStringLiteral("0 to %1.").arg(maximum);
        return out;
      }
      out.Ok = true;
      out.Value = QString::number(value);
      return out;
    }
    case RowKind::YesNo: {
      const QString t = text.trimmed();
      if (t.compare(QLatin1String("Yes"), Qt::CaseInsensitive) == 0 ||
          t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        out.Value = QStringLiteral("Yes");
      else if (t.compare(QLatin1String("No"), Qt::CaseInsensitive) == 0 ||
               t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        out.Value = QStringLiteral("No");
      else {
        out.Message = QStringLiteral("%1Yes, No or True or False.").arg(Tr(kAccepted));
        return out;
      }
      out.Ok = true;
      return out;
    }
    case RowKind::Disposal: {
      for (const char* n : kDisposalNames)
        if (text.trimmed().compare(Tr(n), Qt::CaseInsensitive) == 0) {
          out.Ok = true;
          out.Value = Tr(n);
          return out;
        }
      out.Message = QStringLiteral("%1%2, %3, %4, %5")
                        .arg(Tr(kAccepted), Tr(kDisposalNames[0]), Tr(kDisposalNames[1]), Tr(kDisposalNames[2]),
                             Tr(kDisposalNames[3]));
      return out;
    }
  }
  return out;
}

QString InspectorUndoCaption(int row, const QString& value) {
  const QString caption = InspectorRowCaption(row);
  const bool yes = IsYesText(value);
  switch (row) {
    case rowInterlaced: return yes ? caption : undo_captions::Caption(undo_captions::kNonValue, caption);
    case rowTransparent:
      return yes ? undo_captions::Caption(undo_captions::kMakeValue, caption) : Tr(undo_captions::kRemoveTransparency);
    case rowLocalPalette:
      return undo_captions::Caption(yes ? undo_captions::kAddValue : undo_captions::kRemoveValue, caption);
    default: return undo_captions::Caption(undo_captions::kChangeValue, caption);
  }
}

UndoKind InspectorUndoKind(int row, const QString& value) {
  if (row == rowTransparent || row == rowDelay || row == rowDisposal)
    return {TUndoKind::GraphicControl, TUndoOperation::Changed};
  if (row == rowLocalPalette)
    return {TUndoKind::Palette, IsYesText(value) ? TUndoOperation::Added : TUndoOperation::Removed};
  return {TUndoKind::Frame, TUndoOperation::Changed};
}

PaletteGridLayout LayoutPaletteGrid(int count, int clientWidth, int clientHeight) {
  PaletteGridLayout l;
  if (count > 0) {
    l.Rows = std::max(1, static_cast<int>(std::sqrt(static_cast<double>(count))));
    l.Columns = (count + l.Rows - 1) / l.Rows;
  }
  l.ColumnWidth = clientWidth / l.Columns;
  l.RowHeight = clientHeight / l.Rows;
  return l;
}

int PaletteCellIndex(const PaletteGridLayout& layout, int column, int row, int count) {
  if (column < 0 || row < 0 || column >= layout.Columns || row >= layout.Rows) return -1;
  const int index = column + row * layout.Columns;
  return index < count ? index : -1;
}

QString ColorLabelText(int count, gif::TColor color) {
  return QStringLiteral("%1 Colors - R: %2, G: %3, B: %4")
      .arg(count)
      .arg(RedOf(color))
      .arg(GreenOf(color))
      .arg(BlueOf(color));
}

QRect PlaceDropDown(int cellLeft, int cellTop, int valueColumnWidth, int rowHeight, int items,
                    int gridClientHeight) {
  const int height = items * rowHeight + 2;
  int top = cellTop - 8;
  if (cellTop + height - 2 * rowHeight > gridClientHeight) top = cellTop - height - rowHeight - 8;
  return QRect(cellLeft + 1, top, valueColumnWidth + 1, height);
}

QRect LoadInspectorPlacement(const SettingsStore& store, const QRect& mainWindow) {
  const QString section = QString::fromLatin1(sections::kFormInspector);
  const int width = ReadRegInt(store, section, QStringLiteral("Width"), 220);
  const int height = ReadRegInt(store, section, QStringLiteral("Height"), 430);
  const int top = ReadRegInt(store, section, QStringLiteral("Top"), mainWindow.top() + 50);
  const int left =
      ReadRegInt(store, section, QStringLiteral("Left"), mainWindow.left() + mainWindow.width() - width + 10);
  return QRect(left, top, width, height);
}

void SaveInspectorPlacement(SettingsStore& store, const QRect& geometry, bool visible) {
  const QString section = QString::fromLatin1(sections::kFormInspector);
  WriteRegInt(store, section, QStringLiteral("Top"), geometry.top());
  WriteRegInt(store, section, QStringLiteral("Left"), geometry.left());
  WriteRegInt(store, section, QStringLiteral("Height"), geometry.height());
  WriteRegInt(store, section, QStringLiteral("Width"), geometry.width());
  WriteRegInt(store, section, QStringLiteral("Visible"), visible ? 1 : 0);
}

// ---- Edits

QString InspectorValueText(TGIFSubImage& frame, int row) {
  auto yesNo = [](bool b) { return Tr(kBooleanTexts[b ? 1 : 0]); };
  TGIFGraphicControlExtension* gce = frame.GraphicControlExtension();
  switch (row) {
    case rowHeight: return QString::number(frame.GetHeight());
    case rowWidth: return QString::number(frame.GetWidth());
    case rowLeft: return QString::number(frame.GetLeft());
    case rowTop: return QString::number(frame.GetTop());
    case rowInterlaced: return yesNo(frame.GetInterlaced());
    case rowTransparent: return yesNo(frame.Transparent());
    case rowLocalPalette: return yesNo(frame.ColorMap().GetCount() > 0);
    case rowDelay: return QString::number(gce ? gce->GetDelay() : 0);
    case rowDisposal:
      return gce && gce->GetDelay() != 0 ? Tr(kDisposalNames[gce->GetDisposal() & 3]) : QString();
    default: return {};
  }
}

namespace {
// Records the edit's undo entry first; when it cannot be recorded (a snapshot that cannot be
// written), the edit is refused with the reason and nothing changes.
template <typename Record>
bool Recorded(InspectorEdit& out, Record&& record) {
  try {
    record();
    return true;
  } catch (const std::exception& e) {
    out.Outcome = EditOutcome::Refused;
    out.Message = QString::fromStdString(e.what());
    return false;
  }
}

InspectorEdit MakeLocalTable(TMDIChild& document, TGIFImage& image, TGIFSubImage& frame, int frameIndex,
                             const QString& caption) {
  InspectorEdit out;
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
  out.ReloadNeeded = true;
  out.ShowFrameAgain = true;
  return out;
}
}  // namespace

InspectorEdit ApplyInspectorValue(TMDIChild& document, TGIFImage& image, int frameIndex, int row,
                                  const QString& value) {
  InspectorEdit out;
  const RowKind kind = InspectorRowKind(row);
  if (kind == RowKind::Header || kind == RowKind::ReadOnly) return out;
  TGIFSubImage* frame = FrameOf(image, frameIndex);
  if (!frame) return out;
  TGIFGraphicControlExtension& gce = EnsureGce(*frame);
  const bool yes = IsYesText(value);
  const int number = value.toInt();

  switch (row) {
    case rowLeft: if (number == frame->GetLeft()) return out; break;
    case rowTop: if (number == frame->GetTop()) return out; break;
    case rowInterlaced: if (yes == frame->GetInterlaced()) return out; break;
    case rowTransparent: if (yes == gce.GetTransparent()) return out; break;
    case rowDelay: if (number == gce.GetDelay()) return out; break;
    case rowDisposal: if (value == Tr(kDisposalNames[gce.GetDisposal() & 3])) return out; break;
    case rowLocalPalette: if (yes == (frame->ColorMap().GetCount() > 0)) return out; break;
    default: return out;
  }

  const QString caption = InspectorUndoCaption(row, value);
  if (row == rowLocalPalette) {
    if (yes) return MakeLocalTable(document, image, *frame, frameIndex, caption);
    std::array<std::uint8_t, 256> map{};
    if (!MapLocalToGlobal(*frame, map)) {
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
    RemapFrame(*frame, map);
    frame->ColorMap().Clear();
    frame->ColorMap().Changed();
    frame->FreeBitmap();
    out.Outcome = EditOutcome::Applied;
    out.ShowFrameAgain = true;
    return out;
  }

  const UndoKind undo = InspectorUndoKind(row, value);
  if (!Recorded(out, [&] {
        if (undo.Kind == TUndoKind::GraphicControl)
          RecordFrameControlChange(document, frameIndex, caption);
        else
          RecordFrameChange(document, frameIndex, caption);
      }))
    return out;
  switch (row) {
    case rowLeft: frame->SetLeft(static_cast<std::uint16_t>(number)); break;
    case rowTop: frame->SetTop(static_cast<std::uint16_t>(number)); break;
    case rowInterlaced: frame->SetInterlaced(yes); break;
    case rowTransparent: gce.SetTransparent(yes); frame->FreeBitmap(); break;
    case rowDelay: gce.SetDelay(static_cast<std::uint16_t>(number)); break;
    case rowDisposal:
      for (int d = 0; d < 4; ++d)
        if (value == Tr(kDisposalNames[static_cast<std::size_t>(d)])) gce.SetDisposal(d);
      break;
    default: break;
  }
  out.Outcome = EditOutcome::Applied;
  out.ShowFrameAgain = row != rowInterlaced;
  return out;
}

InspectorEdit AddLocalPalette(TMDIChild& document, TGIFImage& image, int frameIndex) {
  TGIFSubImage* frame = FrameOf(image, frameIndex);
  if (!frame) return {};
  return MakeLocalTable(document, image, *frame, frameIndex,
                        undo_captions::Caption(undo_captions::kAddValue, undo_captions::kLocalPalette));
}

InspectorEdit AddLocalColor(TMDIChild& document, TGIFImage& image, int frameIndex, gif::TColor color) {
  InspectorEdit out;
  TGIFSubImage* frame = FrameOf(image, frameIndex);
  if (!frame || frame->ColorMap().GetCount() == 0 || frame->ColorMap().GetCount() >= 256) return out;
  const int index = frame->ColorMap().GetCount();
  if (!Recorded(
          out, [&] { RecordColorAdded(document, frameIndex, index, color, Tr(undo_captions::kAddColorPaletteEntry)); }))
    return out;
  frame->ColorMap().Add(color);
  frame->FreeBitmap();
  out.Outcome = EditOutcome::Applied;
  out.ShowFrameAgain = true;
  return out;
}

InspectorEdit ChangeLocalColor(TMDIChild& document, TGIFImage& image, int frameIndex, int index, gif::TColor color) {
  InspectorEdit out;
  TGIFSubImage* frame = FrameOf(image, frameIndex);
  if (!frame || index < 0 || index >= frame->ColorMap().GetCount()) return out;
  const gif::TColor old = frame->ColorMap().GetColor(index);
  if (old == color) return out;
  if (!Recorded(out, [&] {
        RecordColorChanged(document, frameIndex, index, old, Tr(undo_captions::kChangeColorPaletteEntry));
      }))
    return out;
  frame->ColorMap().SetColor(index, color);
  frame->FreeBitmap();
  out.Outcome = EditOutcome::Applied;
  out.ShowFrameAgain = true;
  return out;
}

InspectorEdit DeleteLocalColor(TMDIChild& document, TGIFImage& image, int frameIndex, int index) {
  InspectorEdit out;
  TGIFSubImage* frame = FrameOf(image, frameIndex);
  if (!frame || index < 0 || index >= frame->ColorMap().GetCount()) return out;
  TGIFColorMap& table = frame->ColorMap();
  out.Outcome = EditOutcome::Refused;
  if (table.GetOptimized()) {
    out.Message = QStringLiteral(
        "The palette is already optimized to the minimum number of colors used. Use the optimization wizard to "
        "remove the local palette.");
    return out;
  }
  if (table.GetCount() <= 2 || PaletteEntryRequired(image, frameIndex, index)) {
    out.Message = QStringLiteral("This color is required by the image and cannot be removed.");
    return out;
  }
  // The later entries move down, so the pixels move with them: only the whole animation undoes that.
  if (!Recorded(out, [&] { RecordAnimationChange(document, frameIndex, Tr(undo_captions::kDeleteColorPaletteEntry)); }))
    return out;
  const IndexMap map = MapAfterDelete(table, index);
  RemapFrame(*frame, map);
  table.Delete(index);
  frame->FreeBitmap();
  out.Outcome = EditOutcome::Applied;
  out.ShowFrameAgain = true;
  return out;
}

// ---- Comments

QString CommentText(TGIFCommentExtension& comment) {
  QStringList lines;
  for (const std::string& line : comment.Text()) lines << QString::fromStdString(line);
  return lines.join(QLatin1Char('\n'));
}

std::vector<CommentItem> ListComments(TGIFImage& image) {
  std::vector<CommentItem> items;
  for (int f = 0; f < image.Images().GetCount(); ++f) {
    TGIFSubImage* frame = image.Images().GetFrame(f);
    for (int e = 0; e < frame->Extensions().GetCount(); ++e)
      if (auto* c = dynamic_cast<TGIFCommentExtension*>(frame->Extensions().GetExtension(e)))
        items.push_back({QStringLiteral("Comment %1").arg(items.size() + 1), f, e, CommentText(*c)});
  }
  return items;
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

}  // namespace movinta::editor::forms
