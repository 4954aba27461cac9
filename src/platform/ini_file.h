#pragma once

// An INI file with the section and key rules of Windows profile files:
// sections "[name]" and lines "key=value"; names compare ignoring ASCII case
// and surrounding blanks, the first matching section and key win; a value
// loses its surrounding blanks and one pair of matching quotes around it.
// Every read looks at the file afresh; every write rewrites the whole file
// through a new file of its own renamed over the old one, so a reader never
// sees half a file and a player killed while writing leaves the file as it
// was before or after. Writes to one file from the threads of one process
// follow one another, so none is lost. Only a regular file of at most
// kMaxReadBytes is read; anything else reads as missing and is never
// overwritten.

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace morvane {

class IniWriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class IniFile {
 public:
  explicit IniFile(std::string host_path) : m_path(std::move(host_path)) {}
  const std::string& HostPath() const { return m_path; }

  // Nothing when the file, the section or the key is missing.
  std::optional<std::string> Read(std::string_view section, std::string_view key) const;
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view fallback) const;
  // Number text; `fallback` when missing or not a number.
  double ReadFloat(std::string_view section, std::string_view key, double fallback) const;
  // Decimal or hexadecimal integer text ("0x" or "$"); `fallback` otherwise.
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t fallback) const;
  bool ReadBool(std::string_view section, std::string_view key, bool fallback) const;

  // Writes the value, creating the file, section or key as needed. Raises
  // IniWriteError when the file cannot be written.
  void Write(std::string_view section, std::string_view key, std::string_view value);

 private:
  std::string m_path;
};

}  // namespace morvane
