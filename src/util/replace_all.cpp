#include "util/replace_all.h"

namespace morvane {

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  if (from.empty()) return;
  size_t at = text.find(from);
  if (at == std::string::npos) return;
  std::string out;
  size_t done = 0;
  for (; at != std::string::npos; at = text.find(from, done)) {
    out.append(text, done, at - done);
    out.append(to);
    done = at + from.size();
  }
  out.append(text, done);
  text = std::move(out);
}

}  // namespace morvane
