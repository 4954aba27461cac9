// The path resolution of the drive table against hostile paths: climbing
// above a root, names Windows refuses, read-only drives and symbolic links
// that lead out of their drive, with the table confined and not.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/drive_table.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

class Tree {
 public:
  Tree() {
    std::string pattern = (fs::temp_directory_path() / "morvane-paths-XXXXXX").string();
    root = mkdtemp(pattern.data());
    fs::create_directories(root + "/c/Data");
    fs::create_directories(root + "/d/sub");
    fs::create_directories(root + "/outside");
    std::ofstream(root + "/c/Data/Notes.txt") << "n";
    std::ofstream(root + "/d/sub/file.txt") << "f";
    std::ofstream(root + "/outside/secret.txt") << "secret";
    fs::create_directory_symlink("../outside", root + "/d/out");
    fs::create_directory_symlink("sub", root + "/d/in");
    fs::create_symlink(root + "/outside/new.txt", root + "/d/dangling");
    fs::create_directory_symlink("..", root + "/c/up");
    fs::create_symlink("Data/Notes.txt", root + "/c/alias.txt");
  }
  ~Tree() {
    std::error_code error;
    fs::remove_all(root, error);
  }
  std::string root;
};

constexpr PathAccess R = PathAccess::kRead;
constexpr PathAccess W = PathAccess::kWrite;
constexpr PathRefusal kOk = PathRefusal::kNone;

struct Case {
  const char* path;
  PathAccess access;
  const char* host;  // under the tree's root; empty when refused
  PathRefusal refusal;
  PathRefusal unconfined;  // the refusal of a table that follows every link
};

