#include "controls/shell/widgets/ptshelllist.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDateTime>
#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QListView>
#include <QTreeView>
#include <QMenu>
#include <QMimeData>

#include <algorithm>
#include <map>

#include "controls/shell/device_change.h"
#include "controls/shell/pidl_list.h"
#include "controls/shell/pt_messages.h"
#include "controls/shell/widgets/ptshellcombo.h"
#include "controls/shell/shell_consts.h"
#include "controls/shell/shell_controls.h"
#include "platform/shellnamespace/mount_table.h"
#include "platform/shellnamespace/shell_verbs.h"
#include "platform/shellnamespace/user_folders.h"

namespace ptshell {

using shellns::IdList;

namespace {

// The item test needs no subfolder probe: the list never shows expand buttons.
constexpr uint32_t kListTestMask = 0x720B0000;
// Nor do the attributes of an item (folders are told by SFGAO_FOLDER).
constexpr uint32_t kListAttributeMask = 0x700F0037;

struct WaitScope {
  WaitScope() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitScope() { QApplication::restoreOverrideCursor(); }
};

// Column widths the lists last had, shared by every list of the process.
std::vector<int>& SavedColumnWidths() {
  static std::vector<int> widths;
  return widths;
}

bool MatchFrom(const QString& name, qsizetype n, const QString& mask, qsizetype m) {
  while (m < mask.size()) {
    const QChar c = mask[m];
    if (c == u'*') {
      while (m < mask.size() && mask[m] == u'*') ++m;
      if (m == mask.size()) return true;
      for (qsizetype k = n; k <= name.size(); ++k)
        if (MatchFrom(name, k, mask, m)) return true;
      return false;
    }
    if (n >= name.size()) return false;
    if (c != u'?' && name[n] != c) return false;
    ++n;
    ++m;
  }
  return n == name.size();
}

}  // namespace

bool MatchesFileMask(const QString& name, const QString& mask) {
  // "*.*" stands for every name, with or without an extension.
  if (mask == QLatin1String("*.*") || mask == QLatin1String("*")) return true;
  return MatchFrom(name.toCaseFolded(), 0, mask.toCaseFolded(), 0);
}

QStringList SplitFileFilter(const QString& filter) {
  QStringList out;
  for (const QString& piece : filter.split(u';'))
    if (!piece.trimmed().isEmpty()) out.append(piece.trimmed());
  return out;
}

// --- TPTShListData ---

TPTShListData::TPTShListData(TPTCustomShellList* list, PCItemIDList relative)
    : List(list), RelativePidl(CopyPidl(nullptr, relative)) {}

PCItemIDList TPTShListData::GetAbsolutePidl() {
  if (!AbsolutePidl) AbsolutePidl.reset(ConcatPidls(nullptr, List->FolderPidl(), RelativePidl.get()));
  return AbsolutePidl.get();
}

uint32_t TPTShListData::GetAttributes() {
  if (!Attributes) {
    uint32_t attrs = kListAttributeMask;
    const uint8_t* items[] = {RelativePidl.get()};
    const ShellFolderPtr& folder = List->ShellFolder();
    if (!folder || FAILED(folder->GetAttributesOf(1, items, attrs))) attrs = 0;
    // Media that can be taken out are never reported read-only.
    const std::string path = GetPath();
    if (!path.empty() && PathHasFolderPart(path) &&
        (shellns::MountTable::VolumeOf(path).flags & shellns::kVolumeRemovable))
      attrs &= ~shellns::SFGAO_READONLY;
    Attributes = attrs;
  }
  return *Attributes;
}

bool TPTShListData::IsFolder() { return GetAttributes() & shellns::SFGAO_FOLDER; }

bool TPTShListData::IsLink() {
  const std::string path = GetPath();
  return (GetAttributes() & shellns::SFGAO_LINK) ||
         QString::fromStdString(path).endsWith(QLatin1String(".lnk"), Qt::CaseInsensitive);
}

bool TPTShListData::CanRename() { return GetAttributes() & shellns::SFGAO_CANRENAME; }

QString TPTShListData::GetDisplayName() {
  if (!DisplayName)
    DisplayName = QString::fromStdString(GetNameOf(List->ShellFolder(), RelativePidl.get(), shellns::SHGDN_INFOLDER));
  return *DisplayName;
}

std::string TPTShListData::GetPath() { return PidlToPath(GetAbsolutePidl()); }

std::string TPTShListData::GetFileName() { return shellns::BaseName(GetPath()); }

void TPTShListData::SetRelativePidl(PCItemIDList pidl) {
  RelativePidl.reset(CopyPidl(nullptr, pidl));
  AbsolutePidl.reset();
  DisplayName.reset();
  Attributes.reset();
  DetailsLoaded = false;
  Size.clear();
  Type.clear();
  Date.clear();
}

QString TPTShListData::GetDetailText(int column) {
  if (column <= 0 || column > 3) return QString();
  if (!DetailsLoaded) {
    GetItemDetails(GetAbsolutePidl(), GetAttributes(), Size, Date, Type);
    DetailsLoaded = true;
  }
  return column == 1 ? Size : column == 2 ? Type : Date;
}

// --- TPTCustomShellList ---

TPTCustomShellList::TPTCustomShellList(QWidget* parent) : TPTCustomListView(parent) {
  SmallImages = &Small;
  LargeImages = &Large;
  SetViewStyle(vsSmallIcon);
  SetViewStyle(vsIcon);
  FolderValue.OnChange = [this](TPTShellLocator*) { FolderChanged(); };
  RefreshTimer.setSingleShot(true);
  connect(&RefreshTimer, &QTimer::timeout, this, [this] {
    if (ComboValue) ComboValue->SettlePending();
    if (TreeValue) TreeValue->FlushPendingSync(false);
    try {
      Resync();
    } catch (...) {
      HandleApplicationException(std::current_exception());
    }
  });
  DeviceChangeHandler()->Register(this, [this](TPTDeviceChangeHandler*, const TPTMessageEvent& m) {
    DeviceChanged(m.WParam);
  });
  SetAllocBy(256);
  SetOptions(OptionsValue);
  QCoreApplication::postEvent(this, new TPTMessageEvent(WM_PT_DEFERREDFILL, 0, 0));
}

TPTCustomShellList::~TPTCustomShellList() {
  DeviceChangeHandler()->Unregister(this);
  WatcherValue.reset();
  if (TreeValue && TreeValue->ShellList() == this) TreeValue->SetShellList(nullptr);
  if (ComboValue) ComboValue->LinkList(nullptr);
  // Items go before the window, without the folder callback.
  FolderValue.OnChange = nullptr;
  ClearItems();
}

std::string TPTCustomShellList::FolderPath() const { return PidlToPath(FolderPidlValue.get()); }

void TPTCustomShellList::SetOptions(TPTShellListOptions value) {
  const TPTShellListOptions old = OptionsValue;
  OptionsValue = value;
  for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(IconView()),
                               static_cast<QAbstractItemView*>(ReportView())}) {
    v->setDragEnabled(value & ptsloOleDrag);
    v->setAcceptDrops(value & ptsloOleDrop);
    v->viewport()->setAcceptDrops(value & ptsloOleDrop);
  }
  if ((old & ptsloDynamicRefresh) && !(value & ptsloDynamicRefresh) && WatcherValue) WatcherValue->RemoveAllWatches();
  if (!(old & ptsloDynamicRefresh) && (value & ptsloDynamicRefresh) && ShellFolderValue) StartWatching();
}

