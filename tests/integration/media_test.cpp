// Sound and video through the real player, headless: every format old
// projects carry plays to its end with its length, broken files fail their
// action or end without hanging, and the media actions, loops, page starts,
// full screen, beeps, tones and command strings do what scripts expect.
// The media are made here with ffmpeg (and a MIDI writer), once per build
// folder.

#include "support/player_run.h"

#include <QColor>
#include <QImage>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using namespace morvane::test;

struct Format {
  const char* file;
  const char* ffmpeg;  // the arguments that make it, before the output name
  bool video;
};

// Two seconds each: a sine, or moving test bars with a sine.
const Format kFormats[] = {
    {"pcm.wav", "-f lavfi -i sine=f=440:d=2 -ac 1 -c:a pcm_s16le", false},
    {"ima-mono.wav", "-f lavfi -i sine=f=440:d=2 -ac 1 -c:a adpcm_ima_wav", false},
    {"ima-stereo.wav", "-f lavfi -i sine=f=440:d=2 -ac 2 -c:a adpcm_ima_wav", false},
    {"ms-mono.wav", "-f lavfi -i sine=f=440:d=2 -ac 1 -c:a adpcm_ms", false},
    {"ms-stereo.wav", "-f lavfi -i sine=f=440:d=2 -ac 2 -c:a adpcm_ms", false},
    {"sound.mp3", "-f lavfi -i sine=f=440:d=2 -c:a libmp3lame", false},
    {"sound.wma", "-f lavfi -i sine=f=440:d=2 -c:a wmav2", false},
    {"cinepak.avi", "-f lavfi -i testsrc=s=160x120:r=15:d=2 -c:v cinepak", true},
    {"msmpeg4v2.avi",
     "-f lavfi -i testsrc=s=160x120:r=15:d=2 -f lavfi -i sine=d=2 -c:v msmpeg4v2 -c:a pcm_s16le",
     true},
    {"msmpeg4v3.avi",
     "-f lavfi -i testsrc=s=160x120:r=15:d=2 -f lavfi -i sine=d=2 -c:v msmpeg4 -c:a libmp3lame",
     true},
    {"mjpeg.avi", "-f lavfi -i testsrc=s=160x120:r=15:d=2 -c:v mjpeg", true},
    {"raw.avi", "-f lavfi -i testsrc=s=160x120:r=15:d=2 -c:v rawvideo -pix_fmt bgr24", true},
    {"mpeg1.mpg",
     "-f lavfi -i testsrc=s=160x120:r=25:d=2 -f lavfi -i sine=d=2 -c:v mpeg1video -c:a mp2 -f "
     "mpeg",
     true},
    {"movie.wmv",
     "-f lavfi -i testsrc=s=160x120:r=15:d=2 -f lavfi -i sine=d=2 -c:v wmv2 -c:a wmav2", true},
    {"movie.asf",
     "-f lavfi -i testsrc=s=160x120:r=15:d=2 -f lavfi -i sine=d=2 -c:v msmpeg4 -c:a wmav2", true},
    {"h264.mp4",
     "-f lavfi -i testsrc=s=160x120:r=15:d=2 -f lavfi -i sine=d=2 -c:v libx264 -preset "
     "ultrafast -c:a aac",
     true},
    {"movie.flv",
     "-f lavfi -i testsrc=s=160x120:r=15:d=2 -f lavfi -i sine=d=2 -c:v flv1 -c:a libmp3lame -ar "
     "44100",
     true},
};

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// A MIDI file of one note held for two seconds (480 ticks a quarter note,
// a quarter note of 500 ms).
std::string TwoSecondMidi() {
  std::string track;
  track += std::string("\x00\xFF\x51\x03\x07\xA1\x20", 7);  // tempo 500000 us
  track += std::string("\x00\xC0\x00", 3);                  // piano
  track += std::string("\x00\x90\x3C\x64", 4);              // note on
  track += std::string("\x8F\x00\x80\x3C\x40", 5);          // 1920 ticks later: off
  track += std::string("\x00\xFF\x2F\x00", 4);
  std::string midi("MThd\x00\x00\x00\x06\x00\x00\x00\x01\x01\xE0", 14);
  const uint32_t n = uint32_t(track.size());
  midi += "MTrk";
  midi += char(n >> 24), midi += char(n >> 16), midi += char(n >> 8), midi += char(n);
  return midi + track;
}

