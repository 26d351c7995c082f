#include "editor/forms/prompts_logic.h"

#include "editor/model/settings.h"
#include "editor/model/text_helpers.h"

#include <algorithm>
#include <cmath>

namespace movinta::editor::forms {

namespace {
constexpr const char* kCaptions[kPromptPageCount] = {"Insert Image",          "Frame Size Difference",
                                                     "Palettes",              "Resize Animation",
                                                     "Animation Information", "Image Properties",
                                                     "HTML Tag",              "Global Change"};
constexpr const char* kTabs[kPromptPageCount] = {"Position",  "Frame Size", "Palettes", "Resize",
                                                 "Animation", "Properties", "HTML",     "Properties"};
QString Section() { return QString::fromLatin1(sections::kSettings); }
}  // namespace

QString PromptCaption(int page) {
  return page >= 0 && page < kPromptPageCount ? QString::fromLatin1(kCaptions[page]) : QString();
}

QString PromptTabText(int page) {
  return page >= 0 && page < kPromptPageCount ? QString::fromLatin1(kTabs[page]) : QString();
}

PromptLayout LayoutPrompt(QSize panelSize, int spacerHeight) {
  PromptLayout l;
  l.Tab = QSize(panelSize.width() + 16, panelSize.height() + 32);
  l.Client = QSize(l.Tab.width() + 16, l.Tab.height() + spacerHeight + 8);
  return l;
}

int RoundHalfEven(double value) {
  const double r = std::nearbyint(value);  // the default rounding mode is to nearest, ties to even
  if (r > 2147483647.0) return 2147483647;
  if (r < -2147483648.0) return -2147483647 - 1;
  return static_cast<int>(r);
}

namespace {
int Scaled(int current, int percent) { return std::max(1, RoundHalfEven(std::max(current, 1) * percent / 100.0)); }
int PercentOf(int value, int current) { return RoundHalfEven(value * 100.0 / std::max(current, 1)); }
}  // namespace

ResizeFields ResizeFromHeight(ResizeFields f, int currentHeight, int currentWidth, int newHeight, bool constrain) {
  f.Height = std::max(1, newHeight);
  const int percent = PercentOf(f.Height, currentHeight);
  f.HeightPercent = percent;
  if (constrain) {
    f.WidthPercent = percent;
    f.Width = Scaled(currentWidth, percent);
  }
  return f;
}

ResizeFields ResizeFromWidth(ResizeFields f, int currentHeight, int currentWidth, int newWidth, bool constrain) {
  f.Width = std::max(1, newWidth);
  const int percent = PercentOf(f.Width, currentWidth);
  f.WidthPercent = percent;
  if (constrain) {
    f.HeightPercent = percent;
    f.Height = Scaled(currentHeight, percent);
  }
  return f;
}

ResizeFields ResizeFromPercent(ResizeFields f, int currentHeight, int currentWidth, int percent, bool heightPercent,
                               bool constrain) {
  percent = std::max(0, percent);
  if (constrain || heightPercent) {
    f.HeightPercent = percent;
    f.Height = Scaled(currentHeight, percent);
  }
  if (constrain || !heightPercent) {
    f.WidthPercent = percent;
    f.Width = Scaled(currentWidth, percent);
  }
  return f;
}

QString RepairCountText(const QString& text, const QString& enteredText, int defaultValue) {
  auto valid = [](const QString& t) {
    bool ok = false;
    const qlonglong v = RemoveSpaces(t).toLongLong(&ok);
    return IsNumberText(t) && ok && v <= 65535;
  };
  if (valid(text)) return QString::number(RemoveSpaces(text).toLongLong());
  // Too large is replaced by the default; not a number returns to the entered text.
  if (IsNumberText(text)) return QString::number(defaultValue);
  if (valid(enteredText)) return QString::number(RemoveSpaces(enteredText).toLongLong());
  return QString::number(defaultValue);
}

QString EscapeHtml(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (QChar c : text) {
    switch (c.unicode()) {
      case '&': out += QLatin1String("&amp;"); break;
      case '"': out += QLatin1String("&quot;"); break;
      case '<': out += QLatin1String("&lt;"); break;
      case '>': out += QLatin1String("&gt;"); break;
      default: out += c;
    }
  }
  return out;
}

QString BuildImageTag(const QString& fileName, int height, int width, const QString& link, const QString& hint,
                      const QString& border) {
  auto attribute = [](const char* name, const QString& value) {
    return value.isEmpty() ? QString() : QStringLiteral(" %1=\"%2\"").arg(QLatin1String(name), EscapeHtml(value));
  };
  QString tag = QStringLiteral("<img src=\"%1\" height=\"%2\" width=\"%3\"%4%5>")
                    .arg(EscapeHtml(fileName))
                    .arg(height)
                    .arg(width)
                    .arg(attribute("alt", hint), attribute("border", border));
  if (!link.isEmpty()) tag = QStringLiteral("<a href=\"%1\">%2</a>").arg(EscapeHtml(link), tag);
  return tag;
}

FrameSizeSettings ReadFrameSizeSettings(const SettingsStore& store) {
  FrameSizeSettings s;
  s.Clip = ReadRegInt(store, Section(), QStringLiteral("ClipFrame"), 1) == 1;
  s.Default = ReadRegInt(store, Section(), QStringLiteral("ClipDefault"), 0) != 0;
  return s;
}

void WriteFrameSizeSettings(SettingsStore& store, const FrameSizeSettings& s) {
  WriteRegInt(store, Section(), QStringLiteral("ClipFrame"), s.Clip ? 1 : 0);
  WriteRegInt(store, Section(), QStringLiteral("ClipDefault"), s.Default ? 1 : 0);
}

namespace {
int KnownCount(int value) {
  return std::find(std::begin(kColorCounts), std::end(kColorCounts), value) != std::end(kColorCounts) ? value : 256;
}
}  // namespace

PaletteSettings ReadPaletteSettings(const SettingsStore& store) {
  PaletteSettings s;
  s.Default = ReadRegInt(store, Section(), QStringLiteral("PaletteDefaults"), 0) != 0;
  s.PaletteType = ReadRegInt(store, Section(), QStringLiteral("PaletteType"), 0);
  if (s.PaletteType < 0 || s.PaletteType > 2) s.PaletteType = 0;
  s.MaxColorCount = KnownCount(ReadRegInt(store, Section(), QStringLiteral("MaxColorCount"), 256));
  s.DitherMethod = ReadRegInt(store, Section(), QStringLiteral("DitherMethod"), 0) == 1 ? 1 : 0;
  s.MaxImportCount = KnownCount(ReadRegInt(store, Section(), QStringLiteral("MaxImportCount"), 256));
  return s;
}

void WritePaletteSettings(SettingsStore& store, const PaletteSettings& s, bool defaultAsRead) {
  if (s.Default != defaultAsRead) WriteRegInt(store, Section(), QStringLiteral("PaletteDefaults"), s.Default ? 1 : 0);
  WriteRegInt(store, Section(), QStringLiteral("PaletteType"), s.PaletteType);
  WriteRegInt(store, Section(), QStringLiteral("MaxColorCount"), s.MaxColorCount);
  WriteRegInt(store, Section(), QStringLiteral("MaxImportCount"), s.MaxImportCount);
  WriteRegInt(store, Section(), QStringLiteral("DitherMethod"), s.DitherMethod);
}

}  // namespace movinta::editor::forms
