// The image browser's commands: the folder scan that fills the browser with thumbnails, the
// thumbnails' records and pictures, the browser's pop-up menu (insert, open, copy, edit with the
// default program, properties), browsing, refreshing and clearing, showing and hiding the browser,
// and the favourite folders. The main window owns one and puts its actions into its menus; the
// browser window draws what it holds. Both the window and the main window reach it through the
// small interfaces below, which tests replace. The pictures the browser inserts or opens are read by
// the open commands (editor/commands/open_commands.h).
#pragma once

#include "editor/frame_strip.h"
#include "editor/image_browser_scan.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QAction;
class QMenu;

namespace movinta::editor {

inline constexpr int kDefaultThumbSize = 100;

namespace thumb_texts {
inline constexpr const char* kNotValidPath = "%1 does not appear to be a valid path.";
inline constexpr const char* kScanningFolder = "Scanning Folder for images...";
inline constexpr const char* kCurrentFolder = "Current Folder: %1";
inline constexpr const char* kNoImagesFound = "Sorry no images found in ";
inline constexpr const char* kOutOfMemory =
    "Out of Memory: Cannot load thumbsnails. Please free up some memory and try again.";
inline constexpr const char* kScanningProgress = "Scanning folder for images... %1%2 Complete";
inline constexpr const char* kThumbStatus = "%1 - (%2 x %3) %4KB";
inline constexpr const char* kNotCopied = "Image was not successfully copied to the clipboard.";
inline constexpr const char* kCopied = "Image successfully copied to the clipboard.";
inline constexpr const char* kFavoriteHint = "Scan this folder for images";
inline constexpr const char* kFavoriteMissing = "Could not find %1. Folder may have moved or does not exist.";
}  // namespace thumb_texts

// The image browser window as the commands see it.
class IThumbView {
public:
  virtual ~IThumbView() = default;
  virtual bool BrowserVisible() const = 0;
  virtual void SetBrowserVisible(bool visible) = 0;
  // The folder tree's current folder, and selecting one (which scans it while the window shows).
  virtual QString TreeFolder() const = 0;
  virtual void SelectTreeFolder(const QString& folder) = 0;
  virtual void SetFolderLabel(const QString& text) = 0;
  // The grid: its client width, the height of a line of its text, its cells and its selection.
  virtual int GridClientWidth() const = 0;
  virtual int GridTextHeight() const = 0;
  virtual void SetGridLayout(const ThumbGridLayout& layout) = 0;
  // One empty cell, nothing selected.
  virtual void ClearGrid() = 0;
  // Index of the selected cell, -1 for none.
  virtual int SelectedThumb() const = 0;
  virtual void RepaintGrid() = 0;
};

class TImageBrowserCommands : public QObject {
  Q_OBJECT
public:
  explicit TImageBrowserCommands(QWidget* owner);
  ~TImageBrowserCommands() override;

  void SetView(IThumbView* view) { view_ = view; }
  IThumbView* View() const { return view_; }

  // The thumbnails: one record and one picture each, in grid order.
  const std::vector<TThumbRecord>& ThumbList() const { return records_; }
  const QList<QImage>& Thumbnails() const { return pictures_; }
  int ThumbCount() const { return static_cast<int>(records_.size()); }
  const TThumbRecord* Record(int index) const;
  // The edge of a thumbnail picture.
  int ThumbSize() const { return thumbSize_; }
  void SetThumbSize(int size);
  // Which extensions a scan takes (the FilterType setting).
  int FilterType = 19;
  // The folder whose thumbnails are shown (empty before the first scan).
  QString CurrentFolder() const { return currentFolder_; }
  // Takes the folder as the one shown without scanning it.
  void RememberFolder(const QString& folder) { currentFolder_ = folder; }
  // The folder-browse dialog's folder.
  QString BrowseFolder;
  // Set while a thumbnail is dragged over the main window's client area.
  bool DraggingThumb = false;

  void ScanImageFolder(const QString& folder);
  void ClearThumbnails();
  // The selected thumbnail's file: the scanned folder and the record's name; empty for no thumbnail.
  QString GetSelectedThumbPath() const;
  QString PathOf(int index) const;
  // The status text of a thumbnail ("name - (w x h) nKB"), empty without one.
  QString ThumbStatusText(int index) const;