void TPTCustomShellList::SetFileFilter(const QString& filter) {
  if (filter == FileFilterValue) {
    if (filter.isEmpty()) Masks.clear();
    return;
  }
  FileFilterValue = filter;
  Masks = SplitFileFilter(filter);
  if (OptionsValue & ptsloAutoFill) {
    try {
      Refresh();
    } catch (...) {
      HandleApplicationException(std::current_exception());
    }
  }
}

uint32_t TPTCustomShellList::EnumFlags() const {
  uint32_t flags = shellns::SHCONTF_FOLDERS | shellns::SHCONTF_NONFOLDERS;
  if (OptionsValue & ptsloShowHidden) flags |= shellns::SHCONTF_INCLUDEHIDDEN;
  return flags;
}

void TPTCustomShellList::ReportError(const QString& operation, const QString& files, HRESULT hr) {
  ShellMessage(ShellFailureText(operation, files, hr), 1);
}

void TPTCustomShellList::Refresh() {
  if (DragRunning || IsEditing()) {
    RefreshPending = true;
    return;
  }
  RefreshPending = false;
  WaitScope wait;
  BeginUpdate();
  ClearSelection();
  ClearItems();
  ShellFolderPtr folder;
  const HRESULT hr = BindToFolder(FolderValue.GetPidl(), folder);
  if (FAILED(hr)) {
    // The list shows the folder it was asked for, empty, and says why.
    FolderPidlValue = CopyOf(FolderValue.GetPidl());
    ShellFolderValue.reset();
    EndUpdate();
    ReportError(QStringLiteral("open the folder"), QString::fromStdString(PidlToPath(FolderValue.GetPidl())), hr);
    return;
  }
  const std::string path = PidlToPath(FolderValue.GetPidl());
  MatchActive = !path.empty() && !Masks.isEmpty() &&
                !(Masks.size() == 1 && (Masks[0] == QLatin1String("*") || Masks[0] == QLatin1String("*.*")));
  FillProper(folder);
  MatchActive = false;
  EndUpdate();
  if ((OptionsValue & ptsloDynamicRefresh)) StartWatching();
}

void TPTCustomShellList::BuildColumns() {
  std::vector<int>& saved = SavedColumnWidths();
  if (ColumnCount() > 0) {
    saved.clear();
    for (int i = 0; i < ColumnCount(); ++i) saved.push_back(ColumnWidth(i));
  }
  static const int kDefaultWidths[] = {200, 60, 100, 120};
  const int ids[] = {SPTColName, SPTColSize, SPTColType, SPTColModified};
  std::vector<TPTListColumn> columns;
  for (int i = 0; i < 4; ++i) {
    TPTListColumn c;
    c.Caption = PTShText(ids[i]);
    c.Width = i < static_cast<int>(saved.size()) ? saved[static_cast<size_t>(i)] : kDefaultWidths[i];
    c.Alignment = i == 1 ? Qt::AlignRight : Qt::AlignLeft;
    columns.push_back(c);
  }
  if (ColumnCount() != 4) {
    SetColumns(columns);
  } else {
    for (int i = 0; i < 4; ++i) SetColumnWidth(i, columns[static_cast<size_t>(i)].Width);
  }
  if (std::abs(SortColumnValue) > ColumnCount()) SortColumnValue = 1;
  TPTCustomListView::SetSortColumn(std::abs(SortColumnValue) - 1);
  SetSortDirection(SortColumnValue > 0 ? 1 : 0);
}

