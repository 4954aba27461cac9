// The LAN's bytes and the command-line record, against tables of cases.

#include "platform/lan_wire.h"
#include "platform/command_line_record.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace morvane {
namespace {

TEST(LanWire, UnitsAndAnnouncements) {
  EXPECT_EQ(LanTextMessage("hello"), "hello\r\n");
  EXPECT_EQ(LanFileAnnouncement("photo.jpg"), "$MORVANE:FILE.photo.jpg\r\n");
  struct Case {
    std::string path, name;
  } names[] = {{"C:\\data\\photo.jpg", "photo.jpg"},
               {"C:photo.jpg", "photo.jpg"},
               {"a/b.c", "b.c"},
               {"plain", "plain"},
               {"C:\\data\\", ""}};
  for (const Case& c : names) EXPECT_EQ(LanFileName(c.path), c.name) << c.path;
  struct Line {
    std::string line;
    std::optional<std::string> name;
  } lines[] = {{"$MORVANE:FILE.photo.jpg", "photo.jpg"},
               {"$MORVANE:FILE.", ""},
               {"$MORVANE:FILE.a.b.c", "a.b.c"},
               {"$MORVANE:FILE", std::nullopt},
               {"$morvane:file.x", std::nullopt},
               {" $MORVANE:FILE.x", std::nullopt},
               {"hello.world", std::nullopt}};
  for (const Line& c : lines) EXPECT_EQ(LanAnnouncedName(c.line), c.name) << c.line;
}

TEST(LanWire, ALineEndsAtItsFirstLfAndIsBounded) {
  using S = LanLineReader::State;
  struct Case {
    std::vector<std::string> parts;
    S state;
    std::string line;
  } cases[] = {
      {{"hello\r\n"}, S::kComplete, "hello"},
      {{"hel", "lo\r", "\nignored"}, S::kComplete, "hello"},
      {{"a\r\r\n"}, S::kComplete, "a\r"},
      {{"\n"}, S::kComplete, ""},
      {{"12345678\r\n"}, S::kComplete, "12345678"},  // exactly the bound, and its CR
      {{"123456789\n"}, S::kTooLong, ""},
      {{"1234", "567890"}, S::kTooLong, ""},  // too long before any LF came
      {{"12345678", "\r"}, S::kReading, ""},
  };
  for (const Case& c : cases) {
    LanLineReader reader(8);
    for (const std::string& part : c.parts) reader.Feed(part);
    EXPECT_EQ(reader.state(), c.state) << c.parts.front();
    if (c.state == S::kComplete) {
      EXPECT_EQ(reader.line(), c.line) << c.parts.front();
    }
  }
}

TEST(CommandLineRecord, RoundTripsAndDropsWhatFollowsTheLastSeparator) {
  const std::vector<std::string> elements = {"Z:\\games\\quiz", "a", "", "b c"};
  EXPECT_EQ(EncodeCommandLine(elements), std::string("Z:\\games\\quiz\x01"
                                                     "a\x01\x01"
                                                     "b c\x01"));
  EXPECT_EQ(DecodeCommandLine(EncodeCommandLine(elements)), elements);
  EXPECT_EQ(DecodeCommandLine("one\x01two"), (std::vector<std::string>{"one"}));
  EXPECT_EQ(DecodeCommandLine(std::string("one\x01two\x01\0three\x01", 14)),
            (std::vector<std::string>{"one", "two"}));
  EXPECT_TRUE(DecodeCommandLine("").empty());
  EXPECT_EQ(InstanceKey("Quiz", 1234), "Quiz1234");
}

}  // namespace
}  // namespace morvane
