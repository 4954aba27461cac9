// One table of (bytes, model) cases that both the package reader and the
// writer are held to: the reader must load the bytes into the model the case
// describes, and for canonical bytes the writer must give the same bytes back.

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "package/object_layout.h"
#include "package/package_reader.h"
#include "package/package_writer.h"
#include "unit/package/package_bytes.h"

namespace morvane {
namespace {

using testing::PackageBytes;

const Project& Loaded(const LoadResult& result) {
  if (const LoadError* error = std::get_if<LoadError>(&result))
    ADD_FAILURE() << "load failed at slot " << error->slot << ": " << error->message;
  static const Project empty;
  const Project* project = std::get_if<Project>(&result);
  return project ? *project : empty;
}

struct Case {
  const char* name;
  std::function<std::string()> bytes;
  std::function<void(const Project&)> check;
  bool canonical;  // the writer gives these bytes back
};

// Object header: type code, name, fixed bytes; all scrambled but raw bytes.
std::string Header(uint8_t key, std::string_view code, std::string_view name,
                   std::string_view fixed) {
  return Scramble(std::string(code) + std::string(name) + std::string(fixed), key);
}

const Case kCases[] = {
    {"key 1 and title",
     [] { return PackageBytes(1).Header("Title").bytes(); },
     [](const Project& p) {
       EXPECT_EQ(p.key, 1);
       EXPECT_EQ(p.signature, "1");
       EXPECT_EQ(p.title, "Title");
       EXPECT_EQ(p.hint_pause, 500);
       EXPECT_TRUE(p.options.hint_follows_pointer);
       EXPECT_FALSE(p.options.extract_all);
       EXPECT_EQ(p.options.hint_hide_pause, 2500);
       EXPECT_TRUE(p.pages.empty());
     },
     true},
    {"key 99",
     [] { return PackageBytes(99).Header().Page("Main").bytes(); },
     [](const Project& p) {
       EXPECT_EQ(p.key, 99);
       ASSERT_EQ(p.pages.size(), 1u);
       EXPECT_EQ(p.pages[0].name, "Main");
       EXPECT_EQ(p.pages[0].records, 23);
     },
     true},
    {"separators written with 0A and 64 at odd offsets",
     [] {
       PackageBytes b(5);
       b.Tail(Scramble("QMC1", 5)).Tail(std::string("\0\x0a\0\x64\0\x01\0\x13\0\xc7", 10));
       b.Rec("Odd").Tail(Scramble("Ignored tail", 5));
       return b.bytes();
     },
     [](const Project& p) {
       EXPECT_EQ(p.title, "Odd");
       EXPECT_EQ(p.header_records, 1);
     },
     false},
    {"nine separator bytes and a 02 are record content",
     [] {
       PackageBytes b(5);
       b.Rec("QMC1").Raw(Scramble("A", 5) + std::string("\0\1\0\1\0\1\0\1\0\2", 10) + "Z");
       return b.bytes();
     },
     [](const Project& p) {
       EXPECT_EQ(p.title, Unscramble(std::string("\0\1\0\1\0\1\0\1\0\2", 10), 5)
                               .insert(0, "A")
                               .append(Unscramble("Z", 5)));
     },
     false},
    {"project scripts cut at 03 04 05 with one byte dropped",
     [] {
       PackageBytes c(3);
       c.Rec("QMC1").Rec("T");
       std::string options(15, '\0');
       c.Raw(options + Scramble("0", 3)).Rec("1").Raw("").Rec("");
       for (int slot = 6; slot <= 9; ++slot) c.Rec("x\x01y");
       c.Rec("a\x03\x04\x05" "bX\x03\x04\x05" "cY\x03\x04\x05" "d");
       return c.bytes();
     },
     [](const Project& p) {
       EXPECT_EQ(p.on_error, "x\ry");
       EXPECT_EQ(p.help, "a");
       EXPECT_EQ(p.lan_message, "b");
       EXPECT_EQ(p.lan_message_pad, "X");
       EXPECT_EQ(p.lan_file, "c");
       EXPECT_EQ(p.lan_file_pad, "Y");
       EXPECT_EQ(p.command_line, "d");
       EXPECT_FALSE(p.ChangeDisplayMode());
     },
     true},
    {"tagged lists before the first page",
     [] {
       PackageBytes b(9);
       b.Header().Tag("EMBD", "[src]\\\\intro.wav").Tag("EMBD", "c:\\x\\pointer.CUR");
       b.Tag("FONT", "[embed]\\\\a.ttf").Tag("CURS", "[embed]\\\\pointer.CUR");
       b.Tag("DBAS", "people\x01[src]\\\\people.db").Tag("THRD", "153");
       b.Tag("FUNC", "Greet-Ctrl+G:2:1(\"hi\")\x01" "14");
       b.Page("Main");
       return b.bytes();
     },
     [](const Project& p) {
       ASSERT_EQ(p.embedded_files.size(), 2u);
       EXPECT_EQ(p.embedded_files[1].path, "c:\\x\\pointer.CUR");
       EXPECT_EQ(p.embedded_files[1].after_page, 0);
       ASSERT_EQ(p.fonts.size(), 1u);
       ASSERT_EQ(p.cursors.size(), 1u);
       ASSERT_EQ(p.databases.size(), 1u);
       EXPECT_EQ(p.databases[0].name, "people");
       EXPECT_EQ(p.databases[0].file, "[src]\\\\people.db");
       EXPECT_EQ(p.threads.digits, (std::vector<int>{1, 5, 3}));
       ASSERT_EQ(p.functions.size(), 1u);
       EXPECT_EQ(p.functions[0].name, "Greet");
       EXPECT_EQ(p.functions[0].shortcut, "Ctrl+G");
       EXPECT_EQ(p.functions[0].thread_slot, 2);
       EXPECT_EQ(p.functions[0].body, "1(\"hi\")\r14");
       EXPECT_EQ(p.pages.size(), 1u);
     },
     true},
    {"an embedded file after a page's objects is listed; a font there is not",
     [] {
       PackageBytes b(4);
       b.Header().Tag("EMBD", "one.txt").Page("Main");
       b.Raw(Header(4, "\x01\x07", "1", "\x01")).Rec("250").Rec("0").Rec("");
       b.Tag("FONT", "lost.ttf");
       b.Tag("EMBD", "two.txt").Tag("FONT", "kept.ttf");
       b.Page("Second");
       return b.bytes();
     },
     [](const Project& p) {
       ASSERT_EQ(p.embedded_files.size(), 2u);
       EXPECT_EQ(p.embedded_files[1].path, "two.txt");
       EXPECT_EQ(p.embedded_files[1].after_page, 1);
       ASSERT_EQ(p.fonts.size(), 1u);
       EXPECT_EQ(p.fonts[0].path, "kept.ttf");
       ASSERT_EQ(p.pages.size(), 2u);
       ASSERT_EQ(p.pages[0].objects.size(), 1u);
       EXPECT_EQ(p.pages[0].objects[0].interval, 250);
     },
     false},
    {"page records and options",
     [] {
       const uint8_t k = 11;
       PackageBytes b(k);
       b.Header().Tag("FORM", "Menu").Rec("Caption").Rec("-1").Rec("300").Rec("200");
       for (int slot = 16; slot <= 21; ++slot) b.Rec(std::to_string(slot));
       b.Rec("13").Rec("ignored");
       std::string plain(35, '\0');
       plain[0] = 1;
       plain[1] = '1';
       plain[6] = 1;
       plain[10] = '2';
       plain[21] = '5';
       plain[25] = 1;
       plain[26] = static_cast<char>(10 + k), plain[27] = static_cast<char>(20 + k);
       plain[28] = static_cast<char>(30 + k);
       plain[30] = static_cast<char>(200 + k), plain[31] = static_cast<char>(100 + k);
       plain[32] = static_cast<char>(k);
       plain[33] = 1;
       plain[34] = 14;
       std::string stored = Scramble(plain + "750", k);
       stored[22] = 1, stored[23] = 2, stored[24] = 3;
       b.Raw(stored).Rec("x1\x01").Rec("3").Rec("4").Rec("5").Rec("6").Rec("mask.bmp");
       b.Rec("show\x01script").Rec("close").Rec("resize").Rec("wheel");
       return b.bytes();
     },
     [](const Project& p) {
       ASSERT_EQ(p.pages.size(), 1u);
       const Page& page = p.pages[0];
       EXPECT_EQ(page.caption, "Caption");
       EXPECT_EQ(page.client_width, -1);
       EXPECT_EQ(page.alpha, 200);
       EXPECT_EQ(page.sponge, 21);
       EXPECT_EQ(page.cursor, 13);
       EXPECT_EQ(page.background_record, "ignored");
       EXPECT_TRUE(page.options.right_to_left);
       EXPECT_EQ(page.options.position, 1);
       EXPECT_TRUE(page.options.resizable);
       EXPECT_EQ(page.options.border_kind, 2);
       EXPECT_EQ(page.options.draw_style, 5);
       EXPECT_EQ(page.options.background_transparent_colour, (Colour{1, 2, 3}));
       EXPECT_TRUE(page.options.colour_key);
       EXPECT_EQ(page.options.key_colour, (Colour{10, 20, 30}));
       EXPECT_EQ(page.options.page_colour, (Colour{200, 100, 0}));
       EXPECT_TRUE(page.options.hidden_at_start);
       EXPECT_EQ(page.options.show_transition, 14);
       EXPECT_EQ(page.options.transition_duration, 750);
       EXPECT_EQ(page.transition_options, "x1\x01");
       EXPECT_EQ(page.transition_block_height, 6);
       EXPECT_EQ(page.on_show, "show\rscript");
       EXPECT_EQ(page.on_wheel, "wheel");
     },
     true},
    {"text, edit and button objects",
     [] {
       const uint8_t k = 20;
       PackageBytes b(k);
       b.Header().Page("P");
       std::string text_fixed = std::string("\1\1\1\0\1\0", 6) + std::string("\xff\0\0", 3) + std::string("\1\1", 2) +
                                "2" + std::string("\1", 1) + "3" + std::string("\1", 1) +
                                std::string("\1\2\3\4\5\6\7\x08\x09", 9);
       b.Raw(Header(k, std::string_view("\0\1", 2), "7", text_fixed));
       b.Rec("1011").Rec("51").Rec("80").Rec("20").Rec("Say \\qhi\\q").Rec("Hello");
       b.Rec("Tahoma").Rec("178").Rec("10").Rec("7").Rec("a").Rec("b").Rec("c").Rec("d");
       std::string edit_fixed(38, '\0');
       edit_fixed[0] = 1, edit_fixed[14] = '1', edit_fixed[15] = '0', edit_fixed[16] = '1';
       edit_fixed[17] = '2', edit_fixed[18] = '1', edit_fixed[37] = '3';
       std::string edit = Header(k, std::string_view("\0\2", 2), "8", edit_fixed);
       edit[2 + 1 + 13] = 0x2A;  // the password character, stored as it is shown
       b.Raw(edit).Rec("0").Rec("0").Rec("100").Rec("21").Rec("").Rec("secret");
       b.Rec("Arial").Rec("0").Rec("9").Rec("12").Rec("2").Rec("0").Rec("ch");
       b.Rec("").Rec("").Rec("").Rec("");
       std::string button_fixed = std::string("\1\1\1\1\0\1\1\0\0\0\0\0\xff", 13);
       b.Raw(Header(k, std::string_view("\0\3", 2), "9", button_fixed));
       b.Rec("11").Rec("21").Rec("75").Rec("25").Rec("").Rec("OK").Rec("Arial").Rec("0");
       b.Rec("9").Rec("3").Rec("7").Rec("").Rec("10(\"x\")").Rec("").Rec("");
       return b.bytes();
     },
     [](const Project& p) {
       ASSERT_EQ(p.pages.at(0).objects.size(), 3u);
       const PageObject& t = p.pages[0].objects[0];
       EXPECT_EQ(t.kind, ObjectKind::Text);
       EXPECT_EQ(t.name, "7");
       EXPECT_EQ(t.left, 100);
       EXPECT_EQ(t.enabled_digit, 1);
       EXPECT_EQ(t.top, 50);
       EXPECT_EQ(t.width, 80);
       EXPECT_TRUE(t.visible && t.word_wrap && t.bold && t.underline);
       EXPECT_FALSE(t.italic || t.strike_out);
       EXPECT_EQ(t.font_colour, (Colour{255, 0, 0}));
       EXPECT_EQ(t.layout, 2);
       EXPECT_EQ(t.alignment, 3);
       EXPECT_EQ(t.click_colour, (Colour{7, 8, 9}));
       EXPECT_EQ(t.hint, "Say \\qhi\\q");
       EXPECT_EQ(t.charset, 178);
       EXPECT_EQ(t.cursor, 7);
       EXPECT_EQ(t.evntMLeave, "d");
       EXPECT_EQ(t.records, 14);
       const PageObject& e = p.pages[0].objects[1];
       EXPECT_EQ(e.kind, ObjectKind::Edit);
       EXPECT_EQ(e.password_char, '*');
       EXPECT_EQ(e.left, -1);
       EXPECT_EQ(e.char_case, 1);
       EXPECT_EQ(e.bevel_kind, 2);
       EXPECT_EQ(e.validation, 3);
       EXPECT_EQ(e.caption, "secret");
       EXPECT_EQ(e.max_length, 12);
       EXPECT_EQ(e.tab_order, 2);
       EXPECT_EQ(e.evntCH, "ch");
       const PageObject& btn = p.pages[0].objects[2];
       EXPECT_EQ(btn.kind, ObjectKind::Button);
       EXPECT_TRUE(btn.default_button);
       EXPECT_FALSE(btn.show_focus_rect);
       EXPECT_EQ(btn.font_colour, (Colour{0, 0, 255}));
       EXPECT_EQ(btn.tab_order, 3);
       EXPECT_EQ(btn.evntMUp, "10(\"x\")");
       EXPECT_EQ(btn.records, 15);
     },
     true},
    {"text slot 36 1010 is left 100 and disabled",
     [] {
       PackageBytes b(2);
       b.Header().Page("P").Raw(Header(2, std::string_view("\0\1", 2), "1",
                                       std::string(11, '\0') + "1" + std::string(1, '\0') +
                                           "1" + std::string(10, '\0')));
       b.Rec("1010");
       return b.bytes();
     },
     [](const Project& p) {
       const PageObject& t = p.pages.at(0).objects.at(0);
       EXPECT_EQ(t.left, 100);
       EXPECT_EQ(t.enabled_digit, 0);
       EXPECT_EQ(t.records, 1);
     },
     true},
    {"image pictures count over the package; bad sizes are ignored",
     [] {
       PackageBytes b(6);
       b.Header().Page("P");
       const std::string fixed = std::string("\1\1\1\0\1\0\0\1\0\xff\0", 11);
       for (const char* name : {"a", "b"}) {
         b.Raw(Header(6, std::string_view("\0\4", 2), name, fixed)).Rec("pic.GIF").Rec("1");
         b.Rec("1").Rec("x").Rec("40").Rec("").Rec("0").Rec("").Rec("").Rec("").Rec("");
       }
       return b.bytes();
     },
     [](const Project& p) {
       ASSERT_EQ(p.pages.at(0).objects.size(), 2u);
       const PageObject& a = p.pages[0].objects[0];
       EXPECT_EQ(a.kind, ObjectKind::Image);
       EXPECT_EQ(a.picture_name, "pic.GIF");
       EXPECT_EQ(a.picture_index, 1);
       EXPECT_EQ(a.width, std::nullopt);
       EXPECT_EQ(a.height, 40);
       EXPECT_TRUE(a.loop && a.stretch);
       EXPECT_EQ(a.transparent_colour, (Colour{0, 255, 0}));
       EXPECT_EQ(p.pages[0].objects[1].picture_index, 2);
     },
     false},  // the bad width is written back as empty text
    {"shape hints and points",
     [] {
       PackageBytes b(8);
       b.Header().Page("P");
       const std::string fixed = std::string("\1\1\5\2\1\1", 6) + "\1\2\3\4\5\6" + "\x06";
       b.Raw(Header(8, std::string_view("\0\5", 2), "s1", fixed)).Rec("1").Rec("1").Rec("9");
       b.Rec("9").Rec("Hot\x01" "10,20\x01" "30,-40").Rec("0").Rec("").Rec("").Rec("").Rec("");
       b.Raw(Header(8, std::string_view("\0\5", 2), "s2", fixed)).Rec("1").Rec("1").Rec("9");
       b.Rec("9").Rec("\x01").Rec("0").Rec("").Rec("").Rec("").Rec("");
       b.Raw(Header(8, std::string_view("\0\5", 2), "s3", fixed)).Rec("1").Rec("1").Rec("9");
       b.Rec("9").Rec("just a hint").Rec("0").Rec("").Rec("").Rec("").Rec("");
       return b.bytes();
     },
     [](const Project& p) {
       ASSERT_EQ(p.pages.at(0).objects.size(), 3u);
       const PageObject& s1 = p.pages[0].objects[0];
       EXPECT_EQ(s1.hint, "Hot");
       EXPECT_EQ(s1.points, (std::vector<Point>{{10, 20}, {30, -40}}));
       EXPECT_EQ(s1.brush_style, 5);
       EXPECT_EQ(s1.pen_style, 2);
       EXPECT_EQ(s1.shape_kind, 6);
       EXPECT_EQ(s1.pen_colour, (Colour{4, 5, 6}));
       const PageObject& s2 = p.pages[0].objects[1];
       EXPECT_EQ(s2.hint, "");
       EXPECT_TRUE(s2.has_points);
       EXPECT_TRUE(s2.points.empty());
       const PageObject& s3 = p.pages[0].objects[2];
       EXPECT_EQ(s3.hint, "just a hint");
       EXPECT_FALSE(s3.has_points);
     },
     true},
    {"media, Flash, browser, plug-in and list box objects",
     [] {
       PackageBytes b(15);
       b.Header().Page("P");
       b.Raw(Header(15, "\x01\x03", "s", std::string("\1\1", 2) + "0080"));
       b.Rec("a").Rec("b").Rec("500").Rec("3").Rec("[src]\\\\x.wav").Rec("st").Rec("fi");
       b.Raw(Header(15, "\x01\x04", "v", std::string("\1\1\0", 3) + "0100"));
       b.Rec("1").Rec("1").Rec("320").Rec("240").Rec("0").Rec("1").Rec("m.avi").Rec("?");
       b.Rec("").Rec("");
       b.Raw(Header(15, "\x01\x05", "f", std::string("\1\1\0\1\2\3", 6) + "\x10\x20\x30"));
       b.Rec("1").Rec("1").Rec("10").Rec("10").Rec("m.swf").Rec("0").Rec("4").Rec("h");
       b.Rec("fs").Rec("fc");
       b.Raw(Header(15, "\x01\x06", "b", std::string("\1\1\0\0\1\1\0\1", 8)));
       b.Rec("1").Rec("1").Rec("10").Rec("10").Rec("5").Rec("0").Rec("http://127.0.0.1/");
       b.Rec("").Rec("bn").Rec("an").Rec("nw").Rec("pc").Rec("sc").Rec("tc").Rec("ac");
       b.Raw(Header(15, "\x01\x08", "g", std::string("\1", 1)));
       b.Rec("1").Rec("1").Rec("10").Rec("10").Rec("plug.dll");
       std::string list_fixed(27, '\0');
       list_fixed[2] = 1, list_fixed[23] = '1', list_fixed[24] = '1', list_fixed[25] = '3';
       list_fixed[26] = '0';
       b.Raw(Header(15, "\x01\x09", "l", list_fixed));
       b.Rec("1").Rec("1").Rec("100").Rec("80").Rec("tip").Rec("one\r\ntwo").Rec("Arial");
       b.Rec("0").Rec("9").Rec("1").Rec("0").Rec("2").Rec("").Rec("").Rec("").Rec("");
       b.Rec("dbl");
       return b.bytes();
     },
     [](const Project& p) {
       const auto& objects = p.pages.at(0).objects;
       ASSERT_EQ(objects.size(), 6u);
       EXPECT_EQ(objects[0].kind, ObjectKind::Sound);
       EXPECT_TRUE(objects[0].loop && objects[0].play_with_page_start);
       EXPECT_EQ(objects[0].volume, 80);
       EXPECT_EQ(objects[0].ignored_36, "a");
       EXPECT_EQ(objects[0].delay, 500);
       EXPECT_EQ(objects[0].loops, 3);
       EXPECT_EQ(objects[0].file, "[src]\\\\x.wav");
       EXPECT_EQ(objects[0].evntFinish, "fi");
       EXPECT_EQ(objects[1].kind, ObjectKind::Video);
       EXPECT_EQ(objects[1].volume, 100);
       EXPECT_EQ(objects[1].speed, 1);
       EXPECT_EQ(objects[1].still_record, "?");
       EXPECT_EQ(objects[2].kind, ObjectKind::Flash);
       EXPECT_EQ(objects[2].quality, 2);
       EXPECT_EQ(objects[2].scale_mode, 3);
       EXPECT_EQ(objects[2].background_colour, (Colour{0x10, 0x20, 0x30}));
       EXPECT_EQ(objects[2].frame, 4);
       EXPECT_EQ(objects[2].evntFC, "fc");
       EXPECT_EQ(objects[3].kind, ObjectKind::Browser);
       EXPECT_FALSE(objects[3].context_menu);
       EXPECT_EQ(objects[3].tab_order, 5);
       EXPECT_EQ(objects[3].file, "http://127.0.0.1/");
       EXPECT_EQ(objects[3].evntAC, "ac");
       EXPECT_EQ(objects[4].kind, ObjectKind::Plugin);
       EXPECT_EQ(objects[4].file, "plug.dll");
       EXPECT_EQ(objects[5].kind, ObjectKind::ListBox);
       EXPECT_TRUE(objects[5].sorted);
       EXPECT_EQ(objects[5].items, "one\r\ntwo");
       EXPECT_EQ(objects[5].columns, 2);
       EXPECT_EQ(objects[5].bevel_kind, 3);
       EXPECT_EQ(objects[5].evntdbl, "dbl");
       EXPECT_EQ(objects[5].records, 17);
     },
     true},
    {"an unknown type code creates nothing and its records are skipped",
     [] {
       PackageBytes b(7);
       b.Header().Page("P").Rec(std::string("\0\x0b", 2) + "zz").Rec("100").Rec("junk");
       b.Raw(Header(7, "\x01\x07", "t", std::string("\1", 1))).Rec("5").Rec("0").Rec("");
       return b.bytes();
     },
     [](const Project& p) {
       ASSERT_EQ(p.pages.at(0).objects.size(), 1u);
       EXPECT_EQ(p.pages[0].objects[0].kind, ObjectKind::Timer);
       EXPECT_EQ(p.pages[0].objects[0].interval, 5);
     },
     false},
};

TEST(PackageRecords, ReaderLoadsEveryCase) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    c.check(Loaded(ReadPackage(c.bytes())));
  }
}

