// The running editor as the automation objects see it: the main window's commands, dialogs,
// status bar and document windows behind the host interface, and its Plug-ins menu as the add-in
// loader sees it.
#pragma once

#include "automation/automation_host.h"
#include "editor/main_window.h"

#include <QPointer>

namespace movinta::wiring {

using automation::IAutomationHost;
using automation::IPlugInHost;

class MainWindowHost : public IAutomationHost, public IPlugInHost {
public:
  explicit MainWindowHost(editor::TfrmMain& main) : main_(&main) {}

  editor::TDocuments& Documents() override;
  bool Busy() const override;
  bool Working() const override;
  bool Playing() const override;
  QRect WindowRect() const override;
  void SetWindowRect(const QRect& rect) override;
  int WindowState() const override;
  void SetWindowState(int state) override;
  qulonglong WindowId() const override;
  void BringToFront() override;
  void SendToBack() override;
  void Quit() override;
  void ShowProgress() override;
  void HideProgress() override;
  void SetProgress(int position) override;
  void SetStatusText(const QString& text) override;
  QString InputBox(const QString& caption, const QString& prompt, const QString& defaultText) override;
  int MessageBox(const QString& text, const QString& caption, int flags) override;
  void NewDocument() override;
  bool OpenFile(const QString& path) override;
  bool IsFileOpen(const QString& path) override;
  bool CloseAll() override;
  bool SaveAll() override;
  void NextDocument() override;
  void PreviousDocument() override;
  bool ActivateDocument(editor::TMDIChild* document) override;
  int DocumentIndex() const override;
  void SetDocumentIndex(int index) override;
  int TabIndexForFile(const QString& fileName) const override;
  void Cascade() override;
  void TileHorizontal() override;
  void TileVertical() override;
  QString CurrentFolder() const override;
  void SetCurrentFolder(const QString& folder) override;
  bool ThumbnailsShowing() const override;
  void SetThumbnailsShowing(bool showing) override;
  bool ExplorerShowing() const override;
  void SetExplorerShowing(bool showing) override;
  void LoadThumbnails(const QString& folder) override;
  QString ThumbnailFileName() const override;
  bool ImageSize(const QString& file, int& width, int& height) override;
  bool ShellExecute(const QString& file) override;
  QList<QAction*> MenuItems() const override;
  void Undo() override;
  bool ShowFrame(int index) override;
  QImage CurrentBitmap() override;
  bool CloseActive() override;
  void PlayAnimation() override;
  void StopAnimation() override;
  int InsertBitmapFrame(const gif::Bitmap& bitmap, int position, const QString& caption) override;
  bool AddFrameNoPrompts(const gif::Bitmap& bitmap, int delay) override;
  void SetLoopCount(int plays) override;
  void DeleteFrame(int index) override;
  void FramesChanged() override;
  bool ExportToAvi() override;
  bool ImportFromAvi(const QString& file) override;

  void SetWindowEnabled(bool enabled) override;
  QMenu* PluginsMenu() const override;
  QAction* PluginInfoItem() const override;
  void UpdateDocumentMenus() override;

private:
  editor::TfrmMain& Main() const;
  QPointer<editor::TfrmMain> main_;
};

}  // namespace movinta::wiring
