#include "package/project_probe.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>

#include "package/native_container.h"
#include "package/pe_writer.h"
#include "unit/package/source_test_support.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using testing::WriteBytes;

// A Linux binary in front; it ends in bytes that read as no trailer.
const std::string kElf =
    "\x7f" + std::string("ELF\x02\x01\x01\0", 7) + std::string(300, '\x90') + std::string(4, '\0');

TEST(ProjectProbe, TellsProjectsFromFilesAndFoldersThatHoldNone) {
  testing::TempFolder temp;
  const std::string demo = MORVANE_SOURCE_DIR "/examples/demo";
  struct Case {
    const char* what;
    std::function<std::string()> make;  // the path to probe
    ProjectKind kind;
    bool demo = false;
  };
  const Case cases[] = {
      {"a source folder", [&] { return demo; }, ProjectKind::kProject},
      {"a folder without project.yaml",
       [&] {
         fs::create_directories(temp / "photos");
         return temp / "photos";
       },
       ProjectKind::kNoProject},
      {"a Linux program",
       [&] {
         WriteBytes(temp / "ls", kElf);
         return temp / "ls";
       },
       ProjectKind::kNoProject},
      {"a Windows program without resources",
       [&] {
         WriteBytes(temp / "setup.exe", WritePeExecutable({}, std::nullopt));
         return temp / "setup.exe";
       },
       ProjectKind::kNoProject},
      {"a Windows program with resources of its own",
       [&] {
         WriteBytes(temp / "tool.exe", WritePeExecutable({{"ICONDATA", "icon"}}, std::nullopt));
         return temp / "tool.exe";
       },
       ProjectKind::kNoProject},
      // Without its package but with a project's resources it is a damaged
      // project, which the load failure reports.
      {"a project without its package",
       [&] {
         WriteBytes(temp / "damaged.exe",
                    WritePeExecutable({{"DAFreadme.txt", "read me"}}, std::nullopt));
         return temp / "damaged.exe";
       },
       ProjectKind::kProject},
      {"a packed project",
       [&] {
         WriteBytes(temp / "packed", BuildNativeExecutable(kElf, {{"PDATA", "QMC"}}, std::nullopt));
         return temp / "packed";
       },
       ProjectKind::kProject},
      {"the demo",
       [&] {
         WriteBytes(temp / "player", BuildNativeExecutable(kElf,
                                                           {{"PDATA", "QMC"},
                                                            {std::string(kDemoMarkerResource), ""}},
                                                           std::nullopt));
         return temp / "player";
       },
       ProjectKind::kProject, true},
      {"a packed executable whose archive is damaged",
       [&] {
         std::string bytes = BuildNativeExecutable(kElf, {{"PDATA", "QMC"}}, std::nullopt);
         bytes[bytes.size() - 12] ^= 0x55;  // the table checksum in the footer
         WriteBytes(temp / "cut", bytes);
         return temp / "cut";
       },
       ProjectKind::kUnreadable},
      {"a damaged Windows executable",
       [&] {
         WriteBytes(temp / "short.exe", "MZ and then nothing");
         return temp / "short.exe";
       },
       ProjectKind::kUnreadable},
      {"a text file",
       [&] {
         WriteBytes(temp / "notes.exe", "not an executable");
         return temp / "notes.exe";
       },
       ProjectKind::kUnreadable},
      {"a missing file", [&] { return temp / "gone.exe"; }, ProjectKind::kUnreadable},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const ProbedProject probed = ProbeProject(c.make());
    EXPECT_EQ(probed.kind, c.kind);
    EXPECT_EQ(probed.demo, c.demo);
    EXPECT_EQ(probed.container != nullptr, c.kind == ProjectKind::kProject);
    EXPECT_EQ(probed.error.empty(), c.kind != ProjectKind::kUnreadable) << probed.error;
  }
}

TEST(ProjectProbe, TheBoxNamesTheFileOrFolder) {
  EXPECT_EQ(NotAProjectText("/media/cdrom/setup.exe"), "setup.exe is not a Morvane project");
  EXPECT_EQ(NotAProjectText("/home/me/photos/"), "photos is not a Morvane project");
  EXPECT_EQ(NotAProjectText("game"), "game is not a Morvane project");
}

}  // namespace
}  // namespace morvane
