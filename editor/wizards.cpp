#include "editor/wizards.h"

#include "controls/gradient.h"
#include "editor/forms/form_builders.h"
#include "editor/forms/prompts_logic.h"
#include "editor/start_page.h"
#include "editor/commands/frame_actions.h"
#include "editor/forms/guarded.h"
#include "editor/help_commands.h"
#include "editor/model/resource_library.h"
#include "editor/model/settings.h"
#include "editor/model/working_image.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace movinta::editor::forms {

namespace {
constexpr const char* kNoPictures =
    "None of the listed pictures could be read. Please add pictures GIF Movinta can read.";
constexpr const char* kSkipped = "These pictures could not be read and were left out:\n%1";
constexpr const char* kKeepOptimized = "%1\n\nDo you want to use the optimized animation?";
constexpr int kTagDelay = 1;

}  // namespace

TfrmWizards::TfrmWizards(QWidget* owner, WizardMode mode, const WizardContext& context)
    : QDialog(owner), mode_(mode), context_(context), store_(context.Store) {
  setObjectName(QStringLiteral("frmWizards"));
  if (!store_) {
    ownStore_ = std::make_unique<SettingsStore>();
    store_ = ownStore_.get();
  }
  auto* outer = new QVBoxLayout(this);
  auto* body = new QHBoxLayout;
  imgWizard = new QLabel(this);
  imgWizard->setObjectName(QStringLiteral("imgWizard"));
  imgWizard->setAlignment(Qt::AlignTop);
  body->addWidget(imgWizard);
  auto* right = new QVBoxLayout;
  lblGradient = new TGradientLabel(this);
  lblGradient->setObjectName(QStringLiteral("lblGradient"));
  lblGradient->SetColorTop(QColor(0x00, 0x00, 0x80));
  lblGradient->SetColorBottom(QColor(0xC0, 0xC0, 0xFF));
  lblGradient->Loaded();
  lblGradient->setFixedHeight(lblGradient->height());
  QPalette heading = lblGradient->palette();
  heading.setColor(QPalette::WindowText, Qt::white);
  lblGradient->setPalette(heading);
  QFont bold = lblGradient->font();
  bold.setBold(true);
  lblGradient->setFont(bold);
  right->addWidget(lblGradient);
  pnlWelcome = BuildWelcome();
  right->addWidget(pnlWelcome);
  for (int page = 0; page < 9; ++page) {
    pnlPages[page] = BuildPage(page);
    pnlPages[page]->hide();
    right->addWidget(pnlPages[page], 1);
  }
  pnlTips = BuildTips();
  right->addWidget(pnlTips, 1);
  body->addLayout(right, 1);
  outer->addLayout(body, 1);

  auto* row = new QHBoxLayout;
  btnHelp = NewButton(this, "btnHelp", "&Help");
  btnHelp->setAutoDefault(false);
  row->addWidget(btnHelp);
  row->addStretch(1);
  btnBack = NewButton(this, "btnBack", "< &Back");
  btnNext = NewButton(this, "btnNext", "&Next >");
  btnOK = NewButton(this, "btnOK", "OK");
  btnCancel = NewButton(this, "btnCancel", "Cancel");
  for (QPushButton* b : {btnBack, btnNext, btnOK, btnCancel}) {
    b->setAutoDefault(false);
    row->addWidget(b);
  }
  outer->addLayout(row);
  connect(btnBack, &QPushButton::clicked, this, Guarded(this, &TfrmWizards::btnBackClick));
  connect(btnNext, &QPushButton::clicked, this, Guarded(this, &TfrmWizards::btnNextClick));
  connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  // The Help button and F1 open the page of the mode the dialog is in.
  InstallDialogHelp(*this, help_contexts::kWizards + static_cast<int>(mode), btnHelp);

  tips_ = LoadTips(context_.TipsFolder);
  btnNextTip->setEnabled(!tips_.Lines.isEmpty());
  btnNextTipClick();
  SetMode(mode);
}

TfrmWizards::~TfrmWizards() = default;

