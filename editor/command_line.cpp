#include "editor/command_line.h"

#include <array>

namespace movinta::editor {

CommandLine ParseCommandLine(const QStringList& arguments) {
  static constexpr std::array<const char*, 4> kAutomation = {"AUTOMATION", "EMBEDDING", "REGSERVER", "UNREGSERVER"};
  CommandLine result;
  bool filesOnly = false;
  for (const QString& argument : arguments) {
    if (!filesOnly && argument == QLatin1String("--")) {
      filesOnly = true;
      continue;
    }
    if (!filesOnly && argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
      QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1).toUpper();
      for (const char* s : kAutomation)
        if (name == QLatin1String(s) && result.AutomationSwitch.isEmpty()) result.AutomationSwitch = name;
      if (name == QLatin1String("NO-SPLASH")) result.NoSplash = true;
      continue;  // unknown switches are ignored rather than opened
    }
    if (result.FileName.isEmpty() && !argument.isEmpty()) result.FileName = argument;
  }
  return result;
}

}  // namespace movinta::editor
