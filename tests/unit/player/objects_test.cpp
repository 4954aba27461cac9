// Page objects: the shape and picture arithmetic, and every class built from
// a fixture project in the running player, looked at through the stage and
// the numeric functions that read objects.

#include "expr/evaluator.h"
#include "player/assets/picture_reader.h"
#include "player/media/media_objects.h"
#include "player/objects/button_object.h"
#include "player/objects/classic_look.h"
#include "player/objects/edit_object.h"
#include "player/objects/image_object.h"
#include "player/objects/list_box_object.h"
#include "player/web/web_objects.h"
#include "player/objects/page_objects.h"
#include "player/objects/shape_geometry.h"
#include "player/objects/shape_object.h"
#include "player/objects/text_object.h"
#include "player/objects/timer_object.h"
#include "player/shell/page_window.h"
#include "player/shell/player.h"
#include "player/shell/player_stage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>
#include <QToolTip>
#include "support/qt_app.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace morvane {
namespace {

const std::string kFixtures = std::string(MORVANE_SOURCE_DIR) + "/tests/fixtures/player";

TEST(ShapeGeometry, FigureHitTests) {
  const std::vector<Point> triangle{{0, 0}, {40, 0}, {0, 40}};
  struct Case {
    ShapeType type;
    std::vector<Point> points;
    int w, h, x, y;
    bool inside;
  };
  const Case cases[] = {
      // The circle's radius is half the height, whatever the width.
      {ShapeType::stCircle, {}, 100, 50, 50, 10, true},
      {ShapeType::stCircle, {}, 100, 50, 80, 25, false},
      {ShapeType::stCircle, {}, 100, 50, 74, 25, true},
      {ShapeType::stEllipse, {}, 100, 50, 95, 25, true},
      {ShapeType::stEllipse, {}, 100, 50, 95, 5, false},
      {ShapeType::stEllipse, {}, 0, 0, 0, 0, false},
      {ShapeType::stPolygon, triangle, 40, 40, 5, 5, true},
      {ShapeType::stPolygon, triangle, 40, 40, 35, 35, false},
      // The top edge counts in, the bottom point's row out ([min, max)).
      {ShapeType::stPolygon, triangle, 40, 40, 5, 0, true},
      {ShapeType::stPolygon, {}, 40, 40, 5, 5, false},
      {ShapeType::stRectangle, {}, 10, 10, 500, 500, true},
      {ShapeType::stLine, {}, 10, 10, 0, 9, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ShapeFigureContains(c.type, c.points, c.w, c.h, c.x, c.y), c.inside)
        << int(c.type) << " at " << c.x << "," << c.y;
  }
}

TEST(ShapeGeometry, ClassicBoxAndBezierPoints) {
  struct Case {
    ShapeType type;
    int w, h, pen;
    BoxRect box;
    int corner;
  };
  const Case cases[] = {
      {ShapeType::stRectangle, 60, 40, 1, {0, 0, 60, 40}, 10},
      {ShapeType::stRectangle, 60, 40, 0, {0, 0, 60, 40}, 10},
      {ShapeType::stRectangle, 60, 40, 4, {2, 2, 57, 37}, 9},
      {ShapeType::stCircle, 100, 50, 1, {25, 0, 50, 50}, 12},
      {ShapeType::stRoundSquare, 40, 90, 1, {0, 25, 40, 40}, 10},
  };
  for (const Case& c : cases) {
    ShapeBox b = ClassicShapeBox(c.type, c.w, c.h, c.pen);
    EXPECT_EQ(b.box, c.box) << int(c.type) << " pen " << c.pen;
    EXPECT_EQ(b.corner, c.corner);
  }
  // Five points are drawn with seven: the fourth point twice more.
  std::vector<Point> five{{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}};
  EXPECT_EQ(BezierPoints(five),
            (std::vector<Point>{{0, 0}, {1, 1}, {2, 2}, {3, 3}, {3, 3}, {3, 3}, {4, 4}}));
  EXPECT_EQ(BezierPoints({{1, 1}, {2, 2}, {3, 3}, {4, 4}}).size(), 4u);
  EXPECT_EQ(ShapeTypeFromKind(1, true), ShapeType::stRoundRect);
  EXPECT_EQ(ShapeTypeFromKind(8, false), ShapeType::stPolygon);
  EXPECT_EQ(ShapeTypeFromKind(99, false), ShapeType::stRectangle);
}

TEST(ShapeGeometry, ImagePlacement) {
  struct Case {
    int w, h, cw, ch;
    bool stretch, proportional, center;
    BoxRect r;
  };
  const Case cases[] = {
      {20, 10, 100, 100, false, false, false, {0, 0, 20, 10}},
      {20, 10, 100, 100, false, false, true, {40, 45, 20, 10}},
      {20, 10, 100, 100, true, false, false, {0, 0, 100, 100}},
      {20, 10, 100, 100, true, true, true, {0, 25, 100, 50}},
      // Proportional alone only shrinks.
      {20, 10, 100, 100, false, true, false, {0, 0, 20, 10}},
      {200, 400, 100, 100, false, true, false, {0, 0, 50, 100}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ImageDestination(c.w, c.h, c.cw, c.ch, c.stretch, c.proportional, c.center), c.r);
  }
}

TEST(ObjectTexts, HintEscapesAndItemLines) {
  EXPECT_EQ(HintText("say \\qhi\\q\\brnow"), "say \"hi\"\r\nnow");
  EXPECT_EQ(HintText("\\q\\q and \\br\\br"), "\\q and \\br");
  EXPECT_EQ(SplitLines("a\r\nb\rc\nd\r\n"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines("\r\n\r\nx"), (std::vector<std::string>{"", "", "x"}));
  EXPECT_TRUE(SplitLines("").empty());
}

TEST(Pictures, EveryKindOrNothing) {
  auto read = [](const std::string& name) {
    std::ifstream in(kFixtures + "/objects/pictures/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  PictureData png = ReadPicture(read("IDATA1.png"));
  EXPECT_EQ(png.format, PictureData::kPng);
  EXPECT_EQ(png.image.size(), QSize(16, 16));
  PictureData bmp = ReadPicture(read("IDATA2.bmp"));
  EXPECT_EQ(bmp.format, PictureData::kBitmap);
  PictureData gif = ReadPicture(read("IDATA3.gif"));
  EXPECT_EQ(gif.format, PictureData::kGif);
  EXPECT_TRUE(gif.animated());
  EXPECT_EQ(gif.gif_background, qRgb(255, 255, 255));
  for (std::string bytes : {read("IDATA4.png"), std::string(), std::string("GIF89a\x01", 7),
                            std::string("BM\xff\xff\xff\x7f", 6)}) {
    EXPECT_TRUE(ReadPicture(bytes).empty());
  }
}

std::string Le16(int v) {
  return {char(v & 0xFF), char((v >> 8) & 0xFF)};
}
std::string Le32(uint32_t v) {
  return Le16(int(v & 0xFFFF)) + Le16(int(v >> 16));
}
// A 16-bit metafile record: its size in words, its function, its words.
std::string WmfRecord(int function, std::vector<int> words) {
  std::string r = Le32(uint32_t(3 + words.size())) + Le16(function);
  for (int w : words) r += Le16(w);
  return r;
}
// A placeable 16-bit metafile of w x h logical units at 96 to the inch.
std::string Wmf(int w, int h, const std::string& records) {
  std::string s = Le32(0x9AC6CDD7) + Le16(0) + Le16(0) + Le16(0) + Le16(w) + Le16(h) + Le16(96) +
                  Le32(0) + Le16(0);
  s += Le16(1) + Le16(9) + Le16(0x0300) + Le32(0) + Le16(2) + Le32(0) + Le16(0);
  return s + records + WmfRecord(0, {});
}
std::string EmfRecord(uint32_t type, std::vector<uint32_t> values) {
  std::string r = Le32(type) + Le32(uint32_t(8 + 4 * values.size()));
  for (uint32_t v : values) r += Le32(v);
  return r;
}
// An enhanced metafile whose bounds are w x h device pixels.
std::string Emf(int w, int h, const std::string& records) {
  std::string body = records + EmfRecord(14, {0, 16, 20});
  std::string s = Le32(1) + Le32(88) + Le32(0) + Le32(0) + Le32(uint32_t(w - 1)) +
                  Le32(uint32_t(h - 1)) + std::string(16, '\0') + " EMF" + Le32(0x10000) +
                  Le32(uint32_t(88 + body.size())) + Le32(0) + Le16(2) + Le16(0) +
                  std::string(28, '\0');
  return s + body;
}

TEST(Pictures, MetafilesAreDrawn) {
  // A red rectangle without a pen over the left half.
  const std::string wmf = Wmf(40, 20,
                              WmfRecord(0x02FC, {0, 0x00FF, 0, 0}) + WmfRecord(0x012D, {0}) +
                                  WmfRecord(0x02FA, {5, 0, 0, 0, 0}) + WmfRecord(0x012D, {1}) +
                                  WmfRecord(0x041B, {20, 20, 0, 0}));
  // A blue ellipse filling the picture, the stock null pen.
  const std::string emf = Emf(30, 20,
                              EmfRecord(39, {1, 0, 0x00FF0000, 0}) + EmfRecord(37, {1}) +
                                  EmfRecord(37, {0x80000008}) + EmfRecord(42, {0, 0, 30, 20}));
  struct Case {
    std::string bytes;
    QSize size;
    QPoint painted, clear;
    QRgb colour;
  };
  const Case cases[] = {
      {wmf, {40, 20}, {5, 10}, {30, 10}, qRgb(255, 0, 0)},
      {emf, {30, 20}, {15, 10}, {1, 1}, qRgb(0, 0, 255)},
      // A record cut short is not drawn.
      {wmf.substr(0, wmf.size() - 9), {40, 20}, {-1, -1}, {5, 10}, 0},
  };
  for (const Case& c : cases) {
    PictureData picture = ReadPicture(c.bytes);
    ASSERT_EQ(picture.format, PictureData::kMetafile);
    EXPECT_EQ(picture.image.size(), c.size);
    if (c.painted.x() >= 0) {
      EXPECT_EQ(picture.image.pixel(c.painted), c.colour);
    }
    EXPECT_EQ(qAlpha(picture.image.pixel(c.clear)), 0);
  }
  // Broken headers: nothing, and no crash.
  for (std::string bytes : {wmf.substr(0, 30), emf.substr(0, 60), Emf(0, 0, ""), Wmf(0, 0, ""),
                            std::string("\xd7\xcd\xc6\x9a", 4)}) {
    EXPECT_TRUE(ReadPicture(bytes).empty());
  }
}

// The player on a fixture, in this process.
class LoadedPlayer : public morvane::test::QtAppSuite {
 protected:
  void Load(const std::string& fixture) {
    m_prefix = std::filesystem::temp_directory_path() /
               ("morvane-objects-" + std::to_string(getpid()) + "-" + fixture);
    std::filesystem::remove_all(m_prefix);
    setenv("MORVANE_PREFIX", m_prefix.c_str(), 1);
    PlayerOptions options;
    options.project = kFixtures + "/" + fixture;
    options.headless = true;
    m_player = std::make_unique<PlayerShell>(options, std::vector<std::string>{"player"});
    m_started = m_player->Start();
  }
  void TearDown() override {
    m_player.reset();
    std::filesystem::remove_all(m_prefix);
  }
  PageObjects& Page1() { return m_player->GetFormByNum(1)->objects(); }
  template <typename T>
  T* Object(const std::string& number) {
    return dynamic_cast<T*>(Page1().FindObject(number));
  }

  std::filesystem::path m_prefix;
  std::unique_ptr<PlayerShell> m_player;
  bool m_started = false;
};

TEST_F(LoadedPlayer, EveryClassIsBuiltWithItsProperties) {
  Load("objects");
  ASSERT_TRUE(m_started);
  auto* text = Object<TQMText>("1");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->geometry(), QRect(4, 4, 120, 40));
  EXPECT_EQ(text->toolTip(), QString("say \"hi\""));
  EXPECT_FALSE(Object<TQMText>("2")->isEnabled());
  // Auto-size fits the caption and keeps a right-aligned text's right edge.
  auto* fitted = Object<TQMText>("3");
  EXPECT_LT(fitted->width(), 120);
  EXPECT_EQ(fitted->x() + fitted->width(), 124);

  auto* password = Object<TQMEdit>("4");
  EXPECT_EQ(password->echoMode(), QLineEdit::Password);
  EXPECT_EQ(password->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter), int('*'));
  EXPECT_EQ(Object<TQMEdit>("5")->text(), QString("UPPER CASE"));
  EXPECT_EQ(Object<TQMEdit>("5")->ColorNormal, (Colour{230, 255, 230}));
  EXPECT_TRUE(Object<TQMButton>("7")->isDefault());
  EXPECT_FALSE(Object<TQMButton>("8")->isEnabled());

  auto* sorted = Object<TQMListBox>("9");
  ASSERT_EQ(sorted->count(), 3);
  EXPECT_EQ(sorted->item(0)->text(), QString("apple"));
  EXPECT_EQ(Object<TQMListBox>("10")->count(), 7);
  EXPECT_EQ(Object<TQMListBox>("10")->columns(), 2);

  EXPECT_EQ(Object<TQMShape>("12")->Shape(), ShapeType::stRoundRect);
  EXPECT_TRUE(Object<TQMShape>("14")->Reverse());
  EXPECT_EQ(Object<TQMShape>("15")->points().size(), 3u);
  EXPECT_EQ(Object<TQMShape>("19")->Pen().style, 0);  // kind 8 clears the pen

  auto* stretched = Object<TQMImage>("20");
  EXPECT_EQ(stretched->PictureSize(), QSize(16, 16));
  EXPECT_EQ(stretched->Unfiltered().size(), QSize(16, 16));
  EXPECT_EQ(stretched->ImgPath.substr(stretched->ImgPath.size() - 10), "\\IDATA.PNG");
  EXPECT_TRUE(Object<TQMImage>("22")->animated());
  // An unreadable picture leaves the image empty.
  EXPECT_EQ(Object<TQMImage>("23")->PictureSize(), QSize(0, 0));

  auto* timer = Object<TQMTimer>("24");
  EXPECT_EQ(timer->interval(), 500);
  EXPECT_EQ(timer->NumberOfLoops, 2);
  EXPECT_TRUE(timer->isActive());
  EXPECT_EQ(Object<TQMSound>("25")->volume, 50);
  EXPECT_EQ(Object<TQMVideo>("26")->Volume, 20);
  EXPECT_EQ(Object<TQMBrowser>("27")->DefPath, "https://example.org/");
  // Without the Flash control the Flash object is skipped; a cut-short object
  // never reaches the page.
  EXPECT_EQ(Page1().FindObject("29"), nullptr);
  EXPECT_EQ(Page1().FindObject("31"), nullptr);
}

// What the window shows, not a picture taken outside its paint events: an
// edit without the focus keeps a picture of itself and must still be drawn.
TEST_F(LoadedPlayer, AnEditWithoutTheFocusIsDrawnOnTheWindow) {
  Load("objects");
  ASSERT_TRUE(m_started);
  TQMForm* page = m_player->GetFormByNum(1);
  auto* edit = Object<TQMEdit>("5");
  ASSERT_FALSE(edit->hasFocus());
  const QRect area(edit->mapTo(page, QPoint(0, 0)), edit->size());
  for (int paint = 0; paint < 2; ++paint) {  // the first paint, then one from the kept picture
    if (paint == 0) edit->setText("new");
    edit->update();
    for (QElapsedTimer clock; !clock.isValid() || clock.elapsed() < 50;) {
      if (!clock.isValid()) clock.start();
      QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    const QImage shown = page->screen()->grabWindow(page->winId()).toImage().copy(area);
    const QImage alone = edit->grab().toImage().convertToFormat(shown.format());
    EXPECT_EQ(shown, alone) << "paint " << paint;
  }
}

TEST_F(LoadedPlayer, AShapeShowsItsHintOnlyInsideItsFigure) {
  Load("objects");
  ASSERT_TRUE(m_started);
  auto* triangle = Object<TQMShape>("15");  // (0,0) (47,0) (0,39), hint "Triangle"
  ASSERT_NE(triangle, nullptr);
  struct Case {
    QPoint at;
    QString shown;
  };
  // Outside first: a hint once shown is only hidden with a delay.
  for (const Case& c : {Case{{40, 35}, ""}, Case{{5, 5}, "Triangle"}}) {
    QHelpEvent help(QEvent::ToolTip, c.at, triangle->mapToGlobal(c.at));
    QApplication::sendEvent(triangle, &help);
    EXPECT_EQ(QToolTip::text(), c.shown) << c.at.x() << "," << c.at.y();
  }
  QToolTip::hideText();
}

TEST_F(LoadedPlayer, TheHintOptionShowsTheCurrentHintAtEveryMove) {
  for (const std::string fixture : {"objects", "hints-follow"}) {
    Load(fixture);
    ASSERT_TRUE(m_started);
    auto* text = Object<TQMText>("1");
    ASSERT_NE(text, nullptr);
    const QPoint at(5, 5);
    QMouseEvent move(QEvent::MouseMove, QPointF(at), QPointF(text->mapToGlobal(at)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(text, &move);
    // Without the option a hint waits for the pointer to rest.
    EXPECT_EQ(QToolTip::isVisible(), fixture == "hints-follow") << fixture;
    TearDown();
  }
}

TEST_F(LoadedPlayer, NamesAreFoundIgnoringCase) {
  Load("objects");
  ASSERT_TRUE(m_started);
  PageObjects& page = Page1();
  for (const char* name :
       {"obj1", "OBJ1", "Obj27", "snd25", "TIMOBJ25", "fil26", "TRK26", "img26", "P28",
        "quillmere_new_text", "QUILLMERE_NEW_LISTBOX", "QUILLMERE_NEW_FLASH", "bgshape",
        "enterleave", "showevent", "qm_form_background"}) {
    EXPECT_NE(page.FindComponent(name), nullptr) << name;
  }
  EXPECT_EQ(page.FindComponent("OBJ99"), nullptr);
  EXPECT_EQ(page.FindComponent("IMG20"), nullptr);
  auto* still = dynamic_cast<TQMImage*>(page.FindComponent("IMG26"));
  ASSERT_NE(still, nullptr);
  EXPECT_EQ(still->geometry(), QRect(172, 190, 40, 32));
  EXPECT_FALSE(Object<TQMVideo>("26")->isVisibleTo(&m_player->GetFormByNum(1)->surface()));
  EXPECT_EQ(FreshObjectName(ObjectKind::Plugin), "new_quillmere_new_mplugin");
}

TEST_F(LoadedPlayer, ObjectsOfAPageNeverShownAreDrawnAndFound) {
  struct Case {
    bool draw_first;  // the page's picture before any look-up, or after
  };
  for (Case c : {Case{true}, Case{false}}) {
    Load("objects-unseen");
    ASSERT_TRUE(m_started);
    TQMForm* hidden = m_player->GetFormByNum(2);
    ASSERT_FALSE(hidden->isVisible());
    auto look_up = [&] {
      PageObjects& page = hidden->objects();
      EXPECT_NE(page.FindComponent("obj3"), nullptr);
      auto* text = dynamic_cast<TQMText*>(page.FindObject("1"));
      ASSERT_NE(text, nullptr);
      EXPECT_EQ(text->parentWidget(), &hidden->surface());
      // Package order, the timer among the others.
      ASSERT_EQ(page.objects().size(), 3u);
      EXPECT_EQ(page.objects()[1]->kind(), ObjectKind::Timer);
      EXPECT_EQ(page.objects()[2]->kind(), ObjectKind::Shape);
    };
    if (!c.draw_first) look_up();
    QImage picture = hidden->Picture();
    EXPECT_EQ(picture.pixel(75, 35), qRgb(0, 0, 255)) << c.draw_first;
    if (c.draw_first) look_up();
    TearDown();
  }
}

TEST_F(LoadedPlayer, ExpressionsReadObjectsOfTheCurrentPage) {
  Load("objects");
  ASSERT_TRUE(m_started);
  m_player->NoteActivePage(1);
  PlayerStage& stage = m_player->stage();
  std::optional<ObjectSnapshot> list = stage.CurrentPageObject("9");
  ASSERT_TRUE(list && list->list_items);
  EXPECT_EQ(*list->list_items, (std::vector<std::string>{"apple", "fig", "Pear"}));
  EXPECT_FALSE(stage.CurrentPageObject("29"));

  Evaluator ev(m_player->values(), m_player->environment());
  struct Case {
    const char* expression;
    double value;
  };
  const Case cases[] = {
      {"@78%(\"11\")", 4}, {"@79%(\"11\")", 100}, {"@82%(\"11\")", 60},  {"@83%(\"11\")", 40},
      {"@45%(\"11\")", 1}, {"@45%(\"30\")", 0},   {"@78%(\"obj\")", -1},
  };
  for (const Case& c : cases) {
    double value = -1;
    try {
      value = ev.Number(c.expression);
    } catch (const std::exception&) {
    }
    EXPECT_EQ(value, c.value) << c.expression;
  }
}

TEST_F(LoadedPlayer, FlashNeededEndsTheProgram) {
  Load("flash");
  EXPECT_FALSE(m_started);
  EXPECT_EQ(m_player->exit_code(), 1);
  EXPECT_EQ(m_player->PageCount(), 0);
}

}  // namespace
}  // namespace morvane
