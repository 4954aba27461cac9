// The platform services of script actions: the HTTP download against a
// server on 127.0.0.1, the program opener and the folder-search rules.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "platform/file_actions.h"
#include "platform/http_download.h"
#include "platform/program_opener.h"
#include "support/loopback.h"

namespace morvane {
namespace {

class Scratch {
 public:
  Scratch() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "morvane-platform-XXXXXX").string();
    m_path = mkdtemp(pattern.data());
    drives.Map('D', m_path, DriveKind::kFixed);
  }
  ~Scratch() {
    std::error_code error;
    std::filesystem::remove_all(m_path, error);
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(m_path + "/" + name, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }
  const std::string& path() const { return m_path; }
  DriveTable drives;

 private:
  std::string m_path;
};

// Answers one connection on 127.0.0.1 with `response` and keeps the request.
class OneShotServer {
 public:
  explicit OneShotServer(std::string response) : m_response(std::move(response)) {
    m_socket = test::ListenOnLoopback(1, &m_port);
    m_thread = std::thread([this] { Serve(); });
  }
  ~OneShotServer() {
    m_thread.join();
    close(m_socket);
  }
  int port() const { return m_port; }
  // Valid once the download has returned.
  const std::string& request() const { return m_request; }

 private:
  void Serve() {
    pollfd wait{m_socket, POLLIN, 0};
    if (poll(&wait, 1, 5000) != 1) return;
    const int client = accept(m_socket, nullptr, nullptr);
    if (client < 0) return;
    char buffer[4096];
    while (m_request.find("\r\n\r\n") == std::string::npos) {
      pollfd readable{client, POLLIN, 0};
      if (poll(&readable, 1, 5000) != 1) break;
      const ssize_t n = read(client, buffer, sizeof buffer);
      if (n <= 0) break;
      m_request.append(buffer, static_cast<size_t>(n));
    }
    ssize_t ignored = write(client, m_response.data(), m_response.size());
    (void)ignored;
    close(client);
  }

  std::string m_response;
  int m_socket = -1;
  int m_port = 0;
  std::string m_request;
  std::thread m_thread;
};

TEST(HttpDownloadTest, FetchesWithNoCacheHeader) {
  Scratch scratch;
  OneShotServer server("HTTP/1.1 200 OK\r\nContent-Length: 11\r\nConnection: close\r\n\r\n" +
                       std::string("hello\0world", 11));
  const std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/files/a.bin";
  DownloadToFile(scratch.drives, url, "D:\\got.bin");
  EXPECT_EQ(scratch.Read("got.bin"), std::string("hello\0world", 11));
  EXPECT_EQ(server.request().rfind("GET /files/a.bin HTTP/1.1\r\n", 0), 0u) << server.request();
  EXPECT_NE(server.request().find("\r\nCache-Control: no-cache\r\n"), std::string::npos);
}

TEST(HttpDownloadTest, FailuresRaiseTheLibrarysMessage) {
  Scratch scratch;
  {
    OneShotServer server(
        "HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\nConnection: close\r\n\r\ngone");
    const std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/missing";
    try {
      DownloadToFile(scratch.drives, url, "D:\\missing.txt");
      ADD_FAILURE() << "no error";
    } catch (const HttpError& error) {
      EXPECT_NE(std::string(error.what()).find("404"), std::string::npos) << error.what();
    }
    EXPECT_TRUE(std::filesystem::exists(scratch.path() + "/missing.txt"));
  }
  // A port nobody listens on: bound, then closed again.
  const int port = test::FreePort();
  EXPECT_THROW(DownloadToFile(scratch.drives, "http://127.0.0.1:" + std::to_string(port) + "/",
                              "D:\\refused.txt"),
               HttpError);
  // Only http and https are fetched.
  EXPECT_THROW(DownloadToFile(scratch.drives, "file:///etc/hostname", "D:\\local.txt"), HttpError);
  EXPECT_EQ(scratch.Read("local.txt"), "");
}

TEST(HttpDownloadTest, AFileThatCannotBeMadeFailsBeforeAnyTraffic) {
  Scratch scratch;
  try {
    // Port 9 of loopback: nothing is sent, the file fails first.
    DownloadToFile(scratch.drives, "http://127.0.0.1:9/", "D:\\no\\such\\folder.txt");
    ADD_FAILURE() << "no error";
  } catch (const FileError& error) {
    EXPECT_EQ(
        std::string(error.what()).rfind("Cannot create file \"D:\\no\\such\\folder.txt\".", 0), 0u);
  }
}

TEST(ProgramOpenerTest, CommandLines) {
  struct Case {
    std::string parameters;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"", {}},
      {"a b", {"a", "b"}},
      {"  \"with space\"  x", {"with space", "x"}},
      {"a\\\"b", {"a\"b"}},
      {"c:\\path\\ \"d e\\\\\"", {"c:\\path\\", "d e\\"}},
      {"$(rm -rf /); `x`", {"$(rm", "-rf", "/);", "`x`"}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitCommandLine(c.parameters), c.expected) << c.parameters;
}

TEST(ProgramOpenerTest, TargetsOutsideTheDriveTableOpenNothing) {
  Scratch scratch;
  std::ofstream(scratch.path() + "/Doc.PDF") << "x";
  EXPECT_EQ(OpenCommand(scratch.drives, "d:\\doc.pdf", ""),
            (std::vector<std::string>{"xdg-open", scratch.path() + "/Doc.PDF"}));
  EXPECT_EQ(OpenCommand(scratch.drives, "Q:\\doc.pdf", ""), std::nullopt);
  EXPECT_EQ(OpenCommand(scratch.drives, "/etc/passwd", ""), std::nullopt);
  EXPECT_EQ(OpenCommand(scratch.drives, "mailto:a@b.c", ""),
            (std::vector<std::string>{"xdg-open", "mailto:a@b.c"}));
}

TEST(FolderSearchTest, AttributeRules) {
  struct Case {
    std::string kinds;
    EntryAttributes entry;
    bool admitted;
  };
  EntryAttributes plain;
  plain.archive = true;
  EntryAttributes folder;
  folder.directory = true;
  EntryAttributes hidden = plain;
  hidden.hidden = true;
  EntryAttributes bare;  // no flag at all
  EntryAttributes read_only = plain;
  read_only.read_only = true;
  const std::vector<Case> cases = {
      {"anyfile", plain, true},
      {"anyfile", folder, false},
      {"anyfile folder", folder, true},
      {"folder", folder, true},
      {"folder", plain, false},
      {"normalfile", plain, true},
      {"normalfile", bare, false},
      {"normalfile", hidden, false},
      {"normalfile hiddenfile", hidden, true},
      {"readonlyfile", read_only, true},
      {"readonlyfile", plain, false},
      {"", plain, false},
  };
  for (const Case& c : cases) EXPECT_EQ(SearchAdmits(c.kinds, c.entry), c.admitted) << c.kinds;
  EXPECT_TRUE(WildcardMatch("*.TXT", "a.txt"));
  EXPECT_TRUE(WildcardMatch("a?c*", "abcdef"));
  EXPECT_FALSE(WildcardMatch("*.txt", "a.txt.bak"));
  EXPECT_TRUE(WildcardMatch("*.*", "noextension"));
}

}  // namespace
}  // namespace morvane
