// Drives the real player headless with input files and checks which event
// scripts ran, in which order, and what they left in the variables.

#include "support/player_run.h"

#include <QColor>
#include <QImage>

#include <gtest/gtest.h>

#include <sys/wait.h>
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

class EventsRun : public PlayerRunTest {
 protected:
  // Plays the input steps on the fixture; the player ends after the last
  // step's effects, at the quit time.
  void Play(const std::string& fixture, const std::string& steps, int quit_after_ms = 1500,
            const std::string& options = "") {
    fs::path input = m_dir / "input.txt";
    std::ofstream(input) << steps;
    const int status =
        Run(kFixtures + "/" + fixture, "--dump-vars " + Quote((m_dir / "vars.json").string()) +
                                           " --input " + Quote(input.string()) + " --quit-after " +
                                           std::to_string(quit_after_ms) + " " + options);
    ASSERT_NE(status, -1) << "the player did not exit";
    m_vars = ReadText(m_dir / "vars.json");
    ASSERT_FALSE(m_vars.empty()) << "no variable dump; stderr: " << ReadText(m_dir / "stderr.txt");
  }

  std::string Var(const std::string& section, const std::string& name) const {
    return DumpEntry(m_vars, section, name);
  }
  std::string Str(const std::string& name) const { return Var("strings", name); }
  std::string Num(const std::string& name) const { return Var("numbers", name); }
  std::string m_vars;
};

TEST_F(EventsRun, EditsShowHoverAndFocusColoursAndKeepFocusColoursUnderThePointer) {
  fs::path shots = m_dir / "shots";
  Play("events",
       "move 200 150\nwait 20\nshot hover\n"
       "click 200 150\nwait 20\nshot focus\n"
       "move 390 150\nmove 200 150\nmove 390 150\nwait 20\nshot kept\n"
       "click 390 290\nwait 20\nshot normal\n",
       1000, "--screenshot " + Quote(shots.string()));
  struct Case {
    const char* shot;
    QColor background;
  };
  const Case cases[] = {{"hover", QColor(255, 255, 0)},
                        {"focus", QColor(0, 255, 0)},
                        {"kept", QColor(0, 255, 0)},
                        {"normal", QColor(255, 255, 255)}};
  for (const Case& c : cases) {
    QImage shot(QString::fromStdString((shots / (std::string(c.shot) + ".png")).string()));
    ASSERT_FALSE(shot.isNull()) << c.shot;
    EXPECT_EQ(shot.pixelColor(240, 155), c.background) << c.shot;
  }
}

TEST_F(EventsRun, InputKeysAreNamedAsShortcutsAre) {
  // Each step presses a key by its name; the shortcut of that key's own name
  // shows which key arrived.
  struct Case {
    const char* step;
    const char* fired;
  };
  const Case cases[] = {
      {"NUM LOCK", "NUM LOCK"},
      {"SCROLL LOCK", "SCROLL LOCK"},
      {"NUM LOCK shift", "shift NUM LOCK"},  // a name of two words, then a modifier
      {"CAPS", "CAPS"},
      {"PRINTSCRN", "PRINTSCRN"},
      {"PAUSE", "PAUSE"},
      {"ESC", "ESC"},
      {"TAB", "TAB"},
      {"SPACE", "SPACE"},
      {"INSERT", "INSERT"},
      {"HOME", "HOME"},
      {"PGUP", "PGUP"},
      {"PGDN", "PGDN"},
      {"DELETE", "DELETE"},
      {"END", "END"},
      {"UP", "UP"},
      {"DOWN", "DOWN"},
      {"LEFT", "LEFT"},
      {"RIGHT", "RIGHT"},
      {"ENTER", "ENTER"},
      {"F12", "F12"},
      {"F24", "F24"},
      {"F5 ctrl", "ctrl F5"},
      {"ASCII65", "A"},
      {"ASCII97", "ASCII97"},  // code 97 is the keypad's 1
      {"A", "A"},
      {"a", "A"},  // a single character is the key that types it
      {"7", "7"},
      // Any letter case, and Qt's names of the same keys.
      {"pgdn", "PGDN"},
      {"Scroll Lock", "SCROLL LOCK"},
      {"PgUp", "PGUP"},
      {"Del", "DELETE"},
      {"Return", "ENTER"},
      {"Esc", "ESC"},
  };
  std::string steps, expected;
  for (const Case& c : cases) {
    steps += std::string("key ") + c.step + "\n";
    expected += std::string(c.fired) + ",";
  }
  Play("keys", "wait 50\n" + steps + "wait 100\n");
  EXPECT_EQ(Str("keys"), expected);

  // A name that is no key refuses the input at start, naming its line.
  Play("keys", "wait 50\nkey A\nkey PGDWN\nwait 100\n");
  EXPECT_EQ(Str("keys"), "<unset>");
  EXPECT_NE(ReadText(m_dir / "stderr.txt").find(": line 3: unknown key 'PGDWN'"), std::string::npos)
      << ReadText(m_dir / "stderr.txt");
}

TEST_F(EventsRun, BorderlessPagesDragOnlyPastFivePixels) {
  Play("drag",
       "click 50 20\n"
       "press 200 150\n"
       "move 205 155\n"  // five pixels: still a press
       "move 200 150\n"
       "release 200 150\n"
       "click 50 20\n"
       "press 200 150\n"
       "move 206 150\n"  // six: the page follows from here
       "move 216 160\n"
       "release 216 160\n"
       "click 50 20\n"
       "wait 50\n");
  ASSERT_EQ(Num("n"), "3");
  EXPECT_EQ(Num("left[2]"), Num("left[1]"));
  EXPECT_EQ(Num("top[2]"), Num("top[1]"));
  EXPECT_EQ(std::stoi(Num("left[3]")) - std::stoi(Num("left[1]")), 10);
  EXPECT_EQ(std::stoi(Num("top[3]")) - std::stoi(Num("top[1]")), 10);
}

}  // namespace