QWidget* TfrmWizards::BuildWelcome() {
  auto* panel = new QWidget(this);
  panel->setObjectName(QStringLiteral("pnlWelcome"));
  auto* l = new QVBoxLayout(panel);
  panel->setMinimumWidth(380);
  auto* title = NewLabel(panel, "lblWelcome", QStringLiteral("Welcome to Larkspur GIF Movinta!"));
  QFont big = title->font();
  big.setBold(true);
  big.setPointSize(big.pointSize() + 2);
  title->setFont(big);
  l->addWidget(title);
  l->addWidget(NewLabel(panel, "lblHow", QStringLiteral("How would you like to start GIF Movinta?")));
  auto* buttons = new QHBoxLayout;
  btnNew = NewButton(panel, "btnNew", "New");
  btnOpen = NewButton(panel, "btnOpen", "Open");
  btnReopen = NewButton(panel, "btnReopen", "Recent");
  for (QPushButton* b : {btnNew, btnOpen, btnReopen}) buttons->addWidget(b);
  buttons->addStretch(1);
  l->addLayout(buttons);
  connect(btnNew, &QPushButton::clicked, this, Guarded(this, &TfrmWizards::btnNewClick));
  connect(btnOpen, &QPushButton::clicked, this, Guarded(this, &TfrmWizards::btnOpenClick));
  connect(btnReopen, &QPushButton::clicked, this, Guarded(this, &TfrmWizards::btnReopenClick));
  chkWelcomeDefault = AddCheck(panel, l, "chkWelcomeDefault", "&Don't show at start up", false);

  pnlReopen = new QWidget(panel);
  pnlReopen->setObjectName(QStringLiteral("pnlReopen"));
  auto* rl = new QVBoxLayout(pnlReopen);
  rl->addWidget(NewLabel(pnlReopen, "lblReopen", QStringLiteral("Reopen a previous animation")));
  auto* pick = new QLabel(QStringLiteral("&Select a file from the list below"), pnlReopen);
  rl->addWidget(pick);
  auto* split = new QHBoxLayout;
  lbReopen = new QListWidget(pnlReopen);
  lbReopen->setObjectName(QStringLiteral("lbReopen"));
  pick->setBuddy(lbReopen);
  split->addWidget(lbReopen, 1);
  auto* box = new QScrollArea(pnlReopen);
  box->setAlignment(Qt::AlignCenter);
  imgPreview = new QLabel;
  imgPreview->setObjectName(QStringLiteral("imgPreview"));
  box->setWidget(imgPreview);
  box->setWidgetResizable(false);
  split->addWidget(box, 1);
  rl->addLayout(split, 1);
  pnlReopen->hide();
  l->addWidget(pnlReopen, 1);
  connect(lbReopen, &QListWidget::currentRowChanged, this, Guarded([this] { lbReopenClick(); }));
  return panel;
}

QWidget* TfrmWizards::BuildTips() {
  auto* panel = new QGroupBox(QStringLiteral("Did you know..."), this);
  panel->setObjectName(QStringLiteral("pnlTips"));
  auto* l = new QVBoxLayout(panel);
  mmoTips = new QPlainTextEdit(panel);
  mmoTips->setObjectName(QStringLiteral("mmoTips"));
  mmoTips->setReadOnly(true);
  mmoTips->setMinimumHeight(70);
  l->addWidget(mmoTips, 1);
  btnNextTip = NewButton(panel, "btnNextTip", "&Next Tip");
  l->addWidget(btnNextTip, 0, Qt::AlignRight);
  connect(btnNextTip, &QPushButton::clicked, this, Guarded(this, &TfrmWizards::btnNextTipClick));
  return panel;
}

