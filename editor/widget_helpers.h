// Helpers over menus, scroll boxes and text placement that several windows share.
#pragma once

#include <QFontMetrics>
#include <QRect>
#include <QString>

class QMenu;
class QScrollArea;
class QWidget;

namespace movinta::editor {

// Index of the first item whose caption contains text (mnemonic marks ignored), -1 when none.
int FindMenuItemByCaption(const QMenu* menu, const QString& text);
inline int FindPopupItemByCaption(const QMenu* popup, const QString& text) { return FindMenuItemByCaption(popup, text); }

// Scrolls the box to its origin and centres the control on each axis where it fits.
void CenterInScrollBox(QScrollArea* box, QWidget* control);
// Suspends painting of the box, or resumes it with a full repaint.
void SetRedraw(QWidget* box, bool suspend);

int CenterTextX(const QRect& rect, const QFontMetrics& metrics, const QString& text);
int CenterTextY(const QRect& rect, const QFontMetrics& metrics, const QString& text);

}  // namespace movinta::editor
