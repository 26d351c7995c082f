// The automation objects over the running editor: the application, the list of open documents
// and a handle on each, the active document, its frames and a handle on each frame. Scripts reach
// them over the session bus (automation/dbus_front.h); add-ins get the same objects in process.
//
// Objects are shared: a member that hands out an object returns a new shared handle. A document
// or frame handle names its target by a serial number that is never reused, so once the target
// is gone (closed, switched away, undone, deleted) every member of the handle fails with
// UnknownObject instead of touching freed memory. Members that need the active document do
// nothing and give their initial value when there is none.
#pragma once

#include "automation/automation_host.h"
#include "automation/menu_item.h"

#include <QAction>
#include <QByteArray>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

class QMenu;

namespace movinta::automation {

// Kinds of failure, also the last part of the error name a bus client receives.
inline constexpr const char* kErrorFailed = "Failed";
inline constexpr const char* kErrorBusy = "Busy";
inline constexpr const char* kErrorInvalidValue = "InvalidValue";
inline constexpr const char* kErrorNoSuchMenu = "NoSuchMenu";
inline constexpr const char* kErrorUnknownObject = "UnknownObject";

class AutomationError : public std::runtime_error {
public:
  AutomationError(const char* kind, const QString& message)
      : std::runtime_error(message.toStdString()), kind_(kind) {}
  const char* Kind() const { return kind_; }
  QString Message() const { return QString::fromStdString(what()); }

private:
  const char* kind_;
};

// The enumerations of the type library.
enum TCurrentViewType { cvEditFrame = 0, cvPreview = 1 };
enum TThumbsFilterType { iftAll = 0, iftGif = 1, iftJpg = 2, iftBmp = 3 };
enum TIDisposalMethod { idmNone = 0, idmRemove = 1, idmBackground = 2, idmPrevious = 3 };

// Results of the Windows message box and of the enumerator.
inline constexpr int S_OK_ = 0;
inline constexpr int S_FALSE_ = 1;

// The largest picture a client may hand in: 16-bit sides and a memory budget.
inline constexpr int kMaxPictureSide = 65535;
inline constexpr qint64 kMaxPictureBytes = 256LL * 1024 * 1024;

// Reads a picture in any format Qt reads; refuses (InvalidValue) sides above 65535 or more than
// the memory budget. Empty bytes give an empty bitmap; bytes that hold no picture give false.
bool PictureFromBytes(const QByteArray& bytes, gif::Bitmap& bitmap);
// A BMP file of the picture; empty for an empty one.
QByteArray BmpBytes(const QImage& picture);

class TAutomationObject {
public:
  virtual ~TAutomationObject() = default;
};

class TDocumentCache;
class TActiveDocument;
class TGIFFrame;
class TGIFFrames;

// What an enumerator needs of a collection.
class IVariantCollection {
public:
  virtual ~IVariantCollection() = default;
  virtual int ItemCount() = 0;
  virtual std::shared_ptr<TAutomationObject> ItemAt(int index) = 0;
};

// Walks a collection; the count is read again before every element, so elements removed
// meanwhile end the walk early. Holds the collection for its own life.
class TEnumVariantCollection {
public:
  explicit TEnumVariantCollection(std::shared_ptr<IVariantCollection> collection);
  // Up to celt elements into out; S_OK_ when celt were fetched, S_FALSE_ otherwise.
  int Next(int celt, std::vector<std::shared_ptr<TAutomationObject>>& out, int* fetched = nullptr);
  int Skip(int celt);
  int Reset();
  // A new enumerator over the same collection, from the start.
  std::shared_ptr<TEnumVariantCollection> Clone() const;
  int Position() const { return position_; }

private:
  std::shared_ptr<IVariantCollection> collection_;
  int position_ = 0;
};

// One open document.
class TDocumentCache : public TAutomationObject {
public:
  TDocumentCache(IAutomationHost& host, std::uint64_t serial) : host_(host), serial_(serial) {}
  std::uint64_t Serial() const { return serial_; }
  // The document, or UnknownObject when it has been closed.
  editor::TMDIChild& Document() const;
  bool Exists() const;

  bool CanUndo() const;
  bool CanRedo() const { return false; }
  bool Modified() const { return Document().Modified; }
  QString FileName() const { return Document().FileName; }
  bool ReadOnly() const { return Document().ReadOnly; }
  void MakeActive();

private:
  IAutomationHost& host_;
  std::uint64_t serial_;
};

// The open documents, in the order the main window keeps them.
class TDocuments : public TAutomationObject, public IVariantCollection,
                   public std::enable_shared_from_this<TDocuments> {
public:
  explicit TDocuments(IAutomationHost& host) : host_(host) {}
  int Count() const;
  // Null when the index is out of range.
  std::shared_ptr<TDocumentCache> Cache(int index) const;
  std::shared_ptr<TEnumVariantCollection> NewEnum();

  int ItemCount() override { return Count(); }
  std::shared_ptr<TAutomationObject> ItemAt(int index) override { return Cache(index); }

private:
  IAutomationHost& host_;
};

// One frame of the working image (the active document's animation).
class TGIFFrame : public TAutomationObject {
public:
  TGIFFrame(IAutomationHost& host, std::uint64_t serial) : host_(host), serial_(serial) {}
  std::uint64_t Serial() const { return serial_; }
  // The frame, or UnknownObject when it has left the working image.
  gif::TGIFSubImage& Frame() const;
  int Index() const;
  bool Exists() const;

