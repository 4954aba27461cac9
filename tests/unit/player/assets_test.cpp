// Cursor files, background pictures and the --input steps.

#include "player/assets/background.h"
#include "player/assets/cursor_file.h"
#include "player/assets/cursors.h"
#include "player/automation/input_steps.h"
#include "player/automation/options.h"
#include "player/shell/player.h"

#include <QBuffer>
#include <QImage>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace morvane {
namespace {

std::string Fixture(const std::string& name) {
  std::ifstream in(std::string(MORVANE_SOURCE_DIR) + "/tests/fixtures/player/" + name,
                   std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::string Encode(const QImage& image, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format);
  return bytes.toStdString();
}

// An .ani file of the given frames (each a .cur file), rates and sequence.
std::string Ani(const std::vector<std::string>& frames, std::vector<uint32_t> rates,
                std::vector<uint32_t> sequence) {
  auto u32 = [](uint32_t v) {
    return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
  };
  auto chunk = [&](const std::string& id, const std::string& data) {
    return id + u32(uint32_t(data.size())) + data + (data.size() % 2 ? std::string(1, '\0') : "");
  };
  std::string anih = u32(36) + u32(uint32_t(frames.size())) +
                     u32(uint32_t(sequence.empty() ? frames.size() : sequence.size())) + u32(0) +
                     u32(0) + u32(0) + u32(0) + u32(6) + u32(1);
  std::string list = "fram";
  for (const std::string& f : frames) list += chunk("icon", f);
  std::string body = "ACON" + chunk("anih", anih) + chunk("LIST", list);
  if (!rates.empty()) {
    std::string r;
    for (uint32_t v : rates) r += u32(v);
    body += chunk("rate", r);
  }
  if (!sequence.empty()) {
    std::string s;
    for (uint32_t v : sequence) s += u32(v);
    body += chunk("seq ", s);
  }
  return "RIFF" + u32(uint32_t(body.size())) + body;
}

TEST(CursorFile, ReadsImageMaskAndHotSpot) {
  std::optional<CursorFrame> frame = ReadCursorFile(Fixture("assets/embedded/2-pointer.cur"));
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->image.size(), QSize(16, 16));
  EXPECT_EQ(frame->hot_x, 3);
  EXPECT_EQ(frame->hot_y, 5);
  // The AND mask leaves a black square in a transparent frame.
  EXPECT_EQ(qAlpha(frame->image.pixel(0, 0)), 0);
  EXPECT_EQ(frame->image.pixel(8, 8), qRgb(0, 0, 0));
}

TEST(CursorFile, RefusesTruncatedAndForeignBytes) {
  std::string cur = Fixture("assets/embedded/2-pointer.cur");
  for (size_t cut : {size_t(0), size_t(5), size_t(21), size_t(60), cur.size() - 40}) {
    EXPECT_FALSE(ReadCursorFile(cur.substr(0, cut))) << cut;
  }
  EXPECT_FALSE(ReadCursorFile(Encode(QImage(4, 4, QImage::Format_RGB32), "PNG")));
  EXPECT_FALSE(ReadAnyCursor("RIFF\x04\0\0\0ACON"));
}

TEST(CursorFile, AnimatedCursorFollowsItsSequenceAndRates) {
  std::string cur = Fixture("assets/embedded/2-pointer.cur");
  std::optional<CursorAnimation> a = ReadAnimatedCursor(Ani({cur, cur}, {6, 12, 30}, {1, 0, 1}));
  ASSERT_TRUE(a);
  EXPECT_EQ(a->frames.size(), 2u);
  EXPECT_EQ(a->sequence, (std::vector<int>{1, 0, 1}));
  EXPECT_EQ(a->durations_ms, (std::vector<int>{100, 200, 500}));
  // Without rates every step takes the header's rate (6 jiffies).
  a = ReadAnimatedCursor(Ani({cur, cur}, {}, {}));
  ASSERT_TRUE(a);
  EXPECT_EQ(a->durations_ms, (std::vector<int>{100, 100}));
  // A sequence naming a missing frame is refused.
  EXPECT_FALSE(ReadAnimatedCursor(Ani({cur}, {}, {0, 3})));
}

TEST(CursorNumbers, StockNumbersMapToStockCursors) {
  EXPECT_FALSE(StockCursorShape(0));
  EXPECT_EQ(StockCursorShape(7), Qt::PointingHandCursor);
  EXPECT_EQ(StockCursorShape(8), Qt::IBeamCursor);
  EXPECT_EQ(StockCursorShape(12), Qt::ForbiddenCursor);
  EXPECT_FALSE(StockCursorShape(13));
}

TEST(Background, EveryReaderIsTried) {
  QImage image(3, 2, QImage::Format_RGB32);
  image.fill(qRgb(10, 120, 200));
  for (const char* format : {"PNG", "BMP", "JPEG", "ICO"}) {
    QImage decoded = DecodeBackground(Encode(image, format));
    EXPECT_EQ(decoded.size(), QSize(3, 2)) << format;
  }
  // No GIF writer here: a 1x1 GIF by hand.
  static const char kGif[] =
      "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00,\x00\x00\x00\x00"
      "\x01\x00\x01\x00\x00\x02\x02D\x01\x00;";
  EXPECT_EQ(DecodeBackground(std::string(kGif, sizeof kGif - 1)).size(), QSize(1, 1));
  EXPECT_TRUE(DecodeBackground("not a picture").isNull());
  EXPECT_TRUE(DecodeBackground("").isNull());
}

TEST(Background, FiltersWorkOnThePixels) {
  QImage image(2, 1, QImage::Format_ARGB32);
  image.setPixel(0, 0, qRgb(200, 100, 0));
  image.setPixel(1, 0, qRgb(0, 0, 255));
  struct Case {
    const char* name;
    void (*set)(Page&);
    QRgb left, right;
  } cases[] = {
      {"none", [](Page&) {}, qRgb(200, 100, 0), qRgb(0, 0, 255)},
      {"invert", [](Page& p) { p.options.invert = true; }, qRgb(55, 155, 255), qRgb(255, 255, 0)},
      {"flip", [](Page& p) { p.options.flip_horizontal = true; }, qRgb(0, 0, 255),
       qRgb(200, 100, 0)},
      {"grey", [](Page& p) { p.options.grayscale = true; }, qRgb(119, 119, 119), qRgb(29, 29, 29)},
      {"lighter", [](Page& p) { p.lightness = 100; }, qRgb(255, 255, 255), qRgb(255, 255, 255)},
      {"darker", [](Page& p) { p.lightness = -100; }, qRgb(0, 0, 0), qRgb(0, 0, 0)},
      {"no colour", [](Page& p) { p.saturation = -100; }, qRgb(119, 119, 119), qRgb(29, 29, 29)},
  };
  for (const Case& c : cases) {
    Page page;
    c.set(page);
    QImage out = AdjustBackground(image, page);
    EXPECT_EQ(out.pixel(0, 0), c.left) << c.name;
    EXPECT_EQ(out.pixel(1, 0), c.right) << c.name;
  }
  // Out-of-range values are clamped, never wrap.
  Page wild;
  wild.lightness = 100000;
  wild.contrast = -100000;
  wild.blur = 1 << 30;
  EXPECT_EQ(AdjustBackground(image, wild).size(), image.size());
}

TEST(Background, KeyedColourBecomesTransparent) {
  QImage image(2, 1, QImage::Format_RGB32);
  image.setPixel(0, 0, qRgb(255, 0, 255));
  image.setPixel(1, 0, qRgb(1, 2, 3));
  QImage keyed = KeyOutColour(image, qRgb(255, 0, 255));
  EXPECT_EQ(qAlpha(keyed.pixel(0, 0)), 0);
  EXPECT_EQ(keyed.pixel(1, 0), qRgb(1, 2, 3));
}

TEST(InputSteps, ParsesEveryStep) {
  InputScript s = ParseInputSteps(
      "# comment\n\nwait 20\nmove 1 2\npress 3 4 right\nrelease 3 4 right\nclick 5 6\n"
      "dblclick 7 8\nwheel down 2\nkey F5 shift ctrl\ntype Hello world\r\nshot after\n"
      "until media 3\nuntil show\n");
  ASSERT_EQ(s.error, "");
  ASSERT_EQ(s.steps.size(), 12u);
  EXPECT_EQ(s.steps[0].amount, 20);
  EXPECT_EQ(s.steps[2].button, MouseButton::kRight);
  EXPECT_EQ(s.steps[4].x, 5);
  EXPECT_EQ(s.steps[6].amount, -2);
  EXPECT_TRUE(s.steps[7].shift && s.steps[7].ctrl && !s.steps[7].alt);
  EXPECT_EQ(s.steps[8].text, "Hello world");
  EXPECT_EQ(s.steps[9].text, "after");
  EXPECT_EQ(s.steps[10].text, "media");
  EXPECT_EQ(s.steps[10].amount, 3);
  EXPECT_EQ(s.steps[11].amount, 1);
}

TEST(InputSteps, NamesTheFirstBadLine) {
  for (const char* bad : {"jump 1 2", "click 1", "click 1 2 thumb", "wait -1", "wheel left", "key",
                          "key A meta", "shot ../x", "move a b", "until", "until media 0",
                          "until media 2 3"}) {
    InputScript s = ParseInputSteps(std::string("wait 1\n") + bad + "\n");
    EXPECT_EQ(s.error.rfind("line 2: ", 0), 0u) << bad << " -> " << s.error;
    EXPECT_TRUE(s.steps.empty());
  }
}

TEST(InputSteps, KeysAreNamedAsShortcutsOrAsQtNamesThem) {
  struct Case {
    const char* line;
    int key;
    bool keypad;
  };
  const Case cases[] = {
      {"key NUM LOCK", Qt::Key_NumLock, false},
      {"key SCROLL LOCK ctrl", Qt::Key_ScrollLock, false},
      {"key PRINTSCRN", Qt::Key_Print, false},
      {"key ENTER", Qt::Key_Return, false},
      {"key esc", Qt::Key_Escape, false},
      {"key F24", Qt::Key_F24, false},
      {"key ASCII65", Qt::Key_A, false},
      {"key ASCII97", Qt::Key_1, true},
      {"key ASCII107", Qt::Key_Plus, true},
      {"key ASCII186", Qt::Key_Semicolon, false},
      {"key a", Qt::Key_A, false},
      {"key ;", Qt::Key_Semicolon, false},
      {"key PgDown", Qt::Key_PageDown, false},
      {"key Backspace", Qt::Key_Backspace, false},
  };
  for (const Case& c : cases) {
    InputScript s = ParseInputSteps(c.line);
    ASSERT_EQ(s.error, "") << c.line;
    ASSERT_EQ(s.steps.size(), 1u);
    EXPECT_EQ(s.steps[0].key, c.key) << c.line;
    EXPECT_EQ(s.steps[0].keypad, c.keypad) << c.line;
  }
  EXPECT_TRUE(ParseInputSteps("key SCROLL LOCK ctrl").steps[0].ctrl);

  struct Refused {
    const char* line;
    const char* error;
  };
  const Refused refused[] = {
      {"key PGDWN", "line 1: unknown key 'PGDWN'"},
      {"key F36", "line 1: unknown key 'F36'"},
      {"key NUM", "line 1: unknown key 'NUM'"},
      {"key ASCII0", "line 1: unknown key 'ASCII0'"},
      {"key ASCII7", "line 1: no key has the code 7 ('ASCII7')"},
      {"key Ctrl+A", "line 1: write the modifiers of 'Ctrl+A' as words after the key"},
      {"key A shift meta", "line 1: unknown modifier 'meta'"},
  };
  for (const Refused& r : refused) EXPECT_EQ(ParseInputSteps(r.line).error, r.error) << r.line;
}

TEST(PlayerOptions, ParsesAndRefuses) {
  ParsedOptions p = ParsePlayerArguments({"--headless", "--answers", "6,7,1", "--quit-after", "500",
                                          "--codepage", "1256", "game.exe"});
  EXPECT_EQ(p.error, "");
  EXPECT_TRUE(p.options.headless);
  EXPECT_EQ(p.options.answers, (std::vector<int>{6, 7, 1}));
  EXPECT_EQ(p.options.quit_after_ms, 500);
  EXPECT_EQ(p.options.code_page, 1256);
  EXPECT_EQ(p.options.project, "game.exe");
  for (std::vector<std::string> bad : std::vector<std::vector<std::string>>{
           {"--trace"}, {"--answers", "1,,2"}, {"--quit-after", "-5"}, {"--nope"},
           {"--lan-idle-timeout", "0"}}) {
    EXPECT_NE(ParsePlayerArguments(bad).error, "") << bad[0];
  }
}

TEST(PlayerOptions, TheProjectGetsWhatFollowsItOrAllThatIsNoOption) {
  struct Case {
    std::vector<std::string> arguments;
    bool packed;
    std::string project;
    std::vector<std::string> project_arguments;
    bool headless;
  };
  const Case cases[] = {
      {{"--headless", "game", "a", "--headless"}, false, "game", {"a", "--headless"}, true},
      {{"--", "--odd-name", "a"}, false, "--odd-name", {"a"}, false},
      {{"a", "--headless", "b"}, true, "", {"a", "b"}, true},
      {{"a", "--", "--headless", "b"}, true, "", {"a", "--headless", "b"}, false},
      {{"--lan-idle-timeout", "250"}, true, "", {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.front());
    ParsedOptions p = ParsePlayerArguments(c.arguments, c.packed);
    EXPECT_EQ(p.error, "");
    EXPECT_EQ(p.options.project, c.project);
    EXPECT_EQ(p.options.project_arguments, c.project_arguments);
    EXPECT_EQ(p.options.headless, c.headless);
  }
  EXPECT_EQ(ParsePlayerArguments({"--lan-idle-timeout", "250"}).options.lan_idle_timeout_ms, 250);
}

}  // namespace
}  // namespace morvane