void TPTCustomShellList::FillProper(const ShellFolderPtr& folder) {
  BeginUpdate();
  if (OnFillStart) OnFillStart(this);
  FolderPidlValue = CopyOf(FolderValue.GetPidl());
  ShellFolderValue = folder;
  BuildColumns();
  std::vector<IdList> found;
  const HRESULT hr = folder->EnumObjects(EnumFlags(), found);
  if (FAILED(hr)) {
    // Folder and list stay together: the new folder, no items, and the cause shown.
    EndUpdate();
    if (OnFillComplete) OnFillComplete(this);
    ReportError(QStringLiteral("read the folder"), QString::fromStdString(PidlToPath(FolderValue.GetPidl())), hr);
    return;
  }
  SetAllocBy(std::max<int>(1, static_cast<int>(found.size())));
  std::vector<std::unique_ptr<TPTListItem>> items;
  items.reserve(found.size());
  for (const IdList& pidl : found) {
    auto* data = new TPTShListData(this, pidl.data());
    if (!ItemTest(folder, data)) {
      delete data;
      continue;
    }
    items.push_back(MakeItem(data));
  }
  AddItems(std::move(items));
  SortNow();
  if (ItemCount() > 0) SetItemFocused(Item(0));
  EndUpdate();
  if (OnFillComplete) OnFillComplete(this);
}

bool TPTCustomShellList::ItemTest(const ShellFolderPtr& folder, TPTShListData* data) {
  using namespace shellns;
  uint32_t attrs = kListTestMask;
  const uint8_t* items[] = {data->RelativePidl.get()};
  if (FAILED(folder->GetAttributesOf(1, items, attrs))) return false;
  data->TestAttributes = attrs;
  if (!(OptionsValue & ptsloNonFilesystemAncestors) && !(attrs & (SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR)))
    return false;
  if (HidesFoldersWhenLinkedToTree() && (attrs & SFGAO_FOLDER) && (attrs & SFGAO_FILESYSTEM)) return false;
  return AcceptItem(folder, data->RelativePidl.get(), attrs);
}

bool TPTCustomShellList::AcceptItem(const ShellFolderPtr& folder, PCItemIDList relative, uint32_t attributes) {
  if (MatchActive && !(attributes & shellns::SFGAO_FOLDER)) {
    // The name part of the parsing name, decoded for showing, against each mask.
    const QString name = QString::fromStdString(shellns::DisplayableName(
        GetNameOf(folder, relative, shellns::SHGDN_INFOLDER | shellns::SHGDN_FORPARSING)));
    bool any = false;
    for (const QString& mask : Masks)
      if ((any = MatchesFileMask(name, mask))) break;
    if (!any) return false;
  }
  bool allow = true;
  if (OnAddItem) OnAddItem(this, folder, FolderPidlValue.get(), relative, attributes, allow);
  return allow;
}

std::unique_ptr<TPTListItem> TPTCustomShellList::MakeItem(TPTShListData* data) {
  auto item = std::make_unique<TPTListItem>();
  item->Data = data;
  const uint32_t attrs = data->TestAttributes;
  if (attrs & shellns::SFGAO_SHARE)
    item->OverlayIndex = 0;
  else if (attrs & shellns::SFGAO_LINK)
    item->OverlayIndex = 1;
  item->Cut = attrs & shellns::SFGAO_GHOSTED;
  return item;
}

void TPTCustomShellList::SetSortColumn(int signedColumn) {
  SortColumnValue = signedColumn;
  if (signedColumn != 0) {
    TPTCustomListView::SetSortColumn(std::abs(signedColumn) - 1);
    SetSortDirection(signedColumn > 0 ? 1 : 0);
  }
}

void TPTCustomShellList::SortNow() {
  const int c = SortColumnValue;
  if (c == 0 || !ShellFolderValue) return;
  const ShellFolderPtr folder = ShellFolderValue;
  const uint32_t column = static_cast<uint32_t>(std::abs(c) - 1);
  SortItems([&](const TPTListItem* a, const TPTListItem* b) {
    auto* da = static_cast<TPTShListData*>(a->Data);
    auto* db = static_cast<TPTShListData*>(b->Data);
    if (!da || !db) return false;
    const HRESULT hr = folder->CompareIDs(column, da->RelativePidl.get(), db->RelativePidl.get());
    const int code = SUCCEEDED(hr) ? shellns::CompareCode(hr) : 0;
    return c > 0 ? code < 0 : code > 0;
  });
}

void TPTCustomShellList::ColumnClick(int column) {
  const int c = column + 1;
  SetSortColumn(std::abs(SortColumnValue) == c ? -SortColumnValue : c);
  SortNow();
}

