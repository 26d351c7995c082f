// A first main window: the MDI area that holds the document windows, the file and edit commands
// these need, and the status bar with its progress bar. The frame strip, property panel, toolbars
// and the other tool windows join it later.
#pragma once

#include "editor/model/document.h"
#include "editor/qt_services.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>

#include <memory>

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QProgressBar;

namespace movinta::editor {

class TMDIChildWindow;

class TfrmMain : public QMainWindow, public IEditorView {
  Q_OBJECT
public:
  // With installServices the window answers the model's messages, file choices and progress;
  // tests install their own instead.
  explicit TfrmMain(bool installServices = true, QWidget* parent = nullptr);
  ~TfrmMain() override;

  TDocuments& Documents() { return documents_; }
  QMdiArea* MdiArea() const { return mdi_; }
  TMDIChildWindow* WindowFor(const TMDIChild* document) const;
  QMdiSubWindow* SubWindowFor(const TMDIChild* document) const;
  // Asks the model to close the document; false when the user keeps it.
  bool CloseDocument(TMDIChild* document);
  TMDIChild* OpenFile(const QString& fileName);

  QAction* FileSave = nullptr;
  QAction* FileSaveAll = nullptr;
  QAction* EditUndo = nullptr;

  // IEditorView
  int SelectedFrame() const override { return selectedFrame_; }
  void SetSelectedFrame(int index) override { selectedFrame_ = index; }
  void ShowFrame(int index) override;
  void DocumentLoaded(TMDIChild* document) override;
  void DocumentStateChanged(TMDIChild* document) override;
  void DocumentAdded(TMDIChild* document) override;
  void DocumentRemoved(TMDIChild* document) override;
  void StatusText(int panel, const QString& text) override;

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  void BuildMenus();
  void SubWindowActivated(QMdiSubWindow* sub);
  void UpdateCommands();
  TMDIChild* ActiveDocument() const { return documents_.Active(); }

  TDocuments documents_;
  QMdiArea* mdi_;
  QLabel* statusHint_;
  QProgressBar* progressBar_;
  QHash<const TMDIChild*, QPointer<QMdiSubWindow>> windows_;
  int selectedFrame_ = 0;
  bool switching_ = false;

  std::unique_ptr<QtMessageRoutine> messages_;
  std::unique_ptr<QtFileChooser> chooser_;
  std::unique_ptr<StatusBarProgress> progress_;
  std::unique_ptr<QtClipboard> clipboard_;
  IEditorView* previousView_;
};

}  // namespace movinta::editor
