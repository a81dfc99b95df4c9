#include "platform/registry/registry_store.h"

#include <sqlite3.h>
#include <strings.h>

#include <algorithm>
#include <array>
#include <new>
#include <system_error>

#include "platform/root/system_root.h"
#include "support/byte_order.h"

namespace ksv::platform {

namespace {

// Writers wait this long for another process's transaction to end.
constexpr int kBusyTimeoutMs = 10000;

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS registry_value ("
    "  key TEXT NOT NULL COLLATE NOCASE,"
    "  name TEXT NOT NULL COLLATE NOCASE,"
    "  type INTEGER NOT NULL,"
    "  data BLOB NOT NULL,"
    "  PRIMARY KEY (key, name)) WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS registry_key ("
    "  key TEXT NOT NULL COLLATE NOCASE PRIMARY KEY) WITHOUT ROWID";

[[noreturn]] void Fail(sqlite3* db, const std::string& what) {
  throw RegistryError("registry: " + what + ": " + (db ? sqlite3_errmsg(db) : "out of memory"));
}

// One prepared statement for one call: borrowed from the store's idle ones
// with the same text, or prepared, and given back reset. Parsing the text
// cost more than running it, and the driver writes a value at every step
// of a stream.
class Statement {
 public:
  Statement(sqlite3* db, RegistryStore::IdleStatements& idle, const char* sql)
      : db_(db), idle_(idle), sql_(sql) {
    const auto found = std::find_if(idle.begin(), idle.end(),
                                    [sql](const auto& entry) { return entry.first == sql; });
    if (found != idle.end()) {
      statement_ = found->second;
      idle.erase(found);
    } else if (sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr) != SQLITE_OK) {
      Fail(db, "prepare");
    }
  }
  ~Statement() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
    try {
      idle_.emplace_back(sql_, statement_);
    } catch (const std::bad_alloc&) {
      sqlite3_finalize(statement_);
    }
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // The bound text and bytes are not copied: they must outlive the
  // statement, whose end unbinds them (declare them before it).
  void BindText(int index, std::string_view text) {
    Check(sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()),
                            SQLITE_STATIC));
  }
  void BindBlob(int index, std::string_view bytes) {
    // A zero-length blob must still be a blob, not NULL.
    Check(bytes.empty() ? sqlite3_bind_zeroblob(statement_, index, 0)
                        : sqlite3_bind_blob(statement_, index, bytes.data(),
                                            static_cast<int>(bytes.size()), SQLITE_STATIC));
  }
  void BindInt(int index, int64_t value) { Check(sqlite3_bind_int64(statement_, index, value)); }

  // True while a row is available.
  bool Step() {
    const int result = sqlite3_step(statement_);
    if (result == SQLITE_ROW) return true;
    if (result == SQLITE_DONE) return false;
    Fail(db_, "step");
  }
  sqlite3_stmt* get() const { return statement_; }

 private:
  void Check(int result) {
    if (result != SQLITE_OK) Fail(db_, "bind");
  }
  sqlite3* db_;
  RegistryStore::IdleStatements& idle_;
  const char* sql_;
  sqlite3_stmt* statement_ = nullptr;
};

void Exec(sqlite3* db, const char* sql) {
  if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fail(db, sql);
}

// A LIKE pattern (escape '^') matching every key strictly below `normal`;
// below the root that is every key but the root itself.
std::string BelowPattern(const std::string& normal) {
  if (normal.empty()) return "_%";
  std::string below;
  for (char c : normal) {
    if (c == '%' || c == '_' || c == '^') below += '^';
    below += c;
  }
  return below + "\\%";
}

// One write transaction, rolled back unless committed.
class Transaction {
 public:
  explicit Transaction(sqlite3* db) : db_(db) { Exec(db, "BEGIN IMMEDIATE"); }
  ~Transaction() {
    if (!done_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  void Commit() {
    Exec(db_, "COMMIT");
    done_ = true;
  }

 private:
  sqlite3* db_;
  bool done_ = false;
};

std::string ColumnBytes(sqlite3_stmt* statement, int column) {
  const void* bytes = sqlite3_column_blob(statement, column);
  const int size = sqlite3_column_bytes(statement, column);
  if (bytes == nullptr || size <= 0) return std::string();
  return std::string(static_cast<const char*>(bytes), static_cast<size_t>(size));
}

}  // namespace

std::unique_ptr<RegistryStore> RegistryStore::OpenMachineHive() {
  return OpenInRoot("machine.sqlite3");
}

std::unique_ptr<RegistryStore> RegistryStore::OpenUserHive() { return OpenInRoot("user.sqlite3"); }

std::unique_ptr<RegistryStore> RegistryStore::OpenInRoot(const char* fileName) {
  std::filesystem::path folder;
  try {
    folder = SystemRoot() / "registry";
  } catch (const std::runtime_error& error) {
    throw RegistryError(std::string("registry: ") + error.what());
  }
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error)
    throw RegistryError("registry: cannot create " + folder.string() + ": " + error.message());
  return Open(folder / fileName);
}

