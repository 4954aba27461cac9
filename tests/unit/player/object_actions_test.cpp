// Object actions, objects made while the project runs and the headless
// dialogs, on a fixture page in the running player.

#include "player/objects/object_actions.h"
#include "expr/evaluator.h"
#include "player/media/media_objects.h"
#include "player/media/media_rows.h"
#include "player/objects/button_object.h"
#include "player/objects/edit_object.h"
#include "player/objects/image_object.h"
#include "player/objects/list_box_object.h"
#include "player/objects/page_objects.h"
#include "player/objects/runtime_objects.h"
#include "player/objects/shape_object.h"
#include "player/objects/text_object.h"
#include "player/objects/timer_object.h"
#include "player/shell/dialogs.h"
#include "player/shell/page_window.h"
#include "player/shell/player.h"
#include "player/web/web_rows.h"
#include "script/compat_table.h"

#include <QApplication>
#include <QFontInfo>
#include <QLineEdit>
#include "support/qt_app.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace morvane {
namespace {

namespace fs = std::filesystem;

const std::string kFixtures = std::string(MORVANE_SOURCE_DIR) + "/tests/fixtures/player";

std::string Carried(std::string_view script) {
  std::string out(script);
  for (char& c : out) {
    if (c == '\r') c = '\x01';
    c = char(uint8_t(uint8_t(c) + 5));
  }
  return out;
}

class ActionsPlayer : public morvane::test::QtAppSuite {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    m_dir = fs::temp_directory_path() /
            ("morvane-actions-" + std::to_string(getpid()) + "-" + info->name());
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
  }
  void Load(const std::string& dialog_answers = "") {
    setenv("MORVANE_PREFIX", (m_dir / "prefix").c_str(), 1);
    PlayerOptions options;
    options.project = kFixtures + "/actions";
    options.headless = true;
    options.trace_file = (m_dir / "trace.jsonl").string();
    if (!dialog_answers.empty()) {
      options.dialog_answers_file = (m_dir / "answers.txt").string();
      std::ofstream(options.dialog_answers_file) << dialog_answers;
    }
    m_player = std::make_unique<PlayerShell>(options, std::vector<std::string>{"player"});
    ASSERT_TRUE(m_player->Start());
    m_player->NoteActivePage(1);
    m_evaluator = std::make_unique<Evaluator>(m_player->values(), m_player->environment());
  }
  void TearDown() override {
    m_evaluator.reset();
    m_player.reset();
    fs::remove_all(m_dir);
  }

  void Act(const std::string& object, const std::string& tail, const std::string& page = "Main") {
    ObjectActionRequest request;
    request.page_name = page;
    request.object = object;
    request.tail = tail;
    request.action = ParseObjectActionText(tail);
    request.evaluator = m_evaluator.get();
    DoObjAction(*m_player, request);
  }
  double Number(const std::string& expression) { return m_evaluator->Number(expression); }
  PageObjects& Page(int n) { return m_player->GetFormByNum(n)->objects(); }
  template <typename T>
  T* Object(const std::string& number) {
    return dynamic_cast<T*>(Page(1).FindObject(number));
  }
  // The trace lines of one event.
  std::vector<std::string> Traced(const std::string& event) {
    std::ifstream in(m_dir / "trace.jsonl");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
      if (line.find("\"event\":\"" + event + "\"") != std::string::npos) lines.push_back(line);
    }
    return lines;
  }

  fs::path m_dir;
  std::unique_ptr<PlayerShell> m_player;
  std::unique_ptr<Evaluator> m_evaluator;
};

