#include "controls/shell/widgets/ptshelltree.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>

#include <algorithm>

#include "controls/shell/device_change.h"
#include "controls/shell/pidl_list.h"
#include "controls/shell/pt_messages.h"
#include "controls/shell/subfolder_probe.h"
#include "controls/shell/widgets/ptshellcombo.h"
#include "controls/shell/widgets/ptshelllist.h"
#include "controls/shell/shell_consts.h"
#include "controls/shell/shell_controls.h"
#include "platform/shellnamespace/mount_table.h"
#include "platform/shellnamespace/shell_verbs.h"
#include "platform/shellnamespace/user_folders.h"

namespace ptshell {

using shellns::IdList;

namespace {

constexpr uint32_t kTreeAttributeMask = 0xF20B0000;

QAction* DefaultMenuTracker(QWidget*, QMenu* menu, const QPoint& globalPoint) { return menu->exec(globalPoint); }

// The hourglass for the length of a scope.
struct WaitScope {
  WaitScope() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitScope() { QApplication::restoreOverrideCursor(); }
};

struct Counter {
  explicit Counter(int& c) : C(c) { ++C; }
  ~Counter() { --C; }
  int& C;
};

bool IsWithin(const TPTTreeNode* node, const TPTTreeNode* ancestor) {
  for (const TPTTreeNode* n = node; n; n = n->Parent())
    if (n == ancestor) return true;
  return false;
}

}  // namespace

std::function<QAction*(QWidget*, QMenu*, const QPoint&)>& TPTCustomShellTree::MenuTracker =
    *new std::function<QAction*(QWidget*, QMenu*, const QPoint&)>(DefaultMenuTracker);

// --- TPTShTreeData ---

TPTShTreeData::TPTShTreeData(TPTCustomShellTree* tree, TPTShTreeData* parentData, PCItemIDList relative)
    : Tree(tree), ParentData(parentData), RelativePidl(CopyPidl(nullptr, relative)) {}

PCItemIDList TPTShTreeData::GetAbsolutePidl() {
  if (!AbsolutePidl) {
    AbsolutePidl.reset(ParentData ? ConcatPidls(nullptr, ParentData->GetAbsolutePidl(), RelativePidl.get())
                                  : CopyPidl(nullptr, RelativePidl.get()));
  }
  return AbsolutePidl.get();
}

std::string TPTShTreeData::GetPath() { return PidlToPath(GetAbsolutePidl()); }

ShellFolderPtr TPTShTreeData::GetParentFolder() {
  if (ParentData) return ParentData->GetFolder();
  PItemIDList parent = nullptr, relative = nullptr;
  ShellFolderPtr folder;
  const HRESULT hr = SplitPidl(GetAbsolutePidl(), folder, parent, relative);
  PidlPtr holdParent(parent), holdRelative(relative);
  ParentFolder = SUCCEEDED(hr) ? folder : nullptr;
  return ParentFolder;
}

ShellFolderPtr TPTShTreeData::GetFolder() {
  if (Folder) return Folder;
  PCItemIDList abs = GetAbsolutePidl();
  if (GetPidlSize(abs) <= 2) return shellns::ShellFolder::Desktop();
  ShellFolderPtr parent = ParentData ? ParentData->GetFolder() : GetParentFolder();
  ShellFolderPtr out;
  if (parent && ParentData) {
    if (FAILED(parent->BindToObject(RelativePidl.get(), out))) out.reset();
  } else if (FAILED(BindToFolder(abs, out))) {
    out.reset();
  }
  return out;
}

bool TPTShTreeData::CanRename() {
  PCItemIDList abs = GetAbsolutePidl();
  if (GetPidlSize(abs) <= 2 || !ParentData) return false;
  ShellFolderPtr parent = ParentData->GetFolder();
  if (!parent) return false;
  uint32_t attrs = 0x40000177;
  const uint8_t* items[] = {RelativePidl.get()};
  return SUCCEEDED(parent->GetAttributesOf(1, items, attrs)) && (attrs & shellns::SFGAO_CANRENAME);
}

void TPTShTreeData::SetRelativePidl(PCItemIDList pidl) {
  RelativePidl.reset(CopyPidl(nullptr, pidl));
  Invalidate();
}

void TPTShTreeData::Invalidate() {
  AbsolutePidl.reset();
  Folder.reset();
}

// --- TPTCustomShellTree ---

TPTCustomShellTree::TPTCustomShellTree(QWidget* parent) : TPTCustomTreeView(parent) {
  Images = &SmallImages;
  BaseFolderValue.OnChange = [this](TPTShellLocator*) { BaseFolderChanged(); };
  CurrentFolderValue.OnChange = [this](TPTShellLocator*) { CurrentFolderChanged(); };
  SyncTimer.setSingleShot(true);
  RefreshTimer.setSingleShot(true);
  connect(&SyncTimer, &QTimer::timeout, this, [this] { SyncTimerFired(); });
  connect(&RefreshTimer, &QTimer::timeout, this, [this] {
    try {
      Refresh();
    } catch (...) {
      HandleApplicationException(std::current_exception());
    }
  });
  connect(this, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* current, QTreeWidgetItem*) { Change(NodeFromItem(current)); });
  connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
    try {
      NodeExpanding(NodeFromItem(item));
    } catch (...) {
      HandleApplicationException(std::current_exception());
    }
  });
  DeviceChangeHandler()->Register(this, [this](TPTDeviceChangeHandler*, const TPTMessageEvent& m) {
    DeviceChanged(m.WParam);
  });
  SetOptions(OptionsValue);
  QCoreApplication::postEvent(this, new TPTMessageEvent(WM_PT_DEFERREDFILL, 0, 0));
}

