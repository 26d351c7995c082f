// The main window's Export menu: the update rule of its frame exports and the HTML page that shows
// the active document's file in a browser. The frame images come from the image exporter
// (editor/image_exporter.h).
#pragma once

#include "editor/model/document.h"

#include <QString>
#include <QUrl>

#include <functional>

namespace movinta::editor {

class TSaveCommands;

class TExportCommands {
public:
  TExportCommands(TDocuments& documents, TSaveCommands& save);

  // The frame exports are offered only while the working image has frames.
  static bool FrameExportsEnabled();

  // Writes the HTML page for the active document's file; a document never saved is saved first.
  // The page goes beside the name the user chooses, with the suffix ".html".
  void mniFileExportHTMLClick();

  // Opens a page in the default browser; replaceable for tests.
  std::function<bool(const QUrl&)> OpenUrl;

private:
  TDocuments& documents_;
  TSaveCommands& save_;
};

// Writes text as UTF-8 to fileName through a temporary file and a rename; false (reported with the
// save error) when it cannot.
bool WriteTextFile(const QString& fileName, const QString& text);

}  // namespace movinta::editor
