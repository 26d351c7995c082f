// The main window's options, wizard, tips, about, favourites and HTML code commands: each runs its
// dialog over the active document or the settings and applies what the user chose.
#include "editor/main_window.h"

#include "editor/options_dialog.h"
#include "editor/forms/options_logic.h"
#include "editor/forms/prompts.h"
#include "editor/wizards.h"
#include "editor/model/edit_dialogs.h"
#include "editor/model/registry.h"
#include "editor/model/settings.h"
#include "editor/model/ui_services.h"
#include "editor/model/working_image.h"
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

int TfrmMain::RunWizards(int mode, int* choice, QString* chosenFile) {
  forms::WizardContext context;
  context.Documents = &documents_;
  context.RecentFiles = RecentFiles();
  context.RecentVisible = mniFileRecent_->menuAction()->isVisible();
  context.ResourceLibrary = options_.ResourceLibrary;
  context.TipsFolder = platform::SharedDataFolder();
  context.StopPlayback = [this] { PausePlayback(); };
  context.ChooseFiles = ChooseOpenFiles;
  if (mode == static_cast<int>(forms::WizardMode::Optimize)) context.SaveTag = optimizeSaveTag_;
  context.ReadPicture = [this](const QString& file, gif::Bitmap& picture, QString* error) {
    return ReadPictureFile(file, picture, error);
  };
  if (options_.UseSettingsStore)
    documents_.MaxUndo = ReadSettingInt(QString::fromLatin1(sections::kSettings), QStringLiteral("MaxUndo"), 50);
  int result;
  {
    forms::TfrmWizards dialog(this, static_cast<forms::WizardMode>(mode), context);
    result = RunDialog(dialog);
    if (choice) *choice = dialog.Choice();
    if (chosenFile) *chosenFile = dialog.ChosenFile();
  }
  UpdateCommands();
  return result;
}

void TfrmMain::mniHelpTipsClick() { RunWizards(static_cast<int>(forms::WizardMode::Tips)); }

void TfrmMain::mniHelpWelcomeClick() {
  int choice = -1;
  QString file;
  if (RunWizards(static_cast<int>(forms::WizardMode::Welcome), &choice, &file) != QDialog::Accepted) return;
  if (choice == 1) {
    FileOpenExecute();
  } else if (choice == 2 && !file.isEmpty()) {
    // Through the recent-files item, which also drops a file that has gone.
    for (QAction* item : mniFileRecent_->actions())
      if (item->text().mid(3) == file) return RecentFileClick(item);
    OpenGifDocument(file);
  }
}

bool TfrmMain::RunOptimizeWizard() {
  if (!ActiveDocument()) return false;
  return RunWizards(static_cast<int>(forms::WizardMode::Optimize)) == QDialog::Accepted;
}

bool TfrmMain::OptimizeActiveDocument(int saveTag) {
  if (!frameCommands_) return false;
  const int outerTag = std::exchange(optimizeSaveTag_, saveTag);
  const auto restoreTag = qScopeGuard([this, outerTag] { optimizeSaveTag_ = outerTag; });
  // The frame commands prepare the document and show it again afterwards; a window without the
  // program's dialogs runs the wizard through them all the same.
  IEditDialogs* previous = nullptr;
  std::unique_ptr<IEditDialogs> own;
  if (!editDialogs_) {
    own = NewMainEditDialogs(this);
    previous = SetEditDialogs(own.get());
  }
  const bool done = frameCommands_->OptimizeAnimation();
  if (own) SetEditDialogs(previous);
  return done;
}

void TfrmMain::SetGifWarnings(bool on) {
  settings_.Warnings = on ? 1 : 0;
  InstallWarnings(on);
}

void TfrmMain::mniHelpAboutClick() {
  forms::OptionsContext context;
  context.ApplicationTitle = QString::fromLatin1(kMainWindowTitle).section(QLatin1Char('.'), 0, 0);
  forms::TfrmOptions dialog(this, forms::OptionsMode::About, context);
  RunDialog(dialog);
}

bool TfrmMain::OrganizeFavorites() {
  QStringList folders = browser_->Favorites();
  if (!OrganizeFavoriteFolders(folders)) return false;
  browser_->RebuildFavorites(folders);
  return true;
}

bool TfrmMain::OrganizeFavoriteFolders(QStringList& folders) {
  forms::OptionsContext context;
  context.Favorites = folders;
  forms::TfrmOptions dialog(this, forms::OptionsMode::Favorites, context);
  dialog.ChooseFolder = [this](const QString& start) { return ChooseFavoriteFolder(start); };
  if (RunDialog(dialog) != QDialog::Accepted || !dialog.FavoritesChanged()) return false;
  folders = dialog.Favorites().Items;
  SettingsStore store;
  StoreFavorites(store, folders);
  return true;
}

QString TfrmMain::ChooseFavoriteFolder(const QString& start) {
  QString folder = start.isEmpty() ? browser_->CurrentFolder() : start;
  return browser_->host.ChooseFolder && browser_->host.ChooseFolder(folder) ? folder : QString();
}

void TfrmMain::mniToolsClick() {
  mniToolsHTML->setEnabled(ActiveDocument() && !(player_ && player_->Playback().Playing()));
}

void TfrmMain::mniToolsHTMLClick() {
  TMDIChild* d = ActiveDocument();
  if (!d) return;
  std::unique_ptr<forms::TfrmPrompts> page;
  {
    BusyScope busy;
    page = std::make_unique<forms::TfrmPrompts>(this, 6);
    page->txtFileName->setText(d->DisplayName());
    page->BuildHtml();
  }
  RunDialog(*page);
}

void TfrmMain::mniToolsOptionsClick() {
  forms::OptionsContext context;
  context.ToolbarsFlat = !settings_.NormalStyle;
  context.ThumbnailHeight = browser_->ThumbSize();
  context.FilterIndex = FilterComboIndex(Settings().FilterType);
  context.Favorites = browser_->Favorites();
  context.ApplicationTitle = QString::fromLatin1(kMainWindowTitle).section(QLatin1Char('.'), 0, 0);
  SettingsStore store;
  std::unique_ptr<forms::TfrmOptions> dialog;
  {
    BusyScope busy;
    dialog = std::make_unique<forms::TfrmOptions>(this, forms::OptionsMode::AllPages, context, &store);
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
  if (outcome.ToolbarsChanged) ApplyToolbarStyle(outcome.ToolbarsFlat);
  documents_.MaxUndo = values.MaxUndo;
  for (int i = 0; i < documents_.Count(); ++i) documents_.At(i)->SetMaxUndo(values.MaxUndo);
  // The palette defaults of the working image are read again.
  ApplyPaletteDefaults(*SharedImage());
  browser_->FilterType = record.FilterType;
  if (dialog->FavoritesChanged()) {
    StoreFavorites(store, dialog->Favorites().Items);
    browser_->RebuildFavorites(dialog->Favorites().Items);
  }
  // The thumbnails take their new size once the dialog has gone.
  if (outcome.ThumbnailsResized) {
    browser_->SetThumbSize(outcome.ThumbnailSize);
    browser_->ThumbsRefreshExecute();
  }
}

}  // namespace movinta::editor
