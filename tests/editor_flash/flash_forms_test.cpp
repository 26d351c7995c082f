// Save As Flash with its windows: the save dialog's options panel and the name it gives the
// movie, the HTML snippet window, and the command from the File menu to a movie and its snippet.
#include "editor/commands/export_commands.h"
#include "editor/file_dialogs.h"
#include "editor/commands/flash_commands.h"
#include "editor/forms/forced_extension_save.h"
#include "editor/forms/save_flash_dialog.h"
#include "editor/forms/swf_html_form.h"
#include "editor/main_window.h"
#include "editor/model/flash_export.h"
#include "tests/editor/gif_fixture.h"
#include "tests/editor/test_support.h"
#include "tests/editor_frames/frames_fixture.h"
#include "tests/shell_dialogs/dialog_fixture.h"
#include "tests/swf/jpeg_fixture.h"
#include "tests/swf/movie_parse.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTest>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <memory>

#include <gtest/gtest.h>

namespace movinta::editor {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

using FlashDialogTest = DialogTest;

TEST_F(FlashDialogTest, AsksForRateAndQualityAndNamesTheMovieSwfBeforeAskingToReplaceIt) {
  WriteFile(tree + "/movie.swf", "old");
  forms::TSaveFlashDialog dlg;
  EXPECT_EQ(dlg.FrameRate(), 10);
  EXPECT_EQ(dlg.JpegQuality(), 90);
  EXPECT_EQ(dlg.Options(), 0x3A1410u);
  dlg.InitialDir = Q(tree);
  dlg.SetFileName(QStringLiteral("clip.swf"));
  answers = {ptshell::mbYes};
  QString caption, initialName;
  bool treeButton = true;
  Drive(dlg, {[&](QDialog* d) {
          auto* form = static_cast<ptshell::TPTFrmOpenDlg*>(d);
          caption = form->windowTitle();
          initialName = form->FileNameEdt->text();
          treeButton = !form->ShowTreeBtn->isHidden();
          ASSERT_NE(form->findChild<QWidget*>(QStringLiteral("pnlFlash")), nullptr);
          auto* rate = form->findChild<QLineEdit*>(QStringLiteral("txtFlashFrameRate"));
          auto* quality = form->findChild<QLineEdit*>(QStringLiteral("txtFlashJpgQuality"));
          ASSERT_TRUE(rate && quality);
          EXPECT_EQ(rate->text(), "10");
          rate->selectAll();
          QTest::keyClicks(rate, QStringLiteral("4x5"));  // the letter is dropped; 45 goes back to 30
          EXPECT_EQ(rate->text(), "30");
          EXPECT_EQ(dlg.FrameRate(), 30);
          quality->selectAll();
          QTest::keyClicks(quality, QStringLiteral("1b2"));
          EXPECT_EQ(quality->text(), "12");
          QTest::mouseClick(dlg.udFlashJpgQuality->UpButton(), Qt::LeftButton);
          QTest::keyClick(quality, Qt::Key_Up);
          QTest::keyClick(quality, Qt::Key_Down);
          QTest::keyClick(quality, Qt::Key_Up);
          EXPECT_EQ(quality->text(), "14");
          form->FileNameEdt->setText(QStringLiteral("movie.gif"));
          QTest::mouseClick(form->OpenBtn, Qt::LeftButton);
        }});
  ASSERT_TRUE(dlg.Execute());
  EXPECT_EQ(caption, "Export to Macromedia Flash");
  EXPECT_EQ(initialName, "clip.swf") << "the name given stays once the folders have filled";
  EXPECT_FALSE(treeButton) << "no folder tree";
  EXPECT_EQ(dlg.FileName(), Q(tree + "/movie.swf"));
  EXPECT_EQ(dlg.FrameRate(), 30) << "the values the form closed with stay";
  EXPECT_EQ(dlg.JpegQuality(), 14);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], Q(tree + "/movie.swf already exists.\nDo you want to replace it?"));
}

