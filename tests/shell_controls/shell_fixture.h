// The shell controls' tests run in a private home with only a desktop folder, a mount table naming
// only the root file system, a folder tree of their own and the shell's message boxes recorded
// rather than shown.
#pragma once

#include <QApplication>
#include <QTest>
#include <vector>

#include "controls/shell/shell_controls.h"
#include "tests/shell/private_home.h"

class ShellControlsTest : public PrivateHome {
 protected:
  ShellControlsTest()
      : PrivateHome({"shellctl", "/home", {"Desktop"}, "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n",
                     "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"}) {}

  void SetUp() override {
    PrivateHome::SetUp();
    if (HasFatalFailure()) return;
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
    PrivateHome::TearDown();
  }

  // Lets posted events (deferred fills, change notices) arrive.
  static void Settle() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
  }

  std::string tree;
  std::vector<QString> messages;
  ptshell::MessageRoutine oldRoutine;
};
