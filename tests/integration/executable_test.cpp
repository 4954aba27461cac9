// The real player, headless, on Windows executables built by GNU binutils
// from our project sources: what it takes out of a PE it did not write.

#include "support/binutils_pe.h"
#include "support/player_run.h"

#include "package/source_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using namespace morvane;
using namespace morvane::test;

class ExecutableRun : public PlayerRunTest {
 protected:
  void SetUp() override {
    PlayerRunTest::SetUp();
    if (!HaveBinutilsPe()) GTEST_SKIP() << "mingw-w64 binutils not installed";
  }

  // The fixture's resources as morvane-pack packs them, "PDATA" first.
  static ResourceList Packed(const std::string& fixture) {
    return PackedResources(ReadSourceFolder(kPlayerFixtures + "/" + fixture));
  }

  fs::path Build(const std::string& name, const ResourceList& resources) {
    const fs::path exe = m_dir / name;
    EXPECT_TRUE(BuildBinutilsPe(exe, resources, std::string(kDefaultStartupOptions)));
    return exe;
  }
};

TEST_F(ExecutableRun, Action106ExtractsTheEntrysOwnResource) {
  const fs::path exe = Build("extract.exe", Packed("extract"));
  const fs::path vars = m_dir / "vars.json";
  EXPECT_EQ(Run(exe.string(), "--quit-after 1000 --dump-vars " + Quote(vars.string())), 1);
  const fs::path temp = m_dir / "prefix/windows/temp";
  const std::string fixture = kPlayerFixtures + "/extract";
  // Each entry, found in another letter case, gets its own resource; the one
  // after the page's objects too; a name no entry has comes from "DAF" + name.
  EXPECT_EQ(ReadText(temp / "1.out"), ReadText(fixture + "/embedded/1-Alpha.txt"));
  EXPECT_EQ(ReadText(temp / "2.out"), ReadText(fixture + "/embedded/2-BETA.TXT"));
  EXPECT_EQ(ReadText(temp / "3.out"), ReadText(fixture + "/embedded/3-gamma.bin"));
  EXPECT_EQ(ReadText(temp / "4.out"), ReadText(fixture + "/resources/DAFextra.txt"));
  EXPECT_FALSE(fs::exists(temp / "5.out"));
  EXPECT_EQ(
      TraceLines(),
      (std::vector<std::string>{
          R"({"event":"show","page":1})",
          R"({"event":"message","caption":"Morvane Exception","text":"Line #6: Embedded file not found.","flags":16,"result":1})",
          R"({"event":"exit","code":1})"}));
  const std::string dump = ReadText(vars);
  EXPECT_NE(dump.find(R"("done": "1")"), std::string::npos) << dump;
  EXPECT_EQ(dump.find("not_reached"), std::string::npos) << dump;
}

}  // namespace
