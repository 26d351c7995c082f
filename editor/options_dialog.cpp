#include "editor/options_dialog.h"

#include "controls/colorcombobox.h"
#include "controls/shell/dialogs/ptfolderbrowsedlg.h"
#include "editor/forms/form_builders.h"
#include "editor/forms/prompts_logic.h"
#include "editor/forms/guarded.h"
#include "editor/model/string_tables.h"
#include "editor/model/ui_services.h"
#include "editor/qt_services.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

namespace movinta::editor::forms {

namespace {
constexpr const char* kRemoveFavorite = "Do you want to remove %1 the Favorites list?";

void SelectData(QComboBox* combo, int value) {
  const int index = combo->findData(value);
  combo->setCurrentIndex(index >= 0 ? index : 0);
}

}  // namespace

TfrmOptions::TfrmOptions(QWidget* owner, OptionsMode mode, const OptionsContext& context, SettingsStore* store)
    : QDialog(owner), mode_(mode), context_(context), store_(store) {
  setObjectName(QStringLiteral("frmOptions"));
  if (!store_) {
    ownStore_ = std::make_unique<SettingsStore>();
    store_ = ownStore_.get();
  }
  ChooseFolder = [](const QString& start) {
    ptshell::TPTFolderBrowseDlg dialog;
    dialog.SetSelectedPath(start);
    return dialog.Execute() ? dialog.SelectedPath() : QString();
  };
  OpenAddress = [](const QString& address) { RunShellFile(address); };

  auto* layout = new QVBoxLayout(this);
  tabOptions = new QTabBar(this);
  tabOptions->setObjectName(QStringLiteral("tabOptions"));
  // Every caption whole: the dialog is as wide as its row of tabs.
  tabOptions->setUsesScrollButtons(false);
  tabOptions->setElideMode(Qt::ElideNone);
  layout->addWidget(tabOptions);
  panels_ = {BuildProgram(), BuildAnimation(), BuildPalettes(), BuildThumbnails(), BuildAbout()};
  for (QWidget* panel : panels_) layout->addWidget(panel, 1);
  buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, Guarded(this, &TfrmOptions::accept));
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);

  loaded_ = LoadOptions(*store_, context_.ToolbarsFlat, context_.ThumbnailHeight);
  ShowValues(loaded_);
  favorites_.Items = context_.Favorites;
  FillFavorites();

  switch (mode_) {
    case OptionsMode::AllPages:
      setWindowTitle(QStringLiteral("Program Options"));
      for (const char* tab : {"Program", "Animation", "Palettes", "Thumbnails", "About Movinta"})
        tabOptions->addTab(QString::fromLatin1(tab));
      tabOptionsChange(0);
      connect(tabOptions, &QTabBar::currentChanged, this, Guarded(this, &TfrmOptions::tabOptionsChange));
      break;
    case OptionsMode::Favorites: {
      setWindowTitle(QStringLiteral("Organize Favorites"));
      tabOptions->addTab(QStringLiteral("Favorites"));
      tabOptionsChange(3);
      // The favourites fill the page; the other thumbnail settings stay behind.
      for (QWidget* child : pnlThumbnails->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (child != pnlFavorites) child->hide();
      adjustSize();
      break;
    }
    case OptionsMode::About:
      setWindowTitle(QStringLiteral("About GIF Movinta"));
      tabOptions->addTab(QStringLiteral("About Movinta"));
      tabOptionsChange(4);
      break;
  }
  for (QLineEdit* edit : {txtDelay, txtLoop}) {
    edit->installEventFilter(this);
    // An emptied edit is left to the typist until it loses the focus.
    connect(edit, &QLineEdit::textEdited, this, Guarded([this, edit](const QString& text) {
      if (!text.isEmpty()) edtDelayChange(edit);
    }));
  }
}

TfrmOptions::~TfrmOptions() = default;

