#include "editor/model/edit_dialogs.h"

#include "editor/model/working_image.h"

namespace movinta::editor {

namespace {

IEditDialogs g_noDialogs;
IEditDialogs* g_dialogs = &g_noDialogs;

}  // namespace

IEditDialogs* EditDialogs() { return g_dialogs; }
IEditDialogs* SetEditDialogs(IEditDialogs* dialogs) {
  IEditDialogs* previous = g_dialogs == &g_noDialogs ? nullptr : g_dialogs;
  g_dialogs = dialogs ? dialogs : &g_noDialogs;
  return previous;
}

}  // namespace movinta::editor
