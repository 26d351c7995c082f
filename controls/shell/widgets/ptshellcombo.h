// TPTCustomShellCombo and TPTShellCombo: the look-in folder combo. Its list
// shows the desktop, the desktop's folders, the volumes of Computer and the
// chain of ancestors of the current folder, each indented by its depth with its
// shell icon; choosing an entry makes it the current folder. It links to a
// shell tree or a shell list (never both), which then follow each other.
#pragma once

#include <QPointer>
#include <cstdint>
#include <memory>
#include <vector>

#include "controls/shell/pidl_list.h"
#include "controls/shell/widgets/ptimagecombo.h"
#include "controls/shell/widgets/ptshellimages.h"
#include "controls/shell/shell_locator.h"
#include "controls/shell/shell_utils.h"

namespace ptshell {

class TPTCustomShellCombo;
class TPTCustomShellTree;
class TPTCustomShellList;

struct TPTShComboData {
  TPTCustomShellCombo* Combo = nullptr;
  ShellFolderPtr ParentFolder;  // none for the desktop entry
  PidlPtr ParentPidl;
  PidlPtr RelativePidl;
  PidlPtr AbsolutePidl;
};

using TPTShellComboOptions = uint8_t;
inline constexpr TPTShellComboOptions ptscoAutofill = 1 << 0, ptscoNonFilesystemAncestors = 1 << 1;

// Sorts relative PIDLs by the folder's own order; a sort inside a sort raises
// "Recursive call to SortPidls".
void SortPidls(const ShellFolderPtr& folder, std::vector<shellns::IdList>& pidls);

class TPTCustomShellCombo : public TPTCustomImageCombo {
  Q_OBJECT
 public:
  explicit TPTCustomShellCombo(QWidget* parent = nullptr);
  ~TPTCustomShellCombo() override;

  TPTShellLocator& Folder() { return FolderValue; }
  void Fill();
  void Refresh() { Fill(); }
  void GoUp(int levels);

  TPTCustomShellTree* ShellTree() const;
  void SetShellTree(TPTCustomShellTree* tree);
  TPTCustomShellList* ShellList() const;
  void SetShellList(TPTCustomShellList* list);
  // The linked control's side of a link (set or cleared by it).
  void LinkTree(TPTCustomShellTree* tree);
  void LinkList(TPTCustomShellList* list);
  void FollowTree(PCItemIDList absolute);
  void SettlePending();

  TPTShellComboOptions Options = ptscoAutofill | ptscoNonFilesystemAncestors;
  TPTShComboData* ComboDataAt(int index) const;

 protected:
  virtual bool AcceptItem(const ShellFolderPtr& folder, PCItemIDList parentPidl, uint32_t attributes,
                          PCItemIDList relative);
  // Adds the entries of one level; `onPath` says whether the target runs through this folder.
  virtual void FillLevel(const ShellFolderPtr& folder, PCItemIDList parentPidl, TPTIdListArray& target, int level,
                         bool onPath);
  void PrepareItem(TPTImageComboItem* item) override;
  void SelEndOk() override;
  bool event(QEvent* e) override;

 private:
  TPTImageComboItem* AddEntry(const ShellFolderPtr& parentFolder, PCItemIDList parentPidl, PCItemIDList relative,
                              int indent, uint32_t attributes, bool named, uint32_t nameFlags);
  void AddChain(const ShellFolderPtr& folder, PCItemIDList absolute, TPTIdListArray& target, int level);
  void FolderChanged();

  TPTShellLocator FolderValue;
  TPTShellImageList Small{0};
  QPointer<TPTCustomShellTree> TreeValue;
  QPointer<TPTCustomShellList> ListValue;
  int Reentry = 0;
  int SelectIndex = -1;
  bool TargetUsed = false;
};

class TPTShellCombo : public TPTCustomShellCombo {
  Q_OBJECT
 public:
  using TPTCustomShellCombo::TPTCustomShellCombo;
};

}  // namespace ptshell
