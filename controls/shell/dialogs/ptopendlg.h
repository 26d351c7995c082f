// The open and save dialog components: TPTFileDlg holds the settings of a file
// dialog, runs the form TPTFrmOpenDlg (controls/shell/dialogs/ptfrmopendlg.h)
// with them and keeps the chosen files, filter, size and splitter position
// between runs; TPTOpenDlg and TPTSaveDlg give it the captions of their kind.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

#include "controls/shell/dialogs/ptdialog.h"
#include "controls/shell/dialogs/ptfrmopendlg.h"

namespace ptshell {

inline constexpr TPTOpenOptions kOpenDlgDefaultOptions = 0x3A8010;

using TPTShLvCustomDrawEvent = decltype(TPTCustomShellList::OnCustomDrawSh);
using TPTShTvCustomDrawEvent = decltype(TPTCustomShellTree::OnCustomDrawSh);

class TPTFileDlg : public TPTDialog {
 public:
  TPTFileDlg();
  ~TPTFileDlg() override;

  TPTOpenOptions Options() const;
  void SetOptions(TPTOpenOptions value);
  QString Filter() const { return FilterValue; }
  void SetFilter(const QString& value);
  int FilterIndex() const;
  void SetFilterIndex(int value);
  int FormSplitterPos() const;
  void SetFormSplitterPos(int value);
  QString FileName() const;
  void SetFileName(const QString& value);
  const QStringList& Files() const { return FilesValue; }
  const QStringList& HistoryList() const { return HistoryListValue; }
  void SetHistoryList(const QStringList& value) { HistoryListValue = value; }
  void SetOnAddListItem(TPTShAddItemEvent e);
  void SetOnAddTreeItem(TPTShAddItemEvent e);
  void SetOnAddComboItem(TPTShAddItemEvent e) { OnAddComboItem = std::move(e); }
  // The running form; null when none.
  TPTFrmOpenDlg* Form() const { return FormValue; }

  // Appends the splitter state to the base's: show-tree byte, splitter position (i32).
  void SaveFormState(QIODevice& stream) const override;
  void LoadFormState(QIODevice& stream) override;

  QString DefaultExt;
  QString InitialDir;
  uint32_t HelpContext = 0;
  TPTShAddItemEvent OnAddListItem, OnAddTreeItem, OnAddComboItem;
  TPTShLvCustomDrawEvent OnLvCustomDrawSh, OnLvCustomDrawShEx;
  TPTShTvCustomDrawEvent OnTvCustomDrawSh, OnTvCustomDrawShEx;
  THelpEvent OnHelp;
  TNotifyEvent OnFolderChanged, OnSelectionChanged, OnTypeChanged;

 protected:
  bool DoExecute() override;
  virtual TPTFrmOpenDlg* CreateForm();
  virtual void ApplySettings(TPTFrmOpenDlg* form);
  virtual void ReadResults(TPTFrmOpenDlg* form);

 private:
  TPTOpenOptions OptionsValue = kOpenDlgDefaultOptions;
  QString FilterValue;
  int FilterIndexValue = 1;
  int FormSplitterPosValue = -1;
  QStringList FilesValue;
  QStringList HistoryListValue;
  TPTFrmOpenDlg* FormValue = nullptr;
};

class TPTCustomOpenDlg : public TPTFileDlg {
 protected:
  void ApplySettings(TPTFrmOpenDlg* form) override;
};

class TPTOpenDlg : public TPTCustomOpenDlg {
 public:
  QString ClassName() const override { return QStringLiteral("TPTOpenDlg"); }
};

class TPTCustomSaveDlg : public TPTFileDlg {
 protected:
  void ApplySettings(TPTFrmOpenDlg* form) override;
};

class TPTSaveDlg : public TPTCustomSaveDlg {
 public:
  QString ClassName() const override { return QStringLiteral("TPTSaveDlg"); }
};

}  // namespace ptshell
