#include "platform/registry_store.h"

#include <sqlite3.h>

#include <array>

#include "util/ascii_case.h"

namespace morvane {
namespace {

constexpr std::array<const char*, 7> kRoots = {
    "HKEY_CLASSES_ROOT",     "HKEY_CURRENT_USER",   "HKEY_LOCAL_MACHINE", "HKEY_USERS",
    "HKEY_PERFORMANCE_DATA", "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA"};

enum ValueType { kText = 1, kInteger = 2, kDouble = 3, kBool = 4 };

std::vector<std::string> SplitKey(std::string_view path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    const size_t end = std::min(path.find('\\', start), path.size());
    if (end > start) parts.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

// A prepared statement that finalizes itself.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) {
    if (sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK)
      throw RegistryStoreError(sqlite3_errmsg(db));
  }
  ~Statement() { sqlite3_finalize(m_stmt); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  Statement& Bind(int i, int64_t v) {
    sqlite3_bind_int64(m_stmt, i, v);
    return *this;
  }
  Statement& Bind(int i, double v) {
    sqlite3_bind_double(m_stmt, i, v);
    return *this;
  }
  Statement& Bind(int i, std::string_view v) {
    sqlite3_bind_blob(m_stmt, i, v.empty() ? "" : v.data(), static_cast<int>(v.size()),
                      SQLITE_TRANSIENT);
    return *this;
  }
  bool Step() {
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throw RegistryStoreError(sqlite3_errmsg(sqlite3_db_handle(m_stmt)));
  }
  int64_t Int(int col) { return sqlite3_column_int64(m_stmt, col); }
  double Double(int col) { return sqlite3_column_double(m_stmt, col); }
  std::string Text(int col) {
    const void* data = sqlite3_column_blob(m_stmt, col);
    const int size = sqlite3_column_bytes(m_stmt, col);
    return data ? std::string(static_cast<const char*>(data), static_cast<size_t>(size))
                : std::string();
  }

 private:
  sqlite3_stmt* m_stmt = nullptr;
};

// BEGIN IMMEDIATE ... COMMIT, rolled back when left by an exception.
class Transaction {
 public:
  explicit Transaction(sqlite3* db) : m_db(db) { Run("BEGIN IMMEDIATE"); }
  ~Transaction() {
    if (!m_done) sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  void Commit() {
    Run("COMMIT");
    m_done = true;
  }

 private:
  void Run(const char* sql) {
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
      throw RegistryStoreError(sqlite3_errmsg(m_db));
  }
  sqlite3* m_db;
  bool m_done = false;
};

}  // namespace

RegistryStore::RegistryStore(const std::string& file) {
  if (sqlite3_open_v2(file.c_str(), &m_db,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                      nullptr) != SQLITE_OK) {
    const std::string message = m_db ? sqlite3_errmsg(m_db) : "out of memory";
    sqlite3_close(m_db);
    throw RegistryStoreError("cannot open the registry " + file + ": " + message);
  }
  sqlite3_busy_timeout(m_db, 10000);
  Exec("PRAGMA journal_mode=WAL");
  Exec("PRAGMA synchronous=FULL");
  Exec(
      "CREATE TABLE IF NOT EXISTS keys(id INTEGER PRIMARY KEY, parent INTEGER NOT NULL,"
      " name BLOB NOT NULL, lname BLOB NOT NULL, UNIQUE(parent, lname));"
      "CREATE TABLE IF NOT EXISTS vals(key INTEGER NOT NULL, name BLOB NOT NULL,"
      " lname BLOB NOT NULL, type INTEGER NOT NULL, value, seq INTEGER PRIMARY KEY,"
      " UNIQUE(key, lname))");
}

RegistryStore::~RegistryStore() {
  sqlite3_close(m_db);
}

void RegistryStore::Exec(const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(m_db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    const std::string message = error ? error : "unknown error";
    sqlite3_free(error);
    throw RegistryStoreError(message);
  }
}

std::optional<std::string> RegistryStore::RootName(std::string_view name) {
  const std::string upper = AsciiUpper(name);
  for (const char* root : kRoots) {
    if (upper == root) return std::string(root);
  }
  return std::nullopt;
}

// Roots are keys with parent 0; their ids are found like any other key.
std::optional<int64_t> RegistryStore::FindKey(std::string_view root, std::string_view path) {
  const std::optional<std::string> root_name = RootName(root);
  if (!root_name) return std::nullopt;
  std::vector<std::string> parts = SplitKey(path);
  parts.insert(parts.begin(), *root_name);
  int64_t id = 0;
  for (const std::string& part : parts) {
    Statement find(m_db, "SELECT id FROM keys WHERE parent = ? AND lname = ?");
    find.Bind(1, id).Bind(2, std::string_view(AsciiLower(part)));
    if (!find.Step()) return std::nullopt;
    id = find.Int(0);
  }
  return id;
}

std::optional<int64_t> RegistryStore::MakeKey(std::string_view root, std::string_view path) {
  const std::optional<std::string> root_name = RootName(root);
  if (!root_name) return std::nullopt;
  std::vector<std::string> parts = SplitKey(path);
  parts.insert(parts.begin(), *root_name);
  int64_t id = 0;
  for (const std::string& part : parts) {
    const std::string lower = AsciiLower(part);
    Statement insert(m_db, "INSERT OR IGNORE INTO keys(parent, name, lname) VALUES(?, ?, ?)");
    insert.Bind(1, id).Bind(2, std::string_view(part)).Bind(3, std::string_view(lower));
    insert.Step();
    Statement find(m_db, "SELECT id FROM keys WHERE parent = ? AND lname = ?");
    find.Bind(1, id).Bind(2, std::string_view(lower));
    if (!find.Step()) return std::nullopt;
    id = find.Int(0);
  }
  return id;
}

bool RegistryStore::KeyExists(std::string_view root, std::string_view path) {
  std::lock_guard lock(m_mutex);
  return FindKey(root, path).has_value();
}

bool RegistryStore::CreateKey(std::string_view root, std::string_view path) {
  std::lock_guard lock(m_mutex);
  Transaction transaction(m_db);
  const bool made = MakeKey(root, path).has_value();
  transaction.Commit();
  return made;
}

bool RegistryStore::DeleteKey(std::string_view root, std::string_view path) {
  std::lock_guard lock(m_mutex);
  if (SplitKey(path).empty()) return false;  // never a root
  Transaction transaction(m_db);
  const std::optional<int64_t> id = FindKey(root, path);
  if (!id) return false;
  static const char* kSubtree =
      "WITH RECURSIVE sub(id) AS (SELECT ? UNION ALL SELECT k.id FROM keys k JOIN sub ON "
      "k.parent = sub.id) ";
  Statement values(m_db, (std::string(kSubtree) + "DELETE FROM vals WHERE key IN sub").c_str());
  values.Bind(1, *id).Step();
  Statement keys(m_db, (std::string(kSubtree) + "DELETE FROM keys WHERE id IN sub").c_str());
  keys.Bind(1, *id).Step();
  transaction.Commit();
  return true;
}

std::vector<std::string> RegistryStore::NamesOfKey(std::string_view root, std::string_view path,
                                                   const char* select) {
  std::lock_guard lock(m_mutex);
  std::vector<std::string> names;
  const std::optional<int64_t> id = FindKey(root, path);
  if (!id) return names;
  Statement list(m_db, select);
  list.Bind(1, *id);
  while (list.Step()) names.push_back(list.Text(0));
  return names;
}

std::vector<std::string> RegistryStore::SubKeys(std::string_view root, std::string_view path) {
  return NamesOfKey(root, path, "SELECT name FROM keys WHERE parent = ? ORDER BY id");
}

std::vector<std::string> RegistryStore::ValueNames(std::string_view root, std::string_view path) {
  return NamesOfKey(root, path, "SELECT name FROM vals WHERE key = ? ORDER BY seq");
}

std::optional<RegistryValue> RegistryStore::GetValue(std::string_view root, std::string_view path,
                                                     std::string_view name) {
  std::lock_guard lock(m_mutex);
  const std::optional<int64_t> id = FindKey(root, path);
  if (!id) return std::nullopt;
  Statement get(m_db, "SELECT type, value FROM vals WHERE key = ? AND lname = ?");
  get.Bind(1, *id).Bind(2, std::string_view(AsciiLower(name)));
  if (!get.Step()) return std::nullopt;
  switch (get.Int(0)) {
    case kText:
      return RegistryValue(get.Text(1));
    case kInteger:
      return RegistryValue(static_cast<int32_t>(get.Int(1)));
    case kDouble:
      return RegistryValue(get.Double(1));
    case kBool:
      return RegistryValue(get.Int(1) != 0);
    default:
      return std::nullopt;
  }
}

bool RegistryStore::SetValue(std::string_view root, std::string_view path, std::string_view name,
                             const RegistryValue& value) {
  std::lock_guard lock(m_mutex);
  Transaction transaction(m_db);
  const std::optional<int64_t> id = FindKey(root, path);
  if (!id) return false;
  const std::string lower = AsciiLower(name);
  // An existing value keeps its place (and first spelling) in the key.
  Statement update(m_db, "UPDATE vals SET type = ?, value = ? WHERE key = ? AND lname = ?");
  Statement insert(m_db, "INSERT INTO vals(type, value, key, lname, name) VALUES(?, ?, ?, ?, ?)");
  for (Statement* statement : {&update, &insert}) {
    std::visit(
        [&](const auto& v) {
          using T = std::decay_t<decltype(v)>;
          if constexpr (std::is_same_v<T, std::string>) {
            statement->Bind(1, int64_t{kText}).Bind(2, std::string_view(v));
          } else if constexpr (std::is_same_v<T, int32_t>) {
            statement->Bind(1, int64_t{kInteger}).Bind(2, int64_t{v});
          } else if constexpr (std::is_same_v<T, double>) {
            statement->Bind(1, int64_t{kDouble}).Bind(2, v);
          } else {
            statement->Bind(1, int64_t{kBool}).Bind(2, int64_t{v ? 1 : 0});
          }
        },
        value);
    statement->Bind(3, *id).Bind(4, std::string_view(lower));
  }
  update.Step();
  if (sqlite3_changes(m_db) == 0) {
    insert.Bind(5, name);
    insert.Step();
  }
  transaction.Commit();
  return true;
}

bool RegistryStore::DeleteValue(std::string_view root, std::string_view path,
                                std::string_view name) {
  std::lock_guard lock(m_mutex);
  Transaction transaction(m_db);
  const std::optional<int64_t> id = FindKey(root, path);
  if (!id) return false;
  Statement remove(m_db, "DELETE FROM vals WHERE key = ? AND lname = ?");
  remove.Bind(1, *id).Bind(2, std::string_view(AsciiLower(name))).Step();
  const bool removed = sqlite3_changes(m_db) > 0;
  transaction.Commit();
  return removed;
}

RegistryAccessor::RegistryAccessor(RegistryStore* store) : m_store(store) {}

void RegistryAccessor::SetRoot(std::string_view name) {
  std::lock_guard lock(m_mutex);
  m_root = RegistryStore::RootName(name);
}

void RegistryAccessor::CloseKey() {
  std::lock_guard lock(m_mutex);
  m_open_key.reset();
}

std::string RegistryAccessor::Resolve(std::string_view key) const {
  if (!key.empty() && key[0] == '\\') return std::string(key);
  if (!m_open_key) return std::string(key);
  return *m_open_key + "\\" + std::string(key);
}

bool RegistryAccessor::OpenKey(std::string_view key, bool create) {
  std::lock_guard lock(m_mutex);
  if (!m_store || !m_root) return false;
  const std::string path = Resolve(key);
  const bool ok = create ? m_store->CreateKey(*m_root, path) : m_store->KeyExists(*m_root, path);
  if (ok) m_open_key = path;
  return ok;
}

bool RegistryAccessor::CreateKey(std::string_view key) {
  std::lock_guard lock(m_mutex);
  return m_store && m_root && m_store->CreateKey(*m_root, Resolve(key));
}

bool RegistryAccessor::DeleteKey(std::string_view key) {
  std::lock_guard lock(m_mutex);
  return m_store && m_root && m_store->DeleteKey(*m_root, Resolve(key));
}

bool RegistryAccessor::KeyExists(std::string_view key) {
  std::lock_guard lock(m_mutex);
  return m_store && m_root && m_store->KeyExists(*m_root, Resolve(key));
}

bool RegistryAccessor::HasOpenKey() {
  std::lock_guard lock(m_mutex);
  return m_open_key.has_value();
}

std::optional<RegistryValue> RegistryAccessor::Read(std::string_view name) {
  std::lock_guard lock(m_mutex);
  if (!m_store || !m_root || !m_open_key) return std::nullopt;
  return m_store->GetValue(*m_root, *m_open_key, name);
}

bool RegistryAccessor::ValueExists(std::string_view name) {
  return Read(name).has_value();
}

namespace {
[[noreturn]] void InvalidType(std::string_view name) {
  throw RegistryError("Invalid data type for '" + std::string(name) + "'");
}
}  // namespace

std::string RegistryAccessor::ReadString(std::string_view name) {
  const std::optional<RegistryValue> value = Read(name);
  if (!value || !std::holds_alternative<std::string>(*value)) InvalidType(name);
  return std::get<std::string>(*value);
}

// Truth values are stored as integers by the system this emulates, so each
// reads as the other.
int32_t RegistryAccessor::ReadInteger(std::string_view name) {
  const std::optional<RegistryValue> value = Read(name);
  if (value && std::holds_alternative<int32_t>(*value)) return std::get<int32_t>(*value);
  if (value && std::holds_alternative<bool>(*value)) return std::get<bool>(*value) ? 1 : 0;
  InvalidType(name);
}

bool RegistryAccessor::ReadBool(std::string_view name) {
  return ReadInteger(name) != 0;
}

double RegistryAccessor::ReadFloat(std::string_view name) {
  const std::optional<RegistryValue> value = Read(name);
  if (!value || !std::holds_alternative<double>(*value)) InvalidType(name);
  return std::get<double>(*value);
}

void RegistryAccessor::Write(std::string_view name, const RegistryValue& value) {
  std::lock_guard lock(m_mutex);
  bool ok = false;
  try {
    ok = m_store && m_root && m_open_key && m_store->SetValue(*m_root, *m_open_key, name, value);
  } catch (const RegistryStoreError&) {
    ok = false;
  }
  if (!ok) throw RegistryError("Failed to set data for '" + std::string(name) + "'");
}

}  // namespace morvane
