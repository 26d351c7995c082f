#include "controls/shell/dialogs/ptfolderbrowsedlg.h"

#include <QApplication>
#include <QPushButton>
#include <QShowEvent>
#include <QSizeGrip>
#include <QStyle>
#include <QToolButton>

#include "controls/ptframe.h"

namespace ptshell {

namespace {

template <class T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(QLatin1String(name));
  return widget;
}

void SetHint(QWidget* w, const QString& hint) {
  w->setToolTip(hint.section(QLatin1Char('|'), 0, 0));
  w->setStatusTip(hint.section(QLatin1Char('|'), -1));
}

}  // namespace

TPTFrmFolderBrowseDlg::TPTFrmFolderBrowseDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("PTFrmFolderBrowseDlg"));
  setWindowFlags(Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
  setMinimumSize(358, 313);
  resize(358, 313);

  StatusTxt = Named(new TPTFrame(this), "StatusTxt");
  StatusTxt->setGeometry(8, 8, 281, 17);
  StatusTxt->SetAlignment(Qt::AlignLeft);
  StatusTxt->SetFrameSpace(0);
  StatusTxt->SetFrameStyle(ptfsNone);
  CreateNewFolderBtn = Named(new QToolButton(this), "CreateNewFolderBtn");
  CreateNewFolderBtn->setGeometry(295, 3, 23, 22);
  CreateNewFolderBtn->setIcon(style()->standardIcon(QStyle::SP_FileDialogNewFolder));
  CreateNewFolderBtn->setAutoRaise(true);
  DeleteFolderBtn = Named(new QToolButton(this), "DeleteFolderBtn");
  DeleteFolderBtn->setGeometry(325, 3, 23, 22);
  DeleteFolderBtn->setIcon(style()->standardIcon(QStyle::SP_TrashIcon));
  DeleteFolderBtn->setAutoRaise(true);

  PTShellTree1 = Named(new TPTShellTree(this), "PTShellTree1");
  PTShellTree1->setGeometry(8, 28, 341, 245);
  // Filling waits for the settings: the option comes back when the form is shown.
  PTShellTree1->SetOptions(ptstoVirtualFolders | ptstoDesignInteractive | ptstoContextMenus | ptstoDynamicRefresh);
  AutoFillHeld = true;
  PTShellTree1->setRootIsDecorated(true);
  PTShellTree1->setIndentation(19);

  ButtonPanel = Named(new QWidget(this), "ButtonPanel");
  ButtonPanel->setGeometry(0, height() - 35, width(), 35);
  OkBtn = Named(new QPushButton(QStringLiteral("OK"), ButtonPanel), "OkBtn");
  OkBtn->setGeometry(12, 6, 75, 23);
  OkBtn->setDefault(true);
  CancelBtn = Named(new QPushButton(QStringLiteral("Cancel"), ButtonPanel), "CancelBtn");
  CancelBtn->setGeometry(92, 6, 75, 23);
  CreateBtn = Named(new QPushButton(QStringLiteral("&Create..."), ButtonPanel), "CreateBtn");
  CreateBtn->setGeometry(186, 6, 75, 23);
  DeleteBtn = Named(new QPushButton(QStringLiteral("&Delete..."), ButtonPanel), "DeleteBtn");
  DeleteBtn->setGeometry(266, 6, 75, 23);
  SizeGrip = Named(new QSizeGrip(this), "SizeGrip");
  SizeGrip->resize(13, 13);

  connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(CreateBtn, &QPushButton::clicked, this, [this] { CreateBtnClick(); });
  connect(CreateNewFolderBtn, &QToolButton::clicked, this, [this] { CreateBtnClick(); });
  connect(DeleteBtn, &QPushButton::clicked, this, [this] { DeleteBtnClick(); });
  connect(DeleteFolderBtn, &QToolButton::clicked, this, [this] { DeleteBtnClick(); });
  PTShellTree1->OnChange = [this](TPTCustomShellTree*, TPTTreeNode* node) { PTShellTree1Change(node); };
  FormResize();
}

