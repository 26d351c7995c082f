#include "controls/shell/widgets/ptcustomtreeview.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include <algorithm>

namespace ptshell {

namespace {

// Draws a node with its lazily asked image and what the drawing events changed.
class TreeNodeDelegate : public QStyledItemDelegate {
 public:
  explicit TreeNodeDelegate(TPTCustomTreeView* tree) : QStyledItemDelegate(tree), Tree(tree) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    TPTTreeNode* node = Tree->NodeFromItem(Tree->itemFromIndex(index));
    if (!node) return QStyledItemDelegate::paint(painter, option, index);
    if (node == Tree->DropHilited) opt.state |= QStyle::State_Selected;
    const bool selected = (opt.state & QStyle::State_Selected) != 0;
    if (const TPTImageList* images = Tree->Images) {
      const int image = selected ? Tree->GetSelectedIndex(node) : Tree->GetImageIndex(node);
      QPixmap pm = images->Pixmap(image, node->OverlayIndex >= 0 ? node->OverlayIndex + 1 : 0);
      if (!pm.isNull()) {
        opt.icon = QIcon(pm);
        opt.decorationSize = QSize(images->Width(), images->Height());
        opt.features |= QStyleOptionViewItem::HasDecoration;
      }
    }
    if (node->Cut) opt.state &= ~QStyle::State_Enabled;
    PaintItemWithCustomDraw(painter, opt, [&](TPTCustomDrawInfo& info) { return Tree->NotifyItemPaint(info, node); });
  }

  void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
    auto* edit = qobject_cast<QLineEdit*>(editor);
    TPTTreeNode* node = Tree->NodeFromItem(Tree->itemFromIndex(index));
    if (!edit || !node) return QStyledItemDelegate::setModelData(editor, model, index);
    QString text = edit->text();
    if (text.isEmpty() || text == node->Text()) return;
    if (Tree->NodeEdited(node, text)) node->SetText(text);
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize s = QStyledItemDelegate::sizeHint(option, index);
    if (Tree->Images) {
      s.setHeight(std::max(s.height(), Tree->Images->Height() + 2));
      s.setWidth(s.width() + Tree->Images->Width() + 4);
    }
    return s;
  }

 private:
  TPTCustomTreeView* Tree;
};

void DefaultMenuPopper(QWidget*, QMenu* menu, const QPoint& globalPoint) { menu->popup(globalPoint); }

}  // namespace

std::function<void(QWidget*, QMenu*, const QPoint&)>& TPTCustomTreeView::MenuPopper = *new std::function<
    void(QWidget*, QMenu*, const QPoint&)>(DefaultMenuPopper);

TPTCustomTreeView* TPTTreeNode::TreeView() const { return static_cast<TPTCustomTreeView*>(treeWidget()); }

TPTCustomTreeView::TPTCustomTreeView(QWidget* parent) : QTreeWidget(parent) {
  setColumnCount(1);
  header()->hide();
  // A column only as wide as the view leaves the names of deep folders past its edge, out of reach.
  header()->setStretchLastSection(false);
  header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  setHorizontalScrollMode(ScrollPerPixel);
  setUniformRowHeights(true);
  setItemDelegate(new TreeNodeDelegate(this));
  setSelectionMode(SingleSelection);
  setEditTriggers(NoEditTriggers);
}

TPTCustomTreeView::~TPTCustomTreeView() = default;

TPTTreeNode* TPTCustomTreeView::Selected() const { return NodeFromItem(currentItem()); }

void TPTCustomTreeView::SetSelected(TPTTreeNode* node) {
  if (node) {
    setCurrentItem(node);
  } else {
    setCurrentItem(nullptr);
    clearSelection();
  }
}

int TPTCustomTreeView::sizeHintForColumn(int column) const {
  return std::max(QTreeWidget::sizeHintForColumn(column), viewport()->width());
}

void TPTCustomTreeView::MakeVisible(TPTTreeNode* node) {
  if (node) scrollTo(indexFromItem(node));
}

void TPTCustomTreeView::scrollTo(const QModelIndex& index, ScrollHint hint) {
  QTreeWidget::scrollTo(index, hint);
  if (!index.isValid()) return;
  // The column takes its width from the nodes shown, which the view may not have measured yet.
  header()->resizeSections(QHeaderView::ResizeToContents);
  updateGeometries();
  TPTTreeNode* node = NodeFromItem(itemFromIndex(index));
  if (!node) return;
  const QRect item = visualRect(index);
  const int nameRight = NodeTextRect(node).left() + fontMetrics().horizontalAdvance(node->Text()) + 4;
  // Sideways as a native tree does: the node's expander at the left edge, when the name does not show.
  if (item.left() < 0 || nameRight > viewport()->width())
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + item.left() - indentation());
}

QRect TPTCustomTreeView::NodeTextRect(TPTTreeNode* node) const {
  QRect r = visualItemRect(node);
  if (Images) r.setLeft(r.left() + Images->Width() + 4);
  const int textWidth = fontMetrics().horizontalAdvance(node->Text()) + 4;
  if (r.width() > textWidth) r.setWidth(textWidth);
  return r;
}

void TPTCustomTreeView::BeginUpdate() {
  if (UpdateCount++ == 0) setUpdatesEnabled(false);
}

void TPTCustomTreeView::EndUpdate() {
  if (UpdateCount > 0 && --UpdateCount == 0) setUpdatesEnabled(true);
}

