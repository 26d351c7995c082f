#include "editor/thumb_window.h"

#include "controls/shell/widgets/ptshelltree.h"
#include "editor/forms/guarded.h"
#include "editor/help_commands.h"
#include "editor/widget_helpers.h"
#include "platform/program_folders/program_folders.h"

#include <QEvent>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDrag>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <qdrawutil.h>

#include <algorithm>

namespace movinta::editor {

QPointer<TfrmThumbWin> the_frmThumbWin;

namespace {
constexpr int kDragDistance = 10;
constexpr const char* kSection = "ThumbNails";

QString Section() { return QString::fromLatin1(kSection); }
QString Clean(const QString& folder) { return folder.isEmpty() ? folder : QDir::cleanPath(folder); }
}  // namespace

// ---- the grid

TThumbGrid::TThumbGrid(TfrmThumbWin& window) : QAbstractScrollArea(&window), window_(window) {
  setObjectName(QStringLiteral("grdThumbs"));
  setFocusPolicy(Qt::StrongFocus);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Always there, so that the columns a width holds never depend on the rows they make.
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  verticalScrollBar()->setTracking(true);
  viewport()->setAutoFillBackground(true);
}

void TThumbGrid::SetLayout(const ThumbGridLayout& layout) {
  layout_ = layout;
  layout_.ColCount = std::max(1, layout_.ColCount);
  layout_.RowCount = std::max(1, layout_.RowCount);
  UpdateScrollBar();
  viewport()->update();
}

void TThumbGrid::UpdateScrollBar() {
  const int total = layout_.RowCount * std::max(1, layout_.RowHeight);
  QScrollBar* bar = verticalScrollBar();
  bar->setRange(0, std::max(0, total - viewport()->height()));
  bar->setPageStep(std::max(1, viewport()->height()));
  bar->setSingleStep(std::max(1, layout_.RowHeight));
}

void TThumbGrid::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  // The thumbnails flow into as many columns as the new width holds.
  if (event->size().width() != event->oldSize().width()) window_.RefreshThumbnails();
  UpdateScrollBar();
}

int TThumbGrid::CellAt(const QPoint& point) const {
  if (layout_.ColWidth <= 0 || layout_.RowHeight <= 0 || point.x() < 0 || point.y() < 0) return -1;
  const int col = point.x() / layout_.ColWidth;
  const int row = (point.y() + verticalScrollBar()->value()) / layout_.RowHeight;
  if (col >= layout_.ColCount || row >= layout_.RowCount) return -1;
  return row * layout_.ColCount + col;
}

QRect TThumbGrid::CellRect(int index) const {
  if (index < 0) return {};
  const int col = index % layout_.ColCount, row = index / layout_.ColCount;
  return {col * layout_.ColWidth, row * layout_.RowHeight - verticalScrollBar()->value(), layout_.ColWidth,
          layout_.RowHeight};
}

void TThumbGrid::SetSelected(int index) {
  if (index == selected_) return;
  selected_ = index;
  if (index >= 0) {
    // Keep the selected row in view.
    const QRect r = CellRect(index);
    QScrollBar* bar = verticalScrollBar();
    if (r.top() < 0) bar->setValue(bar->value() + r.top());
    else if (r.bottom() > viewport()->height()) bar->setValue(bar->value() + r.bottom() - viewport()->height());
  }
  viewport()->update();
}

void TThumbGrid::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  if (layout_.ColWidth <= 0 || layout_.RowHeight <= 0) return;
  const int first = verticalScrollBar()->value() / layout_.RowHeight;
  const int last = (verticalScrollBar()->value() + viewport()->height()) / layout_.RowHeight;
  for (int row = first; row <= last && row < layout_.RowCount; ++row)
    for (int col = 0; col < layout_.ColCount; ++col) {
      const int index = row * layout_.ColCount + col;
      PaintGuarded([&] { window_.grdThumbsDrawCell(painter, index, CellRect(index)); });
    }
}

