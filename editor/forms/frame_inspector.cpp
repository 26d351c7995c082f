#include "editor/forms/frame_inspector.h"

#include "editor/forms/palette_editor.h"
#include "editor/forms/guarded.h"
#include "editor/model/document.h"
#include "editor/model/string_tables.h"
#include "editor/model/text_helpers.h"
#include "editor/model/ui_services.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMouseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTableWidget>
#include <QTreeWidget>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace movinta::editor::forms {

namespace {
const QString kTitle = QStringLiteral("Frame Inspector");
constexpr int kMaxCommentLength = 255;

QPixmap Swatch(gif::TColor c) {
  QPixmap p(12, 12);
  p.fill(QColor(RedOf(c), GreenOf(c), BlueOf(c)));
  QPainter painter(&p);
  painter.setPen(Qt::black);
  painter.drawRect(0, 0, 11, 11);
  return p;
}
}  // namespace

// Value cells that open a list carry an arrow at their right edge.
class InspectorCellDelegate : public QStyledItemDelegate {
public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyledItemDelegate::paint(painter, option, index);
    if (index.column() != 1 || !RowHasDropDown(index.row())) return;
    QStyleOption arrow;
    arrow.rect = QRect(option.rect.right() - 14, option.rect.top(), 14, option.rect.height());
    arrow.palette = option.palette;
    option.widget->style()->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrow, painter, option.widget);
  }
};

// ---- PaletteGrid

PaletteGrid::PaletteGrid(TfrmFloat* owner) : QWidget(owner), owner_(owner) { setMinimumSize(64, 64); }

PaletteGridLayout PaletteGrid::Layout() const {
  const gif::TGIFColorMap* map = owner_->Palette();
  return LayoutPaletteGrid(map ? map->GetCount() : 0, width(), height());
}

int PaletteGrid::IndexAt(QPoint at) const {
  const gif::TGIFColorMap* map = owner_->Palette();
  if (!map) return -1;
  const PaletteGridLayout l = Layout();
  if (l.ColumnWidth <= 0 || l.RowHeight <= 0) return -1;
  return PaletteCellIndex(l, at.x() / l.ColumnWidth, at.y() / l.RowHeight, map->GetCount());
}

void PaletteGrid::paintEvent(QPaintEvent*) {
  QPainter window(this);
  kept_.Paint(*this, window, rect(), [this](QPainter& p) { PaintPalette(p); });
}

void PaletteGrid::PaintPalette(QPainter& p) {
  p.fillRect(rect(), palette().base());
  const gif::TGIFColorMap* map = owner_->Palette();
  if (!map) {
    p.setPen(palette().color(QPalette::Text));
    p.drawText(rect(), Qt::AlignCenter, QStringLiteral("No Local Palette"));
    return;
  }
  const PaletteGridLayout l = Layout();
  for (int r = 0; r < l.Rows; ++r)
    for (int c = 0; c < l.Columns; ++c) {
      const int index = PaletteCellIndex(l, c, r, map->GetCount());
      if (index < 0) continue;
      const QRect cell(c * l.ColumnWidth, r * l.RowHeight, l.ColumnWidth, l.RowHeight);
      const gif::TGIFColor& e = map->Entry(index);
      p.fillRect(cell.adjusted(1, 1, -1, -1), QColor(e.Red, e.Green, e.Blue));
      p.setPen(palette().color(QPalette::Dark));
      p.drawRect(cell.adjusted(0, 0, -1, -1));
      if (index == owner_->SelectedColorIndex) {
        p.setPen(QPen(Qt::red, 2));
        p.drawRect(cell.adjusted(2, 2, -3, -3));
      }
    }
}

void PaletteGrid::mousePressEvent(QMouseEvent* event) {
  const int index = IndexAt(event->position().toPoint());
  if (index >= 0) owner_->SelectColor(index);
}

void PaletteGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  mousePressEvent(event);
  if (owner_->Palette() && owner_->SelectedColorIndex >= 0) owner_->btnColorEditClick();
}

void PaletteGrid::contextMenuEvent(QContextMenuEvent* event) { owner_->popPalette->popup(event->globalPos()); }

// ---- TfrmFloat

TfrmFloat::TfrmFloat(IInspectorHost* host, QWidget* parent)
    : QWidget(parent, Qt::Tool), host_(host) {
  setWindowTitle(kTitle);
  RunPalette = [](TfrmPalette& dialog) { return dialog.exec() == QDialog::Accepted; };
  Build();
  // No smaller than the window was drawn, nor than its tabs and texts in the user's font.
  setMinimumSize(QSize(175, 325).expandedTo(layout()->totalMinimumSize()));
  ClearInspector();
  tabImgInfo->setEnabled(false);
}

TfrmFloat::~TfrmFloat() {
  // Focus moving while the window goes must not commit into a half-destroyed window.
  mmoComments->removeEventFilter(this);
  lbDrop->removeEventFilter(this);
  grid->viewport()->removeEventFilter(this);
  grid->disconnect(this);
  lvComments->disconnect(this);
}

TMDIChild* TfrmFloat::Document() const { return host_ ? host_->ActiveDocument() : nullptr; }

int TfrmFloat::CurrentFrame() const { return frame_; }

gif::TGIFColorMap* TfrmFloat::Palette() const {
  if (!Document()) return nullptr;
  gif::TGIFImage* image = SharedImage();
  if (frame_ < 0 || frame_ >= image->Images().GetCount()) return nullptr;
  gif::TGIFColorMap& local = image->Images().GetFrame(frame_)->ColorMap();
  return local.GetCount() > 0 ? &local : nullptr;
}