QWidget* TfrmWizards::BuildPage(int page) {
  auto* panel = new QWidget(this);
  panel->setObjectName(QStringLiteral("pnlOpt%1").arg(page));
  auto* l = new QVBoxLayout(panel);
  auto numberEdit = [&](const char* name, int tag) {
    QLineEdit* edit = NewNumberEdit(panel, name);
    edit->setProperty("tag", tag);
    edit->installEventFilter(this);
    return edit;
  };
  switch (page) {
    case 0: {
      l->addWidget(NewLabel(panel, "lblSize", QStringLiteral("How large should the animation be?")));
      optSizeFirst = AddRadio(panel, l, "optSizeFirst", "Use the size of the &first picture");
      optSizeCustom = AddRadio(panel, l, "optSizeCustom", "&Custom size:");
      auto* grid = new QGridLayout;
      txtHeight = numberEdit("txtHeight", 0);
      txtWidth = numberEdit("txtWidth", 0);
      grid->addWidget(new QLabel(QStringLiteral("Height:"), panel), 0, 0);
      grid->addWidget(txtHeight, 0, 1);
      grid->addWidget(new QLabel(QStringLiteral("Width:"), panel), 1, 0);
      grid->addWidget(txtWidth, 1, 1);
      grid->setColumnStretch(2, 1);
      l->addLayout(grid);
      optSizeFirst->setChecked(true);
      connect(optSizeFirst, &QRadioButton::toggled, this, Guarded(this, &TfrmWizards::optSizeFirstClick));
      optSizeFirstClick();
      break;
    }
    case 1:
      l->addWidget(NewLabel(panel, "lblPosition", QStringLiteral("Where do pictures of another size go?")));
      optScale = AddRadio(panel, l, "optScale", "&Scale frames to fit");
      optCenter = AddRadio(panel, l, "optCenter", "&Center in the frame");
      optTopLeft = AddRadio(panel, l, "optTopLeft", "&Top left corner of the frame");
      optScale->setChecked(true);
      break;
    case 2: {
      l->addWidget(NewLabel(panel, "lblLoop", QStringLiteral("Should the animation play again and again?")));
      optLoopInfinite = AddRadio(panel, l, "optLoopInfinite", "&Yes, play the animation infinitely");
      auto* play = new QHBoxLayout;
      optLoopPlay = new QRadioButton(QStringLiteral("&Play it"), panel);
      optLoopPlay->setObjectName(QStringLiteral("optLoopPlay"));
      txtLoop = numberEdit("txtLoop", 0);
      play->addWidget(optLoopPlay);
      play->addWidget(txtLoop);
      play->addWidget(new QLabel(QStringLiteral("times"), panel));
      play->addStretch(1);
      l->addLayout(play);
      auto* delay = new QHBoxLayout;
      txtDelay = numberEdit("txtDelay", kTagDelay);
      auto* delayLabel = new QLabel(QStringLiteral("Frame &delay (1/100 sec.):"), panel);
      delayLabel->setBuddy(txtDelay);  // the ampersand marks the key that reaches the edit
      delay->addWidget(delayLabel);
      delay->addWidget(txtDelay);
      delay->addStretch(1);
      l->addLayout(delay);
      const SettingsRecord& record = Settings();
      const bool endless = record.DefaultNSLoop == 0;
      if (endless)
        optLoopInfinite->setChecked(true);
      else
        optLoopPlay->setChecked(true);
      txtLoop->setText(QString::number(endless ? 1 : record.DefaultNSLoop));
      txtDelay->setText(QString::number(record.DefaultDelay));
      connect(optLoopInfinite, &QRadioButton::toggled, this, Guarded(this, &TfrmWizards::optLoopInfiniteClick));
      optLoopInfiniteClick();
      break;
    }
    case 3: {
      l->addWidget(NewLabel(panel, "lblImages", QStringLiteral("The pictures become the frames, in this order:")));
      auto* row = new QHBoxLayout;
      lbImages = new QListWidget(panel);
      lbImages->setObjectName(QStringLiteral("lbImages"));
      row->addWidget(lbImages, 1);
      auto* column = new QVBoxLayout;
      btnImageAdd = NewButton(panel, "btnImageAdd", "&Add...");
      btnImageRemove = NewButton(panel, "btnImageRemove", "&Remove");
      btnMoveUp = NewButton(panel, "btnMoveUp", "Move &Up");
      btnMoveDown = NewButton(panel, "btnMoveDown", "Move &Down");
      for (QPushButton* b : {btnImageAdd, btnImageRemove, btnMoveUp, btnMoveDown}) column->addWidget(b);
      column->addStretch(1);
      row->addLayout(column);
      l->addLayout(row, 1);
      connect(btnImageAdd, &QPushButton::clicked, this, Guarded(this, &TfrmWizards::btnImageAddClick));
      connect(btnImageRemove, &QPushButton::clicked, this, Guarded(this, &TfrmWizards::btnImageRemoveClick));
      connect(btnMoveUp, &QPushButton::clicked, this, Guarded([this] { btnMoveClick(-1); }));
      connect(btnMoveDown, &QPushButton::clicked, this, Guarded([this] { btnMoveClick(1); }));
      connect(lbImages, &QListWidget::currentRowChanged, this, Guarded(this, &TfrmWizards::lbImagesClick));
      lbImagesClick();
      break;
    }
    case 4:
      l->addWidget(NewLabel(panel, "lblFinish",
                         QStringLiteral("Press Finish to make the animation. It opens as a new document.")));
      chkTransparent = AddCheck(panel, l, "chkTransparent", "Make the animation transparent", false);
      break;
    case 5: {
      l->addWidget(NewLabel(panel, "lblOutput", QStringLiteral("What should become of the optimized animation?")));
      optReplace = AddRadio(panel, l, "optReplace", "&Replace current animation with optimized version");
      optCreateNew = AddRadio(panel, l, "optCreateNew", "&Create a new animation from optimized version");
      optReplace->setChecked(true);
      auto* size = new QHBoxLayout;
      size->addWidget(new QLabel(QStringLiteral("Current size:"), panel));
      lblCurrSize = NewLabel(panel, "lblCurrSize");
      size->addWidget(lblCurrSize, 1);
      l->addLayout(size);
      auto* time = new QHBoxLayout;
      lblDLTime = NewLabel(panel, "lblDLTime");
      lblDLTime->setWordWrap(false);
      cbBps = new QComboBox(panel);
      cbBps->setObjectName(QStringLiteral("cbBps"));
      cbBps->addItems({QStringLiteral("28.8"), QStringLiteral("56.6"), QStringLiteral("DSL"), QStringLiteral("T-1")});
      cbBps->setCurrentText(QStringLiteral("56.6"));
      time->addWidget(new QLabel(QStringLiteral("Download time:"), panel));
      time->addWidget(lblDLTime);
      time->addWidget(cbBps);
      time->addWidget(new QLabel(QStringLiteral("connection"), panel));
      time->addStretch(1);
      l->addLayout(time);
      connect(cbBps, &QComboBox::currentTextChanged, this, Guarded(this, &TfrmWizards::cbBpsChange));
      break;
    }
    case 6:
      chkOptimizeAll = AddCheck(panel, l, "chkOptimizeAll", "&Optimze all palettes (global and local)", true);
      chkRemoveLocal = AddCheck(panel, l, "chkRemoveLocal", "&Remove local palettes (optimizes to global palette)", false);
      chkSortPalettes = AddCheck(panel, l, "chkSortPalettes", "&Sort palettes and remove unused entries", true);
      break;
    case 7:
      chkTrim = AddCheck(panel, l, "chkTrim", "&Trim frames to smallest rectangle needed", true);
      chkDuplicates = AddCheck(panel, l, "chkDuplicates", "Remove &duplicate pixels with transparency", true);
      chkNonVisible = AddCheck(panel, l, "chkNonVisible", "&Remove all non-visible elements (eg. comments)", true);
      break;
    case 8: {
      auto* grid = new QGridLayout;
      lblOptimizedSize = NewLabel(panel, "lblOptimizedSize");
      lblTotal = NewLabel(panel, "lblTotal");
      lblDLTimeOptimized = NewLabel(panel, "lblDLTimeOptimized");
      grid->addWidget(new QLabel(QStringLiteral("Optimized size:"), panel), 0, 0);
      grid->addWidget(lblOptimizedSize, 0, 1);
      grid->addWidget(new QLabel(QStringLiteral("Total saved:"), panel), 1, 0);
      grid->addWidget(lblTotal, 1, 1);
      grid->addWidget(new QLabel(QStringLiteral("Download time:"), panel), 2, 0);
      grid->addWidget(lblDLTimeOptimized, 2, 1);
      grid->setColumnStretch(1, 1);
      l->addLayout(grid);
      lblDifference = NewLabel(panel, "lblDifference");
      l->addWidget(lblDifference);
      break;
    }
  }
  l->addStretch(1);
  return panel;
}

