// The real player, headless, on Windows executables built by GNU binutils
// from our project sources: what it takes out of a PE it did not write.

#include "support/binutils_pe.h"
#include "support/player_run.h"

#include "package/package_reader.h"
#include "package/scramble.h"
#include "package/source_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
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

// A written package cut at its separators; the bytes after the last one are
// no record.
std::vector<std::string> Records(const std::string& pdata) {
  std::vector<std::string> records;
  size_t start = 0;
  for (size_t at; (at = pdata.find(kRecordSeparator, start)) != std::string::npos;) {
    records.push_back(pdata.substr(start, at - start));
    start = at + kRecordSeparator.size();
  }
  return records;
}

std::string Joined(const std::vector<std::string>& records) {
  std::string pdata;
  for (const std::string& record : records) pdata += record + std::string(kRecordSeparator);
  return pdata;
}

TEST_F(ExecutableRun, LoadFailureBoxCarriesTheTitleOnceItWasRead) {
  const ResourceList good = Packed("load-failure");
  ASSERT_EQ(good.front().first, "PDATA");
  const LoadResult loaded = ReadPackage(good.front().second);
  ASSERT_TRUE(std::holds_alternative<Project>(loaded));
  const uint8_t key = std::get<Project>(loaded).key;
  const std::vector<std::string> records = Records(good.front().second);
  // Header, page header at 11, page records to 34, the text's header at 35
  // and its records from 36 (38 is its width): each record stands at its slot.
  ASSERT_GT(records.size(), 38u);

  // The package with the record at `slot` replaced.
  const auto broken = [&](size_t slot, const std::string& stored) {
    std::vector<std::string> copy = records;
    copy[slot] = stored;
    return Joined(copy);
  };
  struct Case {
    const char* what;
    std::optional<std::string> pdata;  // nothing: no "PDATA" resource
    const char* caption;
    std::string detail;
  };
  const std::string title = "Broken Caf\u00e9";
  const Case cases[] = {
      {"options too short", broken(2, "short"), title.c_str(), "Detailed Error (2): \\n"},
      {"hint pause no number", broken(3, Scramble("soon", key)), title.c_str(),
       "Detailed Error (3): \\n'soon' is not a valid integer value"},
      {"page width no number", broken(13, Scramble("wide", key)), title.c_str(),
       "Detailed Error (13): \\n'wide' is not a valid integer value"},
      {"object width no number", broken(38, Scramble("wide", key)), title.c_str(),
       "Detailed Error (38): \\n'wide' is not a valid integer value"},
      // Before the title is known the executable's name stands in for it.
      {"no key fits", std::string("no package here"), "game-v2",
       "Detailed Error (0): \\nMorvane doesn't know how to execute this file, recompile your "
       "project."},
      {"zero at offset 7", Scramble("QMC1abc", key) + std::string("\0xyz", 4) + Joined(records),
       "game-v2", "Detailed Error ("},
      {"no package", std::nullopt, "game-v2", "Detailed Error (0): \\nResource PDATA not found"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // One resource besides the package, so that even the image without
    // "PDATA" has a resource section.
    ResourceList resources(good.begin() + 1, good.end());
    resources.emplace_back("DAFreadme.txt", "read me");
    if (c.pdata) resources.insert(resources.begin(), {"PDATA", *c.pdata});
    fs::remove_all(m_dir / "game-v2.exe.build");
    const fs::path exe = Build("game-v2.exe", resources);
    fs::remove(trace());
    EXPECT_EQ(Run(exe.string(), ""), 1);
    const std::vector<std::string> lines = TraceLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find(R"({"event":"message","caption":")" + std::string(c.caption) +
                            R"(","text":"Application could not be intialized)"),
              std::string::npos)
        << lines[0];
    EXPECT_NE(lines[0].find(c.detail), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find(R"("flags":48)"), std::string::npos) << lines[0];
    EXPECT_EQ(lines[1], R"({"event":"exit","code":1})");
  }
}

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
