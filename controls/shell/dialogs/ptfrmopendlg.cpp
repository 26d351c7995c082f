#include "controls/shell/dialogs/ptfrmopendlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QTreeView>
#include <QMenu>
#include <QPushButton>
#include <QResizeEvent>
#include <QShortcut>
#include <QSizeGrip>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "controls/enhcombo.h"
#include "controls/ptframe.h"
#include "controls/ptsplitter.h"
#include "controls/shell/dialogs/file_names.h"
#include "controls/shell/shell_controls.h"

namespace ptshell {

namespace {

template <class T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(QLatin1String(name));
  return widget;
}

QToolButton* SpeedButton(QWidget* parent, const char* name, QStyle::StandardPixmap icon, int x, int y, int w, int h) {
  auto* b = Named(new QToolButton(parent), name);
  b->setIcon(parent->style()->standardIcon(icon));
  b->setAutoRaise(true);
  b->setFocusPolicy(Qt::NoFocus);
  b->setGeometry(x, y, w, h);
  return b;
}

// A hint is "short|long": the short part is the tool tip, the long one the status tip.
void SetHint(QWidget* w, const QString& hint, bool show) {
  w->setToolTip(show ? hint.section(QLatin1Char('|'), 0, 0) : QString());
  w->setStatusTip(hint.section(QLatin1Char('|'), -1));
}
void SetHint(QAction* a, const QString& hint) { a->setStatusTip(hint); }

void FillIn(QWidget* parent, QWidget* child) {
  auto* layout = new QVBoxLayout(parent);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(child);
}

void SetRightKeepingLeft(QWidget* w, int left) {
  const QRect g = w->geometry();
  w->setGeometry(left, g.top(), g.right() + 1 - left, g.height());
}

// Slots run inside the event loop, which an exception must not cross.
template <class F>
auto Safely(F f) {
  return [f](auto&&...) {
    try {
      f();
    } catch (...) {
      HandleApplicationException(std::current_exception());
    }
  };
}

// The text of a path; bytes that are no UTF-8 become U+FFFD, which no name
// typed or listed here carries otherwise.
QString PathText(const std::string& raw) { return QString::fromUtf8(raw.data(), static_cast<qsizetype>(raw.size())); }

// A name whose bytes are not UTF-8 cannot pass through the dialog's text and
// back: it is listed, but choosing it is refused with the reason.
bool Undecodable(const QString& full) {
  return full.contains(QChar::ReplacementCharacter) && !QFileInfo::exists(full);
}

void ChangeOverrideCursor(Qt::CursorShape shape) {
  if (QApplication::overrideCursor()) QApplication::changeOverrideCursor(shape);
}

}  // namespace

