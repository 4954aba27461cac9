#include <gtest/gtest.h>

#include "expr_fixture.h"
#include "util/code_page.h"

namespace morvane {
namespace {

using testing::ExprWorld;
using testing::StringOrError;

struct Case {
  const char* text;
  std::string expected;  // the text, or "error: " and the message
};

void Prepare(ExprWorld& w) {
  w.values.SetString("name", "Bob");
  w.values.SetNumber("n", 2.5);
  w.values.SetBoolean("flag", true);
  w.values.SetString("esc", "x\\q\\qy");
  w.values.SetString("path", "[src]data.txt");
  w.WriteFile("lines.txt", "one\r\ntwo\nthree\n");
  std::string tag(128, '\0');
  tag.replace(0, 3, "TAG");
  tag.replace(3, 5, "Title");
  tag.replace(33, 6, "Artist");
  tag.replace(63, 30, std::string(28, 'A') + "  ");
  tag.replace(93, 4, "1999");
  tag.replace(97, 4, "Note");
  tag[127] = 17;
  w.WriteFile("song.mp3", std::string(300, 'x') + tag);
  w.WriteFile("bin.dat", std::string("ab\0c", 4));
}

const std::vector<Case> kCases = {
    {"\"Hello \"+$name", "Hello Bob"},
    {"\"Hello\" +$name", "Hello\"Bob"},  // the blank is the character dropped
    {"  \"a\"+ \"b\" +\"c\"", "ab\"c"},  // the blank after "b" is dropped, not its quote
    {"\"a+b\"+\"(c+\"", "a+b(c+"},
    {"\"[src]a.txt\"", "D:\\a.txt"},
    {"\"x[src]\"", "x[src]"},
    {"\"[SRC][src]\"", "D:\\[src]"},  // only the first
    {"\"[win]+[sys]\"", "C:\\windows\\+C:\\windows\\System32\\"},
    {"\"[sys]\"", "C:\\windows\\System32\\"},
    {"\"[temp]x\"", "C:\\windows\\temp\\x"},
    {"\"[srcdrive]\"", "D:\\"},
    {"\"[usb2]x\"", "x"},
    {"$path", "D:\\data.txt"},
    {"\"a\\qb\"", "a\"b"},
    {"\"a\\q\\qb\"", "a\\qb"},
    {"\"a\\q\\qb\"+\"\"", "a\"b"},  // decoded again one level up
    {"\"1\\br2\"", "1\r\n2"},
    {"\"1\\br\\br2\"", "1\\br2"},
    {"\"$!#~Q\"", "\\q"},
    {"$esc", "x\\qy"},
    {"#n", "2.5"},
    {"!flag", "True"},
    {"!other", "False"},
    {"#nothing+\"!\"", "0!"},
    {"$none", ""},
    {"", ""},
    {"\"", ""},
    {"xyz", ""},
    {"99(\"a\")", ""},
    {"03(\"A\")", ""},
    {"3 (\"A\")", ""},
    {"0(\"abcdef\",2,3)", "bcd"},
    {"0(\"abcdef\",5,9)", "ef"},
    {"0(\"abcdef\",9,1)", ""},
    {"0(\"abcdef\",-1,2)", "ab"},
    {"0(\"abc\",1,x)", "error: Parsing integer failed."},
    {"1(\"aXbx\",\"x\",\"-\",1,1)", "a-b-"},
    {"1(\"aXbx\",\"x\",\"-\",0,0)", "aXb-"},
    {"1(\"a,b\",\",\",\";\",1,0)", "a;b"},
    {"2(65)+2(321)", "AA"},
    {"3(\"ABC\u00c9\")", "abc\u00c9"},
    {"4(\"abc\")", "ABC"},
    {"3(4(\"x\"))", "x"},
    {"18(\"abc\")", "cba"},
    {"19(255)", "FF"},
    {"19(-1)", "FFFFFFFFFFFFFFFF"},
    {"20(0)", "0"},
    {"20(-5)", "-101"},
    {"21(64)", "100"},
    {"22(\"17\")", "1111"},
    {"23(\"1111\")", "17"},
    {"24(\"11111111\")", "FF"},
    {"25(\"777\")", "1FF"},
    {"26(\"f\")", "1111"},
    {"27(\"FF\")", "377"},
    {"26(\"FFFFFFFF\")", "-1"},
    {"5(\"C:\\dir\\f.txt\")", "C:"},
    {"5(\"\\\\server\\share\\f.txt\")", ""},  // path macros fold "\\\\"
    {"6(\"C:\\dir\\sub\\f.txt\")", "dir\\sub\\"},
    {"7(\"C:\\d\\f.tar.gz\")", "f"},
    {"8(\"C:\\d\\f.tar.gz\")", ".tar.gz"},
    {"8(\"C:\\d.x\\f\")", ""},
    {"11(\"[src]lines.txt\")", "one\r\ntwo\r\nthree"},
    {"45(\"D:\\LINES.TXT\",2)", "two"},
    {"45(\"D:\\lines.txt\",4)", "error: List index out of bounds (3)"},
    {"11(\"D:\\none.txt\")",
     "error: Cannot open file \"D:\\none.txt\". The system cannot find the file specified"},
    {"28(\"D:\\bin.dat\",3)", "c"},
    {"28(\"D:\\bin.dat\",2)", std::string(1, '\0')},
    {"28(\"D:\\bin.dat\",9)", std::string(1, '\0')},
    {"47(\"D:\\bin.dat\")", std::string("ab\0c", 4)},
    {"39(\"D:\\song.mp3\")", "Title"},
    {"40(\"D:\\song.mp3\")", "Artist"},
    {"41(\"D:\\song.mp3\")", std::string(28, 'A') + "  "},
    {"42(\"D:\\song.mp3\")", "1999"},
    {"43(\"D:\\song.mp3\")", "Rock"},
    {"44(\"D:\\song.mp3\")", "Note"},
    {"39(\"D:\\lines.txt\")", ""},
    {"31(\"D:\\lines.txt\")", "error: Failed to read data from executable file."},
    {"35(\"\")", "d41d8cd98f00b204e9800998ecf8427e"},
    {"35(\"The quick brown fox jumps over the lazy dog\")", "9e107d9d372bb6826bd81d3542a419d6"},
    {"36()", ""},
    {"12(\"\")", "010509 PM"},  // an empty value, not an empty argument
    {"12()", "01:05:09 PM"},
    {"13(\".\")", "13.05.09"},
    {"13($none)", "130509"},  // an empty value is no empty argument text
    {"14()", "2024/3/15"},
    {"15(\"-\")", "1402-12-25"},
    {"16(\"\")", "Friday"},
    {"46(1)", "A"},
    {"46(2)", "C"},
    {"46(3)", "D"},
    {"46(4)", ""},
    {"9(0)", "Z:\\morvane-script"},
    {"9(1)", ""},
    {"37()", ""},
    {"38(1)", "error: List index out of bounds (1)"},
    {"34(\"1\")", "error: Object OBJ1 does not exist on the current page"},
};

TEST(StringExpressions, ReferenceTable) {
  ExprWorld w(EvalMode::kReference);
  Prepare(w);
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(StringOrError(*w.evaluator, c.text), c.expected);
  }
}

TEST(StringExpressions, FastTable) {
  ExprWorld w(EvalMode::kFast);
  Prepare(w);
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(StringOrError(*w.evaluator, c.text), c.expected);
  }
}

