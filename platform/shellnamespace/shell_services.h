// The desktop's services the shell layer calls on: open with the default
// handler (QDesktopServices), start a program, ask, report and show properties
// (message boxes), and run copies and moves on a worker behind a progress
// window. Each is a replaceable hook so tests and callers can run
// without a desktop; the defaults need a QApplication for their boxes and
// answer "no" without one.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

#include "platform/shellnamespace/file_operations.h"

class QWidget;

namespace shellns {

struct ShellServices {
  // Opens a path (raw bytes) or URI with the desktop's default handler.
  std::function<bool(const std::string& pathOrUri)> open;
  // Starts a program with arguments, detached.
  std::function<bool(const QString& program, const QStringList& arguments)> launch;
  // Asks a yes/no question; true for yes.
  std::function<bool(QWidget* owner, const QString& text)> confirm;
  // Reports a failure.
  std::function<void(QWidget* owner, const QString& text)> error;
  // Shows the properties of items given by path or display name.
  std::function<void(QWidget* owner, const QString& text)> properties;
  // Runs a copy or move: `work` on a worker thread while a window tells what
  // goes on and offers Cancel (which sets the progress's cancel); returns what
  // `work` returned once it has ended.
  std::function<HRESULT(QWidget* owner, const QString& text, const std::function<HRESULT(TransferProgress&)>& work)>
      transfer;
};

// Runs a transfer through the hook (inline when none is set).
HRESULT RunTransfer(QWidget* owner, const QString& text, const std::function<HRESULT(TransferProgress&)>& work);

// The process-wide hooks; assign members to replace them, ResetShellServices for the defaults.
ShellServices& Services();
void ResetShellServices();

}  // namespace shellns
