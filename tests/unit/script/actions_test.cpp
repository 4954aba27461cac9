// The action tables: what each kind of action asks of the stage, the files,
// the registry and INI files, and the variables it sets.

#include <gtest/gtest.h>

#include "platform/ini_file.h"
#include "platform/trailer.h"
#include "script_world.h"

namespace morvane::testing {
namespace {

std::vector<std::string> LogWith(ScriptWorld& world, const std::string& prefix) {
  std::vector<std::string> lines;
  for (const std::string& line : world.stage.Log()) {
    if (line.rfind(prefix, 0) == 0) lines.push_back(line);
  }
  return lines;
}

TEST(CoreActionsTest, MessageBoxes) {
  ScriptWorld world(ScriptEngine::Mode::kParsed, false);
  world.stage.SetTitle("Demo");
  world.stage.SetAnswers({7});
  EXPECT_EQ(world.Run("5(\"hello \"+#x)\r\n20(\"Sure?\",\"Ask\",36)\r\n#a=#_result\r\n"
                      "20(\"Again?\",\"Ask\",36)"),
            "");
  EXPECT_EQ(world.stage.Log()[0], "message: Demo|hello 0|48");
  EXPECT_EQ(world.Num("a"), 7);
  EXPECT_EQ(world.Num("_result"), 6);  // answers used up: the first button
}

TEST(CoreActionsTest, Navigation) {
  ScriptWorld world(ScriptEngine::Mode::kParsed, false);
  // Page 2 of 3 is current.
  EXPECT_EQ(world.Run("13"), "");
  EXPECT_EQ(world.stage.CurrentPage(), 3);
  // On the last page "next" repeats the last target.
  EXPECT_EQ(world.Run("13\r\n14\r\n11\r\n14\r\n12\r\n15(\"second\")"), "");
  EXPECT_EQ(LogWith(world, "goto: "),
            (std::vector<std::string>{"goto: Third", "goto: Third", "goto: Second", "goto: Main",
                                      "goto: Main", "goto: Third", "goto: second"}));
  EXPECT_EQ(world.engine->NavigationTarget(), "second");
}

TEST(CoreActionsTest, WindowsObjectsAndAppearance) {
  ScriptWorld world(ScriptEngine::Mode::kParsed, false);
  world.values.SetNumber("four", 4);
  EXPECT_EQ(world.Run("7\r\n97(\"third\")\r\n97(\"nowhere\")\r\n58(\"\")\r\n"
                      "10(\"3\",\"\").5(#x+10)\r\n10(#four,\"Main\").1\r\n10(12,\"Main\").2\r\n"
                      "76(300)\r\n78(\"RGB(1,2,3)\")\r\n60(10.5,-3)\r\n69(0.4)\r\n59(\"Title\")"),
            "");
  EXPECT_EQ(LogWith(world, "window: "), std::vector<std::string>{"window: 1 hide"});
  EXPECT_EQ(LogWith(world, "page-window: "),
            (std::vector<std::string>{"page-window: 3 show", "page-window: 2 front"}));
  EXPECT_EQ(LogWith(world, "object: "),
            (std::vector<std::string>{"object: Second|3|5(#x+10)", "object: Main|4|1",
                                      "object: Main|12|2"}));
  EXPECT_EQ(LogWith(world, "appearance: "),
            (std::vector<std::string>{"appearance: 76  44 0 0 0", "appearance: 78  0 0 0 197121",
                                      "appearance: 60  10 -3 0 0", "appearance: 69  0 0 0 0",
                                      "appearance: 59 Title 0 0 0 0"}));
}

TEST(CoreActionsTest, CreatingObjects) {
  ScriptWorld world(ScriptEngine::Mode::kParsed, false);
  EXPECT_EQ(world.Run("40(\"Circle\",\"7\")\r\n40(\"timer\",\"X3\")"), "");
  EXPECT_EQ(LogWith(world, "create: "),
            (std::vector<std::string>{"create: circle 7", "create: timer x3"}));
  EXPECT_EQ(world.Run("40(\"button\",\"7\")"),
            "error: Line #1: Failed creating the component with name \"7\".");
  EXPECT_EQ(world.Run("40(\"video\",\"9\")"),
            "error: Line #1: Failed creating the component with name \"9\".");
}

TEST(CoreActionsTest, IntegerArgumentsOutOfRange) {
  ScriptWorld world(ScriptEngine::Mode::kParsed, false);
  EXPECT_EQ(world.Run("110(3000000000)"),
            "error: Line #1: '3000000000' is not a valid integer value");
  EXPECT_EQ(world.Run("25(0)\r\n110(8080)"), "");
}

TEST(DialogActionsTest, SettingsAndResults) {
  ScriptWorld world(ScriptEngine::Mode::kParsed, false);
  world.values.SetString("_file", "old");
  EXPECT_EQ(world.Run("26(\"Text|*.txt\",\"\",\"[src]\",1)"), "");
  EXPECT_EQ(world.Str("_file"), "");
  EXPECT_EQ(world.Run("27(\"Text|*.txt\",\"\",\"\")\r\n27(\"Pictures|*.bmp|All|*.*\",\"\",\"\")"),
            "");
  EXPECT_EQ(LogWith(world, "dialog: save"),
            (std::vector<std::string>{"dialog: save Text|*.txt ext txt",
                                      "dialog: save Pictures|*.bmp|All|*.* ext bmp"}));
  EXPECT_EQ(world.Run("28(\"Pick\",\"A folder\",\"[src]\",0,1)"), "");
  EXPECT_EQ(world.Str("_file"), "D:\\");
  EXPECT_EQ(world.Run("29(-1,0,0)"), "");
  EXPECT_EQ(world.Str("_color"), "");
  EXPECT_EQ(world.Run("30(\"Tahoma:178:12:FF0000\")"), "");
  EXPECT_EQ(world.Str("_font"), "Tahoma,12,178,N");
  EXPECT_EQ(world.Run("30(\"Tahoma:178:12\")"),
            "error: Line #1: MORVANE Syntax Error: Font syntax is invalid.");
  EXPECT_EQ(world.Run("30(\"Tahoma:x:12:0\")"), "error: Line #1: 'x' is not a valid integer value");
}

TEST(FileActionsTest, CopyMoveRenameDeleteWrite) {
  ScriptWorld world(ScriptEngine::Mode::kParsed, false);
  const std::string& d = world.project;
  EXPECT_EQ(world.Run("41(\"[src]a.txt\",\"one\"+\"two\")"), "");
  EXPECT_EQ(ReadHostFile(d + "/a.txt"), "onetwo");
  EXPECT_EQ(world.Run("32(\"D:\\A.TXT\",\"D:\\b.txt\")\r\n41(\"D:\\c.txt\",\"c\")\r\n"
                      "33(\"D:\\b.txt\",\"D:\\c.txt\")\r\n33(\"D:\\a.txt\",\"D:\\m.txt\")\r\n"
                      "34(\"D:\\c.txt\",\"D:\\r.txt\")\r\n35(\"D:\\b.txt\")\r\n35(\"D:\\\")"),
            "");
  EXPECT_FALSE(std::filesystem::exists(d + "/a.txt"));
  EXPECT_EQ(ReadHostFile(d + "/m.txt"), "onetwo");
  EXPECT_EQ(ReadHostFile(d + "/r.txt"), "c");
  EXPECT_FALSE(std::filesystem::exists(d + "/b.txt"));  // the move onto c.txt did nothing
  // Paths outside the drive table fail like missing files.
  EXPECT_EQ(world.Run("32(\"D:\\m.txt\",\"Q:\\m.txt\")\r\n32(\"\\\\server\\x\",\"D:\\n.txt\")"),
            "");
  EXPECT_FALSE(std::filesystem::exists(d + "/n.txt"));
  EXPECT_EQ(world.Run("41(\"Q:\\x.txt\",\"x\")")
                .rfind("error: Line #1: Cannot create file "
                       "\"Q:\\x.txt\".",
                       0),
            0u);
  EXPECT_EQ(world.Run("41(\"D:\\no\\x.txt\",\"x\")").rfind("error: Line #1: Cannot create file", 0),
            0u);
  // ".." never climbs above a drive's root.
  EXPECT_EQ(world.Run("41(\"D:\\..\\..\\escape.txt\",\"x\")"), "");
  EXPECT_TRUE(std::filesystem::exists(d + "/escape.txt"));
}

TEST(FileActionsTest, SplitAndSearch) {
  ScriptWorld world(ScriptEngine::Mode::kParsed, false);
  EXPECT_EQ(world.Run("121(\"a,b,c\",\",\",$p)\r\n121(\"x,y,\",\",\",$q)\r\n121(\"\",\",\",$r)\r\n"
                      "$s[2]=\"keep\"\r\n121(\"z\",\"\",$s)"),
            "");
  EXPECT_EQ(world.Str("p[1]") + world.Str("p[2]") + world.Str("p[3]"), "abc");
  EXPECT_EQ(world.Str("q[2]"), "y");
  EXPECT_EQ(world.Str("q[3]"), "");
  EXPECT_EQ(world.Str("r[1]"), "");
  EXPECT_EQ(world.Str("s[2]"), "keep");

  const std::string& d = world.project;
  std::filesystem::create_directories(d + "/data/sub");
  WriteHostFile(d + "/data/one.txt", "1");
  WriteHostFile(d + "/data/Two.TXT", "2");
  WriteHostFile(d + "/data/three.doc", "3");
  WriteHostFile(d + "/data/.hidden.txt", "4");
  // Before any search the copy does nothing.
  EXPECT_EQ(world.Run("$found[1]=\"none\"\r\n123($found)"), "");
  EXPECT_EQ(world.Str("found[1]"), "none");
  auto search = [&](const std::string& mask, const std::string& kinds) {
    EXPECT_EQ(world.Run("122(\"" + mask + "\",\"[src]data\",\"" + kinds + "\")"), "");
    std::vector<std::string> names = *world.env->SearchResults();
    std::sort(names.begin(), names.end());
    return names;
  };
  EXPECT_EQ(search("txt", "anyfile"),
            (std::vector<std::string>{".hidden.txt", "Two.TXT", "one.txt"}));
  EXPECT_EQ(search("*.txt", "normalfile"), (std::vector<std::string>{"Two.TXT", "one.txt"}));
  EXPECT_EQ(search("*", "folder"), (std::vector<std::string>{".", "..", "sub"}));
  EXPECT_EQ(search("*.txt", "anyFile hiddenFile"),
            (std::vector<std::string>{".hidden.txt", "Two.TXT", "one.txt"}));
  EXPECT_EQ(search("*.doc", "normalfile"), std::vector<std::string>{"three.doc"});
  EXPECT_EQ(search("*", "anyfile folder").size(), 7u);
  EXPECT_EQ(world.Run("122(\"txt\",\"D:\\missing\",\"anyfile\")\r\n123($found)"), "");
  EXPECT_TRUE(world.env->SearchResults()->empty());
  EXPECT_EQ(world.Run("122(\"one\",\"[src]data\\\",\"anyfile\")\r\n123($found)"), "");
  EXPECT_EQ(world.Str("found[1]"), "one.txt");
}

TEST(FileActionsTest, EmbeddedFilesAndPlayerData) {
  ScriptWorld world(ScriptEngine::Mode::kParsed, false);
  EmbeddedFile first;
  first.path = "C:\\authoring\\Intro.WAV";
  EmbeddedFile second;
  second.path = "..";
  EmbeddedFile third;
  third.path = "D:Notes.txt";
  world.engine->SetEmbeddedFiles({first, second, third});
  // Entry n is the resource "DATAE" + n.
  world.stage.SetResource("DATAE1", "RIFF");
  world.stage.SetResource("DATAE2", "dots");
  world.stage.SetResource("DATAE3", "notes");
  world.stage.SetResource("DAFextra.bin", "extra");
  EXPECT_EQ(world.Run("106(\"intro.wav\",\"[src]out.wav\")\r\n106(\"extra.bin\",\"D:\\e.bin\")\r\n"
                      "106(\"NOTES.TXT\",\"D:\\n.txt\")"),
            "");
  EXPECT_EQ(ReadHostFile(world.project + "/out.wav"), "RIFF");
  EXPECT_EQ(ReadHostFile(world.project + "/n.txt"), "notes");
  EXPECT_EQ(ReadHostFile(world.project + "/e.bin"), "extra");
  EXPECT_EQ(world.Run("106(\"..\",\"D:\\x\")"), "error: Line #1: Embedded file not found.");

  const std::string exe = world.project + "/other.exe";
  WriteHostFile(exe, "MZ image" + TrailerBlock("1abcdef"));
  EXPECT_EQ(world.Run("107(\"D:\\other.exe\",\"XY\")"), "");
  EXPECT_EQ(ReadTrailerFile(exe), std::optional<std::string>("1XYcdef"));
  EXPECT_EQ(world.Run("107(\"D:\\other.exe\",\"long data\")"), "");
  EXPECT_EQ(ReadTrailerFile(exe), std::optional<std::string>("1long data"));
  WriteHostFile(world.project + "/plain.exe", "MZ" + TrailerBlock("xyz"));
  EXPECT_EQ(world.Run("107(\"D:\\plain.exe\",\"a\")"),
            "error: Line #1: This file is not an Morvane executable file.");
  // No trailer, no file: nothing happens.
  WriteHostFile(world.project + "/tiny.exe", "MZ\xff\xff\xff\x7f");
  EXPECT_EQ(world.Run("107(\"D:\\tiny.exe\",\"a\")\r\n107(\"D:\\none.exe\",\"a\")"), "");
  EXPECT_EQ(ReadHostFile(world.project + "/tiny.exe"), "MZ\xff\xff\xff\x7f");
}

TEST(FileActionsTest, OpeningDocumentsAndPrograms) {
  ScriptWorld world(ScriptEngine::Mode::kParsed, false);
  WriteHostFile(world.project + "/readme.txt", "r");
  WriteHostFile(world.project + "/tool.sh", "#!/bin/sh\n");
  std::filesystem::permissions(world.project + "/tool.sh", std::filesystem::perms::owner_all);
  EXPECT_EQ(
      world.Run("21(\"[src]readme.txt\",\"\",1)\r\n21(\"D:\\tool.sh\",\"-a \\qb c\\q; rm x\",1)\r\n"
                "21(\"http://127.0.0.1/x?a=1&b=2\",\"\",1)\r\n21(\"D:\\missing.txt\",\"\",1)"),
      "");
  EXPECT_EQ(LogWith(world, "spawn:"),
            (std::vector<std::string>{"spawn: [xdg-open] [" + world.project + "/readme.txt]",
                                      "spawn: [" + world.project + "/tool.sh] [-a] [b c;] [rm] [x]",
                                      "spawn: [xdg-open] [http://127.0.0.1/x?a=1&b=2]"}));
}

TEST(SettingsActionsTest, Registry) {
  ScriptWorld world;
  EXPECT_EQ(world.Run("53(\"name\",\"text\")"), "error: Line #1: Failed to set data for 'name'");
  EXPECT_EQ(world.Run("49(\"HKEY_CURRENT_USER\")\r\n50(\"Software\\Test\",1)\r\n"
                      "53(\"name\",\"text\")\r\n54(\"count\",2.5)\r\n55(\"third\",1/3)\r\n"
                      "56(\"flag\",0.4)"),
            "");
  RegistryAccessor& registry = world.env->registry();
  registry.CloseKey();
  ASSERT_TRUE(registry.OpenKey("\\Software\\Test", false));
  EXPECT_EQ(registry.ReadString("name"), "text");
  EXPECT_EQ(registry.ReadInteger("count"), 2);
  EXPECT_EQ(FloatToText(registry.ReadFloat("third")), "0.333333333333333");
  EXPECT_FALSE(registry.ReadBool("flag"));
  EXPECT_EQ(world.Run("54(\"big\",3000000000)"),
            "error: Line #1: '3000000000' is not a valid integer value");
  // Opening a missing key without creating it leaves no key open.
  EXPECT_EQ(world.Run("50(\"Software\\Missing\",)\r\n53(\"x\",\"y\")"),
            "error: Line #2: Failed to set data for 'x'");
}

TEST(SettingsActionsTest, IniFiles) {
  ScriptWorld world(ScriptEngine::Mode::kParsed, false);
  // Nothing is bound yet: the writes do nothing.
  EXPECT_EQ(world.Run("103(\"s\",\"k\",\"v\")"), "");
  EXPECT_EQ(world.Run("102(\"[src]settings.ini\")\r\n103(\"Main\",\"name\",\"Ann\")\r\n"
                      "104(\"Main\",\"third\",1/3)\r\n105(\"Main\",\"small\",0.4)\r\n"
                      "105(\"Main\",\"big\",2)\r\n103(\"main\",\"NAME\",\"Bob\")"),
            "");
  const IniFile ini(world.project + "/settings.ini");
  EXPECT_EQ(ini.Read("Main", "name"), std::optional<std::string>("Bob"));
  EXPECT_EQ(ini.Read("Main", "third"), std::optional<std::string>("0.333333333333333"));
  EXPECT_EQ(ini.Read("Main", "small"), std::optional<std::string>("0"));
  EXPECT_EQ(ini.Read("Main", "big"), std::optional<std::string>("1"));
  // A name without a folder lives in the Windows folder.
  EXPECT_EQ(world.Run("102(\"app.ini\")\r\n103(\"a\",\"b\",\"c\")"), "");
  EXPECT_TRUE(std::filesystem::exists(world.scratch.path() + "/c/windows/app.ini"));
  EXPECT_EQ(world.Run("102(\"Q:\\x.ini\")\r\n103(\"a\",\"b\",\"c\")"),
            "error: Line #2: Unable to write to Q:\\x.ini");
}

TEST(SettingsActionsTest, SystemServices) {
  ScriptWorld world(ScriptEngine::Mode::kParsed, false);
  EXPECT_EQ(world.Run("38(\"copied\")\r\n39(\"play [src]a.wav\")\r\n42(\"0429\")\r\n43(16)\r\n"
                      "44(440,10)"),
            "");
  EXPECT_EQ(world.stage.ClipboardText(), "copied");
  EXPECT_EQ(LogWith(world, "mci: "), std::vector<std::string>{"mci: play D:\\a.wav"});
  EXPECT_EQ(LogWith(world, "keyboard: "), std::vector<std::string>{"keyboard: 00000429"});
  EXPECT_EQ(LogWith(world, "tone: "), std::vector<std::string>{"tone: 440 10"});
}

}  // namespace
}  // namespace morvane::testing