void TThumbGrid::mousePressEvent(QMouseEvent* event) {
  setFocus();
  const QPoint p = event->position().toPoint();
  dragArmed_ = false;
  window_.grdThumbsMouseDown(event->button(), p);
  if (event->button() == Qt::LeftButton) {
    pressAt_ = p;
    TImageBrowserCommands* c = window_.Commands();
    const int cell = CellAt(p);
    dragArmed_ = c && cell >= 0 && cell < c->ThumbCount();
  } else if (event->button() == Qt::RightButton) {
    if (TImageBrowserCommands* c = window_.Commands(); c && c->popThumbs) c->popThumbs->popup(event->globalPosition().toPoint());
  }
}

void TThumbGrid::mouseMoveEvent(QMouseEvent* event) {
  if (!dragArmed_ || !(event->buttons() & Qt::LeftButton)) return;
  if ((event->position().toPoint() - pressAt_).manhattanLength() < kDragDistance) return;
  dragArmed_ = false;
  TImageBrowserCommands* c = window_.Commands();
  const QString path = c ? c->PathOf(CellAt(pressAt_)) : QString();
  if (!path.isEmpty() && window_.StartDrag) window_.StartDrag(path);
}

void TThumbGrid::mouseReleaseEvent(QMouseEvent*) { dragArmed_ = false; }

void TThumbGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) window_.grdThumbsDblClick();
}

void TThumbGrid::keyPressEvent(QKeyEvent* event) {
  TImageBrowserCommands* c = window_.Commands();
  const int count = c ? c->ThumbCount() : 0;
  int target = selected_ < 0 ? 0 : selected_;
  switch (event->key()) {
    case Qt::Key_Left: target -= 1; break;
    case Qt::Key_Right: target += 1; break;
    case Qt::Key_Up: target -= layout_.ColCount; break;
    case Qt::Key_Down: target += layout_.ColCount; break;
    case Qt::Key_Home: target = 0; break;
    case Qt::Key_End: target = count - 1; break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      window_.grdThumbsDblClick();
      return;
    default: QAbstractScrollArea::keyPressEvent(event); return;
  }
  if (count == 0) return;
  window_.grdThumbsSelectCell(std::clamp(target, 0, count - 1));
}

// ---- the window

TfrmThumbWin::TfrmThumbWin(QWidget* parent, TImageBrowserCommands* commands)
    : QWidget(parent, Qt::Tool), commands_(commands) {
  if (!commands_ && parent) commands_ = parent->findChild<TImageBrowserCommands*>(QString(), Qt::FindDirectChildrenOnly);
  setObjectName(QStringLiteral("frmThumbWin"));
  setWindowTitle(QStringLiteral("Image Browser"));
  InstallDialogHelp(*this, help_contexts::kImageBrowser);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  auto* pnlThumbs = new QFrame(this);
  pnlThumbs->setObjectName(QStringLiteral("pnlThumbs"));
  pnlThumbs->setFixedHeight(22);
  auto* top = new QHBoxLayout(pnlThumbs);
  top->setContentsMargins(4, 0, 4, 0);
  lblCurrFolder = new QLabel(QStringLiteral("Current Folder:"), pnlThumbs);
  lblCurrFolder->setObjectName(QStringLiteral("lblCurrFolder"));
  top->addWidget(lblCurrFolder, 1);
  btnTVClose = new QToolButton(pnlThumbs);
  btnTVClose->setObjectName(QStringLiteral("btnTVClose"));
  btnTVClose->setFixedSize(14, 14);
  btnTVClose->setAutoRaise(true);
  btnTVClose->setToolTip(QStringLiteral("Show/Hide Explorer"));
  btnTVClose->setStatusTip(QStringLiteral("Show or Hide Explorer Window"));
  btnTVClose->setIcon(QIcon(QStringLiteral(":/glyphs/ARROW_EX_RIGHT")));
  connect(btnTVClose, &QToolButton::clicked, this, Guarded([this] { btnTVCloseClick(); }));
  top->addWidget(btnTVClose);
  layout->addWidget(pnlThumbs);

  vspThumbs = new QSplitter(Qt::Horizontal, this);
  vspThumbs->setObjectName(QStringLiteral("vspThumbs"));
  vspThumbs->setChildrenCollapsible(false);
  tvShell = new ptshell::TPTShellTree(vspThumbs);
  tvShell->setObjectName(QStringLiteral("tvShell"));
  tvShell->OnChange = Guarded([this](ptshell::TPTCustomShellTree*, ptshell::TPTTreeNode*) { tvShellChange(); });
  grdThumbs = new TThumbGrid(*this);
  vspThumbs->addWidget(tvShell);
  vspThumbs->addWidget(grdThumbs);
  vspThumbs->setStretchFactor(1, 1);
  vspThumbs->setSizes({explorerWidth_, 566 - explorerWidth_});
  vspThumbs->installEventFilter(this);
  layout->addWidget(vspThumbs, 1);
  resize(566, 201);

  ThumbGridLayout first = ThumbLayout(grdThumbs->viewport()->width(), GridTextHeight(),
                                      commands_ ? commands_->ThumbSize() : kDefaultThumbSize, 0);
  grdThumbs->SetLayout(first);

  StartDrag = [this](const QString& path) {
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kThumbnailMimeType), path.toUtf8());
    auto* drag = new QDrag(grdThumbs);
    drag->setMimeData(data);
    if (commands_) {
      const int index = grdThumbs->Selected();
      if (index >= 0 && index < commands_->Thumbnails().size())
        drag->setPixmap(QPixmap::fromImage(commands_->Thumbnails()[index]).scaled(48, 48, Qt::KeepAspectRatio));
    }
    drag->exec(Qt::CopyAction);
  };

  if (commands_) {
    commands_->SetView(this);
    connect(commands_, &TImageBrowserCommands::explorerRequested, this, Guarded([this](bool on) {
      if (on != ExplorerVisible()) btnTVCloseClick();
    }));
  }
}

