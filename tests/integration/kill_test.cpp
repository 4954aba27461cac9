// Stores that survive a kill: a player that writes its registry and an INI
// file as fast as it can is killed (SIGKILL) a hundred times, at moments
// spread over its writing; after each kill both stores open and hold what
// one whole write or the next left, never half of one.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "platform/registry_store.h"
#include "support/player_run.h"

namespace morvane::test {
namespace {

class KillRun : public PlayerRunTest {
 protected:
  // Starts the player on the project; its process id.
  pid_t Start(const std::string& project) {
    const std::string command =
        "exec env QT_QPA_PLATFORM=offscreen MORVANE_PREFIX=" + Quote((m_dir / "prefix").string()) +
        " XDG_CONFIG_HOME=" + Quote((m_dir / "config").string()) +
        " XDG_DATA_HOME=" + Quote((m_dir / "data").string()) +
        " XDG_RUNTIME_DIR=" + Quote(m_runtime.string()) + " " +
        Quote(kBinaryDir + "/morvane-player-bare") + " --headless --quit-after 60000 " +
        Quote(project) + " >/dev/null 2>&1";
    const pid_t pid = fork();
    if (pid == 0) {
      execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    return pid;
  }
};

TEST_F(KillRun, RegistryAndIniSurviveAKillAtAnyMoment) {
  const fs::path dir = m_dir / "project";
  fs::create_directories(dir / "scripts");
  // Each pass writes the registry twice (two transactions) and rewrites the
  // INI file with twenty keys.
  std::ofstream(dir / "scripts" / "show.mvs", std::ios::binary)
      << "49(\"HKEY_CURRENT_USER\")\r\n50(\"Software\\Kill\",1)\r\n102(\"C:\\kill.ini\")\r\n"
         "120(1=1)\r\n#n=#n+1\r\n54(\"a\",#n)\r\n54(\"b\",#n)\r\n"
         "2(#i=1,20)\r\n103(\"s\",\"k\"+#i,\"value of a key\")\r\n1\r\n1";
  std::ofstream(dir / "project.yaml")
      << "title: Kill\npages:\n  - name: Main\n    on_show: !file scripts/show.mvs\n"
         "    objects:\n      - {kind: text, name: 1, width: 100, height: 20, caption: k}\n";
  const fs::path ini = m_dir / "prefix" / "kill.ini";
  const fs::path registry = m_dir / "prefix" / "registry.db";
  std::string whole;
  whole += "[s]\r\n";
  for (int i = 1; i <= 20; ++i) whole += "k" + std::to_string(i) + "=value of a key\r\n";
  int written_after_kill = 0;
  for (int kill_number = 0; kill_number < 100; ++kill_number) {
    fs::remove(ini);
    const pid_t pid = Start(dir.string());
    ASSERT_GT(pid, 0);
    // Once the player writes, it is let run a while that differs from one
    // kill to the next (the same moments on every run of the test).
    const auto started = std::chrono::steady_clock::now();
    while (!fs::exists(ini) && std::chrono::steady_clock::now() - started < std::chrono::seconds(60))
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    std::this_thread::sleep_for(std::chrono::microseconds((kill_number * 7919) % 40000));
    kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the player ended before it was killed";

    // The INI file is one of the files a whole write leaves.
    const std::string text = ReadText(ini);
    EXPECT_EQ(whole.compare(0, text.size(), text), 0) << "kill " << kill_number << ":\n" << text;
    EXPECT_TRUE(text.size() == whole.size() || text.rfind("=value of a key\r\n") + 17 == text.size())
        << "kill " << kill_number << ":\n" << text;
    // The registry opens and holds both values of one pass, or the first of
    // the next.
    RegistryStore store(registry.string());
    const auto a = store.GetValue("HKEY_CURRENT_USER", "Software\\Kill", "a");
    const auto b = store.GetValue("HKEY_CURRENT_USER", "Software\\Kill", "b");
    if (a && b) {
      const int32_t first = std::get<int32_t>(*a), second = std::get<int32_t>(*b);
      EXPECT_TRUE(first == second || first == second + 1) << first << " " << second;
      ++written_after_kill;
    } else {
      EXPECT_FALSE(b.has_value()) << "the second value without the first";
    }
    if (HasFailure()) break;
  }
  // Most kills find the player well into its writing.
  EXPECT_GT(written_after_kill, 50);
}

}  // namespace
}  // namespace morvane::test
