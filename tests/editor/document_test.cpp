#include "editor/model/document.h"
#include "editor/model/string_tables.h"
#include "gif_fixture.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace movinta::editor {
namespace {

using testing::Delays;
using testing::FileBytes;
using testing::MakeAnimation;

class RecordingView : public IEditorView {
public:
  RecordingView() { previous_ = SetEditorView(this); }
  ~RecordingView() override { SetEditorView(previous_); }
  void DocumentLoaded(TMDIChild* d) override { Loads.push_back(d); }
  void DocumentRemoved(TMDIChild* d) override { Removed.push_back(d); }
  int SelectedFrame() const override { return selected_; }
  void SetSelectedFrame(int i) override { selected_ = i; }
  std::vector<TMDIChild*> Loads;
  std::vector<TMDIChild*> Removed;

private:
  IEditorView* previous_;
  int selected_ = 0;
};

// Scripted sessions over the documents: every message the user would see is recorded, every
// question answered from a script, and the disk made to fail at chosen steps.
class DocumentTest : public ::testing::Test {
protected:
  void SetUp() override {
    work_ = tmp_.Path + QStringLiteral("/work");
    QDir().mkpath(work_);
  }
  void TearDown() override { SharedImage(1); }

  QString MakeFile(const QString& name, int frames) {
    const QString path = work_ + QLatin1Char('/') + name;
    auto image = MakeAnimation(frames);
    testing::WriteAnimation(*image, path);
    return path;
  }
  // An edit as the editor makes one: record, change the working image, mark modified.
  void EditDelay(TMDIChild* d, int frame, int delay) {
    d->AddUndoEntry(TUndoKind::GraphicControl, TUndoOperation::Changed, -1, -1, frame, QStringLiteral("Change Delay"));
    SetFrameDelay(*SharedImage()->Images().GetFrame(frame), delay);
    d->SetModified(true);
  }
  std::vector<int> DelaysOnDisk(const QString& path) {
    auto image = ReadGifFile(path);
    return image ? Delays(*image) : std::vector<int>{};
  }

