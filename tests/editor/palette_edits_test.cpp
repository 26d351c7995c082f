#include "editor/model/palette_edits.h"
#include "gif_fixture.h"

#include <gtest/gtest.h>

#include <vector>

namespace movinta::editor {
namespace {

TEST(PaletteEdits, TransparentIndexKeepsAnEntryAndFollowsADeletion) {
  const auto animation = testing::MakeTwinBlackAnimation();
  gif::TGIFImage& image = *animation;
  gif::TGIFSubImage& frame = *image.Images().GetFrame(1);
  frame.GraphicControlExtension()->SetTransparentColorIndex(2);
  frame.GraphicControlExtension()->SetTransparent(true);
  EXPECT_TRUE(PaletteEntryRequired(image, -1, 2));
  EXPECT_FALSE(PaletteEntryRequired(image, -1, 3));  // black repeats

  frame.GraphicControlExtension()->SetTransparentColorIndex(3);
  PaletteEditSession session(&image, -1);
  ASSERT_TRUE(session.Delete(2));
  const IndexMap map = session.Map();
  EXPECT_EQ(map[3], 2);
  RemapTableUsers(image, -1, map);
  EXPECT_EQ(frame.GraphicControlExtension()->GetTransparentColorIndex(), 2);
  EXPECT_TRUE(frame.Transparent());
}

TEST(MapAfterDelete, MovesLaterEntriesDownAndTwinsTogether) {
  TCmdColorMap table;
  for (gif::TColor c : {0x10u, 0x20u, 0x10u, 0x30u}) table.Add(c);
  const IndexMap a = MapAfterDelete(table, 0);
  EXPECT_EQ((std::vector<int>{a[0], a[1], a[2], a[3]}), (std::vector<int>{1, 0, 1, 2}));
  const IndexMap b = MapAfterDelete(table, 2);
  EXPECT_EQ((std::vector<int>{b[0], b[1], b[2], b[3]}), (std::vector<int>{0, 1, 0, 2}));
}

}  // namespace
}  // namespace movinta::editor