// Every object action the compatibility table lists is one the object's kind
// accepts, so the table cannot name codes the object layer does not know.
TEST(ObjectActionTable, CompatibilityRowsNameAcceptedCodes) {
  // The rows a player registers from its engines' folders when it starts.
  RegisterMediaClasses();
  RegisterWebClasses();
  for (const CompatRow& row : CompatTable()) {
    if (row.kind != CompatKind::kObjectAction) continue;
    ASSERT_TRUE(row.object);
    EXPECT_TRUE(AcceptsObjectAction(*row.object, row.code))
        << ObjectKindName(*row.object) << " " << row.code;
  }
  // Spot checks of the table itself: kinds that do not take a code.
  EXPECT_TRUE(AcceptsObjectAction(ObjectKind::Timer, 0));
  EXPECT_FALSE(AcceptsObjectAction(ObjectKind::Timer, 4));
  EXPECT_FALSE(AcceptsObjectAction(ObjectKind::Sound, 7));
  EXPECT_FALSE(AcceptsObjectAction(ObjectKind::ListBox, 71));
  EXPECT_FALSE(AcceptsObjectAction(ObjectKind::Text, 106));
  EXPECT_FALSE(AcceptsObjectAction(ObjectKind::Text, -1));
}

TEST_F(ActionsPlayer, GeometryVisibilityAndOrderThroughTheNumericFunctions) {
  Load();
  m_player->values().SetNumber("w", 49);
  struct Case {
    const char* object;
    const char* tail;
    const char* expression;
    double value;
  };
  const Case cases[] = {
      {"1", "7(30,40)", "@78%(\"1\")", 30},
      {"1", "7(30,40)", "@79%(\"1\")", 40},
      {"1", "8(#w+1,25)", "@82%(\"1\")", 50},
      {"1", "8(#w+1,25)", "@83%(\"1\")", 25},
      // Halves go to the even neighbour.
      {"5", "7(2.5,3.5)", "@78%(\"5\")", 2},
      {"5", "7(2.5,3.5)", "@79%(\"5\")", 4},
      {"3", "4(0)", "@45%(\"3\")", 0},
      {"3", "4(1)", "@45%(\"3\")", 1},
      // A negative size is no size.
      {"2", "8(-5,-5)", "@82%(\"2\")", 0},
      // Codes without a row, and the object's own name in any case.
      {"OBJ1", "7(1,1)", "@78%(\"1\")", 30},
      {"1", "21(5)", "@78%(\"1\")", 30},
      {"1", "200", "@78%(\"1\")", 30},
  };
  for (const Case& c : cases) {
    Act(c.object, c.tail);
    EXPECT_EQ(Number(c.expression), c.value) << c.object << "." << c.tail << " " << c.expression;
  }
  // A video moved takes its still along and is hidden.
  Act("10", "4(1)");
  Act("10", "7(60,70)");
  auto* video = Object<TQMVideo>("10");
  EXPECT_TRUE(video->isHidden());
  EXPECT_EQ(video->Stl->pos(), QPoint(60, 70));

  auto* text = Object<TQMText>("1");
  Act("1", "2");
  EXPECT_EQ(text->parentWidget()->children().indexOf(text), 0);
  Act("1", "1");
  EXPECT_EQ(text->parentWidget()->children().last(), text);
  Act("1", "3(0)");
  EXPECT_FALSE(text->isEnabled());
  Act("1", "10(\"tip\")");
  EXPECT_EQ(text->toolTip(), QString("tip"));

  // Moved to the other page, the text shows there and is still found here.
  Act("1", "11(\"OTHER\")");
  EXPECT_EQ(text->parentWidget(), &m_player->GetFormByNum(2)->surface());
  EXPECT_EQ(Page(1).FindObject("1"), text);
  Act("1", "11(\"nowhere\")");
  EXPECT_EQ(text->parentWidget(), &m_player->GetFormByNum(2)->surface());
}

