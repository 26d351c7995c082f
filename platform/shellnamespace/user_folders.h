// The user's folders as the XDG base-directory and user-dirs conventions name
// them, read from the environment on every call (tests point HOME and the XDG
// variables into temporary trees).
#pragma once

#include <map>
#include <optional>
#include <string>

namespace shellns {

std::string HomeDir();          // $HOME, else the password database; no trailing slash
std::string DataHomeDir();      // $XDG_DATA_HOME or ~/.local/share
std::string ConfigHomeDir();    // $XDG_CONFIG_HOME or ~/.config
std::string HomeTrashDir();     // <data home>/Trash
std::string SendToDir();        // <data home>/gif-movinta/SendTo

// A user folder by its user-dirs key ("DESKTOP", "DOCUMENTS", "DOWNLOAD", "MUSIC",
// "PICTURES", "PUBLICSHARE", "TEMPLATES", "VIDEOS"): the value in
// <config home>/user-dirs.dirs, else the usual default under home. A folder that
// equals home is disabled (nullopt), as the convention says.
std::optional<std::string> UserDir(const std::string& key);

// The desktop folder whose entries the desktop shows; nullopt when it is
// disabled or is not an existing directory.
std::optional<std::string> DesktopDir();

// Path helpers on raw bytes.
std::string JoinPath(const std::string& dir, const std::string& name);
// True when `path` is `ancestor` or lies below it (component-wise, no file-system access).
bool PathIsWithin(const std::string& path, const std::string& ancestor);
// Drops "." parts, repeated and trailing slashes (keeps "/" itself); ".." is left as it is.
std::string CleanPath(const std::string& path);
std::string BaseName(const std::string& path);
std::string DirName(const std::string& path);

}  // namespace shellns

namespace shellns {
// URI-style escaping of raw path bytes (RFC 3986 unreserved characters and '/'
// stay); decoding answers nullopt for a malformed escape.
std::string PercentEncode(const std::string& raw);
std::optional<std::string> PercentDecode(const std::string& text);

// The keys and values of a desktop entry file's [Desktop Entry] group (a later
// line wins); empty when the file cannot be read.
std::map<std::string, std::string> DesktopEntryValues(const std::string& path);
}  // namespace shellns
