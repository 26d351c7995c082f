#include "editor/document_tabs.h"

#include "editor/forms/guarded.h"
#include "editor/model/files.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionTab>
#include <QStylePainter>

namespace movinta::editor {

namespace {
// The mark of a modified document, before its name.
const QChar kBullet(0x2022);
constexpr int kTextLeft = 9;
}  // namespace

TDocumentTabs::TDocumentTabs(TDocuments& documents, QWidget* parent) : QTabBar(parent), documents_(documents) {
  setObjectName(QStringLiteral("tabMDI"));
  setMouseTracking(true);
  setDrawBase(true);
  setExpanding(false);
  setUsesScrollButtons(true);
  setElideMode(Qt::ElideNone);
  connect(this, &QTabBar::currentChanged, this, Guarded(this, &TDocumentTabs::tabMDIChange));

  popTab_ = new QMenu(this);
  popTab_->setObjectName(QStringLiteral("popTab"));
  mnuNextDoc = popTab_->addAction(QStringLiteral("&Next Document"), this, Guarded([this] {
    if (NextDocument) NextDocument();
  }));
  mnuPrevDoc = popTab_->addAction(QStringLiteral("&Previous Document"), this, Guarded([this] {
    if (PreviousDocument) PreviousDocument();
  }));
  popTab_->addSeparator();
  popTabClose = popTab_->addAction(QStringLiteral("&Close"), this, Guarded(this, &TDocumentTabs::popTabCloseClick));
  popTabClose->setObjectName(QStringLiteral("popTabClose"));
  connect(popTab_, &QMenu::aboutToShow, this, Guarded(this, &TDocumentTabs::popTabPopup));
}

std::vector<TMDIChild*> TDocumentTabs::Shown(const TMDIChild* leaving) const {
  std::vector<TMDIChild*> out;
  for (int i = 0; i < documents_.Count(); ++i)
    if (documents_.At(i) != leaving) out.push_back(documents_.At(i));
  return out;
}

void TDocumentTabs::Sync(const TMDIChild* leaving) {
  syncing_ = true;
  const std::vector<TMDIChild*> shown = Shown(leaving);
  const int n = static_cast<int>(shown.size());
  while (count() > n) removeTab(count() - 1);
  while (count() < n) addTab(QString());
  int active = -1;
  for (int i = 0; i < n; ++i) {
    const TMDIChild* d = shown[static_cast<std::size_t>(i)];
    setTabText(i, d->DisplayName());
    setTabToolTip(i, d->FileName);
    if (d == documents_.Active()) active = i;
  }
  if (active >= 0 && currentIndex() != active) setCurrentIndex(active);
  if (hoverTab_ >= n) hoverTab_ = -1;
  syncing_ = false;
  // The bar's height comes from its tabs; the panel around it follows.
  updateGeometry();
  update();
}

int TDocumentTabs::FindOpenDocumentTab(const QString& fileName) const {
  const int index = documents_.FindOpenDocument(fileName);
  if (index < 0) return -1;
  const std::vector<TMDIChild*> shown = Shown(nullptr);
  for (int i = 0; i < static_cast<int>(shown.size()) && i < count(); ++i)
    if (shown[static_cast<std::size_t>(i)] == documents_.At(index)) return i;
  return -1;
}

TMDIChild* TDocumentTabs::DocumentAt(int index) const {
  const std::vector<TMDIChild*> shown = Shown(nullptr);
  if (index < 0 || index >= count() || index >= static_cast<int>(shown.size())) return nullptr;
  return shown[static_cast<std::size_t>(index)];
}

bool TDocumentTabs::ShowsBullet(int index) const {
  const TMDIChild* d = DocumentAt(index);
  return d && d->Modified;
}

void TDocumentTabs::tabMDIChange(int index) {
  if (syncing_) return;
  if (TMDIChild* d = DocumentAt(index); d && ActivateDocument) ActivateDocument(d);
}

QSize TDocumentTabs::tabSizeHint(int index) const {
  QSize size = QTabBar::tabSizeHint(index);
  const int text = fontMetrics().horizontalAdvance(tabText(index));
  size.setWidth(std::max(size.width(), kTextLeft + text + 12));
  return size;
}

void TDocumentTabs::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  for (int i = 0; i < count(); ++i) PaintGuarded([&] {
    QStyleOptionTab option;
    initStyleOption(&option, i);
    const QString name = option.text;
    option.text.clear();
    painter.drawControl(QStyle::CE_TabBarTabShape, option);
    const QRect r = option.rect;
    const bool active = i == currentIndex();
    const QFontMetrics metrics(font());
    // Centred, and lowered by 2 on the tabs behind.
    const int baseline = r.top() + (r.height() - metrics.height()) / 2 + metrics.ascent() + (active ? 0 : 2);
    if (ShowsBullet(i)) {
      painter.setPen(palette().color(QPalette::Highlight));
      painter.drawText(r.left() + (active ? 2 : 0) + 1, baseline, QString(kBullet));
    }
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(r.left() + kTextLeft - (active ? 0 : 4) + 2, baseline, name);
  });
}

void TDocumentTabs::mouseMoveEvent(QMouseEvent* event) {
  hoverTab_ = tabAt(event->position().toPoint());
  if (const TMDIChild* d = DocumentAt(hoverTab_); d && ShowPath) ShowPath(d->FileName);
  QTabBar::mouseMoveEvent(event);
}

void TDocumentTabs::mousePressEvent(QMouseEvent* event) {
  hoverTab_ = tabAt(event->position().toPoint());
  if (event->button() == Qt::LeftButton && hoverTab_ >= 0 && RestoreActiveIfMinimized) RestoreActiveIfMinimized();
  QTabBar::mousePressEvent(event);
}

void TDocumentTabs::contextMenuEvent(QContextMenuEvent* event) {
  hoverTab_ = tabAt(event->pos());
  popTab_->popup(event->globalPos());
}

void TDocumentTabs::popTabPopup() {
  popTabClose->setEnabled(CanClose ? CanClose() : documents_.Count() > 0);
  const bool any = documents_.Count() > 0;
  mnuNextDoc->setEnabled(any);
  mnuPrevDoc->setEnabled(any);
}

void TDocumentTabs::popTabCloseClick() {
  // The hovered tab is looked up now: the menu may have run while documents changed.
  TMDIChild* d = DocumentAt(hoverTab_);
  if (!d || !CloseDocument) return;
  CloseDocument(d);
}

}  // namespace movinta::editor
