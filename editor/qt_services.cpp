#include "editor/qt_services.h"

#include "editor/model/string_tables.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>

#include <vector>

namespace movinta::editor {

namespace {
QMessageBox::Icon IconFor(MessageType type) {
  switch (type) {
    case MessageType::Warning: return QMessageBox::Warning;
    case MessageType::Error: return QMessageBox::Critical;
    case MessageType::Information: return QMessageBox::Information;
    case MessageType::Confirmation: return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

struct ButtonMap {
  MessageResult result;
  QMessageBox::StandardButton button;
};
constexpr ButtonMap kButtons[] = {
    {mrYes, QMessageBox::Yes},     {mrNo, QMessageBox::No},         {mrOk, QMessageBox::Ok},
    {mrCancel, QMessageBox::Cancel}, {mrAbort, QMessageBox::Abort}, {mrRetry, QMessageBox::Retry},
    {mrIgnore, QMessageBox::Ignore}, {mrAll, QMessageBox::YesToAll},
};

// With checked, the box carries a check box with checkCaption, and checked takes its state as the
// box closes: the box owns the check box and takes it along when it goes.
int RunBox(QWidget* parent, const QString& text, MessageType type, ButtonSet buttons, const QStringList& captions,
           const QString& checkCaption = QString(), bool* checked = nullptr) {
  QMessageBox box(IconFor(type), QStringLiteral("GIF Movinta"), text, QMessageBox::NoButton, parent);
  std::vector<std::pair<QAbstractButton*, MessageResult>> made;
  int captionIndex = 0;
  for (const ButtonMap& b : kButtons) {
    if (!(buttons & Button(b.result))) continue;
    QPushButton* button = box.addButton(b.button);
    if (captionIndex < captions.size()) button->setText(captions[captionIndex++]);
    made.emplace_back(button, b.result);
  }
  if (made.empty()) made.emplace_back(box.addButton(QMessageBox::Ok), mrOk);
  if (buttons & Button(mrCancel)) box.setEscapeButton(box.button(QMessageBox::Cancel));
  if (checked) box.setCheckBox(new QCheckBox(checkCaption, &box));
  box.exec();
  if (checked) *checked = box.checkBox() && box.checkBox()->isChecked();
  for (const auto& [button, result] : made)
    if (box.clickedButton() == button) return result;
  return (buttons & Button(mrCancel)) ? mrCancel : made.front().second;
}
}  // namespace

int QtMessageRoutine::Show(const QString& text, MessageType type, ButtonSet buttons) {
  return RunBox(parent_, text, type, buttons, {});
}

int QtMessageRoutine::ShowWithCheck(const QString& text, MessageType type, ButtonSet buttons,
                                    const QString& checkCaption, const QStringList& buttonCaptions, bool& checked) {
  return RunBox(parent_, text, type, buttons, buttonCaptions, checkCaption, &checked);
}

void QtMessageRoutine::Beep() { QApplication::beep(); }

std::optional<QString> QtFileChooser::ChooseSaveName(const QString& initialName, const QString& initialFolder,
                                                     const QString& defaultExtension) {
  QFileDialog dialog(parent_, QStringLiteral("Save As"), initialFolder);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(defaultExtension);
  dialog.setNameFilters({QStringLiteral("GIF Image (*.gif)"), QStringLiteral("All files (*)")});
  if (!initialName.isEmpty()) dialog.selectFile(initialName);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front();
}

void StatusBarProgress::Progress(int stage, int percent, const QString& message) {
  if (!bar_) return;
  if (stage == 0) {
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->show();
    if (text_) text_->setText(message);
  } else if (stage == 1) {
    bar_->setValue(percent);
  } else {
    bar_->hide();
    if (text_) text_->clear();
  }
}

void StatusBarProgress::SetBusy(bool busy) {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
  if (busy)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
}

void QtClipboard::SetData(const QString& mimeType, const QByteArray& data) {
  auto* mime = new QMimeData;
  mime->setData(mimeType, data);
  QGuiApplication::clipboard()->setMimeData(mime);
}

QByteArray QtClipboard::Data(const QString& mimeType) const {
  const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
  return mime ? mime->data(mimeType) : QByteArray();
}

bool QtClipboard::HasFormat(const QString& mimeType) const {
  const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
  return mime && mime->hasFormat(mimeType);
}

namespace {
class DesktopUrlOpener : public IUrlOpener {
public:
  bool Open(const QUrl& url) override { return QDesktopServices::openUrl(url); }
};
IUrlOpener* g_urlOpener = nullptr;
}  // namespace

IUrlOpener& UrlOpener() {
  static DesktopUrlOpener desktop;
  return g_urlOpener ? *g_urlOpener : desktop;
}

IUrlOpener* SetUrlOpener(IUrlOpener* opener) {
  IUrlOpener* previous = g_urlOpener;
  g_urlOpener = opener;
  return previous;
}

bool RunShellFile(const QString& target) {
  return RunShellUrl(QUrl::fromUserInput(target, QDir::currentPath(), QUrl::AssumeLocalFile));
}

bool RunShellUrl(const QUrl& url) {
  // The desktop's opener answers yes for a file that is not there and fails later, unseen.
  const bool missing = url.isLocalFile() && !QFileInfo::exists(url.toLocalFile());
  if (!missing && UrlOpener().Open(url)) return true;
  ShowMessage(Tr(texts::kCouldNotLoadClient), MessageType::Information, kOk);
  return false;
}

}  // namespace movinta::editor
