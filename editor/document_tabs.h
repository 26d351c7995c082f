// The tabs above the document windows: one per open document, in the documents' order, showing the
// file name without its folder and a bullet while the document is modified. Hovering a tab shows
// the document's full path in the status bar; its pop-up menu moves to the next or previous
// document or closes the hovered one. The tabs hold no document pointers of their own: each tab
// names its document by index, checked against the document list whenever it is used.
#pragma once

#include "editor/model/document.h"

#include <QTabBar>

#include <functional>

class QAction;
class QMenu;

namespace movinta::editor {

class TDocumentTabs : public QTabBar {
  Q_OBJECT
public:
  explicit TDocumentTabs(TDocuments& documents, QWidget* parent = nullptr);

  // Makes the tabs match the documents (count, names, the active one selected) and repaints them;
  // a document about to leave the list has no tab any more.
  void Sync(const TMDIChild* leaving = nullptr);
  // The tab of the document whose full file name is fileName, or -1.
  int FindOpenDocumentTab(const QString& fileName) const;
  // The document of a tab; null for an index without one.
  TMDIChild* DocumentAt(int index) const;
  // The tab under the mouse, -1 for none.
  int HoverTab() const { return hoverTab_; }
  void SetHoverTab(int index) { hoverTab_ = index; }
  // Whether the tab's document is modified (and its tab shows the bullet).
  bool ShowsBullet(int index) const;

  QMenu* popTab() const { return popTab_; }
  QAction* mnuNextDoc = nullptr;
  QAction* mnuPrevDoc = nullptr;
  QAction* popTabClose = nullptr;

  // The main window's side.
  std::function<void(const QString&)> ShowPath;          // status panel 2
  std::function<void(TMDIChild*)> ActivateDocument;      // a tab chosen: its window to the front
  std::function<void()> RestoreActiveIfMinimized;        // a left click on a tab
  std::function<bool()> CanClose;                        // as the Close command
  std::function<void(TMDIChild*)> CloseDocument;         // its window in front, then closed
  std::function<void()> NextDocument, PreviousDocument;

  // The pop-up's commands, as its items run them.
  void popTabPopup();
  void popTabCloseClick();

protected:
  QSize tabSizeHint(int index) const override;
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

private:
  void tabMDIChange(int index);

  // The documents the tabs show, in order (all of the list but one that is leaving).
  std::vector<TMDIChild*> Shown(const TMDIChild* leaving) const;

  TDocuments& documents_;
  QMenu* popTab_ = nullptr;
  int hoverTab_ = -1;
  bool syncing_ = false;
};

}  // namespace movinta::editor
