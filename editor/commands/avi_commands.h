// The main window's video commands: File ▸ Import ▸ AVI Animation (and AVI files opened by type),
// File ▸ Export ▸ As AVI Animation. Each runs with the progress window up and the main window
// disabled; the work itself is the model's (editor/model/avi_transfer.h).
#pragma once

#include "editor/model/document.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <utility>

namespace movinta::editor {

namespace avi_command_texts {
inline constexpr const char* kImportFilter = "AVI Animations (*.avi)|*.avi";
inline constexpr const char* kPreparingImport = "Preparing %1 for AVI to GIF import...";
inline constexpr const char* kUpdatingWindow = "Reading and updating GIF animation window, one moment please...";
inline constexpr const char* kImportError = "Error importing %1 to GIF.";
inline constexpr const char* kImportCancelled = "AVI import was cancelled by the user.";
}  // namespace avi_command_texts

// What the video commands need of the main window; unset hooks do nothing.
struct AviHooks {
  // The open dialog over the filter and the start folder; the chosen files.
  std::function<QStringList(const QString& filter, const QString& folder)> ChooseOpenFiles;
  std::function<void()> HideSplash;
  std::function<void(const QString& text, int panel)> SetStatusText;
};

class TAviCommands {
public:
  // window is disabled while an import or export runs.
  TAviCommands(TDocuments& documents, QWidget* window, AviHooks hooks)
      : documents_(documents), window_(window), hooks_(std::move(hooks)) {}

  // Chooses an AVI file and imports it.
  void mniFileImportAviClick();
  // Imports an AVI file as a new document (files of 500,000 bytes or more are refused); true when
  // the document was made.
  bool ImportAvi(const QString& path);
  // Exports the active document as an AVI file; true when the file was written.
  bool mniFileExportAVIClick();

private:
  void SetStatusText(const QString& text, int panel) {
    if (hooks_.SetStatusText) hooks_.SetStatusText(text, panel);
  }

  TDocuments& documents_;
  QPointer<QWidget> window_;
  AviHooks hooks_;
};

// The size of a file in bytes; 0 when there is no such file.
qint64 GetFileSize(const QString& name);

}  // namespace movinta::editor