TPTCustomShellTree::~TPTCustomShellTree() {
  DeviceChangeHandler()->Unregister(this);
  WatcherValue.reset();
  Probe.reset();
  blockSignals(true);
  if (ShellListValue) ShellListValue->LinkTree(nullptr);
  if (ShellComboValue) ShellComboValue->LinkTree(nullptr);
  ++InternalUpdate;
  DeleteAllNodes();
}

void TPTCustomShellTree::SetOptions(TPTShellTreeOptions value) {
  const TPTShellTreeOptions old = OptionsValue;
  OptionsValue = value;
  setDragEnabled(value & ptstoOleDrag);
  setAcceptDrops(value & ptstoOleDrop);
  viewport()->setAcceptDrops(value & ptstoOleDrop);
  setDragDropMode(value & (ptstoOleDrag | ptstoOleDrop) ? DragDrop : NoDragDrop);
  if ((old ^ value) & ptstoDynamicRefresh) {
    if (value & ptstoDynamicRefresh) {
      if (TopNode()) StartWatching();
    } else if (WatcherValue) {
      WatcherValue->RemoveAllWatches();
    }
  }
}

void TPTCustomShellTree::SetShellList(TPTCustomShellList* list) {
  if (ShellListValue && ShellListValue != list) ShellListValue->LinkTree(nullptr);
  ShellListValue = list;
  if (list) {
    list->LinkTree(this);
    PidlPtr current = CopyOf(CurrentFolderValue.GetPidl());
    list->FollowTree(current.get());
  }
}

TPTCustomShellList* TPTCustomShellTree::ShellList() const { return ShellListValue.data(); }
TPTCustomShellCombo* TPTCustomShellTree::ShellCombo() const { return ShellComboValue.data(); }

void TPTCustomShellTree::SetShellCombo(TPTCustomShellCombo* combo) { ShellComboValue = combo; }

std::string TPTCustomShellTree::GetSelectedPath() {
  TPTShTreeData* data = NodeData(Selected());
  return data ? data->GetPath() : std::string();
}

void TPTCustomShellTree::SetSelectedPath(const std::string& path) {
  if (InternalUpdate) return;
  CurrentFolderValue.SetPath(path);
}

void TPTCustomShellTree::SetCurrentFolderFrom(TPTShellLocator* locator) {
  if (InternalUpdate) {
    if (ShellListValue) ShellListValue->FollowTree(locator ? locator->GetPidl() : nullptr);
    return;
  }
  CurrentFolderValue.Assign(locator);
}

uint32_t TPTCustomShellTree::EnumFlags() const {
  uint32_t flags = shellns::SHCONTF_FOLDERS;
  if (OptionsValue & ptstoShowHidden) flags |= shellns::SHCONTF_INCLUDEHIDDEN;
  if (OptionsValue & ptstoIncludeNonFolders) flags |= shellns::SHCONTF_NONFOLDERS;
  return flags;
}

std::string TPTCustomShellTree::RootDisplayName(PCItemIDList absolute) {
  TPTIdListArray items(absolute);
  if (items.Count() > 1) {
    PidlPtr parent = CopyOf(items.Parent(1));
    PidlPtr last = CopyOf(items.Item(items.Count() - 1));
    ShellFolderPtr folder;
    if (FAILED(BindToFolder(parent.get(), folder))) return std::string();
    return GetNameOf(folder, last.get(), shellns::SHGDN_INFOLDER);
  }
  return GetNameOf(shellns::ShellFolder::Desktop(), absolute, shellns::SHGDN_INFOLDER);
}

void TPTCustomShellTree::Fill() {
  if (Busy || IsEditing()) {
    RefreshPending = true;
    return;
  }
  WaitScope wait;
  {
    Counter update(InternalUpdate);
    SetSelected(nullptr);
    DeleteAllNodes();
  }
  ShellFolderPtr folder;
  const HRESULT hr = BindToFolder(BaseFolderValue.GetPidl(), folder);
  if (FAILED(hr)) throw EPTShellError(shellns::ResultText(hr), hr);
  Filling = true;
  try {
    FillChildren(folder, nullptr);
  } catch (...) {
    Filling = false;
    throw;
  }
  Filling = false;
  if (CurrentFolderValue.GetPidl()) {
    PidlPtr current = CopyOf(CurrentFolderValue.GetPidl());
    SelectFolderPidl(current.get());
  } else {
    SetSelected(TopNode());
  }
  FlushPendingSync(false);
  if (OptionsValue & ptstoDynamicRefresh) StartWatching();
}

void TPTCustomShellTree::FillChildren(const ShellFolderPtr& folder, TPTTreeNode* node) {
  if (OnFillStart) OnFillStart(this);
  struct Complete {
    TPTCustomShellTree* T;
    ~Complete() {
      if (T->OnFillComplete) T->OnFillComplete(T);
    }
  } complete{this};
  TPTTreeNode* target = node;
  if (!node) {
    PidlPtr pidl = CopyOf(BaseFolderValue.GetPidl());
    auto* root = new TPTTreeNode;
    root->SetText(QString::fromStdString(RootDisplayName(pidl.get())));
    root->ImageIndex = GetFileIconIndex(pidl.get(), SHGFI_SMALLICON);
    root->SelectedIndex = GetFileIconIndex(pidl.get(), SHGFI_SMALLICON | SHGFI_OPENICON);
    auto* data = new TPTShTreeData(this, nullptr, pidl.get());
    data->Folder = folder;
    root->Data = data;
    root->SetHasChildren(true);
    {
      Counter update(InternalUpdate);
      addTopLevelItem(root);
    }
    LastInserted = root;
    if (OnInsertItem) OnInsertItem(this, root);
    target = root;
  }
  TPTShTreeData* data = NodeData(target);
  PidlPtr parentAbs = CopyOf(data->GetAbsolutePidl());
  std::vector<IdList> items;
  // A folder that cannot be read keeps its button: it may be readable later.
  if (FAILED(folder->EnumObjects(EnumFlags(), items))) return;
  for (const IdList& item : items) {
    const HRESULT hr = AddItem(folder, parentAbs.get(), item.data(), target);
    if (FAILED(hr)) throw EPTShellError(shellns::ResultText(hr), hr);
  }
  if (target->Count() == 0) target->SetHasChildren(false);
  SortChildren(target);
  if (!node) {
    Counter update(InternalUpdate);
    target->SetExpanded(true);
  }
  WatchLoaded(target);
}

