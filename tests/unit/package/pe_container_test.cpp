#include "package/pe_container.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "package/executable.h"
#include "package/package_reader.h"
#include "package/package_writer.h"
#include "package/pe_writer.h"
#include "platform/trailer.h"
#include "support/binutils_pe.h"
#include "support/project_generator.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using Resources = std::vector<std::pair<std::string, std::string>>;

// Bytes of every value, zeros and separator-like runs included.
std::string BinaryBytes(size_t size, uint32_t seed) {
  std::string out(size, '\0');
  for (size_t i = 0; i < size; ++i) {
    seed = seed * 1103515245u + 12345u;
    out[i] = static_cast<char>(i % 7 == 0 ? 0 : seed >> 16);
  }
  return out;
}

bool HaveTool(const std::string& tool) {
  return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

std::string RunOutput(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
    pclose(pipe);
  }
  return out;
}

void Put32(std::string& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

void Put16(std::string& bytes, size_t at, uint16_t value) {
  bytes[at] = static_cast<char>(value);
  bytes[at + 1] = static_cast<char>(value >> 8);
}

class PeFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string name = (fs::temp_directory_path() / "pe_test.XXXXXX").string();
    ASSERT_NE(mkdtemp(name.data()), nullptr);
    m_dir = name;
  }
  void TearDown() override { fs::remove_all(m_dir); }

  void WriteFile(const std::string& name, const std::string& bytes) {
    std::ofstream(m_dir / name, std::ios::binary) << bytes;
  }

  fs::path m_dir;
};

// A DLL built by GNU binutils from a resource script: a PE written by a tool
// independent of ours, laid out the way Windows linkers lay it out.
TEST_F(PeFiles, ReadsResourcesOfABinutilsBuiltImage) {
  if (!test::HaveBinutilsPe()) GTEST_SKIP() << "mingw binutils not installed";
  Project project = testing::ProjectGenerator(5).Generate(2, kObjectKindCount);
  const Resources resources = {
      {"PDATA", WritePackageChoosingKey(project)},
      {"BDATAG1", BinaryBytes(5000, 1)},
      {"DATAE1", "embedded text file\r\n"},
      {"SQLite3", BinaryBytes(333, 2)},
      {"DAFreadme.txt", "read me"},
  };
  const fs::path dll = m_dir / "res.dll";
  ASSERT_TRUE(test::BuildBinutilsPe(dll, resources, std::nullopt));
  ASSERT_TRUE(AppendTrailerFile(dll, "0\r\n"));
  ASSERT_TRUE(AppendTrailerFile(dll, "x1\r\nmore"));

  const std::unique_ptr<PeContainer> pe = PeContainer::Open(dll);
  for (const auto& [name, data] : resources) {
    EXPECT_EQ(pe->Resource(name), data) << name;
  }
  // The resource compiler stores names in upper case; lookups ignore case.
  EXPECT_EQ(pe->Resource("daFREADME.TXT"), "read me");
  EXPECT_EQ(pe->ResourceNames().size(), resources.size());
  EXPECT_EQ(pe->Resource("DATAE2"), std::nullopt);
  EXPECT_EQ(pe->Trailer(), "x1\r\nmore");
  // The project in it loads.
  const LoadResult loaded = LoadProject(*pe);
  ASSERT_TRUE(std::holds_alternative<Project>(loaded));
  EXPECT_EQ(std::get<Project>(loaded), project);

  const std::unique_ptr<Container> opened = OpenExecutable(dll);
  ASSERT_NE(dynamic_cast<PeContainer*>(opened.get()), nullptr);
  EXPECT_EQ(opened->Resource("BDATAG1"), resources[1].second);
}

