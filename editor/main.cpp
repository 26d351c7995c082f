// The program's main block: the splash, the main window, the image browser and the frame
// inspector created in that order, the automation server, and the message loop.
#include "automation/automation_server.h"
#include "automation/dbus_front.h"
#include "automation/wiring/editor_automation.h"
#include "editor/command_line.h"
#include "editor/file_dialogs.h"
#include "editor/splash_screen.h"
#include "editor/tool_windows.h"
#include "editor/forms/guarded.h"
#include "editor/main_window.h"

#include <QApplication>
#include <QIcon>
#include <QPointer>

#include <cstdio>
#include <cstdlib>
#include <memory>

int main(int argc, char** argv) {
  using namespace movinta::editor;
  {
    // Registering the bus service needs no display.
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    const QString registration = ParseCommandLine(arguments).AutomationSwitch;
    if (registration == QLatin1String("REGSERVER") || registration == QLatin1String("UNREGSERVER")) {
      QCoreApplication core(argc, argv);
      return movinta::automation::RunRegistrationSwitch(registration, QCoreApplication::applicationFilePath());
    }
  }
  // Without a display Qt would abort with a message about platform plugins; say what to do instead.
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
      qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    std::fprintf(stderr,
                 "Movinta6 needs a display. Run it on a desktop, or headless as\n"
                 "  xvfb-run -a %s [file.gif]\n",
                 argv[0]);
    return 1;
  }

  TMovintaApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("Larkspur Software"));
  // Also the class of the windows on X11 (WM_CLASS), which the desktop entry's StartupWMClass repeats.
  QApplication::setApplicationName(QStringLiteral("GIF Movinta"));
  QApplication::setApplicationDisplayName(QStringLiteral("Larkspur GIF Movinta 6.0"));
  // The icon the desktop entry names, built in so that the build tree's program shows it too.
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/com.larkspur.Movinta.png")));
  // Ties the windows to the desktop entry, which is named for the bus name.
  QGuiApplication::setDesktopFileName(QString::fromLatin1(movinta::automation::kServiceName));
  InstallShellErrorHandler();
  const CommandLine commandLine = ParseCommandLine(QApplication::arguments().mid(1));

  std::unique_ptr<TSplashScreen> splash;
  if (!commandLine.NoSplash) {
    splash = std::make_unique<TSplashScreen>(QString::fromLatin1(kResourceLibrary));
    if (commandLine.SplashWaits()) {
      splash->exec();
    } else {
      splash->show();
      QApplication::processEvents();
    }
  }

  auto* main = new TfrmMain;
  main->setAttribute(Qt::WA_DeleteOnClose);
  the_frmMain = main;
  the_frmThumbWin = new TfrmThumbWin(main);
  the_frmThumbWin->PlaceBelow(*main);
  main->SetCommandLineFile(commandLine.FileName);
  main->SetWelcomeOnStartup(commandLine.AutomationSwitch.isEmpty());
  std::unique_ptr<movinta::wiring::TEditorAutomation> automation;
  try {
    automation = std::make_unique<movinta::wiring::TEditorAutomation>(*main);
  } catch (const std::exception&) {
    ShowMessage(QStringLiteral("GIFMovintaApplication automation object could not be created!"), MessageType::Warning,
                kOk);
  }
  if (automation) automation->Publish();
  main->show();
  splash.reset();
  const QPointer<TfrmMain> window(main);
  const int code = app.exec();
  // A quit that leaves the window open would leave the working image and its playback to static
  // destruction; they go here, with the automation server that reaches the window first.
  automation.reset();
  delete window.data();
  return code;
}
