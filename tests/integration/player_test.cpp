// Runs the real player headless on small projects and checks what it traces,
// draws and leaves behind.

#include "support/player_run.h"

#include "package/native_container.h"

#include <QColor>
#include <QImage>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

using namespace morvane::test;

const std::string& kFixtures = kPlayerFixtures;

class PlayerRun : public PlayerRunTest {
 protected:
  fs::path qmtemp() const { return m_dir / "prefix/windows/temp/QMTEMP"; }
};

TEST_F(PlayerRun, ShowsVisiblePagesAndDrawsThem) {
  fs::path shots = m_dir / "shots";
  EXPECT_EQ(Run(kFixtures + "/pages", "--quit-after 300 --screenshot " + Quote(shots.string())), 1);
  // The main window comes last and so is the current page.
  EXPECT_EQ(TraceLines(), (std::vector<std::string>{R"({"event":"show","page":2})",
                                                    R"({"event":"show","page":1})",
                                                    R"({"event":"exit","code":1})"}));
  // The hidden third page gives no picture.
  EXPECT_FALSE(fs::exists(shots / "page3.png"));

  QImage first(QString::fromStdString((shots / "page1.png").string()));
  ASSERT_EQ(first.size(), QSize(320, 200));
  // A frame line, then the 8-pixel tile (4 blue, 4 yellow) repeated from 0,0.
  EXPECT_EQ(first.pixelColor(0, 100), QColor(0, 0, 0));
  EXPECT_EQ(first.pixelColor(319, 100), QColor(0, 0, 0));
  EXPECT_EQ(first.pixelColor(2, 100), QColor(0, 0, 255));
  EXPECT_EQ(first.pixelColor(13, 100), QColor(255, 255, 0));
  EXPECT_EQ(first.pixelColor(17, 100), QColor(0, 0, 255));

  // A 2x2 bitmap background stretched over the whole page, no frame.
  QImage second(QString::fromStdString((shots / "page2.png").string()));
  ASSERT_EQ(second.size(), QSize(100, 80));
  EXPECT_EQ(second.pixelColor(0, 0), QColor(0, 200, 0));
  EXPECT_EQ(second.pixelColor(99, 79), QColor(0, 200, 0));
}

TEST_F(PlayerRun, DemoIsBuiltIntoThePlayer) {
  fs::path shots = m_dir / "shots";
  EXPECT_EQ(Run("", "--quit-after 300 --screenshot " + Quote(shots.string()), "morvane-player"), 1);
  EXPECT_EQ(TraceLines(), (std::vector<std::string>{R"({"event":"show","page":1})",
                                                    R"({"event":"exit","code":1})"}));
  QImage menu(QString::fromStdString((shots / "page1.png").string()));
  EXPECT_EQ(menu.size(), QSize(640, 480));
}

TEST_F(PlayerRun, ExtractsCursorFilesOnlyAndRemovesThemAtExit) {
  // The player runs for a while; its extraction folder is looked at meanwhile.
  std::thread player([&] { Run(kFixtures + "/assets", "--quit-after 1500"); });
  bool seen = false;
  for (int i = 0; i < 100 && !seen; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    seen = fs::exists(qmtemp() / "pointer.cur");
  }
  EXPECT_TRUE(seen);
  EXPECT_FALSE(fs::exists(qmtemp() / "intro.wav"));
  EXPECT_FALSE(fs::exists(qmtemp() / "my.pointer.cur"));
  player.join();
  EXPECT_FALSE(fs::exists(qmtemp() / "pointer.cur"));
  EXPECT_TRUE(fs::is_directory(qmtemp()));
}

TEST_F(PlayerRun, UnreadableExecutableIsReported) {
  fs::path junk = m_dir / "junk.exe";
  std::ofstream(junk) << "not an executable";
  EXPECT_EQ(Run(junk.string(), "--dump-vars " + Quote((m_dir / "vars.json").string())), 1);
  EXPECT_EQ(
      TraceLines(),
      (std::vector<std::string>{
          R"({"event":"message","caption":"QM.SYNTX ERR","text":"Executable file is corrupted.","flags":16,"result":1})",
          R"({"event":"exit","code":1})"}));
  EXPECT_EQ(ReadText(m_dir / "vars.json"),
            "{\"numbers\": {}, \"strings\": {}, \"booleans\": {}}\n");
}

