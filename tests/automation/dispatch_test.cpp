// The bus front over a stand-in host, called in process through a second connection: the rules
// the dispatcher adds to the objects (busy refusals, delayed answers, error names).
#include "automation/dbus_front.h"
#include "fake_host.h"
#include "tests/editor/gif_fixture.h"
#include "tests/editor/test_support.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QElapsedTimer>

#include <optional>
#include <QMenu>
#include <QMenuBar>

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

// ---- menu items

// A client's menu handler; Execute(13) answers with an error, 14 with a very long one, and 15 never.
class HandlerObject : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "com.larkspur.Movinta.MenuHandler")
public:
  QList<int> Tags;
public Q_SLOTS:
  void Execute(int tag) {
    Tags << tag;
    if (tag == 13) sendErrorReply(QStringLiteral("com.example.Error.Unlucky"), QStringLiteral("thirteen is unlucky"));
    if (tag == 14) sendErrorReply(QStringLiteral("com.example.Error.Long"), QString(200000, QLatin1Char('x')));
    if (tag == 15) setDelayedReply(true);
  }
};

class MenuDispatchTest : public DispatchTest {
protected:
  void SetUp() override {
    DispatchTest::SetUp();
    if (IsSkipped()) return;
    QMenu* file = bar_.addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("&Open..."));
    plugins_ = bar_.addMenu(QStringLiteral("&Plug-ins"));
    host_.menus = bar_.actions();
  }
  QDBusMessage Item(const QString& path, const QString& member, const QVariantList& args = {}) {
    return Wait(Send(path, kItemIface, member, args));
  }
  QString PathOf(const QDBusMessage& reply) {
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    return reply.arguments().value(0).value<QDBusObjectPath>().path();
  }
  QVariant Get(const QString& path, const QString& name) {
    return GetProperty(path, kItemIface, name).arguments().value(0).value<QDBusVariant>().variant();
  }
  template <typename Done>
  static bool WaitFor(Done done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 20000) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return done();
  }

  const QString kItemIface = QStringLiteral("com.larkspur.Movinta.MenuItem");
  QMenuBar bar_;
  QMenu* plugins_ = nullptr;
};

