// The window that shows the HTML snippet embedding a Flash movie, with a button that copies it.
#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace movinta::editor::forms {

class TSWFHTMLFrm : public QDialog {
  Q_OBJECT
public:
  // The snippet for a movie of width x height named movieName; reminder appends the note about
  // changing the sample name and size to the introduction.
  TSWFHTMLFrm(int width, int height, bool reminder, const QString& movieName, QWidget* parent = nullptr);

  // Puts the whole snippet on the clipboard as text and says so.
  void BitBtn1Click();

  QLabel* Label1;
  QPlainTextEdit* mmoFlash;
  QPushButton* Button1;
  QPushButton* BitBtn1;
};

// Shows the window modally, with the hourglass while it is made.
void ShowFlashHTML(QWidget* parent, int width, int height, bool reminder, const QString& movieName);

}  // namespace movinta::editor::forms
