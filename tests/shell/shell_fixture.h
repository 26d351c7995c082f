// A private home for each test: HOME and the XDG variables point into a fresh
// temporary tree, the user folders are named in user-dirs.dirs, and the mount
// table is a file the test writes.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/shellnamespace/file_operations.h"
#include "platform/shellnamespace/mount_table.h"
#include "platform/shellnamespace/shell_services.h"
#include "platform/shellnamespace/user_folders.h"

class ShellTree : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/shelltest-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root = pattern;
    home = root + "/home/user";
    MakeDir(home);
    MakeDir(home + "/.local/share");
    MakeDir(home + "/.config");
    for (const char* d : {"Desktop", "Documents", "Pictures", "Music"}) MakeDir(home + "/" + d);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    WriteFile(home + "/.config/user-dirs.dirs",
              "# written by the test\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_DOCUMENTS_DIR=\"$HOME/Documents\"\n"
              "XDG_PICTURES_DIR=\"$HOME/Pictures\"\nXDG_MUSIC_DIR=\"$HOME/Music\"\nXDG_VIDEOS_DIR=\"$HOME\"\n");
    mounts = root + "/mountinfo";
    WriteMounts("");
    shellns::ResetShellServices();
  }

  void TearDown() override {
    shellns::MountTable::SetSource("");
    shellns::ResetShellServices();
    if (!root.empty()) shellns::DeletePermanently(root);
  }

  // Lines of extra mounts after the root file system, in mountinfo form.
  void WriteMounts(const std::string& extra) {
    WriteFile(mounts, "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
                      "23 22 0:5 / /proc rw - proc proc rw\n" + extra);
    shellns::MountTable::SetSource(mounts);
  }

  static void MakeDir(const std::string& path) {
    std::string cur;
    for (size_t i = 1; i <= path.size(); ++i) {
      if (i == path.size() || path[i] == '/') mkdir(path.substr(0, i).c_str(), 0700);
    }
  }
  static void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
  }
  static std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  static bool Exists(const std::string& path) {
    struct stat st{};
    return lstat(path.c_str(), &st) == 0;
  }

  std::string root, home, mounts;
};
