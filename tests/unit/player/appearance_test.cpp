// Page appearance: the background filters on pictures small enough to work
// out by hand, the appearance codes on a real page window, printing to PDF
// files, the display-mode switch with its fall-backs and its failure, and the
// screen-saver inhibition over a private session bus.

#include "expr/eval_error.h"
#include "player/assets/background.h"
#include "player/objects/page_objects.h"
#include "player/shell/desktop_settings.h"
#include "player/shell/display_modes.h"
#include "player/shell/page_appearance.h"
#include "player/shell/page_printer.h"
#include "player/shell/page_window.h"
#include "player/shell/player.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QScreen>
#include <QScrollArea>
#include <QThread>
#include "support/qt_app.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

namespace morvane {
namespace {

const std::string kFixtures = std::string(MORVANE_SOURCE_DIR) + "/tests/fixtures/player";

QImage Row(std::initializer_list<QRgb> pixels) {
  QImage image(int(pixels.size()), 1, QImage::Format_ARGB32);
  int x = 0;
  for (QRgb p : pixels) image.setPixel(x++, 0, p);
  return image;
}

QRgb Grey(int v) {
  return qRgb(v, v, v);
}

std::vector<QRgb> RowOf(const QImage& image) {
  std::vector<QRgb> row;
  for (int x = 0; x < image.width(); ++x) row.push_back(image.pixel(x, 0));
  return row;
}

TEST(BackgroundFilters, PixelsWorkedOutByHand) {
  const QImage orange = Row({qRgb(200, 100, 0)});
  struct Case {
    const char* name;
    QImage picture;
    BackgroundFilters filters;
    std::vector<QRgb> expected;
  };
  auto with = [](auto set) {
    BackgroundFilters f;
    set(f);
    return f;
  };
  const Case cases[] = {
      // c + (255 - c) / 2, halves rounded away from zero.
      {"lighter", orange, with([](auto& f) { f.lightness = 50; }), {qRgb(228, 178, 128)}},
      {"darker", orange, with([](auto& f) { f.lightness = -50; }), {qRgb(100, 50, 0)}},
      // Twice the distance from 128.
      {"contrast", orange, with([](auto& f) { f.contrast = 50; }), {qRgb(255, 72, 0)}},
      {"flat", orange, with([](auto& f) { f.contrast = -100; }), {Grey(128)}},
      // Half-way to the grey of 118.5.
      {"sponge", orange, with([](auto& f) { f.sponge = 5; }), {qRgb(159, 109, 59)}},
      {"saturation", orange, with([](auto& f) { f.saturation = -50; }), {qRgb(159, 109, 59)}},
      {"grey", orange, with([](auto& f) { f.grayscale = true; }), {Grey(119)}},
      // Three box passes of radius 1 along the row.
      {"blur",
       Row({Grey(0), Grey(0), Grey(90), Grey(0), Grey(0)}),
       with([](auto& f) { f.blur = 1; }),
       {Grey(13), Grey(20), Grey(23), Grey(20), Grey(13)}},
      // p + 0.5 (4p - neighbours), the edges repeated.
      {"sharpen",
       Row({Grey(50), Grey(100), Grey(50)}),
       with([](auto& f) { f.sharpen = 5; }),
       {Grey(25), Grey(150), Grey(25)}},
      // 128 + twice the rise from left to right.
      {"emboss",
       Row({Grey(0), Grey(90), Grey(0)}),
       with([](auto& f) { f.emboss = true; }),
       {Grey(255), Grey(128), Grey(0)}},
      {"flip and invert",
       Row({qRgb(1, 2, 3), qRgba(10, 20, 30, 128)}),
       with([](auto& f) { f.flip_horizontal = f.invert = true; }),
       {qRgba(245, 235, 225, 128), qRgb(254, 253, 252)}},
      // Lightness goes first: white, then inverted.
      {"order", orange, with([](auto& f) { f.lightness = 100, f.invert = true; }), {qRgb(0, 0, 0)}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RowOf(ApplyBackgroundFilters(c.picture, c.filters)), c.expected) << c.name;
  }
  // Amounts far out of range are clamped; nothing wraps or overflows.
  BackgroundFilters wild;
  wild.lightness = 1 << 30, wild.blur = 1 << 30, wild.contrast = -(1 << 30);
  wild.sharpen = 1 << 30, wild.sponge = -(1 << 30), wild.saturation = 1 << 30;
  EXPECT_EQ(ApplyBackgroundFilters(orange, wild).size(), orange.size());
}

TEST(BackgroundFilters, ApplyToThePictureAsLoaded) {
  PageBackground background;
  background.SetPicture(Row({qRgb(255, 0, 255), qRgb(10, 20, 30)}));
  BackgroundFilters f;
  f.invert = true;
  background.SetFilters(f);
  EXPECT_EQ(background.Drawn().pixel(1, 0), qRgb(245, 235, 225));
  // Switching a filter off again gives the loaded picture back.
  background.SetFilters(BackgroundFilters{});
  EXPECT_EQ(background.Drawn().pixel(1, 0), qRgb(10, 20, 30));
  // The transparent colour is keyed out of the filtered picture.
  background.SetTransparentColour(qRgb(255, 0, 255));
  background.SetTransparent(true);
  EXPECT_EQ(qAlpha(background.Drawn().pixel(0, 0)), 0);
  EXPECT_EQ(background.Drawn().pixel(1, 0), qRgb(10, 20, 30));
  EXPECT_FALSE(background.SetDrawStyle(6));
  EXPECT_EQ(background.draw_style(), 0);
}

std::string Le16(int v) {
  return {char(v & 0xFF), char((v >> 8) & 0xFF)};
}
std::string Le32(uint32_t v) {
  return Le16(int(v & 0xFFFF)) + Le16(int(v >> 16));
}
std::string WmfRecord(int function, std::vector<int> words) {
  std::string r = Le32(uint32_t(3 + words.size())) + Le16(function);
  for (int w : words) r += Le16(w);
  return r;
}

TEST(BackgroundReaders, MetafileComesBetweenGifAndIcon) {
  // A placeable metafile of 40 x 20 at 96 to the inch: a red brush, the
  // null pen, a rectangle over the left half.
  std::string wmf = Le32(0x9AC6CDD7) + Le16(0) + Le16(0) + Le16(0) + Le16(40) + Le16(20) +
                    Le16(96) + Le32(0) + Le16(0) + Le16(1) + Le16(9) + Le16(0x0300) + Le32(0) +
                    Le16(2) + Le32(0) + Le16(0) + WmfRecord(0x02FC, {0, 0x00FF, 0, 0}) +
                    WmfRecord(0x012D, {0}) + WmfRecord(0x02FA, {5, 0, 0, 0, 0}) +
                    WmfRecord(0x012D, {1}) + WmfRecord(0x041B, {20, 20, 0, 0}) + WmfRecord(0, {});
  QImage picture = DecodeBackground(wmf);
  ASSERT_EQ(picture.size(), QSize(40, 20));
  EXPECT_EQ(picture.pixel(5, 10), qRgb(255, 0, 0));
  EXPECT_TRUE(DecodeBackground(wmf.substr(0, 10)).isNull());
}

// The player on a fixture, in this process.
class LookPlayer : public morvane::test::QtAppSuite {
 protected:
  void SetUp() override {
    m_temp = std::filesystem::temp_directory_path() /
             ("morvane-look-" + std::to_string(getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(m_temp);
    std::filesystem::create_directories(m_temp);
    setenv("MORVANE_PREFIX", (m_temp / "prefix").c_str(), 1);
  }
  void TearDown() override {
    m_player.reset();
    std::filesystem::remove_all(m_temp);
  }

  bool Start(const std::string& project, PlayerOptions options = {}) {
    options.project = project;
    options.headless = true;
    options.trace_file = (m_temp / "trace.jsonl").string();
    m_player = std::make_unique<PlayerShell>(options, std::vector<std::string>{"player"});
    return m_player->Start();
  }
  std::string Trace() const {
    std::ifstream in(m_temp / "trace.jsonl");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  // A project folder written by the test: only its project.yaml.
  std::string WriteProject(const std::string& yaml) {
    std::filesystem::path folder = m_temp / "project";
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "project.yaml") << yaml;
    return folder.string();
  }
  TQMForm& Page() { return *m_player->GetFormByNum(1); }
  void Apply(int code, std::function<void(AppearanceChange&)> set = {}) {
    AppearanceChange c;
    c.code = code;
    if (set) set(c);
    ApplyPageAppearance(*m_player, Page(), c);
  }
  // The Windows path the player's Z: drive gives a host file.
  static std::string OnZ(const std::filesystem::path& host) {
    std::string path = "Z:" + host.string();
    for (char& ch : path) {
      if (ch == '/') ch = '\\';
    }
    return path;
  }

  std::filesystem::path m_temp;
  std::unique_ptr<PlayerShell> m_player;
};

TEST_F(LookPlayer, WindowCodesChangeTheCurrentPage) {
  ASSERT_TRUE(Start(kFixtures + "/look"));
  TQMForm& page = Page();
  auto on = [](bool v) { return [v](AppearanceChange& c) { c.on = v; }; };
  auto n = [](int a, int b = 0) {
    return [a, b](AppearanceChange& c) { c.number = a, c.second = b; };
  };
  struct Case {
    const char* name;
    int code;
    std::function<void(AppearanceChange&)> set;
    std::function<bool()> holds;
  };
  const Case cases[] = {
      {"caption", 59, [](auto& c) { c.text = "Caf\xe9"; },
       [&] { return page.windowTitle() == QString::fromUtf8("Café"); }},
      {"position", 60, n(30, 40), [&] { return page.pos() == QPoint(30, 40); }},
      // The outer size, frame included.
      {"size", 61, n(150, 90), [&] { return page.frameGeometry().size() == QSize(150, 90); }},
      {"right to left", 62, on(true), [&] { return page.layoutDirection() == Qt::RightToLeft; }},
      {"no minimize icon", 65, on(false),
       [&] { return !page.windowFlags().testFlag(Qt::WindowMinimizeButtonHint); }},
      {"no system menu", 64, on(false),
       [&] { return !page.windowFlags().testFlag(Qt::WindowSystemMenuHint); }},
      {"system menu again", 64, on(true),
       [&] {
         return page.windowFlags().testFlag(Qt::WindowSystemMenuHint) &&
                !page.windowFlags().testFlag(Qt::WindowMinimizeButtonHint);
       }},
      {"help icon", 67, on(true),
       [&] { return page.windowFlags().testFlag(Qt::WindowContextHelpButtonHint); }},
      {"sizeable", 68, on(true), [&] { return page.minimumSize() != page.maximumSize(); }},
      {"maximize shows when sizeable", 66, on(true),
       [&] { return page.windowFlags().testFlag(Qt::WindowMaximizeButtonHint); }},
      {"fixed again", 68, on(false), [&] { return page.minimumSize() == page.maximumSize(); }},
      {"stay on top", 69, on(true),
       [&] { return page.windowFlags().testFlag(Qt::WindowStaysOnTopHint); }},
      {"tool window", 71, n(1),
       [&] { return (page.windowFlags() & Qt::WindowType_Mask) == Qt::Tool; }},
      {"no border, dragged", 71, n(2),
       [&] {
         return page.windowFlags().testFlag(Qt::FramelessWindowHint) &&
                m_player->drag_by_background() &&
                page.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
       }},
      {"no border: resizable changes nothing", 68, on(true),
       [&] { return page.minimumSize() == page.maximumSize(); }},
      {"no border, not dragged", 71, n(3),
       [&] {
         return page.windowFlags().testFlag(Qt::FramelessWindowHint) &&
                !m_player->drag_by_background();
       }},
      {"unknown border kind", 71, n(7),
       [&] { return page.windowFlags().testFlag(Qt::FramelessWindowHint); }},
      {"single border", 71, n(0),
       [&] {
         return !page.windowFlags().testFlag(Qt::FramelessWindowHint) &&
                (page.windowFlags() & Qt::WindowType_Mask) == Qt::Window;
       }},
      {"alpha value kept while off", 76, n(300 & 0xff),
       [&] { return page.windowOpacity() == 1.0; }},
      {"alpha blending", 75, on(true),
       [&] { return std::abs(page.windowOpacity() - 44 / 255.0) < 0.01; }},
      {"horizontal scroll bar", 73, on(true),
       [&] {
         auto* scroll = page.findChild<QScrollArea*>();
         return scroll && scroll->horizontalScrollBarPolicy() == Qt::ScrollBarAsNeeded &&
                scroll->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOff &&
                scroll->widget() == &page.surface();
       }},
      {"disabled", 100, on(false), [&] { return !page.isEnabled(); }},
      {"hourglass", 101, n(4), [&] { return page.surface().cursor().shape() == Qt::WaitCursor; }},
  };
  for (const Case& c : cases) {
    Apply(c.code, c.set);
    EXPECT_TRUE(c.holds()) << c.name;
  }
  // The window was changed in place: no hide and show ran the page scripts.
  EXPECT_TRUE(page.isVisible());
  EXPECT_EQ(page.closing_state(), "");
}

TEST_F(LookPlayer, BackgroundCodesRedrawThePicture) {
  ASSERT_TRUE(Start(kFixtures + "/look"));
  auto pixel = [&](int x, int y) { return Page().Picture().pixel(x, y); };
  // Loaded inverted, as the page record asks.
  EXPECT_EQ(pixel(0, 0), qRgb(0, 255, 255));
  EXPECT_EQ(pixel(1, 1), qRgb(55, 155, 255));
  EXPECT_EQ(pixel(50, 50), qRgb(10, 20, 30));

  Apply(88, [](auto& c) { c.on = false; });
  EXPECT_EQ(pixel(0, 0), qRgb(255, 0, 0));
  Apply(85, [](auto& c) { c.on = true; });  // flipped: white comes first
  EXPECT_EQ(pixel(0, 0), qRgb(255, 255, 255));
  Apply(85, [](auto& c) { c.on = false; });
  Apply(84, [](auto& c) { c.on = true; });
  EXPECT_EQ(pixel(1, 1), Grey(119));
  Apply(84, [](auto& c) { c.on = false; });
  Apply(91, [](auto& c) { c.number = -100; });
  EXPECT_EQ(pixel(3, 0), qRgb(0, 0, 0));
  Apply(91, [](auto& c) { c.number = 0; });

  // Stretched over the page, then an unknown style that changes nothing.
  Apply(82, [](auto& c) { c.number = 3; });
  EXPECT_EQ(pixel(199, 119), qRgb(255, 0, 255));
  Apply(82, [](auto& c) { c.number = 9; });
  EXPECT_EQ(pixel(199, 119), qRgb(255, 0, 255));
  Apply(82, [](auto& c) { c.number = 0; });

  // The window colour shows through the transparent colour of the picture.
  Apply(80, [](auto& c) { c.colour = 0x0000ff; });
  EXPECT_EQ(pixel(50, 50), qRgb(255, 0, 0));
  Apply(90, [](auto& c) { c.colour = 0xff00ff; });
  Apply(89, [](auto& c) { c.on = true; });
  EXPECT_EQ(pixel(3, 1), qRgb(255, 0, 0));
  EXPECT_EQ(pixel(2, 1), Grey(50));

  // The frame shape: an outlined square at (0, 8), 65 pixels wide.
  Apply(70, [](auto& c) { c.on = true; });
  EXPECT_EQ(pixel(30, 8), qRgb(0, 0, 0));
  EXPECT_EQ(pixel(64, 40), qRgb(0, 0, 0));
  EXPECT_EQ(pixel(30, 40), qRgb(255, 0, 0));

  // A picture from a file replaces the background; a bad one fails loudly.
  QImage green(2, 2, QImage::Format_RGB32);
  green.fill(qRgb(0, 128, 0));
  ASSERT_TRUE(green.save(QString::fromStdString((m_temp / "green.bmp").string()), "BMP"));
  Apply(81, [&](auto& c) { c.text = OnZ(m_temp / "green.bmp"); });
  EXPECT_EQ(pixel(1, 1), qRgb(0, 128, 0));
  EXPECT_EQ(pixel(3, 1), qRgb(255, 0, 0));
  std::ofstream(m_temp / "junk.png") << "not a picture";
  struct Bad {
    std::string path;
    std::string message;
  } bad[] = {
      {OnZ(m_temp / "missing.png"), "Cannot open file \"" + OnZ(m_temp / "missing.png") +
                                        "\". The system cannot find the file specified."},
      {OnZ(m_temp / "junk.png"), "Bitmap image is not valid"},
  };
  for (const Bad& b : bad) {
    try {
      Apply(81, [&](auto& c) { c.text = b.path; });
      ADD_FAILURE() << b.path;
    } catch (const ScriptError& e) {
      EXPECT_EQ(e.what(), b.message);
    }
  }
  EXPECT_EQ(pixel(1, 1), qRgb(0, 128, 0));

  // Colour-key transparency cuts the key colour out of the window.
  Apply(78, [](auto& c) { c.colour = 0x0000ff; });
  Apply(77, [](auto& c) { c.on = true; });
  EXPECT_FALSE(Page().mask().contains(QPoint(50, 50)));
  EXPECT_TRUE(Page().mask().contains(QPoint(1, 1)));
  Apply(77, [](auto& c) { c.on = false; });
  EXPECT_TRUE(Page().mask().isEmpty());
}

TEST_F(LookPlayer, FocusGoesOnlyWhereItCan) {
  ASSERT_TRUE(Start(kFixtures + "/look"));
  QWidget* edit = qobject_cast<QWidget*>(Page().objects().FindComponent("OBJ1"));
  ASSERT_NE(edit, nullptr);
  Page().activateWindow();
  Apply(57, [](auto& c) { c.text = "1"; });
  EXPECT_EQ(Page().focusWidget(), edit);
  // The disabled button raises the platform's error; an unknown name
  // leaves no control with the focus.
  EXPECT_THROW(Apply(57, [](auto& c) { c.text = "2"; }), ScriptError);
  Apply(57, [](auto& c) { c.text = "99"; });
  EXPECT_EQ(Page().focusWidget(), nullptr);
}

bool IsPdf(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  char head[5] = {};
  in.read(head, 5);
  return std::string(head, 5) == "%PDF-" && std::filesystem::file_size(file) > 500;
}

TEST_F(LookPlayer, PrintJobsBecomePdfFiles) {
  std::filesystem::path out = m_temp / "printed";
  std::filesystem::create_directories(out);
  std::ofstream(out / "print1.pdf") << "an earlier job";
  PlayerOptions options;
  options.print_to_dir = out.string();
  ASSERT_TRUE(Start(kFixtures + "/look", options));
  PrintPage(*m_player, Page());
  PrintPage(*m_player, Page());
  // An earlier file is never overwritten.
  EXPECT_FALSE(IsPdf(out / "print1.pdf"));
  EXPECT_TRUE(IsPdf(out / "print2.pdf"));
  EXPECT_TRUE(IsPdf(out / "print3.pdf"));
  EXPECT_NE(
      Trace().find("{\"event\":\"print\",\"page\":1,\"file\":\"" + (out / "print3.pdf").string()),
      std::string::npos)
      << Trace();
}

TEST_F(LookPlayer, HeadlessWithoutPrintFolderPrintsNothing) {
  ASSERT_TRUE(Start(kFixtures + "/look"));
  PrintPage(*m_player, Page());
  EXPECT_NE(Trace().find("{\"event\":\"print\",\"page\":1,\"printer\":\"\"}"), std::string::npos)
      << Trace();
}

// Modes offered and switch results, and the attempts made.
class FakeDisplay : public DisplayBackend {
 public:
  FakeDisplay(std::vector<DisplayMode> modes, DisplayMode current, std::vector<bool> accepts)
      : m_modes(std::move(modes)), m_current(current), m_accepts(std::move(accepts)) {}
  std::vector<DisplayMode> Modes() override { return m_modes; }
  DisplayMode Current() override { return m_current; }
  bool Switch(size_t index) override {
    attempts->push_back(int(index));
    return m_accepts[index];
  }
  void RestoreStartMode() override { attempts->push_back(-1); }

  std::shared_ptr<std::vector<int>> attempts = std::make_shared<std::vector<int>>();

 private:
  std::vector<DisplayMode> m_modes;
  DisplayMode m_current;
  std::vector<bool> m_accepts;
};

TEST(DisplayModeList, ColourCountsAndText) {
  EXPECT_EQ(DisplayModeText({800, 600, 32, 60}), "800x600 1 Colors 60 Hertz");
  EXPECT_EQ(DisplayModeText({1024, 768, 24, 75}), "1024x768 16777216 Colors 75 Hertz");
  EXPECT_EQ(DisplayModeText({640, 480, 16, 0}), "640x480 65536 Colors 0 Hertz");
  EXPECT_EQ(DisplayModeText({640, 480, 8, 60}), "640x480 256 Colors 60 Hertz");
}

TEST(DisplayModeList, SwitchFallsBackBySizeAndColours) {
  const std::vector<DisplayMode> modes = {
      {1024, 768, 32, 60}, {800, 600, 8, 60},  {800, 600, 16, 60},
      {800, 600, 16, 85},  {800, 600, 32, 60}, {1024, 768, 32, 60},
  };
  struct Case {
    const char* wanted;
    std::vector<bool> accepts;
    bool stop_if_unsupported;
    std::vector<int> attempts;  // -1: the start mode put back at the end
    bool ok;
    bool stop;
    int start_index;
  };
  const Case cases[] = {
      // Found as it is: that mode only, whatever the result.
      {"800x600 65536 Colors 85 Hertz", {1, 1, 1, 1, 1, 1}, false, {3, -1}, true, false, 5},
      {"800x600 65536 Colors 85 Hertz", {1, 1, 1, 0, 1, 1}, true, {3}, false, false, 5},
      // Not offered at 75 Hz: the first 65536-colour 800 x 600 mode at any rate,
      {"800x600 65536 Colors 75 Hertz", {1, 1, 1, 1, 1, 1}, false, {2, -1}, true, false, 5},
      // then the first 800 x 600 mode of any depth that takes.
      {"800x600 65536 Colors 75 Hertz",
       {0, 0, 0, 0, 1, 1},
       false,
       {2, 3, 1, 2, 3, 4, -1},
       true,
       false,
       5},
      {"640x480 1 Colors 60 Hertz", {1, 1, 1, 1, 1, 1}, false, {}, false, false, 5},
      {"640x480 1 Colors 60 Hertz", {1, 1, 1, 1, 1, 1}, true, {}, false, true, 5},
      // A prefix is cut where a field ends: 800x60 is not 800x600.
      {"800x60 256 Colors", {1, 1, 1, 1, 1, 1}, false, {}, false, false, 5},
      {"", {1, 1, 1, 1, 1, 1}, false, {}, false, false, 5},
  };
  for (const Case& c : cases) {
    auto fake = std::make_unique<FakeDisplay>(modes, DisplayMode{1024, 768, 32, 60}, c.accepts);
    auto attempts = fake->attempts;
    TValues values;
    DisplayModes::StartResult result;
    {
      DisplayModes display(std::move(fake));
      EXPECT_EQ(display.start_index(), -1);
      result = display.SwitchAtStart(c.wanted, c.stop_if_unsupported, values);
      EXPECT_EQ(display.start_index(), c.start_index) << c.wanted;
    }  // restored when it goes
    EXPECT_EQ(*attempts, c.attempts) << c.wanted;
    EXPECT_EQ(values.GetBoolean("_resolutionOK"), c.ok) << c.wanted;
    EXPECT_EQ(result == DisplayModes::StartResult::kStop, c.stop) << c.wanted;
  }
}

TEST(DisplayModeList, DepthWithoutColourCountIsNotInTheList) {
  auto fake = std::make_unique<FakeDisplay>(std::vector<DisplayMode>{{800, 600, 15, 60}},
                                            DisplayMode{800, 600, 15, 60}, std::vector<bool>{1});
  DisplayModes display(std::move(fake));
  TValues values;
  // 15 bits: "32768 Colors" is what the list says; the start mode is found
  // and the program goes on instead of ending without a word.
  EXPECT_EQ(display.SwitchAtStart("800x600 32768 Colors 60 Hertz", true, values),
            DisplayModes::StartResult::kGoOn);
  EXPECT_EQ(display.start_index(), 0);
  EXPECT_TRUE(values.GetBoolean("_resolutionOK"));
}

constexpr const char* kModeProject = R"(title: Modes
display_flags: !bytes "%s"
display_mode: 123x45 1 Colors 60 Hertz
pages:
  - name: Only
    client_width: 100
    client_height: 100
)";

std::string ModeProject(const char* flags) {
  char text[512];
  std::snprintf(text, sizeof text, kModeProject, flags);
  return text;
}

TEST_F(LookPlayer, HeadlessModeSwitchFailsAndGoesOn) {
  ASSERT_TRUE(Start(WriteProject(ModeProject("\\x01\\x00"))));
  EXPECT_FALSE(m_player->values().GetBoolean("_resolutionOK"));
  EXPECT_EQ(Trace().find("Screen Resolution"), std::string::npos);
}

TEST_F(LookPlayer, HeadlessModeSwitchFailureStopsWhenAsked) {
  EXPECT_FALSE(Start(WriteProject(ModeProject("\\x01\\x01"))));
  EXPECT_NE(Trace().find("{\"event\":\"message\",\"caption\":\"Screen Resolution\",\"text\":"
                         "\"Your system does not support the screen resolution which this "
                         "application can run in.\\nTry running this program with another "
                         "Monitor. Application will now terminate.\",\"flags\":8240"),
            std::string::npos)
      << Trace();
  EXPECT_EQ(m_player->GetFormByNum(1), nullptr);
}

TEST_F(LookPlayer, HeadlessScreenIsTheOnlyMode) {
  DisplayModes display(PlatformDisplayBackend());
  ASSERT_EQ(display.list().size(), 1u);
  QSize screen = QGuiApplication::primaryScreen()->size();
  std::string size = std::to_string(screen.width()) + "x" + std::to_string(screen.height()) + " ";
  EXPECT_EQ(display.list()[0].rfind(size, 0), 0u) << display.list()[0];
  // Asking for the mode the screen is in succeeds without changing anything.
  TValues values;
  display.SwitchAtStart(display.list()[0], true, values);
  EXPECT_TRUE(values.GetBoolean("_resolutionOK"));
}

// A stand-in screen-saver service on a private session bus; it answers from
// its own thread while the caller blocks.
class ScreenSaverService : public QDBusVirtualObject {
 public:
  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    std::lock_guard lock(mutex);
    calls.push_back(message.member().toStdString() + "(" +
                    message.arguments().value(0).toString().toStdString() + ")");
    if (message.member() == QLatin1String("Inhibit")) {
      connection.send(message.createReply(QVariant::fromValue(uint(41))));
    } else {
      connection.send(message.createReply());
    }
    return true;
  }
  QString introspect(const QString&) const override { return {}; }

