#include "editor/main_window.h"

#include <QApplication>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("Larkspur Software"));
  QApplication::setApplicationName(QStringLiteral("GIF Movinta"));
  movinta::editor::TfrmMain window;
  window.show();
  const QStringList args = QApplication::arguments();
  if (args.size() > 1) window.OpenFile(args.at(1));
  return app.exec();
}
