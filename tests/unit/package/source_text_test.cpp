#include "package/source_text.h"

#include <gtest/gtest.h>

#include <random>

namespace morvane {
namespace {

// Emits the text as the value of a one-key map and reads it back.
struct TextTrip {
  std::string yaml;
  std::string bytes;
};

TextTrip RoundTrip(const SourceText& text, std::string_view bytes) {
  YAML::Emitter out;
  out << YAML::BeginMap << YAML::Key << "k" << YAML::Value;
  text.EmitText(out, bytes);
  out << YAML::EndMap;
  const YAML::Node node = YAML::Load(out.c_str());
  return {out.c_str(), text.ReadText(node["k"], "test")};
}

TEST(SourceText, TextsRoundTripReadablyOrAsBytes) {
  struct Case {
    int code_page;
    std::string bytes;
    std::string expected_yaml;  // the value as written
  };
  const Case cases[] = {
      {1252, "Hello", "k: Hello"},
      {1252, "caf\xe9", "k: caf\xc3\xa9"},                    // converted to UTF-8
      {1251, "\xcf\xf0\xe8", "k: \xd0\x9f\xd1\x80\xd0\xb8"},  // Cyrillic
      {932, "\x82\xa0", "k: \xe3\x81\x82"},                   // a double-byte character
      {1252, "a\x81z", "k: !bytes \"a\\x81z\""},              // a byte 1252 lacks
      {932, "\x82", "k: !bytes \"\\x82\""},                   // a lone lead byte
      {1252, std::string("\0\x01", 2), "k: \"\\x00\\x01\""},
      {1252, "a\r\nb", "k: \"a\\r\\nb\""},
      {1252, "- x", "k: \"- x\""},
      {1252, "~", "k: \"~\""},
      {1252, "true", "k: true"},  // texts are never read as anything but text
      {1252, " lead", "k: \" lead\""},
      {1252, "C:\\dir\\\\f", "k: C:\\dir\\\\f"},
      {1252, "\xa0", "k: \"\\xa0\""},  // a no-break space is escaped to survive
  };
  for (const Case& c : cases) {
    const TextTrip trip = RoundTrip(SourceText(c.code_page), c.bytes);
    EXPECT_EQ(trip.bytes, c.bytes) << trip.yaml;
    EXPECT_EQ(trip.yaml, c.expected_yaml);
  }
}

TEST(SourceText, EveryByteAndRandomTextsRoundTrip) {
  std::mt19937 random(5);
  for (int code_page : {1252, 1251, 1256, 932}) {
    const SourceText text(code_page);
    for (int b = 0; b < 256; ++b) {
      const std::string bytes(1, static_cast<char>(b));
      EXPECT_EQ(RoundTrip(text, bytes).bytes, bytes) << code_page << " byte " << b;
    }
    for (int i = 0; i < 300; ++i) {
      std::string bytes;
      const int length = std::uniform_int_distribution<int>(0, 12)(random);
      for (int j = 0; j < length; ++j)
        bytes += static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random));
      EXPECT_EQ(RoundTrip(text, bytes).bytes, bytes) << RoundTrip(text, bytes).yaml;
    }
  }
}

TEST(SourceText, ScriptsChooseInlineFileOrBytes) {
  enum Form { kInline, kFile, kBytes };
  struct Case {
    std::string script;
    Form form;
    std::string file_text;  // for kFile
  };
  const Case cases[] = {
      {"15(\"About\")", kInline, ""},
      {"a\rb", kFile, "a\nb"},
      {"a\rb\r", kFile, "a\nb\n"},
      {"\r", kFile, "\n"},
      {"caf\xe9\r5(\"x\")", kFile, "caf\xc3\xa9\n5(\"x\")"},
      {"a\tb", kFile, "a\tb"},
      {"a\nb", kBytes, ""},  // LF is no line break in a script
      {"a\r\nb", kBytes, ""},
      {"\x81\rb", kBytes, ""},  // not in code page 1252
      {"x\x01y", kBytes, ""},
      {"x\x85y", kInline, ""},  // an ellipsis in 1252, not a C1 control
      {"x\x85\ry", kFile, "x\xe2\x80\xa6\ny"},
  };
  const SourceText text(1252);
  for (const Case& c : cases) {
    const bool fits_inline = text.ScriptFitsInline(c.script);
    const std::optional<std::string> file = text.ScriptFileText(c.script);
    const Form form = fits_inline ? kInline : file ? kFile : kBytes;
    EXPECT_EQ(form, c.form) << c.script;
    if (form == kFile) {
      EXPECT_EQ(*file, c.file_text);
      EXPECT_EQ(text.ScriptFromFile(*file, "f.mvs"), c.script);
    }
  }
}

TEST(SourceText, ScriptFilesAcceptAnyLineBreaks) {
  const SourceText text(1252);
  EXPECT_EQ(text.ScriptFromFile("a\r\nb\nc\rd\r\n", "f.mvs"), "a\rb\rc\rd\r");
  EXPECT_EQ(text.ScriptFromFile("caf\xc3\xa9", "f.mvs"), "caf\xe9");
  try {
    text.ScriptFromFile("ok\n\xe4\xb8\xad", "scripts/x.mvs");
    FAIL() << "a character outside the code page was accepted";
  } catch (const SourceError& error) {
    EXPECT_STREQ(error.what(), "scripts/x.mvs:2: a character is outside code page 1252");
  }
  EXPECT_THROW(text.ScriptFromFile("bad \xff", "f.mvs"), SourceError);
}

TEST(SourceText, InlineScriptsTurnLineBreaksIntoCr) {
  const SourceText text(1252);
  const YAML::Node node = YAML::Load("a: |\n  5(\"x\")\n  15(\"y\")\nb: !bytes \"a\\nb\"\n");
  EXPECT_EQ(text.ReadInlineScript(node["a"], "t"), "5(\"x\")\r15(\"y\")\r");
  EXPECT_EQ(text.ReadInlineScript(node["b"], "t"), "a\nb");
}

TEST(SourceText, RejectsUnknownCodePagesAndBadBytesForms) {
  EXPECT_THROW(SourceText(99999), SourceError);
  EXPECT_NO_THROW(SourceText(1251));
  const SourceText text(1252);
  const YAML::Node node =
      YAML::Load("a: !bytes \"\\u0100\"\nb: !weird x\nc: [1]\nd: \xe4\xb8\xad\n");
  EXPECT_THROW(text.ReadText(node["a"], "t"), SourceError);
  EXPECT_THROW(text.ReadText(node["b"], "t"), SourceError);
  EXPECT_THROW(text.ReadText(node["c"], "t"), SourceError);
  EXPECT_THROW(text.ReadText(node["d"], "t"), SourceError);  // not in code page 1252
}

}  // namespace
}  // namespace morvane
