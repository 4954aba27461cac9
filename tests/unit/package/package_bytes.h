#pragma once

// Builds package bytes record by record, for tests that need exact bytes.

#include <string>
#include <string_view>

#include "package/scramble.h"

namespace morvane::testing {

class PackageBytes {
 public:
  explicit PackageBytes(uint8_t key) : m_key(key) {}

  // A record whose plain text is scrambled.
  PackageBytes& Rec(std::string_view plain) { return Raw(Scramble(plain, m_key)); }
  // A record stored as it is.
  PackageBytes& Raw(std::string_view stored) {
    m_bytes += stored;
    m_bytes += kRecordSeparator;
    return *this;
  }
  // A tagged record: tag and content scrambled, byte 5 the raw 05.
  PackageBytes& Tag(std::string_view tag, std::string_view content) {
    return Raw(Scramble(tag, m_key) + '\x05' + Scramble(content, m_key));
  }
  // Bytes that end no record.
  PackageBytes& Tail(std::string_view stored) {
    m_bytes += stored;
    return *this;
  }
  // The usual header: signature, title, options and slots 3 to 10.
  PackageBytes& Header(std::string_view title = "Demo") {
    Rec("QMC1");
    Rec(title);
    std::string options(15, '\0');
    options[6] = 1;  // hint follows the pointer
    Raw(options + Scramble("2500", m_key));
    Rec("500");
    Raw(std::string("\0\0", 2));
    Rec("");
    for (int slot = 6; slot <= 9; ++slot) Rec("");
    return Rec("\x03\x04\x05 \x03\x04\x05 \x03\x04\x05");
  }
  // A page header and its 23 page records, all with plain values.
  PackageBytes& Page(std::string_view name) {
    Tag("FORM", name);
    Rec(name);                                // 12 caption
    Rec("640");                               // 13
    Rec("480");                               // 14
    for (int slot = 15; slot <= 22; ++slot) Rec("0");
    Rec("");                                  // 23
    Raw(PageOptions());                       // 24
    Rec("");                                  // 25
    for (int slot = 26; slot <= 29; ++slot) Rec("0");
    Rec("");                                  // 30
    for (int slot = 31; slot <= 34; ++slot) Rec("");
    return *this;
  }
  std::string PageOptions() const {
    std::string plain(35, '\0');
    plain[1] = '0';
    plain[10] = '0';
    plain[21] = '0';
    std::string stored = Scramble(plain, m_key);
    stored[22] = stored[23] = stored[24] = 0;
    return stored;
  }

  const std::string& bytes() const { return m_bytes; }
  uint8_t key() const { return m_key; }

 private:
  uint8_t m_key;
  std::string m_bytes;
};

}  // namespace morvane::testing