void TfrmFloat::Build() {
  auto* main = new QVBoxLayout(this);
  main->setContentsMargins(2, 2, 2, 2);
  main->setSpacing(2);
  cbFrames = new QComboBox(this);
  connect(cbFrames, &QComboBox::activated, this, Guarded(this, &TfrmFloat::cbFramesChange));
  main->addWidget(cbFrames);
  tabImgInfo = new QTabBar(this);
  for (const char* t : {"Properties", "Palettes", "Comments"}) tabImgInfo->addTab(QString::fromLatin1(t));
  tabImgInfo->setUsesScrollButtons(false);
  // The captions stay whole: the window is never narrower than its tabs.
  tabImgInfo->setElideMode(Qt::ElideNone);
  main->addWidget(tabImgInfo);
  pages = new QStackedWidget(this);
  main->addWidget(pages, 1);

  grid = new QTableWidget(kInspectorRowCount, 2, this);
  grid->horizontalHeader()->hide();
  grid->verticalHeader()->hide();
  grid->setSelectionMode(QAbstractItemView::SingleSelection);
  grid->setEditTriggers(QAbstractItemView::AllEditTriggers);
  grid->setColumnWidth(0, 90);
  grid->horizontalHeader()->setStretchLastSection(true);
  grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
  QFont bold = grid->font();
  bold.setBold(true);
  for (int r = 0; r < kInspectorRowCount; ++r) {
    auto* caption = new QTableWidgetItem(InspectorRowCaption(r));
    caption->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    auto* value = new QTableWidgetItem;
    const RowKind kind = InspectorRowKind(r);
    const bool editable = kind == RowKind::Number || r == rowLocalPalette;
    value->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | (editable ? Qt::ItemIsEditable : Qt::NoItemFlags));
    if (kind == RowKind::Header) {
      caption->setBackground(QColor(0x00, 0x80, 0x80));
      caption->setForeground(palette().color(QPalette::HighlightedText));
      caption->setFont(bold);
    }
    grid->setItem(r, 0, caption);
    grid->setItem(r, 1, value);
    if (kind == RowKind::Header) grid->setSpan(r, 0, 1, 2);
  }
  grid->setItemDelegate(new InspectorCellDelegate(grid));
  grid->viewport()->setMouseTracking(true);
  grid->viewport()->installEventFilter(this);
  connect(grid, &QTableWidget::currentCellChanged, this, Guarded([this](int row, int, int, int) {
    if (!filling_ && row >= 0) gridSelectCell(row);
  }));
  connect(grid, &QTableWidget::cellChanged, this, Guarded(this, &TfrmFloat::GridItemChanged));
  connect(grid, &QTableWidget::cellClicked, this, Guarded([this](int row, int column) {
    if (column == 1 && RowHasDropDown(row)) OpenDropDown(row);
  }));
  pages->addWidget(grid);

  pnlPalettes = new QWidget(this);
  auto* pl = new QVBoxLayout(pnlPalettes);
  pl->setContentsMargins(0, 0, 0, 0);
  grdPalette = new PaletteGrid(this);
  pl->addWidget(grdPalette, 1);
  lblColor = new QLabel(pnlPalettes);
  pl->addWidget(lblColor);
  auto* pb = new QHBoxLayout;
  btnColorAdd = new QPushButton(QStringLiteral("Add"), pnlPalettes);
  btnColorEdit = new QPushButton(QStringLiteral("Edit"), pnlPalettes);
  btnColorDelete = new QPushButton(QStringLiteral("Delete"), pnlPalettes);
  for (QPushButton* b : {btnColorAdd, btnColorEdit, btnColorDelete}) pb->addWidget(b);
  pl->addLayout(pb);
  connect(btnColorAdd, &QPushButton::clicked, this, Guarded(this, &TfrmFloat::btnColorAddClick));
  connect(btnColorEdit, &QPushButton::clicked, this, Guarded(this, &TfrmFloat::btnColorEditClick));
  connect(btnColorDelete, &QPushButton::clicked, this, Guarded(this, &TfrmFloat::btnColorDeleteClick));
  popPalette = new QMenu(this);
  mniPopEditColor = popPalette->addAction(QStringLiteral("&Edit Color"), this, Guarded(this, &TfrmFloat::btnColorEditClick));
  mniPopAddColor = popPalette->addAction(QStringLiteral("&Add Color"), this, Guarded(this, &TfrmFloat::btnColorAddClick));
  mniPopDeleteColor = popPalette->addAction(QStringLiteral("&Delete Color"), this, Guarded(this, &TfrmFloat::btnColorDeleteClick));
  pages->addWidget(pnlPalettes);

  pnlComments = new QWidget(this);
  auto* cl = new QVBoxLayout(pnlComments);
  cl->setContentsMargins(0, 0, 0, 0);
  lvComments = new QTreeWidget(pnlComments);
  lvComments->setHeaderLabels({QStringLiteral("Comment"), QStringLiteral("Frame"), QStringLiteral("Index")});
  lvComments->setRootIsDecorated(false);
  cl->addWidget(lvComments, 1);
  mmoComments = new QPlainTextEdit(pnlComments);
  mmoComments->installEventFilter(this);
  connect(mmoComments, &QPlainTextEdit::textChanged, this, Guarded([this] {
    const QString t = mmoComments->toPlainText();
    if (t.size() > kMaxCommentLength) mmoComments->setPlainText(t.left(kMaxCommentLength));
  }));
  cl->addWidget(mmoComments, 1);
  auto* cb = new QHBoxLayout;
  btnAddComments = new QPushButton(QStringLiteral("Add"), pnlComments);
  btnRemoveComments = new QPushButton(QStringLiteral("Remove"), pnlComments);
  btnRemoveComments->setEnabled(false);
  cb->addWidget(btnAddComments);
  cb->addWidget(btnRemoveComments);
  cl->addLayout(cb);
  connect(lvComments, &QTreeWidget::currentItemChanged, this, Guarded([this](QTreeWidgetItem* item) {
    if (!filling_) lvCommentsSelect(item ? lvComments->indexOfTopLevelItem(item) : -1);
  }));
  connect(btnAddComments, &QPushButton::clicked, this, Guarded(this, &TfrmFloat::btnAddCommentsClick));
  connect(btnRemoveComments, &QPushButton::clicked, this, Guarded(this, &TfrmFloat::btnRemoveCommentsClick));
  pages->addWidget(pnlComments);

  connect(tabImgInfo, &QTabBar::currentChanged, this, Guarded([this](int tab) {
    pages->setCurrentIndex(tab);
    lblField->setText(tabImgInfo->tabText(tab));
    lblHint->setText(InspectorTabHint(tab));
    if (tab == 1) LayoutPaletteGrid();
  }));

  pnlHints = new QWidget(this);
  auto* hl = new QVBoxLayout(pnlHints);
  hl->setContentsMargins(2, 2, 2, 2);
  lblField = new QLabel(pnlHints);
  QFont f = lblField->font();
  f.setBold(true);
  lblField->setFont(f);
  lblHint = new QLabel(pnlHints);
  lblHint->setWordWrap(true);
  hl->addWidget(lblField);
  hl->addWidget(lblHint);
  main->addWidget(pnlHints);

  lbDrop = new QListWidget(this);
  lbDrop->hide();
  connect(lbDrop, &QListWidget::itemClicked, this, Guarded([this](QListWidgetItem* item) { ChooseDropDownItem(lbDrop->row(item)); }));
  lbDrop->installEventFilter(this);
}

