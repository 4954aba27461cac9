// Plug-in windows through the real player, headless: the example gauge
// through every code, the demo's plug-in page, and a plug-in that records
// each call it gets (in variants without some exports, or faulting inside
// one) for the start sequence, the arguments of every call and the failures
// a script meets: missing libraries and exports, a bad variable prefix,
// faults, Windows libraries, the sandbox.

#include "support/player_run.h"

#include <QColor>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using namespace morvane::test;

const fs::path kTestPlugins = fs::path(kBinaryDir) / "test-plugins";
const fs::path kGauge = fs::path(kBinaryDir) / "examples/plugins/gauge.so";

// A plug-in window at (10, 10), 100 x 50 unless told.
std::string Window(int number, const std::string& path, int width = 100, int height = 50) {
  return "{kind: plugin, name: " + std::to_string(number) +
         ", left: 10, top: 10, width: " + std::to_string(width) +
         ", height: " + std::to_string(height) + ", file: " + Yaml(path) + "}";
}

// An object action on object n of the page.
std::string Act(int number, const std::string& action) {
  return "10(\"" + std::to_string(number) + "\",\"\")." + action + "\r";
}

class PluginRun : public PlayerRunTest {
 protected:
  fs::path project() const { return m_dir / "project"; }
  // [src]: the folder that holds the project.
  fs::path exe_folder() const { return m_dir; }
  fs::path calls() const { return m_dir / "calls.log"; }

  // Writes a one-page project of these objects whose show script ends the
  // program, and runs it; returns the exit status.
  int Play(const std::vector<std::string>& objects, const std::string& on_show,
           const std::string& options = "", bool end = true) {
    fs::create_directories(project());
    std::ofstream yaml(project() / "project.yaml");
    yaml << "title: Plugins\npages:\n  - name: Main\n    client_width: 400\n    client_height: "
            "300\n    options:\n      page_colour: [255, 255, 255]\n";
    yaml << "    on_show: " << Yaml(on_show + (end ? "9" : "")) << "\n    objects:\n";
    for (const std::string& o : objects) yaml << "      - " << o << "\n";
    yaml.close();
    setenv("MORVANE_PLUGIN_LOG", calls().c_str(), 1);
    const int status =
        Run(project().string(), "--dump-vars " + Quote((m_dir / "vars.json").string()) +
                                    " --quit-after " + (end ? "20000 " : "1000 ") + options);
    unsetenv("MORVANE_PLUGIN_LOG");
    m_vars = ReadText(m_dir / "vars.json");
    return status;
  }

  // The calls the recorder logged, each load named A, B, ... in the order
  // its first call came.
  std::vector<std::string> Calls() const {
    std::map<std::string, std::string> loads;
    std::vector<std::string> out;
    for (const std::string& line : Lines(ReadText(calls()))) {
      const size_t space = line.find(' ');
      const std::string instance = line.substr(0, space);
      if (!loads.count(instance)) loads[instance] = std::string(1, char('A' + loads.size()));
      out.push_back(loads[instance] + line.substr(space));
    }
    return out;
  }

  // The message boxes, "caption: text", in order.
  std::vector<std::string> Boxes() const {
    std::vector<std::string> found;
    for (const std::string& line : TraceLines()) {
      const QJsonObject event = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
      if (event.value("event").toString() != "message") continue;
      found.push_back((event.value("caption").toString() + ": " + event.value("text").toString())
                          .toStdString());
      m_box_flags.push_back(event.value("flags").toInt());
    }
    return found;
  }

  std::string Num(const std::string& name) const { return DumpEntry(m_vars, "numbers", name); }
  std::string Str(const std::string& name) const { return DumpEntry(m_vars, "strings", name); }
  std::string Bool(const std::string& name) const { return DumpEntry(m_vars, "booleans", name); }

  std::string m_vars;
  mutable std::vector<int> m_box_flags;
};