TEST(PathSafety, HostilePathsResolveInsideTheirDriveOrNotAtAll) {
  Tree tree;
  const Case cases[] = {
      // ".." is read from the text and stops at the drive's root.
      {"C:\\..\\..\\outside\\secret.txt", R, "/c/outside/secret.txt", kOk, kOk},
      {"C:\\Data\\..\\..\\..\\data\\notes.txt", R, "/c/Data/Notes.txt", kOk, kOk},
      {"c:/../DATA/./notes.TXT", W, "/c/Data/Notes.txt", kOk, kOk},
      {"\\..\\..\\Data\\Notes.txt", R, "/c/Data/Notes.txt", kOk, kOk},
      {"..\\..\\Data\\Notes.txt", R, "/c/Data/Notes.txt", kOk, kOk},
      // ".." after a link inside the drive is still the text's "..".
      {"D:\\out\\..\\sub\\file.txt", R, "/d/sub/file.txt", kOk, kOk},
      // Trailing dots and blanks go; names of dots alone stay where they are.
      {"C:\\Data\\Notes.txt.", R, "/c/Data/Notes.txt", kOk, kOk},
      {"C:\\Data. \\Notes.txt . ", R, "/c/Data/Notes.txt", kOk, kOk},
      {"C:\\Data\\...\\Notes.txt", R, "/c/Data/Notes.txt", kOk, kOk},
      // Names Windows refuses, in any case, with or without an extension.
      {"C:\\CON", W, "", PathRefusal::kBadName, PathRefusal::kBadName},
      {"C:\\Data\\nul.txt", R, "", PathRefusal::kBadName, PathRefusal::kBadName},
      {"C:\\aux .log", W, "", PathRefusal::kBadName, PathRefusal::kBadName},
      {"C:\\Com1\\x", W, "", PathRefusal::kBadName, PathRefusal::kBadName},
      {"C:\\LPT9.txt", W, "", PathRefusal::kBadName, PathRefusal::kBadName},
      {"C:\\conout$", R, "", PathRefusal::kBadName, PathRefusal::kBadName},
      {"C:\\a:b", W, "", PathRefusal::kBadName, PathRefusal::kBadName},
      {"C:\\Data\\Z:\\etc", R, "", PathRefusal::kBadName, PathRefusal::kBadName},
      {"C:\\a\x01z", W, "", PathRefusal::kBadName, PathRefusal::kBadName},
      {"C:\\a*", R, "", PathRefusal::kBadName, PathRefusal::kBadName},
      {"C:\\a?b", W, "", PathRefusal::kBadName, PathRefusal::kBadName},
      {"C:\\a|b", W, "", PathRefusal::kBadName, PathRefusal::kBadName},
      {"C:\\a<b>", W, "", PathRefusal::kBadName, PathRefusal::kBadName},
      {"C:\\a\"b", W, "", PathRefusal::kBadName, PathRefusal::kBadName},
      // Names that only look like devices are names.
      {"C:\\COM10", W, "/c/COM10", kOk, kOk},
      {"C:\\console.txt", W, "/c/console.txt", kOk, kOk},
      {"C:\\nul_file", W, "/c/nul_file", kOk, kOk},
      // Drives that are not there, network paths.
      {"Q:\\x", R, "", PathRefusal::kUnmapped, PathRefusal::kUnmapped},
      {"\\\\server\\share\\x", R, "", PathRefusal::kUnmapped, PathRefusal::kUnmapped},
      {"//server/share/x", W, "", PathRefusal::kUnmapped, PathRefusal::kUnmapped},
      // A read-only drive reads, and refuses every write.
      {"D:\\SUB\\File.txt", R, "/d/sub/file.txt", kOk, kOk},
      {"D:\\sub\\file.txt", W, "", PathRefusal::kReadOnly, PathRefusal::kReadOnly},
      {"D:\\new.txt", W, "", PathRefusal::kReadOnly, PathRefusal::kReadOnly},
      // Links: inside their drive they work; out of it only unconfined.
      {"D:\\in\\file.txt", R, "/d/in/file.txt", kOk, kOk},
      {"C:\\alias.txt", W, "/c/alias.txt", kOk, kOk},
      {"D:\\out\\secret.txt", R, "", PathRefusal::kOutside, kOk},
      {"D:\\OUT", R, "", PathRefusal::kOutside, kOk},
      {"D:\\dangling", R, "", PathRefusal::kOutside, kOk},
      {"C:\\up\\outside\\secret.txt", W, "", PathRefusal::kOutside, kOk},
      {"C:\\up\\d\\sub\\file.txt", W, "", PathRefusal::kOutside, kOk},
  };
  for (const bool confined : {true, false}) {
    DriveTable drives;
    drives.Map('C', tree.root + "/c");
    drives.Map('D', tree.root + "/d", DriveKind::kCdRom, true);
    drives.SetCurrentFolder("C:\\Data");
    drives.SetConfined(confined);
    std::vector<std::string> told;
    drives.SetRefusalHandler([&](std::string_view path, PathRefusal refusal) {
      told.push_back(std::string(path) + " " + std::to_string(static_cast<int>(refusal)));
    });
    size_t reported = 0;
    for (const Case& c : cases) {
      const PathRefusal want = confined ? c.refusal : c.unconfined;
      const HostResolution got = drives.Resolve(c.path, c.access);
      SCOPED_TRACE(std::string(c.path) + (confined ? " confined" : " unconfined"));
      EXPECT_EQ(got.refusal, want);
      if (want == kOk) {
        // Unconfined, the links that lead out resolve through their link.
        const std::string host = *c.host ? tree.root + c.host : std::string();
        if (!host.empty()) {
          EXPECT_EQ(got.host, host);
        } else {
          EXPECT_TRUE(got.host.has_value());
        }
      } else {
        EXPECT_EQ(got.host, std::nullopt);
      }
      EXPECT_EQ(drives.ToHost(c.path, c.access), got.host);
      if (want == PathRefusal::kReadOnly || want == PathRefusal::kOutside) reported += 2;
    }
    // Read-only drives and links out are told of (once by Resolve, once by
    // ToHost); bad names and unmapped drives are no refusal of the sandbox.
    EXPECT_EQ(told.size(), reported);
  }
}

TEST(PathSafety, ForbiddenNames) {
  for (const char* name : {"CON", "con", "Prn.txt", "AUX", "NUL.tar.gz", "COM0", "com9.x", "LPT1",
                           "nul ", "CONIN$", "a>b", "tab\there", "x:y"})
    EXPECT_TRUE(IsForbiddenName(name)) << name;
  for (const char* name : {"CONX", "COM", "COM10", "LPT", "xnul", ".nul", "a b", "names.txt",
                           "\xe4\xf6", "[embed]", "a;b", "a,b", "~$tmp"})
    EXPECT_FALSE(IsForbiddenName(name)) << name;
}

}  // namespace
}  // namespace morvane