TEST_F(ActionsPlayer, TextsColoursAndFonts) {
  Load();
  auto* text = Object<TQMText>("1");
  auto* edit = Object<TQMEdit>("2");
  auto* button = Object<TQMButton>("3");
  // A quoted comma does not split the argument.
  Act("1", "12(\"a, b\")");
  Act("3", "12(\"Start\")");
  Act("2", "12(\"abc\")");
  EXPECT_EQ(button->text(), QString("Start"));
  EXPECT_EQ(edit->text(), QString("abc"));
  for (const char* colour : {"\"RGB(255,0,0)\"", "\"FF0000\"", "\"ff0000\""}) {
    edit->ColorNormal = Colour{};
    Act("2", std::string("15(") + colour + ")");
    EXPECT_EQ(edit->ColorNormal, (Colour{255, 0, 0})) << colour;
    EXPECT_EQ(edit->palette().color(QPalette::Base), QColor(255, 0, 0)) << colour;
  }
  Act("2", "29(\"00FF00\")");
  Act("2", "32(\"0000FF\")");
  EXPECT_EQ(edit->ColorHover, (Colour{0, 255, 0}));
  EXPECT_EQ(edit->ColorEnterF, (Colour{0, 0, 255}));
  // A text's resting font colour is not its background.
  text->ColorNormal = Colour{1, 2, 3};
  Act("1", "15(\"00FF00\")");
  EXPECT_EQ(text->ColorNormal, (Colour{1, 2, 3}));

  Act("1", "13(\"Tahoma,10,178,b,u\")");
  EXPECT_TRUE(text->font().bold());
  EXPECT_TRUE(text->font().underline());
  EXPECT_FALSE(text->font().italic());
  EXPECT_EQ(text->font().pointSize(), 10);
  // Fewer than three commas: the default font.
  Act("1", "13(\"Arial,12\")");
  EXPECT_FALSE(text->font().bold());
  EXPECT_EQ(text->font().pointSize(), 8);

  Act("2", "25(\"#\")");
  EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
  EXPECT_EQ(edit->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter), int('#'));
  Act("2", "25(\"\")");
  EXPECT_EQ(edit->echoMode(), QLineEdit::Normal);
  Act("2", "26(3)");
  EXPECT_EQ(edit->maxLength(), 3);
  Act("2", "26(0)");
  EXPECT_EQ(edit->maxLength(), 32767);
  Act("2", "28(1)");
  EXPECT_EQ(edit->text(), QString("ABC"));
  Act("2", "105(2)");
  EXPECT_EQ(edit->Validation, 2);
  Act("2", "34(1)");
  EXPECT_EQ(edit->frame_spec().border, 1);
  Act("2", "37(9)");
  EXPECT_EQ(edit->frame_spec().bevel_kind, 3);
  Act("3", "38(1)");
  EXPECT_TRUE(button->isDefault());
  // Tab order 0 puts the button before the edit made ahead of it.
  auto tab_index = [&](QWidget* w) {
    QWidget* surface = w->parentWidget();
    int i = 0;
    for (QWidget* next = surface->nextInFocusChain(); next != surface && i < 1000;
         next = next->nextInFocusChain(), ++i) {
      if (next == w) return i;
    }
    return -1;
  };
  ASSERT_LT(tab_index(edit), tab_index(button));
  Act("3", "27(0)");
  EXPECT_LT(tab_index(button), tab_index(edit));
  Act("3", "27(99)");
  EXPECT_LT(tab_index(edit), tab_index(button));

  // A shape's styles map numbers to styles; unknown numbers give the first.
  auto* shape = Object<TQMShape>("5");
  Act("5", "43(4)");
  EXPECT_EQ(shape->Brush().style, 4);
  Act("5", "43(12)");
  EXPECT_EQ(shape->Brush().style, 1);
  Act("5", "34(2)");
  EXPECT_EQ(shape->Pen().style, 2);
  Act("5", "44(\"0000FF\")");
  Act("5", "15(\"00FF00\")");
  EXPECT_EQ(shape->Pen().colour, QColor(0, 0, 255));
  EXPECT_EQ(shape->Brush().colour, QColor(0, 255, 0));
  Act("5", "48(1)");
  EXPECT_EQ(shape->Shape(), ShapeType::stRoundRect);
}

