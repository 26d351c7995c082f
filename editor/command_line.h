// The editor's command line: the file to open and the switches that change how it starts.
#pragma once

#include <QString>
#include <QStringList>

namespace movinta::editor {

struct CommandLine {
  // The first argument that is not a switch; empty when none.
  QString FileName;
  // "AUTOMATION", "EMBEDDING", "REGSERVER" or "UNREGSERVER" in upper case, empty when none was given.
  QString AutomationSwitch;
  bool NoSplash = false;

  // The splash waits for its start button only in an ordinary interactive start.
  bool SplashWaits() const { return AutomationSwitch.isEmpty() && !NoSplash; }
};

// arguments without the program name. A switch starts with "-" or "--" and is never taken for a
// file; after a lone "--" every argument is a file name.
CommandLine ParseCommandLine(const QStringList& arguments);

}  // namespace movinta::editor