TEST_F(PeFiles, WriterOutputReadsBack) {
  const Resources resources = {
      {"PDATA", std::string("QMC\0x", 5)},
      {"IDATA3", BinaryBytes(100000, 3)},
      {"DATAE1", ""},
      {"#7", "numbered"},
      {"DAFnaïve €.txt", "non-ASCII name"},
      {"bdatag1", "lower-case name kept"},
  };
  const std::string exe = WritePeExecutable(resources, std::string_view("0\r\n1"));
  EXPECT_EQ(exe, WritePeExecutable(resources, std::string_view("0\r\n1")));

  const PeContainer pe(exe);
  for (const auto& [name, data] : resources) EXPECT_EQ(pe.Resource(name), data) << name;
  EXPECT_EQ(pe.Resource("BDATAG1"), "lower-case name kept");
  std::vector<std::string> names = pe.ResourceNames(), expected;
  for (const auto& resource : resources) expected.push_back(resource.first);
  std::sort(names.begin(), names.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected);
  EXPECT_EQ(pe.Trailer(), "0\r\n1");

  const PeContainer bare(WritePeExecutable(resources, std::nullopt));
  EXPECT_EQ(bare.Trailer(), std::nullopt);
  EXPECT_EQ(bare.Resource("IDATA3"), resources[1].second);
  EXPECT_TRUE(PeContainer(WritePeExecutable({}, std::nullopt)).ResourceNames().empty());

  if (HaveTool("wrestool")) {
    WriteFile("ours.exe", exe);
    const std::string listing = RunOutput("wrestool -l '" + (m_dir / "ours.exe").string() + "'");
    for (const std::string name : {"PDATA", "IDATA3", "DATAE1", "bdatag1"}) {
      EXPECT_NE(listing.find("--name='" + name + "'"), std::string::npos) << listing;
    }
    EXPECT_NE(listing.find("--name=7"), std::string::npos) << listing;
    std::istringstream lines(listing);
    std::string line;
    int rcdata = 0;
    while (std::getline(lines, line)) rcdata += line.find("--type=10") == 0;
    EXPECT_EQ(rcdata, 6) << listing;
  }
}

TEST(PeWriter, RejectsNamesItCannotStore) {
  EXPECT_THROW(WritePeExecutable({{"PDATA", "a"}, {"pdata", "b"}}, std::nullopt), WriteError);
  EXPECT_THROW(WritePeExecutable({{"", "a"}}, std::nullopt), WriteError);
  EXPECT_THROW(WritePeExecutable({{"DAF\xE9t\xE9", "a"}}, std::nullopt), WriteError);
}

// Offsets in the writer's image of a single resource: the optional header
// at 0x98, the .rsrc section at file offset 0x400 and RVA 0x2000.
constexpr size_t kOptional = 0x98;
constexpr size_t kResourceDirectoryEntry = kOptional + 96 + 16;
constexpr size_t kRsrc = 0x400;
constexpr size_t kRootEntry = kRsrc + 16;
constexpr size_t kNameDirectory = kRsrc + 24;
constexpr size_t kNameEntry = kRsrc + 40;
constexpr size_t kLanguageEntry = kRsrc + 64;
constexpr size_t kDataEntry = kRsrc + 72;
constexpr size_t kNameString = kRsrc + 88;

