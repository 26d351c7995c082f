// TPTFrmOpenDlg: the modal form behind the open and save dialogs, with a
// look-in combo, a folder tree and a file list in a splitter, a file-name box
// and a file-type combo. It turns what the user typed or picked into checked
// full paths and asks what its options call for. Widgets carry their component
// names as object names, so callers can reach into the running form from the
// dialog's OnInitialized (controls/shell/dialogs/ptopendlg.h).
#pragma once

#include <QDialog>
#include <QStringList>
#include <cstdint>
#include <functional>

#include "controls/shell/dialogs/ptdialog.h"
#include "controls/shell/widgets/ptshellcombo.h"
#include "controls/shell/widgets/ptshelllist.h"
#include "controls/shell/widgets/ptshelltree.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSizeGrip;
class QToolButton;
class TEnhCombo;
class TPTGroup;
class TPTSplitter;

namespace ptshell {

using TPTOpenOptions = uint32_t;
inline constexpr TPTOpenOptions ptofAllowMultiselect = 1u << 0, ptofCreatePrompt = 1u << 1,
                                ptofExtensionDifferent = 1u << 2, ptofFileMustExist = 1u << 3,
                                ptofHideReadOnly = 1u << 4, ptofNoChangeDir = 1u << 5,
                                ptofNoDereferenceLinks = 1u << 6, ptofNoReadOnlyReturn = 1u << 7,
                                ptofNoTestFileCreate = 1u << 8, ptofNoValidate = 1u << 9,
                                ptofOverwritePrompt = 1u << 10, ptofReadOnly = 1u << 11,
                                ptofPathMustExist = 1u << 12, ptofShareAware = 1u << 13,
                                ptofShowHelp = 1u << 14, ptofAllowTree = 1u << 15, ptofShowTree = 1u << 16,
                                ptofShowHints = 1u << 17, ptofHideFoldersInListWhenTreeVisible = 1u << 18,
                                ptofOleDrag = 1u << 19, ptofOleDrop = 1u << 20, ptofShowHidden = 1u << 21;

// Help requests: (command, data, call help); true when answered.
using THelpEvent = std::function<bool(uint16_t command, intptr_t data, bool& callHelp)>;
inline constexpr uint16_t HELP_CONTEXT = 1;

class TPTFrmOpenDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TPTFrmOpenDlg(QWidget* parent = nullptr);
  ~TPTFrmOpenDlg() override;

  // What the component sets and reads.
  TPTOpenOptions Options() const { return OptionsValue; }
  void SetOptions(TPTOpenOptions value);
  void SetFilter(const QString& filter);  // adds its types to those already there
  int FilterIndex() const;                // 1-based; 0 without types
  void SetFilterIndex(int index);
  int SplitterPos() const;
  void SetSplitterPos(int position);
  QString FileName() const;
  void SetFileName(const QString& name);
  const QStringList& Files() const { return ValidFiles; }
  QString InitialDir() const { return InitialDirValue; }
  void SetInitialDir(const QString& dir);
  QString DefaultExt;
  int HelpContext = 0;
  bool Shown() const { return ShownValue; }

  TNotifyEvent OnTypeChanged, OnFolderChanged, OnSelectionChanged, OnFormShow, OnFormClose;
  THelpEvent OnHelp;

  // The form's commands, as its buttons, menu and keys run them.
  void ShowTree(bool show);
  void ViewBtnClick(QObject* sender);
  void UpOneLevelBtnClick();
  void ShowDesktopBtnClick();
  void CreateNewFolderBtnClick();
  void HelpBtnClick();
  void FileTypesCbxSelEndOk();
  // Keys without Shift, Ctrl or Alt: F4 the look-in combo, F5 refresh, F12 tree.
  bool FormKeyDown(int key, Qt::KeyboardModifiers modifiers);
  // The close test of OK: false keeps the form open.
  bool FormCloseQuery();
  // Fills the validated list from a text; false (list empty) keeps the form open.
  bool ValidateText(const QString& text);
  void SetCaptions();

  // The widgets, by their component names.
  QLabel* LookInTxt;
  TPTShellCombo* PTShellCombo1;
  QToolButton *UpOneLevelBtn, *ShowDesktopBtn, *CreateNewFolderBtn, *ShowTreeBtn, *ListBtn, *DetailsBtn;
  TPTGroup* SplitterContainer;
  TPTSplitter* PTSplitter1;
  TPTShellTree* PTShellTree1;
  TPTShellList* PTShellList1;
  QWidget* Panel1;
  QLabel *FileNameTxt, *FilesOfTypeTxt;
  QLineEdit* FileNameEdt;
  QComboBox* FileNameCbx;
  TEnhCombo* FileTypesCbx;
  QPushButton *OpenBtn, *CancelBtn, *HelpBtn;
  QCheckBox* ReadOnlyChk;
  QMenu* LvPopup;
  QAction *View1Mitm, *LargeIcons1Mitm, *Smallicons1MItm, *List1Mitm, *Details1Mitm, *Paste1Mitm, *New1Mitm,
      *Folder1Mitm, *Properties1Mitm;

  void done(int result) override;

 protected:
  virtual void DoFormShow();
  virtual void DoFormClose();
  virtual void DoFolderChanged();
  virtual void DoSelectionChanged();
  virtual void DoTypeChanged();
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void DoShow();
  void FormResize();
  void PTShellList1Change();
  void PTShellTree1Change(TPTTreeNode* node);
  void FileNameEdtChange();
  bool CheckFile(const QString& full);
  bool TreeShown() const;
  QString SelectedMask() const;
  bool NavigateTo(const QString& folder);
  QString ListFolder() const;
  int Message(const QString& text, int type, int buttons);

  TPTOpenOptions OptionsValue = 0;
  QString FilterValue;
  QString InitialDirValue;
  bool ShownValue = false;
  bool EverShown = false;
  bool NamesFromList = false;
  QString TypedMask;
  QStringList ValidFiles;
  QSizeGrip* SizeGrip;
};

}  // namespace ptshell
