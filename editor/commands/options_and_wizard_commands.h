// The options, wizard, tips, about, favourites, HTML code and add-in information commands: each runs
// its dialog over the active document or the settings and applies what the user chose. The main
// window owns one, fills its hooks and wires its actions to it.
#pragma once

#include "editor/model/document.h"
#include "editor/model/settings.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>

class QDialog;

namespace movinta::editor {

class IEditDialogs;
class TFrameCommands;
class TImageBrowserCommands;
class TOpenCommands;

// What the options and wizard commands need of the main window; unset hooks do nothing.
struct OptionsAndWizardHooks {
  // Runs a modal dialog; the dialog's result.
  std::function<int(QDialog&)> RunDialog;
  // The open dialog over the filter and the start folder; the chosen files.
  std::function<QStringList(const QString& filter, const QString& folder)> ChooseOpenFiles;
  std::function<void()> PausePlayback;
  // The menus and toolbars follow the state again.
  std::function<void()> UpdateCommands;
  std::function<void(bool flat)> ApplyToolbarStyle;
  // The frame commands of the strip (null before the strip exists).
  std::function<TFrameCommands*()> FrameCommands;
  // The dialogs the frame commands use with the optimisation wizard of the window, for a window
  // that installed none of its own; null when it did.
  std::function<std::unique_ptr<IEditDialogs>()> OwnEditDialogs;
};

class TOptionsAndWizardCommands {
public:
  // settings are the main window's, kept and written at exit; applicationTitle names the program
  // on the about page.
  TOptionsAndWizardCommands(TDocuments& documents, MainWindowSettings& settings, TOpenCommands& open,
                            TImageBrowserCommands& browser, QWidget* window, const QString& resourceLibrary,
                            const QString& applicationTitle, bool useSettingsStore, OptionsAndWizardHooks hooks);

  // Runs the wizard dialog in the mode (forms::WizardMode); choice and chosenFile receive the welcome
  // page's choice. The dialog's result.
  int RunWizards(int mode, int* choice = nullptr, QString* chosenFile = nullptr);
  void mniHelpTipsClick();
  // The welcome dialog: a new animation, the open command or a recent file.
  void mniHelpWelcomeClick();
  // The options dialog on its about page.
  void mniHelpAboutClick();
  // The add-ins the editor loaded, in the "Plugin Information" dialog.
  void mniHelPluginInfoClick();
  void mniToolsOptionsClick();
  // Makes the image tag of the active document.
  void mniToolsHTMLClick();
  // The optimisation wizard over the active document, as Animation > Optimize runs it; true when
  // the animation was optimised (replaced, or opened as a new document). saveTag names the save
  // command whose dialog asks (0 Save, 1 Save As), which offers only its own output; -1 none.
  bool OptimizeActiveDocument(int saveTag = -1);
  // The wizard itself, which the frame commands open after they have prepared the document.
  bool RunOptimizeWizard();
  // Turns the GIF library's warnings on the working image on or off.
  void SetGifWarnings(bool on);
  // The image browser's favourite folders in the options dialog's favourites mode; true when the
  // user changed them (they are then stored at once).
  bool OrganizeFavorites();
  // The same over a list of folders, which takes the organised list.
  bool OrganizeFavoriteFolders(QStringList& folders);

private:
  int RunDialog(QDialog& dialog);
  // The folder-browse dialog for a new favourite, starting at start; empty when cancelled.
  QString ChooseFavoriteFolder(const QString& start);

  TDocuments& documents_;
  MainWindowSettings& settings_;
  TOpenCommands& open_;
  TImageBrowserCommands& browser_;
  QPointer<QWidget> window_;
  QString resourceLibrary_;
  QString applicationTitle_;
  bool useSettingsStore_;
  OptionsAndWizardHooks hooks_;
  int optimizeSaveTag_ = -1;  // while the save dialog's Optimize runs the wizard
};

}  // namespace movinta::editor
