#include "automation/dbus_front.h"

#include <QAction>
#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QTimer>

#include "editor/forms/guarded.h"
#include "editor/model/ui_services.h"

#include <climits>
#include <functional>
#include <vector>

namespace movinta::automation {

namespace {

// ---- the tables

enum Flags : unsigned {
  kReadOnly = 0,
  kWritable = 1,
  // May open a dialog and wait for the user.
  kInteractive = 2,
  // Can switch, change, close or open a document, start a scan or other long work, or show one of the
  // editor's own error boxes: refused while a dialog, question, progress window, playback or long
  // operation of the editor is up. Members marked interactive only show the box they exist for.
  kChanges = 4,
  // Runs once the reply has gone (the call ends the program).
  kAfterReply = 8,
  // Answers later, from a timer.
  kDelayed = 16,
  // Hands out a menu item, which the bus names by a path of its own.
  kMenuItem = 32,
  // Needs the caller's bus name.
  kCaller = 64,
  // Reads a document: refused while a long operation runs. For a property, its get; kChanges is its put.
  kReads = 128,
  // Of the changes, those a playing animation takes: stopping it, and choosing a menu item that the
  // menus leave on while it plays (the item's own check refuses the others).
  kStopsPlayback = 256,
};

using Getter = std::function<QVariantList(TAutomationObject&, const QVariantList&)>;
using Setter = std::function<void(TAutomationObject&, const QVariant&)>;

struct Member {
  const char* Name;
  bool Property;
  // A method's in arguments, or a property's type.
  const char* Signature;
  const char* OutSignature;
  // Names of the arguments, in then out, separated by commas.
  const char* ArgNames;
  int DispId;
  unsigned Flags;
  Getter Call;
  Setter Set;
  // The enumeration of the type library the value belongs to, if any.
  const char* Enum = nullptr;
};

struct Interface {
  const char* Name;
  const char* Guid;
  const char* Help;
  bool Hidden;
  std::vector<Member> Members;
  // Every member reads a document (or the working image), at the least.
  bool Document = false;

  const Member* Find(const QString& name, bool property) const {
    for (const Member& m : Members)
      if (m.Property == property && name == QLatin1String(m.Name)) return &m;
    return nullptr;
  }
};

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
QVariant PathValue(const QString& path) { return QVariant::fromValue(QDBusObjectPath(path)); }

// When the editor takes a member: a property's get only reads, its put is what kChanges says.
TMoment MomentOf(const Member& m, bool document, bool getting) {
  if (!getting && (m.Flags & kChanges)) return (m.Flags & kStopsPlayback) ? TMoment::StopsPlayback : TMoment::ChangesDocument;
  if (document || (m.Flags & kReads)) return TMoment::ReadsDocument;
  return TMoment::Any;
}

// A menu handler served by a bus client: a click calls its Execute without waiting for the answer
// (the call has no time limit of its own: a handler may take as long as it likes), and an error
// answer is shown to the user under the item's caption.
class BusMenuHandler : public addin::IIntfMenuHandler {
public:
  BusMenuHandler(QDBusConnection connection, QString service, QString path, QAction* item, QObject* context)
      : connection_(std::move(connection)), service_(std::move(service)), path_(std::move(path)), item_(item),
        context_(context) {}
  const QString& Service() const { return service_; }
  bool Execute(int tag) override {
    QDBusMessage call = QDBusMessage::createMethodCall(service_, path_, QStringLiteral("com.larkspur.Movinta.MenuHandler"),
                                                       QStringLiteral("Execute"));
    call << tag;
    // INT_MAX is "no timeout" to the bus library.
    auto* watcher = new QDBusPendingCallWatcher(connection_.asyncCall(call, INT_MAX), context_.data());
    pending_.append(watcher);
    const QPointer<QAction> item = item_;
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     editor::Guarded([item](QDBusPendingCallWatcher* w) {
                       w->deleteLater();
                       if (!w->isError()) return;
                       // A client that left answers nothing more: its calls end without a word.
                       const QDBusError::ErrorType type = w->error().type();
                       if (type == QDBusError::NoReply || type == QDBusError::Disconnected ||
                           type == QDBusError::ServiceUnknown)
                         return;
                       editor::ShowMessage(HandlerFailure(item ? item->text() : QString(), w->error().message()),
                                           editor::MessageType::Error);
                     }));
    return true;
  }
  // The client left: what it was asked and has not answered is dropped.
  void DropPending() {
    for (const QPointer<QDBusPendingCallWatcher>& w : std::as_const(pending_)) delete w.data();
    pending_.clear();
  }

