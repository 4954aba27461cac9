#include "package/source_text.h"

#include <array>
#include <map>
#include <mutex>

namespace morvane {
namespace {

// Decodes one UTF-8 sequence at `at`; nothing for an invalid one.
std::optional<char32_t> DecodeUtf8(std::string_view text, size_t& at) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  const uint8_t lead = byte(at);
  int length = 0;
  char32_t cp = 0;
  if (lead < 0x80) {
    ++at;
    return lead;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    cp = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    cp = lead & 0x07;
  } else {
    return std::nullopt;
  }
  if (text.size() - at < static_cast<size_t>(length)) return std::nullopt;
  for (int i = 1; i < length; ++i) {
    const uint8_t b = byte(at + i);
    if ((b & 0xC0) != 0x80) return std::nullopt;
    cp = (cp << 6) | (b & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are invalid.
  if ((length == 3 && cp < 0x800) || (length == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
      (cp >= 0xD800 && cp <= 0xDFFF))
    return std::nullopt;
  at += length;
  return cp;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Characters that the emitter's plain and single-quoted styles keep as they
// are: YAML's printable set less the line breaks, NEL, no-break space, the
// Unicode line and paragraph separators and the byte-order mark.
bool IsPlainSafe(char32_t cp) {
  if (cp >= 0x20 && cp <= 0x7E) return true;
  if (cp >= 0xA1 && cp <= 0xD7FF) return cp != 0x2028 && cp != 0x2029;
  if (cp >= 0xE000 && cp <= 0xFFFD) return cp != 0xFEFF;
  return cp >= 0x10000 && cp <= 0x10FFFF;
}

// Unknown code pages convert as 1252; a page is taken as known when it is
// 1252 or converts some single byte differently.
bool IsKnownCodePage(int code_page) {
  static std::mutex mutex;
  static std::map<int, bool> known;
  const std::lock_guard<std::mutex> lock(mutex);
  auto it = known.find(code_page);
  if (it != known.end()) return it->second;
  bool differs = code_page == kDefaultCodePage;
  for (int b = 0x80; b < 0x100 && !differs; ++b) {
    const std::string byte(1, static_cast<char>(b));
    differs = ToUtf8(byte, code_page) != ToUtf8(byte, kDefaultCodePage);
  }
  known[code_page] = differs;
  return differs;
}

bool IsAscii(std::string_view text) {
  for (char c : text)
    if (static_cast<uint8_t>(c) >= 0x80) return false;
  return true;
}

bool IsStringTag(const std::string& tag) {
  return tag.empty() || tag == "?" || tag == "!" || tag == "tag:yaml.org,2002:str";
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  for (size_t at = 0; at < text.size();)
    if (!DecodeUtf8(text, at)) return false;
  return true;
}

std::string Where(const std::string& file, const YAML::Node& node) {
  const YAML::Mark mark = node.Mark();
  if (mark.is_null()) return file;
  return file + ":" + std::to_string(mark.line + 1) + ":" + std::to_string(mark.column + 1);
}

void EmitString(YAML::Emitter& out, std::string_view utf8) {
  bool plain_safe = IsValidUtf8(utf8);
  for (size_t at = 0; plain_safe && at < utf8.size();)
    plain_safe = IsPlainSafe(*DecodeUtf8(utf8, at));
  if (plain_safe) {
    out << std::string(utf8);
  } else {
    out << YAML::DoubleQuoted << std::string(utf8);
  }
}

void EmitBytes(YAML::Emitter& out, std::string_view bytes) {
  std::string latin1;
  for (char c : bytes) AppendUtf8(latin1, static_cast<uint8_t>(c));
  out << YAML::LocalTag(kBytesTag + 1) << YAML::DoubleQuoted << YAML::EscapeNonAscii << latin1;
}

std::optional<std::string> BytesFromLatin1(std::string_view utf8) {
  std::string bytes;
  for (size_t at = 0; at < utf8.size();) {
    const std::optional<char32_t> cp = DecodeUtf8(utf8, at);
    if (!cp || *cp > 0xFF) return std::nullopt;
    bytes += static_cast<char>(*cp);
  }
  return bytes;
}

void EmitName(YAML::Emitter& out, std::string_view name) {
  if (IsValidUtf8(name)) {
    EmitString(out, name);
  } else {
    EmitBytes(out, name);
  }
}

std::string ReadName(const YAML::Node& node, const std::string& where) {
  if (!node.IsScalar()) throw SourceError(where + ": expected a name");
  if (node.Tag() == kBytesTag) {
    std::optional<std::string> bytes = BytesFromLatin1(node.Scalar());
    if (!bytes) throw SourceError(where + ": a !bytes text may only hold characters up to \\xff");
    return *bytes;
  }
  if (!IsStringTag(node.Tag())) throw SourceError(where + ": unexpected tag " + node.Tag());
  return node.Scalar();
}

SourceText::SourceText(int code_page) : m_code_page(code_page) {
  if (code_page <= 0 || !IsKnownCodePage(code_page)) {
    throw SourceError("code page " + std::to_string(code_page) + " is not supported");
  }
}

// The conversions replace what they cannot convert, so a conversion counts
// only when converting back gives the input again.
std::optional<std::string> SourceText::ToUtf8(std::string_view bytes) const {
  if (IsAscii(bytes)) return std::string(bytes);
  std::string utf8 = morvane::ToUtf8(bytes, m_code_page);
  if (morvane::FromUtf8(utf8, m_code_page) != bytes) return std::nullopt;
  return utf8;
}

std::optional<std::string> SourceText::FromUtf8(std::string_view utf8) const {
  if (IsAscii(utf8)) return std::string(utf8);
  std::string bytes = morvane::FromUtf8(utf8, m_code_page);
  if (morvane::ToUtf8(bytes, m_code_page) != utf8) return std::nullopt;
  return bytes;
}

void SourceText::EmitText(YAML::Emitter& out, std::string_view bytes) const {
  if (std::optional<std::string> utf8 = ToUtf8(bytes)) {
    EmitString(out, *utf8);
  } else {
    EmitBytes(out, bytes);
  }
}

std::string SourceText::ReadText(const YAML::Node& node, const std::string& where) const {
  if (node.IsNull()) return {};
  if (!node.IsScalar()) throw SourceError(where + ": expected a text");
  if (node.Tag() == kBytesTag) return ReadName(node, where);
  if (!IsStringTag(node.Tag())) {
    throw SourceError(where + ": unexpected tag " + node.Tag() + " (texts take !bytes only)");
  }
  std::optional<std::string> bytes = FromUtf8(node.Scalar());
  if (!bytes) {
    throw SourceError(where + ": the text has characters outside code page " +
                      std::to_string(m_code_page) + " (write it as a !bytes string)");
  }
  return *bytes;
}

std::optional<std::string> SourceText::ScriptFileText(std::string_view script) const {
  for (char c : script) {
    const auto b = static_cast<uint8_t>(c);
    if ((b < 0x20 && c != '\r' && c != '\t') || b == 0x7F) return std::nullopt;
  }
  std::optional<std::string> utf8 = ToUtf8(script);
  if (!utf8) return std::nullopt;
  // C1 controls would be invisible in a text file.
  for (size_t at = 0; at < utf8->size();) {
    const char32_t cp = *DecodeUtf8(*utf8, at);
    if (cp >= 0x80 && cp <= 0x9F) return std::nullopt;
  }
  for (char& c : *utf8)
    if (c == '\r') c = '\n';
  return utf8;
}

std::string SourceText::ScriptFromFile(std::string_view file_text,
                                       const std::string& file_name) const {
  std::string text;
  text.reserve(file_text.size());
  for (size_t i = 0; i < file_text.size(); ++i) {
    if (file_text[i] == '\r' && i + 1 < file_text.size() && file_text[i + 1] == '\n') continue;
    text += file_text[i] == '\n' ? '\r' : file_text[i];
  }
  if (!IsValidUtf8(text)) throw SourceError(file_name + ": the file is not valid UTF-8");
  std::optional<std::string> bytes = FromUtf8(text);
  if (!bytes) {
    // Name the line so that the author can find the character.
    size_t line_start = 0;
    int line = 1;
    for (size_t at = 0; at <= text.size(); ++at) {
      if (at < text.size() && text[at] != '\r') continue;
      if (!FromUtf8(std::string_view(text).substr(line_start, at - line_start))) break;
      line_start = at + 1;
      ++line;
    }
    throw SourceError(file_name + ":" + std::to_string(line) +
                      ": a character is outside code page " + std::to_string(m_code_page));
  }
  return *bytes;
}

bool SourceText::ScriptFitsInline(std::string_view script) const {
  for (char c : script) {
    const auto b = static_cast<uint8_t>(c);
    if (b < 0x20 || b == 0x7F) return false;
  }
  std::optional<std::string> utf8 = ToUtf8(script);
  if (!utf8) return false;
  for (size_t at = 0; at < utf8->size();) {
    const char32_t cp = *DecodeUtf8(*utf8, at);
    if (cp >= 0x80 && cp <= 0xA0) return false;
  }
  return true;
}

std::string SourceText::ReadInlineScript(const YAML::Node& node, const std::string& where) const {
  if (node.IsScalar() && node.Tag() == kBytesTag) return ReadText(node, where);
  std::string text = ReadText(node, where);
  std::string script;
  script.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    script += text[i] == '\n' ? '\r' : text[i];
  }
  return script;
}

}  // namespace morvane
