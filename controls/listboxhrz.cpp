#include "controls/listboxhrz.h"

#include <QEvent>
#include <QFontMetrics>
#include <QScrollBar>

#include <algorithm>

TListBoxHrz::TListBoxHrz(QWidget* parent) : QListWidget(parent) {
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  QAbstractItemModel* m = model();
  connect(m, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex&, int first, int last) {
    for (int row = first; row <= last; ++row) {
      const int w = ItemWidth(row);
      if (extent_ < w) SetCurrentWidth(w + tabWidth_);
    }
  });
  connect(m, &QAbstractItemModel::rowsRemoved, this, &TListBoxHrz::Recompute);
  connect(m, &QAbstractItemModel::dataChanged, this, &TListBoxHrz::Recompute);
  connect(m, &QAbstractItemModel::modelReset, this, [this] { SetCurrentWidth(0); });
}

// The model outlives this class's part of the object and resets while the view goes down.
TListBoxHrz::~TListBoxHrz() { model()->disconnect(this); }

int TListBoxHrz::ItemWidth(int row) const {
  const QListWidgetItem* it = item(row);
  return (it ? fontMetrics().horizontalAdvance(it->text()) : 0) + kItemMargin;
}

void TListBoxHrz::Recompute() {
  int widest = 0;
  for (int row = 0; row < count(); ++row) widest = std::max(widest, ItemWidth(row));
  SetCurrentWidth(widest + tabWidth_);
}

void TListBoxHrz::SetCurrentWidth(int width) {
  if (extent_ == width) return;
  extent_ = width;
  updateGeometries();
}

void TListBoxHrz::updateGeometries() {
  QListWidget::updateGeometries();
  QScrollBar* bar = horizontalScrollBar();
  bar->setRange(0, std::max(0, extent_ - viewport()->width()));
  bar->setPageStep(viewport()->width());
}

void TListBoxHrz::changeEvent(QEvent* event) {
  QListWidget::changeEvent(event);
  if (event->type() == QEvent::FontChange) Recompute();
}
