#include "editor/commands/frame_commands.h"

#include "editor/model/registry.h"
#include "editor/model/settings.h"
#include "editor/model/string_tables.h"
#include "editor/model/text_helpers.h"
#include "editor/model/undo_captions.h"
#include "gif/encode_ahead.h"
#include "gif/texts.h"

#include <QImage>

#include <algorithm>
#include <exception>
#include <limits>
#include <utility>
#include <vector>

namespace movinta::editor {

using gif::Bitmap;
using gif::TGIFGraphicControlExtension;

namespace {

int SettingsInt(const char* name, int defaultValue) {
  return ReadSettingInt(QString::fromLatin1(sections::kSettings), QString::fromLatin1(name), defaultValue);
}

// Says why a frame (numbered from 1, 0 for none) cannot take the transparent colour.
bool RefuseWithoutRoom(int frame) {
  if (frame == 0) return false;
  ShowMessage(Tr(frame_texts::kNoRoomForTransparentColor).arg(frame), MessageType::Warning, kOk);
  return true;
}

}  // namespace

TFrameCommands::TFrameCommands(TDocuments& documents) : TFrameEditing(documents) {}

TFrameCommands::~TFrameCommands() { DeleteFrameClipboard(); }

void TFrameCommands::ReportError(const QString& text) { ShowMessage(text, MessageType::Error, kOk); }

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

std::unique_ptr<TGIFSubImage> TFrameCommands::MakeNewFrame(TGIFImage& image, const Bitmap& bitmap) {
  QString error;
  std::unique_ptr<TGIFSubImage> frame = MakeFrame(image, bitmap, &error);
  if (!frame) ShowMessage(error, MessageType::Error, kOk);
  return frame;
}

int TFrameCommands::InsertFrameIntoImage(TGIFImage& image, const Bitmap& bitmap, int position) {
  const std::optional<bool> reduce = AskPaletteDefaults(image, bitmap);
  if (!reduce) return -1;
  EditorView()->StatusText(2, Tr(frame_texts::kInsertingFrame));
  std::unique_ptr<TGIFSubImage> frame = MakeNewFrame(image, bitmap);
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
    created = Documents().NewDocument();
    if (!created) return -1;
  }
  TGIFImage& image = *SharedImage();
  const std::optional<bool> reduce = AskPaletteDefaults(image, picture);
  std::unique_ptr<TGIFSubImage> frame = reduce ? MakeNewFrame(image, picture) : nullptr;
  if (!frame) {
    if (created) Documents().FreeChildWindow(created);
    return -1;
  }
  return AddNewFrame(*this, std::move(frame), picture, position, *reduce, *oversize == 0, caption, transparentIndex);
}

bool TFrameCommands::InsertBitmapAt(TGIFImage& image, const Bitmap& bitmap, int delay) {
  ApplyPendingInput();
  TMDIChild* document = Active();
  if (!document || RefusedWhilePlaying()) return false;
  // Merging the tables recolours a long animation, whose working copy then takes a while: the
  // window stays painted meanwhile.
  BusyScope busy;
  const int selected = std::max(0, SelectedFrame());
  std::unique_ptr<TGIFSubImage> frame = MakeNewFrame(image, bitmap);
  if (!frame) return false;
  return InsertFrameAfter(*this, image, std::move(frame), selected, delay);
}

// ---- deleting and moving

void TFrameCommands::DeleteFrames() {
  if (!Begin()) return;
  DeleteSelectedFrames(*this);
}

void TFrameCommands::MoveSelected(int to) {
  if (!Begin()) return;
  MoveSelectedFrame(*this, to);
}

void TFrameCommands::MoveFrameLeft() { MoveSelected(SelectedFrame() - 1); }
void TFrameCommands::MoveFrameRight() { MoveSelected(SelectedFrame() + 1); }
void TFrameCommands::MoveFrameToBeginning() { MoveSelected(0); }
void TFrameCommands::MoveFrameToEnd() { MoveSelected(FrameCount() - 1); }

bool TFrameCommands::DragFramesTo(int target) {
  if (!Begin()) return false;
  return DragSelectedFrames(*this, target);
}

int TFrameCommands::DropBitmapAt(const Bitmap& bitmap, int target) {
  if (!Begin()) return -1;
  if (target < 0 || target >= FrameCount()) return -1;
  return InsertBitmapFrame(bitmap, target, Tr(undo_captions::kAddFrame));
}