TEST(StringExpressions, PersianNamesAndListBoxes) {
  ExprWorld w;
  EXPECT_EQ(ToUtf8(w.evaluator->String("16(\"SHAMSI\")"), 1256), "جمعه");
  EXPECT_EQ(ToUtf8(w.evaluator->String("17()"), 1256), "اسفند");
  ConsoleStage::Page page;
  page.name = "Start";
  ObjectSnapshot list;
  list.list_items = std::vector<std::string>{"x", "y", "z"};
  list.list_selected = {true, false, true};
  page.objects["4"] = list;
  page.object_variables["4"]["score"] = "12";
  w.stage.SetPages({page}, 1);
  EXPECT_EQ(w.evaluator->String("34(\"4\")"), "1,3,");
  EXPECT_EQ(w.evaluator->String("33(\"4\",2)"), "y");
  EXPECT_EQ(StringOrError(*w.evaluator, "33(\"4\",0)"), "error: List index out of bounds (-1)");
  EXPECT_EQ(w.evaluator->String("32(\"4\",\"score\")"), "12");
  EXPECT_EQ(w.evaluator->String("37()+38(1)"), "StartStart");
}

TEST(StringExpressions, FailuresInNumericArgumentsAreTheNumericError) {
  ExprWorld w;
  EXPECT_EQ(StringOrError(*w.evaluator, "2(1/0)"), "error: Parsing integer failed.");
  // A string function's failure inside a numeric call is the numeric error.
  EXPECT_EQ(testing::NumberOrError(*w.evaluator, "@1%(11(\"D:\\none\"))"), "error");
  std::string long_concat = "\"\"";
  for (int i = 0; i < 5000; ++i) long_concat += "+\"a\"";
  EXPECT_EQ(w.evaluator->String(long_concat), std::string(5000, 'a'));
}

}  // namespace
}  // namespace morvane
