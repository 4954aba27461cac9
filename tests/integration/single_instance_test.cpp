// A second start of a project through the real player, headless: it hands
// its command line to the first, which publishes it and runs its
// command-line script, and then ends (option 15) or runs beside it. Other
// projects run side by side, starts at the same moment make one first, and
// the socket of a killed player is taken over.

#include "support/player_process.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace morvane::test {
namespace {

class SingleInstanceRun : public PlayerRunTest {
 protected:
  // A project folder m_dir/name whose command-line script keeps what it got.
  // `more` goes at the top level.
  fs::path Project(const std::string& name, const std::string& title, bool single,
                   const std::string& more = "") {
    fs::create_directories(m_dir / name);
    std::ofstream(m_dir / name / "project.yaml")
        << "title: " << title << "\n"
        << more << "options:\n  single_instance: " << (single ? "true" : "false")
        << "\n  extract_all: true"
        << "\non_command_line: \"#runs=#runs+1\\r$seen=$seen+#_CMDLineCount+\\\"|\\\"\""
        << "\npages:\n  - name: Main\n    client_width: 100\n    client_height: 100\n";
    return m_dir / name;
  }

  std::unique_ptr<PlayerProcess> Start(const std::string& run, const fs::path& project,
                                       const std::string& arguments = "") {
    return std::make_unique<PlayerProcess>(m_dir / run, m_runtime, project.string(),
                                           "--quit-after 120000", "", arguments);
  }

  // Starts the first instance and waits until it shows its page.
  std::unique_ptr<PlayerProcess> StartFirst(const fs::path& project) {
    auto first = Start("first", project);
    EXPECT_TRUE(first->WaitForTrace(R"({"event":"show","page":1})")) << ReadText(first->trace());
    EXPECT_TRUE(IsFirst(*first));
    return first;
  }

  // A first instance traces no role.
  static bool IsFirst(const PlayerProcess& player) {
    return ReadText(player.trace()).find(R"("event":"instance")") == std::string::npos;
  }

  static int End(PlayerProcess& player) {
    kill(player.pid(), SIGTERM);
    return player.Wait().value_or(-2);
  }

  static std::string WindowsPath(const fs::path& host) {
    std::string path = "Z:" + host.string();
    for (char& c : path)
      if (c == '/') c = '\\';
    return path;
  }
};

TEST_F(SingleInstanceRun, LaterStartsHandOverTheirCommandLinesAndEnd) {
  const fs::path project = Project("project", "Single", true);
  auto first = StartFirst(project);
  struct Case {
    std::string arguments;
    std::string count;
  };
  const Case cases[] = {{"a 'b c'", "3"}, {"", "1"}, {"--not-an-option", "2"}};
  size_t forwarded = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    auto later = Start("later" + std::to_string(forwarded), project, c.arguments);
    // The later start waits for the first's script, then ends before it
    // shows anything.
    EXPECT_EQ(later->Wait(), 1);
    EXPECT_NE(ReadText(first->trace()).find(R"("event":"command-line","count":)" + c.count),
              std::string::npos);
    EXPECT_EQ(Occurrences(ReadText(first->trace()), R"("event":"command-line")"), ++forwarded);
    EXPECT_EQ(ReadText(later->trace()),
              "{\"event\":\"instance\",\"role\":\"later\"}\n{\"event\":\"exit\",\"code\":1}\n");
  }
  EXPECT_EQ(End(*first), 1);
  EXPECT_EQ(first->Var("numbers", "runs"), "3");
  EXPECT_EQ(first->Var("strings", "seen"), "3|1|2|");
  EXPECT_EQ(first->Var("numbers", "_cmdlinecount"), "2");
  EXPECT_EQ(first->Var("strings", "_cmdline[1]"), WindowsPath(project));
  // The last start's pieces, and beyond them what the one before left.
  EXPECT_EQ(first->Var("strings", "_cmdline[2]"), "--not-an-option");
  EXPECT_EQ(first->Var("strings", "_cmdline[3]"), "b c");
}

