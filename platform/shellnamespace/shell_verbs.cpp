#include "platform/shellnamespace/shell_verbs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QClipboard>
#include <QDateTime>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QStringList>
#include <sstream>

#include "platform/shellnamespace/file_operations.h"
#include "platform/shellnamespace/mount_table.h"
#include "platform/shellnamespace/shell_icons.h"
#include "platform/shellnamespace/shell_mime.h"
#include "platform/shellnamespace/shell_services.h"
#include "platform/shellnamespace/user_folders.h"

namespace shellns {

namespace {

QString Show(const std::string& raw) { return QString::fromStdString(DisplayableName(raw)); }

QClipboard* Clipboard() {
  return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::clipboard() : nullptr;
}

bool LowerEquals(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

void ReportErrors(QWidget* owner, const QString& title, const std::vector<std::string>& errors) {
  if (errors.empty() || !Services().error) return;
  QStringList lines;
  for (const std::string& e : errors) lines << Show(e);
  Services().error(owner, title + QLatin1String("\n\n") + lines.join(QLatin1Char('\n')));
}

// Trash entries of the Trash folder: {trash folder (empty for home), name under files/}.
std::vector<std::pair<std::string, std::string>> TrashNames(const std::vector<IdList>& items) {
  std::vector<std::pair<std::string, std::string>> names;
  for (const IdList& i : items) {
    ItemView v;
    if (DecodeItem(i.data(), v) && v.kind == ItemKind::TrashEntry) names.emplace_back(v.trashDir, v.name);
  }
  return names;
}

}  // namespace

HRESULT ShellContextMenu::Create(std::shared_ptr<ShellFolder> folder, std::vector<IdList> items,
                                 std::unique_ptr<ShellContextMenu>& out) {
  out.reset();
  if (!folder) return E_INVALIDARG;
  std::unique_ptr<ShellContextMenu> menu(new ShellContextMenu);
  menu->folder_ = std::move(folder);
  menu->items_ = std::move(items);
  std::vector<const uint8_t*> raw;
  for (const IdList& i : menu->items_) raw.push_back(i.data());
  uint32_t attrs = 0xFFFFFFFFu & ~SFGAO_VALIDATE;
  if (!raw.empty() && FAILED(menu->folder_->GetAttributesOf(raw.size(), raw.data(), attrs))) return E_INVALIDARG;
  menu->attributes_ = raw.empty() ? 0 : attrs;
  auto add = [&](int offset, const char* verb, const char* text, const char* help, bool sep = false) {
    ShellCommand c;
    c.offset = offset;
    c.verb = verb;
    c.text = QString::fromLatin1(text);
    c.help = QString::fromLatin1(help);
    c.separatorBefore = sep;
    menu->all_.push_back(std::move(c));
  };
  const bool background = raw.empty();
  const bool inTrash = menu->folder_->Where().kind == Location::Kind::Trash;
  if (!background) {
    add(kCmdOpen, "open", "&Open", "Opens the selected items.");
    menu->all_.back().isDefault = true;
    if (attrs & SFGAO_CANMOVE) add(kCmdCut, "cut", "Cu&t", "Removes the selected items and copies them onto the clipboard.", true);
    if (attrs & SFGAO_CANCOPY) add(kCmdCopy, "copy", "&Copy", "Copies the selected items to the clipboard.", !(attrs & SFGAO_CANMOVE));
  }
  const bool folderTarget = background ? (!menu->folder_->Path().empty() || inTrash)
                                       : (raw.size() == 1 && (attrs & SFGAO_FOLDER) && (attrs & SFGAO_FILESYSTEM));
  if (folderTarget && !(background && inTrash))
    add(kCmdPaste, "paste", "&Paste", "Inserts the items you have copied or cut into the selected location.");
  if (!background && inTrash) add(kCmdRestore, "restore", "R&estore", "Puts the selected items back where they were deleted from.", true);
  if (!background && (attrs & SFGAO_CANDELETE)) add(kCmdDelete, "delete", "&Delete", "Deletes the selected items.", true);
  if (!background && raw.size() == 1 && (attrs & SFGAO_CANRENAME))
    add(kCmdRename, "rename", "Rena&me", "Renames the selected item.");
  add(kCmdProperties, "properties", "P&roperties", "Displays the properties of the selected items.", true);
  out = std::move(menu);
  return S_OK;
}

std::vector<ShellCommand> ShellContextMenu::Commands(uint32_t flags) const {
  std::vector<ShellCommand> out;
  for (const ShellCommand& c : all_) {
    if ((flags & CMF_DEFAULTONLY) && !c.isDefault) continue;
    if (c.offset == kCmdRename && !(flags & CMF_CANRENAME)) continue;
    out.push_back(c);
  }
  return out;
}

int ShellContextMenu::OffsetOfVerb(const std::string& verb) const {
  for (const ShellCommand& c : all_)
    if (LowerEquals(c.verb, verb)) return c.offset;
  return -1;
}

HRESULT ShellContextMenu::GetCommandString(int offset, bool helpText, std::string& out) const {
  for (const ShellCommand& c : all_)
    if (c.offset == offset) {
      out = helpText ? c.help.toStdString() : c.verb;
      return S_OK;
    }
  out.clear();
  return E_INVALIDARG;
}

std::vector<std::string> ShellContextMenu::ItemPaths() const {
  std::vector<std::string> paths;
  for (const IdList& i : items_) {
    const IdList whole = Concat(folder_->AbsoluteIdList().data(), i.data());
    std::string p = IdListToPath(whole.data());
    if (!p.empty()) paths.push_back(std::move(p));
  }
  return paths;
}

HRESULT ShellContextMenu::InvokeCommand(int offset, const InvokeInfo& info) {
  const auto known = std::find_if(all_.begin(), all_.end(), [&](const ShellCommand& c) { return c.offset == offset; });
  if (known == all_.end()) return E_INVALIDARG;
  switch (offset) {
    case kCmdOpen: {
      bool all = true;
      for (const IdList& i : items_) {
        const IdList whole = Concat(folder_->AbsoluteIdList().data(), i.data());
        Location where;
        if (!Resolve(whole.data(), where)) continue;
        std::string target = where.path;
        if (where.kind == Location::Kind::Computer) target = "computer:///";
        if (where.kind == Location::Kind::Trash) target = "trash:///";
        if (target.empty() || !Services().open || !Services().open(target)) all = false;
      }
      return all ? S_OK : E_FAIL;
    }
    case kCmdCut:
    case kCmdCopy: {
      QClipboard* clip = Clipboard();
      if (!clip) return E_FAIL;
      std::vector<const uint8_t*> raw;
      for (const IdList& i : items_) raw.push_back(i.data());
      clip->setMimeData(MakeShellMimeData(folder_->AbsoluteIdList().data(), raw,
                                          offset == kCmdCut ? ClipOperation::Cut : ClipOperation::Copy));
      return S_OK;
    }
    case kCmdPaste: return Paste(info);
    case kCmdDelete: return Delete(info);
    case kCmdProperties: return Properties(info);
    case kCmdRestore: return Restore(info);
    default: return E_NOTIMPL;  // rename: the view edits the label
  }
}

HRESULT ShellContextMenu::Delete(const InvokeInfo& info) {
  const bool inTrash = folder_->Where().kind == Location::Kind::Trash;
  // Inside a trashed folder there is nowhere further to go than away for good.
  const bool belowTrash = !folder_->Where().trashDir.empty();
  const std::vector<std::string> paths = ItemPaths();
  if (paths.empty()) return E_FAIL;
  const bool forGood = inTrash || belowTrash || info.shiftDown;
  // Nothing leaves its folder unasked, not even for the trash.
  if (!info.noConfirmation) {
    const QString what = paths.size() == 1 ? QStringLiteral("'%1'").arg(Show(BaseName(paths.front())))
                                           : QStringLiteral("these %1 items").arg(paths.size());
    const QString question = forGood ? QStringLiteral("Are you sure you want to permanently delete %1?").arg(what)
                                     : QStringLiteral("Move %1 to the trash?").arg(what);
    if (!Services().confirm || !Services().confirm(info.owner, question)) return E_ABORT;
  }
  std::vector<std::string> errors;
  if (inTrash) {
    for (const auto& [trashDir, name] : TrashNames(items_))
      if (HRESULT hr = DeleteTrashEntry(name, trashDir); FAILED(hr)) errors.push_back(name + ": " + ResultText(hr));
  } else {
    for (const std::string& p : paths) {
      const HRESULT hr = forGood ? DeletePermanently(p) : MoveToTrash(p);
      if (FAILED(hr)) errors.push_back(p + ": " + ResultText(hr));
    }
  }
  ReportErrors(info.owner, QStringLiteral("Some items could not be deleted."), errors);
  return errors.empty() ? S_OK : E_FAIL;
}

HRESULT ShellContextMenu::Restore(const InvokeInfo& info) {
  std::vector<std::string> errors;
  for (const auto& [trashDir, name] : TrashNames(items_))
    if (HRESULT hr = RestoreTrashEntry(name, trashDir); FAILED(hr)) {
      const std::string original = TrashEntryOriginalPath(trashDir, name);
      errors.push_back((original.empty() ? name : original) + ": " + ResultText(hr));
    }
  ReportErrors(info.owner, QStringLiteral("Some items could not be restored."), errors);
  return errors.empty() ? S_OK : E_FAIL;
}

HRESULT ShellContextMenu::Paste(const InvokeInfo& info) {
  std::string target = folder_->Path();
  const bool toTrash = items_.empty() && folder_->Where().kind == Location::Kind::Trash;
  if (!items_.empty()) {
    const IdList whole = Concat(folder_->AbsoluteIdList().data(), items_.front().data());
    target = IdListToPath(whole.data());
  }
  QClipboard* clip = Clipboard();
  ShellItems items;
  if (!clip || !ReadShellMimeData(clip->mimeData(), items) || items.paths.empty()) return S_FALSE;
  std::vector<std::string> errors;
  if (toTrash) {
    for (const std::string& p : items.paths)
      if (HRESULT hr = MoveToTrash(p); FAILED(hr)) errors.push_back(p + ": " + ResultText(hr));
  } else {
    if (target.empty()) return E_FAIL;
    TransferReport report;
    const TransferMode mode = items.operation == ClipOperation::Cut ? TransferMode::Move : TransferMode::Copy;
    const HRESULT hr = RunTransfer(info.owner, mode == TransferMode::Move ? QStringLiteral("Moving...") : QStringLiteral("Copying..."),
                                   [&](TransferProgress& progress) {
                                     return TransferItems(items.paths, target, mode, report, &progress);
                                   });
    if (hr == E_ABORT) return E_ABORT;  // cancelled: nothing to report
    if (FAILED(hr)) errors.push_back(target + ": " + ResultText(hr));
    errors.insert(errors.end(), report.errors.begin(), report.errors.end());
    for (const std::string& s : report.skipped) errors.push_back(s + ": special file skipped");
  }
  // A cut is used up once pasted.
  if (items.operation == ClipOperation::Cut && errors.empty()) clip->clear();
  ReportErrors(info.owner, QStringLiteral("Some items could not be pasted."), errors);
  return errors.empty() ? S_OK : E_FAIL;
}

HRESULT ShellContextMenu::Properties(const InvokeInfo& info) {
  QStringList lines;
  std::vector<IdList> targets = items_;
  if (targets.empty()) targets.push_back(EmptyIdList());
  for (const IdList& i : targets) {
    const IdList whole = Concat(folder_->AbsoluteIdList().data(), i.data());
    Location where;
    if (!Resolve(whole.data(), where)) continue;
    std::string name;
    folder_->GetDisplayNameOf(i.data(), SHGDN_INFOLDER, name);
    lines << QString::fromStdString(name);
    if (!where.path.empty()) lines << QStringLiteral("Location: %1").arg(Show(where.path));
    if (where.kind == Location::Kind::File || where.kind == Location::Kind::TrashEntry) {
      lines << QStringLiteral("Type: %1").arg(TypeNameOf(where));
      if (!where.IsFolder()) lines << QStringLiteral("Size: %1 bytes").arg(where.stat.size);
      lines << QStringLiteral("Modified: %1")
                   .arg(QDateTime::fromSecsSinceEpoch(where.stat.mtimeSec).toString(Qt::TextDate));
      struct statx sx{};
      if (statx(AT_FDCWD, where.path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_ATIME | STATX_BTIME, &sx) == 0) {
        if (sx.stx_mask & STATX_BTIME)
          lines << QStringLiteral("Created: %1")
                       .arg(QDateTime::fromSecsSinceEpoch(sx.stx_btime.tv_sec).toString(Qt::TextDate));
        if (sx.stx_mask & STATX_ATIME)
          lines << QStringLiteral("Accessed: %1")
                       .arg(QDateTime::fromSecsSinceEpoch(sx.stx_atime.tv_sec).toString(Qt::TextDate));
      }
    }
    lines << QString();
  }
  if (Services().properties) Services().properties(info.owner, lines.join(QLatin1Char('\n')).trimmed());
  return S_OK;
}

// --- drop target ---

namespace {

bool IsDesktopLauncher(const std::string& path) {
  return path.size() > 8 && path.compare(path.size() - 8, 8, ".desktop") == 0;
}

// Exec= of a .desktop file split into words, file codes replaced by the paths.
QStringList LauncherCommand(const std::string& path, const std::vector<std::string>& files) {
  const std::string exec = DesktopEntryValues(path)["Exec"];
  QStringList words, out;
  QString cur;
  bool quoted = false, any = false;
  for (const QChar ch : QString::fromStdString(exec)) {
    if (ch == QLatin1Char('"')) {
      quoted = !quoted;
      any = true;
    } else if (ch.isSpace() && !quoted) {
      if (any || !cur.isEmpty()) words << cur;
      cur.clear();
      any = false;
    } else {
      cur += ch;
    }
  }
  if (any || !cur.isEmpty()) words << cur;
  bool placed = false;
  for (const QString& w : words) {
    if (w == QLatin1String("%f") || w == QLatin1String("%F") || w == QLatin1String("%u") || w == QLatin1String("%U")) {
      for (const std::string& f : files) out << QFile::decodeName(QByteArray::fromStdString(f));
      placed = true;
    } else if (w.size() == 2 && w.front() == QLatin1Char('%')) {
      continue;  // other field codes carry nothing here
    } else {
      out << w;
    }
  }
  if (!placed && !out.isEmpty())
    for (const std::string& f : files) out << QFile::decodeName(QByteArray::fromStdString(f));
  return out;
}

dev_t DeviceOfPath(const std::string& path) {
  struct stat st{};
  return lstat(path.c_str(), &st) == 0 ? st.st_dev : 0;
}

}  // namespace

HRESULT ShellDropTarget::Create(const uint8_t* absolute, std::unique_ptr<ShellDropTarget>& out) {
  out.reset();
  Location where;
  if (!Resolve(absolute, where)) return E_INVALIDARG;
  std::unique_ptr<ShellDropTarget> t(new ShellDropTarget);
  if (where.kind == Location::Kind::Trash) {
    t->kind_ = Kind::Trash;
  } else if (where.path.empty() || where.kind == Location::Kind::TrashEntry) {
    return E_INVALIDARG;
  } else if (where.IsFolder()) {
    t->kind_ = Kind::Folder;
  } else if (IsDesktopLauncher(where.path) || access(where.path.c_str(), X_OK) == 0) {
    t->kind_ = Kind::Program;
  } else {
    return E_INVALIDARG;
  }
  t->path_ = where.path;
  out = std::move(t);
  return S_OK;
}

uint32_t ShellDropTarget::EffectFor(const std::vector<std::string>& paths, uint32_t keyState, uint32_t allowed) const {
  if (paths.empty()) return DROPEFFECT_NONE;
  allowed &= DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
  if (kind_ == Kind::Program) return allowed & DROPEFFECT_COPY;
  if (kind_ == Kind::Trash) return allowed & DROPEFFECT_MOVE;
  for (const std::string& p : paths)
    if (PathIsWithin(path_, p)) return DROPEFFECT_NONE;  // onto itself or into itself
  uint32_t wanted;
  const bool ctrl = keyState & MK_CONTROL, shift = keyState & MK_SHIFT, alt = keyState & MK_ALT;
  if ((ctrl && shift) || alt) wanted = DROPEFFECT_LINK;
  else if (ctrl) wanted = DROPEFFECT_COPY;
  else if (shift) wanted = DROPEFFECT_MOVE;
  else wanted = DeviceOfPath(paths.front()) == DeviceOfPath(path_) ? DROPEFFECT_MOVE : DROPEFFECT_COPY;
  if (wanted == DROPEFFECT_MOVE) {
    bool allHere = true;
    for (const std::string& p : paths) allHere = allHere && DirName(p) == path_;
    if (allHere) return DROPEFFECT_NONE;  // moving into its own folder does nothing
  }
  if (allowed & wanted) return wanted;
  // A modifier asks for one effect: when it is not allowed, nothing happens.
  if (ctrl || shift || alt) return DROPEFFECT_NONE;
  for (uint32_t e : {DROPEFFECT_COPY, DROPEFFECT_MOVE, DROPEFFECT_LINK})
    if (allowed & e) return e;
  return DROPEFFECT_NONE;
}

HRESULT ShellDropTarget::DragEnter(const QMimeData* data, uint32_t keyState, QPoint point, uint32_t& effect) {
  ShellItems items;
  dragged_.clear();
  if (ReadShellMimeData(data, items)) dragged_ = items.paths;
  effect = EffectFor(dragged_, keyState, effect);
  return S_OK;
}

HRESULT ShellDropTarget::DragOver(uint32_t keyState, QPoint, uint32_t& effect) {
  effect = EffectFor(dragged_, keyState, effect);
  return S_OK;
}

HRESULT ShellDropTarget::DragLeave() {
  dragged_.clear();
  return S_OK;
}

HRESULT ShellDropTarget::Drop(const QMimeData* data, uint32_t keyState, QPoint point, uint32_t& effect) {
  ShellItems items;
  dragged_.clear();
  if (!ReadShellMimeData(data, items)) {
    effect = DROPEFFECT_NONE;
    return S_OK;
  }
  const uint32_t chosen = EffectFor(items.paths, keyState, effect);
  effect = DROPEFFECT_NONE;
  if (chosen == DROPEFFECT_NONE) return S_OK;
  std::vector<std::string> errors;
  if (kind_ == Kind::Program) {
    QStringList command;
    if (IsDesktopLauncher(path_)) {
      command = LauncherCommand(path_, items.paths);
    } else {
      command << QFile::decodeName(QByteArray::fromStdString(path_));
      for (const std::string& p : items.paths) command << QFile::decodeName(QByteArray::fromStdString(p));
    }
    if (command.isEmpty() || !Services().launch || !Services().launch(command.front(), command.mid(1))) return E_FAIL;
  } else if (kind_ == Kind::Trash) {
    for (const std::string& p : items.paths)
      if (HRESULT hr = MoveToTrash(p); FAILED(hr)) errors.push_back(p + ": " + ResultText(hr));
  } else {
    TransferReport report;
    const TransferMode mode = chosen == DROPEFFECT_COPY ? TransferMode::Copy
                              : chosen == DROPEFFECT_MOVE ? TransferMode::Move
                                                          : TransferMode::Link;
    const std::string target = path_;
    const HRESULT hr = RunTransfer(nullptr, mode == TransferMode::Move ? QStringLiteral("Moving...") : QStringLiteral("Copying..."),
                                   [&](TransferProgress& progress) {
                                     return TransferItems(items.paths, target, mode, report, &progress);
                                   });
    if (hr == E_ABORT) return E_ABORT;  // cancelled by the user
    if (FAILED(hr)) errors.push_back(path_ + ": " + ResultText(hr));
    errors.insert(errors.end(), report.errors.begin(), report.errors.end());
    for (const std::string& s : report.skipped) errors.push_back(s + ": special file skipped");
    if (report.created.empty()) {
      ReportErrors(nullptr, QStringLiteral("The items could not be dropped."), errors);
      return FAILED(hr) ? hr : E_FAIL;
    }
  }
  ReportErrors(nullptr, QStringLiteral("Some items could not be dropped."), errors);
  effect = chosen;
  return S_OK;
}

}  // namespace shellns
