// A player that always ends: a script that keeps the main thread busy (an
// endless loop, a long wait, a long tone) or workers asleep at the end still
// let --quit-after and a termination signal end the program, with its
// variable dump and its exit record; and what is not a regular file (a
// device that never ends, a FIFO nobody writes) is never read, and sizes
// from the package cost no more than a screen's worth.

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <QImage>

#include <fstream>
#include <ostream>
#include <string>

#include "support/player_run.h"

namespace morvane::test {
namespace {

struct Hang {
  const char* name;
  const char* show_script;
  const char* worker_script;  // function 1, on a worker; empty: none
};

const Hang kHangs[] = {
    {"endless_while", "#x=0\r\n120(1=1)\r\n#x=#x+1\r\n1", ""},
    {"long_for", "2(#i=1,1e15)\r\n1", ""},
    {"long_wait", "25(100000000)", ""},
    {"long_tone", "44(440,100000000)", ""},
    {"worker_asleep", "124()\r\n#after=1", "25(1000000000)"},
    {"many_workers_asleep", "2(#i=1,300)\r\n124()\r\n1", "25(60000)"},
};

void PrintTo(const Hang& hang, std::ostream* out) { *out << hang.name; }

class EndingRun : public PlayerRunTest, public ::testing::WithParamInterface<Hang> {
 protected:
  std::string Project(const Hang& hang) {
    const fs::path dir = m_dir / "project";
    fs::create_directories(dir / "scripts");
    std::ofstream(dir / "scripts" / "show.mvs", std::ios::binary) << hang.show_script;
    std::string yaml = "title: Probe\n";
    if (*hang.worker_script) {
      std::ofstream(dir / "scripts" / "f1.mvs", std::ios::binary) << hang.worker_script;
      yaml +=
          "threads:\n  digits: [2]\nfunctions:\n  - name: F1\n    thread_slot: 1\n"
          "    body: !file scripts/f1.mvs\n";
    }
    yaml +=
        "pages:\n  - name: Main\n    on_show: !file scripts/show.mvs\n    objects:\n"
        "      - {kind: text, name: 1, width: 100, height: 20, caption: probe}\n";
    std::ofstream(dir / "project.yaml") << yaml;
    return dir.string();
  }
  void ExpectOrderlyEnd() {
    const std::vector<std::string> lines = TraceLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find(R"("event":"exit")"), std::string::npos) << lines.back();
    EXPECT_NE(ReadText(m_dir / "vars.json").find("\"numbers\""), std::string::npos);
  }
};

TEST_P(EndingRun, QuitAfterEndsABusyScript) {
  // Were the request not heard, the outer bound would kill it (status 137).
  m_wrapper = "timeout -s KILL 60 ";
  EXPECT_EQ(Run(Project(GetParam()),
                "--quit-after 1500 --dump-vars " + Quote((m_dir / "vars.json").string())),
            1);
  ExpectOrderlyEnd();
}

TEST_P(EndingRun, TerminationSignalEndsABusyScript) {
  // The signal comes while the script runs; timeout itself answers 124.
  m_wrapper = "timeout -k 60 -s TERM 2 ";
  EXPECT_EQ(Run(Project(GetParam()), "--dump-vars " + Quote((m_dir / "vars.json").string())),
            124);
  ExpectOrderlyEnd();
}

TEST_F(PlayerRunTest, ObjectsReadOnlyRegularFiles) {
  const fs::path dir = m_dir / "project";
  fs::create_directories(dir / "scripts");
  const fs::path fifo = m_dir / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // Each load fails through its action's failure box; the script goes on.
  std::ofstream(dir / "scripts" / "show.mvs", std::ios::binary)
      << "10(\"1\",\"Main\").57(\"Z:\\dev\\zero\")\r\n"
         "10(\"1\",\"Main\").57(\"Z:" << fifo.string() << "\")\r\n"
         "10(\"2\",\"Main\").101(\"Z:\\dev\\zero\")\r\n"
         "10(\"2\",\"Main\").101(\"Z:" << fifo.string() << "\")\r\n#after=1";
  std::ofstream(dir / "project.yaml")
      << "title: Probe\npages:\n  - name: Main\n    on_show: !file scripts/show.mvs\n"
         "    objects:\n      - {kind: image, name: 1, width: 100, height: 100}\n"
         "      - {kind: listbox, name: 2, top: 100, width: 100, height: 100}\n";
  m_wrapper = "timeout -s KILL 60 ";
  const fs::path vars = m_dir / "vars.json";
  EXPECT_EQ(Run(dir.string(), "--quit-after 1000 --dump-vars " + Quote(vars.string())), 1);
  EXPECT_EQ(DumpEntry(ReadText(vars), "numbers", "after"), "1");
  const std::string traced = ReadText(trace());
  EXPECT_NE(traced.find(R"("event":"exit")"), std::string::npos) << traced;
}

TEST_F(PlayerRunTest, SizesFromThePackageAreBounded) {
  const fs::path dir = m_dir / "project";
  fs::create_directories(dir);
  std::ofstream(dir / "project.yaml")
      << "title: Probe\npages:\n  - name: Main\n    client_width: 2147483647\n"
         "    client_height: 2147483647\n    objects:\n"
         "      - {kind: text, name: 1, width: 30000, height: 30000, caption: big, "
         "font_size: 22369621, font_colour: [0, 0, 0], word_wrap: true}\n"
         "      - {kind: button, name: 2, left: -2147483647, top: 2000, width: 2147483647, "
         "height: 2147483647, caption: b, font_size: 22369621}\n";
  m_wrapper = "timeout -s KILL 60 ";
  const fs::path shots = m_dir / "shots";
  EXPECT_EQ(Run(dir.string(), "--quit-after 1000 --screenshot " + Quote(shots.string())), 1);
  EXPECT_NE(ReadText(trace()).find(R"("event":"exit")"), std::string::npos);
  rusage used{};
  ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &used), 0);
  EXPECT_LT(used.ru_maxrss, 1024 * 1024) << "kilobytes at the peak";
  // The page is as large as a page may be, and the text's caption, as large
  // as a font may be, shows at its top left.
  const QImage page(QString::fromStdString((shots / "page1.png").string()));
  ASSERT_FALSE(page.isNull());
  EXPECT_LE(page.width(), 8192);
  int dark = 0;
  for (int y = 0; y < 600; y += 4)
    for (int x = 0; x < 600; x += 4) dark += qGray(page.pixel(x, y)) < 64;
  EXPECT_GT(dark, 100);
}

INSTANTIATE_TEST_SUITE_P(Hangs, EndingRun, ::testing::ValuesIn(kHangs),
                         [](const ::testing::TestParamInfo<Hang>& hang) { return std::string(hang.param.name); });

}  // namespace
}  // namespace morvane::test