TEST_F(PluginRun, TheGaugeDrawsKeepsANumberAndAFileAndCallsItsOwnFunction) {
  std::ofstream(exe_folder() / "notes.txt") << "kept";
  const fs::path shots = m_dir / "shots";
  const std::string script = Act(3, "67(#before)") + Act(3, "65(40+2)") + Act(3, "67(#n)") +
                             Act(3, "67(!positive)") + Act(3, "65(\"[src]\\\\NOTES.txt\")") +
                             Act(3, "67($f)") + Act(3, "66(\"NextColour\")") + Act(3, "8(200,60)");
  ASSERT_EQ(Play({Window(3, WindowsPath(kGauge), 300, 60)}, script,
                 "--screenshot " + Quote(shots.string()), false),
            1)
      << ReadText(m_dir / "stderr.txt");
  EXPECT_TRUE(Boxes().empty()) << Boxes().front();
  EXPECT_EQ(Num("before"), "0");
  EXPECT_EQ(Num("n"), "42");
  EXPECT_EQ(Bool("positive"), "true");
  // The file went in as the host path of the real file and came back as the
  // Windows path scripts use for it.
  EXPECT_EQ(Str("f"), WindowsPath(exe_folder() / "notes.txt"));

  // Drawn in the second colour, resized to 200 wide: the bar shows 42 of 100
  // along the bottom and the page shows right of the window.
  QImage shot(QString::fromStdString((shots / "page1.png").string()));
  ASSERT_FALSE(shot.isNull());
  EXPECT_EQ(shot.pixelColor(12, 12), QColor(0x2E, 0x5E, 0x3A));
  EXPECT_EQ(shot.pixelColor(10 + 199, 12), QColor(0x2E, 0x5E, 0x3A));
  EXPECT_EQ(shot.pixelColor(10 + 205, 12), QColor(255, 255, 255));
  const int bar_y = 10 + 60 - 60 / 4 + 2;
  EXPECT_EQ(shot.pixelColor(10 + 4 + 192 * 42 / 100 - 3, bar_y), QColor(0xF0, 0xC0, 0x40));
  EXPECT_EQ(shot.pixelColor(10 + 4 + 192 * 42 / 100 + 3, bar_y), QColor(0x2E, 0x5E, 0x3A));
}

TEST_F(PluginRun, StartsInTheContractsOrderAndHandsEveryCallItsArguments) {
  fs::create_directories(exe_folder() / "Sub");
  const std::string script =
      Act(1, "8(120,40)") + Act(1, "65(\"[src]\\\\sub\\\\new file.txt\")") + Act(1, "65(7.6)") +
      Act(1, "67(#n)") + Act(1, "67(!b)") + Act(1, "65(-1)") + Act(1, "67(!b2)") +
      Act(1, "67($f)") + Act(1, "66(\"Poke\")") + Act(1, "66(\"Missing\")") +
      // Only the plug-in's own functions are exports: not its variables, not
      // what its libraries define.
      Act(1, "66(\"Counter\")") + Act(1, "66(\"exit\")") + Act(1, "66(\"abort\")") +
      // A fault inside 66 is ignored, inside 65 it fails the action.
      Act(1, "66(\"Crash\")") + Act(1, "65(-13)") + "#after=1\r";
  ASSERT_EQ(Play({Window(1, WindowsPath(kTestPlugins / "recorder.so"))}, script), 1)
      << ReadText(m_dir / "stderr.txt");
  const std::string folder = exe_folder().string();
  EXPECT_EQ(Calls(), (std::vector<std::string>{
                         "A SetParentWindow 0",
                         "A Draw canvas 0 0 100 50 canvas 100x50 pixels",
                         "A SetPath " + folder,
                         "A Show",
                         "A Draw null 0 0 120 40 canvas 120x40 pixels",
                         "A SetFile " + folder + "/Sub/new file.txt",
                         "A SetData 8",
                         "A GetData",
                         "A GetData",
                         "A SetData -1",
                         "A GetData",
                         "A GetFile",
                         "A Poke",
                         "A Crash",
                         "A SetData -13",
                     }));
  EXPECT_EQ(Num("n"), "8");
  EXPECT_EQ(Bool("b"), "true");
  EXPECT_EQ(Bool("b2"), "false");
  EXPECT_EQ(Str("f"), WindowsPath(exe_folder() / "Sub" / "new file.txt"));
  EXPECT_EQ(Num("after"), "1");
  const std::vector<std::string> boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("Plugins: The plug-in recorder.so failed in SetData: access violation"),
            std::string::npos)
      << boxes[0];
}

TEST_F(PluginRun, AStartCallsOnlyWhatTheLibraryExports) {
  const std::string folder = exe_folder().string();
  struct Case {
    const char* library;
    std::vector<std::string> calls;
    std::vector<std::string> boxes;
  } cases[] = {
      // The window keeps its library: the actions miss only their exports.
      {"only_show.so",
       {"A Show", "A Show"},
       {"Plugins: The plug-in only_show.so does not export SetData.",
        "Plugins: The plug-in only_show.so does not export GetData."}},
      {"no_parent.so",
       {"A Draw canvas 0 0 100 50 canvas 100x50 pixels", "A SetPath " + folder, "A Show", "A Show",
        "A SetData 1", "A GetData"},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.library);
    fs::remove(calls());
    ASSERT_EQ(Play({Window(1, WindowsPath(kTestPlugins / c.library))},
                   Act(1, "66(\"Show\")") + Act(1, "65(1)") + Act(1, "67(#n)")),
              1);
    EXPECT_EQ(Calls(), c.calls);
    EXPECT_EQ(Boxes(), c.boxes);
  }
}

