// The wizards dialog: the welcome dialog of the start-up, the new-animation wizard, the
// optimisation wizard and the tip of the day, one dialog in four modes. Its rules live in
// wizards_logic.h; this is the window over them.
#pragma once

#include "editor/wizards_logic.h"
#include "editor/model/registry.h"

#include <QDialog>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QScrollArea;
class TGradientLabel;

namespace movinta::editor::forms {

// What the wizards need of the main window.
struct WizardContext {
  TDocuments* Documents = nullptr;
  QStringList RecentFiles;      // the recent-files menu's files, newest first
  bool RecentVisible = false;   // the recent-files menu is shown
  QString ResourceLibrary;      // where "ANI_WIZ" and "OPT_WIZ" come from
  QString TipsFolder;           // the folder of Tips.txt
  std::function<void()> StopPlayback;
  // The preview open dialog: the chosen files, none when cancelled.
  std::function<QStringList(const QString& filter, const QString& folder)> ChooseFiles;
  PictureReader ReadPicture;
  SettingsStore* Store = nullptr;  // defaults to the user's store
  // The save command whose dialog's Optimize button opens the optimisation wizard: 0 Save (the
  // result replaces the animation), 1 Save As (it becomes a new one); -1 neither, both offered.
  int SaveTag = -1;
};

class TfrmWizards : public QDialog {
  Q_OBJECT
public:
  TfrmWizards(QWidget* owner, WizardMode mode, const WizardContext& context);
  ~TfrmWizards() override;

  WizardMode Mode() const { return mode_; }
  int Page() const;
  // The welcome dialog's choice: 0 new, 1 open, 2 recent; -1 none yet.
  int Choice() const { return choice_; }
  // The recent file chosen in the list, empty for none.
  QString ChosenFile() const;
  const gif::TGIFImage* OptimizedCopy() const { return copy_.get(); }
  double FirstSize() const { return firstSize_; }
  const ShownDifference& Difference() const { return difference_; }

  TGradientLabel* lblGradient = nullptr;
  QLabel* imgWizard = nullptr;
  QPushButton *btnBack = nullptr, *btnNext = nullptr, *btnHelp = nullptr, *btnOK = nullptr, *btnCancel = nullptr;
  // Welcome.
  QWidget* pnlWelcome = nullptr;
  QPushButton *btnNew = nullptr, *btnOpen = nullptr, *btnReopen = nullptr;
  QCheckBox* chkWelcomeDefault = nullptr;
  QWidget* pnlReopen = nullptr;
  QListWidget* lbReopen = nullptr;
  QLabel* imgPreview = nullptr;
  // Tips.
  QWidget* pnlTips = nullptr;
  QPlainTextEdit* mmoTips = nullptr;
  QPushButton* btnNextTip = nullptr;
  // New animation.
  QWidget* pnlPages[9] = {};
  QRadioButton *optSizeFirst = nullptr, *optSizeCustom = nullptr;
  QLineEdit *txtHeight = nullptr, *txtWidth = nullptr;
  QRadioButton *optScale = nullptr, *optCenter = nullptr, *optTopLeft = nullptr;
  QRadioButton *optLoopInfinite = nullptr, *optLoopPlay = nullptr;
  QLineEdit *txtLoop = nullptr, *txtDelay = nullptr;
  QListWidget* lbImages = nullptr;
  QPushButton *btnImageAdd = nullptr, *btnImageRemove = nullptr, *btnMoveUp = nullptr, *btnMoveDown = nullptr;
  QCheckBox* chkTransparent = nullptr;
  // Optimisation.
  QRadioButton *optReplace = nullptr, *optCreateNew = nullptr;
  QLabel *lblCurrSize = nullptr, *lblDLTime = nullptr;
  QComboBox* cbBps = nullptr;
  QCheckBox *chkOptimizeAll = nullptr, *chkRemoveLocal = nullptr, *chkSortPalettes = nullptr;
  QCheckBox *chkTrim = nullptr, *chkDuplicates = nullptr, *chkNonVisible = nullptr;
  QLabel *lblOptimizedSize = nullptr, *lblTotal = nullptr, *lblDLTimeOptimized = nullptr, *lblDifference = nullptr;

  void btnNewClick();
  void btnOpenClick();
  void btnReopenClick();
  void lbReopenClick();
  void btnNextTipClick();
  void btnNextClick();
  void btnBackClick();
  void optSizeFirstClick();
  void optLoopInfiniteClick();
  void btnImageAddClick();
  void btnImageRemoveClick();
  void btnMoveClick(int direction);
  void lbImagesClick();
  void cbBpsChange();
  // A number edit after it lost the focus: repaired to a number it can hold.
  void NumberEditExit(QLineEdit* edit);

  NewAnimationChoice NewChoice() const;
  OptimizeChoice OptChoice() const;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void done(int result) override;

private:
  void SetMode(WizardMode mode);
  void ShowPage(int page);
  void FitTexts();
  void UpdateButtons();
  void EnterResults();
  bool FinishNewAnimation();
  bool FinishOptimization();
  QWidget* BuildPage(int page);
  QWidget* BuildWelcome();
  QWidget* BuildTips();
  void ShowWizardPicture(const char* name);

  WizardMode mode_;
  WizardContext context_;
  std::unique_ptr<SettingsStore> ownStore_;
  SettingsStore* store_;
  int choice_ = -1;
  TipsList tips_;
  QString entered_;
  QString imageFolder_;
  double firstSize_ = 0;
  std::unique_ptr<gif::TGIFImage> copy_;
  std::unique_ptr<gif::TGIFImage> preview_;
  ShownDifference difference_;
};

}  // namespace movinta::editor::forms
