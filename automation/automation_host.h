// What the automation objects need of the running editor beyond its model: the main window, its
// dialogs, progress bar, document windows, image browser and the commands behind its menus. The
// main window implements it; tests put a recording one in its place.
#pragma once

#include "editor/model/document.h"
#include "gif/color/bitmap.h"

#include <QImage>
#include <QList>
#include <QRect>
#include <QString>

class QAction;
class QMenu;

namespace movinta::automation {

class IAutomationHost {
public:
  virtual ~IAutomationHost() = default;

  // The model: the open documents, the active one loaded into the shared working image.
  virtual editor::TDocuments& Documents() = 0;
  // A long operation of the editor runs and pumps events, or one of its own dialogs, questions or
  // progress windows is up.
  virtual bool Busy() const = 0;
  // A long operation runs and pumps events: the working image may be half changed.
  virtual bool Working() const { return false; }
  // The active document's animation plays.
  virtual bool Playing() const { return false; }

  // The main window.
  virtual QRect WindowRect() const = 0;
  virtual void SetWindowRect(const QRect& rect) = 0;
  // 0 normal, 1 minimized, 2 maximized.
  virtual int WindowState() const = 0;
  virtual void SetWindowState(int state) = 0;
  // The native window id where the platform has one, else 0.
  virtual qulonglong WindowId() const = 0;
  virtual void BringToFront() = 0;
  virtual void SendToBack() = 0;
  // Closes the main window the normal way, with its save prompts.
  virtual void Quit() = 0;

  // Status bar and progress bar.
  virtual void ShowProgress() = 0;
  virtual void HideProgress() = 0;
  virtual void SetProgress(int position) = 0;
  virtual void SetStatusText(const QString& text) = 0;

  // Dialogs: an input box (the default when cancelled) and a message box with the flags and
  // results of the Windows message box.
  virtual QString InputBox(const QString& caption, const QString& prompt, const QString& defaultText) = 0;
  virtual int MessageBox(const QString& text, const QString& caption, int flags) = 0;

  // Documents.
  virtual void NewDocument() = 0;
  // Opens the file by its type; whether a document opened or a frame was added.
  virtual bool OpenFile(const QString& path) = 0;
  // Beeps and brings the document forward when that file is open.
  virtual bool IsFileOpen(const QString& path) = 0;
  // Close All and Save All; true when no document is left, and when none is left modified.
  virtual bool CloseAll() = 0;
  virtual bool SaveAll() = 0;
  virtual void NextDocument() = 0;
  virtual void PreviousDocument() = 0;
  virtual bool ActivateDocument(editor::TMDIChild* document) = 0;
  // The document tabs: the selected one, and the tab of a file (-1 without one).
  virtual int DocumentIndex() const = 0;
  virtual void SetDocumentIndex(int index) = 0;
  virtual int TabIndexForFile(const QString& fileName) const = 0;
  virtual void Cascade() = 0;
  virtual void TileHorizontal() = 0;
  virtual void TileVertical() = 0;

  // The image browser.
  virtual QString CurrentFolder() const = 0;
  virtual void SetCurrentFolder(const QString& folder) = 0;
  virtual bool ThumbnailsShowing() const = 0;
  virtual void SetThumbnailsShowing(bool showing) = 0;
  virtual bool ExplorerShowing() const = 0;
  virtual void SetExplorerShowing(bool showing) = 0;
  virtual void LoadThumbnails(const QString& folder) = 0;
  virtual QString ThumbnailFileName() const = 0;

  // Files and programs.
  // Reads the picture's size with the imaging control; false (sizes 0) when it cannot.
  virtual bool ImageSize(const QString& file, int& width, int& height) = 0;
  virtual bool ShellExecute(const QString& file) = 0;

  // The main menu's top items, in order.
  virtual QList<QAction*> MenuItems() const = 0;

  // The active document, through the main window's commands.
  virtual void Undo() = 0;
  // Shows frame index as the strip does; false when the window refuses it.
  virtual bool ShowFrame(int index) = 0;
  // The frame the active document's window shows; null without one.
  virtual QImage CurrentBitmap() = 0;
  // Close, with the window's own save prompt; whether the document closed.
  virtual bool CloseActive() = 0;
  virtual void PlayAnimation() = 0;
  virtual void StopAnimation() = 0;
  // The interactive insert at position (it may prompt); the new frame's index, -1 when refused.
  virtual int InsertBitmapFrame(const gif::Bitmap& bitmap, int position, const QString& caption) = 0;
  // The prompt-free add of a frame with that delay after the selection.
  virtual bool AddFrameNoPrompts(const gif::Bitmap& bitmap, int delay) = 0;
  // The loop count in plays (0 forever, 1 once) through the animation's loop command.
  virtual void SetLoopCount(int plays) = 0;
  virtual void DeleteFrame(int index) = 0;
  // A frame of the working image changed outside the strip: show the selection again.
  virtual void FramesChanged() = 0;
  virtual bool ExportToAvi() = 0;
  virtual bool ImportFromAvi(const QString& file) = 0;
};

// The main window as the add-in loader sees it: disabled while add-ins load, then its "Plug-ins"
// menu and "Plugin Info..." item shown as the loaded add-ins call for.
class IPlugInHost {
public:
  virtual ~IPlugInHost() = default;
  virtual void SetWindowEnabled(bool enabled) = 0;
  virtual QMenu* PluginsMenu() const = 0;
  virtual QAction* PluginInfoItem() const = 0;
  // The add-ins' items follow the rules of the menus they joined.
  virtual void UpdateDocumentMenus() = 0;
};

}  // namespace movinta::automation