HRESULT TPTCustomShellTree::AddItem(const ShellFolderPtr& folder, PCItemIDList parentAbsolute, PCItemIDList item,
                                    TPTTreeNode* parent) {
  using namespace shellns;
  // Whether a folder on disk holds folders is asked off the GUI thread below.
  uint32_t attrs = kTreeAttributeMask & ~SFGAO_HASSUBFOLDER;
  const uint8_t* items[] = {item};
  const HRESULT hr = folder->GetAttributesOf(1, items, attrs);
  if (FAILED(hr)) return hr;
  if (!(OptionsValue & ptstoVirtualFolders) && !(attrs & (SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR))) return S_OK;
  bool allow = true;
  if (OnAddItem) OnAddItem(this, folder, parentAbsolute, item, attrs, allow);
  if (!allow) return S_OK;
  auto* node = new TPTTreeNode;
  node->SetText(QString::fromStdString(GetNameOf(folder, item, SHGDN_INFOLDER)));
  const bool isFolder = attrs & SFGAO_FOLDER;
  std::string probePath;
  bool hasSub = false;
  if (isFolder && !(OptionsValue & ptstoIncludeNonFolders)) {
    PidlPtr absolute(ConcatPidls(nullptr, parentAbsolute, item));
    probePath = PidlToPath(absolute.get());
    if (probePath.empty()) {
      // A folder outside the file system answers from what it is, without opening anything.
      uint32_t sub = SFGAO_HASSUBFOLDER;
      hasSub = SUCCEEDED(folder->GetAttributesOf(1, items, sub)) && (sub & SFGAO_HASSUBFOLDER);
    } else {
      hasSub = true;  // the button stays until the probe says otherwise
    }
  }
  node->SetHasChildren((OptionsValue & ptstoIncludeNonFolders) ? isFolder : (isFolder && hasSub));
  if (attrs & SFGAO_SHARE)
    node->OverlayIndex = 0;
  else if (attrs & SFGAO_LINK)
    node->OverlayIndex = 1;
  node->Cut = attrs & SFGAO_GHOSTED;
  auto* data = new TPTShTreeData(this, NodeData(parent), item);
  node->Data = data;
  {
    Counter update(InternalUpdate);
    parent->addChild(node);
  }
  if (!probePath.empty()) {
    if (!Probe) Probe = std::make_unique<TSubfolderProbe>(this, WM_PT_SUBFOLDERS);
    data->ProbeId = ++LastProbeId;
    Probing[data->ProbeId] = node;
    Probe->Ask(data->ProbeId, probePath);
  }
  LastInserted = node;
  if (OnInsertItem) OnInsertItem(this, node);
  return S_OK;
}

void TPTCustomShellTree::SortChildren(TPTTreeNode* node) {
  TPTShTreeData* data = NodeData(node);
  if (!data || node->Count() < 2) return;
  ShellFolderPtr folder = data->GetFolder();
  if (!folder) return;
  Counter update(InternalUpdate);
  QList<QTreeWidgetItem*> children = node->takeChildren();
  std::stable_sort(children.begin(), children.end(), [&](QTreeWidgetItem* a, QTreeWidgetItem* b) {
    TPTShTreeData* da = NodeData(NodeFromItem(a));
    TPTShTreeData* db = NodeData(NodeFromItem(b));
    if (!da || !db) return false;
    const HRESULT hr = folder->CompareIDs(0, da->RelativePidl.get(), db->RelativePidl.get());
    return SUCCEEDED(hr) && shellns::CompareCode(hr) < 0;
  });
  node->addChildren(children);
}

void TPTCustomShellTree::NodeExpanding(TPTTreeNode* node) {
  TPTShTreeData* data = NodeData(node);
  if (!node || !data || node->Count() > 0 || node->childIndicatorPolicy() != QTreeWidgetItem::ShowIndicator) return;
  ShellFolderPtr folder = data->GetFolder();
  if (!folder) return;
  WaitScope wait;
  FillChildren(folder, node);
}

TPTTreeNode* TPTCustomShellTree::FindNode(PCItemIDList absolute) const {
  std::vector<TPTTreeNode*> stack;
  for (int i = 0; i < NodeCount(); ++i) stack.push_back(NodeFromItem(topLevelItem(i)));
  while (!stack.empty()) {
    TPTTreeNode* n = stack.back();
    stack.pop_back();
    if (TPTShTreeData* d = NodeData(n); d && ComparePidls(d->GetAbsolutePidl(), absolute) == 0) return n;
    for (int i = 0; i < n->Count(); ++i) stack.push_back(n->Child(i));
  }
  return nullptr;
}

