#pragma once

// The registry the player emulates: a tree of keys under seven root keys,
// each key holding typed values, kept in one SQLite database file in the
// player's prefix. Every change is one transaction, so a crash loses nothing
// that was reported done, and several players may use the file at once.
//
// Key and value names are 8-bit texts of the project's code page and compare
// ignoring ASCII case, as Windows does; the spelling of the first writer is
// kept.

#include <cstdint>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

struct sqlite3;

namespace morvane {

// A value: text, 32-bit integer, double or truth value.
using RegistryValue = std::variant<std::string, int32_t, double, bool>;

class RegistryStoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class RegistryStore {
 public:
  // Opens or creates the database; throws RegistryStoreError when it cannot.
  explicit RegistryStore(const std::string& file);
  ~RegistryStore();
  RegistryStore(const RegistryStore&) = delete;
  RegistryStore& operator=(const RegistryStore&) = delete;

  // The canonical root key name for a name in any case, or nothing.
  static std::optional<std::string> RootName(std::string_view name);

  // `path` is a key path below the root: components separated by "\";
  // empty components are skipped, so "" is the root itself.
  bool KeyExists(std::string_view root, std::string_view path);
  // Creates the key and the keys above it; false when the root is not valid.
  bool CreateKey(std::string_view root, std::string_view path);
  // Deletes the key with everything below it; false when it does not exist.
  bool DeleteKey(std::string_view root, std::string_view path);
  // The names of the key's subkeys and values, in creation order.
  std::vector<std::string> SubKeys(std::string_view root, std::string_view path);
  std::vector<std::string> ValueNames(std::string_view root, std::string_view path);

  std::optional<RegistryValue> GetValue(std::string_view root, std::string_view path,
                                        std::string_view name);
  // False when the key does not exist.
  bool SetValue(std::string_view root, std::string_view path, std::string_view name,
                const RegistryValue& value);
  bool DeleteValue(std::string_view root, std::string_view path, std::string_view name);

 private:
  std::optional<int64_t> FindKey(std::string_view root, std::string_view path);
  std::optional<int64_t> MakeKey(std::string_view root, std::string_view path);
  // The names `select` lists for the key's id, in its order; none for a
  // missing key.
  std::vector<std::string> NamesOfKey(std::string_view root, std::string_view path,
                                      const char* select);
  void Exec(const char* sql);

  std::mutex m_mutex;  // one connection, used by one thread at a time
  sqlite3* m_db = nullptr;
};

// The process-wide registry accessor of the scripts: a current root key
// (HKEY_CURRENT_USER at start) and at most one open key. Thread-safe.
class RegistryAccessor {
 public:
  explicit RegistryAccessor(RegistryStore* store);

  // Selects the root by name; an unknown name selects no valid root, and key
  // operations then fail.
  void SetRoot(std::string_view name);
  void CloseKey();
  // Opens `key` (below the open key, or below the root when none is open or
  // the key begins with "\"); with `create`, a missing key is created.
  bool OpenKey(std::string_view key, bool create);
  bool CreateKey(std::string_view key);
  bool DeleteKey(std::string_view key);
  bool KeyExists(std::string_view key);
  bool HasOpenKey();

  bool ValueExists(std::string_view name);
  // The readers raise RegistryError "Invalid data type for '<name>'" for a
  // missing value or one of another type.
  std::string ReadString(std::string_view name);
  int32_t ReadInteger(std::string_view name);
  bool ReadBool(std::string_view name);
  double ReadFloat(std::string_view name);
  // The writers raise "Failed to set data for '<name>'" without an open key or
  // when the store refuses.
  void Write(std::string_view name, const RegistryValue& value);

 private:
  std::optional<RegistryValue> Read(std::string_view name);
  std::string Resolve(std::string_view key) const;

  RegistryStore* m_store;
  std::mutex m_mutex;
  // --- The following fields are protected by m_mutex.
  std::optional<std::string> m_root = "HKEY_CURRENT_USER";
  std::optional<std::string> m_open_key;
};

class RegistryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace morvane