void TfrmFloat::ClearInspector() {
  filling_ = true;
  SelectedRow = -1;
  EnteredValue.clear();
  HasSwatch = false;
  for (int r = 0; r < kInspectorRowCount; ++r) {
    grid->item(r, 1)->setText(QString());
    grid->item(r, 1)->setData(Qt::DecorationRole, QVariant());
  }
  grid->setCurrentCell(1, 1);
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  filling_ = false;
  setWindowTitle(kTitle);
}

void TfrmFloat::ResetInspector() {
  ClearInspector();
  lbDrop->hide();
  tabImgInfo->setCurrentIndex(0);
  tabImgInfo->setEnabled(false);
  filling_ = true;
  lvComments->clear();
  mmoComments->clear();
  cbFrames->clear();
  filling_ = false;
  SelectedColorIndex = -1;
  ReloadNeeded = false;
  frame_ = 0;
  selectedOnce_ = false;
  LayoutPaletteGrid();
}

void TfrmFloat::FillGrid(gif::TGIFSubImage& frame) {
  filling_ = true;
  // A cell still open for typing would show (and later commit) the value the frame no longer has.
  if (QWidget* focus = QApplication::focusWidget(); focus && grid->viewport()->isAncestorOf(focus)) {
    const int row = grid->currentRow(), column = grid->currentColumn();
    grid->reset();
    grid->setCurrentCell(row, column);
  }
  for (int r = 0; r < kInspectorRowCount; ++r)
    if (InspectorRowKind(r) != RowKind::Header) grid->item(r, 1)->setText(InspectorValueText(frame, r));
  HasSwatch = frame.Transparent() && frame.GraphicControlExtension();
  if (HasSwatch) {
    try {
      SwatchColor = frame.GraphicControlExtension()->GetTransparentColor();
    } catch (const std::exception&) {
      HasSwatch = false;
    }
  }
  grid->item(rowTransparent, 1)->setData(Qt::DecorationRole, HasSwatch ? QVariant(Swatch(SwatchColor)) : QVariant());
  filling_ = false;
}

