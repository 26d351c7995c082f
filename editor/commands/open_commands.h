// Opening documents and making new ones: files by their type (command line, open dialog, recent
// files, drops, the image browser's pictures), the open dialog's preview, the GIF library's
// warnings while a file loads, and the recent-files list. The main window owns one, fills its hooks
// and wires its actions to it.
#pragma once

#include "editor/image_import.h"
#include "editor/model/document.h"

#include <QMenu>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QAction;
class QLabel;
class QMenu;
class QMimeData;
class QProgressBar;
class QScrollArea;
class QSplitter;
class QWidget;
class TXpress;

namespace ptshell {
class TPTDialog;
class TPTFrmOpenDlg;
}  // namespace ptshell

namespace movinta::editor {

class TFrameCommands;

// What the open commands need of the main window; unset hooks do nothing.
struct OpenHooks {
  std::function<void()> HideSplash;
  std::function<void(const QString& text, int panel)> SetStatusText;
  // Restores the document's window and brings it to the front.
  std::function<void(TMDIChild*)> ShowDocumentWindow;
  // A loaded animation with this many frames in the strip: the strip takes them and the first shows.
  std::function<void(int columns)> ShowLoadedFrames;
  // The open dialog over the filter and the start folder; the chosen files.
  std::function<QStringList(const QString& filter, const QString& folder)> ChooseOpenFiles;
  std::function<void()> RunNewAnimationWizard;
  std::function<bool(const QString& path)> ImportAvi;
  // The user turned the warnings off for good: the settings written at exit say so.
  std::function<void()> WarningsTurnedOff;
  std::function<void()> PausePlayback;
  // The frame commands of the strip (null before the strip exists).
  std::function<TFrameCommands*()> FrameCommands;
};

class TOpenCommands {
public:
  // window is the home of the preview's widgets between runs of the open dialog; imaging is the
  // hidden imaging control the preview shows pictures with; import reads pictures and inserts frames.
  TOpenCommands(TDocuments& documents, QWidget* window, TXpress* imaging, IImportHost& import, QProgressBar* bar,
                bool useSettingsStore, OpenHooks hooks);
  ~TOpenCommands();

  // Opens the file by its type: a GIF as a document, another image as a frame, anything else refused.
  void OpenFileByType(const QString& path);
  bool OpenGifDocument(const QString& path);
  // Beeps and brings the document to the front when that file is open.
  bool BringOpenDocumentToFront(const QString& path);
  // Opens a GIF as a document, or brings it to the front when it is open; the document or null.
  TMDIChild* OpenFile(const QString& fileName);
  // Reads a non-GIF image file and adds it as a frame of the active animation (a new one without).
  void InsertImageFile(const QString& path, std::uint8_t code);
  // Local files of a drop, opened by type in order; false when the drop holds none.
  bool DropFiles(const QMimeData* data);
  void FileOpenExecute();
  // Runs the new-animation wizard, which opens the animation it makes as a new document.
  void FileNewExecute();
  // A new empty animation without asking anything (automation, which no dialog may stop).
  void NewEmptyDocument();
  // The folder the open dialog starts in.
  QString OpenFolder;

  // Pictures of the image browser and of drops.
  bool ReadPictureFile(const QString& path, gif::Bitmap& bitmap, QString* error);
  // Reads the file by its type and inserts it after the selected frame; the new index or -1.
  int InsertImageFileAfterSelection(const QString& path);
  // A thumbnail dropped on the main window (a new animation) or the strip, inserted by its type.
  void InsertThumbByType(const QString& path, bool onClientArea);
  // A picture opened as a new animation; false when it could not be read.
  bool OpenPictureAsDocument(const QString& path);

  // The open dialog's preview (unless NoOpenDlgPreview): the imaging control and its label join
  // the dialog while it runs and come back when it closes.
  void PTOpenDlg1Initialized(ptshell::TPTDialog* sender);
  void OpenDlgPreviewSelectItem();
  void SplitterShellMoved();
  void PTOpenDlg1FormClose();
  QLabel* PreviewLabel() const;

  // The GIF library's warnings on the working image, on or off.
  void InstallWarnings(bool on);

  // Recent files: newest first, at most ten, in the Reopen menu; the popup repeats them.
  void SetRecentMenus(QMenu* recent, QMenu* popup);
  void AddRecentFile(const QString& path);
  void RemoveRecentFile(const QString& path);
  QStringList RecentFiles() const;
  QMenu* RecentFilesMenu() const { return mniFileRecent_; }
  void RecentFileClick(QAction* item);
  void RebuildRecentPopup();

private:
  void HideSplash();
  void SetStatusText(const QString& text, int panel);
  void ReadMaxUndo();
  void GifWarning(const void* sender, int severity, const std::string& message);
  // Reads the GIF for opening, with the warning handler when warnings are on; null when it cannot.
  // `tooLarge` says the memory budget refused it.
  std::unique_ptr<TGIFImage> ReadForOpen(const QString& path, bool& tooLarge);
  bool LoadImageIntoWindow(std::unique_ptr<TGIFImage> image, const QString& path);
  void RenumberRecentFiles();

  TDocuments& documents_;
  QPointer<QWidget> window_;
  TXpress* imgX_;
  IImportHost& import_;
  QPointer<QProgressBar> prgBar_;
  bool useSettingsStore_;
  OpenHooks hooks_;
  bool warnings_ = false;
  QPointer<QMenu> mniFileRecent_;
  QPointer<QMenu> popRecentFiles_;
  QPointer<QSplitter> SplitterShell_;
  QPointer<QScrollArea> sbxShell_;
  QPointer<QWidget> pnlShell_;
  QPointer<QLabel> lblShell_;
  QPointer<ptshell::TPTFrmOpenDlg> previewForm_;
  QPointer<QWidget> previewList_;
};

}  // namespace movinta::editor