  std::mutex mutex;
  std::vector<std::string> calls;
};

TEST_F(LookPlayer, ScreenSaverIsInhibitedWhileAsked) {
  QProcess daemon;
  daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
  if (!daemon.waitForStarted(5000)) GTEST_SKIP() << "dbus-daemon is not installed";
  ASSERT_TRUE(daemon.waitForReadyRead(5000));
  QString address = QString::fromUtf8(daemon.readLine()).trimmed();
  {
    QDBusConnection service = QDBusConnection::connectToBus(address, "look-service");
    QDBusConnection client = QDBusConnection::connectToBus(address, "look-client");
    ASSERT_TRUE(service.isConnected() && client.isConnected());

    ProjectOptions asks;
    asks.no_screen_saver = true;
    // No service yet: nothing is inhibited and nothing waits.
    EXPECT_FALSE(DesktopSettings(asks, "Look", client).screen_saver_inhibited());

    ScreenSaverService saver;
    QThread thread;
    thread.start();
    saver.moveToThread(&thread);
    ASSERT_TRUE(service.registerService("org.freedesktop.ScreenSaver"));
    ASSERT_TRUE(service.registerVirtualObject("/org/freedesktop/ScreenSaver", &saver));
    {
      DesktopSettings settings(ProjectOptions{}, "Look", client);
      EXPECT_FALSE(settings.screen_saver_inhibited());
      DesktopSettings inhibiting(asks, "Look", client);
      EXPECT_TRUE(inhibiting.screen_saver_inhibited());
      inhibiting.Restore();
      EXPECT_FALSE(inhibiting.screen_saver_inhibited());
    }
    service.unregisterObject("/org/freedesktop/ScreenSaver");
    thread.quit();
    thread.wait();
    std::lock_guard lock(saver.mutex);
    EXPECT_EQ(saver.calls, (std::vector<std::string>{"Inhibit(Look)", "UnInhibit(41)"}));
  }
  QDBusConnection::disconnectFromBus("look-service");
  QDBusConnection::disconnectFromBus("look-client");
  daemon.kill();
  daemon.waitForFinished(5000);
}

}  // namespace
}  // namespace morvane
