#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/drive_table.h"
#include "platform/ini_file.h"
#include "platform/md5.h"
#include "platform/registry_store.h"
#include "platform/system_info.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "morvane-platform-XXXXXX").string();
    m_path = mkdtemp(pattern.data());
  }
  ~TempFolder() {
    std::error_code error;
    fs::remove_all(m_path, error);
  }
  const std::string& path() const { return m_path; }

 private:
  std::string m_path;
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(DriveTable, WindowsPathsFindHostFilesIgnoringCase) {
  TempFolder temp;
  fs::create_directories(temp.path() + "/c/Windows/System32");
  std::ofstream(temp.path() + "/c/Windows/System32/Data.TXT") << "x";
  DriveTable drives;
  drives.Map('c', temp.path() + "/c/");
  drives.SetCurrentFolder("C:\\windows");
  const std::string found = temp.path() + "/c/Windows/System32/Data.TXT";
  EXPECT_EQ(drives.ToHost("C:\\WINDOWS\\system32\\data.txt"), found);
  EXPECT_EQ(drives.ToHost("c:/windows//./SYSTEM32\\data.txt"), found);
  EXPECT_EQ(drives.ToHost("system32\\data.txt"), found);  // from the current folder
  EXPECT_EQ(drives.ToHost("\\windows\\system32\\DATA.txt"), found);
  // Missing parts are kept as written, for files about to be made.
  EXPECT_EQ(drives.ToHost("C:\\windows\\New\\File.txt"), temp.path() + "/c/Windows/New/File.txt");
  // ".." stops at the root of the drive.
  EXPECT_EQ(drives.ToHost("C:\\..\\..\\etc\\passwd"), temp.path() + "/c/etc/passwd");
  EXPECT_EQ(drives.ToHost("Q:\\x"), std::nullopt);
  EXPECT_EQ(drives.ToHost("\\\\server\\share\\x"), std::nullopt);
  EXPECT_EQ(drives.ToWindows(temp.path() + "/c/Windows/a b.txt"), "C:\\Windows\\a b.txt");
  drives.Map('Z', "/");
  EXPECT_EQ(drives.ToWindows("/usr/bin"), "Z:\\usr\\bin");
  EXPECT_EQ(drives.ToWindows(temp.path() + "/c"), "C:\\");
}

TEST(SystemInfo, DrivesOfTheTable) {
  TempFolder temp;
  fs::create_directories(temp.path() + "/c");
  fs::create_directories(temp.path() + "/d");
  DriveTable drives;
  drives.Map('C', temp.path() + "/c", DriveKind::kFixed);
  drives.Map('D', temp.path() + "/d", DriveKind::kCdRom);
  drives.Map('E', temp.path() + "/gone", DriveKind::kFixed);  // its folder is missing
  EXPECT_EQ(DriveCount(drives), 2);
  EXPECT_EQ(NthDriveLetter(drives, 1), "A");
  EXPECT_EQ(NthDriveLetter(drives, 2), "C");
  EXPECT_EQ(NthDriveLetter(drives, 3), "D");
  EXPECT_EQ(NthDriveLetter(drives, 4), "");
  EXPECT_EQ(DrivesOfType(drives, "FIXED"), 1);
  EXPECT_EQ(DrivesOfType(drives, "CDROM"), 1);
  EXPECT_EQ(DrivesOfType(drives, "UNKNOWN"), 24);
  EXPECT_EQ(DrivesOfType(drives, "fixed"), 24);
  EXPECT_EQ(DriveTypeOfName("REMOVABLE"), 5);
  EXPECT_EQ(DriveReady(drives, "c:\\"), 1);
  EXPECT_EQ(DriveReady(drives, "E"), 0);
  EXPECT_EQ(DriveReady(drives, ""), std::nullopt);
  EXPECT_GT(DriveSize(drives, "C").value_or(0), 0);
  EXPECT_GE(DriveFreeSpace(drives, "c").value_or(-2), 0);
  EXPECT_EQ(DriveSize(drives, "Q"), -1);
  EXPECT_EQ(DriveSize(drives, "1"), 0);
  EXPECT_EQ(DriveSize(drives, ""), std::nullopt);
  EXPECT_EQ(NthRemovableDrive(drives, 1), "");
  drives.Map('F', temp.path() + "/d", DriveKind::kRemovable);
  drives.Map('H', temp.path() + "/c", DriveKind::kRemovable);
  EXPECT_EQ(NthRemovableDrive(drives, 2), "H");
}

