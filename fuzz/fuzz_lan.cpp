// Reads arbitrary bytes as a LAN peer would send them, in two pieces, and
// as a command-line record a later start would hand over. Neither may crash
// or hold more than its bound; a complete line holds no LF and fits the
// bound, and a decoded record encodes back to what decodes the same.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/command_line_record.h"
#include "platform/lan_wire.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 65536) return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  constexpr size_t kMaxLine = 64;
  const size_t cut = size ? data[0] % (size + 1) : 0;
  morvane::LanLineReader reader(kMaxLine);
  reader.Feed(bytes.substr(0, cut));
  reader.Feed(bytes.substr(cut));
  if (reader.state() == morvane::LanLineReader::State::kComplete) {
    const std::string& line = reader.line();
    if (line.size() > kMaxLine || line.find('\n') != std::string::npos) __builtin_trap();
    if (auto name = morvane::LanAnnouncedName(line)) {
      if (morvane::LanFileAnnouncement(*name) != line + "\r\n") __builtin_trap();
    }
  } else if (!reader.line().empty() && reader.state() == morvane::LanLineReader::State::kTooLong) {
    __builtin_trap();
  }
  const std::vector<std::string> pieces = morvane::DecodeCommandLine(bytes);
  if (morvane::DecodeCommandLine(morvane::EncodeCommandLine(pieces)) != pieces) __builtin_trap();
  return 0;
}