TEST(PackageRecords, WriterGivesCanonicalBytesBack) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::string bytes = c.bytes();
    const LoadResult loaded = ReadPackage(bytes);
    const Project& project = Loaded(loaded);
    const std::string written = WritePackage(project);
    if (c.canonical) {
      EXPECT_EQ(written, bytes);
    }
    // Whatever the bytes, what is written loads to the same model.
    EXPECT_EQ(Loaded(ReadPackage(written)), project);
  }
}

TEST(PackageRecords, HeaderWidthsMatchTheTypeCodes) {
  struct Width {
    ObjectKind kind;
    int width;
    int last_slot;
  };
  const Width widths[] = {
      {ObjectKind::Text, 24, 49},   {ObjectKind::Sound, 6, 42},   {ObjectKind::Timer, 1, 38},
      {ObjectKind::Image, 11, 46},  {ObjectKind::Shape, 13, 45},  {ObjectKind::Edit, 38, 52},
      {ObjectKind::Video, 7, 45},   {ObjectKind::Flash, 9, 45},   {ObjectKind::Browser, 8, 50},
      {ObjectKind::Plugin, 1, 40},  {ObjectKind::Button, 13, 50}, {ObjectKind::ListBox, 27, 52},
  };
  for (const Width& w : widths) {
    SCOPED_TRACE(ObjectKindName(w.kind));
    EXPECT_EQ(LayoutOf(w.kind).HeaderWidth(), w.width);
    EXPECT_EQ(LayoutOf(w.kind).LastSlot(), w.last_slot);
  }
}

