#pragma once

// How a project source keeps the project's 8-bit texts in YAML and in script
// files. Texts are code-page bytes; in the source they are UTF-8, converted
// with the project's code page. A text that does not come back byte for byte
// from that conversion is written in the bytes form instead: a double-quoted
// string tagged !bytes in which every character, U+0000 to U+00FF, stands for
// the byte of the same value ("\x81", "\r", "\x01").

#include <optional>
#include <string>
#include <string_view>

#include <yaml-cpp/yaml.h>

#include "package/container.h"
#include "util/code_page.h"

namespace morvane {

// A project source that cannot be read or written. The message names the
// file, and for project.yaml the line and column.
class SourceError : public ContainerError {
 public:
  using ContainerError::ContainerError;
};

inline constexpr const char* kBytesTag = "!bytes";
inline constexpr const char* kFileTag = "!file";

class SourceText {
 public:
  // Throws SourceError for a code page this system cannot convert.
  explicit SourceText(int code_page = kDefaultCodePage);

  int CodePage() const { return m_code_page; }

  // The text in UTF-8 when converting it back gives the same bytes.
  std::optional<std::string> ToUtf8(std::string_view bytes) const;
  // The bytes of a UTF-8 text, or nothing when a character has no byte form.
  std::optional<std::string> FromUtf8(std::string_view utf8) const;

  // Writes a text as a YAML scalar: readable when it converts, else !bytes.
  void EmitText(YAML::Emitter& out, std::string_view bytes) const;
  // Reads a text scalar; `where` prefixes error messages ("project.yaml:4:8").
  std::string ReadText(const YAML::Node& node, const std::string& where) const;

  // A script (line breaks are CR) as the text of a script file, with LF line
  // breaks, or nothing when the script cannot be a file: it holds LF, control
  // bytes other than CR and tab, or bytes outside the code page.
  std::optional<std::string> ScriptFileText(std::string_view script) const;
  // The inverse: CR LF, LF and CR in the file all become CR.
  std::string ScriptFromFile(std::string_view file_text, const std::string& file_name) const;
  // A script written inline, as a plain or quoted YAML string: one line, no
  // control bytes, all in the code page. Read back, its line breaks become CR.
  bool ScriptFitsInline(std::string_view script) const;
  std::string ReadInlineScript(const YAML::Node& node, const std::string& where) const;

 private:
  int m_code_page;
};

// Writes a UTF-8 string (a resource or file name) as YAML: as it is when it
// is valid UTF-8, else in the bytes form.
void EmitName(YAML::Emitter& out, std::string_view name);
std::string ReadName(const YAML::Node& node, const std::string& where);

// Writes a string as a YAML scalar, choosing double quotes whenever the plain
// forms would not read back the same.
void EmitString(YAML::Emitter& out, std::string_view utf8);

// The bytes form of `bytes`, and its inverse (nothing for a character above
// U+00FF or invalid UTF-8).
void EmitBytes(YAML::Emitter& out, std::string_view bytes);
std::optional<std::string> BytesFromLatin1(std::string_view utf8);

bool IsValidUtf8(std::string_view text);

// "project.yaml:12:5" for a node.
std::string Where(const std::string& file, const YAML::Node& node);

}  // namespace morvane
