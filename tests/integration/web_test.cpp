// Browsers and Flash objects through the real player, headless: the
// notifications of a local page and of pages served by a loopback server,
// offline mode, FSCommands and external calls from movies written here, the
// Flash codes the bundled Flash player serves, objects made by action 40,
// and a text-only project that never maps the web engine.

#include "support/loopback.h"
#include "support/player_run.h"
#include "support/swf_writer.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

using namespace morvane::test;

// Answers GET requests on 127.0.0.1 with the page of the path, one
// connection at a time, and counts them.
class LoopbackServer {
 public:
  explicit LoopbackServer(std::map<std::string, std::string> pages) : m_pages(std::move(pages)) {
    m_socket = ListenOnLoopback(8, &m_port);
    m_thread = std::thread([this] { Serve(); });
  }
  ~LoopbackServer() {
    m_stop = true;
    m_thread.join();
    close(m_socket);
  }
  int port() const { return m_port; }
  int requests() const { return m_requests; }

 private:
  void Serve() {
    while (!m_stop) {
      pollfd p{m_socket, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      int client = accept(m_socket, nullptr, nullptr);
      if (client < 0) continue;
      std::string request;
      char buffer[2048];
      for (int rounds = 0; rounds < 100 && request.find("\r\n\r\n") == std::string::npos;
           ++rounds) {
        pollfd c{client, POLLIN, 0};
        if (poll(&c, 1, 100) <= 0) continue;
        ssize_t got = read(client, buffer, sizeof buffer);
        if (got <= 0) break;
        request.append(buffer, size_t(got));
      }
      ++m_requests;
      const size_t space = request.find(' ');
      const std::string path =
          space == std::string::npos
              ? ""
              : request.substr(space + 1, request.find(' ', space + 1) - space - 1);
      auto page = m_pages.find(path);
      const std::string body = page == m_pages.end() ? "not here" : page->second;
      const std::string reply =
          std::string(page == m_pages.end() ? "HTTP/1.0 404 Not Found" : "HTTP/1.0 200 OK") +
          "\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) +
          "\r\nConnection: close\r\n\r\n" + body;
      [[maybe_unused]] ssize_t sent = write(client, reply.data(), reply.size());
      close(client);
    }
  }

  std::map<std::string, std::string> m_pages;
  int m_socket = -1;
  int m_port = 0;
  std::atomic<bool> m_stop{false};
  std::atomic<int> m_requests{0};
  std::thread m_thread;
};

void WriteFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

class WebRun : public PlayerRunTest {
 protected:
  // Runs a project; its scripts end it, the limit only guards a hang.
  int Play(const std::string& project, const std::string& options = "") {
    return Run(project, "--quit-after 60000 --dump-vars " + Quote(vars().string()) + " " + options);
  }
  fs::path vars() const { return m_dir / "vars.json"; }
  // The fixture's project in the test's folder, as m_dir/project: its
  // "[src]" and its relative paths are the test's folder.
  std::string Copy(const std::string& fixture) {
    fs::create_directories(m_dir / "project");
    fs::copy_file(kPlayerFixtures + "/" + fixture + "/project.yaml", m_dir / "project/project.yaml",
                  fs::copy_options::overwrite_existing);
    return (m_dir / "project").string();
  }
  // Starts the player on a project that writes ready.txt when it has got
  // where the test looks, and returns what the process maps then.
  std::string MapsWhenReady(const std::string& project) {
    const fs::path ready = m_dir / "ready.txt";
    fs::remove(ready);
    const std::string command =
        "cd " + Quote(m_dir.string()) + " && exec env QT_QPA_PLATFORM=offscreen MORVANE_PREFIX=" +
        Quote((m_dir / "prefix").string()) + " " + Quote(kBinaryDir + "/morvane-player-bare") +
        " --headless --quit-after 60000 " + Quote(project) + " >>" +
        Quote((m_dir / "stderr.txt").string()) + " 2>&1";
    const pid_t pid = fork();
    if (pid == 0) {
      execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    std::string maps;
    for (int i = 0; i < 600 && maps.empty(); ++i) {
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) == pid) return "exited";
      if (fs::exists(ready))
        maps = ReadText("/proc/" + std::to_string(pid) + "/maps");
      else
        usleep(100 * 1000);
    }
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    return maps;
  }
  std::string Var(const std::string& section, const std::string& name) const {
    return DumpEntry(ReadText(vars()), section, name);
  }
  // The trace's web events of an object, as "what detail" lines.
  std::vector<std::string> WebEvents(const std::string& object) const {
    std::vector<std::string> out;
    for (const std::string& line : TraceLines()) {
      if (line.find(R"("event":"web-)") == std::string::npos) continue;
      if (line.find("\"object\":\"" + object + "\"") == std::string::npos) continue;
      out.push_back(line);
    }
    return out;
  }
};

TEST_F(WebRun, LocalPageCallsRefusedPopUpAndCancelledNavigation) {
  ASSERT_EQ(Play(kPlayerFixtures + "/web-browser"), 1);
  // Upper case is a call, "morvane:" alone an empty one; nothing is decoded.
  EXPECT_EQ(Var("strings", "calls"), "next,,open?x=1,done,");
  EXPECT_EQ(Var("numbers", "nw"), "1");
  // The start page, the cancelled one, and the one let through.
  EXPECT_EQ(Var("numbers", "bn"), "3");
  const std::string base = "file://" + kPlayerFixtures + "/web-browser/";
  EXPECT_EQ(Var("strings", "urls"),
            base + "page.html," + base + "cancel-me.html," + base + "second.html,");
  EXPECT_EQ(Var("strings", "_flags"), "0");
  EXPECT_EQ(Var("strings", "_postdata"), "");
  const std::string titles = Var("strings", "titles");
  EXPECT_NE(titles.find("First,"), std::string::npos) << titles;
  EXPECT_NE(titles.find("Second,"), std::string::npos) << titles;
  EXPECT_EQ(titles.find("Never"), std::string::npos) << titles;
  EXPECT_EQ(titles.find("Pop-up"), std::string::npos) << titles;
  // A cancelled navigation and a call are not a completed one.
  EXPECT_EQ(Var("numbers", "an"), "1");
  EXPECT_EQ(ReadText(m_dir / "stderr.txt").find("window 1 opened"), std::string::npos);
}

// Pages served on 127.0.0.1: progress and title, and actions 49, 81 and 82
// land on their pages although every action is followed by a refresh.
TEST_F(WebRun, ServedPagesReportProgressAndTitlesAndGoBackAndForth) {
  LoopbackServer server({{"/a", "<!DOCTYPE html><title>A</title><p>a</p>"},
                         {"/b", "<!DOCTYPE html><title>B</title><p>b</p>"}});
  WriteFile(m_dir / "port.txt", std::to_string(server.port()));
  ASSERT_EQ(Play(Copy("web-served")), 1);
  EXPECT_EQ(Var("strings", "seen"), "A,B,A,B,");
  EXPECT_EQ(Var("numbers", "_progressmax"), "100");
  EXPECT_NE(Var("numbers", "pc"), "<unset>");
  EXPECT_GE(server.requests(), 2);
}

TEST_F(WebRun, OfflineModeRefusesTheServer) {
  LoopbackServer server(
      std::map<std::string, std::string>{{"/a", "<!DOCTYPE html><title>A</title>"}});
  WriteFile(m_dir / "port.txt", std::to_string(server.port()));
  ASSERT_EQ(Play(Copy("web-offline")), 1);
  EXPECT_EQ(server.requests(), 0);
  EXPECT_EQ(Var("strings", "seen").find("A,"), std::string::npos) << Var("strings", "seen");
  EXPECT_EQ(Var("numbers", "an"), "1");
}

// A movie that sends two FSCommands and makes one external call; the
// project plays it (54), rewinds it (103) and loads another (57).
TEST_F(WebRun, MoviesSendCommandsAndCallsAndTheFlashCodesWork) {
  SwfActions first;
  first.FsCommand("hello", "one two").ExternalCall("notify", {"x<y", "2"}).FsCommand("bye", "");
  first.Stop();
  WriteFile(m_dir / "movie.swf", SwfWriter(200, 100, 0, 0, 255).Frame(first).Bytes());
  SwfActions other;
  other.FsCommand("other", "3").Stop();
  WriteFile(m_dir / "other.swf", SwfWriter(200, 100, 0, 255, 0).Frame(other).Bytes());
  ASSERT_EQ(Play(Copy("web-flash")), 1);
  // Nothing before 54: the movie starts paused.
  EXPECT_EQ(Var("strings", "log"),
            "played,hello(one two),call,bye(),hello(one two),call,bye(),other(3),");
  EXPECT_EQ(Var("strings", "_request"),
            "<invoke name=\"notify\" returntype=\"xml\"><arguments><string>x&lt;y</string>"
            "<string>2</string></arguments></invoke>");
}

// Action 40 makes both kinds; they are placed, shown and driven like the
// others (their events are in the trace: no action gives them scripts).
TEST_F(WebRun, Action40MakesBrowsersAndFlashObjects) {
  SwfActions actions;
  actions.FsCommand("made", "at run time").Stop();
  WriteFile(m_dir / "movie.swf", SwfWriter(100, 100, 255, 0, 0).Frame(actions).Bytes());
  WriteFile(m_dir / "project/page.html", "<!DOCTYPE html><title>Made</title>");
  WriteFile(m_dir / "input.txt", "until web-fscommand\nuntil web-complete\nclick 5 5\n");
  ASSERT_EQ(Play(Copy("web-runtime"), "--input " + Quote((m_dir / "input.txt").string())), 1);
  EXPECT_EQ(Var("strings", "_error"), "<unset>");
  const std::vector<std::string> browser = WebEvents("OBJ5");
  const std::vector<std::string> flash = WebEvents("OBJ6");
  bool titled = false, commanded = false;
  for (const std::string& e : browser) titled |= e.find(R"("detail":"Made")") != std::string::npos;
  for (const std::string& e : flash)
    commanded |= e.find(R"("detail":"made at run time")") != std::string::npos;
  EXPECT_TRUE(titled);
  EXPECT_TRUE(commanded);
}

// Print (86) waits for the document and writes it, headless, as a PDF in
// the --print-to folder.
TEST_F(WebRun, PrintWritesTheDocumentToTheFolder) {
  WriteFile(m_dir / "page.html", "<!DOCTYPE html><title>Printed</title><p>Printed</p>");
  WriteFile(m_dir / "project/project.yaml",
            "title: Print\n"
            "pages:\n"
            "  - name: Main\n"
            "    on_show: '10(\"1\",\"\").49(\"[src]page.html\")\r10(\"1\",\"\").86'\n"
            "    objects:\n"
            "      - {kind: browser, name: 1, left: 0, top: 30, width: 300, height: 200}\n"
            "      - {kind: button, name: 2, left: 0, top: 0, width: 20, height: 20, on_mouse_up: "
            "'9'}\n");
  WriteFile(m_dir / "input.txt", "until print\nclick 5 5\n");
  const fs::path prints = m_dir / "prints";
  ASSERT_EQ(
      Play((m_dir / "project").string(), "--print-to " + Quote(prints.string()) + " --input " +
                                             Quote((m_dir / "input.txt").string())),
      1);
  const std::string pdf = ReadText(prints / "print1.pdf");
  EXPECT_EQ(pdf.substr(0, 5), "%PDF-");
  bool traced = false;
  for (const std::string& line : TraceLines())
    traced |= line.find(R"("event":"print","object":"OBJ1","file":")") != std::string::npos &&
              line.find("print1.pdf") != std::string::npos;
  EXPECT_TRUE(traced);
}

// What the process maps once its first page is up: a project of texts and
// buttons no library of the web engine, one with a browser the engine.
TEST_F(WebRun, OnlyProjectsWithWebObjectsMapTheWebEngine) {
  WriteFile(m_dir / "text/project.yaml",
            "title: Text only\n"
            "pages:\n"
            "  - name: Main\n"
            "    on_show: 41(\"[src]ready.txt\",\"x\")\n"
            "    objects:\n"
            "      - {kind: text, name: 1, left: 0, top: 0, width: 50, height: 20, caption: Hi}\n"
            "      - {kind: button, name: 2, left: 0, top: 30, width: 50, height: 20}\n");
  const std::string text = MapsWhenReady((m_dir / "text").string());
  ASSERT_NE(text.find("libQt6Widgets"), std::string::npos) << text;
  EXPECT_EQ(text.find("libQt6WebEngine"), std::string::npos);
  EXPECT_EQ(text.find("libmorvane-web"), std::string::npos);

  WriteFile(
      m_dir / "web/project.yaml",
      "title: Browser\n"
      "pages:\n"
      "  - name: Main\n"
      "    objects:\n"
      "      - {kind: browser, name: 1, left: 0, top: 0, width: 50, height: 20,\n"
      "         file: \"about:blank\", on_navigate_complete: '41(\"[src]ready.txt\",\"x\")'}\n");
  const std::string web = MapsWhenReady((m_dir / "web").string());
  EXPECT_NE(web.find("libQt6WebEngineCore"), std::string::npos) << web.substr(0, 2000);
  EXPECT_NE(web.find("libmorvane-web.so"), std::string::npos);
}

}  // namespace
