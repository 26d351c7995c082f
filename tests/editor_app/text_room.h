// Finds the texts of a window that have less room than they need in the window's font: labels,
// buttons, check and radio boxes, group titles, tab captions and the fixed items of combos. A text
// counts as cut when its width (or its height, or for a wrapping label the lines it wraps to) plus
// the style's margins exceeds the part of the control that is on screen, inside every parent.
#pragma once

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOption>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

#include <set>

namespace movinta::editor::testing {

// The part of the widget's rectangle that its parents let through, in its own coordinates. The
// viewport of a scroll area does not count: what lies beyond it is scrolled to, not cut.
inline QRect OnScreen(const QWidget* w) {
  const QWidget* window = w->window();
  const QPoint origin = w->mapTo(window, QPoint(0, 0));
  QRect r(origin, w->size());
  for (const QWidget* a = w->parentWidget(); a && a != window; a = a->parentWidget()) {
    const auto* area = qobject_cast<const QAbstractScrollArea*>(a->parentWidget());
    if (area && area->viewport() == a) break;
    r &= QRect(a->mapTo(window, QPoint(0, 0)), a->size());
  }
  r &= window->rect();
  return r.translated(-origin);
}

inline QString Shown(QString text) {
  text.replace(QLatin1String("&&"), QString(QChar(0x1)));
  text.remove(QLatin1Char('&'));
  text.replace(QChar(0x1), QLatin1Char('&'));
  return text;
}

inline QString Describe(const QWidget* w) {
  QString path;
  for (const QWidget* p = w; p; p = p->parentWidget()) {
    if (p->isWindow()) break;
    const QString name = p->objectName().isEmpty() ? QString::fromLatin1(p->metaObject()->className()) : p->objectName();
    path = path.isEmpty() ? name : name + QLatin1Char('/') + path;
  }
  return path;
}

class TextRoom {
public:
  // Each cut text once, as "window: control "text" needs WxH, has WxH".
  const std::set<QString>& Cuts() const { return cuts_; }

  // Checks the window as shown, then every page of its stacks and tab widgets in turn.
  void CheckWindow(QWidget* window) {
    Settle();
    CheckShown(window);
    for (QStackedWidget* stack : window->findChildren<QStackedWidget*>()) {
      if (!stack->isVisibleTo(window)) continue;
      const int keep = stack->currentIndex();
      for (int i = 0; i < stack->count(); ++i) {
        stack->setCurrentIndex(i);
        Settle();
        CheckShown(window);
      }
      stack->setCurrentIndex(keep);
      QApplication::processEvents();
    }
  }

private:
  // Layout requests, then the window's own resize, then its children's.
  static void Settle() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
  }

  void CheckShown(QWidget* window) {
    window_ = window->objectName().isEmpty() ? QString::fromLatin1(window->metaObject()->className())
                                             : window->objectName();
    for (QWidget* w : window->findChildren<QWidget*>()) {
      if (w->window() != window || !w->isVisibleTo(window) || InStatusBar(w, window)) continue;
      if (auto* label = qobject_cast<QLabel*>(w)) CheckLabel(label);
      else if (auto* push = qobject_cast<QPushButton*>(w)) CheckButton(push, QStyle::SE_PushButtonContents, 0);
      else if (auto* check = qobject_cast<QCheckBox*>(w)) CheckButton(check, QStyle::SE_CheckBoxContents, 0);
      else if (auto* radio = qobject_cast<QRadioButton*>(w)) CheckButton(radio, QStyle::SE_RadioButtonContents, 0);
      else if (auto* tool = qobject_cast<QToolButton*>(w)) CheckToolButton(tool);
      else if (auto* box = qobject_cast<QGroupBox*>(w)) CheckGroup(box);
      else if (auto* bar = qobject_cast<QTabBar*>(w)) CheckTabs(bar);
      else if (auto* combo = qobject_cast<QComboBox*>(w)) CheckCombo(combo);
    }
  }

  static bool InStatusBar(const QWidget* w, const QWidget* window) {
    for (const QWidget* p = w; p && p != window; p = p->parentWidget())
      if (qobject_cast<const QStatusBar*>(p)) return true;
    return false;
  }

  void Report(const QWidget* w, const QString& text, QSize need, QSize room) {
    if (need.width() <= room.width() && need.height() <= room.height()) return;
    cuts_.insert(QStringLiteral("%1: %2 \"%3\" needs %4x%5, has %6x%7")
                     .arg(window_, Describe(w), text)
                     .arg(need.width())
                     .arg(need.height())
                     .arg(room.width())
                     .arg(room.height()));
  }

