// Round trips between packed executables and project sources: a project
// decompiled and packed again gives the same executable byte for byte, and
// a source written and read again gives the same model.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cstdio>
#include <filesystem>
#include <regex>

#include "package/native_container.h"
#include "package/package_reader.h"
#include "package/package_writer.h"
#include "package/pe_container.h"
#include "package/pe_writer.h"
#include "package/scramble.h"
#include "package/source_folder.h"
#include "support/project_generator.h"
#include "unit/package/source_test_support.h"

namespace morvane {
namespace {

using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

// Texts with the bytes that are hard to keep: a byte code page 1252 lacks,
// NUL, DEL, control bytes, line breaks of every kind, YAML syntax.
const std::string kAwkwardTexts[] = {
    std::string("nul\0and\x01", 8),
    "\x81\x8d\x8f\x90\x9d",
    "caf\xe9 \x80 \xff",
    "a\nb\r\nc\rd",
    "- [x]: #y",
    " \t ",
    "\x7f",
    "~",
    "\"quoted\" 'single' \\back\\",
};
// Scripts: LF inside, a byte 1252 lacks, tabs, a trailing break, plain lines.
const std::string kAwkwardScripts[] = {
    "5(\"a\")\n5(\"b\")",
    "\x81\r15(\"x\")",
    "\t#x=1\r\t#y=2\r",
    "15(\"Menu\")",
    "caf\xe9\r9",
    std::string("x\0y", 3),
    "\r\r",
};

// Every field of the object away from its default, whatever its kind.
void FillEveryField(PageObject& o, int n) {
  const auto text = [&](int i) { return kAwkwardTexts[(n + i) % std::size(kAwkwardTexts)]; };
  const auto script = [&](int i) { return kAwkwardScripts[(n + i) % std::size(kAwkwardScripts)]; };
  const auto colour = [&](int i) {
    return Colour{static_cast<uint8_t>(n + i), static_cast<uint8_t>(2 * i), 7};
  };
  o.name = text(0);
  o.records = n % 3;
  for (bool* flag : {&o.visible,
                     &o.enabled,
                     &o.tab_stop,
                     &o.word_wrap,
                     &o.bold,
                     &o.italic,
                     &o.underline,
                     &o.strike_out,
                     &o.right_to_left,
                     &o.transparent,
                     &o.auto_size,
                     &o.color_events,
                     &o.read_only,
                     &o.auto_select,
                     &o.ctl3d,
                     &o.default_button,
                     &o.show_focus_rect,
                     &o.proportional,
                     &o.stretch,
                     &o.center,
                     &o.loop,
                     &o.play_with_page_start,
                     &o.playing,
                     &o.context_menu,
                     &o.drop_target,
                     &o.offline,
                     &o.selectable,
                     &o.borders_3d,
                     &o.scroll_bars,
                     &o.sorted,
                     &o.multi_select,
                     &o.shape_option,
                     &o.pen_inverted,
                     &o.has_points})
    *flag = !*flag;
  int i = 0;
  for (int* digit : {&o.layout, &o.alignment, &o.char_case, &o.inner_bevel, &o.outer_bevel,
                     &o.bevel_kind, &o.border, &o.validation, &o.enabled_digit})
    *digit = 5 + (i++ % 3);
  for (uint8_t* byte :
       {&o.password_char, &o.brush_style, &o.pen_style, &o.shape_kind, &o.quality, &o.scale_mode})
    *byte = static_cast<uint8_t>(200 + i++);
  for (int32_t* number :
       {&o.volume, &o.left, &o.top, &o.charset, &o.font_size, &o.cursor, &o.max_length,
        &o.tab_order, &o.columns, &o.interval, &o.loops, &o.delay, &o.speed, &o.frame})
    *number = -1000 * n - i++;
  o.width = std::nullopt;
  o.height = 2147483647;
  for (Colour* c : {&o.font_colour, &o.background_colour, &o.hover_colour, &o.click_colour,
                    &o.hover_font_colour, &o.enter_colour, &o.enter_font_colour, &o.sel_colour,
                    &o.sel_font_colour, &o.transparent_colour, &o.brush_colour, &o.pen_colour})
    *c = colour(i++);
  for (std::string* t : {&o.hint, &o.caption, &o.font_name, &o.items, &o.picture_name, &o.file,
                         &o.ignored_36, &o.ignored_37, &o.still_record})
    *t = text(i++);
  o.points = {{-1, 2}, {2147483647, -2147483647 - 1}};
  for (Script* s : {&o.evntMDown, &o.evntMUp, &o.evntMEnter, &o.evntMLeave, &o.evntCH, &o.evntdbl,
                    &o.evntTimer, &o.evntStart, &o.evntFinish, &o.evntFS, &o.evntFC, &o.evntBN,
                    &o.evntAN, &o.evntNW, &o.evntPC, &o.evntSC, &o.evntTC, &o.evntAC})
    *s = script(i++);
}

// A project with every field of the model away from its default.
Project EveryFieldProject(uint32_t seed) {
  Project p = testing::ProjectGenerator(seed).Generate(2, kObjectKindCount);
  p.header_records = 7;
  p.title = kAwkwardTexts[0];
  p.display_flags = kAwkwardTexts[1];
  p.signature = kAwkwardTexts[2];
  p.lan_message_pad = "";
  p.on_error = kAwkwardScripts[0];
  p.help = kAwkwardScripts[1];
  p.threads.present = false;
  p.threads.after_page = 1;
  p.embedded_files.push_back({kAwkwardTexts[3], 2});
  p.cursors.push_back({kAwkwardTexts[4], 1});
  p.databases.push_back({kAwkwardTexts[5], kAwkwardTexts[6], 2});
  p.functions.push_back({kAwkwardTexts[7], kAwkwardTexts[8], -3, kAwkwardScripts[2], 1});
  int n = 0;
  for (Page& page : p.pages) {
    page.records = 17;
    page.name = kAwkwardTexts[n % std::size(kAwkwardTexts)];
    page.options.unread_tail = kAwkwardTexts[(n + 1) % std::size(kAwkwardTexts)];
    page.on_wheel = kAwkwardScripts[n % std::size(kAwkwardScripts)];
    for (PageObject& o : page.objects) FillEveryField(o, ++n);
  }
  NumberImagePictures(p);
  return p;
}

TEST(SourceRoundTrip, EveryFieldSurvivesTheSourceInAnyCodePage) {
  for (int code_page : {1252, 1251, 932}) {
    ProjectSource source;
    source.project = EveryFieldProject(static_cast<uint32_t>(code_page));
    source.code_page = code_page;
    source.startup_options = kAwkwardTexts[0];
    const SourceFiles files = SourceFolderFiles(source);
    const ProjectSource back = SourceFromFiles(files);
    EXPECT_EQ(back.project, source.project) << files.at("project.yaml");
    EXPECT_EQ(back.startup_options, source.startup_options);
    EXPECT_EQ(back.code_page, code_page);
    // The source of a source is the same files.
    EXPECT_EQ(SourceFolderFiles(back), files);
  }
}

// A small stand-in for the player binary that native executables copy.
const std::string kPlayer =
    "\x7f"
    "ELF stand-in player binary";

ProjectSource GeneratedSource(uint32_t seed) {
  Project generated = testing::ProjectGenerator(seed).Generate(3, 2 * kObjectKindCount);
  // Awkward bytes wherever the package keeps texts and scripts as they are.
  int n = 0;
  for (Page& page : generated.pages) {
    for (PageObject& o : page.objects) {
      if (!o.caption.empty()) o.caption = kAwkwardTexts[n++ % std::size(kAwkwardTexts)];
      if (!o.evntMDown.empty()) o.evntMDown = kAwkwardScripts[n++ % std::size(kAwkwardScripts)];
    }
  }
  const LoadResult loaded = ReadPackage(WritePackageChoosingKey(generated));
  EXPECT_TRUE(std::holds_alternative<Project>(loaded));
  ProjectSource source;
  source.project = std::get<Project>(loaded);
  source.startup_options = seed % 2 ? "01\r\n" : "0\r\n";
  // In the order of their names ignoring case, as sources keep them.
  source.resources = {{"BDATAG1", "\x89PNG\r\n\x1a\nbackground"},
                      {"BDATAG3", "\xff\xd8\xff jpeg"},
                      {"DAFpeople", "daf"},
                      {"DATAE1", "RIFF wav"},
                      {"DATAE2", "cursor"},
                      {"IDATA1", "GIF89a"},
                      {"IDATA2", "BM bitmap"},
                      {"odd/name", "odd"},
                      {"SQLite3", "MZ library"}};
  return source;
}

ProjectSource Decompiled(const Container& container) {
  std::variant<ProjectSource, LoadError> source = SourceFromContainer(container);
  EXPECT_TRUE(std::holds_alternative<ProjectSource>(source));
  // Through the files an author would get.
  return SourceFromFiles(SourceFolderFiles(std::get<ProjectSource>(source)));
}

TEST(SourceRoundTrip, DecompiledExecutablesPackToTheSameBytes) {
  for (uint32_t seed = 1; seed <= 4; ++seed) {
    const ProjectSource source = GeneratedSource(seed);
    const std::string native =
        BuildNativeExecutable(kPlayer, PackedResources(source), source.startup_options);
    const std::string pe = WritePeExecutable(PackedResources(source), source.startup_options);

    const ProjectSource from_native = Decompiled(NativeContainer(native));
    EXPECT_EQ(from_native.project, source.project);
    EXPECT_EQ(from_native.resources, source.resources);
    EXPECT_EQ(
        BuildNativeExecutable(kPlayer, PackedResources(from_native), from_native.startup_options),
        native)
        << "seed " << seed;

    const ProjectSource from_pe = Decompiled(PeContainer(pe));
    EXPECT_EQ(from_pe.project, source.project);
    EXPECT_EQ(WritePeExecutable(PackedResources(from_pe), from_pe.startup_options), pe)
        << "seed " << seed;
  }
}

TEST(SourceRoundTrip, PackagesOfOtherWritersLoadToTheSameModel) {
  const ProjectSource source = GeneratedSource(9);
  std::string pdata = WritePackage(source.project);
  // Separators with the other bytes the reader accepts, and bytes after the
  // last separator: what another writer may produce.
  const uint8_t odd_bytes[] = {0x0A, 0x64, 0x13, 0xC7, 0x01};
  size_t at = 0, count = 0;
  while ((at = pdata.find(kRecordSeparator, at)) != std::string::npos) {
    for (size_t i = 1; i < 10; i += 2)
      pdata[at + i] = static_cast<char>(odd_bytes[(count + i / 2) % std::size(odd_bytes)]);
    at += 10;
    ++count;
  }
  pdata += "trailing bytes of no record";
  ASSERT_NE(pdata, WritePackage(source.project));

  ResourceList resources = source.resources;
  resources.insert(resources.begin(), {"PDATA", pdata});
  const NativeContainer foreign(BuildNativeExecutable(kPlayer, resources, std::nullopt));
  const ProjectSource decompiled = Decompiled(foreign);
  EXPECT_EQ(decompiled.startup_options, std::nullopt);
  const LoadResult repacked = ReadPackage(PackedResources(decompiled)[0].second);
  ASSERT_TRUE(std::holds_alternative<Project>(repacked));
  EXPECT_EQ(std::get<Project>(repacked), source.project);
}

const std::string kDemo = MORVANE_SOURCE_DIR "/examples/demo";

TEST(SourceRoundTrip, DemoProjectLoadsAndRepacksToTheSameBytes) {
  const ProjectSource demo = ReadSourceFolder(kDemo);
  const Project& p = demo.project;
  ASSERT_EQ(p.pages.size(), 7u);
  EXPECT_EQ(p.pages[0].name, "Menu");
  std::vector<std::string> names;
  for (const auto& resource : demo.resources) names.push_back(resource.first);
  // The sound and video page's media travel as embedded files 2 to 4, the web
  // page's as 6 and 7; the build adds the plug-in as 5.
  EXPECT_EQ(names, (std::vector<std::string>{"BDATAG1", "DATAE1", "DATAE2", "DATAE3", "DATAE4",
                                             "DATAE6", "DATAE7", "IDATA1", "IDATA2"}));

  // Every page that a script goes to exists (an object action's ".15(" is a colour).
  const std::regex go_to(R"re((^|[^.\w])15\("([^"]*)"\))re");
  const SourceFiles files = SourceFolderFiles(demo);
  for (const auto& [path, text] : files) {
    for (std::sregex_iterator it(text.begin(), text.end(), go_to), end; it != end; ++it) {
      const std::string target = (*it)[2];
      EXPECT_TRUE(std::any_of(p.pages.begin(), p.pages.end(),
                              [&](const Page& page) { return page.name == target; }))
          << path << " goes to a page named " << target;
    }
  }

  const std::string native =
      BuildNativeExecutable(kPlayer, PackedResources(demo), demo.startup_options);
  const ProjectSource back = Decompiled(NativeContainer(native));
  EXPECT_EQ(back.project, demo.project);
  EXPECT_EQ(BuildNativeExecutable(kPlayer, PackedResources(back), back.startup_options), native);
}

// --- the command-line tools, when they are built beside the tests

struct ToolRun {
  int status;
  std::string out;
};

ToolRun RunTool(const std::string& command) {
  ToolRun run{-1, ""};
  FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

// Each argument in single quotes, for the shell that popen runs.
std::string Command(const std::string& program, std::initializer_list<std::string> args) {
  std::string command = "'" + program + "'";
  for (const std::string& arg : args) {
    command += " '";
    for (char c : arg) command += c == '\'' ? std::string("'\\''") : std::string(1, c);
    command += "'";
  }
  return command;
}

class ToolsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"morvane-pack", "morvane-inspect"}) {
      if (!std::filesystem::exists(m_bin + "/" + tool))
        GTEST_SKIP() << tool << " is not built in " << m_bin;
    }
  }
  std::string Pack(std::initializer_list<std::string> args) {
    return Command(m_bin + "/morvane-pack", args);
  }
  std::string Inspect(std::initializer_list<std::string> args) {
    return Command(m_bin + "/morvane-inspect", args);
  }

