// TPTCustomShellList and TPTShellList: the items of one folder of the shell
// namespace as a list view in four view styles, with the shell's icons, the
// columns Name, Size, Type and Modified, sorting by column, renaming in place,
// a file filter of masks, shell context menus, default keys, drag and drop and
// live refresh. A linked shell tree or shell combo drives navigation.
#pragma once

#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "controls/shell/change_thread.h"
#include "controls/shell/widgets/ptcustomlistview.h"
#include "controls/shell/widgets/ptshellimages.h"
#include "controls/shell/widgets/ptshelltree.h"
#include "controls/shell/shell_dragdrop.h"
#include "controls/shell/shell_locator.h"
#include "controls/shell/shell_utils.h"

namespace shellns {
class ShellContextMenu;
}

namespace ptshell {

class TPTCustomShellList;
class TPTCustomShellCombo;

class TPTShListData {
 public:
  TPTShListData(TPTCustomShellList* list, PCItemIDList relative);

  bool IsFolder();
  bool IsLink();
  bool CanRename();
  uint32_t GetAttributes();
  QString GetDisplayName();
  std::string GetFileName();
  std::string GetPath();
  PCItemIDList GetAbsolutePidl();
  void SetRelativePidl(PCItemIDList pidl);
  QString GetDetailText(int column);

  TPTCustomShellList* List;
  PidlPtr RelativePidl;
  PidlPtr AbsolutePidl;  // built on first use
  std::optional<QString> DisplayName;
  bool DetailsLoaded = false;
  QString Size, Type, Date;
  std::optional<uint32_t> Attributes;
  uint32_t TestAttributes = 0;  // what the item test saw
};

using TPTShellListOptions = uint16_t;
inline constexpr TPTShellListOptions ptsloAutoFill = 1 << 0, ptsloNonFilesystemAncestors = 1 << 1,
                                     ptsloDesignInteractive = 1 << 2, ptsloDefaultKeyHandling = 1 << 3,
                                     ptsloContextMenus = 1 << 4, ptsloDontChangeFolder = 1 << 5,
                                     ptsloDontGoBelowBase = 1 << 6, ptsloDynamicRefresh = 1 << 7,
                                     ptsloHideFoldersWhenLinkedToTree = 1 << 8, ptsloOleDrag = 1 << 9,
                                     ptsloOleDrop = 1 << 10, ptsloFolderContextMenu = 1 << 11,
                                     ptsloShowHidden = 1 << 12;
inline constexpr TPTShellListOptions kShellListDefaultOptions = 0x1E9B;

// True when a name matches a file mask ('*' any run, '?' one character),
// compared without regard to case.
bool MatchesFileMask(const QString& name, const QString& mask);
// The masks of a filter: split at ';', empty pieces dropped.
QStringList SplitFileFilter(const QString& filter);

class TPTCustomShellList : public TPTCustomListView {
  Q_OBJECT
 public:
  explicit TPTCustomShellList(QWidget* parent = nullptr);
  ~TPTCustomShellList() override;

  TPTShellLocator& Folder() { return FolderValue; }
  // The folder the items were listed from (follows Folder after every fill).
  PCItemIDList FolderPidl() const { return FolderPidlValue.get(); }
  const ShellFolderPtr& ShellFolder() const { return ShellFolderValue; }
  std::string FolderPath() const;

  TPTShellListOptions Options() const { return OptionsValue; }
  void SetOptions(TPTShellListOptions value);
  QString FileFilter() const { return FileFilterValue; }
  void SetFileFilter(const QString& filter);

  void Refresh();
  void Resync();
  bool CreateNewFolder(bool edit);
  void GoUp(int levels);
  void OpenItem(TPTListItem* item);
  void OpenSelection();
  void ShowContextMenu(const QPoint& clientPoint) override;
  HRESULT InvokeVerbOnSelection(const std::string& verb, bool shiftDown = false);
  HRESULT InvokeVerbOnFolder(const std::string& verb);
  void SelectAll() { SelectAllItems(); }
  TPTShListData* GetSelectedData() const;
  TPTShListData* GetItemData(int index) const { return GetDataOf(Item(index)); }
  TPTShListData* GetDataOf(const TPTListItem* item) const {
    return item ? static_cast<TPTShListData*>(item->Data) : nullptr;
  }
  TPTListItem* FindItemByName(const QString& displayName) const;
  // Signed and 1-based: the sign is the direction, negative descending. (It
  // stands in for the header's own 0-based sort column of the base.)
  int SortColumn() const { return SortColumnValue; }
  void SetSortColumn(int signedColumn);
  void SortNow();
  int SelectedCount() const;
  uint32_t SelectionAttributes() const;
  HRESULT GetUIObjectOfSelection(std::unique_ptr<shellns::ShellContextMenu>& menu) const;
  HRESULT GetUIObjectOfItem(const TPTListItem* item, std::unique_ptr<shellns::ShellContextMenu>& menu) const;