  // The text of a handler's error, cut to what a message box can show.
  static QString HandlerFailure(QString caption, QString error) {
    constexpr int kCaptionChars = 60, kErrorChars = 400;
    caption.remove(QLatin1Char('&'));
    if (caption.size() > kCaptionChars) caption = caption.left(kCaptionChars) + QStringLiteral("...");
    if (error.size() > kErrorChars) error = error.left(kErrorChars) + QStringLiteral("...");
    return QStringLiteral("The add-in could not carry out \"%1\": %2").arg(caption, error);
  }

private:
  QDBusConnection connection_;
  QString service_;
  QString path_;
  QPointer<QAction> item_;
  QPointer<QObject> context_;
  QList<QPointer<QDBusPendingCallWatcher>> pending_;
};

QString Root() { return QString::fromLatin1(kRootPath); }
QString ApplicationPath() { return Root() + QStringLiteral("/Application"); }
QString DocumentsPath() { return Root() + QStringLiteral("/Documents"); }
QString ActivePath() { return Root() + QStringLiteral("/ActiveDocument"); }
QString FramesPath() { return ActivePath() + QStringLiteral("/Frames"); }
QString MenusPath() { return Root() + QStringLiteral("/Menus"); }
QString DocumentPath(std::uint64_t serial) { return DocumentsPath() + QStringLiteral("/d%1").arg(serial); }
QString FramePath(std::uint64_t serial) { return FramesPath() + QStringLiteral("/f%1").arg(serial); }

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

// A menu item on the bus: the handle, as the table's object.
struct MenuObject : TAutomationObject {
  explicit MenuObject(std::shared_ptr<TIntfMenuItem> item) : Item(std::move(item)) {}
  std::shared_ptr<TIntfMenuItem> Item;
};

// The item and the menu it was reached through, which the dispatcher turns into the item's path.
QVariantList MenuValue(const std::shared_ptr<addin::IIntfMenuItem>& item) {
  const auto& handle = static_cast<TIntfMenuItem&>(*item);
  return {QVariant::fromValue<QObject*>(handle.Item()), QVariant::fromValue<QObject*>(handle.Place())};
}

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

constexpr const char* kStandardInterfaces =
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

// ---- values from clients

// Converts a property value to the property's type; false when it does not fit.
bool TakeValue(const QVariant& in, const char* type, QVariant& out) {
  const int id = in.metaType().id();
  switch (type[0]) {
    case 'b':
      if (id != QMetaType::Bool) return false;
      out = in;
      return true;
    case 's':
      if (id != QMetaType::QString) return false;
      out = in;
      return true;
    case 'i': {
      switch (id) {
        case QMetaType::Int: case QMetaType::Short: case QMetaType::UShort: case QMetaType::UChar:
        case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong: break;
        default: return false;
      }
      bool ok = false;
      const qlonglong v = in.toLongLong(&ok);
      if (id == QMetaType::ULongLong && in.toULongLong() > static_cast<qulonglong>(INT_MAX)) return false;
      if (!ok || v < INT_MIN || v > INT_MAX) return false;
      out = static_cast<int>(v);
      return true;
    }
    default: return false;
  }
}

}  // namespace

// ---- the bus object

struct TAutomationBus::Resolved {
  const Interface* Iface = nullptr;
  std::shared_ptr<TAutomationObject> Object;
  QStringList Children;
  bool Known = false;  // the path names a node of the tree
  QString Gone;        // the path named an object that no longer exists
};

TAutomationBus::TAutomationBus(std::shared_ptr<TGIFApplication> application, QObject* parent)
    : QDBusVirtualObject(parent), application_(std::move(application)) {
  activeDocument_ = std::make_shared<TActiveDocument>(application_->Host());
}

