#include <cstring>
#include <new>
#include <string>

#include "platform/com/com_object.h"
#include "platform/com/registry_moniker.h"
#include "platform/com/wide_text.h"
#include "support/byte_order.h"

namespace ksv::com {

namespace {

class Key {
 public:
  ~Key() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  HKEY* Out() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

// A stored value as the VARIANT it reads as.
HRESULT ToVariant(DWORD type, const std::string& bytes, VARIANT* value) {
  VariantInit(value);
  if (type == REG_SZ) {
    value->bstrVal = BstrFromUtf8(std::string_view(bytes.c_str()));
    if (value->bstrVal == nullptr) return E_OUTOFMEMORY;
    value->vt = VT_BSTR;
  } else if (type == REG_DWORD && bytes.size() == 4) {
    value->ulVal = support::LoadLe32(
        {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, 0);
    value->vt = VT_I4;
  } else if (type == REG_BINARY) {
    value->parray = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    if (value->parray == nullptr) return E_OUTOFMEMORY;
    if (!bytes.empty()) std::memcpy(value->parray->pvData, bytes.data(), bytes.size());
    value->vt = VT_ARRAY | VT_UI1;
  } else {
    return E_FAIL;
  }
  return S_OK;
}

// A VARIANT as the value it is stored as.
HRESULT FromVariant(const VARIANT& value, DWORD* type, std::string* bytes) {
  if (value.vt == VT_BSTR) {
    *type = REG_SZ;
    *bytes = Utf16ToUtf8(BstrView(value.bstrVal));
    bytes->push_back('\0');
  } else if (value.vt == VT_I4 || value.vt == VT_UI4) {
    *type = REG_DWORD;
    uint8_t le[4];
    support::StoreLe32(le, 0, value.ulVal);
    bytes->assign(reinterpret_cast<const char*>(le), 4);
  } else if (value.vt == (VT_ARRAY | VT_UI1) && value.parray != nullptr) {
    *type = REG_BINARY;
    bytes->assign(static_cast<const char*>(value.parray->pvData),
                  value.parray->rgsabound[0].cElements);
  } else {
    return E_FAIL;
  }
  return S_OK;
}

class RegistryPropertyBag : public ComObject<IPropertyBag> {
 public:
  RegistryPropertyBag(HKEY root, std::string path) : root_(root), path_(std::move(path)) {}

  HRESULT Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
    if (name == nullptr || value == nullptr) return E_POINTER;
    Key key;
    LONG result = RegOpenKeyExA(root_, path_.c_str(), 0, KEY_READ, key.Out());
    const std::string valueName = Utf16ToUtf8(WideView(name));
    DWORD type = 0, size = 0;
    if (result == ERROR_SUCCESS) {
      result = RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type, nullptr, &size);
    }
    if (result == ERROR_FILE_NOT_FOUND) return E_INVALIDARG;
    if (result != ERROR_SUCCESS) return E_FAIL;
    std::string bytes(size, '\0');
    if (RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(bytes.data()), &size) != ERROR_SUCCESS) {
      return E_FAIL;
    }
    bytes.resize(size);
    VARIANT stored;
    HRESULT converted = ToVariant(type, bytes, &stored);
    if (FAILED(converted)) return converted;
    const VARTYPE wanted = value->vt;
    if (wanted == VT_UI4 && stored.vt == VT_I4) stored.vt = VT_UI4;  // the same bits
    if (wanted != VT_EMPTY && wanted != stored.vt) {
      VariantClear(&stored);
      return E_FAIL;
    }
    *value = stored;  // the caller's VARIANT held nothing of its own
    return S_OK;
  }

  HRESULT Write(LPCOLESTR name, VARIANT* value) override {
    if (name == nullptr || value == nullptr) return E_POINTER;
    DWORD type = 0;
    std::string bytes;
    if (FAILED(FromVariant(*value, &type, &bytes))) return E_FAIL;
    Key key;
    if (RegCreateKeyExA(root_, path_.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.Out(),
                        nullptr) != ERROR_SUCCESS ||
        RegSetValueExA(key.get(), Utf16ToUtf8(WideView(name)).c_str(), 0, type,
                       reinterpret_cast<const BYTE*>(bytes.data()),
                       static_cast<DWORD>(bytes.size())) != ERROR_SUCCESS) {
      return E_FAIL;
    }
    return S_OK;
  }

 private:
  HKEY root_;
  std::string path_;
};

bool IsRegistryRoot(HKEY root) {
  return root == HKEY_CLASSES_ROOT || root == HKEY_LOCAL_MACHINE || root == HKEY_CURRENT_USER;
}

}  // namespace

HRESULT CreateRegistryPropertyBag(HKEY root, const char* keyPath, IPropertyBag** bag) {
  if (bag == nullptr) return E_POINTER;
  *bag = nullptr;
  if (!IsRegistryRoot(root) || keyPath == nullptr) return E_INVALIDARG;
  *bag = new (std::nothrow) RegistryPropertyBag(root, keyPath);
  return *bag != nullptr ? S_OK : E_OUTOFMEMORY;
}

}  // namespace ksv::com
