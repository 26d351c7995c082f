// Operations the shell tree, list and combo share: new folders, the size, date
// and type texts of items, splitting a PIDL into folder and item, context menus
// and verbs as Qt menus, the Send To entries, scrolling helpers and the
// program-wide message routine the controls report through.
#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/shell/shell_utils.h"
#include "platform/shellnamespace/shell_verbs.h"

class QAbstractScrollArea;
class QAction;
class QMenu;
class QMimeData;
class QWidget;

namespace ptshell {

// --- the program-wide message routine ---
// Types 0 warning, 1 error, 2 information, 3 confirmation; buttons and results
// as the program's message boxes use them (OK 1, Cancel 2, Yes 6, No 7).
inline constexpr int mbOK = 1, mbCancel = 2, mbYes = 6, mbNo = 7;
using MessageRoutine = std::function<int(const QString& text, int type, int buttons)>;
// The routine the shell controls report through; the default shows a QMessageBox
// (a warning on the log without a QApplication).
MessageRoutine& ShellMessageRoutine();
int ShellMessage(const QString& text, int type, int buttons = mbOK);
// What the user reads when a shell operation fails: the operation, the files it
// was for and the system's reason ("Unable to rename /a/b.gif to c.gif.\n\n...").
QString ShellFailureText(const QString& operation, const QString& files, HRESULT hr);

// --- folders and items ---
// Makes "New Folder", "New Folder (2)", ... up to 50 in the parent folder. A
// folder without a file-system path (empty parent) is refused. A failure shows
// one message with its real cause and answers false.
bool CreateNewFolder(const std::string& parentPath, std::string& newPath);
QString SizeText(uint64_t bytes);
QDateTime FileTimeToDateTime(const timespec& t);
// Size (not for folders) and modification date of a file-system item; both
// empty for items without a path and for volume roots.
void GetSizeAndDate(PCItemIDList absolute, QString& size, QString& date);
// "System Folder" without SFGAO_FILESYSTEM, else the type name of the item.
QString GetTypeText(PCItemIDList absolute, uint32_t attributes);
void GetItemDetails(PCItemIDList absolute, uint32_t attributes, QString& size, QString& date, QString& type);
std::string GetNameOf(const ShellFolderPtr& folder, PCItemIDList relative, uint32_t shgdn);
// The parent folder, a copy of the parent part and a copy of the last item;
// the empty PIDL splits the desktop folder's own path instead.
HRESULT SplitPidl(PCItemIDList absolute, ShellFolderPtr& folder, PItemIDList& parent, PItemIDList& relative);
HRESULT GetContextMenuOfPidl(PCItemIDList absolute, std::unique_ptr<shellns::ShellContextMenu>& menu);
HRESULT GetDropTargetOfPidl(PCItemIDList absolute, std::unique_ptr<shellns::ShellDropTarget>& target);

// --- context menus and verbs ---
// The items' commands as a popup of actions whose data is first id + offset;
// the caller owns the menu. Raises EPTShellError when the items have no menu.
HRESULT GetContextMenu(QWidget* owner, const ShellFolderPtr& folder, int count, const PCItemIDList* relative,
                       uint32_t flags, int firstId, std::unique_ptr<shellns::ShellContextMenu>& contextMenu,
                       QMenu*& menu);
// The id of the chosen action of such a menu, 0 for none.
int MenuCommandId(const QAction* action);
// Invokes a verb ("cut", "copy", "paste", "delete", ...). A verb that no
// command carries invokes nothing and answers E_INVALIDARG.
HRESULT InvokeVerb(QWidget* owner, shellns::ShellContextMenu& menu, const std::string& verb, bool shiftDown = false);
HRESULT InvokeVerb(QWidget* owner, shellns::ShellContextMenu& menu, int offset, bool shiftDown = false);

// --- Send To ---
struct TPTSendToEntry {
  std::string FileName;  // raw name in the Send To folder
  QString Caption;       // name without its extension
  int ImageIndex;        // small system image-list index
};
// The entries of the Send To folder (neither folders nor hidden), sorted by name.
std::vector<TPTSendToEntry> SendToEntries();
// Appends one action per entry with ids 1, 2, ... (entry index + 1).
void AddSendToItems(QMenu* menu, const std::vector<TPTSendToEntry>& entries);
// Drops the data on the Send To entry as a left-button copy; raises on failure.
void SendToItem(const std::string& fileName, const QMimeData* data);

// --- widgets ---
QWidget* OwnerFormHandle(QWidget* control);
// Scroll codes.
inline constexpr int SB_LINEUP = 0, SB_LINEDOWN = 1, SB_PAGEUP = 2, SB_PAGEDOWN = 3;
// Bar 0 horizontal, 1 vertical; only when the bar has room to move.
void ScrollStep(QAbstractScrollArea* control, int bar, int code);
bool WheelScroll(QAbstractScrollArea* control, bool vertical, int lineCode, int pageCode);
void WaitCursor(int milliseconds);
// True when the path names something below its volume's root.
bool PathHasFolderPart(const std::string& path);
[[noreturn]] void RaiseOSError(int code);
bool StripPrefix(std::string& text, const std::string& prefix);

}  // namespace ptshell
