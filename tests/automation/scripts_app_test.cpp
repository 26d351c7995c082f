// Scripts that arrive while the editor waits for the user: a bus call that would switch documents,
// sent from a timer while a question or a save dialog of a script's own call is up.
#include "automation/automation_server.h"
#include "automation/wiring/editor_automation.h"
#include "editor/forms/edit_dialogs_qt.h"
#include "tests/editor_app/app_fixture.h"

#include <QBuffer>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QMenuBar>
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
    server_ = std::make_unique<wiring::TEditorAutomation>(main);
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

  std::unique_ptr<wiring::TEditorAutomation> server_;
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

const QString kMenuIface = QStringLiteral("com.larkspur.Movinta.MenuItem");

// Every item of the main menu by the path scripts write, depth first.
void MenuPaths(const QList<QAction*>& items, const QString& prefix, QStringList& out) {
  for (QAction* item : items) {
    if (item->isSeparator() || item->text().isEmpty()) continue;
    const QString path = prefix + QString(item->text()).remove(QLatin1Char('&'));
    out << path;
    if (item->menu()) MenuPaths(item->menu()->actions(), path + QLatin1Char('|'), out);
  }
}

// While an animation plays a script may choose exactly the items it reads as enabled, as the
// user may: Pause Animation among them.
TEST_F(ScriptsAppTest, WhileTheAnimationPlaysEveryMenuItemExecutesExactlyWhenItReadsEnabled) {
  main_->RunDialog = [](QDialog&) { return int(QDialog::Rejected); };
  main_->ChooseOpenFiles = [](const QString&, const QString&) { return QStringList(); };
  // The items that open a window of their own (a folder to browse) are answered with Cancel.
  QTimer cancel;
  cancel.setInterval(5);
  QObject::connect(&cancel, &QTimer::timeout, [] {
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) dialog->reject();
  });
  cancel.start();
  // Animations that play until stopped, so that none ends between a read and a call.
  main_->FileCloseAllExecute();
  for (const char* name : {"a.gif", "b.gif"}) {
    auto endless = testing::MakeAnimation(3);
    AddLoopExtension(*endless, 0, 0);
    testing::WriteAnimation(*endless, Path(QString::fromLatin1(name)));
    ASSERT_NE(main_->OpenFile(Path(QString::fromLatin1(name))), nullptr);
  }
  QStringList paths;
  MenuPaths(main_->menuBar()->actions(), QString(), paths);
  ASSERT_GT(paths.size(), 60);
  int executed = 0, refused = 0;
  for (const QString& path : std::as_const(paths)) {
    SCOPED_TRACE(path.toStdString());
    if (!main_->Player()->Playback().Playing()) {
      ASSERT_TRUE(main_->Player()->Playback().Play());
    }
    const QDBusMessage item = Wait(Send(kApp, kAppIface, QStringLiteral("Menu"), {path}));
    ASSERT_EQ(item.type(), QDBusMessage::ReplyMessage) << item.errorMessage().toStdString();
    const QString object = item.arguments().value(0).value<QDBusObjectPath>().path();
    const QDBusMessage enabled = Wait(Send(object, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                                           {kMenuIface, QStringLiteral("Enabled")}));
    ASSERT_EQ(enabled.type(), QDBusMessage::ReplyMessage);
    const bool on = enabled.arguments().value(0).value<QDBusVariant>().variant().toBool();
    const QDBusMessage done = Wait(Send(object, kMenuIface, QStringLiteral("Execute"), {}));
    if (on) {
      EXPECT_EQ(done.type(), QDBusMessage::ReplyMessage) << done.errorMessage().toStdString();
      ++executed;
    } else {
      EXPECT_EQ(done.errorName(), kBusy);
      EXPECT_EQ(done.errorMessage(), QStringLiteral("The animation is playing; stop it first"));
      ++refused;
    }
  }
  EXPECT_GT(executed, 0);
  EXPECT_GT(refused, 0);
  main_->Player()->Playback().Stop(true);
  for (int i = 0; i < main_->Documents().Count(); ++i) main_->Documents().At(i)->Modified = false;
}