TEST_F(FlashDialogTest, TypedNamesBecomeMovieNames) {
  MakeDir(tree + "/folder.d");
  const std::pair<const char*, const char*> cases[] = {
      {"clip.gif", "clip.swf"},
      {"clip", "clip.swf"},
      {"clip.SWF", "clip.SWF"},
      {"a.b.png", "a.b.swf"},
      {"\"two words.gif\"", "two words.swf"},
      {"*.gif", "*.gif"},
      {"folder.d", "folder.d"},
      {"sub/", "sub/"},
      {".hidden", ".hidden.swf"},
      {"a & \"q\" b.gif", "a & \"q\" b.swf"},
  };
  for (const auto& [typed, expected] : cases)
    EXPECT_EQ(forms::TSaveFlashDialog::SwfName(QString::fromUtf8(typed), Q(tree)), QString::fromUtf8(expected))
        << typed;
  // The AVI export's dialog applies the same rule with its own extension.
  EXPECT_EQ(forms::NameWithExtension(QStringLiteral("anim.gif"), Q(tree), QStringLiteral(".avi")), "anim.avi");
  EXPECT_EQ(forms::NameWithExtension(QStringLiteral("CLIP.AVI"), Q(tree), QStringLiteral(".avi")), "CLIP.AVI");
}

TEST_F(FlashDialogTest, ANameWithQuotesIsTheNameWritten) {
  forms::TSaveFlashDialog dlg;
  dlg.InitialDir = Q(tree);
  Drive(dlg, {[&](QDialog* d) {
          auto* form = static_cast<ptshell::TPTFrmOpenDlg*>(d);
          form->FileNameEdt->setText(QStringLiteral("a & \"q\" b.gif"));
          QTest::mouseClick(form->OpenBtn, Qt::LeftButton);
        }});
  ASSERT_TRUE(dlg.Execute());
  EXPECT_EQ(dlg.FileName(), Q(tree + "/a & \"q\" b.swf"));
}

TEST(SWFHTMLFrm, ShowsTheSnippetAndCopiesIt) {
  testing::RecordingMessages messages;
  testing::MemoryClipboard clipboard;
  forms::TSWFHTMLFrm sample(320, 240, true, QString::fromUtf8(texts::kFlashSampleMovie));
  EXPECT_EQ(sample.windowTitle(), "HTML to insert for Flash Movies");
  EXPECT_TRUE(sample.Label1->text().endsWith(
      QStringLiteral("(It's in there twice). If you don't the movie will not be displayed.")));
  EXPECT_EQ(sample.mmoFlash->toPlainText().count(QStringLiteral("your_flash_movie.swf")), 2);
  EXPECT_TRUE(sample.mmoFlash->toPlainText().contains(QStringLiteral("WIDTH=320 HEIGHT=240")));
  EXPECT_TRUE(sample.mmoFlash->isReadOnly());

  forms::TSWFHTMLFrm exported(10, 20, false, QStringLiteral("clip.swf"));
  EXPECT_EQ(exported.Label1->text(), QString::fromUtf8(texts::kFlashHTMLIntro));
  QTest::mouseClick(exported.BitBtn1, Qt::LeftButton);
  EXPECT_EQ(QString::fromUtf8(clipboard.Data(QStringLiteral("text/plain"))), exported.mmoFlash->toPlainText());
  ASSERT_EQ(messages.Shown.size(), 1u);
  EXPECT_EQ(messages.Shown[0].Text, "Copied HTML to the clipboard.");
}

// Runs step once a modal window of type T shows; a modal window still open after the deadline
// is rejected so that no test can hang.
template <typename T>
void WhenShown(std::function<void(T*)> step) {
  auto* timer = new QTimer;
  auto started = std::make_shared<QElapsedTimer>();
  started->start();
  QObject::connect(timer, &QTimer::timeout, [timer, step, started] {
    if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget()); w && w->isVisible()) {
      timer->stop();
      timer->deleteLater();
      step(w);
    } else if (started->elapsed() > 20000) {
      timer->stop();
      timer->deleteLater();
      if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
    }
  });
  timer->start(20);
}

