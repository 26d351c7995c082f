// Menu items for automation clients and add-ins: a handle on any item of the main menu, and the
// items that add-ins make, which call back into their add-in when chosen.
#pragma once

#include "automation/movinta_addin.h"

#include <QAction>
#include <QPointer>
#include <QWidget>

#include <memory>

namespace movinta::automation {

class IAutomationHost;

// The property that marks a menu item as document-dependent (value 1): the main window enables such
// items only while a document is open.
inline constexpr const char* kHelpContextProperty = "helpContext";

// An item made by an add-in. It is document-dependent from the start and calls its handler, when
// it has one, with its Tag when chosen. A handler that fails or throws is reported to the user and
// never reaches the event loop.
class TAutomatedMenu : public QAction {
  Q_OBJECT
public:
  // enabled: whether a document is open now.
  TAutomatedMenu(QObject* parent, bool enabled);
  ~TAutomatedMenu() override;

  void SetHandler(std::shared_ptr<addin::IIntfMenuHandler> handler) { handler_ = std::move(handler); }
  const std::shared_ptr<addin::IIntfMenuHandler>& Handler() const { return handler_; }
  int Tag() const { return tag_; }
  void SetTag(int tag) { tag_ = tag; }
  void Click();

private:
  std::shared_ptr<addin::IIntfMenuHandler> handler_;
  int tag_ = 0;
};

// A handle on one item of the main menu. The menu owns the item; once the item is deleted every
// member fails with UnknownObject. An item may sit in several menus: the handle is the item in the
// menu it was reached through (place), whose position MenuIndex reads and whose menus Enabled
// looks through.
class TIntfMenuItem : public addin::IIntfMenuItem {
public:
  explicit TIntfMenuItem(QAction* item, IAutomationHost* host = nullptr, QWidget* place = nullptr)
      : item_(item), host_(host), place_(place) {}
  QAction* Item() const { return item_; }
  // The menu or menu bar that shows the item for this handle; null for an item in none.
  QWidget* Place() const;

  QString Caption() const override;
  void SetCaption(const QString& caption) override;
  bool Checked() const override;
  void SetChecked(bool checked) override;
  bool Enabled() const override;
  void SetEnabled(bool enabled) override;
  QString Hint() const override;
  void SetHint(const QString& hint) override;
  QString ShortCut() const override;
  void SetShortCut(const QString& shortcut) override;
  int SubItemCount() const override;
  int Tag() const override;
  void SetTag(int tag) override;
  bool Visible() const override;
  void SetVisible(bool visible) override;
  std::shared_ptr<addin::IIntfMenuItem> AddSubItem() override;
  std::shared_ptr<addin::IIntfMenuItem> SubItem(int index) override;
  void Execute() override;
  void SetMenuHandler(std::shared_ptr<addin::IIntfMenuHandler> handler) override;
  int MenuIndex() const override;
  void SetMenuIndex(int index) override;
  std::shared_ptr<addin::IIntfMenuItem> InsertSubItem(int index) override;
  bool DocDependent() const override;
  void SetDocDependent(bool dependent) override;

private:
  QAction& Target() const;
  bool DocumentOpen() const;
  QPointer<QAction> item_;
  IAutomationHost* host_;
  QPointer<QWidget> place_;
};

}  // namespace movinta::automation
