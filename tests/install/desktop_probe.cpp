// The add-in the install test loads into the program it starts, to learn what the desktop sees of
// it. Choosing "Plug-ins|Report Desktop Identity" writes to the file named by $MOVINTA_TEST_REPORT,
// one "key=value" a line:
//   window_icon    set | none: the application's window icon;
//   desktop_file   the desktop entry the windows name;
//   start_page     shown | hidden: the start page with its picture, as it was when the add-in loaded;
//   document_icon  program | none | other | no document: the icon of the first document window,
//                  against the picture in $MOVINTA_TEST_ICON.
#include "automation/movinta_addin.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QMdiSubWindow>
#include <QObject>
#include <QPixmap>
#include <QWidget>

namespace {

using namespace movinta::addin;

bool ShownWidget(const QString& name) {
  for (QWidget* w : QApplication::allWidgets())
    if (w->objectName() == name && w->isVisible()) return true;
  return false;
}

QImage IconPicture(const QIcon& icon) {
  return icon.pixmap(QSize(32, 32)).toImage().convertToFormat(QImage::Format_ARGB32);
}

QString DocumentIcon() {
  for (QWidget* w : QApplication::allWidgets()) {
    auto* document = qobject_cast<QMdiSubWindow*>(w);
    if (!document) continue;
    const QIcon icon = document->windowIcon();
    if (icon.isNull()) return QStringLiteral("none");
    const QIcon program(qEnvironmentVariable("MOVINTA_TEST_ICON"));
    return !program.isNull() && IconPicture(icon) == IconPicture(program) ? QStringLiteral("program")
                                                                          : QStringLiteral("other");
  }
  return QStringLiteral("no document");
}

class Report : public IIntfMenuHandler {
public:
  explicit Report(bool startPage) : startPage_(startPage) {}
  bool Execute(int) override {
    QFile file(qEnvironmentVariable("MOVINTA_TEST_REPORT"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const QString text =
        QStringLiteral("window_icon=%1\ndesktop_file=%2\nstart_page=%3\ndocument_icon=%4\n")
            .arg(QApplication::windowIcon().isNull() ? QStringLiteral("none") : QStringLiteral("set"),
                 QGuiApplication::desktopFileName(), startPage_ ? QStringLiteral("shown") : QStringLiteral("hidden"),
                 DocumentIcon());
    return file.write(text.toUtf8()) > 0;
  }

private:
  bool startPage_;
};

}  // namespace

class DesktopProbe : public QObject, public IAddIn {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID MOVINTA_ADDIN_IID)
  Q_INTERFACES(movinta::addin::IAddIn)

public:
  bool SetApplication(std::shared_ptr<IGIFMovintaApplication> movinta) override {
    movinta_ = std::move(movinta);
    // Add-ins load after the start page came up, before any document can take its place.
    startPage_ = ShownWidget(QStringLiteral("pnlSplash")) && ShownWidget(QStringLiteral("imgAni"));
    return movinta_ != nullptr;
  }
  bool RegisterMenus() override {
    const std::shared_ptr<IIntfMenuItem> item = movinta_->Menu(QStringLiteral("Plug-ins"))->AddSubItem();
    item->SetCaption(QStringLiteral("Report Desktop Identity"));
    item->SetMenuHandler(std::make_shared<Report>(startPage_));
    return true;
  }
  bool GetDescription(QString& description) override {
    description = QStringLiteral("Tells the install test what the desktop sees of the program.");
    return true;
  }
  bool GetTitle(QString& title) override {
    title = QStringLiteral("Desktop Probe");
    return true;
  }
  bool GetVersion(QString& version) override {
    version = QStringLiteral("1.0");
    return true;
  }

private:
  std::shared_ptr<IGIFMovintaApplication> movinta_;
  bool startPage_ = false;
};

#include "desktop_probe.moc"
