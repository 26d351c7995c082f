// The running editor driven over the session bus by an independent client, gdbus, the way a
// script would: the editor is started offscreen for each test and never left running.
#include "editor/model/working_image.h"
#include "tests/editor/gif_fixture.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace movinta {
namespace {

using editor::testing::MakeAnimation;
using editor::testing::WriteAnimation;

const QString kRoot = QStringLiteral("/com/larkspur/Movinta");
const QString kApp = kRoot + QStringLiteral("/Application");
const QString kActive = kRoot + QStringLiteral("/ActiveDocument");
const QString kFrames = kActive + QStringLiteral("/Frames");
const QString kDocuments = kRoot + QStringLiteral("/Documents");

struct Reply {
  bool Ok = false;
  QString Out;    // gdbus's text form of the reply
  QString Error;  // "name: message" of an error reply
};

Reply Gdbus(const QStringList& arguments, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
  QProcess p;
  p.setProcessEnvironment(env);
  p.start(QStringLiteral("gdbus"), arguments);
  p.waitForFinished(120000);
  Reply r;
  r.Ok = p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
  r.Out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
  r.Error = QString::fromUtf8(p.readAllStandardError()).trimmed().remove(QStringLiteral("Error: GDBus.Error:"));
  return r;
}

QStringList Paths(const QString& text) {
  QStringList out;
  for (const auto& m : QRegularExpression(QStringLiteral("'(/[^']*)'")).globalMatch(text)) out << m.captured(1);
  return out;
}

// One editor, started with --automation on the test's session bus.
class Editor {
public:
  explicit Editor(const QString& home) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home);
    env.insert(QStringLiteral("TMPDIR"), home);
    process_.setProcessEnvironment(env);
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral(MOVINTA_EDITOR), {QStringLiteral("--automation")});
    process_.waitForStarted();
    name_ = QStringLiteral("com.larkspur.Movinta.instance%1").arg(process_.processId());
    ready_ = Gdbus({"wait", "--session", "--timeout", "120", name_}).Ok;
  }
  ~Editor() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.kill();
    process_.waitForFinished(30000);
  }
  bool Ready() const { return ready_; }
  bool Ended(int ms) { return process_.state() == QProcess::NotRunning || process_.waitForFinished(ms); }

  Reply Call(const QString& path, const QString& method, const QStringList& args = {}) {
    QStringList a = {"call", "--session", "--timeout", "60", "--dest", name_, "--object-path", path, "--method", method};
    return Gdbus(a + args);
  }
  Reply App(const QString& member, const QStringList& args = {}) {
    return Call(kApp, QStringLiteral("com.larkspur.Movinta.Application.") + member, args);
  }
  Reply Active(const QString& member, const QStringList& args = {}) {
    return Call(kActive, QStringLiteral("com.larkspur.Movinta.ActiveDocument.") + member, args);
  }
  Reply Get(const QString& path, const QString& iface, const QString& property) {
    return Call(path, QStringLiteral("org.freedesktop.DBus.Properties.Get"),
                {QStringLiteral("com.larkspur.Movinta.") + iface, property});
  }
  Reply Set(const QString& path, const QString& iface, const QString& property, const QString& value) {
    return Call(path, QStringLiteral("org.freedesktop.DBus.Properties.Set"),
                {QStringLiteral("com.larkspur.Movinta.") + iface, property, value});
  }

private:
  QProcess process_;
  QString name_;
  bool ready_ = false;
};

class BusTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) GTEST_SKIP() << "no session bus";
    QDir().mkpath(Path(QStringLiteral("files")));
  }
  QString Path(const QString& name) const { return home_.path() + QLatin1Char('/') + name; }
  QString Gif(const QString& name, int frames) {
    const QString path = Path(QStringLiteral("files/") + name);
    WriteAnimation(*MakeAnimation(frames), path);
    return path;
  }
  // A picture in gdbus's text form of a byte array.
  static QByteArray Png(int width, int height) { return editor::testing::RedPngBytes(width, height); }
  static QString Bytes(const QByteArray& bytes) {
    QStringList items;
    for (char c : bytes) items << QStringLiteral("0x%1").arg(static_cast<unsigned char>(c), 2, 16, QLatin1Char('0'));
    return QStringLiteral("[byte ") + items.join(QStringLiteral(", ")) + QLatin1Char(']');
  }

  QTemporaryDir home_;
};

