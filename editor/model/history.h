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

class TCommand {
public:
  TCommand(std::uint8_t operation, int frameIndex) : Operation(operation), FrameIndex(frameIndex) {}
  virtual ~TCommand() = default;
  TCommand(const TCommand&) = delete;
  TCommand& operator=(const TCommand&) = delete;

  virtual void Restore() = 0;
  virtual QString ClassNameText() const = 0;

  QString Caption = QString::fromLatin1("Unindentified Action");
  std::uint8_t Operation;
  int FrameIndex;

protected:
  void CheckOperation() const;  // operation 0 is never valid for a restore
};

// Kind 1: the whole animation, kept in a temporary file.
class TActiveAnimation : public TCommand {
public:
  TActiveAnimation(std::uint8_t operation, int frameIndex);
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

// Kind 2: a colour table.
class TCommandPalette : public TCommand {
public:
  TCommandPalette(std::uint8_t operation, int colorIndex, int colorValue, int frameIndex);
  void Restore() override;
  QString ClassNameText() const override { return QStringLiteral("TCommandPalette"); }
  std::unique_ptr<TCmdColorMap> SavedMap;
  int ColorIndex;
  int ColorValue;

private:
  gif::TGIFColorMap* TargetMap() const;
};

// Kind 3: the frame list and a frame's geometry.
class TFrame : public TCommand {
public:
  TFrame(std::uint8_t operation, int targetIndex, int frameIndex);
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
  TFrameExtension(std::uint8_t operation, int extensionIndex, int frameIndex)
      : TCommand(operation, frameIndex), ExtensionIndex(extensionIndex) {}
  int ExtensionIndex;
};

// Kind 7: the loop block of a frame (in practice frame 0).
class TNSLoop : public TFrameExtension {
public:
  TNSLoop(std::uint8_t operation, int extensionIndex, int frameIndex);
  void Restore() override;
  QString ClassNameText() const override { return QStringLiteral("TNSLoop"); }
  std::uint16_t SavedLoops = 1;
  bool HadLoop = false;  // a stored count of 1 is a real count, so presence is kept apart
};

// Kind 5: a frame's graphic control extension.
class TGCExt : public TFrameExtension {
public:
  TGCExt(std::uint8_t operation, int extensionIndex, int frameIndex);
  void Restore() override;
  QString ClassNameText() const override { return QStringLiteral("TGCExt"); }
  std::uint8_t UserInput = 0, Transparent = 0, TransparentIndex = 0, Disposal = 0;
  std::uint16_t Delay = 0;
  int TransparentColor = 0;
};

// Kind 4: a comment extension.
class TCommentExt : public TFrameExtension {
public:
  TCommentExt(std::uint8_t operation, int extensionIndex, int frameIndex);
  void Restore() override;
  QString ClassNameText() const override { return QStringLiteral("TCommentExt"); }
  QString Text;
};

class THistoryList {
public:
  explicit THistoryList(int limit = 50) : limit_(limit) {}

  // Frees the oldest commands while more than Limit + 1 would be held.
  void Add(std::unique_ptr<TCommand> command);
  // Creates the command of the kind from the working image; kinds other than 1-5 and 7 add nothing.
  void AddByKind(std::uint8_t kind, std::uint8_t operation, int index2, int data, int frameIndex,
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