TfrmThumbWin::~TfrmThumbWin() {
  if (commands_ && commands_->View() == this) commands_->SetView(nullptr);
}

QString TfrmThumbWin::ProgramFolder() const { return platform::SampleImagesFolder(); }

bool TfrmThumbWin::ExplorerVisible() const { return explorerVisible_; }

void TfrmThumbWin::SetExplorerVisible(bool visible) {
  if (visible != explorerVisible_) btnTVCloseClick();
}

int TfrmThumbWin::ExplorerWidth() const {
  if (!splitterSized_) return explorerWidth_;
  const QList<int> sizes = vspThumbs->sizes();
  return sizes.isEmpty() || sizes.front() <= 0 ? tvShell->width() : sizes.front();
}

void TfrmThumbWin::SetExplorerWidth(int width) {
  explorerWidth_ = width;
  if (!splitterSized_) return;
  const int total = std::max(vspThumbs->width(), width + 1);
  vspThumbs->setSizes({width, std::max(1, total - width)});
}

bool TfrmThumbWin::eventFilter(QObject* watched, QEvent* event) {
  const bool sized = event->type() == QEvent::Show || event->type() == QEvent::Resize;
  if (watched == vspThumbs && sized && !splitterSized_ && vspThumbs->isVisible()) {
    splitterSized_ = true;
    SetExplorerWidth(explorerWidth_);
  }
  return QWidget::eventFilter(watched, event);
}

void TfrmThumbWin::RefreshThumbnails() {
  if (!grdThumbs) return;
  if (commands_) {
    ThumbGridLayout layout =
        ThumbLayout(GridClientWidth(), GridTextHeight(), commands_->ThumbSize(), commands_->ThumbCount());
    grdThumbs->SetLayout(layout);
  }
  grdThumbs->viewport()->update();
}

void TfrmThumbWin::SavePlacement(SettingsStore& store, bool visible) const {
  const QRect g = geometry();
  WriteRegInt(store, Section(), QStringLiteral("Left"), g.left());
  WriteRegInt(store, Section(), QStringLiteral("Top"), g.top());
  WriteRegInt(store, Section(), QStringLiteral("WindowHeight"), g.height());
  WriteRegInt(store, Section(), QStringLiteral("WindowWidth"), g.width());
  WriteRegInt(store, Section(), QStringLiteral("Visible"), visible ? 1 : 0);
  WriteRegInt(store, Section(), QStringLiteral("ExplorerWidth"), ExplorerWidth());
  WriteRegInt(store, Section(), QStringLiteral("ExplorerVisible"), ExplorerVisible() ? 1 : 0);
}