class FlashCommandTest : public DialogTest {
protected:
  void SetUp() override {
    DialogTest::SetUp();
    main_ = std::make_unique<TfrmMain>(false);
    main_->show();
  }
  void TearDown() override {
    main_.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    DialogTest::TearDown();
  }
  QAction* Action(const char* name) { return main_->findChild<QAction*>(QLatin1String(name)); }

  testing::FreeSharedImageLast freeLast_;
  testing::ScopedTmpDir tmp_;
  testing::RecordingMessages modelMessages_;
  std::unique_ptr<TfrmMain> main_;
};

TEST_F(FlashCommandTest, ActionsSitInTheirMenusAndNeedAnAnimation) {
  QAction* save = Action("FileSaveAsFlash");
  QAction* html = Action("AnimationFlashHTML");
  ASSERT_TRUE(save && html);
  EXPECT_EQ(save->text(), "Save As Macromedia &Flash (.swf)...");
  EXPECT_EQ(save->statusTip(), "Save the GIF animation as a Macromedia Flash file");
  EXPECT_EQ(html->statusTip(), "View HTML for Flash movies");
  // File > Save As holds it after the GIF item, and File > Export holds it too.
  const QList<QAction*> saveAs = main_->SaveAsMenu()->actions();
  EXPECT_EQ(saveAs.indexOf(save), saveAs.indexOf(main_->FileSaveAsGif) + 1);
  EXPECT_TRUE(main_->ExportMenu()->actions().contains(save));
  EXPECT_TRUE(main_->findChild<QToolBar*>(QStringLiteral("tbAnimation"))->actions().contains(html));
  EXPECT_FALSE(save->isEnabled());
  EXPECT_FALSE(html->isEnabled());
  const QString gif = Q(tree + "/clip.gif");
  testing::WriteAnimation(*testing::MakePatternAnimation(3, 8, 6), gif);
  ASSERT_NE(main_->OpenFile(gif), nullptr);
  EXPECT_TRUE(save->isEnabled());
  EXPECT_TRUE(html->isEnabled());
}

TEST_F(FlashCommandTest, SaveAsFlashWritesTheMovieAndShowsItsSnippetLeavingTheDocumentModified) {
  const QString gif = Q(tree + "/clip.gif");
  testing::WriteAnimation(*testing::MakePatternAnimation(3, 8, 6), gif);
  TMDIChild* document = main_->OpenFile(gif);
  ASSERT_NE(document, nullptr);
  document->AddUndoEntry(TUndoKind::GraphicControl, TUndoOperation::Changed, -1, -1, 0, QStringLiteral("Change Delay"));
  SetFrameDelay(*SharedImage()->Images().GetFrame(0), 30);
  document->SetModified(true);
  const QByteArray gifBefore = testing::FileBytes(gif);
  main_->Documents().SaveFolder = Q(tree);

  QString initialName, snippet;
  WhenShown<ptshell::TPTFrmOpenDlg>([&](ptshell::TPTFrmOpenDlg* form) {
    initialName = form->FileNameEdt->text();
    form->FileNameEdt->setText(QStringLiteral("my clip.gif"));
    QTest::mouseClick(form->OpenBtn, Qt::LeftButton);
    WhenShown<forms::TSWFHTMLFrm>([&](forms::TSWFHTMLFrm* html) {
      snippet = html->mmoFlash->toPlainText();
      html->accept();
    });
  });
  ASSERT_TRUE(Action("FileSaveAsFlash")->isEnabled());
  Action("FileSaveAsFlash")->trigger();

  EXPECT_EQ(initialName, "clip.swf");
  EXPECT_TRUE(modelMessages_.Shown.empty()) << modelMessages_.Shown.front().Text.toStdString();
  const ParsedMovie movie = ParseMovie(ReadFileBytes(tree + "/my clip.swf"));
  ASSERT_TRUE(movie.ok);
  EXPECT_EQ(movie.frameCount, 2 + 3 + 2 + 3) << "delays 30, 20, 30 at 10 frames a second";
  EXPECT_EQ(movie.xmax, 8 * 20);
  EXPECT_EQ(snippet.count(QStringLiteral("my%20clip.swf")), 2) << snippet.toStdString();
  EXPECT_TRUE(document->Modified) << "the GIF is not saved by an export";
  EXPECT_EQ(testing::FileBytes(gif), gifBefore);
  EXPECT_TRUE(main_->isEnabled());
  EXPECT_TRUE(QDir(tmp_.Path).entryList({QStringLiteral("ZQF*")}, QDir::AllEntries).isEmpty());
}

