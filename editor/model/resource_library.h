// The pictures of the splash window, the start page and the wizards. Stands in for the resource-only
// library loaded at run time: a Qt binary resource file of that name (for "Tessary.dll" the file
// "Tessary.rcc" on the given path; for a bare name, in the shared data folder where it is installed,
// else beside the program as the build tree has it) holding ":/<TYPE>/<NAME>" entries, BITMAP for
// bitmaps. Leaves out every other kind of resource such a library may hold.
#pragma once

#include "gif/gifimage.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <memory>
#include <optional>

namespace movinta::editor {

using gif::TGIFImage;

inline constexpr const char* kResourceLibrary = "Tessary.dll";

// The bytes of a resource, or nothing (and "Could not load %s library file." shown) when the library
// cannot be loaded or holds no such resource.
std::optional<QByteArray> LoadResource(const QString& libraryName, const QString& resourceName,
                                       const QString& resourceType);
// A bitmap resource ("SPLASH", "ANI_WIZ", "OPT_WIZ").
QImage LoadBitmapResource(const QString& libraryName, const QString& resourceName);
// A resource read as a GIF stream ("ANIMATED" of type "GIF").
std::unique_ptr<TGIFImage> LoadGifResource(const QString& libraryName, const QString& resourceName,
                                           const QString& resourceType);

}  // namespace movinta::editor
