#include "platform/shellnamespace/mount_table.h"

#include <sys/sysmacros.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>
#include <sstream>

#include "platform/shellnamespace/item_id.h"
#include "platform/shellnamespace/user_folders.h"

namespace shellns {

namespace {

std::mutex g_mutex;
std::string g_source;
bool g_cached = false;
std::vector<MountEntry> g_entries;

const std::set<std::string>& PseudoTypes() {
  static const std::set<std::string> types = {
      "proc",     "sysfs",     "devtmpfs",   "devpts",     "tmpfs",  "cgroup",  "cgroup2", "securityfs",
      "pstore",   "debugfs",   "tracefs",    "mqueue",     "hugetlbfs", "fusectl", "configfs", "bpf",
      "autofs",   "binfmt_misc", "efivarfs", "rpc_pipefs", "nsfs",   "ramfs",   "squashfs", "selinuxfs",
      "fuse.gvfsd-fuse", "fuse.portal", "overlay"};
  return types;
}

bool IsNetworkType(const std::string& t) {
  static const std::set<std::string> types = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "afs", "ceph",
                                              "glusterfs", "9p", "fuse.sshfs", "sshfs", "davfs", "fuse.davfs2",
                                              "fuse.rclone", "fuse.s3fs"};
  return types.count(t) > 0;
}

// mountinfo escapes space, tab, newline and backslash as \ooo.
std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size()) {
      const char a = s[i + 1], b = s[i + 2], c = s[i + 3];
      if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
        out.push_back(static_cast<char>(((a - '0') << 6) | ((b - '0') << 3) | (c - '0')));
        i += 3;
        continue;
      }
    }
    out.push_back(s[i]);
  }
  return out;
}

std::vector<MountEntry> LoadLocked() {
  if (!g_cached) {
    std::ifstream in(g_source.empty() ? std::string("/proc/self/mountinfo") : g_source, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    g_entries = MountTable::Parse(text);
    g_cached = true;
  }
  return g_entries;
}

}  // namespace

void MountTable::SetSource(const std::string& path) {
  std::lock_guard lock(g_mutex);
  g_source = path;
  g_cached = false;
}

std::string MountTable::Source() {
  std::lock_guard lock(g_mutex);
  return g_source.empty() ? std::string("/proc/self/mountinfo") : g_source;
}

void MountTable::Invalidate() {
  std::lock_guard lock(g_mutex);
  g_cached = false;
}

std::vector<MountEntry> MountTable::Parse(const std::string& text) {
  std::vector<MountEntry> out;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream f(line);
    std::vector<std::string> fields{std::istream_iterator<std::string>(f), std::istream_iterator<std::string>()};
    const auto sep = std::find(fields.begin(), fields.end(), "-");
    if (fields.size() < 7 || sep == fields.end() || sep - fields.begin() < 6 || fields.end() - sep < 3) continue;
    MountEntry e;
    unsigned maj = 0, min = 0;
    char colon = 0;
    std::istringstream dev(fields[2]);
    if (!(dev >> maj >> colon >> min) || colon != ':') continue;
    e.device = makedev(maj, min);
    e.mountPoint = CleanPath(Unescape(fields[4]));
    if (e.mountPoint.empty() || e.mountPoint.front() != '/') continue;
    e.fsType = Unescape(*(sep + 1));
    e.source = Unescape(*(sep + 2));
    out.push_back(std::move(e));
  }
  return out;
}

std::vector<Volume> MountTable::Volumes() {
  std::vector<MountEntry> entries;
  {
    std::lock_guard lock(g_mutex);
    entries = LoadLocked();
  }
  const std::string home = HomeDir();
  std::vector<Volume> out;
  // The last mount on a mount point hides the earlier ones.
  for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
    if (std::any_of(out.begin(), out.end(), [&](const Volume& v) { return v.mountPoint == it->mountPoint; })) continue;
    Volume v{it->mountPoint, it->fsType, 0};
    const bool network = IsNetworkType(it->fsType);
    if (it->mountPoint == "/") {
      v.flags = kVolumeRootFs;
    } else {
      if (PseudoTypes().count(it->fsType) && !network) continue;
      const bool removable = PathIsWithin(it->mountPoint, "/media") || PathIsWithin(it->mountPoint, "/run/media");
      const bool user = removable || PathIsWithin(it->mountPoint, "/mnt") ||
                        (home != "/" && PathIsWithin(it->mountPoint, home) && it->mountPoint != home);
      if (!user && !network) continue;
      if (it->mountPoint == "/media" || it->mountPoint == "/run/media" || it->mountPoint == "/mnt") continue;
      v.flags = static_cast<uint8_t>((removable ? kVolumeRemovable : 0) | (network ? kVolumeNetwork : 0));
    }
    out.push_back(std::move(v));
  }
  if (std::none_of(out.begin(), out.end(), [](const Volume& v) { return v.mountPoint == "/"; }))
    out.push_back(Volume{"/", "", kVolumeRootFs});
  std::sort(out.begin(), out.end(), [](const Volume& a, const Volume& b) {
    if ((a.mountPoint == "/") != (b.mountPoint == "/")) return a.mountPoint == "/";
    return a.mountPoint < b.mountPoint;
  });
  return out;
}

Volume MountTable::VolumeOf(const std::string& path) {
  Volume best{"/", "", kVolumeRootFs};
  for (const Volume& v : Volumes())
    if (PathIsWithin(path, v.mountPoint) && v.mountPoint.size() >= best.mountPoint.size()) best = v;
  return best;
}

std::string MountTable::MountPointOf(const std::string& path) {
  std::vector<MountEntry> entries;
  {
    std::lock_guard lock(g_mutex);
    entries = LoadLocked();
  }
  std::string best = "/";
  for (const MountEntry& e : entries)
    if (PathIsWithin(path, e.mountPoint) && e.mountPoint.size() > best.size()) best = e.mountPoint;
  return best;
}

}  // namespace shellns