TPTFrmOpenDlg::TPTFrmOpenDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("PTFrmOpenDlg"));
  setWindowTitle(QStringLiteral("Open"));
  setWindowFlags(Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
  setSizeGripEnabled(false);
  setMinimumSize(451, 265);
  resize(451, 265);

  LookInTxt = Named(new QLabel(QStringLiteral("Look &in:"), this), "LookInTxt");
  LookInTxt->move(8, 8);
  PTShellCombo1 = Named(new TPTShellCombo(this), "PTShellCombo1");
  PTShellCombo1->setGeometry(72, 4, 193, 22);
  PTShellCombo1->Options = ptscoAutofill;
  PTShellCombo1->setMaxVisibleItems(16);
  LookInTxt->setBuddy(PTShellCombo1);

  UpOneLevelBtn = SpeedButton(this, "UpOneLevelBtn", QStyle::SP_FileDialogToParent, 272, 4, 23, 22);
  ShowDesktopBtn = SpeedButton(this, "ShowDesktopBtn", QStyle::SP_DesktopIcon, 304, 4, 23, 22);
  CreateNewFolderBtn = SpeedButton(this, "CreateNewFolderBtn", QStyle::SP_FileDialogNewFolder, 336, 4, 23, 22);
  ShowTreeBtn = SpeedButton(this, "ShowTreeBtn", QStyle::SP_DirOpenIcon, 368, 4, 23, 23);
  ShowTreeBtn->setCheckable(true);
  ListBtn = SpeedButton(this, "ListBtn", QStyle::SP_FileDialogListView, 400, 4, 23, 22);
  ListBtn->setCheckable(true);
  ListBtn->setChecked(true);
  ListBtn->setProperty("Tag", 2);
  DetailsBtn = SpeedButton(this, "DetailsBtn", QStyle::SP_FileDialogDetailedView, 423, 4, 23, 22);
  DetailsBtn->setCheckable(true);
  DetailsBtn->setProperty("Tag", 3);

  SplitterContainer = Named(new TPTGroup(this), "SplitterContainer");
  SplitterContainer->SetFrameStyle(ptfsNone);
  SplitterContainer->setGeometry(2, 30, 447, 153);
  PTSplitter1 = Named(new TPTSplitter(SplitterContainer), "PTSplitter1");
  PTSplitter1->setGeometry(SplitterContainer->contentsRect());
  PTSplitter1->SetSplitterWidth(5);
  PTSplitter1->SetPane1MinSize(4);
  PTSplitter1->SetPane2MinSize(60);
  PTSplitter1->SetPosition(141);

  PTShellTree1 = Named(new TPTShellTree(PTSplitter1->Pane(0)), "PTShellTree1");
  PTShellTree1->SetOptions(ptstoAutoFill | ptstoDefaultKeyHandling | ptstoContextMenus | ptstoDynamicRefresh);
  PTShellTree1->setFrameShape(QFrame::NoFrame);
  PTShellTree1->setRootIsDecorated(false);
  PTShellTree1->setIndentation(19);
  FillIn(PTSplitter1->Pane(0), PTShellTree1);

  PTShellList1 = Named(new TPTShellList(PTSplitter1->Pane(1)), "PTShellList1");
  PTShellList1->SetOptions(ptsloAutoFill | ptsloDefaultKeyHandling | ptsloContextMenus | ptsloDynamicRefresh);
  PTShellList1->ReadOnly = false;
  PTShellList1->SetViewStyle(vsList);
  FillIn(PTSplitter1->Pane(1), PTShellList1);
  PTShellCombo1->SetShellList(PTShellList1);

  Panel1 = Named(new QWidget(this), "Panel1");
  Panel1->setGeometry(0, height() - 84, width(), 84);
  FileNameTxt = Named(new QLabel(QStringLiteral("File &name:"), Panel1), "FileNameTxt");
  FileNameTxt->move(8, 10);
  FilesOfTypeTxt = Named(new QLabel(QStringLiteral("Files of &type:"), Panel1), "FilesOfTypeTxt");
  FilesOfTypeTxt->move(8, 38);
  FileNameEdt = Named(new QLineEdit(Panel1), "FileNameEdt");
  FileNameEdt->setGeometry(88, 6, 277, 21);
  FileNameTxt->setBuddy(FileNameEdt);
  FileNameCbx = Named(new QComboBox(Panel1), "FileNameCbx");
  FileNameCbx->setGeometry(88, 6, 277, 21);
  FileNameCbx->hide();
  FileNameCbx->setFocusPolicy(Qt::NoFocus);
  FileTypesCbx = Named(new TEnhCombo(Panel1), "FileTypesCbx");
  FileTypesCbx->setGeometry(88, 34, 277, 21);
  FilesOfTypeTxt->setBuddy(FileTypesCbx);
  OpenBtn = Named(new QPushButton(QStringLiteral("&Open"), Panel1), "OpenBtn");
  OpenBtn->setGeometry(372, 4, 75, 23);
  OpenBtn->setDefault(true);
  CancelBtn = Named(new QPushButton(QStringLiteral("Cancel"), Panel1), "CancelBtn");
  CancelBtn->setGeometry(372, 32, 75, 23);
  ReadOnlyChk = Named(new QCheckBox(QStringLiteral("Open as &read-only"), Panel1), "ReadOnlyChk");
  ReadOnlyChk->setGeometry(88, 60, 233, 17);
  HelpBtn = Named(new QPushButton(QStringLiteral("&Help"), Panel1), "HelpBtn");
  HelpBtn->setGeometry(372, 60, 75, 23);
  HelpBtn->hide();

  SizeGrip = Named(new QSizeGrip(this), "SizeGrip");
  SizeGrip->resize(13, 13);

  LvPopup = Named(new QMenu(this), "LvPopup");
  QMenu* view = LvPopup->addMenu(QStringLiteral("&View"));
  View1Mitm = Named(view->menuAction(), "View1Mitm");
  auto viewItem = [&](const char* name, const char* caption, int tag, bool enabled) {
    QAction* a = Named(view->addAction(QLatin1String(caption)), name);
    a->setCheckable(true);
    a->setProperty("Tag", tag);
    a->setEnabled(enabled);
    connect(a, &QAction::triggered, this, [this, a] { ViewBtnClick(a); });
    return a;
  };
  LargeIcons1Mitm = viewItem("LargeIcons1Mitm", "Lar&ge icons", 0, false);
  Smallicons1MItm = viewItem("Smallicons1MItm", "S&mall icons", 1, false);
  List1Mitm = viewItem("List1Mitm", "&List", 2, true);
  List1Mitm->setChecked(true);
  Details1Mitm = viewItem("Details1Mitm", "&Details", 3, true);
  LvPopup->addSeparator()->setObjectName(QStringLiteral("N1"));
  Paste1Mitm = Named(LvPopup->addAction(QStringLiteral("&Paste")), "Paste1Mitm");
  LvPopup->addSeparator()->setObjectName(QStringLiteral("N3"));
  QMenu* newMenu = LvPopup->addMenu(QStringLiteral("Ne&w"));
  New1Mitm = Named(newMenu->menuAction(), "New1Mitm");
  Folder1Mitm = Named(newMenu->addAction(QStringLiteral("&Folder")), "Folder1Mitm");
  LvPopup->addSeparator()->setObjectName(QStringLiteral("N2"));
  Properties1Mitm = Named(LvPopup->addAction(QStringLiteral("P&roperties")), "Properties1Mitm");
  PTShellList1->PopupMenu = LvPopup;

  connect(UpOneLevelBtn, &QToolButton::clicked, this, Safely([this] { UpOneLevelBtnClick(); }));
  connect(ShowDesktopBtn, &QToolButton::clicked, this, Safely([this] { ShowDesktopBtnClick(); }));
  connect(CreateNewFolderBtn, &QToolButton::clicked, this, Safely([this] { CreateNewFolderBtnClick(); }));
  connect(ShowTreeBtn, &QToolButton::clicked, this, Safely([this] { ShowTree(ShowTreeBtn->isChecked()); }));
  connect(ListBtn, &QToolButton::clicked, this, [this] { ViewBtnClick(ListBtn); });
  connect(DetailsBtn, &QToolButton::clicked, this, [this] { ViewBtnClick(DetailsBtn); });
  connect(OpenBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(HelpBtn, &QPushButton::clicked, this, [this] { HelpBtnClick(); });
  connect(ReadOnlyChk, &QCheckBox::toggled, this, [this](bool on) {
    OptionsValue = on ? OptionsValue | ptofReadOnly : OptionsValue & ~ptofReadOnly;
  });
  connect(FileNameEdt, &QLineEdit::textChanged, this, [this] { FileNameEdtChange(); });
  connect(FileTypesCbx, &QComboBox::activated, this, [this] { FileTypesCbxSelEndOk(); });
  // The list's own menu comes up on its background: with nothing selected,
  // Paste goes into the listed folder and Properties shows that folder's.
  auto listVerb = [this](const std::string& verb) {
    const HRESULT hr = PTShellList1->SelectedCount() > 0 ? PTShellList1->InvokeVerbOnSelection(verb)
                                                         : PTShellList1->InvokeVerbOnFolder(verb);
    if (FAILED(hr) && hr != shellns::E_ABORT) throw EPTShellError(shellns::ResultText(hr), hr);
  };
  connect(Paste1Mitm, &QAction::triggered, this, Safely([listVerb] { listVerb("paste"); }));
  connect(Properties1Mitm, &QAction::triggered, this, Safely([listVerb] { listVerb("properties"); }));
  connect(Folder1Mitm, &QAction::triggered, this, Safely([this] { CreateNewFolderBtnClick(); }));
  connect(PTShellList1, &TPTCustomListView::SelectionChanged, this, [this] { PTShellList1Change(); });
  PTShellList1->OnFolderChanged = [this](TPTCustomShellList*) {
    if (ShownValue) DoFolderChanged();
  };
  PTShellTree1->OnChange = [this](TPTCustomShellTree*, TPTTreeNode* node) { PTShellTree1Change(node); };
  // A file double-clicked confirms the dialog instead of being opened by the shell.
  PTShellList1->OnDblClickOpen = [this](TPTCustomShellList*, bool& handled) {
    handled = true;
    done(QDialog::Accepted);
  };
  // The open look-in list is a window of its own: the form sees its keys first too.
  PTShellCombo1->view()->installEventFilter(this);
  for (int key : {Qt::Key_F4, Qt::Key_F5, Qt::Key_F12}) {
    auto* shortcut = new QShortcut(QKeySequence(key), this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, Safely([this, key, shortcut] {
      FormKeyDown(key, Qt::NoModifier);
      // The form sees F5 first; the focused control then gets the key too and
      // refreshes itself (the shortcut stands aside while it is passed on).
      if (key == Qt::Key_F5)
        if (QWidget* focus = QApplication::focusWidget(); focus && focus->window() == this) {
          QKeyEvent press(QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier);
          shortcut->setEnabled(false);
          QApplication::sendEvent(focus, &press);
          shortcut->setEnabled(true);
        }
    }));
  }
  FormResize();
}

TPTFrmOpenDlg::~TPTFrmOpenDlg() {
  // The links hold plain pointers both ways; part them before the children go.
  PTShellTree1->SetShellList(nullptr);
  PTShellCombo1->SetShellTree(nullptr);
  PTShellCombo1->SetShellList(nullptr);
}

bool TPTFrmOpenDlg::eventFilter(QObject* watched, QEvent* e) {
  const bool override = e->type() == QEvent::ShortcutOverride;
  if ((override || e->type() == QEvent::KeyPress) && watched == PTShellCombo1->view()) {
    auto* k = static_cast<QKeyEvent*>(e);
    const bool plain = !(k->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier));
    if (plain && (k->key() == Qt::Key_F4 || k->key() == Qt::Key_F12)) {
      // Claimed from every shortcut, so that the key press reaches the form here.
      if (override) {
        k->accept();
        return true;
      }
      try {
        FormKeyDown(k->key(), k->modifiers());
      } catch (...) {
        HandleApplicationException(std::current_exception());
      }
      return true;
    }
  }
  return QDialog::eventFilter(watched, e);
}

