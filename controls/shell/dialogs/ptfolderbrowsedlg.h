// The folder-browse dialog: TPTFrmFolderBrowseDlg, a modal form with a folder
// tree, a status line and optional buttons to create and delete folders, and
// the component TPTFolderBrowseDlg that runs it and keeps the chosen folder.
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>

#include "controls/shell/dialogs/ptdialog.h"
#include "controls/shell/widgets/ptshelltree.h"
#include "controls/shell/shell_locator.h"

class QPushButton;
class QSizeGrip;
class QToolButton;
class TPTFrame;

namespace ptshell {

using TPTFolderBrowseDlgOptions = uint16_t;
inline constexpr TPTFolderBrowseDlgOptions ptfbCreateDeleteButtons = 1 << 0, ptfbContextMenus = 1 << 1,
                                           ptfbReadOnly = 1 << 2, ptfbIncludeNonFolders = 1 << 3,
                                           ptfbOleDrag = 1 << 4, ptfbOleDrop = 1 << 5,
                                           ptfbCreateFolderIcon = 1 << 6, ptfbDeleteFolderIcon = 1 << 7,
                                           ptfbVirtualFolders = 1 << 8, ptfbShowHidden = 1 << 9;
inline constexpr TPTFolderBrowseDlgOptions kFolderBrowseDefaultOptions = 0x2C2;

// (the form, the absolute PIDL of the folder now selected)
using TPTFolderBrowseSelChangeEvent = std::function<void(QObject* sender, PCItemIDList absolute)>;

class TPTFrmFolderBrowseDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TPTFrmFolderBrowseDlg(QWidget* parent = nullptr);

  TPTFolderBrowseDlgOptions Options() const { return OptionsValue; }
  void SetOptions(TPTFolderBrowseDlgOptions value);
  void SetCaptions();
  void CreateBtnClick();
  void DeleteBtnClick();

  TPTFolderBrowseSelChangeEvent OnSelChange;
  TNotifyEvent OnFormShow, OnFormClose;

  TPTFrame* StatusTxt;
  QToolButton *CreateNewFolderBtn, *DeleteFolderBtn;
  TPTShellTree* PTShellTree1;
  QWidget* ButtonPanel;
  QPushButton *OkBtn, *CancelBtn, *CreateBtn, *DeleteBtn;

 protected:
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  void FormResize();
  void PTShellTree1Change(TPTTreeNode* node);

  TPTFolderBrowseDlgOptions OptionsValue = 0;
  bool AutoFillHeld = false;
  bool ShownValue = false;
  QSizeGrip* SizeGrip;
};

class TPTCustomFolderBrowseDlg : public TPTDialog {
 public:
  TPTCustomFolderBrowseDlg() = default;

  TPTShellLocator& BaseFolder() { return BaseFolderValue; }
  void SetBaseFolder(const TPTShellLocator* value) { BaseFolderValue.Assign(value); }
  TPTShellLocator& SelectedFolder() { return SelectedFolderValue; }
  // Empty for a folder outside the file system.
  QString SelectedPath();
  void SetSelectedPath(const QString& path);
  TPTFrmFolderBrowseDlg* Form() const { return FormValue; }

  TPTFolderBrowseDlgOptions Options = kFolderBrowseDefaultOptions;
  QString StatusText;
  TPTShAddItemEvent OnAddItem;
  TPTFolderBrowseSelChangeEvent OnSelChange;
  decltype(TPTCustomShellTree::OnCustomDrawSh) OnTvCustomDrawSh, OnTvCustomDrawShEx;

 protected:
  bool DoExecute() override;
  virtual TPTFrmFolderBrowseDlg* CreateForm();
  virtual void ApplySettings(TPTFrmFolderBrowseDlg* form);
  virtual void ReadResults(TPTFrmFolderBrowseDlg* form, bool confirmed);

 private:
  TPTShellLocator BaseFolderValue;
  TPTShellLocator SelectedFolderValue;
  TPTFrmFolderBrowseDlg* FormValue = nullptr;
};

class TPTFolderBrowseDlg : public TPTCustomFolderBrowseDlg {
 public:
  QString ClassName() const override { return QStringLiteral("TPTFolderBrowseDlg"); }
};

}  // namespace ptshell