  std::string m_bin = MORVANE_BINARY_DIR;
  TempFolder m_temp;
};

TEST_F(ToolsTest, PackDecompilePackGivesIdenticalExecutables) {
  const std::string player = m_bin + "/morvane-inspect";
  ASSERT_EQ(RunTool(Pack({kDemo, "-o", m_temp / "demo", "--player", player})).status, 0);
  ASSERT_EQ(RunTool(Pack({kDemo, "-o", m_temp / "demo.exe", "--pe"})).status, 0);
  ASSERT_EQ(RunTool(Inspect({m_temp / "demo", "--decompile", m_temp / "src"})).status, 0);
  ASSERT_EQ(RunTool(Inspect({m_temp / "demo.exe", "--decompile", m_temp / "src-pe"})).status, 0);
  ASSERT_EQ(RunTool(Pack({m_temp / "src", "-o", m_temp / "again", "--player", player})).status, 0);
  ASSERT_EQ(RunTool(Pack({m_temp / "src-pe", "-o", m_temp / "again.exe", "--pe"})).status, 0);
  EXPECT_EQ(ReadBytes(m_temp / "again"), ReadBytes(m_temp / "demo"));
  EXPECT_EQ(ReadBytes(m_temp / "again.exe"), ReadBytes(m_temp / "demo.exe"));

  // A project packed onto morvane-inspect shows its own summary when run.
  const ToolRun self = RunTool(Command(m_temp / "demo", {}));
  EXPECT_EQ(self.status, 0);
  EXPECT_NE(self.out.find("Title:            \"Morvane Demo\""), std::string::npos) << self.out;
  EXPECT_NE(self.out.find("  2  \"Showcase\"  640 x 480, "), std::string::npos)
      << self.out;
  EXPECT_EQ(RunTool(Inspect({kDemo})).out, self.out);
}

