// The small progress window of long operations that go file by file or frame by frame (video
// import and export, loading add-ins): a bar, the name of the file at hand, a line of progress text
// and a Cancel button. The window has no caption bar. The operation runs on the GUI thread and asks
// the window after each step whether the user has pressed Cancel.
#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace movinta::editor::forms {

class TfrmProgress : public QDialog {
  Q_OBJECT
public:
  explicit TfrmProgress(QWidget* owner = nullptr);

  QProgressBar* prgBar = nullptr;
  QLabel* lblFileName = nullptr;
  QLabel* lblProgress = nullptr;
  QPushButton* btnCancel = nullptr;

  // Shows the window (not modal: the operation goes on) with the bar at 0 of total steps.
  void Start(int total, const QString& fileName = QString());
  // One step done: the bar, the file and the text; then whether the user has cancelled.
  bool Step(int position, const QString& fileName, const QString& text);
  // Lets the window answer its button and repaint; true once Cancel has been pressed. Long
  // operations call it between steps and stop when it says so.
  bool CancelRequested();
  // The operation is over: the window goes.
  void Finish() { hide(); }
  // The window's modal result: 2 (Cancel) once Cancel has been pressed, else 0.
  int ModalResult() const { return modalResult_; }

  void btnCancelClick();

protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

private:
  int modalResult_ = 0;
};

}  // namespace movinta::editor::forms