TAutomationBus::~TAutomationBus() {
  if (published_) connection_.unregisterObject(Root(), QDBusConnection::UnregisterTree);
}

bool TAutomationBus::Publish(QDBusConnection connection, QStringList* warnings) {
  auto warn = [warnings](const QString& text) {
    if (warnings) warnings->append(text);
  };
  if (!connection.isConnected()) {
    warn(QStringLiteral("No session bus: automation clients cannot reach the editor (%1)")
             .arg(connection.lastError().message()));
    return false;
  }
  if (!connection.registerVirtualObject(Root(), this, QDBusConnection::SubPath)) {
    warn(QStringLiteral("The automation objects could not be served: %1").arg(connection.lastError().message()));
    return false;
  }
  connection_ = connection;
  published_ = true;
  const QString instance =
      QStringLiteral("%1.instance%2").arg(QLatin1String(kServiceName)).arg(QCoreApplication::applicationPid());
  if (!connection.registerService(instance))
    warn(QStringLiteral("The bus name %1 could not be had: %2").arg(instance, connection.lastError().message()));
  if (!connection.registerService(QLatin1String(kServiceName)))
    warn(QStringLiteral("The bus name %1 is held by another editor; this one answers as %2")
             .arg(QLatin1String(kServiceName), instance));
  return true;
}

QString TAutomationBus::MenuPath(QAction* item, QWidget* place) {
  for (auto it = menus_.cbegin(); it != menus_.cend(); ++it)
    if (it.value().Item == item && it.value().Place == place) return MenusPath() + QStringLiteral("/m%1").arg(it.key());
  const quint64 n = nextMenu_++;
  menus_.insert(n, {item, place});
  return MenusPath() + QStringLiteral("/m%1").arg(n);
}

TAutomationBus::Resolved TAutomationBus::Resolve(const QString& path) const {
  Resolved r;
  IAutomationHost& host = application_->Host();
  auto serialOf = [](const QString& name, QChar prefix, bool& ok) -> std::uint64_t {
    ok = name.size() > 1 && name.front() == prefix;
    return ok ? name.mid(1).toULongLong(&ok) : 0;
  };
  if (path == Root()) {
    r.Known = true;
    r.Children = {QStringLiteral("Application"), QStringLiteral("Documents"), QStringLiteral("ActiveDocument"),
                  QStringLiteral("Menus")};
  } else if (path == ApplicationPath()) {
    r = {&ApplicationInterface(), application_, {}, true, {}};
  } else if (path == DocumentsPath()) {
    r = {&DocumentsInterface(), application_->DocumentCache(), {}, true, {}};
    for (int i = 0; i < host.Documents().Count(); ++i)
      r.Children << QStringLiteral("d%1").arg(host.Documents().At(i)->Serial);
  } else if (path == ActivePath()) {
    r = {&ActiveDocumentInterface(), activeDocument_, {QStringLiteral("Frames")}, true, {}};
  } else if (path == FramesPath()) {
    r = {&FramesInterface(), activeDocument_->Frames(), {}, true, {}};
    gif::TGIFImage& image = *editor::SharedImage();
    for (int i = 0; i < image.Images().GetCount(); ++i)
      r.Children << QStringLiteral("f%1").arg(image.Images().GetFrame(i)->Serial());
  } else if (path == MenusPath()) {
    r.Known = true;
    for (auto it = menus_.cbegin(); it != menus_.cend(); ++it)
      if (it.value().Item) r.Children << QStringLiteral("m%1").arg(it.key());
  } else if (path.startsWith(DocumentsPath() + QLatin1Char('/'))) {
    bool ok = false;
    const std::uint64_t serial = serialOf(path.mid(DocumentsPath().size() + 1), QLatin1Char('d'), ok);
    if (!ok) return r;
    auto document = std::make_shared<TDocumentCache>(host, serial);
    if (!document->Exists()) {
      r.Gone = QStringLiteral("The document %1 no longer exists").arg(path);
      return r;
    }
    r = {&DocumentCacheInterface(), document, {}, true, {}};
  } else if (path.startsWith(FramesPath() + QLatin1Char('/'))) {
    bool ok = false;
    const std::uint64_t serial = serialOf(path.mid(FramesPath().size() + 1), QLatin1Char('f'), ok);
    if (!ok) return r;
    auto frame = std::make_shared<TGIFFrame>(host, serial);
    if (!frame->Exists()) {
      // Frames are named by a number of their own, not by their place: a script that guessed a
      // name is told where names come from.
      r.Gone = QStringLiteral("No frame of the active document is named %1: it was removed or read back anew, or "
                              "the name was never given (Frames.Frame(index) and Frames.Items name the frames)")
                   .arg(path);
      return r;
    }
    r = {&FrameInterface(), frame, {}, true, {}};
  } else if (path.startsWith(MenusPath() + QLatin1Char('/'))) {
    bool ok = false;
    const std::uint64_t serial = serialOf(path.mid(MenusPath().size() + 1), QLatin1Char('m'), ok);
    if (!ok) return r;
    const MenuEntry entry = menus_.value(serial);
    if (!entry.Item) {
      r.Gone = QStringLiteral("The menu item %1 no longer exists").arg(path);
      return r;
    }
    r = {&MenuItemInterface(),
         std::make_shared<MenuObject>(std::make_shared<TIntfMenuItem>(entry.Item, &host, entry.Place)), {}, true, {}};
  }
  return r;
}

