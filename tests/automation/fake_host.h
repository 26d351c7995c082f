// A stand-in for the main window under the automation objects: the model is real (documents,
// working image, undo history, frame commands), the window's side answers plainly.
#pragma once

#include "automation/automation_host.h"
#include "editor/commands/frame_commands.h"

#include <QApplication>
#include <QImage>

#include <gtest/gtest.h>

namespace movinta::automation::testing {

using editor::SharedImage;
using editor::TMDIChild;

// The editor view the model talks to: the strip's selection.
class StripView : public editor::IEditorView {
public:
  StripView() { previous_ = editor::SetEditorView(this); }
  ~StripView() override { editor::SetEditorView(previous_); }
  int SelectedFrame() const override { return selected; }
  void SetSelectedFrame(int i) override { selected = i; }
  void ShowFrame(int i) override { selected = i; }
  int selected = 0;

private:
  editor::IEditorView* previous_;
};

class FakeHost : public IAutomationHost {
public:
  FakeHost() : commands(documents) {}
  editor::TDocuments& Documents() override { return documents; }
  bool Busy() const override { return busy || working; }
  bool Working() const override { return working; }
  bool Playing() const override { return playing; }
  QRect WindowRect() const override { return rect; }
  void SetWindowRect(const QRect& r) override { rect = r; }
  int WindowState() const override { return state; }
  void SetWindowState(int s) override { state = s; }
  qulonglong WindowId() const override { return 0; }
  void BringToFront() override {}
  void SendToBack() override {}
  void Quit() override {}
  void ShowProgress() override {}
  void HideProgress() override {}
  void SetProgress(int) override {}
  void SetStatusText(const QString&) override {}
  QString InputBox(const QString&, const QString&, const QString& d) override { return d; }
  int MessageBox(const QString&, const QString&, int) override {
    if (messageBoxThrows) throw 42;  // not even a std::exception
    ++boxes;
    return 1;
  }
  void NewDocument() override { documents.NewDocument(); }
  bool OpenFile(const QString& path) override { return documents.OpenDocument(path) != nullptr; }
  // Brings the document forward as the main window does: the working image switches to it.
  bool IsFileOpen(const QString& path) override {
    const int index = documents.FindOpenDocument(path);
    if (index >= 0) documents.Activate(documents.At(index));
    return index >= 0;
  }
  bool CloseAll() override { return documents.CloseAll(); }
  bool SaveAll() override { return true; }
  void NextDocument() override { Step(1); }
  void PreviousDocument() override { Step(-1); }
  bool ActivateDocument(TMDIChild* d) override { return documents.Activate(d); }
  int DocumentIndex() const override { return documents.IndexOf(documents.Active()); }
  void SetDocumentIndex(int i) override { documents.Activate(documents.At(i)); }
  int TabIndexForFile(const QString& f) const override { return documents.FindOpenDocument(f); }
  void Cascade() override {}
  void TileHorizontal() override {}
  void TileVertical() override {}
  QString CurrentFolder() const override { return {}; }
  void SetCurrentFolder(const QString&) override { ++scans; }
  bool ThumbnailsShowing() const override { return false; }
  void SetThumbnailsShowing(bool) override { ++scans; }
  bool ExplorerShowing() const override { return false; }
  void SetExplorerShowing(bool) override { ++scans; }
  void LoadThumbnails(const QString&) override { ++scans; }
  QString ThumbnailFileName() const override { return {}; }
  bool ImageSize(const QString&, int& w, int& h) override {
    ++scans;
    w = h = 7;
    return false;
  }
  bool ShellExecute(const QString&) override { return false; }
  QList<QAction*> MenuItems() const override { return menus; }
  void Undo() override { documents.Active()->Undo(); }
  bool ShowFrame(int index) override { return index >= 0 && index < SharedImage()->Images().GetCount(); }
  QImage CurrentBitmap() override { return QImage(2, 2, QImage::Format_RGB32); }
  bool CloseActive() override { return documents.Close(documents.Active()); }
  void PlayAnimation() override { playing = true; }
  void StopAnimation() override { playing = false; }
  int InsertBitmapFrame(const gif::Bitmap& b, int p, const QString& c) override { return commands.InsertBitmapFrame(b, p, c); }
  bool AddFrameNoPrompts(const gif::Bitmap& b, int d) override { return commands.InsertBitmapAt(*SharedImage(), b, d); }
  void SetLoopCount(int plays) override { commands.ApplyLoopChange(plays == 0, plays); }
  void DeleteFrame(int index) override { documents.Active()->DeleteFrame(index); }
  void FramesChanged() override { ++framesChanged; }
  bool ExportToAvi() override { return false; }
  bool ImportFromAvi(const QString&) override { return false; }

  editor::TDocuments documents;
  editor::TFrameCommands commands;
  QList<QAction*> menus;
  QRect rect{10, 20, 300, 200};
  int state = 0;
  bool busy = false;
  bool messageBoxThrows = false;
  bool working = false;
  bool playing = false;
  int framesChanged = 0;
  // Scans, folder changes and picture reads the browser or imaging control would run.
  int scans = 0;
  int boxes = 0;

private:
  void Step(int by) {
    const int count = documents.Count();
    if (count > 1) documents.Activate(documents.At((documents.IndexOf(documents.Active()) + by + count) % count));
  }
};

}  // namespace movinta::automation::testing
