#include "platform/command_line_record.h"

namespace morvane {

std::string EncodeCommandLine(const std::vector<std::string>& elements) {
  std::string record;
  for (const std::string& element : elements) {
    record += element;
    record += kCommandLineSeparator;
  }
  return record;
}

std::vector<std::string> DecodeCommandLine(std::string_view record) {
  record = record.substr(0, record.find('\0'));
  std::vector<std::string> pieces;
  for (size_t cut = record.find(kCommandLineSeparator); cut != std::string_view::npos;
       cut = record.find(kCommandLineSeparator)) {
    pieces.emplace_back(record.substr(0, cut));
    record.remove_prefix(cut + 1);
  }
  return pieces;
}

std::string InstanceKey(std::string_view title, uint64_t package_size) {
  return std::string(title) + std::to_string(package_size);
}

}  // namespace morvane
