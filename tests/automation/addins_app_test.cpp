// Add-ins in the editor as a user meets them: put into an add-in folder, found at start-up, their
// item chosen on an open document, and listed by Plugin Info.
#include "automation/automation_server.h"
#include "automation/wiring/editor_automation.h"
#include "editor/forms/plugin_explorer.h"
#include "editor/forms/progress_window.h"
#include "tests/editor_app/app_fixture.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>

#include "controls/listboxhrz.h"

namespace movinta::editor {
namespace {

// The texts the progress window shows when it comes up and whenever it is painted.
class ProgressSpy : public QObject {
public:
  ProgressSpy() { qApp->installEventFilter(this); }
  ~ProgressSpy() override { qApp->removeEventFilter(this); }
  bool eventFilter(QObject* object, QEvent* event) override {
    auto* progress = qobject_cast<forms::TfrmProgress*>(object);
    if (progress && (event->type() == QEvent::Show || event->type() == QEvent::Paint) &&
        (Texts.isEmpty() || Texts.back() != progress->lblFileName->text()))
      Texts << progress->lblFileName->text();
    return false;
  }
  QStringList Texts;
};

class AddInAppTest : public testing::AppTest {
protected:
  void SetUp() override {
    folder_ = Path(QStringLiteral("addins"));
    ASSERT_TRUE(QDir().mkpath(folder_));
    qputenv("MOVINTA6_ADDIN_PATH", folder_.toLocal8Bit());
    qputenv("XDG_DATA_HOME", Path(QStringLiteral("data")).toLocal8Bit());
    forms::AddIns().Clear();
  }
  void TearDown() override {
    qunsetenv("MOVINTA6_ADDIN_PATH");
    qunsetenv("XDG_DATA_HOME");
    AppTest::TearDown();
  }
  void Put(const char* name) {
    ASSERT_TRUE(QFile::copy(QStringLiteral(MOVINTA_ADDIN_DIR "/libaddin_%1.so").arg(QLatin1String(name)),
                            folder_ + QStringLiteral("/libaddin_%1.so").arg(QLatin1String(name))));
  }
  // The editor as the program starts it: the automation server made before the window shows.
  TfrmMain& Start() {
    TfrmMain& main = OpenMain({}, false);
    server_ = std::make_unique<wiring::TEditorAutomation>(main);
    main.show();
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    return main;
  }

  QString folder_;
  std::unique_ptr<wiring::TEditorAutomation> server_;
};

TEST_F(AddInAppTest, AnAddInPutIntoTheFolderLoadsAtStartUpItsItemWorksAndPluginInfoListsIt) {
  Put("good");
  Put("title_fails");
  ProgressSpy progress;
  TfrmMain& main = Start();
  ASSERT_FALSE(progress.Texts.isEmpty());
  EXPECT_EQ(progress.Texts.front(), QStringLiteral("Scanning for Movinta Plug-ins..."));
  EXPECT_TRUE(main.isEnabled()) << "enabled again after loading";
  QMenu* plugins = main.PluginsMenu();
  EXPECT_TRUE(plugins->menuAction()->isVisible());
  EXPECT_TRUE(main.mniHelPluginInfo->isVisible());
  ASSERT_EQ(plugins->actions().size(), 1);
  QAction* item = plugins->actions().front();
  EXPECT_EQ(item->text(), QStringLiteral("Set All &Delays"));
  EXPECT_FALSE(item->isEnabled()) << "no document is open";

  main.OpenFileByType(Gif(QStringLiteral("a.gif"), 3));
  ASSERT_NE(main.ActiveDocument(), nullptr);
  EXPECT_TRUE(item->isEnabled()) << "the main window enables it with the document";
  item->trigger();
  EXPECT_EQ(testing::Delays(*SharedImage()), (std::vector<int>{50, 50, 50}));
  EXPECT_TRUE(main.ActiveDocument()->Modified);

  int shown = 0;
  main.RunDialog = [&](QDialog& dialog) {
    auto& explorer = static_cast<forms::TfrmPlugInExplorer&>(dialog);
    explorer.show();
    ++shown;
    EXPECT_EQ(explorer.windowTitle(), QStringLiteral("Plugin Information"));
    EXPECT_EQ(explorer.lbPlugIns->count(), 1) << "the add-in whose title fails is not listed";
    EXPECT_EQ(explorer.lbPlugIns->currentRow(), 0);
    EXPECT_EQ(explorer.txtTitle->text(), QStringLiteral("Delay Setter"));
    EXPECT_EQ(explorer.txtVersion->text(), QStringLiteral("1.2"));
    EXPECT_EQ(explorer.mmoInfo->toPlainText(), QStringLiteral("Sets the delay of every frame to half a second."));
    explorer.hide();
    return 1;
  };
  main.mniHelPluginInfoClick();
  EXPECT_EQ(shown, 1);
  main.ActiveDocument()->Modified = false;
}

TEST_F(AddInAppTest, WithoutAddInsThePlugInsMenuAndPluginInfoStayHidden) {
  Put("other_interface");
  ProgressSpy progress;
  TfrmMain& main = Start();
  EXPECT_EQ(progress.Texts, QStringList({"Scanning for Movinta Plug-ins..."}));
  EXPECT_FALSE(main.PluginsMenu()->menuAction()->isVisible());
  EXPECT_FALSE(main.mniHelPluginInfo->isVisible());
  EXPECT_EQ(forms::AddIns().Count(), 0);
  EXPECT_TRUE(main.isEnabled());
}

}  // namespace
}  // namespace movinta::editor