void TPTFrmOpenDlg::SetOptions(TPTOpenOptions value) {
  OptionsValue = value;
  TPTShellListOptions lo = PTShellList1->Options() &
                           ~(ptsloOleDrag | ptsloOleDrop | ptsloShowHidden | ptsloHideFoldersWhenLinkedToTree);
  TPTShellTreeOptions to = PTShellTree1->Options() & ~(ptstoOleDrag | ptstoOleDrop | ptstoShowHidden);
  if (value & ptofOleDrag) lo |= ptsloOleDrag, to |= ptstoOleDrag;
  if (value & ptofOleDrop) lo |= ptsloOleDrop, to |= ptstoOleDrop;
  if (value & ptofShowHidden) lo |= ptsloShowHidden, to |= ptstoShowHidden;
  if (value & ptofHideFoldersInListWhenTreeVisible) lo |= ptsloHideFoldersWhenLinkedToTree;
  PTShellList1->SetOptions(lo);
  PTShellTree1->SetOptions(to);
  const auto mode = value & ptofAllowMultiselect ? QAbstractItemView::ExtendedSelection
                                                 : QAbstractItemView::SingleSelection;
  PTShellList1->IconView()->setSelectionMode(mode);
  PTShellList1->ReportView()->setSelectionMode(mode);
  ReadOnlyChk->setVisible(!(value & ptofHideReadOnly));
  HelpBtn->setVisible(value & ptofShowHelp);
}