// AVI stores raw RGB bottom-up unless the height is negative: flip the
// frames' order of rows in the header's eyes by negating the height.
void MakeTopDown(const fs::path& avi) {
  std::string bytes = ReadBytes(avi);
  size_t strf = bytes.find("strf");
  ASSERT_NE(strf, std::string::npos);
  // BITMAPINFOHEADER: size, width, height.
  size_t height = strf + 8 + 8;
  int32_t h = 0;
  std::memcpy(&h, &bytes[height], 4);
  h = -std::abs(h);
  std::memcpy(&bytes[height], &h, 4);
  WriteBytes(avi, bytes);
}

// The media of every test, made once per build folder.
const fs::path& MediaFolder() {
  static const fs::path folder = [] {
    fs::path dir = fs::path(kBinaryDir) / "media-fixtures";
    fs::create_directories(dir);
    const int lock = ::open((dir / ".lock").c_str(), O_CREAT | O_RDWR, 0644);
    if (lock >= 0) ::flock(lock, LOCK_EX);
    if (!fs::exists(dir / ".made")) {
      for (const Format& f : kFormats) {
        const std::string command = "ffmpeg -hide_banner -loglevel error -y " +
                                    std::string(f.ffmpeg) + " " + Quote((dir / f.file).string());
        if (std::system(command.c_str()) != 0) ADD_FAILURE() << command;
      }
      MakeTopDown(dir / "raw.avi");
      WriteBytes(dir / "music.mid", TwoSecondMidi());
      std::system(("ffmpeg -hide_banner -loglevel error -y -f lavfi -i sine=f=660:d=0.3 -ac 1 " +
                   Quote((dir / "short.wav").string()))
                      .c_str());
      // A video whose codec no decoder knows.
      std::string cinepak = ReadBytes(dir / "cinepak.avi");
      for (size_t at = cinepak.find("cvid"); at != std::string::npos;
           at = cinepak.find("cvid", at + 4))
        cinepak.replace(at, 4, "QQQQ");
      WriteBytes(dir / "nodecoder.avi", cinepak);
      std::ofstream(dir / ".made") << "1";
    }
    if (lock >= 0) ::close(lock);
    return dir;
  }();
  return folder;
}

struct MediaEvent {
  int object;
  std::string what;
  long long ms;
};

class MediaRun : public PlayerRunTest {
 protected:
  // Writes a one-page project of these objects (YAML flow maps) and runs it.
  void Play(const std::vector<std::string>& objects, const std::string& on_show, int quit_ms,
            const std::string& extra_pages = "", const std::string& options = "") {
    const fs::path project = m_dir / "project";
    fs::create_directories(project);
    std::ofstream yaml(project / "project.yaml");
    yaml << "title: Media\npages:\n  - name: Main\n    client_width: 400\n    client_height: "
            "300\n    options:\n      position: 1\n";
    if (!on_show.empty()) yaml << "    on_show: " << Yaml(on_show) << "\n";
    yaml << "    objects:\n";
    for (const std::string& o : objects) yaml << "      - " << o << "\n";
    yaml << extra_pages;
    yaml.close();
    const int status =
        Run(project.string(), "--dump-vars " + Quote((m_dir / "vars.json").string()) +
                                  " --quit-after " + std::to_string(quit_ms) + " " + options);
    ASSERT_EQ(status, 1) << "the player did not end normally; stderr: "
                         << ReadText(m_dir / "stderr.txt");
    m_vars = ReadText(m_dir / "vars.json");
    const std::vector<std::string> lines = TraceLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), R"({"event":"exit","code":1})");
    static const std::regex media(
        R"re(\{"event":"media","page":\d+,"object":(\d+),"what":"(\w+)","ms":(\d+)\})re");
    for (const std::string& line : lines) {
      std::smatch m;
      if (std::regex_match(line, m, media))
        m_events.push_back({std::stoi(m[1]), m[2], std::stoll(m[3])});
    }
  }

  std::string Var(const std::string& section, const std::string& name) const {
    return DumpEntry(m_vars, section, name);
  }
  std::string Num(const std::string& name) const { return Var("numbers", name); }
  std::string Str(const std::string& name) const { return Var("strings", name); }
  double Number(const std::string& name) const {
    const std::string v = Num(name);
    return v == "<unset>" ? -1 : std::stod(v);
  }

  std::vector<MediaEvent> Events(int object, const std::string& what) const {
    std::vector<MediaEvent> found;
    for (const MediaEvent& e : m_events)
      if (e.object == object && e.what == what) found.push_back(e);
    return found;
  }
  std::vector<std::string> Messages() const {
    std::vector<std::string> found;
    for (const std::string& line : TraceLines())
      if (line.find(R"("event":"message")") != std::string::npos) found.push_back(line);
    return found;
  }

  std::string m_vars;
  std::vector<MediaEvent> m_events;
};