QString TAutomationBus::IntrospectionXml(const QString& path) const {
  const Resolved r = Resolve(path);
  if (!r.Known) return {};
  QString xml = QStringLiteral(
      "<!DOCTYPE node PUBLIC \"-//freedesktop//DTD D-BUS Object Introspection 1.0//EN\"\n"
      " \"http://www.freedesktop.org/standards/dbus/1.0/introspect.dtd\">\n<node>\n");
  xml += QLatin1String(kStandardInterfaces);
  if (r.Iface) xml += InterfaceXml(*r.Iface);
  for (const QString& child : r.Children) xml += QStringLiteral("  <node name=\"%1\"/>\n").arg(child);
  return xml + QStringLiteral("</node>\n");
}

QString TAutomationBus::introspect(const QString& path) const {
  const Resolved r = Resolve(path);
  return r.Iface ? InterfaceXml(*r.Iface) : QString();
}

// Every call of a bus client enters the editor here: whatever escapes a member is answered as an
// error, and the editor goes on serving.
bool TAutomationBus::handleMessage(const QDBusMessage& message, const QDBusConnection& connection) {
  try {
    editor::GuardedScope scope;
    return Dispatch(message, connection);
  } catch (...) {
    QString text = QStringLiteral("Unknown error");
    try {
      throw;
    } catch (const std::bad_alloc&) {
      text = QStringLiteral("Out of memory");
    } catch (const std::exception& e) {
      text = QString::fromLocal8Bit(e.what());
    } catch (...) {
    }
    try {
      if (message.isReplyRequired())
        QDBusConnection(connection).send(
            message.createErrorReply(QLatin1String(kErrorPrefix) + QLatin1String(kErrorFailed), text));
    } catch (...) {
      editor::ReportCurrentException();
    }
    return true;
  }
}

