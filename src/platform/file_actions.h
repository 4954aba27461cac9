#pragma once

// The file operations of scripts on Windows paths. Every path goes through
// the drive table; one it cannot map fails like a missing file, so nothing
// outside the table is ever touched. Names are 8-bit texts of the drive
// table's code page.

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/drive_table.h"

namespace morvane {

// A failure with the message scripts see.
class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Copies a regular file, replacing the target; false when it cannot.
bool CopyFileReplacing(const DriveTable& drives, std::string_view from, std::string_view to);
// Moves (or renames) a file or folder; false when the target exists or the
// move fails. Between file systems only regular files move.
bool MoveFileNoReplace(const DriveTable& drives, std::string_view from, std::string_view to);
// Deletes a file, never a folder; false when it cannot.
bool DeleteFileOnly(const DriveTable& drives, std::string_view path);

// Writes the bytes to the file, replacing it. Raises FileError
// "Cannot create file "<path>". <reason>" when the file cannot be written.
void WriteWholeFile(const DriveTable& drives, std::string_view path, std::string_view bytes);

// The folder search of scripts: the names (no folder) of the entries of
// `folder` matching `mask` that the keywords in `kinds` admit, "." and ".."
// included, in the order the folder lists them. Empty when the folder cannot
// be read.
std::vector<std::string> SearchFolder(const DriveTable& drives, std::string_view mask,
                                      std::string_view folder, std::string_view kinds,
                                      int code_page = kDefaultCodePage);

// A Windows name pattern: "*" any run of characters, "?" one, letters compare
// ignoring case; "*.*" matches every name.
bool WildcardMatch(std::string_view pattern, std::string_view name);

// What decides whether an entry found by SearchFolder is kept.
struct EntryAttributes {
  bool read_only = false;
  bool hidden = false;
  bool system = false;
  bool volume_label = false;
  bool directory = false;
  bool archive = false;
  bool symlink = false;
};
bool SearchAdmits(std::string_view kinds, const EntryAttributes& entry);

// Writes `data` into the trailer of another player executable: the last block
// is read, its bytes from the second on are overwritten by `data`, and the
// block is appended again with its new length. Nothing happens when the file
// is missing or carries no trailer; raises FileError "This file is not an
// Morvane executable file." when the block does not start with "0" or "1",
// and "Failed to set data." when reading or writing fails.
void WritePlayerData(const DriveTable& drives, std::string_view path, std::string_view data);

}  // namespace morvane
