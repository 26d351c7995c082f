#include "controls/shell/dialogs/ptopendlg.h"
#include "controls/shell/shell_controls.h"
#include "editor/file_dialogs.h"
#include "editor/forms/edit_dialogs_qt.h"
#include "editor/forms/frame_inspector.h"
#include "editor/forms/palette_editor.h"
#include "tests/editor_app/app_fixture.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

namespace movinta::editor {
namespace {

[[maybe_unused]] auto* const kQt = ::testing::AddGlobalTestEnvironment(new testing::QtEnvironment);

using IntegrationTest = testing::AppTest;

// Once the shell's file dialog shows, types text into its file-name box and presses OK (Cancel
// when text is empty). Gives up on the dialog after a few tries so that a test cannot hang.
void AnswerFileDialog(const QString& text, bool* seen, int tries = 50) {
  QTimer::singleShot(20, [text, seen, tries] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* form = qobject_cast<ptshell::TPTFrmOpenDlg*>(w); form && form->isVisible()) {
        *seen = true;
        if (text.isEmpty()) {
          form->reject();
        } else {
          form->FileNameEdt->setText(text);
          form->accept();
          if (form->isVisible()) form->reject();  // the text was refused
        }
        return;
      }
    if (tries > 0) AnswerFileDialog(text, seen, tries - 1);
  });
}

// The colour each pixel of each frame shows through the global table.
std::vector<gif::TColor> PixelColors(gif::TGIFImage& image) {
  std::vector<gif::TColor> out;
  gif::TGIFColorMap& table = image.GetGlobalColorMap();
  for (int i = 0; i < image.Images().GetCount(); ++i) {
    gif::TGIFSubImage& frame = *image.Images().GetFrame(i);
    for (std::size_t p = 0; p < frame.DataSize(); ++p) out.push_back(table.GetColor(frame.Data()[p]));
  }
  return out;
}

TEST_F(IntegrationTest, DeletingAGlobalEntryThroughTheCommandKeepsEveryPixelsColour) {
  // Entry 0 is unused, so deleting it moves every entry after it down one.
  auto animation = testing::MakeAnimation(4);
  gif::TGIFSubImage& first = *animation->Images().GetFrame(0);
  std::fill_n(first.Data(), first.DataSize(), std::uint8_t{3});
  const QString path = Path(QStringLiteral("shift.gif"));
  testing::WriteAnimation(*animation, path);

  TfrmMain& main = OpenMain();
  ASSERT_NE(main.OpenFile(path), nullptr);
  const std::vector<gif::TColor> before = PixelColors(*SharedImage());
  ASSERT_EQ(SharedImage()->GetGlobalColorMap().GetCount(), 4);

  forms::QtEditDialogs dialogs(&main);
  dialogs.Run = [](QDialog& d) {
    auto* palette = qobject_cast<forms::TfrmPalette*>(&d);
    if (!palette) return false;
    palette->pbPaletteMouseDown(5, 5);  // entry 0
    palette->btnColorDeleteClick();
    return true;
  };
  IEditDialogs* previous = SetEditDialogs(&dialogs);
  const bool applied = main.FrameCommands().ChangeGlobalPalette();
  SetEditDialogs(previous);
  ASSERT_TRUE(applied);
  EXPECT_TRUE(messages_.Shown.empty());

  // The stored table is padded to a power of two; what matters is that entries moved down.
  EXPECT_EQ(SharedImage()->GetGlobalColorMap().GetColor(0), 0xFFFFFFu);
  EXPECT_EQ(PixelColors(*SharedImage()), before);
  TMDIChild* document = main.Documents().Active();
  ASSERT_NE(document, nullptr);
  EXPECT_TRUE(document->Modified);
  // The undo brings the whole animation back, table and pixels.
  main.FrameCommands().Undo();
  EXPECT_EQ(SharedImage()->GetGlobalColorMap().GetColor(0), 0x000000u);
  EXPECT_EQ(PixelColors(*SharedImage()), before);
}

