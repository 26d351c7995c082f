#include "editor/forms/edit_dialogs_qt.h"

#include "editor/forms/palette_editor.h"
#include "editor/forms/prompts.h"
#include "editor/model/ui_services.h"
#include "editor/model/working_image.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>

namespace movinta::editor::forms {

QtEditDialogs::QtEditDialogs(QWidget* parent) : parent_(parent) {
  Run = [](QDialog& dialog) { return dialog.exec() == QDialog::Accepted; };
}

QtEditDialogs::~QtEditDialogs() = default;

bool QtEditDialogs::AskPaletteDefaults() {
  TfrmPrompts dialog(parent_, pgPalettes);
  return Run(dialog);
}

std::optional<bool> QtEditDialogs::AskOversize() {
  TfrmPrompts dialog(parent_, pgFrameSize);
  if (!Run(dialog)) return std::nullopt;
  return dialog.optClip->isChecked();
}

std::optional<ResizeChoice> QtEditDialogs::AskResize(int width, int height) {
  (void)width;
  (void)height;  // the page reads the working image's size itself
  TfrmPrompts dialog(parent_, pgResize);
  if (!Run(dialog)) return std::nullopt;
  return ResizeChoice{dialog.udWidth->value(), dialog.udHeight->value()};
}

std::optional<LoopChoice> QtEditDialogs::AskAnimationInfo() {
  TfrmPrompts dialog(parent_, pgAnimationInfo);
  if (!Run(dialog)) return std::nullopt;
  return LoopChoice{dialog.optLoopInfinite->isChecked(), dialog.txtLoop->text().toInt()};
}

std::optional<GlobalChangeChoice> QtEditDialogs::AskGlobalChange(const GlobalChangeCaptions& captions) {
  TfrmPrompts dialog(parent_, pgGlobalChange);
  dialog.SetGlobalChangeCaptions(captions.RemoveTransparent, captions.RemoveInterlaced, captions.RemoveLocalPalette);
  if (!Run(dialog) || !dialog.AnyChange) return std::nullopt;
  GlobalChangeChoice c;
  c.DelayText = dialog.txtDelay->text();
  c.Disposal = dialog.cbDisposal->currentIndex();
  c.TransparentTouched = dialog.Touched(dialog.chkTransparent);
  c.TransparentChecked = dialog.chkTransparent->isChecked();
  c.InterlacedTouched = dialog.Touched(dialog.chkInterlaced);
  c.InterlacedChecked = dialog.chkInterlaced->isChecked();
  c.LocalPaletteTouched = dialog.Touched(dialog.chkLocalPal);
  c.LocalPaletteChecked = dialog.chkLocalPal->isChecked();
  c.Transparent = PickedColor{dialog.PickedColor, dialog.PickedIndex};
  return c;
}

std::unique_ptr<TCmdColorMap> QtEditDialogs::EditGlobalPalette(const gif::TGIFColorMap& table) {
  (void)table;  // the dialog copies the working image's global table itself
  TfrmPalette dialog(parent_, PaletteMode::Global, SharedImage(), -1);
  if (!Run(dialog) || !dialog.Changed || !dialog.PaletteCopy()) return nullptr;
  auto edited = std::make_unique<TCmdColorMap>();
  edited->Assign(*dialog.PaletteCopy());
  lastGlobal_ = std::make_unique<PaletteEditSession>(*dialog.Session());
  return edited;
}

std::optional<PickedColor> QtEditDialogs::PickColor(int frame, const PickedColor& start) {
  std::unique_ptr<TfrmPalette> dialog;
  {
    BusyScope busy;
    dialog = std::make_unique<TfrmPalette>(parent_, PaletteMode::Transparent, SharedImage(), frame);
    dialog->StartAt(start.Index);
  }
  if (!Run(*dialog)) return std::nullopt;
  return PickedColor{dialog->PickedColor, dialog->SelectedIndex};
}

}  // namespace movinta::editor::forms
