#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "expr_fixture.h"

namespace morvane {
namespace {

using testing::ExprWorld;
using testing::NumberOrError;

struct Case {
  const char* text;
  const char* expected;  // number text, or "error"
};

void SetUpVariables(ExprWorld& w) {
  w.values.SetNumber("a", -3);
  w.values.SetNumber("i", 2);
  w.values.SetNumber("x[2]", 10);
  w.values.SetNumber("half", 2.5);
  w.values.SetNumber("tiny", 0.000001);
  w.values.SetNumber("big", 1e20);
  w.values.SetBoolean("t", true);
  w.values.SetString("s", "2*3");
  w.values.SetString("plus", "+1");
  w.values.SetString("self", "$self+1");
  w.values.SetString("q", "\"");
}

void Check(EvalMode mode, const std::vector<Case>& cases) {
  ExprWorld w(mode);
  SetUpVariables(w);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(NumberOrError(*w.evaluator, c.text), c.expected);
  }
}

const std::vector<Case> kEngineA = {
    {"1+2*3", "7"},
    {"(1+2)*3", "9"},
    {" 1 +  2 ", "3"},
    {"2*3^2", "error"},  // no "^" without a function call
    {"10 div 3", "3"},
    {"-7 DIV 2", "-3"},
    {"7 mod -2", "1"},
    {"-7 mod 2", "-1"},
    {"2.5 div 1", "2"},  // operands rounded half to even
    {"3 cmp 5", "-1"},
    {"5 cmp 5", "0"},
    {"1 < 2", "1"},
    {"2 <= 1", "0"},
    {"1 <> 2", "1"},
    {"1 = 1 = 1", "1"},
    {"1 or 0", "1"},
    {"1 xor 1", "0"},
    {"2 and 3", "1"},
    {"not 0", "1"},
    {"not -2", "0"},
    {"6 band 3", "2"},
    {"6 bor 3", "7"},
    {"6 bxor 3", "5"},
    {"bnot 0", "-1"},
    {"1 shl 4", "16"},
    {"-1 shr 60", "15"},
    {"1 shl 64", "0"},
    {"1+2 cmp 2", "1"},
    {"1/3*3", "1"},  // extended precision
    {"0.1+0.2", "0.3"},
    {"1e3+1E-3", "1000.001"},
    {"1/0", "error"},
    {"0/0", "error"},
    {"5 div 0", "error"},
    {"1e308*10", "error"},
    {"1e308*10/100", "1E307"},
    {"foo", "error"},
    {"1 2", "error"},
    {"(1", "error"},
    {"1)", "error"},
    {"", "error"},
    {".5", "error"},
    {"#a", "-3"},
    {"5-#a", "8"},
    {"#a*#a", "9"},
    {"-#a", "3"},
    {"#x[#i]", "10"},
    {"#X [ #I ]+1", "error"},    // the reference ends at the space: "#X"
    {"#x[2]+#x[1+1]", "error"},  // "#x[1" has index text "1" ... "+1]" is left
    {"#half*2", "5"},
    {"#big/1e19", "10"},
    {"#tiny*1000000", "1"},
    {"!t+!nothing", "1"},
    {"$s", "6"},
    {"1$plus", "2"},
    {"#__yes", "6"},
    {"#__YES+#__no", "13"},
    {"#__TryAgain", "10"},
    {"\"#__YES\"", "error"},  // left alone inside quotes, then not a number
    {"#__NOTHING", "error"},  // "#__NO" then "THING"
    {"(2)+()3", "5"},
    {"#undefined", "0"},
    {"3#a", "0"},        // "3" followed by "-3"
    {"#a#a", "0"},       // one name, "a#a"
    {"$self", "error"},  // refers to itself for ever
};

TEST(NumericEngineA, ReferenceTable) {
  Check(EvalMode::kReference, kEngineA);
}
TEST(NumericEngineA, FastTable) {
  Check(EvalMode::kFast, kEngineA);
}

const std::vector<Case> kEngineB = {
    {"@57%(2)*3^2", "36"},
    {"@57%(2)^3^2", "64"},
    {"@57%(8)/2/2", "2"},
    {"@57%(1)-2-3", "-4"},
    {"@57%(2)*-3", "-6"},
    {"@57%(5)--2", "7"},
    {"@57%(5)-#a", "8"},
    {"@57%(1)/3*3", "0.999999999999999"},
    {"@57%(2)+3*4", "14"},
    {"@57%(2)*(3+4)", "14"},
    {"@57%(2)*((3+4)*2)", "28"},
    {"@57%(2)*(3+4", "error"},
    {"@57%(-2)^2", "4"},
    {"@86%(-8)^0.5", "error"},
    {"@57%(0)^-1", "error"},
    {"@57%(2)^-1", "0.5"},
    {"@57%(4)^0.5", "2"},
    {"@57%(2)^0", "1"},
    {"@57%(1)/0", "error"},
    {"2+@57%(0.000001)", "error"},  // 1E-6: its "-" counts as an operator
    {"@57%(1)+2/-4", "error"},
    {"10 div @57%(3)", "error"},
    {"@57%(3)+#i*2", "7"},
    {"@57%(3)**2", "error"},
    {"@57%(3)*", "error"},
    {"+@57%(3)", "error"},
    {"-@57%(3)", "-3"},
    {"@57%(#a)", "3"},
    {"@57%(#x[#i])", "10"},
    {"@42%(2.5)+@42%(3.5)", "6"},
    {"@57%(1", "error"},   // no ")": an error, not a loop
    {"@57%()", "error"},   // "()" removed first
    {"@32%(1)", "error"},  // not a numeric function
    {"@99%", "error"},
    {"@44%($s)", "6"},
    {"@44%(\"1+\"+\"2\")", "3"},
    {"@1%(\"abc\")*2", "6"},
    {"@1%(\"a,b\")", "3"},
    {"@0%(\"a\",\"banana\",2)", "4"},
    {"@0%(\"ana\",\"banana\",2)", "4"},
    {"@0%(\"x\",\"banana\",1)", "0"},
    {"@37%(\"aa\",\"aaaa\")", "3"},
    {"@77%(\"a,b,c\",\",\")", "3"},
    {"@77%(\"a,b,c,\",\",\")", "3"},
    {"@41%(\"ff\")", "255"},
    {"@39%(\"101\")", "5"},
    {"@40%(\"17\")", "15"},
    {"@40%(\"19\")", "8"},         // "9" is no octal digit but keeps its place
    {"@41%(\"100000000\")", "0"},  // the weights wrap at 32 bits
    {"@41%(\"FFFFFFFF\")", "-1"},
    {"@48%(\"a\")+@48%(\"A\")", "194"},  // one value for both
    {"@48%(\"\")", "error"},
    {"@49%(90)", "1"},
    {"@50%(90)", "0"},
    {"@49%(90.0)", "1"},
    {"@50%(180)", "-1"},
    {"@49%(30)", "0.5"},
    {"@49%(-90)", "-1"},
    {"@50%(60)", "0.5"},
    {"@51%(45)", "1"},
    {"@52%(45)", "1"},
    {"@52%(0)", "error"},
    {"@53%(1)", "90"},
    {"@53%(2)", "error"},
    {"@54%(0)", "90"},
    {"@55%(1)", "45"},
    {"@56%(0)", "90"},
    {"@56%(1)", "45"},
    {"@58%(16)", "4"},
    {"@58%(-1)", "error"},
    {"@84%(1000)", "3"},
    {"@84%(0)", "error"},
    {"@85%(8,2)", "3"},
    {"@85%(8,1)", "error"},
    {"@86%(-2.7)", "-2"},
    {"@70%(-7,2)", "-1"},
    {"@70%(7,0)", "error"},
    {"@70%(-7,2)+1", "error"},  // the argument text runs to the end
    {"1+@70%(7,4)", "4"},
    {"@43%(1)", "0"},
    {"@43%(5,5)", "5"},
    {"@10%", "1024"},
    {"@11%", "768"},
    {"@12%*@13%", "786432"},
    {"@10%()", "1024"},
    {"\"@10%\"", "error"},  // left inside quotes
    {"@14%", "0"},
    {"@19%", "2"},  // C: and D:
    {"@26%*10000+@27%*100+@28%", "20240315"},
    {"@23%*3600+@24%*60+@25%", "47109"},
    {"@29%*10000+@30%*100+@31%", "14021225"},
    {"@80%", "0"},
    {"@81%", "error"},  // before any file search
    {"@2%+@3%+@4%", "0"},
    {"@5%(65)", "0"},
    {"@15%(\"D:\\f.txt\")+@15%(\"D:\\none\")", "1"},
    {"@15%(\"[src]F.TXT\")", "1"},  // names ignore case
    {"@36%(\"C:\\WINDOWS\\system32\")", "1"},
    {"@15%(\"C:\\windows\")", "0"},
    {"@17%(\"D:\\f.txt\")", "3"},
    {"@17%(\"D:\\none\")", "error"},
    {"@18%(\"D:\\f.txt\")", "8"},
    {"@18%(\"D:\\none\")", "4294967295"},
    {"@38%(\"c:\\\")", "1"},
    {"@38%(\"Q\")", "0"},
    {"@21%(\"Q\")", "-1"},
    {"@21%(\"1\")", "0"},
    {"@21%(\"\")", "error"},
    {"@20%(\"FIXED\")", "2"},
    {"@20%(\"UNKNOWN\")", "24"},
    {"@20%(\"fixed\")", "24"},
    {"@6%(\"\")", "error"},          // no page
    {"@68%(\"s\",\"k\")", "error"},  // no INI file bound
};

void WriteFiles(ExprWorld& w) {
  w.WriteFile("f.txt", "a\r\nb\nc\r\n");
}

TEST(NumericEngineB, ReferenceTable) {
  ExprWorld w(EvalMode::kReference);
  SetUpVariables(w);
  WriteFiles(w);
  w.env->drives().Map('C', w.prefix.path() + "/c", DriveKind::kFixed);
  for (const Case& c : kEngineB) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(NumberOrError(*w.evaluator, c.text), c.expected);
  }
}

