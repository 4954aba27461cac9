// The sandbox through the real player: the fixture "sandbox" tries, one
// attempt per timer tick, everything a project from an unknown source might
// (writes into its folder and through a link out of it, reads of the host,
// a delete, a program start, a download from 127.0.0.1, the LAN, INI files
// and the registry). In the sandbox each is confined or refused, traced and
// reported, and the project runs on to its end; in the default mode each
// happens as before.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/loopback.h"
#include "support/player_run.h"

namespace morvane::test {
namespace {

// Answers every connection on 127.0.0.1 with a small page until stopped.
class PageServer {
 public:
  PageServer() {
    m_socket = ListenOnLoopback(4, &m_port);
    m_thread = std::thread([this] { Serve(); });
  }
  ~PageServer() {
    m_stop = true;
    m_thread.join();
    close(m_socket);
  }
  int port() const { return m_port; }
  int connections() const { return m_connections; }

 private:
  void Serve() {
    while (!m_stop) {
      pollfd wait{m_socket, POLLIN, 0};
      if (poll(&wait, 1, 100) != 1) continue;
      const int client = accept(m_socket, nullptr, nullptr);
      if (client < 0) continue;
      ++m_connections;
      std::string request;
      char buffer[2048];
      while (request.find("\r\n\r\n") == std::string::npos) {
        pollfd readable{client, POLLIN, 0};
        if (poll(&readable, 1, 10000) != 1) break;
        const ssize_t got = read(client, buffer, sizeof buffer);
        if (got <= 0) break;
        request.append(buffer, size_t(got));
      }
      const std::string reply = "HTTP/1.0 200 OK\r\nContent-Length: 7\r\n\r\nfetched";
      [[maybe_unused]] ssize_t sent = write(client, reply.data(), reply.size());
      close(client);
    }
  }

  int m_socket = -1;
  int m_port = 0;
  std::atomic<bool> m_stop{false};
  std::atomic<int> m_connections{0};
  std::thread m_thread;
};

class SandboxRun : public PlayerRunTest {
 protected:
  // m_dir/exe holds the project (a copy of the fixture) and what it aims at;
  // m_dir/outside is the host beyond the exe folder.
  void SetUp() override {
    PlayerRunTest::SetUp();
    fs::create_directories(exe());
    fs::create_directories(outside());
    fs::copy(kPlayerFixtures + "/sandbox", exe() / "project");
    std::ofstream(exe() / "secret.txt") << "own";
    std::ofstream(exe() / "victim.txt") << "victim";
    std::ofstream(exe() / "port.txt") << server.port();
    std::ofstream(outside() / "secret.txt") << "outside secret";
    std::ofstream(exe() / "tool.sh")
        << "#!/bin/sh\ntouch " << Quote((outside() / "started").string()) << "\n";
    fs::permissions(exe() / "tool.sh", fs::perms::owner_all);
    fs::create_directory_symlink("../outside", exe() / "out");
  }
  fs::path exe() const { return m_dir / "exe"; }
  fs::path outside() const { return m_dir / "outside"; }
  int RunAttempts(const std::string& options) {
    return Run((exe() / "project").string(),
               options + " --quit-after 120000 --dump-vars " + Quote(vars().string()) +
                   " --compat-report " + Quote((m_dir / "compat.json").string()));
  }
  fs::path vars() const { return m_dir / "vars.json"; }
  QJsonObject Section(const char* name) const {
    return QJsonDocument::fromJson(QByteArray::fromStdString(ReadText(vars())))
        .object()
        .value(name)
        .toObject();
  }
  std::string String(const char* name) const {
    return Section("strings").value(name).toString().toStdString();
  }
  // The refusals of the trace, as "what detail".
  std::vector<std::string> Refusals() const {
    std::vector<std::string> refusals;
    for (const std::string& line : TraceLines()) {
      const QJsonObject event = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
      if (event.value("event").toString() != "refused") continue;
      refusals.push_back(event.value("what").toString().toStdString() + " " +
                         event.value("detail").toString().toStdString());
    }
    return refusals;
  }
  std::set<std::string> CompatNames() const {
    std::set<std::string> names;
    const QJsonDocument report =
        QJsonDocument::fromJson(QByteArray::fromStdString(ReadText(m_dir / "compat.json")));
    for (const QJsonValue& entry : report.object().value("entries").toArray())
      names.insert(entry.toObject().value("name").toString().toStdString());
    return names;
  }
  // The one project prefix the sandbox made under XDG_DATA_HOME.
  std::vector<fs::path> SandboxPrefixes() const {
    std::vector<fs::path> prefixes;
    const fs::path root = m_dir / "data" / "morvane" / "sandbox";
    if (!fs::exists(root)) return prefixes;
    for (const auto& entry : fs::directory_iterator(root)) prefixes.push_back(entry.path());
    return prefixes;
  }