TEST(SystemInfo, MemoryAboveFourGigabytesIsReportedWhole) {
  const MemoryStatus status =
      ParseMemInfo("MemTotal:       16318412 kB\nMemFree:  100 kB\nMemAvailable:    9000000 kB\n");
  EXPECT_EQ(status.total_bytes, 16318412ull * 1024);
  EXPECT_EQ(status.available_bytes, 9000000ull * 1024);
  EXPECT_EQ(ParseMemInfo("MemTotal: 8 kB\nMemFree: 2 kB\n").available_bytes, 2048u);
  EXPECT_GT(ReadMemoryStatus().total_bytes, 0u);
  const bool connected = InternetConnected();  // whatever the machine has; it must answer
  EXPECT_TRUE(connected || !connected);
}

TEST(RegistryStore, KeysAndTypedValuesPersistAndAreShared) {
  TempFolder temp;
  const std::string file = temp.path() + "/registry.db";
  {
    RegistryStore store(file);
    RegistryAccessor registry(&store);
    EXPECT_THROW(registry.Write("x", std::string("v")), RegistryError);  // no open key
    ASSERT_TRUE(registry.OpenKey("Software\\Test", true));
    registry.Write("Name", std::string("Ann"));
    registry.Write("count", int32_t{7});
    registry.Write("ratio", 0.5);
    registry.Write("on", true);
    registry.Write("NAME", std::string("Bea"));  // one value, first spelling kept
    EXPECT_EQ(store.ValueNames("HKEY_CURRENT_USER", "software\\test"),
              (std::vector<std::string>{"Name", "count", "ratio", "on"}));
    registry.SetRoot("hkey_local_machine");
    EXPECT_FALSE(registry.KeyExists("\\Software\\Test"));
    registry.SetRoot("HKEY_NOWHERE");
    EXPECT_FALSE(registry.OpenKey("Software", true));
  }
  RegistryStore again(file);
  RegistryStore other(file);  // a second player on the same file
  RegistryAccessor registry(&again);
  ASSERT_TRUE(registry.OpenKey("SOFTWARE\\TEST", false));
  EXPECT_EQ(registry.ReadString("name"), "Bea");
  EXPECT_EQ(registry.ReadInteger("count"), 7);
  EXPECT_EQ(registry.ReadFloat("ratio"), 0.5);
  EXPECT_TRUE(registry.ReadBool("on"));
  EXPECT_EQ(registry.ReadInteger("on"), 1);
  EXPECT_THROW(registry.ReadInteger("name"), RegistryError);
  EXPECT_THROW(registry.ReadString("missing"), RegistryError);
  std::thread writer([&] {
    for (int i = 0; i < 50; ++i)
      other.SetValue("HKEY_CURRENT_USER", "Software\\Test", "n" + std::to_string(i), int32_t{i});
  });
  for (int i = 0; i < 50; ++i) again.KeyExists("HKEY_CURRENT_USER", "Software\\Test");
  writer.join();
  EXPECT_EQ(std::get<int32_t>(*again.GetValue("HKEY_CURRENT_USER", "software\\test", "N49")), 49);
  EXPECT_TRUE(registry.CreateKey("Sub\\Deeper"));  // below the open key
  EXPECT_TRUE(again.KeyExists("HKEY_CURRENT_USER", "Software\\Test\\sub\\deeper"));
  EXPECT_TRUE(again.DeleteKey("HKEY_CURRENT_USER", "Software"));
  EXPECT_FALSE(again.KeyExists("HKEY_CURRENT_USER", "Software\\Test\\Sub"));
  EXPECT_EQ(again.GetValue("HKEY_CURRENT_USER", "Software\\Test", "name"), std::nullopt);
}

