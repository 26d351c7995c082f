#include "editor/forms/palette_logic.h"

#include "editor/model/ui_services.h"

namespace movinta::editor::forms {

QString PaletteCaption(PaletteMode mode) {
  switch (mode) {
    case PaletteMode::Global: return QStringLiteral("Global Palette");
    case PaletteMode::Transparent: return QStringLiteral("Transparent Color");
    case PaletteMode::ColorValue: return QStringLiteral("Change Color Value");
  }
  return {};
}

QString PaletteLabel(PaletteMode mode) {
  switch (mode) {
    case PaletteMode::Global:
      return QStringLiteral("Select a color from the color swatches to edit a global color value");
    case PaletteMode::Transparent:
      return QStringLiteral("Select a color from the color swatches or click on the image.");
    case PaletteMode::ColorValue:
      return QStringLiteral("Adjust the Red, Green and Blue color values to change the color");
  }
  return {};
}

int SwatchIndexAt(int x, int y, int count) {
  // Swatches start 3 pixels in; x = 243 would already be column 16, which is the next row.
  constexpr int kFirst = 3, kLast = 3 + kSwatchColumns * kSwatchSize - 1;
  if (x < kFirst || x > kLast || y < kFirst || y > kLast) return -1;
  const int index = (x - kFirst) / kSwatchSize + kSwatchColumns * ((y - kFirst) / kSwatchSize);
  return index < count ? index : -1;
}

QPoint SwatchPosition(int index) {
  if (index < 0) return {-1, -1};
  return {1 + (index % kSwatchColumns) * kSwatchSize, 1 + (index / kSwatchColumns) * kSwatchSize};
}

bool ApplyGlobalPaletteEdit(TMDIChild& document, gif::TGIFImage& image, const PaletteEditSession& session,
                            const QString& caption) {
  const EditResult edit = ApplyGlobalTableEdit(document, image, session, caption);
  if (edit.Outcome == EditOutcome::Refused) {
    ShowMessage(edit.Message, MessageType::Error, kOk);
    return false;
  }
  return true;
}

}  // namespace movinta::editor::forms