void TfrmWizards::ShowWizardPicture(const char* name) {
  const QImage picture = LoadBitmapResource(context_.ResourceLibrary, QString::fromLatin1(name));
  imgWizard->setPixmap(picture.isNull() ? QPixmap() : QPixmap::fromImage(picture));
  imgWizard->setVisible(!picture.isNull());
}

void TfrmWizards::SetMode(WizardMode mode) {
  mode_ = mode;
  setWindowTitle(WizardTitle(mode));
  SetDialogHelpContext(*this, help_contexts::kWizards + static_cast<int>(mode));
  const bool wizard = mode == WizardMode::NewAnimation || mode == WizardMode::Optimize;
  pnlWelcome->setVisible(mode == WizardMode::Welcome);
  pnlTips->setVisible(mode == WizardMode::Welcome || mode == WizardMode::Tips);
  lblGradient->setVisible(wizard);
  btnBack->setVisible(wizard);
  btnNext->setVisible(wizard);
  btnOK->setVisible(mode == WizardMode::Tips);
  btnCancel->setVisible(wizard);
  btnOK->setText(mode == WizardMode::Tips ? QStringLiteral("Close") : QStringLiteral("OK"));
  imgWizard->hide();
  for (QWidget* page : pnlPages) page->hide();
  if (mode == WizardMode::Welcome) {
    btnReopen->setEnabled(context_.RecentVisible && !context_.RecentFiles.isEmpty());
    chkWelcomeDefault->setChecked(ReadRegInt(*store_, QString::fromLatin1(sections::kSettings),
                                             QStringLiteral("WelcomeDialog"), 0) != 0);
  }
  if (mode == WizardMode::NewAnimation) ShowWizardPicture("ANI_WIZ");
  if (mode == WizardMode::Optimize) {
    ShowWizardPicture("OPT_WIZ");
    gif::TGIFImage& image = *SharedImage();
    firstSize_ = static_cast<double>(GetEncodedSize(image));
    lblCurrSize->setText(BytesText(firstSize_));
    chkOptimizeAll->setEnabled(image.GetGlobalColorMap().GetCount() > 0);
    chkRemoveLocal->setEnabled(HasLocalPalettes(image));
    if (context_.SaveTag == 0) {
      optReplace->setChecked(true);
      optCreateNew->hide();
    } else if (context_.SaveTag == 1) {
      optCreateNew->setChecked(true);
      optReplace->hide();
    }
    cbBpsChange();
  }
  if (wizard) ShowPage(FirstPage(mode));
  else FitTexts();
}