std::string Sound(int number, const std::string& file, const std::string& more = "") {
  return "{kind: sound, name: " + std::to_string(number) + ", file: " + Yaml(file) +
         (more.empty() ? "" : ", " + more) + "}";
}

std::string Video(int number, const std::string& file, int left, const std::string& more = "") {
  return "{kind: video, name: " + std::to_string(number) + ", left: " + std::to_string(left) +
         ", top: 10, width: 32, height: 24, visible: true, file: " + Yaml(file) +
         (more.empty() ? "" : ", " + more) + "}";
}

std::string Act(int number, const std::string& action) {
  return "10(\"" + std::to_string(number) + "\",\"\")." + action + "\r";
}

// An event script as actions 71 to 78 carry it: every code raised by 5,
// after a CR became the code 1.
std::string Carried(const std::string& script) {
  std::string out;
  for (char c : script) out += char((c == '\r' ? 1 : (unsigned char)c) + 5);
  return out;
}

TEST_F(MediaRun, EveryFormatPlaysToItsEndWithItsLength) {
  const fs::path& media = MediaFolder();
  std::vector<std::string> objects;
  std::string show;
  std::map<int, std::string> files;
  int n = 1;
  std::vector<std::string> names;
  for (const Format& f : kFormats) names.push_back(f.file);
  names.push_back("music.mid");
  for (const std::string& name : names) {
    const bool video =
        name.find(".wav") == std::string::npos && name.find(".mp3") == std::string::npos &&
        name.find(".wma") == std::string::npos && name.find(".mid") == std::string::npos;
    const std::string path = WindowsPath(media / name);
    const std::string finish = "#end" + std::to_string(n) + "=#_" + std::to_string(n) + "_mss";
    objects.push_back(video ? Video(n, path, 10 + (n % 10) * 36, "on_finish: " + Yaml(finish))
                            : Sound(n, path, "on_finish: " + Yaml(finish)));
    show += Act(n, "54");
    files[n++] = name;
  }
  Play(objects, show, 9000);
  EXPECT_TRUE(Messages().empty()) << Messages().front();
  for (const auto& [number, name] : files) {
    const std::vector<MediaEvent> starts = Events(number, "start");
    const std::vector<MediaEvent> finishes = Events(number, "finish");
    ASSERT_EQ(starts.size(), 1u) << name;
    ASSERT_EQ(finishes.size(), 1u) << name;
    // Played in real time, to its end: never cut to half its length.
    EXPECT_GE(finishes[0].ms - starts[0].ms, 1500) << name;
    const std::string id = std::to_string(number);
    EXPECT_NEAR(Number("_" + id + "_totalmss"), 2000, name == "music.mid" ? 1500 : 150) << name;
    const int whole = int(Number("_" + id + "_totalmss")) / 1000;
    EXPECT_EQ(Str("_" + id + "_totalpos"), "00:00:0" + std::to_string(whole)) << name;
    // The last report before the end lies within the file: positions start at
    // 0. A container's duration may leave out its last frame (40 ms at 25 fps),
    // which the position then passes.
    EXPECT_GE(Number("end" + id), 900) << name;
    EXPECT_LE(Number("end" + id), Number("_" + id + "_totalmss") + 100) << name;
  }
}

