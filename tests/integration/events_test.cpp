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

  // A variable from the dump: section "numbers", "strings" or "booleans";
  // "<unset>" when the script never wrote it.
  std::string Var(const std::string& section, const std::string& name) const {
    size_t start = m_vars.find("\"" + section + "\": {");
    if (start == std::string::npos) return "<unset>";
    size_t end = m_vars.find('}', start);
    std::string key = "\"" + name + "\": ";
    size_t at = m_vars.find(key, start);
    if (at == std::string::npos || at > end) return "<unset>";
    at += key.size();
    if (m_vars[at] != '"') return m_vars.substr(at, m_vars.find_first_of(",}", at) - at);
    return m_vars.substr(at + 1, m_vars.find('"', at + 1) - at - 1);
  }
  std::string Str(const std::string& name) const { return Var("strings", name); }
  std::string Num(const std::string& name) const { return Var("numbers", name); }
  std::string m_vars;
};

TEST_F(EventsRun, PressAndReleaseFollowTheReleaseRule) {
  Play("events",
       "click 30 15\n"        // a text: down, enter again on release, up
       "click 30 15 right\n"  // down only: right releases run nothing
       "press 30 70\n"        // on one image
       "release 80 70\n"      // over the other: no up for either
       "wait 50\n");
  EXPECT_EQ(Str("log"), "t1e,t1d,t1e,t1u,t1d,i2e,t1l,i2d,i2l,i3e,i3e,");
  // The text's up script saw its own coordinates and the left button.
  EXPECT_EQ(Num("tx"), "20");
  EXPECT_EQ(Num("ty"), "5");
  EXPECT_EQ(Num("tb"), "1");
  // The image's down takes the pointer in the main window and the keys.
  EXPECT_EQ(Num("_mx"), "30");
  EXPECT_EQ(Num("_my"), "70");
  EXPECT_EQ(Num("_btn"), "1");
}

TEST_F(EventsRun, ListBoxesClickWhenAnItemIsPickedByMouseOrKeys) {
  Play("events",
       "wait 50\n"
       "click 290 126\n"  // down, then the click of the picked item
       "key Down\nkey Down\n"
       "key Down\n"  // already on the last item: no click
       "dblclick 290 126\n"
       "wait 50\n");
  EXPECT_EQ(Str("log"), "d,c,c,c,d,c,dbl,d,c,");
}

TEST_F(EventsRun, EnterAndLeaveKeepStrictBoundsAndChildOrder) {
  Play("events",
       "move 120 65\n"  // on the left edge of button 10: not inside
       "move 121 65\n"  // inside 10
       "move 181 65\n"  // out of 10 (its right edge is 180), into 11
       "move 179 65\n"  // back: 10 comes first in child order
       "move 280 65\n"  // onto 13, whose click shows 12 under the resting pointer
       "click 280 65\n"
       "wait 50\n"
       "move 390 10\n"
       "wait 50\n");
  EXPECT_EQ(Str("log"), "b10e,b10l,b11e,b10e,b11l,b10l,b13e,b12e,b13l,b12l,");
}

TEST_F(EventsRun, EditsFilterTypedAndPastedText) {
  // The page put "1a.2" on the clipboard.
  Play("events",
       "wait 100\n"
       "click 50 130\n"  // the decimal edit
       "type 1-.5x\n"    // the letter is refused
       "key V ctrl\n"    // the pasted letter is removed: a nested change
       "click 50 160\n"  // the whole-number edit
       "type 7.x8\n"
       "key V ctrl\n"  // letter and point removed: two nested changes
       "wait 50\n");
  EXPECT_EQ(Str("21"), "1-.51.2");
  EXPECT_EQ(Str("ch21"), "cccccc");
  EXPECT_EQ(Str("22"), "7812");
  EXPECT_EQ(Str("ch22"), "ccccc");
}

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

TEST_F(EventsRun, TimersStopAfterTheirLoopsAndCountAgainWhenRestarted) {
  Play("events",
       "wait 300\n"
       "click 340 265\n"  // starts the timer again
       "wait 300\n");
  EXPECT_EQ(Num("ticks"), "6");
}

TEST_F(EventsRun, ShortcutsMatchTheirModifiersButNotInEdits) {
  Play("events",
       "key F5\n"
       "key F5 ctrl\n"  // both functions of Ctrl+F5, in table order
       "key F5 ctrl shift\n"
       "key A\n"  // "A" and "ASCII65", never "a"
       "key F6 shift\n"
       "wait 200\n"
       "click 50 130\n"  // an edit takes the keys now
       "key F5 ctrl\n"
       "key A\n"
       "wait 50\n");
  EXPECT_EQ(Str("keys"), "a,b,A,65,");
  EXPECT_EQ(Num("threaded"), "1");
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

TEST_F(EventsRun, WheelNotchesAndHelp) {
  Play("events",
       "move 390 290\n"
       "key F1\n"  // no object under the pointer: nothing
       "move 30 15\n"
       "key F1\n"
       "wheel down 3\n"
       "wheel up\n"
       "wait 50\n");
  EXPECT_EQ(Str("helped"), "1");
  EXPECT_EQ(Num("helps"), "1");
  EXPECT_EQ(Str("dirs"), "DOWN,DOWN,DOWN,UP,");
}

TEST_F(EventsRun, ObjectsDeletedByTheirOwnEventScriptsEndTheEventQuietly) {
  Play("events-delete",
       "wait 50\n"
       "click 20 15\n"  // a text, deleted on its press
       "click 80 15\n"  // a button, deleted before it sees its press
       "move 150 15\n"  // an image, deleted as it is entered
       "click 20 55\n"  // an edit, deleted by its first change
       "type x\n"
       "click 150 55\n"  // a list box
       "click 20 125\n"  // a button deleted by its click, whose script goes on
       "move 5 5\n"
       "wait 50\n");
  EXPECT_EQ(Num("after"), "1");
  EXPECT_EQ(ReadText(m_dir / "trace.jsonl"),
            "{\"event\":\"show\",\"page\":1}\n{\"event\":\"exit\",\"code\":1}\n");
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