void TfrmThumbWin::Place(const QRect& wanted) { setGeometry(KeptOnScreens(wanted, ScreensArea())); }

void TfrmThumbWin::PlaceBelow(const QWidget& main) {
  const QRect frame = main.frameGeometry();
  Place(QRect(frame.left(), frame.bottom() + 30, frame.width() - 50, 220));
}

bool TfrmThumbWin::LoadPlacement(SettingsStore& store, int defaultWidth) {
  const QRect g = geometry();
  const bool visible = ReadRegInt(store, Section(), QStringLiteral("Visible"), 1) != 0;
  const int left = ReadRegInt(store, Section(), QStringLiteral("Left"), g.left());
  const int top = ReadRegInt(store, Section(), QStringLiteral("Top"), g.top());
  const int height = ReadRegInt(store, Section(), QStringLiteral("WindowHeight"), g.height());
  const int width = ReadRegInt(store, Section(), QStringLiteral("WindowWidth"), defaultWidth);
  // A place kept for other screens, or at another text size, is brought back onto these.
  Place(QRect(left, top, std::max(width, 100), std::max(height, 60)));
  SetExplorerWidth(ReadRegInt(store, Section(), QStringLiteral("ExplorerWidth"), ExplorerWidth()));
  SetExplorerVisible(ReadRegInt(store, Section(), QStringLiteral("ExplorerVisible"), 1) != 0);
  return visible;
}

// ---- handlers

void TfrmThumbWin::tvShellChange() {
  const QString path = TreeFolder();
  if (path.isEmpty() || !QFileInfo(path).isDir()) {
    // A node outside the file system: the root folder, else the program's sample pictures. The
    // tree is inside its own selection change now, so it moves once that is over.
    if (fallbackQueued_) return;
    fallbackQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        Guarded([this] {
          fallbackQueued_ = false;
          const QString fallback = QFileInfo(QStringLiteral("/")).isDir() ? QStringLiteral("/") : ProgramFolder();
          SelectPath(fallback);
          const QString reached = TreeFolder();
          ShowFolder(!reached.isEmpty() && QFileInfo(reached).isDir() ? reached : fallback);
        }),
        Qt::QueuedConnection);
    return;
  }
  ShowFolder(path);
}

void TfrmThumbWin::ShowFolder(const QString& path) {
  if (!isVisible() || !commands_) return;
  if (Clean(path) == Clean(commands_->CurrentFolder())) return;
  commands_->TreeFolderChanged(path);
}

void TfrmThumbWin::SelectPath(const QString& path) {
  tvShell->SetSelectedPath(path.toStdString());
  // The tree's folder may already have been that one without the node selected.
  if (Clean(TreeFolder()) != Clean(path)) tvShell->SelectFolderPidl(tvShell->CurrentFolder().GetPidl());
}

void TfrmThumbWin::btnTVCloseClick() {
  QWidget* handle = vspThumbs->handle(1);
  if (explorerVisible_) {
    tvShell->hide();
    if (handle) handle->hide();
    btnTVClose->setIcon(QIcon(QStringLiteral(":/glyphs/ARROW_EX_LEFT")));
    explorerVisible_ = false;
  } else {
    if (handle) handle->show();
    tvShell->show();
    btnTVClose->setIcon(QIcon(QStringLiteral(":/glyphs/ARROW_EX_RIGHT")));
    explorerVisible_ = true;
  }
  if (commands_) commands_->ExplorerToggled(explorerVisible_);
}

void TfrmThumbWin::grdThumbsSelectCell(int index) {
  grdThumbs->SetSelected(index);
  if (commands_ && commands_->host.Status) commands_->host.Status(commands_->ThumbStatusText(index));
}

