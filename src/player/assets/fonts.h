#pragma once

// Fonts as the author saw them: Windows font names mapped to installed fonts
// with the same metrics, project fonts registered for the run, and package
// texts decoded through the code page of their font's character set.

#include <QFont>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace morvane {

// Installs the substitution table (QFont::insertSubstitution): each Windows
// family is tried as its own name first, then as its substitutes, then
// fontconfig picks. Fonts that ship outside fontconfig's folders (the Tahoma
// and MS Sans Serif replacements) are added to the application the first
// time a project asks for them. Call once, after the application exists.
void InstallFontSubstitutes();

// The substitutes of a Windows family, best first; empty for unknown names.
std::vector<std::string> FontSubstitutesFor(std::string_view windows_family);

// A font for a package font name (bytes in the project's code page), size in
// points and character set.
QFont WindowsFont(std::string_view name, int point_size, int charset, int project_code_page);

// The largest point size a font is drawn at: a package or a script may give
// any number, and the glyphs of a larger one would cost more memory than
// any page could show.
inline constexpr int kMaxFontPoints = 1638;
// A point size as fonts take it: 8 for none or less, at most kMaxFontPoints.
inline int FontPoints(int64_t size) {
  return size > 0 ? int(std::min<int64_t>(size, kMaxFontPoints)) : 8;
}

// Package bytes drawn as text: decoded through the code page of the charset.
QString PackageText(std::string_view bytes, int charset, int project_code_page);

// Fonts registered for the run (the project's FONT records).
class RunFonts {
 public:
  RunFonts() = default;
  RunFonts(const RunFonts&) = delete;
  RunFonts& operator=(const RunFonts&) = delete;
  ~RunFonts() { UnregisterAll(); }

  // False when the file is missing or holds no font.
  bool Register(const std::string& host_path);
  void UnregisterAll();
  size_t size() const { return m_ids.size(); }

 private:
  std::vector<int> m_ids;
};

}  // namespace morvane
