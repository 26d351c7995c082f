// The shell layer of this program, in place of the Windows shell: binary
// item-ID lists over the Linux file system (Home, Computer from the mount table,
// the XDG trash and desktop folder), XDG special folders, icons from the icon
// theme, verbs, file operations, the clipboard and drag and drop as MIME data.
// It leaves out network browsing, printers, the control panel, shared folders,
// third-party menu and column handlers, and the shell's progress and conflict
// dialogs.
//
// Where to look:
//   item_id.h          the list format, item kinds, validation of outside bytes
//   shell_folder.h     folders (enumerate, compare, attributes, names, parse, rename),
//                      paths and special folders
//   mount_table.h      the volumes of Computer (injectable source)
//   user_folders.h     HOME and the XDG folders, path helpers
//   file_operations.h  trash, delete, copy, move, link, no-replace rename
//   shell_icons.h      the process-wide image list and overlays
//   shell_mime.h       clipboard and drag formats ("Shell IDList Array", URI lists)
//   shell_verbs.h      context-menu commands and drop targets
//   shell_services.h   open, launch, ask, report (replaceable hooks)
#pragma once

#include "platform/shellnamespace/file_operations.h"
#include "platform/shellnamespace/hresult.h"
#include "platform/shellnamespace/item_id.h"
#include "platform/shellnamespace/mount_table.h"
#include "platform/shellnamespace/shell_folder.h"
#include "platform/shellnamespace/shell_icons.h"
#include "platform/shellnamespace/shell_mime.h"
#include "platform/shellnamespace/shell_services.h"
#include "platform/shellnamespace/shell_verbs.h"
#include "platform/shellnamespace/user_folders.h"
