#include "editor/model/frame_list.h"

#include "editor/model/registry.h"
#include "editor/model/settings.h"
#include "editor/model/string_tables.h"
#include "editor/model/undo_captions.h"
#include "editor/model/undo_records.h"
#include "gif/texts.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace movinta::editor {

using gif::Bitmap;
using gif::TGIFGraphicControlExtension;

namespace {

int SettingsInt(const char* name, int defaultValue) {
  return ReadSettingInt(QString::fromLatin1(sections::kSettings), QString::fromLatin1(name), defaultValue);
}

}  // namespace

// ---- adding frames

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

std::unique_ptr<TGIFSubImage> MakeFrame(TGIFImage& image, const Bitmap& bitmap, QString* error) {
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
    if (error) *error = QString::fromStdString(e.what());
    return nullptr;
  }
  image.SetWidth(width);
  image.SetHeight(height);
  return frame;
}

int PlaceNewFrame(TGIFImage& image, std::unique_ptr<TGIFSubImage> owned, int position, bool reduce, int delay) {
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

int InsertionIndex(int count, int position) {
  // Inside the list the frame goes in front of the one at position; past its end it is appended.
  return position >= 0 && position < count ? position : count;
}

bool ChangesMoreThanNewFrame(TGIFImage& image, const TGIFSubImage& frame, int position, bool reduce,
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

int AddNewFrame(TFrameEditing& editing, std::unique_ptr<TGIFSubImage> frame, Bitmap& picture, int position,
                bool reduce, bool fitAnimation, const QString& caption, int transparentIndex) {
  TGIFImage& image = *SharedImage();
  TMDIChild& document = *editing.Active();
  if (transparentIndex >= 0 && IsIndexed(picture.Format())) MarkTransparent(*frame, transparentIndex);
  const bool whole = ChangesMoreThanNewFrame(image, *frame, position, reduce, fitAnimation);
  if (whole && !editing.Record(RecordAnimationChange, document, std::max(0, editing.SelectedFrame()), caption)) return -1;
  if (fitAnimation) FitImageAndBitmap(image, picture, 0);
  EditorView()->StatusText(2, Tr(frame_texts::kInsertingFrame));
  const int index = PlaceNewFrame(image, std::move(frame), position, reduce, Settings().DefaultDelay);
  EditorView()->StatusText(2, QString());
  EditorView()->FrameCountChanged(image.Images().GetCount());
  if (!whole) editing.Record(RecordFrameAdded, document, index, caption);
  BusyScope::KeepPainted();
  document.SetModified(true);
  document.CurrentFrame = index;
  EditorView()->SetSelection(index, index);
  editing.Finish(index);
  return index;
}

bool InsertFrameAfter(TFrameEditing& editing, TGIFImage& image, std::unique_ptr<TGIFSubImage> frame, int selected,
                      int delay) {
  TMDIChild* document = editing.Active();
  const int count = image.Images().GetCount();
  const int position = selected < count - 1 ? selected : count;
  const bool reduce = SettingsInt("PaletteType", 0) < 2;
  const bool whole = &image == SharedImage() && ChangesMoreThanNewFrame(image, *frame, position, reduce, false);
  if (whole && !editing.Record(RecordAnimationChange, *document, selected, Tr(undo_captions::kAddFrame))) return false;
  const int index = PlaceNewFrame(image, std::move(frame), position, reduce, delay);
  EditorView()->FrameCountChanged(image.Images().GetCount());
  if (!whole) editing.Record(RecordFrameAdded, *document, index, Tr(undo_captions::kAddFrame));
  document->SetModified(true);
  document->CurrentFrame = index;
  EditorView()->SetSelection(index, index);
  editing.Finish(index);
  return true;
}

// ---- deleting and moving

void DeleteSelectedFrames(TFrameEditing& editing) {
  TDocuments& documents = editing.Documents();
  const std::vector<int> frames = editing.SelectedFrames();
  if (frames.empty()) return;
  // The working copy, written once at the end, keeps the window painted as it goes.
  BusyScope busy;
  TMDIChild* document = editing.Active();
  TWriteBatch batch(documents);
  const TUndoGroup group(documents, std::min<int>(static_cast<int>(frames.size()), editing.FrameCount() - 1),
                         Tr(undo_captions::kDeleteFrame), frames.front());
  if (!group.Recorded()) return;
  EditorView()->SetSelection(frames.back(), frames.back());
  for (auto it = frames.rbegin(); it != frames.rend(); ++it) {
    if (documents.IndexOf(document) < 0 || editing.FrameCount() <= 1) {
      if (documents.IndexOf(document) >= 0) document->DeleteFrame(*it);  // says why it cannot
      break;
    }
    document->DeleteFrame(*it);
  }
  editing.Finish(editing.SelectedFrame());
}

void MoveSelectedFrame(TFrameEditing& editing, int to) {
  const int from = editing.SelectedFrame();
  if (from < 0 || from >= editing.FrameCount() || to < 0 || to >= editing.FrameCount() || to == from) return;
  editing.Active()->MoveFrame(from, to);
  EditorView()->SetSelection(to, to);
  editing.Finish(to);
}

bool DragSelectedFrames(TFrameEditing& editing, int target) {
  TDocuments& documents = editing.Documents();
  const int count = editing.FrameCount();
  const int selected = editing.SelectedFrame();
  if (selected < 0 || target < 0 || target >= count || target == selected) return false;
  TMDIChild& document = *editing.Active();
  if (!editing.RangeSelected()) {
    document.MoveFrame(selected, target);
    EditorView()->SetSelection(target, target);
    editing.Finish(target);
    return true;
  }
  const std::vector<int> frames = editing.SelectedFrames();
  const int first = frames.front(), last = frames.back();
  if (target >= first && target <= last) return false;
  TWriteBatch batch(documents);
  const TUndoGroup group(documents, last - first + 1, Tr(undo_captions::kMoveFrame), selected);
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
  editing.Finish(newFirst);
  return true;
}

}  // namespace movinta::editor
