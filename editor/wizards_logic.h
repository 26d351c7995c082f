// The rules of the wizards without their window: the tip of the day, sizes and download times as
// the pages show them, composing a new animation from pictures, and optimising a copy of an
// animation while checking that it still shows what the original shows.
#pragma once

#include "editor/model/document.h"
#include "gif/color/bitmap.h"
#include "gif/gifimage.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

namespace movinta::editor::forms {

// ---- tips

inline constexpr const char* kTipsFile = "Tips.txt";

struct TipsList {
  QStringList Lines;
  int Next = 0;
  QString Error;  // the text shown in place of a tip when the file cannot be read
};
// The tips of folder/Tips.txt, one per line (blank lines skipped).
TipsList LoadTips(const QString& folder);
// The next tip, wrapping to the first after the last; the error text when there are none.
QString NextTip(TipsList& tips);

// ---- texts of the pages

// "%.n bytes": a whole number with thousands separators.
QString BytesText(double bytes);
// "None" when nothing was saved, else the bytes saved and the share of the first size.
QString SavedText(double firstSize, double optimizedSize);
// Connection speeds in kilobits per second by their combo text ("28.8", "56.6", "DSL", "T-1").
float ConnectionRate(const QString& text);
double DownloadSeconds(double bytes, const QString& rateText);
QString DownloadTimeText(double bytes, const QString& rateText);

// ---- pages

enum class WizardMode { Welcome = 0, NewAnimation = 1, Optimize = 2, Tips = 3 };

QString WizardTitle(WizardMode mode);
// Pages 0-4 belong to the new-animation wizard, 5-8 to the optimisation wizard.
inline constexpr int kImagesPage = 3;
int FirstPage(WizardMode mode);
int LastPage(WizardMode mode);
QString PageHeading(int page);
struct PageButtons {
  bool BackEnabled = false;
  bool NextEnabled = true;
  QString NextCaption;
};
// The buttons on a page; the images page goes on only with pictures listed.
PageButtons ButtonsFor(int page, int imageCount);

// ---- the welcome dialog's Recent preview

// The first frame of a GIF file and what it needs (the header and the colour tables), without
// reading or decoding the frames after it; null when the file cannot be read or is no GIF.
std::unique_ptr<gif::TGIFImage> ReadFirstFrame(const QString& file);

// ---- the new-animation wizard

enum class FramePlacement { Scale, Center, TopLeft };

struct NewAnimationChoice {
  QStringList Files;
  bool CustomSize = false;
  int Width = 100;
  int Height = 100;
  FramePlacement Placement = FramePlacement::Scale;
  bool LoopForever = true;
  int Plays = 1;  // "Play it" n times
  int Delay = 100;
  bool Transparent = false;
};

// Reads a picture file into a bitmap; false (with the reason) when it cannot.
using PictureReader = std::function<bool(const QString& file, gif::Bitmap& picture, QString* error)>;

// The picture as it goes onto a frame of width x height filled with background.
gif::Bitmap ComposeFrame(const gif::Bitmap& picture, int width, int height, gif::TColor background,
                         FramePlacement placement);

struct NewAnimation {
  std::unique_ptr<gif::TGIFImage> Image;  // null when no file could be read
  QStringList Failed;                     // the files that could not be read
};
NewAnimation BuildNewAnimation(const NewAnimationChoice& choice, const PictureReader& read);

// ---- the optimisation wizard

struct OptimizeChoice {
  bool Trim = true;              // 1 "&Trim frames to smallest rectangle needed"
  bool RemoveDuplicates = true;  // 2 "Remove &duplicate pixels with transparency"
  bool RemoveNonVisible = true;  // 4 "&Remove all non-visible elements (eg. comments)"
  bool SortPalettes = true;      // 8 "&Sort palettes and remove unused entries"
  bool OptimizeAll = false;      // "&Optimze all palettes (global and local)"
  bool RemoveLocal = false;      // "&Remove local palettes (optimizes to global palette)"
};
unsigned OptimizeFlags(const OptimizeChoice& choice);
bool HasLocalPalettes(const gif::TGIFImage& image);

// copy becomes source, optimised as chosen. "Remove local palettes" counts only when source has one.
void OptimizeCopy(gif::TGIFImage& copy, gif::TGIFImage& source, const OptimizeChoice& choice);

// How two animations differ on screen, frame by frame over time.
struct ShownDifference {
  std::int64_t ChangedPixels = 0;  // pixels that show another colour in some frame
  bool TimingChanged = false;      // another count of pictures or another time for one
  bool LoopChanged = false;
  bool Same() const { return ChangedPixels == 0 && !TimingChanged && !LoopChanged; }
};
ShownDifference CompareShown(gif::TGIFImage& original, gif::TGIFImage& changed);
// What the results page and the question before replacing say about a difference.
QString DifferenceText(const ShownDifference& difference);

// The animation becomes a new document: loaded, active and modified. Null when the active
// document cannot be put aside.
TMDIChild* OpenAsNewDocument(TDocuments& documents, std::unique_ptr<gif::TGIFImage> image);
// The active document takes the optimised animation as one undoable change.
bool ReplaceWithOptimized(TMDIChild& document, gif::TGIFImage& optimized);

}  // namespace movinta::editor::forms
