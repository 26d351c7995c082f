// The program's folders. On Windows the program file's folder ("AppPath") held the program's data as
// well (sample images, the tips file, the help file) and a "working" folder; here the program file,
// the data installed with it and the user's own data live apart, as the file-system layout wants:
//   ProgramFolder()    the folder of the running program file (bin/ when installed);
//   SharedDataFolder() the data installed with the program: <prefix>/share/movinta6, which the build
//                      also lays out beside its own bin (the build tree's share/movinta6); the
//                      environment variable MOVINTA6_DATA_DIR names another one (tests);
//   UserDataFolder()   the user's data (QStandardPaths::AppDataLocation), for "working".
// Folder names compare exactly: the file system is case-sensitive.
#pragma once

#include <QString>

namespace movinta::platform {

QString ProgramFolder();
QString SharedDataFolder();
QString UserDataFolder();

// The add-ins installed with the program: <prefix>/lib/movinta6/addins beside <prefix>/bin.
QString ProgramAddInFolder();

// The sample pictures shipped with the program ("images" in the shared data folder).
QString SampleImagesFolder();
// The user's "working" folder, where saves of files from the sample folder go; created when missing.
// Empty when it cannot be created.
QString WorkingFolder();

// True when `path` is `folder` or lies below it (both made absolute and clean; no case folding).
bool IsInFolder(const QString& path, const QString& folder);

}  // namespace movinta::platform
