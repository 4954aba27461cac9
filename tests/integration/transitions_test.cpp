// Pages that appear through their show transitions, in the real player run
// headless: the order of what a user sees, a frame taken during an effect,
// input held back until the page is fully shown, a page hidden during its
// effect, the random kind, the mask kind with and without its picture, and
// --no-transitions.

#include "support/player_run.h"

#include <QColor>
#include <QImage>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using namespace morvane::test;

class TransitionRun : public PlayerRunTest {
 protected:
  // The index of the first trace line holding `text`, or -1.
  int LineOf(const std::string& text) const {
    const std::vector<std::string> lines = TraceLines();
    for (size_t i = 0; i < lines.size(); ++i) {
      if (lines[i].find(text) != std::string::npos) return int(i);
    }
    return -1;
  }
};

// Share of pixels of `image` within 40 of `colour` in each channel.
double ShareOf(const QImage& image, QColor colour) {
  int near = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      near += std::abs(c.red() - colour.red()) < 40 && std::abs(c.green() - colour.green()) < 40 &&
              std::abs(c.blue() - colour.blue()) < 40;
    }
  }
  return double(near) / (image.width() * image.height());
}

const QColor kRed(200, 30, 30), kBlue(30, 30, 200);

TEST_F(TransitionRun, APageSwitchPlaysTheEffectBeforeTheShowScriptAndTheHeldInput) {
  const fs::path input = m_dir / "input.txt", shots = m_dir / "shots";
  std::ofstream(input) << "wait 1000\nmove 40 40\nwheel up\nshot mid\n";
  // The project ends itself; the bound only keeps a broken run from hanging.
  EXPECT_EQ(
      Run(kPlayerFixtures + "/transitions", "--quit-after 60000 --input " + Quote(input.string()) +
                                                " --screenshot " + Quote(shots.string())),
      1);
  const std::string trace = ReadText(this->trace());
  const int start = LineOf("{\"event\":\"transition\",\"page\":2,\"kind\":12,\"ms\":3000}");
  const int end = LineOf("{\"event\":\"transition-end\",\"page\":2,\"shown\":1}");
  const int shown = LineOf("\"text\":\"shown\"");
  const int wheel = LineOf("\"text\":\"wheel\"");
  ASSERT_GE(start, 0) << trace;
  EXPECT_LT(LineOf("{\"event\":\"show\",\"page\":2}"), start) << trace;
  EXPECT_GT(end, start) << trace;
  // Neither the show script nor the wheel turned during the effect ran
  // before the page was fully shown, and neither was lost.
  EXPECT_GT(shown, end) << trace;
  EXPECT_GT(wheel, end) << trace;
  EXPECT_GT(LineOf("{\"event\":\"exit\""), shown) << trace;

  // A second into the wipe: the new page on the left, the old one on the right.
  const QImage mid(QString::fromStdString((shots / "mid.png").string()));
  ASSERT_EQ(mid.size(), QSize(160, 120));
  EXPECT_GT(ShareOf(mid, kBlue), 0.1);
  EXPECT_GT(ShareOf(mid, kRed), 0.1);
  EXPECT_EQ(mid.pixelColor(2, 60), kBlue);
  EXPECT_EQ(mid.pixelColor(157, 60), kRed);
}

TEST_F(TransitionRun, WithoutTransitionsThePageAppearsAtOnce) {
  EXPECT_EQ(Run(kPlayerFixtures + "/transitions", "--quit-after 60000 --no-transitions"), 1);
  const std::string trace = ReadText(this->trace());
  EXPECT_EQ(trace.find("transition"), std::string::npos) << trace;
  EXPECT_GE(LineOf("\"text\":\"shown\""), 0) << trace;
}

TEST_F(TransitionRun, APageHiddenDuringItsEffectEndsItAndItsShowScriptNeverRuns) {
  EXPECT_EQ(Run(kPlayerFixtures + "/transitions-hide", "--quit-after 50000"), 1);
  const std::string trace = ReadText(this->trace());
  const int start = LineOf("{\"event\":\"transition\",\"page\":2,\"kind\":1,\"ms\":60000}");
  const int end = LineOf("{\"event\":\"transition-end\",\"page\":2,\"shown\":0}");
  ASSERT_GE(start, 0) << trace;
  EXPECT_GT(end, start) << trace;
  EXPECT_GT(LineOf("{\"event\":\"hide\",\"page\":2}"), end) << trace;
  EXPECT_GT(LineOf("\"text\":\"other closed\""), end) << trace;
  EXPECT_EQ(LineOf("other shown"), -1) << trace;
}

TEST_F(TransitionRun, TheRandomKindIsANewOneOfBlendToWipeEachTime) {
  EXPECT_EQ(Run(kPlayerFixtures + "/transitions-random", "--quit-after 50000"), 1);
  const std::string trace = ReadText(this->trace());
  const std::regex effect("\\{\"event\":\"transition\",\"page\":2,\"kind\":(\\d+),\"ms\":5000\\}");
  std::multiset<int> kinds;
  for (const std::string& line : TraceLines()) {
    std::smatch m;
    if (std::regex_match(line, m, effect)) kinds.insert(std::stoi(m[1]));
  }
  ASSERT_EQ(kinds.size(), 40u) << trace;
  EXPECT_GE(*kinds.begin(), 1);
  EXPECT_LE(*kinds.rbegin(), 12);
  EXPECT_GE(std::set<int>(kinds.begin(), kinds.end()).size(), 4u) << trace;
}

TEST_F(TransitionRun, TheMaskKindUsesItsPictureAndBlendsWithoutOne) {
  const fs::path report = m_dir / "compat.json";
  EXPECT_EQ(Run(kPlayerFixtures + "/transitions-mask",
                "--quit-after 50000 --compat-report " + Quote(report.string())),
            1);
  const std::string trace = ReadText(this->trace());
  EXPECT_GE(LineOf("{\"event\":\"transition\",\"page\":1,\"kind\":13,\"ms\":400}"), 0) << trace;
  EXPECT_GE(LineOf("{\"event\":\"transition\",\"page\":2,\"kind\":1,\"ms\":400}"), 0) << trace;
  const std::string compat = ReadText(report);
  EXPECT_NE(compat.find("\"name\": \"transition mask picture\""), std::string::npos) << compat;
  EXPECT_NE(compat.find("\"page\": 2"), std::string::npos) << compat;
  EXPECT_EQ(compat.find("\"page\": 1"), std::string::npos) << compat;
}

}  // namespace
