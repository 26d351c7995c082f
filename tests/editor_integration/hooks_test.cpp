#include "editor/forms/edit_dialogs_qt.h"
#include "editor/forms/frame_inspector.h"
#include "editor/forms/palette_editor.h"
#include "tests/editor_app/app_fixture.h"

#include <QTabBar>

#include <gtest/gtest.h>

namespace movinta::editor {
namespace {

[[maybe_unused]] auto* const kQt = ::testing::AddGlobalTestEnvironment(new testing::QtEnvironment);

using IntegrationTest = testing::AppTest;

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

}  // namespace
}  // namespace movinta::editor