TEST_F(ToolsTest, AProjectThatFailsToLoadIsReportedAsThePlayerDoes) {
  WriteBytes(m_temp / "broken.exe", WritePeExecutable({{"PDATA", "not a package"}}, "0\r\n"));
  const ToolRun run = RunTool(Inspect({m_temp / "broken.exe"}));
  EXPECT_EQ(run.status, 1);
  const LoadResult loaded = ReadPackage("not a package");
  ASSERT_TRUE(std::holds_alternative<LoadError>(loaded));
  EXPECT_EQ(run.out, InitialisationFailureText(std::get<LoadError>(loaded)) + "\n");
  EXPECT_EQ(RunTool(Inspect({m_temp / "broken.exe", "--decompile", m_temp / "x"})).status, 1);
  EXPECT_FALSE(std::filesystem::exists(m_temp / "x"));
  EXPECT_EQ(RunTool(Pack({m_temp / "broken.exe", "-o", m_temp / "out"})).status, 1);
  EXPECT_FALSE(std::filesystem::exists(m_temp / "out"));
}

TEST_F(ToolsTest, ArgumentsAreChecked) {
  struct Case {
    std::string command;
    int status;
  };
  const Case cases[] = {
      {Pack({"--help"}), 0},
      {Inspect({"--help"}), 0},
      {Pack({kDemo}), 2},                                      // no output
      {Pack({kDemo, "-o", "x", "--pe", "--player", "y"}), 2},  // --player is for native output
      {Pack({kDemo, "-o", m_temp / "o", "--bogus"}), 2},
      {Inspect({"a", "b"}), 2},
      {Inspect({m_temp / "missing"}), 1},
      {Pack({m_temp / "missing", "-o", m_temp / "o"}), 1},
      {Inspect({kDemo, "--decompile", kDemo}), 1},  // the folder is not empty
  };
  for (const Case& c : cases) EXPECT_EQ(RunTool(c.command).status, c.status) << c.command;
  EXPECT_NE(RunTool(Pack({"--help"})).out.find("Usage: morvane-pack SRC -o OUT"),
            std::string::npos);
}

}  // namespace
}  // namespace morvane