TEST_F(PlayerRun, LoadFailureIsShownUnderTheExecutablesName) {
  // A packed executable whose package is no package.
  fs::path exe = m_dir / "broken";
  morvane::WriteNativeExecutable(kBinaryDir + "/morvane-player-bare", {{"PDATA", "QMC garbage"}},
                                 std::nullopt, exe.string());
  EXPECT_EQ(Run(exe.string(), "--answers 2"), 1);
  std::vector<std::string> lines = TraceLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find(R"("caption":"broken")"), std::string::npos) << lines[0];
  EXPECT_NE(lines[0].find("Application could not be intialized, run the application again or "
                          "recompile your Morvane\u2122 project.\\n\\nDetailed Error ("),
            std::string::npos)
      << lines[0];
  // The answer list is used even though the box has a single button.
  EXPECT_NE(lines[0].find(R"("flags":48,"result":2})"), std::string::npos) << lines[0];
}

TEST_F(PlayerRun, InputShotPicturesTheCurrentPage) {
  fs::path shots = m_dir / "shots";
  fs::path input = m_dir / "input.txt";
  std::ofstream(input) << "# a comment\nwait 50\nmove 10 10\nclick 20 20\nshot early\n";
  EXPECT_EQ(Run(kFixtures + "/pages", "--quit-after 800 --input " + Quote(input.string()) +
                                          " --screenshot " + Quote(shots.string())),
            1);
  // Page 1, shown last, is the current page.
  QImage early(QString::fromStdString((shots / "early.png").string()));
  EXPECT_EQ(early.size(), QSize(320, 200));
}

TEST_F(PlayerRun, BadArgumentsAreRefused) {
  EXPECT_EQ(Run("", "--quit-after soon"), 2);
  EXPECT_EQ(Run("", "--answers 1,x"), 2);
  EXPECT_EQ(Run("a b", "--help"), 0);
}

}  // namespace

namespace {

// Pixels that differ by more than a font's anti-aliasing would make them.
int DifferentPixels(const QImage& a, const QImage& b) {
  int count = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      if (std::abs(qRed(p) - qRed(q)) > 64 || std::abs(qGreen(p) - qGreen(q)) > 64 ||
          std::abs(qBlue(p) - qBlue(q)) > 64) {
        ++count;
      }
    }
  }
  return count;
}

}  // namespace

TEST_F(PlayerRun, DrawsEveryClassAsTheReferencePicture) {
  // The sound that starts with the page has no file: its start after
  // construction and its restart after the show script each report it.
  std::string folder;  // the fixtures' folder as the trace writes a Windows path
  for (char c : kFixtures) folder += c == '/' ? std::string("\\\\") : std::string(1, c);
  const std::string kNoMusic =
      R"({"event":"message","caption":"Morvane Exception","text":"Cannot play \"Z:)" + folder +
      R"(\\\\music.wav\". Cannot render the file: the system cannot find the file specified.","flags":16,"result":1})";
  fs::path shots = m_dir / "shots";
  // Without the web engine: the browser is the empty page the picture shows.
  EXPECT_EQ(Run(kFixtures + "/objects", "--quit-after 400 --screenshot " + Quote(shots.string()),
                "morvane-player-bare", "MORVANE_WEB_MODULE=/nonexistent"),
            1);
  // The plug-in window names a Windows library with nothing native beside it.
  EXPECT_EQ(TraceLines(), (std::vector<std::string>{
                              R"({"event":"web-engine","loaded":0,"reason":"the web engine module is not installed"})",
                              R"({"event":"show","page":1})", kNoMusic,
                              R"({"event":"plugin","page":1,"object":"OBJ28",)"
                              R"("what":"windows-only","detail":"a Windows library with no )"
                              R"(native counterpart beside it"})",
                              kNoMusic, R"({"event":"exit","code":1})"}));
  QImage page(QString::fromStdString((shots / "page1.png").string()));
  QImage expected(QString::fromStdString(kFixtures + "/objects/expected-page1.png"));
  ASSERT_EQ(page.size(), expected.size());
  // The animated GIF (32 x 32) may show either frame; text may shift a little.
  EXPECT_LT(DifferentPixels(page, expected), 1600);

  // Fixed points of the picture: shape fills, the keyed bitmap, frames.
  struct Probe {
    int x, y;
    QColor colour;
  };
  const Probe probes[] = {
      {30, 120, QColor(255, 0, 0)},       // rectangle fill
      {4, 100, QColor(0, 0, 0)},          // its pen, top-left pixel
      {63, 139, QColor(0, 0, 0)},         // and bottom-right, the GDI box
      {98, 120, QColor(0, 200, 0)},       // rounded rectangle
      {270, 104, QColor(255, 200, 0)},    // triangle
      {72, 206, QColor(0, 160, 0)},       // bitmap centre
      {58, 192, QColor(212, 208, 200)},   // its magenta border keyed out
      {10, 200, QColor(255, 0, 0)},       // stretched PNG, top-left quarter
      {40, 200, QColor(0, 0, 255)},       // top-right quarter
      {130, 4, QColor(128, 128, 128)},    // sunken edge of the first edit
      {312, 4, QColor(128, 128, 128)},    // and of the list box
      {226, 4, QColor(0, 0, 0)},          // the default button's outline
      {250, 210, QColor(255, 255, 255)},  // an empty browser
  };
  for (const Probe& p : probes) {
    EXPECT_EQ(page.pixelColor(p.x, p.y), p.colour) << p.x << "," << p.y;
  }
}

