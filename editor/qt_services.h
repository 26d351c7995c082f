// The model's user-interface services over Qt Widgets: message boxes, the save dialog, progress in
// the status bar with the busy cursor, and the system clipboard. Stand in for the original message
// boxes and common dialogs; leave out help buttons and the system beep choice per message type.
#pragma once

#include "editor/model/ui_services.h"

#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QUrl>
#include <QWidget>

namespace movinta::editor {

class QtMessageRoutine : public IMessageRoutine {
public:
  explicit QtMessageRoutine(QWidget* parent = nullptr) : parent_(parent) {}
  int Show(const QString& text, MessageType type, ButtonSet buttons) override;
  int ShowWithCheck(const QString& text, MessageType type, ButtonSet buttons, const QString& checkCaption,
                    const QStringList& buttonCaptions, bool& checked) override;
  void Beep() override;

private:
  QPointer<QWidget> parent_;
};

class QtFileChooser : public IFileChooser {
public:
  explicit QtFileChooser(QWidget* parent = nullptr) : parent_(parent) {}
  std::optional<QString> ChooseSaveName(const QString& initialName, const QString& initialFolder,
                                        const QString& defaultExtension) override;

private:
  QPointer<QWidget> parent_;
};

// Shows progress in a bar and a text label of the main window's status bar.
class StatusBarProgress : public IProgress {
public:
  StatusBarProgress(QProgressBar* bar, QLabel* text) : bar_(bar), text_(text) {}
  void Progress(int stage, int percent, const QString& message) override;
  void SetBusy(bool busy) override;

private:
  QPointer<QProgressBar> bar_;
  QPointer<QLabel> text_;
};

class QtClipboard : public IClipboard {
public:
  void SetData(const QString& mimeType, const QByteArray& data) override;
  QByteArray Data(const QString& mimeType) const override;
  bool HasFormat(const QString& mimeType) const override;
};

// Hands links and files to the desktop's programs (the browser, the image viewer); tests install a
// stand-in that records what would have opened.
class IUrlOpener {
public:
  virtual ~IUrlOpener() = default;
  // True when a program took the link.
  virtual bool Open(const QUrl& url) = 0;
};
// The opener in use: the desktop's unless one was installed.
IUrlOpener& UrlOpener();
// Installs an opener (null: the desktop's again); returns the one installed before.
IUrlOpener* SetUrlOpener(IUrlOpener* opener);

// Opens a file or link with the desktop's default handler; tells the user when none takes it.
bool RunShellFile(const QString& target);
// The same for a link already made.
bool RunShellUrl(const QUrl& url);

}  // namespace movinta::editor
