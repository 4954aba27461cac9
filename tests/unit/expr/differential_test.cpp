// The fast evaluators against the reference on many generated expressions:
// results, failures and what the evaluations leave in the store must agree.

#include <gtest/gtest.h>

#include <atomic>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

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
    const int kind = Pick(depth > 2 ? 4 : 8);
    switch (kind) {
      case 0:
        return Choose({"0", "1", "2", "3", "2.5", "10", "0.1", "1E-7", "1e3", "7", "0.000001",
                       "123456789012345678", "1.5E300"});
      case 1:
        return Choose({"#a", "#b", "#neg", "#x[#i]", "#x[2]", "#x[#i+1]", "#u", "#U[1.5]", "!t",
                       "!f", "#__OK", "#__yes", "#big", "#frac", "# a", "#x[", "#a.5"});
      case 2:
        return Variable();
      case 3:
        return Choose({"-", "+", "not ", "bnot ", ""}) + Operand(depth + 1);
      case 4:
        return "(" + Numeric(depth + 1) + ")";
      case 5:
        return Choose({"$s", "$plus", "\"1\"", "@10%", "@14%", "@19%", "@26%", "@11%()", "@81%",
                       "@16%", "@99%", "@32%(1)"});
      case 6: {
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

  // Variables read through their places: plain, indexed by a variable (read
  // directly), by an expression, by a constant, by a truth value; names in
  // any case and spacing; values that engine A reads exactly or only through
  // their number text, and indexes that round, fail or are no number.
  std::string Variable() {
    const std::string index_var = Choose({"i", "I", "h", "q", "r", "w", "huge", "inf", "k", "n"});
    switch (Pick(4)) {
      case 0:
        return "#" + Choose({"d", "e", "p", "m", "z", "D", "d ", "g", "l", "n"});
      case 1:
        return "#" + Choose({"x", "X", "y", "x "}) + "[#" + index_var + "]";
      case 2:
        return "#" + Choose({"x", "y"}) + "[" +
               Choose({"#i*2", "#i-#i", "!t", "#__ok", " 2 ", "#x[#i]", "#h", "#i)", "$s", "#q+0.5",
                       "", "#"}) +
               "]";
      default:
        return "!" + Choose({"t", "f", "v[#i]", "v[2]", "V[#I]", "v[#h]"});
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
        return Choose({"$name",  "$esc",   "$path",  "#a",      "#frac",      "!t",        "$u",
                       "$x[#i]", "#x[2]",  "$s",     "xyz",     "99(1)",      "",          "$mark",
                       "$bs",    "$tail",  "$w[#i]", "$W[#h]",  "#d",         "#x[#huge]", "$w[#n]",
                       "!v[#i]", "\"~Q\"", "\"q\"",  "\"~BR\"", "\"[temp]\"", "\"br\""});
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
  // Values engine A reads as they are, and values it reads only through
  // their number text (more than 15 digits, or no finite binary fraction).
  w.values.SetNumber("d", 0.5);
  w.values.SetNumber("e", 2.75);
  w.values.SetNumber("p", 0.1);
  w.values.SetNumber("m", 123456789.125);
  w.values.SetNumber("z", 999999999999999.5);
  w.values.SetNumber("g", 1e-7);
  w.values.SetNumber("l", 12345678901234.5);
  w.values.SetNumber("n", -3.5);
  w.values.SetNumber("h", 2.5);
  w.values.SetNumber("q", 1.5);
  w.values.SetNumber("r", 2.0000000000000004);
  w.values.SetNumber("w", 0.30000000000000004);
  w.values.SetNumber("huge", 1e300);
  w.values.SetNumber("inf", std::numeric_limits<double>::infinity());
  w.values.SetNumber("x[3]", 0.25);
  w.values.SetNumber("x[-4]", 6);
  w.values.SetNumber("y[4]", 8);
  w.values.SetBoolean("v[2]", true);
  w.values.SetString("w[2]", "two");
  w.values.SetString("w[-4]", "[src]w");
  // Escapes and markers that only form where operands meet.
  w.values.SetString("mark", "$!#");
  w.values.SetString("bs", "a\\");
  w.values.SetString("tail", "x\\q");
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

// TryNumber as a number text, or "error".
std::string TrialOrError(Evaluator& ev, std::string_view text) {
  const std::optional<double> value = ev.TryNumber(text);
  return value ? FloatToText(*value) : "error";
}

// Both worlds change the variables that indexes and places read, so that
// what a plan resolved before must be found again.
void Change(std::mt19937& random, std::initializer_list<ExprWorld*> worlds) {
  const double indexes[] = {2, 3, 2.5, 3.5, -4, 1e300, 0.5, 1.0 / 3};
  const double values[] = {4, -0.5, 0.1, 1e17, 2.25, 1.0 / 3, 7};
  const double index = indexes[random() % std::size(indexes)];
  const double value = values[random() % std::size(values)];
  const bool truth = random() % 2 == 0;
  for (ExprWorld* w : worlds) {
    w->values.SetNumber("i", index);
    w->values.SetNumber("x[2]", value);
    w->values.SetNumber("a", value);
    w->values.SetBoolean("t", truth);
    w->values.SetString("w[2]", truth ? "two" : "[win]");
  }
}

TEST(FastPathAgreesWithReference, GeneratedExpressions) {
  ExprWorld reference(EvalMode::kReference);
  ExprWorld fast(EvalMode::kFast);
  Prepare(reference);
  Prepare(fast);
  std::mt19937 changes(7);
  Generator generator(20240315);
  constexpr int kCount = 40000;
  int failures = 0;
  for (int n = 0; n < kCount && failures < 20; ++n) {
    const bool numeric = n % 3 != 2;
    const std::string text = numeric ? generator.Numeric() : generator.String();
    // One of the rounds of a numeric text is the trial evaluation of
    // conditions, which must agree with the evaluation that raises, effects
    // on the store included.
    const int trial_round = (n / 3) % 2;
    // Each text twice: the second time the fast path runs from its cache,
    // after the variables changed.
    for (int round = 0; round < 2; ++round) {
      if (round == 1) Change(changes, {&reference, &fast});
      const std::string want = numeric ? testing::NumberOrError(*reference.evaluator, text)
                                       : testing::StringOrError(*reference.evaluator, text);
      const std::string got = !numeric ? testing::StringOrError(*fast.evaluator, text)
                              : round == trial_round
                                  ? TrialOrError(*fast.evaluator, text)
                                  : testing::NumberOrError(*fast.evaluator, text);
      if (want != got) {
        ++failures;
        ADD_FAILURE() << "text: " << text << "\nreference: " << want << "\nfast: " << got
                      << (numeric && round == trial_round ? " (trial)" : "");
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

// Threads share the plans of one evaluator and the places the plans have
// found, while another thread moves the index they read: every read must
// come from the element the index named, never from another.
TEST(FastPath, ThreadsShareItsPlansAndPlaces) {
  ExprWorld w(EvalMode::kFast);
  for (int k = 0; k < 8; ++k) {
    w.values.SetNumber("x[" + std::to_string(k) + "]", k);
    w.values.SetString("s[" + std::to_string(k) + "]", std::to_string(k));
  }
  w.values.SetNumber("i", 2);
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    for (int n = 0; !stop; ++n) w.values.SetNumber("i", n % 2 == 0 ? 2 : 5);
  });
  std::atomic<int> wrong{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 3; ++t) {
    readers.emplace_back([&] {
      for (int n = 0; n < 20000; ++n) {
        const double number = w.evaluator->Number("#x[#i]");
        const std::string text = w.evaluator->String("$s[#i]");
        if ((number != 2 && number != 5) || (text != "2" && text != "5")) ++wrong;
      }
    });
  }
  for (std::thread& reader : readers) reader.join();
  stop = true;
  writer.join();
  EXPECT_EQ(wrong, 0);
}

}  // namespace
}  // namespace morvane
