// Scripts that arrive while the editor waits for the user: a bus call that would switch documents,
// sent from a timer while a question or a save dialog of a script's own call is up.
#include "automation/automation_server.h"
#include "editor/forms/edit_dialogs_qt.h"
#include "tests/editor_app/app_fixture.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDialog>
#include <QFileInfo>
#include <QTimer>

#include <functional>

namespace movinta::editor {
namespace {

// The program's QApplication comes from addins_app_test.cpp.

const QString kApp = QStringLiteral("/com/larkspur/Movinta/Application");
const QString kAppIface = QStringLiteral("com.larkspur.Movinta.Application");
const QString kActive = QStringLiteral("/com/larkspur/Movinta/ActiveDocument");
const QString kActiveIface = QStringLiteral("com.larkspur.Movinta.ActiveDocument");

// A save dialog that waits for the user like the real one: a modal dialog of its own.
class ModalChooser : public IFileChooser {
public:
  explicit ModalChooser(QString answer) : answer_(std::move(answer)) {}
  std::optional<QString> ChooseSaveName(const QString&, const QString&, const QString&) override {
    QDialog dialog;
    dialog.setModal(true);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return answer_;
  }

private:
  QString answer_;
};

class ScriptsAppTest : public testing::AppTest {
public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) GTEST_SKIP() << "no session bus";
    TfrmMain& main = OpenMain();
    server_ = std::make_unique<automation::TAutomationServer>(main);
    server_->Publish();
    client_ = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("scripts-client"));
    first_ = Gif(QStringLiteral("first.gif"), 3);
    ASSERT_NE(main.OpenFile(first_), nullptr);
    ASSERT_NE(main.OpenFile(Gif(QStringLiteral("second.gif"), 2)), nullptr);
  }
  void TearDown() override {
    server_.reset();
    QDBusConnection::disconnectFromBus(QStringLiteral("scripts-client"));
    AppTest::TearDown();
  }
  QDBusPendingCall Send(const QString& path, const QString& iface, const QString& member, const QVariantList& args) {
    QDBusMessage m = QDBusMessage::createMethodCall(QDBusConnection::sessionBus().baseService(), path, iface, member);
    m.setArguments(args);
    return client_.asyncCall(m, 120000);
  }
  static QDBusMessage Wait(QDBusPendingCall call) {
    while (!call.isFinished()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return call.reply();
  }
  // At the first modal dialog asks the editor to bring the first document forward (the answer the
  // switch got); accepts every modal dialog.
  void WhenADialogIsUp(QString& answer) {
    auto* timer = new QTimer(main_.get());
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [this, timer, &answer] {
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal) return;
      if (answer.isEmpty()) {
        const QDBusMessage reply = Wait(Send(kApp, kAppIface, QStringLiteral("IsFileOpen"), {first_}));
        answer = reply.type() == QDBusMessage::ErrorMessage ? reply.errorName() : QStringLiteral("answered");
      }
      if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->accept();
    });
    timer->start();
  }

  std::unique_ptr<automation::TAutomationServer> server_;
  QDBusConnection client_{QString()};
  QString first_;
};

const QString kBusy = QStringLiteral("com.larkspur.Movinta.Error.Busy");

TEST_F(ScriptsAppTest, ASwitchAskedForWhileAScriptsCallWaitsForTheUserIsRefused) {
  struct Case {
    const char* Call;
    std::function<QDBusMessage(ScriptsAppTest&)> Run;
  };
  const Case cases[] = {
      // A 24-bit picture: the Palettes question comes up.
      {"AddFrame",
       [](ScriptsAppTest& t) {
         return Wait(t.Send(kActive, kActiveIface, QStringLiteral("AddFrame"),
                            {automation::BmpBytes(QImage(6, 5, QImage::Format_RGB888)), 10}));
       }},
      {"ExportToAVI",
       [](ScriptsAppTest& t) { return Wait(t.Send(kActive, kActiveIface, QStringLiteral("ExportToAVI"), {})); }},
  };
  forms::QtEditDialogs dialogs(main_.get());
  IEditDialogs* previousDialogs = SetEditDialogs(&dialogs);
  ModalChooser chooser(Path(QStringLiteral("out.avi")));
  IFileChooser* previousChooser = SetFileChooser(&chooser);
  for (const Case& c : cases) {
    TMDIChild* second = main_->ActiveDocument();
    ASSERT_EQ(QFileInfo(second->FileName).fileName(), QStringLiteral("second.gif"));
    const int frames = SharedImage()->Images().GetCount();
    QString answer;
    WhenADialogIsUp(answer);
    const QDBusMessage reply = c.Run(*this);
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << c.Call << ": " << reply.errorMessage().toStdString();
    EXPECT_EQ(answer, kBusy) << c.Call;
    EXPECT_EQ(main_->ActiveDocument(), second) << c.Call;
    EXPECT_EQ(SharedImage()->Images().GetCount(), frames + (QLatin1String(c.Call) == QLatin1String("AddFrame") ? 1 : 0))
        << c.Call;
  }
  EXPECT_TRUE(QFileInfo::exists(Path(QStringLiteral("out.avi"))));
  SetFileChooser(previousChooser);
  SetEditDialogs(previousDialogs);

  // With nothing up the same call switches.
  EXPECT_EQ(Wait(Send(kApp, kAppIface, QStringLiteral("IsFileOpen"), {first_})).type(), QDBusMessage::ReplyMessage);
  EXPECT_EQ(main_->ActiveDocument()->FileName, first_);
  for (int i = 0; i < main_->Documents().Count(); ++i) main_->Documents().At(i)->Modified = false;
}

}  // namespace
}  // namespace movinta::editor
