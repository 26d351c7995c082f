// Add-ins: Qt plugins that offer the add-in interface (automation/movinta_addin.h), found in the
// add-in folders and loaded near the end of the start-up. Each gets the application object, makes
// its menu items and goes into the list of add-ins that "Plugin Info..." shows. An add-in that
// cannot be loaded, lacks the interface or fails is skipped with a warning on standard error; the
// others load all the same. Add-ins are never unloaded.
#pragma once

#include "automation/automation_host.h"
#include "automation/automation_objects.h"
#include "automation/movinta_addin.h"

#include <functional>
#include <memory>

namespace movinta::automation {

// The most add-ins the editor loads.
inline constexpr int kMaxAddIns = 50;

// Where add-ins are looked for, in order: the folders of $MOVINTA6_ADDIN_PATH (separated by
// colons), $XDG_DATA_HOME/movinta6/addins and the program's own add-in folder.
QStringList AddInFolders();

// The add-in files of the folders, by absolute path: files whose plugin metadata names the add-in
// interface, read without loading them; each folder's files in name order, a file found twice once,
// at most kMaxAddIns in all. step is called as the scan goes on.
QStringList FetchAddInClasses(const QStringList& folders, const std::function<void()>& step = {});

// The in-process face of the application object, as add-ins receive it. It does not keep the
// application alive: once the editor has closed its members fail.
std::shared_ptr<addin::IGIFMovintaApplication> AddInApplication(const std::shared_ptr<TGIFApplication>& application);

// The user's data folder of the editor: $XDG_DATA_HOME/movinta6 (~/.local/share when unset).
QString AddInStateFolder();

// Loads the files as add-ins over the application, adding each one that describes itself to the
// list of add-ins; loading(title) is called before an add-in makes its menus. The number listed.
// Titles, versions and descriptions are kept to their first 4,000 characters.
// While an add-in's code runs, a marker in AddInStateFolder() names its file, and standard error
// names it first. An add-in that ended the program while marked is left
// out from then on, until its file changes (size or modification time); the user is told its file
// name once, at the start after.
int LoadAddIns(const QStringList& files, const std::shared_ptr<TGIFApplication>& application,
               const std::function<void(const QString& title)>& loading = {});

// The start-up step: with a progress window over the disabled main window, finds and loads the
// add-ins, then shows the "Plug-ins" menu when it has items and "Plugin Info..." when any add-in
// loaded. Does nothing without the application object.
void LoadPlugins(IPlugInHost& main);

}  // namespace movinta::automation
