// The database declarations' lookup by name.

#include "package/databases.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

TEST(GetDB, FindsTheFirstOfTheNameIgnoringCaseAndLeavesTheRecordOtherwise) {
  const std::vector<TAPDatabase> list = {
      {"Books", "[src]\\books.db", 0}, {"music", "m.db", 0}, {"BOOKS", "second.db", 0}};
  struct Case {
    const char* name;
    bool found;
    const char* file;
  };
  const Case cases[] = {
      {"books", true, "[src]\\books.db"},
      {"MUSIC", true, "m.db"},
      {"films", false, "untouched"},
      {"", false, "untouched"},
  };
  for (const Case& c : cases) {
    TAPDatabase record{"kept", "untouched", 0};
    EXPECT_EQ(GetDB(list, c.name, record), c.found) << c.name;
    EXPECT_EQ(record.file, c.file) << c.name;
    if (!c.found) {
      EXPECT_EQ(record.name, "kept");
    }
  }
}

}  // namespace
}  // namespace morvane