TEST_F(IntegrationTest, TheInspectorFollowsTheSelectedFrameAndItsClosingUnchecksTheMenu) {
  TfrmMain& main = OpenMain();
  forms::TfrmFloat* inspector = main.Inspector();
  ASSERT_NE(inspector, nullptr);
  EXPECT_EQ(inspector, the_frmFloat.data());
  ASSERT_NE(main.OpenFile(Gif(QStringLiteral("a.gif"), 3)), nullptr);
  EXPECT_EQ(inspector->ValueText(forms::rowDelay), QStringLiteral("10"));
  main.ShowFrame(2);
  EXPECT_EQ(inspector->CurrentFrame(), 2);
  EXPECT_EQ(inspector->ValueText(forms::rowDelay), QStringLiteral("30"));

  // An edit made in the inspector goes through the document's history; Undo puts it back and
  // the inspector shows the frame again.
  inspector->gridSelectCell(forms::rowDelay);
  inspector->SetValueText(forms::rowDelay, QStringLiteral("55"));
  inspector->CommitEdit();
  EXPECT_EQ(testing::Delays(*SharedImage()), (std::vector<int>{10, 20, 55}));
  main.EditUndo->trigger();
  EXPECT_EQ(testing::Delays(*SharedImage()), (std::vector<int>{10, 20, 30}));
  EXPECT_EQ(inspector->SelectedRow, forms::rowDelay);

  ASSERT_TRUE(main.mniToolInspector->isChecked());
  inspector->show();
  inspector->close();
  EXPECT_FALSE(inspector->isVisible());
  EXPECT_FALSE(main.mniToolInspector->isChecked());

  // Closing the last document empties it.
  ASSERT_TRUE(main.CloseDocument(main.Documents().Active()));
  EXPECT_FALSE(inspector->tabImgInfo->isEnabled());
}

TEST_F(IntegrationTest, TheOpenCommandRunsTheShellDialogAndKeepsItsState) {
  TfrmMain& main = OpenMain();
  const QString path = Gif(QStringLiteral("picked.gif"), 2);
  bool seen = false;
  AnswerFileDialog(path, &seen);
  main.FileOpenExecute();
  EXPECT_TRUE(seen);
  ASSERT_NE(main.Documents().Active(), nullptr);
  EXPECT_EQ(QFileInfo(main.Documents().Active()->FileName).fileName(), QStringLiteral("picked.gif"));
  SettingsStore store;
  EXPECT_TRUE(store.valueExists(QStringLiteral("FormPos\\OpenDialog"), QStringLiteral("FormState")));

  // Cancel opens nothing.
  seen = false;
  AnswerFileDialog(QString(), &seen);
  main.FileOpenExecute();
  EXPECT_TRUE(seen);
  EXPECT_EQ(main.Documents().Count(), 1);
}

TEST_F(IntegrationTest, TheSaveChooserAddsTheGifExtensionAndAsksBeforeReplacing) {
  ShellFileChooser chooser(nullptr, false);
  bool seen = false;
  AnswerFileDialog(QStringLiteral("out"), &seen);
  EXPECT_EQ(chooser.ChooseSaveName(QString(), tmp_.Path, QStringLiteral("gif")), std::optional<QString>(Path(QStringLiteral("out.gif"))));
  EXPECT_TRUE(seen);

  // An existing file is replaced only when the user says Yes.
  Gif(QStringLiteral("old.gif"), 1);
  QStringList asked;
  const ptshell::TDialogMessageRoutine previous = ptshell::DialogMessageRoutine();
  ptshell::DialogMessageRoutine() = [&asked](QWidget*, const QString&, const QString& text, int, int) {
    asked.push_back(text);
    return ptshell::mbNo;
  };
  AnswerFileDialog(QStringLiteral("old.gif"), &seen);
  const std::optional<QString> refused = chooser.ChooseSaveName(QString(), tmp_.Path, QStringLiteral("gif"));
  ptshell::DialogMessageRoutine() = previous;
  EXPECT_EQ(refused, std::nullopt);
  ASSERT_EQ(asked.size(), 1);
  EXPECT_TRUE(asked.front().contains(QStringLiteral("already exists")));
}

