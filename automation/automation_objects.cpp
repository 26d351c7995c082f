#include "automation/automation_objects.h"

#include "editor/image_import.h"
#include "editor/model/frame_values.h"
#include "editor/model/registry.h"
#include "editor/model/settings.h"
#include "editor/model/undo_captions.h"
#include "editor/model/undo_records.h"
#include "editor/widget_helpers.h"
#include "gif/qt/qimage_adapter.h"

#include <QAction>
#include <QBuffer>
#include <QCoreApplication>
#include <QEventLoop>
#include <QImageReader>
#include <QMenu>
#include <QTimer>

#include <algorithm>
#include <limits>

namespace movinta::automation {

using editor::SharedImage;
using editor::TMDIChild;
namespace undo_captions = editor::undo_captions;
using gif::TGIFSubImage;

namespace {
constexpr const char* kNoLongerExists = "The %1 %2 no longer exists";
constexpr const char* kTooLarge = "The picture is too large: %1 x %2";
constexpr const char* kOutOfRange = "%1 must be between %2 and %3, not %4";
constexpr const char* kMenuMissing = "Menu%1does not exist!";
constexpr const char* kHtmlCode = "<A HREF=\"%1\"><IMG SRC=\"%2\" HEIGHT=\"%3\" WIDTH=\"%4\" BORDER=\"%5\"></A>";

[[noreturn]] void Gone(const char* what, std::uint64_t serial) {
  throw AutomationError(kErrorUnknownObject,
                        QString::fromLatin1(kNoLongerExists).arg(QLatin1String(what)).arg(serial));
}

TGIFSubImage* FindFrame(std::uint64_t serial) {
  gif::TGIFImage& image = *SharedImage();
  for (int i = 0; i < image.Images().GetCount(); ++i)
    if (TGIFSubImage* f = image.Images().GetFrame(i); f->Serial() == serial) return f;
  return nullptr;
}
}  // namespace

void CheckRange(int value, int low, int high, const char* what) {
  if (value < low || value > high)
    throw AutomationError(kErrorInvalidValue,
                          QString::fromLatin1(kOutOfRange).arg(QLatin1String(what)).arg(low).arg(high).arg(value));
}

void CheckMoment(const IAutomationHost& host, TMoment what) {
  if (what == TMoment::Any) return;
  if (host.Working())
    throw AutomationError(kErrorBusy, QStringLiteral("The editor is busy with a long operation; try again when it has finished"));
  if (what == TMoment::ReadsDocument) return;
  if (host.Busy())
    throw AutomationError(kErrorBusy, QStringLiteral("The editor is waiting for a dialog to be answered; try again when it has closed"));
  if (what == TMoment::ChangesDocument) CheckNotPlaying(host);
}

void CheckNotPlaying(const IAutomationHost& host) {
  if (host.Playing()) throw AutomationError(kErrorBusy, QStringLiteral("The animation is playing; stop it first"));
}

bool PictureFromBytes(const QByteArray& bytes, gif::Bitmap& bitmap) {
  bitmap = gif::Bitmap();
  if (bytes.isEmpty()) return true;
  QBuffer buffer;
  buffer.setData(bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  const QSize size = reader.size();
  if (size.isValid() &&
      (size.width() > kMaxPictureSide || size.height() > kMaxPictureSide ||
       qint64(size.width()) * size.height() * 4 > kMaxPictureBytes))
    throw AutomationError(kErrorInvalidValue, QString::fromLatin1(kTooLarge).arg(size.width()).arg(size.height()));
  const QImage picture = reader.read();
  if (picture.isNull()) return false;
  // As a picture file added from the menus comes in.
  editor::PictureToBitmap(picture, bitmap);
  return true;
}

QByteArray BmpBytes(const QImage& picture) {
  QByteArray bytes;
  if (picture.isNull()) return bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  picture.save(&buffer, "BMP");
  return bytes;
}

// ---- enumerator

TEnumVariantCollection::TEnumVariantCollection(std::shared_ptr<IVariantCollection> collection)
    : collection_(std::move(collection)) {
  if (!collection_) throw AutomationError(kErrorFailed, QStringLiteral("An enumerator needs a collection"));
}

int TEnumVariantCollection::Next(int celt, std::vector<std::shared_ptr<TAutomationObject>>& out, int* fetched) {
  int i = 0;
  for (; i < celt; ++i) {
    if (collection_->ItemCount() <= position_) break;
    out.push_back(collection_->ItemAt(position_));
    ++position_;
  }
  if (fetched) *fetched = i;
  return i == celt ? S_OK_ : S_FALSE_;
}

int TEnumVariantCollection::Skip(int celt) {
  const int count = collection_->ItemCount();
  if (celt >= 0 && position_ + celt <= count) {
    position_ += celt;
    return S_OK_;
  }
  position_ = count;
  return S_FALSE_;
}

int TEnumVariantCollection::Reset() {
  position_ = 0;
  return S_OK_;
}

std::shared_ptr<TEnumVariantCollection> TEnumVariantCollection::Clone() const {
  return std::make_shared<TEnumVariantCollection>(collection_);
}

// ---- documents

TMDIChild& TDocumentCache::Document() const {
  editor::TDocuments& documents = host_.Documents();
  for (int i = 0; i < documents.Count(); ++i)
    if (documents.At(i)->Serial == serial_) return *documents.At(i);
  Gone("document", serial_);
}

bool TDocumentCache::Exists() const {
  editor::TDocuments& documents = host_.Documents();
  for (int i = 0; i < documents.Count(); ++i)
    if (documents.At(i)->Serial == serial_) return true;
  return false;
}

bool TDocumentCache::CanUndo() const {
  TMDIChild& d = Document();
  // Only the active document's state is what the main window's Undo and Save show.
  if (&d == host_.Documents().Active()) d.UpdateUndoState();
  return d.History.Count() > 0;
}

void TDocumentCache::MakeActive() { host_.ActivateDocument(&Document()); }

int TDocuments::Count() const { return host_.Documents().Count(); }

std::shared_ptr<TDocumentCache> TDocuments::Cache(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return std::make_shared<TDocumentCache>(host_, host_.Documents().At(index)->Serial);
}

std::shared_ptr<TEnumVariantCollection> TDocuments::NewEnum() {
  return std::make_shared<TEnumVariantCollection>(shared_from_this());
}

// ---- frames

TGIFSubImage& TGIFFrame::Frame() const {
  if (TGIFSubImage* f = FindFrame(serial_)) return *f;
  Gone("frame", serial_);
}

bool TGIFFrame::Exists() const { return FindFrame(serial_) != nullptr; }

int TGIFFrame::Index() const { return SharedImage()->Images().IndexOf(&Frame()); }

QByteArray TGIFFrame::Bitmap() const {
  TGIFSubImage& f = Frame();
  if (f.IsEmpty()) return {};
  return BmpBytes(gif::qt::ToQImage(f.GetBitmap()));
}

QString TGIFFrame::Comments() const {
  QString text;
  TGIFSubImage& f = Frame();
  for (int e = 0; e < f.Extensions().GetCount(); ++e)
    if (auto* c = dynamic_cast<gif::TGIFCommentExtension*>(f.Extensions().GetExtension(e)))
      text += editor::CommentText(*c) + QStringLiteral("\r\n");
  return text;
}

bool TGIFFrame::Empty() const { return Frame().IsEmpty(); }
int TGIFFrame::Extensions() const { return Frame().Extensions().GetCount(); }
bool TGIFFrame::LocalPalette() const { return Frame().ColorMap().GetCount() > 0; }

int TGIFFrame::Delay() const {
  const gif::TGIFGraphicControlExtension* gce = Frame().GraphicControlExtension();
  return gce ? gce->GetDelay() : -1;
}

int TGIFFrame::Disposal() const {
  const gif::TGIFGraphicControlExtension* gce = Frame().GraphicControlExtension();
  return gce ? (gce->GetDisposal() & 0x7F) : 0;
}

TMDIChild& TGIFFrame::RecordEdit(RecordChange record, const char* name) {
  TMDIChild* document = host_.Documents().Active();
  if (!document) Gone("frame", serial_);
  // The entry names the edited frame, whichever frame the strip has selected.
  record(*document, Index(), undo_captions::ChangeOf(name));
  return *document;
}

void TGIFFrame::SetOffset(int which, int value) {
  TGIFSubImage& f = Frame();
  // The frame must end inside the largest screen a GIF can hold.
  CheckRange(value, 0, which == 1 ? editor::MaxFrameLeft(f.GetWidth()) : editor::MaxFrameTop(f.GetHeight()),
             which == 1 ? "Left" : "Top");
  if (f.GetBoundsValue(which) == value) return;
  TMDIChild& d = RecordEdit(editor::RecordFrameChange, which == 1 ? undo_captions::kXOffset : undo_captions::kYOffset);
  f.SetBoundsValue(which, static_cast<std::uint16_t>(value));
  d.SetModified(true);
  host_.FramesChanged();
}

void TGIFFrame::SetLeft(int value) { SetOffset(1, value); }
void TGIFFrame::SetTop(int value) { SetOffset(2, value); }

void TGIFFrame::SetInterlaced(bool value) {
  TGIFSubImage& f = Frame();
  if (f.GetInterlaced() == value) return;
  TMDIChild& d =
      RecordEdit(editor::RecordFrameChange, value ? undo_captions::kInterlaced : undo_captions::kNonInterlaced);
  f.SetInterlaced(value);
  d.SetModified(true);
  host_.FramesChanged();
}

void TGIFFrame::SetTransparent(bool value) {
  TGIFSubImage& f = Frame();
  gif::TGIFGraphicControlExtension* gce = f.GraphicControlExtension();
  if (!gce || gce->GetTransparent() == value) return;
  TMDIChild& d = RecordEdit(editor::RecordFrameControlChange, undo_captions::kTransparent);
  gce->SetTransparent(value);
  f.FreeBitmap();
  d.SetModified(true);
  host_.FramesChanged();
}

void TGIFFrame::SetDelay(int value) {
  TGIFSubImage& f = Frame();
  gif::TGIFGraphicControlExtension* gce = f.GraphicControlExtension();
  if (!gce || value < 1 || value > 65535 || gce->GetDelay() == value) return;
  TMDIChild& d = RecordEdit(editor::RecordFrameControlChange, undo_captions::kDelay);
  gce->SetDelay(static_cast<std::uint16_t>(value));
  d.SetModified(true);
  host_.FramesChanged();
}

void TGIFFrame::SetDisposal(int value) {
  CheckRange(value, idmNone, idmPrevious, "Disposal");
  TGIFSubImage& f = Frame();
  gif::TGIFGraphicControlExtension* gce = f.GraphicControlExtension();
  if (!gce || (gce->GetDisposal() & 0x7F) == value) return;
  TMDIChild& d = RecordEdit(editor::RecordFrameControlChange, undo_captions::kDisposal);
  gce->SetDisposal(value);
  d.SetModified(true);
  host_.FramesChanged();
}

bool TGIFFrame::SetBitmap(const QByteArray& picture) {
  editor::BusyScope busy;
  gif::Bitmap bitmap;
  if (!PictureFromBytes(picture, bitmap) || bitmap.Empty()) return false;
  const int index = Index();
  TMDIChild& d = RecordEdit(editor::RecordAnimationChange, undo_captions::kFrameImage);
  // Found after the entry is made: keeping the whole animation for it lets events in meanwhile.
  TGIFSubImage& f = Frame();
  gif::TGIFImage& image = *SharedImage();
  // Taking a picture clears the frame; what the picture does not carry is kept: the place, the
  // timing, the comments and, on the first frame, the loop block.
  const int left = f.GetLeft(), top = f.GetTop();
  const gif::TGIFGraphicControlExtension* gce = f.GraphicControlExtension();
  const bool timed = gce != nullptr;
  const int delay = gce ? gce->GetDelay() : 0, disposal = gce ? gce->GetDisposal() : 0;
  const bool looped = index == 0 && editor::HasLoopExtension(image);
  const int plays = looped ? editor::GetLoopCount(image) : 1;
  QStringList comments;
  for (int e = 0; e < f.Extensions().GetCount(); ++e)
    if (auto* c = dynamic_cast<gif::TGIFCommentExtension*>(f.Extensions().GetExtension(e)))
      comments << editor::CommentText(*c);
  bool result = true;
  try {
    f.Assign(bitmap);
    f.SetLeft(static_cast<std::uint16_t>(std::min(left, 65535 - f.GetWidth())));
    f.SetTop(static_cast<std::uint16_t>(std::min(top, 65535 - f.GetHeight())));
    if (timed) {
      editor::SetFrameDelay(f, delay);
      f.GraphicControlExtension()->SetDisposal(disposal);
    }
    if (looped) editor::AddLoopExtension(image, 0, plays);
    for (const QString& text : comments) editor::AddCommentExtension(f, text);
    if (editor::ReadSettingInt(QString::fromLatin1(editor::sections::kSettings), QStringLiteral("PaletteType"), 0) < 2)
      editor::ApplyStandardPalette(image);
  } catch (const std::exception&) {
    result = false;
  }
  if (result) {
    d.SetModified(true);
    host_.FramesChanged();
  }
  return result;
}

int TGIFFrames::Count() const { return SharedImage()->Images().GetCount(); }

std::shared_ptr<TGIFFrame> TGIFFrames::Frame(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return std::make_shared<TGIFFrame>(host_, SharedImage()->Images().GetFrame(index)->Serial());
}

std::shared_ptr<TEnumVariantCollection> TGIFFrames::NewEnum() {
  return std::make_shared<TEnumVariantCollection>(shared_from_this());
}

// ---- active document

bool TActiveDocument::CanUndo() const {
  TMDIChild* d = Active();
  return d && d->UpdateUndoState();
}

void TActiveDocument::Undo() {
  if (Active()) host_.Undo();
}

QString TActiveDocument::FileName() const { return Active() ? Active()->FileName : QString(); }
bool TActiveDocument::Modified() const { return Active() && Active()->Modified; }

void TActiveDocument::SetModified(bool value) {
  if (TMDIChild* d = Active()) d->SetModified(value);
}

bool TActiveDocument::ReadOnly() const { return Active() && Active()->ReadOnly; }

void TActiveDocument::SetReadOnly(bool value) {
  if (TMDIChild* d = Active()) d->ReadOnly = value;
}

QByteArray TActiveDocument::CurrentBitmap() const {
  if (!Active()) return {};
  return BmpBytes(host_.CurrentBitmap());
}

int TActiveDocument::TabIndex() const { return host_.DocumentIndex(); }
int TActiveDocument::SelectedFrame() const { return Active() ? Active()->CurrentFrame : -1; }

void TActiveDocument::SetSelectedFrame(int index) {
  TMDIChild* d = Active();
  if (!d) return;
  if (host_.ShowFrame(index) && Active()) Active()->CurrentFrame = index;
}

bool TActiveDocument::Close(bool) { return Active() && host_.CloseActive(); }

bool TActiveDocument::Save() {
  TMDIChild* d = Active();
  return d && d->SaveDocument(false, d->FileExistsOnDisk());
}

void TActiveDocument::PlayAnimation() {
  if (Active()) host_.PlayAnimation();
}

void TActiveDocument::StopAnimation() {
  if (Active()) host_.StopAnimation();
}

int TActiveDocument::AddFrame(const QByteArray& picture, int) {
  gif::Bitmap bitmap;
  if (!PictureFromBytes(picture, bitmap) || bitmap.Empty()) return -1;
  const int position = Active() ? std::max(0, editor::EditorView()->SelectedFrame()) : 0;
  return host_.InsertBitmapFrame(bitmap, position, undo_captions::Caption(undo_captions::kAddFrame));
}

void TActiveDocument::DeleteFrame(int index) {
  if (!Active()) return;
  CheckRange(index, 0, SharedImage()->Images().GetCount() - 1, "The frame index");
  host_.DeleteFrame(index);
}

bool TActiveDocument::ExportToAVI() { return Active() && host_.ExportToAvi(); }
bool TActiveDocument::ImportFromAVI(const QString& file) { return host_.ImportFromAvi(file); }

QString TActiveDocument::HTMLCode(const QString& url, const QString& hint, int border) const {
  const gif::TGIFImage& image = *SharedImage();
  // One pass, so that a "%2" in the address stays as it is.
  return QString::fromLatin1(kHtmlCode)
      .arg(url, hint, QString::number(image.GetHeight()), QString::number(image.GetWidth()), QString::number(border));
}

int TActiveDocument::NSLoop() const { return static_cast<std::uint16_t>(editor::GetLoopCount(*SharedImage())); }

void TActiveDocument::SetNSLoop(int plays) {
  if (!Active() || plays < 0 || plays > 65535) return;
  host_.SetLoopCount(plays);
}

bool TActiveDocument::AddFrameNoPrompts(const QByteArray& picture, int delay) {
  CheckRange(delay, 0, 65535, "The delay");
  gif::Bitmap bitmap;
  if (!PictureFromBytes(picture, bitmap) || bitmap.Empty()) return false;
  return host_.AddFrameNoPrompts(bitmap, delay);
}

bool TActiveDocument::SaveDocToTempFile(const QString& fileName) {
  QString error;
  return editor::WriteGifFile(*SharedImage(), fileName, false, &error);
}

std::shared_ptr<TGIFFrames> TActiveDocument::Frames() {
  if (!frames_) frames_ = std::make_shared<TGIFFrames>(host_);
  return frames_;
}

// ---- menus

QAction* ResolveMenuPath(const QList<QAction*>& topItems, const QString& path, QMenu** place) {
  QList<QAction*> level = topItems;
  QMenu* levelMenu = nullptr;
  QString rest = path;
  for (;;) {
    const int bar = rest.indexOf(QLatin1Char('|'));
    const QString head = bar < 0 ? rest : rest.left(bar);
    rest = bar < 0 ? QString() : rest.mid(bar + 1);
    QAction* match = nullptr;
    for (QAction* item : level) {
      if (!item || item->isSeparator()) continue;
      if (QString(item->text()).remove(QLatin1Char('&')) == head) match = item;
    }
    if (!match) return nullptr;
    if (bar < 0) {
      if (place) *place = levelMenu;
      return match;
    }
    levelMenu = match->menu();
    level = levelMenu ? levelMenu->actions() : QList<QAction*>();
  }
}

// ---- application

std::shared_ptr<TActiveDocument> TGIFApplication::ActiveDocument() {
  if (!host_.Documents().Active()) return nullptr;
  return std::make_shared<TActiveDocument>(host_);
}

QString TGIFApplication::AppPath() const { return QCoreApplication::applicationDirPath() + QLatin1Char('/'); }

std::shared_ptr<TDocuments> TGIFApplication::DocumentCache() {
  if (!documents_) documents_ = std::make_shared<TDocuments>(host_);
  return documents_;
}

QString TGIFApplication::ExeName() const { return QCoreApplication::applicationFilePath(); }

// The main window stays on the screens: a place or size that would take it off is refused, so
// that it is neither shown nor stored there.
void TGIFApplication::SetHeight(int value) {
  const QRect area = editor::ScreensArea();
  CheckRange(value, std::min(editor::kMinimumWindowSide, area.height()), area.height(), "Height");
  QRect r = host_.WindowRect();
  r.setHeight(value);
  host_.SetWindowRect(editor::KeptOnScreens(r, area));
}

void TGIFApplication::SetWidth(int value) {
  const QRect area = editor::ScreensArea();
  CheckRange(value, std::min(editor::kMinimumWindowSide, area.width()), area.width(), "Width");
  QRect r = host_.WindowRect();
  r.setWidth(value);
  host_.SetWindowRect(editor::KeptOnScreens(r, area));
}

void TGIFApplication::SetLeft(int value) {
  const QRect area = editor::ScreensArea();
  QRect r = host_.WindowRect();
  CheckRange(value, area.left(), area.left() + area.width() - std::min(r.width(), area.width()), "Left");
  r.moveLeft(value);
  host_.SetWindowRect(editor::KeptOnScreens(r, area));
}

void TGIFApplication::SetTop(int value) {
  const QRect area = editor::ScreensArea();
  QRect r = host_.WindowRect();
  CheckRange(value, area.top(), area.top() + area.height() - std::min(r.height(), area.height()), "Top");
  r.moveTop(value);
  host_.SetWindowRect(editor::KeptOnScreens(r, area));
}

int TGIFApplication::HInstance() const { return static_cast<int>(QCoreApplication::applicationPid()); }

void TGIFApplication::SetWindowState(int value) { host_.SetWindowState(value >= 0 && value <= 2 ? value : 0); }

bool TGIFApplication::CloseAll(bool) { return host_.CloseAll(); }

QString TGIFApplication::ExtractFileName(const QString& file) const {
  return file.mid(file.lastIndexOf(QLatin1Char('/')) + 1);
}

QString TGIFApplication::ExtractFilePath(const QString& file) const {
  const int slash = file.lastIndexOf(QLatin1Char('/'));
  return slash < 0 ? QString() : file.left(slash + 1);
}

bool TGIFApplication::GetImageSize(const QString& file, int& height, int& width) {
  width = height = 0;
  if (host_.ImageSize(file, width, height)) return true;
  width = height = 0;
  return false;
}

QString TGIFApplication::InputBox(const QString& caption, const QString& prompt, const QString& defaultText) {
  return host_.InputBox(caption, prompt, defaultText);
}

bool TGIFApplication::IsImageAnimation(const QString& file) const { return editor::IsAnimationFile(file); }

int TGIFApplication::MessageBox(const QString& text, const QString& caption, int flags) {
  // The low four bits choose the buttons, of which there are seven sets.
  CheckRange(flags & 0xF, 0, 6, "The buttons (the flags' low four bits)");
  return host_.MessageBox(text, caption, flags);
}

void TGIFApplication::Wait(int milliseconds) {
  CheckRange(milliseconds, 0, std::numeric_limits<int>::max(), "The time to wait");
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

void TGIFApplication::SetDocumentIndex(int index) {
  if (index != host_.DocumentIndex()) host_.SetDocumentIndex(index);
}

bool TGIFApplication::MenuExists(const QString& path) const {
  return ResolveMenuPath(host_.MenuItems(), path) != nullptr;
}

std::shared_ptr<TIntfMenuItem> TGIFApplication::Menu(const QString& path) {
  QMenu* place = nullptr;
  QAction* item = ResolveMenuPath(host_.MenuItems(), path, &place);
  if (!item) throw AutomationError(kErrorNoSuchMenu, QString::fromLatin1(kMenuMissing).arg(path));
  return std::make_shared<TIntfMenuItem>(item, &host_, place);
}

}  // namespace movinta::automation
