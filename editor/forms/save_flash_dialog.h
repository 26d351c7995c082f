// The save dialog of Save As Flash: the shell's save dialog without its folder tree, with a panel
// below the file type that asks for the movie's frame rate (1..30) and JPEG quality (1..100).
// A typed name with another extension gets ".swf" before the dialog asks about replacing a file,
// so the question is about the file that will be written.
#pragma once

#include "controls/shell/dialogs/ptopendlg.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QWidget>

class QToolButton;

namespace movinta::editor::forms {

// Two arrow buttons that step a number between a minimum and a maximum and show it in the edit
// they are associated with. Positions outside the range are taken as the nearest end.
class TUpDown : public QWidget {
  Q_OBJECT
public:
  explicit TUpDown(QWidget* parent = nullptr);
  // The edit shows the position; its Up and Down keys step it.
  void SetAssociate(QLineEdit* edit);
  void SetRange(int minimum, int maximum);
  int Position() const { return position_; }
  void SetPosition(int value);
  void Step(int delta) { SetPosition(position_ + delta); }
  QToolButton* UpButton() const { return up_; }
  QToolButton* DownButton() const { return down_; }

protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  QPointer<QLineEdit> associate_;
  QObject* associateObject_ = nullptr;
  QToolButton* up_;
  QToolButton* down_;
  int minimum_ = 0, maximum_ = 100, position_ = 0;
};

class TSaveFlashDialog : public ptshell::TPTSaveDlg {
public:
  // Save-dialog options without the folder tree.
  static constexpr ptshell::TPTOpenOptions kOptions = 0x3A1410;

  TSaveFlashDialog();
  QString ClassName() const override { return QStringLiteral("TSaveFlashDialog"); }

  // The up-downs' positions while the form exists; afterwards those it closed with (10 and 90
  // before the first run).
  int FrameRate() const;
  int JpegQuality() const;

  // The panel and its controls, by their component names; null while the form does not exist.
  QPointer<QWidget> pnlFlash;
  QPointer<QFrame> Bevel2;
  QPointer<QLabel> Label6, Label7, Label8;
  QPointer<QLineEdit> txtFlashFrameRate, txtFlashJpgQuality;
  QPointer<TUpDown> udFlashFrameRate, udFlashJpgQuality;

  void DialogInitialized();
  // A typed number moves its up-down; text that is not a number is left alone.
  void NumberChange(QLineEdit* edit);

  // What the dialog makes of a typed name: the same name with ".swf" in place of another
  // extension; masks, folders and names already ending in ".swf" stay as typed.
  static QString SwfName(const QString& typed, const QString& folder);

protected:
  ptshell::TPTFrmOpenDlg* CreateForm() override;
  void ReadResults(ptshell::TPTFrmOpenDlg* form) override;

private:
  void CreateFlashPanel(ptshell::TPTFrmOpenDlg* form);
  void CreateFlashControls();
  int frameRate_ = 10;
  int jpegQuality_ = 90;
};

}  // namespace movinta::editor::forms
