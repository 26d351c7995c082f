// The shell layer's tests run in a private home with the common user folders named in
// user-dirs.dirs and /proc mounted beside the root file system.
#pragma once

#include "platform/shellnamespace/user_folders.h"
#include "tests/shell/private_home.h"

class ShellTree : public PrivateHome {
 protected:
  ShellTree()
      : PrivateHome({"shelltest", "/home/user", {"Desktop", "Documents", "Pictures", "Music"},
                     "# written by the test\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_DOCUMENTS_DIR=\"$HOME/Documents\"\n"
                     "XDG_PICTURES_DIR=\"$HOME/Pictures\"\nXDG_MUSIC_DIR=\"$HOME/Music\"\nXDG_VIDEOS_DIR=\"$HOME\"\n",
                     "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
                     "23 22 0:5 / /proc rw - proc proc rw\n"}) {}
};