TEST_F(ActionsPlayer, LineEndPoints) {
  Load();
  auto* line = Object<TQMShape>("6");
  ASSERT_EQ(line->Shape(), ShapeType::stLine);
  struct Case {
    const char* tail;
    bool reverse;
    QRect box;
  };
  const Case cases[] = {
      {"70(100,10,10,100)", true, {10, 10, 90, 90}},
      {"70(10,10,100,100)", false, {10, 10, 90, 90}},
      {"70(100,100,10,10)", false, {10, 10, 90, 90}},
      {"70(10,10,10,100)", true, {10, 10, 0, 90}},
  };
  for (const Case& c : cases) {
    Act("6", c.tail);
    EXPECT_EQ(line->Reverse(), c.reverse) << c.tail;
    EXPECT_EQ(line->geometry(), c.box) << c.tail;
  }
  // Only lines take end points.
  Act("5", "70(1,2,3,4)");
  EXPECT_EQ(Object<TQMShape>("5")->geometry(), QRect(120, 100, 60, 40));
}

TEST_F(ActionsPlayer, TimersStartStopAndKeepTheirScripts) {
  Load();
  auto* timer = Object<TQMTimer>("7");
  ASSERT_FALSE(timer->isActive());
  Act("7", "3(0)");
  EXPECT_FALSE(timer->isActive());
  Act("7", "3(1)");
  EXPECT_TRUE(timer->isActive());
  EXPECT_EQ(timer->ticks(), 0);
  Act("7", "69(250)");
  EXPECT_EQ(timer->interval(), 250);
  EXPECT_TRUE(timer->isActive());
  // A zero interval rests the timer without switching it off.
  Act("7", "69(0)");
  EXPECT_FALSE(timer->isActive());
  Act("7", "69(100)");
  EXPECT_TRUE(timer->isActive());
  Act("7", "76(\"" + Carried("#ticked=1") + "\")");
  EXPECT_EQ(timer->evntTimer, "#ticked=1");
  // Visual rows do nothing on timers.
  Act("7", "7(5,5)");
  Act("7", "3(0)");
  EXPECT_FALSE(timer->isActive());
}

TEST_F(ActionsPlayer, EventScriptsAreReplacedUncarried) {
  Load();
  const std::string script = "#a=1\r#b=2";
  struct Case {
    const char* object;
    int code;
    Script* (*field)(PageObjectItem*);
  };
  const Case cases[] = {
      {"1", 71, [](PageObjectItem* i) { return &dynamic_cast<TQMText*>(i)->evntMDown; }},
      {"1", 74, [](PageObjectItem* i) { return &dynamic_cast<TQMText*>(i)->evntMLeave; }},
      {"2", 72, [](PageObjectItem* i) { return &dynamic_cast<TQMEdit*>(i)->evntMup; }},
      {"2", 75, [](PageObjectItem* i) { return &dynamic_cast<TQMEdit*>(i)->evntCH; }},
      {"3", 73, [](PageObjectItem* i) { return &dynamic_cast<TQMButton*>(i)->evntMenter; }},
      {"4", 71, [](PageObjectItem* i) { return &dynamic_cast<TQMImage*>(i)->evntMDown; }},
      {"5", 72, [](PageObjectItem* i) { return &dynamic_cast<TQMShape*>(i)->evntMUp; }},
      {"10", 78, [](PageObjectItem* i) { return &dynamic_cast<TQMVideo*>(i)->evntFinish; }},
  };
  for (const Case& c : cases) {
    Act(c.object, std::to_string(c.code) + "(\"" + Carried(script) + "\")");
    EXPECT_EQ(*c.field(Page(1).FindObject(c.object)), script) << c.object << " " << c.code;
  }
  // A list box has no such row.
  Act("8", "71(\"" + Carried(script) + "\")");
  EXPECT_TRUE(Object<TQMListBox>("8")->evntMdown.empty());
  EXPECT_EQ(UncarryEventScript(std::string(1, '\x04')), std::string(1, char(0xFF)));
}