void TPTCustomShellTree::SelectFolderPidl(PCItemIDList absolute) {
  if (InternalUpdate) return;
  ImmediateSync = 1;
  PidlPtr target = CopyOf(absolute);
  PidlPtr base = CopyOf(BaseFolderValue.GetPidl());
  TPTIdListArray baseItems(base.get()), targetItems(target.get());
  BeginUpdate();
  // A selection made here reaches the linked controls at once; none left over
  // hastens a later keyboard move.
  struct End {
    TPTCustomShellTree* T;
    ~End() {
      T->ImmediateSync = 0;
      T->EndUpdate();
    }
  } end{this};
  TPTTreeNode* root = TopNode();
  if (!root) return;
  if (targetItems.Count() == 0 || targetItems.Count() <= baseItems.Count()) {
    SetSelected(root);
    if (targetItems.Count() > 0) root->SetExpanded(true);
    return;
  }
  // Only folders below the base can be walked to.
  PidlPtr prefix = CopyOf(targetItems.Parent(targetItems.Count() - baseItems.Count()));
  if (baseItems.Count() > 0 && ComparePidls(prefix.get(), base.get()) != 0) {
    QApplication::beep();
    return;
  }
  TPTTreeNode* node = root;
  root->SetExpanded(true);
  const bool expandLast = ShellListValue && ShellListValue->HidesFoldersWhenLinkedToTree();
  for (int level = baseItems.Count(); level < targetItems.Count(); ++level) {
    PidlPtr item = CopyOf(targetItems.Item(level));
    TPTShTreeData* data = NodeData(node);
    ShellFolderPtr folder = data ? data->GetFolder() : nullptr;
    if (!folder) {
      QApplication::beep();
      break;
    }
    TPTTreeNode* found = nullptr;
    for (int i = 0; i < node->Count() && !found; ++i) {
      TPTShTreeData* cd = NodeData(node->Child(i));
      if (cd && folder->CompareIDs(0, cd->RelativePidl.get(), item.get()) == S_OK) found = node->Child(i);
    }
    if (!found) {
      LastInserted = nullptr;
      const HRESULT hr = AddItem(folder, data->GetAbsolutePidl(), item.get(), node);
      // The level must really have been added (an item test may refuse it).
      if (FAILED(hr) || !LastInserted || LastInserted->Parent() != node) {
        QApplication::beep();
        break;
      }
      found = LastInserted;
    }
    node = found;
    if (level < targetItems.Count() - 1 || expandLast) found->SetExpanded(true);
  }
  SetSelected(node);
  MakeVisible(node);
}

void TPTCustomShellTree::Change(TPTTreeNode* node) {
  TPTShTreeData* data = NodeData(node);
  if (InternalUpdate || Filling) {
    if (data && !InternalUpdate) {
      Counter update(InternalUpdate);
      CurrentFolderValue.SetPidl(data->GetAbsolutePidl());
    }
    return;
  }
  if (OnChange) OnChange(this, node);
  if (!data) return;
  if (ImmediateSync || !ShellListValue) {
    SyncLinked();
    ImmediateSync = 0;
  } else {
    // Keyboard moves load the list once, after they come to rest.
    SyncTimer.start(500);
  }
}

void TPTCustomShellTree::SyncLinked() {
  SyncTimer.stop();
  TPTShTreeData* data = NodeData(Selected());
  if (!data) return;
  PidlPtr abs = CopyOf(data->GetAbsolutePidl());
  Counter update(InternalUpdate);
  CurrentFolderValue.SetPidl(abs.get());
  if (ShellListValue) ShellListValue->FollowTree(abs.get());
  if (ShellComboValue) ShellComboValue->FollowTree(abs.get());
}

void TPTCustomShellTree::SyncTimerFired() {
  try {
    SyncLinked();
  } catch (...) {
    HandleApplicationException(std::current_exception());
  }
}

void TPTCustomShellTree::FlushPendingSync(bool resetLinked) {
  if (resetLinked) {
    if (ShellListValue) ShellListValue->SettlePending();
    if (ShellComboValue) ShellComboValue->SettlePending();
  }
  if (SyncTimer.isActive()) SyncLinked();
  if (RefreshTimer.isActive()) {
    RefreshTimer.stop();
    Refresh();
  }
}

void TPTCustomShellTree::CurrentFolderChanged() {
  if (InternalUpdate || !TopNode()) return;
  PidlPtr pidl = CopyOf(CurrentFolderValue.GetPidl());
  SelectFolderPidl(pidl.get());
}

void TPTCustomShellTree::BaseFolderChanged() {
  {
    Counter update(InternalUpdate);
    CurrentFolderValue.Reset();
  }
  if (OptionsValue & ptstoAutoFill) {
    ImmediateSync = 1;
    Fill();
  }
}

void TPTCustomShellTree::DeleteAllNodes() {
  Counter update(InternalUpdate);
  while (topLevelItemCount() > 0) DeleteNode(NodeFromItem(topLevelItem(topLevelItemCount() - 1)));
  DropHilited = nullptr;
  LastInserted = nullptr;
}

void TPTCustomShellTree::FreeNodeData(TPTTreeNode* node) {
  for (int i = 0; i < node->Count(); ++i) FreeNodeData(node->Child(i));
  if (TPTShTreeData* data = NodeData(node)) {
    if (data->ProbeId) Probing.erase(data->ProbeId);
    if (OnDeleteItem) OnDeleteItem(this, node, data);
    if (WatcherValue && node->Count() > 0) WatcherValue->ForgetLoadedFolder(data->GetPath());
    delete data;
    node->Data = nullptr;
  }
  if (node == DropHilited) DropHilited = nullptr;
  if (node == LastInserted) LastInserted = nullptr;
  if (node == DragNode) DragNode = nullptr;
}

void TPTCustomShellTree::DeleteNode(TPTTreeNode* node) {
  Counter update(InternalUpdate);
  FreeNodeData(node);
  delete node;
}

void TPTCustomShellTree::Refresh() {
  if (Busy || IsEditing()) {
    RefreshPending = true;
    return;
  }
  RefreshPending = false;
  if (!TopNode()) {
    Fill();
    return;
  }
  WaitScope wait;
  BeginUpdate();
  if (OnFillStart) OnFillStart(this);
  TPTTreeNode* remembered = Selected();
  {
    Counter update(InternalUpdate);
    SetSelected(nullptr);
    try {
      RefreshNode(TopNode(), remembered);
    } catch (...) {
      EndUpdate();
      throw;
    }
  }
  ImmediateSync = 1;
  SetSelected(remembered);
  ImmediateSync = 0;
  EndUpdate();
  if (OnFillComplete) OnFillComplete(this);
}

