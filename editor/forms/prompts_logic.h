// Rules of the prompt pages kept apart from the dialog: page captions, the dialog's layout, the
// resize arithmetic, the loop field's repair, the HTML image tag and the pages' settings.
#pragma once

#include "editor/model/registry.h"

#include <QSize>
#include <QString>

namespace movinta::editor::forms {

enum PromptPage {
  pgInsertImage = 0, pgFrameSize, pgPalettes, pgResize, pgAnimationInfo, pgImageProperties, pgHtmlTag,
  pgGlobalChange
};
inline constexpr int kPromptPageCount = 8;

QString PromptCaption(int page);
QString PromptTabText(int page);

// The tab's client area and the dialog's, for a page panel of panelSize; spacer is the height of
// the strip with OK and Cancel.
struct PromptLayout {
  QSize Tab;
  QSize Client;
};
PromptLayout LayoutPrompt(QSize panelSize, int spacerHeight);

// Rounds to the nearest integer, halves to even.
int RoundHalfEven(double value);

// The resize fields. current* is the animation's size. Sizes never go below 1; a current size of
// 0 counts as 1 so no percentage divides by zero.
struct ResizeFields {
  int Height = 1, Width = 1, HeightPercent = 100, WidthPercent = 100;
};
ResizeFields ResizeFromHeight(ResizeFields fields, int currentHeight, int currentWidth, int newHeight, bool constrain);
ResizeFields ResizeFromWidth(ResizeFields fields, int currentHeight, int currentWidth, int newWidth, bool constrain);
// heightPercent tells which percent field changed.
ResizeFields ResizeFromPercent(ResizeFields fields, int currentHeight, int currentWidth, int percent,
                               bool heightPercent, bool constrain);

// The text a 16-bit count field keeps: its own when a number up to 65535, else the text it had
// on entry when that was a number, else the default.
QString RepairCountText(const QString& text, const QString& enteredText, int defaultValue);

// "&" "<" ">" and the double quote as entities, for attribute values.
QString EscapeHtml(const QString& text);
// The image tag of page 6, wrapped in a link when link is not empty.
QString BuildImageTag(const QString& fileName, int height, int width, const QString& link, const QString& hint,
                      const QString& border);

// Page 1 and page 2 settings in "Settings".
struct FrameSizeSettings {
  bool Clip = true;  // optClip, else optChange
  bool Default = false;
};
FrameSizeSettings ReadFrameSizeSettings(const SettingsStore& store);
void WriteFrameSizeSettings(SettingsStore& store, const FrameSizeSettings& settings);

struct PaletteSettings {
  bool Default = false;
  int PaletteType = 0;      // 0 optimised, 1 web-safe cube, 2 local palettes
  int MaxColorCount = 256;
  int DitherMethod = 0;     // 0 nearest, 1 Floyd-Steinberg
  int MaxImportCount = 256;
};
// The colour counts the combos offer, in their order.
inline constexpr int kColorCounts[] = {256, 128, 64, 32, 16, 8};
PaletteSettings ReadPaletteSettings(const SettingsStore& store);
// "PaletteDefaults" is written only when it differs from what was read.
void WritePaletteSettings(SettingsStore& store, const PaletteSettings& settings, bool defaultAsRead);

}  // namespace movinta::editor::forms
