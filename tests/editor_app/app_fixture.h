// A main window as the program builds it, over private settings and temporary folders.
#pragma once

#include "editor/tool_windows.h"
#include "editor/forms/guarded.h"
#include "editor/main_window.h"
#include "tests/editor/gif_fixture.h"
#include "tests/editor/test_support.h"

#include <QApplication>
#include <QFile>

#include <functional>

#include <gtest/gtest.h>

namespace movinta::editor::testing {

class QtEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "editor_app_test";
    static char* argv[] = {name, nullptr};
    // The program's own application object, so an exception that escapes an event is caught as in the program.
    app_ = new TMovintaApplication(argc, argv);
  }
  void TearDown() override { delete app_; }

private:
  QApplication* app_ = nullptr;
};

inline QString BuiltResourceLibrary() { return QStringLiteral(MOVINTA_BINARY_DIR "/editor/Tessary.dll"); }

inline void WriteBytes(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

// Posts itself an event and calls Handled when the event loop gets to it: shows whether long work
// gives the loop a turn.
class PostedProbe : public QObject {
public:
  std::function<void()> Handled;
  void Post() { QCoreApplication::postEvent(this, new QEvent(QEvent::User)); }
  ~PostedProbe() override { QCoreApplication::removePostedEvents(this); }
  bool event(QEvent* e) override {
    if (e->type() != QEvent::User) return QObject::event(e);
    if (Handled) Handled();
    return true;
  }
};

// The main window's status bar takes the progress of the scope, as in the program.
class StatusBarProgress {
public:
  explicit StatusBarProgress(TfrmMain& main) : previous_(SetProgressSink(main.StatusProgress())) {}
  ~StatusBarProgress() { SetProgressSink(previous_); }
  StatusBarProgress(const StatusBarProgress&) = delete;
  StatusBarProgress& operator=(const StatusBarProgress&) = delete;

private:
  IProgress* previous_;
};

class AppTest : public ::testing::Test {
protected:
  void TearDown() override { CloseMain(); }

  // The main window with its frame inspector, then the image browser, in the main block's order.
  TfrmMain& OpenMain(const QString& commandLineFile = QString(), bool startUp = true) {
    MainWindowOptions options;
    options.InstallServices = false;
    options.ResourceLibrary = BuiltResourceLibrary();
    main_ = std::make_unique<TfrmMain>(options);
    the_frmMain = main_.get();
    the_frmThumbWin = new TfrmThumbWin(main_.get());
    the_frmThumbWin->PlaceBelow(*main_);
    main_->SetCommandLineFile(commandLineFile);
    if (startUp) {
      main_->show();
      QCoreApplication::processEvents();
    }
    return *main_;
  }
  void CloseMain() {
    main_.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  QString Gif(const QString& name, int frames) {
    const QString path = tmp_.Path + QLatin1Char('/') + name;
    WriteAnimation(*MakeAnimation(frames), path);
    return path;
  }
  QString Path(const QString& name) const { return tmp_.Path + QLatin1Char('/') + name; }

  ScopedSettingsDir settingsDir_;
  ScopedTmpDir tmp_;
  RecordingMessages messages_;
  std::unique_ptr<TfrmMain> main_;
};

}  // namespace movinta::editor::testing