void TPTCustomShellTree::RefreshNode(TPTTreeNode* node, TPTTreeNode*& remembered) {
  // Branches never opened are left alone.
  if (node->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator && node->Count() == 0) return;
  TPTShTreeData* data = NodeData(node);
  if (!data) return;
  ShellFolderPtr folder = data->GetFolder();
  if (!folder) return;
  std::vector<IdList> items;
  if (FAILED(folder->EnumObjects(EnumFlags(), items))) return;

  TPTPidlList present;  // the nodes there are; frees nothing
  present.Folder = folder;
  present.Duplicates = dupAccept;
  for (int i = 0; i < node->Count(); ++i)
    if (TPTShTreeData* cd = NodeData(node->Child(i))) present.AddObject(cd->RelativePidl.get(), node->Child(i));
  present.SetSorted(true);
  TPTPidlList current;  // the folder's items now
  current.Folder = folder;
  current.Allocator = GetShellMalloc();
  current.Duplicates = dupAccept;
  for (const IdList& item : items) current.Add(PidlFromIdList(item));

  for (int i = current.Count() - 1; i >= 0; --i) {
    int index = 0;
    if (present.Find(current.Pidls(i), index)) {
      present.Delete(index);
      current.Delete(i);
    }
  }
  for (int i = present.Count() - 1; i >= 0; --i) {
    auto* gone = static_cast<TPTTreeNode*>(present.Data(i));
    if (remembered && IsWithin(remembered, gone)) remembered = gone->Parent();
    DeleteNode(gone);
  }
  PidlPtr parentAbs = CopyOf(data->GetAbsolutePidl());
  for (int i = 0; i < current.Count(); ++i) {
    LastInserted = nullptr;
    AddItem(folder, parentAbs.get(), current.Pidls(i), node);
    TPTTreeNode* added = LastInserted;
    if (!added || added->Parent() != node) continue;
    // Put it in its place without disturbing the opened branches beside it.
    Counter update(InternalUpdate);
    node->takeChild(node->indexOfChild(added));
    int lo = 0, hi = node->Count();
    while (lo < hi) {
      const int mid = (lo + hi) / 2;
      TPTShTreeData* md = NodeData(node->Child(mid));
      const HRESULT hr = md ? folder->CompareIDs(0, md->RelativePidl.get(), NodeData(added)->RelativePidl.get()) : E_FAIL;
      if (SUCCEEDED(hr) && shellns::CompareCode(hr) < 0)
        lo = mid + 1;
      else
        hi = mid;
    }
    node->insertChild(lo, added);
  }
  if (node->Count() == 0) node->SetHasChildren(false);
  for (int i = 0; i < node->Count(); ++i) RefreshNode(node->Child(i), remembered);
}

void TPTCustomShellTree::RunPendingRefresh() {
  if (!RefreshPending || Busy || IsEditing()) return;
  try {
    Refresh();
  } catch (...) {
    HandleApplicationException(std::current_exception());
  }
}

void TPTCustomShellTree::ChangeNotice() {
  if (IgnoreNextChange) {
    IgnoreNextChange = false;
    return;
  }
  // A change seen while a menu command or a drag runs is refreshed once it ends.
  if (Busy) {
    RefreshPending = true;
    return;
  }
  const QWidget* f = QApplication::focusWidget();
  const bool focused = f && (f == this || isAncestorOf(f));
  RefreshTimer.start(focused ? 400 : 2000);
}

void TPTCustomShellTree::StartWatching() {
  if (!WatcherValue) WatcherValue = std::make_unique<TChangeHandlerThread>(this, WM_PT_CHANGENOTIFY);
  WatcherValue->RemoveAllWatches();
  const uint32_t filter = (OptionsValue & ptstoIncludeNonFolders)
                              ? (FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME)
                              : FILE_NOTIFY_CHANGE_DIR_NAME;
  for (const shellns::Volume& v : shellns::MountTable::Volumes()) {
    int slot = -1;
    WatcherValue->AddWatch(v.mountPoint, filter, true, slot);
  }
  std::vector<TPTTreeNode*> stack;
  for (int i = 0; i < NodeCount(); ++i) stack.push_back(NodeFromItem(topLevelItem(i)));
  while (!stack.empty()) {
    TPTTreeNode* n = stack.back();
    stack.pop_back();
    if (n->Count() > 0 || n == TopNode()) WatchLoaded(n);
    for (int i = 0; i < n->Count(); ++i) stack.push_back(n->Child(i));
  }
}

void TPTCustomShellTree::WatchLoaded(TPTTreeNode* node) {
  if (!WatcherValue) return;
  if (TPTShTreeData* data = NodeData(node)) {
    const std::string path = data->GetPath();
    if (!path.empty()) WatcherValue->WatchLoadedFolder(path);
  }
}

void TPTCustomShellTree::DeviceChanged(uintptr_t event) {
  if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) return;
  ValidateDrives();
  BeginNoValidate();
  try {
    Refresh();
  } catch (...) {
    EndNoValidate();
    throw;
  }
  EndNoValidate();
}

