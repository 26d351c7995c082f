// The add-ins the editor loaded at start-up, and the "Plugin Information" dialog that lists them.
#pragma once

#include <QDialog>
#include <QList>
#include <QString>

class QLineEdit;
class QPlainTextEdit;
class TListBoxHrz;

namespace movinta::editor::forms {

// One loaded add-in, as it described itself.
struct TAddInCollectionItem {
  QString Description;
  QString Title;
  QString Version;
};

class TAddInCollection {
public:
  // Appends a new item and returns it; valid until the next change of the list.
  TAddInCollectionItem& AddItem();
  TAddInCollectionItem& Items(int index) { return items_[index]; }
  int Count() const { return int(items_.size()); }
  void Clear() { items_.clear(); }

private:
  QList<TAddInCollectionItem> items_;
};

// The one list of loaded add-ins of the program.
TAddInCollection& AddIns();

class TfrmPlugInExplorer : public QDialog {
  Q_OBJECT
public:
  explicit TfrmPlugInExplorer(QWidget* owner = nullptr);

  TListBoxHrz* lbPlugIns = nullptr;
  QLineEdit* txtTitle = nullptr;
  QLineEdit* txtVersion = nullptr;
  QPlainTextEdit* mmoInfo = nullptr;

  // Fills the list with the titles of the add-ins and shows the first one.
  void FormShow();
  // Shows the selected add-in's title, version and description.
  void lbPlugInsClick();

protected:
  void showEvent(QShowEvent* event) override;
};

}  // namespace movinta::editor::forms