int TfrmWizards::Page() const { return btnNext->property("tag").toInt(); }

void TfrmWizards::ShowPage(int page) {
  for (int i = 0; i < 9; ++i) pnlPages[i]->setVisible(i == page);
  btnNext->setProperty("tag", page);
  lblGradient->SetCaption(PageHeading(page));
  UpdateButtons();
  FitTexts();
}

void TfrmWizards::FitTexts() {
  // Wrapping texts take the lines they need at the width the window has; the window grows to hold them.
  QLayout* outer = layout();
  outer->activate();
  QSize size = this->size().expandedTo(outer->totalMinimumSize());
  if (outer->hasHeightForWidth()) size.setHeight(std::max(size.height(), outer->totalHeightForWidth(size.width())));
  if (size != this->size()) resize(size);
}

void TfrmWizards::UpdateButtons() {
  const PageButtons b = ButtonsFor(Page(), lbImages->count());
  btnBack->setEnabled(b.BackEnabled);
  btnNext->setEnabled(b.NextEnabled);
  btnNext->setText(b.NextCaption);
}

void TfrmWizards::btnNextClick() {
  const int page = Page();
  if (page == LastPage(mode_)) {
    const bool done = mode_ == WizardMode::Optimize ? FinishOptimization() : FinishNewAnimation();
    if (done) accept();
    return;
  }
  if (page + 1 == 8) EnterResults();
  ShowPage(page + 1);
}

void TfrmWizards::btnBackClick() {
  if (Page() > FirstPage(mode_)) ShowPage(Page() - 1);
}

// ---- welcome and tips

void TfrmWizards::btnNewClick() {
  if (context_.StopPlayback) context_.StopPlayback();
  choice_ = 0;
  SetMode(WizardMode::NewAnimation);
}

void TfrmWizards::btnOpenClick() {
  if (context_.StopPlayback) context_.StopPlayback();
  choice_ = 1;
  accept();
}

void TfrmWizards::btnReopenClick() {
  if (context_.StopPlayback) context_.StopPlayback();
  choice_ = 2;
  setWindowTitle(QStringLiteral("Recent Files"));
  pnlTips->hide();
  for (QWidget* w : pnlWelcome->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) w->setVisible(w == pnlReopen);
  lbReopen->clear();
  lbReopen->addItems(context_.RecentFiles);
  btnOK->setText(QStringLiteral("OK"));
  btnOK->show();
  btnCancel->show();
}

