// The automation objects over a stand-in for the main window: the model is real (documents,
// working image, undo history, frame commands), the window's side records what it was asked.
#include "automation/automation_objects.h"
#include "automation/service_file.h"
#include "fake_host.h"
#include "editor/commands/frame_commands.h"
#include "editor/model/history.h"
#include "tests/editor/gif_fixture.h"
#include "tests/editor/test_support.h"

#include <QApplication>
#include <QBuffer>
#include <QMenu>
#include <QMenuBar>

#include <gtest/gtest.h>

namespace movinta::automation {
namespace {

using editor::SharedImage;
using editor::TMDIChild;
using editor::testing::MakeAnimation;
using testing::FakeHost;
using testing::StripView;

QByteArray PngBytes(int width, int height, QColor color) {
  QImage picture(width, height, QImage::Format_RGB32);
  picture.fill(color);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  picture.save(&buffer, "PNG");
  return bytes;
}

class AutomationTest : public ::testing::Test {
protected:
  void TearDown() override {
    while (host_.documents.Count() > 0) host_.documents.FreeChildWindow(host_.documents.At(0));
    SharedImage(1);
  }
  // A document holding frames frames, from a file on disk.
  TMDIChild* Open(const QString& name, int frames) {
    const QString path = tmp_.Path + QLatin1Char('/') + name;
    editor::testing::WriteAnimation(*MakeAnimation(frames), path);
    return host_.documents.OpenDocument(path);
  }
  template <typename F>
  void ExpectError(const char* kind, F f, const QString& text = QString()) {
    try {
      f();
      ADD_FAILURE() << "no error, expected " << kind;
    } catch (const AutomationError& e) {
      EXPECT_STREQ(e.Kind(), kind);
      if (!text.isEmpty()) {
        EXPECT_EQ(e.Message(), text);
      }
    }
  }