// The movie is made on a thread of its own while the window goes on handling events: an event
// posted to the window as the library begins to write the movie is handled before the write ends,
// and the movie is whole.
TEST_F(FlashCommandTest, SaveAsFlashKeepsTheWindowTurningWhileTheMovieIsWritten) {
  const QString gif = Q(tree + "/clip.gif");
  testing::WriteAnimation(*testing::MakePatternAnimation(3, 8, 6), gif);
  ASSERT_NE(main_->OpenFile(gif), nullptr);
  main_->Documents().SaveFolder = Q(tree);

  static QWidget* window = nullptr;
  static std::atomic<bool> handledDuringWrite;
  window = main_.get();
  handledDuringWrite = false;
  static TFlashMovieApi watched = ReeltideMovieApi();
  watched.writeMovie = [](const char* file, int width, int height, int rate, int play) {
    // Shared with the event: where the window does not turn, it comes only after this call.
    const auto seen = std::make_shared<std::atomic<bool>>(false);
    QMetaObject::invokeMethod(window, [seen] { *seen = true; }, Qt::QueuedConnection);
    QElapsedTimer waited;
    waited.start();
    while (!*seen && waited.elapsed() < 3000) QThread::msleep(5);
    handledDuringWrite = seen->load();
    return ReeltideMovieApi().writeMovie(file, width, height, rate, play);
  };
  const TFlashMovieApi* previous = SetFlashMovieApi(&watched);
  WhenShown<ptshell::TPTFrmOpenDlg>([&](ptshell::TPTFrmOpenDlg* form) {
    form->FileNameEdt->setText(QStringLiteral("turning.swf"));
    QTest::mouseClick(form->OpenBtn, Qt::LeftButton);
    WhenShown<forms::TSWFHTMLFrm>([&](forms::TSWFHTMLFrm* html) { html->accept(); });
  });
  Action("FileSaveAsFlash")->trigger();
  SetFlashMovieApi(previous);

  EXPECT_TRUE(handledDuringWrite) << "the window waited for the movie to be written";
  EXPECT_TRUE(modelMessages_.Shown.empty());
  const ParsedMovie movie = ParseMovie(ReadFileBytes(tree + "/turning.swf"));
  ASSERT_TRUE(movie.ok);
  EXPECT_EQ(movie.frameCount, 2 + 1 + 2 + 3);
  EXPECT_TRUE(main_->isEnabled());
}