  void CheckLabel(QLabel* label) {
    const QString text = label->text();
    if (text.isEmpty()) return;
    const bool rich = label->textFormat() == Qt::RichText ||
                      (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(text));
    // Without a buddy a label shows its ampersands as they stand.
    if (!rich && !label->buddy() && Shown(text) != text && text.contains(QRegularExpression(QStringLiteral("&[^&]"))))
      cuts_.insert(QStringLiteral("%1: %2 \"%3\" shows a literal ampersand").arg(window_, Describe(label), text));
    const QMargins m = label->contentsMargins();
    const int frame = 2 * label->margin() + label->frameWidth() * 2;
    const QRect contents = label->contentsRect().adjusted(label->margin(), label->margin(), -label->margin(),
                                                          -label->margin()) &
                           OnScreen(label);
    QSize need;
    if (label->wordWrap() && rich) {
      need = QSize(0, label->heightForWidth(label->width()) - m.top() - m.bottom() - frame);
    } else if (label->wordWrap()) {
      const int flags = Qt::TextWordWrap | (label->buddy() ? Qt::TextShowMnemonic : 0);
      need = label->fontMetrics().boundingRect(QRect(0, 0, contents.width(), 100000), flags, text).size();
    } else if (rich) {
      need = label->sizeHint() - QSize(m.left() + m.right() + frame, m.top() + m.bottom() + frame);
    } else {
      const QFontMetrics fm(label->font());
      need = fm.boundingRect(QRect(0, 0, 100000, 100000), Qt::TextShowMnemonic, text).size();
      need.rwidth() += label->indent() > 0 ? label->indent() : 0;
    }
    Report(label, text, need, contents.size());
  }

  void CheckButton(QAbstractButton* button, QStyle::SubElement contentsElement, int) {
    if (button->text().isEmpty()) return;
    QStyleOptionButton opt;
    opt.initFrom(button);
    opt.text = button->text();
    opt.icon = button->icon();
    opt.iconSize = button->iconSize();
    const QRect contents = button->style()->subElementRect(contentsElement, &opt, button) & OnScreen(button);
    const QFontMetrics fm(button->font());
    QSize need(fm.horizontalAdvance(Shown(button->text())), fm.height());
    if (!button->icon().isNull()) need += QSize(button->iconSize().width() + 4, 0);
    Report(button, button->text(), need, contents.size());
  }

  // A tool button shows its text beside or under its picture, or alone when it has none, in the
  // button part left of a menu's arrow, inside the style's frame.
  void CheckToolButton(QToolButton* button) {
    const Qt::ToolButtonStyle style = button->toolButtonStyle();
    if (button->text().isEmpty() || (style == Qt::ToolButtonIconOnly && !button->icon().isNull())) return;
    QStyleOptionToolButton opt;
    opt.initFrom(button);
    opt.text = button->text();
    opt.icon = button->icon();
    opt.iconSize = button->iconSize();
    opt.toolButtonStyle = style;
    opt.subControls = QStyle::SC_ToolButton;
    if (button->popupMode() == QToolButton::MenuButtonPopup) {
      opt.subControls |= QStyle::SC_ToolButtonMenu;
      opt.features |= QStyleOptionToolButton::MenuButtonPopup;
    }
    if (button->menu()) opt.features |= QStyleOptionToolButton::HasMenu;
    const QRect part = button->style()->subControlRect(QStyle::CC_ToolButton, &opt, QStyle::SC_ToolButton, button);
    const int frame = button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, button);
    const QRect room = part.adjusted(frame, frame, -frame, -frame) & OnScreen(button);
    const QFontMetrics fm(button->font());
    Report(button, button->text(), QSize(fm.horizontalAdvance(Shown(button->text())), fm.height()), room.size());
  }

  void CheckGroup(QGroupBox* box) {
    if (box->title().isEmpty()) return;
    QStyleOptionGroupBox opt;
    opt.initFrom(box);
    opt.text = box->title();
    opt.lineWidth = 1;
    opt.textAlignment = box->alignment();
    opt.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    if (box->isCheckable()) opt.subControls |= QStyle::SC_GroupBoxCheckBox;
    if (box->isFlat()) opt.features |= QStyleOptionFrame::Flat;
    const QRect label = box->style()->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxLabel, box);
    const QRect visible = OnScreen(box);
    Report(box, box->title(), QSize(label.right() + 1 + label.left(), label.bottom() + 1),
           QSize(visible.right() + 1, visible.bottom() + 1));
  }

  void CheckTabs(QTabBar* bar) {
    const QFontMetrics fm(bar->font());
    const int space = bar->style()->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, bar);
    const QRect visible = OnScreen(bar);
    for (int i = 0; i < bar->count(); ++i) {
      if (!bar->isTabVisible(i)) continue;
      const QString text = Shown(bar->tabText(i));
      int width = fm.horizontalAdvance(text) + space;
      if (!bar->tabIcon(i).isNull()) width += bar->iconSize().width() + 4;
      const QRect tab = bar->tabRect(i) & visible;
      Report(bar, bar->tabText(i), QSize(width, fm.height()), tab.size());
    }
  }

  void CheckCombo(QComboBox* combo) {
    if (combo->isEditable()) return;
    QStyleOptionComboBox opt;
    opt.initFrom(combo);
    opt.editable = false;
    opt.frame = combo->hasFrame();
    opt.subControls = QStyle::SC_All;
    const QRect field =
        combo->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, combo) &
        OnScreen(combo);
    const QFontMetrics fm(combo->font());
    // The field's height is the style's; the text may reach into the frame.
    const QRect visible = OnScreen(combo);
    for (int i = 0; i < combo->count(); ++i) {
      if (combo->itemText(i).isEmpty()) continue;
      QSize need(fm.horizontalAdvance(combo->itemText(i)) + 2, fm.height());
      if (!combo->itemIcon(i).isNull()) need.rwidth() += combo->iconSize().width() + 4;
      Report(combo, combo->itemText(i), need, QSize(field.width(), visible.height()));
    }
  }

  QString window_;
  std::set<QString> cuts_;
};

}  // namespace movinta::editor::testing
