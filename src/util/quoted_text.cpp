#include "util/quoted_text.h"

#include <algorithm>
#include <utility>

namespace morvane {

size_t FindOutsideQuotes(std::string_view text, char c, size_t from) {
  bool quoted = false;
  for (size_t i = from; i < text.size(); ++i) {
    if (text[i] == '"') {
      quoted = !quoted;
    } else if (!quoted && text[i] == c) {
      return i;
    }
  }
  return std::string_view::npos;
}

size_t FindOutsideQuotes(std::string_view text, std::string_view needle, size_t from) {
  if (needle.empty()) return from <= text.size() ? from : std::string_view::npos;
  bool quoted = false;
  for (size_t i = from; i < text.size(); ++i) {
    if (!quoted && text.substr(i, needle.size()) == needle) return i;
    if (text[i] == '"') quoted = !quoted;
  }
  return std::string_view::npos;
}

size_t FindOutsideQuotesAndParens(std::string_view text, char c, size_t from) {
  bool quoted = false;
  size_t depth = 0;
  for (size_t i = from; i < text.size(); ++i) {
    const char here = text[i];
    if (here == '"') {
      quoted = !quoted;
      continue;
    }
    if (quoted) continue;
    if (here == c && depth == 0) return i;
    if (here == '(') {
      ++depth;
    } else if (here == ')' && depth > 0) {
      --depth;
    }
  }
  return std::string_view::npos;
}

size_t CountOutsideQuotes(std::string_view text, char c) {
  size_t count = 0;
  bool quoted = false;
  for (char here : text) {
    if (here == '"') {
      quoted = !quoted;
    } else if (!quoted && here == c) {
      ++count;
    }
  }
  return count;
}

ActionLineParts SplitActionLine(std::string_view line) {
  ActionLineParts parts;
  const size_t open = line.find('(');
  if (open == std::string_view::npos) return parts;
  size_t piece = 0;
  size_t piece_start = open + 1;
  bool quoted = false;
  size_t i = open + 1;
  for (; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && c == ')') {
      break;
    } else if (!quoted && c == ',') {
      if (piece < kActionArgumentCount)
        parts.arguments[piece] = line.substr(piece_start, i - piece_start);
      ++piece;
      piece_start = i + 1;
    }
  }
  if (piece < kActionArgumentCount)
    parts.arguments[piece] = line.substr(piece_start, i - piece_start);
  if (i < line.size()) parts.tail = line.substr(i + 1);
  return parts;
}

std::vector<std::string_view> SplitCallArguments(std::string_view text, int count) {
  std::vector<std::string_view> args;
  size_t start = 0;
  for (int i = 1; i < count; ++i) {
    const size_t comma = FindOutsideQuotes(text, ',', start);
    if (comma == std::string_view::npos) break;
    args.push_back(text.substr(start, comma - start));
    start = comma + 1;
  }
  args.push_back(text.substr(std::min(start, text.size())));
  while (static_cast<int>(args.size()) < count) args.emplace_back();
  return args;
}

ActionArguments SplitActionArguments(std::string_view line) {
  return std::move(SplitActionLine(line).arguments);
}

}  // namespace morvane
