#include "editor/forms/plugin_explorer.h"

#include "controls/gradient.h"
#include "controls/listboxhrz.h"
#include "editor/forms/guarded.h"
#include "editor/model/ui_services.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTabWidget>
#include <QVBoxLayout>

namespace movinta::editor::forms {

TAddInCollectionItem& TAddInCollection::AddItem() {
  items_.append(TAddInCollectionItem());
  return items_.last();
}

TAddInCollection& AddIns() {
  static TAddInCollection list;
  return list;
}

namespace {
TGradientLabel* Heading(const QString& caption, QWidget* parent) {
  auto* heading = new TGradientLabel(parent);
  heading->SetCaption(caption);
  heading->SetColorTop(QColor(0x00, 0x00, 0x80));
  heading->SetColorBottom(QColor(0xC0, 0xC0, 0xFF));
  QPalette palette = heading->palette();
  palette.setColor(QPalette::WindowText, Qt::white);
  heading->setPalette(palette);
  heading->Loaded();
  heading->setFixedHeight(heading->height());
  return heading;
}
}  // namespace

TfrmPlugInExplorer::TfrmPlugInExplorer(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmPlugInExplorer"));
  setWindowTitle(QStringLiteral("Plugin Information"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  resize(344, 409);
  auto* outer = new QVBoxLayout(this);
  auto* tabPlugins = new QTabWidget(this);
  tabPlugins->setObjectName(QStringLiteral("tabPlugins"));
  auto* page = new QWidget(tabPlugins);
  auto* column = new QVBoxLayout(page);
  column->addWidget(Heading(QStringLiteral("Installed Plugins"), page));
  lbPlugIns = new TListBoxHrz(page);
  lbPlugIns->setObjectName(QStringLiteral("lbPlugIns"));
  connect(lbPlugIns, &QListWidget::currentRowChanged, this, Guarded([this] { lbPlugInsClick(); }));
  column->addWidget(lbPlugIns, 1);
  column->addWidget(Heading(QStringLiteral("Plugin Details"), page));
  auto* form = new QFormLayout;
  txtTitle = new QLineEdit(page);
  txtTitle->setObjectName(QStringLiteral("txtTitle"));
  txtTitle->setReadOnly(true);
  txtVersion = new QLineEdit(page);
  txtVersion->setObjectName(QStringLiteral("txtVersion"));
  txtVersion->setReadOnly(true);
  auto* title = new QLabel(QStringLiteral("&Title:"), page);
  title->setBuddy(txtTitle);
  auto* version = new QLabel(QStringLiteral("&Version:"), page);
  version->setBuddy(txtVersion);
  form->addRow(title, txtTitle);
  form->addRow(version, txtVersion);
  column->addLayout(form);
  mmoInfo = new QPlainTextEdit(page);
  mmoInfo->setObjectName(QStringLiteral("mmoInfo"));
  mmoInfo->setReadOnly(true);
  auto* description = new QLabel(QStringLiteral("&Description"), page);
  description->setBuddy(mmoInfo);
  column->addWidget(description);
  column->addWidget(mmoInfo, 1);
  tabPlugins->addTab(page, QStringLiteral("Plugins"));
  outer->addWidget(tabPlugins, 1);
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  ok->setObjectName(QStringLiteral("btnOK"));
  ok->setDefault(true);
  buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole)->setObjectName(QStringLiteral("btnCancel"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  outer->addWidget(buttons);
}

void TfrmPlugInExplorer::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TfrmPlugInExplorer::FormShow() {
  BusyScope busy;
  lbPlugIns->setUpdatesEnabled(false);
  lbPlugIns->clear();
  for (int i = 0; i < AddIns().Count(); ++i) lbPlugIns->addItem(AddIns().Items(i).Title);
  lbPlugIns->setUpdatesEnabled(true);
  if (lbPlugIns->count() > 0) {
    lbPlugIns->setCurrentRow(0);
    lbPlugInsClick();
  }
}

void TfrmPlugInExplorer::lbPlugInsClick() {
  const int row = lbPlugIns->currentRow();
  if (row < 0 || row >= AddIns().Count()) return;
  const TAddInCollectionItem& item = AddIns().Items(row);
  txtTitle->setText(item.Title);
  txtVersion->setText(item.Version);
  mmoInfo->setPlainText(item.Description);
}

}  // namespace movinta::editor::forms
