#include "controls/shell/dialogs/ptdialog.h"

#include <QApplication>
#include <QIODevice>
#include <QMessageBox>
#include <QWidget>

#include "controls/shell/shell_controls.h"

namespace ptshell {

TDialogMessageRoutine& DialogMessageRoutine() {
  static TDialogMessageRoutine routine = [](QWidget* parent, const QString& caption, const QString& text, int type,
                                            int buttons) {
    const QMessageBox::Icon icon = type == 0   ? QMessageBox::Warning
                                   : type == 1 ? QMessageBox::Critical
                                   : type == 2 ? QMessageBox::Information
                                               : QMessageBox::Question;
    QMessageBox box(icon, caption, text,
                    buttons == mbsYesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
    const int answer = box.exec();
    if (buttons != mbsYesNo) return mbOK;
    return answer == QMessageBox::Yes ? mbYes : mbNo;
  };
  return routine;
}

int DialogMessage(QWidget* parent, const QString& caption, const QString& text, int type, int buttons) {
  auto& routine = DialogMessageRoutine();
  if (!routine) return buttons == mbsYesNo ? mbNo : mbOK;
  return routine(parent, caption, text, type, buttons);
}

bool TPTDialog::Execute() {
  if (ExecutingValue) throw EPTDialogError((ClassName() + QStringLiteral(" already executing")).toStdString());
  ExecutingValue = true;
  struct Clear {
    bool& Flag;
    ~Clear() { Flag = false; }
  } clear{ExecutingValue};
  return DoExecute();
}

void TPTDialog::DoInitialized() {
  if (OnInitialized) OnInitialized(this);
}

void TPTDialog::ApplyFormGeometry(QWidget* form) const {
  QSize size = form->size();
  if (FormWidth > 0) size.setWidth(FormWidth);
  if (FormHeight > 0) size.setHeight(FormHeight);
  form->resize(size);
  if (FormWindowState == wsMaximized)
    form->setWindowState(Qt::WindowMaximized);
  else if (FormWindowState == wsMinimized)
    form->setWindowState(Qt::WindowMinimized);
}

void TPTDialog::ReadFormGeometry(QWidget* form) {
  // The restored rectangle, so that a maximised form keeps its normal size.
  const bool special = form->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen);
  const QRect normal = special && form->normalGeometry().isValid() ? form->normalGeometry() : form->geometry();
  FormWidth = normal.width();
  FormHeight = normal.height();
  const Qt::WindowStates s = form->windowState();
  FormWindowState = s & Qt::WindowMaximized ? wsMaximized : s & Qt::WindowMinimized ? wsMinimized : wsNormal;
}

void TPTDialog::SaveFormState(QIODevice& stream) const {
  WriteI32(stream, FormWidth);
  WriteI32(stream, FormHeight);
  WriteU8(stream, FormWindowState);
}

void TPTDialog::LoadFormState(QIODevice& stream) {
  int32_t w, h;
  uint8_t s;
  if (!ReadI32(stream, w) || !ReadI32(stream, h) || !ReadU8(stream, s)) return;
  FormWidth = w;
  FormHeight = h;
  FormWindowState = s <= wsMaximized ? static_cast<TWindowState>(s) : wsNormal;
}

void WriteI32(QIODevice& stream, int32_t value) {
  const uint32_t v = static_cast<uint32_t>(value);
  const char bytes[4] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char((v >> 24) & 0xFF)};
  stream.write(bytes, 4);
}

void WriteU8(QIODevice& stream, uint8_t value) {
  const char b = static_cast<char>(value);
  stream.write(&b, 1);
}

bool ReadI32(QIODevice& stream, int32_t& value) {
  unsigned char b[4];
  if (stream.read(reinterpret_cast<char*>(b), 4) != 4) return false;
  value = static_cast<int32_t>(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24);
  return true;
}

bool ReadU8(QIODevice& stream, uint8_t& value) {
  char b;
  if (stream.read(&b, 1) != 1) return false;
  value = static_cast<uint8_t>(b);
  return true;
}

TWaitCursorScope::TWaitCursorScope() {
  if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    Active = true;
  }
}

TWaitCursorScope::~TWaitCursorScope() {
  if (Active) QApplication::restoreOverrideCursor();
}

void TWaitCursorScope::Normal() {
  if (Active) QApplication::changeOverrideCursor(Qt::ArrowCursor);
}

}  // namespace ptshell