TEST_F(MediaRun, BrokenFilesFailTheirActionOrEndWithoutHanging) {
  const fs::path& media = MediaFolder();
  const fs::path broken = m_dir / "damaged";
  fs::create_directories(broken);
  std::vector<std::string> objects;
  std::string show;
  int n = 1;
  std::vector<std::pair<std::string, bool>> names;
  for (const Format& f : kFormats) names.emplace_back(f.file, f.video);
  names.emplace_back("music.mid", false);
  std::srand(7);
  for (const auto& [name, video] : names) {
    const std::string bytes = ReadBytes(media / name);
    std::string garbage(4096 + size_t(std::rand() % 4096), '\0');
    for (char& c : garbage) c = char(std::rand());
    WriteBytes(broken / ("cut-" + name), bytes.substr(0, bytes.size() * 2 / 5));
    WriteBytes(broken / ("garbage-" + name), garbage);
    for (const char* prefix : {"cut-", "garbage-"}) {
      const std::string path = WindowsPath(broken / (prefix + name));
      objects.push_back(video ? Video(n, path, 10) : Sound(n, path));
      show += Act(n, "54");
      ++n;
    }
  }
  const std::string nodecoder = WindowsPath(media / "nodecoder.avi");
  objects.push_back(Video(n, nodecoder, 10));
  // The script ends the program once it has gone through every file; the
  // bound is for a machine so busy that it has not by then.
  show += Act(n, "54") + "#after=1\r\n9";
  Play(objects, show, 60000);
  // Every action ran and the script went on; a failure was a box, each
  // naming its file.
  EXPECT_EQ(Num("after"), "1");
  bool nodecoder_failed = false;
  for (const std::string& m : Messages()) {
    EXPECT_NE(m.find("Cannot play"), std::string::npos) << m;
    if (m.find("nodecoder.avi") != std::string::npos) nodecoder_failed = true;
  }
  EXPECT_TRUE(nodecoder_failed);
}

TEST_F(MediaRun, SoundLoopsCountPassesAndWaitBetweenThem) {
  const std::string file = WindowsPath(MediaFolder() / "short.wav");
  Play({Sound(1, file, "loop: true, loops: 3, on_start: '#s1=#s1+1', on_finish: '#f1=#f1+1'"),
        // Endless with a pause; the loop is switched off during the second pause.
        Sound(2, file,
              "loop: true, delay: 400, on_finish: " +
                  Yaml("#f2=#f2+1\r0(#f2=2)\r10(\"2\",\"\").42(0)\r1")),
        Sound(3, file, "loop: true, on_finish: '#f3=#f3+1'")},
       Act(1, "54") + Act(2, "54") + Act(3, "52(2)") + Act(3, "54"), 4000);
  // Three passes, one start: the passes after the first rewind the graph.
  EXPECT_EQ(Num("f1"), "3");
  EXPECT_EQ(Num("s1"), "1");
  EXPECT_EQ(Num("f2"), "2");
  EXPECT_EQ(Num("f3"), "2");
  // The pause lies between the end of a pass and the next one.
  const std::vector<MediaEvent> f2 = Events(2, "finish");
  ASSERT_EQ(f2.size(), 2u);
  EXPECT_GE(f2[1].ms - f2[0].ms, 300 + 400);
}