void TPTFrmFolderBrowseDlg::SetOptions(TPTFolderBrowseDlgOptions value) {
  OptionsValue = value;
  TPTShellTreeOptions to = PTShellTree1->Options() & ~(ptstoContextMenus | ptstoIncludeNonFolders | ptstoOleDrag |
                                                       ptstoOleDrop | ptstoVirtualFolders | ptstoShowHidden);
  if (value & ptfbContextMenus) to |= ptstoContextMenus;
  if (value & ptfbIncludeNonFolders) to |= ptstoIncludeNonFolders;
  if (value & ptfbOleDrag) to |= ptstoOleDrag;
  if (value & ptfbOleDrop) to |= ptstoOleDrop;
  if (value & ptfbVirtualFolders) to |= ptstoVirtualFolders;
  if (value & ptfbShowHidden) to |= ptstoShowHidden;
  PTShellTree1->SetOptions(to);
  CreateBtn->setVisible(value & ptfbCreateDeleteButtons);
  DeleteBtn->setVisible(value & ptfbCreateDeleteButtons);
  CreateNewFolderBtn->setVisible(value & ptfbCreateFolderIcon);
  DeleteFolderBtn->setVisible(value & ptfbDeleteFolderIcon);
  PTShellTree1->ReadOnly = value & ptfbReadOnly;
  FormResize();
}

void TPTFrmFolderBrowseDlg::SetCaptions() {
  OkBtn->setText(QStringLiteral("OK"));
  CancelBtn->setText(QStringLiteral("Cancel"));
  SetHint(CreateNewFolderBtn, QStringLiteral("Create Folder|Creates a new, empty folder."));
  SetHint(DeleteFolderBtn, QStringLiteral("Delete|Deletes the selected items."));
  if (windowTitle().isEmpty()) setWindowTitle(QStringLiteral("Browse for Folder"));
}

void TPTFrmFolderBrowseDlg::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (e->spontaneous() || ShownValue) return;
  if (AutoFillHeld) {
    AutoFillHeld = false;
    PTShellTree1->SetOptions(PTShellTree1->Options() | ptstoAutoFill);
    try {
      PTShellTree1->Fill();
    } catch (...) {
      HandleApplicationException(std::current_exception());
    }
  }
  SetCaptions();
  ShownValue = true;
  if (QApplication::overrideCursor()) QApplication::changeOverrideCursor(Qt::ArrowCursor);
  if (OnFormShow) OnFormShow(this);
}

void TPTFrmFolderBrowseDlg::hideEvent(QHideEvent* e) {
  QDialog::hideEvent(e);
  if (e->spontaneous() || !ShownValue) return;
  ShownValue = false;
  if (OnFormClose) OnFormClose(this);
}

void TPTFrmFolderBrowseDlg::resizeEvent(QResizeEvent* e) {
  QDialog::resizeEvent(e);
  FormResize();
}

void TPTFrmFolderBrowseDlg::FormResize() {
  const int w = width(), h = height();
  ButtonPanel->setGeometry(0, h - ButtonPanel->height(), w, ButtonPanel->height());
  StatusTxt->resize(w - 24, StatusTxt->height());
  const int top = StatusTxt->geometry().bottom() + 1 + 8;
  PTShellTree1->setGeometry(PTShellTree1->x(), top, w - 24 - 0, std::max(0, ButtonPanel->y() - 8 - top));
  if (OptionsValue & ptfbCreateDeleteButtons) {
    OkBtn->move(PTShellTree1->x(), OkBtn->y());
    CancelBtn->move(OkBtn->geometry().right() + 1 + 4, CancelBtn->y());
  } else {
    CancelBtn->move(w - CancelBtn->width() - 16, CancelBtn->y());
    OkBtn->move(CancelBtn->x() - 4 - OkBtn->width(), OkBtn->y());
  }
  int x = w - 16;
  if (!DeleteFolderBtn->isHidden()) {
    DeleteFolderBtn->move(x - DeleteFolderBtn->width(), DeleteFolderBtn->y());
    x = DeleteFolderBtn->x() - 8;
  }
  if (!CreateNewFolderBtn->isHidden()) {
    CreateNewFolderBtn->move(x - CreateNewFolderBtn->width(), CreateNewFolderBtn->y());
    x = CreateNewFolderBtn->x() - 4;
  }
  StatusTxt->resize(std::max(0, x - StatusTxt->x()), StatusTxt->height());
  SizeGrip->move(w - 13, h - 13);
  SizeGrip->raise();
}

