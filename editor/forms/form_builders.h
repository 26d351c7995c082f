// Small builders of the controls the editor's dialogs are laid out from: named radio buttons,
// check boxes, buttons and labels added to a layout, number edits that take digits only and the
// combo of colour counts.
#pragma once

#include <QString>

class QCheckBox;
class QComboBox;
class QLabel;
class QLayout;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace movinta::editor::forms {

QRadioButton* AddRadio(QWidget* parent, QLayout* layout, const char* name, const char* text);
QCheckBox* AddCheck(QWidget* parent, QLayout* layout, const char* name, const char* text, bool checked = false);
QPushButton* NewButton(QWidget* parent, const char* name, const char* text);
// A plain-text label that wraps.
QLabel* NewLabel(QWidget* parent, const char* name, const QString& text = QString());
// Lets digits in and nothing else.
void DigitsOnly(QLineEdit* edit);
QLineEdit* NewNumberEdit(QWidget* parent, const char* name);
// 256, 128, 64, 32, 16 and 8, each item's data its number; selected is chosen (the first when not offered).
QComboBox* NewColorCountCombo(QWidget* parent, int selected, const char* name = nullptr);

}  // namespace movinta::editor::forms