void TfrmFloat::ShowFrameProperties(TMDIChild* document, int index) {
  if (!document) return;
  setWindowTitle(QStringLiteral("%1 - %2").arg(kTitle, document->DisplayName()));
  gif::TGIFImage* image = SharedImage();
  if (index < 0 || index >= image->Images().GetCount()) return;
  gif::TGIFSubImage& frame = *image->Images().GetFrame(index);
  if (index != frame_) SelectedColorIndex = -1;  // a selection in another frame's table means nothing here
  frame_ = index;
  tabImgInfo->setEnabled(true);
  grid->setEnabled(true);
  grid->setEditTriggers(QAbstractItemView::AllEditTriggers);
  FillGrid(frame);
  if (!selectedOnce_) {
    selectedOnce_ = true;
    filling_ = true;
    grid->setCurrentCell(1, 1);
    filling_ = false;
    gridSelectCell(1);
  } else if (SelectedRow >= 0) {
    EnteredValue = ValueText(SelectedRow);
  }
  grid->viewport()->update();
  LayoutPaletteGrid();
  FillComments();

  filling_ = true;
  cbFrames->clear();
  for (int i = 0; i < image->Images().GetCount(); ++i) {
    gif::TGIFSubImage* f = image->Images().GetFrame(i);
    if (f->IsEmpty()) continue;
    cbFrames->addItem(QStringLiteral("Frame %1: [%2 x %3]").arg(i).arg(f->GetHeight()).arg(f->GetWidth()), i);
  }
  cbFrames->setCurrentIndex(cbFrames->findData(index));
  filling_ = false;
}

void TfrmFloat::FillComments() {
  filling_ = true;
  lvComments->clear();
  for (const CommentItem& c : ListComments(*SharedImage())) {
    auto* item = new QTreeWidgetItem({c.Caption, QString::number(c.Frame), QString::number(c.Extension)});
    item->setData(0, Qt::UserRole, c.Frame);
    item->setData(1, Qt::UserRole, c.Extension);
    lvComments->addTopLevelItem(item);
  }
  mmoComments->clear();
  commentText_.clear();
  btnRemoveComments->setEnabled(false);
  filling_ = false;
}

QString TfrmFloat::ValueText(int row) const {
  return row >= 0 && row < kInspectorRowCount ? grid->item(row, 1)->text() : QString();
}

void TfrmFloat::SetValueText(int row, const QString& text) {
  if (row < 0 || row >= kInspectorRowCount) return;
  filling_ = true;
  grid->item(row, 1)->setText(text);
  filling_ = false;
}

