// The custom-draw wrapper the tree and list bases hand to their drawing events:
// a handler changes an item's font, text colour or background, or takes over
// the drawing of the item, and Apply turns that into the answer the view paints by.
#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <cstdint>
#include <functional>
#include <optional>

class QPainter;
class QStyleOptionViewItem;

namespace ptshell {

// Answer bits.
inline constexpr uint32_t CDRF_DODEFAULT = 0x0;
inline constexpr uint32_t CDRF_NEWFONT = 0x2;
inline constexpr uint32_t CDRF_SKIPDEFAULT = 0x4;
inline constexpr uint32_t CDRF_NOTIFYITEMDRAW = 0x20;

// Draw stages.
inline constexpr int dsOther = 0, dsPrePaint = 1, dsPostPaint = 2, dsItemPrePaint = 4, dsItemPostPaint = 5;

// One paint notification: what the view is about to draw with, which Apply may change.
struct TPTCustomDrawInfo {
  int Stage = dsOther;
  QPainter* Painter = nullptr;
  QRect Rect;
  QFont CurrentFont;  // the font the item would be drawn in
  QColor TextColor;   // the item's text colour
  QColor TextBkColor; // the item's background, invalid for the view's own
};

struct TPTDrawFont {
  QFont Font;
  QColor Color;
};

class TPTCustomDraw {
 public:
  TPTCustomDraw(TPTCustomDrawInfo* notification, const QFont& controlFont, uint32_t* result);
  virtual ~TPTCustomDraw() = default;

  virtual void Init(TPTCustomDrawInfo* notification, uint32_t* result);
  virtual void CreateFont();
  virtual void CreateBrush();
  virtual void Apply();

  int DrawStage() const { return NMCustomDraw ? NMCustomDraw->Stage : dsOther; }
  QPainter* Painter() const { return NMCustomDraw ? NMCustomDraw->Painter : nullptr; }
  QRect Rect() const { return NMCustomDraw ? NMCustomDraw->Rect : QRect(); }

  // The item's font, made on demand from the control's font and the current text colour.
  const TPTDrawFont& Font();
  void SetFont(const QFont& font);
  void SetFontColor(const QColor& color);
  // The item's background, made on demand from the current background colour.
  QColor BrushColor();
  void SetBrushColor(const QColor& color);

  QFont ControlFont;
  bool FontChanged = false;
  bool BrushChanged = false;
  uint8_t NotifyItemDraw = 0;
  bool SkipDefault = false;
  TPTCustomDrawInfo* NMCustomDraw = nullptr;
  uint32_t* Result = nullptr;

 protected:
  std::optional<TPTDrawFont> FontValue;
  std::optional<QColor> Brush;
};

// Runs a control's drawing events in their fixed order. The events that see
// every stage come first and are told no item outside the item stages; those
// that see only an item's pre-paint follow with the same wrapper, made on first
// need. The wrapper's changes are applied once, and the caller owns it.
template <class Draw, class Item, class Create, class EveryStage, class ItemPrePaint>
Draw* RunCustomDrawEvents(const TPTCustomDrawInfo& notification, Item* item, bool anyEveryStage,
                          bool anyItemPrePaint, Create create, EveryStage everyStage, ItemPrePaint itemPrePaint) {
  Draw* draw = nullptr;
  const bool itemStage = notification.Stage == dsItemPrePaint || notification.Stage == dsItemPostPaint;
  if (anyEveryStage) {
    draw = create();
    everyStage(draw, itemStage ? item : nullptr);
  }
  if (anyItemPrePaint && notification.Stage == dsItemPrePaint) {
    if (!draw) draw = create();
    itemPrePaint(draw, item);
  }
  if (draw) draw->Apply();
  return draw;
}

// Paints one view item as the style would after offering it to the control's
// drawing events through `notify`: the font and colours they chose are used,
// and nothing is painted when they answer CDRF_SKIPDEFAULT.
void PaintItemWithCustomDraw(QPainter* painter, QStyleOptionViewItem& opt,
                             const std::function<uint32_t(TPTCustomDrawInfo&)>& notify);

class TPTTvCustomDraw : public TPTCustomDraw {
 public:
  TPTTvCustomDraw(TPTCustomDrawInfo* notification, const QFont& controlFont, uint32_t* result)
      : TPTCustomDraw(notification, controlFont, result) {
    NotifyItemDraw = 1;
  }
};

class TPTLvCustomDraw : public TPTCustomDraw {
 public:
  using TPTCustomDraw::TPTCustomDraw;
};

}  // namespace ptshell