// Pixels of the rectangle within `tolerance` of the colour on every channel.
int PixelsNear(const QImage& image, const QRect& area, QColor colour, int tolerance = 48) {
  int count = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      const QColor p = image.pixelColor(x, y);
      if (std::abs(p.red() - colour.red()) <= tolerance &&
          std::abs(p.green() - colour.green()) <= tolerance &&
          std::abs(p.blue() - colour.blue()) <= tolerance) {
        ++count;
      }
    }
  }
  return count;
}

TEST_F(PlayerRun, MetafileTextDrawsWhateverItsMapping) {
  // The squeezed text is the page background and the first image's picture;
  // either one used to end the player on a signal before the page showed.
  fs::path shots = m_dir / "shots";
  EXPECT_EQ(
      Run(kFixtures + "/metafile-text", "--quit-after 400 --screenshot " + Quote(shots.string())),
      1);
  EXPECT_EQ(TraceLines(), (std::vector<std::string>{R"({"event":"show","page":1})",
                                                    R"({"event":"exit","code":1})"}));

  // The ordinary text in the second image, placed at 0,100.
  QImage page(QString::fromStdString((shots / "page1.png").string()));
  ASSERT_EQ(page.size(), QSize(240, 200));
  EXPECT_GT(PixelsNear(page, QRect(0, 100, 240, 32), QColor(192, 0, 0)), 150);
  EXPECT_EQ(PixelsNear(page, QRect(0, 132, 240, 58), QColor(192, 0, 0)), 0);
  EXPECT_GT(PixelsNear(page, QRect(0, 132, 160, 24), QColor(0, 0, 128)), 60);
  // Turned text: its opaque box rises to the right of where it starts.
  EXPECT_GT(PixelsNear(page, QRect(150, 150, 90, 40), QColor(255, 255, 0), 8), 300);
  EXPECT_EQ(PixelsNear(page, QRect(0, 100, 140, 90), QColor(255, 255, 0), 8), 0);
}

TEST_F(PlayerRun, ProjectNeedingFlashSaysSoAndEnds) {
  // Without the Flash player's files.
  EXPECT_EQ(Run(kFixtures + "/flash", "--quit-after 20000", "morvane-player-bare",
                "MORVANE_RUFFLE_DIR=/nonexistent"),
            1);
  std::vector<std::string> lines = TraceLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find(R"("caption":"Flash ActiveX")"), std::string::npos) << lines[0];
  EXPECT_NE(lines[0].find("requiers Flash ActiveX to be installed.\\nThis ActiveX can be "
                          "downloaded from "),
            std::string::npos);
  EXPECT_NE(lines[0].find("\\n\\nSince it is not installed, you can not run/use this "
                          "application.\\nApplication will now terminate."),
            std::string::npos);
  EXPECT_NE(lines[0].find(R"("flags":8240)"), std::string::npos);
  EXPECT_EQ(lines[1], R"({"event":"exit","code":1})");
}

namespace {

// Whether the variable dump holds the entry `"name": value` in its section,
// both read as JSON.
bool DumpHas(const std::string& dump, const std::string& section, const std::string& entry) {
  const QJsonObject want =
      QJsonDocument::fromJson(QByteArray::fromStdString("{" + entry + "}")).object();
  const QJsonObject got = QJsonDocument::fromJson(QByteArray::fromStdString(dump))
                              .object()
                              .value(QString::fromStdString(section))
                              .toObject();
  for (auto it = want.begin(); it != want.end(); ++it) {
    if (got.value(it.key()) != it.value()) return false;
  }
  return !want.isEmpty();
}

}  // namespace

