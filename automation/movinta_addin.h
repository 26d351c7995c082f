// Writing an add-in for GIF Movinta 6.
//
// An add-in is a Qt plugin (a shared library built with Q_PLUGIN_METADATA) whose root object
// implements IAddIn and declares the interface id MOVINTA_ADDIN_IID:
//
//   class MyAddIn : public QObject, public movinta::addin::IAddIn {
//     Q_OBJECT
//     Q_PLUGIN_METADATA(IID MOVINTA_ADDIN_IID)
//     Q_INTERFACES(movinta::addin::IAddIn)
//     ...
//   };
//
// Put the library into one of the editor's add-in folders: the folders listed in
// $MOVINTA6_ADDIN_PATH (separated by colons), $XDG_DATA_HOME/movinta6/addins (~/.local/share when
// unset) and the program's own lib/movinta6/addins, searched in that order; a file name loads once,
// from the first folder that has it. At start-up the editor reads the metadata of
// every file there (in name order, at most 50 add-ins), loads those with this interface id and calls,
// in this order, SetApplication, GetDescription, GetTitle, GetVersion and RegisterMenus. An add-in is
// never unloaded.
//
// Failures: every IAddIn operation answers false when it fails (an exception that leaves it counts
// the same). An add-in whose SetApplication, GetDescription, GetTitle or GetVersion fails is left
// out of the list of add-ins; one whose RegisterMenus fails stays in it. The objects the editor hands
// out throw std::runtime_error (or a class derived from it) with the editor's message when they
// cannot do what is asked, for example on a menu item that has been deleted. Everything runs on the
// editor's GUI thread; call nothing from other threads.
//
// This header offers the part of the editor an add-in needs for its menus and the frames of the
// active document. The rest exists only on the session bus (com.larkspur.Movinta, see the README):
// the application's other members (opening, saving, windows, the image browser, message and input
// boxes), the document list (Documents, DocumentCache) and the active document's other members
// (frame editing, saving, undo). Menu items are the same objects both ways.
//
// The "Plug-ins" menu is hidden until add-ins have made items below it: the editor shows it after
// loading its add-ins, and a bus client that adds items there later sets Visible on the Plug-ins
// item itself (Menu("Plug-ins")->SetVisible(true)).
#pragma once

#include <QString>
#include <QtPlugin>

#include <memory>

