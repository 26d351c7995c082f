// TPTCustomShellTree and TPTShellTree: the folders of the shell namespace below
// a base folder as a tree, with the shell's icons, names and context menus,
// renaming, verbs from the keyboard, drag and drop, and live refresh from the
// change-notification thread. A linked shell list and shell combo follow the
// selection: at once after a click, 500 ms after the last keyboard move.
#pragma once

#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

#include "controls/shell/change_thread.h"
#include "controls/shell/widgets/ptcustomtreeview.h"
#include "controls/shell/widgets/ptshellimages.h"
#include "controls/shell/shell_dragdrop.h"
#include "controls/shell/shell_locator.h"
#include "controls/shell/shell_utils.h"

class QMenu;

namespace shellns {
class ShellContextMenu;
}

namespace ptshell {

class TSubfolderProbe;
class TPTCustomShellTree;
class TPTCustomShellList;
class TPTCustomShellCombo;

class TPTShTreeData {
 public:
  TPTShTreeData(TPTCustomShellTree* tree, TPTShTreeData* parentData, PCItemIDList relative);

  PCItemIDList GetAbsolutePidl();
  std::string GetPath();
  ShellFolderPtr GetParentFolder();
  // The node's own folder; null when it cannot be bound.
  ShellFolderPtr GetFolder();
  bool CanRename();
  void SetRelativePidl(PCItemIDList pidl);
  void Invalidate();

  TPTCustomShellTree* Tree;
  TPTShTreeData* ParentData;
  PidlPtr RelativePidl;
  PidlPtr AbsolutePidl;        // cache
  ShellFolderPtr Folder;       // held for the root only
  ShellFolderPtr ParentFolder; // the root's parent folder, cached
  uint64_t ProbeId = 0;        // the subfolder probe awaited for the node, 0 for none
};

using TPTShellTreeOptions = uint16_t;
inline constexpr TPTShellTreeOptions ptstoAutoFill = 1 << 0, ptstoVirtualFolders = 1 << 1,
                                     ptstoDesignInteractive = 1 << 2, ptstoDefaultKeyHandling = 1 << 3,
                                     ptstoContextMenus = 1 << 4, ptstoDynamicRefresh = 1 << 5,
                                     ptstoIncludeNonFolders = 1 << 6, ptstoOleDrag = 1 << 7, ptstoOleDrop = 1 << 8,
                                     ptstoShowHidden = 1 << 9;
inline constexpr TPTShellTreeOptions kShellTreeDefaultOptions = 0x3BB;

// Asked before an item is added to a tree or list; `allow` starts true.
using TPTShAddItemEvent = std::function<void(QObject* sender, const ShellFolderPtr& parentFolder,
                                             PCItemIDList parentAbsolute, PCItemIDList itemRelative,
                                             uint32_t attributes, bool& allow)>;
using TPTShPopupHintEvent = std::function<void(QObject* sender, const QString& hint)>;

class TPTCustomShellTree : public TPTCustomTreeView {
  Q_OBJECT
 public:
  explicit TPTCustomShellTree(QWidget* parent = nullptr);
  ~TPTCustomShellTree() override;

  TPTShellLocator& BaseFolder() { return BaseFolderValue; }
  TPTShellLocator& CurrentFolder() { return CurrentFolderValue; }
  void SetBaseFolder(const TPTShellLocator* value) { BaseFolderValue.Assign(value); }

  TPTShellTreeOptions Options() const { return OptionsValue; }
  void SetOptions(TPTShellTreeOptions value);

  TPTCustomShellList* ShellList() const;
  void SetShellList(TPTCustomShellList* list);
  TPTCustomShellCombo* ShellCombo() const;
  void SetShellCombo(TPTCustomShellCombo* combo);

  std::string GetSelectedPath();
  void SetSelectedPath(const std::string& path);
  void SelectFolderPidl(PCItemIDList absolute);
  void SetCurrentFolderFrom(TPTShellLocator* locator);

  void Fill();
  void Refresh();
  bool CreateFolder();
  void GoUp(int levels);
  static std::string RootDisplayName(PCItemIDList absolute);
  void FlushPendingSync(bool resetLinked);
  HRESULT InvokeNodeVerb(TPTTreeNode* node, const std::string& verb, bool shiftDown = false);

  TPTShTreeData* NodeData(const TPTTreeNode* node) const {
    return node ? static_cast<TPTShTreeData*>(node->Data) : nullptr;
  }
  // The node of an absolute PIDL among the nodes made so far, null when none.
  TPTTreeNode* FindNode(PCItemIDList absolute) const;
  TPTTreeNode* LastInserted = nullptr;

