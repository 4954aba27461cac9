// The sandbox as scripts meet it: every file action against a table of
// hostile paths leaves the host outside the project's drives as it was, and
// program starts, downloads and the LAN are refused, told to the observer.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/trailer.h"
#include "script_world.h"

namespace morvane::testing {
namespace {

namespace fs = std::filesystem;

// A sandboxed session: C: is scratch/c, D: (read-only) scratch/project, the
// exe scratch/project/demo.exe; scratch/outside is the rest of the host.
struct SandboxWorld {
  explicit SandboxWorld(SandboxSettings settings = {true, false, false}) {
    fs::create_directories(scratch.path() + "/project/sub");
    fs::create_directories(scratch.path() + "/outside");
    WriteHostFile(scratch.path() + "/outside/secret.txt", "secret");
    WriteHostFile(scratch.path() + "/project/data.txt", "data");
    fs::create_directory_symlink("../outside", scratch.path() + "/project/out");
    fs::create_symlink(scratch.path() + "/outside/new.txt", scratch.path() + "/project/dangling");
    SessionOptions options;
    options.environment.prefix = scratch.path() + "/c";
    options.environment.exe_host_path = scratch.path() + "/project/demo.exe";
    options.environment.registry = false;
    options.environment.sandbox = settings;
    session = std::make_unique<Session>(stage, options);
    fs::create_directory_symlink("../outside", scratch.path() + "/c/up");
    session->engine().SetLan(&stage);
    session->environment().sandbox().SetObserver([this](SandboxRefusal what, std::string_view d) {
      refusals.push_back(std::string(SandboxRefusalName(what)) + " " + std::string(d));
    });
  }
  ~SandboxWorld() { session->StopEngine(); }
  std::string Run(const std::string& script) {
    try {
      session->engine().DoActions(1, script, 0);
      return "";
    } catch (const std::exception& error) {
      return std::string("error: ") + error.what();
    }
  }
  // Every file under `folder` with its bytes, links as links.
  std::vector<std::string> Listing(const std::string& folder) const {
    std::vector<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
      std::string line = entry.path().string();
      if (entry.is_symlink()) {
        line += " -> " + fs::read_symlink(entry.path()).string();
      } else if (entry.is_regular_file()) {
        line += " = " + ReadHostFile(entry.path().string());
      }
      entries.push_back(line);
    }
    std::sort(entries.begin(), entries.end());
    return entries;
  }

