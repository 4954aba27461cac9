#include "package/native_container.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "package/executable.h"
#include "package/package_writer.h"
#include "package/pe_container.h"
#include "package/pe_writer.h"
#include "platform/trailer.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using Resources = std::vector<std::pair<std::string, std::string>>;

// Stands in for the player binary; it ends in bytes that read as no trailer.
const std::string kPlayer =
    "\x7f" + std::string("ELF\x01\x01\x01\0", 7) + std::string(300, '\x90') + std::string(4, '\0');

const Resources kResources = {
    {"PDATA", std::string("QMC1\0\x01\0\x01\0\x01\0\x01\0\x01", 15)},
    {"BDATAG1", std::string(2000, '\0') + "tail"},
    {"DATAE1", ""},
    {"SQLite3", "library"},
    {"DAFreadme.txt", "read me"},
};

std::string Le(uint64_t value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
  return out;
}

uint32_t Crc32(std::string_view bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (char b : bytes) {
    crc ^= uint8_t(b);
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
  }
  return ~crc;
}

struct ForgedEntry {
  std::string name;
  uint64_t offset, size;
};

// An archive and footer written field by field, with a correct checksum, so
// that every field can be given a value the writer would never produce.
std::string Forge(const std::vector<ForgedEntry>& entries, const std::string& data,
                  uint32_t count_delta = 0, uint32_t version = 1) {
  std::string table;
  for (const ForgedEntry& e : entries) {
    table += Le(e.name.size(), 2) + e.name + Le(e.offset, 8) + Le(e.size, 8);
  }
  const std::string magic("MRVNPAK\xC7", 8);
  const std::string archive = table + data;
  return kPlayer + archive + magic + Le(version, 4) + Le(entries.size() + count_delta, 4) +
         Le(kPlayer.size(), 8) + Le(archive.size(), 8) + Le(table.size(), 4) + Le(Crc32(table), 4) +
         magic;
}

void ExpectAllResources(const Container& container, const Resources& resources) {
  std::vector<std::string> names;
  for (const auto& [name, data] : resources) {
    EXPECT_EQ(container.Resource(name), data) << name;
    names.push_back(name);
  }
  EXPECT_EQ(container.ResourceNames(), names);
}

class NativeFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string name = (fs::temp_directory_path() / "native_test.XXXXXX").string();
    ASSERT_NE(mkdtemp(name.data()), nullptr);
    m_dir = name;
  }
  void TearDown() override { fs::remove_all(m_dir); }

  fs::path WriteFile(const std::string& name, const std::string& bytes) {
    std::ofstream(m_dir / name, std::ios::binary) << bytes;
    return m_dir / name;
  }
  std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path m_dir;
};

TEST(NativeContainer, BytesRoundTrip) {
  const std::string packed = BuildNativeExecutable(kPlayer, kResources, std::string_view("01\r\n"));
  EXPECT_EQ(packed, BuildNativeExecutable(kPlayer, kResources, std::string_view("01\r\n")));
  EXPECT_EQ(packed.substr(0, kPlayer.size()), kPlayer);

  const NativeContainer native(packed);
  ExpectAllResources(native, kResources);
  EXPECT_EQ(native.Resource("daFREADME.TXT"), "read me");
  EXPECT_EQ(native.Resource("DATAE2"), std::nullopt);
  EXPECT_EQ(native.Trailer(), "01\r\n");
  EXPECT_EQ(native.PlayerSize(), kPlayer.size());

  const NativeContainer bare(BuildNativeExecutable(kPlayer, kResources, std::nullopt));
  EXPECT_EQ(bare.Trailer(), std::nullopt);
  EXPECT_TRUE(
      NativeContainer(BuildNativeExecutable(kPlayer, {}, std::nullopt)).ResourceNames().empty());

  EXPECT_THROW(BuildNativeExecutable(kPlayer, {{"PDATA", ""}, {"pData", ""}}, std::nullopt),
               WriteError);
  EXPECT_THROW(BuildNativeExecutable(kPlayer, {{"", ""}}, std::nullopt), WriteError);
}

TEST(NativeContainer, RepackingReplacesTheOldArchive) {
  std::string packed = BuildNativeExecutable(kPlayer, kResources, std::string_view("0"));
  packed += TrailerBlock("0later");
  const Resources fresh = {{"PDATA", "new package"}};
  const std::string repacked = BuildNativeExecutable(packed, fresh, std::nullopt);
  EXPECT_EQ(repacked, BuildNativeExecutable(kPlayer, fresh, std::nullopt));
  ExpectAllResources(NativeContainer(repacked), fresh);
}

