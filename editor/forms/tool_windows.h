// The image browser and the frame inspector: tool windows of the main window. The main window makes
// the inspector; the main block makes the browser.
#pragma once

#include "editor/forms/frame_inspector.h"
#include "editor/forms/thumb_window.h"

#include <QPointer>

namespace movinta::editor {

extern QPointer<forms::TfrmFloat> the_frmFloat;

}  // namespace movinta::editor
