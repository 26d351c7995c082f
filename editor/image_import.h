// Turning an image file into pixels: a bitmap for a frame, or, for a GIF, its frames added to the
// open animation or the GIF opened as a document of its own. BMP files are read directly, GIF files
// by the GIF library, every other format by the imaging control.
#pragma once

#include "gif/color/bitmap.h"
#include "gif/gifimage.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <cstdint>

class TXpress;

namespace movinta::editor {

// Results of ImportImageFile and AskDropImageAction.
inline constexpr int kImportBitmap = 0;       // the bitmap holds the image
inline constexpr int kImportFailed = -1;      // failed or cancelled
inline constexpr int kImportOpenedAsNew = -2; // the GIF was opened as a new document
inline constexpr int kImportAddedFrames = -3; // the GIF's frames were added to the active document

// What the import needs of the main window.
class IImportHost {
public:
  virtual ~IImportHost() = default;
  virtual bool OpenGifDocument(const QString& fileName) = 0;
  // Index of the new frame, -1 when refused or cancelled.
  virtual int InsertBitmapFrame(const gif::Bitmap& bitmap, int position, const QString& caption) = 0;
  // Where added frames go: one after the selected frame, at most the last; -1 without frames.
  virtual int InsertPosition() const = 0;
  virtual bool HasDocument() const = 0;
  // Set when a drop did not land on a document window.
  virtual bool OpenAsNew() const = 0;
  virtual void BringActiveDocumentToFront() = 0;
  // Writes the active document's working copy after frames went in.
  virtual void ActiveDocumentChanged() = 0;
  virtual TXpress* Imaging() = 0;
};

// Reads the file by its type code. Never shows a message: on -1, error holds the text to show
// (empty when the user cancelled), so that the caller reports a failure once.
int ImportImageFile(IImportHost& host, const QString& fileName, gif::Bitmap& bitmap, std::uint8_t typeCode,
                    bool asBitmapOnly, QString* error);
// Asks whether the GIF's frames go into the current animation or start a new one (a remembered
// answer is used without asking) and does it.
int AskDropImageAction(IImportHost& host, const QString& message, gif::TGIFImage& gifImage, gif::Bitmap& bitmap,
                       const QString& fileName);

// Every picture that comes in from outside (a file, a DIB, a script's bytes) becomes a frame's
// bitmap here. Frames hold no partial transparency: a picture with an alpha channel becomes what
// the exports show of it, laid over the backdrop of transparent frames (the frame background
// colour); pictures without one keep their pixels. False when it holds nothing.
bool PictureToBitmap(const QImage& picture, gif::Bitmap& bitmap);

// A packed device-independent bitmap (info header, colour table, rows) as a bitmap; false when the
// bytes do not hold one, or when the picture is past the frame limit or the memory budget (then
// `tooLarge`, when given, is set). With alpha, the fourth byte of each 32-bit pixel is its opacity
// and the picture is laid over the backdrop of transparent frames; without it, those bytes mean nothing.
bool PackedDibToBitmap(const QByteArray& dib, gif::Bitmap& bitmap, bool alpha = false, bool* tooLarge = nullptr);

}  // namespace movinta::editor