QString TfrmWizards::ChosenFile() const {
  const QListWidgetItem* item = lbReopen->currentItem();
  return item ? item->text() : QString();
}

void TfrmWizards::lbReopenClick() {
  const QString file = ChosenFile();
  imgPreview->clear();
  preview_.reset();
  if (file.isEmpty()) return;
  preview_ = ReadFirstFrame(file);
  if (!preview_) return;
  preview_->SetDrawOptions(preview_->GetDrawOptions() & ~(gif::goAnimate | gif::goLoop));
  // One picture is shown: only the first frame is composed, however long the animation.
  FrameComposer composer(*preview_);
  QImage first;
  int delay = 0;
  if (!composer.Next(first, delay)) return;
  imgPreview->setPixmap(QPixmap::fromImage(first));
  imgPreview->adjustSize();
}

void TfrmWizards::btnNextTipClick() { mmoTips->setPlainText(NextTip(tips_)); }

// ---- the new-animation wizard

void TfrmWizards::optSizeFirstClick() {
  const bool custom = optSizeCustom->isChecked();
  for (QLineEdit* edit : {txtHeight, txtWidth}) {
    edit->setEnabled(custom);
    edit->setText(QStringLiteral("100"));
  }
}

void TfrmWizards::optLoopInfiniteClick() { txtLoop->setEnabled(optLoopPlay->isChecked()); }

void TfrmWizards::NumberEditExit(QLineEdit* edit) {
  const int tag = edit->property("tag").toInt();
  const bool size = edit == txtHeight || edit == txtWidth;
  const int fallback = size ? 100 : tag == kTagDelay ? Settings().DefaultDelay : Settings().DefaultNSLoop;
  QString text = RepairCountText(edit->text(), entered_, fallback);
  if (size && text.toInt() == 0) text = QString::number(fallback);
  if (edit == txtLoop && text.toInt() == 0) {
    // Playing 0 times means forever.
    text = QStringLiteral("1");
    optLoopInfinite->setChecked(true);
  }
  if (text != edit->text()) edit->setText(text);
}

void TfrmWizards::btnImageAddClick() {
  if (!context_.ChooseFiles) return;
  const QStringList files = context_.ChooseFiles(QString::fromLatin1(kImageFilesFilter), imageFolder_);
  if (files.isEmpty()) return;
  lbImages->addItems(files);
  imageFolder_ = QFileInfo(files.front()).absolutePath();
  lbImages->setCurrentRow(lbImages->count() - 1);
  lbImagesClick();
}

void TfrmWizards::btnImageRemoveClick() {
  const int row = lbImages->currentRow();
  if (row < 0) return;
  delete lbImages->takeItem(row);
  lbImages->setCurrentRow(row > 0 ? row - 1 : (lbImages->count() > 0 ? 0 : -1));
  lbImagesClick();
}

void TfrmWizards::btnMoveClick(int direction) {
  const int row = lbImages->currentRow();
  const int to = row + direction;
  if (row < 0 || to < 0 || to >= lbImages->count()) return;
  lbImages->insertItem(to, lbImages->takeItem(row));
  lbImages->setCurrentRow(to);
  lbImagesClick();
}

void TfrmWizards::lbImagesClick() {
  const int row = lbImages->currentRow();
  btnImageRemove->setEnabled(row >= 0);
  btnMoveUp->setEnabled(row > 0);
  btnMoveDown->setEnabled(row >= 0 && row < lbImages->count() - 1);
  if (btnNext) UpdateButtons();
}

NewAnimationChoice TfrmWizards::NewChoice() const {
  NewAnimationChoice c;
  for (int i = 0; i < lbImages->count(); ++i) c.Files.append(lbImages->item(i)->text());
  c.CustomSize = optSizeCustom->isChecked();
  c.Height = RepairCountText(txtHeight->text(), QString(), 100).toInt();
  c.Width = RepairCountText(txtWidth->text(), QString(), 100).toInt();
  c.Placement = optScale->isChecked() ? FramePlacement::Scale
                : optCenter->isChecked() ? FramePlacement::Center
                                         : FramePlacement::TopLeft;
  c.LoopForever = optLoopInfinite->isChecked();
  c.Plays = std::max(1, RepairCountText(txtLoop->text(), QString(), 1).toInt());
  c.Delay = RepairCountText(txtDelay->text(), QString(), Settings().DefaultDelay).toInt();
  c.Transparent = chkTransparent->isChecked();
  return c;
}

