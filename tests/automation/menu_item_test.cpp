// Menu items for add-ins and the loading of add-ins, in process over a stand-in host and the test
// add-ins built beside the tests.
#include "automation/addins.h"
#include "editor/forms/plugin_explorer.h"
#include "fake_host.h"
#include "tests/editor/gif_fixture.h"
#include "tests/editor/test_support.h"

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>

#include <QThread>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#include <functional>

namespace movinta::automation {
namespace {

using editor::forms::AddIns;

// A menu bar like the editor's: "&File" with two items and an empty, hidden "&Plug-ins".
class MenuItemTest : public ::testing::Test {
protected:
  void SetUp() override {
    QMenu* file = bar_.addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("&Open..."));
    file->addAction(QStringLiteral("E&xit"));
    plugins_ = bar_.addMenu(QStringLiteral("&Plug-ins"));
    host_.menus = bar_.actions();
    AddIns().Clear();
    qputenv("XDG_DATA_HOME", (tmp_.Path + QStringLiteral("/data")).toLocal8Bit());
  }
  void TearDown() override {
    qunsetenv("XDG_DATA_HOME");
    while (host_.documents.Count() > 0) host_.documents.FreeChildWindow(host_.documents.At(0));
    editor::SharedImage(1);
  }
  editor::TMDIChild* Open(int frames) {
    const QString path = tmp_.Path + QStringLiteral("/a.gif");
    editor::testing::WriteAnimation(*editor::testing::MakeAnimation(frames), path);
    return host_.documents.OpenDocument(path);
  }
  std::shared_ptr<addin::IIntfMenuItem> Menu(const QString& path) { return app_->Menu(path); }
  template <typename F>
  void ExpectError(F f, const QString& text) {
    try {
      f();
      ADD_FAILURE() << "no error, expected " << text.toStdString();
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(QString::fromUtf8(e.what()), text);
    }
  }

