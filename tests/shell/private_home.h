// A private home for each test: HOME and the XDG variables point into a fresh temporary tree, the
// user folders are named in user-dirs.dirs, and the mount table is a file the test writes, so the
// shell namespace sees nothing of the machine's own.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/shellnamespace/file_operations.h"
#include "platform/shellnamespace/mount_table.h"
#include "platform/shellnamespace/shell_services.h"

class PrivateHome : public ::testing::Test {
 protected:
  // What a fixture's home holds: where it lies under the temporary root, the folders made in it,
  // the text of its user-dirs.dirs and the mount table's lines.
  struct Layout {
    std::string prefix;     // of the temporary root's name
    std::string homePath;   // under the root
    std::vector<std::string> folders;
    std::string userDirs;
    std::string mountTable;
  };

  explicit PrivateHome(Layout layout) : layout_(std::move(layout)) {}

  void SetUp() override {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + layout_.prefix + "-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root = pattern;
    home = root + layout_.homePath;
    MakeDir(home);
    MakeDir(home + "/.local/share");
    MakeDir(home + "/.config");
    for (const std::string& d : layout_.folders) MakeDir(home + "/" + d);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    WriteFile(home + "/.config/user-dirs.dirs", layout_.userDirs);
    mounts = root + "/mountinfo";
    WriteMounts("");
    shellns::ResetShellServices();
  }

  void TearDown() override {
    shellns::MountTable::SetSource("");
    shellns::ResetShellServices();
    if (!root.empty()) shellns::DeletePermanently(root);
  }

  // Lines of extra mounts after the fixture's own, in mountinfo form.
  void WriteMounts(const std::string& extra) {
    WriteFile(mounts, layout_.mountTable + extra);
    shellns::MountTable::SetSource(mounts);
  }

  static void MakeDir(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i)
      if (i == path.size() || path[i] == '/') mkdir(path.substr(0, i).c_str(), 0700);
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

 private:
  Layout layout_;
};