void TPTCustomShellList::Resync() {
  if (DragRunning || IsEditing()) {
    RefreshPending = true;
    return;
  }
  if (ItemCount() == 0 || !ShellFolderValue) {
    Refresh();
    return;
  }
  RefreshPending = false;
  WaitScope wait;
  if (OnFillStart) OnFillStart(this);
  const ShellFolderPtr folder = ShellFolderValue;
  const std::string path = FolderPath();
  MatchActive = !path.empty() && !Masks.isEmpty() &&
                !(Masks.size() == 1 && (Masks[0] == QLatin1String("*") || Masks[0] == QLatin1String("*.*")));
  std::vector<IdList> found;
  const HRESULT hr = folder->EnumObjects(EnumFlags(), found);
  if (FAILED(hr)) {
    MatchActive = false;
    if (OnFillComplete) OnFillComplete(this);
    return;
  }
  // Items of a file-system folder are told apart by their bytes (a changed
  // file's size or time differs); other folders compare by their own order.
  TPTPidlList present;
  present.Duplicates = dupAccept;
  if (path.empty()) present.Folder = folder;
  for (int i = 0; i < ItemCount(); ++i)
    if (TPTShListData* d = GetItemData(i)) present.AddObject(d->RelativePidl.get(), Item(i));
  present.SetSorted(true);
  TPTPidlList current;
  current.Duplicates = dupAccept;
  current.Folder = present.Folder;
  current.Allocator = GetShellMalloc();
  for (const IdList& pidl : found) current.Add(PidlFromIdList(pidl));
  for (int i = current.Count() - 1; i >= 0; --i) {
    int index = 0;
    if (present.Find(current.Pidls(i), index)) {
      present.Delete(index);
      current.Delete(i);
    }
  }
  // A file that only changed (size, time) keeps its item, and with it its
  // selection and focus: the item takes the new PIDL in place.
  std::map<std::string, int> fresh;
  if (!path.empty())
    for (int i = 0; i < current.Count(); ++i) {
      std::string name;
      if (SUCCEEDED(folder->GetDisplayNameOf(current.Pidls(i), shellns::SHGDN_INFOLDER | shellns::SHGDN_FORPARSING, name)))
        fresh.emplace(name, i);
    }
  std::vector<TPTListItem*> gone;
  std::vector<int> kept;
  for (int i = 0; i < present.Count(); ++i) {
    auto* item = static_cast<TPTListItem*>(present.Data(i));
    std::string name;
    TPTShListData* d = GetDataOf(item);
    const auto match = d && SUCCEEDED(folder->GetDisplayNameOf(d->RelativePidl.get(),
                                                               shellns::SHGDN_INFOLDER | shellns::SHGDN_FORPARSING, name))
                           ? fresh.find(name)
                           : fresh.end();
    if (match == fresh.end()) {
      gone.push_back(item);
      continue;
    }
    d->SetRelativePidl(current.Pidls(match->second));
    item->Caption.clear();
    kept.push_back(match->second);
    UpdateItem(item);
  }
  DeleteItems(gone);
  std::sort(kept.begin(), kept.end());
  for (auto i = kept.rbegin(); i != kept.rend(); ++i) current.Delete(*i);
  std::vector<std::unique_ptr<TPTListItem>> added;
  for (int i = 0; i < current.Count(); ++i) {
    auto* data = new TPTShListData(this, current.Pidls(i));
    if (!ItemTest(folder, data)) {
      delete data;
      continue;
    }
    added.push_back(MakeItem(data));
  }
  const bool any = !added.empty();
  AddItems(std::move(added));
  if (any) SortNow();
  MatchActive = false;
  if (OnFillComplete) OnFillComplete(this);
  SetAllocBy(256);
}

void TPTCustomShellList::FolderChanged() {
  if (FolderCallbackDepth == 0) {
    ++FolderCallbackDepth;
    PidlPtr pidl = CopyOf(FolderValue.GetPidl());
    try {
      if (TreeValue)
        TreeValue->SelectFolderPidl(pidl.get());
      else if (ComboValue)
        ComboValue->Folder().SetPidl(pidl.get());
      Refresh();
    } catch (...) {
      --FolderCallbackDepth;
      HandleApplicationException(std::current_exception());
      if (OnFolderChanged) OnFolderChanged(this);
      return;
    }
    --FolderCallbackDepth;
  }
  if (OnFolderChanged) OnFolderChanged(this);
}

TPTCustomShellTree* TPTCustomShellList::ShellTree() const { return TreeValue.data(); }
TPTCustomShellCombo* TPTCustomShellList::ShellCombo() const { return ComboValue.data(); }
bool TPTCustomShellList::HidesFoldersWhenLinkedToTree() const {
  return (OptionsValue & ptsloHideFoldersWhenLinkedToTree) && TreeValue;
}

void TPTCustomShellList::LinkTree(TPTCustomShellTree* tree) { TreeValue = tree; }
void TPTCustomShellList::LinkCombo(TPTCustomShellCombo* combo) { ComboValue = combo; }

void TPTCustomShellList::FollowTree(PCItemIDList absolute) {
  PidlPtr pidl = CopyOf(absolute);
  FolderValue.SetPidl(pidl.get());
}

void TPTCustomShellList::SettlePending() {
  if (!RefreshTimer.isActive()) return;
  RefreshTimer.stop();
  Resync();
}

void TPTCustomShellList::StartWatching() {
  const std::string path = FolderPath();
  if (path.empty()) return;
  if (!WatcherValue) WatcherValue = std::make_unique<TChangeHandlerThread>(this, WM_PT_CHANGENOTIFY);
  WatcherValue->RemoveAllWatches();
  int slot = -1;
  WatcherValue->AddWatch(path, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME, false, slot);
}

void TPTCustomShellList::ChangeNotice() {
  if (OwnChange) {
    OwnChange = false;
    return;
  }
  if (DragRunning) return;
  RefreshTimer.start(Focused() ? 400 : 2000);
}