  // A BMP file of the frame's picture; empty for an empty frame.
  QByteArray Bitmap() const;
  QString Comments() const;
  bool Empty() const;
  int Extensions() const;
  int Left() const { return Frame().GetLeft(); }
  int Top() const { return Frame().GetTop(); }
  int Height() const { return Frame().GetHeight(); }
  int Width() const { return Frame().GetWidth(); }
  bool Interlaced() const { return Frame().GetInterlaced(); }
  bool LocalPalette() const;
  bool Transparent() const { return Frame().Transparent(); }
  // Hundredths of a second; -1 without a graphic control block.
  int Delay() const;
  int Disposal() const;

  // Setters record an undo entry for this frame, change it and mark the document modified; a
  // value equal to the current one changes nothing.
  void SetLeft(int value);
  void SetTop(int value);
  void SetInterlaced(bool value);
  void SetHeight(int) {}
  void SetWidth(int) {}
  void SetTransparent(bool value);
  // Values outside 1..65535 are ignored.
  void SetDelay(int value);
  void SetDisposal(int value);
  bool SetBitmap(const QByteArray& picture);

private:
  // The undo entry of an edit of this frame, in the active document.
  using RecordChange = void (*)(editor::TMDIChild& document, int frameIndex, const QString& caption);
  editor::TMDIChild& RecordEdit(RecordChange record, const char* name);
  void SetOffset(int which, int value);
  IAutomationHost& host_;
  std::uint64_t serial_;
};

class TGIFFrames : public TAutomationObject, public IVariantCollection,
                   public std::enable_shared_from_this<TGIFFrames> {
public:
  explicit TGIFFrames(IAutomationHost& host) : host_(host) {}
  int Count() const;
  std::shared_ptr<TGIFFrame> Frame(int index) const;
  std::shared_ptr<TEnumVariantCollection> NewEnum();

  int ItemCount() override { return Count(); }
  std::shared_ptr<TAutomationObject> ItemAt(int index) override { return Frame(index); }

private:
  IAutomationHost& host_;
};

// Whichever document is active at the moment of each call.
class TActiveDocument : public TAutomationObject {
public:
  explicit TActiveDocument(IAutomationHost& host) : host_(host) {}

  bool CanUndo() const;
  bool CanRedo() const { return false; }
  void Undo();
  void Redo() {}
  QString FileName() const;
  bool Modified() const;
  void SetModified(bool value);
  bool ReadOnly() const;
  void SetReadOnly(bool value);
  // A BMP file of the frame the document's window shows; empty without a document.
  QByteArray CurrentBitmap() const;
  int TabIndex() const;
  int SelectedFrame() const;
  void SetSelectedFrame(int index);
  bool Optimized() const { return false; }
  void Clear() {}
  bool Close(bool promptToSave);
  void Print(bool, bool) {}
  void Reload(bool) {}
  bool Save();
  void PlayAnimation();
  void StopAnimation();
  // The new frame's index, -1 when the picture is empty or the insert was cancelled.
  int AddFrame(const QByteArray& picture, int delay);
  void InsertFrame(int, const QByteArray&) {}
  void DeleteFrame(int index);
  bool ExportToAVI();
  bool ImportFromAVI(const QString& file);
  QString HTMLCode(const QString& url, const QString& hint, int border) const;
  int NSLoop() const;
  void SetNSLoop(int plays);
  void Optimize() {}
  bool AddFrameNoPrompts(const QByteArray& picture, int delay);
  bool SaveDocToTempFile(const QString& fileName);
  std::shared_ptr<TGIFFrames> Frames();

private:
  editor::TMDIChild* Active() const { return host_.Documents().Active(); }
  IAutomationHost& host_;
  std::shared_ptr<TGIFFrames> frames_;
};

// The last item whose caption without "&" equals each "|"-separated part, level by level; null
// when the path does not resolve. place, when given, gets the menu the item was found in (null for
// an item of the menu bar).
QAction* ResolveMenuPath(const QList<QAction*>& topItems, const QString& path, QMenu** place = nullptr);

class TGIFApplication : public TAutomationObject {
public:
  explicit TGIFApplication(IAutomationHost& host) : host_(host) {}
  IAutomationHost& Host() { return host_; }

