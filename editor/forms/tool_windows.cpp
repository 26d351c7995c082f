#include "editor/forms/tool_windows.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSplitter>

namespace movinta::editor {

QPointer<TfrmThumbWin> the_frmThumbWin;
QPointer<forms::TfrmFloat> the_frmFloat;

TfrmThumbWin::TfrmThumbWin(QWidget* parent) : QWidget(parent, Qt::Tool) {
  setObjectName(QStringLiteral("frmThumbWin"));
  setWindowTitle(QStringLiteral("Image Browser"));
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  splitter_ = new QSplitter(this);
  tvShell_ = new QWidget(splitter_);
  tvShell_->setObjectName(QStringLiteral("tvShell"));
  grdThumbs_ = new QLabel(splitter_);
  grdThumbs_->setObjectName(QStringLiteral("grdThumbs"));
  grdThumbs_->setAlignment(Qt::AlignCenter);
  splitter_->addWidget(tvShell_);
  splitter_->addWidget(grdThumbs_);
  layout->addWidget(splitter_);
  resize(600, 220);
}

bool TfrmThumbWin::ExplorerVisible() const { return !tvShell_->isHidden(); }
void TfrmThumbWin::SetExplorerVisible(bool visible) { tvShell_->setVisible(visible); }
int TfrmThumbWin::ExplorerWidth() const { return tvShell_->width(); }

void TfrmThumbWin::SetExplorerWidth(int width) {
  const int total = splitter_->width();
  splitter_->setSizes({width, std::max(0, total - width)});
}

void TfrmThumbWin::SelectFolder(const QString& folder) {
  folder_ = folder;
  grdThumbs_->setText(folder);
}

}  // namespace movinta::editor