TEST(NumericEngineB, FastTable) {
  ExprWorld w(EvalMode::kFast);
  SetUpVariables(w);
  WriteFiles(w);
  w.env->drives().Map('C', w.prefix.path() + "/c", DriveKind::kFixed);
  for (const Case& c : kEngineB) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(NumberOrError(*w.evaluator, c.text), c.expected);
  }
}

TEST(NumericFunctions, RandomNumbersStayInRangeAndEachCallIsSeparate) {
  ExprWorld w;
  std::set<std::string> seen;
  for (int i = 0; i < 300; ++i) seen.insert(NumberOrError(*w.evaluator, "@43%(1,6)"));
  EXPECT_EQ(seen, (std::set<std::string>{"1", "2", "3", "4", "5", "6"}));
  // The argument text runs to the end of the expression.
  EXPECT_EQ(NumberOrError(*w.evaluator, "@43%(1,6)+1"), "error");
}

TEST(NumericFunctions, PagesObjectsAndKeysComeFromTheStage) {
  ExprWorld w;
  ConsoleStage::Page menu;
  menu.name = "Menu";
  menu.client_size = {640, 480};
  menu.window_origin = {100, 50};
  menu.client_origin = {104, 80};
  ObjectSnapshot list;
  list.left = 5;
  list.top = 6;
  list.width = 70;
  list.height = 80;
  list.visible = false;
  list.list_items = std::vector<std::string>{"a", "b", "c"};
  list.list_selected = {false, true, true};
  menu.objects["7"] = list;
  ObjectSnapshot sound;
  sound.media_volume = 80;
  sound.media_state = 2;
  menu.objects["9"] = sound;
  ConsoleStage::Page other;
  other.name = "Other";
  other.client_size = {300, 200};
  w.stage.SetPages({menu, other}, 1);
  w.stage.SetPointer({110, 90});
  w.stage.SetKeyState(1, -127);
  w.stage.SetKeyState(20, 1);
  w.stage.SetClipboardText("41");
  w.stage.SetCommandLine({"Z:\\demo.exe", "-a", "b"});
  w.env->SetSearchResults({"x", "y"});
  const std::vector<Case> cases = {
      {"@14%", "1"},
      {"@6%(\"\")", "640"},
      {"@7%(\"other\")", "200"},
      {"@6%(\"nope\")", "error"},
      {"@8%+@9%", "200"},
      {"@64%", "6"},
      {"@65%", "10"},
      {"@66%", "100"},
      {"@67%", "50"},
      {"@2%", "1"},
      {"@3%", "0"},
      {"@5%(1)", "-127"},
      {"@5%(20)", "1"},
      {"@16%+1", "42"},
      {"@80%", "2"},
      {"@81%", "2"},
      {"@45%(\"7\")", "0"},
      {"@72%(\"7\")", "3"},
      {"@73%(\"7\")", "2"},
      {"@74%(\"7\",1)", "0"},
      {"@74%(\"7\",3)", "1"},
      {"@74%(\"7\",4)", "error"},
      {"@78%(\"7\")+@79%(\"7\")", "11"},
      {"@82%(\"7\")*@83%(\"7\")", "5600"},
      {"@46%(\"9\")", "80"},
      {"@47%(\"9\")", "2"},
      {"@46%(\"7\")", "error"},
      {"@72%(\"9\")", "error"},
      {"@45%(\"8\")", "error"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(NumberOrError(*w.evaluator, c.text), c.expected);
  }
}

TEST(NumericFunctions, RegistryAndIniReadsSeeWhatTheActionsWrite) {
  ExprWorld w;
  RegistryAccessor& registry = w.env->registry();
  ASSERT_TRUE(registry.OpenKey("Software\\Test", true));
  registry.Write("flag", true);
  registry.Write("count", int32_t{-12});
  registry.Write("ratio", 0.25);
  registry.Write("name", std::string("Ann"));
  w.WriteFile("s.ini", "[Main]\r\nsize = 12.5\r\nOn=1\r\nhex=0x10\r\n");
  w.env->BindIniFile(*w.env->drives().ToHost("D:\\s.ini"));
  const std::vector<Case> cases = {
      {"@60%(\"FLAG\")", "1"},
      {"@60%(\"none\")", "0"},
      {"@61%(\"flag\")", "1"},
      {"@62%(\"count\")", "-12"},
      {"@63%(\"ratio\")", "0.25"},
      {"@62%(\"ratio\")", "error"},
      {"@63%(\"none\")", "error"},
      {"@68%(\"main\",\"SIZE\")", "12.5"},
      {"@68%(\"main\",\"none\")", "-1"},
      {"@69%(\"Main\",\"on\")", "1"},
      {"@69%(\"Main\",\"hex\")", "1"},
      {"@69%(\"Main\",\"none\")", "0"},
      // Code 59 closes the open key first: afterwards nothing can be read.
      {"@59%(\"software\\test\")", "1"},
      {"@60%(\"flag\")", "0"},
      {"@59%(\"Software\\Nothing\")", "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(NumberOrError(*w.evaluator, c.text), c.expected);
  }
  EXPECT_EQ(testing::StringOrError(*w.evaluator, "29(\"name\")"),
            "error: Invalid data type for 'name'");  // the key was closed by code 59
  ASSERT_TRUE(registry.OpenKey("\\Software\\Test", false));
  EXPECT_EQ(testing::StringOrError(*w.evaluator, "29(\"NAME\")"), "Ann");
  EXPECT_EQ(testing::StringOrError(*w.evaluator, "29(\"count\")"),
            "error: Invalid data type for 'count'");
}

TEST(NumericEvaluator, DeepNestingAndLongTextsEndInTheError) {
  ExprWorld ref(EvalMode::kReference);
  ExprWorld fast(EvalMode::kFast);
  const std::string deep = std::string(100000, '(') + "1" + std::string(100000, ')');
  const std::string long_sum = [] {
    std::string s = "@57%(0)";
    for (int i = 0; i < 3000; ++i) s += "+1";
    return s;
  }();
  for (ExprWorld* w : {&ref, &fast}) {
    EXPECT_EQ(NumberOrError(*w->evaluator, deep), "error");
    EXPECT_EQ(NumberOrError(*w->evaluator, "@57%" + deep), "error");
    EXPECT_EQ(NumberOrError(*w->evaluator, std::string(100000, '-') + "1"), "error");
    EXPECT_EQ(NumberOrError(*w->evaluator, long_sum), "3000");
    std::string index = "1";
    for (int i = 0; i < 1000; ++i) index = "#a[" + index + "]";
    EXPECT_EQ(NumberOrError(*w->evaluator, index), "error");
    w->values.SetString("grow", "$grow$grow");
    EXPECT_EQ(NumberOrError(*w->evaluator, "$grow"), "error");
    // A sensible depth still works.
    EXPECT_EQ(NumberOrError(*w->evaluator, std::string(40, '(') + "2" + std::string(40, ')')), "2");
  }
}

// The player runs under the user's locale; number text keeps its point
// wherever the locale writes a comma.
TEST(NumericEvaluator, NumberTextIsReadWithAPointInEveryLocale) {
  const std::string before = std::setlocale(LC_NUMERIC, nullptr);
  const char* comma_locale = nullptr;
  for (const char* name :
       {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "ru_RU.UTF-8"}) {
    if (std::setlocale(LC_NUMERIC, name)) {
      comma_locale = name;
      break;
    }
  }
  if (!comma_locale) GTEST_SKIP() << "no locale with a decimal comma is installed";
  ExprWorld ref(EvalMode::kReference);
  ExprWorld fast(EvalMode::kFast);
  for (ExprWorld* w : {&ref, &fast}) {
    w->values.SetNumber("third", 1.0 / 3);
    EXPECT_EQ(NumberOrError(*w->evaluator, "1.5+1"), "2.5");
    EXPECT_EQ(NumberOrError(*w->evaluator, "#third*3"), "0.999999999999999");
    EXPECT_EQ(NumberOrError(*w->evaluator, "@57%(2.5)+0.25"), "2.75");
  }
  std::setlocale(LC_NUMERIC, before.c_str());
}

}  // namespace
}  // namespace morvane
