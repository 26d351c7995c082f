#include "controls/shell/widgets/ptcustomlistview.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QStackedLayout>
#include <QStyledItemDelegate>
#include <QTreeView>

#include <algorithm>
#include <unordered_set>

namespace ptshell {

namespace {

void DefaultMenuPopper(QWidget*, QMenu* menu, const QPoint& globalPoint) { menu->popup(globalPoint); }

// The views hand their input to the list first, so every view style behaves alike.
template <class Base>
class InnerView : public Base {
 public:
  explicit InnerView(TPTCustomListView* owner) : Base(owner), Owner(owner) {}

 protected:
  void keyPressEvent(QKeyEvent* e) override {
    if (!Owner->ViewKeyPress(e)) Base::keyPressEvent(e);
  }
  void contextMenuEvent(QContextMenuEvent* e) override { Owner->ViewContextMenu(e); }
  void mouseReleaseEvent(QMouseEvent* e) override {
    Base::mouseReleaseEvent(e);
    Owner->ViewMouseRelease(e);
  }
  void mouseDoubleClickEvent(QMouseEvent* e) override {
    if (e->button() != Qt::LeftButton) return Base::mouseDoubleClickEvent(e);
    const QModelIndex index = this->indexAt(e->position().toPoint());
    Owner->ViewDoubleClick(index.isValid() ? Owner->Item(index.row()) : nullptr);
  }
  void mousePressEvent(QMouseEvent* e) override {
    PressButton = e->button();
    Base::mousePressEvent(e);
  }
  void startDrag(Qt::DropActions) override { Owner->ViewStartDrag(PressButton); }
  void dragEnterEvent(QDragEnterEvent* e) override {
    if (!Owner->ViewDragEnter(e)) Base::dragEnterEvent(e);
  }
  void dragMoveEvent(QDragMoveEvent* e) override {
    if (!Owner->ViewDragMove(e)) Base::dragMoveEvent(e);
  }
  void dragLeaveEvent(QDragLeaveEvent* e) override {
    Owner->ViewDragLeave(e);
    Base::dragLeaveEvent(e);
  }
  void dropEvent(QDropEvent* e) override {
    if (!Owner->ViewDrop(e)) Base::dropEvent(e);
  }
  void wheelEvent(QWheelEvent* e) override {
    if (!Owner->ViewWheel(e)) Base::wheelEvent(e);
  }
  void focusInEvent(QFocusEvent* e) override {
    Base::focusInEvent(e);
    Owner->ViewFocusIn();
  }

 private:
  TPTCustomListView* Owner;
  Qt::MouseButton PressButton = Qt::LeftButton;
};

class ListItemDelegate : public QStyledItemDelegate {
 public:
  explicit ListItemDelegate(TPTCustomListView* list) : QStyledItemDelegate(list), List(list) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    TPTListItem* item = List->Item(index.row());
    if (!item) return;
    if (item->Cut && index.column() == 0) opt.state &= ~QStyle::State_Enabled;
    PaintItemWithCustomDraw(painter, opt, [&](TPTCustomDrawInfo& info) { return List->NotifyItemPaint(info, item); });
  }

  // The list styles give every item the size measured for one of them (icons are found only for the
  // items shown); that one is made as wide as the widest name, so no name is cut where the pane has room.
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    const auto* view = qobject_cast<const QListView*>(option.widget);
    TPTListItem* sample = List->Item(index.row());
    if (!view || !view->uniformItemSizes() || view->viewMode() != QListView::ListMode || !sample) return size;
    const QFontMetrics metrics(option.font);
    if (Widest < 0 || WidestFont != option.font) {
      WidestFont = option.font;
      Widest = NameWidths(0, List->ItemCount() - 1);
    }
    size.setWidth(size.width() + Widest - metrics.horizontalAdvance(List->ItemCaption(sample)));
    return size;
  }

  // The widest name is kept between layouts: items coming in widen it, any other change measures again.
  void ItemsAdded(int first, int last) {
    if (Widest >= 0) Widest = std::max(Widest, NameWidths(first, last));
  }
  void ItemsChanged() { Widest = -1; }