TEST_F(MediaRun, SoundStatesVolumesAndFailures) {
  const fs::path& media = MediaFolder();
  const std::string file = WindowsPath(media / "pcm.wav");
  const std::string show =
      "#s0=@47%(\"1\")\r" + Act(1, "57(\"" + file + "\")") + "#s1=@47%(\"1\")\r" + Act(1, "54") +
      "#s2=@47%(\"1\")\r" + Act(1, "55") + "#s3=@47%(\"1\")\r" + Act(1, "56") +
      "#s4=@47%(\"1\")\r" + Act(1, "50(5000)") + "#v1=@46%(\"1\")\r" + Act(1, "50(20000)") +
      "#v2=@46%(\"1\")\r" + Act(2, "54") + "#after=1\r" + Act(3, "54") + Act(3, "79(1500)");
  Play({Sound(1, ""), Sound(2, WindowsPath(media / "missing.wav")),
        Sound(3, file, "on_finish: '#f3=1'")},
       show, 2500);
  EXPECT_EQ(Num("s0"), "0");
  EXPECT_EQ(Num("s1"), "3");
  EXPECT_EQ(Num("s2"), "1");
  EXPECT_EQ(Num("s3"), "2");
  EXPECT_EQ(Num("s4"), "3");
  EXPECT_EQ(Num("v1"), "5000");
  EXPECT_EQ(Num("v2"), "10000");
  // The missing file fails its action in a box; the script goes on.
  EXPECT_EQ(Num("after"), "1");
  const std::vector<std::string> boxes = Messages();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("missing.wav"), std::string::npos) << boxes[0];
  EXPECT_NE(boxes[0].find(R"("caption":"Media")"), std::string::npos) << boxes[0];
  // Seeking to 1500 ms of 2 s leaves half a second to play.
  EXPECT_EQ(Num("f3"), "1");
  const std::vector<MediaEvent> f3 = Events(3, "finish");
  ASSERT_EQ(f3.size(), 1u);
  EXPECT_LT(f3[0].ms - Events(3, "start").at(0).ms, 1400);
}

TEST_F(MediaRun, SoundsStartWithTheirPageAndStopAtExit) {
  const std::string file = WindowsPath(MediaFolder() / "short.wav");
  const std::string page2 =
      "  - name: Second\n    client_width: 200\n    client_height: 100\n    options:\n"
      "      hidden_at_start: true\n    objects:\n      - " +
      Sound(5, file, "play_with_page_start: true, on_start: '#s5=#s5+1'") + "\n";
  Play({Sound(1, file, "play_with_page_start: true, on_finish: '#f1=#f1+1'"),
        "{kind: timer, name: 9, interval: 800, loops: 1, enabled: true, on_timer: " +
            Yaml("15(\"Second\")") + "}"},
       "", 2500, page2);
  // Page 1's sound started after construction and after the show script.
  EXPECT_GE(Number("f1"), 1);
  // Page 2's sound started at once and again when its page was shown.
  EXPECT_GE(Number("s5"), 2);
}

TEST_F(MediaRun, VideosPaintTheirFramesLoopAndHideAtTheirEnd) {
  const fs::path& media = MediaFolder();
  Play({Video(1, WindowsPath(media / "cinepak.avi"), 10, "loop: true, on_finish: '#f1=#f1+1'"),
        Video(2, WindowsPath(media / "mjpeg.avi"), 200, "play_with_page_start: true"),
        "{kind: timer, name: 9, interval: 50, enabled: true, on_timer: " +
            Yaml("#v2=@45%(\"2\")\r#p2=@47%(\"2\")") + "}"},
       Act(1, "54"), 3200, "", "--screenshot " + Quote((m_dir / "shots").string()));
  EXPECT_EQ(Num("f1"), "1");
  // The auto-start video ended: hidden, its graph released.
  EXPECT_EQ(Num("v2"), "0");
  EXPECT_EQ(Num("p2"), "0");
  ASSERT_EQ(Events(2, "start").size(), 1u);
  // The looping video shows its current frame: test bars, not black.
  QImage shot(QString::fromStdString((m_dir / "shots" / "page1.png").string()));
  ASSERT_FALSE(shot.isNull());
  int coloured = 0;
  for (int x = 12; x < 40; x += 3) {
    const QColor c = shot.pixelColor(x, 20);
    if (c.red() + c.green() + c.blue() > 120) ++coloured;
  }
  EXPECT_GE(coloured, 5);
}

