#include "package/project_summary.h"

#include <cstdio>
#include <map>
#include <sstream>

#include "package/source_folder.h"
#include "platform/trailer.h"

namespace morvane {
namespace {

std::string Escape(uint8_t b) {
  switch (b) {
    case '\r':
      return "\\r";
    case '\n':
      return "\\n";
    case '\t':
      return "\\t";
    default:
      break;
  }
  char hex[8];
  std::snprintf(hex, sizeof hex, "\\x%02x", b);
  return hex;
}

std::string Plural(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

std::string DisplayText(std::string_view bytes, const SourceText& text) {
  std::string out = "\"";
  // Bytes in runs: a run the code page converts is shown as text.
  std::optional<std::string> utf8 = text.ToUtf8(bytes);
  if (utf8) {
    for (char c : *utf8) {
      const auto b = static_cast<uint8_t>(c);
      if (c == '"' || c == '\\') {
        out += '\\';
        out += c;
      } else if (b < 0x20 || b == 0x7F) {
        out += Escape(b);
      } else {
        out += c;
      }
    }
  } else {
    for (char c : bytes) {
      const auto b = static_cast<uint8_t>(c);
      if (c == '"' || c == '\\') {
        out += '\\';
        out += c;
      } else if (b < 0x20 || b >= 0x7F) {
        out += Escape(b);
      } else {
        out += c;
      }
    }
  }
  return out + "\"";
}

std::string ProjectSummary(const Project& p, const Container& container) {
  const int code_page = GuessCodePage(p);
  std::optional<SourceText> converter;
  try {
    converter.emplace(code_page);
  } catch (const SourceError&) {
    converter.emplace(kDefaultCodePage);
  }
  const auto show = [&](std::string_view bytes) { return DisplayText(bytes, *converter); };

  std::ostringstream out;
  out << "Title:            " << show(p.title) << "\n";
  out << "Package key:      " << static_cast<int>(p.key) << "\n";
  out << "Signature:        " << show(p.signature) << "\n";
  const std::optional<std::string> trailer = container.Trailer();
  out << "Start-up options: ";
  if (trailer) {
    out << show(*trailer) << (WantsLoadingWindow(*trailer) ? " (loading window)" : "") << "\n";
  } else {
    out << "none\n";
  }
  if (code_page != kDefaultCodePage)
    out << "Code page:        " << code_page << " (from the fonts)\n";

  out << "\nPages: " << p.pages.size() << "\n";
  for (size_t i = 0; i < p.pages.size(); ++i) {
    const Page& page = p.pages[i];
    std::map<int, int> per_kind;
    for (const PageObject& o : page.objects) ++per_kind[static_cast<int>(o.kind)];
    out << "  " << (i + 1) << "  " << show(page.name) << "  " << page.client_width << " x "
        << page.client_height << ", " << Plural(page.objects.size(), "object", "objects");
    const char* separator = ": ";
    for (const auto& [kind, count] : per_kind) {
      out << separator << count << " " << ObjectKindName(static_cast<ObjectKind>(kind));
      separator = ", ";
    }
    out << "\n";
  }

  const auto list = [&](const char* heading, const auto& entries, auto describe) {
    if (entries.empty()) return;
    out << "\n" << heading << ": " << entries.size() << "\n";
    for (size_t i = 0; i < entries.size(); ++i)
      out << "  " << (i + 1) << "  " << describe(i, entries[i]) << "\n";
  };
  list("Embedded files", p.embedded_files, [&](size_t i, const EmbeddedFile& e) {
    const std::string name = "DATAE" + std::to_string(i + 1);
    const std::optional<std::string> bytes = container.Resource(name);
    return show(e.path) + "  (" + name + ", " +
           (bytes ? Plural(bytes->size(), "byte", "bytes") : std::string("missing")) + ")";
  });
  list("Fonts", p.fonts, [&](size_t, const FontFile& f) { return show(f.path); });
  list("Cursors", p.cursors, [&](size_t i, const CursorFile& c) {
    return show(c.path) + "  (cursor " + std::to_string(13 + i) + ")";
  });
  list("Databases", p.databases,
       [&](size_t, const TAPDatabase& d) { return show(d.name) + " -> " + show(d.file); });
  if (p.threads.present) {
    out << "\nThread slots: " << p.threads.digits.size() << " (priority digits";
    for (int d : p.threads.digits) out << " " << d;
    out << ")\n";
  }
  list("Functions", p.functions, [&](size_t, const TFunc& f) {
    return show(f.name) + "  shortcut " + show(f.shortcut) + ", thread slot " +
           std::to_string(f.thread_slot);
  });

  const std::vector<std::string> names = container.ResourceNames();
  uint64_t total = 0;
  std::ostringstream rows;
  for (const std::string& name : names) {
    const std::optional<std::string> bytes = container.Resource(name);
    const size_t size = bytes ? bytes->size() : 0;
    total += size;
    bool plain = IsValidUtf8(name);
    for (char c : name) plain = plain && static_cast<uint8_t>(c) >= 0x20 && c != 0x7F;
    const std::string shown = plain ? name : DisplayText(name, *converter);
    char row[64];
    std::snprintf(row, sizeof row, "%12zu bytes", size);
    rows << "  " << shown << std::string(shown.size() < 16 ? 16 - shown.size() : 1, ' ') << row
         << "\n";
  }
  out << "\nResources: " << names.size() << ", " << Plural(total, "byte", "bytes") << "\n"
      << rows.str();
  return out.str();
}

}  // namespace morvane
