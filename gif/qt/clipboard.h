// The clipboard format "GIF Image" on Qt's clipboard: stands in for the
// registered Windows clipboard format, carried as a MIME type of that name
// (beside "image/gif" for other programs and a plain picture). It leaves out
// clipboard palettes and delayed rendering.
#pragma once

#include <QClipboard>
#include <QMimeData>
#include <memory>

#include "gif/gifimage.h"

namespace gif::qt {

// The format's MIME type: the library's own format name.
QString GIFImageMimeType();

// The image as "GIF Image" data, "image/gif" and its still picture. Nothing
// for an empty image; raises "Failed to store GIF on clipboard" when the image
// cannot be written.
std::unique_ptr<QMimeData> SaveToMimeData(TGIFImage& image);
// Loads "GIF Image" (or "image/gif") data, else a picture as one frame; other
// data raises "Unsupported clipboard format". A failed load leaves the image
// as it was.
void LoadFromMimeData(TGIFImage& image, const QMimeData& data);

void SaveToClipboard(TGIFImage& image, QClipboard& clipboard);
void LoadFromClipboard(TGIFImage& image, const QClipboard& clipboard);
bool ClipboardHasGIF(const QClipboard& clipboard);

}  // namespace gif::qt