 private:
  int NameWidths(int first, int last) const {
    const QFontMetrics metrics(WidestFont);
    int widest = 0;
    for (int row = first; row <= last; ++row)
      if (TPTListItem* item = List->Item(row)) widest = std::max(widest, metrics.horizontalAdvance(List->ItemCaption(item)));
    return widest;
  }

  mutable int Widest = -1;
  mutable QFont WidestFont;

 private:
  TPTCustomListView* List;
};

}  // namespace

std::function<void(QWidget*, QMenu*, const QPoint&)>& TPTCustomListView::MenuPopper =
    *new std::function<void(QWidget*, QMenu*, const QPoint&)>(DefaultMenuPopper);

int ClampColumnWidth(int width, int minWidth, int maxWidth) {
  if (width <= minWidth) return minWidth;
  if (maxWidth > 0 && width >= maxWidth) return maxWidth;
  return width;
}

TPTHeaderSortLayout HeaderSortLayout(TPTLvHeaderSortDisplayMode mode, const QRect& rect, Qt::Alignment alignment,
                                     bool isSortColumn, int textWidth) {
  TPTHeaderSortLayout out;
  // Edges as the header measures them: right and bottom exclusive.
  const int left = rect.left() + 2, right = rect.left() + rect.width() - 2;
  const int top = rect.top() + 2, bottom = rect.top() + rect.height() - 2;
  int textLeft = left + 4, textRight = right - 4;
  auto box = [&](int l) {
    const int s = (top + bottom) / 2;
    const int boxTop = ((top + bottom) - (s - 1)) / 2 - 1;
    return QRect(QPoint(l, boxTop), QPoint(l + s - 1, boxTop + s - 2));
  };
  const int columnWidth = rect.width();
  const bool rightAligned = (alignment & Qt::AlignRight) != 0;
  const bool centred = (alignment & Qt::AlignHCenter) != 0;
  if (mode == ptlvRightOfText && rightAligned) mode = ptlvRightAlign;
  switch (mode) {
    case ptlvNone:
      break;
    case ptlvLeftAlign:
      if (isSortColumn && columnWidth > 15) {
        out.ArrowBox = box(textLeft);
        out.DrawArrow = true;
        textLeft = out.ArrowBox.right() + 1 + 5;
      }
      break;
    case ptlvRightOfText: {
      // The arrow follows the text where it is actually drawn, centred text included.
      const int avail = textRight - textLeft;
      const int drawnLeft = centred ? textLeft + std::max(0, (avail - textWidth) / 2) : textLeft;
      out.ArrowBox = box(drawnLeft + textWidth + 5);
      out.DrawArrow = isSortColumn;
      break;
    }
    case ptlvRightAlign: {
      const int s = (top + bottom) / 2;
      out.ArrowBox = box(textRight - 5 - s);
      if (isSortColumn) {
        out.DrawArrow = true;
        textRight = out.ArrowBox.left() - 4;
      }
      break;
    }
  }
  if (out.DrawArrow && !(2 * out.ArrowBox.width() < columnWidth)) out.DrawArrow = false;
  out.TextRect = QRect(QPoint(textLeft, top), QPoint(std::max(textLeft, textRight) - 1, bottom - 1));
  return out;
}

// --- model ---

TPTListItemModel::TPTListItemModel(TPTCustomListView* owner) : QAbstractTableModel(owner), Owner(owner) {}

TPTListItemModel::~TPTListItemModel() {
  for (TPTListItem* item : Items) delete item;
}

int TPTListItemModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(Items.size());
}

int TPTListItemModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : std::max<int>(1, static_cast<int>(Columns.size()));
}

QVariant TPTListItemModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(Items.size())) return {};
  TPTListItem* item = Items[static_cast<size_t>(index.row())];
  const int column = index.column();
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      return column == 0 ? Owner->ItemCaption(item) : Owner->ItemSubText(item, column);
    case Qt::DecorationRole: {
      if (column != 0) return {};
      const TPTImageList* images = Owner->ViewStyle() == vsIcon ? Owner->LargeImages : Owner->SmallImages;
      if (!images) return {};
      const QPixmap pm = images->Pixmap(Owner->ItemImage(item), item->OverlayIndex >= 0 ? item->OverlayIndex + 1 : 0);
      if (pm.isNull()) return {};
      return pm;
    }
    case Qt::TextAlignmentRole:
      if (column < static_cast<int>(Columns.size()) && Owner->ViewStyle() == vsReport)
        return QVariant::fromValue(Columns[static_cast<size_t>(column)].Alignment | Qt::AlignVCenter);
      return {};
    default:
      return {};
  }
}