TEST_F(NativeFiles, FileWriterKeepsModeAndSurvivesAppendedTrailers) {
  const fs::path player = WriteFile("player", kPlayer);
  ASSERT_EQ(chmod(player.c_str(), 0751), 0);
  const fs::path out = m_dir / "project";
  WriteNativeExecutable(player, kResources, std::string_view("0"), out);
  EXPECT_EQ(ReadFile(out), BuildNativeExecutable(kPlayer, kResources, std::string_view("0")));
  EXPECT_EQ(fs::status(out).permissions() & fs::perms::all, static_cast<fs::perms>(0751));
  EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 2);

  // Later writes of start-up data append block after block; the last one
  // counts, and the archive is still found behind all of them.
  const std::string payloads[] = {"0a", "", std::string("1\0\0\0", 4), "0" + std::string(70, 'z')};
  for (const std::string& payload : payloads) {
    ASSERT_TRUE(AppendTrailerFile(out, payload));
    const std::unique_ptr<NativeContainer> native = NativeContainer::Open(out);
    ExpectAllResources(*native, kResources);
    EXPECT_EQ(native->Trailer(), payload);
    EXPECT_EQ(ReadTrailerFile(out), payload);
  }

  const std::unique_ptr<Container> opened = OpenExecutable(out);
  ASSERT_NE(dynamic_cast<NativeContainer*>(opened.get()), nullptr);
  EXPECT_EQ(opened->Resource("SQLite3"), "library");
}

TEST_F(NativeFiles, FileWriterFailuresLeaveNoOutput) {
  const fs::path out = m_dir / "project";
  EXPECT_THROW(WriteNativeExecutable(m_dir / "missing", kResources, std::nullopt, out), WriteError);
  EXPECT_THROW(WriteNativeExecutable(m_dir, kResources, std::nullopt, out), WriteError);
  const fs::path player = WriteFile("player", kPlayer);
  EXPECT_THROW(WriteNativeExecutable(player, kResources, std::nullopt, m_dir / "no" / "project"),
               WriteError);
  EXPECT_THROW(WriteNativeExecutable(player, {{"a", ""}, {"A", ""}}, std::nullopt, out),
               WriteError);
  EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 1);
}

TEST_F(NativeFiles, OpenExecutableTellsTheKindsApart) {
  const fs::path pe = WriteFile("pe.exe", WritePeExecutable(kResources, std::string_view("0")));
  const std::unique_ptr<Container> windows = OpenExecutable(pe);
  ASSERT_NE(dynamic_cast<PeContainer*>(windows.get()), nullptr);
  for (const auto& [name, data] : kResources) EXPECT_EQ(windows->Resource(name), data) << name;
  EXPECT_EQ(windows->Trailer(), "0");

  for (const fs::path& bad :
       {WriteFile("plain", kPlayer), WriteFile("empty", ""), m_dir / "missing", m_dir}) {
    EXPECT_THROW(OpenExecutable(bad), ContainerError) << bad;
  }
}

TEST(NativeContainer, RejectsMalformedArchives) {
  const std::string good = BuildNativeExecutable(kPlayer, kResources, std::nullopt);
  const size_t footer = good.size() - 48;
  struct Case {
    const char* what;
    std::string bytes;
    const char* message;
  };
  const auto patched = [&good](size_t at, const std::string& bytes) {
    std::string out = good;
    out.replace(at, bytes.size(), bytes);
    return out;
  };
  const std::string data = "0123456789";
  const uint64_t table_end = 2 + 1 + 16;
  const Case cases[] = {
      {"no footer", kPlayer, "neither"},
      {"last byte cut", good.substr(0, good.size() - 1), "neither"},
      {"trailer length reaching before the file", good + Le(good.size() + 5, 4), "neither"},
      {"trailer length 3", good + "abc" + Le(3, 4), "neither"},
      {"table byte changed", patched(kPlayer.size() + 3, "X"), "checksum"},
      {"unknown version", patched(footer + 8, Le(2, 4)), "version"},
      {"archive offset off by one", patched(footer + 16, Le(kPlayer.size() + 1, 8)),
       "does not end at the footer"},
      {"archive larger than the file", patched(footer + 24, Le(uint64_t(1) << 62, 8)),
       "does not end at the footer"},
      {"table larger than the archive", patched(footer + 32, Le(0xFFFFFFF0, 4)),
       "runs past the archive"},
      {"more entries than the table holds", patched(footer + 12, Le(0x7FFFFFFF, 4)),
       "more entries"},
      {"data past the archive", Forge({{"A", table_end, 11}}, data), "outside the archive"},
      {"data inside the table", Forge({{"A", 0, 4}}, data), "outside the archive"},
      {"offset and size overflow", Forge({{"A", table_end, ~uint64_t(0) - 5}}, data),
       "outside the archive"},
      {"offset past the archive", Forge({{"A", 1000, 0}}, data), "outside the archive"},
      {"empty name", Forge({{"", table_end - 1, 1}}, data), "without a name"},
      {"fewer entries than the table", Forge({{"A", table_end, 1}}, data, 1), "more entries"},
      {"more table than entries",
       Forge({{"A", 2 * table_end, 1}, {"B", 2 * table_end, 1}}, data, uint32_t(-1)),
       "more than its entries"},
  };
  for (const Case& c : cases) {
    try {
      const NativeContainer native(c.bytes);
      ADD_FAILURE() << c.what << ": accepted";
    } catch (const ContainerError& error) {
      EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos)
          << c.what << ": " << error.what();
    }
  }
  // The forged layout itself is sound.
  EXPECT_EQ(NativeContainer(Forge({{"A", table_end + 2, 8}}, data)).Resource("a"), "23456789");
}

}  // namespace
}  // namespace morvane
