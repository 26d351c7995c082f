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
#include <QXmlStreamReader>

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

TEST_F(DispatchTest, AMemberThatThrowsAnythingIsAnsweredWithAnErrorAndTheEditorGoesOnServing) {
  const QString app = QStringLiteral("/com/larkspur/Movinta/Application");
  const QString appIface = QStringLiteral("com.larkspur.Movinta.Application");
  host_.messageBoxThrows = true;
  const QDBusMessage failed =
      Wait(Send(app, appIface, QStringLiteral("MessageBox"), {QStringLiteral("text"), QStringLiteral("caption"), 0}));
  EXPECT_EQ(failed.errorName(), QStringLiteral("com.larkspur.Movinta.Error.Failed"));
  host_.messageBoxThrows = false;
  const QDBusMessage answered =
      Wait(Send(app, appIface, QStringLiteral("MessageBox"), {QStringLiteral("text"), QStringLiteral("caption"), 0}));
  ASSERT_EQ(answered.type(), QDBusMessage::ReplyMessage) << answered.errorMessage().toStdString();
  EXPECT_EQ(answered.arguments().value(0).toInt(), 1);
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
  EXPECT_EQ(outside.errorName(), QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"));
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

// ---- every member at the wrong moment

// One member of an object as introspection names it: a method with its in arguments, or a property.
struct Call {
  QString Path, Iface, Name, Types;
  bool Property = false, Writable = false;
};

class WrongMomentTest : public MenuDispatchTest {
protected:
  void SetUp() override {
    MenuDispatchTest::SetUp();
    if (IsSkipped()) return;
    first_ = tmp_.Path + QStringLiteral("/first.gif");
    editor::testing::WriteAnimation(*editor::testing::MakeAnimation(3), first_);
    editor::testing::WriteAnimation(*editor::testing::MakeAnimation(2), tmp_.Path + QStringLiteral("/second.gif"));
    corrupt_ = tmp_.Path + QStringLiteral("/corrupt.gif");
    QFile corrupt(corrupt_);
    ASSERT_TRUE(corrupt.open(QIODevice::WriteOnly));
    corrupt.write("GIF89a\x01");
    corrupt.close();
    ASSERT_TRUE(host_.documents.OpenDocument(first_));
    ASSERT_TRUE(host_.documents.OpenDocument(tmp_.Path + QStringLiteral("/second.gif")));
    QObject::connect(bar_.actions().front()->menu()->actions().front(), &QAction::triggered, [this] { ++chosen_; });
  }

  // Every member of every object the tree holds now.
  std::vector<Call> Members() {
    const QString app = QStringLiteral("/com/larkspur/Movinta/Application");
    QStringList paths = {app, QStringLiteral("/com/larkspur/Movinta/Documents"), kActive, kActive + QStringLiteral("/Frames"),
                         PathOf(Wait(Send(app, QStringLiteral("com.larkspur.Movinta.Application"), QStringLiteral("Menu"),
                                          {QStringLiteral("File|Open...")})))};
    for (const QString& list : {paths[1], paths[3]}) {
      const QDBusMessage items = Wait(Send(list, QString(), QStringLiteral("Items"), {}));
      paths << qdbus_cast<QList<QDBusObjectPath>>(items.arguments().value(0)).value(0).path();
    }
    std::vector<Call> calls;
    for (const QString& path : paths) {
      QXmlStreamReader xml(Wait(Send(path, QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect"), {}))
                               .arguments()
                               .value(0)
                               .toString());
      QString iface;
      while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        const auto a = xml.attributes();
        if (xml.name() == QLatin1String("interface")) iface = a.value(QLatin1String("name")).toString();
        if (!iface.startsWith(QLatin1String("com.larkspur"))) continue;
        if (xml.name() == QLatin1String("method"))
          calls.push_back({path, iface, a.value(QLatin1String("name")).toString(), {}});
        else if (xml.name() == QLatin1String("arg") && a.value(QLatin1String("direction")) == QLatin1String("in"))
          calls.back().Types += a.value(QLatin1String("type"));
        else if (xml.name() == QLatin1String("property"))
          calls.push_back({path, iface, a.value(QLatin1String("name")).toString(), a.value(QLatin1String("type")).toString(), true,
                           a.value(QLatin1String("access")) == QLatin1String("readwrite")});
      }
    }
    return calls;
  }

  // Plain arguments that would act: the other document's file, a picture, index 0, true.
  QVariant Value(QChar type, const QString& text) const {
    switch (type.toLatin1()) {
      case 'i': return 0;
      case 'b': return true;
      case 's': return text;
      case 'y': return BmpBytes(QImage(4, 4, QImage::Format_RGB32));
      default: return QVariant::fromValue(QDBusObjectPath(QStringLiteral("/")));
    }
  }
  // Each call's error name, empty when answered: the get of a property, then its put.
  QMap<QString, QString> CallAll(const std::vector<Call>& calls, const QString& text) {
    QMap<QString, QString> out;
    for (const Call& c : calls) {
      const QString key = c.Iface.section(QLatin1Char('.'), -1) + QLatin1Char('.') + c.Name;
      if (c.Property) {
        out[key] = GetProperty(c.Path, c.Iface, c.Name).errorName();
        if (c.Writable) out[key + QStringLiteral("=")] = SetProperty(c.Path, c.Iface, c.Name, Value(c.Types[0], text)).errorName();
        continue;
      }
      QVariantList args;
      for (QChar t : c.Types)
        if (t != QLatin1Char('a')) args << Value(t, text);
      out[key] = Wait(Send(c.Path, c.Iface, c.Name, args)).errorName();
    }
    return out;
  }
  // What the walk must leave as it was.
  QString State() const {
    QString s = QStringLiteral("active %1 scans %2 chosen %3 shown %4 frames %5")
                    .arg(host_.documents.Active()->Serial)
                    .arg(host_.scans)
                    .arg(chosen_)
                    .arg(messages_.Shown.size())
                    .arg(editor::SharedImage()->Images().GetCount());
    for (int i = 0; i < host_.documents.Count(); ++i)
      s += QStringLiteral(" | %1 %2 %3").arg(host_.documents.At(i)->FileName).arg(host_.documents.At(i)->History.Count())
               .arg(host_.documents.At(i)->Modified);
    return s;
  }

  QString first_, corrupt_;
  int chosen_ = 0;
};

const QString kBusy = QStringLiteral("com.larkspur.Movinta.Error.Busy");

TEST_F(WrongMomentTest, WhileADialogIsUpNoMemberSwitchesChangesOrScansAndTheBoxesStack) {
  const std::vector<Call> calls = Members();
  ASSERT_GT(calls.size(), 100u);
  const QString before = State();
  host_.busy = true;
  for (const QString& text : {first_, corrupt_}) {
    const QMap<QString, QString> answers = CallAll(calls, text);
    EXPECT_EQ(State(), before) << "called with " << text.toStdString();
    for (const char* refused : {"Application.IsFileOpen", "Application.LoadThumbnails", "Application.CurrentFolder=",
                                "Application.IsImageAnimation", "Application.GetImageSize", "Application.DocumentIndex=",
                                "ActiveDocument.AddFrame", "ActiveDocument.StopAnimation", "MenuItem.Execute"})
      EXPECT_EQ(answers.value(QLatin1String(refused)), kBusy) << refused;
    for (const char* answered : {"Application.MessageBox", "Application.InputBox", "ActiveDocument.FileName", "Frame.Delay"})
      EXPECT_EQ(answers.value(QLatin1String(answered)), QString()) << answered << ": interactive members and reading go on";
  }
  EXPECT_EQ(host_.boxes, 2);

  host_.busy = false;
  host_.working = true;
  const QMap<QString, QString> answers = CallAll(calls, first_);
  EXPECT_EQ(State(), before);
  for (auto it = answers.cbegin(); it != answers.cend(); ++it) {
    if (it.key().startsWith(QLatin1String("Application.")) || it.key().startsWith(QLatin1String("MenuItem."))) continue;
    EXPECT_EQ(it.value(), kBusy) << it.key().toStdString() << ": every member of a document waits for long work";
  }
  EXPECT_EQ(answers.value(QStringLiteral("Application.ActiveDocument")), kBusy);
  EXPECT_EQ(answers.value(QStringLiteral("Application.VersionText")), QString());
}

TEST_F(WrongMomentTest, WhileTheAnimationPlaysOnlyStoppingIsTaken) {
  const QString app = QStringLiteral("/com/larkspur/Movinta/Application");
  ASSERT_EQ(Wait(Send(kActive, kActiveIface, QStringLiteral("PlayAnimation"), {})).errorName(), QString());
  EXPECT_EQ(Wait(Send(app, QStringLiteral("com.larkspur.Movinta.Application"), QStringLiteral("IsFileOpen"), {first_})).errorName(),
            kBusy);
  EXPECT_EQ(SetProperty(kActive, kActiveIface, QStringLiteral("SelectedFrame"), 1).errorName(), kBusy);
  EXPECT_EQ(GetProperty(kActive, kActiveIface, QStringLiteral("FileName")).errorName(), QString());
  EXPECT_EQ(Wait(Send(kActive, kActiveIface, QStringLiteral("StopAnimation"), {})).errorName(), QString());
  EXPECT_FALSE(host_.playing);
  EXPECT_EQ(Wait(Send(app, QStringLiteral("com.larkspur.Movinta.Application"), QStringLiteral("IsFileOpen"), {first_})).errorName(),
            QString());
  EXPECT_EQ(host_.documents.Active()->FileName, first_) << "taken once playback stopped";
}

}  // namespace
}  // namespace movinta::automation

#include "dispatch_test.moc"
