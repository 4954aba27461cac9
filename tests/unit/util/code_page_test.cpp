#include "util/code_page.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace morvane {
namespace {

struct Sample {
  int code_page;
  std::string_view bytes;
  std::string_view utf8;
};

const Sample kSamples[] = {
    {1256, "\xD3\xE1\xC7\xE3", "سلام"},
    {1255, "\xF9\xEC\xE5\xED", "שלום"},
    {1251, "\xCF\xF0\xE8\xE2\xE5\xF2", "Привет"},
    {1253, "\xC5\xEB\xEB\xDC\xE4\xE1", "Ελλάδα"},
    {1252, "caf\xE9 \x80", "café €"},
    {932, "\x93\xFA\x96\x7B", "日本"},
    {949, "\xC7\xD1\xB1\xB9", "한국"},
    {936, "\xD6\xD0\xCE\xC4", "中文"},
    {950, "\xBB\x4F\xC6\x57", "臺灣"},
    {874, "\xE4\xB7\xC2", "ไทย"},
    {65001, "ok \xE2\x82\xAC", "ok €"},
    {1256, "mixed 12 \xD3", "mixed 12 س"},
    {1256, "", ""},
};

TEST(CodePage, ConvertsBothWays) {
  for (const Sample& s : kSamples) {
    EXPECT_EQ(ToUtf8(s.bytes, s.code_page), s.utf8) << s.code_page << " " << s.utf8;
    EXPECT_EQ(FromUtf8(s.utf8, s.code_page), s.bytes) << s.code_page << " " << s.utf8;
  }
}

TEST(CodePage, ReplacesWhatCannotBeConverted) {
  // Cyrillic has no place in the Arabic page; the Arabic letter keeps its byte.
  EXPECT_EQ(FromUtf8("Пس€", 1256), "?\xD3\x80");
  EXPECT_EQ(FromUtf8("日本", 1252), "??");
  // Bytes that are not UTF-8: a stray continuation, a truncated sequence, an
  // encoded surrogate.
  EXPECT_EQ(FromUtf8("a\x80z", 1252), "a?z");
  EXPECT_EQ(FromUtf8("a\xE2\x82", 1252), "a??");
  EXPECT_EQ(FromUtf8("\xED\xA0\x80x", 1252), "???x");
  // 0x81 is not a character of 1252; a lone Shift-JIS lead byte at the end.
  EXPECT_EQ(ToUtf8("a\x81z", 1252), "a\uFFFDz");
  EXPECT_EQ(ToUtf8("a\x93", 932), "a\uFFFD");
}

TEST(CodePage, UnknownCodePagesAreTreatedAsWesternEuropean) {
  EXPECT_EQ(ToUtf8("caf\xE9", 12345), "café");
  EXPECT_EQ(FromUtf8("café", -1), "caf\xE9");
}

TEST(CodePage, ConvertsOnSeveralThreadsAtOnce) {
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &failures] {
      for (int i = 0; i < 500; ++i) {
        const Sample& s = kSamples[(t + i) % std::size(kSamples)];
        if (ToUtf8(s.bytes, s.code_page) != s.utf8) ++failures[t];
        if (FromUtf8(s.utf8, s.code_page) != s.bytes) ++failures[t];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
}

TEST(CodePage, MapsCharsetsToCodePages) {
  struct Case {
    int charset;
    int expected;
  };
  const Case cases[] = {
      {0, 1256},   {1, 1256},   {2, 1252},   {77, 10000}, {128, 932},  {129, 949},  {134, 936},
      {136, 950},  {161, 1253}, {162, 1254}, {163, 1258}, {177, 1255}, {178, 1256}, {186, 1257},
      {204, 1251}, {222, 874},  {238, 1250}, {255, 437},  {130, 1256}, {-1, 1256},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CodePageForCharset(c.charset, 1256), c.expected) << c.charset;
  }
  EXPECT_EQ(CodePageForCharset(0, 1251), 1251);
}

}  // namespace
}  // namespace morvane
