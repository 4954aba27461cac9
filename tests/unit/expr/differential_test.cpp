// The fast evaluators against the reference on many generated expressions:
// results, failures and what the evaluations leave in the store must agree.

#include <gtest/gtest.h>

#include <random>

#include "expr_fixture.h"

namespace morvane {
namespace {

using testing::ExprWorld;

class Generator {
 public:
  explicit Generator(uint32_t seed) : m_random(seed) {}

  std::string Numeric(int depth = 0) {
    std::string text = Operand(depth);
    const int terms = Pick(4);
    for (int i = 0; i < terms; ++i) text += Operator() + Operand(depth);
    if (Pick(20) == 0) text += Junk();
    if (Pick(15) == 0) text += "+@70%(" + Operand(depth + 1) + "," + Operand(depth + 1) + ")";
    return text;
  }

  std::string String(int depth = 0) {
    std::string text = StringOperand(depth);
    const int parts = Pick(4);
    for (int i = 0; i < parts; ++i) text += Choose({"+", " +", "+ ", " + "}) + StringOperand(depth);
    return text;
  }

 private:
  int Pick(int n) { return static_cast<int>(m_random() % static_cast<uint32_t>(n)); }
  std::string Choose(std::initializer_list<const char*> options) {
    return *(options.begin() + Pick(static_cast<int>(options.size())));
  }

  std::string Operand(int depth) {
    const int kind = Pick(depth > 2 ? 3 : 7);
    switch (kind) {
      case 0:
        return Choose({"0", "1", "2", "3", "2.5", "10", "0.1", "1E-7", "1e3", "7", "0.000001",
                       "123456789012345678", "1.5E300"});
      case 1:
        return Choose({"#a", "#b", "#neg", "#x[#i]", "#x[2]", "#x[#i+1]", "#u", "#U[1.5]", "!t",
                       "!f", "#__OK", "#__yes", "#big", "#frac", "# a", "#x[", "#a.5"});
      case 2:
        return Choose({"-", "+", "not ", "bnot ", ""}) + Operand(depth + 1);
      case 3:
        return "(" + Numeric(depth + 1) + ")";
      case 4:
        return Choose({"$s", "$plus", "\"1\"", "@10%", "@14%", "@19%", "@26%", "@11%()", "@81%",
                       "@16%", "@99%", "@32%(1)"});
      case 5: {
        const std::string inner = Pick(3) == 0 ? Numeric(depth + 1) : Operand(depth + 1);
        return Choose({"@57%(", "@42%(", "@86%(", "@58%(", "@49%(", "@84%("}) + inner + ")";
      }
      default:
        return Choose({"@1%(\"abc\")", "@48%(\"a\")", "@48%(\"A\")", "@0%(\"a\",\"banana\",2)",
                       "@44%($s)", "@1%($name)", "@37%(\"a\",\"aaa\")", "@41%(\"ff\")",
                       "@1%(3(\"AB\"))", "@57%(#a", "@1%(\"a,b\")", "@44%(\"#a*2\")",
                       "@15%(\"D:\\f.txt\")", "@17%(\"D:\\f.txt\")"});
    }
  }

  std::string Operator() {
    return Choose({"+",      "-",  "*",  "/",  "^",     " div ", " mod ",
                   " cmp ",  "<",  "=",  "<>", " and ", " or ",  " shl ",
                   " band ", "--", "*-", "/-", " + ",   "-+"});
  }

  std::string Junk() { return Choose({")", "(", "\"", ",", "x", "$", "#", "!", "@", " "}); }