QWidget* TfrmOptions::BuildProgram() {
  pnlProgram = new QWidget(this);
  pnlProgram->setObjectName(QStringLiteral("pnlProgram"));
  auto* l = new QVBoxLayout(pnlProgram);
  chkAnimation = AddCheck(pnlProgram, l, "chkAnimation", "Show animated &logo on start up");
  chkFlatTB = AddCheck(pnlProgram, l, "chkFlatTB", "Use &regular style toolbar buttons (not flat)");
  chkExplorer = AddCheck(pnlProgram, l, "chkExplorer", "Syncronize open file dialog with &Explorer folder");
  chkNoOpenPreview = AddCheck(pnlProgram, l, "chkNoOpenPreview", "Use open file &dialogs without image preview");
  chkDropDefault = AddCheck(pnlProgram, l, "chkDropDefault", "&Open GIFs dragged from thumbnails as an animation");
  auto* undo = new QHBoxLayout;
  auto* label = new QLabel(QStringLiteral("Maximum steps of &undo"), pnlProgram);
  udMaxUndo = new QSpinBox(pnlProgram);
  udMaxUndo->setObjectName(QStringLiteral("udMaxUndo"));
  udMaxUndo->setRange(1, kMaxUndoLimit);
  label->setBuddy(udMaxUndo);
  undo->addWidget(label);
  undo->addWidget(udMaxUndo);
  undo->addStretch(1);
  l->addLayout(undo);
  l->addStretch(1);
  return pnlProgram;
}

QWidget* TfrmOptions::BuildAnimation() {
  pnlAnimation = new QWidget(this);
  pnlAnimation->setObjectName(QStringLiteral("pnlAnimation"));
  auto* l = new QVBoxLayout(pnlAnimation);
  auto* size = new QGroupBox(QStringLiteral("Frames larger than the animation"), pnlAnimation);
  auto* sl = new QVBoxLayout(size);
  optClip = AddRadio(size, sl, "optClip", "&Trim frame to the animation size");
  optChange = AddRadio(size, sl, "optChange", "&Change animation to match frame size.");
  chkDefault = AddCheck(size, sl, "chkDefault", "Make this the &Default");
  l->addWidget(size);
  auto* form = new QFormLayout;
  txtDelay = NewNumberEdit(pnlAnimation, "txtDelay");
  txtDelay->setProperty("tag", 1);
  txtLoop = NewNumberEdit(pnlAnimation, "txtLoop");
  txtLoop->setProperty("tag", 0);
  form->addRow(QStringLiteral("Frame &delay (1/100 sec.)"), txtDelay);
  auto* loop = new QHBoxLayout;
  loop->addWidget(txtLoop);
  loop->addWidget(new QLabel(QStringLiteral("(0 = infinite loop)"), pnlAnimation));
  loop->addStretch(1);
  auto* loopLabel = new QLabel(QStringLiteral("&Loop count"), pnlAnimation);
  loopLabel->setBuddy(txtLoop);
  form->addRow(loopLabel, loop);
  cbTransColor = new TColorComboBox(pnlAnimation);
  cbTransColor->setObjectName(QStringLiteral("cbTransColor"));
  cbTransColor->AddStandardColors(0xFFFFFF);
  form->addRow(QStringLiteral("&Background color for transparent frames"), cbTransColor);
  l->addLayout(form);
  l->addStretch(1);
  return pnlAnimation;
}

QWidget* TfrmOptions::BuildPalettes() {
  pnlPalettes = new QWidget(this);
  pnlPalettes->setObjectName(QStringLiteral("pnlPalettes"));
  auto* l = new QVBoxLayout(pnlPalettes);
  auto* type = new QGroupBox(QStringLiteral("New frames"), pnlPalettes);
  auto* tl = new QVBoxLayout(type);
  optPalOptimzed = AddRadio(type, tl, "optPalOptimzed", "Use self-&adapting global palette (Optimized)");
  optPalNetcape = AddRadio(type, tl, "optPalNetcape", "Use &Netscape (216 colors) web safe color cube");
  optPalLocal = AddRadio(type, tl, "optPalLocal", "Use &local palette for new frames");
  l->addWidget(type);
  auto* form = new QFormLayout;
  cbMaxColors = NewColorCountCombo(pnlPalettes, 256, "cbMaxColors");
  form->addRow(QStringLiteral("Maximum &colors"), cbMaxColors);
  cbMaxDither = NewColorCountCombo(pnlPalettes, 256, "cbMaxDither");
  form->addRow(QStringLiteral("Colors for &imported 24-bit images"), cbMaxDither);
  l->addLayout(form);
  auto* dither = new QGroupBox(QStringLiteral("Color mapping"), pnlPalettes);
  auto* dl = new QVBoxLayout(dither);
  optNearest = AddRadio(dither, dl, "optNearest", "N&earest (no error diffusion)");
  optFloyd = AddRadio(dither, dl, "optFloyd", "&FloydSteinberg  (high quality color mapping)");
  l->addWidget(dither);
  chkDefaultPal = AddCheck(pnlPalettes, l, "chkDefaultPal", "Apply these palette settings without &asking");
  l->addStretch(1);
  return pnlPalettes;
}