TEST_F(IntegrationTest, TheOpenDialogShowsThePreviewWhileItRunsAndGivesItBackAfter) {
  TfrmMain& main = OpenMain();
  const QString path = Gif(QStringLiteral("seen.gif"), 2);
  QLabel* label = main.PreviewLabel();
  ASSERT_NE(label, nullptr);
  bool inDialog = false;
  QTimer::singleShot(20, [&] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* form = qobject_cast<ptshell::TPTFrmOpenDlg*>(w); form && form->isVisible()) {
        inDialog = label->window() == form && form->findChild<QWidget*>(QStringLiteral("SplitterShell")) &&
                   form->PTShellList1->parentWidget()->objectName() == QStringLiteral("SplitterShell");
        // The label sits beside the look-in row, clear of the tool buttons.
        for (QToolButton* b : form->findChildren<QToolButton*>())
          if (b->isVisible() && b->geometry().intersects(label->geometry())) inDialog = false;
        label->setText(QStringLiteral("x"));
        main.OpenDlgPreviewSelectItem();  // nothing selected: the label empties
        inDialog = inDialog && label->text().isEmpty();
        form->FileNameEdt->setText(path);
        form->accept();
        return;
      }
  });
  main.FileOpenExecute();
  EXPECT_TRUE(inDialog);
  EXPECT_EQ(label->window(), &main);
  EXPECT_FALSE(label->isVisible());
  EXPECT_EQ(main.Documents().Count(), 1);
  SettingsStore store;
  EXPECT_TRUE(store.valueExists(QStringLiteral("FormPos\\OpenDialog"), QStringLiteral("SplitterPreviewPos")));
}

TEST_F(IntegrationTest, ShellErrorsReachTheUserAsErrorBoxes) {
  const auto previous = ptshell::ApplicationExceptionHandler();
  InstallShellErrorHandler();
  ptshell::HandleApplicationException(std::make_exception_ptr(ptshell::EPTShellError("The folder cannot be read.")));
  ptshell::ApplicationExceptionHandler() = previous;
  ASSERT_EQ(messages_.Shown.size(), 1u);
  EXPECT_EQ(messages_.Shown[0].Text, QStringLiteral("The folder cannot be read."));
  EXPECT_EQ(messages_.Shown[0].Type, MessageType::Error);
}

TEST_F(IntegrationTest, FileDialogsStartInAFolderThatExistsElseHomeAndOpenWideEnough) {
  struct Seen {
    QString folder;
    QSize size;
  };
  auto run = [](const QString& folder) {
    Seen seen;
    OpenDialogHooks hooks;
    hooks.Initialized = [&seen](ptshell::TPTDialog* dialog) {
      auto* form = static_cast<ptshell::TPTFileDlg*>(dialog)->Form();
      form->OnFormShow = [&seen, form](QObject*) {
        QTimer::singleShot(0, form, [&seen, form] {
          seen.folder = QString::fromStdString(form->PTShellList1->FolderPath());
          seen.size = form->size();
          form->reject();
        });
      };
    };
    ChooseFilesWithShellDialog(nullptr, QStringLiteral("GIF Images (*.gif)|*.gif"), folder, false, hooks);
    return seen;
  };
  const Seen remembered = run(tmp_.Path);
  EXPECT_EQ(remembered.folder, QDir(tmp_.Path).absolutePath());
  const Seen missing = run(tmp_.Path + QStringLiteral("/Images"));
  EXPECT_EQ(missing.folder, QDir::homePath());
  EXPECT_GE(missing.size.width(), 700);
  EXPECT_GE(missing.size.height(), 400);
}

}  // namespace
}  // namespace movinta::editor
