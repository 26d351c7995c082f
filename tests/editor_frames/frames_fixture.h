// Stand-ins for the frame strip, the dialogs and the clipboard in the frame-command tests.
#pragma once

#include "editor/commands/frame_commands.h"
#include "gif_fixture.h"
#include "test_support.h"

#include <map>

namespace movinta::editor::testing {

// Declared first in a fixture, so that it goes last: closing documents may make a fresh working
// image, which must not outlive the test into the program's exit.
struct FreeSharedImageLast {
  ~FreeSharedImageLast() { SharedImage(1); }
};

// The frame strip: a selected frame, a selected range, and what the commands asked of it.
class StripView : public IEditorView {
public:
  StripView() { previous_ = SetEditorView(this); }
  ~StripView() override { SetEditorView(previous_); }
  int SelectedFrame() const override { return selected_; }
  void SetSelectedFrame(int index) override { selected_ = first_ = last_ = index; }
  int SelectionFirst() const override { return first_; }
  int SelectionLast() const override { return last_; }
  void SetSelection(int first, int last) override {
    selected_ = first_ = first;
    last_ = last;
  }
  void ShowFrame(int index) override {
    ++Shows;
    if (Commands) Commands->PrepareShowFrame(index);
  }
  void RepaintFrames() override { ++Repaints; }
  void StatusText(int panel, const QString& text) override {
    if (panel == 2 && !text.isEmpty()) Status = text;
  }
  TFrameCommands* Commands = nullptr;
  QString Status;  // the last hint or reason shown
  int Shows = 0;
  int Repaints = 0;

private:
  IEditorView* previous_;
  int selected_ = 0, first_ = 0, last_ = 0;
};

// Answers every dialog from what the test put in.
class ScriptedDialogs : public IEditDialogs {
public:
  ScriptedDialogs() { previous_ = SetEditDialogs(this); }
  ~ScriptedDialogs() override { SetEditDialogs(previous_); }
  bool AskPaletteDefaults() override { return PaletteDefaultsOk; }
  std::optional<bool> AskOversize() override { return Oversize; }
  std::optional<ResizeChoice> AskResize(int, int) override { return Resize; }
  std::optional<LoopChoice> AskAnimationInfo() override { return Loop; }
  std::optional<GlobalChangeChoice> AskGlobalChange(const GlobalChangeCaptions& captions) override {
    Captions = captions;
    return Global;
  }
  std::optional<PickedColor> PickColor(int, const PickedColor&) override { return Picked; }
  std::unique_ptr<TCmdColorMap> EditGlobalPalette(const gif::TGIFColorMap& table) override {
    if (!GlobalEntry) return nullptr;
    auto edited = std::make_unique<TCmdColorMap>();
    edited->Assign(table);
    edited->SetColor(GlobalEntry->first, GlobalEntry->second);
    return edited;
  }

  bool PaletteDefaultsOk = true;
  std::optional<bool> Oversize;
  std::optional<ResizeChoice> Resize;
  std::optional<LoopChoice> Loop;
  std::optional<GlobalChangeChoice> Global;
  GlobalChangeCaptions Captions;
  std::optional<PickedColor> Picked;
  std::optional<std::pair<int, gif::TColor>> GlobalEntry;  // the entry the palette editor changes

private:
  IEditDialogs* previous_;
};

// A clipboard in memory that keeps every format of one copy together, as the system's does.
class MemoryClipboard : public IClipboard {
public:
  MemoryClipboard() { previous_ = SetClipboard(this); }
  ~MemoryClipboard() override { SetClipboard(previous_); }
  void SetData(const QString& mime, const QByteArray& data) override { Formats = {{mime, data}}; }
  void SetDataSet(const std::vector<std::pair<QString, QByteArray>>& formats) override {
    Formats.clear();
    for (const auto& [mime, data] : formats) Formats[mime] = data;
  }
  QByteArray Data(const QString& mime) const override {
    auto it = Formats.find(mime);
    return it == Formats.end() ? QByteArray() : it->second;
  }
  bool HasFormat(const QString& mime) const override { return Formats.count(mime) > 0; }
  std::map<QString, QByteArray> Formats;

private:
  IClipboard* previous_;
};

// frames frames of width x height whose pixels differ from frame to frame and within each, over
// a 4-colour global table, with a loop block on frame 0 and delays 10, 20, ...
inline std::unique_ptr<gif::TGIFImage> MakePatternAnimation(int frames, int width = 6, int height = 4) {
  auto image = MakeAnimation(frames, width, height);
  for (int i = 0; i < frames; ++i) {
    gif::TGIFSubImage& f = *image->Images().GetFrame(i);
    for (std::size_t p = 0; p < f.DataSize(); ++p) f.Data()[p] = static_cast<std::uint8_t>((p + i) % 4);
  }
  AddLoopExtension(*image, 0, 0);
  return image;
}

}  // namespace movinta::editor::testing
