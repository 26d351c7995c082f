#include "controls/shell/dialogs/ptopendlg.h"

#include <QLabel>
#include <QPushButton>

namespace ptshell {

TPTFileDlg::TPTFileDlg() = default;
TPTFileDlg::~TPTFileDlg() = default;

TPTOpenOptions TPTFileDlg::Options() const { return OptionsValue; }

void TPTFileDlg::SetOptions(TPTOpenOptions value) {
  OptionsValue = value;
  if (FormValue) FormValue->SetOptions(value);
}

void TPTFileDlg::SetFilter(const QString& value) {
  FilterValue = value;
  if (FormValue) FormValue->SetFilter(value);
}

int TPTFileDlg::FilterIndex() const { return FormValue ? FormValue->FilterIndex() : FilterIndexValue; }

void TPTFileDlg::SetFilterIndex(int value) {
  FilterIndexValue = value;
  if (FormValue) FormValue->SetFilterIndex(value);
}

int TPTFileDlg::FormSplitterPos() const { return FormSplitterPosValue; }

void TPTFileDlg::SetFormSplitterPos(int value) {
  FormSplitterPosValue = value;
  if (FormValue) FormValue->SetSplitterPos(value);
}

QString TPTFileDlg::FileName() const {
  if (FormValue) return FormValue->FileName();
  return FilesValue.isEmpty() ? QString() : FilesValue.first();
}

void TPTFileDlg::SetFileName(const QString& value) {
  FilesValue.clear();
  FilesValue << value;
  if (FormValue) FormValue->SetFileName(value);
}

void TPTFileDlg::SetOnAddListItem(TPTShAddItemEvent e) {
  OnAddListItem = std::move(e);
  if (FormValue) FormValue->PTShellList1->OnAddItem = OnAddListItem;
}

void TPTFileDlg::SetOnAddTreeItem(TPTShAddItemEvent e) {
  OnAddTreeItem = std::move(e);
  if (FormValue) FormValue->PTShellTree1->OnAddItem = OnAddTreeItem;
}

void TPTFileDlg::SaveFormState(QIODevice& stream) const {
  TPTDialog::SaveFormState(stream);
  WriteU8(stream, OptionsValue & ptofShowTree ? 1 : 0);
  WriteI32(stream, FormSplitterPosValue);
}

void TPTFileDlg::LoadFormState(QIODevice& stream) {
  TPTDialog::LoadFormState(stream);
  uint8_t tree;
  int32_t position;
  if (!ReadU8(stream, tree)) return;
  OptionsValue = tree ? OptionsValue | ptofShowTree : OptionsValue & ~ptofShowTree;
  if (ReadI32(stream, position)) FormSplitterPosValue = position;
}

TPTFrmOpenDlg* TPTFileDlg::CreateForm() { return new TPTFrmOpenDlg(nullptr); }

bool TPTFileDlg::DoExecute() {
  return RunForm(
      FormValue, (Name.isEmpty() ? ClassName() : Name) + QStringLiteral(" already executing"),
      [this] { return CreateForm(); }, [this](TPTFrmOpenDlg* form) { ApplySettings(form); },
      [this](TPTFrmOpenDlg* form, bool) { ReadResults(form); });
}

void TPTFileDlg::ApplySettings(TPTFrmOpenDlg* form) {
  form->PTShellList1->OnAddItem = OnAddListItem;
  form->PTShellTree1->OnAddItem = OnAddTreeItem;
  form->PTShellList1->OnCustomDrawSh = OnLvCustomDrawSh;
  form->PTShellList1->OnCustomDrawShEx = OnLvCustomDrawShEx;
  form->PTShellTree1->OnCustomDrawSh = OnTvCustomDrawSh;
  form->PTShellTree1->OnCustomDrawShEx = OnTvCustomDrawShEx;
  form->OnFormClose = OnFormClose;
  form->OnFormShow = OnFormShow;
  form->OnTypeChanged = OnTypeChanged;
  form->OnFolderChanged = OnFolderChanged;
  form->OnSelectionChanged = OnSelectionChanged;
  form->SetInitialDir(InitialDir);
  form->SetFileName(FileName());
  form->DefaultExt = DefaultExt;
  form->SetOptions(OptionsValue);
  ApplyFormGeometry(form);
  form->SetFilter(FilterValue);
  form->SetFilterIndex(FilterIndexValue);
  form->SetSplitterPos(FormSplitterPosValue);
  form->LookInTxt->setText(QStringLiteral("Look &in:"));
  form->FilesOfTypeTxt->setText(QStringLiteral("Files of &type:"));
  form->HelpContext = static_cast<int>(HelpContext);
  form->OnHelp = OnHelp;
}

void TPTFileDlg::ReadResults(TPTFrmOpenDlg* form) {
  OptionsValue = form->Options();
  FilesValue = form->Files();
  ReadFormGeometry(form);
  FilterIndexValue = form->FilterIndex();
  FormSplitterPosValue = form->SplitterPos();
}

void TPTCustomOpenDlg::ApplySettings(TPTFrmOpenDlg* form) {
  TPTFileDlg::ApplySettings(form);
  form->setWindowTitle(Title.isEmpty() ? QStringLiteral("Open") : Title);
  form->OpenBtn->setText(QStringLiteral("&Open"));
}

void TPTCustomSaveDlg::ApplySettings(TPTFrmOpenDlg* form) {
  TPTFileDlg::ApplySettings(form);
  form->setWindowTitle(Title.isEmpty() ? QStringLiteral("Save As") : Title);
  form->OpenBtn->setText(QStringLiteral("&Save"));
}

}  // namespace ptshell
