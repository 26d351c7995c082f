// The members each automation object shows on the session bus: one table per interface, giving
// every method and property its signature, argument names, dispatch id, what it may do to the editor
// and the call that serves it; the paths that name the objects; and the introspection XML made from
// the tables. TAutomationBus (automation/dbus_front.h) finds a path's table and dispatches through it.
#pragma once

#include "automation/automation_objects.h"

#include <QString>
#include <QVariant>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace movinta::automation::bus {

enum Flags : unsigned {
  kReadOnly = 0,
  kWritable = 1,
  // May open a dialog and wait for the user.
  kInteractive = 2,
  // Can switch, change, close or open a document, start a scan or other long work, or show one of the
  // editor's own error boxes: refused while a dialog, question, progress window, playback or long
  // operation of the editor is up. Members marked interactive only show the box they exist for.
  kChanges = 4,
  // Runs once the reply has gone (the call ends the program).
  kAfterReply = 8,
  // Answers later, from a timer.
  kDelayed = 16,
  // Hands out a menu item, which the bus names by a path of its own.
  kMenuItem = 32,
  // Needs the caller's bus name.
  kCaller = 64,
  // Reads a document: refused while a long operation runs. For a property, its get; kChanges is its put.
  kReads = 128,
  // Of the changes, those a playing animation takes: stopping it, and choosing a menu item that the
  // menus leave on while it plays (the item's own check refuses the others).
  kStopsPlayback = 256,
};

using Getter = std::function<QVariantList(TAutomationObject&, const QVariantList&)>;
using Setter = std::function<void(TAutomationObject&, const QVariant&)>;

struct Member {
  const char* Name;
  bool Property;
  // A method's in arguments, or a property's type.
  const char* Signature;
  const char* OutSignature;
  // Names of the arguments, in then out, separated by commas.
  const char* ArgNames;
  int DispId;
  unsigned Flags;
  Getter Call;
  Setter Set;
  // The enumeration of the type library the value belongs to, if any.
  const char* Enum = nullptr;
};

struct Interface {
  const char* Name;
  const char* Guid;
  const char* Help;
  bool Hidden;
  std::vector<Member> Members;
  // Every member reads a document (or the working image), at the least.
  bool Document = false;

  const Member* Find(const QString& name, bool property) const {
    for (const Member& m : Members)
      if (m.Property == property && name == QLatin1String(m.Name)) return &m;
    return nullptr;
  }
};

// A menu item on the bus: the handle, as the table's object.
struct MenuObject : TAutomationObject {
  explicit MenuObject(std::shared_ptr<TIntfMenuItem> item) : Item(std::move(item)) {}
  std::shared_ptr<TIntfMenuItem> Item;
};

// The paths of the tree: the root, the application, the document list, the active document and its
// frames, the menus; and a document, a frame by its serial.
QString Root();
QString ApplicationPath();
QString DocumentsPath();
QString ActivePath();
QString FramesPath();
QString MenusPath();
QString DocumentPath(std::uint64_t serial);
QString FramePath(std::uint64_t serial);
// A path as a bus value (type "o").
QVariant PathValue(const QString& path);

const Interface& ApplicationInterface();
const Interface& DocumentsInterface();
const Interface& DocumentCacheInterface();
const Interface& ActiveDocumentInterface();
const Interface& FramesInterface();
const Interface& FrameInterface();
const Interface& MenuItemInterface();

// The introspection of one table, and of the standard interfaces every object answers.
QString InterfaceXml(const Interface& i);
extern const char* const kStandardInterfaces;

}  // namespace movinta::automation::bus