bool TPTCustomShellTree::event(QEvent* e) {
  switch (TPTMessageEvent::MessageOf(e)) {
    case WM_PT_CHANGENOTIFY:
      ChangeNotice();
      return true;
    case WM_PT_SUBFOLDERS: {
      const auto* m = static_cast<TPTMessageEvent*>(e);
      const auto it = Probing.find(static_cast<uint64_t>(m->WParam));
      if (it == Probing.end()) return true;  // the node went meanwhile
      TPTTreeNode* node = it->second;
      Probing.erase(it);
      if (TPTShTreeData* d = NodeData(node)) d->ProbeId = 0;
      if (m->LParam == 0 && node->Count() == 0 && !(OptionsValue & ptstoIncludeNonFolders)) node->SetHasChildren(false);
      return true;
    }
    case WM_PT_DEFERREDFILL:
      if (!TopNode() && (OptionsValue & ptstoAutoFill)) {
        try {
          Fill();
        } catch (...) {
          HandleApplicationException(std::current_exception());
        }
      }
      return true;
    default:
      return TPTCustomTreeView::event(e);
  }
}

void TPTCustomShellTree::GoUp(int levels) {
  TPTTreeNode* node = Selected();
  if (!node || node == TopNode()) return;
  for (int i = 0; i < levels && node->Parent(); ++i) node = node->Parent();
  ImmediateSync = 1;
  SetSelected(node);
}

bool TPTCustomShellTree::CreateFolder() {
  if (!Selected()) return false;
  // A place with no folder on disk is reported by the folder maker.
  const std::string path = GetSelectedPath();
  IgnoreNextChange = WatcherValue != nullptr;
  std::string newPath;
  if (!CreateNewFolder(path, newPath)) {
    IgnoreNextChange = false;
    return false;
  }
  Refresh();
  TPTTreeNode* node = Selected();
  if (!node) return true;
  node->SetHasChildren(true);
  node->SetExpanded(true);
  const QString name = QString::fromStdString(shellns::DisplayableName(shellns::BaseName(newPath)));
  for (int i = 0; i < node->Count(); ++i) {
    if (node->Child(i)->Text() == name) {
      EditText(node->Child(i));
      break;
    }
  }
  return true;
}

HRESULT TPTCustomShellTree::InvokeNodeVerb(TPTTreeNode* node, const std::string& verb, bool shiftDown) {
  TPTShTreeData* data = NodeData(node);
  if (!data || !node->Parent()) return S_FALSE;
  ShellFolderPtr parent = data->GetParentFolder();
  std::unique_ptr<shellns::ShellContextMenu> menu;
  HRESULT hr = parent ? shellns::ShellContextMenu::Create(parent, {shellns::ToIdList(data->RelativePidl.get())}, menu)
                      : E_FAIL;
  if (FAILED(hr)) throw EPTShellError(shellns::ResultText(hr), hr);
  hr = InvokeVerb(this, *menu, verb, shiftDown);
  Refresh();
  return hr;
}

int TPTCustomShellTree::GetImageIndex(TPTTreeNode* node) {
  if (node->ImageIndex == 0)
    if (TPTShTreeData* d = NodeData(node)) node->ImageIndex = GetFileIconIndex(d->GetAbsolutePidl(), SHGFI_SMALLICON);
  return TPTCustomTreeView::GetImageIndex(node);
}

int TPTCustomShellTree::GetSelectedIndex(TPTTreeNode* node) {
  if (node->SelectedIndex == 0)
    if (TPTShTreeData* d = NodeData(node))
      node->SelectedIndex = GetFileIconIndex(d->GetAbsolutePidl(), SHGFI_SMALLICON | SHGFI_OPENICON);
  return TPTCustomTreeView::GetSelectedIndex(node);
}

bool TPTCustomShellTree::CanEdit(TPTTreeNode* node) {
  TPTShTreeData* data = NodeData(node);
  return data ? !ReadOnly && data->CanRename() : TPTCustomTreeView::CanEdit(node);
}

bool TPTCustomShellTree::NodeEdited(TPTTreeNode* node, QString& text) {
  TPTShTreeData* data = NodeData(node);
  if (!data) return TPTCustomTreeView::NodeEdited(node, text);
  if (OnEdited) OnEdited(this, node, text);
  bool renamed = false;
  {
    WaitScope wait;
    ShellFolderPtr parent = data->GetParentFolder();
    if (!parent) return false;
    // The folders below move with it: the watcher learns their new paths.
    std::vector<TPTTreeNode*> loaded;
    std::vector<TPTTreeNode*> stack{node};
    while (!stack.empty()) {
      TPTTreeNode* n = stack.back();
      stack.pop_back();
      if (n->Count() > 0) {
        loaded.push_back(n);
        if (WatcherValue) WatcherValue->ForgetLoadedFolder(NodeData(n)->GetPath());
      }
      for (int i = 0; i < n->Count(); ++i) stack.push_back(n->Child(i));
    }
    IgnoreNextChange = WatcherValue != nullptr;
    Counter update(InternalUpdate);
    IdList newItem;
    const HRESULT hr = parent->SetNameOf(data->RelativePidl.get(), text.toStdString(), shellns::SHGDN_INFOLDER, newItem);
    if (SUCCEEDED(hr)) {
      stack = {node};
      while (!stack.empty()) {
        TPTTreeNode* n = stack.back();
        stack.pop_back();
        if (TPTShTreeData* d = NodeData(n)) d->Invalidate();
        for (int i = 0; i < n->Count(); ++i) stack.push_back(n->Child(i));
      }
      data->SetRelativePidl(newItem.data());
      text = QString::fromStdString(GetNameOf(parent, newItem.data(), shellns::SHGDN_INFOLDER));
      PidlPtr abs = CopyOf(data->GetAbsolutePidl());
      CurrentFolderValue.SetPidl(abs.get());
      if (ShellListValue) ShellListValue->FollowTree(abs.get());
      if (ShellComboValue) ShellComboValue->FollowTree(abs.get());
      renamed = true;
    } else {
      IgnoreNextChange = false;
      ShellMessage(ShellFailureText(QStringLiteral("rename"),
                                    QStringLiteral("%1 to %2").arg(QString::fromStdString(data->GetPath()), text), hr),
                   1);
    }
    for (TPTTreeNode* n : loaded) WatchLoaded(n);
  }
  QTimer::singleShot(0, this, [this] { RunPendingRefresh(); });
  return renamed;
}