struct Failure {
  const char* name;
  std::function<std::string()> bytes;
  int slot;
  std::string message;
  std::optional<std::string> title;  // known once header slot 1 was read
};

TEST(PackageRecords, LoadFailuresCarryTheirSlotAndMessage) {
  const Failure failures[] = {
      {"no key turns the package into QMC", [] { return std::string("QMX"); }, 0,
       "Morvane doesn't know how to execute this file, recompile your project.", {}},
      {"empty package", [] { return std::string(); }, 0,
       "Morvane doesn't know how to execute this file, recompile your project.", {}},
      {"a lone 00 at offset 7",
       [] { return Scramble("QMC1abc", 4) + std::string("\0\1\0", 3) + "x"; }, -1, "", {}},
      {"a page size that is not a number",
       [] {
         PackageBytes b(3);
         b.Header().Tag("FORM", "P").Rec("c").Rec("wide");
         return b.bytes();
       },
       13, "'wide' is not a valid integer value", "Demo"},
      {"an object number that is not a number",
       [] {
         PackageBytes b(3);
         b.Header().Page("P").Rec(std::string("\1\7", 2) + "t" + std::string("\1", 1));
         b.Rec("fast");
         return b.bytes();
       },
       36, "'fast' is not a valid integer value", "Demo"},
      {"a hint hide pause that is not a number",
       [] {
         PackageBytes b(3);
         b.Rec("QMC1").Rec("T").Raw(std::string(15, '\x02') + Scramble("x", 3));
         return b.bytes();
       },
       2, "'x' is not a valid integer value", "T"},
  };
  for (const Failure& f : failures) {
    SCOPED_TRACE(f.name);
    const LoadResult result = ReadPackage(f.bytes());
    const LoadError* error = std::get_if<LoadError>(&result);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->slot, f.slot);
    EXPECT_EQ(error->message, f.message);
    EXPECT_EQ(error->title, f.title);
  }
}

TEST(PackageRecords, InitialisationFailureText) {
  EXPECT_EQ(InitialisationFailureText({13, "'wide' is not a valid integer value"}),
            "Application could not be intialized, run the application again or recompile your "
            "Morvane\u2122 project.\n\nDetailed Error (13): \n'wide' is not a valid integer value");
}

}  // namespace
}  // namespace morvane