void TPTCustomShellList::DeviceChanged(uintptr_t event) {
  if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) return;
  if (PidlToSpecialFolder(FolderPidlValue.get()) != shellns::CSIDL_DRIVES) return;
  BeginNoValidate();
  try {
    Refresh();
  } catch (...) {
    EndNoValidate();
    throw;
  }
  EndNoValidate();
}

bool TPTCustomShellList::event(QEvent* e) {
  switch (TPTMessageEvent::MessageOf(e)) {
    case WM_PT_CHANGENOTIFY:
      ChangeNotice();
      return true;
    case WM_PT_DEFERREDFILL:
      if (ItemCount() == 0 && (OptionsValue & ptsloAutoFill) && !ShellFolderValue) {
        try {
          Refresh();
        } catch (...) {
          HandleApplicationException(std::current_exception());
        }
      }
      return true;
    case WM_PT_EDITNEWFOLDER:
      if (TPTListItem* item = FindItemByName(NewFolderName)) {
        SetFocusToList();
        EditCaption(item);
      }
      NewFolderName.clear();
      return true;
    default:
      return TPTCustomListView::event(e);
  }
}

TPTListItem* TPTCustomShellList::FindItemByName(const QString& displayName) const {
  for (int i = 0; i < ItemCount(); ++i)
    if (TPTShListData* d = GetItemData(i); d && d->GetDisplayName() == displayName) return Item(i);
  return nullptr;
}

bool TPTCustomShellList::CreateNewFolder(bool edit) {
  const std::string path = FolderPath();
  OwnChange = WatcherValue != nullptr;
  std::string newPath;
  // A place with no folder on disk is reported by the folder maker.
  if (!::ptshell::CreateNewFolder(path, newPath)) {
    OwnChange = false;
    return false;
  }
  Resync();
  if (edit) {
    NewFolderName = QString::fromStdString(shellns::DisplayableName(shellns::BaseName(newPath)));
    QCoreApplication::postEvent(this, new TPTMessageEvent(WM_PT_EDITNEWFOLDER, 0, 0));
  }
  return true;
}

void TPTCustomShellList::GoUp(int levels) {
  if (OptionsValue & ptsloDontChangeFolder) return;
  if (TreeValue) {
    TreeValue->GoUp(levels);
  } else if (ComboValue) {
    ComboValue->GoUp(levels);
  } else {
    TPTIdListArray items(FolderValue.GetPidl());
    if (levels > items.Count()) levels = items.Count();
    PidlPtr up = CopyOf(items.Parent(levels));
    FolderValue.SetPidl(up.get());
  }
}

void TPTCustomShellList::Navigate(PCItemIDList absolute) {
  if (OptionsValue & ptsloDontChangeFolder) return;
  PidlPtr pidl = CopyOf(absolute);
  if (TreeValue)
    TreeValue->CurrentFolder().SetPidl(pidl.get());
  else if (ComboValue)
    ComboValue->Folder().SetPidl(pidl.get());
  else
    FolderValue.SetPidl(pidl.get());
}

void TPTCustomShellList::OpenItem(TPTListItem* item) {
  SettlePending();
  if (TreeValue) TreeValue->FlushPendingSync(false);
  if (ComboValue) ComboValue->SettlePending();
  TPTShListData* data = GetDataOf(item);
  bool handled = false;
  if (!data) {
    if (OnDblClickOpen) OnDblClickOpen(this, handled);
    return;
  }
  WaitScope wait;
  if (data->IsFolder()) {
    Navigate(data->GetAbsolutePidl());
    return;
  }
  if (data->IsLink()) {
    TLinkData link;
    if (SUCCEEDED(ReadShellLink(data->GetPath(), link, true)) && link.IdList) {
      PidlPtr target(link.IdList);
      shellns::Location where;
      if (shellns::Resolve(target.get(), where) && where.IsFolder()) {
        Navigate(target.get());
        return;
      }
    }
  }
  if (OnDblClickOpen) OnDblClickOpen(this, handled);
  if (handled) return;
  std::unique_ptr<shellns::ShellContextMenu> menu;
  if (FAILED(GetUIObjectOfItem(item, menu))) return;
  for (const shellns::ShellCommand& c : menu->Commands(shellns::CMF_DEFAULTONLY)) {
    shellns::InvokeInfo info;
    info.owner = this;
    menu->InvokeCommand(c.offset, info);
    break;
  }
}

void TPTCustomShellList::OpenSelection() {
  const std::vector<TPTListItem*> selected = SelectedItems();
  if (selected.size() < 2) {
    if (!selected.empty()) OpenItem(selected.front());
    return;
  }
  bool handled = false;
  if (OnDblClickOpen) OnDblClickOpen(this, handled);
  if (handled) return;
  std::unique_ptr<shellns::ShellContextMenu> menu;
  if (FAILED(GetUIObjectOfSelection(menu))) return;
  for (const shellns::ShellCommand& c : menu->Commands(shellns::CMF_DEFAULTONLY)) {
    shellns::InvokeInfo info;
    info.owner = this;
    menu->InvokeCommand(c.offset, info);
    break;
  }
}

std::vector<PCItemIDList> TPTCustomShellList::SelectedRelatives() const {
  std::vector<PCItemIDList> out;
  for (TPTListItem* item : SelectedItems())
    if (TPTShListData* d = GetDataOf(item)) out.push_back(d->RelativePidl.get());
  return out;
}

