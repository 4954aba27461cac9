// The frames of the page transitions, drawn from two small pictures: every
// kind starts at the old picture and ends at the new one exactly, a frame
// halfway is neither, and every option the page records carry changes what
// is drawn. Then the reading of a page's transition settings.

#include "player/transitions/transition_frame.h"
#include "player/transitions/transition_settings.h"

#include <QGuiApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace morvane {
namespace {

using K = TransitionKind;
using D = TransitionDirection;

constexpr int kW = 96, kH = 64;

class TransitionFrames : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "transitions_test";
    static char* argv[] = {name, nullptr};
    if (!QGuiApplication::instance()) s_app = new QGuiApplication(argc, argv);
  }
  static void TearDownTestSuite() {
    delete s_app;
    s_app = nullptr;
  }
  static inline QGuiApplication* s_app = nullptr;
};

// Pictures with something to see in both directions, so that a moved
// picture differs from one revealed in place.
QImage OldPicture() {
  QImage image(kW, kH, QImage::Format_RGB32);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) image.setPixel(x, y, qRgb(x * 255 / kW, 40, 200));
  return image;
}

QImage NewPicture() {
  QImage image(kW, kH, QImage::Format_RGB32);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) image.setPixel(x, y, qRgb(30, y * 255 / kH, (x * 7) % 256));
  return image;
}

// Dark on the left, light on the right.
QImage GradientMask() {
  QImage image(16, 4, QImage::Format_Grayscale8);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 16; ++x) image.scanLine(y)[x] = uchar(x * 16);
  return image;
}

// Share of pixels that differ.
double Differs(const QImage& a, const QImage& b) {
  int differ = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) differ += a.pixel(x, y) != b.pixel(x, y);
  return double(differ) / (kW * kH);
}

QImage Frame(K kind, const TransitionOptions& o, double t, const QImage& mask = GradientMask()) {
  return RenderTransitionFrame(kind, o, OldPicture(), NewPicture(), t, mask);
}

TransitionOptions With(int style, int substyle = 0) {
  TransitionOptions o;
  o.style = style;
  o.substyle = substyle;
  return o;
}

std::vector<K> AllKinds() {
  std::vector<K> kinds;
  for (int k = 1; k <= kTransitionKindCount; ++k) kinds.push_back(K(k));
  return kinds;
}

// Every option the records can carry for a kind, one change at a time.
std::vector<TransitionOptions> Variants(K kind) {
  std::vector<TransitionOptions> all{TransitionOptions{}};
  auto add = [&](auto change) {
    TransitionOptions o;
    change(o);
    all.push_back(o);
  };
  for (int d = 1; d <= 4; ++d) add([&](auto& o) { o.direction = D(d); });
  for (int s = 0; s <= 5; ++s) add([&](auto& o) { o.style = s; });
  for (int s = 0; s <= 2; ++s) add([&](auto& o) { o.substyle = s; });
  add([](auto& o) { o.first_flag = true; });
  add([](auto& o) { o.second_flag = true; });
  add([kind](auto& o) { o.size = kind == K::kRoll ? 10 : 8; });
  add([](auto& o) { o.block_height = 5; });
  return all;
}

TEST_F(TransitionFrames, EveryKindStartsAtTheOldPictureAndEndsAtTheNewOne) {
  const QImage from = OldPicture(), to = NewPicture();
  for (K kind : AllKinds()) {
    for (const TransitionOptions& o : Variants(kind)) {
      SCOPED_TRACE(std::string(TransitionKindName(kind)) + " style " + std::to_string(o.style) +
                   " substyle " + std::to_string(o.substyle) + " direction " +
                   std::to_string(int(o.direction)));
      EXPECT_EQ(Frame(kind, o, 0), from);
      EXPECT_EQ(Frame(kind, o, 1), to);
      // Out of range is the nearest end.
      EXPECT_EQ(Frame(kind, o, -0.5), from);
      EXPECT_EQ(Frame(kind, o, 7), to);
      const QImage half = Frame(kind, o, 0.5);
      EXPECT_GT(Differs(half, from), 0.1);
      EXPECT_GT(Differs(half, to), 0.1);
    }
  }
}

TEST_F(TransitionFrames, DirectionalKindsChangeWithTheDirectionCode) {
  for (K kind :
       {K::kDrip, K::kInterlaced, K::kPush, K::kRoll, K::kSlide, K::kWaterfall, K::kWipe}) {
    for (int substyle : {0, 1, 2}) {
      if (kind != K::kInterlaced && substyle > 0) continue;
      SCOPED_TRACE(std::string(TransitionKindName(kind)) + " substyle " + std::to_string(substyle));
      std::vector<QImage> frames;
      for (int d = 1; d <= 4; ++d) {
        TransitionOptions o = With(0, substyle);
        o.direction = D(d);
        frames.push_back(Frame(kind, o, 0.4));
      }
      for (size_t i = 0; i < frames.size(); ++i)
        for (size_t j = i + 1; j < frames.size(); ++j) EXPECT_NE(frames[i], frames[j]) << i << j;
    }
  }
}

