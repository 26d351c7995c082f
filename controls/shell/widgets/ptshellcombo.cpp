#include "controls/shell/widgets/ptshellcombo.h"

#include <QApplication>

#include <algorithm>

#include "controls/shell/pt_messages.h"
#include "controls/shell/widgets/ptshelllist.h"
#include "controls/shell/widgets/ptshelltree.h"
#include "controls/shell/shell_controls.h"

namespace ptshell {

using shellns::IdList;

namespace {

// Attributes the combo looks at; no subfolder probe is needed for a flat list.
constexpr uint32_t kComboAttributeMask = 0x700B0000;

const shellns::ShellFolder* SortingFolder = nullptr;

}  // namespace

void SortPidls(const ShellFolderPtr& folder, std::vector<IdList>& pidls) {
  if (SortingFolder) throw EPTShellError("Recursive call to SortPidls");
  SortingFolder = folder.get();
  struct Forget {
    ~Forget() { SortingFolder = nullptr; }
  } forget;
  std::stable_sort(pidls.begin(), pidls.end(), [](const IdList& a, const IdList& b) {
    const HRESULT hr = SortingFolder->CompareIDs(0, a.data(), b.data());
    return SUCCEEDED(hr) && shellns::CompareCode(hr) < 0;
  });
}

TPTCustomShellCombo::TPTCustomShellCombo(QWidget* parent) : TPTCustomImageCombo(parent) {
  SetImages(&Small);
  FolderValue.OnChange = [this](TPTShellLocator*) { FolderChanged(); };
  QCoreApplication::postEvent(this, new TPTMessageEvent(WM_PT_DEFERREDFILL, 0, 0));
}

TPTCustomShellCombo::~TPTCustomShellCombo() {
  if (TreeValue && TreeValue->ShellCombo() == this) TreeValue->SetShellCombo(nullptr);
  if (ListValue) ListValue->LinkCombo(nullptr);
  FolderValue.OnChange = nullptr;
  ClearItems();
}

TPTCustomShellTree* TPTCustomShellCombo::ShellTree() const { return TreeValue.data(); }
TPTCustomShellList* TPTCustomShellCombo::ShellList() const { return ListValue.data(); }
void TPTCustomShellCombo::LinkTree(TPTCustomShellTree* tree) { TreeValue = tree; }
void TPTCustomShellCombo::LinkList(TPTCustomShellList* list) { ListValue = list; }

void TPTCustomShellCombo::SetShellTree(TPTCustomShellTree* tree) {
  if (ListValue && tree) return;
  if (TreeValue && TreeValue != tree) TreeValue->SetShellCombo(nullptr);
  TreeValue = tree;
  if (tree) tree->SetShellCombo(this);
}

void TPTCustomShellCombo::SetShellList(TPTCustomShellList* list) {
  if (TreeValue && list) return;
  if (ListValue && ListValue != list) ListValue->LinkCombo(nullptr);
  ListValue = list;
  if (list) list->LinkCombo(this);
}

void TPTCustomShellCombo::FollowTree(PCItemIDList absolute) {
  PidlPtr pidl = CopyOf(absolute);
  FolderValue.SetPidl(pidl.get());
}

void TPTCustomShellCombo::SettlePending() {
  if (TreeValue) TreeValue->FlushPendingSync(false);
  if (ListValue) ListValue->SettlePending();
}

TPTShComboData* TPTCustomShellCombo::ComboDataAt(int index) const {
  TPTImageComboItem* item = Items(index);
  return item ? static_cast<TPTShComboData*>(item->Data.get()) : nullptr;
}

bool TPTCustomShellCombo::AcceptItem(const ShellFolderPtr&, PCItemIDList, uint32_t, PCItemIDList) { return true; }

void TPTCustomShellCombo::Fill() {
  ++Reentry;
  struct Leave {
    int& R;
    ~Leave() { --R; }
  } leave{Reentry};
  setCurrentIndex(-1);
  ClearItems();
  PidlPtr target = CopyOf(FolderValue.GetPidl());
  TPTIdListArray levels(target.get());
  SelectIndex = -1;
  TargetUsed = false;
  setUpdatesEnabled(false);
  try {
    FillLevel(shellns::ShellFolder::Desktop(), nullptr, levels, -1, true);
  } catch (...) {
    setUpdatesEnabled(true);
    throw;
  }
  setUpdatesEnabled(true);
  setCurrentIndex(SelectIndex >= 0 ? SelectIndex : (count() > 0 ? 0 : -1));
}

TPTImageComboItem* TPTCustomShellCombo::AddEntry(const ShellFolderPtr& parentFolder, PCItemIDList parentPidl,
                                                 PCItemIDList relative, int indent, uint32_t attributes, bool named,
                                                 uint32_t nameFlags) {
  auto data = std::make_shared<TPTShComboData>();
  data->Combo = this;
  data->ParentFolder = parentFolder;
  data->ParentPidl = CopyOf(parentPidl);
  data->RelativePidl = CopyOf(relative);
  data->AbsolutePidl.reset(ConcatPidls(nullptr, parentPidl, relative));
  QString caption;
  int image = -1;
  if (named) {
    caption = QString::fromStdString(GetNameOf(parentFolder, relative, nameFlags));
    image = GetFileIconIndex(data->AbsolutePidl.get(), SHGFI_SMALLICON | SHGFI_OPENICON);
  }
  TPTImageComboItem* item = AddItem(caption, image, indent);
  item->Data = data;
  if (attributes & shellns::SFGAO_SHARE)
    item->SetOverlayIndex(0);
  else if (attributes & shellns::SFGAO_LINK)
    item->SetOverlayIndex(1);
  return item;
}

void TPTCustomShellCombo::FillLevel(const ShellFolderPtr& folder, PCItemIDList parentPidl, TPTIdListArray& target,
                                    int level, bool onPath) {
  PItemIDList computer = nullptr;
  const HRESULT hc = GetSpecialFolderLocation(this, shellns::CSIDL_DRIVES, computer);
  PidlPtr holdComputer(computer);
  if (FAILED(hc)) throw EPTShellError(shellns::ResultText(hc), hc);
  PidlPtr parent;
  if (level == -1) {
    const ShellFolderPtr desktop = shellns::ShellFolder::Desktop();
    const IdList empty = shellns::EmptyIdList();
    auto data = std::make_shared<TPTShComboData>();
    data->Combo = this;
    data->AbsolutePidl = CopyOf(empty.data());
    TPTImageComboItem* item = AddItem(QString::fromStdString(GetDisplayName(desktop, empty.data(), 0)),
                                      GetFileIconIndex(empty.data(), SHGFI_SMALLICON), 0);
    item->Data = data;
    if (target.Count() == 0) {
      SelectIndex = item->Index;
      TargetUsed = true;
    }
    level = 1;
    parent = CopyOf(empty.data());
  } else {
    parent = CopyOf(parentPidl);
  }
  std::vector<IdList> children;
  const HRESULT he = folder->EnumObjects(shellns::SHCONTF_FOLDERS, children);
  if (FAILED(he)) throw EPTShellError(shellns::ResultText(he), he);
  SortPidls(folder, children);
  PidlPtr targetItem;
  const bool targetHere = onPath && !TargetUsed && level - 1 < target.Count();
  if (targetHere) targetItem = CopyOf(target.Item(level - 1));
  for (const IdList& child : children) {
    uint32_t attrs = kComboAttributeMask;
    const uint8_t* items[] = {child.data()};
    if (FAILED(folder->GetAttributesOf(1, items, attrs))) continue;
    if (!(Options & ptscoNonFilesystemAncestors) &&
        !(attrs & (shellns::SFGAO_FILESYSTEM | shellns::SFGAO_FILESYSANCESTOR)))
      continue;
    if (!AcceptItem(folder, parent.get(), attrs, child.data())) continue;
    const bool isTarget = targetHere && !TargetUsed && folder->CompareIDs(0, child.data(), targetItem.get()) == S_OK;
    const bool isLast = isTarget && level == target.Count();
    TPTImageComboItem* entry =
        AddEntry(folder, parent.get(), child.data(), level, attrs, isLast, shellns::SHGDN_INFOLDER);
    PCItemIDList abs = static_cast<TPTShComboData*>(entry->Data.get())->AbsolutePidl.get();
    const bool isComputer = level == 1 && ComparePidls(abs, computer) == 0;
    if (isLast) {
      SelectIndex = entry->Index;
      TargetUsed = true;
    } else if (isTarget && !isComputer) {
      AddChain(folder, abs, target, level);
      TargetUsed = true;
    }
    if (isComputer) {
      ShellFolderPtr sub;
      const HRESULT hb = folder->BindToObject(child.data(), sub);
      if (FAILED(hb)) throw EPTShellError(shellns::ResultText(hb), hb);
      FillLevel(sub, abs, target, 2, isTarget);
    }
  }
}

void TPTCustomShellCombo::AddChain(const ShellFolderPtr& folder, PCItemIDList absolute, TPTIdListArray& target,
                                   int level) {
  ShellFolderPtr current = folder;
  PidlPtr currentAbs = CopyOf(absolute);
  PidlPtr relative = CopyOf(target.Item(level - 1));
  for (int k = level + 1; k <= target.Count(); ++k) {
    ShellFolderPtr next;
    const HRESULT hb = current->BindToObject(relative.get(), next);
    if (FAILED(hb)) throw EPTShellError(shellns::ResultText(hb), hb);
    PidlPtr item = CopyOf(target.Item(k - 1));
    uint32_t attrs = kComboAttributeMask;
    const uint8_t* items[] = {item.get()};
    if (FAILED(next->GetAttributesOf(1, items, attrs))) attrs = 0;
    const bool last = k == target.Count();
    TPTImageComboItem* entry = AddEntry(next, currentAbs.get(), item.get(), k, attrs, last,
                                        shellns::SHGDN_FORADDRESSBAR | shellns::SHGDN_INFOLDER);
    if (last) SelectIndex = entry->Index;
    currentAbs = CopyOf(static_cast<TPTShComboData*>(entry->Data.get())->AbsolutePidl.get());
    current = next;
    relative = std::move(item);
  }
}

void TPTCustomShellCombo::PrepareItem(TPTImageComboItem* item) {
  TPTCustomImageCombo::PrepareItem(item);
  auto* data = static_cast<TPTShComboData*>(item->Data.get());
  if (!data) return;
  if (item->Caption().isEmpty() && data->ParentFolder)
    item->SetCaption(
        QString::fromStdString(GetNameOf(data->ParentFolder, data->RelativePidl.get(), shellns::SHGDN_INFOLDER)));
  if (item->ImageIndex() == -1) item->SetImageIndex(GetFileIconIndex(data->AbsolutePidl.get(), SHGFI_SMALLICON));
}

void TPTCustomShellCombo::GoUp(int levels) {
  const int current = currentIndex();
  TPTImageComboItem* item = Items(current);
  if (!item) return;
  const int threshold = item->Indent - levels + 1;
  int i = current;
  while (i > 0 && Items(i)->Indent >= threshold) --i;
  if (i == current) return;
  if (TPTShComboData* d = ComboDataAt(i)) {
    PidlPtr pidl = CopyOf(d->AbsolutePidl.get());
    FolderValue.SetPidl(pidl.get());
  }
}

void TPTCustomShellCombo::SelEndOk() {
  if (TPTShComboData* d = ComboDataAt(currentIndex())) {
    PidlPtr pidl = CopyOf(d->AbsolutePidl.get());
    FolderValue.SetPidl(pidl.get());
  }
}

void TPTCustomShellCombo::FolderChanged() {
  if (Reentry) return;
  ++Reentry;
  PidlPtr pidl = CopyOf(FolderValue.GetPidl());
  try {
    if (TreeValue)
      TreeValue->SelectFolderPidl(pidl.get());
    else if (ListValue)
      ListValue->Folder().SetPidl(pidl.get());
    --Reentry;
    Fill();
  } catch (...) {
    if (Reentry > 0) --Reentry;
    HandleApplicationException(std::current_exception());
  }
}

bool TPTCustomShellCombo::event(QEvent* e) {
  if (TPTMessageEvent::MessageOf(e) == WM_PT_DEFERREDFILL) {
    if (count() == 0 && (Options & ptscoAutofill)) {
      try {
        Fill();
      } catch (...) {
        HandleApplicationException(std::current_exception());
      }
    }
    return true;
  }
  return TPTCustomImageCombo::event(e);
}

}  // namespace ptshell
