#include "editor/commands/avi_commands.h"

#include "editor/forms/progress_window.h"
#include "editor/model/avi_transfer.h"
#include "editor/model/files.h"
#include "editor/model/save_rules.h"
#include "editor/model/settings.h"
#include "editor/model/string_tables.h"
#include "editor/model/ui_services.h"
#include "editor/model/working_image.h"
#include "gif/gifimage.h"

#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>

namespace movinta::editor {

namespace {

// The progress window as the import and export see it.
class ProgressWindowSteps : public IAviProgress {
public:
  explicit ProgressWindowSteps(forms::TfrmProgress& window) : window_(window) {}
  void StepText(const QString& text) override {
    window_.lblFileName->setText(text);
    window_.lblFileName->repaint();
  }
  void SetMaximum(int maximum) override { window_.prgBar->setRange(0, std::max(maximum, 1)); }
  void SetPosition(int position) override { window_.prgBar->setValue(position); }
  bool Cancelled() override { return window_.CancelRequested(); }

private:
  forms::TfrmProgress& window_;
};

// The main window is disabled and the progress window up for as long as this lives, whatever
// ends the operation.
class ProgressScope {
public:
  ProgressScope(QWidget* main, const QString& text) : main_(main) {
    window_.setWindowModality(Qt::NonModal);
    window_.Start(0, text);
    if (main_) main_->setEnabled(false);
  }
  ~ProgressScope() {
    if (main_) main_->setEnabled(true);
    window_.Finish();
  }
  forms::TfrmProgress& Window() { return window_; }

private:
  QPointer<QWidget> main_;
  forms::TfrmProgress window_;
};

}  // namespace

qint64 GetFileSize(const QString& name) {
  const QFileInfo info(name);
  return info.isFile() ? info.size() : 0;
}

void TAviCommands::mniFileImportAviClick() {
  if (!hooks_.ChooseOpenFiles) return;
  const QStringList chosen = hooks_.ChooseOpenFiles(Tr(avi_command_texts::kImportFilter), QString());
  if (!chosen.isEmpty()) ImportAvi(chosen.first());
}

bool TAviCommands::ImportAvi(const QString& path) {
  if (GetFileSize(path) >= kAviImportLimit) {
    ShowMessage(Tr(avi_texts::kTooLarge), MessageType::Information, kOk);
    return false;
  }
  if (hooks_.HideSplash) hooks_.HideSplash();
  const QString preparing = Tr(avi_command_texts::kPreparingImport).arg(FileNameOnly(path));
  SetStatusText(preparing, 2);
  TMDIChild* before = documents_.Active();
  auto image = std::make_unique<TGIFImage>();
  bool cancelled = false;
  QString error;
  {
    BusyScope busy;
    ProgressScope progress(window_, preparing);
    ProgressWindowSteps steps(progress.Window());
    try {
      cancelled = !editor::ImportAvi(*image, path, steps);
    } catch (const std::exception& e) {
      error = QString::fromUtf8(e.what());
    }
  }
  SetStatusText(QString(), 2);
  if (!error.isEmpty()) {
    ShowMessage(error, MessageType::Error, kOk);
    return false;
  }
  if (cancelled) {
    if (before) documents_.Activate(before);
    ShowMessage(Tr(avi_command_texts::kImportCancelled), MessageType::Information, kOk);
    return false;
  }
  if (image->IsEmpty()) {
    ShowMessage(Tr(avi_command_texts::kImportError).arg(path), MessageType::Error, kOk);
    return false;
  }
  SetStatusText(Tr(avi_command_texts::kUpdatingWindow), 2);
  TMDIChild* document = documents_.NewDocument(std::move(image));
  SetStatusText(QString(), 2);
  if (!document) return false;
  document->SetModified(true);
  SetStatusText(QString(), 1);
  return true;
}

bool TAviCommands::mniFileExportAVIClick() {
  TMDIChild* document = documents_.Active();
  IFileChooser* chooser = FileChooser();
  if (!document || !chooser) return false;
  SaveRequest request;
  request.InitialName = AviExportName(FileNameOnly(document->FileName));
  request.InitialFolder = SaveStartFolder(documents_.SaveFolder, document->FileName);
  request.DefaultExtension = QStringLiteral("avi");
  request.Filter = Tr(avi_command_texts::kImportFilter);
  request.ForceExtension = true;
  const std::optional<QString> chosen = chooser->ChooseSave(request);
  if (!chosen) return false;
  const QString target = AviExportName(*chosen);

  // The export works on a copy, so that nothing it does reaches the document.
  TGIFImage copy;
  try {
    copy.Assign(*SharedImage());
  } catch (const std::exception&) {
  }
  QString error;
  bool written = false;
  {
    BusyScope busy;
    ProgressScope progress(window_, Tr(avi_texts::kPreparingExport).arg(FileNameOnly(target)));
    ProgressWindowSteps steps(progress.Window());
    if (copy.IsEmpty()) {
      error = Tr(avi_texts::kExportFailed);
    } else {
      try {
        steps.StepText(Tr(avi_texts::kExporting));
        written = ExportAvi(target, copy, Settings().FrameBackColor, steps);
      } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
      }
    }
  }
  if (!error.isEmpty()) ShowMessage(error, MessageType::Error, kOk);
  return written;
}

}  // namespace movinta::editor
