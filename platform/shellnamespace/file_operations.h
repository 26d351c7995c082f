// File operations of the shell layer, in place of the Windows shell's file
// operation engine: renames that never replace, the XDG trash, permanent
// deletion, and copy, move and link of items into a folder, which a caller may
// run on a worker and cancel. There is no undo and no conflict dialog: an
// existing target name is reported and both files are kept.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/shellnamespace/hresult.h"

namespace shellns {

// Renames without ever replacing an existing file (EEXIST then).
HRESULT RenameNoReplace(const std::string& from, const std::string& to);

// The target of a symbolic link as it is stored; 0, or the errno value
// (ENAMETOOLONG when the link grew past `sizeHint`, its lstat size, meanwhile).
int ReadLinkTarget(const std::string& path, long long sizeHint, std::string& target);

// Moves a file or folder into the XDG trash: the home trash when it lies on the
// same device as the data folder, else the volume's .Trash-<uid>; writes the
// .trashinfo first (created exclusively) so no entry is ever without its info.
// `nameInTrash` receives the name under files/.
HRESULT MoveToTrash(const std::string& path, std::string* nameInTrash = nullptr);
// Removes a trash entry and its info file for good; an empty trash folder is the home trash.
HRESULT DeleteTrashEntry(const std::string& nameInFiles, const std::string& trashDir = std::string());

// Puts a trash entry back where it was deleted from, making the folders on
// the way; never replaces what has taken its place there (EEXIST then).
HRESULT RestoreTrashEntry(const std::string& nameInFiles, const std::string& trashDir = std::string());

// Removes a file, link or whole folder for good (links are never followed).
HRESULT DeletePermanently(const std::string& path);

enum class TransferMode { Copy, Move, Link };

struct TransferReport {
  std::vector<std::string> errors;   // "<path>: <cause>", in source order
  std::vector<std::string> skipped;  // special files (devices, sockets, pipes) left out
  std::vector<std::string> created;  // top-level targets made
  bool ok() const { return errors.empty() && skipped.empty(); }
};

// What a transfer running on a worker shares with the window that shows it:
// the bytes copied so far and the user's cancel.
struct TransferProgress {
  std::atomic<uint64_t> BytesDone{0};
  std::atomic<bool> Cancel{false};
  // Called on the worker after each block copied (tests hold the worker here).
  std::function<void()> OnBlock;
};

// Copies, moves or links each source into `targetFolder`. A folder is never
// put into itself or below itself; links are copied as links; special files are
// skipped; a moved source that had to be copied is removed only when all of it
// was copied. A copy into the source's own folder gets a free "(copy)" name; any
// other existing name is an error and nothing is replaced. S_OK when everything
// went through, S_FALSE when some items failed or were skipped (see the report).
// With `progress`, a cancel stops the transfer at the next block: the file
// being copied is removed, and so is what a move across volumes had copied of
// the item it was moving (its source stays); E_ABORT then.
HRESULT TransferItems(const std::vector<std::string>& sources, const std::string& targetFolder, TransferMode mode,
                      TransferReport& report, TransferProgress* progress = nullptr);

// The first of "<stem> (copy)<ext>", "<stem> (copy 2)<ext>", ... that does not exist in `folder`.
std::string FreeCopyName(const std::string& folder, const std::string& name);

}  // namespace shellns