  void ExpectConfined() {
    // The project ran through every attempt to its own end.
    EXPECT_EQ(Section("numbers").value("done").toString(), "1");
    EXPECT_EQ(Section("numbers").value("n").toString(), "12");
    const std::string errors = String("errors");
    for (const std::string& expected :
         {std::string("Cannot create file \"D:\\written.txt\". Permission denied"),
          std::string("Cannot create file \"D:\\out\\through-link.txt\". Permission denied"),
          std::string("Opening \"D:\\tool.sh\" is not allowed in the sandbox."),
          "Downloading \"http://127.0.0.1:" + std::to_string(server.port()) +
              "/page\" is not allowed in the sandbox.",
          std::string("The network connection is not available."),
          std::string("Unable to write to D:\\setup.ini")})
      EXPECT_NE(errors.find(expected), std::string::npos) << expected << "\nin: " << errors;
    // The exe folder reads; nothing beyond the drives does.
    EXPECT_EQ(String("own"), "own");
    EXPECT_EQ(String("passwd"), "");
    EXPECT_EQ(String("secret"), "");
    EXPECT_FALSE(fs::exists(exe() / "written.txt"));
    EXPECT_FALSE(fs::exists(outside() / "through-link.txt"));
    EXPECT_FALSE(fs::exists(exe() / "setup.ini"));
    EXPECT_EQ(ReadText(exe() / "victim.txt"), "victim");
    EXPECT_FALSE(fs::exists(outside() / "started"));
    EXPECT_EQ(server.connections(), 0);
    // Settings live in the project's own prefix, not the shared one.
    const std::vector<fs::path> prefixes = SandboxPrefixes();
    ASSERT_EQ(prefixes.size(), 1u);
    EXPECT_EQ(ReadText(prefixes[0] / "windows" / "plain.ini"), "[s]\r\nk=v\r\n");
    EXPECT_TRUE(fs::exists(prefixes[0] / "registry.db"));
    EXPECT_FALSE(fs::exists(m_dir / "prefix" / "windows" / "plain.ini"));
    EXPECT_FALSE(fs::exists(m_dir / "prefix" / "registry.db"));

    std::vector<std::string> refusals = Refusals();
    std::sort(refusals.begin(), refusals.end());
    EXPECT_EQ(refusals, (std::vector<std::string>{
                            "download http://127.0.0.1:" + std::to_string(server.port()) + "/page",
                            "lan action 111",
                            "link out\\secret.txt",
                            "program D:\\tool.sh",
                            "write D:\\out\\through-link.txt",
                            "write D:\\setup.ini",
                            "write D:\\victim.txt",
                            "write D:\\written.txt",
                        }));
    const std::set<std::string> names = CompatNames();
    for (const char* name : {"program start refused", "download refused", "LAN refused",
                             "write to a read-only drive refused", "link out of a drive refused"})
      EXPECT_TRUE(names.count(name)) << name;
  }

  PageServer server;
};

TEST_F(SandboxRun, ConfinesEveryAttemptAndRunsOn) {
  EXPECT_EQ(RunAttempts("--sandbox"), 1);
  ExpectConfined();
}

TEST_F(SandboxRun, DefaultModeIsUnchanged) {
  EXPECT_EQ(RunAttempts(""), 1);
  EXPECT_EQ(Section("numbers").value("done").toString(), "1");
  EXPECT_EQ(ReadText(exe() / "written.txt"), "x");
  EXPECT_EQ(ReadText(outside() / "through-link.txt"), "x");
  EXPECT_NE(String("passwd").find("root"), std::string::npos);
  EXPECT_EQ(String("secret"), "outside secret");
  EXPECT_FALSE(fs::exists(exe() / "victim.txt"));
  EXPECT_EQ(String("fetched"), "fetched");
  EXPECT_EQ(server.connections(), 1);
  EXPECT_EQ(ReadText(exe() / "setup.ini"), "[s]\r\nk=v\r\n");
  EXPECT_EQ(ReadText(m_dir / "prefix" / "windows" / "plain.ini"), "[s]\r\nk=v\r\n");
  EXPECT_TRUE(fs::exists(m_dir / "prefix" / "registry.db"));
  EXPECT_TRUE(SandboxPrefixes().empty());
  EXPECT_TRUE(Refusals().empty());
  // The program runs on its own; it is given a generous while to appear.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!fs::exists(outside() / "started") && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(fs::exists(outside() / "started"));
}

TEST_F(SandboxRun, PlayerConfMakesTheSandboxTheDefault) {
  fs::create_directories(m_dir / "config" / "morvane");
  std::ofstream(m_dir / "config" / "morvane" / "player.conf")
      << "# untrusted projects only\nsandbox = yes\n";
  EXPECT_EQ(RunAttempts(""), 1);
  ExpectConfined();
  // A setting the player cannot read stops it before anything runs.
  std::ofstream(m_dir / "config" / "morvane" / "player.conf") << "sandbox = maybe\n";
  EXPECT_EQ(Run((exe() / "project").string(), "--no-sandbox"), 2);
  EXPECT_NE(ReadText(m_dir / "stderr.txt").find("player.conf:1: 'maybe' is not yes or no"),
            std::string::npos);
}

TEST_F(SandboxRun, NoSandboxOverridesPlayerConf) {
  fs::create_directories(m_dir / "config" / "morvane");
  std::ofstream(m_dir / "config" / "morvane" / "player.conf") << "sandbox = on\n";
  EXPECT_EQ(RunAttempts("--no-sandbox"), 1);
  EXPECT_EQ(ReadText(exe() / "written.txt"), "x");
  EXPECT_TRUE(Refusals().empty());
}

}  // namespace
}  // namespace morvane::test
