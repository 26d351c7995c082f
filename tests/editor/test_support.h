// Stand-ins for the user and the disk in the editor's model tests.
#pragma once

#include "editor/model/ui_services.h"

#include <QDir>
#include <QSettings>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <deque>
#include <optional>
#include <sys/resource.h>
#include <utility>
#include <vector>

namespace movinta::editor::testing {

struct ShownMessage {
  QString Text;
  MessageType Type;
  ButtonSet Buttons;
};

// Records every message; answers from a script, else OK (or Cancel where offered).
class RecordingMessages : public IMessageRoutine {
public:
  RecordingMessages() { previous_ = SetMessageRoutine(this); }
  ~RecordingMessages() override { SetMessageRoutine(previous_); }

  int Show(const QString& text, MessageType type, ButtonSet buttons) override {
    Shown.push_back({text, type, buttons});
    if (!Answers.empty()) {
      const int a = Answers.front();
      Answers.pop_front();
      return a;
    }
    return (buttons & Button(mrCancel)) ? mrCancel : mrOk;
  }
  int ShowWithCheck(const QString& text, MessageType type, ButtonSet buttons, const QString&,
                    const QStringList& captions, bool& checked) override {
    LastCaptions = captions;
    checked = CheckBox;
    return Show(text, type, buttons);
  }

  bool Saw(const QString& fragment) const {
    for (const auto& m : Shown)
      if (m.Text.contains(fragment)) return true;
    return false;
  }
  int Count(const QString& fragment) const {
    int n = 0;
    for (const auto& m : Shown) n += m.Text.contains(fragment) ? 1 : 0;
    return n;
  }

  std::vector<ShownMessage> Shown;
  std::deque<int> Answers;
  bool CheckBox = false;
  QStringList LastCaptions;

private:
  IMessageRoutine* previous_;
};

class ScriptedChooser : public IFileChooser {
public:
  ScriptedChooser() { previous_ = SetFileChooser(this); }
  ~ScriptedChooser() override { SetFileChooser(previous_); }
  std::optional<QString> ChooseSaveName(const QString& initialName, const QString&, const QString&) override {
    Asked.push_back(initialName);
    if (Names.empty()) return std::nullopt;
    std::optional<QString> n = Names.front();
    Names.pop_front();
    return n;
  }
  std::deque<std::optional<QString>> Names;
  QStringList Asked;

private:
  IFileChooser* previous_;
};

// A private temporary folder that TMPDIR points at for the test's duration.
class ScopedTmpDir {
public:
  ScopedTmpDir() : old_(qgetenv("TMPDIR")), hadOld_(qEnvironmentVariableIsSet("TMPDIR")) {
    Path = dir_.path();
    qputenv("TMPDIR", Path.toLocal8Bit());
  }
  ~ScopedTmpDir() {
    if (hadOld_)
      qputenv("TMPDIR", old_);
    else
      qunsetenv("TMPDIR");
  }
  // Points TMPDIR at a place where no file can be made, even by root.
  void MakeUnusable() { qputenv("TMPDIR", (Path + QStringLiteral("/no-such-folder/x")).toLocal8Bit()); }
  void MakeUsable() { qputenv("TMPDIR", Path.toLocal8Bit()); }
  QStringList Files(const QString& pattern = QStringLiteral("~ZQ*")) const {
    return QDir(Path).entryList({pattern}, QDir::Files);
  }
  QString Path;

private:
  QTemporaryDir dir_;
  QByteArray old_;
  bool hadOld_;
};

// The per-user settings store lives in a private folder for the test's duration.
class ScopedSettingsDir {
public:
  ScopedSettingsDir() { QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_.path()); }
  QString Path() const { return dir_.path(); }

private:
  QTemporaryDir dir_;
};

// A folder that refuses writes: no longer writable, and (since root writes anyway) no file of
// this process may grow past zero bytes while the guard lives.
class ReadOnlyFolder {
public:
  explicit ReadOnlyFolder(const QString& folder) : folder_(folder) {
    QFile::setPermissions(folder_, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    getrlimit(RLIMIT_FSIZE, &old_);
    previous_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit none = old_;
    none.rlim_cur = 0;
    setrlimit(RLIMIT_FSIZE, &none);
  }
  ~ReadOnlyFolder() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, previous_);
    QFile::setPermissions(folder_, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  }
  ReadOnlyFolder(const ReadOnlyFolder&) = delete;
  ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

private:
  QString folder_;
  rlimit old_{};
  void (*previous_)(int) = nullptr;
};

}  // namespace movinta::editor::testing