void TPTFrmFolderBrowseDlg::PTShellTree1Change(TPTTreeNode* node) {
  TPTShTreeData* data = PTShellTree1->NodeData(node);
  if (!data) return;
  const bool onDisk = !data->GetPath().empty();
  CreateBtn->setEnabled(onDisk);
  CreateNewFolderBtn->setEnabled(onDisk);
  const bool deletable = onDisk && node != PTShellTree1->TopNode();
  DeleteBtn->setEnabled(deletable);
  DeleteFolderBtn->setEnabled(deletable);
  if (OnSelChange) OnSelChange(this, data->GetAbsolutePidl());
}

void TPTFrmFolderBrowseDlg::CreateBtnClick() {
  if (!PTShellTree1->Selected()) return;
  try {
    PTShellTree1->CreateFolder();
  } catch (...) {
    HandleApplicationException(std::current_exception());
  }
}

void TPTFrmFolderBrowseDlg::DeleteBtnClick() {
  TPTTreeNode* node = PTShellTree1->Selected();
  // The root stays whatever the buttons' state says.
  if (!node || node == PTShellTree1->TopNode()) return;
  try {
    PTShellTree1->InvokeNodeVerb(node, "delete");
  } catch (...) {
    HandleApplicationException(std::current_exception());
  }
  PTShellTree1->Refresh();
}

// ---------------------------------------------------------------- the component

QString TPTCustomFolderBrowseDlg::SelectedPath() {
  return QString::fromStdString(SelectedFolderValue.GetPath());
}

void TPTCustomFolderBrowseDlg::SetSelectedPath(const QString& path) { SelectedFolderValue.SetPath(path.toStdString()); }

TPTFrmFolderBrowseDlg* TPTCustomFolderBrowseDlg::CreateForm() { return new TPTFrmFolderBrowseDlg(nullptr); }

bool TPTCustomFolderBrowseDlg::DoExecute() {
  return RunForm(
      FormValue, QStringLiteral("TPTFolderBrowseDlg form already active"), [this] { return CreateForm(); },
      [this](TPTFrmFolderBrowseDlg* form) { ApplySettings(form); },
      [this](TPTFrmFolderBrowseDlg* form, bool confirmed) { ReadResults(form, confirmed); });
}

void TPTCustomFolderBrowseDlg::ApplySettings(TPTFrmFolderBrowseDlg* form) {
  form->OnSelChange = OnSelChange;
  form->PTShellTree1->OnAddItem = OnAddItem;
  form->PTShellTree1->OnCustomDrawSh = OnTvCustomDrawSh;
  form->PTShellTree1->OnCustomDrawShEx = OnTvCustomDrawShEx;
  form->OnFormShow = OnFormShow;
  form->OnFormClose = OnFormClose;
  form->StatusTxt->SetCaption(StatusText);
  ApplyFormGeometry(form);
  form->SetOptions(Options);
  form->setWindowTitle(Title.isEmpty() ? QStringLiteral("Browse for Folder") : Title);
  form->PTShellTree1->SetBaseFolder(&BaseFolderValue);
  // Selected once the tree fills, when the form is shown.
  form->PTShellTree1->SetCurrentFolderFrom(&SelectedFolderValue);
}

void TPTCustomFolderBrowseDlg::ReadResults(TPTFrmFolderBrowseDlg* form, bool confirmed) {
  ReadFormGeometry(form);
  if (confirmed) SelectedFolderValue.Assign(&form->PTShellTree1->CurrentFolder());
}

}  // namespace ptshell
