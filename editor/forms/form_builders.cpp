#include "editor/forms/form_builders.h"

#include "editor/forms/prompts_logic.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>

#include <algorithm>

namespace movinta::editor::forms {

namespace {
template <class T>
T* Named(T* widget, const char* name) {
  if (name) widget->setObjectName(QString::fromLatin1(name));
  return widget;
}
}  // namespace

QRadioButton* AddRadio(QWidget* parent, QLayout* layout, const char* name, const char* text) {
  auto* button = Named(new QRadioButton(QString::fromUtf8(text), parent), name);
  layout->addWidget(button);
  return button;
}

QCheckBox* AddCheck(QWidget* parent, QLayout* layout, const char* name, const char* text, bool checked) {
  auto* box = Named(new QCheckBox(QString::fromUtf8(text), parent), name);
  box->setChecked(checked);
  layout->addWidget(box);
  return box;
}

QPushButton* NewButton(QWidget* parent, const char* name, const char* text) {
  return Named(new QPushButton(QString::fromUtf8(text), parent), name);
}

QLabel* NewLabel(QWidget* parent, const char* name, const QString& text) {
  auto* label = Named(new QLabel(text, parent), name);
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  return label;
}

void DigitsOnly(QLineEdit* edit) {
  edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d*")), edit));
}

QLineEdit* NewNumberEdit(QWidget* parent, const char* name) {
  auto* edit = Named(new QLineEdit(parent), name);
  DigitsOnly(edit);
  edit->setMaximumWidth(80);
  return edit;
}

QComboBox* NewColorCountCombo(QWidget* parent, int selected, const char* name) {
  auto* combo = Named(new QComboBox(parent), name);
  for (int n : kColorCounts) combo->addItem(QString::number(n), n);
  combo->setCurrentIndex(std::max(0, combo->findData(selected)));
  return combo;
}

}  // namespace movinta::editor::forms
