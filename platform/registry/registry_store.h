// A registry hive: keys named by backslash-separated paths
// ("Software\Tarvio\KSV Drivers\"), each holding named REG_DWORD, REG_SZ
// and REG_BINARY values (the unnamed one, "", is the key's default value).
// Each hive (the machine's, the current user's) lives in one SQLite file
// under the system root and is shared by every process of the system;
// SQLite's locking keeps concurrent writers apart and its journal keeps the
// file whole across crashes.
//
// Key paths and value names compare without regard to ASCII case, and
// leading, trailing and doubled backslashes in a key path do not matter, as
// in the Windows registry.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace ksv::platform {

// Registry value types, with their Windows numbers.
enum class RegistryType : uint32_t {
  kString = 1,  // REG_SZ
  kBinary = 3,  // REG_BINARY
  kDword = 4,   // REG_DWORD
};

class RegistryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class RegistryStore {
 public:
  // The machine hive, $KSV_ROOT/registry/machine.sqlite3, created with its
  // folder when missing. Throws RegistryError.
  static std::unique_ptr<RegistryStore> OpenMachineHive();
  // The current user's hive, $KSV_ROOT/registry/user.sqlite3, likewise.
  static std::unique_ptr<RegistryStore> OpenUserHive();
  // A hive in `file`, created when missing. Throws RegistryError.
  static std::unique_ptr<RegistryStore> Open(const std::filesystem::path& file);
  // A hive of this process alone, in memory, gone when closed. Having no
  // other reader or writer, it keeps the values of each key it has listed on
  // this side too: a later read of the key takes no query, and a write to it
  // reaches the database only when another query could see it.
  static std::unique_ptr<RegistryStore> OpenInMemory();

  ~RegistryStore();
  RegistryStore(const RegistryStore&) = delete;
  RegistryStore& operator=(const RegistryStore&) = delete;

  // Creates or replaces a value (and so its key). Throws RegistryError when
  // the hive cannot be written.
  void SetDword(std::string_view key, std::string_view name, uint32_t value);
  void SetString(std::string_view key, std::string_view name, std::string_view text);
  void SetBinary(std::string_view key, std::string_view name, std::string_view bytes);
  // Any of the three types, `data` as ListValues gives it.
  void SetValue(std::string_view key, std::string_view name, RegistryType type,
                std::string_view data);

  // The value, or nothing when it is absent or of another type. Throws
  // RegistryError when the hive cannot be read.
  std::optional<uint32_t> GetDword(std::string_view key, std::string_view name);
  std::optional<std::string> GetString(std::string_view key, std::string_view name);
  std::optional<std::string> GetBinary(std::string_view key, std::string_view name);

  // One value of a key as stored: its name (as first written), type and
  // bytes (a REG_DWORD's four little-endian bytes, a REG_SZ's text).
  struct Value {
    std::string name;
    RegistryType type;
    std::string data;
  };
  // Every value of `key` in name order, read in one query. Throws
  // RegistryError when the hive cannot be read.
  std::vector<Value> ListValues(std::string_view key);
  // The same values shown one by one, in name order, without copying them:
  // `visit(context, value)` for each, under the hive's lock (it must not
  // call the hive). Returns how many there were. Throws RegistryError.
  struct ValueView {
    std::string_view name;
    RegistryType type;
    std::string_view data;
  };
  using ValueVisitor = void (*)(void* context, const ValueView& value);
  size_t VisitValues(std::string_view key, ValueVisitor visit, void* context);

  // Removes a value; false when there was none. Throws RegistryError.
  bool DeleteValue(std::string_view key, std::string_view name);

  // A key exists once created or once it or a key below it holds a value.
  void CreateKey(std::string_view key);
  bool KeyExists(std::string_view key);

  // The names of the keys right below `key` (as first written), sorted
  // without regard to case. Throws RegistryError.
  std::vector<std::string> ListSubKeys(std::string_view key);

  // Removes `key` with its values and every key below it, in one
  // transaction; false when there was nothing to remove. The root ("")
  // empties the hive. Throws RegistryError.
  bool DeleteTree(std::string_view key);

  // The canonical form of a key path: no leading, trailing or doubled
  // backslashes.
  static std::string NormaliseKey(std::string_view key);

  // Prepared statements no call is using, by their text, kept for the next.
  using IdleStatements = std::vector<std::pair<const char*, sqlite3_stmt*>>;

 private:
  explicit RegistryStore(sqlite3* db) : db_(db) {}
  static std::unique_ptr<RegistryStore> OpenInRoot(const char* fileName);
  std::optional<std::string> Get(std::string_view key, std::string_view name, RegistryType type);

  sqlite3* db_;
  // Threads share the connection; each call runs alone on it, so that no
  // thread's open read (a snapshot of the file) is on the connection while
  // another thread writes, which SQLite refuses once another process has
  // written since.
  std::recursive_mutex lock_;
  IdleStatements idle_;  // under lock_
  // In memory only: each listed key's values as ListValues gives them, by
  // the key's canonical form, without regard to case; under lock_.
  struct Caseless {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };
  bool keepsValues_ = false;
  std::map<std::string, std::vector<Value>, Caseless> keptValues_;
  std::map<std::string, std::vector<Value>, Caseless>::value_type* lastKept_ = nullptr;
  std::vector<Value>* KeptValues(const std::string& normal);
  // The values kept for `normal`, read and kept first when this store keeps
  // values and has not yet; null when it does not keep them.
  const std::vector<Value>* KeepValues(const std::string& normal);
  // Shows each value of `normal` as the hive holds it; returns the count.
  size_t SelectValues(const std::string& normal, ValueVisitor visit, void* context);
  static void AppendValue(void* values, const ValueView& value);
  void ForgetKept();
  // Writes to kept keys, in order, that the hive has not had yet: it gets
  // them before any statement that could see them.
  struct Unwritten {
    std::string key;
    Value value;
  };
  std::vector<Unwritten> unwritten_;
  void WriteUnwritten();
  void Upsert(std::string_view normal, std::string_view name, RegistryType type,
              std::string_view data);
};

}  // namespace ksv::platform
