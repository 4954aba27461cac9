// LAN messages and files through the real player, headless, on 127.0.0.1:
// between two players, from a peer written here in a few lines of socket
// code to a player and back, every failure of sending, and hostile peers
// that must neither stop the player nor keep a good message out.

#include "support/player_process.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace morvane::test {
namespace {

// A script for project.yaml's double-quoted strings: lines joined by CR.
std::string Script(const std::vector<std::string>& lines) {
  std::string joined;
  for (const std::string& line : lines) {
    if (!joined.empty()) joined += "\\r";
    for (char c : line) {
      if (c == '\\' || c == '"') joined += '\\';
      joined += c;
    }
  }
  return "\"" + joined + "\"";
}

// A file body with the bytes a line reader would trip on.
const std::string kPhoto =
    std::string("JPEG\r\nline\0two\nthree\r", 22) + std::string(3000, '\xff');

// Listens on 127.0.0.1 and keeps the bytes of every connection, in the order
// they were accepted.
class RawPeer {
 public:
  RawPeer() {
    m_socket = ListenOnLoopback(16, &m_port);
    m_thread = std::thread([this] { Serve(); });
  }
  ~RawPeer() {
    m_stop = true;
    m_thread.join();
    close(m_socket);
  }
  int port() const { return m_port; }
  std::vector<std::string> units() {
    std::lock_guard lock(m_mutex);
    return m_units;
  }

 private:
  void Serve() {
    while (!m_stop) {
      pollfd wait{m_socket, POLLIN, 0};
      if (poll(&wait, 1, 50) != 1) continue;
      const int client = accept(m_socket, nullptr, nullptr);
      if (client < 0) continue;
      std::string bytes;
      char buffer[8192];
      for (;;) {
        pollfd readable{client, POLLIN, 0};
        if (poll(&readable, 1, 10000) != 1) break;
        const ssize_t got = read(client, buffer, sizeof buffer);
        if (got <= 0) break;
        bytes.append(buffer, size_t(got));
      }
      close(client);
      std::lock_guard lock(m_mutex);
      m_units.push_back(std::move(bytes));
    }
  }

  int m_socket = -1;
  int m_port = 0;
  std::atomic<bool> m_stop{false};
  std::mutex m_mutex;
  std::vector<std::string> m_units;
  std::thread m_thread;
};

class Lan : public PlayerRunTest {
 protected:
  // A project folder m_dir/name; its exe folder ([src]) is m_dir.
  fs::path Project(const std::string& name, const std::string& yaml) {
    fs::create_directories(m_dir / name);
    std::ofstream(m_dir / name / "project.yaml") << yaml;
    return m_dir / name;
  }

  // Listens on `port`, collects messages in $got and files in $names, ends
  // with the message quit and stops its server with the message off.
  fs::path Receiver(int port) {
    return Project("receiver",
                   "title: LAN Receiver\n"
                   "on_lan_message: " +
                       Script({"$got=$got+$_str+\"|\"", "0($_str=\"quit\")", "9", "1",
                               "0($_str=\"off\")", "112(\"\")", "1"}) +
                       "\non_lan_file: " + Script({"$names=$names+$_name+\"|\"", "$where=$_file"}) +
                       "\npages:\n  - name: Main\n    client_width: 100\n    client_height: 100\n"
                       "    on_show: " +
                       Script({"110(" + std::to_string(port) + ")", "111(\"\")",
                               "41(\"C:\\ready.txt\",\"1\")"}) +
                       "\n");
  }

  std::unique_ptr<PlayerProcess> StartReceiver(int port, const std::string& options = "") {
    auto receiver =
        std::make_unique<PlayerProcess>(m_dir / "run-receiver", m_runtime, Receiver(port).string(),
                                        "--quit-after 120000 " + options);
    EXPECT_TRUE(WaitUntil(
        [&] { return fs::exists(receiver->c_drive() / "ready.txt") || receiver->Exited(); }));
    EXPECT_FALSE(receiver->Exited()) << ReadText(receiver->trace());
    return receiver;
  }

