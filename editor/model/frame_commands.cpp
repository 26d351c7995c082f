#include "editor/model/frame_commands.h"

#include "editor/model/files.h"
#include "editor/model/registry.h"
#include "editor/model/settings.h"
#include "editor/model/string_tables.h"
#include "editor/model/text_helpers.h"
#include "editor/model/undo_captions.h"
#include "editor/model/undo_records.h"
#include "gif/encode_ahead.h"
#include "gif/texts.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>

#include <algorithm>
#include <exception>
#include <limits>
#include <type_traits>
#include <utility>

namespace movinta::editor {

using gif::Bitmap;
using gif::PixelFormat;
using gif::TGIFAppExtNSLoop;
using gif::TGIFGraphicControlExtension;

namespace {

IEditDialogs g_noDialogs;
IEditDialogs* g_dialogs = &g_noDialogs;

TGIFSubImage* FrameAt(TGIFImage& image, int index) {
  if (index < 0 || index >= image.Images().GetCount()) return nullptr;
  return image.Images().GetFrame(index);
}

int SettingsInt(const char* name, int defaultValue) {
  return ReadSettingInt(QString::fromLatin1(sections::kSettings), QString::fromLatin1(name), defaultValue);
}

// Records an undo entry by one of the recording functions; a command that cannot be recorded is
// not made.
template <typename... Args>
bool Record(void (*record)(TMDIChild&, Args...), TMDIChild& document, std::type_identity_t<Args>... args) {
  try {
    record(document, args...);
    return true;
  } catch (const std::exception& e) {
    ShowMessage(QString::fromStdString(e.what()), MessageType::Error, kOk);
    return false;
  }
}

// The frame's pixels in its own colours, for the clipboard.
QImage FrameToQImage(TGIFSubImage& frame) {
  QImage out(frame.GetWidth(), frame.GetHeight(), QImage::Format_Indexed8);
  QList<QRgb> colors(256, qRgb(0, 0, 0));
  gif::TGIFColorMap& map = frame.GetActiveColorMap();
  for (int i = 0; i < map.GetCount(); ++i) {
    const gif::TGIFColor& c = map.Entry(i);
    colors[i] = qRgb(c.Red, c.Green, c.Blue);
  }
  out.setColorTable(colors);
  for (int y = 0; y < frame.GetHeight(); ++y)
    std::copy_n(std::as_const(frame).Data() + static_cast<std::size_t>(y) * frame.GetWidth(), frame.GetWidth(), out.scanLine(y));
  return out;
}

Bitmap QImageToBitmap(const QImage& image) {
  const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
  Bitmap out(argb.width(), argb.height(), PixelFormat::pf32bit);
  // ARGB32 is blue, green, red, alpha in memory, as the 32-bit bitmap is.
  for (int y = 0; y < argb.height(); ++y)
    std::copy_n(argb.constScanLine(y), static_cast<std::size_t>(argb.width()) * 4, out.Scanline(y));
  return out;
}

// Makes the pixels holding index the frame's transparent ones; nothing when none holds it.
void MarkTransparent(TGIFSubImage& frame, int index) {
  const std::uint8_t* p = std::as_const(frame).Data();
  if (std::find(p, p + frame.DataSize(), static_cast<std::uint8_t>(index)) == p + frame.DataSize()) return;
  TGIFGraphicControlExtension* gce = frame.GraphicControlExtension();
  if (!gce) {
    gce = new TGIFGraphicControlExtension(&frame);
    frame.Extensions().Add(gce);
  }
  gce->SetTransparentColorIndex(index);
  gce->SetTransparent(true);
}

}  // namespace

IEditDialogs* EditDialogs() { return g_dialogs; }
IEditDialogs* SetEditDialogs(IEditDialogs* dialogs) {
  IEditDialogs* previous = g_dialogs == &g_noDialogs ? nullptr : g_dialogs;
  g_dialogs = dialogs ? dialogs : &g_noDialogs;
  return previous;
}

// ---- TFrameCommands

TFrameCommands::TFrameCommands(TDocuments& documents) : documents_(documents) {
  // Only the active document plays: playback ends before another document takes its place.
  documents_.BeforeDocumentChange = [this] {
    ApplyPendingInput();
    if (playing_ && StopPlayback) StopPlayback();
  };
}

TFrameCommands::~TFrameCommands() {
  documents_.BeforeDocumentChange = nullptr;
  DeleteFrameClipboard();
}

bool TFrameCommands::CanEdit() const { return documents_.Active() != nullptr && !playing_; }

bool TFrameCommands::Begin() {
  ApplyPendingInput();
  return Active() != nullptr && !RefusedWhilePlaying();
}

void TFrameCommands::Finish(int show) {
  EditorView()->RepaintFrames();
  EditorView()->ShowFrame(show);
}

int TFrameCommands::SelectedFrame() const { return EditorView()->SelectedFrame(); }

int TFrameCommands::FrameCount() const { return SharedImage()->Images().GetCount(); }

bool TFrameCommands::RangeSelected() const {
  return EditorView()->SelectionFirst() != EditorView()->SelectionLast();
}

std::vector<int> TFrameCommands::SelectedFrames() const {
  std::vector<int> out;
  const int count = FrameCount();
  if (RangeSelected()) {
    const int first = std::max(0, std::min(EditorView()->SelectionFirst(), EditorView()->SelectionLast()));
    const int last = std::min(count - 1, std::max(EditorView()->SelectionFirst(), EditorView()->SelectionLast()));
    for (int i = first; i <= last; ++i) out.push_back(i);
  } else if (SelectedFrame() >= 0 && SelectedFrame() < count) {
    out.push_back(SelectedFrame());
  }
  return out;
}

int TFrameCommands::InsertPosition() const {
  const int count = FrameCount();
  if (count == 0 || SelectedFrame() < 0) return 0;
  return std::min(SelectedFrame() + 1, count);
}

bool TFrameCommands::PrepareShowFrame(int index) {
  TMDIChild* document = Active();
  if (!document) return false;
  TGIFImage& image = *SharedImage();
  TGIFSubImage* frame = FrameAt(image, index);
  if (!frame) return false;
  if (!frame->GraphicControlExtension()) SetFrameDelay(*frame, 0);
  TGIFGraphicControlExtension* gce = frame->GraphicControlExtension();
  document->DrawTransparent = frame->Transparent();
  document->TransparentColor = gce->GetTransparentColor();
  document->CurrentFrame = index;
  if (!RangeSelected()) EditorView()->SetSelectedFrame(index);
  SetLoopControls(-1);
  return true;
}

// ---- adding frames

std::optional<bool> TFrameCommands::AskPaletteDefaults(TGIFImage& image, const Bitmap& bitmap) {
  bool reduce = SettingsInt("PaletteType", 0) == 0;
  const int bits = bitmap.BitsPerPixel();
  if (bits == 8 || bits == 24 || bits == 32) {
    BusyScope busy;
    if (SettingsInt("PaletteDefaults", 0) == 0 && !EditDialogs()->AskPaletteDefaults()) return std::nullopt;
    reduce = ApplyPaletteDefaults(image);
  }
  return reduce;
}

std::unique_ptr<TGIFSubImage> TFrameCommands::MakeFrame(TGIFImage& image, const Bitmap& bitmap) {
  auto frame = std::make_unique<TGIFSubImage>(&image);
  // Sizing the frame would widen the screen at once; the screen changes only once the frame is
  // put in place, after the undo entry.
  const int width = image.GetWidth(), height = image.GetHeight();
  try {
    if (frame->ReducesOnAssign(bitmap)) {
      // A photo takes seconds to reduce to a palette: that runs aside while the window goes on.
      TGIFSubImage::ReducedPicture reduced;
      const int method = image.ColorReduction, dither = image.DitherMode, bits = image.GetColorReductionBits();
      BusyScope::RunAside([&] { reduced = TGIFSubImage::ReducePicture(bitmap, method, dither, bits); },
                          Tr(gif::texts::Converting));
      frame->AssignReduced(reduced);
    } else {
      frame->Assign(bitmap);
    }
  } catch (const std::exception& e) {
    image.SetWidth(width);
    image.SetHeight(height);
    ShowMessage(QString::fromStdString(e.what()), MessageType::Error, kOk);
    return nullptr;
  }
  image.SetWidth(width);
  image.SetHeight(height);
  return frame;
}

int TFrameCommands::PlaceNewFrame(TGIFImage& image, std::unique_ptr<TGIFSubImage> owned, int position, bool reduce,
                                  int delay) {
  const int before = image.Images().GetCount();
  TGIFSubImage* frame = owned.get();
  position = InsertionIndex(before, position);
  if (position < before)
    image.Images().Insert(position, owned.release());
  else
    position = image.Add(owned.release());
  // The animation's loop count stays with the animation: a frame put in front takes the block over.
  if (position == 0 && before > 0) MoveLoopBlock(image, 1);
  if (image.GetWidth() < frame->GetLeft() + frame->GetWidth()) image.SetWidth(frame->GetLeft() + frame->GetWidth());
  if (image.GetHeight() < frame->GetTop() + frame->GetHeight()) image.SetHeight(frame->GetTop() + frame->GetHeight());
  PrepareNewFrame(image, *frame, Settings().DefaultNSLoop, delay);
  if (before == 0)
    AddCommentExtension(*frame, Tr(frame_texts::kCreatedWith) + QString::fromLatin1(kMakerWebPage));
  // Each pass over a photo's frame takes a good part of the time the window may wait.
  BusyScope::KeepPainted();
  if (reduce && image.Images().GetCount() > 1) ApplyStandardPalette(image);
  return position;
}

int TFrameCommands::InsertionIndex(int count, int position) {
  // Inside the list the frame goes in front of the one at position; past its end it is appended.
  return position >= 0 && position < count ? position : count;
}

bool TFrameCommands::ChangesMoreThanNewFrame(TGIFImage& image, const TGIFSubImage& frame, int position, bool reduce,
                                             bool fitAnimation) {
  const int count = image.Images().GetCount();
  if (count == 0) return false;
  // Reducing recolours every frame; a frame in front takes over the loop block; a new loop block
  // on an existing frame 0, a global table filled from the frame and a screen fitted to (or grown
  // for) the picture outlive the frame.
  return reduce || fitAnimation || InsertionIndex(count, position) == 0 || image.GetGlobalColorMap().GetCount() == 0 ||
         (Settings().DefaultNSLoop != 1 && !HasLoopExtension(image)) ||
         frame.GetWidth() > image.GetWidth() || frame.GetHeight() > image.GetHeight();
}

int TFrameCommands::InsertFrameIntoImage(TGIFImage& image, const Bitmap& bitmap, int position) {
  const std::optional<bool> reduce = AskPaletteDefaults(image, bitmap);
  if (!reduce) return -1;
  EditorView()->StatusText(2, Tr(frame_texts::kInsertingFrame));
  std::unique_ptr<TGIFSubImage> frame = MakeFrame(image, bitmap);
  const int index = frame ? PlaceNewFrame(image, std::move(frame), position, *reduce, Settings().DefaultDelay) : -1;
  EditorView()->StatusText(2, QString());
  return index;
}

std::optional<int> TFrameCommands::AskOversizeMode(const Bitmap& bitmap) {
  TGIFImage& image = *SharedImage();
  if (image.Images().GetCount() == 0) return -1;
  if (bitmap.Width() <= image.GetWidth() + 1 && bitmap.Height() <= image.GetHeight() + 1) return -1;
  if (SettingsInt("ClipDefault", 0) != 0) return SettingsInt("ClipFrame", 1) != 0 ? 1 : 0;
  const std::optional<bool> trim = EditDialogs()->AskOversize();
  if (!trim) return std::nullopt;
  return *trim ? 1 : 0;
}

int TFrameCommands::CheckOversize(Bitmap& bitmap) {
  const std::optional<int> mode = AskOversizeMode(bitmap);
  if (!mode) return 2;
  if (*mode < 0) return 0;
  FitImageAndBitmap(*SharedImage(), bitmap, *mode);
  return SettingsInt("ClipDefault", 0) != 0 ? 0 : 1;
}

bool TFrameCommands::RefusedWhilePlaying() const {
  if (!playing_) return false;
  EditorView()->StatusText(2, Tr(frame_texts::kPauseToEdit));
  return true;
}

int TFrameCommands::InsertBitmapFrame(const Bitmap& bitmap, int position, const QString& caption,
                                      int transparentIndex) {
  ApplyPendingInput();
  if (RefusedWhilePlaying()) return -1;
  Bitmap picture = bitmap;
  // Every question is asked before anything changes, so that a cancel leaves all as it was.
  const std::optional<int> oversize = AskOversizeMode(picture);
  if (!oversize) return -1;
  if (*oversize == 1) FitImageAndBitmap(*SharedImage(), picture, 1);  // trims the picture only
  TMDIChild* created = nullptr;
  if (!Active()) {
    created = documents_.NewDocument();
    if (!created) return -1;
  }
  TGIFImage& image = *SharedImage();
  TMDIChild& document = *Active();
  const std::optional<bool> reduce = AskPaletteDefaults(image, picture);
  std::unique_ptr<TGIFSubImage> frame = reduce ? MakeFrame(image, picture) : nullptr;
  if (!frame) {
    if (created) documents_.FreeChildWindow(created);
    return -1;
  }
  if (transparentIndex >= 0 && IsIndexed(picture.Format())) MarkTransparent(*frame, transparentIndex);
  const bool whole = ChangesMoreThanNewFrame(image, *frame, position, *reduce, *oversize == 0);
  if (whole && !Record(RecordAnimationChange, document, std::max(0, SelectedFrame()), caption)) return -1;
  if (*oversize == 0) FitImageAndBitmap(image, picture, 0);
  EditorView()->StatusText(2, Tr(frame_texts::kInsertingFrame));
  const int index = PlaceNewFrame(image, std::move(frame), position, *reduce, Settings().DefaultDelay);
  EditorView()->StatusText(2, QString());
  EditorView()->FrameCountChanged(image.Images().GetCount());
  if (!whole) Record(RecordFrameAdded, document, index, caption);
  BusyScope::KeepPainted();
  document.SetModified(true);
  document.CurrentFrame = index;
  EditorView()->SetSelection(index, index);
  Finish(index);
  return index;
}

bool TFrameCommands::InsertBitmapAt(TGIFImage& image, const Bitmap& bitmap, int delay) {
  ApplyPendingInput();
  TMDIChild* document = Active();
  if (!document || RefusedWhilePlaying()) return false;
  // Merging the tables recolours a long animation, whose working copy then takes a while: the
  // window stays painted meanwhile.
  BusyScope busy;
  const int selected = std::max(0, SelectedFrame());
  std::unique_ptr<TGIFSubImage> frame = MakeFrame(image, bitmap);
  if (!frame) return false;
  const int count = image.Images().GetCount();
  const int position = selected < count - 1 ? selected : count;
  const bool reduce = SettingsInt("PaletteType", 0) < 2;
  const bool whole = &image == SharedImage() && ChangesMoreThanNewFrame(image, *frame, position, reduce, false);
  if (whole && !Record(RecordAnimationChange, *document, selected, Tr(undo_captions::kAddFrame))) return false;
  const int index = PlaceNewFrame(image, std::move(frame), position, reduce, delay);
  EditorView()->FrameCountChanged(image.Images().GetCount());
  if (!whole) Record(RecordFrameAdded, *document, index, Tr(undo_captions::kAddFrame));
  document->SetModified(true);
  document->CurrentFrame = index;
  EditorView()->SetSelection(index, index);
  Finish(index);
  return true;
}

// ---- deleting and moving

void TFrameCommands::DeleteFrames() {
  if (!Begin()) return;
  const std::vector<int> frames = SelectedFrames();
  if (frames.empty()) return;
  // The working copy, written once at the end, keeps the window painted as it goes.
  BusyScope busy;
  TMDIChild* document = Active();
  TWriteBatch batch(documents_);
  const TUndoGroup group(documents_, std::min<int>(static_cast<int>(frames.size()), FrameCount() - 1),
                         Tr(undo_captions::kDeleteFrame), frames.front());
  if (!group.Recorded()) return;
  EditorView()->SetSelection(frames.back(), frames.back());
  for (auto it = frames.rbegin(); it != frames.rend(); ++it) {
    if (documents_.IndexOf(document) < 0 || FrameCount() <= 1) {
      if (documents_.IndexOf(document) >= 0) document->DeleteFrame(*it);  // says why it cannot
      break;
    }
    document->DeleteFrame(*it);
  }
  Finish(SelectedFrame());
}

void TFrameCommands::MoveSelected(int to) {
  if (!Begin()) return;
  const int from = SelectedFrame();
  if (from < 0 || from >= FrameCount() || to < 0 || to >= FrameCount() || to == from) return;
  Active()->MoveFrame(from, to);
  EditorView()->SetSelection(to, to);
  Finish(to);
}

void TFrameCommands::MoveFrameLeft() { MoveSelected(SelectedFrame() - 1); }
void TFrameCommands::MoveFrameRight() { MoveSelected(SelectedFrame() + 1); }
void TFrameCommands::MoveFrameToBeginning() { MoveSelected(0); }
void TFrameCommands::MoveFrameToEnd() { MoveSelected(FrameCount() - 1); }

bool TFrameCommands::DragFramesTo(int target) {
  if (!Begin()) return false;
  const int count = FrameCount();
  const int selected = SelectedFrame();
  if (selected < 0 || target < 0 || target >= count || target == selected) return false;
  TMDIChild& document = *Active();
  if (!RangeSelected()) {
    document.MoveFrame(selected, target);
    EditorView()->SetSelection(target, target);
    Finish(target);
    return true;
  }
  const std::vector<int> frames = SelectedFrames();
  const int first = frames.front(), last = frames.back();
  if (target >= first && target <= last) return false;
  TWriteBatch batch(documents_);
  const TUndoGroup group(documents_, last - first + 1, Tr(undo_captions::kMoveFrame), selected);
  if (!group.Recorded()) return false;
  // The range moves as one block, its order kept: it ends at a target after it and starts at a
  // target before it.
  const int width = last - first + 1;
  for (int k = 0; k < width; ++k) {
    if (target > last)
      document.MoveFrame(first, target);
    else
      document.MoveFrame(first + k, target + k);
  }
  const int newFirst = target > last ? target - width + 1 : target;
  EditorView()->SetSelection(newFirst, newFirst + width - 1);
  Finish(newFirst);
  return true;
}

int TFrameCommands::DropBitmapAt(const Bitmap& bitmap, int target) {
  if (!Begin()) return -1;
  if (target < 0 || target >= FrameCount()) return -1;
  return InsertBitmapFrame(bitmap, target, Tr(undo_captions::kAddFrame));
}

int TFrameCommands::DropFrameOnDocument(TMDIChild* target) {
  if (!Begin() || !target || target == Active() || documents_.IndexOf(target) < 0) return -1;
  TGIFSubImage* frame = FrameAt(*SharedImage(), SelectedFrame());
  if (!frame || frame->IsEmpty()) return -1;
  const Bitmap copy = frame->GetBitmap();
  if (!documents_.Activate(target)) return -1;
  EditorView()->DocumentLoaded(target);
  return InsertBitmapFrame(copy, InsertPosition(), Tr(undo_captions::kDragAndDropImage));
}

// ---- clipboard

void TFrameCommands::DeleteFrameClipboard() {
  if (clipboardFile_.isEmpty()) return;
  DeleteTempFile(clipboardFile_);
  clipboardFile_.clear();
  copyToken_.clear();
}

bool TFrameCommands::CopyFrames() {
  if (!Begin()) return false;
  const std::vector<int> frames = SelectedFrames();
  if (frames.empty()) return false;
  BusyScope busy;
  if (clipboardFile_.isEmpty() || !QFileInfo::exists(clipboardFile_)) clipboardFile_ = NewWorkingTempFile();
  if (clipboardFile_.isEmpty()) return false;
  TGIFImage& source = *SharedImage();
  TGIFImage copy;
  copy.Header().Assign(source.Header());
  QImage firstPicture;
  StepProgress progress(static_cast<int>(frames.size()));
  for (std::size_t k = 0; k < frames.size(); progress.Step(static_cast<int>(++k))) {
    TGIFSubImage& from = *source.Images().GetFrame(frames[k]);
    if (from.IsEmpty()) continue;
    auto* to = new TGIFSubImage(&copy);
    copy.Add(to);
    to->SetBounds(from.GetLeft(), from.GetTop(), from.GetWidth(), from.GetHeight());
    std::copy_n(from.Data(), from.DataSize(), to->Data());
    to->SetInterlaced(from.GetInterlaced());
    if (from.ColorMap().GetCount() > 0) to->ColorMap().Assign(from.ColorMap());
    auto* gce = new TGIFGraphicControlExtension(to);
    to->Extensions().Add(gce);
    if (TGIFGraphicControlExtension* own = from.GraphicControlExtension()) {
      // The delay goes too: a paste gives the new frame the copied frame's delay.
      gce->SetDelay(own->GetDelay());
      gce->SetDisposal(own->GetDisposal());
      gce->SetTransparentColorIndex(own->GetTransparentColorIndex());
      gce->SetTransparent(own->GetTransparent());
    }
    if (firstPicture.isNull()) firstPicture = FrameToQImage(from);
  }
  QString error;
  if (copy.IsEmpty() || !WriteGifFile(copy, clipboardFile_, true, &error)) {
    DeleteFrameClipboard();
    return false;
  }
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  firstPicture.save(&buffer, "PNG");
  copyToken_ = QStringLiteral("%1:%2:%3")
                   .arg(clipboardFile_)
                   .arg(QCoreApplication::applicationPid())
                   .arg(++copySerial_)
                   .toUtf8();
  if (IClipboard* clipboard = Clipboard())
    clipboard->SetDataSet({{QString::fromLatin1(kBitmapMimeType), png},
                           {QString::fromLatin1(kFrameCopyMimeType), copyToken_}});
  return true;
}

bool TFrameCommands::CutFrames() {
  if (!CopyFrames()) return false;
  TWriteBatch batch(documents_);
  DeleteFrames();
  if (Active()) Active()->SetModified(true);
  return true;
}

bool TFrameCommands::ClipboardHoldsOwnCopy() const {
  IClipboard* clipboard = Clipboard();
  if (!clipboard || copyToken_.isEmpty() || !QFileInfo::exists(clipboardFile_)) return false;
  return clipboard->HasFormat(QString::fromLatin1(kFrameCopyMimeType)) &&
         clipboard->Data(QString::fromLatin1(kFrameCopyMimeType)) == copyToken_;
}

bool TFrameCommands::CanPaste(bool commentsPageShown) const {
  IClipboard* clipboard = Clipboard();
  const bool text = clipboard && clipboard->HasFormat(QStringLiteral("text/plain"));
  if (commentsPageShown && text) return true;
  return (clipboard && clipboard->HasFormat(QString::fromLatin1(kBitmapMimeType))) || !clipboardFile_.isEmpty();
}

int TFrameCommands::PasteOneFrame(const Bitmap& bitmap, int transparentIndex) {
  return InsertBitmapFrame(bitmap, InsertPosition(), Tr(undo_captions::kPasteFrame), transparentIndex);
}

int TFrameCommands::PasteFrameCopy(TGIFImage& copy) {
  int last = -1;
  TWriteBatch batch(documents_);
  const int paletteType = SettingsInt("PaletteType", 0);
  // Under a palette rule that merges the tables, every frame that goes in recolours the whole
  // animation, and each frame's own entry would keep all of it again: one entry keeps it once,
  // before the first frame, and its undo takes the whole paste back.
  const int entries = paletteType < 2 ? std::numeric_limits<int>::max() : copy.Images().GetCount();
  const TUndoGroup group(documents_, entries, Tr(undo_captions::kPasteFrame), std::max(0, SelectedFrame()));
  if (!group.Recorded()) return -1;
  // The merge after each frame rewrites frames that the working copy then has to encode again:
  // they are encoded while the paste goes on, and the working copy waits for them (the window
  // painted meanwhile).
  gif::TEncodeAhead ahead;
  const struct Waited {
    gif::TEncodeAhead& Ahead;
    ~Waited() {
      try {
        if (Ahead.Pending() && std::uncaught_exceptions() == 0)
          BusyScope::RunAside([this] { Ahead.Wait(); }, Tr(gif::texts::Saving));
      } catch (...) {
      }
      Ahead.Wait();  // at once when done above; else the encodings end soon
    }
  } waited{ahead};
  ApplyPaletteDefaults(copy);
  if (paletteType < 2 && copy.Images().GetCount() > 1) ApplyStandardPalette(copy);
  StepProgress progress(copy.Images().GetCount(), Tr(frame_texts::kInsertingFrame));
  for (int i = 0; i < copy.Images().GetCount(); progress.Step(++i)) {
    TGIFSubImage& source = *copy.Images().GetFrame(i);
    if (source.IsEmpty()) continue;
    TGIFGraphicControlExtension* from = source.GraphicControlExtension();
    const int transparent = source.Transparent() && from ? from->GetTransparentColorIndex() : -1;
    // The picture holds the copied frame's own indices, so its transparent pixels come in as such.
    const int index = PasteOneFrame(source.GetBitmap(), transparent);
    if (index < 0) break;
    last = index;
    TGIFImage& image = *SharedImage();
    if (paletteType < 2) ahead.Start(image);
    TGIFSubImage& frame = *image.Images().GetFrame(index);
    // The copied place, moved in as far as needed to keep the frame on this animation's screen,
    // which the paste does not change.
    frame.SetLeft(std::clamp<int>(source.GetLeft(), 0, std::max(0, image.GetWidth() - frame.GetWidth())));
    frame.SetTop(std::clamp<int>(source.GetTop(), 0, std::max(0, image.GetHeight() - frame.GetHeight())));
    TGIFGraphicControlExtension* to = frame.GraphicControlExtension();
    if (paletteType == 2) {
      // Putting the frame in sorted its table by use and its pixels with it; the copied table
      // comes in its own order, and so do the copied pixels (the frame is the copy's top-left
      // part when it was trimmed).
      const gif::TGIFColorMap& table = source.ColorMap().GetCount() > 0
                                           ? static_cast<const gif::TGIFColorMap&>(source.ColorMap())
                                           : static_cast<const gif::TGIFColorMap&>(copy.GetGlobalColorMap());
      frame.ColorMap().Assign(table);
      std::uint8_t* pixels = frame.Data();
      for (int y = 0; y < frame.GetHeight(); ++y)
        std::copy_n(std::as_const(source).Data() + static_cast<std::size_t>(y) * source.GetWidth(), frame.GetWidth(),
                    pixels + static_cast<std::size_t>(y) * frame.GetWidth());
      if (to && frame.Transparent()) to->SetTransparentColorIndex(transparent);
    }
    if (from && to) {
      to->SetDelay(from->GetDelay());
      to->SetDisposal(from->GetDisposal());
    }
    frame.FreeBitmap();
    frame.FreeMask();
    Active()->SetModified(true);
  }
  // The frames were shown as they went in, before they took the copied timing, place and
  // transparency: the panels show the last one as it now is.
  if (last >= 0) Finish(last);
  return last;
}

bool TFrameCommands::Paste(bool commentsPageShown) {
  ApplyPendingInput();
  if (RefusedWhilePlaying()) return false;
  IClipboard* clipboard = Clipboard();
  if (!clipboard) return false;
  if (commentsPageShown && clipboard->HasFormat(QStringLiteral("text/plain")))
    return PasteComment(QString::fromUtf8(clipboard->Data(QStringLiteral("text/plain"))));
  if (!clipboard->HasFormat(QString::fromLatin1(kBitmapMimeType))) return false;
  BusyScope busy;
  // The copy is ours only when the marker that came with it is still there; a picture copied by
  // another program since then is pasted alone, whatever its size.
  if (ClipboardHoldsOwnCopy()) {
    std::unique_ptr<TGIFImage> copy;
    BusyScope::RunAside([this, &copy] { copy = ReadGifFile(clipboardFile_); }, Tr(gif::texts::Loading));
    if (copy) return PasteFrameCopy(*copy) >= 0;
  }
  QImage picture;
  if (!picture.loadFromData(clipboard->Data(QString::fromLatin1(kBitmapMimeType))) || picture.isNull())
    return false;
  return PasteOneFrame(QImageToBitmap(picture)) >= 0;
}

bool TFrameCommands::PasteComment(const QString& text) {
  if (!Begin()) return false;
  TGIFSubImage* first = FrameAt(*SharedImage(), 0);
  if (!first) {
    ShowMessage(Tr(frame_texts::kNoCommentFromClipboard), MessageType::Error, kOk);
    return false;
  }
  AddCommentExtension(*first, text.size() >= 256 ? text.left(255) : text);
  const int index = first->Extensions().GetCount() - 1;
  TMDIChild& document = *Active();
  Record(RecordCommentAdded, document, 0, index);
  document.SetModified(true);
  Finish(SelectedFrame());
  return true;
}

bool TFrameCommands::CanPasteComment() const {
  IClipboard* clipboard = Clipboard();
  return Active() && !playing_ && clipboard && clipboard->HasFormat(QStringLiteral("text/plain"));
}

bool TFrameCommands::PasteClipboardComment() {
  ApplyPendingInput();
  if (!CanPasteComment()) return false;
  return PasteComment(QString::fromUtf8(Clipboard()->Data(QStringLiteral("text/plain"))));
}

int TFrameCommands::AddFrameFiles(const QStringList& files, const PictureReader& read) {
  ApplyPendingInput();
  if (!read || RefusedWhilePlaying()) return 0;
  BusyScope busy;
  TWriteBatch batch(documents_);
  const TUndoGroup group(documents_, static_cast<int>(files.size()), Tr(undo_captions::kAddFrame),
                         std::max(0, SelectedFrame()));
  if (!group.Recorded()) return 0;
  int added = 0;
  StepProgress progress(static_cast<int>(files.size()), Tr(frame_texts::kInsertingFrame));
  for (qsizetype k = 0; k < files.size(); progress.Step(static_cast<int>(++k))) {
    const QString& file = files[k];
    Bitmap picture;
    QString error;
    if (!read(file, picture, &error)) {
      if (!error.isEmpty()) ShowMessage(error, MessageType::Warning, kOk);
      continue;
    }
    if (InsertBitmapFrame(picture, InsertPosition(), Tr(undo_captions::kAddFrame)) >= 0) ++added;
  }
  return added;
}

// ---- frame and loop properties

void TFrameCommands::ApplyFrameProperties(int index, int what, int delay, int disposal) {
  TMDIChild* document = playing_ ? nullptr : Active();
  TGIFSubImage* frame = document ? FrameAt(*SharedImage(), index) : nullptr;
  if (!frame) return;
  BusyScope busy;
  bool changed = false;
  bool delayChanged = false;
  if (TGIFGraphicControlExtension* gce = frame->GraphicControlExtension()) {
    if ((what & 1) && delay >= 0 && delay <= 65535 && delay != gce->GetDelay()) {
      if (!Record(RecordFrameControlChange, *document, index, undo_captions::ChangeOf(undo_captions::kDelay))) return;
      gce->SetDelay(static_cast<std::uint16_t>(delay));
      changed = delayChanged = true;
    }
    if ((what & 2) && disposal >= 0 && disposal <= 3 && disposal != gce->GetDisposal()) {
      if (!Record(RecordFrameControlChange, *document, index, undo_captions::ChangeOf(undo_captions::kDisposal)))
        return;
      gce->SetDisposal(disposal);
      changed = true;
    }
  } else {
    SetFrameDelay(*frame, Settings().DefaultDelay);
    // Recorded as an addition, so that undoing takes the new block away again.
    Record(RecordFrameControlAdded, *document, index, undo_captions::ChangeOf(undo_captions::kDelay));
    changed = delayChanged = true;
  }
  if (changed) document->SetModified(true);
  if (delayChanged) EditorView()->RepaintFrames();
}

void TFrameCommands::ApplyToSelection(int what, int delay, int disposal) {
  if (!Begin()) return;
  // The working copy is written at the batch's end, still under the hourglass.
  BusyScope busy;
  TWriteBatch batch(documents_);
  const std::vector<int> frames = SelectedFrames();
  const TUndoGroup group(documents_, static_cast<int>(frames.size()),
                         undo_captions::ChangeOf((what & 1) ? undo_captions::kDelay : undo_captions::kDisposal),
                         std::max(0, SelectedFrame()));
  if (!group.Recorded()) return;
  StepProgress progress(static_cast<int>(frames.size()));
  for (std::size_t k = 0; k < frames.size(); progress.Step(static_cast<int>(++k)))
    ApplyFrameProperties(frames[k], what, delay, disposal);
  Finish(SelectedFrame());
}

void TFrameCommands::ApplyDelayToSelection(int delay) { ApplyToSelection(1, delay, -1); }

void TFrameCommands::ApplyDisposalToSelection(int disposal) { ApplyToSelection(2, -1, disposal); }

void TFrameCommands::SetLoopControls(int count) {
  loopCount_ = count == -1 ? GetLoopCount(*SharedImage()) : count;
}

void TFrameCommands::ApplyLoopChange(bool infinite, int count) {
  TMDIChild* document = Active();
  TGIFImage& image = *SharedImage();
  TGIFSubImage* first = FrameAt(image, 0);
  if (!document || !first || playing_) return;
  // What the image holds now, which the panel shows unless an undo changed it since.
  loopCount_ = GetLoopCount(image);
  const QString caption = Tr(undo_captions::kChangeAnimationLoop);
  bool changed = false;
  if (infinite) {
    if (loopCount_ == 1) {
      AddLoopExtension(image, 0, 0);
      changed = Record(RecordLoopAdded, *document, caption);
    } else if (loopCount_ > 1) {
      if (!Record(RecordLoopChanged, *document, caption)) return;
      SetLoopCount(image, 0);
      changed = true;
    }
    if (changed) loopCount_ = 0;
  } else if (count != loopCount_ && count >= 1 && count <= 65535) {
    if (count == 1) {
      if (TGIFAppExtNSLoop* loop = FindLoopExtension(*first)) {
        if (!Record(RecordLoopRemoved, *document, caption)) return;
        delete loop;
        changed = true;
      }
    } else if (loopCount_ == 1) {
      AddLoopExtension(image, 0, count);
      changed = Record(RecordLoopAdded, *document, caption);
    } else {
      if (!Record(RecordLoopChanged, *document, caption)) return;
      SetLoopCount(image, count);
      changed = true;
    }
    if (changed) loopCount_ = count;
  }
  if (changed) document->SetModified(true);
}

// ---- animation commands

bool TFrameCommands::ChangeGlobalPalette() {
  if (!Begin()) return false;
  TGIFImage& image = *SharedImage();
  if (image.GetGlobalColorMap().GetCount() == 0) return false;
  std::unique_ptr<TCmdColorMap> edited = EditDialogs()->EditGlobalPalette(image.GetGlobalColorMap());
  if (!edited) return false;
  TMDIChild& document = *Active();
  const QString caption = Tr(undo_captions::kChangeGlobalPalette);
  if (!ApplyDeletingPaletteEdit || !ApplyDeletingPaletteEdit(document, image, caption)) {
    if (!Record(RecordGlobalPaletteChange, document, caption)) return false;
    image.GetGlobalColorMap().Assign(*edited);
    for (int i = 0; i < image.Images().GetCount(); ++i) image.Images().GetFrame(i)->FreeBitmap();
    document.SetModified(true);
  }
  if (document.WorkingCopyCurrent() && !document.WorkingCopy.isEmpty())
    documents_.ReloadDocument(document.WorkingCopy);
  Finish(SelectedFrame());
  return true;
}

bool TFrameCommands::OptimizeAnimation() {
  if (!Begin()) return false;
  TGIFImage& image = *SharedImage();
  NormalizeLoopBlock(image, AnimationPlays(image));
  if (!EditDialogs()->RunOptimizeWizard()) return false;
  Finish(SelectedFrame());
  return true;
}

bool TFrameCommands::AnimationInfo() {
  if (!Begin()) return false;
  TGIFImage& image = *SharedImage();
  NormalizeLoopBlock(image, AnimationPlays(image));
  const std::optional<LoopChoice> choice = EditDialogs()->AskAnimationInfo();
  if (!choice) return false;
  ApplyLoopChange(choice->Infinite, choice->Count);
  // The panel then shows what the image says, endless included.
  SetLoopControls(-1);
  Finish(SelectedFrame());
  return true;
}

bool TFrameCommands::ResizeAnimationCommand() {
  if (!Begin()) return false;
  TGIFImage& image = *SharedImage();
  const std::optional<ResizeChoice> choice = EditDialogs()->AskResize(image.GetWidth(), image.GetHeight());
  if (!choice || (choice->Width == image.GetWidth() && choice->Height == image.GetHeight())) return false;
  TMDIChild& document = *Active();
  // One scope from the undo entry to the working copy: the window is painted all through.
  BusyScope busy;
  if (!Record(RecordAnimationChange, document, std::max(0, SelectedFrame()), Tr(undo_captions::kChangeAnimationSize)))
    return false;
  ResizeAnimation(image, choice->Width, choice->Height);
  document.SetModified(true);
  Finish(SelectedFrame());
  return true;
}

namespace {

// The first frame (numbered from 1) whose colour table holds neither the colour nor room for it;
// 0 when every frame can take it. first and last bound the frames that will be given the colour.
int FrameWithoutRoomFor(TGIFImage& image, gif::TColor color, int first, int last) {
  for (int i = std::max(first, 0); i <= last && i < image.Images().GetCount(); ++i) {
    TGIFSubImage& frame = *image.Images().GetFrame(i);
    if (!frame.GraphicControlExtension()) continue;
    const gif::TGIFColorMap& map = frame.GetActiveColorMap();
    if (map.IndexOf(color) < 0 && map.GetCount() >= 256) return i + 1;
  }
  return 0;
}

bool RefuseWithoutRoom(int frame) {
  if (frame == 0) return false;
  ShowMessage(Tr(frame_texts::kNoRoomForTransparentColor).arg(frame), MessageType::Warning, kOk);
  return true;
}

}  // namespace

bool TFrameCommands::GlobalChange() {
  if (!Begin()) return false;
  TGIFImage& image = *SharedImage();
  TGIFSubImage* selected = FrameAt(image, SelectedFrame());
  if (!selected) selected = FrameAt(image, 0);
  if (!selected) return false;
  GlobalChangeCaptions captions;
  captions.RemoveTransparent = selected->Transparent();
  captions.RemoveInterlaced = selected->GetInterlaced();
  captions.RemoveLocalPalette = selected->ColorMap().GetCount() > 0;
  const std::optional<GlobalChangeChoice> choice = EditDialogs()->AskGlobalChange(captions);
  if (!choice) return false;
  bool delayOk = false;
  const int delay = choice->DelayText.trimmed().toInt(&delayOk);
  delayOk = delayOk && delay >= 0 && delay <= 65535 && IsNumberText(choice->DelayText);
  if (!delayOk && choice->Disposal < 0 && !choice->TransparentTouched && !choice->InterlacedTouched &&
      !choice->LocalPaletteTouched)
    return false;
  // Removing local tables moves each frame's pixels onto the global table; when a frame shows a
  // colour the global table lacks, nothing is changed at all.
  const bool removeLocal =
      choice->LocalPaletteTouched && choice->LocalPaletteChecked && captions.RemoveLocalPalette;
  std::vector<IndexMap> toGlobal(static_cast<std::size_t>(image.Images().GetCount()), IdentityIndexMap());
  for (int i = 0; removeLocal && i < image.Images().GetCount(); ++i) {
    TGIFSubImage& frame = *image.Images().GetFrame(i);
    if (!frame.GraphicControlExtension() || frame.ColorMap().GetCount() == 0) continue;
    if (!MapLocalToGlobal(frame, toGlobal[static_cast<std::size_t>(i)])) {
      ShowMessage(Tr(frame_texts::kCannotRemoveLocalPalettes), MessageType::Information, kOk);
      return false;
    }
  }
  // A frame whose full table lacks the colour could not take it: the whole change is refused.
  if (choice->TransparentTouched && !captions.RemoveTransparent && choice->TransparentChecked &&
      RefuseWithoutRoom(FrameWithoutRoomFor(image, choice->Transparent.Color, 0, image.Images().GetCount() - 1)))
    return false;
  TMDIChild& document = *Active();
  BusyScope busy;
  if (!Record(RecordAnimationChange, document, std::max(0, SelectedFrame()),
              Tr(undo_captions::kGlobalPropertiesChange)))
    return false;
  StepProgress progress(image.Images().GetCount());
  for (int i = 0; i < image.Images().GetCount(); progress.Step(++i)) {
    TGIFSubImage& frame = *image.Images().GetFrame(i);
    TGIFGraphicControlExtension* gce = frame.GraphicControlExtension();
    if (!gce) continue;
    if (delayOk) gce->SetDelay(static_cast<std::uint16_t>(delay));
    if (choice->TransparentTouched) {
      if (captions.RemoveTransparent) {
        gce->SetTransparent(!choice->TransparentChecked);
      } else {
        gce->SetTransparent(choice->TransparentChecked);
        if (choice->TransparentChecked) gce->SetTransparentColor(choice->Transparent.Color);
      }
    }
    if (choice->InterlacedTouched)
      frame.SetInterlaced(captions.RemoveInterlaced ? !choice->InterlacedChecked : choice->InterlacedChecked);
    if (choice->LocalPaletteTouched && choice->LocalPaletteChecked) {
      // Either way the transparent index keeps its colour: the remap moves it with the pixels, and
      // a copy of the global table keeps every index where it was.
      if (captions.RemoveLocalPalette) {
        if (frame.ColorMap().GetCount() > 0) RemapFrame(frame, toGlobal[static_cast<std::size_t>(i)]);
        frame.ColorMap().Clear();
      } else if (image.GetGlobalColorMap().GetCount() > 0 && frame.ColorMap().GetCount() == 0) {
        // A frame with a table of its own keeps it: the global table's colours are not its own.
        frame.ColorMap().Assign(image.GetGlobalColorMap());
      }
    }
    if (choice->Disposal >= 0 && choice->Disposal <= 3) gce->SetDisposal(choice->Disposal);
    frame.FreeBitmap();
  }
  document.SetModified(true);
  Finish(SelectedFrame());
  return true;
}

std::optional<PickedColor> TFrameCommands::MakeAnimationTransparent(const PickedColor& start) {
  if (!Begin()) return std::nullopt;
  const std::optional<PickedColor> picked = EditDialogs()->PickColor(-1, start);
  if (!picked) return std::nullopt;
  TGIFImage& image = *SharedImage();
  // Only the first frame is given the picked colour; the others keep their own.
  if (RefuseWithoutRoom(FrameWithoutRoomFor(image, picked->Color, 0, 0))) return std::nullopt;
  TMDIChild& document = *Active();
  if (!Record(RecordAnimationChange, document, std::max(0, SelectedFrame()),
              Tr(undo_captions::kMakeAnimationTransparent)))
    return std::nullopt;
  image.Header().SetBackgroundColor(picked->Color);
  for (int i = 0; i < image.Images().GetCount(); ++i) {
    TGIFSubImage& frame = *image.Images().GetFrame(i);
    TGIFGraphicControlExtension* gce = frame.GraphicControlExtension();
    if (!gce) continue;
    gce->SetTransparent(true);
    if (i == 0) {
      gce->SetTransparentColor(picked->Color);
    } else {
      gif::TGIFColorMap& map = frame.GetActiveColorMap();
      // Without any table there is no colour to keep.
      const gif::TColor current =
          map.GetCount() > gce->GetTransparentColorIndex() ? map.GetColor(gce->GetTransparentColorIndex()) : 0xFFFFFF;
      if (map.GetCount() > 0 && gce->GetTransparentColor() != current) gce->SetTransparentColor(current);
    }
    gce->SetDisposal(gif::dmBackground);
    frame.FreeBitmap();
  }
  document.SetModified(true);
  Finish(SelectedFrame());
  return picked;
}

bool TFrameCommands::ChangeTransparentColor() {
  if (!Begin()) return false;
  const int index = SelectedFrame();
  TGIFSubImage* frame = FrameAt(*SharedImage(), index);
  if (!frame) return false;
  TGIFGraphicControlExtension* gce = frame->GraphicControlExtension();
  PickedColor start;
  if (gce) start = {gce->GetTransparentColor(), gce->GetTransparentColorIndex()};
  const std::optional<PickedColor> picked = EditDialogs()->PickColor(index, start);
  bool changed = false;
  if (picked) {
    TMDIChild& document = *Active();
    const int entries = document.History.Count();
    if (!gce) {
      SetFrameDelay(*frame, 0);
      gce = frame->GraphicControlExtension();
      Record(RecordFrameControlAdded, document, index, Tr(undo_captions::kChangeTransparentColor));
    }
    if (picked->Index != gce->GetTransparentColorIndex() || !gce->GetTransparent()) {
      if (Record(RecordFrameControlChange, document, index, Tr(undo_captions::kChangeTransparentColor))) {
        gce->SetTransparentColorIndex(picked->Index);
        gce->SetTransparent(true);
        gce->SetDisposal(gif::dmBackground);
        frame->FreeBitmap();
        changed = true;
      }
    }
    // Picking the colour the frame already has changes nothing.
    if (changed || document.History.Count() > entries) document.SetModified(true);
  }
  Finish(index);
  return changed;
}

bool TFrameCommands::ReverseFrames(bool playForever, int loopText) {
  if (!Begin()) return false;
  TGIFImage& image = *SharedImage();
  if (!HasSeveralFrames(image)) {
    MessageBeep();
    return false;
  }
  const int keep = playForever ? 0 : loopText;
  BusyScope busy;
  TMDIChild& document = *Active();
  if (!Record(RecordAnimationChange, document, std::max(0, SelectedFrame()), Tr(undo_captions::kReverseFrameOrder)))
    return false;
  const int count = image.Images().GetCount();
  if (!RangeSelected()) {
    for (int k = 0; k < count; ++k) image.Images().Move(0, count - k - 1);
  } else {
    const std::vector<int> frames = SelectedFrames();
    const int first = frames.front(), last = frames.back();
    for (int k = 0; k <= last - first; ++k) image.Images().Move(first, last - k);
  }
  NormalizeLoopBlock(image, keep);
  document.SetModified(true);
  Finish(SelectedFrame());
  return true;
}

void TFrameCommands::Undo() {
  ApplyPendingInput();
  if (!CanEdit()) return;
  Active()->Undo();
  // An undone whole-animation entry may bring back another number of frames, and leaves the
  // encoded data of the frames it replaced behind (the data of another animation's worth).
  if (Active()) {
    TGIFImage& image = *SharedImage();
    if (image.EncodedDataCache && image.EncodedDataCache->Entries() > 2 * static_cast<std::size_t>(FrameCount()))
      image.DropOthersEncodedData();
    EditorView()->FrameCountChanged(FrameCount());
  }
  EditorView()->RepaintFrames();
}

// ---- typed values

void TFrameCommands::TypeDelay(int delay) {
  TMDIChild* document = Active();
  if (!document) return;
  if (pending_.Document && pending_.Document != document) ApplyPendingInput();
  pending_.Document = document;
  pending_.Delay = true;
  pending_.DelayValue = delay;
  pending_.Frames = SelectedFrames();
  if (PendingTimer) PendingTimer(true);
}

void TFrameCommands::TypeLoop(bool infinite, int count) {
  TMDIChild* document = Active();
  if (!document) return;
  if (pending_.Document && pending_.Document != document) ApplyPendingInput();
  pending_.Document = document;
  pending_.Loop = true;
  pending_.Infinite = infinite;
  pending_.LoopValue = count;
  if (PendingTimer) PendingTimer(true);
}

void TFrameCommands::ApplyPendingInput() {
  if (applying_ || !pending_.Document) return;
  // Long work lets timers in while it keeps the window painted: the values wait for its end.
  if (BusyScope::Pumping()) {
    if (PendingTimer) PendingTimer(true);
    return;
  }
  const PendingInput input = std::exchange(pending_, PendingInput{});
  if (PendingTimer) PendingTimer(false);
  // Every switch, save and close applies what is waiting first, so the document the values were
  // typed for is still the active one; a document closed without that takes its values with it.
  if (input.Document != Active() || documents_.IndexOf(input.Document) < 0) return;
  applying_ = true;
  {
    TWriteBatch batch(documents_);
    const TUndoGroup group(
        documents_, static_cast<int>(input.Delay ? input.Frames.size() : 0) + (input.Loop ? 1 : 0),
        input.Delay ? undo_captions::ChangeOf(undo_captions::kDelay) : Tr(undo_captions::kChangeAnimationLoop),
        std::max(0, SelectedFrame()));
    if (group.Recorded()) {
      if (input.Delay)
        for (int index : input.Frames) ApplyFrameProperties(index, 1, input.DelayValue, -1);
      if (input.Loop) ApplyLoopChange(input.Infinite, input.LoopValue);
    }
  }
  applying_ = false;
  EditorView()->RepaintFrames();
  EditorView()->ShowFrame(SelectedFrame());
}

}  // namespace movinta::editor
