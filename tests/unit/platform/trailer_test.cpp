#include "platform/trailer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

namespace morvane {
namespace {

namespace fs = std::filesystem;

std::string Le32(uint32_t value) {
  std::string out;
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(value >> shift));
  return out;
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class TrailerFile : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string name = (fs::temp_directory_path() / "trailer_test.XXXXXX").string();
    ASSERT_NE(mkdtemp(name.data()), nullptr);
    m_dir = name;
  }
  void TearDown() override { fs::remove_all(m_dir); }
  fs::path m_dir;
};

TEST(TrailerBlock, ReadsTheLastValidBlock) {
  struct Case {
    const char* what;
    std::string bytes;
    std::optional<std::string> payload;
  };
  const Case cases[] = {
      {"empty file", "", std::nullopt},
      {"shorter than a length", "\x05\x00\x00", std::nullopt},
      {"empty payload", Le32(4), ""},
      {"payload", "image" + std::string("abc") + Le32(7), "abc"},
      {"block is the whole file", "xy" + Le32(6), "xy"},
      {"block longer than the file", "xy" + Le32(7), std::nullopt},
      // A length below 4 would put the block's start after its own length.
      {"length 3", "abc" + Le32(3), std::nullopt},
      {"length 0", "abc" + Le32(0), std::nullopt},
      {"negative length", "abc" + Le32(0xFFFFFFFF), std::nullopt},
      {"length with the sign bit", "abc" + Le32(0x80000007), std::nullopt},
      {"two blocks: the last", "one" + Le32(7) + "two!" + Le32(8), "two!"},
      {"zero bytes kept", std::string("\0a\0", 3) + Le32(7), std::string("\0a\0", 3)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadTrailerBlock(c.bytes), c.payload) << c.what;
  }
  EXPECT_EQ(TrailerBlock("abc"), "abc" + Le32(7));
}

TEST(TrailerBlock, StartupOptionsDropTheFirstByte) {
  struct Case {
    std::string payload;
    std::vector<std::string> lines;
    bool loading_window;
  };
  const Case cases[] = {
      {"", {}, false},
      {"1", {}, false},
      {"0\r\n", {""}, false},
      {"1\r\n", {""}, false},
      {"01\r\n", {"1"}, true},
      {"x1", {"1"}, true},
      {"x10\r\n1", {"10", "1"}, false},
      {"x 1", {" 1"}, false},
      {"xa\rb\nc\r\nd", {"a", "b", "c", "d"}, false},
      {"x1\n\n", {"1", ""}, true},
      {"x\r\r\n", {"", ""}, false},
      {"x\n\r", {"", ""}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StartupOptionLines(c.payload), c.lines) << c.payload;
    EXPECT_EQ(WantsLoadingWindow(c.payload), c.loading_window) << c.payload;
  }
}

TEST_F(TrailerFile, AppendsBlocksAndReadsTheLast) {
  const fs::path exe = m_dir / "player.exe";
  std::ofstream(exe, std::ios::binary) << "MZ image";
  ASSERT_TRUE(AppendTrailerFile(exe, "0first"));
  ASSERT_TRUE(AppendTrailerFile(exe, std::string("1\0x", 3)));
  EXPECT_EQ(ReadAll(exe),
            "MZ image" + std::string("0first") + Le32(10) + std::string("1\0x", 3) + Le32(7));
  EXPECT_EQ(ReadTrailerFile(exe), std::string("1\0x", 3));

  ASSERT_TRUE(AppendTrailerFile(exe, ""));
  EXPECT_EQ(ReadTrailerFile(exe), "");
}

TEST_F(TrailerFile, MissingOrUnsuitableFilesFail) {
  const fs::path missing = m_dir / "missing.exe";
  EXPECT_FALSE(AppendTrailerFile(missing, "0data"));
  EXPECT_FALSE(fs::exists(missing));
  EXPECT_EQ(ReadTrailerFile(missing), std::nullopt);

  EXPECT_FALSE(AppendTrailerFile(m_dir, "0data"));
  EXPECT_EQ(ReadTrailerFile(m_dir), std::nullopt);

  // Opening a FIFO must not block waiting for a peer.
  const fs::path fifo = m_dir / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(AppendTrailerFile(fifo, "0data"));
  EXPECT_EQ(ReadTrailerFile(fifo), std::nullopt);

  const fs::path no_block = m_dir / "plain.exe";
  std::ofstream(no_block, std::ios::binary) << "abc" << Le32(3);
  EXPECT_EQ(ReadTrailerFile(no_block), std::nullopt);
}

}  // namespace
}  // namespace morvane