TEST_F(ActionsPlayer, ListBoxes) {
  Load();
  auto* list = Object<TQMListBox>("8");
  auto items = [&] { return list->item_bytes(); };
  using Items = std::vector<std::string>;
  struct Case {
    const char* tail;
    Items expected;
  };
  const Case cases[] = {
      {"92(1)", {"b", "c"}},
      {"94(1,\"n\")", {"b", "n", "c"}},
      {"93(1,\"f\")", {"f", "b", "n", "c"}},
      {"93(5,\"e\")", {"f", "b", "n", "c", "e"}},
      {"99(1,3)", {"b", "n", "f", "c", "e"}},
      {"102(2,\"N\")", {"b", "N", "f", "c", "e"}},
      {"92(9)", {"b", "N", "f", "c", "e"}},
      {"91(\"d\")", {"b", "N", "f", "c", "e", "d"}},
      {"90", {}},
  };
  for (const Case& c : cases) {
    Act("8", c.tail);
    EXPECT_EQ(items(), c.expected) << c.tail;
    ASSERT_EQ(list->count(), int(items().size())) << c.tail;
  }
  // Appended items are paths: their macros are expanded.
  Act("8", "91(\"[src]x\")");
  EXPECT_EQ(items(), Items{m_player->environment().macro_folders().exe + "x"});
  Act("8", "90");
  EXPECT_EQ(list->count(), 0);

  // Out of range inserts, moves and replacements fail in a box; nothing changes.
  Act("8", "91(\"only\")");
  for (const char* tail : {"93(3,\"x\")", "94(2,\"x\")", "99(1,2)", "102(0,\"x\")"}) {
    Act("8", tail);
    EXPECT_EQ(items(), Items{"only"}) << tail;
  }
  EXPECT_EQ(Traced("message").size(), 4u);

  // Selection: one item at a time, or all of a multiple-selection list.
  Act("8", "90");
  for (const char* item : {"a", "b", "c"}) Act("8", std::string("91(\"") + item + "\")");
  Act("8", "95(2)");
  EXPECT_EQ(list->currentRow(), 1);
  EXPECT_TRUE(list->item(1)->isSelected());
  Act("8", "97");
  EXPECT_FALSE(list->item(0)->isSelected());
  Act("8", "96(2)");
  EXPECT_FALSE(list->item(1)->isSelected());
  auto* multi = Object<TQMListBox>("9");
  Act("9", "97");
  EXPECT_EQ(multi->selectedItems().size(), 3);
  Act("9", "96(1)");
  EXPECT_EQ(multi->selectedItems().size(), 2);
  Act("9", "98");
  EXPECT_EQ(multi->selectedItems().size(), 0);
  Act("9", "104(2)");
  EXPECT_EQ(multi->columns(), 2);

  // Saved one per line and read back, through a Windows path.
  Act("8", "100(\"C:\\saved.txt\")");
  std::ifstream saved(m_dir / "prefix" / "saved.txt", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(saved), {}), "a\r\nb\r\nc\r\n");
  Act("9", "101(\"C:\\saved.txt\")");
  EXPECT_EQ(multi->item_bytes(), (Items{"a", "b", "c"}));
  const size_t boxes = Traced("message").size();
  Act("9", "101(\"C:\\missing.txt\")");
  EXPECT_EQ(Traced("message").size(), boxes + 1);
  EXPECT_EQ(multi->item_bytes(), (Items{"a", "b", "c"}));
}

TEST_F(ActionsPlayer, PicturesAndAnimation) {
  Load();
  auto* image = Object<TQMImage>("4");
  ASSERT_TRUE(image->animated());
  Act("4", "55");
  EXPECT_TRUE(image->paused());
  Act("4", "54");
  EXPECT_TRUE(image->running());
  Act("4", "56");
  EXPECT_FALSE(image->running());
  Act("4", "103");
  EXPECT_TRUE(image->running());
  Act("4", "57(\"[src]actions\\load.png\")");
  EXPECT_FALSE(image->animated());
  EXPECT_EQ(image->PictureSize(), QSize(16, 16));
  EXPECT_EQ(image->Unfiltered().size(), QSize(16, 16));
  EXPECT_NE(image->ImgPath.find("load.png"), std::string::npos);
  // GIF actions on a still do nothing; a missing file fails in a box.
  Act("4", "54");
  Act("4", "68(\"FF00FF\")");
  EXPECT_TRUE(Traced("message").empty());
  Act("4", "57(\"[src]missing.png\")");
  EXPECT_EQ(Traced("message").size(), 1u) << ::testing::PrintToString(Traced("message"));
  EXPECT_EQ(image->PictureSize(), QSize(16, 16));
}