TEST_F(MediaRun, FullScreenUntilEscape) {
  const std::string file = WindowsPath(MediaFolder() / "cinepak.avi");
  const fs::path input = m_dir / "input.txt";
  std::ofstream(input) << "wait 300\nkey Escape\nwait 200\n";
  Play({Video(1, file, 10, "loop: true"), Video(2, file, 100),
        "{kind: timer, name: 9, interval: 150, loops: 1, enabled: true, on_timer: " +
            Yaml("#w1=@82%(\"1\")\r" + Act(2, "89(1)") + "#w2=@82%(\"2\")") + "}",
        "{kind: timer, name: 8, interval: 800, loops: 1, enabled: true, on_timer: " +
            Yaml("#w3=@82%(\"1\")\r#x3=@78%(\"1\")") + "}"},
       Act(1, "54") + Act(1, "89(1)"), 1200, "", "--input " + Quote(input.string()));
  // Full screen fills the screen; a second request waits for the first.
  EXPECT_GT(Number("w1"), 32);
  EXPECT_EQ(Num("w2"), "32");
  // Escape brought the first back to its place.
  EXPECT_EQ(Num("w3"), "32");
  EXPECT_EQ(Num("x3"), "10");
}

TEST_F(MediaRun, BeepsTonesAndCommandStrings) {
  const std::string file = WindowsPath(MediaFolder() / "short.wav");
  const std::string longer = WindowsPath(MediaFolder() / "pcm.wav");
  Play({Sound(1, file, "on_finish: '#f1=1'")},
       "43(48)\r44(440,400)\r" + Act(1, "54") + "39(\"open " + longer +
           " type waveaudio alias click\")\r39(\"play click wait\")\r#waited=#f1\r"
           "39(\"setaudio click volume to 500\")\r39(\"seek click to start\")\r"
           "39(\"close click\")\r39(\"play click\")\r39(\"open cdaudio\")\r39(\"frobnicate\")\r"
           "#after=1",
       4500);
  EXPECT_EQ(Num("after"), "1");
  // The command held the script until its file had played, while the
  // shorter sound started before it ended.
  EXPECT_EQ(Num("waited"), "1");
  const std::vector<std::string> boxes = Messages();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_NE(boxes[0].find("not open or is not recognized"), std::string::npos) << boxes[0];
  EXPECT_NE(boxes[2].find("cannot recognize the specified command"), std::string::npos) << boxes[2];
  const std::string traced = ReadText(trace());
  EXPECT_NE(traced.find(R"({"event":"beep","type":48})"), std::string::npos);
  EXPECT_NE(traced.find(R"({"event":"tone","frequency":440,"duration":400})"), std::string::npos);
}

TEST_F(MediaRun, SoundSettingsTakeEffectFromTheirAction) {
  const std::string file = WindowsPath(MediaFolder() / "short.wav");
  // Sound 1 loops twice with a pause set by action; sound 2 is told to start
  // with its page, so it starts once the show script ended, without 54;
  // sound 3 gets new start and finish scripts and its second pass ends
  // the run.
  Play({Sound(1, file, "on_finish: '#f1=#f1+1'"), Sound(2, file, "on_start: '#s2=#s2+1'"),
        Sound(3, file, "on_start: '#old=1', on_finish: '#old=1'")},
       Act(1, "42(1)") + Act(1, "52(2)") + Act(1, "53(400)") + Act(1, "54") + Act(2, "51(1)") +
           Act(3, "77(\"" + Carried("#s3=#s3+1") + "\")") +
           Act(3, "78(\"" + Carried("#f3=#f3+1\r0(#f1=2)\r9\r1") + "\")") + Act(3, "42(1)") +
           Act(3, "54"),
       30000);
  EXPECT_EQ(Num("f1"), "2");
  const std::vector<MediaEvent> f1 = Events(1, "finish");
  ASSERT_EQ(f1.size(), 2u);
  EXPECT_GE(f1[1].ms - f1[0].ms, 200 + 400);
  EXPECT_EQ(Num("s2"), "1");
  EXPECT_EQ(Num("s3"), "1");
  EXPECT_GE(Number("f3"), 1);
  EXPECT_EQ(Num("old"), "<unset>");
}

