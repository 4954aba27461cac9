#pragma once

// HTTP downloads of scripts: one GET carrying "Cache-Control: no-cache",
// its body written into a file. Only http and https addresses are fetched.

#include <stdexcept>
#include <string_view>

#include "platform/drive_table.h"

namespace morvane {

// A transfer that failed, with the HTTP library's own message.
class HttpError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Creates (or empties) the file at the Windows path `path` first, raising
// FileError (platform/file_actions.h) before any traffic when it cannot, then
// fetches `url` into it. A failed transfer (no such host, a refused
// connection, an HTTP error status) raises HttpError; the file stays behind,
// possibly empty or incomplete. Redirects are followed.
void DownloadToFile(const DriveTable& drives, std::string_view url, std::string_view path);

}  // namespace morvane