  editor::testing::ScopedSettingsDir settings_;
  editor::testing::ScopedTmpDir tmp_;
  editor::testing::RecordingMessages messages_;
  StripView view_;
  FakeHost host_;
  std::shared_ptr<TGIFApplication> app_ = std::make_shared<TGIFApplication>(host_);
};

TEST_F(AutomationTest, HandlesOnDocumentsAndFramesFailOnceTheirTargetIsGone) {
  TMDIChild* a = Open(QStringLiteral("a.gif"), 3);
  auto docs = app_->DocumentCache();
  auto cacheA = docs->Cache(0);
  auto frames = app_->ActiveDocument()->Frames();
  auto first = frames->Frame(0), last = frames->Frame(2);
  ASSERT_TRUE(cacheA && first && last);
  EXPECT_EQ(first->Delay(), 10);
  EXPECT_FALSE(docs->Cache(-1));
  EXPECT_FALSE(docs->Cache(1));
  EXPECT_FALSE(frames->Frame(3));

  // Delete: only the deleted frame's handle goes stale.
  app_->ActiveDocument()->DeleteFrame(2);
  ExpectError(kErrorUnknownObject, [&] { last->Delay(); });
  EXPECT_EQ(first->Delay(), 10);
  // Undo brings a new frame back, which a new handle names; the old one stays gone.
  app_->ActiveDocument()->Undo();
  ASSERT_EQ(frames->Count(), 3);
  EXPECT_EQ(frames->Frame(2)->Delay(), 30);
  ExpectError(kErrorUnknownObject, [&] { last->SetDelay(5); });

  // A switch loads the other document: frames of the first are gone, its cache still works.
  TMDIChild* b = Open(QStringLiteral("b.gif"), 2);
  ASSERT_EQ(host_.documents.Active(), b);
  ExpectError(kErrorUnknownObject, [&] { first->Left(); });
  EXPECT_EQ(cacheA->FileName(), a->FileName);
  cacheA->MakeActive();
  EXPECT_EQ(host_.documents.Active(), a);

  // Closing ends the document's handle even when a new document takes its place in memory.
  host_.documents.Close(a);
  TMDIChild* c = Open(QStringLiteral("c.gif"), 1);
  ASSERT_TRUE(c);
  ExpectError(kErrorUnknownObject, [&] { cacheA->FileName(); });
  EXPECT_EQ(docs->Count(), 2);
}

TEST_F(AutomationTest, FrameSettersRecordTheEditedFrameAndUndoPutsItBack) {
  TMDIChild* d = Open(QStringLiteral("a.gif"), 3);
  view_.selected = 0;
  auto frame = app_->ActiveDocument()->Frames()->Frame(2);

  struct Case {
    const char* What;
    std::function<void()> Set;
    std::function<int()> Get;
    int Before, After;
    const char* Caption;  // empty: nothing is recorded
  };
  const Case cases[] = {
      {"left", [&] { frame->SetLeft(7); }, [&] { return frame->Left(); }, 0, 7, "Change X-Offset"},
      {"top", [&] { frame->SetTop(9); }, [&] { return frame->Top(); }, 0, 9, "Change Y-Offset"},
      {"interlaced", [&] { frame->SetInterlaced(true); }, [&] { return int(frame->Interlaced()); }, 0, 1, "Change Interlaced"},
      {"delay", [&] { frame->SetDelay(77); }, [&] { return frame->Delay(); }, 30, 77, "Change Delay"},
      {"disposal", [&] { frame->SetDisposal(idmBackground); }, [&] { return frame->Disposal(); }, 0, 2, "Change Disposal"},
      {"same left", [&] { frame->SetLeft(0); }, [&] { return frame->Left(); }, 0, 0, ""},
      {"delay 0", [&] { frame->SetDelay(0); }, [&] { return frame->Delay(); }, 30, 30, ""},
      {"width", [&] { frame->SetWidth(1); }, [&] { return frame->Width(); }, 4, 4, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    const int entries = d->History.Count();
    d->Modified = false;
    ASSERT_EQ(c.Get(), c.Before);
    c.Set();
    EXPECT_EQ(c.Get(), c.After);
    if (*c.Caption == 0) {
      EXPECT_EQ(d->History.Count(), entries);
      EXPECT_FALSE(d->Modified);
      continue;
    }
    ASSERT_EQ(d->History.Count(), entries + 1);
    EXPECT_EQ(d->History.LastCaption(), QLatin1String(c.Caption));
    EXPECT_EQ(d->History.LastFrameIndex(), 2) << "the edited frame, not the strip's selection";
    EXPECT_TRUE(d->Modified);
    app_->ActiveDocument()->Undo();
    // Undoing the last entry reads the saved file back, with new frames.
    frame = app_->ActiveDocument()->Frames()->Frame(2);
    EXPECT_EQ(c.Get(), c.Before) << "undo puts the edited frame back";
    EXPECT_EQ(SharedImage()->Images().GetFrame(0)->GetLeft(), 0);
  }
}

TEST_F(AutomationTest, ValuesOutsideWhatAFrameHoldsAreRefused) {
  TMDIChild* d = Open(QStringLiteral("a.gif"), 2);
  auto frame = app_->ActiveDocument()->Frames()->Frame(1);
  ExpectError(kErrorInvalidValue, [&] { frame->SetLeft(65536); });
  ExpectError(kErrorInvalidValue, [&] { frame->SetTop(-1); });
  ExpectError(kErrorInvalidValue, [&] { frame->SetDisposal(4); });
  ExpectError(kErrorInvalidValue, [&] { app_->ActiveDocument()->DeleteFrame(2); });
  ExpectError(kErrorInvalidValue, [&] { app_->Wait(-1); });
  ExpectError(kErrorInvalidValue, [&] { frame->SetBitmap(PngBytes(65536, 1, Qt::red)); });
  EXPECT_EQ(d->History.Count(), 0);
  EXPECT_FALSE(d->Modified);
}

TEST_F(AutomationTest, PicturesComeInAsAnyFormatAndGoOutAsBmp) {
  TMDIChild* d = Open(QStringLiteral("a.gif"), 2);
  auto active = app_->ActiveDocument();
  EXPECT_EQ(active->AddFrame(QByteArray(), 10), -1);
  EXPECT_FALSE(active->AddFrameNoPrompts(QByteArrayLiteral("not a picture"), 10));
  EXPECT_EQ(d->History.Count(), 0);

  EXPECT_TRUE(active->AddFrameNoPrompts(PngBytes(4, 3, Qt::red), 25));
  ASSERT_EQ(active->Frames()->Count(), 3);
  view_.selected = -1;
  EXPECT_EQ(active->AddFrame(PngBytes(4, 3, Qt::blue), 99), 0) << "without a selection the frame goes first";
  ASSERT_EQ(active->Frames()->Count(), 4);

  auto frame = active->Frames()->Frame(1);
  const QByteArray bmp = frame->Bitmap();
  ASSERT_TRUE(bmp.startsWith("BM"));
  EXPECT_EQ(QImage::fromData(bmp, "BMP").size(), QSize(4, 3));
  EXPECT_TRUE(active->CurrentBitmap().startsWith("BM"));

  // A new picture keeps the frame's place and timing, and undoes as a whole.
  frame->SetLeft(2);
  const int delay = frame->Delay();
  const int entries = d->History.Count();
  ASSERT_TRUE(frame->SetBitmap(PngBytes(3, 2, Qt::green)));
  EXPECT_EQ(d->History.Count(), entries + 1);
  EXPECT_EQ(d->History.LastCaption(), QStringLiteral("Change Frame Image"));
  EXPECT_EQ(frame->Width(), 3);
  EXPECT_EQ(frame->Left(), 2);
  EXPECT_EQ(frame->Delay(), delay);
}

TEST_F(AutomationTest, LoopCountFollowsPlays) {
  TMDIChild* d = Open(QStringLiteral("a.gif"), 2);
  auto active = app_->ActiveDocument();
  ASSERT_EQ(active->NSLoop(), 1);
  active->SetNSLoop(1);
  EXPECT_EQ(d->History.Count(), 0) << "once is what an animation without a loop block does";
  active->SetNSLoop(0);
  EXPECT_EQ(active->NSLoop(), 0);
  ASSERT_EQ(d->History.Count(), 1);
  EXPECT_EQ(d->History.LastCaption(), QStringLiteral("Change Animation Loop"));
  active->SetNSLoop(3);
  EXPECT_EQ(active->NSLoop(), 3);
  active->SetNSLoop(1);
  EXPECT_FALSE(editor::HasLoopExtension(*SharedImage()));
  active->SetNSLoop(70000);
  EXPECT_EQ(d->History.Count(), 3);
}

TEST_F(AutomationTest, EnumeratorsReReadTheCountAndClonesStartAfresh) {
  Open(QStringLiteral("a.gif"), 3);
  auto frames = app_->ActiveDocument()->Frames();
  auto items = frames->NewEnum();
  std::vector<std::shared_ptr<TAutomationObject>> got;
  int fetched = -1;
  EXPECT_EQ(items->Next(2, got, &fetched), S_OK_);
  EXPECT_EQ(fetched, 2);
  auto clone = items->Clone();
  EXPECT_EQ(clone->Position(), 0);
  app_->ActiveDocument()->DeleteFrame(0);
  EXPECT_EQ(items->Next(5, got, &fetched), S_FALSE_) << "the count is read again";
  EXPECT_EQ(fetched, 0);
  EXPECT_EQ(clone->Skip(5), S_FALSE_);
  EXPECT_EQ(clone->Position(), 2);
  EXPECT_EQ(clone->Reset(), S_OK_);
  EXPECT_EQ(clone->Skip(2), S_OK_);

  SharedImage(1);
  auto none = app_->DocumentCache();
  while (host_.documents.Count() > 0) host_.documents.FreeChildWindow(host_.documents.At(0));
  EXPECT_EQ(none->NewEnum()->Next(1, got, &fetched), S_FALSE_);
  EXPECT_EQ(fetched, 0);
}

TEST_F(AutomationTest, WithoutADocumentActiveDocumentMembersGiveTheirInitialValues) {
  EXPECT_FALSE(app_->ActiveDocument());
  TActiveDocument active(host_);
  EXPECT_EQ(active.SelectedFrame(), -1);
  EXPECT_FALSE(active.CanUndo());
  EXPECT_TRUE(active.FileName().isEmpty());
  EXPECT_TRUE(active.CurrentBitmap().isEmpty());
  EXPECT_FALSE(active.Close(true));
  active.SetNSLoop(0);
  active.DeleteFrame(0);
  EXPECT_EQ(active.Frames()->Count(), 0);
}

TEST_F(AutomationTest, ApplicationMembersOverTheWindow) {
  struct PathCase {
    const char* In;
    const char* Name;
    const char* Folder;
  };
  for (const PathCase& c : {PathCase{"", "", ""}, PathCase{"b.gif", "b.gif", ""},
                            PathCase{"/a/b.gif", "b.gif", "/a/"}, PathCase{"/a/", "", "/a/"}}) {
    EXPECT_EQ(app_->ExtractFileName(QLatin1String(c.In)), QLatin1String(c.Name)) << c.In;
    EXPECT_EQ(app_->ExtractFilePath(QLatin1String(c.In)), QLatin1String(c.Folder)) << c.In;
  }
  for (int state : {3, -1, 2, 1, 0}) {
    app_->SetWindowState(state);
    EXPECT_EQ(host_.state, state >= 0 && state <= 2 ? state : 0) << state;
  }
  app_->SetWidth(640);
  app_->SetLeft(5);
  EXPECT_EQ(host_.rect, QRect(5, 20, 640, 200));
  int height = -1, width = -1;
  EXPECT_FALSE(app_->GetImageSize(QStringLiteral("/no/such.png"), height, width));
  EXPECT_EQ(height, 0);
  EXPECT_EQ(width, 0);
  EXPECT_EQ(app_->VersionText(), QStringLiteral("4.0"));

  Open(QStringLiteral("a.gif"), 2);
  EXPECT_EQ(app_->ActiveDocument()->HTMLCode(QStringLiteral("u"), QStringLiteral("h"), 0),
            QStringLiteral("<A HREF=\"u\"><IMG SRC=\"h\" HEIGHT=\"3\" WIDTH=\"4\" BORDER=\"0\"></A>"));
}

TEST_F(AutomationTest, MenuPathsResolveByCaptionWithoutAmpersandsTheLastMatchWinning) {
  QMenuBar bar;
  QMenu* file = bar.addMenu(QStringLiteral("&File"));
  QAction* saveAs = file->addAction(QStringLiteral("Save &As..."));
  file->addSeparator();
  QAction* twice = file->addAction(QStringLiteral("Sa&ve As..."));
  bar.addMenu(QStringLiteral("&Edit"))->addAction(QStringLiteral("&Undo"));
  host_.menus = bar.actions();

  EXPECT_EQ(ResolveMenuPath(host_.menus, QStringLiteral("File|Save As...")), twice);
  EXPECT_NE(ResolveMenuPath(host_.menus, QStringLiteral("File|Save As...")), saveAs);
  EXPECT_TRUE(app_->MenuExists(QStringLiteral("Edit|Undo")));
  EXPECT_TRUE(app_->MenuExists(QStringLiteral("File")));
  EXPECT_FALSE(app_->MenuExists(QStringLiteral("&File")));
  EXPECT_FALSE(app_->MenuExists(QStringLiteral("Edit|Undo|More")));
  EXPECT_EQ(app_->Menu(QStringLiteral("File"))->Item(), bar.actions().front());
  ExpectError(kErrorNoSuchMenu, [&] { app_->Menu(QStringLiteral("Edit|Nothing")); },
              QStringLiteral("MenuEdit|Nothingdoes not exist!"));
}

TEST_F(AutomationTest, DocumentCachesReadTheirOwnDocument) {
  TMDIChild* a = Open(QStringLiteral("a.gif"), 2);
  a->AddUndoEntry(editor::TUndoKind::GraphicControl, editor::TUndoOperation::Changed, -1, -1, 0,
                  QStringLiteral("Change Delay"));
  a->Modified = true;
  a->ReadOnly = true;
  Open(QStringLiteral("b.gif"), 2);
  auto cacheA = app_->DocumentCache()->Cache(0);
  auto cacheB = app_->DocumentCache()->Cache(1);
  EXPECT_TRUE(cacheA->CanUndo());
  EXPECT_TRUE(cacheA->Modified());
  EXPECT_TRUE(cacheA->ReadOnly());
  EXPECT_FALSE(cacheB->CanUndo());
  EXPECT_FALSE(cacheB->CanRedo());
  EXPECT_FALSE(cacheB->Modified());

  // Comments of a frame, each followed by CR LF.
  editor::AddCommentExtension(*SharedImage()->Images().GetFrame(0), QStringLiteral("a"));
  editor::AddCommentExtension(*SharedImage()->Images().GetFrame(0), QStringLiteral("b"));
  EXPECT_EQ(app_->ActiveDocument()->Frames()->Frame(0)->Comments(), QStringLiteral("a\r\nb\r\n"));
}

TEST(ServiceFileTest, TheProgramIsQuotedTheWayTheBusReadsExecLines) {
  struct Case {
    const char* Program;
    const char* Exec;
  };
  const Case cases[] = {
      {"/usr/bin/Movinta6", "/usr/bin/Movinta6"},
      {"/opt/my apps/Movinta6", "\"/opt/my apps/Movinta6\""},
      {"/opt/a\"b$c/Movinta6", "\"/opt/a\\\"b\\$c/Movinta6\""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ServiceFileText(QString::fromUtf8(c.Program)),
              QStringLiteral("[D-BUS Service]\nName=com.larkspur.Movinta\nExec=%1 --automation\n").arg(QString::fromUtf8(c.Exec)))
        << c.Program;
}

}  // namespace
}  // namespace movinta::automation
