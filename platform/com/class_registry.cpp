#include "platform/com/class_registry.h"

#include <dlfcn.h>

#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/registry/win32_registry.h"

namespace ksv::com {

namespace {

// An open key, closed when it goes.
class Key {
 public:
  Key() = default;
  ~Key() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  HKEY* Out() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

LONG SetText(HKEY key, const char* name, const char* text) {
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                        static_cast<DWORD>(std::strlen(text) + 1));
}

// A REG_SZ value: ERROR_FILE_NOT_FOUND when absent or of another type.
LONG GetText(HKEY key, const char* name, std::string* text) {
  DWORD type = 0, size = 0;
  LONG result = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
  if (result != ERROR_SUCCESS) return result;
  if (type != REG_SZ) return ERROR_FILE_NOT_FOUND;
  std::vector<char> bytes(size + 1, '\0');
  result = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()), &size);
  if (result != ERROR_SUCCESS) return result;
  *text = bytes.data();
  return ERROR_SUCCESS;
}

HRESULT LookupFailure(LONG result) {
  return result == ERROR_FILE_NOT_FOUND ? REGDB_E_CLASSNOTREG : REGDB_E_READREGDB;
}

}  // namespace

std::string ClassKeyPath(REFCLSID clsid) { return "CLSID\\" + FormatGuid(clsid); }

std::optional<std::string> ModulePathOf(const void* address) {
  Dl_info info{};
  if (address == nullptr || dladdr(address, &info) == 0 || info.dli_fname == nullptr ||
      *info.dli_fname == '\0') {
    return std::nullopt;
  }
  std::error_code error;
  const std::filesystem::path path = std::filesystem::canonical(info.dli_fname, error);
  if (error) return std::nullopt;
  return path.string();
}

HRESULT RegisterInprocServer(REFCLSID clsid, const char* friendlyName, const char* threadingModel,
                             const void* addressInModule) {
  const std::optional<std::string> path = ModulePathOf(addressInModule);
  if (!path) return SELFREG_E_CLASS;
  Key classKey, serverKey;
  const std::string classPath = ClassKeyPath(clsid);
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, classPath.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                      classKey.Out(), nullptr) != ERROR_SUCCESS ||
      RegCreateKeyExA(classKey.get(), "InprocServer32", 0, nullptr, 0, KEY_WRITE, nullptr,
                      serverKey.Out(), nullptr) != ERROR_SUCCESS) {
    return SELFREG_E_CLASS;
  }
  if ((friendlyName != nullptr && SetText(classKey.get(), nullptr, friendlyName) != ERROR_SUCCESS) ||
      SetText(serverKey.get(), nullptr, path->c_str()) != ERROR_SUCCESS ||
      (threadingModel != nullptr &&
       SetText(serverKey.get(), "ThreadingModel", threadingModel) != ERROR_SUCCESS)) {
    return SELFREG_E_CLASS;
  }
  return S_OK;
}

HRESULT UnregisterInprocServer(REFCLSID clsid) {
  const LONG result = RegDeleteTreeA(HKEY_CLASSES_ROOT, ClassKeyPath(clsid).c_str());
  return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND ? S_OK : SELFREG_E_CLASS;
}

HRESULT FindInprocServer(REFCLSID clsid, InprocServer* server) {
  if (server == nullptr) return E_POINTER;
  Key serverKey;
  const std::string path = ClassKeyPath(clsid) + "\\InprocServer32";
  LONG result = RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, serverKey.Out());
  if (result != ERROR_SUCCESS) return LookupFailure(result);
  result = GetText(serverKey.get(), nullptr, &server->path);
  if (result != ERROR_SUCCESS) return LookupFailure(result);
  if (server->path.empty()) return REGDB_E_CLASSNOTREG;
  server->threadingModel.clear();
  result = GetText(serverKey.get(), "ThreadingModel", &server->threadingModel);
  if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND) return REGDB_E_READREGDB;
  return S_OK;
}

}  // namespace ksv::com
