// Values a script sends to the running editor: those a member cannot take are refused where they
// come in and change nothing; the others are taken as sent.
#include "automation/automation_server.h"
#include "automation/wiring/editor_automation.h"
#include "editor/model/working_image.h"
#include "editor/qt_services.h"
#include "editor/widget_helpers.h"
#include "tests/editor_app/app_fixture.h"

#include <QAbstractButton>
#include <QBuffer>
#include <QMessageBox>
#include <QTimer>

namespace movinta::editor {
namespace {

// The Qt environment is the one addins_app_test.cpp registers for this program.

class ScriptValuesTest : public testing::AppTest {
protected:
  void SetUp() override {
    TfrmMain& main = OpenMain({}, false);
    server_ = std::make_unique<wiring::TEditorAutomation>(main);
    main.show();
    QCoreApplication::processEvents();
    main.OpenFileByType(Gif(QStringLiteral("a.gif"), 3));
    ASSERT_NE(main.ActiveDocument(), nullptr);
    app_ = server_->Application();
  }
  void TearDown() override {
    if (main_ && main_->ActiveDocument()) main_->ActiveDocument()->Modified = false;
    app_.reset();
    server_.reset();
    AppTest::TearDown();
  }
  static QByteArray Png(int width, int height) { return testing::RedPngBytes(width, height); }
  // Everything a refused call could have touched: the animation as it would be written, its
  // history and flag, and the main window's place.
  QString State() {
    const QString file = Path(QStringLiteral("state.gif"));
    QString error;
    EXPECT_TRUE(WriteGifFile(*SharedImage(), file, false, &error)) << error.toStdString();
    const TMDIChild& d = *main_->ActiveDocument();
    const QRect r = main_->geometry();
    return QString::fromLatin1(testing::FileBytes(file).toHex()) +
           QStringLiteral(" undo %1 modified %2 window %3,%4 %5x%6")
               .arg(d.History.Count())
               .arg(d.Modified)
               .arg(r.left())
               .arg(r.top())
               .arg(r.width())
               .arg(r.height());
  }

  std::unique_ptr<wiring::TEditorAutomation> server_;
  std::shared_ptr<automation::TGIFApplication> app_;
};

TEST_F(ScriptValuesTest, ValuesAMemberCannotTakeAreRefusedWithTheReasonAndChangeNothing) {
  auto document = app_->ActiveDocument();
  auto frame = document->Frames()->Frame(1);  // 4 x 3 at 0,0
  const QRect area = ScreensArea();
  struct Case {
    const char* name;
    std::function<void()> call;
  };
  const Case cases[] = {
      {"a delay below 0", [&] { document->AddFrameNoPrompts(Png(2, 2), -1); }},
      {"a delay above 65535", [&] { document->AddFrameNoPrompts(Png(2, 2), 65536); }},
      {"a delay that wraps to another", [&] { document->AddFrameNoPrompts(Png(2, 2), 70000); }},
      {"a frame that would end past the largest screen", [&] { frame->SetLeft(65532); }},
      {"a frame at the last column", [&] { frame->SetLeft(65535); }},
      {"a frame at the last row", [&] { frame->SetTop(65535); }},
      {"a frame above the screen", [&] { frame->SetTop(-1); }},
      {"buttons the message box has not", [&] { app_->MessageBox(QStringLiteral("t"), QStringLiteral("c"), 7); }},
      {"a window left of every screen", [&] { app_->SetLeft(area.left() - 100000); }},
      {"a window right of every screen", [&] { app_->SetLeft(area.right() + 1); }},
      {"a window above every screen", [&] { app_->SetTop(area.top() - 1); }},
      {"a window below every screen", [&] { app_->SetTop(1000000); }},
      {"a window without width", [&] { app_->SetWidth(0); }},
      {"a window wider than the screens", [&] { app_->SetWidth(area.width() + 1); }},
      {"a window of negative height", [&] { app_->SetHeight(-5); }},
      {"a window higher than the screens", [&] { app_->SetHeight(100000); }},
  };
  const QString before = State();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      c.call();
      ADD_FAILURE() << "taken";
    } catch (const automation::AutomationError& e) {
      EXPECT_STREQ(e.Kind(), automation::kErrorInvalidValue);
      EXPECT_TRUE(e.Message().contains(QStringLiteral("must be between"))) << e.Message().toStdString();
    }
    EXPECT_EQ(State(), before);
  }
  // The edges are taken: the frame may end at the last column and row.
  frame->SetLeft(65535 - 4);
  frame->SetTop(65535 - 3);
  EXPECT_EQ(SharedImage()->GetWidth(), 65535);
  EXPECT_EQ(SharedImage()->GetHeight(), 65535);
  EXPECT_TRUE(document->AddFrameNoPrompts(Png(2, 2), 65535));
}

