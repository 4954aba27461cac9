// User functions and threads: arguments, plain and threaded calls, the
// hand-over to the main thread, errors and stops inside functions.

#include <gtest/gtest.h>

#include <thread>

#include "script_world.h"

namespace morvane::testing {
namespace {

// Records on which thread each message box was shown.
class ThreadStage : public ConsoleScriptStage {
 public:
  int32_t MessageBox(int32_t page, std::string_view text, std::string_view caption,
                     int32_t flags) override {
    {
      std::lock_guard lock(m_mutex);
      threads.emplace_back(std::string(text), std::this_thread::get_id());
    }
    return ConsoleScriptStage::MessageBox(page, text, caption, flags);
  }
  std::mutex m_mutex;
  std::vector<std::pair<std::string, std::thread::id>> threads;
};

struct FunctionWorld : ScriptWorld {
  FunctionWorld(std::vector<TFunc> functions, std::vector<int> digits = {2}) : ScriptWorld() {
    session.ReplaceEngine(thread_stage);
    engine = &session.engine();
    engine->SetFunctions(std::move(functions));
    engine->SetThreadDigits(digits);
  }
  // The engine waits for its threads through the stage: it goes first.
  ~FunctionWorld() { session.StopEngine(); }
  ThreadStage thread_stage;
};

TFunc Function(std::string body, int32_t slot = 0) {
  TFunc function;
  function.body = std::move(body);
  function.thread_slot = slot;
  return function;
}

TEST(FunctionsTest, PlainFunctionSeesItsArguments) {
  FunctionWorld world({Function("$seen=$1+\",\"+$2+\",\"+$3")});
  world.values.SetString("3", "old");
  EXPECT_EQ(world.Run("124(\"a\",\"b\")"), "");
  EXPECT_EQ(world.Str("seen"), "a,b,old");
  // An unknown function number does nothing, not even the arguments.
  EXPECT_EQ(world.Run("130(\"z\")"), "");
  EXPECT_EQ(world.Str("1"), "a");
}

TEST(FunctionsTest, ErrorsCarryBothLineNumbers) {
  FunctionWorld world({Function("#a=1\r\n#b=1+")});
  EXPECT_EQ(world.Run("#x=1\r\n124"), "error: Line #2: Line #2: Parsing integer failed.");
}

TEST(FunctionsTest, StopEndsTheFunctionAndItsCallersLoop) {
  FunctionWorld world({Function("#f=#f+1\r\n23\r\n#g=1")});
  EXPECT_EQ(world.Run("2(#i=1,5)\r\n124\r\n#n=#n+1\r\n1\r\n#after=1"), "");
  EXPECT_EQ(world.Num("f"), 1);
  EXPECT_EQ(world.Num("g"), 0);
  EXPECT_EQ(world.Num("n"), 1);  // the pass ends; then the loop and the run end
  EXPECT_EQ(world.Num("after"), 0);
}

TEST(FunctionsTest, RecursionIsBounded) {
  FunctionWorld world({Function("#depth=#depth+1\r\n124")});
  const std::string error = world.Run("124");
  EXPECT_NE(error.find("Stack overflow"), std::string::npos);
  EXPECT_EQ(error.rfind("error: Line #1: Line #2: Line #2: ", 0), 0u) << error;
  EXPECT_GT(world.Num("depth"), 50);
}

TEST(ThreadsTest, NestingOnAWorkerIsBoundedToo) {
  std::string body;
  for (int i = 0; i < kMaxRunDepth + 50; ++i) body += "#d=#d+1\r\n2(#v[#d]=1,1)\r\n";
  for (int i = 0; i < kMaxRunDepth + 50; ++i) body += "1\r\n";
  FunctionWorld world({Function(body, 1)});
  EXPECT_EQ(world.Run("124"), "");
  world.engine->WaitForThreads();
  EXPECT_EQ(world.Num("d"), kMaxRunDepth);
}

TEST(ThreadsTest, ThreadedFunctionRunsWhileItsCallerGoesOn) {
  // The function waits (at most two seconds) for the caller to go on after
  // the call: a call that waited for the function would time it out.
  FunctionWorld world({Function("120(!go=0)&(#k<2000)\r\n#k=#k+1\r\n25(1)\r\n1\r\n#seen=!go", 1)});
  EXPECT_EQ(world.Run("124\r\n5(\"after the call\")\r\n!go=1"), "");
  world.engine->WaitForThreads();
  EXPECT_EQ(world.Num("seen"), 1);
}

TEST(ThreadsTest, PlainFunctionFromAWorkerRunsOnTheMainThread) {
  FunctionWorld world({Function("5(\"worker\")\r\n125\r\n#back=1", 1), Function("5(\"plain\")")});
  EXPECT_EQ(world.Run("124"), "");
  world.engine->WaitForThreads();
  EXPECT_EQ(world.Num("back"), 1);
  ASSERT_EQ(world.thread_stage.threads.size(), 2u);
  // Message boxes are handed to the main thread too.
  EXPECT_EQ(world.thread_stage.threads[0].second, std::this_thread::get_id());
  EXPECT_EQ(world.thread_stage.threads[1].first, "plain");
  EXPECT_EQ(world.thread_stage.threads[1].second, std::this_thread::get_id());
}

TEST(ThreadsTest, ScriptsHandedOverFromOtherThreadsRunOnTheMainThread) {
  FunctionWorld world({});
  std::string error;
  std::thread connection([&] {
    try {
      world.engine->DoUnthreadActions("5(\"lan\")\r\n#x=1+");
    } catch (const std::exception& e) {
      error = e.what();
    }
  });
  while (world.thread_stage.threads.empty()) world.thread_stage.ProcessMainThreadTasks();
  connection.join();
  EXPECT_EQ(world.thread_stage.threads[0].second, std::this_thread::get_id());
  EXPECT_EQ(error, "Line #2: Parsing integer failed.");
}

TEST(ThreadsTest, ErrorsEndTheThreadSilently) {
  FunctionWorld world({Function("#a=1\r\n#b=1+\r\n#c=1", 1), Function("#d=1", 1)});
  EXPECT_EQ(world.Run("124\r\n125\r\n125"), "");
  world.engine->WaitForThreads();
  EXPECT_EQ(world.Num("a"), 1);
  EXPECT_EQ(world.Num("c"), 0);
  EXPECT_EQ(world.Num("d"), 1);
  EXPECT_TRUE(world.Messages().empty());
}

TEST(ThreadsTest, TwoCallsStartTwoThreadsOfTheSlot) {
  FunctionWorld world({Function("25(20)\r\n!done[$1]=1", 1)});
  // Each thread reads $1 after its pause; give each its own value first.
  EXPECT_EQ(world.Run("124(\"1\")\r\n25(5)"), "");
  EXPECT_EQ(world.Run("$1=\"1\"\r\n124(\"2\")"), "");
  world.engine->WaitForThreads();
  EXPECT_TRUE(world.values.GetBoolean("done[2]"));
}

TEST(ThreadsTest, StopOnAWorkerLeavesTheMainThreadAlone) {
  FunctionWorld world({Function("23\r\n#w=1", 1)});
  EXPECT_EQ(world.Run("124\r\n25(30)\r\n#m=1"), "");
  world.engine->WaitForThreads();
  EXPECT_EQ(world.Num("w"), 0);
  EXPECT_EQ(world.Num("m"), 1);
}

}  // namespace
}  // namespace morvane::testing