void TPTCustomShellTree::DoNodeContextMenu(TPTTreeNode* node, const QPoint& clientPoint, QMenu*& menu) {
  TPTCustomTreeView::DoNodeContextMenu(node, clientPoint, menu);
  if (!(OptionsValue & ptstoContextMenus) || !NodeData(node)) return;
  menu = nullptr;
  ShowShellMenu(node, clientPoint);
}

void TPTCustomShellTree::ShowShellMenu(TPTTreeNode* node, const QPoint& clientPoint) {
  TPTShTreeData* data = NodeData(node);
  PidlPtr abs = CopyOf(data->GetAbsolutePidl());
  if (GetPidlSize(abs.get()) <= 2) return;
  ShellFolderPtr parent = data->GetParentFolder();
  if (!parent) return;
  std::unique_ptr<shellns::ShellContextMenu> context;
  QMenu* popup = nullptr;
  PCItemIDList relative = data->RelativePidl.get();
  const uint32_t flags = shellns::CMF_EXPLORE | (ReadOnly ? 0 : shellns::CMF_CANRENAME);
  try {
    GetContextMenu(this, parent, 1, &relative, flags, 1000, context, popup);
  } catch (...) {
    HandleApplicationException(std::current_exception());
    return;
  }
  std::unique_ptr<QMenu> hold(popup);
  const std::vector<TPTSendToEntry> sendTo = SendToEntries();
  if (!sendTo.empty()) AddSendToItems(popup->addMenu(QStringLiteral("Se&nd To")), sendTo);
  connect(popup, &QMenu::hovered, this, [this](QAction* a) {
    if (OnPopupHint) OnPopupHint(this, MenuCommandId(a) >= 1000 ? a->statusTip() : QString());
  });
  PidlPtr parentAbs = CopyOf(TPTIdListArray(abs.get()).Parent(1));
  PidlPtr rel = CopyOf(relative);
  Busy = true;
  const QString target = QString::fromStdString(data->GetPath());
  QAction* chosen = MenuTracker(this, popup, viewport()->mapToGlobal(clientPoint));
  const QString command = chosen ? QString(chosen->text()).remove(QLatin1Char('&')) : QString();
  const int id = MenuCommandId(chosen);
  try {
    if (id == 1000 + shellns::kCmdRename) {
      Busy = false;
      // The node may have gone while the menu was open: look it up again.
      if (TPTTreeNode* again = FindNode(abs.get())) EditText(again);
    } else if (id >= 1000) {
      const HRESULT hr = InvokeVerb(this, *context, id - 1000);
      Busy = false;
      if (FAILED(hr)) ShellMessage(ShellFailureText(QStringLiteral("carry out \"%1\" on").arg(command), target, hr), 1);
      Refresh();
    } else if (id >= 1 && id <= static_cast<int>(sendTo.size())) {
      std::unique_ptr<QMimeData> dataObject(CreateShellDataObject(parentAbs.get(), {rel.get()}));
      if (dataObject) SendToItem(sendTo[static_cast<size_t>(id - 1)].FileName, dataObject.get());
    }
  } catch (...) {
    HandleApplicationException(std::current_exception());
  }
  Busy = false;
  RunPendingRefresh();
}

void TPTCustomShellTree::keyPressEvent(QKeyEvent* e) {
  if ((OptionsValue & ptstoDefaultKeyHandling) && !IsEditing()) {
    const uint16_t sc = ShortCutFromQt(e->key(), e->modifiers());
    const TPTShellControlDefKeyRec* keys = KeyTable();
    TPTTreeNode* node = Selected();
    auto is = [&](TPTShellKey k) { return sc != 0 && sc == keys[k].ShortCut; };
    try {
      if (is(skRename)) {
        EditText(node);
      } else if (is(skRefresh)) {
        Refresh();
      } else if (is(skCut)) {
        InvokeNodeVerb(node, "cut");
      } else if (is(skCopy)) {
        InvokeNodeVerb(node, "copy");
      } else if (is(skPaste)) {
        InvokeNodeVerb(node, "paste");
      } else if (is(skDelete) || (sc & ~scShift) == keys[skDelete].ShortCut) {
        InvokeNodeVerb(node, "delete", (sc & scShift) != 0);
      } else {
        TPTCustomTreeView::keyPressEvent(e);
        return;
      }
    } catch (...) {
      HandleApplicationException(std::current_exception());
    }
    e->accept();
    return;
  }
  TPTCustomTreeView::keyPressEvent(e);
}

void TPTCustomShellTree::mousePressEvent(QMouseEvent* e) {
  // A click moves the linked controls at once; a press that selects nothing new leaves keyboard moves paced.
  QTreeWidgetItem* before = currentItem();
  ImmediateSync = 1;
  TPTCustomTreeView::mousePressEvent(e);
  if (currentItem() == before) ImmediateSync = 0;
}

void TPTCustomShellTree::startDrag(Qt::DropActions) { BeginOleDrag(0); }

void TPTCustomShellTree::BeginOleDrag(int) {
  TPTTreeNode* node = Selected();
  TPTShTreeData* data = NodeData(node);
  if (!data || node == TopNode() || !(OptionsValue & ptstoOleDrag) || !node->Parent()) return;
  PidlPtr parentAbs = CopyOf(NodeData(node->Parent())->GetAbsolutePidl());
  QMimeData* mime = CreateShellDataObject(parentAbs.get(), {data->RelativePidl.get()});
  if (!mime) return;
  const uint32_t allowed = ItemDropEffects(data->GetAbsolutePidl());
  Busy = true;
  DraggingFromHere = true;
  DragNode = node;
  DropHilited = node;
  uint32_t effect = 0;
  const HRESULT hr = DoDragDrop(this, mime, allowed, effect);
  Busy = false;
  DraggingFromHere = false;
  DragNode = nullptr;
  DropHilited = nullptr;
  if (hr == DRAGDROP_S_DROP || RefreshPending) {
    RefreshPending = false;
    try {
      Refresh();
    } catch (...) {
      HandleApplicationException(std::current_exception());
    }
  }
}

