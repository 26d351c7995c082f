// The property panel above the frame strip: page "Frame" with the frame chooser, the delay and
// the disposal of the selected frame (or frames), page "Animation" with the loop count and the
// animation's transparent colour. Typed numbers apply 150 ms after the last keystroke, or at once
// when any other command, save, switch or close comes first.
#pragma once

#include "editor/commands/frame_commands.h"

#include <QTabWidget>
#include <QTimer>

class QComboBox;
class QFrame;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace movinta::editor {

class TPropertyPanel : public QTabWidget {
  Q_OBJECT
public:
  explicit TPropertyPanel(TFrameCommands& commands, QWidget* parent = nullptr);
  ~TPropertyPanel() override;

  // Shows frame index of the working image (UpdateFrameProperties).
  void ShowFrameProperties(int index, bool allSelected);
  void SetLoopControls(int count);
  void SetControlsEnabled(bool enabled);
  QTimer& TimerInput() { return timerInput_; }

  QComboBox* cbFrames = nullptr;
  QSpinBox* txtDelay = nullptr;
  QComboBox* cbDisposal = nullptr;
  QRadioButton* optLoopInfinite = nullptr;
  QRadioButton* optLoopTimes = nullptr;
  QSpinBox* txtLoop = nullptr;
  QFrame* shpTransColor = nullptr;
  QPushButton* btnTransColor = nullptr;

signals:
  // The frame combo chose a frame (-1: "Select All").
  void frameChosen(int index);

private:
  void SetQuietly(QSpinBox* edit, int value);
  void LoopRadioClicked();
  void LoopTyped(int value);
  void TransColorClicked();
  void ShowTransColor(gif::TColor color, int index);

  TFrameCommands& commands_;
  QWidget* pnlFrame_ = nullptr;
  QWidget* pnlAnimation_ = nullptr;
  QTimer timerInput_;
  bool quiet_ = false;
  int transIndex_ = 0;
  gif::TColor transColor_ = 0xFFFFFF;
};

}  // namespace movinta::editor
