// Registering the editor as the bus service that starts on demand: the switches REGSERVER and
// UNREGSERVER write and remove a D-Bus service activation file in the user's data folder
// ($XDG_DATA_HOME/dbus-1/services), which starts the editor with --automation.
#pragma once

#include <QString>

namespace movinta::automation {

// The file in the user's data folder.
QString ServiceFilePath();
QString ServiceFileText(const QString& program);
// Writes the file for program (through a temporary file); the reason in error on failure.
bool RegisterServer(const QString& program, QString* error);
// Removes the file when it is the one RegisterServer wrote for program; true when none is left.
bool UnregisterServer(const QString& program, QString* error);

}  // namespace movinta::automation