bool TAutomationBus::Dispatch(const QDBusMessage& message, const QDBusConnection& connection) {
  if (message.type() != QDBusMessage::MethodCallMessage) return false;
  QDBusConnection bus = connection;
  auto send = [&](const QDBusMessage& reply) {
    if (!message.isReplyRequired()) return true;
    bus.send(reply);
    return true;
  };
  auto error = [&](const QString& name, const QString& text) { return send(message.createErrorReply(name, text)); };
  auto dbusError = [&](const char* name, const QString& text) {
    return error(QStringLiteral("org.freedesktop.DBus.Error.") + QLatin1String(name), text);
  };

  const QString path = message.path();
  const QString iface = message.interface();
  const QString member = message.member();
  const Resolved r = Resolve(path);
  if (!r.Known) {
    if (!r.Gone.isEmpty()) return dbusError("UnknownObject", r.Gone);
    return dbusError("UnknownObject", QStringLiteral("No such object path '%1'").arg(path));
  }

  if (iface == QLatin1String("org.freedesktop.DBus.Introspectable") && member == QLatin1String("Introspect"))
    return send(message.createReply(IntrospectionXml(path)));
  if (iface == QLatin1String("org.freedesktop.DBus.Peer")) {
    if (member == QLatin1String("Ping")) return send(message.createReply());
    return dbusError("UnknownMethod", QStringLiteral("No such method '%1'").arg(member));
  }

  IAutomationHost& host = application_->Host();
  auto run = [&](const Member& m, const std::function<QDBusMessage()>& body, bool getting = false) -> bool {
    try {
      CheckMoment(host, MomentOf(m, r.Iface && r.Iface->Document, getting));
      return send(body());
    } catch (const AutomationError& e) {
      if (QLatin1String(e.Kind()) == QLatin1String(kErrorUnknownObject)) return dbusError("UnknownObject", e.Message());
      // A value the call cannot take is a bad argument, as the bus names it.
      if (QLatin1String(e.Kind()) == QLatin1String(kErrorInvalidValue)) return dbusError("InvalidArgs", e.Message());
      return error(QLatin1String(kErrorPrefix) + QLatin1String(e.Kind()), e.Message());
    } catch (const std::exception& e) {
      return error(QLatin1String(kErrorPrefix) + QLatin1String(kErrorFailed), QString::fromStdString(e.what()));
    }
  };

  if (iface == QLatin1String("org.freedesktop.DBus.Properties")) {
    const QVariantList args = message.arguments();
    const QString sig = message.signature();
    if (!r.Iface) {
      if (member == QLatin1String("GetAll") && sig == QLatin1String("s")) return send(message.createReply(QVariantMap()));
      return dbusError("UnknownInterface", QStringLiteral("The object %1 has no properties").arg(path));
    }
    const QString wanted = args.value(0).toString();
    if (!wanted.isEmpty() && wanted != QLatin1String(r.Iface->Name))
      return dbusError("UnknownInterface", QStringLiteral("No such interface '%1' at %2").arg(wanted, path));
    if (member == QLatin1String("GetAll") && sig == QLatin1String("s")) {
      Member all{"GetAll", false, "", "", "", 0, 0, {}, {}};
      for (const Member& m : r.Iface->Members)
        if (m.Property && (m.Flags & kReads)) all.Flags |= kReads;
      return run(all, [&] {
        QVariantMap values;
        for (const Member& m : r.Iface->Members)
          if (m.Property) values.insert(QLatin1String(m.Name), m.Call(*r.Object, {}).value(0));
        return message.createReply(QVariant::fromValue(values));
      });
    }
    if ((member == QLatin1String("Get") && sig == QLatin1String("ss")) ||
        (member == QLatin1String("Set") && sig == QLatin1String("ssv"))) {
      const QString name = args.value(1).toString();
      const Member* m = r.Iface->Find(name, true);
      if (!m) return dbusError("UnknownProperty", QStringLiteral("No such property '%1' in '%2'").arg(name, QLatin1String(r.Iface->Name)));
      if (member == QLatin1String("Get")) {
        return run(*m, [&] {
          return message.createReply(QVariant::fromValue(QDBusVariant(m->Call(*r.Object, {}).value(0))));
        }, true);
      }
      if (!(m->Flags & kWritable) || !m->Set)
        return dbusError("PropertyReadOnly", QStringLiteral("The property '%1' cannot be set").arg(name));
      QVariant value;
      if (!TakeValue(args.value(2).value<QDBusVariant>().variant(), m->Signature, value))
        return dbusError("InvalidArgs",
                         QStringLiteral("The property '%1' takes a value of type '%2'").arg(name, QLatin1String(m->Signature)));
      return run(*m, [&] {
        m->Set(*r.Object, value);
        return message.createReply();
      });
    }
    return dbusError("UnknownMethod", QStringLiteral("No such method '%1' with signature '%2'").arg(member, sig));
  }

  if (!r.Iface || (!iface.isEmpty() && iface != QLatin1String(r.Iface->Name)))
    return dbusError("UnknownInterface", QStringLiteral("No such interface '%1' at %2").arg(iface, path));
  const Member* m = r.Iface->Find(member, false);
  if (!m) return dbusError("UnknownMethod", QStringLiteral("No such method '%1' in '%2'").arg(member, QLatin1String(r.Iface->Name)));
  if (message.signature() != QLatin1String(m->Signature))
    return dbusError("InvalidArgs", QStringLiteral("'%1' takes arguments '%2', not '%3'")
                                        .arg(member, QLatin1String(m->Signature), message.signature()));
  const QVariantList args = message.arguments();

  if (m->Flags & kCaller) {
    // SetMenuHandler: the handler lives at a path of the caller, and goes when the caller leaves.
    auto& object = static_cast<MenuObject&>(*r.Object);
    const QString handlerPath = args.value(0).value<QDBusObjectPath>().path();
    const QString caller = message.service();
    return run(*m, [&] {
      std::shared_ptr<addin::IIntfMenuHandler> handler;
      if (handlerPath != QLatin1String("/") && !caller.isEmpty())
        handler = std::make_shared<BusMenuHandler>(bus, caller, handlerPath, object.Item->Item(), this);
      object.Item->SetMenuHandler(handler);
      if (handler) WatchHandler(bus, qobject_cast<TAutomatedMenu*>(object.Item->Item()), caller);
      return message.createReply();
    });
  }
  if (m->Flags & kDelayed) {
    // Wait: the reply goes out from a timer, so the editor goes on serving meanwhile.
    const int ms = args.value(0).toInt();
    if (ms < 0)
      return dbusError("InvalidArgs", QStringLiteral("The time to wait must not be negative, not %1").arg(ms));
    message.setDelayedReply(true);
    const QDBusMessage reply = message.createReply();
    QTimer::singleShot(ms, this, editor::Guarded([bus, reply]() mutable { bus.send(reply); }));
    return true;
  }
  if (m->Flags & kAfterReply) {
    try {
      CheckMoment(host, MomentOf(*m, r.Iface->Document, false));
    } catch (const AutomationError& e) {
      return error(QLatin1String(kErrorPrefix) + QLatin1String(e.Kind()), e.Message());
    }
    send(message.createReply());
    std::shared_ptr<TAutomationObject> object = r.Object;
    const Getter call = m->Call;
    QTimer::singleShot(0, this, editor::Guarded([object, call] { call(*object, {}); }));
    return true;
  }
  return run(*m, [&] {
    QVariantList out = m->Call(*r.Object, args);
    if (m->Flags & kMenuItem)
      out = {PathValue(MenuPath(qobject_cast<QAction*>(out.value(0).value<QObject*>()),
                                qobject_cast<QWidget*>(out.value(1).value<QObject*>())))};
    return message.createReply(out);
  });
}

