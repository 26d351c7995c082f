// The main window's frame and animation commands as menus and actions over the model's frame
// commands, and the playback of the active animation over its document window.
#pragma once

#include "editor/frame_strip.h"
#include "editor/image_import.h"
#include "editor/model/playback.h"
#include "editor/property_panel.h"
#include "editor/qt_services.h"
#include "gif/qt/painter_widget.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <functional>

class QAction;
class QActionGroup;
class QMenu;
class QMenuBar;

namespace movinta::editor {

// The system clipboard holding every format of one copy together (a frame copy is a picture and
// the marker that says it is ours).
class QtFrameClipboard : public QtClipboard {
public:
  void SetDataSet(const std::vector<std::pair<QString, QByteArray>>& formats) override;
};

// Shows the playing copy's canvas over the document window's frame.
class TAnimationPlayer : public QObject, public IPlaybackView {
  Q_OBJECT
public:
  // clock is for tests (null: the real one).
  explicit TAnimationPlayer(TFrameCommands& commands, QObject* parent = nullptr,
                            gif::TGIFPlaybackClock* clock = nullptr);
  ~TAnimationPlayer() override;
  TPlayback& Playback() { return playback_; }
  // The picture shown while playing (null otherwise).
  QWidget* Picture() const { return picture_.data(); }
  // The widget the picture is laid over (the active document's window) and its status panel.
  std::function<QWidget*()> Host;
  std::function<void(const QString&)> Status;
  std::function<void(bool)> PlayingChanged;

  void PlaybackShown(bool playing) override;
  void CanvasChanged() override;
  void DocumentStatus(const QString& text) override {
    if (Status) Status(text);
  }

private:
  gif::qt::QtPainterDispatcher dispatcher_;
  TPlayback playback_;
  QPointer<QWidget> picture_;
};

// What the frame actions need of the main window; unset hooks do nothing.
struct FrameActionHooks {
  // Paste puts clipboard text into the comments while the inspector shows them.
  std::function<bool()> CommentsShown;
  // The open dialog over the filter and the start folder; the chosen files.
  std::function<QStringList(const QString& filter, const QString& folder)> ChooseOpenFiles;
  // Reads the picture files Add Frame chose.
  IImportHost* Import = nullptr;
};

// The frame and animation commands as actions: Cut, Copy, Paste and Paste Comments in the Edit menu,
// the Frame and Animation menus, and the Play button's drop-down.
class TFrameActions {
public:
  QAction* EditCut = nullptr;
  QAction* EditCopy = nullptr;
  QAction* EditPaste = nullptr;
  QAction* EditPasteComments = nullptr;
  QAction* FrameAdd = nullptr;
  QAction* FrameDelete = nullptr;
  QAction* FrameMoveBegin = nullptr;
  QAction* FrameMoveUp = nullptr;
  QAction* FrameMoveDown = nullptr;
  QAction* FrameMoveEnd = nullptr;
  QAction* FrameReverse = nullptr;
  QAction* FrameSelectAll = nullptr;
  QAction* FrameGlobalChange = nullptr;
  QAction* FrameTransColor = nullptr;
  QAction* AnimationPlay = nullptr;
  QAction* AnimationPause = nullptr;
  QAction* AnimationResize = nullptr;
  QAction* AnimationInfo = nullptr;
  QAction* AnimationPalette = nullptr;
  QAction* AnimationOptimize = nullptr;
  // The Play button's drop-down: one item per open document, named by its file.
  QMenu* PlayMenu = nullptr;
  QActionGroup* FrameSizes = nullptr;  // the Frame Size items, 80 to 160
  // Adds the commands to the Edit menu and new Frame and Animation menus.
  void Build(QObject* owner, QMenu* edit, QMenuBar* bar, TFrameCommands& commands, TFrameStrip& strip,
             TPropertyPanel& panel, TAnimationPlayer& player, FrameActionHooks hooks);
  // Enables what the selection and the playing state allow.
  void Update(TFrameCommands& commands, const TFrameStrip& strip, bool playing);
};

// Brings the play menu in line with the open documents just before it shows: items of closed
// documents go, new documents get an item at the end, and the active document's item moves to the
// top as the default. Each new item runs click with its document's file name (also its data).
void SyncPlayMenu(QMenu& menu, TDocuments& documents, const QAction* play,
                  const std::function<void(const QString&)>& click);

// The Add Frame dialog's filter: every readable picture type together, then one entry per type.
extern const char* const kImageFilesFilter;

}  // namespace movinta::editor
