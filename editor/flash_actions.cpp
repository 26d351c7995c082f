#include "editor/flash_actions.h"

#include "editor/forms/save_flash_dialog.h"
#include "editor/forms/swf_html_form.h"
#include "editor/forms/guarded.h"
#include "editor/main_window.h"
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

QMenu* MenuNamed(TfrmMain& main, const QString& text) {
  for (QAction* a : main.menuBar()->actions())
    if (a->menu() && a->text() == text) return a->menu();
  return nullptr;
}

// Keeps the main window from closing while an export runs through its event pumps.
class HoldOpen : public QObject {
public:
  explicit HoldOpen(QWidget* window) : window_(window) {
    window_->installEventFilter(this);
    window_->setEnabled(false);
  }
  ~HoldOpen() override {
    // Input that arrived during the export goes to the disabled window, and so nowhere.
    QCoreApplication::processEvents();
    window_->setEnabled(true);
    window_->removeEventFilter(this);
  }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::Close) return false;
    event->ignore();
    return true;
  }

private:
  QWidget* window_;
};

}  // namespace

bool FileSaveAsFlashUpdate(TfrmMain& main) {
  if (!main.ActiveDocument()) return false;
  const TGIFImage* image = SharedImage();
  return image && !image->IsEmpty();
}

void FlashActions::Update(TfrmMain& main) const {
  const bool on = FileSaveAsFlashUpdate(main);
  if (FileSaveAsFlash) FileSaveAsFlash->setEnabled(on);
  if (AnimationFlashHTML) AnimationFlashHTML->setEnabled(on);
}

FlashActions BuildFlashActions(TfrmMain& main) {
  FlashActions a;
  a.FileSaveAsFlash = new QAction(QStringLiteral("Save As Macromedia &Flash (.swf)..."), &main);
  a.FileSaveAsFlash->setObjectName(QStringLiteral("FileSaveAsFlash"));
  a.FileSaveAsFlash->setStatusTip(QStringLiteral("Save the GIF animation as a Macromedia Flash file"));
  QObject::connect(a.FileSaveAsFlash, &QAction::triggered, &main, Guarded([&main] { FileSaveAsFlashExecute(main); }));
  a.AnimationFlashHTML = new QAction(QStringLiteral("View Flash HTML"), &main);
  a.AnimationFlashHTML->setObjectName(QStringLiteral("AnimationFlashHTML"));
  a.AnimationFlashHTML->setStatusTip(QStringLiteral("View HTML for Flash movies"));
  a.AnimationFlashHTML->setIcon(QIcon::fromTheme(QStringLiteral("text-html"), QIcon()));
  QObject::connect(a.AnimationFlashHTML, &QAction::triggered, &main, Guarded([&main] { AnimationFlashHTMLExecute(main); }));

  if (QMenu* animation = MenuNamed(main, QStringLiteral("&Animation"))) {
    animation->addSeparator();
    animation->addAction(a.AnimationFlashHTML);
  }
  if (QToolBar* toolbar = main.findChild<QToolBar*>(QStringLiteral("tbAnimation")))
    toolbar->addAction(a.AnimationFlashHTML);
  a.Update(main);
  return a;
}

void FileSaveAsFlashExecute(TfrmMain& main) {
  if (!FileSaveAsFlashUpdate(main)) return;
  TMDIChild* document = main.ActiveDocument();
  forms::TSaveFlashDialog dialog;
  dialog.Name = QStringLiteral("dlgSaveFlash");
  dialog.InitialDir = SaveStartFolder(main.Documents().SaveFolder, document->FileName);
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
    if (main.Documents().BeforeDocumentChange) main.Documents().BeforeDocumentChange();
    if (!FileSaveAsFlashUpdate(main)) return;
    TGIFImage& image = *SharedImage();
    const int width = image.GetWidth(), height = image.GetHeight();
    TFlashExportOutcome outcome;
    {
      // The export reads the working image on a thread of its own while the window stays painted: as
      // long work, it keeps scripts from the documents, and the disabled window keeps the user's input
      // and a close away until it ends.
      HoldOpen hold(&main);
      outcome = ExportFlashMovie(image, options);
    }
    main.SetStatusText(QStringLiteral(" "), 1);
    main.SetStatusText(QString(), 2);
    if (outcome.Written)
      forms::ShowFlashHTML(&main, width, height, false, QFileInfo(outcome.MovieFile).fileName());
  }
}

void AnimationFlashHTMLExecute(TfrmMain& main) {
  if (!FileSaveAsFlashUpdate(main)) return;
  TGIFImage* image = SharedImage();
  forms::ShowFlashHTML(&main, image->GetWidth(), image->GetHeight(), true, Tr(texts::kFlashSampleMovie));
}

}  // namespace movinta::editor