void TPTFrmOpenDlg::SetFilter(const QString& filter) {
  FilterValue = filter;
  for (const TFileTypeEntry& e : ParseFilter(filter)) FileTypesCbx->addItem(e.Description, e.Mask);
}

int TPTFrmOpenDlg::FilterIndex() const {
  return FileTypesCbx->count() == 0 ? 0 : FileTypesCbx->currentIndex() + 1;
}

void TPTFrmOpenDlg::SetFilterIndex(int index) {
  if (index >= 1 && index <= FileTypesCbx->count()) {
    FileTypesCbx->setCurrentIndex(index - 1);
    FileTypesCbxSelEndOk();
  } else if (FileTypesCbx->count() > 0) {
    FileTypesCbx->setCurrentIndex(0);
  }
}

int TPTFrmOpenDlg::SplitterPos() const { return PTSplitter1->Position(); }

void TPTFrmOpenDlg::SetSplitterPos(int position) {
  // A negative position is a hidden tree; the pane must be allowed to vanish.
  if (position < 0) PTSplitter1->SetPane1MinSize(position);
  PTSplitter1->SetPosition(position);
}

QString TPTFrmOpenDlg::FileName() const {
  if (!EverShown) return FileNameEdt->text();
  return ValidFiles.isEmpty() ? QString() : ValidFiles.first();
}

void TPTFrmOpenDlg::SetFileName(const QString& name) { FileNameEdt->setText(name); }

void TPTFrmOpenDlg::SetInitialDir(const QString& dir) {
  InitialDirValue = dir;
  if (!dir.isEmpty()) PTShellList1->Folder().SetPath(dir.toStdString());
}

void TPTFrmOpenDlg::DoFormShow() {
  if (OnFormShow) OnFormShow(this);
}
void TPTFrmOpenDlg::DoFormClose() {
  if (OnFormClose) OnFormClose(this);
}
void TPTFrmOpenDlg::DoFolderChanged() {
  if (OnFolderChanged) OnFolderChanged(this);
}
void TPTFrmOpenDlg::DoSelectionChanged() {
  if (OnSelectionChanged) OnSelectionChanged(this);
}
void TPTFrmOpenDlg::DoTypeChanged() {
  if (OnTypeChanged) OnTypeChanged(this);
}

void TPTFrmOpenDlg::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (e->spontaneous() || ShownValue) return;
  try {
    DoShow();
  } catch (...) {
    HandleApplicationException(std::current_exception());
  }
}

void TPTFrmOpenDlg::hideEvent(QHideEvent* e) {
  QDialog::hideEvent(e);
  if (e->spontaneous() || !ShownValue) return;
  ShownValue = false;
  DoFormClose();
}

void TPTFrmOpenDlg::resizeEvent(QResizeEvent* e) {
  QDialog::resizeEvent(e);
  FormResize();
}

