#include "controls/shell/widgets/ptcustomdraw.h"

#include <QApplication>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QWidget>

namespace ptshell {

TPTCustomDraw::TPTCustomDraw(TPTCustomDrawInfo* notification, const QFont& controlFont, uint32_t* result)
    : ControlFont(controlFont) {
  Init(notification, result);
  CreateBrush();
  CreateFont();
}

void TPTCustomDraw::Init(TPTCustomDrawInfo* notification, uint32_t* result) {
  NMCustomDraw = notification;
  Result = result;
  FontValue.reset();
  Brush.reset();
  FontChanged = false;
  BrushChanged = false;
}

// Font and brush are made when a handler first asks for them: most items are drawn unchanged.
void TPTCustomDraw::CreateFont() {}
void TPTCustomDraw::CreateBrush() {}

const TPTDrawFont& TPTCustomDraw::Font() {
  if (!FontValue) FontValue = TPTDrawFont{ControlFont, NMCustomDraw ? NMCustomDraw->TextColor : QColor()};
  return *FontValue;
}

void TPTCustomDraw::SetFont(const QFont& font) {
  Font();
  FontValue->Font = font;
  FontChanged = true;
}

void TPTCustomDraw::SetFontColor(const QColor& color) {
  Font();
  FontValue->Color = color;
  FontChanged = true;
}

QColor TPTCustomDraw::BrushColor() {
  if (!Brush) Brush = NMCustomDraw ? NMCustomDraw->TextBkColor : QColor();
  return *Brush;
}

void TPTCustomDraw::SetBrushColor(const QColor& color) {
  Brush = color;
  BrushChanged = true;
}

void TPTCustomDraw::Apply() {
  uint32_t answer = 0;
  const int stage = DrawStage();
  if (stage == dsPrePaint && NotifyItemDraw == 1) answer |= CDRF_NOTIFYITEMDRAW;
  if (stage == dsItemPrePaint && NMCustomDraw) {
    if (SkipDefault) {
      answer |= CDRF_SKIPDEFAULT;
    } else {
      if (FontChanged && FontValue) {
        if (!(FontValue->Font == NMCustomDraw->CurrentFont)) {
          NMCustomDraw->CurrentFont = FontValue->Font;
          answer |= CDRF_NEWFONT;
        }
        NMCustomDraw->TextColor = FontValue->Color;
      }
      if (BrushChanged && Brush) NMCustomDraw->TextBkColor = *Brush;
    }
  }
  if (Result) *Result = answer;
}

void PaintItemWithCustomDraw(QPainter* painter, QStyleOptionViewItem& opt,
                             const std::function<uint32_t(TPTCustomDrawInfo&)>& notify) {
  TPTCustomDrawInfo info;
  info.Stage = dsItemPrePaint;
  info.Painter = painter;
  info.Rect = opt.rect;
  info.CurrentFont = opt.font;
  info.TextColor = opt.palette.color(QPalette::Text);
  if (notify(info) & CDRF_SKIPDEFAULT) return;
  opt.font = info.CurrentFont;
  opt.fontMetrics = QFontMetrics(opt.font);
  if (info.TextColor.isValid()) opt.palette.setColor(QPalette::Text, info.TextColor);
  if (info.TextBkColor.isValid()) opt.backgroundBrush = info.TextBkColor;
  const QWidget* w = opt.widget;
  (w ? w->style() : QApplication::style())->drawControl(QStyle::CE_ItemViewItem, &opt, painter, w);
}

}  // namespace ptshell
