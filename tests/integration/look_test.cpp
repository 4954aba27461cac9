// The appearance actions, printing and the display-mode switch in the real
// player, run headless.

#include <QColor>
#include <QImage>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

const std::string kBinaryDir = MORVANE_BINARY_DIR;
const std::string kFixtures = std::string(MORVANE_SOURCE_DIR) + "/tests/fixtures/player";

std::string Quote(const std::string& s) {
  return "'" + s + "'";
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

class LookRun : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    m_dir = fs::temp_directory_path() /
            ("morvane-look-run-" + std::string(info->name()) + "-" + std::to_string(getpid()));
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
  }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(m_dir);
  }
  int Run(const std::string& project, const std::string& options) {
    std::string command =
        "cd " + Quote(m_dir.string()) + " && MORVANE_PREFIX=" + Quote((m_dir / "prefix").string()) +
        " " + Quote(kBinaryDir + "/morvane-player-bare") + " --headless --trace " +
        Quote(trace().string()) + " " + options + " " + Quote(project) + " >" +
        Quote((m_dir / "stdout.txt").string()) + " 2>" + Quote((m_dir / "stderr.txt").string());
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  fs::path trace() const { return m_dir / "trace.jsonl"; }

  fs::path m_dir;
};

TEST_F(LookRun, ShowScriptChangesThePageAndPrintsIt) {
  fs::path shots = m_dir / "shots", printed = m_dir / "printed";
  EXPECT_EQ(
      Run(kFixtures + "/look-script", "--quit-after 400 --screenshot " + Quote(shots.string()) +
                                          " --print-to " + Quote(printed.string())),
      1);
  std::string trace = ReadText(this->trace());
  for (const char* job : {"print1.pdf", "print2.pdf"}) {
    std::string file = (printed / job).string();
    EXPECT_NE(trace.find("{\"event\":\"print\",\"page\":1,\"file\":\"" + file + "\"}"),
              std::string::npos)
        << trace;
    EXPECT_EQ(ReadText(file).rfind("%PDF-", 0), 0u) << file;
  }
  EXPECT_FALSE(fs::exists(printed / "print3.pdf"));
  // The last line fails and reaches the exception box with its line number.
  EXPECT_NE(trace.find("\"caption\":\"Morvane Exception\",\"text\":\"Line #8: Cannot open file "
                       "\\\"missing.png\\\". The system cannot find the file specified.\""),
            std::string::npos)
      << trace;

  // The picture stretched over the page and inverted, the frame shape on it.
  QImage page(QString::fromStdString((shots / "page1.png").string()));
  ASSERT_EQ(page.size(), QSize(200, 120));
  EXPECT_EQ(page.pixel(2, 2), qRgb(0, 255, 255));
  EXPECT_EQ(page.pixel(199, 119), qRgb(0, 255, 0));
  EXPECT_EQ(page.pixel(30, 8), qRgb(0, 0, 0));
}

TEST_F(LookRun, UnofferedDisplayModeStopsWhenTheProjectSaysSo) {
  EXPECT_EQ(Run(kFixtures + "/look-mode-stop", "--quit-after 2000"), 1);
  std::string trace = ReadText(this->trace());
  EXPECT_EQ(trace,
            "{\"event\":\"message\",\"caption\":\"Screen Resolution\",\"text\":\"Your system does "
            "not support the screen resolution which this application can run in.\\nTry running "
            "this program with another Monitor. Application will now terminate.\",\"flags\":8240,"
            "\"result\":1}\n{\"event\":\"exit\",\"code\":1}\n");
}

TEST_F(LookRun, UnofferedDisplayModeIsReportedAndTheProjectRuns) {
  fs::path vars = m_dir / "vars.json";
  EXPECT_EQ(
      Run(kFixtures + "/look-mode-go", "--quit-after 300 --dump-vars " + Quote(vars.string())), 1);
  EXPECT_NE(ReadText(trace()).find("{\"event\":\"show\",\"page\":1}"), std::string::npos);
  EXPECT_NE(ReadText(vars).find("\"_resolutionok\": false"), std::string::npos) << ReadText(vars);
}

}  // namespace