TEST_F(PluginRun, AWindowWithoutItsLibraryFailsItsActionsAndThePlayerGoesOn) {
  const std::string missing = WindowsPath(m_dir / "missing.so");
  ASSERT_EQ(Play({Window(1, missing)}, Act(1, "65(1)") + Act(1, "67($f)") + Act(1, "66(\"Show\")") +
                                           Act(1, "8(20,20)") + "#after=1\r"),
            1);
  const std::string failure = "Plugins: The plug-in library \"" + missing + "\" is not loaded.";
  const std::vector<std::string> boxes = Boxes();
  ASSERT_EQ(boxes.size(), 3u);  // 65, 67 and 8; 66 ignores it
  for (const std::string& box : boxes) EXPECT_EQ(box, failure);
  EXPECT_EQ(Num("after"), "1");
  EXPECT_NE(ReadText(trace()).find(R"("event":"plugin","page":1,"object":"OBJ1","what":"missing")"),
            std::string::npos);
}

TEST_F(PluginRun, ABadVariablePrefixIsASyntaxErrorAndSetsNothing) {
  for (const char* raw : {"%x", "x", ""}) {
    SCOPED_TRACE(raw);
    ASSERT_EQ(Play({Window(1, WindowsPath(kTestPlugins / "recorder.so"))},
                   Act(1, "65(5)") + Act(1, "67(" + std::string(raw) + ")")),
              1);
    EXPECT_EQ(
        Boxes(),
        (std::vector<std::string>{"Syntax Error: Morvane Syntax Error: Excepted (! / $ / #)"}));
    EXPECT_EQ(m_box_flags, std::vector<int>{0x10});  // OK, with the error icon
    m_box_flags.clear();
  }
}

TEST_F(PluginRun, TwoWindowsNamingOneFileLoadItTwice) {
  const std::string recorder = WindowsPath(kTestPlugins / "recorder.so");
  ASSERT_EQ(Play({Window(1, recorder), Window(2, recorder)},
                 Act(1, "65(11)") + Act(2, "65(22)") + Act(1, "67(#one)") + Act(2, "67(#two)")),
            1);
  EXPECT_EQ(Num("one"), "11");
  EXPECT_EQ(Num("two"), "22");
  const std::vector<std::string> calls = Calls();
  ASSERT_EQ(calls.size(), 12u);
  EXPECT_EQ(calls[0], "A SetParentWindow 0");
  EXPECT_EQ(calls[3], "A Show");
  EXPECT_EQ(calls[4], "B SetParentWindow 0");
  EXPECT_EQ(calls[7], "B Show");
}

TEST_F(PluginRun, AWindowsLibraryLoadsItsNativeCounterpartOrIsReported) {
  fs::copy_file(kTestPlugins / "recorder.so", exe_folder() / "Recorder.so");
  std::ofstream(exe_folder() / "legacy.dll") << "MZ";
  const fs::path report = m_dir / "compat.json";
  ASSERT_EQ(Play({Window(1, "[src]\\\\RECORDER.DLL"), Window(2, "[src]\\\\legacy.dll")},
                 Act(1, "65(3)") + Act(1, "67(#n)") + Act(2, "65(3)"),
                 "--compat-report " + Quote(report.string())),
            1);
  EXPECT_EQ(Num("n"), "3");
  const std::vector<std::string> boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("legacy.dll"), std::string::npos) << boxes[0];
  const std::string json = ReadText(report);
  EXPECT_NE(json.find(R"("name": "Windows plug-in library")"), std::string::npos) << json;
  EXPECT_NE(json.find(R"("object": "OBJ2")"), std::string::npos) << json;
  EXPECT_NE(json.find("legacy.dll\"]"), std::string::npos) << json;
  EXPECT_EQ(json.find("RECORDER"), std::string::npos) << json;
}

