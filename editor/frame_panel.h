// The panel below the documents: the property tabs above the frame strip, both over the frame
// commands, and which of the active animation's frames is selected and how many the strip shows.
#pragma once

#include <QPointer>

class QWidget;

namespace movinta::editor {

class TFrameCommands;
class TFrameStrip;
class TMDIChild;
class TPropertyPanel;

class TFramePanel {
public:
  // Builds the panel over the commands, its cells frameSize wide; whoever places Widget() owns it.
  TFramePanel(TFrameCommands& commands, int frameSize);

  QWidget* Widget() const { return bottom_; }
  TFrameStrip* Strip() const { return strip_; }
  TPropertyPanel* Properties() const { return tabs_; }

  // The frame shown; -1 once the last document has closed.
  int Selected() const { return selected_; }
  void SetSelected(int index) { selected_ = index; }
  // The frames with a cell in the strip (empty frames lie behind the others and get none).
  int Columns() const { return columns_; }
  void FrameCountChanged(int count);
  int SelectionFirst() const;
  int SelectionLast() const;
  void SetSelection(int first, int last);
  void RepaintCells();
  // The document's animation arrived in the working image: the strip shows its frames with the
  // document's current frame selected. True when it has frames to show.
  bool Loaded(const TMDIChild* document);
  // No document: the tabs are off and empty, and the strip has no cells.
  void Reset();

private:
  QPointer<QWidget> bottom_;
  QPointer<TPropertyPanel> tabs_;
  QPointer<TFrameStrip> strip_;
  int selected_ = 0;
  int columns_ = 0;
};

}  // namespace movinta::editor
