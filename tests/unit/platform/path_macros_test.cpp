#include "platform/path_macros.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

TEST(PathMacros, ExpandInAnyCaseThenHalveDoubledBackslashes) {
  const MacroFolders folders{"Z:\\proj\\", "C:\\windows\\", "C:\\tmp\\", "C:\\tmp\\QMTEMP\\"};
  struct Case {
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      {"[src]a.txt", "Z:\\proj\\a.txt"},
      {"[SRC]a.txt", "Z:\\proj\\a.txt"},
      // The folder's own "\" and the doubled one leave two, which Windows
      // paths read as one.
      {"[Embed]\\\\pointer.cur", "C:\\tmp\\QMTEMP\\\\pointer.cur"},
      {"[sys]x.dll", "C:\\windows\\System32\\x.dll"},
      {"[win][tmp]", "C:\\windows\\C:\\tmp\\"},
      {"c:\\\\data\\\\\\\\x", "c:\\data\\\\x"},  // no "[": backslashes still halved
      {"[other]x", "[other]x"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ExpandPathMacros(c.text, folders), c.expected) << c.text;
}

TEST(PathMacros, ExtractionNameNeverLeavesItsFolder) {
  struct Case {
    const char* path;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"c:\\x\\intro.wav", "intro.wav"},
      {"d:pointer.CUR", "pointer.CUR"},
      {"plain.txt", "plain.txt"},
      {"c:\\x\\..", std::nullopt},
      {"c:\\x\\.", std::nullopt},
      {"c:\\x\\", std::nullopt},
      {"c:\\x\\../../etc/passwd", std::nullopt},
      {"a/b.txt", std::nullopt},
      {"..\\..\\up.txt", "up.txt"},
  };
  for (const Case& c : cases) EXPECT_EQ(ExtractionName(c.path), c.expected) << c.path;
}

TEST(PathMacros, CursorFilesByTheirNameFromTheFirstDot) {
  EXPECT_TRUE(IsCursorFileName("pointer.CUR"));
  EXPECT_TRUE(IsCursorFileName("busy.ani"));
  EXPECT_FALSE(IsCursorFileName("my.pointer.cur"));
  EXPECT_FALSE(IsCursorFileName("intro.wav"));
  EXPECT_FALSE(IsCursorFileName("cur"));
}

TEST(PathMacros, NativeLibrariesByTheirLastExtension) {
  EXPECT_TRUE(IsNativeLibraryName("gauge.so"));
  EXPECT_TRUE(IsNativeLibraryName("my.Gauge.SO"));
  EXPECT_FALSE(IsNativeLibraryName("gauge.so.1"));
  EXPECT_FALSE(IsNativeLibraryName("gauge.dll"));
  EXPECT_FALSE(IsNativeLibraryName(".so"));
}

}  // namespace
}  // namespace morvane