  static fs::path LanTmp(const PlayerProcess& player) {
    return player.c_drive() / "windows" / "temp" / "QMTEMP" / "LAN.tmp";
  }
};

TEST_F(Lan, TwoPlayersExchangeMessagesAndAFile) {
  const int port = FreePort();
  auto receiver = StartReceiver(port);
  std::ofstream(m_dir / "photo.jpg", std::ios::binary) << kPhoto;
  const fs::path sender =
      Project("sender",
              "title: LAN Sender\npages:\n  - name: Main\n    client_width: 100\n"
              "    client_height: 100\n    on_show: " +
                  Script({"109(\"127.0.0.1\")", "110(" + std::to_string(port) + ")",
                          "113(\"hello\")", "113(\"one.two. three\")", "114(\"[src]photo.jpg\")"}) +
                  "\n");
  PlayerProcess sending(m_dir / "run-sender", m_runtime, sender.string(), "--quit-after 120000");
  ASSERT_TRUE(receiver->WaitForTrace(R"("unit":"file")")) << ReadText(receiver->trace());
  kill(sending.pid(), SIGTERM);
  EXPECT_EQ(sending.Wait(), 1);
  // A worker thread sends on its own thread.
  const fs::path worker =
      Project("worker",
              "title: LAN Worker\nthreads:\n  digits: [3]\nfunctions:\n  - name: Send\n"
              "    thread_slot: 1\n    body: " +
                  Script({"109(\"127.0.0.1\")", "110(" + std::to_string(port) + ")",
                          "113(\"from a worker\")"}) +
                  "\npages:\n  - name: Main\n    client_width: 100\n    client_height: 100\n"
                  "    on_show: \"124\"\n");
  PlayerProcess working(m_dir / "run-worker", m_runtime, worker.string(), "--quit-after 120000");
  ASSERT_TRUE(receiver->WaitForTrace(R"("text":"from a worker")")) << ReadText(receiver->trace());
  kill(working.pid(), SIGTERM);
  EXPECT_EQ(working.Wait(), 1);
  ASSERT_TRUE(SendUnit(port, "quit\r\n"));
  ASSERT_EQ(receiver->Wait(), 1);

  EXPECT_EQ(receiver->Var("strings", "got"), "hello|one.two. three|from a worker|quit|");
  EXPECT_EQ(receiver->Var("strings", "names"), "photo.jpg|");
  EXPECT_EQ(receiver->Var("strings", "where"), "C:\\windows\\temp\\QMTEMP\\LAN.tmp");
  EXPECT_EQ(receiver->Var("strings", "_name"), "photo.jpg");
  EXPECT_EQ(ReadText(LanTmp(*receiver)), kPhoto);
  // Nothing of the body is left beside the received file.
  for (const auto& entry : fs::directory_iterator(LanTmp(*receiver).parent_path()))
    EXPECT_EQ(entry.path().filename(), "LAN.tmp");
  EXPECT_EQ(sending.Var("strings", "_error"), "<unset>");
}

TEST_F(Lan, APeerOfAFewLinesTalksToThePlayer) {
  const int port = FreePort();
  auto receiver = StartReceiver(port);
  // Each unit on a connection of its own, as the peer would send them, with
  // the number of deliveries the player has made once it took the unit.
  struct Unit {
    std::string bytes;
    size_t delivered;
  };
  const std::vector<Unit> units = {
      {"hello\r\n", 1},
      {"lf only\n", 2},
      {"cr kept\r\r\n", 3},
      {"first\nnot read\n", 4},
      {"$morvane:file.case matters\r\n", 5},
      {"no.marker.here\r\n", 6},
      {std::string("caf\xe9\r\n"), 7},
      {"$MORVANE:FILE.\r\n", 7},  // an empty name announces nothing
      {"after empty\r\n", 8},
      {"$MORVANE:FILE.report.final.txt\r\n", 8},
      {kPhoto, 9},
      {"$MORVANE:FILE.second.bin\r\n", 9},
      {"", 10},  // an empty body is an empty file
  };
  for (const Unit& unit : units) {
    ASSERT_TRUE(SendUnit(port, unit.bytes));
    ASSERT_TRUE(receiver->WaitForTrace(R"("event":"lan","unit":")", unit.delivered))
        << ReadText(receiver->trace());
    // An announcement is taken before the next connection opens.
    if (unit.bytes.rfind("$MORVANE", 0) == 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_TRUE(receiver->WaitForTrace(R"("unit":"file")", 2)) << ReadText(receiver->trace());
  ASSERT_TRUE(SendUnit(port, "quit\r\n"));
  ASSERT_EQ(receiver->Wait(), 1);
  EXPECT_EQ(receiver->Var("strings", "got"),
            "hello|lf only|cr kept\r|first|$morvane:file.case matters|no.marker.here|"
            "caf\u00e9|after empty|quit|");
  EXPECT_EQ(receiver->Var("strings", "names"), "report.final.txt|second.bin|");
  EXPECT_EQ(ReadText(LanTmp(*receiver)), "");
}

TEST_F(Lan, EveryFailureOfSendingReachesTheScripts) {
  RawPeer peer;
  const int closed = FreePort();
  // A server whose queue of connections is full lets a connect time out.
  int full_port = 0;
  const int full = ListenOnLoopback(0, &full_port);
  const int queued = Connect(full_port);
  std::ofstream(m_dir / "photo.jpg", std::ios::binary) << kPhoto;
  const std::string at = std::to_string(peer.port());
  // One attempt per tick; a failure ends only its own tick.
  const fs::path sender = Project(
      "sender", "title: LAN Sender\non_error: " + Script({"$errors=$errors+$_error+\"|\""}) +
                    "\npages:\n  - name: Main\n    client_width: 100\n    client_height: 100\n"
                    "    objects:\n      - kind: timer\n        name: 1\n        interval: 400\n"
                    "        on_timer: " +
                    Script({"#n=#n+1",
                            "0(#n=1)",
                            "109(\"127.0.0.1\")",
                            "110(" + at + ")",
                            "113(\"hello\")",
                            "1",
                            "0(#n=2)",
                            "114(\"[src]photo.jpg\")",
                            "1",
                            "0(#n=3)",
                            "114(\"[src]missing.jpg\")",
                            "1",
                            "0(#n=4)",
                            "110(0)",
                            "113(\"port 0\")",
                            "1",
                            "0(#n=5)",
                            "110(" + std::to_string(closed) + ")",
                            "113(\"refused\")",
                            "1",
                            "0(#n=6)",
                            "109(\"\")",
                            "110(" + at + ")",
                            "113(\"no host\")",
                            "1",
                            "0(#n=7)",
                            "109(\"127.0.0.1\")",
                            "110(70000)",
                            "113(\"bad port\")",
                            "1",
                            "0(#n=8)",
                            "110(" + std::to_string(full_port) + ")",
                            "113(\"timed out\")",
                            "1",
                            "0(#n=9)",
                            "#done=1",
                            "9",
                            "1"}) +
                    "\n");
  PlayerProcess sending(m_dir / "run-sender", m_runtime, sender.string(), "--quit-after 120000");
  ASSERT_EQ(sending.Wait(), 1);
  EXPECT_EQ(sending.Var("numbers", "done"), "1");
  const std::string errors = sending.Var("strings", "errors");
  for (const std::string& expected :
       {"Cannot open file \"Z:" + fs::path(m_dir).string() + "/missing.jpg\"",
        std::string("No port is set for the network connection."),
        std::string("Connection refused"),
        std::string("No host is set for the network connection."),
        std::string("Port 70000 is not a valid port number."),
        std::string("Socket operation timed out")}) {
    std::string wanted = expected;
    for (char& c : wanted)
      if (c == '/') c = '\\';
    EXPECT_NE(errors.find(wanted), std::string::npos) << wanted << "\nin: " << errors;
  }
  // Nothing went out before a failure: the peer saw the message, the first
  // file's announcement and body, and the second one's announcement alone.
  EXPECT_TRUE(WaitUntil([&] { return peer.units().size() >= 4; }));
  close(queued);
  close(full);
  EXPECT_EQ(peer.units(), (std::vector<std::string>{"hello\r\n", "$MORVANE:FILE.photo.jpg\r\n",
                                                    kPhoto, "$MORVANE:FILE.missing.jpg\r\n"}));
}

TEST_F(Lan, ABigFileGoesOutWhileThePagesGoOn) {
  const size_t kSize = size_t{32} << 20;
  {
    std::string big(kSize, '\0');
    for (size_t i = 0; i < kSize; ++i) big[i] = char(i * 7 + i / 4096);
    std::ofstream(m_dir / "big.bin", std::ios::binary) << big;
  }
  int listener_port = 0;
  const int listener = ListenOnLoopback(4, &listener_port);
  // The page's timer writes one more letter each tick while the body goes out.
  const fs::path sender = Project(
      "sender",
      "title: LAN Big\npages:\n  - name: Main\n    client_width: 100\n"
      "    client_height: 100\n    on_show: " +
          Script({"109(\"127.0.0.1\")", "110(" + std::to_string(listener_port) + ")",
                  "114(\"[src]big.bin\")"}) +
          "\n    objects:\n      - kind: timer\n        name: 1\n        interval: 50\n"
          "        on_timer: " +
          Script({"$t=$t+\"x\"", "41(\"C:\\ticks.txt\",$t)"}) + "\n");
  PlayerProcess sending(m_dir / "run-sender", m_runtime, sender.string(), "--quit-after 120000");
  auto accept_one = [&] {
    pollfd wait{listener, POLLIN, 0};
    return poll(&wait, 1, 60000) == 1 ? accept(listener, nullptr, nullptr) : -1;
  };
  auto read_all = [](int s) {
    std::string bytes;
    char buffer[65536];
    for (;;) {
      pollfd readable{s, POLLIN, 0};
      if (poll(&readable, 1, 60000) != 1) break;
      const ssize_t got = read(s, buffer, sizeof buffer);
      if (got <= 0) break;
      bytes.append(buffer, size_t(got));
    }
    close(s);
    return bytes;
  };
  const int announcement = accept_one();
  ASSERT_GE(announcement, 0);
  EXPECT_EQ(read_all(announcement), "$MORVANE:FILE.big.bin\r\n");
  const int body = accept_one();
  ASSERT_GE(body, 0);
  // The body waits for this peer, which reads nothing yet; the page ticks on.
  const fs::path ticks = sending.c_drive() / "ticks.txt";
  const size_t ticked = fs::exists(ticks) ? fs::file_size(ticks) : 0;
  EXPECT_TRUE(WaitUntil([&] { return fs::exists(ticks) && fs::file_size(ticks) >= ticked + 3; }));
  const std::string received = read_all(body);
  EXPECT_EQ(received.size(), kSize);
  EXPECT_TRUE(received == ReadText(m_dir / "big.bin"));
  close(listener);
  kill(sending.pid(), SIGTERM);
  EXPECT_EQ(sending.Wait(), 1);
  EXPECT_EQ(sending.Var("strings", "_error"), "<unset>");
}

TEST_F(Lan, HostilePeersNeitherStopThePlayerNorKeepAGoodMessageOut) {
  const int port = FreePort();
  auto receiver = StartReceiver(port, "--lan-idle-timeout 1500");

  // An endless line: the player drops it once it passes the bound.
  {
    const int s = Connect(port);
    ASSERT_GE(s, 0);
    const std::string chunk(64 * 1024, 'x');
    for (int i = 0; i < 64 && WriteAll(s, chunk); ++i) {
    }
    close(s);
  }
  EXPECT_TRUE(receiver->WaitForTrace(R"("reason":"line too long")"));
  // A body nobody announced, and garbage that ends in a line.
  ASSERT_TRUE(SendUnit(port, std::string("\x00\x01\x02 no line end", 16)));
  ASSERT_TRUE(SendUnit(port, std::string("\xff\xfe\x00garbage\n", 11)));
  EXPECT_TRUE(receiver->WaitForTrace(R"("reason":"no line end")"));
  // Hundreds of connections that say nothing, held open.
  std::vector<int> silent;
  for (int i = 0; i < 300; ++i) {
    const int s = Connect(port);
    if (s >= 0) silent.push_back(s);
  }
  EXPECT_GE(silent.size(), 64u);
  // A good message gets through while they are all still open.
  ASSERT_TRUE(SendUnit(port, "good\r\n"));
  EXPECT_TRUE(receiver->WaitForTrace(R"("text":"good")")) << ReadText(receiver->trace());
  EXPECT_TRUE(receiver->WaitForTrace(R"("reason":"evicted")"));
  EXPECT_TRUE(receiver->WaitForTrace(R"("reason":"idle")"));
  for (int s : silent) close(s);
  EXPECT_FALSE(receiver->Exited());

  // The server stops with action 112 and takes nothing more.
  ASSERT_TRUE(SendUnit(port, "off\r\n"));
  EXPECT_TRUE(receiver->WaitForTrace(R"("text":"off")"));
  EXPECT_TRUE(WaitUntil([&] {
    const int s = Connect(port);
    if (s >= 0) close(s);
    return s < 0;
  }));
  kill(receiver->pid(), SIGTERM);
  ASSERT_EQ(receiver->Wait(), 1);
  const std::string got = receiver->Var("strings", "got");
  EXPECT_NE(got.find("good|"), std::string::npos) << got;
  EXPECT_NE(got.find("garbage"), std::string::npos) << got;
}

}  // namespace
}  // namespace morvane::test