TEST_F(MediaRun, VideoActionsDriveItsGraphAndWindow) {
  const fs::path& media = MediaFolder();
  const std::string cinepak = WindowsPath(media / "cinepak.avi");
  const std::string state = "@47%(\"1\")";
  // Video 1 through load, play, pause, rewind, a move and a seek; video 2
  // is deleted while it plays; video 3 loops with a pause between passes
  // and its second pass ends the run.
  const std::string show =
      "#p0=" + state + "\r" + Act(1, "57(\"" + WindowsPath(media / "missing.avi") + "\")") +
      "#after=1\r" + Act(1, "57(\"" + cinepak + "\")") + "#p1=" + state + "\r" + Act(1, "54") +
      "#p2=" + state + "\r" + Act(1, "55") + "#p3=" + state + "\r" + Act(1, "103") +
      Act(1, "54") + Act(1, "7(100,50)") + "#p4=" + state + "\r#v4=@45%(\"1\")\r#x4=@78%(\"1\")\r" +
      Act(1, "4(1)") + Act(1, "54") + Act(1, "79(1000)") + "#p5=" + state + "\r" + Act(2, "54") +
      Act(2, "0") +
      Act(3, "54");
  Play({Video(1, "", 10, "on_start: '#s1=#s1+1', on_finish: '#f1=#f1+1'"),
        Video(2, cinepak, 60, "on_finish: '#f2=1'"),
        Video(3, cinepak, 200,
              "loop: true, delay: 500, on_finish: " + Yaml("#f3=#f3+1\r0(#f3=2)\r9\r1"))},
       show, 30000);
  EXPECT_EQ(Num("p0"), "0");
  // The missing file failed its load in a box; the script went on.
  EXPECT_EQ(Num("after"), "1");
  const std::vector<std::string> boxes = Messages();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("missing.avi"), std::string::npos) << boxes[0];
  EXPECT_EQ(Num("p1"), "3");
  EXPECT_EQ(Num("p2"), "1");
  EXPECT_EQ(Num("p3"), "2");
  // A move stops the video, releases its graph and hides its window.
  EXPECT_EQ(Num("p4"), "0");
  EXPECT_EQ(Num("v4"), "0");
  EXPECT_EQ(Num("x4"), "100");
  // Played again from its file, then from 1 s on: once to its end.
  EXPECT_EQ(Num("p5"), "1");
  EXPECT_EQ(Num("f1"), "1");
  const std::vector<MediaEvent> s1 = Events(1, "start"), f1 = Events(1, "finish");
  ASSERT_FALSE(s1.empty());
  ASSERT_EQ(f1.size(), 1u);
  EXPECT_LT(f1[0].ms - s1.back().ms, 1400);
  // The deleted video never finished.
  EXPECT_EQ(Num("f2"), "<unset>");
  EXPECT_TRUE(Events(2, "finish").empty());
  // The pause between the looping video's passes.
  const std::vector<MediaEvent> f3 = Events(3, "finish");
  ASSERT_EQ(f3.size(), 2u);
  EXPECT_GE(f3[1].ms - f3[0].ms, 1500 + 500);
}

TEST_F(MediaRun, ToneHoldsTheScriptUntilItEnds) {
  const fs::path& media = MediaFolder();
  // The tone is asked for once sound 1 really plays; sound 2 starts after
  // the tone returns, so its start lies the tone's length after sound 1's
  // on the engine's clock.
  Play({Sound(1, WindowsPath(media / "pcm.wav"),
              "on_start: " + Yaml("44(440,2500)\r" + Act(2, "54"))),
        Sound(2, WindowsPath(media / "short.wav"), "on_finish: '9'")},
       Act(2, "57(\"" + WindowsPath(media / "short.wav") + "\")") + Act(1, "54"), 30000);
  const std::vector<MediaEvent> first = Events(1, "start"), second = Events(2, "start");
  ASSERT_EQ(first.size(), 1u);
  ASSERT_EQ(second.size(), 1u);
  EXPECT_GE(second[0].ms - first[0].ms, 2400);
  EXPECT_NE(ReadText(trace()).find(R"({"event":"tone","frequency":440,"duration":2500})"),
            std::string::npos);
}

