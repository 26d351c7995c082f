// Helpers over menus, scroll boxes and text placement that several windows share.
#pragma once

#include <QFontMetrics>
#include <QRect>
#include <QString>

#include <functional>

class QAction;
class QMenu;
class QMenuBar;
class QScrollArea;
class QWidget;

namespace movinta::editor {

// Index of the first item whose caption contains text (mnemonic marks ignored), -1 when none.
int FindMenuItemByCaption(const QMenu* menu, const QString& text);
inline int FindPopupItemByCaption(const QMenu* popup, const QString& text) { return FindMenuItemByCaption(popup, text); }

// Menu items whose help context is 1 depend on a document: they are enabled only while one is open.
// The context is the item's property of this name; add-ins mark their items the same way.
inline constexpr const char* kHelpContextProperty = "helpContext";
void SetDocumentDependent(QAction* item, bool dependent);
bool IsDocumentDependent(const QAction* item);
// Enables or disables every document-dependent item of the menu bar, at any depth.
void EnableDocumentItems(const QMenuBar& bar, bool enabled);
// A new item at the end of the menu (owned by it), with its caption, hint and handler.
QAction* AddMenuItem(QMenu* parent, const QString& caption, const std::function<void()>& handler,
                     const QString& hint = QString());
// Enables or disables every control on the panel (not the panel itself).
void SetPanelEnabled(QWidget* panel, bool enabled);

// Scrolls the box to its origin and centres the control on each axis where it fits.
void CenterInScrollBox(QScrollArea* box, QWidget* control);
// Suspends painting of the box, or resumes it with a full repaint.
void SetRedraw(QWidget* box, bool suspend);

// Where windows may be: the screens' available area (the bounding box of all of them).
QRect ScreensArea();
// A main window is at least this wide and high, so that its menu stays usable.
inline constexpr int kMinimumWindowSide = 100;
// The rectangle kept on area: no smaller than kMinimumWindowSide (nor larger than the area) on each
// side, and moved in where it hangs out.
QRect KeptOnScreens(const QRect& wanted, const QRect& area);

int CenterTextX(const QRect& rect, const QFontMetrics& metrics, const QString& text);
int CenterTextY(const QRect& rect, const QFontMetrics& metrics, const QString& text);

}  // namespace movinta::editor
