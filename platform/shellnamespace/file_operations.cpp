#include "platform/shellnamespace/file_operations.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <memory>

#include "platform/shellnamespace/mount_table.h"
#include "platform/shellnamespace/shell_folder.h"
#include "platform/shellnamespace/user_folders.h"

namespace shellns {

namespace {

bool Exists(const std::string& path) {
  struct stat st{};
  return lstat(path.c_str(), &st) == 0;
}

// mkdir -p with private folders.
int MakeDirs(const std::string& path, mode_t mode) {
  struct stat st{};
  if (stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
  const std::string parent = DirName(path);
  if (parent != path && parent != "/" && parent != ".") {
    if (int err = MakeDirs(parent, mode)) return err;
  }
  if (mkdir(path.c_str(), mode) != 0 && errno != EEXIST) return errno;
  return 0;
}

// Device of a path or of its nearest existing ancestor.
bool DeviceOf(std::string path, dev_t& dev) {
  struct stat st{};
  for (int guard = 0; guard < 4096; ++guard) {
    if (stat(path.c_str(), &st) == 0) {
      dev = st.st_dev;
      return true;
    }
    if (path == "/" || path.empty()) return false;
    path = DirName(path);
  }
  return false;
}

std::string RealPathOf(const std::string& path) {
  std::unique_ptr<char, decltype(&free)> r(realpath(path.c_str(), nullptr), &free);
  return r ? std::string(r.get()) : CleanPath(path);
}

std::string TrashDirFor(const std::string& path, const struct stat& st) {
  dev_t home{};
  if (DeviceOf(DataHomeDir(), home) && home == st.st_dev) return HomeTrashDir();
  return JoinPath(MountTable::MountPointOf(path), ".Trash-" + std::to_string(getuid()));
}

std::string DeletionDate() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &local);
  return buf;
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size) {
    const ssize_t n = write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool Cancelled(const TransferProgress* progress) { return progress && progress->Cancel.load(); }

int CopyFileData(const std::string& from, const std::string& to, const struct stat& st, TransferProgress* progress) {
  const int in = open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (in < 0) return errno;
  const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (out < 0) {
    const int err = errno;
    close(in);
    return err;
  }
  int err = 0;
  std::vector<char> buf(1 << 16);
  for (;;) {
    const ssize_t n = read(in, buf.data(), buf.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      err = errno;
      break;
    }
    if (n == 0) break;
    if (!WriteAll(out, buf.data(), static_cast<size_t>(n))) {
      err = errno;
      break;
    }
    if (progress) {
      progress->BytesDone += static_cast<uint64_t>(n);
      if (progress->OnBlock) progress->OnBlock();
    }
    if (Cancelled(progress)) {
      err = ECANCELED;
      break;
    }
  }
  if (!err && fchmod(out, st.st_mode & 07777) != 0) err = errno;
  const timespec times[2] = {st.st_atim, st.st_mtim};
  if (!err) futimens(out, times);
  if (close(out) != 0 && !err) err = errno;
  close(in);
  if (err) unlink(to.c_str());
  return err;
}

void Note(std::vector<std::string>& list, const std::string& path, int err) {
  list.push_back(path + ": " + std::strerror(err));
}

// Copies one item; true when all of it was copied.
bool CopyTree(const std::string& from, const std::string& to, TransferReport& report, TransferProgress* progress) {
  if (Cancelled(progress)) return false;
  struct stat st{};
  if (lstat(from.c_str(), &st) != 0) {
    Note(report.errors, from, errno);
    return false;
  }
  if (S_ISLNK(st.st_mode)) {
    std::string target;
    if (int err = ReadLinkTarget(from, st.st_size, target)) {
      Note(report.errors, from, err);
      return false;
    }
    if (symlink(target.c_str(), to.c_str()) != 0) {
      Note(report.errors, to, errno);
      return false;
    }
    return true;
  }
  if (S_ISREG(st.st_mode)) {
    if (int err = CopyFileData(from, to, st, progress)) {
      if (err != ECANCELED) Note(report.errors, from, err);
      return false;
    }
    return true;
  }
  if (!S_ISDIR(st.st_mode)) {
    report.skipped.push_back(from);
    return false;
  }
  if (mkdir(to.c_str(), 0700) != 0) {
    Note(report.errors, to, errno);
    return false;
  }
  bool all = true;
  if (DIR* dir = opendir(from.c_str())) {
    while (const dirent* e = readdir(dir)) {
      if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
      all = CopyTree(JoinPath(from, e->d_name), JoinPath(to, e->d_name), report, progress) && all;
      if (Cancelled(progress)) break;
    }
    closedir(dir);
  } else {
    Note(report.errors, from, errno);
    all = false;
  }
  chmod(to.c_str(), st.st_mode & 07777);
  const timespec times[2] = {st.st_atim, st.st_mtim};
  utimensat(AT_FDCWD, to.c_str(), times, AT_SYMLINK_NOFOLLOW);
  return all;
}

int RemoveEntry(const char* path, const struct stat*, int flag, FTW*) {
  const int rc = flag == FTW_DP ? rmdir(path) : unlink(path);
  return rc == 0 ? 0 : errno;
}

}  // namespace

int ReadLinkTarget(const std::string& path, long long sizeHint, std::string& target) {
  std::vector<char> buf(static_cast<size_t>(sizeHint > 0 ? sizeHint : 255) + 1);
  const ssize_t n = readlink(path.c_str(), buf.data(), buf.size());
  if (n < 0) return errno;
  if (static_cast<size_t>(n) >= buf.size()) return ENAMETOOLONG;
  target.assign(buf.data(), static_cast<size_t>(n));
  return 0;
}

HRESULT RenameNoReplace(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return S_OK;
  if (errno != EINVAL && errno != ENOSYS) return HResultFromErrno(errno);
  // File systems without the flag: a hard link never replaces; a folder gets a
  // last look before the plain rename.
  if (link(from.c_str(), to.c_str()) == 0) {
    unlink(from.c_str());
    return S_OK;
  }
  if (errno == EEXIST || Exists(to)) return HResultFromErrno(EEXIST);
  return rename(from.c_str(), to.c_str()) == 0 ? S_OK : HResultFromErrno(errno);
}

HRESULT MoveToTrash(const std::string& rawPath, std::string* nameInTrash) {
  if (rawPath.empty() || rawPath.front() != '/') return E_INVALIDARG;
  const std::string path = CleanPath(rawPath);
  struct stat st{};
  if (lstat(path.c_str(), &st) != 0) return HResultFromErrno(errno);
  const std::string trash = TrashDirFor(path, st);
  if (PathIsWithin(trash, path)) return HResultFromErrno(EINVAL);
  const std::string files = JoinPath(trash, "files"), info = JoinPath(trash, "info");
  if (int err = MakeDirs(files, 0700)) return HResultFromErrno(err);
  if (int err = MakeDirs(info, 0700)) return HResultFromErrno(err);
  const std::string base = BaseName(path);
  const std::string record = "[Trash Info]\nPath=" + PercentEncode(path) + "\nDeletionDate=" + DeletionDate() + "\n";
  for (unsigned n = 1; n < 100000; ++n) {
    const std::string name = n == 1 ? base : base + "." + std::to_string(n);
    const std::string infoPath = JoinPath(info, name + ".trashinfo");
    const int fd = open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return HResultFromErrno(errno);
    }
    const bool written = WriteAll(fd, record.data(), record.size());
    const int werr = written ? 0 : errno;
    if (close(fd) != 0 || !written) {
      unlink(infoPath.c_str());
      return HResultFromErrno(werr ? werr : EIO);
    }
    const HRESULT hr = RenameNoReplace(path, JoinPath(files, name));
    if (SUCCEEDED(hr)) {
      if (nameInTrash) *nameInTrash = name;
      return S_OK;
    }
    unlink(infoPath.c_str());
    if (ErrnoOf(hr) != EEXIST) return hr;
  }
  return HResultFromErrno(EEXIST);
}

