#include "editor/forms/options_logic.h"

#include "editor/model/string_tables.h"

#include <algorithm>

namespace movinta::editor::forms {

namespace {
QString S(const char* s) { return QString::fromLatin1(s); }

int Read(const SettingsStore& store, const char* section, const char* name, int defaultValue) {
  return ReadRegInt(store, S(section), S(name), defaultValue);
}
}  // namespace

OptionsValues LoadOptions(const SettingsStore& store, bool toolbarsFlat, int thumbnailHeight) {
  OptionsValues v;
  const char* settings = sections::kSettings;
  v.FrameSize = ReadFrameSizeSettings(store);
  v.DisplayAnimation = Read(store, settings, "DisplayAnimation", 1) != 0;
  v.DefaultDelay = std::clamp(Read(store, settings, "DefaultDelay", 100), 0, 65535);
  v.DefaultNSLoop = std::clamp(Read(store, settings, "DefaultNSLoop", 0), 0, 65535);
  v.RegularButtons = !toolbarsFlat;
  v.AutoLoad = Read(store, settings, "AutoLoadStartUp", 1) != 0;
  v.ThumbSize = Read(store, sections::kThumbNails, "ThumbailSize", thumbnailHeight);
  v.MaxUndo = std::clamp(Read(store, settings, "MaxUndo", 50), 1, kMaxUndoLimit);
  v.SyncOpenDialog = Read(store, settings, "SyncOpenDialog", 0) != 0;
  v.NoOpenDlgPreview = Read(store, settings, "NoOpenDlgPreview", 0) != 0;
  v.DropDefault = Read(store, settings, "DropImageDefault", 0) == 6;
  v.TransColor = static_cast<std::uint32_t>(Read(store, settings, "FrameTransparentColor", 0xFFFFFF)) & 0xFFFFFFu;
  v.Palette = ReadPaletteSettings(store);
  return v;
}

void StorePaletteSettings(SettingsStore& store, const OptionsValues& loaded, const OptionsValues& values) {
  WritePaletteSettings(store, values.Palette, loaded.Palette.Default);
  store.flush();
}

OptionsChoice ToOptionsChoice(const OptionsValues& v, int filterIndex) {
  OptionsChoice o;
  o.ClipDefault = v.FrameSize.Default;
  o.ClipFrame = v.FrameSize.Clip;
  o.Delay = std::clamp(v.DefaultDelay, 0, 65535);
  o.Loop = std::clamp(v.DefaultNSLoop, 0, 65535);
  o.MaxUndo = std::clamp(v.MaxUndo, 1, kMaxUndoLimit);
  o.Animation = v.DisplayAnimation;
  o.Explorer = v.SyncOpenDialog;
  o.NoOpenPreview = v.NoOpenDlgPreview;
  o.RegularButtons = v.RegularButtons;
  o.AutoLoad = v.AutoLoad;
  o.DropDefault = v.DropDefault;
  o.FilterIndex = filterIndex;
  o.ThumbSize = v.ThumbSize;
  o.TransColor = v.TransColor;
  return o;
}

bool FavoritesList::Move(int direction) {
  const int other = Selected + (direction < 0 ? -1 : 1);
  if (Selected < 0 || Selected >= Items.size() || other < 0 || other >= Items.size()) return false;
  Items.swapItemsAt(Selected, other);
  Selected = other;
  Changed = true;
  return true;
}

bool FavoritesList::Add(const QString& folder) {
  if (folder.isEmpty() || Items.contains(folder)) return false;
  const int at = Selected >= 0 && Selected < Items.size() - 1 ? Selected + 1 : static_cast<int>(Items.size());
  Items.insert(at, folder);
  Selected = at;
  Changed = true;
  return true;
}

bool FavoritesList::Remove() {
  if (!CanRemove()) return false;
  Items.removeAt(Selected);
  Selected = Selected > 0 ? Selected - 1 : -1;
  Changed = true;
  return true;
}

QString WarningsQuestion(bool warningsOn) {
  const QString question = QStringLiteral("Would you like to turn %1 GIF warnings?");
  if (warningsOn) return question.arg(QStringLiteral("off"));
  return question.arg(QStringLiteral("on")) + QStringLiteral(" This option is used for developer debugging purposes only.");
}

QString AboutText(const QString& applicationTitle) {
  return applicationTitle + QStringLiteral(".0.2\n\n") +
         QStringLiteral("Made by Larkspur Software.\nAn editor for animated GIF pictures.\n\n") +
         QString::fromLatin1(kMakerWebPage);
}

QString MakerProductsPage() { return QString::fromLatin1(kMakerWebPage) + QStringLiteral("products/"); }

}  // namespace movinta::editor::forms