void TAutomationBus::WatchHandler(const QDBusConnection& connection, TAutomatedMenu* item, const QString& client) {
  if (!watcher_) {
    watcher_ = new QDBusServiceWatcher(QString(), connection, QDBusServiceWatcher::WatchForUnregistration, this);
    connect(watcher_, &QDBusServiceWatcher::serviceUnregistered, this, editor::Guarded(this, &TAutomationBus::ClientLeft));
  }
  handled_.append(item);
  watcher_->addWatchedService(client);
  // A client that left before the watch began would never be noticed.
  if (QDBusConnectionInterface* daemon = connection.interface(); daemon && !daemon->isServiceRegistered(client))
    ClientLeft(client);
}

void TAutomationBus::ClientLeft(const QString& client) {
  for (const QPointer<TAutomatedMenu>& item : std::as_const(handled_)) {
    if (!item) continue;
    auto* handler = dynamic_cast<BusMenuHandler*>(item->Handler().get());
    if (handler && handler->Service() == client) {
      handler->DropPending();
      item->SetHandler(nullptr);
    }
  }
  handled_.removeIf([](const QPointer<TAutomatedMenu>& item) {
    return !item || !dynamic_cast<BusMenuHandler*>(item->Handler().get());
  });
  if (watcher_) watcher_->removeWatchedService(client);
}

}  // namespace movinta::automation
