#include "editor/main_window.h"

#include "editor/document_window.h"
#include "editor/model/files.h"
#include "editor/model/string_tables.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileDialog>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusBar>

namespace movinta::editor {

TfrmMain::TfrmMain(bool installServices, QWidget* parent) : QMainWindow(parent) {
  setWindowTitle(QStringLiteral("GIF Movinta"));
  mdi_ = new QMdiArea(this);
  mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setCentralWidget(mdi_);
  connect(mdi_, &QMdiArea::subWindowActivated, this, &TfrmMain::SubWindowActivated);

  statusHint_ = new QLabel;
  progressBar_ = new QProgressBar;
  progressBar_->setMaximumWidth(160);
  progressBar_->hide();
  statusBar()->addWidget(statusHint_, 1);
  statusBar()->addPermanentWidget(progressBar_);

  previousView_ = SetEditorView(this);
  if (installServices) {
    messages_ = std::make_unique<QtMessageRoutine>(this);
    chooser_ = std::make_unique<QtFileChooser>(this);
    progress_ = std::make_unique<StatusBarProgress>(progressBar_, statusHint_);
    clipboard_ = std::make_unique<QtClipboard>();
    SetMessageRoutine(messages_.get());
    SetFileChooser(chooser_.get());
    SetProgressSink(progress_.get());
    SetClipboard(clipboard_.get());
  }
  BuildMenus();
  UpdateCommands();
  resize(800, 600);
}

TfrmMain::~TfrmMain() {
  // The MDI area signals while it is torn down; nothing of this window may answer then.
  disconnect(mdi_, nullptr, this, nullptr);
  // Documents go before the window's view of them.
  while (documents_.Count() > 0) documents_.FreeChildWindow(documents_.At(documents_.Count() - 1));
  SetEditorView(previousView_);
  if (messages_) SetMessageRoutine(nullptr);
  if (chooser_) SetFileChooser(nullptr);
  if (progress_) SetProgressSink(nullptr);
  if (clipboard_) SetClipboard(nullptr);
  SharedImage(1);
}

void TfrmMain::BuildMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  file->addAction(QStringLiteral("&New"), QKeySequence::New, this, [this] { documents_.NewDocument(); });
  file->addAction(QStringLiteral("&Open..."), QKeySequence::Open, this, [this] {
    const QString name = QFileDialog::getOpenFileName(this, QStringLiteral("Open"), documents_.SaveFolder,
                                                      QStringLiteral("GIF Image (*.gif);;All files (*)"));
    if (!name.isEmpty()) OpenFile(name);
  });
  FileSave = file->addAction(QStringLiteral("&Save"), QKeySequence::Save, this, [this] {
    if (TMDIChild* d = ActiveDocument()) d->SaveDocument(false, true);
  });
  file->addAction(QStringLiteral("Save &As..."), QKeySequence::SaveAs, this, [this] {
    if (TMDIChild* d = ActiveDocument()) d->SaveDocument(true, true);
  });
  FileSaveAll = file->addAction(QStringLiteral("Save A&ll"), this, [this] {
    for (int i = 0; i < documents_.Count(); ++i)
      if (documents_.At(i)->Modified && !documents_.At(i)->SaveDocument(false, true)) break;
  });
  file->addSeparator();
  file->addAction(QStringLiteral("&Close"), this, [this] {
    if (QMdiSubWindow* sub = mdi_->activeSubWindow()) sub->close();
  });
  file->addAction(QStringLiteral("Close A&ll"), this, [this] { documents_.CloseAll(); });
  file->addSeparator();
  file->addAction(QStringLiteral("E&xit"), this, &QWidget::close);

  QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
  EditUndo = edit->addAction(QStringLiteral("&Undo"), QKeySequence::Undo, this, [this] {
    if (TMDIChild* d = ActiveDocument()) d->Undo();
  });

  QMenu* frame = menuBar()->addMenu(QStringLiteral("F&rame"));
  frame->addAction(QStringLiteral("&Delete Frame"), this, [this] {
    if (TMDIChild* d = ActiveDocument()) d->DeleteFrame(selectedFrame_);
  });
  frame->addAction(QStringLiteral("Move &Up"), this, [this] {
    if (TMDIChild* d = ActiveDocument(); d && selectedFrame_ > 0) d->MoveFrame(selectedFrame_, selectedFrame_ - 1);
    ShowFrame(selectedFrame_);
  });
  frame->addAction(QStringLiteral("Move Do&wn"), this, [this] {
    if (TMDIChild* d = ActiveDocument()) d->MoveFrame(selectedFrame_, selectedFrame_ + 1);
    ShowFrame(selectedFrame_);
  });
  frame->addAction(QStringLiteral("&Next Frame"), this, [this] {
    const int count = SharedImage()->Images().GetCount();
    if (count > 0) ShowFrame((selectedFrame_ + 1) % count);
  });
}

