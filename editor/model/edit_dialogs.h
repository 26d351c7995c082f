// The dialogs that frame and animation commands open, seen from the commands: each returns the
// dialog's result, or nothing when the user cancels. The window layer installs the real dialogs;
// without them the two questions about an added picture take the stored palette defaults and trim
// an oversize picture (neither touches the animation), and every other dialog answers Cancel.
#pragma once

#include "gif/gifimage.h"

#include <QString>

#include <memory>
#include <optional>

namespace movinta::editor {

class TCmdColorMap;

struct ResizeChoice {
  int Width = 0;
  int Height = 0;
};

struct LoopChoice {
  bool Infinite = true;
  int Count = 1;
};

struct PickedColor {
  gif::TColor Color = 0;
  int Index = 0;
};

// How the check boxes of the global change are captioned: "Remove " or "Make " before each name.
struct GlobalChangeCaptions {
  bool RemoveTransparent = false;
  bool RemoveInterlaced = false;
  bool RemoveLocalPalette = false;
};

struct GlobalChangeChoice {
  QString DelayText;   // empty: the delay is left alone
  int Disposal = -1;   // -1: no disposal chosen
  // A box counts only when the user touched it.
  bool TransparentTouched = false, TransparentChecked = false;
  bool InterlacedTouched = false, InterlacedChecked = false;
  bool LocalPaletteTouched = false, LocalPaletteChecked = false;
  PickedColor Transparent;
};

class IEditDialogs {
public:
  virtual ~IEditDialogs() = default;
  // The palette-defaults page; it stores the chosen defaults itself. False on Cancel.
  virtual bool AskPaletteDefaults() { return true; }
  // The oversize-frame page: true to trim the frame, false to fit the animation; nothing on Cancel.
  virtual std::optional<bool> AskOversize() { return true; }
  virtual std::optional<ResizeChoice> AskResize(int width, int height) {
    (void)width;
    (void)height;
    return std::nullopt;
  }
  // The loop and statistics page.
  virtual std::optional<LoopChoice> AskAnimationInfo() { return std::nullopt; }
  virtual std::optional<GlobalChangeChoice> AskGlobalChange(const GlobalChangeCaptions& captions) {
    (void)captions;
    return std::nullopt;
  }
  // The palette editor on the global table; the edited table when OK changed something.
  virtual std::unique_ptr<TCmdColorMap> EditGlobalPalette(const gif::TGIFColorMap& table) {
    (void)table;
    return nullptr;
  }
  // The palette editor picking one colour of frame (-1: the global table).
  virtual std::optional<PickedColor> PickColor(int frame, const PickedColor& start) {
    (void)frame;
    (void)start;
    return std::nullopt;
  }
  // The optimisation wizard; true on OK.
  virtual bool RunOptimizeWizard() { return false; }
};

IEditDialogs* EditDialogs();  // never null
IEditDialogs* SetEditDialogs(IEditDialogs* dialogs);  // returns the previous one

}  // namespace movinta::editor