TEST_F(PluginRun, AFaultInSetParentWindowEndsTheProgramAndInAnotherStartCallLeavesTheWindow) {
  ASSERT_EQ(Play({Window(1, WindowsPath(kTestPlugins / "fault_in_parent.so"))}, "#shown=1\r"), 1);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"A SetParentWindow 0"}));
  EXPECT_NE(ReadText(trace()).find(R"("what":"failed")"), std::string::npos);
  EXPECT_EQ(TraceLines().back(), R"({"event":"exit","code":1})");
  EXPECT_EQ(Num("shown"), "<unset>");

  fs::remove(calls());
  ASSERT_EQ(Play({Window(1, WindowsPath(kTestPlugins / "fault_in_draw.so"))},
                 Act(1, "65(1)") + "#shown=1\r"),
            1);
  // No SetPath and no Show after the fault; the window keeps no library.
  EXPECT_EQ(Calls(), (std::vector<std::string>{"A SetParentWindow 0",
                                               "A Draw canvas 0 0 100 50 canvas 100x50 pixels"}));
  EXPECT_EQ(Num("shown"), "1");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_NE(Boxes()[0].find("is not loaded"), std::string::npos) << Boxes()[0];
}

TEST_F(PluginRun, TheSandboxLoadsNoPluginUnlessAllowed) {
  fs::copy_file(kTestPlugins / "recorder.so", exe_folder() / "recorder.so");
  ASSERT_EQ(Play({Window(1, "[src]\\\\recorder.so")}, Act(1, "65(1)"), "--sandbox"), 1);
  EXPECT_TRUE(Calls().empty());
  EXPECT_NE(ReadText(trace()).find(R"("event":"refused","what":"plugin")"), std::string::npos);
  ASSERT_EQ(Boxes().size(), 1u);

  ASSERT_EQ(Play({Window(1, "[src]\\\\recorder.so")}, Act(1, "65(1)"), "--sandbox --allow-plugins"),
            1);
  ASSERT_EQ(Calls().size(), 5u);
  EXPECT_EQ(Calls()[4], "A SetData 1");
}

}  // namespace

namespace {

TEST_F(PluginRun, TheDemosPluginPageDrivesTheGauge) {
  // From the menu to the plug-in page; +10 twice, the next colour, a file to
  // keep; then Ctrl+Q, answered Yes.
  const fs::path input = m_dir / "input.txt";
  std::ofstream(input) << "until show\nclick 320 451\nuntil show 2\nwait 100\nclick 60 274\n"
                          "wait 100\nclick 60 274\nwait 100\nclick 260 274\nwait 100\n"
                          "click 500 274\nwait 200\nshot plugin\nkey q ctrl\n";
  const fs::path shots = m_dir / "shots";
  const fs::path vars = m_dir / "vars.json";
  ASSERT_EQ(
      Run("",
          "--quit-after 30000 --answers 6 --input " + Quote(input.string()) + " --screenshot " +
              Quote(shots.string()) + " --dump-vars " + Quote(vars.string()),
          "morvane-player"),
      1);
  m_vars = ReadText(vars);
  EXPECT_EQ(Num("gauge"), "20");
  EXPECT_NE(Str("gauge_file").find("\\QMTEMP\\readme.txt"), std::string::npos) << Str("gauge_file");
  const std::vector<std::string> boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("Leave the demo?"), std::string::npos) << boxes[0];
  QImage shot(QString::fromStdString((shots / "plugin.png").string()));
  ASSERT_FALSE(shot.isNull());
  EXPECT_EQ(shot.pixelColor(22, 62), QColor(0x2E, 0x5E, 0x3A));        // the second colour
  EXPECT_EQ(shot.pixelColor(24 + 50, 152), QColor(0xF0, 0xC0, 0x40));  // 20 of 100
  EXPECT_EQ(shot.pixelColor(24 + 64, 152), QColor(0x2E, 0x5E, 0x3A));
}

}  // namespace

namespace {

TEST_F(PluginRun, OnX11SetParentWindowGetsTheWindowsId) {
  if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xvfb-run";
  fs::create_directories(project());
  std::ofstream(project() / "project.yaml")
      << "title: X\npages:\n  - name: Main\n    on_show: \"9\"\n    objects:\n      - "
      << Window(1, WindowsPath(kTestPlugins / "recorder.so")) << "\n";
  const std::string command =
      "cd " + Quote(m_dir.string()) + " && MORVANE_PLUGIN_LOG=" + Quote(calls().string()) +
      " MORVANE_PREFIX=" + Quote((m_dir / "prefix").string()) +
      " XDG_CONFIG_HOME=" + Quote((m_dir / "config").string()) +
      " XDG_DATA_HOME=" + Quote((m_dir / "data").string()) +
      " QT_QPA_PLATFORM=xcb timeout 60 xvfb-run -a " + Quote(kBinaryDir + "/morvane-player-bare") +
      " --quit-after 10000 " + Quote(project().string()) + " >/dev/null 2>&1";
  std::system(command.c_str());
  const std::vector<std::string> calls = Calls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls[0], "A SetParentWindow window");
}

}  // namespace