void TPTFrmOpenDlg::DoShow() {
  ChangeOverrideCursor(Qt::WaitCursor);
  if (!(OptionsValue & ptofAllowTree) && !ShowTreeBtn->isHidden()) {
    ShowTreeBtn->hide();
    const int shift = ListBtn->x() - ShowTreeBtn->x();
    ListBtn->move(ListBtn->x() - shift, ListBtn->y());
    DetailsBtn->move(DetailsBtn->x() - shift, DetailsBtn->y());
  }
  int bottom = 0;
  for (QWidget* w : Panel1->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
    if (!w->isHidden()) bottom = std::max(bottom, w->geometry().bottom() + 1);
  Panel1->setGeometry(0, height() - (bottom + 4), width(), bottom + 4);
  SetCaptions();
  FormResize();
  ShowTree((OptionsValue & ptofAllowTree) && (OptionsValue & ptofShowTree));
  QString start = InitialDirValue;
  if (start.isEmpty()) {
    const QString text = FileNameEdt->text();
    if (text.contains(QLatin1Char('/')) && !text.contains(QLatin1Char('"'))) {
      const QString full = CombinePath(QDir::currentPath(), text, QDir::homePath());
      start = FolderPart(full);
      if (!NamePart(full).isEmpty()) FileNameEdt->setText(NamePart(full));
    }
  }
  if (start.isEmpty()) start = QDir::currentPath();
  PTShellCombo1->Folder().SetPath(start.toStdString());
  NamesFromList = true;
  ShownValue = true;
  EverShown = true;
  DoFormShow();
  ChangeOverrideCursor(Qt::ArrowCursor);
}

void TPTFrmOpenDlg::SetCaptions() {
  const bool hints = OptionsValue & ptofShowHints;
  CancelBtn->setText(QStringLiteral("Cancel"));
  HelpBtn->setText(QStringLiteral("&Help"));
  SetHint(UpOneLevelBtn, QStringLiteral("Up One Level"), hints);
  SetHint(CreateNewFolderBtn, QStringLiteral("Create New Folder"), hints);
  SetHint(ShowDesktopBtn, QStringLiteral("Show Desktop"), hints);
  SetHint(ListBtn, QStringLiteral("List|Displays items in a list."), hints);
  SetHint(DetailsBtn, QStringLiteral("Details|Displays information about each item in the window."), hints);
  SetHint(ShowTreeBtn, QStringLiteral("Show Tree (F12)"), hints);
  ReadOnlyChk->setText(QStringLiteral("Open as &read-only"));
  FileNameTxt->setText(QStringLiteral("File &name:"));
  View1Mitm->setText(QStringLiteral("&View"));
  LargeIcons1Mitm->setText(QStringLiteral("Lar&ge Icons"));
  Smallicons1MItm->setText(QStringLiteral("S&mall Icons"));
  List1Mitm->setText(QStringLiteral("&List"));
  Details1Mitm->setText(QStringLiteral("&Details"));
  Paste1Mitm->setText(QStringLiteral("&Paste"));
  New1Mitm->setText(QStringLiteral("Ne&w"));
  Folder1Mitm->setText(QStringLiteral("&Folder"));
  Properties1Mitm->setText(QStringLiteral("P&roperties"));
  SetHint(View1Mitm, QStringLiteral("Contains commands for customizing this window."));
  SetHint(LargeIcons1Mitm, QStringLiteral("Displays items by using large icons."));
  SetHint(Smallicons1MItm, QStringLiteral("Displays items by using small icons."));
  SetHint(List1Mitm, QStringLiteral("Displays items in a list."));
  SetHint(Details1Mitm, QStringLiteral("Displays information about each item in the window."));
  SetHint(Paste1Mitm, QStringLiteral("Inserts the items you have copied or cut into the selected location."));
  SetHint(New1Mitm, QStringLiteral("Contains commands for creating new items."));
  SetHint(Folder1Mitm, QStringLiteral("Creates a new, empty folder."));
  SetHint(Properties1Mitm, QStringLiteral("Displays the properties of the selected items."));
  for (QLabel* l : {FileNameTxt, FilesOfTypeTxt, LookInTxt}) l->adjustSize();
  const int x = std::max(FileNameTxt->geometry().right(), FilesOfTypeTxt->geometry().right()) + 1 + 8;
  for (QWidget* w : std::initializer_list<QWidget*>{FileTypesCbx, FileNameEdt, FileNameCbx, ReadOnlyChk})
    SetRightKeepingLeft(w, x);
  SetRightKeepingLeft(PTShellCombo1, LookInTxt->geometry().right() + 1 + 8);
  // At least as wide as the longest file type and the buttons need in the user's font.
  int buttons = OpenBtn->width();
  for (QPushButton* b : {OpenBtn, CancelBtn, HelpBtn}) buttons = std::max(buttons, b->sizeHint().width());
  for (QPushButton* b : {OpenBtn, CancelBtn, HelpBtn}) b->resize(buttons, b->height());
  const int wide = x + FileTypesCbx->sizeHint().width() + 8 + buttons + 16;
  if (wide > minimumWidth()) setMinimumWidth(wide);
  if (width() < minimumWidth()) resize(minimumWidth(), height());
}

void TPTFrmOpenDlg::FormResize() {
  const int w = width(), h = height();
  Panel1->setGeometry(0, h - Panel1->height(), w, Panel1->height());
  const int top = PTShellCombo1->geometry().bottom() + 1 + 4;
  SplitterContainer->setGeometry(4, top, w - 8, std::max(0, Panel1->y() - top));
  PTSplitter1->setGeometry(SplitterContainer->contentsRect());
  const int x = w - OpenBtn->width() - 16;
  for (QWidget* b : std::initializer_list<QWidget*>{OpenBtn, CancelBtn, HelpBtn}) b->move(x, b->y());
  for (QWidget* e : std::initializer_list<QWidget*>{FileNameCbx, FileNameEdt, FileTypesCbx})
    e->resize(std::max(0, x - e->x() - 8), e->height());
  SizeGrip->move(w - 13, h - 13);
  SizeGrip->raise();
}

bool TPTFrmOpenDlg::TreeShown() const {
  return PTShellCombo1->ShellTree() == PTShellTree1 && PTSplitter1->Position() > -PTSplitter1->SplitterWidth();
}

void TPTFrmOpenDlg::ShowTree(bool show) {
  const int bar = PTSplitter1->SplitterWidth();
  if (show) {
    if (TreeShown()) return;
    ShowTreeBtn->setChecked(true);
    try {
      if (PTShellCombo1->ShellTree() == PTShellTree1) {
        PTShellTree1->SetShellList(PTShellList1);
        PTShellCombo1->SetShellTree(PTShellTree1);
      } else {
        TWaitCursorScope wait;
        PTShellTree1->SetCurrentFolderFrom(&PTShellCombo1->Folder());
        PTShellCombo1->SetShellList(nullptr);
        PTShellCombo1->SetShellTree(PTShellTree1);
        PTShellTree1->SetShellList(PTShellList1);
        PTSplitter1->SetPane1MinSize(4);
      }
    } catch (...) {
      ShowTreeBtn->setChecked(false);
      throw;
    }
    const int position = PTSplitter1->Position();
    PTSplitter1->SetPosition(position < 0 ? 200 : position);
    OptionsValue |= ptofShowTree;
    PTShellTree1->setFocusPolicy(Qt::StrongFocus);
  } else {
    ShowTreeBtn->setChecked(false);
    if (PTShellTree1->hasFocus()) PTShellList1->SetFocusToList();
    PTShellTree1->setFocusPolicy(Qt::NoFocus);
    PTShellTree1->SetShellList(nullptr);
    PTShellCombo1->SetShellTree(nullptr);
    PTShellCombo1->SetShellList(PTShellList1);
    PTSplitter1->SetPane1MinSize(-bar);
    PTSplitter1->SetPosition(-bar);
    OptionsValue &= ~ptofShowTree;
  }
  if (PTShellList1->isVisible() && (PTShellList1->Options() & ptsloHideFoldersWhenLinkedToTree))
    PTShellList1->Refresh();
}

void TPTFrmOpenDlg::ViewBtnClick(QObject* sender) {
  const int tag = sender->property("Tag").toInt();
  PTShellList1->SetViewStyle(static_cast<TViewStyle>(tag));
  ListBtn->setChecked(tag == 2);
  DetailsBtn->setChecked(tag == 3);
  for (QAction* a : {LargeIcons1Mitm, Smallicons1MItm, List1Mitm, Details1Mitm})
    a->setChecked(a->property("Tag").toInt() == tag);
}

void TPTFrmOpenDlg::UpOneLevelBtnClick() { PTShellCombo1->GoUp(1); }

void TPTFrmOpenDlg::ShowDesktopBtnClick() { PTShellList1->Folder().Reset(); }

void TPTFrmOpenDlg::CreateNewFolderBtnClick() {
  const bool inTree =
      PTShellTree1->hasFocus() || (TreeShown() && (OptionsValue & ptofHideFoldersInListWhenTreeVisible));
  if (inTree)
    PTShellTree1->CreateFolder();
  else
    PTShellList1->CreateNewFolder(true);
}

void TPTFrmOpenDlg::HelpBtnClick() {
  bool callHelp = true;
  if (OnHelp) OnHelp(HELP_CONTEXT, HelpContext, callHelp);
}

bool TPTFrmOpenDlg::FormKeyDown(int key, Qt::KeyboardModifiers modifiers) {
  if (modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) return false;
  switch (key) {
    case Qt::Key_F4: {
      if (QWidget* popup = PTShellCombo1->view()->window(); popup && popup->isVisible()) {
        const int highlighted = PTShellCombo1->view()->currentIndex().row();
        PTShellCombo1->hidePopup();
        PTShellList1->SetFocusToList();
        if (highlighted >= 0) {
          PTShellCombo1->setCurrentIndex(highlighted);
          emit PTShellCombo1->activated(highlighted);
        }
      } else {
        PTShellCombo1->setFocus();
        PTShellCombo1->showPopup();
      }
      return true;
    }
    case Qt::Key_F5:
      if (!PTShellCombo1->hasFocus()) PTShellCombo1->Refresh();
      if (!PTShellList1->Focused()) PTShellList1->Refresh();
      if (PTShellTree1->ShellList() && !PTShellTree1->hasFocus()) PTShellTree1->Refresh();
      return true;
    case Qt::Key_F12:
      if (OptionsValue & ptofAllowTree) ShowTree(!TreeShown());
      return true;
    default:
      return false;
  }
}

void TPTFrmOpenDlg::PTShellList1Change() {
  if (!ShownValue) return;
  std::vector<TPTShListData*> files;
  for (TPTListItem* item : PTShellList1->SelectedItems())
    if (TPTShListData* d = PTShellList1->GetDataOf(item); d && !d->IsFolder()) files.push_back(d);
  if (files.size() > 1) {
    QStringList quoted;
    for (TPTShListData* d : files)
      quoted << QLatin1Char('"') + QString::fromStdString(d->GetFileName()) + QLatin1Char('"');
    FileNameEdt->setText(quoted.join(QLatin1Char(' ')));
  } else if (files.size() == 1) {
    FileNameEdt->setText(files.front()->GetDisplayName());
  }
  NamesFromList = true;
  DoSelectionChanged();
}

void TPTFrmOpenDlg::PTShellTree1Change(TPTTreeNode* node) {
  // Only a folder the user picks in the tree clears the name: the tree's own first fill after
  // the form shows, and folders chosen elsewhere, keep the name the caller or the user put in.
  if (ShownValue && node && PTShellTree1->hasFocus()) FileNameEdt->clear();
}

void TPTFrmOpenDlg::FileNameEdtChange() {
  if (ShownValue) NamesFromList = false;
}

QString TPTFrmOpenDlg::SelectedMask() const {
  const int i = FileTypesCbx->currentIndex();
  return i >= 0 ? FileTypesCbx->itemData(i).toString() : QString();
}

void TPTFrmOpenDlg::FileTypesCbxSelEndOk() {
  if (!TypedMask.isEmpty()) FileNameEdt->clear();
  TypedMask.clear();
  PTShellList1->SetFileFilter(SelectedMask());
  if (ShownValue) DoTypeChanged();
}

QString TPTFrmOpenDlg::ListFolder() const { return QString::fromStdString(PTShellList1->FolderPath()); }

bool TPTFrmOpenDlg::NavigateTo(const QString& folder) {
  try {
    PTShellCombo1->Folder().SetPath(folder.toStdString());
    PTShellCombo1->SettlePending();
    return true;
  } catch (const std::exception& e) {
    Message(QString::fromStdString(e.what()), 1, mbsOK);
    return false;
  }
}

int TPTFrmOpenDlg::Message(const QString& text, int type, int buttons) {
  return DialogMessage(this, windowTitle(), text, type, buttons);
}

bool TPTFrmOpenDlg::FormCloseQuery() {
  const QString text = FileNameEdt->text();
  const QString home = QDir::homePath();
  if (!text.contains(QLatin1Char('"')) && HasWildcard(NamePart(text))) {
    // A typed mask filters the list instead of closing.
    const qsizetype slash = text.lastIndexOf(QLatin1Char('/'));
    if (slash >= 0) {
      const QString dir = CombinePath(ListFolder(), text.left(slash + 1), home);
      if (!dir.isEmpty() && QFileInfo(dir).isDir()) NavigateTo(dir);
    }
    const QString mask = NamePart(text);
    FileNameEdt->setText(mask);
    TypedMask = mask;
    PTShellList1->SetFileFilter(mask);
    FileNameEdt->selectAll();
    FileNameEdt->setFocus();
    return false;
  }
  if (!ValidateText(text)) return false;
  if (!(OptionsValue & ptofNoChangeDir)) {
    const QString folder = ListFolder();
    if (!folder.isEmpty()) QDir::setCurrent(folder);
  }
  return true;
}

bool TPTFrmOpenDlg::ValidateText(const QString& text) {
  ValidFiles.clear();
  const QStringList names = SplitFileNames(text, (OptionsValue & ptofAllowMultiselect) != 0);
  const QString home = QDir::homePath();
  bool ok = true;
  for (const QString& name : names) {
    // What the file system cannot take is refused whatever the options say.
    if (!IsAcceptableFileName(text)) {
      Message(text + QStringLiteral("\nThe above file name is invalid."), 0, mbsOK);
      ok = false;
      break;
    }
    QString full = CombinePath(ListFolder(), name, home);
    if (full.isEmpty()) continue;
    if (QFileInfo(full).isDir()) {
      NavigateTo(full);
      FileNameEdt->selectAll();
      ok = false;
      break;
    }
    if (!(OptionsValue & ptofNoDereferenceLinks) && full.endsWith(QLatin1String(".desktop"), Qt::CaseInsensitive)) {
      TLinkData link;
      if (SUCCEEDED(ReadShellLink(full.toStdString(), link, false)) && !link.Path.empty())
        full = QString::fromStdString(link.Path);
    }
    if (names.size() == 1) {
      TPTShListData* selected = PTShellList1->GetSelectedData();
      if (NamesFromList && selected && !selected->IsFolder()) {
        full = PathText(selected->GetPath());
      } else {
        const TDefaultExtResult r = ApplyDefaultExt(full, DefaultExt, SelectedMask());
        full = r.Path;
        if (r.ExtensionDifferent == 1) OptionsValue |= ptofExtensionDifferent;
        if (r.ExtensionDifferent == 0) OptionsValue &= ~ptofExtensionDifferent;
        const QString dir = FolderPart(full);
        if (dir != ListFolder() && QFileInfo(dir).isDir()) NavigateTo(dir);
        if (dir == ListFolder()) {
          // An exact caption wins; otherwise one that differs only in case, if it is alone.
          const QString want = NamePart(full);
          TPTListItem* exact = nullptr;
          std::vector<TPTListItem*> loose;
          for (int i = 0; i < PTShellList1->ItemCount() && !exact; ++i) {
            TPTListItem* item = PTShellList1->Item(i);
            TPTShListData* d = PTShellList1->GetDataOf(item);
            if (!d || d->IsFolder()) continue;
            const QString caption = PTShellList1->ItemCaption(item);
            if (caption == want)
              exact = item;
            else if (caption.compare(want, Qt::CaseInsensitive) == 0)
              loose.push_back(item);
          }
          if (!exact && loose.size() > 1) {
            Message(QStringLiteral("More than one file has the name '%1'.\n\nChoose one from the list of files.")
                        .arg(want),
                    0, mbsOK);
            PTShellList1->ClearSelection();
            PTShellList1->SetSelected(loose.front(), true);
            PTShellList1->SetItemFocused(loose.front());
            PTShellList1->MakeVisible(loose.front());
            PTShellList1->SetFocusToList();
            ok = false;
            break;
          }
          TPTListItem* match = exact ? exact : loose.size() == 1 ? loose.front() : nullptr;
          if (match) full = PathText(PTShellList1->GetDataOf(match)->GetPath());
        }
      }
    }
    if (Undecodable(full)) {
      Message(full + QStringLiteral("\nThe name of this file is not valid UTF-8 text, so it cannot be chosen here.\n"
                                    "Please rename the file."),
              0, mbsOK);
      ok = false;
      break;
    }
    if (!CheckFile(full)) {
      ok = false;
      break;
    }
    ValidFiles << full;
  }
  if (!ok) ValidFiles.clear();
  return ok && !ValidFiles.isEmpty();
}

bool TPTFrmOpenDlg::CheckFile(const QString& full) {
  const QFileInfo info(full);
  if (info.exists() || info.isSymLink()) {
    if (!info.isWritable() && (OptionsValue & ptofNoReadOnlyReturn)) {
      Message(full + QStringLiteral("\nThis file exists with Read Only attributes.\nPlease use a different file name."),
              0, mbsOK);
      return false;
    }
    if (OptionsValue & ptofOverwritePrompt)
      return Message(full + QStringLiteral(" already exists.\nDo you want to replace it?"), 0, mbsYesNo) == mbYes;
    return true;
  }
  if (OptionsValue & ptofFileMustExist) {
    Message(full + QStringLiteral("\nFile not found.\nPlease verify the correct file name was given."), 0, mbsOK);
    return false;
  }
  if (OptionsValue & ptofCreatePrompt)
    return Message(NamePart(full) + QStringLiteral("\nThis file does not exist.\n\nCreate the file?"), 3,
                   mbsYesNo) == mbYes;
  return true;
}

void TPTFrmOpenDlg::done(int result) {
  if (result == QDialog::Accepted) {
    bool close = false;
    try {
      close = FormCloseQuery();
    } catch (...) {
      ValidFiles.clear();
      HandleApplicationException(std::current_exception());
    }
    if (!close) return;
  }
  QDialog::done(result);
}

}  // namespace ptshell
