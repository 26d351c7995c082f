// "Export Images": the frames of the working image chosen in a list are written as separate GIF,
// JPEG or BMP files with numbered names when the form closes with OK. The caller fills lbExport with
// one line per frame, in frame order.
#pragma once

#include "editor/image_export.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QRadioButton;
class QScrollArea;
class QSlider;
class QWidget;

namespace movinta::editor::forms {

class TfrmExporter : public QDialog {
  Q_OBJECT
public:
  explicit TfrmExporter(QWidget* owner = nullptr);

  // The folder the save dialog starts in.
  QString StartFolder;
  QListWidget* lbExport = nullptr;
  QScrollArea* sbPreview = nullptr;
  QLabel* imgPreview = nullptr;
  QRadioButton *optGIF = nullptr, *optJpeg = nullptr, *optBitmap = nullptr;
  QWidget *pnlGIF = nullptr, *pnlJPEG = nullptr, *pnlBitmap = nullptr;
  QRadioButton *optGIFNetscape = nullptr, *optGIFGray = nullptr, *optGIFMonochrome = nullptr,
               *optGIFWindows = nullptr, *optGIFWinSys20 = nullptr;
  QComboBox* cbGIFColors = nullptr;
  QCheckBox* chkGIFOptimized = nullptr;
  QSlider* trackbar = nullptr;
  QLabel *lblBest = nullptr, *lblWorst = nullptr;
  QRadioButton *optJBestQuality = nullptr, *optJSpdQuality = nullptr;
  QCheckBox *chkJProgress = nullptr, *chkJSmooth = nullptr, *chkJGrayscale = nullptr;
  QCheckBox* chkBMono = nullptr;
  QProgressBar* Progress = nullptr;

  // The export as the controls set it.
  ExportSettings CurrentSettings() const;
  // The selected frames, ascending.
  std::vector<int> SelectedFrames() const;

  // The handlers, as the controls run them.
  void optGIFClick(int tag);
  void optGIFNetscapeClick(int tag);
  void chkJProgressClick();
  void lbExportClick();
  // OK: asks for the file name and writes the selected frames; false keeps the form open.
  bool FormCloseQuery();

  void done(int result) override;

private:
  int paletteTag_ = 0;
  int formatTag_ = 0;
};

}  // namespace movinta::editor::forms
