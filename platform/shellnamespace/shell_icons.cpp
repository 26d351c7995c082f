#include "platform/shellnamespace/shell_icons.h"

#include <sys/stat.h>

#include <QApplication>
#include <QFile>
#include <QMimeDatabase>
#include <QPainter>
#include <QStyle>

#include "platform/shellnamespace/user_folders.h"

namespace shellns {

namespace {

QIcon StandardIcon(QStyle::StandardPixmap which) {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return QIcon();
  return QApplication::style()->standardIcon(which);
}

QIcon ThemeIcon(const QString& name, const QString& generic, QStyle::StandardPixmap fallback) {
  QIcon icon = name.isEmpty() ? QIcon() : QIcon::fromTheme(name);
  if (icon.isNull() && !generic.isEmpty()) icon = QIcon::fromTheme(generic);
  if (icon.isNull()) icon = StandardIcon(fallback);
  return icon;
}

QString SpecialFolderIconName(const std::string& path) {
  static const std::pair<const char*, const char*> folders[] = {
      {"DESKTOP", "user-desktop"},       {"DOCUMENTS", "folder-documents"}, {"DOWNLOAD", "folder-download"},
      {"MUSIC", "folder-music"},         {"PICTURES", "folder-pictures"},   {"PUBLICSHARE", "folder-publicshare"},
      {"TEMPLATES", "folder-templates"}, {"VIDEOS", "folder-videos"}};
  for (const auto& [key, icon] : folders)
    if (auto dir = UserDir(key); dir && *dir == path) return QString::fromLatin1(icon);
  return QString();
}

bool TrashHasEntries() {
  const std::string files = JoinPath(HomeTrashDir(), "files");
  struct stat st{};
  if (stat(files.c_str(), &st) != 0) return false;
  std::vector<IdList> items;
  auto trash = ShellFolder::Desktop();
  std::shared_ptr<ShellFolder> folder;
  const IdList t = MakeRootItem(RootId::Trash);
  return SUCCEEDED(trash->BindToObject(t.data(), folder)) &&
         SUCCEEDED(folder->EnumObjects(SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, items)) && !items.empty();
}

}  // namespace

SystemImageList& SystemImageList::Instance() {
  static SystemImageList list;
  return list;
}

SystemImageList::SystemImageList() {
  keys_.push_back(QStringLiteral("file:generic"));
  icons_.push_back(ThemeIcon(QStringLiteral("text-x-generic"), QString(), QStyle::SP_FileIcon));
}

int SystemImageList::Add(const QString& key, const QIcon& icon) {
  for (size_t i = 0; i < keys_.size(); ++i)
    if (keys_[i] == key) return static_cast<int>(i);
  keys_.push_back(key);
  icons_.push_back(icon);
  return static_cast<int>(icons_.size() - 1);
}

int SystemImageList::IndexOf(const Location& where, bool open) {
  QString key, name, generic;
  QStyle::StandardPixmap fallback = QStyle::SP_FileIcon;
  switch (where.kind) {
    case Location::Kind::Desktop: name = "user-desktop"; fallback = QStyle::SP_DesktopIcon; break;
    case Location::Kind::Home: name = "user-home"; fallback = QStyle::SP_DirHomeIcon; break;
    case Location::Kind::Computer: name = "computer"; fallback = QStyle::SP_ComputerIcon; break;
    case Location::Kind::Trash: name = TrashHasEntries() ? "user-trash-full" : "user-trash"; fallback = QStyle::SP_TrashIcon; break;
    case Location::Kind::Volume:
      if (where.volumeFlags & kVolumeNetwork) {
        name = "folder-remote";
        fallback = QStyle::SP_DriveNetIcon;
      } else if (where.volumeFlags & kVolumeRemovable) {
        name = "drive-removable-media";
        fallback = QStyle::SP_DriveFDIcon;
      } else {
        name = "drive-harddisk";
        fallback = QStyle::SP_DriveHDIcon;
      }
      break;
    case Location::Kind::File:
    case Location::Kind::TrashEntry:
      if (where.stat.type == FileType::Directory) {
        name = SpecialFolderIconName(where.path);
        if (name.isEmpty()) name = open ? "folder-open" : "folder";
        generic = "folder";
        fallback = open ? QStyle::SP_DirOpenIcon : QStyle::SP_DirIcon;
      } else {
        static const QMimeDatabase db;
        const QMimeType type =
            db.mimeTypeForFile(QFile::decodeName(QByteArray::fromStdString(BaseName(where.path))), QMimeDatabase::MatchExtension);
        name = type.iconName();
        generic = type.genericIconName();
      }
      break;
  }
  key = name + QLatin1Char('|') + generic;
  std::lock_guard lock(mutex_);
  for (size_t i = 0; i < keys_.size(); ++i)
    if (keys_[i] == key) return static_cast<int>(i);
  return Add(key, ThemeIcon(name, generic, fallback));
}

QIcon SystemImageList::Icon(int index) const {
  std::lock_guard lock(mutex_);
  return index >= 0 && static_cast<size_t>(index) < icons_.size() ? icons_[static_cast<size_t>(index)] : QIcon();
}

int SystemImageList::Count() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(icons_.size());
}

QIcon SystemImageList::Overlay(int overlay) const {
  if (overlay == 1) return ThemeIcon(QStringLiteral("emblem-shared"), QString(), QStyle::SP_DriveNetIcon);
  if (overlay == 2) return ThemeIcon(QStringLiteral("emblem-symbolic-link"), QString(), QStyle::SP_FileLinkIcon);
  return QIcon();
}

QPixmap SystemImageList::Pixmap(int index, int size, int overlay) const {
  QPixmap base = Icon(index).pixmap(size, size);
  if (base.isNull()) {
    base = QPixmap(size, size);
    base.fill(Qt::transparent);
  }
  const QIcon over = Overlay(overlay);
  if (!over.isNull()) {
    QPainter p(&base);
    const int s = std::max(8, size / 2);
    p.drawPixmap(0, size - s, over.pixmap(s, s));
  }
  return base;
}

int IconIndexOfIdList(const uint8_t* absolute, bool open) {
  Location where;
  if (!Resolve(absolute, where)) return 0;
  return SystemImageList::Instance().IndexOf(where, open);
}

QString TypeNameOf(const Location& where) {
  static const QMimeDatabase db;
  if (where.IsFolder()) return db.mimeTypeForName(QStringLiteral("inode/directory")).comment();
  return db.mimeTypeForFile(QFile::decodeName(QByteArray::fromStdString(BaseName(where.path))), QMimeDatabase::MatchExtension)
      .comment();
}

}  // namespace shellns