TEST_F(BusTest, AScriptOpensChangesSavesAndReadsBackAnAnimation) {
  const QString a = Gif(QStringLiteral("a.gif"), 3);
  const QString b = Gif(QStringLiteral("b.gif"), 2);
  Editor editor(home_.path());
  ASSERT_TRUE(editor.Ready());

  EXPECT_EQ(editor.Get(kApp, "Application", "ActiveDocument").Out, QStringLiteral("(<objectpath '/'>,)"));
  // Before the first document the sub-menus that need one are off, and an item that sits in two
  // menus is the item at the path asked for.
  auto menuAt = [&editor](const char* path) { return Paths(editor.App("Menu", {QString::fromUtf8(path)}).Out).value(0); };
  for (const char* path : {"File|Save As", "File|Export"})
    EXPECT_EQ(editor.Get(menuAt(path), "MenuItem", "Enabled").Out, QStringLiteral("(<false>,)")) << path;
  const QString flashSaved = menuAt("File|Save As|Save As Macromedia Flash (.swf)...");
  const QString flashExported = menuAt("File|Export|Save As Macromedia Flash (.swf)...");
  EXPECT_NE(flashSaved, flashExported);
  EXPECT_EQ(editor.Get(flashSaved, "MenuItem", "MenuIndex").Out, QStringLiteral("(<1>,)"));
  EXPECT_EQ(editor.Get(flashExported, "MenuItem", "MenuIndex").Out, QStringLiteral("(<3>,)"));
  EXPECT_EQ(editor.App("OpenFile", {a}).Out, QStringLiteral("(true,)"));
  EXPECT_EQ(editor.Get(kDocuments, "Documents", "Count").Out, QStringLiteral("(<1>,)"));
  EXPECT_EQ(editor.Get(kActive, "ActiveDocument", "FileName").Out, QStringLiteral("(<'%1'>,)").arg(a));
  const QStringList frames = Paths(editor.Call(kFrames, "com.larkspur.Movinta.Frames.Items").Out);
  ASSERT_EQ(frames.size(), 3);
  EXPECT_EQ(Paths(editor.Call(kFrames, "com.larkspur.Movinta.Frames.Frame", {"1"}).Out), QStringList{frames[1]});
  EXPECT_EQ(editor.Call(kFrames, "com.larkspur.Movinta.Frames.Frame", {"3"}).Out, QStringLiteral("(objectpath '/',)"));

  // Frame edits, and values a frame cannot hold.
  EXPECT_TRUE(editor.Set(frames[1], "Frame", "Delay", "<int32 55>").Ok);
  EXPECT_EQ(editor.Get(frames[1], "Frame", "Delay").Out, QStringLiteral("(<55>,)"));
  EXPECT_TRUE(editor.Set(frames[2], "Frame", "Disposal", "<int32 2>").Ok);
  const Reply left = editor.Set(frames[1], "Frame", "Left", "<int32 70000>");
  EXPECT_FALSE(left.Ok);
  EXPECT_TRUE(left.Error.startsWith(QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs: "))) << left.Error.toStdString();
  EXPECT_TRUE(editor.Set(frames[1], "Frame", "Left", "<'x'>").Error.startsWith("org.freedesktop.DBus.Error.InvalidArgs"));
  EXPECT_TRUE(editor.Set(frames[1], "Frame", "Empty", "<true>").Error.startsWith("org.freedesktop.DBus.Error.PropertyReadOnly"));
  EXPECT_TRUE(editor.Set(kActive, "ActiveDocument", "NSLoop", "<int32 3>").Ok);
  EXPECT_EQ(editor.Get(kActive, "ActiveDocument", "CanUndo").Out, QStringLiteral("(<true>,)"));
  EXPECT_TRUE(editor.Active("CurrentBitmap").Out.contains(QStringLiteral("0x42, 0x4d")));

  // Saved to its file and exported to another; both read back as changed.
  EXPECT_EQ(editor.Active("Save").Out, QStringLiteral("(true,)"));
  const QString exported = Path(QStringLiteral("files/export.gif"));
  EXPECT_EQ(editor.Active("SaveDocToTempFile", {exported}).Out, QStringLiteral("(true,)"));
  for (const QString& file : {a, exported}) {
    auto image = editor::ReadGifFile(file);
    ASSERT_TRUE(image) << file.toStdString();
    EXPECT_EQ(editor::testing::Delays(*image), (std::vector<int>{10, 55, 30}));
    EXPECT_EQ(image->Images().GetFrame(2)->GraphicControlExtension()->GetDisposal(), 2);
    EXPECT_EQ(editor::GetLoopCount(*image), 3);
  }

  // Deleted frames, undone deletions, switched and closed documents leave stale paths behind.
  editor.Active("DeleteFrame", {"2"});
  EXPECT_TRUE(editor.Get(frames[2], "Frame", "Delay").Error.startsWith("org.freedesktop.DBus.Error.UnknownObject"));
  EXPECT_TRUE(editor.Active("DeleteFrame", {"7"}).Error.startsWith("org.freedesktop.DBus.Error.InvalidArgs"));
  editor.Active("Undo");
  EXPECT_EQ(editor.Get(kFrames, "Frames", "Count").Out, QStringLiteral("(<3>,)"));
  EXPECT_FALSE(editor.Get(frames[2], "Frame", "Delay").Ok);
  EXPECT_EQ(editor.App("OpenFile", {b}).Out, QStringLiteral("(true,)"));
  const Reply stale = editor.Get(frames[0], "Frame", "Delay");
  EXPECT_TRUE(stale.Error.startsWith(
      QStringLiteral("org.freedesktop.DBus.Error.UnknownObject: No frame of the active document is named %1:").arg(frames[0])))
      << stale.Error.toStdString();
  // A name guessed from a frame's place says where the names come from.
  const Reply guessed = editor.Call(kFrames + QStringLiteral("/f0"), "org.freedesktop.DBus.Introspectable.Introspect");
  EXPECT_TRUE(guessed.Error.startsWith(QStringLiteral("org.freedesktop.DBus.Error.UnknownObject: ")));
  EXPECT_TRUE(guessed.Error.contains(QStringLiteral("Frames.Frame(index) and Frames.Items name the frames")))
      << guessed.Error.toStdString();
  const QStringList documents = Paths(editor.Call(kDocuments, "com.larkspur.Movinta.Documents.Items").Out);
  ASSERT_EQ(documents.size(), 2);
  EXPECT_EQ(editor.Get(documents[0], "DocumentCache", "FileName").Out, QStringLiteral("(<'%1'>,)").arg(a));
  EXPECT_EQ(editor.App("TabIndexForFile", {b}).Out, QStringLiteral("(1,)"));
  EXPECT_EQ(editor.Active("Close", {"false"}).Out, QStringLiteral("(true,)"));
  EXPECT_TRUE(editor.Get(documents[1], "DocumentCache", "FileName").Error.startsWith("org.freedesktop.DBus.Error.UnknownObject"));
  EXPECT_EQ(editor.Get(kDocuments, "Documents", "Count").Out, QStringLiteral("(<1>,)"));

  // Pictures go in as any format Qt reads and come out as BMP files; Save All writes them.
  ASSERT_EQ(editor.Get(kActive, "ActiveDocument", "FileName").Out, QStringLiteral("(<'%1'>,)").arg(a));
  const QString png = Bytes(Png(4, 3));
  EXPECT_EQ(editor.Active("AddFrameNoPrompts", {png, "40"}).Out, QStringLiteral("(true,)"));
  const QStringList now = Paths(editor.Call(kFrames, "com.larkspur.Movinta.Frames.Items").Out);
  ASSERT_EQ(now.size(), 4);
  EXPECT_EQ(editor.Call(now[0], "com.larkspur.Movinta.Frame.SetBitmap", {Bytes(Png(2, 2))}).Out, QStringLiteral("(true,)"));
  EXPECT_EQ(editor.Get(now[0], "Frame", "Width").Out, QStringLiteral("(<2>,)"));
  EXPECT_TRUE(editor.Call(now[3], "com.larkspur.Movinta.Frame.GetBitmap").Out.contains(QStringLiteral("0x42, 0x4d")));
  EXPECT_EQ(editor.App("SaveAll").Out, QStringLiteral("(true,)"));
  auto saved = editor::ReadGifFile(a);
  ASSERT_TRUE(saved);
  EXPECT_EQ(editor::testing::Delays(*saved), (std::vector<int>{40, 10, 55, 30})) << "added at the selected frame";

  // Menus, texts and waiting.
  EXPECT_EQ(editor.App("MenuExists", {"File|Open..."}).Out, QStringLiteral("(true,)"));
  const QString menu = editor.App("Menu", {"File|Open..."}).Out;
  EXPECT_TRUE(menu.startsWith(QStringLiteral("(objectpath '/com/larkspur/Movinta/Menus/m"))) << menu.toStdString();
  EXPECT_EQ(editor.App("Menu", {"File|Open..."}).Out, menu) << "one path per item";
  EXPECT_EQ(editor.App("Menu", {"Edit|Nothing"}).Error,
            QStringLiteral("com.larkspur.Movinta.Error.NoSuchMenu: MenuEdit|Nothingdoes not exist!"));
  EXPECT_EQ(editor.App("ExtractFilePath", {"b.gif"}).Out, QStringLiteral("('',)"));
  EXPECT_TRUE(editor.App("Wait", {"int32 -1"}).Error.startsWith("org.freedesktop.DBus.Error.InvalidArgs"));
  EXPECT_TRUE(editor.App("Wait", {"50"}).Ok);
  EXPECT_EQ(editor.App("GetImageSize", {b}).Out, QStringLiteral("(true, 3, 4)"));
  EXPECT_EQ(editor.App("GetImageSize", {Path("nothing.png")}).Out, QStringLiteral("(false, 0, 0)"));
  EXPECT_TRUE(editor.App("NoSuchMember").Error.startsWith("org.freedesktop.DBus.Error.UnknownMethod"));
  EXPECT_TRUE(editor.Call(kRoot + "/Nowhere", "org.freedesktop.DBus.Properties.GetAll", {"x"}).Error.startsWith(
      "org.freedesktop.DBus.Error.UnknownObject"));

  // The type library, as introspection: members with their dispatch ids, and the children.
  const QString xml = editor.Call(kApp, "org.freedesktop.DBus.Introspectable.Introspect").Out;
  EXPECT_TRUE(xml.contains(QStringLiteral("<property name=\"hWnd\" type=\"t\" access=\"read\">")));
  EXPECT_TRUE(xml.contains(QStringLiteral("<annotation name=\"com.larkspur.Movinta.DispId\" value=\"52\"/>")));
  EXPECT_TRUE(xml.contains(QStringLiteral("<arg name=\"nWidth\" type=\"i\" direction=\"out\"/>")));
  EXPECT_FALSE(xml.contains(QStringLiteral("PropertiesChanged"))) << "a signal never sent is not offered";
  EXPECT_TRUE(editor.Call(kDocuments, "org.freedesktop.DBus.Introspectable.Introspect").Out.contains(
      QStringLiteral("<node name=\"%1\"/>").arg(documents[0].section('/', -1))));

  EXPECT_TRUE(editor.Set(kActive, "ActiveDocument", "Modified", "<false>").Ok);
  EXPECT_TRUE(editor.App("Quit").Ok);
  EXPECT_TRUE(editor.Ended(30000)) << "Quit closes the editor";
}

TEST_F(BusTest, RegisteringWritesTheServiceThatTheBusStartsOnDemand) {
  const QString data = Path(QStringLiteral("data"));
  const QString service = data + QStringLiteral("/dbus-1/services/com.larkspur.Movinta.service");
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("XDG_DATA_HOME"), data);
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), home_.path());
  env.insert(QStringLiteral("TMPDIR"), home_.path());
  env.remove(QStringLiteral("DISPLAY"));
  env.remove(QStringLiteral("WAYLAND_DISPLAY"));
  env.remove(QStringLiteral("QT_QPA_PLATFORM"));
  auto run = [&env](const QString& program, const QStringList& args) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, args);
    if (!p.waitForFinished(180000)) p.kill();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  };

  ASSERT_EQ(run(QStringLiteral(MOVINTA_EDITOR), {QStringLiteral("--regserver")}), 0) << "no display is needed";
  EXPECT_EQ(QString::fromUtf8(editor::testing::FileBytes(service)),
            QStringLiteral("[D-BUS Service]\nName=com.larkspur.Movinta\nExec=%1 --automation\n")
                .arg(QFileInfo(QStringLiteral(MOVINTA_EDITOR)).absoluteFilePath()));

  // A bus of its own, which reads the service folder when it starts: asking for the name starts
  // the editor, which answers and then quits.
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  // The started editor is ended by Quit, or killed when it does not go, so none outlives the test.
  const QString script = QStringLiteral(
      "app='--dest com.larkspur.Movinta --object-path /com/larkspur/Movinta/Application'\n"
      "gdbus call --session --timeout 120 $app --method org.freedesktop.DBus.Properties.Get "
      "com.larkspur.Movinta.Application VersionText > '%1' || status=1\n"
      "pid=$(gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus "
      "--method org.freedesktop.DBus.GetConnectionUnixProcessID com.larkspur.Movinta | tr -dc 0-9)\n"
      "gdbus call --session $app --method com.larkspur.Movinta.Application.Quit || status=1\n"
      "for i in $(seq 300); do [ -n \"$pid\" ] && kill -0 \"$pid\" 2>/dev/null || break; sleep 0.1; done\n"
      "[ -n \"$pid\" ] && kill -0 \"$pid\" 2>/dev/null && { kill -9 \"$pid\"; status=1; }\n"
      "exit ${status:-0}\n")
                             .arg(Path(QStringLiteral("answer")));
  EXPECT_EQ(run(QStringLiteral("dbus-run-session"), {"--", "sh", "-c", script}), 0);
  EXPECT_EQ(QString::fromUtf8(editor::testing::FileBytes(Path(QStringLiteral("answer")))).trimmed(),
            QStringLiteral("(<'4.0'>,)"));

  ASSERT_EQ(run(QStringLiteral(MOVINTA_EDITOR), {QStringLiteral("--unregserver")}), 0);
  EXPECT_FALSE(QFile::exists(service));
  EXPECT_EQ(run(QStringLiteral(MOVINTA_EDITOR), {QStringLiteral("--unregserver")}), 0) << "nothing left to remove";
}

}  // namespace
}  // namespace movinta