  // The browser window's events.
  // A press on the grid: the five thumbnail items are enabled exactly when it hit a thumbnail.
  void ThumbPressed(bool onThumb);
  // The tree moved to another folder.
  void TreeFolderChanged(const QString& folder);
  // The window closed with its caption button.
  void BrowserClosed();
  // The folder tree was shown or hidden.
  void ExplorerToggled(bool visible);

  // Commands.
  void ShowThumbWindow(bool visible);
  void ThumbViewExecute();
  void ThumbsBrowseExecute();
  void ThumbsRefreshExecute();
  void ThumbsClearExecute();
  void popThumbsPopup();
  void mniThumbsInsertClick();
  void mniThumbOpenClick();
  void mniThumbsCopyClick();
  void mniThumbsEditClick();
  void mniThumbsPropertiesClick();
  // A thumbnail dropped on the main window (while DraggingThumb) or on the frame strip.
  void InsertSelectedThumb();
  void InsertThumbFile(const QString& path);

  // Favourite folders: the items of the favourites menu from the fourth on.
  void AddFavorite(const QString& path);
  void FavoriteClick(QAction* item);
  void RebuildFavorites(const QStringList& folders);
  QStringList Favorites() const;
  void mniThumbsFavsAddClick();
  void mniThumbsFavsOrgClick();

  // The main window's parts that the commands use; the main window installs them.
  struct Host {
    // Status panel 2 and the progress bar (maximum below 0 hides it).
    std::function<void(const QString&)> Status;
    std::function<void(int position, int maximum)> Progress;
    std::function<bool()> HasDocument;
    // The file read by its type and inserted after the selected frame.
    std::function<void(const QString& path)> InsertAfterSelection;
    // The file inserted by its type (a thumbnail dropped); onClientArea starts a new animation.
    std::function<void(const QString& path, bool onClientArea)> InsertByType;
    std::function<bool(const QString& path)> OpenGif;
    // A picture opened as a new animation; false when it could not be read.
    std::function<bool(const QString& path)> OpenPictureAsDocument;
    // The file read into a picture by its type; false when it cannot be.
    std::function<bool(const QString& path, QImage& picture)> ReadPicture;
    // Opens the file with the user's default program.
    std::function<void(const QString& path)> OpenWithDefaultProgram;
    // The folder-browse dialog: true when the user chose a folder, which is then in folder.
    std::function<bool(QString& folder)> ChooseFolder;
    // The options dialog on its favourites page: true when the list changed, which is then in folders.
    std::function<bool(QStringList& folders)> OrganizeFavorites;
    // The properties page for a thumbnail's file.
    std::function<void(const QString& path, const TThumbRecord& record)> ShowProperties;
  } host;

  // Actions and menus, which the main window places.
  QAction* ThumbView = nullptr;        // "Show/Hide I&mage Browser", Ctrl+Shift+T
  QAction* ThumbsBrowse = nullptr;     // Ctrl+B
  QAction* ThumbsRefresh = nullptr;    // F5
  QAction* ThumbsClear = nullptr;
  QAction* mniViewExplorer = nullptr;  // "Show/Hide &Explorer Tree"
  QAction* mniThumbsInsert = nullptr;
  QAction* mniThumbOpen = nullptr;
  QAction* mniThumbsCopy = nullptr;
  QAction* mniThumbsEdit = nullptr;
  QAction* mniThumbsProperties = nullptr;
  QAction* mniThumbsFavsAdd = nullptr;
  QAction* mniThumbsFavsOrg = nullptr;
  QMenu* popThumbs = nullptr;
  QMenu* mniThumbsFavorites = nullptr;

signals:
  // The browser's tree is to be shown or hidden (the Explorer Tree item).
  void explorerRequested(bool visible);

private:
  void SetThumbItemsEnabled(bool on);
  void Status(const QString& text);
  void Progress(int position, int maximum);

  QPointer<QWidget> owner_;
  IThumbView* view_ = nullptr;
  std::vector<TThumbRecord> records_;
  QList<QImage> pictures_;
  int thumbSize_ = kDefaultThumbSize;
  QString currentFolder_;
  bool scanning_ = false;
};

}  // namespace movinta::editor