TPTTreeNode* TPTCustomShellTree::DropNode(const QPoint& pos) const {
  TPTTreeNode* node = NodeAt(pos);
  return NodeData(node) ? node : nullptr;
}

void TPTCustomShellTree::dragEnterEvent(QDragEnterEvent* e) {
  DragKeyState = KeyStateFromQt(e->buttons(), e->modifiers());
  TPTTreeNode* node = DropNode(e->position().toPoint());
  uint32_t effect = DropEffectsFromQt(e->possibleActions());
  PidlPtr target = node && node != TopNode() ? CopyOf(NodeData(node)->GetAbsolutePidl()) : nullptr;
  DropHelper.DragEnter(e->mimeData(), DragKeyState, e->position().toPoint(), target.get(), effect);
  DropHilited = target ? node : DragNode;
  viewport()->update();
  // The drag is taken in so that moves over other nodes are heard.
  e->setDropAction(DropEffectToQt(effect & ~DROPEFFECT_SCROLL));
  e->accept();
}

void TPTCustomShellTree::dragMoveEvent(QDragMoveEvent* e) {
  const QPoint pos = e->position().toPoint();
  DragKeyState = KeyStateFromQt(e->buttons(), e->modifiers()) | (DragKeyState & (MK_LBUTTON | MK_RBUTTON));
  TPTTreeNode* node = DropNode(pos);
  uint32_t effect = DropEffectsFromQt(e->possibleActions());
  PidlPtr target = node ? CopyOf(NodeData(node)->GetAbsolutePidl()) : nullptr;
  DropHelper.DragOver(DragKeyState, pos, target.get(), effect);
  int dx = 0, dy = 0;
  if (DropHelper.AutoScroll(viewport()->rect(), pos, QDateTime::currentMSecsSinceEpoch(), dx, dy)) {
    if (dx) ScrollStep(this, 0, dx < 0 ? SB_LINEUP : SB_LINEDOWN);
    if (dy) ScrollStep(this, 1, dy < 0 ? SB_LINEUP : SB_LINEDOWN);
  }
  TPTTreeNode* hilite = node ? node : DragNode;
  if (hilite != DropHilited) {
    DropHilited = hilite;
    viewport()->update();
  }
  const uint32_t shown = effect & ~DROPEFFECT_SCROLL;
  if (shown == 0) {
    e->ignore();
    return;
  }
  e->setDropAction(DropEffectToQt(shown));
  e->accept();
}

void TPTCustomShellTree::dragLeaveEvent(QDragLeaveEvent* e) {
  DropHelper.DragLeave();
  DropHilited = DraggingFromHere ? DragNode : nullptr;
  viewport()->update();
  e->accept();
}

void TPTCustomShellTree::dropEvent(QDropEvent* e) {
  const QPoint pos = e->position().toPoint();
  TPTTreeNode* node = DropNode(pos);
  uint32_t effect = DropEffectsFromQt(e->possibleActions());
  PidlPtr target = node ? CopyOf(NodeData(node)->GetAbsolutePidl()) : nullptr;
  const uint32_t keys = KeyStateFromQt(e->buttons(), e->modifiers()) | (DragKeyState & (MK_LBUTTON | MK_RBUTTON));
  if (target) DropHelper.Drop(e->mimeData(), keys, pos, target.get(), effect);
  else effect = DROPEFFECT_NONE;
  DropHelper.DragLeave();
  DropHilited = nullptr;
  e->setDropAction(DropEffectToQt(effect));
  if (effect) e->accept(); else e->ignore();
  try {
    if (target) Refresh();
  } catch (...) {
    HandleApplicationException(std::current_exception());
  }
}

void TPTCustomShellTree::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
  TPTCustomTreeView::closeEditor(editor, hint);
  // A refresh asked for while the label was edited runs now, edit kept or not.
  QTimer::singleShot(0, this, [this] { RunPendingRefresh(); });
}

bool TPTCustomShellTree::HasCustomDrawEvents() const {
  return OnCustomDrawSh || OnCustomDrawShEx || TPTCustomTreeView::HasCustomDrawEvents();
}

TPTTvCustomDraw* TPTCustomShellTree::CustomDrawNotify(TPTCustomDrawInfo* notification, uint32_t& result,
                                                      TPTTreeNode* node) {
  TPTTvCustomDraw* draw = RunCustomDrawEvents<TPTTvCustomDraw>(
      *notification, node, OnCustomDrawShEx || OnCustomDrawTvEx, OnCustomDrawSh || OnCustomDrawTv,
      [&] { return CreateCustomDraw(notification, &result); },
      [&](TPTTvCustomDraw* d, TPTTreeNode* n) {
        if (OnCustomDrawTvEx) OnCustomDrawTvEx(this, d, n);
        if (OnCustomDrawShEx) OnCustomDrawShEx(this, d, n, NodeData(n));
      },
      [&](TPTTvCustomDraw* d, TPTTreeNode* n) {
        if (OnCustomDrawTv) OnCustomDrawTv(this, d, n);
        if (OnCustomDrawSh) OnCustomDrawSh(this, d, n, NodeData(n));
      });
  if (notification->Stage == dsPrePaint && HasCustomDrawEvents()) result |= CDRF_NOTIFYITEMDRAW;
  return draw;
}

}  // namespace ptshell
