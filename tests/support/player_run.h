#pragma once

// Runs the real player headless on a project, in a folder of its own for each
// test: the emulated prefix, the trace and the captured output live there and
// are kept when the test fails.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace morvane::test {

namespace fs = std::filesystem;

inline const std::string kBinaryDir = MORVANE_BINARY_DIR;
inline const std::string kPlayerFixtures =
    std::string(MORVANE_SOURCE_DIR) + "/tests/fixtures/player";

inline std::string Quote(const std::string& s) {
  return "'" + s + "'";
}

inline std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// An entry of a variable dump (--dump-vars), read as JSON: `section` is
// "numbers", "strings" or "booleans"; "<unset>" when the dump does not hold
// the entry. Numbers and strings come as their text, booleans as "true" or
// "false".
inline std::string DumpEntry(const std::string& dump, const std::string& section,
                             const std::string& name) {
  const QJsonValue value = QJsonDocument::fromJson(QByteArray::fromStdString(dump))
                               .object()
                               .value(QString::fromStdString(section))
                               .toObject()
                               .value(QString::fromStdString(name));
  if (value.isString()) return value.toString().toStdString();
  if (value.isBool()) return value.toBool() ? "true" : "false";
  if (value.isDouble()) return QString::number(value.toDouble(), 'g', 17).toStdString();
  return "<unset>";
}

// The Windows path of a host file, through the host root drive.
inline std::string WindowsPath(const fs::path& host) {
  std::string s = "Z:" + host.string();
  for (char& c : s)
    if (c == '/') c = '\\';
  return s;
}

// A YAML double-quoted string.
inline std::string Yaml(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    if (c == '\r') {
      out += "\\r";
      continue;
    }
    if ((unsigned char)c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", (unsigned char)c);
      out += escaped;
      continue;
    }
    out += c;
  }
  return out + "\"";
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class PlayerRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    m_dir = fs::temp_directory_path() / ("morvane-" + std::string(info->test_suite_name()) + "-" +
                                         info->name() + "-" + std::to_string(getpid()));
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
    // The runtime folder of the test's players: a short path, as a local
    // socket's name must be, so that no other run's player is one of them.
    std::string runtime = (fs::temp_directory_path() / "mvr-XXXXXX").string();
    if (mkdtemp(runtime.data())) m_runtime = runtime;
  }
  void TearDown() override {
    if (!m_runtime.empty()) fs::remove_all(m_runtime);
    if (!HasFailure()) fs::remove_all(m_dir);
  }

  // Runs the player headless in the test's folder with the options, tracing
  // to trace(); returns its exit status, -1 when it did not exit.
  // `environment` goes before the program ("NAME=value ...").
  int Run(const std::string& project, const std::string& options,
          const std::string& binary = "morvane-player-bare", const std::string& environment = "") {
    std::string command =
        "cd " + Quote(m_dir.string()) + " && " + environment +
        " QT_QPA_PLATFORM=offscreen MORVANE_PREFIX=" + Quote((m_dir / "prefix").string()) +
        // The user's own settings and sandboxes are never the test's.
        " XDG_CONFIG_HOME=" + Quote((m_dir / "config").string()) +
        " XDG_DATA_HOME=" + Quote((m_dir / "data").string()) +
        " XDG_RUNTIME_DIR=" + Quote(m_runtime.string()) + " " + m_wrapper +
        Quote(kBinaryDir + "/" + binary) + " --headless --trace " + Quote(trace().string()) + " " +
        options;
    if (!project.empty()) command += " " + Quote(project);
    command += " >" + Quote((m_dir / "stdout.txt").string()) + " 2>" +
               Quote((m_dir / "stderr.txt").string());
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  fs::path trace() const { return m_dir / "trace.jsonl"; }
  std::vector<std::string> TraceLines() const { return Lines(ReadText(trace())); }

  fs::path m_dir;
  fs::path m_runtime;
  // Put before the player's command line, with its trailing space (a
  // `timeout` that signals it, say).
  std::string m_wrapper;
};

}  // namespace morvane::test