TEST(PeReader, RejectsMalformedImages) {
  const std::string good = WritePeExecutable({{"PDATA", "package bytes"}}, std::nullopt);
  ASSERT_EQ(PeContainer(good).Resource("PDATA"), "package bytes");

  struct Case {
    const char* what;
    std::function<void(std::string&)> damage;
    const char* message;
  };
  const Case cases[] = {
      {"empty", [](std::string& b) { b.clear(); }, "no MZ"},
      {"no MZ", [](std::string& b) { b[1] = 'X'; }, "no MZ"},
      {"cut in the DOS header", [](std::string& b) { b.resize(0x30); }, "DOS header"},
      {"PE offset past the end", [](std::string& b) { Put32(b, 0x3C, 0xFFFFFFF0); },
       "PE signature"},
      {"cut in the optional header", [](std::string& b) { b.resize(kOptional + 50); },
       "optional header"},
      {"optional header too short", [](std::string& b) { Put16(b, 0x84 + 16, 60); },
       "optional header"},
      {"unknown optional header", [](std::string& b) { Put16(b, kOptional, 0x107); },
       "optional header"},
      {"section table past the end", [](std::string& b) { Put16(b, 0x84 + 2, 0xFFFF); },
       "section table"},
      {"resource RVA in no section",
       [](std::string& b) { Put32(b, kResourceDirectoryEntry, 0x7FFFFF00); }, "outside"},
      {"name directory past its section",
       [](std::string& b) { Put32(b, kRootEntry + 4, 0x80000000 | 0x1F8); }, "runs past"},
      {"entry counts beyond the bytes present",
       [](std::string& b) {
         Put16(b, kNameDirectory + 12, 0xFFFF);
         Put16(b, kNameDirectory + 14, 0xFFFF);
       },
       "runs past"},
      // The language entry points back at the root: directories that loop.
      {"looping directories", [](std::string& b) { Put32(b, kLanguageEntry + 4, 0x80000000); },
       "deeper than three levels"},
      {"name entry without languages", [](std::string& b) { Put32(b, kNameEntry + 4, 48); },
       "no language directory"},
      {"RCDATA entry without names", [](std::string& b) { Put32(b, kRootEntry + 4, 24); },
       "no name directory"},
      {"huge resource size", [](std::string& b) { Put32(b, kDataEntry + 4, 0xFFFFFFFF); },
       "runs past"},
      {"resource RVA past the image", [](std::string& b) { Put32(b, kDataEntry, 0xFFFFFFF0); },
       "outside"},
      {"resource in the zero fill",
       [](std::string& b) {
         Put32(b, 0x178 + 40 + 8, 0x10000);  // virtual size far beyond the raw data
         Put32(b, kDataEntry, 0x2000 + 0x300);
       },
       "outside"},
      {"resource cut off by the file end", [](std::string& b) { b.resize(kRsrc + 110); },
       "runs past"},
      {"huge name length", [](std::string& b) { Put16(b, kNameString, 0xFFFF); }, "runs past"},
  };
  for (const Case& c : cases) {
    std::string bytes = good;
    c.damage(bytes);
    try {
      const PeContainer pe(bytes);
      ADD_FAILURE() << c.what << ": accepted";
    } catch (const ContainerError& error) {
      EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos)
          << c.what << ": " << error.what();
    }
  }
}

// Entries may share a name string. Many entries sharing one long name would
// make a small file decode far more text than it holds.
TEST(PeReader, BoundsNameWorkByTheFileSize) {
  Resources resources = {{std::string(3000, 'L'), ""}};
  for (int i = 1; i < 300; ++i) resources.emplace_back("A" + std::to_string(i), "");
  std::string bytes = WritePeExecutable(resources, std::nullopt);
  ASSERT_EQ(PeContainer(bytes).ResourceNames().size(), 300u);
  const size_t entries = kRsrc + 24 + 16;
  const std::string long_name = bytes.substr(entries + 8 * 299, 4);  // named entries sort by name
  for (int i = 0; i < 299; ++i) bytes.replace(entries + 8 * i, 4, long_name);
  EXPECT_THROW(PeContainer{bytes}, ContainerError);
}

TEST(PeReader, AcceptsUnusualButSoundLayouts) {
  const std::string good =
      WritePeExecutable({{"PDATA", "first"}, {"DATAE1", "second"}}, std::nullopt);

  std::string no_resources = good;
  Put32(no_resources, kResourceDirectoryEntry, 0);
  EXPECT_TRUE(PeContainer(no_resources).ResourceNames().empty());

  std::string few_directories = good;
  Put32(few_directories, kOptional + 92, 2);
  EXPECT_TRUE(PeContainer(few_directories).ResourceNames().empty());

  // The same image with a PE32+ optional header: directories start 16 bytes
  // later, and three of them are enough to reach the resources.
  std::string plus = good;
  Put16(plus, kOptional, 0x20B);
  Put32(plus, kOptional + 108, 3);
  Put32(plus, kOptional + 112 + 16, 0x2000);
  Put32(plus, kOptional + 112 + 20, 0x200);
  const PeContainer pe32plus(plus);
  EXPECT_EQ(pe32plus.Resource("pdata"), "first");
  EXPECT_EQ(pe32plus.Resource("datae1"), "second");

  // A name twice in the directory: the first entry wins, the second is not listed.
  std::string twice = good;
  const size_t entries = kRsrc + 24 + 16;
  twice.replace(entries + 8, 4, twice.substr(entries, 4));
  const PeContainer duplicate(twice);
  EXPECT_EQ(duplicate.ResourceNames().size(), 1u);
}

}  // namespace
}  // namespace morvane
