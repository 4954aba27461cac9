// The appearance actions, printing and the display-mode switch in the real
// player, run headless.

#include "support/player_run.h"

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

using namespace morvane::test;

const std::string& kFixtures = kPlayerFixtures;

class LookRun : public PlayerRunTest {};

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
