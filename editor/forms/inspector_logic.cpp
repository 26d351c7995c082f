#include "editor/forms/inspector_logic.h"

#include "editor/forms/palette_logic.h"
#include "editor/model/undo_captions.h"
#include "editor/model/settings.h"
#include "editor/model/string_tables.h"
#include "editor/model/text_helpers.h"

#include <cmath>

namespace movinta::editor::forms {

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
  if (row == rowLeft) return MaxFrameLeft(frameWidth);
  if (row == rowTop) return MaxFrameTop(frameHeight);
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
// The inspector's view of a change the model made: a local table just made needs the document
// loaded again, and every applied change but interlacing shows in the frame.
InspectorEdit Shown(const EditResult& result, bool reload, bool showFrame) {
  InspectorEdit out;
  out.Outcome = result.Outcome;
  out.Message = result.Message;
  if (out.Outcome == EditOutcome::Applied) {
    out.ReloadNeeded = reload;
    out.ShowFrameAgain = showFrame;
  }
  return out;
}
}  // namespace

InspectorEdit ApplyInspectorValue(TMDIChild& document, TGIFImage& image, int frameIndex, int row,
                                  const QString& value) {
  const RowKind kind = InspectorRowKind(row);
  if (kind == RowKind::Header || kind == RowKind::ReadOnly) return {};
  const bool yes = IsYesText(value);
  FrameValue which = FrameValue::Left;
  int number = value.toInt();
  switch (row) {
    case rowLeft: which = FrameValue::Left; break;
    case rowTop: which = FrameValue::Top; break;
    case rowInterlaced: which = FrameValue::Interlaced; number = yes ? 1 : 0; break;
    case rowTransparent: which = FrameValue::Transparent; number = yes ? 1 : 0; break;
    case rowLocalPalette: which = FrameValue::LocalTable; number = yes ? 1 : 0; break;
    case rowDelay: which = FrameValue::Delay; break;
    case rowDisposal:
      which = FrameValue::Disposal;
      number = -1;
      for (int d = 0; d < 4; ++d)
        if (value == Tr(kDisposalNames[static_cast<std::size_t>(d)])) number = d;
      break;
    default: return {};
  }
  const EditResult result =
      ChangeFrameValue(document, image, frameIndex, which, number, InspectorUndoCaption(row, value));
  return Shown(result, row == rowLocalPalette && yes, row != rowInterlaced);
}

InspectorEdit AddLocalPalette(TMDIChild& document, TGIFImage& image, int frameIndex) {
  return Shown(AddLocalTable(document, image, frameIndex,
                             undo_captions::Caption(undo_captions::kAddValue, undo_captions::kLocalPalette)),
               true, true);
}

InspectorEdit AddLocalColor(TMDIChild& document, TGIFImage& image, int frameIndex, gif::TColor color) {
  return Shown(AddLocalTableColor(document, image, frameIndex, color, Tr(undo_captions::kAddColorPaletteEntry)),
               false, true);
}

InspectorEdit ChangeLocalColor(TMDIChild& document, TGIFImage& image, int frameIndex, int index, gif::TColor color) {
  return Shown(ChangeLocalTableColor(document, image, frameIndex, index, color,
                                     Tr(undo_captions::kChangeColorPaletteEntry)),
               false, true);
}

InspectorEdit DeleteLocalColor(TMDIChild& document, TGIFImage& image, int frameIndex, int index) {
  return Shown(DeleteLocalTableColor(document, image, frameIndex, index, Tr(undo_captions::kDeleteColorPaletteEntry)),
               false, true);
}

// ---- Comments

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

}  // namespace movinta::editor::forms