// What a frame shows: its colours, with its transparent pixels cleared.
QImage Shown(gif::TGIFSubImage& frame) {
  QImage out(frame.GetWidth(), frame.GetHeight(), QImage::Format_ARGB32);
  const gif::TGIFGraphicControlExtension* gce = frame.GraphicControlExtension();
  const int hidden = gce && gce->GetTransparent() ? gce->GetTransparentColorIndex() : -1;
  for (int y = 0; y < frame.GetHeight(); ++y)
    for (int x = 0; x < frame.GetWidth(); ++x) {
      const int index = frame.GetPixel(x, y);
      const gif::TColor c = frame.GetActiveColorMap().GetColor(index);
      out.setPixel(x, y, index == hidden ? 0 : qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
    }
  return out;
}

// A PNG with alpha goes in over the bus as it does from the Frame menu: laid over the backdrop.
TEST_F(ScriptsAppTest, APictureWithAlphaFromAScriptBecomesTheFrameTheMenusMakeOfIt) {
  // As large as the animation's screen, which the picture leaves as it is.
  QImage picture(4, 3, QImage::Format_ARGB32);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) picture.setPixel(x, y, x < 1 ? qRgba(0, 0, 0, 0) : x < 3 ? qRgb(200, 30, 30) : qRgba(30, 30, 200, 128));
  const QString file = Path(QStringLiteral("alpha.png"));
  ASSERT_TRUE(picture.save(file, "PNG"));
  QByteArray png;
  {
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
  }
  // The menus' road: Frame > Add Frame... with the file chosen.
  main_->ChooseOpenFiles = [&](const QString&, const QString&) { return QStringList{file}; };
  main_->ShowFrame(0);
  const QDBusMessage add = Wait(Send(kApp, kAppIface, QStringLiteral("Menu"), {QStringLiteral("Frame|Add Frame...")}));
  ASSERT_EQ(add.type(), QDBusMessage::ReplyMessage);
  const QString addItem = add.arguments().value(0).value<QDBusObjectPath>().path();
  ASSERT_EQ(Wait(Send(addItem, kMenuIface, QStringLiteral("Execute"), {})).type(), QDBusMessage::ReplyMessage);
  const int count = SharedImage()->Images().GetCount();
  ASSERT_EQ(count, 3);
  const QImage byMenu = Shown(*SharedImage()->Images().GetFrame(main_->FrameStrip()->SelectedFrame()));
  ASSERT_EQ(byMenu.size(), QSize(4, 3));
  EXPECT_EQ(qAlpha(byMenu.pixel(0, 0)), 255) << "the menus lay the picture over the backdrop";

  // A script's roads: a new frame, and a frame's picture replaced.
  const QDBusMessage added = Wait(Send(kActive, kActiveIface, QStringLiteral("AddFrameNoPrompts"), {png, 10}));
  ASSERT_EQ(added.type(), QDBusMessage::ReplyMessage) << added.errorMessage().toStdString();
  ASSERT_EQ(SharedImage()->Images().GetCount(), count + 1);
  const QImage byScript = Shown(*SharedImage()->Images().GetFrame(main_->FrameStrip()->SelectedFrame()));
  EXPECT_EQ(byScript, byMenu);
  const QDBusMessage inserted = Wait(Send(kActive, kActiveIface, QStringLiteral("AddFrame"), {png, 10}));
  ASSERT_EQ(inserted.type(), QDBusMessage::ReplyMessage) << inserted.errorMessage().toStdString();
  const int at = inserted.arguments().value(0).toInt();
  ASSERT_GE(at, 0);
  EXPECT_EQ(Shown(*SharedImage()->Images().GetFrame(at)), byMenu);
  const QDBusMessage frame = Wait(Send(kActive + QStringLiteral("/Frames"), QStringLiteral("com.larkspur.Movinta.Frames"),
                                       QStringLiteral("Frame"), {0}));
  const QString framePath = frame.arguments().value(0).value<QDBusObjectPath>().path();
  const QDBusMessage set = Wait(Send(framePath, QStringLiteral("com.larkspur.Movinta.Frame"), QStringLiteral("SetBitmap"), {png}));
  ASSERT_EQ(set.type(), QDBusMessage::ReplyMessage) << set.errorMessage().toStdString();
  EXPECT_EQ(Shown(*SharedImage()->Images().GetFrame(0)), byMenu);
  for (int i = 0; i < main_->Documents().Count(); ++i) main_->Documents().At(i)->Modified = false;
}

}  // namespace
}  // namespace movinta::editor
