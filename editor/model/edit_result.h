// What an edit of the working image came to, as the frame and palette edits report it to the
// window that asked for it, and the rule they share: the undo entry is recorded first, and an edit
// whose entry cannot be recorded is refused with the reason and changes nothing.
#pragma once

#include <QString>

#include <exception>

namespace movinta::editor {

enum class EditOutcome { Unchanged, Applied, Refused };
struct EditResult {
  EditOutcome Outcome = EditOutcome::Unchanged;
  QString Message;  // for a refusal
};

// Runs record (a call of undo_records.h); false, with out refused and the reason in it, when the
// entry cannot be made (a snapshot that cannot be written).
template <typename Record>
bool Recorded(EditResult& out, Record&& record) {
  try {
    record();
    return true;
  } catch (const std::exception& e) {
    out.Outcome = EditOutcome::Refused;
    out.Message = QString::fromStdString(e.what());
    return false;
  }
}

}  // namespace movinta::editor