HRESULT TPTCustomShellList::GetUIObjectOfSelection(std::unique_ptr<shellns::ShellContextMenu>& menu) const {
  const std::vector<PCItemIDList> rels = SelectedRelatives();
  if (rels.empty() || !ShellFolderValue) return E_FAIL;
  std::vector<IdList> items;
  for (PCItemIDList r : rels) items.push_back(shellns::ToIdList(r));
  return shellns::ShellContextMenu::Create(ShellFolderValue, std::move(items), menu);
}

HRESULT TPTCustomShellList::GetUIObjectOfItem(const TPTListItem* item,
                                              std::unique_ptr<shellns::ShellContextMenu>& menu) const {
  TPTShListData* d = GetDataOf(item);
  if (!d || !ShellFolderValue) return E_INVALIDARG;
  return shellns::ShellContextMenu::Create(ShellFolderValue, {shellns::ToIdList(d->RelativePidl.get())}, menu);
}

TPTShListData* TPTCustomShellList::GetSelectedData() const { return GetDataOf(Selected()); }

int TPTCustomShellList::SelectedCount() const { return static_cast<int>(SelectedRelatives().size()); }

uint32_t TPTCustomShellList::SelectionAttributes() const {
  const std::vector<PCItemIDList> rels = SelectedRelatives();
  if (rels.empty() || !ShellFolderValue) return 0;
  uint32_t attrs = shellns::SFGAO_CANCOPY | shellns::SFGAO_CANMOVE | shellns::SFGAO_CANLINK;
  if (FAILED(ShellFolderValue->GetAttributesOf(rels.size(), rels.data(), attrs))) return 0;
  return attrs & 7;
}

HRESULT TPTCustomShellList::InvokeVerbOnSelection(const std::string& verb, bool shiftDown) {
  std::unique_ptr<shellns::ShellContextMenu> menu;
  HRESULT hr = GetUIObjectOfSelection(menu);
  if (FAILED(hr)) return hr;
  hr = InvokeVerb(this, *menu, verb, shiftDown);
  if (!WatcherValue) Resync();
  return hr;
}

HRESULT TPTCustomShellList::InvokeVerbOnFolder(const std::string& verb) {
  if (!ShellFolderValue) return E_FAIL;
  std::unique_ptr<shellns::ShellContextMenu> menu;
  HRESULT hr = shellns::ShellContextMenu::Create(ShellFolderValue, {}, menu);
  if (FAILED(hr)) throw EPTShellError(shellns::ResultText(hr), hr);
  hr = InvokeVerb(this, *menu, verb);
  Resync();
  return hr;
}

void TPTCustomShellList::ShowContextMenu(const QPoint& clientPoint) {
  if (!(OptionsValue & ptsloContextMenus) || DragRunning) {
    TPTCustomListView::ShowContextMenu(clientPoint);
    return;
  }
  MenuShown = true;
  const std::vector<PCItemIDList> rels = SelectedRelatives();
  if (rels.empty() || !ShellFolderValue) return;
  TPTShListData* focused = GetDataOf(ItemFocused());
  uint32_t flags = shellns::CMF_EXPLORE;
  if (focused && !focused->GetPath().empty() && !ReadOnly) flags |= shellns::CMF_CANRENAME;
  std::unique_ptr<shellns::ShellContextMenu> context;
  QMenu* popup = nullptr;
  try {
    GetContextMenu(this, ShellFolderValue, static_cast<int>(rels.size()), rels.data(), flags, 1000, context, popup);
  } catch (...) {
    return;  // no menu for this selection
  }
  std::unique_ptr<QMenu> hold(popup);
  // The menu runs its own event loop, in which a resync may free the items:
  // keep copies of what the chosen entry needs.
  PidlPtr folder = CopyOf(FolderPidlValue.get());
  std::vector<PidlPtr> copies;
  for (PCItemIDList r : rels) copies.push_back(CopyOf(r));
  const std::vector<TPTSendToEntry> sendTo = SendToEntries();
  if (!sendTo.empty()) AddSendToItems(popup->addMenu(QStringLiteral("Se&nd To")), sendTo);
  connect(popup, &QMenu::hovered, this, [this](QAction* a) {
    if (OnPopupHint) OnPopupHint(this, MenuCommandId(a) >= 1000 ? a->statusTip() : QString());
  });
  QStringList targets;
  for (TPTListItem* item : SelectedItems())
    if (TPTShListData* d = GetDataOf(item)) targets << QString::fromStdString(d->GetPath());
  QAction* chosen = TPTCustomShellTree::MenuTracker(this, popup, mapToGlobal(clientPoint));
  const QString command = chosen ? QString(chosen->text()).remove(QLatin1Char('&')) : QString();
  const int id = MenuCommandId(chosen);
  try {
    if (id == 1000 + shellns::kCmdRename) {
      EditCaption(ItemFocused());
    } else if (id >= 1000) {
      const HRESULT hr = InvokeVerb(this, *context, id - 1000);
      if (FAILED(hr)) ReportError(QStringLiteral("carry out \"%1\" on").arg(command), targets.join(QStringLiteral(", ")), hr);
      if (!WatcherValue) Resync();
    } else if (id >= 1 && id <= static_cast<int>(sendTo.size())) {
      std::vector<PCItemIDList> items;
      for (const PidlPtr& c : copies) items.push_back(c.get());
      std::unique_ptr<QMimeData> data(CreateShellDataObject(folder.get(), items));
      if (data) SendToItem(sendTo[static_cast<size_t>(id - 1)].FileName, data.get());
    }
  } catch (...) {
    HandleApplicationException(std::current_exception());
  }
}