TEST_F(ActionsPlayer, FailuresAreShownInABoxAndTheActionEnds) {
  Load();
  Act("1", "7(abc,5)");
  Act("1", "5a");
  Act("1", "8(10,\"a\")");
  const std::vector<std::string> boxes = Traced("message");
  ASSERT_EQ(boxes.size(), 3u) << ::testing::PrintToString(boxes);
  EXPECT_EQ(
      boxes[0],
      R"({"event":"message","caption":"Actions","text":"Parsing integer failed.","flags":48,"result":1})");
  EXPECT_NE(boxes[1].find("'5a' is not a valid integer value"), std::string::npos) << boxes[1];
  // The failed action changed nothing.
  EXPECT_EQ(Object<TQMText>("1")->geometry(), QRect(10, 10, 100, 20));
  // Unknown pages and objects are no failures.
  Act("99", "7(1,1)");
  Act("1", "7(1,1)", "Nowhere");
  EXPECT_EQ(Traced("message").size(), 3u);
}

TEST_F(ActionsPlayer, DeletedObjectsLeaveThePageAndTheirNumbersFree) {
  Load();
  Act("10", "0");
  Act("8", "0");
  for (const char* name : {"OBJ10", "FIL10", "TRK10", "IMG10", "OBJ8"}) {
    EXPECT_EQ(Page(1).FindComponent(name), nullptr) << name;
  }
  EXPECT_EQ(Page(1).FindObject("8"), nullptr);
  EXPECT_FALSE(std::any_of(Page(1).objects().begin(), Page(1).objects().end(),
                           [](PageObjectItem* o) { return o->model().name == "8"; }));
  EXPECT_TRUE(CreateRuntimeObject(*m_player, "text", "8", 1));
  // The deleted widgets go once the events under way are handled.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  Act("8", "7(3,4)");
  EXPECT_EQ(Number("@78%(\"8\")"), 3);
}

TEST_F(ActionsPlayer, ObjectsMadeAtRunTime) {
  Load();
  struct Case {
    const char* kind;
    const char* number;
    bool made;
  };
  const Case cases[] = {
      {"button", "7b", true},   {"text", "t", true},      {"edit", "e", true},
      {"image", "i", true},     {"circle", "c", true},    {"line", "l", true},
      {"hotspot", "h", true},   {"rectangle", "r", true}, {"timer", "tm", true},
      {"sound", "s", true},     {"browser", "w", true},   {"video", "v", false},
      {"listbox", "lb", false}, {"mplugin", "p", false},  {"flash", "f", false},
      {"button", "7b", false},  {"text", "1", false},     {"text", "a b", false},
      {"Button", "u", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CreateRuntimeObject(*m_player, c.kind, c.number, 1), c.made)
        << c.kind << " " << c.number;
  }
  auto* button = Object<TQMButton>("7b");
  ASSERT_NE(button, nullptr);
  EXPECT_TRUE(button->isVisibleTo(&m_player->GetFormByNum(1)->surface()));
  EXPECT_EQ(button->geometry(), QRect(0, 0, 75, 25));
  EXPECT_EQ(button->objectName(), QString("OBJ7b"));
  EXPECT_EQ(Object<TQMShape>("c")->Shape(), ShapeType::stEllipse);
  EXPECT_EQ(Object<TQMShape>("h")->Shape(), ShapeType::stHotSpot);
  EXPECT_NE(Page(1).FindComponent("SNDs"), nullptr);
  auto* timer = Object<TQMTimer>("tm");
  EXPECT_FALSE(timer->isActive());
  Act("tm", "3(1)");
  EXPECT_TRUE(timer->isActive());
  Act("7b", "7(5,6)");
  EXPECT_EQ(Number("@78%(\"7b\")"), 5);
  // What failed left nothing behind.
  EXPECT_EQ(Page(1).FindComponent("OBJv"), nullptr);
  EXPECT_EQ(Page(1).FindComponent("OBJlb"), nullptr);
}

