// An add-in for bench_window: answers the Save As Flash dialog as a user would, typing the movie's
// name ($MOVINTA_BENCH_FLASH_MOVIE) and pressing its button, and closes the HTML snippet window
// that follows, so that a script can run the command. It makes no menus.
#include "automation/movinta_addin.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QLineEdit>
#include <QObject>
#include <QPushButton>
#include <QTimer>

namespace {

using namespace movinta::addin;

class DialogAnswers : public QObject {
public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Show) return false;
    auto* dialog = qobject_cast<QDialog*>(watched);
    if (!dialog || !dialog->isWindow()) return false;
    if (dialog->windowTitle() == QStringLiteral("Export to Macromedia Flash")) {
      auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("FileNameEdt"));
      auto* save = dialog->findChild<QPushButton*>(QStringLiteral("OpenBtn"));
      if (name && save)
        QTimer::singleShot(0, save, [name, save] {
          name->setText(qEnvironmentVariable("MOVINTA_BENCH_FLASH_MOVIE"));
          save->click();
        });
    } else if (dialog->objectName() == QStringLiteral("SWFHTMLFrm")) {
      QTimer::singleShot(0, dialog, &QDialog::accept);
    }
    return false;
  }
};

}  // namespace

class BenchWindowAnswers : public QObject, public IAddIn {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID MOVINTA_ADDIN_IID)
  Q_INTERFACES(movinta::addin::IAddIn)

public:
  bool SetApplication(std::shared_ptr<IGIFMovintaApplication> movinta) override {
    movinta_ = std::move(movinta);
    qApp->installEventFilter(&answers_);
    return movinta_ != nullptr;
  }
  bool RegisterMenus() override { return true; }
  bool GetDescription(QString& description) override {
    description = QStringLiteral("Answers the Save As Flash dialog for bench_window.");
    return true;
  }
  bool GetTitle(QString& title) override {
    title = QStringLiteral("bench_window answers");
    return true;
  }
  bool GetVersion(QString& version) override {
    version = QStringLiteral("1.0");
    return true;
  }

private:
  std::shared_ptr<IGIFMovintaApplication> movinta_;
  DialogAnswers answers_;
};

#include "bench_window_answers.moc"
