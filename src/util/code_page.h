#pragma once

// Conversion between the 8-bit text of a project (in a Windows code page) and
// UTF-8, the form used at the edges: drawing, file names, the clipboard.
//
// Code pages are given by their Windows numbers (1252, 1256, 932, 65001 ...).
// A code page the system cannot convert is treated as 1252. The functions are
// safe to call from any thread.

#include <string>
#include <string_view>

namespace morvane {

constexpr int kDefaultCodePage = 1252;

// Bytes that do not form a character of the code page become U+FFFD.
std::string ToUtf8(std::string_view bytes, int code_page);

// Characters the code page cannot represent, and bytes that are not valid
// UTF-8, become "?".
std::string FromUtf8(std::string_view utf8, int code_page);

// The code page for a font's character set: 0 (ANSI) and 1 (DEFAULT) and any
// unknown set follow the project's code page; the others have fixed pages
// (178 Arabic 1256, 177 Hebrew 1255, 204 Cyrillic 1251, 128 Japanese 932 ...).
int CodePageForCharset(int charset, int project_code_page);

}  // namespace morvane