TEST_F(SingleInstanceRun, ALaterStartLeavesTheFirstsExtractedFilesAlone) {
  const fs::path project =
      Project("project", "Extracting", true, "embedded_files:\n  - \"[src]\\\\keep.txt\"\n");
  fs::create_directories(project / "embedded");
  std::ofstream(project / "embedded" / "1-keep.txt") << "kept";
  // Both starts share one prefix, so one QMTEMP folder.
  const std::string prefix = "MORVANE_PREFIX=" + Quote((m_dir / "prefix").string());
  PlayerProcess first(m_dir / "first", m_runtime, project.string(), "--quit-after 120000", prefix);
  ASSERT_TRUE(first.WaitForTrace(R"({"event":"show","page":1})")) << ReadText(first.trace());
  const fs::path extracted = m_dir / "prefix" / "windows" / "temp" / "QMTEMP" / "keep.txt";
  EXPECT_EQ(ReadText(extracted), "kept");
  PlayerProcess later(m_dir / "later", m_runtime, project.string(), "--quit-after 120000", prefix);
  EXPECT_EQ(later.Wait(), 1);
  EXPECT_EQ(ReadText(extracted), "kept");
  EXPECT_EQ(End(first), 1);
  EXPECT_FALSE(fs::exists(extracted));
}

TEST_F(SingleInstanceRun, APackedExecutableHandsOverWhatIsNoPlayerOption) {
  const fs::path project = Project("project", "Packed", true);
  const fs::path packed = m_dir / "quiz";
  ASSERT_EQ(std::system((Quote(kBinaryDir + "/morvane-pack") + " " + Quote(project.string()) +
                         " -o " + Quote(packed.string()) + " --player " +
                         Quote(kBinaryDir + "/morvane-player-bare") + " >/dev/null")
                            .c_str()),
            0);
  PlayerProcess first(m_dir / "first", m_runtime, "", "--quit-after 120000", "", "",
                      packed.string());
  ASSERT_TRUE(first.WaitForTrace(R"({"event":"show","page":1})")) << ReadText(first.trace());
  PlayerProcess later(m_dir / "later", m_runtime, "", "--quit-after 120000", "",
                      "one --no-transitions two -- --three", packed.string());
  EXPECT_EQ(later.Wait(), 1);
  EXPECT_EQ(End(first), 1);
  EXPECT_EQ(first.Var("numbers", "_cmdlinecount"), "4");
  EXPECT_EQ(first.Var("strings", "_cmdline[1]"), WindowsPath(packed));
  EXPECT_EQ(first.Var("strings", "_cmdline[2]"), "one");
  EXPECT_EQ(first.Var("strings", "_cmdline[3]"), "two");
  EXPECT_EQ(first.Var("strings", "_cmdline[4]"), "--three");
}

TEST_F(SingleInstanceRun, WithoutTheOptionBothRunAndTheFirstStillHears) {
  const fs::path project = Project("project", "Twice", false);
  auto first = StartFirst(project);
  auto second = Start("second", project, "x");
  EXPECT_TRUE(second->WaitForTrace(R"({"event":"show","page":1})"));
  EXPECT_TRUE(first->WaitForTrace(R"("event":"command-line","count":2)"));
  EXPECT_NE(ReadText(second->trace()).find(R"({"event":"instance","role":"later"})"),
            std::string::npos);
  EXPECT_EQ(End(*second), 1);
  EXPECT_EQ(End(*first), 1);
  EXPECT_EQ(first->Var("strings", "_cmdline[2]"), "x");
}

