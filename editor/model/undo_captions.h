// The captions of undo entries, which the Edit menu shows after "&Undo ": one table for every road
// that records an edit (the frame commands, the frame inspector, the palette editor, the wizards and
// automation), so an edit reads the same whichever road made it.
#pragma once

#include <QString>

namespace movinta::editor::undo_captions {

// The frame list.
inline constexpr const char* kAddFrame = "Add Frame";
inline constexpr const char* kDragAndDropImage = "Drag and Drop Image";
inline constexpr const char* kPasteFrame = "Paste Frame";
inline constexpr const char* kMoveFrame = "Move Frame";
inline constexpr const char* kDeleteFrame = "Delete Frame";
inline constexpr const char* kReverseFrameOrder = "Reverse Frame Order";

// A frame's properties: a name in one of the patterns below.
inline constexpr const char* kChangeValue = "Change %1";
inline constexpr const char* kMakeValue = "Make %1";
inline constexpr const char* kNonValue = "Non-%1";
inline constexpr const char* kAddValue = "Add %1";
inline constexpr const char* kRemoveValue = "Remove %1";
inline constexpr const char* kXOffset = "X-Offset";
inline constexpr const char* kYOffset = "Y-Offset";
inline constexpr const char* kInterlaced = "Interlaced";
inline constexpr const char* kNonInterlaced = "Non-Interlaced";
inline constexpr const char* kTransparent = "Transparent";
inline constexpr const char* kRemoveTransparency = "Remove Transparency";
inline constexpr const char* kLocalPalette = "Local Palette";
inline constexpr const char* kDelay = "Delay";
inline constexpr const char* kDisposal = "Disposal";
inline constexpr const char* kFrameImage = "Frame Image";

// The whole animation.
inline constexpr const char* kChangeAnimationSize = "Change Animation Size";
inline constexpr const char* kGlobalPropertiesChange = "Global Properties Change";
inline constexpr const char* kMakeAnimationTransparent = "Make Animation Transparent";
inline constexpr const char* kChangeTransparentColor = "Change Transparent Color";
inline constexpr const char* kChangeAnimationLoop = "Change Animation Loop";
inline constexpr const char* kGifOptimization = "GIF Optimization";

// Colour tables.
inline constexpr const char* kChangeGlobalPalette = "Change Global Palette";
inline constexpr const char* kAddColorPaletteEntry = "Add Color Palette Entry";
inline constexpr const char* kChangeColorPaletteEntry = "Change Color Palette Entry";
inline constexpr const char* kDeleteColorPaletteEntry = "Delete Color Palette Entry";

// Comments.
inline constexpr const char* kAddGifComment = "Add GIF Comment";
inline constexpr const char* kChangeGifComment = "Change GIF Comment";
inline constexpr const char* kDeleteGifComment = "Delete GIF Comment";

inline QString Caption(const char* caption) { return QString::fromUtf8(caption); }
// A name put into one of the patterns: Caption(kChangeValue, kDelay) is "Change Delay".
inline QString Caption(const char* pattern, const QString& name) { return QString::fromUtf8(pattern).arg(name); }
inline QString Caption(const char* pattern, const char* name) { return Caption(pattern, QString::fromUtf8(name)); }
// "Change <name>", the caption of most property edits.
inline QString ChangeOf(const char* name) { return Caption(kChangeValue, name); }

}  // namespace movinta::editor::undo_captions