TEST_F(MediaRun, TheEngineStartsWithTheFirstFilePlayed) {
  const std::string wav = WindowsPath(MediaFolder() / "short.wav");
  const std::string avi = WindowsPath(MediaFolder() / "cinepak.avi");
  // The engine opens this log file when it starts.
  const fs::path probe = m_dir / "engine.log";
  setenv("GST_DEBUG_FILE", probe.c_str(), 1);
  std::vector<std::string> objects;
  for (int n = 1; n <= 200; ++n) objects.push_back(Sound(n, wav));
  for (int n = 201; n <= 220; ++n) objects.push_back(Video(n, avi, 10));
  // Their states and volumes are read, and a sound is told to loop; nothing
  // plays.
  Play(objects, "#state=@47%(\"1\")\r#vol=@46%(\"201\")\r" + Act(5, "42(1)") + "9", 30000);
  EXPECT_EQ(Num("state"), "0");
  EXPECT_FALSE(fs::exists(probe));
  objects.resize(1);
  Play(objects, Act(1, "54") + "#played=1", 1500);
  unsetenv("GST_DEBUG_FILE");
  EXPECT_EQ(Num("played"), "1");
  EXPECT_TRUE(fs::exists(probe));
}

TEST_F(MediaRun, TheDemoPlaysMusicAClickAndAVideo) {
  // To the sound and video page; Play, once the music plays; Pause once the
  // video's first pass ended (the music's start, the click's start and end,
  // the video's start and end: five media events); then Ctrl+Q, answered Yes.
  const fs::path input = m_dir / "input.txt";
  std::ofstream(input) << "until show\nclick 320 371\nuntil media\nclick 300 330\nuntil media 5\n"
                          "click 390 330\nwait 200\nshot media\nkey q ctrl\n";
  const fs::path shots = m_dir / "shots";
  const fs::path vars = m_dir / "vars.json";
  ASSERT_EQ(Run("",
                "--quit-after 60000 --answers 6 --input " + Quote(input.string()) +
                    " --screenshot " + Quote(shots.string()) + " --dump-vars " +
                    Quote(vars.string()),
                "morvane-player"),
            1);
  const std::string traced = ReadText(trace());
  for (const char* event : {R"({"event":"media","page":5,"object":3,"what":"start")",
                            R"({"event":"media","page":5,"object":4,"what":"start")",
                            R"({"event":"media","page":5,"object":7,"what":"start")",
                            R"({"event":"media","page":5,"object":7,"what":"finish")"})
    EXPECT_NE(traced.find(event), std::string::npos) << event << "\n" << traced;
  EXPECT_EQ(traced.find(R"("what":"error")"), std::string::npos) << traced;
  // The only box is the question before leaving.
  const std::vector<std::string> boxes = Messages();
  ASSERT_EQ(boxes.size(), 1u) << traced;
  EXPECT_NE(boxes[0].find("Leave the demo?"), std::string::npos) << boxes[0];
  m_vars = ReadText(vars);
  EXPECT_NEAR(Number("_7_totalmss"), 4900, 300);
  EXPECT_GT(Number("_3_totalmss"), 10000);
  EXPECT_EQ(Str("_7_totalpos"), "00:00:04");
  // The paused video shows a frame of the zoom, not black.
  QImage shot(QString::fromStdString((shots / "media.png").string()));
  ASSERT_FALSE(shot.isNull());
  int coloured = 0;
  for (int x = 270; x < 570; x += 10) {
    const QColor c = shot.pixelColor(x, 180);
    if (c.red() + c.green() + c.blue() > 120) ++coloured;
  }
  EXPECT_GE(coloured, 10);
}

}  // namespace