namespace movinta::addin {

// What an add-in attaches to its menu items: called when one of them is chosen.
class IIntfMenuHandler {
public:
  virtual ~IIntfMenuHandler() = default;
  // tag is the chosen item's Tag; false reports a failure, which the editor shows to the user.
  virtual bool Execute(int tag) = 0;
};

// One item of the editor's main menu: a built-in item or one an add-in made.
class IIntfMenuItem {
public:
  virtual ~IIntfMenuItem() = default;
  virtual QString Caption() const = 0;
  virtual void SetCaption(const QString& caption) = 0;
  virtual bool Checked() const = 0;
  virtual void SetChecked(bool checked) = 0;
  virtual bool Enabled() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual QString Hint() const = 0;
  virtual void SetHint(const QString& hint) = 0;
  // The shortcut as text, such as "Ctrl+K"; text that names no key gives no shortcut.
  virtual QString ShortCut() const = 0;
  virtual void SetShortCut(const QString& shortcut) = 0;
  virtual int SubItemCount() const = 0;
  // Handed to the item's handler.
  virtual int Tag() const = 0;
  virtual void SetTag(int tag) = 0;
  virtual bool Visible() const = 0;
  virtual void SetVisible(bool visible) = 0;
  // A new item at the end of this item's sub-items. New items are document-dependent: enabled only
  // while a document is open (see DocDependent).
  virtual std::shared_ptr<IIntfMenuItem> AddSubItem() = 0;
  // The sub-item at index 0..SubItemCount-1; "Menu index out of bounds" otherwise.
  virtual std::shared_ptr<IIntfMenuItem> SubItem(int index) = 0;
  // Chooses the item as the user would (nothing happens while it is disabled).
  virtual void Execute() = 0;
  // Only for items made by add-ins ("Cannot change pre-defined menu handlers" otherwise); replaces
  // any earlier handler, null removes it.
  virtual void SetMenuHandler(std::shared_ptr<IIntfMenuHandler> handler) = 0;
  // The position among the item's siblings; setting it moves the item (kept within the siblings).
  virtual int MenuIndex() const = 0;
  virtual void SetMenuIndex(int index) = 0;
  // A new item at index 0..SubItemCount; "Menu index out of bounds" otherwise.
  virtual std::shared_ptr<IIntfMenuItem> InsertSubItem(int index) = 0;
  virtual bool DocDependent() const = 0;
  virtual void SetDocDependent(bool dependent) = 0;
};

// One frame of the active document. Changes are recorded for undo and mark the document modified.
class IFrame {
public:
  virtual ~IFrame() = default;
  virtual int Left() const = 0;
  virtual int Top() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual bool Empty() const = 0;
  virtual bool Transparent() const = 0;
  virtual void SetTransparent(bool transparent) = 0;
  // Hundredths of a second; -1 without a graphic control block. Values outside 1..65535 are ignored.
  virtual int Delay() const = 0;
  virtual void SetDelay(int delay) = 0;
  // 0 none, 1 do not dispose, 2 restore to background, 3 restore to previous.
  virtual int Disposal() const = 0;
  virtual void SetDisposal(int disposal) = 0;
};

// The frames of the active document.
class IFrames {
public:
  virtual ~IFrames() = default;
  virtual int Count() const = 0;
  // Null outside 0..Count-1.
  virtual std::shared_ptr<IFrame> Frame(int index) = 0;
};

// Whichever document is active when a member is called.
class IActiveDocument {
public:
  virtual ~IActiveDocument() = default;
  virtual QString FileName() const = 0;
  virtual bool Modified() const = 0;
  virtual int SelectedFrame() const = 0;
  // Plays: 0 forever, 1 once.
  virtual int NSLoop() const = 0;
  virtual void SetNSLoop(int plays) = 0;
  virtual std::shared_ptr<IFrames> Frames() = 0;
};

// The running editor.
class IGIFMovintaApplication {
public:
  virtual ~IGIFMovintaApplication() = default;
  virtual QString VersionText() const = 0;
  virtual QString AppPath() const = 0;
  // Null while no document is open.
  virtual std::shared_ptr<IActiveDocument> ActiveDocument() = 0;
  // Menu paths are captions without "&" joined by "|", such as
  // "File|Save As|Save As Animated GIF (.gif)..."; where captions repeat, the last one counts.
  virtual bool MenuExists(const QString& path) const = 0;
  // "Menu<path>does not exist!" when the path names no item.
  virtual std::shared_ptr<IIntfMenuItem> Menu(const QString& path) = 0;
  virtual void SetStatusText(const QString& text) = 0;
  // Flags and result as the Windows message box has them (0 OK, 1 OK and Cancel, ...).
  virtual int MessageBox(const QString& text, const QString& caption, int flags) = 0;
};

// The root object of an add-in.
class IAddIn {
public:
  virtual ~IAddIn() = default;
  // The editor; keep it for as long as the add-in needs it.
  virtual bool SetApplication(std::shared_ptr<IGIFMovintaApplication> movinta) = 0;
  // Makes the add-in's menu items (for example below the "Plug-ins" menu).
  virtual bool RegisterMenus() = 0;
  virtual bool GetDescription(QString& description) = 0;
  virtual bool GetTitle(QString& title) = 0;
  virtual bool GetVersion(QString& version) = 0;
};

}  // namespace movinta::addin

#define MOVINTA_ADDIN_IID "com.larkspur.Movinta.AddIn/5.0"
Q_DECLARE_INTERFACE(movinta::addin::IAddIn, MOVINTA_ADDIN_IID)