  testing::ScopedTmpDir tmp_;
  testing::RecordingMessages messages_;
  testing::ScriptedChooser chooser_;
  RecordingView view_;
  QString work_;
};

TEST_F(DocumentTest, OpeningAnImageAlreadyReadDoesNotReadTheFileAgain) {
  TDocuments docs;
  const QString path = MakeFile(QStringLiteral("a.gif"), 2);
  std::unique_ptr<TGIFImage> image = ReadGifFile(path);
  ASSERT_TRUE(image);
  // What is on disk now is not what was read: the document shows what was read.
  testing::WriteAnimation(*MakeAnimation(3), path);
  TMDIChild* a = docs.OpenDocument(path, std::move(image));
  ASSERT_NE(a, nullptr);
  EXPECT_TRUE(a->Loaded);
  EXPECT_EQ(a->FileName, path);
  EXPECT_EQ(Delays(*SharedImage()), (std::vector<int>{10, 20}));
  EXPECT_TRUE(messages_.Shown.empty());
}

TEST_F(DocumentTest, NewDocumentsAreNumberedFromOne) {
  TDocuments docs;
  EXPECT_EQ(docs.NewDocument()->FileName, QStringLiteral("Untitled1.gif"));
  TMDIChild* second = docs.NewDocument();
  EXPECT_EQ(second->FileName, QStringLiteral("Untitled2.gif"));
  EXPECT_TRUE(second->Untitled);
  EXPECT_FALSE(second->FromFile);
  EXPECT_EQ(second->DisplayName(), QStringLiteral("Untitled2.gif"));
  EXPECT_EQ(docs.UntitledCounter(), 3);
}

TEST_F(DocumentTest, EditSwitchAndBackReloadsTheEditFromTheWorkingCopy) {
  TDocuments docs;
  TMDIChild* a = docs.OpenDocument(MakeFile(QStringLiteral("a.gif"), 2));
  ASSERT_NE(a, nullptr);
  EditDelay(a, 0, 77);
  EXPECT_TRUE(a->Modified);
  ASSERT_FALSE(a->WorkingCopy.isEmpty());
  EXPECT_TRUE(QFileInfo(a->WorkingCopy).fileName().startsWith(QStringLiteral("~ZQ")));
  EXPECT_EQ(QFileInfo(a->WorkingCopy).permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
            QFileDevice::ReadOwner | QFileDevice::WriteOwner)
      << "the working copy stays private to the user after it is written";
  // Written again, it takes the place of the old one, which leaves nothing behind.
  const QStringList before = QDir(QFileInfo(a->WorkingCopy).path()).entryList(QDir::Files);
  EditDelay(a, 1, 78);
  EXPECT_EQ(DelaysOnDisk(a->WorkingCopy), (std::vector<int>{77, 78}));
  EXPECT_EQ(QDir(QFileInfo(a->WorkingCopy).path()).entryList(QDir::Files), before);

  TMDIChild* b = docs.OpenDocument(MakeFile(QStringLiteral("b.gif"), 3));
  ASSERT_NE(b, nullptr);
  EXPECT_FALSE(a->Loaded);
  EXPECT_TRUE(b->Loaded);
  EXPECT_EQ(Delays(*SharedImage()), (std::vector<int>{10, 20, 30}));

  ASSERT_TRUE(docs.Activate(a));
  EXPECT_TRUE(a->Loaded);
  EXPECT_FALSE(b->Loaded);
  EXPECT_EQ(Delays(*SharedImage()), (std::vector<int>{77, 78}));
  ASSERT_TRUE(docs.Activate(b));
  EXPECT_EQ(Delays(*SharedImage()), (std::vector<int>{10, 20, 30}));
  EXPECT_TRUE(messages_.Shown.empty());
}

TEST_F(DocumentTest, WithOneDocumentActivationReloadsNothing) {
  TDocuments docs;
  TMDIChild* a = docs.OpenDocument(MakeFile(QStringLiteral("a.gif"), 2));
  const std::size_t loads = view_.Loads.size();
  EXPECT_TRUE(docs.Activate(a));
  EXPECT_TRUE(a->Loaded);
  EXPECT_EQ(view_.Loads.size(), loads);
}

TEST_F(DocumentTest, UndoingEverythingOfASavedFileReloadsItAndClearsModified) {
  TDocuments docs;
  const QString path = MakeFile(QStringLiteral("a.gif"), 2);
  TMDIChild* a = docs.OpenDocument(path);
  EditDelay(a, 0, 77);
  EditDelay(a, 1, 88);
  const QString copy = a->WorkingCopy;
  a->Undo();
  EXPECT_TRUE(a->Modified);
  EXPECT_EQ(Delays(*SharedImage()), (std::vector<int>{77, 20}));
  a->Undo();
  EXPECT_FALSE(a->Modified);
  EXPECT_TRUE(a->WorkingCopy.isEmpty());
  EXPECT_FALSE(QFile::exists(copy));
  EXPECT_EQ(Delays(*SharedImage()), (std::vector<int>{10, 20}));
  EXPECT_EQ(a->InspectorSelection, QPoint(1, 10)) << "the undone caption names the Delay row";
}

TEST_F(DocumentTest, AnEditThatEmptiesAControlCanStillBeUndone) {
  TDocuments docs;
  TMDIChild* a = docs.OpenDocument(MakeFile(QStringLiteral("a.gif"), 2));
  EditDelay(a, 1, 77);
  EditDelay(a, 1, 0);  // the control now carries nothing; the working copy leaves it out
  EXPECT_NE(SharedImage()->Images().GetFrame(1)->GraphicControlExtension(), nullptr);
  a->Undo();
  EXPECT_EQ(Delays(*SharedImage()), (std::vector<int>{10, 77}));
}

TEST_F(DocumentTest, UndoAfterTrimmingDoesNotRevertToTheFileOnDisk) {
  TDocuments docs;
  TMDIChild* a = docs.OpenDocument(MakeFile(QStringLiteral("a.gif"), 2));
  a->SetMaxUndo(1);
  EditDelay(a, 0, 1);
  EditDelay(a, 0, 2);
  EditDelay(a, 0, 3);  // the first edit is trimmed
  a->Undo();
  a->Undo();
  EXPECT_EQ(a->History.Count(), 0);
  EXPECT_TRUE(a->Modified) << "the first edit is still in the image";
  EXPECT_EQ(Delays(*SharedImage()), (std::vector<int>{1, 20}));
}

TEST_F(DocumentTest, UndoReloadFailureKeepsTheDocumentModified) {
  TDocuments docs;
  const QString path = MakeFile(QStringLiteral("a.gif"), 2);
  TMDIChild* a = docs.OpenDocument(path);
  EditDelay(a, 0, 77);
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write("not a gif");
  f.close();
  a->Undo();
  EXPECT_TRUE(a->Modified);
  EXPECT_TRUE(messages_.Saw(QStringLiteral("Error loading")));
  EXPECT_EQ(docs.Count(), 1);
}

TEST_F(DocumentTest, DeletingTheOnlyFrameIsRefusedWithoutAnEntry) {
  TDocuments docs;
  TMDIChild* a = docs.OpenDocument(MakeFile(QStringLiteral("one.gif"), 1));
  a->DeleteFrame(0);
  EXPECT_EQ(a->History.Count(), 0);
  EXPECT_FALSE(a->Modified);
  ASSERT_EQ(messages_.Shown.size(), 1u);
  EXPECT_EQ(messages_.Shown[0].Text, QStringLiteral("The image one.gif must have, at least, one frame image."));
  EXPECT_EQ(messages_.Shown[0].Type, MessageType::Information);
}

TEST_F(DocumentTest, DeleteMoveAndUndoThroughTheDocument) {
  TDocuments docs;
  TMDIChild* a = docs.OpenDocument(MakeFile(QStringLiteral("a.gif"), 3));
  a->DeleteFrame(1);
  EXPECT_EQ(Delays(*SharedImage()), (std::vector<int>{10, 30}));
  a->MoveFrame(0, 1);
  EXPECT_EQ(Delays(*SharedImage()), (std::vector<int>{30, 10}));
  a->MoveFrame(0, 5);  // beyond the last frame: nothing
  EXPECT_EQ(a->History.Count(), 2);
  a->Undo();
  a->Undo();
  EXPECT_EQ(Delays(*SharedImage()), (std::vector<int>{10, 20, 30}));
  EXPECT_FALSE(a->Modified);
}

TEST_F(DocumentTest, CloseAsksAndYesNoCancelDoWhatTheySay) {
  struct Case {
    int answer;
    bool closed;
    bool written;
  };
  for (const Case c : {Case{mrYes, true, true}, Case{mrNo, true, false}, Case{mrCancel, false, false}}) {
    TDocuments docs;
    const QString path = MakeFile(QStringLiteral("a.gif"), 2);
    TMDIChild* a = docs.OpenDocument(path);
    EditDelay(a, 0, 66);
    messages_.Shown.clear();
    messages_.Answers = {c.answer};
    EXPECT_EQ(docs.Close(a), c.closed) << c.answer;
    ASSERT_EQ(messages_.Shown.size(), 1u);
    EXPECT_EQ(messages_.Shown[0].Text, QStringLiteral("Would you like to save changes to a.gif?"));
    EXPECT_EQ(messages_.Shown[0].Buttons, kYesNoCancel);
    EXPECT_EQ(docs.Count(), c.closed ? 0 : 1);
    EXPECT_EQ(DelaysOnDisk(path)[0], c.written ? 66 : 10) << c.answer;
  }
  EXPECT_TRUE(tmp_.Files().isEmpty()) << "closed documents leave no working copies";
}

TEST_F(DocumentTest, CloseAllSavesEachDocumentsOwnContentAndStopsAtCancel) {
  TDocuments docs;
  const QString pa = MakeFile(QStringLiteral("a.gif"), 2);
  const QString pb = MakeFile(QStringLiteral("b.gif"), 3);
  const QString pc = MakeFile(QStringLiteral("c.gif"), 1);
  TMDIChild* a = docs.OpenDocument(pa);
  EditDelay(a, 0, 11);
  TMDIChild* b = docs.OpenDocument(pb);
  EditDelay(b, 0, 22);
  TMDIChild* c = docs.OpenDocument(pc);
  EditDelay(c, 0, 33);
  ASSERT_EQ(docs.Active(), c);

  messages_.Answers = {mrYes, mrNo, mrCancel};  // a: save, b: discard, c: cancel
  EXPECT_FALSE(docs.CloseAll());
  EXPECT_EQ(DelaysOnDisk(pa), (std::vector<int>{11, 20})) << "a inactive document saves its own content";
  EXPECT_EQ(DelaysOnDisk(pb), (std::vector<int>{10, 20, 30}));
  EXPECT_EQ(DelaysOnDisk(pc), (std::vector<int>{10}));
  ASSERT_EQ(docs.Count(), 1);
  EXPECT_EQ(docs.At(0), c);
  EXPECT_TRUE(c->Modified);
  EXPECT_EQ(Delays(*SharedImage()), (std::vector<int>{33}));

  messages_.Answers = {mrYes};
  EXPECT_TRUE(docs.CloseAll());
  EXPECT_EQ(DelaysOnDisk(pc), (std::vector<int>{33}));
  EXPECT_EQ(docs.Count(), 0);
}

TEST_F(DocumentTest, CloseAllOnAReadOnlyFolderKeepsTheDocumentsItCouldNotSave) {
  TDocuments docs;
  const QString pa = MakeFile(QStringLiteral("a.gif"), 2);
  const QByteArray before = FileBytes(pa);
  TMDIChild* a = docs.OpenDocument(pa);
  EditDelay(a, 0, 19);
  docs.OpenDocument(MakeFile(QStringLiteral("b.gif"), 3));
  messages_.Answers = {mrYes};
  {
    testing::ReadOnlyFolder readOnly(work_);
    EXPECT_FALSE(docs.CloseAll());
  }
  EXPECT_EQ(FileBytes(pa), before);
  ASSERT_EQ(docs.IndexOf(a), 0) << "a document whose save failed stays open";
  EXPECT_TRUE(a->Modified);
  messages_.Answers = {mrYes};
  EXPECT_TRUE(docs.CloseAll());
  EXPECT_EQ(DelaysOnDisk(pa), (std::vector<int>{19, 20}));
}

TEST_F(DocumentTest, UndoWhileTheDiskFailsIsKeptForTheNextSwitch) {
  TDocuments docs;
  TMDIChild* a = docs.OpenDocument(MakeFile(QStringLiteral("a.gif"), 2));
  TMDIChild* b = docs.OpenDocument(MakeFile(QStringLiteral("b.gif"), 2));
  EditDelay(b, 0, 1);
  EditDelay(b, 0, 2);
  {
    testing::ReadOnlyFolder readOnly(tmp_.Path);
    b->Undo();
    EXPECT_EQ(Delays(*SharedImage()), (std::vector<int>{1, 20}));
    EXPECT_FALSE(docs.Activate(a)) << "the working copy still holds the undone edit";
  }
  ASSERT_TRUE(docs.Activate(a));
  ASSERT_TRUE(docs.Activate(b));
  EXPECT_EQ(Delays(*SharedImage()), (std::vector<int>{1, 20}));
  EXPECT_TRUE(b->Modified);
}

TEST_F(DocumentTest, UnmodifiedDocumentsCloseWithoutAQuestionOrAWrite) {
  TDocuments docs;
  const QString path = MakeFile(QStringLiteral("a.gif"), 2);
  const QByteArray before = FileBytes(path);
  docs.OpenDocument(path);
  EXPECT_TRUE(docs.CloseAll());
  EXPECT_TRUE(messages_.Shown.empty());
  EXPECT_EQ(FileBytes(path), before);
}

TEST_F(DocumentTest, ADocumentWhoseFileWentIsNeitherShownNorSavedEmpty) {
  TDocuments docs;
  const QString pa = MakeFile(QStringLiteral("a.gif"), 2);
  TMDIChild* a = docs.OpenDocument(pa);
  TMDIChild* b = docs.OpenDocument(MakeFile(QStringLiteral("b.gif"), 3));
  ASSERT_TRUE(a && b);
  ASSERT_TRUE(QFile::remove(pa));
  const QString elsewhere = work_ + QStringLiteral("/saved.gif");
  chooser_.Names = {elsewhere};
  EXPECT_FALSE(a->SaveDocument(true, true));
  EXPECT_FALSE(QFile::exists(elsewhere));
  EXPECT_FALSE(docs.Activate(a));
  EXPECT_EQ(docs.Active(), b);
  EXPECT_EQ(Delays(*SharedImage()), (std::vector<int>{10, 20, 30}));
  EXPECT_EQ(messages_.Count(pa + QStringLiteral(" is gone")), 2);
  EXPECT_EQ(a->FileName, pa);
}

TEST_F(DocumentTest, SaveAsWritesFirstAndRenamesOnlyOnSuccess) {
  TDocuments docs;
  TMDIChild* d = docs.NewDocument();
  ReplaceSharedImage(MakeAnimation(2));
  d->AddUndoEntry(TUndoKind::Animation, TUndoOperation::Added, -1, -1, -1, QStringLiteral("New Frames"));
  d->SetModified(true);

  const QString bad = tmp_.Path + QStringLiteral("/locked");
  QDir().mkpath(bad);
  chooser_.Names = {bad + QStringLiteral("/new.gif")};
  {
    testing::ReadOnlyFolder readOnly(bad);
    EXPECT_FALSE(d->SaveDocument(true, true));
  }
  EXPECT_EQ(d->FileName, QStringLiteral("Untitled1.gif"));
  EXPECT_TRUE(d->Untitled);
  EXPECT_TRUE(d->Modified);
  EXPECT_EQ(d->History.Count(), 1);
  EXPECT_FALSE(QFile::exists(bad + QStringLiteral("/new.gif")));
  EXPECT_TRUE(messages_.Saw(QStringLiteral("Error saving file!")));

  chooser_.Names = {std::nullopt};
  EXPECT_FALSE(d->SaveDocument(true, true)) << "cancelled";

  chooser_.Names = {work_ + QStringLiteral("/named")};
  EXPECT_TRUE(d->SaveDocument(false, true));
  EXPECT_EQ(chooser_.Asked.back(), QStringLiteral("Untitled1.gif"));
  EXPECT_EQ(d->FileName, work_ + QStringLiteral("/named.gif"));
  EXPECT_FALSE(d->Untitled);
  EXPECT_FALSE(d->Modified);
  EXPECT_EQ(d->History.Count(), 0);
  EXPECT_TRUE(d->WorkingCopy.isEmpty());
  EXPECT_EQ(DelaysOnDisk(d->FileName), (std::vector<int>{10, 20}));
  EXPECT_EQ(docs.SaveFolder, work_);
}

TEST_F(DocumentTest, AFailedSaveKeepsTheUsersFileAndTheDocumentsState) {
  TDocuments docs;
  const QString path = MakeFile(QStringLiteral("a.gif"), 2);
  const QByteArray before = FileBytes(path);
  TMDIChild* a = docs.OpenDocument(path);
  EditDelay(a, 0, 44);
  {
    testing::ReadOnlyFolder readOnly(work_);
    EXPECT_FALSE(a->SaveDocument(false, true));
  }
  EXPECT_EQ(FileBytes(path), before);
  EXPECT_TRUE(a->Modified);
  EXPECT_EQ(a->History.Count(), 1);
  EXPECT_TRUE(a->SaveDocument(false, true));
  EXPECT_EQ(DelaysOnDisk(path), (std::vector<int>{44, 20}));
}

TEST_F(DocumentTest, AFailedWorkingCopyWriteKeepsTheDocumentAndIsRetried) {
  TDocuments docs;
  TMDIChild* a = docs.OpenDocument(MakeFile(QStringLiteral("a.gif"), 2));
  tmp_.MakeUnusable();
  EditDelay(a, 0, 55);
  EXPECT_EQ(docs.Count(), 1);
  EXPECT_TRUE(a->Modified);
  EXPECT_FALSE(a->WorkingCopyCurrent());
  EXPECT_TRUE(messages_.Saw(QStringLiteral("Error saving file!")));
  EXPECT_EQ(Delays(*SharedImage()), (std::vector<int>{55, 20}));

  // The switch cannot put it aside either, so it does not happen.
  TMDIChild* b = docs.NewDocument();
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(docs.Active(), a);
  EXPECT_TRUE(a->Loaded);

  tmp_.MakeUsable();
  EditDelay(a, 1, 56);
  EXPECT_TRUE(a->WorkingCopyCurrent());
  EXPECT_EQ(DelaysOnDisk(a->WorkingCopy), (std::vector<int>{55, 56}));
}

TEST_F(DocumentTest, AFailingDiskAtTheSwitchLeavesThePreviousDocumentActive) {
  TDocuments docs;
  TMDIChild* a = docs.OpenDocument(MakeFile(QStringLiteral("a.gif"), 2));
  TMDIChild* b = docs.OpenDocument(MakeFile(QStringLiteral("b.gif"), 3));
  EditDelay(b, 0, 12);
  b->Undo();  // the working copy is no longer current
  EditDelay(b, 1, 13);
  {
    testing::ReadOnlyFolder readOnly(tmp_.Path);
    messages_.Shown.clear();
    // Editing while the disk fails: reported, and the document stays with its edit.
    EditDelay(b, 2, 14);
    EXPECT_TRUE(messages_.Saw(QStringLiteral("Error saving file!")));
    EXPECT_FALSE(docs.Activate(a));
  }
  EXPECT_EQ(docs.Active(), b);
  EXPECT_TRUE(b->Loaded);
  EXPECT_FALSE(a->Loaded);
  EXPECT_EQ(Delays(*SharedImage()), (std::vector<int>{10, 13, 14}));
  ASSERT_TRUE(docs.Activate(a));
  EXPECT_EQ(Delays(*SharedImage()), (std::vector<int>{10, 20}));
  ASSERT_TRUE(docs.Activate(b));
  EXPECT_EQ(Delays(*SharedImage()), (std::vector<int>{10, 13, 14}));
}

TEST_F(DocumentTest, AnUnreadableWorkingCopyKeepsTheSwitchAndOffersTheFileOnDisk) {
  for (int answer : {mrNo, mrYes}) {
    TDocuments docs;
    TMDIChild* a = docs.OpenDocument(MakeFile(QStringLiteral("a.gif"), 2));
    EditDelay(a, 0, 91);
    TMDIChild* b = docs.OpenDocument(MakeFile(QStringLiteral("b.gif"), 3));
    QFile f(a->WorkingCopy);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("garbage");
    f.close();
    messages_.Shown.clear();
    messages_.Answers = {answer};
    const bool switched = docs.Activate(a);
    EXPECT_TRUE(messages_.Saw(QStringLiteral("Would you like to reopen the file saved on disk?")));
    if (answer == mrNo) {
      EXPECT_FALSE(switched);
      EXPECT_EQ(docs.Active(), b);
      EXPECT_EQ(docs.Count(), 2) << "the window stays";
      EXPECT_TRUE(a->Modified);
    } else {
      EXPECT_TRUE(switched);
      EXPECT_EQ(Delays(*SharedImage()), (std::vector<int>{10, 20}));
      EXPECT_FALSE(a->Modified);
    }
  }
}

TEST_F(DocumentTest, OpeningACorruptFileReportsAndKeepsTheActiveDocument) {
  TDocuments docs;
  TMDIChild* a = docs.OpenDocument(MakeFile(QStringLiteral("a.gif"), 2));
  const QString bad = work_ + QStringLiteral("/bad.gif");
  QFile f(bad);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("GIF89a");
  f.close();
  EXPECT_EQ(docs.OpenDocument(bad), nullptr);
  EXPECT_TRUE(messages_.Saw(QStringLiteral("Error loading %1!").arg(bad)));
  EXPECT_EQ(docs.Active(), a);
  EXPECT_EQ(Delays(*SharedImage()), (std::vector<int>{10, 20}));
}

}  // namespace
}  // namespace movinta::editor