TEST_F(FlashCommandTest, TheHtmlPageDialogAsksAboutThePageItWrites) {
  const QString gif = Q(tree + "/clip.gif");
  testing::WriteAnimation(*testing::MakePatternAnimation(2, 8, 6), gif);
  ASSERT_NE(main_->OpenFile(gif), nullptr);
  WriteFile(tree + "/page.html", "old page");
  main_->ExportCommands().OpenUrl = [](const QUrl&) { return true; };
  ShellFileChooser chooser(main_.get(), false);
  IFileChooser* previous = SetFileChooser(&chooser);
  answers = {ptshell::mbYes};
  WhenShown<ptshell::TPTFrmOpenDlg>([&](ptshell::TPTFrmOpenDlg* form) {
    form->FileNameEdt->setText(QStringLiteral("page.htm"));
    QTest::mouseClick(form->OpenBtn, Qt::LeftButton);
  });
  main_->ExportCommands().mniFileExportHTMLClick();
  SetFileChooser(previous);
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages[0], Q(tree + "/page.html already exists.\nDo you want to replace it?"));
  EXPECT_TRUE(testing::FileBytes(Q(tree + "/page.html")).contains("clip.gif"));
  EXPECT_FALSE(Exists(tree + "/page.htm"));
}

// The page is always written as ".html": a name typed with ".HTML" beside both spellings on disk
// is asked about, and written, as page.html, and the other file is never touched.
TEST_F(FlashCommandTest, TheHtmlPageTypedInCapitalsIsAskedAboutAndWrittenAsTheLowerCasePage) {
  const QString gif = Q(tree + "/clip.gif");
  testing::WriteAnimation(*testing::MakePatternAnimation(2, 8, 6), gif);
  ASSERT_NE(main_->OpenFile(gif), nullptr);
  main_->ExportCommands().OpenUrl = [](const QUrl&) { return true; };
  ShellFileChooser chooser(main_.get(), false);
  IFileChooser* previous = SetFileChooser(&chooser);
  // The dialog's own question box, answered as the user would.
  ptshell::DialogMessageRoutine() = oldRoutine;
  for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
    SCOPED_TRACE(answer == QMessageBox::Yes ? "Yes" : "No");
    WriteFile(tree + "/page.HTML", "capital page");
    WriteFile(tree + "/page.html", "old page");
    QStringList asked;
    WhenShown<ptshell::TPTFrmOpenDlg>([&](ptshell::TPTFrmOpenDlg* form) {
      WhenShown<QMessageBox>([&](QMessageBox* box) {
        asked << box->text();
        QTest::mouseClick(box->button(answer), Qt::LeftButton);
      });
      form->FileNameEdt->setText(QStringLiteral("page.HTML"));
      QTest::mouseClick(form->OpenBtn, Qt::LeftButton);
      if (answer == QMessageBox::No) form->reject();
    });
    main_->ExportCommands().mniFileExportHTMLClick();
    EXPECT_EQ(asked, QStringList{Q(tree + "/page.html already exists.\nDo you want to replace it?")});
    EXPECT_EQ(testing::FileBytes(Q(tree + "/page.HTML")), QByteArray("capital page"));
    if (answer == QMessageBox::Yes)
      EXPECT_TRUE(testing::FileBytes(Q(tree + "/page.html")).contains("clip.gif"));
    else
      EXPECT_EQ(testing::FileBytes(Q(tree + "/page.html")), QByteArray("old page"));
  }
  SetFileChooser(previous);
}

TEST_F(FlashCommandTest, ViewFlashHTMLShowsTheSampleWithTheReminder) {
  const QString gif = Q(tree + "/clip.gif");
  testing::WriteAnimation(*testing::MakePatternAnimation(2, 8, 6), gif);
  ASSERT_NE(main_->OpenFile(gif), nullptr);
  QString label, snippet;
  WhenShown<forms::TSWFHTMLFrm>([&](forms::TSWFHTMLFrm* html) {
    label = html->Label1->text();
    snippet = html->mmoFlash->toPlainText();
    html->accept();
  });
  Action("AnimationFlashHTML")->trigger();
  EXPECT_TRUE(label.endsWith(QString::fromUtf8(texts::kFlashReminder)));
  EXPECT_EQ(snippet.count(QStringLiteral("your_flash_movie.swf")), 2);
  EXPECT_TRUE(snippet.contains(QStringLiteral("WIDTH=8 HEIGHT=6")));
}

}  // namespace
}  // namespace movinta::editor
