// The rules around saving and exporting that need no window: where a sample picture is saved, the
// text of the HTML page that shows an animation, and the names of exported frame images.
#pragma once

#include <QString>

#include <functional>

namespace movinta::editor {

// A document that lies directly in the sample folder is saved to the working folder under its own
// name instead, so the sample stays as shipped. When that name is taken, a number is appended before
// ".gif" (a random one from 0 to 99 first, then the next free one), so no other file is replaced.
// Returns fileName itself for a document outside the sample folder, and an empty string when the
// working folder is missing. random(n) gives a number from 0 to n - 1.
QString SampleFolderSavePath(const QString& fileName, const QString& sampleFolder, const QString& workingFolder,
                             const std::function<int(int)>& random = {});

// The HTML page that shows the image file imageName (a name beside the page) at width x height:
// nine lines ended by CR LF. The name is percent-encoded as UTF-8 so that a browser finds it.
QString HtmlPageText(const QString& imageName, int width, int height);

// The file of frame `frame` for the chosen name: "ZQ1" and the frame index go before the chosen
// format's suffix as typed ("x.JPEG", 3, "jpg" -> "xZQ13.JPEG"); another export format's suffix gives
// way to formatSuffix ("x.gif", 3, "jpg" -> "xZQ13.jpg"), and any other ending is part of the name
// ("x.png", 3, "bmp" -> "x.pngZQ13.bmp").
QString NumberedExportName(const QString& chosen, int frame, const QString& formatSuffix);

// Where an export's save dialog starts: folder (the save dialog's) when it can be written; else the
// folder of documentFile when that can; else the user's Pictures folder (the home folder when there
// is none). On a fresh install the save dialog's folder is the read-only sample folder.
QString SaveStartFolder(const QString& folder, const QString& documentFile);

// The JPEG quality of a position of the exporter's quality track bar (0 .. 4).
int JpegQualityForTrack(int position);

}  // namespace movinta::editor