  editor::testing::ScopedSettingsDir settings_;
  editor::testing::ScopedTmpDir tmp_;
  editor::testing::RecordingMessages messages_;
  testing::StripView view_;
  testing::FakeHost host_;
  std::shared_ptr<TGIFApplication> app_ = std::make_shared<TGIFApplication>(host_);
  QMenuBar bar_;
  QMenu* plugins_ = nullptr;
};

struct CountingHandler : addin::IIntfMenuHandler {
  bool Execute(int tag) override {
    tags.push_back(tag);
    if (tag == 13) throw std::runtime_error("thirteen is unlucky");
    return tag != 7;
  }
  std::vector<int> tags;
};

TEST_F(MenuItemTest, ItemsReadAndChangeTheirMenuEntry) {
  auto exit = Menu(QStringLiteral("File|Exit"));
  exit->SetCaption(QStringLiteral("&Quit"));
  EXPECT_TRUE(app_->MenuExists(QStringLiteral("File|Quit")));
  exit->SetChecked(true);
  EXPECT_TRUE(exit->Checked());
  exit->SetEnabled(false);
  EXPECT_FALSE(exit->Enabled());
  exit->SetHint(QStringLiteral("Leaves"));
  EXPECT_EQ(exit->Hint(), QStringLiteral("Leaves"));
  // Modifiers come in any order, and "^" stands for Ctrl; text that names no key gives none.
  const std::pair<const char*, const char*> shortcuts[] = {
      {"Ctrl+K", "Ctrl+K"},          {"Shift+Ctrl+K", "Ctrl+Shift+K"}, {"Alt+Ctrl+K", "Ctrl+Alt+K"},
      {"^C", "Ctrl+C"},              {"ctrl+shift+f5", "Ctrl+Shift+F5"}, {"F1", "F1"},
      {"Nonsense+Q", ""},            {"Ctrl+Ctrl+K", ""},             {"Ctrl+", ""},
      {"Ctrl+K, Ctrl+L", ""},
  };
  for (const auto& [typed, read] : shortcuts) {
    exit->SetShortCut(QString::fromLatin1(typed));
    EXPECT_EQ(exit->ShortCut(), QString::fromLatin1(read)) << typed;
  }
  exit->SetTag(42);
  EXPECT_EQ(exit->Tag(), 42);
  exit->SetVisible(false);
  EXPECT_FALSE(exit->Visible());
  EXPECT_EQ(exit->SubItemCount(), 0);
  EXPECT_FALSE(exit->DocDependent());

  auto file = Menu(QStringLiteral("File"));
  EXPECT_EQ(file->SubItemCount(), 2);
  EXPECT_EQ(file->SubItem(0)->Caption(), QStringLiteral("&Open..."));
  ExpectError([&] { file->SubItem(2); }, QStringLiteral("Menu index out of bounds"));
  ExpectError([&] { file->SubItem(-1); }, QStringLiteral("Menu index out of bounds"));
  ExpectError([&] { file->InsertSubItem(3); }, QStringLiteral("Menu index out of bounds"));
  EXPECT_EQ(file->SubItemCount(), 2) << "a refused insert makes nothing";
  ExpectError([&] { file->SetMenuHandler(std::make_shared<CountingHandler>()); },
              QStringLiteral("Cannot change pre-defined menu handlers"));

  // Moves among the siblings, kept within them.
  EXPECT_EQ(exit->MenuIndex(), 1);
  exit->SetMenuIndex(0);
  EXPECT_EQ(file->SubItem(0)->Caption(), QStringLiteral("&Quit"));
  exit->SetMenuIndex(99);
  EXPECT_EQ(exit->MenuIndex(), 1);
  EXPECT_EQ(Menu(QStringLiteral("Plug-ins"))->MenuIndex(), 1);

  // A deleted item answers as gone.
  delete static_cast<TIntfMenuItem&>(*exit).Item();
  try {
    exit->Caption();
    ADD_FAILURE() << "a deleted item still answers";
  } catch (const AutomationError& e) {
    EXPECT_STREQ(e.Kind(), kErrorUnknownObject);
  }
}

TEST_F(MenuItemTest, NewItemsFollowTheDocumentsAndCallTheirHandler) {
  auto plugins = Menu(QStringLiteral("Plug-ins"));
  auto second = plugins->AddSubItem();
  auto first = plugins->InsertSubItem(0);
  first->SetCaption(QStringLiteral("First"));
  second->SetCaption(QStringLiteral("Second"));
  EXPECT_EQ(plugins->SubItemCount(), 2);
  EXPECT_EQ(plugins_->actions().at(0)->text(), QStringLiteral("First"));
  EXPECT_TRUE(first->DocDependent());
  EXPECT_FALSE(first->Enabled()) << "disabled at once while no document is open";

  auto handler = std::make_shared<CountingHandler>();
  first->SetTag(5);
  first->SetMenuHandler(handler);
  first->Execute();
  EXPECT_TRUE(handler->tags.empty()) << "a disabled item cannot be chosen";
  first->SetDocDependent(false);
  EXPECT_TRUE(first->Enabled());
  first->Execute();
  EXPECT_EQ(handler->tags, std::vector<int>{5});

  // Failures reach the user, never the event loop.
  first->SetTag(7);
  first->Execute();
  EXPECT_TRUE(messages_.Saw(QStringLiteral("The add-in could not carry out \"First\".")));
  first->SetTag(13);
  first->Execute();
  EXPECT_TRUE(messages_.Saw(QStringLiteral("thirteen is unlucky")));

  // Sub-items of a new item make it a sub-menu; an item in a document opened later is enabled by
  // the main window's walk over the menus, which this host leaves to the test.
  Open(1);
  second->SetEnabled(true);
  auto nested = second->AddSubItem();
  EXPECT_TRUE(nested->Enabled()) << "made while a document is open";
  EXPECT_EQ(second->SubItemCount(), 1);
  EXPECT_TRUE(app_->MenuExists(QStringLiteral("Plug-ins|Second")));
  first->SetMenuHandler(nullptr);
  first->Execute();
  EXPECT_EQ(handler->tags.size(), 3u) << "without a handler nothing happens";
}

// ---- add-ins

QString Built(const char* name) { return QStringLiteral(MOVINTA_ADDIN_DIR "/libaddin_%1.so").arg(QLatin1String(name)); }

// A new folder for add-ins under path.
QString AddInFolder(const QString& path) {
  const QString folder = path + QStringLiteral("/addins");
  EXPECT_TRUE(QDir().mkpath(folder));
  return folder;
}

void Put(const char* name, const QString& folder, const QString& as) {
  ASSERT_TRUE(QFile::copy(Built(name), folder + QLatin1Char('/') + as)) << name;
}

TEST_F(MenuItemTest, AddInsLoadInNameOrderAndThoseThatFailAreSkipped) {
  const QString folder = AddInFolder(tmp_.Path);
  Put("cannot_load", folder, QStringLiteral("a_cannot_load.so"));
  Put("no_interface", folder, QStringLiteral("b_no_interface.so"));
  Put("title_fails", folder, QStringLiteral("c_title_fails.so"));
  Put("other_interface", folder, QStringLiteral("d_other.so"));
  Put("menus_fail", folder, QStringLiteral("e_menus_fail.so"));
  Put("good", folder, QStringLiteral("f_good.so"));
  QFile garbage(folder + QStringLiteral("/0_garbage.so"));
  ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
  garbage.write("\x7f" "ELF but not really a library");
  garbage.close();

  // A user's copy of an add-in goes before the one installed elsewhere: a file name loads once.
  const QString later = tmp_.Path + QStringLiteral("/installed");
  ASSERT_TRUE(QDir().mkpath(later));
  Put("quiet", later, QStringLiteral("f_good.so"));
  const QStringList files = FetchAddInClasses({folder, later, tmp_.Path + QStringLiteral("/missing"), folder});
  QStringList names;
  for (const QString& f : files) names << QFileInfo(f).fileName();
  EXPECT_EQ(names, QStringList({"a_cannot_load.so", "b_no_interface.so", "c_title_fails.so", "e_menus_fail.so",
                                "f_good.so"}))
      << "the interface id is read from the metadata; a folder named twice counts once";
  EXPECT_EQ(QFileInfo(files.back()).absolutePath(), QFileInfo(folder).canonicalFilePath());

  QStringList loading;
  EXPECT_EQ(LoadAddIns(files, app_, [&](const QString& title) { loading << title; }), 2);
  EXPECT_EQ(loading, QStringList({"Menuless", "Delay Setter"}));
  ASSERT_EQ(AddIns().Count(), 2);
  EXPECT_EQ(AddIns().Items(0).Title, QStringLiteral("Menuless")) << "kept though its menus failed";
  EXPECT_EQ(AddIns().Items(1).Title, QStringLiteral("Delay Setter"));
  EXPECT_EQ(AddIns().Items(1).Version, QStringLiteral("1.2"));
  EXPECT_EQ(AddIns().Items(1).Description, QStringLiteral("Sets the delay of every frame to half a second."));

  // The good add-in's item sets every frame's delay through the automation objects, with undo.
  ASSERT_EQ(plugins_->actions().size(), 1);
  QAction* item = plugins_->actions().front();
  EXPECT_EQ(item->text(), QStringLiteral("Set All &Delays"));
  editor::TMDIChild* document = Open(3);
  item->setEnabled(true);  // the main window's walk does this when a document opens
  item->trigger();
  const auto& frames = editor::SharedImage()->Images();
  for (int i = 0; i < frames.GetCount(); ++i)
    EXPECT_EQ(std::make_shared<TGIFFrame>(host_, frames.GetFrame(i)->Serial())->Delay(), 50) << i;
  EXPECT_TRUE(document->Modified);
  EXPECT_EQ(document->History.Count(), 3);
}

TEST_F(MenuItemTest, AnAddInThatThrowsFromItsConstructorOrItsOwnTimerOrWritesTooMuchIsSurvived) {
  const QString folder = AddInFolder(tmp_.Path);
  Put("constructor_throws", folder, QStringLiteral("a.so"));
  Put("long_texts", folder, QStringLiteral("b.so"));
  Put("timer_throws", folder, QStringLiteral("c.so"));
  Put("good", folder, QStringLiteral("d.so"));
  EXPECT_EQ(LoadAddIns(FetchAddInClasses({folder}), app_), 3) << "the one whose root object throws is skipped";
  ASSERT_EQ(AddIns().Count(), 3);
  EXPECT_EQ(AddIns().Items(0).Title.size(), 4000);
  EXPECT_EQ(AddIns().Items(0).Description.size(), 4000);
  EXPECT_EQ(AddIns().Items(2).Title, QStringLiteral("Delay Setter"));

  // The timer's call fails with no code of the add-in's to catch it: the user is told, nothing ends.
  for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
  EXPECT_EQ(messages_.Count(QStringLiteral("MenuNo|Such|Menudoes not exist!")), 1);
}

TEST_F(MenuItemTest, AnAddInThatEndedTheProgramWhileLoadingIsLeftOutUntilItsFileChanges) {
  struct Case {
    const char* Kind;
    std::function<bool(int)> Ended;
  };
  const Case cases[] = {
      {"static_throws", ::testing::KilledBySignal(SIGABRT)},
      {"exits_loading", ::testing::ExitedWithCode(3)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Kind);
    const QString folder = tmp_.Path + QStringLiteral("/") + QLatin1String(c.Kind);
    ASSERT_TRUE(QDir().mkpath(folder));
    Put(c.Kind, folder, QStringLiteral("hostile.so"));
    Put("quiet", folder, QStringLiteral("later.so"));
    const QStringList files = FetchAddInClasses({folder});
    ASSERT_EQ(files.size(), 2);
    // The first start ends inside the add-in, having named it on standard error.
    EXPECT_EXIT(LoadAddIns(files, app_), c.Ended, "loading the add-in .*hostile\\.so");

    // The next start leaves it out and says so, once.
    AddIns().Clear();
    EXPECT_EQ(LoadAddIns(files, app_), 1);
    EXPECT_EQ(AddIns().Items(0).Title, QStringLiteral("Quiet"));
    EXPECT_EQ(messages_.Count(QStringLiteral("The add-in hostile.so ended the program while it was loading.")), 1);
    EXPECT_EQ(LoadAddIns(files, app_), 1);
    EXPECT_EQ(messages_.Count(QStringLiteral("hostile.so")), 1) << "told once";

    // A new file is given its chance.
    ASSERT_TRUE(QFile::remove(files[0]));
    Put("quiet", folder, QStringLiteral("hostile.so"));
    AddIns().Clear();
    EXPECT_EQ(LoadAddIns(files, app_), 2);
    messages_.Shown.clear();
  }
}

// Another editor, in a process of its own, that has gone into the slow add-in's SetApplication
// and stays there while the gate file exists; its marker is there when this returns.
pid_t StartEditorInsideSlowAddIn(const QStringList& files, const std::shared_ptr<TGIFApplication>& app,
                                 const QString& gate) {
  EXPECT_TRUE(QFile(gate).open(QIODevice::WriteOnly));
  const pid_t editor = fork();
  if (editor == 0) {
    setenv("MOVINTA_TEST_SLOW_GATE", gate.toLocal8Bit().constData(), 1);
    _exit(LoadAddIns(files, app) == 1 ? 0 : 1);
  }
  EXPECT_GE(editor, 0);
  auto markers = [] { return QDir(AddInStateFolder()).entryList({QStringLiteral("addin-loading*")}, QDir::Files); };
  for (int i = 0; i < 3000 && markers().isEmpty(); ++i) QThread::msleep(10);
  EXPECT_FALSE(markers().isEmpty()) << "the other editor marks the add-in it is loading";
  return editor;
}

// A second editor started while the first is still inside a slow add-in sees that add-in's marker:
// its editor still runs, so nothing is blamed, now or at any later start.
TEST_F(MenuItemTest, AnAddInStillLoadingInAnotherRunningEditorIsNotBlamed) {
  const QString folder = AddInFolder(tmp_.Path);
  Put("slow", folder, QStringLiteral("libslow.so"));
  const QStringList files = FetchAddInClasses({folder});
  ASSERT_EQ(files.size(), 1);
  const QString gate = tmp_.Path + QStringLiteral("/gate");
  const pid_t first = StartEditorInsideSlowAddIn(files, app_, gate);
  ASSERT_GT(first, 0);

  EXPECT_EQ(LoadAddIns(files, app_), 1) << "the second editor loads it too";
  EXPECT_EQ(messages_.Count(QStringLiteral("ended the program")), 0);

  QFile::remove(gate);
  int status = -1;
  for (int i = 0; i < 6000 && waitpid(first, &status, WNOHANG) == 0; ++i) QThread::msleep(10);
  if (waitpid(first, &status, WNOHANG) == 0) {
    kill(first, SIGKILL);
    waitpid(first, &status, 0);
    ADD_FAILURE() << "the first editor did not finish loading";
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  AddIns().Clear();
  EXPECT_EQ(LoadAddIns(files, app_), 1) << "a later start still loads it";
  EXPECT_EQ(messages_.Count(QStringLiteral("ended the program")), 0);
}

// An editor that ends inside an add-in is gone from that moment, even while its parent (a file
// manager, a shell) has not yet collected it: the next start leaves the add-in out.
TEST_F(MenuItemTest, AnEditorThatEndedInsideAnAddInIsTakenAsEndedBeforeItsParentCollectsIt) {
  const QString folder = AddInFolder(tmp_.Path);
  Put("slow", folder, QStringLiteral("libslow.so"));
  const QStringList files = FetchAddInClasses({folder});
  ASSERT_EQ(files.size(), 1);
  const pid_t first = StartEditorInsideSlowAddIn(files, app_, tmp_.Path + QStringLiteral("/gate"));
  ASSERT_GT(first, 0);
  kill(first, SIGKILL);
  // Ended, not collected: the process is still listed until waitpid.
  siginfo_t info{};
  ASSERT_EQ(waitid(P_PID, static_cast<id_t>(first), &info, WEXITED | WNOWAIT), 0);

  EXPECT_EQ(LoadAddIns(files, app_), 0);
  EXPECT_EQ(messages_.Count(QStringLiteral("The add-in libslow.so ended the program while it was loading.")), 1);
  waitpid(first, nullptr, 0);
}

TEST_F(MenuItemTest, AtMostFiftyAddInsAreLoaded) {
  const QString folder = tmp_.Path + QStringLiteral("/many");
  ASSERT_TRUE(QDir().mkpath(folder));
  for (int i = 0; i < 60; ++i) Put("quiet", folder, QStringLiteral("quiet%1.so").arg(i, 2, 10, QLatin1Char('0')));
  const QStringList files = FetchAddInClasses({folder});
  ASSERT_EQ(files.size(), kMaxAddIns);
  EXPECT_TRUE(files.back().endsWith(QStringLiteral("quiet49.so")));
  EXPECT_EQ(LoadAddIns(files, app_), 50);
  EXPECT_EQ(AddIns().Count(), 50);
}

}  // namespace
}  // namespace movinta::automation