TEST_F(ActionsPlayer, DialogsAnsweredHeadless) {
  Load(
      "C:\\a.txt\n"
      "C:\\a.txt|C:\\b.txt|C:\\c.txt\n"
      "C:\\a.txt|C:\\b.txt\n"
      "cancel\n"
      "C:\\out\n"
      "D:\\data\n"
      "ff8000\n"
      "Tahoma,10,178,b,u\n");
  OpenFileRequest open;
  EXPECT_EQ(RunOpenFileDialog(*m_player, 1, open), (std::vector<std::string>{"C:\\a.txt"}));
  open.multiple = true;
  EXPECT_EQ(RunOpenFileDialog(*m_player, 1, open),
            (std::vector<std::string>{"C:\\a.txt", "C:\\b.txt", "C:\\c.txt"}));
  // Without multiple selection only one file can be chosen.
  open.multiple = false;
  EXPECT_EQ(RunOpenFileDialog(*m_player, 1, open), (std::vector<std::string>{"C:\\a.txt"}));
  SaveFileRequest save;
  save.default_extension = "txt";
  EXPECT_EQ(RunSaveFileDialog(*m_player, 1, save), std::nullopt);
  EXPECT_EQ(RunSaveFileDialog(*m_player, 1, save), std::optional<std::string>("C:\\out.txt"));
  FolderRequest folder;
  folder.initial_folder = "C:\\start";
  EXPECT_EQ(RunFolderDialog(*m_player, 1, folder), "D:\\data");
  EXPECT_EQ(RunColourDialog(*m_player, 1, std::nullopt), std::optional<uint32_t>(0x0080FF));
  FontChoice initial;
  initial.name = "Arial";
  initial.size = 8;
  initial.colour = 0xFF;
  const FontChoice font = RunFontDialog(*m_player, 1, initial);
  EXPECT_EQ(font.name, "Tahoma");
  EXPECT_EQ(font.size, 10);
  EXPECT_EQ(font.charset, 178);
  EXPECT_TRUE(font.bold && font.underline && !font.italic);
  EXPECT_EQ(font.colour, 0xFFu);
  // The answers are used up: every dialog is cancelled.
  EXPECT_EQ(RunFolderDialog(*m_player, 1, folder), "C:\\start");
  EXPECT_EQ(RunFontDialog(*m_player, 1, initial).name, "Arial");
  EXPECT_EQ(Traced("dialog"),
            (std::vector<std::string>{
                R"({"event":"dialog","kind":"open","result":"C:\\a.txt"})",
                R"({"event":"dialog","kind":"open","result":"C:\\a.txt|C:\\b.txt|C:\\c.txt|"})",
                R"({"event":"dialog","kind":"open","result":"C:\\a.txt"})",
                R"({"event":"dialog","kind":"save","result":"cancel"})",
                R"({"event":"dialog","kind":"save","result":"C:\\out.txt"})",
                R"({"event":"dialog","kind":"folder","result":"D:\\data"})",
                R"({"event":"dialog","kind":"colour","result":"FF8000"})",
                R"({"event":"dialog","kind":"font","result":"Tahoma,10,178,B,U"})",
                R"({"event":"dialog","kind":"folder","result":"cancel"})",
                R"({"event":"dialog","kind":"font","result":"cancel"})",
            }));
}

TEST_F(ActionsPlayer, DialogsWithoutAnswersAreCancelled) {
  Load();
  EXPECT_TRUE(RunOpenFileDialog(*m_player, 1, OpenFileRequest{}).empty());
  EXPECT_EQ(RunColourDialog(*m_player, 1, 0x123456), std::nullopt);
  EXPECT_EQ(Traced("dialog").size(), 2u);
  EXPECT_EQ(NameFilters("Text|*.txt|Pictures|*.bmp;*.png"),
            (std::vector<std::string>{"Text (*.txt)", "Pictures (*.bmp *.png)"}));
}

}  // namespace
}  // namespace morvane
