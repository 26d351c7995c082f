// The undo history of a document: one typed command per edit, recorded before the edit changes the
// working image and able to put the changed part back. Whole-animation and deleted-frame states are
// kept in private temporary GIF files.
#pragma once

#include "editor/model/working_image.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

namespace movinta::editor {

class ECommandError : public std::runtime_error {
public:
  explicit ECommandError(const QString& message) : std::runtime_error(message.toStdString()) {}
  QString Message() const { return QString::fromStdString(what()); }
};

// Which command a recording creates; the values are the ones the history has always stored.
enum class TUndoKind : std::uint8_t {
  Animation = 1,       // TActiveAnimation: the whole animation
  Palette = 2,         // TCommandPalette: a colour table
  Frame = 3,           // TFrame: the frame list and a frame's geometry
  Comment = 4,         // TCommentExt: a comment extension
  GraphicControl = 5,  // TGCExt: a frame's delay, disposal and transparency
  Loop = 7,            // TNSLoop: the loop block
};

// Which change a command undoes; each command reads only the operations it knows.
enum class TUndoOperation : std::uint8_t {
  None = 0,          // never valid for a restore
  Added = 1,         // the edit added the thing: undo removes it
  Removed = 2,       // the edit removed the thing: undo brings it back
  Changed = 3,       // the edit changed values: undo writes the recorded ones back
  Moved = 4,         // a frame moved: undo moves it back
  ColorAdded = 5,    // a colour appended to a table
  ColorRemoved = 6,  // a colour removed from a table
  ColorChanged = 7,  // one colour of a table changed
  Replaced = 8,      // the whole animation changed: undo reads the snapshot back
};

class TCommand {
public:
  TCommand(TUndoOperation operation, int frameIndex) : Operation(operation), FrameIndex(frameIndex) {}
  virtual ~TCommand() = default;
  TCommand(const TCommand&) = delete;
  TCommand& operator=(const TCommand&) = delete;

  virtual void Restore() = 0;
  virtual QString ClassNameText() const = 0;

  QString Caption = QString::fromLatin1("Unindentified Action");
  TUndoOperation Operation;
  int FrameIndex;

protected:
  void CheckOperation() const;  // operation 0 is never valid for a restore
};

// TUndoKind::Animation: the whole animation, kept in a temporary file.
class TActiveAnimation : public TCommand {
public:
  TActiveAnimation(TUndoOperation operation, int frameIndex);
  ~TActiveAnimation() override;
  void Restore() override;
  QString ClassNameText() const override { return QStringLiteral("TActiveAnimation"); }
  // After Restore: the snapshot file goes to fileName in place of what that held, and the tables
  // Restore cut to their recorded lengths get back the entries the file holds, so the working
  // image is what reading the file back gives. False, with nothing changed, when the file cannot
  // be moved.
  bool HandOverSnapshot(const QString& fileName);
  // The snapshot as the last Restore read it; null when it read none.
  const TOwnFile* ReadSnapshot() const { return held_.get(); }
  QString TempFileName;

private:
  bool emptyImage_ = false;
  std::vector<int> tableLengths_;  // global table first, then each frame's
  gif::TGIFCompression compression_ = gif::gcLZW;
  // The tables as the snapshot gave them, before Restore cut them: -1 for the global table.
  std::vector<std::pair<int, std::unique_ptr<TCmdColorMap>>> uncut_;
  std::unique_ptr<TOwnFile> held_;
};

// TUndoKind::Palette: a colour table.
class TCommandPalette : public TCommand {
public:
  TCommandPalette(TUndoOperation operation, int colorIndex, int colorValue, int frameIndex);
  void Restore() override;
  QString ClassNameText() const override { return QStringLiteral("TCommandPalette"); }
  std::unique_ptr<TCmdColorMap> SavedMap;
  int ColorIndex;
  int ColorValue;

private:
  gif::TGIFColorMap* TargetMap() const;
};

// TUndoKind::Frame: the frame list and a frame's geometry.
class TFrame : public TCommand {
public:
  TFrame(TUndoOperation operation, int targetIndex, int frameIndex);
  ~TFrame() override;
  void Restore() override;
  QString ClassNameText() const override { return QStringLiteral("TFrame"); }
  int AnimationHeight = 0, AnimationWidth = 0;
  std::uint16_t Left = 0, Top = 0, Width = 0, Height = 0;
  std::uint8_t Interlaced = 0;
  QString TempFileName;
  int TargetIndex;

private:
  int snapshotIndex_ = 0;  // the deleted frame's index in TempFileName
};

class TFrameExtension : public TCommand {
public:
  TFrameExtension(TUndoOperation operation, int extensionIndex, int frameIndex)
      : TCommand(operation, frameIndex), ExtensionIndex(extensionIndex) {}
  int ExtensionIndex;
};

// TUndoKind::Loop: the loop block of a frame (in practice frame 0).
class TNSLoop : public TFrameExtension {
public:
  TNSLoop(TUndoOperation operation, int extensionIndex, int frameIndex);
  void Restore() override;
  QString ClassNameText() const override { return QStringLiteral("TNSLoop"); }
  std::uint16_t SavedLoops = 1;
  bool HadLoop = false;  // a stored count of 1 is a real count, so presence is kept apart
};

// TUndoKind::GraphicControl: a frame's graphic control extension.
class TGCExt : public TFrameExtension {
public:
  TGCExt(TUndoOperation operation, int extensionIndex, int frameIndex);
  void Restore() override;
  QString ClassNameText() const override { return QStringLiteral("TGCExt"); }
  std::uint8_t UserInput = 0, Transparent = 0, TransparentIndex = 0, Disposal = 0;
  std::uint16_t Delay = 0;
  int TransparentColor = 0;
};

// TUndoKind::Comment: a comment extension.
class TCommentExt : public TFrameExtension {
public:
  TCommentExt(TUndoOperation operation, int extensionIndex, int frameIndex);
  void Restore() override;
  QString ClassNameText() const override { return QStringLiteral("TCommentExt"); }
  QString Text;
};

class THistoryList {
public:
  explicit THistoryList(int limit = 50) : limit_(limit) {}

  // Frees the oldest commands while more than Limit + 1 would be held.
  void Add(std::unique_ptr<TCommand> command);
  // Creates the command of the kind from the working image; a value outside TUndoKind adds nothing.
  void AddByKind(TUndoKind kind, TUndoOperation operation, int index2, int data, int frameIndex,
                 const QString& caption);
  // Restores the last command and hands it back, out of the history; a restore that raises keeps it.
  std::unique_ptr<TCommand> UndoLast();

  int Count() const { return static_cast<int>(items_.size()); }
  TCommand* Last() const { return items_.empty() ? nullptr : items_.back().get(); }
  TCommand* Item(int index) const { return items_[static_cast<std::size_t>(index)].get(); }
  QString LastCaption() const { return items_.empty() ? QString() : items_.back()->Caption; }
  int LastFrameIndex() const { return items_.empty() ? -1 : items_.back()->FrameIndex; }
  void Delete(int index);
  void Clear();
  void SetLimit(int n) { limit_ = n; }
  int Limit() const { return limit_; }
  // How many commands the history holds at most: one past Limit.
  int Capacity() const { return (limit_ < 0 ? 0 : limit_) + 1; }
  // Commands freed as the oldest since the last Clear: undoing all that remain no longer reaches
  // the state of the last clear.
  int Trimmed() const { return trimmed_; }

private:
  std::vector<std::unique_ptr<TCommand>> items_;
  int limit_;
  int trimmed_ = 0;
};

}  // namespace movinta::editor
