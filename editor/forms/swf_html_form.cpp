#include "editor/forms/swf_html_form.h"

#include "editor/forms/guarded.h"
#include "editor/model/flash_export.h"
#include "editor/model/string_tables.h"
#include "editor/model/ui_services.h"

#include <QBoxLayout>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include <optional>

namespace movinta::editor::forms {

TSWFHTMLFrm::TSWFHTMLFrm(int width, int height, bool reminder, const QString& movieName, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("SWFHTMLFrm"));
  setWindowTitle(QStringLiteral("HTML to insert for Flash Movies"));
  Label1 = new QLabel(this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setWordWrap(true);
  Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Label1->setContentsMargins(8, 0, 5, 0);
  Label1->setMinimumHeight(57);
  QString intro = Tr(texts::kFlashHTMLIntro);
  if (reminder) intro += Tr(texts::kFlashReminder);
  Label1->setText(intro);
  mmoFlash = new QPlainTextEdit(this);
  mmoFlash->setObjectName(QStringLiteral("mmoFlash"));
  mmoFlash->setMinimumSize(522, 216);
  mmoFlash->setReadOnly(true);
  mmoFlash->setLineWrapMode(QPlainTextEdit::NoWrap);
  mmoFlash->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  mmoFlash->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  mmoFlash->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  mmoFlash->setPlainText(FlashHTML(width, height, movieName));
  Button1 = new QPushButton(QStringLiteral("Close"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setMinimumSize(75, 25);
  Button1->setDefault(true);
  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
  BitBtn1 = new QPushButton(QStringLiteral("Copy &HTML to Clipboard"), this);
  BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
  BitBtn1->setMinimumSize(177, 25);
  BitBtn1->setAutoDefault(false);
  // A dialog border: the size follows the texts in the user's font, the user does not drag it.
  auto* buttons = new QHBoxLayout;
  buttons->setContentsMargins(8, 0, 5, 0);
  buttons->addWidget(BitBtn1);
  buttons->addStretch(1);
  buttons->addWidget(Button1);
  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(0, 8, 0, 4);
  root->setSpacing(7);
  root->addWidget(Label1);
  root->addWidget(mmoFlash, 1);
  root->addLayout(buttons);
  root->setSizeConstraint(QLayout::SetFixedSize);
  connect(BitBtn1, &QPushButton::clicked, this, Guarded(this, &TSWFHTMLFrm::BitBtn1Click));
}

void TSWFHTMLFrm::BitBtn1Click() {
  if (IClipboard* clipboard = Clipboard())
    clipboard->SetData(QStringLiteral("text/plain"), mmoFlash->toPlainText().toUtf8());
  ShowMessage(Tr(texts::kFlashHTMLCopied), MessageType::Information, kOk);
}

void ShowFlashHTML(QWidget* parent, int width, int height, bool reminder, const QString& movieName) {
  std::optional<BusyScope> busy(std::in_place);
  TSWFHTMLFrm form(width, height, reminder, movieName, parent);
  busy.reset();
  form.exec();
}

}  // namespace movinta::editor::forms