void TfrmFloat::ShowUndoneRow(int row) {
  lbDrop->hide();
  // The row the undo changed is shown, not opened for typing: a cell left open would take the
  // next key pressed as a new value.
  const QAbstractItemView::EditTriggers triggers = grid->editTriggers();
  grid->setEditTriggers(triggers & ~QAbstractItemView::CurrentChanged);
  gridSelectCell(row, false);
  grid->setEditTriggers(triggers);
  for (int r = 0; r < kInspectorRowCount; ++r)
    if (QWidget* editor = grid->indexWidget(grid->model()->index(r, 1)))
      emit grid->itemDelegate()->closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void TfrmFloat::gridSelectCell(int row, bool openDropDown) {
  if (SelectedRow >= 0 && ValueText(SelectedRow) != EnteredValue) CommitEdit();
  row = SelectableRow(row);
  if (row < 0 || row >= kInspectorRowCount) return;
  filling_ = true;
  for (int r = 0; r < kInspectorRowCount; ++r)
    if (InspectorRowKind(r) != RowKind::Header)
      grid->item(r, 0)->setBackground(r == row ? palette().highlight() : palette().base());
  filling_ = false;
  SelectedRow = row;
  EnteredValue = ValueText(row);
  lblField->setText(InspectorRowCaption(row));
  lblHint->setText(InspectorRowHint(row));
  filling_ = true;
  grid->setCurrentCell(row, 1);
  filling_ = false;
  lbDrop->hide();
  if (openDropDown && RowHasDropDown(row)) OpenDropDown(row);
  if (Document()) {
    Document()->InspectorSelection = QPoint(1, row);
  }
}

void TfrmFloat::OpenDropDown(int row) {
  lbDrop->clear();
  lbDrop->addItems(DropDownItems(row));
  const int rowHeight = grid->rowHeight(row);
  for (int i = 0; i < lbDrop->count(); ++i) lbDrop->item(i)->setSizeHint(QSize(0, rowHeight));
  const QRect cell = grid->visualItemRect(grid->item(row, 1));
  const QPoint topLeft = grid->viewport()->mapTo(this, cell.topLeft());
  const QRect r = PlaceDropDown(topLeft.x(), topLeft.y() + rowHeight, grid->columnWidth(1), rowHeight,
                                lbDrop->count(), grid->viewport()->height());
  lbDrop->setGeometry(r.translated(0, 8));
  const int current = DropDownItems(row).indexOf(ValueText(row));
  lbDrop->setCurrentRow(current < 0 ? 0 : current);
  lbDrop->show();
  lbDrop->raise();
}

void TfrmFloat::ChooseDropDownItem(int item) {
  if (SelectedRow < 0) return;
  const QStringList items = DropDownItems(SelectedRow);
  lbDrop->hide();
  if (item < 0 || item >= items.size()) return;
  SetValueText(SelectedRow, items[item]);
  CommitEdit();
}

void TfrmFloat::GridItemChanged(int row, int column) {
  if (filling_ || column != 1) return;
  if (row != SelectedRow) {
    SelectedRow = row;
  }
  CommitEdit();
}

void TfrmFloat::CommitEdit() {
  const int row = SelectedRow;
  TMDIChild* document = Document();
  if (row < 0 || !document) return;
  const QString text = ValueText(row);
  if (text == EnteredValue) return;
  gif::TGIFImage& image = *SharedImage();
  if (frame_ < 0 || frame_ >= image.Images().GetCount()) return;
  gif::TGIFSubImage& frame = *image.Images().GetFrame(frame_);
  const ValueCheck check = CheckInspectorValue(row, text, frame.GetWidth(), frame.GetHeight());
  if (!check.Ok) {
    SetValueText(row, EnteredValue);
    ShowMessage(check.Message, MessageType::Information, kOk);
    return;
  }
  InspectorEdit edit;
  try {
    edit = ApplyInspectorValue(*document, image, frame_, row, check.Value);
  } catch (const std::exception& e) {
    SetValueText(row, EnteredValue);
    ShowMessage(QString::fromStdString(e.what()), MessageType::Error, kOk);
    return;
  }
  if (edit.Outcome == EditOutcome::Refused) {
    SetValueText(row, EnteredValue);
    ShowMessage(edit.Message, MessageType::Information, kOk);
    return;
  }
  SetValueText(row, check.Value);
  EnteredValue = check.Value;
  if (edit.Outcome != EditOutcome::Applied) return;
  if (edit.ReloadNeeded) ReloadNeeded = true;
  document->SetModified(true);
  if (edit.ShowFrameAgain && host_) host_->ShowFrame(frame_);
}

void TfrmFloat::LayoutPaletteGrid() {
  gif::TGIFColorMap* map = Palette();
  if (!map) {
    SelectedColorIndex = -1;
    lblColor->clear();
  } else if (SelectedColorIndex >= map->GetCount()) {
    SelectedColorIndex = -1;
    lblColor->clear();
  }
  UpdatePaletteButtons();
  grdPalette->update();
}

void TfrmFloat::UpdatePaletteButtons() {
  gif::TGIFColorMap* map = Palette();
  const bool selected = map && SelectedColorIndex >= 0;
  btnColorDelete->setEnabled(selected && map->GetCount() > 2);
  btnColorAdd->setEnabled(Document() && (!map || map->GetCount() < 256));
  btnColorEdit->setEnabled(selected);
  mniPopDeleteColor->setEnabled(btnColorDelete->isEnabled());
  mniPopAddColor->setEnabled(btnColorAdd->isEnabled());
  mniPopEditColor->setEnabled(btnColorEdit->isEnabled());
}

void TfrmFloat::SelectColor(int index) {
  gif::TGIFColorMap* map = Palette();
  if (!map || index < 0 || index >= map->GetCount()) return;
  SelectedColorIndex = index;
  lblColor->setText(ColorLabelText(map->GetCount(), map->GetColor(index)));
  UpdatePaletteButtons();
  grdPalette->update();
}

void TfrmFloat::AfterPaletteEdit(const InspectorEdit& edit) {
  if (edit.Outcome == EditOutcome::Refused) {
    ShowMessage(edit.Message, MessageType::Information, kOk);
    return;
  }
  if (edit.Outcome != EditOutcome::Applied) return;
  TMDIChild* document = Document();
  if (!document) return;
  if (edit.ReloadNeeded) ReloadNeeded = true;
  document->SetModified(true);
  if (ReloadNeeded && host_) {
    ReloadNeeded = false;
    host_->ReloadActiveDocument();
  } else if (host_) {
    host_->ShowFrame(frame_);
    host_->RepaintFrameStrip();
  }
  LayoutPaletteGrid();
  if (SelectedColorIndex >= 0) SelectColor(SelectedColorIndex);
}

void TfrmFloat::btnColorAddClick() {
  TMDIChild* document = Document();
  if (!document) return;
  gif::TGIFImage& image = *SharedImage();
  gif::TGIFColorMap* map = Palette();
  if (!map) {
    if (ShowMessage(QStringLiteral("Currently there is no local color map. Would you like to add one?"),
                    MessageType::Confirmation, kYesNo) != mrYes)
      return;
    const InspectorEdit edit = AddLocalPalette(*document, image, frame_);
    if (edit.Outcome == EditOutcome::Refused) {
      ShowMessage(edit.Message, MessageType::Warning, kOk);
      return;
    }
    AfterPaletteEdit(edit);
    return;
  }
  if (map->GetCount() >= 256) {
    btnColorAdd->setEnabled(false);
    return;
  }
  TfrmPalette dialog(this, PaletteMode::ColorValue, &image, frame_);
  dialog.SetSelectedColor(0xFFFFFF);
  if (!RunPalette(dialog)) return;
  AfterPaletteEdit(AddLocalColor(*document, image, frame_, dialog.Color()));
}

void TfrmFloat::btnColorEditClick() {
  TMDIChild* document = Document();
  gif::TGIFColorMap* map = Palette();
  if (!document || !map || SelectedColorIndex < 0 || SelectedColorIndex >= map->GetCount()) return;
  const int index = SelectedColorIndex;
  gif::TGIFImage& image = *SharedImage();
  TfrmPalette dialog(this, PaletteMode::ColorValue, &image, frame_);
  dialog.SetSelectedColor(map->GetColor(index));
  if (!RunPalette(dialog)) return;
  AfterPaletteEdit(ChangeLocalColor(*document, image, frame_, index, dialog.Color()));
}

void TfrmFloat::btnColorDeleteClick() {
  TMDIChild* document = Document();
  if (!document || !Palette() || SelectedColorIndex < 0) return;
  const InspectorEdit edit = DeleteLocalColor(*document, *SharedImage(), frame_, SelectedColorIndex);
  if (edit.Outcome == EditOutcome::Applied && Palette() && SelectedColorIndex >= Palette()->GetCount())
    SelectedColorIndex = Palette()->GetCount() - 1;
  AfterPaletteEdit(edit);
}

void TfrmFloat::lvCommentsSelect(int item) {
  QTreeWidgetItem* it = item >= 0 ? lvComments->topLevelItem(item) : nullptr;
  btnRemoveComments->setEnabled(it != nullptr);
  if (!it) return;
  lvComments->setCurrentItem(it);
  const auto items = ListComments(*SharedImage());
  commentText_ = item < static_cast<int>(items.size()) ? items[static_cast<std::size_t>(item)].Text : QString();
  mmoComments->setPlainText(commentText_);
}

void TfrmFloat::mmoCommentsExit() {
  TMDIChild* document = Document();
  QTreeWidgetItem* it = lvComments->currentItem();
  if (!document || !it) return;
  const QString text = mmoComments->toPlainText();
  if (text == commentText_) return;
  if (ChangeComment(*document, *SharedImage(), it->data(0, Qt::UserRole).toInt(), it->data(1, Qt::UserRole).toInt(),
                    text))
    commentText_ = text;
}

void TfrmFloat::btnAddCommentsClick() {
  TMDIChild* document = Document();
  if (!document) return;
  const QString caption = QStringLiteral("Comment %1").arg(lvComments->topLevelItemCount() + 1);
  const int extension = AddComment(*document, *SharedImage(), caption);
  if (extension < 0) return;
  FillComments();
  for (int i = 0; i < lvComments->topLevelItemCount(); ++i) {
    QTreeWidgetItem* it = lvComments->topLevelItem(i);
    if (it->data(0, Qt::UserRole).toInt() == 0 && it->data(1, Qt::UserRole).toInt() == extension) lvCommentsSelect(i);
  }
}

void TfrmFloat::btnRemoveCommentsClick() {
  TMDIChild* document = Document();
  QTreeWidgetItem* it = lvComments->currentItem();
  if (!document || !it) return;
  RemoveComment(*document, *SharedImage(), it->data(0, Qt::UserRole).toInt(), it->data(1, Qt::UserRole).toInt());
  FillComments();
}

void TfrmFloat::cbFramesChange(int comboIndex) {
  if (filling_ || comboIndex < 0) return;
  const int index = cbFrames->itemData(comboIndex).toInt();
  if (index == frame_ && EditorView()->SelectedFrame() == index) return;
  EditorView()->SetSelectedFrame(index);
  if (TMDIChild* document = Document()) document->CurrentFrame = index;
  if (host_) host_->ShowFrame(index);
}

void TfrmFloat::LoadPosition(const SettingsStore& store, const QRect& mainWindow) {
  setGeometry(LoadInspectorPlacement(store, mainWindow));
}

void TfrmFloat::SavePosition(SettingsStore& store, bool visible) const {
  SaveInspectorPlacement(store, geometry(), visible);
}

void TfrmFloat::closeEvent(QCloseEvent* event) {
  event->ignore();
  hide();
  if (host_) host_->InspectorClosed();
}

void TfrmFloat::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  lbDrop->hide();
  LayoutPaletteGrid();
}

void TfrmFloat::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::ActivationChange) return;
  if (isActiveWindow()) {
    if (host_) host_->PausePlayback();
    if (TMDIChild* document = Document()) {
      setWindowTitle(QStringLiteral("%1 - %2").arg(kTitle, document->DisplayName()));
      if (SelectedRow >= 0) EnteredValue = ValueText(SelectedRow);
    } else {
      setWindowTitle(kTitle);
    }
  } else {
    lbDrop->hide();
    CommitEdit();
  }
}

bool TfrmFloat::eventFilter(QObject* watched, QEvent* event) {
  if (watched == mmoComments && event->type() == QEvent::FocusOut) mmoCommentsExit();
  if (watched == lbDrop && event->type() == QEvent::FocusOut) lbDrop->hide();
  if (watched == grid->viewport() && event->type() == QEvent::MouseMove) {
    // An I-beam over the cells that take typed values.
    const QModelIndex at = grid->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint());
    const int row = at.row();
    const bool typed = at.column() == 1 && (row == rowHeight || row == rowWidth || row == rowLeft ||
                                            row == rowTop || row == rowDelay);
    grid->viewport()->setCursor(typed ? Qt::IBeamCursor : Qt::ArrowCursor);
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace movinta::editor::forms