QWidget* TfrmOptions::BuildThumbnails() {
  pnlThumbnails = new QWidget(this);
  pnlThumbnails->setObjectName(QStringLiteral("pnlThumbnails"));
  auto* l = new QVBoxLayout(pnlThumbnails);
  chkAutoLoad = AddCheck(pnlThumbnails, l, "chkAutoLoad", "&Auto-load thumbnails to current folder on start up");
  auto* form = new QFormLayout;
  cbThumbSize = new QComboBox(pnlThumbnails);
  cbThumbSize->setObjectName(QStringLiteral("cbThumbSize"));
  for (int size : kThumbSizes) cbThumbSize->addItem(QString::number(size));
  form->addRow(QStringLiteral("Thumbnail &size"), cbThumbSize);
  cbFileFilters = new QComboBox(pnlThumbnails);
  cbFileFilters->setObjectName(QStringLiteral("cbFileFilters"));
  for (int i = 0; i < 18; ++i) cbFileFilters->addItem(QStringLiteral("*") + QString::fromLatin1(kExtensions[i]));
  cbFileFilters->addItem(QStringLiteral("All image files"));
  form->addRow(QStringLiteral("Show &files"), cbFileFilters);
  auto* formHost = new QWidget(pnlThumbnails);
  formHost->setLayout(form);
  l->addWidget(formHost);

  pnlFavorites = new QGroupBox(QStringLiteral("Favorites"), pnlThumbnails);
  pnlFavorites->setObjectName(QStringLiteral("pnlFavorites"));
  auto* fl = new QHBoxLayout(pnlFavorites);
  lvFavorites = new QListWidget(pnlFavorites);
  lvFavorites->setObjectName(QStringLiteral("lvFavorites"));
  fl->addWidget(lvFavorites, 1);
  auto* column = new QVBoxLayout;
  auto button = [&](const char* name, const char* text) {
    QPushButton* b = NewButton(pnlFavorites, name, text);
    column->addWidget(b);
    return b;
  };
  btnAdd = button("btnAdd", "Add Folder");
  btnRemove = button("btnRemove", "Remove Folder");
  btnUp = button("btnUp", "Move Up");
  btnDown = button("btnDown", "Move Down");
  column->addStretch(1);
  fl->addLayout(column);
  l->addWidget(pnlFavorites, 1);
  connect(lvFavorites, &QListWidget::currentRowChanged, this, Guarded([this] { lvFavoritesClick(); }));
  connect(btnUp, &QPushButton::clicked, this, Guarded([this] { btnUpClick(true); }));
  connect(btnDown, &QPushButton::clicked, this, Guarded([this] { btnUpClick(false); }));
  connect(btnAdd, &QPushButton::clicked, this, Guarded(this, &TfrmOptions::btnAddClick));
  connect(btnRemove, &QPushButton::clicked, this, Guarded(this, &TfrmOptions::btnRemoveClick));
  return pnlThumbnails;
}

QWidget* TfrmOptions::BuildAbout() {
  pnlAbout = new QWidget(this);
  pnlAbout->setObjectName(QStringLiteral("pnlAbout"));
  auto* l = new QVBoxLayout(pnlAbout);
  lblAbout0 = new QLabel(AboutText(context_.ApplicationTitle), pnlAbout);
  lblAbout0->setObjectName(QStringLiteral("lblAbout0"));
  lblAbout0->setTextFormat(Qt::PlainText);
  l->addWidget(lblAbout0);
  auto* row = new QHBoxLayout;
  btnWebPage = new QPushButton(QStringLiteral("&Web Page"), pnlAbout);
  btnWebPage->setObjectName(QStringLiteral("btnWebPage"));
  btnProducts = new QPushButton(QStringLiteral("&Products"), pnlAbout);
  btnProducts->setObjectName(QStringLiteral("btnProducts"));
  row->addWidget(btnWebPage);
  row->addWidget(btnProducts);
  row->addStretch(1);
  l->addLayout(row);
  l->addStretch(1);
  connect(btnWebPage, &QPushButton::clicked, this, Guarded([this] { OpenAddress(QString::fromLatin1(kMakerWebPage)); }));
  connect(btnProducts, &QPushButton::clicked, this, Guarded([this] { OpenAddress(MakerProductsPage()); }));
  return pnlAbout;
}

