#include "tests/editor_app/app_fixture.h"

namespace {
[[maybe_unused]] auto* const kQt = ::testing::AddGlobalTestEnvironment(new movinta::editor::testing::QtEnvironment);
}
