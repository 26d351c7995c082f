// The frame list of the active animation: pictures made into frames and put in place with their
// blocks, and frames deleted, moved and dragged in the strip, each with its undo entry. The
// questions an added picture raises (its palette, its size) are answered before these run and come
// in as parameters.
#pragma once

#include "editor/model/frame_properties.h"
#include "gif/color/bitmap.h"

#include <QString>

#include <memory>

namespace movinta::editor {

namespace frame_texts {
inline constexpr const char* kInsertingFrame = "Inserting new frame...";
inline constexpr const char* kCreatedWith = "Created with Larkspur GIF Movinta - ";
}  // namespace frame_texts

// The frame the picture makes in image, not yet in its list (a photo is reduced to a palette aside
// while the window goes on); null, with the reason in error, when the picture cannot be a frame.
std::unique_ptr<TGIFSubImage> MakeFrame(TGIFImage& image, const gif::Bitmap& bitmap, QString* error);
// Puts a made frame in at position (appended past the end), the screen grown to hold it, with the
// new frame's blocks; reduce brings every frame onto the standard palette. The frame's index.
int PlaceNewFrame(TGIFImage& image, std::unique_ptr<TGIFSubImage> frame, int position, bool reduce, int delay);
int InsertionIndex(int count, int position);
// Whether adding at position changes more than the frame it adds, so that its undo entry has to
// keep the whole animation.
bool ChangesMoreThanNewFrame(TGIFImage& image, const TGIFSubImage& frame, int position, bool reduce,
                             bool fitAnimation);
// Makes the pixels holding index the frame's transparent ones; nothing when none holds it.
void MarkTransparent(TGIFSubImage& frame, int index);

// A frame made from picture added to the active document at position, under caption:
// transparentIndex (for an indexed picture) is transparent in it, fitAnimation fits the screen to
// the picture first. The frame is selected and shown. Its index, -1 when the undo entry could not
// be made.
int AddNewFrame(TFrameEditing& editing, std::unique_ptr<TGIFSubImage> frame, gif::Bitmap& picture, int position,
                bool reduce, bool fitAnimation, const QString& caption, int transparentIndex);
// A frame made in image put in at the selected frame's place (appended when the last one is
// selected) with the given delay, selected and shown. False when the undo entry could not be made.
bool InsertFrameAfter(TFrameEditing& editing, TGIFImage& image, std::unique_ptr<TGIFSubImage> frame, int selected,
                      int delay);

// The selected frames deleted under one undo group; the last frame of an animation stays.
void DeleteSelectedFrames(TFrameEditing& editing);
// The selected frame moved to to, and selected there.
void MoveSelectedFrame(TFrameEditing& editing, int to);
// The selected frame, or the range as one block in its order, dragged to target. False when
// nothing moves.
bool DragSelectedFrames(TFrameEditing& editing, int target);

}  // namespace movinta::editor
