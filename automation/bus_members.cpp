#include "automation/bus_members.h"

#include <QDBusObjectPath>

#include "automation/dbus_front.h"

namespace movinta::automation::bus {

namespace {

template <typename T, typename F>
Getter On(F f) {
  return [f](TAutomationObject& o, const QVariantList& a) -> QVariantList { return f(static_cast<T&>(o), a); };
}
template <typename T, typename F>
Setter Put(F f) {
  return [f](TAutomationObject& o, const QVariant& v) { f(static_cast<T&>(o), v); };
}

int I(const QVariantList& a, int i) { return a.value(i).toInt(); }
bool B(const QVariantList& a, int i) { return a.value(i).toBool(); }
QString S(const QVariantList& a, int i) { return a.value(i).toString(); }
QByteArray Y(const QVariantList& a, int i) { return a.value(i).toByteArray(); }
QVariantList None() { return {}; }
template <typename V>
QVariantList One(const V& v) {
  return {QVariant::fromValue(v)};
}

QVariant DocumentValue(const std::shared_ptr<TDocumentCache>& d) {
  return PathValue(d ? DocumentPath(d->Serial()) : QStringLiteral("/"));
}
QVariant FrameValue(const std::shared_ptr<TGIFFrame>& f) {
  return PathValue(f ? FramePath(f->Serial()) : QStringLiteral("/"));
}

template <typename Collection, typename ToPath>
QVariantList ItemPaths(Collection& collection, ToPath toPath) {
  QList<QDBusObjectPath> paths;
  auto items = collection.NewEnum();
  std::vector<std::shared_ptr<TAutomationObject>> batch;
  while (items->Next(1, batch) == S_OK_) {}
  for (const auto& item : batch) paths.append(QDBusObjectPath(toPath(*item)));
  return {QVariant::fromValue(paths)};
}

// The item and the menu it was reached through, which the dispatcher turns into the item's path.
QVariantList MenuValue(const std::shared_ptr<addin::IIntfMenuItem>& item) {
  const auto& handle = static_cast<TIntfMenuItem&>(*item);
  return {QVariant::fromValue<QObject*>(handle.Item()), QVariant::fromValue<QObject*>(handle.Place())};
}

}  // namespace

QString Root() { return QString::fromLatin1(kRootPath); }
QString ApplicationPath() { return Root() + QStringLiteral("/Application"); }
QString DocumentsPath() { return Root() + QStringLiteral("/Documents"); }
QString ActivePath() { return Root() + QStringLiteral("/ActiveDocument"); }
QString FramesPath() { return ActivePath() + QStringLiteral("/Frames"); }
QString MenusPath() { return Root() + QStringLiteral("/Menus"); }
QString DocumentPath(std::uint64_t serial) { return DocumentsPath() + QStringLiteral("/d%1").arg(serial); }
QString FramePath(std::uint64_t serial) { return FramesPath() + QStringLiteral("/f%1").arg(serial); }

QVariant PathValue(const QString& path) { return QVariant::fromValue(QDBusObjectPath(path)); }

// ---- the tables

const Interface& ApplicationInterface() {
  using A = TGIFApplication;
  static const Interface table{
      "com.larkspur.Movinta.Application", "{0B89A940-64AC-11D3-9FEA-C8F1A6C6CF2A}",
      "Dispatch interface for Application Object", false,
      {
          {"ActiveDocument", true, "o", "", "", 1, kReads,
           On<A>([](A& a, auto&) { return QVariantList{PathValue(a.ActiveDocument() ? ActivePath() : QStringLiteral("/"))}; }), {}},
          {"AppPath", true, "s", "", "", 2, kReadOnly, On<A>([](A& a, auto&) { return One(a.AppPath()); }), {}},
          {"CurrentFolder", true, "s", "", "", 3, kWritable | kChanges, On<A>([](A& a, auto&) { return One(a.CurrentFolder()); }),
           Put<A>([](A& a, const QVariant& v) { a.SetCurrentFolder(v.toString()); })},
          {"CurrentView", true, "i", "", "", 4, kWritable, On<A>([](A& a, auto&) { return One(a.CurrentView()); }),
           Put<A>([](A& a, const QVariant& v) { a.SetCurrentView(v.toInt()); }),
           "TCurrentViewType {0B89A94E-64AC-11D3-9FEA-C8F1A6C6CF2A}: cvEditFrame 0, cvPreview 1"},
          {"DocumentCache", true, "o", "", "", 5, kReadOnly,
           On<A>([](A&, auto&) { return QVariantList{PathValue(DocumentsPath())}; }), {}},
          {"ExeName", true, "s", "", "", 7, kReadOnly, On<A>([](A& a, auto&) { return One(a.ExeName()); }), {}},
          {"Height", true, "i", "", "", 8, kWritable, On<A>([](A& a, auto&) { return One(a.Height()); }),
           Put<A>([](A& a, const QVariant& v) { a.SetHeight(v.toInt()); })},
          {"HInstance", true, "i", "", "", 9, kReadOnly, On<A>([](A& a, auto&) { return One(a.HInstance()); }), {}},
          {"hWnd", true, "t", "", "", 10, kReadOnly, On<A>([](A& a, auto&) { return One(a.hWnd()); }), {}},
          {"Left", true, "i", "", "", 11, kWritable, On<A>([](A& a, auto&) { return One(a.Left()); }),
           Put<A>([](A& a, const QVariant& v) { a.SetLeft(v.toInt()); })},
          {"ThumbnailsShowing", true, "b", "", "", 12, kWritable | kChanges,
           On<A>([](A& a, auto&) { return One(a.ThumbnailsShowing()); }),
           Put<A>([](A& a, const QVariant& v) { a.SetThumbnailsShowing(v.toBool()); })},
          {"Top", true, "i", "", "", 13, kWritable, On<A>([](A& a, auto&) { return One(a.Top()); }),
           Put<A>([](A& a, const QVariant& v) { a.SetTop(v.toInt()); })},
          {"VersionText", true, "s", "", "", 14, kReadOnly, On<A>([](A& a, auto&) { return One(a.VersionText()); }), {}},
          {"WindowState", true, "i", "", "", 15, kWritable, On<A>([](A& a, auto&) { return One(a.WindowState()); }),
           Put<A>([](A& a, const QVariant& v) { a.SetWindowState(v.toInt()); })},
          {"Width", true, "i", "", "", 16, kWritable, On<A>([](A& a, auto&) { return One(a.Width()); }),
           Put<A>([](A& a, const QVariant& v) { a.SetWidth(v.toInt()); })},
          {"BringToFront", false, "", "", "", 17, 0, On<A>([](A& a, auto&) { a.BringToFront(); return None(); }), {}},
          {"CloseAll", false, "b", "b", "wbPromptToSave,result", 18, kInteractive | kChanges,
           On<A>([](A& a, auto& x) { return One(a.CloseAll(B(x, 0))); }), {}},
          {"ExtractFileName", false, "s", "s", "wsFile,result", 19, 0,
           On<A>([](A& a, auto& x) { return One(a.ExtractFileName(S(x, 0))); }), {}},
          {"ExtractFilePath", false, "s", "s", "wsFile,Param2", 20, 0,
           On<A>([](A& a, auto& x) { return One(a.ExtractFilePath(S(x, 0))); }), {}},
          {"GetImageSize", false, "s", "bii", "wsImageFile,result,nHeight,nWidth", 21, kChanges,
           On<A>([](A& a, auto& x) {
             int height = 0, width = 0;
             const bool ok = a.GetImageSize(S(x, 0), height, width);
             return QVariantList{ok, height, width};
           }), {}},
          {"HideProgress", false, "", "", "", 22, 0, On<A>([](A& a, auto&) { a.HideProgress(); return None(); }), {}},
          {"InputBox", false, "sss", "s", "wsCaption,wsPrompt,wsDefault,result", 23, kInteractive,
           On<A>([](A& a, auto& x) { return One(a.InputBox(S(x, 0), S(x, 1), S(x, 2))); }), {}},
          {"IsFileOpen", false, "s", "b", "sFile,result", 24, kChanges,
           On<A>([](A& a, auto& x) { return One(a.IsFileOpen(S(x, 0))); }), {}},
          {"IsImageAnimation", false, "s", "b", "wsFile,result", 25, kChanges,
           On<A>([](A& a, auto& x) { return One(a.IsImageAnimation(S(x, 0))); }), {}},
          {"MessageBox", false, "ssi", "i", "wsText,wsCaption,nType,result", 26, kInteractive,
           On<A>([](A& a, auto& x) { return One(a.MessageBox(S(x, 0), S(x, 1), I(x, 2))); }), {}},
          {"NewDocument", false, "i", "", "wbOpenMaximized", 27, kInteractive | kChanges,
           On<A>([](A& a, auto& x) { a.NewDocument(I(x, 0)); return None(); }), {}},
          {"OpenFile", false, "s", "b", "wsFile,result", 28, kInteractive | kChanges,
           On<A>([](A& a, auto& x) { return One(a.OpenFile(S(x, 0))); }), {}},
          {"NextDoc", false, "", "", "", 29, kChanges, On<A>([](A& a, auto&) { a.NextDoc(); return None(); }), {}},
          {"PreviousDoc", false, "", "", "", 30, kChanges, On<A>([](A& a, auto&) { a.PreviousDoc(); return None(); }), {}},
          {"Quit", false, "", "", "", 31, kInteractive | kChanges | kAfterReply,
           On<A>([](A& a, auto&) { a.Quit(); return None(); }), {}},
          {"SaveAll", false, "", "b", "result", 32, kInteractive | kChanges, On<A>([](A& a, auto&) { return One(a.SaveAll()); }), {}},
          {"SendToBack", false, "", "", "", 33, 0, On<A>([](A& a, auto&) { a.SendToBack(); return None(); }), {}},
          {"SetProgress", false, "i", "", "nProgress", 34, 0,
           On<A>([](A& a, auto& x) { a.SetProgress(I(x, 0)); return None(); }), {}},
          {"SetStatusText", false, "s", "", "sMessage", 35, 0,
           On<A>([](A& a, auto& x) { a.SetStatusText(S(x, 0)); return None(); }), {}},
          {"StatusWarning", false, "s", "", "wsMsg", 36, 0, On<A>([](A& a, auto& x) { a.StatusWarning(S(x, 0)); return None(); }), {}},
          {"StatusError", false, "s", "", "wsMsg", 37, 0, On<A>([](A& a, auto& x) { a.StatusError(S(x, 0)); return None(); }), {}},
          {"LoadThumbnails", false, "s", "", "sFolder", 38, kChanges,
           On<A>([](A& a, auto& x) { a.LoadThumbnails(S(x, 0)); return None(); }), {}},
          {"ShowProgress", false, "", "", "", 39, 0, On<A>([](A& a, auto&) { a.ShowProgress(); return None(); }), {}},
          {"ShellToApp", false, "s", "b", "wsAppFileName,result", 40, 0,
           On<A>([](A& a, auto& x) { return One(a.ShellToApp(S(x, 0))); }), {}},
          {"ShellToAppAndWait", false, "s", "", "wsAppFileName", 41, 0,
           On<A>([](A& a, auto& x) { a.ShellToAppAndWait(S(x, 0)); return None(); }), {}},
          // Answered by the dispatcher from a timer, never by sleeping.
          {"Wait", false, "i", "", "nMilliseconds", 42, kDelayed, {}, {}},
          {"DocumentIndex", true, "i", "", "", 43, kWritable | kChanges | kReads, On<A>([](A& a, auto&) { return One(a.DocumentIndex()); }),
           Put<A>([](A& a, const QVariant& v) { a.SetDocumentIndex(v.toInt()); })},
          {"ExplorerShowing", true, "b", "", "", 44, kWritable | kChanges,
           On<A>([](A& a, auto&) { return One(a.ExplorerShowing()); }),
           Put<A>([](A& a, const QVariant& v) { a.SetExplorerShowing(v.toBool()); })},
          {"ThumbnailImageFilter", true, "i", "", "", 45, kWritable,
           On<A>([](A& a, auto&) { return One(a.ThumbnailImageFilter()); }),
           Put<A>([](A& a, const QVariant& v) { a.SetThumbnailImageFilter(v.toInt()); }),
           "TThumbsFilterType {ACD12440-7131-11D3-9FEA-C3561E4C342A}: iftAll 0, iftGif 1, iftJpg 2, iftBmp 3"},
          {"Cascade", false, "", "", "", 46, 0, On<A>([](A& a, auto&) { a.Cascade(); return None(); }), {}},
          {"TileHorizontal", false, "", "", "", 47, 0, On<A>([](A& a, auto&) { a.TileHorizontal(); return None(); }), {}},
          {"TileVertical", false, "", "", "", 48, 0, On<A>([](A& a, auto&) { a.TileVertical(); return None(); }), {}},
          {"TabIndexForFile", false, "s", "i", "wsFileName,result", 49, kReads,
           On<A>([](A& a, auto& x) { return One(a.TabIndexForFile(S(x, 0))); }), {}},
          {"MenuExists", false, "s", "b", "wsMenuPath,result", 50, 0,
           On<A>([](A& a, auto& x) { return One(a.MenuExists(S(x, 0))); }), {}},
          {"Menu", false, "s", "o", "wsMenuPath,result", 51, kMenuItem,
           On<A>([](A& a, auto& x) { return MenuValue(a.Menu(S(x, 0))); }), {}},
          {"ThumbNailFileName", true, "s", "", "", 52, kReadOnly,
           On<A>([](A& a, auto&) { return One(a.ThumbNailFileName()); }), {}},
      }};
  return table;
}

const Interface& DocumentsInterface() {
  using D = TDocuments;
  static const Interface table{
      "com.larkspur.Movinta.Documents", "{761399C0-B073-11D3-B8A0-BE7ABD763234}",
      "Dispatch interface for IDocuments Object", true,
      {
          {"Count", true, "i", "", "", 1, kReadOnly, On<D>([](D& d, auto&) { return One(d.Count()); }), {}},
          {"Cache", false, "i", "o", "Index,result", 0, 0,
           On<D>([](D& d, auto& x) { return QVariantList{DocumentValue(d.Cache(I(x, 0)))}; }), {}},
          {"Items", false, "", "ao", "result", -4, 0, On<D>([](D& d, auto&) {
             return ItemPaths(d, [](TAutomationObject& o) { return DocumentPath(static_cast<TDocumentCache&>(o).Serial()); });
           }), {}},
      }, true};
  return table;
}

const Interface& DocumentCacheInterface() {
  using C = TDocumentCache;
  static const Interface table{
      "com.larkspur.Movinta.DocumentCache", "{0B89A94A-64AC-11D3-9FEA-C8F1A6C6CF2A}",
      "Dispatch interface for IDocumentCache Object", true,
      {
          {"CanUndo", true, "b", "", "", 1, kReadOnly, On<C>([](C& c, auto&) { return One(c.CanUndo()); }), {}},
          {"CanRedo", true, "b", "", "", 2, kReadOnly, On<C>([](C& c, auto&) { return One(c.CanRedo()); }), {}},
          {"Modified", true, "b", "", "", 3, kReadOnly, On<C>([](C& c, auto&) { return One(c.Modified()); }), {}},
          {"FileName", true, "s", "", "", 4, kReadOnly, On<C>([](C& c, auto&) { return One(c.FileName()); }), {}},
          {"ReadOnly", true, "b", "", "", 5, kReadOnly, On<C>([](C& c, auto&) { return One(c.ReadOnly()); }), {}},
          {"MakeActive", false, "", "", "", 6, kChanges, On<C>([](C& c, auto&) { c.MakeActive(); return None(); }), {}},
      }, true};
  return table;
}

const Interface& ActiveDocumentInterface() {
  using D = TActiveDocument;
  static const Interface table{
      "com.larkspur.Movinta.ActiveDocument", "{0B89A946-64AC-11D3-9FEA-C8F1A6C6CF2A}",
      "Dispatch interface for IActiveDocument Object", true,
      {
          {"CanUndo", true, "b", "", "", 1, kReadOnly, On<D>([](D& d, auto&) { return One(d.CanUndo()); }), {}},
          {"CanRedo", true, "b", "", "", 2, kReadOnly, On<D>([](D& d, auto&) { return One(d.CanRedo()); }), {}},
          {"Undo", false, "", "", "", 3, kChanges, On<D>([](D& d, auto&) { d.Undo(); return None(); }), {}},
          {"Redo", false, "", "", "", 4, 0, On<D>([](D& d, auto&) { d.Redo(); return None(); }), {}},
          {"FileName", true, "s", "", "", 5, kReadOnly, On<D>([](D& d, auto&) { return One(d.FileName()); }), {}},
          {"Modified", true, "b", "", "", 6, kWritable | kChanges, On<D>([](D& d, auto&) { return One(d.Modified()); }),
           Put<D>([](D& d, const QVariant& v) { d.SetModified(v.toBool()); })},
          {"ReadOnly", true, "b", "", "", 7, kWritable | kChanges, On<D>([](D& d, auto&) { return One(d.ReadOnly()); }),
           Put<D>([](D& d, const QVariant& v) { d.SetReadOnly(v.toBool()); })},
          {"CurrentBitmap", false, "", "ay", "result", 9, 0, On<D>([](D& d, auto&) { return One(d.CurrentBitmap()); }), {}},
          {"TabIndex", true, "i", "", "", 10, kReadOnly, On<D>([](D& d, auto&) { return One(d.TabIndex()); }), {}},
          {"SelectedFrame", true, "i", "", "", 11, kWritable | kChanges, On<D>([](D& d, auto&) { return One(d.SelectedFrame()); }),
           Put<D>([](D& d, const QVariant& v) { d.SetSelectedFrame(v.toInt()); })},
          {"Optimized", true, "b", "", "", 12, kReadOnly, On<D>([](D& d, auto&) { return One(d.Optimized()); }), {}},
          {"Clear", false, "", "", "", 13, 0, On<D>([](D& d, auto&) { d.Clear(); return None(); }), {}},
          {"Close", false, "b", "b", "wbPromptToSave,result", 14, kInteractive | kChanges,
           On<D>([](D& d, auto& x) { return One(d.Close(B(x, 0))); }), {}},
          {"Print", false, "bb", "", "wbNoPrompt,wbPrintAllFrames", 15, 0,
           On<D>([](D& d, auto& x) { d.Print(B(x, 0), B(x, 1)); return None(); }), {}},
          {"Reload", false, "b", "", "wbPromptToSave", 16, 0, On<D>([](D& d, auto& x) { d.Reload(B(x, 0)); return None(); }), {}},
          {"Save", false, "", "b", "result", 17, kInteractive | kChanges, On<D>([](D& d, auto&) { return One(d.Save()); }), {}},
          {"PlayAnimation", false, "", "", "", 18, kInteractive | kChanges, On<D>([](D& d, auto&) { d.PlayAnimation(); return None(); }), {}},
          {"StopAnimation", false, "", "", "", 19, kChanges | kStopsPlayback, On<D>([](D& d, auto&) { d.StopAnimation(); return None(); }), {}},
          {"AddFrame", false, "ayi", "i", "Image,Delay,result", 20, kInteractive | kChanges,
           On<D>([](D& d, auto& x) { return One(d.AddFrame(Y(x, 0), I(x, 1))); }), {}},
          {"InsertFrame", false, "iay", "", "nIndex,Image", 21, 0,
           On<D>([](D& d, auto& x) { d.InsertFrame(I(x, 0), Y(x, 1)); return None(); }), {}},
          {"DeleteFrame", false, "i", "", "nIndex", 22, kInteractive | kChanges,
           On<D>([](D& d, auto& x) { d.DeleteFrame(I(x, 0)); return None(); }), {}},
          {"ExportToAVI", false, "", "b", "result", 23, kInteractive | kChanges, On<D>([](D& d, auto&) { return One(d.ExportToAVI()); }), {}},
          {"ImportFromAVI", false, "s", "b", "wsFile,result", 24, kInteractive | kChanges,
           On<D>([](D& d, auto& x) { return One(d.ImportFromAVI(S(x, 0))); }), {}},
          {"HTMLCode", false, "ssi", "s", "wsURL,wsHint,nBorder,result", 25, 0,
           On<D>([](D& d, auto& x) { return One(d.HTMLCode(S(x, 0), S(x, 1), I(x, 2))); }), {}},
          {"NSLoop", true, "i", "", "", 27, kWritable | kChanges, On<D>([](D& d, auto&) { return One(d.NSLoop()); }),
           Put<D>([](D& d, const QVariant& v) { d.SetNSLoop(v.toInt()); })},
          {"Optimize", false, "", "", "", 28, 0, On<D>([](D& d, auto&) { d.Optimize(); return None(); }), {}},
          {"AddFrameNoPrompts", false, "ayi", "b", "Image,nDelay,result", 29, kChanges,
           On<D>([](D& d, auto& x) { return One(d.AddFrameNoPrompts(Y(x, 0), I(x, 1))); }), {}},
          {"SaveDocToTempFile", false, "s", "b", "wsFileName,result", 30, kChanges,
           On<D>([](D& d, auto& x) { return One(d.SaveDocToTempFile(S(x, 0))); }), {}},
          {"Frames", true, "o", "", "", 26, kReadOnly, On<D>([](D&, auto&) { return QVariantList{PathValue(FramesPath())}; }), {}},
      }, true};
  return table;
}

const Interface& FramesInterface() {
  using F = TGIFFrames;
  static const Interface table{
      "com.larkspur.Movinta.Frames", "{761399C3-B073-11D3-B8A0-BE7ABD763234}",
      "Dispatch interface for IFrames Object", true,
      {
          {"Count", true, "i", "", "", 1, kReadOnly, On<F>([](F& f, auto&) { return One(f.Count()); }), {}},
          {"Frame", false, "i", "o", "Index,result", 0, 0,
           On<F>([](F& f, auto& x) { return QVariantList{FrameValue(f.Frame(I(x, 0)))}; }), {}},
          {"Items", false, "", "ao", "result", -4, 0, On<F>([](F& f, auto&) {
             return ItemPaths(f, [](TAutomationObject& o) { return FramePath(static_cast<TGIFFrame&>(o).Serial()); });
           }), {}},
      }, true};
  return table;
}

const Interface& FrameInterface() {
  using F = TGIFFrame;
  static const Interface table{
      "com.larkspur.Movinta.Frame", "{605D6501-707E-11D3-9FEA-B70103748442}",
      "Dispatch interface for IFrame Object", true,
      {
          {"GetBitmap", false, "", "ay", "result", 1, 0, On<F>([](F& f, auto&) { return One(f.Bitmap()); }), {}},
          {"Comments", true, "s", "", "", 2, kReadOnly, On<F>([](F& f, auto&) { return One(f.Comments()); }), {}},
          {"Empty", true, "b", "", "", 3, kReadOnly, On<F>([](F& f, auto&) { return One(f.Empty()); }), {}},
          {"Extensions", true, "i", "", "", 6, kReadOnly, On<F>([](F& f, auto&) { return One(f.Extensions()); }), {}},
          {"Left", true, "i", "", "", 9, kWritable | kChanges, On<F>([](F& f, auto&) { return One(f.Left()); }),
           Put<F>([](F& f, const QVariant& v) { f.SetLeft(v.toInt()); })},
          {"Top", true, "i", "", "", 10, kWritable | kChanges, On<F>([](F& f, auto&) { return One(f.Top()); }),
           Put<F>([](F& f, const QVariant& v) { f.SetTop(v.toInt()); })},
          {"Interlaced", true, "b", "", "", 11, kWritable | kChanges, On<F>([](F& f, auto&) { return One(f.Interlaced()); }),
           Put<F>([](F& f, const QVariant& v) { f.SetInterlaced(v.toBool()); })},
          {"LocalPalette", true, "b", "", "", 12, kReadOnly, On<F>([](F& f, auto&) { return One(f.LocalPalette()); }), {}},
          {"Height", true, "i", "", "", 4, kWritable, On<F>([](F& f, auto&) { return One(f.Height()); }),
           Put<F>([](F& f, const QVariant& v) { f.SetHeight(v.toInt()); })},
          {"Width", true, "i", "", "", 5, kWritable, On<F>([](F& f, auto&) { return One(f.Width()); }),
           Put<F>([](F& f, const QVariant& v) { f.SetWidth(v.toInt()); })},
          {"Transparent", true, "b", "", "", 7, kWritable | kChanges, On<F>([](F& f, auto&) { return One(f.Transparent()); }),
           Put<F>([](F& f, const QVariant& v) { f.SetTransparent(v.toBool()); })},
          {"Delay", true, "i", "", "", 8, kWritable | kChanges, On<F>([](F& f, auto&) { return One(f.Delay()); }),
           Put<F>([](F& f, const QVariant& v) { f.SetDelay(v.toInt()); })},
          {"Disposal", true, "i", "", "", 13, kWritable | kChanges, On<F>([](F& f, auto&) { return One(f.Disposal()); }),
           Put<F>([](F& f, const QVariant& v) { f.SetDisposal(v.toInt()); }),
           "TIDisposalMethod {EB329761-8D14-11D3-9FEA-9FD399D52A32}: idmNone 0, idmRemove 1, idmBackground 2, "
           "idmPrevious 3"},
          {"SetBitmap", false, "ay", "b", "Bitmap,result", 14, kChanges,
           On<F>([](F& f, auto& x) { return One(f.SetBitmap(Y(x, 0))); }), {}},
      }, true};
  return table;
}

const Interface& MenuItemInterface() {
  using M = MenuObject;
  static const Interface table{
      "com.larkspur.Movinta.MenuItem", "{A1CC81C4-A4D5-11D3-9FEB-A94D975F842A}",
      "Dispatch interface for IIntfMenuItem Object", false,
      {
          {"Caption", true, "s", "", "", 1, kWritable, On<M>([](M& m, auto&) { return One(m.Item->Caption()); }),
           Put<M>([](M& m, const QVariant& v) { m.Item->SetCaption(v.toString()); })},
          {"Checked", true, "b", "", "", 2, kWritable, On<M>([](M& m, auto&) { return One(m.Item->Checked()); }),
           Put<M>([](M& m, const QVariant& v) { m.Item->SetChecked(v.toBool()); })},
          {"Enabled", true, "b", "", "", 3, kWritable, On<M>([](M& m, auto&) { return One(m.Item->Enabled()); }),
           Put<M>([](M& m, const QVariant& v) { m.Item->SetEnabled(v.toBool()); })},
          {"Hint", true, "s", "", "", 4, kWritable, On<M>([](M& m, auto&) { return One(m.Item->Hint()); }),
           Put<M>([](M& m, const QVariant& v) { m.Item->SetHint(v.toString()); })},
          {"ShortCut", true, "s", "", "", 5, kWritable, On<M>([](M& m, auto&) { return One(m.Item->ShortCut()); }),
           Put<M>([](M& m, const QVariant& v) { m.Item->SetShortCut(v.toString()); })},
          {"SubItemCount", true, "i", "", "", 6, kReadOnly, On<M>([](M& m, auto&) { return One(m.Item->SubItemCount()); }), {}},
          {"Tag", true, "i", "", "", 7, kWritable, On<M>([](M& m, auto&) { return One(m.Item->Tag()); }),
           Put<M>([](M& m, const QVariant& v) { m.Item->SetTag(v.toInt()); })},
          {"Visible", true, "b", "", "", 8, kWritable, On<M>([](M& m, auto&) { return One(m.Item->Visible()); }),
           Put<M>([](M& m, const QVariant& v) { m.Item->SetVisible(v.toBool()); })},
          {"AddSubItem", false, "", "o", "result", 9, kMenuItem,
           On<M>([](M& m, auto&) { return MenuValue(m.Item->AddSubItem()); }), {}},
          {"SubItem", false, "i", "o", "nIndex,result", 10, kMenuItem,
           On<M>([](M& m, auto& x) { return MenuValue(m.Item->SubItem(I(x, 0))); }), {}},
          // Answered by the dispatcher, which knows the caller that serves the handler.
          {"SetMenuHandler", false, "o", "", "Handler", 11, kCaller, {}, {}},
          {"MenuIndex", true, "i", "", "", 12, kWritable, On<M>([](M& m, auto&) { return One(m.Item->MenuIndex()); }),
           Put<M>([](M& m, const QVariant& v) { m.Item->SetMenuIndex(v.toInt()); })},
          {"Execute", false, "", "", "", 13, kInteractive | kChanges | kStopsPlayback, On<M>([](M& m, auto&) { m.Item->Execute(); return None(); }), {}},
          {"InsertSubItem", false, "i", "o", "nIndex,result", 14, kMenuItem,
           On<M>([](M& m, auto& x) { return MenuValue(m.Item->InsertSubItem(I(x, 0))); }), {}},
          {"DocDependent", true, "b", "", "", 15, kWritable, On<M>([](M& m, auto&) { return One(m.Item->DocDependent()); }),
           Put<M>([](M& m, const QVariant& v) { m.Item->SetDocDependent(v.toBool()); })},
      }};
  return table;
}

// ---- introspection

namespace {

QStringList SplitSignature(const QString& signature) {
  QStringList out;
  QString current;
  for (QChar c : signature) {
    current += c;
    if (c != QLatin1Char('a')) {
      out << current;
      current.clear();
    }
  }
  return out;
}

QString Escape(const QString& s) { return s.toHtmlEscaped(); }

QString Annotation(const char* name, const QString& value, const QString& indent) {
  return QStringLiteral("%1<annotation name=\"com.larkspur.Movinta.%2\" value=\"%3\"/>\n")
      .arg(indent, QLatin1String(name), Escape(value));
}

}  // namespace

QString InterfaceXml(const Interface& i) {
  QString xml = QStringLiteral("  <interface name=\"%1\">\n").arg(QLatin1String(i.Name));
  xml += Annotation("Guid", QLatin1String(i.Guid), QStringLiteral("    "));
  xml += Annotation("HelpString", QLatin1String(i.Help), QStringLiteral("    "));
  if (i.Hidden) xml += Annotation("Hidden", QStringLiteral("true"), QStringLiteral("    "));
  if (&i == &ApplicationInterface()) {
    xml += Annotation("Library", QStringLiteral("Movinta {210EBF60-63C8-11D3-B8A0-D96282894038} 5.0 0x409 "
                                                "Larkspur GIF Movinta Library"),
                      QStringLiteral("    "));
    xml += Annotation("Coclass", QStringLiteral("GIFApplication {0B89A942-64AC-11D3-9FEA-C8F1A6C6CF2A} Application Object"),
                      QStringLiteral("    "));
  }
  for (const Member& m : i.Members) {
    QString body = Annotation("DispId", QString::number(m.DispId), QStringLiteral("      "));
    if (m.Enum) body += Annotation("Enum", QLatin1String(m.Enum), QStringLiteral("      "));
    if (m.Flags & kInteractive) body += Annotation("Interactive", QStringLiteral("true"), QStringLiteral("      "));
    if (m.Flags & kChanges) body += Annotation("ChangesDocument", QStringLiteral("true"), QStringLiteral("      "));
    if (m.Property) {
      xml += QStringLiteral("    <property name=\"%1\" type=\"%2\" access=\"%3\">\n%4    </property>\n")
                 .arg(QLatin1String(m.Name), QLatin1String(m.Signature),
                      (m.Flags & kWritable) ? QStringLiteral("readwrite") : QStringLiteral("read"), body);
      continue;
    }
    const QStringList names = QString::fromLatin1(m.ArgNames).split(QLatin1Char(','), Qt::SkipEmptyParts);
    const QStringList in = SplitSignature(QLatin1String(m.Signature));
    const QStringList out = SplitSignature(QLatin1String(m.OutSignature));
    QString args;
    int n = 0;
    for (const QString& t : in)
      args += QStringLiteral("      <arg name=\"%1\" type=\"%2\" direction=\"in\"/>\n").arg(names.value(n++), t);
    for (const QString& t : out)
      args += QStringLiteral("      <arg name=\"%1\" type=\"%2\" direction=\"out\"/>\n").arg(names.value(n++), t);
    xml += QStringLiteral("    <method name=\"%1\">\n%2%3    </method>\n").arg(QLatin1String(m.Name), args, body);
  }
  return xml + QStringLiteral("  </interface>\n");
}

const char* const kStandardInterfaces =
    "  <interface name=\"org.freedesktop.DBus.Introspectable\">\n"
    "    <method name=\"Introspect\"><arg name=\"xml_data\" type=\"s\" direction=\"out\"/></method>\n"
    "  </interface>\n"
    "  <interface name=\"org.freedesktop.DBus.Properties\">\n"
    "    <method name=\"Get\"><arg name=\"interface_name\" type=\"s\" direction=\"in\"/>"
    "<arg name=\"property_name\" type=\"s\" direction=\"in\"/><arg name=\"value\" type=\"v\" direction=\"out\"/></method>\n"
    "    <method name=\"Set\"><arg name=\"interface_name\" type=\"s\" direction=\"in\"/>"
    "<arg name=\"property_name\" type=\"s\" direction=\"in\"/><arg name=\"value\" type=\"v\" direction=\"in\"/></method>\n"
    "    <method name=\"GetAll\"><arg name=\"interface_name\" type=\"s\" direction=\"in\"/>"
    "<arg name=\"values\" type=\"a{sv}\" direction=\"out\"/></method>\n"
    "  </interface>\n";

}  // namespace movinta::automation::bus