void TfrmOptions::ShowValues(const OptionsValues& v) {
  (v.FrameSize.Clip ? optClip : optChange)->setChecked(true);
  chkDefault->setChecked(v.FrameSize.Default);
  chkAnimation->setChecked(v.DisplayAnimation);
  txtDelay->setText(QString::number(v.DefaultDelay));
  txtLoop->setText(QString::number(v.DefaultNSLoop));
  chkFlatTB->setChecked(v.RegularButtons);
  chkAutoLoad->setChecked(v.AutoLoad);
  const int size = cbThumbSize->findText(QString::number(v.ThumbSize));
  if (size >= 0) cbThumbSize->setCurrentIndex(size);
  else {
    // A size of its own (the thumbnails' height) is shown as it is.
    cbThumbSize->addItem(QString::number(v.ThumbSize));
    cbThumbSize->setCurrentIndex(cbThumbSize->count() - 1);
  }
  udMaxUndo->setValue(v.MaxUndo);
  chkExplorer->setChecked(v.SyncOpenDialog);
  chkNoOpenPreview->setChecked(v.NoOpenDlgPreview);
  chkDropDefault->setChecked(v.DropDefault);
  const int color = static_cast<int>(v.TransColor);
  cbTransColor->SelectColor(color);
  if (cbTransColor->GetSelectedColor() != color) {
    cbTransColor->AddColor(QStringLiteral("Custom"), color);
    cbTransColor->SelectColor(color);
  }
  const PaletteSettings& p = v.Palette;
  chkDefaultPal->setChecked(p.Default);
  (p.PaletteType == 1 ? optPalNetcape : p.PaletteType == 2 ? optPalLocal : optPalOptimzed)->setChecked(true);
  SelectData(cbMaxColors, p.MaxColorCount);
  SelectData(cbMaxDither, p.MaxImportCount);
  (p.DitherMethod == 1 ? optFloyd : optNearest)->setChecked(true);
  cbFileFilters->setCurrentIndex(std::clamp(context_.FilterIndex, 0, 18));
}

OptionsValues TfrmOptions::Values() const {
  OptionsValues v = loaded_;
  v.FrameSize.Clip = optClip->isChecked();
  v.FrameSize.Default = chkDefault->isChecked();
  v.DisplayAnimation = chkAnimation->isChecked();
  v.DefaultDelay = RepairCountText(txtDelay->text(), QString(), Settings().DefaultDelay).toInt();
  v.DefaultNSLoop = RepairCountText(txtLoop->text(), QString(), Settings().DefaultNSLoop).toInt();
  v.RegularButtons = chkFlatTB->isChecked();
  v.AutoLoad = chkAutoLoad->isChecked();
  v.ThumbSize = cbThumbSize->currentText().toInt();
  v.MaxUndo = udMaxUndo->value();
  v.SyncOpenDialog = chkExplorer->isChecked();
  v.NoOpenDlgPreview = chkNoOpenPreview->isChecked();
  v.DropDefault = chkDropDefault->isChecked();
  v.TransColor = static_cast<std::uint32_t>(std::max(0, cbTransColor->GetSelectedColor()));
  v.Palette.Default = chkDefaultPal->isChecked();
  v.Palette.PaletteType = optPalNetcape->isChecked() ? 1 : optPalLocal->isChecked() ? 2 : 0;
  v.Palette.MaxColorCount = cbMaxColors->currentData().toInt();
  v.Palette.MaxImportCount = cbMaxDither->currentData().toInt();
  v.Palette.DitherMethod = optFloyd->isChecked() ? 1 : 0;
  return v;
}

int TfrmOptions::FilterIndex() const { return cbFileFilters->currentIndex(); }

