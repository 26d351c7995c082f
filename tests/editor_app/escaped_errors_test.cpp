// Exceptions that leave the editor's code on the roads the event loop takes: each is shown to the
// user once and the window goes on answering.
#include "editor/model/edit_dialogs.h"
#include "tests/editor_app/app_fixture.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

#include <functional>
#include <stdexcept>

namespace movinta::editor::testing {
namespace {

// A message routine that fails at the first message about the missing file, as a fault deep inside
// a command would.
class FailsOnce : public RecordingMessages {
public:
  int Show(const QString& text, MessageType type, ButtonSet buttons) override {
    if (!failed_ && text.contains(QStringLiteral("gone.gif"))) {
      failed_ = true;
      throw std::runtime_error("the message failed");
    }
    return RecordingMessages::Show(text, type, buttons);
  }

private:
  bool failed_ = false;
};

QAction* RecentItem(TfrmMain& main, const QString& name) {
  for (QAction* item : main.RecentFilesMenu()->actions())
    if (item->text().contains(name)) return item;
  return nullptr;
}

TEST_F(AppTest, AnExceptionFromATimerAQueuedSlotOrAnUnguardedCallbackIsShownAndTheWindowGoesOn) {
  struct Case {
    const char* Road;
    std::function<void(QAction* recent)> Deliver;
    const char* Text;
  };
  const Case cases[] = {
      {"timer", [](QAction* recent) { QTimer::singleShot(0, recent, &QAction::trigger); }, "the message failed"},
      {"queued slot",
       [](QAction* recent) { QMetaObject::invokeMethod(recent, &QAction::trigger, Qt::QueuedConnection); },
       "the message failed"},
      // What an add-in's own timer does: nothing of the editor's wraps it, the application object catches.
      {"unguarded timer",
       [](QAction* recent) { QTimer::singleShot(0, recent, [] { throw std::runtime_error("an add-in's timer failed"); }); },
       "an add-in's timer failed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Road);
    TfrmMain& main = OpenMain();
    main.AddRecentFile(Path(QStringLiteral("gone.gif")));
    QAction* recent = RecentItem(main, QStringLiteral("gone.gif"));
    ASSERT_NE(recent, nullptr);
    FailsOnce messages;
    c.Deliver(recent);
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    EXPECT_EQ(messages.Count(QString::fromLatin1(c.Text)), 1);
    // The window still answers.
    EXPECT_TRUE(main.OpenGifDocument(Gif(QStringLiteral("a.gif"), 2)));
    EXPECT_EQ(main.Documents().Count(), 1);
    CloseMain();
  }
}

// Global Properties answered with "Make Transparent" and a colour.
class MakeTransparentDialogs : public IEditDialogs {
public:
  explicit MakeTransparentDialogs(gif::TColor colour) : colour_(colour) { previous_ = SetEditDialogs(this); }
  ~MakeTransparentDialogs() override { SetEditDialogs(previous_); }
  std::optional<GlobalChangeChoice> AskGlobalChange(const GlobalChangeCaptions&) override {
    GlobalChangeChoice choice;
    choice.TransparentTouched = choice.TransparentChecked = true;
    choice.Transparent = PickedColor{colour_, -1};
    return choice;
  }

private:
  gif::TColor colour_;
  IEditDialogs* previous_;
};

TEST_F(AppTest, GlobalPropertiesMakeTransparentWithAColourAFullTableLacksIsRefusedFromTheMenu) {
  auto image = MakeAnimation(3);
  gif::TGIFColorMap& full = image->Images().GetFrame(1)->ColorMap();
  for (int k = 0; k < 256; ++k) full.Add(static_cast<gif::TColor>(k | 0x0100));
  const QString path = Path(QStringLiteral("full.gif"));
  WriteAnimation(*image, path);
  TfrmMain& main = OpenMain(path);
  ASSERT_EQ(main.Documents().Count(), 1);
  QAction* global = nullptr;
  for (QAction* a : main.menuBar()->findChildren<QAction*>())
    if (a->text() == QStringLiteral("&Global Properties...")) global = a;
  ASSERT_NE(global, nullptr);

  MakeTransparentDialogs dialogs(0x00FF00);
  messages_.Shown.clear();
  global->trigger();
  ASSERT_EQ(messages_.Shown.size(), 1u);
  EXPECT_TRUE(messages_.Shown[0].Text.startsWith(QStringLiteral("Frame 2 already has 256 colors")));
  EXPECT_FALSE(main.ActiveDocument()->Modified);
  EXPECT_EQ(main.ActiveDocument()->History.Count(), 0);
  EXPECT_FALSE(main.EditUndo->isEnabled());
  EXPECT_FALSE(SharedImage()->Images().GetFrame(0)->Transparent()) << "no frame half made";
}

}  // namespace
}  // namespace movinta::editor::testing