HRESULT DeleteTrashEntry(const std::string& nameInFiles, const std::string& trashDir) {
  const std::string trash = trashDir.empty() ? HomeTrashDir() : trashDir;
  const HRESULT hr = DeletePermanently(JoinPath(JoinPath(trash, "files"), nameInFiles));
  if (SUCCEEDED(hr)) unlink(JoinPath(JoinPath(trash, "info"), nameInFiles + ".trashinfo").c_str());
  return hr;
}

HRESULT RestoreTrashEntry(const std::string& nameInFiles, const std::string& trashDir) {
  const std::string trash = trashDir.empty() ? HomeTrashDir() : trashDir;
  const std::string original = TrashEntryOriginalPath(trashDir, nameInFiles);
  if (original.empty() || original.front() != '/') return HResultFromErrno(ENOENT);
  if (int err = MakeDirs(DirName(original), 0777)) return HResultFromErrno(err);
  const HRESULT hr = RenameNoReplace(JoinPath(JoinPath(trash, "files"), nameInFiles), original);
  if (SUCCEEDED(hr)) unlink(JoinPath(JoinPath(trash, "info"), nameInFiles + ".trashinfo").c_str());
  return hr;
}

HRESULT DeletePermanently(const std::string& path) {
  struct stat st{};
  if (lstat(path.c_str(), &st) != 0) return HResultFromErrno(errno);
  if (!S_ISDIR(st.st_mode)) return unlink(path.c_str()) == 0 ? S_OK : HResultFromErrno(errno);
  const int rc = nftw(path.c_str(), RemoveEntry, 32, FTW_DEPTH | FTW_PHYS);
  if (rc == 0) return S_OK;
  return HResultFromErrno(rc > 0 ? rc : errno);
}