bool TPTListItemModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || !index.isValid() || index.column() != 0) return false;
  TPTListItem* item = Items[static_cast<size_t>(index.row())];
  QString text = value.toString();
  if (!Owner->CaptionEdited(item, text)) return false;
  item->Caption = text;
  emit dataChanged(index, index);
  return true;
}

Qt::ItemFlags TPTListItemModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::ItemIsDropEnabled;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled |
                    Qt::ItemNeverHasChildren;
  if (index.column() == 0 && Owner->CanEditCaption(Items[static_cast<size_t>(index.row())])) f |= Qt::ItemIsEditable;
  return f;
}

QVariant TPTListItemModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section >= static_cast<int>(Columns.size())) return {};
  if (role == Qt::DisplayRole) return Columns[static_cast<size_t>(section)].Caption;
  if (role == Qt::TextAlignmentRole)
    return QVariant::fromValue(Columns[static_cast<size_t>(section)].Alignment | Qt::AlignVCenter);
  return {};
}

QStringList TPTListItemModel::mimeTypes() const { return {QStringLiteral("text/uri-list")}; }

Qt::DropActions TPTListItemModel::supportedDropActions() const {
  return Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
}

// --- header ---

TPTSortHeader::TPTSortHeader(TPTCustomListView* owner) : QHeaderView(Qt::Horizontal), Owner(owner) {
  setSectionsClickable(true);
  setHighlightSections(false);
  setStretchLastSection(false);
  connect(this, &QHeaderView::sectionResized, this, [this](int logical, int, int) {
    if (Tracked == -2 || Tracked >= 0) Tracked = logical;
  });
  connect(this, &QHeaderView::sectionClicked, this, [this](int logical) {
    viewport()->update();
    Owner->ColumnClick(logical);
  });
}

void TPTSortHeader::mousePressEvent(QMouseEvent* e) {
  Tracked = -2;
  QHeaderView::mousePressEvent(e);
}

void TPTSortHeader::mouseReleaseEvent(QMouseEvent* e) {
  QHeaderView::mouseReleaseEvent(e);
  const int section = Tracked;
  Tracked = -1;
  if (section >= 0 && section < Owner->ColumnCount()) {
    const TPTListColumn& c = Owner->Column(section);
    const int w = ClampColumnWidth(sectionSize(section), c.MinWidth, c.MaxWidth);
    Owner->SetColumnWidth(section, w);
  }
  Owner->UpdateHeaderFormats();
}

void TPTSortHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
  const TPTLvHeaderSortDisplayMode mode = Owner->HeaderSortDisplayMode();
  if (mode == ptlvNone || !Owner->DrawHeaderSort || logicalIndex >= Owner->ColumnCount()) {
    QHeaderView::paintSection(painter, rect, logicalIndex);
    return;
  }
  const TPTListColumn& column = Owner->Column(logicalIndex);
  // The section's frame as the style draws it, then our own face, text and arrow.
  QStyleOptionHeader opt;
  initStyleOption(&opt);
  opt.rect = rect;
  opt.section = logicalIndex;
  style()->drawControl(QStyle::CE_HeaderSection, &opt, painter, this);
  const QPalette& pal = palette();
  painter->save();
  painter->fillRect(rect.adjusted(2, 2, -2, -2), pal.color(QPalette::Button));
  painter->setFont(Owner->font());
  const QFontMetrics fm(Owner->font());
  const bool isSort = logicalIndex == Owner->SortColumn();
  const TPTHeaderSortLayout layout =
      HeaderSortLayout(mode, rect, column.Alignment, isSort, fm.horizontalAdvance(column.Caption));
  painter->setPen(pal.color(QPalette::ButtonText));
  const QString text = fm.elidedText(column.Caption, Qt::ElideRight, layout.TextRect.width());
  painter->drawText(layout.TextRect, (column.Alignment & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter, text);
  if (layout.DrawArrow) {
    const QRect b = layout.ArrowBox;
    QPointF p1, p2, p3;
    if (Owner->SortDirection() == 1) {  // up
      p1 = QPointF(b.left() + b.width() / 2.0, b.top());
      p2 = QPointF(b.right(), b.bottom());
      p3 = QPointF(b.left(), b.bottom());
    } else {
      p1 = QPointF(b.left(), b.top());
      p2 = QPointF(b.right(), b.top());
      p3 = QPointF(b.left() + b.width() / 2.0, b.bottom());
    }
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(pal.color(QPalette::Dark));
    painter->drawLine(p3, p1);
    painter->drawLine(Owner->SortDirection() == 1 ? p3 : p1, Owner->SortDirection() == 1 ? p2 : p2);
    painter->setPen(pal.color(QPalette::Light));
    painter->drawLine(Owner->SortDirection() == 1 ? p1 : p2, Owner->SortDirection() == 1 ? p2 : p3);
  }
  painter->restore();
}