TEST_F(MenuDispatchTest, EveryMemberOfAMenuItemServesABusClient) {
  const QString app = QStringLiteral("/com/larkspur/Movinta/Application");
  const QString plugins = PathOf(Wait(Send(app, QStringLiteral("com.larkspur.Movinta.Application"), QStringLiteral("Menu"),
                                           {QStringLiteral("Plug-ins")})));
  EXPECT_TRUE(plugins.startsWith(QStringLiteral("/com/larkspur/Movinta/Menus/m")));
  const QString second = PathOf(Item(plugins, QStringLiteral("AddSubItem")));
  const QString first = PathOf(Item(plugins, QStringLiteral("InsertSubItem"), {0}));
  EXPECT_EQ(PathOf(Item(plugins, QStringLiteral("SubItem"), {0})), first) << "one path per item";
  EXPECT_EQ(Get(plugins, QStringLiteral("SubItemCount")).toInt(), 2);
  const QDBusMessage outside = Item(plugins, QStringLiteral("SubItem"), {2});
  EXPECT_EQ(outside.errorName(), QStringLiteral("com.larkspur.Movinta.Error.InvalidValue"));
  EXPECT_EQ(outside.errorMessage(), QStringLiteral("Menu index out of bounds"));
  EXPECT_EQ(Item(plugins, QStringLiteral("InsertSubItem"), {-1}).errorMessage(), QStringLiteral("Menu index out of bounds"));

  struct Case {
    const char* Name;
    QVariant Value;
  };
  for (const Case& c : {Case{"Caption", QStringLiteral("&First")}, Case{"Checked", true}, Case{"Hint", QStringLiteral("h")},
                        Case{"ShortCut", QStringLiteral("Ctrl+K")}, Case{"Tag", 9}, Case{"DocDependent", false},
                        Case{"Enabled", true}, Case{"Visible", false}}) {
    const QString name = QLatin1String(c.Name);
    EXPECT_EQ(SetProperty(first, kItemIface, name, c.Value).type(), QDBusMessage::ReplyMessage) << c.Name;
    EXPECT_EQ(Get(first, name), c.Value) << c.Name;
  }
  EXPECT_EQ(Get(second, QStringLiteral("DocDependent")).toBool(), true);
  EXPECT_EQ(Get(second, QStringLiteral("Enabled")).toBool(), false) << "no document is open";
  EXPECT_EQ(Get(second, QStringLiteral("MenuIndex")).toInt(), 1);
  EXPECT_EQ(SetProperty(second, kItemIface, QStringLiteral("MenuIndex"), -5).type(), QDBusMessage::ReplyMessage);
  EXPECT_EQ(Get(second, QStringLiteral("MenuIndex")).toInt(), 0) << "a move is kept within the siblings";
  EXPECT_EQ(plugins_->actions().at(1)->text(), QStringLiteral("&First"));

  const QString file = PathOf(Wait(Send(app, QStringLiteral("com.larkspur.Movinta.Application"), QStringLiteral("Menu"),
                                        {QStringLiteral("File")})));
  EXPECT_EQ(Item(file, QStringLiteral("SetMenuHandler"), {QVariant::fromValue(QDBusObjectPath(QStringLiteral("/h")))})
                .errorMessage(),
            QStringLiteral("Cannot change pre-defined menu handlers"));

  // The item answers as gone once the menu deletes it.
  delete plugins_->actions().at(1);
  EXPECT_EQ(GetProperty(first, kItemIface, QStringLiteral("Caption")).errorName(),
            QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"));
}

TEST_F(MenuDispatchTest, AClientsHandlerIsCalledOnExecuteAndDroppedWhenTheClientLeaves) {
  const QString name = QStringLiteral("handler-client");
  // The connection closes once no handle on it is left.
  std::optional<QDBusConnection> handlerBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
  HandlerObject handler;
  ASSERT_TRUE(handlerBus->registerObject(QStringLiteral("/handler"), &handler, QDBusConnection::ExportAllSlots));
  auto fromHandlerBus = [&](const QString& path, const QString& member, const QVariantList& args) {
    QDBusMessage m = QDBusMessage::createMethodCall(server_.baseService(), path, kItemIface, member);
    m.setArguments(args);
    return Wait(handlerBus->asyncCall(m));
  };
  const QString plugins =
      PathOf(Wait(Send(QStringLiteral("/com/larkspur/Movinta/Application"), QStringLiteral("com.larkspur.Movinta.Application"),
                       QStringLiteral("Menu"), {QStringLiteral("Plug-ins")})));
  const QString item = PathOf(Item(plugins, QStringLiteral("AddSubItem")));
  SetProperty(item, kItemIface, QStringLiteral("DocDependent"), false);
  SetProperty(item, kItemIface, QStringLiteral("Tag"), 21);
  EXPECT_EQ(fromHandlerBus(item, QStringLiteral("SetMenuHandler"), {QVariant::fromValue(QDBusObjectPath(QStringLiteral("/handler")))})
                .type(),
            QDBusMessage::ReplyMessage);

  // Execute answers at once; the handler is called afterwards.
  EXPECT_EQ(Item(item, QStringLiteral("Execute")).type(), QDBusMessage::ReplyMessage);
  EXPECT_TRUE(WaitFor([&] { return handler.Tags == QList<int>{21}; }));
  SetProperty(item, kItemIface, QStringLiteral("Tag"), 13);
  Item(item, QStringLiteral("Execute"));
  EXPECT_TRUE(WaitFor([&] { return messages_.Saw(QStringLiteral("thirteen is unlucky")); })) << "an error answer is shown";
  // A long one is cut to what a box can show, under the item's caption.
  SetProperty(item, kItemIface, QStringLiteral("Caption"), QStringLiteral("&Long Story"));
  SetProperty(item, kItemIface, QStringLiteral("Tag"), 14);
  Item(item, QStringLiteral("Execute"));
  ASSERT_TRUE(WaitFor([&] { return messages_.Saw(QStringLiteral("xxxx")); }));
  EXPECT_TRUE(messages_.Shown.back().Text.contains(QStringLiteral("\"Long Story\"")));
  EXPECT_LT(messages_.Shown.back().Text.size(), 1000);
  // A call the client has not answered when it leaves ends without a word.
  SetProperty(item, kItemIface, QStringLiteral("Tag"), 15);
  Item(item, QStringLiteral("Execute"));
  ASSERT_TRUE(WaitFor([&] { return handler.Tags.contains(15); }));
  const std::size_t shown = messages_.Shown.size();

  auto* own = qobject_cast<TAutomatedMenu*>(plugins_->actions().front());
  ASSERT_NE(own, nullptr);
  EXPECT_NE(own->Handler(), nullptr);
  handlerBus.reset();
  QDBusConnection::disconnectFromBus(name);
  EXPECT_TRUE(WaitFor([&] { return own->Handler() == nullptr; })) << "the handler goes with its client";
  // The bus sent whatever it had for the client's calls along with its leaving; a round trip later
  // all of it has arrived.
  ASSERT_TRUE(server_.interface()->isServiceRegistered(server_.baseService()).value());
  for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
  EXPECT_EQ(messages_.Shown.size(), shown);
}

}  // namespace
}  // namespace movinta::automation

#include "dispatch_test.moc"