// A few members take any value and ignore those outside what they hold, as the type library has
// them: no error, and nothing changes.
TEST_F(ScriptValuesTest, ValuesTheseMembersIgnoreAreTakenAndChangeNothing) {
  auto document = app_->ActiveDocument();
  auto frame = document->Frames()->Frame(1);
  const int selected = document->SelectedFrame();
  const QString before = State();
  const std::pair<const char*, std::function<void()>> cases[] = {
      {"Frame.Delay 65536", [&] { frame->SetDelay(65536); }},
      {"Frame.Delay 0", [&] { frame->SetDelay(0); }},
      {"ActiveDocument.NSLoop 70000", [&] { document->SetNSLoop(70000); }},
      {"ActiveDocument.NSLoop -1", [&] { document->SetNSLoop(-1); }},
      {"ActiveDocument.SelectedFrame 99", [&] { document->SetSelectedFrame(99); }},
      {"Application.DocumentIndex 5", [&] { app_->SetDocumentIndex(5); }},
  };
  for (const auto& [name, call] : cases) {
    SCOPED_TRACE(name);
    EXPECT_NO_THROW(call());
    EXPECT_EQ(State(), before);
    EXPECT_EQ(document->SelectedFrame(), selected);
  }
}

class RecordingOpener : public IUrlOpener {
public:
  RecordingOpener() { previous_ = SetUrlOpener(this); }
  ~RecordingOpener() override { SetUrlOpener(previous_); }
  bool Open(const QUrl& url) override {
    Opened << url;
    return true;
  }
  QList<QUrl> Opened;

private:
  IUrlOpener* previous_ = nullptr;
};

TEST_F(ScriptValuesTest, TheValuesAMemberTakesAreUsedAsSent) {
  // A percent sign in the address is the address's own.
  EXPECT_EQ(app_->ActiveDocument()->HTMLCode(QStringLiteral("http://a.example/x%2Fy%3"), QStringLiteral("a%1.gif"), 2),
            QStringLiteral("<A HREF=\"http://a.example/x%2Fy%3\"><IMG SRC=\"a%1.gif\" HEIGHT=\"3\" WIDTH=\"4\" "
                           "BORDER=\"2\"></A>"));

  // A program is started only for a file that is there.
  RecordingOpener opener;
  EXPECT_FALSE(app_->ShellToApp(Path(QStringLiteral("missing.txt"))));
  EXPECT_TRUE(opener.Opened.isEmpty());
  EXPECT_TRUE(messages_.Saw(QStringLiteral("Could not load the client.")));
  EXPECT_TRUE(app_->ShellToApp(Path(QStringLiteral("a.gif"))));
  EXPECT_EQ(opener.Opened, QList<QUrl>{QUrl::fromLocalFile(Path(QStringLiteral("a.gif")))});

  // Cancel, Try Again and Continue, answered with the Windows codes.
  QStringList buttons;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    QAbstractButton* again = nullptr;
    for (QAbstractButton* b : box->buttons()) {
      buttons << b->text();
      if (b->text() == QStringLiteral("&Try Again")) again = b;
    }
    if (again) again->click();
    else box->reject();
  });
  EXPECT_EQ(app_->MessageBox(QStringLiteral("Go on?"), QStringLiteral("Script"), 6 | 0x20), 10);
  buttons.sort();
  EXPECT_EQ(buttons, (QStringList{"&Continue", "&Try Again", "Cancel"}));

  // A window moved by a script stays on the screens.
  const QRect area = ScreensArea();
  app_->SetWidth(area.width());
  app_->SetLeft(area.left());
  EXPECT_EQ(main_->geometry().left(), area.left());
  EXPECT_EQ(main_->geometry().width(), area.width());
}

TEST(KeptOnScreens, BringsAStoredPlaceBackOntoTheScreens) {
  const QRect area(0, 0, 1000, 800);
  struct Case {
    QRect stored, kept;
  };
  const Case cases[] = {
      {{10, 20, 500, 400}, {10, 20, 500, 400}},
      {{-50000, 20, 500, 400}, {0, 20, 500, 400}},
      {{900, 700, 500, 400}, {500, 400, 500, 400}},
      {{0, 0, 70000, 3}, {0, 0, 1000, kMinimumWindowSide}},
  };
  for (const Case& c : cases) EXPECT_EQ(KeptOnScreens(c.stored, area), c.kept) << c.stored.x();
}

}  // namespace
}  // namespace movinta::editor
