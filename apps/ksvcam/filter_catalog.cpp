#include "apps/ksvcam/filter_catalog.h"

#include "apps/ksvcam/console.h"
#include "apps/ksvcam/hresult_text.h"
#include "platform/com/inproc_servers.h"
#include "platform/com/property_bag.h"
#include "platform/com/safearray.h"
#include "platform/com/variant.h"
#include "platform/com/wide_text.h"
#include "platform/media/registration/category_store.h"
#include "platform/media/registration/filter_data.h"

namespace ksv::ksvcam {
namespace {

namespace registration = media::registration;

// A property read from the bag, cleared when it goes.
class Property {
 public:
  Property(IPropertyBag* bag, const char16_t* name) {
    VariantInit(&value_);
    if (bag == nullptr || FAILED(bag->Read(name, &value_, nullptr))) VariantClear(&value_);
  }
  ~Property() { VariantClear(&value_); }
  Property(const Property&) = delete;
  Property& operator=(const Property&) = delete;
  const VARIANT& value() const { return value_; }

 private:
  VARIANT value_;
};

std::string TextOf(const VARIANT& value) {
  return value.vt == VT_BSTR ? com::Utf16ToUtf8(com::BstrView(value.bstrVal)) : std::string();
}

std::optional<DWORD> FilterDataMerit(const VARIANT& value) {
  if (value.vt != (VT_ARRAY | VT_UI1) || value.parray == nullptr) return std::nullopt;
  void* bytes = nullptr;
  if (FAILED(SafeArrayAccessData(value.parray, &bytes))) return std::nullopt;
  const auto data = registration::DecodeFilterData(static_cast<const uint8_t*>(bytes),
                                                   value.parray->rgsabound[0].cElements);
  SafeArrayUnaccessData(value.parray);
  if (!data) return std::nullopt;
  return data->merit;
}

CatalogEntry ReadEntry(IMoniker* moniker) {
  CatalogEntry entry;
  entry.moniker = com::ComPtr<IMoniker>(moniker);
  com::ComPtr<IPropertyBag> bag;
  moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                         reinterpret_cast<void**>(bag.GetAddressOf()));
  entry.friendlyName = TextOf(Property(bag.Get(), u"FriendlyName").value());
  entry.clsid = com::ParseGuid(TextOf(Property(bag.Get(), u"CLSID").value()));
  const Property merit(bag.Get(), u"Merit");
  if (merit.value().vt == VT_I4 || merit.value().vt == VT_UI4) {
    entry.merit = static_cast<DWORD>(merit.value().lVal);
  } else {
    entry.merit = FilterDataMerit(Property(bag.Get(), u"FilterData").value());
  }
  if (entry.clsid) {
    if (const auto classMerit = registration::ClassKeyMerit(*entry.clsid)) entry.merit = classMerit;
  }
  return entry;
}

}  // namespace

std::vector<CatalogEntry> ReadCatalog(REFCLSID category) {
  com::ComPtr<ICreateDevEnum> devices;
  HRESULT result = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_ICreateDevEnum,
                                    reinterpret_cast<void**>(devices.GetAddressOf()));
  if (FAILED(result)) {
    throw CommandFailure("cannot create the system device enumerator: " + HresultText(result));
  }
  com::ComPtr<IEnumMoniker> enumerator;
  result = devices->CreateClassEnumerator(category, enumerator.GetAddressOf(), 0);
  std::vector<CatalogEntry> entries;
  if (result != S_OK || !enumerator) return entries;
  IMoniker* next = nullptr;
  while (enumerator->Next(1, &next, nullptr) == S_OK) {
    com::ComPtr<IMoniker> held;
    held.Attach(next);
    entries.push_back(ReadEntry(held.Get()));
  }
  return entries;
}

}  // namespace ksv::ksvcam
