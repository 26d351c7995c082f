// The documents' windows in the MDI area: a window for each document as it is added, dropped as it
// is removed; the area's switches and the documents' kept in step; and closing one document or all
// of them through their windows, each asking to save.
#pragma once

#include "editor/model/document.h"

#include <QHash>
#include <QMdiSubWindow>
#include <QList>
#include <QPointer>

#include <cstdint>
#include <functional>

class QAction;
class QMdiArea;
class QMenu;
class QWidget;

namespace movinta::editor {

class TMDIChildWindow;
class TSaveDialogHelp;

class TDocumentWindows {
public:
  // saveHelp is the save dialog's Optimize button, offered while a closing document asks to save.
  TDocumentWindows(QMdiArea& mdi, TDocuments& documents, std::function<TSaveDialogHelp&()> saveHelp);

  QMdiSubWindow* SubWindowFor(const TMDIChild* document) const { return windows_.value(document); }
  TMDIChildWindow* WindowFor(const TMDIChild* document) const;

  // Puts window into the area as the document's, sized for the working image, and in front.
  void Add(TMDIChild* document, QWidget* window);
  // Lets the document's window go (later: removal may come from inside its own close handling).
  void Remove(const TMDIChild* document);
  // The area brought sub to the front: the documents follow, or the area goes back to the active
  // document's window when they refuse. True when the documents were asked.
  bool SubWindowActivated(QMdiSubWindow* sub);
  // Brings the document's window to the front; true when the documents switched themselves
  // (without a window, or when the area did not switch).
  bool Activate(TMDIChild* document);

  // Asks the model to close the document; false when the user keeps it.
  bool Close(TMDIChild* document);
  // Closes the document through its window (the model alone for one without); false when kept.
  bool CloseWindow(TMDIChild* document);
  // From the window at the back to the one in front, each asking to save; a cancel keeps that
  // document and every one not yet closed.
  bool CloseAll();
  // The serials of the documents in the order closing asks them.
  QList<std::uint64_t> ClosingOrder() const;
  // Asks every modified document whether to save, in closing order, closing none: Yes saves at
  // once, No lets the document close unsaved. False at a cancel or a save that fails or is
  // cancelled; every document stays open then (those saved stay saved).
  bool AskToCloseAll();

  // The Window menu's numbered list of the documents, made anew as the menu shows; the active
  // document's item is checked, and an item brings its document's window to the front.
  void RebuildWindowMenu(QMenu& menu);

private:
  QMdiArea& mdi_;
  TDocuments& documents_;
  std::function<TSaveDialogHelp&()> saveHelp_;
  QHash<const TMDIChild*, QPointer<QMdiSubWindow>> windows_;
  bool switching_ = false;
  // Switches the document area asked the documents for: one it asked for and was refused is
  // not asked again, which would tell the user twice.
  int areaSwitches_ = 0;
  QList<QPointer<QAction>> windowList_;  // the Window menu's numbered documents and the line above them
};

}  // namespace movinta::editor