// --- the list ---

TPTCustomListView::TPTCustomListView(QWidget* parent) : QWidget(parent) {
  Model = new TPTListItemModel(this);
  SelectionModel = new QItemSelectionModel(Model, this);
  Stack = new QStackedLayout(this);
  Stack->setContentsMargins(0, 0, 0, 0);
  ListViewWidget = new InnerView<QListView>(this);
  ReportViewWidget = new InnerView<QTreeView>(this);
  Header = new TPTSortHeader(this);
  ReportViewWidget->setHeader(Header);
  for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(ListViewWidget),
                               static_cast<QAbstractItemView*>(ReportViewWidget)}) {
    v->setModel(Model);
    v->setSelectionModel(SelectionModel);
    auto* delegate = new ListItemDelegate(this);
    v->setItemDelegate(delegate);
    connect(Model, &QAbstractItemModel::rowsInserted, delegate,
            [delegate](const QModelIndex&, int first, int last) { delegate->ItemsAdded(first, last); });
    const auto changed = [delegate] { delegate->ItemsChanged(); };
    connect(Model, &QAbstractItemModel::rowsRemoved, delegate, changed);
    connect(Model, &QAbstractItemModel::modelReset, delegate, changed);
    connect(Model, &QAbstractItemModel::dataChanged, delegate, changed);
    connect(delegate, &QAbstractItemDelegate::closeEditor, this, [this] { EditEnded(); }, Qt::QueuedConnection);
    v->setSelectionMode(QAbstractItemView::ExtendedSelection);
    v->setSelectionBehavior(QAbstractItemView::SelectRows);
    v->setEditTriggers(QAbstractItemView::NoEditTriggers);
    v->setDragEnabled(true);
    v->setAcceptDrops(true);
    v->setDropIndicatorShown(false);
    v->setDragDropMode(QAbstractItemView::DragDrop);
    Stack->addWidget(v);
  }
  ListViewWidget->setUniformItemSizes(true);
  ListViewWidget->setSelectionRectVisible(true);
  ReportViewWidget->setRootIsDecorated(false);
  ReportViewWidget->setUniformRowHeights(true);
  ReportViewWidget->setItemsExpandable(false);
  ReportViewWidget->setAllColumnsShowFocus(true);
  ReportViewWidget->setSortingEnabled(false);
  setFocusProxy(ListViewWidget);
  connect(SelectionModel, &QItemSelectionModel::selectionChanged, this, [this] { emit SelectionChanged(); });
  ApplyViewStyle();
}

TPTCustomListView::~TPTCustomListView() {
  // Owners free their item data while the list is still whole.
  for (TPTListItem* item : Model->Items) ItemDeleting(item);
}

TPTListItem* TPTCustomListView::Item(int index) const {
  if (index < 0 || index >= ItemCount()) return nullptr;
  return Model->Items[static_cast<size_t>(index)];
}

void TPTCustomListView::Reindex(size_t from) {
  for (size_t i = from; i < Model->Items.size(); ++i) Model->Items[i]->Index = static_cast<int>(i);
}

QModelIndex TPTCustomListView::IndexOf(const TPTListItem* item, int column) const {
  if (!item || item->Index < 0 || item->Index >= ItemCount() || Model->Items[static_cast<size_t>(item->Index)] != item)
    return {};
  return Model->index(item->Index, column);
}

