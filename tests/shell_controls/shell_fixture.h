// Each test gets a private home and a temporary folder tree: HOME and the XDG
// variables point into it and the mount table is a file naming only the root
// file system, so the shell namespace sees nothing of the machine's own.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QTest>
#include <cstdlib>
#include <fstream>
#include <string>

#include "controls/shell/shell_controls.h"
#include "platform/shellnamespace/file_operations.h"
#include "platform/shellnamespace/mount_table.h"
#include "platform/shellnamespace/shell_services.h"

class ShellControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/shellctl-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root = pattern;
    home = root + "/home";
    MakeDir(home + "/.local/share");
    MakeDir(home + "/.config");
    MakeDir(home + "/Desktop");
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    WriteFile(home + "/.config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n");
    WriteFile(root + "/mountinfo", "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n");
    shellns::MountTable::SetSource(root + "/mountinfo");
    shellns::ResetShellServices();
    messages.clear();
    oldRoutine = ptshell::ShellMessageRoutine();
    ptshell::ShellMessageRoutine() = [this](const QString& text, int, int) {
      messages.push_back(text);
      return ptshell::mbOK;
    };
    tree = root + "/tree";
    MakeDir(tree);
  }

  void TearDown() override {
    ptshell::ShellMessageRoutine() = oldRoutine;
    shellns::MountTable::SetSource("");
    shellns::ResetShellServices();
    if (!root.empty()) shellns::DeletePermanently(root);
  }

  static void MakeDir(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i)
      if (i == path.size() || path[i] == '/') mkdir(path.substr(0, i).c_str(), 0700);
  }
  static void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
  }
  static bool Exists(const std::string& path) {
    struct stat st{};
    return lstat(path.c_str(), &st) == 0;
  }
  // Lets posted events (deferred fills, change notices) arrive.
  static void Settle() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
  }

  std::string root, home, tree;
  std::vector<QString> messages;
  ptshell::MessageRoutine oldRoutine;
};