  // Links, set by the tree and the combo.
  void LinkTree(TPTCustomShellTree* tree);
  void LinkCombo(TPTCustomShellCombo* combo);
  TPTCustomShellTree* ShellTree() const;
  TPTCustomShellCombo* ShellCombo() const;
  void FollowTree(PCItemIDList absolute);
  void SettlePending();
  bool HidesFoldersWhenLinkedToTree() const;
  bool ResyncScheduled() const { return RefreshTimer.isActive(); }
  int ResyncInterval() const { return RefreshTimer.interval(); }
  bool RefreshPending = false;
  TChangeHandlerThread* Watcher() const { return WatcherValue.get(); }

  TPTShAddItemEvent OnAddItem;
  std::function<void(TPTCustomShellList* sender, TPTListItem* item, TPTShListData* data)> OnDeleteItem;
  std::function<void(TPTCustomShellList* sender, bool& handled)> OnDblClickOpen;
  TPTShPopupHintEvent OnPopupHint;
  std::function<void(TPTCustomShellList* sender, TPTLvCustomDraw* draw, TPTListItem* item, TPTShListData* data)>
      OnCustomDrawSh, OnCustomDrawShEx;
  std::function<void(TPTCustomShellList* sender)> OnFillStart, OnFillComplete, OnFolderChanged;

  // What the list answers for the views.
  QString ItemCaption(TPTListItem* item) override;
  QString ItemSubText(TPTListItem* item, int column) override;
  int ItemImage(TPTListItem* item) override;
  bool CanEditCaption(TPTListItem* item) override;
  bool CaptionEdited(TPTListItem* item, QString& text) override;
  void ItemDeleting(TPTListItem* item) override;
  void ColumnClick(int column) override;
  bool ViewKeyPress(QKeyEvent* e) override;
  void ViewDoubleClick(TPTListItem* item) override;
  void ViewStartDrag(Qt::MouseButton button) override;
  bool ViewDragEnter(QDragEnterEvent* e) override;
  bool ViewDragMove(QDragMoveEvent* e) override;
  void ViewDragLeave(QDragLeaveEvent* e) override;
  bool ViewDrop(QDropEvent* e) override;
  bool HasCustomDrawEvents() const override;
  void EditEnded() override { RunPendingRefresh(); }
  TPTLvCustomDraw* CustomDrawNotify(TPTCustomDrawInfo* notification, uint32_t& result, TPTListItem* item) override;

 protected:
  // The item test's last word; folders always pass the filter.
  virtual bool AcceptItem(const ShellFolderPtr& folder, PCItemIDList relative, uint32_t attributes);
  bool event(QEvent* e) override;

 private:
  void FolderChanged();
  void FillProper(const ShellFolderPtr& folder);
  void BuildColumns();
  bool ItemTest(const ShellFolderPtr& folder, TPTShListData* data);
  std::unique_ptr<TPTListItem> MakeItem(TPTShListData* data);
  uint32_t EnumFlags() const;
  void ChangeNotice();
  void StartWatching();
  void Navigate(PCItemIDList absolute);
  void DeviceChanged(uintptr_t event);
  void RunPendingRefresh();
  std::vector<PCItemIDList> SelectedRelatives() const;
  // operation and files as ShellFailureText takes them.
  void ReportError(const QString& operation, const QString& files, HRESULT hr);
  // A copy: the items may change while a drop runs.
  PidlPtr DropTargetAt(const QPoint& viewportPos, QAbstractItemView* view) const;

  TPTShellLocator FolderValue;
  PidlPtr FolderPidlValue;
  ShellFolderPtr ShellFolderValue;
  TPTShellListOptions OptionsValue = kShellListDefaultOptions;
  QString FileFilterValue;
  QStringList Masks;
  bool MatchActive = false;
  QPointer<TPTCustomShellTree> TreeValue;
  QPointer<TPTCustomShellCombo> ComboValue;
  QTimer RefreshTimer;
  std::unique_ptr<TChangeHandlerThread> WatcherValue;
  int SortColumnValue = 1;
  bool OwnChange = false;
  bool DragRunning = false;
  int FolderCallbackDepth = 0;
  QString NewFolderName;
  TPTShellImageList Small{0};
  TPTShellImageList Large{1};
  TPTShellDropHelper DropHelper;
  uint32_t DragKeyState = 0;
};

class TPTShellList : public TPTCustomShellList {
  Q_OBJECT
 public:
  using TPTCustomShellList::TPTCustomShellList;
};

}  // namespace ptshell
