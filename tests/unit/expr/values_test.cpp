#include <gtest/gtest.h>

#include <thread>

#include "expr_fixture.h"

namespace morvane {
namespace {

using testing::ExprWorld;

TEST(TValues, ReadingCreatesTheDefaultOfItsKindAndKindsAreSeparate) {
  ExprWorld w;
  EXPECT_EQ(w.values.GetNumber("counter"), 0);
  ASSERT_EQ(w.values.Numbers().size(), 1u);
  EXPECT_EQ(w.values.Numbers()[0].first, "counter");
  w.values.SetNumber("x", 5);
  EXPECT_EQ(w.values.GetString("x"), "");
  EXPECT_FALSE(w.values.GetBoolean("x"));
  EXPECT_EQ(w.values.GetNumber("x"), 5);
}

TEST(TValues, NamesIgnoreSpacesAndAsciiCaseOnly) {
  ExprWorld w;
  w.values.SetString("Name", "Ann");
  EXPECT_EQ(w.values.GetString(" name"), "Ann");
  w.values.SetNumber("Total Sum", 1);
  EXPECT_EQ(w.values.GetNumber("TOTALSUM"), 1);
  // Tabs are no spaces, and letters above 127 keep their case.
  w.values.SetNumber("a\tb", 2);
  EXPECT_EQ(w.values.GetNumber("ab"), 0);
  w.values.SetNumber("\xc9t\xc9", 3);
  EXPECT_EQ(w.values.GetNumber("\xe9t\xe9"), 0);
  EXPECT_EQ(w.values.GetNumber("\xc9T\xc9"), 3);
}

TEST(TValues, IndexesAreEvaluatedAndRoundedHalfToEven) {
  ExprWorld w;
  w.values.SetNumber("i", 3);
  w.values.SetNumber("a[#i]", 7);
  EXPECT_EQ(w.values.GetNumber("a[3]"), 7);
  EXPECT_EQ(w.values.GetNumber("A[ #I ]"), 7);
  EXPECT_EQ(w.values.GetNumber("a[1+2]"), 7);
  w.values.SetNumber("a[1.5]", 1);
  w.values.SetNumber("a[2.5]", 2);
  w.values.SetNumber("a[3.5]", 4);
  EXPECT_EQ(w.values.GetNumber("a[2]"), 2);
  EXPECT_EQ(w.values.GetNumber("a[4]"), 4);
  w.values.SetNumber("a[-0.4]", 9);
  EXPECT_EQ(w.values.GetNumber("a[0]"), 9);
  w.values.SetNumber("a[-2]", 8);
  EXPECT_EQ(w.values.GetNumber("a[0-2]"), 8);
  // In an expression "-" ends the reference: "#a[" has no index text.
  EXPECT_THROW(w.evaluator->Number("#a[-2]"), EvalError);
  // The last character closes the index whatever it is.
  EXPECT_EQ(w.values.GetNumber("a[3)"), 7);
}

TEST(TValues, CreationOrderIsKeptAndIndexVariablesComeFirst) {
  ExprWorld w;
  w.values.SetNumber("b", 1);
  w.values.SetNumber("m[#k]", 2);  // reads k (creating it) before m[0] is made
  w.values.SetNumber("a", 3);
  std::vector<std::string> names;
  for (const auto& [name, value] : w.values.Numbers()) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{"b", "k", "m[0]", "a"}));
}

TEST(TValues, ABadIndexFailsAndChangesNothing) {
  ExprWorld w;
  for (const char* name : {"a[", "a[]", "m[1][2]", "a[x]"}) {
    SCOPED_TRACE(name);
    EXPECT_THROW(w.values.SetNumber(name, 1), EvalError);
    EXPECT_THROW(w.values.GetString(name), EvalError);
  }
  EXPECT_TRUE(w.values.Numbers().empty());
  EXPECT_TRUE(w.values.Strings().empty());
}

TEST(TValues, ManyThreadsShareTheStore) {
  ExprWorld w;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 2000; ++i) {
        w.values.SetNumber("v[" + std::to_string(i % 50) + "]", t);
        w.evaluator->Number("#v[#i] + #shared");
        w.values.SetString("s" + std::to_string(t), std::to_string(i));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(w.values.Numbers().size(), 50u + 2u);  // v[0..49], i, shared
  EXPECT_EQ(w.values.GetString("s3"), "1999");
}

}  // namespace
}  // namespace morvane