bool TPTCustomShellList::ViewKeyPress(QKeyEvent* e) {
  if ((OptionsValue & ptsloDefaultKeyHandling) && !IsEditing()) {
    const uint16_t sc = ShortCutFromQt(e->key(), e->modifiers());
    const TPTShellControlDefKeyRec* keys = KeyTable();
    auto is = [&](TPTShellKey k) { return sc != 0 && sc == keys[k].ShortCut; };
    try {
      if (is(skSelectAll)) {
        SelectAll();
      } else if (is(skRefresh)) {
        Refresh();
      } else if (is(skCopy)) {
        InvokeVerbOnSelection("copy");
      } else if (is(skCut)) {
        InvokeVerbOnSelection("cut");
      } else if (is(skPaste)) {
        InvokeVerbOnFolder("paste");
      } else if (is(skRename)) {
        EditCaption(ItemFocused());
      } else if (sc != 0 && (sc & ~scShift) == keys[skDelete].ShortCut) {
        InvokeVerbOnSelection("delete", (sc & scShift) != 0);
        Resync();
      } else if (e->key() == Qt::Key_Backspace && e->modifiers() == Qt::NoModifier) {
        GoUp(1);
      } else if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && e->modifiers() == Qt::NoModifier) {
        OpenSelection();
      } else {
        return TPTCustomListView::ViewKeyPress(e);
      }
    } catch (...) {
      HandleApplicationException(std::current_exception());
    }
    e->accept();
    return true;
  }
  return TPTCustomListView::ViewKeyPress(e);
}

void TPTCustomShellList::ViewDoubleClick(TPTListItem* item) {
  if (!item) return;
  // The item double-clicked is the one opened, whatever the press left selected.
  if (!IsSelected(item)) {
    ClearSelection();
    SetSelected(item, true);
  }
  SetItemFocused(item);
  try {
    OpenSelection();
  } catch (...) {
    HandleApplicationException(std::current_exception());
  }
}

QString TPTCustomShellList::ItemCaption(TPTListItem* item) {
  if (!item->Caption.isEmpty()) return item->Caption;
  TPTShListData* d = GetDataOf(item);
  return d ? d->GetDisplayName() : QString();
}

QString TPTCustomShellList::ItemSubText(TPTListItem* item, int column) {
  const QString stored = TPTCustomListView::ItemSubText(item, column);
  if (!stored.isEmpty()) return stored;
  TPTShListData* d = GetDataOf(item);
  return d ? d->GetDetailText(column) : QString();
}

int TPTCustomShellList::ItemImage(TPTListItem* item) {
  int index = TPTCustomListView::ItemImage(item);
  if (index < 1)
    if (TPTShListData* d = GetDataOf(item)) index = item->ImageIndex = GetFileIconIndex(d->GetAbsolutePidl(), SHGFI_SMALLICON);
  return index;
}

bool TPTCustomShellList::CanEditCaption(TPTListItem* item) {
  TPTShListData* d = GetDataOf(item);
  return d ? !ReadOnly && d->CanRename() : TPTCustomListView::CanEditCaption(item);
}

bool TPTCustomShellList::CaptionEdited(TPTListItem* item, QString& text) {
  TPTShListData* d = GetDataOf(item);
  if (!d) return TPTCustomListView::CaptionEdited(item, text);
  if (OnEdited) OnEdited(this, item, text);
  if (text.isEmpty() || text == d->GetDisplayName() || !ShellFolderValue) return false;
  bool renamed = false;
  {
    WaitScope wait;
    OwnChange = WatcherValue != nullptr;
    IdList newItem;
    const HRESULT hr = ShellFolderValue->SetNameOf(d->RelativePidl.get(), text.toStdString(),
                                                   shellns::SHGDN_INFOLDER, newItem);
    if (SUCCEEDED(hr)) {
      d->SetRelativePidl(newItem.data());
      text = d->GetDisplayName();
      item->Caption.clear();
      renamed = true;
    } else {
      OwnChange = false;
      ReportError(QStringLiteral("rename"), QStringLiteral("%1 to %2").arg(QString::fromStdString(d->GetPath()), text), hr);
    }
  }
  QTimer::singleShot(0, this, [this] { RunPendingRefresh(); });
  return renamed;
}

void TPTCustomShellList::RunPendingRefresh() {
  if (!RefreshPending || DragRunning || IsEditing()) return;
  try {
    Resync();
  } catch (...) {
    HandleApplicationException(std::current_exception());
  }
}

void TPTCustomShellList::ItemDeleting(TPTListItem* item) {
  TPTCustomListView::ItemDeleting(item);
  if (TPTShListData* d = GetDataOf(item)) {
    if (OnDeleteItem) OnDeleteItem(this, item, d);
    delete d;
    item->Data = nullptr;
  }
}

void TPTCustomShellList::ViewStartDrag(Qt::MouseButton button) {
  TPTCustomListView::ViewStartDrag(button);
  DragStarted = false;
  if (!(OptionsValue & ptsloOleDrag)) return;
  const std::vector<PCItemIDList> rels = SelectedRelatives();
  if (rels.empty()) return;
  QMimeData* mime = CreateShellDataObject(FolderPidlValue.get(), rels);
  if (!mime) return;
  DragRunning = true;
  uint32_t effect = 0;
  const HRESULT hr = DoDragDrop(this, mime, SelectionAttributes(), effect);
  DragRunning = false;
  if (hr == DRAGDROP_S_DROP || RefreshPending) {
    RefreshPending = false;
    try {
      Resync();
      SortNow();
    } catch (...) {
      HandleApplicationException(std::current_exception());
    }
  }
}

