#include "platform/com/registry_moniker.h"

#include <strings.h>

#include <cstring>
#include <new>
#include <string>

#include "platform/com/com_object.h"
#include "platform/com/inproc_servers.h"
#include "platform/com/task_memory.h"
#include "platform/com/wide_text.h"
#include "platform/registry/registry_store.h"

namespace ksv::com {

namespace {

const char* RootName(HKEY root) {
  if (root == HKEY_CLASSES_ROOT) return "HKEY_CLASSES_ROOT";
  if (root == HKEY_CURRENT_USER) return "HKEY_CURRENT_USER";
  if (root == HKEY_LOCAL_MACHINE) return "HKEY_LOCAL_MACHINE";
  return nullptr;
}

class RegistryMoniker : public ComObject<IMoniker> {
 public:
  RegistryMoniker(HKEY root, std::string path) : root_(root), path_(std::move(path)) {}

  HRESULT BindToObject(IBindCtx*, IMoniker*, REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    ComPtr<IPropertyBag> bag;
    HRESULT result = OpenBag(&bag);
    if (FAILED(result)) return result;
    VARIANT text;
    VariantInit(&text);
    text.vt = VT_BSTR;
    CLSID clsid{};
    result = bag->Read(u"CLSID", &text, nullptr);
    if (SUCCEEDED(result)) {
      result = CLSIDFromString(text.bstrVal, &clsid);
      VariantClear(&text);
    }
    if (FAILED(result)) return MK_E_NOOBJECT;
    ComPtr<IUnknown> created;
    result = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                              reinterpret_cast<void**>(created.ReleaseAndGetAddressOf()));
    if (FAILED(result)) return result;
    ComPtr<IPersistPropertyBag> persist;
    if (SUCCEEDED(created.As(&persist))) {
      result = persist->Load(bag.Get(), nullptr);
      if (FAILED(result)) return result;
    }
    return created->QueryInterface(iid, object);
  }

  HRESULT BindToStorage(IBindCtx*, IMoniker*, REFIID iid, void** storage) override {
    if (storage == nullptr) return E_POINTER;
    *storage = nullptr;
    ComPtr<IPropertyBag> bag;
    const HRESULT result = OpenBag(&bag);
    if (FAILED(result)) return result;
    return bag->QueryInterface(iid, storage);
  }

  HRESULT GetDisplayName(IBindCtx*, IMoniker*, LPOLESTR* name) override {
    if (name == nullptr) return E_POINTER;
    const std::u16string text = Utf8ToUtf16(DisplayName());
    *name = static_cast<LPOLESTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(OLECHAR)));
    if (*name == nullptr) return E_OUTOFMEMORY;
    std::memcpy(*name, text.c_str(), (text.size() + 1) * sizeof(OLECHAR));
    return S_OK;
  }

  HRESULT IsEqual(IMoniker* other) override {
    if (other == nullptr) return E_INVALIDARG;
    LPOLESTR name = nullptr;
    if (FAILED(other->GetDisplayName(nullptr, nullptr, &name))) return S_FALSE;
    const std::string theirs = Utf16ToUtf8(WideView(name));
    CoTaskMemFree(name);
    return strcasecmp(theirs.c_str(), DisplayName().c_str()) == 0 ? S_OK : S_FALSE;
  }

 private:
  std::string DisplayName() const {
    const std::string normal = ksv::platform::RegistryStore::NormaliseKey(path_);
    return std::string(RootName(root_)) + (normal.empty() ? "" : "\\" + normal);
  }

  // The key's bag; MK_E_NOSTORAGE once the key is gone.
  HRESULT OpenBag(ComPtr<IPropertyBag>* bag) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root_, path_.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
      return MK_E_NOSTORAGE;
    }
    RegCloseKey(key);
    return CreateRegistryPropertyBag(root_, path_.c_str(), bag->ReleaseAndGetAddressOf());
  }

  HKEY root_;
  std::string path_;
};

}  // namespace

HRESULT CreateRegistryMoniker(HKEY root, const char* keyPath, IMoniker** moniker) {
  if (moniker == nullptr) return E_POINTER;
  *moniker = nullptr;
  if (RootName(root) == nullptr || keyPath == nullptr) return E_INVALIDARG;
  *moniker = new (std::nothrow) RegistryMoniker(root, keyPath);
  return *moniker != nullptr ? S_OK : E_OUTOFMEMORY;
}

}  // namespace ksv::com
