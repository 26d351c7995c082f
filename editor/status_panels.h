// The main window's status bar: three text panels (a narrow one, one under the progress bar, and
// the hint panel), the progress bar, and the progress sink that shows the model's long work there.
#pragma once

#include "editor/model/ui_services.h"

#include <QPointer>
#include <QString>

#include <memory>

class QLabel;
class QProgressBar;
class QStatusBar;

namespace movinta::editor {

class TStatusPanels {
public:
  // Fills bar with the panels.
  explicit TStatusPanels(QStatusBar& bar);
  ~TStatusPanels();

  // Panels 0, 1 and 2; other numbers are ignored.
  void SetText(const QString& text, int panel);
  QString Text(int panel) const;
  QProgressBar* ProgressBar() const { return prgBar_; }
  // The bar and the hint panel as the model's progress sink.
  IProgress* Progress() const { return progress_.get(); }
  // The bar at position of maximum, repainted at once; a maximum below 0 hides it.
  void ShowSteps(int position, int maximum);

private:
  QLabel* Panel(int panel) const;

  QPointer<QStatusBar> bar_;
  QPointer<QLabel> panel0_;
  QPointer<QLabel> panel1_;
  QPointer<QLabel> panel2_;
  QPointer<QProgressBar> prgBar_;
  std::unique_ptr<IProgress> progress_;
};

}  // namespace movinta::editor