PidlPtr TPTCustomShellList::DropTargetAt(const QPoint& viewportPos, QAbstractItemView* view) const {
  const QModelIndex index = view->indexAt(viewportPos);
  // An item takes the drop when it has a drop target of its own (a folder,
  // the trash, a program); a plain file passes it on to the list's folder.
  if (TPTShListData* d = index.isValid() ? GetDataOf(Item(index.row())) : nullptr) {
    std::unique_ptr<shellns::ShellDropTarget> target;
    if (SUCCEEDED(shellns::ShellDropTarget::Create(d->GetAbsolutePidl(), target))) return CopyOf(d->GetAbsolutePidl());
  }
  // The list's own background takes no drop of its own items.
  if (DragRunning) return nullptr;
  return FolderPidlValue ? CopyOf(FolderPidlValue.get()) : nullptr;
}

bool TPTCustomShellList::ViewDragEnter(QDragEnterEvent* e) {
  DragKeyState = KeyStateFromQt(e->buttons(), e->modifiers());
  uint32_t effect = DropEffectsFromQt(e->possibleActions());
  QAbstractItemView* v = ActiveView();
  const PidlPtr target = DropTargetAt(e->position().toPoint(), v);
  DropHelper.DragEnter(e->mimeData(), DragKeyState, e->position().toPoint(), target.get(), effect);
  e->setDropAction(DropEffectToQt(effect & ~DROPEFFECT_SCROLL));
  e->accept();
  return true;
}

bool TPTCustomShellList::ViewDragMove(QDragMoveEvent* e) {
  QAbstractItemView* v = ActiveView();
  const QPoint pos = e->position().toPoint();
  uint32_t effect = DropEffectsFromQt(e->possibleActions());
  const uint32_t keys = KeyStateFromQt(e->buttons(), e->modifiers()) | (DragKeyState & (MK_LBUTTON | MK_RBUTTON));
  const PidlPtr target = DropTargetAt(pos, v);
  if (target) {
    DropHelper.DragOver(keys, pos, target.get(), effect);
  } else {
    effect = (keys & MK_RBUTTON) ? DROPEFFECT_COPY : DROPEFFECT_NONE;
  }
  int dx = 0, dy = 0;
  if (DropHelper.AutoScroll(v->viewport()->rect(), pos, QDateTime::currentMSecsSinceEpoch(), dx, dy)) {
    if (dx) ScrollStep(v, 0, dx < 0 ? SB_LINEUP : SB_LINEDOWN);
    if (dy) ScrollStep(v, 1, dy < 0 ? SB_LINEUP : SB_LINEDOWN);
  }
  const uint32_t shown = effect & ~DROPEFFECT_SCROLL;
  if (shown == 0) {
    e->ignore();
  } else {
    e->setDropAction(DropEffectToQt(shown));
    e->accept();
  }
  return true;
}

void TPTCustomShellList::ViewDragLeave(QDragLeaveEvent*) { DropHelper.DragLeave(); }

bool TPTCustomShellList::ViewDrop(QDropEvent* e) {
  QAbstractItemView* v = ActiveView();
  const QPoint pos = e->position().toPoint();
  uint32_t effect = DropEffectsFromQt(e->possibleActions());
  const uint32_t keys = KeyStateFromQt(e->buttons(), e->modifiers()) | (DragKeyState & (MK_LBUTTON | MK_RBUTTON));
  const PidlPtr target = DropTargetAt(pos, v);
  if (target)
    DropHelper.Drop(e->mimeData(), keys, pos, target.get(), effect);
  else
    effect = DROPEFFECT_NONE;
  DropHelper.DragLeave();
  e->setDropAction(DropEffectToQt(effect));
  if (effect)
    e->accept();
  else
    e->ignore();
  if (!WatcherValue && target) Resync();
  return true;
}

bool TPTCustomShellList::HasCustomDrawEvents() const {
  return OnCustomDrawSh || OnCustomDrawShEx || TPTCustomListView::HasCustomDrawEvents();
}

TPTLvCustomDraw* TPTCustomShellList::CustomDrawNotify(TPTCustomDrawInfo* notification, uint32_t& result,
                                                      TPTListItem* item) {
  TPTLvCustomDraw* draw = RunCustomDrawEvents<TPTLvCustomDraw>(
      *notification, item, OnCustomDrawShEx || OnCustomDrawLvEx, OnCustomDrawSh || OnCustomDrawLv,
      [&] { return CreateCustomDraw(notification, &result); },
      [&](TPTLvCustomDraw* d, TPTListItem* it) {
        if (OnCustomDrawLvEx) OnCustomDrawLvEx(this, d, it);
        if (OnCustomDrawShEx) OnCustomDrawShEx(this, d, it, GetDataOf(it));
      },
      [&](TPTLvCustomDraw* d, TPTListItem* it) {
        if (OnCustomDrawLv) OnCustomDrawLv(this, d, it);
        if (OnCustomDrawSh) OnCustomDrawSh(this, d, it, GetDataOf(it));
      });
  if (notification->Stage == dsPrePaint) result |= CDRF_NOTIFYITEMDRAW;
  return draw;
}

}  // namespace ptshell