void TfrmThumbWin::grdThumbsMouseDown(Qt::MouseButton button, const QPoint& point) {
  const int cell = grdThumbs->CellAt(point);
  const bool onThumb = commands_ && cell >= 0 && cell < commands_->ThumbCount();
  if (button == Qt::LeftButton || button == Qt::RightButton) {
    if (cell >= 0) grdThumbsSelectCell(cell);
  }
  if (commands_) commands_->ThumbPressed(onThumb);
}

void TfrmThumbWin::grdThumbsDblClick() {
  if (commands_ && commands_->ThumbCount() > 0) commands_->mniThumbOpen->trigger();
}

void TfrmThumbWin::grdThumbsDrawCell(QPainter& painter, int index, const QRect& rect) {
  if (!commands_ || index < 0 || index >= commands_->Thumbnails().size()) return;
  const TThumbRecord* record = commands_->Record(index);
  if (!record) return;
  const QPalette& pal = palette();
  painter.fillRect(rect, pal.color(QPalette::Base));
  const QRect inner = rect.adjusted(2, 2, -2, -2);
  const bool selected = index == grdThumbs->Selected();
  painter.fillRect(inner, selected ? pal.color(QPalette::Highlight) : pal.color(QPalette::Button));
  qDrawShadePanel(&painter, inner, pal, true, 1);
  const QImage& picture = commands_->Thumbnails()[index];
  const QRect pic(inner.left() + (inner.width() - picture.width()) / 2,
                  inner.top() + (inner.height() - picture.height()) / 2, picture.width(), picture.height());
  painter.drawImage(pic.topLeft(), picture);
  qDrawShadePanel(&painter, pic.adjusted(-1, -1, 1, 1), pal, false, 1);
  painter.setPen(selected ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::WindowText));
  painter.setFont(font());
  const QString size = QStringLiteral("%1 x %2").arg(record->Width).arg(record->Height);
  const QRect above(inner.left(), inner.top(), inner.width(), std::max(0, pic.top() - 1 - inner.top()));
  painter.drawText(above, Qt::AlignHCenter | Qt::AlignVCenter, size);
  const QRect text = inner.adjusted(4, 2, -4, -2);
  const QString name = painter.fontMetrics().elidedText(record->FileName, Qt::ElideRight, text.width());
  painter.drawText(text, Qt::AlignHCenter | Qt::AlignBottom, name);
}

// ---- IThumbView

QString TfrmThumbWin::TreeFolder() const { return QString::fromStdString(tvShell->GetSelectedPath()); }

void TfrmThumbWin::SelectTreeFolder(const QString& folder) {
  if (folder.isEmpty()) return;
  SelectPath(folder);
  // Selecting the node that is selected already raises no change; the folder is shown all the same.
  tvShellChange();
}

void TfrmThumbWin::SetFolderLabel(const QString& text) { lblCurrFolder->setText(text); }

int TfrmThumbWin::GridClientWidth() const { return grdThumbs->viewport()->width(); }

int TfrmThumbWin::GridTextHeight() const { return fontMetrics().boundingRect(QStringLiteral("Pq")).height(); }

void TfrmThumbWin::SetGridLayout(const ThumbGridLayout& layout) { grdThumbs->SetLayout(layout); }

void TfrmThumbWin::ClearGrid() {
  ThumbGridLayout one = grdThumbs->Layout();
  one.ColCount = 1;
  one.RowCount = 1;
  grdThumbs->SetLayout(one);
  grdThumbs->SetSelected(-1);
  grdThumbs->viewport()->repaint();
}

int TfrmThumbWin::SelectedThumb() const {
  const int index = grdThumbs->Selected();
  return commands_ && index >= 0 && index < commands_->ThumbCount() ? index : -1;
}

void TfrmThumbWin::RepaintGrid() { grdThumbs->viewport()->repaint(); }

void TfrmThumbWin::closeEvent(QCloseEvent* event) {
  // The caption's close button only hides the window.
  hide();
  if (commands_) commands_->BrowserClosed();
  event->ignore();
}

}  // namespace movinta::editor
