// The options dialog: the program's settings on four pages, the image browser's favourite folders
// and the about page. Made in one of three modes: every page, the favourites alone ("Organize
// Favorites") or the about page alone. The caller stores what the pages say after OK (the
// palette page stores itself); the rules live in options_logic.h.
#pragma once

#include "editor/forms/options_logic.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabBar;
class TColorComboBox;

namespace movinta::editor::forms {

enum class OptionsMode { AllPages = 0, Favorites = 1, About = 2 };

// What the dialog starts from that is not in the store.
struct OptionsContext {
  bool ToolbarsFlat = true;
  int ThumbnailHeight = 100;
  int FilterIndex = 18;  // cbFileFilters: 0..17 one type, 18 all
  QStringList Favorites;
  QString ApplicationTitle = QStringLiteral("Larkspur GIF Movinta 6");
};

class TfrmOptions : public QDialog {
  Q_OBJECT
public:
  // store defaults to the user's settings store.
  TfrmOptions(QWidget* owner, OptionsMode mode, const OptionsContext& context, SettingsStore* store = nullptr);
  ~TfrmOptions() override;

  OptionsMode Mode() const { return mode_; }
  // The pages as the user leaves them.
  OptionsValues Values() const;
  const OptionsValues& Loaded() const { return loaded_; }
  int FilterIndex() const;
  // The favourites list and whether any button changed it.
  const FavoritesList& Favorites() const { return favorites_; }
  bool FavoritesChanged() const { return favorites_.Changed; }
  // Writes the palette page to the store.
  void StorePaletteSettings();

  // Chooses a folder for Add Folder, starting at start; empty when cancelled. Replaceable for tests.
  std::function<QString(const QString& start)> ChooseFolder;
  // Shift+Alt+F7: turns the GIF warnings on or off in the program (the store is written here).
  std::function<void(bool on)> SetWarnings;
  // Opens an address in the browser. Replaceable for tests.
  std::function<void(const QString& address)> OpenAddress;

  QTabBar* tabOptions = nullptr;
  QWidget *pnlProgram = nullptr, *pnlAnimation = nullptr, *pnlPalettes = nullptr, *pnlThumbnails = nullptr,
          *pnlAbout = nullptr, *pnlFavorites = nullptr;
  // Program.
  QCheckBox *chkAnimation = nullptr, *chkFlatTB = nullptr, *chkExplorer = nullptr, *chkNoOpenPreview = nullptr,
            *chkDropDefault = nullptr;
  QSpinBox* udMaxUndo = nullptr;
  // Animation.
  QRadioButton *optClip = nullptr, *optChange = nullptr;
  QCheckBox* chkDefault = nullptr;
  QLineEdit *txtDelay = nullptr, *txtLoop = nullptr;
  TColorComboBox* cbTransColor = nullptr;
  // Palettes.
  QCheckBox* chkDefaultPal = nullptr;
  QRadioButton *optPalOptimzed = nullptr, *optPalNetcape = nullptr, *optPalLocal = nullptr;
  QComboBox *cbMaxColors = nullptr, *cbMaxDither = nullptr;
  QRadioButton *optNearest = nullptr, *optFloyd = nullptr;
  // Thumbnails and favourites.
  QCheckBox* chkAutoLoad = nullptr;
  QComboBox *cbThumbSize = nullptr, *cbFileFilters = nullptr;
  QListWidget* lvFavorites = nullptr;
  QPushButton *btnUp = nullptr, *btnDown = nullptr, *btnAdd = nullptr, *btnRemove = nullptr;
  // About.
  QLabel* lblAbout0 = nullptr;
  QPushButton *btnWebPage = nullptr, *btnProducts = nullptr;
  QDialogButtonBox* buttons = nullptr;

  void tabOptionsChange(int index);
  void lvFavoritesClick();
  void btnUpClick(bool up);
  void btnAddClick();
  void btnRemoveClick();
  // A delay or loop edit after typing: repaired to a number the setting can hold.
  void edtDelayChange(QLineEdit* edit);
  void edtDelayEnter(QLineEdit* edit);
  void edtDelayExit(QLineEdit* edit);
  void ToggleWarnings();

  void accept() override;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

private:
  QWidget* BuildProgram();
  QWidget* BuildAnimation();
  QWidget* BuildPalettes();
  QWidget* BuildThumbnails();
  QWidget* BuildAbout();
  void ShowValues(const OptionsValues& v);
  void FillFavorites();
  int DefaultFor(const QLineEdit* edit) const;

  OptionsMode mode_;
  OptionsContext context_;
  std::unique_ptr<SettingsStore> ownStore_;
  SettingsStore* store_;
  OptionsValues loaded_;
  FavoritesList favorites_;
  QList<QWidget*> panels_;
  QString enteredText_;
};

// Runs the favourites mode over favorites; the new list when OK changed it, else nothing.
std::optional<QStringList> OrganizeFavorites(QWidget* owner, const QStringList& favorites, SettingsStore* store = nullptr);

}  // namespace movinta::editor::forms
