#include "controls/shell/shell_controls.h"

#include <sys/stat.h>

#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QScrollBar>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "controls/shell/pidl_list.h"
#include "controls/shell/shell_consts.h"
#include "platform/shellnamespace/mount_table.h"
#include "platform/shellnamespace/shell_icons.h"
#include "platform/shellnamespace/user_folders.h"

namespace ptshell {

using namespace shellns;

MessageRoutine& ShellMessageRoutine() {
  static MessageRoutine routine = [](const QString& text, int type, int buttons) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
      qWarning("%s", qPrintable(text));
      return buttons == mbOK ? mbOK : mbCancel;
    }
    const QMessageBox::Icon icon = type == 0 ? QMessageBox::Warning
                                   : type == 1 ? QMessageBox::Critical
                                   : type == 2 ? QMessageBox::Information
                                               : QMessageBox::Question;
    QMessageBox box(icon, QString(), text, QMessageBox::Ok);
    box.exec();
    return mbOK;
  };
  return routine;
}

int ShellMessage(const QString& text, int type, int buttons) {
  auto& r = ShellMessageRoutine();
  return r ? r(text, type, buttons) : mbCancel;
}

QString ShellFailureText(const QString& operation, const QString& files, HRESULT hr) {
  return QStringLiteral("Unable to %1 %2.\n\n%3").arg(operation, files, QString::fromStdString(ResultText(hr)));
}

bool CreateNewFolder(const std::string& parentPath, std::string& newPath) {
  newPath.clear();
  const QString base = PTShText(SPTNewFolder);
  if (parentPath.empty()) {
    ShellMessage(QString::fromStdString(FormatStrPos(PTShText(SPTCannotCreateFolder).toStdString(),
                                                     {"This location has no folder on disk.", base.toStdString()})),
                 0);
    return false;
  }
  const std::string parent = AddTrailingChar(parentPath, '/');
  int lastError = EEXIST;
  std::string lastPath = parent + base.toStdString();
  for (int n = 1; n <= 50; ++n) {
    const std::string name = base.toStdString() + (n > 1 ? " (" + std::to_string(n) + ")" : std::string());
    const std::string path = parent + name;
    if (mkdir(path.c_str(), 0777) == 0) {
      newPath = path;
      return true;
    }
    lastError = errno;
    lastPath = path;
    if (lastError != EEXIST) break;
  }
  ShellMessage(QString::fromStdString(FormatStrPos(PTShText(SPTCannotCreateFolder).toStdString(),
                                                   {std::strerror(lastError), DisplayableName(lastPath)})),
               0);
  return false;
}

QString SizeText(uint64_t bytes) {
  const uint64_t kb = bytes / 1024 + (bytes % 1024 ? 1 : 0);
  return PTShText(SPTSizeKB).replace(QLatin1String("%s"), QLocale().toString(static_cast<qulonglong>(kb)));
}

QDateTime FileTimeToDateTime(const timespec& t) {
  return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(t.tv_sec) * 1000 + t.tv_nsec / 1000000);
}

void GetSizeAndDate(PCItemIDList absolute, QString& size, QString& date) {
  size.clear();
  date.clear();
  Location where;
  if (!absolute || !Resolve(absolute, where) || where.path.empty()) return;
  if (where.kind != Location::Kind::File && where.kind != Location::Kind::TrashEntry) return;
  struct stat st{};
  if (stat(where.path.c_str(), &st) != 0 && lstat(where.path.c_str(), &st) != 0) return;
  if (!S_ISDIR(st.st_mode)) size = SizeText(static_cast<uint64_t>(st.st_size));
  const QLocale locale;
  const QDateTime t = FileTimeToDateTime(st.st_mtim.tv_sec ? st.st_mtim : st.st_ctim);
  date = locale.toString(t.date(), QLocale::ShortFormat) + QLatin1Char(' ') + locale.toString(t.time(), QLocale::ShortFormat);
}

QString GetTypeText(PCItemIDList absolute, uint32_t attributes) {
  if (!(attributes & SFGAO_FILESYSTEM)) return PTShText(SPTSystemFolder);
  Location where;
  if (!absolute || !Resolve(absolute, where)) return QString();
  return TypeNameOf(where);
}

void GetItemDetails(PCItemIDList absolute, uint32_t attributes, QString& size, QString& date, QString& type) {
  GetSizeAndDate(absolute, size, date);
  type = GetTypeText(absolute, attributes);
}

std::string GetNameOf(const ShellFolderPtr& folder, PCItemIDList relative, uint32_t shgdn) {
  std::string name;
  const ShellFolderPtr f = folder ? folder : ShellFolder::Desktop();
  return SUCCEEDED(f->GetDisplayNameOf(relative, shgdn, name)) ? name : std::string();
}