TPTListItem* TPTCustomListView::AddItem() {
  std::vector<std::unique_ptr<TPTListItem>> one;
  one.push_back(std::make_unique<TPTListItem>());
  TPTListItem* item = one.back().get();
  AddItems(std::move(one));
  return item;
}

void TPTCustomListView::AddItems(std::vector<std::unique_ptr<TPTListItem>> items) {
  if (items.empty()) return;
  const int first = ItemCount();
  const size_t needed = Model->Items.size() + items.size();
  if (needed > Model->Items.capacity())
    Model->Items.reserve(std::max(needed, Model->Items.size() + static_cast<size_t>(std::max(1, AllocByValue))));
  Model->beginInsertRows(QModelIndex(), first, first + static_cast<int>(items.size()) - 1);
  for (auto& item : items) {
    item->Index = static_cast<int>(Model->Items.size());
    Model->Items.push_back(item.release());
  }
  Model->endInsertRows();
}

void TPTCustomListView::DeleteItem(TPTListItem* item) { DeleteItems({item}); }

void TPTCustomListView::DeleteItems(const std::vector<TPTListItem*>& items) {
  std::vector<int> rows;
  for (TPTListItem* item : items)
    if (IndexOf(item).isValid()) rows.push_back(item->Index);
  if (rows.empty()) return;
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  // Runs of neighbouring rows go in one step each, from the end.
  size_t end = rows.size();
  while (end > 0) {
    size_t begin = end - 1;
    while (begin > 0 && rows[begin - 1] == rows[begin] - 1) --begin;
    const int first = rows[begin], last = rows[end - 1];
    Model->beginRemoveRows(QModelIndex(), first, last);
    for (int r = first; r <= last; ++r) {
      ItemDeleting(Model->Items[static_cast<size_t>(r)]);
      delete Model->Items[static_cast<size_t>(r)];
    }
    Model->Items.erase(Model->Items.begin() + first, Model->Items.begin() + last + 1);
    Model->endRemoveRows();
    end = begin;
  }
  Reindex(static_cast<size_t>(rows.front()));
}

void TPTCustomListView::ClearItems() {
  if (Model->Items.empty()) return;
  Model->beginResetModel();
  std::vector<TPTListItem*> old;
  old.swap(Model->Items);
  for (TPTListItem* item : old) {
    ItemDeleting(item);
    delete item;
  }
  Model->endResetModel();
}

