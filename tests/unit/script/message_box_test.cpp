// The default result of a message box, for the player's boxes and the
// console's alike.

#include <gtest/gtest.h>

#include "script/message_box.h"
#include "script_world.h"

namespace morvane::testing {
namespace {

TEST(MessageBoxes, DefaultButtonResults) {
  struct Case {
    int flags, result;
  } cases[] = {{0x0, 1},
               {0x1, 1},
               {0x101, 2},
               {0x2, 3},
               {0x202, 5},
               {0x3, 6},
               {0x203, 2},
               {0x104, 7},
               {0x5, 4},
               {0x305, 4},
               {0x30, 1},
               // cancel, try again, continue; an index past the last button
               {0x6, 2},
               {0x206, 11},
               {0x234, 6},
               {0xF00, 1}};
  for (const Case& c : cases) {
    EXPECT_EQ(message_box::DefaultResult(c.flags), c.result) << c.flags;
  }
}

TEST(MessageBoxes, ConsoleTakesTheDefaultButton) {
  ScriptWorld world(ScriptEngine::Mode::kParsed, false);
  // Yes/No with a question mark and the second button as default, unanswered.
  EXPECT_EQ(world.Run("20(\"Sure?\",\"Ask\",292)"), "");
  EXPECT_EQ(world.Num("_result"), 7);
}

}  // namespace
}  // namespace morvane::testing
