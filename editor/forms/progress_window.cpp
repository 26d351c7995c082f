#include "editor/forms/progress_window.h"

#include "editor/forms/guarded.h"
#include "editor/model/ui_services.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace movinta::editor::forms {

namespace {
constexpr int kCancelResult = 2;
}

TfrmProgress::TfrmProgress(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmProgress"));
  // A dialog frame without its caption: a thin border, no title, no system buttons.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint);
  auto* layout = new QVBoxLayout(this);
  lblFileName = new QLabel(this);
  lblFileName->setObjectName(QStringLiteral("lblFileName"));
  lblFileName->setMinimumWidth(300);
  lblFileName->setTextFormat(Qt::PlainText);
  prgBar = new QProgressBar(this);
  prgBar->setObjectName(QStringLiteral("prgBar"));
  prgBar->setRange(0, 100);
  prgBar->setValue(0);
  lblProgress = new QLabel(this);
  lblProgress->setObjectName(QStringLiteral("lblProgress"));
  lblProgress->setTextFormat(Qt::PlainText);
  btnCancel = new QPushButton(tr("Cancel"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  connect(btnCancel, &QPushButton::clicked, this, Guarded(this, &TfrmProgress::btnCancelClick));
  auto* row = new QHBoxLayout;
  row->addWidget(lblProgress, 1);
  row->addWidget(btnCancel);
  layout->addWidget(lblFileName);
  layout->addWidget(prgBar);
  layout->addLayout(row);
}

void TfrmProgress::Start(int total, const QString& fileName) {
  modalResult_ = 0;
  prgBar->setRange(0, std::max(1, total));
  prgBar->setValue(0);
  lblFileName->setText(fileName);
  lblProgress->clear();
  show();
  raise();
  CancelRequested();
}

bool TfrmProgress::Step(int position, const QString& fileName, const QString& text) {
  prgBar->setValue(std::clamp(position, prgBar->minimum(), prgBar->maximum()));
  if (!fileName.isNull()) lblFileName->setText(fileName);
  lblProgress->setText(text);
  return CancelRequested();
}

bool TfrmProgress::CancelRequested() {
  // The operation holds the GUI thread; the window answers its button and repaints here.
  if (isVisible() && !BusyScope::Painting()) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  return modalResult_ == kCancelResult;
}

void TfrmProgress::btnCancelClick() {
  modalResult_ = kCancelResult;
  setResult(QDialog::Rejected);
}

void TfrmProgress::keyPressEvent(QKeyEvent* event) {
  // Escape cancels the operation; it does not close the window under it.
  if (event->key() == Qt::Key_Escape) {
    btnCancelClick();
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TfrmProgress::closeEvent(QCloseEvent* event) {
  // The operation hides the window when it ends; a close from outside only asks it to stop.
  btnCancelClick();
  event->ignore();
}

}  // namespace movinta::editor::forms