  // Null without an active document.
  std::shared_ptr<TActiveDocument> ActiveDocument();
  QString AppPath() const;
  QString CurrentFolder() const { return host_.CurrentFolder(); }
  void SetCurrentFolder(const QString& folder) { host_.SetCurrentFolder(folder); }
  int CurrentView() const { return cvEditFrame; }
  void SetCurrentView(int) {}
  std::shared_ptr<TDocuments> DocumentCache();
  QString ExeName() const;
  int Height() const { return host_.WindowRect().height(); }
  void SetHeight(int value);
  int HInstance() const;
  qulonglong hWnd() const { return host_.WindowId(); }
  int Left() const { return host_.WindowRect().left(); }
  void SetLeft(int value);
  bool ThumbnailsShowing() const { return host_.ThumbnailsShowing(); }
  void SetThumbnailsShowing(bool value) { host_.SetThumbnailsShowing(value); }
  int Top() const { return host_.WindowRect().top(); }
  void SetTop(int value);
  QString VersionText() const { return QStringLiteral("4.0"); }
  int WindowState() const { return host_.WindowState(); }
  // Values outside 0..2 set the normal state.
  void SetWindowState(int value);
  int Width() const { return host_.WindowRect().width(); }
  void SetWidth(int value);
  void BringToFront() { host_.BringToFront(); }
  bool CloseAll(bool promptToSave);
  QString ExtractFileName(const QString& file) const;
  QString ExtractFilePath(const QString& file) const;
  bool GetImageSize(const QString& file, int& height, int& width);
  void HideProgress() { host_.HideProgress(); }
  QString InputBox(const QString& caption, const QString& prompt, const QString& defaultText);
  bool IsFileOpen(const QString& file) { return host_.IsFileOpen(file); }
  bool IsImageAnimation(const QString& file) const;
  int MessageBox(const QString& text, const QString& caption, int flags);
  void NewDocument(int) { host_.NewDocument(); }
  bool OpenFile(const QString& file) { return host_.OpenFile(file); }
  void NextDoc() { host_.NextDocument(); }
  void PreviousDoc() { host_.PreviousDocument(); }
  void Quit() { host_.Quit(); }
  bool SaveAll() { return host_.SaveAll(); }
  void SendToBack() { host_.SendToBack(); }
  void SetProgress(int position) { host_.SetProgress(position); }
  void SetStatusText(const QString& text) { host_.SetStatusText(text); }
  void StatusWarning(const QString&) {}
  void StatusError(const QString&) {}
  void LoadThumbnails(const QString& folder) { host_.LoadThumbnails(folder); }
  void ShowProgress() { host_.ShowProgress(); }
  bool ShellToApp(const QString& file) { return host_.ShellExecute(file); }
  void ShellToAppAndWait(const QString&) {}
  // Pumps events for that long, never blocking the editor; a negative time is refused.
  void Wait(int milliseconds);
  int DocumentIndex() const { return host_.DocumentIndex(); }
  void SetDocumentIndex(int index);
  bool ExplorerShowing() const { return host_.ExplorerShowing(); }
  void SetExplorerShowing(bool value) { host_.SetExplorerShowing(value); }
  int ThumbnailImageFilter() const { return iftAll; }
  void SetThumbnailImageFilter(int) {}
  void Cascade() { host_.Cascade(); }
  void TileHorizontal() { host_.TileHorizontal(); }
  void TileVertical() { host_.TileVertical(); }
  int TabIndexForFile(const QString& file) const { return host_.TabIndexForFile(file); }
  bool MenuExists(const QString& path) const;
  // NoSuchMenu "Menu<path>does not exist!" when the path does not resolve.
  std::shared_ptr<TIntfMenuItem> Menu(const QString& path);
  QString ThumbNailFileName() const { return host_.ThumbnailFileName(); }

private:
  IAutomationHost& host_;
  std::shared_ptr<TDocuments> documents_;
};

// What a member of an automation object may do, for when the editor takes it.
enum class TMoment {
  Any,
  // Reads a document or the working image.
  ReadsDocument,
  // Can switch, change, close or open a document, start a scan or other long work, or show one of
  // the editor's own error boxes.
  ChangesDocument,
  // Stops playback: changes a document, but is the way out of a playing animation.
  StopsPlayback,
};
// Busy when the editor cannot take such a member now: a change waits for every dialog, question,
// progress window, playback and long operation; reading waits for long operations only.
void CheckMoment(const IAutomationHost& host, TMoment what);
// Busy while an animation plays.
void CheckNotPlaying(const IAutomationHost& host);

// Checks a value a client handed in; InvalidValue with the text when it is outside low..high.
void CheckRange(int value, int low, int high, const char* what);

}  // namespace movinta::automation
