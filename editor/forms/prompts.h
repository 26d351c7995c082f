// The prompt pages: one modal dialog of which each use shows one page, asking where a dropped
// image goes, how to treat an oversized frame, the palette defaults, the new animation size, the
// loop count (with statistics), showing an image file's properties, building an HTML image tag,
// and the properties to give every frame. The caller reads the controls after it closes.
#pragma once

#include "editor/forms/prompts_logic.h"
#include "gif/gifimage.h"

#include <QDialog>
#include <QSet>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class TXpress;

namespace movinta::editor::forms {

class TfrmPalette;

class TfrmPrompts : public QDialog {
  Q_OBJECT
public:
  // image defaults to the working image; settings to the user's store.
  TfrmPrompts(QWidget* owner, int page, gif::TGIFImage* image = nullptr, SettingsStore* settings = nullptr);
  ~TfrmPrompts() override;

  int Page() const { return page_; }
  int ResizePercent = 100;
  int CurrentLoop = 1;
  bool AnyChange = false;
  gif::TColor PickedColor = 0;
  int PickedIndex = 0;
  // Runs the palette editor of the colour selection; true on OK. Replaceable for tests.
  std::function<bool(TfrmPalette&)> RunPalette;

  // Page 0.
  QRadioButton *optStart = nullptr, *optBefore = nullptr, *optAfter = nullptr;
  // Page 1.
  QRadioButton *optClip = nullptr, *optChange = nullptr;
  QCheckBox* chkDefault = nullptr;
  // Page 2.
  QRadioButton *optPalOptimzed = nullptr, *optPalNetcape = nullptr, *optPalLocal = nullptr;
  QComboBox *cbMaxColors = nullptr, *cbMaxDither = nullptr;
  QRadioButton *optNearest = nullptr, *optFloyd = nullptr;
  QCheckBox* chkDefaultPal = nullptr;
  // Page 3.
  QLineEdit *txtCurrH = nullptr, *txtCurrW = nullptr;
  QSpinBox *udHeight = nullptr, *udWidth = nullptr, *txtHPercent = nullptr, *txtWPercent = nullptr;
  QCheckBox* chkConstrain = nullptr;
  QLabel* imgConstrain = nullptr;
  // Page 4.
  QLineEdit* txtCurrLoop = nullptr;
  QRadioButton *optLoopInfinite = nullptr, *optLoopPlay = nullptr;
  QLineEdit* txtLoop = nullptr;
  QLabel *lblCurrSize = nullptr, *lblCount = nullptr, *lblRunTime = nullptr;
  // Page 5.
  QLabel *lblFileName = nullptr, *lblFileSize = nullptr, *lblDimensions = nullptr;
  TXpress* imgXprops = nullptr;
  // Page 6.
  QLineEdit *txtFileName = nullptr, *txtLink = nullptr, *txtHint = nullptr;
  QSpinBox* udBorder = nullptr;  // -1 shows empty: no border attribute
  QPlainTextEdit* txtHTML = nullptr;
  QPushButton* btnCopy = nullptr;
  // Page 7.
  QLineEdit* txtDelay = nullptr;
  QComboBox* cbDisposal = nullptr;
  QCheckBox *chkInterlaced = nullptr, *chkTransparent = nullptr, *chkLocalPal = nullptr;
  QPushButton *btnTransparent = nullptr, *btnReset = nullptr;

  QTabWidget* tabPrompts = nullptr;
  QWidget* panel = nullptr;
  QDialogButtonBox* buttons = nullptr;

  // Page 3: the resize fields after typing into one of them.
  void HeightChanged();
  void WidthChanged();
  void PercentChanged(bool height);
  void chkConstrainClick();
  // Page 4.
  void txtLoopEnter();
  void txtLoopExit();
  // Page 5: the picture of the file at path, with the name, size and dimensions the caller knows
  // of it; a file that does not load shows no size and says so in place of the dimensions.
  void ShowImageProperties(const QString& path, const QString& fileName, int sizeKB, int height, int width);
  // Page 6.
  void BuildHtml();
  void btnCopyClick();
  // Page 7.
  void SetGlobalChangeCaptions(bool removeTransparent, bool removeInterlaced, bool removeLocalPalette);
  void btnResetClick();
  void chkTransparentClick();
  void btnTransparentClick();
  void txtDelayExit();
  bool Touched(const QCheckBox* box) const { return touched_.contains(box); }

  void accept() override;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  QWidget* BuildPage(int page);
  QWidget* BuildInsertImage();
  QWidget* BuildFrameSize();
  QWidget* BuildPalettes();
  QWidget* BuildResize();
  QWidget* BuildAnimationInfo();
  QWidget* BuildImageProperties();
  QWidget* BuildHtmlTag();
  QWidget* BuildGlobalChange();
  void WriteSettings();
  void SetResizeFields(const ResizeFields& f);
  ResizeFields CurrentResizeFields() const;
  int CurrentHeight() const;
  int CurrentWidth() const;

  int page_;
  gif::TGIFImage* image_;
  std::unique_ptr<SettingsStore> ownSettings_;
  SettingsStore* settings_;
  bool paletteDefaultRead_ = false;
  bool inUpdate_ = false;
  QString enteredText_;
  QSet<const QCheckBox*> touched_;
};

}  // namespace movinta::editor::forms