  std::string StringOperand(int depth) {
    const int kind = Pick(depth > 1 ? 3 : 5);
    switch (kind) {
      case 0:
        return Choose({"\"abc\"", "\"\"", "\"a\\qb\"", "\"a\\q\\qb\"", "\"1\\br2\"", "\"[src]x\"",
                       "\"x[src]\"", "\"[WIN]\"", "\"$!#~Q\"", "\"a+b\"", "\"a,b\"", "\"(\"",
                       "\"\\q\"", "\"[usb1]y\"", "\"\\", "\"a\" "});
      case 1:
        return Choose({"$name", "$esc", "$path", "#a", "#frac", "!t", "$u", "$x[#i]", "#x[2]", "$s",
                       "xyz", "99(1)", ""});
      case 2:
        return Choose({"3(", "4(", "18(", "35("}) + StringOperandNoCall() + ")";
      case 3:
        return Choose({"0(", "1("}) + StringOperandNoCall() + "," + Choose({"\"b\"", "2", "#i"}) +
               "," + Choose({"1", "2", "#a", "x", "1/0"}) +
               Choose({")", ",\"-\",1,1)", ",\"B\",0,1)"});
      default:
        return Choose({"19(", "20(", "21(", "2(", "46("}) + Numeric(depth + 2) + ")";
    }
  }

  std::string StringOperandNoCall() {
    return Choose({"\"AbC\"", "$name", "\"a\\qB\"", "#a", "\"x,y\"", "$esc", "\"b\""});
  }

  std::mt19937 m_random;
};

void Prepare(ExprWorld& w) {
  w.values.SetNumber("a", 3);
  w.values.SetNumber("b", -0.5);
  w.values.SetNumber("neg", -7);
  w.values.SetNumber("i", 2);
  w.values.SetNumber("x[2]", 4);
  w.values.SetNumber("big", 1e17);
  w.values.SetNumber("frac", 1.0 / 3);
  w.values.SetBoolean("t", true);
  w.values.SetString("s", "2*3");
  w.values.SetString("plus", "+1");
  w.values.SetString("name", "Bob");
  w.values.SetString("esc", "x\\q\\qy");
  w.values.SetString("path", "[src]p");
  w.stage.SetClipboardText("5");
  w.WriteFile("f.txt", "1\n2\n");
}

template <typename Values>
void ExpectSameStore(const Values& a, const Values& b) {
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].first, b[i].first);
    EXPECT_EQ(a[i].second, b[i].second);
  }
}

TEST(FastPathAgreesWithReference, GeneratedExpressions) {
  ExprWorld reference(EvalMode::kReference);
  ExprWorld fast(EvalMode::kFast);
  Prepare(reference);
  Prepare(fast);
  Generator generator(20240315);
  constexpr int kCount = 40000;
  int failures = 0;
  for (int n = 0; n < kCount && failures < 20; ++n) {
    const bool numeric = n % 3 != 2;
    const std::string text = numeric ? generator.Numeric() : generator.String();
    // Each text twice: the second time the fast path runs from its cache.
    for (int round = 0; round < 2; ++round) {
      const std::string want = numeric ? testing::NumberOrError(*reference.evaluator, text)
                                       : testing::StringOrError(*reference.evaluator, text);
      const std::string got = numeric ? testing::NumberOrError(*fast.evaluator, text)
                                      : testing::StringOrError(*fast.evaluator, text);
      if (want != got) {
        ++failures;
        ADD_FAILURE() << "text: " << text << "\nreference: " << want << "\nfast: " << got;
      }
    }
    if (n % 1000 == 0) {
      ExpectSameStore(reference.values.Numbers(), fast.values.Numbers());
      ExpectSameStore(reference.values.Strings(), fast.values.Strings());
      ExpectSameStore(reference.values.Booleans(), fast.values.Booleans());
    }
  }
  ExpectSameStore(reference.values.Numbers(), fast.values.Numbers());
  ExpectSameStore(reference.values.Strings(), fast.values.Strings());
  ExpectSameStore(reference.values.Booleans(), fast.values.Booleans());
  // Most of them must really have taken the fast way.
  const Evaluator::FastStats stats = fast.evaluator->fast_stats();
  EXPECT_GT(stats.fast, stats.fallback) << stats.fast << " fast, " << stats.fallback << " not";
}

}  // namespace
}  // namespace morvane
