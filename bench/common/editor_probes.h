// Stand-ins and probes the editor benchmarks share: a frame strip that holds a selection, a clipboard
// held in memory, a progress sink that lets the window paint at every report, and a count of the
// event loop's turns while work runs.
#pragma once

#include "editor/model/edit_dialogs.h"
#include "editor/model/ui_services.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHash>
#include <QObject>

#include <algorithm>
#include <chrono>
#include <utility>
#include <vector>

namespace bench {

// The frame strip: a selection the commands read.
class StripView : public movinta::editor::IEditorView {
public:
  int SelectedFrame() const override { return first_; }
  void SetSelectedFrame(int index) override { first_ = last_ = index; }
  int SelectionFirst() const override { return first_; }
  int SelectionLast() const override { return last_; }
  void SetSelection(int first, int last) override {
    first_ = first;
    last_ = last;
  }

private:
  int first_ = 0, last_ = 0;
};

class MemoryClipboard : public movinta::editor::IClipboard {
public:
  void SetData(const QString& type, const QByteArray& data) override { data_[type] = data; }
  QByteArray Data(const QString& type) const override { return data_.value(type); }
  bool HasFormat(const QString& type) const override { return data_.contains(type); }
  void SetDataSet(const std::vector<std::pair<QString, QByteArray>>& formats) override {
    data_.clear();
    for (const auto& [type, data] : formats) data_[type] = data;
  }

private:
  QHash<QString, QByteArray> data_;
};

// The status bar's part: every report of long work lets the window paint.
class PaintingProgress : public movinta::editor::IProgress {
public:
  void Progress(int, int, const QString&) override { movinta::editor::BusyScope::KeepPainted(); }
};

// The event loop's turns while work runs, and the longest time the work held it without one: an
// event posted before the work, and again each time it is handled.
class LoopTurns : public QObject {
public:
  void Start() {
    count_ = 0;
    longest_ = 0;
    counting_ = true;
    last_ = Clock::now();
    QCoreApplication::postEvent(this, new QEvent(QEvent::User));
  }
  // Returns the longest hold, in milliseconds.
  double Stop() {
    counting_ = false;
    QCoreApplication::removePostedEvents(this);
    longest_ = std::max(longest_, SinceLast());
    return longest_;
  }
  int Count() const { return count_; }
  double LongestMs() const { return longest_; }
  bool event(QEvent* e) override {
    if (e->type() != QEvent::User) return QObject::event(e);
    if (counting_) {
      ++count_;
      longest_ = std::max(longest_, SinceLast());
      last_ = Clock::now();
      QCoreApplication::postEvent(this, new QEvent(QEvent::User));
    }
    return true;
  }

private:
  using Clock = std::chrono::steady_clock;
  double SinceLast() const { return std::chrono::duration<double, std::milli>(Clock::now() - last_).count(); }

  int count_ = 0;
  double longest_ = 0;
  Clock::time_point last_;
  bool counting_ = false;
};

// The stand-ins above, with the benchmark's own dialogs, in place for as long as it lives.
class EditorStandIns {
public:
  explicit EditorStandIns(movinta::editor::IEditDialogs& dialogs) {
    movinta::editor::SetEditorView(&View);
    movinta::editor::SetEditDialogs(&dialogs);
    movinta::editor::SetClipboard(&Clipboard);
    movinta::editor::SetProgressSink(&Progress);
  }
  ~EditorStandIns() {
    movinta::editor::SetProgressSink(nullptr);
    movinta::editor::SetClipboard(nullptr);
    movinta::editor::SetEditDialogs(nullptr);
    movinta::editor::SetEditorView(nullptr);
  }
  EditorStandIns(const EditorStandIns&) = delete;
  EditorStandIns& operator=(const EditorStandIns&) = delete;

  StripView View;
  MemoryClipboard Clipboard;
  PaintingProgress Progress;
};

}  // namespace bench