  ScratchFolder scratch;
  ConsoleScriptStage stage;
  std::unique_ptr<Session> session;
  std::vector<std::string> refusals;
};

TEST(SandboxTest, HostilePathsAgainstEveryFileAction) {
  const std::vector<std::string> paths = {
      "D:\\new.txt",                      // the read-only exe folder
      "D:\\data.txt",                     // a file there
      "D:\\out",                          // a link out of D:, as a folder
      "D:\\out\\secret.txt",              // a file behind it
      "D:\\out\\fresh.txt",               // a new file behind it
      "D:\\dangling",                     // a link to a file not there yet
      "C:\\up\\secret.txt",               // a link out of C:
      "C:\\..\\..\\outside\\secret.txt",  // climbing: stays in C:
      "Z:\\etc\\hostname",                // no host root
      "C:\\NUL",                          // a device name
      "C:\\a:b",                          // an alternate stream
      "\\\\127.0.0.1\\share\\x",          // a network path
  };
  // Each action with the hostile path as %; C:\mine.txt exists.
  const std::vector<std::string> actions = {
      "41(\"%\",\"x\")",
      "32(\"C:\\mine.txt\",\"%\")",
      "32(\"%\",\"C:\\copy.txt\")",
      "33(\"%\",\"C:\\moved.txt\")",
      "33(\"C:\\mine.txt\",\"%\")",
      "34(\"%\",\"C:\\renamed.txt\")",
      "35(\"%\")",
      "107(\"%\",\"x\")",
      "106(\"emb.bin\",\"%\")",
      "102(\"%\")\r\n103(\"s\",\"k\",\"v\")",
      "36(\"%\")",
      "122(\"*\",\"%\",\"anyfile\")\r\n123($found)",
      "$read=47(\"%\")",
  };
  for (const std::string& path : paths) {
    for (const std::string& action : actions) {
      SandboxWorld world;
      world.stage.SetResource("DAFemb.bin", "embedded");
      WriteHostFile(world.scratch.path() + "/c/mine.txt", "mine");
      const std::vector<std::string> outside = world.Listing(world.scratch.path() + "/outside");
      const std::vector<std::string> project = world.Listing(world.scratch.path() + "/project");
      std::string script = action;
      script.replace(script.find('%'), 1, path);
      SCOPED_TRACE(script);
      world.Run(script);
      EXPECT_EQ(world.Listing(world.scratch.path() + "/outside"), outside);
      EXPECT_EQ(world.Listing(world.scratch.path() + "/project"), project);
      // Nothing of the host outside came in.
      for (const std::string& entry : world.Listing(world.scratch.path() + "/c"))
        EXPECT_EQ(entry.find("secret"), std::string::npos) << entry;
      for (const auto& [name, value] : world.session->values().Strings())
        EXPECT_EQ(value.find("secret"), std::string::npos) << name;
      for (const std::string& line : world.stage.Log())
        EXPECT_EQ(line.find(world.scratch.path() + "/outside"), std::string::npos) << line;
    }
  }
}

TEST(SandboxTest, DeniedWritesFailWithThePlatformsText) {
  SandboxWorld world;
  struct Case {
    std::string script;
    std::string error;
  };
  const Case cases[] = {
      {"41(\"D:\\new.txt\",\"x\")", "Cannot create file \"D:\\new.txt\". Permission denied"},
      {"41(\"[src]data.txt\",\"x\")", "Cannot create file \"D:\\data.txt\". Permission denied"},
      {"41(\"D:\\out\\x.txt\",\"x\")", "Cannot create file \"D:\\out\\x.txt\". Permission denied"},
      {"41(\"C:\\NUL\",\"x\")", "Cannot create file \"C:\\NUL\". Invalid argument"},
      {"41(\"Z:\\tmp\\x.txt\",\"x\")",
       "Cannot create file \"Z:\\tmp\\x.txt\". No such file or directory"},
      {"106(\"emb.bin\",\"D:\\e.bin\")", "Cannot create file \"D:\\e.bin\". Permission denied"},
      {"102(\"[src]setup.ini\")\r\n103(\"s\",\"k\",\"v\")", "Unable to write to D:\\setup.ini"},
      {"107(\"D:\\demo.exe\",\"x\")", "Failed to set data."},
  };
  world.stage.SetResource("DAFemb.bin", "embedded");
  WriteHostFile(world.scratch.path() + "/project/setup.ini", "[s]\r\nk=old\r\n");
  WriteHostFile(world.scratch.path() + "/project/demo.exe", "MZ" + TrailerBlock("1abc"));
  for (const Case& c : cases) {
    const std::string got = world.Run(c.script);
    EXPECT_EQ(got, "error: Line #" + std::string(c.script.find('\n') == std::string::npos ? "1" : "2") +
                       ": " + c.error)
        << c.script;
  }
  // The INI file still reads; the registry and INI files of the project live in C:.
  EXPECT_EQ(world.Run("102(\"setup.ini\")\r\n103(\"s\",\"k\",\"v\")"), "");
  EXPECT_EQ(ReadHostFile(world.scratch.path() + "/c/windows/setup.ini"), "[s]\r\nk=v\r\n");
  EXPECT_EQ(ReadHostFile(world.scratch.path() + "/project/setup.ini"), "[s]\r\nk=old\r\n");
  EXPECT_EQ(world.Run("41(\"C:\\ok.txt\",\"fine\")"), "");
  EXPECT_EQ(ReadHostFile(world.scratch.path() + "/c/ok.txt"), "fine");
  // Writes to D: were told of (a write is refused there before any link is looked at).
  EXPECT_GE(std::count_if(world.refusals.begin(), world.refusals.end(),
                          [](const std::string& r) { return r.rfind("write D:\\", 0) == 0; }),
            4);
  EXPECT_NE(std::find(world.refusals.begin(), world.refusals.end(), "write D:\\out\\x.txt"),
            world.refusals.end());
}

TEST(SandboxTest, ProgramsDownloadsAndTheLanAreRefusedUnlessAllowed) {
  struct Case {
    std::string script;
    std::string error;    // in the sandbox
    std::string refusal;  // what the observer is told
  };
  const Case cases[] = {
      {"21(\"[src]data.txt\",\"\",1)", "Opening \"D:\\data.txt\" is not allowed in the sandbox.",
       "program D:\\data.txt"},
      {"21(\"http://127.0.0.1/\",\"\",1)",
       "Opening \"http://127.0.0.1/\" is not allowed in the sandbox.",
       "program http://127.0.0.1/"},
      {"31(\"http://127.0.0.1:9/x\",\"C:\\x.bin\")",
       "Downloading \"http://127.0.0.1:9/x\" is not allowed in the sandbox.",
       "download http://127.0.0.1:9/x"},
      {"111(1)", "The network connection is not available.", "lan action 111"},
      {"113(\"hello\")", "The network connection is not available.", "lan action 113"},
  };
  for (const Case& c : cases) {
    SandboxWorld world;
    EXPECT_EQ(world.Run(c.script + "\r\n#after=1"), "error: Line #1: " + c.error);
    EXPECT_EQ(world.refusals, std::vector<std::string>{c.refusal});
    EXPECT_EQ(world.session->values().GetNumber("after"), 0);
    EXPECT_FALSE(fs::exists(world.scratch.path() + "/c/x.bin"));
    for (const std::string& line : world.stage.Log()) {
      EXPECT_NE(line.rfind("spawn:", 0), 0u) << line;
      EXPECT_NE(line.rfind("lan-", 0), 0u) << line;
    }
  }
  // --allow-network lets the LAN through, never program starts.
  SandboxWorld allowed({true, true, false});
  EXPECT_EQ(allowed.Run("113(\"hello\")"), "");
  EXPECT_EQ(allowed.Run("21(\"[src]data.txt\",\"\",1)"),
            "error: Line #1: Opening \"D:\\data.txt\" is not allowed in the sandbox.");
  EXPECT_TRUE(allowed.session->environment().sandbox().AllowsNetwork());
  EXPECT_FALSE(allowed.session->environment().sandbox().AllowsPlugins());
  // Outside the sandbox nothing is refused.
  SandboxWorld open({false, false, false});
  EXPECT_EQ(open.Run("113(\"hello\")\r\n21(\"Z:" + open.scratch.path() + "/project/data.txt\",\"\",1)"),
            "");
  EXPECT_TRUE(open.refusals.empty());
  EXPECT_TRUE(open.session->environment().sandbox().AllowsPlugins());
}

TEST(SandboxTest, TheDriveTableHoldsThePrefixAndTheExeFolderOnly) {
  SandboxWorld world;
  DriveTable& drives = world.session->environment().drives();
  EXPECT_EQ(drives.Letters(), (std::vector<char>{'C', 'D'}));
  EXPECT_TRUE(drives.IsReadOnly('D'));
  EXPECT_FALSE(drives.IsReadOnly('C'));
  EXPECT_TRUE(drives.confined());
  EXPECT_EQ(world.session->environment().exe_path(), "D:\\demo.exe");
  EXPECT_EQ(world.session->environment().exe_folder(), "D:\\");
  EXPECT_TRUE(fs::is_directory(world.scratch.path() + "/c/windows/temp"));
  SandboxWorld open({false, false, false});
  EXPECT_EQ(open.session->environment().drives().HostRoot('Z'), "/");
  EXPECT_FALSE(open.session->environment().drives().confined());
}

}  // namespace
}  // namespace morvane::testing
