// The real dialogs behind the frame and animation commands: the prompt pages and the palette
// editor, each run modally and read back into the command's result.
#pragma once

#include "editor/forms/palette_logic.h"
#include "editor/model/edit_dialogs.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class QDialog;

namespace movinta::editor::forms {

class QtEditDialogs : public IEditDialogs {
public:
  explicit QtEditDialogs(QWidget* parent = nullptr);
  ~QtEditDialogs() override;

  bool AskPaletteDefaults() override;
  std::optional<bool> AskOversize() override;
  std::optional<ResizeChoice> AskResize(int width, int height) override;
  std::optional<LoopChoice> AskAnimationInfo() override;
  std::optional<GlobalChangeChoice> AskGlobalChange(const GlobalChangeCaptions& captions) override;
  std::unique_ptr<TCmdColorMap> EditGlobalPalette(const gif::TGIFColorMap& table) override;
  std::optional<PickedColor> PickColor(int frame, const PickedColor& start) override;

  // The last confirmed edit of the global table, with where each original entry went. When it
  // deleted entries, pixels must follow it (ApplyGlobalPaletteEdit) or they change colour.
  const PaletteEditSession* LastGlobalEdit() const { return lastGlobal_.get(); }

  // Runs a dialog; true on OK. Replaceable for tests.
  std::function<bool(QDialog&)> Run;

private:
  QPointer<QWidget> parent_;
  std::unique_ptr<PaletteEditSession> lastGlobal_;
};

}  // namespace movinta::editor::forms
