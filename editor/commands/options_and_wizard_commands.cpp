#include "editor/commands/options_and_wizard_commands.h"

#include "editor/commands/frame_commands.h"
#include "editor/commands/image_browser_commands.h"
#include "editor/commands/open_commands.h"
#include "editor/forms/guarded.h"
#include "editor/forms/options_logic.h"
#include "editor/forms/plugin_explorer.h"
#include "editor/forms/prompts.h"
#include "editor/model/edit_dialogs.h"
#include "editor/model/registry.h"
#include "editor/model/settings.h"
#include "editor/model/ui_services.h"
#include "editor/model/working_image.h"
#include "editor/options_dialog.h"
#include "editor/wizards.h"
#include "platform/program_folders/program_folders.h"
#include "platform/settings/settings_store.h"

#include <QAction>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QScopeGuard>

#include <memory>
#include <utility>

namespace movinta::editor {

TOptionsAndWizardCommands::TOptionsAndWizardCommands(TDocuments& documents, MainWindowSettings& settings,
                                                     TOpenCommands& open, TImageBrowserCommands& browser,
                                                     QWidget* window, const QString& resourceLibrary,
                                                     const QString& applicationTitle, bool useSettingsStore,
                                                     OptionsAndWizardHooks hooks)
    : documents_(documents), settings_(settings), open_(open), browser_(browser), window_(window),
      resourceLibrary_(resourceLibrary), applicationTitle_(applicationTitle), useSettingsStore_(useSettingsStore),
      hooks_(std::move(hooks)) {}

int TOptionsAndWizardCommands::RunDialog(QDialog& dialog) {
  return hooks_.RunDialog ? hooks_.RunDialog(dialog) : dialog.exec();
}

int TOptionsAndWizardCommands::RunWizards(int mode, int* choice, QString* chosenFile) {
  forms::WizardContext context;
  context.Documents = &documents_;
  context.RecentFiles = open_.RecentFiles();
  context.RecentVisible = open_.RecentFilesMenu()->menuAction()->isVisible();
  context.ResourceLibrary = resourceLibrary_;
  context.TipsFolder = platform::SharedDataFolder();
  context.StopPlayback = [this] {
    if (hooks_.PausePlayback) hooks_.PausePlayback();
  };
  context.ChooseFiles = hooks_.ChooseOpenFiles;
  if (mode == static_cast<int>(forms::WizardMode::Optimize)) context.SaveTag = optimizeSaveTag_;
  context.ReadPicture = [this](const QString& file, gif::Bitmap& picture, QString* error) {
    return open_.ReadPictureFile(file, picture, error);
  };
  if (useSettingsStore_)
    documents_.MaxUndo = ReadSettingInt(QString::fromLatin1(sections::kSettings), QStringLiteral("MaxUndo"), 50);
  int result;
  {
    forms::TfrmWizards dialog(window_, static_cast<forms::WizardMode>(mode), context);
    result = RunDialog(dialog);
    if (choice) *choice = dialog.Choice();
    if (chosenFile) *chosenFile = dialog.ChosenFile();
  }
  if (hooks_.UpdateCommands) hooks_.UpdateCommands();
  return result;
}

void TOptionsAndWizardCommands::mniHelpTipsClick() { RunWizards(static_cast<int>(forms::WizardMode::Tips)); }

void TOptionsAndWizardCommands::mniHelpWelcomeClick() {
  int choice = -1;
  QString file;
  if (RunWizards(static_cast<int>(forms::WizardMode::Welcome), &choice, &file) != QDialog::Accepted) return;
  if (choice == 1) {
    open_.FileOpenExecute();
  } else if (choice == 2 && !file.isEmpty()) {
    // Through the recent-files item, which also drops a file that has gone.
    for (QAction* item : open_.RecentFilesMenu()->actions())
      if (item->text().mid(3) == file) return open_.RecentFileClick(item);
    open_.OpenGifDocument(file);
  }
}

bool TOptionsAndWizardCommands::RunOptimizeWizard() {
  if (!documents_.Active()) return false;
  return RunWizards(static_cast<int>(forms::WizardMode::Optimize)) == QDialog::Accepted;
}

bool TOptionsAndWizardCommands::OptimizeActiveDocument(int saveTag) {
  TFrameCommands* commands = hooks_.FrameCommands ? hooks_.FrameCommands() : nullptr;
  if (!commands) return false;
  const int outerTag = std::exchange(optimizeSaveTag_, saveTag);
  const auto restoreTag = qScopeGuard([this, outerTag] { optimizeSaveTag_ = outerTag; });
  // The frame commands prepare the document and show it again afterwards; a window without the
  // program's dialogs runs the wizard through them all the same.
  IEditDialogs* previous = nullptr;
  std::unique_ptr<IEditDialogs> own = hooks_.OwnEditDialogs ? hooks_.OwnEditDialogs() : nullptr;
  if (own) previous = SetEditDialogs(own.get());
  const bool done = commands->OptimizeAnimation();
  if (own) SetEditDialogs(previous);
  return done;
}

void TOptionsAndWizardCommands::SetGifWarnings(bool on) {
  settings_.Warnings = on ? 1 : 0;
  open_.InstallWarnings(on);
}

void TOptionsAndWizardCommands::mniHelpAboutClick() {
  forms::OptionsContext context;
  context.ApplicationTitle = applicationTitle_;
  forms::TfrmOptions dialog(window_, forms::OptionsMode::About, context);
  RunDialog(dialog);
}

bool TOptionsAndWizardCommands::OrganizeFavorites() {
  QStringList folders = browser_.Favorites();
  if (!OrganizeFavoriteFolders(folders)) return false;
  browser_.RebuildFavorites(folders);
  return true;
}

bool TOptionsAndWizardCommands::OrganizeFavoriteFolders(QStringList& folders) {
  forms::OptionsContext context;
  context.Favorites = folders;
  forms::TfrmOptions dialog(window_, forms::OptionsMode::Favorites, context);
  dialog.ChooseFolder = [this](const QString& start) { return ChooseFavoriteFolder(start); };
  if (RunDialog(dialog) != QDialog::Accepted || !dialog.FavoritesChanged()) return false;
  folders = dialog.Favorites().Items;
  SettingsStore store;
  StoreFavorites(store, folders);
  return true;
}

QString TOptionsAndWizardCommands::ChooseFavoriteFolder(const QString& start) {
  QString folder = start.isEmpty() ? browser_.CurrentFolder() : start;
  return browser_.host.ChooseFolder && browser_.host.ChooseFolder(folder) ? folder : QString();
}

void TOptionsAndWizardCommands::mniToolsHTMLClick() {
  TMDIChild* d = documents_.Active();
  if (!d) return;
  std::unique_ptr<forms::TfrmPrompts> page;
  {
    BusyScope busy;
    page = std::make_unique<forms::TfrmPrompts>(window_, 6);
    page->txtFileName->setText(d->DisplayName());
    page->BuildHtml();
  }
  RunDialog(*page);
}

void TOptionsAndWizardCommands::mniToolsOptionsClick() {
  forms::OptionsContext context;
  context.ToolbarsFlat = !settings_.NormalStyle;
  context.ThumbnailHeight = browser_.ThumbSize();
  context.FilterIndex = FilterComboIndex(Settings().FilterType);
  context.Favorites = browser_.Favorites();
  context.ApplicationTitle = applicationTitle_;
  SettingsStore store;
  std::unique_ptr<forms::TfrmOptions> dialog;
  {
    BusyScope busy;
    dialog = std::make_unique<forms::TfrmOptions>(window_, forms::OptionsMode::AllPages, context, &store);
  }
  dialog->SetWarnings = [this](bool on) { SetGifWarnings(on); };
  dialog->ChooseFolder = [this](const QString& start) { return ChooseFavoriteFolder(start); };
  if (RunDialog(*dialog) != QDialog::Accepted) return;

  const forms::OptionsValues values = dialog->Values();
  SettingsRecord& record = Settings();
  const OptionsOutcome outcome = ApplyOptions(store, forms::ToOptionsChoice(values, dialog->FilterIndex()), record,
                                              context.ToolbarsFlat, context.ThumbnailHeight);
  dialog->StorePaletteSettings();
  // What the window keeps and writes at exit follows the dialog.
  settings_.DefaultDelay = record.DefaultDelay;
  settings_.DefaultNSLoop = record.DefaultNSLoop;
  settings_.SyncOpenDialog = record.SyncOpenDialog;
  settings_.NoOpenDlgPreview = record.NoOpenDlgPreview;
  settings_.FrameTransparentColor = record.FrameBackColor;
  settings_.FilterType = record.FilterType;
  settings_.DisplayAnimation = values.DisplayAnimation ? 1 : 0;
  settings_.NormalStyle = !outcome.ToolbarsFlat;
  settings_.ThumbnailSize = outcome.ThumbnailSize;
  if (outcome.ToolbarsChanged && hooks_.ApplyToolbarStyle) hooks_.ApplyToolbarStyle(outcome.ToolbarsFlat);
  documents_.MaxUndo = values.MaxUndo;
  for (int i = 0; i < documents_.Count(); ++i) documents_.At(i)->SetMaxUndo(values.MaxUndo);
  // The palette defaults of the working image are read again.
  ApplyPaletteDefaults(*SharedImage());
  browser_.FilterType = record.FilterType;
  if (dialog->FavoritesChanged()) {
    StoreFavorites(store, dialog->Favorites().Items);
    browser_.RebuildFavorites(dialog->Favorites().Items);
  }
  // The thumbnails take their new size once the dialog has gone.
  if (outcome.ThumbnailsResized) {
    browser_.SetThumbSize(outcome.ThumbnailSize);
    browser_.ThumbsRefreshExecute();
  }
}

void TOptionsAndWizardCommands::mniHelPluginInfoClick() {
  std::unique_ptr<forms::TfrmPlugInExplorer> dialog;
  {
    BusyScope busy;
    dialog = std::make_unique<forms::TfrmPlugInExplorer>(window_);
  }
  RunDialog(*dialog);
}

}  // namespace movinta::editor