HRESULT SplitPidl(PCItemIDList absolute, ShellFolderPtr& folder, PItemIDList& parent, PItemIDList& relative) {
  folder.reset();
  parent = relative = nullptr;
  PidlPtr desktopSplit;
  if (!absolute || ItemSize(absolute) == 0) {
    const std::string desktop = SpecialFolderPath(nullptr, CSIDL_DESKTOP);
    PItemIDList p = nullptr;
    if (desktop.empty() || FAILED(PathToPidl(desktop, p))) return E_FAIL;
    desktopSplit.reset(p);
    absolute = p;
  }
  TPTIdListArray items(absolute);
  const int count = items.Count();
  if (count == 1) {
    folder = ShellFolder::Desktop();
    relative = CopyPidl(nullptr, absolute);
    return relative ? S_OK : E_OUTOFMEMORY;
  }
  parent = CopyPidl(nullptr, items.Parent(1));
  relative = CopyPidl(nullptr, items.Item(count - 1));
  const HRESULT hr = BindToFolder(parent, folder);
  if (FAILED(hr)) {
    ShellFree(parent);
    ShellFree(relative);
    parent = relative = nullptr;
  }
  return hr;
}

HRESULT GetContextMenuOfPidl(PCItemIDList absolute, std::unique_ptr<ShellContextMenu>& menu) {
  ShellFolderPtr folder;
  PItemIDList parent = nullptr, relative = nullptr;
  HRESULT hr = SplitPidl(absolute, folder, parent, relative);
  PidlPtr holdParent(parent), holdRelative(relative);
  if (FAILED(hr)) return hr;
  return ShellContextMenu::Create(folder, {ToIdList(relative)}, menu);
}

HRESULT GetDropTargetOfPidl(PCItemIDList absolute, std::unique_ptr<ShellDropTarget>& target) {
  const IdList desktop = EmptyIdList();
  if (!absolute || ItemSize(absolute) == 0) {
    // The desktop takes drops into its folder.
    PItemIDList p = nullptr;
    const std::string path = SpecialFolderPath(nullptr, CSIDL_DESKTOP);
    if (path.empty() || FAILED(PathToPidl(path, p))) return E_FAIL;
    PidlPtr hold(p);
    return ShellDropTarget::Create(p, target);
  }
  return ShellDropTarget::Create(absolute, target);
}

HRESULT GetContextMenu(QWidget* owner, const ShellFolderPtr& folder, int count, const PCItemIDList* relative,
                       uint32_t flags, int firstId, std::unique_ptr<ShellContextMenu>& contextMenu, QMenu*& menu) {
  contextMenu.reset();
  menu = nullptr;
  std::vector<IdList> items;
  for (int i = 0; i < count; ++i) items.push_back(ToIdList(relative[i]));
  HRESULT hr = ShellContextMenu::Create(folder, std::move(items), contextMenu);
  if (FAILED(hr)) throw EPTShellError(ResultText(hr), hr);
  auto popup = std::make_unique<QMenu>(owner);
  for (const ShellCommand& c : contextMenu->Commands(flags)) {
    if (c.separatorBefore && !popup->actions().isEmpty()) popup->addSeparator();
    QAction* a = popup->addAction(c.text);
    a->setData(firstId + c.offset);
    a->setStatusTip(c.help);
    if (c.isDefault) {
      QFont f = a->font();
      f.setBold(true);
      a->setFont(f);
    }
  }
  menu = popup.release();
  return S_OK;
}

int MenuCommandId(const QAction* action) { return action ? action->data().toInt() : 0; }

HRESULT InvokeVerb(QWidget* owner, ShellContextMenu& menu, const std::string& verb, bool shiftDown) {
  const int offset = menu.OffsetOfVerb(verb);
  if (offset < 0) return E_INVALIDARG;
  return InvokeVerb(owner, menu, offset, shiftDown);
}

HRESULT InvokeVerb(QWidget* owner, ShellContextMenu& menu, int offset, bool shiftDown) {
  InvokeInfo info;
  info.owner = owner;
  info.shiftDown = shiftDown;
  return menu.InvokeCommand(offset, info);
}