TEST(IniFile, ReadsLikeProfileFilesAndRewritesWhole) {
  TempFolder temp;
  const std::string path = temp.path() + "/a.ini";
  std::ofstream(path, std::ios::binary)
      << "; comment\r\n[Main]\r\n  Size = 12.5 \r\nname=\"quoted\"\r\nbad=x1\r\n"
         "[main]\r\nlater=1\r\n[Other]\r\nflag=0x10\r\n";
  IniFile ini(path);
  EXPECT_EQ(ini.Read("MAIN", "size"), "12.5");
  EXPECT_EQ(ini.Read("main", "name"), "quoted");
  EXPECT_EQ(ini.Read("main", "later"), std::nullopt);  // only the first section counts
  EXPECT_EQ(ini.ReadFloat("Main", "size", -1), 12.5);
  EXPECT_EQ(ini.ReadFloat("Main", "bad", -1), -1);
  EXPECT_EQ(ini.ReadFloat("Main", "none", -1), -1);
  EXPECT_TRUE(ini.ReadBool("other", "flag", false));
  EXPECT_FALSE(ini.ReadBool("other", "none", false));
  ini.Write("main", "SIZE", "3");
  ini.Write("Main", "new", "v");
  ini.Write("Fresh", "k", "1");
  EXPECT_EQ(ReadAll(path),
            "; comment\r\n[Main]\r\nSIZE=3\r\nname=\"quoted\"\r\nbad=x1\r\nnew=v\r\n"
            "[main]\r\nlater=1\r\n[Other]\r\nflag=0x10\r\n\r\n[Fresh]\r\nk=1\r\n");
  IniFile missing(temp.path() + "/b.ini");
  missing.Write("S", "k", "v");
  EXPECT_EQ(ReadAll(temp.path() + "/b.ini"), "[S]\r\nk=v\r\n");
  IniFile unwritable(temp.path() + "/no/such/folder.ini");
  EXPECT_THROW(unwritable.Write("S", "k", "v"), IniWriteError);
  size_t entries = 0;
  for (const auto& entry : fs::directory_iterator(temp.path())) entries += entry.exists();
  EXPECT_EQ(entries, 2u);  // no temporary file left behind
}

TEST(IniFile, WritesFromManyThreadsAllLand) {
  TempFolder temp;
  const std::string path = temp.path() + "/shared.ini";
  constexpr int kThreads = 3, kWrites = 150;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      IniFile ini(path);
      for (int i = 0; i < kWrites; ++i)
        ini.Write("s", "k" + std::to_string(t) + "_" + std::to_string(i), "v");
    });
  }
  for (std::thread& thread : threads) thread.join();
  IniFile ini(path);
  int landed = 0;
  for (int t = 0; t < kThreads; ++t)
    for (int i = 0; i < kWrites; ++i)
      landed += ini.Read("s", "k" + std::to_string(t) + "_" + std::to_string(i)).has_value();
  EXPECT_EQ(landed, kThreads * kWrites);
}

TEST(IniFile, WhatIsNotARegularFileReadsAsMissingAndIsKept) {
  TempFolder temp;
  const std::string fifo = temp.path() + "/fifo.ini";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string folder = temp.path() + "/folder.ini";
  fs::create_directory(folder);
  for (const std::string& path : {fifo, folder, std::string("/dev/zero")}) {
    IniFile ini(path);
    // A FIFO with no writer is never waited on.
    EXPECT_EQ(ini.Read("s", "k"), std::nullopt) << path;
    EXPECT_THROW(ini.Write("s", "k", "v"), IniWriteError) << path;
  }
  EXPECT_EQ(fs::status(fifo).type(), fs::file_type::fifo);
  EXPECT_TRUE(fs::is_directory(folder));
}

TEST(Md5, KnownDigests) {
  EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Md5Hex(std::string(56, 'a')), "3b0c8ac703f828b04c6c197006d17218");
  EXPECT_EQ(Md5Hex(std::string(64, 'a')), "014842d480b571495a4a0363793f7367");
}

}  // namespace
}  // namespace morvane