int TFrameCommands::DropFrameOnDocument(TMDIChild* target) {
  if (!Begin() || !target || target == Active() || Documents().IndexOf(target) < 0) return -1;
  TGIFSubImage* frame = FrameAt(*SharedImage(), SelectedFrame());
  if (!frame || frame->IsEmpty()) return -1;
  const Bitmap copy = frame->GetBitmap();
  if (!Documents().Activate(target)) return -1;
  EditorView()->DocumentLoaded(target);
  return InsertBitmapFrame(copy, InsertPosition(), Tr(undo_captions::kDragAndDropImage));
}

// ---- clipboard

void TFrameCommands::DeleteFrameClipboard() { clipboard_.Delete(); }

bool TFrameCommands::CopyFrames() {
  if (!Begin()) return false;
  const std::vector<int> frames = SelectedFrames();
  if (frames.empty()) return false;
  return clipboard_.Copy(*SharedImage(), frames);
}

bool TFrameCommands::CutFrames() {
  if (!CopyFrames()) return false;
  TWriteBatch batch(Documents());
  DeleteFrames();
  if (Active()) Active()->SetModified(true);
  return true;
}

bool TFrameCommands::CanPaste(bool commentsPageShown) const { return clipboard_.CanPaste(commentsPageShown); }

int TFrameCommands::PasteOneFrame(const Bitmap& bitmap, int transparentIndex) {
  return InsertBitmapFrame(bitmap, InsertPosition(), Tr(undo_captions::kPasteFrame), transparentIndex);
}

int TFrameCommands::PasteFrameCopy(TGIFImage& copy) {
  int last = -1;
  TWriteBatch batch(Documents());
  const int paletteType = SettingsInt("PaletteType", 0);
  // Under a palette rule that merges the tables, every frame that goes in recolours the whole
  // animation, and each frame's own entry would keep all of it again: one entry keeps it once,
  // before the first frame, and its undo takes the whole paste back.
  const int entries = paletteType < 2 ? std::numeric_limits<int>::max() : copy.Images().GetCount();
  const TUndoGroup group(Documents(), entries, Tr(undo_captions::kPasteFrame), std::max(0, SelectedFrame()));
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
  if (clipboard_.HoldsOwnCopy()) {
    std::unique_ptr<TGIFImage> copy;
    BusyScope::RunAside([this, &copy] { copy = ReadGifFile(clipboard_.File()); }, Tr(gif::texts::Loading));
    if (copy) return PasteFrameCopy(*copy) >= 0;
  }
  QImage picture;
  if (!picture.loadFromData(clipboard->Data(QString::fromLatin1(kBitmapMimeType))) || picture.isNull())
    return false;
  return PasteOneFrame(QImageToBitmap(picture)) >= 0;
}

bool TFrameCommands::PasteComment(const QString& text) {
  if (!Begin()) return false;
  if (!AddFirstFrameComment(*this, text)) {
    ShowMessage(Tr(frame_texts::kNoCommentFromClipboard), MessageType::Error, kOk);
    return false;
  }
  return true;
}

bool TFrameCommands::CanPasteComment() const {
  IClipboard* clipboard = Clipboard();
  return Active() && !Playing() && clipboard && clipboard->HasFormat(QStringLiteral("text/plain"));
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
  TWriteBatch batch(Documents());
  const TUndoGroup group(Documents(), static_cast<int>(files.size()), Tr(undo_captions::kAddFrame),
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
    if (!SetGlobalPalette(*this, *edited, caption)) return false;
  }
  if (document.WorkingCopyCurrent() && !document.WorkingCopy.isEmpty())
    Documents().ReloadDocument(document.WorkingCopy);
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
  // One scope from the undo entry to the working copy: the window is painted all through.
  BusyScope busy;
  if (!ChangeAnimationSize(*this, choice->Width, choice->Height)) return false;
  Finish(SelectedFrame());
  return true;
}

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
  std::vector<IndexMap> toGlobal;
  if (!MapLocalTablesToGlobal(image, removeLocal, toGlobal)) {
    ShowMessage(Tr(frame_texts::kCannotRemoveLocalPalettes), MessageType::Information, kOk);
    return false;
  }
  // A frame whose full table lacks the colour could not take it: the whole change is refused.
  if (choice->TransparentTouched && !captions.RemoveTransparent && choice->TransparentChecked &&
      RefuseWithoutRoom(FrameWithoutRoomFor(image, choice->Transparent.Color, 0, image.Images().GetCount() - 1)))
    return false;
  BusyScope busy;
  if (!ApplyGlobalChange(*this, captions, *choice, delayOk, delay, toGlobal)) return false;
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
  if (!SetAnimationTransparent(*this, picked->Color)) return std::nullopt;
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
  const bool changed = picked && SetFrameTransparentColor(*this, index, *picked);
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
  if (!ReverseFrameOrder(*this, keep)) return false;
  Finish(SelectedFrame());
  return true;
}

}  // namespace movinta::editor
