// The main window's video commands: File ▸ Import ▸ AVI Animation (and AVI files opened by type),
// File ▸ Export ▸ As AVI Animation. Each runs with the progress window up and the main window
// disabled; the work itself is the model's (editor/model/avi_transfer.h).
#pragma once

#include <QString>

namespace movinta::editor {

class TfrmMain;

namespace avi_command_texts {
inline constexpr const char* kImportFilter = "AVI Animations (*.avi)|*.avi";
inline constexpr const char* kPreparingImport = "Preparing %1 for AVI to GIF import...";
inline constexpr const char* kUpdatingWindow = "Reading and updating GIF animation window, one moment please...";
inline constexpr const char* kImportError = "Error importing %1 to GIF.";
inline constexpr const char* kImportCancelled = "AVI import was cancelled by the user.";
}  // namespace avi_command_texts

class TAviCommands {
public:
  explicit TAviCommands(TfrmMain& main) : main_(main) {}

  // Chooses an AVI file and imports it.
  void mniFileImportAviClick();
  // Imports an AVI file as a new document (files of 500,000 bytes or more are refused); true when
  // the document was made.
  bool ImportAvi(const QString& path);
  // Exports the active document as an AVI file; true when the file was written.
  bool mniFileExportAVIClick();

private:
  TfrmMain& main_;
};

// The size of a file in bytes; 0 when there is no such file.
qint64 GetFileSize(const QString& name);

}  // namespace movinta::editor