// Each documented style and sub-style has its own look; any other value is
// the first one.
TEST_F(TransitionFrames, StylesAndSubStylesEachHaveTheirOwnLook) {
  struct Case {
    K kind;
    int styles, substyles;
  };
  const Case cases[] = {{K::kBlock, 6, 3},
                        {K::kCircle, 4, 3},
                        {K::kDiagonal, 5, 3},
                        {K::kInterlaced, 3, 3},
                        {K::kRadial, 5, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(TransitionKindName(c.kind));
    // Pieces small enough for the orders of the block styles to differ.
    auto with = [&](int style, int substyle = 0) {
      TransitionOptions o = With(style, substyle);
      if (c.kind == K::kBlock) o.size = o.block_height = 8;
      return o;
    };
    std::vector<QImage> styles, substyles;
    for (int s = 0; s < c.styles; ++s) styles.push_back(Frame(c.kind, with(s), 0.4));
    for (int s = 0; s < c.substyles; ++s) substyles.push_back(Frame(c.kind, with(0, s), 0.4));
    for (size_t i = 0; i < styles.size(); ++i)
      for (size_t j = i + 1; j < styles.size(); ++j) EXPECT_NE(styles[i], styles[j]) << i << j;
    for (size_t i = 0; i < substyles.size(); ++i)
      for (size_t j = i + 1; j < substyles.size(); ++j)
        EXPECT_NE(substyles[i], substyles[j]) << i << j;
    for (int other : {-1, c.styles, 99}) EXPECT_EQ(Frame(c.kind, with(other), 0.4), styles[0]);
    for (int other : {-1, c.substyles, 99})
      EXPECT_EQ(Frame(c.kind, with(0, other), 0.4), substyles[0]);
  }
}

TEST_F(TransitionFrames, SizesAndFlagsChangeWhatIsDrawn) {
  struct Case {
    K kind;
    void (*change)(TransitionOptions&);
    const char* what;
  };
  const Case cases[] = {
      {K::kBlock, [](TransitionOptions& o) { o.size = 8; }, "BlockWidth"},
      {K::kBlock, [](TransitionOptions& o) { o.block_height = 8; }, "BlockHeight"},
      {K::kBlock, [](TransitionOptions& o) { o.first_flag = true; }, "Puzzle"},
      {K::kBlock, [](TransitionOptions& o) { o.second_flag = true; }, "Dual"},
      {K::kRoll, [](TransitionOptions& o) { o.size = 12; }, "Size"},
      {K::kRoll, [](TransitionOptions& o) { o.first_flag = true; }, "Use3D"},
      {K::kRoll, [](TransitionOptions& o) { o.second_flag = true; }, "Unroll"},
      {K::kSlide, [](TransitionOptions& o) { o.first_flag = true; }, "ElasticSrc"},
      {K::kSlide, [](TransitionOptions& o) { o.second_flag = true; }, "ElasticDst"},
      {K::kWipe, [](TransitionOptions& o) { o.size = 20; }, "BandWidth"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TransitionOptions changed;
    c.change(changed);
    for (double t : {0.3, 0.6}) EXPECT_NE(Frame(c.kind, changed, t), Frame(c.kind, {}, t));
  }
}

// A few pixels whose state can be told from the look each kind documents.
TEST_F(TransitionFrames, PixelsWhereTheLookSaysTheyAre) {
  const QImage from = OldPicture(), to = NewPicture();
  auto is_new = [&](const QImage& f, int x, int y) { return f.pixel(x, y) == to.pixel(x, y); };
  auto is_old = [&](const QImage& f, int x, int y) { return f.pixel(x, y) == from.pixel(x, y); };

  // Wipe rightwards: the left part is new, the right part old.
  const QImage wipe = Frame(K::kWipe, {}, 0.5);
  EXPECT_TRUE(is_new(wipe, 10, 30));
  EXPECT_TRUE(is_old(wipe, 85, 30));
  // Upwards: from the bottom edge.
  TransitionOptions up;
  up.direction = D::kUp;
  const QImage wipe_up = Frame(K::kWipe, up, 0.5);
  EXPECT_TRUE(is_new(wipe_up, 40, 60));
  EXPECT_TRUE(is_old(wipe_up, 40, 3));

  // Push rightwards: the new page's right half has come in on the left, the
  // old page's left half has gone to the right.
  const QImage push = Frame(K::kPush, {}, 0.5);
  EXPECT_EQ(push.pixel(10, 20), to.pixel(10 + kW / 2, 20));
  EXPECT_EQ(push.pixel(60, 20), from.pixel(60 - kW / 2, 20));
  // Slide rightwards: the old page stays where it is.
  const QImage slide = Frame(K::kSlide, {}, 0.5);
  EXPECT_EQ(slide.pixel(10, 20), to.pixel(10 + kW / 2, 20));
  EXPECT_TRUE(is_old(slide, 60, 20));

  // Circle: opening from the centre, closing into it.
  const QImage opening = Frame(K::kCircle, {}, 0.3), closing = Frame(K::kCircle, With(0, 1), 0.3);
  EXPECT_TRUE(is_new(opening, kW / 2, kH / 2));
  EXPECT_TRUE(is_old(opening, 0, 0));
  EXPECT_TRUE(is_old(closing, kW / 2, kH / 2));
  EXPECT_TRUE(is_new(closing, 0, 0));

  // Radial: clockwise from twelve o'clock, counter-clockwise in style 1.
  const QImage clockwise = Frame(K::kRadial, {}, 0.2), counter = Frame(K::kRadial, With(1), 0.2);
  EXPECT_TRUE(is_new(clockwise, kW / 2 + 12, 4));
  EXPECT_TRUE(is_old(clockwise, kW / 2 - 12, 4));
  EXPECT_TRUE(is_old(counter, kW / 2 + 12, 4));
  EXPECT_TRUE(is_new(counter, kW / 2 - 12, 4));

  // Diagonal from the top left corner.
  const QImage diagonal = Frame(K::kDiagonal, {}, 0.5);
  EXPECT_TRUE(is_new(diagonal, 2, 2));
  EXPECT_TRUE(is_old(diagonal, kW - 3, kH - 3));

  // Mask: dark parts of the mask first.
  const QImage mask = Frame(K::kMask, {}, 0.5);
  EXPECT_TRUE(is_new(mask, 3, 30));
  EXPECT_TRUE(is_old(mask, kW - 3, 30));

  // Block in rows: the top left piece first, the bottom right one last.
  TransitionOptions rows = With(1);
  rows.size = rows.block_height = 16;
  const QImage blocks = Frame(K::kBlock, rows, 0.5);
  EXPECT_TRUE(is_new(blocks, 3, 3));
  EXPECT_TRUE(is_old(blocks, kW - 3, kH - 3));
}

TEST_F(TransitionFrames, AMaskKindWithoutAMaskBlends) {
  TransitionFrame frame(K::kMask, {}, QSize(kW, kH));
  EXPECT_EQ(frame.kind(), K::kBlend);
  EXPECT_EQ(Frame(K::kMask, {}, 0.5, QImage()), Frame(K::kBlend, {}, 0.5));
  EXPECT_EQ(TransitionFrame(K::kMask, {}, QSize(kW, kH), GradientMask()).kind(), K::kMask);
}

TEST(TransitionSettingsTest, PageRecordsGiveTheSettings) {
  struct Case {
    int kind;
    int duration;
    std::string options;
    K expected_kind;
    int expected_ms;
    D direction;
    bool first, second;
  };
  using namespace std::string_literals;
  const Case cases[] = {
      {0, 0, "", K::kNone, 1000, D::kRight, false, false},
      {12, 250, "x0\x01\x00"s, K::kWipe, 250, D::kRight, true, false},
      {7, 0, "x1\x00\x01"s, K::kPush, 1000, D::kLeft, false, true},
      {9, -5, "x2", K::kRoll, 1000, D::kDown, false, false},
      {10, 3000, "x3\x02\x03"s, K::kSlide, 3000, D::kUp, true, true},
      // A digit outside 0 to 3, or none, travels rightwards.
      {5, 100, "x7", K::kDrip, 100, D::kRight, false, false},
      {5, 100, "xz", K::kDrip, 100, D::kRight, false, false},
      {14, 500, "", K::kRandom, 500, D::kRight, false, false},
      {15, 500, "", K::kNone, 1000, D::kRight, false, false},
      {200, 500, "", K::kNone, 1000, D::kRight, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    Page page;
    page.options.show_transition = uint8_t(c.kind);
    page.options.transition_duration = c.duration;
    page.transition_options = c.options;
    page.transition_style = 3;
    page.transition_size = 17;
    const TransitionSettings s = PageTransition(page);
    EXPECT_EQ(s.kind, c.expected_kind);
    if (c.expected_kind == K::kNone) continue;
    EXPECT_EQ(s.duration_ms, c.expected_ms);
    EXPECT_EQ(s.options.direction, c.direction);
    EXPECT_EQ(s.options.first_flag, c.first);
    EXPECT_EQ(s.options.second_flag, c.second);
    EXPECT_EQ(s.options.style, 3);
    EXPECT_EQ(s.options.size, 17);
  }
}

TEST(TransitionSettingsTest, TheRandomKindIsOneOfBlendToWipe) {
  std::mt19937 random(7);
  std::set<K> seen;
  for (int i = 0; i < 600; ++i) seen.insert(RandomTransitionKind(random));
  EXPECT_EQ(seen.size(), 12u);
  EXPECT_EQ(*seen.begin(), K::kBlend);
  EXPECT_EQ(*seen.rbegin(), K::kWipe);
}

}  // namespace
}  // namespace morvane