std::string FreeCopyName(const std::string& folder, const std::string& name) {
  const size_t dot = name.rfind('.');
  const bool hasExt = dot != std::string::npos && dot > 0;
  const std::string stem = hasExt ? name.substr(0, dot) : name, ext = hasExt ? name.substr(dot) : std::string();
  for (unsigned n = 1;; ++n) {
    const std::string candidate = stem + (n == 1 ? " (copy)" : " (copy " + std::to_string(n) + ")") + ext;
    if (!Exists(JoinPath(folder, candidate))) return candidate;
  }
}

HRESULT TransferItems(const std::vector<std::string>& sources, const std::string& targetFolder, TransferMode mode,
                      TransferReport& report, TransferProgress* progress) {
  struct stat tst{};
  if (stat(targetFolder.c_str(), &tst) != 0) return HResultFromErrno(errno);
  if (!S_ISDIR(tst.st_mode)) return HResultFromErrno(ENOTDIR);
  const std::string realTarget = RealPathOf(targetFolder);
  for (const std::string& rawSource : sources) {
    if (Cancelled(progress)) return E_ABORT;
    const std::string source = CleanPath(rawSource);
    struct stat st{};
    if (source.empty() || source.front() != '/' || source == "/") {
      Note(report.errors, source, EINVAL);
      continue;
    }
    if (lstat(source.c_str(), &st) != 0) {
      Note(report.errors, source, errno);
      continue;
    }
    // The source itself is not resolved: a link is moved or copied as a link.
    const std::string realSource = JoinPath(RealPathOf(DirName(source)), BaseName(source));
    const bool sameFolder = RealPathOf(DirName(source)) == realTarget;
    if (mode != TransferMode::Link && S_ISDIR(st.st_mode) && PathIsWithin(realTarget, realSource)) {
      report.errors.push_back(source + ": The destination folder is inside the source folder.");
      continue;
    }
    if (sameFolder && mode == TransferMode::Move) continue;
    const std::string name = BaseName(source);
    const std::string targetName = sameFolder ? FreeCopyName(targetFolder, name) : name;
    const std::string target = JoinPath(targetFolder, targetName);
    if (Exists(target)) {
      Note(report.errors, target, EEXIST);
      continue;
    }
    switch (mode) {
      case TransferMode::Link:
        if (symlink(source.c_str(), target.c_str()) != 0) {
          Note(report.errors, target, errno);
          continue;
        }
        break;
      case TransferMode::Move: {
        const HRESULT hr = RenameNoReplace(source, target);
        if (SUCCEEDED(hr)) break;
        if (ErrnoOf(hr) != EXDEV) {
          Note(report.errors, source, ErrnoOf(hr) ? ErrnoOf(hr) : EIO);
          continue;
        }
        const size_t before = report.errors.size() + report.skipped.size();
        if (CopyTree(source, target, report, progress)) {
          if (FAILED(DeletePermanently(source))) report.errors.push_back(source + ": copied, but the source could not be removed.");
        } else if (Cancelled(progress)) {
          // The source stays whole: what was copied of it goes again.
          DeletePermanently(target);
          return E_ABORT;
        } else if (report.errors.size() + report.skipped.size() > before) {
          report.errors.push_back(source + ": not everything could be copied; the source is kept.");
        }
        break;
      }
      case TransferMode::Copy:
        if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode) && !S_ISLNK(st.st_mode)) {
          report.skipped.push_back(source);
          continue;
        }
        CopyTree(source, target, report, progress);
        break;
    }
    if (Cancelled(progress)) {
      if (Exists(target)) report.created.push_back(target);
      return E_ABORT;
    }
    if (Exists(target)) report.created.push_back(target);
  }
  return report.ok() ? S_OK : S_FALSE;
}

}  // namespace shellns