std::unique_ptr<RegistryStore> RegistryStore::Open(const std::filesystem::path& file) {
  sqlite3* db = nullptr;
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
  if (sqlite3_open_v2(file.c_str(), &db, flags, nullptr) != SQLITE_OK) {
    const std::string message = db ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close(db);
    throw RegistryError("registry: cannot open " + file.string() + ": " + message);
  }
  std::unique_ptr<RegistryStore> store(new RegistryStore(db));
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  // Write-ahead logging lets readers go on while one process writes. Another
  // opener may hold the lock that switching needs; the mode is persistent,
  // so one of them succeeds and the others keep working either way.
  sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
  Exec(db, "PRAGMA synchronous=NORMAL");
  Exec(db, kSchema);
  return store;
}

std::unique_ptr<RegistryStore> RegistryStore::OpenInMemory() {
  std::unique_ptr<RegistryStore> store = Open(":memory:");
  store->keepsValues_ = true;
  return store;
}

namespace {

// How the store's NOCASE columns order text: ASCII letters folded, then
// bytes, the shorter first where one begins the other.
int CompareCaseless(std::string_view a, std::string_view b) {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    const auto fold = [](char c) {
      const auto byte = static_cast<unsigned char>(c);
      return byte >= 'A' && byte <= 'Z' ? byte - 'A' + 'a' : byte;
    };
    if (fold(a[i]) != fold(b[i])) return fold(a[i]) < fold(b[i]) ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// Whether two names or keys are the same to the store; the driver writes
// its values with the same spelling every time, which the first test finds.
bool SameCaseless(std::string_view a, std::string_view b) {
  return a.size() == b.size() && (a == b || CompareCaseless(a, b) == 0);
}

// The value of `values` (in name order) named `name`, or where it would go.
std::vector<RegistryStore::Value>::iterator FindValue(std::vector<RegistryStore::Value>& values,
                                                      std::string_view name) {
  return std::lower_bound(values.begin(), values.end(), name,
                          [](const RegistryStore::Value& value, std::string_view text) {
                            return CompareCaseless(value.name, text) < 0;
                          });
}

bool Named(const std::vector<RegistryStore::Value>& values,
           std::vector<RegistryStore::Value>::iterator at, std::string_view name) {
  return at != values.end() && SameCaseless(at->name, name);
}

}  // namespace

void RegistryStore::ForgetKept() {
  keptValues_.clear();
  lastKept_ = nullptr;
}

bool RegistryStore::Caseless::operator()(std::string_view a, std::string_view b) const {
  return CompareCaseless(a, b) < 0;
}

std::vector<RegistryStore::Value>* RegistryStore::KeptValues(const std::string& normal) {
  if (!keepsValues_) return nullptr;
  // The driver reaches one key again and again.
  if (lastKept_ != nullptr && SameCaseless(lastKept_->first, normal)) return &lastKept_->second;
  const auto found = keptValues_.find(normal);
  if (found == keptValues_.end()) return nullptr;
  lastKept_ = &*found;
  return &found->second;
}

RegistryStore::~RegistryStore() {
  for (const auto& [sql, statement] : idle_) sqlite3_finalize(statement);
  sqlite3_close(db_);
}

std::string RegistryStore::NormaliseKey(std::string_view key) {
  std::string normal;
  size_t at = 0;
  while (at < key.size()) {
    size_t end = key.find('\\', at);
    if (end == std::string_view::npos) end = key.size();
    if (end > at) {
      if (!normal.empty()) normal += '\\';
      normal.append(key.substr(at, end - at));
    }
    at = end + 1;
  }
  return normal;
}

void RegistryStore::Upsert(std::string_view normal, std::string_view name, RegistryType type,
                           std::string_view data) {
  Statement insert(
      db_, idle_,
      "INSERT INTO registry_value (key, name, type, data) VALUES (?1, ?2, ?3, ?4) "
      "ON CONFLICT (key, name) DO UPDATE SET type = excluded.type, data = excluded.data");
  insert.BindText(1, normal);
  insert.BindText(2, name);
  insert.BindInt(3, static_cast<int64_t>(type));
  insert.BindBlob(4, data);
  insert.Step();
}

void RegistryStore::WriteUnwritten() {
  while (!unwritten_.empty()) {
    const Unwritten& first = unwritten_.front();
    Upsert(first.key, first.value.name, first.value.type, first.value.data);
    unwritten_.erase(unwritten_.begin());
  }
}

void RegistryStore::SetValue(std::string_view key, std::string_view name, RegistryType type,
                        std::string_view data) {
  std::lock_guard guard(lock_);
  const std::string normal = NormaliseKey(key);
  if (std::vector<Value>* kept = KeptValues(normal)) {
    const auto at = FindValue(*kept, name);
    const bool known = Named(*kept, at, name);
    if (known && at->type == type && at->data == data) return;
    try {
      // A value keeps the name it was first written with, as the statement
      // does; what is written goes to the hive before any query that could
      // see it, in the order written (a value written again only once).
      const auto same = [&](const Unwritten& entry) {
        return SameCaseless(entry.value.name, name) && SameCaseless(entry.key, normal);
      };
      const auto pending = std::find_if(unwritten_.begin(), unwritten_.end(), same);
      if (pending != unwritten_.end()) {
        pending->value.type = type;
        pending->value.data = std::string(data);
      } else {
        unwritten_.push_back({normal, Value{std::string(name), type, std::string(data)}});
      }
      if (known) {
        at->type = type;
        at->data = std::string(data);
      } else {
        kept->insert(at, Value{std::string(name), type, std::string(data)});
      }
      return;
    } catch (const std::bad_alloc&) {
      // Write through what is kept and keep nothing more.
      ForgetKept();
    }
  }
  WriteUnwritten();
  Upsert(normal, name, type, data);
}

std::optional<std::string> RegistryStore::Get(std::string_view key, std::string_view name,
                                              RegistryType type) {
  std::lock_guard guard(lock_);
  const std::string normal = NormaliseKey(key);
  if (std::vector<Value>* kept = KeptValues(normal)) {
    const auto at = FindValue(*kept, name);
    if (!Named(*kept, at, name) || at->type != type) return std::nullopt;
    return at->data;
  }
  Statement select(db_, idle_,
                   "SELECT type, data FROM registry_value WHERE key = ?1 AND name = ?2");
  select.BindText(1, normal);
  select.BindText(2, name);
  if (!select.Step()) return std::nullopt;
  if (sqlite3_column_int64(select.get(), 0) != static_cast<int64_t>(type)) return std::nullopt;
  return ColumnBytes(select.get(), 1);
}

size_t RegistryStore::SelectValues(const std::string& normal, ValueVisitor visit, void* context) {
  Statement select(db_, idle_,
                   "SELECT name, type, data FROM registry_value WHERE key = ?1 ORDER BY name");
  select.BindText(1, normal);
  size_t count = 0;
  while (select.Step()) {
    const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(select.get(), 0));
    const void* data = sqlite3_column_blob(select.get(), 2);
    const int size = sqlite3_column_bytes(select.get(), 2);
    visit(context, {name != nullptr ? std::string_view(name) : std::string_view(),
                    static_cast<RegistryType>(sqlite3_column_int64(select.get(), 1)),
                    data != nullptr && size > 0
                        ? std::string_view(static_cast<const char*>(data), static_cast<size_t>(size))
                        : std::string_view()});
    ++count;
  }
  return count;
}

