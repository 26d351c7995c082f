// Exceptions that leave the editor's code on the roads the event loop takes: each is shown to the
// user once and the window goes on answering.
#include "tests/editor_app/app_fixture.h"

#include <QAction>
#include <QMenu>
#include <QTimer>

#include <functional>
#include <stdexcept>

namespace movinta::editor::testing {
namespace {

// A message routine whose first message fails, as a fault deep inside a command would.
class FailsOnce : public RecordingMessages {
public:
  int Show(const QString& text, MessageType type, ButtonSet buttons) override {
    if (!failed_) {
      failed_ = true;
      throw std::runtime_error("the first message failed");
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
      {"timer", [](QAction* recent) { QTimer::singleShot(0, recent, &QAction::trigger); }, "the first message failed"},
      {"queued slot",
       [](QAction* recent) { QMetaObject::invokeMethod(recent, &QAction::trigger, Qt::QueuedConnection); },
       "the first message failed"},
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
    main.FileNew->trigger();
    EXPECT_EQ(main.Documents().Count(), 1);
    CloseMain();
  }
}

}  // namespace
}  // namespace movinta::editor::testing
