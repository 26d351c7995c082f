#include "editor/forms/tool_windows.h"

namespace movinta::editor {

QPointer<forms::TfrmFloat> the_frmFloat;

}  // namespace movinta::editor