const std::vector<RegistryStore::Value>* RegistryStore::KeepValues(const std::string& normal) {
  if (const std::vector<Value>* kept = KeptValues(normal)) return kept;
  if (!keepsValues_) return nullptr;
  std::vector<Value> values;
  SelectValues(normal, &AppendValue, &values);
  try {
    return &keptValues_.emplace(normal, std::move(values)).first->second;
  } catch (const std::bad_alloc&) {
    return nullptr;  // not kept: read again from the hive
  }
}

void RegistryStore::AppendValue(void* values, const ValueView& value) {
  static_cast<std::vector<Value>*>(values)->push_back(
      {std::string(value.name), value.type, std::string(value.data)});
}

std::vector<RegistryStore::Value> RegistryStore::ListValues(std::string_view key) {
  std::lock_guard guard(lock_);
  const std::string normal = NormaliseKey(key);
  if (const std::vector<Value>* kept = KeepValues(normal)) return *kept;
  std::vector<Value> values;
  SelectValues(normal, &AppendValue, &values);
  return values;
}

size_t RegistryStore::VisitValues(std::string_view key, ValueVisitor visit, void* context) {
  std::lock_guard guard(lock_);
  const std::string normal = NormaliseKey(key);
  if (const std::vector<Value>* kept = KeepValues(normal)) {
    for (const Value& value : *kept) visit(context, {value.name, value.type, value.data});
    return kept->size();
  }
  return SelectValues(normal, visit, context);
}

bool RegistryStore::DeleteValue(std::string_view key, std::string_view name) {
  std::lock_guard guard(lock_);
  WriteUnwritten();
  const std::string normal = NormaliseKey(key);
  ForgetKept();
  Statement remove(db_, idle_, "DELETE FROM registry_value WHERE key = ?1 AND name = ?2");
  remove.BindText(1, normal);
  remove.BindText(2, name);
  remove.Step();
  return sqlite3_changes(db_) > 0;
}