TEST_F(SingleInstanceRun, DifferentProjectsRunSideBySide) {
  // Another title, and the same title with a package of another size.
  auto first = StartFirst(Project("project", "Alpha", true));
  const fs::path other_title = Project("beta", "Beta", true);
  const fs::path other_size = Project("alpha2", "Alpha", true);
  std::ofstream(other_size / "project.yaml", std::ios::app) << "    caption: longer\n";
  std::vector<std::unique_ptr<PlayerProcess>> others;
  others.push_back(Start("beta", other_title));
  others.push_back(Start("alpha2", other_size));
  for (auto& other : others) {
    EXPECT_TRUE(other->WaitForTrace(R"({"event":"show","page":1})"));
    EXPECT_TRUE(IsFirst(*other));
    EXPECT_EQ(End(*other), 1);
  }
  EXPECT_EQ(End(*first), 1);
  EXPECT_EQ(first->Var("numbers", "runs"), "<unset>");
}

TEST_F(SingleInstanceRun, StartsAtTheSameMomentMakeOneFirst) {
  const fs::path project = Project("project", "Race", true);
  std::vector<std::unique_ptr<PlayerProcess>> starts;
  for (int i = 0; i < 4; ++i) starts.push_back(Start("start" + std::to_string(i), project));
  // Every later start ends once the first heard it; the first runs on.
  int firsts = 0;
  PlayerProcess* first = nullptr;
  for (auto& start : starts) {
    // A later start ends without showing its page, the first shows it.
    EXPECT_TRUE(WaitUntil([&] {
      return start->Exited() ||
             ReadText(start->trace()).find(R"("event":"show")") != std::string::npos;
    }));
    if (!start->Exited()) {
      ++firsts;
      first = start.get();
    } else {
      EXPECT_EQ(start->Wait(), 1);
    }
  }
  ASSERT_EQ(firsts, 1);
  EXPECT_TRUE(first->WaitForTrace(R"("event":"command-line")", 3));
  EXPECT_EQ(End(*first), 1);
  EXPECT_EQ(first->Var("numbers", "runs"), "3");
}

TEST_F(SingleInstanceRun, AStartWhileTheFirstEndsBecomesTheFirst) {
  // The first hears a later start, and a while later ends from its
  // command-line script; a start that came meanwhile must not end with it.
  const fs::path project = Project("project", "Ending", true);
  {
    std::string yaml = ReadText(project / "project.yaml");
    const std::string runs = "#runs=#runs+1";
    yaml.replace(yaml.find(runs), runs.size(),
                 R"(#runs=#runs+1\r41(\"C:\\heard.txt\",\"1\")\r25(1500)\r9)");
    std::ofstream(project / "project.yaml") << yaml;
  }
  auto first = StartFirst(project);
  auto ending = Start("ending", project);
  EXPECT_TRUE(WaitUntil([&] { return fs::exists(first->c_drive() / "heard.txt"); }));
  auto next = Start("next", project);
  EXPECT_FALSE(first->Exited());
  EXPECT_EQ(ending->Wait(), 1);
  EXPECT_EQ(first->Wait(), 1);
  EXPECT_TRUE(next->WaitForTrace(R"({"event":"show","page":1})")) << ReadText(next->trace());
  EXPECT_TRUE(IsFirst(*next));
  EXPECT_EQ(End(*next), 1);
}

TEST_F(SingleInstanceRun, TheSocketOfAKilledPlayerIsTakenOver) {
  const fs::path project = Project("project", "Killed", true);
  {
    auto killed = StartFirst(project);
    kill(killed->pid(), SIGKILL);
    killed->Wait();
  }
  auto next = Start("next", project);
  EXPECT_TRUE(next->WaitForTrace(R"({"event":"show","page":1})"));
  EXPECT_TRUE(IsFirst(*next));
  // And it serves the starts after it.
  auto later = Start("later", project, "after");
  EXPECT_EQ(later->Wait(), 1);
  EXPECT_EQ(End(*next), 1);
  EXPECT_EQ(next->Var("strings", "_cmdline[2]"), "after");
}

}  // namespace
}  // namespace morvane::test
