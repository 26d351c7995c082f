// Each test gets a private home and folder tree (HOME and the XDG variables
// point into it, the mount table names only the root file system), message
// boxes answered from a script, and a way to drive a modal dialog: steps run
// one after another once its form is shown, and a form still open after the
// last step is cancelled so no test can hang.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QTimer>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "controls/shell/dialogs/ptdialog.h"
#include "controls/shell/shell_controls.h"
#include "platform/shellnamespace/file_operations.h"
#include "platform/shellnamespace/mount_table.h"
#include "platform/shellnamespace/shell_services.h"

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/shelldlg-XXXXXX";
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
    shellns::Services().confirm = [](QWidget*, const QString&) { return true; };
    oldShellRoutine = ptshell::ShellMessageRoutine();
    ptshell::ShellMessageRoutine() = [this](const QString& text, int, int) {
      messages.push_back(text);
      return ptshell::mbOK;
    };
    oldRoutine = ptshell::DialogMessageRoutine();
    ptshell::DialogMessageRoutine() = [this](QWidget*, const QString& caption, const QString& text, int, int buttons) {
      messages.push_back(text);
      captions.push_back(caption);
      if (buttons != ptshell::mbsYesNo) return ptshell::mbOK;
      if (answers.empty()) return ptshell::mbNo;
      const int a = answers.front();
      answers.pop_front();
      return a;
    };
    tree = root + "/tree";
    MakeDir(tree);
    oldCwd = QDir::currentPath();
  }

  void TearDown() override {
    QDir::setCurrent(oldCwd);
    ptshell::DialogMessageRoutine() = oldRoutine;
    ptshell::ShellMessageRoutine() = oldShellRoutine;
    shellns::MountTable::SetSource("");
    shellns::ResetShellServices();
    if (!root.empty()) shellns::DeletePermanently(root);
  }

  static void MakeDir(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i)
      if (i == path.size() || path[i] == '/') mkdir(path.substr(0, i).c_str(), 0700);
  }
  static void WriteFile(const std::string& path, const std::string& text = "x") {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
  }
  static bool Exists(const std::string& path) {
    struct stat st{};
    return lstat(path.c_str(), &st) == 0;
  }
  static void Settle() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
  }

  using Step = std::function<void(QDialog* form)>;
  // Installs the steps on the dialog's OnFormShow; `leftOpen` tells whether the
  // last step left the form open (and it was then cancelled).
  void Drive(ptshell::TPTDialog& dialog, std::vector<Step> steps) {
    leftOpen = false;
    stepsRun = 0;
    dialog.OnFormShow = [this, steps](QObject* sender) {
      auto* form = qobject_cast<QDialog*>(sender);
      QTimer::singleShot(0, form, [this, form, steps] {
        for (const Step& step : steps) {
          if (!form->isVisible()) break;
          Settle();
          step(form);
          ++stepsRun;
        }
        if (form->isVisible()) {
          leftOpen = true;
          form->reject();
        }
      });
    };
  }

  std::string root, home, tree, oldCwdStd;
  QString oldCwd;
  std::vector<QString> messages, captions;
  std::deque<int> answers;
  bool leftOpen = false;
  int stepsRun = 0;
  ptshell::TDialogMessageRoutine oldRoutine;
  ptshell::MessageRoutine oldShellRoutine;
};
