#include "platform/shellnamespace/user_folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>

namespace shellns {

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

// An XDG variable counts only when it holds an absolute path.
std::string AbsoluteEnvOr(const char* name, const std::string& fallback) {
  std::string v = Env(name);
  return !v.empty() && v.front() == '/' ? CleanPath(v) : fallback;
}

// Parses a value of user-dirs.dirs: "$HOME/Pictures" or "/abs/path" in double
// quotes, with backslash escapes.
std::optional<std::string> ParseUserDirValue(const std::string& raw, const std::string& home) {
  std::string v = raw;
  while (!v.empty() && (v.back() == ' ' || v.back() == '\t' || v.back() == '\r')) v.pop_back();
  if (v.size() < 2 || v.front() != '"' || v.back() != '"') return std::nullopt;
  v = v.substr(1, v.size() - 2);
  std::string out;
  size_t i = 0;
  if (v.compare(0, 5, "$HOME") == 0 && (v.size() == 5 || v[5] == '/')) {
    out = home;
    i = 5;
  } else if (v.empty() || v.front() != '/') {
    return std::nullopt;
  }
  for (; i < v.size(); ++i) {
    if (v[i] == '\\' && i + 1 < v.size()) ++i;
    out.push_back(v[i]);
  }
  return CleanPath(out);
}

}  // namespace

std::string HomeDir() {
  std::string h = Env("HOME");
  if (h.empty() || h.front() != '/') {
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) h = pw->pw_dir;
  }
  return h.empty() ? std::string("/") : CleanPath(h);
}

std::string DataHomeDir() { return AbsoluteEnvOr("XDG_DATA_HOME", JoinPath(HomeDir(), ".local/share")); }
std::string ConfigHomeDir() { return AbsoluteEnvOr("XDG_CONFIG_HOME", JoinPath(HomeDir(), ".config")); }
std::string HomeTrashDir() { return JoinPath(DataHomeDir(), "Trash"); }
std::string SendToDir() { return JoinPath(DataHomeDir(), "gif-movinta/SendTo"); }

namespace {

// The parsed user-dirs.dirs, read again only when home, the file's name or its
// change time and size differ (icons ask for the user folders per item).
struct UserDirsCache {
  std::string home, file;
  bool exists = false;
  timespec mtime{};
  off_t size = 0;
  std::map<std::string, std::string> values;  // key -> parsed path
};

std::map<std::string, std::string> ReadUserDirs(const std::string& file, const std::string& home) {
  std::map<std::string, std::string> values;
  std::ifstream in(file, std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    const size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#' || line.compare(start, 4, "XDG_") != 0) continue;
    const size_t eq = line.find('=', start);
    if (eq == std::string::npos || eq < start + 8 || line.compare(eq - 4, 4, "_DIR") != 0) continue;
    if (auto v = ParseUserDirValue(line.substr(eq + 1), home)) values[line.substr(start + 4, eq - 4 - start - 4)] = *v;
  }
  return values;
}

std::map<std::string, std::string> UserDirValues(const std::string& home) {
  static std::mutex mutex;
  static UserDirsCache cache;
  const std::string file = JoinPath(ConfigHomeDir(), "user-dirs.dirs");
  struct stat st{};
  const bool exists = stat(file.c_str(), &st) == 0;
  std::lock_guard lock(mutex);
  const bool same = cache.home == home && cache.file == file && cache.exists == exists &&
                    (!exists || (cache.mtime.tv_sec == st.st_mtim.tv_sec && cache.mtime.tv_nsec == st.st_mtim.tv_nsec &&
                                 cache.size == st.st_size));
  if (!same) {
    cache.home = home;
    cache.file = file;
    cache.exists = exists;
    cache.mtime = exists ? st.st_mtim : timespec{};
    cache.size = exists ? st.st_size : 0;
    cache.values = exists ? ReadUserDirs(file, home) : std::map<std::string, std::string>{};
  }
  return cache.values;
}

}  // namespace

std::optional<std::string> UserDir(const std::string& key) {
  static const std::map<std::string, std::string> defaults = {
      {"DESKTOP", "Desktop"}, {"DOCUMENTS", "Documents"}, {"DOWNLOAD", "Downloads"},
      {"MUSIC", "Music"},     {"PICTURES", "Pictures"},   {"PUBLICSHARE", "Public"},
      {"TEMPLATES", "Templates"}, {"VIDEOS", "Videos"}};
  const auto d = defaults.find(key);
  if (d == defaults.end()) return std::nullopt;
  const std::string home = HomeDir();
  const auto values = UserDirValues(home);
  const auto v = values.find(key);
  const std::string result = v != values.end() ? v->second : JoinPath(home, d->second);
  if (result == home) return std::nullopt;
  return result;
}

std::optional<std::string> DesktopDir() {
  auto d = UserDir("DESKTOP");
  struct stat st{};
  if (!d || stat(d->c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
  return d;
}

std::string JoinPath(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (name.empty()) return dir;
  return dir.back() == '/' ? dir + name : dir + "/" + name;
}

std::string CleanPath(const std::string& path) {
  if (path.empty()) return path;
  std::string out;
  out.reserve(path.size());
  const bool absolute = path.front() == '/';
  size_t i = 0;
  while (i < path.size()) {
    while (i < path.size() && path[i] == '/') ++i;
    size_t j = path.find('/', i);
    if (j == std::string::npos) j = path.size();
    std::string part = path.substr(i, j - i);
    i = j;
    if (part.empty() || part == ".") continue;
    if (!out.empty() || absolute) out.push_back('/');
    out += part;
  }
  if (out.empty()) return absolute ? "/" : ".";
  return out;
}

bool PathIsWithin(const std::string& path, const std::string& ancestor) {
  if (ancestor == "/") return !path.empty() && path.front() == '/';
  if (path.compare(0, ancestor.size(), ancestor) != 0) return false;
  return path.size() == ancestor.size() || path[ancestor.size()] == '/';
}

std::string BaseName(const std::string& path) {
  if (path == "/") return path;
  const size_t s = path.rfind('/');
  return s == std::string::npos ? path : path.substr(s + 1);
}

std::string DirName(const std::string& path) {
  const size_t s = path.rfind('/');
  if (s == std::string::npos) return ".";
  return s == 0 ? "/" : path.substr(0, s);
}

}  // namespace shellns

namespace shellns {

std::string PercentEncode(const std::string& raw) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : raw) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
        c == '_' || c == '~' || c == '/') {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(hex[c >> 4]);
      out.push_back(hex[c & 15]);
    }
  }
  return out;
}

std::optional<std::string> PercentDecode(const std::string& text) {
  auto val = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out.push_back(text[i]);
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int a = val(text[i + 1]), b = val(text[i + 2]);
    if (a < 0 || b < 0) return std::nullopt;
    out.push_back(static_cast<char>((a << 4) | b));
    i += 2;
  }
  return out;
}

std::map<std::string, std::string> DesktopEntryValues(const std::string& path) {
  std::map<std::string, std::string> values;
  std::ifstream in(path, std::ios::binary);
  bool entry = false;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line.front() == '[') {
      entry = line == "[Desktop Entry]";
      continue;
    }
    const size_t eq = line.find('=');
    if (entry && eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return values;
}

}  // namespace shellns