void TPTCustomListView::SortItems(const std::function<bool(const TPTListItem*, const TPTListItem*)>& less) {
  if (Model->Items.size() < 2) return;
  emit Model->layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const QModelIndexList persistent = Model->persistentIndexList();
  std::vector<TPTListItem*> anchors;
  anchors.reserve(static_cast<size_t>(persistent.size()));
  for (const QModelIndex& i : persistent) anchors.push_back(Item(i.row()));
  std::stable_sort(Model->Items.begin(), Model->Items.end(), less);
  Reindex();
  QModelIndexList moved;
  moved.reserve(persistent.size());
  for (qsizetype i = 0; i < persistent.size(); ++i)
    moved.append(anchors[static_cast<size_t>(i)] ? Model->index(anchors[static_cast<size_t>(i)]->Index,
                                                                 persistent[i].column())
                                                 : QModelIndex());
  Model->changePersistentIndexList(persistent, moved);
  emit Model->layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void TPTCustomListView::UpdateItem(TPTListItem* item) {
  const QModelIndex first = IndexOf(item, 0);
  if (!first.isValid()) return;
  emit Model->dataChanged(first, Model->index(first.row(), Model->columnCount() - 1));
}

void TPTCustomListView::BeginUpdate() {
  if (UpdateCount++ == 0) setUpdatesEnabled(false);
}

void TPTCustomListView::EndUpdate() {
  if (UpdateCount > 0 && --UpdateCount == 0) setUpdatesEnabled(true);
}

void TPTCustomListView::SetAllocBy(int count) {
  AllocByValue = std::max(1, count);
  Model->Items.reserve(std::max(Model->Items.size(), static_cast<size_t>(AllocByValue)));
}

void TPTCustomListView::SetColumns(const std::vector<TPTListColumn>& columns) {
  Model->beginResetModel();
  Model->Columns = columns;
  Model->endResetModel();
  for (int i = 0; i < ColumnCount(); ++i) Header->resizeSection(i, columns[static_cast<size_t>(i)].Width);
  UpdateHeaderFormats();
}

int TPTCustomListView::ColumnWidth(int index) const {
  if (index < 0 || index >= ColumnCount()) return 0;
  return Model->Columns[static_cast<size_t>(index)].Width;
}

void TPTCustomListView::SetColumnWidth(int index, int width) {
  if (index < 0 || index >= ColumnCount()) return;
  Model->Columns[static_cast<size_t>(index)].Width = width;
  if (Header->sectionSize(index) != width) Header->resizeSection(index, width);
}

void TPTCustomListView::SetColumnLimits(int index, int minWidth, int maxWidth) {
  if (index < 0 || index >= ColumnCount()) return;
  Model->Columns[static_cast<size_t>(index)].MinWidth = minWidth;
  Model->Columns[static_cast<size_t>(index)].MaxWidth = maxWidth;
}

bool TPTCustomListView::IsSelected(const TPTListItem* item) const {
  const QModelIndex i = IndexOf(item);
  return i.isValid() && SelectionModel->isRowSelected(i.row(), QModelIndex());
}

void TPTCustomListView::SetSelected(TPTListItem* item, bool selected) {
  const QModelIndex i = IndexOf(item);
  if (!i.isValid()) return;
  SelectionModel->select(i, (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                                QItemSelectionModel::Rows);
}

TPTListItem* TPTCustomListView::Selected() const {
  int best = -1;
  for (const QModelIndex& i : SelectionModel->selectedRows())
    if (best < 0 || i.row() < best) best = i.row();
  return Item(best);
}

std::vector<TPTListItem*> TPTCustomListView::SelectedItems() const {
  std::vector<int> rows;
  for (const QModelIndex& i : SelectionModel->selectedRows()) rows.push_back(i.row());
  std::sort(rows.begin(), rows.end());
  std::vector<TPTListItem*> out;
  for (int r : rows) out.push_back(Item(r));
  return out;
}

int TPTCustomListView::SelCount() const { return static_cast<int>(SelectionModel->selectedRows().size()); }

TPTListItem* TPTCustomListView::ItemFocused() const {
  const QModelIndex i = SelectionModel->currentIndex();
  return i.isValid() ? Item(i.row()) : nullptr;
}

void TPTCustomListView::SetItemFocused(TPTListItem* item) {
  SelectionModel->setCurrentIndex(IndexOf(item), QItemSelectionModel::NoUpdate);
}

void TPTCustomListView::SelectAllItems() {
  if (ItemCount() == 0) return;
  SelectionModel->select(QItemSelection(Model->index(0, 0), Model->index(ItemCount() - 1, 0)),
                         QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void TPTCustomListView::ClearSelection() { SelectionModel->clearSelection(); }

TPTListItem* TPTCustomListView::ItemAt(const QPoint& clientPoint) const {
  QAbstractItemView* v = ActiveView();
  const QModelIndex i = v->indexAt(v->viewport()->mapFrom(this, clientPoint));
  return i.isValid() ? Item(i.row()) : nullptr;
}

QRect TPTCustomListView::ItemIconRect(const TPTListItem* item) const {
  QAbstractItemView* v = ActiveView();
  QRect r = v->visualRect(IndexOf(item));
  if (!r.isValid()) return {};
  const TPTImageList* images = ViewStyleValue == vsIcon ? LargeImages : SmallImages;
  const int w = images ? images->Width() : 16, h = images ? images->Height() : 16;
  QRect icon = ViewStyleValue == vsIcon ? QRect(r.left() + (r.width() - w) / 2, r.top(), w, h)
                                        : QRect(r.left(), r.top() + (r.height() - h) / 2, w, h);
  return QRect(v->viewport()->mapTo(this, icon.topLeft()), icon.size());
}

void TPTCustomListView::MakeVisible(const TPTListItem* item) {
  const QModelIndex i = IndexOf(item);
  if (i.isValid()) ActiveView()->scrollTo(i);
}

void TPTCustomListView::EditCaption(TPTListItem* item) {
  const QModelIndex i = IndexOf(item);
  if (!i.isValid() || !CanEditCaption(item)) return;
  QAbstractItemView* v = ActiveView();
  SelectionModel->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  v->scrollTo(i);
  v->edit(i);
}

bool TPTCustomListView::IsEditing() const {
  QAbstractItemView* v = ActiveView();
  return v->indexWidget(v->currentIndex()) != nullptr || v->findChild<QLineEdit*>() != nullptr;
}

QAbstractItemView* TPTCustomListView::ActiveView() const {
  if (ViewStyleValue == vsReport) return ReportViewWidget;
  return ListViewWidget;
}

bool TPTCustomListView::Focused() const {
  const QWidget* f = QApplication::focusWidget();
  return f && (f == this || isAncestorOf(f));
}

void TPTCustomListView::SetFocusToList() { ActiveView()->setFocus(); }

void TPTCustomListView::SetViewStyle(TViewStyle style) {
  if (style == ViewStyleValue) return;
  const bool hadFocus = Focused();
  ViewStyleValue = style;
  ApplyViewStyle();
  if (hadFocus) ActiveView()->setFocus();
  if (style == vsReport) UpdateHeaderFormats();
}

void TPTCustomListView::ApplyViewStyle() {
  QListView* lv = ListViewWidget;
  switch (ViewStyleValue) {
    case vsIcon: {
      lv->setViewMode(QListView::IconMode);
      lv->setFlow(QListView::LeftToRight);
      lv->setWrapping(true);
      const int w = LargeImages ? LargeImages->Width() : 32;
      lv->setIconSize(QSize(w, LargeImages ? LargeImages->Height() : 32));
      lv->setGridSize(QSize(w + 44, w + 2 * fontMetrics().height() + 8));
      lv->setResizeMode(QListView::Adjust);
      lv->setMovement(QListView::Static);
      break;
    }
    case vsSmallIcon:
    case vsList: {
      lv->setViewMode(QListView::ListMode);
      lv->setGridSize(QSize());
      lv->setIconSize(QSize(SmallImages ? SmallImages->Width() : 16, SmallImages ? SmallImages->Height() : 16));
      lv->setFlow(ViewStyleValue == vsList ? QListView::TopToBottom : QListView::LeftToRight);
      lv->setWrapping(true);
      lv->setResizeMode(QListView::Adjust);
      lv->setMovement(QListView::Static);
      break;
    }
    case vsReport:
      ReportViewWidget->setIconSize(
          QSize(SmallImages ? SmallImages->Width() : 16, SmallImages ? SmallImages->Height() : 16));
      break;
  }
  Stack->setCurrentWidget(ActiveView());
  setFocusProxy(ActiveView());
}

void TPTCustomListView::SetSortColumn(int column) {
  if (column == SortColumnValue) return;
  SortColumnValue = column;
  Header->viewport()->update();
}

void TPTCustomListView::SetSortDirection(uint8_t direction) {
  if (direction == SortDirectionValue) return;
  SortDirectionValue = direction;
  Header->viewport()->update();
}

void TPTCustomListView::SetHeaderSortDisplayMode(TPTLvHeaderSortDisplayMode mode) {
  HeaderSortDisplayModeValue = mode;
  UpdateHeaderFormats();
}

void TPTCustomListView::UpdateHeaderFormats() {
  if (HeaderUpdateLock != 0) return;
  ++HeaderUpdateLock;
  Header->viewport()->update();
  --HeaderUpdateLock;
}

void TPTCustomListView::ShowContextMenuAt(const QPoint& clientPoint) {
  TPTListItem* focused = ItemFocused();
  QPoint at = clientPoint;
  if (!focused) {
    if (PopupMenu) MenuPopper(this, PopupMenu, mapToGlobal(clientPoint));
    return;
  }
  if (IsSelected(focused)) {
    at = ItemIconRect(focused).center();
  } else if (TPTListItem* first = Selected()) {
    at = ItemIconRect(first).center();
  } else {
    if (PopupMenu) MenuPopper(this, PopupMenu, mapToGlobal(clientPoint));
    return;
  }
  ShowContextMenu(at);
}

void TPTCustomListView::ShowContextMenu(const QPoint& clientPoint) {
  QMenu* menu = PopupMenu;
  DoItemContextMenu(ItemFocused(), clientPoint, menu);
  MenuShown = true;
  if (menu) MenuPopper(this, menu, mapToGlobal(clientPoint));
}

void TPTCustomListView::DoItemContextMenu(TPTListItem* item, const QPoint& point, QMenu*& menu) {
  if (OnItemContextMenu) OnItemContextMenu(this, item, point, menu);
}

void TPTCustomListView::ViewContextMenu(QContextMenuEvent* e) {
  e->accept();
  if (e->reason() == QContextMenuEvent::Keyboard) {
    if (!MenuShown && SelCount() > 0 && ItemFocused()) ShowContextMenuAt(QPoint(0, 0));
    return;
  }
  // A right click, on an item or on the background.
  QAbstractItemView* v = ActiveView();
  ShowContextMenuAt(v->viewport()->mapTo(this, e->pos()));
}

void TPTCustomListView::ViewMouseRelease(QMouseEvent* e) {
  if (e->button() == Qt::RightButton) MenuShown = false;
}

void TPTCustomListView::ViewFocusIn() { emit FocusEntered(); }

TPTLvCustomDraw* TPTCustomListView::CreateCustomDraw(TPTCustomDrawInfo* notification, uint32_t* result) {
  return new TPTLvCustomDraw(notification, font(), result);
}

TPTLvCustomDraw* TPTCustomListView::CustomDrawNotify(TPTCustomDrawInfo* notification, uint32_t& result,
                                                     TPTListItem* item) {
  TPTLvCustomDraw* draw = RunCustomDrawEvents<TPTLvCustomDraw>(
      *notification, item, bool(OnCustomDrawLvEx), bool(OnCustomDrawLv),
      [&] { return CreateCustomDraw(notification, &result); },
      [&](TPTLvCustomDraw* d, TPTListItem* it) { OnCustomDrawLvEx(this, d, it); },
      [&](TPTLvCustomDraw* d, TPTListItem* it) { OnCustomDrawLv(this, d, it); });
  if (notification->Stage == dsPrePaint) result |= CDRF_NOTIFYITEMDRAW;
  return draw;
}

uint32_t TPTCustomListView::NotifyItemPaint(TPTCustomDrawInfo& info, TPTListItem* item) {
  if (!HasCustomDrawEvents()) return CDRF_DODEFAULT;
  uint32_t result = 0;
  CustomDraw.reset(CustomDrawNotify(&info, result, item));
  return result;
}

QString TPTCustomListView::ItemCaption(TPTListItem* item) { return item->Caption; }

QString TPTCustomListView::ItemSubText(TPTListItem* item, int column) {
  const int sub = column - 1;
  return sub >= 0 && sub < item->SubItems.size() ? item->SubItems[sub] : QString();
}

int TPTCustomListView::ItemImage(TPTListItem* item) {
  if (OnGetImageIndex) OnGetImageIndex(this, item);
  return item->ImageIndex;
}

bool TPTCustomListView::CaptionEdited(TPTListItem* item, QString& text) {
  if (OnEdited) OnEdited(this, item, text);
  return true;
}

void TPTCustomListView::ItemDeleting(TPTListItem* item) {
  if (OnDeletion) OnDeletion(this, item);
}

void TPTCustomListView::ColumnClick(int) {}

bool TPTCustomListView::ViewKeyPress(QKeyEvent* e) {
  const auto mods = e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
  if ((e->key() == Qt::Key_Menu && mods == Qt::NoModifier) || (e->key() == Qt::Key_F10 && mods == Qt::ShiftModifier)) {
    e->accept();
    ShowContextMenuAt(QPoint(0, 0));
    return true;
  }
  return false;
}

void TPTCustomListView::ViewDoubleClick(TPTListItem*) {}

void TPTCustomListView::ViewStartDrag(Qt::MouseButton) { DragStarted = true; }

bool TPTCustomListView::ViewDragEnter(QDragEnterEvent*) { return false; }
bool TPTCustomListView::ViewDragMove(QDragMoveEvent*) { return false; }
void TPTCustomListView::ViewDragLeave(QDragLeaveEvent*) {}
bool TPTCustomListView::ViewDrop(QDropEvent*) { return false; }
bool TPTCustomListView::ViewWheel(QWheelEvent*) { return false; }

}  // namespace ptshell
