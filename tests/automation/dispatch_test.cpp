// The bus front over a stand-in host, called in process through a second connection: the rules
// the dispatcher adds to the objects (busy refusals, delayed answers, error names).
#include "automation/dbus_front.h"
#include "fake_host.h"
#include "tests/editor/gif_fixture.h"
#include "tests/editor/test_support.h"

#include <QDBusConnection>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QElapsedTimer>

namespace movinta::automation {
namespace {

// The application object comes from objects_test.cpp, in the same program.

class DispatchTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) GTEST_SKIP() << "no session bus";
    server_ = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("dispatch-server"));
    ASSERT_TRUE(bus_.Publish(server_, nullptr));
    client_ = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("dispatch-client"));
  }
  void TearDown() override {
    while (host_.documents.Count() > 0) host_.documents.FreeChildWindow(host_.documents.At(0));
    editor::SharedImage(1);
    QDBusConnection::disconnectFromBus(QStringLiteral("dispatch-client"));
  }
  QDBusPendingCall Send(const QString& path, const QString& iface, const QString& member, const QVariantList& args) {
    QDBusMessage m = QDBusMessage::createMethodCall(server_.baseService(), path, iface, member);
    m.setArguments(args);
    return client_.asyncCall(m);
  }
  static QDBusMessage Wait(QDBusPendingCall call) {
    while (!call.isFinished()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return call.reply();
  }
  QDBusMessage SetProperty(const QString& path, const QString& iface, const QString& name, const QVariant& value) {
    return Wait(Send(path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
                     {iface, name, QVariant::fromValue(QDBusVariant(value))}));
  }
  QDBusMessage GetProperty(const QString& path, const QString& iface, const QString& name) {
    return Wait(Send(path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"), {iface, name}));
  }

  editor::testing::ScopedSettingsDir settings_;
  editor::testing::ScopedTmpDir tmp_;
  editor::testing::RecordingMessages messages_;
  testing::StripView view_;
  testing::FakeHost host_;
  TAutomationBus bus_{std::make_shared<TGIFApplication>(host_)};
  QDBusConnection server_{QString()};
  QDBusConnection client_{QString()};
};

const QString kActive = QStringLiteral("/com/larkspur/Movinta/ActiveDocument");
const QString kActiveIface = QStringLiteral("com.larkspur.Movinta.ActiveDocument");

TEST_F(DispatchTest, WhileTheEditorIsBusyCallsThatChangeDocumentsAreRefusedAndReadingGoesOn) {
  const QString path = tmp_.Path + QStringLiteral("/a.gif");
  editor::testing::WriteAnimation(*editor::testing::MakeAnimation(2), path);
  ASSERT_TRUE(host_.documents.OpenDocument(path));
  host_.busy = true;
  const QDBusMessage refused = SetProperty(kActive, kActiveIface, QStringLiteral("NSLoop"), 0);
  EXPECT_EQ(refused.errorName(), QStringLiteral("com.larkspur.Movinta.Error.Busy"));
  EXPECT_EQ(Wait(Send(kActive, kActiveIface, QStringLiteral("DeleteFrame"), {0})).errorName(),
            QStringLiteral("com.larkspur.Movinta.Error.Busy"));
  const QDBusMessage read = GetProperty(kActive, kActiveIface, QStringLiteral("NSLoop"));
  ASSERT_EQ(read.type(), QDBusMessage::ReplyMessage) << read.errorMessage().toStdString();
  EXPECT_EQ(read.arguments().value(0).value<QDBusVariant>().variant().toInt(), 1);
  EXPECT_EQ(host_.documents.Active()->History.Count(), 0);
  EXPECT_EQ(editor::SharedImage()->Images().GetCount(), 2);

  host_.busy = false;
  EXPECT_EQ(SetProperty(kActive, kActiveIface, QStringLiteral("NSLoop"), 0).type(), QDBusMessage::ReplyMessage);
  EXPECT_EQ(host_.documents.Active()->History.Count(), 1);
}

TEST_F(DispatchTest, WaitAnswersFromATimerWhileOtherCallsAreServed) {
  QElapsedTimer clock;
  clock.start();
  QDBusPendingCall waiting = Send(QStringLiteral("/com/larkspur/Movinta/Application"),
                                  QStringLiteral("com.larkspur.Movinta.Application"), QStringLiteral("Wait"), {400});
  const QDBusMessage version = GetProperty(QStringLiteral("/com/larkspur/Movinta/Application"),
                                           QStringLiteral("com.larkspur.Movinta.Application"), QStringLiteral("VersionText"));
  EXPECT_FALSE(waiting.isFinished()) << "served while the wait runs";
  EXPECT_EQ(version.arguments().value(0).value<QDBusVariant>().variant().toString(), QStringLiteral("4.0"));
  EXPECT_EQ(Wait(waiting).type(), QDBusMessage::ReplyMessage);
  EXPECT_GE(clock.elapsed(), 390);
}

}  // namespace
}  // namespace movinta::automation