bool TfrmWizards::FinishNewAnimation() {
  NewAnimation made;
  {
    BusyScope busy;
    made = BuildNewAnimation(NewChoice(), context_.ReadPicture);
  }
  if (!made.Image) {
    ShowMessage(QString::fromLatin1(kNoPictures), MessageType::Warning, kOk);
    ShowPage(kImagesPage);
    return false;
  }
  if (!made.Failed.isEmpty())
    ShowMessage(QString::fromLatin1(kSkipped).arg(made.Failed.join(QLatin1Char('\n'))), MessageType::Warning, kOk);
  if (!context_.Documents) return false;
  return OpenAsNewDocument(*context_.Documents, std::move(made.Image)) != nullptr;
}

// ---- the optimisation wizard

OptimizeChoice TfrmWizards::OptChoice() const {
  OptimizeChoice c;
  c.Trim = chkTrim->isChecked();
  c.RemoveDuplicates = chkDuplicates->isChecked();
  c.RemoveNonVisible = chkNonVisible->isChecked();
  c.SortPalettes = chkSortPalettes->isChecked();
  c.OptimizeAll = chkOptimizeAll->isEnabled() && chkOptimizeAll->isChecked();
  c.RemoveLocal = chkRemoveLocal->isEnabled() && chkRemoveLocal->isChecked();
  return c;
}

void TfrmWizards::EnterResults() {
  BusyScope busy;
  copy_ = std::make_unique<gif::TGIFImage>();
  gif::TGIFImage& image = *SharedImage();
  // Copying and optimising report their progress as the working image's own work does, in the
  // status bar, which keeps the windows painted meanwhile.
  copy_->OnProgress = image.OnProgress;
  try {
    OptimizeCopy(*copy_, image, OptChoice());
  } catch (const std::exception& e) {
    copy_.reset();
    ShowMessage(QString::fromStdString(e.what()), MessageType::Error, kOk);
    lblOptimizedSize->setText(QString());
    lblTotal->setText(QStringLiteral("None"));
    lblDifference->setText(QString());
    return;
  }
  const double size = static_cast<double>(GetEncodedSize(*copy_));
  lblOptimizedSize->setText(BytesText(size));
  lblTotal->setText(SavedText(firstSize_, size));
  difference_ = CompareShown(image, *copy_);
  lblDifference->setText(DifferenceText(difference_));
  cbBpsChange();
}

void TfrmWizards::cbBpsChange() {
  const QString rate = cbBps->currentText();
  lblDLTime->setText(DownloadTimeText(firstSize_, rate));
  if (copy_) lblDLTimeOptimized->setText(DownloadTimeText(static_cast<double>(GetEncodedSize(*copy_)), rate) +
                                         QStringLiteral(" ") + rate + QStringLiteral(" connection"));
}

bool TfrmWizards::FinishOptimization() {
  if (!copy_) return false;
  if (!difference_.Same() &&
      ShowMessage(QString::fromLatin1(kKeepOptimized).arg(DifferenceText(difference_)), MessageType::Confirmation,
                  kYesNo) != mrYes)
    return false;
  if (optReplace->isChecked()) {
    TMDIChild* document = context_.Documents ? context_.Documents->Active() : nullptr;
    return document && ReplaceWithOptimized(*document, *copy_);
  }
  if (!context_.Documents) return false;
  return OpenAsNewDocument(*context_.Documents, std::move(copy_)) != nullptr;
}

// ---- the dialog

bool TfrmWizards::eventFilter(QObject* watched, QEvent* event) {
  auto* edit = qobject_cast<QLineEdit*>(watched);
  if (edit && event->type() == QEvent::FocusIn) entered_ = edit->text();
  if (edit && event->type() == QEvent::FocusOut) {
    NumberEditExit(edit);
    entered_.clear();
  }
  return QDialog::eventFilter(watched, event);
}

void TfrmWizards::done(int result) {
  if (mode_ == WizardMode::Welcome || choice_ >= 0) {
    WriteRegInt(*store_, QString::fromLatin1(sections::kSettings), QStringLiteral("WelcomeDialog"),
                chkWelcomeDefault->isChecked() ? 1 : 0);
    store_->flush();
  }
  preview_.reset();
  QDialog::done(result);
}

}  // namespace movinta::editor::forms