void TfrmOptions::StorePaletteSettings() { forms::StorePaletteSettings(*store_, loaded_, Values()); }

void TfrmOptions::tabOptionsChange(int index) {
  for (int i = 0; i < panels_.size(); ++i) panels_[i]->setVisible(i == index);
}

void TfrmOptions::FillFavorites() {
  lvFavorites->blockSignals(true);
  lvFavorites->clear();
  lvFavorites->addItems(favorites_.Items);
  lvFavorites->setCurrentRow(favorites_.Selected);
  lvFavorites->blockSignals(false);
  btnUp->setEnabled(favorites_.CanMoveUp());
  btnDown->setEnabled(favorites_.CanMoveDown());
  btnRemove->setEnabled(favorites_.CanRemove());
}

void TfrmOptions::lvFavoritesClick() {
  favorites_.Selected = lvFavorites->currentRow();
  btnUp->setEnabled(favorites_.CanMoveUp());
  btnDown->setEnabled(favorites_.CanMoveDown());
  btnRemove->setEnabled(favorites_.CanRemove());
}

void TfrmOptions::btnUpClick(bool up) {
  if (favorites_.Move(up ? -1 : 1)) FillFavorites();
}

void TfrmOptions::btnAddClick() {
  const QString start = favorites_.CanRemove() ? favorites_.Items[favorites_.Selected] : QString();
  const QString folder = ChooseFolder ? ChooseFolder(start) : QString();
  if (favorites_.Add(folder)) FillFavorites();
}

void TfrmOptions::btnRemoveClick() {
  if (!favorites_.CanRemove()) return;
  const QString folder = favorites_.Items[favorites_.Selected];
  if (ShowMessage(QString::fromLatin1(kRemoveFavorite).arg(folder), MessageType::Confirmation, kYesNo) != mrYes)
    return;
  favorites_.Remove();
  FillFavorites();
}

int TfrmOptions::DefaultFor(const QLineEdit* edit) const {
  return edit->property("tag").toInt() != 0 ? Settings().DefaultDelay : Settings().DefaultNSLoop;
}

void TfrmOptions::edtDelayEnter(QLineEdit* edit) { enteredText_ = edit->text(); }
void TfrmOptions::edtDelayExit(QLineEdit* edit) {
  edtDelayChange(edit);
  enteredText_.clear();
}

void TfrmOptions::edtDelayChange(QLineEdit* edit) {
  const QString text = edit->text();
  const QString repaired = RepairCountText(text, enteredText_, DefaultFor(edit));
  if (repaired != text) edit->setText(repaired);
}

void TfrmOptions::ToggleWarnings() {
  const QString settings = QString::fromLatin1(sections::kSettings);
  const bool on = ReadRegInt(*store_, settings, QStringLiteral("Warnings"), 0) != 0;
  if (ShowMessage(WarningsQuestion(on), MessageType::Confirmation, kYesNoCancel) != mrYes) return;
  WriteRegInt(*store_, settings, QStringLiteral("Warnings"), on ? 0 : 1);
  store_->flush();
  if (SetWarnings) SetWarnings(!on);
}

void TfrmOptions::accept() {
  edtDelayExit(txtDelay);
  edtDelayExit(txtLoop);
  QDialog::accept();
}

bool TfrmOptions::eventFilter(QObject* watched, QEvent* event) {
  auto* edit = qobject_cast<QLineEdit*>(watched);
  if (edit && event->type() == QEvent::FocusIn) edtDelayEnter(edit);
  if (edit && event->type() == QEvent::FocusOut) edtDelayExit(edit);
  return QDialog::eventFilter(watched, event);
}

void TfrmOptions::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F7 && (event->modifiers() & Qt::ShiftModifier) && (event->modifiers() & Qt::AltModifier)) {
    ToggleWarnings();
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

std::optional<QStringList> OrganizeFavorites(QWidget* owner, const QStringList& favorites, SettingsStore* store) {
  OptionsContext context;
  context.Favorites = favorites;
  TfrmOptions dialog(owner, OptionsMode::Favorites, context, store);
  if (dialog.exec() != QDialog::Accepted || !dialog.FavoritesChanged()) return std::nullopt;
  return dialog.Favorites().Items;
}

}  // namespace movinta::editor::forms
