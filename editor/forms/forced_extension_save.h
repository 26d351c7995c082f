// A save dialog whose typed name takes the dialog's own extension before the form checks it, so the
// overwrite question is about the file that will be written ("anim.gif" becomes "anim.avi" in an
// AVI export's dialog). Masks, folders and names that already have that extension stay as typed.
#pragma once

#include "controls/shell/dialogs/ptopendlg.h"

namespace movinta::editor::forms {

// `extension` with its dot (".swf").
QString NameWithExtension(const QString& typed, const QString& folder, const QString& extension);

// The save form that applies NameWithExtension to its name box when the user confirms.
class TForcedExtensionSaveForm : public ptshell::TPTFrmOpenDlg {
public:
  TForcedExtensionSaveForm(QString extension, QWidget* parent = nullptr);
  void done(int result) override;

private:
  QString extension_;
};

// The save dialog over that form: the extension is its DefaultExt.
class TForcedExtensionSaveDlg : public ptshell::TPTSaveDlg {
protected:
  ptshell::TPTFrmOpenDlg* CreateForm() override;
};

}  // namespace movinta::editor::forms
