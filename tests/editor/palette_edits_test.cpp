#include "editor/model/palette_edits.h"

#include <gtest/gtest.h>

#include <vector>

namespace movinta::editor {
namespace {

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