void RegistryStore::CreateKey(std::string_view key) {
  std::lock_guard guard(lock_);
  WriteUnwritten();
  const std::string normal = NormaliseKey(key);
  Statement insert(db_, idle_, "INSERT OR IGNORE INTO registry_key (key) VALUES (?1)");
  insert.BindText(1, normal);
  insert.Step();
}

bool RegistryStore::KeyExists(std::string_view key) {
  std::lock_guard guard(lock_);
  WriteUnwritten();
  const std::string normal = NormaliseKey(key);
  if (normal.empty()) return true;  // the hive's root
  const std::string below = BelowPattern(normal);
  Statement select(db_, idle_,
                   "SELECT 1 FROM registry_key WHERE key = ?1 OR key LIKE ?2 ESCAPE '^' "
                   "UNION ALL SELECT 1 FROM registry_value WHERE key = ?1 OR key LIKE ?2 "
                   "ESCAPE '^' LIMIT 1");
  select.BindText(1, normal);
  select.BindText(2, below);
  return select.Step();
}

void RegistryStore::SetDword(std::string_view key, std::string_view name, uint32_t value) {
  // Stored as Windows stores a REG_DWORD: four bytes, little-endian.
  std::array<uint8_t, 4> bytes{};
  support::StoreLe32(bytes, 0, value);
  SetValue(key, name, RegistryType::kDword,
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void RegistryStore::SetString(std::string_view key, std::string_view name, std::string_view text) {
  SetValue(key, name, RegistryType::kString, text);
}

void RegistryStore::SetBinary(std::string_view key, std::string_view name, std::string_view bytes) {
  SetValue(key, name, RegistryType::kBinary, bytes);
}

std::optional<std::string> RegistryStore::GetBinary(std::string_view key, std::string_view name) {
  return Get(key, name, RegistryType::kBinary);
}

std::vector<std::string> RegistryStore::ListSubKeys(std::string_view key) {
  std::lock_guard guard(lock_);
  WriteUnwritten();
  const std::string normal = NormaliseKey(key);
  const size_t skip = normal.empty() ? 0 : normal.size() + 1;
  const std::string pattern = BelowPattern(normal);
  Statement select(db_, idle_,
                   "SELECT key FROM registry_key WHERE key LIKE ?1 ESCAPE '^' "
                   "UNION SELECT key FROM registry_value WHERE key LIKE ?1 ESCAPE '^'");
  select.BindText(1, pattern);
  std::vector<std::string> names;
  while (select.Step()) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(select.get(), 0));
    const std::string_view below = text != nullptr ? std::string_view(text) : std::string_view();
    if (below.size() <= skip) continue;
    const std::string_view rest = below.substr(skip);
    names.emplace_back(rest.substr(0, rest.find('\\')));
  }
  const auto caseless = [](const std::string& a, const std::string& b) {
    return strcasecmp(a.c_str(), b.c_str()) < 0;
  };
  std::sort(names.begin(), names.end(), caseless);
  names.erase(std::unique(names.begin(), names.end(),
                          [](const std::string& a, const std::string& b) {
                            return strcasecmp(a.c_str(), b.c_str()) == 0;
                          }),
              names.end());
  return names;
}

bool RegistryStore::DeleteTree(std::string_view key) {
  std::lock_guard guard(lock_);
  WriteUnwritten();
  const std::string normal = NormaliseKey(key);
  const std::string below = BelowPattern(normal);
  ForgetKept();
  Transaction transaction(db_);
  int removed = 0;
  for (const char* sql : {"DELETE FROM registry_value WHERE key = ?1 OR key LIKE ?2 ESCAPE '^'",
                          "DELETE FROM registry_key WHERE key = ?1 OR key LIKE ?2 ESCAPE '^'"}) {
    Statement remove(db_, idle_, sql);
    remove.BindText(1, normal);
    remove.BindText(2, below);
    remove.Step();
    removed += sqlite3_changes(db_);
  }
  transaction.Commit();
  return removed > 0;
}

std::optional<uint32_t> RegistryStore::GetDword(std::string_view key, std::string_view name) {
  const std::optional<std::string> bytes = Get(key, name, RegistryType::kDword);
  if (!bytes || bytes->size() != 4) return std::nullopt;
  return support::LoadLe32({reinterpret_cast<const uint8_t*>(bytes->data()), bytes->size()}, 0);
}

std::optional<std::string> RegistryStore::GetString(std::string_view key, std::string_view name) {
  std::optional<std::string> text = Get(key, name, RegistryType::kString);
  // A REG_SZ ends at its first zero.
  if (text) text->resize(std::min(text->size(), text->find('\0')));
  return text;
}

}  // namespace ksv::platform
