#include "editor/model/settings.h"

#include <QDir>

namespace movinta::editor {

namespace {
const QString S(const char* s) { return QString::fromLatin1(s); }

// The caller's own default (the sample pictures shipped with the program) wins over the folder
// below the program file.
QString ImagesFolder(const QString& preset, const QString& programFolder) {
  return preset.isEmpty() ? QDir(programFolder).filePath(QStringLiteral("Images")) : preset;
}
}  // namespace

SettingsRecord& Settings() {
  static SettingsRecord record;
  return record;
}

QString ToolbarSection(int tag) {
  static const char* const names[] = {"\\Standard", "\\Frame", "\\Animation"};
  if (tag < 0 || tag > 2) return {};
  return S(sections::kToolbars) + S(names[tag]);
}

int ControlBarRowSize(bool flat) { return flat ? 26 : 28; }

MainWindowSettings LoadSettings(SettingsStore& store, const MainWindowSettings& current,
                                const QString& programFolder) {
  MainWindowSettings v = current;
  const QString main = S(sections::kFormMain);
  const QString state = ReadRegString(store, main, S("WindowState"), S("Normal"));
  if (state == QLatin1String("Normal")) {
    v.State = WindowShow::Normal;
    v.Top = ReadRegInt(store, main, S("Top"), current.Top);
    v.Left = ReadRegInt(store, main, S("Left"), current.Left);
    v.Height = ReadRegInt(store, main, S("Height"), current.Height);
    v.Width = ReadRegInt(store, main, S("Width"), current.Width);
  } else {
    v.State = WindowShow::Maximized;
  }

  const QString inspector = S(sections::kFormInspector);
  v.InspectorVisible = ReadRegInt(store, inspector, S("Visible"), 1) != 0;
  v.InspectorHiddenOnce = ReadRegInt(store, inspector, S("HideOnce"), 0) == 1;
  if (v.InspectorHiddenOnce) {
    v.InspectorVisible = false;
    WriteRegInt(store, inspector, S("HideOnce"), 0);
  }

  const QString settings = S(sections::kSettings);
  v.FrameSize = ReadRegInt(store, settings, S("FrameSize"), 160);
  v.FrameWindowHeight = ReadRegInt(store, settings, S("FrameWindowHeight"), current.FrameWindowHeight);
  v.InitialDir = ReadRegString(store, settings, S("InitialDir"), ImagesFolder(current.InitialDir, programFolder));
  v.DefaultDelay = ReadRegInt(store, settings, S("DefaultDelay"), 100);
  v.DefaultNSLoop = ReadRegInt(store, settings, S("DefaultNSLoop"), 0);
  v.SyncOpenDialog = ReadRegInt(store, settings, S("SyncOpenDialog"), 0) != 0;
  v.NoOpenDlgPreview = ReadRegInt(store, settings, S("NoOpenDlgPreview"), 0) != 0;
  v.FrameTransparentColor =
      static_cast<std::uint32_t>(ReadRegInt(store, settings, S("FrameTransparentColor"), 0xFFFFFF));
  v.DisplayAnimation = ReadRegInt(store, settings, S("DisplayAnimation"), 1);
  v.Warnings = ReadRegInt(store, settings, S("Warnings"), 0);

  const QString thumbs = S(sections::kThumbNails);
  v.ThumbDirectory = ReadRegString(store, thumbs, S("Directory"), ImagesFolder(current.ThumbDirectory, programFolder));
  v.FilterType = ReadRegInt(store, thumbs, S("FilterType"), 19);
  v.ThumbnailSize = ReadRegInt(store, thumbs, S("ThumbailSize"), current.ThumbnailSize);

  v.NormalStyle = ReadRegInt(store, S(sections::kToolbars), S("NormalStyle"), 0) != 0;
  for (int tag = 0; tag < 3; ++tag) {
    const QString section = ToolbarSection(tag);
    ToolbarPlacement& t = v.Toolbars[static_cast<std::size_t>(tag)];
    const ToolbarPlacement& c = current.Toolbars[static_cast<std::size_t>(tag)];
    t.Left = ReadRegInt(store, section, S("Left"), c.Left);
    t.Top = ReadRegInt(store, section, S("Top"), c.Top);
    t.Visible = ReadRegInt(store, section, S("Visible"), c.Visible ? 1 : 0) != 0;
  }

  v.RecentFiles.clear();
  for (int i = 0; i < 10; ++i) {
    const QString name = ReadRegString(store, S(sections::kMRU), QStringLiteral("MRU%1").arg(i), QString());
    if (!name.isEmpty()) v.RecentFiles.append(name);
  }
  v.Favorites.clear();
  for (int i = 0;; ++i) {
    const QString key = QStringLiteral("MRU%1").arg(i);
    if (!store.valueExists(S(sections::kFavorites), key)) break;
    const QString name = ReadRegString(store, S(sections::kFavorites), key, QString());
    if (!name.isEmpty()) v.Favorites.append(name);
  }
  return v;
}

void SaveSettings(SettingsStore& store, const MainWindowSettings& v, const QString& programFolder) {
  const QString main = S(sections::kFormMain);
  if (v.State == WindowShow::Normal) {
    WriteRegString(store, main, S("WindowState"), S("Normal"));
    WriteRegInt(store, main, S("Top"), v.Top);
    WriteRegInt(store, main, S("Left"), v.Left);
    WriteRegInt(store, main, S("Height"), v.Height);
    WriteRegInt(store, main, S("Width"), v.Width);
  } else if (v.State == WindowShow::Maximized) {
    WriteRegString(store, main, S("WindowState"), S("Maximized"));
  }

  const QString settings = S(sections::kSettings);
  WriteRegInt(store, settings, S("FrameSize"), v.FrameSize);
  WriteRegString(store, settings, S("InitialDir"), v.InitialDir);
  QString install = programFolder;
  if (!install.endsWith(QLatin1Char('/'))) install += QLatin1Char('/');
  WriteRegString(store, settings, S("InstallDir"), install);
  WriteRegInt(store, settings, S("ClipDefault"), ReadRegInt(store, settings, S("ClipDefault"), 0));
  WriteRegInt(store, settings, S("ClipFrame"), ReadRegInt(store, settings, S("ClipFrame"), 1));
  WriteRegInt(store, settings, S("DefaultDelay"), v.DefaultDelay);
  WriteRegInt(store, settings, S("DefaultNSLoop"), v.DefaultNSLoop);
  WriteRegInt(store, S(sections::kToolbars), S("NormalStyle"), v.NormalStyle ? 1 : 0);
  for (int tag = 0; tag < 3; ++tag) {
    const QString section = ToolbarSection(tag);
    const ToolbarPlacement& t = v.Toolbars[static_cast<std::size_t>(tag)];
    WriteRegInt(store, section, S("Left"), t.Left);
    WriteRegInt(store, section, S("Top"), t.Top);
    WriteRegInt(store, section, S("Visible"), t.Visible ? 1 : 0);
  }

  const QString thumbs = S(sections::kThumbNails);
  WriteRegString(store, thumbs, S("Directory"), v.ThumbDirectory);
  WriteRegInt(store, thumbs, S("FilterType"), v.FilterType);
  WriteRegInt(store, thumbs, S("ThumbailSize"), v.ThumbnailSize);

  store.eraseSection(S(sections::kMRU));
  for (int i = 0; i < v.RecentFiles.size() && i < 10; ++i)
    WriteRegString(store, S(sections::kMRU), QStringLiteral("MRU%1").arg(i), v.RecentFiles[i]);
  StoreFavorites(store, v.Favorites);
}

void StoreFavorites(SettingsStore& store, const QStringList& favorites) {
  // Erased even when the list is empty, so that removing the last favourite sticks.
  store.eraseSection(S(sections::kFavorites));
  for (int i = 0; i < favorites.size(); ++i)
    WriteRegString(store, S(sections::kFavorites), QStringLiteral("MRU%1").arg(i), favorites[i]);
  store.flush();
}

void TakeIntoRecord(const MainWindowSettings& v, SettingsRecord& r) {
  r.DefaultDelay = static_cast<std::uint16_t>(v.DefaultDelay);
  r.DefaultNSLoop = static_cast<std::uint16_t>(v.DefaultNSLoop);
  r.SyncOpenDialog = v.SyncOpenDialog;
  r.NoOpenDlgPreview = v.NoOpenDlgPreview;
  r.FrameSize = static_cast<std::uint8_t>(v.FrameSize);
  r.FilterType = static_cast<std::uint8_t>(v.FilterType);
  r.FrameBackColor = v.FrameTransparentColor;
  r.ThumbDirectory = v.ThumbDirectory;
}

OptionsOutcome ApplyOptions(SettingsStore& store, const OptionsChoice& o, SettingsRecord& record,
                            bool toolbarsFlat, int thumbnailSize) {
  OptionsOutcome out;
  out.ToolbarsFlat = toolbarsFlat;
  out.RowSize = ControlBarRowSize(toolbarsFlat);
  out.ThumbnailSize = thumbnailSize;
  const QString settings = S(sections::kSettings);

  if ((ReadRegInt(store, settings, S("ClipDefault"), 0) != 0) != o.ClipDefault)
    WriteRegInt(store, settings, S("ClipDefault"), o.ClipDefault ? 1 : 0);
  if ((ReadRegInt(store, settings, S("ClipFrame"), 1) != 0) != o.ClipFrame)
    WriteRegInt(store, settings, S("ClipFrame"), o.ClipFrame ? 1 : 0);

  record.DefaultDelay = static_cast<std::uint16_t>(o.Delay);
  WriteRegInt(store, settings, S("DefaultDelay"), record.DefaultDelay);
  record.DefaultNSLoop = static_cast<std::uint16_t>(o.Loop);
  WriteRegInt(store, settings, S("DefaultNSLoop"), record.DefaultNSLoop);
  WriteRegInt(store, settings, S("MaxUndo"), o.MaxUndo);

  if ((ReadRegInt(store, settings, S("DisplayAnimation"), 1) != 0) != o.Animation)
    WriteRegInt(store, settings, S("DisplayAnimation"), o.Animation ? 1 : 0);

  if (record.SyncOpenDialog != o.Explorer) {
    record.SyncOpenDialog = o.Explorer;
    WriteRegInt(store, settings, S("SyncOpenDialog"), o.Explorer ? 1 : 0);
  }
  if (record.NoOpenDlgPreview != o.NoOpenPreview) {
    record.NoOpenDlgPreview = o.NoOpenPreview;
    WriteRegInt(store, settings, S("NoOpenDlgPreview"), o.NoOpenPreview ? 1 : 0);
  }

  if (!o.RegularButtons != toolbarsFlat) {
    WriteRegInt(store, S(sections::kToolbars), S("NormalStyle"), o.RegularButtons ? 1 : 0);
    out.ToolbarsChanged = true;
    out.ToolbarsFlat = !o.RegularButtons;
    out.RowSize = ControlBarRowSize(out.ToolbarsFlat);
  }

  if ((ReadRegInt(store, settings, S("AutoLoadStartUp"), 1) != 0) != o.AutoLoad)
    WriteRegInt(store, settings, S("AutoLoadStartUp"), o.AutoLoad ? 1 : 0);

  if (ReadRegInt(store, settings, S("DropImageDefault"), 0) > 0)
    WriteRegInt(store, settings, S("DropImageDefault"), o.DropDefault ? 6 : 7);

  record.FilterType = static_cast<std::uint8_t>(o.FilterIndex == 18 ? 19 : o.FilterIndex);
  WriteRegInt(store, S(sections::kThumbNails), S("FilterType"), record.FilterType);

  if (o.ThumbSize != thumbnailSize) {
    WriteRegInt(store, S(sections::kThumbNails), S("ThumbailSize"), o.ThumbSize);
    out.ThumbnailsResized = true;
    out.ThumbnailSize = o.ThumbSize;
  }

  if (o.TransColor != record.FrameBackColor) {
    WriteRegInt(store, settings, S("FrameTransparentColor"), static_cast<int>(o.TransColor));
    record.FrameBackColor = o.TransColor;
  }
  store.flush();
  return out;
}

void RememberDropChoice(SettingsStore& store, int result) {
  if (result == 2) return;  // Cancel
  WriteRegInt(store, S(sections::kSettings), S("DropImageDefault"), result);
  store.flush();
}

int FilterComboIndex(int filterType) { return filterType == 19 ? 18 : filterType; }

}  // namespace movinta::editor
