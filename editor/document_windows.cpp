#include "editor/document_windows.h"

#include "editor/commands/save_commands.h"
#include "editor/document_window.h"
#include "editor/forms/guarded.h"
#include "editor/model/working_image.h"

#include <QAction>
#include <QMdiArea>
#include <QMenu>
#include <QMdiSubWindow>
#include <QSet>

#include <utility>

namespace movinta::editor {

TDocumentWindows::TDocumentWindows(QMdiArea& mdi, TDocuments& documents, std::function<TSaveDialogHelp&()> saveHelp)
    : mdi_(mdi), documents_(documents), saveHelp_(std::move(saveHelp)) {}

TMDIChildWindow* TDocumentWindows::WindowFor(const TMDIChild* document) const {
  QMdiSubWindow* sub = SubWindowFor(document);
  return sub ? qobject_cast<TMDIChildWindow*>(sub->widget()) : nullptr;
}

void TDocumentWindows::Add(TMDIChild* document, QWidget* window) {
  QMdiSubWindow* sub = mdi_.addSubWindow(window);
  sub->setAttribute(Qt::WA_DeleteOnClose, false);
  windows_.insert(document, sub);
  TGIFImage& image = *SharedImage();
  // The picture's size is a minimum: a small picture still leaves its status texts room.
  if (image.GetWidth() > 0)
    sub->resize(QSize(image.GetWidth() + 70, image.GetHeight() + 65 + 24).expandedTo(sub->minimumSizeHint()));
  switching_ = true;
  sub->show();
  mdi_.setActiveSubWindow(sub);
  switching_ = false;
}

void TDocumentWindows::Remove(const TMDIChild* document) {
  QPointer<QMdiSubWindow> sub = windows_.take(document);
  if (!sub) return;
  if (auto* w = qobject_cast<TMDIChildWindow*>(sub->widget())) w->Detach();
  // Removal may come from inside the window's own close handling, so the window goes later.
  sub->hide();
  sub->deleteLater();
}

bool TDocumentWindows::SubWindowActivated(QMdiSubWindow* sub) {
  if (switching_ || !sub) return false;
  auto* window = qobject_cast<TMDIChildWindow*>(sub->widget());
  TMDIChild* target = window ? window->Document() : nullptr;
  if (!target || target == documents_.Active()) return false;
  ++areaSwitches_;
  if (!documents_.Activate(target)) {
    // The switch did not happen: the previous document stays in front.
    switching_ = true;
    if (QMdiSubWindow* back = SubWindowFor(documents_.Active())) mdi_.setActiveSubWindow(back);
    switching_ = false;
  }
  return true;
}

bool TDocumentWindows::Activate(TMDIChild* document) {
  const int asked = areaSwitches_;
  if (QMdiSubWindow* sub = SubWindowFor(document)) {
    if (mdi_.activeSubWindow() != sub) mdi_.setActiveSubWindow(sub);
  }
  // Without a window (or when the area did not switch) the documents switch themselves.
  return asked == areaSwitches_ && documents_.Active() != document && documents_.Activate(document);
}

bool TDocumentWindows::Close(TMDIChild* document) {
  // The save question of a closing document may lead to the save dialog, which offers Optimize.
  SaveDialogHelpScope help(saveHelp_(), 0);
  return documents_.Close(document);
}

bool TDocumentWindows::CloseWindow(TMDIChild* document) {
  // Through the window, which asks the model; a window that stays says so.
  if (QMdiSubWindow* sub = SubWindowFor(document)) return sub->close();
  return Close(document);
}

bool TDocumentWindows::CloseAll() {
  // From the window at the back to the one in front, each asking to save; a cancel stops there.
  QList<QPointer<QMdiSubWindow>> order;
  for (QMdiSubWindow* sub : mdi_.subWindowList(QMdiArea::StackingOrder)) order.append(sub);
  for (const QPointer<QMdiSubWindow>& sub : order) {
    auto* window = sub ? qobject_cast<TMDIChildWindow*>(sub->widget()) : nullptr;
    TMDIChild* d = window ? window->Document() : nullptr;
    if (documents_.IndexOf(d) >= 0 && !CloseWindow(d)) return false;
  }
  // Documents without a window of their own, the last first.
  while (documents_.Count() > 0)
    if (!Close(documents_.At(documents_.Count() - 1))) return false;
  return true;
}

QList<std::uint64_t> TDocumentWindows::ClosingOrder() const {
  // The windows from the back to the front, then the documents without a window, the last first.
  QList<std::uint64_t> order;
  for (QMdiSubWindow* sub : mdi_.subWindowList(QMdiArea::StackingOrder)) {
    auto* window = qobject_cast<TMDIChildWindow*>(sub->widget());
    if (TMDIChild* d = window ? window->Document() : nullptr; d && documents_.IndexOf(d) >= 0) order.append(d->Serial);
  }
  for (int i = documents_.Count() - 1; i >= 0; --i)
    if (!order.contains(documents_.At(i)->Serial)) order.append(documents_.At(i)->Serial);
  return order;
}

bool TDocumentWindows::AskToCloseAll() {
  // By serial: while a question is up, scripts may open and close documents.
  QSet<std::uint64_t> agreed;
  for (;;) {
    TMDIChild* next = nullptr;
    for (const std::uint64_t serial : ClosingOrder()) {
      if (agreed.contains(serial)) continue;
      for (int i = 0; i < documents_.Count() && !next; ++i)
        if (documents_.At(i)->Serial == serial) next = documents_.At(i);
      if (next) break;
    }
    if (!next) break;
    const std::uint64_t serial = next->Serial;
    if (documents_.BeforeDocumentChange) documents_.BeforeDocumentChange();
    // Yes saves at once, No lets the document go unsaved, Cancel (or a save that fails) keeps all.
    SaveDialogHelpScope help(saveHelp_(), 0);
    if (!next->SaveDocument(false, false)) return false;
    agreed.insert(serial);
  }
  for (int i = 0; i < documents_.Count(); ++i)
    if (agreed.contains(documents_.At(i)->Serial)) documents_.At(i)->Modified = false;
  return true;
}

void TDocumentWindows::RebuildWindowMenu(QMenu& menu) {
  for (const QPointer<QAction>& item : std::as_const(windowList_)) delete item.data();
  windowList_.clear();
  if (documents_.Count() == 0) return;
  windowList_.append(menu.addSeparator());
  for (int i = 0; i < documents_.Count(); ++i) {
    TMDIChild* d = documents_.At(i);
    // Past nine the numbers would share their first digit as the mnemonic.
    const QString number = i < 9 ? QStringLiteral("&%1").arg(i + 1) : QString::number(i + 1);
    const QString name = QString(d->FileName).replace(QLatin1Char('&'), QStringLiteral("&&"));
    QAction* item = menu.addAction(QStringLiteral("%1 %2").arg(number, name), &mdi_, Guarded([this, d] {
                                     if (documents_.IndexOf(d) < 0) return;
                                     if (QMdiSubWindow* sub = SubWindowFor(d)) mdi_.setActiveSubWindow(sub);
                                   }));
    item->setCheckable(true);
    item->setChecked(d == documents_.Active());
    windowList_.append(item);
  }
}

}  // namespace movinta::editor
