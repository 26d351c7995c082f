#include "automation/menu_item.h"

#include "automation/automation_objects.h"
#include "editor/forms/guarded.h"
#include "editor/model/ui_services.h"

#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

#include <algorithm>

namespace movinta::automation {

namespace {
constexpr const char* kOutOfBounds = "Menu index out of bounds";
constexpr const char* kPredefined = "Cannot change pre-defined menu handlers";
// The tag of a built-in item, which has no field of its own for it; the editor's items keep theirs
// there too (View > Toolbars).
constexpr const char* kTagProperty = "tag";

bool InMainMenu(const QAction& item, int depth);

// The menus and menu bars that show the item.
QList<QWidget*> Containers(const QAction& item) {
  QList<QWidget*> out;
  for (QObject* o : item.associatedObjects())
    if (qobject_cast<QMenu*>(o) || qobject_cast<QMenuBar*>(o)) out.append(static_cast<QWidget*>(o));
  return out;
}

// A menu bar, or a menu that one of them opens (at any depth).
bool InMainMenu(QWidget* container, int depth) {
  if (qobject_cast<QMenuBar*>(container)) return true;
  auto* menu = qobject_cast<QMenu*>(container);
  return menu && depth < 32 && InMainMenu(*menu->menuAction(), depth + 1);
}

bool InMainMenu(const QAction& item, int depth) {
  for (QWidget* container : Containers(item))
    if (InMainMenu(container, depth)) return true;
  return false;
}

// The menu or menu bar that shows the item, its place in the main menu first (an item may also
// sit in a pop-up menu); null for an item in none.
QWidget* Container(QAction& item) {
  const QList<QWidget*> all = Containers(item);
  for (QWidget* container : all)
    if (InMainMenu(container, 0)) return container;
  return all.isEmpty() ? nullptr : all.first();
}

// A shortcut as the class library writes it: modifiers in any order before the key ("Shift+Ctrl+K",
// "Alt+Ctrl+K"), and "^C" for Ctrl+C. Empty for text that names no key.
QKeySequence ParseShortCut(QString text) {
  text = text.trimmed();
  if (text.size() > 1 && text.startsWith(QLatin1Char('^'))) text = QStringLiteral("Ctrl+") + text.mid(1);
  QStringList parts = text.split(QLatin1Char('+'));
  // "Ctrl++" names the plus key.
  if (parts.size() > 1 && parts.back().isEmpty() && parts[parts.size() - 2].isEmpty()) {
    parts.removeLast();
    parts.back() = QStringLiteral("+");
  }
  if (parts.isEmpty() || parts.back().trimmed().isEmpty()) return {};
  const QString keyText = parts.takeLast().trimmed();
  Qt::KeyboardModifiers modifiers;
  for (const QString& part : parts) {
    const QString m = part.trimmed().toLower();
    Qt::KeyboardModifier modifier = Qt::NoModifier;
    if (m == QLatin1String("ctrl")) modifier = Qt::ControlModifier;
    else if (m == QLatin1String("shift")) modifier = Qt::ShiftModifier;
    else if (m == QLatin1String("alt")) modifier = Qt::AltModifier;
    else if (m == QLatin1String("meta")) modifier = Qt::MetaModifier;
    if (modifier == Qt::NoModifier || modifiers.testFlag(modifier)) return {};
    modifiers |= modifier;
  }
  const QKeySequence key = QKeySequence::fromString(keyText, QKeySequence::PortableText);
  // One key of its own, which reads back as the same name: anything else gives no shortcut.
  if (key.count() != 1 || key[0].keyboardModifiers() != Qt::NoModifier || key[0].key() == Qt::Key_unknown ||
      key[0].key() == 0 || key.toString(QKeySequence::PortableText).compare(keyText, Qt::CaseInsensitive) != 0)
    return {};
  return QKeySequence(QKeyCombination(modifiers, key[0].key()));
}

// Enabled, in menus that are enabled all the way up to the menu bar: what the user can choose.
bool Reachable(const QAction& item, QWidget* place) {
  if (!item.isEnabled()) return false;
  for (int depth = 0; depth < 32; ++depth) {
    auto* menu = qobject_cast<QMenu*>(place);
    if (!menu) return true;
    QAction* opener = menu->menuAction();
    if (!opener->isEnabled()) return false;
    place = Container(*opener);
  }
  return true;
}

// The item's sub-menu, made when it has none yet.
QMenu* SubMenu(QAction& item) {
  if (QMenu* menu = item.menu()) return menu;
  QWidget* owner = Container(item);
  if (!owner) owner = qobject_cast<QWidget*>(item.parent());
  auto* menu = new QMenu(item.text(), owner);
  item.setMenu(menu);
  return menu;
}
}  // namespace

// ---- items made by add-ins

TAutomatedMenu::TAutomatedMenu(QObject* parent, bool enabled) : QAction(parent) {
  setProperty(kHelpContextProperty, 1);
  setEnabled(enabled);
  connect(this, &QAction::triggered, this, editor::Guarded(this, &TAutomatedMenu::Click));
}

TAutomatedMenu::~TAutomatedMenu() = default;

void TAutomatedMenu::Click() {
  if (!handler_) return;
  // The handler may remove this item; hold what the call needs.
  const std::shared_ptr<addin::IIntfMenuHandler> handler = handler_;
  const QString caption = QString(text()).remove(QLatin1Char('&'));
  QString failure;
  try {
    if (!handler->Execute(tag_)) failure = QStringLiteral("The add-in could not carry out \"%1\".").arg(caption);
  } catch (const std::exception& e) {
    failure = QString::fromUtf8(e.what());
  } catch (...) {
    failure = QStringLiteral("The add-in could not carry out \"%1\".").arg(caption);
  }
  if (!failure.isEmpty()) editor::ShowMessage(failure, editor::MessageType::Error);
}

// ---- handles

QAction& TIntfMenuItem::Target() const {
  if (!item_) throw AutomationError(kErrorUnknownObject, QStringLiteral("The menu item no longer exists"));
  return *item_;
}

QWidget* TIntfMenuItem::Place() const {
  QAction& item = Target();
  if (place_ && place_->actions().contains(&item)) return place_;
  return Container(item);
}

bool TIntfMenuItem::DocumentOpen() const { return host_ && host_->Documents().Active() != nullptr; }

QString TIntfMenuItem::Caption() const { return Target().text(); }
void TIntfMenuItem::SetCaption(const QString& caption) {
  Target().setText(caption);
  if (QMenu* menu = Target().menu()) menu->setTitle(caption);
}

bool TIntfMenuItem::Checked() const { return Target().isChecked(); }
void TIntfMenuItem::SetChecked(bool checked) {
  QAction& item = Target();
  if (checked) item.setCheckable(true);
  item.setChecked(checked);
}

bool TIntfMenuItem::Enabled() const {
  QAction& item = Target();
  return Reachable(item, Place());
}
void TIntfMenuItem::SetEnabled(bool enabled) { Target().setEnabled(enabled); }

QString TIntfMenuItem::Hint() const { return Target().statusTip(); }
void TIntfMenuItem::SetHint(const QString& hint) { Target().setStatusTip(hint); }

QString TIntfMenuItem::ShortCut() const { return Target().shortcut().toString(QKeySequence::PortableText); }
void TIntfMenuItem::SetShortCut(const QString& shortcut) {
  Target().setShortcut(ParseShortCut(shortcut));
}

int TIntfMenuItem::SubItemCount() const {
  QMenu* menu = Target().menu();
  return menu ? int(menu->actions().size()) : 0;
}

int TIntfMenuItem::Tag() const {
  QAction& item = Target();
  if (auto* own = qobject_cast<TAutomatedMenu*>(&item)) return own->Tag();
  return item.property(kTagProperty).toInt();
}
void TIntfMenuItem::SetTag(int tag) {
  QAction& item = Target();
  if (auto* own = qobject_cast<TAutomatedMenu*>(&item))
    own->SetTag(tag);
  else
    item.setProperty(kTagProperty, tag);
}

bool TIntfMenuItem::Visible() const { return Target().isVisible(); }
void TIntfMenuItem::SetVisible(bool visible) { Target().setVisible(visible); }

std::shared_ptr<addin::IIntfMenuItem> TIntfMenuItem::AddSubItem() { return InsertSubItem(SubItemCount()); }

std::shared_ptr<addin::IIntfMenuItem> TIntfMenuItem::SubItem(int index) {
  if (index < 0 || index >= SubItemCount()) throw AutomationError(kErrorInvalidValue, QString::fromLatin1(kOutOfBounds));
  QMenu* menu = Target().menu();
  return std::make_shared<TIntfMenuItem>(menu->actions().at(index), host_, menu);
}

std::shared_ptr<addin::IIntfMenuItem> TIntfMenuItem::InsertSubItem(int index) {
  if (index < 0 || index > SubItemCount()) throw AutomationError(kErrorInvalidValue, QString::fromLatin1(kOutOfBounds));
  QMenu* menu = SubMenu(Target());
  const QList<QAction*> siblings = menu->actions();
  auto* item = new TAutomatedMenu(menu, DocumentOpen());
  menu->insertAction(index < siblings.size() ? siblings.at(index) : nullptr, item);
  return std::make_shared<TIntfMenuItem>(item, host_, menu);
}

void TIntfMenuItem::Execute() {
  QAction& item = Target();
  // The item's command may do anything the user could: it waits for dialogs and long work as the
  // bus's changes do. While an animation plays it is taken exactly when the menus leave it on.
  if (host_) CheckMoment(*host_, TMoment::StopsPlayback);
  if (!Enabled()) {
    if (host_) CheckNotPlaying(*host_);
    return;
  }
  item.trigger();
}

void TIntfMenuItem::SetMenuHandler(std::shared_ptr<addin::IIntfMenuHandler> handler) {
  auto* own = qobject_cast<TAutomatedMenu*>(&Target());
  if (!own) throw AutomationError(kErrorFailed, QString::fromLatin1(kPredefined));
  own->SetHandler(std::move(handler));
}

int TIntfMenuItem::MenuIndex() const {
  QAction& item = Target();
  QWidget* container = Place();
  return container ? int(container->actions().indexOf(&item)) : -1;
}

void TIntfMenuItem::SetMenuIndex(int index) {
  QAction& item = Target();
  QWidget* container = Place();
  if (!container) return;
  const int count = int(container->actions().size());
  index = std::clamp(index, 0, count - 1);
  if (index == container->actions().indexOf(&item)) return;
  container->removeAction(&item);
  const QList<QAction*> rest = container->actions();
  container->insertAction(index < rest.size() ? rest.at(index) : nullptr, &item);
}

bool TIntfMenuItem::DocDependent() const { return Target().property(kHelpContextProperty).toInt() == 1; }
void TIntfMenuItem::SetDocDependent(bool dependent) {
  QAction& item = Target();
  item.setProperty(kHelpContextProperty, dependent ? 1 : -1);
  // A dependent item follows the documents from now on; an independent one is free of them.
  item.setEnabled(!dependent || DocumentOpen());
}

}  // namespace movinta::automation