TMDIChild* TfrmMain::OpenFile(const QString& fileName) {
  const int open = documents_.FindOpenDocument(fileName);
  if (open >= 0) {
    TMDIChild* d = documents_.At(open);
    if (QMdiSubWindow* sub = SubWindowFor(d)) mdi_->setActiveSubWindow(sub);
    return d;
  }
  return documents_.OpenDocument(fileName);
}

QMdiSubWindow* TfrmMain::SubWindowFor(const TMDIChild* document) const { return windows_.value(document); }

TMDIChildWindow* TfrmMain::WindowFor(const TMDIChild* document) const {
  QMdiSubWindow* sub = SubWindowFor(document);
  return sub ? qobject_cast<TMDIChildWindow*>(sub->widget()) : nullptr;
}

bool TfrmMain::CloseDocument(TMDIChild* document) { return documents_.Close(document); }

void TfrmMain::ShowFrame(int index) {
  selectedFrame_ = index;
  if (TMDIChildWindow* w = WindowFor(ActiveDocument())) w->ShowFrame(index);
}

void TfrmMain::DocumentAdded(TMDIChild* document) {
  auto* window = new TMDIChildWindow(*this, document);
  QMdiSubWindow* sub = mdi_->addSubWindow(window);
  sub->setAttribute(Qt::WA_DeleteOnClose, false);
  windows_.insert(document, sub);
  TGIFImage& image = *SharedImage();
  if (image.GetWidth() > 0) sub->resize(image.GetWidth() + 70, image.GetHeight() + 65 + 24);
  switching_ = true;
  sub->show();
  mdi_->setActiveSubWindow(sub);
  switching_ = false;
}

void TfrmMain::DocumentRemoved(TMDIChild* document) {
  QPointer<QMdiSubWindow> sub = windows_.take(document);
  if (!sub) return;
  if (auto* w = qobject_cast<TMDIChildWindow*>(sub->widget())) w->Detach();
  // Removal may come from inside the window's own close handling, so the window goes later.
  sub->hide();
  sub->deleteLater();
  UpdateCommands();
}

void TfrmMain::DocumentLoaded(TMDIChild* document) {
  selectedFrame_ = 0;
  if (TMDIChildWindow* w = WindowFor(document)) w->ShowFrame(document ? document->CurrentFrame : 0);
  UpdateCommands();
}

void TfrmMain::DocumentStateChanged(TMDIChild* document) {
  if (TMDIChildWindow* w = WindowFor(document)) w->UpdateState();
  UpdateCommands();
}

void TfrmMain::StatusText(int panel, const QString& text) {
  if (panel == 2) statusHint_->setText(text);
}

void TfrmMain::UpdateCommands() {
  TMDIChild* d = ActiveDocument();
  if (FileSave) FileSave->setEnabled(d && d->Modified);
  if (FileSaveAll) FileSaveAll->setEnabled(documents_.AnyChildModified());
  if (EditUndo) {
    EditUndo->setEnabled(d && d->History.Count() > 0);
    EditUndo->setText(d && d->History.Count() > 0 ? d->UndoCaption() : QStringLiteral("&Undo"));
  }
}

void TfrmMain::SubWindowActivated(QMdiSubWindow* sub) {
  if (switching_ || !sub) return;
  auto* window = qobject_cast<TMDIChildWindow*>(sub->widget());
  TMDIChild* target = window ? window->Document() : nullptr;
  if (!target || target == ActiveDocument()) return;
  if (!documents_.Activate(target)) {
    // The switch did not happen: the previous document stays in front.
    switching_ = true;
    if (QMdiSubWindow* back = SubWindowFor(ActiveDocument())) mdi_->setActiveSubWindow(back);
    switching_ = false;
  }
  UpdateCommands();
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  if (!documents_.CloseAll()) {
    event->ignore();
    return;
  }
  event->accept();
}

}  // namespace movinta::editor