  int InternalUpdate = 0;
  int ImmediateSync = 0;
  bool IgnoreNextChange = false;
  bool Busy = false;
  bool RefreshPending = false;
  TPTTreeNode* DragNode = nullptr;
  bool SyncPending() const { return SyncTimer.isActive(); }
  bool RefreshScheduled() const { return RefreshTimer.isActive(); }
  int RefreshInterval() const { return RefreshTimer.interval(); }
  TChangeHandlerThread* Watcher() const { return WatcherValue.get(); }

  // Chooses an entry of a shell context menu: the menu's action, null for none.
  // Tests and callers without a desktop replace it.
  static std::function<QAction*(QWidget* owner, QMenu* menu, const QPoint& globalPoint)>& MenuTracker;

  std::function<void(TPTCustomShellTree* sender, TPTTreeNode* node)> OnChange;
  TPTShAddItemEvent OnAddItem;
  std::function<void(TPTCustomShellTree* sender, TPTTreeNode* node, TPTShTreeData* data)> OnDeleteItem;
  std::function<void(TPTCustomShellTree* sender, TPTTreeNode* node)> OnInsertItem;
  TPTShPopupHintEvent OnPopupHint;
  std::function<void(TPTCustomShellTree* sender, TPTTvCustomDraw* draw, TPTTreeNode* node, TPTShTreeData* data)>
      OnCustomDrawSh, OnCustomDrawShEx;
  std::function<void(TPTCustomShellTree* sender)> OnFillStart, OnFillComplete;
  std::function<void(TPTCustomShellTree* sender, TPTTreeNode* node, QString& text)> OnEdited;

  int GetImageIndex(TPTTreeNode* node) override;
  int GetSelectedIndex(TPTTreeNode* node) override;
  bool CanEdit(TPTTreeNode* node) override;
  bool NodeEdited(TPTTreeNode* node, QString& text) override;
  void DoNodeContextMenu(TPTTreeNode* node, const QPoint& clientPoint, QMenu*& menu) override;
  TPTTvCustomDraw* CustomDrawNotify(TPTCustomDrawInfo* notification, uint32_t& result, TPTTreeNode* node) override;
  bool HasCustomDrawEvents() const override;

 protected:
  bool event(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void startDrag(Qt::DropActions supportedActions) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dragMoveEvent(QDragMoveEvent* e) override;
  void dragLeaveEvent(QDragLeaveEvent* e) override;
  void dropEvent(QDropEvent* e) override;
  void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

 private:
  void FillChildren(const ShellFolderPtr& folder, TPTTreeNode* node);
  HRESULT AddItem(const ShellFolderPtr& folder, PCItemIDList parentAbsolute, PCItemIDList item, TPTTreeNode* parent);
  uint32_t EnumFlags() const;
  void SortChildren(TPTTreeNode* node);
  void RefreshNode(TPTTreeNode* node, TPTTreeNode*& remembered);
  void DeleteNode(TPTTreeNode* node);
  void DeleteAllNodes();
  void FreeNodeData(TPTTreeNode* node);
  void NodeExpanding(TPTTreeNode* node);
  void Change(TPTTreeNode* node);
  void SyncLinked();
  void SyncTimerFired();
  void ChangeNotice();
  void StartWatching();
  void WatchLoaded(TPTTreeNode* node);
  void BaseFolderChanged();
  void CurrentFolderChanged();
  void DeviceChanged(uintptr_t event);
  void BeginOleDrag(int button);
  void ShowShellMenu(TPTTreeNode* node, const QPoint& clientPoint);
  TPTTreeNode* DropNode(const QPoint& pos) const;
  void RunPendingRefresh();

  TPTShellLocator BaseFolderValue;
  TPTShellLocator CurrentFolderValue;
  // Syncing the linked controls and refreshing are pending apart, so that
  // neither cancels the other.
  QTimer SyncTimer;
  QTimer RefreshTimer;
  TPTShellTreeOptions OptionsValue = kShellTreeDefaultOptions;
  QPointer<TPTCustomShellList> ShellListValue;
  QPointer<TPTCustomShellCombo> ShellComboValue;
  std::unique_ptr<TChangeHandlerThread> WatcherValue;
  std::unique_ptr<TSubfolderProbe> Probe;
  std::unordered_map<uint64_t, TPTTreeNode*> Probing;  // awaited answers and their nodes
  uint64_t LastProbeId = 0;
  TPTShellImageList SmallImages{0};
  TPTShellDropHelper DropHelper;
  TPTTreeNode* DropHighlight = nullptr;
  uint32_t DragKeyState = 0;
  bool DraggingFromHere = false;
  bool Filling = false;
};

class TPTShellTree : public TPTCustomShellTree {
  Q_OBJECT
 public:
  using TPTCustomShellTree::TPTCustomShellTree;
};

}  // namespace ptshell
