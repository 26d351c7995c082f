#include "editor/guarded.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QSet>
#include <QTimer>

#include <cstdio>
#include <new>

namespace movinta::editor {
namespace {

QSet<QString>& TextsShowing() {
  static QSet<QString> texts;
  return texts;
}

}  // namespace

void ReportEscapedException(const QString& text) noexcept {
  try {
    std::fprintf(stderr, "Movinta6: %s\n", text.toLocal8Bit().constData());
    if (!QCoreApplication::instance() || TextsShowing().contains(text)) return;
    TextsShowing().insert(text);
    QTimer::singleShot(0, QCoreApplication::instance(), [text] {
      try {
        QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), text, QMessageBox::Ok,
                        QApplication::activeWindow());
        box.exec();
      } catch (...) {
      }
      TextsShowing().remove(text);
    });
  } catch (...) {
    std::fputs("Movinta6: an error could not be reported\n", stderr);
  }
}

void ReportCurrentException() noexcept {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    ReportEscapedException(QStringLiteral("Out of memory."));
  } catch (const std::exception& e) {
    ReportEscapedException(QString::fromLocal8Bit(e.what()));
  } catch (...) {
    ReportEscapedException(QStringLiteral("Unknown error."));
  }
}

}  // namespace movinta::editor
