#include "editor/commands/flash_commands.h"

#include "editor/forms/save_flash_dialog.h"
#include "editor/forms/swf_html_form.h"
#include "editor/forms/guarded.h"
#include "editor/model/flash_export.h"
#include "editor/model/save_rules.h"
#include "editor/model/settings.h"
#include "editor/model/string_tables.h"
#include "editor/model/working_image.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

namespace movinta::editor {

namespace {

// Keeps the main window from closing while an export runs through its event pumps.
class HoldOpen : public QObject {
public:
  explicit HoldOpen(QWidget* window) : window_(window) {
    if (!window_) return;
    window_->installEventFilter(this);
    window_->setEnabled(false);
  }
  ~HoldOpen() override {
    // Input that arrived during the export goes to the disabled window, and so nowhere.
    QCoreApplication::processEvents();
    if (!window_) return;
    window_->setEnabled(true);
    window_->removeEventFilter(this);
  }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::Close) return false;
    event->ignore();
    return true;
  }

private:
  QPointer<QWidget> window_;
};

}  // namespace

bool TFlashCommands::FileSaveAsFlashUpdate() const {
  if (!documents_.Active()) return false;
  const TGIFImage* image = SharedImage();
  return image && !image->IsEmpty();
}

void TFlashCommands::Update() const {
  const bool on = FileSaveAsFlashUpdate();
  if (FileSaveAsFlash) FileSaveAsFlash->setEnabled(on);
  if (AnimationFlashHTML) AnimationFlashHTML->setEnabled(on);
}

void TFlashCommands::BuildActions(QMenu* animation, QToolBar* toolbar) {
  FileSaveAsFlash = new QAction(QStringLiteral("Save As Macromedia &Flash (.swf)..."), window_);
  FileSaveAsFlash->setObjectName(QStringLiteral("FileSaveAsFlash"));
  FileSaveAsFlash->setStatusTip(QStringLiteral("Save the GIF animation as a Macromedia Flash file"));
  QObject::connect(FileSaveAsFlash, &QAction::triggered, window_, Guarded([this] { FileSaveAsFlashExecute(); }));
  AnimationFlashHTML = new QAction(QStringLiteral("View Flash HTML"), window_);
  AnimationFlashHTML->setObjectName(QStringLiteral("AnimationFlashHTML"));
  AnimationFlashHTML->setStatusTip(QStringLiteral("View HTML for Flash movies"));
  AnimationFlashHTML->setIcon(QIcon::fromTheme(QStringLiteral("text-html"), QIcon()));
  QObject::connect(AnimationFlashHTML, &QAction::triggered, window_, Guarded([this] { AnimationFlashHTMLExecute(); }));

  if (animation) {
    animation->addSeparator();
    animation->addAction(AnimationFlashHTML);
  }
  if (toolbar) toolbar->addAction(AnimationFlashHTML);
  Update();
}

void TFlashCommands::FileSaveAsFlashExecute() {
  if (!FileSaveAsFlashUpdate()) return;
  TMDIChild* document = documents_.Active();
  forms::TSaveFlashDialog dialog;
  dialog.Name = QStringLiteral("dlgSaveFlash");
  dialog.InitialDir = SaveStartFolder(documents_.SaveFolder, document->FileName);
  dialog.SetFileName(forms::TSaveFlashDialog::SwfName(QFileInfo(document->FileName).fileName(), QString()));
  const bool confirmed = dialog.Execute() && !dialog.FileName().isEmpty();
  if (confirmed) {
    TFlashExportOptions options;
    options.MovieFile = dialog.FileName();
    options.FrameRate = dialog.FrameRate();
    options.JpegQuality = dialog.JpegQuality();
    options.Backdrop = Settings().FrameBackColor;
    // A delay or loop count still waiting to be applied goes into the animation first: nothing may
    // change it while the export reads it.
    if (documents_.BeforeDocumentChange) documents_.BeforeDocumentChange();
    if (!FileSaveAsFlashUpdate()) return;
    TGIFImage& image = *SharedImage();
    const int width = image.GetWidth(), height = image.GetHeight();
    TFlashExportOutcome outcome;
    {
      // The export reads the working image on a thread of its own while the window stays painted: as
      // long work, it keeps scripts from the documents, and the disabled window keeps the user's input
      // and a close away until it ends.
      HoldOpen hold(window_);
      outcome = ExportFlashMovie(image, options);
    }
    if (SetStatusText) {
      SetStatusText(QStringLiteral(" "), 1);
      SetStatusText(QString(), 2);
    }
    if (outcome.Written)
      forms::ShowFlashHTML(window_, width, height, false, QFileInfo(outcome.MovieFile).fileName());
  }
}

void TFlashCommands::AnimationFlashHTMLExecute() {
  if (!FileSaveAsFlashUpdate()) return;
  TGIFImage* image = SharedImage();
  forms::ShowFlashHTML(window_, image->GetWidth(), image->GetHeight(), true, Tr(texts::kFlashSampleMovie));
}

}  // namespace movinta::editor
