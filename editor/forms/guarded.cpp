#include "editor/forms/guarded.h"

#include "editor/model/ui_services.h"

#include <QApplication>
#include <QPointer>
#include <QSet>
#include <QTimer>

#include <cstdio>
#include <new>
#include <optional>
#include <utility>

namespace movinta::editor {
namespace {

QSet<QString>& TextsShowing() {
  static QSet<QString> texts;
  return texts;
}

thread_local int t_depth = 0;

}  // namespace

void ReportEscapedException(const QString& text) noexcept {
  try {
    std::fprintf(stderr, "Movinta6: %s\n", text.toLocal8Bit().constData());
    if (!QCoreApplication::instance() || TextsShowing().contains(text)) return;
    TextsShowing().insert(text);
    QTimer::singleShot(0, QCoreApplication::instance(), [text] {
      try {
        ShowMessage(text, MessageType::Error);
      } catch (...) {
      }
      TextsShowing().remove(text);
    });
  } catch (...) {
    std::fputs("Movinta6: an error could not be reported\n", stderr);
  }
}

namespace {

QString CurrentExceptionText() {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return QStringLiteral("Out of memory.");
  } catch (const std::exception& e) {
    return QString::fromLocal8Bit(e.what());
  } catch (...) {
    return QStringLiteral("Unknown error.");
  }
}

}  // namespace

void ReportCurrentException() noexcept {
  try {
    ReportEscapedException(CurrentExceptionText());
  } catch (...) {
    std::fputs("Movinta6: an error could not be reported\n", stderr);
  }
}

void ReportPaintException() noexcept {
  try {
    static QSet<QString> shown;
    const QString text = CurrentExceptionText();
    if (shown.contains(text)) return;
    shown.insert(text);
    ReportEscapedException(text);
  } catch (...) {
    std::fputs("Movinta6: an error could not be reported\n", stderr);
  }
}

int GuardedDepth() noexcept { return t_depth; }

GuardedScope::GuardedScope() noexcept { ++t_depth; }
GuardedScope::~GuardedScope() { --t_depth; }

TMovintaApplication::TMovintaApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TMovintaApplication::notify(QObject* receiver, QEvent* event) {
  const int outer = std::exchange(t_depth, 0);
  struct Restore {
    int Depth;
    ~Restore() { t_depth = Depth; }
  } restore{outer};
  // A window's update request paints every widget of it that waits for a paint.
  const QEvent::Type type = event->type();
  std::optional<PaintDelivery> painting;
  if (type == QEvent::Paint || type == QEvent::UpdateRequest) painting.emplace();
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    ReportCurrentException();
    return false;
  }
}

}  // namespace movinta::editor