void TPTCustomTreeView::EditText(TPTTreeNode* node) {
  if (!node || !CanEdit(node)) return;
  node->setFlags(node->flags() | Qt::ItemIsEditable);
  setCurrentItem(node);
  MakeVisible(node);
  editItem(node, 0);
}

int TPTCustomTreeView::GetImageIndex(TPTTreeNode* node) {
  if (OnGetImageIndex) OnGetImageIndex(this, node);
  return node->ImageIndex;
}

int TPTCustomTreeView::GetSelectedIndex(TPTTreeNode* node) {
  if (OnGetSelectedIndex) OnGetSelectedIndex(this, node);
  return node->SelectedIndex;
}

TPTTvCustomDraw* TPTCustomTreeView::CreateCustomDraw(TPTCustomDrawInfo* notification, uint32_t* result) {
  return new TPTTvCustomDraw(notification, font(), result);
}

TPTTvCustomDraw* TPTCustomTreeView::CustomDrawNotify(TPTCustomDrawInfo* notification, uint32_t& result,
                                                     TPTTreeNode* node) {
  TPTTvCustomDraw* draw = RunCustomDrawEvents<TPTTvCustomDraw>(
      *notification, node, bool(OnCustomDrawTvEx), bool(OnCustomDrawTv),
      [&] { return CreateCustomDraw(notification, &result); },
      [&](TPTTvCustomDraw* d, TPTTreeNode* n) { OnCustomDrawTvEx(this, d, n); },
      [&](TPTTvCustomDraw* d, TPTTreeNode* n) { OnCustomDrawTv(this, d, n); });
  if (notification->Stage == dsPrePaint && HasCustomDrawEvents()) result |= CDRF_NOTIFYITEMDRAW;
  return draw;
}

uint32_t TPTCustomTreeView::NotifyItemPaint(TPTCustomDrawInfo& info, TPTTreeNode* node) {
  if (!HasCustomDrawEvents()) return CDRF_DODEFAULT;
  uint32_t result = 0;
  CustomDraw.reset(CustomDrawNotify(&info, result, node));
  return result;
}

void TPTCustomTreeView::NotifyControlPaint(int stage, QPainter* painter) {
  if (!HasCustomDrawEvents()) return;
  TPTCustomDrawInfo info;
  info.Stage = stage;
  info.Painter = painter;
  info.Rect = viewport()->rect();
  info.CurrentFont = font();
  uint32_t result = 0;
  CustomDraw.reset(CustomDrawNotify(&info, result, nullptr));
}

void TPTCustomTreeView::paintEvent(QPaintEvent* e) {
  {
    QPainter painter(viewport());
    NotifyControlPaint(dsPrePaint, &painter);
  }
  QTreeWidget::paintEvent(e);
  if (HasCustomDrawEvents()) {
    QPainter painter(viewport());
    NotifyControlPaint(dsPostPaint, &painter);
  }
}

bool TPTCustomTreeView::IsContextMenuKey(const QKeyEvent* e) {
  const auto mods = e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
  return (e->key() == Qt::Key_Menu && mods == Qt::NoModifier) || (e->key() == Qt::Key_F10 && mods == Qt::ShiftModifier);
}

void TPTCustomTreeView::keyPressEvent(QKeyEvent* e) {
  if (IsContextMenuKey(e)) {
    e->accept();
    ShowContextMenuAtSelection();
    return;
  }
  QTreeWidget::keyPressEvent(e);
}

void TPTCustomTreeView::contextMenuEvent(QContextMenuEvent* e) {
  e->accept();
  if (e->reason() == QContextMenuEvent::Keyboard) {
    if (!MenuShown) ShowContextMenuAtSelection();
    return;
  }
  // A right click: the menu of the node under the pointer.
  if (TPTTreeNode* node = NodeAt(e->pos())) {
    QMenu* menu = PopupMenu;
    DoNodeContextMenu(node, e->pos(), menu);
    if (menu) MenuPopper(this, menu, viewport()->mapToGlobal(e->pos()));
    MenuShown = true;
    return;
  }
  if (!MenuShown && !Selected()) ShowContextMenu(nullptr, e->pos());
}

void TPTCustomTreeView::mouseReleaseEvent(QMouseEvent* e) {
  // The menu of a right click has been shown: the release must not open it again.
  if (e->button() == Qt::RightButton) MenuShown = false;
  QTreeWidget::mouseReleaseEvent(e);
}

void TPTCustomTreeView::ShowContextMenuAtSelection() {
  if (TPTTreeNode* node = Selected()) {
    ShowContextMenu(node, NodeTextRect(node).center());
  } else if (PopupMenu) {
    MenuPopper(this, PopupMenu, viewport()->mapToGlobal(QPoint(0, 0)));
  }
}

void TPTCustomTreeView::ShowContextMenu(TPTTreeNode* node, const QPoint& clientPoint) {
  QMenu* menu = PopupMenu;
  DoNodeContextMenu(node, clientPoint, menu);
  if (menu != PopupMenu) MenuShown = true;
  if (menu) MenuPopper(this, menu, viewport()->mapToGlobal(clientPoint));
}

void TPTCustomTreeView::DoNodeContextMenu(TPTTreeNode* node, const QPoint& point, QMenu*& menu) {
  if (OnNodeContextMenu) OnNodeContextMenu(this, node, point, menu);
}

}  // namespace ptshell