std::vector<TPTSendToEntry> SendToEntries() {
  std::vector<TPTSendToEntry> out;
  ShellFolderPtr folder;
  IdList location;
  if (FAILED(SpecialFolderLocation(CSIDL_SENDTO, location)) || FAILED(ShellFolder::Bind(location.data(), folder)))
    return out;
  std::vector<IdList> items;
  if (FAILED(folder->EnumObjects(SHCONTF_NONFOLDERS, items))) return out;
  for (const IdList& item : items) {
    ItemView v;
    if (!DecodeItem(item.data(), v) || v.kind != ItemKind::File) continue;
    // A link to a folder is a target; a folder itself is not.
    if (v.stat.type == FileType::Directory && !(v.stat.flags & kStatSymlink)) continue;
    TPTSendToEntry e;
    e.FileName = std::string(v.name);
    QString caption = QString::fromStdString(DisplayableName(e.FileName));
    const qsizetype dot = caption.lastIndexOf(QLatin1Char('.'));
    if (dot > 0) caption.truncate(dot);
    e.Caption = caption;
    const IdList whole = Concat(location.data(), item.data());
    e.ImageIndex = GetFileIconIndex(whole.data(), SHGFI_SMALLICON);
    out.push_back(std::move(e));
  }
  std::sort(out.begin(), out.end(), [](const TPTSendToEntry& a, const TPTSendToEntry& b) {
    const int c = QString::compare(a.Caption, b.Caption, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a.FileName < b.FileName;
  });
  return out;
}

void AddSendToItems(QMenu* menu, const std::vector<TPTSendToEntry>& entries) {
  int id = 1;
  for (const TPTSendToEntry& e : entries) {
    QAction* a = menu->addAction(SystemImageList::Instance().Icon(e.ImageIndex), e.Caption);
    a->setData(id++);
  }
}

void SendToItem(const std::string& fileName, const QMimeData* data) {
  IdList location;
  HRESULT hr = SpecialFolderLocation(CSIDL_SENDTO, location);
  if (FAILED(hr)) throw EPTShellError(ResultText(hr), hr);
  ShellFolderPtr folder;
  IdList item;
  if (FAILED(hr = ShellFolder::Bind(location.data(), folder)) || FAILED(hr = folder->ParseDisplayName(fileName, item)))
    throw EPTShellError(ResultText(hr), hr);
  const IdList whole = Concat(location.data(), item.data());
  std::unique_ptr<ShellDropTarget> target;
  if (FAILED(hr = ShellDropTarget::Create(whole.data(), target))) throw EPTShellError(ResultText(hr), hr);
  uint32_t effect = DROPEFFECT_COPY;
  if (FAILED(hr = target->DragEnter(data, MK_LBUTTON, QPoint(0, 0), effect))) throw EPTShellError(ResultText(hr), hr);
  effect = DROPEFFECT_COPY;
  if (FAILED(hr = target->DragOver(MK_LBUTTON, QPoint(0, 0), effect))) throw EPTShellError(ResultText(hr), hr);
  effect = DROPEFFECT_COPY;
  if (FAILED(hr = target->Drop(data, MK_LBUTTON, QPoint(0, 0), effect))) throw EPTShellError(ResultText(hr), hr);
}

QWidget* OwnerFormHandle(QWidget* control) { return control ? control->window() : nullptr; }

void ScrollStep(QAbstractScrollArea* control, int bar, int code) {
  if (!control) return;
  QScrollBar* sb = bar == 0 ? control->horizontalScrollBar() : control->verticalScrollBar();
  if (!sb || sb->maximum() - sb->minimum() <= 0) return;
  const QAbstractSlider::SliderAction action = code == SB_LINEUP     ? QAbstractSlider::SliderSingleStepSub
                                               : code == SB_LINEDOWN ? QAbstractSlider::SliderSingleStepAdd
                                               : code == SB_PAGEUP   ? QAbstractSlider::SliderPageStepSub
                                                                     : QAbstractSlider::SliderPageStepAdd;
  sb->triggerAction(action);
}

bool WheelScroll(QAbstractScrollArea* control, bool vertical, int lineCode, int pageCode) {
  const int lines = QApplication::wheelScrollLines();
  if (lines < 0) {
    ScrollStep(control, vertical ? 1 : 0, pageCode);
  } else {
    const int steps = vertical ? lines : 1;
    for (int i = 0; i < steps; ++i) ScrollStep(control, vertical ? 1 : 0, lineCode);
  }
  return true;
}

void WaitCursor(int milliseconds) {
  const bool gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
  if (gui) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  try {
    QThread::msleep(static_cast<unsigned long>(milliseconds < 0 ? 0 : milliseconds));
  } catch (...) {
    if (gui) QGuiApplication::restoreOverrideCursor();
    throw;
  }
  if (gui) QGuiApplication::restoreOverrideCursor();
}

bool PathHasFolderPart(const std::string& path) {
  if (path.empty() || path.front() != '/') return false;
  const std::string clean = CleanPath(path);
  return clean != MountTable::VolumeOf(clean).mountPoint;
}

void RaiseOSError(int code) { throw EPTShellError(std::strerror(code), HResultFromErrno(code)); }

bool StripPrefix(std::string& text, const std::string& prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
      return false;
  text.erase(0, prefix.size());
  return true;
}

}  // namespace ptshell
