// A save dialog whose typed name takes the dialog's own extension before the form checks it, so the
// overwrite question is about the file that will be written ("anim.gif" becomes "anim.avi" in an
// AVI export's dialog). Masks, folders and names that already have that extension stay as typed.
#pragma once

#include "controls/shell/dialogs/ptopendlg.h"

namespace movinta::editor::forms {

// `extension` with its dot (".swf"). An extension typed in another case stays as typed unless
// `exactCase`, where it takes `extension`'s spelling.
QString NameWithExtension(const QString& typed, const QString& folder, const QString& extension,
                          bool exactCase = false);

// The save form that applies NameWithExtension to its name box when the user confirms.
class TForcedExtensionSaveForm : public ptshell::TPTFrmOpenDlg {
public:
  TForcedExtensionSaveForm(QString extension, bool exactCase = false, QWidget* parent = nullptr);
  void done(int result) override;

private:
  QString extension_;
  bool exactCase_;
};

// The save dialog over that form: the extension is its DefaultExt.
class TForcedExtensionSaveDlg : public ptshell::TPTSaveDlg {
public:
  bool ExactCase = false;

protected:
  ptshell::TPTFrmOpenDlg* CreateForm() override;
};

}  // namespace movinta::editor::forms