TEST_F(PlayerRun, ScriptsRunOnShowCloseAndNavigation) {
  fs::path vars = m_dir / "vars.json";
  fs::path shots = m_dir / "shots";
  // The question is answered No (7). Closing the last visible page ends the
  // program, as the navigation ran in the main window.
  EXPECT_EQ(Run(kFixtures + "/scripts", "--answers 7 --quit-after 5000 --dump-vars " +
                                            Quote(vars.string()) + " --screenshot " +
                                            Quote(shots.string())),
            1);
  EXPECT_EQ(TraceLines(),
            (std::vector<std::string>{
                R"({"event":"show","page":1})",
                R"({"event":"message","caption":"Question","text":"Go on?","flags":36,"result":7})",
                R"({"event":"show","page":2})", R"({"event":"hide","page":1})",
                R"({"event":"exit","code":1})"}));
  const std::string dump = ReadText(vars);
  for (const char* entry : {R"("count": "2")", R"("answer": "7")", R"("seen": "1")",
                            R"("start_closed": "1")", R"("closes": "2")"}) {
    EXPECT_TRUE(DumpHas(dump, "numbers", entry)) << entry << "\n" << dump;
  }
  EXPECT_TRUE(DumpHas(dump, "strings", R"("name": "Morvane")")) << dump;
  // The first close was cancelled by the close script, the second was not.
  EXPECT_TRUE(DumpHas(dump, "booleans", R"("stayed": true)")) << dump;
  EXPECT_TRUE(DumpHas(dump, "booleans", R"("_close": true)")) << dump;

  // The second page took the bounds of the first, as the page switch does
  // even for a page of fixed size; the first is hidden and left no picture.
  EXPECT_FALSE(fs::exists(shots / "page1.png"));
  QImage second(QString::fromStdString((shots / "page2.png").string()));
  ASSERT_EQ(second.size(), QSize(200, 100));
  EXPECT_EQ(second.pixelColor(100, 50), QColor(0, 0, 255));
}

// Script failures with and without an on-error script, and worker threads
// handing window actions to the main thread: fixture cases script-error,
// on-error and worker (expect.yaml, run by cases_test.cpp).

TEST_F(PlayerRun, DeclaredDatabaseBringsItsEngineLibrary) {
  const fs::path library = m_dir / "prefix/windows/system32/sqlite3.dll";
  EXPECT_EQ(Run(kFixtures + "/database", "--quit-after 200"), 1);
  EXPECT_EQ(ReadText(library), "engine library stand-in\n");
  EXPECT_EQ(TraceLines(), (std::vector<std::string>{R"({"event":"show","page":1})",
                                                    R"({"event":"exit","code":1})"}));

  // A library already there is kept, and then the resource is not needed.
  std::ofstream(library, std::ios::trunc) << "installed";
  EXPECT_EQ(Run(kFixtures + "/database", "--quit-after 200"), 1);
  EXPECT_EQ(ReadText(library), "installed");
  fs::remove(trace());
  EXPECT_EQ(Run(kFixtures + "/database-no-engine", "--quit-after 200"), 1);
  EXPECT_EQ(ReadText(library), "installed");

  // Without the library and its resource the project cannot start.
  fs::remove(library);
  fs::remove(trace());
  EXPECT_EQ(Run(kFixtures + "/database-no-engine", "--quit-after 200"), 1);
  std::vector<std::string> lines = TraceLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find(R"("caption":"No Engine")"), std::string::npos) << lines[0];
  EXPECT_NE(lines[0].find("Detailed Error (10): \\nResource SQLite3 not found."), std::string::npos)
      << lines[0];
  EXPECT_FALSE(fs::exists(library));
}

TEST_F(PlayerRun, PageWindowsByNameMinimizeRestoreAndHints) {
  fs::path vars = m_dir / "vars.json";
  fs::path input = m_dir / "input.txt";
  // Over the button with a hint, then over the bare page.
  // The moves wait for the show script's last window action, however
  // slowly the machine gets there.
  std::ofstream(input) << "until restore\nwait 20\nmove 20 20\nwait 50\nmove 150 80\nwait 50\n";
  // The bound leaves a slow (sanitized, loaded) machine time for every step.
  EXPECT_EQ(Run(kFixtures + "/page-actions", "--quit-after 10000 --input " + Quote(input.string()) +
                                                 " --dump-vars " + Quote(vars.string())),
            1);
  // A name that is no page does nothing; the modal page closes itself and
  // the script goes on after it.
  EXPECT_EQ(TraceLines(), (std::vector<std::string>{
                              R"({"event":"show","page":1})", R"({"event":"show","page":2})",
                              R"({"event":"hide","page":2})", R"({"event":"show","page":3})",
                              R"({"event":"hide","page":3})", R"({"event":"minimize"})",
                              R"({"event":"restore"})", R"({"event":"exit","code":1})"}));
  const std::string dump = ReadText(vars);
  // Centred on the 800 x 600 offscreen screen: (800 - 204) / 2 with the frame.
  for (const char* entry : {R"("second_closed": "1")", R"("left": "298")", R"("modal_shown": "1")",
                            R"("after_modal": "1")", R"("minimized": "1")", R"("restored": "1")"}) {
    EXPECT_TRUE(DumpHas(dump, "numbers", entry)) << entry << "\n" << dump;
  }
  EXPECT_TRUE(DumpHas(dump, "strings", R"("hints": "[Press for help][]")")) << dump;
}
